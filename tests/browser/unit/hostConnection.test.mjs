// The one native port (hostConnection.js) over a fake browser, with fake timers: when it
// reopens after a host went away, what it gives up on, and what it passes on.
import assert from 'node:assert/strict';
import { afterEach, beforeEach, mock, test } from 'node:test';

/** A browser whose connectNative hands out ports the test drives. */
const browser = {
  ports: [],
  runtime: {
    lastError: undefined,
    connectNative(name) {
      const port = {
        name,
        sent: [],
        disconnected: false,
        listeners: { message: [], disconnect: [] },
        onMessage: { addListener: (f) => port.listeners.message.push(f) },
        onDisconnect: { addListener: (f) => port.listeners.disconnect.push(f) },
        postMessage: (m) => port.sent.push(m),
        disconnect: () => (port.disconnected = true),
        // What the host does: say something, or go away (error as Firefox reports it).
        say: (m) => port.listeners.message.forEach((f) => f(m)),
        exit: (message) => port.listeners.disconnect.forEach((f) => f(message ? { error: { message } } : {})),
      };
      browser.ports.push(port);
      return port;
    },
  },
};
globalThis.chrome = browser;
const { HostConnection } = await import('../../../extension/src/hostConnection.js');

const HELLO = { type: 'hello', protocol: 1, version: '1.0.0.1' };
let connection;
let delivered;

beforeEach(() => {
  mock.timers.enable({ apis: ['setTimeout', 'Date'], now: 0 });
  browser.ports = [];
  delivered = [];
  connection = new HostConnection(
    (m) => delivered.push(m),
    () => {},
  );
});
afterEach(() => {
  connection.setWanted(false);
  mock.timers.reset();
});

const current = () => browser.ports.at(-1);

/** The delays between the host going away and the port being opened again, for a host that exits each time. */
function reopenDelays(count, { ranMs = 0, why = 'Native host has exited.' } = {}) {
  const delays = [];
  for (let i = 0; i < count; i++) {
    const port = current();
    port.say(HELLO);
    mock.timers.tick(ranMs);
    port.exit(why);
    const opened = browser.ports.length;
    let waited = 0;
    while (browser.ports.length === opened && waited <= 60000) {
      mock.timers.tick(100);
      waited += 100;
    }
    delays.push(browser.ports.length === opened ? null : waited);
  }
  return delays;
}

test('a host that keeps exiting is reopened after 0.5 s, doubling to 8 s; one that ran 10 s starts short again', () => {
  connection.setWanted(true);
  assert.deepEqual(reopenDelays(6), [500, 1000, 2000, 4000, 8000, 8000]);
  assert.deepEqual(reopenDelays(2, { ranMs: 10000 }), [500, 500]);
  assert.equal(connection.status.code, 'host-exited');
});

test('what cannot be mended is not retried until a page asks anew', () => {
  const cases = [
    ['Specified native messaging host not found.', 'host-not-found'],
    ['Access to the specified native messaging host is forbidden.', 'host-forbidden'],
    ['No such native application com.tarvo.usbicreader', 'host-not-found'],
  ];
  for (const [why, code] of cases) {
    connection.setWanted(false);
    browser.ports = [];
    connection.setWanted(true);
    current().exit(why);
    mock.timers.tick(60000);
    assert.deepEqual([browser.ports.length, connection.status.state, connection.status.code], [1, 'failed', code], why);
    connection.retryIfFailed();
    assert.equal(browser.ports.length, 2, `${why}: reopened when a page asks anew`);
  }
});

test('a host of another protocol is given up on; one that never says hello is retried', () => {
  connection.setWanted(true);
  current().say({ ...HELLO, protocol: 2 });
  assert.equal(current().disconnected, true);
  mock.timers.tick(60000);
  assert.deepEqual(
    [browser.ports.length, connection.status.state, connection.status.code],
    [1, 'failed', 'protocol-mismatch'],
  );
  assert.match(connection.status.sentence, /update the extension/);

  connection.setWanted(false);
  connection.setWanted(true);
  mock.timers.tick(14999);
  assert.equal(connection.status.state, 'starting');
  mock.timers.tick(1);
  assert.deepEqual([connection.status.state, connection.status.code], ['retrying', 'no-hello']);
  mock.timers.tick(500);
  assert.equal(browser.ports.length, 3, 'opened again after the first delay');
});

test('no reopening once no page wants the host', () => {
  connection.setWanted(true);
  current().say(HELLO);
  current().exit('Native host has exited.');
  connection.setWanted(false);
  mock.timers.tick(60000);
  assert.equal(browser.ports.length, 1);
  assert.equal(connection.status.state, 'off');
});

test('only what follows the hello is passed on; status and reader are kept, not delivered', () => {
  connection.setWanted(true);
  const port = current();
  port.say({ type: 'card', number: 1 });
  port.say(HELLO);
  port.say({ type: 'reader', state: 'cannot-open' });
  port.say({ type: 'status', listening: false });
  port.say({ type: 'card', number: 2, extra: true });
  port.say({ type: 'device', change: 1 });
  port.say({ type: 'card', number: 3 });
  assert.deepEqual(delivered, [
    { type: 'device', change: 1 },
    { type: 'card', number: 3 },
  ]);
  assert.deepEqual(
    [connection.status.state, connection.status.reader, connection.status.reported, connection.status.listening],
    ['connected', 'cannot-open', true, false],
  );
  // A port the connection has let go of is not listened to.
  port.exit('Native host has exited.');
  port.say({ type: 'card', number: 4 });
  assert.equal(delivered.length, 2);
});
