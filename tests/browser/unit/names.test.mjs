// The extension's identities (extension/names.mjs), without a browser: which ids each
// browser's host manifest and template name, and which store ids the list accepts.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { ELEMENT_TYPE, chromiumIdsOf, hostManifest, parseStoreIds } from '../../../extension/names.mjs';

const KEY_ID = 'dbmpofebjddfgkppjlaecahjlgmnjlhg';
const CHROME_STORE = 'abcdefghijklmnopabcdefghijklmnop';
const EDGE_STORE = 'ponmlkjihgfedcbaponmlkjihgfedcba';
const ids = (chromeWebStore, edgeAddOns) => ({ chromium: KEY_ID, chromeWebStore, edgeAddOns, firefox: 'a@b' });

test("each browser gets its own store's id beside the key's, and nothing for an empty entry", () => {
  const cases = [
    { stores: ['', ''], chrome: [KEY_ID], edge: [KEY_ID], all: [KEY_ID] },
    { stores: [CHROME_STORE, ''], chrome: [KEY_ID, CHROME_STORE], edge: [KEY_ID], all: [KEY_ID, CHROME_STORE] },
    {
      stores: [CHROME_STORE, EDGE_STORE],
      chrome: [KEY_ID, CHROME_STORE],
      edge: [KEY_ID, EDGE_STORE],
      all: [KEY_ID, CHROME_STORE, EDGE_STORE],
    },
    // One id published in both stores is named once.
    {
      stores: [CHROME_STORE, CHROME_STORE],
      chrome: [KEY_ID, CHROME_STORE],
      edge: [KEY_ID, CHROME_STORE],
      all: [KEY_ID, CHROME_STORE],
    },
  ];
  for (const c of cases) {
    const list = ids(...c.stores);
    assert.deepEqual(chromiumIdsOf(list, 'Chrome'), c.chrome, JSON.stringify(c.stores));
    assert.deepEqual(chromiumIdsOf(list, 'Edge'), c.edge, JSON.stringify(c.stores));
    assert.deepEqual(chromiumIdsOf(list), c.all, JSON.stringify(c.stores));
    assert.deepEqual(
      hostManifest('chromium', 'tarvx-host.exe', list).allowed_origins,
      c.all.map((id) => `chrome-extension://${id}/`),
    );
    assert.deepEqual(hostManifest('firefox', 'tarvx-host.exe', list).allowed_extensions, ['a@b']);
  }
});

test('the store list takes an id or an empty entry, and refuses anything else', () => {
  assert.deepEqual(parseStoreIds(`{"chromeWebStore": "${CHROME_STORE}", "edgeAddOns": ""}`), {
    chromeWebStore: CHROME_STORE,
    edgeAddOns: '',
  });
  const refused = [
    ['an id too short', `{"chromeWebStore": "abc", "edgeAddOns": ""}`],
    ['letters past p', `{"chromeWebStore": "${'z'.repeat(32)}", "edgeAddOns": ""}`],
    ['upper case', `{"chromeWebStore": "${CHROME_STORE.toUpperCase()}", "edgeAddOns": ""}`],
    ['an entry missing', '{"chromeWebStore": ""}'],
    ['not a string', '{"chromeWebStore": null, "edgeAddOns": ""}'],
    ['an entry of another name', '{"chromeWebStore": "", "edgeAddOns": "", "operaAddOns": ""}'],
    ['not JSON', '{chromeWebStore: ""}'],
  ];
  for (const [why, text] of refused) assert.throws(() => parseStoreIds(text), undefined, why);
});

// The host takes the protocol from names.js at build time (cmake/BridgeProtocol.cmake); the
// plug-in's resources are Windows resource text, so they are held to it here.
test('the plug-in registers the MIME type the extension looks for', () => {
  const root = new URL('../../../', import.meta.url);
  const resources = readFileSync(new URL('res/npTARVX.rc', root), 'latin1');
  assert.ok(resources.includes(`"MIMEType", "${ELEMENT_TYPE}"`), 'res/npTARVX.rc');
});
