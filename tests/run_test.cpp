// The whole run in-process: start-up failures, the frame loop's input handling and shutdown.
#include "embedded_assets.h"
#include "game.h"
#include "seam.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

using Calls = std::vector<std::string>;

// Every start-up call with the game's arguments: the font is handed over with its stream.
const Calls startUp = {"SDL_Init(0xF231)",
                       "SDL_CreateWindowAndRenderer(620, 720, 0x0)",
                       "Mix_OpenAudio(44100, 0x8010, 2, 2048)",
                       "SDL_SetWindowTitle(ノルバティカ)",
                       "TTF_Init",
                       "SDL_RWFromMem(" + std::to_string(asset_norbatika_ttf_size) + ")",
                       "TTF_OpenFontRW(1, 16)"};
const Calls shutDown = {"TTF_CloseFont", "SDL_DestroyRenderer", "SDL_DestroyWindow", "SDL_Quit",
                        "Mix_FreeMusic", "Mix_CloseAudio",      "TTF_Quit"};
const Calls releases = {"TTF_CloseFont", "SDL_DestroyRenderer", "SDL_DestroyWindow",
                        "SDL_Quit",      "Mix_CloseAudio",      "TTF_Quit"};

// The first `steps` start-up calls, then the given ones.
Calls startUpThen(std::size_t steps, const Calls& then)
{
    Calls calls(startUp.begin(), startUp.begin() + static_cast<std::ptrdiff_t>(steps));
    calls.insert(calls.end(), then.begin(), then.end());
    return calls;
}

// One line: the fixed text, then the mixer's error text.
bool isMusicError(const std::string& output)
{
    const std::string prefix = "OGGファイルのエラー：";
    return output.size() > prefix.size() + 1 && output.rfind(prefix, 0) == 0 &&
           output.find('\n') == output.size() - 1;
}

struct Outcome {
    int status;
    std::string output;
};

class Run : public ::testing::Test {
  protected:
    void SetUp() override
    {
        fresh();
    }

    // A run that should have ended long ago fails the test and is asked to quit; one that
    // will not even then ends the test program.
    static void fresh()
    {
        seam::reset();
        seam::settings.skipDelay = true;
        seam::settings.captureFrames = true;
        seam::settings.onIteration = [](int n) {
            if (n == 5000) {
                ADD_FAILURE() << "the run did not end";
                SDL_Event quit{};
                quit.type = SDL_QUIT;
                SDL_PushEvent(&quit);
            } else if (n == 5100) {
                std::fprintf(stderr, "the run did not end even on a quit event\n");
                std::_Exit(1);
            }
        };
    }

    void TearDown() override
    {
        seam::reset();
        // The font failure leaves the font engine up, as the game does; start the next clean.
        while (TTF_WasInit() > 0) {
            TTF_Quit();
        }
    }

    static Outcome run()
    {
        testing::internal::CaptureStdout();
        const int status = runGame();
        return {status, testing::internal::GetCapturedStdout()};
    }

    static void pressAt(int iteration, SDL_Scancode key)
    {
        auto previous = seam::settings.onIteration;
        seam::settings.onIteration = [=](int n) {
            if (previous) {
                previous(n);
            }
            if (n == iteration) {
                seam::keys[key] = 1;
            }
        };
    }

    static Calls tail(std::size_t n)
    {
        const Calls& calls = seam::log.calls;
        return Calls(calls.end() - static_cast<std::ptrdiff_t>(std::min(n, calls.size())),
                     calls.end());
    }

    // The paddle's left edge in the last frame, found on its middle row.
    static int paddleX()
    {
        const auto& frame = seam::log.lastFrame;
        for (int x = 0; x < 620; ++x) {
            if ((frame.at(std::size_t{682} * 620 + static_cast<std::size_t>(x)) & 0xFFFFFFU) ==
                0xFFFFFFU) {
                return x;
            }
        }
        return -1;
    }
};

TEST_F(Run, SdlThatWillNotStartEndsTheRunAtOnce)
{
    seam::settings.failInit = true;
    const Outcome out = run();
    EXPECT_EQ(out.status, -1);
    EXPECT_EQ(out.output, "SDL_Init()に失敗\n");
    EXPECT_EQ(seam::log.calls, startUpThen(1, {}));
}

TEST_F(Run, AMissingWindowReleasesOnlySdl)
{
    seam::settings.failWindow = true;
    const Outcome out = run();
    EXPECT_EQ(out.status, -1);
    EXPECT_EQ(out.output, "SDL_CreateWindowAndRenderer()に失敗\n");
    EXPECT_EQ(seam::log.calls, startUpThen(2, {"SDL_Quit"}));
}

TEST_F(Run, AMissingAudioDeviceReleasesRendererWindowAndSdl)
{
    seam::settings.failAudio = true;
    const Outcome out = run();
    EXPECT_EQ(out.status, -1);
    EXPECT_EQ(out.output, "Mix_OpenAudio()に失敗\n");
    EXPECT_EQ(seam::log.calls,
              startUpThen(3, {"SDL_DestroyRenderer", "SDL_DestroyWindow", "SDL_Quit"}));
}

TEST_F(Run, AFontThatWillNotOpenReleasesEverythingButTheFontEngine)
{
    const Calls expected = startUpThen(
        startUp.size(), {"SDL_DestroyRenderer", "SDL_DestroyWindow", "Mix_CloseAudio", "SDL_Quit"});
    seam::settings.failFontOpen = true;
    Outcome out = run();
    EXPECT_EQ(out.status, -1);
    EXPECT_EQ(out.output, "フォントを読込に失敗\n");
    EXPECT_EQ(seam::log.calls, expected);
    EXPECT_EQ(seam::log.frames, 0);

    // A font engine that failed to start shows up the same way.
    TearDown();
    fresh();
    seam::settings.failTtfInit = true;
    out = run();
    EXPECT_EQ(out.status, -1);
    EXPECT_EQ(out.output, "フォントを読込に失敗\n");
    EXPECT_EQ(seam::log.calls, expected);
}

