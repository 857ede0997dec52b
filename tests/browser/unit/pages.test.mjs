// Which origins the background takes for a connecting document (pages.js senderOrigins):
// only the browser's own record, a frame with its top-level page's.
import assert from 'node:assert/strict';
import { test } from 'node:test';

globalThis.chrome = { runtime: { id: 'our-id' } };
const { senderOrigins } = await import('../../../extension/src/pages.js');

const TOP = { id: 7, url: 'https://kiosk.example/app/' };

test("a document's origin and its top-level page's, from what the browser says only", () => {
  // [what, sender, {origin, top}]
  const cases = [
    [
      'the top frame',
      { id: 'our-id', tab: TOP, frameId: 0, origin: 'https://kiosk.example' },
      ['https://kiosk.example', 'https://kiosk.example'],
    ],
    [
      'a frame of another origin',
      { id: 'our-id', tab: TOP, frameId: 5, origin: 'https://cards.example:8443' },
      ['https://cards.example:8443', 'https://kiosk.example'],
    ],
    [
      'no sender.origin: the URL',
      { id: 'our-id', tab: TOP, frameId: 0, url: 'http://localhost:8080/x?y' },
      ['http://localhost:8080', 'http://localhost:8080'],
    ],
    [
      'an opaque origin, whatever its URL',
      { id: 'our-id', tab: TOP, frameId: 0, origin: 'null', url: 'https://kiosk.example/' },
      [null, null],
    ],
    ['an opaque frame in an allowed page', { id: 'our-id', tab: TOP, frameId: 3, origin: 'null' }, [null, null]],
    [
      'a frame whose tab has no URL to read',
      { id: 'our-id', tab: { id: 7 }, frameId: 2, origin: 'https://kiosk.example' },
      ['https://kiosk.example', null],
    ],
    [
      'a frame in a page that is not http',
      { id: 'our-id', tab: { id: 7, url: 'about:blank' }, frameId: 2, origin: 'https://kiosk.example' },
      ['https://kiosk.example', null],
    ],
    ['another extension', { id: 'other-id', tab: TOP, frameId: 0, origin: 'https://kiosk.example' }, [null, null]],
    ['not from a tab', { id: 'our-id', frameId: 0, origin: 'https://kiosk.example' }, [null, null]],
    ['no frame id', { id: 'our-id', tab: TOP, origin: 'https://kiosk.example' }, [null, null]],
  ];
  const wrong = cases
    .map(([what, sender, [origin, top]]) => ({ what, expected: { origin, top }, got: senderOrigins(sender) }))
    .filter((c) => c.got.origin !== c.expected.origin || c.got.top !== c.expected.top);
  assert.deepEqual(wrong, []);
});
