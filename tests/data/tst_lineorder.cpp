// Lines keep the order they were typed in: inserted between others, at the
// start or at the end, they are read back there after storing, refreshing,
// closing and a new start, as the repository (print, e-invoice) reads them.

#include "data/database.h"
#include "data/errors.h"
#include "data/invoicerepository.h"
#include "data/years.h"
#include "errorof.h"
#include "testdb.h"

#include <QtTest>
#include <memory>

namespace {

using testdb::StandardData;

const QString Description = QStringLiteral("beschreibung");

// The line table as a file made before places has it.
const QString WithoutPlaces = QStringLiteral(
    "DROP TABLE rechnung2004;"
    "CREATE TABLE rechnung2004 (id INTEGER PRIMARY KEY AUTOINCREMENT, rechnungsnummer VARCHAR(50), beschreibung VARCHAR(50), "
    "anzahl VARCHAR(50), einzelpreis VARCHAR(50), summe VARCHAR(50), steuersatz VARCHAR(2), natura VARCHAR(4));"
    "CREATE INDEX idx_rechnung2004_rechnungsnummer ON rechnung2004 (rechnungsnummer);");

// What the set shows, from the first row to the last, without moving.
QStringList shown(RecordSet &lines)
{
    QStringList texts;
    for (int pos = 0; pos < lines.RecordCount(); ++pos)
        lines.readRowAt(pos, [&] { texts << lines.FieldByName(Description)->AsString(); });
    return texts;
}

// The lines of an invoice as every reader of the file orders them.
QStringList stored(const QString &file, const QString &nr)
{
    SqliteDatabase c;
    testdb::openOther(c, file);
    const QString order = lineOrder(c, QStringLiteral("rechnung2004"));
    StatementHandle st = c.prepare(QStringLiteral("SELECT beschreibung FROM rechnung2004 WHERE rechnungsnummer = ?1 ORDER BY %1")
                                       .arg(order)
                                       .toUtf8(),
                                   Database::Reuse::Once);
    st->bindText(1, nr);
    QStringList texts;
    while (st->step())
        texts << st->columnString(0);
    return texts;
}

// The lines as the printed invoice's and the e-invoice's repository reads them.
QStringList repositoryLines(const QString &file, const QString &nr)
{
    SqliteDatabase c;
    testdb::openOther(c, file);
    InvoiceRepository repository(c, Separators{});
    QStringList texts;
    for (const InvoiceLine &line : repository.loadByNumber(2004, nr).lines)
        texts << line.beschreibung;
    return texts;
}

// A program started on the file, at Anna's invoice `nr`.
std::unique_ptr<InvoiceData> started(const QString &file, const QString &nr)
{
    auto d = std::make_unique<InvoiceData>();
    d->open(file);
    if (!d->invoiceHeaders.Locate(QStringLiteral("nr"), nr))
        qFatal("no invoice %s", qPrintable(nr));
    return d;
}

// Runs typed steps on the line set: "2 Neu" inserts a line "Neu" at the
// second row (above the row there, as the grid's Insert key does), "+ Neu"
// appends it; "cancel" after a step drops its row instead of storing it.
void type(RecordSet &lines, const QStringList &steps)
{
    for (qsizetype i = 0; i < steps.size(); ++i) {
        const QString &step = steps[i];
        if (step == QLatin1String("cancel")) {
            lines.Cancel();
            continue;
        }
        const QString at = step.section(QLatin1Char(' '), 0, 0);
        if (at == QLatin1String("+")) {
            lines.Append();
        } else {
            lines.First();
            lines.MoveBy(at.toInt() - 1);
            lines.Insert();
        }
        lines.FieldByName(Description)->setAsString(step.section(QLatin1Char(' '), 1));
        if (i + 1 == steps.size() || steps[i + 1] != QLatin1String("cancel"))
            lines.Post();
    }
}

} // namespace

