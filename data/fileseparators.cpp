#include "fileseparators.h"

#include "engine.h"
#include "errors.h"
#include "schema.h"
#include "years.h"

namespace {

// A decimal separator that the plain conversion could take for part of a
// number would make some texts mean two things.
bool canBeDecimalSeparator(QChar c)
{
    return !c.isDigit() && !c.isSpace() && c != QLatin1Char('+') && c != QLatin1Char('-') && c.toLower() != QLatin1Char('e');
}

std::optional<QChar> oneCharacter(const QString &text)
{
    if (text.size() != 1)
        return std::nullopt;
    return text.at(0);
}

} // namespace

std::optional<Separators> storedSeparators(Database &db)
{
    using namespace schema::numberFormat;
    return withContext(QStringLiteral("Das Zahlenformat der Datenbank kann nicht gelesen werden"), [&]() -> std::optional<Separators> {
        if (!db.hasTable(Table))
            return std::nullopt;
        StatementHandle st = db.prepare("SELECT " + schema::sql(DecimalSeparator) + ", " + schema::sql(ThousandsSeparator)
                                            + " FROM " + schema::sql(Table) + " ORDER BY " + schema::sql(Id) + " LIMIT 1",
                                        Database::Reuse::Once);
        if (!st->step())
            return std::nullopt;
        const std::optional<QChar> decimal = oneCharacter(st->columnString(0));
        const std::optional<QChar> thousands = oneCharacter(st->columnString(1));
        if (!decimal || !thousands || !canBeDecimalSeparator(*decimal) || thousands->isDigit() || *decimal == *thousands)
            return std::nullopt;
        return Separators{*decimal, *thousands};
    });
}

void storeSeparators(Database &db, const Separators &separators)
{
    using namespace schema::numberFormat;
    withContext(QStringLiteral("Das Zahlenformat der Datenbank kann nicht gespeichert werden"), [&] {
        StatementHandle st = db.prepare(db.insertOrReplace(schema::sql(Table),
                                                           {schema::sql(Id), schema::sql(DecimalSeparator), schema::sql(ThousandsSeparator)},
                                                           "VALUES (1, ?1, ?2)"),
                                        Database::Reuse::Once);
        st->bindText(1, QString(separators.decimal));
        st->bindText(2, QString(separators.thousands));
        st->step();
    });
}

Separators separatorsOfFile(Database &db)
{
    return storedSeparators(db).value_or(Separators::fromSystem());
}

QList<StoredAmountNote> storedAmountNotes(Database &db, const Separators &separators)
{
    using namespace schema::line;
    QList<StoredAmountNote> notes;
    withContext(QStringLiteral("Die Beträge der Datenbank können nicht gelesen werden"), [&] {
        for (const YearTables &year : findYears(db)) {
            StatementHandle st = db.prepare("SELECT " + schema::sql(Id) + ", " + schema::sql(Quantity) + ", " + schema::sql(UnitPrice)
                                                + " FROM " + db.quoteIdentifier(year.lineTable.toUtf8()) + " ORDER BY "
                                                + schema::sql(Id),
                                            Database::Reuse::Once);
            while (st->step()) {
                for (int column : {1, 2}) {
                    // A number stored as one reads as what it is.
                    if (st->columnType(column) != Value::Text)
                        continue;
                    const QString text = st->columnString(column);
                    // An empty text leaves the line without an amount, as it should.
                    if (text.isEmpty())
                        continue;
                    long double value = 0;
                    const StoredNumber reading = tryStoredNumber(text, value, separators);
                    if (reading != StoredNumber::Read)
                        notes.append({year.lineTable, st->columnInteger(0), column == 1 ? QString(Quantity) : QString(UnitPrice),
                                      text, reading, value});
                }
            }
        }
    });
    return notes;
}
