// What the chart draws: empty state, single points, breaks, stacking, smoothing, periods, units.
import assert from 'node:assert/strict';
import { it } from 'node:test';
import { T0, dumpPage, expectPixel, genPage, hoverIndex, line, minutes, redraw, tableRows, useBrowser } from './support.mjs';

const { withPage, test } = useBrowser();
const [RED, BLUE] = ['#ff6b6b', '#4dabf7'];
const [cpu, energy] = ['cpu_ms', 'energy_mj'].map((tag) => (count, items, opts) => minutes(count, tag, items, opts));
const geometry = (page, i = 0, j = 0) => page.evaluate(([i, j]) => ((l) => ({ top: l.top, ph: l.ph,  // i < 0: the middle
  mid: l.left + l.pw / 2, x0: l.x(i < 0 ? Math.floor(l.n / 2) : i), x1: l.x(j) }))(__sapwell.layout), [i, j]);
const shown = (page, ...ids) => Promise.all(ids.map((id) => page.$eval(id, (g) => getComputedStyle(g).display)));

test('an empty history draws the brand mark and the no-data word, and no rows or tooltip', () => dumpPage([]), async (page) => {
  assert.deepEqual((await redraw(page)).texts.map((t) => t.text), ['No data']);
  assert.deepEqual(await page.evaluate(() => [__sapwell.layout, document.querySelectorAll('#tb tr').length]), [null, 0]);
  // The mark's liquid fills the lower part of its 44 px square centred at (w/2, 159).
  const [r, g] = await expectPixel(page, await page.evaluate(() => document.getElementById('c').clientWidth / 2), 173);
  assert.ok(g > r && g > 100, `liquid colour ${r},${g}`);
  assert.notEqual((await hoverIndex(page, 0).catch(() => null))?.opacity, '1');
});

test('one label without a capacity: a 2 px bar stacked, a 2 px square as lines, joules, no unit group; the reading keeps its legend',
  () => genPage(energy(1, () => ({ Mail: 10000 }), { bat: () => '70.0:d' }), { capacity: null }), async (page) => {
    const g = await geometry(page), [x, y] = [Math.floor(g.x0), g.top + g.ph * 0.4];  // off the grid lines
    for (const spot of [[x, y, RED, 0xcc], [x + 3, y, null, 0]]) await expectPixel(page, ...spot);
    assert.deepEqual([g.x0, ...await shown(page, '#unitGroup', '#bat-legend'), (await tableRows(page))[0][1]],
      [g.mid, 'none', 'flex', '10.0 J']);
    await page.click('#btnLine');
    for (const spot of [[x, g.top, RED], [x, y, null, 0]]) await expectPixel(page, ...spot);  // the value is the axis maximum
    assert.ok(!(await redraw(page)).texts.some((t) => t.text.endsWith('%')));  // one point is no line
  });

for (const count of [30, 3000]) {  // point by point; more minutes than pixel columns
  test(`stacked areas sit on each other by name from the bottom; lines leave the area below empty (${count} minutes)`,
    () => dumpPage(cpu(count, () => ({ Alpha: 2000, Beta: 2000 }))), async (page) => {
      const g = await geometry(page, -1);
      for (const [f, hex] of [[0.7, RED], [0.3, BLUE]]) await expectPixel(page, g.x0, g.top + g.ph * f, hex, 0xcc);
      await page.click('#btnLine');
      await expectPixel(page, g.x0, g.top + g.ph * 0.7, null, 0);
      await expectPixel(page, g.x0, Math.round(g.top) - 1, BLUE, [151, 255], 20);  // the later curve on top, antialiased
    });
}

