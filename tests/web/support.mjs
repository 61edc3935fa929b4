import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { after, before, it } from 'node:test';
import { chromium } from 'playwright-core';

// The dump keeps eight days back from the real clock, so data starts 8 days minus one hour ago.
export const NOW = Math.floor(Date.now() / 60000) * 60;
export const T0 = NOW - 8 * 86400 + 3600;

const tempDir = () => fs.mkdtempSync(path.join(os.tmpdir(), 'sapwell-web-'));
const write = (file, lines) => (fs.mkdirSync(path.dirname(file), { recursive: true }),
  fs.writeFileSync(file, lines.map((l) => l + '\n').join('')), file);

// A history line (battery "pct:state" or "-"); minutes() makes `count` of them 60 s (+ gapBefore(k)) apart.
export const line = (minute, tag, items, bat = '-', awake = 60) => [minute, tag, awake.toFixed(1),
  Object.entries(items).map(([n, v]) => `${n}=${v}`).join(','), bat].join('\t');
export function minutes(count, tag, items, { t0 = T0, bat = () => '-', gapBefore = () => 0 } = {}) {
  let t = t0 - 60;
  return Array.from({ length: count }, (_, k) => line(t += 60 + gapBefore(k), tag, items(k), bat(k)));
}

export function dumpPage(lines, { lang = 'en' } = {}) {
  const dir = tempDir();
  write(path.join(dir, 'Sapwell', 'history.tsv'), lines);
  return execFileSync(process.env.SAPWELL_BINARY, ['--dump-chart'], { encoding: 'utf8',
    env: { ...process.env, XDG_DATA_HOME: dir, TMPDIR: tempDir(), SAPWELL_LANG: lang, HOME: dir } }).trim();
}

// A minute's line with a measured drain (its sixth field), and a sleep's own line: the minute of
// waking, the seconds asleep and the battery's level before and after.
export const withDrain = (l, mJ, seconds = 60) => `${l}\t${mJ}:${seconds}`;
export const sleepLine = (minute, seconds, before, after) => [minute, 'sleep', seconds.toFixed(1), '', `${before}:${after}`].join('\t');

// A page with a chosen metric and capacity (mJ, null for none), which this machine cannot record.
export function genPage(lines, { capacity = 216000000, bundles = {}, metric = 'energy', lang = 'en' } = {}) {
  const [hist, bfile, file] = ((d) => ['history.tsv', 'bundles.tsv', 'page.html'].map((f) => path.join(d, f)))(tempDir());
  const now = (lines.length ? Number(lines.at(-1).split('\t')[0]) : T0) + 120;
  return write(file, [execFileSync(process.env.SAPWELL_PAGEGEN, [write(hist, lines), metric, String(capacity ?? '-'), lang,
    String(now), write(bfile, Object.entries(bundles).map(([n, p]) => `${n}\t${p}`))], { maxBuffer: 64 << 20 })]);
}

// Records canvas text and dashed strokes, counts alert() calls an injected script would make, and can stub the host.
function instrument(stub) {
  Object.assign(window, { __texts: [], __dashes: 0, __pwned: 0, __posts: [], alert: () => { window.__pwned++; } });
  if (stub) window.webkit = { messageHandlers: { sapwell: { postMessage: (m) => window.__posts.push(m) } } };
  const P = CanvasRenderingContext2D.prototype, { fillText, stroke } = P;
  P.fillText = function (...a) {
    window.__texts.push({ text: String(a[0]), font: this.font, align: this.textAlign }); return fillText.apply(this, a);
  };
  P.stroke = function (...args) { window.__dashes += this.getLineDash().length ? 1 : 0; return stroke.apply(this, args); };
}

// One browser per test file; withPage() runs a check, then insists on no console errors, requests or injected script.
export function useBrowser() {
  let browser;
  before(async () => { browser = await chromium.launch({ executablePath: '/usr/bin/chromium', args: ['--headless', '--no-sandbox',
    '--disable-gpu', '--no-first-run', '--disable-background-networking', '--disable-component-update', '--disable-sync'] }); });
  after(() => browser.close());
  const withPage = async (file, { colorScheme = 'light', stub = false } = {}, check) => {
    const context = await browser.newContext({ viewport: { width: 1100, height: 900 }, deviceScaleFactor: 1, colorScheme });
    const [page, problems] = [await context.newPage(), []];
    try {
      page.on('console', (m) => ['error', 'warning'].includes(m.type()) && problems.push(m.text()));
      page.on('pageerror', (e) => problems.push(e.message));
      page.on('dialog', (d) => { problems.push('dialog: ' + d.message()); d.dismiss(); });
      page.on('request', (r) => r.url() !== 'file://' + file && problems.push('request: ' + r.url()));
      await page.addInitScript(instrument, stub);
      await page.goto('file://' + file).then(() => check(page));
      if (await page.evaluate(() => window.__pwned)) problems.push('an injected script ran');
      assert.deepEqual(problems, []);
    } finally { await context.close(); }
  };
  return { withPage, test: (title, file, check, opts) => it(title, () => withPage(file(), opts, check)) };
}

export const redraw = (page) => page.evaluate(() => (Object.assign(window, { __texts: [], __dashes: 0 }), __sapwell.draw(),
  { texts: window.__texts, dashes: window.__dashes }));

// Asserts the colour at CSS pixel (x, y): `hex` (null: any), `alpha` ±3 or [lo, hi]; a copy keeps the page's context unread.
export async function expectPixel(page, x, y, hex, alpha = 255, tol = 3) {
  const px = await page.evaluate(([px, py]) => {
    const c = Object.assign(document.createElement('canvas'), { width: 1, height: 1 }).getContext('2d');
    c.drawImage(document.getElementById('c'), px, py, 1, 1, 0, 0, 1, 1);
    return Array.from(c.getImageData(0, 0, 1, 1).data);
  }, [Math.round(x), Math.round(y)]);
  const [lo, hi] = Array.isArray(alpha) ? alpha : [alpha - 3, alpha + 3];
  const ok = !hex || [1, 3, 5].every((h, i) => Math.abs(parseInt(hex.slice(h, h + 2), 16) - px[i]) <= tol);
  assert.ok(ok && px[3] >= lo && px[3] <= hi, `(${x}, ${y}) is ${px}, not ${hex}/${alpha}`);
  return px;
}

export const tableRows = (page) => page.$$eval('#tb tr', (trs) => trs.map((tr) => Array.from(tr.cells).map((c) => c.textContent)));

export async function hoverIndex(page, i) {
  await page.mouse.move(...await page.evaluate((k) => ((r) => [r.left + __sapwell.layout.x(k), r.top + 100])(
    document.getElementById('c').getBoundingClientRect()), i));
  return page.$eval('#tip', (t) => ({ text: t.innerText, opacity: t.style.opacity }));
}
