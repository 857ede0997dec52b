// The bridge's names in one place: the native messaging host's name, the extension's ids
// (Chromium's derived from the manifest's key, Firefox's add-on id) and the host manifest
// each browser family reads. build.mjs, the installer (installer/) and tarvx-diag's
// generated header (bridge-names.mjs) all take them from here, so they cannot drift.
import { createHash } from 'node:crypto';
import { readFileSync } from 'node:fs';
import { join } from 'node:path';

export const HOST_NAME = 'com.tarvo.usbicreader';
export const HOST_DESCRIPTION = 'Tarvo USB IC-card reader';

// Where each browser looks on Windows (under HKLM and HKCU): a key named after the host
// whose default value is the manifest's path. `manifest` is the family whose manifest it
// reads; Edge reads Chromium's.
export const WINDOWS_BROWSERS = [
  { name: 'Chrome', key: 'Software\\Google\\Chrome\\NativeMessagingHosts', manifest: 'chromium' },
  { name: 'Edge', key: 'Software\\Microsoft\\Edge\\NativeMessagingHosts', manifest: 'chromium' },
  { name: 'Firefox', key: 'Software\\Mozilla\\NativeMessagingHosts', manifest: 'firefox' },
];

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
  const hex = createHash('sha256').update(Buffer.from(key, 'base64')).digest('hex').slice(0, 32);
  return [...hex].map((d) => String.fromCharCode(97 + parseInt(d, 16))).join('');
}

export function extensionIds(manifest = readSourceManifest()) {
  return { chromium: chromiumIdOf(manifest.key), firefox: manifest.browser_specific_settings.gecko.id };
}

// The host manifest for 'chromium' (Chrome, Edge) or 'firefox', starting the host at `path`.
export function hostManifest(browser, path, ids = extensionIds()) {
  const allowed =
    browser === 'firefox'
      ? { allowed_extensions: [ids.firefox] }
      : { allowed_origins: [`chrome-extension://${ids.chromium}/`] };
  return { name: HOST_NAME, description: HOST_DESCRIPTION, path, type: 'stdio', ...allowed };
}

export function hostManifestText(browser, path, ids) {
  return `${JSON.stringify(hostManifest(browser, path, ids), null, 2)}\n`;
}
