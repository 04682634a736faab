#pragma once

// Runs the rechnung-db tool as a program of its own, the way a user or a
// script does, and keeps what it said.

#include <QProcess>
#include <QString>
#include <QStringList>

struct ToolResult
{
    int exitCode = -1; // -1: it did not run to its end (err says why)
    QString out;
    QString err;
};

// Named where given, as in runTool(args, {.workDir = dir}); every member has
// an initializer so that the ones left out are no compiler warning.
struct ToolOptions
{
    QString workDir = QString();                        // the folder it runs in; this one when empty
    QString program = QStringLiteral(RECHNUNG_DB_TOOL); // another one wraps the tool (a shell, setpriv)
    QString locale = QString();                         // LC_ALL, the user's regional settings, when given
};

inline ToolResult runTool(const QStringList &args, const ToolOptions &options = {})
{
    QProcess p;
    p.setProgram(options.program);
    p.setArguments(args);
    if (!options.workDir.isEmpty())
        p.setWorkingDirectory(options.workDir);
    if (!options.locale.isEmpty()) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("LC_ALL"), options.locale);
        p.setProcessEnvironment(environment);
    }
    p.start();
    ToolResult r;
    // Long enough for the large files the benchmarks' data is made of.
    if (!p.waitForStarted() || !p.waitForFinished(180000) || p.exitStatus() != QProcess::NormalExit) {
        r.err = QStringLiteral("tool did not run to its end: ") + p.errorString();
        return r;
    }
    r.exitCode = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}
