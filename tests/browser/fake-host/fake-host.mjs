#!/usr/bin/env node
// A native messaging host for the browser tests, scripted by the test through a Unix socket
// named by TARVX_FAKE_HOST_CONTROL (support/fakeHostControl.mjs is the other end). It tells
// the test that it started (pid, arguments), forwards every frame the browser sends, and
// writes to the browser whatever the test asks: whole messages or raw bytes, hostile ones
// included. Exits when the browser closes its input, or when told to.
import { connect } from 'node:net';

const controlPath = process.env.TARVX_FAKE_HOST_CONTROL;
if (!controlPath) {
  process.stderr.write('fake-host: TARVX_FAKE_HOST_CONTROL is not set\n');
  process.exit(1);
}

const control = connect(controlPath);
const report = (event) => control.write(`${JSON.stringify(event)}\n`);
report({ event: 'started', pid: process.pid, args: process.argv.slice(2) });

function frame(message) {
  const body = Buffer.from(JSON.stringify(message), 'utf8');
  const length = Buffer.alloc(4);
  length.writeUInt32LE(body.length);
  return Buffer.concat([length, body]);
}

let commands = '';
control.on('data', (chunk) => {
  commands += chunk;
  let end;
  while ((end = commands.indexOf('\n')) >= 0) {
    const command = JSON.parse(commands.slice(0, end));
    commands = commands.slice(end + 1);
    if ('send' in command) process.stdout.write(frame(command.send));
    if ('raw' in command) process.stdout.write(Buffer.from(command.raw, 'base64'));
    if ('exit' in command) process.exit(command.exit);
  }
});
control.on('close', () => process.exit(0));

let input = Buffer.alloc(0);
process.stdin.on('data', (chunk) => {
  input = Buffer.concat([input, chunk]);
  while (input.length >= 4 && input.length >= 4 + input.readUInt32LE(0)) {
    const length = input.readUInt32LE(0);
    report({ event: 'received', message: JSON.parse(input.subarray(4, 4 + length).toString('utf8')) });
    input = input.subarray(4 + length);
  }
});
process.stdin.on('end', () => {
  report({ event: 'input-closed' });
  control.end(() => process.exit(0));
});
