// The Italian electronic invoice: the checks on the business's and the
// customer's data, the customer pre-fill, the file's content, its amounts
// against decimal arithmetic on the typed texts and the exchange system's
// arithmetic, and its validation against the published schema.

#include "errorof.h"
#include "samples.h"

#include "data/amount.h"
#include "data/errors.h"
#include "einvoice/checks.h"
#include "einvoice/fatturapa.h"
#include "einvoice/prefill.h"
#include "einvoice/validation.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

#include <functional>

using namespace einvoice;

namespace {

struct Fixture
{
    Seller seller;
    Buyer buyer;
    InvoiceHeader header;
    QList<InvoiceLine> lines;
    QString transmissionNumber = QStringLiteral("00042");
    // The user's regional settings, which the lines were typed in.
    Separators typedIn{QLatin1Char(','), QLatin1Char('.')};

    Invoice invoice() const { return {header, {}, lines}; }
};

} // namespace

Q_DECLARE_METATYPE(Fixture)
Q_DECLARE_METATYPE(QList<InvoiceLine>)
Q_DECLARE_METATYPE(Separators)

namespace {

const QString ReferenceDir = QStringLiteral(FATTURAPA_REFERENCE_DIR);

QString referenceSchema() { return schemaFileIn(ReferenceDir); }

Separators german() { return {QLatin1Char(','), QLatin1Char('.')}; }
Separators english() { return {QLatin1Char('.'), QLatin1Char(',')}; }

using sample::company;
using sample::consumer;
using sample::nursery;

QList<InvoiceLine> plants()
{
    return {{QStringLiteral("Rosen 'Gloria Dei', wurzelnackt"), QStringLiteral("25"), QStringLiteral("3,80")},
            {QStringLiteral("Buchsbaum-Kugel Ø 30 cm"), QStringLiteral("6"), QStringLiteral("14,90")},
            {QStringLiteral("Lieferung frei Haus"), QString(), QString()}};
}

Fixture standard()
{
    Fixture f;
    f.seller = nursery();
    f.buyer = company();
    f.header = {QStringLiteral("17"), QStringLiteral("08.01.2004")};
    f.lines = plants();
    return f;
}

// The day the tests export on: after every invoice date of the fixtures.
const QDate Today(2004, 3, 1);

FatturaPA build(const Fixture &f)
{
    return buildFatturaPA(f.seller, f.buyer, f.invoice(), f.transmissionNumber, f.typedIn, Today);
}

// A customer of the kind, the address where the kind is, every line at the
// rate such a customer's new lines start with.
Fixture withCustomer(CustomerKind kind, const QString &country, const QString &vatCountry, const QString &vatNumber,
                     const QString &cap, const QString &town)
{
    Fixture f = standard();
    f.buyer.kind = kind;
    f.buyer.country = country;
    f.buyer.vatCountry = vatCountry;
    f.buyer.vatNumber = vatNumber;
    f.buyer.cap = cap;
    f.buyer.town = town;
    f.buyer.province.clear();
    const VatRate rate = defaultLineRate(kind);
    for (InvoiceLine &line : f.lines) {
        line.steuersatz = QString::number(rate.percent);
        line.natura = rate.nature;
    }
    return f;
}

// Every element without child elements as "Path/Below/Root=text", in document order.
QStringList leaves(const QByteArray &xml)
{
    QStringList out;
    QXmlStreamReader r(xml);
    QStringList path;
    QString text;
    bool leaf = false;
    while (!r.atEnd()) {
        switch (r.readNext()) {
        case QXmlStreamReader::StartElement:
            path << r.name().toString();
            text.clear();
            leaf = true;
            break;
        case QXmlStreamReader::Characters:
            text += r.text();
            break;
        case QXmlStreamReader::EndElement:
            if (leaf)
                out << path.mid(1).join(QLatin1Char('/')) + QLatin1Char('=') + text;
            leaf = false;
            path.removeLast();
            break;
        default:
            break;
        }
    }
    if (r.hasError())
        qWarning("XML not readable: %s", qPrintable(r.errorString()));
    return out;
}

QStringList values(const QByteArray &xml, const QString &path)
{
    QStringList out;
    for (const QString &leaf : leaves(xml))
        if (leaf.startsWith(path + QLatin1Char('=')))
            out << leaf.mid(path.size() + 1);
    return out;
}

const QString Lines = QStringLiteral("FatturaElettronicaBody/DatiBeniServizi/DettaglioLinee/");
const QString Summary = QStringLiteral("FatturaElettronicaBody/DatiBeniServizi/DatiRiepilogo/");
const QString Document = QStringLiteral("FatturaElettronicaBody/DatiGenerali/DatiGeneraliDocumento/");

// A number the file holds, exactly, in units of 10^-scale: the exchange
// system's checks are about cents, which a binary product could miss.
__int128 units(const QString &text, int scale)
{
    static const QRegularExpression number(QStringLiteral("^(-?)([0-9]+)\\.([0-9]+)$"));
    const QRegularExpressionMatch m = number.match(text);
    if (!m.hasMatch() || m.captured(3).size() > scale) {
        qWarning("not a number of at most %d decimals: '%s'", scale, qPrintable(text));
        return 0;
    }
    __int128 v = 0;
    for (const QChar c : m.captured(2) + m.captured(3).leftJustified(scale, QLatin1Char('0')))
        v = v * 10 + c.digitValue();
    return m.captured(1).isEmpty() ? v : -v;
}

__int128 absolute(__int128 v) { return v < 0 ? -v : v; }

// A number as typed with a decimal comma ("-4,505", "2"), exactly, in units
// of 10^-scale.
__int128 typedUnits(const QString &text, int scale)
{
    static const QRegularExpression number(QStringLiteral("^(-?)([0-9]+)(?:,([0-9]*))?$"));
    const QRegularExpressionMatch m = number.match(text);
    if (!m.hasMatch() || m.captured(3).size() > scale) {
        qWarning("not a typed number of at most %d decimals: '%s'", scale, qPrintable(text));
        return 0;
    }
    __int128 v = 0;
    for (const QChar c : m.captured(2) + m.captured(3).leftJustified(scale, QLatin1Char('0')))
        v = v * 10 + c.digitValue();
    return m.captured(1).isEmpty() ? v : -v;
}

// v / divisor to the nearest whole number, halves away from zero.
__int128 halfUp(__int128 v, __int128 divisor)
{
    const __int128 q = (absolute(v) + divisor / 2) / divisor;
    return v < 0 ? -q : q;
}

QString centsText(__int128 cents)
{
    const __int128 m = absolute(cents);
    const QString text = QStringLiteral("%1.%2").arg(qint64(m / 100)).arg(qint64(m % 100), 2, 10, QLatin1Char('0'));
    return cents < 0 && m != 0 ? QLatin1Char('-') + text : text;
}

// What the invoice comes to in decimal arithmetic on the texts as typed,
// without any binary number in between: each line and the net to the cent,
// the tax a tenth and the gross eleven tenths of the unrounded net.
struct DecimalFigures
{
    QStringList lines;
    QString net;
    QString tax;
    QString gross;
};

DecimalFigures decimalFigures(const QList<InvoiceLine> &lines)
{
    constexpr int Scale = 9;                              // each factor in 10^-9
    const __int128 cent = __int128(10'000'000'000'000'000LL);   // 10^16 units of 10^-18
    DecimalFigures f;
    __int128 net = 0;                                     // in cents: the sum of the rounded lines
    for (const InvoiceLine &l : lines) {
        const __int128 amount = l.einzelpreis.isEmpty() || l.anzahl.isEmpty()
                                    ? 0
                                    : typedUnits(l.einzelpreis, Scale) * typedUnits(l.anzahl, Scale);
        f.lines << centsText(halfUp(amount, cent));
        net += halfUp(amount, cent);
    }
    // The tax of the rounded net, rounded once; the gross their sum.
    const __int128 tax = halfUp(net, 10);
    f.net = centsText(net);
    f.tax = centsText(tax);
    f.gross = centsText(net + tax);
    return f;
}

} // namespace

class TestEInvoice : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void referenceInvoicesPassTheValidator();
    void bundledSchemaIsThePublishedOne();
    void taxRegimesAreTheSchemas();
    void fixtureInvoicesAreValid_data();
    void fixtureInvoicesAreValid();
    void wholeFile();
    void amounts_data();
    void amounts();
    void numbersWithADotWhateverTheSeparators();
    void text_data();
    void text();
    void refusals_data();
    void refusals();
    void validatorRefusesWithItsFirstError();
    void savedOnceUnderItsName();
    void prefill_data();
    void prefill();
    void settingsChecks_data();
    void settingsChecks();
    void followingTransmissionNumber_data();
    void followingTransmissionNumber();
    void guessedKind_data();
    void guessedKind();
    void customerKinds_data();
    void customerKinds();
    void kindRefusals_data();
    void kindRefusals();
    void exchangeSystemChecks_data();
    void exchangeSystemChecks();
};

void TestEInvoice::referenceInvoicesPassTheValidator()
{
    const QDir examples(ReferenceDir + QStringLiteral("/examples"));
    const QStringList files = examples.entryList({QStringLiteral("*.xml")});
    QVERIFY2(files.size() == 3, qPrintable(QStringLiteral("reference invoices missing in ") + examples.path()));
    for (const QString &name : files) {
        QFile f(examples.filePath(name));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray xml = f.readAll();
        QCOMPARE(errorOf<ConversionError>([&] { validateFatturaPA(xml, referenceSchema()); }), QString());
        QCOMPARE(errorOf<ConversionError>([&] { validateFatturaPA(xml, bundledSchemaFile()); }), QString());
    }
}

