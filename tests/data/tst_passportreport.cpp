// The traceability list: which business customer got which plants, found by
// name or code over a period that may cross New Year, and its CSV file.

#include "errorof.h"
#include "plantdeliveries.h"
#include "testdb.h"

#include "data/csvexport.h"
#include "data/customerkind.h"
#include "data/errors.h"
#include "data/passportreport.h"
#include "data/sqlitedatabase.h"

#include <QTest>

Q_DECLARE_METATYPE(PassportSearch)

namespace {

const Separators Comma{QLatin1Char(','), QLatin1Char('.')};
const Separators Dot{QLatin1Char('.'), QLatin1Char(',')};

// The kind the file stores for each customer, as the program's lookup reads it.
CustomerKindLookup storedKinds(const testdb::Fixture &db)
{
    return [&db](qint64 id) {
        return customerKindOfCode(db.scalar(QStringLiteral("SELECT kundenart FROM kunde_efattura WHERE kunde_id = %1").arg(id)));
    };
}

QStringList shown(const QList<PassportDelivery> &deliveries)
{
    QStringList rows;
    for (const PassportDelivery &d : deliveries)
        rows << QStringList{d.date.toString(QStringLiteral("dd.MM.yyyy")), QString::number(d.year), d.noteNr,
                            d.customerName, d.botanicalName, d.traceabilityCode}
                    .join(QLatin1Char('|'));
    return rows;
}

const QString AnnaOlive = QStringLiteral("02.01.2004|2004|9|Giardini Anna S.r.l.|Olea europaea|OL-2004-118");
const QString AnnaLavender = QStringLiteral("02.01.2004|2004|9|Giardini Anna S.r.l.|Lavandula angustifolia|");
const QString AnnaLemon = QStringLiteral("02.01.2004|2004|10|Giardini Anna S.r.l.|Citrus limon|=1+1");
const QString AnnaOlive2003 = QStringLiteral("30.12.2003|2003|40|Giardini Anna S.r.l.|Olea europaea 'Leccino'|OL-2003-7");
const QString EdelweissOlive = QStringLiteral("15.01.2004|2004|3|Edelweiß GmbH|Olea europaea|OL-2004-118");
const QString AnnaOleander = QStringLiteral("31.01.2004|2004|5|Giardini Anna S.r.l.|Nerium oleander|NO-5");

} // namespace

class TestPassportReport : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void deliveries_data();
    void deliveries();
    void refusedPeriods_data();
    void refusedPeriods();
    void deliveryCarriesTheNote();
    void csvFile();
    void csvQuantity_data();
    void csvQuantity();
};

void TestPassportReport::deliveries_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<PassportSearch>("by");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected");

    const auto name = PassportSearch::BotanicalName;
    const auto code = PassportSearch::TraceabilityCode;
    // Lines by place within a note, notes numbered 9 before 10; the private
    // customer's note 2 of that day, the pot without a botanical name and
    // the note without a date are left out.
    QTest::newRow("every plant of January")
        << "01.01.2004" << "31.01.2004" << name << "  "
        << QStringList{AnnaOlive, AnnaLavender, AnnaLemon, EdelweissOlive, AnnaOleander};
    QTest::newRow("across New Year, two years' tables")
        << "30.12.2003" << "02.01.2004" << name << "olea europaea" << QStringList{AnnaOlive2003, AnnaOlive};
    QTest::newRow("the first and the last day belong to it")
        << "02.01.2004" << "15.01.2004" << name << "" << QStringList{AnnaOlive, AnnaLavender, AnnaLemon, EdelweissOlive};
    QTest::newRow("a day inside at either end") << "03.01.2004" << "14.01.2004" << name << "" << QStringList{};
    QTest::newRow("the soil of 2003 is no plant") << "01.01.2003" << "31.12.2003" << name << "" << QStringList{AnnaOlive2003};
    // The private customer and the one outside the EU got olives of the lot too.
    QTest::newRow("name in other case and blanks")
        << "01.01.2003" << "31.12.2004" << name << "  OLEA   europaea " << QStringList{AnnaOlive2003, AnnaOlive, EdelweissOlive};
    QTest::newRow("the genus alone") << "01.01.2003" << "31.12.2004" << name << "Olea"
                                     << QStringList{AnnaOlive2003, AnnaOlive, EdelweissOlive};
    QTest::newRow("the cultivar") << "01.01.2003" << "31.12.2004" << name << "olea europaea 'leccino'"
                                  << QStringList{AnnaOlive2003};
    QTest::newRow("part of a word finds nothing") << "01.01.2003" << "31.12.2004" << name << "ole" << QStringList{};
    QTest::newRow("the species without its genus finds nothing")
        << "01.01.2003" << "31.12.2004" << name << "europaea" << QStringList{};
    QTest::newRow("a code is no name") << "01.01.2003" << "31.12.2004" << name << "OL-2004-118" << QStringList{};
    QTest::newRow("code trimmed, any case") << "01.01.2003" << "31.12.2004" << code << " ol-2004-118 "
                                            << QStringList{AnnaOlive, EdelweissOlive};
    QTest::newRow("part of a code finds nothing") << "01.01.2003" << "31.12.2004" << code << "OL-2004" << QStringList{};
    QTest::newRow("a name is no code") << "01.01.2003" << "31.12.2004" << code << "Olea europaea" << QStringList{};
    QTest::newRow("every code: the lines without one too")
        << "01.01.2004" << "02.01.2004" << code << "" << QStringList{AnnaOlive, AnnaLavender, AnnaLemon};
    QTest::newRow("a customer no longer in the list")
        << "01.02.2004" << "29.02.2004" << code << "PD-1"
        << QStringList{QStringLiteral("01.02.2004|2004|6|Kunde '9' (nicht in der Kundenliste)|Prunus dulcis|PD-1")};
    QTest::newRow("a period of years without delivery tables") << "01.01.1990" << "31.12.2001" << name << "" << QStringList{};
}

