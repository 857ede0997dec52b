// The content script runs only on the hosts of allowed origins: it is registered for
// exactly those hosts and re-registered whenever the lists change. Match patterns cannot
// name a port, so it also runs on the host's other ports; it is invisible to the page and
// changes nothing there until the background has accepted the document's exact origin. Only
// then does the page-world part go into that one document. It runs in frames too: a frame
// that asks for the reader is served when it and the top-level page are both allowed.
import { api } from './browserApi.js';
import { ASKS_FOR_READER, CARD_NUMBER_MAX } from './names.js';
import { matchPatternOf } from './origins.js';
import { installPageWorld } from './pageWorld.js';

const ISOLATED = 'tarvx-isolated';
// Registered by earlier versions for every page of an allowed host; removed when found.
const OLD_MAIN = 'tarvx-page-world';
// page-names.js: names.js for a script that cannot import (build.mjs writes it).
const ISOLATED_FILES = ['page-names.js', 'pictures.js', 'content.js'];

let queue = Promise.resolve();

/** @param {string[]} origins all allowed origins */
export function registerFor(origins) {
  queue = queue.then(() => replaceRegistration(origins)).catch((e) => console.error('content scripts:', e));
  return queue;
}

async function replaceRegistration(origins) {
  const existing = await api.scripting.getRegisteredContentScripts({ ids: [ISOLATED, OLD_MAIN] });
  if (existing.length > 0) {
    await api.scripting.unregisterContentScripts({ ids: existing.map((s) => s.id) });
  }
  const matches = [...new Set(origins.map(matchPatternOf))];
  if (matches.length === 0) return;
  await api.scripting.registerContentScripts([
    { id: ISOLATED, matches, js: ISOLATED_FILES, runAt: 'document_idle', allFrames: true, persistAcrossSessions: true },
  ]);
}

/** Starts the content script in a tab that was open before its origin was allowed. */
export async function injectInto(tabId) {
  await api.scripting.executeScript({ target: { tabId, allFrames: true }, files: ISOLATED_FILES });
}

/**
 * Puts the page-world part into the document whose content script the background has just
 * accepted for origin: that very document where the browser names documents (Chromium),
 * else the sender's frame, where the part itself checks the origin again.
 */
export async function injectPageWorld(sender, origin) {
  const target =
    typeof sender.documentId === 'string'
      ? { tabId: sender.tab.id, documentIds: [sender.documentId] }
      : { tabId: sender.tab.id, frameIds: [sender.frameId] };
  await api.scripting.executeScript({
    target,
    world: 'MAIN',
    func: installPageWorld,
    args: [origin, CARD_NUMBER_MAX],
  });
}

/** Whether the page in the tab, or a frame of it, has the plug-in's element or the marker; null if unknown. */
export async function pageAsksForReader(tabId) {
  try {
    const results = await api.scripting.executeScript({
      target: { tabId, allFrames: true },
      func: probe,
      args: [ASKS_FOR_READER],
    });
    return results.some((r) => r?.result === true);
  } catch {
    return null;
  }
}

// Runs in the page's isolated world; reads the document, changes nothing.
function probe(selector) {
  return document.querySelector(selector) !== null;
}
