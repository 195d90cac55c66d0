// One frame of rules: paddle, walls, the ball's step, then block hits and progression.
#include "game.h"

#include <cmath>

namespace {

constexpr double fullScaleAngle = 1.3089969389957472;  // 75 degrees at either end of the paddle
constexpr double repeatWindow = 0.04;
constexpr double repeatAdjustment = 0.4;
constexpr float nudge = 0.4F;
constexpr int32_t blockPoints = 100;
constexpr int32_t lastLevel = 7;

// Two bounces giving the same speed along an axis, either way round, count as a repeat.
bool repeats(float value, float previous)
{
    return value == previous || -value == previous;
}

void bounceOffPaddle(Game& game, Player& player, Ball& ball)
{
    const float ballCentre = static_cast<float>(ball.rect.x) + static_cast<float>(ball.size) * 0.5F;
    const float half = static_cast<float>(player.paddle.w) * 0.5F;
    const float paddleCentre = static_cast<float>(player.paddle.x) + half;
    const float offset = paddleCentre - ballCentre;

    // Not clamped: the ball's rectangle can overlap beyond the paddle's ends.
    double angle = static_cast<double>(offset) / static_cast<double>(half) * fullScaleAngle;
    if (std::fabs(angle - game.lastBounceAngle) <= repeatWindow) {
        angle += repeatAdjustment;
    }
    ball.vy = static_cast<float>(-std::cos(angle) * static_cast<double>(ball.speed));
    ball.vx = static_cast<float>(-std::sin(angle) * static_cast<double>(ball.speed));
    if (repeats(ball.vy, ball.lastPaddleVy)) {
        ball.vx += nudge;
    }
    ball.lastPaddleVy = ball.vy;
    game.lastBounceAngle = angle;
    player.combo = 1;
}

void bounceOffWalls(Game& game, Player& player, Ball& ball)
{
    if (ball.rect.y <= 0) {
        ball.vy = -ball.vy;
    }
    if (ball.rect.y + ball.size >= game.height) {
        player.lives -= 1;
        serveBall(game, player, ball);
    }
    if (ball.rect.x <= 0 || ball.rect.x + ball.size >= game.width) {
        ball.vx = -ball.vx;
        if (repeats(ball.vx, ball.lastWallVx)) {
            ball.vy += nudge;
        }
        ball.lastWallVx = ball.vx;
    }
}

// Fractions are dropped every frame: the position is only ever whole pixels.
void stepBall(Ball& ball)
{
    ball.rect.x = static_cast<int32_t>(static_cast<float>(ball.rect.x) + ball.vx);
    ball.rect.y = static_cast<int32_t>(static_cast<float>(ball.rect.y) + ball.vy);
}

void clampPaddle(const Game& game, Player& player)
{
    if (player.paddle.x < 0) {
        player.paddle.x = 0;
    }
    if (player.paddle.x + player.paddle.w > game.width) {
        player.paddle.x = game.width - player.paddle.w;
    }
}

// The ball turns back by one pixel; it is not pushed out of the cell.
void knockOut(Player& player, Ball& ball, BlockGrid& grid, int32_t i)
{
    grid.alive[i] = 0;
    player.score += player.combo * blockPoints;
    player.combo += 1;

    if (ball.rect.x >= grid.cell.x) {
        ball.rect.x -= 1;
        ball.vx = -ball.vx;
        if (ball.rect.x <= grid.cell.x) {
            ball.rect.x += 1;
            ball.vx = -ball.vx;
        }
    } else {
        ball.rect.x += 1;
        ball.vx = -ball.vx;
    }
    if (ball.rect.y > grid.cell.y) {
        ball.rect.y += 1;
    } else {
        ball.rect.y -= 1;
    }
    ball.vy = -ball.vy;
    ball.vx = -ball.vx;
}

void hitBlocks(Game& game, Player& player, Ball& ball, BlockGrid& grid)
{
    bool allCleared = true;
    for (int32_t i = 0; i < grid.columns * grid.rows; ++i) {
        placeCell(grid, i);
        if (SDL_HasIntersection(&ball.rect, &grid.cell) == SDL_TRUE && grid.alive[i] != 0) {
            knockOut(player, ball, grid, i);
        }
        if (grid.alive[i] != 0) {
            allCleared = false;
        }
    }
    if (!allCleared) {
        return;
    }
    game.level += 1;
    if (game.level > lastLevel) {
        game.gameOver = true;
        game.won = true;
        Mix_HaltMusic();
    } else {
        startLevel(grid, game, player, ball);
    }
}

}  // namespace

void placeCell(BlockGrid& grid, int32_t i)
{
    const int32_t column = i % grid.columns;
    const int32_t row = i % grid.rows;  // not i / columns: both are remainders of i
    grid.cell.x = column * grid.cell.w + (column + 1) * grid.gap - grid.gap / 2;
    grid.cell.y = (row + 3) * grid.cell.h + (row + 1) * grid.gap - grid.gap / 2;
}

void updateGame(Game& game, Player& player, Ball& ball, BlockGrid& grid)
{
    if (player.lives < 1) {
        // The frame still runs to its end; the loop stops calling us from the next one.
        game.gameOver = true;
        game.won = false;
        Mix_HaltMusic();
    }
    if (SDL_HasIntersection(&ball.rect, &player.paddle) == SDL_TRUE) {
        bounceOffPaddle(game, player, ball);
    }
    bounceOffWalls(game, player, ball);
    stepBall(ball);
    clampPaddle(game, player);
    hitBlocks(game, player, ball, grid);
}
