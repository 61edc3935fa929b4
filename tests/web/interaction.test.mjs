// What the user touches: legend, hide-all, table, tooltip, hostile names and host messages.
import assert from 'node:assert/strict';
import { after, before, describe, it } from 'node:test';
import { T0, dumpPage, genPage, hoverIndex, launch, line, minutes, open, redrawTexts, tableRows } from './support.mjs';

let browser;
before(async () => { browser = await launch(); });
after(async () => { await browser.close(); });

async function withPage(file, opts, check) {
  const p = await open(browser, file, opts);
  try {
    await check(p.page);
    assert.deepEqual(p.problems, []);
    assert.deepEqual(p.foreignRequests(), []);
    assert.equal(await p.page.evaluate(() => window.__pwned), 0, 'an injected script ran');
  } finally {
    await p.close();
  }
}

const legend = (page) => page.$$eval('#legend > div', (ds) => ds.map((d) => [d.textContent, d.className]));

describe('legend', () => {
  it('toggles single curves and hides or shows all; only the button changes its own text', async () => {
    const file = dumpPage(minutes(10, 'cpu_ms', () => ({ A: 3000, B: 2000, C: 1000 })));
    await withPage(file, {}, async (page) => {
      assert.deepEqual(await legend(page), [['A', ''], ['B', ''], ['C', '']]);
      await page.click('#legend > div:nth-child(2)');
      assert.deepEqual(await legend(page), [['A', ''], ['B', 'off'], ['C', '']]);
      assert.deepEqual(await page.evaluate(() => layout.vis.map((c) => c.i)), [0, 2]);
      assert.equal(await page.textContent('#toggleAll'), 'Hide all');
      // The table keeps every row whatever the legend hides.
      assert.equal((await tableRows(page)).length, 3);

      await page.click('#toggleAll');  // something was hidden: show all
      assert.deepEqual(await legend(page), [['A', ''], ['B', ''], ['C', '']]);
      assert.equal(await page.textContent('#toggleAll'), 'Hide all');

      await page.click('#toggleAll');  // nothing hidden: hide all
      assert.deepEqual((await legend(page)).map((e) => e[1]), ['off', 'off', 'off']);
      assert.equal(await page.textContent('#toggleAll'), 'Show all');
      assert.equal(await page.evaluate(() => layout), null);
      const { texts } = await redrawTexts(page);
      assert.deepEqual(texts.map((t) => t.text), ['No data']);
      const tip = await page.evaluate(() => document.getElementById('tip').style.opacity);
      assert.notEqual(tip, '1');

      await page.click('#legend > div:nth-child(3)');  // showing one leaves the button's text alone
      assert.equal(await page.textContent('#toggleAll'), 'Show all');
      assert.deepEqual(await page.evaluate(() => layout.vis.map((c) => c.i)), [2]);
    });
  });
});

