#include "autopilot.h"

namespace {

// Where the ball's left edge will be when it comes down to the paddle, following the same
// truncating steps and bouncing off the side walls.
int landingX(const Game& game, const Player& player, const Ball& ball)
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

}  // namespace

void Autopilot::steer(const Game& game, Player& player, const Ball& ball)
{
    static constexpr int aims[] = {-40, 25, -10, 50, 5, -60, 30, -25, 60, -5};
    if (lastVy > 0.0F && ball.vy < 0.0F && ball.rect.y > 500) {
        ++bounces;
    }
    lastVy = ball.vy;
    int target = ball.rect.x + ball.size / 2;
    if (ball.vy > 0.0F) {
        target = landingX(game, player, ball) + ball.size / 2 + aims[bounces % 10];
    }
    const int centre = player.paddle.x + player.paddle.w / 2;
    if (target < centre - 4) {
        player.paddle.x -= game.paddleSpeed;
    } else if (target > centre + 4) {
        player.paddle.x += game.paddleSpeed;
    }
}
