#pragma once

// The versions of the program's tables. A file says which version its tables
// have (Database::schemaVersion()); each later version is one entry of an
// ordered list, and what an entry adds is data: the tables it makes, or the
// one column it gives every year's header or line table. A year made later
// copies the newest year's columns, so it has the column as well.
//
// A file is brought up to date only when the user agrees: one question lists
// what is missing, then the file is copied into "Sicherungen" beside it, then
// everything missing is added in one transaction and the version is set. A
// file made new gets all of it at once, without asking.

#include "amount.h"

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class Database;

struct Migration
{
    enum class Kind {
        CreateTables,    // `definition` is the statements that make `tables`
        AddHeaderColumn, // `column` with `definition` (its type and default) in every year's header table
        AddLineColumn,   // the same in every year's line table
        // `definition` makes `tables`: the file's number format, whose row
        // then names the separators given when it is applied
        StoreSeparators,
        AddYearIndexes,  // every year's indexes (indexesOfYear())
        AddTableColumn,  // `column` with `definition` in the one table `tables` names
        AddDeliveryTables, // every year's delivery note tables (createDeliveryTables())
    };

    // The version a file has once this is in it.
    int version = 0;
    Kind kind = Kind::CreateTables;
    // What it adds, in German words that complete "Die Datenbank wird ergänzt um ...".
    QString description;
    QStringList tables;
    QString column;
    QByteArray definition;
    // The question when it is the only one missing; empty: the general one.
    QString question = QString();
};

// The program's migrations, oldest first.
const std::vector<Migration> &programMigrations();
// The first of them: the business's data and each customer's e-invoice data.
const Migration &businessTablesMigration();
// The second: the separators the file's amounts are written with.
const Migration &separatorsMigration();
// The version that gives every year its indexes.
constexpr int YearIndexesVersion = 3;
// The versions that give every year's lines their VAT rate and its nature.
constexpr int LineVatRateVersion = 4;
constexpr int LineNatureVersion = 5;
// The customer's VAT treatment, the business's logo, the record of exports.
constexpr int CustomerKindVersion = 6;
constexpr int BusinessLogoVersion = 7;
constexpr int ExportRecordVersion = 8;
// Each line's place in its invoice.
constexpr int LinePositionVersion = 9;
// Credit notes and their invoice, due and paid dates: one column each.
constexpr int DocumentKindVersion = 10;
constexpr int ReferenceNumberVersion = 11;
constexpr int ReferenceDateVersion = 12;
constexpr int DueDateVersion = 13;
constexpr int PaidDateVersion = 14;
// Delivery notes beside every year's invoices, the note each line of a
// deferred invoice came with, and the business's plant-passport registration.
constexpr int DeliveryTablesVersion = 15;
constexpr int LineDeliveryNoteNumberVersion = 16;
constexpr int LineDeliveryNoteDateVersion = 17;
constexpr int RegistrationNumberVersion = 18;
constexpr int SiteCodeVersion = 19;

// The version a file has with every migration of `list` in it.
int latestVersion(const std::vector<Migration> &list);

// Whether what the migration adds is in the file already (a file made before
// versions were kept may have it).
bool isInFile(Database &db, const Migration &migration);

// The migrations past the file's version that are not in it yet, oldest first.
std::vector<Migration> pendingMigrations(Database &db, const std::vector<Migration> &list = programMigrations());

// The one question that asks for all of `pending` (not empty).
QString consentQuestion(const std::vector<Migration> &pending);

// Adds what `pending` adds and sets the version to `version`, in one
// transaction (a savepoint inside an open one). A file that gets its number
// format names `separators`: those its amounts have been written with, the
// regional settings of the PC that makes or opens it. Throws EngineError with
// a German message; the file is then as it was.
void applyMigrations(Database &db, const std::vector<Migration> &pending, int version, const Separators &separators);

enum class UpgradeResult {
    UpToDate, // nothing was missing
    Declined, // the user said no: nothing changed
    Upgraded,
};

// Asks `consent` with consentQuestion() when something is missing; on yes
// copies the file into the folder "Sicherungen" beside it
// (backup::copyBeforeVersion) and then applies everything missing, with
// `separators` as applyMigrations takes them. A failed copy stops it before
// anything changes. Throws EngineError with a German message; the file is
// then as it was.
UpgradeResult upgradeSchema(Database &db, const std::function<bool(const QString &question)> &consent,
                            const QDate &today, const std::vector<Migration> &list = programMigrations(),
                            const Separators &separators = Separators::fromSystem());
