#include "commandline.h"
#include "commands.h"
#include "output.h"

#include "data/csvexport.h"
#include "data/engine.h"
#include "data/fileseparators.h"
#include "data/invoicelist.h"
#include "data/years.h"

#include <QFileInfo>

#include <optional>

// The year's invoices for the accountant's spreadsheet.
int runExportCsv(CommandLine &commandLine)
{
    commandLine.setDescription(QStringLiteral(
        "Schreibt die Rechnungen und Gutschriften eines Jahres als CSV-Datei für die Buchhaltung (Semikolon, "
        "Dezimalkomma, UTF-8): je Beleg Nummer, Datum, Kunde, USt-IdNr., Netto je Steuersatz, MwSt., Brutto, Art und "
        "Zahldatum; Gutschriften mit negativen Beträgen. Ein vorhandenes ZIEL wird ersetzt."));
    commandLine.addArgument(QStringLiteral("DATEI"), QStringLiteral("die Datenbankdatei"));
    commandLine.addArgument(QStringLiteral("ZIEL"), QStringLiteral("die CSV-Datei"));
    commandLine.addValueOption(QStringLiteral("year"), QStringLiteral("JAHR"), QStringLiteral("das Jahr der Rechnungen"),
                               QStringLiteral("der Wert"));
    if (!commandLine.parse())
        return ExitOk;
    const QString file = commandLine.file();
    const QString target = commandLine.target();
    const std::optional<QString> typedYear = commandLine.value(QStringLiteral("year"));
    if (!typedYear)
        throw UsageError{QStringLiteral("Beim Befehl export-csv fehlt --year")};

    const int year = parseYear(*typedYear);
    const std::unique_ptr<Database> database = openDatabase(file);
    // A slip of the keyboard must not turn the database into a list.
    const QFileInfo targetInfo(target);
    if (targetInfo.exists() && targetInfo.canonicalFilePath() == QFileInfo(file).canonicalFilePath())
        throw Failure{QStringLiteral("Die CSV-Datei kann nicht die Datenbank selbst sein; bitte eine andere Zieldatei angeben")};
    const QList<InvoiceSummary> summaries = summariesOfYear(*database, year, separatorsOfFile(*database));
    const QList<QStringList> rows = invoiceListCsvRows(summaries);
    saveCsvFile(target, csvDocument(rows));
    printLine(stdout, QStringLiteral("%1 Belege des Jahres %2 in %3 geschrieben.")
                          .arg(rows.size() - 1)
                          .arg(year)
                          .arg(shown(target)));
    return ExitOk;
}