TEST_F(Run, QEndsTheRunAfterItsIterationIsDrawnAndShutsDownInOrder)
{
    pressAt(3, SDL_SCANCODE_Q);
    const Outcome out = run();
    EXPECT_EQ(out.status, 0);
    EXPECT_EQ(out.output, "");
    EXPECT_EQ(seam::log.frames, 3);
    EXPECT_EQ(seam::log.iterations, 3);
    // The first level's track is handed to the mixer with its stream, to play endlessly.
    const Calls expectedStart =
        startUpThen(startUp.size(), {"SDL_RWFromConstMem(" + std::to_string(asset_1_ogg_size) + ")",
                                     "Mix_LoadMUS_RW(1)", "Mix_PlayMusic(-1)"});
    EXPECT_TRUE(std::equal(expectedStart.begin(), expectedStart.end(), seam::log.calls.begin()));
    EXPECT_EQ(tail(shutDown.size()), shutDown);
    for (const std::string& call : releases) {
        EXPECT_EQ(seam::count(call), 1) << call;
    }
    EXPECT_EQ(seam::log.delays.size(), 3U);
}

TEST_F(Run, AQuitAmongQueuedEventsIsTakenWithAllOfThemInOneIteration)
{
    seam::settings.onIteration = [](int n) {
        if (n == 2) {
            SDL_Event event{};
            event.type = SDL_USEREVENT;
            SDL_PushEvent(&event);
            event.type = SDL_QUIT;
            SDL_PushEvent(&event);
            event.type = SDL_USEREVENT + 1;
            SDL_PushEvent(&event);
        }
    };
    const Outcome out = run();
    EXPECT_EQ(out.status, 0);
    EXPECT_EQ(seam::log.frames, 2);
    std::vector<Uint32> taken;
    for (const auto& [iteration, type] : seam::log.events) {
        if (iteration == 2 && (type == SDL_QUIT || type >= SDL_USEREVENT)) {
            taken.push_back(type);
        }
    }
    EXPECT_EQ(taken, (std::vector<Uint32>{SDL_USEREVENT, SDL_QUIT, SDL_USEREVENT + 1}));
}

TEST_F(Run, ArrowKeysMoveThePaddleNinePixelsPerIterationAndCancelOut)
{
    seam::keys[SDL_SCANCODE_RIGHT] = 1;
    pressAt(3, SDL_SCANCODE_Q);
    run();
    EXPECT_EQ(paddleX(), 233 + 3 * 9);

    fresh();
    seam::keys[SDL_SCANCODE_LEFT] = 1;
    seam::keys[SDL_SCANCODE_RIGHT] = 1;
    pressAt(4, SDL_SCANCODE_Q);
    run();
    EXPECT_EQ(paddleX(), 233);
}

TEST_F(Run, AfterTheWinKeysNoLongerMoveThePaddleButQStillEndsTheRun)
{
    // Every rectangle meets every other, so each frame clears a wall: seven frames to the win.
    seam::settings.forceHits = true;
    seam::keys[SDL_SCANCODE_RIGHT] = 1;
    pressAt(10, SDL_SCANCODE_Q);
    const Outcome out = run();
    EXPECT_EQ(out.status, 0);
    EXPECT_EQ(out.output, "");
    EXPECT_EQ(seam::log.frames, 10);
    // Level 7's paddle is centred at 237 and moved once before the winning frame froze it.
    EXPECT_EQ(paddleX(), 237 + 9);
    EXPECT_EQ(seam::count("Mix_LoadMUS_RW"), 7);
    EXPECT_EQ(seam::count("Mix_FreeMusic"), 7);  // six level changes and the shutdown
}

TEST_F(Run, FirstLevelMusicThatWillNotStartEndsTheRunWithoutAFrameAndFails)
{
    seam::settings.failMusicLoadAt = 1;
    const Outcome out = run();
    EXPECT_EQ(out.status, -1);
    EXPECT_TRUE(isMusicError(out.output)) << out.output;
    EXPECT_EQ(seam::log.frames, 0);
    const Calls expectedEnd = {"TTF_CloseFont", "SDL_DestroyRenderer", "SDL_DestroyWindow",
                               "SDL_Quit",      "Mix_FreeMusic(null)", "Mix_CloseAudio",
                               "TTF_Quit"};
    EXPECT_EQ(tail(expectedEnd.size()), expectedEnd);
    for (const std::string& call : releases) {
        EXPECT_EQ(seam::count(call), 1) << call;
    }
}

TEST_F(Run, LaterLevelMusicThatWillNotStartEndsTheRunAfterOneMoreFrameAndFails)
{
    seam::settings.forceHits = true;  // the first frame clears level 1
    seam::settings.failMusicLoadAt = 2;
    const Outcome out = run();
    EXPECT_EQ(out.status, -1);
    EXPECT_TRUE(isMusicError(out.output)) << out.output;
    EXPECT_EQ(seam::log.frames, 1);
    EXPECT_EQ(seam::count("Mix_FreeMusic"), 2);  // level 1's on the change, and the null one
    EXPECT_EQ(seam::count("Mix_FreeMusic(null)"), 1);
    for (const std::string& call : releases) {
        EXPECT_EQ(seam::count(call), 1) << call;
    }
}

}  // namespace
