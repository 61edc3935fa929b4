// Painting: each layer of the chart, then draw(), which lays out and paints them all.

const LABEL_MIN_S = 15 * 60;  // shorter breaks get a line but no label
const TICKS_X = 7;
const AXIS_COLOR = "#8a8a8e";

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

function drawEmpty(width, height) {
  drawBrandMark(width / 2, height / 2 - 31, 44);
  ctx.fillStyle = "#888";
  ctx.font = font(13);
  ctx.textAlign = "center";
  ctx.textBaseline = "middle";
  ctx.fillText(L.noData, width / 2, height / 2 + 32);
}

function pad2(n) {
  return String(n).padStart(2, "0");
}

// A break's length in the page's language, and what the battery lost over the sleeps in it.
function breakText(sec, fall) {
  const hours = sec / 3600;
  const time = hours >= 1 ? hours.toFixed(hours < 10 ? 1 : 0) + " " + L.hour : Math.round(sec / 60) + " " + L.minute;
  return fall === null ? time : time + " \u00b7 " + fall.toFixed(1) + "%";
}

// The battery's fall over the sleeps whose middle lies between the stored minutes t0 and t1;
// null without one, or when it rose (the machine charged while asleep).
function sleepFall(t0, t1) {
  let fall = null;
  for (const s of SLEEP_LIST) {
    const mid = s.t - s.s / 2;
    if (mid >= t0 && mid < t1 && s.d !== null) fall = (fall || 0) + s.d;
  }
  return fall !== null && fall >= 0 ? fall : null;
}

// Horizontal grid lines with the value axis and its unit.
function drawGrid(lay, width) {
  const sc = axisScale(lay.max);
  ctx.font = axisFont();
  ctx.strokeStyle = "rgba(127,127,127,.22)";
  ctx.lineWidth = 1;
  ctx.fillStyle = AXIS_COLOR;
  ctx.textAlign = "right";
  ctx.textBaseline = "middle";
  for (let g = 0; g <= 4; g++) {
    const v = lay.max * g / 4;
    const gy = Math.round(lay.y(v)) + 0.5;
    ctx.beginPath();
    ctx.moveTo(lay.left, gy);
    ctx.lineTo(width - lay.right, gy);
    ctx.stroke();
    ctx.fillText(fmtAxis(v, sc), lay.left - 6, gy);
  }
  ctx.textAlign = "left";
  ctx.fillText(sc.word, 2, lay.top - 12);
}

