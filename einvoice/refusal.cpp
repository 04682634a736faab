#include "einvoice/refusal.h"

#include "data/errors.h"

namespace einvoice {

void requireFilled(const QString &label, const QString &value)
{
    if (value.trimmed().isEmpty())
        throw ConversionError(QStringLiteral("Das Feld „%1“ ist leer: bitte ausfüllen.").arg(label));
}

void inContext(const QString &context, const std::function<void()> &checks)
{
    try {
        checks();
    } catch (const AppError &e) {
        throw ConversionError(context + QStringLiteral(": ") + e.message());
    }
}

} // namespace einvoice
