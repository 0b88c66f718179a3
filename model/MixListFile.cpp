// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/MixListFile.h"

#include <unistd.h>
#include <QBuffer>
#include <QFile>
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

#include "model/ListRecordReader.h"
#include "model/NumberText.h"
#include "model/ShortenedMessage.h"
#include "platform/AtomicFile.h"
#include "platform/FileChecks.h"
#include "platform/NativePath.h"
#include "platform/PathHelpers.h"
#include "platform/PathLimits.h"

namespace sonarel {

namespace {

// What a column of the file holds: the path, a property of the entry, or nothing this reader
// knows (a column a person added; ignored).
enum class Column { Path, Property, Ignored };

struct ColumnRole {
    Column column = Column::Ignored;
    EntryField field = EntryField::StartTime;
    friend bool operator==(const ColumnRole&, const ColumnRole&) = default;
};

// The path, then start, volume and speed: the columns every list has.
constexpr std::size_t kClassicColumnCount =
    1 + static_cast<std::size_t>(std::count_if(kEntryProperties.begin(), kEntryProperties.end(),
                                               [](const EntryProperty& property) { return !isShaping(property); }));
constexpr std::size_t kAllColumnCount = 1 + kListColumnOrder.size();
// readEntryValues takes start, volume and speed in the table's order, which is theirs.
static_assert(kClassicColumnCount == 4 && kListColumnOrder[0] == EntryField::StartTime &&
              kListColumnOrder[1] == EntryField::Volume && kListColumnOrder[2] == EntryField::Speed);

// How every message about volume points begins (model/EntryPropertyTable.cpp).
constexpr std::string_view kPointsProblem = "the volume point";

ColumnRole positionalRole(std::size_t index)
{
    if (index == 0)
        return {Column::Path};
    return {Column::Property, kListColumnOrder[index - 1]};
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
    if (name == "path")
        return {Column::Path};
    for (const EntryProperty& property : kEntryProperties)
        if (name == property.column || (!property.columnAlias.empty() && name == property.columnAlias))
            return {Column::Property, property.field};
    return index < kClassicColumnCount ? positionalRole(index) : ColumnRole{};
}

// A first record is a header when it names a column this reader knows and its start cell is no
// number. Anything else is an entry: one with a bad cell is refused by its line, never taken for
// a header and dropped.
bool looksLikeHeader(const std::vector<std::string>& fields)
{
    if (fields.size() >= 2 && !fields[1].empty() &&
        std::string_view("0123456789+-.").find(fields[1].front()) != std::string_view::npos)
        return false;
    return std::any_of(fields.begin(), fields.end(), [](const std::string& cell) {
        return headerRole(cell, kAllColumnCount).column != Column::Ignored;
    });
}

bool readHeader(const std::vector<std::string>& header, std::vector<ColumnRole>& roles,
                std::vector<std::string>* unknownColumns, std::string& problem)
{
    roles.clear();
    for (std::size_t i = 0; i < header.size(); ++i) {
        const ColumnRole role = headerRole(header[i], i);
        // An unnamed column (a spreadsheet's trailing comma) is nobody's loss.
        if (role.column == Column::Ignored && unknownColumns && !header[i].empty())
            unknownColumns->push_back(header[i]);
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
    std::vector<std::string_view> placement(kClassicColumnCount - 1);  // start, volume, speed
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const ColumnRole role = roles[i];
        if (role.column == Column::Path)
            entry.filePath = fields[i];
        else if (role.column == Column::Property && !isShaping(entryProperty(role.field)))
            placement[static_cast<std::size_t>(role.field)] = fields[i];  // the first rows of the table
    }
    if (entry.filePath.empty()) {
        problem = "the path is empty";
        return false;
    }
    if (!readEntryValues(placement, entry, problem))
        return false;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const ColumnRole role = roles[i];
        if (role.column == Column::Property && isShaping(entryProperty(role.field)) &&
            !readShapingValue(entryProperty(role.field), fields[i], entry, problem))
            return false;
    }
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
    if (equals == std::string_view::npos)
        return;
    const std::string_view key = trimmedText(line.substr(0, equals));
    if (key.empty())  // blanks alone are no key, and would not be written back as one
        return;
    output.push_back({std::string(key), unescapedValue(line.substr(equals + 1))});
}

// "#duck.KEY=VALUE": sets the value into `ducking`; false with `problem` for a value that is no
// number or out of range. A key this version does not know is left alone, as a comment.
bool readDuckLine(std::string_view line, DuckSettings& ducking, std::string& problem)
{
    if (!line.starts_with(kListDuckPrefix))
        return true;
    line.remove_prefix(kListDuckPrefix.size());
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos)
        return true;
    const std::optional<DuckValue> value = duckValueOfKey(trimmedText(line.substr(0, equals)));
    if (!value)
        return true;
    const std::string_view text = trimmedText(line.substr(equals + 1));
    const std::optional<double> number = readNumber(text);
    if (!number) {
        problem = "the ducking value \"" + std::string(text) + "\" is not a number";
        return false;
    }
    return setDuckValue(ducking, *value, *number, problem);
}

}  // namespace

