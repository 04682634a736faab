#pragma once

#include "customerkind.h"
#include "engine.h"
#include "recordset.h"
#include "schema.h"
#include "vatrates.h"
#include "years.h"

#include <QDate>
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

// The shared data the main window owns: the connection, the seven record sets,
// their data sources and the four links, built as the windows expect them.
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

    // The delivery notes of the chosen year and their lines, following the
    // current customer as the invoice headers do. A year without delivery
    // tables leaves both closed.
    RecordSet deliveryNotes{QStringLiteral("lieferscheintabelle"), connection};
    RecordSet deliveryLines{QStringLiteral("lieferscheinzeilen"), connection};
    DataSource deliveryNoteSource{QStringLiteral("lieferscheine"), &deliveryNotes};
    DataSource deliveryLineSource{QStringLiteral("lieferscheinpositionen"), &deliveryLines};
    Link deliveryNoteLink{&customerSource, schema::customer::Id, &deliveryNotes, schema::deliveryNote::CustomerId};
    Link deliveryLineLink{&deliveryNoteSource, schema::deliveryNote::Number, &deliveryLines, schema::deliveryLine::NoteNumber};

    // Opens the connection and then the sets in start-up order; nrquery stays closed.
    // busyTimeoutMs: how long a store waits for another program's lock.
    void open(const QString &fileName = DatabaseFileName, int busyTimeoutMs = 3000);

    // The rate a line starts with when the line set makes a new row (the
    // customer's default), asked anew for every row. The standard rate
    // leaves both columns empty, as does a year whose table has none; the
    // row still counts as untouched until something is typed into it.
    void setNewLineRate(std::function<VatRate()> rate) { m_newLineRate = std::move(rate); }
    // The VAT treatment of the customer whose delivery notes are shown, asked
    // before a delivery line is stored: a business gets plant passports, so
    // a plant's line must carry what its passport needs. Without it lines
    // are stored unchecked.
    void setDeliveryCustomerKind(std::function<CustomerKind()> kind) { m_deliveryCustomerKind = std::move(kind); }
    // That customer's kind now; none when nobody said how to tell.
    std::optional<CustomerKind> deliveryCustomerKind() const
    {
        return m_deliveryCustomerKind ? std::optional<CustomerKind>(m_deliveryCustomerKind()) : std::nullopt;
    }
    // The day a new delivery note is dated: today, unless a test fixes one.
    void setFixedToday(const QDate &day) { m_fixedToday = day; }

    // The chosen year has its delivery tables and their sets are open.
    bool hasDeliveryNotes() const { return deliveryNotes.Active() && deliveryLines.Active(); }
    // Opens the year's delivery sets again, pending rows stored first: once
    // their tables have been made, the year shows its notes.
    void reopenDeliveryNotes();
    // Why the chosen year shows no delivery notes, in German; empty when it does.
    const QString &deliveryNotesProblem() const { return m_deliveryProblem; }
    // Refuses (ConversionError, naming the invoice) when the current delivery
    // note went into an invoice: it is a document of that invoice now.
    void checkDeliveryNoteChangeable() const;
    // Deletes the current delivery note and its lines in one transaction,
    // unless it is invoiced, or another program invoiced it meanwhile.
    void deleteDeliveryNote();

    // Stores or drops every pending row as a move would: lines, then
    // headers and delivery notes, then customer. Throws when a row cannot be
    // stored; it stays pending.
    void settleAll();

    int year() const { return m_year; }
    // Settles pending rows first (a failure changes nothing), then points the
    // header and line sets at the year's tables and opens them again. A table
    // that is missing leaves its set closed and throws the engine's error.
    // The delivery sets follow; a year without delivery tables, or with ones
    // that cannot be read, leaves them closed (deliveryNotesProblem says why).
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
    void openDeliverySets();
    void checkNoteBeforePost(RecordSet &notes);
    void checkDeliveryLineBeforePost(RecordSet &lines);
    QList<std::pair<QString, QString>> newNoteValues();

    std::function<VatRate()> m_newLineRate;
    std::function<CustomerKind()> m_deliveryCustomerKind;
    QDate m_fixedToday;
    QString m_deliveryProblem;
    Separators m_userSeparators;
    std::optional<Separators> m_fileSeparators;
    int m_year = ClassicStartYear;
    int m_newestYear = ClassicStartYear;
    std::vector<YearTables> m_years;
};
