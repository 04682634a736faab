#pragma once

#include <QList>
#include <QString>

// An invoice as a year's tables hold it: its header, the customer the header
// names, and its lines. Every field is the text the file holds, read the way
// the record sets show it; a null QString stands for NULL, so that what is
// read can be written back as it was. The texts come first and the id the
// file handed out last: an invoice made in memory has none yet (0).

// The customer's id a `kundennummer` gives, blanks around allowed; 0 when it
// is no number.
qint64 customerIdOf(const QString &kundennummer);

// A row of the year's header table.
struct InvoiceHeader
{
    QString nr = {};
    QString datum = {}; // dd.mm.yyyy
    QString bezahlung = {};
    QString kundennummer = {}; // the customer's id in `kunde`, as text
    QString bestimmungsort = {};
    qint64 id = 0;
    // After the id, so that a header made from its five texts stays an
    // unpaid invoice. A year made before these columns reads them empty.
    QString dokumentart = {}; // empty: invoice (TD01); CreditNoteKind: credit note
    QString bezug_nr = {};    // a credit note's invoice
    QString bezug_datum = {}; // dd.mm.yyyy
    QString faellig = {};     // dd.mm.yyyy
    QString bezahlt_am = {};  // dd.mm.yyyy; empty: unpaid

    // The customer's id that kundennummer gives, blanks around allowed; 0
    // when it is no number.
    qint64 customerId() const;
    bool isCreditNote() const;
};

// The document kind of a credit note (nota di credito), as the e-invoice names it.
inline const QString CreditNoteKind = QStringLiteral("TD04");
// A deferred invoice, made at the month's end from its delivery notes (fattura differita).
inline const QString DeferredInvoiceKind = QStringLiteral("TD24");

// The customer's row in `kunde`.
struct Customer
{
    QString name;
    QString adresse;
    QString telefon;
    QString piva;
    QString ansprache;
    QString kundennr;
    QString name2;
    qint64 id = 0;
};

// A row of the year's line table; it belongs to the header whose nr its
// `rechnungsnummer` holds. Numbers are written with the file's separators.
struct InvoiceLine
{
    QString beschreibung;
    QString anzahl;
    QString einzelpreis;
    qint64 id = 0;
    // The VAT rate ("22", "10", "5", "4", "0"; empty is 10) and, at 0, its
    // Natura code (vatrates.h). After the id, so that a line made from its
    // three texts and id stays at 10 %.
    QString steuersatz = {};
    QString natura = {};
    // On a deferred invoice: the delivery note the line was delivered with,
    // its number and date (dd.mm.yyyy); empty on any other.
    QString lieferschein_nr = {};
    QString lieferschein_datum = {};
};

struct Invoice
{
    InvoiceHeader header;
    // Empty (id 0) when `kunde` has no row of the header's customer.
    Customer customer;
    // In the order the line set shows them.
    QList<InvoiceLine> lines;
};
