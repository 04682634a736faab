#include "years.h"

#include "deliverynote.h"
#include "engine.h"
#include "errors.h"
#include "migrations.h"

#include <QRegularExpression>
#include <QSet>
#include <algorithm>

namespace {

QString quoted(Database &db, const QString &name) { return QString::fromUtf8(db.quoteIdentifier(name.toUtf8())); }

QStringList tableNames(Database &db)
{
    return withContext(QStringLiteral("Die Tabellen der Datenbank können nicht gelesen werden"), [&] { return db.tableNames(); });
}

// The column definitions of a table: name, declared type, default, and the
// key as the file declares it, so a new year's table is made exactly like its
// model, a column a migration added included.
QStringList columnDefinitions(Database &db, const QString &table)
{
    const QString what = QStringLiteral("Die Tabelle '%1' kann nicht gelesen werden").arg(table);
    const std::vector<ColumnInfo> found = withContext(what, [&] { return db.columns(table); });
    // A read cut short must not pass for a table without columns.
    if (found.empty())
        throw EngineError(what);
    QStringList columns;
    for (const ColumnInfo &c : found) {
        QString column = QString::fromUtf8(db.quoteIdentifier(c.name));
        if (!c.declType.isEmpty())
            column += QLatin1Char(' ') + QString::fromUtf8(c.declType);
        if (!c.defaultValue.isEmpty())
            column += QStringLiteral(" DEFAULT ") + QString::fromUtf8(c.defaultValue);
        if (c.primaryKey)
            column += c.autoIncrement ? QStringLiteral(" PRIMARY KEY AUTOINCREMENT") : QStringLiteral(" PRIMARY KEY");
        columns << column;
    }
    return columns;
}

// The year tables as schema/rechungen.sql makes them, then what the
// migrations add to every year.
QStringList standardColumns(Migration::Kind addedBy, QLatin1StringView id, QList<QLatin1StringView> textColumns)
{
    QStringList columns{id + QStringLiteral(" INTEGER PRIMARY KEY AUTOINCREMENT")};
    for (QLatin1StringView c : textColumns)
        columns << c + QStringLiteral(" VARCHAR(50)");
    for (const Migration &m : programMigrations()) {
        if (m.kind == addedBy)
            columns << m.column + QLatin1Char(' ') + QString::fromUtf8(m.definition);
    }
    return columns;
}

QStringList standardHeaderColumns()
{
    using namespace schema::header;
    return standardColumns(Migration::Kind::AddHeaderColumn, Id, {Number, Date, Payment, CustomerId, Destination});
}

QStringList standardLineColumns()
{
    using namespace schema::line;
    return standardColumns(Migration::Kind::AddLineColumn, Id, {InvoiceNumber, Description, Quantity, UnitPrice, Amount});
}

} // namespace

YearTables tablesOfYear(int year)
{
    return {year, schema::header::tableOfYear(year), schema::line::tableOfYear(year)};
}

void sortNewestFirst(std::vector<YearTables> &years)
{
    std::sort(years.begin(), years.end(), [](const YearTables &a, const YearTables &b) { return a.year > b.year; });
}

std::vector<YearTables> findYears(Database &db)
{
    const QStringList names = tableNames(db);
    // SQLite compares table names without regard to case; so do we.
    QSet<QString> present;
    for (const QString &n : names)
        present.insert(n.toLower());
    std::vector<YearTables> years;
    const YearTables first = tablesOfYear(FirstYear);
    if (present.contains(first.headerTable) && present.contains(first.lineTable))
        years.push_back(first);
    static const QRegularExpression headerName(QLatin1Char('^') + schema::header::BaseName + QStringLiteral("([0-9]{4})$"));
    for (const QString &n : names) {
        const QRegularExpressionMatch m = headerName.match(n.toLower());
        if (!m.hasMatch())
            continue;
        const int year = m.captured(1).toInt();
        // 2002's tables are the ones without a year in the name.
        if (year == FirstYear || !present.contains(tablesOfYear(year).lineTable))
            continue;
        years.push_back(tablesOfYear(year));
    }
    sortNewestFirst(years);
    years.erase(std::unique(years.begin(), years.end(), [](const YearTables &a, const YearTables &b) { return a.year == b.year; }),
                years.end());
    return years;
}

int proposedNewYear(const std::vector<YearTables> &years, int currentYear)
{
    const bool currentExists = std::any_of(years.begin(), years.end(), [&](const YearTables &y) { return y.year == currentYear; });
    if (!currentExists)
        return currentYear;
    return years.front().year + 1; // newest first, and not empty: the current year is in it
}

