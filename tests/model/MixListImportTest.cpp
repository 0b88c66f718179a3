// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "model/MixListFile.h"
#include "model/NumberText.h"

using namespace sonarel;

TEST(EntryArgument, PlacementAfterTheLastAt)
{
    std::string error;
    auto entry = parseEntryArgument("/m/song.mp3@2.5:0.5:1.5", error);
    ASSERT_TRUE(entry) << error;
    EXPECT_EQ(entry->filePath, "/m/song.mp3");
    EXPECT_EQ(entry->startTime, 25'000'000);
    EXPECT_DOUBLE_EQ(entry->volume, 0.5);
    EXPECT_DOUBLE_EQ(entry->speed, 1.5);

    entry = parseEntryArgument("/m/song.mp3@3", error);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->startTime, 30'000'000);
    EXPECT_DOUBLE_EQ(entry->volume, 1.0);
    EXPECT_DOUBLE_EQ(entry->speed, 1.0);

    // An '@' that is part of the name stays in the path.
    entry = parseEntryArgument("/m/me@home.wav", error);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->filePath, "/m/me@home.wav");
    entry = parseEntryArgument("/m/me@home.wav@1::2", error);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->filePath, "/m/me@home.wav");
    EXPECT_DOUBLE_EQ(entry->volume, 1.0);
    EXPECT_DOUBLE_EQ(entry->speed, 2.0);

    EXPECT_FALSE(parseEntryArgument("/m/a.wav@1:1:0", error));
    EXPECT_NE(error.find("speed"), std::string::npos);
    EXPECT_FALSE(parseEntryArgument("/m/a.wav@-1", error));
    EXPECT_FALSE(parseEntryArgument("/m/a.wav@1:-0.5", error));
    EXPECT_FALSE(parseEntryArgument("", error));
}

TEST(EntryArgument, ShapingKeysFollowThePlacement)
{
    std::string error;
    auto entry = parseEntryArgument(
        "/m/a,b@c.wav@2:0.5:1.5,in=1.25,out=3,fade-in=0.5,fade-out=0.25,fade-curve=equal-power,keep-pitch,"
        "pitch=-7,muted",
        error);
    ASSERT_TRUE(entry) << error;
    EXPECT_EQ(entry->filePath, "/m/a,b@c.wav");
    EntryProperties expected{.startTime = 20'000'000,
                             .volume = 0.5,
                             .speed = 1.5,
                             .inPoint = 12'500'000,
                             .outPoint = 30'000'000,
                             .fadeIn = 5'000'000,
                             .fadeOut = 2'500'000,
                             .fadeCurve = FadeCurve::EqualPower,
                             .keepPitch = true,
                             .pitchSemitones = -7,
                             .muted = true};
    EXPECT_TRUE(sameProperties(*entry, expected));

    // Keys without a start; switches given as 0 or 1.
    entry = parseEntryArgument("/m/a.wav@,out=2,muted=0,keep-pitch=1", error);
    ASSERT_TRUE(entry) << error;
    EXPECT_EQ(entry->filePath, "/m/a.wav");
    EXPECT_TRUE(sameProperties(*entry, EntryProperties{.outPoint = 20'000'000, .keepPitch = true}));

    // Commas that are not followed by a known key stay in the file name, as they always did.
    for (const char* name : {"/m/take@1,2.wav", "/m/a,b.wav", "/m/x@2,inside.wav", "/m/y@1,in.wav"}) {
        entry = parseEntryArgument(name, error);
        ASSERT_TRUE(entry) << name;
        EXPECT_EQ(entry->filePath, name);
        EXPECT_FALSE(usesShaping(*entry)) << name;
    }
}