void TestEInvoice::bundledSchemaIsThePublishedOne()
{
    for (const QString &name : {QStringLiteral("Schema_del_file_xml_FatturaPA_v1.2.2.xsd"), QStringLiteral("xmldsig-stub.xsd")}) {
        QFile published(QDir(ReferenceDir).filePath(name));
        QFile bundled(QFileInfo(bundledSchemaFile()).dir().filePath(name));
        QVERIFY2(published.open(QIODevice::ReadOnly), qPrintable(published.fileName()));
        QVERIFY2(bundled.open(QIODevice::ReadOnly), qPrintable(bundled.fileName()));
        QVERIFY2(published.readAll() == bundled.readAll(), qPrintable(name));
    }
}

void TestEInvoice::taxRegimesAreTheSchemas()
{
    // A regime the schema does not list would make every file invalid.
    QFile f(referenceSchema());
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QString schema = QString::fromUtf8(f.readAll());
    QStringList inSchema;
    const QRegularExpression enumeration(QStringLiteral("<xs:enumeration value=\"(RF[0-9]{2})\""));
    for (auto it = enumeration.globalMatch(schema); it.hasNext();)
        inSchema << it.next().captured(1);
    inSchema.sort();
    QStringList ours;
    for (const TaxRegime &r : taxRegimes()) {
        ours << r.code;
        QVERIFY2(!r.description.isEmpty(), qPrintable(r.code));
    }
    QCOMPARE(ours, inSchema);
}

void TestEInvoice::fixtureInvoicesAreValid_data()
{
    QTest::addColumn<Fixture>("fixture");
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QStringList>("absent");

    {
        Fixture f = standard();
        QTest::newRow("business customer, bank transfer")
            << f
            << QStringList{QStringLiteral("FatturaElettronicaHeader/DatiTrasmissione/CodiceDestinatario=M5UXCR1"),
                           QStringLiteral("FatturaElettronicaHeader/CessionarioCommittente/DatiAnagrafici/IdFiscaleIVA/IdCodice=00000000208"),
                           QStringLiteral("FatturaElettronicaHeader/CessionarioCommittente/DatiAnagrafici/Anagrafica/Denominazione=Vivai Bernardi S.n.c."),
                           QStringLiteral("FatturaElettronicaHeader/CessionarioCommittente/Sede/NumeroCivico=7"),
                           QStringLiteral("FatturaElettronicaBody/DatiPagamento/CondizioniPagamento=TP02"),
                           QStringLiteral("FatturaElettronicaBody/DatiPagamento/DettaglioPagamento/ModalitaPagamento=MP05"),
                           QStringLiteral("FatturaElettronicaBody/DatiPagamento/DettaglioPagamento/IBAN=IT60X0542811101000000123456")}
            << QStringList{QStringLiteral("FatturaElettronicaHeader/DatiTrasmissione/PECDestinatario"),
                           QStringLiteral("FatturaElettronicaHeader/CessionarioCommittente/DatiAnagrafici/Anagrafica/Nome")};
    }
    {
        Fixture f = standard();
        f.buyer = consumer();
        f.seller.iban.clear();
        f.seller.bic.clear();
        QTest::newRow("consumer by PEC, no IBAN")
            << f
            << QStringList{QStringLiteral("FatturaElettronicaHeader/DatiTrasmissione/CodiceDestinatario=0000000"),
                           QStringLiteral("FatturaElettronicaHeader/DatiTrasmissione/PECDestinatario=k.oehlinger@pec.it"),
                           QStringLiteral("FatturaElettronicaHeader/CessionarioCommittente/DatiAnagrafici/CodiceFiscale=HLNKTH70E41A952K"),
                           QStringLiteral("FatturaElettronicaHeader/CessionarioCommittente/DatiAnagrafici/Anagrafica/Nome=Käthe"),
                           QStringLiteral("FatturaElettronicaHeader/CessionarioCommittente/DatiAnagrafici/Anagrafica/Cognome=Öhlinger")}
            << QStringList{QStringLiteral("FatturaElettronicaBody/DatiPagamento"),
                           QStringLiteral("FatturaElettronicaHeader/CessionarioCommittente/DatiAnagrafici/IdFiscaleIVA"),
                           QStringLiteral("FatturaElettronicaHeader/CessionarioCommittente/DatiAnagrafici/Anagrafica/Denominazione")};
    }
    {
        Fixture f = standard();
        f.lines = {{QStringLiteral("Gutschrift “Rücknahme” – Töpfe…"), QStringLiteral("-4"), QStringLiteral("2,50")},
                   {QStringLiteral("Olivenbaum im Kübel, 120 cm, 89 €"), QStringLiteral("2"), QStringLiteral("89")},
                   {QStringLiteral("Pflanzschnitt pauschal"), QString(), QStringLiteral("45")}};
        f.buyer.kind = CustomerKind::EuBusiness;
        f.buyer.vatCountry = QStringLiteral("AT");
        f.buyer.vatNumber = QStringLiteral("U12345678");
        f.buyer.cap = QStringLiteral("6020");
        f.buyer.town = QStringLiteral("Innsbruck");
        f.buyer.province.clear();
        f.buyer.country = QStringLiteral("AT");
        QTest::newRow("credit line, text mapped, line without quantity, customer abroad")
            << f
            << QStringList{Lines + QStringLiteral("Descrizione=Gutschrift \"Rücknahme\" - Töpfe..."),
                           Lines + QStringLiteral("Descrizione=Olivenbaum im Kübel, 120 cm, 89 EUR"),
                           QStringLiteral("FatturaElettronicaHeader/CessionarioCommittente/DatiAnagrafici/IdFiscaleIVA/IdPaese=AT"),
                           // Abroad the format wants 00000 for the postcode.
                           QStringLiteral("FatturaElettronicaHeader/CessionarioCommittente/Sede/CAP=00000"),
                           QStringLiteral("FatturaElettronicaHeader/CessionarioCommittente/Sede/Comune=6020 Innsbruck")}
            << QStringList{QStringLiteral("FatturaElettronicaHeader/CessionarioCommittente/Sede/Provincia")};
    }
}

void TestEInvoice::fixtureInvoicesAreValid()
{
    QFETCH(Fixture, fixture);
    QFETCH(QStringList, present);
    QFETCH(QStringList, absent);
    FatturaPA invoice;
    QCOMPARE(errorOf<ConversionError>([&] { invoice = build(fixture); }), QString());
    QCOMPARE(errorOf<ConversionError>([&] { validateFatturaPA(invoice.xml, referenceSchema()); }), QString());
    const QStringList all = leaves(invoice.xml);
    for (const QString &leaf : present)
        QVERIFY2(all.contains(leaf), qPrintable(leaf + QStringLiteral("\n") + all.join(QLatin1Char('\n'))));
    for (const QString &path : absent)
        for (const QString &leaf : all)
            QVERIFY2(!leaf.startsWith(path), qPrintable(leaf));
    // What is always there, whoever the parties are.
    QCOMPARE(values(invoice.xml, QStringLiteral("FatturaElettronicaHeader/DatiTrasmissione/ProgressivoInvio")), QStringList{QStringLiteral("00042")});
    QCOMPARE(values(invoice.xml, Document + QStringLiteral("TipoDocumento")), QStringList{QStringLiteral("TD01")});
    QCOMPARE(values(invoice.xml, Document + QStringLiteral("Data")), QStringList{QStringLiteral("2004-01-08")});
    QCOMPARE(values(invoice.xml, Document + QStringLiteral("Numero")), QStringList{QStringLiteral("17")});
    QCOMPARE(values(invoice.xml, Lines + QStringLiteral("NumeroLinea")).size(), fixture.lines.size());
    QCOMPARE(invoice.fileName, QStringLiteral("IT01234567897_00042.xml"));
}

void TestEInvoice::wholeFile()
{
    // The whole file of one invoice, checked by hand against the schema's
    // element order and the reference invoices; EINVOICE_REGENERATE=1
    // writes it anew after a deliberate change.
    const FatturaPA invoice = build(standard());
    const QString reference = QStringLiteral(EINVOICE_TEST_DIR "/") + invoice.fileName;
    if (qEnvironmentVariableIsSet("EINVOICE_REGENERATE")) {
        QFile out(reference);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(invoice.xml);
    }
    QFile f(reference);
    QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(reference));
    QCOMPARE(QString::fromUtf8(invoice.xml), QString::fromUtf8(f.readAll()));
}

void TestEInvoice::amounts_data()
{
    QTest::addColumn<QList<InvoiceLine>>("lines");
    QTest::addColumn<QString>("firstTotal");   // where the printed figure is known by its own rule
    // Where the printed invoice parts from decimal arithmetic, because a
    // price is read into the double just below it: the figures ("net",
    // "tax", "gross", or every line of "<quantity> x <price>") with the cents
    // it shows instead.
    QTest::addColumn<QStringList>("binary");

    const auto line = [](const char *quantity, const char *price) {
        return InvoiceLine{QStringLiteral("Pflanze"), QString::fromLatin1(quantity), QString::fromLatin1(price)};
    };
    // 2.675 as a double is 2.67499999999999982... and showed as 2,67; the
    // text as typed is exactly half a cent above 2,67.
    QTest::newRow("2,675 rounding trap") << QList<InvoiceLine>{line("1", "2,675")} << QStringLiteral("2.68")
                                         << QStringList{};
    QTest::newRow("2,675 three times: each line rounded first")
        << QList<InvoiceLine>{line("1", "2,675"), line("1", "2,675"), line("1", "2,675")} << QStringLiteral("2.68")
        << QStringList{};
    QTest::newRow("a line without quantity counts 0")
        << QList<InvoiceLine>{line("", "45"), line("3", "2,30")} << QStringLiteral("0.00") << QStringList{};
    QTest::newRow("a line without price counts 0")
        << QList<InvoiceLine>{line("12", ""), line("3", "2,30")} << QStringLiteral("0.00") << QStringList{};
    QTest::newRow("1.000.000 net") << QList<InvoiceLine>{line("4", "250000")} << QStringLiteral("1000000.00") << QStringList{};
    QTest::newRow("1.000.000 in thirds")
        << QList<InvoiceLine>{line("3", "333333,333"), line("1", "0,01")} << QString() << QStringList{};
    QList<InvoiceLine> many;
    for (int i = 0; i < 200; ++i)
        many << line(i % 2 ? "3" : "7", i % 3 ? "0,335" : "1,005");
    // 1,005 as a double is 1.00499999999999989...; 0,335 0.33500000000000001...:
    // the texts count, not the doubles.
    QTest::newRow("200 lines, each a half cent") << many << QString() << QStringList{};
    QTest::newRow("negative quantity")
        << QList<InvoiceLine>{line("-2", "4,50"), line("5", "4,50")} << QStringLiteral("-9.00") << QStringList{};
    QTest::newRow("negative price and quantity") << QList<InvoiceLine>{line("-2", "-4,505")} << QString() << QStringList{};
    QTest::newRow("fractions of a cent, quantity with decimals")
        << QList<InvoiceLine>{line("2,5", "3,99"), line("0,333", "0,123456789"), line("1,25", "1,4999")} << QString() << QStringList{};
}

