// What the chart draws: empty state, single points, breaks, stacking, smoothing, periods, units.
import assert from 'node:assert/strict';
import { after, before, describe, it } from 'node:test';
import {
  COLORS, T0, dumpPage, genPage, hoverIndex, launch, line, minutes, near, open, pixel, redrawTexts, rgb,
  tableRows,
} from './support.mjs';

let browser;
before(async () => { browser = await launch(); });
after(async () => { await browser.close(); });

// Opens, runs the check, then insists the page stayed quiet: no errors, no requests.
async function withPage(file, opts, check) {
  const p = await open(browser, file, opts);
  try {
    await check(p.page);
    assert.deepEqual(p.problems, []);
    assert.deepEqual(p.foreignRequests(), []);
  } finally {
    await p.close();
  }
}

const cpu = (count, items, opts) => minutes(count, 'cpu_ms', items, opts);
const energy = (count, items, opts) => minutes(count, 'energy_mj', items, opts);

describe('empty state', () => {
  it('an empty history draws the brand mark and the no-data word, with every control present', async () => {
    await withPage(dumpPage([]), {}, async (page) => {
      const { texts } = await redrawTexts(page);
      assert.deepEqual(texts.map((t) => t.text), ['No data']);
      assert.equal(await page.evaluate(() => layout), null);
      for (const id of ['btnP1h', 'btnP6h', 'btnP1d', 'btnP1w', 'btnPAll', 'btnStack', 'btnLine',
        'btnS1', 'btnS5', 'btnS15', 'toggleAll']) {
        assert.ok(await page.$('#' + id), id);
      }
      assert.equal(await page.$$eval('#tb tr', (r) => r.length), 0);
      // The mark's liquid sits in the lower part of the 44 px square centred at (w/2, 159).
      const w = await page.evaluate(() => document.getElementById('c').clientWidth);
      const [r, g, b, a] = await pixel(page, Math.round(w / 2), 159 + 14);
      assert.equal(a, 255);
      assert.ok(g > r && g > 100, `liquid colour ${r},${g},${b}`);
      const tip = await hoverIndex(page, 0).catch(() => null);
      assert.ok(!tip || tip.opacity !== '1');
    });
  });
});

describe('single points and stacking', () => {
  it('one label puts the point in the middle: a 2 px bar stacked, a 2 px square as lines', async () => {
    const file = genPage(energy(1, () => ({ Mail: 600 })), { capacity: null });
    await withPage(file, {}, async (page) => {
      const lay = await page.evaluate(() => ({ left: layout.left, pw: layout.pw, top: layout.top, ph: layout.ph,
        x: layout.x(0) }));
      assert.equal(lay.x, lay.left + lay.pw / 2);
      const cx = Math.floor(lay.x);
      const mid = Math.round(lay.top + lay.ph * 0.4);  // off the grid lines
      { const px = await pixel(page, cx, mid); assert.ok(near(px, [...rgb(COLORS[0]), 0xcc]), String(px)); }
      assert.equal((await pixel(page, cx + 3, mid))[3], 0);
      await page.click('#btnLine');
      // Lines: a square on the value, which is the axis maximum, so at the top of the plot.
      { const px = await pixel(page, cx, lay.top); assert.ok(near(px, [...rgb(COLORS[0]), 255]), String(px)); }
      assert.equal((await pixel(page, cx, mid))[3], 0);
    });
  });

  // 30 minutes are drawn point by point; 3000 are more than the pixel columns and are drawn
  // column by column.
  for (const count of [30, 3000]) {
    it(`stacked areas sit on each other; lines leave the area below them empty (${count} minutes)`, async () => {
      const file = dumpPage(cpu(count, () => ({ Alpha: 2000, Beta: 2000 })));
      await withPage(file, {}, async (page) => {
        const g = await page.evaluate(() => ({ top: layout.top, ph: layout.ph, x: layout.x(Math.floor(layout.n / 2)) }));
        const x = Math.round(g.x);
        const low = Math.round(g.top + g.ph * 0.7);  // off the grid lines
        const high = Math.round(g.top + g.ph * 0.3);
        // Equal totals: the name that sorts first is the first curve, drawn at the bottom.
        { const px = await pixel(page, x, low); assert.ok(near(px, [...rgb(COLORS[0]), 0xcc]), String(px)); }
        { const px = await pixel(page, x, high); assert.ok(near(px, [...rgb(COLORS[1]), 0xcc]), String(px)); }
        await page.click('#btnLine');
        assert.equal(await page.evaluate(() => stackMode), false);
        assert.equal((await pixel(page, x, low))[3], 0);
        const onLine = await pixel(page, x, Math.round(g.top) - 1);
        // The later curve lies over the earlier one; its antialiased edge lets a little through.
        assert.ok(near(onLine.slice(0, 3), rgb(COLORS[1]), 20) && onLine[3] > 150, String(onLine));
        assert.ok(await page.$('#btnLine.active'));
        assert.equal(await page.$('#btnStack.active'), null);
      });
    });
  }
});

