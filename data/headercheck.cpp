#include "headercheck.h"

#include "errors.h"
#include "recordset.h"
#include "schema.h"

void checkHeaderBeforePost(RecordSet &set)
{
    const auto empty = [&](QLatin1StringView name) { return set.FieldByName(name)->AsString().trimmed().isEmpty(); };
    if (empty(schema::header::Number) || empty(schema::header::Date))
        throw ConversionError(QStringLiteral("Die Rechnung braucht eine Nummer und ein Datum."));
}
