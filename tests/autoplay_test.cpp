// Whole games driven through the rules alone: an autopilot that wins, and a player who never
// touches the keys.
#include "autopilot.h"
#include "stage.h"

#include <cstdio>

namespace {

class WholeGame : public Stage {
  protected:
    void SetUp() override
    {
        Stage::SetUp();
        startLevel(grid, game, player, ball);
    }
};

TEST_F(WholeGame, AnAutopilotClearsAllSevenWallsAndWins)
{
    int frames = 0;
    Autopilot pilot;
    while (!game.gameOver && frames < 200000) {
        updateGame(game, player, ball, grid);
        ++frames;
        if (!game.gameOver) {
            player.paddle.x += pilot.steer(sightOf(game, player, ball)) * game.paddleSpeed;
        }
    }
    ASSERT_TRUE(game.gameOver) << "still on level " << game.level << " after " << frames;
    EXPECT_TRUE(game.won);
    EXPECT_EQ(game.level, 8);
    EXPECT_GE(player.lives, 1);
    EXPECT_GE(player.score, 7 * 35 * 100);
    EXPECT_EQ(Mix_PlayingMusic(), 0);
    std::printf("autopilot won after %d frames with a score of %d and %d lives left\n", frames,
                player.score, player.lives);

    // Nothing moves any more: the loop no longer calls the rules, and drawing changes nothing.
    const SDL_Rect before = ball.rect;
    draw();
    EXPECT_EQ(ball.rect.x, before.x);
    EXPECT_EQ(ball.rect.y, before.y);
    EXPECT_EQ(textMismatches({214, 344, 112, 16}, "YOU WIN"), 0);
}

TEST_F(WholeGame, WithoutInputTheGameIsLostAfterThreeBalls)
{
    int frames = 0;
    int served = 0;
    while (!game.gameOver && frames < 200000) {
        const int livesBefore = player.lives;
        updateGame(game, player, ball, grid);
        served += player.lives < livesBefore ? 1 : 0;
        ++frames;
    }
    ASSERT_TRUE(game.gameOver);
    EXPECT_FALSE(game.won);
    EXPECT_EQ(player.lives, 0);
    EXPECT_EQ(served, 3);
    EXPECT_EQ(game.level, 1);
    EXPECT_EQ(Mix_PlayingMusic(), 0);
    std::printf("without input the game was lost after %d frames with a score of %d\n", frames,
                player.score);
}

}  // namespace
