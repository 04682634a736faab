#pragma once

#include "schema.h"

#include <QString>
#include <vector>

class Database;

// A year's pair of tables: one for the invoice headers, one for the lines.
struct YearTables
{
    int year = 0;
    QString headerTable;
    QString lineTable;
    bool operator==(const YearTables &) const = default;
};

using schema::FirstYear;
YearTables tablesOfYear(int year);

// Orders years newest first, as every list of them is shown.
void sortNewestFirst(std::vector<YearTables> &years);

// The years whose two tables both exist in the file, newest first. A table of
// a pair alone is no year.
std::vector<YearTables> findYears(Database &db);

// Whether a year's line table carries each line's VAT rate: one made before
// rates has every line at 10 %.
bool hasLineRates(Database &db, const QString &lineTable);

// Whether a year's line table keeps each line's place in its invoice (pos).
bool hasLinePositions(Database &db, const QString &lineTable);
// The ORDER BY terms that give a year's lines in the order their invoices show
// them: by place, a line without one at its id; by id in a year made before
// places.
QString lineOrder(Database &db, const QString &lineTable);

// A year the program can make tables for.
constexpr int LowestNewYear = 1900;
constexpr int HighestNewYear = 2999;

// What "new year" offers first: this calendar year while it has no tables,
// else the year after the newest.
int proposedNewYear(const std::vector<YearTables> &years, int currentYear);

// Reads a typed year: four digits between LowestNewYear and HighestNewYear,
// blanks around allowed. Throws ConversionError with a German message.
int parseYear(const QString &text);

// An index every year's tables have: a year's invoices are found by number
// and by customer, its lines by their invoice's number. The name is the
// table's with the column's, so each is made once whoever makes it.
struct YearIndex
{
    QString name;
    QString table;
    QString column;
};
// The index of one column of a table, named as every index of the program is.
YearIndex indexOn(const QString &table, QLatin1StringView column);
std::vector<YearIndex> indexesOfYear(const YearTables &year);
// The indexes of every year found in the file that it does not have.
std::vector<YearIndex> missingYearIndexes(Database &db);
// Makes the indexes of `missing` (CREATE INDEX IF NOT EXISTS). Throws
// EngineError with a German message.
void createYearIndexes(Database &db, const std::vector<YearIndex> &missing);

// Creates the year's two tables with the columns and declared types of the
// newest year's tables (or, in a file without any year, the standard ones and
// every column a migration adds to them), in
// one savepoint with their indexes, so nothing is left half made. Throws EngineError with a
// German message when the year exists or the file refuses.
void createYearTables(Database &db, int year);
// Makes the year's tables unless the file has them already.
void ensureYearTables(Database &db, int year);
