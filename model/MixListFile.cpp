// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/MixListFile.h"

#include <QFile>
#include <QFileInfo>
#include <charconv>

#include "model/NumberText.h"
#include "platform/AtomicFile.h"
#include "platform/PathHelpers.h"
#include "platform/PathLimits.h"

namespace sonarel {

namespace {

// A list of a thousand entries with the longest paths is about 4 MiB; anything far beyond that
// is not a list.
constexpr qint64 kLargestListFile = 64LL * 1024 * 1024;

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

// Reads one record starting at `pos`; leaves `pos` after its line break and counts the lines it
// spans in `line`. False on an unterminated quote or text after a closing quote.
bool readRecord(std::string_view text, std::size_t& pos, int& line, std::vector<std::string>& fields,
                std::string& problem)
{
    fields.clear();
    for (;;) {
        std::string field;
        while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t'))
            ++pos;
        if (pos < text.size() && text[pos] == '"') {
            ++pos;
            bool closed = false;
            while (pos < text.size()) {
                const char c = text[pos++];
                if (c == '"') {
                    if (pos < text.size() && text[pos] == '"') {
                        field += '"';
                        ++pos;
                        continue;
                    }
                    closed = true;
                    break;
                }
                line += c == '\n' ? 1 : 0;
                field += c;
            }
            if (!closed) {
                problem = "a quoted field is not closed";
                return false;
            }
            while (pos < text.size() && isBlank(text[pos]))
                ++pos;
            if (pos < text.size() && text[pos] != ',' && text[pos] != '\n') {
                problem = "unexpected text after a closing quote";
                return false;
            }
        } else {
            const std::size_t end = text.find_first_of(",\n", pos);
            field = std::string(trimmedText(text.substr(pos, end == std::string_view::npos ? std::string_view::npos
                                                                                           : end - pos)));
            pos = end == std::string_view::npos ? text.size() : end;
        }
        fields.push_back(std::move(field));
        if (pos >= text.size())
            return true;
        if (text[pos++] == '\n') {
            ++line;
            return true;
        }
    }
}

bool needsQuotes(std::string_view path)
{
    return path.empty() || path.find_first_of(",\"\n\r") != std::string_view::npos || path.front() == '#' ||
           isBlank(path.front()) || isBlank(path.back()) || path.starts_with("\xEF\xBB\xBF");
}

void appendField(std::string& out, std::string_view path)
{
    if (!needsQuotes(path)) {
        out += path;
        return;
    }
    out += '"';
    for (char c : path) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

void appendNumber(std::string& out, double value)
{
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value);  // shortest exact form
    out.append(text, result.ptr);
}

// The path as the list writes it: relative when it lies under the list's folder.
std::string_view pathInList(std::string_view path, std::string_view folder)
{
    if (folder.empty() || path.size() <= folder.size() || !path.starts_with(folder))
        return path;
    if (folder.back() == kPathSeparator)
        return path.substr(folder.size());
    if (path[folder.size()] != kPathSeparator)
        return path;
    return path.substr(folder.size() + 1);
}

}  // namespace

bool parseMixListCsv(std::string_view text, const std::string& listFolder, std::vector<MixItem>& entries,
                     ImportError& error)
{
    entries.clear();
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    std::size_t pos = 0;
    int line = 1;
    bool firstRecord = true;
    std::vector<std::string> fields;
    while (pos < text.size()) {
        const int recordLine = line;
        const std::size_t lineEnd = text.find('\n', pos);
        const std::string_view raw = trimmedText(
            text.substr(pos, lineEnd == std::string_view::npos ? std::string_view::npos : lineEnd - pos));
        if (raw.empty() || raw.front() == '#') {
            pos = lineEnd == std::string_view::npos ? text.size() : lineEnd + 1;
            ++line;
            continue;
        }
        std::string problem;
        if (!readRecord(text, pos, line, fields, problem)) {
            error = {recordLine, problem};
            return false;
        }
        // A header's start column holds a word; an entry's a number, even a bad one.
        const bool header = firstRecord && fields.size() >= 2 && !fields[1].empty() &&
                            std::string_view("0123456789+-.").find(fields[1].front()) == std::string_view::npos;
        firstRecord = false;
        if (header)
            continue;
        if (fields.size() > 4) {
            error = {recordLine,
                     "expected at most 4 columns (path, start, volume, speed), found " + std::to_string(fields.size())};
            return false;
        }
        MixItem entry;
        entry.filePath = fields[0];
        if (entry.filePath.empty()) {
            error = {recordLine, "the path is empty"};
            return false;
        }
        const std::vector<std::string_view> values(fields.begin() + 1, fields.end());
        if (!readEntryValues(values, entry, problem)) {
            error = {recordLine, problem};
            return false;
        }
        if (entry.filePath.front() != kPathSeparator)
            entry.filePath = joinPath(listFolder, entry.filePath);
        if (!fitsPathBuffer(entry.filePath)) {
            error = {recordLine, entry.filePath.size() >= kPathBufferSize ? "the path is too long"
                                                                          : "the path holds a NUL character"};
            return false;
        }
        entries.push_back(std::move(entry));
    }
    return true;
}

std::string secondsDecimal(REFERENCE_TIME time)
{
    std::string text = time < 0 ? "-" : "";
    const unsigned long long units = time < 0 ? 0ULL - static_cast<unsigned long long>(time)
                                              : static_cast<unsigned long long>(time);
    const auto perSecond = static_cast<unsigned long long>(kReferenceUnitsPerSecond);
    text += std::to_string(units / perSecond);
    std::string fraction = std::to_string(units % perSecond + perSecond).substr(1);  // seven digits
    while (!fraction.empty() && fraction.back() == '0')
        fraction.pop_back();
    if (!fraction.empty())
        text += '.' + fraction;
    return text;
}

std::string formatMixListCsv(const std::vector<MixItem>& entries, const std::string& listFolder)
{
    std::string out(kMixListHeader);
    out += '\n';
    for (const MixItem& entry : entries) {
        appendField(out, pathInList(entry.filePath, listFolder));
        out += ',';
        out += secondsDecimal(entry.startTime);
        out += ',';
        appendNumber(out, entry.volume);
        out += ',';
        appendNumber(out, entry.speed);
        out += '\n';
    }
    return out;
}

std::vector<MixItem> entriesOf(const MixItemStore& store)
{
    std::vector<MixItem> entries;
    entries.reserve(static_cast<std::size_t>(store.audioCount()));
    for (int i = 0; i < store.audioCount(); ++i)
        entries.push_back(store.at(i));
    return entries;
}

bool readMixListFile(const QString& path, std::vector<MixItem>& entries, ImportError& error)
{
    entries.clear();
    QFile file(path);
    if (!QFileInfo(path).isFile()) {
        error = {0, QFileInfo::exists(path) ? "it is not a file" : "it does not exist"};
        return false;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        error = {0, file.errorString().toStdString()};
        return false;
    }
    if (file.size() > kLargestListFile) {
        error = {0, "it is too large to be a mix list"};
        return false;
    }
    const QByteArray text = file.readAll();
    const std::string folder = QFileInfo(path).absolutePath().toStdString();
    return parseMixListCsv(std::string_view(text.constData(), static_cast<std::size_t>(text.size())), folder, entries,
                           error);
}

QString saveMixListFile(const QString& path, const std::vector<MixItem>& entries)
{
    const std::string folder = QFileInfo(path).absolutePath().toStdString();
    const std::string text = formatMixListCsv(entries, folder);
    return writeFileAtomically(path, QByteArray(text.data(), static_cast<qsizetype>(text.size())));
}

}  // namespace sonarel
