#include "invoice.h"

qint64 customerIdOf(const QString &kundennummer)
{
    bool isNumber = false;
    const qint64 id = kundennummer.trimmed().toLongLong(&isNumber);
    return isNumber ? id : 0;
}

qint64 InvoiceHeader::customerId() const { return customerIdOf(kundennummer); }

bool InvoiceHeader::isCreditNote() const
{
    return dokumentart.trimmed().compare(CreditNoteKind, Qt::CaseInsensitive) == 0;
}
