// SDL gives the browser control at every present and every wait, through emscripten_sleep; the
// linker hands those calls to the wrapper here (--wrap). The browser needs control once a frame,
// to take input and show the picture, and the game's own wait gives it that: a second yield at
// the present would only add the browser's turn to every frame. A frame with no wait (one that
// ran long) still yields at its present, through a message, which comes back at once where a zero
// timeout would be stretched to 4 ms. The waits are Emscripten's documented EM_ASYNC_JS.
#include <emscripten.h>

#include <stdbool.h>

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
    static bool waitedThisFrame = false;
    if (milliseconds > 0 || !waitedThisFrame) {
        yieldToBrowser(milliseconds);
    }
    waitedThisFrame = milliseconds > 0;
}
