// The page-world part, put by the background into each document it has accepted (never
// before): it calls the page's own CardReaded and DeviceChanged for the messages content.js
// posts to this window. Only a number is ever passed: nothing received is evaluated, and a
// function the page lacks is simply not called. The browser runs this function on its own,
// in the page, so it uses nothing from around it.

/**
 * @param {string} acceptedOrigin the origin the background accepted for this document
 * @param {number} CARD_NUMBER_MAX the largest card number (names.js), passed in as this runs on its own
 */
export function installPageWorld(acceptedOrigin, CARD_NUMBER_MAX) {
  // Where the browser cannot aim at one document, the tab may have moved on meanwhile.
  if (self.origin !== acceptedOrigin) return;
  const INSTALLED = Symbol.for('tarvx.pageWorld');
  if (window[INSTALLED]) return;
  Object.defineProperty(window, INSTALLED, { value: true });

  const valid = {
    CardReaded: (n) => Number.isInteger(n) && n >= 0 && n <= CARD_NUMBER_MAX,
    DeviceChanged: (n) => n === 0 || n === 1,
  };
  // The page's callbacks found as the plug-in's evaluated statement `CardReaded(n);` found
  // them: by name in the page's global scope, so function declarations, var, and the let
  // and const bindings of its classic scripts, and window properties. The names below are
  // free here on purpose. A binding not yet initialised reads as missing.
  const callbacks = {
    CardReaded: () => {
      try {
        return CardReaded;
      } catch {
        return undefined;
      }
    },
    DeviceChanged: () => {
      try {
        return DeviceChanged;
      } catch {
        return undefined;
      }
    },
  };

  window.addEventListener('message', (event) => {
    if (event.source !== window) return;
    const data = event.data;
    if (typeof data !== 'object' || data === null || data.tarvxBridge !== 1) return;
    const { call, argument } = data;
    if (!Object.prototype.hasOwnProperty.call(valid, call) || !valid[call](argument)) return;
    const fn = callbacks[call]();
    if (typeof fn !== 'function') return;
    try {
      fn.call(window, argument);
    } catch (e) {
      // The page's own error, shown as the page's; later calls are made all the same.
      setTimeout(() => {
        throw e;
      });
    }
  });
}
