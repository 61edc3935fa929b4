// The battery view of a history with measured drain, and the sleep breaks' labels.
import assert from 'node:assert/strict';
import { dumpPage, expectPixel, genPage, hoverIndex, minutes, redraw, sleepLine, tableRows, useBrowser, withDrain } from './support.mjs';

const { test } = useBrowser();
const legend = (page) => page.$$eval('#legend > div', (ds) => ds.map((d) => d.textContent + (d.className ? ':' + d.className : '')));
const look = (page) => page.evaluate(() => [__sapwell.state.view, __sapwell.state.unit, ...['viewGroup', 'unitGroup', 'drainNote']
  .map((id) => getComputedStyle(document.getElementById(id)).display), Array.from(document.querySelectorAll('.active'), (b) => b.id)]);
// The heading and the "CPU time" remark follow the view.
const heading = (page) => page.evaluate(() => [document.querySelector('h1').textContent, getComputedStyle(document.getElementById('cpuNote')).display]);

// A uses 30 CPU s in odd minutes, B 6 s in every one. The machine draws 400 mW plus 1 mW per ms of CPU a
// second: 1 W with A, 0.5 W without, which puts idle at 400 mW; A gets 500 mW, B 100 mW. Minutes 10-14 have
// no drain; minute 20 is measured over 30 s only. 100 % of this battery is 3,600,000 mJ: 1 W is 100 %/h.
const lines = minutes(40, 'cpu_ms', (k) => ({ A: k % 2 ? 30000 : 0, B: 6000 }), { bat: (k) => (90 - k / 10).toFixed(1) + ':d' })
  .map((l, k) => (k >= 10 && k <= 14 ? l : k === 20 ? withDrain(l, 15000, 30) : withDrain(l, k % 2 ? 60000 : 30000)));
test('with drain in the newest minute the battery view opens: idle at the bottom, gaps where unmeasured, the table in battery units',
  () => genPage(lines, { metric: 'cpu', capacity: 3600000 }), async (page) => {
    assert.deepEqual(await look(page), ['battery', 'pct', 'flex', 'flex', 'block', ['btnBattery', 'btnP1d', 'btnStack', 'btnS5', 'btnPct']]);
    assert.deepEqual(await legend(page), ['Idle and screen', 'A', 'B']);
    assert.deepEqual(await heading(page), ['Battery usage by app', 'none']);
    await page.click('#btnS1');
    const lay = await page.evaluate(() => ((l) => ({ spans: l.spans, runs: l.runs, top: l.top, ph: l.ph, x: [5, 12].map(l.x) }))(__sapwell.layout));
    assert.deepEqual([lay.spans, lay.runs, (await redraw(page)).dashes], [[[0, 9], [15, 39]], [[0, 39]], 0]);
    await expectPixel(page, lay.x[0], lay.top + lay.ph * 0.9, '#64748b', 0xcc);  // idle, the lowest 40 % of a 1 W column
    await expectPixel(page, lay.x[1], lay.top + lay.ph * 0.9, null, 0);  // no drain: empty, not zero
    const tip = (await hoverIndex(page, 21)).text;
    for (const row of ['A — 50.0 %/h', 'Idle and screen — 40.0 %/h', 'B — 10.0 %/h', '87.9% — Discharging']) assert.ok(tip.includes(row), tip);
    assert.equal((await hoverIndex(page, 12)).opacity, '0');
    // Totals are what was measured (minute 20 adds half a minute), rates its power; shares of the drain.
    assert.deepEqual(await tableRows(page), [['Idle and screen', '23.0%', '40.0 %/h', '40.0 %/h', '52.6%'],
      ['A', '15.0%', '50.0 %/h', '50.0 %/h', '34.3%'], ['B', '5.75%', '10.0 %/h', '10.0 %/h', '13.1%']]);
    await page.click('#btnWatt');
    assert.deepEqual((await tableRows(page))[0], ['Idle and screen', '230.0 mWh', '400 mW', '400 mW', '52.6%']);
    // The CPU view has its own unit and curves; a curve hidden there stays hidden here.
    await page.click('#btnCPU');
    assert.deepEqual(await look(page), ['cpu', 'cpu', 'flex', 'none', 'none', ['btnCPU', 'btnP1d', 'btnStack', 'btnS1']]);
    assert.deepEqual(await heading(page), ['CPU activity by app', 'inline']);
    await page.click('#legend > div:nth-child(2)');
    assert.deepEqual([await legend(page), (await tableRows(page))[0], await page.evaluate(() => __sapwell.layout.spans)],
      [['A', 'B:off'], ['A', '10.0 CPU min', '30.0 CPU s/min', '30.0 CPU s/min', '71.4%'], [[0, 39]]]);
    await page.click('#btnBattery');
    assert.deepEqual([(await look(page)).slice(0, 2), await legend(page)], [['battery', 'watt'], ['Idle and screen', 'A', 'B:off']]);
  });

// Drain only before the night; a sleep of 3 hours that cost 2.1 %, then a break of 20 minutes spent charging.
// Through the real dump: the history file's drain fields and sleep lines reach the page.
const night = minutes(30, 'cpu_ms', () => ({ A: 3000 }), { gapBefore: (k) => (k === 10 ? 10740 : k === 20 ? 1140 : 0) });
const t = night.map((l) => Number(l.split('\t')[0]));
const nightFile = night.map((l, k) => (k < 10 ? withDrain(l, 30000) : l));
nightFile.splice(20, 0, sleepLine(t[20], 1000, 70, 71));
nightFile.splice(10, 0, sleepLine(t[10], t[10] - t[9] - 60, 80.0, 77.9));
test('without drain in the newest minute the CPU view opens; break labels in the page language carry the sleep\'s drain',
  () => dumpPage(nightFile, { lang: 'de' }), async (page) => {
    assert.deepEqual((await look(page)).slice(0, 5), ['cpu', 'cpu', 'flex', 'none', 'none']);
    const breaks = async () => (await redraw(page)).texts.filter((x) => x.font.startsWith('9px')).map((x) => x.text);
    assert.deepEqual(await breaks(), ['3.0 Std. · 2.1%', '20 Min.']);  // charging while asleep is no drain
    await page.click('#btnBattery');
    assert.deepEqual([(await look(page))[0], await page.evaluate(() => __sapwell.layout.spans), await breaks()],
      ['battery', [[0, 9]], ['3.0 Std. · 2.1%', '20 Min.']]);
  });
