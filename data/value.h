#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <string_view>

struct Separators;

// One field value as the engine stores it. The storage class is kept so that
// a lost-update check compares with exactly what was read.
struct Value
{
    enum Type : uint8_t { Null, Integer, Real, Text, Blob };

    Type type = Null;
    qint64 integer = 0;
    double real = 0;
    QByteArray bytes; // UTF-8 for Text

    static Value null() { return {}; }
    static Value fromInteger(qint64 v) { Value x; x.type = Integer; x.integer = v; return x; }
    static Value fromReal(double v) { Value x; x.type = Real; x.real = v; return x; }
    static Value fromText(const QString &s) { Value x; x.type = Text; x.bytes = s.toUtf8(); return x; }
    static Value fromUtf8(std::string_view s) { Value x; x.type = Text; x.bytes = QByteArray(s.data(), qsizetype(s.size())); return x; }

    bool isNull() const { return type == Null; }
    // Text form: a whole number as its decimal digits, NULL as "".
    QString toText() const;
    // As a record set shows it (Field::AsString): the same, but a REAL
    // written by generalNumber with the given separators.
    QString toText(const Separators &separators) const;
    QByteArray toUtf8Text() const;
    bool operator==(const Value &o) const;
};

// A field of a row without a copy: text and blob bytes belong to whoever
// handed the view out and live only as long as it says.
struct FieldView
{
    Value::Type type = Value::Null;
    qint64 integer = 0;
    double real = 0;
    const void *data = nullptr;
    size_t size = 0;
};
