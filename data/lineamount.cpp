#include "lineamount.h"

#include "amount.h"
#include "recordset.h"

void rechnungstabelleCalcFields(RecordSet &set)
{
    // Not trimmed on purpose: a text of blanks is not empty and must fail.
    const QString price = set.FieldByName(QStringLiteral("einzelpreis"))->AsString();
    if (price.isEmpty())
        return;
    const QString quantity = set.FieldByName(QStringLiteral("anzahl"))->AsString();
    if (quantity.isEmpty())
        return;
    // The price first, so a row with two bad texts reports the price.
    const double unitPrice = double(textToFloat(price));
    const long double count = textToFloat(quantity);
    set.FieldByName(QStringLiteral("summerechn"))->setAsFloat(double(unitPrice * count));
}
