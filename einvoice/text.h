#pragma once

#include <QString>

namespace einvoice {

// What the schema lets a text element hold.
enum class Charset {
    Latin1,       // Basic Latin and Latin-1 Supplement: names, addresses, descriptions
    BasicLatin,   // ASCII only: the invoice number, the house number
};

// The text as the e-invoice writes it, trimmed: "€" becomes "EUR", typographic
// quotes, dashes and the ellipsis their ASCII forms. Any other character that
// the element cannot hold, a control character (C0 but tab, line feed and
// carriage return; DEL and C1), or a text longer than
// maxLength throws ConversionError naming the field (`label`) and the
// character or the length: nothing is cut or dropped silently.
QString elementText(const QString &label, const QString &text, int maxLength, Charset charset = Charset::Latin1);

} // namespace einvoice
