// The output options dialog driven as a person would: opened from the main window or on its own,
// its lists chosen with the keyboard, its buttons clicked; the profile read back from its file and
// the next mix read back from disk.
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <cstdlib>
#include <functional>

#include "app/ControlIds.h"
#include "app/MainDialog.h"
#include "platform/PathLimits.h"
#include "platform/media/FaultPoints.h"
#include "res/Resources.h"
#include "settings/OutputOptions.h"
#include "settings/OutputOptionsDialog.h"
#include "settings/ProfileStore.h"
#include "support/RecordingDesktop.h"
#include "support/WavFile.h"

using namespace sonarel;
using sonarel::testing::RecordingDesktop;

namespace {

const QString kPcm16Name = QStringLiteral("PCM signed 16-bit little-endian");
const QList<int> kVisibleIds{kIdOutputFileBox, kIdBrowse, kIdSampleRateList, kIdChannelsList, kIdBitsList,
                             kIdOptionsOk, kIdOptionsCancel};
const QList<int> kHiddenIds{kIdFrameRateList, kIdFrameRateBox, kIdFrameSizeList, kIdWidthBox,
                            kIdHeightBox, kIdPictureFitList, kIdVideoCompressorList, kIdAudioCompressorList};

template <typename Widget>
Widget* control(QWidget& dialog, int id)
{
    return dialog.findChild<Widget*>(objectNameOf(id));
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

}  // namespace

class OutputOptionsDialogTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    int counter_ = 0;

    // The dialog on its own, over a profile of its own.
    struct Alone {
        RecordingDesktop desktop;
        ProfileStore profile;
        media::MediaLibrary library;
        std::unique_ptr<OutputOptionsDialog> dialog;
        explicit Alone(const QString& app) : profile(app)
        {
            if (media::failed(library.initialize()))
                qFatal("the media engine did not start");
        }
        OutputOptionsDialog& open(const OutputSettings& settings)
        {
            dialog = std::make_unique<OutputOptionsDialog>(settings, profile, desktop, library);
            dialog->show();
            return *dialog;
        }
        // Every key of the profile with its value, as the file holds it.
        QMap<QString, QString> stored() const
        {
            QMap<QString, QString> values;
            QSettings file(profile.location(), QSettings::IniFormat);
            for (const QString& key : file.allKeys())
                values.insert(key, file.value(key).toString());
            return values;
        }
    };

    // The main window with the dialog opened from its Options button.
    struct Window {
        RecordingDesktop desktop;
        ProfileStore profile;
        media::MediaLibrary library;
        MainDialog main;
        Window(const QString& app, const QString& music) : profile(app), main(desktop, profile, library, music) {}
        QString status() { return main.findChild<QLabel*>(objectNameOf(kIdStatusLine))->text(); }
        QPushButton* button(int id) { return main.findChild<QPushButton*>(objectNameOf(id)); }

        // Presses Options and runs `steps` on the modal dialog; one that is still open afterwards is
        // cancelled, so a failing step never leaves the test waiting.
        bool options(const std::function<void(OutputOptionsDialog&)>& steps)
        {
            bool opened = false;
            QTimer::singleShot(0, &main, [&] {
                auto* dialog = qobject_cast<OutputOptionsDialog*>(QApplication::activeModalWidget());
                if (!dialog)
                    return;
                opened = true;
                steps(*dialog);
                if (dialog->isVisible())
                    dialog->reject();
            });
            QTest::mouseClick(button(kIdOptions), Qt::LeftButton);
            return opened;
        }
    };

    QString app() { return QStringLiteral("sonarel-options-%1").arg(++counter_); }

    OutputSettings someSettings()
    {
        OutputSettings settings;
        settings.outputFile = dir_.filePath(QStringLiteral("in.folder/received.wav"));
        return settings;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        ::setenv("XDG_CONFIG_HOME", dir_.filePath(QStringLiteral("config")).toLocal8Bit().constData(), 1);
        initSonarelResources();
    }

