// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/ChaptersFileOption.h"

#include <QDir>
#include <QFileInfo>

#include "model/ChapterFiles.h"
#include "platform/FileChecks.h"
#include "platform/MessageText.h"

namespace sonarel {

bool chaptersFileCanBeWritten(const MixOptions& options, const std::vector<MixItem>& entries)
{
    if (options.chaptersFile.isEmpty())
        return true;
    const QString path = absolutePath(options.chaptersFile);
    if (options.play) {
        printError(QStringLiteral("--chapters-file goes with a mix to a file, not with --play."));
        return false;
    }
    const QString problem = chapterFileProblem(path,
                                               options.toStandardOutput ? QString() : absolutePath(options.outputFile));
    if (!problem.isEmpty()) {
        printError(problem + QStringLiteral(" Nothing was mixed."));
        return false;
    }
    if (options.toStandardOutput && chapterFileKindOf(path) == ChapterFileKind::CueSheet) {
        printError(
            QStringLiteral("a cue sheet names the mix's file, and -o - writes none: choose .txt, .vtt or "
                           ".json, or give -o FILE. Nothing was mixed."));
        return false;
    }
    const std::optional<FileIdentity> existing = fileIdentity(path);
    for (std::size_t i = 0; existing && i < entries.size(); ++i)
        if (fileIdentity(entries[i].filePathText()) == existing) {
            printError(QStringLiteral("the chapters file %1 is one of the files to mix: choose another name. "
                                      "Nothing was mixed.")
                           .arg(nameInMessage(path)));
            return false;
        }
    if (nameIsTaken(path) && !options.yes) {
        printError(QStringLiteral("the chapters file %1 exists: give --yes to replace it. Nothing was mixed.")
                       .arg(nameInMessage(path)));
        return false;
    }
    return true;
}

bool writeMixChaptersFile(const MixOptions& options, const QString& outputFile, const MixSummary& summary)
{
    if (options.chaptersFile.isEmpty())
        return true;
    const QString path = absolutePath(options.chaptersFile);
    if (summary.chapters.chapters.empty()) {
        printError(
            QStringLiteral("warning: no entry starts a chapter, so %1 was not written.").arg(nameInMessage(path)));
        return true;
    }
    // The sheet lies beside the mix, so it names it from its own folder.
    const QString audioFile = QFileInfo(path).absoluteDir().relativeFilePath(outputFile);
    const std::string text = chapterFileText(*chapterFileKindOf(path), summary.chapters.chapters, summary.rate,
                                             audioFile.toStdString());
    if (const QString error = writeChapterFile(path, text); !error.isEmpty()) {
        printError(QStringLiteral("the chapters file %1 could not be written: %2.").arg(nameInMessage(path), error));
        return false;
    }
    return true;
}

}  // namespace sonarel
