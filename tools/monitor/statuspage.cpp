// The status page: static HTML whose script takes a snapshot and then the
// per-camera changes from /events, so it never reloads. Rows and detector
// chips carry ids ("cam-NAME", "det-NAME-KIND[-PORT]") and data-* states so
// that tools (and the browser test) can read them.
#include "tools/monitor/statusserver.h"

const char* StatusPageHtml() {
    return R"HTML(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>camdet fleet</title>
<style>
  :root { --bg:#f6f7f9; --card:#fff; --ink:#1d2330; --mute:#6b7385; --line:#e3e6ec;
          --ok:#1f9d55; --err:#d64545; --warn:#c98a00; --trig:#e5484d; --quiet:#e9ecf1; }
  * { box-sizing: border-box; }
  body { margin:0; font:14px/1.4 system-ui, -apple-system, "Segoe UI", Roboto, sans-serif; background:var(--bg); color:var(--ink); }
  header { display:flex; align-items:baseline; gap:24px; padding:16px 24px; background:var(--card); border-bottom:1px solid var(--line); }
  header h1 { font-size:18px; margin:0; }
  .stat { color:var(--mute); } .stat b { color:var(--ink); font-size:16px; }
  #live { margin-left:auto; font-size:12px; padding:2px 8px; border-radius:10px; background:var(--quiet); }
  #live[data-state="live"] { background:#dff3e6; color:var(--ok); }
  #live[data-state="lost"] { background:#fbe3e3; color:var(--err); }
  main { padding:16px 24px; }
  table { width:100%; border-collapse:collapse; background:var(--card); border:1px solid var(--line); border-radius:6px; }
  th, td { text-align:left; padding:8px 10px; border-bottom:1px solid var(--line); vertical-align:top; }
  th { font-size:12px; text-transform:uppercase; letter-spacing:.04em; color:var(--mute); font-weight:600; }
  .name { font-weight:600; } .sub { color:var(--mute); font-size:12px; }
  .state { display:inline-block; padding:1px 8px; border-radius:10px; font-size:12px; font-weight:600; }
  .state[data-state="ok"] { background:#dff3e6; color:var(--ok); }
  .state[data-state="error"] { background:#fbe3e3; color:var(--err); }
  .state[data-state="starting"] { background:#fff3d6; color:var(--warn); }
  .det { display:inline-block; margin:0 6px 4px 0; padding:2px 8px; border-radius:4px; background:var(--quiet); font-size:12px; white-space:nowrap; }
  .det[data-trig="true"] { background:var(--trig); color:#fff; }
  .det[data-trig="unknown"] { opacity:.55; }
  .det .when { opacity:.75; margin-left:4px; }
  .num { font-variant-numeric:tabular-nums; }
  .err { color:var(--err); font-family:ui-monospace, monospace; font-size:12px; max-width:520px; word-break:break-all; }
</style>
</head>
<body>
<header>
  <h1>camdet fleet</h1>
  <span class="stat"><b id="n-cams">0</b> cameras</span>
  <span class="stat"><b id="n-trig">0</b> triggered</span>
  <span class="stat"><b id="n-err">0</b> in error</span>
  <span id="live" data-state="connecting">connecting</span>
</header>
<main>
<table>
  <thead><tr><th>Camera</th><th>State</th><th>Detectors</th><th>Reconnects</th><th>Parse failures</th><th>Last error</th></tr></thead>
  <tbody id="rows"></tbody>
</table>
</main>
<script>
"use strict";
const cams = new Map();
const order = [];
function hhmmss(iso) {
  if (!iso) return "";
  const d = new Date(iso);
  return isNaN(d) ? iso : d.toLocaleTimeString([], {hour12:false});
}
function el(tag, cls, text) {
  const e = document.createElement(tag);
  if (cls) e.className = cls;
  if (text !== undefined) e.textContent = text;
  return e;
}
function detId(cam, d) { return "det-" + cam + "-" + d.kind + (d.port === null ? "" : "-" + d.port); }
function row(c) {
  const tr = el("tr");
  tr.id = "cam-" + c.name;
  const who = el("td");
  who.append(el("div", "name", c.name), el("div", "sub", c.api + " \u00b7 " + c.address));
  const st = el("td");
  const badge = el("span", "state", c.state);
  badge.dataset.state = c.state;
  st.append(badge);
  const dets = el("td");
  for (const d of c.detectors) {
    const chip = el("span", "det");
    chip.id = detId(c.name, d);
    chip.dataset.trig = d.trig === null ? "unknown" : String(d.trig);
    chip.dataset.level = d.level === null ? "" : String(d.level);
    const label = d.kind + (d.port === null ? "" : " " + d.port);
    const value = d.trig === null ? "\u2014" : (d.trig ? "TRIGGERED " + d.level : "quiet");
    chip.append(label + " " + value);
    if (d.changed) chip.append(el("span", "when", hhmmss(d.changed)));
    chip.title = d.class + (d.changed ? ", changed " + d.changed : "") + ", " + d.changes + " changes";
    dets.append(chip);
  }
  const rec = el("td", "num", String(c.reconnects));
  const parse = el("td", "num", String(c.parseFailures));
  const err = el("td", "err", c.lastError ? hhmmss(c.lastErrorTime) + " " + c.lastError : "");
  tr.append(who, st, dets, rec, parse, err);
  return tr;
}
function put(c) {
  const tbody = document.getElementById("rows");
  const old = document.getElementById("cam-" + c.name);
  const tr = row(c);
  if (old) old.replaceWith(tr); else { tbody.append(tr); order.push(c.name); }
  cams.set(c.name, c);
}
function drop(name) {
  const old = document.getElementById("cam-" + name);
  if (old) old.remove();
  cams.delete(name);
}
function totals() {
  let trig = 0, err = 0;
  for (const c of cams.values()) {
    if (c.state === "error") err++;
    for (const d of c.detectors) if (d.trig) trig++;
  }
  document.getElementById("n-cams").textContent = cams.size;
  document.getElementById("n-trig").textContent = trig;
  document.getElementById("n-err").textContent = err;
}
function live(state, text) {
  const l = document.getElementById("live");
  l.dataset.state = state;
  l.textContent = text;
}
const es = new EventSource("events");
es.addEventListener("snapshot", ev => {
  const all = JSON.parse(ev.data);
  document.getElementById("rows").replaceChildren();
  cams.clear();
  for (const c of all.cameras) put(c);
  totals();
  live("live", "live");
});
es.addEventListener("camera", ev => { put(JSON.parse(ev.data)); totals(); });
es.addEventListener("removed", ev => { drop(ev.data); totals(); });
es.onerror = () => live("lost", "reconnecting");
</script>
</body>
</html>
)HTML";
}
