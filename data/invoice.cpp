#include "invoice.h"

qint64 InvoiceHeader::customerId() const
{
    bool isNumber = false;
    const qint64 id = kundennummer.trimmed().toLongLong(&isNumber);
    return isNumber ? id : 0;
}

bool InvoiceHeader::isCreditNote() const
{
    return dokumentart.trimmed().compare(CreditNoteKind, Qt::CaseInsensitive) == 0;
}
