#include "duedate.h"

#include "invoicelist.h"

#include <QRegularExpression>

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

QDate dueDateOf(const QDate &date, const PaymentTerms &terms)
{
    if (!date.isValid())
        return QDate();
    switch (terms.kind) {
    case PaymentTerms::Cash: return date;
    case PaymentTerms::Days: return date.addDays(terms.days);
    case PaymentTerms::None:
    case PaymentTerms::Unknown: break;
    }
    return QDate();
}

QString dueDateText(const QString &datum, const QString &bezahlung)
{
    const QDate due = dueDateOf(storedDate(datum), paymentTermsOf(bezahlung));
    return due.isValid() ? storedDateText(due) : QString();
}

QString settledDueDate(const QString &current, const QString &stored, const QString &oldDatum, const QString &oldTerms,
                       const QString &datum, const QString &terms)
{
    if (!storedDate(datum).isValid())
        return current;
    const bool followsTerms = current.trimmed().isEmpty()
                              || (current == stored && current.trimmed() == dueDateText(oldDatum, oldTerms));
    return followsTerms ? dueDateText(datum, terms) : current;
}
