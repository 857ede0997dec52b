// The checks that make every test entry prove its run complete, each against a fixture that
// ends early with exit code 0 in its third test and against the same fixture run whole.
// TARVX_GTEST_FIXTURE names the GoogleTest fixture (EarlyExitFixture.cpp) and
// TARVX_GTEST_RUNNER the Wine runner it needs, or - for a native one.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';

const here = dirname(fileURLToPath(import.meta.url));
const support = join(here, '..');

function run(command, args, env = {}) {
  const result = spawnSync(command, args, { encoding: 'utf8', env: { ...process.env, ...env }, timeout: 120000 });
  return { status: result.status, out: `${result.stdout}${result.stderr}` };
}

const gtest = process.env.TARVX_GTEST_FIXTURE;
const runner = process.env.TARVX_GTEST_RUNNER ?? '-';
const complete = { TARVX_FIXTURE_COMPLETE: '1' };

test('a GoogleTest program that exits 0 in its third test fails; run whole, or filtered, it passes', () => {
  assert.ok(gtest, 'TARVX_GTEST_FIXTURE names the fixture program');
  const check = (args, env) => run('bash', [join(support, 'gtest-complete.sh'), runner, gtest, ...args], env);
  const cases = [
    { why: 'ends in its third test', args: [], env: {}, status: 1, says: 'stopped early, in or after EarlyExit.Third' },
    { why: 'runs whole', args: [], env: complete, status: 0, says: '5 of 5 tests ran, none failed' },
    { why: 'filtered', args: ['--gtest_filter=EarlyExit.F*'], env: {}, status: 0, says: '3 of 3 tests ran' },
  ];
  for (const c of cases) {
    const { status, out } = check(c.args, c.env);
    assert.equal(status, c.status, `${c.why}:\n${out}`);
    assert.match(out, new RegExp(c.says.replace(/\./g, '\\.')), `${c.why}:\n${out}`);
  }
});

test('a node test file that exits 0 in its third test fails; run whole it passes', () => {
  const suite = (env) =>
    run(process.execPath, [join(support, 'node', 'node-suite.mjs'), join(here, 'early-exit.fixture.mjs')], env);
  const early = suite({});
  assert.equal(early.status, 1, early.out);
  assert.match(early.out, /node-suite: FAIL: 1 tests counted, 5 declared/);
  const whole = suite(complete);
  assert.equal(whole.status, 0, whole.out);
  assert.match(whole.out, /node-suite: 5 of 5 declared tests counted, none failed/);
});

test('a test script that stops early or leaves a row out fails; run whole it passes', () => {
  const script = (env) =>
    run('bash', [join(support, 'script-complete.sh'), 'bash', join(here, 'early-exit.fixture.sh')], env);
  const cases = [
    { why: 'exits 0 before its third check', env: { TARVX_FIXTURE_STOP: '3' }, status: 1, says: /stopped early/ },
    {
      why: 'leaves its third row out',
      env: { TARVX_FIXTURE_SKIP: '3' },
      status: 1,
      says: /4 of 5 planned checks made/,
    },
    { why: 'runs whole', env: {}, status: 0, says: /early-exit\.fixture: 5 of 5 checks made, 0 failed\n$/ },
  ];
  for (const c of cases) {
    const { status, out } = script(c.env);
    assert.equal(status, c.status, `${c.why}:\n${out}`);
    assert.match(out, c.says, `${c.why}:\n${out}`);
  }
});
