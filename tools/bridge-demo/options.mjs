// The bridge demo's command line. It takes the plug-in demo's options too, since
// scripts/demo.sh hands both the same ones: those that concern the plug-in's own host
// (--size, --browser, --plugin, --interactive) are noted and left to it.

export const DEFAULT_CARDS = [2587647617, 42, 4294967295];
const PLUGIN_ONLY = new Set(['--size', '--browser', '--plugin']);

export const USAGE = `Usage: bridge-demo.mjs --build DIR [options]
Runs the sample page (examples/card-reader.html, unchanged) in headless Chromium with the
extension and the real native messaging host (the 64-bit tarvx-host.exe under Wine) reading
the simulated reader: the origin is allowed in the extension's popup, the reader plugged in,
cards presented, a report with a broken check value sent, a screenshot of the page taken,
the reader pulled out. Prints each step and each call the page received, with the time in
milliseconds since the start.

Options:
  --build DIR       the build directory (the extension; the host from DIR/x64)
  --card N          present card number N (0 to 4294967295); repeat for more cards.
                    Given cards replace the default ones (${DEFAULT_CARDS.join(', ')}).
  --out DIR         where the screenshot goes (default: DIR/demo of the build)
  --expect SCRIPT   a script the page must receive, such as "CardReaded(42);"; repeat
                    for each, in order. Replaces the list the demo works out itself.
  --help            this text

Exit code: 0 when the page received exactly the calls it should have, 1 when not, 2 when
the demo could not run.`;

export function parseCard(text) {
  if (!/^\d+$/.test(text)) return null;
  const value = Number(text);
  return Number.isSafeInteger(value) && value <= 0xffffffff ? value : null;
}

/** @returns {{options?: object, error?: string, notes: string[]}} */
export function parseOptions(argv) {
  const options = { build: null, cards: [], out: null, expect: [], help: false };
  const notes = [];
  for (let i = 0; i < argv.length; i += 1) {
    const name = argv[i];
    if (name === '--help' || name === '-h') {
      options.help = true;
      continue;
    }
    if (name === '--interactive') {
      notes.push('--interactive: the plug-in demo only');
      continue;
    }
    const takesValue = ['--build', '--card', '--out', '--expect', ...PLUGIN_ONLY].includes(name);
    if (!takesValue) return { error: `unknown argument: ${name}`, notes };
    if (i + 1 === argv.length) return { error: `${name} needs a value`, notes };
    const value = argv[++i];
    if (PLUGIN_ONLY.has(name)) {
      notes.push(`${name}: the plug-in demo only`);
    } else if (name === '--card') {
      const card = parseCard(value);
      if (card === null) return { error: `--card needs a number from 0 to 4294967295, not '${value}'`, notes };
      options.cards.push(card);
    } else if (name === '--expect') {
      options.expect.push(value);
    } else {
      options[name.slice(2)] = value;
    }
  }
  if (!options.help && !options.build) return { error: '--build is required', notes };
  if (options.cards.length === 0) options.cards = [...DEFAULT_CARDS];
  return { options, notes };
}
