// Every call the page's own CardReaded and DeviceChanged get, in order, without changing
// the page: each function is wrapped where the page defined it, on its window, which is
// where the extension's page-world script calls it.

/** Starts recording on a loaded page; calls from before are not seen. */
export async function recordCalls(tab) {
  await tab.evaluate(() => {
    window.calls = [];
    for (const name of ['CardReaded', 'DeviceChanged']) {
      const own = window[name];
      window[name] = (n) => {
        window.calls.push([name, n]);
        own(n);
      };
    }
  });
}

/** The calls recorded so far, as [name, argument] pairs. */
export const recordedCalls = (tab) => tab.evaluate(() => window.calls);
