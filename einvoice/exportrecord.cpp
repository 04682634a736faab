#include "einvoice/exportrecord.h"

#include "data/engine.h"
#include "data/errors.h"
#include "data/schema.h"

#include <QTimeZone>

namespace einvoice {

namespace {

using namespace schema;

constexpr int Places = 5;
constexpr qint64 Base = 36;
// 36^5: the first value 5 places cannot hold.
constexpr qint64 Limit = Base * Base * Base * Base * Base;

const QDateTime Epoch(QDate(2024, 1, 1), QTime(0, 0), QTimeZone::utc());

// What the record stores: local time, to the second.
const QString TimeFormat = QStringLiteral("yyyy-MM-ddTHH:mm:ss");

const QString ReadRecord = QStringLiteral("Die Liste der exportierten elektronischen Rechnungen kann nicht gelesen werden");
const QString WriteRecord =
    QStringLiteral("Der Export kann nicht in der Liste der elektronischen Rechnungen vermerkt werden");

int digitValue(QChar c)
{
    if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
        return c.unicode() - '0';
    const QChar upper = c.toUpper();
    if (upper >= QLatin1Char('A') && upper <= QLatin1Char('Z'))
        return upper.unicode() - 'A' + 10;
    return -1;
}

} // namespace

QString clockTransmissionNumber(const QDateTime &now)
{
    // Before the epoch (a clock set wrong) the stored number alone counts.
    const qint64 minutes = std::max<qint64>(0, Epoch.secsTo(now) / 60);
    return transmissionNumberOf(minutes % Limit).value();
}

std::optional<qint64> transmissionValue(const QString &number)
{
    if (number.isEmpty() || number.size() > Places)
        return std::nullopt;
    qint64 value = 0;
    for (const QChar c : number) {
        const int digit = digitValue(c);
        if (digit < 0)
            return std::nullopt;
        value = value * Base + digit;
    }
    return value;
}

std::optional<QString> transmissionNumberOf(qint64 value)
{
    if (value < 0 || value >= Limit)
        return std::nullopt;
    QString number(Places, QLatin1Char('0'));
    for (int i = Places - 1; i >= 0; --i, value /= Base) {
        const int digit = int(value % Base);
        number[i] = digit < 10 ? QChar(u'0' + digit) : QChar(u'A' + digit - 10);
    }
    return number;
}

bool hasExportRecord(Database &connection)
{
    return withContext(ReadRecord, [&] { return connection.hasTable(eInvoiceExport::Table); });
}

std::optional<PreviousExport> lastExport(Database &connection, int year, const QString &nr)
{
    if (!hasExportRecord(connection))
        return std::nullopt;
    StatementHandle st = connection.prepare(
        QStringLiteral("SELECT %1, %2, %3 FROM %4 WHERE %5 = ?1 AND %6 = ?2 ORDER BY %7 DESC LIMIT 1")
            .arg(eInvoiceExport::Time, eInvoiceExport::FileName, eInvoiceExport::TransmissionNumber,
                 eInvoiceExport::Table, eInvoiceExport::Year, eInvoiceExport::Number, eInvoiceExport::Id)
            .toUtf8());
    st->bindInteger(1, year);
    st->bindText(2, nr);
    if (!withContext(ReadRecord, [&] { return st->step(); }))
        return std::nullopt;
    PreviousExport previous;
    previous.time = QDateTime::fromString(st->columnString(0), TimeFormat);
    previous.fileName = st->columnString(1);
    previous.transmissionNumber = st->columnString(2);
    return previous;
}

QString exportedBefore(const PreviousExport &previous)
{
    // A time the record does not hold readably is left out rather than guessed.
    const QString when = previous.time.isValid()
                             ? QStringLiteral("am %1 um %2 Uhr ").arg(previous.time.toString(QStringLiteral("dd.MM.yyyy")),
                                                                      previous.time.toString(QStringLiteral("HH:mm")))
                             : QString();
    return QStringLiteral("Diese Rechnung wurde %1als %2 exportiert.").arg(when, previous.fileName);
}

QString exportAgainQuestion(const PreviousExport &previous)
{
    return exportedBefore(previous) + QStringLiteral(" Noch einmal exportieren?");
}

QStringList recordedTransmissionNumbers(Database &connection)
{
    QStringList numbers;
    if (!hasExportRecord(connection))
        return numbers;
    StatementHandle st = connection.prepare(
        QStringLiteral("SELECT %1 FROM %2 WHERE %1 IS NOT NULL")
            .arg(eInvoiceExport::TransmissionNumber, eInvoiceExport::Table)
            .toUtf8());
    while (withContext(ReadRecord, [&] { return st->step(); }))
        numbers << st->columnString(0).toUpper();
    return numbers;
}

void recordExport(Database &connection, int year, const QString &nr, const QString &fileName,
                  const QString &transmissionNumber, const QDateTime &time, const QString &sha256)
{
    StatementHandle st = connection.prepare(
        QStringLiteral("INSERT INTO %1 (%2) VALUES (?1, ?2, ?3, ?4, ?5, ?6)")
            .arg(eInvoiceExport::Table,
                 columnList({eInvoiceExport::Year, eInvoiceExport::Number, eInvoiceExport::FileName,
                             eInvoiceExport::TransmissionNumber, eInvoiceExport::Time, eInvoiceExport::Sha256}))
            .toUtf8());
    st->bindInteger(1, year);
    st->bindText(2, nr);
    st->bindText(3, fileName);
    st->bindText(4, transmissionNumber);
    st->bindText(5, time.toLocalTime().toString(TimeFormat));
    st->bindText(6, sha256);
    withContext(WriteRecord, [&] { st->step(); });
}

} // namespace einvoice
