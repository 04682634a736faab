#include "commandline.h"
#include "commands.h"
#include "output.h"

#include "data/backup.h"

int runCheck(CommandLine &commandLine)
{
    commandLine.setDescription(QStringLiteral("Prüft die Datenbank mit SQLites Integritätsprüfung."));
    commandLine.addArgument(QStringLiteral("DATEI"), QStringLiteral("die Datenbankdatei"));
    if (!commandLine.parse())
        return ExitOk;
    const QString file = commandLine.file();

    const QString problem = backup::integrityProblem(file);
    if (!problem.isEmpty()) {
        printError(shown(problem));
        return ExitFailure;
    }
    printLine(stdout, QStringLiteral("Die Datei %1 ist in Ordnung.").arg(shown(file)));
    return ExitOk;
}