describe('table', () => {
  // Old worked only days ago, Idle never; the top curves are chosen over everything stored.
  const lines = [
    ...minutes(30, 'cpu_ms', () => ({ Old: 9000, Idle: 0 })),
    ...minutes(30, 'cpu_ms', (k) => ({ Small: 1000, Big: k % 2 ? 4000 : 0, Idle: 0 }),
      { t0: T0 + 5 * 86400 }),
  ];

  it('orders rows by total, drops zero totals and follows the chosen period', async () => {
    await withPage(dumpPage(lines), {}, async (page) => {
      // Legend: every curve, heaviest first over all history.
      assert.deepEqual((await legend(page)).map((e) => e[0]).slice(0, 3), ['Old', 'Big', 'Small']);
      let rows = await tableRows(page);
      assert.deepEqual(rows.map((r) => r[0]), ['Big', 'Small']);
      // Big: 15 minutes of 4 s; average over its 15 used minutes; share of 90 s.
      assert.deepEqual(rows[0], ['Big', '1.0 CPU min', '4.00 CPU s/min', '4.00 CPU s/min', '66.7%']);
      assert.deepEqual(rows[1], ['Small', '30 CPU s', '1.00 CPU s/min', '1.00 CPU s/min', '33.3%']);
      await page.click('#btnPAll');
      rows = await tableRows(page);
      assert.deepEqual(rows.map((r) => [r[0], r[1], r[4]]),
        [['Old', '4.5 CPU min', '75.0%'], ['Big', '1.0 CPU min', '16.7%'], ['Small', '30 CPU s', '8.3%']]);
    });
  });

  it('a name with a bundle is a link titled with its path; one without is plain', async () => {
    const file = genPage(minutes(5, 'energy_mj', () => ({ Mail: 500, kworker: 100 })),
      { capacity: null, bundles: { Mail: '/Applications/Mail.app' } });
    await withPage(file, { stub: true }, async (page) => {
      const cells = await page.$$eval('#tb tr td:first-child', (tds) => tds.map((td) => ({
        cls: td.className, path: td.dataset.path ?? null, title: td.title })));
      const L = await page.evaluate(() => L);
      assert.deepEqual(cells, [
        { cls: 'app', path: '/Applications/Mail.app', title: '/Applications/Mail.app\n' + L.reveal },
        { cls: '', path: null, title: L.appNotFound },
      ]);
      await page.click('#tb tr:nth-child(2) td:first-child');
      await page.click('#tb tr:nth-child(1) td:nth-child(3)');
      assert.deepEqual(await page.evaluate(() => window.__posts), []);
      await page.click('#tb tr:nth-child(1) td:first-child');
      assert.deepEqual(await page.evaluate(() => window.__posts), ['/Applications/Mail.app']);
    });
  });
});

describe('tooltip', () => {
  it('lists at most eight visible curves above zero, heaviest first, and the nearest battery point', async () => {
    const names = ['n1', 'n2', 'n3', 'n4', 'n5', 'n6', 'n7', 'n8', 'n9', 'n10'];
    // Per minute: n1 heaviest ... n10 lightest; n3 idle at minute 4; battery only on minutes 2 and 6.
    const items = (k) => Object.fromEntries(names.map((n, j) => [n, k === 4 && n === 'n3' ? 0 : (20 - j) * 600]));
    const bat = (k) => (k === 2 ? '81.5:d' : k === 6 ? '79.0:c' : '-');
    const file = genPage(minutes(8, 'energy_mj', items, { bat }), { capacity: 3600000 });
    await withPage(file, {}, async (page) => {
      await page.click('#btnS1');
      assert.equal(await page.evaluate(() => unitMode), 'watt');
      let tip = await hoverIndex(page, 4);
      assert.equal(tip.opacity, '1');
      const lines = tip.text.split('\n');
      assert.match(lines[0], /^\d\d:\d\d( [AP]M)?$/);
      // n1, n2, n4 ... n8 are the curves; n3 used nothing here; the rest curve is the heaviest.
      assert.deepEqual(lines.slice(1, 9).map((l) => l.trim().split(' — ')[0]),
        ['other', 'n1', 'n2', 'n4', 'n5', 'n6', 'n7', 'n8']);
      assert.equal(lines[2].trim(), 'n1 — 200 mW');
      // Minute 4 lies between the battery points of minutes 2 and 6: the earlier one wins the tie.
      assert.equal(lines[9].trim(), '81.5% — Discharging');
      tip = await hoverIndex(page, 5);
      assert.equal(tip.text.split('\n').pop().trim(), '79.0% — Charging');
      // Hidden curves leave the tooltip.
      await page.click('#legend > div:nth-child(1)');
      tip = await hoverIndex(page, 4);
      assert.ok(!tip.text.includes('n1 —'));
      await page.mouse.move(1, 1);
      await page.hover('h1');
      assert.equal(await page.evaluate(() => document.getElementById('tip').style.opacity), '0');
    });
  });

  it('shows the date once the period spans more than a day', async () => {
    const file = dumpPage([line(T0, 'cpu_ms', { A: 500 }), ...minutes(5, 'cpu_ms', () => ({ A: 500 }),
      { t0: T0 + 2 * 86400 })]);
    await withPage(file, {}, async (page) => {
      await page.click('#btnPAll');
      const tip = await hoverIndex(page, 0);
      assert.match(tip.text.split('\n')[0], /[A-Z][a-z]{2} \d|\d [A-Z][a-z]{2}/);
      await page.click('#btnP1h');
      const near = await hoverIndex(page, 0);
      assert.match(near.text.split('\n')[0], /^\d\d:\d\d( [AP]M)?$/);
    });
  });
});

