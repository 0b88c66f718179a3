// Reading and writing PCM WAV files in tests, so rendered output can be checked sample by sample.
// The reader is strict: the RIFF (or RF64) sizes must agree with the file, as a standard reader
// expects.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace sonarel::testing {

struct WavData {
    int channels = 0;
    int sampleRate = 0;
    int bitsPerSample = 0;
    bool rf64 = false;
    // Interleaved samples as stored: 8-bit unsigned 0..255, 16-bit signed, 24-bit signed.
    std::vector<std::int32_t> samples;

    std::size_t frames() const { return channels > 0 ? samples.size() / static_cast<std::size_t>(channels) : 0; }
    std::int32_t at(std::size_t frame, int channel) const
    {
        return samples[frame * static_cast<std::size_t>(channels) + static_cast<std::size_t>(channel)];
    }
};

inline std::uint32_t le32(const unsigned char* p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
inline std::uint64_t le64(const unsigned char* p)
{
    return le32(p) | static_cast<std::uint64_t>(le32(p + 4)) << 32;
}
inline std::uint16_t le16(const unsigned char* p)
{
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

// False with a reason when the file is not a well-formed PCM WAV.
inline bool readWav(const std::string& path, WavData& wav, std::string& error)
{
    std::ifstream in(path, std::ios::binary);
    const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    wav = WavData{};
    if (bytes.size() < 12) {
        error = "shorter than a RIFF header";
        return false;
    }
    const bool riff = std::memcmp(bytes.data(), "RIFF", 4) == 0;
    wav.rf64 = std::memcmp(bytes.data(), "RF64", 4) == 0;
    if ((!riff && !wav.rf64) || std::memcmp(bytes.data() + 8, "WAVE", 4) != 0) {
        error = "not a RIFF WAVE file";
        return false;
    }
    std::uint64_t riffSize = le32(bytes.data() + 4);
    std::uint64_t ds64Data = 0;
    std::size_t pos = 12;
    bool haveFormat = false;
    while (pos + 8 <= bytes.size()) {
        const unsigned char* chunk = bytes.data() + pos;
        std::uint64_t size = le32(chunk + 4);
        if (std::memcmp(chunk, "ds64", 4) == 0 && size >= 24 && pos + 8 + 24 <= bytes.size()) {
            riffSize = le64(chunk + 8);
            ds64Data = le64(chunk + 16);
        } else if (std::memcmp(chunk, "fmt ", 4) == 0 && size >= 16 && pos + 24 <= bytes.size()) {
            if (le16(chunk + 8) != 1) {
                error = "not PCM";
                return false;
            }
            wav.channels = le16(chunk + 10);
            wav.sampleRate = static_cast<int>(le32(chunk + 12));
            wav.bitsPerSample = le16(chunk + 22);
            const std::uint16_t blockAlign = le16(chunk + 20);
            if (wav.channels <= 0 || blockAlign != wav.channels * wav.bitsPerSample / 8 ||
                le32(chunk + 16) != blockAlign * le32(chunk + 12)) {
                error = "inconsistent format block";
                return false;
            }
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat) {
                error = "data before fmt";
                return false;
            }
            if (wav.rf64 && size == 0xFFFFFFFFu)
                size = ds64Data;
            if (pos + 8 + size > bytes.size()) {
                error = "data chunk runs past the end of the file";
                return false;
            }
            if (riffSize + 8 != bytes.size()) {
                error = "RIFF size " + std::to_string(riffSize) + " does not match the file size " +
                        std::to_string(bytes.size());
                return false;
            }
            const int width = wav.bitsPerSample / 8;
            const std::size_t count = static_cast<std::size_t>(size) / static_cast<std::size_t>(width);
            wav.samples.resize(count);
            const unsigned char* data = chunk + 8;
            for (std::size_t i = 0; i < count; ++i) {
                const unsigned char* s = data + i * static_cast<std::size_t>(width);
                if (width == 1)
                    wav.samples[i] = s[0];
                else if (width == 2)
                    wav.samples[i] = static_cast<std::int16_t>(le16(s));
                else
                    wav.samples[i] = static_cast<std::int32_t>(static_cast<std::uint32_t>(s[0]) << 8 |
                                                               static_cast<std::uint32_t>(s[1]) << 16 |
                                                               static_cast<std::uint32_t>(s[2]) << 24) >> 8;
            }
            return true;
        }
        pos += 8 + static_cast<std::size_t>(size) + (size & 1);
    }
    error = "no data chunk";
    return false;
}

// Writes a 16-bit PCM WAV of interleaved samples.
inline void writeWav16(const std::string& path, int channels, int sampleRate, const std::vector<std::int16_t>& samples)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    auto put32 = [&out](std::uint32_t v) {
        const char b[4] = {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
                           static_cast<char>(v >> 24)};
        out.write(b, 4);
    };
    auto put16 = [&out](std::uint16_t v) {
        const char b[2] = {static_cast<char>(v), static_cast<char>(v >> 8)};
        out.write(b, 2);
    };
    const std::uint32_t dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    out.write("RIFF", 4);
    put32(36 + dataBytes);
    out.write("WAVEfmt ", 8);
    put32(16);
    put16(1);
    put16(static_cast<std::uint16_t>(channels));
    put32(static_cast<std::uint32_t>(sampleRate));
    put32(static_cast<std::uint32_t>(sampleRate * channels * 2));
    put16(static_cast<std::uint16_t>(channels * 2));
    put16(16);
    out.write("data", 4);
    put32(dataBytes);
    for (std::int16_t s : samples)
        put16(static_cast<std::uint16_t>(s));
}

// A sine of `frequency` Hz at `amplitude` (full scale 32767), the same on every channel.
inline std::vector<std::int16_t> sine16(int channels, int sampleRate, double seconds, double frequency,
                                        double amplitude)
{
    const std::size_t frames = static_cast<std::size_t>(std::llround(seconds * sampleRate));
    std::vector<std::int16_t> samples(frames * static_cast<std::size_t>(channels));
    for (std::size_t f = 0; f < frames; ++f) {
        const double value = amplitude * std::sin(2.0 * M_PI * frequency * static_cast<double>(f) / sampleRate);
        for (int c = 0; c < channels; ++c)
            samples[f * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c)] =
                static_cast<std::int16_t>(std::lround(value));
    }
    return samples;
}

// A constant level on every channel: the easiest signal to check through gain and placement.
inline std::vector<std::int16_t> constant16(int channels, int sampleRate, double seconds, std::int16_t level)
{
    return std::vector<std::int16_t>(
        static_cast<std::size_t>(std::llround(seconds * sampleRate)) * static_cast<std::size_t>(channels), level);
}

}  // namespace sonarel::testing
