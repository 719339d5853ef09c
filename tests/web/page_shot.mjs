// A screenshot of a page's player window showing frame N, for the demo's
// contact sheet. Usage: node page_shot.mjs PAGE.html N OUT.png
import fs from 'node:fs';
import path from 'node:path';
import { Page, launch } from './lib.mjs';

const [page, n, out] = process.argv.slice(2);
const browser = await launch();
try {
  const p = await Page.open(browser, 'file://' + path.resolve(page) + '#go');
  await p.waitLine(new RegExp(`Frame ${n}: `), 0, 60000);
  const box = await p.evaluate(() => {
    const r = document.getElementById('player').getBoundingClientRect();
    return { x: r.left, y: r.top, width: r.width, height: r.height };
  });
  fs.writeFileSync(out, await p.page.screenshot({ clip: box }));
  await p.close();
} finally {
  await browser.close();
}
