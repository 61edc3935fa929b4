// Chart page script. The page defines LABELS, SERIES, BAT, TO_PCT, HAS_BATTERY, IS_CPU,
// SHOW_BATTERY, BUNDLES, LOCALE and L before this text.

const COLORS = ["#ff6b6b", "#4dabf7", "#51cf66", "#ffd43b", "#cc5de8", "#ff922b", "#20c997",
  "#748ffc", "#adb5bd"];
const STATE_COLOR = { d: "#ef4444", c: "#22c55e", a: "#3b82f6" };
const STATE_FALLBACK = "#94a3b8";
const MJ_TO_W = 1 / 60000;
const CANVAS_H = 380;
const gapS = 5 * 60;
const labelMinSec = 15 * 60;
const ticksX = 7;
const AXIS_FONT = "11px -apple-system";
const AXIS_COLOR = "#8a8a8e";

let hidden = new Set();
let stackMode = true;
let smoothWin = 5;
let periodMin = 1440;
let unitMode = initialUnitMode();
let layout = null;

const canvas = document.getElementById("c");
const ctx = canvas.getContext("2d");
const tip = document.getElementById("tip");

// On battery the discharge rate matters; on external power only power means something.
function initialUnitMode() {
  if (IS_CPU) return "cpu";
  for (let i = BAT.length - 1; i >= 0; i--) {
    if (BAT[i]) return BAT[i].s === "d" ? "pct" : "watt";
  }
  return "pct";
}

function isWatt() {
  return !IS_CPU && HAS_BATTERY && unitMode === "watt";
}

function periodStart() {
  if (periodMin === 0 || LABELS.length === 0) return 0;
  const cutoff = LABELS[LABELS.length - 1] - periodMin * 60;
  let lo = 0;
  let hi = LABELS.length - 1;
  while (lo < hi) {
    const mid = Math.floor((lo + hi) / 2);
    if (LABELS[mid] < cutoff) lo = mid + 1;
    else hi = mid;
  }
  return lo;
}

// A stored value is the amount of one minute; this is that minute's rate.
function rate(v) {
  if (IS_CPU) return v / 1000;
  if (!HAS_BATTERY) return v / 1000 * 60;
  if (unitMode === "watt") return v * MJ_TO_W;
  return v * TO_PCT * 60;
}

function unit() {
  if (IS_CPU) return L.unitCPU;
  if (!HAS_BATTERY) return L.unitJ;
  if (unitMode === "watt") return L.unitW;
  return L.unitPct;
}

const WATT_STEPS = [[1, "unitW"], [1000, "unitMW"], [1000000, "unitUW"]];

function scaled(v) {
  const p = rate(v);
  if (!(p > 0)) return { text: "0", unit: unit() };
  if (!isWatt()) return { text: p.toFixed(p >= 10 ? 1 : p >= 1 ? 2 : 3), unit: unit() };
  let step = WATT_STEPS[WATT_STEPS.length - 1];
  for (const s of WATT_STEPS) {
    if (p * s[0] >= 1) { step = s; break; }
  }
  const x = p * step[0];
  return { text: x.toFixed(x >= 100 ? 0 : x >= 10 ? 1 : 2), unit: L[step[1]] };
}

// One prefix for the whole left axis, so that ticks never mix units.
function axisScale(maxV) {
  if (!isWatt()) return { mul: 1, unit: unit() };
  const p = rate(maxV);
  if (p >= 1 || !(p > 0)) return { mul: 1, unit: L.unitW };
  if (p >= 0.001) return { mul: 1000, unit: L.unitMW };
  return { mul: 1000000, unit: L.unitUW };
}

function fmtAxis(v, sc) {
  const x = rate(v) * sc.mul;
  if (!(x > 0)) return "0";
  return x.toFixed(x >= 100 ? 0 : x >= 10 ? 1 : 2);
}

function fmtUnit(v) {
  const s = scaled(v);
  return s.text + " " + s.unit;
}

