// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <limits>

#include "model/EntryEditing.h"
#include "platform/media/FaultPoints.h"
#include "render/MixRunControl.h"
#include "render/RenderPipeline.h"
#include "render/TimelineBuilder.h"
#include "support/MixRunFixture.h"
#include "support/RecordingDesktop.h"
#include "support/SmallDisk.h"
#include "support/WavFile.h"

using namespace sonarel;
using sonarel::testing::RecordedMessage;
using sonarel::testing::RecordingDesktop;
using sonarel::testing::contentsOf;
namespace fault = sonarel::media::fault;

namespace {

class MixRunTest : public sonarel::testing::MixRunFixture {
protected:
    void SetUp() override
    {
        MixRunFixture::SetUp();
        ASSERT_EQ(store.append(input.toStdString(), kReferenceUnitsPerSecond / 2), AppendResult::Appended);
        settings.outputFile = dir.filePath(QStringLiteral("out.wav"));
    }

    // Delivers the graph's notices as the window's event loop would, until the mix ends.
    void runToEnd() { ASSERT_TRUE(view.runToEnd(control)) << "the mix did not end"; }

    std::shared_ptr<media::Timeline> builtTimeline()
    {
        TimelineBuilder builder(library, desktop);
        std::shared_ptr<media::Timeline> timeline;
        EXPECT_EQ(builder.build(store, {true}, timeline), media::kOk);
        return timeline;
    }

    MixItemStore store;
    OutputSettings settings;
};

}  // namespace

TEST(MixTexts, ElapsedTimeAndOutputLines)
{
    EXPECT_EQ(usedTimeText(1), QStringLiteral("Please wait... Used Time: 00:00:01"));
    EXPECT_EQ(usedTimeText(3725), QStringLiteral("Please wait... Used Time: 01:02:05"));
    EXPECT_EQ(usedTimeText(100 * 3600), QStringLiteral("Please wait... Used Time: 100:00:00"));
    EXPECT_EQ(outputFileText(QStringLiteral("/m/a.wav")), QStringLiteral("Output File: /m/a.wav"));
    EXPECT_EQ(doneText(QStringLiteral("/m/a.wav")), QStringLiteral("Done. Output File: /m/a.wav"));
}

TEST(WaveFormatOfConverter, ChoicesReplaceTheFormatButKeepTagAndExtra)
{
    media::WaveFormat format;
    format.formatTag = 1;
    format.cbSize = 0;
    applyPcmFormat(format, waveFormatFromChoices(1, 1, 1));
    EXPECT_EQ(format.samplesPerSec, 22050u);
    EXPECT_EQ(format.channels, 1);
    EXPECT_EQ(format.bitsPerSample, 8);
    EXPECT_EQ(format.blockAlign, 1);
    EXPECT_EQ(format.avgBytesPerSec, 22050u);
    EXPECT_EQ(format.formatTag, 1);
}

TEST_F(MixRunTest, AMixRunsToCompletionAndCountsTicks)
{
    control.mixCommand(store, settings);
    ASSERT_TRUE(control.isMixing()) << desktop.texts().join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(view.button, QStringLiteral("Stop"));
    EXPECT_TRUE(view.timerRunning);
    control.onTimerTick();
    control.onTimerTick();
    EXPECT_EQ(view.status, QStringLiteral("Please wait... Used Time: 00:00:02"));
    EXPECT_FALSE(control.closeRequested());
    EXPECT_EQ(desktop.texts().last(), QStringLiteral("Please first stop Convert"));

    runToEnd();
    EXPECT_EQ(control.lastOutcome(), MixOutcome::Completed);
    EXPECT_EQ(view.button, QStringLiteral("Mix"));
    EXPECT_FALSE(view.timerRunning);
    EXPECT_EQ(view.status, QStringLiteral("Done. Output File: ") + settings.outputFile);
    EXPECT_TRUE(control.closeRequested());

    sonarel::testing::WavData wav;
    std::string error;
    ASSERT_TRUE(sonarel::testing::readWav(settings.outputFile.toStdString(), wav, error)) << error;
    sonarel::testing::WavData original;
    ASSERT_TRUE(sonarel::testing::readWav(input.toStdString(), original, error)) << error;
    EXPECT_EQ(wav.samples, original.samples);

    // A second mix asks before replacing, and counts again from the start.
    desktop.answers = {true};
    control.mixCommand(store, settings);
    ASSERT_TRUE(control.isMixing());
    EXPECT_EQ(desktop.messages.back().text,
              settings.outputFile + QStringLiteral(" exists. Do you want to replace it?"));
    EXPECT_EQ(desktop.messages.back().caption, QStringLiteral("Warning"));
    control.onTimerTick();
    EXPECT_EQ(view.status, QStringLiteral("Please wait... Used Time: 00:00:01"));
    control.mixCommand(store, settings);  // the button reads "Stop"
    EXPECT_FALSE(control.isMixing());
    EXPECT_EQ(control.lastOutcome(), MixOutcome::Stopped);
    EXPECT_EQ(view.status, QStringLiteral("Done. Output File: ") + settings.outputFile);
    ASSERT_TRUE(sonarel::testing::readWav(settings.outputFile.toStdString(), wav, error)) << error;
}

