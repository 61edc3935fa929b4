// The chart page script, first part. The page defines its data before the script: LABELS (each
// stored minute's start, in s), SERIES ([{name, v}], v an amount per minute), BAT ({p: percent,
// s: state} or null per minute), TO_PCT (an amount's share of the battery, or 0), HAS_BATTERY,
// IS_CPU, SHOW_BATTERY, BUNDLES (name: path), LOCALE and the words L. This part holds the colours,
// the view's state, and what reads the data: periods, visible curves, smoothing.

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

// On battery the discharge rate matters; on external power only power means something.
function initialUnit() {
  if (IS_CPU) return "cpu";
  if (!HAS_BATTERY) return "joule";
  for (let i = BAT.length - 1; i >= 0; i--) {
    if (BAT[i]) return BAT[i].s === "d" ? "pct" : "watt";
  }
  return "pct";
}

// What the user chose; the controls change it and redraw.
const state = {
  period: 1440,  // minutes back from the last stored one; 0 for all
  stacked: true,
  smoothing: 5,  // trailing minutes averaged
  unit: initialUnit(),  // a key of UNITS
  hidden: new Set(),  // indices into SERIES
};

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

function visible() {
  const out = [];
  SERIES.forEach((s, i) => { if (!state.hidden.has(i)) out.push({ s, i }); });
  return out;
}

function smoothed(values, w) {
  if (w <= 1) return values.slice();
  const out = new Array(values.length);
  let sum = 0;
  for (let i = 0; i < values.length; i++) {
    sum += values[i];
    if (i >= w) sum -= values[i - w];
    out[i] = sum / Math.min(i + 1, w);
  }
  return out;
}