function drawTimeAxis(lay) {
  const { n, labels, x } = lay;
  const withDate = lay.tSpan > 86400;
  ctx.font = axisFont();
  ctx.fillStyle = AXIS_COLOR;
  ctx.textBaseline = "top";
  let lastTick = -1;
  for (let k = 0; k <= TICKS_X; k++) {
    const i = Math.round((n - 1) * k / TICKS_X);
    // With fewer points than ticks an index recurs; a second label would print over the first.
    if (i === lastTick) continue;
    lastTick = i;
    const d = new Date(labels[i] * 1000);
    let text = pad2(d.getHours()) + ":" + pad2(d.getMinutes());
    if (withDate) text = d.toLocaleDateString(LOCALE, { day: "numeric", month: "short" }) + " " + text;
    // The ends keep their labels inside the plot; a single point sits in the middle.
    ctx.textAlign = n === 1 ? "center" : i === 0 ? "left" : i === n - 1 ? "right" : "center";
    ctx.fillText(text, x(i), lay.top + lay.ph + 7);
  }
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

// Dense spans are drawn from their columns (columnsOf): stacked layers as one bar per column,
// lines as a polyline through the column means. Filling outlines of tens of thousands of jagged
// vertices took the software rasterizer about a second; a thousand columns look the same.
// No line or area crosses a break or a minute without data: a line over a night would suggest
// use that never happened.
function drawCurves(lay) {
  const { n, x, y, data, spans, cols, stacked } = lay;
  const base = new Float64Array(n);
  const colBase = cols.map((cs) => cs && new Float64Array(cs.length));
  lay.vis.forEach(({ c }, k) => {
    const colour = c.colour;
    const d = data[k];
    spans.forEach(([a, b], r) => {
      const cs = cols[r];
      if (a === b) {
        const px = x(a);
        if (stacked) {
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
      if (stacked && cs) {
        const cb = colBase[r];
        ctx.fillStyle = colour + "cc";
        for (let j = 0; j < cs.length; j++) {
          const col = cs[j];
          const y0 = y(cb[j]);
          cb[j] += col.v[k];
          const y1 = y(cb[j]);
          ctx.fillRect(col.x0, y1, col.x1 - col.x0, y0 - y1);
        }
      } else if (stacked) {
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
    if (stacked) for (let i = 0; i < n; i++) if (d[i] !== null) base[i] += d[i];
  });
}

// A dashed line at each break, labelled with its length from LABEL_MIN_S.
function drawBreaks(lay) {
  const { runs, labels, x, top, ph } = lay;
  if (runs.length < 2) return;
  ctx.save();
  ctx.setLineDash([3, 3]);
  ctx.strokeStyle = "rgba(127,127,127,.45)";
  ctx.lineWidth = 1;
  ctx.font = font(9);
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
    if (sec < LABEL_MIN_S) continue;
    // A night broken by short wake-ups would otherwise stack labels on each other.
    const text = breakText(sec, sleepFall(labels[ia], labels[ib]));
    const w = ctx.measureText(text).width;
    if (bx - w / 2 < lastRight + 4) continue;
    ctx.fillText(text, bx, top + 2);
    lastRight = bx + w / 2;
  }
  ctx.restore();
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

// The battery level on its own axis at the right, one polyline per stretch of joined points whose
// segments share a colour (that of their starting point).
function drawBattery(lay, battery) {
  const { pts, lo, span } = battery;
  if (!battery.shown || pts.length < 2) return;
  const { x, labels, left, pw, top, ph } = lay;
  const yBat = (p) => top + ph - (p - lo) / span * ph;
  ctx.font = axisFont();
  ctx.fillStyle = AXIS_COLOR;
  ctx.textAlign = "left";
  ctx.textBaseline = "middle";
  for (const t of battery.ticks) ctx.fillText(fmtPct(t, span), left + pw + 6, Math.round(yBat(t)) + 0.5);
  ctx.fillText("%", left + pw + 6, top - 12);
  ctx.lineWidth = 2;
  const bx = (k) => x(pts[k].i);
  const by = (k) => yBat(pts[k].p);
  const joined = (k) => labels[pts[k + 1].i] - labels[pts[k].i] <= GAP_S;
  const colourOf = (k) => stateColour(pts[k].s);
  let k0 = 0;
  while (k0 < pts.length - 1) {
    if (!joined(k0)) { k0++; continue; }
    const c = colourOf(k0);
    let k1 = k0 + 1;
    while (k1 < pts.length - 1 && joined(k1) && colourOf(k1) === c) k1++;
    ctx.beginPath();
    ctx.strokeStyle = c;
    tracePoints(k0, k1, bx, by, true);
    ctx.stroke();
    k0 = k1;
  }
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
  const vis = visible();
  // Smoothing runs on the cut values, so the average never reaches before the period.
  const data = vis.map(({ c }) => smoothed(c.v.slice(from), state.smoothing));
  const runs = runsOf(labels);
  const spans = data.length ? spansOf(runs, (i) => data[0][i] !== null) : [];
  if (spans.length === 0) {
    drawEmpty(width, height);
    layout = null;
    return;
  }
  const battery = batteryAxis(BAT.slice(from));
  const lay = plotLayout(width, height, labels, vis, data, battery, runs, spans);
  drawGrid(lay, width);
  drawTimeAxis(lay);
  drawCurves(lay);
  drawBreaks(lay);
  drawBattery(lay, battery);
  layout = lay;
}