describe('hostile and foreign names', () => {
  const hostile = ['</script><script>alert(1)</script>', 'say "hi"', "it's", 'Tom & Jerry',
    '<img src=x onerror=alert(2)>', 'back\\slash', 'line\u2028sep', 'bad\uFFFDbyte'];
  const foreign = ['Телеграм', '微信', '<b>bold</b>'];
  const paths = Object.fromEntries(hostile.map((n, i) => [n, `/Apps/${i}<img src=x onerror=alert(3)>"'&.app`]));

  for (const [label, names, tag, make] of [
    ['hostile names through the dump', hostile, 'cpu_ms', (lines) => dumpPage(lines)],
    ['hostile names with bundle paths', hostile, 'energy_mj', (lines) => genPage(lines, { bundles: paths })],
    ['Cyrillic and Chinese names', foreign, 'cpu_ms', (lines) => dumpPage(lines, { lang: 'zh' })],
  ]) {
    it(`${label} show literally in legend, tooltip and table, and run nothing`, async () => {
      // Distinct totals, so the order is known: the first name is the heaviest.
      const items = () => Object.fromEntries(names.map((n, j) => [n, (names.length - j) * 1000]));
      await withPage(make(minutes(6, tag, items)), { stub: true }, async (page) => {
        assert.deepEqual((await legend(page)).map((e) => e[0]), names);
        assert.deepEqual((await tableRows(page)).map((r) => r[0]), names);
        const tip = await hoverIndex(page, 3);
        const shown = tip.text.split('\n').slice(1).map((l) => l.trim().split(' — ')[0]);
        for (const n of names) assert.ok(shown.includes(n.trim()) || tip.text.includes(n), n);
        if (label.includes('bundle')) {
          const cells = await page.$$('#tb td.app');
          assert.equal(cells.length, names.length);
          await cells[4].click();
          assert.deepEqual(await page.evaluate(() => window.__posts), [paths[names[4]]]);
        }
      });
    });
  }
});

describe('messages to the host', () => {
  const lines = minutes(5, 'energy_mj', () => ({ Mail: 500 }));
  const bundles = { Mail: '/Applications/Mail.app' };

  it('Command-W posts "close"; with Shift or Option it does not', async () => {
    await withPage(genPage(lines, { bundles }), { stub: true }, async (page) => {
      for (const key of ['Meta+Shift+KeyW', 'Meta+Alt+KeyW', 'Control+KeyW', 'KeyW']) {
        await page.keyboard.press(key);
      }
      assert.deepEqual(await page.evaluate(() => window.__posts), []);
      await page.keyboard.press('Meta+KeyW');
      assert.deepEqual(await page.evaluate(() => window.__posts), ['close']);
      const prevented = await page.evaluate(() => {
        const ev = new KeyboardEvent('keydown', { key: 'w', metaKey: true, cancelable: true });
        document.dispatchEvent(ev);
        return ev.defaultPrevented;
      });
      assert.equal(prevented, true);
    });
  });

  it('without a host, clicks and Command-W post nothing and fail nowhere', async () => {
    await withPage(genPage(lines, { bundles }), {}, async (page) => {
      await page.click('#tb td.app');
      await page.keyboard.press('Meta+KeyW');
      assert.equal(await page.evaluate(() => typeof window.webkit), 'undefined');
    });
  });
});
