#include "migrations.h"

#include "backup.h"
#include "deliverynote.h"
#include "engine.h"
#include "errors.h"
#include "fileseparators.h"
#include "schema.h"
#include "years.h"
#include "generated/data/businesstables.h"
#include "generated/data/exportstable.h"
#include "generated/data/separatorstable.h"

#include <algorithm>

namespace {

const QString Failed = QStringLiteral("Die Datenbank konnte nicht ergänzt werden");

QByteArray quoted(Database &db, const QString &name) { return db.quoteIdentifier(name.toUtf8()); }

bool hasColumn(Database &db, const QString &table, const QString &column)
{
    return db.columnInfo(table.toUtf8(), column.toUtf8()).found;
}

// Every year's table the migration gives its column to.
QStringList tablesOfEveryYear(Database &db, Migration::Kind kind)
{
    QStringList tables;
    for (const YearTables &y : findYears(db))
        tables << (kind == Migration::Kind::AddHeaderColumn ? y.headerTable : y.lineTable);
    return tables;
}

void apply(Database &db, const Migration &m, const Separators &separators)
{
    switch (m.kind) {
    case Migration::Kind::CreateTables:
        db.exec(m.definition);
        return;
    case Migration::Kind::StoreSeparators:
        db.exec(m.definition);
        storeSeparators(db, separators);
        return;
    case Migration::Kind::AddHeaderColumn:
    case Migration::Kind::AddLineColumn:
        // A year made from a model that had the column has it already.
        for (const QString &table : tablesOfEveryYear(db, m.kind)) {
            if (!hasColumn(db, table, m.column))
                db.exec("ALTER TABLE " + quoted(db, table) + " ADD COLUMN " + quoted(db, m.column) + ' ' + m.definition,
                        QStringLiteral("Tabelle '%1'").arg(table));
        }
        return;
    case Migration::Kind::AddYearIndexes:
        createYearIndexes(db, missingYearIndexes(db));
        return;
    case Migration::Kind::AddDeliveryTables:
        for (int year : yearsWithoutDeliveryTables(db))
            createDeliveryTables(db, year);
        return;
    case Migration::Kind::AddTableColumn:
        db.exec("ALTER TABLE " + quoted(db, m.tables.front()) + " ADD COLUMN " + quoted(db, m.column) + ' ' + m.definition,
                QStringLiteral("Tabelle '%1'").arg(m.tables.front()));
        return;
    }
}

} // namespace

