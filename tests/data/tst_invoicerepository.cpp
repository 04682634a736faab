// Invoices read from and written to a year's tables: which header a number
// means, the lines in the order the line set shows them, texts as the grid
// shows them, NULL kept apart from an empty text, and a new invoice stored
// whole or not at all.

#include "errorof.h"
#include "testdb.h"

#include "data/database.h"
#include "data/engine.h"
#include "data/errors.h"
#include "data/invoicerepository.h"
#include "data/sqlitedatabase.h"

#include <QTest>

Q_DECLARE_METATYPE(Separators)
Q_DECLARE_METATYPE(Invoice)

namespace {

const Separators Comma{QLatin1Char(','), QLatin1Char('.')};
const Separators Dot{QLatin1Char('.'), QLatin1Char(',')};

const QString Customers = QStringLiteral(
    "INSERT INTO kunde (id, name, adresse, telefon, piva, ansprache, kundennr, name2) VALUES "
    "(5, 'Gärtnerei Müller', 'Lindenstraße 12', '0471 1', '00000000101', 'Sehr geehrter Herr', '1001', NULL),"
    "(6, 'Hotel Alpenrose', '', NULL, NULL, NULL, '1002', 'Käthe Öhlinger');");

// Lines of two invoices interleaved, ids out of the order of typing, and a
// second header with the number 7.
const QString Year2003 = QStringLiteral(
    "INSERT INTO rechnungsdaten2003 (id, nr, datum, bezahlung, kundennummer, bestimmungsort) VALUES "
    "(3, '7', '02.05.2003', '30 Tage', '5', NULL), (4, '8', '03.05.2003', '', ' 6 ', 'Meran'),"
    "(9, '7', '09.09.2003', 'bar', '6', 'Bozen');"
    "INSERT INTO rechnung2003 (id, rechnungsnummer, beschreibung, anzahl, einzelpreis) VALUES "
    "(20, '7', 'Zweite', '2', '1,50'), (11, '7', 'Erste', NULL, '120'), (15, '8', 'Andere', '1', '1'),"
    "(30, '7', 'Dritte', '', NULL);");

// A year whose line table declares no type for the numbers, as a file
// brought over from elsewhere may: what was typed as a number is stored as
// one. The first line of each invoice is text, which the line set wants.
const QString NumberYear = QStringLiteral(
    "CREATE TABLE rechnungsdaten2010 (id INTEGER PRIMARY KEY AUTOINCREMENT, nr VARCHAR(50), datum VARCHAR(50), "
    "bezahlung VARCHAR(50), kundennummer VARCHAR(50), bestimmungsort VARCHAR(50));"
    "CREATE TABLE rechnung2010 (id INTEGER PRIMARY KEY AUTOINCREMENT, rechnungsnummer VARCHAR(50), "
    "beschreibung VARCHAR(50), anzahl, einzelpreis, summe VARCHAR(50));"
    "INSERT INTO rechnungsdaten2010 (id, nr, datum, kundennummer) VALUES (1, '12', '01.02.2010', '5'), (2, '13', '02.02.2010', '6');"
    "INSERT INTO rechnung2010 (id, rechnungsnummer, beschreibung, anzahl, einzelpreis) VALUES "
    "(1, '12', 'Rosen', '25', '3,80'), (2, '12', 'Erde', 2.5, 3), (3, '13', 'Töpfe', '1', '2'), (4, '12', 'Kies', NULL, 12.75),"
    "(5, '13', 'Schalen', 1e20, 0.1);");

QString shown(const QString &text) { return text.isNull() ? QStringLiteral("NULL") : text; }

// The whole invoice, ids included, one entry per row it came from.
QStringList shown(const Invoice &invoice)
{
    const InvoiceHeader &h = invoice.header;
    QStringList rows{QStringLiteral("header %1: %2|%3|%4|%5|%6")
                         .arg(h.id)
                         .arg(shown(h.nr), shown(h.datum), shown(h.bezahlung), shown(h.kundennummer), shown(h.bestimmungsort))};
    if (!(h.dokumentart + h.bezug_nr + h.bezug_datum + h.faellig + h.bezahlt_am).isEmpty())
        rows << QStringLiteral("document %1|%2|%3 due %4 paid %5")
                    .arg(shown(h.dokumentart), shown(h.bezug_nr), shown(h.bezug_datum), shown(h.faellig), shown(h.bezahlt_am));
    const Customer &c = invoice.customer;
    rows << (c.id == 0 ? QStringLiteral("no customer")
                       : QStringLiteral("customer %1: %2|%3|%4|%5|%6|%7|%8")
                             .arg(c.id)
                             .arg(shown(c.name), shown(c.adresse), shown(c.telefon), shown(c.piva), shown(c.ansprache),
                                  shown(c.kundennr), shown(c.name2)));
    for (const InvoiceLine &l : invoice.lines)
        rows << QStringLiteral("line %1: %2|%3|%4").arg(l.id).arg(shown(l.beschreibung), shown(l.anzahl), shown(l.einzelpreis));
    return rows;
}

Invoice plants()
{
    Invoice invoice;
    invoice.header = {QStringLiteral("2004-17"), QStringLiteral("08.01.2004"), QStringLiteral("30 Tage"),
                      QStringLiteral("5"), QStringLiteral("ab Gärtnerei")};
    invoice.lines = {{QStringLiteral("Rosen, wurzelnackt"), QStringLiteral("25"), QStringLiteral("3,80")},
                     {QStringLiteral("Lieferung"), QString(), QStringLiteral("")},
                     {QStringLiteral("Buchsbaum-Kugel Ø 30 cm"), QStringLiteral("6"), QStringLiteral("14,90")}};
    return invoice;
}

} // namespace

