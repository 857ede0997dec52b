// What a served page is told of the reader (pageStatus.js), for every state of the host
// connection, without a browser.
import assert from 'node:assert/strict';
import { test } from 'node:test';
import { pageStatusOf } from '../../../extension/src/pageStatus.js';

const connected = { state: 'connected', listening: false, code: null, reader: null, reported: true };

test('each state of the host is one page status, with its cause', () => {
  const cases = [
    ['listening', { ...connected, listening: true, reader: 'listening' }, 'listening', null],
    ['no reader plugged in', { ...connected, reader: 'no-reader' }, 'no-reader', null],
    ['a reader that cannot be opened', { ...connected, reader: 'cannot-open' }, 'stopped', 'cannot-open'],
    ['reading ended', { ...connected, reader: 'ended' }, 'stopped', 'ended'],
    // Listening wins over a reason that came before the status that ends it.
    ['listening, a reason already sent', { ...connected, listening: true, reader: 'ended' }, 'listening', null],
    ['an older host that never says why', connected, 'no-reader', null],
    ['said hello, not yet whether it listens', { ...connected, reported: false }, 'stopped', 'host-starting'],
    ['starting', { ...connected, state: 'starting', reported: false }, 'stopped', 'host-starting'],
    ['no page yet', { ...connected, state: 'off', reported: false }, 'stopped', 'host-starting'],
    ['the host exited', { ...connected, state: 'retrying', code: 'host-exited' }, 'stopped', 'host-exited'],
    ['no hello', { ...connected, state: 'retrying', code: 'no-hello' }, 'stopped', 'no-hello'],
    ['not installed', { ...connected, state: 'failed', code: 'host-not-found' }, 'host-missing', 'host-not-found'],
    ['refused', { ...connected, state: 'failed', code: 'host-forbidden' }, 'host-missing', 'host-forbidden'],
    ['mismatch', { ...connected, state: 'failed', code: 'protocol-mismatch' }, 'host-missing', 'protocol-mismatch'],
  ];
  const wrong = cases
    .map(([what, host, status, cause]) => ({ what, expected: { status, cause }, got: pageStatusOf(host) }))
    .filter((c) => c.got.status !== c.expected.status || c.got.cause !== c.expected.cause);
  assert.deepEqual(wrong, []);
});
