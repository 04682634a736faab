// The VAT rate of an invoice line in the line set and the file: the rate a
// new line starts with, the check before a line is stored, the rates read
// and written with an invoice, and a year whose table has no rates at all.

#include "errorof.h"
#include "testdb.h"

#include "data/database.h"
#include "data/errors.h"
#include "data/invoicerepository.h"
#include "data/lineamount.h"
#include "data/sqlitedatabase.h"

#include <QTest>

Q_DECLARE_METATYPE(VatRate)

namespace {

const Separators Comma{QLatin1Char(','), QLatin1Char('.')};

// A line table as files made before rates had it: without both columns.
QString withoutRates(const QString &table)
{
    return QStringLiteral("ALTER TABLE %1 DROP COLUMN steuersatz; ALTER TABLE %1 DROP COLUMN natura;").arg(table);
}

QString text(const RecordSet &rs, const QString &field)
{
    const Field *f = rs.FindField(field);
    return f ? f->AsString() : QStringLiteral("no field");
}

// Rate and nature of the stored line, "NULL" for no value.
QString storedRate(const testdb::Fixture &db, const QString &table, const QString &description)
{
    return db.scalar(QStringLiteral("SELECT ifnull(steuersatz, 'NULL') || '|' || ifnull(natura, 'NULL') FROM %1 "
                                    "WHERE beschreibung = '%2'")
                         .arg(table, description));
}

// Every line of the current invoice as the totals read them: "10%|22%|0%N3.2".
QString ratesOfTheLines(RecordSet &lines)
{
    QStringList rates;
    for (const TotalsLine &l : totalsLines(lines))
        rates << QString::number(l.rate.percent) + QLatin1Char('%') + l.rate.nature;
    return rates.join(QLatin1Char('|'));
}

} // namespace

class TestLineRates : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void newLineStartsWithTheGivenRate_data();
    void newLineStartsWithTheGivenRate();
    void untouchedNewLineIsDroppedWhateverItsRate();
    void newLineInAYearWithoutRates();
    void typedRateIsCheckedBeforeTheLineIsStored_data();
    void typedRateIsCheckedBeforeTheLineIsStored();
    void storedRateDoesNotHoldUpAnotherEdit();
    void ratesComeBackAsTheyWereStored();
    void yearWithoutRatesIsAllAtTenPercent();
};

void TestLineRates::newLineStartsWithTheGivenRate_data()
{
    QTest::addColumn<VatRate>("rate");
    QTest::addColumn<QString>("shown");  // steuersatz|natura of the new row
    QTest::addColumn<QString>("stored"); // as the file holds them
    // The standard rate leaves both columns empty, as every line had them before.
    QTest::newRow("standard rate") << StandardRate << "|" << "NULL|NULL";
    QTest::newRow("22 %") << VatRate{22, QString()} << "22|" << "22|NULL";
    QTest::newRow("EU business: 0 % N3.2") << VatRate{0, QStringLiteral("N3.2")} << "0|N3.2" << "0|N3.2";
}

void TestLineRates::newLineStartsWithTheGivenRate()
{
    QFETCH(VatRate, rate);
    QFETCH(QString, shown);
    QFETCH(QString, stored);
    testdb::Fixture db(QString::fromUtf8(testdb::StandardData));
    InvoiceData d;
    int asked = 0;
    d.setNewLineRate([&] { ++asked; return rate; });
    d.open(db.file());
    QCOMPARE(asked, 0); // opening makes no row
    for (const bool append : {true, false}) {
        const QString description = append ? QStringLiteral("Angehängt") : QStringLiteral("Eingefügt");
        if (append)
            d.invoiceLines.Append();
        else
            d.invoiceLines.Insert();
        QCOMPARE(d.invoiceLines.State(), DataSetState::Insert);
        QVERIFY(!d.invoiceLines.Modified());
        QCOMPARE(text(d.invoiceLines, QStringLiteral("steuersatz")) + QLatin1Char('|') + text(d.invoiceLines, QStringLiteral("natura")),
                 shown);
        d.invoiceLines.FieldByName(QStringLiteral("beschreibung"))->setAsString(description);
        d.invoiceLines.Post();
        QCOMPARE(storedRate(db, QStringLiteral("rechnung2004"), description), stored);
    }
    QCOMPARE(asked, 2);
    // Rows already there keep what they had.
    QCOMPARE(storedRate(db, QStringLiteral("rechnung2004"), QStringLiteral("Rosen")), QStringLiteral("NULL|NULL"));
}

