// The status page: static HTML whose script takes a snapshot and then the
// per-camera changes from /events, so it never reloads. Rows and detector
// chips carry ids ("cam-NAME", "det-NAME-KIND[-PORT]") and data-* states so
// that tools (and the browser test) can read them. Rows are in camera-name
// order (numbers in names counted as numbers); from kFailingFirstAt cameras
// on, every camera that is not "ok" comes first, where a glance finds it. The
// filter box keeps the rows whose name, key, address or state hold every word
// typed.
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
  .state[data-state="error"], .state[data-state="unreachable"], .state[data-state="unauthorized"] { background:#fbe3e3; color:var(--err); }
  .state[data-state="connecting"] { background:#fff3d6; color:var(--warn); }
  .det { display:inline-block; margin:0 6px 4px 0; padding:2px 8px; border-radius:4px; background:var(--quiet); font-size:12px; white-space:nowrap; }
  .det[data-trig="true"] { background:var(--trig); color:#fff; }
  .det[data-trig="unknown"] { opacity:.55; }
  .det .when { opacity:.75; margin-left:4px; }
  .num { font-variant-numeric:tabular-nums; }
  .err { color:var(--err); font-family:ui-monospace, monospace; font-size:12px; max-width:520px; word-break:break-all; }
  #filter { font:inherit; padding:4px 8px; border:1px solid var(--line); border-radius:4px; min-width:220px; }
  #shown:empty { display:none; }
</style>
</head>
<body>
<header>
  <h1>camdet fleet</h1>
  <span class="stat"><b id="n-cams">0</b> cameras</span>
  <span class="stat"><b id="n-trig">0</b> triggered</span>
  <span class="stat"><b id="n-err">0</b> not ok</span>
  <span class="stat" id="scope" hidden>shard <b id="shard"></b> of <b id="shards"></b>,
    <b id="n-file"></b> cameras in the file</span>
  <input id="filter" type="search" placeholder="Filter cameras" title="Words of the name, key, address or state" autocomplete="off">
  <span class="stat" id="shown"></span>
  <span id="live" data-state="connecting">connecting</span>
</header>
<main>
<table>
  <thead><tr><th>Camera</th><th>State</th><th>Detectors</th><th>Failures</th><th>Last error</th></tr></thead>
  <tbody id="rows"></tbody>
</table>
</main>
<script>
"use strict";
const kFailingFirstAt = 50;
const cams = new Map();
let sorted = [];  // names in row order
let failingFirst = false;
const names = new Intl.Collator(undefined, {numeric: true});
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
function rowOf(name) { return document.getElementById("cam-" + name); }
function detId(cam, d) { return "det-" + cam + "-" + d.kind + (d.port === null ? "" : "-" + d.port); }
function failing(c) { return c.state !== "ok"; }
function cmp(a, b) {
  if (failingFirst && failing(a) !== failing(b)) return failing(a) ? -1 : 1;
  return names.compare(a.name, b.name) || (a.name < b.name ? -1 : a.name > b.name ? 1 : 0);
}
function terms() { return document.getElementById("filter").value.toLowerCase().split(/\s+/).filter(t => t); }
function matches(c, ts) {
  const text = (c.name + " " + c.api + " " + c.address + " " + c.state).toLowerCase();
  return ts.every(t => text.includes(t));
}
function row(c) {
  const tr = el("tr");
  tr.id = "cam-" + c.name;
  tr.hidden = !matches(c, terms());
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
  const fails = el("td", "num", String(c.failures));
  const err = el("td", "err", c.lastError ? hhmmss(c.lastErrorTime) + " " + c.lastError : "");
  tr.append(who, st, dets, fails, err);
  return tr;
}
// Puts every row in its place; needed when the order itself changes.
function resort() {
  failingFirst = cams.size >= kFailingFirstAt;
  sorted = [...cams.keys()].sort((a, b) => cmp(cams.get(a), cams.get(b)));
  document.getElementById("rows").append(...sorted.map(rowOf));
}
function put(c) {
  const tbody = document.getElementById("rows");
  const old = cams.get(c.name);
  cams.set(c.name, c);
  const tr = row(c);
  if (old) rowOf(c.name).replaceWith(tr); else tbody.append(tr);
  if (failingFirst !== (cams.size >= kFailingFirstAt)) return resort();
  if (old && (!failingFirst || failing(old) === failing(c))) return;  // same place
  if (old) sorted.splice(sorted.indexOf(c.name), 1);
  let lo = 0, hi = sorted.length;
  while (lo < hi) {
    const mid = (lo + hi) >> 1;
    if (cmp(cams.get(sorted[mid]), c) < 0) lo = mid + 1; else hi = mid;
  }
  sorted.splice(lo, 0, c.name);
  tbody.insertBefore(tr, lo + 1 < sorted.length ? rowOf(sorted[lo + 1]) : null);
}
function drop(name) {
  const old = rowOf(name);
  if (old) old.remove();
  if (!cams.delete(name)) return;
  sorted.splice(sorted.indexOf(name), 1);
  if (failingFirst !== (cams.size >= kFailingFirstAt)) resort();
}
function filter() {
  const ts = terms();
  let shown = 0;
  for (const c of cams.values()) {
    const tr = rowOf(c.name);
    tr.hidden = !matches(c, ts);
    if (!tr.hidden) shown++;
  }
  document.getElementById("shown").textContent = ts.length ? shown + " shown" : "";
}
function scope(s) {
  const box = document.getElementById("scope");
  box.hidden = !s.shard;
  if (!s.shard) return;
  document.getElementById("shard").textContent = s.shard.index;
  document.getElementById("shards").textContent = s.shard.count;
  document.getElementById("n-file").textContent = s.fileCameras;
}
function totals() {
  let trig = 0, err = 0;
  for (const c of cams.values()) {
    if (failing(c) && c.state !== "connecting") err++;
    for (const d of c.detectors) if (d.trig) trig++;
  }
  document.getElementById("n-cams").textContent = cams.size;
  document.getElementById("n-trig").textContent = trig;
  document.getElementById("n-err").textContent = err;
  if (terms().length) filter();
}
function live(state, text) {
  const l = document.getElementById("live");
  l.dataset.state = state;
  l.textContent = text;
}
document.getElementById("filter").addEventListener("input", filter);
const es = new EventSource("events");
es.addEventListener("snapshot", ev => {
  const all = JSON.parse(ev.data);
  const tbody = document.getElementById("rows");
  tbody.replaceChildren();
  cams.clear();
  for (const c of all.cameras) {
    cams.set(c.name, c);
    tbody.append(row(c));
  }
  resort();
  scope(all);
  totals();
  live("live", "live");
});
es.addEventListener("scope", ev => scope(JSON.parse(ev.data)));
es.addEventListener("camera", ev => { put(JSON.parse(ev.data)); totals(); });
es.addEventListener("removed", ev => { drop(ev.data); totals(); });
es.onerror = () => live("lost", "reconnecting");
</script>
</body>
</html>
)HTML";
}
