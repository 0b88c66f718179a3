// SPDX-License-Identifier: GPL-3.0-or-later
// The audio settings rules without a window: the number rule, the order and wording of the
// checks, and the conversion between seconds and 100-ns units.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "model/NumberText.h"
#include "settings/AudioSettings.h"

using namespace sonarel;

TEST(LeadingNumber, ReadsTheNumberAtTheStartOfTheText)
{
    struct Case {
        const char* text;
        std::optional<double> value;
    };
    const Case cases[] = {
        {"1.000", 1.0},
        {"  2.5abc", 2.5},
        {"-0.1", -0.1},
        {"+3", 3.0},
        {".5", 0.5},
        {"5.", 5.0},
        {"1e3x", 1000.0},
        {"2e", 2.0},
        {"2e+", 2.0},
        {"7,5", 7.5},  // a decimal comma, whatever the locale
        {",5", 0.5},
        {"2,5,7", 2.5},
        {"1.5,6", 1.5},
        {"100.5", 100.5},
        {"0", 0.0},
        {"\t12 s", 12.0},
        {"1.5.6", 1.5},
        {"", std::nullopt},
        {"   ", std::nullopt},
        {"abc", std::nullopt},
        {".", std::nullopt},
        {"-", std::nullopt},
        {"nan", std::nullopt},
        {"inf", std::nullopt},
        {"-infinity", std::nullopt},
        {"1e999", std::nullopt},
        {"4.9e-324", std::nullopt},  // keeps too few digits to mean what was written
        {"1e-400", std::nullopt},
        {"x1", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const auto value = readLeadingNumber(QString::fromUtf8(c.text));
        ASSERT_EQ(value.has_value(), c.value.has_value());
        if (value) {
            EXPECT_DOUBLE_EQ(*value, *c.value);
        }
    }
    // Why nothing was read: no number, or one a double cannot hold.
    NumberFault fault = NumberFault::None;
    EXPECT_FALSE(readLeadingNumber(u"x", QLatin1Char('.'), &fault));
    EXPECT_EQ(fault, NumberFault::NotANumber);
    EXPECT_FALSE(readLeadingNumber(u"1e999 s", QLatin1Char('.'), &fault));
    EXPECT_EQ(fault, NumberFault::TooLarge);
    EXPECT_FALSE(readLeadingNumber(u"-0,0001e-400", QLatin1Char('.'), &fault));
    EXPECT_EQ(fault, NumberFault::TooCloseToZero);
    EXPECT_TRUE(readLeadingNumber(u"0e-999", QLatin1Char('.'), &fault));
    EXPECT_EQ(fault, NumberFault::None);
    // A locale that writes a decimal comma: both marks work.
    EXPECT_DOUBLE_EQ(*readLeadingNumber(u"7,5", QLatin1Char(',')), 7.5);
    EXPECT_DOUBLE_EQ(*readLeadingNumber(u"7.5", QLatin1Char(',')), 7.5);
}

TEST(BoxText, ThreeDecimalsWithAPoint)
{
    EXPECT_EQ(boxText(1.0), QStringLiteral("1.000"));
    EXPECT_EQ(boxText(0.0), QStringLiteral("0.000"));
    EXPECT_EQ(boxText(2.5), QStringLiteral("2.500"));
    EXPECT_EQ(boxText(0.12345), QStringLiteral("0.123"));
}

TEST(ReadAudioSettings, ChecksInOrderAndNamesTheFailingBox)
{
    const QString number = QStringLiteral("Please enter a number.");
    const QString range = QStringLiteral("Please enter a number between 0 and 100.");
    const QString speed = QStringLiteral(
        "Please enter a speed between 1/256 (0.00390625) and 256: 1 plays the file as it is, 2 twice as fast, "
        "0.5 at half speed.");
    const QString tiny = QStringLiteral(
        "This number is too close to zero to be used: please enter 0 or a number farther from zero.");
    const QString negativeStart = QStringLiteral("Start time should be greater than 0");
    struct Case {
        const char* start;
        const char* volume;
        const char* speed;
        std::optional<AudioField> field;  // none: accepted
        QString message;
        bool errorCaption;
    };
    const Case cases[] = {
        {"0", "100", "1", std::nullopt, {}, false},
        {"0", "0", "1", std::nullopt, {}, false},
        {"2.5abc", "1", "0.00390625", std::nullopt, {}, false},
        {"1", "1", "256", std::nullopt, {}, false},
        {"1", "1", "0.0039", AudioField::Speed, speed, false},
        {"1", "1", "256.001", AudioField::Speed, speed, false},
        {"1", "1", "1e6", AudioField::Speed, speed, false},
        {"1", "1", "1e999", AudioField::Speed, speed, false},
        {"1", "1", "4.9e-324", AudioField::Speed, speed, false},
        {"1", "3.5e38", "1", AudioField::Volume, range, false},
        {"1", "1e999", "1", AudioField::Volume, range, false},
        {"1", "1e-400", "1", AudioField::Volume, tiny, false},
        {"4.9e-324", "1", "1", AudioField::StartTime, tiny, false},
        {"1", "100.5", "1", AudioField::Volume, range, false},
        {"1", "-0.1", "1", AudioField::Volume, range, false},
        {"1", "", "1", AudioField::Volume, number, false},
        {"", "", "", AudioField::StartTime, number, false},  // the start time is read first
        {"-1", "", "1", AudioField::Volume, number, false},  // every box is read before the start check
        {"-1", "200", "1", AudioField::Volume, range, false},
        {"1", "1", "abc", AudioField::Speed, number, false},
        {"1", "1", "0", AudioField::Speed, speed, false},
        {"1", "1", "-2", AudioField::Speed, speed, false},
        {"1", "1", "inf", AudioField::Speed, number, false},
        {"-1", "1", "0", AudioField::Speed, speed, false},
        {"-1", "1", "1", AudioField::StartTime, negativeStart, true},
        {"1e300", "1", "1", AudioField::StartTime, QStringLiteral("Start time should be at most 1000000 seconds"),
         true},
        {"1e400", "1", "1", AudioField::StartTime, QStringLiteral("Start time should be at most 1000000 seconds"),
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.start) + " / " + c.volume + " / " + c.speed);
        AudioSettings settings{7.0, 7.0, 7.0};
        const auto problem = readAudioSettings(QString::fromUtf8(c.start), QString::fromUtf8(c.volume),
                                               QString::fromUtf8(c.speed), settings);
        ASSERT_EQ(problem.has_value(), c.field.has_value());
        if (!problem) {
            EXPECT_NE(settings.volume, 7.0);
            continue;
        }
        EXPECT_EQ(problem->field, *c.field);
        EXPECT_EQ(problem->message, c.message);
        EXPECT_EQ(problem->caption, c.errorCaption ? QStringLiteral("Error") : QString());
        EXPECT_EQ(settings.startTime, 7.0);  // nothing handed back
        EXPECT_EQ(settings.volume, 7.0);
    }
    AudioSettings settings;
    ASSERT_FALSE(readAudioSettings(QStringLiteral("2.5abc"), QStringLiteral(" 0.5"), QStringLiteral("2"), settings));
    EXPECT_DOUBLE_EQ(settings.startTime, 2.5);
    EXPECT_DOUBLE_EQ(settings.volume, 0.5);
    EXPECT_DOUBLE_EQ(settings.speed, 2.0);
}