    void aFreshProfileOpensWithDefaultsAndOnlyTheVisibleControls()
    {
        Window w(app(), dir_.filePath(QStringLiteral("Music")));
        const QString defaultFile = dir_.filePath(QStringLiteral("Music/audio_mix.wav"));
        QVERIFY(w.options([&](OutputOptionsDialog& d) {
            QCOMPARE(d.windowTitle(), QStringLiteral("Set output options"));
            QCOMPARE(text(d, kIdOutputFileBox), defaultFile);
            QCOMPARE(text(d, kIdSampleRateList), QStringLiteral("44100"));
            QCOMPARE(text(d, kIdChannelsList), QStringLiteral("Stereo"));
            QCOMPARE(text(d, kIdBitsList), QStringLiteral("16"));
            QVERIFY(QTest::qWaitForWindowActive(&d));
            QCOMPARE(QApplication::focusWidget(), control<QWidget>(d, kIdOutputFileBox));
            for (int id : kVisibleIds)
                QVERIFY2(control<QWidget>(d, id)->isVisible(), qPrintable(objectNameOf(id)));
            // The stored video-form values ride along out of sight.
            for (int id : kHiddenIds)
                QVERIFY2(!control<QWidget>(d, id)->isVisible(), qPrintable(objectNameOf(id)));
            QCOMPARE(text(d, kIdFrameRateBox), QStringLiteral("23.976"));
            QCOMPARE(text(d, kIdFrameRateList), QStringLiteral("23.976"));
            QCOMPARE(text(d, kIdWidthBox), QStringLiteral("352"));
            QCOMPARE(text(d, kIdHeightBox), QStringLiteral("240"));
            QCOMPARE(text(d, kIdPictureFitList), QStringLiteral("Preserve aspect ratio"));
            // The compressor lists come from the engine, after their own first entries.
            auto* video = control<QComboBox>(d, kIdVideoCompressorList);
            auto* audio = control<QComboBox>(d, kIdAudioCompressorList);
            QCOMPARE(video->itemText(0), kFirstVideoCompressor);
            QCOMPARE(audio->itemText(0), kFirstAudioCompressor);
            QVERIFY(video->count() > 1);
            QVERIFY(audio->findText(kPcm16Name) > 0);
            QCOMPARE(video->currentIndex(), 0);
            QCOMPARE(audio->currentIndex(), 0);
            // Every visible control lies inside the dialog and apart from the others.
            for (int i = 0; i < kVisibleIds.size(); ++i) {
                const QRect a = control<QWidget>(d, kVisibleIds[i])->geometry();
                QVERIFY(d.rect().contains(a));
                for (int j = i + 1; j < kVisibleIds.size(); ++j)
                    QVERIFY(!a.intersects(control<QWidget>(d, kVisibleIds[j])->geometry()));
            }
        }));
        QVERIFY(w.desktop.messages.empty());
    }