int parseYear(const QString &text)
{
    const QString t = text.trimmed();
    static const QRegularExpression fourDigits(QStringLiteral("^[0-9]{4}$"));
    if (!fourDigits.match(t).hasMatch() || t.toInt() < LowestNewYear || t.toInt() > HighestNewYear)
        throw ConversionError(QStringLiteral("'%1' ist keine Jahreszahl zwischen %2 und %3")
                                  .arg(text)
                                  .arg(LowestNewYear)
                                  .arg(HighestNewYear));
    return t.toInt();
}

YearIndex indexOn(const QString &table, QLatin1StringView column)
{
    return YearIndex{QStringLiteral("idx_") + table + QLatin1Char('_') + column, table, column};
}

std::vector<YearIndex> indexesOfYear(const YearTables &year)
{
    return {indexOn(year.headerTable, schema::header::Number), indexOn(year.headerTable, schema::header::CustomerId),
            indexOn(year.lineTable, schema::line::InvoiceNumber)};
}

std::vector<YearIndex> missingYearIndexes(Database &db)
{
    const QStringList names = withContext(QStringLiteral("Die Indizes der Datenbank können nicht gelesen werden"),
                                          [&] { return db.indexNames(); });
    std::vector<YearIndex> missing;
    for (const YearTables &y : findYears(db)) {
        for (YearIndex &index : indexesOfYear(y)) {
            if (!names.contains(index.name, Qt::CaseInsensitive))
                missing.push_back(std::move(index));
        }
    }
    return missing;
}

void createYearIndexes(Database &db, const std::vector<YearIndex> &missing)
{
    for (const YearIndex &index : missing)
        db.exec(QStringLiteral("CREATE INDEX IF NOT EXISTS %1 ON %2 (%3)")
                    .arg(quoted(db, index.name), quoted(db, index.table), quoted(db, index.column))
                    .toUtf8(),
                QStringLiteral("Der Index '%1' konnte nicht angelegt werden").arg(index.name));
}

void createYearTables(Database &db, int year)
{
    const std::vector<YearTables> years = findYears(db);
    if (std::any_of(years.begin(), years.end(), [&](const YearTables &y) { return y.year == year; }))
        throw EngineError(QStringLiteral("Für das Jahr %1 gibt es schon Tabellen").arg(year));
    const YearTables target = tablesOfYear(year);
    // Half of a pair, left by someone else, is no year; but it is not ours to drop.
    for (const QString &name : tableNames(db))
        if (name.compare(target.headerTable, Qt::CaseInsensitive) == 0 || name.compare(target.lineTable, Qt::CaseInsensitive) == 0)
            throw EngineError(QStringLiteral("Die Tabelle '%1' gibt es schon, aber ohne ihr Gegenstück; "
                                             "das Jahr %2 wird nicht angelegt")
                                  .arg(name)
                                  .arg(year));
    QStringList headerColumns, lineColumns;
    if (years.empty()) {
        headerColumns = standardHeaderColumns();
        lineColumns = standardLineColumns();
    } else {
        headerColumns = columnDefinitions(db, years.front().headerTable);
        lineColumns = columnDefinitions(db, years.front().lineTable);
    }
    const QString what = QStringLiteral("Die Tabellen für das Jahr %1 konnten nicht angelegt werden").arg(year);
    // Nothing is left half made.
    Transaction transaction(db, false, what);
    db.exec(QStringLiteral("CREATE TABLE %1 (%2)").arg(quoted(db, target.headerTable), headerColumns.join(QStringLiteral(", "))).toUtf8(), what);
    db.exec(QStringLiteral("CREATE TABLE %1 (%2)").arg(quoted(db, target.lineTable), lineColumns.join(QStringLiteral(", "))).toUtf8(), what);
    createYearIndexes(db, indexesOfYear(target));
    // Its delivery notes belong to the year as its invoices do.
    createDeliveryTables(db, year);
    transaction.commit();
}

void ensureYearTables(Database &db, int year)
{
    const std::vector<YearTables> years = findYears(db);
    if (std::none_of(years.begin(), years.end(), [&](const YearTables &y) { return y.year == year; }))
        createYearTables(db, year);
}

bool hasLineRates(Database &db, const QString &lineTable)
{
    return db.columnInfo(lineTable.toUtf8(), schema::sql(schema::line::VatRate)).found;
}

bool hasLinePositions(Database &db, const QString &lineTable)
{
    return db.columnInfo(lineTable.toUtf8(), schema::sql(schema::line::Position)).found;
}

QString lineOrder(Database &db, const QString &lineTable)
{
    using namespace schema::line;
    if (!hasLinePositions(db, lineTable))
        return QString(Id);
    return QStringLiteral("coalesce(%1, %2), %2").arg(Position, Id);
}
