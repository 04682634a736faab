#include "database.h"

#include "errors.h"
#include "lineamount.h"

#include <exception>

const YearTables *findYear(int year)
{
    for (const YearTables &y : KnownYears)
        if (y.year == year)
            return &y;
    return nullptr;
}

InvoiceData::InvoiceData()
{
    new_.setSQL(CustomerSql);
    for (const char *name : {"name", "id", "adresse", "telefon", "piva", "ansprache", "kundennr", "name2"}) {
        const QString n = QString::fromLatin1(name);
        new_.declareField(n, n == QLatin1String("id") ? FieldKind::AutoInc : n == QLatin1String("adresse") ? FieldKind::Memo : FieldKind::Text);
    }

    kundentabelle.setTableName(QStringLiteral("kunde"));

    rechnungsdetailstabelle.setTableName(QString::fromLatin1(KnownYears[0].headerTable));
    rechnungsdetailstabelle.declareField(QStringLiteral("id"), FieldKind::AutoInc);
    for (const char *name : {"nr", "datum", "bezahlung", "kundennummer", "bestimmungsort"})
        rechnungsdetailstabelle.declareField(QString::fromLatin1(name), FieldKind::Text);

    rechnungstabelle.setTableName(QString::fromLatin1(KnownYears[0].lineTable));
    rechnungstabelle.declareField(QStringLiteral("id"), FieldKind::AutoInc);
    for (const char *name : {"rechnungsnummer", "beschreibung", "anzahl", "einzelpreis", "summe"})
        rechnungstabelle.declareField(QString::fromLatin1(name), FieldKind::Text);
    rechnungstabelle.declareField(QStringLiteral("summerechn"), FieldKind::CalcFloat, QStringLiteral("###,###0.00"));
    rechnungstabelle.declareField(QStringLiteral("mitmwst"), FieldKind::CalcFloat);
    rechnungstabelle.setOnCalcFields(rechnungstabelleCalcFields);
    rechnungstabelle.setBeforePost(checkLineBeforePost);

    nrquery.setSQL(LastNumberSql);
}

void InvoiceData::open(const QString &fileName)
{
    connection.open(fileName);
    for (RecordSet *rs : {&kundentabelle, &rechnungsdetailstabelle, &rechnungstabelle, &new_})
        rs->Open();
}

void InvoiceData::settleAll()
{
    for (RecordSet *rs : {&rechnungstabelle, &rechnungsdetailstabelle, &new_, &kundentabelle})
        if (rs->Active())
            rs->Settle();
}

void InvoiceData::setYear(int year)
{
    const YearTables *y = findYear(year);
    if (!y)
        throw EngineError(QStringLiteral("Für das Jahr %1 gibt es keine Tabellen").arg(year));
    // Store or drop what is pending before the sets close: closing would discard it.
    for (RecordSet *rs : {&rechnungstabelle, &rechnungsdetailstabelle})
        if (rs->Active())
            rs->Settle();
    m_year = year;
    rechnungsdetailstabelle.Close();
    rechnungsdetailstabelle.setTableName(QString::fromLatin1(y->headerTable));
    rechnungsdetailstabelle.Open();
    rechnungstabelle.Close();
    rechnungstabelle.setTableName(QString::fromLatin1(y->lineTable));
    rechnungstabelle.Open();
}

QString InvoiceData::customerSearchSql(const QString &text)
{
    QString quoted = text;
    quoted.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QStringLiteral("SELECT * FROM kunde WHERE name LIKE '%") + quoted + QStringLiteral("%';");
}