// Files that open but cannot be converted are found before the mix, named with the reason, and
// left out with the person's consent; the good file's audio comes out untouched.
TEST_F(MixRunTest, SourcesThatCannotBeConvertedAreNamedAndLeftOut)
{
    struct Forged {
        const char* name;
        std::uint16_t channels;
        std::uint32_t rate;
    };
    const std::string good = input.toStdString();
    sonarel::testing::WavData original;
    std::string error;
    ASSERT_TRUE(sonarel::testing::readWav(good, original, error)) << error;
    for (const Forged& f : {Forged{"ch0.wav", 0, 44100}, Forged{"rate0.wav", 2, 0},
                            Forged{"rate2g.wav", 2, 0x80000000u}, Forged{"words.wav", 0, 0}}) {
        SCOPED_TRACE(f.name);
        const QString bad = dir.filePath(QString::fromLatin1(f.name));
        if (f.channels == 0 && f.rate == 0) {
            QFile words(bad);
            ASSERT_TRUE(words.open(QIODevice::WriteOnly));
            words.write("Not a sound at all.\n");
        } else {
            sonarel::testing::writeWavAsDeclared(bad.toStdString(), f.channels, f.rate, 16, 255 * 2 * 1000);
        }
        MixItemStore both;
        ASSERT_EQ(both.append(good, kReferenceUnitsPerSecond / 2), AppendResult::Appended);
        ASSERT_EQ(both.append(bad.toStdString(), kReferenceUnitsPerSecond / 4), AppendResult::Appended);
        both.at(1).startTime = kReferenceUnitsPerSecond / 10;
        QFile::remove(settings.outputFile);
        desktop.messages.clear();
        desktop.answers = {true};
        control.mixCommand(both, settings);
        ASSERT_EQ(desktop.messages.size(), 1u);
        EXPECT_TRUE(desktop.messages[0].question);
        EXPECT_TRUE(desktop.messages[0].text.contains(bad)) << desktop.messages[0].text.toStdString();
        EXPECT_FALSE(desktop.messages[0].text.contains(input));
        EXPECT_FALSE(desktop.messages[0].text.contains(QStringLiteral("memory"))) << "FFmpeg said what it was";
        runToEnd();
        EXPECT_EQ(control.lastOutcome(), MixOutcome::Completed);
        sonarel::testing::WavData wav;
        ASSERT_TRUE(sonarel::testing::readWav(settings.outputFile.toStdString(), wav, error)) << error;
        EXPECT_EQ(wav.samples, original.samples);
    }
}

