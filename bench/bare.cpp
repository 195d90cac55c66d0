// The yardstick for the game's performance: the same window, the same paced loop and the same
// three text lines from the embedded font every frame, and nothing else of the game (no rules,
// no blocks, no audio device, no music). Ends on a quit event, as SIGTERM or closing it gives.
#include "embedded_assets.h"

#include <SDL.h>
#include <SDL_ttf.h>

#include <cstdint>
#include <string>

namespace {

constexpr int32_t frameMilliseconds = 16;

// The game's way of drawing a line: render, texture, place by right and bottom edge, copy, free.
void drawLine(SDL_Renderer* renderer, TTF_Font* font, const std::string& text, int32_t right,
              int32_t bottom)
{
    const SDL_Color white = {255, 255, 255, 0};
    SDL_Surface* surface = TTF_RenderUTF8_Solid(font, text.c_str(), white);
    if (surface == nullptr) {
        return;
    }
    SDL_Texture* texture = SDL_CreateTextureFromSurface(renderer, surface);
    const SDL_Rect box = {right - surface->w, bottom - surface->h, surface->w, surface->h};
    SDL_FreeSurface(surface);
    if (texture == nullptr) {
        return;
    }
    SDL_RenderCopy(renderer, texture, nullptr, &box);
    SDL_DestroyTexture(texture);
}

}  // namespace

int main(int /*argc*/, char* /*argv*/[])
{
    if (SDL_Init(SDL_INIT_EVERYTHING) < 0) {
        return 1;
    }
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    if (SDL_CreateWindowAndRenderer(620, 720, 0, &window, &renderer) < 0) {
        SDL_Quit();
        return 1;
    }
    SDL_SetWindowTitle(window, "bare");
    TTF_Init();
    TTF_Font* font = TTF_OpenFontRW(
        SDL_RWFromConstMem(asset_norbatika_ttf, static_cast<int>(asset_norbatika_ttf_size)), 1, 16);
    if (font == nullptr) {
        SDL_DestroyRenderer(renderer);
        SDL_DestroyWindow(window);
        SDL_Quit();
        return 1;
    }

    bool running = true;
    int32_t frames = 0;
    SDL_Event event;
    while (running) {
        const Uint32 frameStart = SDL_GetTicks();
        while (SDL_PollEvent(&event) != 0) {
            if (event.type == SDL_QUIT) {
                running = false;
            }
        }
        SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
        SDL_RenderClear(renderer);
        const auto elapsed = static_cast<int32_t>(SDL_GetTicks() - frameStart);
        if (elapsed < frameMilliseconds) {
            SDL_Delay(static_cast<Uint32>(frameMilliseconds - elapsed));
        }
        // Values that change now and then, as a score does.
        drawLine(renderer, font, "SCORE: " + std::to_string(frames / 50 * 100), 620, 24);
        drawLine(renderer, font, "LIVES: " + std::to_string(3 - frames / 1000 % 3), 130, 24);
        drawLine(renderer, font, "LEVEL: " + std::to_string(1 + frames / 600 % 7), 130, 56);
        SDL_RenderPresent(renderer);
        ++frames;
    }

    TTF_CloseFont(font);
    SDL_DestroyRenderer(renderer);
    SDL_DestroyWindow(window);
    SDL_Quit();
    TTF_Quit();
    return 0;
}
