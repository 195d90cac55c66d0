// Level set-up: palette, music, wall, the level's row of the table and the serve.
#include "embedded_assets.h"
#include "game.h"

#include <cstdlib>
#include <ctime>
#include <iostream>

namespace {

struct LevelRow {
    int32_t ballSize;
    float ballSpeed;
    int32_t paddleWidth;
};

// Levels 1 to 7; each value is a constant, not computed from the level number.
constexpr LevelRow levelTable[7] = {
    {16, 8.0F, 155}, {14, 9.4F, 153}, {12, 10.8F, 152}, {10, 12.2F, 150},
    {8, 13.6F, 149}, {6, 15.0F, 148}, {4, 16.4F, 146},
};

bool inTable(int32_t level)
{
    return level >= 1 && level <= 7;
}

void drawPalette(Game& game)
{
    // Seeded from the clock on every call, so two starts in one second share their colours.
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    for (auto& colour : game.palette) {
        for (int32_t& component : colour) {
            component = std::rand() % 256;
        }
    }
}

void startMusic(Game& game)
{
    if (game.level > 1) {
        Mix_HaltMusic();
        Mix_FreeMusic(game.music);
    }
    // No stream for a level without a track: the load then gets none and the play call fails.
    game.music = Mix_LoadMUS_RW(openLevelTrack(game.level), 1);
    if (Mix_PlayMusic(game.music, -1) < 0) {
        std::cout << "OGGファイルのエラー：" << SDL_GetError() << std::endl;
        game.running = false;
    }
}

}  // namespace

SDL_RWops* openLevelTrack(int32_t level)
{
    const auto stream = [](const unsigned char* bytes, std::size_t length) {
        return SDL_RWFromConstMem(bytes, static_cast<int>(length));
    };
    switch (level) {
    case 1: return stream(asset_1_ogg, asset_1_ogg_size);
    case 2: return stream(asset_2_ogg, asset_2_ogg_size);
    case 3: return stream(asset_3_ogg, asset_3_ogg_size);
    case 4: return stream(asset_4_ogg, asset_4_ogg_size);
    case 5: return stream(asset_5_ogg, asset_5_ogg_size);
    case 6: return stream(asset_6_ogg, asset_6_ogg_size);
    case 7: return stream(asset_7_ogg, asset_7_ogg_size);
    default: return nullptr;
    }
}

void startLevel(BlockGrid& grid, Game& game, Player& player, Ball& ball)
{
    drawPalette(game);
    startMusic(game);

    for (int32_t i = 0; i < grid.columns * grid.rows; ++i) {
        grid.alive[i] = 1;
    }

    if (inTable(game.level)) {
        const LevelRow& row = levelTable[game.level - 1];
        ball.size = row.ballSize;
        ball.speed = row.ballSpeed;
        player.paddle.w = row.paddleWidth;
    }

    serveBall(game, player, ball);
}

void serveBall(const Game& game, Player& player, Ball& ball)
{
    player.paddle.x = game.width / 2 - player.paddle.w / 2;
    ball.vy = ball.speed * 0.5F;
    ball.vx = 0.0F;
    ball.rect.y = player.paddle.y - 4 * player.paddle.h;
    ball.rect.x = game.width / 2 - ball.size / 2;
}
