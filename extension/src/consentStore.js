// Where consent is kept. The user's list is in the extension's own IndexedDB, which only
// the extension's pages and background can open: storage.local would do as well, but
// content scripts, which run inside web pages, can write it. Consent given in a private
// window is kept in storage.session (closed to content scripts, gone when the browser
// closes). The administrator's settings come from storage.managed, which only the
// browser's policies fill.
import { api } from './browserApi.js';

const DB_NAME = 'tarvx-consent';
const STORE = 'consent';
const USER = 'allowedOrigins';
const PRIVATE = 'privateAllowedOrigins';
const REVOKED = 'revokedManagedOrigins';

function request(r) {
  return new Promise((resolve, reject) => {
    r.onsuccess = () => resolve(r.result);
    r.onerror = () => reject(r.error);
  });
}

async function database() {
  const opening = indexedDB.open(DB_NAME, 1);
  opening.onupgradeneeded = () => opening.result.createObjectStore(STORE);
  return request(opening);
}

async function inStore(mode, action) {
  const db = await database();
  try {
    const store = db.transaction(STORE, mode).objectStore(STORE);
    return await request(action(store));
  } finally {
    db.close();
  }
}

export const browserStore = {
  /** The user's list; on the first read, the one earlier versions kept in storage.local. */
  async readUser() {
    const kept = await inStore('readonly', (store) => store.get(USER));
    if (kept !== undefined) return kept;
    const earlier = (await api.storage.local.get(USER))[USER];
    const list = Array.isArray(earlier) ? earlier : [];
    await this.writeUser(list);
    await api.storage.local.remove(USER);
    return list;
  },

  async writeUser(list) {
    await inStore('readwrite', (store) => store.put([...list], USER));
  },

  /** Origins of a program's managed list (see managedSource) that the user revoked. */
  async readRevoked() {
    return (await inStore('readonly', (store) => store.get(REVOKED))) ?? [];
  },

  async writeRevoked(list) {
    await inStore('readwrite', (store) => store.put([...list], REVOKED));
  },

  async readPrivate() {
    return (await api.storage.session.get(PRIVATE))[PRIVATE];
  },

  async writePrivate(list) {
    await api.storage.session.set({ [PRIVATE]: [...list] });
  },

  async readManaged(keys) {
    try {
      return await api.storage.managed.get(keys);
    } catch {
      // Firefox rejects when no policy names the add-on.
      return {};
    }
  },

  /**
   * Who filled storage.managed: 'administrator', or 'program' where it cannot be known. Chrome
   * and Edge fill it from their policies only. Firefox also from places any program of the
   * user can write (a per-user registry key, ~/.mozilla/managed-storage/) when no enterprise
   * policy names the add-on, and does not say which; an add-on installed by enterprise
   * policy ('admin') shows that the administrator's policies are in force.
   */
  async managedSource() {
    if (typeof api.runtime.getBrowserInfo !== 'function') return 'administrator';
    const self = await api.management.getSelf();
    return self.installType === 'admin' ? 'administrator' : 'program';
  },

  /** How the extension was installed: 'development' when loaded unpacked or as a temporary add-on. */
  async installType() {
    return (await api.management.getSelf()).installType;
  },

  /** Calls back when the administrator's settings change. */
  onManagedChange(keys, callback) {
    api.storage.onChanged.addListener((changes, area) => {
      if (area === 'managed' && keys.some((key) => key in changes)) callback();
    });
  },
};
