// Drawing: what a frame shows, read back from the software renderer, and the pacing wait.
#include "stage.h"

namespace {

constexpr Uint32 white = 0xFFFFFF;
constexpr Uint32 black = 0x000000;

// A palette whose six colours are easy to tell apart: colour k is (k * 40, 255 - k * 40, k).
void setKnownPalette(Game& game)
{
    for (int k = 1; k <= 6; ++k) {
        game.palette[k - 1][0] = k * 40;
        game.palette[k - 1][1] = 255 - k * 40;
        game.palette[k - 1][2] = k;
    }
}

Uint32 knownColour(int colour)
{
    const auto k = static_cast<Uint32>(colour);
    return (k * 40U) << 16U | (255U - k * 40U) << 8U | k;
}

class Picture : public Stage {
  protected:
    void SetUp() override
    {
        Stage::SetUp();
        startLevel(grid, game, player, ball);
        setKnownPalette(game);
        seam::reset();
        seam::settings.skipDelay = true;
        seam::settings.captureFrames = true;
    }

    // White pixels in the top band (y 0 to 59) outside the given boxes.
    int strayWhiteInTopBand(const std::vector<SDL_Rect>& boxes) const
    {
        int stray = 0;
        for (int y = 0; y < 60; ++y) {
            for (int x = 0; x < game.width; ++x) {
                const SDL_Point p{x, y};
                bool inside = false;
                for (const SDL_Rect& box : boxes) {
                    inside = inside || SDL_PointInRect(&p, &box) == SDL_TRUE;
                }
                stray += !inside && pixel(x, y) == white ? 1 : 0;
            }
        }
        return stray;
    }

