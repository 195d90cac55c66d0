// Each level's track through the game's own path: a read-only memory stream handed to the
// mixer, played in an endless loop. With SDL's disk audio driver the mixed output lands in a
// file, which must hold sound.
#include "embedded_assets.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct Track {
    const unsigned char* bytes;
    std::size_t length;
};

const Track tracks[] = {
    {asset_1_ogg, asset_1_ogg_size}, {asset_2_ogg, asset_2_ogg_size},
    {asset_3_ogg, asset_3_ogg_size}, {asset_4_ogg, asset_4_ogg_size},
    {asset_5_ogg, asset_5_ogg_size}, {asset_6_ogg, asset_6_ogg_size},
    {asset_7_ogg, asset_7_ogg_size},
};

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
    const Track& track = tracks[GetParam() - 1];
    SDL_RWops* stream = SDL_RWFromConstMem(track.bytes, static_cast<int>(track.length));
    ASSERT_NE(stream, nullptr);
    Mix_Music* music = Mix_LoadMUS_RW(stream, 1);
    ASSERT_NE(music, nullptr) << Mix_GetError();
    EXPECT_EQ(Mix_GetMusicType(music), MUS_OGG);
    ASSERT_EQ(Mix_PlayMusic(music, -1), 0) << Mix_GetError();
    SDL_Delay(1000);
    EXPECT_EQ(Mix_PlayingMusic(), 1);
    Mix_HaltMusic();
    Mix_FreeMusic(music);
    Mix_CloseAudio();  // flushes the disk driver's file

    std::ifstream file(output, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(file)),
                            std::istreambuf_iterator<char>());
    // About a second of 16-bit stereo at 44100 Hz, and more than a whisper in it.
    ASSERT_GT(bytes.size(), 44100U * 4U / 2U);
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
