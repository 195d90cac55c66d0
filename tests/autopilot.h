// The one scripted player, for the in-process tests, the soak and the real binary alike: each
// frame it holds Left or Right toward where the ball will come down, aiming off-centre by a
// different amount after each bounce so the ball sweeps the whole wall. It sees only what a
// frame shows, so the preloaded driver can feed it from the drawing calls.
#pragma once

#include "game.h"

struct Sight {
    SDL_Rect ball = {0, 0, 16, 16};  // w: the level's ball size
    float vx = 0.0F;
    float vy = 0.0F;
    SDL_Rect paddle = {0, 676, 0, 12};
    int32_t width = 620;
};

// What the records show of the ball and the paddle.
Sight sightOf(const Game& game, const Player& player, const Ball& ball);

struct Autopilot {
    int bounces = 0;
    float lastVy = 0.0F;

    // -1 to hold Left, +1 to hold Right, 0 for neither.
    int steer(const Sight& sight);
};
