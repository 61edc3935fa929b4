// Where things go: the canvas, the runs between breaks and the spans with data within them, the
// columns of dense spans, the axes' ranges and the margins. The geometry of the last drawing stays
// in `layout` for the tooltip.

const canvas = document.getElementById("c");
const ctx = canvas.getContext("2d");
const CANVAS_H = 380;
// The last drawing's geometry and values; null when it showed no data.
let layout = null;

// Canvas text in the page's own font.
const font = (px) => px + "px " + getComputedStyle(canvas).fontFamily;
const axisFont = () => font(11);

// On a narrow battery range whole numbers would repeat the same tick text.
function fmtPct(v, span) {
  if (span !== undefined && span < 8) return v.toFixed(1) + "%";
  return Math.round(v) + "%";
}

// The battery's points within the period and its axis. The battery mostly sits near 100 percent:
// the axis spans the points it has, padded, and at least 5 percent.
function batteryAxis(bat) {
  const pts = [];
  for (let i = 0; i < bat.length; i++) {
    const b = bat[i];
    if (b) pts.push({ i, p: b.p, s: b.s });
  }
  let lo = 0;
  let hi = 100;
  if (pts.length >= 2) {
    let min = Infinity;
    let max = -Infinity;
    for (const b of pts) {
      if (b.p < min) min = b.p;
      if (b.p > max) max = b.p;
    }
    const pad = Math.max((max - min) * 0.25, 2.5);
    lo = Math.max(0, min - pad);
    hi = Math.min(100, max + pad);
    if (hi - lo < 5) {
      hi = Math.min(100, lo + 5);
      lo = Math.max(0, hi - 5);
    }
  }
  const span = hi - lo;
  // The level is drawn in every view, whenever there are readings.
  return { pts, lo, span, ticks: [0, 0.25, 0.5, 0.75, 1].map((f) => lo + span * f), shown: pts.length > 0 };
}

// Consecutive labels further apart than GAP_S break the observations into runs [first, last].
function runsOf(labels) {
  const runs = [];
  let start = 0;
  for (let i = 1; i < labels.length; i++) {
    if (labels[i] - labels[i - 1] > GAP_S) {
      runs.push([start, i - 1]);
      start = i;
    }
  }
  runs.push([start, labels.length - 1]);
  return runs;
}

// The stretches [first, last] of the runs that have values: a minute without one (no drain was
// measured) is left empty, but is no break in the observations.
function spansOf(runs, has) {
  const spans = [];
  for (const [a, b] of runs) {
    let start = -1;
    for (let i = a; i <= b + 1; i++) {
      if (i <= b && has(i)) {
        if (start < 0) start = i;
      } else if (start >= 0) {
        spans.push([start, i - 1]);
        start = -1;
      }
    }
  }
  return spans;
}

// A run with more minutes than pixel columns is drawn column by column. Each column gets every
// visible curve's mean over the column's minutes: a curve that never wins a column still shows,
// the layers still stack exactly (a sum of means is the mean of the sums), and each curve keeps
// the area of its minutes. Returns per column its x range within the run, its first and last
// minute and the means by layer (v); null when the run is no denser than the columns. Columns are
// consecutive, since neighbouring minutes lie less than a pixel apart.
function columnsOf(a, b, x, data) {
  const left = x(a);
  const right = x(b);
  if (b - a + 1 <= right - left + 1) return null;
  // The last column ends at the run's end rather than starting there with no width.
  const lastCol = Math.ceil(right) - 1;
  const cols = [];
  let col = Math.floor(left);
  let start = a;
  for (let i = a + 1; i <= b + 1; i++) {
    const c = i <= b ? Math.min(Math.floor(x(i)), lastCol) : NaN;
    if (c === col) continue;
    const v = new Float64Array(data.length);
    const m = i - start;
    for (let k = 0; k < data.length; k++) {
      const d = data[k];
      let sum = 0;
      for (let j = start; j < i; j++) sum += d[j];
      v[k] = sum / m;
    }
    cols.push({ x0: Math.max(col, left), x1: Math.min(col + 1, right), i0: start, i1: i - 1, v });
    col = c;
    start = i;
  }
  return cols;
}

// The greatest value drawn: stacked, the greatest sum of the layers at one point or column; lines,
// the greatest single value. Scaling to what is drawn keeps a week of column means from sitting
// squashed under a single minute's peak.
function drawnMax(spans, cols, data, stacked) {
  let max = 0;
  spans.forEach(([a, b], r) => {
    const cs = cols[r];
    const points = cs ? cs.length : b - a + 1;
    for (let p = 0; p < points; p++) {
      let sum = 0;
      for (let k = 0; k < data.length; k++) {
        const v = cs ? cs[p].v[k] : data[k][a + p];
        if (stacked) sum += v;
        else if (v > max) max = v;
      }
      if (sum > max) max = sum;
    }
  });
  return max > 0 ? max : 1;
}

// The plot's place on the canvas, its scales and the columns of its dense spans. Margins come from
// the real text widths: a fixed margin cuts long ticks or wastes space. Curves are drawn over the
// spans, breaks between the runs.
function plotLayout(width, height, labels, vis, data, battery, runs, spans) {
  const n = labels.length;
  ctx.font = axisFont();
  let right = 14;
  if (battery.shown) {
    let rightW = 0;
    for (const t of battery.ticks) rightW = Math.max(rightW, ctx.measureText(fmtPct(t, battery.span)).width);
    right = Math.ceil(rightW) + 12;
  }
  const top = 30;
  const bottom = 30;
  const ph = height - top - bottom;
  const leftFor = (max) => {
    const s = axisScale(max);
    let w = 0;
    for (let g = 0; g <= 4; g++) w = Math.max(w, ctx.measureText(fmtAxis(max * g / 4, s)).width);
    return Math.ceil(w) + 12;
  };
  // The left margin depends on the axis maximum, the maximum on the pixel columns and the columns
  // on the margin: settle them (a tick's width rarely changes, so this is one or two passes).
  let left = 40;
  let pw = 1;
  let x = null;
  let cols = null;
  let max = 1;
  for (let pass = 0; pass < 3; pass++) {
    // A window narrower than its margins still gets a plot of one pixel rather than a negative one.
    pw = Math.max(1, width - left - right);
    // Stored minutes sit side by side; every break is marked.
    const l = left;
    const w = pw;
    x = (i) => (n === 1 ? l + w / 2 : l + i / (n - 1) * w);
    cols = spans.map(([a, b]) => columnsOf(a, b, x, data));
    max = drawnMax(spans, cols, data, state.stacked);
    const next = leftFor(max);
    if (next === left || pass === 2) break;
    left = next;
  }
  const y = (v) => top + ph - v / max * ph;
  return { x, y, n, left, right, top, bottom, pw, ph, max, data, vis, stacked: state.stacked, batPts: battery.pts,
    labels, first: labels[0], tSpan: Math.max(1, labels[n - 1] - labels[0]), gapS: GAP_S, runs, spans, cols };
}

