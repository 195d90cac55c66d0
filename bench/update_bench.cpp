// The cost of one frame of rules, with the ball in flight between the wall and the paddle.
#include "game.h"

#include <benchmark/benchmark.h>

namespace {

void updateOneFrame(benchmark::State& state)
{
    Game game;
    Player player;
    Ball ball;
    BlockGrid grid(game);
    for (int i = 0; i < grid.columns * grid.rows; ++i) {
        grid.alive[i] = 1;
    }
    ball.vx = 3.3F;
    ball.vy = -5.7F;
    for (auto _ : state) {
        updateGame(game, player, ball, grid);
        // Keep the ball in open space so every frame does the same work.
        if (ball.rect.y < 300 || ball.rect.y > 600) {
            ball.rect.x = 150;
            ball.rect.y = 450;
        }
        benchmark::DoNotOptimize(ball.rect);
    }
}
BENCHMARK(updateOneFrame);

}  // namespace

BENCHMARK_MAIN();
