// SPDX-License-Identifier: GPL-3.0-or-later
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
    bool valid = false;
    std::string error;  // why the file is not a well-formed PCM WAV
    bool rf64 = false;
    int formatTag = 0;
    int channels = 0;
    int sampleRate = 0;
    std::uint32_t avgBytesPerSec = 0;
    int blockAlign = 0;
    int bitsPerSample = 0;
    std::uint64_t dataBytes = 0;  // as the header declares (ds64 for RF64)
    std::uint64_t riffSize = 0;   // as the header declares (ds64 for RF64)
    // Interleaved samples as stored: 8-bit unsigned 0..255, 16-bit signed, 24-bit signed, and for
    // 32-bit float (format 3) the bits of each float (see floatAt).
    std::vector<std::int32_t> samples;

    std::int64_t frames() const { return channels > 0 ? static_cast<std::int64_t>(samples.size()) / channels : 0; }
    std::int32_t at(std::int64_t frame, int channel) const
    {
        return samples[static_cast<std::size_t>(frame * channels + channel)];
    }
    float floatAt(std::size_t index) const
    {
        float value = 0.0f;
        std::memcpy(&value, &samples[index], sizeof value);
        return value;
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

namespace detail {

inline bool readFormat(const unsigned char* chunk, WavData& wav)
{
    wav.formatTag = le16(chunk + 8);
    wav.channels = le16(chunk + 10);
    wav.sampleRate = static_cast<int>(le32(chunk + 12));
    wav.avgBytesPerSec = le32(chunk + 16);
    wav.blockAlign = le16(chunk + 20);
    wav.bitsPerSample = le16(chunk + 22);
    // 32-bit float, plain or extensible (its subformat's first two bytes are the tag).
    const bool extensibleFloat = wav.formatTag == 0xFFFE && le32(chunk + 4) >= 40 && le16(chunk + 32) == 3;
    const bool floats = (wav.formatTag == 3 || extensibleFloat) && wav.bitsPerSample == 32;
    if (wav.formatTag != 1 && wav.formatTag != 0xFFFE && !floats) {
        wav.error = "not PCM";
        return false;
    }
    if (wav.channels <= 0 || wav.blockAlign != wav.channels * wav.bitsPerSample / 8 ||
        wav.avgBytesPerSec != static_cast<std::uint32_t>(wav.blockAlign) * static_cast<std::uint32_t>(wav.sampleRate)) {
        wav.error = "inconsistent format block";
        return false;
    }
    if (wav.bitsPerSample != 8 && wav.bitsPerSample != 16 && wav.bitsPerSample != 24 && !floats) {
        wav.error = "unexpected sample size";
        return false;
    }
    return true;
}

inline void readSamples(const unsigned char* data, std::uint64_t size, WavData& wav)
{
    const int width = wav.bitsPerSample / 8;
    const std::size_t count = static_cast<std::size_t>(size) / static_cast<std::size_t>(width);
    wav.samples.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned char* s = data + i * static_cast<std::size_t>(width);
        if (width == 1)
            wav.samples[i] = s[0];
        else if (width == 2)
            wav.samples[i] = static_cast<std::int16_t>(le16(s));
        else if (width == 4)
            wav.samples[i] = static_cast<std::int32_t>(le32(s));
        else
            wav.samples[i] = static_cast<std::int32_t>(static_cast<std::uint32_t>(s[0]) << 8 |
                                                       static_cast<std::uint32_t>(s[1]) << 16 |
                                                       static_cast<std::uint32_t>(s[2]) << 24) >>
                             8;
    }
}

}  // namespace detail

