// The page around the game: the start screen with the download's progress, one run of the
// program per start (a fresh instance for "Play again"), the play area fitted to the screen,
// touch buttons that hold the game's keys, and the service worker that keeps the site offline.
'use strict';

const site = document.documentElement.dataset;
const body = document.body;
const stage = document.getElementById('stage');
const statusLine = document.getElementById('status');
const bar = document.getElementById('bar');
const again = document.getElementById('again');
const footer = document.querySelector('footer');
const cacheName = `norbatika-${site.build}`;
const gameWidth = 620;
const gameHeight = 720;
// A tap shorter than a frame would come and go between two of the game's looks at the keys.
const shortestHold = 50;

let state = 'loading';
let program = null;      // the factory and the compiled module, once downloaded
let startWanted = false; // a key or tap came while the download was still going
let audio = null;        // the next run's audio context, made ahead and resumed on a gesture
let lastLine = '';

function show(next, text) {
  state = next;
  body.dataset.state = next;
  if (text !== undefined) statusLine.textContent = text;
}

const megabytes = (bytes) => (bytes / 1e6).toFixed(1);

// ---- The program's download, with its progress, kept where the service worker serves it ----

async function download(name, received) {
  const response = await fetch(name);
  if (!response.ok) throw new Error(`${name}: HTTP ${response.status}`);
  const reader = response.body.getReader();
  const chunks = [];
  let length = 0;
  for (;;) {
    const { done, value } = await reader.read();
    if (done) break;
    chunks.push(value);
    length += value.length;
    received(value.length);
  }
  const bytes = new Uint8Array(length);
  let at = 0;
  for (const chunk of chunks) {
    bytes.set(chunk, at);
    at += chunk.length;
  }
  return bytes;
}

// The service worker would otherwise download the program a second time to keep it; the other
// files it revalidates, which costs no download.
async function keep(files) {
  if (!('caches' in window) || navigator.serviceWorker?.controller) return;
  const cache = await caches.open(cacheName);
  await Promise.all(Object.entries(files).map(([name, [bytes, type]]) =>
    cache.put(name, new Response(bytes, { headers: { 'Content-Type': type } }))));
}

// The program's script is the site's own file, as the page's policy asks of every script.
function loadScript(name) {
  return new Promise((loaded, failed) => {
    const element = document.createElement('script');
    element.src = name;
    element.onload = () => loaded(window.createNorbatika);
    element.onerror = () => failed(new Error(`${name} would not load`));
    document.head.append(element);
  });
}

async function load() {
  const total = Number(site.downloadBytes);
  let received = 0;
  const progress = (bytes) => {
    received += bytes;
    bar.style.width = `${Math.min(100, (100 * received) / total)}%`;
    if (state === 'loading') {
      statusLine.textContent = `Loading ${megabytes(received)} of ${megabytes(total)} MB`;
    }
  };
  const [factory, wasm] = await Promise.all([loadScript('norbatika.js'),
                                             download('norbatika.wasm', progress)]);
  const module = await WebAssembly.compile(wasm);
  try {
    await keep({ 'norbatika.wasm': [wasm, 'application/wasm'] });
    await navigator.serviceWorker?.register('sw.js');
  } catch (error) {
    console.warn(`no offline copy: ${error.message}`);  // the game itself still plays
  }
  return { factory, module };
}

// ---- One run of the program ----

// Some browsers take most of a second to open a sound output, so the next run's context is
// made as soon as the page is shown or a run ends; sound starts only from a gesture, which
// resumes it, and the context is handed to SDL.
function makeAudio() {
  const Context = window.AudioContext || window.webkitAudioContext;
  if (!audio && Context) audio = new Context();
}

function openAudio() {
  makeAudio();
  audio?.resume().catch(() => {});
}

function freshCanvas() {
  const old = document.getElementById('canvas');
  const canvas = old.cloneNode(false);
  canvas.oncontextmenu = (event) => event.preventDefault();
  old.replaceWith(canvas);
  return canvas;
}

function start() {
  delete body.dataset.exitStatus;
  show('starting', 'Starting');
  again.hidden = true;
  // Play starts at once: a context that takes its time starts the track from its beginning.
  openAudio();
  const context = audio;
  audio = null;
  lastLine = '';
  const canvas = freshCanvas();
  const settings = {
    canvas,
    print: (text) => { lastLine = text; console.log(text); },
    printErr: (text) => { lastLine = text; console.error(text); },
    instantiateWasm(imports, receive) {
      WebAssembly.instantiate(program.module, imports)
        .then((instance) => receive(instance, program.module), failed);
      return {};
    },
    noInitialRun: true,
  };
  if (context) settings.SDL2 = { audioContext: context };
  show('playing', '');
  canvas.focus();
  // main is called, not run at start-up, so that its own result is the status: while it yields,
  // Emscripten would lose what it returns.
  program.factory(settings)
    .then((game) => game.ccall('main', 'number', ['number', 'number'], [0, 0], { async: true }))
    .then((status) => ended(status, context), failed);
}

function ended(status, context) {
  body.dataset.exitStatus = String(status);
  // SDL closes the context when it shuts down cleanly; a failed start leaves it to us.
  if (context && context.state !== 'closed') context.close().catch(() => {});
  if (status === 0) {
    show('ended', '');
  } else {
    show('failed', `The game stopped: ${lastLine || `status ${status}`}`);
  }
  again.hidden = false;
  makeAudio();
}

