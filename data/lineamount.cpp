#include "lineamount.h"

#include "amount.h"
#include "errors.h"
#include "recordset.h"

#include <cmath>

namespace {

const QString PriceField = QStringLiteral("einzelpreis");
const QString QuantityField = QStringLiteral("anzahl");
const QString AmountField = QStringLiteral("summerechn");

} // namespace

std::optional<double> lineAmount(const QString &price, const QString &quantity)
{
    // Not trimmed on purpose: a text of blanks is not empty and must fail.
    if (price.isEmpty() || quantity.isEmpty())
        return std::nullopt;
    // The price first, so a row with two bad texts reports the price.
    const double unitPrice = double(textToFloat(price));
    const long double count = textToFloat(quantity);
    const double amount = double(unitPrice * count);
    if (!isValidAmount(amount)) {
        // The factor that is out of all proportion is the one to correct.
        const bool priceIsLarger = !(std::fabs(static_cast<long double>(unitPrice)) < std::fabs(count));
        throw ConversionError(QStringLiteral("'%1' ergibt keinen gültigen Betrag").arg(priceIsLarger ? price : quantity));
    }
    return amount;
}

void calculateLineAmount(RecordSet &set)
{
    const QString price = set.FieldByName(PriceField)->AsString();
    if (price.isEmpty())
        return;
    const QString quantity = set.FieldByName(QuantityField)->AsString();
    if (const std::optional<double> amount = lineAmount(price, quantity))
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
    // Each typed text on its own, even where the amount does not need it
    // yet: a quantity without a price becomes a line amount later.
    if (!price.isEmpty())
        textToFloat(price);
    if (!quantity.isEmpty())
        textToFloat(quantity);
    lineAmount(price, quantity);
}

long double amountForSum(const RecordSet &lines)
{
    if (const std::exception_ptr failure = lines.CalcError())
        throw ConversionError(QStringLiteral("Zeile %1: %2").arg(QString::number(lines.RecNo() + 1), messageOf(failure)));
    return lines.FieldByName(AmountField)->AsFloat();
}
