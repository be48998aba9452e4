// SPDX-License-Identifier: GPL-3.0-or-later
// The meter, live: one WebSocket brings the state at most ten times a second.
"use strict";

const $ = (id) => document.getElementById(id);
const HistoryMs = 5 * 60 * 1000;
const StepMs = 500;
let points = [];   // [ms, power, swr]
let last = null;   // the latest state

function clamp01(x) { return Math.max(0, Math.min(1, x)); }

function badge(el, text, bad) {
  el.textContent = text;
  el.classList.toggle("bad", bad);
}

function show(s) {
  last = s;
  badge($("meter-state"), s.meter, s.meter !== "reading");
  badge($("host-state"), s.hostLinked ? "host linked" : "no host", !s.hostLinked);
  const p = $("protection");
  p.hidden = !s.protection.latched;
  p.textContent = s.protection.latched ? "SWR protection: " + s.protection.reason : "";

  $("power").textContent = s.powerText || "\u2013";
  $("swr").textContent = s.swrText || "\u2013";
  $("peak-mode").textContent = s.received ? (s.peakPower ? "(peak)" : "(normal)") : "";
  const full = s.fullScale || 0;
  $("range").textContent = full ? full + " W" : "";
  $("power-bar").style.width = full ? clamp01(s.power / full) * 100 + "%" : "0";
  $("power-peak").style.left = full ? clamp01(s.powerPeak / full) * 100 + "%" : "0";
  const swrPos = (x) => clamp01((x - 1) / 2) * 100 + "%";
  $("swr-bar").style.width = s.received ? swrPos(s.swr) : "0";
  $("swr-peak").style.left = s.received ? swrPos(s.swrPeak) : "0";
  $("swr-bar").classList.toggle("alarm", s.alarmShown);
  $("alarm-setting").textContent = s.alarmSetting;
  for (const k of ["impedance", "phase", "resistance", "reactance"])
    $(k).textContent = s.received ? s[k] : "";
  showButtons(s.commands);

  if (s.received) {
    const end = points.length ? points[points.length - 1] : null;
    if (end && s.time - end[0] < StepMs)
      points[points.length - 1] = [end[0], s.power, s.swr];
    else
      points.push([s.time, s.power, s.swr]);
  }
  draw();
}

function showButtons(on) {
  const box = $("buttons");
  box.hidden = !on;
  if (!on) {
    box.replaceChildren();
    return;
  }
  if (box.childElementCount)
    return;
  for (const [id, text, command] of [["alarm-button", "Alarm", "alarm"],
                                     ["peak-button", "Fast/Slow", "peak"]]) {
    const b = document.createElement("button");
    b.id = id;
    b.textContent = text;
    b.addEventListener("click", () => fetch("/api/command/" + command, { method: "POST" }));
    box.append(b);
  }
}

// The last five minutes: power on the left scale (the range's full scale),
// SWR on the right (1 to 3), minutes ago along the bottom.
function draw() {
  const c = $("chart");
  const scale = window.devicePixelRatio || 1;
  const w = Math.round(c.clientWidth * scale), h = Math.round(c.clientHeight * scale);
  if (c.width !== w || c.height !== h) { c.width = w; c.height = h; }
  const g = c.getContext("2d");
  g.clearRect(0, 0, w, h);
  const style = getComputedStyle(document.documentElement);
  const colour = (name) => style.getPropertyValue(name);
  const now = last ? last.time : Date.now();
  points = points.filter((p) => now - p[0] <= HistoryMs);
  const full = (last && last.fullScale) || Math.max(1, ...points.map((p) => p[1]));

  const font = 11 * scale;
  g.font = font + "px system-ui, sans-serif";
  const left = g.measureText("2500 W").width + 6 * scale;
  const right = g.measureText("3.0").width + 6 * scale;
  const top = font / 2 + 2 * scale, bottom = font + 6 * scale;
  const pw = w - left - right, ph = h - top - bottom;
  const xOf = (ms) => left + pw - ((now - ms) / HistoryMs) * pw;
  const yOf = (f) => top + ph - clamp01(f) * ph;

  g.lineWidth = 1;
  g.strokeStyle = colour("--track");
  g.textBaseline = "middle";
  for (const f of [0, 0.5, 1]) {
    g.beginPath(); g.moveTo(left, yOf(f)); g.lineTo(left + pw, yOf(f)); g.stroke();
    g.fillStyle = colour("--power");
    g.textAlign = "right";
    g.fillText(+(f * full).toFixed(1) + " W", left - 3 * scale, yOf(f));
    g.fillStyle = colour("--swr");
    g.textAlign = "left";
    g.fillText((1 + 2 * f).toFixed(1), left + pw + 3 * scale, yOf(f));
  }
  g.fillStyle = colour("--muted");
  g.textBaseline = "top";
  for (let m = 0; m <= 5; ++m) {
    const x = xOf(now - m * 60000);
    g.beginPath(); g.moveTo(x, top); g.lineTo(x, top + ph); g.stroke();
    g.textAlign = m === 5 ? "left" : m === 0 ? "right" : "center";
    g.fillText(m === 5 ? "5 min ago" : m === 0 ? "now" : String(m), x, top + ph + 3 * scale);
  }

  const line = (name, f) => {
    g.strokeStyle = colour(name);
    g.lineWidth = 2 * scale;
    g.beginPath();
    points.forEach((p, i) => {
      if (i) g.lineTo(xOf(p[0]), yOf(f(p))); else g.moveTo(xOf(p[0]), yOf(f(p)));
    });
    g.stroke();
  };
  line("--power", (p) => p[1] / full);
  line("--swr", (p) => (p[2] - 1) / 2);
}

function connect() {
  const ws = new WebSocket((location.protocol === "https:" ? "wss://" : "ws://") + location.host + "/ws");
  ws.onmessage = (e) => {
    const m = JSON.parse(e.data);
    if (m.history) {
      points = m.history;
      draw();
    } else {
      show(m);
    }
  };
  ws.onclose = () => {
    badge($("meter-state"), "no connection to Vossbridge", true);
    setTimeout(connect, 2000);
  };
}

window.addEventListener("resize", draw);
connect();
