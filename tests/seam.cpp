#include "seam.h"

#include <SDL_mixer.h>
#include <SDL_ttf.h>

#include <algorithm>
#include <cstring>
#include <sstream>
#include <type_traits>

namespace seam {

Settings settings;
Log log;
Uint8 keys[SDL_NUM_SCANCODES];

namespace {
int musicLoads = 0;
}  // namespace

// Logs a call, with its arguments when it has telling ones; flags and formats in hexadecimal,
// as SDL's headers write them.
template <typename... Values> void note(const char* call, const Values&... values)
{
    std::ostringstream text;
    text << call;
    const char* separator = "(";
    [[maybe_unused]] const auto show = [&](const auto& value) {
        text << separator;
        if constexpr (std::is_unsigned_v<std::decay_t<decltype(value)>>) {
            text << "0x" << std::hex << std::uppercase << value << std::dec;
        } else {
            text << value;
        }
        separator = ", ";
    };
    (show(values), ...);
    seam::log.calls.push_back(text.str() + (sizeof...(values) > 0 ? ")" : ""));
}

void reset()
{
    // The game's own tests always run headless.
    SDL_setenv("SDL_VIDEODRIVER", "dummy", 1);
    SDL_setenv("SDL_AUDIODRIVER", "dummy", 1);
    settings = Settings();
    log = Log();
    std::memset(keys, 0, sizeof keys);
    musicLoads = 0;
}

int count(const std::string& call)
{
    const bool bare = call.find('(') == std::string::npos;
    return static_cast<int>(
        std::count_if(seam::log.calls.begin(), seam::log.calls.end(), [&](const auto& logged) {
            return logged == call || (bare && logged.rfind(call + "(", 0) == 0);
        }));
}

// A refused open or load still takes a stream handed over, as the library would close it.
void closeHandedOver(SDL_RWops* stream, int freesrc)
{
    if (stream != nullptr && freesrc != 0) {
        SDL_RWclose(stream);
    }
}

}  // namespace seam

using seam::note;

// NOLINTBEGIN(bugprone-macro-parentheses): the arguments are types, names and parameter lists.
// WRAP declares a library call under the linker's __real_ name and begins its __wrap_ stand-in,
// whose body follows; CMake reads the list of wrapped calls from these lines.
#define WRAP(result, name, parameters)                                                             \
    result __real_##name parameters;                                                               \
    result __wrap_##name parameters
