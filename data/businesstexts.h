#pragma once

// The business's own texts, in one place: the About box, the help message
// and, on the printed invoice, the letterhead and the payment line. All of
// them belong to a made-up nursery.

#include <QString>

namespace texts {

inline const QString MainCaption = QStringLiteral("Gärtnerei Trovanek");
inline const QString Version = QStringLiteral("V. 1.5");
inline const QString CreditLine = QStringLiteral("Programm: Lena Hofer, 2004");
inline const QString ContactMail = QStringLiteral("lena.hofer@trovanek.example");
inline const QString HelpPhone = QStringLiteral("0000 555 0147");

// Letterhead of the printed invoice, one line each: owner, street, telephone,
// postcode with town and province, the business's own VAT number.
inline const QString LetterheadOwner = QStringLiteral("Martin Trovanek");
inline const QString LetterheadStreet = QStringLiteral("Am Rosenhang 14");
inline const QString LetterheadPhone = QStringLiteral("Tel. 0000 555 0190");
inline const QString LetterheadTown = QStringLiteral("39999 Blumental (XY)");
inline const QString LetterheadVat = QStringLiteral("P.IVA 00000000190");

// Foot of every printed page: where to pay.
inline const QString PaymentLine = QStringLiteral("Bank: Sparkasse Blumental, Kto. 000-555019-00");

} // namespace texts
