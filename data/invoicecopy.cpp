#include "invoicecopy.h"

#include "duedate.h"

#include "engine.h"
#include "errors.h"
#include "invoicelist.h"
#include "invoicerepository.h"
#include "schema.h"
#include "years.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <vector>

namespace {

// As long as a text column holds; the record sets cut what is longer.
constexpr int LongestNumber = 50;

bool yearExists(Database &database, int year)
{
    const std::vector<YearTables> years = findYears(database);
    return std::any_of(years.begin(), years.end(), [&](const YearTables &y) { return y.year == year; });
}

// The digits at the end of a number and what stands before them.
struct NumberParts
{
    QString prefix;
    QString digits;
};
std::optional<NumberParts> splitNumber(const QString &number)
{
    const QString text = number.trimmed();
    qsizetype start = text.size();
    while (start > 0 && text.at(start - 1).isDigit() && text.at(start - 1).unicode() < 128)
        --start;
    if (start == text.size())
        return std::nullopt;
    return NumberParts{text.left(start), text.mid(start)};
}

// A count of digits as a number; long runs of digits compare as texts do,
// so that no number is too long to count on from.
bool digitsLess(const QString &a, const QString &b)
{
    const auto strip = [](const QString &d) {
        qsizetype i = 0;
        while (i < d.size() - 1 && d.at(i) == QLatin1Char('0'))
            ++i;
        return d.mid(i);
    };
    const QString x = strip(a);
    const QString y = strip(b);
    return x.size() != y.size() ? x.size() < y.size() : x < y;
}

QString digitsPlusOne(const QString &digits)
{
    QString result = digits;
    for (qsizetype i = result.size() - 1; i >= 0; --i) {
        if (result.at(i) != QLatin1Char('9')) {
            result[i] = QChar(result.at(i).unicode() + 1);
            return result;
        }
        result[i] = QLatin1Char('0');
    }
    return QLatin1Char('1') + result;
}

// Counts on from `number` (prefix and digits) until a number not taken.
QString firstFree(const QStringList &taken, const QString &prefix, QString digits)
{
    QString candidate = prefix + digits;
    while (isNumberTaken(taken, candidate)) {
        digits = digitsPlusOne(digits);
        candidate = prefix + digits;
    }
    return candidate;
}

void checkNewNumber(const QStringList &taken, const QString &number, int year)
{
    if (number.trimmed().isEmpty())
        throw ConversionError(QStringLiteral("Bitte eine Nummer für das neue Dokument eingeben."));
    if (number.size() > LongestNumber)
        throw ConversionError(QStringLiteral("Die Nummer \"%1\" ist länger als %2 Zeichen. Bitte eine kürzere Nummer eingeben.")
                                  .arg(number)
                                  .arg(LongestNumber));
    if (isNumberTaken(taken, number))
        throw ConversionError(QStringLiteral("Die Nummer \"%1\" gibt es im Jahr %2 schon. Bitte eine andere Nummer eingeben; "
                                             "es wurde nichts gespeichert.")
                                  .arg(number.trimmed())
                                  .arg(year));
}

// Stores `document` in the year of `today` with its tables made first, all
// in one transaction: a refusal leaves no new year behind either.
Invoice storeNew(Database &database, const Separators &separators, Invoice document, const QDate &today,
                 const std::function<void(int year)> &checkYear)
{
    const int year = today.year();
    const QString what = QStringLiteral("Das Dokument %1 kann nicht gespeichert werden").arg(document.header.nr.trimmed());
    Transaction transaction(database, true, what);
    ensureYearTables(database, year);
    checkYear(year);
    checkNewNumber(numbersOfYear(database, year).all(), document.header.nr, year);
    document.header.nr = document.header.nr.trimmed();
    document.header.datum = storedDateText(today);
    // Due as its terms say, as a header typed in the grid is; a year made
    // before due dates has nowhere to keep one.
    if (database.columnInfo(tablesOfYear(year).headerTable.toUtf8(), schema::sql(schema::header::DueDate)).found)
        document.header.faellig = dueDateText(document.header.datum, document.header.bezahlung);
    InvoiceRepository(database, separators).insert(year, document);
    transaction.commit();
    return document;
}

} // namespace

