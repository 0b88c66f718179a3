// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ChapterCommands.h"

#include <QDir>
#include <QFileInfo>

#include "model/ChapterFiles.h"
#include "platform/Desktop.h"
#include "platform/FileChecks.h"
#include "platform/MessageText.h"
#include "render/EngineEntry.h"
#include "render/MixChapters.h"
#include "settings/WaveFormatChoice.h"

namespace sonarel {

namespace {

FileDialogRequest chaptersDialogRequest(const OutputSettings& settings)
{
    FileDialogRequest request;
    request.title = QStringLiteral("Export Chapters");
    const QFileInfo output(settings.outputFile);
    request.initialFolder = settings.outputFile.isEmpty() ? QString() : output.absolutePath();
    request.initialFile = (settings.outputFile.isEmpty() ? QStringLiteral("mix") : output.completeBaseName()) +
                          QStringLiteral(".cue");
    request.filters = {{QStringLiteral("Cue sheet (*.cue)"), {QStringLiteral("*.cue")}},
                       {QStringLiteral("Audacity labels (*.txt)"), {QStringLiteral("*.txt")}},
                       {QStringLiteral("WebVTT (*.vtt)"), {QStringLiteral("*.vtt")}},
                       {QStringLiteral("Podcast chapters JSON (*.json)"), {QStringLiteral("*.json")}}};
    return request;
}

}  // namespace

void exportChaptersCommand(const MixItemStore& store, const OutputSettings& settings, Desktop& desktop)
{
    std::vector<bool> usable;
    for (int i = 0; i < store.audioCount(); ++i)
        usable.push_back(entryIsMixed(store.at(i), fileCanBeRead(store.at(i).filePathText())));
    const int rate = static_cast<int>(outputChoiceOf(settings).format.samplesPerSec);
    const ChapterPlan plan = mixChapters(store, usable, rate);
    if (plan.empty()) {
        desktop.showAppMessage(
            QStringLiteral("No entry starts a chapter. Give an entry a chapter title in Audio "
                           "Settings (More), then export the chapters."));
        return;
    }
    if (const QString warning = chapterWarningText(plan, rate, false); !warning.isEmpty())
        desktop.showMessage(warning, QStringLiteral("Warning"), MessageIcon::Exclamation);
    if (plan.chapters.empty())
        return;
    const QString chosen = desktop.chooseFileToSave(chaptersDialogRequest(settings));
    if (chosen.isEmpty())
        return;
    const QString path = QFileInfo(chosen).absoluteFilePath();
    if (const QString problem = chapterFileProblem(path, settings.outputFile); !problem.isEmpty()) {
        desktop.showAppMessage(problem + QStringLiteral(" Nothing was written."));
        return;
    }
    if (const std::optional<FileIdentity> existing = fileIdentity(path))
        for (int i = 0; i < store.audioCount(); ++i)
            if (fileIdentity(store.at(i).filePathText()) == existing) {
                desktop.showAppMessage(QStringLiteral("The chapters file %1 is one of the files to mix: choose "
                                                      "another name. Nothing was written.")
                                           .arg(nameInMessage(path)));
                return;
            }
    // The sheet lies beside the mix, so it names it from its own folder.
    const QString audioFile = QFileInfo(path).absoluteDir().relativeFilePath(settings.outputFile);
    const std::string text = chapterFileText(*chapterFileKindOf(path), plan.chapters, rate, audioFile.toStdString());
    if (const QString error = writeChapterFile(path, text); !error.isEmpty())
        desktop.showAppMessage(
            QStringLiteral("The chapters could not be written to %1: %2.").arg(nameInMessage(path), error));
}

}  // namespace sonarel
