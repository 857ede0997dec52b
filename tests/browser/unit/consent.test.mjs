// The consent lists (extension/src/consent.js) over a store that fails, without a browser:
// a read that fails is reported and tried again, and the popup's requests keep working.
import assert from 'node:assert/strict';
import { test } from 'node:test';
import { setTimeout as sleep } from 'node:timers/promises';
import { Consent, offersTestCards } from '../../../extension/src/consent.js';

const SITE = 'https://shop.example';

/** The consent store's interface (consentStore.js); the user's list fails `failures` reads. */
function fakeStore(failures) {
  const kept = { user: [SITE], private: [] };
  return {
    kept,
    async readUser() {
      if (failures > 0) {
        failures -= 1;
        throw new Error('IO error: the profile is locked');
      }
      return [...kept.user];
    },
    writeUser: async (list) => (kept.user = [...list]),
    readPrivate: async () => [...kept.private],
    writePrivate: async (list) => (kept.private = [...list]),
    readManaged: async () => ({}),
    managedSource: async () => 'administrator',
    readRevoked: async () => [],
    writeRevoked: async () => {},
    onManagedChange() {},
  };
}

test('a consent read that fails once is reported, tried again, and revoke still works', async () => {
  const store = fakeStore(1);
  let changes = 0;
  const consent = new Consent(() => (changes += 1), store);

  await consent.ready;
  assert.match(consent.error, /IO error/);
  assert.equal(consent.isAllowed(SITE), false, 'nothing is allowed that could not be read');

  for (let waited = 0; consent.error !== null && waited < 5000; waited += 50) await sleep(50);
  await consent.ready;
  assert.equal(consent.error, null);
  assert.equal(changes, 1);
  assert.equal(consent.isAllowed(SITE), true);

  await consent.revoke(SITE);
  assert.equal(consent.isAllowed(SITE), false);
  assert.deepEqual(store.kept.user, []);
});

test('consent from a private window is kept apart, for the session', async () => {
  const store = fakeStore(0);
  store.kept.user = [];
  const consent = new Consent(() => {}, store);
  await consent.allow('https://private.example', { privately: true });
  assert.equal(consent.isAllowed('https://private.example'), true);
  assert.deepEqual(store.kept, { user: [], private: ['https://private.example'] });
  await consent.revoke('https://private.example');
  assert.deepEqual(store.kept, { user: [], private: [] });
});

test('test cards are offered in development, or where the administrator turns them on', () => {
  // [testCards setting, policy source, install type, offered]
  const cases = [
    [null, 'administrator', 'development', true],
    [null, 'administrator', 'normal', false],
    [null, 'administrator', 'admin', false],
    [null, 'program', 'normal', false],
    [true, 'administrator', 'normal', true],
    [true, 'administrator', 'admin', true],
    // A program's managed settings may turn them off, never on.
    [true, 'program', 'normal', false],
    [true, 'program', 'development', true],
    [false, 'administrator', 'development', false],
    [false, 'program', 'development', false],
  ];
  const wrong = cases.filter(
    ([setting, source, install, offered]) => offersTestCards(setting, source, install) !== offered,
  );
  assert.deepEqual(wrong, []);
});