TEST_F(MixRunTest, AMixThatClipsSaysSoOnceAndKeepsItsStatusText)
{
    const QString loud = dir.filePath(QStringLiteral("loud.wav"));
    sonarel::testing::writeWav16(loud.toStdString(), 2, 44100, sonarel::testing::constant16(2, 44100, 0.1, 20000));
    for (double volume : {1.0, 0.5}) {
        MixItemStore pair;
        for (int i = 0; i < 2; ++i) {
            ASSERT_EQ(pair.append(loud.toStdString(), kReferenceUnitsPerSecond / 10), AppendResult::Appended);
            pair.at(i).volume = volume;
        }
        QFile::remove(settings.outputFile);
        desktop.messages.clear();
        control.mixCommand(pair, settings);
        runToEnd();
        EXPECT_EQ(view.status, doneText(settings.outputFile));
        if (volume == 1.0) {
            ASSERT_EQ(desktop.messages.size(), 1u);
            EXPECT_EQ(desktop.messages[0].text,
                      QStringLiteral("8820 samples clipped, peak +1.7 dBFS: lower the volumes"));
        } else {
            EXPECT_TRUE(desktop.messages.empty()) << desktop.texts().join(QLatin1Char('|')).toStdString();
        }
    }
}

TEST_F(MixRunTest, SamplesThatAreNotNumbersAreNamedOnceAfterTheMix)
{
    const QString nan = dir.filePath(QStringLiteral("nan.wav"));
    sonarel::testing::writeWavFloat(nan.toStdString(), 2, 44100,
                                    std::vector<float>(2 * 22050, std::numeric_limits<float>::quiet_NaN()));
    ASSERT_EQ(store.append(nan.toStdString(), kReferenceUnitsPerSecond / 2), AppendResult::Appended);
    ASSERT_EQ(store.append(nan.toStdString(), kReferenceUnitsPerSecond / 2), AppendResult::Appended);
    control.mixCommand(store, settings);
    runToEnd();
    EXPECT_EQ(control.lastOutcome(), MixOutcome::Completed);
    EXPECT_EQ(view.status, doneText(settings.outputFile));
    const QString line = nan + QStringLiteral(" contains samples that are not numbers; they were silenced.");
    EXPECT_EQ(desktop.texts(), QStringList{line + QLatin1Char('\n') + line}) << "one message, one line per entry";
}

TEST_F(MixRunTest, ChecksBeforeAMixLeaveFilesAlone)
{
    MixItemStore empty;
    control.mixCommand(empty, settings);
    EXPECT_EQ(desktop.texts(), QStringList{QStringLiteral("Please add audio files into the list")});

    // An existing output answered No is left untouched and nothing starts.
    {
        QFile out(settings.outputFile);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write("keep me");
    }
    desktop.messages.clear();
    control.mixCommand(store, settings);
    EXPECT_FALSE(control.isMixing());
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_TRUE(desktop.messages[0].question);
    EXPECT_EQ(contentsOf(settings.outputFile), QByteArray("keep me"));

    // The output may not be one of the inputs, however it is spelled.
    const QByteArray before = contentsOf(input);
    for (const QString& spelling :
         {input, dir.path() + QStringLiteral("/./in.wav"), dir.filePath(QStringLiteral("link.wav"))}) {
        if (spelling.endsWith(QStringLiteral("link.wav"))) {
            ASSERT_TRUE(QFile::link(input, spelling));
        }
        desktop.messages.clear();
        desktop.answers = {true, true};
        settings.outputFile = spelling;
        control.mixCommand(store, settings);
        EXPECT_FALSE(control.isMixing());
        ASSERT_EQ(desktop.messages.size(), 1u) << spelling.toStdString();
        EXPECT_FALSE(desktop.messages[0].question);
        EXPECT_TRUE(desktop.messages[0].text.contains(QStringLiteral("also one of the files to mix")));
        EXPECT_EQ(contentsOf(input), before);
    }
}

TEST_F(MixRunTest, AMissingOutputFolderIsCreatedOrReported)
{
    settings.outputFile = dir.filePath(QStringLiteral("Music/new/out.wav"));
    control.mixCommand(store, settings);
    ASSERT_TRUE(control.isMixing()) << desktop.texts().join(QLatin1Char('|')).toStdString();
    runToEnd();
    EXPECT_EQ(control.lastOutcome(), MixOutcome::Completed);
    EXPECT_TRUE(QFile::exists(settings.outputFile));

    // A folder that cannot be made (a file stands in its way) is said plainly, before anything starts.
    settings.outputFile = input + QStringLiteral("/out.wav");
    desktop.messages.clear();
    control.mixCommand(store, settings);
    EXPECT_FALSE(control.isMixing());
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_TRUE(desktop.messages[0].text.contains(input + QStringLiteral(" is not a folder")))
        << desktop.messages[0].text.toStdString();
}

