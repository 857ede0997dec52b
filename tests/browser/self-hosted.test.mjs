// The signed package for forced installs from the publisher's own server, made as the
// release makes it (extension/pack-crx.mjs) with a key generated for the test, and installed
// by Chromium from a loopback update URL through the machine's forcelist policy, written as
// an administrator writes it.
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { generateKeyPairSync } from 'node:crypto';
import { once } from 'node:events';
import { mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { createServer } from 'node:http';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { after, before, describe, test } from 'node:test';
import { setTimeout as sleep } from 'node:timers/promises';
import { UPDATE_MANIFEST, crxIdOf, crxName, idOfPrivateKey, updateManifest } from '../../extension/self-hosted.mjs';
import { BUILD_DIR, IDS } from './support/browsers.mjs';
import { Fixture } from './support/fixture.mjs';
import { NO_TRACE, traceOfUs } from './support/pageState.mjs';
import { writePolicyFile } from './support/policies.mjs';
import { waitUntil } from './support/wait.mjs';

const BROWSERS = (process.env.TARVX_BROWSERS ?? 'chromium,firefox').split(',');
const STORE_PACKAGE = join(BUILD_DIR, 'extension', 'chromium-store');
const VERSION = JSON.parse(readFileSync(join(STORE_PACKAGE, 'manifest.json'), 'utf8')).version;
const PACK_CRX = new URL('../../extension/pack-crx.mjs', import.meta.url).pathname;
// Long enough for Chromium to have installed a package it fetched, or a page to have had our
// scripts, were either to happen.
const QUIET_MS = 3000;

function newKey(dir, name) {
  const { privateKey } = generateKeyPairSync('rsa', { modulusLength: 2048 });
  const file = join(dir, `${name}.pem`);
  writeFileSync(file, privateKey.export({ type: 'pkcs8', format: 'pem' }));
  return file;
}

/** The release's packer: the .crx and its update manifest in out, for this key's id. */
function packAsTheRelease(key, out, codebase) {
  const id = idOfPrivateKey(readFileSync(key));
  execFileSync(
    'node',
    [PACK_CRX, '--extension', STORE_PACKAGE, '--key', key, '--out', out, '--expect-id', id, '--codebase', codebase],
    { stdio: 'pipe' },
  );
  return id;
}

/** Serves one folder's files on loopback, recording what was asked for. */
async function serveFolder(dir) {
  const asked = [];
  const server = createServer((request, response) => {
    const name = new URL(request.url, 'http://x').pathname.slice(1);
    asked.push(name);
    try {
      response.writeHead(200).end(readFileSync(join(dir, name)));
    } catch {
      response.writeHead(404).end();
    }
  });
  server.listen(0, '127.0.0.1');
  await once(server, 'listening');
  const base = `http://127.0.0.1:${server.address().port}`;
  return { base, asked, close: () => server.close() };
}

/** chrome://extensions-internals' record of the extension with this id, or undefined. */
async function installed(session, id) {
  const tab = await session.openTab('chrome://extensions-internals');
  try {
    return JSON.parse(await tab.evaluate(() => document.body.innerText)).find((e) => e.id === id);
  } finally {
    await tab.close();
  }
}

describe('Chromium: the signed package from our own server', { skip: !BROWSERS.includes('chromium') }, () => {
  let dir;
  const keys = {};
  before(() => {
    dir = mkdtempSync(join(tmpdir(), 'tarvx-self-hosted-'));
    keys.publisher = newKey(dir, 'publisher');
    keys.another = newKey(dir, 'another');
  });
  after(() => rmSync(dir, { recursive: true, force: true }));

  test("the CRX carries the key's id, and the update manifest names it, the version and the address", () => {
    const out = join(dir, 'packed');
    const codebase = `https://kiosks.example/tarvx/${crxName(VERSION)}`;
    const id = packAsTheRelease(keys.publisher, out, codebase);
    assert.notEqual(id, IDS.chromium, 'the test key stands in for a publisher key of its own');
    assert.equal(crxIdOf(readFileSync(join(out, crxName(VERSION)))), id);
    assert.equal(readFileSync(join(out, UPDATE_MANIFEST), 'utf8'), updateManifest(id, VERSION, codebase));
    assert.match(updateManifest(id, VERSION, codebase), new RegExp(`<app appid='${id}'>`));
    assert.match(updateManifest(id, VERSION, codebase), new RegExp(`codebase='${codebase}' version='${VERSION}'`));
  });

  const cases = [
    { why: "signed with the key of the policy's id", signedBy: 'publisher', installs: true },
    { why: 'signed with another key', signedBy: 'another', installs: false },
  ];
  for (const c of cases) {
    test(`through the forcelist policy, a package ${c.why} is ${c.installs ? 'installed' : 'refused'}`, async () => {
      const site = join(dir, `site-${c.signedBy}`);
      const files = await serveFolder(site);
      const codebase = `${files.base}/${crxName(VERSION)}`;
      packAsTheRelease(keys[c.signedBy], site, codebase);
      // The update manifest always names the publisher's id, as the policy does.
      const id = idOfPrivateKey(readFileSync(keys.publisher));
      writeFileSync(join(site, UPDATE_MANIFEST), updateManifest(id, VERSION, codebase));
      const restore = writePolicyFile('chromium', {
        ExtensionInstallForcelist: [`${id};${files.base}/${UPDATE_MANIFEST}`],
      });
      const f = await Fixture.start('chromium', { launchOptions: { forcedInstall: { id } } });
      try {
        if (c.installs) {
          let record;
          await waitUntil(
            async () => (record = await installed(f.session, id))?.registry_status === 'ENABLED',
            15000,
            'the forced extension',
          );
          assert.equal(record.location, 'EXTERNAL_POLICY_DOWNLOAD');
          assert.equal(record.version, VERSION);
          // Forced onto the machine, it still shows a page of an origin nobody allowed nothing.
          const page = await f.session.openTab(f.other.url('/pages/recorder.html'));
          await sleep(QUIET_MS);
          assert.deepEqual(await traceOfUs(page), NO_TRACE);
          assert.equal(f.host.instances.length, 0);
        } else {
          await waitUntil(async () => files.asked.includes(crxName(VERSION)), 15000, 'the .crx to be fetched');
          await sleep(QUIET_MS);
          assert.equal(await installed(f.session, id), undefined);
        }
        assert.ok(files.asked.includes(UPDATE_MANIFEST), 'the update manifest came from the policy address');
      } finally {
        await f.close();
        restore();
        files.close();
      }
    });
  }
});
