// The extension in Chromium and Firefox, driven by the fake native host (fake-host/).
// Each test has a fresh profile, fresh loopback origins and its own host controller.
import assert from 'node:assert/strict';
import { afterEach, beforeEach, describe, test } from 'node:test';
import { setTimeout as sleep } from 'node:timers/promises';
import { isDeepStrictEqual } from 'node:util';
import { IDS, allowInPopup, popupFor } from './support/browsers.mjs';
import { processAlive } from './support/fakeHostControl.mjs';
import { Fixture } from './support/fixture.mjs';
import {
  NO_TRACE,
  calls,
  openAllowed,
  pageStatus,
  pictureState,
  popupText,
  relaunch,
  traceOfUs,
  waitForCalls,
  waitForPicture,
} from './support/pageState.mjs';
import { decodePng } from './support/png.mjs';
import { statusPicture } from './support/pixelMap.mjs';
import { writePolicy } from './support/policies.mjs';
import { waitUntil } from './support/wait.mjs';

const BROWSERS = (process.env.TARVX_BROWSERS ?? 'chromium,firefox').split(',');
const SAMPLE = '/examples/card-reader.html';
const RECORDER = '/pages/recorder.html';
// Long enough for a host to have been started and a message to have arrived, were it sent.
const QUIET_MS = 2000;

/** The toolbar badge's text and title, read from one of the extension's own pages. */
const badgeOf = (extensionPage) =>
  extensionPage.evaluate(async () => {
    const api = globalThis.browser ?? globalThis.chrome;
    return { text: await api.action.getBadgeText({}), title: await api.action.getTitle({}) };
  });
const waitForBadge = (extensionPage, badge) =>
  waitUntil(async () => isDeepStrictEqual(await badgeOf(extensionPage), badge), 10000, 'the badge').catch(async (e) => {
    throw new Error(`${e.message} ${JSON.stringify(badge)}, shown ${JSON.stringify(await badgeOf(extensionPage))}`);
  });

const frameOf = (text) => {
  const body = Buffer.from(text, 'utf8');
  const length = Buffer.alloc(4);
  length.writeUInt32LE(body.length);
  return Buffer.concat([length, body]);
};

/**
 * The element's screenshot shows the status picture pixel for pixel, unscaled, centred in
 * the element's box (within a pixel: the box's odd remainder may go either way).
 */
