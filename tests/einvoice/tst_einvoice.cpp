// The Italian electronic invoice: the checks on the business's and the
// customer's data, the customer pre-fill, and the validation against the
// published schema.

#include "data/amount.h"
#include "data/errors.h"
#include "einvoice/checks.h"
#include "einvoice/prefill.h"
#include "einvoice/validation.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

#include <functional>

using namespace einvoice;

namespace {

const QString ReferenceDir = QStringLiteral(FATTURAPA_REFERENCE_DIR);

QString referenceSchema() { return schemaFileIn(ReferenceDir); }

Separators german() { return {QLatin1Char(','), QLatin1Char('.')}; }

template <class F>
QString errorOf(F &&f)
{
    try {
        f();
    } catch (const ConversionError &e) {
        return e.message();
    }
    return QString();
}

} // namespace

class TestEInvoice : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { Separators::setCurrent(german()); }

    void referenceInvoicesPassTheValidator();
    void bundledSchemaIsThePublishedOne();
    void taxRegimesAreTheSchemas();

    void prefill_data();
    void prefill();
    void settingsChecks_data();
    void settingsChecks();
    void followingTransmissionNumber_data();
    void followingTransmissionNumber();
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
        QCOMPARE(errorOf([&] { validateFatturaPA(xml, referenceSchema()); }), QString());
        QCOMPARE(errorOf([&] { validateFatturaPA(xml, bundledSchemaFile()); }), QString());
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

void TestEInvoice::prefill_data()
{
    QTest::addColumn<QString>("name2");
    QTest::addColumn<QString>("piva");
    QTest::addColumn<QString>("adresse");
    // vatCountry|vatNumber|fiscalCode|street|houseNumber|cap|town|province|firstName|lastName
    QTest::addColumn<QString>("expected");

    QTest::newRow("demo customer, CR LF") << QStringLiteral("Jürgen Müller") << QStringLiteral("00000000101")
                                          << QStringLiteral("Lindenstraße 12\r\n39990 Blumenau")
                                          << QStringLiteral("IT|00000000101||Lindenstraße|12|39990|Blumenau||Jürgen|Müller");
    QTest::newRow("country prefix, province, LF") << QStringLiteral("Marco Bernardi") << QStringLiteral("IT01234567890")
                                                  << QStringLiteral("Via delle Camelie 7\n39100 Bozen (BZ)")
                                                  << QStringLiteral("IT|01234567890||Via delle Camelie|7|39100|Bozen|BZ|Marco|Bernardi");
    QTest::newRow("blanks in the VAT number, province in small letters")
        << QStringLiteral("Maria De Luca") << QStringLiteral("IT 012 345 678 90") << QStringLiteral("Via Roma, 5/A\r\n39012 Meran (bz)")
        << QStringLiteral("IT|01234567890||Via Roma|5/A|39012|Meran|BZ|Maria|De Luca");
    QTest::newRow("foreign VAT number, address left for the user")
        << QStringLiteral("Anton") << QStringLiteral("ATU12345678") << QStringLiteral("Maria-Theresien-Straße 3\r\nA-6020 Innsbruck")
        << QStringLiteral("AT|U12345678||Maria-Theresien-Straße|3||||Anton|");
    QTest::newRow("a personal fiscal code in the VAT field")
        << QString() << QStringLiteral("hlnkth70e41a952q") << QStringLiteral("Promenade 3\r\n39012 Meran")
        << QStringLiteral("IT||HLNKTH70E41A952Q|Promenade|3|39012|Meran|||");
    QTest::newRow("unknown shape kept for the user")
        << QString() << QStringLiteral(" P.IVA 0123 ") << QStringLiteral("Am Kirchplatz\r\nBozen")
        << QStringLiteral("IT|P.IVA 0123||Am Kirchplatz||||||");
    QTest::newRow("a line for the attention of comes first")
        << QString() << QString() << QStringLiteral("z. Hd. Frau Käthe Öhlinger\r\nPromenade 3\r\n39992 Grünwiesen")
        << QStringLiteral("IT|||Promenade|3|39992|Grünwiesen|||");
    QTest::newRow("country after the town, blank lines")
        << QString() << QString() << QStringLiteral("Weg 1\r\n\r\n39000 Ort\r\nItalien\r\n")
        << QStringLiteral("IT|||Weg|1|39000|Ort|||");
    QTest::newRow("only the town") << QString() << QString() << QStringLiteral("39040 Auer (BZ)")
                                   << QStringLiteral("IT|||||39040|Auer|BZ||");
    QTest::newRow("nothing") << QString() << QString() << QString() << QStringLiteral("IT|||||||||");
}

