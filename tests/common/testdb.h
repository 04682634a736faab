#pragma once

// Each test builds its own database in a temporary folder from the schema file.

#include "data/deliverynote.h"
#include "data/errors.h"
#include "data/sqlitedatabase.h"

#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>
#include <QTest>

namespace testdb {

// Customers 1 (Anna), 2 (Bruno), 3 (Carla, no invoices); invoices 5 and 6 of
// Anna, 7 of Bruno; lines under 5 and 7.
inline const char *const StandardData = R"(
INSERT INTO kunde (id, name, adresse) VALUES (1, 'Anna', 'Weg 1'), (2, 'Bruno', 'Via 2'), (3, 'Carla', 'Platz 3');
INSERT INTO rechnungsdaten2004 (id, nr, datum, kundennummer) VALUES
  (1, '5', '01.02.2004', '1'), (2, '6', '03.02.2004', '1'), (3, '7', '04.02.2004', '2');
INSERT INTO rechnung2004 (id, rechnungsnummer, beschreibung, anzahl, einzelpreis) VALUES
  (1, '5', 'Rosen', '4', '2,5'), (2, '5', 'Erde', '1', '10'), (3, '7', 'Lavendel', '3', '1,20');
)";

inline QString schemaText()
{
    QFile f(QStringLiteral(RECHNUNG_SCHEMA_FILE));
    if (!f.open(QIODevice::ReadOnly))
        qFatal("cannot read schema %s", RECHNUNG_SCHEMA_FILE);
    return QString::fromUtf8(f.readAll());
}

// A connection of its own to a database file (a "second program" from the
// point of view of the code under test). A missing file is made empty first.
inline void openOther(SqliteDatabase &db, const QString &file)
{
    if (!QFileInfo::exists(file)) {
        QFile made(file);
        if (!made.open(QIODevice::WriteOnly))
            qFatal("cannot make %s", qPrintable(file));
    }
    try {
        db.open(file);
    } catch (const AppError &e) {
        qFatal("cannot open %s: %s", qPrintable(file), qPrintable(e.message()));
    }
}

// Runs SQL on a database file through a connection of its own.
inline void exec(const QString &file, const QString &sql)
{
    SqliteDatabase db;
    openOther(db, file);
    try {
        db.exec(sql.toUtf8());
    } catch (const AppError &e) {
        qFatal("SQL failed: %s\n%s", qPrintable(e.message()), qPrintable(sql));
    }
}

// One value of a query, as text ("" for NULL); for checking what was stored.
inline QString scalar(const QString &file, const QString &sql)
{
    SqliteDatabase db;
    openOther(db, file);
    try {
        StatementHandle st = db.prepare(sql.toUtf8(), Database::Reuse::Once);
        if (st->step() && st->columnType(0) != Value::Null)
            return st->columnString(0);
    } catch (const AppError &e) {
        qFatal("SQL failed: %s\n%s", qPrintable(e.message()), qPrintable(sql));
    }
    return QString();
}

// What the program's later versions give a year, for a year a test makes
// with its own SQL: its indexes, the delivery note each line may come with,
// and the year's delivery note tables. Without
// them the file counts as one of an older version.
inline QString yearAdditionsSql(int year)
{
    return QStringLiteral("CREATE INDEX idx_rechnungsdaten%1_nr ON rechnungsdaten%1 (nr);"
                          "CREATE INDEX idx_rechnungsdaten%1_kundennummer ON rechnungsdaten%1 (kundennummer);"
                          "CREATE INDEX idx_rechnung%1_rechnungsnummer ON rechnung%1 (rechnungsnummer);"
                          "ALTER TABLE rechnung%1 ADD COLUMN lieferschein_nr VARCHAR(50);"
                          "ALTER TABLE rechnung%1 ADD COLUMN lieferschein_datum VARCHAR(50);"
                          "CREATE TABLE lieferscheine%1 (id INTEGER PRIMARY KEY AUTOINCREMENT, nr VARCHAR(50), "
                          "datum VARCHAR(50), kundennummer VARCHAR(50), bestimmungsort VARCHAR(50), transport VARCHAR(50), "
                          "grund VARCHAR(50), colli VARCHAR(50), rechnung_nr VARCHAR(50));"
                          "CREATE TABLE lieferschein%1 (id INTEGER PRIMARY KEY AUTOINCREMENT, lieferscheinnummer VARCHAR(50), "
                          "pos DOUBLE PRECISION, beschreibung VARCHAR(50), anzahl VARCHAR(50), einheit VARCHAR(50), "
                          "einzelpreis VARCHAR(50), steuersatz VARCHAR(2), botanischer_name VARCHAR(100), "
                          "rueckverfolgung VARCHAR(50), ursprung VARCHAR(50));")
        .arg(year);
}

// The delivery note tables the program gives a year, for a year a test makes
// with its own SQL: without them the file counts as one of an older version.
inline void addDeliveryTables(const QString &file, int year)
{
    SqliteDatabase db;
    openOther(db, file);
    try {
        createDeliveryTables(db, year);
    } catch (const AppError &e) {
        qFatal("cannot make the delivery tables of %d: %s", year, qPrintable(e.message()));
    }
}

// A temporary folder holding "rechungen.mdb" made from the schema, plus
// optional SQL run on it.
class Fixture
{
public:
    explicit Fixture(const QString &sql = QString())
    {
        if (!m_dir.isValid())
            qFatal("no temporary folder");
        testdb::exec(file(), schemaText());
        if (!sql.isEmpty())
            testdb::exec(file(), sql);
    }
    QString dir() const { return m_dir.path(); }
    QString file() const { return m_dir.filePath(QStringLiteral("rechungen.mdb")); }
    QString scalar(const QString &sql) const { return testdb::scalar(file(), sql); }
    void exec(const QString &sql) const { testdb::exec(file(), sql); }

private:
    QTemporaryDir m_dir;
};

} // namespace testdb
