// Which origins may use the reader: the user's list (storage.local, changed in the popup)
// and the administrator's (storage.managed, from the browser's policies). Nothing but
// these two lists of origins is stored.
import { api } from './browserApi.js';
import { originList } from './origins.js';

const KEY = 'allowedOrigins';

async function readManaged() {
  try {
    return originList((await api.storage.managed.get(KEY))[KEY]);
  } catch {
    // Firefox rejects when no policy names the add-on.
    return [];
  }
}

async function readUser() {
  return originList((await api.storage.local.get(KEY))[KEY]);
}

export class Consent {
  /** @param {() => void} onChange called after either list changed */
  constructor(onChange) {
    this.user = new Set();
    this.policy = new Set();
    this.ready = this.reload();
    api.storage.onChanged.addListener((changes, area) => {
      if ((area === 'local' || area === 'managed') && KEY in changes) {
        this.ready = this.reload().then(onChange);
      }
    });
  }

  async reload() {
    const [user, policy] = await Promise.all([readUser(), readManaged()]);
    this.user = new Set(user);
    this.policy = new Set(policy);
  }

  /** @param {string | null} origin */
  isAllowed(origin) {
    return origin !== null && (this.user.has(origin) || this.policy.has(origin));
  }

  /** @param {string} origin */
  byPolicy(origin) {
    return this.policy.has(origin);
  }

  allowedOrigins() {
    return [...new Set([...this.user, ...this.policy])];
  }

  /** @param {string} origin */
  async allow(origin) {
    await this.ready;
    this.user.add(origin);
    await api.storage.local.set({ [KEY]: [...this.user] });
  }

  /** @param {string} origin */
  async revoke(origin) {
    await this.ready;
    this.user.delete(origin);
    await api.storage.local.set({ [KEY]: [...this.user] });
  }
}
