// The one preloaded driver of the real binary (LD_PRELOAD), for the game and the bare yardstick
// alike. It changes nothing unless asked, each part by its environment variable:
//   DRIVER_PLAY=1         the autopilot holds Left or Right, steering by what is drawn
//   DRIVER_HITS=FROM-TO   every block cell answers as hit from frame FROM to before TO
//   DRIVER_QUIT=N         a quit event follows frame N; a run still going 100 frames later
//                         is ended with status 70
//   DRIVER_PRESENTS=FILE  the CPU time at the first and the last present, then each present's
//                         monotonic time in ns and the blocks it showed, written at exit
// Frames are counted at SDL_RenderPresent; a summary goes to standard error at exit.
#include "autopilot.h"

#include <dlfcn.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

enum class Thing { other, ball, paddle, block };

// The game's objects told apart by their rectangles, here and nowhere else: block cells are 22
// pixels high, the paddle 12, and the ball's rectangle stays 16 x 16 whatever its level.
Thing recognise(const SDL_Rect* rect)
{
    if (rect == nullptr) {
        return Thing::other;
    }
    if (rect->h == 22 || rect->h == 12) {
        return rect->h == 22 ? Thing::block : Thing::paddle;
    }
    return rect->w == 16 && rect->h == 16 ? Thing::ball : Thing::other;
}

template <typename Function> Function* real(const char* name)
{
    return reinterpret_cast<Function*>(dlsym(RTLD_NEXT, name));
}

long setting(const char* name, long otherwise)
{
    const char* text = std::getenv(name);
    return text != nullptr ? std::strtol(text, nullptr, 10) : otherwise;
}

long long cpuMicroseconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000000LL + usage.ru_utime.tv_usec +
           usage.ru_stime.tv_usec;
}

constexpr int maxFrames = 1 << 16;  // 17 minutes at 62.5 frames a second

struct Record {
    int frames = 0;
    int tracksLoaded = 0;
    int blocksThisFrame = 0;
    long long presentNs[maxFrames] = {};
    short blocks[maxFrames] = {};
    long long cpuUs[2] = {-1, -1};  // at the first and at the last present
    Sight sight;
    SDL_Point lastBall = {0, 0};
    Autopilot pilot;
    Uint8 keys[SDL_NUM_SCANCODES] = {};
};

Record record;

}  // namespace

extern "C" {

void SDL_RenderPresent(SDL_Renderer* renderer)
{
    static auto* present = real<void(SDL_Renderer*)>("SDL_RenderPresent");
    present(renderer);
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    record.cpuUs[1] = cpuMicroseconds();
    record.cpuUs[0] = record.frames == 0 ? record.cpuUs[1] : record.cpuUs[0];
    if (record.frames < maxFrames) {
        record.presentNs[record.frames] = now.tv_sec * 1000000000LL + now.tv_nsec;
        record.blocks[record.frames] = static_cast<short>(record.blocksThisFrame);
    }
    record.blocksThisFrame = 0;
    const long quitFrame = setting("DRIVER_QUIT", -1);
    if (++record.frames == quitFrame) {
        SDL_Event quit{};
        quit.type = SDL_QUIT;
        SDL_PushEvent(&quit);
    } else if (quitFrame >= 0 && record.frames == quitFrame + 100) {
        std::fprintf(stderr, "driver: the run did not end on a quit event\n");
        _exit(70);
    }
}

int SDL_RenderFillRect(SDL_Renderer* renderer, const SDL_Rect* rect)
{
    static auto* fill = real<int(SDL_Renderer*, const SDL_Rect*)>("SDL_RenderFillRect");
    switch (recognise(rect)) {
    case Thing::block: ++record.blocksThisFrame; break;
    case Thing::paddle: record.sight.paddle = *rect; break;
    case Thing::ball: record.sight.ball = *rect; break;
    case Thing::other: break;
    }
    return fill(renderer, rect);
}

const Uint8* SDL_GetKeyboardState(int* numkeys)
{
    static auto* state = real<const Uint8*(int*)>("SDL_GetKeyboardState");
    const Uint8* keys = state(numkeys);
    if (setting("DRIVER_PLAY", 0) == 0) {
        return keys;
    }
    // The ball's velocity is what it moved since the last frame that was looked at.
    Sight& sight = record.sight;
    sight.vx = static_cast<float>(sight.ball.x - record.lastBall.x);
    sight.vy = static_cast<float>(sight.ball.y - record.lastBall.y);
    record.lastBall = {sight.ball.x, sight.ball.y};
    std::memcpy(record.keys, keys, sizeof record.keys);
    const int way = sight.paddle.w > 0 ? record.pilot.steer(sight) : 0;
    record.keys[SDL_SCANCODE_LEFT] = way < 0 ? 1 : 0;
    record.keys[SDL_SCANCODE_RIGHT] = way > 0 ? 1 : 0;
    return record.keys;
}

SDL_bool SDL_HasIntersection(const SDL_Rect* a, const SDL_Rect* b)
{
    static auto* intersect =
        real<SDL_bool(const SDL_Rect*, const SDL_Rect*)>("SDL_HasIntersection");
    static const char* hits = std::getenv("DRIVER_HITS");
    static const long from = setting("DRIVER_HITS", -1);
    static const long to = hits != nullptr && std::strchr(hits, '-') != nullptr
                               ? std::strtol(std::strchr(hits, '-') + 1, nullptr, 10)
                               : -1;
    const bool forced = record.frames >= from && record.frames < to;
    return forced && recognise(b) == Thing::block ? SDL_TRUE : intersect(a, b);
}

Mix_Music* Mix_LoadMUS_RW(SDL_RWops* src, int freesrc)
{
    static auto* load = real<Mix_Music*(SDL_RWops*, int)>("Mix_LoadMUS_RW");
    ++record.tracksLoaded;
    return load(src, freesrc);
}

}  // extern "C"

namespace {

__attribute__((destructor)) void writeRecord()
{
    std::fprintf(stderr, "driver: %d frames, %d tracks loaded\n", record.frames,
                 record.tracksLoaded);
    const char* path = std::getenv("DRIVER_PRESENTS");
    FILE* out = path != nullptr ? std::fopen(path, "w") : nullptr;
    if (out == nullptr) {
        return;
    }
    std::fprintf(out, "cpu_first_present_us %lld\ncpu_last_present_us %lld\n", record.cpuUs[0],
                 record.cpuUs[1]);
    for (int i = 0; i < record.frames && i < maxFrames; ++i) {
        std::fprintf(out, "%lld %d\n", record.presentNs[i], record.blocks[i]);
    }
    std::fclose(out);
}

}  // namespace
