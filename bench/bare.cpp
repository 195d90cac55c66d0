// The yardstick for the game's performance: the same window, paced loop, picture and music as
// the game, and none of its rules. Each frame it clears, waits out the 16 ms, draws a paddle, a
// moving ball, three text lines from the embedded font and a wall of 35 blocks in six colours,
// and presents; level 1's track plays throughout. Ends on a quit event, as SIGTERM, closing it
// or Q gives.
#include "embedded_assets.h"

#include <SDL.h>
#include <SDL_mixer.h>
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

// The game's wall: each block sets its colour as often as the game's colour rule does.
void drawWall(SDL_Renderer* renderer)
{
    constexpr Uint8 palette[6][3] = {{230, 60, 60},  {60, 200, 90},  {70, 110, 240},
                                     {240, 200, 50}, {190, 80, 220}, {60, 210, 220}};
    for (int i = 0; i < 35; ++i) {
        for (int colour = 1; colour <= 6; ++colour) {
            if (colour == 1 || i % colour == 0) {
                const Uint8* rgb = palette[colour - 1];
                SDL_SetRenderDrawColor(renderer, rgb[0], rgb[1], rgb[2], 255);
            }
        }
        const SDL_Rect block = {16 + i % 7 * 88, 78 + i % 5 * 38, 72, 22};
        SDL_RenderFillRect(renderer, &block);
    }
}

}  // namespace

int main(int /*argc*/, char* /*argv*/[])
{
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    if (SDL_Init(SDL_INIT_EVERYTHING) < 0 ||
        SDL_CreateWindowAndRenderer(620, 720, 0, &window, &renderer) < 0 ||
        Mix_OpenAudio(44100, AUDIO_S16LSB, 2, 2048) < 0 || TTF_Init() < 0) {
        return 1;
    }
    SDL_SetWindowTitle(window, "bare");
    TTF_Font* font = TTF_OpenFontRW(
        SDL_RWFromConstMem(asset_norbatika_ttf, static_cast<int>(asset_norbatika_ttf_size)), 1, 16);
    Mix_Music* music =
        Mix_LoadMUS_RW(SDL_RWFromConstMem(asset_1_ogg, static_cast<int>(asset_1_ogg_size)), 1);
    Mix_PlayMusic(music, -1);
    SDL_Event event;
    bool running = font != nullptr && music != nullptr;
    for (int frames = 0; running; ++frames) {
        const Uint32 frameStart = SDL_GetTicks();
        while (SDL_PollEvent(&event) != 0) {
            running = running && event.type != SDL_QUIT;
        }
        running = running && SDL_GetKeyboardState(nullptr)[SDL_SCANCODE_Q] == 0;
        SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
        SDL_RenderClear(renderer);
        const Uint32 elapsed = SDL_GetTicks() - frameStart;
        if (elapsed < 16) {
            SDL_Delay(16 - elapsed);
        }
        SDL_SetRenderDrawColor(renderer, 255, 255, 255, 255);
        const SDL_Rect paddle = {233, 676, 155, 12};
        const SDL_Rect ball = {16 + frames * 5 % 588, 300 + frames * 3 % 360, 16, 16};
        SDL_RenderFillRect(renderer, &paddle);
        SDL_RenderFillRect(renderer, &ball);
        // Values that change now and then, as a score does.
        drawLine(renderer, font, "SCORE: " + std::to_string(frames / 50 * 100), 620, 24);
        drawLine(renderer, font, "LIVES: " + std::to_string(3 - frames / 1000 % 3), 130, 24);
        drawLine(renderer, font, "LEVEL: " + std::to_string(1 + frames / 600 % 7), 130, 56);
        drawWall(renderer);
        SDL_RenderPresent(renderer);
    }
    Mix_FreeMusic(music);
    Mix_CloseAudio();
    TTF_CloseFont(font);
    SDL_DestroyRenderer(renderer);
    SDL_DestroyWindow(window);
    SDL_Quit();
    TTF_Quit();
    return 0;
}
