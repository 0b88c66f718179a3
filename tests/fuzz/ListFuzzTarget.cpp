// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target of the list reader: arbitrary bytes are taken as a list file and read the two ways
// the programs read one, from a file on disk and from a stream that delivers it in small pieces.
// A crash, a leak, undefined behaviour, a refusal whose message is not short, two readings that
// differ, or a list that does not read back the same after it is saved is a finding; a list that
// is refused is not. Built with libFuzzer (clang) for fuzzing, and with a plain main that replays
// files for the regression test.
#include <unistd.h>
#include <QIODevice>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "model/MixListFile.h"

namespace {

using namespace sonarel;

constexpr std::size_t kLongestMessage = 240;

void require(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "list fuzz target: %s\n", what);
        std::abort();
    }
}

struct Scratch {
    std::filesystem::path dir;
    std::string list;

    Scratch()
    {
        dir = std::filesystem::temp_directory_path() / ("sonarel-list-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        list = (dir / "list.csv").string();
    }
    ~Scratch()
    {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
};

Scratch& scratch()
{
    static Scratch s;
    return s;
}

// A device that hands out at most a few bytes per read and tells nothing of its size, as a pipe.
class TrickleDevice final : public QIODevice {
public:
    explicit TrickleDevice(const QByteArray& bytes) : bytes_(bytes) {}
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char* data, qint64 most) override
    {
        const qint64 count = std::min<qint64>({most, 7, bytes_.size() - offset_});
        std::copy_n(bytes_.constData() + offset_, count, data);
        offset_ += count;
        return count;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray bytes_;
    qint64 offset_ = 0;
};

struct Reading {
    bool ok = false;
    std::vector<MixItem> entries;
    ListOutputLines output;
    std::vector<std::string> unknown;
    ListTags tags;
    ImportError error;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    {
        std::ofstream out(scratch().list, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    const std::string folder = scratch().dir.string();
    Reading fromFile;
    fromFile.ok = readMixListFile(QString::fromStdString(scratch().list), fromFile.entries, fromFile.error,
                                  &fromFile.output, &fromFile.unknown, nullptr, &fromFile.tags);

    TrickleDevice trickle(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    require(trickle.open(QIODevice::ReadOnly), "the buffer did not open");
    Reading streamed;
    streamed.ok = readMixList(trickle, folder, streamed.entries, streamed.error, &streamed.output, &streamed.unknown,
                              nullptr, &streamed.tags);

    require(fromFile.ok == streamed.ok, "the file and the stream read differently");
    if (!fromFile.ok) {
        require(fromFile.error.message == streamed.error.message && fromFile.error.line == streamed.error.line,
                "the file and the stream were refused differently");
        require(!fromFile.error.message.empty() && fromFile.error.message.size() <= kLongestMessage,
                "a refusal's message is empty or long");
        return 0;
    }
    require(fromFile.entries == streamed.entries && fromFile.output == streamed.output &&
                fromFile.unknown == streamed.unknown && fromFile.tags == streamed.tags,
            "the file and the stream gave different lists");
    require(unknownColumnsText(fromFile.unknown).size() <= 600, "the unknown columns' warning is long");

    // What was read is saved and read again: the same entries, output lines and tags.
    const std::string saved = formatMixListCsv(fromFile.entries, folder, fromFile.output, {}, fromFile.tags);
    Reading again;
    again.ok = parseMixListCsv(saved, folder, again.entries, again.error, &again.output, nullptr, nullptr, &again.tags);
    require(again.ok, "a saved list was refused");
    require(again.entries == fromFile.entries, "a saved list read back other entries");
    require(again.output == fromFile.output, "a saved list read back other output lines");
    require(again.tags == fromFile.tags, "a saved list read back other tags");
    return 0;
}
