// The extension in Chromium and Firefox, driven by the fake native host (fake-host/).
// Each test has a fresh profile, fresh loopback origins and its own host controller.
import assert from 'node:assert/strict';
import { afterEach, beforeEach, describe, test } from 'node:test';
import { setTimeout as sleep } from 'node:timers/promises';
import { allowInPopup, popupFor } from './support/browsers.mjs';
import { processAlive } from './support/fakeHostControl.mjs';
import { Fixture } from './support/fixture.mjs';
import { decodePng } from './support/png.mjs';
import { statusPicture } from './support/pixelMap.mjs';
import { writePolicy } from './support/policies.mjs';
import { waitUntil } from './support/wait.mjs';

const BROWSERS = (process.env.TARVX_BROWSERS ?? 'chromium,firefox').split(',');
const SAMPLE = '/examples/card-reader.html';
const RECORDER = '/pages/recorder.html';
// Long enough for a host to have been started and a message to have arrived, were it sent.
const QUIET_MS = 2000;

const calls = (tab) => tab.evaluate(() => window.calls);
const waitForCalls = (tab, count) => tab.waitFor((n) => window.calls.length >= n, count);
const pictureState = (tab) => tab.evaluate(() => document.querySelector('[data-tarvx-status]')?.dataset.tarvxStatus ?? null);
const waitForPicture = (tab, state) => tab.waitFor((s) => document.querySelector('[data-tarvx-status]')?.dataset.tarvxStatus === s, state);

/** Opens url on the allowed origin and allows that origin in the popup. */
async function openAllowed(f, path) {
  const url = f.allowed.url(path);
  const tab = await f.session.openTab(url);
  await allowInPopup(f.session, url);
  return tab;
}

for (const browser of BROWSERS) {
  describe(browser, () => {
    /** @type {Fixture} */
    let f;
    beforeEach(async () => { f = await Fixture.start(browser); });
    afterEach(async () => { await f?.close(); });

    test('the unchanged sample page gets device changes and cards', async () => {
      const tab = await openAllowed(f, SAMPLE);
      const host = await f.host.waitForStarts(1);
      await waitUntil(() => host.received.length > 0, 5000, 'the hello');
      assert.deepEqual(host.received, [{ type: 'hello' }]);

      f.host.plugIn();
      await tab.waitFor(() => document.getElementById('state').textContent === 'a device was plugged in');
      const cards = [2587647617, 0, 4294967295];
      for (const card of cards) f.host.presentCard(card);
      await tab.waitFor((n) => document.querySelectorAll('#cards li').length >= n, cards.length);
      f.host.unplug();
      await tab.waitFor(() => document.getElementById('state').textContent === 'a device was removed');

      const shown = await tab.evaluate(() => [...document.querySelectorAll('#cards li')].map((li) => li.textContent.split('  ')[1]));
      assert.deepEqual(shown, cards.map(String).reverse());
    });
  });
}
