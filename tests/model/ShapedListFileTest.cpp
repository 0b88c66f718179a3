// SPDX-License-Identifier: GPL-3.0-or-later
// The list file's shaping columns: what they hold, how they are found, and what is refused.
#include <gtest/gtest.h>

#include "model/MixListFile.h"

using namespace sonarel;

namespace {

std::vector<MixItem> parsed(std::string_view text)
{
    std::vector<MixItem> entries;
    ImportError error;
    EXPECT_TRUE(parseMixListCsv(text, "/lists", entries, error)) << error.line << ": " << error.message;
    return entries;
}

MixItem entryAt(std::string path, REFERENCE_TIME start)
{
    MixItem item;
    item.filePath = std::move(path);
    item.startTime = start;
    return item;
}

}  // namespace

TEST(ShapedListFile, AListWithoutShapingKeepsItsFourColumnsByteForByte)
{
    const std::string old =
        "path,start_seconds,volume,speed\n"
        "intro.wav,0,1,1\n"
        "\"music/a, b \"\"live\"\".mp3\",2.5000001,0.3333333333333333,1.5\n"
        "/abs/c.flac,3600,0,0.25\n";
    const std::vector<MixItem> entries = parsed(old);
    ASSERT_EQ(entries.size(), 3u);
    for (const MixItem& entry : entries)
        EXPECT_FALSE(usesShaping(entry)) << entry.filePath;
    EXPECT_EQ(formatMixListCsv(entries, "/lists"), old);
}

// Points are written in the file's own time, exactly, in a column of their own after the others.
TEST(ShapedListFile, VolumePointsHaveAColumnOfTheirOwnAndReadBackExactly)
{
    std::vector<MixItem> entries(2, entryAt("/lists/a.wav", 0));
    entries[0].volumePoints = {{0, 1.0}, {25'000'000, 0.3}, {80'000'001, 0.3}, {90'000'000, 1.0}};
    const std::string text = formatMixListCsv(entries, "/lists");
    EXPECT_EQ(text, std::string(kMixListHeader) + "," + std::string(kMixListShapingHeader) +
                        ",volume_points\n"
                        "a.wav,0,1,1,,,,,,,,0:1;2.5:0.3;8.0000001:0.3;9:1\na.wav,0,1,1,,,,,,,,\n");
    const std::vector<MixItem> read = parsed(text);
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read[0].volumePoints, entries[0].volumePoints);
    EXPECT_TRUE(read[1].volumePoints.empty());
    // Blanks around the parts and a last semicolon are what people type.
    EXPECT_EQ(parsed("path,volume_points\na.wav, 0 : 1 ; 2.5:0.3 ;\n")[0].volumePoints,
              (VolumePoints{{0, 1.0}, {25'000'000, 0.3}}));
}

TEST(ShapedListFile, EveryColumnComesBackAsWritten)
{
    std::vector<MixItem> entries(9, entryAt("/lists/a.wav", 10'000'000));
    entries[1].inPoint = 15'000'001;
    entries[2].outPoint = 30'000'000;
    entries[3].fadeIn = 5'000'000;
    entries[4].fadeOut = 1;
    entries[5].keepPitch = true;
    entries[6].keepPitch = true;
    entries[6].pitchSemitones = -12.5;
    entries[7].muted = true;
    entries[8].inPoint = 10'000'000;
    entries[8].outPoint = 20'000'000;
    entries[8].volume = 0.5;
    entries[8].speed = 2;

    const std::string text = formatMixListCsv(entries, "/lists");
    EXPECT_TRUE(text.starts_with(std::string(kMixListHeader) + "," + std::string(kMixListShapingHeader) + "\n"))
        << text;
    EXPECT_EQ(text.find("fade_curve"), std::string::npos) << "only an equal-power fade needs the curve's column";
    // Defaults are empty cells; every row has all eleven columns.
    EXPECT_NE(text.find("\na.wav,1,1,1,,,,,,,\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\na.wav,1,1,1,1.5000001,,,,,,\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\na.wav,1,1,1,,,,,1,-12.5,\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\na.wav,1,0.5,2,1,2,,,,,\n"), std::string::npos) << text;

    std::vector<MixItem> read = parsed(text);
    ASSERT_EQ(read.size(), entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i)
        EXPECT_TRUE(sameProperties(read[i], entries[i])) << "entry " << i;
    EXPECT_EQ(formatMixListCsv(read, "/lists"), text);

    entries[3].fadeCurve = FadeCurve::EqualPower;
    const std::string curved = formatMixListCsv(entries, "/lists");
    EXPECT_NE(curved.find(",muted,fade_curve\n"), std::string::npos);
    EXPECT_NE(curved.find("\na.wav,1,1,1,,,0.5,,,,,equal_power\n"), std::string::npos) << curved;
    read = parsed(curved);
    ASSERT_EQ(read.size(), entries.size());
    EXPECT_EQ(read[3].fadeCurve, FadeCurve::EqualPower);
    EXPECT_EQ(read[4].fadeCurve, FadeCurve::Linear);
    EXPECT_EQ(formatMixListCsv(read, "/lists"), curved);
}

