// The bridge demo: the unchanged sample page receiving cards in headless Chromium through
// the extension and the real host, as scripts/demo.sh runs it after the plug-in demo
// (inside scripts/with-wine.sh, which the host under Wine needs). The browser, the host
// and the simulated reader are driven by the browser tests' own support code.
//   node tools/bridge-demo/bridge-demo.mjs --build <build-dir> [--card N ...] [--out DIR]
import { mkdirSync } from 'node:fs';
import { join, resolve } from 'node:path';
import { setTimeout as sleep } from 'node:timers/promises';
import { USAGE, parseOptions } from './options.mjs';
import { asScript, expectedScripts, verdict } from './verdict.mjs';

const SAMPLE = '/examples/card-reader.html';
const STEP_TIMEOUT_MS = 10000;
// Long enough for a card from a broken report to have arrived, were it passed on.
const QUIET_MS = 500;

const parsed = parseOptions(process.argv.slice(2));
if (parsed.error) {
  console.error(`bridge demo: ${parsed.error}\n\n${USAGE}`);
  process.exit(2);
}
if (parsed.options.help) {
  console.log(USAGE);
  process.exit(0);
}
const options = parsed.options;
const build = resolve(options.build);
// The support code reads the build directory when it is loaded.
process.env.TARVX_BUILD_DIR = build;
const support = '../../tests/browser/support';
const { allowInPopup, waitForHostRunning } = await import(`${support}/browsers.mjs`);
const { Fixture } = await import(`${support}/fixture.mjs`);
const { recordCalls, recordedCalls } = await import(`${support}/pageCalls.mjs`);
const { CARD_5555_BROKEN_CHECK_REPORT } = await import(`${support}/realHostControl.mjs`);

const started = Date.now();
const say = (text) => console.log(`${String(Date.now() - started).padStart(6)} ms  ${text}`);
for (const note of parsed.notes) say(`(${note})`);

/** Runs the flow on the fixture; returns the scripts the page received. */
async function run(f) {
  const url = f.allowed.url(SAMPLE);
  const tab = await f.session.openTab(url);
  say(`sample page opened: ${url}`);
  await allowInPopup(f.session, url);
  say(`${f.allowed.origin} allowed in the extension's popup, as a user would`);
  await waitForHostRunning(f.session, url);
  say('the browser started the host: tarvx-host.exe under Wine');
  await recordCalls(tab);

  let printed = 0;
  const received = async () => (await recordedCalls(tab)).map(asScript);
  // Prints what came since last time; waits (bounded) for count calls in all.
  const expectCalls = async (count) => {
    await tab
      .waitFor((n) => window.calls.length >= n, count, STEP_TIMEOUT_MS)
      .catch(() => say(`no call came within ${STEP_TIMEOUT_MS} ms`));
    const scripts = await received();
    for (const script of scripts.slice(printed)) say(`page: ${script}`);
    printed = scripts.length;
  };

  await f.host.plugIn();
  say('reader plugged in');
  await expectCalls(printed + 1);
  await tab
    .waitFor(
      () => document.querySelector('[data-tarvx-picture]')?.dataset.tarvxPicture === 'listening',
      undefined,
      STEP_TIMEOUT_MS,
    )
    .catch(() => say('the picture in place of the embed does not show listening'));
  // A card shown before the listen thread has the reader open would be lost, as with a real reader.
  await f.host.waitForOpenHandles(1, STEP_TIMEOUT_MS).catch(() => say('the host did not open the reader'));
  for (const card of options.cards) {
    await f.host.presentCard(card);
    say(`card ${card} presented`);
    await expectCalls(printed + 1);
  }
  await f.host.sendReport(CARD_5555_BROKEN_CHECK_REPORT);
  say('a report with a broken check value sent (must bring nothing)');
  await sleep(QUIET_MS);
  await expectCalls(printed);

  const out = resolve(options.out ?? join(build, 'demo'));
  mkdirSync(out, { recursive: true });
  const shot = join(out, 'bridge-sample-page.png');
  await tab.page.screenshot({ path: shot, fullPage: true });
  say(`screenshot of the page (the status picture in place of the embed): ${shot}`);

  await f.host.unplug();
  say('reader pulled out');
  await expectCalls(printed + 1);
  return received();
}

let f;
let code = 0;
try {
  say('starting the simulated reader, a page server and headless Chromium with the extension');
  f = await Fixture.start('chromium', { host: 'real' });
} catch (error) {
  console.error(`bridge demo: could not start: ${error.message}`);
  code = 2;
}
if (f) {
  try {
    const expected = options.expect.length > 0 ? options.expect : expectedScripts(options.cards);
    const problem = verdict(expected, await run(f));
    if (problem) {
      console.error(`bridge demo: ${problem}`);
      code = 1;
    } else {
      say(`the page received exactly the ${expected.length} expected calls`);
    }
  } catch (error) {
    console.error(`bridge demo: ${error.message}`);
    code = 1;
  } finally {
    await f.close();
  }
}
process.exit(code);
