// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/DryRun.h"

#include <QFileInfo>
#include <string>

#include "platform/FileChecks.h"
#include "platform/media/core/Placement.h"
#include "render/EngineEntry.h"
#include "render/MixChapters.h"
#include "render/OutputSpace.h"
#include "settings/WaveFormatChoice.h"

namespace sonarel {

namespace {

// Seconds with the millisecond: "12.345".
std::string secondsText(std::int64_t frames, std::uint32_t rate)
{
    char text[48];
    std::snprintf(text, sizeof text, "%.3f", static_cast<double>(frames) / static_cast<double>(rate));
    return text;
}

const char* stateOf(const MixItem& item, const std::vector<bool>& usable, std::size_t index)
{
    if (entryMixing(item) == EntryMixing::Muted)
        return "muted";
    if (!fileCanBeRead(item.filePathText()))
        return QFileInfo::exists(item.filePathText()) ? "unreadable" : "missing";
    if (item.duration <= 0)  // it opens, but no length (and no sound) was found in it
        return "unplayable";
    if (!usable.empty() && !usable[index])
        return "left out";
    return "readable";
}

std::string formatText(const OutputChoice& choice)
{
    const PcmFormat& format = choice.format;
    std::string text = media::core::containerInfo(choice.encoding.container).title;
    if (choice.encoding.container == media::core::OutputContainer::Wav)
        text += format.floatSamples ? ", 32-bit float" : ", " + std::to_string(format.bitsPerSample) + "-bit";
    text += ", " + std::to_string(format.samplesPerSec) + " Hz, " + std::to_string(format.channels) +
            (format.channels == 1 ? " channel" : " channels");
    if (choice.encoding.container == media::core::OutputContainer::Flac) {
        text += ", ";
        text += std::to_string(format.bitsPerSample);
        text += "-bit";
    }
    return text;
}

}  // namespace

void printDryRun(std::FILE* out, const MixItemStore& store, const OutputSettings& settings,
                 const std::vector<bool>& usable, bool wouldMix, const StemPlan& stems)
{
    const OutputChoice choice = outputChoiceOf(settings);
    const std::uint32_t rate = choice.format.samplesPerSec;
    std::vector<bool> mixed = usable;
    std::vector<media::core::SourceEntry> entries;
    std::fprintf(out, "entry\tstart\tend\tlength\tspeed\tfile\tpath\n");
    for (int i = 0; i < store.audioCount(); ++i) {
        const auto index = static_cast<std::size_t>(i);
        const MixItem& item = store.at(i);
        const std::string state = stateOf(item, usable, index);
        if (usable.empty())
            mixed.push_back(state == "readable");
        const media::core::SourceEntry entry = sourceEntryOf(item);
        std::int64_t start = 0;
        std::int64_t frames = 0;
        if (!media::core::placement(entry, static_cast<int>(rate), start, frames))
            frames = 0;
        if (mixed[index])
            entries.push_back(entry);
        std::fprintf(out, "%d\t%s\t%s\t%s\t%g\t%s\t%s\n", i + 1, secondsText(start, rate).c_str(),
                     secondsText(start + frames, rate).c_str(), secondsText(frames, rate).c_str(), item.speed,
                     state.c_str(), item.filePathText().toLocal8Bit().constData());
    }
    const std::int64_t total = media::core::outputFrames(entries, static_cast<int>(rate));
    // The file alone; a normalized mix's temporary float file is said on a line of its own.
    media::core::OutputEncoding fileEncoding = choice.encoding;
    fileEncoding.normalize = false;
    const std::uint64_t bytes = mixFileBytes(store, mixed, choice.format, fileEncoding);
    std::fprintf(out, "length\t%s s\t%lld frames\n", secondsText(total, rate).c_str(), static_cast<long long>(total));
    // The chapters the mix keeps; those it leaves out are said as the mix says them.
    for (const Chapter& chapter : mixChapters(store, mixed, static_cast<int>(rate)).chapters)
        std::fprintf(out, "chapter\t%s\t%s\n", secondsText(chapter.start, rate).c_str(),
                     QString::fromStdString(chapter.title).toLocal8Bit().constData());
    std::fprintf(out, "output\t%s\t%s\n", settings.outputFile.toLocal8Bit().constData(), formatText(choice).c_str());
    const bool exact = choice.encoding.container == media::core::OutputContainer::Wav;
    std::fprintf(out, "size\t%s%s\t%llu bytes\n", exact ? "" : "at most ", sizeText(bytes, true).toUtf8().constData(),
                 static_cast<unsigned long long>(bytes));
    if (choice.encoding.normalize) {
        const std::uint64_t temporary = mixFileBytes(store, mixed, choice.format, choice.encoding) - bytes;
        std::fprintf(out, "temporary\t%s\t%llu bytes\n", sizeText(temporary, true).toUtf8().constData(),
                     static_cast<unsigned long long>(temporary));
    }
    if (!settings.stemsFolder.isEmpty())
        for (const StemFile& stem : stems.files)
            std::fprintf(out, "stem\t%s/%s\t%s\n", settings.stemsFolder.toLocal8Bit().constData(),
                         stem.fileName.toLocal8Bit().constData(),
                         stem.group.isEmpty() ? "(no group)" : stem.group.toUtf8().constData());
    std::fprintf(out, "%s\n",
                 wouldMix ? "The mix would start. Nothing was written (--dry-run)."
                          : "The mix would not start (see the messages above). Nothing was written.");
    std::fflush(out);
}

}  // namespace sonarel