    void theChosenWaveFormatMakesTheNextMixAndIsNotStored()
    {
        const QString name = app();
        ProfileStore(name).WriteInt(profile::kSettings, profile::kOutputWidth, 350);
        Window w(name, dir_.filePath(QStringLiteral("Music")));
        const QString output = dir_.filePath(QStringLiteral("small.wav"));
        QVERIFY(w.options([&](OutputOptionsDialog& d) {
            QLineEdit* file = control<QLineEdit>(d, kIdOutputFileBox);
            file->selectAll();
            QTest::keyClicks(file, output);
            choose(d, kIdSampleRateList, QStringLiteral("22050"));
            choose(d, kIdChannelsList, QStringLiteral("Mono"));
            choose(d, kIdBitsList, QStringLiteral("8"));
            QTest::keyClick(&d, Qt::Key_Return);  // OK is the default button
            QVERIFY(!d.isVisible());
        }));
        QCOMPARE(w.status(), QStringLiteral("Output File: ") + output);
        const OutputSettings& chosen = w.main.outputSettings();
        QCOMPARE(chosen.outputFile, output);
        QCOMPARE(chosen.sampleRateIndex, 1);
        QCOMPARE(chosen.channelsIndex, 1);
        QCOMPARE(chosen.bitsIndex, 1);
        QCOMPARE(chosen.outputWidth, 350);  // the window keeps its start-up values; the profile gets 344

        // The profile holds exactly the stored output values, in their stored forms.
        QSettings file(w.profile.location(), QSettings::IniFormat);
        QCOMPARE(file.allKeys().size(), 7);
        QCOMPARE(file.value(QStringLiteral("Settings/OutputFrameRateIndex")).toString(), QStringLiteral("0"));
        QCOMPARE(file.value(QStringLiteral("Settings/OutputFrameRate")).toString(), QStringLiteral("23.976000"));
        QCOMPARE(file.value(QStringLiteral("Settings/OutputName")).toString(), output);
        QCOMPARE(file.value(QStringLiteral("Settings/OutputWidth")).toString(), QStringLiteral("344"));
        QCOMPARE(file.value(QStringLiteral("Settings/OutputHigh")).toString(), QStringLiteral("240"));
        QCOMPARE(file.value(QStringLiteral("DexVideoCompress/CompressorNumber")).toString(), QStringLiteral("-1"));
        QCOMPARE(file.value(QStringLiteral("DexAudioCompress/CompressorNumber")).toString(), QStringLiteral("-1"));

        // A constant level of 8192 becomes 128 + 32 in unsigned 8-bit mono at 22050 Hz.
        const QString input = dir_.filePath(QStringLiteral("level.wav"));
        sonarel::testing::writeWav16(input.toStdString(), 2, 44100,
                                     sonarel::testing::constant16(2, 44100, 0.5, 8192));
        w.main.addFiles({input});
        QTest::mouseClick(w.button(kIdMix), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(w.button(kIdMix)->text(), QStringLiteral("Mix"), 30000);
        sonarel::testing::WavData wav;
        std::string error;
        QVERIFY2(sonarel::testing::readWav(output.toStdString(), wav, error), error.c_str());
        QCOMPARE(wav.sampleRate, 22050);
        QCOMPARE(wav.channels, 1);
        QCOMPARE(wav.bitsPerSample, 8);
        QCOMPARE(wav.frames(), size_t{11025});
        for (std::size_t frame = 100; frame < wav.frames() - 100; ++frame)
            QCOMPARE(wav.at(frame, 0), 160);

        // The next start of the program keeps the file and begins with 44100 Hz, stereo, 16 bits.
        Window again(name, dir_.filePath(QStringLiteral("Music")));
        QCOMPARE(again.main.outputSettings().outputFile, output);
        QCOMPARE(again.main.outputSettings().sampleRateIndex, 0);
        QCOMPARE(again.main.outputSettings().channelsIndex, 0);
        QCOMPARE(again.main.outputSettings().bitsIndex, 0);
    }

    void cancelChangesNothing()
    {
        Window w(app(), dir_.filePath(QStringLiteral("Music")));
        const OutputSettings before = w.main.outputSettings();
        const QString statusBefore = w.status();
        for (const bool byEscape : {false, true}) {
            QVERIFY(w.options([&](OutputOptionsDialog& d) {
                control<QLineEdit>(d, kIdOutputFileBox)->setText(QStringLiteral("/elsewhere/other.wav"));
                choose(d, kIdSampleRateList, QStringLiteral("8000"));
                choose(d, kIdChannelsList, QStringLiteral("Mono"));
                choose(d, kIdBitsList, QStringLiteral("8"));
                if (byEscape)
                    QTest::keyClick(&d, Qt::Key_Escape);
                else
                    click(d, kIdOptionsCancel);
                QVERIFY(!d.isVisible());
            }));
            const OutputSettings& after = w.main.outputSettings();
            QCOMPARE(after.outputFile, before.outputFile);
            QCOMPARE(after.sampleRateIndex, 0);
            QCOMPARE(after.channelsIndex, 0);
            QCOMPARE(after.bitsIndex, 0);
            QCOMPARE(w.status(), statusBefore);
            QVERIFY(QSettings(w.profile.location(), QSettings::IniFormat).allKeys().isEmpty());
        }
    }

    void aTypedPathIsStoredUnchangedEvenWhenEmpty()
    {
        Window w(app(), dir_.filePath(QStringLiteral("Music")));
        for (const QString& typed : {QStringLiteral("  relative name, no extension "), QString()}) {
            QVERIFY(w.options([&](OutputOptionsDialog& d) {
                QLineEdit* file = control<QLineEdit>(d, kIdOutputFileBox);
                file->clear();
                QTest::keyClicks(file, typed);
                click(d, kIdOptionsOk);
            }));
            QCOMPARE(w.main.outputSettings().outputFile, typed);
            QCOMPARE(w.status(), QStringLiteral("Output File: ") + typed);
            QCOMPARE(w.profile.ReadString(profile::kSettings, profile::kOutputName, QStringLiteral("unset")), typed);
        }
        QVERIFY(w.desktop.messages.empty());
    }

    void browseProposesAWavNameInTheReceivedFolder()
    {
        Alone a(app());
        OutputOptionsDialog& d = a.open(someSettings());
        control<QLineEdit>(d, kIdOutputFileBox)->setText(QStringLiteral("/typed/but/not/confirmed.wav"));
        const QString folder = dir_.filePath(QStringLiteral("my.folder/"));
        const std::pair<QString, QString> cases[] = {
            {folder + QStringLiteral("newname"), folder + QStringLiteral("newname.wav")},
            {folder + QStringLiteral("song.mp3"), folder + QStringLiteral("song.wav")},
            {folder + QStringLiteral("out.final.wav"), folder + QStringLiteral("out.final.wav")},
            {QString(), folder + QStringLiteral("out.final.wav")},  // cancelled: the box keeps its text
        };
        for (const auto& [returned, shown] : cases) {
            if (!returned.isEmpty())
                a.desktop.fileToSave.push_back(returned);
            click(d, kIdBrowse);
            QCOMPARE(text(d, kIdOutputFileBox), shown);
        }
        QCOMPARE(a.desktop.dialogRequests.size(), size_t{4});
        const FileDialogRequest& request = a.desktop.dialogRequests.front();
        QCOMPARE(request.title, QStringLiteral("Select Output File Name"));
        QCOMPARE(request.initialFolder, dir_.filePath(QStringLiteral("in.folder")));
        QCOMPARE(request.filters.size(), 1);
        QCOMPARE(request.filters[0].displayText, QStringLiteral("WAV file"));
        QCOMPARE(request.filters[0].patterns, QStringList{QStringLiteral("*.wav")});
        QVERIFY(!request.confirmOverwrite);
        // Nothing is taken until OK.
        QVERIFY(a.stored().isEmpty());
        QCOMPARE(d.settings().outputFile, someSettings().outputFile);

        // A received name in the root or without a folder starts in "/" or the current folder.
        for (const auto& [received, start] : {std::pair{QStringLiteral("/top.wav"), QStringLiteral("/")},
                                              std::pair{QStringLiteral("bare.wav"), QStringLiteral(".")}}) {
            OutputSettings settings;
            settings.outputFile = received;
            click(a.open(settings), kIdBrowse);
            QCOMPARE(a.desktop.dialogRequests.back().initialFolder, start);
        }
    }

    void storedVideoValuesAreNormalisedAtOk_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("storedRate");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<QString>("writtenRate");  // empty: OK refused
        QTest::addColumn<QString>("writtenIndex");
        QTest::addColumn<QString>("writtenWidth");
        QTest::addColumn<QString>("writtenHeight");
        QTest::newRow("custom rate with three decimals") << 5 << "12.34567" << 352 << 240 << "12.346000" << "5" << "352" << "240";
        QTest::newRow("custom 12.5") << 5 << "12.5" << 350 << 10 << "12.500000" << "5" << "344" << "16";
        QTest::newRow("table rate, odd sizes") << 3 << "99" << -7 << 721 << "29.970000" << "3" << "16" << "720";
        QTest::newRow("index out of range") << 9 << "" << 640 << 480 << "23.976000" << "0" << "640" << "480";
        QTest::newRow("smallest custom rate") << 5 << "0.001" << 352 << 240 << "0.001000" << "5" << "352" << "240";
        QTest::newRow("not a number") << 5 << "fast" << 352 << 240 << "" << "" << "" << "";
        QTest::newRow("too small") << 5 << "0.0004" << 352 << 240 << "" << "" << "" << "";
        QTest::newRow("infinite") << 5 << "inf" << 352 << 240 << "" << "" << "" << "";
        QTest::newRow("nan") << 5 << "nan" << 352 << 240 << "" << "" << "" << "";
    }

