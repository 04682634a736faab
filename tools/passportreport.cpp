#include "commandline.h"
#include "commands.h"
#include "output.h"

#include "data/csvexport.h"
#include "data/engine.h"
#include "data/fileseparators.h"
#include "data/passportreport.h"
#include "einvoice/store.h"

#include <QFileInfo>

#include <optional>

// Who got which plants, for the plant protection service: the traceability
// list as the program saves it.
int runPassportReport(CommandLine &commandLine)
{
    commandLine.setDescription(QStringLiteral(
        "Schreibt den Pflanzenpass-Nachweis als CSV-Datei (Semikolon, Dezimalkomma, UTF-8): jede Pflanze, die im "
        "Zeitraum mit einem Lieferschein an einen Geschäftskunden in Italien oder der EU ging, mit Datum, "
        "Lieferschein, Kunde, MwSt.-Nr., botanischem Namen (A), Rückverfolgbarkeitscode (C), Ursprung (D), Menge, "
        "Einheit und Rechnung; nach Datum geordnet. Mit --name nur die Pflanzen, deren botanischer Name mit diesen "
        "Wörtern beginnt, mit --code nur die mit diesem Code (Groß- und Kleinschreibung zählen nicht). Ein "
        "vorhandenes ZIEL wird ersetzt."));
    commandLine.addArgument(QStringLiteral("DATEI"), QStringLiteral("die Datenbankdatei"));
    commandLine.addArgument(QStringLiteral("ZIEL"), QStringLiteral("die CSV-Datei"));
    commandLine.addValueOption(QStringLiteral("from"), QStringLiteral("DATUM"),
                               QStringLiteral("der erste Tag des Zeitraums, TT.MM.JJJJ"), QStringLiteral("das Datum"));
    commandLine.addValueOption(QStringLiteral("to"), QStringLiteral("DATUM"),
                               QStringLiteral("der letzte Tag des Zeitraums, TT.MM.JJJJ"), QStringLiteral("das Datum"));
    commandLine.addValueOption(QStringLiteral("name"), QStringLiteral("TEXT"),
                               QStringLiteral("der botanische Name oder sein Anfang, z. B. \"Olea europaea\""),
                               QStringLiteral("der Name"));
    commandLine.addValueOption(QStringLiteral("code"), QStringLiteral("TEXT"),
                               QStringLiteral("der Rückverfolgbarkeitscode der Partie"), QStringLiteral("der Code"));
    if (!commandLine.parse())
        return ExitOk;
    const QString file = commandLine.file();
    const QString target = commandLine.target();
    PassportQuery query;
    for (const auto &[option, value] : {std::pair{QStringLiteral("from"), &query.from}, std::pair{QStringLiteral("to"), &query.to}}) {
        const std::optional<QString> typed = commandLine.value(option);
        if (!typed)
            throw UsageError{QStringLiteral("Beim Befehl passport-report fehlt --%1").arg(option)};
        *value = *typed;
    }
    const std::optional<QString> name = commandLine.value(QStringLiteral("name"));
    const std::optional<QString> code = commandLine.value(QStringLiteral("code"));
    if (name && code)
        throw UsageError{QStringLiteral("Beim Befehl passport-report gilt entweder --name oder --code, nicht beide")};
    if (code) {
        query.by = PassportSearch::TraceabilityCode;
        query.text = *code;
    } else if (name) {
        query.text = *name;
    }
    // A wrong date is said before the file is touched.
    readPeriod(query.from, query.to);

    const std::unique_ptr<Database> database = openDatabase(file);
    // A slip of the keyboard must not turn the database into a list.
    const QFileInfo targetInfo(target);
    if (targetInfo.exists() && targetInfo.canonicalFilePath() == QFileInfo(file).canonicalFilePath())
        throw Failure{QStringLiteral("Die CSV-Datei kann nicht die Datenbank selbst sein; bitte eine andere Zieldatei angeben")};
    const Separators separators = separatorsOfFile(*database);
    Database &connection = *database;
    const QList<PassportDelivery> deliveries = passportDeliveries(
        connection, separators, query, [&connection](qint64 customerId) { return einvoice::customerKindOf(connection, customerId); });
    saveCsvFile(target, csvDocument(passportCsvRows(deliveries, separators)));
    printLine(stdout, QStringLiteral("%1 Pflanzen-Positionen vom %2 bis %3 in %4 geschrieben.")
                          .arg(deliveries.size())
                          .arg(query.from.trimmed(), query.to.trimmed(), shown(target)));
    return ExitOk;
}