void TestEInvoice::amounts()
{
    QFETCH(QList<InvoiceLine>, lines);
    QFETCH(QString, firstTotal);
    QFETCH(QStringList, binary);
    Fixture f = standard();
    f.lines = lines;
    FatturaPA invoice;
    QCOMPARE(errorOf<ConversionError>([&] { invoice = build(f); }), QString());
    QCOMPARE(errorOf<ConversionError>([&] { validateFatturaPA(invoice.xml, referenceSchema()); }), QString());

    // The figures against decimal arithmetic on the texts as typed, but for
    // those the row names.
    DecimalFigures expected = decimalFigures(lines);
    for (const QString &figure : binary) {
        const QString name = figure.section(QLatin1Char('='), 0, 0);
        const QString cents = figure.section(QLatin1Char('='), 1);
        QList<QString *> replaced;
        if (name == QLatin1String("net"))
            replaced << &expected.net;
        else if (name == QLatin1String("tax"))
            replaced << &expected.tax;
        else if (name == QLatin1String("gross"))
            replaced << &expected.gross;
        for (qsizetype i = 0; i < lines.size(); ++i)
            if (name == lines.at(i).anzahl + QStringLiteral(" x ") + lines.at(i).einzelpreis)
                replaced << &expected.lines[i];
        QVERIFY2(!replaced.isEmpty(), qPrintable(figure + QStringLiteral(": no such figure")));
        for (QString *decimal : replaced) {
            // A number read a little below its text is off by one cent at most.
            QVERIFY2(absolute(units(*decimal, 2) - units(cents, 2)) == 1,
                     qPrintable(figure + QStringLiteral(", decimal arithmetic: ") + *decimal));
            *decimal = cents;
        }
    }
    const QStringList imponibile = values(invoice.xml, Summary + QStringLiteral("ImponibileImporto"));
    const QStringList imposta = values(invoice.xml, Summary + QStringLiteral("Imposta"));
    QCOMPARE(imponibile, QStringList{expected.net});
    QCOMPARE(imposta, QStringList{expected.tax});
    QCOMPARE(values(invoice.xml, Document + QStringLiteral("ImportoTotaleDocumento")), QStringList{expected.gross});
    QCOMPARE(invoice.net, expected.net);
    QCOMPARE(invoice.tax, expected.tax);
    QCOMPARE(invoice.gross, expected.gross);

    // Each line in the file: its own amount, whatever its form.
    const QStringList totals = values(invoice.xml, Lines + QStringLiteral("PrezzoTotale"));
    const QStringList prices = values(invoice.xml, Lines + QStringLiteral("PrezzoUnitario"));
    QCOMPARE(totals.size(), lines.size());
    QCOMPARE(prices.size(), lines.size());
    for (qsizetype i = 0; i < lines.size(); ++i)
        QCOMPARE(totals.at(i), expected.lines.at(i));
    if (!firstTotal.isEmpty())
        QCOMPARE(totals.first(), firstTotal);

    // The exchange system's checks, within 0.01. 00421: the line's total is
    // unit price times quantity (1 when the line has none).
    const QStringList leafList = leaves(invoice.xml);
    qsizetype line = -1;
    QString quantity;
    __int128 sumOfTotals = 0;
    for (const QString &leaf : leafList) {
        if (leaf.startsWith(Lines + QStringLiteral("NumeroLinea="))) {
            ++line;
            quantity = QStringLiteral("1.00");
        } else if (leaf.startsWith(Lines + QStringLiteral("Quantita="))) {
            quantity = leaf.section(QLatin1Char('='), 1);
            QVERIFY2(!quantity.startsWith(QLatin1Char('-')), qPrintable(quantity));
            QVERIFY2(!lines.at(line).anzahl.isEmpty(), "a quantity where the line has none");
        } else if (leaf.startsWith(Lines + QStringLiteral("PrezzoTotale="))) {
            const QString total = leaf.section(QLatin1Char('='), 1);
            const __int128 product = units(prices.at(line), 8) * units(quantity, 8);
            QVERIFY2(absolute(units(total, 16) - product) <= __int128(100000000000000),
                     qPrintable(QStringLiteral("line %1: %2 x %3 != %4").arg(line + 1).arg(prices.at(line), quantity, total)));
            sumOfTotals += units(total, 2);
        }
    }
    QCOMPARE(line + 1, lines.size());
    // 00422: the net is the lines' sum plus the rounding.
    const QStringList rounding = values(invoice.xml, Summary + QStringLiteral("Arrotondamento"));
    const __int128 roundingCents = rounding.isEmpty() ? 0 : units(rounding.first(), 2);
    QVERIFY(rounding.isEmpty() || roundingCents != 0);
    QVERIFY2(units(imponibile.first(), 2) == sumOfTotals + roundingCents, qPrintable(rounding.join(QString())));
    // 00423: the tax is 10 % of the net rounded half-up, within a cent.
    const __int128 net100 = units(imponibile.first(), 2);
    const __int128 expectedTax = (absolute(net100) + 5) / 10 * (net100 < 0 ? -1 : 1);
    QVERIFY2(absolute(units(imposta.first(), 2) - expectedTax) <= 1, qPrintable(imposta.first()));
}

void TestEInvoice::numbersWithADotWhateverTheSeparators()
{
    // The same invoice typed under German and under English settings gives
    // the same file; the lines are read with the settings they were typed in.
    Fixture f = standard();
    f.typedIn = german();
    f.lines = {{QStringLiteral("Zitronenbäumchen"), QStringLiteral("2,5"), QStringLiteral("1.234,5")}};
    QCOMPARE(errorOf<ConversionError>([&] { build(f); }), QStringLiteral("Zeile 1: '1.234,5' ist kein gültiger Gleitkommawert"));
    f.lines = {{QStringLiteral("Zitronenbäumchen"), QStringLiteral("2,5"), QStringLiteral("1234,5")},
               {QStringLiteral("Olivenbaum"), QStringLiteral("1"), QStringLiteral("1E12")}};
    QVERIFY(errorOf<ConversionError>([&] { build(f); }).startsWith(QStringLiteral("Zeile 2: ")));

    f.lines.removeLast();
    const QByteArray underGerman = build(f).xml;
    f.typedIn = english();
    // Stored with a decimal comma in a file of decimal points, where it cannot mean anything else.
    QCOMPARE(build(f).xml, underGerman);
    f.lines = {{QStringLiteral("Zitronenbäumchen"), QStringLiteral("2,5"), QStringLiteral("1.234,5")}};
    QCOMPARE(errorOf<ConversionError>([&] { build(f); }), QStringLiteral("Zeile 1: '1.234,5' ist kein gültiger Gleitkommawert"));
    f.lines = {{QStringLiteral("Zitronenbäumchen"), QStringLiteral("2.5"), QStringLiteral("1234.5")}};
    const QByteArray underEnglish = build(f).xml;
    QCOMPARE(underEnglish, underGerman);
    QCOMPARE(values(underGerman, Lines + QStringLiteral("Quantita")), QStringList{QStringLiteral("2.50")});
    QCOMPARE(values(underGerman, Lines + QStringLiteral("PrezzoUnitario")), QStringList{QStringLiteral("1234.50")});
    QCOMPARE(values(underGerman, Summary + QStringLiteral("ImponibileImporto")), QStringList{QStringLiteral("3086.25")});
}