void TestPassportReport::deliveries()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(PassportSearch, by);
    QFETCH(QString, text);
    QFETCH(QStringList, expected);
    const testdb::Fixture db(QString::fromUtf8(deliveries::PlantDeliveries));
    SqliteDatabase c;
    c.open(db.file());
    QCOMPARE(shown(passportDeliveries(c, Comma, {from, to, by, text}, storedKinds(db))), expected);
}

void TestPassportReport::refusedPeriods_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QString>("message");
    QTest::newRow("no such day") << "32.01.2004" << "31.01.2004"
                                 << "„32.01.2004“ ist als Beginn des Zeitraums kein gültiges Datum. Bitte im Format "
                                    "TT.MM.JJJJ eingeben, z. B. „01.03.2026“";
    QTest::newRow("written the other way round") << "01.01.2004" << "2004-01-31"
                                                 << "„2004-01-31“ ist als Ende des Zeitraums kein gültiges Datum. Bitte im "
                                                    "Format TT.MM.JJJJ eingeben, z. B. „01.03.2026“";
    QTest::newRow("no end") << "01.01.2004" << " "
                            << "Bitte beide Tage des Zeitraums eintragen, von und bis, im Format TT.MM.JJJJ";
    QTest::newRow("the end before the start")
        << "31.01.2004" << "30.01.2004"
        << "Der Zeitraum endet am 30.01.2004 vor seinem Beginn am 31.01.2004. Bitte das Ende auf den Beginn oder einen "
           "späteren Tag legen";
}

void TestPassportReport::refusedPeriods()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(QString, message);
    const testdb::Fixture db(QString::fromUtf8(deliveries::PlantDeliveries));
    SqliteDatabase c;
    c.open(db.file());
    QCOMPARE(errorOf<ConversionError>([&] { passportDeliveries(c, Comma, {from, to}, storedKinds(db)); }), message);
}

void TestPassportReport::deliveryCarriesTheNote()
{
    const testdb::Fixture db(QString::fromUtf8(deliveries::PlantDeliveries));
    SqliteDatabase c;
    c.open(db.file());
    const QList<PassportDelivery> found = passportDeliveries(
        c, Comma, {QStringLiteral("31.01.2004"), QStringLiteral("31.01.2004")}, storedKinds(db));
    QCOMPARE(found.size(), 1);
    const PassportDelivery &d = found.first();
    QCOMPARE(d.customerId, 1);
    QCOMPARE(d.vatNumber, QStringLiteral("00000000109"));
    QCOMPARE(d.origin, QStringLiteral("IT"));
    QCOMPARE(d.quantity, QStringLiteral("6"));
    QCOMPARE(d.unit, QStringLiteral("Stk"));
    QCOMPARE(d.invoiceNr, QStringLiteral("2004-7"));
}

void TestPassportReport::csvFile()
{
    const testdb::Fixture db(QString::fromUtf8(deliveries::PlantDeliveries));
    SqliteDatabase c;
    c.open(db.file());
    const QList<PassportDelivery> found = passportDeliveries(
        c, Comma, {QStringLiteral("02.01.2004"), QStringLiteral("02.01.2004")}, storedKinds(db));
    const QByteArray file = csvDocument(passportCsvRows(found, Comma));
    // The code that reads like a formula is guarded, the decimal comma kept.
    const QByteArray expected = "\xEF\xBB\xBF"
                                "Datum;Lieferschein;Kunde;MwSt.-Nr.;Botanischer Name (A);Rückverfolgbarkeitscode (C);"
                                "Ursprung (D);Menge;Einheit;Rechnung\r\n"
                                "02.01.2004;9;Giardini Anna S.r.l.;00000000109;Olea europaea;OL-2004-118;IT;1;Stk;\r\n"
                                "02.01.2004;9;Giardini Anna S.r.l.;00000000109;Lavandula angustifolia;;IT;2,5;Kiste;\r\n"
                                "02.01.2004;10;Giardini Anna S.r.l.;00000000109;Citrus limon;'=1+1;ES;1;Stk;\r\n";
    QCOMPARE(QString::fromUtf8(file), QString::fromUtf8(expected));
}

void TestPassportReport::csvQuantity_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("decimalComma");
    QTest::addColumn<QString>("written");
    QTest::newRow("whole number") << "12" << true << "12";
    QTest::newRow("comma in a file of commas") << "2,5" << true << "2,5";
    QTest::newRow("point in a file of points") << "2.5" << false << "2,5";
    QTest::newRow("point typed elsewhere in a file of commas") << "2.5" << true << "2,5";
    QTest::newRow("comma typed elsewhere in a file of points") << " 0,75 " << false << "0,75";
    // Perhaps a thousand and a quarter: as written, never a guess.
    QTest::newRow("not a number for sure") << "1.250" << true << "1.250";
    QTest::newRow("no number at all") << "ein Bund" << true << "ein Bund";
}

void TestPassportReport::csvQuantity()
{
    QFETCH(QString, stored);
    QFETCH(bool, decimalComma);
    QFETCH(QString, written);
    PassportDelivery d;
    d.date = QDate(2004, 1, 2);
    d.quantity = stored;
    const QList<QStringList> rows = passportCsvRows({d}, decimalComma ? Comma : Dot);
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows.at(1).at(passportColumns().indexOf(QStringLiteral("Menge"))), written);
}

QTEST_GUILESS_MAIN(TestPassportReport)
#include "tst_passportreport.moc"
