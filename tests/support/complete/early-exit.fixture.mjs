// A node test file that ends its process with exit code 0 in its third test; with
// TARVX_FIXTURE_COMPLETE set it runs all five (complete_runs.test.mjs).
import { describe, test } from 'node:test';

test('first', () => {});
test('second', () => {});
describe('a suite', () => {
  test('third', () => {
    if (!process.env.TARVX_FIXTURE_COMPLETE) process.exit(0);
  });
  test('fourth', () => {});
});
test('fifth', () => {});
