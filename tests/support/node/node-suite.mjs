// Usage: node node-suite.mjs [node --test options...] <file.test.mjs...>
// Runs test files under node's test runner and passes only when the run was complete: exit
// code 0, the runner's closing summary printed, as many tests counted as the files declare
// (count-declared.mjs), and none failed or cancelled. A test file that ends its process
// early with exit code 0 is reported by the runner as one passing test, and every test
// after the one it was in would be lost without a word.
// Tests are declared when a file loads (test(), describe() and it() at any depth of
// describe()); subtests made inside a running test (t.test) are not counted beforehand.
import { spawn, spawnSync } from 'node:child_process';
import { fileURLToPath } from 'node:url';

const args = process.argv.slice(2);
const files = args.filter((a) => /\.(m?js)$/.test(a) && !a.startsWith('--'));
const counter = fileURLToPath(new URL('./count-declared.mjs', import.meta.url));
// A suite run from inside another node test (as the runner's own tests do) is a run of its
// own: the outer runner's marker would make the inner one refuse to run the files.
const env = { ...process.env };
delete env.NODE_TEST_CONTEXT;

function declaredIn(file) {
  const result = spawnSync(process.execPath, [counter, file], { encoding: 'utf8', env });
  const match = /^declared (\d+)$/m.exec(result.stdout ?? '');
  if (result.status !== 0 || !match) {
    throw new Error(`cannot count the tests of ${file}:\n${result.stdout}${result.stderr}`);
  }
  return Number(match[1]);
}

/** The runner's closing summary ("# tests 5" ...), or null when there is none. */
export function summaryOf(tap) {
  const counts = {};
  for (const [, key, value] of tap.matchAll(/^# (tests|suites|pass|fail|cancelled|skipped|todo) (\d+)$/gm)) {
    counts[key] = Number(value);
  }
  return 'tests' in counts && 'pass' in counts && 'fail' in counts ? counts : null;
}

/** What is wrong with a run, from its exit code, declared count and output. */
export function problemsOf(status, declared, tap) {
  const problems = [];
  if (status !== 0) problems.push(`exit code ${status}`);
  const s = summaryOf(tap);
  if (!s) return [...problems, 'no closing summary: the run stopped early'];
  if (s.tests !== declared) problems.push(`${s.tests} tests counted, ${declared} declared`);
  if (s.fail > 0) problems.push(`${s.fail} failed`);
  if ((s.cancelled ?? 0) > 0) problems.push(`${s.cancelled} cancelled`);
  const settled = s.pass + (s.skipped ?? 0) + (s.todo ?? 0);
  if (settled + s.fail + (s.cancelled ?? 0) !== s.tests) problems.push(`${s.tests} tests, ${settled} settled`);
  return problems;
}

async function main() {
  if (files.length === 0) {
    console.error('usage: node-suite.mjs [node --test options...] <file.test.mjs...>');
    return 2;
  }
  const declared = files.map(declaredIn).reduce((a, b) => a + b, 0);
  const child = spawn(process.execPath, ['--test', '--test-reporter=tap', ...args], {
    stdio: ['ignore', 'pipe', 'inherit'],
    env,
  });
  let tap = '';
  child.stdout.on('data', (chunk) => {
    tap += chunk;
    process.stdout.write(chunk);
  });
  const status = await new Promise((done) => child.on('close', (code, signal) => done(code ?? signal)));
  const problems = problemsOf(status, declared, tap);
  for (const problem of problems) console.log(`node-suite: FAIL: ${problem}`);
  if (problems.length === 0) console.log(`node-suite: ${declared} of ${declared} declared tests counted, none failed`);
  return problems.length === 0 ? 0 : 1;
}

if (import.meta.url === `file://${process.argv[1]}`) process.exitCode = await main();
