// A realistic week in light and dark appearance, saved next to the test output for a person to look at.
import assert from 'node:assert/strict';
import { NOW, genPage, line, sleepLine, useBrowser, withDrain } from './support.mjs';

const OUTPUT = process.env.SAPWELL_TEST_OUTPUT || new URL('../../test-output', import.meta.url).pathname;
const { test } = useBrowser();

// Awake 8:00-23:30 but for lunch; apps with their own rhythms; the battery drains by day, charges at night.
const apps = [['Safari', 120000], ['Xcode', 160000], ['Mail', 25000], ['Slack', 40000], ['Music', 18000],
  ['Terminal', 9000], ['Finder', 6000], ['Photos', 30000], ['Messages', 8000], ['WindowServer', 50000]];
let [week, cpuWeek, bat, seed] = [[], [], 100, 7];
const rnd = () => (seed = (seed * 16807) % 2147483647) / 2147483647;
for (let t = NOW - 7 * 86400; t < NOW - 120; t += 60) {
  const h = ((d) => d.getHours() + d.getMinutes() / 60)(new Date(t * 1000));
  if (h < 8 || h > 23.5 || (h > 12.5 && h < 13.25)) continue;
  const [day, state] = [Math.floor((NOW - t) / 86400), h < 19 ? 'd' : bat < 100 ? 'c' : 'a'];  // Xcode by day only
  const items = Object.fromEntries(apps.map(([name, base], j) => [name, Math.round(base * (name !== 'Xcode' || (h > 9 && h < 18)
    ? 1 : 0.1) * (0.5 + 0.5 * Math.sin(h / (1.5 + j * 0.4) + day + j)) * (0.6 + 0.8 * rnd()))]).filter(([, v]) => v > 0));
  bat = state === 'd' ? Math.max(5, bat - 0.09) : Math.min(100, bat + 0.6);
  week.push(line(t, 'energy_mj', items, `${bat.toFixed(1)}:${state}`, 55 + rnd() * 5));
  // The same week as CPU time with the battery's drain measured while discharging: 2.5 W idle, 4 mW per ms of CPU a
  // second; each night's sleep cost 0.8 %.
  const cpu = Object.fromEntries(Object.entries(items).map(([n, v]) => [n, Math.round(v / 20)]));
  const last = cpuWeek.length ? Number(cpuWeek.at(-1).split('\t')[0]) : t;
  if (t - last > 3600) cpuWeek.push(sleepLine(t, t - last - 60, bat.toFixed(1), (bat - 0.8).toFixed(1)));
  const cpuMs = Object.values(cpu).reduce((a, b) => a + b, 0);
  const l = line(t, 'cpu_ms', cpu, `${bat.toFixed(1)}:${state}`);
  cpuWeek.push(state === 'd' ? withDrain(l, Math.round((2500 + 4 * cpuMs / 60) * 60 * (0.9 + 0.2 * rnd()))) : l);
}
for (const [scheme, background, active] of [['light', 'rgb(245, 245, 247)', 'rgb(0, 113, 227)'], ['dark', 'rgb(28, 28, 30)', 'rgb(10, 132, 255)']]) {
  test(`a realistic week renders in ${scheme} appearance`, () => genPage(week, { capacity: 189360000 }), async (page) => {
    await page.click('#btnP1w');
    assert.equal(await page.evaluate(() => getComputedStyle(document.body).backgroundColor), background);
    // Once the active colour has faded in, the stacked areas cover nearly every column above the plot's bottom.
    await page.waitForFunction((c) => getComputedStyle(document.getElementById('btnP1w')).backgroundColor === c, active);
    const covered = await page.evaluate(({ left, pw } = __sapwell.layout) => Array.from(document.getElementById('c')
      .getContext('2d').getImageData(Math.ceil(left), 345, Math.floor(pw), 1).data).filter((v, i) => i % 4 === 3 && v).length / pw);
    assert.ok(covered > 0.9, `covered ${covered}`);
    await page.screenshot({ path: `${OUTPUT}/chart-week-${scheme}.png`, fullPage: true });
    await page.click('#btnLine');
    await page.locator('#c').screenshot({ path: `${OUTPUT}/chart-week-lines-${scheme}.png` });
  }, { colorScheme: scheme });
  test(`the battery view of a week renders in ${scheme} appearance`, () => genPage(cpuWeek, { metric: 'cpu', capacity: 189360000 }), async (page) => {
    await page.click('#btnP1w');
    assert.equal(await page.evaluate(() => __sapwell.state.view), 'battery');
    await page.waitForFunction((c) => getComputedStyle(document.getElementById('btnP1w')).backgroundColor === c, active);
    await page.screenshot({ path: `${OUTPUT}/chart-battery-week-${scheme}.png`, fullPage: true });
  }, { colorScheme: scheme });
}
