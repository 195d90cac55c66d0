// A player for the tests: each frame it holds Left or Right, moving the paddle by the game's own
// 9-pixel step, toward where the ball will come down, aiming off-centre by a different amount
// after each bounce so the ball sweeps the whole wall.
#pragma once

#include "game.h"

struct Autopilot {
    int bounces = 0;
    float lastVy = 0.0F;

    // Moves the paddle as the loop's arrow keys would after this frame's rules.
    void steer(const Game& game, Player& player, const Ball& ball);
};
