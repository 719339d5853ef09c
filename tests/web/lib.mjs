// What the page's tests share: PNG files read and written (frames for qvm,
// screenshots and qvm frame's pictures), movies made with qvm, and a page in
// headless Chromium whose console lines are followed as the exe's stdout is.
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import zlib from 'node:zlib';
import puppeteer from 'puppeteer-core';

export class Failure extends Error {}

export function check(condition, message) {
  if (!condition) throw new Failure(message);
}

export function checkEqual(actual, expected, what) {
  const a = JSON.stringify(actual), e = JSON.stringify(expected);
  if (a !== e) throw new Failure(`${what}: expected ${e}, got ${a}`);
}

// --- pictures: RGB, row after row ------------------------------------------------

export class Picture {
  constructor(width, height, rgb) {
    this.width = width;
    this.height = height;
    this.rgb = rgb || Buffer.alloc(width * height * 3);
  }
  static of(width, height, colourAt) {
    const p = new Picture(width, height);
    for (let y = 0; y < height; y++) {
      for (let x = 0; x < width; x++) p.set(x, y, colourAt(x, y));
    }
    return p;
  }
  pixel(x, y) {
    const i = (y * this.width + x) * 3;
    return [this.rgb[i], this.rgb[i + 1], this.rgb[i + 2]];
  }
  set(x, y, [r, g, b]) {
    const i = (y * this.width + x) * 3;
    this.rgb[i] = r, this.rgb[i + 1] = g, this.rgb[i + 2] = b;
  }
  // The pixels where the two differ, as [x, y] (at most `limit` of them).
  differences(other, limit = 5) {
    const out = [];
    if (other.width !== this.width || other.height !== this.height) return [['size', other.width, other.height]];
    for (let y = 0; y < this.height && out.length < limit; y++) {
      for (let x = 0; x < this.width && out.length < limit; x++) {
        const i = (y * this.width + x) * 3;
        if (this.rgb[i] !== other.rgb[i] || this.rgb[i + 1] !== other.rgb[i + 1] || this.rgb[i + 2] !== other.rgb[i + 2]) {
          out.push([x, y, this.pixel(x, y), other.pixel(x, y)]);
        }
      }
    }
    return out;
  }
}

const CRC = new Int32Array(256).map((_, n) => {
  let c = n;
  for (let k = 0; k < 8; k++) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
  return c;
});
function crc32(buf) {
  let c = -1;
  for (const b of buf) c = CRC[(c ^ b) & 255] ^ (c >>> 8);
  return (c ^ -1) >>> 0;
}

function chunk(type, data) {
  const head = Buffer.alloc(8);
  head.writeUInt32BE(data.length, 0);
  head.write(type, 4, 'latin1');
  const crc = Buffer.alloc(4);
  crc.writeUInt32BE(crc32(Buffer.concat([head.subarray(4), data])), 0);
  return Buffer.concat([head, data, crc]);
}

export function writePng(file, p) {
  const ihdr = Buffer.alloc(13);
  ihdr.writeUInt32BE(p.width, 0);
  ihdr.writeUInt32BE(p.height, 4);
  ihdr[8] = 8, ihdr[9] = 2;
  const raw = Buffer.alloc((p.width * 3 + 1) * p.height);
  for (let y = 0; y < p.height; y++) p.rgb.copy(raw, y * (p.width * 3 + 1) + 1, y * p.width * 3, (y + 1) * p.width * 3);
  fs.writeFileSync(file, Buffer.concat([Buffer.from([137, 80, 78, 71, 13, 10, 26, 10]),
    chunk('IHDR', ihdr), chunk('IDAT', zlib.deflateSync(raw)), chunk('IEND', Buffer.alloc(0))]));
}

// 8-bit RGB or RGBA, not interlaced: what qvm and the browser write.
export function readPng(data) {
  let at = 8, width, height, type;
  const idat = [];
  while (at < data.length) {
    const len = data.readUInt32BE(at), name = data.toString('latin1', at + 4, at + 8);
    const body = data.subarray(at + 8, at + 8 + len);
    if (name === 'IHDR') {
      width = body.readUInt32BE(0), height = body.readUInt32BE(4), type = body[9];
      check(body[8] === 8 && (type === 2 || type === 6) && body[12] === 0, 'unexpected PNG kind');
    } else if (name === 'IDAT') idat.push(body);
    at += 12 + len;
  }
  const bpp = type === 6 ? 4 : 3, stride = width * bpp;
  const raw = zlib.inflateSync(Buffer.concat(idat));
  const rows = Buffer.alloc(stride * height);
  for (let y = 0; y < height; y++) {
    const f = raw[y * (stride + 1)], src = raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1));
    const row = rows.subarray(y * stride, (y + 1) * stride), up = y ? rows.subarray((y - 1) * stride, y * stride) : null;
    for (let i = 0; i < stride; i++) {
      const a = i >= bpp ? row[i - bpp] : 0, b = up ? up[i] : 0, c = up && i >= bpp ? up[i - bpp] : 0;
      let v = src[i];
      if (f === 1) v += a;
      else if (f === 2) v += b;
      else if (f === 3) v += (a + b) >> 1;
      else if (f === 4) {
        const p = a + b - c, pa = Math.abs(p - a), pb = Math.abs(p - b), pc = Math.abs(p - c);
        v += pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
      }
      row[i] = v & 255;
    }
  }
  const p = new Picture(width, height);
  for (let i = 0, j = 0; i < width * height; i++, j += bpp) rows.copy(p.rgb, i * 3, j, j + 3);
  return p;
}

// --- movies -------------------------------------------------------------------------

