// Delivery notes as the file keeps them: written and read back, numbered,
// marked invoiced without billing one twice, and given to the years of a
// file made before them.

#include "errorof.h"
#include "testdb.h"

#include "data/deliverynote.h"
#include "data/errors.h"
#include "data/invoicerepository.h"
#include "data/migrations.h"
#include "data/sqlitedatabase.h"
#include "data/years.h"

#include <QTest>

namespace {

const Separators Comma{QLatin1Char(','), QLatin1Char('.')};
const QDate Today(2026, 11, 20);

DeliveryNoteRecord sampleNote(const QString &nr)
{
    DeliveryNoteRecord r;
    r.note.nr = nr;
    r.note.datum = QStringLiteral("03.11.2004");
    r.note.kundennummer = QStringLiteral("1");
    r.note.bestimmungsort = QStringLiteral("Baustelle Meran");
    r.note.transport = transportChoices().front();
    r.note.grund = reasonChoices().front();
    r.note.colli = QStringLiteral("3");
    DeliveryLine olive;
    olive.beschreibung = QStringLiteral("Olivenbaum 120 cm");
    olive.anzahl = QStringLiteral("2");
    olive.einheit = QStringLiteral("Stk");
    olive.einzelpreis = QStringLiteral("89,5");
    olive.steuersatz = QStringLiteral("10");
    olive.botanischer_name = QStringLiteral("Olea europaea");
    olive.rueckverfolgung = QStringLiteral("OL-2004-118");
    olive.ursprung = QStringLiteral("IT");
    DeliveryLine soil;
    soil.beschreibung = QStringLiteral("Erde");
    soil.anzahl = QStringLiteral("1,5");
    soil.einheit = QStringLiteral("m³");
    r.lines = {olive, soil};
    return r;
}

QStringList shownLines(const DeliveryNoteRecord &r)
{
    QStringList rows;
    for (const DeliveryLine &l : r.lines)
        rows << QStringList{l.beschreibung, l.anzahl, l.einheit, l.einzelpreis, l.steuersatz, l.botanischer_name,
                            l.rueckverfolgung, l.ursprung}
                    .join(QLatin1Char('|'));
    return rows;
}

} // namespace

class TestDeliveryNote : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void storedAndReadBack();
    void numbering_data();
    void numbering();
    void aYearWithoutTablesGetsThemOnFirstNote();
    void markedInvoicedOnlyOnce();
    void invoiceLinesKeepTheirDeliveryNote();
    void olderFileGetsDeliveryTablesWithConsent();
};

void TestDeliveryNote::storedAndReadBack()
{
    testdb::Fixture db("INSERT INTO kunde (id, name, adresse) VALUES (1, 'Gartenbau Anna', 'Weg 1');");
    SqliteDatabase c;
    c.open(db.file());
    DeliveryNoteRepository repo(c, Comma);
    DeliveryNoteRecord note = sampleNote(QStringLiteral("12"));
    repo.insert(2004, note);
    QVERIFY(note.note.id > 0);
    QVERIFY(note.lines[0].id > 0 && note.lines[1].id > note.lines[0].id);
    // A line stored first with a later place still reads in its place.
    db.exec(QStringLiteral("UPDATE lieferschein2004 SET pos = 0.5 WHERE beschreibung = 'Erde'"));

    const DeliveryNoteRecord read = repo.loadByNumber(2004, QStringLiteral("12"));
    QCOMPARE(read.year, 2004);
    QCOMPARE(read.note.datum, QStringLiteral("03.11.2004"));
    QCOMPARE(read.note.bestimmungsort, QStringLiteral("Baustelle Meran"));
    QCOMPARE(read.note.transport, QStringLiteral("Mittente / Absender"));
    QCOMPARE(read.note.grund, QStringLiteral("Verkauf / Vendita"));
    QCOMPARE(read.note.colli, QStringLiteral("3"));
    QVERIFY(!read.note.isInvoiced());
    QCOMPARE(read.customer.name, QStringLiteral("Gartenbau Anna"));
    QCOMPARE(shownLines(read), (QStringList{QStringLiteral("Erde|1,5|m³|||||"),
                                            QStringLiteral("Olivenbaum 120 cm|2|Stk|89,5|10|Olea europaea|OL-2004-118|IT")}));
    QVERIFY(read.lines[1].isPlant());
    QVERIFY(!read.lines[0].isPlant());
    // What the file holds: texts, the empty price as NULL.
    QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM lieferschein2004 WHERE lieferscheinnummer = '12' "
                                      "AND einzelpreis IS NULL")),
             QStringLiteral("1"));

    QCOMPARE(errorOf<ConversionError>([&] { repo.loadByNumber(2004, QStringLiteral("13")); }),
             QStringLiteral("Den Lieferschein Nr. 13 gibt es im Jahr 2004 nicht."));
    QCOMPARE(repo.loadYear(2004).size(), 1);
    QCOMPARE(repo.loadYear(2004, [](const DeliveryNote &n) { return n.isInvoiced(); }).size(), 0);
    // A year without invoice tables has no notes, and asking for one says so.
    QVERIFY(repo.loadYear(2019).isEmpty());
    QCOMPARE(errorOf<ConversionError>([&] { repo.loadByNumber(2019, QStringLiteral("1")); }),
             QStringLiteral("Für das Jahr 2019 gibt es noch keine Lieferscheine in der Datenbank."));
}

