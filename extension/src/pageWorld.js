// The page-world part, put by the background into each document it has accepted (never
// before): it calls the page's own CardReaded and DeviceChanged for the messages content.js
// posts to this window. Only a number is ever passed: nothing received is evaluated, and a
// function the page lacks is simply not called. The browser runs this function on its own,
// in the page, so it uses nothing from around it.

/** @param {string} acceptedOrigin the origin the background accepted for this document */
export function installPageWorld(acceptedOrigin) {
  // Where the browser cannot aim at one document, the tab may have moved on meanwhile.
  if (self.origin !== acceptedOrigin) return;
  const INSTALLED = Symbol.for('tarvx.pageWorld');
  if (window[INSTALLED]) return;
  Object.defineProperty(window, INSTALLED, { value: true });
  const CARD_NUMBER_MAX = 4294967295;

  const valid = {
    CardReaded: (n) => Number.isInteger(n) && n >= 0 && n <= CARD_NUMBER_MAX,
    DeviceChanged: (n) => n === 0 || n === 1,
  };

  window.addEventListener('message', (event) => {
    if (event.source !== window) return;
    const data = event.data;
    if (typeof data !== 'object' || data === null || data.tarvxBridge !== 1) return;
    const { call, argument } = data;
    if (!Object.prototype.hasOwnProperty.call(valid, call) || !valid[call](argument)) return;
    const fn = window[call];
    if (typeof fn === 'function') fn.call(window, argument);
  });
}
