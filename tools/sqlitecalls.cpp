#include "sqlitecalls.h"

#include "output.h"

#include "data/backup.h"
#include "data/engine.h"
#include "data/newdatabase.h"

#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

namespace sqlitecalls {

long long lastInsertId(newdb::NewDatabase &db)
{
    return sqlite3_last_insert_rowid(db.handle());
}

void copyReadOnly(const QString &file, const QString &target)
{
    sqlite3 *source = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(QFileInfo(file).absoluteFilePath()).constData(), &source,
                                   SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
    struct Closer
    {
        sqlite3 *db;
        ~Closer() { sqlite3_close(db); }
    } closer{source};
    if (rc != SQLITE_OK)
        throw Failure{QStringLiteral("Die Datei '%1' kann nicht geöffnet werden: %2")
                          .arg(shown(file), shown(Connection::describe(rc, QString::fromUtf8(sqlite3_errmsg(source)))))};
    // Waits for a short write of the program to finish.
    sqlite3_busy_timeout(source, 3000);
    backup::copyDatabase(source, target, false);
}

} // namespace sqlitecalls
