#include "autopilot.h"

namespace {

// Where the ball's left edge will be when it comes down to the paddle, following the same
// truncating steps and bouncing off the side walls.
int32_t landingX(const Sight& sight)
{
    int32_t x = sight.ball.x;
    int32_t y = sight.ball.y;
    float vx = sight.vx;
    for (int step = 0; step < 2000 && y + sight.ball.h <= sight.paddle.y; ++step) {
        if (x <= 0 || x + sight.ball.w >= sight.width) {
            vx = -vx;
        }
        x = static_cast<int32_t>(static_cast<float>(x) + vx);
        y = static_cast<int32_t>(static_cast<float>(y) + sight.vy);
    }
    return x;
}

}  // namespace

Sight sightOf(const Game& game, const Player& player, const Ball& ball)
{
    return {{ball.rect.x, ball.rect.y, ball.size, ball.rect.h},
            ball.vx,
            ball.vy,
            player.paddle,
            game.width};
}

int Autopilot::steer(const Sight& sight)
{
    static constexpr int32_t aims[] = {-40, 25, -10, 50, 5, -60, 30, -25, 60, -5};
    if (lastVy > 0.0F && sight.vy < 0.0F && sight.ball.y > 500) {
        ++bounces;
    }
    lastVy = sight.vy;
    int32_t target = sight.ball.x + sight.ball.w / 2;
    if (sight.vy > 0.0F) {
        target = landingX(sight) + sight.ball.w / 2 + aims[bounces % 10];
    }
    const int32_t centre = sight.paddle.x + sight.paddle.w / 2;
    if (target < centre - 4) {
        return -1;
    }
    return target > centre + 4 ? 1 : 0;
}