class TestLineOrder : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void linesKeepTheirPlace_data();
    void linesKeepTheirPlace();
    void manyInsertsAtOnePlace();
    void renumberedLinesCanBeChangedAndDeleted();
    void renumberingAfterAnotherProgramMovedALine();
    void setWithoutLinkInTheOrderOfTheFile_data();
    void setWithoutLinkInTheOrderOfTheFile();
};

void TestLineOrder::linesKeepTheirPlace_data()
{
    QTest::addColumn<QString>("setUp");
    QTest::addColumn<QString>("nr");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("whileTyped");
    QTest::addColumn<QStringList>("afterRestart");

    // Invoice 5 holds "Rosen" and "Erde", without places, in id order.
    const QStringList typed{"Rosen", "Neu", "Erde"};
    QTest::newRow("in the middle") << QString() << "5" << QStringList{"2 Neu"} << typed << typed;
    QTest::newRow("at the start") << QString() << "5" << QStringList{"1 Neu"} << QStringList{"Neu", "Rosen", "Erde"}
                                  << QStringList{"Neu", "Rosen", "Erde"};
    QTest::newRow("appended") << QString() << "5" << QStringList{"+ Neu"} << QStringList{"Rosen", "Erde", "Neu"}
                              << QStringList{"Rosen", "Erde", "Neu"};
    QTest::newRow("into an empty invoice") << QString() << "6" << QStringList{"1 A", "+ C", "2 B"} << QStringList{"A", "B", "C"}
                                           << QStringList{"A", "B", "C"};
    // Each one above the one typed before it.
    QTest::newRow("twice at one place") << QString() << "5" << QStringList{"2 Eins", "2 Zwei"}
                                        << QStringList{"Rosen", "Zwei", "Eins", "Erde"} << QStringList{"Rosen", "Zwei", "Eins", "Erde"};
    // Lines without a place stand at their id, between lines that have one.
    QTest::newRow("places mixed with lines without one")
        << QStringLiteral("INSERT INTO rechnung2004 (id, rechnungsnummer, beschreibung, pos) VALUES "
                          "(10, '6', 'zehn', NULL), (11, '6', 'elf', NULL), (12, '6', 'zwischen', 10.5), (13, '6', 'vorn', 1);")
        << "6" << QStringList{"3 Neu", "1 Anfang", "+ Ende"} << QStringList{"Anfang", "vorn", "zehn", "Neu", "zwischen", "elf", "Ende"}
        << QStringList{"Anfang", "vorn", "zehn", "Neu", "zwischen", "elf", "Ende"};
    QTest::newRow("equal places, then by id")
        << QStringLiteral("INSERT INTO rechnung2004 (id, rechnungsnummer, beschreibung, pos) VALUES "
                          "(10, '6', 'b', 2), (11, '6', 'a', 2), (12, '6', 'c', 3);")
        << "6" << QStringList{"2 Neu"} << QStringList{"b", "Neu", "a", "c"} << QStringList{"b", "Neu", "a", "c"};
    // A file made before places reads in id order, and an insert there shows
    // where it was typed until the next start, as it always did.
    QTest::newRow("file without places") << WithoutPlaces + QString::fromUtf8(StandardData) << "5" << QStringList{"1 Neu"}
                                         << QStringList{"Neu", "Rosen", "Erde"} << QStringList{"Rosen", "Erde", "Neu"};
    QTest::newRow("cancelled in the middle") << QString() << "5" << QStringList{"2 Neu", "cancel"}
                                             << QStringList{"Rosen", "Erde"} << QStringList{"Rosen", "Erde"};
    QTest::newRow("cancelled at the end") << QString() << "5" << QStringList{"+ Neu", "cancel"} << QStringList{"Rosen", "Erde"}
                                          << QStringList{"Rosen", "Erde"};
}