// An accumulated amount over the period, not a rate.
function fmtTotal(v) {
  if (IS_CPU) {
    const s = v / 1000;
    if (s >= 3600) return (s / 3600).toFixed(1) + " " + L.cpuH;
    if (s >= 60) return (s / 60).toFixed(1) + " " + L.cpuMin;
    return s.toFixed(s >= 10 ? 0 : 1) + " " + L.cpuS;
  }
  if (!HAS_BATTERY) {
    const j = v / 1000;
    if (j >= 10) return j.toFixed(1) + " J";
    if (j >= 0.1) return j.toFixed(2) + " J";
    if (j > 0) return j.toFixed(3) + " J";
    return "0";
  }
  if (unitMode === "watt") {
    const wh = v / 3600000;
    if (!(wh > 0)) return "0";
    if (wh >= 1) return wh.toFixed(2) + " " + L.unitWh;
    const mwh = wh * 1000;
    if (mwh >= 1) return mwh.toFixed(mwh >= 10 ? 1 : 2) + " " + L.unitMWh;
    const uwh = wh * 1000000;
    return uwh.toFixed(uwh >= 10 ? 0 : 1) + " " + L.unitUWh;
  }
  const p = v * TO_PCT;
  if (p >= 10) return p.toFixed(1) + "%";
  if (p >= 0.1) return p.toFixed(2) + "%";
  if (p > 0) return p.toFixed(3) + "%";
  return "0";
}

