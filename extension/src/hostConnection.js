// The one native port of the browser: open while a page wants cards, reopened with
// backoff when the host goes away while pages still want it.
import { api } from './browserApi.js';
import { NO_HELLO, failureOf, protocolMismatch } from './hostFailure.js';
import { HOST_NAME, PROTOCOL, validHostMessage } from './protocol.js';

const FIRST_RETRY_MS = 500;
const LAST_RETRY_MS = 8000;
// A host that stayed up this long is taken as healthy: the next retry starts short again.
const HEALTHY_MS = 10000;
// A host that has not said hello by then is not going to.
const HELLO_MS = 15000;

/**
 * 'failed': a cause that trying again cannot mend (hostFailure.js); tried again when a page
 * asks anew (retryIfFailed).
 * @typedef {'off' | 'starting' | 'connected' | 'retrying' | 'failed'} HostState
 * reader: why the host is or is not listening, as it last said (protocol.js READER_STATES);
 * reported: whether it has said whether it listens since it said hello.
 * @typedef {{ state: HostState, listening: boolean, version: string | null, lastError: string | null,
 *             code: string | null, sentence: string | null, reader: string | null,
 *             reported: boolean }} HostStatus
 */

/** @type {HostStatus} no port, nothing known */
const OFF = Object.freeze({
  state: 'off',
  listening: false,
  version: null,
  lastError: null,
  code: null,
  sentence: null,
  reader: null,
  reported: false,
});

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
    this.helloTimer = null;
    /** @type {HostStatus} */
    this.status = { ...OFF };
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
    clearTimeout(this.helloTimer);
    this.helloTimer = setTimeout(() => this.giveUp(port, NO_HELLO), HELLO_MS);
    this.update({ state: 'starting', listening: false, version: null, reader: null, reported: false });
  }

  /** Opens the port again after a failure that retrying could not mend: a page asks anew. */
  retryIfFailed() {
    if (!this.wanted || this.status.state !== 'failed') return;
    this.retryMs = FIRST_RETRY_MS;
    this.open();
  }

  close() {
    clearTimeout(this.retryTimer);
    clearTimeout(this.helloTimer);
    this.retryTimer = null;
    const port = this.port;
    this.port = null;
    port?.disconnect();
    this.update(OFF);
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
      this.update({ listening: message.listening, reported: true });
    } else if (message.type === 'reader') {
      this.update({ reader: message.state });
    } else {
      this.onMessage(message);
    }
  }

  greet(hello) {
    clearTimeout(this.helloTimer);
    if (hello.protocol !== PROTOCOL) {
      this.giveUp(this.port, protocolMismatch(hello.protocol, PROTOCOL));
      return;
    }
    this.greeted = true;
    this.update({ state: 'connected', version: hello.version, lastError: null, code: null, sentence: null });
  }

  /** Closes the port ourselves, for this failure. */
  giveUp(port, failure) {
    if (port !== this.port) return;
    port.disconnect();
    this.lost(port, null, failure);
  }

  lost(port, disconnected, failure = null) {
    if (port !== this.port) return;
    this.port = null;
    clearTimeout(this.helloTimer);
    // Chromium reports why on runtime.lastError, Firefox on the port's error.
    const why = disconnected?.error?.message ?? api.runtime.lastError?.message ?? null;
    const cause = failure ?? failureOf(why);
    if (!this.wanted) return;
    const reported = { listening: false, lastError: why ?? cause.sentence, code: cause.code, sentence: cause.sentence };
    if (cause.final) {
      this.update({ state: 'failed', ...reported });
      return;
    }
    if (Date.now() - this.openedAt >= HEALTHY_MS) this.retryMs = FIRST_RETRY_MS;
    const delay = this.retryMs;
    this.retryMs = Math.min(this.retryMs * 2, LAST_RETRY_MS);
    this.retryTimer = setTimeout(() => this.open(), delay);
    this.update({ state: 'retrying', ...reported });
  }

  /** @param {Partial<HostStatus>} change */
  update(change) {
    this.status = { ...this.status, ...change };
    this.onStatus(this.status);
  }
}
