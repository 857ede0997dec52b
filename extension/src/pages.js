// The allowed pages that want cards, each through its content script's port.
import { api } from './browserApi.js';
import { originOf } from './origins.js';

export { PAGE_PORT_NAME } from './names.js';

/**
 * The document's origin as the browser reports it; never anything the page says. A document
 * with an opaque origin ("null": sandboxed by its CSP or its frame) has none, whatever its
 * URL says.
 */
export function senderOrigin(sender) {
  if (!sender?.tab || !Number.isInteger(sender.frameId) || sender.id !== api.runtime.id) return null;
  if (typeof sender.origin === 'string') return sender.origin === 'null' ? null : originOf(`${sender.origin}/`);
  return originOf(sender.url);
}

/**
 * The document's origin and that of the tab's top-level page, both from the browser's own
 * record (the tab's URL for the top of a frame); null where there is none.
 * @returns {{origin: string | null, top: string | null}}
 */
export function senderOrigins(sender) {
  const origin = senderOrigin(sender);
  if (origin === null) return { origin, top: null };
  return { origin, top: sender.frameId === 0 ? origin : originOf(sender.tab.url ?? '') };
}

export class Pages {
  constructor() {
    /** @type {Map<object, {origin: string, top: string, tabId: number}>} */
    this.ports = new Map();
  }

  get count() {
    return this.ports.size;
  }

  /** @param {string} origin the document's @param {string} top the top-level page's */
  add(port, origin, top) {
    this.ports.set(port, { origin, top, tabId: port.sender.tab.id });
  }

  remove(port) {
    return this.ports.delete(port);
  }

  hasTab(tabId) {
    return [...this.ports.values()].some((p) => p.tabId === tabId);
  }

  /** @param {object} message sent to every page */
  broadcast(message) {
    for (const port of this.ports.keys()) port.postMessage(message);
  }

  /** @param {number | undefined} tabId @param {object} message sent to that tab's page only */
  sendToTab(tabId, message) {
    for (const [port, page] of this.ports) {
      if (page.tabId === tabId) port.postMessage(message);
    }
  }

  /** Tells the pages (and frames) of origins no longer allowed to let go, and forgets them. */
  refuseAllBut(isAllowed) {
    for (const [port, page] of this.ports) {
      if (isAllowed(page.origin) && isAllowed(page.top)) continue;
      port.postMessage({ type: 'refused' });
      port.disconnect();
      this.ports.delete(port);
    }
  }
}