TEST_F(MixRunTest, AWriteErrorEndsTheMixWithItsCause)
{
    // A device is no output at all: it is named before anything is opened.
    settings.outputFile = QStringLiteral("/dev/full");
    control.mixCommand(store, settings);
    EXPECT_FALSE(control.isMixing());
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_TRUE(desktop.messages[0].text.contains(QStringLiteral("/dev/full is a device, not a file")))
        << desktop.messages[0].text.toStdString();

    // A disk that fills up while the mix runs: the person is told why.
    sonarel::testing::SmallDisk disk(QStringLiteral("32k"));
    if (!disk.isMounted())
        GTEST_SKIP() << disk.skipReason().toStdString();
    settings.outputFile = disk.filePath(QStringLiteral("out.wav"));
    desktop.messages.clear();
    desktop.answers = {true};  // mix anyway, although it will not fit
    control.mixCommand(store, settings);
    if (control.isMixing())
        runToEnd();
    const QString all = desktop.texts().join(QLatin1Char('\n'));
    EXPECT_TRUE(all.contains(QStringLiteral("full"), Qt::CaseInsensitive)) << all.toStdString();
    EXPECT_EQ(control.lastOutcome(), MixOutcome::Failed);
    EXPECT_EQ(view.button, QStringLiteral("Mix"));
}

TEST_F(MixRunTest, AFailedWriteKeepsAValidFileOfWhatWasWritten)
{
    // Placed 2 s in, so that the mix takes several blocks: the first is written, the second fails.
    store.at(0).startTime = 2 * kReferenceUnitsPerSecond;
    library.faults().fail(fault::kWriteOutput, media::kErrDiskFull, /*skip=*/1);
    control.mixCommand(store, settings);
    ASSERT_TRUE(control.isMixing());
    runToEnd();
    EXPECT_EQ(control.lastOutcome(), MixOutcome::Failed);
    ASSERT_FALSE(desktop.messages.empty());
    const QString message = desktop.messages.back().text;
    EXPECT_TRUE(message.contains(QString::fromStdString(media::errorText(media::kErrDiskFull))))
        << message.toStdString();
    EXPECT_TRUE(message.contains(settings.outputFile));
    EXPECT_EQ(view.status, QStringLiteral("Stopped by an error. Output File: ") + settings.outputFile);
    EXPECT_EQ(view.button, QStringLiteral("Mix"));

    sonarel::testing::WavData wav;
    std::string error;
    ASSERT_TRUE(sonarel::testing::readWav(settings.outputFile.toStdString(), wav, error)) << error;
    EXPECT_GT(wav.frames(), 0);
    EXPECT_LT(wav.frames(), 5 * 44100 / 2);
}