TEST(EntryUnits, SecondsBecomeTruncatedHundredNanosecondUnits)
{
    EXPECT_EQ(entryPropertiesOf({2.5, 1, 1}).startTime, 25'000'000);
    EXPECT_EQ(entryPropertiesOf({1.5, 1, 1}).startTime, 15'000'000);
    EXPECT_EQ(entryPropertiesOf({0.00000019, 1, 1}).startTime, 1);
    EXPECT_EQ(secondsToReferenceTime(-0.00000019), -1);  // toward zero, also below it
    EXPECT_EQ(secondsToReferenceTime(-1.5), -15'000'000);
    EXPECT_EQ(secondsToReferenceTime(1e300), std::numeric_limits<REFERENCE_TIME>::max());
    EXPECT_EQ(secondsToReferenceTime(-1e300), std::numeric_limits<REFERENCE_TIME>::min());
    EXPECT_EQ(secondsToReferenceTime(std::nan("")), 0);

    const EntryProperties properties{15'000'001, 0.5, 2.0};
    const AudioSettings shown = audioSettingsOf(properties);
    EXPECT_DOUBLE_EQ(shown.startTime, 1.5000001);
    EXPECT_EQ(shown.volume, 0.5);
    EXPECT_EQ(shown.speed, 2.0);
    EXPECT_EQ(entryPropertiesOf(shown), properties);
}