    static int expectedColour(int i)
    {
        int colour = 1;
        for (int k = 2; k <= 6; ++k) {
            colour = i % k == 0 ? k : colour;
        }
        return colour;
    }
};

TEST_F(Picture, PaddleAndBallAreWhiteOnBlack)
{
    draw();
    EXPECT_EQ(countColour(player.paddle, white), 155 * 12);
    EXPECT_EQ(countColour(ball.rect, white), 16 * 16);
    EXPECT_EQ(pixel(232, 680), black);
    EXPECT_EQ(pixel(388, 680), black);
    EXPECT_EQ(pixel(310, 627), black);
    EXPECT_EQ(pixel(310, 644), black);
    EXPECT_EQ(pixel(5, 700), black);
}

TEST_F(Picture, EveryBlockFillsItsCellInTheColourOfItsIndex)
{
    draw();
    for (int i = 0; i < 35; ++i) {
        SCOPED_TRACE(i);
        const SDL_Rect cell{8 + 88 * (i % 7), 74 + 38 * (i % 5), 72, 22};
        EXPECT_EQ(countColour(cell, knownColour(expectedColour(i))), 72 * 22);
    }
    // Worked corners: block 0 in colour 6, block 1 at (96, 112) in colour 1, 34 in colour 2.
    EXPECT_EQ(pixel(8, 74), knownColour(6));
    EXPECT_EQ(pixel(96, 112), knownColour(1));
    EXPECT_EQ(pixel(607, 247), knownColour(2));
    // The gaps between cells stay black.
    EXPECT_EQ(pixel(80, 80), black);
    EXPECT_EQ(pixel(50, 96), black);
    EXPECT_EQ(pixel(608, 80), black);
    EXPECT_EQ(pixel(50, 248), black);
}

TEST_F(Picture, AKnockedOutBlockIsNotDrawnAndTheOthersKeepTheirColours)
{
    grid.alive[7] = 0;
    grid.alive[12] = 0;
    draw();
    EXPECT_EQ(countColour({8, 150, 72, 22}, black), 72 * 22);    // block 7: column 0, row 2
    EXPECT_EQ(countColour({448, 150, 72, 22}, black), 72 * 22);  // block 12: column 5, row 2
    EXPECT_EQ(countColour({96, 150, 72, 22}, knownColour(2)), 72 * 22);  // block 22
}

TEST_F(Picture, StatusLinesSitInTheirBoxesAtTheTop)
{
    draw();
    const SDL_Rect score{492, 8, 128, 16};
    const SDL_Rect lives{2, 8, 128, 16};
    const SDL_Rect level{2, 40, 128, 16};
    EXPECT_EQ(textMismatches(score, "SCORE: 0"), 0);
    EXPECT_EQ(textMismatches(lives, "LIVES: 3"), 0);
    EXPECT_EQ(textMismatches(level, "LEVEL: 1"), 0);
    EXPECT_EQ(strayWhiteInTopBand({score, lives, level}), 0);
    // The last line drawn was LEVEL, and no end text is shown during play.
    EXPECT_EQ(player.textRect.x, 2);
    EXPECT_EQ(player.textRect.y, 40);
    EXPECT_EQ(player.textRect.w, 128);
    EXPECT_EQ(player.textRect.h, 16);
    EXPECT_EQ(countColour({198, 344, 128, 16}, white), 0);
}

TEST_F(Picture, LongerNumbersGrowTheirBoxesToTheLeft)
{
    player.score = 123456;
    player.lives = -1;
    draw();
    const SDL_Rect score{620 - 13 * 16, 8, 13 * 16, 16};
    const SDL_Rect lives{130 - 9 * 16, 8, 9 * 16, 16};
    EXPECT_EQ(textMismatches(score, "SCORE: 123456"), 0);
    EXPECT_EQ(textMismatches(lives, "LIVES: -1"), 0);
    EXPECT_EQ(strayWhiteInTopBand({score, lives, {2, 40, 128, 16}}), 0);
}

TEST_F(Picture, ALostGameShowsYouLossBelowTheWall)
{
    game.gameOver = true;
    player.lives = 0;
    draw();
    EXPECT_EQ(textMismatches({198, 344, 128, 16}, "YOU LOSS"), 0);
    EXPECT_EQ(countColour({0, 330, 198, 40}, white), 0);
    EXPECT_EQ(countColour({326, 330, 294, 40}, white), 0);
    EXPECT_EQ(player.textRect.x, 198);
    EXPECT_EQ(player.textRect.y, 344);
    EXPECT_EQ(player.textRect.w, 128);
}

TEST_F(Picture, AWonGameShowsYouWinRightOfTheCentre)
{
    game.gameOver = true;
    game.won = true;
    game.level = 8;
    std::fill(std::begin(grid.alive), std::end(grid.alive), 0);
    draw();
    EXPECT_EQ(textMismatches({214, 344, 112, 16}, "YOU WIN"), 0);
    EXPECT_EQ(countColour({0, 330, 214, 40}, white), 0);
    EXPECT_EQ(player.textRect.x, 214);
    EXPECT_EQ(player.textRect.w, 112);
    // Only the background, the paddle, the ball and the text remain.
    EXPECT_EQ(countColour({0, 60, 620, 200}, black), 620 * 200);
}

TEST_F(Picture, ThePaddleIsDrawnWhereTheKeysLeftItEvenPastTheEdge)
{
    player.paddle.x = -9;
    draw();
    EXPECT_EQ(countColour({0, 676, 146, 12}, white), 146 * 12);
    EXPECT_EQ(pixel(146, 680), black);
}

TEST_F(Picture, EveryTextSurfaceAndTextureIsReleasedWithinTheFrame)
{
    game.gameOver = true;
    for (int frame = 0; frame < 3; ++frame) {
        draw();
    }
    EXPECT_EQ(seam::log.surfaces, 0);
    EXPECT_EQ(seam::log.textures, 0);
}

TEST_F(Picture, ALineThatCannotBeRenderedIsLeftOutOfTheFrame)
{
    seam::settings.failTextRender = true;
    draw();
    EXPECT_EQ(countColour({0, 0, 620, 60}, white), 0);
    EXPECT_EQ(countColour(player.paddle, white), 155 * 12);
    EXPECT_EQ(seam::log.frames, 2);

    seam::settings.failTextRender = false;
    seam::settings.failTexture = true;
    draw();
    EXPECT_EQ(countColour({0, 0, 620, 60}, white), 0);
    EXPECT_EQ(seam::log.surfaces, 0);
    EXPECT_EQ(pixel(8, 74), knownColour(6));
}

TEST_F(Picture, TheWaitMakesUpTheRestOfSixteenMilliseconds)
{
    struct Pace {
        Uint32 now;
        int32_t frameTime;
        std::vector<Uint32> delays;
    };
    const Pace paces[] = {{1005, 5, {11}}, {1015, 15, {1}}, {1016, 16, {}}, {1040, 40, {}}};
    for (const Pace& pace : paces) {
        SCOPED_TRACE(pace.now);
        seam::log.delays.clear();
        seam::settings.ticks = {pace.now};
        game.frameStart = 1000;
        drawFrame(game, player, ball, grid);
        EXPECT_EQ(game.frameTime, pace.frameTime);
        EXPECT_EQ(seam::log.delays, pace.delays);
    }
}

}  // namespace
