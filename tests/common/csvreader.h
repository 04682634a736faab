#pragma once

#include <QJsonArray>
#include <QJsonDocument>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>

// A CSV file as a reader of its own sees it: Python's csv module with ";" as
// the delimiter, strict about quotes, the byte order mark taken off as
// spreadsheets do. `problem` says why there are no rows.
struct CsvReadBack
{
    QList<QStringList> rows;
    QString problem;
};

inline CsvReadBack readCsvWithPython(const QString &file)
{
    static const char *const script = R"py(
import csv, json, sys
with open(sys.argv[1], newline='', encoding='utf-8-sig') as f:
    rows = list(csv.reader(f, delimiter=';', strict=True))
sys.stdout.write(json.dumps(rows))
)py";
    QProcess p;
    p.start(QStringLiteral("python3"), {QStringLiteral("-c"), QString::fromLatin1(script), file});
    CsvReadBack result;
    if (!p.waitForStarted() || !p.waitForFinished(60000)) {
        result.problem = QStringLiteral("python3 did not run (package python3)");
        return result;
    }
    if (p.exitCode() != 0) {
        result.problem = QString::fromUtf8(p.readAllStandardError());
        return result;
    }
    for (const QJsonValue &row : QJsonDocument::fromJson(p.readAllStandardOutput()).array()) {
        QStringList fields;
        for (const QJsonValue &field : row.toArray())
            fields << field.toString();
        result.rows << fields;
    }
    return result;
}
