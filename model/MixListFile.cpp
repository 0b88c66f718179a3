// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/MixListFile.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

#include "model/NumberText.h"
#include "platform/AtomicFile.h"
#include "platform/PathHelpers.h"
#include "platform/PathLimits.h"

namespace sonarel {

namespace {

// A list of a thousand entries with the longest paths is about 4 MiB; anything far beyond that
// is not a list.
constexpr qint64 kLargestListFile = 64LL * 1024 * 1024;

// What a column of the file holds: one of the four classic values, a shaping value, or nothing
// this reader knows (a column a person added; ignored).
enum class Column { Path, Start, Volume, Speed, Shaping, Ignored };

struct ColumnRole {
    Column column = Column::Ignored;
    ShapingField field = ShapingField::In;
    friend bool operator==(const ColumnRole&, const ColumnRole&) = default;
};

struct ShapingColumn {
    std::string_view header;
    ShapingField field;
};
// In the order they are written (and read without a header) after the four classic columns.
constexpr std::array<ShapingColumn, 8> kShapingColumns{{
    {"in_seconds", ShapingField::In},
    {"out_seconds", ShapingField::Out},
    {"fade_in_seconds", ShapingField::FadeIn},
    {"fade_out_seconds", ShapingField::FadeOut},
    {"keep_pitch", ShapingField::KeepPitch},
    {"pitch_semitones", ShapingField::Pitch},
    {"muted", ShapingField::Muted},
    {"fade_curve", ShapingField::FadeCurve},
}};
constexpr std::size_t kClassicColumnCount = 4;
constexpr std::size_t kAllColumnCount = kClassicColumnCount + kShapingColumns.size();

ColumnRole positionalRole(std::size_t index)
{
    if (index < kClassicColumnCount)
        return {static_cast<Column>(index)};
    return {Column::Shaping, kShapingColumns[index - kClassicColumnCount].field};
}

std::string lowerCase(std::string_view text)
{
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return lower;
}

// A header cell's column: a known name wherever it stands; the first four cells are the classic
// columns in their order whatever they say; any other name is ignored.
ColumnRole headerRole(std::string_view cell, std::size_t index)
{
    const std::string name = lowerCase(cell);
    for (const ShapingColumn& shaping : kShapingColumns)
        if (name == shaping.header)
            return {Column::Shaping, shaping.field};
    if (name == "path")
        return {Column::Path};
    if (name == "start_seconds" || name == "start")
        return {Column::Start};
    if (name == "volume")
        return {Column::Volume};
    if (name == "speed")
        return {Column::Speed};
    return index < kClassicColumnCount ? positionalRole(index) : ColumnRole{};
}

bool readHeader(const std::vector<std::string>& header, std::vector<ColumnRole>& roles, std::string& problem)
{
    roles.clear();
    for (std::size_t i = 0; i < header.size(); ++i) {
        const ColumnRole role = headerRole(header[i], i);
        if (role.column != Column::Ignored && std::find(roles.begin(), roles.end(), role) != roles.end()) {
            problem = "the header names the column \"" + header[i] + "\" twice";
            return false;
        }
        roles.push_back(role);
    }
    if (std::find(roles.begin(), roles.end(), ColumnRole{Column::Path}) == roles.end()) {
        problem = "the header has no path column";
        return false;
    }
    return true;
}

// Fills one entry from a record's fields, each read as its column says.
bool readEntry(const std::vector<std::string>& fields, const std::vector<ColumnRole>& roles, MixItem& entry,
               std::string& problem)
{
    std::vector<std::string_view> classic(kClassicColumnCount - 1);  // start, volume, speed
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const ColumnRole role = roles[i];
        if (role.column == Column::Path)
            entry.filePath = fields[i];
        else if (role.column == Column::Start || role.column == Column::Volume || role.column == Column::Speed)
            classic[static_cast<std::size_t>(role.column) - 1] = fields[i];
    }
    if (entry.filePath.empty()) {
        problem = "the path is empty";
        return false;
    }
    if (!readEntryValues(classic, entry, problem))
        return false;
    for (std::size_t i = 0; i < fields.size(); ++i)
        if (roles[i].column == Column::Shaping && !readShapingValue(roles[i].field, fields[i], entry, problem))
            return false;
    return checkShaping(entry, problem);
}

// The roles of a record's fields: the header's, or the positions' without one. A record may
// leave off trailing columns but hold no more than there are.
bool rolesOfRecord(std::size_t fieldCount, bool hasHeader, const std::vector<ColumnRole>& headerRoles,
                   std::vector<ColumnRole>& roles, std::string& problem)
{
    roles = headerRoles;
    if (!hasHeader)
        roles.clear();
    for (std::size_t i = roles.size(); i < fieldCount; ++i) {
        // Beyond a short header only the classic columns it left out may follow. The count is
        // checked first: a position past the last column has no role.
        const bool beyondColumns = i >= kAllColumnCount;
        const bool beyondHeader = !beyondColumns && hasHeader &&
                                  (i >= kClassicColumnCount ||
                                   std::find(roles.begin(), roles.end(), positionalRole(i)) != roles.end());
        if (beyondColumns || beyondHeader) {
            const std::size_t most = hasHeader ? std::max(roles.size(), kClassicColumnCount) : kAllColumnCount;
            problem = "expected at most " + std::to_string(most) + " columns (" +
                      (hasHeader ? "as the header names" : "path, start, volume, speed and the shaping columns") +
                      "), found " + std::to_string(fieldCount);
            return false;
        }
        roles.push_back(positionalRole(i));
    }
    return true;
}

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

// '%', CR and LF anywhere, and blanks at either end (lines are read trimmed), as %XX.
std::string escapedValue(std::string_view value)
{
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        const bool atEnd = i == 0 || i + 1 == value.size();
        if (c == '%' || c == '\r' || c == '\n' || (atEnd && isBlank(c))) {
            static constexpr char kHex[] = "0123456789ABCDEF";
            const auto byte = static_cast<unsigned char>(c);
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
        } else {
            out += c;
        }
    }
    return out;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Any %XX back to its byte; a '%' without two hex digits stays as it is.
std::string unescapedValue(std::string_view value)
{
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const int high = value[i] == '%' && i + 2 < value.size() ? hexDigit(value[i + 1]) : -1;
        const int low = high >= 0 ? hexDigit(value[i + 2]) : -1;
        if (low >= 0) {
            out += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            out += value[i];
        }
    }
    return out;
}