TEST(EntryArgument, ShapingKeysAreCheckedLikeTheListFile)
{
    struct Case {
        const char* argument;
        const char* message;
    };
    const Case cases[] = {
        {"/a.wav@0,in=-1", "the in point must not be negative"},
        {"/a.wav@0,in=2,out=1", "the out point (1.000 s) must lie after the in point (2.000 s)"},
        {"/a.wav@0,fade-out=x", "the fade out \"x\" is not a number"},
        {"/a.wav@0,pitch=3", "a pitch other than 0 needs keep pitch"},
        {"/a.wav@0,keep-pitch,pitch=30", "the pitch must be between -24 and 24 semitones"},
        {"/a.wav@0,muted=2", "muted must be 0 or 1, not \"2\""},
        {"/a.wav@0,fade-curve=s", "the fade curve must be linear or equal power, not \"s\""},
        {"/a.wav@0,in=1,fade=2", "unknown entry option \"fade\""},
        {"/a.wav@0,in=", "the entry option \"in\" has an empty value"},
        {"/a.wav@0,muted,in", "the entry option \"in\" needs a value"},
        {"/a.wav@0:1:0,in=1", "the speed must be above zero"},
        {"/a.wav@0,points=0:1;1:-1", "the volume points must not have a level below zero (point 2, at 1.000 s)"},
        {"/a.wav@0,points=2:1;1:1", "the volume points must be in time order"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(parseEntryArgument(c.argument, error)) << c.argument;
        EXPECT_TRUE(error.starts_with(c.message)) << c.argument << " -> " << error;
    }
}

// The most points an entry holds; one more is refused before it is kept.
TEST(EntryArgument, VolumePointsAreCountedAndKeptInOrder)
{
    std::string points;
    for (int i = 0; i < 10'000; ++i)
        points += std::to_string(i) + ":1;";
    std::string error;
    const auto most = parseEntryArgument("/a.wav@0,points=" + points, error);
    ASSERT_TRUE(most) << error;
    EXPECT_EQ(most->volumePoints.size(), 10'000u);
    EXPECT_FALSE(parseEntryArgument("/a.wav@0,points=" + points + "10000:1", error));
    EXPECT_EQ(error, "the volume points are too many (at most 10000)");
}

TEST(MixListCsv, HeaderQuotesRelativePathsAndDefaults)
{
    const std::string text =
        "\xEF\xBB\xBFpath,start,volume,speed\r\n"
        "# a comment\n"
        "intro.wav,0,1,1\n"
        "\n"
        "\"music/a, b \"\"live\"\".mp3\",2.5,0.5\n"
        "/abs/c.flac , 10 , , 2\n"
        "d.ogg\n";
    std::vector<MixItem> entries;
    ImportError error;
    ASSERT_TRUE(parseMixListCsv(text, "/lists", entries, error)) << error.line << ": " << error.message;
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].filePath, "/lists/intro.wav");
    EXPECT_EQ(entries[1].filePath, "/lists/music/a, b \"live\".mp3");
    EXPECT_EQ(entries[1].startTime, 25'000'000);
    EXPECT_DOUBLE_EQ(entries[1].volume, 0.5);
    EXPECT_DOUBLE_EQ(entries[1].speed, 1.0);
    EXPECT_EQ(entries[2].filePath, "/abs/c.flac");
    EXPECT_EQ(entries[2].startTime, 100'000'000);
    EXPECT_DOUBLE_EQ(entries[2].volume, 1.0);
    EXPECT_DOUBLE_EQ(entries[2].speed, 2.0);
    EXPECT_EQ(entries[3].filePath, "/lists/d.ogg");

    // Without a header the first line is an entry.
    ASSERT_TRUE(parseMixListCsv("x.wav,1\n", "/", entries, error));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].filePath, "/x.wav");
}

