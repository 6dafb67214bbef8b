#pragma once
// Shared by the tests that kill a real `velor import` at one of its progress steps
// (VELOR_PAUSE_AT_STEP) and compare the data folder with a run never killed.
#include "support/TestSupport.h"

#include <QDir>
#include <QMap>
#include <QProcess>
#include <QProcessEnvironment>

namespace velor::test {

/// Starts `velor import` on a program folder; with pauseAt > 0 it stops for good at that step.
inline QProcess *startImport(const QString &dir, long long pauseAt = 0)
{
    auto *p = new QProcess;
    p->setProgram(QStringLiteral(VELOR_EXE));
    // The evening of the demo's last new day: no day of it lies after today.
    p->setArguments({QStringLiteral("--home"), dir, QStringLiteral("--now"), QStringLiteral("2026-12-11 20:00"), QStringLiteral("import")});
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("VELOR_PAUSE_AT_STEP"));
    if (pauseAt > 0) env.insert(QStringLiteral("VELOR_PAUSE_AT_STEP"), QString::number(pauseAt));
    p->setProcessEnvironment(env);
    p->start();
    return p;
}

/// Waits until the command announces its pause (true) or ends without reaching that step (false).
inline bool waitForPause(QProcess &p)
{
    QByteArray err;
    while (p.state() != QProcess::NotRunning) {
        p.waitForReadyRead(1000);
        err += p.readAllStandardError();
        if (err.contains("info: paused at step")) return true;
    }
    return false;
}

/// Every file of the data folder by name.
inline QMap<QString, QByteArray> dataFiles(const QString &dir)
{
    QMap<QString, QByteArray> m;
    for (const QString &n : QDir(dir + "/data").entryList(QDir::Files)) m[n] = readFile(dir + "/data/" + n);
    return m;
}

} // namespace velor::test