const std::vector<Migration> &programMigrations()
{
    using namespace schema;
    static const std::vector<Migration> list{
        {1, Migration::Kind::CreateTables, QStringLiteral("die Tabellen für die Firmendaten und für die Daten der Kunden "
                                                          "für die elektronische Rechnung"),
         {business::Table, customerEInvoice::Table}, QString(), QByteArray(BusinessTablesSql),
         QStringLiteral("Die Datenbank hat noch keine Firmendaten. Jetzt anlegen?")},
        // Whoever opens such a file first has typed its amounts, or reads them as they were typed.
        {2, Migration::Kind::StoreSeparators, QStringLiteral("das Zahlenformat der Beträge (Dezimal- und Tausendertrennzeichen)"),
         {numberFormat::Table}, QString(), QByteArray(SeparatorsTableSql),
         QStringLiteral("In der Datenbank ist noch nicht festgehalten, mit welchem Dezimaltrennzeichen ihre Beträge "
                        "geschrieben sind. Jetzt die Trennzeichen dieses Computers in der Datenbank speichern, damit "
                        "jeder Computer die Beträge gleich liest?\n\nVorher wird die Datenbank in den Ordner „%1“ kopiert.")
             .arg(backup::FolderName)},
        {YearIndexesVersion, Migration::Kind::AddYearIndexes,
         QStringLiteral("Indizes, mit denen Rechnungen und Rechnungszeilen jedes Jahres schneller gefunden werden"),
         {}, QString(), QByteArray()},
        {LineVatRateVersion, Migration::Kind::AddLineColumn,
         QStringLiteral("den Steuersatz jeder Rechnungszeile (leer bedeutet wie bisher 10 %)"), {}, QString(line::VatRate),
         QByteArray("VARCHAR(2)")},
        {LineNatureVersion, Migration::Kind::AddLineColumn,
         QStringLiteral("den Grund der Steuerbefreiung (Natura) für Zeilen mit 0 %"), {}, QString(line::Nature),
         QByteArray("VARCHAR(4)")},
        {CustomerKindVersion, Migration::Kind::AddTableColumn,
         QStringLiteral("die steuerliche Art jedes Kunden (Italien, EU, Drittland; Firma oder Privatperson)"),
         {customerEInvoice::Table}, QString(customerEInvoice::Kind), QByteArray("VARCHAR(10)")},
        {BusinessLogoVersion, Migration::Kind::AddTableColumn,
         QStringLiteral("ein eigenes Logo für den Briefkopf der Rechnung"), {business::Table}, QString(business::Logo),
         QByteArray("BLOB")},
        {ExportRecordVersion, Migration::Kind::CreateTables,
         QStringLiteral("ein Verzeichnis der exportierten elektronischen Rechnungen"), {eInvoiceExport::Table},
         QString(), QByteArray(ExportsTableSql)},
        {LinePositionVersion, Migration::Kind::AddLineColumn,
         QStringLiteral("die Reihenfolge der Zeilen jeder Rechnung, damit eine eingefügte Zeile an ihrem Platz bleibt"),
         {}, QString(line::Position), QByteArray("DOUBLE PRECISION")},
        {DocumentKindVersion, Migration::Kind::AddHeaderColumn, QStringLiteral("die Art des Belegs (Rechnung oder Gutschrift)"),
         {}, QString(header::DocumentKind), QByteArray("VARCHAR(4)")},
        {ReferenceNumberVersion, Migration::Kind::AddHeaderColumn,
         QStringLiteral("die Nummer der Rechnung, zu der eine Gutschrift gehört"), {}, QString(header::ReferenceNumber),
         QByteArray("VARCHAR(50)")},
        {ReferenceDateVersion, Migration::Kind::AddHeaderColumn,
         QStringLiteral("das Datum der Rechnung, zu der eine Gutschrift gehört"), {}, QString(header::ReferenceDate),
         QByteArray("VARCHAR(50)")},
        {DueDateVersion, Migration::Kind::AddHeaderColumn, QStringLiteral("das Fälligkeitsdatum jeder Rechnung"), {},
         QString(header::DueDate), QByteArray("VARCHAR(50)")},
        {PaidDateVersion, Migration::Kind::AddHeaderColumn, QStringLiteral("das Datum, an dem eine Rechnung bezahlt wurde"),
         {}, QString(header::PaidDate), QByteArray("VARCHAR(50)")},
        {DeliveryTablesVersion, Migration::Kind::AddDeliveryTables,
         QStringLiteral("Lieferscheine mit Pflanzenpass für jedes Jahr"), {}, QString(), QByteArray()},
        {LineDeliveryNoteNumberVersion, Migration::Kind::AddLineColumn,
         QStringLiteral("die Nummer des Lieferscheins jeder Zeile einer Sammelrechnung"), {},
         QString(line::DeliveryNoteNumber), QByteArray("VARCHAR(50)")},
        {LineDeliveryNoteDateVersion, Migration::Kind::AddLineColumn,
         QStringLiteral("das Datum des Lieferscheins jeder Zeile einer Sammelrechnung"), {},
         QString(line::DeliveryNoteDate), QByteArray("VARCHAR(50)")},
        {RegistrationNumberVersion, Migration::Kind::AddTableColumn,
         QStringLiteral("die amtliche Registriernummer (RUOP) für den Pflanzenpass"), {business::Table},
         QString(business::RegistrationNumber), QByteArray("VARCHAR(20)")},
        {SiteCodeVersion, Migration::Kind::AddTableColumn, QStringLiteral("den Code der Betriebsstätte für den Pflanzenpass"),
         {business::Table}, QString(business::SiteCode), QByteArray("VARCHAR(20)")},
    };
    return list;
}

