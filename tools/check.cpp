#include "commandline.h"
#include "commands.h"
#include "output.h"

#include "data/backup.h"
#include "data/engine.h"
#include "data/years.h"

#include <QStringList>

namespace {

// The indexes every year should have, added where a file made before them
// lacks them. The names of those made, empty when none was missing.
QStringList addMissingIndexes(const QString &file)
{
    const std::unique_ptr<Database> database = openDatabase(file);
    const QString what = QStringLiteral("Die Indizes konnten nicht angelegt werden");
    Transaction transaction(*database, true, what);
    const std::vector<YearIndex> missing = missingYearIndexes(*database);
    createYearIndexes(*database, missing);
    transaction.commit();
    QStringList names;
    for (const YearIndex &index : missing)
        names << index.name;
    return names;
}

} // namespace

int runCheck(CommandLine &commandLine)
{
    commandLine.setDescription(QStringLiteral("Prüft die Datenbank mit SQLites Integritätsprüfung."));
    commandLine.addArgument(QStringLiteral("DATEI"), QStringLiteral("die Datenbankdatei"));
    commandLine.addFlag(QStringLiteral("fix"), QStringLiteral("legt die Indizes jedes Jahres an, die der Datei fehlen"));
    if (!commandLine.parse())
        return ExitOk;
    const QString file = commandLine.file();

    const QString problem = backup::integrityProblem(file);
    if (!problem.isEmpty()) {
        printError(shown(problem));
        return ExitFailure;
    }
    printLine(stdout, QStringLiteral("Die Datei %1 ist in Ordnung.").arg(shown(file)));
    if (commandLine.isSet(QStringLiteral("fix"))) {
        const QStringList made = addMissingIndexes(file);
        if (made.isEmpty())
            printLine(stdout, QStringLiteral("Es fehlt kein Index."));
        else
            printLine(stdout, QStringLiteral("Indizes angelegt: %1.").arg(made.join(QStringLiteral(", "))));
    }
    return ExitOk;
}
