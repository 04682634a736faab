#include "openitems.h"

#include "duedate.h"
#include "engine.h"
#include "errors.h"
#include "invoicerepository.h"
#include "schema.h"
#include "years.h"

#include <algorithm>
#include <tuple>

bool isPaid(const InvoiceHeader &header)
{
    return !header.bezahlt_am.trimmed().isEmpty() || paymentTermsOf(header.bezahlung).kind == PaymentTerms::Cash;
}

std::optional<OpenItem> openItemOf(const InvoiceSummary &summary, const QDate &today)
{
    const InvoiceHeader &header = summary.invoice.header;
    if (isPaid(header))
        return std::nullopt;
    OpenItem item;
    item.year = summary.year;
    item.headerId = header.id;
    item.customerId = header.customerId();
    item.customerName = summary.invoice.customer.name;
    item.number = header.nr;
    item.date = header.datum;
    item.creditNote = header.isCreditNote();
    item.paidAsRead = header.bezahlt_am;
    if (summary.totals)
        item.gross = item.creditNote ? -summary.totals->gross : summary.totals->gross;
    else
        item.problem = summary.problem;
    // A due date stored in a form that is no date counts as none; the terms
    // still tell, as they do for a header stored before due dates.
    item.due = storedDate(header.faellig);
    if (!item.due.isValid())
        item.due = dueDateOf(storedDate(header.datum), paymentTermsOf(header.bezahlung));
    if (item.due.isValid())
        item.daysOverdue = int(std::max<qint64>(0, item.due.daysTo(today)));
    return item;
}

OpenItems openItemsOf(const QList<InvoiceSummary> &summaries, const QDate &today)
{
    OpenItems open;
    for (const InvoiceSummary &summary : summaries) {
        std::optional<OpenItem> item = openItemOf(summary, today);
        if (!item)
            continue;
        if (item->gross)
            open.total += *item->gross;
        open.items.append(std::move(*item));
    }
    // Whatever has no due date stands by its invoice's date among the others.
    const auto key = [](const OpenItem &i) {
        const QDate when = i.due.isValid() ? i.due : storedDate(i.date);
        return std::make_tuple(!when.isValid(), when.isValid() ? when.toJulianDay() : 0, i.year, i.headerId);
    };
    std::stable_sort(open.items.begin(), open.items.end(),
                     [&](const OpenItem &a, const OpenItem &b) { return key(a) < key(b); });
    return open;
}

OpenItems openItems(Database &database, const Separators &separators, const QDate &today)
{
    QList<InvoiceSummary> all;
    for (const YearTables &year : findYears(database))
        // A paid invoice's lines need not be read: most of a file's are paid.
        all.append(summariesOfYear(database, year.year, separators, [](const InvoiceHeader &h) { return !isPaid(h); }));
    return openItemsOf(all, today);
}

void markPaid(Database &database, int year, qint64 headerId, const QString &paidAsRead, const QDate &paidOn)
{
    const QByteArray table = tablesOfYear(year).headerTable.toUtf8();
    if (!database.columnInfo(table, schema::sql(schema::header::PaidDate)).found)
        throw ConversionError(QStringLiteral("Die Tabellen des Jahres %1 kennen noch kein Zahlungsdatum. Bitte das Programm "
                                             "neu starten und der Aktualisierung der Datenbank zustimmen.")
                                  .arg(year));
    const QByteArray paid = database.quoteIdentifier(schema::sql(schema::header::PaidDate));
    const QByteArray id = database.quoteIdentifier(schema::sql(schema::header::Id));
    // Only over the paid date as it was read: a payment another PC entered
    // meanwhile is not written over.
    StatementHandle st = database.prepare("UPDATE " + database.quoteIdentifier(table) + " SET " + paid + " = ?1 WHERE " + id
                                          + " = ?2 AND " + paid + ' ' + database.nullSafeEqual() + " ?3");
    st->bindText(1, storedDateText(paidOn));
    st->bindInteger(2, headerId);
    if (paidAsRead.isNull())
        st->bindNull(3);
    else
        st->bindText(3, paidAsRead);
    st->run();
    if (database.changes() == 0)
        throw EngineError(QStringLiteral("Die Rechnung wurde inzwischen von einem anderen Programm geändert oder gelöscht "
                                         "und ist deshalb nicht als bezahlt vermerkt. Bitte den gespeicherten Stand prüfen "
                                         "und sie bei Bedarf noch einmal als bezahlt vermerken."));
}

QString reminderRefusal(const InvoiceSummary &summary, const QDate &today)
{
    const QString nr = summary.invoice.header.nr;
    const std::optional<OpenItem> item = openItemOf(summary, today);
    if (!item)
        return QStringLiteral("Die Rechnung Nr. %1 ist bereits bezahlt; eine Zahlungserinnerung ist nicht nötig.").arg(nr);
    if (item->creditNote)
        return QStringLiteral("Nr. %1 ist eine Gutschrift; dafür gibt es keine Zahlungserinnerung.").arg(nr);
    if (!item->gross)
        return QStringLiteral("Der Betrag der Rechnung Nr. %1 lässt sich nicht berechnen (%2). Bitte zuerst die Rechnung "
                              "berichtigen.")
            .arg(nr, item->problem);
    if (!item->due.isValid())
        return QStringLiteral("Die Rechnung Nr. %1 hat kein Fälligkeitsdatum. Bitte in der Rechnung eintragen, wann sie "
                              "fällig ist.")
            .arg(nr);
    if (!item->isOverdue())
        return QStringLiteral("Die Rechnung Nr. %1 ist erst am %2 fällig und noch nicht überfällig; eine Zahlungserinnerung "
                              "ist erst danach möglich.")
            .arg(nr, storedDateText(item->due));
    return QString();
}

InvoiceSummary summaryOfInvoice(Database &database, int year, qint64 headerId, const Separators &separators)
{
    InvoiceSummary summary;
    summary.year = year;
    summary.invoice = InvoiceRepository(database, separators).loadById(year, headerId);
    try {
        summary.totals = totalsOfLines(summary.invoice.lines, separators);
    } catch (const ConversionError &e) {
        summary.problem = e.message();
    }
    return summary;
}
