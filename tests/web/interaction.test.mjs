// What the user touches: legend, hide-all, table, tooltip, hostile names and host messages.
import assert from 'node:assert/strict';
import { it } from 'node:test';
import { T0, dumpPage, genPage, hoverIndex, line, minutes, redraw, tableRows, useBrowser } from './support.mjs';

const { withPage, test } = useBrowser();
const legend = (page) => page.$$eval('#legend > div', (ds) => ds.map((d) => d.textContent + (d.className ? ':' + d.className : '')));
const state = (page) => page.evaluate(() => [layout?.vis.map((c) => c.i) ?? null, document.getElementById('toggleAll')
  .textContent, document.querySelectorAll('#tb tr').length]);

test('the legend toggles single curves and hides or shows all; the table keeps every row',
  () => dumpPage(minutes(10, 'cpu_ms', () => ({ A: 3000, B: 2000, C: 1000 }))), async (page) => {
    assert.deepEqual(await legend(page), ['A', 'B', 'C']);
    await page.click('#legend > div:nth-child(2)');
    assert.deepEqual([await legend(page), await state(page)], [['A', 'B:off', 'C'], [[0, 2], 'Hide all', 3]]);
    await page.click('#toggleAll');  // something was hidden: show all
    assert.deepEqual([await legend(page), await state(page)], [['A', 'B', 'C'], [[0, 1, 2], 'Hide all', 3]]);
    await page.click('#toggleAll');  // nothing hidden: hide all
    assert.deepEqual([await legend(page), await state(page)], [['A:off', 'B:off', 'C:off'], [null, 'Show all', 3]]);
    assert.deepEqual([(await redraw(page)).texts.map((t) => t.text), await page.$eval('#tip', (t) => t.style.opacity === '1')],
      [['No data'], false]);
    await page.click('#legend > div:nth-child(3)');  // showing one leaves the button's text alone
    assert.deepEqual(await state(page), [[2], 'Show all', 3]);
  });

// Old worked only days ago, Idle never; the curves are chosen over everything stored.
const busy = [...minutes(30, 'cpu_ms', () => ({ Old: 9000, Idle: 0 })),
  ...minutes(30, 'cpu_ms', (k) => ({ Small: 1000, Big: k % 2 ? 4000 : 0, Idle: 0 }), { t0: T0 + 5 * 86400 })];
test('the table orders rows by total, drops zero totals and follows the chosen period', () => dumpPage(busy), async (page) => {
  assert.deepEqual((await legend(page)).slice(0, 3), ['Old', 'Big', 'Small']);
  // Big: 15 minutes of 4 s; average over its 15 used minutes; share of 90 s.
  assert.deepEqual(await tableRows(page), [['Big', '1.0 CPU min', '4.00 CPU s/min', '4.00 CPU s/min', '66.7%'],
    ['Small', '30 CPU s', '1.00 CPU s/min', '1.00 CPU s/min', '33.3%']]);
  await page.click('#btnPAll');
  assert.deepEqual((await tableRows(page)).map((r) => [r[0], r[1], r[4]]),
    [['Old', '4.5 CPU min', '75.0%'], ['Big', '1.0 CPU min', '16.7%'], ['Small', '30 CPU s', '8.3%']]);
});

// n1 heaviest ... n10 lightest; n3 idle at minute 4; battery only on minutes 2 and 6.
const ten = minutes(8, 'energy_mj', (k) => Object.fromEntries(Array.from({ length: 10 }, (_, j) => [`n${j + 1}`,
  k === 4 && j === 2 ? 0 : (20 - j) * 600])), { bat: (k) => (k === 2 ? '81.5:d' : k === 6 ? '79.0:c' : '-') });
test('the tooltip lists at most eight visible curves above zero, heaviest first, and the nearest battery point',
  () => genPage(ten, { capacity: 3600000 }), async (page) => {
    await page.click('#btnS1');
    const tip = await hoverIndex(page, 4);
    const lines = tip.text.split('\n').map((l) => l.trim());
    assert.ok(tip.opacity === '1' && /^\d\d:\d\d( [AP]M)?$/.test(lines[0]), tip.text);
    // n3 used nothing here; the rest curve is the heaviest. Watts, as the last state is charging.
    assert.deepEqual(lines.slice(1, 9).map((l) => l.split(' — ')[0]), ['other', 'n1', 'n2', 'n4', 'n5', 'n6', 'n7', 'n8']);
    // Minute 4 lies between the battery points of minutes 2 and 6: the earlier one wins the tie.
    assert.deepEqual([lines[2], lines[9]], ['n1 — 200 mW', '81.5% — Discharging']);
    assert.equal((await hoverIndex(page, 5)).text.split('\n').pop().trim(), '79.0% — Charging');
    await page.click('#legend > div:nth-child(1)');  // hidden curves leave the tooltip
    assert.ok(!(await hoverIndex(page, 4)).text.includes('n1 —'));
    await page.hover('h1');
    assert.equal(await page.$eval('#tip', (t) => t.style.opacity), '0');
  });