void TestEInvoice::text_data()
{
    QTest::addColumn<Fixture>("fixture");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("written");
    QTest::addColumn<QString>("error");

    const auto withDescription = [](const QString &text) {
        Fixture f = standard();
        f.lines.first().beschreibung = text;
        return f;
    };
    const QString description = Lines + QStringLiteral("Descrizione");
    QTest::newRow("euro sign") << withDescription(QStringLiteral("Gutschein über 50 €")) << description
                               << QStringLiteral("Gutschein über 50 EUR") << QString();
    QTest::newRow("typographic quotes") << withDescription(QStringLiteral("Rose „Gloria Dei“ ‚rot‘ “x” ‘y’"))
                                        << description << QStringLiteral("Rose \"Gloria Dei\" 'rot' \"x\" 'y'") << QString();
    QTest::newRow("dashes and ellipsis") << withDescription(QStringLiteral("Hecke 80–100 cm — Liguster …"))
                                         << description << QStringLiteral("Hecke 80-100 cm - Liguster ...") << QString();
    QTest::newRow("Latin-1 kept as it is") << withDescription(QStringLiteral("Kübel Ø 30 cm, ½ Größe, «très» àéîõü ß"))
                                           << description << QStringLiteral("Kübel Ø 30 cm, ½ Größe, «très» àéîõü ß") << QString();
    QTest::newRow("outside Latin-1") << withDescription(QStringLiteral("Rosen aus Łódź")) << description << QString()
                                     << QStringLiteral("Zeile 1: Das Feld „Beschreibung“ enthält das Zeichen 'Ł' (U+0141), "
                                                       "das die elektronische Rechnung hier nicht erlaubt: bitte ersetzen.");
    QTest::newRow("outside the basic plane") << withDescription(QStringLiteral("Rose 🌹")) << description << QString()
                                             << QStringLiteral("Zeile 1: Das Feld „Beschreibung“ enthält das Zeichen '🌹' (U+1F339), "
                                                               "das die elektronische Rechnung hier nicht erlaubt: bitte ersetzen.");
    // Parsed back it is still a carriage return, which a plain one would not be.
    QTest::newRow("carriage return") << withDescription(QStringLiteral("Rosen\r\nTulpen")) << description
                                     << QStringLiteral("Rosen\r\nTulpen") << QString();
    QTest::newRow("control character") << withDescription(QStringLiteral("Rose\x01")) << description << QString()
                                       << QStringLiteral("Zeile 1: Das Feld „Beschreibung“ enthält das Zeichen U+0001, "
                                                         "das die elektronische Rechnung hier nicht erlaubt: bitte ersetzen.");
    // A mapped sign counts with its ASCII form: 998 + "EUR" is 1001.
    QTest::newRow("too long once mapped") << withDescription(QString(998, QLatin1Char('x')) + QStringLiteral("€"))
                                          << description << QString()
                                          << QStringLiteral("Zeile 1: Das Feld „Beschreibung“ ist 1001 Zeichen lang, die "
                                                            "elektronische Rechnung erlaubt höchstens 1000: bitte kürzen.");
    QTest::newRow("just long enough") << withDescription(QString(997, QLatin1Char('x')) + QStringLiteral("€"))
                                      << description << QString(997, QLatin1Char('x')) + QStringLiteral("EUR") << QString();
    {
        Fixture f = standard();
        f.buyer.name = QStringLiteral("Kwiaciarnia Łąka");
        QTest::newRow("customer's name") << f << QString() << QString()
                                         << QStringLiteral("Kunde: Das Feld „Name“ enthält das Zeichen 'Ł' (U+0141), "
                                                           "das die elektronische Rechnung hier nicht erlaubt: bitte ersetzen.");
    }
    {
        Fixture f = standard();
        f.header.nr = QStringLiteral("17–ä");
        QTest::newRow("invoice number: ASCII only, dash mapped first") << f << QString() << QString()
                                         << QStringLiteral("Rechnung: Das Feld „Nr“ enthält das Zeichen 'ä' (U+00E4), "
                                                           "das die elektronische Rechnung hier nicht erlaubt: bitte ersetzen.");
    }
    {
        Fixture f = standard();
        f.buyer.name = QString(81, QLatin1Char('n'));
        QTest::newRow("customer's name too long") << f << QString() << QString()
                                                  << QStringLiteral("Kunde: Das Feld „Name“ ist 81 Zeichen lang, die "
                                                                    "elektronische Rechnung erlaubt höchstens 80: bitte kürzen.");
    }
}

void TestEInvoice::text()
{
    QFETCH(Fixture, fixture);
    QFETCH(QString, path);
    QFETCH(QString, written);
    QFETCH(QString, error);
    FatturaPA invoice;
    QCOMPARE(errorOf<ConversionError>([&] { invoice = build(fixture); }), error);
    if (!error.isEmpty())
        return;
    QCOMPARE(values(invoice.xml, path).first(), written);
    QCOMPARE(errorOf<ConversionError>([&] { validateFatturaPA(invoice.xml, referenceSchema()); }), QString());
}

void TestEInvoice::refusals_data()
{
    QTest::addColumn<Fixture>("fixture");
    QTest::addColumn<QString>("error");

    Fixture f = standard();
    f.lines.clear();
    QTest::newRow("no lines") << f << QStringLiteral("Die Rechnung hat keine Zeilen: bitte mindestens eine Zeile mit Beschreibung eintragen.");
    f = standard();
    f.lines[1].beschreibung = QStringLiteral("   ");
    QTest::newRow("line without description")
        << f << QStringLiteral("Zeile 2: Die Beschreibung fehlt: bitte eine eintragen oder die Zeile löschen.");
    f = standard();
    f.buyer.vatNumber.clear();
    QTest::newRow("customer without VAT number and fiscal code")
        << f << QStringLiteral("Kunde: Weder MwSt.-Nummer (Partita IVA) noch Steuernummer (Codice fiscale) angegeben: "
                               "bitte eine von beiden eintragen.");
    f = standard();
    f.seller.vatNumber.clear();
    QTest::newRow("business without VAT number")
        << f << QStringLiteral("Firmendaten: Die MwSt.-Nummer (Partita IVA) fehlt: bitte eintragen, ohne sie gibt es "
                               "keine elektronische Rechnung.");
    f = standard();
    f.seller.cap = QStringLiteral("3910");
    QTest::newRow("business's CAP") << f << QStringLiteral("Firmendaten: Das Feld „PLZ (CAP)“ muss aus 5 Ziffern bestehen, nicht '3910'.");
    f = standard();
    f.buyer.town.clear();
    QTest::newRow("customer's town") << f << QStringLiteral("Kunde: Das Feld „Ort (Comune)“ ist leer: bitte ausfüllen.");
    f = standard();
    f.buyer.pec = QStringLiteral("bernardi@pec.it");
    QTest::newRow("PEC beside a recipient code")
        << f << QStringLiteral("Kunde: Mit einer PEC-Adresse muss das Feld „Empfängercode (Codice destinatario)“ "
                               "0000000 sein: bitte den Code oder die PEC-Adresse leeren.");
    f = standard();
    f.buyer.isPerson = true;
    f.buyer.firstName.clear();
    QTest::newRow("person without first name") << f << QStringLiteral("Kunde: Das Feld „Vorname“ ist leer: bitte ausfüllen.");
    for (const char *date : {"2004-01-08", "31.02.2004", "8.1.04", "01.01.1969", ""}) {
        f = standard();
        f.header.datum = QString::fromLatin1(date);
        QTest::addRow("date '%s'", date)
            << f << QStringLiteral("Rechnung: Das Feld „Datum“ muss ein Datum der Form TT.MM.JJJJ ab 1970 sein, nicht '%1'.")
                        .arg(QString::fromLatin1(date));
    }
    f = standard();
    f.header.nr.clear();
    QTest::newRow("no invoice number") << f << QStringLiteral("Rechnung: Das Feld „Nr“ ist leer: bitte ausfüllen.");
    f = standard();
    f.transmissionNumber = QStringLiteral("000001");
    QTest::newRow("transmission number of six")
        << f << QStringLiteral("Firmendaten: Das Feld „Übertragungsnummer“ muss aus 1 bis 5 Ziffern oder Buchstaben "
                               "bestehen, nicht '000001'.");
    f = standard();
    f.lines[0].einzelpreis = QStringLiteral("3,8O");
    QTest::newRow("price not a number") << f << QStringLiteral("Zeile 1: '3,8O' ist kein gültiger Gleitkommawert");
    f = standard();
    f.lines[1].anzahl = QStringLiteral("1e300");
    QTest::newRow("no amount") << f << QStringLiteral("Zeile 2: '1e300' ergibt keinen gültigen Betrag");
    f = standard();
    f.lines[1].anzahl = QStringLiteral("1000000");
    f.lines[1].einzelpreis = QStringLiteral("1000000");
    QTest::newRow("line beyond 11 places")
        << f << QStringLiteral("Zeile 2: Der Betrag '1000000000000.00' ist für die elektronische Rechnung zu groß: sie "
                               "erlaubt höchstens 11 Stellen vor dem Komma.");
    // 0.123456789 × 10^8 is 12345678.90; cut to 0.12345679 it gives 12345679.00.
    f = standard();
    f.lines[1].anzahl = QStringLiteral("100000000");
    f.lines[1].einzelpreis = QStringLiteral("0,123456789");
    QTest::newRow("unit price cut to 8 decimals misses the amount")
        << f << QStringLiteral("Zeile 2: Einzelpreis × Anzahl ergibt mit den 8 Nachkommastellen der elektronischen "
                               "Rechnung (0.12345679 × 100000000.00) nicht den Betrag 12345678.90: bitte Einzelpreis "
                               "oder Anzahl mit weniger Nachkommastellen eintragen.");
    f = standard();
    f.lines = {{QStringLiteral("Rindenmulch"), QStringLiteral("1000000000000"), QStringLiteral("0,01")}};
    QTest::newRow("quantity beyond 12 places")
        << f << QStringLiteral("Zeile 1: Die Anzahl '1000000000000' ist für die elektronische Rechnung zu groß: sie "
                               "erlaubt höchstens 12 Stellen vor dem Komma.");
    // Without a price no product bounds it: its 40 zeros must not overflow.
    f.lines = {{QStringLiteral("Rindenmulch"), QStringLiteral("1E40"), QString()}};
    QTest::newRow("quantity with a large exponent and no price")
        << f << QStringLiteral("Zeile 1: Die Anzahl '1E40' ist für die elektronische Rechnung zu groß: sie "
                               "erlaubt höchstens 12 Stellen vor dem Komma.");
}

void TestEInvoice::refusals()
{
    QFETCH(Fixture, fixture);
    QFETCH(QString, error);
    QCOMPARE(errorOf<ConversionError>([&] { build(fixture); }), error);
}