QString creditNotePrefix(int year)
{
    return QStringLiteral("GS-%1-").arg(year);
}

bool isNumberTaken(const QStringList &numbers, const QString &number)
{
    const QString wanted = number.trimmed();
    return std::any_of(numbers.begin(), numbers.end(),
                       [&](const QString &n) { return n.trimmed().compare(wanted, Qt::CaseInsensitive) == 0; });
}

QString nextInSeries(const QStringList &taken, const QString &prefix)
{
    const QString series = prefix.trimmed();
    QString highest = QStringLiteral("0");
    for (const QString &n : taken) {
        const QString number = n.trimmed();
        if (!number.startsWith(series, Qt::CaseInsensitive))
            continue;
        const QString rest = number.mid(series.size());
        if (rest.isEmpty() || !std::all_of(rest.begin(), rest.end(), [](QChar c) { return c.isDigit() && c.unicode() < 128; }))
            continue;
        if (digitsLess(highest, rest))
            highest = rest;
    }
    return firstFree(taken, series, digitsPlusOne(highest));
}

QString nextInvoiceNumberAfter(const QStringList &invoiceNumbers, const QStringList &taken, int year)
{
    std::optional<NumberParts> highest;
    for (const QString &n : invoiceNumbers) {
        const std::optional<NumberParts> parts = splitNumber(n);
        // Of two equal numbers the later counts: its prefix is the one in use.
        if (parts && (!highest || !digitsLess(parts->digits, highest->digits)))
            highest = parts;
    }
    if (!highest)
        return firstFree(taken, QStringLiteral("%1-").arg(year), QStringLiteral("1"));
    return firstFree(taken, highest->prefix, digitsPlusOne(highest->digits));
}

YearNumbers numbersOfYear(Database &database, int year)
{
    YearNumbers numbers;
    if (!yearExists(database, year))
        return numbers;
    const QString headerTable = tablesOfYear(year).headerTable;
    withContext(QStringLiteral("Die Nummern des Jahres %1 können nicht gelesen werden").arg(year), [&] {
        using namespace schema::header;
        const bool kinds = database.columnInfo(headerTable.toUtf8(), schema::sql(DocumentKind)).found;
        StatementHandle st = database.prepare(QStringLiteral("SELECT %1, %2 FROM %3 ORDER BY %4")
                                                  .arg(Number, kinds ? QString(DocumentKind) : QStringLiteral("NULL"),
                                                       headerTable, Id)
                                                  .toUtf8());
        while (st->step()) {
            if (st->columnType(0) == Value::Null)
                continue;
            InvoiceHeader header;
            header.dokumentart = st->columnType(1) == Value::Null ? QString() : st->columnString(1);
            (header.isCreditNote() ? numbers.creditNotes : numbers.invoices).append(st->columnString(0));
        }
    });
    return numbers;
}

QList<Customer> customersByName(Database &database)
{
    QList<Customer> customers;
    withContext(QStringLiteral("Die Kunden können nicht gelesen werden"), [&] {
        using namespace schema::customer;
        StatementHandle st = database.prepare(
            QStringLiteral("SELECT %1 FROM %2 ORDER BY %3").arg(schema::columnList({Id, Name, CustomerNumber}), Table, Id).toUtf8());
        while (st->step()) {
            Customer c;
            c.id = st->columnInteger(0);
            c.name = st->columnType(1) == Value::Null ? QString() : st->columnString(1);
            c.kundennr = st->columnType(2) == Value::Null ? QString() : st->columnString(2);
            customers.append(c);
        }
    });
    std::stable_sort(customers.begin(), customers.end(), [](const Customer &a, const Customer &b) {
        return a.name.trimmed().compare(b.name.trimmed(), Qt::CaseInsensitive) < 0;
    });
    return customers;
}

QString nextCreditNoteNumber(Database &database, int year, const QString &prefix)
{
    return nextInSeries(numbersOfYear(database, year).all(), prefix);
}

