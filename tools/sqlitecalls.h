#pragma once

#include <QString>

namespace newdb {
class NewDatabase;
}

// The tool's only direct calls of SQLite; every other database access goes
// through data/.
namespace sqlitecalls {

// The id the database handed out for the row just inserted.
long long lastInsertId(newdb::NewDatabase &db);

// Copies the database `file` into the new file `target` and checks the copy
// (backup::copyDatabase), with the source opened read-only: a copy must never
// change its source, and a write-protected file can be copied as well.
void copyReadOnly(const QString &file, const QString &target);

} // namespace sqlitecalls
