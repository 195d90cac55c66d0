#include "stage.h"

#include "embedded_assets.h"

void Stage::SetUp()
{
    seam::reset();
    ASSERT_EQ(SDL_Init(SDL_INIT_EVERYTHING), 0) << SDL_GetError();
    ASSERT_EQ(SDL_CreateWindowAndRenderer(game.width, game.height, 0, &game.window, &game.renderer),
              0)
        << SDL_GetError();
    ASSERT_EQ(Mix_OpenAudio(44100, AUDIO_S16LSB, 2, 2048), 0) << Mix_GetError();
    ASSERT_EQ(TTF_Init(), 0);
    game.font = TTF_OpenFontRW(
        SDL_RWFromConstMem(asset_norbatika_ttf, static_cast<int>(asset_norbatika_ttf_size)), 1,
        game.fontSize);
    ASSERT_NE(game.font, nullptr) << TTF_GetError();
    seam::reset();
    seam::settings().skipDelay = true;
    seam::settings().captureFrames = true;
}

void Stage::TearDown()
{
    seam::settings() = seam::Settings();
    Mix_HaltMusic();
    Mix_FreeMusic(game.music);
    TTF_CloseFont(game.font);
    SDL_DestroyRenderer(game.renderer);
    SDL_DestroyWindow(game.window);
    Mix_CloseAudio();
    TTF_Quit();
    SDL_Quit();
}

Uint32 Stage::pixel(int x, int y) const
{
    const auto& frame = seam::log().lastFrame;
    const auto index = static_cast<std::size_t>(y) * static_cast<std::size_t>(game.width) +
                       static_cast<std::size_t>(x);
    return index < frame.size() ? frame[index] & 0xFFFFFFU : 0xDEADBEEFU;
}

int Stage::countColour(const SDL_Rect& area, Uint32 rgb) const
{
    int n = 0;
    for (int y = area.y; y < area.y + area.h; ++y) {
        for (int x = area.x; x < area.x + area.w; ++x) {
            n += pixel(x, y) == rgb ? 1 : 0;
        }
    }
    return n;
}

void Stage::draw()
{
    game.frameStart = static_cast<int32_t>(SDL_GetTicks());
    drawFrame(game, player, ball, grid);
}

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
