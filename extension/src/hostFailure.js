// Why the native host is not serving, from what the browser or the host said: a stable code
// for the popup (and for support, with tarvx-diag --bridge), one sentence for the user, and
// whether trying again can help. Chromium and Firefox word the same causes differently.

const CAUSES = [
  {
    code: 'host-not-found',
    final: true,
    // Firefox also says this when the registration names another extension.
    sentence: 'The reader program is not installed, or not registered with this browser for this extension.',
    texts: [/^Specified native messaging host not found\.$/, /^No such native application /],
  },
  {
    code: 'host-forbidden',
    final: true,
    sentence: "The reader program's registration does not name this extension.",
    texts: [
      /^Access to the specified native messaging host is forbidden\.$/,
      /^This extension does not have permission to use native application /,
    ],
  },
  {
    code: 'host-start-failed',
    final: false,
    sentence: 'The browser could not start the reader program.',
    texts: [/^Failed to start native messaging host\.$/],
  },
  {
    code: 'host-error',
    final: false,
    sentence: 'The reader program broke off the conversation.',
    texts: [/^Error when communicating with the native messaging host\.$/],
  },
];

/**
 * @param {string | null | undefined} text the browser's reason for a closed native port
 * @returns {{code: string, final: boolean, sentence: string}}
 */
export function failureOf(text) {
  const cause = CAUSES.find((c) => typeof text === 'string' && c.texts.some((t) => t.test(text)));
  if (cause) return { code: cause.code, final: cause.final, sentence: cause.sentence };
  return { code: 'host-exited', final: false, sentence: 'The reader program stopped.' };
}

/**
 * A host that speaks another protocol than the extension: only updating one of them helps.
 * @param {number} hostProtocol @param {number} ours
 */
export function protocolMismatch(hostProtocol, ours) {
  return {
    code: 'protocol-mismatch',
    final: true,
    sentence:
      hostProtocol > ours
        ? 'The reader program is newer than this extension: update the extension.'
        : 'The reader program is older than this extension: update the reader program.',
  };
}

/** A host that started but never said hello. */
export const NO_HELLO = {
  code: 'no-hello',
  final: false,
  sentence: 'The reader program started but did not answer.',
};
