// The background's check of the host's messages (extension/src/protocol.js), without a
// browser. The content and page-world scripts check card numbers again, so a hole here would
// not show in the browser tests: these tables are what hold the background's own check.
import assert from 'node:assert/strict';
import { test } from 'node:test';
import { validHostMessage } from '../../../extension/src/protocol.js';

const hello = { type: 'hello', protocol: 1, version: '1.0.0.1' };
const status = { type: 'status', listening: true };
const device = { type: 'device', change: 1 };
const card = { type: 'card', number: 2587647617 };

const accepted = [
  hello,
  { type: 'hello', protocol: 1, version: 'v'.repeat(64) },
  status,
  { type: 'status', listening: false },
  ...['listening', 'no-reader', 'cannot-open', 'ended'].map((state) => ({ type: 'reader', state })),
  device,
  { type: 'device', change: 0 },
  card,
  { type: 'card', number: 0 },
  { type: 'card', number: 4294967295 },
];

/** [what, message] */
const refused = [
  // Card numbers outside unsigned 32 bits, or not plain integers.
  ['card number 2^32', { type: 'card', number: 4294967296 }],
  ['card number -1', { type: 'card', number: -1 }],
  ['card number far below zero', { type: 'card', number: -4294967295 }],
  ['card number 1.5', { type: 'card', number: 1.5 }],
  ['card number 4294967294.5', { type: 'card', number: 4294967294.5 }],
  ['card number NaN', { type: 'card', number: NaN }],
  ['card number Infinity', { type: 'card', number: Infinity }],
  ["card number '42'", { type: 'card', number: '42' }],
  ['card number null', { type: 'card', number: null }],
  ['card number true', { type: 'card', number: true }],
  ['card number as an object', { type: 'card', number: { valueOf: () => 42 } }],
  ['card number as an array', { type: 'card', number: [42] }],
  ['card number missing', { type: 'card' }],
  ['card with an extra field', { ...card, script: 'x' }],
  ['card with the number under another name', { type: 'card', value: 42 }],
  // Why the host is not listening: only its four words.
  ["reader state 'unplugged'", { type: 'reader', state: 'unplugged' }],
  ['reader state missing', { type: 'reader' }],
  ['reader state as a boolean', { type: 'reader', state: false }],
  ['reader with an extra field', { type: 'reader', state: 'ended', error: 5 }],
  // The other three types: each field's wrong types, missing, and one too many.
  ["hello protocol '1'", { ...hello, protocol: '1' }],
  ['hello protocol 0', { ...hello, protocol: 0 }],
  ['hello protocol 1.5', { ...hello, protocol: 1.5 }],
  ['hello protocol missing', { type: 'hello', version: '1.0.0.1' }],
  ['hello version as a number', { ...hello, version: 1 }],
  ['hello version empty', { ...hello, version: '' }],
  ['hello version of 65 characters', { ...hello, version: 'v'.repeat(65) }],
  ['hello version missing', { type: 'hello', protocol: 1 }],
  ['hello with an extra field', { ...hello, extra: 1 }],
  ["status listening 'true'", { type: 'status', listening: 'true' }],
  ['status listening 1', { type: 'status', listening: 1 }],
  ['status listening null', { type: 'status', listening: null }],
  ['status listening missing', { type: 'status' }],
  ['status with an extra field', { ...status, extra: 1 }],
  ['device change 2', { type: 'device', change: 2 }],
  ['device change -1', { type: 'device', change: -1 }],
  ["device change '1'", { type: 'device', change: '1' }],
  ['device change true', { type: 'device', change: true }],
  ['device change missing', { type: 'device' }],
  ['device with an extra field', { ...device, extra: 1 }],
  // Types that are not one of the four, and things that are not a message object.
  ['an unknown type', { type: 'evaluate', code: 'CardReaded(42)' }],
  ['no type', { number: 42 }],
  ['a type that is not a string', { type: 1, number: 42 }],
  ["the type 'constructor'", { type: 'constructor' }],
  ["the type 'toString'", { type: 'toString' }],
  ["the type '__proto__'", JSON.parse('{"type":"__proto__"}')],
  ['an upper-case type', { type: 'CARD', number: 42 }],
  ['an array', ['card', 42]],
  ['an array carrying message fields', Object.assign([], { type: 'status', listening: true })],
  ['an empty array', []],
  ['null', null],
  ['undefined', undefined],
  ['a string', '{"type":"card","number":42}'],
  ['a number', 42],
];

test('the messages, card numbers 0 and 4294967295 included, pass unchanged', () => {
  for (const message of accepted) {
    assert.equal(validHostMessage(message), message, JSON.stringify(message));
  }
});

test('anything off their shapes is dropped', () => {
  const passed = refused.filter(([, message]) => validHostMessage(message) !== null).map(([what]) => what);
  assert.deepEqual(passed, [], 'passed the check');
});
