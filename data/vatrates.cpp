#include "vatrates.h"

#include "errors.h"

const QList<int> &vatPercents()
{
    static const QList<int> list{22, 10, 5, 4, 0};
    return list;
}

const QList<VatNature> &vatNatures()
{
    // The references are those the revenue agency's guide names for each
    // code; stamp duty falls on what is outside VAT or exempt, not on
    // exports, intra-EU supplies and reverse charge (art. 15 DPR 642/72).
    static const QList<VatNature> list{
        {QStringLiteral("N1"), QStringLiteral("Ausgeschlossen (Art. 15 DPR 633/72)"),
         QStringLiteral("Ausgeschlossen / Escluso art. 15 D.P.R. 633/72"),
         QStringLiteral("Escluso art. 15 DPR 633/72"), true},
        {QStringLiteral("N2.1"), QStringLiteral("Nicht steuerbar (Art. 7 bis 7-septies DPR 633/72)"),
         QStringLiteral("Nicht steuerbar / Non soggetto artt. da 7 a 7-septies D.P.R. 633/72"),
         QStringLiteral("Non soggetto artt. da 7 a 7-septies DPR 633/72"), true},
        {QStringLiteral("N2.2"), QStringLiteral("Nicht steuerbar, andere Fälle (z. B. Pauschalregelung)"),
         QStringLiteral("Nicht steuerbar / Operazione non soggetta"),
         QStringLiteral("Non soggetto - altri casi"), true},
        {QStringLiteral("N3.1"), QStringLiteral("Nicht steuerpflichtig: Ausfuhr (Art. 8 DPR 633/72)"),
         QStringLiteral("Ausfuhr / Non imponibile art. 8 D.P.R. 633/72"),
         QStringLiteral("Non imponibile art. 8 DPR 633/72"), false},
        {QStringLiteral("N3.2"), QStringLiteral("Nicht steuerpflichtig: innergemeinschaftliche Lieferung (Art. 41 DL 331/93)"),
         QStringLiteral("Nicht steuerbar / Non imponibile art. 41 D.L. 331/93"),
         QStringLiteral("Non imponibile art. 41 DL 331/93"), false},
        {QStringLiteral("N3.3"), QStringLiteral("Nicht steuerpflichtig: Lieferung nach San Marino (Art. 71 DPR 633/72)"),
         QStringLiteral("San Marino / Non imponibile art. 71 D.P.R. 633/72"),
         QStringLiteral("Non imponibile art. 71 DPR 633/72"), false},
        {QStringLiteral("N3.4"), QStringLiteral("Nicht steuerpflichtig: der Ausfuhr gleichgestellt (Art. 8-bis, 9 DPR 633/72)"),
         QStringLiteral("Nicht steuerpflichtig / Non imponibile art. 8-bis e 9 D.P.R. 633/72"),
         QStringLiteral("Non imponibile artt. 8-bis e 9 DPR 633/72"), false},
        {QStringLiteral("N3.5"), QStringLiteral("Nicht steuerpflichtig: Absichtserklärung (Art. 8 Abs. 1 c DPR 633/72)"),
         QStringLiteral("Absichtserklärung / Non imponibile art. 8 c. 1 lett. c D.P.R. 633/72"),
         QStringLiteral("Non imponibile art. 8 c. 1 lett. c DPR 633/72 - dichiarazione d'intento"), true},
        {QStringLiteral("N3.6"), QStringLiteral("Nicht steuerpflichtig: andere Umsätze ohne Plafond"),
         QStringLiteral("Nicht steuerpflichtig / Non imponibile"),
         QStringLiteral("Non imponibile - operazione che non concorre al plafond"), true},
        {QStringLiteral("N4"), QStringLiteral("Steuerbefreit (Art. 10 DPR 633/72)"),
         QStringLiteral("Steuerbefreit / Esente art. 10 D.P.R. 633/72"),
         QStringLiteral("Esente art. 10 DPR 633/72"), true},
        {QStringLiteral("N5"), QStringLiteral("Differenzbesteuerung (Regime del margine)"),
         QStringLiteral("Differenzbesteuerung / Regime del margine art. 36 D.L. 41/95"),
         QStringLiteral("Regime del margine art. 36 DL 41/95"), true},
        {QStringLiteral("N6.1"), QStringLiteral("Umkehr der Steuerschuld: Altmetall (Art. 74 Abs. 7, 8)"),
         QStringLiteral("Reverse Charge / Inversione contabile art. 74 c. 7 e 8 D.P.R. 633/72"),
         QStringLiteral("Inversione contabile art. 74 c. 7 e 8 DPR 633/72"), false},
        {QStringLiteral("N6.2"), QStringLiteral("Umkehr der Steuerschuld: Gold und Silber"),
         QStringLiteral("Reverse Charge / Inversione contabile art. 17 c. 5 D.P.R. 633/72"),
         QStringLiteral("Inversione contabile art. 17 c. 5 DPR 633/72"), false},
        {QStringLiteral("N6.3"), QStringLiteral("Umkehr der Steuerschuld: Subunternehmer im Bau"),
         QStringLiteral("Reverse Charge / Inversione contabile art. 17 c. 6 lett. a D.P.R. 633/72"),
         QStringLiteral("Inversione contabile art. 17 c. 6 lett. a DPR 633/72"), false},
        {QStringLiteral("N6.4"), QStringLiteral("Umkehr der Steuerschuld: Gebäude"),
         QStringLiteral("Reverse Charge / Inversione contabile art. 17 c. 6 lett. a-bis D.P.R. 633/72"),
         QStringLiteral("Inversione contabile art. 17 c. 6 lett. a-bis DPR 633/72"), false},
        {QStringLiteral("N6.5"), QStringLiteral("Umkehr der Steuerschuld: Mobiltelefone"),
         QStringLiteral("Reverse Charge / Inversione contabile art. 17 c. 6 lett. b D.P.R. 633/72"),
         QStringLiteral("Inversione contabile art. 17 c. 6 lett. b DPR 633/72"), false},
        {QStringLiteral("N6.6"), QStringLiteral("Umkehr der Steuerschuld: elektronische Bauteile"),
         QStringLiteral("Reverse Charge / Inversione contabile art. 17 c. 6 lett. c D.P.R. 633/72"),
         QStringLiteral("Inversione contabile art. 17 c. 6 lett. c DPR 633/72"), false},
        {QStringLiteral("N6.7"), QStringLiteral("Umkehr der Steuerschuld: Bau- und Gebäudedienste"),
         QStringLiteral("Reverse Charge / Inversione contabile art. 17 c. 6 lett. a-ter D.P.R. 633/72"),
         QStringLiteral("Inversione contabile art. 17 c. 6 lett. a-ter DPR 633/72"), false},
        {QStringLiteral("N6.8"), QStringLiteral("Umkehr der Steuerschuld: Energiesektor"),
         QStringLiteral("Reverse Charge / Inversione contabile art. 17 c. 6 lett. d-bis, d-ter, d-quater D.P.R. 633/72"),
         QStringLiteral("Inversione contabile art. 17 c. 6 lett. d-bis, d-ter, d-quater DPR 633/72"), false},
        {QStringLiteral("N6.9"), QStringLiteral("Umkehr der Steuerschuld: andere Fälle"),
         QStringLiteral("Reverse Charge / Inversione contabile"),
         QStringLiteral("Inversione contabile - altri casi"), false},
        {QStringLiteral("N7"), QStringLiteral("MwSt. in einem anderen EU-Staat entrichtet"),
         QStringLiteral("MwSt. im EU-Bestimmungsland / IVA assolta in altro stato UE"),
         QStringLiteral("IVA assolta in altro stato UE art. 41 c. 1 lett. b DL 331/93"), false},
    };
    return list;
}

