// The reader cases against the real host: the 64-bit tarvx-host.exe under Wine, reading
// the shared simulated reader, started by the browser through real-host/tarvx-host.sh.
// One browser per browser kind for the whole table (a Wine host start costs little, a
// browser start does): each case opens its tabs, closes them at the end and waits for
// the host to exit, so the next case starts a host of its own. The closing case is last.
import assert from 'node:assert/strict';
import { after, afterEach, before, beforeEach, describe, test } from 'node:test';
import { setTimeout as sleep } from 'node:timers/promises';
import { allowInPopup, waitForHostRunning } from './support/browsers.mjs';
import { processAlive } from './support/fakeHostControl.mjs';
import { Fixture } from './support/fixture.mjs';
import { recordCalls } from './support/pageCalls.mjs';
import { waitForPageStatus } from './support/pageState.mjs';
import {
  CARD_5555_BROKEN_CHECK_REPORT as CARD_5555_BROKEN_CHECK,
  CARD_5555_REPORT as CARD_5555,
  realHostUnavailable,
} from './support/realHostControl.mjs';
import { waitUntil } from './support/wait.mjs';

const BROWSERS = (process.env.TARVX_BROWSERS ?? 'chromium,firefox').split(',');
const SAMPLE = '/examples/card-reader.html';
const RECORDER = '/pages/recorder.html';

const calls = (tab) => tab.evaluate(() => window.calls);
const waitForCalls = (tab, count) => tab.waitFor((n) => window.calls.length >= n, count);
const waitForPicture = (tab, state) =>
  tab.waitFor((s) => document.querySelector('[data-tarvx-picture]')?.dataset.tarvxPicture === s, state);

const unavailable = realHostUnavailable();

for (const browser of BROWSERS) {
  describe(`${browser} with the real host`, { skip: unavailable ?? false }, () => {
    /** @type {Fixture} */
    let f;
    let tabs = [];
    // Opens the page and waits until the extension has the host's hello: by then the host
    // has registered its window for device notifications with the simulator, so a reader
    // plugged in from now on is announced to the page. (One plugged in earlier is found
    // when the host starts, with no announcement, as with the plug-in.)
    const open = async (path) => {
      const url = f.allowed.url(path);
      const tab = await f.session.openTab(url);
      tabs.push(tab);
      await waitForHostRunning(f.session, url);
      return tab;
    };

    // The host says it listens once its listen thread runs; the thread opens the reader a
    // moment later, and a card shown before that is lost, as with a real reader. Cards are
    // shown once the reader has the host's one handle open.
    const listening = async (tab) => {
      await waitForPicture(tab, 'listening');
      await f.host.waitForOpenHandles(1);
    };

    before(async () => {
      f = await Fixture.start(browser, { host: 'real' });
      const plain = await f.session.openTab(f.allowed.url('/pages/plain.html'));
      await allowInPopup(f.session, f.allowed.url('/pages/plain.html'));
      await plain.close();
    });
    after(async () => {
      await f?.close();
    });
    beforeEach(() => {
      f.host.beginCase();
    });
    afterEach(async () => {
      for (const tab of tabs) await tab.close().catch(() => {});
      tabs = [];
      await waitUntil(() => f.host.current === null, 10000, 'the host to exit once no page wants it').catch((error) => {
        throw new Error(`${error.message}\nhost log:\n${f.host.log}`);
      });
      await f.host.reset();
    });

    test('the unchanged sample page gets device changes and cards', async () => {
      const tab = await open(SAMPLE);
      await f.host.waitForStarts(1);
      await waitForPicture(tab, 'idle');
      await recordCalls(tab);

      await f.host.plugIn();
      await tab.waitFor(() => document.getElementById('state').textContent === 'a device was plugged in');
      await listening(tab);
      const cards = [2587647617, 0, 4294967295];
      for (const card of cards) await f.host.presentCard(card);
      await tab.waitFor((n) => document.querySelectorAll('#cards li').length >= n, cards.length);
      await f.host.unplug();
      await tab.waitFor(() => document.getElementById('state').textContent === 'a device was removed');

      const shown = await tab.evaluate(() =>
        [...document.querySelectorAll('#cards li')].map((li) => li.textContent.split('  ')[1]),
      );
      assert.deepEqual(shown, cards.map(String).reverse());
      assert.deepEqual(await calls(tab), [
        ['DeviceChanged', 1],
        ...cards.map((card) => ['CardReaded', card]),
        ['DeviceChanged', 0],
      ]);
    });

    test('a report with a broken check value gives nothing', async () => {
      const tab = await open(RECORDER);
      await waitForPicture(tab, 'idle');
      await f.host.plugIn();
      await listening(tab);
      await f.host.sendReport(CARD_5555_BROKEN_CHECK);
      await f.host.sendReport(CARD_5555);
      await waitForCalls(tab, 2);
      await sleep(300);
      assert.deepEqual(await calls(tab), [
        ['DeviceChanged', 1],
        ['CardReaded', 5555],
      ]);
    });

    test('the picture and the page status follow the reader', async () => {
      const tab = await open(RECORDER);
      const both = async (picture, status) => {
        await waitForPicture(tab, picture);
        await waitForPageStatus(tab, status);
      };
      await both('idle', 'no-reader');
      await f.host.plugIn();
      await both('listening', 'listening');
      await f.host.unplug();
      await both('idle', 'no-reader');
      await f.host.plugIn();
      await both('listening', 'listening');
      assert.deepEqual(await calls(tab), [
        ['DeviceChanged', 1],
        ['DeviceChanged', 0],
        ['DeviceChanged', 1],
      ]);
    });

    test('a killed host is started again and no card arrives twice', async () => {
      const tab = await open(RECORDER);
      await f.host.waitForStarts(1);
      await waitForPicture(tab, 'idle');
      await f.host.plugIn();
      await listening(tab);
      await f.host.presentCard(11);
      await waitForCalls(tab, 2);

      f.host.kill();
      await waitForPicture(tab, 'idle');
      await f.host.waitForStarts(2);
      // The new host finds the reader plugged in and listens at once; the killed one's
      // handle is gone.
      await listening(tab);
      await f.host.presentCard(12);
      await waitForCalls(tab, 3);
      await sleep(500);
      assert.deepEqual(await calls(tab), [
        ['DeviceChanged', 1],
        ['CardReaded', 11],
        ['CardReaded', 12],
      ]);
      assert.equal(f.host.instances.length, 2);
    });

    // Last: it ends the browser the table shares.
    test('closing the browser ends the host and closes its handles on the reader', async () => {
      await f.host.plugIn();
      const tab = await open(RECORDER);
      const host = await f.host.waitForStarts(1);
      await listening(tab);
      await f.session.close();
      tabs = [];
      await waitUntil(() => !processAlive(host.pid), 10000, `host ${host.pid} to exit`);
      await f.host.waitForOpenHandles(0);
      assert.equal(f.host.log, '', 'no host of the table wrote an error');
    });
  });
}
