// SPDX-License-Identifier: GPL-3.0-or-later
// The output wave format built from the three choices of the output options.
#pragma once

#include <cstdint>
#include <string>

#include "platform/media/core/OutputEncoding.h"

namespace sonarel {

struct OutputSettings;

struct PcmFormat {
    std::uint16_t channels;
    std::uint32_t samplesPerSec;
    std::uint16_t bitsPerSample;
    std::uint16_t blockAlign;
    std::uint32_t avgBytesPerSec;
    bool floatSamples = false;  // 32-bit IEEE float
};

inline constexpr int kSampleRateChoiceCount = 4;  // "44100", "22050", "11025", "8000"
inline constexpr std::uint32_t kSampleRateChoices[kSampleRateChoiceCount] = {44100, 22050, 11025, 8000};

// Channels index 1 is mono, anything else stereo; rate index 0..3 as listed, anything else
// 44100; bits index 1 is 8 bits, anything else 16.
PcmFormat waveFormatFromChoices(int sampleRateIndex, int channelsIndex, int bitsIndex);

// Every rate the output options offer: the list above, then the rates of video and of masters.
inline constexpr std::uint32_t kAllSampleRates[] = {44100, 22050, 11025, 8000, 48000, 88200, 96000, 192000};
inline constexpr std::uint32_t kLowestSampleRate = 8000;
inline constexpr std::uint32_t kHighestSampleRate = 192000;

// A consistent format of `rate`, `channels` (1 or 2) and `bits` (8, 16, 24, or 32 for float).
PcmFormat pcmFormatOf(std::uint32_t rate, std::uint16_t channels, int bits);

// What a mix of `settings` writes: its sample format and rate, the encoding, and why it cannot
// be written (a sentence naming what can), or an empty problem.
struct OutputChoice {
    PcmFormat format{};
    media::core::OutputEncoding encoding;
    std::string problem;
};
OutputChoice outputChoiceOf(const OutputSettings& settings);

// The rate and the bits a mix of `settings` asks for (24 and 32 included; 32 is float).
std::uint32_t sampleRateOf(const OutputSettings& settings);
int sampleBitsOf(const OutputSettings& settings);
// Sets the rate and the bits, through the three lists' positions where they hold them.
void setSampleRate(OutputSettings& settings, std::uint32_t rate);
void setSampleBits(OutputSettings& settings, int bits);

// The next mix's format in a few words: "FLAC, 48000 Hz, stereo, 24-bit", "WAV, 44100 Hz, mono,
// 32-bit float", "MP3, 44100 Hz, stereo, 192 kbit/s"; normalizing adds ", -16 LUFS".
std::string waveFormatSummary(const OutputSettings& settings);

// Whether `settings` ask for what a new list starts with: WAV at 44100 Hz, stereo, 16 bits,
// without normalizing or dither.
bool hasNewListFormat(const OutputSettings& settings);

}  // namespace sonarel
