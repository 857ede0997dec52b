// The allowed-origins rules of the extension (extension/src/origins.js) against the shared
// table of entries (tests/data/origin-cases.json), without a browser.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { oneClickOrigin, originList, parseOrigin } from '../../../extension/src/origins.js';

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

test('one click allows https and http on this computer only', () => {
  const cases = [
    ['https://shop.example', true],
    ['https://shop.example:8443', true],
    ['http://localhost:8080', true],
    ['http://127.0.0.1', true],
    ['http://[::1]:3000', true],
    ['http://shop.example', false],
    ['http://kiosk.intranet:8080', false],
    ['http://localhost.shop.example', false],
    ['http://127.0.0.2', false],
    ['http://10.0.0.5', false],
    [null, false],
  ];
  assert.deepEqual(
    cases.filter(([origin, expected]) => oneClickOrigin(origin) !== expected),
    [],
  );
});
