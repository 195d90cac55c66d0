// A JavaScript library for emcc. SDL yields to the browser with emscripten_sleep(0) at every
// present. A zero timeout would do, but browsers stretch nested zero timeouts to 4 ms, which
// would lengthen every frame; a message to ourselves yields at once.
mergeInto(LibraryManager.library, {
  $yieldNow__deps: ['$callUserCallback'],
  $yieldNow: function (resume) {
    const channel = new MessageChannel();
    {{{ runtimeKeepalivePush() }}}
    channel.port1.onmessage = () => {
      channel.port1.close();
      {{{ runtimeKeepalivePop() }}}
      callUserCallback(resume);
    };
    channel.port2.postMessage(0);
  },
  emscripten_sleep__deps: ['$safeSetTimeout', '$yieldNow'],
  emscripten_sleep: function (ms) {
    Asyncify.handleSleep((wakeUp) => (ms > 0 ? safeSetTimeout(wakeUp, ms) : yieldNow(wakeUp)));
  },
});