bool readMixList(QIODevice& device, const std::string& listFolder, std::vector<MixItem>& entries, ImportError& error,
                 ListOutputLines* output, std::vector<std::string>* unknownColumns, DuckSettings* ducking)
{
    entries.clear();
    DuckSettings readDucking;
    if (output)
        output->clear();
    if (unknownColumns)
        unknownColumns->clear();
    ListRecordReader reader(device);
    bool firstRecord = true;
    bool hasHeader = false;
    std::vector<ColumnRole> headerRoles;
    std::vector<ColumnRole> roles;
    const auto refuse = [&error, &reader](const std::string& problem) {
        error = {reader.line(), shortenedMessage(problem)};
        return false;
    };
    for (;;) {
        const ListRecordReader::Read read = reader.next();
        if (read == ListRecordReader::Read::End) {
            if (ducking)
                *ducking = readDucking;
            return true;
        }
        if (read == ListRecordReader::Read::Failed)
            return refuse(reader.problem());
        if (read == ListRecordReader::Read::Comment) {
            if (output)
                readOutputLine(reader.text(), *output);
            if (std::string problem; !readDuckLine(reader.text(), readDucking, problem))
                return refuse(problem);
            continue;
        }
        const std::vector<std::string>& fields = reader.fields();
        std::string problem;
        const bool header = firstRecord && looksLikeHeader(fields);
        firstRecord = false;
        if (header) {
            hasHeader = true;
            if (!readHeader(fields, headerRoles, unknownColumns, problem))
                return refuse(problem);
            continue;
        }
        MixItem entry;
        if (!rolesOfRecord(fields.size(), hasHeader, headerRoles, roles, problem))
            return refuse(problem);
        if (!readEntry(fields, roles, entry, problem)) {
            // A long cell of points is hard to find by its line alone: its entry is named too.
            if (problem.starts_with(kPointsProblem) && !entry.filePath.empty())
                problem = "entry " + std::to_string(entries.size() + 1) + " (" + entry.filePath + "): " + problem;
            return refuse(problem);
        }
        if (entry.filePath.front() != kPathSeparator)
            entry.filePath = joinPath(listFolder, entry.filePath);
        if (!fitsPathBuffer(entry.filePath))
            return refuse(entry.filePath.size() >= kPathBufferSize ? "the path is too long"
                                                                   : "the path holds a NUL character");
        entries.push_back(std::move(entry));
    }
}

bool parseMixListCsv(std::string_view text, const std::string& listFolder, std::vector<MixItem>& entries,
                     ImportError& error, ListOutputLines* output, std::vector<std::string>* unknownColumns,
                     DuckSettings* ducking)
{
    QByteArray bytes = QByteArray::fromRawData(text.data(), static_cast<qsizetype>(text.size()));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    return readMixList(buffer, listFolder, entries, error, output, unknownColumns, ducking);
}

