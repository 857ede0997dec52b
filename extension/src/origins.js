// Origins as consent is given to them: scheme, host and port exactly, http and https only.

/**
 * @param {string | undefined} url
 * @returns {string | null} the URL's origin, or null for anything but http and https
 */
export function originOf(url) {
  if (typeof url !== 'string') return null;
  let parsed;
  try {
    parsed = new URL(url);
  } catch {
    return null;
  }
  if (parsed.protocol !== 'http:' && parsed.protocol !== 'https:') return null;
  return parsed.origin;
}

/**
 * An origin as written in a policy or stored by the popup: exactly an origin, optionally
 * with one trailing slash. Two differences from the browser's own form are unambiguous and
 * forgiven: letters in upper case (scheme, host) and the scheme's own port written out.
 * Anything else is refused (whyIgnored says why): a path, query, fragment or credentials,
 * or a host the browser would rewrite otherwise (old address forms, percent signs, other
 * scripts). So is a wildcard: URL parsing keeps `*` in a host, and the match pattern made
 * from it (matchPatternOf) would put the page scripts on every subdomain.
 * @param {unknown} text
 * @returns {string | null}
 */
export function parseOrigin(text) {
  return judgeOrigin(text).origin;
}

/** @param {unknown} text @returns {string | null} why parseOrigin ignores it; null when it does not */
export function whyIgnored(text) {
  return judgeOrigin(text).why;
}

const DEFAULT_PORT = /^(https:\/\/[^/]*):443$|^(http:\/\/[^/]*):80$/;

function judgeOrigin(text) {
  const ignored = (why) => ({ origin: null, why });
  if (typeof text !== 'string') return ignored('not text');
  if (text.includes('*')) return ignored('a wildcard: one exact origin per entry');
  const origin = originOf(text);
  if (origin === null) return ignored('not an http:// or https:// address');
  const written = (text.endsWith('/') ? text.slice(0, -1) : text).replace(/[A-Z]/g, (c) => c.toLowerCase());
  const form = written.replace(DEFAULT_PORT, (_, https, http) => https ?? http);
  if (form === origin) return { origin, why: null };
  if (/^[a-z]+:\/\/[^/?#]*[/?#@]/.test(written) || written.includes('@')) {
    return ignored('more than an origin: a path, query, fragment or user name');
  }
  return ignored(`not as the browser writes it (${origin})`);
}

// This computer's own names: no one on the network can answer for them.
const LOOPBACK_HOSTS = new Set(['localhost', '127.0.0.1', '[::1]']);

/**
 * Whether a user may allow the origin with one click: https, or http on this computer's own
 * addresses. Any other http origin can be answered by whoever is on the network path, so
 * only the administrator's policy can allow it.
 * @param {string | null} origin
 */
export function oneClickOrigin(origin) {
  if (origin === null) return false;
  const { protocol, hostname } = new URL(origin);
  return protocol === 'https:' || (protocol === 'http:' && LOOPBACK_HOSTS.has(hostname));
}

/**
 * Match patterns cannot name a port: scripts are registered per scheme and host, and the
 * background checks the exact origin of every page that connects.
 * @param {string} origin
 */
export function matchPatternOf(origin) {
  const { protocol, hostname } = new URL(origin);
  return `${protocol}//${hostname}/*`;
}

/** @param {unknown} list @returns {string[]} the valid origins of the list, once each */
export function originList(list) {
  if (!Array.isArray(list)) return [];
  return [...new Set(list.map(parseOrigin).filter((o) => o !== null))];
}
