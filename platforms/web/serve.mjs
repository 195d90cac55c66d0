// The web test's server: the site's files as a static server sends them (gzip copies where the
// browser takes them, validators for revalidation), with the test's probe added to index.html and
// to what the service worker keeps. A program other than the site's can be served in its place
// (the bench's bare loop). It counts what it sends, and with the network "off" it drops every
// connection unanswered.
import { createHash } from 'node:crypto';
import { existsSync, readFileSync } from 'node:fs';
import { createServer } from 'node:http';
import { basename, dirname, extname, join } from 'node:path';
import { fileURLToPath } from 'node:url';

const here = dirname(fileURLToPath(import.meta.url));
const types = { '.html': 'text/html; charset=utf-8', '.js': 'text/javascript',
                '.css': 'text/css', '.wasm': 'application/wasm', '.png': 'image/png',
                '.webmanifest': 'application/manifest+json', '.ttf': 'font/ttf' };

// serve(SITE, PROGRAM): PROGRAM is the path of a .js whose .wasm lies beside it, served as the
// site's norbatika.js and norbatika.wasm.
export async function serve(site, program = join(site, 'norbatika.js')) {
  const files = { 'probe.js': join(here, 'probe.js'), 'norbatika.js': program,
                  'norbatika.wasm': program.replace(/\.js$/, '.wasm') };
  const state = { up: true, bytes: 0, requests: 0, problems: [] };
  const body = (name, gzip) => {
    const path = files[name] ?? join(site, name);
    let bytes = readFileSync(gzip ? `${path}.gz` : path);
    if (name === 'index.html') {
      bytes = Buffer.from(`${bytes}`.replace('</head>', '<script src="probe.js"></script></head>'));
    } else if (name === 'sw.js') {
      bytes = Buffer.from(`${bytes}`.replace('const files = [', "const files = ['probe.js', "));
    }
    return bytes;
  };
  const server = createServer((request, response) => {
    if (!state.up) {
      request.socket.destroy();
      return;
    }
    const path = new URL(request.url, 'http://127.0.0.1').pathname;
    const name = path === '/' ? 'index.html' : path.slice(1);
    const found = files[name] ?? join(site, name);
    if (!types[extname(name)] || name !== basename(name) || !existsSync(found)) {
      state.problems.push(`404 for ${path}`);
      response.writeHead(404).end();
      return;
    }
    const gzip = /\bgzip\b/.test(request.headers['accept-encoding'] ?? '') &&
                 existsSync(`${found}.gz`);
    const bytes = body(name, gzip);
    const tag = `"${createHash('sha256').update(bytes).digest('hex').slice(0, 16)}"`;
    const headers = { 'Content-Type': types[extname(name)], 'Cache-Control': 'no-cache',
                      ETag: tag, Vary: 'Accept-Encoding',
                      ...(gzip ? { 'Content-Encoding': 'gzip' } : {}) };
    state.requests += 1;
    if (request.headers['if-none-match'] === tag) {
      response.writeHead(304, headers).end();
      return;
    }
    state.bytes += bytes.length;
    response.writeHead(200, { ...headers, 'Content-Length': bytes.length }).end(bytes);
  });
  await new Promise((ready) => server.listen(0, '127.0.0.1', ready));
  state.url = `http://127.0.0.1:${server.address().port}/`;
  state.close = () => {
    server.closeAllConnections();
    server.close();
  };
  return state;
}
