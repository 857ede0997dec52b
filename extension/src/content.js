// Isolated-world script on allowed origins. It waits for the page to ask for the reader
// (the plug-in's element or the marker), then connects to the background, and touches
// the page only once the background has accepted the page's origin: the plug-in's
// elements are hidden behind the status picture, the page status is shown (README, "The
// page status") and calls are handed to the page-world part (pageWorld.js). In a frame it
// serves that frame's document, which is where the page's calls go.
(() => {
  // A document with an opaque origin (sandboxed) has no origin anyone could have allowed.
  if (self.origin === 'null') return;
  if (globalThis.tarvxContent) {
    // Injected again after the origin was allowed anew.
    globalThis.tarvxContent.restart();
    return;
  }
  const api = globalThis.browser ?? globalThis.chrome;
  // Written by the build from names.js (page-names.js, loaded before this script).
  const { ELEMENTS, ASKS_FOR_READER, CARD_NUMBER_MAX, PAGE_PORT_NAME } = globalThis.tarvxNames;
  const RECONNECT_MS = 1000;
  const pictures = globalThis.tarvxPictures;

  const STATUS_EVENT = 'tarvxstatus';

  let port = null;
  let accepted = false;
  let refused = false;
  let listening = false;
  /** The page status last shown, {status, cause}; null before the page was accepted. */
  let shown = null;
  /** plug-in element -> the picture shown instead */
  const covered = new Map();

  const asksForReader = () => document.querySelector(ASKS_FOR_READER) !== null;

  const observer = new MutationObserver(() => {
    if (refused) return;
    if (!port && asksForReader()) connect();
    if (accepted) coverElements();
  });

  function start() {
    // A prerendered page is not shown yet: it connects once it is.
    if (document.prerendering) {
      document.addEventListener('prerenderingchange', start, { once: true });
      return;
    }
    observer.observe(document, {
      childList: true,
      subtree: true,
      attributes: true,
      attributeFilter: ['type', 'name', 'content'],
    });
    if (asksForReader()) connect();
  }

  function connect() {
    port = api.runtime.connect({ name: PAGE_PORT_NAME });
    port.onMessage.addListener(receive);
    port.onDisconnect.addListener(() => {
      port = null;
      if (refused) return;
      // The background went away (a service worker restart): the page keeps its picture,
      // shown as not listening, until it is accepted again.
      showListening(false);
      if (accepted) showStatus({ status: 'stopped', cause: 'extension-restarting' });
      setTimeout(() => {
        if (!port && !refused) connect();
      }, RECONNECT_MS);
    });
  }

  function receive(message) {
    if (typeof message !== 'object' || message === null) return;
    switch (message.type) {
      case 'welcome':
        accepted = true;
        coverElements();
        showListening(message.listening === true);
        showStatus(message.page);
        break;
      case 'status':
        if (!accepted) break;
        showListening(message.listening === true);
        showStatus(message.page);
        break;
      case 'device':
        if (accepted && (message.change === 0 || message.change === 1)) callPage('DeviceChanged', message.change);
        break;
      case 'card':
        if (accepted && Number.isInteger(message.number) && message.number >= 0 && message.number <= CARD_NUMBER_MAX) {
          callPage('CardReaded', message.number);
        }
        break;
      case 'refused':
        stop();
        break;
    }
  }

  function stop() {
    refused = true;
    // A page that was served is told it no longer is; one never served is told nothing.
    if (accepted) showStatus({ status: 'not-allowed', cause: null });
    accepted = false;
    observer.disconnect();
    port?.disconnect();
    port = null;
    for (const [element, picture] of covered) {
      picture.remove();
      element.style.removeProperty('display');
    }
    covered.clear();
  }

  function callPage(call, argument) {
    window.postMessage({ tarvxBridge: 1, call, argument }, window.location.origin);
  }

  /**
   * The page status on the html element and each plug-in element, as data-tarvx-status (and
   * data-tarvx-cause where there is one), and a `tarvxstatus` event on each element, or on the
   * document where there is none, when it changes.
   */
  function showStatus(page) {
    if (typeof page !== 'object' || page === null || typeof page.status !== 'string') return;
    const cause = typeof page.cause === 'string' ? page.cause : null;
    if (shown?.status === page.status && shown?.cause === cause) return;
    shown = { status: page.status, cause };
    const elements = [...document.querySelectorAll(ELEMENTS)];
    for (const element of [document.documentElement, ...elements]) markStatus(element);
    const targets = elements.length > 0 ? elements : [document];
    for (const target of targets) {
      target.dispatchEvent(new CustomEvent(STATUS_EVENT, { bubbles: true, detail: shown.status }));
    }
  }

  function markStatus(element) {
    if (shown === null) return;
    element.setAttribute('data-tarvx-status', shown.status);
    if (shown.cause === null) element.removeAttribute('data-tarvx-cause');
    else element.setAttribute('data-tarvx-cause', shown.cause);
  }

  function coverElements() {
    for (const [element, picture] of covered) {
      if (!element.isConnected) {
        picture.remove();
        covered.delete(element);
      }
    }
    for (const element of document.querySelectorAll(ELEMENTS)) {
      if (covered.has(element)) continue;
      const picture = pictureFor(element);
      element.before(picture);
      element.style.setProperty('display', 'none', 'important');
      covered.set(element, picture);
      markStatus(element);
      paint(picture);
    }
  }

  // A box of the element's size with the picture unscaled in its centre, as the plug-in drew it.
  function pictureFor(element) {
    const box = document.createElement('span');
    const size = (name, measured) => {
      const value = (element.getAttribute(name) ?? '').trim();
      if (/^\d+$/.test(value)) return `${value}px`;
      if (/^\d+(\.\d+)?%$/.test(value)) return value;
      return `${Math.round(measured)}px`;
    };
    const rect = element.getBoundingClientRect();
    box.style.cssText =
      'display:inline-block;box-sizing:border-box;margin:0;padding:0;border:0;' +
      'vertical-align:baseline;background-repeat:no-repeat;background-position:center;background-size:auto;';
    box.style.width = size('width', rect.width);
    box.style.height = size('height', rect.height);
    box.setAttribute('role', 'img');
    box.dataset.tarvxPicture = '';
    return box;
  }

  function showListening(value) {
    listening = value;
    for (const picture of covered.values()) paint(picture);
  }

  function paint(picture) {
    picture.style.backgroundImage = `url("${listening ? pictures.listening : pictures.idle}")`;
    picture.dataset.tarvxPicture = listening ? 'listening' : 'idle';
    picture.setAttribute('aria-label', listening ? 'Card reader: listening' : 'Card reader: not listening');
    picture.title = picture.getAttribute('aria-label');
  }

  globalThis.tarvxContent = {
    restart() {
      if (!refused) return;
      refused = false;
      start();
    },
  };
  start();
})();