    void storedVideoValuesAreNormalisedAtOk()
    {
        QFETCH(int, index);
        QFETCH(QString, storedRate);
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(QString, writtenRate);
        Alone a(app());
        a.profile.WriteInt(profile::kSettings, profile::kOutputFrameRateIndex, index);
        if (!storedRate.isEmpty())
            a.profile.WriteString(profile::kSettings, profile::kOutputFrameRate, storedRate);
        a.profile.WriteInt(profile::kSettings, profile::kOutputWidth, width);
        a.profile.WriteInt(profile::kSettings, profile::kOutputHigh, height);
        const QMap<QString, QString> before = a.stored();
        OutputOptionsDialog& d = a.open(loadOutputSettings(a.profile, dir_.path(), a.desktop));

        click(d, kIdOptionsOk);
        if (writtenRate.isEmpty()) {
            // Every OK is refused the same way; only Cancel closes, and nothing is written.
            click(d, kIdOptionsOk);
            QCOMPARE(a.desktop.texts(), QStringList(2, kFrameRateTooSmall));
            QCOMPARE(a.desktop.messages[0].caption, applicationName());
            QVERIFY(d.isVisible());
            click(d, kIdOptionsCancel);
            QVERIFY(!d.isVisible());
            QCOMPARE(a.stored(), before);
            return;
        }
        QVERIFY(!d.isVisible());
        QCOMPARE(d.result(), int(QDialog::Accepted));
        const QMap<QString, QString> after = a.stored();
        QCOMPARE(after.value(QStringLiteral("Settings/OutputFrameRate")), writtenRate);
        QTEST(after.value(QStringLiteral("Settings/OutputFrameRateIndex")), "writtenIndex");
        QTEST(after.value(QStringLiteral("Settings/OutputWidth")), "writtenWidth");
        QTEST(after.value(QStringLiteral("Settings/OutputHigh")), "writtenHeight");
        QVERIFY(a.desktop.messages.empty());
    }

