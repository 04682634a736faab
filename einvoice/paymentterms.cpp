#include "einvoice/paymentterms.h"

#include <QRegularExpression>

namespace einvoice {

namespace {

QRegularExpression caseless(const char *pattern)
{
    return QRegularExpression(QRegularExpression::anchoredPattern(QLatin1String(pattern)),
                              QRegularExpression::CaseInsensitiveOption | QRegularExpression::UseUnicodePropertiesOption);
}

// A term typed with a full stop at the end means the same without it.
const QRegularExpression DaysPattern =
    caseless("(?:(?:zahlbar\\s+)?innerhalb\\s+(?:von\\s+)?|zahlbar\\s+in\\s+|entro\\s+|a\\s+)?"
             "([0-9]{1,3})\\s*(?:tage|tagen|tg\\.?|gg\\.?|giorni)(?:\\s+netto)?(?:\\s+d\\.?\\s*f\\.?)?\\.?");
const QRegularExpression CashPattern =
    caseless("(?:bezahlt|bar(?:\\s+bezahlt)?|barzahlung|bar\\s+bei\\s+lieferung|pagato|(?:in\\s+)?contanti)\\.?");

} // namespace

PaymentTerms paymentTermsOf(const QString &bezahlung)
{
    const QString text = bezahlung.simplified();
    if (text.isEmpty())
        return {PaymentTerms::None, 0};
    if (const QRegularExpressionMatch m = DaysPattern.match(text); m.hasMatch())
        return {PaymentTerms::Days, m.captured(1).toInt()};
    if (CashPattern.match(text).hasMatch())
        return {PaymentTerms::Cash, 0};
    return {PaymentTerms::Unknown, 0};
}

} // namespace einvoice
