// Serves the test pages (tests/browser/pages) and the project's examples/ on loopback, one
// server per origin the tests need.
import { once } from 'node:events';
import { readFile } from 'node:fs/promises';
import { createServer } from 'node:http';
import { fileURLToPath } from 'node:url';

const ROOTS = {
  '/pages/': fileURLToPath(new URL('../pages/', import.meta.url)),
  '/examples/': fileURLToPath(new URL('../../../examples/', import.meta.url)),
};

async function serve(request, response) {
  const path = new URL(request.url, 'http://x').pathname;
  const prefix = Object.keys(ROOTS).find((p) => path.startsWith(p));
  const name = prefix && path.slice(prefix.length);
  if (!name || !/^[\w.-]+\.html$/.test(name)) {
    response.writeHead(404).end();
    return;
  }
  try {
    const body = await readFile(ROOTS[prefix] + name);
    const headers = { 'content-type': 'text/html; charset=utf-8' };
    // ?sandbox: the page as a site serves it sandboxed, in a document with an opaque origin.
    if (new URL(request.url, 'http://x').searchParams.has('sandbox')) {
      headers['content-security-policy'] = 'sandbox allow-scripts';
    }
    response.writeHead(200, headers).end(body);
  } catch {
    response.writeHead(404).end();
  }
}

/** @returns {Promise<{origin: string, port: number, url: (path: string) => string, close: () => void}>} */
export async function startServer() {
  const server = createServer(serve);
  server.listen(0, '127.0.0.1');
  await once(server, 'listening');
  const { port } = server.address();
  const origin = `http://127.0.0.1:${port}`;
  return { origin, port, url: (path) => `${origin}${path}`, close: () => server.close() };
}