void TestEInvoice::prefill()
{
    QFETCH(QString, name2);
    QFETCH(QString, piva);
    QFETCH(QString, adresse);
    QFETCH(QString, expected);
    const Buyer b = buyerFromCustomer(QStringLiteral(" Kunde "), name2, piva, adresse);
    const QStringList got{b.vatCountry, b.vatNumber, b.fiscalCode, b.street, b.houseNumber,
                          b.cap, b.town, b.province, b.firstName, b.lastName};
    QCOMPARE(got.join(QLatin1Char('|')), expected);
    QCOMPARE(b.name, QStringLiteral("Kunde"));
    QCOMPARE(b.owner, name2.trimmed());
    QVERIFY(!b.isPerson);
    QCOMPARE(b.recipientCode, QStringLiteral("0000000"));
    QCOMPARE(b.country, QStringLiteral("IT"));
}

void TestEInvoice::settingsChecks_data()
{
    QTest::addColumn<QString>("check");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("error");   // empty: accepted

    const QString iban = QStringLiteral("Das Feld „IBAN“ ist keine gültige IBAN: die Prüfziffern stimmen nicht, nicht '%1'.");
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
    QTest::newRow("VAT number") << "vat IT" << "01234567890" << QString();
    QTest::newRow("VAT number of ten") << "vat IT" << "0123456789" << vat.arg(QStringLiteral("0123456789"));
    QTest::newRow("VAT number with the country") << "vat IT" << "IT01234567890" << vat.arg(QStringLiteral("IT01234567890"));
    QTest::newRow("Austrian VAT number") << "vat AT" << "U12345678" << QString();
    QTest::newRow("foreign VAT number with a dash") << "vat AT" << "U-1234"
                                                    << QStringLiteral("Das Feld „MwSt.-Nummer (Partita IVA)“ darf nur aus "
                                                                      "Buchstaben und Ziffern bestehen (höchstens 28), nicht 'U-1234'.");
    QTest::newRow("province") << "province" << "BZ" << QString();
    QTest::newRow("province in small letters") << "province" << "Bz"
                                               << QStringLiteral("Das Feld „Provinz“ muss aus zwei Großbuchstaben bestehen (z. B. BZ), nicht 'Bz'.");
    QTest::newRow("fiscal code of a person") << "fiscal" << "HLNKTH70E41A952Q" << QString();
    QTest::newRow("fiscal code of a business") << "fiscal" << "01234567890" << QString();
    QTest::newRow("fiscal code of 12") << "fiscal" << "012345678901"
                                       << QStringLiteral("Das Feld „Steuernummer (Codice fiscale)“ muss aus 11 Ziffern oder 16 "
                                                         "Großbuchstaben und Ziffern bestehen, nicht '012345678901'.");
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
        {QStringLiteral("province"), [&] { checkProvince(field::Province, value); }},
        {QStringLiteral("fiscal"), [&] { checkFiscalCode(field::FiscalCode, value); }},
        {QStringLiteral("email"), [&] { checkEmail(field::Email, value); }},
        {QStringLiteral("transmission"), [&] { checkTransmissionNumber(field::TransmissionNumber, value); }},
        {QStringLiteral("regime"), [&] { checkTaxRegime(field::TaxRegime, value); }},
        {QStringLiteral("bic"), [&] { checkBic(field::Bic, value); }},
        {QStringLiteral("recipient"), [&] { checkRecipientCode(field::RecipientCode, value); }},
    };
    QVERIFY(checks.contains(check));
    QCOMPARE(errorOf(checks.value(check)), error);
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
    const QString error = errorOf([&] { got = einvoice::followingTransmissionNumber(number); });
    if (next.isEmpty()) {
        QCOMPARE(error, QStringLiteral("Die Übertragungsnummer '%1' lässt sich nicht weiterzählen: bitte in den "
                                       "Firmendaten eine neue eintragen, die noch nicht verwendet wurde.")
                            .arg(number));
    } else {
        QCOMPARE(error, QString());
        QCOMPARE(got, next);
    }
}

QTEST_GUILESS_MAIN(TestEInvoice)
#include "tst_einvoice.moc"
