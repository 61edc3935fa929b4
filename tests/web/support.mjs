// Shared helpers: crafted history files, pages from the real binary and from the generator,
// and a headless Chromium that records everything a page should never do.
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { chromium } from 'playwright-core';

export const BINARY = process.env.SAPWELL_BINARY;
export const PAGEGEN = process.env.SAPWELL_PAGEGEN;
export const OUTPUT = process.env.SAPWELL_TEST_OUTPUT ||
  path.join(path.dirname(new URL(import.meta.url).pathname), '..', '..', 'test-output');

export const COLORS = ['#ff6b6b', '#4dabf7', '#51cf66', '#ffd43b', '#cc5de8', '#ff922b', '#20c997',
  '#748ffc', '#adb5bd'];

// The dump keeps what lies within eight days of the real clock, so data starts 8 days minus
// one hour ago; the longest history here ends an hour before now.
export const NOW = Math.floor(Date.now() / 60000) * 60;
export const T0 = NOW - 8 * 86400 + 3600;

export function tempDir() {
  return fs.mkdtempSync(path.join(os.tmpdir(), 'sapwell-web-'));
}

// One history line: minute, tag, awake, items, battery ("pct:state" or "-").
export function line(minute, tag, items, bat = '-', awake = 60) {
  const its = Object.entries(items).map(([n, v]) => `${n}=${v}`).join(',');
  return `${minute}\t${tag}\t${awake.toFixed(1)}\t${its}\t${bat}`;
}

// Minutes t0, t0+60, ... with `items(k)` and `bat(k)` for the k-th minute; `skip(k)` adds seconds
// before minute k (a break).
export function minutes(count, tag, items, { t0 = T0, bat = () => '-', gapBefore = () => 0 } = {}) {
  const out = [];
  let t = t0;
  for (let k = 0; k < count; k++) {
    t += gapBefore(k);
    out.push(line(t, tag, items(k), bat(k)));
    t += 60;
  }
  return out;
}

function lastMinute(lines) {
  return lines.length ? Number(lines[lines.length - 1].split('\t')[0]) : T0;
}

// The real binary's dump of a crafted history, with its own data and temporary folders.
export function dumpPage(lines, { lang = 'en' } = {}) {
  const dir = tempDir();
  const data = path.join(dir, 'data');
  const tmp = path.join(dir, 'tmp');
  fs.mkdirSync(path.join(data, 'Sapwell'), { recursive: true });
  fs.mkdirSync(tmp);
  fs.writeFileSync(path.join(data, 'Sapwell', 'history.tsv'), lines.map((l) => l + '\n').join(''));
  const out = execFileSync(BINARY, ['--dump-chart'], {
    env: { ...process.env, XDG_DATA_HOME: data, TMPDIR: tmp, SAPWELL_LANG: lang, HOME: dir },
    encoding: 'utf8',
  });
  return out.trim();
}

// A page of any metric and capacity through the generator. `now` defaults to just after the data.
export function genPage(lines, { metric = 'energy', capacity = 216000000, lang = 'en', now,
  bundles = {} } = {}) {
  const dir = tempDir();
  const hist = path.join(dir, 'history.tsv');
  fs.writeFileSync(hist, lines.map((l) => l + '\n').join(''));
  const bfile = path.join(dir, 'bundles.tsv');
  fs.writeFileSync(bfile, Object.entries(bundles).map(([n, p]) => `${n}\t${p}\n`).join(''));
  const when = now ?? lastMinute(lines) + 120;
  const html = execFileSync(PAGEGEN, [hist, metric, capacity === null ? '-' : String(capacity), lang,
    String(when), bfile], { maxBuffer: 64 << 20 });
  const file = path.join(dir, 'page.html');
  fs.writeFileSync(file, html);
  return file;
}

