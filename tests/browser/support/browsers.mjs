// Chromium (playwright-core) and Firefox (puppeteer-core over WebDriver BiDi) with the built
// extension and the host manifest in a fresh profile, behind one small interface:
//   session.openTab(url) -> Tab, session.popupFor(tab) -> Tab, session.close()
//   tab.goto / evaluate / waitFor / click / screenshot / close; tab.frame(url) -> evaluate / waitFor
import { copyFileSync, mkdirSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { chromium } from 'playwright-core';
import puppeteer from 'puppeteer-core';
import { HOST_NAME, hostManifest } from '../../../extension/names.mjs';
import { waitUntil } from './wait.mjs';

export const BUILD_DIR = process.env.TARVX_BUILD_DIR ?? new URL('../../../build', import.meta.url).pathname;
const EXTENSION_DIR = join(BUILD_DIR, 'extension');
export const IDS = JSON.parse(readFileSync(join(EXTENSION_DIR, 'ids.json'), 'utf8'));
const HOST_FILE = `${HOST_NAME}.json`;
// Firefox gives each profile a random UUID for the add-on's pages unless told one.
const FIREFOX_UUID = '6f1c1c9e-3d2a-4b8e-9a57-1f0e2b7c4d11';
const TIMEOUT = 15000;
// A name for the loopback servers that is not this computer's own name: its http pages
// count as network sites, as an intranet server's would.
export const NETWORK_HOST = 'kiosk.tarvx.test';

/**
 * The build's host manifest for the browser, pointing at hostPath when given; with hostIds,
 * the manifest the project writes for those identities instead (names.mjs).
 */
function writeHostManifest(browser, dir, hostPath, hostIds) {
  mkdirSync(dir, { recursive: true });
  const built = JSON.parse(readFileSync(join(EXTENSION_DIR, 'hosts', browser, HOST_FILE), 'utf8'));
  const manifest = hostIds ? hostManifest(browser, built.path, hostIds) : built;
  if (hostPath) manifest.path = hostPath;
  writeFileSync(join(dir, HOST_FILE), JSON.stringify(manifest));
}

/**
 * @param {'chromium' | 'firefox'} name
 * @param {{env: object, hostPath?: string, publicPorts: number[], hostIds?: object,
 *          chromiumExtension?: {dir: string, id: string}, forcedInstall?: {id: string},
 *          keepIn?: string, userManagedStorage?: object}} options
 *   hostIds: the identities the host manifest allows (default: the build's manifest);
 *   chromiumExtension: another unpacked extension for Chromium, with its id;
 *   forcedInstall: load no extension: Chromium installs the one with this id itself, as the
 *   machine's policy (ExtensionInstallForcelist) tells it;
 *   keepIn: a folder of the caller's for the profile, kept when the browser closes, so that
 *   a later launch with the same folder starts where this one left off;
 *   userManagedStorage: (Firefox) the add-on's managed storage as a program of the user
 *   can write it, in the user's own folder.
 */
export async function launch(name, options) {
  const dir = options.keepIn ?? mkdtempSync(join(tmpdir(), `tarvx-${name}-`));
  const session = name === 'chromium' ? await launchChromium(dir, options) : await launchFirefox(dir, options);
  const close = session.close;
  session.close = async () => {
    await close().catch(() => {});
    if (!options.keepIn) rmSync(dir, { recursive: true, force: true });
  };
  return session;
}

async function launchChromium(dir, { env, hostPath, publicPorts, hostIds, chromiumExtension, forcedInstall }) {
  const profile = join(dir, 'profile');
  writeHostManifest('chromium', join(profile, 'NativeMessagingHosts'), hostPath, hostIds);
  const extension = chromiumExtension?.dir ?? join(EXTENSION_DIR, 'chromium');
  const extensionId = forcedInstall?.id ?? chromiumExtension?.id ?? IDS.chromium;
  const loaded = [`--load-extension=${extension}`, `--disable-extensions-except=${extension}`];
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: '/usr/bin/chromium',
    headless: true,
    env: { ...process.env, ...env },
    viewport: { width: 800, height: 600 },
    deviceScaleFactor: 1,
    // A forced install is downloaded, as on a kiosk: background networking stays on.
    ignoreDefaultArgs: forcedInstall
      ? ['--disable-extensions', '--disable-background-networking']
      : ['--disable-extensions'],
    args: [
      '--headless=new',
      ...(forcedInstall ? [] : loaded),
      `--host-resolver-rules=MAP ${NETWORK_HOST} 127.0.0.1`,
      // Loopback pages count as public sites, as the real pages would.
      `--ip-address-space-overrides=${publicPorts.map((p) => `127.0.0.1:${p}=public`).join(',')}`,
    ],
  });
  const inFrame = (frame) => ({
    evaluate: (fn, arg) => frame.evaluate(fn, arg),
    waitFor: (fn, arg, timeout = TIMEOUT) => frame.waitForFunction(fn, arg, { timeout }),
  });
  const wrap = (page) => ({
    page,
    frame: (url) => findFrame(page, url, inFrame),
    goto: (url) => page.goto(url),
    evaluate: (fn, arg) => page.evaluate(fn, arg),
    waitFor: (fn, arg, timeout = TIMEOUT) => page.waitForFunction(fn, arg, { timeout }),
    click: (selector) => page.click(selector),
    screenshot: (selector) => page.locator(selector).screenshot(),
    close: () => page.close(),
  });
  return {
    name: 'chromium',
    extensionBase: `chrome-extension://${extensionId}/`,
    async openTab(url) {
      const tab = wrap(await context.newPage());
      if (url) await tab.goto(url);
      return tab;
    },
    close: () => context.close(),
  };
}