describe('breaks', () => {
  it('dashed lines at every break over 300 s, duration labels from 15 minutes on', async () => {
    // Label differences after each run of 20 minutes (60 s apart inside a run).
    const jumps = [7200, 1200, 43200, 900, 600, 300, 36000];
    const file = dumpPage(cpu(160, () => ({ App: 1500 }),
      { gapBefore: (k) => (k % 20 === 0 && k > 0 ? jumps[k / 20 - 1] - 60 : 0) }));
    await withPage(file, {}, async (page) => {
      await page.click('#btnPAll');
      const { texts, dashes } = await redrawTexts(page);
      const labels = texts.filter((t) => t.font.startsWith('9px')).map((t) => t.text);
      assert.deepEqual(labels, ['2.0 h', '20 m', '12 h', '15 m', '10 h']);
      assert.equal(dashes, 6);  // every jump but the one of exactly 300 s
      assert.equal(await page.evaluate(() => layout.n), 160);
    });
  });

  it('a label closer than 4 px to the previous one is skipped', async () => {
    // Two long breaks around a single point: with 400 points they are about 2.5 px apart.
    const gap = (k) => (k === 200 || k === 201 ? 3600 : 0);
    const file = dumpPage(cpu(400, () => ({ App: 1500 }), { gapBefore: gap }));
    await withPage(file, {}, async (page) => {
      await page.click('#btnPAll');
      const { texts, dashes } = await redrawTexts(page);
      assert.equal(dashes, 2);
      assert.deepEqual(texts.filter((t) => t.font.startsWith('9px')).map((t) => t.text), ['1.0 h']);
    });
  });

  it('no curve crosses a break', async () => {
    const file = genPage(energy(40, () => ({ App: 900 }), { gapBefore: (k) => (k === 20 ? 7200 : 0) }),
      { capacity: null });
    await withPage(file, {}, async (page) => {
      const g = await page.evaluate(() => ({ a: layout.x(19), b: layout.x(20), top: layout.top, ph: layout.ph }));
      // Between the two runs, off the dashed line, the plot is empty.
      const x = Math.round(g.a + (g.b - g.a) / 4);
      assert.equal((await pixel(page, x, Math.round(g.top + g.ph * 0.8)))[3], 0);
    });
  });
});

describe('smoothing', () => {
  const table = [['btnS1', 1, [1500, 0, 0]], ['btnS5', 5, [300, 300, 300]], ['btnS15', 15, [100, 100, 100]]];
  it('averages over 1, 5 or 15 trailing minutes, within the period only', async () => {
    const file = dumpPage(cpu(40, (k) => ({ Spike: k === 20 ? 1500 : 0, Base: 10 })));
    await withPage(file, {}, async (page) => {
      assert.equal(await page.evaluate(() => smoothWin), 5);
      for (const [id, w, expect] of table) {
        await page.click('#' + id);
        assert.equal(await page.evaluate(() => smoothWin), w);
        assert.ok(await page.$(`#${id}.active`));
        const got = await page.evaluate(() => {
          const k = layout.vis.findIndex((c) => SERIES[c.i].name === 'Spike');
          return [layout.data[k][20], layout.data[k][21], layout.data[k][22]];
        });
        assert.deepEqual(got.map((v) => Math.round(v * 1000) / 1000), expect, id);
      }
      // The first point of the cut averages only over what exists.
      const first = await page.evaluate(() => layout.data[layout.vis.findIndex((c) => SERIES[c.i].name === 'Base')][0]);
      assert.equal(first, 10);
    });
  });
});