// On a narrow battery range whole numbers would repeat the same tick text.
function fmtPct(v, span) {
  if (span !== undefined && span < 8) return v.toFixed(1) + "%";
  return Math.round(v) + "%";
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

function visible() {
  const out = [];
  SERIES.forEach((s, i) => { if (!hidden.has(i)) out.push({ s, i }); });
  return out;
}

function roundRect(x, y, w, h, r) {
  ctx.beginPath();
  ctx.moveTo(x + r, y);
  ctx.lineTo(x + w - r, y);
  ctx.quadraticCurveTo(x + w, y, x + w, y + r);
  ctx.lineTo(x + w, y + h - r);
  ctx.quadraticCurveTo(x + w, y + h, x + w - r, y + h);
  ctx.lineTo(x + r, y + h);
  ctx.quadraticCurveTo(x, y + h, x, y + h - r);
  ctx.lineTo(x, y + r);
  ctx.quadraticCurveTo(x, y, x + r, y);
  ctx.closePath();
}

// Drawn rather than loaded, so it stays sharp and needs no resource.
function drawBrandMark(cx, cy, size) {
  const s = size;
  const x = cx - s / 2;
  const y = cy - s / 2;
  const bg = ctx.createLinearGradient(x, y, x + s, y + s);
  bg.addColorStop(0, "#182634");
  bg.addColorStop(1, "#101a23");
  roundRect(x, y, s, s, 0.24 * s);
  ctx.fillStyle = bg;
  ctx.fill();
  roundRect(x + 0.28 * s, y + 0.16 * s, 0.44 * s, 0.69 * s, 0.15 * s);
  ctx.fillStyle = "#0d171f";
  ctx.fill();
  ctx.strokeStyle = "rgba(216,230,235,.72)";
  ctx.lineWidth = 0.03 * s;
  ctx.stroke();
  const liquid = ctx.createLinearGradient(x, y, x + s, y + s);
  liquid.addColorStop(0, "#ceff72");
  liquid.addColorStop(1, "#11a4a6");
  ctx.beginPath();
  ctx.moveTo(x + 0.3 * s, y + 0.66 * s);
  ctx.quadraticCurveTo(x + 0.5 * s, y + 0.61 * s, x + 0.7 * s, y + 0.64 * s);
  ctx.lineTo(x + 0.7 * s, y + 0.83 * s);
  ctx.lineTo(x + 0.3 * s, y + 0.83 * s);
  ctx.closePath();
  ctx.fillStyle = liquid;
  ctx.fill();
}

function pad2(n) {
  return String(n).padStart(2, "0");
}

function breakText(sec) {
  const hours = sec / 3600;
  if (hours >= 1) return hours.toFixed(hours < 10 ? 1 : 0) + " h";
  return Math.round(sec / 60) + " m";
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
function drawnMax(runs, cols, data, stacked) {
  let max = 0;
  runs.forEach(([a, b], r) => {
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

// Strokes the polyline through the points j = 0 .. count - 1 in pieces of STROKE_PIECE segments
// that overlap by one, so every vertex still gets its join. The rasterizer's work on a path grows
// with its width times its height: a jagged line across the whole plot in one path cost about
// five times as much as in pieces.
const STROKE_PIECE = 32;
function strokePolyline(count, px, py) {
  for (let s = 0; ; s += STROKE_PIECE - 1) {
    const e = Math.min(count - 1, s + STROKE_PIECE);
    ctx.beginPath();
    ctx.moveTo(px(s), py(s));
    for (let j = s + 1; j <= e; j++) ctx.lineTo(px(j), py(j));
    ctx.stroke();
    if (e === count - 1) return;
  }
}

// Adds the points from..to (either direction) to the current path, starting it with moveTo when
// `start` holds. Points that fall on one pixel column collapse to the first, highest, lowest and
// last of them: the line looks the same, and a week of battery readings costs a few thousand
// segments instead of eleven thousand.
function tracePoints(from, to, px, py, start) {
  const step = from <= to ? 1 : -1;
  let col = NaN;
  let fx = 0, fy = 0, lx = 0, ly = 0, ax = 0, ay = 0, bx = 0, by = 0, ai = 0, bi = 0;
  let fresh = start;
  const put = (x, y) => {
    if (fresh) ctx.moveTo(x, y);
    else ctx.lineTo(x, y);
    fresh = false;
  };
  // Emits the column's extremes in path order between its first and last point.
  const emit = (fi, li) => {
    put(fx, fy);
    const lowFirst = (ai - bi) * step < 0;
    const p1 = lowFirst ? [ai, ax, ay] : [bi, bx, by];
    const p2 = lowFirst ? [bi, bx, by] : [ai, ax, ay];
    if (p1[0] !== fi && p1[0] !== li) put(p1[1], p1[2]);
    if (p2[0] !== fi && p2[0] !== li && p2[0] !== p1[0]) put(p2[1], p2[2]);
    if (li !== fi) put(lx, ly);
  };
  let fi = from;
  let li = from;
  for (let i = from; ; i += step) {
    const xx = px(i);
    const yy = py(i);
    const c = Math.floor(xx);
    if (c !== col) {
      if (col === col) emit(fi, li);
      col = c;
      fi = li = ai = bi = i;
      fx = lx = ax = bx = xx;
      fy = ly = ay = by = yy;
    } else {
      li = i;
      lx = xx;
      ly = yy;
      if (yy < ay) { ay = yy; ax = xx; ai = i; }
      if (yy > by) { by = yy; bx = xx; bi = i; }
    }
    if (i === to) break;
  }
  emit(fi, li);
}

function draw() {
  const width = Math.max(1, canvas.clientWidth);
  const height = CANVAS_H;
  const dpr = window.devicePixelRatio || 1;
  canvas.width = Math.round(width * dpr);
  canvas.height = Math.round(height * dpr);
  ctx.setTransform(dpr, 0, 0, dpr, 0, 0);
  ctx.clearRect(0, 0, width, height);

  const from = periodStart();
  const labels = LABELS.slice(from);
  const bat = BAT.slice(from);
  const n = labels.length;
  const vis = visible();
  let hasBatLine = false;
  if (SHOW_BATTERY) hasBatLine = bat.some((b) => b !== null);

  if (n === 0 || vis.length === 0) {
    drawBrandMark(width / 2, height / 2 - 31, 44);
    ctx.fillStyle = "#888";
    ctx.font = "13px -apple-system";
    ctx.textAlign = "center";
    ctx.textBaseline = "middle";
    ctx.fillText(L.noData, width / 2, height / 2 + 32);
    layout = null;
    return;
  }

  // Smoothing runs on the cut values, so the average never reaches before the period.
  const data = vis.map((c) => smoothed(SERIES[c.i].v.slice(from), smoothWin));

  // The battery mostly sits near 100 percent: scale its axis to the points it has.
  const batPts = [];
  for (let i = 0; i < n; i++) {
    const b = bat[i];
    if (b) batPts.push({ i, p: b.p, s: b.s });
  }
  let batLo = 0;
  let batHi = 100;
  if (batPts.length >= 2) {
    let lo = Infinity;
    let hi = -Infinity;
    for (const b of batPts) {
      if (b.p < lo) lo = b.p;
      if (b.p > hi) hi = b.p;
    }
    const pad = Math.max((hi - lo) * 0.25, 2.5);
    batLo = Math.max(0, lo - pad);
    batHi = Math.min(100, hi + pad);
    if (batHi - batLo < 5) {
      batHi = Math.min(100, batLo + 5);
      batLo = Math.max(0, batHi - 5);
    }
  }
  const batSpan = batHi - batLo;
  const batTicks = [0, 0.25, 0.5, 0.75, 1].map((f) => batLo + batSpan * f);

  // Consecutive labels further apart than gapS break the observations into runs.
  const runs = [];
  let runStart = 0;
  for (let i = 1; i < n; i++) {
    if (labels[i] - labels[i - 1] > gapS) {
      runs.push([runStart, i - 1]);
      runStart = i;
    }
  }
  runs.push([runStart, n - 1]);

  // Margins from the real text widths: a fixed margin cuts long ticks or wastes space.
  ctx.font = AXIS_FONT;
  let right = 14;
  if (hasBatLine) {
    let rightW = 0;
    for (const t of batTicks) rightW = Math.max(rightW, ctx.measureText(fmtPct(t, batSpan)).width);
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
    // Stored minutes sit side by side; every break is marked below.
    const l = left;
    const w = pw;
    x = (i) => (n === 1 ? l + w / 2 : l + i / (n - 1) * w);
    cols = runs.map(([a, b]) => columnsOf(a, b, x, data));
    max = drawnMax(runs, cols, data, stackMode);
    const next = leftFor(max);
    if (next === left || pass === 2) break;
    left = next;
  }
  const sc = axisScale(max);
  const y = (v) => top + ph - v / max * ph;
  const tSpan = Math.max(1, labels[n - 1] - labels[0]);

  ctx.strokeStyle = "rgba(127,127,127,.22)";
  ctx.lineWidth = 1;
  ctx.fillStyle = AXIS_COLOR;
  ctx.textAlign = "right";
  ctx.textBaseline = "middle";
  for (let g = 0; g <= 4; g++) {
    const v = max * g / 4;
    const gy = Math.round(y(v)) + 0.5;
    ctx.beginPath();
    ctx.moveTo(left, gy);
    ctx.lineTo(width - right, gy);
    ctx.stroke();
    ctx.fillText(fmtAxis(v, sc), left - 6, gy);
  }
  ctx.textAlign = "left";
  ctx.fillText(sc.unit, 2, top - 12);

  const withDate = tSpan > 86400;
  ctx.textBaseline = "top";
  let lastTick = -1;
  for (let k = 0; k <= ticksX; k++) {
    const i = Math.round((n - 1) * k / ticksX);
    // With fewer points than ticks an index recurs; a second label would print over the first.
    if (i === lastTick) continue;
    lastTick = i;
    const d = new Date(labels[i] * 1000);
    let text = pad2(d.getHours()) + ":" + pad2(d.getMinutes());
    if (withDate) text = d.toLocaleDateString(LOCALE, { day: "numeric", month: "short" }) + " " + text;
    // The ends keep their labels inside the plot; a single point sits in the middle.
    ctx.textAlign = n === 1 ? "center" : i === 0 ? "left" : i === n - 1 ? "right" : "center";
    ctx.fillText(text, x(i), top + ph + 7);
  }

  // Dense runs are drawn from their columns (columnsOf): stacked layers as one bar per column,
  // lines as a polyline through the column means. Filling outlines of tens of thousands of jagged
  // vertices took the software rasterizer about a second; a thousand columns look the same.
  // No line or area crosses a break: a line over a night would suggest use that never happened.
  const base = new Float64Array(n);
  const colBase = cols.map((cs) => cs && new Float64Array(cs.length));
  vis.forEach((c, k) => {
    const colour = COLORS[c.i % COLORS.length];
    const d = data[k];
    runs.forEach(([a, b], r) => {
      const cs = cols[r];
      if (a === b) {
        const px = x(a);
        if (stackMode) {
          const y0 = y(base[a]);
          const y1 = y(base[a] + d[a]);
          ctx.fillStyle = colour + "cc";
          ctx.fillRect(px - 1, y1, 2, y0 - y1);
        } else {
          ctx.fillStyle = colour;
          ctx.fillRect(px - 1, y(d[a]) - 1, 2, 2);
        }
        return;
      }
      if (stackMode && cs) {
        const cb = colBase[r];
        ctx.fillStyle = colour + "cc";
        for (let j = 0; j < cs.length; j++) {
          const col = cs[j];
          const y0 = y(cb[j]);
          cb[j] += col.v[k];
          const y1 = y(cb[j]);
          ctx.fillRect(col.x0, y1, col.x1 - col.x0, y0 - y1);
        }
      } else if (stackMode) {
        ctx.beginPath();
        ctx.moveTo(x(a), y(base[a] + d[a]));
        for (let i = a + 1; i <= b; i++) ctx.lineTo(x(i), y(base[i] + d[i]));
        for (let i = b; i >= a; i--) ctx.lineTo(x(i), y(base[i]));
        ctx.closePath();
        ctx.fillStyle = colour + "cc";
        ctx.fill();
      } else {
        ctx.strokeStyle = colour;
        ctx.lineWidth = 1.8;
        if (cs) strokePolyline(cs.length, (j) => (cs[j].x0 + cs[j].x1) / 2, (j) => y(cs[j].v[k]));
        else strokePolyline(b - a + 1, (j) => x(a + j), (j) => y(d[a + j]));
      }
    });
    if (stackMode) for (let i = 0; i < n; i++) base[i] += d[i];
  });

  if (runs.length > 1) {
    ctx.save();
    ctx.setLineDash([3, 3]);
    ctx.strokeStyle = "rgba(127,127,127,.45)";
    ctx.lineWidth = 1;
    ctx.font = "9px -apple-system";
    ctx.fillStyle = "#9a9aa0";
    ctx.textAlign = "center";
    ctx.textBaseline = "top";
    let lastRight = -Infinity;
    for (let r = 1; r < runs.length; r++) {
      const ia = runs[r - 1][1];
      const ib = runs[r][0];
      const bx = Math.round((x(ia) + x(ib)) / 2) + 0.5;
      const sec = labels[ib] - labels[ia];
      ctx.beginPath();
      ctx.moveTo(bx, top);
      ctx.lineTo(bx, top + ph);
      ctx.stroke();
      if (sec < labelMinSec) continue;
      // A night broken by short wake-ups would otherwise stack labels on each other.
      const text = breakText(sec);
      const w = ctx.measureText(text).width;
      if (bx - w / 2 < lastRight + 4) continue;
      ctx.fillText(text, bx, top + 2);
      lastRight = bx + w / 2;
    }
    ctx.restore();
  }

  if (hasBatLine && batPts.length >= 2) {
    const yBat = (p) => top + ph - (p - batLo) / batSpan * ph;
    ctx.font = AXIS_FONT;
    ctx.fillStyle = AXIS_COLOR;
    ctx.textAlign = "left";
    ctx.textBaseline = "middle";
    for (const t of batTicks) ctx.fillText(fmtPct(t, batSpan), left + pw + 6, Math.round(yBat(t)) + 0.5);
    ctx.fillText("%", left + pw + 6, top - 12);
    ctx.lineWidth = 2;
    // One polyline per stretch of joined points whose segments share a colour (that of their
    // starting point).
    const bx = (k) => x(batPts[k].i);
    const by = (k) => yBat(batPts[k].p);
    const joined = (k) => labels[batPts[k + 1].i] - labels[batPts[k].i] <= gapS;
    const colourOf = (k) => STATE_COLOR[batPts[k].s] || STATE_FALLBACK;
    let k0 = 0;
    while (k0 < batPts.length - 1) {
      if (!joined(k0)) { k0++; continue; }
      const c = colourOf(k0);
      let k1 = k0 + 1;
      while (k1 < batPts.length - 1 && joined(k1) && colourOf(k1) === c) k1++;
      ctx.beginPath();
      ctx.strokeStyle = c;
      tracePoints(k0, k1, bx, by, true);
      ctx.stroke();
      k0 = k1;
    }
  }

  layout = { x, y, n, left, right, top, bottom, pw, ph, max, data, vis, stacked: stackMode, batPts,
    labels, first: labels[0], tSpan, gapS, runs, cols };
}

function esc(s) {
  return String(s).replace(/&/g, "&amp;").replace(/</g, "&lt;").replace(/>/g, "&gt;")
    .replace(/"/g, "&quot;").replace(/'/g, "&#39;");
}

function setActive(groupId, activeId) {
  for (const b of document.querySelectorAll("#" + groupId + " button")) {
    b.classList.toggle("active", b.id === activeId);
  }
}

// Outside the application's web view there is no host to tell.
function post(message) {
  try {
    const h = window.webkit && window.webkit.messageHandlers && window.webkit.messageHandlers.sapwell;
    if (h) h.postMessage(message);
  } catch (e) {
    // The host went away; nothing to tell it.
  }
}

function hideTip() {
  tip.style.opacity = "0";
}

function nearestBattery(pts, i) {
  let lo = 0;
  let hi = pts.length - 1;
  while (lo < hi) {
    const mid = Math.floor((lo + hi) / 2);
    if (pts[mid].i < i) lo = mid + 1;
    else hi = mid;
  }
  if (lo > 0 && i - pts[lo - 1].i <= pts[lo].i - i) lo -= 1;
  return pts[lo];
}

// The pixel column drawn at canvas x `px` when minute i lies in a run drawn by columns, else null.
function columnAt(lay, i, px) {
  let lo = 0;
  let hi = lay.runs.length - 1;
  while (lo < hi) {
    const mid = Math.floor((lo + hi) / 2);
    if (lay.runs[mid][1] < i) lo = mid + 1;
    else hi = mid;
  }
  const cs = lay.cols[lo];
  if (!cs) return null;
  const j = Math.floor(px) - Math.floor(lay.x(lay.runs[lo][0]));
  return cs[Math.max(0, Math.min(cs.length - 1, j))];
}

function showTip(ev) {
  if (!layout) return hideTip();
  const rect = canvas.getBoundingClientRect();
  const px = ev.clientX - rect.left;
  const rel = (px - layout.left) / layout.pw;
  const i = Math.round(rel * (layout.n - 1));
  if (!(i >= 0 && i <= layout.n - 1)) return hideTip();
  // Under a column the tooltip tells what the column shows: its minutes and their means.
  const col = columnAt(layout, i, px);
  const rows = [];
  layout.vis.forEach((c, k) => {
    const v = col ? col.v[k] : layout.data[k][i];
    if (v > 0) rows.push({ v, name: SERIES[c.i].name, colour: COLORS[c.i % COLORS.length] });
  });
  rows.sort((a, b) => b.v - a.v);
  rows.length = Math.min(rows.length, 8);
  if (rows.length === 0) return hideTip();

  const time = (t) => new Date(t * 1000).toLocaleTimeString(LOCALE, { hour: "2-digit", minute: "2-digit" });
  const first = col ? layout.labels[col.i0] : layout.labels[i];
  let stamp = layout.tSpan > 86400
    ? new Date(first * 1000).toLocaleString(LOCALE, { day: "numeric", month: "short", hour: "2-digit", minute: "2-digit" })
    : time(first);
  if (col && col.i1 > col.i0) stamp += " – " + time(layout.labels[col.i1]);
  const swatch = (c) => '<span style="display:inline-block;width:8px;height:8px;border-radius:2px;background:' +
    c + '"></span>';
  const lines = ["<b>" + esc(stamp) + "</b>"];
  for (const r of rows) lines.push(swatch(r.colour) + " " + esc(r.name) + " — " + esc(fmtUnit(r.v)));
  if (SHOW_BATTERY && layout.batPts.length > 0) {
    const b = nearestBattery(layout.batPts, i);
    const word = b.s === "d" ? L.stateD : b.s === "c" ? L.stateC : b.s === "a" ? L.stateA : "";
    lines.push(swatch(STATE_COLOR[b.s] || STATE_FALLBACK) + " " + b.p.toFixed(1) + "% — " + esc(word));
  }
  tip.innerHTML = lines.join("<br>");
  tip.style.opacity = "1";
  tip.style.left = Math.min(ev.clientX + 14, window.innerWidth - tip.offsetWidth - 10) + "px";
  tip.style.top = ev.clientY + 14 + "px";
}

function buildLegend() {
  const legend = document.getElementById("legend");
  legend.textContent = "";
  SERIES.forEach((s, i) => {
    const item = document.createElement("div");
    if (hidden.has(i)) item.className = "off";
    const sw = document.createElement("span");
    sw.className = "sw";
    sw.style.background = COLORS[i % COLORS.length];
    item.appendChild(sw);
    item.appendChild(document.createTextNode(s.name));
    item.addEventListener("click", () => {
      if (hidden.has(i)) hidden.delete(i);
      else hidden.add(i);
      buildLegend();
      draw();
    });
    legend.appendChild(item);
  });
}

// Over the chart's period, so the figures never contradict the picture above them.
function buildTable() {
  const from = periodStart();
  const rows = [];
  let grand = 0;
  SERIES.forEach((s, idx) => {
    let total = 0;
    let used = 0;
    let peak = 0;
    for (let i = from; i < s.v.length; i++) {
      const v = s.v[i];
      total += v;
      if (v > 0) used++;
      if (v > peak) peak = v;
    }
    grand += total;
    rows.push({ name: s.name, total, avg: total / (used || 1), peak, idx });
  });
  // Top curves are chosen over all history; in a short period some have nothing to show.
  const shown = rows.filter((r) => r.total > 0);
  shown.sort((a, b) => b.total - a.total || a.idx - b.idx);
  let html = "";
  for (const r of shown) {
    const path = Object.prototype.hasOwnProperty.call(BUNDLES, r.name) ? BUNDLES[r.name] : null;
    if (path) {
      html += '<tr><td class="app" data-path="' + esc(path) + '" title="' + esc(path) + "\n" +
        esc(L.reveal) + '">' + esc(r.name) + "</td>";
    } else {
      html += '<tr><td title="' + esc(L.appNotFound) + '">' + esc(r.name) + "</td>";
    }
    const share = grand > 0 ? (r.total / grand * 100).toFixed(1) : "0";
    html += '<td class="num">' + esc(fmtTotal(r.total)) + "</td>" +
      '<td class="num">' + esc(fmtUnit(r.avg)) + "</td>" +
      '<td class="num">' + esc(fmtUnit(r.peak)) + "</td>" +
      '<td class="num">' + share + "%</td></tr>";
  }
  document.getElementById("tb").innerHTML = html;
}

/* @subtitle */

for (const b of document.querySelectorAll("#periodGroup button")) {
  b.addEventListener("click", () => {
    periodMin = Number(b.dataset.min);
    setActive("periodGroup", b.id);
    draw();
    buildTable();
  });
}
for (const [id, stacked] of [["btnStack", true], ["btnLine", false]]) {
  document.getElementById(id).addEventListener("click", () => {
    stackMode = stacked;
    setActive("modeGroup", id);
    draw();
  });
}
for (const [id, w] of [["btnS1", 1], ["btnS5", 5], ["btnS15", 15]]) {
  document.getElementById(id).addEventListener("click", () => {
    smoothWin = w;
    setActive("smoothGroup", id);
    draw();
  });
}
if (HAS_BATTERY && !IS_CPU) {
  document.getElementById("unitGroup").style.display = "";
  setActive("unitGroup", unitMode === "watt" ? "btnWatt" : "btnPct");
  for (const [id, mode] of [["btnPct", "pct"], ["btnWatt", "watt"]]) {
    document.getElementById(id).addEventListener("click", () => {
      unitMode = mode;
      setActive("unitGroup", id);
      draw();
      buildTable();
    });
  }
}
document.getElementById("toggleAll").addEventListener("click", (ev) => {
  if (hidden.size > 0) hidden.clear();
  else SERIES.forEach((s, i) => hidden.add(i));
  ev.currentTarget.textContent = hidden.size > 0 ? L.showAll : L.hideAll;
  buildLegend();
  draw();
});
document.getElementById("tb").addEventListener("click", (ev) => {
  const cell = ev.target.closest ? ev.target.closest("td.app") : null;
  if (cell) post(cell.dataset.path);
});
canvas.addEventListener("mousemove", showTip);
canvas.addEventListener("mouseleave", hideTip);
window.addEventListener("resize", draw);
// The web view takes the key before the application's menu would see it.
document.addEventListener("keydown", (ev) => {
  if ((ev.key === "w" || ev.key === "W") && ev.metaKey && !ev.shiftKey && !ev.altKey) {
    ev.preventDefault();
    post("close");
  }
});

if (SHOW_BATTERY && BAT.some((b) => b !== null)) {
  document.getElementById("bat-legend").style.display = "flex";
}
buildLegend();
buildTable();
draw();
