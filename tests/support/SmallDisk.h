// SPDX-License-Identifier: GPL-3.0-or-later
// A small file system of its own, for tests of a full disk: a tmpfs mounted on a temporary folder
// for the life of the object. Mounting needs root; where it cannot be done, `skipReason()` says
// why and the test skips. The destructor unmounts, also after a failed check.
#pragma once

#include <unistd.h>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

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
    static bool run(const QString& program, const QStringList& arguments, QString& output)
    {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(program, arguments);
        if (!process.waitForFinished(30000)) {
            process.kill();
            process.waitForFinished();
            output = program + QStringLiteral(" did not start or did not finish");
            return false;
        }
        output = QString::fromLocal8Bit(process.readAll());
        return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    }

    QTemporaryDir folder_;
    bool mounted_ = false;
    QString why_;
};

}  // namespace sonarel::testing
