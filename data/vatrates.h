#pragma once

#include <QList>
#include <QString>

// The VAT rates an invoice line can carry, and for a rate of 0 the reason
// the law gives for it (the e-invoice's Natura code).

// The rate a line is taxed at. A rate of 0 says why in `nature`.
struct VatRate
{
    int percent = 10;
    QString nature;
    bool operator==(const VatRate &) const = default;
};

// Plants are 10 %: a line without a rate of its own.
inline const VatRate StandardRate{10, QString()};

// The rates a line may carry, as the line table stores them ("22", "10", "5",
// "4", "0"), highest first.
const QList<int> &vatPercents();

// Why a line carries no Italian VAT. Only the codes the exchange system
// still takes: the withdrawn parents N2, N3 and N6 are not among them.
struct VatNature
{
    QString code;           // "N3.2"
    QString shortText;      // the law's short text, for the pick list (German)
    QString printedText;    // under the printed totals: "Nicht steuerbar / Non imponibile art. 41 D.L. 331/93"
    QString legalReference; // RiferimentoNormativo, at most 100 characters
    bool stampDuty = false; // an invoice of such lines over 77,47 € bears stamp duty
};
const QList<VatNature> &vatNatures();
// The entry of a code; nullptr for one that is not in the list.
const VatNature *vatNature(const QString &code);

// The rate of a line from what its columns `steuersatz` and `natura` hold:
// an empty rate is 10 %. Throws ConversionError with a German message for a
// rate that is not one of vatPercents(), for 0 % without a valid nature, and
// for a nature on a rate that is not 0.
VatRate vatRateOf(const QString &steuersatz, const QString &natura);

// "Mwst. / IVA 22 %"
QString rateCaption(const VatRate &rate);
