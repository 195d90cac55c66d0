// Drawing one frame from the records, and the pacing wait that sets the game's speed.
#include "game.h"

#include <string>

namespace {

constexpr int32_t frameMilliseconds = 16;

// One text line, placed by its right and bottom edges. A line whose surface or texture cannot
// be made is left out of this frame.
void drawText(Game& game, Player& player, const BlockGrid& grid, const std::string& text,
              int32_t right, int32_t bottom)
{
    SDL_Surface* surface = TTF_RenderUTF8_Solid(game.font, text.c_str(), grid.textColor);
    if (surface == nullptr) {
        return;
    }
    SDL_Texture* texture = SDL_CreateTextureFromSurface(game.renderer, surface);
    player.textRect = {right - surface->w, bottom - surface->h, surface->w, surface->h};
    SDL_FreeSurface(surface);
    if (texture == nullptr) {
        return;
    }
    SDL_RenderCopy(game.renderer, texture, nullptr, &player.textRect);
    SDL_DestroyTexture(texture);
}

void drawHud(Game& game, Player& player, const BlockGrid& grid)
{
    const auto statusBottom = static_cast<int32_t>(static_cast<float>(game.fontSize) * 1.5F);
    const auto levelBottom = static_cast<int32_t>(static_cast<float>(game.fontSize) * 3.5F);
    const int32_t leftColumnRight = 130;

    drawText(game, player, grid, "SCORE: " + std::to_string(player.score), game.width,
             statusBottom);
    drawText(game, player, grid, "LIVES: " + std::to_string(player.lives), leftColumnRight,
             statusBottom);
    drawText(game, player, grid, "LEVEL: " + std::to_string(game.level), leftColumnRight,
             levelBottom);
    if (game.gameOver) {
        drawText(game, player, grid, game.won ? "YOU WIN" : "YOU LOSS",
                 game.width / 2 + game.fontSize, game.height / 2);
    }
}

void setPaletteColour(const Game& game, int32_t colour)
{
    const int32_t* rgb = game.palette[colour - 1];
    SDL_SetRenderDrawColor(game.renderer, static_cast<Uint8>(rgb[0]), static_cast<Uint8>(rgb[1]),
                           static_cast<Uint8>(rgb[2]), 255);
}

// Each rule that divides i sets the colour again, so the largest divisor from 2 to 6 wins.
void setBlockColour(const Game& game, int32_t i)
{
    setPaletteColour(game, 1);
    for (int32_t colour = 2; colour <= 6; ++colour) {
        if (i % colour == 0) {
            setPaletteColour(game, colour);
        }
    }
}

void drawBlocks(Game& game, BlockGrid& grid)
{
    for (int32_t i = 0; i < grid.columns * grid.rows; ++i) {
        setBlockColour(game, i);
        if (grid.alive[i] != 0) {
            placeCell(grid, i);
            SDL_RenderFillRect(game.renderer, &grid.cell);
        }
    }
}

}  // namespace

void drawFrame(Game& game, Player& player, Ball& ball, BlockGrid& grid)
{
    SDL_SetRenderDrawColor(game.renderer, 0, 0, 0, 255);
    SDL_RenderClear(game.renderer);

    game.frameTime = static_cast<int32_t>(SDL_GetTicks() - static_cast<Uint32>(game.frameStart));
    if (game.frameTime < frameMilliseconds) {
        SDL_Delay(static_cast<Uint32>(frameMilliseconds - game.frameTime));
    }

    SDL_SetRenderDrawColor(game.renderer, 255, 255, 255, 255);
    SDL_RenderFillRect(game.renderer, &player.paddle);
    SDL_RenderFillRect(game.renderer, &ball.rect);
    drawHud(game, player, grid);
    drawBlocks(game, grid);
    SDL_RenderPresent(game.renderer);
}
