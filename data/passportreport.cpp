#include "passportreport.h"

#include "deliverynote.h"
#include "errors.h"
#include "invoicelist.h"
#include "plantpassport.h"
#include "years.h"
#include "yearoverview.h"

#include <QHash>
#include <algorithm>
#include <tuple>

namespace {

QDate typedDate(const QString &text, const QString &which)
{
    const QDate date = storedDate(text);
    if (!date.isValid())
        throw ConversionError(QStringLiteral("„%1“ ist als %2 kein gültiges Datum. Bitte im Format TT.MM.JJJJ eingeben, "
                                             "z. B. „01.03.2026“")
                                  .arg(text.trimmed(), which));
    return date;
}

bool matches(const DeliveryLine &line, const PassportQuery &query)
{
    if (query.text.trimmed().isEmpty())
        return true;
    return query.by == PassportSearch::BotanicalName ? botanicalNameStartsWith(line.botanischer_name, query.text)
                                                     : isTraceabilityCode(line.rueckverfolgung, query.text);
}

// Notes numbered 1, 2 ... 10 in that order; a number with letters after all of them.
std::tuple<bool, qint64, QString> numberOrder(const QString &nr)
{
    bool whole = false;
    const qint64 n = nr.trimmed().toLongLong(&whole);
    return {!whole, whole ? n : 0, nr};
}

// A quantity as the CSV file writes numbers: with a decimal comma, whichever
// separator the file wrote it with. What is no number stays as it is.
QString csvQuantity(const QString &stored, const Separators &separators)
{
    const QString text = stored.trimmed();
    long double ignored = 0;
    switch (tryStoredNumber(text, ignored, separators)) {
    case StoredNumber::Read:
        return QString(text).replace(separators.decimal, QLatin1Char(','));
    case StoredNumber::ReadWithOtherSeparator:
        return QString(text).replace(separators.decimal == QLatin1Char(',') ? QLatin1Char('.') : QLatin1Char(','),
                                     QLatin1Char(','));
    case StoredNumber::Unreadable:
        break;
    }
    return stored;
}

} // namespace

DatePeriod readPeriod(const QString &from, const QString &to)
{
    if (from.trimmed().isEmpty() || to.trimmed().isEmpty())
        throw ConversionError(QStringLiteral("Bitte beide Tage des Zeitraums eintragen, von und bis, im Format TT.MM.JJJJ"));
    const DatePeriod period{typedDate(from, QStringLiteral("Beginn des Zeitraums")),
                            typedDate(to, QStringLiteral("Ende des Zeitraums"))};
    if (period.to < period.from)
        throw ConversionError(QStringLiteral("Der Zeitraum endet am %1 vor seinem Beginn am %2. Bitte das Ende auf den "
                                             "Beginn oder einen späteren Tag legen")
                                  .arg(storedDateText(period.to), storedDateText(period.from)));
    return period;
}

bool isTraceabilityCode(const QString &code, const QString &typed)
{
    return code.trimmed().compare(typed.trimmed(), Qt::CaseInsensitive) == 0;
}

const QStringList &passportColumns()
{
    static const QStringList columns{
        QStringLiteral("Datum"),
        QStringLiteral("Lieferschein"),
        QStringLiteral("Kunde"),
        QStringLiteral("MwSt.-Nr."),
        QStringLiteral("Botanischer Name (A)"),
        QStringLiteral("Rückverfolgbarkeitscode (C)"),
        QStringLiteral("Ursprung (D)"),
        QStringLiteral("Menge"),
        QStringLiteral("Einheit"),
        QStringLiteral("Rechnung"),
    };
    return columns;
}

QList<PassportDelivery> passportDeliveries(Database &database, const Separators &separators, const PassportQuery &query,
                                           const CustomerKindLookup &kindOf)
{
    const DatePeriod period = readPeriod(query.from, query.to);
    DeliveryNoteRepository repository(database, separators);
    const auto inPeriod = [&](const DeliveryNote &note) {
        const QDate date = storedDate(note.datum);
        return date.isValid() && date >= period.from && date <= period.to;
    };
    QList<DeliveryNoteRecord> notes;
    // A note is kept in the tables of its year; no file holds a year the
    // program cannot make.
    const int first = std::max(period.from.year(), LowestNewYear);
    const int last = std::min(period.to.year(), HighestNewYear);
    for (int year = first; year <= last; ++year)
        notes += repository.loadYear(year, inPeriod);
    std::stable_sort(notes.begin(), notes.end(), [](const DeliveryNoteRecord &a, const DeliveryNoteRecord &b) {
        const auto key = [](const DeliveryNoteRecord &r) {
            return std::tuple_cat(std::make_tuple(storedDate(r.note.datum), r.year), numberOrder(r.note.nr),
                                  std::make_tuple(r.note.id));
        };
        return key(a) < key(b);
    });

    QHash<qint64, bool> getsPassports;
    QList<PassportDelivery> deliveries;
    for (const DeliveryNoteRecord &record : notes) {
        const qint64 customerId = record.customer.id;
        if (customerId != 0) {
            auto known = getsPassports.constFind(customerId);
            if (known == getsPassports.constEnd())
                known = getsPassports.insert(customerId, customerGetsPassports(kindOf(customerId)));
            if (!*known)
                continue;
        }
        for (const DeliveryLine &line : record.lines) {
            if (!line.isPlant() || !matches(line, query))
                continue;
            deliveries.append({storedDate(record.note.datum), record.year, record.note.nr, customerId,
                               customerId != 0 ? record.customer.name : unknownCustomerName(record.note.kundennummer),
                               record.customer.piva, line.botanischer_name, line.rueckverfolgung, line.ursprung,
                               line.anzahl, line.einheit, record.note.rechnung_nr});
        }
    }
    return deliveries;
}

QList<QStringList> passportCsvRows(const QList<PassportDelivery> &deliveries, const Separators &separators)
{
    QList<QStringList> rows{passportColumns()};
    for (const PassportDelivery &d : deliveries) {
        rows << QStringList{storedDateText(d.date), d.noteNr, d.customerName, d.vatNumber, d.botanicalName,
                            d.traceabilityCode, d.origin, csvQuantity(d.quantity, separators), d.unit, d.invoiceNr};
    }
    return rows;
}
