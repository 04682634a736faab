#include "headercheck.h"

#include "duedate.h"
#include "errors.h"
#include "invoicelist.h"
#include "recordset.h"
#include "schema.h"

namespace {

// A date typed in a header's date field: empty, or a date as datum is written.
void checkTypedDate(const Field *field, const QString &what)
{
    if (!field || !field->Assigned())
        return;
    const QString text = field->AsString().trimmed();
    if (!text.isEmpty() && !storedDate(text).isValid())
        throw ConversionError(QStringLiteral("„%1“ ist kein gültiges %2. Bitte das Datum als TT.MM.JJJJ eingeben "
                                             "(zum Beispiel 31.01.2026) oder das Feld leer lassen.")
                                  .arg(text, what));
}

QString storedText(const Field *field) { return field->OldValue().toText(field->DataSet()->separators()); }

} // namespace

void checkHeaderBeforePost(RecordSet &set)
{
    const auto empty = [&](QLatin1StringView name) { return set.FieldByName(name)->AsString().trimmed().isEmpty(); };
    if (empty(schema::header::Number) || empty(schema::header::Date))
        throw ConversionError(QStringLiteral("Die Rechnung braucht eine Nummer und ein Datum."));

    Field *due = set.FindField(schema::header::DueDate);
    checkTypedDate(due, QStringLiteral("Fälligkeitsdatum"));
    checkTypedDate(set.FindField(schema::header::PaidDate), QStringLiteral("Zahlungsdatum"));
    if (!due)
        return;
    const Field *date = set.FieldByName(schema::header::Date);
    const Field *terms = set.FieldByName(schema::header::Payment);
    const QString current = due->AsString();
    const QString settled = settledDueDate(current, storedText(due), storedText(date), storedText(terms),
                                           date->AsString(), terms->AsString());
    if (settled == current)
        return;
    if (settled.isEmpty())
        due->Clear();
    else
        due->setAsString(settled);
}