std::string unknownColumnsText(const std::vector<std::string>& names)
{
    constexpr std::size_t kNamed = 5;
    std::string text = names.size() == 1 ? "the column " : "the columns ";
    for (std::size_t i = 0; i < names.size() && i < kNamed; ++i) {
        if (i > 0)
            text += i + 1 == names.size() ? " and " : ", ";
        // Appended piece by piece: GCC 12 at -O3 takes '"' + std::string for an overlapping copy.
        text += '"';
        text += shortenedMessage(readableBytes(names[i]), 40);
        text += '"';
    }
    if (names.size() > kNamed)
        text += " and " + std::to_string(names.size() - kNamed) + " more";
    text += names.size() == 1 ? " is not one this version knows; it is ignored"
                              : " are not ones this version knows; they are ignored";
    return text;
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
                             const ListOutputLines& output, const DuckSettings& ducking)
{
    std::string out;
    for (const ListOutputLine& line : output)
        out.append(kListOutputPrefix).append(line.key).append("=").append(escapedValue(line.value)).append("\n");
    out += duckLinesText(ducking);
    // The columns this list needs: the classic ones always, the shaping ones when an entry is
    // shaped, one of its own when an entry uses it.
    const bool shaped = std::any_of(entries.begin(), entries.end(), [](const MixItem& e) { return usesShaping(e); });
    std::vector<const EntryProperty*> columns;
    for (EntryField field : kListColumnOrder) {
        const EntryProperty& property = entryProperty(field);
        const bool used = std::any_of(entries.begin(), entries.end(),
                                      [&property](const MixItem& e) { return !holdsDefault(property, e); });
        if (property.listColumn == ListColumn::Always || (property.listColumn == ListColumn::Shaped && shaped) ||
            (property.listColumn == ListColumn::WhenUsed && used))
            columns.push_back(&property);
    }
    out += "path";
    for (const EntryProperty* property : columns)
        out.append(",").append(property->column);
    out += '\n';
    for (const MixItem& entry : entries) {
        appendField(out, pathInList(entry.filePath, listFolder));
        // Every shaping cell that holds its default is left empty.
        for (const EntryProperty* property : columns) {
            out += ',';
            if (property->kind == PropertyKind::Text && !holdsDefault(*property, entry))
                appendField(out, valueText(*property, entry));  // a title may hold a comma or a quote
            else if (!isShaping(*property) || !holdsDefault(*property, entry))
                out += valueText(*property, entry);
        }
        out += '\n';
    }
    return out;
}

bool readMixListFile(const QString& path, std::vector<MixItem>& entries, ImportError& error, ListOutputLines* output,
                     std::vector<std::string>* unknownColumns, DuckSettings* ducking)
{
    entries.clear();
    std::string problem;
    const int fd = openRegularFileToRead(path, problem);
    QFile file;
    if (fd < 0 || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        if (fd >= 0)
            ::close(fd);
        error = {0, fd < 0 ? problem : file.errorString().toStdString()};
        return false;
    }
    if (file.size() > kLargestListFile) {  // said at once rather than after reading it all
        error = {0, "it is too large to be a mix list"};
        return false;
    }
    const std::string folder = FolderOfPath(absolutePathBytes(pathBytes(path)));
    return readMixList(file, folder, entries, error, output, unknownColumns, ducking);
}

QString saveMixListFile(const QString& path, const std::vector<MixItem>& entries, const ListOutputLines& output,
                        const DuckSettings& ducking)
{
    const std::string folder = FolderOfPath(absolutePathBytes(pathBytes(path)));
    const std::string text = formatMixListCsv(entries, folder, output, ducking);
    return writeFileAtomically(path, QByteArray(text.data(), static_cast<qsizetype>(text.size())));
}

}  // namespace sonarel
