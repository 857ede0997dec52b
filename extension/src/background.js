// The background: consent, the one native port, and the pages it serves.
import { api } from './browserApi.js';
import { showBadge } from './badge.js';
import { Consent } from './consent.js';
import { injectInto, injectPageWorld, pageAsksForReader, registerFor } from './contentScripts.js';
import { HostConnection } from './hostConnection.js';
import { originOf } from './origins.js';
import { pageStatusOf } from './pageStatus.js';
import { PAGE_PORT_NAME, Pages, senderOrigins } from './pages.js';
import { validHostMessage } from './protocol.js';

const pages = new Pages();
const host = new HostConnection(
  (message) => deliver(message),
  (status) => {
    pages.broadcast(statusMessage('status'));
    showBadge(pages.count, status.listening);
  },
);
const consent = new Consent(applyConsent);

/** What a page hears of the host: listening for its picture, the page status for its own use. */
function statusMessage(type) {
  return { type, listening: host.status.listening, page: pageStatusOf(host.status) };
}

// Cards go to every accepted page unless the administrator keeps them to the page the user
// sees (focusedPageOnly). Messages are handed on in the order the host sent them.
let delivered = Promise.resolve();
function deliver(message) {
  delivered = delivered
    .then(async () => {
      if (message.type !== 'card' || !consent.focusedPageOnly) return pages.broadcast(message);
      const [tab] = await api.tabs.query({ active: true, lastFocusedWindow: true });
      pages.sendToTab(tab?.id, message);
    })
    .catch((e) => console.error('delivery:', e));
}

// Pages of origins no longer allowed are let go; pages of allowed origins that were open
// before (the origin just allowed, or the extension just started) get the scripts now.
async function applyConsent() {
  pages.refuseAllBut((origin) => consent.isAllowed(origin));
  pagesChanged();
  await registerFor(consent.allowedOrigins());
  await startInOpenTabs();
}

function pagesChanged() {
  host.setWanted(pages.count > 0);
  showBadge(pages.count, host.status.listening);
}

// Listeners are added at the top level so that a restarted service worker gets the events
// that woke it; each waits for the stored consent first.
api.runtime.onConnect.addListener(async (port) => {
  if (port.name !== PAGE_PORT_NAME) return port.disconnect();
  let open = true;
  port.onDisconnect.addListener(() => {
    open = false;
    if (pages.remove(port)) pagesChanged();
  });
  await consent.ready;
  // A frame is served only inside a top-level page that is allowed too.
  const { origin, top } = senderOrigins(port.sender);
  if (!open) return;
  if (!consent.isAllowed(origin) || !consent.isAllowed(top)) {
    port.postMessage({ type: 'refused' });
    return port.disconnect();
  }
  // The page-world part is there before the welcome lets content.js post to it.
  try {
    await injectPageWorld(port.sender, origin);
  } catch (e) {
    console.warn(`tab ${port.sender.tab.id}: the page went before it could be served:`, e);
    if (open) port.disconnect();
    return;
  }
  if (!open) return;
  pages.add(port, origin, top);
  port.postMessage(statusMessage('welcome'));
  pagesChanged();
  // A page asking anew is the moment to try a host that could not be used before (it may
  // have been installed meanwhile).
  host.retryIfFailed();
});

api.runtime.onMessage.addListener((request, sender, sendResponse) => {
  if (!fromPopup(sender)) return false;
  answerPopup(request).then(sendResponse, (e) => sendResponse({ error: String(e?.message ?? e) }));
  return true;
});

function fromPopup(sender) {
  return (
    sender.id === api.runtime.id &&
    typeof sender.url === 'string' &&
    sender.url.startsWith(api.runtime.getURL('popup.html'))
  );
}

// The popup names the tab and the origin it showed; a click acts only while the tab still
// shows that origin, so a page that navigated since the popup opened gets nothing from it.
async function answerPopup(request) {
  await consent.ready;
  const tab = await api.tabs.get(request.tabId);
  const origin = originOf(tab.url);
  if (origin === null) return { origin: null };
  const asSeen = request.origin === origin;
  const testCards = await consent.testCardsOffered();
  if (testCards && request.type === 'test') {
    // Through the same delivery as the host's messages, to every page a real card would reach.
    const message = validHostMessage(request.message);
    if (message?.type === 'card' || message?.type === 'device') deliver(message);
  } else if (asSeen && request.type === 'allow' && consent.whyNoClick(origin) === null) {
    // Allowed from a private window: for this browser session only.
    await consent.allow(origin, { privately: tab.incognito === true });
    await applyConsent();
  } else if (asSeen && request.type === 'revoke' && consent.revocable(origin)) {
    await consent.revoke(origin);
    await applyConsent();
  }
  return {
    origin,
    asks: pages.hasTab(tab.id) || (await pageAsksForReader(tab.id)),
    allowed: consent.isAllowed(origin),
    byPolicy: consent.byPolicy(origin),
    policySource: consent.policySource,
    whyNoClick: consent.whyNoClick(origin),
    consentError: consent.error,
    ignoredPolicy: consent.ignoredPolicy,
    host: host.status,
    testCards,
  };
}

async function startInOpenTabs() {
  const tabs = await api.tabs.query({});
  for (const tab of tabs) {
    if (!consent.isAllowed(originOf(tab.url)) || pages.hasTab(tab.id)) continue;
    await injectInto(tab.id).catch((e) => console.warn(`tab ${tab.id}:`, e));
  }
}

consent.ready.then(applyConsent);
