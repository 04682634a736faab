#include "deferredinvoice.h"

#include "duedate.h"
#include "engine.h"
#include "errors.h"
#include "invoicecopy.h"
#include "invoicelist.h"
#include "invoicerepository.h"
#include "schema.h"
#include "storedrow.h"
#include "years.h"

#include <QLocale>
#include <QRegularExpression>
#include <QSet>
#include <functional>
#include <algorithm>

namespace {

// As long as a text column holds.
constexpr int LongestNumber = 50;

QDate firstDayOf(const QDate &day) { return QDate(day.year(), day.month(), 1); }

bool isInMonth(const QString &datum, const QDate &month)
{
    const QDate date = storedDate(datum);
    return date.isValid() && date.year() == month.year() && date.month() == month.month();
}

// Note numbers are counted, so "9" comes before "10"; one that is no whole
// number sorts after those that are, by its text.
bool numberLess(const QString &a, const QString &b)
{
    bool aWhole = false;
    bool bWhole = false;
    const qint64 x = a.trimmed().toLongLong(&aWhole);
    const qint64 y = b.trimmed().toLongLong(&bWhole);
    if (aWhole && bWhole)
        return x < y;
    if (aWhole != bWhole)
        return aWhole;
    return a.trimmed().compare(b.trimmed(), Qt::CaseInsensitive) < 0;
}

void sortByDateAndNumber(QList<DeliveryNoteRecord> &notes)
{
    std::stable_sort(notes.begin(), notes.end(), [](const DeliveryNoteRecord &a, const DeliveryNoteRecord &b) {
        const QDate x = storedDate(a.note.datum);
        const QDate y = storedDate(b.note.datum);
        if (x != y)
            return x < y;
        return numberLess(a.note.nr, b.note.nr);
    });
}

QList<DeliveryNoteRecord> notesOfMonth(Database &database, const Separators &separators, qint64 customerId,
                                       const QDate &month, const std::function<bool(const DeliveryNote &)> &alsoWanted)
{
    QList<DeliveryNoteRecord> notes =
        DeliveryNoteRepository(database, separators).loadYear(month.year(), [&](const DeliveryNote &note) {
            return note.customerId() == customerId && isInMonth(note.datum, month) && alsoWanted(note);
        });
    sortByDateAndNumber(notes);
    return notes;
}

// The destination the notes share; none when they went to different places.
QString commonDestination(const QList<DeliveryNoteRecord> &notes)
{
    const QString first = notes.front().note.bestimmungsort;
    const bool same = std::all_of(notes.begin(), notes.end(), [&](const DeliveryNoteRecord &r) {
        return r.note.bestimmungsort.trimmed() == first.trimmed();
    });
    return same ? first : QString();
}

QString numberFor(Database &database, int year, const QString &wanted)
{
    const QStringList taken = numbersOfYear(database, year).all();
    const QString number = wanted.trimmed();
    if (number.isEmpty())
        return nextInvoiceNumber(database, year);
    if (number.size() > LongestNumber)
        throw ConversionError(QStringLiteral("Die Nummer \"%1\" ist länger als %2 Zeichen. Bitte eine kürzere Nummer eingeben; "
                                             "es wurde nichts gespeichert.")
                                  .arg(number)
                                  .arg(LongestNumber));
    if (isNumberTaken(taken, number))
        throw ConversionError(QStringLiteral("Die Nummer \"%1\" gibt es im Jahr %2 schon. Bitte eine andere Nummer eingeben; "
                                             "es wurde nichts gespeichert.")
                                  .arg(number)
                                  .arg(year));
    return number;
}

} // namespace

QDate deliveryMonthOf(const QString &text)
{
    static const QRegularExpression form(QRegularExpression::anchoredPattern(QStringLiteral("([0-9]{4})-([0-9]{2})")));
    const QRegularExpressionMatch m = form.match(text.trimmed());
    const QDate month = m.hasMatch() ? QDate(m.captured(1).toInt(), m.captured(2).toInt(), 1) : QDate();
    if (!month.isValid() || month.year() < LowestNewYear || month.year() > HighestNewYear)
        throw ConversionError(QStringLiteral("'%1' ist kein Monat. Bitte den Monat der Lieferungen als JJJJ-MM angeben, "
                                             "zum Beispiel 2026-11.")
                                  .arg(text));
    return month;
}

QString deliveryMonthName(const QDate &month)
{
    return QStringLiteral("%1 %2").arg(QLocale(QLocale::German).standaloneMonthName(month.month())).arg(month.year());
}

QDate latestDeferredInvoiceDate(const QDate &month)
{
    return firstDayOf(month).addMonths(1).addDays(14);
}

void checkDeferredInvoiceDate(const QDate &month, const QDate &invoiceDate, const QDate &lastDelivery)
{
    if (!invoiceDate.isValid())
        throw ConversionError(QStringLiteral("Bitte ein Rechnungsdatum angeben; es wurde nichts gespeichert."));
    const QDate latest = latestDeferredInvoiceDate(month);
    if (invoiceDate > latest)
        throw ConversionError(QStringLiteral("Eine Sammelrechnung für die Lieferungen im %1 muss spätestens am %2 ausgestellt "
                                             "werden (Art. 21 Abs. 4 DPR 633/1972). Das Rechnungsdatum %3 liegt danach; es "
                                             "wurde nichts gespeichert.")
                                  .arg(deliveryMonthName(month), storedDateText(latest), storedDateText(invoiceDate)));
    if (lastDelivery.isValid() && invoiceDate < lastDelivery)
        throw ConversionError(QStringLiteral("Das Rechnungsdatum %1 liegt vor dem letzten Lieferschein vom %2; eine Rechnung "
                                             "kann nicht vor der Lieferung ausgestellt werden. Bitte ein Datum ab dem %2 "
                                             "wählen; es wurde nichts gespeichert.")
                                  .arg(storedDateText(invoiceDate), storedDateText(lastDelivery)));
}

