#include "storedrow.h"

#include "engine.h"
#include "schema.h"

QString storedText(const Statement &st, int column, const Separators &separators)
{
    const Value value = st.columnValue(column);
    if (value.isNull())
        return QString();
    QString text = value.toText(separators);
    if (text.isNull())
        text = QLatin1String("");
    return text;
}

void bindStored(Statement &st, int index, const QString &text)
{
    if (text.isNull())
        st.bindNull(index);
    else
        st.bindText(index, text);
}

const QString &customerColumns()
{
    static const QString columns = [] {
        using namespace schema::customer;
        return schema::columnList({Id, Name, Address, Telephone, VatNumber, Salutation, CustomerNumber, Owner});
    }();
    return columns;
}

Customer readCustomer(const Statement &st, const Separators &separators)
{
    const auto text = [&](int column) { return storedText(st, column, separators); };
    return {text(1), text(2), text(3), text(4), text(5), text(6), text(7), st.columnInteger(0)};
}

Customer loadCustomer(Database &database, qint64 customerId, const Separators &separators)
{
    if (customerId == 0)
        return {};
    StatementHandle st = database.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?1")
                                              .arg(customerColumns(), schema::customer::Table, schema::customer::Id)
                                              .toUtf8());
    st->bindInteger(1, customerId);
    if (!st->step())
        return {};
    return readCustomer(*st, separators);
}
