// The one native port of the browser: open while a page wants cards, reopened with
// backoff when the host goes away while pages still want it.
import { api } from './browserApi.js';
import { HOST_NAME, PROTOCOL, validHostMessage } from './protocol.js';

const FIRST_RETRY_MS = 500;
const LAST_RETRY_MS = 8000;
// A host that stayed up this long is taken as healthy: the next retry starts short again.
const HEALTHY_MS = 10000;

/**
 * @typedef {'off' | 'starting' | 'connected' | 'retrying'} HostState
 * @typedef {{ state: HostState, listening: boolean, version: string | null, lastError: string | null }} HostStatus
 */

export class HostConnection {
  /**
   * @param {(message: {type: string, [field: string]: unknown}) => void} onMessage valid status, device and card messages
   * @param {(status: HostStatus) => void} onStatus
   */
  constructor(onMessage, onStatus) {
    this.onMessage = onMessage;
    this.onStatus = onStatus;
    this.port = null;
    this.wanted = false;
    this.retryTimer = null;
    this.retryMs = FIRST_RETRY_MS;
    /** @type {HostStatus} */
    this.status = { state: 'off', listening: false, version: null, lastError: null };
  }

  /** @param {boolean} wanted whether any allowed page wants cards */
  setWanted(wanted) {
    if (wanted === this.wanted) return;
    this.wanted = wanted;
    if (wanted) {
      this.retryMs = FIRST_RETRY_MS;
      this.open();
    } else {
      this.close();
    }
  }

  open() {
    this.retryTimer = null;
    const port = api.runtime.connectNative(HOST_NAME);
    this.port = port;
    this.openedAt = Date.now();
    this.greeted = false;
    port.onMessage.addListener((message) => this.receive(port, message));
    port.onDisconnect.addListener((p) => this.lost(port, p));
    port.postMessage({ type: 'hello' });
    this.update({ state: 'starting', listening: false, version: null });
  }

  close() {
    clearTimeout(this.retryTimer);
    this.retryTimer = null;
    const port = this.port;
    this.port = null;
    port?.disconnect();
    this.update({ state: 'off', listening: false, version: null, lastError: null });
  }

  receive(port, raw) {
    if (port !== this.port) return;
    const message = validHostMessage(raw);
    if (message === null) {
      console.warn('native host: message dropped, not in the protocol');
      return;
    }
    if (message.type === 'hello') {
      this.greet(message);
    } else if (!this.greeted) {
      console.warn(`native host: ${message.type} before hello, dropped`);
    } else if (message.type === 'status') {
      this.update({ listening: message.listening });
    } else {
      this.onMessage(message);
    }
  }

  greet(hello) {
    if (hello.protocol !== PROTOCOL) {
      this.port.disconnect();
      this.lost(this.port, {
        error: { message: `host speaks protocol ${hello.protocol}, this extension ${PROTOCOL}: update both` },
      });
      return;
    }
    this.greeted = true;
    this.update({ state: 'connected', version: hello.version, lastError: null });
  }

  lost(port, disconnected) {
    if (port !== this.port) return;
    this.port = null;
    // Chromium reports why on runtime.lastError, Firefox on the port's error.
    const why = disconnected?.error?.message ?? api.runtime.lastError?.message ?? 'the host exited';
    if (!this.wanted) return;
    if (Date.now() - this.openedAt >= HEALTHY_MS) this.retryMs = FIRST_RETRY_MS;
    const delay = this.retryMs;
    this.retryMs = Math.min(this.retryMs * 2, LAST_RETRY_MS);
    this.retryTimer = setTimeout(() => this.open(), delay);
    this.update({ state: 'retrying', listening: false, lastError: why });
  }

  /** @param {Partial<HostStatus>} change */
  update(change) {
    this.status = { ...this.status, ...change };
    this.onStatus(this.status);
  }
}
