// How consent is given and how far it reaches, in Chromium and Firefox with the fake host:
// the administrator's lock on user consent and on delivery to background pages, one click
// for https and this computer's own pages only, a click that acts for the origin the popup
// showed, where consent is kept (not where content scripts write; a private window's for
// the session), nothing of ours on a page before its document is accepted, and no origin
// for a sandboxed document.
import assert from 'node:assert/strict';
import { mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { afterEach, beforeEach, describe, test } from 'node:test';
import { setTimeout as sleep } from 'node:timers/promises';
import { IDS, NETWORK_HOST, allowInPopup, popupFor } from './support/browsers.mjs';
import { Fixture } from './support/fixture.mjs';
import {
  NO_TRACE,
  calls,
  pictureState,
  popupText,
  relaunch,
  traceOfUs,
  waitForCalls,
  waitForPicture,
} from './support/pageState.mjs';
import { writePolicy } from './support/policies.mjs';
import { waitUntil } from './support/wait.mjs';

const BROWSERS = (process.env.TARVX_BROWSERS ?? 'chromium,firefox').split(',');
const RECORDER = '/pages/recorder.html';
// Long enough for a host to have been started and a message to have arrived, were it sent.
const QUIET_MS = 2000;

/** Sends the popup's own request from the popup's page, as a click would, for any origin. */
const requestFromPopup = (popup, type, url, origin) =>
  popup.evaluate(
    async ([type, url, origin]) => {
      const api = globalThis.browser ?? globalThis.chrome;
      const tab = (await api.tabs.query({})).find((t) => t.url === url);
      return api.runtime.sendMessage({ type, tabId: tab.id, origin });
    },
    [type, url, origin],
  );

/** The user's lasting list of allowed origins, read by one of the extension's pages. */
const storedConsent = (extensionPage) =>
  extensionPage.evaluate(async () => (await import('./consentStore.js')).browserStore.readUser());

const buttonShown = (popup) => popup.evaluate(() => !document.getElementById('toggle').hidden);

for (const browser of BROWSERS) {
  describe(browser, () => {
    let f;
    beforeEach(async () => {
      f = await Fixture.start(browser);
    });
    afterEach(async () => {
      await f?.close();
    });

    test("an http site on the network cannot be allowed with a click, nor by the popup's request", async () => {
      const origin = `http://${NETWORK_HOST}:${f.allowed.port}`;
      const url = `${origin}${RECORDER}`;
      const tab = await f.session.openTab(url);
      const popup = await popupFor(f.session, url);
      const shown = await popupText(popup);
      assert.equal(shown.origin, origin);
      assert.match(shown.allowed, /^Not allowed\. Only https sites .* Your administrator can allow it\.$/);
      assert.equal(await buttonShown(popup), false);
      const answer = await requestFromPopup(popup, 'allow', url, origin);
      assert.equal(answer.allowed, false);
      await sleep(QUIET_MS);
      assert.equal(f.host.instances.length, 0);
      assert.deepEqual(await traceOfUs(tab), NO_TRACE);
    });

    // A kiosk's policy lists its application's origin (an http intranet name, which only
    // the policy can allow). Someone allowed a site of their own before the policy came, and
    // tries again after: whether it counts is the administrator's word.
    const locks = [
      { why: 'the policy lists origins and says nothing more', userConsent: undefined, locked: true },
      { why: 'the policy lists origins and lets users allow sites', userConsent: true, locked: false },
      { why: 'the policy lists origins and forbids users to allow sites', userConsent: false, locked: true },
    ];
    for (const c of locks) {
      test(`${c.why}: a site the user allowed ${c.locked ? 'gets nothing' : 'gets cards'}`, async () => {
        await f.session.close();
        const own = f.other.url(RECORDER);
        const profile = mkdtempSync(join(tmpdir(), 'tarvx-consent-profile-'));
        let restore = () => {};
        try {
          f.session = await relaunch(f, browser, { keepIn: profile });
          await f.session.openTab(f.other.url('/pages/plain.html'));
          await allowInPopup(f.session, f.other.url('/pages/plain.html'));
          await f.session.close();

          const kiosk = `http://${NETWORK_HOST}:${f.allowed.port}`;
          restore = writePolicy(browser, [kiosk], c.userConsent === undefined ? {} : { userConsent: c.userConsent });
          f.session = await relaunch(f, browser, { keepIn: profile });
          const kioskTab = await f.session.openTab(`${kiosk}${RECORDER}`);
          await f.host.waitForStarts(1, 20000);
          await waitForPicture(kioskTab, 'idle');

          const ownTab = await f.session.openTab(own);
          const popup = await popupFor(f.session, own);
          const shown = await popupText(popup);
          if (c.locked) {
            assert.equal(shown.allowed, 'Not allowed. Only your administrator can allow sites here.');
            assert.equal(await buttonShown(popup), false);
            // The popup's request without its button is refused too.
            assert.equal((await requestFromPopup(popup, 'allow', own, f.other.origin)).allowed, false);
            await sleep(QUIET_MS);
          } else {
            assert.equal(shown.allowed, 'Allowed: this site gets the cards read.');
            await waitForPicture(ownTab, 'idle');
          }

          f.host.plugIn();
          f.host.presentCard(77);
          await waitForCalls(kioskTab, 2);
          await sleep(500);
          assert.deepEqual(await calls(kioskTab), [
            ['DeviceChanged', 1],
            ['CardReaded', 77],
          ]);
          if (c.locked) assert.deepEqual(await traceOfUs(ownTab), NO_TRACE);
          else assert.deepEqual(await calls(ownTab), await calls(kioskTab));
        } finally {
          restore();
          await f.session.close();
          rmSync(profile, { recursive: true, force: true });
        }
      });
    }

    // Firefox runs no temporary add-on in private windows unless asked through its own UI.
    test(
      'a site allowed in a private window is allowed for that session only',
      { skip: browser !== 'chromium' },
      async () => {
        await f.session.close();
        const own = f.other.url(RECORDER);
        const profile = mkdtempSync(join(tmpdir(), 'tarvx-consent-profile-'));
        try {
          f.session = await relaunch(f, browser, { keepIn: profile });
          const settings = await f.session.openTab('chrome://extensions');
          // As a user does on chrome://extensions (an unpacked extension needs developer mode).
          await settings.evaluate(async (id) => {
            await chrome.developerPrivate.updateProfileConfiguration({ inDeveloperMode: true });
            await chrome.developerPrivate.updateExtensionConfiguration({ extensionId: id, incognitoAccess: true });
          }, IDS.chromium);
          // The extension restarts with its new access; its page opens the private window.
          const page = await f.session.openTab();
          const tabId = await waitUntil(
            async () => {
              await page.goto(`${f.session.extensionBase}popup.html`).catch(() => {});
              return page
                .evaluate(async (url) => {
                  const created = await chrome.windows.create({ incognito: true, url });
                  return created.tabs[0].id;
                }, own)
                .catch(() => undefined);
            },
            15000,
            'a private window',
          );
          const popup = await f.session.openTab(`${f.session.extensionBase}popup.html?tab=${tabId}`);
          await popup.waitFor(() => document.body.dataset.state === 'not-allowed');
          await popup.click('#toggle');
          await popup.waitFor(() => document.body.dataset.state === 'allowed');
          const kept = await storedConsent(popup);
          assert.deepEqual(kept, [], 'nothing is written to the lasting list');
          await f.session.close();

          f.session = await relaunch(f, browser, { keepIn: profile });
          await f.session.openTab(own);
          const after = await popupFor(f.session, own);
          assert.equal((await popupText(after)).button, 'Allow this site');
        } finally {
          await f.session.close();
          rmSync(profile, { recursive: true, force: true });
        }
      },
    );

    // Two pages of the kiosk's origin; each card is read while one or the other is in front.
    for (const focusedPageOnly of [true, false]) {
      test(`cards go ${focusedPageOnly ? 'to the page in front only, as the policy says' : 'to every allowed page by default'}`, async () => {
        await f.session.close();
        const restore = writePolicy(browser, [f.allowed.origin], focusedPageOnly ? { focusedPageOnly } : {});
        try {
          f.session = await relaunch(f, browser);
          const first = await f.session.openTab(f.allowed.url(`${RECORDER}?first`));
          const second = await f.session.openTab(f.allowed.url(`${RECORDER}?second`));
          await f.host.waitForStarts(1, 20000);
          for (const tab of [first, second]) await waitForPicture(tab, 'idle');
          f.host.plugIn();
          for (const tab of [first, second]) await waitForCalls(tab, 1);
          for (const [card, front] of [
            [1, first],
            [2, second],
          ]) {
            await front.page.bringToFront();
            f.host.presentCard(card);
            await front.waitFor((n) => window.calls.some(([name, arg]) => name === 'CardReaded' && arg === n), card);
          }
          await sleep(500);
          const device = ['DeviceChanged', 1];
          const expected = focusedPageOnly
            ? [
                [device, ['CardReaded', 1]],
                [device, ['CardReaded', 2]],
              ]
            : [
                [device, ['CardReaded', 1], ['CardReaded', 2]],
                [device, ['CardReaded', 1], ['CardReaded', 2]],
              ];
          assert.deepEqual([await calls(first), await calls(second)], expected);
        } finally {
          restore();
        }
      });
    }

    test("the policy's entries: upper case is forgiven, an entry with a path is ignored and named in the popup", async () => {
      await f.session.close();
      const upper = f.allowed.origin.toUpperCase();
      const withPath = `${f.other.origin}/cards`;
      const restore = writePolicy(browser, [upper, withPath]);
      try {
        f.session = await relaunch(f, browser);
        const tab = await f.session.openTab(f.allowed.url(RECORDER));
        const other = await f.session.openTab(f.other.url(RECORDER));
        await f.host.waitForStarts(1, 20000);
        await waitForPicture(tab, 'idle');
        const popup = await popupFor(f.session, f.other.url(RECORDER));
        assert.equal(
          await popup.evaluate(() => document.getElementById('policy-problems').textContent),
          `Your administrator's list has entries the extension ignores: "${withPath}" ` +
            '(more than an origin: a path, query, fragment or user name).',
        );
        await sleep(QUIET_MS);
        assert.deepEqual(await traceOfUs(other), NO_TRACE);
      } finally {
        restore();
      }
    });

    test(
      "a list a program of the user put in the add-on's managed storage is labelled so and can be revoked",
      { skip: browser !== 'firefox' },
      async () => {
        await f.session.close();
        f.session = await relaunch(f, browser, { userManagedStorage: { allowedOrigins: [f.allowed.origin] } });
        const url = f.allowed.url(RECORDER);
        const tab = await f.session.openTab(url);
        await f.host.waitForStarts(1, 20000);
        await waitForPicture(tab, 'idle');
        const popup = await popupFor(f.session, url);
        assert.deepEqual(await popupText(popup), {
          origin: f.allowed.origin,
          asks: 'This page asks for the card reader.',
          allowed: "Allowed by a program on this computer (not known to be your administrator's policy).",
          button: 'Revoke',
        });
        await popup.click('#toggle');
        await popup.waitFor(() => document.body.dataset.state === 'not-allowed');
        await tab.waitFor(() => document.querySelector('[data-tarvx-picture]') === null);
        await tab.goto(url);
        await sleep(QUIET_MS);
        assert.deepEqual(await traceOfUs(tab), NO_TRACE);
      },
    );

    test('consent written where content scripts can write (storage.local) allows nothing', async () => {
      const url = f.other.url(RECORDER);
      const tab = await f.session.openTab(url);
      const popup = await popupFor(f.session, url);
      await popup.evaluate(async (origin) => {
        const api = globalThis.browser ?? globalThis.chrome;
        await api.storage.local.set({ allowedOrigins: [origin] });
      }, f.other.origin);
      await tab.goto(url);
      await sleep(QUIET_MS);
      assert.equal((await popupText(await popupFor(f.session, url))).button, 'Allow this site');
      assert.equal(f.host.instances.length, 0);
      assert.deepEqual(await traceOfUs(tab), NO_TRACE);
    });

    // The popup showed one origin; before the click, the tab went elsewhere.
    const moves = [
      { click: 'allow', allowedBefore: [] },
      { click: 'revoke', allowedBefore: ['allowed', 'other'] },
    ];
    for (const c of moves) {
      test(`${c.click}, clicked after the tab moved to another origin, changes nothing`, async () => {
        for (const name of c.allowedBefore) {
          await f.session.openTab(f[name].url('/pages/plain.html'));
          await allowInPopup(f.session, f[name].url('/pages/plain.html'));
        }
        const origins = c.allowedBefore.map((name) => f[name].origin).sort();
        const first = f.allowed.url(RECORDER);
        const tab = await f.session.openTab(first);
        const popup = await popupFor(f.session, first);
        assert.equal((await popupText(popup)).origin, f.allowed.origin);
        assert.equal((await popupText(popup)).button, c.click === 'allow' ? 'Allow this site' : 'Revoke');
        await tab.goto(f.other.url(RECORDER));
        await popup.click('#toggle');
        // The popup now shows where the tab is, with the state that origin has.
        await popup.waitFor((o) => document.getElementById('origin').textContent === o, f.other.origin);
        const stored = await storedConsent(popup);
        assert.deepEqual([...stored].sort(), origins);
        if (c.click === 'allow') {
          await sleep(QUIET_MS);
          assert.equal(f.host.instances.length, 0);
        }
      });
    }

    test('a page on another port of an allowed host sees nothing of ours; the allowed page does', async () => {
      const allowedUrl = f.allowed.url(RECORDER);
      const allowedTab = await f.session.openTab(allowedUrl);
      await allowInPopup(f.session, allowedUrl);
      await waitForPicture(allowedTab, 'idle');
      assert.equal((await traceOfUs(allowedTab)).pageWorld, true, 'what is looked for is there when accepted');

      // Same host, same scheme, another port: the content script runs there, unseen.
      assert.equal(new URL(f.other.origin).hostname, new URL(f.allowed.origin).hostname);
      const other = await f.session.openTab(f.other.url(RECORDER));
      await sleep(QUIET_MS);
      assert.deepEqual(await traceOfUs(other), NO_TRACE);
      assert.equal(f.host.instances.length, 1);
    });

    test('a sandboxed document of an allowed origin gets nothing and starts no host', async () => {
      const plain = f.allowed.url('/pages/plain.html');
      await f.session.openTab(plain);
      await allowInPopup(f.session, plain);
      const tab = await f.session.openTab(f.allowed.url(`${RECORDER}?sandbox`));
      assert.equal(await tab.evaluate(() => self.origin), 'null');
      await sleep(QUIET_MS);
      assert.equal(f.host.instances.length, 0);
      assert.equal(await pictureState(tab), null);
      const { picture, embed, calls: got } = await traceOfUs(tab);
      assert.deepEqual({ picture, embed, calls: got }, { picture: false, embed: 'inline', calls: [] });

      // The same page, not sandboxed, is served.
      const served = await f.session.openTab(f.allowed.url(RECORDER));
      await f.host.waitForStarts(1);
      await waitForPicture(served, 'idle');
    });
  });
}
