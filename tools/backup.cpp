#include "commandline.h"
#include "commands.h"
#include "output.h"

#include "data/backup.h"


// A consistent, checked copy, even while the program writes to the source.
int runBackup(CommandLine &commandLine)
{
    commandLine.setDescription(QStringLiteral(
        "Kopiert die Datenbank QUELLE nach ZIEL, als einen in sich stimmigen Stand, auch während ein anderes "
        "Programm schreibt, und prüft die Kopie; ein vorhandenes ZIEL wird nie überschrieben."));
    commandLine.addArgument(QStringLiteral("QUELLE"), QStringLiteral("die Datenbankdatei"));
    commandLine.addArgument(QStringLiteral("ZIEL"), QStringLiteral("die neue Datei der Sicherung"));
    if (!commandLine.parse())
        return ExitOk;
    const QString file = commandLine.file();
    const QString target = commandLine.target();

    backup::copyFile(file, target);
    printLine(stdout, QStringLiteral("Sicherung von %1 in %2 geschrieben und geprüft.").arg(shown(file), shown(target)));
    return ExitOk;
}