TEST_F(MixRunTest, EveryPipelineFailureShowsItsOwnMessage)
{
    struct Case {
        std::string_view point;
        const char* message;
        const char* caption;  // nullptr: the application box
        bool withErrorText;
        bool starts;  // the mix still starts
    };
    const Case cases[] = {
        {fault::kCreateRenderEngine, "Could not create pRenderEngine", "Error", false, false},
        {fault::kSetTimelineObject, "Could not SetTimelineObject", nullptr, false, false},
        {fault::kConnectFrontEnd, "Could not ConnectFrontEnd", nullptr, false, false},
        {fault::kCreateGraphBuilder, "Could not create ICaptureGraphBuilder2", nullptr, false, false},
        {fault::kSetFiltergraph, "Error pBuilder->SetFiltergraph( pGraph )", nullptr, false, false},
        {fault::kCreateWavMux, "The program does not detect its file writer. Please install the program again!",
         "Error", false, false},
        {fault::kCreateFileWriter, "failed to create wav writer!", nullptr, false, false},
        {fault::kSetFileName, "hr = pWriter->SetFileName( Filename, NULL );", nullptr, false, false},
        {fault::kCreateFormatConverter,
         "The program does not detect its file ACM WRAPPER. Please install the latest DirectX!", "Error", false, false},
        {fault::kGetGroupOutputPin, "Could not GetGroupOutputPin( g, &pPin )", nullptr, false, false},
        {fault::kRenderStream, "failed pBuilder->RenderStream( NULL, NULL, pPin, NULL, pMux )", nullptr, true, false},
        {fault::kFindInterface, "can not FindInterface", nullptr, false, true},
        {fault::kSetFormat, "can not pASC->SetFormat(pmt)", nullptr, true, true},
        {fault::kQueryMediaControl, "Could not get pControl", nullptr, false, false},
        {fault::kQueryMediaEvents, "Could not get pEvent", nullptr, false, false},
        {fault::kSetNotify, "can not SetNotifyWindow!!!", nullptr, false, false},
        {fault::kRun, "can not pControl->Run()!!!", nullptr, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.point));
        library.faults().clear();
        desktop.messages.clear();
        const auto timeline = builtTimeline();
        library.faults().fail(c.point, media::kErrFail);
        RenderPipeline pipeline(library, desktop);
        RenderJob job;
        const bool started = pipeline.renderToFile(
            timeline, settings.outputFile, waveFormatFromChoices(0, 0, 0), [] {}, job);
        EXPECT_EQ(started, c.starts);
        EXPECT_EQ(job.isRunning(), c.starts);
        ASSERT_EQ(desktop.messages.size(), c.withErrorText ? 2u : 1u);
        EXPECT_EQ(desktop.messages[0].text, QString::fromUtf8(c.message));
        EXPECT_EQ(desktop.messages[0].caption, c.caption ? QString::fromUtf8(c.caption) : applicationName());
        if (c.withErrorText) {
            EXPECT_EQ(desktop.messages[1].text, QString::fromStdString(media::errorText(media::kErrFail)));
            EXPECT_LE(desktop.messages[1].text.size(), 160);
        }
        if (job.control) {
            EXPECT_EQ(job.control->stop(), media::kOk);
        }
        if (job.events) {
            EXPECT_EQ(job.events->setNotify({}), media::kOk);
        }
    }

    // A timeline whose group step failed has no group: the render says so.
    library.faults().clear();
    library.faults().fail(fault::kAddGroup);
    const auto timeline = builtTimeline();
    desktop.messages.clear();
    RenderPipeline pipeline(library, desktop);
    RenderJob job;
    EXPECT_FALSE(pipeline.renderToFile(
        timeline, settings.outputFile, waveFormatFromChoices(0, 0, 0), [] {}, job));
    EXPECT_EQ(desktop.texts(), QStringList{QStringLiteral("Could not GetGroupCount( &Groups )")});
}

TEST_F(MixRunTest, StopWorksAfterTheListWasEmptied)
{
    control.mixCommand(store, settings);
    ASSERT_TRUE(control.isMixing());
    store.clear();
    control.mixCommand(store, settings);  // the button reads "Stop"
    EXPECT_FALSE(control.isMixing());
    EXPECT_EQ(control.lastOutcome(), MixOutcome::Stopped);
    EXPECT_TRUE(desktop.messages.empty()) << desktop.texts().join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(control.closeRequested());
}