describe('periods', () => {
  // One minute every 20 minutes over eight days, then the last hour minute by minute.
  const lines = [];
  for (let t = T0; t < T0 + 8 * 86400 - 7200; t += 1200) lines.push(line(t, 'cpu_ms', { Old: 1000 }));
  const dense = T0 + 8 * 86400 - 7200;
  for (let k = 0; k < 60; k++) lines.push(line(dense + k * 60, 'cpu_ms', { Old: 1000, New: 2000 }));
  const labels = lines.map((l) => Number(l.split('\t')[0]));
  const last = labels[labels.length - 1];
  const cases = [['btnP1h', 60], ['btnP6h', 360], ['btnP1d', 1440], ['btnP1w', 10080], ['btnPAll', 0]];

  it('each period button cuts the chart and the table at the same first minute', async () => {
    await withPage(dumpPage(lines), {}, async (page) => {
      for (const [id, min] of cases) {
        await page.click('#' + id);
        const expectN = min === 0 ? labels.length : labels.filter((t) => t >= last - min * 60).length;
        const got = await page.evaluate(() => ({ n: layout.n, periodMin }));
        assert.equal(got.periodMin, min, id);
        assert.equal(got.n, expectN, id);
        assert.ok(await page.$(`#${id}.active`));
        assert.equal(await page.$$eval('#periodGroup .active', (b) => b.length), 1);
        // Old used 1 CPU s in every stored minute of the period.
        const rows = await tableRows(page);
        const old = rows.find((r) => r[0] === 'Old');
        const s = expectN;
        const want = s >= 3600 ? (s / 3600).toFixed(1) + ' CPU hours' : s >= 60 ? (s / 60).toFixed(1) + ' CPU min'
          : s.toFixed(s >= 10 ? 0 : 1) + ' CPU s';
        assert.equal(old[1], want, id);
        const { texts } = await redrawTexts(page);
        const axis = texts.filter((t) => t.font.startsWith('11px') && /\d\d:\d\d$/.test(t.text));
        assert.equal(axis.length, 8, id);
        // Dates join the time axis once the span exceeds a day.
        assert.equal(axis.some((t) => t.text.includes(' ')), min === 0 || min === 10080, id);
      }
    });
  });
});

describe('units', () => {
  const bats = [['a', 'watt', 'btnWatt'], ['c', 'watt', 'btnWatt'], ['d', 'pct', 'btnPct'], [null, 'pct', 'btnPct']];
  for (const [state, mode, active] of bats) {
    it(`the last battery state ${state} chooses ${mode}`, async () => {
      const bat = (k) => (state === null ? '-' : k === 9 ? `80.0:${state}` : k < 5 ? '81.0:d' : '-');
      const file = genPage(energy(10, () => ({ App: 600 }), { bat }));
      await withPage(file, {}, async (page) => {
        assert.equal(await page.evaluate(() => unitMode), mode);
        assert.equal(await page.$eval('#unitGroup', (g) => getComputedStyle(g).display), 'flex');
        assert.ok(await page.$(`#${active}.active`));
      });
    });
  }

  it('watt figures take a prefix; percent figures do not; the switch redraws the table', async () => {
    // 100 % of this battery is 3,600,000 mJ.
    const file = genPage(energy(3, (k) => (k === 0 ? { Big: 5400000, Tiny: 1800, Small: 558 } : { Small: 558 }),
      { bat: () => '50.0:a' }), { capacity: 3600000 });
    await withPage(file, {}, async (page) => {
      const rows = Object.fromEntries((await tableRows(page)).map((r) => [r[0], r]));
      assert.equal(rows.Big[1], '1.50 Wh');
      assert.equal(rows.Tiny[1], '500 µWh');
      assert.equal(rows.Small[2], '9.30 mW');
      await page.click('#btnPct');
      assert.equal(await page.evaluate(() => unitMode), 'pct');
      const pct = Object.fromEntries((await tableRows(page)).map((r) => [r[0], r]));
      assert.equal(pct.Big[1], '150.0%');
      assert.equal(pct.Small[2], '0.930 %/h');
      const { texts } = await redrawTexts(page);
      assert.ok(texts.some((t) => t.text === '%/h'));
      await page.click('#btnWatt');
      const w = await redrawTexts(page);
      // An axis maximum of about 90 W keeps plain watts.
      assert.ok(w.texts.some((t) => t.text === 'W'));
    });
  });

  it('an axis maximum below one watt puts the whole axis in mW', async () => {
    const file = genPage(energy(10, () => ({ App: 30000 }), { bat: () => '90.0:a' }), { capacity: 3600000 });
    await withPage(file, {}, async (page) => {
      const { texts } = await redrawTexts(page);
      const left = texts.filter((t) => t.align === 'right' && !t.text.includes(':')).map((t) => t.text);
      assert.deepEqual(left, ['0', '125', '250', '375', '500']);
      assert.ok(texts.some((t) => t.text === 'mW'));
    });
  });

  it('without a battery: joules, no unit group, no battery axis', async () => {
    const file = genPage(energy(5, () => ({ App: 2000 }), { bat: () => '70.0:d' }), { capacity: null });
    await withPage(file, {}, async (page) => {
      assert.equal(await page.$eval('#unitGroup', (g) => getComputedStyle(g).display), 'none');
      assert.equal(await page.$eval('#bat-legend', (g) => getComputedStyle(g).display), 'none');
      const rows = await tableRows(page);
      assert.equal(rows[0][1], '10.0 J');
      const { texts } = await redrawTexts(page);
      assert.ok(!texts.some((t) => t.text === '%'));
    });
  });
});

