// Clients of sbf-web for bench/web-load.sh, on the loopback address only:
//   node bench/web-clients.mjs --url http://127.0.0.1:PORT --clients N --seconds S
//        [--start PATH] [--stalled N] [--pid PID] [--sigterm-after S]
// Each client clicks as a person does: from the first screen (--start, default /api/screen;
// its parameters travel in every link) it follows a random link that
// picks or unpicks a value (the "toggle" links of /api/screen), five clicks, then starts
// over; every answer must be a whole JSON screen. --stalled opens N more connections that
// send a request head a byte every 300 ms and never finish it (the server answers 408 after
// its head time; each then starts again). --pid samples that process's resident memory every
// second. --sigterm-after sends it SIGTERM then (the drain): from then on a request that gets
// no answer is counted as refused, one that gets a broken or empty body as broken.
// Prints one JSON object: requests, per second, p50/p90/p99 in ms, errors by kind, memory.
import net from 'node:net';
import { readFileSync } from 'node:fs';

const args = Object.fromEntries(
  process.argv.slice(2).reduce((pairs, word, i, all) => (word.startsWith('--') ? [...pairs, [word.slice(2), all[i + 1]]] : pairs), []),
);
const base = args.url;
const clients = Number(args.clients || 8);
const seconds = Number(args.seconds || 10);
const stalledCount = Number(args.stalled || 0);
const pid = args.pid ? Number(args.pid) : null;
const start = args.start || '/api/screen';
const sigtermAfter = args['sigterm-after'] ? Number(args['sigterm-after']) : null;
if (!base || !/^http:\/\/(127\.\d+\.\d+\.\d+|localhost|\[::1\]):\d+$/.test(base)) {
  console.error('usage: node bench/web-clients.mjs --url http://127.0.0.1:PORT [...] (the loopback address only)');
  process.exit(64);
}

const latencies = [];
const errors = { status: 0, broken: 0, refused: 0, other: 0 };
let stopped = false;
let terminated = false;

// One request: its time in ms and the screen, or an error kind.
async function get(path) {
  const started = performance.now();
  let response;
  try {
    response = await fetch(base + path, { signal: AbortSignal.timeout(30000) });
  } catch (e) {
    errors[terminated ? 'refused' : 'other'] += 1;
    if (!terminated) console.error(`no answer: ${e.cause ? e.cause.code || e.cause.message : e.message}`);
    return null;
  }
  let body;
  try {
    body = await response.text();
  } catch {
    errors.broken += 1;  // the answer began and did not end
    return null;
  }
  if (response.status !== 200) {
    errors.status += 1;
    console.error(`status ${response.status}: ${path.slice(0, 160)}: ${body.slice(0, 200)}`);
    return null;
  }
  try {
    const screen = JSON.parse(body);
    if (typeof screen.count !== 'number' || !Array.isArray(screen.rows)) throw new Error('not a screen');
    latencies.push(performance.now() - started);
    return screen;
  } catch {
    errors.broken += 1;
    return null;
  }
}

async function clicker() {
  while (!stopped) {
    let screen = await get(start);
    for (let click = 0; click < 5 && screen && !stopped; click += 1) {
      const links = [];
      for (const row of screen.rows) for (const value of row.values || []) if (value.toggle) links.push(value.toggle);
      for (const heading of screen.headings) links.push(heading.api);
      if (links.length === 0) break;
      screen = await get(links[Math.floor(Math.random() * links.length)]);
    }
  }
}

// A connection that sends a head a byte at a time and never ends it; one the server closes
// (408) is opened again until the run is over. All that are open are closed at its end.
const openStallers = new Set();
function staller(port) {
  const head = 'GET /?cat=Engine&lang=1 HTTP/1.1\r\nHost: 127.0.0.1\r\nUser-Agent: stalled\r\n';
  let at = 0;
  const socket = net.connect(port, '127.0.0.1');
  openStallers.add(socket);
  const timer = setInterval(() => {
    if (stopped) return;
    socket.write(head[at % head.length]);
    at += 1;
  }, 300);
  socket.on('data', () => {});
  socket.on('error', () => {});
  socket.on('close', () => {
    clearInterval(timer);
    openStallers.delete(socket);
    if (!stopped && !terminated) staller(port);
  });
  return socket;
}

function residentKb() {
  try {
    const status = readFileSync(`/proc/${pid}/status`, 'utf8');
    return Number(status.match(/VmRSS:\s+(\d+)/)[1]);
  } catch {
    return null;
  }
}

async function main() {
  const port = Number(new URL(base).port);
  for (let i = 0; i < stalledCount; i += 1) staller(port);
  if (stalledCount) await new Promise((r) => setTimeout(r, 2000));  // all of them waiting
  const memory = [];
  const sampler = pid ? setInterval(() => memory.push(residentKb()), 1000) : null;
  if (pid) memory.push(residentKb());
  if (sigtermAfter !== null)
    setTimeout(() => {
      terminated = true;
      process.kill(pid, 'SIGTERM');
    }, sigtermAfter * 1000);
  const started = performance.now();
  const running = Array.from({ length: clients }, () => clicker());
  await new Promise((r) => setTimeout(r, seconds * 1000));
  stopped = true;
  await Promise.all(running);
  const elapsed = (performance.now() - started) / 1000;
  if (sampler) clearInterval(sampler);
  for (const s of openStallers) s.destroy();
  latencies.sort((a, b) => a - b);
  const at = (q) => (latencies.length ? Number(latencies[Math.min(latencies.length - 1, Math.floor(q * latencies.length))].toFixed(1)) : null);
  const kb = memory.filter((m) => m !== null);
  console.log(JSON.stringify({
    clients, stalled: stalledCount, seconds: Number(elapsed.toFixed(1)), requests: latencies.length,
    perSecond: Number((latencies.length / elapsed).toFixed(1)), p50ms: at(0.5), p90ms: at(0.9), p99ms: at(0.99),
    errors, rssMb: kb.length ? { first: Math.round(kb[0] / 1024), min: Math.round(Math.min(...kb) / 1024),
      max: Math.round(Math.max(...kb) / 1024), last: Math.round(kb[kb.length - 1] / 1024) } : null,
  }));
}

main().catch((e) => {
  console.error(e);
  process.exit(1);
});
