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
        {"7,5", 7.0},
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
        "Please enter a speed above 0: 1 plays the file as it is, 2 twice as fast, "
        "0.5 at half speed.");
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
        {"2.5abc", "1", "0.0001", std::nullopt, {}, false},
        {"1", "1", "1000", std::nullopt, {}, false},
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

namespace {

constexpr REFERENCE_TIME kSecond = kReferenceUnitsPerSecond;

struct ShapingCase {
    const char* in;
    const char* out;
    const char* fadeIn;
    const char* fadeOut;
    const char* pitch;
    bool keepPitch;
    REFERENCE_TIME duration;
    std::optional<AudioField> field;  // none: accepted
    const char* message;
};

}  // namespace

TEST(ReadShaping, ChecksEachBoxInReadingOrder)
{
    const char* number = "Please enter a number.";
    const char* outAfterIn =
        "Please enter an out point after the in point, or leave the box empty to play to the end of the file.";
    const char* fade = "Please enter a fade length of 0 seconds or more.";
    const char* pitch = "Please enter a pitch between -24 and 24 semitones.";
    const ShapingCase cases[] = {
        {"1.5", "3", "0.5", "1", "12", true, 4 * kSecond, std::nullopt, ""},
        {"0", "", "0", "0", "-24", true, 0, std::nullopt, ""},
        {"5", "", "0", "0", "0", false, 0, std::nullopt, ""},              // length unknown: no end to check
        {"1", "10", "0", "0", "0", false, 4 * kSecond, std::nullopt, ""},  // out past the end: plays to the end
        {"0", "", "0", "0", "abc", false, 0, std::nullopt, ""},            // the pitch needs keep pitch
        {"x", "", "0", "0", "0", false, 0, AudioField::InPoint, number},
        {"-0.001", "", "0", "0", "0", false, 0, AudioField::InPoint, "Please enter an in point of 0 seconds or more."},
        {"1e300", "", "0", "0", "0", false, 0, AudioField::InPoint, "Please enter at most 1000000 seconds."},
        {"4", "", "0", "0", "0", false, 4 * kSecond, AudioField::InPoint,
         "Please enter an in point before the end of the file, at 4.000 seconds."},
        {"2", "2", "0", "0", "0", false, 0, AudioField::OutPoint, outAfterIn},
        {"2", "1", "0", "0", "0", false, 0, AudioField::OutPoint, outAfterIn},
        {"0", "-1", "0", "0", "0", false, 0, AudioField::OutPoint, outAfterIn},
        {"0", "?", "0", "0", "0", false, 0, AudioField::OutPoint, number},
        {"0", "", "-1", "0", "0", false, 0, AudioField::FadeIn, fade},
        {"0", "", "0", "-1", "0", false, 0, AudioField::FadeOut, fade},
        {"0", "", "0", "", "0", false, 0, AudioField::FadeOut, number},
        {"0", "", "0", "0", "24.01", true, 0, AudioField::Pitch, pitch},
        {"0", "", "0", "0", "-25", true, 0, AudioField::Pitch, pitch},
        {"0", "", "0", "0", "nan", true, 0, AudioField::Pitch, number},
        {"-1", "", "-1", "0", "99", true, 0, AudioField::InPoint, "Please enter an in point of 0 seconds or more."},
        {"0", "", "-1", "0", "99", true, 0, AudioField::FadeIn, fade},
    };
    for (const ShapingCase& c : cases) {
        SCOPED_TRACE(std::string(c.in) + " / " + c.out + " / " + c.fadeIn + " / " + c.fadeOut + " / " + c.pitch);
        const ShapingTexts texts{QString::fromUtf8(c.in), QString::fromUtf8(c.out), QString::fromUtf8(c.fadeIn),
                                 QString::fromUtf8(c.fadeOut), QString::fromUtf8(c.pitch)};
        EntryProperties result;
        result.startTime = 7;
        result.inPoint = 7;
        const auto problem = readShaping(texts, {FadeCurve::EqualPower, c.keepPitch, true}, EntryProperties{},
                                         c.duration, result);
        ASSERT_EQ(problem.has_value(), c.field.has_value()) << (problem ? problem->message.toStdString() : "");
        if (problem) {
            EXPECT_EQ(problem->field, *c.field);
            EXPECT_EQ(problem->message, QString::fromUtf8(c.message));
            EXPECT_TRUE(problem->caption.isEmpty());
            EXPECT_EQ(result.inPoint, 7);  // nothing handed back
            EXPECT_FALSE(result.muted);
            continue;
        }
        EXPECT_EQ(result.startTime, 7);  // the three boxes are not this part's
        EXPECT_EQ(result.inPoint, secondsToReferenceTime(*readLeadingNumber(QString::fromUtf8(c.in))));
        EXPECT_TRUE(result.muted);
        EXPECT_EQ(result.fadeCurve, FadeCurve::EqualPower);
        EXPECT_EQ(result.keepPitch, c.keepPitch);
        if (!c.keepPitch) {
            EXPECT_EQ(result.pitchSemitones, 0.0);
        }
    }

    EntryProperties result;
    ASSERT_FALSE(readShaping({"1.5", "3.25", "0.5", "0.75", "-12"}, {FadeCurve::Linear, true, false}, EntryProperties{},
                             10 * kSecond, result));
    EXPECT_EQ(result.inPoint, 15'000'000);
    EXPECT_EQ(result.outPoint, 32'500'000);
    EXPECT_EQ(result.fadeIn, 5'000'000);
    EXPECT_EQ(result.fadeOut, 7'500'000);
    EXPECT_EQ(result.pitchSemitones, -12.0);
    ASSERT_FALSE(readShaping({"0", "  ", "0", "0", "0"}, {}, EntryProperties{}, 0, result));
    EXPECT_EQ(result.outPoint, kToSourceEnd);  // a blank out box is the file's end
}