export const LAUNCH = {
  executablePath: '/usr/bin/chromium',
  args: ['--headless', '--no-sandbox', '--disable-gpu', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync'],
};

export function launch() {
  return chromium.launch(LAUNCH);
}

// Records canvas text and dashed lines so tests can read what draw() wrote.
function canvasSpy() {
  window.__texts = [];
  window.__dashes = 0;
  const P = CanvasRenderingContext2D.prototype;
  const fillText = P.fillText;
  P.fillText = function (text, x, y, ...rest) {
    window.__texts.push({ text: String(text), x, y, font: this.font, align: this.textAlign });
    return fillText.call(this, text, x, y, ...rest);
  };
  const stroke = P.stroke;
  P.stroke = function (...args) {
    if (this.getLineDash().length) window.__dashes++;
    return stroke.apply(this, args);
  };
  window.__pwned = 0;
  window.alert = () => { window.__pwned++; };
}

function hostStub() {
  window.__posts = [];
  window.webkit = { messageHandlers: { sapwell: { postMessage: (m) => window.__posts.push(m) } } };
}

// Opens a page file and collects console errors, page errors, dialogs and requests.
export async function open(browser, file, { colorScheme = 'light', stub = false, width = 1100 } = {}) {
  const context = await browser.newContext({ viewport: { width, height: 900 }, deviceScaleFactor: 1,
    colorScheme });
  const page = await context.newPage();
  const problems = [];
  const requests = [];
  page.on('console', (m) => { if (m.type() === 'error' || m.type() === 'warning') problems.push(m.text()); });
  page.on('pageerror', (e) => problems.push(e.message));
  page.on('dialog', (d) => { problems.push('dialog: ' + d.message()); d.dismiss(); });
  page.on('request', (r) => requests.push(r.url()));
  await page.addInitScript(canvasSpy);
  if (stub) await page.addInitScript(hostStub);
  await page.goto('file://' + file);
  const url = 'file://' + file;
  return {
    page,
    problems,
    // Everything but the page itself.
    foreignRequests: () => requests.filter((u) => u !== url),
    close: () => context.close(),
  };
}

// Redraws and returns the canvas texts of that drawing.
export async function redrawTexts(page) {
  return page.evaluate(() => { window.__texts = []; window.__dashes = 0; draw();
    return { texts: window.__texts, dashes: window.__dashes }; });
}

// RGBA of the canvas at CSS pixel (x, y) (device scale 1).
export async function pixel(page, x, y) {
  // Read through a copy, so the page's own context is never read back.
  return page.evaluate(([px, py]) => {
    const copy = document.createElement('canvas');
    copy.width = 1;
    copy.height = 1;
    const c = copy.getContext('2d', { willReadFrequently: true });
    c.drawImage(document.getElementById('c'), px, py, 1, 1, 0, 0, 1, 1);
    return Array.from(c.getImageData(0, 0, 1, 1).data);
  }, [x, y]);
}

// Colour channels within `tol` of the expected ones (premultiplied storage rounds them).
export function near(actual, expected, tol = 3) {
  return actual.length === expected.length && actual.every((v, i) => Math.abs(v - expected[i]) <= tol);
}

export function rgb(hex) {
  return [1, 3, 5].map((i) => parseInt(hex.slice(i, i + 2), 16));
}

export async function tableRows(page) {
  return page.$$eval('#tb tr', (trs) => trs.map((tr) => Array.from(tr.cells).map((c) => c.textContent)));
}

// Moves the pointer over the canvas at stored index i of the current drawing.
export async function hoverIndex(page, i) {
  const pos = await page.evaluate((k) => {
    const r = document.getElementById('c').getBoundingClientRect();
    return { x: r.left + layout.x(k), y: r.top + 100 };
  }, i);
  await page.mouse.move(pos.x, pos.y);
  return page.evaluate(() => ({ html: document.getElementById('tip').innerHTML,
    text: document.getElementById('tip').innerText, opacity: document.getElementById('tip').style.opacity }));
}
