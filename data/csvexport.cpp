#include "csvexport.h"

#include "errors.h"
#include "vatrates.h"
#include "yearoverview.h"

#include <QDir>
#include <QRegularExpression>
#include <QSaveFile>

namespace {

// A number as this file writes one: a spreadsheet takes "-12,50" for the
// amount it is, so it needs no guard.
bool isCsvNumber(const QString &text)
{
    static const QRegularExpression number(QStringLiteral("\\A[+-]?[0-9]+(,[0-9]+)?\\z"));
    return number.match(text).hasMatch();
}

bool looksLikeFormula(const QString &text)
{
    if (text.isEmpty())
        return false;
    switch (text.front().unicode()) {
    case '=':
    case '+':
    case '-':
    case '@':
    case '\t':
    case '\r':
        return !isCsvNumber(text);
    default:
        return false;
    }
}

QString documentName(bool creditNote)
{
    return creditNote ? QStringLiteral("Gutschrift") : QStringLiteral("Rechnung");
}

QStringList revenueFields(const QString &group, const QString &label, const Revenue &revenue)
{
    return {group, label, QString::number(revenue.documents), csvAmount(revenue.net), csvAmount(revenue.tax),
            csvAmount(revenue.gross)};
}

Money signedFor(Money amount, bool creditNote)
{
    return creditNote ? -amount : amount;
}

} // namespace

QString csvField(const QString &text)
{
    QString field = looksLikeFormula(text) ? QLatin1Char('\'') + text : text;
    static const QRegularExpression needsQuotes(QStringLiteral("[;\"\\r\\n]"));
    if (field.contains(needsQuotes))
        field = QLatin1Char('"') + field.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
    return field;
}

QString csvAmount(Money amount)
{
    return moneyWithDot(amount).replace(QLatin1Char('.'), QLatin1Char(','));
}

QByteArray csvDocument(const QList<QStringList> &rows)
{
    QString text;
    for (const QStringList &row : rows) {
        QStringList fields;
        fields.reserve(row.size());
        for (const QString &value : row)
            fields << csvField(value);
        text += fields.join(QLatin1Char(';')) + QStringLiteral("\r\n");
    }
    return QByteArrayLiteral("\xEF\xBB\xBF") + text.toUtf8();
}

void saveCsvFile(const QString &path, const QByteArray &bytes)
{
    const QString shown = QDir::toNativeSeparators(path);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw ConversionError(QStringLiteral("Die Datei '%1' ließ sich nicht schreiben: %2. Bitte einen anderen Ort wählen")
                                  .arg(shown, file.errorString()));
}

QList<QStringList> overviewCsvRows(const YearOverview &overview)
{
    const QString month = QStringLiteral("Monat");
    QList<QStringList> rows{{QStringLiteral("Bereich"), QStringLiteral("Bezeichnung"), QStringLiteral("Anzahl"),
                             QStringLiteral("Netto"), QStringLiteral("MwSt."), QStringLiteral("Brutto")}};
    for (int m = 1; m <= 12; ++m)
        rows << revenueFields(month, monthName(m), overview.months.at(m - 1));
    if (overview.undated.documents > 0)
        rows << revenueFields(month, UndatedRow, overview.undated);
    rows << revenueFields(QStringLiteral("Summe"), QStringLiteral("Jahr %1").arg(overview.year), overview.total);
    for (const CustomerRevenue &customer : overview.customers)
        rows << revenueFields(QStringLiteral("Kunde"), customer.name, customer.revenue);
    for (const UncomputedInvoice &invoice : overview.uncomputed) {
        rows << QStringList{QStringLiteral("Nicht berechnet"),
                            QStringLiteral("%1 Nr. %2 vom %3, %4: %5")
                                .arg(documentName(invoice.creditNote), invoice.nr, invoice.datum, invoice.customer,
                                     invoice.problem),
                            QString(), QString(), QString(), QString()};
    }
    return rows;
}

QList<QStringList> invoiceListCsvRows(const QList<InvoiceSummary> &summaries)
{
    QStringList heading{QStringLiteral("Nummer"), QStringLiteral("Datum"), QStringLiteral("Kunde"),
                        QStringLiteral("USt-IdNr.")};
    for (int percent : vatPercents())
        heading << QStringLiteral("Netto %1 %").arg(percent);
    heading << QStringLiteral("MwSt.") << QStringLiteral("Brutto") << QStringLiteral("Art")
            << QStringLiteral("Bezahlt am");
    QList<QStringList> rows{heading};
    QStringList problems;
    for (const InvoiceSummary &summary : summaries) {
        const InvoiceHeader &header = summary.invoice.header;
        const Customer &customer = summary.invoice.customer;
        const bool creditNote = header.isCreditNote();
        if (!summary.totals) {
            problems << QStringLiteral("%1 Nr. %2 vom %3 (%4)")
                            .arg(documentName(creditNote), header.nr, header.datum, summary.problem);
            continue;
        }
        QStringList row{header.nr, header.datum,
                        customer.id != 0 ? customer.name : unknownCustomerName(header.kundennummer), customer.piva};
        for (int percent : vatPercents()) {
            Money net;
            for (const RateTotals &rate : summary.totals->rates) {
                if (rate.rate.percent == percent)
                    net += rate.taxable;
            }
            row << csvAmount(signedFor(net, creditNote));
        }
        row << csvAmount(signedFor(summary.totals->tax, creditNote))
            << csvAmount(signedFor(summary.totals->gross, creditNote)) << documentName(creditNote) << header.bezahlt_am;
        rows << row;
    }
    if (!problems.isEmpty())
        throw ConversionError(QStringLiteral("Nicht jede Rechnung lässt sich berechnen: %1. Die CSV-Datei wurde nicht "
                                             "geschrieben; bitte diese Zeilen im Programm berichtigen")
                                  .arg(problems.join(QStringLiteral("; "))));
    return rows;
}
