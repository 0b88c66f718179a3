// The main window with its real parts around it (engine, profile, recording desktop), for widget
// tests, and a way to act inside a modal dialog that the window opens.
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

#include "app/ControlIds.h"
#include "app/MainDialog.h"
#include "app/MixListView.h"
#include "res/Resources.h"
#include "settings/ProfileStore.h"
#include "support/RecordingDesktop.h"

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

struct MainWindowFixture {
    RecordingDesktop desktop;
    ProfileStore profile;
    media::MediaLibrary library;
    MainDialog dialog;

    MainWindowFixture(const QString& app, const QString& music) : profile(app), dialog(desktop, profile, library, music)
    {
    }
    QPushButton* button(int id) { return dialog.findChild<QPushButton*>(objectNameOf(id)); }
    QString status() { return dialog.findChild<QLabel*>(objectNameOf(kIdStatusLine))->text(); }
    MixListView& list() { return dialog.mixList(); }
    QString cell(int row, int column) { return list().item(row, column)->text(); }
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
