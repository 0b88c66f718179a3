// SPDX-License-Identifier: GPL-3.0-or-later
// The main window with its real parts around it (engine, profile, recording desktop), for widget
// tests, the scratch folder such tests work in, and a way to act inside a modal dialog that the
// window opens.
#pragma once

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdlib>
#include <functional>
#include <memory>

#include "app/MainDialog.h"
#include "app/MixListView.h"
#include "controls/ControlIds.h"
#include "controls/ImageButton.h"
#include "res/Resources.h"
#include "settings/ProfileStore.h"
#include "support/RecordingDesktop.h"
#include "support/WavFile.h"

namespace sonarel::testing {

// Keeps the window tests' profiles inside `dir` and loads the program's resources.
inline bool prepareWindowTests(const QTemporaryDir& dir)
{
    if (!dir.isValid())
        return false;
    ::setenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toLocal8Bit().constData(), 1);
    initSonarelResources();
    return true;
}

// The window's focusable controls in reading order.
inline constexpr int kReadingOrder[] = {kIdAdd,     kIdOptions,        kIdMix,       kIdHelp,       kIdExit,
                                        kIdMixList, kIdDeleteSelected, kIdDeleteAll, kIdProperties, kIdHomepage,
                                        kIdAbout};

struct MainWindowFixture {
    RecordingDesktop desktop;
    ProfileStore profile;
    media::MediaLibrary library;
    MainDialog dialog;

    MainWindowFixture(const QString& app, const QString& music) : profile(app), dialog(desktop, profile, library, music)
    {
    }
    ImageButton* button(int id) { return dialog.findChild<ImageButton*>(objectNameOf(id)); }
    QWidget* control(int id) { return dialog.findChild<QWidget*>(objectNameOf(id)); }
    QString status() { return dialog.findChild<QLabel*>(objectNameOf(kIdStatusLine))->text(); }
    MixListView& list() { return dialog.mixList(); }
    int rows() { return list().rowCount(); }
    QString cell(int row, int column) { return list().item(row, column)->text(); }
};

// A scratch folder that also holds the settings, so no test touches the user's profile; windows
// made here get a profile and an output file of their own.
class MainWindowScratch {
public:
    QTemporaryDir dir;

    // From initTestCase, before the first window; false when the folder could not be made.
    bool setUp() { return prepareWindowTests(dir); }

    QString path(const QString& name) const { return dir.filePath(name); }

    std::unique_ptr<MainWindowFixture> makeWindow()
    {
        ++windows_;
        auto window = std::make_unique<MainWindowFixture>(QStringLiteral("sonarel-ui-%1").arg(windows_),
                                                          path(QStringLiteral("Music")));
        OutputSettings settings = window->dialog.outputSettings();
        settings.outputFile = path(QStringLiteral("out%1.wav").arg(windows_));
        window->dialog.setOutputSettings(settings);
        return window;
    }

    // A 16-bit stereo 440 Hz tone of `seconds` written as `name`; returns its path.
    QString tone(const QString& name, double seconds) const
    {
        const QString file = path(name);
        writeWav16(file.toStdString(), 2, 44100, sine16(2, 44100, seconds, 440, 6000));
        return file;
    }

private:
    int windows_ = 0;
};

// Runs `act` on the next modal dialog of type D once it shows, inside that dialog's own event
// loop. A dialog that `act` leaves open is cancelled, so a failed check never hangs the test.
template <typename D>
class WhenDialogOpens {
public:
    explicit WhenDialogOpens(std::function<void(D&)> act) : act_(std::move(act))
    {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
        timer_.start();
    }
    bool ran() const { return ran_; }

private:
    void poll()
    {
        auto* dialog = qobject_cast<D*>(QApplication::activeModalWidget());
        if (dialog == nullptr || !dialog->isVisible())
            return;
        timer_.stop();
        ran_ = true;
        act_(*dialog);
        if (dialog->isVisible())
            dialog->reject();
    }

    std::function<void(D&)> act_;
    QTimer timer_;
    bool ran_ = false;
};

}  // namespace sonarel::testing
