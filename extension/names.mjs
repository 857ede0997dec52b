// The bridge's names in one place: the native messaging host's name, the extension's ids
// (Chromium's derived from the manifest's key, the stores' from store-ids.json, Firefox's
// add-on id) and the host manifest each browser family reads. build.mjs, the installer (installer/) and tarvx-diag's
// generated header (bridge-names.mjs) all take them from here, so they cannot drift.
import { createHash } from 'node:crypto';
import { readFileSync } from 'node:fs';
import { join } from 'node:path';

import { HOST_NAME } from './src/names.js';

export * from './src/names.js';
export const HOST_DESCRIPTION = 'Tarvo USB IC-card reader';

// Where each browser looks on Windows (under HKLM and HKCU): a key named after the host
// whose default value is the manifest's path. `manifest` is the family whose manifest it
// reads; Edge reads Chromium's.
// `policies` is where the browser reads its policies (under HKLM and HKCU).
export const WINDOWS_BROWSERS = [
  {
    name: 'Chrome',
    key: 'Software\\Google\\Chrome\\NativeMessagingHosts',
    manifest: 'chromium',
    policies: 'SOFTWARE\\Policies\\Google\\Chrome',
  },
  {
    name: 'Edge',
    key: 'Software\\Microsoft\\Edge\\NativeMessagingHosts',
    manifest: 'chromium',
    policies: 'SOFTWARE\\Policies\\Microsoft\\Edge',
  },
  {
    name: 'Firefox',
    key: 'Software\\Mozilla\\NativeMessagingHosts',
    manifest: 'firefox',
    policies: 'SOFTWARE\\Policies\\Mozilla\\Firefox',
  },
];

// The ids our extension can have in one of WINDOWS_BROWSERS.
export function extensionIdsIn(browser, ids = extensionIds()) {
  return browser.manifest === 'firefox' ? [ids.firefox] : chromiumIdsOf(ids, browser.name);
}

// The installed manifests' file names, beside tarvx-host.exe.
export function installedManifestName(family) {
  return `${HOST_NAME}.${family}.json`;
}

const source = new URL('.', import.meta.url).pathname;

export function readSourceManifest() {
  return JSON.parse(readFileSync(join(source, 'manifest.json'), 'utf8'));
}

// Chromium derives the id from the public key: the SHA-256 of its DER bytes, the first
// 32 hex digits written with the letters a to p.
export function chromiumIdOf(key) {
  return chromiumIdOfHex(createHash('sha256').update(Buffer.from(key, 'base64')).digest('hex').slice(0, 32));
}

// An id's 32 hex digits written with the letters a to p.
export function chromiumIdOfHex(hex) {
  return [...hex].map((d) => String.fromCharCode(97 + parseInt(d, 16))).join('');
}

const CHROMIUM_ID = /^[a-p]{32}$/;

// The ids the stores give the extension (store-ids.json), filled in when it is first
// published there; an empty string until then, never a guess.
export function parseStoreIds(text) {
  const stores = JSON.parse(text);
  const known = ['chromeWebStore', 'edgeAddOns'];
  for (const name of Object.keys(stores)) {
    if (!known.includes(name)) throw new Error(`store-ids.json: unknown entry ${JSON.stringify(name)}`);
  }
  for (const store of known) {
    const id = stores[store];
    if (typeof id !== 'string' || (id !== '' && !CHROMIUM_ID.test(id))) {
      throw new Error(
        `store-ids.json: ${store} is ${JSON.stringify(id)}, not an extension id (32 letters a to p) or ""`,
      );
    }
  }
  return { chromeWebStore: stores.chromeWebStore, edgeAddOns: stores.edgeAddOns };
}

export function readStoreIds() {
  return parseStoreIds(readFileSync(join(source, 'store-ids.json'), 'utf8'));
}

// The extension's identities, one per way it reaches a browser:
//   chromium        the id its manifest key gives it: unpacked, and packed for your own server
//   chromeWebStore  from the Chrome Web Store ("" until published there)
//   edgeAddOns      from Edge Add-ons ("" until published there)
//   firefox         its add-on id, the same from AMO and from your own server
export function extensionIds(manifest = readSourceManifest(), stores = readStoreIds()) {
  return {
    chromium: chromiumIdOf(manifest.key),
    chromeWebStore: stores.chromeWebStore,
    edgeAddOns: stores.edgeAddOns,
    firefox: manifest.browser_specific_settings.gecko.id,
  };
}

// The ids an extension of ours can have in a browser: 'Chrome' or 'Edge', or every
// Chromium-family one when no browser is named. The key's id first; no empty entries.
export function chromiumIdsOf(ids, browser) {
  const stores = { Chrome: [ids.chromeWebStore], Edge: [ids.edgeAddOns] }[browser] ?? [
    ids.chromeWebStore,
    ids.edgeAddOns,
  ];
  return [...new Set([ids.chromium, ...stores].filter((id) => id))];
}

// The host manifest for 'chromium' (Chrome, Edge) or 'firefox', starting the host at `path`:
// it allows every id our extension can have in that family.
export function hostManifest(browser, path, ids = extensionIds()) {
  const allowed =
    browser === 'firefox'
      ? { allowed_extensions: [ids.firefox] }
      : { allowed_origins: chromiumIdsOf(ids).map((id) => `chrome-extension://${id}/`) };
  return { name: HOST_NAME, description: HOST_DESCRIPTION, path, type: 'stdio', ...allowed };
}

export function hostManifestText(browser, path, ids) {
  return `${JSON.stringify(hostManifest(browser, path, ids), null, 2)}\n`;
}