// Painted pixels of each colour in canvas columns x0 to x1 of the plot (the areas' alpha is cc, edges excluded).
const painted = (page, colours, x0, x1) => page.evaluate(([colours, x0, x1]) => {
  const { ph, top } = __sapwell.layout;
  const [w, h] = [x1 - x0, Math.floor(ph)], c = Object.assign(document.createElement('canvas'), { width: w, height: h });
  c.getContext('2d').drawImage(document.getElementById('c'), x0, Math.ceil(top), w, h, 0, 0, w, h);
  const px = c.getContext('2d').getImageData(0, 0, w, h).data;  // a copy keeps the page's context unread
  const rgb = colours.map((h) => [1, 3, 5].map((o) => parseInt(h.slice(o, o + 2), 16)));
  const counts = colours.map(() => 0);
  for (let p = 0; p < px.length; p += 4) {
    const k = px[p + 3] < 190 ? -1 : rgb.findIndex((c) => c.every((v, j) => Math.abs(v - px[p + j]) <= 12));
    if (k >= 0) counts[k]++;
  }
  return counts;
}, [colours, x0, x1]);

// A week where Bulk uses 100 s every tenth minute and Small 60 s five minutes later: about ten minutes
// share each pixel column, and a column drawn from one chosen minute loses one of them.
const bulkSmall = cpu(7 * 1440 + 30, (k) => (k % 10 === 0 ? { Bulk: 100000 } : k % 10 === 5 ? { Small: 60000 } : {}));
test('a dense week keeps every curve: areas in proportion to the totals, lines for both, the tooltip as drawn',
  () => dumpPage(bulkSmall), async (page) => {
    await page.click('#btnP1w').then(() => page.click('#btnS1'));
    const { left, pw, n, max } = await page.evaluate(() => __sapwell.layout);
    const whole = await painted(page, [RED, BLUE], Math.ceil(left), Math.floor(left + pw));
    const shares = Object.fromEntries((await tableRows(page)).map((r) => [r[0], parseFloat(r[4])]));
    const ratio = (whole[0] / whole[1]) / (shares.Bulk / shares.Small);
    assert.ok(whole[1] > 0 && ratio > 0.8 && ratio < 1.2, `painted ${whole}, shares ${JSON.stringify(shares)}`);
    // The axis fits the column means (about 16 s a minute stacked), not one minute's 100 s.
    assert.ok(n > 10000 && max < 50000, `n ${n}, max ${max}`);
    // Under the pointer the tooltip reads the heights painted in that pixel column.
    for (const col of [Math.floor(left + pw / 3), Math.floor(left + pw / 2) + 1]) {
      const tip = await page.evaluate((c) => ((r) => [r.left + c + 0.5, r.top + 100])(document.getElementById('c')
        .getBoundingClientRect()), col).then(([cx, cy]) => page.mouse.move(cx, cy)).then(() => page.$eval('#tip', (t) => t.innerText));
      const heights = await painted(page, [RED, BLUE], col, col + 1);
      const ph = await page.evaluate(() => __sapwell.layout.ph);
      ['Bulk', 'Small'].forEach((name, k) => {
        const value = parseFloat((tip.match(new RegExp(name + ' — ([\\d.]+) CPU')) || [])[1]);
        assert.ok(Math.abs(value * 1000 / max * ph - heights[k]) <= 2, `${name}: ${tip} over ${heights} px of ${ph}`);
      });
      assert.match(tip, /^\S.* – \d\d:\d\d/);  // the minutes the column averages
    }
    await page.click('#btnLine');
    assert.ok((await painted(page, [RED, BLUE], Math.ceil(left), Math.floor(left + pw))).every((c) => c > 500));
  });