void TestEInvoice::validatorRefusesWithItsFirstError()
{
    const FatturaPA invoice = build(standard());
    QByteArray broken = invoice.xml;
    broken.replace("<CAP>39040</CAP>", "<CAP>3904</CAP>");
    broken.replace("<EsigibilitaIVA>I</EsigibilitaIVA>", "<EsigibilitaIVA>X</EsigibilitaIVA>");
    QVERIFY(broken != invoice.xml);
    const QString error = errorOf<ConversionError>([&] { validateFatturaPA(broken, referenceSchema()); });
    QVERIFY2(error.startsWith(QStringLiteral("Die elektronische Rechnung entspricht nicht dem Schema: Zeile ")), qPrintable(error));
    // The first error is the customer's CAP; the other comes later in the file.
    QVERIFY2(error.contains(QStringLiteral("'CAP'")) && error.contains(QStringLiteral("'3904'")), qPrintable(error));
    QVERIFY2(!error.contains(QStringLiteral("EsigibilitaIVA")), qPrintable(error));

    QByteArray unclosed = invoice.xml;
    unclosed.chop(30);
    QVERIFY(errorOf<ConversionError>([&] { validateFatturaPA(unclosed, referenceSchema()); })
                .startsWith(QStringLiteral("Die elektronische Rechnung ist kein gültiges XML: Zeile ")));

    const QString missing = QDir(QDir::tempPath()).filePath(QStringLiteral("kein-schema/schema.xsd"));
    QCOMPARE(errorOf<ConversionError>([&] { validateFatturaPA(invoice.xml, missing); }),
             QStringLiteral("Das Schema der elektronischen Rechnung fehlt: '%1'.").arg(QDir::toNativeSeparators(missing)));

    // makeFatturaPA is the builder and this check in one: a schema that
    // refuses what the builder wrote stops it.
    QTemporaryDir strict;
    QVERIFY(strict.isValid());
    QFile original(referenceSchema());
    QVERIFY(original.open(QIODevice::ReadOnly));
    QByteArray schema = original.readAll();
    schema.replace("<xs:pattern value=\"[0-9][0-9][0-9][0-9][0-9]\" />", "<xs:pattern value=\"0[0-9][0-9][0-9][0-9]\" />");
    QFile copy(schemaFileIn(strict.path()));
    QVERIFY(copy.open(QIODevice::WriteOnly));
    copy.write(schema);
    copy.close();
    QVERIFY(QFile::copy(QDir(ReferenceDir).filePath(QStringLiteral("xmldsig-stub.xsd")),
                        QDir(strict.path()).filePath(QStringLiteral("xmldsig-stub.xsd"))));
    const Fixture f = standard();
    QVERIFY(errorOf<ConversionError>([&] { makeFatturaPA(f.seller, f.buyer, f.invoice(), f.transmissionNumber, schemaFileIn(strict.path()), f.typedIn); })
                .contains(QStringLiteral("'39100'")));
    FatturaPA made;
    QCOMPARE(errorOf<ConversionError>([&] { made = makeFatturaPA(f.seller, f.buyer, f.invoice(), f.transmissionNumber, bundledSchemaFile(), f.typedIn); }),
             QString());
    QCOMPARE(made.xml, invoice.xml);
}

void TestEInvoice::savedOnceUnderItsName()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const FatturaPA invoice = build(standard());
    QString path;
    QCOMPARE(errorOf<ConversionError>([&] { path = saveFatturaPA(invoice, dir.path()); }), QString());
    QCOMPARE(path, QDir(dir.path()).filePath(QStringLiteral("IT01234567897_00042.xml")));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), invoice.xml);
    f.close();

    // The same transmission number again: the file that may have gone out stays.
    Fixture other = standard();
    other.header.nr = QStringLiteral("18");
    const FatturaPA second = build(other);
    QCOMPARE(errorOf<ConversionError>([&] { saveFatturaPA(second, dir.path()); }),
             QStringLiteral("Die Datei '%1' gibt es schon: ihre Übertragungsnummer ist vergeben. Bitte in den "
                            "Firmendaten eine neue Übertragungsnummer eintragen.")
                 .arg(QDir::toNativeSeparators(path)));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), invoice.xml);

    const QString nowhere = QDir(dir.path()).filePath(QStringLiteral("fehlt"));
    QVERIFY(errorOf<ConversionError>([&] { saveFatturaPA(invoice, nowhere); }).startsWith(QStringLiteral("Die Datei '")));
}

void TestEInvoice::prefill_data()
{
    QTest::addColumn<QString>("name2");
    QTest::addColumn<QString>("piva");
    QTest::addColumn<QString>("adresse");
    // vatCountry|vatNumber|fiscalCode|street|houseNumber|cap|town|province|firstName|lastName|country|recipientCode|kind
    QTest::addColumn<QString>("expected");

    QTest::newRow("demo customer, CR LF") << QStringLiteral("Jürgen Müller") << QStringLiteral("00000000101")
                                          << QStringLiteral("Lindenstraße 12\r\n39990 Blumenau")
                                          << QStringLiteral("IT|00000000101||Lindenstraße|12|39990|Blumenau||Jürgen|Müller|IT|0000000|it_firma");
    QTest::newRow("country prefix, province, LF") << QStringLiteral("Marco Bernardi") << QStringLiteral("IT01234567890")
                                                  << QStringLiteral("Via delle Camelie 7\n39100 Bozen (BZ)")
                                                  << QStringLiteral("IT|01234567890||Via delle Camelie|7|39100|Bozen|BZ|Marco|Bernardi|IT|0000000|it_firma");
    QTest::newRow("blanks in the VAT number, province in small letters")
        << QStringLiteral("Maria De Luca") << QStringLiteral("IT 012 345 678 90") << QStringLiteral("Via Roma, 5/A\r\n39012 Meran (bz)")
        << QStringLiteral("IT|01234567890||Via Roma|5/A|39012|Meran|BZ|Maria|De Luca|IT|0000000|it_firma");
    // The country comes from the VAT number, the postcode as that country writes it.
    QTest::newRow("foreign VAT number, postcode of four digits")
        << QStringLiteral("Anton") << QStringLiteral("ATU12345678") << QStringLiteral("Maria-Theresien-Straße 3\r\nA-6020 Innsbruck")
        << QStringLiteral("AT|U12345678||Maria-Theresien-Straße|3|6020|Innsbruck||Anton||AT|XXXXXXX|eu_firma");
    QTest::newRow("a personal fiscal code in the VAT field")
        << QString() << QStringLiteral("hlnkth70e41a952q") << QStringLiteral("Promenade 3\r\n39012 Meran")
        << QStringLiteral("IT||HLNKTH70E41A952Q|Promenade|3|39012|Meran||||IT|0000000|it_privat");
    QTest::newRow("unknown shape kept for the user")
        << QString() << QStringLiteral(" P.IVA 0123 ") << QStringLiteral("Am Kirchplatz\r\nBozen")
        << QStringLiteral("IT|P.IVA 0123||Am Kirchplatz|||||||IT|0000000|it_firma");
    QTest::newRow("a line for the attention of comes first")
        << QString() << QString() << QStringLiteral("z. Hd. Frau Käthe Öhlinger\r\nPromenade 3\r\n39992 Grünwiesen")
        << QStringLiteral("IT|||Promenade|3|39992|Grünwiesen||||IT|0000000|it_firma");
    QTest::newRow("country after the town, blank lines")
        << QString() << QString() << QStringLiteral("Weg 1\r\n\r\n39000 Ort\r\nItalien\r\n")
        << QStringLiteral("IT|||Weg|1|39000|Ort||||IT|0000000|it_firma");
    QTest::newRow("only the town") << QString() << QString() << QStringLiteral("39040 Auer (BZ)")
                                   << QStringLiteral("IT|||||39040|Auer|BZ|||IT|0000000|it_firma");
    QTest::newRow("nothing") << QString() << QString() << QString() << QStringLiteral("IT||||||||||IT|0000000|it_firma");
}

void TestEInvoice::prefill()
{
    QFETCH(QString, name2);
    QFETCH(QString, piva);
    QFETCH(QString, adresse);
    QFETCH(QString, expected);
    const Buyer b = buyerFromCustomer(QStringLiteral(" Kunde "), name2, piva, adresse);
    const QStringList got{b.vatCountry, b.vatNumber, b.fiscalCode, b.street, b.houseNumber, b.cap, b.town,
                          b.province, b.firstName, b.lastName, b.country, b.recipientCode, customerKindCode(b.kind)};
    QCOMPARE(got.join(QLatin1Char('|')), expected);
    QCOMPARE(b.name, QStringLiteral("Kunde"));
    QCOMPARE(b.owner, name2.trimmed());
    QVERIFY(!b.isPerson);
}

