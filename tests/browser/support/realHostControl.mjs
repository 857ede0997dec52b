// The test's end of the real host (real-host/tarvx-host.sh: the 64-bit tarvx-host.exe under
// 64-bit Wine) and of the shared simulated reader it reads (simreader-ctl through
// scripts/simreader.sh). It offers FakeHost's reader operations, asynchronous here since
// each is a simreader-ctl run: plugIn, presentCard, unplug, kill, waitForStarts, current,
// instances; and the simulator's own: sendReport (any bytes), openHandles.
// Needs the 64-bit build (<build>/x64) and its prefix's wineserver running, as
// scripts/with-wine.sh provides (TARVX_WINEPREFIX64).
import { execFile } from 'node:child_process';
import { existsSync, readFileSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { promisify } from 'node:util';
import { processAlive } from './fakeHostControl.mjs';
import { waitUntil } from './wait.mjs';

const ROOT = fileURLToPath(new URL('../../..', import.meta.url));
export const REAL_HOST_PATH = join(ROOT, 'tests/browser/real-host/tarvx-host.sh');
const SIMREADER = join(ROOT, 'scripts/simreader.sh');
const run = promisify(execFile);

// Card 5555 as the reader sends it (shift 3), and the same report with one bit of its
// check value flipped: the only difference between the two.
export const CARD_5555_REPORT = '000102008D10F853C3C7C7C77E6142C203';
export const CARD_5555_BROKEN_CHECK_REPORT = '000102008D10F853C3C7C7C7766142C203';

/** Why the real host cannot run on this machine at all, or null when it can. */
export function realHostUnavailable() {
  const loader = process.env.TARVX_WINE64_LOADER || '/usr/lib/wine/wine64';
  return existsSync(loader) ? null : `64-bit Wine (${loader}) is not installed`;
}

export class RealHost {
  /**
   * Starts the simulator's server for a session of its own.
   * @param {string} dir a private temporary folder for the record of starts
   * @param {string} buildDir the 32-bit build directory; the host comes from its x64 tree
   */
  static async start(dir, buildDir) {
    const host = new RealHost(dir, join(buildDir, 'x64'));
    if (!existsSync(host.env.TARVX_REAL_HOST_EXE)) {
      throw new Error(`${host.env.TARVX_REAL_HOST_EXE} is not built (scripts/build.sh builds it)`);
    }
    if (!process.env.TARVX_WINEPREFIX64) {
      throw new Error('TARVX_WINEPREFIX64 is not set: run inside scripts/with-wine.sh (scripts/browser-tests.sh does)');
    }
    writeFileSync(host.logPath, '');
    // A server left by an earlier table of this run is stopped first.
    await host.ctl('stop').catch(() => {});
    await host.ctl('start');
    return host;
  }

  constructor(dir, x64) {
    this.dir = dir;
    this.x64 = x64;
    // One name, so that the server's log (<build>/x64/simreader-browser-tests.log) is one file.
    this.session = 'browser-tests';
    this.startsSeen = 0; // starts recorded before the current case
    this.device = null; // the simulator's id of the plugged reader
    this.logPath = join(x64, 'tarvx-host-browser-tests.log'); // every host's standard error
  }

  /** What the browser's environment needs for the wrapper to start the host in the session. */
  get env() {
    return {
      TARVX_REAL_HOST_EXE: join(this.x64, 'bin', 'tarvx-host.exe'),
      TARVX_REAL_HOST_DIR: this.dir,
      TARVX_REAL_HOST_LOG: this.logPath,
      SIMREADER_SHARED: this.session,
    };
  }

  get log() {
    return existsSync(this.logPath) ? readFileSync(this.logPath, 'utf8') : '';
  }

  /** Every host started since the case began, in order: {pid, closed}. */
  get instances() {
    const path = join(this.dir, 'starts');
    const pids = existsSync(path) ? readFileSync(path, 'utf8').split('\n').filter(Boolean).map(Number) : [];
    return pids.slice(this.startsSeen).map((pid) => ({
      pid,
      get closed() {
        return !processAlive(pid);
      },
    }));
  }

  /** The host now running, if any. */
  get current() {
    const last = this.instances.at(-1);
    return last && !last.closed ? last : null;
  }

  /** Starts count from here on: for cases that share one browser. */
  beginCase() {
    const path = join(this.dir, 'starts');
    this.startsSeen = existsSync(path) ? readFileSync(path, 'utf8').split('\n').filter(Boolean).length : 0;
  }

  async waitForStarts(count, timeout = 15000) {
    await waitUntil(() => this.instances.length >= count && this.current, timeout, `${count} host start(s)`);
    return this.current;
  }

  async ctl(...args) {
    try {
      const { stdout } = await run('bash', [SIMREADER, this.x64, ...args.map(String)], {
        env: { ...process.env, SIMREADER_SHARED: this.session },
        timeout: 30000,
      });
      return stdout.trim();
    } catch (error) {
      throw new Error(`simreader ${args.join(' ')}: ${error.stderr?.trim() || error.message}`);
    }
  }

  async plugIn() {
    this.device = Number(await this.ctl('plug'));
  }

  async presentCard(number) {
    await this.ctl('card', this.device, number);
  }

  /** Any bytes as one input report. */
  async sendReport(hex) {
    await this.ctl('raw', this.device, hex);
  }

  async unplug() {
    const id = this.device;
    this.device = null;
    await this.ctl('unplug', id);
  }

  /** Handles open on the plugged reader now, in all processes of the session. */
  async openHandles() {
    return Number(await this.ctl('handles', this.device));
  }

  /** Waits until exactly count handles are open on the reader. */
  async waitForOpenHandles(count, timeout = 10000) {
    await this.ctl('wait-handles', this.device, count, timeout);
  }

  /** Kills the running host as a crash would (the wrapper's process is the Wine process). */
  kill() {
    process.kill(this.current.pid, 'SIGKILL');
  }

  /** Unplugs what a case left plugged in. */
  async reset() {
    if (this.device !== null) await this.unplug();
  }

  async close() {
    this.startsSeen = 0;
    for (const { pid, closed } of this.instances) if (!closed) process.kill(pid, 'SIGKILL');
    await this.ctl('stop').catch(() => {});
  }
}