const VatNature *vatNature(const QString &code)
{
    for (const VatNature &n : vatNatures())
        if (n.code == code)
            return &n;
    return nullptr;
}

VatRate vatRateOf(const QString &steuersatz, const QString &natura)
{
    const QString rateText = steuersatz.trimmed();
    const QString code = natura.trimmed();
    if (rateText.isEmpty() && code.isEmpty())
        return StandardRate;
    bool isNumber = false;
    const int percent = rateText.isEmpty() ? StandardRate.percent : rateText.toInt(&isNumber);
    if (!rateText.isEmpty() && (!isNumber || !vatPercents().contains(percent)))
        throw ConversionError(QStringLiteral("Der Steuersatz '%1' ist nicht möglich: bitte 22, 10, 5, 4 oder 0 wählen "
                                             "(leer bedeutet 10).")
                                  .arg(steuersatz));
    if (percent != 0) {
        if (!code.isEmpty())
            throw ConversionError(QStringLiteral("Die Steuerbefreiung '%1' gilt nur für den Steuersatz 0: bitte den "
                                                 "Steuersatz auf 0 setzen oder die Befreiung löschen.")
                                      .arg(natura));
        return VatRate{percent, QString()};
    }
    if (code.isEmpty())
        throw ConversionError(QStringLiteral("Beim Steuersatz 0 fehlt der Grund der Befreiung (Natura): bitte einen "
                                             "aus der Liste wählen."));
    if (!vatNature(code))
        throw ConversionError(QStringLiteral("Der Grund der Befreiung '%1' ist nicht bekannt: bitte einen aus der "
                                             "Liste wählen (N1 bis N7).")
                                  .arg(natura));
    return VatRate{0, code};
}

QString rateCaption(const VatRate &rate)
{
    return QStringLiteral("Mwst. / IVA %1 %").arg(rate.percent);
}
