// Times the page's draw() (window.__sapwell.draw) in headless Chromium on a full eight-day history
// (11,520 stored minutes, 24 names each): period "All" (target < 100 ms) and one day (< 20 ms).
// The targets apply to the wall-clock median; the renderer's main-thread CPU time per draw is
// printed too, as it stays comparable while other work loads the machine.
//   node bench/chart-draw.mjs [build-dir]      (uses <build-dir>/tests/sapwell_pagegen)
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '..');
const { chromium } = await import(path.join(root, 'tests/web/node_modules/playwright-core/index.mjs'));
const build = path.resolve(process.argv[2] || path.join(root, 'build'));
const pagegen = process.env.SAPWELL_PAGEGEN || path.join(build, 'tests', 'sapwell_pagegen');

const MINUTES = 11520;
const NAMES = 24;
const RUNS = 15;

// Every minute of eight days, 24 names with varying amounts, a battery reading each minute.
function history() {
  const start = Math.floor(Date.now() / 60000) * 60 - MINUTES * 60;
  const out = [];
  let seed = 1;
  const rnd = () => { seed = (seed * 16807) % 2147483647; return seed / 2147483647; };
  for (let k = 0; k < MINUTES; k++) {
    const items = [];
    for (let j = 0; j < NAMES; j++) items.push(`App ${j}=${Math.round((NAMES - j) * 4000 * (0.2 + rnd()))}`);
    const pct = (50 + 45 * Math.sin(k / 400)).toFixed(1);
    out.push(`${start + k * 60}\tenergy_mj\t60.0\t${items.join(',')}\t${pct}:${k % 1000 < 700 ? 'd' : 'c'}\n`);
  }
  return { text: out.join(''), now: start + MINUTES * 60 };
}

const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'sapwell-bench-'));
const { text, now } = history();
fs.writeFileSync(path.join(dir, 'history.tsv'), text);
fs.writeFileSync(path.join(dir, 'bundles.tsv'), '');
const html = execFileSync(pagegen, [path.join(dir, 'history.tsv'), 'energy', '216000000', 'en', String(now),
  path.join(dir, 'bundles.tsv')], { maxBuffer: 64 << 20 });
const file = path.join(dir, 'page.html');
fs.writeFileSync(file, html);

const browser = await chromium.launch({
  executablePath: '/usr/bin/chromium',
  args: ['--headless', '--no-sandbox', '--disable-gpu', '--no-first-run', '--disable-background-networking',
    '--disable-component-update', '--disable-sync'],
});
const page = await (await browser.newContext({ viewport: { width: 1100, height: 900 }, deviceScaleFactor: 2 }))
  .newPage();
await page.goto('file://' + file);
const cdp = await page.context().newCDPSession(page);
await cdp.send('Performance.enable');
const threadTime = async () => (await cdp.send('Performance.getMetrics')).metrics.find((m) => m.name === 'ThreadTime').value;

async function time(button) {
  await page.click(button);
  const cpu0 = await threadTime();
  const r = await page.evaluate((runs) => {
    // Reading one pixel makes the canvas finish its drawing, so the time includes rasterizing.
    const flush = () => document.getElementById('c').getContext('2d').getImageData(0, 0, 1, 1);
    __sapwell.draw();  // warm-up
    flush();
    const t = [];
    for (let i = 0; i < runs; i++) {
      const t0 = performance.now();
      __sapwell.draw();
      flush();
      t.push(performance.now() - t0);
    }
    t.sort((a, b) => a - b);
    return { n: __sapwell.layout.n, median: t[Math.floor(runs / 2)], min: t[0], max: t[runs - 1] };
  }, RUNS);
  return { ...r, cpu: (await threadTime() - cpu0) * 1000 / (RUNS + 1) };
}

const all = await time('#btnPAll');
const day = await time('#btnP1d');
await page.click('#btnLine');
const allLines = await time('#btnPAll');
const dayLines = await time('#btnP1d');
await browser.close();
fs.rmSync(dir, { recursive: true, force: true });

const fmt = (r) => `n=${r.n} median ${r.median.toFixed(1)} ms (min ${r.min.toFixed(1)}, max ${r.max.toFixed(1)}), ` +
  `main-thread CPU ${r.cpu.toFixed(1)} ms`;
console.log(`page ${(html.length / 1048576).toFixed(2)} MiB, ${RUNS} runs each, device pixel ratio 2`);
console.log(`draw() period All: ${fmt(all)}  target < 100 ms  ${all.median < 100 ? 'OK' : 'OVER'}`);
console.log(`draw() period 1d:  ${fmt(day)}  target < 20 ms  ${day.median < 20 ? 'OK' : 'OVER'}`);
console.log(`draw() period All, lines: ${fmt(allLines)}`);
console.log(`draw() period 1d, lines:  ${fmt(dayLines)}`);
