// SDL gives the browser control at every present and every wait, through emscripten_sleep. A zero
// sleep would be a zero timeout, which browsers stretch to 4 ms once timeouts nest, lengthening
// every frame; a message to ourselves comes back at once. The linker hands SDL's calls to the
// wrapper here (--wrap), which waits through Emscripten's documented EM_ASYNC_JS.
#include <emscripten.h>

EM_ASYNC_JS(void, yieldToBrowser, (unsigned milliseconds), {
    await new Promise((resume) => {
        if (milliseconds > 0) {
            setTimeout(resume, milliseconds);
            return;
        }
        const channel = new MessageChannel();
        channel.port1.onmessage = () => {
            channel.port1.close();
            resume();
        };
        channel.port2.postMessage(0);
    });
})

void __wrap_emscripten_sleep(unsigned milliseconds);
void __wrap_emscripten_sleep(unsigned milliseconds)
{
    yieldToBrowser(milliseconds);
}
