// The self-hosted package's pieces without a browser: the packer's refusals (which come
// before Chromium is asked to pack anything), the reading of a CRX3 header's id, and the
// update manifest's text. Packing and installing are tested in Chromium (self-hosted.test.mjs).
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { generateKeyPairSync } from 'node:crypto';
import { existsSync, mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { test } from 'node:test';
import { chromiumIdOf } from '../../../extension/names.mjs';
import { crxIdOf, idOfPrivateKey, updateManifest } from '../../../extension/self-hosted.mjs';

const REPOSITORY = new URL('../../..', import.meta.url).pathname;
const PACK_CRX = join(REPOSITORY, 'extension', 'pack-crx.mjs');
const EXTENSION = join(REPOSITORY, 'extension');

const pem = () =>
  generateKeyPairSync('rsa', { modulusLength: 1024 }).privateKey.export({ type: 'pkcs8', format: 'pem' });

test('the packer refuses, before packing, a key it must not use; it writes nothing', () => {
  const outside = mkdtempSync(join(tmpdir(), 'tarvx-pack-crx-'));
  const inside = mkdtempSync(join(REPOSITORY, '.tarvx-pack-crx-test-'));
  try {
    const key = pem();
    const keyId = idOfPrivateKey(key);
    writeFileSync(join(outside, 'key.pem'), key);
    writeFileSync(join(inside, 'key.pem'), key);
    writeFileSync(
      join(outside, 'public.pem'),
      generateKeyPairSync('rsa', { modulusLength: 1024 }).publicKey.export({
        type: 'spki',
        format: 'pem',
      }),
    );
    const cases = [
      { why: 'inside the repository', key: join(inside, 'key.pem'), expect: keyId, says: 'is inside the repository' },
      {
        why: 'of another id than the manifest key',
        key: join(outside, 'key.pem'),
        expect: 'dbmpofebjddfgkppjlaecahjlgmnjlhg',
        says: `gives the extension the id ${keyId}, but manifest.json's key gives dbmpofebjddfgkppjlaecahjlgmnjlhg`,
      },
      { why: 'a public key', key: join(outside, 'public.pem'), expect: keyId, says: 'is not a private key' },
      { why: 'missing', key: join(outside, 'none.pem'), expect: keyId, says: 'cannot read the private key' },
    ];
    for (const c of cases) {
      const out = join(outside, 'out');
      const run = spawnSync(
        process.execPath,
        [PACK_CRX, '--extension', EXTENSION, '--key', c.key, '--out', out, '--expect-id', c.expect],
        { encoding: 'utf8' },
      );
      assert.equal(run.status, 1, `${c.why}: ${run.stderr}`);
      assert.ok(run.stderr.includes(c.says), `${c.why}: ${run.stderr}`);
      assert.equal(existsSync(out), false, c.why);
    }
  } finally {
    rmSync(outside, { recursive: true, force: true });
    rmSync(inside, { recursive: true, force: true });
  }
});

// A CRX3 header as crx3.proto lays it out: a key proof (field 2) the reader must step over,
// then the signed data (field 10000) holding the 16-byte id (field 1).
function crx3({ version = 3, id = Buffer.alloc(16, 0x5a), cut = 0 } = {}) {
  const varint = (n) => {
    const bytes = [];
    for (; n >= 0x80; n = Math.floor(n / 128)) bytes.push((n % 128) | 0x80);
    return Buffer.from([...bytes, n]);
  };
  const field = (number, bytes) => Buffer.concat([varint(number * 8 + 2), varint(bytes.length), bytes]);
  const proof = field(2, Buffer.concat([field(1, Buffer.alloc(300, 1)), field(2, Buffer.alloc(256, 2))]));
  const header = Buffer.concat([proof, field(10000, field(1, id))]);
  const prefix = Buffer.alloc(12);
  prefix.write('Cr24', 0, 'latin1');
  prefix.writeUInt32LE(version, 4);
  prefix.writeUInt32LE(header.length, 8);
  const whole = Buffer.concat([prefix, header, Buffer.from('PK\x03\x04')]);
  return whole.subarray(0, whole.length - cut);
}

test("a CRX3 header's id is read as Chromium writes ids; anything else is refused", () => {
  const id = Buffer.from('00112233445566778899aabbccddeeff', 'hex');
  assert.equal(crxIdOf(crx3({ id })), 'aabbccddeeffgghhiijjkkllmmnnoopp');
  const refused = [
    { why: 'not a CRX', crx: Buffer.from('PK\x03\x04 a zip, not a crx'), says: /not a CRX file/ },
    { why: 'CRX2', crx: crx3({ version: 2 }), says: /CRX version 2, not 3/ },
    { why: 'a truncated header', crx: crx3({ cut: 20 }), says: /truncated/ },
    { why: 'a short id', crx: crx3({ id: Buffer.alloc(15) }), says: /no id/ },
  ];
  for (const c of refused) assert.throws(() => crxIdOf(c.crx), c.says, c.why);
});

test("a private key's id is the id of its public part", () => {
  const { privateKey, publicKey } = generateKeyPairSync('rsa', { modulusLength: 1024 });
  const spki = publicKey.export({ type: 'spki', format: 'der' }).toString('base64');
  assert.equal(idOfPrivateKey(privateKey.export({ type: 'pkcs8', format: 'pem' })), chromiumIdOf(spki));
});

test('the update manifest writes the address as an XML attribute', () => {
  const xml = updateManifest('aabbccddeeffgghhiijjkkllmmnnoopp', '1.2.3.4', "https://x.example/get?a=1&b='2'<");
  assert.match(xml, /codebase='https:\/\/x\.example\/get\?a=1&amp;b=&apos;2&apos;&lt;' version='1\.2\.3\.4'/);
  assert.match(xml, /<app appid='aabbccddeeffgghhiijjkkllmmnnoopp'>/);
});
