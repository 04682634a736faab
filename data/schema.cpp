#include "schema.h"

namespace schema {

namespace {
QString ofYear(QLatin1StringView baseName, int year)
{
    if (year == FirstYear)
        return baseName;
    return baseName + QString::number(year);
}
} // namespace

QString header::tableOfYear(int year) { return ofYear(BaseName, year); }
QString line::tableOfYear(int year) { return ofYear(BaseName, year); }
QString deliveryNote::tableOfYear(int year) { return ofYear(BaseName, year); }
QString deliveryLine::tableOfYear(int year) { return ofYear(BaseName, year); }

QString columnList(std::initializer_list<QLatin1StringView> columns)
{
    QString list;
    for (const QLatin1StringView column : columns) {
        if (!list.isEmpty())
            list += QStringLiteral(", ");
        list += column;
    }
    return list;
}

} // namespace schema