const Migration &businessTablesMigration() { return programMigrations().front(); }

const Migration &separatorsMigration() { return programMigrations().at(1); }

int latestVersion(const std::vector<Migration> &list)
{
    int version = 0;
    for (const Migration &m : list)
        version = std::max(version, m.version);
    return version;
}

bool isInFile(Database &db, const Migration &migration)
{
    return withContext(QStringLiteral("Die Tabellen der Datenbank können nicht gelesen werden"), [&] {
        switch (migration.kind) {
        case Migration::Kind::CreateTables:
        case Migration::Kind::StoreSeparators:
            return std::all_of(migration.tables.begin(), migration.tables.end(), [&](const QString &t) { return db.hasTable(t); });
        case Migration::Kind::AddHeaderColumn:
        case Migration::Kind::AddLineColumn:
            for (const QString &table : tablesOfEveryYear(db, migration.kind)) {
                if (!hasColumn(db, table, migration.column))
                    return false;
            }
            return true;
        case Migration::Kind::AddYearIndexes:
            return missingYearIndexes(db).empty();
        case Migration::Kind::AddTableColumn:
            // A table still to be made is made with the column.
            return !db.hasTable(migration.tables.front()) || hasColumn(db, migration.tables.front(), migration.column);
        case Migration::Kind::AddDeliveryTables:
            return yearsWithoutDeliveryTables(db).empty();
        }
        return false;
    });
}

std::vector<Migration> pendingMigrations(Database &db, const std::vector<Migration> &list)
{
    const int version = withContext(QStringLiteral("Die Version der Datenbank kann nicht gelesen werden"),
                                    [&] { return db.schemaVersion(); });
    std::vector<Migration> pending;
    for (const Migration &m : list) {
        if (m.version > version && !isInFile(db, m))
            pending.push_back(m);
    }
    return pending;
}

QString consentQuestion(const std::vector<Migration> &pending)
{
    if (pending.size() == 1 && !pending.front().question.isEmpty())
        return pending.front().question;
    QString question = QStringLiteral("Diese Version des Programms ergänzt die Datenbank um:\n");
    for (const Migration &m : pending)
        question += QStringLiteral("\n- ") + m.description;
    return question + QStringLiteral("\n\nVorher wird die Datenbank in den Ordner „%1“ kopiert. Jetzt ergänzen?")
                          .arg(backup::FolderName);
}

void applyMigrations(Database &db, const std::vector<Migration> &pending, int version, const Separators &separators)
{
    Transaction transaction(db, true, Failed);
    withContext(Failed, [&] {
        // Another program may have brought the file up to date meanwhile;
        // under the write lock that can no longer change.
        for (const Migration &m : pending) {
            if (!isInFile(db, m))
                apply(db, m, separators);
        }
        if (db.schemaVersion() < version)
            db.setSchemaVersion(version);
    });
    transaction.commit();
}

UpgradeResult upgradeSchema(Database &db, const std::function<bool(const QString &question)> &consent, const QDate &today,
                            const std::vector<Migration> &list, const Separators &separators)
{
    const std::vector<Migration> pending = pendingMigrations(db, list);
    if (pending.empty())
        return UpgradeResult::UpToDate;
    if (!consent(consentQuestion(pending)))
        return UpgradeResult::Declined;
    const int version = latestVersion(list);
    backup::copyBeforeVersion(db, db.fileName(), version, today);
    applyMigrations(db, pending, version, separators);
    return UpgradeResult::Upgraded;
}
