// Fields: reading and assigning the values of the row being read.

#include "recordset_p.h"

using namespace recordset_detail;

QString fieldKindName(FieldKind kind)
{
    switch (kind) {
    case FieldKind::AutoInc: return QStringLiteral("AutoInc");
    case FieldKind::Integer: return QStringLiteral("Integer");
    case FieldKind::Text: return QStringLiteral("WideString");
    case FieldKind::Memo: return QStringLiteral("Memo");
    case FieldKind::Blob: return QStringLiteral("Blob");
    case FieldKind::Float:
    case FieldKind::CalcFloat: return QStringLiteral("Float");
    case FieldKind::Unknown: return QStringLiteral("Unknown");
    }
    return QString();
}

// ---------------------------------------------------------------- Field

Value Field::value() const { return m_set->currentValue(this); }
bool Field::IsNull() const { return value().isNull(); }

QString Field::AsString() const
{
    return value().toText(m_set->separators());
}

QString Field::DisplayText() const
{
    const Value v = value();
    if (v.type == Value::Real && !m_displayFormat.isEmpty())
        return formatFloat(m_displayFormat, v.real, m_set->separators());
    return AsString();
}

long double Field::AsFloat() const
{
    const Value v = value();
    switch (v.type) {
    case Value::Null: return 0;
    case Value::Integer: return static_cast<long double>(v.integer);
    case Value::Real: return v.real;
    case Value::Text:
    case Value::Blob: return textToFloat(v.toText(), m_set->separators());
    }
    return 0;
}

qint64 Field::AsInteger() const
{
    const Value v = value();
    switch (v.type) {
    case Value::Integer: return v.integer;
    case Value::Real: return qint64(v.real);
    case Value::Text: return v.toText().trimmed().toLongLong();
    default: return 0;
    }
}

void Field::setAsString(const QString &text)
{
    if (m_kind == FieldKind::Integer) {
        bool ok = false;
        const qint64 v = text.trimmed().toLongLong(&ok);
        m_set->assign(this, ok ? Value::fromInteger(v) : Value::fromText(text));
        return;
    }
    if (m_kind == FieldKind::CalcFloat || m_kind == FieldKind::Float) {
        m_set->assign(this, text.isEmpty() ? Value() : Value::fromReal(double(textToFloat(text, m_set->separators()))));
        return;
    }
    m_set->assign(this, Value::fromText(text));
}

void Field::setAsInteger(qint64 v)
{
    if (m_kind == FieldKind::Text || m_kind == FieldKind::Memo)
        m_set->assign(this, Value::fromText(QString::number(v)));
    else if (m_kind == FieldKind::CalcFloat || m_kind == FieldKind::Float)
        m_set->assign(this, Value::fromReal(double(v)));
    else
        m_set->assign(this, Value::fromInteger(v));
}

void Field::setAsFloat(double v)
{
    if (m_kind == FieldKind::Text || m_kind == FieldKind::Memo)
        m_set->assign(this, Value::fromText(generalNumber(v, m_set->separators())));
    else
        m_set->assign(this, Value::fromReal(v));
}

void Field::Clear() { m_set->assign(this, Value()); }

Value Field::OldValue() const
{
    const RecordSet &set = *m_set;
    if (isCalculated() || set.m_state == DataSetState::Insert)
        return Value();
    if (set.m_state == DataSetState::Edit && set.m_readingPos < 0 && set.m_cur >= 0)
        return set.m_snapshot.value(set.rowAtPos(set.m_cur), m_column);
    return value();
}

bool Field::Assigned() const
{
    const DataSetState state = m_set->m_state;
    if (isCalculated() || (state != DataSetState::Edit && state != DataSetState::Insert))
        return false;
    return m_set->m_assigned[size_t(m_column)];
}