class TestInvoiceRepository : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void load_data();
    void load();
    void readsWhatTheGridShows_data();
    void readsWhatTheGridShows();
    void insertedComesBackAsItWasGiven_data();
    void insertedComesBackAsItWasGiven();
    void refusedInsertStoresNothing_data();
    void refusedInsertStoresNothing();
    void insertInsideTheCallersTransaction();
    void wholeYearAsEachInvoiceReadsIt_data();
    void wholeYearAsEachInvoiceReadsIt();
    void documentColumnsMissingRefuseWhatTheyWouldLose();
};

void TestInvoiceRepository::load_data()
{
    QTest::addColumn<int>("year");
    QTest::addColumn<QString>("nr");    // by number; by id when null
    QTest::addColumn<qint64>("id");
    QTest::addColumn<Separators>("separators");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QString>("error");

    const QStringList seven{
        QStringLiteral("header 3: 7|02.05.2003|30 Tage|5|NULL"),
        QStringLiteral("customer 5: Gärtnerei Müller|Lindenstraße 12|0471 1|00000000101|Sehr geehrter Herr|1001|NULL"),
        QStringLiteral("line 11: Erste|NULL|120"), QStringLiteral("line 20: Zweite|2|1,50"), QStringLiteral("line 30: Dritte||NULL")};
    QTest::newRow("by number: the first of two headers by id") << 2003 << QStringLiteral("7") << qint64(0) << Comma << seven << QString();
    QTest::newRow("by id: that header") << 2003 << QString() << qint64(3) << Comma << seven << QString();
    // The lines go with the number, as the line set follows the header set.
    QTest::newRow("by id: the second header of a number")
        << 2003 << QString() << qint64(9) << Comma
        << QStringList{QStringLiteral("header 9: 7|09.09.2003|bar|6|Bozen"),
                       QStringLiteral("customer 6: Hotel Alpenrose||NULL|NULL|NULL|1002|Käthe Öhlinger"), seven.at(2),
                       seven.at(3), seven.at(4)}
        << QString();
    // Blanks around the customer's number are no obstacle.
    QTest::newRow("by number: customer number with blanks")
        << 2003 << QStringLiteral("8") << qint64(0) << Comma
        << QStringList{QStringLiteral("header 4: 8|03.05.2003|| 6 |Meran"),
                       QStringLiteral("customer 6: Hotel Alpenrose||NULL|NULL|NULL|1002|Käthe Öhlinger"),
                       QStringLiteral("line 15: Andere|1|1")}
        << QString();
    QTest::newRow("2002's tables carry no year in their names")
        << 2002 << QStringLiteral("1") << qint64(0) << Comma
        << QStringList{QStringLiteral("header 1: 1|05.05.2002|NULL|x|NULL"), QStringLiteral("no customer")} << QString();
    QTest::newRow("customer number of nobody")
        << 2002 << QString() << qint64(2) << Comma
        << QStringList{QStringLiteral("header 2: 2|06.05.2002|NULL|77|NULL"), QStringLiteral("no customer")} << QString();
    // Numbers stored as numbers read as the grid shows them.
    QTest::newRow("numbers stored as numbers, decimal comma")
        << 2010 << QStringLiteral("12") << qint64(0) << Comma
        << QStringList{QStringLiteral("header 1: 12|01.02.2010|NULL|5|NULL"), seven.at(1),
                       QStringLiteral("line 1: Rosen|25|3,80"), QStringLiteral("line 2: Erde|2,5|3"),
                       QStringLiteral("line 4: Kies|NULL|12,75")}
        << QString();
    QTest::newRow("numbers stored as numbers, decimal point")
        << 2010 << QString() << qint64(2) << Dot
        << QStringList{QStringLiteral("header 2: 13|02.02.2010|NULL|6|NULL"),
                       QStringLiteral("customer 6: Hotel Alpenrose||NULL|NULL|NULL|1002|Käthe Öhlinger"),
                       QStringLiteral("line 3: Töpfe|1|2"), QStringLiteral("line 5: Schalen|1e+20|0.1")}
        << QString();

    QTest::newRow("year without tables") << 2011 << QStringLiteral("1") << qint64(0) << Comma << QStringList()
                                         << QStringLiteral("Für das Jahr 2011 gibt es keine Rechnungen in der Datenbank.");
    QTest::newRow("year without tables, by id") << 2011 << QString() << qint64(1) << Comma << QStringList()
                                                << QStringLiteral("Für das Jahr 2011 gibt es keine Rechnungen in der Datenbank.");
    QTest::newRow("number not in the year") << 2004 << QStringLiteral("7") << qint64(0) << Comma << QStringList()
                                            << QStringLiteral("Die Rechnung Nr. 7 gibt es im Jahr 2004 nicht.");
    QTest::newRow("number with a blank") << 2003 << QStringLiteral("7 ") << qint64(0) << Comma << QStringList()
                                         << QStringLiteral("Die Rechnung Nr. 7  gibt es im Jahr 2003 nicht.");
    QTest::newRow("id not in the year") << 2003 << QString() << qint64(5) << Comma << QStringList()
                                        << QStringLiteral("Diese Rechnung gibt es im Jahr 2003 nicht mehr in der Datenbank.");
}

