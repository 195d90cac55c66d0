// The embedded font as the game uses it: opened from memory at 16 points through SDL_ttf.
#include "embedded_assets.h"

#include <SDL.h>
#include <SDL_ttf.h>
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace {

class Font : public ::testing::Test {
  protected:
    void SetUp() override
    {
        ASSERT_EQ(TTF_Init(), 0);
        SDL_RWops* stream =
            SDL_RWFromConstMem(asset_norbatika_ttf, static_cast<int>(asset_norbatika_ttf_size));
        font = TTF_OpenFontRW(stream, 1, 16);
        ASSERT_NE(font, nullptr) << TTF_GetError();
    }

    void TearDown() override
    {
        TTF_CloseFont(font);
        TTF_Quit();
    }

    // The text as the HUD renders it, converted to ARGB so its pixels can be read.
    SDL_Surface* render(const char* text) const
    {
        SDL_Surface* solid = TTF_RenderUTF8_Solid(font, text, SDL_Color{255, 255, 255, 0});
        if (solid == nullptr) {
            return nullptr;
        }
        SDL_Surface* argb = SDL_ConvertSurfaceFormat(solid, SDL_PIXELFORMAT_ARGB8888, 0);
        SDL_FreeSurface(solid);
        return argb;
    }

    static Uint32 at(const SDL_Surface* surface, int x, int y)
    {
        const auto* row = static_cast<const Uint8*>(surface->pixels) +
                          static_cast<std::ptrdiff_t>(y) * surface->pitch;
        return reinterpret_cast<const Uint32*>(row)[x];
    }

    TTF_Font* font = nullptr;
};

// The 8 x 8 grids of the glyph source, by their header line's character.
std::map<std::string, std::vector<std::string>> readGlyphSource()
{
    std::ifstream source(NORBATIKA_GLYPHS);
    std::map<std::string, std::vector<std::string>> grids;
    std::string line;
    std::string current;
    while (std::getline(source, line)) {
        if (line.rfind("U+", 0) == 0) {
            current = line.substr(7);
        } else if (!current.empty() && line.size() == 8 && line.find(' ') == std::string::npos) {
            grids[current].push_back(line);
        }
    }
    return grids;
}

TEST_F(Font, HudLinesAreSixteenPixelsPerCharacterAndOneLineHigh)
{
    EXPECT_EQ(TTF_FontHeight(font), 16);
    EXPECT_EQ(TTF_FontAscent(font), 14);
    EXPECT_EQ(TTF_FontDescent(font), -2);
    const std::map<std::string, int> widths = {
        {"SCORE: 0", 128}, {"LIVES: 3", 128},  {"LEVEL: 1", 128},       {"YOU WIN", 112},
        {"YOU LOSS", 128}, {"SCORE: 10", 144}, {"SCORE: 1234567", 224}, {"LIVES: -1", 144},
    };
    for (const auto& [text, width] : widths) {
        SCOPED_TRACE(text);
        SDL_Surface* solid = TTF_RenderUTF8_Solid(font, text.c_str(), SDL_Color{255, 255, 255, 0});
        ASSERT_NE(solid, nullptr);
        EXPECT_EQ(solid->w, width);
        EXPECT_EQ(solid->h, 16);
        SDL_FreeSurface(solid);
    }
}

TEST_F(Font, TextComesOutOpaqueWhiteOnTransparency)
{
    SDL_Surface* surface = render("SCORE: 0");
    ASSERT_NE(surface, nullptr);
    int white = 0;
    for (int y = 0; y < surface->h; ++y) {
        for (int x = 0; x < surface->w; ++x) {
            const Uint32 pixel = at(surface, x, y);
            EXPECT_TRUE(pixel == 0xFFFFFFFFU || (pixel >> 24U) == 0U) << x << ", " << y;
            white += pixel == 0xFFFFFFFFU ? 1 : 0;
        }
    }
    EXPECT_GT(white, 100);
    SDL_FreeSurface(surface);
}

TEST_F(Font, EachDesignPixelIsOneTwoByTwoBlock)
{
    const auto grids = readGlyphSource();
    for (const char* glyph : {"A", "0", "g", "?", "ノ", "©"}) {
        SCOPED_TRACE(glyph);
        const auto found = grids.find(glyph);
        ASSERT_NE(found, grids.end());
        ASSERT_EQ(found->second.size(), 8U);
        SDL_Surface* surface = render(glyph);
        ASSERT_NE(surface, nullptr);
        ASSERT_EQ(surface->w, 16);
        ASSERT_EQ(surface->h, 16);
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 16; ++x) {
                const bool designed = found->second[y / 2][x / 2] == '#';
                EXPECT_EQ(at(surface, x, y) == 0xFFFFFFFFU, designed) << x << ", " << y;
            }
        }
        SDL_FreeSurface(surface);
    }
}

}  // namespace
