// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/ChapterFiles.h"

#include <QFileInfo>
#include <cstdio>

#include "platform/AtomicFile.h"
#include "platform/FileChecks.h"
#include "platform/MessageText.h"

namespace sonarel {

namespace {

struct Clock {
    long long hours, minutes, seconds, millis;
};

// Rounded to the nearest millisecond.
Clock clockOf(std::int64_t frame, int rate)
{
    const long long millis = (static_cast<long long>(frame) * 1000 + rate / 2) / rate;
    return {millis / 3600000, millis / 60000 % 60, millis / 1000 % 60, millis % 1000};
}

// A title on one line: controls (line breaks, tabs) become spaces.
std::string oneLine(const std::string& title)
{
    std::string line = title;
    for (char& c : line)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = ' ';
    return line;
}

// A cue sheet's quoted text has no escape: its quote becomes an apostrophe.
std::string cueQuoted(const std::string& text)
{
    std::string quoted = oneLine(text);
    for (char& c : quoted)
        if (c == '"')
            c = '\'';
    return '"' + quoted + '"';
}

std::string cueFileType(const std::string& audioFile)
{
    const QString suffix = QFileInfo(QString::fromStdString(audioFile)).suffix().toLower();
    if (suffix == QLatin1String("mp3"))
        return "MP3";
    if (suffix == QLatin1String("aif") || suffix == QLatin1String("aiff"))
        return "AIFF";
    return "WAVE";  // what cue readers take for any other audio file
}

std::string cueSheet(const std::vector<Chapter>& chapters, int rate, const std::string& audioFile)
{
    std::string text = "FILE " + cueQuoted(audioFile) + ' ' + cueFileType(audioFile) + '\n';
    char line[96];
    for (std::size_t i = 0; i < chapters.size(); ++i) {
        // 75 frames a second, rounded to the nearest.
        const long long frames = (static_cast<long long>(chapters[i].start) * 75 + rate / 2) / rate;
        std::snprintf(line, sizeof line, "  TRACK %02zu AUDIO\n", i + 1);
        text += line;
        text += "    TITLE " + cueQuoted(chapters[i].title) + '\n';
        std::snprintf(line, sizeof line, "    INDEX 01 %02lld:%02lld:%02lld\n", frames / 75 / 60, frames / 75 % 60,
                      frames % 75);
        text += line;
    }
    return text;
}

std::string secondsText(std::int64_t frame, int rate)
{
    char text[48];
    std::snprintf(text, sizeof text, "%.6f", static_cast<double>(frame) / rate);
    return text;
}

std::string labels(const std::vector<Chapter>& chapters, int rate)
{
    std::string text;
    for (const Chapter& chapter : chapters)
        text += secondsText(chapter.start, rate) + '\t' + secondsText(chapter.end, rate) + '\t' +
                oneLine(chapter.title) + '\n';
    return text;
}

std::string vttTime(std::int64_t frame, int rate)
{
    const Clock c = clockOf(frame, rate);
    char text[48];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld.%03lld", c.hours, c.minutes, c.seconds, c.millis);
    return text;
}

// A cue's text: one line, with the three characters WebVTT reserves escaped.
std::string vttText(const std::string& title)
{
    std::string text;
    for (char c : oneLine(title)) {
        if (c == '&')
            text += "&amp;";
        else if (c == '<')
            text += "&lt;";
        else if (c == '>')
            text += "&gt;";
        else
            text += c;
    }
    return text;
}

std::string webVtt(const std::vector<Chapter>& chapters, int rate)
{
    std::string text = "WEBVTT\n";
    for (const Chapter& chapter : chapters)
        text += '\n' + vttTime(chapter.start, rate) + " --> " + vttTime(chapter.end, rate) + '\n' +
                vttText(chapter.title) + '\n';
    return text;
}

std::string jsonString(const std::string& text)
{
    std::string out = "\"";
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\r') {
            out += "\\r";
        } else if (u < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + '"';
}

// Seconds as a JSON number: to the microsecond, without trailing zeros ("5", "12.5").
std::string jsonSeconds(std::int64_t frame, int rate)
{
    std::string text = secondsText(frame, rate);
    text.erase(text.find_last_not_of('0') + 1);
    if (text.back() == '.')
        text.pop_back();
    return text;
}

std::string podcastJson(const std::vector<Chapter>& chapters, int rate)
{
    std::string text = "{\n  \"version\": \"1.2.0\",\n  \"chapters\": [";
    for (std::size_t i = 0; i < chapters.size(); ++i)
        text += std::string(i == 0 ? "\n" : ",\n") + "    {\"startTime\": " + jsonSeconds(chapters[i].start, rate) +
                ", \"title\": " + jsonString(chapters[i].title) + "}";
    return text + (chapters.empty() ? "]\n}\n" : "\n  ]\n}\n");
}

}  // namespace

std::optional<ChapterFileKind> chapterFileKindOf(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("cue"))
        return ChapterFileKind::CueSheet;
    if (suffix == QLatin1String("txt"))
        return ChapterFileKind::Labels;
    if (suffix == QLatin1String("vtt"))
        return ChapterFileKind::WebVtt;
    if (suffix == QLatin1String("json"))
        return ChapterFileKind::PodcastJson;
    return std::nullopt;
}

QString chapterFileExtensionsText()
{
    return QStringLiteral(".cue, .txt, .vtt or .json");
}

std::string chapterFileText(ChapterFileKind kind, const std::vector<Chapter>& chapters, int rate,
                            const std::string& audioFile)
{
    if (rate <= 0)
        return {};
    switch (kind) {
    case ChapterFileKind::CueSheet: return cueSheet(chapters, rate, audioFile);
    case ChapterFileKind::Labels: return labels(chapters, rate);
    case ChapterFileKind::WebVtt: return webVtt(chapters, rate);
    case ChapterFileKind::PodcastJson: return podcastJson(chapters, rate);
    }
    return {};
}

QString chapterFileProblem(const QString& path, const QString& outputFile)
{
    if (!chapterFileKindOf(path))
        return QStringLiteral("The chapters file %1 has an extension that says no kind of chapters file: use %2.")
            .arg(nameInMessage(path), chapterFileExtensionsText());
    const std::optional<FileIdentity> existing = fileIdentity(path);
    if (!outputFile.isEmpty() && (QFileInfo(path).absoluteFilePath() == QFileInfo(outputFile).absoluteFilePath() ||
                                  (existing && existing == fileIdentity(outputFile))))
        return QStringLiteral("The chapters file %1 is the mix's own output file: choose another name.")
            .arg(nameInMessage(path));
    return {};
}

QString writeChapterFile(const QString& path, const std::string& text)
{
    return writeFileAtomically(path, QByteArray::fromStdString(text));
}

}  // namespace sonarel
