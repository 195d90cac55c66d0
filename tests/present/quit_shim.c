/* Preloaded into the installed game for a headless run: once the first frame has been presented,
 * the keyboard reads as if Q were held, so the game quits the way a player makes it quit. The
 * game's code is untouched; at exit the number of frames presented goes to standard error. */
#define _GNU_SOURCE
#include <SDL.h>
#include <dlfcn.h>
#include <stdio.h>
#include <string.h>

static int frames;
static Uint8 keys[SDL_NUM_SCANCODES];

void SDL_RenderPresent(SDL_Renderer* renderer)
{
    static void (*real)(SDL_Renderer*);
    if (real == NULL) {
        real = (void (*)(SDL_Renderer*))dlsym(RTLD_NEXT, "SDL_RenderPresent");
    }
    real(renderer);
    ++frames;
}

const Uint8* SDL_GetKeyboardState(int* numkeys)
{
    static const Uint8* (*real)(int*);
    if (real == NULL) {
        real = (const Uint8* (*)(int*))dlsym(RTLD_NEXT, "SDL_GetKeyboardState");
    }
    int count = 0;
    const Uint8* live = real(&count);
    if (numkeys != NULL) {
        *numkeys = SDL_NUM_SCANCODES;
    }
    memcpy(keys, live, (size_t)(count < SDL_NUM_SCANCODES ? count : SDL_NUM_SCANCODES));
    keys[SDL_SCANCODE_Q] = frames >= 1;
    return keys;
}

__attribute__((destructor)) static void summary(void)
{
    fprintf(stderr, "quit shim: %d frames presented\n", frames);
}
