// What a served page can tell its user (the page status), and the popup's test cards, in
// Chromium and Firefox with the fake host. The real host's states are in real-host.test.mjs,
// a host the browser refuses in extension.test.mjs.
import assert from 'node:assert/strict';
import { afterEach, beforeEach, describe, test } from 'node:test';
import { setTimeout as sleep } from 'node:timers/promises';
import { popupFor } from './support/browsers.mjs';
import { Fixture } from './support/fixture.mjs';
import { calls, openAllowed, pageStatus, relaunch, waitForCalls, waitForPageStatus } from './support/pageState.mjs';
import { writePolicy } from './support/policies.mjs';

const BROWSERS = (process.env.TARVX_BROWSERS ?? 'chromium,firefox').split(',');
const STATUS = '/pages/status.html';
const QUIET_MS = 2000;

/** The status events the page heard, in order, without repeats of one status and cause. */
const heard = (tab) => tab.evaluate(() => window.statuses);

/** Whether expected occurs in list in this order, other entries between allowed. */
function inOrder(list, expected) {
  let i = 0;
  for (const entry of list) if (i < expected.length && JSON.stringify(entry) === JSON.stringify(expected[i])) i++;
  return i === expected.length;
}

for (const browser of BROWSERS) {
  describe(browser, () => {
    /** @type {Fixture} */
    let f;
    beforeEach(async () => {
      f = await Fixture.start(browser);
    });
    afterEach(async () => {
      await f?.close();
    });

    test("a served page reads each of the reader's states on its element and the html element", async () => {
      const tab = await openAllowed(f, STATUS);
      await f.host.waitForStarts(1);
      const steps = [
        ['no reader', () => {}, 'no-reader', null],
        ['plugged in', () => f.host.plugIn(), 'listening', null],
        [
          'present, cannot be opened',
          () => {
            f.host.send({ type: 'reader', state: 'cannot-open' });
            f.host.send({ type: 'status', listening: false });
          },
          'stopped',
          'cannot-open',
        ],
        ['reading ended', () => f.host.send({ type: 'reader', state: 'ended' }), 'stopped', 'ended'],
        ['unplugged', () => f.host.unplug(), 'no-reader', null],
      ];
      for (const [what, act, status, cause] of steps) {
        act();
        await waitForPageStatus(tab, status, cause).catch(async (e) => {
          throw new Error(`${what}: ${e.message}; shown ${JSON.stringify(await pageStatus(tab))}`);
        });
        assert.deepEqual(await pageStatus(tab), { page: [status, cause], embed: [status, cause] }, what);
        if (cause === 'cannot-open') {
          // Not taken for an unplugged reader in the popup either.
          const popup = await popupFor(f.session, f.allowed.url(STATUS));
          assert.match(await popup.evaluate(() => document.getElementById('host').textContent), /cannot be opened/);
          await popup.close();
        }
      }
      // Each change was an event on the element (heard at the document), in this order.
      const events = await heard(tab);
      const expected = steps.map(([, , status, cause]) => ['reader', status, cause]);
      assert.ok(inOrder(events, expected), JSON.stringify(events));
      assert.ok(
        events.every(([where]) => where === 'reader'),
        JSON.stringify(events),
      );
    });

    test('a host that stopped is reported until it is back, and a revoked page is told so', async () => {
      const tab = await openAllowed(f, STATUS);
      await f.host.waitForStarts(1);
      f.host.plugIn();
      await waitForPageStatus(tab, 'listening');
      f.host.kill();
      await f.host.waitForStarts(2);
      // The restarted host finds the reader again.
      await waitForPageStatus(tab, 'listening');
      assert.ok(
        inOrder(await heard(tab), [
          ['reader', 'listening', null],
          ['reader', 'stopped', 'host-exited'],
          ['reader', 'listening', null],
        ]),
        JSON.stringify(await heard(tab)),
      );

      const popup = await popupFor(f.session, f.allowed.url(STATUS));
      await popup.click('#toggle');
      await popup.waitFor(() => document.body.dataset.state === 'not-allowed');
      await waitForPageStatus(tab, 'not-allowed');
      // The plug-in's element is back in place of the picture.
      assert.deepEqual(
        await tab.evaluate(() => [
          getComputedStyle(document.getElementById('reader')).display,
          document.querySelector('[data-tarvx-picture]'),
        ]),
        ['inline', null],
      );
    });

    test('a marker page reads the status on the html element and hears it at the document', async () => {
      const tab = await openAllowed(f, `${STATUS}?marker`);
      await f.host.waitForStarts(1);
      await waitForPageStatus(tab, 'no-reader');
      f.host.plugIn();
      await waitForPageStatus(tab, 'listening');
      const events = await heard(tab);
      assert.ok(
        inOrder(events, [
          ['document', 'no-reader', null],
          ['document', 'listening', null],
        ]),
        JSON.stringify(events),
      );
      assert.ok(
        events.every(([where]) => where === 'document'),
        JSON.stringify(events),
      );
    });

    test('the sample page tells its user what to do: allow or install when it hears nothing, then each state', async () => {
      const SAMPLE = '/examples/card-reader.html';
      const adviceFor = (tab, state) =>
        tab.waitFor((s) => document.getElementById('advice').getAttribute('data-for') === s, state);
      const silent = await f.session.openTab(f.other.url(SAMPLE));
      await adviceFor(silent, 'nothing');
      const tab = await openAllowed(f, SAMPLE);
      await adviceFor(tab, 'no-reader');
      f.host.plugIn();
      await adviceFor(tab, 'listening');
      assert.equal(
        await tab.evaluate(() => document.getElementById('advice').textContent),
        'The card reader is ready: present a card.',
      );
      assert.equal(await silent.evaluate(() => document.getElementById('advice').getAttribute('data-for')), 'nothing');
    });

    test("the popup's test card and device changes reach the page as the reader's would", async () => {
      const tab = await openAllowed(f, STATUS);
      await f.host.waitForStarts(1);
      await waitForPageStatus(tab, 'no-reader');
      const popup = await popupFor(f.session, f.allowed.url(STATUS));
      assert.equal(await popup.evaluate(() => document.getElementById('try').hidden), false);
      await popup.click('#test-plug');
      await popup.evaluate(() => {
        document.getElementById('test-number').value = '4294967295';
      });
      await popup.click('#test-card');
      await popup.click('#test-unplug');
      await waitForCalls(tab, 3);
      assert.deepEqual(await calls(tab), [
        ['DeviceChanged', 1],
        ['CardReaded', 4294967295],
        ['DeviceChanged', 0],
      ]);
    });

    test('no test cards where the policy turns them off, asked for or not', async () => {
      await f.session.close();
      const restore = writePolicy(browser, [f.allowed.origin], { testCards: false });
      try {
        f.session = await relaunch(f, browser);
        const tab = await f.session.openTab(f.allowed.url(STATUS));
        await f.host.waitForStarts(1, 20000);
        await waitForPageStatus(tab, 'no-reader');
        const popup = await popupFor(f.session, f.allowed.url(STATUS));
        assert.equal(await popup.evaluate(() => document.getElementById('try').hidden), true);
        // The request the buttons would send, sent anyway from the popup's page.
        await popup.evaluate(async () => {
          const api = globalThis.browser ?? globalThis.chrome;
          const tabId = Number(new URLSearchParams(location.search).get('tab'));
          const origin = document.getElementById('origin').textContent;
          await api.runtime.sendMessage({ type: 'test', tabId, origin, message: { type: 'card', number: 7 } });
        });
        await sleep(QUIET_MS);
        assert.deepEqual(await calls(tab), []);
      } finally {
        restore();
      }
    });
  });
}
