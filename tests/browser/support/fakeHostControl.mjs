// The test's end of the fake host (fake-host/fake-host.mjs): a Unix socket server that every
// started host connects to. It plays the reader the way the real host reports it: hello and
// the listening status on start, then device, status and card messages as the test plugs
// the reader in, presents cards and pulls it out. The fake host's own extras (raw bytes,
// arbitrary messages) are for the hostile-host cases.
import { once } from 'node:events';
import { readFileSync } from 'node:fs';
import { createServer } from 'node:net';
import { join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { PROTOCOL } from '../../../extension/names.mjs';
import { waitUntil } from './wait.mjs';

export const FAKE_HOST_PATH = fileURLToPath(new URL('../fake-host/fake-host.mjs', import.meta.url));

export class FakeHost {
  /** @param {string} dir a private temporary folder for the socket */
  static async start(dir) {
    const host = new FakeHost(join(dir, 'fake-host.sock'));
    host.server.listen(host.socketPath);
    await once(host.server, 'listening');
    return host;
  }

  constructor(socketPath) {
    this.socketPath = socketPath;
    /** every host the browser started, in order: {pid, args, received, socket, closed} */
    this.instances = [];
    this.plugged = false;
    this.server = createServer((socket) => this.accept(socket));
  }

  /** What the browser's environment needs for its hosts to find this controller. */
  get env() {
    return { TARVX_FAKE_HOST_CONTROL: this.socketPath };
  }

  accept(socket) {
    const instance = { pid: null, args: [], received: [], socket, closed: false, inputClosed: false };
    let buffer = '';
    socket.setEncoding('utf8');
    socket.on('data', (chunk) => {
      buffer += chunk;
      let end;
      while ((end = buffer.indexOf('\n')) >= 0) {
        this.event(instance, JSON.parse(buffer.slice(0, end)));
        buffer = buffer.slice(end + 1);
      }
    });
    socket.on('close', () => {
      instance.closed = true;
    });
    socket.on('error', () => {});
  }

  event(instance, event) {
    if (event.event === 'started') {
      Object.assign(instance, { pid: event.pid, args: event.args });
      this.instances.push(instance);
      this.write(instance, { send: { type: 'hello', protocol: PROTOCOL, version: '1.0.0.1' } });
      this.write(instance, { send: { type: 'reader', state: this.plugged ? 'listening' : 'no-reader' } });
      this.write(instance, { send: { type: 'status', listening: this.plugged } });
    } else if (event.event === 'received') {
      instance.received.push(event.message);
    } else if (event.event === 'input-closed') {
      instance.inputClosed = true;
    }
  }

  write(instance, command) {
    if (!instance.closed) instance.socket.write(`${JSON.stringify(command)}\n`);
  }

  /** The host now running, if any. */
  get current() {
    const last = this.instances.at(-1);
    return last && !last.closed ? last : null;
  }

  async waitForStarts(count, timeout = 15000) {
    await waitUntil(() => this.instances.length >= count && this.current, timeout, `${count} host start(s)`);
    return this.current;
  }

  send(message) {
    this.write(this.current, { send: message });
  }

  sendRaw(bytes) {
    this.write(this.current, { raw: Buffer.from(bytes).toString('base64') });
  }

  plugIn() {
    this.plugged = true;
    this.send({ type: 'device', change: 1 });
    this.send({ type: 'reader', state: 'listening' });
    this.send({ type: 'status', listening: true });
  }

  presentCard(number) {
    this.send({ type: 'card', number });
  }

  unplug() {
    this.plugged = false;
    this.send({ type: 'reader', state: 'no-reader' });
    this.send({ type: 'status', listening: false });
    this.send({ type: 'device', change: 0 });
  }

  /** Kills the running host as a crash would. */
  kill() {
    process.kill(this.current.pid, 'SIGKILL');
  }

  async close() {
    for (const instance of this.instances) instance.socket.destroy();
    this.server.close();
  }
}

/** Whether a process with this id still exists (a zombie counts as gone). */
export function processAlive(pid) {
  try {
    process.kill(pid, 0);
  } catch {
    return false;
  }
  try {
    return !/\nState:\s+Z/.test(readFileSync(`/proc/${pid}/status`, 'utf8'));
  } catch {
    return false;
  }
}