// Times set elsewhere (a list file, the timeline) are finer than the boxes' three decimals: OK
// without typing must not round them, and a box typed over takes what was typed.
TEST(ReadShaping, UntouchedBoxesKeepTheEntrysExactValues)
{
    EntryProperties shown;
    shown.inPoint = 15'000'001;
    shown.outPoint = 29'999'999;
    shown.fadeIn = 1'234'567;
    shown.fadeOut = 7;
    shown.keepPitch = true;
    shown.pitchSemitones = 0.33333;
    shown.fadeCurve = FadeCurve::EqualPower;
    shown.muted = true;
    const ShapingTexts texts = shapingTextsOf(shown);
    EXPECT_EQ(texts.inPoint, QStringLiteral("1.500"));
    EXPECT_EQ(texts.outPoint, QStringLiteral("3.000"));
    EXPECT_EQ(texts.pitch, QStringLiteral("0.333"));
    EXPECT_TRUE(shapingTextsOf(EntryProperties{}).outPoint.isEmpty());

    EntryProperties result = shown;
    result.startTime = 99;
    ASSERT_FALSE(readShaping(texts, shapingChoicesOf(shown), shown, 10 * kSecond, result));
    EXPECT_TRUE(sameProperties(result, [&] {
        EntryProperties expected = shown;
        expected.startTime = 99;
        return expected;
    }()));

    ShapingTexts typed = texts;
    typed.inPoint = QStringLiteral("1.5");  // the same number, typed again: what was typed counts
    typed.pitch = QStringLiteral("2");
    ASSERT_FALSE(readShaping(typed, shapingChoicesOf(shown), shown, 10 * kSecond, result));
    EXPECT_EQ(result.inPoint, 15'000'000);
    EXPECT_EQ(result.outPoint, 29'999'999);
    EXPECT_EQ(result.pitchSemitones, 2.0);

    // An untouched in point is still checked against an out point typed before it.
    typed = texts;
    typed.outPoint = QStringLiteral("1.5");
    const auto problem = readShaping(typed, shapingChoicesOf(shown), shown, 10 * kSecond, result);
    ASSERT_TRUE(problem);
    EXPECT_EQ(problem->field, AudioField::OutPoint);
}

TEST(FitLength, TheSpeedMakesThePlayedPartLastTheLengthAskedFor)
{
    REFERENCE_TIME played = 0;
    ASSERT_FALSE(readPlayedLength({"2", "", "0", "0", "0"}, EntryProperties{}, 10 * kSecond, played));
    EXPECT_EQ(played, 8 * kSecond);
    ASSERT_FALSE(readPlayedLength({"2", "30", "0", "0", "0"}, EntryProperties{}, 10 * kSecond, played));
    EXPECT_EQ(played, 8 * kSecond);  // an out point past the end stops at the end
    ASSERT_FALSE(readPlayedLength({"2", "5", "0", "0", "0"}, EntryProperties{}, 0, played));
    EXPECT_EQ(played, 3 * kSecond);
    const auto unknown = readPlayedLength({"2", "", "0", "0", "0"}, EntryProperties{}, 0, played);
    ASSERT_TRUE(unknown);
    EXPECT_EQ(unknown->field, AudioField::OutPoint);
    EXPECT_EQ(unknown->message,
              QStringLiteral("The length of this file is not known: please enter an out point to fit the length to."));
    const auto past = readPlayedLength({"12", "", "0", "0", "0"}, EntryProperties{}, 10 * kSecond, played);
    ASSERT_TRUE(past);
    EXPECT_EQ(past->field, AudioField::InPoint);

    EXPECT_EQ(speedForLength(8 * kSecond, 4.0), 2.0);
    EXPECT_EQ(speedForLength(8 * kSecond, 16.0), 0.5);
    for (double refused : {0.0, -1.0, std::nan(""), std::numeric_limits<double>::infinity(), 1e-320})
        EXPECT_FALSE(speedForLength(8 * kSecond, refused)) << refused;
    EXPECT_FALSE(speedForLength(0, 1.0));

    // The speed box gets a text that reads back as the very speed, so the length comes out as asked.
    EXPECT_EQ(speedText(2.0), QStringLiteral("2.000"));
    EXPECT_EQ(speedText(0.125), QStringLiteral("0.125"));
    for (double seconds : {3.0, 7.0, 0.3, 123.456}) {
        const double speed = *speedForLength(10 * kSecond, seconds);
        const QString text = speedText(speed);
        EXPECT_EQ(readLeadingNumber(text), speed) << text.toStdString();
        EXPECT_NEAR(10.0 / *readLeadingNumber(text), seconds, 1e-12);
    }
}
