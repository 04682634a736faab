#include "einvoice/fatturapa.h"

#include "data/amount.h"
#include "data/errors.h"
#include "data/invoicelist.h"
#include "data/totals.h"
#include "einvoice/checks.h"
#include "einvoice/paymentterms.h"
#include "einvoice/refusal.h"
#include "einvoice/text.h"
#include "einvoice/validation.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QSaveFile>
#include <QXmlStreamWriter>

#include <optional>

namespace einvoice {

namespace {

const QString Namespace = QStringLiteral("http://ivaservizi.agenziaentrate.gov.it/docs/xsd/fatture/v1.2");
const QString SignatureNamespace = QStringLiteral("http://www.w3.org/2000/09/xmldsig#");
constexpr int MaxLines = 9999;        // NumeroLinea has four digits
// The largest file the exchange system takes (its check 00003).
constexpr qsizetype MaxFileSize = 5 * 1024 * 1024;

// The format writes numbers with a dot, whatever the user's regional
// settings; the amount formatting (18 significant digits, decimal half-up
// rounding) is the printed invoice's own, so both show the same cents.
const Separators Dot{QLatin1Char('.'), QLatin1Char(',')};

QString twoDecimals(Money value) { return moneyWithDot(value); }

// A typed number as the format writes it, exactly: 2 to 8 decimals, more
// rounded half up to 8.
QString upToEightDecimals(const ExactNumber &typed)
{
    const ExactNumber n = roundHalfUp(typed, 8);
    const bool negative = n.digits < 0;
    QByteArray digits;
    for (__int128 v = negative ? -n.digits : n.digits; v != 0; v /= 10)
        digits.prepend(char('0' + int(v % 10)));
    int scale = n.scale;
    if (scale < 2) {
        // A whole number, perhaps written with an exponent ("1E20"): its
        // zeros as digits, never in a product that could overflow. More
        // places than the format has fail its pattern and are refused there.
        if (!digits.isEmpty())
            digits.append(QByteArray(2 - scale, '0'));
        scale = 2;
    }
    while (digits.size() <= scale)
        digits.prepend('0');
    digits.insert(digits.size() - scale, '.');
    return QString::fromLatin1((negative ? "-" : "") + digits);
}

// The rate as the format writes it: "10.00".
QString rateText(const VatRate &rate) { return QString::number(rate.percent) + QStringLiteral(".00"); }

// The schema's number forms: 11 places before the point for amounts, 12 for
// quantities; 2 decimals for totals, 2 to 8 in the lines.
// Compiled once: every line is checked against them.
QRegularExpression anchored(const char *pattern)
{
    return QRegularExpression(QRegularExpression::anchoredPattern(QLatin1String(pattern)));
}
bool fits(const QString &text, const QRegularExpression &pattern) { return pattern.match(text).hasMatch(); }
const QRegularExpression Amount2 = anchored("-?[0-9]{1,11}\\.[0-9]{2}");
const QRegularExpression Amount8 = anchored("-?[0-9]{1,11}\\.[0-9]{2,8}");
const QRegularExpression Quantity8 = anchored("[0-9]{1,12}\\.[0-9]{2,8}");

// A number the format wrote, as an integer of 10^-scale units: exact, where
// the checks below must not be off by a binary rounding.
__int128 scaled(const QString &text, int scale)
{
    const bool negative = text.startsWith(QLatin1Char('-'));
    const qsizetype point = text.indexOf(QLatin1Char('.'));
    const QString whole = text.mid(negative ? 1 : 0, point - (negative ? 1 : 0));
    const QString fraction = text.mid(point + 1).leftJustified(scale, QLatin1Char('0'));
    __int128 v = 0;
    for (const QChar c : whole + fraction)
        v = v * 10 + c.digitValue();
    return negative ? -v : v;
}

__int128 magnitude(__int128 v) { return v < 0 ? -v : v; }

[[noreturn]] void tooLarge(const QString &what)
{
    throw ConversionError(QStringLiteral("Der Betrag '%1' ist für die elektronische Rechnung zu groß: sie erlaubt "
                                         "höchstens 11 Stellen vor dem Komma.")
                              .arg(what));
}

struct LineFigures
{
    VatRate rate;
    QString description;
    std::optional<QString> quantity;
    QString unitPrice;
    QString total;
};

// One summary (DatiRiepilogo) per rate and, at 0 %, per nature.
struct RateFigures
{
    VatRate rate;
    QString taxable;
    QString tax;
    QString legalReference;            // RiferimentoNormativo, at 0 % only
};

struct Figures
{
    QList<LineFigures> lines;
    QList<RateFigures> rates;
    QString net;
    QString tax;
    QString gross;
    bool stampDuty = false;
    bool negativeTotal = false;
};

// Reads the lines as the file stores them (storedNumber); the amounts and
// the totals are the printed invoice's (totals.h), an empty price or
// quantity counting 0.
Figures computeFigures(const QList<InvoiceLine> &lines, const Separators &separators)
{
    if (lines.isEmpty())
        throw ConversionError(QStringLiteral("Die Rechnung hat keine Zeilen: bitte mindestens eine Zeile mit "
                                             "Beschreibung eintragen."));
    if (lines.size() > MaxLines)
        throw ConversionError(QStringLiteral("Die Rechnung hat %1 Zeilen, die elektronische Rechnung erlaubt "
                                             "höchstens %2.")
                                  .arg(QString::number(lines.size()), QString::number(MaxLines)));

    struct Read
    {
        QString description;
        std::optional<ExactNumber> quantity;
        ExactNumber unitPrice;
        TotalsLine line;
    };
    QList<Read> read;
    QList<TotalsLine> forTotals;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const InvoiceLine &line = lines.at(i);
        Read r;
        inContext(QStringLiteral("Zeile %1").arg(i + 1), [&] {
            r.description = elementText(field::Beschreibung, line.beschreibung, 1000);
            if (r.description.isEmpty())
                throw ConversionError(QStringLiteral("Die Beschreibung fehlt: bitte eine eintragen oder die Zeile "
                                                     "löschen."));
            r.line.rate = vatRateOf(line.steuersatz, line.natura);
            // Without both a price and a quantity the line counts 0, and its
            // prices are written as 0: where it has no quantity, the format
            // wants the unit price to equal the total.
            if (const std::optional<Money> amount = lineAmount(line.einzelpreis, line.anzahl, separators)) {
                r.line.amount = *amount;
                r.unitPrice = exactStoredNumber(line.einzelpreis, separators);
                r.quantity = exactStoredNumber(line.anzahl, separators);
            } else if (!line.anzahl.isEmpty()) {
                r.quantity = exactStoredNumber(line.anzahl, separators);
            }
            // The format has no negative quantity: the price takes the sign.
            if (r.quantity && r.quantity->digits < 0) {
                r.quantity->digits = -r.quantity->digits;
                r.unitPrice.digits = -r.unitPrice.digits;
            }
        });
        read.append(r);
        forTotals.append(r.line);
    }
    const InvoiceTotals totals = invoiceTotals(forTotals);

