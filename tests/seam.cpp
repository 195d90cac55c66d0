#include "seam.h"

#include <SDL_mixer.h>
#include <SDL_ttf.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace seam {

namespace {
Settings currentSettings;
Log currentLog;
Uint8 keyState[SDL_NUM_SCANCODES];
int musicLoads = 0;

std::string shown(int value)
{
    return std::to_string(value);
}

// Flags and formats read best in hexadecimal, as SDL's headers write them.
std::string shown(Uint32 value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(value));
    return text;
}

std::string shown(const char* value)
{
    return value;
}
}  // namespace

template <typename... Values> void note(const char* call, const Values&... values)
{
    std::string text = call;
    if constexpr (sizeof...(values) > 0) {
        std::string list;
        ((list += (list.empty() ? "" : ", ") + shown(values)), ...);
        text += "(" + list + ")";
    }
    currentLog.calls.push_back(text);
}

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
    const bool bare = call.find('(') == std::string::npos;
    return static_cast<int>(
        std::count_if(currentLog.calls.begin(), currentLog.calls.end(), [&](const auto& logged) {
            return logged == call || (bare && logged.rfind(call + "(", 0) == 0);
        }));
}

}  // namespace seam

using seam::currentLog;
using seam::currentSettings;
using seam::note;

// Calls that are only logged on their way to the library, by name and result.
// NOLINTBEGIN(bugprone-macro-parentheses): the arguments are a type and a name.
#define LOGGED_RELEASE(name, type)                                                                 \
    void __real_##name(type);                                                                      \
    void __wrap_##name(type object)                                                                \
    {                                                                                              \
        note(#name);                                                                               \
        __real_##name(object);                                                                     \
    }
#define LOGGED_NO_ARGUMENTS(name, result)                                                          \
    result __real_##name(void);                                                                    \
    result __wrap_##name(void)                                                                     \
    {                                                                                              \
        note(#name);                                                                               \
        return __real_##name();                                                                    \
    }
// NOLINTEND(bugprone-macro-parentheses)

extern "C" {

LOGGED_RELEASE(TTF_CloseFont, TTF_Font*)
LOGGED_RELEASE(SDL_DestroyRenderer, SDL_Renderer*)
LOGGED_RELEASE(SDL_DestroyWindow, SDL_Window*)
LOGGED_NO_ARGUMENTS(SDL_Quit, void)
LOGGED_NO_ARGUMENTS(Mix_CloseAudio, void)
LOGGED_NO_ARGUMENTS(TTF_Quit, void)
LOGGED_NO_ARGUMENTS(Mix_HaltMusic, int)

int __real_SDL_Init(Uint32);
int __real_SDL_CreateWindowAndRenderer(int, int, Uint32, SDL_Window**, SDL_Renderer**);
int __real_Mix_OpenAudio(int, Uint16, int, int);
void __real_SDL_SetWindowTitle(SDL_Window*, const char*);
int __real_TTF_Init(void);
SDL_RWops* __real_SDL_RWFromMem(void*, int);
SDL_RWops* __real_SDL_RWFromConstMem(const void*, int);
TTF_Font* __real_TTF_OpenFontRW(SDL_RWops*, int, int);
void __real_Mix_FreeMusic(Mix_Music*);
Mix_Music* __real_Mix_LoadMUS_RW(SDL_RWops*, int);
int __real_Mix_PlayMusic(Mix_Music*, int);
Uint32 __real_SDL_GetTicks(void);
void __real_SDL_Delay(Uint32);
SDL_Surface* __real_TTF_RenderUTF8_Solid(TTF_Font*, const char*, SDL_Color);
SDL_Texture* __real_SDL_CreateTextureFromSurface(SDL_Renderer*, SDL_Surface*);
void __real_SDL_FreeSurface(SDL_Surface*);
void __real_SDL_DestroyTexture(SDL_Texture*);
void __real_SDL_RenderPresent(SDL_Renderer*);
SDL_bool __real_SDL_HasIntersection(const SDL_Rect*, const SDL_Rect*);
int __real_SDL_PollEvent(SDL_Event*);
std::time_t __real_time(std::time_t*);

int __wrap_SDL_Init(Uint32 flags)
{
    note("SDL_Init", flags);
    return currentSettings.failInit ? -1 : __real_SDL_Init(flags);
}

int __wrap_SDL_CreateWindowAndRenderer(int w, int h, Uint32 flags, SDL_Window** window,
                                       SDL_Renderer** renderer)
{
    note("SDL_CreateWindowAndRenderer", w, h, flags);
    return currentSettings.failWindow
               ? -1
               : __real_SDL_CreateWindowAndRenderer(w, h, flags, window, renderer);
}

int __wrap_Mix_OpenAudio(int frequency, Uint16 format, int channels, int chunkSize)
{
    note("Mix_OpenAudio", frequency, Uint32{format}, channels, chunkSize);
    return currentSettings.failAudio ? -1
                                     : __real_Mix_OpenAudio(frequency, format, channels, chunkSize);
}

void __wrap_SDL_SetWindowTitle(SDL_Window* window, const char* title)
{
    note("SDL_SetWindowTitle", title);
    __real_SDL_SetWindowTitle(window, title);
}

int __wrap_TTF_Init(void)
{
    note("TTF_Init");
    // A refused start leaves the engine down, so opening the font then fails for real.
    return currentSettings.failTtfInit ? -1 : __real_TTF_Init();
}

SDL_RWops* __wrap_SDL_RWFromMem(void* mem, int size)
{
    note("SDL_RWFromMem", size);
    return __real_SDL_RWFromMem(mem, size);
}

SDL_RWops* __wrap_SDL_RWFromConstMem(const void* mem, int size)
{
    note("SDL_RWFromConstMem", size);
    currentLog.constStreams.emplace_back(static_cast<const unsigned char*>(mem), size);
    return __real_SDL_RWFromConstMem(mem, size);
}

// A refused open or load still takes a stream handed over, as the library would close it.
TTF_Font* __wrap_TTF_OpenFontRW(SDL_RWops* src, int freesrc, int ptsize)
{
    note("TTF_OpenFontRW", freesrc, ptsize);
    if (currentSettings.failFontOpen) {
        if (src != nullptr && freesrc != 0) {
            SDL_RWclose(src);
        }
        return nullptr;
    }
    return __real_TTF_OpenFontRW(src, freesrc, ptsize);
}

Mix_Music* __wrap_Mix_LoadMUS_RW(SDL_RWops* src, int freesrc)
{
    note("Mix_LoadMUS_RW", freesrc);
    if (currentSettings.failMusicLoadAt == ++seam::musicLoads) {
        if (src != nullptr && freesrc != 0) {
            SDL_RWclose(src);
        }
        SDL_SetError("music load refused by the test");
        return nullptr;
    }
    return __real_Mix_LoadMUS_RW(src, freesrc);
}

void __wrap_Mix_FreeMusic(Mix_Music* music)
{
    note(music == nullptr ? "Mix_FreeMusic(null)" : "Mix_FreeMusic");
    __real_Mix_FreeMusic(music);
}

int __wrap_Mix_PlayMusic(Mix_Music* music, int loops)
{
    note("Mix_PlayMusic", loops);
    return __real_Mix_PlayMusic(music, loops);
}

Uint32 __wrap_SDL_GetTicks(void)
{
    auto& ticks = currentSettings.ticks;
    if (ticks.empty()) {
        return __real_SDL_GetTicks();
    }
    const Uint32 now = ticks.front();
    ticks.erase(ticks.begin());
    return now;
}

std::time_t __wrap_time(std::time_t* result)
{
    if (currentSettings.clock < 0) {
        return __real_time(result);
    }
    if (result != nullptr) {
        *result = currentSettings.clock;
    }
    return currentSettings.clock;
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
    SDL_Surface* surface =
        currentSettings.failTextRender ? nullptr : __real_TTF_RenderUTF8_Solid(font, text, fg);
    currentLog.surfaces += surface != nullptr ? 1 : 0;
    return surface;
}

SDL_Texture* __wrap_SDL_CreateTextureFromSurface(SDL_Renderer* renderer, SDL_Surface* surface)
{
    SDL_Texture* texture = currentSettings.failTexture
                               ? nullptr
                               : __real_SDL_CreateTextureFromSurface(renderer, surface);
    currentLog.textures += texture != nullptr ? 1 : 0;
    return texture;
}

void __wrap_SDL_FreeSurface(SDL_Surface* surface)
{
    currentLog.surfaces -= surface != nullptr ? 1 : 0;
    __real_SDL_FreeSurface(surface);
}

void __wrap_SDL_DestroyTexture(SDL_Texture* texture)
{
    currentLog.textures -= texture != nullptr ? 1 : 0;
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
    return currentSettings.forceHits ? SDL_TRUE : __real_SDL_HasIntersection(a, b);
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
