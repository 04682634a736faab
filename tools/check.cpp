#include "commandline.h"
#include "commands.h"
#include "output.h"

#include "data/backup.h"
#include "data/engine.h"
#include "data/fileseparators.h"
#include "data/errors.h"
#include "data/schema.h"
#include "data/vatrates.h"
#include "data/years.h"


#include <QStringList>

namespace {

// The indexes every year should have, added where a file made before them
// lacks them. The names of those made, empty when none was missing.
QStringList addMissingIndexes(Database &database)
{
    const QString what = QStringLiteral("Die Indizes konnten nicht angelegt werden");
    Transaction transaction(database, true, what);
    const std::vector<YearIndex> missing = missingYearIndexes(database);
    createYearIndexes(database, missing);
    transaction.commit();
    QStringList names;
    for (const YearIndex &index : missing)
        names << index.name;
    return names;
}

QString separatorName(QChar c)
{
    if (c == QLatin1Char(','))
        return QStringLiteral("Komma");
    if (c == QLatin1Char('.'))
        return QStringLiteral("Punkt");
    return QLatin1Char('\'') + QString(c) + QLatin1Char('\'');
}

// "rechnung2004, id 7, einzelpreis: '2.50' ..."
QString noteLine(const StoredAmountNote &note, const Separators &separators)
{
    const QString where = QStringLiteral("%1, id %2, %3: '%4'").arg(note.table).arg(note.id).arg(note.column, note.text);
    if (note.reading == StoredNumber::Unreadable)
        return where + QStringLiteral(" ist keine Zahl; die Rechnung kann so nicht berechnet werden.");
    return where + QStringLiteral(" ist mit dem anderen Dezimaltrennzeichen geschrieben und wird als %1 gelesen.")
                       .arg(generalNumber(double(note.value), separators));
}

// Every line whose VAT rate or nature no invoice can be computed with:
// "rechnung2026, id 7: Der Steuersatz '7' ist nicht möglich: ...". A year
// made before lines had rates has every line at 10 %.
QStringList unreadableRates(Database &database)
{
    using namespace schema::line;
    QStringList found;
    withContext(QStringLiteral("Die Steuersätze der Datenbank können nicht gelesen werden"), [&] {
        for (const YearTables &year : findYears(database)) {
            if (!hasLineRates(database, year.lineTable))
                continue;
            StatementHandle st = database.prepare("SELECT " + schema::sql(Id) + ", " + schema::sql(schema::line::VatRate) + ", "
                                                      + schema::sql(Nature) + " FROM "
                                                      + database.quoteIdentifier(year.lineTable.toUtf8()) + " ORDER BY "
                                                      + schema::sql(Id),
                                                  Database::Reuse::Once);
            while (st->step()) {
                try {
                    vatRateOf(st->columnString(1), st->columnString(2));
                } catch (const ConversionError &e) {
                    found << QStringLiteral("%1, id %2: %3").arg(year.lineTable).arg(st->columnInteger(0)).arg(e.message());
                }
            }
        }
    });
    return found;
}

} // namespace

int runCheck(CommandLine &commandLine)
{
    commandLine.setDescription(QStringLiteral(
        "Prüft die Datenbank mit SQLites Integritätsprüfung und liest jede Menge und jeden Einzelpreis der "
        "Rechnungen: genannt werden die, die nicht lesbar sind (dann endet die Prüfung mit einem Fehler), und "
        "die, die mit dem anderen Dezimaltrennzeichen geschrieben sind. Ebenso jeder Steuersatz, mit dem keine "
        "Rechnung berechnet werden kann."));
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

    const std::unique_ptr<Database> database = openDatabase(file);
    const std::optional<Separators> stored = storedSeparators(*database);
    const Separators separators = stored.value_or(Separators::fromSystem());
    if (!stored)
        printLine(stdout, QStringLiteral("Die Datei nennt nicht, mit welchen Trennzeichen ihre Beträge geschrieben sind; "
                                         "gelesen wird mit denen dieses Computers (Dezimaltrennzeichen %1).")
                              .arg(separatorName(separators.decimal)));
    qsizetype unreadable = 0;
    for (const StoredAmountNote &note : storedAmountNotes(*database, separators)) {
        printLine(stdout, shown(noteLine(note, separators)));
        if (note.reading == StoredNumber::Unreadable)
            ++unreadable;
    }
    const QStringList badRates = unreadableRates(*database);
    for (const QString &line : badRates)
        printLine(stdout, shown(line));
    if (unreadable > 0 || !badRates.isEmpty()) {
        QStringList what;
        if (unreadable > 0)
            what << (unreadable == 1 ? QStringLiteral("ist ein Betrag nicht lesbar")
                                     : QStringLiteral("sind %1 Beträge nicht lesbar").arg(unreadable));
        if (!badRates.isEmpty())
            what << (badRates.size() == 1 ? QStringLiteral("ist ein Steuersatz nicht gültig")
                                          : QStringLiteral("sind %1 Steuersätze nicht gültig").arg(badRates.size()));
        printError(QStringLiteral("In der Datei %1 %2 (siehe oben); bitte in den Rechnungen korrigieren")
                       .arg(shown(file), what.join(QStringLiteral(", und es "))));
        return ExitFailure;
    }
    printLine(stdout, QStringLiteral("Die Datei %1 ist in Ordnung.").arg(shown(file)));
    if (commandLine.isSet(QStringLiteral("fix"))) {
        const QStringList made = addMissingIndexes(*database);
        if (made.isEmpty())
            printLine(stdout, QStringLiteral("Es fehlt kein Index."));
        else
            printLine(stdout, QStringLiteral("Indizes angelegt: %1.").arg(made.join(QStringLiteral(", "))));
    }
    return ExitOk;
}
