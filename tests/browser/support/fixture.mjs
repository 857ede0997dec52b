// One test's world: two loopback origins (the one tests allow, and another on a different
// port), the host the browser will start, and a browser with a fresh profile.
//
// The host is pluggable: TARVX_TEST_HOST names another executable or wrapper for the host
// manifests; the controller must offer what FakeHost offers to the reader cases
// (waitForStarts, plugIn, presentCard, unplug, kill, instances). { host: 'real' } runs the
// real host under Wine with the shared simulated reader (realHostControl.mjs).
import { mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { launch } from './browsers.mjs';
import { BUILD_DIR } from './browsers.mjs';
import { FakeHost } from './fakeHostControl.mjs';
import { REAL_HOST_PATH, RealHost } from './realHostControl.mjs';
import { startServer } from './server.mjs';

export class Fixture {
  /**
   * @param {'chromium' | 'firefox'} browser
   * @param {{host?: 'fake' | 'real', launchOptions?: object}} options
   *   launchOptions: more for launch() (browsers.mjs), such as another extension
   */
  static async start(browser, { host = 'fake', launchOptions = {} } = {}) {
    const f = new Fixture();
    f.dir = mkdtempSync(join(tmpdir(), 'tarvx-test-'));
    f.hostPath = host === 'real' ? REAL_HOST_PATH : process.env.TARVX_TEST_HOST;
    f.host = host === 'real' ? await RealHost.start(f.dir, BUILD_DIR) : await FakeHost.start(f.dir);
    f.allowed = await startServer();
    f.other = await startServer();
    f.session = await launch(browser, {
      env: f.host.env,
      hostPath: f.hostPath,
      publicPorts: [f.allowed.port, f.other.port],
      ...launchOptions,
    });
    return f;
  }

  async close() {
    await this.session?.close();
    await this.host?.close();
    this.allowed?.close();
    this.other?.close();
    rmSync(this.dir, { recursive: true, force: true });
  }
}
