// SPDX-License-Identifier: GPL-3.0-or-later
// A small file system of its own, for tests of a full disk: a tmpfs mounted on a temporary folder
// for the life of the object. Mounting needs root; where it cannot be done, `skipReason()` says
// why and the test skips. The destructor unmounts, also after a failed check.
#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <string>
#include <vector>

namespace sonarel::testing {

class SmallDisk {
public:
    // `size` as mount(8) takes it: "1m" is 1 MiB.
    explicit SmallDisk(const QString& size = QStringLiteral("1m"))
    {
        if (::geteuid() != 0) {
            why_ = QStringLiteral("mounting a small tmpfs needs root");
            return;
        }
        if (!folder_.isValid()) {
            why_ = QStringLiteral("no temporary folder for the mount point");
            return;
        }
        QString output;
        if (!run(QStringLiteral("mount"),
                 {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"), QStringLiteral("size=") + size,
                  QStringLiteral("tmpfs"), folder_.path()},
                 output)) {
            why_ = QStringLiteral("mount -t tmpfs failed: ") + output.trimmed();
            return;
        }
        mounted_ = true;
    }

    ~SmallDisk()
    {
        if (!mounted_)
            return;
        QString output;
        // A lazy unmount if something still holds it open, so no mount outlives the test.
        if (!run(QStringLiteral("umount"), {folder_.path()}, output))
            run(QStringLiteral("umount"), {QStringLiteral("-l"), folder_.path()}, output);
    }

    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool isMounted() const { return mounted_; }
    const QString& skipReason() const { return why_; }
    QString path() const { return folder_.path(); }
    QString filePath(const QString& name) const { return folder_.filePath(name); }

private:
    // A plain fork and exec, not QProcess: QProcess starts its child with a clone that shares the
    // test's memory, which ThreadSanitizer cannot follow; after it, the sanitizer loses track of
    // the locks the test's own thread takes and reports races that are not there.
    static bool run(const QString& program, const QStringList& arguments, QString& output)
    {
        std::vector<std::string> words{program.toStdString()};
        for (const QString& argument : arguments)
            words.push_back(argument.toStdString());
        std::vector<char*> argv;
        for (std::string& word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        const pid_t child = fork();
        if (child < 0) {
            output = program + QStringLiteral(" did not start");
            return false;
        }
        if (child == 0) {
            const int quiet = open("/dev/null", O_WRONLY);
            if (quiet >= 0) {
                dup2(quiet, STDOUT_FILENO);
                dup2(quiet, STDERR_FILENO);
            }
            execvp(argv[0], argv.data());
            _exit(127);
        }
        int status = 0;
        if (waitpid(child, &status, 0) != child) {
            output = program + QStringLiteral(" did not finish");
            return false;
        }
        output = program + QStringLiteral(" ended with status %1").arg(WIFEXITED(status) ? WEXITSTATUS(status) : -1);
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

    QTemporaryDir folder_;
    bool mounted_ = false;
    QString why_;
};

}  // namespace sonarel::testing
