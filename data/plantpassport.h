#pragma once

#include "customerkind.h"

#include <QString>
#include <QStringList>

struct DeliveryLine;

// The EU plant passport (Regulation (EU) 2016/2031): plants for planting
// that a professional operator moves to another professional operator
// within the Union travel with a passport of four fields,
//   A  the botanical name of the species (or taxon),
//   B  the registration number of the operator issuing it (RUOP, "IT-21-1234"),
//   C  the traceability code of the lot,
//   D  the country of origin (ISO 3166 code).
// A private final user needs none, and goods leaving the Union travel with a
// phytosanitary certificate instead. The traceability code may be left out
// for plants ready for sale to final users, except for the species that must
// always carry it.

enum class PassportNeed {
    None,                     // no plant, or a customer who gets no passport
    Required,                 // A, B and D; C may stay empty
    RequiredWithTraceability, // A, B, C and D
};

// Whether a customer of this kind gets passports: a business in Italy or
// another member state.
bool customerGetsPassports(CustomerKind kind);

// Whether a botanical name starts with the given words, compared without
// regard to case or blanks: "olea  EUROPAEA" starts "Olea europaea 'Leccino'",
// "ole" starts nothing.
bool botanicalNameStartsWith(const QString &name, const QString &words);

// The species whose passport always carries the traceability code; a genus
// ("Citrus", "Coffea") stands for each of its species.
const QStringList &speciesAlwaysTraced();
// Whether the botanical name is of such a species: the words compared without
// regard to case or blanks, so that "olea  europaea 'Leccino'" is one.
bool alwaysNeedsTraceability(const QString &botanicalName);

PassportNeed passportNeed(const QString &botanicalName, CustomerKind kind);

// What is missing from a delivery line for a customer of the kind, in German
// ("Für Olea europaea fehlt der Rückverfolgbarkeitscode (C) ..."), or an empty
// text when nothing is. A country of origin must be a two-letter code.
QString passportProblem(const DeliveryLine &line, CustomerKind kind);

// The refusal when the business data has no registration number yet.
inline const QString NoRegistrationNumber =
    QStringLiteral("In den Firmendaten fehlt die Registriernummer (RUOP) für den Pflanzenpass. Bitte zuerst unter "
                   "„Firmendaten“ eintragen.");
