// The table: each curve's total, average rate over the minutes it used, peak and share, over the
// chart's period, so the figures never contradict the picture above them. In the battery view the
// machine's own share has a row like the applications'.

function buildTable() {
  const from = periodStart();
  const rows = [];
  let grand = 0;
  curves().forEach((c, idx) => {
    let total = 0;
    let used = 0;  // minutes, which a measured drain may cover in part
    let peak = 0;
    for (let i = from; i < c.v.length; i++) {
      const v = c.v[i];
      if (!(v > 0)) continue;
      total += c.amount[i];
      used += c.weight ? c.weight[i] : 1;
      if (v > peak) peak = v;
    }
    grand += total;
    rows.push({ name: c.name, total, avg: total / (used || 1), peak, idx });
  });
  // Top curves are chosen over all history; in a short period some have nothing to show.
  const shown = rows.filter((r) => r.total > 0);
  shown.sort((a, b) => b.total - a.total || a.idx - b.idx);
  const note = document.getElementById("drainNote");
  let html = "";
  for (const r of shown) {
    const path = Object.prototype.hasOwnProperty.call(BUNDLES, r.name) ? BUNDLES[r.name] : null;
    if (state.view === "battery" && r.idx === 0) {  // the idle row, which is an estimate too
      html += '<tr><td title="' + esc(note ? note.textContent : "") + '">' + esc(r.name) + "</td>";
    } else if (path) {
      html += '<tr><td class="app" data-path="' + esc(path) + '" title="' + esc(path) + "\n" +
        esc(L.reveal) + '">' + esc(r.name) + "</td>";
    } else {
      html += '<tr><td title="' + esc(L.appNotFound) + '">' + esc(r.name) + "</td>";
    }
    const share = grand > 0 ? (r.total / grand * 100).toFixed(1) : "0";
    html += '<td class="num">' + esc(fmtTotal(r.total)) + "</td>" +
      '<td class="num">' + esc(fmtRate(r.avg)) + "</td>" +
      '<td class="num">' + esc(fmtRate(r.peak)) + "</td>" +
      '<td class="num">' + share + "%</td></tr>";
  }
  document.getElementById("tb").innerHTML = html;
}
