// Polls a condition; fails with what was awaited when it does not come true in time.
import { setTimeout as sleep } from 'node:timers/promises';

export async function waitUntil(condition, timeout, what) {
  const deadline = Date.now() + timeout;
  for (;;) {
    const value = await condition();
    if (value) return value;
    if (Date.now() > deadline) throw new Error(`timed out after ${timeout} ms waiting for ${what}`);
    await sleep(50);
  }
}