void TestDeliveryNote::numbering_data()
{
    QTest::addColumn<QStringList>("numbers");
    QTest::addColumn<QString>("next");
    QTest::newRow("none yet") << QStringList{} << "1";
    QTest::newRow("gaps stay") << QStringList{QStringLiteral("1"), QStringLiteral("7"), QStringLiteral("3")} << "8";
    QTest::newRow("blanks around and text ignored")
        << QStringList{QStringLiteral(" 12 "), QStringLiteral("A-40"), QStringLiteral("")} << "13";
    QTest::newRow("past nine") << QStringList{QStringLiteral("9")} << "10";
}

void TestDeliveryNote::numbering()
{
    QFETCH(QStringList, numbers);
    QFETCH(QString, next);
    testdb::Fixture db;
    for (const QString &n : numbers)
        db.exec(QStringLiteral("INSERT INTO lieferscheine2003 (nr) VALUES ('%1')").arg(n));
    SqliteDatabase c;
    c.open(db.file());
    QCOMPARE(DeliveryNoteRepository(c, Comma).nextNumber(2003), next);
}

void TestDeliveryNote::aYearWithoutTablesGetsThemOnFirstNote()
{
    testdb::Fixture db;
    SqliteDatabase c;
    c.open(db.file());
    // A new year comes with its delivery tables.
    createYearTables(c, 2026);
    QVERIFY(hasDeliveryTables(c, 2026));
    // One whose tables are gone (or were never made) gets them with its first note.
    db.exec(QStringLiteral("DROP TABLE lieferschein2026"));
    QVERIFY(!hasDeliveryTables(c, 2026));
    QCOMPARE(yearsWithoutDeliveryTables(c), std::vector<int>{2026});
    DeliveryNoteRecord note = sampleNote(QStringLiteral("1"));
    DeliveryNoteRepository(c, Comma).insert(2026, note);
    QVERIFY(hasDeliveryTables(c, 2026));
    QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM lieferschein2026")), QStringLiteral("2"));
    QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'index' "
                                      "AND name LIKE 'idx_lieferschein%2026_%'")),
             QStringLiteral("3"));
}

void TestDeliveryNote::markedInvoicedOnlyOnce()
{
    testdb::Fixture db;
    SqliteDatabase c;
    c.open(db.file());
    DeliveryNoteRepository repo(c, Comma);
    DeliveryNoteRecord a = sampleNote(QStringLiteral("1"));
    DeliveryNoteRecord b = sampleNote(QStringLiteral("2"));
    repo.insert(2004, a);
    repo.insert(2004, b);

    // Another PC invoices note 2 first: nothing of this marking is written.
    db.exec(QStringLiteral("UPDATE lieferscheine2004 SET rechnung_nr = '2004-9' WHERE nr = '2'"));
    QCOMPARE(errorOf<EngineError>([&] { repo.markInvoiced(2004, {a.note.id, b.note.id}, QStringLiteral("2004-10")); }),
             QStringLiteral("Die Lieferscheine können nicht als verrechnet vermerkt werden: Der Lieferschein Nr. 2 wurde "
                            "inzwischen mit der Rechnung 2004-9 verrechnet; die Sammelrechnung wird nicht gespeichert."));
    QCOMPARE(db.scalar(QStringLiteral("SELECT group_concat(nr || '=' || coalesce(rechnung_nr, ''), ' ') FROM lieferscheine2004")),
             QStringLiteral("1= 2=2004-9"));

    repo.markInvoiced(2004, {a.note.id}, QStringLiteral("2004-10"));
    QCOMPARE(repo.loadByNumber(2004, QStringLiteral("1")).note.rechnung_nr, QStringLiteral("2004-10"));
    // A note deleted meanwhile.
    db.exec(QStringLiteral("DELETE FROM lieferscheine2004 WHERE nr = '2'"));
    QVERIFY(errorOf<EngineError>([&] { repo.markInvoiced(2004, {b.note.id}, QStringLiteral("2004-11")); })
                .contains(QStringLiteral("inzwischen gelöscht")));
}