QString nextInvoiceNumber(Database &database, int year)
{
    const YearNumbers numbers = numbersOfYear(database, year);
    return nextInvoiceNumberAfter(numbers.invoices, numbers.all(), year);
}

void checkCanBeCredited(const InvoiceHeader &source)
{
    if (source.isCreditNote())
        throw ConversionError(QStringLiteral("Die gewählte Rechnung %1 ist selbst eine Gutschrift; zu ihr kann keine "
                                             "Gutschrift erstellt werden. Bitte die Rechnung wählen, die gutgeschrieben wird.")
                                  .arg(source.nr.trimmed()));
}

void checkCanBeCopied(const InvoiceHeader &source)
{
    if (source.isCreditNote())
        throw ConversionError(QStringLiteral("Die gewählte Rechnung %1 ist eine Gutschrift und kann nicht als Rechnung "
                                             "kopiert werden. Bitte eine Rechnung wählen.")
                                  .arg(source.nr.trimmed()));
}

Invoice makeCreditNote(Database &database, const Separators &separators, int sourceYear, qint64 sourceId,
                       const QString &number, const QDate &today)
{
    const Invoice source = InvoiceRepository(database, separators).loadById(sourceYear, sourceId);
    checkCanBeCredited(source.header);
    Invoice note;
    note.header.nr = number;
    note.header.bezahlung = source.header.bezahlung;
    note.header.kundennummer = source.header.kundennummer;
    note.header.bestimmungsort = source.header.bestimmungsort;
    note.header.dokumentart = CreditNoteKind;
    note.header.bezug_nr = source.header.nr.trimmed();
    note.header.bezug_datum = source.header.datum.trimmed();
    note.customer = source.customer;
    note.lines = source.lines;
    for (InvoiceLine &line : note.lines)
        line.id = 0;
    return storeNew(database, separators, note, today, [&](int year) {
        const QString headerTable = tablesOfYear(year).headerTable;
        for (QLatin1StringView column : {schema::header::DocumentKind, schema::header::ReferenceNumber,
                                         schema::header::ReferenceDate})
            if (!database.columnInfo(headerTable.toUtf8(), schema::sql(column)).found)
                throw EngineError(QStringLiteral("Die Tabelle '%1' kann noch keine Gutschriften aufnehmen (es fehlt die Spalte "
                                                 "'%2'). Bitte das Programm neu starten und die Ergänzung der Datenbank "
                                                 "bestätigen; es wurde nichts gespeichert.")
                                      .arg(headerTable, column));
    });
}

Invoice copyInvoice(Database &database, const Separators &separators, int sourceYear, qint64 sourceId, qint64 customerId,
                    const QString &number, const QDate &today)
{
    const Invoice source = InvoiceRepository(database, separators).loadById(sourceYear, sourceId);
    checkCanBeCopied(source.header);
    Invoice copy;
    withContext(QStringLiteral("Der Kunde der Kopie kann nicht gelesen werden"), [&] {
        using namespace schema::customer;
        StatementHandle st = database.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE %1 = ?1").arg(Id, Table).toUtf8());
        st->bindInteger(1, customerId);
        if (!st->step())
            throw ConversionError(QStringLiteral("Den gewählten Kunden gibt es nicht mehr in der Datenbank. Bitte einen "
                                                 "anderen Kunden wählen; es wurde nichts gespeichert."));
    });
    const bool sameCustomer = source.header.customerId() == customerId;
    copy.header.nr = number;
    copy.header.kundennummer = QString::number(customerId);
    // A new invoice is not paid yet, whatever the old one says.
    const bool paid = source.header.bezahlung.trimmed().compare(QLatin1String("bezahlt"), Qt::CaseInsensitive) == 0;
    copy.header.bezahlung = paid ? QString() : source.header.bezahlung;
    if (sameCustomer)
        copy.header.bestimmungsort = source.header.bestimmungsort;
    copy.lines = source.lines;
    for (InvoiceLine &line : copy.lines)
        line.id = 0;
    return storeNew(database, separators, copy, today, [](int) {});
}
