// Plays the web build in Debian's headless Chromium, driven by playwright-core, as players meet
// it: the start screen while the site loads, the first key starting the game with its music,
// held keys and touch buttons, Q and "Play again", the page fitted to a phone, a laptop and a
// 4K screen, a second visit with the network off, and a failed SDL_Init. Prints the size and
// speed figures: bytes on a cold load, the start key to the first frame, the frame period and
// CPU per frame beside the Linux build's.
// Usage: node play_test.mjs SITE-DIR WORK-DIR [DOCS-DIR]   (DOCS-DIR keeps pictures of the page)
// Environment: NORBATIKA_PYTHON, NORBATIKA_VERSION; NORBATIKA_LINUX, the Linux build's figures
// as JSON from bench/compare.py (without it the comparison is left out).
import { execFileSync } from 'node:child_process';
import { existsSync, readdirSync, readFileSync, writeFileSync } from 'node:fs';
import { createServer } from 'node:http';
import { extname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';

const [site, work, docs] = process.argv.slice(2).map((p) => resolve(p));
const root = resolve(fileURLToPath(import.meta.url), '../../..');
const checkFrame = join(root, 'tests/check_frame.py');
const linux = process.env.NORBATIKA_LINUX ? JSON.parse(process.env.NORBATIKA_LINUX) : null;
const types = { '.html': 'text/html; charset=utf-8', '.js': 'text/javascript',
                '.wasm': 'application/wasm', '.webmanifest': 'application/manifest+json',
                '.png': 'image/png', '.ttf': 'font/ttf' };

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
// A quantile as Python's statistics module takes it (the "exclusive" method), so that the web
// figures and bench/compare.py's Linux ones mean the same.
const quantile = (values, q) => {
  const sorted = [...values].sort((a, b) => a - b);
  const at = Math.min(Math.max((sorted.length + 1) * q - 1, 0), sorted.length - 1);
  const low = Math.floor(at);
  return sorted[low] + (at - low) * ((sorted[low + 1] ?? sorted[low]) - sorted[low]);
};

// The site's files, gzip copies where the browser takes them, and nothing else. Counts what it
// sends; with the network "off" it drops every connection unanswered.
const measuredFrames = 600;  // about ten seconds of play, as bench/compare.py measures Linux
const traffic = { bytes: 0, requests: 0, plainBytes: 0 };
let networkUp = true;
const server = createServer((request, response) => {
  if (!networkUp) {
    request.socket.destroy();
    return;
  }
  const name = new URL(request.url, 'http://127.0.0.1').pathname.replace(/^\/$/, '/index.html')
    .slice(1);
  const type = types[extname(name)];
  if (!type || name.includes('/') || !existsSync(join(site, name))) {
    response.writeHead(404).end();
    return;
  }
  const gzip = /\bgzip\b/.test(request.headers['accept-encoding'] || '') &&
               existsSync(join(site, `${name}.gz`));
  const body = readFileSync(join(site, gzip ? `${name}.gz` : name));
  traffic.bytes += body.length;
  traffic.plainBytes += gzip ? readFileSync(join(site, name)).length : body.length;
  traffic.requests += 1;
  response.writeHead(200, { 'Content-Type': type, 'Content-Length': body.length,
                            'Cache-Control': 'no-cache', Vary: 'Accept-Encoding',
                            ...(gzip ? { 'Content-Encoding': 'gzip' } : {}) }).end(body);
});
await new Promise((ready) => server.listen(0, '127.0.0.1', ready));
const url = `http://127.0.0.1:${server.address().port}/`;

// What the test watches inside the page: the start key's time, every frame (the game clears
// the picture once a frame), the first drawing, the audio contexts and what SDL's callback
// hands them. The drawing buffer is kept, so the last frame can be read back exactly.
function watch() {
  const seen = { keyAt: null, frames: [], firstDrawAt: null, audioAtFirst: null, want: false,
                 picture: null, contexts: [], blocks: 0, sum: 0, samples: 0, statuses: [] };
  window.seen = seen;
  for (const type of ['keydown', 'pointerdown']) {
    addEventListener(type, (event) => { seen.keyAt ??= event.timeStamp; }, true);
  }
  document.addEventListener('DOMContentLoaded', () => {
    const line = document.getElementById('status');
    new MutationObserver(() => seen.statuses.push(line.textContent))
      .observe(line, { childList: true, characterData: true, subtree: true });
  });
  const Real = window.AudioContext;
  if (Real) {
    window.AudioContext = class extends Real {
      constructor(...args) {
        super(...args);
        seen.contexts.push(this);
      }
    };
    const create = Real.prototype.createScriptProcessor;
    Real.prototype.createScriptProcessor = function (...args) {
      const node = create.apply(this, args);
      // SDL's handler fills the block; it is called here first, so its samples can be counted.
      let handler = null;
      Object.defineProperty(node, 'onaudioprocess', { get: () => handler,
                                                      set: (h) => { handler = h; } });
      node.addEventListener('audioprocess', (event) => {
        if (!handler) return;
        handler.call(node, event);
        const data = event.outputBuffer.getChannelData(0);
        seen.blocks += 1;
        for (let i = 0; i < data.length; i += 1) seen.sum += data[i] * data[i];
        seen.samples += data.length;
      });
      return node;
    };
  }
  const read = (gl) => {
    const [w, h] = [gl.drawingBufferWidth, gl.drawingBufferHeight];
    const pixels = new Uint8Array(w * h * 4);
    gl.readPixels(0, 0, w, h, gl.RGBA, gl.UNSIGNED_BYTE, pixels);
    return { w, h, pixels };
  };
  const getContext = HTMLCanvasElement.prototype.getContext;
  HTMLCanvasElement.prototype.getContext = function (type, attributes) {
    const webgl = /webgl/.test(type);
    const gl = getContext.call(this, type, webgl ? { ...attributes, preserveDrawingBuffer: true }
                                                 : attributes);
    if (!webgl || !gl || gl.watched) return gl;
    gl.watched = true;
    const { clear, drawArrays, drawElements } = gl;
    gl.clear = function (...args) {
      if (seen.want && seen.frames.length) {
        seen.picture = read(gl);
        seen.want = false;
      }
      seen.frames.push(performance.now());
      return clear.apply(this, args);
    };
    const drawing = () => {
      if (seen.firstDrawAt !== null) return;
      seen.firstDrawAt = performance.now();
      seen.audioAtFirst = seen.contexts.map((context) => context.state).join(' ');
    };
    gl.drawArrays = function (...args) { drawing(); return drawArrays.apply(this, args); };
    gl.drawElements = function (...args) { drawing(); return drawElements.apply(this, args); };
    return gl;
  };
}

// A browser context of its own, watched, with every problem the page reports collected.
const opened = [];  // every context, closed at the end whatever happens

// The first visit has a profile of its own on disk, as a player's browser has; Chromium offers to
// install only from such a profile.
async function visit(browser, options, setup = () => {}) {
  const context = browser ? await browser.newContext(options)
    : await chromium.launchPersistentContext(join(work, 'profile'), { ...launching, ...options });
  await context.addInitScript(watch);
  await context.addInitScript(setup);
  opened.push(context);
  const page = context.pages()[0] ?? await context.newPage();
  const problems = [];
  const printed = [];
  page.on('console', (message) => {
    printed.push(`${message.type()}: ${message.text()}`);
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
  return { context, page, problems, printed, noProblems };
}

const state = (page) => page.evaluate(() => document.body.dataset.state);
async function reachState(page, wanted, seconds) {
  const reached = await within(seconds, async () => ({ ok: (await state(page)) === wanted }));
  if (!reached.ok) fail(`the page never became ${wanted} (it is ${await state(page)})`);
}

// The frame the game has drawn once asked for (the picture is read as the next frame starts),
// exactly as it drew it, as a PPM file for tests/check_frame.py.
async function readPicture(page, name) {
  const got = await within(10, () => page.evaluate(() => ({ ok: seen.picture !== null })));
  if (!got.ok) fail(`no frame drawn for ${name}`);
  const { w, h, data } = await page.evaluate(() => {
    const { w, h, pixels } = seen.picture;
    const rgb = new Uint8Array(w * h * 3);
    for (let y = 0; y < h; y += 1) {
      for (let x = 0; x < w; x += 1) {
        const from = ((h - 1 - y) * w + x) * 4;
        rgb.set(pixels.subarray(from, from + 3), (y * w + x) * 3);
      }
    }
    let binary = '';
    for (let i = 0; i < rgb.length; i += 0x8000) {
      binary += String.fromCharCode.apply(null, rgb.subarray(i, i + 0x8000));
    }
    return { w, h, data: btoa(binary) };
  });
  const ppm = join(work, `${name}.ppm`);
  writeFileSync(ppm, Buffer.concat([Buffer.from(`P6\n${w} ${h}\n255\n`),
                                    Buffer.from(data, 'base64')]));
  return ppm;
}
async function picture(page, name) {
  await page.evaluate(() => { seen.picture = null; seen.want = true; });
  return readPicture(page, name);
}
const check = (ppm, ...options) => {
  try {
    return { ok: true, text: execFileSync(process.env.NORBATIKA_PYTHON, [checkFrame, ppm, ...options],
                                          { encoding: 'utf8' }).trim() };
  } catch (error) {
    return { ok: false, text: `${error.stdout}`.trim() };
  }
};
// The status lines' band of a picture (the top 70 rows, above the wall): LIVES, SCORE, LEVEL.
const statusBand = (ppm) => {
  const bytes = readFileSync(ppm);
  return bytes.subarray(bytes.length - 620 * 720 * 3, bytes.length - 620 * 650 * 3);
};
const paddleX = (text) => Number(/paddle x (-?\d+)/.exec(text)?.[1]);

// A new run from the start: its very first picture is level 1's serve (the whole wall, the ball
// centred above the centred paddle, the status lines), and its music is running by then.
async function firstFrame(page, name, press) {
  const contextsBefore = await page.evaluate(() => {
    Object.assign(seen, { keyAt: null, frames: [], firstDrawAt: null, audioAtFirst: null,
                          blocks: 0, sum: 0, samples: 0, picture: null, want: true });
    return seen.contexts.length;
  });
  await press();
  const ppm = await readPicture(page, name);
  const serve = check(ppm, '--level-one');
  if (!serve.ok) fail(`${name}: the first picture:\n${serve.text}`);
  const ball = /ball \((\d+), (\d+)\)/.exec(serve.text);
  if (!ball || Number(ball[1]) !== 302 || Math.abs(paddleX(serve.text) + 77 - 310) > 1) {
    fail(`${name}: the first picture is not the serve: ${serve.text}`);
  }
  const timing = await page.evaluate(() => ({ key: seen.keyAt, drawn: seen.firstDrawAt,
                                               audio: seen.audioAtFirst,
                                               contexts: seen.contexts.length }));
  if (timing.contexts !== contextsBefore + 1 || timing.audio.split(' ').at(-1) !== 'running') {
    fail(`${name}: audio contexts by the first frame: "${timing.audio}"`);
  }
  const heard = await within(10, () => page.evaluate(() => {
    const rms = seen.samples ? Math.sqrt(seen.sum / seen.samples) : 0;
    const context = seen.contexts.at(-1);
    return { ok: context.state === 'running' && seen.blocks >= 5 && rms >= 0.02,
             rms: Number(rms.toFixed(3)), blocks: seen.blocks, state: context.state };
  }));
  if (!heard.ok) fail(`${name}: no music: ${JSON.stringify(heard)}`);
  return { toFirst: timing.drawn - timing.key, serve: serve.text, heard, ppm };
}

// The canvas inside the viewport with its shape, and nothing to scroll.
const geometry = (page) => page.evaluate(() => {
  const box = document.getElementById('canvas').getBoundingClientRect();
  const root = document.documentElement;
  return { left: box.left, top: box.top, right: box.right, bottom: box.bottom,
           width: box.width, height: box.height, viewWidth: root.clientWidth,
           viewHeight: root.clientHeight, scrollWidth: root.scrollWidth,
           scrollHeight: root.scrollHeight, ratio: window.devicePixelRatio,
           pad: document.querySelector('#pad button').checkVisibility() };
});
function fits(name, g) {
  const inside = g.left >= 0 && g.top >= 0 && g.right <= g.viewWidth && g.bottom <= g.viewHeight;
  const shape = Math.abs((g.width * 720) / 620 - g.height);
  const scrolls = g.scrollWidth > g.viewWidth || g.scrollHeight > g.viewHeight;
  if (!inside || shape > 1 || scrolls) fail(`${name} does not fit: ${JSON.stringify(g)}`);
  return `${g.width.toFixed(0)} x ${g.height.toFixed(0)} CSS px at ratio ${g.ratio}, ` +
         `${(g.width * g.ratio / 620).toFixed(2)} device pixels a game pixel`;
}

// CPU seconds used so far by a process's descendants: here, the browser's processes.
function cpuSeconds(rootPid) {
  const parents = new Map();
  const ticks = new Map();
  for (const entry of readdirSync('/proc').filter((name) => /^\d+$/.test(name))) {
    try {
      const stat = readFileSync(`/proc/${entry}/stat`, 'utf8');
      const fields = stat.slice(stat.lastIndexOf(')') + 2).split(' ');
      parents.set(Number(entry), Number(fields[1]));
      ticks.set(Number(entry), Number(fields[11]) + Number(fields[12]));
    } catch {
      // gone meanwhile
    }
  }
  let total = 0;
  for (const [pid, used] of ticks) {
    let up = parents.get(pid) ?? 0;
    while (up > 1 && up !== rootPid) up = parents.get(up) ?? 0;
    if (up === rootPid) total += used;
  }
  return total / Number(execFileSync('getconf', ['CLK_TCK'], { encoding: 'utf8' }));
}

// A page that stops answering would stop the test with it: the whole run has a deadline.
setTimeout(() => {
  console.log(`FAIL: the test did not finish within 5 minutes\nweb: ${passed} passed, 1 failed`);
  process.exit(1);
}, 300000).unref();

const launching = {
  executablePath: '/usr/bin/chromium',
  args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-background-networking',
         '--disable-component-update', '--disable-sync', '--no-first-run',
         '--enable-unsafe-swiftshader'],
};
const browser = await chromium.launch(launching);
try {
  const figures = {};
  const keep = async (page, name) => {
    if (docs) await page.screenshot({ path: join(docs, `${name}.png`) });
  };

  // ---- A first visit on a laptop: the start screen, the first key, play, Q, "Play again" ----
  const laptop = await visit(null, { viewport: { width: 1280, height: 800 } });
  const { page } = laptop;
  Object.assign(traffic, { bytes: 0, requests: 0, plainBytes: 0 });
  await page.goto(url);
  const title = await page.title();
  const footer = await page.locator('footer').textContent();
  if (title !== 'ノルバティカ') fail(`page title is ${JSON.stringify(title)}`);
  if (!footer.includes(`version ${process.env.NORBATIKA_VERSION} `)) fail(`footer: ${footer}`);
  pass(`page titled ノルバティカ, version ${process.env.NORBATIKA_VERSION} below the game`);

  await reachState(page, 'ready', 30);
  const waiting = await page.evaluate(() => ({
    frames: seen.frames.length, drawn: seen.firstDrawAt, statuses: seen.statuses,
    keys: document.querySelector('.keys').innerText, shown: document.querySelector('.keys')
      .checkVisibility(), prompt: document.getElementById('status').textContent }));
  const steps = waiting.statuses.filter((text) => /^Loading [\d.]+ of [\d.]+ MB$/.test(text));
  if (waiting.frames || waiting.drawn !== null) fail('a game frame was drawn before any key');
  if (!waiting.shown || !/←.*→.*move.*Q.*quits/.test(waiting.keys)) {
    fail(`the controls are not shown: ${JSON.stringify(waiting.keys)}`);
  }
  if (steps.length < 2) fail(`the download's progress was not shown: ${waiting.statuses}`);
  await keep(page, 'web-start');
  pass(`start screen: "${waiting.keys}", progress in ${steps.length} steps ` +
       `("${steps.at(-1)}"), then "${waiting.prompt}"; no game frame before a key`);

  const laptopRun = await firstFrame(page, 'laptop', () => page.keyboard.press('Enter'));
  figures.toFirst = laptopRun.toFirst;
  pass(`the first key starts level 1's serve with its music running ` +
       `(${laptopRun.serve}; ${JSON.stringify(laptopRun.heard)})`);
  pass(`laptop: ${fits('1280 x 800', await geometry(page))}`);
  if ((await geometry(page)).pad) fail('touch buttons shown on a laptop');
  await keep(page, 'web-1280x800');

  // Held keys: the game reads the key state once per frame.
  await page.keyboard.down('ArrowRight');
  const right = await within(10, async () => check(await picture(page, 'right'),
                                                    '--paddle-right-of', '278'));
  await page.keyboard.up('ArrowRight');
  if (!right.ok) fail(`held ArrowRight:\n${right.text}`);
  pass(`held ArrowRight moves the paddle (${right.text})`);

  // The pace: some ten seconds of frames, and the CPU the whole browser spent on them.
  const cpuBefore = cpuSeconds(process.pid);
  const framesBefore = await page.evaluate(() => seen.frames.length);
  const measured = await within(30, () => page.evaluate((until) => ({
    ok: seen.frames.length >= until }), framesBefore + measuredFrames));
  if (!measured.ok) fail(`fewer than ${measuredFrames} frames in 30 s`);
  const cpuAfter = cpuSeconds(process.pid);
  const frames = await page.evaluate((from) => seen.frames.slice(from), framesBefore);
  const periods = frames.slice(1).map((at, i) => at - frames[i]);
  Object.assign(figures, { median: quantile(periods, 0.5), p99: quantile(periods, 0.99),
                           frames: periods.length,
                           cpu: ((cpuAfter - cpuBefore) * 1000) / periods.length });

  // Q ends the run: status 0, the last picture stays, and "Play again" is offered.
  await page.keyboard.down('q');
  await reachState(page, 'ended', 10);
  await page.keyboard.up('q');
  const status = await page.evaluate(() => document.body.dataset.exitStatus);
  if (status !== '0') fail(`exit status ${status}`);
  const canvas = page.locator('#canvas');
  const last = join(work, 'last.png');
  const later = join(work, 'later.png');
  await canvas.screenshot({ path: last });
  await page.evaluate(() => new Promise((done) => {  // thirty of the page's own frames later
    let count = 0;
    const tick = () => (++count >= 30 ? done() : requestAnimationFrame(tick));
    requestAnimationFrame(tick);
  }));
  await canvas.screenshot({ path: later });
  if (!readFileSync(last).equals(readFileSync(later))) fail('the picture changed after Q');
  if (!(await page.locator('#again').isVisible())) fail('no "Play again" after Q');
  await keep(page, 'web-ended');
  pass('Q ends the run with status 0, the last picture stays, "Play again" is offered');

  const again = await firstFrame(page, 'again', () => page.click('#again'));
  // The same status lines as the first run's start: LIVES 3, SCORE 0, LEVEL 1, not the last run's.
  if (!statusBand(again.ppm).equals(statusBand(laptopRun.ppm))) {
    fail('"Play again" did not start with the first run\'s status lines');
  }
  pass(`"Play again" starts a fresh game in the same page, its status lines those of the first ` +
       `start (${again.serve}; ` +
       `music ${JSON.stringify(again.heard)})`);
  laptop.noProblems('on the first visit');

  // The service worker has kept the site; what the first visit cost.
  const kept = await within(30, () => page.evaluate(async () => {
    const registration = await navigator.serviceWorker.getRegistration();
    const names = await caches.keys();
    const files = names.length ? await (await caches.open(names[0])).keys() : [];
    return { ok: registration?.active?.state === 'activated' && files.length === 8,
             caches: names, files: files.length };
  }));
  if (!kept.ok) fail(`the site was not kept for offline play: ${JSON.stringify(kept)}`);
  // Chromium's own verdict on the manifest: the page can be installed as an app.
  const devtools = await laptop.context.newCDPSession(page);
  const manifest = await devtools.send('Page.getAppManifest');
  const { installabilityErrors } = await devtools.send('Page.getInstallabilityErrors');
  if (manifest.errors.length || installabilityErrors.length) {
    fail(`not installable: ${JSON.stringify([manifest.errors, installabilityErrors])}`);
  }
  pass(`installable, kept for offline play (${kept.files} files in ${kept.caches})`);
  Object.assign(figures, { coldBytes: traffic.bytes, coldPlainBytes: traffic.plainBytes,
                           coldRequests: traffic.requests });

  // ---- The second visit with the network off: the start screen, and the game plays ----
  networkUp = false;
  await laptop.context.setOffline(true);
  Object.assign(traffic, { bytes: 0, requests: 0 });
  await page.reload().catch((error) => fail(`offline reload: ${error.message}`));
  await reachState(page, 'ready', 30);
  const offline = await firstFrame(page, 'offline', () => page.keyboard.press('Enter'));
  if (traffic.requests) fail(`${traffic.requests} requests reached the server while offline`);
  pass(`offline: a reload reaches the start screen and the game plays (${offline.serve}; ` +
       `music ${JSON.stringify(offline.heard)})`);
  await page.keyboard.down('q');
  await reachState(page, 'ended', 10);
  await page.keyboard.up('q');
  laptop.noProblems('on the visit with the network off');
  networkUp = true;
  await laptop.context.close();

  // ---- A phone, with touch, and a 4K screen ----
  const phone = await visit(browser, { viewport: { width: 360, height: 640 },
                                       deviceScaleFactor: 3, isMobile: true, hasTouch: true });
  await phone.page.goto(url);
  await reachState(phone.page, 'ready', 30);
  await firstFrame(phone.page, 'phone', () => phone.page.tap('#stage'));
  const phoneFit = await geometry(phone.page);
  if (!phoneFit.pad) fail('no touch buttons on a phone');
  pass(`phone: ${fits('360 x 640', phoneFit)}, touch buttons shown`);
  await keep(phone.page, 'web-360x640');

  // Holding the on-screen Right button is holding the key; letting go lets go of it.
  const button = await phone.page.locator('#pad [data-key=ArrowRight]').boundingBox();
  const touch = await phone.context.newCDPSession(phone.page);
  const point = [{ x: button.x + button.width / 2, y: button.y + button.height / 2 }];
  await touch.send('Input.dispatchTouchEvent', { type: 'touchStart', touchPoints: point });
  const held = await within(10, async () => check(await picture(phone.page, 'touch'),
                                                   '--paddle-right-of', '278'));
  await touch.send('Input.dispatchTouchEvent', { type: 'touchEnd', touchPoints: [] });
  if (!held.ok) fail(`holding the Right button:\n${held.text}`);
  // Let go: once the key is up, the paddle stays put from one frame to frames later.
  const still = await within(10, async () => {
    const before = paddleX(check(await picture(phone.page, 'let-go'), '--paddle-right-of', '-1')
      .text);
    await phone.page.evaluate(() => new Promise((done) => {
      const until = seen.frames.length + 10;
      const tick = () => (seen.frames.length >= until ? done() : setTimeout(tick, 16));
      tick();
    }));
    const after = paddleX(check(await picture(phone.page, 'let-go-later'), '--paddle-right-of',
                                '-1').text);
    // Against the right wall it could not move on anyway, so that would prove nothing.
    return { ok: before === after && after < 620 - 155, before, after };
  });
  if (!still.ok) fail(`the paddle kept moving after the button was let go: ${JSON.stringify(still)}`);
  pass(`holding the Right button moves the paddle (${held.text}); letting go stops it at ` +
       `${still.after}`);
  phone.noProblems('on the phone');
  await phone.context.close();

  const screen = await visit(browser, { viewport: { width: 1920, height: 1080 },
                                        deviceScaleFactor: 2 });
  await screen.page.goto(url);
  await reachState(screen.page, 'ready', 30);
  await firstFrame(screen.page, 'screen', () => screen.page.keyboard.press('Enter'));
  const screenFit = await geometry(screen.page);
  if (screenFit.pad) fail('touch buttons shown on a desktop screen');
  pass(`3840 x 2160 screen: ${fits('1920 x 1080 at ratio 2', screenFit)}`);
  await keep(screen.page, 'web-3840x2160');
  screen.noProblems('on the 4K screen');
  await screen.context.close();

  // ---- A start-up failure is reported as on the desktop, and on the page ----
  const bare = await visit(browser, {}, () => {
    window.AudioContext = undefined;  // a browser without Web Audio: SDL_Init fails
    window.webkitAudioContext = undefined;
  });
  await bare.page.goto(url);
  await reachState(bare.page, 'ready', 30);
  await bare.page.keyboard.press('Enter');
  await reachState(bare.page, 'failed', 10);
  const failedStatus = await bare.page.evaluate(() => document.body.dataset.exitStatus);
  const shown = await bare.page.locator('#status').textContent();
  const lines = bare.printed.filter((line) => !line.startsWith('warning'));
  if (failedStatus !== '-1' || lines.join('\n') !== 'log: SDL_Init()に失敗' ||
      !shown.includes('SDL_Init()に失敗')) {
    fail(`without Web Audio: status ${failedStatus}, printed ${JSON.stringify(bare.printed)}, ` +
         `shown "${shown}"`);
  }
  pass(`failed SDL_Init: one line, status -1, and the page says "${shown}"`);
  await bare.context.close();

  // ---- The figures ----
  const ms = (value) => `${value.toFixed(2)} ms`;
  console.log(`\ncold load: ${figures.coldBytes} bytes in ${figures.coldRequests} responses ` +
              `(${figures.coldPlainBytes} bytes without gzip)`);
  console.log(`start key to first game frame: ${ms(figures.toFirst)}`);
  console.log(`Chromium: frame period median ${ms(figures.median)}, p99 ${ms(figures.p99)}, ` +
              `CPU ${ms(figures.cpu)} a frame (${figures.frames} frames)`);
  if (figures.toFirst > 1000) fail(`the first frame came ${ms(figures.toFirst)} after the key`);
  if (linux) {
    const off = figures.median / linux.median - 1;
    console.log(`Linux:    frame period median ${ms(linux.median)}, p99 ${ms(linux.p99)}, ` +
                `CPU ${ms(linux.cpu)} a frame (${linux.frames} frames); ` +
                `the web median is ${(100 * off).toFixed(1)} % off, ` +
                `${Math.abs(off) <= 0.02 ? 'within' : 'outside'} the 2 % target`);
    // Linux draws in software under Xvfb, so its frames are the longer ones, by 5 to 12 % on this
    // machine as its speed varies. Only web frames longer than Linux's are a fault: a stretched
    // yield, for one, made them 28 % longer.
    if (off > 0.1) fail('the web frame period median is more than 10 % over Linux\'s');
  }
  console.log(`web: ${passed} passed, 0 failed`);
} catch (error) {
  console.log(`FAIL: ${error instanceof Failure ? error.message : error.stack}`);
  console.log(`web: ${passed} passed, 1 failed`);
  process.exitCode = 1;
} finally {
  for (const context of opened) await context.close().catch(() => {});
  await browser.close();
  server.closeAllConnections();
  server.close();
}
