#include "value.h"

#include "amount.h"

QString Value::toText() const
{
    switch (type) {
    case Null: return QString();
    case Integer: return QString::number(integer);
    case Real: return QString::number(real, 'g', 15);
    case Text:
    case Blob: return QString::fromUtf8(bytes);
    }
    return QString();
}

QString Value::toText(const Separators &separators) const
{
    return type == Real ? generalNumber(real, separators) : toText();
}

QByteArray Value::toUtf8Text() const
{
    switch (type) {
    case Null: return QByteArray();
    case Integer: return QByteArray::number(integer);
    case Real: return QByteArray::number(real, 'g', 15);
    case Text:
    case Blob: return bytes;
    }
    return QByteArray();
}

bool Value::operator==(const Value &o) const
{
    if (type != o.type)
        return false;
    switch (type) {
    case Null: return true;
    case Integer: return integer == o.integer;
    case Real: return real == o.real;
    case Text:
    case Blob: return bytes == o.bytes;
    }
    return false;
}
