/* Preloaded into the real game binary to script a short headless run without touching the
 * game's code: it holds Right, then Left, makes every block cell answer as hit for a few frames
 * (so the wall falls and the next level's set-up runs), and holds Q to end the run.
 * Frames are counted at SDL_RenderPresent. SCRIPT_QUIT_FRAME sets the frame from which Q is
 * held (1: right after the first frame, which is how the package test ends its run). */
#define _GNU_SOURCE
#include <SDL.h>
#include <SDL_mixer.h>
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int frames;
static int tracksLoaded;
static Uint8 keys[SDL_NUM_SCANCODES];

static int quitFrame(void)
{
    const char* text = getenv("SCRIPT_QUIT_FRAME");
    return text != NULL ? atoi(text) : 300;
}

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
    if (numkeys != NULL) {
        *numkeys = SDL_NUM_SCANCODES;
    }
    memset(keys, 0, sizeof keys);
    keys[SDL_SCANCODE_RIGHT] = frames >= 20 && frames < 60;
    keys[SDL_SCANCODE_LEFT] = frames >= 60 && frames < 100;
    keys[SDL_SCANCODE_Q] = frames >= quitFrame();
    return keys;
}

SDL_bool SDL_HasIntersection(const SDL_Rect* a, const SDL_Rect* b)
{
    static SDL_bool (*real)(const SDL_Rect*, const SDL_Rect*);
    if (real == NULL) {
        real =
            (SDL_bool(*)(const SDL_Rect*, const SDL_Rect*))dlsym(RTLD_NEXT, "SDL_HasIntersection");
    }
    /* Block cells are the only 22-pixel-high rectangles the game tests. */
    if (frames >= 150 && frames < 152 && b != NULL && b->h == 22) {
        return SDL_TRUE;
    }
    return real(a, b);
}

Mix_Music* Mix_LoadMUS_RW(SDL_RWops* src, int freesrc)
{
    static Mix_Music* (*real)(SDL_RWops*, int);
    if (real == NULL) {
        real = (Mix_Music * (*)(SDL_RWops*, int)) dlsym(RTLD_NEXT, "Mix_LoadMUS_RW");
    }
    ++tracksLoaded;
    return real(src, freesrc);
}

/* Told on standard error so the caller can see the script ran its course. */
__attribute__((destructor)) static void summary(void)
{
    fprintf(stderr, "script: %d frames, %d tracks loaded\n", frames, tracksLoaded);
}
