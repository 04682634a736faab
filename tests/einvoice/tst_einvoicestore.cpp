// Where the e-invoice's data is kept: the business's and the customers' data
// in the database file, the invoice read from its year's tables, and the
// export that counts the transmission number up only for a file written.

#include "errorof.h"
#include "samples.h"
#include "testdb.h"
#include "tool.h"
#include "xmllint.h"

#include "data/amount.h"
#include "data/sqlitedatabase.h"
#include "data/errors.h"
#include "data/invoicerepository.h"
#include "data/years.h"
#include "einvoice/checks.h"
#include "einvoice/exportrecord.h"
#include "einvoice/store.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

using namespace einvoice;

Q_DECLARE_METATYPE(Seller)
Q_DECLARE_METATYPE(Buyer)

namespace {

// The user's regional settings, which the lines' numbers were typed in.
const Separators TypedIn{QLatin1Char(','), QLatin1Char('.')};

using sample::company;
using sample::consumer;
using sample::nursery;

QStringList fieldsOf(const Seller &s)
{
    return {s.businessName, s.owner, s.street, s.cap, s.town, s.province, s.country, s.vatCountry, s.vatNumber,
            s.fiscalCode, s.taxRegime, s.telephone, s.email, s.bankName, s.iban, s.bic, s.paymentLine,
            s.nextTransmissionNumber, s.registrationNumber, s.siteCode};
}

QStringList fieldsOf(const Buyer &b)
{
    return {b.name, b.owner, b.isPerson ? QStringLiteral("person") : QStringLiteral("company"), b.firstName,
            b.lastName, b.vatCountry, b.vatNumber, b.fiscalCode, b.recipientCode, b.pec, b.street, b.houseNumber,
            b.cap, b.town, b.province, b.country, customerKindCode(b.kind)};
}

// A file as the program knows it, with the customer the buyers belong to
// (id 5, so that an id is not confused with a row number) and a second one.
const QString Customers = QStringLiteral(
    "INSERT INTO kunde (id, name, adresse, piva, name2) VALUES "
    "(5, 'Vivai Bernardi S.n.c.', 'Via delle Camelie 7' || char(13, 10) || '39040 Auer (BZ)', 'IT00000000208', "
    "'Marco Bernardi'), "
    "(6, 'Käthe Öhlinger', 'Promenade 3/B' || char(13, 10) || '39012 Meran (BZ)', 'HLNKTH70E41A952K', '')");

// Every row of a table, every column, to show that a refusal changed nothing.
QString contentOf(const testdb::Fixture &db, const QString &table)
{
    const QString columns = db.scalar(QStringLiteral("SELECT group_concat('quote(' || name || ')', ' || '','' || ') "
                                                     "FROM (SELECT name FROM pragma_table_info('%1') ORDER BY cid)")
                                          .arg(table));
    return db.scalar(QStringLiteral("SELECT group_concat(r, char(10)) FROM (SELECT %1 AS r FROM %2 ORDER BY 1)")
                         .arg(columns, table));
}

QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
}

// A clock before every number the tests store: the stored next number decides.
const ExportOptions StoredNumberFirst{.again = false, .now = QDateTime(QDate(2024, 1, 1), QTime(0, 0), QTimeZone::utc())};

QString storedNumber(const testdb::Fixture &db)
{
    return db.scalar(QStringLiteral("SELECT naechste_uebertragung FROM firma"));
}

} // namespace

class TestEInvoiceStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void createBusinessTablesMakesWhatIsMissing_data()
    {
        QTest::addColumn<QString>("drop");
        QTest::newRow("a file of the classic years") << QStringLiteral("DROP TABLE firma; DROP TABLE kunde_efattura");
        QTest::newRow("without firma") << QStringLiteral("DROP TABLE firma");
        QTest::newRow("without kunde_efattura") << QStringLiteral("DROP TABLE kunde_efattura");
        QTest::newRow("both there") << QString();
    }

    void createBusinessTablesMakesWhatIsMissing()
    {
        QFETCH(QString, drop);
        testdb::Fixture db(Customers);
        if (!drop.isEmpty())
            db.exec(drop);
        SqliteDatabase c;
        c.open(db.file());
        QCOMPARE(hasBusinessTables(c), drop.isEmpty());
        createBusinessTables(c);
        QVERIFY(hasBusinessTables(c));
        // Made as the schema file makes them, whichever was missing.
        testdb::Fixture fresh;
        const QString columns = QStringLiteral("SELECT group_concat(name || ' ' || type || ' ' || pk || ' ' || "
                                               "coalesce(dflt_value, '-')) FROM pragma_table_info('%1')");
        for (const QString &table : {QStringLiteral("firma"), QStringLiteral("kunde_efattura")})
            QCOMPARE(db.scalar(columns.arg(table)), fresh.scalar(columns.arg(table)));
        // One empty business row with the defaults, however often it runs.
        createBusinessTables(c);
        QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM firma")), QStringLiteral("1"));
        const std::optional<Seller> seller = loadSeller(c);
        QVERIFY(seller.has_value());
        QCOMPARE(fieldsOf(*seller), fieldsOf(Seller()));
        QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM kunde_efattura")), QStringLiteral("0"));
    }

    void createBusinessTablesIsOneTransaction()
    {
        // kunde_efattura cannot be made under a name an index already has:
        // firma, made first, must be gone again.
        testdb::Fixture db(QStringLiteral("DROP TABLE firma; DROP TABLE kunde_efattura; "
                                          "CREATE INDEX kunde_efattura ON kunde (name)"));
        SqliteDatabase c;
        c.open(db.file());
        const QString error = errorOf([&] { createBusinessTables(c); });
        QVERIFY2(error.startsWith(QStringLiteral("Die Tabellen für die Firmendaten konnten nicht angelegt werden")),
                 qPrintable(error));
        QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM sqlite_schema WHERE name = 'firma'")), QStringLiteral("0"));
        QVERIFY(!hasBusinessTables(c));
        QVERIFY(!loadSeller(c).has_value());
    }

    void sellerRoundTrip_data()
    {
        QTest::addColumn<Seller>("seller");
        QTest::newRow("every field") << nursery();
        Seller least = nursery();
        least.owner = least.fiscalCode = least.telephone = least.email = least.bankName = least.iban = least.bic =
            least.paymentLine = QString();
        QTest::newRow("only what the e-invoice needs") << least;
        Seller abroad = nursery();
        abroad.country = QStringLiteral("AT");
        abroad.province = QString();
        abroad.vatCountry = QStringLiteral("AT");
        abroad.vatNumber = QStringLiteral("U12345678");
        abroad.taxRegime = QStringLiteral("RF19");
        abroad.nextTransmissionNumber = QStringLiteral("A00Z9");
        QTest::newRow("not the defaults") << abroad;
    }

    void sellerRoundTrip()
    {
        QFETCH(Seller, seller);
        testdb::Fixture db;
        SqliteDatabase c;
        c.open(db.file());
        saveSeller(c, nursery());
        saveSeller(c, seller); // replaces, in the one row
        QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM firma")), QStringLiteral("1"));
        QCOMPARE(fieldsOf(loadSeller(c).value()), fieldsOf(seller));
        // Another connection, as the next start of the program sees it.
        SqliteDatabase again;
        again.open(db.file());
        QCOMPARE(fieldsOf(loadSeller(again).value()), fieldsOf(seller));
    }

    void sellerWithoutTable()
    {
        testdb::Fixture db(QStringLiteral("DROP TABLE firma"));
        SqliteDatabase c;
        c.open(db.file());
        QVERIFY(!loadSeller(c).has_value());
        QCOMPARE(errorOf([&] { saveSeller(c, nursery()); }), NoBusinessData);
    }

    void sellerRefusedStoresNothing_data()
    {
        QTest::addColumn<Seller>("seller");
        QTest::addColumn<QString>("field");
        Seller s = nursery();
        s.iban = QStringLiteral("IT61 X054 2811 1010 0000 0123 456"); // one check digit off
        QTest::newRow("IBAN check digits") << s << field::Iban;
        s = nursery();
        s.cap = QStringLiteral("3910");
        QTest::newRow("CAP of 4 digits") << s << field::Cap;
        s = nursery();
        s.vatNumber = QStringLiteral("0123456789");
        QTest::newRow("VAT number of 10 digits") << s << field::VatNumber;
        s = nursery();
        s.email = QStringLiteral("info@rosengarten");
        QTest::newRow("e-mail without domain") << s << field::Email;
    }

    void sellerRefusedStoresNothing()
    {
        QFETCH(Seller, seller);
        QFETCH(QString, field);
        testdb::Fixture db;
        SqliteDatabase c;
        c.open(db.file());
        saveSeller(c, nursery());
        const QString before = contentOf(db, QStringLiteral("firma"));
        const QString error = errorOf([&] { saveSeller(c, seller); });
        QVERIFY2(error.startsWith(QLatin1String("Firmendaten: ")) && error.contains(field), qPrintable(error));
        QCOMPARE(contentOf(db, QStringLiteral("firma")), before);
        QCOMPARE(fieldsOf(loadSeller(c).value()), fieldsOf(nursery()));
    }

    void registrationRoundTrip_data()
    {
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("site");
        QTest::newRow("Italian") << "IT-21-1234" << "BZ-004";
        QTest::newRow("German, with the state") << "DE-BY1-12345" << "";
        QTest::newRow("twenty characters") << "NL-12345678901234567" << "Standort 2";
        QTest::newRow("none") << "" << "";
    }

    void registrationRoundTrip()
    {
        QFETCH(QString, number);
        QFETCH(QString, site);
        testdb::Fixture db;
        SqliteDatabase c;
        c.open(db.file());
        Seller seller = nursery();
        seller.registrationNumber = QStringLiteral("IT-99-1");
        seller.siteCode = QStringLiteral("alt");
        saveSeller(c, seller);
        seller.registrationNumber = number;
        seller.siteCode = site;
        saveSeller(c, seller); // replaces what was there, empty too
        SqliteDatabase again;
        again.open(db.file());
        const Seller stored = loadSeller(again).value();
        QCOMPARE(stored.registrationNumber, number);
        QCOMPARE(stored.siteCode, site);
        QCOMPARE(fieldsOf(stored), fieldsOf(seller));
    }

    void malformedRegistrationNumberRefused_data()
    {
        QTest::addColumn<QString>("number");
        QTest::newRow("small letters") << "it-21-1234";
        QTest::newRow("no hyphen") << "IT21-1234";
        QTest::newRow("nothing after the hyphen") << "IT-";
        QTest::newRow("blanks") << "IT 21 1234";
        QTest::newRow("blank in the number") << "IT-21 1234";
        QTest::newRow("one letter") << "I-21-1234";
        QTest::newRow("digits first") << "21-IT-1234";
        QTest::newRow("over 20 characters") << "IT-21-1234-5678-90123";
    }

    void malformedRegistrationNumberRefused()
    {
        QFETCH(QString, number);
        testdb::Fixture db;
        SqliteDatabase c;
        c.open(db.file());
        saveSeller(c, nursery());
        const QString before = contentOf(db, QStringLiteral("firma"));
        Seller seller = nursery();
        seller.registrationNumber = number;
        seller.siteCode = QStringLiteral("BZ-004");
        const QString error = errorOf<ConversionError>([&] { saveSeller(c, seller); });
        QCOMPARE(error, QStringLiteral("Firmendaten: Das Feld „Registriernummer (RUOP)“ muss mit dem Ländercode in zwei "
                                       "Großbuchstaben und einem Bindestrich beginnen und darf höchstens 20 Zeichen ohne "
                                       "Leerzeichen haben, z. B. IT-21-1234, nicht '%1'.")
                              .arg(number));
        QCOMPARE(contentOf(db, QStringLiteral("firma")), before);
    }

    // A file whose upgrade was declined has no place for them: read empty,
    // stored only while empty, and then the rest goes in.
    void registrationWithoutItsColumns_data()
    {
        QTest::addColumn<QString>("drop");
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("site");
        QTest::addColumn<QString>("refusedField");
        QTest::newRow("neither column, nothing to keep") << "ruop_nr,standort" << "" << "" << "";
        QTest::newRow("neither column, a number") << "ruop_nr,standort" << "IT-21-1234" << "" << "Registriernummer (RUOP)";
        QTest::newRow("neither column, a site") << "ruop_nr,standort" << "" << "BZ-004" << "Standortcode";
        QTest::newRow("no site column, a number") << "standort" << "IT-21-1234" << "" << "";
        QTest::newRow("no site column, a site") << "standort" << "IT-21-1234" << "BZ-004" << "Standortcode";
    }

    void registrationWithoutItsColumns()
    {
        QFETCH(QString, drop);
        QFETCH(QString, number);
        QFETCH(QString, site);
        QFETCH(QString, refusedField);
        testdb::Fixture db;
        SqliteDatabase c;
        c.open(db.file());
        saveSeller(c, nursery());
        for (const QString &column : drop.split(QLatin1Char(',')))
            db.exec(QStringLiteral("ALTER TABLE firma DROP COLUMN %1").arg(column));
        SqliteDatabase older;
        older.open(db.file());
        QCOMPARE(loadSeller(older)->registrationNumber, QString());
        QCOMPARE(loadSeller(older)->siteCode, QString());

        const QString before = contentOf(db, QStringLiteral("firma"));
        Seller seller = nursery();
        seller.owner = QStringLiteral("Maria Gruber");
        seller.registrationNumber = number;
        seller.siteCode = site;
        const QString error = errorOf<EngineError>([&] { saveSeller(older, seller); });
        if (!refusedField.isEmpty()) {
            QVERIFY2(error.contains(QStringLiteral("keinen Platz für das Feld „%1“").arg(refusedField)), qPrintable(error));
            QVERIFY2(error.contains(QStringLiteral("Aktualisierung der Datenbank")), qPrintable(error));
            QCOMPARE(contentOf(db, QStringLiteral("firma")), before);
            return;
        }
        QCOMPARE(error, QString());
        const Seller stored = loadSeller(older).value();
        QCOMPARE(stored.owner, QStringLiteral("Maria Gruber"));
        QCOMPARE(stored.registrationNumber, number);
    }

    void buyerRoundTrip_data()
    {
        QTest::addColumn<qint64>("customer");
        QTest::addColumn<Buyer>("buyer");
        QTest::newRow("company with a recipient code") << qint64(5) << company();
        QTest::newRow("person with a PEC address") << qint64(6) << consumer();
    }

    void buyerRoundTrip()
    {
        QFETCH(qint64, customer);
        QFETCH(Buyer, buyer);
        testdb::Fixture db(Customers);
        SqliteDatabase c;
        c.open(db.file());
        QVERIFY(!loadBuyer(c, customer).has_value());
        saveBuyer(c, customer, customer == 5 ? consumer() : company());
        saveBuyer(c, customer, buyer); // replaces
        QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM kunde_efattura")), QStringLiteral("1"));
        // The name and owner are the customer's as `kunde` holds them.
        Buyer expected = buyer;
        expected.name = db.scalar(QStringLiteral("SELECT name FROM kunde WHERE id = %1").arg(customer));
        expected.owner = db.scalar(QStringLiteral("SELECT name2 FROM kunde WHERE id = %1").arg(customer));
        QCOMPARE(fieldsOf(loadBuyer(c, customer).value()), fieldsOf(expected));
        QCOMPARE(fieldsOf(buyerOfCustomer(c, customer)), fieldsOf(expected));
        QVERIFY(!loadBuyer(c, customer == 5 ? 6 : 5).has_value());

        forgetBuyer(c, customer);
        QVERIFY(!loadBuyer(c, customer).has_value());
        QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM kunde_efattura")), QStringLiteral("0"));
    }

    void buyerNameFollowsTheCustomer()
    {
        testdb::Fixture db(Customers);
        SqliteDatabase c;
        c.open(db.file());
        saveBuyer(c, 5, company());
        db.exec(QStringLiteral("UPDATE kunde SET name = 'Vivai Bernardi S.r.l.' WHERE id = 5"));
        QCOMPARE(loadBuyer(c, 5).value().name, QStringLiteral("Vivai Bernardi S.r.l."));
    }

    void buyerRefusedStoresNothing_data()
    {
        QTest::addColumn<qint64>("customer");
        QTest::addColumn<Buyer>("buyer");
        QTest::addColumn<QString>("error");
        Buyer b = company();
        b.recipientCode = QStringLiteral("ABC");
        QTest::newRow("recipient code of 3") << qint64(5) << b << field::RecipientCode;
        b = company();
        b.vatNumber = QString();
        QTest::newRow("neither VAT number nor fiscal code") << qint64(5) << b << QStringLiteral("Weder MwSt.-Nummer");
        QTest::newRow("customer not in kunde") << qint64(99) << company() << QStringLiteral("gibt es in der Datenbank nicht mehr");
    }

    void buyerRefusedStoresNothing()
    {
        QFETCH(qint64, customer);
        QFETCH(Buyer, buyer);
        QFETCH(QString, error);
        testdb::Fixture db(Customers);
        SqliteDatabase c;
        c.open(db.file());
        saveBuyer(c, 5, consumer());
        const QString before = contentOf(db, QStringLiteral("kunde_efattura"));
        const QString message = errorOf([&] { saveBuyer(c, customer, buyer); });
        QVERIFY2(message.contains(error), qPrintable(message));
        QCOMPARE(contentOf(db, QStringLiteral("kunde_efattura")), before);
    }

    void buyerWithoutTable()
    {
        testdb::Fixture db(Customers + QStringLiteral("; DROP TABLE kunde_efattura"));
        SqliteDatabase c;
        c.open(db.file());
        QVERIFY(!loadBuyer(c, 5).has_value());
        forgetBuyer(c, 5); // nothing to forget is no error
        QCOMPARE(errorOf([&] { saveBuyer(c, 5, company()); }), NoBusinessData);
        // The export still starts from what the customer's row tells.
        QCOMPARE(buyerOfCustomer(c, 5).vatNumber, QStringLiteral("00000000208"));
    }

    void buyerOfCustomerWithoutStoredData_data()
    {
        QTest::addColumn<qint64>("customer");
        QTest::addColumn<Buyer>("expected");
        // What buyerFromCustomer makes of the rows in Customers.
        Buyer b;
        b.name = QStringLiteral("Vivai Bernardi S.n.c.");
        b.owner = QStringLiteral("Marco Bernardi");
        b.firstName = QStringLiteral("Marco");
        b.lastName = QStringLiteral("Bernardi");
        b.vatNumber = QStringLiteral("00000000208");
        b.street = QStringLiteral("Via delle Camelie");
        b.houseNumber = QStringLiteral("7");
        b.cap = QStringLiteral("39040");
        b.town = QStringLiteral("Auer");
        b.province = QStringLiteral("BZ");
        QTest::newRow("company") << qint64(5) << b;
        b = Buyer();
        b.name = QStringLiteral("Käthe Öhlinger");
        b.kind = CustomerKind::ItalianPerson;   // a personal fiscal code alone
        b.fiscalCode = QStringLiteral("HLNKTH70E41A952K");
        b.street = QStringLiteral("Promenade");
        b.houseNumber = QStringLiteral("3/B");
        b.cap = QStringLiteral("39012");
        b.town = QStringLiteral("Meran");
        b.province = QStringLiteral("BZ");
        QTest::newRow("consumer") << qint64(6) << b;
    }

    void buyerOfCustomerWithoutStoredData()
    {
        QFETCH(qint64, customer);
        QFETCH(Buyer, expected);
        testdb::Fixture db(Customers);
        SqliteDatabase c;
        c.open(db.file());
        QCOMPARE(fieldsOf(buyerOfCustomer(c, customer)), fieldsOf(expected));
        QCOMPARE(errorOf([&] { buyerOfCustomer(c, 7); }),
                 QStringLiteral("Den Kunden mit der Nummer 7 gibt es in der Datenbank nicht."));
    }

    void customerKindStoredOrGuessed_data()
    {
        QTest::addColumn<bool>("kindColumn");
        QTest::addColumn<QString>("storedCode");   // written over what saveBuyer stored; empty: left
        QTest::addColumn<QString>("kind");
        // A consumer, kept as a business by the user's choice.
        QTest::newRow("stored kind") << true << QString() << "it_firma";
        QTest::newRow("stored code not known: guessed") << true << "mond" << "it_privat";
        QTest::newRow("no stored kind yet: guessed") << true << "NULL" << "it_privat";
        QTest::newRow("file without the column: guessed") << false << QString() << "it_privat";
    }

    void customerKindStoredOrGuessed()
    {
        QFETCH(bool, kindColumn);
        QFETCH(QString, storedCode);
        QFETCH(QString, kind);
        testdb::Fixture db(Customers + (kindColumn ? QString() : QStringLiteral("; ALTER TABLE kunde_efattura DROP COLUMN kundenart")));
        SqliteDatabase c;
        c.open(db.file());
        Buyer chosen = consumer();
        chosen.kind = CustomerKind::ItalianBusiness;
        saveBuyer(c, 6, chosen);
        if (kindColumn)
            QCOMPARE(db.scalar(QStringLiteral("SELECT kundenart FROM kunde_efattura WHERE kunde_id = 6")),
                     QStringLiteral("it_firma"));
        if (storedCode == QLatin1String("NULL"))
            db.exec(QStringLiteral("UPDATE kunde_efattura SET kundenart = NULL"));
        else if (!storedCode.isEmpty())
            db.exec(QStringLiteral("UPDATE kunde_efattura SET kundenart = '%1'").arg(storedCode));
        QCOMPARE(customerKindCode(loadBuyer(c, 6).value().kind), kind);
        QCOMPARE(customerKindCode(customerKindOf(c, 6)), kind);
        // Everything else is read as stored.
        Buyer expected = chosen;
        expected.name = QStringLiteral("Käthe Öhlinger");
        expected.owner = QString();
        expected.kind = customerKindOfCode(kind);
        QCOMPARE(fieldsOf(loadBuyer(c, 6).value()), fieldsOf(expected));
    }

    void customerKindOfARowAlone_data()
    {
        QTest::addColumn<QString>("piva");
        QTest::addColumn<QString>("adresse");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("recipientCode");
        QTest::newRow("Italian VAT number") << "IT00000000208" << "Via Roma 1\n39100 Bozen (BZ)" << "it_firma" << "0000000";
        QTest::newRow("personal fiscal code") << "HLNKTH70E41A952K" << "Promenade 3\n39012 Meran" << "it_privat" << "0000000";
        QTest::newRow("Austrian VAT number") << "ATU12345678" << "Maria-Theresien-Straße 3\nA-6020 Innsbruck" << "eu_firma"
                                             << "XXXXXXX";
        QTest::newRow("San Marino") << "SM12345" << "Via III Settembre 1\n47891 Dogana" << "san_marino" << "2R4GTO8";
    }

    void customerKindOfARowAlone()
    {
        QFETCH(QString, piva);
        QFETCH(QString, adresse);
        QFETCH(QString, kind);
        QFETCH(QString, recipientCode);
        testdb::Fixture db(QStringLiteral("INSERT INTO kunde (id, name, adresse, piva) VALUES (9, 'Kunde', '%1', '%2')")
                               .arg(adresse, piva));
        SqliteDatabase c;
        c.open(db.file());
        QCOMPARE(customerKindCode(customerKindOf(c, 9)), kind);
        QCOMPARE(buyerOfCustomer(c, 9).recipientCode, recipientCode);
        QCOMPARE(errorOf([&] { customerKindOf(c, 10); }), QStringLiteral("Den Kunden mit der Nummer 10 gibt es in der Datenbank nicht."));
    }

    void loadInvoiceReadsTheYear()
    {
        // Lines of two invoices interleaved, ids out of the order of typing,
        // and a second header with the same number.
        testdb::Fixture db(Customers + QStringLiteral(
            "; INSERT INTO rechnungsdaten2003 (id, nr, datum, kundennummer) VALUES "
            "(3, '7', '02.05.2003', '5'), (4, '8', '03.05.2003', '6'), (9, '7', '09.09.2003', '6');"
            "INSERT INTO rechnung2003 (id, rechnungsnummer, beschreibung, anzahl, einzelpreis) VALUES "
            "(20, '7', 'Zweite', '2', '1,50'), (11, '7', 'Erste', NULL, '120'), (15, '8', 'Andere', '1', '1'),"
            "(30, '7', 'Dritte', '', NULL);"
            "INSERT INTO rechnungsdaten2004 (nr, datum, kundennummer) VALUES ('7', '01.01.2004', '5')"));
        SqliteDatabase c;
        c.open(db.file());
        const Invoice invoice = InvoiceRepository(c, TypedIn).loadByNumber(2003, QStringLiteral("7"));
        QCOMPARE(invoice.header.customerId(), qint64(5));
        QCOMPARE(invoice.header.nr, QStringLiteral("7"));
        QCOMPARE(invoice.header.datum, QStringLiteral("02.05.2003"));
        QStringList lines;
        for (const InvoiceLine &l : invoice.lines)
            lines << l.beschreibung + QLatin1Char('|') + l.anzahl + QLatin1Char('|') + l.einzelpreis;
        QCOMPARE(lines, (QStringList{QStringLiteral("Erste||120"), QStringLiteral("Zweite|2|1,50"),
                                     QStringLiteral("Dritte||")}));
        // 2002's tables carry no year in their names.
        db.exec(QStringLiteral("INSERT INTO rechnungsdaten (nr, datum, kundennummer) VALUES ('1', '05.05.2002', 'x')"));
        const Invoice first = InvoiceRepository(c, TypedIn).loadByNumber(2002, QStringLiteral("1"));
        QCOMPARE(first.header.datum, QStringLiteral("05.05.2002"));
        QCOMPARE(first.header.customerId(), qint64(0)); // no customer number
        QVERIFY(first.lines.isEmpty());
    }

    void loadInvoiceRefuses_data()
    {
        QTest::addColumn<int>("year");
        QTest::addColumn<QString>("nr");
        QTest::addColumn<QString>("error");
        QTest::newRow("year without tables") << 2011 << QStringLiteral("1")
                                             << QStringLiteral("Für das Jahr 2011 gibt es keine Rechnungen in der Datenbank.");
        QTest::newRow("number not in the year") << 2004 << QStringLiteral("12")
                                                << QStringLiteral("Die Rechnung Nr. 12 gibt es im Jahr 2004 nicht.");
        QTest::newRow("number of another year") << 2003 << QStringLiteral("1")
                                                << QStringLiteral("Die Rechnung Nr. 1 gibt es im Jahr 2003 nicht.");
        QTest::newRow("number with a blank") << 2004 << QStringLiteral("1 ")
                                             << QStringLiteral("Die Rechnung Nr. 1  gibt es im Jahr 2004 nicht.");
    }

    void loadInvoiceRefuses()
    {
        QFETCH(int, year);
        QFETCH(QString, nr);
        QFETCH(QString, error);
        testdb::Fixture db(QStringLiteral("INSERT INTO rechnungsdaten2004 (nr, datum) VALUES ('1', '01.01.2004')"));
        SqliteDatabase c;
        c.open(db.file());
        QCOMPARE(errorOf([&] { InvoiceRepository(c, TypedIn).loadByNumber(year, nr); }), error);
    }

    void exportCountsTheNumberUp()
    {
        testdb::Fixture db(Customers);
        QTemporaryDir out;
        SqliteDatabase c;
        c.open(db.file());
        saveSeller(c, nursery());
        const QList<InvoiceLine> lines{{QStringLiteral("Rosen"), QStringLiteral("25"), QStringLiteral("3,80")}};
        const InvoiceHeader header{QStringLiteral("17"), QStringLiteral("08.01.2004")};
        const QString first =
            exportInvoice(c, nursery(), company(), {header, {}, lines}, 2004, out.path(), TypedIn, StoredNumberFirst).path;
        QCOMPARE(first, QDir(out.path()).filePath(QStringLiteral("IT01234567897_00041.xml")));
        QCOMPARE(xmllintError(first), QString());
        QCOMPARE(storedNumber(db), QStringLiteral("00042"));
        // The number is the stored one, not the copy a window still holds.
        ExportOptions again = StoredNumberFirst;
        again.again = true;
        const QString second =
            exportInvoice(c, nursery(), company(), {header, {}, lines}, 2004, out.path(), TypedIn, again).path;
        QCOMPARE(QFileInfo(second).fileName(), QStringLiteral("IT01234567897_00042.xml"));
        QCOMPARE(storedNumber(db), QStringLiteral("00043"));
        QCOMPARE(filesIn(out.path()).size(), 2);
    }

    void refusedExportKeepsTheNumber_data()
    {
        QTest::addColumn<QString>("setUp");     // SQL on the file before the export
        QTest::addColumn<QString>("existing");  // a file already in the folder
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("error");
        QTest::newRow("line without description") << QString() << QString() << QString()
                                                  << QStringLiteral("Zeile 1: Die Beschreibung fehlt");
        QTest::newRow("exported before")
            << QStringLiteral("INSERT INTO efattura_exporte (jahr, nr, datei, uebertragung, zeit) VALUES "
                              "(2004, '17', 'IT01234567897_0X6SI.xml', '0X6SI', '2026-12-11T08:30:00')")
            << QString() << QStringLiteral("Rosen")
            << QStringLiteral("Diese Rechnung wurde am 11.12.2026 um 08:30 Uhr als IT01234567897_0X6SI.xml exportiert.");
        QTest::newRow("recording fails after the file")
            << QStringLiteral("CREATE TRIGGER no_count BEFORE INSERT ON efattura_exporte BEGIN SELECT RAISE(ABORT, 'gesperrt'); END")
            << QString() << QStringLiteral("Rosen")
            << QStringLiteral("Der Export kann nicht in der Liste der elektronischen Rechnungen vermerkt werden");
        QTest::newRow("number cannot count on")
            << QStringLiteral("UPDATE firma SET naechste_uebertragung = 'ZZZZZ'") << QString() << QStringLiteral("Rosen")
            << QStringLiteral("lässt sich nicht weiterzählen");
        QTest::newRow("stored number not one")
            << QStringLiteral("UPDATE firma SET naechste_uebertragung = '0-1'") << QString() << QStringLiteral("Rosen")
            << field::TransmissionNumber;
        QTest::newRow("counting up fails after the file")
            << QStringLiteral("CREATE TRIGGER no_count BEFORE UPDATE ON firma BEGIN SELECT RAISE(ABORT, 'gesperrt'); END")
            << QString() << QStringLiteral("Rosen")
            << QStringLiteral("Die Übertragungsnummer der elektronischen Rechnung kann nicht weitergezählt werden");
        QTest::newRow("control character of C1") << QString() << QString() << QStringLiteral("Ro\u0085sen")
                                                 << QStringLiteral("Zeile 1: Das Feld „Beschreibung“ enthält das Zeichen U+0085");
        QTest::newRow("no business row") << QStringLiteral("DELETE FROM firma") << QString() << QStringLiteral("Rosen")
                                         << NoBusinessData;
        QTest::newRow("no firma table") << QStringLiteral("DROP TABLE firma") << QString() << QStringLiteral("Rosen")
                                        << NoBusinessData;
    }

    void refusedExportKeepsTheNumber()
    {
        QFETCH(QString, setUp);
        QFETCH(QString, existing);
        QFETCH(QString, description);
        QFETCH(QString, error);
        testdb::Fixture db(Customers);
        QTemporaryDir out;
        SqliteDatabase c;
        c.open(db.file());
        saveSeller(c, nursery());
        if (!setUp.isEmpty())
            db.exec(setUp);
        if (!existing.isEmpty()) {
            QFile f(QDir(out.path()).filePath(existing));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("sent before");
        }
        const QStringList filesBefore = filesIn(out.path());
        const QString numberBefore = setUp.startsWith(QLatin1String("DROP")) ? QString() : storedNumber(db);
        const QList<InvoiceLine> lines{{description, QStringLiteral("25"), QStringLiteral("3,80")}};
        const bool recorded = !setUp.startsWith(QLatin1String("DROP"));
        const QString recordBefore = recorded ? contentOf(db, QStringLiteral("efattura_exporte")) : QString();
        const QString message = errorOf([&] {
            exportInvoice(c, nursery(), company(), {{QStringLiteral("17"), QStringLiteral("08.01.2004")}, {}, lines},
                          2004, out.path(), TypedIn, StoredNumberFirst);
        });
        QVERIFY2(message.contains(error), qPrintable(message));
        QCOMPARE(filesIn(out.path()), filesBefore);
        if (recorded)
            QCOMPARE(contentOf(db, QStringLiteral("efattura_exporte")), recordBefore);
        if (!numberBefore.isEmpty())
            QCOMPARE(storedNumber(db), numberBefore);
        // Nothing is left open: the next store goes through.
        db.exec(QStringLiteral("DROP TRIGGER IF EXISTS no_count"));
        if (!setUp.startsWith(QLatin1String("DROP")))
            saveSeller(c, nursery());
    }

    // Another program writing the file: the number cannot be counted up, so
    // no file may stay behind under it.
    void exportWhileAnotherProgramWritesLeavesNothing()
    {
        testdb::Fixture db(Customers);
        QTemporaryDir out;
        SqliteDatabase c;
        c.open(db.file(), 0); // no waiting: the lock shows at once
        saveSeller(c, nursery());
        SqliteDatabase other;
        testdb::openOther(other, db.file());
        other.exec("BEGIN IMMEDIATE");
        const QList<InvoiceLine> lines{{QStringLiteral("Rosen"), QStringLiteral("25"), QStringLiteral("3,80")}};
        const QString message = errorOf([&] {
            exportInvoice(c, nursery(), company(), {{QStringLiteral("17"), QStringLiteral("08.01.2004")}, {}, lines},
                          2004, out.path(), TypedIn);
        });
        other.exec("ROLLBACK");
        other.close();
        QVERIFY2(message.startsWith(QStringLiteral("Die Übertragungsnummer der elektronischen Rechnung kann nicht "
                                                   "weitergezählt werden: "))
                     && message.contains(QLatin1String("gesperrt")),
                 qPrintable(message));
        QCOMPARE(filesIn(out.path()), QStringList());
        QCOMPARE(storedNumber(db), QStringLiteral("00041"));
    }

    void everyDemoInvoiceExports()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("rechungen.mdb"));
        QCOMPARE(runTool({QStringLiteral("demo"), file}).exitCode, 0);
        const QString out = dir.filePath(QStringLiteral("fatturapa"));
        QVERIFY(QDir().mkdir(out));
        SqliteDatabase c;
        c.open(file);
        const Seller seller = loadSeller(c).value();
        int exported = 0;
        for (const YearTables &year : findYears(c)) {
            const QString numbers = testdb::scalar(
                file, QStringLiteral("SELECT group_concat(nr, '|') FROM (SELECT nr FROM %1 ORDER BY id)").arg(year.headerTable));
            QVERIFY(!numbers.isEmpty());
            for (const QString &nr : numbers.split(QLatin1Char('|'))) {
                const QString context = QStringLiteral("%1 Nr. %2").arg(year.year).arg(nr);
                QString path;
                const QString error = errorOf([&] {
                    const Invoice invoice = InvoiceRepository(c, TypedIn).loadByNumber(year.year, nr);
                    // Every customer with an invoice has stored data, complete.
                    const Buyer buyer = loadBuyer(c, invoice.header.customerId()).value();
                    path = exportInvoice(c, seller, buyer, invoice, year.year, out, TypedIn, StoredNumberFirst).path;
                });
                QVERIFY2(error.isEmpty(), qPrintable(context + QStringLiteral(": ") + error));
                QCOMPARE(xmllintError(path), QString());
                ++exported;
            }
        }
        const long long headers = testdb::scalar(file, QStringLiteral(
            "SELECT (SELECT count(*) FROM rechnungsdaten) + (SELECT count(*) FROM rechnungsdaten2003) + "
            "(SELECT count(*) FROM rechnungsdaten2004)")).toLongLong();
        QVERIFY(exported >= headers);
        QCOMPARE(filesIn(out).size(), exported);
        // The demo's numbers start at 00001 and count on in base 36; each
        // file is in the record, under a number of its own.
        QCOMPARE(testdb::scalar(file, QStringLiteral("SELECT naechste_uebertragung FROM firma")),
                 transmissionNumberOf(exported + 1).value());
        QCOMPARE(testdb::scalar(file, QStringLiteral("SELECT count(DISTINCT uebertragung) FROM efattura_exporte")).toInt(),
                 exported);
    }
};

QTEST_GUILESS_MAIN(TestEInvoiceStore)
#include "tst_einvoicestore.moc"
