// SPDX-License-Identifier: GPL-3.0-or-later
// The list's tags in its file: "#tag." and "#cover=" lines after the output and ducking lines,
// read back as written, skipped by readers that know nothing of them, and refused by their line
// when a value cannot be its tag.
#include <gtest/gtest.h>

#include "model/MixListFile.h"

using namespace sonarel;
using media::core::TagField;

namespace {

std::vector<MixItem> oneEntry()
{
    MixItem item;
    item.filePath = "/m/song.wav";
    return {item};
}

ListTags everyTag(std::string cover)
{
    ListTags tags;
    tags.value(TagField::Title) = "Stürme über Ōsaka, 100% ";  // a '%' and a blank at the end
    tags.value(TagField::Artist) = "The Sonarels";
    tags.value(TagField::Album) = "Tests";
    tags.value(TagField::Date) = "2024-05";
    tags.value(TagField::Genre) = "Ambient";
    tags.value(TagField::Track) = "3/12";
    tags.value(TagField::Comment) = "#cover=not.png";  // a value is never taken for a line
    tags.coverPath = std::move(cover);
    return tags;
}

}  // namespace

TEST(ListTagsFile, TagsComeBackAsWrittenAfterTheOtherLines)
{
    const std::vector<MixItem> entries = oneEntry();
    const std::string plain = formatMixListCsv(entries, "/m", {{"rate", "48000"}}, {-20.0, 0.3, 0.5});
    EXPECT_EQ(formatMixListCsv(entries, "/m", {{"rate", "48000"}}, {-20.0, 0.3, 0.5}, ListTags{}), plain);

    struct Case {
        std::string cover;
        std::string line;  // as written
    };
    const Case cases[] = {
        {"/m/art/front.png", "#cover=art/front.png\n"},  // under the list's folder: relative
        {"/elsewhere/front.jpg", "#cover=/elsewhere/front.jpg\n"},
        {"", ""},
    };
    for (const Case& c : cases) {
        const ListTags tags = everyTag(c.cover);
        const std::string text = formatMixListCsv(entries, "/m", {{"rate", "48000"}}, {-20.0, 0.3, 0.5}, tags);
        EXPECT_EQ(text,
                  "#output.rate=48000\n#duck.depth_db=-20\n"
                  "#tag.title=Stürme über Ōsaka, 100%25%20\n#tag.artist=The Sonarels\n#tag.album=Tests\n"
                  "#tag.date=2024-05\n#tag.genre=Ambient\n#tag.track=3/12\n#tag.comment=#cover=not.png\n" +
                      c.line + plain.substr(plain.find("path,")));
        std::vector<MixItem> read;
        ImportError error;
        ListOutputLines output;
        DuckSettings ducking;
        ListTags readTags;
        ASSERT_TRUE(parseMixListCsv(text + "#tag.composer=Later\n", "/m", read, error, &output, nullptr, &ducking,
                                    &readTags))
            << error.message;
        EXPECT_EQ(readTags, tags);
        EXPECT_EQ(formatMixListCsv(read, "/m", output, ducking, readTags), text);
        // A reader without tags reads the same entries.
        std::vector<MixItem> older;
        ASSERT_TRUE(parseMixListCsv(text, "/m", older, error));
        EXPECT_EQ(older.size(), 1u);
    }
}

TEST(ListTagsFile, ValuesThatCannotBeTagsAreRefusedWithTheirLine)
{
    struct Case {
        const char* text;
        int line;
        const char* message;
    };
    const Case cases[] = {
        {"#tag.title=bell%07\n", 1, "the title holds a control character"},
        {"a.wav,0,1,1\n#tag.artist=\xC3\n", 2, "the artist holds a control character or bytes that are not UTF-8"},
        {"#tag.date=17.5.2024\n", 1, "the date must be written YYYY, YYYY-MM or YYYY-MM-DD"},
        {"#tag.track=0\n", 1, "the track must be a number"},
        {"#tag.track=1/\n", 1, "the track must be a number"},
        {"#cover=\n", 1, "the cover line names no picture"},
    };
    for (const Case& c : cases) {
        std::vector<MixItem> entries;
        ImportError error;
        ListTags tags;
        EXPECT_FALSE(parseMixListCsv(c.text, "/", entries, error, nullptr, nullptr, nullptr, &tags)) << c.text;
        EXPECT_EQ(error.line, c.line) << c.text;
        EXPECT_TRUE(error.message.starts_with(c.message)) << c.text << " -> " << error.message;
    }
}
