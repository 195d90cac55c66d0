// A link-time seam over the SDL family: the test binaries are linked with --wrap for every
// __wrap_ function in seam.cpp, so a test can log the calls the game makes with their
// arguments, make one of them fail, script the keyboard and the clock, and skip the waiting.
// With nothing set, every call goes through to the library.
#pragma once

#include <SDL.h>

#include <ctime>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace seam {

struct Settings {
    bool failInit = false;
    bool failWindow = false;
    bool failAudio = false;
    bool failTtfInit = false;
    bool failFontOpen = false;
    int failMusicLoadAt = 0;  // 1-based count of Mix_LoadMUS_RW calls; 0 never
    bool failTextRender = false;
    bool failTexture = false;
    bool skipDelay = false;      // record SDL_Delay but do not wait
    bool forceHits = false;      // SDL_HasIntersection answers true
    bool captureFrames = false;  // keep the pixels of the last presented frame
    std::vector<Uint32> ticks;   // scripted SDL_GetTicks results, used up in order
    std::time_t clock = -1;      // what the calendar clock reads; -1 the real one
    // Called from SDL_GetKeyboardState, once per loop iteration, with the iteration's number.
    std::function<void(int iteration)> onIteration;
};

struct Log {
    // The acquire and release calls in order, those with telling arguments written with them,
    // as "Mix_OpenAudio(44100, 0x8010, 2, 2048)" or "Mix_LoadMUS_RW(1)" (the 1 hands the
    // stream over). A null music freed shows as "Mix_FreeMusic(null)".
    std::vector<std::string> calls;
    std::vector<Uint32> delays;
    std::vector<std::pair<const unsigned char*, int>> constStreams;  // SDL_RWFromConstMem's
    int frames = 0;                                                  // SDL_RenderPresent calls
    int surfaces = 0;                                                // made minus freed
    int textures = 0;                                                // made minus destroyed
    std::vector<Uint32> lastFrame;                                   // ARGB8888, when captured
    int iterations = 0;
    std::vector<std::pair<int, Uint32>> events;  // (iteration, type) of every event taken
};

extern Settings settings;
extern Log log;
extern Uint8 keys[SDL_NUM_SCANCODES];  // the scripted keyboard state the game reads

// Clears the settings, the log and the keyboard.
void reset();

// How many calls were `call`: a bare name counts that call whatever its arguments.
int count(const std::string& call);

}  // namespace seam
