// The Node form of tests/support/checks.sh, for test scripts that are not node:test files:
// the script plans its checks, records problems with the check in progress, closes each
// check, and ends with the one summary line CTest reads (tests/support/script-complete.sh):
//   <script>: <made> of <planned> checks made, <failed> failed
import { basename } from 'node:path';

export class Checks {
  /** @param {string} scriptPath the script's own path (process.argv[1]) */
  constructor(scriptPath) {
    this.name = basename(scriptPath).replace(/\.[^.]*$/, '');
    this.planned = 0;
    this.made = 0;
    this.failed = 0;
    this.problems = 0;
  }

  /** n more checks will be made. */
  plan(n) {
    this.planned += n;
  }

  /** A problem with the check in progress. */
  fail(what) {
    console.log(`FAIL: ${what}`);
    this.problems += 1;
  }

  /** A condition of the check in progress. */
  expect(condition, what) {
    if (!condition) this.fail(what);
  }

  /** The check in progress is made; it failed if a problem was recorded for it. */
  done(what) {
    this.made += 1;
    if (this.problems > 0) this.failed += 1;
    else if (what) console.log(`ok: ${what}`);
    this.problems = 0;
  }

  /** Prints the summary line; the exit code: 0 only when every planned check was made and passed. */
  end() {
    if (this.problems > 0) this.done();
    console.log(`${this.name}: ${this.made} of ${this.planned} checks made, ${this.failed} failed`);
    return this.made === this.planned && this.failed === 0 ? 0 : 1;
  }
}
