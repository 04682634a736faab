#pragma once

#include "engine.h"
#include "recordset.h"
#include "years.h"

#include <QString>
#include <vector>

inline const QString DatabaseFileName = QStringLiteral("rechungen.mdb");
inline const QString CustomerSql = QStringLiteral("SELECT * FROM kunde");

// The years every file is offered, whether it holds their tables or not:
// a file made before any other year existed knows only these.
inline constexpr int ClassicYears[] = {2004, 2003, 2002};
// The year a file without any year tables starts on.
constexpr int ClassicStartYear = 2004;

// The last-number statement: the headers of a year, newest first.
QString lastNumberSql(int year);

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

    // The years to choose from, newest first: every year found in the file
    // and the three classic ones.
    const std::vector<YearTables> &years() const { return m_years; }
    // The newest year whose tables are in the file: where the program starts
    // and where the last number is read.
    int newestYear() const { return m_newestYear; }
    QString lastNumberStatement() const { return lastNumberSql(m_newestYear); }
    // Makes the year's tables (as the newest year's), then changes to it.
    // Pending rows are settled first; a failure changes nothing.
    void addYear(int year);

    // The customer search statement: apostrophes doubled, % and _ kept as wildcards.
    static QString customerSearchSql(const QString &text);

private:
    void findYears();

    int m_year = ClassicStartYear;
    int m_newestYear = ClassicStartYear;
    std::vector<YearTables> m_years;
};
