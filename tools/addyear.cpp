#include "commandline.h"
#include "commands.h"
#include "output.h"

#include "data/engine.h"
#include "data/years.h"

int runAddYear(CommandLine &commandLine)
{
    commandLine.setDescription(QStringLiteral("Legt die Tabellen eines Jahres an, wie die des neuesten Jahres."));
    commandLine.addArgument(QStringLiteral("DATEI"), QStringLiteral("die Datenbankdatei"));
    commandLine.addArgument(QStringLiteral("JAHR"), QStringLiteral("das Jahr, vierstellig"));
    if (!commandLine.parse())
        return ExitOk;
    const QString file = commandLine.file();
    const std::optional<QString> typedYear = commandLine.argument(1);
    if (!typedYear)
        throw UsageError{QStringLiteral("Beim Befehl add-year fehlt das Jahr")};

    const int year = parseYear(*typedYear);
    const std::unique_ptr<Database> database = openDatabase(file);
    createYearTables(*database, year);
    const YearTables tables = tablesOfYear(year);
    printLine(stdout, QStringLiteral("Tabellen für das Jahr %1 in %2 angelegt: %3, %4.")
                          .arg(year)
                          .arg(shown(file), tables.headerTable, tables.lineTable));
    return ExitOk;
}
