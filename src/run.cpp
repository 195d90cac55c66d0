// Start-up, the frame loop and shutdown.
#include "embedded_assets.h"
#include "game.h"

#include <iostream>

namespace {

// One line on standard output, flushed at once so it survives whatever follows.
void report(const char* message)
{
    std::cout << message << std::endl;
}

// One pass of the frame loop; it always runs to its end, even after a quit. Returns true when
// the rules stopped the run, which only a level whose music would not start does.
bool runIteration(Game& game, Player& player, Ball& ball, BlockGrid& grid, SDL_Event& event)
{
    game.frameStart = static_cast<int32_t>(SDL_GetTicks());
    bool stoppedByRules = false;
    if (!game.gameOver) {
        updateGame(game, player, ball, grid);
        stoppedByRules = !game.running;
    }
    const Uint8* keys = SDL_GetKeyboardState(nullptr);
    while (SDL_PollEvent(&event) != 0) {
        if (event.type == SDL_QUIT) {
            game.running = false;
        }
    }
    if (keys[SDL_SCANCODE_Q] != 0) {
        game.running = false;
    }
    if (!game.gameOver) {
        if (keys[SDL_SCANCODE_LEFT] != 0) {
            player.paddle.x -= game.paddleSpeed;
        }
        if (keys[SDL_SCANCODE_RIGHT] != 0) {
            player.paddle.x += game.paddleSpeed;
        }
    }
    drawFrame(game, player, ball, grid);
    return stoppedByRules;
}

}  // namespace

bool startUp(Game& game)
{
    if (SDL_Init(SDL_INIT_EVERYTHING) < 0) {
        report("SDL_Init()に失敗");
        return false;
    }
    if (SDL_CreateWindowAndRenderer(game.width, game.height, 0, &game.window, &game.renderer) < 0) {
        report("SDL_CreateWindowAndRenderer()に失敗");
        SDL_Quit();
        return false;
    }
    if (Mix_OpenAudio(44100, AUDIO_S16LSB, 2, 2048) < 0) {
        report("Mix_OpenAudio()に失敗");
        SDL_DestroyRenderer(game.renderer);
        SDL_DestroyWindow(game.window);
        SDL_Quit();
        return false;
    }
    SDL_SetWindowTitle(game.window, "ノルバティカ");
    TTF_Init();  // a failure here shows up as the font failing to open
    SDL_RWops* fontStream = SDL_RWFromMem(const_cast<unsigned char*>(asset_norbatika_ttf),
                                          static_cast<int>(asset_norbatika_ttf_size));
    game.font = TTF_OpenFontRW(fontStream, 1, game.fontSize);
    if (game.font == nullptr) {
        report("フォントを読込に失敗");
        SDL_DestroyRenderer(game.renderer);
        SDL_DestroyWindow(game.window);
        Mix_CloseAudio();
        SDL_Quit();
        return false;
    }
    return true;
}

void shutDown(Game& game)
{
    TTF_CloseFont(game.font);
    SDL_DestroyRenderer(game.renderer);
    SDL_DestroyWindow(game.window);
    SDL_Quit();
    // The mixer copes with this order: SDL_Quit has already closed the device itself.
    Mix_FreeMusic(game.music);
    Mix_CloseAudio();
    TTF_Quit();
}

int runGame()
{
    Game game;
    Player player;
    Ball ball;
    BlockGrid grid(game);
    if (!startUp(game)) {
        return -1;
    }

    startLevel(grid, game, player, ball);
    // A level whose music will not start ends the run, and the exit status says it failed.
    bool musicFailed = !game.running;
    SDL_Event event;
    while (game.running) {
        musicFailed = runIteration(game, player, ball, grid, event);
    }
    shutDown(game);
    return musicFailed ? -1 : 0;
}