void TestDeliveryNote::invoiceLinesKeepTheirDeliveryNote()
{
    testdb::Fixture db;
    SqliteDatabase c;
    c.open(db.file());
    InvoiceRepository repo(c, Comma);
    Invoice invoice;
    invoice.header.nr = QStringLiteral("2004-30");
    invoice.header.datum = QStringLiteral("30.11.2004");
    invoice.header.kundennummer = QStringLiteral("1");
    invoice.header.dokumentart = DeferredInvoiceKind;
    InvoiceLine line{QStringLiteral("Olivenbaum"), QStringLiteral("2"), QStringLiteral("89,5")};
    line.lieferschein_nr = QStringLiteral("12");
    line.lieferschein_datum = QStringLiteral("03.11.2004");
    InvoiceLine other{QStringLiteral("Erde"), QStringLiteral("1"), QStringLiteral("10")};
    other.steuersatz = QStringLiteral("22");
    invoice.lines = {line, other};
    repo.insert(2004, invoice);
    const Invoice read = repo.loadByNumber(2004, QStringLiteral("2004-30"));
    QCOMPARE(read.header.dokumentart, QStringLiteral("TD24"));
    QCOMPARE(read.lines.size(), 2);
    QCOMPARE(read.lines[0].lieferschein_nr, QStringLiteral("12"));
    QCOMPARE(read.lines[0].lieferschein_datum, QStringLiteral("03.11.2004"));
    QCOMPARE(read.lines[1].lieferschein_nr, QString());
    QCOMPARE(read.lines[1].steuersatz, QStringLiteral("22"));
    QCOMPARE(repo.loadYear(2004).front().lines[0].lieferschein_nr, QStringLiteral("12"));

    // A year made before such lines refuses to drop the note's number.
    db.exec(QStringLiteral("ALTER TABLE rechnung2003 DROP COLUMN lieferschein_nr"));
    invoice.header.nr = QStringLiteral("2003-1");
    QCOMPARE(errorOf<EngineError>([&] { repo.insert(2003, invoice); }),
             QStringLiteral("Die Rechnung 2003-1 kann nicht gespeichert werden: Die Tabelle 'rechnung2003' hat noch keine "
                            "Spalte 'lieferschein_nr': bitte die Datenbank zuerst ergänzen lassen."));
    QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM rechnungsdaten2003")), QStringLiteral("0"));
}

void TestDeliveryNote::olderFileGetsDeliveryTablesWithConsent()
{
    testdb::Fixture db;
    SqliteDatabase c;
    c.open(db.file());
    createYearTables(c, 2005);
    // As a file of the previous version has it: no delivery tables, no note numbers on lines.
    for (int year : {2005, 2004, 2003, 2002}) {
        const DeliveryTables t = deliveryTablesOfYear(year);
        c.exec(("DROP TABLE " + t.noteTable + "; DROP TABLE " + t.lineTable).toUtf8());
        const QString lines = tablesOfYear(year).lineTable;
        c.exec(("ALTER TABLE " + lines + " DROP COLUMN lieferschein_nr; ALTER TABLE " + lines
                + " DROP COLUMN lieferschein_datum")
                   .toUtf8());
    }
    c.exec("ALTER TABLE firma DROP COLUMN ruop_nr; ALTER TABLE firma DROP COLUMN standort");
    c.setSchemaVersion(PaidDateVersion);
    QCOMPARE(yearsWithoutDeliveryTables(c), (std::vector<int>{2005, 2004, 2003, 2002}));

    QString question;
    QCOMPARE(upgradeSchema(c, [&](const QString &q) { question = q; return false; }, Today), UpgradeResult::Declined);
    QVERIFY2(question.contains(QStringLiteral("- Lieferscheine mit Pflanzenpass für jedes Jahr\n")), qPrintable(question));
    QVERIFY2(question.contains(QStringLiteral("(RUOP)")), qPrintable(question));
    QCOMPARE(yearsWithoutDeliveryTables(c).size(), size_t(4));

    QCOMPARE(upgradeSchema(c, [](const QString &) { return true; }, Today), UpgradeResult::Upgraded);
    QVERIFY(yearsWithoutDeliveryTables(c).empty());
    QVERIFY(pendingMigrations(c).empty());
    QCOMPARE(c.schemaVersion(), latestVersion(programMigrations()));
    QVERIFY(c.columnInfo("rechnung", "lieferschein_datum").found);
    QVERIFY(c.columnInfo("firma", "ruop_nr").found);
    // The year's delivery tables are usable at once.
    DeliveryNoteRecord note = sampleNote(QStringLiteral("1"));
    DeliveryNoteRepository(c, Comma).insert(2002, note);
    QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM lieferschein")), QStringLiteral("2"));
}

QTEST_GUILESS_MAIN(TestDeliveryNote)
#include "tst_deliverynote.moc"
