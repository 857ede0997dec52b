// Stands in for node:test while a test file is loaded to count its tests: a test is
// counted, not run; a suite's body runs so that its tests are counted, unless the suite is
// skipped, whose tests the runner does not count either. Hooks do nothing.
export const declared = { tests: 0 };

// (name?, options?, fn?) in any of the forms node:test takes.
function split(args) {
  const fn = args.find((a) => typeof a === 'function');
  const options = args.find((a) => a !== null && typeof a === 'object') ?? {};
  return { fn, options };
}

export function test() {
  declared.tests += 1;
  return Promise.resolve();
}
test.skip = test;
test.todo = test;
test.only = test;

export function describe(...args) {
  const { fn, options } = split(args);
  if (!options.skip && fn)
    fn({ name: typeof args[0] === 'string' ? args[0] : '', signal: new AbortController().signal });
  return Promise.resolve();
}
describe.skip = () => Promise.resolve();
describe.todo = describe;
describe.only = describe;

export const it = test;
export const suite = describe;
export function before() {}
export function after() {}
export function beforeEach() {}
export function afterEach() {}
export const mock = {};
export function run() {
  throw new Error('run() is not available while tests are counted');
}
export default test;
