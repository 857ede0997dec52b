// The bridge benchmark (make bench; inside scripts/with-wine.sh, 64-bit build):
//   node bench/bridge/bench.mjs <build-dir> [cards] [idle seconds]
// 1. Card to page: from the simulated device's write of a card report to the page's
//    CardReaded, in headless Chromium with the extension, through tarvx-host.exe; beside
//    it the floor, the same path with tarvx-bare-host.exe (one frame per device report, no
//    reader logic), measured in the same run. Both clocks are the system clock: the card
//    driver converts the device's write time, the page records performance.timeOrigin +
//    performance.now().
// 2. Host start to its first status, over several starts.
// 3. The host's idle cost: CPU time and context switches of each of its threads over the
//    idle seconds, listening to a reader that sends nothing.
import { execFile, spawn } from 'node:child_process';
import { mkdtempSync, readdirSync, readFileSync, rmSync } from 'node:fs';
import { createServer } from 'node:http';
import { once } from 'node:events';
import { tmpdir } from 'node:os';
import { join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';
import { promisify } from 'node:util';
import { allowInPopup, launch } from '../../tests/browser/support/browsers.mjs';
import { REAL_HOST_PATH, RealHost } from '../../tests/browser/support/realHostControl.mjs';
import { waitUntil } from '../../tests/browser/support/wait.mjs';

const ROOT = fileURLToPath(new URL('../..', import.meta.url));
const build = resolve(process.argv[2] ?? join(ROOT, 'build'));
const cardCount = Number(process.argv[3] ?? 500);
const idleSeconds = Number(process.argv[4] ?? 30);
const x64bin = join(build, 'x64', 'bin');
const WARM_UP = 30;
const SPACING_MS = 20;
const run = promisify(execFile);

const PAGE = `<!DOCTYPE html><meta charset="utf-8"><title>bench</title>
<script>
  window.received = new Map();
  function CardReaded(n) { received.set(n, Math.round((performance.timeOrigin + performance.now()) * 1000)); }
  function DeviceChanged() {}
</script>
<embed type="application/TarvoUsbICReader-plugin" width="60" height="40">`;

async function servePage() {
  const server = createServer((_, response) => response.writeHead(200, { 'content-type': 'text/html' }).end(PAGE));
  server.listen(0, '127.0.0.1');
  await once(server, 'listening');
  const { port } = server.address();
  return { port, url: `http://127.0.0.1:${port}/bench.html`, close: () => server.close() };
}

/** Presents `count` cards numbered from `first`; the device's write times, by number. */
async function presentCards(host, first, count) {
  const { stdout } = await run(
    join(ROOT, 'scripts/wine64-exec.sh'),
    [join(x64bin, 'bridge_card_driver.exe'), String(host.device), String(count), String(SPACING_MS), String(first)],
    { env: { ...process.env, SIMREADER_SHARED: host.session }, timeout: 600000, maxBuffer: 1 << 24 },
  );
  const written = new Map();
  for (const line of stdout.split(/\r?\n/)) {
    const m = /^card (\d+) (\d+)$/.exec(line);
    if (m) written.set(Number(m[1]), Number(m[2]));
  }
  return written;
}

function percentile(sorted, share) {
  return sorted[Math.min(sorted.length - 1, Math.floor(share * sorted.length))];
}

/** Card-to-page latencies in microseconds through the given host program. */
async function cardToPage(hostExe) {
  const dir = mkdtempSync(join(tmpdir(), 'tarvx-bench-'));
  const host = await RealHost.start(dir, build);
  const page = await servePage();
  let session;
  try {
    await host.plugIn();
    session = await launch('chromium', {
      env: { ...host.env, TARVX_REAL_HOST_EXE: join(x64bin, hostExe) },
      hostPath: REAL_HOST_PATH,
      publicPorts: [page.port],
    });
    const tab = await session.openTab(page.url);
    await allowInPopup(session, page.url);
    // Warm-up cards: the host is up and listening once the first arrives.
    await waitUntil(
      async () => {
        await presentCards(host, 1, 1);
        return tab.evaluate(() => window.received.size > 0);
      },
      30000,
      'a first card through the host',
    );
    const warm = await presentCards(host, 2, WARM_UP - 1);
    await tab
      .waitFor((n) => window.received.size >= n, WARM_UP, 30000)
      .catch(async (e) => {
        const got = await tab.evaluate(() => [...window.received.keys()]);
        throw new Error(
          `${hostExe}: ${warm.size} warm-up cards written, page got ${JSON.stringify(got)}: ${e.message}`,
        );
      });
    const first = WARM_UP + 1;
    const written = await presentCards(host, first, cardCount);
    const last = first + cardCount - 1;
    await tab.waitFor((n) => window.received.has(n), last, 30000).catch(() => {});
    const received = new Map(await tab.evaluate(() => [...window.received]));
    const latencies = [];
    let missing = 0;
    for (const [number, at] of written) {
      if (!received.has(number)) missing += 1;
      else latencies.push(received.get(number) - at);
    }
    latencies.sort((a, b) => a - b);
    return { latencies, missing, warmUp: warm.size + 1 };
  } finally {
    await session?.close();
    await host.close();
    page.close();
    rmSync(dir, { recursive: true, force: true });
  }
}

/** Reads frames from a host's standard output; resolves with the first status. */
function firstStatus(child) {
  return new Promise((resolveStatus, reject) => {
    let buffer = Buffer.alloc(0);
    child.stdout.on('data', (chunk) => {
      buffer = Buffer.concat([buffer, chunk]);
      while (buffer.length >= 4 && buffer.length >= 4 + buffer.readUInt32LE(0)) {
        const length = buffer.readUInt32LE(0);
        const message = JSON.parse(buffer.subarray(4, 4 + length).toString('utf8'));
        buffer = buffer.subarray(4 + length);
        if (message.type === 'status') resolveStatus(message);
      }
    });
    child.on('exit', (code) => reject(new Error(`host ended (${code}) before a status`)));
  });
}

function startHost(host) {
  return spawn(REAL_HOST_PATH, ['chrome-extension://bench/'], {
    env: { ...process.env, ...host.env },
    stdio: ['pipe', 'pipe', 'ignore'],
  });
}

/** CPU ticks and context switches of each thread of a Linux process. */
function threadCounters(pid) {
  const threads = new Map();
  for (const tid of readdirSync(`/proc/${pid}/task`)) {
    const base = `/proc/${pid}/task/${tid}`;
    const stat = readFileSync(`${base}/stat`, 'utf8');
    const fields = stat.slice(stat.lastIndexOf(')') + 2).split(' ');
    const status = readFileSync(`${base}/status`, 'utf8');
    const count = (key) => Number(new RegExp(`${key}:\\s+(\\d+)`).exec(status)[1]);
    threads.set(tid, {
      name: /Name:\s+(.*)/.exec(status)[1],
      ticks: Number(fields[11]) + Number(fields[12]),
      switches: count('voluntary_ctxt_switches') + count('nonvoluntary_ctxt_switches'),
    });
  }
  return threads;
}

async function hostStartAndIdle() {
  const dir = mkdtempSync(join(tmpdir(), 'tarvx-bench-'));
  const host = await RealHost.start(dir, build);
  try {
    await host.plugIn();
    const starts = [];
    for (let i = 0; i < 5; i += 1) {
      const begun = process.hrtime.bigint();
      const child = startHost(host);
      const status = await firstStatus(child);
      starts.push({ ms: Number(process.hrtime.bigint() - begun) / 1e6, listening: status.listening });
      if (i < 4) {
        child.stdin.end();
        await once(child, 'exit');
        continue;
      }
      await new Promise((r) => setTimeout(r, 1000));
      const before = threadCounters(child.pid);
      await new Promise((r) => setTimeout(r, idleSeconds * 1000));
      const after = threadCounters(child.pid);
      child.stdin.end();
      await once(child, 'exit');
      return { starts, before, after };
    }
  } finally {
    await host.close();
    rmSync(dir, { recursive: true, force: true });
  }
}

function describe(name, { latencies, missing, warmUp }) {
  const ms = (us) => (us / 1000).toFixed(2);
  console.log(
    `${name}: ${latencies.length} cards (after ${warmUp} warm-up), missing ${missing}; ` +
      `p50 ${ms(percentile(latencies, 0.5))} ms, p90 ${ms(percentile(latencies, 0.9))} ms, ` +
      `p99 ${ms(percentile(latencies, 0.99))} ms, max ${ms(latencies.at(-1))} ms`,
  );
}

const floor = await cardToPage('tarvx-bare-host.exe');
const bridge = await cardToPage('tarvx-host.exe');
console.log(`== Card to page in headless Chromium (device write to CardReaded), ${SPACING_MS} ms apart`);
describe('floor (bare host)', floor);
describe('bridge (tarvx-host)', bridge);
console.log(
  `p99 ratio bridge/floor: ${(percentile(bridge.latencies, 0.99) / percentile(floor.latencies, 0.99)).toFixed(2)} ` +
    '(target at most 1.5)',
);

const { starts, before, after } = await hostStartAndIdle();
console.log('== Host start to its first status (wineserver running)');
console.log(starts.map((s) => `${s.ms.toFixed(0)} ms${s.listening ? '' : ' (not listening)'}`).join(', '));
console.log(`== Host idle for ${idleSeconds} s, listening to a reader that sends nothing`);
let wakeUps = 0;
for (const [tid, end] of after) {
  const start = before.get(tid) ?? { ticks: 0, switches: 0 };
  const switches = end.switches - start.switches;
  wakeUps += switches;
  console.log(
    `thread ${tid} ${end.name.padEnd(16)} CPU ${((end.ticks - start.ticks) / 100).toFixed(2)} s, ` +
      `context switches ${switches}`,
  );
}
console.log(`context switches in all: ${wakeUps} (target: none)`);