// Runs of 20 minutes: dashed lines over 300 s, labels from 15 minutes, none within 4 px of the previous
// one (two long breaks around a single point of 400), no curve across a break.
for (const [count, gapBefore, dashes, labels, emptyAfter] of [
  [160, (k) => (k % 20 || !k ? 0 : [7200, 1200, 43200, 900, 600, 300, 36000][k / 20 - 1] - 60), 6,
    ['2.0 h', '20 min', '12 h', '15 min', '10 h'], 0],
  [400, (k) => (k === 200 || k === 201 ? 3600 : 0), 2, ['1.0 h'], 0],
  [40, (k) => (k === 20 ? 7200 : 0), 1, ['2.0 h'], 19],
]) {
  test(`breaks in ${count} minutes: ${dashes} dashed lines, labels ${labels}`,
    () => dumpPage(cpu(count, () => ({ App: 1500 }), { gapBefore })), async (page) => {
      await page.click('#btnPAll');
      const { texts, dashes: got } = await redraw(page);
      assert.deepEqual([got, await page.evaluate(() => __sapwell.layout.n), texts.filter((t) => t.font.startsWith('9px'))
        .map((t) => t.text)], [dashes, count, labels]);
      const g = await geometry(page, emptyAfter, emptyAfter + 1);  // a quarter along: off the dashed line
      if (emptyAfter) await expectPixel(page, g.x0 + (g.x1 - g.x0) / 4, g.top + g.ph * 0.8, null, 0);
    });
}

// With fewer points than the eight ticks an index comes up more than once: one label each, the ends
// inside the plot, a single point in the middle.
it('the time axis labels each point once when there are fewer points than ticks', async () => {
  const middle = (k) => Array(k).fill('center');
  for (const [count, aligns] of [[1, ['center']], [2, ['left', 'right']], [3, ['left', 'center', 'right']],
    [7, ['left', ...middle(5), 'right']], [9, ['left', ...middle(6), 'right']]]) {
    await withPage(dumpPage(cpu(count, () => ({ App: 1000 }))), {}, async (page) => {
      const axis = (await redraw(page)).texts.filter((t) => t.font.startsWith('11px') && /\d\d:\d\d$/.test(t.text));
      assert.deepEqual([axis.map((t) => t.align), new Set(axis.map((t) => t.text)).size], [aligns, aligns.length], `${count}`);
    });
  }
});

// One minute every 20 minutes over eight days, then the last hour minute by minute; Old uses 1 CPU s a minute.
const periods = [...Array.from({ length: 8 * 72 - 6 }, (_, k) => line(T0 + k * 1200, 'cpu_ms', { Old: 1000 })),
  ...cpu(60, () => ({ Old: 1000, New: 2000 }), { t0: T0 + 8 * 86400 - 7200 })];
const labels = periods.map((l) => Number(l.split('\t')[0]));
test('each period button cuts the chart and the table at the same first minute; dates join the axis past a day',
  () => dumpPage(periods), async (page) => {
    for (const [id, min] of [['btnP1h', 60], ['btnP6h', 360], ['btnP1d', 1440], ['btnP1w', 10080], ['btnPAll', 0]]) {
      await page.click('#' + id);
      const n = min ? labels.filter((t) => t >= labels.at(-1) - min * 60).length : labels.length;
      assert.deepEqual(await page.evaluate(() => [__sapwell.layout.n, __sapwell.state.period, Array.from(
        document.querySelectorAll('#periodGroup .active'), (b) => b.id)]), [n, min, [id]]);
      assert.equal((await tableRows(page)).find((r) => r[0] === 'Old')[1],
        n >= 3600 ? (n / 3600).toFixed(1) + ' CPU hours' : (n / 60).toFixed(1) + ' CPU min', id);
      const axis = (await redraw(page)).texts.filter((t) => t.font.startsWith('11px') && /\d\d:\d\d$/.test(t.text));
      assert.deepEqual([axis.length, axis.some((t) => t.text.includes(' '))], [8, min === 0 || min === 10080], id);
    }
  });

test('watt figures take a prefix, percent figures do not, and the switch redraws table and axis', () => genPage(energy(3,
  (k) => (k ? { Small: 558 } : { Big: 5400000, Tiny: 1800, Small: 558 }), { bat: () => '50.0:a' }), { capacity: 3600000 }),
async (page) => {  // 100 % of this battery is 3,600,000 mJ
  const rows = async () => Object.fromEntries((await tableRows(page)).map((r) => [r[0], r]));
  const r = await rows();
  assert.deepEqual([r.Big[1], r.Tiny[1], r.Small[2]], ['1.50 Wh', '500 µWh', '9.30 mW']);
  const p = await page.click('#btnPct').then(rows);
  assert.deepEqual([p.Big[1], p.Small[2], (await redraw(page)).texts.some((t) => t.text === '%/h')], ['150.0%', '0.930 %/h', true]);
  await page.click('#btnWatt');
  assert.ok((await redraw(page)).texts.some((t) => t.text === 'W'));  // about 90 W: no prefix
});

