// Level set-up: the table, the serve, the wall, the palette and each level's music.
#include "stage.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

Uint32 bitsOf(float value)
{
    Uint32 bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

struct Row {
    int level;
    int32_t size;
    Uint32 speedBits;
    int32_t paddleW;
    int32_t paddleX;
    int32_t ballX;
};

constexpr Row table[] = {
    {1, 16, 0x41000000, 155, 233, 302}, {2, 14, 0x41166666, 153, 234, 303},
    {3, 12, 0x412CCCCD, 152, 234, 304}, {4, 10, 0x41433333, 150, 235, 305},
    {5, 8, 0x4159999A, 149, 236, 306},  {6, 6, 0x41700000, 148, 236, 307},
    {7, 4, 0x41833333, 146, 237, 308},
};

// Level N plays the file N.ogg of the asset folder.
std::vector<unsigned char> trackFile(int level)
{
    std::ifstream file(std::string(NORBATIKA_ASSET_DIR) + "/" + std::to_string(level) + ".ogg",
                       std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// The calls that start level N's track: its bytes handed to the mixer, played endlessly.
std::vector<std::string> trackStart(int level)
{
    return {"SDL_RWFromConstMem(" + std::to_string(trackFile(level).size()) + ")",
            "Mix_LoadMUS_RW(1)", "Mix_PlayMusic(-1)"};
}

// The stream the level's track was opened from holds exactly that file.
bool streamHoldsTrack(int level)
{
    const auto& streams = seam::log.constStreams;
    const std::vector<unsigned char> expected = trackFile(level);
    return streams.size() == 1 && !expected.empty() &&
           streams[0].second == static_cast<int>(expected.size()) &&
           std::equal(expected.begin(), expected.end(), streams[0].first);
}

using LevelStart = Stage;

TEST_F(LevelStart, EveryLevelTakesItsRowAndServes)
{
    for (const Row& row : table) {
        SCOPED_TRACE(row.level);
        game.level = row.level;
        ball.rect.x = 11;
        ball.rect.y = 22;
        ball.vx = 3.0F;
        startLevel(grid, game, player, ball);
        EXPECT_EQ(ball.size, row.size);
        EXPECT_EQ(bitsOf(ball.speed), row.speedBits);
        EXPECT_EQ(player.paddle.w, row.paddleW);
        EXPECT_EQ(player.paddle.x, row.paddleX);
        EXPECT_EQ(ball.rect.x, row.ballX);
        EXPECT_EQ(ball.rect.y, 628);
        EXPECT_EQ(ball.vx, 0.0F);
        EXPECT_EQ(ball.vy, ball.speed * 0.5F);  // exactly half of the level's float
        // The rectangle keeps its size whatever the level's ball size.
        EXPECT_EQ(ball.rect.w, 16);
        EXPECT_EQ(ball.rect.h, 16);
        EXPECT_TRUE(game.running);
    }
}

TEST_F(LevelStart, RestoresTheWholeWallAndKeepsTheRunsTallies)
{
    game.level = 3;
    player.score = 4200;
    player.combo = 6;
    player.lives = 2;
    game.lastBounceAngle = 0.75;
    ball.lastWallVx = -2.5F;
    ball.lastPaddleVy = -7.25F;
    std::memset(grid.alive, 0, sizeof grid.alive);
    grid.alive[17] = 1;
    startLevel(grid, game, player, ball);
    for (int i = 0; i < 35; ++i) {
        EXPECT_EQ(grid.alive[i], 1) << "block " << i;
    }
    EXPECT_EQ(player.score, 4200);
    EXPECT_EQ(player.combo, 6);
    EXPECT_EQ(player.lives, 2);
    EXPECT_EQ(game.lastBounceAngle, 0.75);
    EXPECT_EQ(ball.lastWallVx, -2.5F);
    EXPECT_EQ(ball.lastPaddleVy, -7.25F);
    EXPECT_EQ(grid.cell.w, 72);
    EXPECT_EQ(grid.cell.h, 22);
    EXPECT_EQ(player.paddle.y, 676);
    EXPECT_EQ(player.paddle.h, 12);
}

TEST_F(LevelStart, PaletteIsBytesDrawnFromTheClockAndRepeatsWithinOneSecond)
{
    // The C library's generator seeded with this second gives these bytes.
    constexpr int32_t pinned[6][3] = {{163, 7, 169},  {105, 154, 136}, {74, 170, 113},
                                      {221, 102, 96}, {153, 118, 192}, {117, 241, 251}};
    seam::settings.clock = 1000000000;
    startLevel(grid, game, player, ball);
    for (int colour = 0; colour < 6; ++colour) {
        for (int component = 0; component < 3; ++component) {
            EXPECT_EQ(game.palette[colour][component], pinned[colour][component])
                << "colour " << colour + 1 << ", component " << component;
        }
    }
    game.level = 2;
    startLevel(grid, game, player, ball);
    EXPECT_EQ(std::memcmp(pinned, game.palette, sizeof pinned), 0);
    seam::settings.clock = 1000000001;
    startLevel(grid, game, player, ball);
    EXPECT_NE(std::memcmp(pinned, game.palette, sizeof pinned), 0);
    for (const auto& colour : game.palette) {
        for (int32_t component : colour) {
            EXPECT_GE(component, 0);
            EXPECT_LE(component, 255);
        }
    }
}

TEST_F(LevelStart, FirstLevelLoadsItsTrackWithoutHaltingAnything)
{
    startLevel(grid, game, player, ball);
    EXPECT_EQ(seam::log.calls, trackStart(1));
    EXPECT_TRUE(streamHoldsTrack(1));
    EXPECT_NE(game.music, nullptr);
    EXPECT_EQ(Mix_PlayingMusic(), 1);
}

TEST_F(LevelStart, EachLaterLevelReleasesThePreviousTrackBeforeLoadingItsOwn)
{
    startLevel(grid, game, player, ball);
    for (int level = 2; level <= 7; ++level) {
        SCOPED_TRACE(level);
        seam::reset();
        game.level = level;
        startLevel(grid, game, player, ball);
        std::vector<std::string> expected = {"Mix_HaltMusic", "Mix_FreeMusic"};
        const std::vector<std::string> start = trackStart(level);
        expected.insert(expected.end(), start.begin(), start.end());
        EXPECT_EQ(seam::log.calls, expected);
        EXPECT_TRUE(streamHoldsTrack(level));
        EXPECT_EQ(Mix_PlayingMusic(), 1);
    }
}

TEST_F(LevelStart, MusicThatWillNotStartIsReportedAndTheLevelIsStillSetUp)
{
    game.level = 4;
    seam::settings.failMusicLoadAt = 1;
    std::memset(grid.alive, 0, sizeof grid.alive);
    testing::internal::CaptureStdout();
    startLevel(grid, game, player, ball);
    // The mixer's own error text follows: here the play call's complaint about the null music.
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              std::string("OGGファイルのエラー：") + SDL_GetError() + "\n");
    EXPECT_STRNE(SDL_GetError(), "");
    EXPECT_FALSE(game.running);
    EXPECT_EQ(game.music, nullptr);
    EXPECT_EQ(grid.alive[0] + grid.alive[34], 2);
    EXPECT_EQ(ball.size, 10);
    EXPECT_EQ(player.paddle.w, 150);
    EXPECT_EQ(player.paddle.x, 235);
    EXPECT_EQ(ball.rect.x, 305);
    EXPECT_EQ(ball.rect.y, 628);
}

TEST_F(LevelStart, ALevelBeyondTheTableKeepsTheRowAndFailsToPlay)
{
    game.level = 7;
    startLevel(grid, game, player, ball);
    seam::reset();
    game.level = 8;
    testing::internal::CaptureStdout();
    startLevel(grid, game, player, ball);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.rfind("OGGファイルのエラー：", 0), 0U) << out;
    EXPECT_FALSE(game.running);
    EXPECT_EQ(seam::count("SDL_RWFromConstMem"), 0);
    EXPECT_EQ(ball.size, 4);
    EXPECT_EQ(player.paddle.w, 146);
    EXPECT_EQ(ball.rect.x, 308);
}

}  // namespace
