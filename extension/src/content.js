// Isolated-world script on allowed origins. It waits for the page to ask for the reader
// (the plug-in's element or the marker), then connects to the background, and touches
// the page only once the background has accepted the page's origin: the plug-in's
// elements are hidden behind the status picture and calls are handed to the page-world part (pageWorld.js).
(() => {
  // A document with an opaque origin (sandboxed) has no origin anyone could have allowed.
  if (self.origin === 'null') return;
  if (globalThis.tarvxContent) {
    // Injected again after the origin was allowed anew.
    globalThis.tarvxContent.restart();
    return;
  }
  const api = globalThis.browser ?? globalThis.chrome;
  const TYPE = '[type="application/TarvoUsbICReader-plugin" i]';
  const ELEMENTS = `embed${TYPE}, object${TYPE}`;
  const MARKER = 'meta[name="tarvx-card-reader" i][content="on" i]';
  const CARD_NUMBER_MAX = 4294967295;
  const RECONNECT_MS = 1000;
  const pictures = globalThis.tarvxPictures;

  let port = null;
  let accepted = false;
  let refused = false;
  let listening = false;
  /** plug-in element -> the picture shown instead */
  const covered = new Map();

  const asksForReader = () => document.querySelector(`${ELEMENTS}, ${MARKER}`) !== null;

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
    port = api.runtime.connect({ name: 'tarvx-page' });
    port.onMessage.addListener(receive);
    port.onDisconnect.addListener(() => {
      port = null;
      if (refused) return;
      // The background went away (a service worker restart): the page keeps its picture,
      // shown as not listening, until it is accepted again.
      showListening(false);
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
        break;
      case 'status':
        showListening(message.listening === true);
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
    box.dataset.tarvxStatus = '';
    return box;
  }

  function showListening(value) {
    listening = value;
    for (const picture of covered.values()) paint(picture);
  }

  function paint(picture) {
    picture.style.backgroundImage = `url("${listening ? pictures.listening : pictures.idle}")`;
    picture.dataset.tarvxStatus = listening ? 'listening' : 'idle';
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
