// Plays the web build in Debian's headless Chromium: serves the site on 127.0.0.1, checks the
// page's title, the first picture (with tests/check_frame.py, as for the desktop builds), the
// music, a held ArrowRight, Q ending the game loop with the last picture kept, that the page
// logs no errors, and a failed SDL_Init reported as on the desktop.
// Usage: node play_test.mjs SITE-DIR WORK-DIR [SCREENSHOT.png]   (keeps the first page there)
import { execFileSync } from 'node:child_process';
import { readFileSync } from 'node:fs';
import { createServer } from 'node:http';
import { extname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';

const [site, work, keep] = process.argv.slice(2).map((p) => resolve(p));
const root = resolve(fileURLToPath(import.meta.url), '../../..');
const checkFrame = join(root, 'tests/check_frame.py');
const types = { '.html': 'text/html; charset=utf-8', '.js': 'text/javascript',
                '.wasm': 'application/wasm' };

let passed = 0;
const pass = (what) => { console.log(`ok: ${what}`); passed += 1; };
class Failure extends Error {}
const fail = (what) => { throw new Failure(what); };
const sleep = (ms) => new Promise((done) => setTimeout(done, ms));
// Polls `probe` every quarter second until it answers something with `ok`, up to the deadline;
// returns its last answer either way.
const within = async (seconds, probe) => {
  const deadline = Date.now() + seconds * 1000;
  for (;;) {
    const answer = await probe();
    if (answer.ok || Date.now() > deadline) return answer;
    await sleep(250);
  }
};

// A page whose SDL_Init fails: SDL's environment names an audio driver that does not exist.
const failingPage = '/sdl-init-fails.html';
const failingSetup = "<script>Module.preRun = [() => { ENV.SDL_AUDIODRIVER = 'none-such'; }];</script>";

// A static server of the site's three files, and nothing outside it; and the failing page.
const server = createServer((request, response) => {
  const path = new URL(request.url, 'http://127.0.0.1').pathname;
  if (path === failingPage) {
    const page = readFileSync(join(site, 'index.html'), 'utf8')
      .replace('<script src="norbatika.js">', `${failingSetup}\n<script src="norbatika.js">`);
    response.writeHead(200, { 'Content-Type': types['.html'] }).end(page);
    return;
  }
  const name = path.replace(/^\/$/, '/index.html');
  const type = types[extname(name)];
  if (!type || name.slice(1).includes('/')) {
    response.writeHead(404).end();
    return;
  }
  try {
    const body = readFileSync(join(site, name.slice(1)));
    response.writeHead(200, { 'Content-Type': type }).end(body);
  } catch {
    response.writeHead(404).end();
  }
});
await new Promise((ready) => server.listen(0, '127.0.0.1', ready));
const url = `http://127.0.0.1:${server.address().port}/`;

const browser = await chromium.launch({
  executablePath: '/usr/bin/chromium',
  args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-background-networking',
         '--disable-component-update', '--disable-sync', '--no-first-run',
         '--enable-unsafe-swiftshader', '--autoplay-policy=no-user-gesture-required'],
});
const problems = [];
try {
  const page = await browser.newPage({ viewport: { width: 800, height: 800 } });
  page.on('console', (message) => {
    if (message.type() === 'error') problems.push(`console: ${message.text()}`);
  });
  page.on('pageerror', (error) => problems.push(`page error: ${error.message}`));
  page.on('requestfailed', (request) => problems.push(`request failed: ${request.url()}`));
  page.on('response', (response) => {
    if (!response.ok()) problems.push(`${response.status()} for ${response.url()}`);
  });
  const noProblems = (when) => {
    if (problems.length) fail(`${when}:\n  ${problems.join('\n  ')}`);
  };

  // Counts the samples SDL's audio callback hands to the page, and how loud they are.
  await page.addInitScript(() => {
    window.heard = { blocks: 0, sum: 0, samples: 0 };
    const create = BaseAudioContext.prototype.createScriptProcessor;
    BaseAudioContext.prototype.createScriptProcessor = function (...args) {
      const node = create.apply(this, args);
      let handler = null;
      Object.defineProperty(node, 'onaudioprocess', { get: () => handler, set: (h) => { handler = h; } });
      node.addEventListener('audioprocess', (e) => {
        if (!handler) return;
        handler.call(node, e);
        const data = e.outputBuffer.getChannelData(0);
        window.heard.blocks += 1;
        for (let i = 0; i < data.length; i += 1) window.heard.sum += data[i] * data[i];
        window.heard.samples += data.length;
      });
      return node;
    };
  });

  const started = Date.now();
  await page.goto(url);
  const title = await page.title();
  if (title !== 'ノルバティカ') fail(`page title is ${JSON.stringify(title)}`);
  const footer = await page.locator('footer').textContent();
  if (!footer.includes(`version ${process.env.NORBATIKA_VERSION} `)) fail(`footer: ${footer}`);
  pass(`page titled ノルバティカ, version ${process.env.NORBATIKA_VERSION} below the game`);

  const canvas = page.locator('#canvas');
  const shot = async (name) => {
    const png = join(work, `${name}.png`);
    await canvas.screenshot({ path: png });
    execFileSync('convert', [png, join(work, `${name}.ppm`)]);
    return join(work, `${name}.ppm`);
  };
  const check = (ppm, ...options) => {
    try {
      return { ok: true, text: execFileSync(process.env.NORBATIKA_PYTHON, [checkFrame, ppm, ...options],
                                            { encoding: 'utf8' }) };
    } catch (error) {
      return { ok: false, text: `${error.stdout}` };
    }
  };

  // The first picture: the whole wall, the paddle, the ball and the status lines.
  const first = await within(15, async () => check(await shot('start'), '--level-one'));
  if (!first.ok) fail(`first picture:\n${first.text}`);
  if (keep) await page.screenshot({ path: keep });
  noProblems('while starting');
  pass(`wall, paddle, ball and status lines where the desktop builds draw them ` +
       `(${((Date.now() - started) / 1000).toFixed(1)} s in; ${first.text.trim()})`);

  // Held keys: the game reads the key state once per frame.
  await canvas.focus();
  await page.keyboard.down('ArrowRight');
  const right = await within(10, async () => check(await shot('right'), '--paddle-right-of', '278'));
  await page.keyboard.up('ArrowRight');
  if (!right.ok) fail(`held ArrowRight:\n${right.text}`);
  pass(`held ArrowRight moves the paddle (${right.text.trim()})`);

  // The music: after a key the audio context runs and SDL's callback delivers sound.
  const audio = await within(10, async () => {
    const heard = await page.evaluate(() => ({
      state: Module.SDL2 && Module.SDL2.audioContext ? Module.SDL2.audioContext.state : 'none',
      rate: Module.SDL2 && Module.SDL2.audioContext ? Module.SDL2.audioContext.sampleRate : 0,
      ...window.heard,
    }));
    heard.rms = heard.samples ? Math.sqrt(heard.sum / heard.samples) : 0;
    heard.ok = heard.state === 'running' && heard.blocks >= 5 && heard.rms >= 0.02;
    return heard;
  });
  const { rms } = audio;
  if (!audio.ok) {
    fail(`no music: context ${audio.state}, ${audio.blocks} blocks, rms ${rms.toFixed(4)}`);
  }
  pass(`the music plays (${audio.blocks} blocks at ${audio.rate} Hz, rms ${rms.toFixed(3)})`);

  // Q ends the game loop: the program exits with 0 and the last picture stays.
  await page.keyboard.down('q');
  await page.waitForFunction(() => document.body.dataset.exitStatus !== undefined, null,
                             { timeout: 10000 }).catch(() => fail('Q did not end the game loop'));
  await page.keyboard.up('q');
  const status = await page.evaluate(() => document.body.dataset.exitStatus);
  if (status !== '0') fail(`exit status ${status}`);
  const last = await shot('last');
  // Thirty of the page's own frames later, the picture must be the same.
  await page.evaluate(() => new Promise((done) => {
    let frames = 0;
    const tick = () => (++frames >= 30 ? done() : requestAnimationFrame(tick));
    requestAnimationFrame(tick);
  }));
  const later = await shot('later');
  if (!readFileSync(last).equals(readFileSync(later))) fail('the picture changed after Q');
  // Blocks and score have changed by then, so only the paddle is looked for.
  const kept = check(last, '--paddle-right-of', '-1');
  if (!kept.ok) fail(`the last picture:\n${kept.text}`);
  noProblems('while playing');
  pass(`Q ends the game loop with status 0 and the last picture stays (${kept.text.trim()})`);

  // A start-up failure is reported as on the desktop: its one line, and -1.
  const failing = await browser.newPage();
  const printed = [];
  failing.on('console', (message) => printed.push(`${message.type()}: ${message.text()}`));
  failing.on('pageerror', (error) => printed.push(`page error: ${error.message}`));
  await failing.goto(url + failingPage.slice(1));
  await failing.waitForFunction(() => document.body.dataset.exitStatus !== undefined, null,
                                { timeout: 10000 }).catch(() => fail('the failing page never ended'));
  const failed = await failing.evaluate(() => document.body.dataset.exitStatus);
  await within(2, async () => ({ ok: printed.length > 0 }));
  if (failed !== '-1' || printed.join('\n') !== 'log: SDL_Init()に失敗') {
    fail(`with no audio driver: status ${failed}, printed ${JSON.stringify(printed)}`);
  }
  pass('failed SDL_Init: one line, status -1');
  console.log(`web: ${passed} passed, 0 failed`);
} catch (error) {
  console.log(`FAIL: ${error instanceof Failure ? error.message : error.stack}`);
  console.log(`web: ${passed} passed, 1 failed`);
  process.exitCode = 1;
} finally {
  await browser.close();
  server.close();
}