    Figures f;
    f.stampDuty = totals.stampDuty;
    f.negativeTotal = totals.gross < Money();
    for (qsizetype i = 0; i < read.size(); ++i) {
        const Read &r = read.at(i);
        LineFigures l;
        l.rate = r.line.rate;
        l.description = r.description;
        inContext(QStringLiteral("Zeile %1").arg(i + 1), [&] {
            if (r.quantity) {
                l.quantity = upToEightDecimals(*r.quantity);
                if (!fits(*l.quantity, Quantity8))
                    throw ConversionError(QStringLiteral("Die Anzahl '%1' ist für die elektronische Rechnung zu "
                                                         "groß: sie erlaubt höchstens 12 Stellen vor dem Komma.")
                                              .arg(lines.at(i).anzahl));
            }
            l.unitPrice = upToEightDecimals(r.unitPrice);
            if (!fits(l.unitPrice, Amount8))
                tooLarge(lines.at(i).einzelpreis);
            l.total = twoDecimals(r.line.amount);
            if (!fits(l.total, Amount2))
                tooLarge(l.total);
            // The exchange system's check 00421, held to 0.01: the unit price
            // and quantity cut to 8 decimals must still give the total.
            const __int128 quantity = l.quantity ? scaled(*l.quantity, 8) : __int128(100000000);
            __int128 product = 0;
            const bool overflow = __builtin_mul_overflow(scaled(l.unitPrice, 8), quantity, &product);
            if (overflow || magnitude(scaled(l.total, 16) - product) > __int128(100000000000000))
                throw ConversionError(QStringLiteral("Einzelpreis × Anzahl ergibt mit den 8 Nachkommastellen der "
                                                     "elektronischen Rechnung (%1 × %2) nicht den Betrag %3: bitte "
                                                     "Einzelpreis oder Anzahl mit weniger Nachkommastellen eintragen.")
                                          .arg(l.unitPrice, l.quantity.value_or(QStringLiteral("1")), l.total));
        });
        f.lines.append(l);
    }

