// The allowed-origins rules of the extension (extension/src/origins.js) against the shared
// table of entries (tests/data/origin-cases.json), without a browser.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { originList, parseOrigin } from '../../../extension/src/origins.js';

const { cases } = JSON.parse(readFileSync(new URL('../../data/origin-cases.json', import.meta.url), 'utf8'));

test('each entry of the shared table is taken as the table says', () => {
  const wrong = cases.filter((c) => parseOrigin(c.entry) !== c.origin);
  assert.deepEqual(
    wrong.map((c) => `${JSON.stringify(c.entry)} (${c.why}): ${parseOrigin(c.entry)}`),
    [],
  );
});

test('a list keeps the entries taken, once each, and ignores what is not text', () => {
  const list = [...cases.map((c) => c.entry), 42, null, { origin: 'https://shop.example' }];
  const taken = [...new Set(cases.map((c) => c.origin).filter((o) => o !== null))];
  assert.deepEqual(originList(list), taken);
  assert.deepEqual(originList('https://shop.example'), []);
});
