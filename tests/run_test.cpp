// The whole run in-process: start-up failures, the frame loop's input handling and shutdown.
#include "game.h"
#include "seam.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using Calls = std::vector<std::string>;

const Calls startUp = {"SDL_Init",      "SDL_CreateWindowAndRenderer",
                       "Mix_OpenAudio", "SDL_SetWindowTitle",
                       "TTF_Init",      "SDL_RWFromMem",
                       "TTF_OpenFontRW"};
const Calls shutDown = {"TTF_CloseFont", "SDL_DestroyRenderer", "SDL_DestroyWindow", "SDL_Quit",
                        "Mix_FreeMusic", "Mix_CloseAudio",      "TTF_Quit"};
const Calls releases = {"TTF_CloseFont", "SDL_DestroyRenderer", "SDL_DestroyWindow",
                        "SDL_Quit",      "Mix_CloseAudio",      "TTF_Quit"};

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

    // A run that should have ended long ago is stopped, and fails the test.
    static void fresh()
    {
        seam::reset();
        seam::settings().skipDelay = true;
        seam::settings().captureFrames = true;
        seam::settings().onIteration = [](int n) {
            if (n == 5000) {
                ADD_FAILURE() << "the run did not end";
                seam::keys()[SDL_SCANCODE_Q] = 1;
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
        auto previous = seam::settings().onIteration;
        seam::settings().onIteration = [=](int n) {
            if (previous) {
                previous(n);
            }
            if (n == iteration) {
                seam::keys()[key] = 1;
            }
        };
    }

    static Calls tail(std::size_t n)
    {
        const Calls& calls = seam::log().calls;
        return Calls(calls.end() - static_cast<std::ptrdiff_t>(std::min(n, calls.size())),
                     calls.end());
    }

    // The paddle's left edge in the last frame, found on its middle row.
    static int paddleX()
    {
        const auto& frame = seam::log().lastFrame;
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
    seam::settings().failInit = true;
    const Outcome out = run();
    EXPECT_EQ(out.status, -1);
    EXPECT_EQ(out.output, "SDL_Init()に失敗\n");
    EXPECT_EQ(seam::log().calls, Calls{"SDL_Init"});
}

TEST_F(Run, AMissingWindowReleasesOnlySdl)
{
    seam::settings().failWindow = true;
    const Outcome out = run();
    EXPECT_EQ(out.status, -1);
    EXPECT_EQ(out.output, "SDL_CreateWindowAndRenderer()に失敗\n");
    EXPECT_EQ(seam::log().calls, (Calls{"SDL_Init", "SDL_CreateWindowAndRenderer", "SDL_Quit"}));
}

TEST_F(Run, AMissingAudioDeviceReleasesRendererWindowAndSdl)
{
    seam::settings().failAudio = true;
    const Outcome out = run();
    EXPECT_EQ(out.status, -1);
    EXPECT_EQ(out.output, "Mix_OpenAudio()に失敗\n");
    EXPECT_EQ(seam::log().calls, (Calls{"SDL_Init", "SDL_CreateWindowAndRenderer", "Mix_OpenAudio",
                                        "SDL_DestroyRenderer", "SDL_DestroyWindow", "SDL_Quit"}));
}

TEST_F(Run, AFontThatWillNotOpenReleasesEverythingButTheFontEngine)
{
    const Calls expected = [] {
        Calls calls = startUp;
        calls.insert(calls.end(),
                     {"SDL_DestroyRenderer", "SDL_DestroyWindow", "Mix_CloseAudio", "SDL_Quit"});
        return calls;
    }();
    seam::settings().failFontOpen = true;
    Outcome out = run();
    EXPECT_EQ(out.status, -1);
    EXPECT_EQ(out.output, "フォントを読込に失敗\n");
    EXPECT_EQ(seam::log().calls, expected);
    EXPECT_EQ(seam::log().frames, 0);

    // A font engine that failed to start shows up the same way.
    TearDown();
    fresh();
    seam::settings().failTtfInit = true;
    out = run();
    EXPECT_EQ(out.status, -1);
    EXPECT_EQ(out.output, "フォントを読込に失敗\n");
    EXPECT_EQ(seam::log().calls, expected);
}

TEST_F(Run, QEndsTheRunAfterItsIterationIsDrawnAndShutsDownInOrder)
{
    pressAt(3, SDL_SCANCODE_Q);
    const Outcome out = run();
    EXPECT_EQ(out.status, 0);
    EXPECT_EQ(out.output, "");
    EXPECT_EQ(seam::log().title, "ノルバティカ");
    EXPECT_EQ(seam::log().frames, 3);
    EXPECT_EQ(seam::log().iterations, 3);
    const Calls expectedStart = [] {
        Calls calls = startUp;
        calls.insert(calls.end(), {"SDL_RWFromConstMem", "Mix_LoadMUS_RW", "Mix_PlayMusic"});
        return calls;
    }();
    EXPECT_TRUE(std::equal(expectedStart.begin(), expectedStart.end(), seam::log().calls.begin()));
    EXPECT_EQ(tail(shutDown.size()), shutDown);
    for (const std::string& call : releases) {
        EXPECT_EQ(seam::count(call), 1) << call;
    }
    EXPECT_EQ(seam::log().delays.size(), 3U);
}

TEST_F(Run, AQuitAmongQueuedEventsIsTakenWithAllOfThemInOneIteration)
{
    seam::settings().onIteration = [](int n) {
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
    EXPECT_EQ(seam::log().frames, 2);
    std::vector<Uint32> taken;
    for (const auto& [iteration, type] : seam::log().events) {
        if (iteration == 2 && (type == SDL_QUIT || type >= SDL_USEREVENT)) {
            taken.push_back(type);
        }
    }
    EXPECT_EQ(taken, (std::vector<Uint32>{SDL_USEREVENT, SDL_QUIT, SDL_USEREVENT + 1}));
}

TEST_F(Run, ArrowKeysMoveThePaddleNinePixelsPerIterationAndCancelOut)
{
    seam::keys()[SDL_SCANCODE_RIGHT] = 1;
    pressAt(3, SDL_SCANCODE_Q);
    run();
    EXPECT_EQ(paddleX(), 233 + 3 * 9);

    fresh();
    seam::keys()[SDL_SCANCODE_LEFT] = 1;
    seam::keys()[SDL_SCANCODE_RIGHT] = 1;
    pressAt(4, SDL_SCANCODE_Q);
    run();
    EXPECT_EQ(paddleX(), 233);
}

TEST_F(Run, AfterTheWinKeysNoLongerMoveThePaddleButQStillEndsTheRun)
{
    // Every rectangle meets every other, so each frame clears a wall: seven frames to the win.
    seam::settings().forceHits = true;
    seam::keys()[SDL_SCANCODE_RIGHT] = 1;
    pressAt(10, SDL_SCANCODE_Q);
    const Outcome out = run();
    EXPECT_EQ(out.status, 0);
    EXPECT_EQ(out.output, "");
    EXPECT_EQ(seam::log().frames, 10);
    // Level 7's paddle is centred at 237 and moved once before the winning frame froze it.
    EXPECT_EQ(paddleX(), 237 + 9);
    EXPECT_EQ(seam::count("Mix_LoadMUS_RW"), 7);
    EXPECT_EQ(seam::count("Mix_FreeMusic"), 7);  // six level changes and the shutdown
}

TEST_F(Run, FirstLevelMusicThatWillNotStartEndsTheRunWithoutAFrameAndFails)
{
    seam::settings().failMusicLoadAt = 1;
    const Outcome out = run();
    EXPECT_EQ(out.status, -1);
    EXPECT_TRUE(isMusicError(out.output)) << out.output;
    EXPECT_EQ(seam::log().frames, 0);
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
    seam::settings().forceHits = true;  // the first frame clears level 1
    seam::settings().failMusicLoadAt = 2;
    const Outcome out = run();
    EXPECT_EQ(out.status, -1);
    EXPECT_TRUE(isMusicError(out.output)) << out.output;
    EXPECT_EQ(seam::log().frames, 1);
    EXPECT_EQ(seam::count("Mix_FreeMusic"), 1);  // level 1's, on the change
    EXPECT_EQ(seam::count("Mix_FreeMusic(null)"), 1);
    for (const std::string& call : releases) {
        EXPECT_EQ(seam::count(call), 1) << call;
    }
}

}  // namespace
