// The native host's messages (docs/BRIDGE.md, "Messages"). A message that does not match
// its schema exactly, extra fields included, is dropped: nothing from the host reaches a
// page unless it is one of these shapes.

import { CARD_NUMBER_MAX } from './names.js';

export { CARD_NUMBER_MAX, HOST_NAME, PROTOCOL } from './names.js';

export const READER_STATES = ['listening', 'no-reader', 'cannot-open', 'ended'];

const isCardNumber = (v) => Number.isInteger(v) && v >= 0 && v <= CARD_NUMBER_MAX;

/** Field name -> check, per message type. */
const SCHEMAS = {
  hello: {
    protocol: (v) => Number.isInteger(v) && v > 0,
    version: (v) => typeof v === 'string' && v.length > 0 && v.length <= 64,
  },
  status: { listening: (v) => typeof v === 'boolean' },
  // Why the host is or is not listening; hosts before it sent only status.
  reader: { state: (v) => READER_STATES.includes(v) },
  device: { change: (v) => v === 0 || v === 1 },
  card: { number: isCardNumber },
};

/**
 * @param {unknown} message as delivered by the browser from the host
 * @returns {{type: string, [field: string]: unknown} | null} the message, or null to drop it
 */
export function validHostMessage(message) {
  if (typeof message !== 'object' || message === null || Array.isArray(message)) return null;
  const fields = Object.prototype.hasOwnProperty.call(SCHEMAS, message.type) ? SCHEMAS[message.type] : null;
  if (!fields) return null;
  const keys = Object.keys(message);
  if (keys.length !== Object.keys(fields).length + 1) return null;
  for (const [name, check] of Object.entries(fields)) {
    if (!Object.prototype.hasOwnProperty.call(message, name) || !check(message[name])) return null;
  }
  return message;
}
