// The chart page script, first part. The page defines its data before the script: LABELS (each
// stored minute's start, in s), SERIES ([{name, v}], v an amount per minute), BAT ({p: percent,
// s: state} or null per minute), TO_PCT (an amount's share of the battery, or 0), HAS_BATTERY,
// IS_CPU, SHOW_BATTERY (the metric's rates can be shown as battery units), BUNDLES (name: path),
// LOCALE and the words L. Where the battery's drain was measured it also defines BAT_SECS (the
// measured seconds per minute, or null), BAT_MJ (per curve of SERIES, its estimated mJ per minute),
// IDLE_MJ and IDLE_NAME (the machine's own share); where the machine slept, SLEEPS ([{t: minute
// of waking, s: seconds asleep, d: battery fall in percent or null}]). This part holds the colours, the view's state, and
// what reads the data: the curves of each view, periods, visible curves, smoothing.

const COLORS = ["#ff6b6b", "#4dabf7", "#51cf66", "#ffd43b", "#cc5de8", "#ff922b", "#20c997",
  "#748ffc", "#adb5bd"];
// Battery states in the order the legend lists them.
const STATES = {
  d: { colour: "#ef4444", word: L.stateD },
  c: { colour: "#22c55e", word: L.stateC },
  a: { colour: "#3b82f6", word: L.stateA },
};
const STATE_FALLBACK = "#94a3b8";
const stateOf = (s) => (Object.prototype.hasOwnProperty.call(STATES, s) ? STATES[s] : null);
const stateColour = (s) => (stateOf(s) ? stateOf(s).colour : STATE_FALLBACK);
// Stored minutes further apart than this belong to separate runs, with a break between them.
const GAP_S = 5 * 60;

// The machine's own share, muted under the applications' colours.
const IDLE_COLOUR = "#64748b";
const HAS_DRAIN = typeof BAT_SECS !== "undefined";
const SLEEP_LIST = typeof SLEEPS !== "undefined" ? SLEEPS : [];

// The battery view's curves: the machine's own share first, at the bottom of the stack, then the
// metric's curves in their colours. A measured minute's mJ becomes the mJ of a whole minute at the
// same power, so the units' rates apply; totals add what was measured.
function batteryCurves() {
  if (!HAS_DRAIN) return [];
  const weight = BAT_SECS.map((sec) => (sec === null ? 0 : sec / 60));
  const curve = (name, colour, mj) => ({ name, colour, amount: mj, weight,
    v: mj.map((x, m) => (BAT_SECS[m] === null ? null : x / weight[m])) });
  return [curve(IDLE_NAME, IDLE_COLOUR, IDLE_MJ), ...BAT_MJ.map((mj, i) => curve(SERIES[i].name, COLORS[i % COLORS.length], mj))];
}

// The curves of each view: name, colour, v (per minute an amount at that minute's rate, null
// where the view has nothing), amount (what the minute adds to a total) and, where a minute's
// value may cover less than the minute, weight (its length in minutes).
const VIEWS = {
  cpu: SERIES.map((s, i) => ({ name: s.name, colour: COLORS[i % COLORS.length], v: s.v, amount: s.v })),
  battery: batteryCurves(),
};

// On battery the discharge rate matters; on external power only power means something.
function batteryUnit() {
  if (!HAS_BATTERY) return "watt";
  for (let i = BAT.length - 1; i >= 0; i--) {
    if (BAT[i]) return BAT[i].s === "d" ? "pct" : "watt";
  }
  return "pct";
}

// Each view's unit, kept while the other view is shown.
const viewUnit = {
  cpu: IS_CPU ? "cpu" : !HAS_BATTERY ? "joule" : batteryUnit(),
  battery: batteryUnit(),
};
// The battery view opens when the newest minute has a measured drain.
const initialView = HAS_DRAIN && BAT_SECS.length > 0 && BAT_SECS[BAT_SECS.length - 1] !== null ? "battery" : "cpu";

// What the user chose; the controls change it and redraw.
const state = {
  view: initialView,  // a key of VIEWS
  period: 1440,  // minutes back from the last stored one; 0 for all
  stacked: true,
  smoothing: 5,  // trailing minutes averaged
  unit: viewUnit[initialView],  // a key of UNITS
  hidden: new Set(),  // names of hidden curves, so a curve stays hidden in the other view
};

const curves = () => VIEWS[state.view];

// The first index in 0 .. count at which key(index) reaches target; key must not fall.
function lowerBound(count, key, target) {
  let lo = 0;
  let hi = count;
  while (lo < hi) {
    const mid = Math.floor((lo + hi) / 2);
    if (key(mid) < target) lo = mid + 1;
    else hi = mid;
  }
  return lo;
}

// The index of the period's first stored minute.
function periodStart() {
  if (state.period === 0 || LABELS.length === 0) return 0;
  return lowerBound(LABELS.length, (i) => LABELS[i], LABELS[LABELS.length - 1] - state.period * 60);
}

// The shown curves, each with its index in curves().
function visible() {
  const out = [];
  curves().forEach((c, i) => { if (!state.hidden.has(c.name)) out.push({ c, i }); });
  return out;
}

// The trailing mean over w minutes of the values there are; null stays null.
function smoothed(values, w) {
  if (w <= 1) return values.slice();
  const out = new Array(values.length);
  let sum = 0;
  let count = 0;
  for (let i = 0; i < values.length; i++) {
    if (values[i] !== null) { sum += values[i]; count++; }
    if (i >= w && values[i - w] !== null) { sum -= values[i - w]; count--; }
    out[i] = values[i] === null ? null : sum / count;
  }
  return out;
}
