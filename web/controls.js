// Controls and start-up: the button groups, the legends, the host, and the hook for the tests.

// Each view keeps its own unit; the legend lists the view's curves.
function setView(view) {
  viewUnit[state.view] = state.unit;
  state.view = view;
  state.unit = viewUnit[view];
  buildLegend();
}

// One entry per button group: the state key it sets (through `set` when given), [button id, value]
// per button, and whether the table follows it (it shows totals over the period, in the unit). A
// group is on the page while `shown()` holds; the view group is in the markup only where a drain
// was measured.
const GROUPS = [
  { id: "viewGroup", key: "view", table: true, set: setView, buttons: [["btnCPU", "cpu"], ["btnBattery", "battery"]] },
  { id: "periodGroup", key: "period", table: true,
    buttons: [["btnP1h", 60], ["btnP6h", 360], ["btnP1d", 1440], ["btnP1w", 10080], ["btnPAll", 0]] },
  { id: "modeGroup", key: "stacked", buttons: [["btnStack", true], ["btnLine", false]] },
  { id: "smoothGroup", key: "smoothing", buttons: [["btnS1", 1], ["btnS5", 5], ["btnS15", 15]] },
  // Percent needs the capacity; the battery view without it has watts alone.
  { id: "unitGroup", key: "unit", table: true, shown: () => (state.view === "battery" ? HAS_BATTERY : SHOW_BATTERY),
    buttons: Object.keys(UNITS).filter((m) => UNITS[m].button).map((m) => [UNITS[m].button, m]) },
];

function setActive(group) {
  for (const [id, value] of group.buttons) {
    document.getElementById(id).classList.toggle("active", state[group.key] === value);
  }
}

// Shows the groups that apply to the view with their choices, and the estimate's note, the title
// and the "CPU time" remark with their view.
function showControls() {
  for (const group of GROUPS) {
    const box = document.getElementById(group.id);
    if (!box) continue;
    box.style.display = !group.shown || group.shown() ? "" : "none";
    setActive(group);
  }
  const note = document.getElementById("drainNote");
  if (!note) return;
  const battery = state.view === "battery";
  note.style.display = battery ? "" : "none";
  const title = document.querySelector("h1");
  if (title.dataset.cpu === undefined) title.dataset.cpu = title.textContent;
  title.textContent = battery ? note.dataset.title : title.dataset.cpu;
  const cpuNote = document.getElementById("cpuNote");
  if (cpuNote) cpuNote.style.display = battery ? "none" : "";
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

// One entry per curve, in its colour; a click hides or shows it.
function buildLegend() {
  const legend = document.getElementById("legend");
  legend.textContent = "";
  curves().forEach(({ name, colour }) => {
    const item = document.createElement("div");
    if (state.hidden.has(name)) item.className = "off";
    const sw = document.createElement("span");
    sw.className = "sw";
    sw.style.background = colour;
    item.appendChild(sw);
    item.appendChild(isolatedName(name));
    item.addEventListener("click", () => {
      if (state.hidden.has(name)) state.hidden.delete(name);
      else state.hidden.add(name);
      buildLegend();
      draw();
    });
    legend.appendChild(item);
  });
}

// The battery line's colours, shown only when there is a line.
function showBatteryLegend() {
  if (!BAT.some((b) => b !== null)) return;
  const box = document.getElementById("bat-legend");
  for (const { colour, word } of Object.values(STATES)) {
    const key = document.createElement("span");
    key.className = "bat-key";
    const line = document.createElement("span");
    line.style.background = colour;
    key.append(line, word);
    box.appendChild(key);
  }
  box.style.display = "flex";
}

function wire(group) {
  if (!document.getElementById(group.id)) return;
  for (const [id, value] of group.buttons) {
    document.getElementById(id).addEventListener("click", () => {
      if (group.set) group.set(value);
      else state[group.key] = value;
      showControls();
      draw();
      if (group.table) buildTable();
    });
  }
}

// The time of the newest data, in the reader's locale.
const updated = document.getElementById("updated");
updated.textContent = new Date(Number(updated.dataset.t) * 1000).toLocaleString(LOCALE);

GROUPS.forEach(wire);
showControls();
// Hidden names of the other view's own curves (the idle row) do not count here.
const anyHidden = () => curves().some((c) => state.hidden.has(c.name));
document.getElementById("toggleAll").addEventListener("click", (ev) => {
  const hide = !anyHidden();
  curves().forEach((c) => (hide ? state.hidden.add(c.name) : state.hidden.delete(c.name)));
  ev.currentTarget.textContent = anyHidden() ? L.showAll : L.hideAll;
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

showBatteryLegend();
buildLegend();
buildTable();
draw();

// For the browser tests and the draw benchmark, so they need none of the script's insides: the
// view's state, the last drawing's geometry (null when it showed no data), and a redraw.
window.__sapwell = Object.freeze({
  state,
  get layout() { return layout; },
  draw,
});
