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
    }
    return {};
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
        std::string row = "/m/a.wav," + sampleText(property);
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
        if (!isTyped(property))
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
