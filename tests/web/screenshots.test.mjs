// A realistic week in light and dark appearance, saved for a person to look at.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, it } from 'node:test';
import { NOW, OUTPUT, genPage, launch, line, open } from './support.mjs';

let browser;
before(async () => { browser = await launch(); });
after(async () => { await browser.close(); });

// Awake from 8:00 to 23:30 with a lunch break; apps with their own rhythms; the battery drains
// through the day, charges in the evening and rests full on external power.
function realisticWeek(days = 7) {
  const apps = [['Safari', 120000], ['Xcode', 160000], ['Mail', 25000], ['Slack', 40000],
    ['Music', 18000], ['Terminal', 9000], ['Finder', 6000], ['Photos', 30000], ['Messages', 8000],
    ['WindowServer', 50000], ['Spotlight', 12000], ['Calendar', 3000]];
  const lines = [];
  const start = NOW - days * 86400;
  let bat = 100;
  let seed = 7;
  const rnd = () => { seed = (seed * 16807) % 2147483647; return seed / 2147483647; };
  for (let t = start - (start % 60); t < NOW - 120; t += 60) {
    const h = new Date(t * 1000).getHours() + new Date(t * 1000).getMinutes() / 60;
    if (h < 8 || h > 23.5 || (h > 12.5 && h < 13.25)) continue;
    const day = Math.floor((t - start) / 86400);
    const items = {};
    apps.forEach(([name, base], j) => {
      const wave = 0.5 + 0.5 * Math.sin(h / (1.5 + j * 0.4) + day + j);
      const busy = name === 'Xcode' ? (h > 9 && h < 18 ? 1 : 0.1) : 1;
      const v = Math.round(base * wave * busy * (0.6 + 0.8 * rnd()));
      if (v > 0) items[name] = v;
    });
    let state;
    if (h < 19) { bat = Math.max(5, bat - 0.09); state = 'd'; }
    else if (bat < 100) { bat = Math.min(100, bat + 0.6); state = 'c'; }
    else state = 'a';
    lines.push(line(t, 'energy_mj', items, `${bat.toFixed(1)}:${state}`, 55 + rnd() * 5));
  }
  return lines;
}

it('a realistic week renders in light and dark appearance', async () => {
  const file = genPage(realisticWeek(), { capacity: 189360000,
    bundles: { Safari: '/Applications/Safari.app', Xcode: '/Applications/Xcode.app' } });
  fs.mkdirSync(OUTPUT, { recursive: true });
  for (const scheme of ['light', 'dark']) {
    const p = await open(browser, file, { colorScheme: scheme });
    try {
      await p.page.click('#btnP1w');
      const bg = await p.page.evaluate(() => getComputedStyle(document.body).backgroundColor);
      assert.equal(bg, scheme === 'light' ? 'rgb(245, 245, 247)' : 'rgb(28, 28, 30)');
      // The active colour fades in over .12 s.
      const want = scheme === 'light' ? 'rgb(0, 113, 227)' : 'rgb(10, 132, 255)';
      await p.page.waitForFunction((c) => getComputedStyle(document.getElementById('btnP1w')).backgroundColor === c,
        want, { timeout: 2000 });
      // Just above the plot's bottom the stacked areas cover nearly every column.
      const covered = await p.page.evaluate(() => {
        const c = document.getElementById('c');
        const copy = document.createElement('canvas');
        copy.width = c.width;
        copy.height = 1;
        const g = copy.getContext('2d', { willReadFrequently: true });
        g.drawImage(c, 0, 345, c.width, 1, 0, 0, c.width, 1);
        const row = g.getImageData(0, 0, c.width, 1).data;
        let painted = 0;
        for (let px = Math.ceil(layout.left); px < layout.left + layout.pw; px++) if (row[px * 4 + 3]) painted++;
        return painted / layout.pw;
      });
      assert.ok(covered > 0.9, `covered ${covered}`);
      await p.page.screenshot({ path: path.join(OUTPUT, `chart-week-${scheme}.png`), fullPage: true });
      assert.deepEqual(p.problems, []);
      assert.deepEqual(p.foreignRequests(), []);
    } finally {
      await p.close();
    }
  }
});