TEST(MixListCsv, AMalformedLineIsNamed)
{
    struct Case {
        const char* text;
        int line;
        const char* words;
    };
    const Case cases[] = {
        {"a.wav,0,1,1\nb.wav,soon,1,1\n", 2, "start time"},
        {"path,start\na.wav,1\n\n\"b.wav,2\n", 4, "quoted"},
        {"a.wav,1,1,1,,,,,,,,,,,,,9\n", 1, "at most 16 columns"},
        {"a.wav,0,1,0\n", 1, "speed"},
        {"a.wav,0,-1\n", 1, "volume"},
        {",1,1,1\n", 1, "path"},
        {"\"a.wav\"x,1\n", 1, "after a closing quote"},
        {"a.wav,0,1,nan\n", 1, "speed"},
    };
    for (const Case& c : cases) {
        std::vector<MixItem> entries;
        ImportError error;
        EXPECT_FALSE(parseMixListCsv(c.text, "/", entries, error)) << c.text;
        EXPECT_EQ(error.line, c.line) << c.text;
        EXPECT_NE(error.message.find(c.words), std::string::npos) << c.text << " -> " << error.message;
    }
    EXPECT_EQ(secondsToReferenceTime(1.5), 15'000'000);
    EXPECT_EQ(secondsToReferenceTime(0.00000019), 1);
}

// A number that means nothing is refused, with what is wrong with it, the same way from a list
// file's columns and from a command-line entry.
TEST(EntryValues, NumbersThatMeanNothingAreRefusedAlikeInListsAndArguments)
{
    struct Case {
        const char* start;
        const char* volume;
        const char* speed;
        const char* message;
    };
    const Case cases[] = {
        {"0", "1", "0.0039", "the speed must lie between 1/256 (0.00390625) and 256"},
        {"0", "1", "256.5", "the speed must lie between 1/256 (0.00390625) and 256"},
        {"0", "1", "1e6", "the speed must lie between 1/256 (0.00390625) and 256"},
        {"0", "1", "1e-400", "the speed \"1e-400\" is too close to zero"},
        {"0", "1", "1e400", "the speed \"1e400\" is too large"},
        {"0", "3.5e38", "1", "the volume must be at most 1000000"},
        {"0", "1000000.5", "1", "the volume must be at most 1000000"},
        {"0", "4.9e-324", "1", "the volume \"4.9e-324\" is too close to zero"},
        {"4.9e-324", "1", "1", "the start time \"4.9e-324\" is too close to zero"},
        {"1e-150", "1", "1", "the start time \"1e-150\" is too close to zero"},
        {"1e-400", "1", "1", "the start time \"1e-400\" is too close to zero"},
        {"1e30", "1", "1", "the start time \"1e30\" is too large"},
    };
    for (const Case& c : cases) {
        const std::string values = std::string(c.start) + ":" + c.volume + ":" + c.speed;
        SCOPED_TRACE(values);
        std::string error;
        EXPECT_FALSE(parseEntryArgument("/m/a.wav@" + values, error));
        EXPECT_EQ(error, c.message);
        std::vector<MixItem> entries;
        ImportError listError;
        const std::string csv = std::string("path,start,volume,speed\na.wav,") + c.start + "," + c.volume + "," +
                                c.speed + "\n";
        EXPECT_FALSE(parseMixListCsv(csv, "/", entries, listError));
        EXPECT_EQ(listError.line, 2);
        EXPECT_EQ(listError.message, c.message);
    }
    // The ends of the ranges are kept.
    std::string error;
    for (const char* values : {"0:1000000:256", "0:0:0.00390625", "0:1e-300:1"})
        EXPECT_TRUE(parseEntryArgument(std::string("/m/a.wav@") + values, error)) << values << ": " << error;
    // Shaping values say the same.
    EXPECT_FALSE(parseEntryArgument("/m/a.wav@0,fade-in=1e-400", error));
    EXPECT_EQ(error, "the fade in \"1e-400\" is too close to zero");
    EXPECT_FALSE(parseEntryArgument("/m/a.wav@0,keep-pitch,pitch=1e999", error));
    EXPECT_EQ(error, "the pitch \"1e999\" is too large");
}
