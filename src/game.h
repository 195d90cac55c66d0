// ノルバティカ: the four game records and the three operations that share them.
#pragma once

#include <SDL.h>
#include <SDL_mixer.h>
#include <SDL_ttf.h>

#include <cstdint>

struct Game {
    bool running = true;
    bool gameOver = false;
    bool won = false;        // meaningful once gameOver is set
    int32_t frameTime = 0;   // ms from frameStart to just after the clear
    int32_t frameStart = 0;  // SDL_GetTicks at the start of the iteration
    int32_t width = 620;
    int32_t height = 720;
    int32_t fontSize = 16;       // point size, and the unit of the text layout
    int32_t paddleSpeed = 9;     // pixels per iteration while an arrow is held
    int32_t level = 1;           // 1 to 7 in play, 8 once the game is won
    int32_t palette[6][3] = {};  // colour 1 to 6, each red, green, blue in 0..255
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    TTF_Font* font = nullptr;
    Mix_Music* music = nullptr;
    double lastBounceAngle = 0.0;
};

struct Player {
    SDL_Rect paddle = {233, 676, 155, 12};
    SDL_Rect textRect = {0, 0, 0, 0};  // box of the text line being drawn
    int32_t score = 0;
    int32_t combo = 1;
    int32_t lives = 3;
};

struct Ball {
    float speed = 8.0F;
    int32_t size = 16;  // the level's ball size; the rectangle stays 16 x 16
    float vx = 0.0F;
    float vy = 4.0F;
    float lastWallVx = 0.0F;
    float lastPaddleVy = 0.0F;
    SDL_Rect rect = {302, 670, 16, 16};
};

struct BlockGrid {
    static constexpr int32_t blockCount = 35;
    static constexpr int32_t blockHeight = 22;

    // The window width is needed for the block width, so a Game is made first.
    explicit BlockGrid(const Game& game)
        : cell{0, 0, (game.width - gap * columns) / columns, blockHeight}
    {
    }

    int32_t columns = 7;
    int32_t rows = 5;
    int32_t gap = 16;
    uint8_t alive[blockCount] = {};
    SDL_Color textColor = {255, 255, 255, 0};  // SDL_ttf draws alpha 0 as opaque
    SDL_Rect cell;                             // x, y set right before each use; w 72, h 22
};

// Where block i stands: column i mod columns, row i mod rows.
void placeCell(BlockGrid& grid, int32_t i);

// Paddle centred, ball 48 pixels above it falling straight down at half the level's speed.
void serveBall(const Game& game, Player& player, Ball& ball);

void startLevel(BlockGrid& grid, Game& game, Player& player, Ball& ball);
void updateGame(Game& game, Player& player, Ball& ball, BlockGrid& grid);
void drawFrame(Game& game, Player& player, Ball& ball, BlockGrid& grid);

// The level's embedded track as a read-only stream over the bytes in place, or null for a level
// without one. Whoever takes the stream closes it.
SDL_RWops* openLevelTrack(int32_t level);

// Brings up SDL, the window and renderer, the audio device, the font engine and the embedded
// font into `game`. On a failure it prints that step's line, releases what was acquired and
// returns false.
bool startUp(Game& game);
// Releases everything startUp acquired and the level's music, each once, in the game's order.
void shutDown(Game& game);

// Start-up, the frame loop and shutdown; returns the process's exit status.
int runGame();