TEST(ShapedListFile, ColumnsAreFoundByTheirNamesOrPlaces)
{
    // Any order, an unknown column ignored, cells left out or empty keep the defaults, and seconds
    // rounded to the nearest 100 ns.
    std::vector<MixItem> read = parsed(
        "path,start,volume,speed,muted,comment,fade_curve,pitch_semitones,keep_pitch,out_seconds,in_seconds,"
        "fade_out_seconds,fade_in_seconds\n"
        "a.wav,1,1,1,1,take two,equal-power,7,1,9.5,0.00000015,0.25,2\n"
        "b.wav,2\n"
        "c.wav,3,1,1,0,,linear,,0,,1.23456785\n");
    ASSERT_EQ(read.size(), 3u);
    MixItem a = entryAt("/lists/a.wav", 10'000'000);
    a.muted = a.keepPitch = true;
    a.fadeCurve = FadeCurve::EqualPower;
    a.pitchSemitones = 7;
    a.outPoint = 95'000'000;
    a.inPoint = 2;
    a.fadeOut = 2'500'000;
    a.fadeIn = 20'000'000;
    EXPECT_TRUE(sameProperties(read[0], a));
    EXPECT_TRUE(sameProperties(read[1], entryAt("", 20'000'000)));
    MixItem c = entryAt("", 30'000'000);
    c.inPoint = 12'345'679;
    EXPECT_TRUE(sameProperties(read[2], c));

    // The classic columns by name too, wherever they stand.
    read = parsed("muted,speed,path,start_seconds\n1,2,x.wav,4\n");
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0].filePath, "/lists/x.wav");
    MixItem x = entryAt("", 40'000'000);
    x.speed = 2;
    x.muted = true;
    EXPECT_TRUE(sameProperties(read[0], x));

    // Without a header, by place: the order they are written in.
    read = parsed("a.wav,1,1,1,1,3,0.5,0.5,1,-3,1,equal_power\nb.wav,0,1,1,,,,,,\n");
    ASSERT_EQ(read.size(), 2u);
    a.inPoint = 10'000'000;
    a.outPoint = 30'000'000;
    a.fadeIn = a.fadeOut = 5'000'000;
    a.pitchSemitones = -3;
    EXPECT_TRUE(sameProperties(read[0], a));
    EXPECT_FALSE(usesShaping(read[1]));
}