void TestEInvoice::settingsChecks_data()
{
    QTest::addColumn<QString>("check");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("error");   // empty: accepted

    const QString iban = QStringLiteral("Das Feld „IBAN“ enthält mit '%1' keine gültige IBAN: die Prüfziffern passen nicht dazu. "
                                        "Bitte die IBAN vom Kontoauszug abschreiben.");
    QTest::newRow("IBAN") << "iban" << "IT60X0542811101000000123456" << QString();
    QTest::newRow("IBAN in groups, small letters") << "iban" << "it60 x054 2811 1010 0000 0123 456" << QString();
    QTest::newRow("IBAN of another country") << "iban" << "DE89370400440532013000" << QString();
    QTest::newRow("IBAN, check digits off by one") << "iban" << "IT61X0542811101000000123456"
                                                   << iban.arg(QStringLiteral("IT61X0542811101000000123456"));
    QTest::newRow("IBAN, two characters swapped") << "iban" << "IT60X0542811101000000124356"
                                                  << iban.arg(QStringLiteral("IT60X0542811101000000124356"));
    QTest::newRow("IBAN too short") << "iban" << "IT60X054"
                                    << QStringLiteral("Das Feld „IBAN“ ist keine IBAN (Ländercode, 2 Prüfziffern, 11 bis 30 "
                                                      "Buchstaben und Ziffern), nicht 'IT60X054'.");
    const QString cap = QStringLiteral("Das Feld „PLZ (CAP)“ muss aus 5 Ziffern bestehen, nicht '%1'.");
    QTest::newRow("CAP") << "cap" << "00145" << QString();
    QTest::newRow("CAP of four") << "cap" << "3910" << cap.arg(QStringLiteral("3910"));
    QTest::newRow("CAP with a letter") << "cap" << "3910A" << cap.arg(QStringLiteral("3910A"));
    QTest::newRow("CAP with a blank") << "cap" << "39100 " << cap.arg(QStringLiteral("39100 "));
    const QString vat = QStringLiteral("Das Feld „MwSt.-Nummer (Partita IVA)“ muss für Italien aus 11 Ziffern bestehen, nicht '%1'.");
    QTest::newRow("VAT number") << "vat IT" << "01234567897" << QString();
    QTest::newRow("VAT number of ten") << "vat IT" << "0123456789" << vat.arg(QStringLiteral("0123456789"));
    QTest::newRow("VAT number with the country") << "vat IT" << "IT01234567897" << vat.arg(QStringLiteral("IT01234567897"));
    QTest::newRow("Austrian VAT number") << "vat AT" << "U12345678" << QString();
    QTest::newRow("foreign VAT number with a dash") << "vat CH" << "U-1234"
                                                    << QStringLiteral("Das Feld „MwSt.-Nummer (Partita IVA)“ darf nur aus "
                                                                      "Buchstaben und Ziffern bestehen (höchstens 28), nicht 'U-1234'.");
    QTest::newRow("province") << "province" << "BZ" << QString();
    QTest::newRow("province in small letters") << "province" << "Bz"
                                               << QStringLiteral("Das Feld „Provinz“ muss aus zwei Großbuchstaben bestehen (z. B. BZ), nicht 'Bz'.");
    QTest::newRow("fiscal code of a person") << "fiscal" << "HLNKTH70E41A952K" << QString();
    QTest::newRow("fiscal code of a business") << "fiscal" << "01234567897" << QString();
    QTest::newRow("fiscal code of 12") << "fiscal" << "012345678901"
                                       << QStringLiteral("Das Feld „Steuernummer (Codice fiscale)“ muss aus 11 Ziffern oder 16 "
                                                         "Großbuchstaben und Ziffern bestehen, nicht '012345678901'.");
    // Made-up numbers whose check digit is right, and one digit off.
    const QString vatDigit = QStringLiteral("Das Feld „MwSt.-Nummer (Partita IVA)“ enthält mit '%1' keine gültige "
                                            "Partita IVA: die letzte Ziffer ist nicht die Prüfziffer der anderen. "
                                            "Bitte die Nummer noch einmal mit einem Beleg vergleichen.");
    QTest::newRow("VAT number, check digit 0") << "vat IT" << "00000000190" << QString();
    QTest::newRow("VAT number, doubled digit over 9") << "vat IT" << "09876543217" << QString();
    QTest::newRow("VAT number, check digit off by one") << "vat IT" << "01234567898" << vatDigit.arg(QStringLiteral("01234567898"));
    QTest::newRow("VAT number, two digits swapped") << "vat IT" << "10234567897" << vatDigit.arg(QStringLiteral("10234567897"));
    const QString euForm = QStringLiteral("Das Feld „MwSt.-Nummer (Partita IVA)“ muss für AT die Form der dortigen "
                                          "MwSt.-Nummern haben, ohne den Ländercode (z. B. U12345678), nicht '%1'.");
    QTest::newRow("Austrian VAT number without its U") << "vat AT" << "12345678" << euForm.arg(QStringLiteral("12345678"));
    QTest::newRow("Austrian VAT number with its country") << "vat AT" << "ATU12345678" << euForm.arg(QStringLiteral("ATU12345678"));
    QTest::newRow("Dutch VAT number") << "vat NL" << "123456789B01" << QString();
    QTest::newRow("Swiss number, no EU form") << "vat CH" << "CHE123456789" << QString();
    const QString cfLetter = QStringLiteral("Das Feld „Steuernummer (Codice fiscale)“ enthält mit '%1' keinen gültigen "
                                            "Codice fiscale: der letzte Buchstabe ist nicht das Kontrollzeichen der "
                                            "anderen. Bitte den Code noch einmal mit der Tessera sanitaria oder einem "
                                            "Beleg vergleichen.");
    QTest::newRow("fiscal code of a person, omocode") << "fiscal" << "GRBJSF60A01A95NQ" << QString();
    QTest::newRow("fiscal code, check letter wrong") << "fiscal" << "HLNKTH70E41A952Q" << cfLetter.arg(QStringLiteral("HLNKTH70E41A952Q"));
    QTest::newRow("fiscal code, one letter changed") << "fiscal" << "HLNKTX70E41A952K" << cfLetter.arg(QStringLiteral("HLNKTX70E41A952K"));
    QTest::newRow("fiscal code of a business, check digit wrong")
        << "fiscal" << "01234567890"
        << QStringLiteral("Das Feld „Steuernummer (Codice fiscale)“ enthält mit '01234567890' keinen gültigen Codice "
                          "fiscale: die letzte Ziffer ist nicht die Prüfziffer der anderen. Bitte die Nummer noch "
                          "einmal mit einem Beleg vergleichen.");
    QTest::newRow("e-mail") << "email" << "info@rosengarten.it" << QString();
    QTest::newRow("e-mail without domain") << "email" << "info@rosengarten"
                                           << QStringLiteral("Das Feld „E-Mail“ ist keine E-Mail-Adresse (name@beispiel.it), nicht 'info@rosengarten'.");
    QTest::newRow("e-mail with a blank") << "email" << "in fo@rosengarten.it"
                                         << QStringLiteral("Das Feld „E-Mail“ ist keine E-Mail-Adresse (name@beispiel.it), nicht 'in fo@rosengarten.it'.");
    QTest::newRow("transmission number") << "transmission" << "A1b2C" << QString();
    QTest::newRow("transmission number with a dash") << "transmission" << "A-1"
                                                     << QStringLiteral("Das Feld „Übertragungsnummer“ muss aus 1 bis 5 Ziffern oder Buchstaben bestehen, nicht 'A-1'.");
    QTest::newRow("tax regime") << "regime" << "RF19" << QString();
    QTest::newRow("tax regime withdrawn") << "regime" << "RF03"
                                          << QStringLiteral("Das Feld „Steuerregime“ muss ein Code von RF01 bis RF19 sein (RF03 gibt es nicht mehr), nicht 'RF03'.");
    QTest::newRow("BIC") << "bic" << "CRBZIT2B107" << QString();
    QTest::newRow("BIC of 9") << "bic" << "CRBZIT2B1"
                              << QStringLiteral("Das Feld „BIC“ ist kein BIC (8 oder 11 Großbuchstaben und Ziffern), nicht 'CRBZIT2B1'.");
    QTest::newRow("recipient code") << "recipient" << "M5UXCR1" << QString();
    QTest::newRow("recipient code in small letters") << "recipient" << "m5uxcr1"
                                                     << QStringLiteral("Das Feld „Empfängercode (Codice destinatario)“ muss aus 7 "
                                                                       "Großbuchstaben oder Ziffern bestehen (0000000 ohne eigenen Code), nicht 'm5uxcr1'.");
}

void TestEInvoice::settingsChecks()
{
    QFETCH(QString, check);
    QFETCH(QString, value);
    QFETCH(QString, error);
    const QHash<QString, std::function<void()>> checks{
        {QStringLiteral("iban"), [&] { checkIban(field::Iban, value); }},
        {QStringLiteral("cap"), [&] { checkCap(field::Cap, value); }},
        {QStringLiteral("vat IT"), [&] { checkVatNumber(field::VatNumber, QStringLiteral("IT"), value); }},
        {QStringLiteral("vat AT"), [&] { checkVatNumber(field::VatNumber, QStringLiteral("AT"), value); }},
        {QStringLiteral("vat CH"), [&] { checkVatNumber(field::VatNumber, QStringLiteral("CH"), value); }},
        {QStringLiteral("vat NL"), [&] { checkVatNumber(field::VatNumber, QStringLiteral("NL"), value); }},
        {QStringLiteral("province"), [&] { checkProvince(field::Province, value); }},
        {QStringLiteral("fiscal"), [&] { checkFiscalCode(field::FiscalCode, value); }},
        {QStringLiteral("email"), [&] { checkEmail(field::Email, value); }},
        {QStringLiteral("transmission"), [&] { checkTransmissionNumber(field::TransmissionNumber, value); }},
        {QStringLiteral("regime"), [&] { checkTaxRegime(field::TaxRegime, value); }},
        {QStringLiteral("bic"), [&] { checkBic(field::Bic, value); }},
        {QStringLiteral("recipient"), [&] { checkRecipientCode(field::RecipientCode, value); }},
    };
    QVERIFY(checks.contains(check));
    QCOMPARE(errorOf<ConversionError>(checks.value(check)), error);
}

void TestEInvoice::followingTransmissionNumber_data()
{
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("next");   // empty: refused

    QTest::newRow("plain") << "00001" << "00002";
    QTest::newRow("carry") << "00009" << "00010";
    QTest::newRow("digits and letters count apart") << "A00Z9" << "A01A0";
    QTest::newRow("small letters") << "b0z" << "b1a";
    QTest::newRow("a short one grows") << "99" << "100";
    QTest::newRow("letters grow") << "Z" << "AA";
    QTest::newRow("five nines") << "99999" << "";
    QTest::newRow("five Zs") << "ZZZZZ" << "";
}

