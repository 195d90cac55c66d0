// A link-time seam over the SDL family: the test binaries are linked with --wrap for each call
// below, so a test can log the calls the game makes, make one of them fail, script the keyboard
// and skip the real waiting. With nothing set, every call goes through to the library.
#pragma once

#include <SDL.h>

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
    // Called from SDL_GetKeyboardState, once per loop iteration, with the iteration's number.
    std::function<void(int iteration)> onIteration;
};

struct Log {
    std::vector<std::string> calls;  // the acquire and release calls, in order
    std::vector<Uint32> delays;
    std::vector<const unsigned char*> musicBytes;  // SDL_RWFromConstMem's data pointers
    std::vector<int> playLoops;
    int frames = 0;                 // SDL_RenderPresent calls
    int surfaces = 0;               // made minus freed
    int textures = 0;               // made minus destroyed
    std::vector<Uint32> lastFrame;  // ARGB8888, when captured
    int iterations = 0;
    std::string title;                           // the last window title set
    std::vector<std::pair<int, Uint32>> events;  // (iteration, type) of every event taken
};

Settings& settings();
Log& log();
Uint8* keys();  // the scripted keyboard state the game reads

// Clears the settings, the log and the keyboard.
void reset();

// How many times `call` appears in the log.
int count(const std::string& call);

}  // namespace seam