// "#output.KEY=VALUE": the line's key and value; other comments are left alone.
void readOutputLine(std::string_view line, ListOutputLines& output)
{
    if (!line.starts_with(kListOutputPrefix))
        return;
    line.remove_prefix(kListOutputPrefix.size());
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos || equals == 0)
        return;
    output.push_back({std::string(trimmedText(line.substr(0, equals))), unescapedValue(line.substr(equals + 1))});
}

}  // namespace

bool parseMixListCsv(std::string_view text, const std::string& listFolder, std::vector<MixItem>& entries,
                     ImportError& error, ListOutputLines* output)
{
    entries.clear();
    if (output)
        output->clear();
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    std::size_t pos = 0;
    int line = 1;
    bool firstRecord = true;
    bool hasHeader = false;
    std::vector<ColumnRole> headerRoles;
    std::vector<ColumnRole> roles;
    std::vector<std::string> fields;
    while (pos < text.size()) {
        const int recordLine = line;
        const std::size_t lineEnd = text.find('\n', pos);
        const std::string_view raw = trimmedText(
            text.substr(pos, lineEnd == std::string_view::npos ? std::string_view::npos : lineEnd - pos));
        if (raw.empty() || raw.front() == '#') {
            if (output)
                readOutputLine(raw, *output);
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
        if (header) {
            hasHeader = true;
            if (!readHeader(fields, headerRoles, problem)) {
                error = {recordLine, problem};
                return false;
            }
            continue;
        }
        MixItem entry;
        if (!rolesOfRecord(fields.size(), hasHeader, headerRoles, roles, problem) ||
            !readEntry(fields, roles, entry, problem)) {
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

std::string formatMixListCsv(const std::vector<MixItem>& entries, const std::string& listFolder,
                             const ListOutputLines& output)
{
    std::string out;
    for (const ListOutputLine& line : output)
        out.append(kListOutputPrefix).append(line.key).append("=").append(escapedValue(line.value)).append("\n");
    const bool shaped = std::any_of(entries.begin(), entries.end(), [](const MixItem& e) { return usesShaping(e); });
    const bool curved = std::any_of(entries.begin(), entries.end(),
                                    [](const MixItem& e) { return e.fadeCurve == FadeCurve::EqualPower; });
    out += kMixListHeader;
    if (shaped)
        out.append(",").append(kMixListShapingHeader);
    if (curved)
        out.append(",").append(kMixListFadeCurveHeader);
    out += '\n';
    // Every shaping cell that holds its default is left empty.
    const auto appendTime = [&out](REFERENCE_TIME time, REFERENCE_TIME plain) {
        out += ',';
        if (time != plain)
            out += secondsDecimal(time);
    };
    for (const MixItem& entry : entries) {
        appendField(out, pathInList(entry.filePath, listFolder));
        out += ',';
        out += secondsDecimal(entry.startTime);
        out += ',';
        appendNumber(out, entry.volume);
        out += ',';
        appendNumber(out, entry.speed);
        if (shaped) {
            appendTime(entry.inPoint, 0);
            appendTime(entry.outPoint, kToSourceEnd);
            appendTime(entry.fadeIn, 0);
            appendTime(entry.fadeOut, 0);
            out += entry.keepPitch ? ",1," : ",,";
            if (std::signbit(entry.pitchSemitones) || entry.pitchSemitones != 0)  // -0 is kept as it is
                appendNumber(out, entry.pitchSemitones);
            out += entry.muted ? ",1" : ",";
        }
        if (curved)
            out += entry.fadeCurve == FadeCurve::EqualPower ? ",equal_power" : ",";
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

bool readMixListFile(const QString& path, std::vector<MixItem>& entries, ImportError& error, ListOutputLines* output)
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
                           error, output);
}

QString saveMixListFile(const QString& path, const std::vector<MixItem>& entries, const ListOutputLines& output)
{
    const std::string folder = QFileInfo(path).absolutePath().toStdString();
    const std::string text = formatMixListCsv(entries, folder, output);
    return writeFileAtomically(path, QByteArray(text.data(), static_cast<qsizetype>(text.size())));
}

}  // namespace sonarel