// A release call that is only logged on its way to the library.
#define WRAP_LOGGED(result, name, parameters, arguments)                                           \
    WRAP(result, name, parameters)                                                                 \
    {                                                                                              \
        note(#name);                                                                               \
        return __real_##name arguments;                                                            \
    }
// NOLINTEND(bugprone-macro-parentheses)

extern "C" {

WRAP_LOGGED(void, TTF_CloseFont, (TTF_Font * font), (font))
WRAP_LOGGED(void, SDL_DestroyRenderer, (SDL_Renderer * renderer), (renderer))
WRAP_LOGGED(void, SDL_DestroyWindow, (SDL_Window * window), (window))
WRAP_LOGGED(void, SDL_Quit, (void), ())
WRAP_LOGGED(void, Mix_CloseAudio, (void), ())
WRAP_LOGGED(void, TTF_Quit, (void), ())
WRAP_LOGGED(int, Mix_HaltMusic, (void), ())

WRAP(int, SDL_Init, (Uint32 flags))
{
    note("SDL_Init", flags);
    return seam::settings.failInit ? -1 : __real_SDL_Init(flags);
}

WRAP(int, SDL_CreateWindowAndRenderer,
     (int w, int h, Uint32 flags, SDL_Window** window, SDL_Renderer** renderer))
{
    note("SDL_CreateWindowAndRenderer", w, h, flags);
    return seam::settings.failWindow
               ? -1
               : __real_SDL_CreateWindowAndRenderer(w, h, flags, window, renderer);
}

WRAP(int, Mix_OpenAudio, (int frequency, Uint16 format, int channels, int chunkSize))
{
    note("Mix_OpenAudio", frequency, format, channels, chunkSize);
    return seam::settings.failAudio ? -1
                                    : __real_Mix_OpenAudio(frequency, format, channels, chunkSize);
}

WRAP(void, SDL_SetWindowTitle, (SDL_Window * window, const char* title))
{
    note("SDL_SetWindowTitle", title);
    __real_SDL_SetWindowTitle(window, title);
}

// A refused start leaves the engine down, so opening the font then fails for real.
WRAP(int, TTF_Init, (void))
{
    note("TTF_Init");
    return seam::settings.failTtfInit ? -1 : __real_TTF_Init();
}

WRAP(SDL_RWops*, SDL_RWFromMem, (void* mem, int size))
{
    note("SDL_RWFromMem", size);
    return __real_SDL_RWFromMem(mem, size);
}

WRAP(SDL_RWops*, SDL_RWFromConstMem, (const void* mem, int size))
{
    note("SDL_RWFromConstMem", size);
    seam::log.constStreams.emplace_back(static_cast<const unsigned char*>(mem), size);
    return __real_SDL_RWFromConstMem(mem, size);
}

WRAP(TTF_Font*, TTF_OpenFontRW, (SDL_RWops * src, int freesrc, int ptsize))
{
    note("TTF_OpenFontRW", freesrc, ptsize);
    if (seam::settings.failFontOpen) {
        seam::closeHandedOver(src, freesrc);
        return nullptr;
    }
    return __real_TTF_OpenFontRW(src, freesrc, ptsize);
}

WRAP(Mix_Music*, Mix_LoadMUS_RW, (SDL_RWops * src, int freesrc))
{
    note("Mix_LoadMUS_RW", freesrc);
    if (seam::settings.failMusicLoadAt == ++seam::musicLoads) {
        seam::closeHandedOver(src, freesrc);
        SDL_SetError("music load refused by the test");
        return nullptr;
    }
    return __real_Mix_LoadMUS_RW(src, freesrc);
}

WRAP(void, Mix_FreeMusic, (Mix_Music * music))
{
    note(music == nullptr ? "Mix_FreeMusic(null)" : "Mix_FreeMusic");
    __real_Mix_FreeMusic(music);
}

WRAP(int, Mix_PlayMusic, (Mix_Music * music, int loops))
{
    note("Mix_PlayMusic", loops);
    return __real_Mix_PlayMusic(music, loops);
}

WRAP(Uint32, SDL_GetTicks, (void))
{
    auto& ticks = seam::settings.ticks;
    if (ticks.empty()) {
        return __real_SDL_GetTicks();
    }
    const Uint32 now = ticks.front();
    ticks.erase(ticks.begin());
    return now;
}

WRAP(std::time_t, time, (std::time_t * result))
{
    if (seam::settings.clock < 0) {
        return __real_time(result);
    }
    return result != nullptr ? (*result = seam::settings.clock) : seam::settings.clock;
}

WRAP(void, SDL_Delay, (Uint32 ms))
{
    seam::log.delays.push_back(ms);
    if (!seam::settings.skipDelay) {
        __real_SDL_Delay(ms);
    }
}

// The scripted keyboard, read once per loop iteration.
WRAP(const Uint8*, SDL_GetKeyboardState, (int* numkeys))
{
    if (numkeys != nullptr) {
        *numkeys = SDL_NUM_SCANCODES;
    }
    ++seam::log.iterations;
    if (seam::settings.onIteration) {
        seam::settings.onIteration(seam::log.iterations);
    }
    return seam::keys;
}

WRAP(SDL_Surface*, TTF_RenderUTF8_Solid, (TTF_Font * font, const char* text, SDL_Color fg))
{
    SDL_Surface* surface =
        seam::settings.failTextRender ? nullptr : __real_TTF_RenderUTF8_Solid(font, text, fg);
    seam::log.surfaces += surface != nullptr ? 1 : 0;
    return surface;
}

WRAP(SDL_Texture*, SDL_CreateTextureFromSurface, (SDL_Renderer * renderer, SDL_Surface* surface))
{
    SDL_Texture* texture = seam::settings.failTexture
                               ? nullptr
                               : __real_SDL_CreateTextureFromSurface(renderer, surface);
    seam::log.textures += texture != nullptr ? 1 : 0;
    return texture;
}

WRAP(void, SDL_FreeSurface, (SDL_Surface * surface))
{
    seam::log.surfaces -= surface != nullptr ? 1 : 0;
    __real_SDL_FreeSurface(surface);
}

WRAP(void, SDL_DestroyTexture, (SDL_Texture * texture))
{
    seam::log.textures -= texture != nullptr ? 1 : 0;
    __real_SDL_DestroyTexture(texture);
}

WRAP(void, SDL_RenderPresent, (SDL_Renderer * renderer))
{
    ++seam::log.frames;
    int w = 0;
    int h = 0;
    if (seam::settings.captureFrames && SDL_GetRendererOutputSize(renderer, &w, &h) == 0) {
        seam::log.lastFrame.assign(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), 0);
        SDL_RenderReadPixels(renderer, nullptr, SDL_PIXELFORMAT_ARGB8888,
                             seam::log.lastFrame.data(), w * 4);
    }
    __real_SDL_RenderPresent(renderer);
}

WRAP(SDL_bool, SDL_HasIntersection, (const SDL_Rect* a, const SDL_Rect* b))
{
    return seam::settings.forceHits ? SDL_TRUE : __real_SDL_HasIntersection(a, b);
}

WRAP(int, SDL_PollEvent, (SDL_Event * event))
{
    const int taken = __real_SDL_PollEvent(event);
    if (taken != 0 && event != nullptr) {
        seam::log.events.emplace_back(seam::log.iterations, event->type);
    }
    return taken;
}

}  // extern "C"
