// The plug-in's element inside frames, in Chromium and Firefox with the fake host: a frame
// is served when its own origin and the top-level page's are both allowed, its calls go to
// that frame, and every document is judged by the origin the browser records for it.
import assert from 'node:assert/strict';
import { afterEach, beforeEach, describe, test } from 'node:test';
import { setTimeout as sleep } from 'node:timers/promises';
import { allowInPopup } from './support/browsers.mjs';
import { Fixture } from './support/fixture.mjs';
import { NO_TRACE, traceOfUs, waitForCalls } from './support/pageState.mjs';

const BROWSERS = (process.env.TARVX_BROWSERS ?? 'chromium,firefox').split(',');
const RECORDER = '/pages/recorder.html';
const PLAIN = '/pages/plain.html';
// Long enough for a host to have been started and a message to have arrived, were it sent.
const QUIET_MS = 2000;
const SERVED_CALLS = [
  ['DeviceChanged', 1],
  ['CardReaded', 42],
];

const framed = (server, inner) => server.url(`/pages/framed.html?src=${encodeURIComponent(inner)}`);

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

    /** Allows the origins of these servers, each from a page of its own. */
    async function allow(...servers) {
      for (const server of servers) {
        const tab = await f.session.openTab(server.url(PLAIN));
        await allowInPopup(f.session, server.url(PLAIN));
        await tab.close();
      }
    }

    /** Plugs the reader in and presents card 42; the frame gets both calls. */
    async function assertServed(frame) {
      await f.host.waitForStarts(1);
      await frame.waitFor(() => document.querySelector('[data-tarvx-picture]') !== null);
      f.host.plugIn();
      f.host.presentCard(42);
      await waitForCalls(frame, SERVED_CALLS.length);
      assert.deepEqual(await frame.evaluate(() => window.calls), SERVED_CALLS);
    }

    async function assertNothing(frame) {
      await sleep(QUIET_MS);
      assert.equal(f.host.instances.length, 0, 'no host for a frame that is not served');
      assert.deepEqual(await traceOfUs(frame), NO_TRACE);
    }

    // Each case: the top page, the frame holding the embed, which origins are allowed.
    const cases = [
      {
        name: 'an allowed frame of another origin in an allowed page is served',
        allowed: ['allowed', 'other'],
        top: () => framed(f.allowed, f.other.url(RECORDER)),
        frame: () => f.other.url(RECORDER),
        served: true,
      },
      {
        name: 'an allowed frame in a page nobody allowed gets nothing',
        allowed: ['allowed'],
        top: () => framed(f.other, f.allowed.url(RECORDER)),
        frame: () => f.allowed.url(RECORDER),
        served: false,
      },
      {
        name: 'a frame nobody allowed in an allowed page gets nothing',
        allowed: ['allowed'],
        top: () => framed(f.allowed, f.other.url(RECORDER)),
        frame: () => f.other.url(RECORDER),
        served: false,
      },
      {
        name: 'a frame two deep is served',
        allowed: ['allowed', 'other'],
        top: () => framed(f.allowed, framed(f.other, f.allowed.url(RECORDER))),
        frame: () => f.allowed.url(RECORDER),
        served: true,
      },
      {
        name: 'a frame of a frameset is served',
        allowed: ['allowed'],
        top: () => f.allowed.url('/pages/frameset.html'),
        frame: () => f.allowed.url(RECORDER),
        served: true,
      },
    ];
    for (const c of cases) {
      test(c.name, async () => {
        await allow(...c.allowed.map((name) => f[name]));
        const tab = await f.session.openTab(c.top());
        const frame = await tab.frame(c.frame());
        if (c.served) {
          await assertServed(frame);
          // The calls went to the frame that holds the element, and only there.
          assert.equal(await tab.evaluate(() => window.calls), undefined);
        } else {
          await assertNothing(frame);
        }
      });
    }

    test('a frame navigated to another origin is judged afresh', async () => {
      await allow(f.allowed);
      const tab = await f.session.openTab(framed(f.allowed, f.allowed.url(RECORDER)));
      await assertServed(await tab.frame(f.allowed.url(RECORDER)));

      // The same frame now shows a page of an origin nobody allowed.
      const elsewhere = `${f.other.url(RECORDER)}?moved`;
      await tab.evaluate((url) => {
        document.getElementById('inner').src = url;
      }, elsewhere);
      const moved = await tab.frame(elsewhere);
      await sleep(QUIET_MS);
      assert.deepEqual(await traceOfUs(moved), NO_TRACE);

      // And back to the allowed origin: a new document, served as one.
      const back = `${f.allowed.url(RECORDER)}?back`;
      await tab.evaluate((url) => {
        document.getElementById('inner').src = url;
      }, back);
      const again = await tab.frame(back);
      await again.waitFor(() => document.querySelector('[data-tarvx-picture]') !== null);
      // The allowed document left with the first; this one starts the host anew.
      await f.host.waitForStarts(2);
      f.host.presentCard(44);
      await waitForCalls(again, 1);
      assert.deepEqual(await again.evaluate(() => window.calls), [['CardReaded', 44]]);
    });
  });
}
