// SPDX-License-Identifier: GPL-3.0-or-later
// A program run to its end for the command-line tests: its exit status, standard output as bytes
// and standard error as text. A run past two minutes is killed and reads as failed.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

namespace sonarel::testing {

struct ProgramRun {
    int exitCode = -1;  // -1 also for a crash or a kill
    QByteArray out;
    QString err;
};

inline ProgramRun runProgram(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    ProgramRun run;
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        run.err = QStringLiteral("timed out");
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput();
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

#ifdef SONAREL_MIX_PATH
// sonarel-mix with -q before the arguments.
inline ProgramRun runQuietMix(QStringList arguments)
{
    arguments.prepend(QStringLiteral("-q"));
    return runProgram(QStringLiteral(SONAREL_MIX_PATH), arguments);
}
#endif

}  // namespace sonarel::testing
