#pragma once

// The separators a file's amounts are written with belong to the file (table
// `zahlenformat`, one row), so that every PC reads the same figures from it,
// whatever its regional settings. A file made before the table gets it by a
// migration (migrations.h).

#include "amount.h"

#include <QList>
#include <QString>
#include <optional>

class Database;

// The separators the file names; nothing when it names none (no table, no
// row, or a row no amount can be written with). Throws EngineError.
std::optional<Separators> storedSeparators(Database &db);

// Names the file's separators, in place of any it named before. The table
// must be there. Throws EngineError.
void storeSeparators(Database &db, const Separators &separators);

// The separators a program without a user at hand (the database tool) reads
// and writes the file's amounts with: the file's, else the regional settings
// of the process, as before files named theirs.
Separators separatorsOfFile(Database &db);

// A stored quantity or unit price that the line amount cannot read, or reads
// only with the other decimal separator (tryStoredNumber).
struct StoredAmountNote
{
    QString table;
    qint64 id = 0;
    QString column;
    QString text;
    StoredNumber reading = StoredNumber::Unreadable;
    long double value = 0;  // what it is read as, where it can be read
};

// Every such quantity and unit price of every year's lines, newest year
// first, then by id. Throws EngineError.
QList<StoredAmountNote> storedAmountNotes(Database &db, const Separators &separators);
