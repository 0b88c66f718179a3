// SPDX-License-Identifier: GPL-3.0-or-later
// Media whose contents or headers lie: samples that are not numbers, channel counts no standard
// layout names, size fields that do not match the file, lengths that cannot be true. Every file is
// made here, by writing its bytes or with the ffmpeg command.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <limits>
#include <string_view>

#include "tests/media/MediaTestSupport.h"

namespace sonarel::media::test {
namespace {

using sonarel::testing::sine16;
using sonarel::testing::writeWav16;
using sonarel::testing::writeWavFloat;

constexpr REFERENCE_TIME kSecond = kReferenceUnitsPerSecond;

std::string bytesOf(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A size or length field: `width` bytes, `offset` bytes after the first `tag` in the file.
struct Field {
    std::string tag;
    std::size_t offset = 0;
    int width = 4;
    bool bigEndian = true;
    std::uint64_t value = 0;
};

std::string hexBytes(std::string_view hex)
{
    std::string out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        out += static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16));
    return out;
}

// ASF objects are named by GUIDs.
const std::string kAsfHeader = hexBytes("3026b2758e66cf11a6d900aa0062ce6c");
const std::string kAsfData = hexBytes("3626b2758e66cf11a6d900aa0062ce6c");
const std::string kAsfFileProperties = hexBytes("a1dcab8c47a9cf118ee400c00c205365");

// `bytes` with `fields` set; false when a tag is not there.
bool setFields(std::string& bytes, const std::vector<Field>& fields)
{
    for (const Field& f : fields) {
        const std::size_t at = bytes.find(f.tag);
        if (at == std::string::npos || at + f.offset + static_cast<std::size_t>(f.width) > bytes.size())
            return false;
        for (int i = 0; i < f.width; ++i) {
            const int shift = 8 * (f.bigEndian ? f.width - 1 - i : i);
            bytes[at + f.offset + static_cast<std::size_t>(i)] = static_cast<char>(f.value >> shift);
        }
    }
    return true;
}

// One second of a 440 Hz tone at half scale in both channels, encoded by the ffmpeg command.
bool makeTone(const std::string& path, const std::vector<std::string>& codec)
{
    std::vector<std::string> args = {"ffmpeg",       "-nostdin",
                                     "-hide_banner", "-loglevel",
                                     "error",        "-y",
                                     "-f",           "lavfi",
                                     "-i",           "aevalsrc=0.5*sin(2*PI*440*t)|0.5*sin(2*PI*440*t):s=44100:d=1"};
    args.insert(args.end(), codec.begin(), codec.end());
    args.push_back(path);
    return runProgram(args) == 0;
}

// The tone with `fields` then set in the file's bytes.
bool makeTone(const std::string& path, const std::vector<std::string>& codec, const std::vector<Field>& fields)
{
    if (!makeTone(path, codec))
        return false;
    std::string bytes = bytesOf(path);
    if (!setFields(bytes, fields))
        return false;
    writeBytes(path, bytes);
    return true;
}

bool ffmpegDecodes(const std::string& path)
{
    return runProgram({"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "quiet", "-i", path, "-f", "null", "-"}) == 0;
}

double rms(const WavData& wav, std::int64_t from, std::int64_t to)
{
    double sum = 0;
    for (std::int64_t f = from; f < to; ++f)
        sum += static_cast<double>(wav.at(f, 0)) * wav.at(f, 0);
    return to > from ? std::sqrt(sum / static_cast<double>(to - from)) : 0.0;
}

class LyingMediaTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(lib.initialize(), kOk);
        dir = scratchDir();
    }

    std::string file(const std::string& name) const { return (dir / name).string(); }

    // Renders and reads the result back, expecting a completed run; its event in `event`.
    WavData mix(const std::vector<Entry>& entries, GraphEvent* event = nullptr,
                const WaveFormat& format = pcmFormat(44100, 2, 16))
    {
        const auto out = dir / "out.wav";
        const RenderRun run = render(lib, entries, format, out);
        EXPECT_EQ(run.runStatus, kOk) << errorText(run.runStatus);
        EXPECT_EQ(run.events.size(), 1u);
        if (!run.events.empty()) {
            EXPECT_EQ(run.events[0].code, kEventComplete) << run.events[0].detail;
            if (event)
                *event = run.events[0];
        }
        WavData wav = readWav(out);
        EXPECT_TRUE(wav.valid) << wav.error;
        return wav;
    }

    Status check(const std::string& path)
    {
        std::string detail;
        return lib.checkSource(u16(path), 44100, detail);
    }

    MediaLibrary lib;
    std::filesystem::path dir;
};

TEST_F(LyingMediaTest, SamplesThatAreNotNumbersAreSilencedInTheirOwnSourceOnly)
{
    // Two seconds of float stereo: NaN for 1.5 s, then 0.25; in its own rate with an infinity
    // every 1000 frames, at 48 kHz (through the resampler) without.
    const WavData good = readWav(mediaPath("sine100.wav"));
    ASSERT_TRUE(good.valid);
    for (int rate : {44100, 48000}) {
        SCOPED_TRACE(rate);
        const std::int64_t frames = 2 * rate;
        std::vector<float> samples(static_cast<std::size_t>(frames) * 2, std::numeric_limits<float>::quiet_NaN());
        for (std::int64_t f = frames * 3 / 4; f < frames; ++f)
            for (int c = 0; c < 2; ++c)
                samples[static_cast<std::size_t>(f * 2 + c)] = f % 1000 == 0 && rate == 44100
                                                                   ? (c ? -1.0f : 1.0f) *
                                                                         std::numeric_limits<float>::infinity()
                                                                   : 0.25f;
        const std::string nan = file("nan" + std::to_string(rate) + ".wav");
        writeWavFloat(nan, 2, rate, samples);

        GraphEvent event;
        const WavData wav = mix({{nan}, {mediaPath("sine100.wav")}}, &event);
        ASSERT_EQ(wav.frames(), good.frames());
        // Where the file holds no numbers, the other entry comes out sample for sample.
        for (std::int64_t f = 0; f < 66150 - 100; ++f)
            for (int c = 0; c < 2; ++c)
                ASSERT_EQ(wav.at(f, c), good.at(f, c)) << "frame " << f;
        // Its own good samples still sound.
        for (std::int64_t f = 66150 + 200; f < wav.frames() - 200; f += 97)
            ASSERT_NEAR(wav.at(f, 0) - good.at(f, 0), f % 1000 == 0 && rate == 44100 ? 0 : 8192,
                        rate == 44100 ? 1 : 400)
                << "frame " << f;
        EXPECT_EQ(event.silencedSources, std::vector<std::string>{nan});
        EXPECT_EQ(event.clippedSamples, 0);
    }
    // A clean mix names nothing.
    GraphEvent clean;
    mix({{mediaPath("sine100.wav")}}, &clean);
    EXPECT_TRUE(clean.silencedSources.empty());
}

TEST_F(LyingMediaTest, AnyChannelCountSoundsInTheMix)
{
    // The same 1 kHz tone on every channel, 0.25 s at half scale, beside a good stereo file. Counts
    // with a standard layout get the standard downmix, the others equal weights: either way the
    // tone comes out at the level it has on each channel (the downmix is scaled so it cannot clip).
    constexpr double kAmplitude = 16384;
    for (int channels : {3, 6, 8, 9, 16, 17, 24, 32, 33, 64, 65, 255}) {
        SCOPED_TRACE(channels);
        const std::string many = file("ch" + std::to_string(channels) + ".wav");
        sonarel::testing::writeWav16(many, channels, 44100,
                                     sonarel::testing::sine16(channels, 44100, 0.25, 1000, kAmplitude));
        GraphEvent event;
        const WavData wav = mix({{many}, {mediaPath("sine100.wav"), 0, -1, 1.0, 0.0}}, &event);
        ASSERT_GE(wav.frames(), 44100 / 4);
        std::int32_t peak = 0;
        for (std::int64_t f = 1000; f < 44100 / 4 - 1000; ++f)
            for (int c = 0; c < 2; ++c)
                peak = std::max(peak, std::abs(wav.at(f, c)));
        EXPECT_NEAR(peak, kAmplitude, kAmplitude * 0.02);
        EXPECT_EQ(event.clippedSamples, 0);
    }
}

TEST_F(LyingMediaTest, LengthsTheFileCannotHoldAreMeasured)
{
    // Each file holds one second of sound and declares far more.
    struct Case {
        const char* name;
        std::vector<std::string> codec;
        std::vector<Field> forged;
        REFERENCE_TIME tolerance;  // one codec frame where the length is not exact
    };
    const std::vector<Case> cases = {
        // The low 32 bits of STREAMINFO's 36-bit sample count: 4,294,967,294.
        {"samples.flac", {"-c:a", "flac"}, {{"fLaC", 22, 4, true, 0xfffffffe}}, 0},
        // The movie's, the track's and the edit list's durations: 49 days.
        {"durations.m4a",
         {"-c:a", "aac"},
         {{"mvhd", 20, 4, true, 0xfffffff0}, {"mdhd", 20, 4, true, 0xfffffff0}, {"elst", 12, 4, true, 0xfffffff0}},
         1024 * kSecond / 44100},
        // The same, and the packets' own durations: only a decode can say.
        {"packets.m4a",
         {"-c:a", "aac"},
         {{"mvhd", 20, 4, true, 0xfffffff0},
          {"mdhd", 20, 4, true, 0xfffffff0},
          {"elst", 12, 4, true, 0xfffffff0},
          {"stts", 16, 4, true, 0xffffff}},
         1024 * kSecond / 44100},
    };
    const WavData good = readWav(mediaPath("sine100.wav"));
    ASSERT_TRUE(good.valid);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = file(c.name);
        ASSERT_TRUE(makeTone(path, c.codec, c.forged));
        int rate = 0;
        const std::int64_t decoded = decodedFramesByFfmpeg(path, rate);
        ASSERT_EQ(rate, 44100);
        ASSERT_NEAR(static_cast<double>(decoded), 44100.0, 1024.0);

        // Asserted: a length taken on trust would be a mix of days.
        const REFERENCE_TIME length = probe(lib, path);
        ASSERT_NEAR(static_cast<double>(length), static_cast<double>(decoded * kSecond / rate),
                    static_cast<double>(c.tolerance + 1));
        // Beside a two-second file the mix is two seconds long, and the tone sounds in its first.
        const WavData wav = mix({{path}, {mediaPath("sine100.wav")}});
        EXPECT_EQ(wav.frames(), good.frames());
        EXPECT_GT(rms(wav, 2048, 40000), 1.3 * rms(good, 2048, 40000));  // two tones: √2 times one
    }
}

