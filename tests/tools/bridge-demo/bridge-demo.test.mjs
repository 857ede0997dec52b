// The bridge demo's command line and verdict (tools/bridge-demo), without a browser.
import assert from 'node:assert/strict';
import { test } from 'node:test';
import { DEFAULT_CARDS, parseOptions } from '../../../tools/bridge-demo/options.mjs';
import { expectedScripts, verdict } from '../../../tools/bridge-demo/verdict.mjs';

const expected = expectedScripts([42, 7]);

test('the page must receive the plug-in, each card once in order, and the unplug', () => {
  assert.deepEqual(expected, ['DeviceChanged(1);', 'CardReaded(42);', 'CardReaded(7);', 'DeviceChanged(0);']);
});

const verdicts = [
  ['exactly the expected calls', expected, null],
  ['nothing', [], /received nothing/],
  [
    'a card missing',
    ['DeviceChanged(1);', 'CardReaded(42);', 'DeviceChanged(0);'],
    /call 3: the page received DeviceChanged\(0\);, expected CardReaded\(7\);/,
  ],
  ['the cards swapped', ['DeviceChanged(1);', 'CardReaded(7);', 'CardReaded(42);', 'DeviceChanged(0);'], /call 2/],
  ['a card twice', [...expected, 'CardReaded(7);'], /more than expected: CardReaded\(7\);/],
  ['the unplug missing', expected.slice(0, 3), /call 4: the page received nothing/],
];
for (const [name, received, problem] of verdicts) {
  test(`verdict: ${name}`, () => {
    const result = verdict(expected, received);
    if (problem === null) assert.equal(result, null);
    else assert.match(result, problem);
  });
}

const commandLines = [
  ['the default cards', ['--build', 'b'], { cards: DEFAULT_CARDS }],
  ['given cards replace them', ['--build', 'b', '--card', '0', '--card', '4294967295'], { cards: [0, 4294967295] }],
  ["the plug-in's own options are noted", ['--build', 'b', '--size', '60x40', '--interactive'], { notes: 2 }],
  ['a card above 32 bits', ['--build', 'b', '--card', '4294967296'], { error: /--card needs a number/ }],
  ['a card with a sign', ['--build', 'b', '--card', '-1'], { error: /--card needs a number/ }],
  ['no build directory', ['--card', '1'], { error: /--build is required/ }],
  ['an unknown option', ['--build', 'b', '--fast'], { error: /unknown argument: --fast/ }],
  ['a value missing', ['--build', 'b', '--card'], { error: /--card needs a value/ }],
];
for (const [name, argv, want] of commandLines) {
  test(`options: ${name}`, () => {
    const parsed = parseOptions(argv);
    if (want.error) return assert.match(parsed.error, want.error);
    assert.equal(parsed.error, undefined);
    if (want.cards) assert.deepEqual(parsed.options.cards, want.cards);
    if (want.notes) assert.equal(parsed.notes.length, want.notes);
  });
}
