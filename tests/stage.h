// A headless stage for the game's operations: SDL with the dummy drivers, the audio device, a
// software renderer and the embedded font, brought up the way the game does it.
#pragma once

#include "game.h"
#include "seam.h"

#include <gtest/gtest.h>

class Stage : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // The colour of the pixel at (x, y) of the last presented frame, as 0xRRGGBB.
    Uint32 pixel(int x, int y) const;
    // How many pixels of the rectangle have the colour.
    int countColour(const SDL_Rect& area, Uint32 rgb) const;
    // Draws one frame without waiting and keeps its pixels.
    void draw();

    Game game;
    Player player;
    Ball ball;
    BlockGrid grid{game};
};

// A palette whose six colours are easy to tell apart: colour k is (k * 40, 255 - k * 40, k).
void setKnownPalette(Game& game);
Uint32 knownColour(int colour);
