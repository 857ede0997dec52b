// Usage: node msi_tables_test.mjs <msi> <x64|x86|user> <version> <tarvx-host.exe>
// Reads the bridge installer's tables with msiinfo (and its files with msiextract) and
// checks what Windows Installer will do with it: the files, the registry rows in the
// right hive and view, the upgrade code and version, the upgrade rows, the launch
// conditions, the one feature, and no custom actions.
import { execFileSync } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync, statSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';

import { HOST_NAME, WINDOWS_BROWSERS, extensionIds } from '../../extension/names.mjs';

const [msi, variant, version, hostExe] = process.argv.slice(2);
const UPGRADE_CODES = {
  machine: '{B5F37A0D-3BCB-4373-8887-07DD4A09CCA8}',
  user: '{CC29F975-3E33-40A5-A5E5-3099E7CB0E8B}',
};
const COMPONENT_64BIT = 256;
const COMPONENT_REGISTRY_KEY_PATH = 4;
const UPGRADE_ONLY_DETECT = 2;
const UPGRADE_MIN_INCLUSIVE = 256;

const failures = [];
function check(condition, what) {
  if (!condition) failures.push(what);
}

// One table as rows of named columns (msiinfo export: names, types, key line, rows).
function table(name) {
  const lines = execFileSync('msiinfo', ['export', msi, name], { encoding: 'utf8' }).split(/\r?\n/);
  const columns = lines[0].split('\t');
  return lines
    .slice(3)
    .filter((l) => l !== '')
    .map((l) => {
      const cells = l.split('\t');
      return Object.fromEntries(columns.map((c, i) => [c, cells[i] ?? '']));
    });
}

const perUser = variant === 'user';
const properties = Object.fromEntries(table('Property').map((r) => [r.Property, r.Value]));
check(properties.ProductVersion === version, `ProductVersion ${properties.ProductVersion}, expected ${version}`);
check(properties.UpgradeCode === UPGRADE_CODES[perUser ? 'user' : 'machine'], `UpgradeCode ${properties.UpgradeCode}`);
check(
  perUser ? properties.ALLUSERS === undefined : properties.ALLUSERS === '1',
  `ALLUSERS '${properties.ALLUSERS}' for a ${perUser ? 'per-user' : 'per-machine'} package`,
);
const summary = execFileSync('msiinfo', ['suminfo', msi], { encoding: 'utf8' });
const platform = variant === 'x64' ? 'x64' : 'Intel';
check(summary.includes(`Template: ${platform};1033`), `summary template is not ${platform};1033`);
// The word count (msiinfo says "Source"): compressed (2); 8 lets a user without
// administrator rights install the per-user package without an elevation prompt.
const wordCount = Number(/^Source: (\d+)/m.exec(summary)?.[1]);
check(wordCount === (perUser ? 10 : 2), `summary word count ${wordCount}`);

// Files: exactly the host, as built, and the two manifests, in the install folder.
const files = table('File');
const components = Object.fromEntries(table('Component').map((r) => [r.Component, r]));
const fileNames = files.map((f) => f.FileName).sort();
const chromiumFile = `${HOST_NAME}.chromium.json`;
const firefoxFile = `${HOST_NAME}.firefox.json`;
check(
  JSON.stringify(fileNames) === JSON.stringify([chromiumFile, firefoxFile, 'tarvx-host.exe'].sort()),
  `files ${fileNames.join(', ')}`,
);
const host = files.find((f) => f.FileName === 'tarvx-host.exe');
check(host && Number(host.FileSize) === statSync(hostExe).size, 'tarvx-host.exe is not the size of the built host');
for (const f of files) {
  const component = components[f.Component_];
  check(component?.Directory_ === 'INSTALLDIR', `${f.FileName} not in INSTALLDIR`);
  const is64 = (Number(component?.Attributes) & COMPONENT_64BIT) !== 0;
  check(is64 === (variant === 'x64'), `${f.FileName}'s component is ${is64 ? '' : 'not '}64-bit`);
}
const directories = Object.fromEntries(table('Directory').map((r) => [r.Directory, r]));
const base = { x64: 'ProgramFiles64Folder', x86: 'ProgramFilesFolder', user: 'LocalAppDataFolder' }[variant];
let top = directories.INSTALLDIR?.Directory_Parent;
while (top && directories[top]?.Directory_Parent !== 'TARGETDIR') top = directories[top]?.Directory_Parent;
check(top === base, `the install folder is under ${top}, expected ${base}`);

