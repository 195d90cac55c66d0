// Each level's track through the game's own path: a read-only memory stream handed to the
// mixer, played in an endless loop. With SDL's disk audio driver the mixed output lands in a
// file, which must hold sound.
#include "game.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

// A second of 16-bit stereo at 44100 Hz.
constexpr std::uintmax_t secondOfOutput = std::uintmax_t{44100} * 4;

class Music : public ::testing::TestWithParam<int> {
  protected:
    void SetUp() override
    {
        output = std::string(std::getenv("TMPDIR") != nullptr ? std::getenv("TMPDIR") : "/tmp") +
                 "/norbatika-music-" + std::to_string(GetParam()) + ".raw";
        SDL_setenv("SDL_AUDIODRIVER", "disk", 1);
        SDL_setenv("SDL_DISKAUDIOFILE", output.c_str(), 1);
        SDL_setenv("SDL_DISKAUDIODELAY", "0", 1);
        ASSERT_EQ(SDL_Init(SDL_INIT_AUDIO), 0) << SDL_GetError();
        ASSERT_EQ(Mix_OpenAudio(44100, AUDIO_S16LSB, 2, 2048), 0) << Mix_GetError();
    }

    void TearDown() override
    {
        Mix_CloseAudio();
        SDL_Quit();
        std::remove(output.c_str());
    }

    std::string output;
};

TEST_P(Music, PlaysFromMemoryInAnEndlessLoopAndIsNotSilent)
{
    SDL_RWops* stream = openLevelTrack(GetParam());
    ASSERT_NE(stream, nullptr);
    Mix_Music* music = Mix_LoadMUS_RW(stream, 1);
    ASSERT_NE(music, nullptr) << Mix_GetError();
    EXPECT_EQ(Mix_GetMusicType(music), MUS_OGG);
    // The driver writes silence as fast as it can until the music starts, so only what comes
    // after this point counts: wait for a second of it, up to a limit.
    std::error_code error;
    const std::uintmax_t before = std::filesystem::file_size(output, error);
    ASSERT_EQ(Mix_PlayMusic(music, -1), 0) << Mix_GetError();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::filesystem::file_size(output, error) < before + secondOfOutput &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(Mix_PlayingMusic(), 1);
    Mix_HaltMusic();
    Mix_FreeMusic(music);
    Mix_CloseAudio();  // flushes the disk driver's file

    std::ifstream file(output, std::ios::binary);
    file.seekg(static_cast<std::streamoff>(before));
    std::vector<char> bytes((std::istreambuf_iterator<char>(file)),
                            std::istreambuf_iterator<char>());
    // A second of output, and more than a whisper in it.
    ASSERT_GE(bytes.size(), secondOfOutput);
    double sum = 0.0;
    const std::size_t samples = bytes.size() / 2;
    for (std::size_t i = 0; i < samples; ++i) {
        const auto low = static_cast<unsigned char>(bytes[2 * i]);
        const auto high = static_cast<unsigned char>(bytes[2 * i + 1]);
        const auto sample = static_cast<int16_t>(static_cast<uint16_t>(low | (high << 8U)));
        sum += static_cast<double>(sample) * sample;
    }
    const double rms = std::sqrt(sum / static_cast<double>(samples)) / 32768.0;
    EXPECT_GT(rms, 0.02) << "RMS of the mixed output";
}

INSTANTIATE_TEST_SUITE_P(Level, Music, ::testing::Range(1, 8));

}  // namespace
