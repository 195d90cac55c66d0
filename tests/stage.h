// A headless stage for the game's operations: the game's own start-up with SDL's dummy drivers
// (a software renderer, the embedded font), and its own shutdown afterwards.
#pragma once

#include "game.h"
#include "seam.h"

#include <gtest/gtest.h>

#include <string>

class Stage : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // The colour of the pixel at (x, y) of the last presented frame, as 0xRRGGBB.
    Uint32 pixel(int x, int y) const;
    // How many pixels of the rectangle have the colour.
    int countColour(const SDL_Rect& area, Uint32 rgb) const;
    // The pixels of the box that differ from the text as the game's font draws it in white on
    // black; the box must be exactly the text's size.
    int textMismatches(const SDL_Rect& box, const std::string& text) const;
    // Draws two frames without waiting and keeps the second's pixels, so that nothing drawn
    // can lean on a fresh renderer's state.
    void draw();

    Game game;
    Player player;
    Ball ball;
    BlockGrid grid{game};
};