void TestEInvoice::followingTransmissionNumber()
{
    QFETCH(QString, number);
    QFETCH(QString, next);
    QString got;
    const QString error = errorOf<ConversionError>([&] { got = einvoice::followingTransmissionNumber(number); });
    if (next.isEmpty()) {
        QCOMPARE(error, QStringLiteral("Die Übertragungsnummer '%1' lässt sich nicht weiterzählen: bitte in den "
                                       "Firmendaten eine neue eintragen, die noch nicht verwendet wurde.")
                            .arg(number));
    } else {
        QCOMPARE(error, QString());
        QCOMPARE(got, next);
    }
}


void TestEInvoice::guessedKind_data()
{
    QTest::addColumn<QString>("country");
    QTest::addColumn<QString>("vatCountry");
    QTest::addColumn<QString>("vatNumber");
    QTest::addColumn<QString>("fiscalCode");
    QTest::addColumn<bool>("isPerson");
    QTest::addColumn<QString>("kind");

    QTest::newRow("Italian VAT number") << "IT" << "IT" << "01234567897" << "" << false << "it_firma";
    QTest::newRow("sole trader: a person with a VAT number") << "IT" << "IT" << "01234567897" << "" << true << "it_firma";
    QTest::newRow("person in Italy") << "IT" << "IT" << "" << "HLNKTH70E41A952K" << true << "it_privat";
    QTest::newRow("personal fiscal code alone") << "IT" << "IT" << "" << "HLNKTH70E41A952K" << false << "it_privat";
    QTest::newRow("association: a fiscal code of 11 digits") << "IT" << "IT" << "" << "00000000190" << false << "it_firma";
    QTest::newRow("Austrian VAT number") << "AT" << "AT" << "U12345678" << "" << false << "eu_firma";
    QTest::newRow("EU VAT number, address not filled in yet") << "IT" << "DE" << "123456789" << "" << false << "eu_firma";
    QTest::newRow("in Germany without VAT number") << "DE" << "IT" << "" << "" << true << "eu_privat";
    QTest::newRow("San Marino") << "SM" << "SM" << "12345" << "" << false << "san_marino";
    QTest::newRow("Vatican") << "VA" << "VA" << "" << "" << false << "vatikan";
    QTest::newRow("Switzerland") << "CH" << "CH" << "CHE123456789" << "" << false << "drittland";
    QTest::newRow("outside the EU, a person") << "US" << "IT" << "" << "" << true << "drittland";
}

void TestEInvoice::guessedKind()
{
    QFETCH(QString, country);
    QFETCH(QString, vatCountry);
    QFETCH(QString, vatNumber);
    QFETCH(QString, fiscalCode);
    QFETCH(bool, isPerson);
    QFETCH(QString, kind);
    Buyer b;
    b.country = country;
    b.vatCountry = vatCountry;
    b.vatNumber = vatNumber;
    b.fiscalCode = fiscalCode;
    b.isPerson = isPerson;
    QCOMPARE(customerKindCode(guessedCustomerKind(b)), kind);
}

void TestEInvoice::customerKinds_data()
{
    QTest::addColumn<Fixture>("fixture");
    QTest::addColumn<QString>("lineRate");     // what new lines start with: "percent nature"
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QStringList>("absent");

    const QString transmission = QStringLiteral("FatturaElettronicaHeader/DatiTrasmissione/");
    const QString customer = QStringLiteral("FatturaElettronicaHeader/CessionarioCommittente/");
    const auto leaf = [](const QString &path, const QString &value) { return path + QLatin1Char('=') + value; };

    QTest::newRow("Italian business") << standard() << "10 "
        << QStringList{leaf(transmission + "CodiceDestinatario", "M5UXCR1"),
                       leaf(customer + "DatiAnagrafici/IdFiscaleIVA/IdPaese", "IT"),
                       leaf(customer + "Sede/CAP", "39040"), leaf(customer + "Sede/Comune", "Auer"),
                       leaf(customer + "Sede/Provincia", "BZ")}
        << QStringList{transmission + "PECDestinatario"};
    {
        Fixture f = standard();
        f.buyer = consumer();
        f.buyer.pec.clear();
        QTest::newRow("Italian private person") << f << "10 "
            << QStringList{leaf(transmission + "CodiceDestinatario", "0000000"),
                           leaf(customer + "DatiAnagrafici/CodiceFiscale", "HLNKTH70E41A952K")}
            << QStringList{customer + "DatiAnagrafici/IdFiscaleIVA", transmission + "PECDestinatario"};
    }
    {
        // The Austrian postcode has four digits: it goes before the town.
        Fixture f = withCustomer(CustomerKind::EuBusiness, "AT", "AT", "U12345678", "6020", "Innsbruck");
        f.buyer.recipientCode = QStringLiteral("0000000");   // what an Italian customer had: abroad it does not count
        f.buyer.pec = QStringLiteral("bernardi@pec.it");
        QTest::newRow("EU business") << f << "0 N3.2"
            << QStringList{leaf(transmission + "CodiceDestinatario", "XXXXXXX"),
                           leaf(customer + "DatiAnagrafici/IdFiscaleIVA/IdPaese", "AT"),
                           leaf(customer + "DatiAnagrafici/IdFiscaleIVA/IdCodice", "U12345678"),
                           leaf(customer + "Sede/CAP", "00000"), leaf(customer + "Sede/Comune", "6020 Innsbruck"),
                           leaf(customer + "Sede/Nazione", "AT")}
            << QStringList{customer + "Sede/Provincia", transmission + "PECDestinatario"};
    }
    {
        // The revenue agency's rule for a foreign consumer: the country and eleven nines.
        Fixture f = withCustomer(CustomerKind::EuPerson, "DE", "IT", "", "80331", "München");
        f.buyer.isPerson = true;
        QTest::newRow("EU private person") << f << "10 "
            << QStringList{leaf(transmission + "CodiceDestinatario", "XXXXXXX"),
                           leaf(customer + "DatiAnagrafici/IdFiscaleIVA/IdPaese", "DE"),
                           leaf(customer + "DatiAnagrafici/IdFiscaleIVA/IdCodice", "99999999999"),
                           leaf(customer + "DatiAnagrafici/Anagrafica/Cognome", "Bernardi"),
                           leaf(customer + "Sede/CAP", "00000"), leaf(customer + "Sede/Comune", "80331 München")}
            << QStringList{customer + "Sede/Provincia", customer + "DatiAnagrafici/CodiceFiscale"};
    }
    QTest::newRow("outside the EU") << withCustomer(CustomerKind::OutsideEu, "CH", "CH", "CHE123456789", "8001", "Zürich")
                                    << "0 N3.1"
        << QStringList{leaf(transmission + "CodiceDestinatario", "XXXXXXX"),
                       leaf(customer + "DatiAnagrafici/IdFiscaleIVA/IdCodice", "CHE123456789"),
                       leaf(customer + "Sede/CAP", "00000"), leaf(customer + "Sede/Comune", "8001 Zürich"),
                       leaf(customer + "Sede/Nazione", "CH")}
        << QStringList{customer + "Sede/Provincia"};
    QTest::newRow("San Marino") << withCustomer(CustomerKind::SanMarino, "SM", "SM", "12345", "47890", "San Marino")
                                << "0 N3.3"
        << QStringList{leaf(transmission + "CodiceDestinatario", "2R4GTO8"),
                       leaf(customer + "DatiAnagrafici/IdFiscaleIVA/IdPaese", "SM"),
                       leaf(customer + "Sede/CAP", "00000"), leaf(customer + "Sede/Comune", "47890 San Marino"),
                       leaf(customer + "Sede/Nazione", "SM")}
        << QStringList{customer + "Sede/Provincia"};
    {
        Fixture f = withCustomer(CustomerKind::Vatican, "VA", "IT", "", "00120", "Città del Vaticano");
        QTest::newRow("Vatican") << f << "0 N3.1"
            << QStringList{leaf(transmission + "CodiceDestinatario", "XXXXXXX"),
                           leaf(customer + "DatiAnagrafici/IdFiscaleIVA/IdPaese", "VA"),
                           leaf(customer + "Sede/Comune", "00120 Città del Vaticano"),
                           leaf(customer + "Sede/Nazione", "VA")}
            << QStringList{customer + "Sede/Provincia"};
    }
}

void TestEInvoice::customerKinds()
{
    QFETCH(Fixture, fixture);
    QFETCH(QString, lineRate);
    QFETCH(QStringList, present);
    QFETCH(QStringList, absent);
    const VatRate rate = defaultLineRate(fixture.buyer.kind);
    QCOMPARE(QString::number(rate.percent) + QLatin1Char(' ') + rate.nature, lineRate);
    FatturaPA invoice;
    QCOMPARE(errorOf<ConversionError>([&] { invoice = build(fixture); }), QString());
    QCOMPARE(errorOf<ConversionError>([&] { validateFatturaPA(invoice.xml, referenceSchema()); }), QString());
    const QStringList all = leaves(invoice.xml);
    for (const QString &leaf : present)
        QVERIFY2(all.contains(leaf), qPrintable(leaf + QStringLiteral("\n") + all.join(QLatin1Char('\n'))));
    for (const QString &path : absent)
        for (const QString &leaf : all)
            QVERIFY2(!leaf.startsWith(path), qPrintable(leaf));
}

