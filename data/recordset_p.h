#pragma once

// What the record set's source files share: small helpers, not part of the
// data layer's interface.

#include "amount.h"
#include "engine.h"
#include "errors.h"
#include "recordset.h"

#include <QByteArray>
#include <QString>
#include <exception>

namespace recordset_detail {


inline constexpr int TextFieldLength = 50;

inline FieldKind kindFromDeclaredType(const QByteArray &declared, bool autoIncrement)
{
    const QByteArray t = declared.toUpper();
    if (t.isEmpty())
        return FieldKind::Unknown;
    if (t.contains("INT"))
        return autoIncrement ? FieldKind::AutoInc : FieldKind::Integer;
    if (t.contains("CHAR"))
        return FieldKind::Text;
    if (t.contains("TEXT") || t.contains("CLOB") || t.contains("MEMO"))
        return FieldKind::Memo;
    if (t.contains("BLOB") || t.contains("BINARY"))
        return FieldKind::Blob;
    return FieldKind::Float;
}

inline FieldKind kindFromStorageClass(Value::Type type)
{
    switch (type) {
    case Value::Integer: return FieldKind::Integer;
    case Value::Real: return FieldKind::Float;
    case Value::Text: return FieldKind::Text;
    case Value::Blob: return FieldKind::Blob;
    case Value::Null: break;
    }
    return FieldKind::Unknown;
}

inline bool compatible(FieldKind declared, FieldKind found)
{
    if (found == FieldKind::Unknown)
        return true;
    switch (declared) {
    case FieldKind::AutoInc:
    case FieldKind::Integer: return found == FieldKind::AutoInc || found == FieldKind::Integer;
    case FieldKind::Text: return found == FieldKind::Text;
    case FieldKind::Memo: return found == FieldKind::Memo || found == FieldKind::Blob;
    case FieldKind::Blob: return found == FieldKind::Blob || found == FieldKind::Memo;
    case FieldKind::Float: return found == FieldKind::Float || found == FieldKind::Integer;
    default: return found == declared;
    }
}

inline QString truncatedText(const QString &text)
{
    if (text.size() <= TextFieldLength)
        return text;
    int n = TextFieldLength;
    // Never cut a surrogate pair in half.
    if (text.at(n - 1).isHighSurrogate())
        --n;
    return text.left(n);
}

// Restores a member on scope exit (reading contexts nest).
template <class T>
struct Restore
{
    T &ref;
    T saved;
    explicit Restore(T &r) : ref(r), saved(r) {}
    ~Restore() { ref = saved; }
};

// Every listener hears the news even when one of them fails (a detail row
// that cannot be read, say); the first failure is reported afterwards.
template <class Items, class F>
void callEach(const Items &items, F &&f)
{
    std::exception_ptr failure;
    for (auto *item : items) {
        try {
            f(item);
        } catch (...) {
            if (!failure)
                failure = std::current_exception();
        }
    }
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace recordset_detail