    f.net = twoDecimals(totals.net);
    f.tax = twoDecimals(totals.tax);
    f.gross = twoDecimals(totals.gross);
    for (const QString &total : {f.net, f.tax, f.gross})
        if (!fits(total, Amount2))
            tooLarge(total);
    for (const RateTotals &t : totals.rates) {
        RateFigures rate{t.rate, twoDecimals(t.taxable), twoDecimals(t.tax), QString()};
        // The exchange system wants the law a sale without VAT rests on.
        if (const VatNature *nature = t.rate.percent == 0 ? vatNature(t.rate.nature) : nullptr)
            rate.legalReference = elementText(QStringLiteral("Natura %1").arg(nature->code), nature->legalReference, 100);
        for (const QString &total : {rate.taxable, rate.tax})
            if (!fits(total, Amount2))
                tooLarge(total);
        // Check 00422 holds by construction: a rate's taxable sum is the sum
        // of its lines' amounts, so no rounding (Arrotondamento) is left over.
        const __int128 taxable100 = scaled(rate.taxable, 2);
        // Check 00423: the tax is the rate of the taxable sum, rounded
        // half-up, within 0.01.
        const __int128 product = magnitude(taxable100) * t.rate.percent;
        const __int128 expectedTax = (product + 50) / 100 * (taxable100 < 0 ? -1 : 1);
        if (magnitude(scaled(rate.tax, 2) - expectedTax) > 1)
            throw ConversionError(QStringLiteral("Die Mehrwertsteuer %1 ist nicht %2 % von %3: die elektronische "
                                                 "Rechnung ließe sich so nicht zustellen.")
                                      .arg(rate.tax, QString::number(t.rate.percent), rate.taxable));
        f.rates.append(rate);
    }
    return f;
}

QDate invoiceDate(const QString &datum, const QDate &today)
{
    const QDate date = QDate::fromString(datum.trimmed(), QStringLiteral("dd.MM.yyyy"));
    // The schema's earliest invoice date.
    if (!date.isValid() || date < QDate(1970, 1, 1))
        throw ConversionError(QStringLiteral("Rechnung: Das Feld „%1“ muss ein Datum der Form TT.MM.JJJJ ab 1970 "
                                             "sein, nicht '%2'.")
                                  .arg(field::Datum, datum));
    // The exchange system's check 00403.
    if (date > today)
        throw ConversionError(QStringLiteral("Rechnung: Das Feld „%1“ liegt mit '%2' nach dem heutigen Tag (%3); das "
                                             "Austauschsystem nimmt keine Rechnung mit einem Datum in der Zukunft an: "
                                             "bitte das Datum berichtigen oder die Rechnung an ihrem Tag schicken.")
                                  .arg(field::Datum, datum.trimmed(), today.toString(QStringLiteral("dd.MM.yyyy"))));
    return date;
}

// The exchange system's check 00425: a number needs at least one digit.
void checkInvoiceNumber(const QString &number)
{
    if (std::none_of(number.begin(), number.end(), [](QChar c) { return c.isDigit(); }))
        throw ConversionError(QStringLiteral("Das Feld „%1“ enthält mit '%2' keine Ziffer; das Austauschsystem nimmt "
                                             "eine Rechnungsnummer nur mit mindestens einer Ziffer an: bitte die "
                                             "Nummer berichtigen.")
                                  .arg(field::Nr, number));
}

// What kind of document the file is, for a credit note the invoice it
// corrects (DatiFattureCollegate), for a deferred invoice its delivery notes
// (DatiDDT).
struct DocumentKind
{
    QString code;
    QString referenceNumber;
    QDate referenceDate;
    QList<DeliveryNoteReference> deliveryNotes = {};
};

bool isDeferredInvoice(const InvoiceHeader &header)
{
    return header.dokumentart.trimmed().compare(DeferredInvoiceKind, Qt::CaseInsensitive) == 0;
}

DocumentKind documentKindOf(const InvoiceHeader &header, const QString &number, const QDate &date,
                            const QList<InvoiceLine> &lines, const Figures &figures)
{
    if (!header.isCreditNote()) {
        // The exchange system takes a refund only as a credit note; a
        // deduction line in an invoice that stays positive is no refund.
        if (figures.negativeTotal)
            throw ConversionError(QStringLiteral("Die Rechnung %1 ergibt einen negativen Gesamtbetrag (%2); eine "
                                                 "elektronische Rechnung darf nicht negativ sein. Bitte für die Rückerstattung "
                                                 "eine Gutschrift zur ursprünglichen Rechnung erstellen: „Rechnung“ → "
                                                 "„Gutschrift zu dieser Rechnung ...“.")
                                      .arg(number, figures.gross));
        if (isDeferredInvoice(header))
            return {DeferredInvoiceKind, QString(), QDate(), deliveryNoteReferences(lines, date)};
        return {QStringLiteral("TD01"), QString(), QDate()};
    }
    DocumentKind kind{CreditNoteKind, QString(), QDate()};
    inContext(QStringLiteral("Gutschrift"), [&] {
        if (header.bezug_nr.trimmed().isEmpty())
            throw ConversionError(QStringLiteral("Die Gutschrift nennt nicht die Rechnung, zu der sie gehört; die "
                                                 "elektronische Gutschrift muss deren Nummer und Datum angeben. Bitte die "
                                                 "Gutschrift zur Rechnung über „Rechnung“ → „Gutschrift zu dieser Rechnung ...“ "
                                                 "erstellen."));
        kind.referenceNumber = elementText(field::ReferenceNumber, header.bezug_nr.trimmed(), 20);
        kind.referenceDate = QDate::fromString(header.bezug_datum.trimmed(), QStringLiteral("dd.MM.yyyy"));
        if (!kind.referenceDate.isValid() || kind.referenceDate < QDate(1970, 1, 1))
            throw ConversionError(QStringLiteral("Das Feld „%1“ muss das Datum der Rechnung in der Form TT.MM.JJJJ sein, "
                                                 "nicht '%2'. Bitte die Gutschrift zur Rechnung über „Rechnung“ → "
                                                 "„Gutschrift zu dieser Rechnung ...“ erstellen.")
                                      .arg(field::ReferenceDate, header.bezug_datum));
    });
    return kind;
}

class Writer
{
public:
    explicit Writer(QByteArray *out) : m_xml(out)
    {
        m_xml.setAutoFormatting(true);
        m_xml.setAutoFormattingIndent(2);
    }
    QXmlStreamWriter &xml() { return m_xml; }
    void start(const QString &name) { m_xml.writeStartElement(name); }
    void end() { m_xml.writeEndElement(); }
    // A carriage return as a character reference: a parser would turn a
    // plain one, with the line feed after it, into a line feed alone.
    void text(const QString &name, const QString &value)
    {
        if (!value.contains(QLatin1Char('\r'))) {
            m_xml.writeTextElement(name, value);
            return;
        }
        m_xml.writeStartElement(name);
        const QStringList parts = value.split(QLatin1Char('\r'));
        for (qsizetype i = 0; i < parts.size(); ++i) {
            if (i > 0)
                m_xml.writeEntityReference(QStringLiteral("#13"));
            if (!parts.at(i).isEmpty())
                m_xml.writeCharacters(parts.at(i));
        }
        m_xml.writeEndElement();
    }