TEST_F(LyingMediaTest, RatesTooLowToBeSoundAreRefused)
{
    // A second of a 16-bit tone at 44.1 kHz, declared at other rates with a consistent header.
    const auto tone = sine16(2, 44100, 1.0, 440, 16000);
    for (int rate : {1, 4, 999}) {
        SCOPED_TRACE(rate);
        const std::string path = file("rate" + std::to_string(rate) + ".wav");
        writeWav16(path, 2, rate, tone);
        EXPECT_EQ(probe(lib, path), -1);  // 44,100 s at 1 Hz
        EXPECT_EQ(check(path), kErrUnsupportedFormat);
    }
    // From 1 kHz up it is sound, and the header's length holds.
    const std::string lowest = file("rate1000.wav");
    writeWav16(lowest, 2, 1000, tone);
    EXPECT_EQ(probe(lib, lowest), 441 * kSecond / 10);
    EXPECT_EQ(check(lowest), kOk);
}

TEST_F(LyingMediaTest, FilesTheFfmpegCommandDecodesAreMeasuredAndMixed)
{
    // Size fields set to what no writer would write: larger than the file, odd, unknown (-1), or
    // reaching so far past the end that the file system refuses the seek, which the ffmpeg
    // command takes as a damaged chunk and reads on. Whatever it decodes must be measured and mixed.
    constexpr std::uint64_t kFar = 0x0001'0000'0000'000c;      // 2^48 + the true size
    constexpr std::uint64_t kFarther = 0x0100'0000'0000'000c;  // 2^56 + the true size
    const std::vector<std::string> pcmBe = {"-c:a", "pcm_s16be"};
    const std::vector<std::string> pcmLe = {"-c:a", "pcm_s16le"};
    const std::vector<std::string> alac = {"-c:a", "alac"};
    const std::vector<std::string> wma = {"-c:a", "wmav2"};
    struct Case {
        const char* name;
        const std::vector<std::string>& codec;
        std::vector<Field> odd;
    };
    const std::vector<Case> cases = {
        {"honest.aiff", pcmBe, {}},
        {"form-huge.aiff", pcmBe, {{"FORM", 4, 4, true, 0xfffffff0}}},
        {"form-odd.aiff", pcmBe, {{"FORM", 4, 4, true, 0x2b13f}}},
        {"ssnd-huge.aiff", pcmBe, {{"SSND", 4, 4, true, 0xfffffff0}}},
        {"ssnd-odd.aiff", pcmBe, {{"SSND", 4, 4, true, 0x2b119}}},
        {"both-huge.aiff", pcmBe, {{"FORM", 4, 4, true, 0xffffffff}, {"SSND", 4, 4, true, 0xffffffff}}},
        {"honest.caf", pcmLe, {}},
        {"data-unknown.caf", pcmLe, {{"data", 4, 8, true, ~std::uint64_t{0}}}},
        {"data-huge.caf", pcmLe, {{"data", 4, 8, true, std::uint64_t{1} << 40}}},
        {"data-odd.caf", pcmLe, {{"data", 4, 8, true, 0x2b115}}},
        {"chan-far.caf", pcmLe, {{"chan", 4, 8, true, kFar}}},
        {"honest-alac.caf", alac, {}},
        {"chan-farther-alac.caf", alac, {{"chan", 4, 8, true, kFarther}}},
        {"honest.wma", wma, {}},
        {"header-huge.wma", wma, {{kAsfHeader, 16, 8, false, std::uint64_t{1} << 40}}},
        {"data-huge.wma", wma, {{kAsfData, 16, 8, false, std::uint64_t{1} << 40}}},
        {"file-size-huge.wma", wma, {{kAsfFileProperties, 40, 8, false, std::uint64_t{1} << 40}}},
        {"file-size-small.wma", wma, {{kAsfFileProperties, 40, 8, false, 100}}},
    };
    int decodedByFfmpeg = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = file(c.name);
        ASSERT_TRUE(makeTone(path, c.codec, c.odd));
        if (!ffmpegDecodes(path)) {
            std::printf("%s: the ffmpeg command does not decode it here\n", c.name);
            continue;
        }
        ++decodedByFfmpeg;
        int rate = 0;
        const std::int64_t decoded = decodedFramesByFfmpeg(path, rate);
        ASSERT_EQ(rate, 44100);
        ASSERT_GT(decoded, 40000);

        const REFERENCE_TIME length = probe(lib, path);
        EXPECT_NEAR(static_cast<double>(length), static_cast<double>(decoded * kSecond / rate),
                    2048.0 * kSecond / rate);
        ASSERT_EQ(check(path), kOk);
        const WavData wav = mix({{path}});
        EXPECT_NEAR(static_cast<double>(wav.frames()), static_cast<double>(decoded), 2048);
        EXPECT_NEAR(rms(wav, 2048, 40000), 0.5 * 32767 / std::sqrt(2.0), 500);
    }
    EXPECT_GE(decodedByFfmpeg, 15);
}

}  // namespace
}  // namespace sonarel::media::test
