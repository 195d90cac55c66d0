// The process entry: SDL's own main on every platform (WinMain through SDL2main on Windows).
#include "game.h"

int main(int /*argc*/, char* /*argv*/[])
{
    return runGame();
}