// The last state picks watts (charging, mains) or percent (discharging, none); the level has its own padded axis.
it('the battery chooses the unit and has its own axis: 47.5–52.5 around 50, 93.6–98.9 when narrow, 95–100 when full', async () => {
  for (const [bat, ends, mode] of [[(k) => (k < 20 ? '50.0:d' : '50.0:c'), '47.5% 52.5%', 'watt'],
    [(k) => (k % 2 ? '96.4:d' : '96.1:d'), '93.6% 98.9%', 'pct'], [() => '100.0:a', '95.0% 100.0%', 'watt'], [() => '-', '', 'pct']]) {
    await withPage(genPage(energy(40, () => ({ App: 600 }), { bat })), {}, async (page) => {
      const right = (await redraw(page)).texts.filter((t) => /^\d+\.\d%$/.test(t.text) && t.align === 'left').map((t) => t.text);
      assert.deepEqual([right.length ? `${right.length} ${right[0]} ${right.at(-1)}` : '', await page.evaluate(() => __sapwell.state.unit),
        ...await shown(page, '#unitGroup', '#bat-legend'), await page.$eval('#unitGroup .active', (b) => b.id)],
      [ends && '5 ' + ends, mode, 'flex', ends ? 'flex' : 'none', mode === 'pct' ? 'btnPct' : 'btnWatt'], ends);
      if (!ends.startsWith('47.5')) return;  // all at 50 %: the line runs through the middle in each state's colour
      await page.click('#btnLine');
      const g = await geometry(page, 10, 30);
      for (const [x, hex] of [[g.x0, '#ef4444'], [g.x1, '#22c55e']]) await expectPixel(page, x, Math.round(g.top + g.ph / 2) - 1, hex);
    });
  }
});

test('CPU time: no unit group but the battery level, its axis and tooltip line; smoothing over 1, 5 or 15 trailing minutes',
  () => dumpPage(cpu(40, (k) => ({ Spike: k === 20 ? 1500 : 0, Base: 1500 }), { bat: (k) => (80 - k / 10).toFixed(1) + ':d' })),
  async (page) => {
    assert.deepEqual([await page.evaluate(() => IS_CPU && !SHOW_BATTERY && __sapwell.state.unit), ...await shown(page,
      '#unitGroup', '#bat-legend'), await page.$('#viewGroup')], ['cpu', 'none', 'flex', null]);  // no drain, no view switch
    const texts = (await redraw(page)).texts.map((t) => t.text).join('|'), tip = await hoverIndex(page, 10);
    assert.ok(texts.includes('CPU s/min') && texts.includes('|%'), texts);
    assert.ok(tip.opacity === '1' && tip.text.includes('Base — 1.50 CPU s/min') && tip.text.includes('79.0% — Discharging'), tip.text);
    assert.match(await page.textContent('#sub'), /^Minutes collected: 40 · updated .+ · CPU time, not battery power$/);
    // Five minutes until the user picks another width.
    for (const [id, w, expect] of [[null, 5, [300, 300, 300]], ['btnS1', 1, [1500, 0, 0]], ['btnS5', 5, [300, 300, 300]],
      ['btnS15', 15, [100, 100, 100]]]) {
      if (id) await page.click('#' + id);
      assert.deepEqual(await page.evaluate((id) => [__sapwell.state.smoothing, document.getElementById(id).classList.contains('active'),
        ...[20, 21, 22].map((i) => Math.round(__sapwell.layout.data[1][i] * 1000) / 1000)], id || 'btnS5'), [w, true, ...expect], id);
    }
    assert.equal(await page.evaluate(() => __sapwell.layout.data[0][0]), 1500);  // the first point averages what exists
  });
