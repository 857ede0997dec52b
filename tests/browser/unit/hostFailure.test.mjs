// What the browsers say when a native port closes, read as a stable code (hostFailure.js),
// without a browser: each cause in Chromium's and Firefox's words, and whether retrying helps.
import assert from 'node:assert/strict';
import { test } from 'node:test';
import { failureOf, protocolMismatch } from '../../../extension/src/hostFailure.js';

test("each browser's reason is read as one code, final where retrying cannot help", () => {
  const cases = [
    ['Specified native messaging host not found.', 'host-not-found', true],
    ['No such native application com.tarvo.usbicreader', 'host-not-found', true],
    ['Access to the specified native messaging host is forbidden.', 'host-forbidden', true],
    [
      'This extension does not have permission to use native application com.tarvo.usbicreader (or the application is not installed)',
      'host-forbidden',
      true,
    ],
    ['Failed to start native messaging host.', 'host-start-failed', false],
    ['Error when communicating with the native messaging host.', 'host-error', false],
    ['Native host has exited.', 'host-exited', false],
    [null, 'host-exited', false],
    [undefined, 'host-exited', false],
    // Words like a known reason but not it: not taken for it.
    ['Specified native messaging host not found. Or was it?', 'host-exited', false],
  ];
  const wrong = cases
    .map(([text, code, final]) => ({ text, expected: { code, final }, got: failureOf(text) }))
    .filter((c) => c.got.code !== c.expected.code || c.got.final !== c.expected.final);
  assert.deepEqual(wrong, []);
  for (const [text] of cases) assert.ok(failureOf(text).sentence.length > 0);
});

test('a protocol mismatch names which side to update', () => {
  assert.match(protocolMismatch(2, 1).sentence, /update the extension/);
  assert.match(protocolMismatch(1, 2).sentence, /update the reader program/);
  assert.equal(protocolMismatch(2, 1).final, true);
});
