#include "years.h"

#include "engine.h"
#include "errors.h"

#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <sqlite3.h>

namespace {

QString quoted(const QString &name)
{
    QString q = name;
    q.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

// What went wrong in the words the engine uses everywhere (a lock, a full
// disk, a read-only file), after what was being done.
QString reasonOf(sqlite3 *db, int rc, const QString &sqliteText)
{
    return Connection::describe(sqlite3_extended_errcode(db) ? sqlite3_extended_errcode(db) : rc, sqliteText,
                                sqlite3_system_errno(db));
}

[[noreturn]] void failWith(sqlite3 *db, const QString &what)
{
    throw EngineError(what + QStringLiteral(": ") + reasonOf(db, sqlite3_errcode(db), QString::fromUtf8(sqlite3_errmsg(db))));
}

QStringList tableNames(sqlite3 *db)
{
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT name FROM sqlite_schema WHERE type = 'table'", -1, &st, nullptr) != SQLITE_OK)
        failWith(db, QStringLiteral("Die Tabellen der Datenbank können nicht gelesen werden"));
    QStringList names;
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW)
        names << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)));
    sqlite3_finalize(st);
    if (rc != SQLITE_DONE)
        failWith(db, QStringLiteral("Die Tabellen der Datenbank können nicht gelesen werden"));
    return names;
}

// The column definitions of a table: name, declared type, and the key as the
// file declares it, so a new year's table is made exactly like its model.
QStringList columnDefinitions(sqlite3 *db, const QString &table)
{
    sqlite3_stmt *st = nullptr;
    const QByteArray sql = QStringLiteral("PRAGMA table_info(%1)").arg(quoted(table)).toUtf8();
    if (sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr) != SQLITE_OK)
        failWith(db, QStringLiteral("Die Tabelle '%1' kann nicht gelesen werden").arg(table));
    QStringList columns;
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        const QByteArray name = reinterpret_cast<const char *>(sqlite3_column_text(st, 1));
        const QByteArray type = reinterpret_cast<const char *>(sqlite3_column_text(st, 2));
        QString column = quoted(QString::fromUtf8(name));
        if (!type.isEmpty())
            column += QLatin1Char(' ') + QString::fromUtf8(type);
        if (sqlite3_column_int(st, 5) > 0) {
            int autoInc = 0;
            sqlite3_table_column_metadata(db, nullptr, table.toUtf8().constData(), name.constData(), nullptr, nullptr,
                                          nullptr, nullptr, &autoInc);
            column += autoInc ? QStringLiteral(" PRIMARY KEY AUTOINCREMENT") : QStringLiteral(" PRIMARY KEY");
        }
        columns << column;
    }
    // A read cut short must not pass for a table without columns.
    if (rc != SQLITE_DONE || columns.isEmpty()) {
        const QString what = QStringLiteral("Die Tabelle '%1' kann nicht gelesen werden").arg(table);
        sqlite3_finalize(st);
        failWith(db, what);
    }
    sqlite3_finalize(st);
    return columns;
}

const QStringList StandardHeaderColumns{
    QStringLiteral("id INTEGER PRIMARY KEY AUTOINCREMENT"), QStringLiteral("nr VARCHAR(50)"),
    QStringLiteral("datum VARCHAR(50)"), QStringLiteral("bezahlung VARCHAR(50)"),
    QStringLiteral("kundennummer VARCHAR(50)"), QStringLiteral("bestimmungsort VARCHAR(50)")};
const QStringList StandardLineColumns{
    QStringLiteral("id INTEGER PRIMARY KEY AUTOINCREMENT"), QStringLiteral("rechnungsnummer VARCHAR(50)"),
    QStringLiteral("beschreibung VARCHAR(50)"), QStringLiteral("anzahl VARCHAR(50)"),
    QStringLiteral("einzelpreis VARCHAR(50)"), QStringLiteral("summe VARCHAR(50)")};

void exec(sqlite3 *db, const QString &sql, const QString &what)
{
    char *error = nullptr;
    const int rc = sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &error);
    if (rc != SQLITE_OK) {
        const QString text = QString::fromUtf8(error ? error : sqlite3_errmsg(db));
        sqlite3_free(error);
        throw EngineError(what + QStringLiteral(": ") + reasonOf(db, rc, text));
    }
}

} // namespace

YearTables tablesOfYear(int year)
{
    if (year == FirstYear)
        return {year, QStringLiteral("rechnungsdaten"), QStringLiteral("rechnung")};
    return {year, QStringLiteral("rechnungsdaten%1").arg(year), QStringLiteral("rechnung%1").arg(year)};
}

void sortNewestFirst(std::vector<YearTables> &years)
{
    std::sort(years.begin(), years.end(), [](const YearTables &a, const YearTables &b) { return a.year > b.year; });
}

std::vector<YearTables> findYears(sqlite3 *db)
{
    const QStringList names = tableNames(db);
    // SQLite compares table names without regard to case; so do we.
    QSet<QString> present;
    for (const QString &n : names)
        present.insert(n.toLower());
    std::vector<YearTables> years;
    if (present.contains(QStringLiteral("rechnungsdaten")) && present.contains(QStringLiteral("rechnung")))
        years.push_back(tablesOfYear(FirstYear));
    static const QRegularExpression headerName(QStringLiteral("^rechnungsdaten([0-9]{4})$"));
    for (const QString &n : names) {
        const QRegularExpressionMatch m = headerName.match(n.toLower());
        if (!m.hasMatch())
            continue;
        const int year = m.captured(1).toInt();
        // 2002's tables are the ones without a year in the name.
        if (year == FirstYear || !present.contains(QStringLiteral("rechnung") + m.captured(1)))
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

void createYearTables(sqlite3 *db, int year)
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
    QStringList headerColumns = StandardHeaderColumns, lineColumns = StandardLineColumns;
    if (!years.empty()) {
        headerColumns = columnDefinitions(db, years.front().headerTable);
        lineColumns = columnDefinitions(db, years.front().lineTable);
    }
    const QString what = QStringLiteral("Die Tabellen für das Jahr %1 konnten nicht angelegt werden").arg(year);
    exec(db, QStringLiteral("SAVEPOINT new_year"), what);
    try {
        exec(db, QStringLiteral("CREATE TABLE %1 (%2)").arg(quoted(target.headerTable), headerColumns.join(QStringLiteral(", "))), what);
        exec(db, QStringLiteral("CREATE TABLE %1 (%2)").arg(quoted(target.lineTable), lineColumns.join(QStringLiteral(", "))), what);
        exec(db, QStringLiteral("RELEASE new_year"), what);
    } catch (...) {
        sqlite3_exec(db, "ROLLBACK TO new_year; RELEASE new_year", nullptr, nullptr, nullptr);
        throw;
    }
}
