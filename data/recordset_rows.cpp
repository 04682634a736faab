#include "recordset.h"

void RecordSet::first() { First(); }

void RecordSet::next() { Next(); }

bool RecordSet::atEnd() const { return Eof(); }

int RecordSet::rowCount() const { return RecordCount(); }

QString RecordSet::fieldText(const QString &field) const
{
    const Field *f = FindField(field);
    if (!f || !Active() || RecordCount() == 0 || f->IsNull())
        return QString();
    // A memo prints whole, as it is stored.
    if (f->kind() == FieldKind::Memo)
        return f->AsString();
    return f->DisplayText();
}
