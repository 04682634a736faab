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

} // namespace texts