void TestInvoiceRepository::load()
{
    QFETCH(int, year);
    QFETCH(QString, nr);
    QFETCH(qint64, id);
    QFETCH(Separators, separators);
    QFETCH(QStringList, expected);
    QFETCH(QString, error);
    testdb::Fixture db(Customers + Year2003 + NumberYear
                       + QStringLiteral("INSERT INTO rechnungsdaten (id, nr, datum, kundennummer) VALUES "
                                        "(1, '1', '05.05.2002', 'x'), (2, '2', '06.05.2002', '77');"));
    SqliteDatabase c;
    c.open(db.file());
    InvoiceRepository repository(c, separators);
    Invoice invoice;
    QCOMPARE(errorOf([&] { invoice = nr.isNull() ? repository.loadById(year, id) : repository.loadByNumber(year, nr); }), error);
    if (error.isEmpty())
        QCOMPARE(shown(invoice), expected);
}

void TestInvoiceRepository::readsWhatTheGridShows_data()
{
    QTest::addColumn<Separators>("separators");
    QTest::newRow("decimal comma") << Comma;
    QTest::newRow("decimal point") << Dot;
}

// Every invoice of the file as the main window's sets show it: the header of
// each customer's invoices and the lines the line set follows it with.
void TestInvoiceRepository::readsWhatTheGridShows()
{
    QFETCH(Separators, separators);
    testdb::Fixture db(Customers + NumberYear);
    InvoiceData d;
    d.setSeparators(separators);
    d.open(db.file());
    QCOMPARE(d.year(), 2010);
    InvoiceRepository repository(d.connection, separators);
    // The grid shows NULL and an empty text alike; the field tells them apart.
    const auto text = [](const RecordSet &rs, const char *field) {
        const Field *f = rs.FieldByName(QString::fromLatin1(field));
        return f->IsNull() ? QString() : f->AsString().isNull() ? QStringLiteral("") : f->AsString();
    };
    int compared = 0;
    for (d.customers.First(); !d.customers.Eof(); d.customers.Next()) {
        for (d.invoiceHeaders.First(); !d.invoiceHeaders.Eof(); d.invoiceHeaders.Next()) {
            Invoice shownByTheSets;
            shownByTheSets.header = {text(d.invoiceHeaders, "nr"), text(d.invoiceHeaders, "datum"),
                                     text(d.invoiceHeaders, "bezahlung"), text(d.invoiceHeaders, "kundennummer"),
                                     text(d.invoiceHeaders, "bestimmungsort"),
                                     d.invoiceHeaders.FieldByName(QStringLiteral("id"))->AsInteger()};
            shownByTheSets.customer = {text(d.customers, "name"), text(d.customers, "adresse"), text(d.customers, "telefon"),
                                       text(d.customers, "piva"), text(d.customers, "ansprache"),
                                       text(d.customers, "kundennr"), text(d.customers, "name2"),
                                       d.customers.FieldByName(QStringLiteral("id"))->AsInteger()};
            for (d.invoiceLines.First(); !d.invoiceLines.Eof(); d.invoiceLines.Next())
                shownByTheSets.lines.append({text(d.invoiceLines, "beschreibung"), text(d.invoiceLines, "anzahl"),
                                             text(d.invoiceLines, "einzelpreis"),
                                             d.invoiceLines.FieldByName(QStringLiteral("id"))->AsInteger()});
            QVERIFY(!shownByTheSets.lines.isEmpty());
            QCOMPARE(shown(repository.loadById(d.year(), shownByTheSets.header.id)), shown(shownByTheSets));
            ++compared;
        }
    }
    QCOMPARE(compared, 2);
}