describe('battery overlay', () => {
  it('draws the level on its own axis in the colour of the state', async () => {
    const bat = (k) => (k < 20 ? '50.0:d' : '50.0:c');
    const file = genPage(energy(40, () => ({ App: 600 }), { bat }), { capacity: 216000000 });
    await withPage(file, {}, async (page) => {
      await page.click('#btnLine');
      const g = await page.evaluate(() => ({ top: layout.top, ph: layout.ph, a: layout.x(10), b: layout.x(30) }));
      // All points at 50 %: the range is 47.5 to 52.5, so the line runs through the middle.
      const y = Math.round(g.top + g.ph / 2) - 1;
      { const px = await pixel(page, Math.round(g.a), y); assert.ok(near(px, [...rgb('#ef4444'), 255]), String(px)); }
      { const px = await pixel(page, Math.round(g.b), y); assert.ok(near(px, [...rgb('#22c55e'), 255]), String(px)); }
      const { texts } = await redrawTexts(page);
      const right = texts.filter((t) => t.text.endsWith('%') && t.align === 'left').map((t) => t.text);
      assert.deepEqual(right, ['47.5%', '48.8%', '50.0%', '51.3%', '52.5%', '%']);
      assert.equal(await page.$eval('#bat-legend', (g) => g.style.display), 'flex');
    });
  });

  it('a narrow range is padded to 93.6–98.9 and a full battery to 95–100', async () => {
    for (const [pcts, want] of [[[96.1, 96.4], ['93.6%', /^9[45]\.\d%$/, /^96\.[23]%$/, /^97\.[56]%$/, '98.9%']],
      [[100, 100], ['95.0%', '96.3%', '97.5%', '98.8%', '100.0%']]]) {
      const bat = (k) => `${pcts[k % 2].toFixed(1)}:d`;
      const file = genPage(energy(6, () => ({ App: 600 }), { bat }));
      await withPage(file, {}, async (page) => {
        const { texts } = await redrawTexts(page);
        const right = texts.filter((t) => /^\d+\.\d%$/.test(t.text) && t.align === 'left').map((t) => t.text);
        assert.equal(right.length, 5);
        want.forEach((w, i) => (typeof w === 'string' ? assert.equal(right[i], w) : assert.match(right[i], w)));
      });
    }
  });
});

describe('CPU metric', () => {
  it('has no unit group, no battery legend, axis or tooltip line, and notes CPU in the subtitle', async () => {
    const file = dumpPage(cpu(20, () => ({ App: 1500 }), { bat: () => '87.5:d' }));
    await withPage(file, {}, async (page) => {
      assert.equal(await page.evaluate(() => IS_CPU && !SHOW_BATTERY && unitMode === 'cpu'), true);
      assert.equal(await page.$eval('#unitGroup', (g) => getComputedStyle(g).display), 'none');
      assert.equal(await page.$eval('#bat-legend', (g) => getComputedStyle(g).display), 'none');
      const { texts } = await redrawTexts(page);
      assert.ok(texts.some((t) => t.text === 'CPU s/min'));
      assert.ok(!texts.some((t) => t.text.endsWith('%')));
      await page.click('#btnS1');
      const tip = await hoverIndex(page, 10);
      assert.equal(tip.opacity, '1');
      assert.match(tip.text, /App — 1\.50 CPU s\/min/);
      assert.ok(!tip.text.includes('%'));
      assert.match(await page.$eval('#sub', (s) => s.textContent),
        /^Minutes collected: 20 · updated .+ · CPU time, not battery power$/);
      assert.equal(await page.title(), await page.$eval('h1', (h) => h.textContent));
    });
  });

  it('a German page speaks German', async () => {
    const file = dumpPage(cpu(3, () => ({ App: 1 })), { lang: 'de' });
    await withPage(file, {}, async (page) => {
      assert.equal(await page.$eval('html', (h) => h.lang), 'de');
      assert.equal(await page.evaluate(() => LOCALE), 'de-DE');
      assert.deepEqual(await page.$$eval('#periodGroup button', (b) => b.map((x) => x.textContent)),
        ['1 Std.', '6 Std.', '1 Tag', '1 Wo.', 'Alle']);
    });
  });
});
