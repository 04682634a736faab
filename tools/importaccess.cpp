#include "commandline.h"
#include "commands.h"
#include "output.h"

#include "access/accessfile.h"
#include "access/import.h"
#include "data/amount.h"

namespace {

// "Table1: 2 Zeilen; A Text(50), B Text(100), ..."
QString tableLine(const accessdb::Table &t)
{
    if (!t.unreadable.isEmpty())
        return QStringLiteral("%1: nicht lesbar, %2").arg(t.name, t.unreadable);
    const qint64 rows = qint64(t.rows.size());
    QString line = QStringLiteral("%1: %2 %3").arg(t.name).arg(rows).arg(rows == 1 ? QStringLiteral("Zeile") : QStringLiteral("Zeilen"));
    // A damaged table can hand out fewer rows than its definition announces.
    if (t.declaredRows >= 0 && t.declaredRows != rows)
        line += QStringLiteral(" (laut Tabellendefinition %1)").arg(t.declaredRows);
    QStringList columns;
    for (const accessdb::Column &c : t.columns) {
        QString column = c.name + QLatin1Char(' ') + c.typeName();
        if (c.unread)
            column += QStringLiteral(" (berechnet, nicht lesbar; wird nicht übernommen)");
        else if (c.calculated)
            column += QStringLiteral(" (berechnet)");
        columns << column;
    }
    return line + QStringLiteral("; ") + columns.join(QStringLiteral(", "));
}

int listTables(const QString &file)
{
    const accessdb::AccessFile access(file);
    if (access.tables().empty())
        printLine(stdout, QStringLiteral("Die Datei %1 enthält keine Tabellen.").arg(shown(file)));
    for (const accessdb::Table &t : access.tables())
        printLine(stdout, shown(tableLine(t)));
    return ExitOk;
}

int import(const QString &file, const QString &target)
{
    // Numbers become text with this PC's separators, which the new file names as its own.
    const accessdb::ImportReport report = accessdb::importAccessFile(file, target, Separators::fromSystem());
    for (const QString &line : accessdb::reportLines(report))
        printLine(stdout, shown(line));
    if (!report.complete()) {
        printError(QStringLiteral("Nicht jede Zeile der Access-Datei wurde übernommen; siehe oben"));
        return ExitFailure;
    }
    return ExitOk;
}

} // namespace

// Looks into an Access file, or brings its data into a new database the way
// the program does when it meets one.
int runImportAccess(CommandLine &commandLine)
{
    commandLine.setDescription(QStringLiteral(
        "Übernimmt die Daten einer Access-Datenbank dieses Programms (Jet 3, Jet 4 oder ACE) in die neue "
        "Datenbank ZIEL, oder zeigt mit --list ihre Tabellen. Die Access-Datei wird nur gelesen."));
    commandLine.addArgument(QStringLiteral("ACCESSDATEI"), QStringLiteral("die Access-Datei"));
    commandLine.addArgument(QStringLiteral("ZIEL"), QStringLiteral("die neue Datenbankdatei"));
    commandLine.addFlag(QStringLiteral("list"),
                        QStringLiteral("zeigt jede Tabelle mit der Zahl ihrer Zeilen und den Typen ihrer Spalten"));
    if (!commandLine.parse())
        return ExitOk;
    const QString file = commandLine.file();
    const bool list = commandLine.isSet(QStringLiteral("list"));
    if (list && commandLine.argument(1))
        throw CommandLine::surplusArgument(*commandLine.argument(1));
    const QString target = list ? QString() : commandLine.target();

    return list ? listTables(file) : import(file, target);
}
