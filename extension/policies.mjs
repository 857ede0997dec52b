// The administrator's allow-list (the extension's managed storage, `allowedOrigins`) in each
// form a browser reads its policies from. build.mjs writes them as the release's templates;
// the browser tests write the Linux forms with their own origins. Both go through here so
// that the ids and key paths in the templates are the ones the tests exercised. Each
// browser's template names every id our extension can have in that browser (names.mjs).
import { WINDOWS_BROWSERS, chromiumIdsOf } from './names.mjs';

/** The origin the templates carry until an administrator puts the real ones in. */
export const EXAMPLE_ORIGINS = ['https://shop.example'];

const REGISTRY_ROOTS = Object.fromEntries(
  WINDOWS_BROWSERS.filter((b) => b.manifest === 'chromium').map((b) => [b.name, `HKEY_LOCAL_MACHINE\\${b.policies}`]),
);

// more: the other settings (userConsent, focusedPageOnly, testCards), each left out unless given, so
// that the extension's defaults hold.
const settings = (origins, more = {}) => ({ allowedOrigins: [...origins], ...more });

/** Chromium on Linux: a file in /etc/chromium/policies/managed/ (the ids Chrome knows). */
export function chromiumLinuxPolicy(ids, origins, more) {
  const extensions = Object.fromEntries(chromiumIdsOf(ids, 'Chrome').map((id) => [id, settings(origins, more)]));
  return { '3rdparty': { extensions } };
}

/** Firefox: the part of policies.json that gives the add-on its managed storage. */
export function firefoxPolicies(ids, origins, more) {
  return { policies: { '3rdparty': { Extensions: { [ids.firefox]: settings(origins, more) } } } };
}

const regString = (text) => `"${text.replace(/\\/g, '\\\\').replace(/"/g, '\\"')}"`;
const crlf = (lines) => `${lines.join('\r\n')}\r\n`;

// Chrome and Edge read an extension's policy from <root>\3rdparty\extensions\<id>\policy,
// a list as a key of its own whose values "1", "2", ... are the items.
function policyKey(browser, id) {
  return `${REGISTRY_ROOTS[browser]}\\3rdparty\\extensions\\${id}\\policy`;
}

/** Chrome or Edge on Windows: a .reg file for regedit, with Windows line ends. */
export function browserRegistry(browser, ids, origins) {
  const lines = ['Windows Registry Editor Version 5.00', ''];
  lines.push(`; The card reader extension in ${browser}: origins whose pages get cards without asking the user.`);
  lines.push('; Replace the origins below with your own (scheme, host and port), one value each.');
  for (const id of chromiumIdsOf(ids, browser)) {
    lines.push('');
    // The list's key is deleted first so that origins left from an earlier list go.
    lines.push(`[-${policyKey(browser, id)}\\allowedOrigins]`);
    lines.push(`[${policyKey(browser, id)}\\allowedOrigins]`);
    origins.forEach((origin, i) => lines.push(`"${i + 1}"=${regString(origin)}`));
    lines.push(`[${policyKey(browser, id)}]`);
    lines.push('; Users may not allow sites of their own while origins are listed above. To let them:');
    lines.push(';"userConsent"=dword:00000001');
    lines.push('; Cards go to every allowed page. For the page in front only:');
    lines.push(';"focusedPageOnly"=dword:00000001');
    lines.push('; The popup offers test cards only where the extension is loaded for development. On a test machine:');
    lines.push(';"testCards"=dword:00000001');
  }
  return crlf(lines);
}

/** Undoes browserRegistry: the extension's whole policy key in that browser. */
export function browserRegistryRemoval(browser, ids) {
  const lines = ['Windows Registry Editor Version 5.00', ''];
  lines.push(`; Removes the card reader extension's policy (its allowed origins) from ${browser}.`);
  for (const id of chromiumIdsOf(ids, browser)) {
    lines.push(`[-${REGISTRY_ROOTS[browser]}\\3rdparty\\extensions\\${id}]`);
  }
  return crlf(lines);
}

/** Every template by its file name in the release's policies/ folder. */
export function policyTemplates(ids, origins = EXAMPLE_ORIGINS) {
  const json = (value) => `${JSON.stringify(value, null, 2)}\n`;
  return {
    'chrome-allowed-origins.reg': browserRegistry('Chrome', ids, origins),
    'chrome-remove-allowed-origins.reg': browserRegistryRemoval('Chrome', ids),
    'edge-allowed-origins.reg': browserRegistry('Edge', ids, origins),
    'edge-remove-allowed-origins.reg': browserRegistryRemoval('Edge', ids),
    'firefox-policies.json': json(firefoxPolicies(ids, origins)),
    'chromium-linux-policy.json': json(chromiumLinuxPolicy(ids, origins)),
  };
}
