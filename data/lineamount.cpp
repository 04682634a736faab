#include "lineamount.h"

#include "amount.h"
#include "errors.h"
#include "recordset.h"
#include "schema.h"

namespace {

const QString PriceField = schema::line::UnitPrice;
const QString QuantityField = schema::line::Quantity;
const QString AmountField = QStringLiteral("summerechn");

// The amount of the row being read; `number` is its place in the invoice.
long double amountOfLine(const RecordSet &lines, int number)
{
    if (const std::exception_ptr failure = lines.CalcError())
        throw ConversionError(QStringLiteral("Zeile %1: %2").arg(QString::number(number), messageOf(failure)));
    return lines.FieldByName(AmountField)->AsFloat();
}

TotalsLine lineOfRow(const RecordSet &lines, int number)
{
    // Every line has the one rate until the lines carry their own.
    return TotalsLine{double(amountOfLine(lines, number)), StandardRate};
}

} // namespace

void calculateLineAmount(RecordSet &set)
{
    const Field *priceField = set.FieldByName(PriceField);
    const Field *quantityField = set.FieldByName(QuantityField);
    const QString price = priceField->AsString();
    if (price.isEmpty())
        return;
    const QString quantity = quantityField->AsString();
    const Separators &separators = set.separators();
    // What is typed takes the file's separator; only a stored text may have
    // been written with the other one.
    if (!quantity.isEmpty()) {
        if (priceField->Assigned())
            textToFloat(price, separators);
        if (quantityField->Assigned())
            textToFloat(quantity, separators);
    }
    if (const std::optional<double> amount = lineAmount(price, quantity, separators))
        set.FieldByName(AmountField)->setAsFloat(*amount);
}

void checkLineBeforePost(RecordSet &set)
{
    const Field *priceField = set.FieldByName(PriceField);
    const Field *quantityField = set.FieldByName(QuantityField);
    if (!priceField->Assigned() && !quantityField->Assigned())
        return;
    const QString price = priceField->AsString();
    const QString quantity = quantityField->AsString();
    const Separators &separators = set.separators();
    // Each typed text on its own, even where the amount does not need it
    // yet: a quantity without a price becomes a line amount later.
    if (!price.isEmpty())
        textToFloat(price, separators);
    if (!quantity.isEmpty())
        textToFloat(quantity, separators);
    lineAmount(price, quantity, separators);
}

long double amountForSum(const RecordSet &lines)
{
    return amountOfLine(lines, lines.RecNo() + 1);
}

TotalsLine totalsLine(const RecordSet &lines)
{
    return lineOfRow(lines, lines.RecNo() + 1);
}

QList<TotalsLine> totalsLines(RecordSet &lines)
{
    QList<TotalsLine> out;
    for (int pos = 0; pos < lines.RecordCount(); ++pos)
        lines.readRowAt(pos, [&] { out.append(lineOfRow(lines, pos + 1)); });
    return out;
}
