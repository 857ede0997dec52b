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
 * with one trailing slash; anything with a path, query, fragment or credentials is refused.
 * So is a wildcard: URL parsing keeps `*` in a host, and the match pattern made from it
 * (matchPatternOf) would put the page scripts on every subdomain.
 * @param {unknown} text
 * @returns {string | null}
 */
export function parseOrigin(text) {
  if (typeof text !== 'string' || text.includes('*')) return null;
  const origin = originOf(text);
  if (origin === null) return null;
  return text === origin || text === `${origin}/` ? origin : null;
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
