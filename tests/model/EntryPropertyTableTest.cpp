// SPDX-License-Identifier: GPL-3.0-or-later
// The table of an entry's properties, row by row: each property reads the same from its key and
// from its column, survives a saved list, counts for undo and shaping, and is documented.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "model/EntryPropertyTable.h"
#include "model/MixListFile.h"

using namespace sonarel;

namespace {

// A value other than the default, as a key and a cell would hold it.
std::string sampleText(const EntryProperty& property)
{
    switch (property.kind) {
    case PropertyKind::ExactSeconds:
    case PropertyKind::Seconds: return "1.5";
    case PropertyKind::Number: return "2";
    case PropertyKind::Switch: return "1";
    case PropertyKind::Curve: return "equal_power";
    case PropertyKind::Points: return "0:1;1.5:0.25";
    // A comma, an '@' and a quote, which neither a key nor a cell may take for a separator.
    case PropertyKind::Text: return "Part 1, \"Hello\" @ home \u00e9";
    }
    return {};
}

// The sample as a list file's cell holds it.
std::string sampleCell(const EntryProperty& property)
{
    return property.kind == PropertyKind::Text ? "\"Part 1, \"\"Hello\"\" @ home \u00e9\"" : sampleText(property);
}

// `number` as the property's text: a volume point's level for points.
std::string numberText(const EntryProperty& property, const std::string& number)
{
    return property.kind == PropertyKind::Points ? "0:" + number : number;
}

// The entry with `property` set from its sample text, and what it needs switched on.
EntryProperties sampleEntry(const EntryProperty& property)
{
    EntryProperties entry;
    std::string error;
    EXPECT_TRUE(readValue(property, sampleText(property), entry, error)) << error;
    if (property.needs)
        setChoice(entryProperty(*property.needs), entry, 1);
    return entry;
}

std::string fileText(const std::string& path)
{
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

}  // namespace

TEST(EntryPropertyTable, EveryPropertyReadsTheSameFromItsKeyItsColumnAndASavedList)
{
    for (const EntryProperty& property : kEntryProperties) {
        SCOPED_TRACE(std::string(property.column));
        const EntryProperties expected = sampleEntry(property);
        EXPECT_FALSE(holdsDefault(property, expected));

        std::string header = "path," + std::string(property.column);
        std::string row = "/m/a.wav," + sampleCell(property);
        std::string argument = "/m/a.wav@" + (property.key.empty() ? "" : "0," + std::string(property.key) + "=") +
                               sampleText(property);
        if (property.needs) {
            header += "," + std::string(entryProperty(*property.needs).column);
            row += ",1";
            argument += "," + std::string(entryProperty(*property.needs).key);
        }
        std::vector<MixItem> read;
        ImportError importError;
        ASSERT_TRUE(parseMixListCsv(header + "\n" + row + "\n", "/m", read, importError)) << importError.message;
        ASSERT_EQ(read.size(), 1u);
        EXPECT_TRUE(sameProperties(read[0], expected));

        if (!property.key.empty()) {
            std::string error;
            const std::optional<MixItem> fromKey = parseEntryArgument(argument, error);
            ASSERT_TRUE(fromKey) << error;
            EXPECT_TRUE(sameProperties(*fromKey, expected)) << argument;
        }

        const std::string saved = formatMixListCsv(read, "/m");
        std::vector<MixItem> again;
        ASSERT_TRUE(parseMixListCsv(saved, "/m", again, importError)) << importError.message;
        ASSERT_EQ(again.size(), 1u);
        EXPECT_TRUE(sameProperties(again[0], expected)) << saved;
        EXPECT_EQ(formatMixListCsv(again, "/m"), saved);
    }
}

TEST(EntryPropertyTable, EveryPropertyCountsForUndoAndOnlyTheShapingOnesForShaping)
{
    EXPECT_TRUE(defaultsAgreeWithTheEntry());
    for (const EntryProperty& property : kEntryProperties) {
        SCOPED_TRACE(std::string(property.column));
        EntryProperties changed;
        std::string error;
        ASSERT_TRUE(readValue(property, sampleText(property), changed, error)) << error;
        EXPECT_FALSE(sameProperties(changed, EntryProperties{}));
        EXPECT_EQ(usesShaping(changed), isShaping(property));
    }
}

TEST(EntryPropertyTable, ValuesOutsideTheRangeAreNamedInThePropertysWords)
{
    for (const EntryProperty& property : kEntryProperties) {
        if (!isTyped(property) || property.kind == PropertyKind::Text)
            continue;
        SCOPED_TRACE(std::string(property.column));
        EntryProperties entry;
        std::string error;
        ASSERT_TRUE(readValue(property, numberText(property, "1000000000"), entry, error)) << error;
        EXPECT_FALSE(checkRange(property, entry, error));
        EXPECT_TRUE(error.starts_with("the " + std::string(property.words) + " ")) << error;
        ASSERT_TRUE(readValue(property, numberText(property, "-100"), entry, error)) << error;
        EXPECT_FALSE(checkRange(property, entry, error));
    }
}

TEST(EntryPropertyTable, TextsAreOneLineOfUtf8WithinTheLongestLength)
{
    const EntryProperty& chapter = entryProperty(EntryField::Chapter);
    const struct {
        std::string text;
        const char* refusal;  // empty: taken
    } cases[] = {
        {"  Intro  ", ""},
        {std::string(kLongestEntryText, 'x'), ""},
        {std::string(kLongestEntryText + 1, 'x'), "the chapter is longer than 255 bytes"},
        {"Tab\there", "the chapter must not hold a control character"},
        {"Line\nbreak", "the chapter must not hold a control character"},
        {"Caf\xE9", "the chapter is not UTF-8 text"},
        {"\xC0\xAF", "the chapter is not UTF-8 text"},      // an overlong '/'
        {"\xED\xA0\x80", "the chapter is not UTF-8 text"},  // a surrogate
        {"\xF0\x9F\x8E\xB5 Music", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EntryProperties entry;
        std::string error;
        EXPECT_EQ(readValue(chapter, c.text, entry, error), *c.refusal == '\0');
        EXPECT_EQ(error, c.refusal);
    }
    EntryProperties entry;
    std::string error;
    ASSERT_TRUE(readValue(chapter, "  Intro  ", entry, error));
    EXPECT_EQ(entry.chapter, "Intro");

    // On the command line a title runs on over commas to the next key, and the placement is found
    // before it even when the title holds an '@'.
    const std::optional<MixItem> read = parseEntryArgument("/m/take@2.wav@5,chapter=News, sport @ 6,group=Voice,muted",
                                                           error);
    ASSERT_TRUE(read) << error;
    EXPECT_EQ(read->filePath, "/m/take@2.wav");
    EXPECT_EQ(read->startTime, 5 * kReferenceUnitsPerSecond);
    EXPECT_EQ(read->chapter, "News, sport @ 6");
    EXPECT_EQ(read->group, "Voice");
    EXPECT_TRUE(read->muted);
    const std::optional<MixItem> plain = parseEntryArgument("/m/a@1@x.wav", error);
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->filePath, "/m/a@1@x.wav");
}

TEST(EntryPropertyTable, EveryPropertyIsNamedInTheManualPageAndTheManual)
{
    const std::string page = fileText(SONAREL_SOURCE_DIR "/res/man/sonarel-mix.1.in");
    std::string manual;
    for (const auto& file : std::filesystem::directory_iterator(SONAREL_SOURCE_DIR "/res/help"))
        if (file.path().extension() == ".html")
            manual += fileText(file.path().string());
    ASSERT_FALSE(page.empty());
    ASSERT_FALSE(manual.empty());
    const auto named = [](const std::string& text, std::string_view name) {
        return !name.empty() && text.find(name) != std::string::npos;
    };
    for (const EntryProperty& property : kEntryProperties) {
        SCOPED_TRACE(std::string(property.column));
        // roff writes a key's '-' as "\-".
        std::string roffKey;
        for (char c : property.key)
            roffKey += c == '-' ? std::string("\\-") : std::string(1, c);
        EXPECT_TRUE(named(page, property.column) || named(page, property.columnAlias));
        EXPECT_TRUE(named(manual, property.column));
        EXPECT_TRUE(property.key.empty() || named(page, roffKey));
        EXPECT_TRUE(property.key.empty() || named(manual, property.key));
    }
}