void TestLineRates::untouchedNewLineIsDroppedWhateverItsRate()
{
    testdb::Fixture db(QString::fromUtf8(testdb::StandardData));
    InvoiceData d;
    d.setNewLineRate([] { return VatRate{0, QStringLiteral("N3.1")}; });
    d.open(db.file());
    d.invoiceLines.Append();
    QCOMPARE(d.invoiceLines.RecordCount(), 3);
    d.invoiceLines.First();
    QCOMPARE(d.invoiceLines.State(), DataSetState::Browse);
    QCOMPARE(d.invoiceLines.RecordCount(), 2);
    QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM rechnung2004")), QStringLiteral("3"));
}

void TestLineRates::newLineInAYearWithoutRates()
{
    testdb::Fixture db(QString::fromUtf8(testdb::StandardData) + withoutRates(QStringLiteral("rechnung2004")));
    InvoiceData d;
    d.setNewLineRate([] { return VatRate{22, QString()}; });
    d.open(db.file());
    QVERIFY(!d.invoiceLines.FindField(QStringLiteral("steuersatz")));
    d.invoiceLines.Append();
    d.invoiceLines.FieldByName(QStringLiteral("beschreibung"))->setAsString(QStringLiteral("Tulpen"));
    QCOMPARE(errorOf([&] { d.invoiceLines.Post(); }), QString());
    QCOMPARE(db.scalar(QStringLiteral("SELECT rechnungsnummer FROM rechnung2004 WHERE beschreibung = 'Tulpen'")), QStringLiteral("5"));
}

void TestLineRates::typedRateIsCheckedBeforeTheLineIsStored_data()
{
    QTest::addColumn<QString>("steuersatz");
    QTest::addColumn<QString>("natura");
    QTest::addColumn<QString>("message"); // "" when it is stored
    QTest::addColumn<QString>("stored");
    QTest::newRow("22") << "22" << "" << "" << "22|";
    QTest::newRow("0 with its nature") << "0" << "N3.2" << "" << "0|N3.2";
    QTest::newRow("back to 10 % by an empty text") << "" << "" << "" << "|";
    QTest::newRow("a rate Italy does not have")
        << "7" << "" << "Der Steuersatz '7' ist nicht möglich: bitte 22, 10, 5, 4 oder 0 wählen (leer bedeutet 10)." << "NULL|NULL";
    QTest::newRow("0 without a nature")
        << "0" << "" << "Beim Steuersatz 0 fehlt der Grund der Befreiung (Natura): bitte einen aus der Liste wählen." << "NULL|NULL";
    QTest::newRow("a nature at 22 %")
        << "22" << "N3.2"
        << "Die Steuerbefreiung 'N3.2' gilt nur für den Steuersatz 0: bitte den Steuersatz auf 0 setzen oder die Befreiung löschen."
        << "NULL|NULL";
    QTest::newRow("an unknown nature")
        << "0" << "N9" << "Der Grund der Befreiung 'N9' ist nicht bekannt: bitte einen aus der Liste wählen (N1 bis N7)."
        << "NULL|NULL";
}

void TestLineRates::typedRateIsCheckedBeforeTheLineIsStored()
{
    QFETCH(QString, steuersatz);
    QFETCH(QString, natura);
    QFETCH(QString, message);
    QFETCH(QString, stored);
    testdb::Fixture db(QString::fromUtf8(testdb::StandardData));
    InvoiceData d;
    d.open(db.file());
    RecordSet &lines = d.invoiceLines;
    QCOMPARE(text(lines, QStringLiteral("beschreibung")), QStringLiteral("Rosen"));
    lines.Edit();
    lines.FieldByName(QStringLiteral("steuersatz"))->setAsString(steuersatz);
    lines.FieldByName(QStringLiteral("natura"))->setAsString(natura);
    QCOMPARE(errorOf<ConversionError>([&] { lines.Post(); }), message);
    QCOMPARE(storedRate(db, QStringLiteral("rechnung2004"), QStringLiteral("Rosen")), stored);
    if (!message.isEmpty()) {
        // Nothing typed is lost: the row waits to be corrected.
        QCOMPARE(lines.State(), DataSetState::Edit);
        QCOMPARE(text(lines, QStringLiteral("steuersatz")), steuersatz);
        QCOMPARE(text(lines, QStringLiteral("natura")), natura);
    }
}

