// The page scripts run only where the user or the administrator allowed an origin: they are
// registered for exactly those hosts and re-registered whenever the lists change.
import { api } from './browserApi.js';
import { matchPatternOf } from './origins.js';

const ISOLATED = 'tarvx-isolated';
const MAIN = 'tarvx-page-world';
const ISOLATED_FILES = ['pictures.js', 'content.js'];
const MAIN_FILES = ['page-world.js'];

let queue = Promise.resolve();

/** @param {string[]} origins all allowed origins */
export function registerFor(origins) {
  queue = queue.then(() => replaceRegistration(origins)).catch((e) => console.error('content scripts:', e));
  return queue;
}

async function replaceRegistration(origins) {
  const existing = await api.scripting.getRegisteredContentScripts({ ids: [ISOLATED, MAIN] });
  if (existing.length > 0) {
    await api.scripting.unregisterContentScripts({ ids: existing.map((s) => s.id) });
  }
  const matches = [...new Set(origins.map(matchPatternOf))];
  if (matches.length === 0) return;
  await api.scripting.registerContentScripts([
    // The page-world listener is in place before the isolated script can post to it.
    { id: MAIN, matches, js: MAIN_FILES, runAt: 'document_start', world: 'MAIN', persistAcrossSessions: true },
    { id: ISOLATED, matches, js: ISOLATED_FILES, runAt: 'document_idle', persistAcrossSessions: true },
  ]);
}

/** Starts the page scripts in a tab that was open before its origin was allowed. */
export async function injectInto(tabId) {
  const target = { tabId, frameIds: [0] };
  await api.scripting.executeScript({ target, files: MAIN_FILES, world: 'MAIN' });
  await api.scripting.executeScript({ target, files: ISOLATED_FILES });
}

/** Whether the page in the tab has the plug-in's element or the marker; null if unknown. */
export async function pageAsksForReader(tabId) {
  try {
    const [result] = await api.scripting.executeScript({ target: { tabId, frameIds: [0] }, func: probe });
    return result?.result === true;
  } catch {
    return null;
  }
}

// Runs in the page's isolated world; reads the document, changes nothing.
function probe() {
  const type = '[type="application/TarvoUsbICReader-plugin" i]';
  return (
    document.querySelector(`embed${type}, object${type}, meta[name="tarvx-card-reader" i][content="on" i]`) !== null
  );
}