void TestLineOrder::linesKeepTheirPlace()
{
    QFETCH(QString, setUp);
    QFETCH(QString, nr);
    QFETCH(QStringList, steps);
    QFETCH(QStringList, whileTyped);
    QFETCH(QStringList, afterRestart);
    const bool own = setUp.startsWith(QLatin1String("DROP"));
    testdb::Fixture db(own ? setUp : QString::fromUtf8(StandardData) + setUp);
    const QString count = db.scalar(QStringLiteral("SELECT count(*) FROM rechnung2004"));
    {
        auto d = started(db.file(), nr);
        type(d->invoiceLines, steps);
        QCOMPARE(shown(d->invoiceLines), whileTyped);
        d->invoiceLines.Refresh();
        QCOMPARE(shown(d->invoiceLines), whileTyped);
        // Another invoice and back: the view is made anew from the rows held.
        d->invoiceHeaders.Locate(QStringLiteral("nr"), nr == QLatin1String("5") ? QStringLiteral("6") : QStringLiteral("5"));
        d->invoiceHeaders.Locate(QStringLiteral("nr"), nr);
        QCOMPARE(shown(d->invoiceLines), afterRestart);
        d->invoiceLines.Close();
        d->invoiceLines.Open();
        QCOMPARE(shown(d->invoiceLines), afterRestart);
    }
    auto d = started(db.file(), nr);
    QCOMPARE(shown(d->invoiceLines), afterRestart);
    QCOMPARE(stored(db.file(), nr), afterRestart);
    QCOMPARE(repositoryLines(db.file(), nr), afterRestart);
    if (steps.contains(QStringLiteral("cancel")))
        QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM rechnung2004")), count);
}

void TestLineOrder::manyInsertsAtOnePlace()
{
    testdb::Fixture db(QString::fromUtf8(StandardData));
    // Every new line goes above the one typed before it, between it and
    // "Rosen": the room between two places halves each time and runs out.
    QStringList steps, expected{"Rosen"};
    for (int i = 1; i <= 60; ++i) {
        steps << QStringLiteral("2 Zeile %1").arg(i);
        expected.insert(1, QStringLiteral("Zeile %1").arg(i));
    }
    expected << QStringLiteral("Erde");
    {
        auto d = started(db.file(), QStringLiteral("5"));
        type(d->invoiceLines, steps);
        QCOMPARE(shown(d->invoiceLines), expected);
    }
    QCOMPARE(stored(db.file(), QStringLiteral("5")), expected);
    auto d = started(db.file(), QStringLiteral("5"));
    QCOMPARE(shown(d->invoiceLines), expected);
    // The lines were numbered afresh on the way: no two share a place.
    QCOMPARE(db.scalar(QStringLiteral("SELECT count(DISTINCT pos) FROM rechnung2004 WHERE rechnungsnummer = '5'")),
             QString::number(expected.size()));
    QVERIFY(db.scalar(QStringLiteral("SELECT max(pos) FROM rechnung2004 WHERE rechnungsnummer = '5'")).toDouble() <= 62);
}

// A renumbered line is held as written: storing or deleting it afterwards
// finds it unchanged in the file, not changed by another program.
void TestLineOrder::renumberedLinesCanBeChangedAndDeleted()
{
    // No room between "a" and "b": the next insert there numbers the invoice anew.
    testdb::Fixture db(QString::fromUtf8(StandardData)
                       + QStringLiteral("INSERT INTO rechnung2004 (id, rechnungsnummer, beschreibung, pos) VALUES "
                                        "(10, '6', 'a', 1), (11, '6', 'b', 1.0000000000000002), (12, '6', 'c', NULL);"));
    auto d = started(db.file(), QStringLiteral("6"));
    RecordSet &lines = d->invoiceLines;
    type(lines, {QStringLiteral("2 Neu")});
    QCOMPARE(shown(lines), (QStringList{"a", "Neu", "b", "c"}));
    QCOMPARE(db.scalar(QStringLiteral("SELECT group_concat(pos, '|') FROM (SELECT pos FROM rechnung2004 WHERE id IN (10, 11, 12) "
                                      "ORDER BY id)")),
             QStringLiteral("1.0|2.0|3.0"));
    lines.First();
    lines.Next();
    lines.Next(); // "b", renumbered
    lines.Edit();
    lines.FieldByName(Description)->setAsString(QStringLiteral("B"));
    lines.Post();
    lines.Next(); // "c", which had no place before
    lines.Delete();
    QCOMPARE(shown(lines), (QStringList{"a", "Neu", "B"}));
    QCOMPARE(stored(db.file(), QStringLiteral("6")), (QStringList{"a", "Neu", "B"}));
}

