#pragma once

#include "engine.h"
#include "recordset.h"

#include <QString>
#include <array>

// The years the program knows and their tables; 2002 carries no year in its names.
struct YearTables
{
    int year;
    const char *headerTable;
    const char *lineTable;
};
inline constexpr std::array<YearTables, 3> KnownYears{{
    {2004, "rechnungsdaten2004", "rechnung2004"},
    {2003, "rechnungsdaten2003", "rechnung2003"},
    {2002, "rechnungsdaten", "rechnung"},
}};
const YearTables *findYear(int year);

inline const QString DatabaseFileName = QStringLiteral("rechungen.mdb");
inline const QString CustomerSql = QStringLiteral("SELECT * FROM kunde");
inline const QString LastNumberSql = QStringLiteral("select * from rechnungsdaten2004 order by id desc");

// The shared data the main window owns: the connection, the five record sets,
// their data sources and the two links, built as the windows expect them.
class InvoiceData
{
public:
    InvoiceData();
    InvoiceData(const InvoiceData &) = delete;
    InvoiceData &operator=(const InvoiceData &) = delete;

    Connection connection;

    RecordSet kundentabelle{QStringLiteral("kundentabelle"), connection};
    RecordSet rechnungsdetailstabelle{QStringLiteral("rechnungsdetailstabelle"), connection};
    RecordSet rechnungstabelle{QStringLiteral("rechnungstabelle"), connection};
    RecordSet new_{QStringLiteral("new"), connection};
    RecordSet nrquery{QStringLiteral("nrquery"), connection};

    DataSource test{QStringLiteral("test"), &new_};
    DataSource kunde{QStringLiteral("kunde"), &kundentabelle};
    DataSource rdetails{QStringLiteral("rdetails"), &rechnungsdetailstabelle};
    DataSource DataSource1{QStringLiteral("DataSource1"), &rechnungstabelle};
    DataSource lezztenr{QStringLiteral("lezztenr"), &nrquery};

    Link headerLink{&test, QStringLiteral("id"), &rechnungsdetailstabelle, QStringLiteral("kundennummer")};
    Link lineLink{&rdetails, QStringLiteral("nr"), &rechnungstabelle, QStringLiteral("rechnungsnummer")};

    // Opens the connection and then the sets in start-up order; nrquery stays closed.
    void open(const QString &fileName = DatabaseFileName);

    // Stores or drops every pending row as a move would: line, then header,
    // then customer. Throws when a row cannot be stored; it stays pending.
    void settleAll();

    int year() const { return m_year; }
    // Settles pending rows first (a failure changes nothing), then points the
    // header and line sets at the year's tables and opens them again. A table
    // that is missing leaves its set closed and throws the engine's error.
    void setYear(int year);

    // The customer search statement: apostrophes doubled, % and _ kept as wildcards.
    static QString customerSearchSql(const QString &text);

private:
    int m_year = 2004;
};
