// Machine-wide policy files that give the extension its managed list of origins, in the
// forms the release ships as templates (extension/policies.mjs makes both). Written for one
// test and put back as they were afterwards, also when the test run is interrupted; tests
// using them must not overlap.
import { existsSync, mkdirSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { dirname } from 'node:path';
import { chromiumLinuxPolicy, firefoxPolicies } from '../../../extension/policies.mjs';
import { IDS } from './browsers.mjs';

const FILES = {
  chromium: '/etc/chromium/policies/managed/tarvx-browser-tests.json',
  firefox: '/etc/firefox/policies/policies.json',
};

const policy = (browser, origins, more) =>
  browser === 'chromium' ? chromiumLinuxPolicy(IDS, origins, more) : firefoxPolicies(IDS, origins, more);

// Restores still owed, run on the way out when a test did not get to run its own.
const pending = new Set();
const restoreAll = () => {
  for (const restore of [...pending]) restore();
};
process.once('exit', restoreAll);
for (const signal of ['SIGINT', 'SIGTERM']) {
  process.once(signal, () => {
    restoreAll();
    process.exit(128 + (signal === 'SIGINT' ? 2 : 15));
  });
}

/**
 * Writes the allowed origins' policy, with the other settings in more ({userConsent,
 * focusedPageOnly}); returns a function that restores what was there before.
 */
export function writePolicy(browser, origins, more) {
  return writePolicyFile(browser, policy(browser, origins, more));
}

/** Writes this policy object as the browser's machine-wide file; returns its restore. */
export function writePolicyFile(browser, content) {
  const file = FILES[browser];
  const before = existsSync(file) ? readFileSync(file) : null;
  const created = [];
  for (let dir = dirname(file); !existsSync(dir); dir = dirname(dir)) created.unshift(dir);
  mkdirSync(dirname(file), { recursive: true });
  const restore = () => {
    if (!pending.delete(restore)) return;
    if (before) {
      writeFileSync(file, before);
      return;
    }
    rmSync(file, { force: true });
    for (const dir of created.reverse()) rmSync(dir, { recursive: true, force: true });
  };
  pending.add(restore);
  writeFileSync(file, JSON.stringify(content));
  return restore;
}
