// Our extension under another id, as a store gives it one (the Chrome Web Store and Edge
// Add-ons sign the package with their own key): Chromium starts the real host for it only
// when the host manifest the project writes for its identities (extension/names.mjs) lists
// that id. The second id comes from a key made for the test, standing in for a store's.
import assert from 'node:assert/strict';
import { generateKeyPairSync } from 'node:crypto';
import { cpSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { describe, test } from 'node:test';
import { setTimeout as sleep } from 'node:timers/promises';
import { chromiumIdOf } from '../../extension/names.mjs';
import { BUILD_DIR, IDS, allowInPopup, waitForHostRunning } from './support/browsers.mjs';
import { Fixture } from './support/fixture.mjs';
import { realHostUnavailable } from './support/realHostControl.mjs';

const BROWSERS = (process.env.TARVX_BROWSERS ?? 'chromium,firefox').split(',');
const RECORDER = '/pages/recorder.html';
// Long enough for a host to have been started and a message to have arrived, were it sent.
const QUIET_MS = 3000;

const unavailable = realHostUnavailable() ?? (BROWSERS.includes('chromium') ? null : 'Chromium is not asked for');

/** The built Chromium extension with a key of its own: the same files under another id. */
function extensionUnderAnotherId(dir) {
  const { publicKey } = generateKeyPairSync('rsa', { modulusLength: 2048 });
  const key = publicKey.export({ type: 'spki', format: 'der' }).toString('base64');
  const copy = join(dir, 'extension');
  cpSync(join(BUILD_DIR, 'extension', 'chromium'), copy, { recursive: true });
  const manifest = JSON.parse(readFileSync(join(copy, 'manifest.json'), 'utf8'));
  manifest.key = key;
  writeFileSync(join(copy, 'manifest.json'), JSON.stringify(manifest, null, 2));
  return { dir: copy, id: chromiumIdOf(key) };
}

describe("Chromium with the real host: our extension under a store's id", { skip: unavailable ?? false }, () => {
  const cases = [
    { why: 'listed as the Chrome Web Store id', listed: true },
    { why: 'listed as the Edge Add-ons id', listed: true, store: 'edgeAddOns' },
    { why: 'not listed', listed: false },
  ];
  for (const c of cases) {
    test(`${c.why}: the host is ${c.listed ? 'started and the page gets the reader' : 'never started'}`, async () => {
      const dir = mkdtempSync(join(tmpdir(), 'tarvx-identity-'));
      const extension = extensionUnderAnotherId(dir);
      assert.notEqual(extension.id, IDS.chromium);
      const hostIds = c.listed ? { ...IDS, [c.store ?? 'chromeWebStore']: extension.id } : IDS;
      const f = await Fixture.start('chromium', {
        host: 'real',
        launchOptions: { chromiumExtension: extension, hostIds },
      });
      try {
        const url = f.allowed.url(RECORDER);
        const tab = await f.session.openTab(url);
        await allowInPopup(f.session, url);
        if (c.listed) {
          await waitForHostRunning(f.session, url);
          await f.host.plugIn();
          await tab.waitFor(() => window.calls.length >= 1);
          assert.deepEqual(await tab.evaluate(() => window.calls), [['DeviceChanged', 1]]);
          await f.host.unplug();
        } else {
          // The page was accepted (the extension runs), but the browser refuses the host.
          await tab.waitFor(() => document.querySelector('[data-tarvx-picture]') !== null);
          await sleep(QUIET_MS);
          assert.equal(f.host.instances.length, 0, 'no host started for an id the manifest does not list');
          await f.host.plugIn();
          await sleep(1000);
          assert.deepEqual(await tab.evaluate(() => window.calls), []);
          await f.host.unplug();
        }
      } finally {
        await f.close();
        rmSync(dir, { recursive: true, force: true });
      }
    });
  }
});
