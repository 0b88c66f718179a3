// SPDX-License-Identifier: GPL-3.0-or-later
// Renders the pictures of the manual (res/help/images/) from the real windows, off screen, so
// they always show the program as it is. Run after changing a window and commit what it writes:
//
//   build/res/tools/sonarel-help-images res/help/images
//
// It makes its own short test tones and a throw-away settings profile; the user's profile is
// never touched.
#include <QApplication>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QTemporaryDir>
#include <QTextStream>
#include <cmath>
#include <cstdio>

#include "app/AboutDialog.h"
#include "app/MainDialog.h"
#include "app/MixListView.h"
#include "platform/QtDesktop.h"
#include "platform/media/services/MediaLibrary.h"
#include "res/Resources.h"
#include "settings/ProfileStore.h"
#include "settings/ui/AudioSettingsDialog.h"
#include "settings/ui/OutputOptionsDialog.h"

namespace {

// A 16-bit stereo 44100 Hz WAV file holding a quiet sine.
bool writeTone(const QString& path, double seconds, double frequency)
{
    constexpr int kRate = 44100;
    constexpr int kChannels = 2;
    const auto frames = static_cast<quint32>(seconds * kRate);
    const quint32 dataBytes = frames * kChannels * 2;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QDataStream out(&file);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("RIFF", 4);
    out << quint32(36 + dataBytes);
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << quint16(kChannels) << quint32(kRate) << quint32(kRate * kChannels * 2)
        << quint16(kChannels * 2) << quint16(16);
    out.writeRawData("data", 4);
    out << dataBytes;
    for (quint32 i = 0; i < frames; ++i) {
        const auto sample = static_cast<qint16>(3000 * std::sin(2 * M_PI * frequency * i / kRate));
        out << sample << sample;
    }
    return out.status() == QDataStream::Ok;
}

bool save(QWidget& widget, const QDir& folder, const QString& name)
{
    widget.show();
    QApplication::processEvents();
    const QString path = folder.filePath(name);
    if (!widget.grab().save(path)) {
        std::fprintf(stderr, "Cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    widget.hide();
    return true;
}

// A second window with five times the entries, grown by a third.
bool saveResized(sonarel::Desktop& desktop, sonarel::ProfileStore& profile, sonarel::media::MediaLibrary& library,
                 const QStringList& paths, const QDir& folder)
{
    sonarel::MainDialog window(desktop, profile, library, QDir::homePath() + QStringLiteral("/Music"));
    QStringList more;
    for (int i = 0; i < 5; ++i)
        more << paths;
    window.addFiles(more);
    sonarel::OutputSettings settings = window.outputSettings();
    settings.outputFile = QStringLiteral("/home/sam/Music/audio_mix.wav");
    window.setOutputSettings(settings);
    window.resize(window.minimumSize() * 4 / 3);
    window.mixList().scrollToTop();
    return save(window, folder, QStringLiteral("main-window-resized.png"));
}

// The window with its Edit menu open: the menu is a window of its own, so it is drawn onto the
// main window's picture where it opens.
bool saveWithOpenMenu(sonarel::MainDialog& window, const QDir& folder)
{
    auto* bar = window.findChild<QMenuBar*>();
    if (bar == nullptr)
        return false;
    window.show();
    QApplication::processEvents();
    QAction* edit = bar->actions().value(1);
    QMenu* menu = edit != nullptr ? edit->menu() : nullptr;
    if (menu == nullptr)
        return false;
    bar->setActiveAction(edit);  // opens the menu below its title, as a click does
    QApplication::processEvents();
    QPixmap picture = window.grab();
    if (!menu->isVisible())
        menu->popup(window.mapToGlobal(bar->mapTo(&window, bar->actionGeometry(edit).bottomLeft())));
    QApplication::processEvents();
    {
        QPainter painter(&picture);
        painter.drawPixmap(window.mapFromGlobal(menu->pos()), menu->grab());
    }
    menu->hide();
    window.hide();
    const QString path = folder.filePath(QStringLiteral("menu-bar.png"));
    if (!picture.save(path)) {
        std::fprintf(stderr, "Cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

struct SampleEntry {
    const char* name;
    double seconds;
    double frequency;
    double start;
    double volume;
    double speed;
};
constexpr SampleEntry kSampleEntries[] = {
    {"music-bed.mp3", 42.0, 220, 0.0, 0.4, 1.0},
    {"interview.wav", 31.5, 330, 2.5, 1.0, 1.0},
    {"jingle.flac", 4.0, 660, 35.0, 0.8, 1.5},
};

// The sample files in `work`; none when one could not be written.
QStringList writeSampleFiles(const QTemporaryDir& work)
{
    QStringList paths;
    for (const SampleEntry& entry : kSampleEntries) {
        // The name shows the kinds of file people add; the content is a WAV tone either way.
        const QString path = work.filePath(QString::fromLatin1(entry.name));
        if (!writeTone(path, entry.seconds, entry.frequency))
            return {};
        paths << path;
    }
    return paths;
}

// The dialogs' pictures: the output options, an entry's audio settings with the More part, About.
bool saveDialogs(sonarel::MainDialog& window, sonarel::QtDesktop& desktop, sonarel::ProfileStore& profile,
                 sonarel::media::MediaLibrary& library, const QDir& folder)
{
    sonarel::OutputOptionsDialog options(window.outputSettings(), profile, desktop, library, &window);
    if (!save(options, folder, QStringLiteral("output-options.png")))
        return false;

    // The interview trimmed to its answer, faded in and out, a little faster with its pitch kept.
    sonarel::MixItem shaped = window.store().at(1);
    shaped.inPoint = 42'000'000;
    shaped.outPoint = 275'000'000;
    shaped.fadeIn = 5'000'000;
    shaped.fadeOut = 20'000'000;
    shaped.speed = 1.1;
    shaped.keepPitch = true;
    sonarel::AudioSettingsDialog audioSettings(desktop, &window);
    audioSettings.setEntry(shaped);
    if (!save(audioSettings, folder, QStringLiteral("audio-settings-more.png")))
        return false;

    sonarel::AboutDialog about(desktop);
    if (!save(about, folder, QStringLiteral("about.png")))
        return false;
    return true;
}

}  // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir work;
    qputenv("XDG_CONFIG_HOME", work.filePath(QStringLiteral("config")).toLocal8Bit());
    QApplication application(argc, argv);
    if (argc != 2 || !work.isValid()) {
        std::fprintf(stderr, "Usage: sonarel-help-images FOLDER\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!folder.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "Cannot create %s\n", argv[1]);
        return 1;
    }
    sonarel::initSonarelResources();

    const QStringList paths = writeSampleFiles(work);
    if (paths.isEmpty())
        return 1;

    sonarel::QtDesktop desktop;
    sonarel::ProfileStore profile(QStringLiteral("sonarel-help-images"));
    sonarel::media::MediaLibrary library;
    sonarel::MainDialog window(desktop, profile, library, QDir::homePath() + QStringLiteral("/Music"));
    window.addFiles(paths);
    for (int i = 0; i < window.store().audioCount(); ++i) {
        sonarel::MixItem& item = window.store().at(i);
        item.startTime = static_cast<sonarel::REFERENCE_TIME>(kSampleEntries[i].start * 1e7);
        item.volume = kSampleEntries[i].volume;
        item.speed = kSampleEntries[i].speed;
    }
    window.mixList().refresh(window.store());
    window.mixList().selectRow(1);
    sonarel::OutputSettings settings = window.outputSettings();
    settings.outputFile = QStringLiteral("/home/sam/Music/audio_mix.wav");
    window.setOutputSettings(settings);
    if (!save(window, folder, QStringLiteral("main-window.png")))
        return 1;

    // What a larger window gives: more rows and a wider name column.
    if (!saveResized(desktop, profile, library, paths, folder))
        return 1;
    if (!saveWithOpenMenu(window, folder))
        return 1;

    if (!saveDialogs(window, desktop, profile, library, folder))
        return 1;
    return 0;
}
