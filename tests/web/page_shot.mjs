// A screenshot of a page at frame N, for the demo's contact sheet: its player
// window, or with a viewport (WIDTHxHEIGHT) the whole page, strip and all;
// "touch" makes it a phone's screen, and a tap on the picture shows the strip.
// Usage: node page_shot.mjs PAGE.html N OUT.png [WIDTHxHEIGHT [touch]]
import fs from 'node:fs';
import path from 'node:path';
import { Page, launch, sleep } from './lib.mjs';

const [page, n, out, viewport, touch] = process.argv.slice(2);
const [width, height] = (viewport || '1024x768').split('x').map(Number);
const browser = await launch();
try {
  const options = viewport && !touch ? '#go&controls=on' : '#go';
  const p = await Page.open(browser, 'file://' + path.resolve(page) + options, { width, height, touch: !!touch });
  await p.waitLine(new RegExp(`Frame ${n}: `), 0, 60000);
  const box = await p.evaluate(() => {
    const r = document.getElementById('player').getBoundingClientRect();
    return { x: r.left, y: r.top, width: r.width, height: r.height };
  });
  if (touch) {
    await sleep(2500);  // the strip has faded; the tap brings it back
    await p.page.touchscreen.tap(box.x + box.width / 2, box.y + box.height * 0.75);
    await sleep(600);
  }
  fs.writeFileSync(out, await p.page.screenshot(viewport ? {} : { clip: box }));
  await p.close();
} finally {
  await browser.close();
}