    void compressorListFailuresAreToldOncePerListAndTheDialogWorks_data()
    {
        QTest::addColumn<QString>("point");
        QTest::addColumn<QString>("message");
        auto name = [](std::string_view point) { return QString::fromLatin1(point.data(), qsizetype(point.size())); };
        QTest::newRow("system enumerator") << name(media::fault::kCreateSystemEnumerator)
                                           << "Failed to create system enumerator";
        QTest::newRow("class enumerator") << name(media::fault::kCreateClassEnumerator)
                                          << "Failed to create class enumerator";
    }

    void compressorListFailuresAreToldOncePerListAndTheDialogWorks()
    {
        QFETCH(QString, point);
        QFETCH(QString, message);
        Alone a(app());
        a.library.faults().fail(point.toStdString(), media::kErrFail, 0, -1);
        for (int opening = 1; opening <= 2; ++opening) {
            OutputOptionsDialog& d = a.open(someSettings());
            QCOMPARE(a.desktop.texts(), QStringList(2 * opening, message));
            QCOMPARE(a.desktop.messages.back().caption, applicationName());
            QCOMPARE(control<QComboBox>(d, kIdVideoCompressorList)->count(), 1);
            QCOMPARE(control<QComboBox>(d, kIdAudioCompressorList)->count(), 1);
            choose(d, kIdChannelsList, QStringLiteral("Mono"));
            click(d, kIdOptionsOk);
            QVERIFY(!d.isVisible());
            QCOMPARE(d.settings().channelsIndex, 1);
            QCOMPARE(a.profile.ReadInt(profile::kAudioCompress, profile::kCompressorNumber, 0), -1);
        }

        // Only the failing step is affected: one failure leaves the other list whole.
        Alone once(app());
        once.library.faults().fail(point.toStdString());
        OutputOptionsDialog& d = once.open(someSettings());
        QCOMPARE(once.desktop.texts(), QStringList{message});
        QCOMPARE(control<QComboBox>(d, kIdVideoCompressorList)->count(), 1);
        QVERIFY(control<QComboBox>(d, kIdAudioCompressorList)->findText(kPcm16Name) > 0);
    }