void TestInvoiceRepository::insertedComesBackAsItWasGiven_data()
{
    QTest::addColumn<int>("year");
    QTest::addColumn<Invoice>("invoice");

    QTest::newRow("lines with NULL and empty texts") << 2004 << plants();
    Invoice bare;
    bare.header.nr = QStringLiteral("1");
    bare.header.datum = QStringLiteral("");
    QTest::newRow("no lines, NULL where nothing was given") << 2004 << bare;
    QTest::newRow("2002's tables") << 2002 << plants();
    Invoice credit = plants();
    credit.header.nr = QStringLiteral("GS-2004-1");
    credit.header.dokumentart = CreditNoteKind;
    credit.header.bezug_nr = QStringLiteral("2004-17");
    credit.header.bezug_datum = QStringLiteral("08.01.2004");
    credit.header.faellig = QStringLiteral("07.02.2004");
    credit.header.bezahlt_am = QStringLiteral("");
    QTest::newRow("credit note with its invoice, due date") << 2004 << credit;
}

void TestInvoiceRepository::insertedComesBackAsItWasGiven()
{
    QFETCH(int, year);
    QFETCH(Invoice, invoice);
    // Rows there already: the ids handed out are the file's next ones.
    testdb::Fixture db(Customers + QStringLiteral(
        "INSERT INTO rechnungsdaten2004 (id, nr) VALUES (40, '3'); INSERT INTO rechnung2004 (id, rechnungsnummer) VALUES (70, '3');"
        "INSERT INTO rechnungsdaten (id, nr) VALUES (40, '3'); INSERT INTO rechnung (id, rechnungsnummer) VALUES (70, '3');"));
    SqliteDatabase c;
    c.open(db.file());
    InvoiceRepository repository(c, Comma);
    Invoice stored = invoice;
    QCOMPARE(errorOf([&] { repository.insert(year, stored); }), QString());

    QCOMPARE(stored.header.id, qint64(41));
    for (qsizetype i = 0; i < stored.lines.size(); ++i)
        QCOMPARE(stored.lines.at(i).id, qint64(71 + i));
    const Invoice byId = repository.loadById(year, stored.header.id);
    const Invoice byNumber = repository.loadByNumber(year, invoice.header.nr);
    // The customer is read with the invoice, never written with it.
    stored.customer = byId.customer;
    QCOMPARE(shown(byId), shown(stored));
    QCOMPARE(shown(byNumber), shown(stored));
    QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM kunde")), QStringLiteral("2"));
    // NULL went in as NULL, an empty text as an empty text.
    const YearTables tables = tablesOfYear(year);
    QCOMPARE(db.scalar(QStringLiteral("SELECT typeof(bezahlung) || typeof(datum) FROM %1 WHERE id = 41")
                           .arg(tables.headerTable)),
             invoice.lines.isEmpty() ? QStringLiteral("nulltext") : QStringLiteral("texttext"));
    if (!invoice.lines.isEmpty())
        QCOMPARE(db.scalar(QStringLiteral("SELECT typeof(anzahl) || typeof(einzelpreis) FROM %1 WHERE id = 72").arg(tables.lineTable)),
                 QStringLiteral("nulltext"));
}

