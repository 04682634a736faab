#pragma once

#include "engine.h"
#include "recordset.h"
#include "schema.h"
#include "vatrates.h"
#include "years.h"

#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

inline const QString DatabaseFileName = QStringLiteral("rechungen.mdb");
inline const QString CustomerSql = QStringLiteral("SELECT * FROM ") + schema::customer::Table;

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

private:
    // Which engine holds the file is decided here and nowhere else.
    std::unique_ptr<Database> m_database;

public:
    Database &connection;

    RecordSet customerTable{QStringLiteral("kundentabelle"), connection};
    RecordSet invoiceHeaders{QStringLiteral("rechnungsdetailstabelle"), connection};
    RecordSet invoiceLines{QStringLiteral("rechnungstabelle"), connection};
    RecordSet customers{QStringLiteral("new"), connection};
    RecordSet lastInvoiceNumber{QStringLiteral("nrquery"), connection};

    DataSource customerSource{QStringLiteral("test"), &customers};
    DataSource customerTableSource{QStringLiteral("kunde"), &customerTable};
    DataSource headerSource{QStringLiteral("rdetails"), &invoiceHeaders};
    DataSource lineSource{QStringLiteral("DataSource1"), &invoiceLines};
    DataSource lastNumberSource{QStringLiteral("lezztenr"), &lastInvoiceNumber};

    Link headerLink{&customerSource, schema::customer::Id, &invoiceHeaders, schema::header::CustomerId};
    Link lineLink{&headerSource, schema::header::Number, &invoiceLines, schema::line::InvoiceNumber};

    // Opens the connection and then the sets in start-up order; nrquery stays closed.
    // busyTimeoutMs: how long a store waits for another program's lock.
    void open(const QString &fileName = DatabaseFileName, int busyTimeoutMs = 3000);

    // The rate a line starts with when the line set makes a new row (the
    // customer's default), asked anew for every row. The standard rate
    // leaves both columns empty, as does a year whose table has none; the
    // row still counts as untouched until something is typed into it.
    void setNewLineRate(std::function<VatRate()> rate) { m_newLineRate = std::move(rate); }

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
    // Reads the years the file holds again, as another program may have
    // added one; the year shown stays.
    void readYears() { findYears(); }
    // Makes the year's tables (as the newest year's), then changes to it.
    // Pending rows are settled first; a failure changes nothing.
    void addYear(int year);

    // The customer search statement: apostrophes doubled, % and _ kept as wildcards.
    // A text holding a NUL character is refused (EngineError).
    static QString customerSearchSql(const QString &text);

    // The separators the numbers in the file are read and shown with: every
    // record set converts with them, and whoever writes an amount of this
    // data (the editor, the printed invoice, the e-invoice) asks here. They
    // are the ones the file names (fileseparators.h), read when it opens and
    // never changed by the PC's settings; a file that names none is read
    // with the user's, given by setSeparators.
    const Separators &separators() const { return m_fileSeparators ? *m_fileSeparators : m_userSeparators; }
    // The user's regional settings: for a file that names no separators, and
    // what such a file is given to name.
    void setSeparators(const Separators &userSeparators);
    const Separators &userSeparators() const { return m_userSeparators; }
    bool fileNamesSeparators() const { return m_fileSeparators.has_value(); }
    // Reads the separators the file names again, once they have been stored.
    void readFileSeparators();

private:
    void findYears();
    void settleYearSets();
    void passSeparatorsOn();

    std::function<VatRate()> m_newLineRate;
    Separators m_userSeparators;
    std::optional<Separators> m_fileSeparators;
    int m_year = ClassicStartYear;
    int m_newestYear = ClassicStartYear;
    std::vector<YearTables> m_years;
};
