#pragma once

#include <QString>

#include <functional>

// Shared by the library's checks; not for callers.
namespace einvoice {

// Throws "Das Feld „label“ ist leer: ..." when the value holds nothing but blanks.
void requireFilled(const QString &label, const QString &value);

// Runs checks and puts whose data failed ("Firmendaten", "Zeile 3") in front
// of the message of any AppError they throw.
void inContext(const QString &context, const std::function<void()> &checks);

} // namespace einvoice