void TestLineOrder::renumberingAfterAnotherProgramMovedALine()
{
    testdb::Fixture db(QString::fromUtf8(StandardData)
                       + QStringLiteral("INSERT INTO rechnung2004 (id, rechnungsnummer, beschreibung, pos) VALUES "
                                        "(10, '6', 'a', 1), (11, '6', 'b', 1.0000000000000002), (12, '6', 'c', 3);"));
    auto d = started(db.file(), QStringLiteral("6"));
    RecordSet &lines = d->invoiceLines;
    // Another program moves "b" behind "c" meanwhile.
    db.exec(QStringLiteral("UPDATE rechnung2004 SET pos = 5 WHERE id = 11"));
    lines.First();
    lines.Next();
    bool conflict = false;
    try {
        lines.Insert();
    } catch (const ConflictError &e) {
        conflict = true;
        QVERIFY2(e.message().contains(QStringLiteral("anderen Programm")), qPrintable(e.message()));
        // Nothing was written, nothing is pending.
        QCOMPARE(lines.State(), DataSetState::Browse);
        QCOMPARE(shown(lines), (QStringList{"a", "b", "c"}));
        QCOMPARE(db.scalar(QStringLiteral("SELECT group_concat(pos, '|') FROM (SELECT pos FROM rechnung2004 WHERE id IN (10, 11, 12) "
                                          "ORDER BY id)")),
                 QStringLiteral("1.0|5.0|3.0"));
        e.discard();
    }
    QVERIFY(conflict);
    QCOMPARE(shown(lines), (QStringList{"a", "c", "b"}));
    QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM rechnung2004")), QStringLiteral("6"));
}

void TestLineOrder::setWithoutLinkInTheOrderOfTheFile_data()
{
    QTest::addColumn<QString>("places");
    QTest::newRow("none") << QStringLiteral("NULL, NULL, NULL, NULL, NULL");
    QTest::newRow("numbers, some equal, some missing") << QStringLiteral("3, NULL, 1.5, 3, -2");
    QTest::newRow("a place equal to another row's id") << QStringLiteral("2, NULL, 2.0, 5, NULL");
    QTest::newRow("text after numbers") << QStringLiteral("'b', 4, 'a', NULL, 'b'");
}

// A record set of a table with places, without a link: the same order as
// the database's own for the same rule.
void TestLineOrder::setWithoutLinkInTheOrderOfTheFile()
{
    QFETCH(QString, places);
    testdb::Fixture db(QStringLiteral("CREATE TABLE orte (id INTEGER PRIMARY KEY AUTOINCREMENT, name VARCHAR(50), platz);"));
    const QStringList values = places.split(QStringLiteral(", "));
    const int ids[] = {5, 1, 4, 2, 3};
    for (int i = 0; i < values.size(); ++i)
        db.exec(QStringLiteral("INSERT INTO orte (id, name, platz) VALUES (%1, 'n%1', %2)").arg(ids[i]).arg(values[i]));
    const QString expected = db.scalar(QStringLiteral("SELECT group_concat(name, ' ') FROM (SELECT name FROM orte "
                                                      "ORDER BY coalesce(platz, id), id)"));
    SqliteDatabase c;
    testdb::openOther(c, db.file());
    RecordSet rs(QStringLiteral("orte"), c);
    rs.setTableName(QStringLiteral("orte"));
    rs.setPositionField(QStringLiteral("platz"));
    rs.Open();
    QStringList names;
    for (int pos = 0; pos < rs.RecordCount(); ++pos)
        rs.readRowAt(pos, [&] { names << rs.FieldByName(QStringLiteral("name"))->AsString(); });
    QCOMPARE(names.join(QLatin1Char(' ')), expected);
}

QTEST_GUILESS_MAIN(TestLineOrder)
#include "tst_lineorder.moc"
