#pragma once

#include "amount.h"
#include "invoice.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class Database;

// Delivery notes (DDT, "Lieferschein / Documento di trasporto"), kept per
// year beside the year's invoices. Every field is the text the file holds,
// as with invoices: a null QString stands for NULL, numbers are written with
// the file's separators. The id the file handed out comes last.

// A year's pair of delivery tables: the notes and their lines.
struct DeliveryTables
{
    int year = 0;
    QString noteTable;
    QString lineTable;
    bool operator==(const DeliveryTables &) const = default;
};
DeliveryTables deliveryTablesOfYear(int year);

// Both of the year's delivery tables exist.
bool hasDeliveryTables(Database &db, int year);
// The years whose invoice tables are in the file but whose delivery tables
// (one of them or both) are not, newest first.
std::vector<int> yearsWithoutDeliveryTables(Database &db);
// Makes whichever of the year's delivery tables is missing, with their
// indexes, in one savepoint. Throws EngineError with a German message.
void createDeliveryTables(Database &db, int year);

// Who carries the goods, as the DDT names it, and why they travel: what the
// pick lists offer; the first of each is what a new note starts with.
const QStringList &transportChoices();
const QStringList &reasonChoices();

// A row of the year's note table.
struct DeliveryNote
{
    QString nr = {};
    QString datum = {};        // dd.mm.yyyy
    QString kundennummer = {}; // the customer's id in `kunde`, as text
    QString bestimmungsort = {};
    QString transport = {};
    QString grund = {};
    QString colli = {};
    QString rechnung_nr = {}; // the invoice it went into; empty: not yet invoiced
    qint64 id = 0;

    // The customer's id that kundennummer gives, blanks around allowed; 0
    // when it is no number.
    qint64 customerId() const;
    bool isInvoiced() const { return !rechnung_nr.trimmed().isEmpty(); }
};

// A row of the year's delivery line table; it belongs to the note whose nr
// its `lieferscheinnummer` holds.
struct DeliveryLine
{
    QString beschreibung = {};
    QString anzahl = {};
    QString einheit = {};
    QString einzelpreis = {};
    QString steuersatz = {}; // as on an invoice line: empty is 10
    // The plant passport's A, C and D.
    QString botanischer_name = {};
    QString rueckverfolgung = {};
    QString ursprung = {};
    qint64 id = 0;

    // A line with a botanical name is a plant for planting.
    bool isPlant() const { return !botanischer_name.trimmed().isEmpty(); }
};

struct DeliveryNoteRecord
{
    int year = 0;
    DeliveryNote note;
    // Empty (id 0) when `kunde` has no row of the note's customer.
    Customer customer;
    // In their order: by place, a line without one at its id.
    QList<DeliveryLine> lines;
};

// The one way delivery notes are read and written, for the program and the tool.
class DeliveryNoteRepository
{
public:
    DeliveryNoteRepository(Database &database, const Separators &separators);

    // The note of a year by its number (of two with one number, the first by
    // id). Throws ConversionError with a German message when the year has no
    // delivery tables or no such note, EngineError when the file cannot be read.
    DeliveryNoteRecord loadByNumber(int year, const QString &nr);
    // Every note of a year with its customer and lines, in the order stored;
    // only those `wanted` accepts, when given. A year without delivery tables
    // has none.
    QList<DeliveryNoteRecord> loadYear(int year, const std::function<bool(const DeliveryNote &)> &wanted = {});

    // The number a new note of the year gets: one more than the highest
    // whole number among its notes, "1" in a year without.
    QString nextNumber(int year);

    // Stores a new note and its lines (places 1, 2, 3 ...) in one
    // transaction (a savepoint inside the caller's), making the year's
    // delivery tables when they are missing. Sets the ids.
    // Throws EngineError with a German message; then nothing is stored.
    void insert(int year, DeliveryNoteRecord &record);

    // Writes the invoice's number into each note (by id) of the year, inside
    // the caller's transaction. A note another program invoiced meanwhile
    // (its rechnung_nr no longer empty) or deleted stops it with a German
    // message naming the note, and nothing of it is written.
    void markInvoiced(int year, const QList<qint64> &noteIds, const QString &invoiceNr);

private:
    Database &m_database;
    Separators m_separators;
};