    void aPathLongerThanThePlatformAllowsIsRefusedNotCut()
    {
        Alone a(app());
        OutputOptionsDialog& d = a.open(someSettings());
        QLineEdit* file = control<QLineEdit>(d, kIdOutputFileBox);
        const QString tooLong = QStringLiteral("/") + QString(int(kPathBufferSize) - 1, QLatin1Char('a'));
        file->setText(tooLong);
        click(d, kIdOptionsOk);
        QVERIFY(d.isVisible());
        QCOMPARE(a.desktop.messages.size(), size_t{1});
        QVERIFY(a.desktop.messages[0].text.contains(QString::number(kPathBufferSize - 1)));
        QVERIFY(a.stored().isEmpty());
        QCOMPARE(file->text(), tooLong);
        QCOMPARE(file->selectedText(), tooLong);

        // One byte shorter fits. A name of two-byte characters counts in bytes.
        file->setText(tooLong.chopped(1));
        click(d, kIdOptionsOk);
        QVERIFY(!d.isVisible());
        QCOMPARE(a.profile.ReadString(profile::kSettings, profile::kOutputName, {}), tooLong.chopped(1));
        OutputOptionsDialog& wide = a.open(someSettings());
        control<QLineEdit>(wide, kIdOutputFileBox)->setText(QString(int(kPathBufferSize) / 2, QChar(0xE9)));
        click(wide, kIdOptionsOk);
        QVERIFY(wide.isVisible());
        QCOMPARE(a.desktop.messages.size(), size_t{2});
    }

    void optionsWhileAMixRunsLeaveThatMixAlone()
    {
        Window w(app(), dir_.filePath(QStringLiteral("Music")));
        const QString running = dir_.filePath(QStringLiteral("running.wav"));
        const QString next = dir_.filePath(QStringLiteral("next.wav"));
        OutputSettings settings = w.main.outputSettings();
        settings.outputFile = running;
        w.main.setOutputSettings(settings);
        const QString input = dir_.filePath(QStringLiteral("long.wav"));
        sonarel::testing::writeWav16(input.toStdString(), 2, 44100,
                                     sonarel::testing::sine16(2, 44100, 20.0, 440, 6000));
        w.main.addFiles({input});
        QTest::mouseClick(w.button(kIdMix), Qt::LeftButton);
        QVERIFY(w.main.runControl().isMixing());
        QVERIFY(w.options([&](OutputOptionsDialog& d) {
            control<QLineEdit>(d, kIdOutputFileBox)->setText(next);
            choose(d, kIdSampleRateList, QStringLiteral("8000"));
            choose(d, kIdBitsList, QStringLiteral("8"));
            click(d, kIdOptionsOk);
        }));
        QCOMPARE(w.status(), QStringLiteral("Output File: ") + next);
        const bool stillMixing = w.main.runControl().isMixing();
        QTRY_COMPARE_WITH_TIMEOUT(w.button(kIdMix)->text(), QStringLiteral("Mix"), 60000);
        if (stillMixing)
            QCOMPARE(w.status(), QStringLiteral("Done. Output File: ") + running);
        sonarel::testing::WavData wav;
        std::string error;
        QVERIFY2(sonarel::testing::readWav(running.toStdString(), wav, error), error.c_str());
        QCOMPARE(wav.sampleRate, 44100);
        QCOMPARE(wav.bitsPerSample, 16);
        QCOMPARE(wav.frames(), size_t{20 * 44100});
        QVERIFY(!QFile::exists(next));
        QCOMPARE(w.main.outputSettings().outputFile, next);
        QCOMPARE(w.main.outputSettings().sampleRateIndex, 3);
    }
};

QTEST_MAIN(OutputOptionsDialogTest)
#include "OutputOptionsDialogTest.moc"
