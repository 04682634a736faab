#pragma once

#include "access/accessfile.h"
#include "data/amount.h"

#include <QString>
#include <QStringList>
#include <vector>

// Bringing the data of an Access file of this program into a new database:
// the customers and the invoice headers and lines of every year.
namespace accessdb {

// What became of one table of the program.
struct TableReport
{
    QString table; // in the new database
    QString sourceTable; // as the source names it; empty when the source lacks it
    qint64 declared = -1; // rows the source's table definition announces; -1 unknown
    qint64 read = 0;
    qint64 written = 0;
    // Every value copied as it is although it does not fit (a text of more
    // than 50 characters, a number column holding text), every column
    // converted, added or missing, every row that got a new id.
    QStringList notes;

    bool missing() const { return sourceTable.isEmpty(); }
    // Every row the source announces was read, and every row read was written.
    // A table with more rows than it announces is complete when all were read.
    bool complete() const { return read == written && (declared < 0 || declared <= read); }
};

struct ImportReport
{
    QString source;
    QString target;
    std::vector<TableReport> tables;
    // Years whose tables the new database did not have yet.
    std::vector<int> createdYears;
    // Tables of the source that are none of the program's; not copied.
    QStringList otherTables;
    // Tables of the source that are none of the program's and cannot be read,
    // with the reason (see Table::unreadable); not copied.
    struct Unreadable
    {
        QString table;
        QString reason;
    };
    std::vector<Unreadable> unreadableTables;

    bool complete() const;
};

// Creates `target` exactly as "rechnung-db create" does and copies into it,
// in one transaction, the program's tables found in `source`: kunde and the
// header and line table of every year (rechnungsdaten/rechnung for 2002,
// rechnungsdaten<YYYY>/rechnung<YYYY> for the others), keeping every id, so
// the auto-increment counters end past the highest id. Years the new
// database lacks get their tables; columns the program does not know are
// added, so nothing is lost. Values become text as the program keeps it
// (numbers with the decimal separator of `separators`, which the new file
// names as its own, dates as
// dd.MM.yyyy). Throws EngineError with a German message, and then `target`
// does not exist: for a source with none of the program's tables (nothing is
// written at all), one of the program's tables that cannot be read or has
// fewer rows than it announces, an existing target, or a failure while
// writing. Other tables that cannot be read are skipped and named.
ImportReport importTables(const Source &source, const QString &target, const Separators &separators);

// Reads the Access file `source` and imports it into `target` as above.
ImportReport importAccessFile(const QString &source, const QString &target, const Separators &separators);

// The report in German, one line each, for the tool to print and the program
// to show. With a limit, each table lists at most that many notes and then
// says how many more there are.
QStringList reportLines(const ImportReport &report, int notesPerTable = -1);

} // namespace accessdb
