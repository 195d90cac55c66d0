// A long headless soak: game after game of rules and drawing without the wait, alternating an
// autopilot that wins with a player who never moves, while resident memory is watched.
// Usage: soak [FRAMES]   (default 100000). Exits 1 when memory grows after the warm-up.
#include "autopilot.h"
#include "game.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

// One field of /proc/self/status, in kB. RssAnon is the memory the process allocated; VmRSS
// also counts the pages of the executable, which grow as the decoder first reads each embedded
// track, so only RssAnon has to stay flat.
long statusKilobytes(const std::string& field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field + ":", 0) == 0) {
            return std::strtol(line.c_str() + field.size() + 1, nullptr, 10);
        }
    }
    return -1;
}

struct Tally {
    int games = 0;
    int won = 0;
    int levels = 0;
};

}  // namespace

int main(int argc, char* argv[])
{
    const long totalFrames = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 100000;
    const long warmUp = 1000;
    const long allowedGrowthKb = 512;
    SDL_setenv("SDL_VIDEODRIVER", "dummy", 1);
    SDL_setenv("SDL_AUDIODRIVER", "dummy", 1);

    Game stage;
    if (!startUp(stage)) {
        return 1;
    }

    Tally tally;
    long frame = 0;
    long atWarmUp = 0;
    long residentAtWarmUp = 0;
    long peak = 0;
    Mix_Music* music = nullptr;
    while (frame < totalFrames) {
        // A fresh game on the same window, renderer and font, as a new run would have.
        Game game;
        game.window = stage.window;
        game.renderer = stage.renderer;
        game.font = stage.font;
        game.music = music;
        game.level = 1;
        Player player;
        Ball ball;
        BlockGrid grid(game);
        Mix_FreeMusic(game.music);
        game.music = nullptr;
        startLevel(grid, game, player, ball);
        const bool steering = tally.games % 2 == 0;
        Autopilot pilot;
        while (!game.gameOver && frame < totalFrames) {
            updateGame(game, player, ball, grid);
            if (steering && !game.gameOver) {
                player.paddle.x += pilot.steer(sightOf(game, player, ball)) * game.paddleSpeed;
            }
            game.frameStart = static_cast<int32_t>(SDL_GetTicks()) - 1000;  // no wait
            drawFrame(game, player, ball, grid);
            ++frame;
            if (frame == warmUp) {
                atWarmUp = statusKilobytes("RssAnon");
                residentAtWarmUp = statusKilobytes("VmRSS");
            }
            if (frame >= warmUp && frame % 100 == 0) {
                const long now = statusKilobytes("RssAnon");
                peak = now > peak ? now : peak;
            }
        }
        music = game.music;
        tally.games += 1;
        tally.won += game.won ? 1 : 0;
        tally.levels += game.level - 1;
    }
    const long atEnd = statusKilobytes("RssAnon");
    const long residentAtEnd = statusKilobytes("VmRSS");

    stage.music = music;
    shutDown(stage);

    std::printf("soak: %ld frames, %d games (%d won), %d walls cleared\n", frame, tally.games,
                tally.won, tally.levels);
    std::printf(
        "soak: allocated (RssAnon) %ld kB at frame %ld, %ld kB at the end, %ld kB at most\n",
        atWarmUp, warmUp, atEnd, peak);
    std::printf("soak: whole resident set (VmRSS) %ld kB at frame %ld, %ld kB at the end\n",
                residentAtWarmUp, warmUp, residentAtEnd);
    const bool flat = peak - atWarmUp <= allowedGrowthKb;
    const bool played = tally.won >= 1 && tally.games - tally.won >= 1 && tally.levels >= 7;
    if (!flat) {
        std::printf("soak: FAIL: memory grew by %ld kB after the warm-up\n", peak - atWarmUp);
    }
    if (!played) {
        std::printf("soak: FAIL: expected won and lost games across the levels\n");
    }
    return flat && played ? 0 : 1;
}
