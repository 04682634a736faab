#include "commandline.h"
#include "commands.h"
#include "output.h"

#include "data/deferredinvoice.h"
#include "data/engine.h"
#include "data/fileseparators.h"
#include "einvoice/store.h"

#include <QDate>

#include <optional>

// The month's invoice of a customer from the delivery notes, as the program
// makes it; its number on stdout, for a script to export or print it next.
int runDeferredInvoice(CommandLine &commandLine)
{
    commandLine.setDescription(QStringLiteral(
        "Erstellt aus den noch nicht verrechneten Lieferscheinen eines Kunden in einem Monat eine Sammelrechnung "
        "(TD24) mit allen ihren Zeilen, vermerkt die Lieferscheine als verrechnet und gibt die Nummer der neuen "
        "Rechnung aus. Das Rechnungsdatum darf nicht nach dem 15. des Folgemonats liegen."));
    commandLine.addArgument(QStringLiteral("DATEI"), QStringLiteral("die Datenbankdatei"));
    const QString value = QStringLiteral("der Wert");
    commandLine.addValueOption(QStringLiteral("customer"), QStringLiteral("ID"), QStringLiteral("die Nummer (id) des Kunden"),
                               value);
    commandLine.addValueOption(QStringLiteral("month"), QStringLiteral("JJJJ-MM"), QStringLiteral("der Monat der Lieferungen"),
                               value);
    commandLine.addValueOption(QStringLiteral("date"), QStringLiteral("TT.MM.JJJJ"),
                               QStringLiteral("das Rechnungsdatum (sonst heute)"), value);
    if (!commandLine.parse())
        return ExitOk;
    const QString file = commandLine.file();
    const std::optional<QString> typedCustomer = commandLine.value(QStringLiteral("customer"));
    const std::optional<QString> typedMonth = commandLine.value(QStringLiteral("month"));
    QStringList missing;
    if (!typedCustomer)
        missing << QStringLiteral("--customer");
    if (!typedMonth)
        missing << QStringLiteral("--month");
    if (!missing.isEmpty())
        throw UsageError{QStringLiteral("Beim Befehl sammelrechnung fehlt %1").arg(missing.join(QStringLiteral(", ")))};
    bool isNumber = false;
    const qint64 customerId = typedCustomer->trimmed().toLongLong(&isNumber);
    if (!isNumber || customerId <= 0)
        throw UsageError{QStringLiteral("Die Kundennummer bei --customer muss eine ganze Zahl größer als 0 sein, nicht '%1'")
                             .arg(shown(*typedCustomer))};
    QDate date = QDate::currentDate();
    if (const std::optional<QString> typedDate = commandLine.value(QStringLiteral("date"))) {
        date = QDate::fromString(typedDate->trimmed(), QStringLiteral("dd.MM.yyyy"));
        if (!date.isValid())
            throw UsageError{QStringLiteral("Das Datum bei --date muss die Form TT.MM.JJJJ haben, nicht '%1'").arg(shown(*typedDate))};
    }
    const QDate month = deliveryMonthOf(*typedMonth);

    const std::unique_ptr<Database> database = openDatabase(file);
    Database &connection = *database;
    const Invoice made = makeDeferredInvoice(connection, separatorsOfFile(connection),
                                             {.customerId = customerId,
                                              .month = month,
                                              .date = date,
                                              .kind = einvoice::customerKindOf(connection, customerId)});
    printLine(stdout, shown(made.header.nr));
    return ExitOk;
}
