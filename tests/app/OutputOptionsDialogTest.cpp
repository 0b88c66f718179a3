// SPDX-License-Identifier: GPL-3.0-or-later
// The output options dialog driven as a person would: opened from the main window, its lists
// chosen with the keyboard, buttons clicked; the profile read back from its file and the
// next mix read back from disk.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <cstdlib>
#include <functional>

#include "app/MainDialog.h"
#include "controls/ControlIds.h"
#include "platform/PathLimits.h"
#include "platform/media/FaultPoints.h"
#include "res/Resources.h"
#include "settings/OutputOptions.h"
#include "settings/ProfileStore.h"
#include "settings/WaveFormatChoice.h"
#include "settings/ui/OutputOptionsDialog.h"
#include "support/MainWindowFixture.h"
#include "support/RecordingDesktop.h"
#include "support/WavFile.h"

using namespace sonarel;
using sonarel::testing::RecordingDesktop;

namespace {

const QString kPcm16Name = QStringLiteral("PCM signed 16-bit little-endian");

template <typename Widget = QWidget>
Widget* control(QWidget& dialog, int id)
{
    return dialog.findChild<Widget*>(objectNameOf(id));
}

QStringList entries(QWidget& dialog, int id)
{
    QStringList texts;
    auto* list = control<QComboBox>(dialog, id);
    for (int i = 0; i < list->count(); ++i)
        texts << list->itemText(i);
    return texts;
}

QString text(QWidget& dialog, int id)
{
    if (auto* box = control<QLineEdit>(dialog, id))
        return box->text();
    return control<QComboBox>(dialog, id)->currentText();
}

void click(QWidget& dialog, int id)
{
    QTest::mouseClick(control<QPushButton>(dialog, id), Qt::LeftButton);
}

// Moves a closed drop-down list to `entry` with the arrow keys, as a keyboard user does.
void choose(QWidget& dialog, int id, const QString& entry)
{
    auto* list = control<QComboBox>(dialog, id);
    list->setFocus();
    const int target = list->findText(entry);
    QVERIFY2(target >= 0, qPrintable(entry));
    while (list->currentIndex() != target)
        QTest::keyClick(list, list->currentIndex() < target ? Qt::Key_Down : Qt::Key_Up);
}

// Every value of a profile, as its file holds it.
QMap<QString, QString> stored(const ProfileStore& profile)
{
    QMap<QString, QString> values;
    QSettings file(profile.location(), QSettings::IniFormat);
    for (const QString& key : file.allKeys())
        values.insert(key, file.value(key).toString());
    return values;
}

using Window = sonarel::testing::MainWindowFixture;

// Presses Options and runs `steps` on the dialog it opens.
bool options(Window& w, const std::function<void(OutputOptionsDialog&)>& steps)
{
    sonarel::testing::WhenDialogOpens<OutputOptionsDialog> opened(steps);
    QTest::mouseClick(w.button(kIdOptions), Qt::LeftButton);
    return opened.ran();
}

}  // namespace

class OutputOptionsDialogTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    int counter_ = 0;

    QString app() { return QStringLiteral("sonarel-options-%1").arg(++counter_); }
    QString music() { return dir_.filePath(QStringLiteral("Music")); }

    // A window whose output file lies in "in.folder", over a profile prepared by `prepare`.
    std::unique_ptr<Window> window(const std::function<void(ProfileStore&)>& prepare = {})
    {
        const QString name = app();
        if (prepare) {
            ProfileStore profile(name);
            prepare(profile);
        }
        auto w = std::make_unique<Window>(name, music());
        OutputSettings settings = w->dialog.outputSettings();
        settings.outputFile = dir_.filePath(QStringLiteral("in.folder/received.wav"));
        w->dialog.setOutputSettings(settings);
        return w;
    }

    QString writeInput(const QString& name, const std::vector<std::int16_t>& samples)
    {
        const QString path = dir_.filePath(name);
        sonarel::testing::writeWav16(path.toStdString(), 2, 44100, samples);
        return path;
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(sonarel::testing::prepareWindowTests(dir_)); }

    void aFreshProfileOpensWithDefaultsAndOnlyTheVisibleControls()
    {
        Window w(app(), music());
        QVERIFY(options(w, [&](OutputOptionsDialog& d) {
            QCOMPARE(d.windowTitle(), QStringLiteral("Set output options"));
            QCOMPARE(text(d, kIdOutputFileBox), dir_.filePath(QStringLiteral("Music/audio_mix.wav")));
            QCOMPARE(text(d, kIdSampleRateList), QStringLiteral("44100"));
            QCOMPARE(text(d, kIdChannelsList), QStringLiteral("Stereo"));
            QCOMPARE(text(d, kIdBitsList), QStringLiteral("16"));
            QVERIFY(QTest::qWaitForWindowActive(&d));
            QCOMPARE(QApplication::focusWidget(), control(d, kIdOutputFileBox));
            QCOMPARE(control<QLineEdit>(d, kIdOutputFileBox)->selectedText(), text(d, kIdOutputFileBox));
            for (int id : {kIdOutputFileBox, kIdBrowse, kIdSampleRateList, kIdChannelsList, kIdBitsList, kIdEdgeFadeBox,
                           kIdOptionsOk, kIdOptionsCancel})
                QVERIFY2(control(d, id)->isVisible(), qPrintable(objectNameOf(id)));
            for (int id : {kIdFrameRateList, kIdFrameRateBox, kIdFrameSizeList, kIdWidthBox, kIdHeightBox,
                           kIdPictureFitList, kIdVideoCompressorList, kIdAudioCompressorList})
                QVERIFY2(!control(d, id)->isVisible(), qPrintable(objectNameOf(id)));
            // The compressor lists: their own first entry selected, then the engine's encoders.
            auto* video = control<QComboBox>(d, kIdVideoCompressorList);
            auto* audio = control<QComboBox>(d, kIdAudioCompressorList);
            QCOMPARE(video->currentText(), kFirstVideoCompressor);
            QCOMPARE(audio->currentText(), kFirstAudioCompressor);
            QVERIFY(video->count() > 1);
            QVERIFY(audio->findText(kPcm16Name) > 0);
        }));
        QVERIFY(w.desktop.messages.empty());
    }

    void theChosenWaveFormatMakesTheNextMixAndIsNotStored()
    {
        const QString name = app();
        ProfileStore(name).WriteInt(profile::kSettings, profile::kOutputWidth, 350);
        Window w(name, music());
        const QString output = dir_.filePath(QStringLiteral("small.wav"));
        QVERIFY(options(w, [&](OutputOptionsDialog& d) {
            QTest::keyClicks(control(d, kIdOutputFileBox), output);  // replaces the selected name
            choose(d, kIdSampleRateList, QStringLiteral("22050"));
            choose(d, kIdChannelsList, QStringLiteral("Mono"));
            choose(d, kIdBitsList, QStringLiteral("8"));
            QTest::keyClick(&d, Qt::Key_Return);  // OK is the default button
            QVERIFY(!d.isVisible());
        }));
        QCOMPARE(w.status(), QStringLiteral("Output File: ") + output);
        const OutputSettings& chosen = w.dialog.outputSettings();
        QCOMPARE(chosen.outputFile, output);
        QCOMPARE(chosen.outputWidth, 350);  // only the file and the wave format come back
        const QMap<QString, QString> expected{
            {QStringLiteral("Settings/OutputFrameRateIndex"), QStringLiteral("0")},
            {QStringLiteral("Settings/OutputFrameRate"), QStringLiteral("23.976000")},
            {QStringLiteral("Settings/OutputName"), output},
            {QStringLiteral("Settings/OutputWidth"), QStringLiteral("344")},
            {QStringLiteral("Settings/OutputHigh"), QStringLiteral("240")},
            {QStringLiteral("DexVideoCompress/CompressorNumber"), QStringLiteral("-1")},
            {QStringLiteral("DexAudioCompress/CompressorNumber"), QStringLiteral("-1")}};
        QCOMPARE(stored(w.profile), expected);

        // A constant level of 8192 becomes 128 + 32 in unsigned 8-bit mono at 22050 Hz.
        w.dialog.addFiles({writeInput(QStringLiteral("level.wav"), sonarel::testing::constant16(2, 44100, 0.5, 8192))});
        QTest::mouseClick(w.button(kIdMix), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(w.button(kIdMix)->text(), QStringLiteral("Mix"), 60000);
        sonarel::testing::WavData wav;
        std::string error;
        QVERIFY2(sonarel::testing::readWav(output.toStdString(), wav, error), error.c_str());
        QCOMPARE(wav.sampleRate, 22050);
        QCOMPARE(wav.channels, 1);
        QCOMPARE(wav.bitsPerSample, 8);
        QCOMPARE(wav.frames(), std::int64_t{11025});
        for (std::int64_t frame = 100; frame < wav.frames() - 100; ++frame)
            QCOMPARE(wav.at(frame, 0), 160);

        // The next start keeps the file and begins with 44100 Hz, stereo, 16 bits again.
        Window again(name, music());
        QCOMPARE(again.dialog.outputSettings().outputFile, output);
        QCOMPARE(again.dialog.outputSettings().sampleRateIndex + again.dialog.outputSettings().channelsIndex +
                     again.dialog.outputSettings().bitsIndex,
                 0);
    }

    void cancelAndEscapeChangeNothing()
    {
        Window w(app(), music());
        const QString statusBefore = w.status();
        const QString fileBefore = w.dialog.outputSettings().outputFile;
        for (const bool byEscape : {false, true}) {
            QVERIFY(options(w, [&](OutputOptionsDialog& d) {
                control<QLineEdit>(d, kIdOutputFileBox)->setText(QStringLiteral("/elsewhere/other.wav"));
                choose(d, kIdSampleRateList, QStringLiteral("8000"));
                choose(d, kIdBitsList, QStringLiteral("8"));
                byEscape ? QTest::keyClick(&d, Qt::Key_Escape) : click(d, kIdOptionsCancel);
                QVERIFY(!d.isVisible());
            }));
            QCOMPARE(w.dialog.outputSettings().outputFile, fileBefore);
            QCOMPARE(w.dialog.outputSettings().sampleRateIndex, 0);
            QCOMPARE(w.dialog.outputSettings().bitsIndex, 0);
            QCOMPARE(w.status(), statusBefore);
            QVERIFY(stored(w.profile).isEmpty());
        }
    }

    // "Fade cut edges" edits the window's ramp: OK keeps it, Cancel does not, and it stays in 0..10.
    void theCutEdgeRampRoundTripsThroughTheDialog()
    {
        Window w(app(), music());
        auto upAndClose = [&](int presses, Qt::Key close) {
            return options(w, [&](OutputOptionsDialog& d) {
                QVERIFY(QTest::qWaitForWindowActive(&d));
                QTest::keyClick(&d, Qt::Key_F, Qt::AltModifier);  // the label's access key
                for (int i = 0; i < presses; ++i)
                    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up);
                QTest::keyClick(QApplication::focusWidget(), close);
            });
        };
        QCOMPARE(w.dialog.outputSettings().edgeFadeMs, 5);
        QVERIFY(upAndClose(3, Qt::Key_Return));
        QCOMPARE(w.dialog.outputSettings().edgeFadeMs, 8);
        QVERIFY(upAndClose(1, Qt::Key_Escape));
        QCOMPARE(w.dialog.outputSettings().edgeFadeMs, 8);
        QVERIFY(upAndClose(1, Qt::Key_Return));  // the dialog opened with the window's 8
        QCOMPARE(w.dialog.outputSettings().edgeFadeMs, 9);
        QVERIFY(upAndClose(5, Qt::Key_Return));
        QCOMPARE(w.dialog.outputSettings().edgeFadeMs, 10);
        QVERIFY(w.desktop.messages.empty());
    }

    // An empty name stays empty, also at the next start, and Mix then says that none is set.
    void aTypedPathIsStoredUnchangedEvenWhenEmpty()
    {
        const QString name = app();
        {
            Window w(name, music());
            for (const QString& typed : {QStringLiteral("  relative name, no extension "), QString()}) {
                QVERIFY(options(w, [&](OutputOptionsDialog& d) {
                    control<QLineEdit>(d, kIdOutputFileBox)->clear();
                    QTest::keyClicks(control(d, kIdOutputFileBox), typed);
                    click(d, kIdOptionsOk);
                }));
                QCOMPARE(w.status(), QStringLiteral("Output File: ") + typed);
                QCOMPARE(w.profile.ReadString(profile::kSettings, profile::kOutputName, QStringLiteral("unset")),
                         typed);
            }
            QVERIFY(w.desktop.messages.empty());
        }
        Window again(name, music());
        QCOMPARE(again.status(), QStringLiteral("Output File: "));
        again.dialog.addFiles({writeInput(QStringLiteral("unnamed.wav"),
                                          sonarel::testing::sine16(2, 44100, 0.2, 440, 3000))});
        QTest::mouseClick(again.button(kIdMix), Qt::LeftButton);
        QVERIFY(!again.dialog.runControl().isMixing());
        QCOMPARE(again.desktop.texts(), QStringList{QStringLiteral("No output file is set. Choose one in Options.")});
        QCOMPARE(again.status(), QStringLiteral("Output File: "));
    }

    void browseProposesAWavNameInTheReceivedFolder()
    {
        auto w = window();
        const QString folder = dir_.filePath(QStringLiteral("my.folder/"));
        const std::pair<QString, QString> cases[] = {
            {folder + QStringLiteral("newname"), folder + QStringLiteral("newname.wav")},
            {folder + QStringLiteral("song.mp3"), folder + QStringLiteral("song.wav")},
            {folder + QStringLiteral("out.final.wav"), folder + QStringLiteral("out.final.wav")},
            {QString(), folder + QStringLiteral("out.final.wav")},  // cancelled: the box keeps its text
        };
        QVERIFY(options(*w, [&](OutputOptionsDialog& d) {
            control<QLineEdit>(d, kIdOutputFileBox)->setText(QStringLiteral("/typed/not/confirmed.wav"));
            for (const auto& [returned, shown] : cases) {
                if (!returned.isEmpty())
                    w->desktop.fileToSave.push_back(returned);
                click(d, kIdBrowse);
                QCOMPARE(text(d, kIdOutputFileBox), shown);
            }
        }));
        const FileDialogRequest& request = w->desktop.dialogRequests.back();
        QCOMPARE(request.title, QStringLiteral("Select Output File Name"));
        QCOMPARE(request.initialFolder, dir_.filePath(QStringLiteral("in.folder")));
        QCOMPARE(request.filters.size(), 1);
        QCOMPARE(request.filters[0].displayText, QStringLiteral("WAV file"));
        QCOMPARE(request.filters[0].patterns, QStringList{QStringLiteral("*.wav")});
        QVERIFY(!request.confirmOverwrite);
        QVERIFY(stored(w->profile).isEmpty());  // nothing is taken before OK

        // A received name in the root, or without a folder, starts in "/" or the current folder.
        for (const auto& [file, start] : {std::pair{QStringLiteral("/top.wav"), QStringLiteral("/")},
                                          std::pair{QStringLiteral("bare.wav"), QStringLiteral(".")}}) {
            OutputSettings settings = w->dialog.outputSettings();
            settings.outputFile = file;
            w->dialog.setOutputSettings(settings);
            QVERIFY(options(*w, [&](OutputOptionsDialog& d) { click(d, kIdBrowse); }));
            QCOMPARE(w->desktop.dialogRequests.back().initialFolder, start);
        }
    }

    void theStoredFrameRateIsWrittenBackOrRefused_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("storedRate");
        QTest::addColumn<QString>("writtenIndex");
        QTest::addColumn<QString>("writtenRate");  // empty: every OK refused
        QTest::newRow("custom, three decimals kept") << 5 << "12.34567"
                                                     << "5"
                                                     << "12.346000";
        QTest::newRow("custom 12.5") << 5 << "12.5"
                                     << "5"
                                     << "12.500000";
        QTest::newRow("smallest custom") << 5 << "0.001"
                                         << "5"
                                         << "0.001000";
        QTest::newRow("from the table") << 3 << "fast"
                                        << "3"
                                        << "29.970000";
        QTest::newRow("index out of range") << 9 << "12.5"
                                            << "0"
                                            << "23.976000";
        QTest::newRow("not a number") << 5 << "fast"
                                      << ""
                                      << "";
        QTest::newRow("too small") << 5 << "0.0004"
                                   << ""
                                   << "";
        QTest::newRow("infinite") << 5 << "inf"
                                  << ""
                                  << "";
        QTest::newRow("nan") << 5 << "nan"
                             << ""
                             << "";
    }

    void theStoredFrameRateIsWrittenBackOrRefused()
    {
        QFETCH(int, index);
        QFETCH(QString, storedRate);
        QFETCH(QString, writtenRate);
        auto w = window([&](ProfileStore& profile) {
            profile.WriteInt(profile::kSettings, profile::kOutputFrameRateIndex, index);
            profile.WriteString(profile::kSettings, profile::kOutputFrameRate, storedRate);
        });
        const QMap<QString, QString> before = stored(w->profile);
        QVERIFY(options(*w, [&](OutputOptionsDialog& d) {
            click(d, kIdOptionsOk);
            if (!writtenRate.isEmpty())
                return;
            click(d, kIdOptionsOk);
            QCOMPARE(w->desktop.texts(), QStringList(2, kFrameRateTooSmall));
            QCOMPARE(w->desktop.messages[0].caption, applicationName());
            QVERIFY(d.isVisible());
        }));
        if (writtenRate.isEmpty()) {
            QCOMPARE(stored(w->profile), before);
            return;
        }
        QCOMPARE(stored(w->profile).value(QStringLiteral("Settings/OutputFrameRate")), writtenRate);
        QTEST(stored(w->profile).value(QStringLiteral("Settings/OutputFrameRateIndex")), "writtenIndex");
    }

    void compressorListFailuresAreToldOncePerListAndTheDialogWorks_data()
    {
        QTest::addColumn<QString>("point");
        QTest::addColumn<QString>("message");
        auto name = [](std::string_view point) { return QString::fromLatin1(point.data(), qsizetype(point.size())); };
        QTest::newRow("system") << name(media::fault::kCreateSystemEnumerator) << "Failed to create system enumerator";
        QTest::newRow("class") << name(media::fault::kCreateClassEnumerator) << "Failed to create class enumerator";
    }

    void compressorListFailuresAreToldOncePerListAndTheDialogWorks()
    {
        QFETCH(QString, point);
        QFETCH(QString, message);
        auto w = window();
        w->library.faults().fail(point.toStdString(), media::kErrFail, 0, -1);
        for (int opening = 1; opening <= 2; ++opening) {
            QVERIFY(options(*w, [&](OutputOptionsDialog& d) {
                QCOMPARE(w->desktop.texts(), QStringList(2 * opening, message));
                QCOMPARE(w->desktop.messages.back().caption, applicationName());
                QCOMPARE(control<QComboBox>(d, kIdVideoCompressorList)->count(), 1);
                QCOMPARE(control<QComboBox>(d, kIdAudioCompressorList)->count(), 1);
                choose(d, kIdChannelsList, QStringLiteral("Mono"));
                click(d, kIdOptionsOk);
            }));
            QCOMPARE(w->dialog.outputSettings().channelsIndex, 1);
            QCOMPARE(w->profile.ReadInt(profile::kAudioCompress, profile::kCompressorNumber, 0), -1);
        }

        // One failure leaves the other list whole.
        w->library.faults().clear();
        w->library.faults().fail(point.toStdString());
        QVERIFY(options(*w, [&](OutputOptionsDialog& d) {
            QCOMPARE(w->desktop.texts().size(), 5);
            QCOMPARE(control<QComboBox>(d, kIdVideoCompressorList)->count(), 1);
            QVERIFY(control<QComboBox>(d, kIdAudioCompressorList)->findText(kPcm16Name) > 0);
        }));
    }

    void aPathLongerThanThePlatformAllowsIsRefusedNotCut()
    {
        auto w = window();
        const int limit = int(kPathBufferSize) - 1;  // bytes
        const QString longest = QStringLiteral("/") + QString(limit - 1, QLatin1Char('a'));
        QVERIFY(options(*w, [&](OutputOptionsDialog& d) {
            QLineEdit* file = control<QLineEdit>(d, kIdOutputFileBox);
            for (const QString& name : {longest + QLatin1Char('a'), QString(limit / 2 + 1, QChar(0xE9))}) {
                file->setText(name);
                click(d, kIdOptionsOk);
                QVERIFY(d.isVisible());
                QVERIFY(w->desktop.messages.back().text.contains(QString::number(limit)));
                QCOMPARE(file->selectedText(), name);
            }
            QVERIFY(stored(w->profile).isEmpty());
            file->setText(longest);
            click(d, kIdOptionsOk);
        }));
        QCOMPARE(w->desktop.messages.size(), size_t{2});
        QCOMPARE(w->profile.ReadString(profile::kSettings, profile::kOutputName, {}), longest);
    }

    void optionsWhileAMixRunsLeaveThatMixAlone()
    {
        auto w = window();
        const QString running = w->dialog.outputSettings().outputFile;
        const QString next = dir_.filePath(QStringLiteral("next.wav"));
        w->dialog.addFiles({writeInput(QStringLiteral("long.wav"),
                                       sonarel::testing::sine16(2, 44100, 20.0, 440, 6000))});
        QTest::mouseClick(w->button(kIdMix), Qt::LeftButton);
        QVERIFY(w->dialog.runControl().isMixing());
        QVERIFY(options(*w, [&](OutputOptionsDialog& d) {
            control<QLineEdit>(d, kIdOutputFileBox)->setText(next);
            choose(d, kIdSampleRateList, QStringLiteral("8000"));
            click(d, kIdOptionsOk);
        }));
        QCOMPARE(w->status(), QStringLiteral("Output File: ") + next);
        const bool stillMixing = w->dialog.runControl().isMixing();
        QTRY_COMPARE_WITH_TIMEOUT(w->button(kIdMix)->text(), QStringLiteral("Mix"), 60000);
        if (stillMixing)
            QCOMPARE(w->status(), QStringLiteral("Done. Output File: ") + running);
        sonarel::testing::WavData wav;
        std::string error;
        QVERIFY2(sonarel::testing::readWav(running.toStdString(), wav, error), error.c_str());
        QCOMPARE(wav.sampleRate, 44100);
        QCOMPARE(wav.frames(), size_t{20 * 44100});
        QVERIFY(!QFile::exists(next));
        QCOMPARE(w->dialog.outputSettings().sampleRateIndex, 3);
    }
    // The lists offer every rate and sample format, the plain ones first; the format and the
    // file's extension follow each other whichever the person changes, and Browse asks for the
    // chosen format.
    void theFormatAndTheNamesExtensionFollowEachOther()
    {
        auto w = window();
        const QString folder = dir_.filePath(QStringLiteral("in.folder/"));
        QVERIFY(options(*w, [&](OutputOptionsDialog& d) {
            QCOMPARE(entries(d, kIdSampleRateList),
                     (QStringList{"44100", "22050", "11025", "8000", "48000", "88200", "96000", "192000"}));
            QCOMPARE(entries(d, kIdBitsList), (QStringList{"16", "8", "24", "32 (float)"}));
            QCOMPARE(text(d, kIdFormatList), QStringLiteral("WAV (.wav)"));
            QVERIFY(!control(d, kIdBitrateBox)->isEnabled());
            QVERIFY(!control<QCheckBox>(d, kIdNormalizeCheck)->isChecked());
            QVERIFY(!control(d, kIdNormalizeBox)->isEnabled());
            QVERIFY(!control<QCheckBox>(d, kIdDitherCheck)->isChecked());

            choose(d, kIdFormatList, QStringLiteral("MP3 (.mp3)"));
            QCOMPARE(text(d, kIdOutputFileBox), folder + QStringLiteral("received.mp3"));
            QVERIFY(control(d, kIdBitrateBox)->isEnabled());
            QCOMPARE(control<QSpinBox>(d, kIdBitrateBox)->value(), 192);
            choose(d, kIdFormatList, QStringLiteral("FLAC (.flac)"));
            QCOMPARE(text(d, kIdOutputFileBox), folder + QStringLiteral("received.flac"));
            QVERIFY(!control(d, kIdBitrateBox)->isEnabled());

            // Typing a name with a known extension chooses its format; an unknown one changes nothing.
            auto* box = control<QLineEdit>(d, kIdOutputFileBox);
            box->setFocus();
            box->selectAll();
            QTest::keyClicks(box, folder + QStringLiteral("typed.ogg"));
            QCOMPARE(text(d, kIdFormatList), QStringLiteral("Ogg Vorbis (.ogg)"));
            QCOMPARE(control<QSpinBox>(d, kIdBitrateBox)->value(), 160);
            QTest::keyClicks(box, QStringLiteral(".xyz"));
            QCOMPARE(text(d, kIdFormatList), QStringLiteral("Ogg Vorbis (.ogg)"));

            choose(d, kIdFormatList, QStringLiteral("Opus (.opus)"));
            QCOMPARE(text(d, kIdOutputFileBox), folder + QStringLiteral("typed.ogg.opus"));
            w->desktop.fileToSave.push_back(QStringLiteral("/elsewhere/chosen.wav"));
            click(d, kIdBrowse);
            QCOMPARE(text(d, kIdOutputFileBox), QStringLiteral("/elsewhere/chosen.opus"));
            control<QSpinBox>(d, kIdBitrateBox)->setValue(96);
            click(d, kIdOptionsOk);
        }));
        const FileDialogRequest& request = w->desktop.dialogRequests.back();
        QCOMPARE(request.filters[0].displayText, QStringLiteral("Opus file"));
        QCOMPARE(request.filters[0].patterns, QStringList{QStringLiteral("*.opus")});
        QCOMPARE(w->status(), QStringLiteral("Output File: /elsewhere/chosen.opus"));
        QCOMPARE(w->dialog.findChild<QLabel*>(QStringLiteral("outputFormat"))->text(),
                 QStringLiteral("Next mix: Opus, 48000 Hz, stereo, 96 kbit/s"));
        QCOMPARE(w->dialog.outputSettings().bitrateKbps, 96);
        // The bit rate is kept for the next opening; the format comes back from the extension.
        QVERIFY(options(*w, [&](OutputOptionsDialog& d) {
            QCOMPARE(text(d, kIdFormatList), QStringLiteral("Opus (.opus)"));
            QCOMPARE(control<QSpinBox>(d, kIdBitrateBox)->value(), 96);
        }));
    }

    // A float mix at a master's rate, normalized: the choices come back when the dialog opens
    // again, the file is what they say, and the loudness is shown under the unchanged completion
    // text until the next mix starts.
    void normalizingAndTheNewSampleFormatsMakeTheNextMix()
    {
        auto w = window();
        const QString output = dir_.filePath(QStringLiteral("loud.wav"));
        QVERIFY(options(*w, [&](OutputOptionsDialog& d) {
            control<QLineEdit>(d, kIdOutputFileBox)->setText(output);
            choose(d, kIdSampleRateList, QStringLiteral("96000"));
            choose(d, kIdBitsList, QStringLiteral("24"));
            QTest::mouseClick(control<QCheckBox>(d, kIdNormalizeCheck), Qt::LeftButton);
            QVERIFY(control(d, kIdNormalizeBox)->isEnabled());
            QCOMPARE(control<QDoubleSpinBox>(d, kIdNormalizeBox)->value(), -16.0);
            QCOMPARE(control<QDoubleSpinBox>(d, kIdTruePeakBox)->value(), -1.0);
            QVERIFY(control<QCheckBox>(d, kIdLimiterCheck)->isChecked());
            QVERIFY(control(d, kIdLimiterCheck)->isEnabled());
            control<QDoubleSpinBox>(d, kIdNormalizeBox)->setValue(-20.0);
            QTest::mouseClick(control<QCheckBox>(d, kIdDitherCheck), Qt::LeftButton);
            click(d, kIdOptionsOk);
        }));
        QVERIFY(options(*w, [&](OutputOptionsDialog& d) {
            QCOMPARE(text(d, kIdSampleRateList), QStringLiteral("96000"));
            QCOMPARE(text(d, kIdBitsList), QStringLiteral("24"));
            QVERIFY(control<QCheckBox>(d, kIdNormalizeCheck)->isChecked());
            QCOMPARE(control<QDoubleSpinBox>(d, kIdNormalizeBox)->value(), -20.0);
            QVERIFY(control<QCheckBox>(d, kIdDitherCheck)->isChecked());
            click(d, kIdOptionsCancel);
        }));
        const OutputSettings& chosen = w->dialog.outputSettings();
        QCOMPARE(chosen.normalizeLufs, std::optional<double>(-20.0));
        QVERIFY(chosen.dither);
        QCOMPARE(w->dialog.findChild<QLabel*>(QStringLiteral("outputFormat"))->text(),
                 QStringLiteral("Next mix: WAV, 96000 Hz, stereo, 24-bit, -20 LUFS"));
        QVERIFY(stored(w->profile).value(QStringLiteral("Settings/OutputName")) == output);
        QVERIFY(!stored(w->profile).contains(QStringLiteral("Settings/Normalize")));

        auto* loudness = w->dialog.findChild<QLabel*>(QStringLiteral("loudness"));
        w->dialog.addFiles({writeInput(QStringLiteral("speech.wav"),
                                       sonarel::testing::sine16(2, 44100, 3.0, 997, 3000))});
        QTest::mouseClick(w->button(kIdMix), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(w->button(kIdMix)->text(), QStringLiteral("Mix"), 60000);
        QCOMPARE(w->status(), QStringLiteral("Done. Output File: ") + output);
        QVERIFY2(loudness->text().startsWith(QStringLiteral("Loudness: -20.0 LUFS")), qPrintable(loudness->text()));
        QVERIFY(!loudness->isHidden());
        sonarel::testing::WavData wav;
        std::string error;
        QVERIFY2(sonarel::testing::readWav(output.toStdString(), wav, error), error.c_str());
        QCOMPARE(wav.sampleRate, 96000);
        QCOMPARE(wav.bitsPerSample, 24);
        QCOMPARE(wav.frames(), std::int64_t{3 * 96000});

        // A ceiling that keeps the mix from its target: the window says by how much it fell short.
        const QString louder = dir_.filePath(QStringLiteral("louder.wav"));
        QVERIFY(options(*w, [&](OutputOptionsDialog& d) {
            control<QLineEdit>(d, kIdOutputFileBox)->setText(louder);
            control<QDoubleSpinBox>(d, kIdNormalizeBox)->setValue(-3.0);
            control<QDoubleSpinBox>(d, kIdTruePeakBox)->setValue(-6.0);
            choose(d, kIdBitsList, QStringLiteral("32 (float)"));
            QTest::mouseClick(control<QCheckBox>(d, kIdLimiterCheck), Qt::LeftButton);
            click(d, kIdOptionsOk);
        }));
        QVERIFY(!w->dialog.outputSettings().limiter);
        QCOMPARE(w->dialog.findChild<QLabel*>(QStringLiteral("outputFormat"))->text(),
                 QStringLiteral("Next mix: WAV, 96000 Hz, stereo, 32-bit float, -3 LUFS"));
        QTest::mouseClick(w->button(kIdMix), Qt::LeftButton);
        QCOMPARE(loudness->text(), QString());  // a running mix has no figures yet
        QTRY_COMPARE_WITH_TIMEOUT(w->button(kIdMix)->text(), QStringLiteral("Mix"), 60000);
        QCOMPARE(w->status(), QStringLiteral("Done. Output File: ") + louder);
        QVERIFY2(loudness->text().contains(QStringLiteral("The true-peak ceiling of -6.0 dBTP held the mix")),
                 qPrintable(loudness->text()));
        QVERIFY2(loudness->text().contains(QStringLiteral("The gain was +")), qPrintable(loudness->text()));
        QVERIFY2(!loudness->text().contains(QStringLiteral("limiter")), qPrintable(loudness->text()));
    }
};

QTEST_MAIN(OutputOptionsDialogTest)
#include "OutputOptionsDialogTest.moc"
