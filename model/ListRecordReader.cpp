// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/ListRecordReader.h"

#include <algorithm>
#include <string_view>

namespace sonarel {

namespace {

constexpr qint64 kChunk = 64 * 1024;
constexpr int kEnd = -1;

bool isBlank(int c)
{
    return c == ' ' || c == '\t';
}

bool endsLine(int c)
{
    return c == '\n' || c == '\r' || c == kEnd;
}

void trimEnd(std::string& text)
{
    while (!text.empty() && isBlank(text.back()))
        text.pop_back();
}

std::string kibibytes(std::size_t bytes)
{
    return std::to_string(bytes / 1024) + " KiB";
}

}  // namespace

ListRecordReader::ListRecordReader(QIODevice& device) : device_(device), buffer_(kChunk)
{
    // A byte-order mark may come in pieces from a pipe: gather three bytes before looking.
    while (end_ < 3 && fill()) {
    }
    if (std::string_view(buffer_.data(), static_cast<std::size_t>(end_)).starts_with("\xEF\xBB\xBF"))
        pos_ = 3;
}

// Appends what the device has next to the buffer; false at its end or when it cannot be read.
bool ListRecordReader::fill()
{
    if (ended_)
        return false;
    // Called when every byte so far has been taken (or, at the start, fewer than three came).
    if (pos_ == end_)
        pos_ = end_ = 0;
    const qint64 got = device_.read(buffer_.data() + end_, kChunk - end_);
    end_ += std::max<qint64>(got, 0);
    if (got < 0) {
        ended_ = true;
        deviceProblem_ = "it could not be read (" + device_.errorString().toStdString() + ")";
        return false;
    }
    if (got == 0) {
        // A pipe or socket may have nothing yet; a file (and standard input) has nothing more.
        ended_ = !device_.isSequential() || !device_.waitForReadyRead(-1);
        return !ended_;
    }
    total_ += got;
    if (total_ > kLargestListFile) {
        ended_ = true;
        deviceProblem_ = "it is too large to be a mix list (more than " +
                         std::to_string(kLargestListFile / 1024 / 1024) + " MiB)";
        return false;
    }
    return true;
}

int ListRecordReader::peek()
{
    while (pos_ >= end_)
        if (!fill())
            return kEnd;
    return static_cast<unsigned char>(buffer_[static_cast<std::size_t>(pos_)]);
}

int ListRecordReader::get()
{
    const int c = peek();
    if (c != kEnd) {
        ++pos_;
        ++lineBytes_;
    }
    return c;
}

// Appends `c` to a field; false when the field or its line has grown past its limit.
bool ListRecordReader::take(std::string& into, char c)
{
    if (into.size() >= kLongestListField) {
        problem_ = "a field is longer than " + kibibytes(kLongestListField);
        return false;
    }
    if (lineBytes_ > kLongestListLine) {
        problem_ = "the line is longer than " + kibibytes(kLongestListLine);
        return false;
    }
    into += c;
    return true;
}

void ListRecordReader::skipBlanks()
{
    while (isBlank(peek()))
        get();
}

void ListRecordReader::takeLineBreak()
{
    const int c = get();
    if (c == '\r' && peek() == '\n')
        get();
    if (c != kEnd)
        ++line_;
}

ListRecordReader::Read ListRecordReader::fail(std::string problem, bool wholeList)
{
    failed_ = true;
    problem_ = std::move(problem);
    if (wholeList)
        startLine_ = 0;
    return Read::Failed;
}

ListRecordReader::Read ListRecordReader::next()
{
    fields_.clear();
    text_.clear();
    if (failed_)
        return Read::Failed;
    startLine_ = line_;
    lineBytes_ = 0;
    skipBlanks();
    const int c = peek();
    const Read read = c == kEnd ? Read::End : c == '#' || endsLine(c) ? readComment() : readRecord();
    // A list that could not be read to its end is refused whole: what was cut short is not it.
    if (!deviceProblem_.empty())
        return fail(deviceProblem_, true);
    return read;
}

// Appends the bytes up to the line's end (or a comma, `atComma`) to `into`, a buffer at a time;
// false when a limit is passed on the way.
bool ListRecordReader::takeUntil(std::string& into, bool atComma)
{
    const std::size_t most = &into == &text_ ? kLongestListLine : kLongestListField;
    while (peek() != kEnd) {
        const std::string_view rest(buffer_.data() + pos_, static_cast<std::size_t>(end_ - pos_));
        // A plain loop: find_first_of tries each stop at each byte, a third of the speed.
        const auto stop = std::find_if(rest.begin(), rest.end(),
                                       [atComma](char c) { return c == '\n' || c == '\r' || (atComma && c == ','); });
        const auto length = static_cast<std::size_t>(stop - rest.begin());
        // The limit named is the one the first byte too many passes, as byte by byte, so that
        // the message does not depend on how the device cut the list into pieces.
        const std::size_t fieldRoom = most - into.size();
        const std::size_t lineRoom = lineBytes_ < kLongestListLine ? kLongestListLine - lineBytes_ : 0;
        if (length > fieldRoom || length > lineRoom) {
            problem_ = fieldRoom <= lineRoom && &into != &text_
                           ? "a field is longer than " + kibibytes(kLongestListField)
                           : "the line is longer than " + kibibytes(kLongestListLine);
            return false;
        }
        into.append(rest.substr(0, length));
        pos_ += static_cast<qint64>(length);
        lineBytes_ += length;
        if (length < rest.size())
            return true;
    }
    return true;
}

ListRecordReader::Read ListRecordReader::readComment()
{
    if (!takeUntil(text_, false))
        return fail(problem_);
    trimEnd(text_);
    takeLineBreak();
    return Read::Comment;
}

// A quoted field from its opening quote through the closing one.
bool ListRecordReader::readQuoted(std::string& field)
{
    get();
    for (;;) {
        const int c = get();
        if (c == kEnd) {
            problem_ = "a quoted field is not closed";
            return false;
        }
        if (c == '"') {
            if (peek() != '"')
                return true;
            get();
        }
        if (c == '\r' || (c == '\n' && (field.empty() || field.back() != '\r')))
            ++line_;
        if (!take(field, static_cast<char>(c)))
            return false;
    }
}

ListRecordReader::Read ListRecordReader::readRecord()
{
    for (;;) {
        std::string field;
        skipBlanks();
        if (peek() == '"') {
            if (!readQuoted(field))
                return fail(problem_);
            skipBlanks();
            if (peek() != ',' && !endsLine(peek()))
                return fail("unexpected text after a closing quote");
        } else {
            if (!takeUntil(field, true))
                return fail(problem_);
            trimEnd(field);
        }
        if (fields_.size() == kMostListFields)
            return fail("a line holds more than " + std::to_string(kMostListFields) + " fields");
        fields_.push_back(std::move(field));
        if (peek() != ',') {
            takeLineBreak();
            return Read::Record;
        }
        get();
    }
}

}  // namespace sonarel