    void idFiscale(const QString &name, const QString &country, const QString &code)
    {
        start(name);
        text(QStringLiteral("IdPaese"), country);
        text(QStringLiteral("IdCodice"), code);
        end();
    }

    // An address abroad has "00000" as its CAP, as the format wants, and
    // its own postcode before the town; no province.
    void address(const QString &context, const QString &streetLabel, const QString &street, const QString &houseNumber,
                 const QString &cap, const QString &town, const QString &province, const QString &country, bool abroad)
    {
        inContext(context, [&] {
            start(QStringLiteral("Sede"));
            text(QStringLiteral("Indirizzo"), elementText(streetLabel, street, 60));
            if (!houseNumber.trimmed().isEmpty())
                text(QStringLiteral("NumeroCivico"), elementText(field::HouseNumber, houseNumber, 8, Charset::BasicLatin));
            text(QStringLiteral("CAP"), abroad ? QStringLiteral("00000") : cap);
            const QString comune = abroad ? (cap.trimmed() + QLatin1Char(' ') + town).trimmed() : town;
            text(QStringLiteral("Comune"), elementText(field::Town, comune, 60));
            if (!abroad && !province.isEmpty())
                text(QStringLiteral("Provincia"), province);
            text(QStringLiteral("Nazione"), country);
            end();
        });
    }

private:
    QXmlStreamWriter m_xml;
};

} // namespace

