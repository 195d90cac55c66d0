// The cost of one frame of rules, and of drawing one frame on SDL's software renderer (the dummy
// video driver) without the pacing wait: the frame's start is put a second in the past.
#include "game.h"

#include <benchmark/benchmark.h>

namespace {

Game screen;  // the window, renderer and font, opened once by the game's own start-up

// One frame of rules, with the ball in flight between the wall and the paddle.
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

// standing: blocks left in the wall; gameOver: whether the end text is drawn too.
void drawOneFrame(benchmark::State& state, int32_t standing, bool gameOver)
{
    Game game;
    Player player;
    Ball ball;
    BlockGrid grid(game);
    game.renderer = screen.renderer;
    game.font = screen.font;
    game.gameOver = gameOver;
    for (int32_t i = 0; i < 6; ++i) {
        game.palette[i][0] = 40 * i;
        game.palette[i][1] = 255 - 40 * i;
        game.palette[i][2] = 128;
    }
    for (int32_t i = 0; i < standing; ++i) {
        grid.alive[i] = 1;
    }
    player.score = 12300;
    for (auto _ : state) {
        game.frameStart = static_cast<int32_t>(SDL_GetTicks() - 1000);
        drawFrame(game, player, ball, grid);
    }
    if (game.frameTime < 1000) {
        state.SkipWithError("drawFrame would have waited");
    }
}

// The wall standing, no blocks, and the end text over twelve blocks.
BENCHMARK_CAPTURE(drawOneFrame, fullWall, BlockGrid::blockCount, false);
BENCHMARK_CAPTURE(drawOneFrame, emptyWall, 0, false);
BENCHMARK_CAPTURE(drawOneFrame, gameOverText, 12, true);

}  // namespace

int main(int argc, char* argv[])
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    SDL_setenv("SDL_VIDEODRIVER", "dummy", 0);
    SDL_setenv("SDL_AUDIODRIVER", "dummy", 0);
    if (!startUp(screen)) {
        return 1;
    }
    SDL_RendererInfo info;
    if (SDL_GetRendererInfo(screen.renderer, &info) == 0) {
        benchmark::AddCustomContext("renderer", info.name);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    shutDown(screen);
    return 0;
}
