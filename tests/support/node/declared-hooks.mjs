// Module hooks for counting a test file's tests without running them: node:test resolves
// to declared-tests.mjs, which records each test instead of running it.
const shim = new URL('./declared-tests.mjs', import.meta.url).href;

export async function resolve(specifier, context, nextResolve) {
  if (specifier === 'node:test' || specifier === 'test') return { url: shim, shortCircuit: true };
  return nextResolve(specifier, context);
}
