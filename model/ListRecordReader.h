// SPDX-License-Identifier: GPL-3.0-or-later
// Reads the lines of a list file from any device (a file, standard input, a buffer) as they come,
// holding no more than one line at a time: a list of any size costs the same memory until it is
// refused. Lines end in LF, CR LF or a CR alone (old Mac spreadsheets); a quoted field keeps its
// line breaks and its commas as they are, and "" in it stands for a quote.
//
// Limits, so that no file can make the reader slow or large: a field holds at most
// kLongestListField bytes, a line (a record with its quoted line breaks) kLongestListLine bytes and
// kMostListFields fields, and the whole list kLargestListFile bytes. A list beyond them is refused
// with its line named.
#pragma once

#include <QIODevice>
#include <string>
#include <string_view>
#include <vector>

namespace sonarel {

inline constexpr std::size_t kLongestListField = 16 * 1024;
inline constexpr std::size_t kLongestListLine = 64 * 1024;
inline constexpr std::size_t kMostListFields = 256;
inline constexpr qint64 kLargestListFile = 64LL * 1024 * 1024;

class ListRecordReader {
public:
    // Reads from `device`, which stays open and owned by the caller; a byte-order mark at its start
    // is skipped.
    explicit ListRecordReader(QIODevice& device);

    enum class Read {
        Record,   // fields() holds the record's fields, trimmed unless quoted
        Comment,  // a blank line or one starting with '#': text() holds it, trimmed
        End,
        Failed,  // problem() says why; line() is 0 when the list as a whole is at fault
    };
    Read next();

    const std::vector<std::string>& fields() const { return fields_; }
    const std::string& text() const { return text_; }
    const std::string& problem() const { return problem_; }
    // The line on which what next() returned starts, counting from 1.
    int line() const { return startLine_; }

private:
    int peek();
    int get();
    bool fill();
    bool take(std::string& into, char c);
    bool takeUntil(std::string& into, bool atComma);
    void skipBlanks();
    void takeLineBreak();
    Read fail(std::string problem, bool wholeList = false);
    Read readComment();
    Read readRecord();
    bool readQuoted(std::string& field);

    QIODevice& device_;
    std::vector<char> buffer_;  // one chunk, reused
    qint64 pos_ = 0;
    qint64 end_ = 0;
    qint64 total_ = 0;
    bool ended_ = false;
    bool failed_ = false;
    std::string deviceProblem_;
    int line_ = 1;
    int startLine_ = 1;
    std::size_t lineBytes_ = 0;
    std::vector<std::string> fields_;
    std::string text_;
    std::string problem_;
};

}  // namespace sonarel
