#pragma once

#include "invoicelist.h"
#include "money.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

struct YearOverview;

// CSV files for the accountant, as spreadsheets under German settings open
// them with a double click: fields separated by ";", amounts with a decimal
// comma and no thousands separator, CRLF line ends, UTF-8 with a byte order
// mark (without it Excel reads the umlauts as Latin-1). The format is the
// file's own: neither the PC's regional settings nor the separators the
// database names change it.

// One field as the file holds it. A text a spreadsheet would take for a
// formula (= + - @ first, or a tab or CR hiding one) gets a "'" in front,
// unless it is a number; a field holding ; " or a line break is quoted, its
// quotes doubled.
QString csvField(const QString &text);
// "1234,50", "-12,00".
QString csvAmount(Money amount);
// The file: the byte order mark, then every row, its fields through csvField.
QByteArray csvDocument(const QList<QStringList> &rows);
// Writes the file under a temporary name beside it and renames it when
// complete: an existing file is replaced only by a whole new one. Throws
// ConversionError naming the file.
void saveCsvFile(const QString &path, const QByteArray &bytes);

// The year overview: a heading row, the months (and the invoices without a
// valid date), the year's total, the customers, then every invoice that
// could not be computed with its problem and no amounts.
QList<QStringList> overviewCsvRows(const YearOverview &overview);

// The invoice list: one row per invoice or credit note in the order stored,
// the net per VAT rate, tax and gross, a credit note's negative. Throws
// ConversionError naming every invoice that cannot be computed, so that no
// list leaves one out.
QList<QStringList> invoiceListCsvRows(const QList<InvoiceSummary> &summaries);
