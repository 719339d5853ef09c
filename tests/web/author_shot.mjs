// A screenshot of the author page with a movie open at frame N (one with a
// click box, to show it), for the demo's contact sheet.
// Usage: node author_shot.mjs AUTHOR.html MOVIE.QVM N OUT.png
import fs from 'node:fs';
import path from 'node:path';
import { Page, launch, sleep } from './lib.mjs';

const [page, movie, n, out] = process.argv.slice(2);
const browser = await launch();
try {
  const p = await Page.open(browser, 'file://' + path.resolve(page), { width: 1280, height: 800 });
  await p.page.waitForFunction(() => document.getElementById('status').textContent === 'Ready.', { timeout: 30000 });
  await (await p.page.$('#files')).uploadFile(path.resolve(movie));
  await p.page.waitForFunction(() => QvAuthor.state().doc, { timeout: 30000 });
  await p.evaluate((k) => QvAuthor.choose(k, false), Number(n));
  await sleep(1500);  // the filmstrip's pictures and the splash preview
  fs.writeFileSync(out, await p.page.screenshot());
  await p.close();
} finally {
  await browser.close();
}
