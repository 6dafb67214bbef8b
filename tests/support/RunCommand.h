#pragma once
// Runs a command of the command line in the test's own process and keeps what it printed.
#include "app/CommandLine.h"

#include <QProcess>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>

namespace velor::test {

struct CommandRun {
    int code = -1;   ///< -1: the arguments were refused before the command ran
    QString out, err;
};

/// `velor --home PROGRAM [--now NOW] ARGS...`, with standard output and error captured.
inline CommandRun runVelorCommand(const QString &program, const QStringList &args, const QString &now = {})
{
    QStringList line{QStringLiteral("velor"), QStringLiteral("--home"), program};
    if (!now.isEmpty()) line << QStringLiteral("--now") << now;
    auto o = parseCommandLine(line + args);
    if (!o) return {};
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    CommandRun r;
    r.code = runCommand(*o, program);
    r.out = QString::fromStdString(::testing::internal::GetCapturedStdout());
    r.err = QString::fromStdString(::testing::internal::GetCapturedStderr());
    return r;
}

#ifdef VELOR_PROGRAM
/// The same in a process of its own (the program as built), offscreen; -1 when it did not end
/// within two minutes.
inline CommandRun runVelorProcess(const QString &program, const QStringList &args, const QString &now = {})
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    p.setProcessEnvironment(env);
    QStringList line{QStringLiteral("--home"), program};
    if (!now.isEmpty()) line << QStringLiteral("--now") << now;
    p.start(QStringLiteral(VELOR_PROGRAM), line + args);
    if (!p.waitForFinished(120000)) return {};
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}
#endif

} // namespace velor::test
