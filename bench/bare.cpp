// The yardstick for the game's performance: the same window, the same paced loop and the same
// three text lines from the embedded font every frame, and nothing else of the game (no rules,
// no blocks, no audio device, no music). Ends on a quit event, as SIGTERM or closing it gives.
#include "embedded_assets.h"

#include <SDL.h>
#include <SDL_ttf.h>

#include <string>

namespace {

// The game's way of drawing a line: render, texture, place by right and bottom edge, copy, free.
void drawLine(SDL_Renderer* renderer, TTF_Font* font, const std::string& text, int right,
              int bottom)
{
    SDL_Surface* surface = TTF_RenderUTF8_Solid(font, text.c_str(), {255, 255, 255, 0});
    if (surface != nullptr) {
        SDL_Texture* texture = SDL_CreateTextureFromSurface(renderer, surface);
        const SDL_Rect box = {right - surface->w, bottom - surface->h, surface->w, surface->h};
        SDL_FreeSurface(surface);
        SDL_RenderCopy(renderer, texture, nullptr, &box);
        SDL_DestroyTexture(texture);
    }
}

}  // namespace

int main(int /*argc*/, char* /*argv*/[])
{
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    if (SDL_Init(SDL_INIT_EVERYTHING) < 0 ||
        SDL_CreateWindowAndRenderer(620, 720, 0, &window, &renderer) < 0 || TTF_Init() < 0) {
        return 1;
    }
    SDL_SetWindowTitle(window, "bare");
    TTF_Font* font = TTF_OpenFontRW(
        SDL_RWFromConstMem(asset_norbatika_ttf, static_cast<int>(asset_norbatika_ttf_size)), 1, 16);
    SDL_Event event;
    bool running = font != nullptr;
    for (int frames = 0; running; ++frames) {
        const Uint32 frameStart = SDL_GetTicks();
        while (SDL_PollEvent(&event) != 0) {
            running = running && event.type != SDL_QUIT;
        }
        SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
        SDL_RenderClear(renderer);
        const Uint32 elapsed = SDL_GetTicks() - frameStart;
        if (elapsed < 16) {
            SDL_Delay(16 - elapsed);
        }
        // Values that change now and then, as a score does.
        drawLine(renderer, font, "SCORE: " + std::to_string(frames / 50 * 100), 620, 24);
        drawLine(renderer, font, "LIVES: " + std::to_string(3 - frames / 1000 % 3), 130, 24);
        drawLine(renderer, font, "LEVEL: " + std::to_string(1 + frames / 600 % 7), 130, 56);
        SDL_RenderPresent(renderer);
    }
    TTF_CloseFont(font);
    SDL_DestroyRenderer(renderer);
    SDL_DestroyWindow(window);
    SDL_Quit();
    TTF_Quit();
    return 0;
}