// Registry: per browser, a key named after the host whose default value is the installed
// manifest of its family; HKLM in both views for x64, HKLM for x86, HKCU per user.
const registry = table('Registry');
const expectedViews = variant === 'x64' ? [true, false] : [false];
for (const browser of WINDOWS_BROWSERS) {
  const key = `${browser.key}\\${HOST_NAME}`;
  const rows = registry.filter((r) => r.Key === key);
  const manifest = `${HOST_NAME}.${browser.manifest}.json`;
  const views = rows.map((r) => (Number(components[r.Component_]?.Attributes) & COMPONENT_64BIT) !== 0).sort();
  check(
    JSON.stringify(views) === JSON.stringify([...expectedViews].sort()),
    `${browser.name}: ${rows.length} rows, 64-bit views ${views}`,
  );
  for (const r of rows) {
    check(r.Root === (perUser ? '1' : '2'), `${browser.name}: root ${r.Root}`);
    check(r.Name === '' && r.Value === `[INSTALLDIR]${manifest}`, `${browser.name}: value ${r.Name}=${r.Value}`);
    check(
      (Number(components[r.Component_]?.Attributes) & COMPONENT_REGISTRY_KEY_PATH) !== 0,
      `${browser.name}: the component's key path is not its registry value`,
    );
  }
}
const unexpected = registry.filter((r) => !WINDOWS_BROWSERS.some((b) => r.Key === `${b.key}\\${HOST_NAME}`));
check(
  unexpected.every((r) => perUser && r.Root === '1' && r.Key === 'Software\\Tarvo\\USB IC-card reader bridge'),
  `other registry rows: ${unexpected.map((r) => `${r.Root} ${r.Key}`).join('; ')}`,
);

// Upgrades: every older version (the same first three fields included) is removed; a newer
// one is only detected, and the launch condition refuses then.
const next = version
  .split('.')
  .slice(0, 3)
  .map((n, i) => (i === 2 ? Number(n) + 1 : n))
  .join('.');
const upgrade = table('Upgrade');
const older = upgrade.find((r) => r.ActionProperty === 'TARVX_OLDER_FOUND');
const newer = upgrade.find((r) => r.ActionProperty === 'TARVX_NEWER_FOUND');
check(
  upgrade.every((r) => r.UpgradeCode === properties.UpgradeCode),
  'an upgrade row with another code',
);
check(
  older &&
    older.VersionMin === '0.0.0' &&
    older.VersionMax === next &&
    (Number(older.Attributes) & UPGRADE_ONLY_DETECT) === 0,
  `older versions row ${JSON.stringify(older)}`,
);
check(
  newer &&
    newer.VersionMin === next &&
    newer.VersionMax === '' &&
    (Number(newer.Attributes) & (UPGRADE_ONLY_DETECT | UPGRADE_MIN_INCLUSIVE)) ===
      (UPGRADE_ONLY_DETECT | UPGRADE_MIN_INCLUSIVE),
  `newer versions row ${JSON.stringify(newer)}`,
);
const sequence = Object.fromEntries(table('InstallExecuteSequence').map((r) => [r.Action, Number(r.Sequence)]));
check(
  sequence.FindRelatedProducts < sequence.LaunchConditions,
  'FindRelatedProducts does not come before LaunchConditions',
);
check(
  sequence.RemoveExistingProducts > sequence.InstallValidate &&
    sequence.RemoveExistingProducts < sequence.InstallInitialize,
  'RemoveExistingProducts is not between InstallValidate and InstallInitialize',
);
const conditions = table('LaunchCondition')
  .map((r) => r.Condition)
  .sort();
const expectedConditions = ['NOT TARVX_NEWER_FOUND', ...(variant === 'x86' ? ['NOT VersionNT64'] : [])].sort();
check(JSON.stringify(conditions) === JSON.stringify(expectedConditions), `launch conditions ${conditions.join('; ')}`);

// One feature, Bridge, holding every component; no custom actions (nothing that runs code
// of ours or needs a particular msiexec).
const features = table('Feature');
check(
  features.length === 1 && features[0].Feature === 'Bridge' && features[0].Level === '1',
  'the feature is not Bridge alone',
);
const inFeature = new Set(table('FeatureComponents').map((r) => r.Component_));
check(
  Object.keys(components).every((c) => inFeature.has(c)),
  'a component outside the feature',
);
check(table('CustomAction').length === 0, 'the package has custom actions');

// The installed manifests name our host and extension, and the host by a relative path.
const out = mkdtempSync(join(tmpdir(), 'msi-files-'));
try {
  execFileSync('msiextract', ['-C', out, msi], { encoding: 'utf8' });
  const ids = extensionIds();
  const find = (name) => execFileSync('find', [out, '-name', name], { encoding: 'utf8' }).trim();
  const chromium = JSON.parse(readFileSync(find(chromiumFile), 'utf8'));
  const firefox = JSON.parse(readFileSync(find(firefoxFile), 'utf8'));
  for (const m of [chromium, firefox]) {
    check(m.name === HOST_NAME && m.type === 'stdio' && m.path === 'tarvx-host.exe', `manifest ${JSON.stringify(m)}`);
  }
  check(
    JSON.stringify(chromium.allowed_origins) === JSON.stringify([`chrome-extension://${ids.chromium}/`]) &&
      chromium.allowed_extensions === undefined,
    `Chromium manifest's extensions ${JSON.stringify(chromium)}`,
  );
  check(
    JSON.stringify(firefox.allowed_extensions) === JSON.stringify([ids.firefox]) &&
      firefox.allowed_origins === undefined,
    `Firefox manifest's extensions ${JSON.stringify(firefox)}`,
  );
  check(
    readFileSync(find('tarvx-host.exe')).equals(readFileSync(hostExe)),
    'the packed host differs from the built one',
  );
} finally {
  rmSync(out, { recursive: true, force: true });
}

for (const f of failures) console.log(`FAIL: ${f}`);
if (failures.length === 0) console.log(`${msi}: tables ok (${variant}, ${version})`);
process.exit(failures.length === 0 ? 0 : 1);