void TestEInvoice::kindRefusals_data()
{
    QTest::addColumn<Fixture>("fixture");
    QTest::addColumn<QString>("error");

    Fixture f = standard();
    f.buyer.recipientCode = QStringLiteral("XXXXXXX");
    QTest::newRow("XXXXXXX for a customer in Italy")
        << f << QStringLiteral("Kunde: Das Feld „Empfängercode (Codice destinatario)“ darf für einen Kunden in Italien "
                               "nicht XXXXXXX sein, dieser Code gilt nur für Kunden im Ausland: bitte den Code des "
                               "Kunden oder 0000000 eintragen.");
    f = withCustomer(CustomerKind::OutsideEu, "CH", "IT", "01234567897", "8001", "Zürich");
    QTest::newRow("XXXXXXX with an Italian VAT number")
        << f << QStringLiteral("Kunde: Eine italienische MwSt.-Nummer (Feld „Land der MwSt.-Nummer“ IT) passt nicht zum "
                               "Empfängercode XXXXXXX für Kunden im Ausland: bitte die Kundenart „Firma in Italien“ "
                               "wählen oder die MwSt.-Nummer des anderen Staates eintragen.");
    f = withCustomer(CustomerKind::EuBusiness, "AT", "AT", "", "6020", "Innsbruck");
    QTest::newRow("EU business without VAT number")
        << f << QStringLiteral("Kunde: Das Feld „MwSt.-Nummer (Partita IVA)“ ist leer: für eine Firma in einem anderen "
                               "EU-Staat ist es nötig, bitte ihre MwSt.-Nummer eintragen (oder die Kundenart „Privatperson "
                               "in einem anderen EU-Staat“ wählen).");
    f = withCustomer(CustomerKind::EuBusiness, "AT", "CH", "CHE123456789", "6020", "Innsbruck");
    QTest::newRow("EU business with a VAT number from outside the EU")
        << f << QStringLiteral("Kunde: Das Feld „Land der MwSt.-Nummer“ muss für eine Firma in einem anderen EU-Staat "
                               "dessen Ländercode sein (z. B. AT), nicht 'CH'.");
    f = withCustomer(CustomerKind::EuBusiness, "AT", "AT", "U1234567", "6020", "Innsbruck");
    QTest::newRow("EU VAT number of the wrong form")
        << f << QStringLiteral("Kunde: Das Feld „MwSt.-Nummer (Partita IVA)“ muss für AT die Form der dortigen "
                               "MwSt.-Nummern haben, ohne den Ländercode (z. B. U12345678), nicht 'U1234567'.");
    f = withCustomer(CustomerKind::EuBusiness, "CH", "AT", "U12345678", "8001", "Zürich");
    QTest::newRow("country not of the kind")
        << f << QStringLiteral("Kunde: Das Feld „Land“ passt mit 'CH' nicht zur Kundenart „Firma in einem anderen "
                               "EU-Staat“: bitte das Land oder die Kundenart berichtigen.");
    f = standard();
    f.buyer.country = QStringLiteral("AT");
    QTest::newRow("Italian kind with an address abroad")
        << f << QStringLiteral("Kunde: Das Feld „Land“ passt mit 'AT' nicht zur Kundenart „Firma in Italien“: bitte "
                               "das Land oder die Kundenart berichtigen.");
    f = withCustomer(CustomerKind::EuBusiness, "AT", "AT", "U12345678", "A/6020", "Innsbruck");
    QTest::newRow("postcode abroad with a slash")
        << f << QStringLiteral("Kunde: Das Feld „PLZ (CAP)“ darf nur aus Buchstaben, Ziffern, Leerzeichen und "
                               "Bindestrichen bestehen (höchstens 10), nicht 'A/6020'.");
    f = standard();
    f.buyer = consumer();
    f.buyer.fiscalCode.clear();
    f.buyer.vatNumber = QStringLiteral("01234567897");
    QTest::newRow("Italian private person without fiscal code")
        << f << QStringLiteral("Kunde: Das Feld „Steuernummer (Codice fiscale)“ ist leer: für eine Privatperson in "
                               "Italien ist es nötig, bitte eintragen.");
}

void TestEInvoice::kindRefusals()
{
    QFETCH(Fixture, fixture);
    QFETCH(QString, error);
    QCOMPARE(errorOf<ConversionError>([&] { build(fixture); }), error);
}

void TestEInvoice::exchangeSystemChecks_data()
{
    QTest::addColumn<Fixture>("fixture");
    QTest::addColumn<QString>("error");

    Fixture f = standard();
    f.header.datum = QStringLiteral("02.03.2004");
    QTest::newRow("date after today (00403)")
        << f << QStringLiteral("Rechnung: Das Feld „Datum“ liegt mit '02.03.2004' nach dem heutigen Tag (01.03.2004); "
                               "das Austauschsystem nimmt keine Rechnung mit einem Datum in der Zukunft an: bitte das "
                               "Datum berichtigen oder die Rechnung an ihrem Tag schicken.");
    f = standard();
    f.header.nr = QStringLiteral("A/B");
    QTest::newRow("invoice number without a digit (00425)")
        << f << QStringLiteral("Rechnung: Das Feld „Nr“ enthält mit 'A/B' keine Ziffer; das Austauschsystem nimmt eine "
                               "Rechnungsnummer nur mit mindestens einer Ziffer an: bitte die Nummer berichtigen.");
    const QString vatDigit = QStringLiteral("%1: Das Feld „MwSt.-Nummer (Partita IVA)“ enthält mit '%2' keine gültige "
                                            "Partita IVA: die letzte Ziffer ist nicht die Prüfziffer der anderen. Bitte "
                                            "die Nummer noch einmal mit einem Beleg vergleichen.");
    f = standard();
    f.seller.vatNumber = QStringLiteral("01234567890");
    QTest::newRow("business's VAT number (00301)") << f << vatDigit.arg(QStringLiteral("Firmendaten"), f.seller.vatNumber);
    f = standard();
    f.buyer.vatNumber = QStringLiteral("00000000202");
    QTest::newRow("customer's VAT number (00305)") << f << vatDigit.arg(QStringLiteral("Kunde"), f.buyer.vatNumber);
    const QString cfLetter = QStringLiteral("%1: Das Feld „Steuernummer (Codice fiscale)“ enthält mit '%2' keinen "
                                            "gültigen Codice fiscale: der letzte Buchstabe ist nicht das Kontrollzeichen "
                                            "der anderen. Bitte den Code noch einmal mit der Tessera sanitaria oder "
                                            "einem Beleg vergleichen.");
    f = standard();
    f.seller.fiscalCode = QStringLiteral("GRBJSF60A01A952X");
    QTest::newRow("business's fiscal code (00302)") << f << cfLetter.arg(QStringLiteral("Firmendaten"), f.seller.fiscalCode);
    f = standard();
    f.buyer = consumer();
    f.buyer.fiscalCode = QStringLiteral("HLNKTH70E41A952Q");
    QTest::newRow("customer's fiscal code (00306)") << f << cfLetter.arg(QStringLiteral("Kunde"), f.buyer.fiscalCode);
    f = standard();
    f.buyer.fiscalCode = QStringLiteral("00000000202");
    QTest::newRow("customer's fiscal code of 11 digits (00306)")
        << f << QStringLiteral("Kunde: Das Feld „Steuernummer (Codice fiscale)“ enthält mit '00000000202' keinen "
                               "gültigen Codice fiscale: die letzte Ziffer ist nicht die Prüfziffer der anderen. Bitte "
                               "die Nummer noch einmal mit einem Beleg vergleichen.");
    f = standard();
    f.buyer = consumer();
    f.buyer.pec = QStringLiteral("sdi01@PEC.fatturapa.it");
    QTest::newRow("the exchange system's own PEC (00330)")
        << f << QStringLiteral("Kunde: Das Feld „PEC-Adresse“ enthält mit 'sdi01@PEC.fatturapa.it' eine Adresse des "
                               "Austauschsystems (SdI) selbst, das an sich selbst nichts zustellt: bitte die PEC-Adresse "
                               "des Kunden eintragen oder das Feld leeren.");
    f = standard();
    // 5400 lines of 1000 characters: more than the 5 MB the exchange system takes.
    f.lines.clear();
    for (int i = 0; i < 5400; ++i)
        f.lines.append({QString(1000, QLatin1Char('x')), QStringLiteral("1"), QStringLiteral("1")});
    QTest::newRow("file over 5 MB (00003)")
        << f << QStringLiteral("Die elektronische Rechnung wäre 6,6 MB groß, das Austauschsystem nimmt höchstens 5 MB "
                               "an: bitte die Rechnung auf mehrere aufteilen oder die Beschreibungen kürzen.");
    for (const char16_t c : {u'\u007F', u'\u0085', u'\u009F'}) {
        f = standard();
        // Inside the text: at its ends a blank would be trimmed, and U+0085 is one.
        f.lines[0].beschreibung = QStringLiteral("Ro") + QChar(c) + QStringLiteral("sen");
        QTest::addRow("control character U+%04X", unsigned(c))
            << f << QStringLiteral("Zeile 1: Das Feld „Beschreibung“ enthält das Zeichen U+%1, das die elektronische "
                                   "Rechnung hier nicht erlaubt: bitte ersetzen.")
                        .arg(QStringLiteral("%1").arg(unsigned(c), 4, 16, QLatin1Char('0')).toUpper());
    }
    f = standard();
    f.seller.email = QStringLiteral("info@rosengarten");
    QTest::newRow("business's e-mail, which the file does not hold") << f << QString();
}

void TestEInvoice::exchangeSystemChecks()
{
    QFETCH(Fixture, fixture);
    QFETCH(QString, error);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QCOMPARE(errorOf<ConversionError>([&] {
                 saveFatturaPA(makeFatturaPA(fixture.seller, fixture.buyer, fixture.invoice(), fixture.transmissionNumber,
                                             referenceSchema(), fixture.typedIn, Today),
                               dir.path());
             }),
             error);
    // Refused means no file at all.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), error.isEmpty() ? 1 : 0);
}

QTEST_GUILESS_MAIN(TestEInvoice)
#include "tst_einvoice.moc"
