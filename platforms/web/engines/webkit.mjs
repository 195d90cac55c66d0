// Debian's WebKitGTK: WebKitWebDriver drives its MiniBrowser in a real window (DISPLAY), over
// plain WebDriver. A tab is a session, with a storage of its own, and one is open at a time. It
// has no touch emulation, and its screenshots are of the window.
import { spawn } from 'node:child_process';
import { writeFileSync } from 'node:fs';
import { createServer } from 'node:net';

export const touch = null;
const keys = { ArrowLeft: '\uE012', ArrowRight: '\uE014', Enter: '\uE007', q: 'q' };
const miniBrowser = '/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser';

const freePort = () => new Promise((found) => {
  const probe = createServer().listen(0, '127.0.0.1', () => {
    const { port } = probe.address();
    probe.close(() => found(port));
  });
});

export async function launch() {
  const port = await freePort();
  // A process group of its own, so that closing ends the MiniBrowser and its processes too.
  const driver = spawn('/usr/bin/WebKitWebDriver', [`--port=${port}`], { stdio: 'ignore',
                                                                         detached: true });
  const call = async (method, path, body) => {
    const response = await fetch(`http://127.0.0.1:${port}${path}`, {
      method, headers: { 'Content-Type': 'application/json' },
      body: body && JSON.stringify(body) });
    const { value } = await response.json();
    if (value?.error) throw new Error(`WebDriver ${path}: ${value.error}: ${value.message}`);
    return value;
  };
  for (let tries = 0; !(await call('GET', '/status').catch(() => null))?.ready; tries += 1) {
    if (tries > 100) throw new Error('WebKitWebDriver did not start');
    await new Promise((later) => setTimeout(later, 100));
  }
  let version = 'WebKitGTK';
  let last = null;
  return {
    get version() { return version; },
    pid: driver.pid,
    async open({ width = 1280, height = 800 } = {}) {
      await last?.close().catch(() => {});
      const { sessionId, capabilities } = await call('POST', '/session', { capabilities: {
        alwaysMatch: { 'webkitgtk:browserOptions': { binary: miniBrowser,
                                                     args: ['--automation'] } } } });
      version = `WebKitGTK ${capabilities.browserVersion}`;
      const session = (method, path, body) => call(method, `/session/${sessionId}${path}`, body);
      await session('POST', '/window/rect', { width, height });
      const act = (type, actions) => session('POST', '/actions', { actions: [
        type === 'key' ? { type, id: 'keys', actions }
                       : { type, id: 'mouse', parameters: { pointerType: 'mouse' }, actions }] });
      last = {
        goto: (url) => session('POST', '/url', { url }),
        reload: () => session('POST', '/refresh', {}),
        evaluate: (script, ...args) => session('POST', '/execute/sync', {
          script: `return (${script}).apply(null, arguments);`, args }),
        key: (type, key) => act('key', [{ type: `key${type === 'down' ? 'Down' : 'Up'}`,
                                          value: keys[key] ?? key }]),
        click: (x, y) => act('pointer', [
          { type: 'pointerMove', x: Math.round(x), y: Math.round(y) },
          { type: 'pointerDown', button: 0 }, { type: 'pointerUp', button: 0 }]),
        screenshot: async (path) => writeFileSync(path, Buffer.from(
          await session('GET', '/screenshot'), 'base64')),
        close: () => session('DELETE', ''),
      };
      return last;
    },
    async close() {
      await last?.close().catch(() => {});
      try { process.kill(-driver.pid, 'SIGKILL'); } catch { /* the group has ended */ }
    },
  };
}
