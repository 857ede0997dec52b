// Machine-wide policy files that give the extension its managed list of origins. Written
// for one test and put back as they were afterwards; tests using them must not overlap.
import { existsSync, mkdirSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { dirname } from 'node:path';
import { IDS } from './browsers.mjs';

const FILES = {
  chromium: '/etc/chromium/policies/managed/tarvx-browser-tests.json',
  firefox: '/etc/firefox/policies/policies.json',
};

function policy(browser, origins) {
  const settings = { allowedOrigins: origins };
  return browser === 'chromium'
    ? { '3rdparty': { extensions: { [IDS.chromium]: settings } } }
    : { policies: { '3rdparty': { Extensions: { [IDS.firefox]: settings } } } };
}

/** Writes the policy; returns a function that restores what was there before. */
export function writePolicy(browser, origins) {
  const file = FILES[browser];
  const before = existsSync(file) ? readFileSync(file) : null;
  const created = [];
  for (let dir = dirname(file); !existsSync(dir); dir = dirname(dir)) created.unshift(dir);
  mkdirSync(dirname(file), { recursive: true });
  writeFileSync(file, JSON.stringify(policy(browser, origins)));
  return () => {
    if (before) {
      writeFileSync(file, before);
      return;
    }
    rmSync(file, { force: true });
    for (const dir of created.reverse()) rmSync(dir, { recursive: true, force: true });
  };
}
