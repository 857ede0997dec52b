// Usage: node msi_tables_test.mjs <msi> <x64|x86|user> <version> <tarvx-host.exe>
//                                  <tarvx-diag.exe> <32-bit npTARVX.dll> <64-bit npTARVX.dll or ->
// Reads the installer's tables with msiinfo (and its files with msiextract) and checks
// what Windows Installer will do with it: the files, the registry rows in the right hive
// and view, the upgrade code and version, the upgrade rows, the launch conditions, the
// two features and what each holds, and no custom actions.
import { execFileSync } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync, statSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';

import { HOST_NAME, WINDOWS_BROWSERS, chromiumIdsOf, extensionIds } from '../../extension/names.mjs';
import { Checks } from '../support/checks.mjs';

const [msi, variant, version, hostExe, diagExe, plugin32, plugin64] = process.argv.slice(2);
const UPGRADE_CODES = {
  machine: '{B5F37A0D-3BCB-4373-8887-07DD4A09CCA8}',
  user: '{CC29F975-3E33-40A5-A5E5-3099E7CB0E8B}',
};
const COMPONENT_64BIT = 256;
const COMPONENT_REGISTRY_KEY_PATH = 4;
const UPGRADE_ONLY_DETECT = 2;
const UPGRADE_MIN_INCLUSIVE = 256;
const UPGRADE_MIGRATE_FEATURES = 1;

// One check per part of the package below; each condition a problem of the part in progress.
const checks = new Checks(process.argv[1]);
checks.plan(9);
const check = (condition, what) => checks.expect(condition, what);

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
checks.done('product properties and summary');

// Files: exactly the host, as built, and the two manifests in the bridge's folder; the
// 32-bit plug-in in the plug-in's folder and the 64-bit one in its x64 folder (not in the
// package for 32-bit Windows); tarvx-diag.exe in the vendor folder. Each file as built.
const files = table('File');
const components = Object.fromEntries(table('Component').map((r) => [r.Component, r]));
const chromiumFile = `${HOST_NAME}.chromium.json`;
const firefoxFile = `${HOST_NAME}.firefox.json`;
const expectedFiles = [
  { name: 'tarvx-diag.exe', directory: 'VendorFolder', built: diagExe },
  { name: 'tarvx-host.exe', directory: 'INSTALLDIR', built: hostExe },
  { name: chromiumFile, directory: 'INSTALLDIR' },
  { name: firefoxFile, directory: 'INSTALLDIR' },
  { name: 'npTARVX.dll', directory: 'PLUGINDIR', built: plugin32 },
  ...(variant === 'x86' ? [] : [{ name: 'npTARVX.dll', directory: 'PLUGINDIR64', built: plugin64 }]),
];
const describeFile = (f) => `${f.directory}\\${f.name}`;
const actualFiles = files.map((f) => ({ file: f, directory: components[f.Component_]?.Directory_, name: f.FileName }));
check(
  JSON.stringify(actualFiles.map(describeFile).sort()) === JSON.stringify(expectedFiles.map(describeFile).sort()),
  `files ${actualFiles.map(describeFile).join(', ')}`,
);
for (const expected of expectedFiles.filter((f) => f.built)) {
  const actual = actualFiles.find((f) => describeFile(f) === describeFile(expected));
  check(
    actual && Number(actual.file.FileSize) === statSync(expected.built).size,
    `${describeFile(expected)} is not the size of ${expected.built}`,
  );
}
for (const f of files) {
  const is64 = (Number(components[f.Component_]?.Attributes) & COMPONENT_64BIT) !== 0;
  check(is64 === (variant === 'x64'), `${f.FileName}'s component is ${is64 ? '' : 'not '}64-bit`);
}
const directories = Object.fromEntries(table('Directory').map((r) => [r.Directory, r]));
const base = { x64: 'ProgramFiles64Folder', x86: 'ProgramFilesFolder', user: 'LocalAppDataFolder' }[variant];
let top = directories.INSTALLDIR?.Directory_Parent;
while (top && directories[top]?.Directory_Parent !== 'TARGETDIR') top = directories[top]?.Directory_Parent;
check(top === base, `the install folder is under ${top}, expected ${base}`);
check(
  directories.PLUGINDIR?.Directory_Parent === directories.INSTALLDIR?.Directory_Parent &&
    directories.PLUGINDIR?.DefaultDir === 'npTARVX',
  `the plug-in's folder is not Tarvo\\npTARVX: ${JSON.stringify(directories.PLUGINDIR)}`,
);
if (variant !== 'x86') {
  check(
    directories.PLUGINDIR64?.Directory_Parent === 'PLUGINDIR' && directories.PLUGINDIR64?.DefaultDir === 'x64',
    `the 64-bit plug-in's folder is not npTARVX\\x64: ${JSON.stringify(directories.PLUGINDIR64)}`,
  );
}
checks.done('files, as built, and folders');

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
checks.done("the browsers' keys");
// The plug-in's registrations, as the release package's .reg files write them: per machine
// the 32-bit view for 32-bit browsers and, on 64-bit Windows, the 64-bit view for 64-bit
// ones; per user one HKCU key each, the 64-bit one under a name of its own.
const pluginKey = (name) => `Software\\MozillaPlugins\\${name},version=${version}`;
const registrations = [
  { key: pluginKey('@tarvo/npTARVX'), view64: false, folder: 'PLUGINDIR' },
  ...{
    x64: [{ key: pluginKey('@tarvo/npTARVX'), view64: true, folder: 'PLUGINDIR64' }],
    x86: [],
    user: [{ key: pluginKey('@tarvo/npTARVX-x64'), view64: false, folder: 'PLUGINDIR64' }],
  }[variant],
];
const pluginRows = registry.filter((r) => r.Key.startsWith('Software\\MozillaPlugins\\'));
for (const { key, view64, folder } of registrations) {
  const rows = pluginRows.filter(
    (r) => r.Key === key && (Number(components[r.Component_]?.Attributes) & COMPONENT_64BIT) === (view64 ? 256 : 0),
  );
  const values = Object.fromEntries(rows.map((r) => [r.Name, r.Value]));
  const expected = {
    Path: `[${folder}]npTARVX.dll`,
    ProductName: 'TarvoUsbICReaderPlugIn',
    Description: 'TarvoUsbICReader plugin',
    Version: version,
  };
  const what = `${key} (${view64 ? '64' : '32'}-bit view)`;
  check(JSON.stringify(values) === JSON.stringify(expected), `${what}: ${JSON.stringify(values)}`);
  check(
    rows.every((r) => r.Root === (perUser ? '1' : '2')),
    `${what}: root ${rows.map((r) => r.Root)}`,
  );
  const pathRow = rows.find((r) => r.Name === 'Path');
  check(
    pathRow && components[pathRow.Component_]?.KeyPath === pathRow.Registry,
    `${what}: Path is not its component's key path`,
  );
}
check(
  pluginRows.length === registrations.length * 4,
  `MozillaPlugins rows: ${pluginRows.map((r) => `${r.Key} ${r.Name}`).join('; ')}`,
);
checks.done("the plug-in's keys");

