// Units: one entry per unit mode (state.unit). A stored value is one minute's amount (mJ of
// energy, or ms of CPU time).
//   rate(v)   that minute's rate in the unit
//   prefixes  [multiplier, word], largest unit first: a figure takes the first that makes it at
//             least 1, else the last; with one entry every figure has that word
//   digits(x) decimals for a rate of x in the prefix chosen
//   total(v)  an amount accumulated over the period, with its unit
//   button    the id of the unit's button, when the user can choose it

// More decimals for small rates, and from 100 none; the axis uses the latter.
const fineDigits = (x) => (x >= 10 ? 1 : x >= 1 ? 2 : 3);
const coarseDigits = (x) => (x >= 100 ? 0 : x >= 10 ? 1 : 2);
const MJ_TO_W = 1 / 60000;  // a minute's mJ as its mean power

// An amount with up to three decimals while it is small; "0" for nothing.
function smallAmount(x, suffix) {
  if (!(x > 0)) return "0";
  return x.toFixed(x >= 10 ? 1 : x >= 0.1 ? 2 : 3) + suffix;
}

function cpuTime(v) {
  const s = v / 1000;
  if (s >= 3600) return (s / 3600).toFixed(1) + " " + L.cpuH;
  if (s >= 60) return (s / 60).toFixed(1) + " " + L.cpuMin;
  return s.toFixed(s >= 10 ? 0 : 1) + " " + L.cpuS;
}

function wattHours(v) {
  const wh = v / 3600000;
  if (!(wh > 0)) return "0";
  if (wh >= 1) return wh.toFixed(2) + " " + L.unitWh;
  const mwh = wh * 1000;
  if (mwh >= 1) return mwh.toFixed(mwh >= 10 ? 1 : 2) + " " + L.unitMWh;
  const uwh = wh * 1000000;
  return uwh.toFixed(uwh >= 10 ? 0 : 1) + " " + L.unitUWh;
}

const UNITS = {
  cpu: { rate: (v) => v / 1000, prefixes: [[1, L.unitCPU]], digits: fineDigits, total: cpuTime },
  joule: { rate: (v) => v / 1000 * 60, prefixes: [[1, L.unitJ]], digits: fineDigits,
    total: (v) => smallAmount(v / 1000, " J") },
  pct: { button: "btnPct", rate: (v) => v * TO_PCT * 60, prefixes: [[1, L.unitPct]], digits: fineDigits,
    total: (v) => smallAmount(v * TO_PCT, "%") },
  watt: { button: "btnWatt", rate: (v) => v * MJ_TO_W, digits: coarseDigits, total: wattHours,
    prefixes: [[1, L.unitW], [1000, L.unitMW], [1000000, L.unitUW]] },
};

const unit = () => UNITS[state.unit];

function prefixFor(rate) {
  const { prefixes } = unit();
  if (!(rate > 0)) return prefixes[0];
  return prefixes.find(([mul]) => rate * mul >= 1) || prefixes[prefixes.length - 1];
}

// A stored value as a rate with its unit.
function fmtRate(v) {
  const p = unit().rate(v);
  const [mul, word] = prefixFor(p);
  if (!(p > 0)) return "0 " + word;
  const x = p * mul;
  return x.toFixed(unit().digits(x)) + " " + word;
}

function fmtTotal(v) {
  return unit().total(v);
}

// One prefix for the whole value axis, that of its greatest value, so ticks never mix units.
function axisScale(maxV) {
  const [mul, word] = prefixFor(unit().rate(maxV));
  return { mul, word };
}

function fmtAxis(v, scale) {
  const x = unit().rate(v) * scale.mul;
  if (!(x > 0)) return "0";
  return x.toFixed(coarseDigits(x));
}
