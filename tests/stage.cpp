#include "stage.h"

#include <algorithm>

void Stage::SetUp()
{
    seam::reset();
    ASSERT_TRUE(startUp(game)) << SDL_GetError();
    seam::reset();
    seam::settings.skipDelay = true;
    seam::settings.captureFrames = true;
}

void Stage::TearDown()
{
    seam::settings = seam::Settings();
    shutDown(game);
}

Uint32 Stage::pixel(int x, int y) const
{
    const auto& frame = seam::log.lastFrame;
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

int Stage::textMismatches(const SDL_Rect& box, const std::string& text) const
{
    // An 8-bit surface: index 0 is the transparent background, any other the text. Only what
    // lies inside the window is compared.
    SDL_Surface* expected = TTF_RenderUTF8_Solid(game.font, text.c_str(), {255, 255, 255, 0});
    int mismatches = box.w * box.h;
    if (expected != nullptr && expected->w == box.w && expected->h == box.h) {
        mismatches = 0;
        for (int y = 0; y < box.h; ++y) {
            const auto* row = static_cast<const Uint8*>(expected->pixels) +
                              static_cast<std::ptrdiff_t>(y) * expected->pitch;
            for (int x = std::max(0, -box.x); x < box.w && box.x + x < game.width; ++x) {
                const Uint32 wanted = row[x] != 0 ? 0xFFFFFFU : 0x000000U;
                mismatches += pixel(box.x + x, box.y + y) != wanted ? 1 : 0;
            }
        }
    }
    SDL_FreeSurface(expected);
    return mismatches;
}

void Stage::draw()
{
    for (int frame = 0; frame < 2; ++frame) {
        game.frameStart = static_cast<int32_t>(SDL_GetTicks());
        drawFrame(game, player, ball, grid);
    }
}
