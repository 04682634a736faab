#include "lineamount.h"

#include "amount.h"
#include "errors.h"
#include "recordset.h"
#include "schema.h"

#include <cmath>
#include <optional>

namespace {

const QString PriceField = schema::line::UnitPrice;
const QString QuantityField = schema::line::Quantity;
const QString AmountField = QStringLiteral("summerechn");
const QString RateField = schema::line::VatRate;
const QString NatureField = schema::line::Nature;

// Unit price times quantity as the line set has always shown it: the product
// in extended precision, kept as a double. Only money is exact (money.h);
// this is the calculated field's own value.
std::optional<double> lineProduct(const QString &price, const QString &quantity, const Separators &separators)
{
    // Not trimmed on purpose: a text of blanks is not empty and must fail.
    if (price.isEmpty() || quantity.isEmpty())
        return std::nullopt;
    // The price first, so a row with two bad texts reports the price.
    const double unitPrice = double(storedNumber(price, separators));
    const long double count = storedNumber(quantity, separators);
    const double amount = double(unitPrice * count);
    if (!isValidAmount(amount)) {
        // The factor that is out of all proportion is the one to correct.
        const bool priceIsLarger = !(std::fabs(static_cast<long double>(unitPrice)) < std::fabs(count));
        throw ConversionError(QStringLiteral("'%1' ergibt keinen gültigen Betrag").arg(priceIsLarger ? price : quantity));
    }
    return amount;
}

// The line the set is reading; `number` is its place in the invoice.
TotalsLine lineOfRow(const RecordSet &lines, int number)
{
    const auto stop = [number](const QString &message) {
        throw ConversionError(QStringLiteral("Zeile %1: %2").arg(QString::number(number), message));
    };
    if (const std::exception_ptr failure = lines.CalcError())
        stop(messageOf(failure));
    const Field *rate = lines.FindField(RateField);
    const Field *nature = lines.FindField(NatureField);
    TotalsLine line;
    try {
        line.amount = lineAmount(lines.FieldByName(PriceField)->AsString(), lines.FieldByName(QuantityField)->AsString(),
                                 lines.separators())
                          .value_or(Money());
        // A file made before lines had rates: every line at 10 %.
        line.rate = vatRateOf(rate ? rate->AsString() : QString(), nature ? nature->AsString() : QString());
    } catch (const ConversionError &e) {
        stop(e.message());
    }
    return line;
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
    if (const std::optional<double> amount = lineProduct(price, quantity, separators))
        set.FieldByName(AmountField)->setAsFloat(*amount);
}

void checkLineBeforePost(RecordSet &set)
{
    // A year made before lines had rates has neither column to check.
    const Field *rateField = set.FindField(RateField);
    const Field *natureField = set.FindField(NatureField);
    if ((rateField && rateField->Assigned()) || (natureField && natureField->Assigned()))
        vatRateOf(rateField ? rateField->AsString() : QString(), natureField ? natureField->AsString() : QString());
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
    lineProduct(price, quantity, separators);
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
