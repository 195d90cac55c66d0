// The web test's eyes inside the page, added to index.html by the test's own server and never
// part of the site. The same in every engine: it records the start key, each frame (the game
// clears the picture once a frame) and the first drawing, the audio contexts and the samples the
// program hands them, the status line, the console and every problem the page meets, and reads
// a frame back exactly when asked. "?measure" leaves the drawing buffer as the page has it, for
// timing; "?no-audio" takes Web Audio away.
'use strict';
(() => {
  const seen = { keyAt: null, frames: [], firstDrawAt: null, audioAtFirst: null, want: false,
                 picture: null, contexts: [], sum: 0, samples: 0, blocks: 0, heardAt: null,
                 statuses: [], printed: [], problems: [] };
  window.seen = seen;
  const exact = location.search !== '?measure';
  if (location.search === '?no-audio') {
    window.AudioContext = undefined;
    window.webkitAudioContext = undefined;
  }

  for (const type of ['log', 'info', 'warn', 'error']) {
    const write = console[type];
    console[type] = (...args) => {
      const text = args.map(String).join(' ');
      seen.printed.push(`${type}: ${text}`);
      if (type === 'error') seen.problems.push(`console: ${text}`);
      write.apply(console, args);
    };
  }
  addEventListener('error', (event) => {
    seen.problems.push(`error: ${event.message || `${event.target.src || event.target.href}`}`);
  }, true);
  addEventListener('unhandledrejection', (event) => {
    seen.problems.push(`rejection: ${event.reason}`);
  });
  document.addEventListener('securitypolicyviolation', (event) => {
    seen.problems.push(`blocked by ${event.violatedDirective}: ${event.blockedURI}`);
  });
  for (const type of ['keydown', 'pointerdown']) {
    addEventListener(type, (event) => { seen.keyAt ??= performance.now(); }, true);
  }
  document.addEventListener('DOMContentLoaded', () => {
    const line = document.getElementById('status');
    new MutationObserver(() => seen.statuses.push(line.textContent))
      .observe(line, { childList: true, characterData: true, subtree: true });
  });

  // Every context the page opens, and the samples SDL's handler puts in each block.
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
      let handler = null;
      Object.defineProperty(node, 'onaudioprocess', { get: () => handler,
                                                      set: (h) => { handler = h; } });
      node.addEventListener('audioprocess', (event) => {
        if (!handler) return;
        handler.call(node, event);
        const data = event.outputBuffer.getChannelData(0);
        let sum = 0;
        for (let i = 0; i < data.length; i += 1) sum += data[i] * data[i];
        Object.assign(seen, { blocks: seen.blocks + 1, sum: seen.sum + sum,
                              samples: seen.samples + data.length });
        if (sum > 0) seen.heardAt = performance.now();
      });
      return node;
    };
  }

  // The picture, top row first, as RGB.
  const read = (gl) => {
    const [w, h] = [gl.drawingBufferWidth, gl.drawingBufferHeight];
    const pixels = new Uint8Array(w * h * 4);
    gl.readPixels(0, 0, w, h, gl.RGBA, gl.UNSIGNED_BYTE, pixels);
    const rgb = new Uint8Array(w * h * 3);
    for (let y = 0; y < h; y += 1) {
      for (let x = 0; x < w; x += 1) {
        const from = ((h - 1 - y) * w + x) * 4;
        rgb.set(pixels.subarray(from, from + 3), (y * w + x) * 3);
      }
    }
    return { w, h, rgb };
  };
  const getContext = HTMLCanvasElement.prototype.getContext;
  HTMLCanvasElement.prototype.getContext = function (type, attributes) {
    const webgl = /webgl/.test(type);
    const gl = getContext.call(this, type, webgl && exact ? { ...attributes,
                                                              preserveDrawingBuffer: true }
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
})();