// Lists that cannot give a sound, or that reach past the longest mix: said plainly, nothing starts,
// and an existing output is neither asked about nor touched.
TEST_F(MixRunTest, AListThatCannotBeMixedStartsNothing)
{
    const QString second = dir.filePath(QStringLiteral("second.wav"));
    ASSERT_TRUE(QFile::copy(input, second));
    ASSERT_EQ(store.append(second.toStdString(), kReferenceUnitsPerSecond / 2), AppendResult::Appended);
    struct Case {
        const char* what;
        EntryProperties first;
        REFERENCE_TIME firstDuration;
        EntryProperties second;
        const char* messageStart;
        const char* named;  // a text the message must hold
    };
    const REFERENCE_TIME half = kReferenceUnitsPerSecond / 2;
    const Case cases[] = {
        {"no usable speed", {0, 1, 0.0}, half, {0, 1, -1.0}, "Nothing in the list can be mixed", ""},
        {"no length", {0, 1, 1.0}, -1, {0, 1, std::nan("")}, "Nothing in the list can be mixed", ""},
        {"slowed down past the end",
         {media::kLongestTime - kReferenceUnitsPerSecond, 1, 1.0 / 256},
         half,
         {0, 1, 1.0},
         "A mix can be at most 1000000 seconds",
         "entry 1 (in.wav) would end at 1000127.000 s"},
        {"starts at the very end",
         {media::kLongestTime, 1, 1.0},
         half,
         {0, 1, 1.0},
         "A mix can be at most 1000000 seconds",
         "entry 1 (in.wav) would end at 1000000.500 s"},
    };
    {
        QFile out(settings.outputFile);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write("precious");
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        desktop.messages.clear();
        desktop.answers = {true, true};
        ASSERT_TRUE(setEntryProperties(store, 0, c.first));
        ASSERT_TRUE(setEntryProperties(store, 1, c.second));
        store.at(0).duration = c.firstDuration;
        store.at(1).duration = c.firstDuration == -1 ? 0 : half;
        control.mixCommand(store, settings);
        EXPECT_FALSE(control.isMixing());
        ASSERT_FALSE(desktop.messages.empty());
        const RecordedMessage& last = desktop.messages.back();
        EXPECT_FALSE(last.question);
        EXPECT_TRUE(last.text.startsWith(QString::fromUtf8(c.messageStart))) << last.text.toStdString();
        EXPECT_TRUE(last.text.contains(QString::fromUtf8(c.named))) << last.text.toStdString();
        EXPECT_EQ(contentsOf(settings.outputFile), QByteArray("precious"));
    }
}

TEST_F(MixRunTest, APercentSignInAFileNameStaysInTheMessage)
{
    const QString odd = dir.filePath(QStringLiteral("take%2%1.wav"));
    ASSERT_TRUE(QFile::copy(input, odd));
    ASSERT_EQ(store.append(odd.toStdString(), kReferenceUnitsPerSecond / 2), AppendResult::Appended);
    store.at(1).speed = 0.0;
    TimelineBuilder builder(library, desktop);
    std::vector<bool> usable;
    EXPECT_TRUE(builder.checkSources(store, usable));
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_TRUE(desktop.messages[0].text.startsWith(QStringLiteral("The speed of entry 2 (take%2%1.wav) is 0;")))
        << desktop.messages[0].text.toStdString();
}

// The slowest speed, 1/256, stretches an entry 256 times and the fastest, 256, makes it a blip;
// both end with the exact length and without holding the stretched entry in memory.
TEST_F(MixRunTest, ExtremeSpeedsGiveExactLengths)
{
    const QString blip = dir.filePath(QStringLiteral("blip.wav"));
    sonarel::testing::writeWav16(blip.toStdString(), 2, 44100, sonarel::testing::constant16(2, 44100, 0.001, 5000));
    struct Case {
        QString path;
        REFERENCE_TIME duration;
        double speed;
        std::size_t frames;
    };
    const Case cases[] = {
        {blip, 10'000, 1.0 / 256, 11'290},                 // 0.001 s becomes 0.256 s
        {input, kReferenceUnitsPerSecond / 2, 256.0, 86},  // 0.5 s becomes 1.95 ms
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.speed);
        store.clear();
        ASSERT_EQ(store.append(c.path.toStdString(), c.duration), AppendResult::Appended);
        store.at(0).speed = c.speed;
        desktop.answers = {true};
        control.mixCommand(store, settings);
        ASSERT_TRUE(control.isMixing()) << desktop.texts().join(QLatin1Char('|')).toStdString();
        runToEnd();
        EXPECT_EQ(control.lastOutcome(), MixOutcome::Completed);
        sonarel::testing::WavData wav;
        std::string error;
        ASSERT_TRUE(sonarel::testing::readWav(settings.outputFile.toStdString(), wav, error)) << error;
        EXPECT_EQ(wav.frames(), c.frames);
        EXPECT_NE(wav.at(0, 0), 0);
    }
}
