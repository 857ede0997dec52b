// The signed package for Chrome's and Edge's forced installs from the publisher's server:
//   node pack-crx.mjs --extension <unpacked extension> --key <private key, PEM>
//                     --out <dir> --expect-id <id> [--codebase <address of the .crx>]
// writes <out>/tarvx-chromium-<version>.crx and <out>/chromium-update-manifest.xml naming
// it. The key must be the one whose public part is manifest.json's `key` (--expect-id is
// that id): under any other id the browsers would not start the host for the extension.
// The key is refused inside the repository, so that it is never committed.
import { mkdirSync, readFileSync, realpathSync, writeFileSync } from 'node:fs';
import { join, relative, isAbsolute } from 'node:path';
import { parseArgs } from 'node:util';

import { UPDATE_MANIFEST, crxName, exampleCodebase, idOfPrivateKey, packCrx, updateManifest } from './self-hosted.mjs';

const { values: args } = parseArgs({
  options: {
    extension: { type: 'string' },
    key: { type: 'string' },
    out: { type: 'string' },
    'expect-id': { type: 'string' },
    codebase: { type: 'string' },
  },
});

function refuse(text) {
  console.error(`pack-crx: ${text}`);
  process.exit(1);
}

for (const name of ['extension', 'key', 'out', 'expect-id']) {
  if (!args[name]) refuse(`--${name} is required`);
}
let keyPath;
let pem;
try {
  keyPath = realpathSync(args.key);
  pem = readFileSync(keyPath);
} catch (e) {
  refuse(`cannot read the private key ${args.key}: ${e.message}`);
}
const repository = realpathSync(new URL('..', import.meta.url).pathname);
const inside = relative(repository, keyPath);
if (!inside.startsWith('..') && !isAbsolute(inside)) {
  refuse(`the private key ${keyPath} is inside the repository; keep it outside, where it cannot be committed`);
}
let id;
try {
  id = idOfPrivateKey(pem);
} catch (e) {
  refuse(`${args.key} is not a private key in PEM form: ${e.message}`);
}
if (id !== args['expect-id']) {
  refuse(
    `the key ${args.key} gives the extension the id ${id}, but manifest.json's key gives ${args['expect-id']}, ` +
      "the id the host manifests allow: pack with the private key of manifest.json's key, or put this key's " +
      'public part in manifest.json and build again',
  );
}

const version = JSON.parse(readFileSync(join(args.extension, 'manifest.json'), 'utf8')).version;
const packed = packCrx(args.extension, keyPath);
if (packed.id !== id) refuse(`Chromium packed a CRX with the id ${packed.id}, not the key's ${id}`);
mkdirSync(args.out, { recursive: true });
writeFileSync(join(args.out, crxName(version)), packed.crx);
writeFileSync(join(args.out, UPDATE_MANIFEST), updateManifest(id, version, args.codebase ?? exampleCodebase(version)));
console.log(`pack-crx: ${join(args.out, crxName(version))} (id ${id}) and its ${UPDATE_MANIFEST}`);