async function launchFirefox(dir, { env, hostPath, hostIds, userManagedStorage }) {
  const home = join(dir, 'home');
  writeHostManifest('firefox', join(home, '.mozilla', 'native-messaging-hosts'), hostPath, hostIds);
  if (userManagedStorage) {
    // Where any program of the user can give the add-on managed storage (Linux's place).
    const folder = join(home, '.mozilla', 'managed-storage');
    mkdirSync(folder, { recursive: true });
    const manifest = {
      name: IDS.firefox,
      description: 'written by a program',
      type: 'storage',
      data: userManagedStorage,
    };
    writeFileSync(join(folder, `${IDS.firefox}.json`), JSON.stringify(manifest));
  }
  const browser = await puppeteer.launch({
    browser: 'firefox',
    executablePath: '/usr/bin/firefox-esr',
    headless: true,
    userDataDir: join(dir, 'profile'),
    // The harness opens the popup's page in a tab, which WebDriver BiDi refuses for
    // moz-extension: URLs unless given system access.
    env: { ...process.env, ...env, HOME: home, MOZ_REMOTE_ALLOW_SYSTEM_ACCESS: '1' },
    defaultViewport: { width: 800, height: 600, deviceScaleFactor: 1 },
    extraPrefsFirefox: {
      'extensions.webextensions.uuids': JSON.stringify({ [IDS.firefox]: FIREFOX_UUID }),
      'network.dns.localDomains': NETWORK_HOST,
    },
  });
  await browser.installExtension(join(EXTENSION_DIR, 'firefox'));
  const inFrame = (frame) => ({
    evaluate: (fn, arg) => frame.evaluate(fn, arg),
    waitFor: (fn, arg, timeout = TIMEOUT) => frame.waitForFunction(fn, { timeout, polling: 50 }, arg),
  });
  const wrap = (page) => ({
    page,
    frame: (url) => findFrame(page, url, inFrame),
    goto: (url) => (url.startsWith('moz-extension:') ? gotoExtensionPage(page, url) : page.goto(url)),
    evaluate: (fn, arg) => page.evaluate(fn, arg),
    waitFor: (fn, arg, timeout = TIMEOUT) => page.waitForFunction(fn, { timeout, polling: 50 }, arg),
    click: (selector) => page.click(selector),
    screenshot: async (selector) => Buffer.from(await (await page.$(selector)).screenshot()),
    close: () => page.close(),
  });
  return {
    name: 'firefox',
    extensionBase: `moz-extension://${FIREFOX_UUID}/`,
    async openTab(url) {
      const tab = wrap(await browser.newPage());
      if (url) await tab.goto(url);
      return tab;
    },
    close: () => browser.close(),
  };
}

/** The frame (not the top) whose document is at url, once it has loaded, wrapped like a tab. */
async function findFrame(page, url, inFrame) {
  let found = null;
  await waitUntil(
    async () => {
      const frame = page.frames().find((f) => f !== page.mainFrame() && f.url() === url);
      if (!frame) return false;
      const loaded = await frame.evaluate(() => document.readyState === 'complete').catch(() => false);
      if (loaded) found = frame;
      return loaded;
    },
    TIMEOUT,
    `the frame at ${url}`,
  );
  return inFrame(found);
}

// The add-on's pages load in another process and puppeteer misses the end of that
// navigation: start it, then wait for the page itself.
async function gotoExtensionPage(page, url) {
  await page.goto(url, { timeout: 1000 }).catch(() => {});
  await waitUntil(
    () => page.evaluate((u) => location.href === u && document.readyState === 'complete', url).catch(() => false),
    TIMEOUT,
    url,
  );
}

/**
 * Opens the toolbar popup's page in a tab of its own, aimed at the given page's tab (the
 * popup takes the tab's id as ?tab=), and waits for it to show the page's state.
 */
export async function popupFor(session, url) {
  const popup = await session.openTab(`${session.extensionBase}popup.html`);
  const tabId = await waitUntil(
    () =>
      popup.evaluate(async (target) => {
        const api = globalThis.browser ?? globalThis.chrome;
        const tabs = await api.tabs.query({});
        return tabs.find((t) => t.url === target)?.id;
      }, url),
    TIMEOUT,
    `a tab showing ${url}`,
  );
  await popup.goto(`${session.extensionBase}popup.html?tab=${tabId}`);
  await popup.waitFor(() => document.body.dataset.state !== undefined);
  return popup;
}

/**
 * Waits until the popup, aimed at the page at url, says the host runs: by then the host
 * has sent its hello (and registered for device notifications).
 */
export async function waitForHostRunning(session, url) {
  const popup = await popupFor(session, url);
  try {
    await waitUntil(
      async () => {
        const text = await popup.evaluate(() => document.getElementById('host').textContent);
        if (text.startsWith('Reader program running.')) return true;
        await popup.goto(await popup.evaluate(() => location.href));
        return false;
      },
      TIMEOUT,
      'the popup to say the host runs',
    );
  } finally {
    await popup.close();
  }
}

/** Allows the origin of the page at url by clicking in the popup, as a user would. */
export async function allowInPopup(session, url) {
  const popup = await popupFor(session, url);
  await popup.click('#toggle');
  await popup.waitFor(() => document.body.dataset.state === 'allowed');
  await popup.close();
}
