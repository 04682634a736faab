#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

class Database;

// Every e-invoice file written, and the transmission numbers handed out.
//
// A transmission number is 5 capitals and digits, read as a number in base
// 36. It starts from the clock: the minutes since 1 January 2024, 00:00 UTC
// (5 places last until the year 2139). The export takes the highest of that
// and the number the business data names as the next one (so that a number
// the user typed still counts), and moves past every number the record holds
// and every file of the seller's in the target folder, whatever the case of
// its letters. Two copies of a database (a backup restored, say) thus hand
// out different numbers as long as their exports lie minutes apart, or go
// into the same folder; a run of exports within one minute takes the minutes
// after it, and a copy made then should wait those out.
namespace einvoice {

// The number the clock gives at `now`.
QString clockTransmissionNumber(const QDateTime &now);
// The value of a number of 1 to 5 characters [0-9A-Za-z] in base 36, letters
// of either case alike; nothing for anything else.
std::optional<qint64> transmissionValue(const QString &number);
// The 5 characters of a value; nothing when 5 are not enough.
std::optional<QString> transmissionNumberOf(qint64 value);

// An earlier export of an invoice.
struct PreviousExport
{
    QDateTime time;         // local time
    QString fileName;
    QString transmissionNumber;
};

// Whether the file has the record (a file whose user declined it has not:
// its exports go unrecorded).
bool hasExportRecord(Database &connection);
// The latest export of the year's invoice `nr`; nothing when it was never
// exported, or the file has no record.
std::optional<PreviousExport> lastExport(Database &connection, int year, const QString &nr);
// "Diese Rechnung wurde am 11.12.2026 um 07:30 Uhr als IT…_0A1B2.xml exportiert."
QString exportedBefore(const PreviousExport &previous);
// The same, followed by "Noch einmal exportieren?".
QString exportAgainQuestion(const PreviousExport &previous);

// Every transmission number in the record, in capitals.
QStringList recordedTransmissionNumbers(Database &connection);
// Adds an export to the record; `sha256` in hex. The caller holds the
// transaction, so the entry and the number it hands out go in together.
void recordExport(Database &connection, int year, const QString &nr, const QString &fileName,
                  const QString &transmissionNumber, const QDateTime &time, const QString &sha256);

} // namespace einvoice
