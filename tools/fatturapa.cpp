#include "commandline.h"
#include "commands.h"
#include "output.h"

#include "data/amount.h"
#include "data/engine.h"
#include "data/fileseparators.h"
#include "data/invoicerepository.h"
#include "data/years.h"
#include "einvoice/exportrecord.h"
#include "einvoice/prefill.h"
#include "einvoice/store.h"

#include <QFileInfo>

#include <optional>

// The export as the program makes it: the business's data, the customer's
// stored e-invoice data (or what the customer's row tells), the same checks
// and the same transmission number.
int runFatturaPA(CommandLine &commandLine)
{
    commandLine.setDescription(QStringLiteral("Schreibt eine Rechnung als elektronische Rechnung (FatturaPA 1.2) in "
                                              "den Ordner und gibt den Pfad der Datei aus."));
    commandLine.addArgument(QStringLiteral("DATEI"), QStringLiteral("die Datenbankdatei"));
    const QString value = QStringLiteral("der Wert");
    commandLine.addValueOption(QStringLiteral("year"), QStringLiteral("JAHR"), QStringLiteral("das Jahr der Rechnung"), value);
    commandLine.addValueOption(QStringLiteral("nr"), QStringLiteral("NR"), QStringLiteral("die Nummer der Rechnung"), value);
    commandLine.addValueOption(QStringLiteral("out"), QStringLiteral("ORDNER"),
                               QStringLiteral("der Ordner für die Datei (sonst der aktuelle)"), value);
    commandLine.addFlag(QStringLiteral("again"),
                        QStringLiteral("exportiert eine Rechnung, die schon exportiert wurde, noch einmal"));
    if (!commandLine.parse())
        return ExitOk;
    const QString file = commandLine.file();
    const std::optional<QString> typedYear = commandLine.value(QStringLiteral("year"));
    const std::optional<QString> nr = commandLine.value(QStringLiteral("nr"));
    QStringList missing;
    if (!typedYear)
        missing << QStringLiteral("--year");
    if (!nr)
        missing << QStringLiteral("--nr");
    if (!missing.isEmpty())
        throw UsageError{QStringLiteral("Beim Befehl fatturapa fehlt %1").arg(missing.join(QStringLiteral(", ")))};
    if (nr->isEmpty())
        throw UsageError{QStringLiteral("Die Rechnungsnummer bei --nr ist leer")};
    // Where the accountant runs it, unless told otherwise.
    const QString out = commandLine.value(QStringLiteral("out")).value_or(QStringLiteral("."));
    if (out.isEmpty())
        throw UsageError{QStringLiteral("Der Ordner bei --out ist leer")};

    const int year = parseYear(*typedYear);
    if (!QFileInfo(out).isDir())
        throw Failure{QStringLiteral("Der Ordner '%1' existiert nicht").arg(shown(out))};
    const std::unique_ptr<Database> database = openDatabase(file);
    Database &connection = *database;
    // The numbers in the lines are read as the program reads them.
    const Separators separators = separatorsOfFile(connection);
    const std::optional<einvoice::Seller> seller = einvoice::loadSeller(connection);
    if (!seller)
        throw Failure{einvoice::NoBusinessData};
    const Invoice invoice = InvoiceRepository(connection, separators).loadByNumber(year, *nr);
    const einvoice::Buyer buyer = einvoice::buyerOfCustomer(connection, invoice.header.customerId());
    const bool again = commandLine.isSet(QStringLiteral("again"));
    // Asked here in the tool's words; the export would refuse as well.
    if (!again) {
        if (const std::optional<einvoice::PreviousExport> previous = einvoice::lastExport(connection, year, *nr))
            throw Failure{einvoice::exportedBefore(*previous)
                          + QStringLiteral(" Mit --again wird sie noch einmal exportiert; das Austauschsystem (SdI) weist eine zweite "
                                           "Datei derselben Rechnung aber als Doppel ab")};
    }
    const einvoice::ExportResult result =
        einvoice::exportInvoice(connection, *seller, buyer, invoice, year, out, separators, {.again = again});
    printLine(stdout, shown(QFileInfo(result.path).absoluteFilePath()));
    // Beside the path, which scripts read from stdout.
    for (const QString &note : result.notes)
        printLine(stderr, QStringLiteral("rechnung-db: Hinweis: ") + shown(note));
    return ExitOk;
}
