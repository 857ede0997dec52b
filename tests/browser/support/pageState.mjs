// What a test page and the popup show, read the same way by every suite.
import { allowInPopup, launch } from './browsers.mjs';

/** The calls the recorder page (pages/recorder.html) got, as [name, argument] pairs. */
export const calls = (tab) => tab.evaluate(() => window.calls);
export const waitForCalls = (tab, count) => tab.waitFor((n) => window.calls.length >= n, count);

/** The status picture's state ('idle', 'listening'), or null when the page shows none. */
export const pictureState = (tab) =>
  tab.evaluate(() => document.querySelector('[data-tarvx-picture]')?.dataset.tarvxPicture ?? null);
export const waitForPicture = (tab, state) =>
  tab.waitFor((s) => document.querySelector('[data-tarvx-picture]')?.dataset.tarvxPicture === s, state);

/**
 * Everything the page shows of us: our global, the picture, the embed's display, the page
 * status anywhere in the document, the calls.
 */
export const traceOfUs = (tab) =>
  tab.evaluate(() => ({
    pageWorld: Object.getOwnPropertySymbols(window).includes(Symbol.for('tarvx.pageWorld')),
    picture: document.querySelector('[data-tarvx-picture]') !== null,
    embed: getComputedStyle(document.getElementById('reader')).display,
    status: document.querySelector('[data-tarvx-status], [data-tarvx-cause]') !== null,
    calls: window.calls,
  }));
export const NO_TRACE = { pageWorld: false, picture: false, embed: 'inline', status: false, calls: [] };

/** The page status as the page reads it: on the html element, and on the embed (#reader) if any. */
export const pageStatus = (tab) =>
  tab.evaluate(() => {
    const read = (e) => (e ? [e.getAttribute('data-tarvx-status'), e.getAttribute('data-tarvx-cause')] : null);
    return { page: read(document.documentElement), embed: read(document.getElementById('reader')) };
  });
/** Waits for the page status (and its cause, null for none) on the html element. */
export const waitForPageStatus = (tab, status, cause = null) =>
  tab.waitFor(
    ([s, c]) =>
      document.documentElement.getAttribute('data-tarvx-status') === s &&
      document.documentElement.getAttribute('data-tarvx-cause') === c,
    [status, cause],
  );

/** Opens url on the fixture's allowed origin and allows that origin in the popup. */
export async function openAllowed(f, path) {
  const url = f.allowed.url(path);
  const tab = await f.session.openTab(url);
  await allowInPopup(f.session, url);
  return tab;
}

export const popupText = (popup) =>
  popup.evaluate(() => ({
    origin: document.getElementById('origin').textContent,
    asks: document.getElementById('asks').textContent,
    allowed: document.getElementById('allowed').textContent,
    button: document.getElementById('toggle').textContent,
  }));

/**
 * A browser of the fixture's kind again, for a policy written meanwhile: a fresh profile, or
 * with more options for launch (keepIn: the profile kept in that folder; see launch).
 */
export function relaunch(f, browser, more = {}) {
  return launch(browser, {
    env: f.host.env,
    hostPath: process.env.TARVX_TEST_HOST,
    publicPorts: [f.allowed.port, f.other.port],
    ...more,
  });
}
