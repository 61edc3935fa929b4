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
  const cell = (text, className) => {
    const td = document.createElement("td");
    if (className) td.className = className;
    td.textContent = text;
    return td;
  };
  const body = document.getElementById("tb");
  body.textContent = "";
  for (const r of shown) {
    const path = Object.prototype.hasOwnProperty.call(BUNDLES, r.name) ? BUNDLES[r.name] : null;
    const name = cell("", path ? "app" : "");
    name.appendChild(isolatedName(r.name));
    if (state.view === "battery" && r.idx === 0) {  // the idle row, which is an estimate too
      name.title = note ? note.textContent : "";
    } else if (path) {
      name.dataset.path = path;
      name.title = path + "\n" + L.reveal;
    } else {
      name.title = r.name === L.systemOwner ? L.systemService : L.program;
    }
    const share = grand > 0 ? (r.total / grand * 100).toFixed(1) : "0";
    const row = document.createElement("tr");
    row.append(name, cell(fmtTotal(r.total), "num"), cell(fmtRate(r.avg), "num"), cell(fmtRate(r.peak), "num"),
      cell(share + "%", "num"));
    body.appendChild(row);
  }
}