void TestLineRates::storedRateDoesNotHoldUpAnotherEdit()
{
    // Another program wrote a rate the program refuses: changing the
    // description alone still stores, and the totals name the line.
    testdb::Fixture db(QString::fromUtf8(testdb::StandardData)
                       + QStringLiteral("UPDATE rechnung2004 SET steuersatz = '7' WHERE beschreibung = 'Rosen';"));
    InvoiceData d;
    d.open(db.file());
    d.invoiceLines.Edit();
    d.invoiceLines.FieldByName(QStringLiteral("beschreibung"))->setAsString(QStringLiteral("Rosen, rot"));
    QCOMPARE(errorOf([&] { d.invoiceLines.Post(); }), QString());
    QCOMPARE(storedRate(db, QStringLiteral("rechnung2004"), QStringLiteral("Rosen, rot")), QStringLiteral("7|NULL"));
    QCOMPARE(errorOf([&] { totalsLines(d.invoiceLines); }),
             QStringLiteral("Zeile 1: Der Steuersatz '7' ist nicht möglich: bitte 22, 10, 5, 4 oder 0 wählen (leer bedeutet 10)."));
}

void TestLineRates::ratesComeBackAsTheyWereStored()
{
    testdb::Fixture db(QStringLiteral("INSERT INTO kunde (id, name) VALUES (5, 'Anna');"));
    SqliteDatabase c;
    c.open(db.file());
    InvoiceRepository repository(c, Comma);
    Invoice invoice;
    invoice.header = {QStringLiteral("2004-3"), QStringLiteral("08.01.2004"), QString(), QStringLiteral("5"), QString()};
    invoice.lines = {{QStringLiteral("Rosen"), QStringLiteral("2"), QStringLiteral("3,80"), 0, QString(), QString()},
                     {QStringLiteral("Rasen mähen"), QStringLiteral("1"), QStringLiteral("40"), 0, QStringLiteral("22"), QString()},
                     {QStringLiteral("Dünger"), QStringLiteral("1"), QStringLiteral("9"), 0, QStringLiteral("4"), QString()},
                     {QStringLiteral("Lieferung Innsbruck"), QStringLiteral("1"), QStringLiteral("12"), 0, QStringLiteral("0"),
                      QStringLiteral("N3.2")}};
    repository.insert(2004, invoice);
    const Invoice read = repository.loadByNumber(2004, QStringLiteral("2004-3"));
    QStringList rates;
    for (const InvoiceLine &l : read.lines)
        rates << l.beschreibung + QLatin1Char(':') + l.steuersatz + QLatin1Char('|') + l.natura;
    QCOMPARE(rates, (QStringList{QStringLiteral("Rosen:|"), QStringLiteral("Rasen mähen:22|"), QStringLiteral("Dünger:4|"),
                                 QStringLiteral("Lieferung Innsbruck:0|N3.2")}));
    QCOMPARE(storedRate(db, QStringLiteral("rechnung2004"), QStringLiteral("Lieferung Innsbruck")), QStringLiteral("0|N3.2"));

    // The line set reads the same rates.
    InvoiceData d;
    d.open(db.file());
    d.customers.Locate(QStringLiteral("id"), 5);
    QCOMPARE(ratesOfTheLines(d.invoiceLines), QStringLiteral("10%|22%|4%|0%N3.2"));
}

void TestLineRates::yearWithoutRatesIsAllAtTenPercent()
{
    testdb::Fixture db(QString::fromUtf8(testdb::StandardData) + withoutRates(QStringLiteral("rechnung2004")));
    SqliteDatabase c;
    c.open(db.file());
    const Invoice read = InvoiceRepository(c, Comma).loadByNumber(2004, QStringLiteral("5"));
    QCOMPARE(read.lines.size(), 2);
    for (const InvoiceLine &l : read.lines) {
        QCOMPARE(l.steuersatz, QString());
        QCOMPARE(l.natura, QString());
    }
    InvoiceData d;
    d.open(db.file());
    QVERIFY(!d.invoiceLines.FindField(QStringLiteral("natura")));
    QCOMPARE(ratesOfTheLines(d.invoiceLines), QStringLiteral("10%|10%"));
    // 4 × 2,5 + 1 × 10, at 10 %.
    const InvoiceTotals totals = invoiceTotals(totalsLines(d.invoiceLines));
    QCOMPARE(moneyWithDot(totals.net), QStringLiteral("20.00"));
    QCOMPARE(moneyWithDot(totals.tax), QStringLiteral("2.00"));
    QVERIFY(totals.onlyStandardRate());
}

QTEST_GUILESS_MAIN(TestLineRates)
#include "tst_linerates.moc"