function failed(error) {
  console.error(error);
  show('failed', `The game could not load: ${error.message}`);
}

function wantStart() {
  openAudio();
  if (state === 'ready') {
    start();
  } else if (state === 'loading' && !startWanted) {
    startWanted = true;
    statusLine.textContent = 'Starting as soon as it has loaded';
  }
}

// ---- Keys, clicks and touch ----

const scrollKeys = new Set(['ArrowLeft', 'ArrowRight', 'ArrowUp', 'ArrowDown', ' ', 'PageUp',
                            'PageDown', 'Home', 'End']);
const notStartKeys = new Set(['Tab', 'Shift', 'Control', 'Alt', 'Meta', 'CapsLock', 'Escape']);

addEventListener('keydown', (event) => {
  const onButton = event.target instanceof HTMLButtonElement;
  if (scrollKeys.has(event.key) && !onButton) event.preventDefault();
  if (event.isTrusted) usesKeyboard();
  if (event.ctrlKey || event.altKey || event.metaKey || notStartKeys.has(event.key)) return;
  if (!onButton && (state === 'ready' || state === 'loading')) wantStart();
  // Enter plays again; only a new press, so the key that started a run that failed at once
  // does not start another.
  const over = state === 'ended' || state === 'failed';
  if (!onButton && !event.repeat && event.key === 'Enter' && over) {
    start();
  }
}, { capture: true });

stage.addEventListener('pointerdown', (event) => {
  if (state === 'ready' || state === 'loading') {
    event.preventDefault();
    wantStart();
  } else {
    document.getElementById('canvas').focus();
  }
});
again.addEventListener('click', () => {
  if (state === 'ended' || state === 'failed') start();
});

// The touch buttons send the very key events the game reads, to the window where SDL listens.
const codes = { ArrowLeft: 'ArrowLeft', ArrowRight: 'ArrowRight', q: 'KeyQ' };
const keyCodes = { ArrowLeft: 37, ArrowRight: 39, q: 81 };

function sendKey(type, key) {
  dispatchEvent(new KeyboardEvent(type, { key, code: codes[key], keyCode: keyCodes[key],
                                          which: keyCodes[key], bubbles: true }));
}

for (const button of document.querySelectorAll('#pad button')) {
  const { key } = button.dataset;
  let heldSince = null;
  button.addEventListener('pointerdown', (event) => {
    event.preventDefault();
    if (state !== 'playing') {
      if (state === 'ready' || state === 'loading') wantStart();
      return;
    }
    button.setPointerCapture(event.pointerId);
    heldSince = performance.now();
    button.classList.add('held');
    sendKey('keydown', key);
  });
  const release = () => {
    if (heldSince === null) return;
    const wait = Math.max(0, heldSince + shortestHold - performance.now());
    heldSince = null;
    button.classList.remove('held');
    setTimeout(() => sendKey('keyup', key), wait);
  };
  for (const type of ['pointerup', 'pointercancel', 'lostpointercapture']) {
    button.addEventListener(type, release);
  }
  button.addEventListener('contextmenu', (event) => event.preventDefault());
}

// Touch buttons show where touch is the main input, until a real keyboard is used.
const touchFirst = matchMedia('(hover: none) and (pointer: coarse)');
let keyboardSeen = false;

function usesKeyboard() {
  if (keyboardSeen) return;
  keyboardSeen = true;
  layOut();
}

// ---- Fitting the play area to the screen ----

// The largest play area the space allows: whole multiples of the game's pixels on the device's
// pixels where at least one fits, smooth-free scaling to fit otherwise.
function fitInto(width, height) {
  const ratio = window.devicePixelRatio || 1;
  const fit = Math.min(width / gameWidth, height / gameHeight);
  const scale = fit >= 1 ? Math.floor(fit * ratio) / ratio : fit;
  return { width: Math.floor(gameWidth * scale), height: Math.floor(gameHeight * scale), scale };
}

function layOut() {
  const touch = touchFirst.matches && !keyboardSeen;
  body.classList.toggle('touch', touch);
  const frame = 4;  // the stage's border on both sides
  const gap = 12;
  const width = document.documentElement.clientWidth - frame;
  const height = document.documentElement.clientHeight - footer.offsetHeight - 8 - frame;
  let best = fitInto(width, height);
  let beside = false;
  if (touch) {
    const below = fitInto(width, height - gap - 72);
    const sides = fitInto(width - 2 * (gap + 96), height);
    beside = sides.scale > below.scale;
    best = beside ? sides : below;
  }
  body.classList.toggle('beside', beside);
  const canvas = document.getElementById('canvas');
  canvas.style.width = `${best.width}px`;
  canvas.style.height = `${best.height}px`;
  stage.style.setProperty('--scale', String(best.width / gameWidth));
}

addEventListener('resize', layOut);
touchFirst.addEventListener('change', layOut);
layOut();
makeAudio();

load().then((loaded) => {
  program = loaded;
  show('ready', touchFirst.matches && !keyboardSeen ? 'Tap to play' : 'Press any key to play');
  if (startWanted) start();
}, failed);
