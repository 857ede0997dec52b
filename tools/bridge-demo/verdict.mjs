// What the page should have received and whether it did, as the scripts the plug-in would
// have evaluated ("CardReaded(42);"), so both demos state it alike.

export const asScript = ([name, argument]) => `${name}(${argument});`;

/** The reader plugged in, each card once in order, the broken report nothing, unplugged. */
export function expectedScripts(cards) {
  return ['DeviceChanged(1);', ...cards.map((card) => `CardReaded(${card});`), 'DeviceChanged(0);'];
}

/** @returns {string | null} what is wrong, or null when received is exactly expected */
export function verdict(expected, received) {
  if (received.length === 0) return `the page received nothing; expected ${expected.join(' ')}`;
  const first = expected.findIndex((script, i) => received[i] !== script);
  if (first === -1 && received.length === expected.length) return null;
  if (first === -1) return `the page received more than expected: ${received.slice(expected.length).join(' ')}`;
  return `call ${first + 1}: the page received ${received[first] ?? 'nothing'}, expected ${expected[first]}`;
}
