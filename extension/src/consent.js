// Which origins may use the reader: the administrator's (from the browser's policies) and
// the user's (changed in the popup; consentStore.js says where each is kept). The
// administrator also decides whether users may allow sites at all (`userConsent`): by
// default not once the policy lists origins, so that nobody at a kiosk can add a site of
// their own, whether cards go only to the page the user sees (`focusedPageOnly`), and
// whether the popup offers test cards (`testCards`). Nothing but the lists of origins is stored.
import { browserStore } from './consentStore.js';
import { oneClickOrigin, originList, whyIgnored } from './origins.js';

const ORIGINS = 'allowedOrigins';
const USER_CONSENT = 'userConsent';
const FOCUSED_ONLY = 'focusedPageOnly';
const TEST_CARDS = 'testCards';
const SETTINGS = [ORIGINS, USER_CONSENT, FOCUSED_ONLY, TEST_CARDS];
const RETRY_MS = 1000;

/**
 * Whether the popup offers to send test cards: where the administrator's policy says so,
 * else only in an extension loaded for development (unpacked, or a temporary add-on),
 * never in one installed from a store or by policy. A program's managed settings
 * (policySource 'program') may turn it off, not on: a test card is a card number any
 * user at the kiosk could choose.
 * @param {boolean | null} setting the policy's testCards @param {string} policySource
 * @param {string} installType management.getSelf()'s
 */
export function offersTestCards(setting, policySource, installType) {
  if (setting === false) return false;
  if (setting === true && policySource === 'administrator') return true;
  return installType === 'development';
}

/** @returns {{entry: unknown, why: string}[]} */
function ignoredEntries(list) {
  if (list === undefined) return [];
  if (!Array.isArray(list)) return [{ entry: list, why: 'not a list' }];
  return list.map((entry) => ({ entry, why: whyIgnored(entry) })).filter((e) => e.why !== null);
}

export class Consent {
  /**
   * @param {() => void} onChange called after either list changed
   * @param {typeof browserStore} store
   */
  constructor(onChange, store = browserStore) {
    this.onChange = onChange;
    this.store = store;
    this.user = new Set();
    /** Allowed from a private window: for this browser session only. */
    this.private = new Set();
    this.policy = new Set();
    /** The administrator's userConsent, or null when the policy does not set it. */
    this.userConsentSetting = null;
    /** 'administrator', or 'program' when the managed settings may be a program's (Firefox). */
    this.policySource = 'administrator';
    /** Origins of a program's managed list the user revoked. */
    this.revoked = new Set();
    /** The policy's entries that are not origins, each with why, for the administrator. */
    this.ignoredPolicy = [];
    /** Whether cards go only to the page in the focused window's active tab. */
    this.focusedPageOnly = false;
    /** The administrator's testCards, or null when the policy does not set it. */
    this.testCardsSetting = null;
    /** Why the lists could not be read, while they could not; null when they were. */
    this.error = null;
    this.retryTimer = null;
    this.ready = this.reload();
    store.onManagedChange(SETTINGS, () => this.refresh());
  }

  refresh() {
    this.ready = this.reload()
      .then(() => this.onChange())
      .catch((e) => console.error('consent:', e));
  }

  // Never rejects: a failed read keeps the lists as they were, is reported (error) and is
  // tried again, so that the popup's requests, which wait for it, keep working.
  async reload() {
    clearTimeout(this.retryTimer);
    try {
      const [user, privately, managed, source, revoked] = await Promise.all([
        this.store.readUser(),
        this.store.readPrivate(),
        this.store.readManaged(SETTINGS),
        this.store.managedSource(),
        this.store.readRevoked(),
      ]);
      this.policySource = source;
      this.revoked = new Set(originList(revoked));
      this.user = new Set(originList(user));
      this.private = new Set(originList(privately));
      this.policy = new Set(originList(managed[ORIGINS]));
      this.ignoredPolicy = ignoredEntries(managed[ORIGINS]);
      this.userConsentSetting = typeof managed[USER_CONSENT] === 'boolean' ? managed[USER_CONSENT] : null;
      this.focusedPageOnly = managed[FOCUSED_ONLY] === true;
      this.testCardsSetting = typeof managed[TEST_CARDS] === 'boolean' ? managed[TEST_CARDS] : null;
      this.error = null;
    } catch (e) {
      this.error = String(e?.message ?? e);
      console.error('consent: cannot read the allowed origins:', e);
      this.retryTimer = setTimeout(() => this.refresh(), RETRY_MS);
    }
  }

  /** Whether users may allow sites themselves: the administrator's word, else unless it lists origins. */
  get usersMayAllow() {
    return this.userConsentSetting ?? this.policy.size === 0;
  }

  /** Whether a user's consent counts for this origin now. */
  byUser(origin) {
    return this.usersMayAllow && oneClickOrigin(origin) && (this.user.has(origin) || this.private.has(origin));
  }

  /** @param {string | null} origin */
  isAllowed(origin) {
    return origin !== null && (this.byPolicy(origin) || this.byUser(origin));
  }

  /** @param {string} origin */
  byPolicy(origin) {
    return this.policy.has(origin) && !(this.policySource === 'program' && this.revoked.has(origin));
  }

  /** Whether the user may revoke the managed entry for origin: a program's, not the administrator's. */
  revocable(origin) {
    return !this.policy.has(origin) || this.policySource === 'program';
  }

  /** Why the user cannot allow this origin with a click; null when they can. */
  whyNoClick(origin) {
    if (!this.usersMayAllow) return 'locked';
    if (!oneClickOrigin(origin)) return 'insecure';
    return null;
  }

  async testCardsOffered() {
    await this.ready;
    return offersTestCards(this.testCardsSetting, this.policySource, await this.store.installType());
  }

  allowedOrigins() {
    const byUser = [...this.user, ...this.private].filter((o) => this.byUser(o) && !this.policy.has(o));
    return [...new Set([...[...this.policy].filter((o) => this.byPolicy(o)), ...byUser])];
  }

  /**
   * @param {string} origin
   * @param {{privately?: boolean}} how privately: asked in a private window
   */
  async allow(origin, { privately = false } = {}) {
    await this.ready;
    const why = this.whyNoClick(origin);
    if (why) throw new Error(why === 'locked' ? 'users may not allow sites here' : `${origin} is not https`);
    if (this.revoked.delete(origin)) await this.store.writeRevoked(this.revoked);
    if (privately) {
      this.private.add(origin);
      await this.store.writePrivate(this.private);
    } else {
      this.user.add(origin);
      await this.store.writeUser(this.user);
    }
  }

  /** @param {string} origin */
  async revoke(origin) {
    await this.ready;
    this.user.delete(origin);
    this.private.delete(origin);
    await this.store.writeUser(this.user);
    await this.store.writePrivate(this.private);
    if (this.policy.has(origin) && this.revocable(origin)) {
      this.revoked.add(origin);
      await this.store.writeRevoked(this.revoked);
    }
  }
}
