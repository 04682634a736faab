#pragma once

// The text of a PDF's pages as pdftotext (poppler-utils) reads it: what any
// viewer finds in the file.

#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

inline QString pdfText(const QString &pdf, int first = 0, int last = 0)
{
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (tool.isEmpty())
        qFatal("pdftotext (poppler-utils) is missing: scripts/deps.sh installs it");
    QStringList args;
    if (first > 0)
        args << QStringLiteral("-f") << QString::number(first) << QStringLiteral("-l") << QString::number(last);
    args << pdf << QStringLiteral("-");
    QProcess p;
    p.start(tool, args);
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}
