// SPDX-License-Identifier: GPL-3.0-or-later
// Opens the arrangement window ("Timeline") on a list (offscreen) and times how long it takes until every entry's
// peak levels are known, then does the same again with a fresh window over the same cache.
//
//   sonarel-arrangement-bench --csv list.csv [--threads N]
//
// The cache goes where the program keeps it ($XDG_CACHE_HOME/...): the caller points that
// variable at an empty folder for a cold first run. Prints one line per opening.
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <cstdio>

#include "app/MainDialog.h"
#include "app/MixListView.h"
#include "app/arrangement/ArrangementView.h"
#include "app/arrangement/ArrangementWindow.h"
#include "app/cli/ConsoleDesktop.h"
#include "model/MixListFile.h"
#include "render/MediaProbe.h"
#include "settings/ProfileStore.h"

using namespace sonarel;

namespace {

bool loadList(const QString& csv, MainDialog& dialog, media::MediaLibrary& library)
{
    std::vector<MixItem> entries;
    ImportError error;
    if (!readMixListFile(csv, entries, error)) {
        std::fprintf(stderr, "%s:%d: %s\n", qPrintable(csv), error.line, error.message.c_str());
        return false;
    }
    MixItemStore& store = dialog.store();
    for (const MixItem& entry : entries) {
        if (appendMeasured(store, library, entry) != AppendResult::Appended)
            return false;
    }
    dialog.mixList().refresh(store);
    return true;
}

// The peak resident memory so far, in MiB (Linux; 0 elsewhere).
double peakMiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    return 0;
}

// Opens the window, waits until no peaks are pending, and reports.
void timeOpening(const char* label, MainDialog& dialog)
{
    QElapsedTimer clock;
    clock.start();
    dialog.arrangementCommand();
    ArrangementWindow& window = *dialog.arrangementWindow();
    const qint64 opened = clock.elapsed();
    while (window.peaks().pendingCount() > 0)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    const qint64 done = clock.elapsed();
    int ready = 0;
    for (int i = 0; i < dialog.store().audioCount(); ++i)
        ready += window.view().peakStateOf(i) == PeakState::Ready;
    std::printf(
        "%s: %d entries, window shown in %.3f s, all peaks in %.3f s, %d files decoded, %d ready, "
        "peak memory %.1f MiB\n",
        label, dialog.store().audioCount(), opened / 1000.0, done / 1000.0, window.peaks().measuredCount(), ready,
        peakMiB());
    std::fflush(stdout);
    window.close();
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption csv(QStringLiteral("csv"), QStringLiteral("The list (path,start,volume,speed)."),
                                 QStringLiteral("FILE"));
    parser.addOption(csv);
    parser.addHelpOption();
    parser.process(app);
    if (!parser.isSet(csv)) {
        std::fprintf(stderr, "usage: sonarel-arrangement-bench --csv list.csv\n");
        return 2;
    }

    ConsoleDesktop desktop(false);
    ProfileStore profile;
    media::MediaLibrary library;
    MainDialog dialog(desktop, profile, library, QDir::tempPath());
    if (!dialog.isReady() || !loadList(parser.value(csv), dialog, library))
        return 1;
    std::printf("list loaded, window not yet opened: peak memory %.1f MiB\n", peakMiB());
    timeOpening("first opening", dialog);
    timeOpening("second opening", dialog);
    return 0;
}