export class Qvm {
  constructor(qvmPath, dir) {
    this.path = qvmPath;
    this.dir = dir;
    this.count = 0;
  }
  run(...args) {
    return execFileSync(this.path, args, { encoding: 'utf8', stdio: ['ignore', 'pipe', 'pipe'] });
  }
  // frames: [picture, timing] with timing a delay in ms or "click X1,Y1,X2,Y2".
  build(name, frames, header, inactive) {
    const dir = fs.mkdtempSync(path.join(this.dir, name + '-'));
    const lines = [];
    if (inactive) {
      writePng(path.join(dir, 'inactive.png'), inactive);
      lines.push('inactive ' + path.join(dir, 'inactive.png'));
    }
    frames.forEach(([picture, timing], i) => {
      const file = path.join(dir, `f${i}.png`);
      writePng(file, picture);
      lines.push(`${file} ${timing}`);
    });
    fs.writeFileSync(path.join(dir, 'list.txt'), lines.join('\n') + '\n');
    fs.writeFileSync(path.join(dir, 'header.txt'), header.map((l) => l + '\r\n').join(''));
    const out = path.join(dir, name + '.QVM');
    this.run('build', '-o', out, '--header', path.join(dir, 'header.txt'), '--list', path.join(dir, 'list.txt'));
    return out;
  }
  html(movie, out) {
    this.run('html', ...(movie ? [movie] : ['--viewer']), '-o', out);
    return out;
  }
  frame(movie, n, inactive = false) {
    const out = path.join(this.dir, `frame-${this.count++}.png`);
    this.run('frame', movie, String(n), '-o', out, ...(inactive ? ['--inactive'] : []));
    return readPng(fs.readFileSync(out));
  }
}

export function tempDir(name) {
  return fs.mkdtempSync(path.join(os.tmpdir(), name + '-'));
}

// --- the page -------------------------------------------------------------------------

export async function launch(extraArgs = []) {
  // As root (CI) the browser's sandbox cannot start; the pages are our own.
  return puppeteer.launch({ executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
                            args: ['--no-sandbox', ...extraArgs], headless: true });
}

// A page with its console lines kept in order, as the exe's stdout.
export class Page {
  // beforeLoad runs in the page before any of its scripts.
  // touch: a phone's screen, touch events and all.
  static async open(browser, url, { width = 1024, height = 768, beforeLoad = null, touch = false } = {}) {
    const p = new Page();
    p.page = await browser.newPage();
    p.lines = [];
    p.errors = [];
    p.page.on('console', (m) => { if (m.type() === 'log') p.lines.push(m.text()); });
    p.page.on('pageerror', (e) => p.errors.push(e.message));
    await p.page.setViewport({ width, height, hasTouch: touch, isMobile: touch });
    if (beforeLoad) await p.page.evaluateOnNewDocument(beforeLoad);
    await p.page.goto(url);
    return p;
  }
  async close() {
    check(this.errors.length === 0, 'uncaught errors in the page: ' + this.errors.join('; '));
    await this.page.close();
  }
  // Waits for a console line matching `pattern` (a line ending with it, when
  // a string: the first frame's line follows the geometry summary's last
  // part) at index `from` or later; returns its index.
  async waitLine(pattern, from = 0, timeout = 10000) {
    const end = Date.now() + timeout;
    for (;;) {
      for (let i = from; i < this.lines.length; i++) {
        if (typeof pattern === 'string' ? this.lines[i].endsWith(pattern) : pattern.test(this.lines[i])) return i;
      }
      if (Date.now() > end) {
        throw new Failure(`no console line ${pattern} after line ${from}; the page wrote:\n  ` +
                          this.lines.slice(-15).join('\n  '));
      }
      await sleep(20);
    }
  }
  // The lines written from index `from` until the page keeps still a while.
  async settledLines(from, quietMs = 300) {
    let count = -1;
    while (count !== this.lines.length) {
      count = this.lines.length;
      await sleep(quietMs);
    }
    return this.lines.slice(from);
  }
  async picture(x, y, width, height) {
    return readPng(Buffer.from(await this.page.screenshot({ clip: { x, y, width, height } })));
  }
  async evaluate(fn, ...args) { return this.page.evaluate(fn, ...args); }
}

// The files of dir from a web server on the loopback address; "/" + name.
export async function serve(dir) {
  const server = http.createServer((req, res) => {
    const file = path.join(dir, decodeURIComponent(new URL(req.url, 'http://x').pathname));
    if (!file.startsWith(dir) || !fs.existsSync(file) || !fs.statSync(file).isFile()) {
      res.writeHead(404, { 'Content-Type': 'text/plain' }).end('no such file');
      return;
    }
    const body = fs.readFileSync(file);
    res.writeHead(200, { 'Content-Length': body.length,
                         'Content-Type': file.endsWith('.html') ? 'text/html' : 'application/octet-stream' }).end(body);
  });
  await new Promise((go) => server.listen(0, '127.0.0.1', go));
  return { url: `http://127.0.0.1:${server.address().port}/`, close: () => server.close() };
}

export function sleep(ms) { return new Promise((r) => setTimeout(r, ms)); }

// Runs each named case in turn and reports; exits 1 when any failed.
export async function runCases(cases) {
  let failed = 0;
  for (const [name, fn] of cases) {
    const t0 = Date.now();
    try {
      await fn();
      console.log(`ok    ${name} (${Date.now() - t0} ms)`);
    } catch (e) {
      failed++;
      console.log(`FAIL  ${name}: ${e instanceof Failure ? e.message : e.stack}`);
    }
  }
  console.log(failed ? `${failed} of ${cases.length} failed` : `all ${cases.length} passed`);
  process.exitCode = failed ? 1 : 0;
}
