// Usage: node count-declared.mjs <file.test.mjs>
// Loads a test file with node:test replaced (declared-hooks.mjs) and prints how many tests
// it declares, as the runner would count them, on the last line: "declared <n>".
import { register } from 'node:module';
import { resolve } from 'node:path';
import { pathToFileURL } from 'node:url';

register('./declared-hooks.mjs', import.meta.url);
const { declared } = await import('./declared-tests.mjs');
await import(pathToFileURL(resolve(process.argv[2])).href);
console.log(`declared ${declared.tests}`);
// A test file may have started something at load time (a server): counting is done.
process.exit(0);
