// The extension for Chrome's and Edge's forced installs from the publisher's own server: a
// CRX3 package signed with the publisher's private key, and the update manifest
// (ExtensionInstallForcelist's "<id>;<address of the update manifest>") that names it.
// Chromium packs the CRX itself (--pack-extension), so the format is always the browser's.
import { spawnSync } from 'node:child_process';
import { cpSync, existsSync, mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { createPrivateKey, createPublicKey } from 'node:crypto';
import { tmpdir } from 'node:os';
import { join } from 'node:path';

import { chromiumIdOf, chromiumIdOfHex } from './names.mjs';

export const crxName = (version) => `tarvx-chromium-${version}.crx`;
export const UPDATE_MANIFEST = 'chromium-update-manifest.xml';
// The template's address; the administrator puts the one of the .crx they host in its place.
export const exampleCodebase = (version) => `https://intranet.example/tarvx/${crxName(version)}`;

/** Chrome's update manifest (the gupdate format) for one extension id and version. */
export function updateManifest(id, version, codebase = exampleCodebase(version)) {
  const attribute = (text) => text.replace(/&/g, '&amp;').replace(/'/g, '&apos;').replace(/</g, '&lt;');
  return [
    "<?xml version='1.0' encoding='UTF-8'?>",
    "<gupdate xmlns='http://www.google.com/update2/response' protocol='2.0'>",
    `  <app appid='${id}'>`,
    `    <updatecheck codebase='${attribute(codebase)}' version='${version}' />`,
    '  </app>',
    '</gupdate>',
    '',
  ].join('\n');
}

/** The id Chromium gives an extension signed with this private key (PEM). */
export function idOfPrivateKey(pem) {
  // createPublicKey alone would take a public key too, which cannot sign.
  const spki = createPublicKey(createPrivateKey(pem)).export({ type: 'spki', format: 'der' });
  return chromiumIdOf(spki.toString('base64'));
}

// The CRX3 header is a small protocol buffer (crx3.proto): CrxFileHeader field 10000 holds
// SignedData, whose field 1 is the 16-byte id. Only length-delimited and varint fields
// occur; anything else means the file is not a CRX3 package.
function fields(bytes) {
  const found = new Map();
  let at = 0;
  const varint = () => {
    let value = 0;
    for (let shift = 0; shift < 35; shift += 7) {
      if (at >= bytes.length) throw new Error('truncated');
      const byte = bytes[at++];
      value += (byte & 0x7f) * 2 ** shift;
      if (byte < 0x80) return value;
    }
    throw new Error('varint too long');
  };
  while (at < bytes.length) {
    const tag = varint();
    const [number, type] = [Math.floor(tag / 8), tag % 8];
    if (type === 0) {
      varint();
      continue;
    }
    if (type !== 2) throw new Error(`field ${number} has wire type ${type}`);
    const length = varint();
    if (at + length > bytes.length) throw new Error('truncated');
    if (!found.has(number)) found.set(number, bytes.subarray(at, at + length));
    at += length;
  }
  return found;
}

/** The id a CRX3 package carries in its signed header; throws when it is not one. */
export function crxIdOf(crx) {
  if (crx.length < 12 || crx.toString('latin1', 0, 4) !== 'Cr24') throw new Error('not a CRX file');
  if (crx.readUInt32LE(4) !== 3) throw new Error(`CRX version ${crx.readUInt32LE(4)}, not 3`);
  const size = crx.readUInt32LE(8);
  if (12 + size > crx.length) throw new Error('the CRX header is truncated');
  const signed = fields(crx.subarray(12, 12 + size)).get(10000);
  const id = signed && fields(signed).get(1);
  if (!id || id.length !== 16) throw new Error('the CRX header has no id');
  return chromiumIdOfHex(id.toString('hex'));
}

/**
 * Packs extensionDir with the private key in keyFile (PEM) using Chromium; returns the
 * CRX's bytes and id. Throws with Chromium's own words when it packs nothing.
 */
export function packCrx(extensionDir, keyFile, chromium = '/usr/bin/chromium') {
  const work = mkdtempSync(join(tmpdir(), 'tarvx-crx-'));
  try {
    // Chromium writes <folder>.crx beside the folder it packs.
    const folder = join(work, 'extension');
    cpSync(extensionDir, folder, { recursive: true });
    const run = spawnSync(
      chromium,
      [
        '--headless=new',
        '--no-sandbox',
        '--no-message-box',
        `--user-data-dir=${join(work, 'profile')}`,
        `--pack-extension=${folder}`,
        `--pack-extension-key=${keyFile}`,
      ],
      { encoding: 'utf8', timeout: 120000 },
    );
    const crxFile = `${folder}.crx`;
    if (run.error || !existsSync(crxFile)) {
      const said = (run.error?.message ?? run.stderr ?? '').trim().split('\n').slice(-3).join('\n');
      throw new Error(`${chromium} packed no CRX (exit ${run.status}): ${said}`);
    }
    const crx = readFileSync(crxFile);
    return { crx, id: crxIdOf(crx) };
  } finally {
    rmSync(work, { recursive: true, force: true });
  }
}