// Reads a RIFF or RF64 WAVE PCM file. Strict, as a standard reader is: the RIFF size must match
// the file's length, and the data chunk (padded to an even length) must end the file.
inline WavData readWav(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    WavData wav;
    if (bytes.size() < 12) {
        wav.error = "shorter than a RIFF header";
        return wav;
    }
    const bool riff = std::memcmp(bytes.data(), "RIFF", 4) == 0;
    wav.rf64 = std::memcmp(bytes.data(), "RF64", 4) == 0;
    if ((!riff && !wav.rf64) || std::memcmp(bytes.data() + 8, "WAVE", 4) != 0) {
        wav.error = "not a RIFF WAVE file";
        return wav;
    }
    wav.riffSize = le32(bytes.data() + 4);
    std::uint64_t ds64Data = 0;
    std::size_t pos = 12;
    bool haveFormat = false;
    while (pos + 8 <= bytes.size()) {
        const unsigned char* chunk = bytes.data() + pos;
        std::uint64_t size = le32(chunk + 4);
        if (std::memcmp(chunk, "ds64", 4) == 0 && size >= 24 && pos + 8 + 24 <= bytes.size()) {
            wav.riffSize = le64(chunk + 8);
            ds64Data = le64(chunk + 16);
        } else if (std::memcmp(chunk, "fmt ", 4) == 0 && size >= 16 && pos + 24 <= bytes.size()) {
            if (!detail::readFormat(chunk, wav))
                return wav;
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat) {
                wav.error = "data before fmt";
                return wav;
            }
            if (wav.rf64 && size == 0xFFFFFFFFu)
                size = ds64Data;
            wav.dataBytes = size;
            if (pos + 8 + size > bytes.size()) {
                wav.error = "data chunk runs past the end of the file";
                return wav;
            }
            if (wav.riffSize + 8 != bytes.size()) {
                wav.error = "RIFF size " + std::to_string(wav.riffSize) + " does not match the file size " +
                            std::to_string(bytes.size());
                return wav;
            }
            if (pos + 8 + size + (size & 1) != bytes.size()) {
                wav.error = "the data chunk and its pad byte do not end the file";
                return wav;
            }
            detail::readSamples(chunk + 8, size, wav);
            wav.valid = true;
            return wav;
        }
        pos += 8 + static_cast<std::size_t>(size) + (size & 1);
    }
    wav.error = "no data chunk";
    return wav;
}

// The same, for tests that check a flag: false with the reason when the file is not well-formed.
inline bool readWav(const std::string& path, WavData& wav, std::string& error)
{
    wav = readWav(path);
    error = wav.error;
    return wav.valid;
}

namespace detail {

inline void put(std::ofstream& out, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.put(static_cast<char>(value >> (8 * i)));
}

// A plain 44-byte PCM header that says exactly what it is given.
inline void writeHeader(std::ofstream& out, std::uint16_t channels, std::uint32_t sampleRate, std::uint16_t bits,
                        std::uint32_t dataBytes, std::uint16_t formatTag = 1)
{
    const auto blockAlign = static_cast<std::uint16_t>(channels * bits / 8);
    out.write("RIFF", 4);
    put(out, 36 + dataBytes, 4);
    out.write("WAVEfmt ", 8);
    put(out, 16, 4);
    put(out, formatTag, 2);
    put(out, channels, 2);
    put(out, sampleRate, 4);
    put(out, blockAlign * sampleRate, 4);
    put(out, blockAlign, 2);
    put(out, bits, 2);
    out.write("data", 4);
    put(out, dataBytes, 4);
}

}  // namespace detail

// Writes a 16-bit PCM WAV of interleaved samples.
inline void writeWav16(const std::string& path, int channels, int sampleRate, const std::vector<std::int16_t>& samples)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    detail::writeHeader(out, static_cast<std::uint16_t>(channels), static_cast<std::uint32_t>(sampleRate), 16,
                        static_cast<std::uint32_t>(samples.size() * 2));
    for (std::int16_t s : samples)
        detail::put(out, static_cast<std::uint16_t>(s), 2);
}

// Writes a 32-bit float WAV (format 3) of interleaved samples, whatever values they hold.
inline void writeWavFloat(const std::string& path, int channels, int sampleRate, const std::vector<float>& samples)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    detail::writeHeader(out, static_cast<std::uint16_t>(channels), static_cast<std::uint32_t>(sampleRate), 32,
                        static_cast<std::uint32_t>(samples.size() * 4), 3);
    for (float s : samples) {
        std::uint32_t bits = 0;
        std::memcpy(&bits, &s, 4);
        detail::put(out, bits, 4);
    }
}

// A PCM WAV whose header says exactly what it is given, however absurd (no channels, a rate of 0
// or 2^31), followed by `dataBytes` zero bytes.
inline void writeWavAsDeclared(const std::string& path, std::uint16_t channels, std::uint32_t sampleRate,
                               std::uint16_t bits, std::uint32_t dataBytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    detail::writeHeader(out, channels, sampleRate, bits, dataBytes);
    out << std::string(dataBytes, '\0');
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
            samples[f * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c)] = static_cast<std::int16_t>(
                std::lround(value));
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
