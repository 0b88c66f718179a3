// SPDX-License-Identifier: GPL-3.0-or-later
// sonarel-mix with names that are not UTF-8 and lists as other programs write them: the program
// is started with argv bytes as a shell would pass them, and the WAV it writes is read back.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "support/WavFile.h"

extern char** environ;

namespace {

struct MixRun {
    int exitCode = -1;
    std::string err;
};

// Runs sonarel-mix with `arguments` as they are, byte for byte (QProcess would re-encode them).
MixRun runMix(const std::vector<std::string>& arguments)
{
    std::vector<char*> argv{const_cast<char*>(SONAREL_MIX_PATH)};
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    int errPipe[2];
    if (::pipe(errPipe) != 0)
        return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], STDERR_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addclose(&actions, errPipe[0]);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, SONAREL_MIX_PATH, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(errPipe[1]);
    MixRun run;
    char chunk[4096];
    for (ssize_t got; (got = ::read(errPipe[0], chunk, sizeof chunk)) > 0;)
        run.err.append(chunk, static_cast<std::size_t>(got));
    ::close(errPipe[0]);
    int status = 0;
    if (spawned == 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status))
        run.exitCode = WEXITSTATUS(status);
    return run;
}

bool exists(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

class ByteNames : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/sonarel-names-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override
    {
        for (auto name = made_.rbegin(); name != made_.rend(); ++name)
            ::remove(name->c_str());
        ::rmdir(dir_.c_str());
    }
    std::string path(const std::string& name)
    {
        made_.push_back(dir_ + "/" + name);
        return made_.back();
    }
    // One second of a constant level at 8000 Hz, stereo.
    std::string constantWav(const std::string& name, std::int16_t level)
    {
        const std::string file = path(name);
        sonarel::testing::writeWav16(file, 2, 8000, std::vector<std::int16_t>(16000, level));
        return file;
    }
    std::string writeList(const std::string& name, const std::string& content)
    {
        const std::string file = path(name);
        std::ofstream(file, std::ios::binary) << content;
        return file;
    }

    std::string dir_;
    std::vector<std::string> made_;
};

}  // namespace

TEST_F(ByteNames, Latin1NamesAreFoundAndWrittenAsGiven)
{
    const std::string input = constantWav("caf\xe9.wav", 8000);
    const std::string output = path("out\xff.wav");
    const std::string replaced = path("out\xef\xbf\xbd.wav");  // what a UTF-8 round trip would make
    MixRun run = runMix({"-q", "--yes", "--rate", "8000", "-o", output, input + "@0:0.5"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_FALSE(exists(replaced));
    const sonarel::testing::WavData wav = sonarel::testing::readWav(output);
    ASSERT_TRUE(wav.valid) << wav.error;
    ASSERT_EQ(wav.frames(), 8000);
    for (std::int64_t f = 0; f < wav.frames(); f += 997)
        EXPECT_NEAR(wav.at(f, 0), 4000, 1) << "frame " << f;

    // A name that is missing is named readably, and the exit says it.
    run = runMix({"-q", "-o", output, path("gone\xe9.wav")});
    EXPECT_NE(run.exitCode, 0);
    EXPECT_NE(run.err.find("gone\\xe9.wav"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("gone\xe9"), std::string::npos) << "raw bytes reached the terminal";
}

TEST_F(ByteNames, ListsFromOtherProgramsAreReadAsWritten)
{
    // An old Mac spreadsheet: CR line endings, a Latin-1 name, a column of notes.
    constantWav("caf\xe9.wav", 6000);
    constantWav("two.wav", 1000);
    const std::string list = writeList("l\xe9ste.csv",
                                       "path,start_seconds,volume,speed,notes\r"
                                       "caf\xe9.wav,0,1,1,the intro\r"
                                       "two.wav,0.5,2,1,\r");
    const std::string output = path("mix.wav");
    const MixRun run = runMix({"-q", "--yes", "--rate", "8000", "--csv", list, "-o", output});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("warning: " + dir_ + "/l\\xe9ste.csv: the column \"notes\" is not one this version knows"),
              std::string::npos)
        << run.err;
    const sonarel::testing::WavData wav = sonarel::testing::readWav(output);
    ASSERT_TRUE(wav.valid) << wav.error;
    ASSERT_EQ(wav.frames(), 12000);
    EXPECT_NEAR(wav.at(2000, 1), 6000, 1);
    EXPECT_NEAR(wav.at(6000, 1), 8000, 1);
    EXPECT_NEAR(wav.at(10000, 1), 2000, 1);

    // The output a list names is written under its own bytes too.
    const std::string namedOutput = path("named\xe9.wav");
    const std::string named = writeList("named.csv",
                                        "#output.file=" + namedOutput + "\n#output.rate=8000\ncaf\xe9.wav,0\n");
    const MixRun fromList = runMix({"-q", "--yes", "--csv", named});
    ASSERT_EQ(fromList.exitCode, 0) << fromList.err;
    EXPECT_EQ(sonarel::testing::readWav(namedOutput).frames(), 8000);

    // A list too large to be one is refused at once, with a message of one short line.
    const std::string huge = writeList("huge.csv", "path,start\na.wav,1" + std::string(10'000'000, '5') + "\n");
    const MixRun refused = runMix({"--csv", huge, "-o", output});
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_LT(refused.err.size(), 400u) << refused.err;
    EXPECT_NE(refused.err.find("line 2: a field is longer than 16 KiB"), std::string::npos) << refused.err;
}