function assertCentredPicture(png, width, height, name) {
  const shot = decodePng(png);
  assert.deepEqual([shot.width, shot.height], [width, height]);
  const picture = statusPicture(name);
  const matchesAt = (left, top) =>
    picture.rows.every((row, y) =>
      row.every((colour, x) => shot.pixel(left + x, top + y).every((c, i) => Math.abs(c - colour[i]) <= 2)),
    );
  const centre = [(width - picture.width) / 2, (height - picture.height) / 2];
  const candidates = [];
  for (const left of [Math.floor(centre[0]), Math.ceil(centre[0])]) {
    for (const top of [Math.floor(centre[1]), Math.ceil(centre[1])]) candidates.push([left, top]);
  }
  assert.ok(
    candidates.some(([l, t]) => matchesAt(l, t)),
    `the ${name} picture is not drawn unscaled in the centre`,
  );
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

      const shown = await tab.evaluate(() =>
        [...document.querySelectorAll('#cards li')].map((li) => li.textContent.split('  ')[1]),
      );
      assert.deepEqual(shown, cards.map(String).reverse());
    });

    test('the picture in place of the embed and the toolbar badge follow listening', async () => {
      const extensionPage = await f.session.openTab(`${f.session.extensionBase}popup.html`);
      await waitForBadge(extensionPage, { text: '', title: 'IC-card reader: no page uses it' });

      const tab = await openAllowed(f, RECORDER);
      await f.host.waitForStarts(1);
      await waitForPicture(tab, 'idle');
      assert.equal(await tab.evaluate(() => getComputedStyle(document.getElementById('reader')).display), 'none');
      assertCentredPicture(await tab.screenshot('[data-tarvx-picture]'), 60, 40, 'idle');
      await waitForBadge(extensionPage, { text: 'off', title: 'IC-card reader: not listening' });

      f.host.plugIn();
      await waitForPicture(tab, 'listening');
      assertCentredPicture(await tab.screenshot('[data-tarvx-picture]'), 60, 40, 'listening');
      await waitForBadge(extensionPage, { text: 'on', title: 'IC-card reader: listening' });
    });

    test('an origin never allowed gets nothing and starts no host', async () => {
      // Same host, another port: the page scripts run there, the background refuses it.
      const allowedUrl = f.allowed.url(RECORDER);
      const otherUrl = f.other.url(RECORDER);
      const plainUrl = f.allowed.url('/pages/plain.html');
      await f.session.openTab(plainUrl);
      await allowInPopup(f.session, plainUrl);
      const other = await f.session.openTab(otherUrl);
      await sleep(QUIET_MS);
      assert.equal(f.host.instances.length, 0, 'no host for a page of an origin never allowed');
      assert.equal(await pictureState(other), null);
      assert.equal(await other.evaluate(() => getComputedStyle(document.getElementById('reader')).display), 'inline');

      const allowed = await f.session.openTab(allowedUrl);
      await f.host.waitForStarts(1);
      await waitForPicture(allowed, 'idle');
      f.host.plugIn();
      f.host.presentCard(42);
      await waitForCalls(allowed, 2);
      await sleep(500);
      assert.deepEqual(await calls(other), []);
      assert.equal(await pictureState(other), null);
    });

    test('the allowed host under another name, same server and port, runs none of our scripts', async () => {
      // Match patterns name hosts: allowing 127.0.0.1 must not put the scripts on localhost.
      assert.match(f.allowed.origin, /^http:\/\/127\.0\.0\.1:/);
      const allowed = await openAllowed(f, RECORDER);
      // What is looked for below is there on the allowed origin's page.
      await allowed.waitFor(() => window[Symbol.for('tarvx.pageWorld')] === true);

      const otherOrigin = f.allowed.origin.replace('//127.0.0.1:', '//localhost:');
      const other = await f.session.openTab(`${otherOrigin}${RECORDER}`);
      await sleep(QUIET_MS);
      assert.deepEqual(await other.evaluate(() => [location.origin, document.title]), [otherOrigin, 'Recorder']);
      assert.deepEqual(await traceOfUs(other), NO_TRACE);
      assert.equal(f.host.instances.length, 1, "the allowed page's host only");
    });

    test("the page's own messages in the bridge's shape call nothing", async () => {
      const tab = await openAllowed(f, RECORDER);
      await f.host.waitForStarts(1);
      await waitForPicture(tab, 'idle');
      const forged = [
        ['CardReaded', '42'],
        ['CardReaded', -1],
        ['CardReaded', 4294967296],
        ['CardReaded', 1.5],
        ['CardReaded', null],
        ['CardReaded', { number: 42 }],
        ['DeviceChanged', 2],
        ['DeviceChanged', '1'],
        ['alert', 42],
        ['constructor', 42],
        ['toString', 42],
      ];
      await tab.evaluate(async (rows) => {
        // Window functions that are not the contract's, recorded should they be called.
        for (const name of ['alert', 'constructor', 'toString']) window[name] = (n) => window.calls.push([name, n]);
        // Messages are handled in order: once this one arrives, the page-world script has seen all.
        const last = new Promise((resolve) =>
          window.addEventListener('message', (e) => e.data === 'last' && resolve()),
        );
        for (const [call, argument] of rows) window.postMessage({ tarvxBridge: 1, call, argument }, '*');
        window.postMessage('last', '*');
        await last;
      }, forged);
      assert.deepEqual(await calls(tab), []);

      // The page-world script was listening all along.
      f.host.presentCard(9);
      await waitForCalls(tab, 1);
      await sleep(300);
      assert.deepEqual(await calls(tab), [['CardReaded', 9]]);
    });

    test('the popup allows an origin with one click and revokes it with another', async () => {
      const url = f.allowed.url(RECORDER);
      const tab = await f.session.openTab(url);
      const popup = await popupFor(f.session, url);
      assert.deepEqual(await popupText(popup), {
        origin: f.allowed.origin,
        asks: 'This page asks for the card reader.',
        allowed: 'Not allowed: this site gets nothing from the reader.',
        button: 'Allow this site',
      });
      await sleep(500);
      assert.equal(f.host.instances.length, 0);

      await popup.click('#toggle');
      await popup.waitFor(() => document.body.dataset.state === 'allowed');
      const host = await f.host.waitForStarts(1);
      await waitForPicture(tab, 'idle');
      f.host.plugIn();
      f.host.presentCard(7);
      await waitForCalls(tab, 2);
      assert.deepEqual(await calls(tab), [
        ['DeviceChanged', 1],
        ['CardReaded', 7],
      ]);

      await popup.click('#toggle');
      await popup.waitFor(() => document.body.dataset.state === 'not-allowed');
      await waitUntil(() => host.closed, 10000, 'the host to exit once no page wants it');
      assert.equal(host.inputClosed, true);
      assert.equal(await pictureState(tab), null);
      assert.equal(await tab.evaluate(() => getComputedStyle(document.getElementById('reader')).display), 'inline');

      await tab.goto(url);
      await sleep(QUIET_MS);
      assert.equal(f.host.instances.length, 1, 'no host started for the revoked origin');
      assert.deepEqual(await calls(tab), []);
    });

    test("the page's callbacks are found however its classic scripts declare them", async () => {
      const called = [
        ['DeviceChanged', 1],
        ['CardReaded', 1],
        ['CardReaded', 2],
      ];
      // style (pages/callbacks.html) -> the calls the page records
      const styles = {
        function: called,
        var: called,
        let: called,
        const: called,
        window: called,
        missing: [],
        notFunctions: [],
        // The first card's callback throws; the next card is still given.
        throwing: called,
      };
      const tabs = {};
      for (const style of Object.keys(styles)) {
        const path = `/pages/callbacks.html?style=${style}`;
        tabs[style] = style === 'function' ? await openAllowed(f, path) : await f.session.openTab(f.allowed.url(path));
      }
      for (const tab of Object.values(tabs)) await waitForPicture(tab, 'idle');
      f.host.plugIn();
      f.host.presentCard(1);
      f.host.presentCard(2);
      await waitForCalls(tabs.function, 3);
      await sleep(500);
      const got = {};
      for (const [style, tab] of Object.entries(tabs)) got[style] = await calls(tab);
      assert.deepEqual(got, styles);
    });

    test('a host whose registration does not name the extension is reported as such, and not retried', async () => {
      await f.session.close();
      // The registration as it would be for another extension only. Chromium tells this
      // apart from a missing registration; Firefox does not.
      const [hostIds, expected] =
        browser === 'chromium'
          ? [
              { ...IDS, chromium: 'abcdefghijklmnopabcdefghijklmnop', chromeWebStore: '', edgeAddOns: '' },
              { code: 'host-forbidden', sentence: "The reader program's registration does not name this extension." },
            ]
          : [
              { ...IDS, firefox: 'another@tarvo.example' },
              {
                code: 'host-not-found',
                sentence:
                  'The reader program is not installed, or not registered with this browser for this extension.',
              },
            ];
      f.session = await relaunch(f, browser, { hostIds });
      const url = f.allowed.url(RECORDER);
      const tab = await openAllowed(f, RECORDER);
      const hostText = async () => {
        const popup = await popupFor(f.session, url);
        const text = await popup.evaluate(() => document.getElementById('host').textContent);
        await popup.close();
        return text;
      };
      const reported = `The reader program cannot be used. ${expected.sentence} (${expected.code}; the browser said: `;
      await waitUntil(async () => (await hostText()).startsWith(reported), 10000, 'the refusal').catch(async (e) => {
        throw new Error(`${e.message}: ${await hostText()}`);
      });
      // Long enough for two retries, were there any.
      await sleep(QUIET_MS + 8000);
      const text = await hostText();
      assert.ok(text.startsWith(reported), text);
      assert.ok(text.endsWith(') Run tarvx-diag --bridge to see why.'), text);
      assert.equal(f.host.instances.length, 0);
      // The page can tell its user the same, by code.
      assert.deepEqual(await pageStatus(tab), {
        page: ['host-missing', expected.code],
        embed: ['host-missing', expected.code],
      });
    });

    test('two tabs both get each card from one host', async () => {
      const first = await openAllowed(f, RECORDER);
      const second = await f.session.openTab(f.allowed.url(RECORDER) + '?second');
      await waitForPicture(first, 'idle');
      await waitForPicture(second, 'idle');
      f.host.plugIn();
      for (const card of [1, 2, 3]) f.host.presentCard(card);
      const expected = [
        ['DeviceChanged', 1],
        ['CardReaded', 1],
        ['CardReaded', 2],
        ['CardReaded', 3],
      ];
      for (const tab of [first, second]) {
        await waitForCalls(tab, expected.length);
        assert.deepEqual(await calls(tab), expected);
      }
      assert.equal(f.host.instances.length, 1);
    });

    test('a killed host is started again and no card arrives twice', async () => {
      const tab = await openAllowed(f, RECORDER);
      await f.host.waitForStarts(1);
      f.host.plugIn();
      f.host.presentCard(11);
      await waitForCalls(tab, 2);
      await waitForPicture(tab, 'listening');

      f.host.kill();
      await waitForPicture(tab, 'idle');
      await f.host.waitForStarts(2);
      await waitForPicture(tab, 'listening');
      f.host.presentCard(12);
      await waitForCalls(tab, 3);
      await sleep(500);
      assert.deepEqual(await calls(tab), [
        ['DeviceChanged', 1],
        ['CardReaded', 11],
        ['CardReaded', 12],
      ]);
      assert.equal(f.host.instances.length, 2);
    });

    test('closing the browser ends the host', async () => {
      await openAllowed(f, RECORDER);
      const host = await f.host.waitForStarts(1);
      assert.ok(processAlive(host.pid));
      await f.session.close();
      await waitUntil(() => !processAlive(host.pid), 10000, `host ${host.pid} to exit`);
    });

    // The policy in the form the release's template has (extension/policies.mjs), where
    // Debian's browser reads it.
    test('an origin in the managed policy is allowed without a prompt', async () => {
      // The policy must be there when the browser starts: a browser of its own.
      await f.session.close();
      const restore = writePolicy(browser, [f.allowed.origin]);
      try {
        f.session = await relaunch(f, browser);
        const url = f.allowed.url(RECORDER);
        const tab = await f.session.openTab(url);
        const other = await f.session.openTab(f.other.url(RECORDER));
        await f.host.waitForStarts(1, 20000);
        await waitForPicture(tab, 'idle');
        f.host.plugIn();
        f.host.presentCard(5);
        await waitForCalls(tab, 2);
        assert.deepEqual(await calls(tab), [
          ['DeviceChanged', 1],
          ['CardReaded', 5],
        ]);
        const popup = await popupFor(f.session, url);
        // Firefox cannot tell its enterprise policy from a program's managed storage unless
        // the add-on itself was installed by policy; here it is a temporary add-on.
        const byAdministrator = browser === 'chromium';
        assert.equal(
          (await popupText(popup)).allowed,
          byAdministrator
            ? 'Allowed by your administrator.'
            : "Allowed by a program on this computer (not known to be your administrator's policy).",
        );
        assert.equal(await popup.evaluate(() => document.getElementById('toggle').hidden), byAdministrator);

        await sleep(QUIET_MS);
        assert.deepEqual(await calls(other), [], 'the policy names one exact origin');
        assert.equal(await pictureState(other), null);
      } finally {
        restore();
      }
    });

    // Each row is something a broken or hostile host might write; none may reach the page,
    // and a good card afterwards must (from the same host, or the one started after the
    // browser closed the channel).
    const hostile = [
      ['a number above 32 bits', (h) => h.send({ type: 'card', number: 4294967296 })],
      ['a negative number', (h) => h.send({ type: 'card', number: -1 })],
      ['a fraction', (h) => h.send({ type: 'card', number: 1.5 })],
      ['a number as a string', (h) => h.send({ type: 'card', number: '42' })],
      ['script as a number', (h) => h.send({ type: 'card', number: 'alert(1)' })],
      ['an extra field', (h) => h.send({ type: 'card', number: 42, script: 'x' })],
      ['a device change of 2', (h) => h.send({ type: 'device', change: 2 })],
      ['an unknown type', (h) => h.send({ type: 'evaluate', code: 'CardReaded(42)' })],
      ['malformed JSON', (h) => h.sendRaw(frameOf('{"type":"card","number":42'))],
      [
        "a frame over the browsers' 1 MB limit",
        (h) => h.sendRaw(frameOf(JSON.stringify({ type: 'card', number: 42, pad: 'x'.repeat(1100000) }))),
      ],
    ];
    for (const [name, write] of hostile) {
      test(`a host writing ${name}: nothing reaches the page, the extension goes on`, async () => {
        const tab = await openAllowed(f, RECORDER);
        await f.host.waitForStarts(1);
        await waitForPicture(tab, 'idle');
        write(f.host);
        await sleep(1500);
        await f.host.waitForStarts(1);
        f.host.presentCard(9);
        await waitForCalls(tab, 1);
        await sleep(300);
        assert.deepEqual(await calls(tab), [['CardReaded', 9]]);
      });
    }
  });
}
