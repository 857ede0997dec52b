// Usage: node check_extension_packages.mjs <source-dir> <build-dir> <unpacked-release-dir>
// The release's extension packages and policy templates, as unpacked from its zip: each
// store zip holds exactly the extension's files with the manifest the store needs, and
// every id the templates name is the one the manifest's key and gecko id give; a signed
// .crx, when there is one, carries the key's id. Prints one
// FAIL line per fault; the exit code is 1 when there was any.
import { execFileSync } from 'node:child_process';
import { createHash } from 'node:crypto';
import { existsSync, mkdtempSync, readFileSync, readdirSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { crxIdOf, crxName } from '../../extension/self-hosted.mjs';

const [root, build, release] = process.argv.slice(2);
let failed = false;
const fail = (text) => {
  console.log(`FAIL: ${text}`);
  failed = true;
};

const source = JSON.parse(readFileSync(join(root, 'extension/manifest.json'), 'utf8'));
const version = source.version;
// Worked out here from the key again, not taken from the build's ids.json.
const chromiumId = [...createHash('sha256').update(Buffer.from(source.key, 'base64')).digest('hex').slice(0, 32)]
  .map((d) => String.fromCharCode(97 + parseInt(d, 16)))
  .join('');
const geckoId = source.browser_specific_settings.gecko.id;
// The stores' ids, as published (empty until then): each browser's template names its own.
const stores = JSON.parse(readFileSync(join(root, 'extension/store-ids.json'), 'utf8'));
const idsIn = { Chrome: [chromiumId, stores.chromeWebStore], Edge: [chromiumId, stores.edgeAddOns] };
for (const browser of Object.keys(idsIn)) idsIn[browser] = idsIn[browser].filter((id) => id);
const sourceFiles = readdirSync(join(root, 'extension/src'));
const generated = ['manifest.json', 'page-names.js', 'pictures.js', 'status_idle.png', 'status_listening.png'];

const zipEntries = (zip) =>
  execFileSync('unzip', ['-Z1', zip], { encoding: 'utf8' }).split('\n').filter(Boolean).sort();
const same = (a, b) => JSON.stringify(a) === JSON.stringify(b);

function unpack(zip) {
  const dir = mkdtempSync(join(tmpdir(), 'tarvx-ext-check-'));
  execFileSync('unzip', ['-q', zip, '-d', dir]);
  return dir;
}

// One store package: its files, nothing else, and the manifest the store takes.
function checkPackage(name, files, checkManifest) {
  const zip = join(release, 'extension', name);
  if (!existsSync(zip)) return fail(`extension/${name} is missing`);
  const entries = zipEntries(zip);
  const expected = [...files].sort();
  if (!same(entries, expected)) {
    fail(`extension/${name} holds ${entries.join(' ')}; expected ${expected.join(' ')}`);
  }
  const dir = unpack(zip);
  try {
    const manifest = JSON.parse(readFileSync(join(dir, 'manifest.json'), 'utf8'));
    if (manifest.manifest_version !== 3) fail(`${name}: manifest_version ${manifest.manifest_version}`);
    if (manifest.version !== version) fail(`${name}: version ${manifest.version}, expected ${version}`);
    if ('key' in manifest) fail(`${name}: the manifest has a key (the stores refuse it)`);
    for (const file of sourceFiles) {
      if (!readFileSync(join(dir, file)).equals(readFileSync(join(root, 'extension/src', file)))) {
        fail(`${name}: ${file} differs from extension/src/${file}`);
      }
    }
    checkManifest(manifest, dir);
  } finally {
    rmSync(dir, { recursive: true, force: true });
  }
}

checkPackage(
  `tarvx-extension-chromium-${version}.zip`,
  [...sourceFiles, ...generated, 'managed_schema.json'],
  (m, dir) => {
    if (m.background?.service_worker !== 'background.js') fail('chromium: no background.service_worker');
    if ('browser_specific_settings' in m) fail('chromium: the manifest has browser_specific_settings');
    if (m.storage?.managed_schema !== 'managed_schema.json') fail('chromium: no storage.managed_schema');
    else if (
      !readFileSync(join(dir, 'managed_schema.json')).equals(readFileSync(join(root, 'extension/managed_schema.json')))
    ) {
      fail('chromium: managed_schema.json differs from extension/managed_schema.json');
    }
  },
);
checkPackage(`tarvx-extension-firefox-${version}.zip`, [...sourceFiles, ...generated], (m) => {
  if (m.browser_specific_settings?.gecko?.id !== geckoId)
    fail(`firefox: gecko id ${m.browser_specific_settings?.gecko?.id}`);
  if (!same(m.background?.scripts, ['background.js'])) fail('firefox: background.scripts is not [background.js]');
  if ('storage' in m) fail('firefox: the manifest has a storage key');
  // AMO takes new add-ons only with their data collection declared; this one collects none.
  if (!same(m.browser_specific_settings?.gecko?.data_collection_permissions, { required: ['none'] })) {
    fail('firefox: data_collection_permissions is not {required: [none]}');
  }
});

// The update manifest for forced installs names the key's id and this version.
const update = join(release, 'extension', 'chromium-update-manifest.xml');
if (!existsSync(update)) fail('extension/chromium-update-manifest.xml is missing');
else {
  const xml = readFileSync(update, 'utf8');
  if (!xml.includes(`appid='${chromiumId}'`)) fail(`chromium-update-manifest.xml does not name ${chromiumId}`);
  if (!xml.includes(`version='${version}'`)) fail(`chromium-update-manifest.xml does not give version ${version}`);
}

// The signed package, when the release made one: the key's id, as the build signed it, and
// the update manifest that names it.
const crxFile = join(release, 'extension', crxName(version));
const signed = join(build, 'extension', 'signed');
if (existsSync(crxFile)) {
  const crx = readFileSync(crxFile);
  let id;
  try {
    id = crxIdOf(crx);
  } catch (e) {
    fail(`extension/${crxName(version)}: ${e.message}`);
  }
  if (id && id !== chromiumId) fail(`extension/${crxName(version)} has the id ${id}, not ${chromiumId}`);
  if (!existsSync(join(signed, crxName(version))) || !crx.equals(readFileSync(join(signed, crxName(version))))) {
    fail(`extension/${crxName(version)} is not the build's extension/signed/${crxName(version)}`);
  } else if (
    existsSync(update) &&
    !readFileSync(update).equals(readFileSync(join(signed, 'chromium-update-manifest.xml')))
  ) {
    fail('extension/chromium-update-manifest.xml is not the one made with the signed package');
  }
}

// The templates: each file as the build wrote it, and the ids in the keys it writes.
const policyDir = join(release, 'policies');
const templates = [
  'chrome-allowed-origins.reg',
  'chrome-remove-allowed-origins.reg',
  'edge-allowed-origins.reg',
  'edge-remove-allowed-origins.reg',
  'chromium-linux-policy.json',
  'firefox-policies.json',
];
for (const name of templates) {
  const file = join(policyDir, name);
  if (!existsSync(file)) {
    fail(`policies/${name} is missing`);
    continue;
  }
  if (!readFileSync(file).equals(readFileSync(join(build, 'extension/policies', name)))) {
    fail(`policies/${name} differs from the build's`);
  }
}
const read = (name) => (existsSync(join(policyDir, name)) ? readFileSync(join(policyDir, name), 'utf8') : null);
const linux = read('chromium-linux-policy.json');
for (const id of linux ? idsIn.Chrome : []) {
  if (!Array.isArray(JSON.parse(linux)['3rdparty']?.extensions?.[id]?.allowedOrigins)) {
    fail(`chromium-linux-policy.json has no allowedOrigins list for ${id}`);
  }
}
const firefox = read('firefox-policies.json');
if (firefox && !Array.isArray(JSON.parse(firefox).policies?.['3rdparty']?.Extensions?.[geckoId]?.allowedOrigins)) {
  fail(`firefox-policies.json has no allowedOrigins list for ${geckoId}`);
}
for (const [browser, root] of [
  ['Chrome', 'Google\\Chrome'],
  ['Edge', 'Microsoft\\Edge'],
]) {
  const name = `${browser.toLowerCase()}-allowed-origins.reg`;
  const reg = read(name);
  if (!reg) continue;
  const keys = [...reg.matchAll(/^\[(HKEY_[^\]]*\\allowedOrigins)\]\r?$/gm)].map((m) => m[1]);
  const expected = idsIn[browser].map(
    (id) => `HKEY_LOCAL_MACHINE\\SOFTWARE\\Policies\\${root}\\3rdparty\\extensions\\${id}\\policy\\allowedOrigins`,
  );
  if (!same([...new Set(keys)].sort(), [...expected].sort())) {
    fail(`${name} writes ${keys.join(', ')}; expected the keys of ${idsIn[browser].join(', ')}`);
  }
}
for (const name of templates.filter((n) => n.endsWith('.reg'))) {
  const text = read(name);
  if (
    text &&
    (!text.startsWith('Windows Registry Editor Version 5.00\r\n') || /[^\r]\n/.test(text) || !text.endsWith('\r\n'))
  ) {
    fail(`policies/${name} is not a regedit file with Windows line ends`);
  }
}

process.exit(failed ? 1 : 0);
