// What the user touches: legend, hide-all, table, tooltip, hostile names and host messages.
import assert from 'node:assert/strict';
import { T0, dumpPage, genPage, hoverIndex, minutes, redraw, tableRows, useBrowser } from './support.mjs';

const { test } = useBrowser();
const legend = (page) => page.$$eval('#legend > div', (ds) => ds.map((d) => d.textContent + (d.className ? ':' + d.className : '')));
const state = (page) => page.evaluate(() => [__sapwell.layout?.vis.map((c) => c.i) ?? null, document.getElementById('toggleAll')
  .textContent, document.querySelectorAll('#tb tr').length]);

test('the legend toggles single curves and hides or shows all; the table keeps every row',
  () => dumpPage(minutes(10, 'cpu_ms', () => ({ A: 3000, B: 2000, C: 1000 }))), async (page) => {
    // toggleAll shows all when something is hidden, else hides all; showing one leaves its text alone.
    for (const [click, names, vis, label] of [['#legend > div:nth-child(2)', 'A B:off C', [0, 2], 'Hide all'],
      ['#toggleAll', 'A B C', [0, 1, 2], 'Hide all'], ['#toggleAll', 'A:off B:off C:off', null, 'Show all'],
      ['#legend > div:nth-child(3)', 'A:off B:off C', [2], 'Show all']]) {
      await page.click(click);
      assert.deepEqual([(await legend(page)).join(' '), await state(page)], [names, [vis, label, 3]], click);
      if (!vis) assert.deepEqual((await redraw(page)).texts.map((t) => t.text), ['No data']);
    }
  });

// Old worked only days ago, Idle never; the curves are chosen over everything stored.
const busy = [...minutes(30, 'cpu_ms', () => ({ Old: 9000, Idle: 0 })),
  ...minutes(30, 'cpu_ms', (k) => ({ Small: 1000, Big: k % 2 ? 4000 : 0, Idle: 0 }), { t0: T0 + 5 * 86400 })];
test('the table orders rows by total, drops zero totals and follows the chosen period', () => dumpPage(busy), async (page) => {
  assert.deepEqual((await legend(page)).slice(0, 3), ['Old', 'Big', 'Small']);  // Big: 15 used minutes of 4 s, of 90 s
  assert.deepEqual(await tableRows(page), [['Big', '1.0 CPU min', '4.00 CPU s/min', '4.00 CPU s/min', '66.7%'],
    ['Small', '30 CPU s', '1.00 CPU s/min', '1.00 CPU s/min', '33.3%']]);
  // Each header sits over its figures: the name's at the left edge, the numbers' at the right.
  const edges = await page.evaluate(() => Array.from(document.querySelectorAll('thead th'), (th, i) => [th,
    document.querySelector('#tb tr').cells[i]].map((cell) => ((r) => (r.selectNodeContents(cell), r.getBoundingClientRect()))(
    document.createRange())).map((b) => (i ? b.right : b.left))));
  for (const [i, [head, figure]] of edges.entries()) assert.ok(Math.abs(head - figure) < 1, `column ${i}: ${head} ${figure}`);
  await page.click('#btnPAll');
  assert.deepEqual((await tableRows(page)).map((r) => [r[0], r[1], r[4]]),
    [['Old', '4.5 CPU min', '75.0%'], ['Big', '1.0 CPU min', '16.7%'], ['Small', '30 CPU s', '8.3%']]);
});

const ten = minutes(8, 'energy_mj', (k) => Object.fromEntries(Array.from({ length: 10 }, (_, j) => [`n${j + 1}`,
  k === 4 && j === 2 ? 0 : (20 - j) * 600])), { bat: (k) => (k === 2 ? '81.5:d' : k === 6 ? '79.0:c' : '-') });
// n1 heaviest ... n10 lightest; n3 idle at minute 4; battery only on minutes 2 and 6.
test('the tooltip lists at most eight visible curves above zero, heaviest first, and the nearest battery point',
  () => genPage(ten, { capacity: 3600000 }), async (page) => {
    await page.click('#btnS1');
    const tip = await hoverIndex(page, 4), lines = tip.text.split('\n').map((l) => l.trim());
    // n3 used nothing here; the rest is the heaviest; watts, as the last state is charging. Minute 4 lies
    // between the battery points of minutes 2 and 6: the earlier one wins the tie.
    assert.deepEqual([tip.opacity, /^\d\d:\d\d( [AP]M)?$/.test(lines[0]), lines.slice(1, 9).map((l) => l.split(' — ')[0]),
      lines[2], lines[9]], ['1', true, ['other', 'n1', 'n2', 'n4', 'n5', 'n6', 'n7', 'n8'], 'n1 — 200 mW', '81.5% — Discharging']);
    assert.equal((await hoverIndex(page, 5)).text.split('\n').pop().trim(), '79.0% — Charging');
    await page.click('#legend > div:nth-child(1)');  // hidden curves leave the tooltip, and so does the pointer
    assert.ok(!(await hoverIndex(page, 4)).text.includes('n1 —'));
    await page.hover('h1');
    assert.equal(await page.$eval('#tip', (t) => t.style.opacity), '0');
  });