QList<DeliveryNoteRecord> notesToInvoice(Database &database, const Separators &separators, qint64 customerId,
                                         const QDate &month)
{
    return notesOfMonth(database, separators, customerId, firstDayOf(month),
                        [](const DeliveryNote &note) { return !note.isInvoiced(); });
}

Money deliveryNoteNet(const DeliveryNoteRecord &record, const Separators &separators)
{
    Money net;
    for (qsizetype i = 0; i < record.lines.size(); ++i) {
        const DeliveryLine &line = record.lines.at(i);
        try {
            net += lineAmount(line.einzelpreis, line.anzahl, separators).value_or(Money());
        } catch (const ConversionError &e) {
            throw ConversionError(QStringLiteral("Lieferschein Nr. %1, Zeile %2: %3").arg(record.note.nr).arg(i + 1).arg(e.message()));
        }
    }
    return net;
}

QList<InvoiceLine> invoiceLinesOf(const DeliveryNoteRecord &record, CustomerKind kind)
{
    const VatRate kindRate = defaultLineRate(kind);
    QList<InvoiceLine> lines;
    lines.reserve(record.lines.size());
    for (const DeliveryLine &l : record.lines) {
        InvoiceLine line;
        line.beschreibung = l.beschreibung;
        line.anzahl = l.anzahl;
        // Every delivered line is listed, the one without a price too.
        line.einzelpreis = l.einzelpreis.trimmed().isEmpty() ? QStringLiteral("0") : l.einzelpreis;
        line.steuersatz = l.steuersatz;
        if (l.steuersatz.trimmed() == QLatin1String("0") && kindRate.percent == 0)
            line.natura = kindRate.nature;
        line.lieferschein_nr = record.note.nr.trimmed();
        line.lieferschein_datum = record.note.datum.trimmed();
        lines.append(line);
    }
    return lines;
}

Invoice makeDeferredInvoice(Database &database, const Separators &separators, const DeferredInvoiceRequest &request)
{
    const QDate month = firstDayOf(request.month);
    if (!month.isValid())
        throw ConversionError(QStringLiteral("Bitte den Monat der Lieferungen angeben; es wurde nichts gespeichert."));
    // Refused before anything is read: without a date there is no year to store in.
    if (!request.date.isValid())
        checkDeferredInvoiceDate(month, request.date, QDate());
    const int year = request.date.year();
    const QString what = QStringLiteral("Die Sammelrechnung kann nicht gespeichert werden");

    // The write lock first: what is read below is what gets marked.
    Transaction transaction(database, true, what);
    Invoice invoice;
    invoice.customer = withContext(what, [&] { return loadCustomer(database, request.customerId, separators); });
    if (invoice.customer.id == 0)
        throw ConversionError(QStringLiteral("Den gewählten Kunden gibt es nicht in der Datenbank. Bitte einen anderen "
                                             "Kunden wählen; es wurde nichts gespeichert."));

    QList<DeliveryNoteRecord> notes;
    if (request.noteIds.isEmpty()) {
        notes = notesToInvoice(database, separators, request.customerId, month);
    } else {
        // The chosen notes as the file holds them now; one another program
        // invoiced since they were listed stops the marking below.
        const QSet<qint64> chosen(request.noteIds.begin(), request.noteIds.end());
        notes = notesOfMonth(database, separators, request.customerId, month,
                             [&](const DeliveryNote &note) { return chosen.contains(note.id); });
        if (notes.size() != chosen.size())
            throw EngineError(QStringLiteral("Ein gewählter Lieferschein wurde inzwischen gelöscht oder geändert; die "
                                             "Sammelrechnung wird nicht gespeichert. Bitte die Lieferscheine neu auflisten."));
    }
    if (notes.isEmpty())
        throw ConversionError(QStringLiteral("Für %1 gibt es im %2 keine Lieferscheine, die noch nicht verrechnet sind; es "
                                             "wurde keine Sammelrechnung erstellt. Bitte einen anderen Monat oder Kunden "
                                             "wählen.")
                                  .arg(invoice.customer.name.trimmed(), deliveryMonthName(month)));
    checkDeferredInvoiceDate(month, request.date, storedDate(notes.back().note.datum));

    ensureYearTables(database, year);
    InvoiceHeader &header = invoice.header;
    header.nr = numberFor(database, year, request.number);
    header.datum = storedDateText(request.date);
    header.kundennummer = QString::number(request.customerId);
    header.bestimmungsort = commonDestination(notes);
    header.dokumentart = DeferredInvoiceKind;
    // Due as its terms say once the user gives them, as any header typed in
    // the grid is; a year made before due dates has nowhere to keep one.
    if (database.columnInfo(tablesOfYear(year).headerTable.toUtf8(), schema::sql(schema::header::DueDate)).found)
        header.faellig = dueDateText(header.datum, header.bezahlung);
    QList<qint64> noteIds;
    for (const DeliveryNoteRecord &record : notes) {
        invoice.lines += invoiceLinesOf(record, request.kind);
        noteIds.append(record.note.id);
    }
    InvoiceRepository(database, separators).insert(year, invoice);
    DeliveryNoteRepository(database, separators).markInvoiced(month.year(), noteIds, header.nr);
    transaction.commit();
    return invoice;
}