// The rules of the "More" part that the window tests do not reach: unknown lengths, out points
// past the end, a pitch without keep pitch, and which of several problems is named.
TEST(ReadShaping, ReadsThePartThatPlaysAgainstTheFilesLength)
{
    constexpr REFERENCE_TIME kSecond = kReferenceUnitsPerSecond;
    struct Case {
        ShapingTexts texts;
        bool keepPitch;
        REFERENCE_TIME duration;
        std::optional<AudioField> field;  // none: accepted
        REFERENCE_TIME in, out;
    };
    const Case cases[] = {
        {{"5", "", "0", "0", "0"}, false, 0, std::nullopt, 5 * kSecond, kToSourceEnd},  // unknown length
        {{"1", "10", "0", "0", "0"}, false, 4 * kSecond, std::nullopt, kSecond, 10 * kSecond},
        {{"0", "  ", "0", "0", "abc"}, false, 0, std::nullopt, 0, kToSourceEnd},  // no pitch without keep pitch
        {{"1e300", "", "0", "0", "0"}, false, 0, AudioField::InPoint, 0, 0},
        {{"-1", "", "-1", "0", "99"}, true, 0, AudioField::InPoint, 0, 0},
        {{"0", "", "-1", "0", "99"}, true, 0, AudioField::FadeIn, 0, 0},
        {{"0", "", "0", "", "99"}, true, 0, AudioField::FadeOut, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.texts.inPoint.toStdString() + " / " + c.texts.outPoint.toStdString());
        EntryProperties result;
        result.inPoint = 7;
        const auto problem = readShaping(c.texts, {FadeCurve::EqualPower, c.keepPitch, true}, {}, c.duration, result);
        ASSERT_EQ(problem.has_value(), c.field.has_value());
        if (problem) {
            EXPECT_EQ(problem->field, *c.field);
            EXPECT_EQ(result.inPoint, 7);  // nothing handed back
            continue;
        }
        EXPECT_EQ(result.inPoint, c.in);
        EXPECT_EQ(result.outPoint, c.out);
        EXPECT_EQ(result.pitchSemitones, 0.0);
        EXPECT_TRUE(result.muted);
    }
}

TEST(FitLength, TheSpeedMakesThePlayedPartLastTheLengthAskedFor)
{
    constexpr REFERENCE_TIME kSecond = kReferenceUnitsPerSecond;
    REFERENCE_TIME played = 0;
    ASSERT_FALSE(readPlayedLength({"2", "30", "0", "0", "0"}, {}, 10 * kSecond, played));
    EXPECT_EQ(played, 8 * kSecond);  // an out point past the end stops at the end
    ASSERT_FALSE(readPlayedLength({"2", "5", "0", "0", "0"}, {}, 0, played));
    EXPECT_EQ(played, 3 * kSecond);
    const auto unknown = readPlayedLength({"2", "", "0", "0", "0"}, {}, 0, played);
    ASSERT_TRUE(unknown);
    EXPECT_EQ(unknown->field, AudioField::OutPoint);

    for (double refused : {0.0, -1.0, std::nan(""), std::numeric_limits<double>::infinity(), 1e-320})
        EXPECT_FALSE(speedForLength(8 * kSecond, refused)) << refused;
    // The speed box gets a text that reads back as the very speed, so the length comes out as asked.
    EXPECT_EQ(speedText(2.0), QStringLiteral("2.000"));
    for (double seconds : {3.0, 7.0, 0.3, 123.456}) {
        const QString text = speedText(*speedForLength(10 * kSecond, seconds));
        EXPECT_NEAR(10.0 / *readLeadingNumber(text), seconds, 1e-12) << text.toStdString();
    }
}
