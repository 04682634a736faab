#include "einvoice/checks.h"

#include "data/errors.h"
#include "einvoice/refusal.h"
#include "einvoice/text.h"

#include <QHash>
#include <QRegularExpression>

#include <algorithm>

namespace einvoice {

namespace {

[[noreturn]] void refuse(const QString &label, const QString &value, const QString &rule)
{
    throw ConversionError(QStringLiteral("Das Feld „%1“ %2, nicht '%3'.").arg(label, rule, value));
}

// Each check compiles its pattern once, into a static of its own: compiling
// it for every field took most of the time of writing a long invoice.
QRegularExpression anchored(const char *pattern)
{
    return QRegularExpression(QRegularExpression::anchoredPattern(QLatin1String(pattern)));
}

bool matches(const QRegularExpression &pattern, const QString &value) { return pattern.match(value).hasMatch(); }

} // namespace

const QList<TaxRegime> &taxRegimes()
{
    static const QList<TaxRegime> regimes = {
        {QStringLiteral("RF01"), QStringLiteral("Regime ordinario")},
        {QStringLiteral("RF02"), QStringLiteral("Regime dei contribuenti minimi (art. 1, c.96-117, L. 244/2007)")},
        {QStringLiteral("RF04"), QStringLiteral("Agricoltura e attività connesse e pesca (artt. 34 e 34-bis, D.P.R. 633/1972)")},
        {QStringLiteral("RF05"), QStringLiteral("Vendita sali e tabacchi (art. 74, c.1, D.P.R. 633/1972)")},
        {QStringLiteral("RF06"), QStringLiteral("Commercio dei fiammiferi (art. 74, c.1, D.P.R. 633/1972)")},
        {QStringLiteral("RF07"), QStringLiteral("Editoria (art. 74, c.1, D.P.R. 633/1972)")},
        {QStringLiteral("RF08"), QStringLiteral("Gestione di servizi di telefonia pubblica (art. 74, c.1, D.P.R. 633/1972)")},
        {QStringLiteral("RF09"), QStringLiteral("Rivendita di documenti di trasporto pubblico e di sosta (art. 74, c.1, D.P.R. 633/1972)")},
        {QStringLiteral("RF10"), QStringLiteral("Intrattenimenti, giochi e altre attività di cui alla tariffa allegata al D.P.R. 640/72 (art. 74, c.6, D.P.R. 633/1972)")},
        {QStringLiteral("RF11"), QStringLiteral("Agenzie di viaggi e turismo (art. 74-ter, D.P.R. 633/1972)")},
        {QStringLiteral("RF12"), QStringLiteral("Agriturismo (art. 5, c.2, L. 413/1991)")},
        {QStringLiteral("RF13"), QStringLiteral("Vendite a domicilio (art. 25-bis, c.6, D.P.R. 600/1973)")},
        {QStringLiteral("RF14"), QStringLiteral("Rivendita di beni usati, di oggetti d'arte, d'antiquariato o da collezione (art. 36, D.L. 41/1995)")},
        {QStringLiteral("RF15"), QStringLiteral("Agenzie di vendite all'asta di oggetti d'arte, antiquariato o da collezione (art. 40-bis, D.L. 41/1995)")},
        {QStringLiteral("RF16"), QStringLiteral("IVA per cassa P.A. (art. 6, c.5, D.P.R. 633/1972)")},
        {QStringLiteral("RF17"), QStringLiteral("IVA per cassa (art. 32-bis, D.L. 83/2012)")},
        {QStringLiteral("RF18"), QStringLiteral("Altro")},
        {QStringLiteral("RF19"), QStringLiteral("Regime forfettario (art. 1, c.54-89, L. 190/2014)")},
    };
    return regimes;
}

namespace {

// The form of each member state's VAT numbers without the country code, as
// the EU's VIES checks them, with an example for the message.
struct EuVatForm
{
    const char *country;
    const char *pattern;
    const char *example;
};
constexpr EuVatForm EuVatForms[] = {
    {"AT", "U[0-9]{8}", "U12345678"},          {"BE", "[01][0-9]{9}", "0123456789"},
    {"BG", "[0-9]{9,10}", "123456789"},       {"CY", "[0-9]{8}[A-Z]", "12345678X"},
    {"CZ", "[0-9]{8,10}", "12345678"},        {"DE", "[0-9]{9}", "123456789"},
    {"DK", "[0-9]{8}", "12345678"},           {"EE", "[0-9]{9}", "123456789"},
    {"EL", "[0-9]{9}", "123456789"},          {"GR", "[0-9]{9}", "123456789"},
    {"ES", "[0-9A-Z][0-9]{7}[0-9A-Z]", "X1234567X"},
    {"FI", "[0-9]{8}", "12345678"},           {"FR", "[0-9A-Z]{2}[0-9]{9}", "XX123456789"},
    {"HR", "[0-9]{11}", "12345678901"},       {"HU", "[0-9]{8}", "12345678"},
    {"IE", "[0-9]{7}[A-Z]{1,2}|[0-9][A-Z+*][0-9]{5}[A-Z]", "1234567X"},
    {"LT", "[0-9]{9}|[0-9]{12}", "123456789"}, {"LU", "[0-9]{8}", "12345678"},
    {"LV", "[0-9]{11}", "12345678901"},       {"MT", "[0-9]{8}", "12345678"},
    {"NL", "[0-9]{9}B[0-9]{2}", "123456789B01"},
    {"PL", "[0-9]{10}", "1234567890"},        {"PT", "[0-9]{9}", "123456789"},
    {"RO", "[0-9]{2,10}", "12345678"},        {"SE", "[0-9]{12}", "123456789012"},
    {"SI", "[0-9]{8}", "12345678"},           {"SK", "[0-9]{10}", "1234567890"},
};

const EuVatForm *euVatForm(const QString &country)
{
    for (const EuVatForm &f : EuVatForms)
        if (country == QLatin1String(f.country))
            return &f;
    return nullptr;
}

bool matchesEuVatForm(const EuVatForm &form, const QString &number)
{
    static const QHash<QString, QRegularExpression> compiled = [] {
        QHash<QString, QRegularExpression> patterns;
        for (const EuVatForm &f : EuVatForms)
            patterns.insert(QLatin1String(f.country), anchored(f.pattern));
        return patterns;
    }();
    return matches(compiled.value(QLatin1String(form.country)), number);
}

// The value of a character in the odd places (1st, 3rd, ... 15th) of a
// fiscal code; the even places count 0-9 and A-Z as 0 to 25.
constexpr int OddValues[26] = {1, 0, 5, 7, 9, 13, 15, 17, 19, 21, 2, 4, 18, 20, 11, 3, 6, 8, 12, 14, 16, 10, 22, 25, 24, 23};

int placeValue(QChar c) { return c.isDigit() ? c.digitValue() : c.unicode() - 'A'; }

} // namespace

bool hasValidCheckDigit(const QString &vatNumber)
{
    static const QRegularExpression form = anchored("[0-9]{11}");
    if (!matches(form, vatNumber))
        return false;
    int sum = 0;
    for (int i = 0; i < 11; ++i) {
        int digit = vatNumber.at(i).digitValue();
        if (i % 2 == 1) {
            digit *= 2;
            if (digit > 9)
                digit -= 9;
        }
        sum += digit;
    }
    return sum % 10 == 0;
}

bool hasValidCheckLetter(const QString &fiscalCode)
{
    static const QRegularExpression form = anchored("[0-9A-Z]{15}[A-Z]");
    if (!matches(form, fiscalCode))
        return false;
    int sum = 0;
    for (int i = 0; i < 15; ++i) {
        const int value = placeValue(fiscalCode.at(i));
        sum += i % 2 == 0 ? OddValues[value] : value;
    }
    return fiscalCode.at(15) == QLatin1Char(char('A' + sum % 26));
}

bool isOtherEuMember(const QString &country) { return euVatForm(country) != nullptr; }

void checkVatNumber(const QString &label, const QString &country, const QString &number)
{
    static const QRegularExpression italian = anchored("[0-9]{11}");
    static const QRegularExpression foreign = anchored("[0-9A-Za-z]{1,28}");
    if (country == QLatin1String("IT")) {
        if (!matches(italian, number))
            refuse(label, number, QStringLiteral("muss für Italien aus 11 Ziffern bestehen"));
        if (!hasValidCheckDigit(number))
            throw ConversionError(QStringLiteral("Das Feld „%1“ enthält mit '%2' keine gültige Partita IVA: die letzte "
                                                 "Ziffer ist nicht die Prüfziffer der anderen. Bitte die Nummer noch "
                                                 "einmal mit einem Beleg vergleichen.")
                                      .arg(label, number));
    } else if (const EuVatForm *form = euVatForm(country)) {
        if (!matchesEuVatForm(*form, number))
            refuse(label, number, QStringLiteral("muss für %1 die Form der dortigen MwSt.-Nummern haben, ohne den "
                                                 "Ländercode (z. B. %2)")
                                      .arg(country, QLatin1String(form->example)));
    } else if (!matches(foreign, number)) {
        refuse(label, number, QStringLiteral("darf nur aus Buchstaben und Ziffern bestehen (höchstens 28)"));
    }
}

void checkFiscalCode(const QString &label, const QString &code)
{
    static const QRegularExpression form = anchored("[0-9]{11}|[0-9A-Z]{16}");
    if (!matches(form, code))
        refuse(label, code, QStringLiteral("muss aus 11 Ziffern oder 16 Großbuchstaben und Ziffern bestehen"));
    if (code.size() == 11 && !hasValidCheckDigit(code))
        throw ConversionError(QStringLiteral("Das Feld „%1“ enthält mit '%2' keinen gültigen Codice fiscale: die letzte "
                                             "Ziffer ist nicht die Prüfziffer der anderen. Bitte die Nummer noch "
                                             "einmal mit einem Beleg vergleichen.")
                                  .arg(label, code));
    if (code.size() == 16 && !hasValidCheckLetter(code))
        throw ConversionError(QStringLiteral("Das Feld „%1“ enthält mit '%2' keinen gültigen Codice fiscale: der letzte "
                                             "Buchstabe ist nicht das Kontrollzeichen der anderen. Bitte den Code noch "
                                             "einmal mit der Tessera sanitaria oder einem Beleg vergleichen.")
                                  .arg(label, code));
}

void checkCap(const QString &label, const QString &cap)
{
    static const QRegularExpression form = anchored("[0-9]{5}");
    if (!matches(form, cap))
        refuse(label, cap, QStringLiteral("muss aus 5 Ziffern bestehen"));
}

void checkProvince(const QString &label, const QString &province)
{
    static const QRegularExpression form = anchored("[A-Z]{2}");
    if (!matches(form, province))
        refuse(label, province, QStringLiteral("muss aus zwei Großbuchstaben bestehen (z. B. BZ)"));
}

void checkCountry(const QString &label, const QString &country)
{
    static const QRegularExpression form = anchored("[A-Z]{2}");
    if (!matches(form, country))
        refuse(label, country, QStringLiteral("muss ein Ländercode aus zwei Großbuchstaben sein (z. B. IT)"));
}

QString compactIban(const QString &iban)
{
    QString out = iban;
    out.remove(QLatin1Char(' '));
    return out.toUpper();
}

void checkIban(const QString &label, const QString &iban)
{
    const QString compact = compactIban(iban);
    // The schema's own bounds: country, check digits, 11 to 30 characters.
    static const QRegularExpression form = anchored("[A-Z]{2}[0-9]{2}[A-Z0-9]{11,30}");
    if (!matches(form, compact))
        refuse(label, iban, QStringLiteral("ist keine IBAN (Ländercode, 2 Prüfziffern, 11 bis 30 Buchstaben und Ziffern)"));
    // The country and check digits go to the end; letters count 10 to 35;
    // the whole number must leave 1 when divided by 97.
    const QString rearranged = compact.mid(4) + compact.left(4);
    int remainder = 0;
    for (const QChar c : rearranged) {
        const int value = c.isDigit() ? c.digitValue() : c.unicode() - 'A' + 10;
        remainder = (remainder * (value < 10 ? 10 : 100) + value) % 97;
    }
    if (remainder != 1)
        throw ConversionError(QStringLiteral("Das Feld „%1“ enthält mit '%2' keine gültige IBAN: die Prüfziffern passen nicht dazu. "
                                             "Bitte die IBAN vom Kontoauszug abschreiben.")
                                  .arg(label, iban));
}

void checkBic(const QString &label, const QString &bic)
{
    static const QRegularExpression form = anchored("[A-Z]{6}[A-Z2-9][A-NP-Z0-9]([A-Z0-9]{3})?");
    if (!matches(form, bic))
        refuse(label, bic, QStringLiteral("ist kein BIC (8 oder 11 Großbuchstaben und Ziffern)"));
}

void checkEmail(const QString &label, const QString &email)
{
    static const QRegularExpression form = anchored("[^\\s@]+@[^\\s@.]+(\\.[^\\s@.]+)+");
    if (!matches(form, email))
        refuse(label, email, QStringLiteral("ist keine E-Mail-Adresse (name@beispiel.it)"));
}

void checkTransmissionNumber(const QString &label, const QString &number)
{
    static const QRegularExpression form = anchored("[0-9A-Za-z]{1,5}");
    if (!matches(form, number))
        refuse(label, number, QStringLiteral("muss aus 1 bis 5 Ziffern oder Buchstaben bestehen"));
}

void checkTaxRegime(const QString &label, const QString &code)
{
    for (const TaxRegime &r : taxRegimes())
        if (r.code == code)
            return;
    refuse(label, code, QStringLiteral("muss ein Code von RF01 bis RF19 sein (RF03 gibt es nicht mehr)"));
}

void checkRegistrationNumber(const QString &label, const QString &number)
{
    // The member state's code, then the number as its register writes it
    // ("IT-21-1234", "DE-BY1-12345"); the column holds 20 characters.
    static const QRegularExpression form = anchored("[A-Z]{2}-[0-9A-Za-z][0-9A-Za-z./-]{0,16}");
    if (!matches(form, number))
        refuse(label, number,
               QStringLiteral("muss mit dem Ländercode in zwei Großbuchstaben und einem Bindestrich beginnen und darf "
                              "höchstens 20 Zeichen ohne Leerzeichen haben, z. B. IT-21-1234"));
}

void checkRecipientCode(const QString &label, const QString &code)
{
    static const QRegularExpression form = anchored("[A-Z0-9]{7}");
    if (!matches(form, code))
        refuse(label, code, QStringLiteral("muss aus 7 Großbuchstaben oder Ziffern bestehen (0000000 ohne eigenen Code)"));
}

namespace {

void checkSellerFields(const Seller &s, bool withEmail)
{
    inContext(QStringLiteral("Firmendaten"), [&] {
        requireFilled(field::BusinessName, s.businessName);
        elementText(field::BusinessName, s.businessName, 80);
        requireFilled(field::StreetAndNumber, s.street);
        elementText(field::StreetAndNumber, s.street, 60);
        checkCap(field::Cap, s.cap);
        requireFilled(field::Town, s.town);
        elementText(field::Town, s.town, 60);
        // Optional in the format, but an Italian business always has one.
        if (!s.province.isEmpty() || s.country == QLatin1String("IT"))
            checkProvince(field::Province, s.province);
        checkCountry(field::Country, s.country);
        if (s.vatNumber.trimmed().isEmpty())
            throw ConversionError(QStringLiteral("Die MwSt.-Nummer (Partita IVA) fehlt: bitte eintragen, "
                                                 "ohne sie gibt es keine elektronische Rechnung."));
        checkCountry(field::VatCountry, s.vatCountry);
        checkVatNumber(field::VatNumber, s.vatCountry, s.vatNumber);
        if (!s.fiscalCode.isEmpty())
            checkFiscalCode(field::FiscalCode, s.fiscalCode);
        checkTaxRegime(field::TaxRegime, s.taxRegime);
        if (withEmail && !s.email.isEmpty())
            checkEmail(field::Email, s.email);
        if (!s.bankName.isEmpty())
            elementText(field::BankName, s.bankName, 80);
        if (!s.iban.isEmpty())
            checkIban(field::Iban, s.iban);
        if (!s.bic.isEmpty())
            checkBic(field::Bic, s.bic);
        checkTransmissionNumber(field::TransmissionNumber, s.nextTransmissionNumber);
        if (!s.registrationNumber.isEmpty())
            checkRegistrationNumber(field::RegistrationNumber, s.registrationNumber);
    });
}

const QString AbroadCode = QStringLiteral("XXXXXXX");

// A postcode as another country writes it: the file puts it before the town.
void checkForeignPostcode(const QString &label, const QString &postcode)
{
    static const QRegularExpression form = anchored("[0-9A-Za-z][0-9A-Za-z -]{0,9}");
    if (!matches(form, postcode))
        refuse(label, postcode, QStringLiteral("darf nur aus Buchstaben, Ziffern, Leerzeichen und Bindestrichen "
                                               "bestehen (höchstens 10)"));
}

bool countryFitsKind(CustomerKind kind, const QString &country)
{
    switch (kind) {
    case CustomerKind::ItalianBusiness:
    case CustomerKind::ItalianPerson:
        return country == QLatin1String("IT");
    case CustomerKind::EuBusiness:
    case CustomerKind::EuPerson:
        return isOtherEuMember(country);
    case CustomerKind::SanMarino:
        return country == QLatin1String("SM");
    case CustomerKind::Vatican:
        return country == QLatin1String("VA");
    case CustomerKind::OutsideEu:
        break;
    }
    return country != QLatin1String("IT") && !isOtherEuMember(country);
}

} // namespace

void checkSeller(const Seller &s) { checkSellerFields(s, true); }

void checkSellerForFile(const Seller &s) { checkSellerFields(s, false); }

bool isExchangeSystemPec(const QString &pec)
{
    return pec.trimmed().endsWith(QLatin1String("@pec.fatturapa.it"), Qt::CaseInsensitive);
}

bool isAbroad(CustomerKind kind)
{
    return kind != CustomerKind::ItalianBusiness && kind != CustomerKind::ItalianPerson;
}

QString foreignRecipientCode(CustomerKind kind)
{
    if (kind == CustomerKind::SanMarino)
        return QStringLiteral("2R4GTO8");
    return isAbroad(kind) ? AbroadCode : QString();
}

QString recipientCodeOf(const Buyer &b) { return isAbroad(b.kind) ? foreignRecipientCode(b.kind) : b.recipientCode; }

void checkBuyer(const Buyer &b)
{
    inContext(QStringLiteral("Kunde"), [&] {
        const bool abroad = isAbroad(b.kind);
        const QString kindName = customerKindName(b.kind);
        if (b.isPerson) {
            requireFilled(field::FirstName, b.firstName);
            elementText(field::FirstName, b.firstName, 60);
            requireFilled(field::LastName, b.lastName);
            elementText(field::LastName, b.lastName, 60);
        } else {
            requireFilled(field::Name, b.name);
            elementText(field::Name, b.name, 80);
        }
        // Abroad the file names the customer by the country alone where
        // there is no number.
        if (!abroad && b.vatNumber.trimmed().isEmpty() && b.fiscalCode.trimmed().isEmpty())
            throw ConversionError(QStringLiteral("Weder MwSt.-Nummer (Partita IVA) noch Steuernummer (Codice "
                                                 "fiscale) angegeben: bitte eine von beiden eintragen."));
        if (b.kind == CustomerKind::ItalianPerson && b.fiscalCode.trimmed().isEmpty())
            throw ConversionError(QStringLiteral("Das Feld „%1“ ist leer: für eine Privatperson in Italien ist es "
                                                 "nötig, bitte eintragen.")
                                      .arg(field::FiscalCode));
        if (b.kind == CustomerKind::EuBusiness && b.vatNumber.trimmed().isEmpty())
            throw ConversionError(QStringLiteral("Das Feld „%1“ ist leer: für eine Firma in einem anderen EU-Staat "
                                                 "ist es nötig, bitte ihre MwSt.-Nummer eintragen (oder die Kundenart "
                                                 "„%2“ wählen).")
                                      .arg(field::VatNumber, customerKindName(CustomerKind::EuPerson)));
        if (!b.vatNumber.isEmpty()) {
            checkCountry(field::VatCountry, b.vatCountry);
            if (b.kind == CustomerKind::EuBusiness && !isOtherEuMember(b.vatCountry))
                throw ConversionError(QStringLiteral("Das Feld „%1“ muss für eine Firma in einem anderen EU-Staat "
                                                     "dessen Ländercode sein (z. B. AT), nicht '%2'.")
                                          .arg(field::VatCountry, b.vatCountry));
            if (abroad && b.vatCountry == QLatin1String("IT"))
                throw ConversionError(QStringLiteral("Eine italienische MwSt.-Nummer (Feld „%1“ IT) passt nicht zum "
                                                     "Empfängercode %2 für Kunden im Ausland: bitte die Kundenart "
                                                     "„%3“ wählen oder die MwSt.-Nummer des anderen Staates eintragen.")
                                          .arg(field::VatCountry, recipientCodeOf(b),
                                               customerKindName(CustomerKind::ItalianBusiness)));
            checkVatNumber(field::VatNumber, b.vatCountry, b.vatNumber);
        }
        if (!b.fiscalCode.isEmpty())
            checkFiscalCode(field::FiscalCode, b.fiscalCode);
        if (!abroad) {
            checkRecipientCode(field::RecipientCode, b.recipientCode);
            if (b.recipientCode == AbroadCode)
                throw ConversionError(QStringLiteral("Das Feld „%1“ darf für einen Kunden in Italien nicht %2 sein, "
                                                     "dieser Code gilt nur für Kunden im Ausland: bitte den Code des "
                                                     "Kunden oder 0000000 eintragen.")
                                          .arg(field::RecipientCode, AbroadCode));
        }
        if (!b.pec.isEmpty()) {
            checkEmail(field::Pec, b.pec);
            if (isExchangeSystemPec(b.pec))
                throw ConversionError(QStringLiteral("Das Feld „%1“ enthält mit '%2' eine Adresse des "
                                                     "Austauschsystems (SdI) selbst, das an sich selbst nichts "
                                                     "zustellt: bitte die PEC-Adresse des Kunden eintragen oder das "
                                                     "Feld leeren.")
                                          .arg(field::Pec, b.pec));
            // The exchange system sends to the PEC address only when no code is given.
            if (!abroad && b.recipientCode != QLatin1String("0000000"))
                throw ConversionError(QStringLiteral("Mit einer PEC-Adresse muss das Feld „%1“ 0000000 sein: "
                                                     "bitte den Code oder die PEC-Adresse leeren.")
                                          .arg(field::RecipientCode));
        }
        requireFilled(field::Street, b.street);
        elementText(field::Street, b.street, 60);
        if (!b.houseNumber.isEmpty())
            elementText(field::HouseNumber, b.houseNumber, 8, Charset::BasicLatin);
        if (!abroad)
            checkCap(field::Cap, b.cap);
        else if (!b.cap.isEmpty())
            checkForeignPostcode(field::Cap, b.cap);
        requireFilled(field::Town, b.town);
        // Abroad the postcode goes before the town, into the same element.
        elementText(field::Town, abroad ? (b.cap + QLatin1Char(' ') + b.town).trimmed() : b.town, 60);
        if (!abroad && !b.province.isEmpty())
            checkProvince(field::Province, b.province);
        checkCountry(field::Country, b.country);
        if (!countryFitsKind(b.kind, b.country))
            throw ConversionError(QStringLiteral("Das Feld „%1“ passt mit '%2' nicht zur Kundenart „%3“: bitte das "
                                                 "Land oder die Kundenart berichtigen.")
                                      .arg(field::Country, b.country, kindName));
    });
}

QString followingTransmissionNumber(const QString &number)
{
    checkTransmissionNumber(field::TransmissionNumber, number);
    QString next = number;
    for (qsizetype i = next.size() - 1; i >= 0; --i) {
        const QChar c = next.at(i);
        if (c == QLatin1Char('9')) {
            next[i] = QLatin1Char('0');
        } else if (c == QLatin1Char('Z')) {
            next[i] = QLatin1Char('A');
        } else if (c == QLatin1Char('z')) {
            next[i] = QLatin1Char('a');
        } else {
            next[i] = QChar(c.unicode() + 1);
            return next;
        }
    }
    // Every place ran over: one more place in front, as a counter does.
    const QChar first = next.at(0);
    next.prepend(first == QLatin1Char('0') ? QLatin1Char('1') : first);
    if (next.size() > 5)
        throw ConversionError(QStringLiteral("Die Übertragungsnummer '%1' lässt sich nicht weiterzählen: bitte in "
                                             "den Firmendaten eine neue eintragen, die noch nicht verwendet wurde.")
                                  .arg(number));
    return next;
}

QList<DeliveryNoteReference> deliveryNoteReferences(const QList<InvoiceLine> &lines, const QDate &invoiceDate)
{
    const QString shownInvoiceDate = invoiceDate.toString(QStringLiteral("dd.MM.yyyy"));
    QList<DeliveryNoteReference> notes;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const InvoiceLine &line = lines.at(i);
        if (line.lieferschein_nr.trimmed().isEmpty() && line.lieferschein_datum.trimmed().isEmpty())
            continue;
        const int lineNumber = int(i + 1);
        DeliveryNoteReference note;
        inContext(QStringLiteral("Zeile %1").arg(lineNumber), [&] {
            requireFilled(field::DeliveryNoteNumber, line.lieferschein_nr);
            note.number = elementText(field::DeliveryNoteNumber, line.lieferschein_nr, 20, Charset::BasicLatin);
            note.date = QDate::fromString(line.lieferschein_datum.trimmed(), QStringLiteral("dd.MM.yyyy"));
            if (!note.date.isValid())
                refuse(field::DeliveryNoteDate, line.lieferschein_datum,
                       QStringLiteral("muss das Datum des Lieferscheins in der Form TT.MM.JJJJ sein"));
            // Goods are invoiced after they went, never before.
            if (note.date > invoiceDate)
                throw ConversionError(QStringLiteral("Der Lieferschein Nr. %1 vom %2 liegt nach dem Rechnungsdatum %3; "
                                                     "eine Sammelrechnung kann nur Lieferungen bis zu ihrem Datum "
                                                     "enthalten. Bitte das Rechnungsdatum berichtigen.")
                                          .arg(note.number, line.lieferschein_datum.trimmed(), shownInvoiceDate));
        });
        const auto known = std::find_if(notes.begin(), notes.end(), [&](const DeliveryNoteReference &n) {
            return n.number == note.number && n.date == note.date;
        });
        if (known != notes.end()) {
            known->lineNumbers.append(lineNumber);
        } else {
            note.lineNumbers = {lineNumber};
            notes.append(note);
        }
    }
    if (notes.isEmpty())
        throw ConversionError(QStringLiteral("Sammelrechnung: Keine Zeile nennt den Lieferschein, mit dem geliefert wurde; "
                                             "das Austauschsystem nimmt eine Sammelrechnung (TD24) nur mit ihren "
                                             "Lieferscheinen an. Bitte die Sammelrechnung über „Rechnung“ → „Sammelrechnung "
                                             "aus Lieferscheinen ...“ erstellen."));
    return notes;
}

} // namespace einvoice
