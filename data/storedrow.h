#pragma once

#include "amount.h"
#include "invoice.h"

#include <QString>

class Database;
class Statement;

// Reading and writing a row's texts as the record sets show them, for every
// repository alike.

// A text as the record sets show it; NULL stays a null QString and an empty
// text an empty one, so that writing it back stores what was read.
QString storedText(const Statement &st, int column, const Separators &separators);
// Binds a text as it is to be stored: a null QString as NULL.
void bindStored(Statement &st, int index, const QString &text);

// The columns of `kunde` a Customer is read from, in readCustomer's order.
const QString &customerColumns();
Customer readCustomer(const Statement &st, const Separators &separators);
// The customer of the id, or an empty one (id 0) when `kunde` has no such row.
Customer loadCustomer(Database &database, qint64 customerId, const Separators &separators);
