#include "seam.h"

#include <SDL_mixer.h>
#include <SDL_ttf.h>

#include <algorithm>
#include <cstring>

namespace seam {

namespace {
Settings currentSettings;
Log currentLog;
Uint8 keyState[SDL_NUM_SCANCODES];
int musicLoads = 0;

void note(const char* call)
{
    currentLog.calls.emplace_back(call);
}
}  // namespace

Settings& settings()
{
    return currentSettings;
}

Log& log()
{
    return currentLog;
}

Uint8* keys()
{
    return keyState;
}

void reset()
{
    // The game's own tests always run headless.
    SDL_setenv("SDL_VIDEODRIVER", "dummy", 1);
    SDL_setenv("SDL_AUDIODRIVER", "dummy", 1);
    currentSettings = Settings();
    currentLog = Log();
    std::memset(keyState, 0, sizeof keyState);
    musicLoads = 0;
}

int count(const std::string& call)
{
    return static_cast<int>(std::count(currentLog.calls.begin(), currentLog.calls.end(), call));
}

}  // namespace seam

using seam::currentLog;
using seam::currentSettings;
using seam::note;

extern "C" {

int __real_SDL_Init(Uint32);
int __real_SDL_CreateWindowAndRenderer(int, int, Uint32, SDL_Window**, SDL_Renderer**);
int __real_Mix_OpenAudio(int, Uint16, int, int);
void __real_SDL_SetWindowTitle(SDL_Window*, const char*);
int __real_TTF_Init(void);
SDL_RWops* __real_SDL_RWFromMem(void*, int);
SDL_RWops* __real_SDL_RWFromConstMem(const void*, int);
TTF_Font* __real_TTF_OpenFontRW(SDL_RWops*, int, int);
void __real_TTF_CloseFont(TTF_Font*);
void __real_SDL_DestroyRenderer(SDL_Renderer*);
void __real_SDL_DestroyWindow(SDL_Window*);
void __real_SDL_Quit(void);
void __real_Mix_FreeMusic(Mix_Music*);
void __real_Mix_CloseAudio(void);
void __real_TTF_Quit(void);
int __real_Mix_HaltMusic(void);
Mix_Music* __real_Mix_LoadMUS_RW(SDL_RWops*, int);
int __real_Mix_PlayMusic(Mix_Music*, int);
Uint32 __real_SDL_GetTicks(void);
void __real_SDL_Delay(Uint32);
const Uint8* __real_SDL_GetKeyboardState(int*);
SDL_Surface* __real_TTF_RenderUTF8_Solid(TTF_Font*, const char*, SDL_Color);
SDL_Texture* __real_SDL_CreateTextureFromSurface(SDL_Renderer*, SDL_Surface*);
void __real_SDL_FreeSurface(SDL_Surface*);
void __real_SDL_DestroyTexture(SDL_Texture*);
void __real_SDL_RenderPresent(SDL_Renderer*);
SDL_bool __real_SDL_HasIntersection(const SDL_Rect*, const SDL_Rect*);
int __real_SDL_PollEvent(SDL_Event*);

int __wrap_SDL_Init(Uint32 flags)
{
    note("SDL_Init");
    if (currentSettings.failInit) {
        return -1;
    }
    return __real_SDL_Init(flags);
}

int __wrap_SDL_CreateWindowAndRenderer(int w, int h, Uint32 flags, SDL_Window** window,
                                       SDL_Renderer** renderer)
{
    note("SDL_CreateWindowAndRenderer");
    if (currentSettings.failWindow) {
        return -1;
    }
    return __real_SDL_CreateWindowAndRenderer(w, h, flags, window, renderer);
}

int __wrap_Mix_OpenAudio(int frequency, Uint16 format, int channels, int chunkSize)
{
    note("Mix_OpenAudio");
    if (currentSettings.failAudio) {
        return -1;
    }
    return __real_Mix_OpenAudio(frequency, format, channels, chunkSize);
}

void __wrap_SDL_SetWindowTitle(SDL_Window* window, const char* title)
{
    note("SDL_SetWindowTitle");
    currentLog.title = title;
    __real_SDL_SetWindowTitle(window, title);
}

int __wrap_TTF_Init(void)
{
    note("TTF_Init");
    if (currentSettings.failTtfInit) {
        return -1;  // the engine stays down, so opening the font fails for real
    }
    return __real_TTF_Init();
}

SDL_RWops* __wrap_SDL_RWFromMem(void* mem, int size)
{
    note("SDL_RWFromMem");
    return __real_SDL_RWFromMem(mem, size);
}

SDL_RWops* __wrap_SDL_RWFromConstMem(const void* mem, int size)
{
    note("SDL_RWFromConstMem");
    currentLog.musicBytes.push_back(static_cast<const unsigned char*>(mem));
    return __real_SDL_RWFromConstMem(mem, size);
}

TTF_Font* __wrap_TTF_OpenFontRW(SDL_RWops* src, int freesrc, int ptsize)
{
    note("TTF_OpenFontRW");
    if (currentSettings.failFontOpen) {
        if (src != nullptr && freesrc != 0) {
            SDL_RWclose(src);  // the stream was handed over, as the library would close it
        }
        return nullptr;
    }
    return __real_TTF_OpenFontRW(src, freesrc, ptsize);
}

void __wrap_TTF_CloseFont(TTF_Font* font)
{
    note("TTF_CloseFont");
    __real_TTF_CloseFont(font);
}

void __wrap_SDL_DestroyRenderer(SDL_Renderer* renderer)
{
    note("SDL_DestroyRenderer");
    __real_SDL_DestroyRenderer(renderer);
}

void __wrap_SDL_DestroyWindow(SDL_Window* window)
{
    note("SDL_DestroyWindow");
    __real_SDL_DestroyWindow(window);
}

void __wrap_SDL_Quit(void)
{
    note("SDL_Quit");
    __real_SDL_Quit();
}

void __wrap_Mix_FreeMusic(Mix_Music* music)
{
    note(music == nullptr ? "Mix_FreeMusic(null)" : "Mix_FreeMusic");
    __real_Mix_FreeMusic(music);
}

void __wrap_Mix_CloseAudio(void)
{
    note("Mix_CloseAudio");
    __real_Mix_CloseAudio();
}

void __wrap_TTF_Quit(void)
{
    note("TTF_Quit");
    __real_TTF_Quit();
}

int __wrap_Mix_HaltMusic(void)
{
    note("Mix_HaltMusic");
    return __real_Mix_HaltMusic();
}

Mix_Music* __wrap_Mix_LoadMUS_RW(SDL_RWops* src, int freesrc)
{
    note("Mix_LoadMUS_RW");
    ++seam::musicLoads;
    if (currentSettings.failMusicLoadAt == seam::musicLoads) {
        if (src != nullptr && freesrc != 0) {
            SDL_RWclose(src);
        }
        SDL_SetError("music load refused by the test");
        return nullptr;
    }
    return __real_Mix_LoadMUS_RW(src, freesrc);
}

int __wrap_Mix_PlayMusic(Mix_Music* music, int loops)
{
    note("Mix_PlayMusic");
    currentLog.playLoops.push_back(loops);
    return __real_Mix_PlayMusic(music, loops);
}

Uint32 __wrap_SDL_GetTicks(void)
{
    if (!currentSettings.ticks.empty()) {
        const Uint32 now = currentSettings.ticks.front();
        currentSettings.ticks.erase(currentSettings.ticks.begin());
        return now;
    }
    return __real_SDL_GetTicks();
}

void __wrap_SDL_Delay(Uint32 ms)
{
    currentLog.delays.push_back(ms);
    if (!currentSettings.skipDelay) {
        __real_SDL_Delay(ms);
    }
}

const Uint8* __wrap_SDL_GetKeyboardState(int* numkeys)
{
    if (numkeys != nullptr) {
        *numkeys = SDL_NUM_SCANCODES;
    }
    ++currentLog.iterations;
    if (currentSettings.onIteration) {
        currentSettings.onIteration(currentLog.iterations);
    }
    return seam::keyState;
}

SDL_Surface* __wrap_TTF_RenderUTF8_Solid(TTF_Font* font, const char* text, SDL_Color fg)
{
    if (currentSettings.failTextRender) {
        return nullptr;
    }
    SDL_Surface* surface = __real_TTF_RenderUTF8_Solid(font, text, fg);
    if (surface != nullptr) {
        ++currentLog.surfaces;
    }
    return surface;
}

SDL_Texture* __wrap_SDL_CreateTextureFromSurface(SDL_Renderer* renderer, SDL_Surface* surface)
{
    if (currentSettings.failTexture) {
        return nullptr;
    }
    SDL_Texture* texture = __real_SDL_CreateTextureFromSurface(renderer, surface);
    if (texture != nullptr) {
        ++currentLog.textures;
    }
    return texture;
}

void __wrap_SDL_FreeSurface(SDL_Surface* surface)
{
    if (surface != nullptr) {
        --currentLog.surfaces;
    }
    __real_SDL_FreeSurface(surface);
}

void __wrap_SDL_DestroyTexture(SDL_Texture* texture)
{
    if (texture != nullptr) {
        --currentLog.textures;
    }
    __real_SDL_DestroyTexture(texture);
}

void __wrap_SDL_RenderPresent(SDL_Renderer* renderer)
{
    ++currentLog.frames;
    if (currentSettings.captureFrames) {
        int w = 0;
        int h = 0;
        SDL_GetRendererOutputSize(renderer, &w, &h);
        currentLog.lastFrame.assign(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), 0);
        SDL_RenderReadPixels(renderer, nullptr, SDL_PIXELFORMAT_ARGB8888,
                             currentLog.lastFrame.data(), w * 4);
    }
    __real_SDL_RenderPresent(renderer);
}

SDL_bool __wrap_SDL_HasIntersection(const SDL_Rect* a, const SDL_Rect* b)
{
    if (currentSettings.forceHits) {
        return SDL_TRUE;
    }
    return __real_SDL_HasIntersection(a, b);
}

int __wrap_SDL_PollEvent(SDL_Event* event)
{
    const int taken = __real_SDL_PollEvent(event);
    if (taken != 0 && event != nullptr) {
        currentLog.events.emplace_back(currentLog.iterations, event->type);
    }
    return taken;
}

}  // extern "C"
