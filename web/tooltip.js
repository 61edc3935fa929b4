// The tooltip: what the last drawing shows under the pointer.

const tip = document.getElementById("tip");

// A name in an isolate of its own (<bdi>, which the engine bounds as FSI ... PDI would), so neither
// its direction nor its own bidi controls can reorder the text around it. Its own isolates are
// balanced first: a PDI closing none of them would close the element's, one left open would
// take the element's closing one.
function isolatedName(name) {
  let open = 0;
  let text = "";
  for (const ch of String(name)) {
    if (ch === "\u2069") {
      if (open === 0) continue;
      open -= 1;
    } else if (ch >= "\u2066" && ch <= "\u2068") {
      open += 1;
    }
    text += ch;
  }
  const node = document.createElement("bdi");
  node.textContent = text + "\u2069".repeat(open);
  return node;
}

function hideTip() {
  tip.style.opacity = "0";
}

// The battery point nearest to minute i; of two as near, the earlier.
function nearestBattery(pts, i) {
  let k = Math.min(lowerBound(pts.length, (j) => pts[j].i, i), pts.length - 1);
  if (k > 0 && i - pts[k - 1].i <= pts[k].i - i) k -= 1;
  return pts[k];
}

// The pixel column drawn at canvas x `px` when minute i lies in a span drawn by columns, else null.
function columnAt(lay, i, px) {
  const r = Math.min(lowerBound(lay.spans.length, (j) => lay.spans[j][1], i), lay.spans.length - 1);
  const cs = lay.cols[r];
  if (!cs || i < lay.spans[r][0] || i > lay.spans[r][1]) return null;
  const j = Math.floor(px) - Math.floor(lay.x(lay.spans[r][0]));
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
  layout.vis.forEach(({ c }, k) => {
    const v = col ? col.v[k] : layout.data[k][i];
    if (v > 0) rows.push({ v, name: c.name, colour: c.colour });
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
  // One line: a colour swatch, then its text and nodes.
  const line = (colour, ...parts) => {
    const div = document.createElement("div");
    if (colour) {
      const sw = document.createElement("span");
      sw.style.cssText = "display:inline-block;width:8px;height:8px;border-radius:2px;background:" + colour;
      div.append(sw, " ");
    }
    div.append(...parts);
    return div;
  };
  const head = document.createElement("b");
  head.textContent = stamp;
  tip.replaceChildren(line(null, head));
  for (const r of rows) tip.appendChild(line(r.colour, isolatedName(r.name), " — " + fmtRate(r.v)));
  if (layout.batPts.length > 0) {
    const b = nearestBattery(layout.batPts, i);
    const word = stateOf(b.s) ? stateOf(b.s).word : "";
    tip.appendChild(line(stateColour(b.s), b.p.toFixed(1) + "% — " + word));
  }
  tip.style.opacity = "1";
  tip.style.left = Math.min(ev.clientX + 14, window.innerWidth - tip.offsetWidth - 10) + "px";
  tip.style.top = ev.clientY + 14 + "px";
}