FatturaPA buildFatturaPA(const Seller &seller, const Buyer &buyer, const Invoice &invoice,
                         const QString &transmissionNumber, const Separators &separators, const QDate &today)
{
    const InvoiceHeader &header = invoice.header;
    checkSellerForFile(seller);
    checkBuyer(buyer);
    inContext(QStringLiteral("Firmendaten"),
              [&] { checkTransmissionNumber(field::TransmissionNumber, transmissionNumber); });
    QString number;
    inContext(QStringLiteral("Rechnung"), [&] {
        requireFilled(field::Nr, header.nr);
        number = elementText(field::Nr, header.nr, 20, Charset::BasicLatin);
        checkInvoiceNumber(number);
    });
    const QDate date = invoiceDate(header.datum, today);
    const Figures figures = computeFigures(invoice.lines, separators);
    const DocumentKind kind = documentKindOf(header, number, date, invoice.lines, figures);

    FatturaPA result;
    result.fileName = QStringLiteral("%1%2_%3.xml").arg(seller.vatCountry, seller.vatNumber, transmissionNumber);
    result.net = figures.net;
    result.tax = figures.tax;
    result.gross = figures.gross;

    Writer w(&result.xml);
    QXmlStreamWriter &xml = w.xml();
    xml.writeStartDocument();
    xml.writeNamespace(Namespace, QStringLiteral("p"));
    xml.writeNamespace(SignatureNamespace, QStringLiteral("ds"));
    xml.writeStartElement(Namespace, QStringLiteral("FatturaElettronica"));
    xml.writeAttribute(QStringLiteral("versione"), QStringLiteral("FPR12"));

    w.start(QStringLiteral("FatturaElettronicaHeader"));

    w.start(QStringLiteral("DatiTrasmissione"));
    w.idFiscale(QStringLiteral("IdTrasmittente"), seller.vatCountry, seller.vatNumber);
    w.text(QStringLiteral("ProgressivoInvio"), transmissionNumber);
    w.text(QStringLiteral("FormatoTrasmissione"), QStringLiteral("FPR12"));
    const bool abroad = isAbroad(buyer.kind);
    w.text(QStringLiteral("CodiceDestinatario"), recipientCodeOf(buyer));
    // Abroad the exchange system delivers nothing, to a PEC address neither.
    if (!abroad && !buyer.pec.isEmpty())
        w.text(QStringLiteral("PECDestinatario"), buyer.pec);
    w.end();

    w.start(QStringLiteral("CedentePrestatore"));
    w.start(QStringLiteral("DatiAnagrafici"));
    w.idFiscale(QStringLiteral("IdFiscaleIVA"), seller.vatCountry, seller.vatNumber);
    if (!seller.fiscalCode.isEmpty())
        w.text(QStringLiteral("CodiceFiscale"), seller.fiscalCode);
    w.start(QStringLiteral("Anagrafica"));
    w.text(QStringLiteral("Denominazione"), elementText(field::BusinessName, seller.businessName, 80));
    w.end();
    w.text(QStringLiteral("RegimeFiscale"), seller.taxRegime);
    w.end();
    w.address(QStringLiteral("Firmendaten"), field::StreetAndNumber, seller.street, QString(), seller.cap, seller.town, seller.province,
              seller.country, false);
    w.end();

    w.start(QStringLiteral("CessionarioCommittente"));
    w.start(QStringLiteral("DatiAnagrafici"));
    if (!buyer.vatNumber.isEmpty())
        w.idFiscale(QStringLiteral("IdFiscaleIVA"), buyer.vatCountry, buyer.vatNumber);
    else if (abroad && buyer.fiscalCode.isEmpty())
        // A customer abroad without a number, as a private person is: the
        // revenue agency's rules name the country and eleven nines.
        w.idFiscale(QStringLiteral("IdFiscaleIVA"), buyer.country, QStringLiteral("99999999999"));
    if (!buyer.fiscalCode.isEmpty())
        w.text(QStringLiteral("CodiceFiscale"), buyer.fiscalCode);
    w.start(QStringLiteral("Anagrafica"));
    if (buyer.isPerson) {
        w.text(QStringLiteral("Nome"), elementText(field::FirstName, buyer.firstName, 60));
        w.text(QStringLiteral("Cognome"), elementText(field::LastName, buyer.lastName, 60));
    } else {
        w.text(QStringLiteral("Denominazione"), elementText(field::Name, buyer.name, 80));
    }
    w.end();
    w.end();
    w.address(QStringLiteral("Kunde"), field::Street, buyer.street, buyer.houseNumber, buyer.cap, buyer.town, buyer.province,
              buyer.country, abroad);
    w.end();

    w.end(); // FatturaElettronicaHeader

    w.start(QStringLiteral("FatturaElettronicaBody"));
    w.start(QStringLiteral("DatiGenerali"));
    w.start(QStringLiteral("DatiGeneraliDocumento"));
    w.text(QStringLiteral("TipoDocumento"), kind.code);
    w.text(QStringLiteral("Divisa"), QStringLiteral("EUR"));
    w.text(QStringLiteral("Data"), date.toString(Qt::ISODate));
    w.text(QStringLiteral("Numero"), number);
    if (figures.stampDuty) {
        // Paid by the seller on the revenue agency's return, not stamped on paper.
        w.start(QStringLiteral("DatiBollo"));
        w.text(QStringLiteral("BolloVirtuale"), QStringLiteral("SI"));
        w.text(QStringLiteral("ImportoBollo"), twoDecimals(StampDutyAmount));
        w.end();
    }
    w.text(QStringLiteral("ImportoTotaleDocumento"), figures.gross);
    w.end();
    if (!kind.referenceNumber.isEmpty()) {
        w.start(QStringLiteral("DatiFattureCollegate"));
        w.text(QStringLiteral("IdDocumento"), kind.referenceNumber);
        w.text(QStringLiteral("Data"), kind.referenceDate.toString(Qt::ISODate));
        w.end();
    }
    for (const DeliveryNoteReference &note : kind.deliveryNotes) {
        w.start(QStringLiteral("DatiDDT"));
        w.text(QStringLiteral("NumeroDDT"), note.number);
        w.text(QStringLiteral("DataDDT"), note.date.toString(Qt::ISODate));
        for (int line : note.lineNumbers)
            w.text(QStringLiteral("RiferimentoNumeroLinea"), QString::number(line));
        w.end();
    }
    w.end();

    w.start(QStringLiteral("DatiBeniServizi"));
    for (qsizetype i = 0; i < figures.lines.size(); ++i) {
        const LineFigures &l = figures.lines.at(i);
        w.start(QStringLiteral("DettaglioLinee"));
        w.text(QStringLiteral("NumeroLinea"), QString::number(i + 1));
        w.text(QStringLiteral("Descrizione"), l.description);
        if (l.quantity)
            w.text(QStringLiteral("Quantita"), *l.quantity);
        w.text(QStringLiteral("PrezzoUnitario"), l.unitPrice);
        w.text(QStringLiteral("PrezzoTotale"), l.total);
        w.text(QStringLiteral("AliquotaIVA"), rateText(l.rate));
        // Checks 00400/00401: a nature exactly where the rate is 0.
        if (l.rate.percent == 0)
            w.text(QStringLiteral("Natura"), l.rate.nature);
        w.end();
    }
    for (const RateFigures &rate : figures.rates) {
        w.start(QStringLiteral("DatiRiepilogo"));
        w.text(QStringLiteral("AliquotaIVA"), rateText(rate.rate));
        // Checks 00429/00430, as in the lines.
        if (rate.rate.percent == 0)
            w.text(QStringLiteral("Natura"), rate.rate.nature);
        w.text(QStringLiteral("ImponibileImporto"), rate.taxable);
        w.text(QStringLiteral("Imposta"), rate.tax);
        w.text(QStringLiteral("EsigibilitaIVA"), QStringLiteral("I"));
        if (!rate.legalReference.isEmpty())
            w.text(QStringLiteral("RiferimentoNormativo"), rate.legalReference);
        w.end();
    }
    w.end(); // DatiBeniServizi

    const PaymentTerms terms = paymentTermsOf(header.bezahlung);
    const bool byTransfer = !seller.iban.isEmpty();
    // The due date the header keeps, typed or given by its terms when it was
    // stored, is the one the customer was told; cash is settled at once.
    const QDate due = storedDate(header.faellig);
    const bool keptDue = due.isValid() && terms.kind != PaymentTerms::Cash;
    if (terms.kind == PaymentTerms::Unknown && !(keptDue && byTransfer))
        result.notes << QStringLiteral("Die Zahlungsbedingung „%1“ versteht das Programm nicht: die elektronische "
                                       "Rechnung nennt deshalb kein Fälligkeitsdatum. Verstanden werden eine Zahl von "
                                       "Tagen („30 Tage“) und „bezahlt“ oder „Barzahlung“.")
                            .arg(header.bezahlung.simplified());
    if (terms.kind == PaymentTerms::Days && !byTransfer)
        result.notes << QStringLiteral("Die Zahlungsbedingung „%1“ verlangt eine Überweisung, aber die Firmendaten "
                                       "nennen keine IBAN: die elektronische Rechnung enthält deshalb weder "
                                       "Zahlungsweise noch Fälligkeitsdatum. Bitte die IBAN in den Firmendaten "
                                       "eintragen.")
                            .arg(header.bezahlung.simplified());
    if (terms.kind == PaymentTerms::Cash) {
        w.start(QStringLiteral("DatiPagamento"));
        w.text(QStringLiteral("CondizioniPagamento"), QStringLiteral("TP02"));   // paid in full at once
        w.start(QStringLiteral("DettaglioPagamento"));
        w.text(QStringLiteral("ModalitaPagamento"), QStringLiteral("MP01"));     // cash
        w.text(QStringLiteral("ImportoPagamento"), figures.gross);
        w.end();
        w.end();
    } else if (byTransfer) {
        w.start(QStringLiteral("DatiPagamento"));
        w.text(QStringLiteral("CondizioniPagamento"), QStringLiteral("TP02"));
        w.start(QStringLiteral("DettaglioPagamento"));
        w.text(QStringLiteral("ModalitaPagamento"), QStringLiteral("MP05"));     // bank transfer
        if (keptDue) {
            // The days only where they lead from the invoice's date to it.
            if (const qint64 days = date.daysTo(due); days >= 0 && days <= 999) {
                w.text(QStringLiteral("DataRiferimentoTerminiPagamento"), date.toString(Qt::ISODate));
                w.text(QStringLiteral("GiorniTerminiPagamento"), QString::number(days));
            }
            w.text(QStringLiteral("DataScadenzaPagamento"), due.toString(Qt::ISODate));
        } else if (terms.kind == PaymentTerms::Days) {
            w.text(QStringLiteral("DataRiferimentoTerminiPagamento"), date.toString(Qt::ISODate));
            w.text(QStringLiteral("GiorniTerminiPagamento"), QString::number(terms.days));
            w.text(QStringLiteral("DataScadenzaPagamento"), date.addDays(terms.days).toString(Qt::ISODate));
        }
        w.text(QStringLiteral("ImportoPagamento"), figures.gross);
        if (!seller.bankName.trimmed().isEmpty())
            w.text(QStringLiteral("IstitutoFinanziario"), elementText(field::BankName, seller.bankName, 80));
        w.text(QStringLiteral("IBAN"), compactIban(seller.iban));
        if (!seller.bic.isEmpty())
            w.text(QStringLiteral("BIC"), seller.bic);
        w.end();
        w.end();
    }

    w.end(); // FatturaElettronicaBody
    xml.writeEndElement();
    xml.writeEndDocument();
    if (result.xml.size() > MaxFileSize)
        throw ConversionError(QStringLiteral("Die elektronische Rechnung wäre %1 MB groß, das Austauschsystem nimmt "
                                             "höchstens 5 MB an: bitte die Rechnung auf mehrere aufteilen oder die "
                                             "Beschreibungen kürzen.")
                                  .arg(QLocale(QLocale::German).toString(double(result.xml.size()) / (1024 * 1024), 'f', 1)));
    return result;
}

FatturaPA makeFatturaPA(const Seller &seller, const Buyer &buyer, const Invoice &invoice,
                        const QString &transmissionNumber, const QString &schemaFile, const Separators &separators,
                        const QDate &today)
{
    FatturaPA made = buildFatturaPA(seller, buyer, invoice, transmissionNumber, separators, today);
    validateFatturaPA(made.xml, schemaFile);
    return made;
}

QString saveFatturaPA(const FatturaPA &invoice, const QString &folder)
{
    const QString path = QDir(folder).filePath(invoice.fileName);
    const QString shown = QDir::toNativeSeparators(path);
    if (QFileInfo::exists(path))
        throw ConversionError(QStringLiteral("Die Datei '%1' gibt es schon: ihre Übertragungsnummer ist vergeben. "
                                             "Bitte in den Firmendaten eine neue Übertragungsnummer eintragen.")
                                  .arg(shown));
    // Written beside and renamed when complete: a file that breaks off
    // half-way is never there to be sent.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(invoice.xml) != invoice.xml.size() || !file.commit())
        throw ConversionError(QStringLiteral("Die Datei '%1' ließ sich nicht schreiben: %2").arg(shown, file.errorString()));
    return path;
}

} // namespace einvoice
