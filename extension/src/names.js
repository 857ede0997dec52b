// The names and numbers the extension, the host and the pages must agree on, written once.
// extension/names.mjs re-exports them for the build and the tests; build.mjs writes them
// for the content script (page-names.js), which cannot import.

/** The native messaging host's name, as the host manifests register it. */
export const HOST_NAME = 'com.tarvo.usbicreader';
/** The host's message protocol (docs/BRIDGE.md, "Messages"); the host says its own in the hello. */
export const PROTOCOL = 1;
/** The largest card number: the reader's numbers are unsigned 32-bit. */
export const CARD_NUMBER_MAX = 4294967295;
/** The plug-in's MIME type: a page's `<embed>` or `<object>` of this type asks for the reader. */
export const ELEMENT_TYPE = 'application/TarvoUsbICReader-plugin';
/** The marker for pages without the element: `<meta name="tarvx-card-reader" content="on">`. */
export const MARKER_NAME = 'tarvx-card-reader';
export const MARKER_CONTENT = 'on';
/** The name of a content script's port to the background. */
export const PAGE_PORT_NAME = 'tarvx-page';

/** The selector of what asks for the reader in a document: the element (any case of the type) or the marker. */
export const ASKS_FOR_READER = [
  `embed[type="${ELEMENT_TYPE}" i]`,
  `object[type="${ELEMENT_TYPE}" i]`,
  `meta[name="${MARKER_NAME}" i][content="${MARKER_CONTENT}" i]`,
].join(', ');
/** Just the elements the status picture stands in for. */
export const ELEMENTS = `embed[type="${ELEMENT_TYPE}" i], object[type="${ELEMENT_TYPE}" i]`;