const hostile = ['</script><script>alert(1)</script>', 'say "hi"', "it's", 'Tom & Jerry',
  '<img src=x onerror=alert(2)>', 'back\\slash', 'line\u2028sep', 'bad\uFFFDbyte'];
const paths = Object.fromEntries(hostile.map((n, i) => [n, `/Apps/${i}<img src=x onerror=alert(3)>"'&.app`]));
for (const [label, names, make, tag = 'cpu_ms'] of [['hostile names through the dump', hostile, dumpPage],
  ['hostile names with bundle paths', hostile, (lines) => genPage(lines, { bundles: paths }), 'energy_mj'],
  ['Cyrillic and Chinese names', ['Телеграм', '微信', '<b>bold</b>'], (lines) => dumpPage(lines, { lang: 'zh' })]]) {
  const lines = minutes(6, tag, () => Object.fromEntries(names.map((n, j) => [n, (names.length - j) * 1000])));  // in order
  test(`${label} show literally in legend, tooltip and table, and run nothing`, () => make(lines), async (page) => {
    assert.deepEqual([await legend(page), (await tableRows(page)).map((r) => r[0])], [names, names]);
    const [tip, cells] = [(await hoverIndex(page, 3)).text, await page.$$('#tb td.app')];
    for (const n of names) assert.ok(tip.includes(n), n);
    if (tag === 'cpu_ms') return;
    assert.equal(cells.length, names.length);
    await cells[4].click();
    assert.deepEqual(await page.evaluate(() => window.__posts), [paths[names[4]]]);
  }, { stub: true });
}

const mail = () => genPage(minutes(5, 'energy_mj', () => ({ Mail: 500, Linux: 200, kworker: 100 })),
  { capacity: null, bundles: { Mail: '/Applications/Mail.app' } });
test('a click on a name with a bundle posts its path; Command-W alone posts "close" and is consumed', mail, async (page) => {
  assert.deepEqual(await page.$$eval('#tb td:first-child', (tds) => tds.map((td) => [td.className, td.title])),
    await page.evaluate(() => [['app', '/Applications/Mail.app\n' + L.reveal], ['', L.systemService], ['', L.program]]));
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

// A name keeps its direction to itself: an override, an embedding, a stray PDI before an override,
// an isolate left open and a right-to-left name each leave the figures beside them in order.
const bidi = ['\u202Eevil', '\u202Bembed', 'a\u2069\u202Eb', '\u2067open', '\u05D3\u05E4\u05D3\u05E4\u05DF'];
test('names with bidi controls or right-to-left letters do not reorder their row or tooltip line',
  () => dumpPage(minutes(6, 'cpu_ms', () => Object.fromEntries(bidi.map((n, j) => [n, (bidi.length - j) * 1000])))),
  async (page) => {
    await hoverIndex(page, 3);
    const [lines, rows, names] = await page.evaluate(() => {
      const box = (node, from, to) => ((r) => (r.setStart(node, from), r.setEnd(node, to), r.getBoundingClientRect()))(
        document.createRange());
      const before = (a, b) => a.right <= b.left + 0.5;
      // Each tooltip line: the name, then " — 1.00 CPU s/min" to its right and not mirrored.
      const lines = Array.from(document.querySelectorAll('#tip bdi'), (bdi) => {
        const rate = bdi.nextSibling, n = rate.length;
        return before(bdi.getBoundingClientRect(), box(rate, 1, 2)) && before(box(rate, 1, 2), box(rate, n - 1, n));
      });
      const rows = Array.from(document.querySelectorAll('#tb tr'), (tr) => Array.from(tr.cells).every((c, i, cs) =>
        i === 0 || before(cs[i - 1].getBoundingClientRect(), c.getBoundingClientRect())));
      return [lines, rows, Array.from(document.querySelectorAll('#tb bdi'), (b) => b.textContent)];
    });
    assert.deepEqual([lines, rows], [bidi.map(() => true), bidi.map(() => true)]);
    // Isolates balanced: the stray PDI goes, the open one is closed.
    assert.deepEqual(names, ['\u202Eevil', '\u202Bembed', 'a\u202Eb', '\u2067open\u2069', bidi[4]]);
  });
