// Whole games driven through the rules alone: an autopilot that wins, and a player who never
// touches the keys.
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

    // Where the ball's left edge will be when it comes down to the paddle, following the same
    // truncating steps and bouncing off the side walls.
    int landingX() const
    {
        int x = ball.rect.x;
        int y = ball.rect.y;
        float vx = ball.vx;
        for (int step = 0; step < 2000 && y + ball.rect.h <= player.paddle.y; ++step) {
            if (x <= 0 || x + ball.size >= game.width) {
                vx = -vx;
            }
            x = static_cast<int>(static_cast<float>(x) + vx);
            y = static_cast<int>(static_cast<float>(y) + ball.vy);
        }
        return x;
    }

    // The keys a player would hold this frame: toward the landing point, offset so that the
    // bounce angle varies from one bounce to the next.
    void steer(int bounces)
    {
        static constexpr int aims[] = {-40, 25, -10, 50, 5, -60, 30, -25, 60, -5};
        int target = ball.rect.x + ball.size / 2;
        if (ball.vy > 0.0F) {
            target = landingX() + ball.size / 2 + aims[bounces % 10];
        }
        const int centre = player.paddle.x + player.paddle.w / 2;
        if (target < centre - 4) {
            player.paddle.x -= game.paddleSpeed;
        } else if (target > centre + 4) {
            player.paddle.x += game.paddleSpeed;
        }
    }
};

TEST_F(WholeGame, AnAutopilotClearsAllSevenWallsAndWins)
{
    int frames = 0;
    int bounces = 0;
    float lastVy = ball.vy;
    while (!game.gameOver && frames < 200000) {
        updateGame(game, player, ball, grid);
        ++frames;
        if (lastVy > 0.0F && ball.vy < 0.0F && ball.rect.y > 500) {
            ++bounces;
        }
        lastVy = ball.vy;
        if (!game.gameOver) {
            steer(bounces);
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
    EXPECT_GT(countColour({214, 344, 112, 16}, 0xFFFFFF), 100);
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
