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

// One glyph of the glyph source: the text that draws it and its 8 x 8 grid.
struct SourceGlyph {
    std::string header;
    std::string text;
    std::vector<std::string> rows;
};

std::string utf8(unsigned long codePoint)
{
    std::string text;
    if (codePoint < 0x80) {
        text += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        text += static_cast<char>(0xC0 | (codePoint >> 6U));
        text += static_cast<char>(0x80 | (codePoint & 0x3FU));
    } else {
        text += static_cast<char>(0xE0 | (codePoint >> 12U));
        text += static_cast<char>(0x80 | ((codePoint >> 6U) & 0x3FU));
        text += static_cast<char>(0x80 | (codePoint & 0x3FU));
    }
    return text;
}

// Every glyph of the source in file order. The notdef grid is drawn through U+0100, which the
// font does not map.
std::vector<SourceGlyph> readGlyphSource()
{
    std::ifstream source(NORBATIKA_GLYPHS);
    std::vector<SourceGlyph> glyphs;
    std::string line;
    while (std::getline(source, line)) {
        if (line == "notdef") {
            glyphs.push_back({line, utf8(0x100), {}});
        } else if (line.rfind("U+", 0) == 0) {
            glyphs.push_back({line, utf8(std::stoul(line.substr(2, 4), nullptr, 16)), {}});
        } else if (!glyphs.empty() && line.size() == 8 &&
                   line.find_first_not_of("#.") == std::string::npos) {
            glyphs.back().rows.push_back(line);
        }
    }
    return glyphs;
}

TEST_F(Font, HudLinesAreSixteenPixelsPerCharacterAndOneLineHigh)
{
    EXPECT_EQ(TTF_FontHeight(font), 16);
    EXPECT_EQ(TTF_FontLineSkip(font), 16);
    EXPECT_EQ(TTF_FontAscent(font), 14);
    EXPECT_EQ(TTF_FontDescent(font), -2);
    const std::map<std::string, int> widths = {
        {"SCORE: 0", 128}, {"LIVES: 3", 128}, {"LEVEL: 1", 128},
        {"YOU WIN", 112},  {"YOU LOSS", 128}, {"LIVES: -1", 144},
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

TEST_F(Font, OneMoreDigitWidensALineByExactlySixteenPixels)
{
    // One to ten digits, the last the widest value a 32-bit count can show.
    const std::vector<int> values = {9,      99,      999,      9999,      99999,
                                     999999, 9999999, 99999999, 999999999, 2147483647};
    for (const char* prefix : {"SCORE: ", "LIVES: ", "LEVEL: "}) {
        int previous = 0;
        for (const int value : values) {
            const std::string text = std::string(prefix) + std::to_string(value);
            SCOPED_TRACE(text);
            SDL_Surface* solid =
                TTF_RenderUTF8_Solid(font, text.c_str(), SDL_Color{255, 255, 255, 0});
            ASSERT_NE(solid, nullptr);
            EXPECT_EQ(solid->w, 16 * static_cast<int>(text.size()));
            if (previous != 0) {
                EXPECT_EQ(solid->w - previous, 16);
            }
            previous = solid->w;
            SDL_FreeSurface(solid);
        }
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

// Every glyph at 16 points is its grid with each design pixel as one opaque 2 x 2 block and
// nothing else: no seams, holes, smoothing or stray pixels.
TEST_F(Font, EveryGlyphIsItsGridInTwoByTwoBlocks)
{
    const auto glyphs = readGlyphSource();
    ASSERT_EQ(glyphs.size(), 160U);
    for (const auto& glyph : glyphs) {
        SCOPED_TRACE(glyph.header);
        ASSERT_EQ(glyph.rows.size(), 8U);
        SDL_Surface* surface = render(glyph.text.c_str());
        ASSERT_NE(surface, nullptr);
        if (surface->w != 16 || surface->h != 16) {
            ADD_FAILURE() << "rendered " << surface->w << " x " << surface->h;
            SDL_FreeSurface(surface);
            continue;
        }
        std::string wrong;
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 16; ++x) {
                const Uint32 pixel = at(surface, x, y);
                const bool designed = glyph.rows[y / 2][x / 2] == '#';
                const bool right = designed ? pixel == 0xFFFFFFFFU : (pixel >> 24U) == 0U;
                if (!right) {
                    wrong += " (" + std::to_string(x) + ", " + std::to_string(y) + ")";
                }
            }
        }
        EXPECT_EQ(wrong, "") << "pixels that differ from the grid";
        SDL_FreeSurface(surface);
    }
}

}  // namespace