void TestInvoiceRepository::refusedInsertStoresNothing_data()
{
    QTest::addColumn<int>("year");
    QTest::addColumn<QString>("setUp");
    QTest::addColumn<QString>("error");
    QTest::newRow("year without tables") << 2011 << QString()
                                         << QStringLiteral("Die Rechnung 2004-17 kann nicht gespeichert werden: ");
    // The header is in before the line fails: it goes again.
    QTest::newRow("a line refused")
        << 2004
        << QStringLiteral("CREATE TRIGGER no_box BEFORE INSERT ON rechnung2004 WHEN new.beschreibung LIKE 'Buchsbaum%' "
                          "BEGIN SELECT RAISE(ABORT, 'gesperrt'); END")
        << QStringLiteral("Die Rechnung 2004-17 kann nicht gespeichert werden: ");
}

void TestInvoiceRepository::refusedInsertStoresNothing()
{
    QFETCH(int, year);
    QFETCH(QString, setUp);
    QFETCH(QString, error);
    testdb::Fixture db(Customers);
    if (!setUp.isEmpty())
        db.exec(setUp);
    SqliteDatabase c;
    c.open(db.file());
    Invoice invoice = plants();
    const QString message = errorOf([&] { InvoiceRepository(c, Comma).insert(year, invoice); });
    QVERIFY2(message.startsWith(error), qPrintable(message));
    QCOMPARE(shown(invoice), shown(plants()));
    QVERIFY(!c.inTransaction());
    QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM rechnungsdaten2004")), QStringLiteral("0"));
    QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM rechnung2004")), QStringLiteral("0"));
}

// As the tool fills a new file: the caller's transaction decides.
void TestInvoiceRepository::insertInsideTheCallersTransaction()
{
    testdb::Fixture db(Customers);
    SqliteDatabase c;
    c.open(db.file());
    InvoiceRepository repository(c, Comma);
    {
        Transaction outer(c, true);
        Invoice invoice = plants();
        repository.insert(2004, invoice);
        QVERIFY(c.inTransaction());
        QCOMPARE(repository.loadById(2004, invoice.header.id).lines.size(), 3);
    }
    QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM rechnung2004")), QStringLiteral("0"));
    {
        Transaction outer(c, true);
        Invoice invoice = plants();
        repository.insert(2004, invoice);
        outer.commit();
    }
    QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM rechnung2004")), QStringLiteral("3"));
}