const unexpected = registry.filter(
  (r) => !pluginRows.includes(r) && !WINDOWS_BROWSERS.some((b) => r.Key === `${b.key}\\${HOST_NAME}`),
);
check(
  unexpected.every((r) => perUser && r.Root === '1' && r.Key === 'Software\\Tarvo\\USB IC-card reader bridge'),
  `other registry rows: ${unexpected.map((r) => `${r.Root} ${r.Key}`).join('; ')}`,
);
checks.done('no other registry rows');

// Upgrades: every older version (the same first three fields included) is removed, its
// features' states carried over; a newer one is only detected, and the launch condition
// refuses then.
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
    (Number(older.Attributes) & UPGRADE_ONLY_DETECT) === 0 &&
    (Number(older.Attributes) & UPGRADE_MIGRATE_FEATURES) !== 0,
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
checks.done('upgrade rows and their place in the sequence');
const conditions = table('LaunchCondition')
  .map((r) => r.Condition)
  .sort();
const expectedConditions = ['NOT TARVX_NEWER_FOUND', ...(variant === 'x86' ? ['NOT VersionNT64'] : [])].sort();
check(JSON.stringify(conditions) === JSON.stringify(expectedConditions), `launch conditions ${conditions.join('; ')}`);
checks.done('launch conditions');

// Two features, Bridge and Plugin, both installed by default; each component in the
// feature of its folder (the vendor folder's in both, as either may be installed alone);
// no custom actions (nothing that runs code of ours or needs a particular msiexec).
const features = table('Feature');
check(
  JSON.stringify(features.map((f) => `${f.Feature}:${f.Level}:${f.Feature_Parent}`).sort()) ===
    JSON.stringify(['Bridge:1:', 'Plugin:1:']),
  `features ${features.map((f) => `${f.Feature} level ${f.Level}`).join(', ')}`,
);
const featureOf = {};
for (const r of table('FeatureComponents')) (featureOf[r.Component_] ??= []).push(r.Feature_);
for (const [name, component] of Object.entries(components)) {
  const expected = {
    VendorFolder: ['Bridge', 'Plugin'],
    INSTALLDIR: ['Bridge'],
    PLUGINDIR: ['Plugin'],
    PLUGINDIR64: ['Plugin'],
  }[component.Directory_];
  check(
    JSON.stringify((featureOf[name] ?? []).sort()) === JSON.stringify(expected),
    `${name} (in ${component.Directory_}) is in ${featureOf[name] ?? 'no feature'}`,
  );
  // The per-user package also serves 32-bit Windows, where the 64-bit plug-in stays out.
  const condition = variant === 'user' && component.Directory_ === 'PLUGINDIR64' && !name.startsWith('UserPluginDir');
  check(component.Condition === (condition ? 'VersionNT64' : ''), `${name}: condition '${component.Condition}'`);
}
check(table('CustomAction').length === 0, 'the package has custom actions');
checks.done('two features, each component in its own, no custom actions');

// The installed manifests name our host and every id of our extension, and the host by a
// relative path.
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
    JSON.stringify(chromium.allowed_origins) ===
      JSON.stringify(chromiumIdsOf(ids).map((id) => `chrome-extension://${id}/`)) &&
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
  // The two plug-ins share a name: tell them apart by their folders.
  const dlls = find('npTARVX.dll').split('\n').filter(Boolean);
  const packed64 = dlls.filter((p) => p.includes('/x64/'));
  const packed32 = dlls.filter((p) => !p.includes('/x64/'));
  check(
    packed32.length === 1 && readFileSync(packed32[0]).equals(readFileSync(plugin32)),
    'the packed 32-bit plug-in differs from the built one',
  );
  check(
    variant === 'x86'
      ? packed64.length === 0
      : packed64.length === 1 && readFileSync(packed64[0]).equals(readFileSync(plugin64)),
    'the packed 64-bit plug-in differs from the built one',
  );
} finally {
  rmSync(out, { recursive: true, force: true });
}

checks.done('the packed manifests and plug-ins');
process.exitCode = checks.end();