test('the tooltip shows the date once the period spans more than a day', () => dumpPage([line(T0, 'cpu_ms', { A: 500 }),
  ...minutes(5, 'cpu_ms', () => ({ A: 500 }), { t0: T0 + 2 * 86400 })]), async (page) => {
    await page.click('#btnPAll');
    assert.match((await hoverIndex(page, 0)).text.split('\n')[0], /[A-Z][a-z]{2} \d|\d [A-Z][a-z]{2}/);
    await page.click('#btnP1h');
    assert.match((await hoverIndex(page, 0)).text.split('\n')[0], /^\d\d:\d\d( [AP]M)?$/);
  });

const hostile = ['</script><script>alert(1)</script>', 'say "hi"', "it's", 'Tom & Jerry',
  '<img src=x onerror=alert(2)>', 'back\\slash', 'line\u2028sep', 'bad\uFFFDbyte'];
const paths = Object.fromEntries(hostile.map((n, i) => [n, `/Apps/${i}<img src=x onerror=alert(3)>"'&.app`]));
for (const [label, names, make] of [
  ['hostile names through the dump', hostile, (lines) => dumpPage(lines)],
  ['hostile names with bundle paths', hostile, (lines) => genPage(lines, { bundles: paths })],
  ['Cyrillic and Chinese names', ['Телеграм', '微信', '<b>bold</b>'], (lines) => dumpPage(lines, { lang: 'zh' })],
]) {
  // Distinct totals, so the order is known: the first name is the heaviest.
  const tag = label.includes('bundle') ? 'energy_mj' : 'cpu_ms';
  const lines = minutes(6, tag, () => Object.fromEntries(names.map((n, j) => [n, (names.length - j) * 1000])));
  test(`${label} show literally in legend, tooltip and table, and run nothing`, () => make(lines), async (page) => {
    assert.deepEqual([await legend(page), (await tableRows(page)).map((r) => r[0])], [names, names]);
    const tip = (await hoverIndex(page, 3)).text;
    for (const n of names) assert.ok(tip.includes(n), n);
    if (tag === 'cpu_ms') return;
    const cells = await page.$$('#tb td.app');
    assert.equal(cells.length, names.length);
    await cells[4].click();
    assert.deepEqual(await page.evaluate(() => window.__posts), [paths[names[4]]]);
  }, { stub: true });
}

const mail = () => genPage(minutes(5, 'energy_mj', () => ({ Mail: 500, kworker: 100 })),
  { capacity: null, bundles: { Mail: '/Applications/Mail.app' } });
test('a click on a name with a bundle posts its path; Command-W alone posts "close" and is consumed', mail, async (page) => {
  const L = await page.evaluate(() => L);
  assert.deepEqual(await page.$$eval('#tb td:first-child', (tds) => tds.map((td) => [td.className, td.title])),
    [['app', '/Applications/Mail.app\n' + L.reveal], ['', L.appNotFound]]);
  await page.click('#tb tr:nth-child(2) td:first-child');  // no bundle
  await page.click('#tb tr:nth-child(1) td:nth-child(3)');  // not the name
  for (const key of ['Meta+Shift+KeyW', 'Meta+Alt+KeyW', 'Control+KeyW', 'KeyW']) await page.keyboard.press(key);
  assert.deepEqual(await page.evaluate(() => window.__posts), []);
  await page.click('#tb tr:nth-child(1) td:first-child');
  await page.keyboard.press('Meta+KeyW');
  assert.deepEqual(await page.evaluate(() => window.__posts), ['/Applications/Mail.app', 'close']);
  assert.equal(await page.evaluate(() => !document.dispatchEvent(new KeyboardEvent('keydown',
    { key: 'w', metaKey: true, cancelable: true }))), true);
}, { stub: true });

test('without a host, clicks and Command-W post nothing and fail nowhere', mail,
  async (page) => page.click('#tb td.app').then(() => page.keyboard.press('Meta+KeyW')));