TEST(ShapedListFile, ImpossibleValuesAreRefusedWithTheirLine)
{
    struct Case {
        const char* text;
        int line;
        const char* message;
    };
    const std::string header = std::string(kMixListHeader) + "," + std::string(kMixListShapingHeader) + ",fade_curve\n";
    const Case cases[] = {
        {"a.wav,0,1,1,-1\n", 1, "the in point must not be negative"},
        {"a.wav,0,1,1,,-0.5\n", 1, "the out point must not be negative"},
        {"a.wav,0,1,1,2,2\n", 1, "the out point (2.000 s) must lie after the in point (2.000 s)"},
        {"a.wav,0,1,1,3,2\n", 1, "the out point (2.000 s) must lie after the in point (3.000 s)"},
        {"a.wav,0,1,1,,,-0.1\n", 1, "the fade in must not be negative"},
        {"a.wav,0,1,1,,,,soon\n", 1, "the fade out \"soon\" is not a number"},
        {"a.wav,0,1,1,,,,,2\n", 1, "keep pitch must be 0 or 1, not \"2\""},
        {"a.wav,0,1,1,,,,,1,24.5\n", 1, "the pitch must be between -24 and 24 semitones"},
        {"a.wav,0,1,1,,,,,1,-25\n", 1, "the pitch must be between -24 and 24 semitones"},
        {"a.wav,0,1,1,,,,,,3\n", 1, "a pitch other than 0 needs keep pitch"},
        {"a.wav,0,1,1,,,,,,,yes\n", 1, "muted must be 0 or 1, not \"yes\""},
        {"a.wav,0,1,1,,,,,,,,cubic\n", 1, "the fade curve must be linear or equal power, not \"cubic\""},
        {"a.wav,0,1,1,1e30\n", 1, "the in point \"1e30\" is too large"},
        {"a.wav,0,1,1,,,,,,,,,,2\n", 1, "duck must be 0 or 1, not \"2\""},
        {"a.wav,0,1,1,,,,,,,,,,,,,x\n", 1, "expected at most 16 columns"},
        {"#duck.depth_db=-70\na.wav,0,1,1\n", 1, "the ducking depth must lie between -60 and 0 dB"},
        {"a.wav,0,1,1\n#duck.release_seconds=10.5\n", 2, "the ducking release must lie between 0 and 10 seconds"},
        {"#duck.attack_seconds=soon\n", 1, "the ducking value \"soon\" is not a number"},
        {"path,in_seconds,in_seconds\n", 1, "the header names the column \"in_seconds\" twice"},
        {"in_seconds,out_seconds\n1,2\n", 1, "the header has no path column"},
        {"path,start,volume,speed\na.wav,0,1,1,1\n", 2, "expected at most 4 columns (as the header names)"},
        {"a.wav,0,1,1,,,,,,,,,0:1;2:0.5;1:1\n", 1,
         "entry 1 (a.wav): the volume points must be in time order (point 3, at 1.000 s, is not after 2.000 s)"},
        {"a.wav,0,1,1,,,,,,,,,0:1;0:0.5\n", 1, "entry 1 (a.wav): the volume points must be in time order (point 2"},
        {"a.wav,0,1,1,,,,,,,,,0:-0.5\n", 1,
         "entry 1 (a.wav): the volume points must not have a level below zero (point 1, at 0.000 s)"},
        {"a.wav,0,1,1,,,,,,,,,0:1;3:101\n", 1,
         "entry 1 (a.wav): the volume points must have levels of at most 100 (point 2, at 3.000 s)"},
        {"a.wav,0,1,1,,,,,,,,,-1:1\n", 1,
         "entry 1 (a.wav): the volume points must not be negative (point 1, at -1.000 s)"},
        {"a.wav,0,1,1,,,,,,,,,0:1;x\n", 1, "entry 1 (a.wav): the volume point 2 \"x\" is not TIME:LEVEL"},
        {"a.wav,0,1,1,,,,,,,,,0:1;2:loud\n", 1, "entry 1 (a.wav): the volume point 2 level \"loud\" is not a number"},
        {"path,volume_points\na.wav,0:1\nb.wav,4:1;3:1\n", 3,
         "entry 2 (b.wav): the volume points must be in time order"},
    };
    for (const Case& c : cases) {
        std::vector<MixItem> entries;
        ImportError error;
        EXPECT_FALSE(parseMixListCsv(c.text, "/", entries, error)) << c.text;
        EXPECT_EQ(error.line, c.line) << c.text;
        EXPECT_TRUE(error.message.starts_with(c.message)) << c.text << " -> " << error.message;
    }
    std::vector<MixItem> entries;
    ImportError error;
    EXPECT_FALSE(parseMixListCsv(header + "a.wav,0,1,1\nb.wav,0,1,1,5,1\n", "/", entries, error));
    EXPECT_EQ(error.line, 3);
}

// The list's ducking rides in "#duck." lines after the output lines, only where it differs from
// the default; older readers skip them as comments, and a key this version does not know too.
TEST(ShapedListFile, DuckingComesBackAsWrittenAndOnlyWhenSet)
{
    MixItem voice;
    voice.filePath = "/m/voice.wav";
    voice.duck = true;
    MixItem music;
    music.filePath = "/m/music.wav";
    const std::vector<MixItem> entries{music, voice};
    const std::string plain = formatMixListCsv(entries, "/m", {{"rate", "48000"}});
    EXPECT_EQ(plain, "#output.rate=48000\npath,start_seconds,volume,speed," + std::string(kMixListShapingHeader) +
                         ",duck\nmusic.wav,0,1,1,,,,,,,,\nvoice.wav,0,1,1,,,,,,,,1\n");
    const std::string text = formatMixListCsv(entries, "/m", {{"rate", "48000"}}, {-20.5, 0.3, 1.25});
    EXPECT_EQ(text.substr(0, 72), "#output.rate=48000\n#duck.depth_db=-20.5\n#duck.release_seconds=1.25\npath,");
    for (const std::string& written : {plain, text}) {
        std::vector<MixItem> read;
        ImportError error;
        ListOutputLines output;
        DuckSettings ducking{-1.0, 1.0, 1.0};
        ASSERT_TRUE(parseMixListCsv(written + "#duck.future_key=3\n", "/m", read, error, &output, nullptr, &ducking))
            << error.message;
        EXPECT_EQ(ducking, (written == plain ? DuckSettings{} : DuckSettings{-20.5, 0.3, 1.25}));
        EXPECT_EQ(output, (ListOutputLines{{"rate", "48000"}}));
        ASSERT_EQ(read.size(), 2u);
        EXPECT_TRUE(read[1].duck && !read[0].duck);
        EXPECT_EQ(formatMixListCsv(read, "/m", output, ducking), written);
    }
}
