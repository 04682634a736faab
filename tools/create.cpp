#include "commandline.h"
#include "commands.h"
#include "output.h"

#include "data/newdatabase.h"

int runCreate(CommandLine &commandLine)
{
    commandLine.setDescription(QStringLiteral("Legt eine leere Datenbank an; eine vorhandene Datei wird nie überschrieben."));
    commandLine.addArgument(QStringLiteral("DATEI"), QStringLiteral("die neue Datenbankdatei"));
    if (!commandLine.parse())
        return ExitOk;
    const QString file = commandLine.file();

    // The program's "Neue Datenbank anlegen ..." makes its files the same
    // way; the file's amounts are to be written with this PC's separators.
    newdb::createEmpty(file, Separators::fromSystem());
    printLine(stdout, QStringLiteral("Leere Datenbank %1 angelegt.").arg(shown(file)));
    return ExitOk;
}
