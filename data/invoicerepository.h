#pragma once

#include "amount.h"
#include "invoice.h"

#include <QString>
#include <functional>

class Database;

// The one way invoices are read from and written to a year's tables, for
// the program and the tool alike. Texts are read as the record sets show
// them: a number the file stores as a number is written with the decimal
// separator of `separators`, the ones the file's numbers are typed in.
class InvoiceRepository
{
public:
    InvoiceRepository(Database &database, const Separators &separators);

    // The invoice of a year by its number. Of two headers with one number
    // the first by id counts. Throws ConversionError with a German message
    // when the year or the number is not there, EngineError when the file
    // cannot be read.
    Invoice loadByNumber(int year, const QString &nr);
    // The invoice of a year by its header's id; the same refusals.
    Invoice loadById(int year, qint64 headerId);

    // Every invoice of a year with its customer and its lines, in the order
    // the headers were stored; only those whose header `wanted` accepts,
    // when it is given, and only their lines are read. The same refusals.
    QList<Invoice> loadYear(int year, const std::function<bool(const InvoiceHeader &)> &wanted = {});

    // Stores a new invoice: its header and then its lines in their order,
    // each line under the header's nr, in one transaction (a savepoint
    // inside the caller's). Texts are stored as given, a null one as NULL;
    // the customer is only referred to. Sets the ids the file handed out.
    // Throws EngineError with a German message; then nothing is stored.
    void insert(int year, Invoice &invoice);

private:
    enum class Key { Number, Id };
    Invoice load(int year, Key key, const QString &nr, qint64 headerId);

    Database &m_database;
    Separators m_separators;
};