QTEST_GUILESS_MAIN(TestInvoiceRepository)
#include "tst_invoicerepository.moc"

void TestInvoiceRepository::wholeYearAsEachInvoiceReadsIt_data()
{
    QTest::addColumn<int>("year");
    QTest::addColumn<QString>("setUp");
    QTest::addColumn<int>("count");
    QTest::newRow("lines interleaved, a number twice") << 2003 << Year2003 << 3;
    QTest::newRow("year before document columns and places") << 2010 << NumberYear << 2;
    // Places decide, a line without one stands at its id.
    QTest::newRow("lines by place")
        << 2004
        << QStringLiteral("INSERT INTO rechnungsdaten2004 (id, nr, dokumentart, bezug_nr, bezug_datum, faellig, bezahlt_am) "
                          "VALUES (1, 'GS-1', 'TD04', '5', '01.02.2004', '02.03.2004', '05.03.2004'), (2, '6', NULL, NULL, "
                          "NULL, '', NULL);"
                          "INSERT INTO rechnung2004 (id, rechnungsnummer, beschreibung, pos) VALUES "
                          "(1, 'GS-1', 'erste', 1), (2, 'GS-1', 'dritte', 3.5), (3, 'GS-1', 'zweite', 1.5), (4, '6', 'a', NULL),"
                          "(5, 'GS-1', 'vierte', 4), (6, 'GS-1', 'ohne Platz', NULL), (7, '6', 'b', 2);")
        << 2;
}

void TestInvoiceRepository::wholeYearAsEachInvoiceReadsIt()
{
    QFETCH(int, year);
    QFETCH(QString, setUp);
    QFETCH(int, count);
    testdb::Fixture db(Customers + setUp);
    SqliteDatabase c;
    c.open(db.file());
    InvoiceRepository repository(c, Comma);
    const QList<Invoice> invoices = repository.loadYear(year);
    QCOMPARE(invoices.size(), count);
    qint64 previous = 0;
    for (const Invoice &invoice : invoices) {
        QVERIFY(invoice.header.id > previous);
        previous = invoice.header.id;
        QCOMPARE(shown(invoice), shown(repository.loadById(year, invoice.header.id)));
    }
    if (year == 2004) {
        QStringList order;
        for (const InvoiceLine &l : invoices.front().lines)
            order << l.beschreibung;
        QCOMPARE(order, (QStringList{"erste", "zweite", "dritte", "vierte", "ohne Platz"}));
        QVERIFY(invoices.front().header.isCreditNote());
        QVERIFY(!invoices.back().header.isCreditNote());
        QCOMPARE(invoices.back().lines.size(), 2);
        // Only the headers asked for, with all their lines.
        const QList<Invoice> credits = repository.loadYear(year, [](const InvoiceHeader &h) { return h.isCreditNote(); });
        QCOMPARE(credits.size(), 1);
        QCOMPARE(shown(credits.front()), shown(invoices.front()));
    }
}

// A year made before credit notes cannot hold one: storing it there would
// lose what makes it one.
void TestInvoiceRepository::documentColumnsMissingRefuseWhatTheyWouldLose()
{
    testdb::Fixture db(Customers + NumberYear);
    SqliteDatabase c;
    c.open(db.file());
    Invoice invoice = plants();
    invoice.header.dokumentart = CreditNoteKind;
    const QString message = errorOf([&] { InvoiceRepository(c, Comma).insert(2010, invoice); });
    QVERIFY2(message.contains(QStringLiteral("keine Spalte 'dokumentart'")), qPrintable(message));
    QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM rechnungsdaten2010")), QStringLiteral("2"));
    invoice.header.dokumentart.clear();
    QCOMPARE(errorOf([&] { InvoiceRepository(c, Comma).insert(2010, invoice); }), QString());
}
