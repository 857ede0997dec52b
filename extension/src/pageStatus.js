// What a served page is told of the reader (README, "The page status"): one of five words,
// with a finer cause where there is one, so that a page can tell its user what to do.
// Pages only ever see these words, never the browser's own texts.

/**
 * @typedef {'not-allowed' | 'host-missing' | 'no-reader' | 'listening' | 'stopped'} PageStatusWord
 * @typedef {{ status: PageStatusWord, cause: string | null }} PageStatus
 */

/** Why a reader the host found is not listened to, as the host says it (`reader` message). */
const READER_CAUSES = new Set(['cannot-open', 'ended']);

/**
 * @param {{state: string, listening: boolean, code: string | null, reader: string | null,
 *          reported: boolean}} host the host connection's status (hostConnection.js)
 * @returns {PageStatus}
 */
export function pageStatusOf(host) {
  switch (host.state) {
    case 'connected':
      if (host.listening) return { status: 'listening', cause: null };
      if (!host.reported) return { status: 'stopped', cause: 'host-starting' };
      if (READER_CAUSES.has(host.reader)) return { status: 'stopped', cause: host.reader };
      // An older host does not say why: not listening is taken as no reader, as the plug-in's picture did.
      return { status: 'no-reader', cause: null };
    case 'failed':
      return { status: 'host-missing', cause: host.code };
    case 'retrying':
      return { status: 'stopped', cause: host.code };
    default:
      return { status: 'stopped', cause: 'host-starting' };
  }
}

/** What a page whose origin stopped being allowed while it was open is told. */
export const NOT_ALLOWED = { status: 'not-allowed', cause: null };
