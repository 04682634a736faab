// The printed deferred invoice names the delivery notes its lines came with:
// a heading above the first line of each note, none above the others, and an
// invoice without notes prints its lines as it always has.

#include "report/invoicereport.h"

#include "data/database.h"
#include "testdb.h"

#include <QtTest>

using namespace rpt;

namespace {

constexpr double Near = 0.011;
// One row of the table of lines on the 96-dpi grid.
const double Row = std::round(5.03 * 96 / 25.4) * 25.4 / 96;

// Deferred invoice S-1 (id 1) of two delivery notes and a freight line of
// none; invoice 17 (id 2) of none.
const char *const Data = R"(
INSERT INTO kunde (id, name, adresse) VALUES (1, 'Vivai Bernardi', 'Via delle Camelie 7');
INSERT INTO rechnungsdaten2004 (id, nr, datum, bezahlung, kundennummer, dokumentart) VALUES
  (1, 'S-1', '30.11.2004', '30 Tage', '1', 'TD24'),
  (2, '17', '01.12.2004', '30 Tage', '1', NULL);
INSERT INTO rechnung2004 (rechnungsnummer, beschreibung, anzahl, einzelpreis, pos, lieferschein_nr, lieferschein_datum) VALUES
  ('S-1', 'Olivenbaum', '2', '80', 1, '12', '03.11.2004'),
  ('S-1', 'Erde', '10', '5', 2, '12', '03.11.2004'),
  ('S-1', 'Lavendel', '24', '3', 3, '13', '10.11.2004'),
  ('S-1', 'Fracht', '1', '40', 4, NULL, NULL),
  ('17', 'Rosen', '4', '2,5', 1, NULL, NULL),
  ('17', 'Erde', '1', '10', 2, '', '');
)";

const TextRun *findText(const Page &page, const QString &text)
{
    for (const DrawOp &op : page.ops)
        if (const auto *t = std::get_if<TextRun>(&op); t && !t->lines.isEmpty() && t->lines.front() == text)
            return t;
    return nullptr;
}

QStringList headingsOf(const Page &page)
{
    QStringList out;
    for (const QString &text : page.texts())
        if (text.startsWith(QStringLiteral("Lieferschein")))
            out << text;
    return out;
}

// Between two lines of an invoice of no delivery notes.
double plainSpacing();

struct Printed
{
    Printed() : db(QString::fromLatin1(Data))
    {
        data.setSeparators({QLatin1Char(','), QLatin1Char('.')});
        data.open(db.file());
        report = std::make_unique<InvoiceReport>(data);
    }
    RunResult runOf(qint64 headerId)
    {
        data.invoiceHeaders.Locate(QStringLiteral("id"), QVariant(headerId));
        return report->layout.run();
    }
    testdb::Fixture db;
    InvoiceData data;
    std::unique_ptr<InvoiceReport> report;
};

double plainSpacing()
{
    Printed p;
    const RunResult r = p.runOf(2);
    const TextRun *first = findText(*r.pages.front(), QStringLiteral("Rosen"));
    const TextRun *second = findText(*r.pages.front(), QStringLiteral("Erde"));
    return first && second ? second->box.top() - first->box.top() : 0;
}

} // namespace

class TestDeferredInvoiceReport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void headingAboveEachNotesFirstLine_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("previous");
        QTest::addColumn<QString>("heading");
        QTest::newRow("first of note 12") << "Olivenbaum" << "Beschreibung - Descrizione" << "Lieferschein Nr. 12 vom 03.11.2004";
        QTest::newRow("second of note 12") << "Erde" << "Olivenbaum" << "";
        QTest::newRow("first of note 13") << "Lavendel" << "Erde" << "Lieferschein Nr. 13 vom 10.11.2004";
        QTest::newRow("of no note") << "Fracht" << "Lavendel" << "";
    }

    void headingAboveEachNotesFirstLine()
    {
        QFETCH(QString, line);
        QFETCH(QString, previous);
        QFETCH(QString, heading);
        Printed p;
        const RunResult r = p.runOf(1);
        QCOMPARE(r.end, RunEnd::Completed);
        QCOMPARE(r.pages.size(), size_t(1));
        const Page &page = *r.pages.front();
        QCOMPARE(headingsOf(page), (QStringList{QStringLiteral("Lieferschein Nr. 12 vom 03.11.2004"),
                                                QStringLiteral("Lieferschein Nr. 13 vom 10.11.2004")}));
        const TextRun *shown = findText(page, line);
        const TextRun *before = findText(page, previous);
        QVERIFY(shown && before);
        // How far apart an invoice without notes prints its lines.
        const double spacing = plainSpacing();
        QVERIFY(spacing > Row - 0.1);
        if (heading.isEmpty()) {
            // Right under the line before, as on any invoice (a band lies on
            // whole tenths: after a heading's row up to one off).
            QVERIFY2(std::abs(shown->box.top() - before->box.top() - spacing) < 0.1,
                     qPrintable(QString::number(shown->box.top() - before->box.top()) + QLatin1Char(' ')
                                + QString::number(spacing)));
            return;
        }
        // A row of its own right above the line, in the description's column.
        const TextRun *above = findText(page, heading);
        QVERIFY(above);
        QVERIFY(above->font.bold);
        QVERIFY(!shown->font.bold);
        QCOMPARE(above->box.left(), shown->box.left());
        QVERIFY(above->box.right() <= shown->box.right() + Near);
        QVERIFY2(std::abs(shown->box.top() - above->box.top() - Row) < Near,
                 qPrintable(QString::number(shown->box.top() - above->box.top())));
        // One row more than between two lines; the band lies on whole tenths.
        if (previous != QLatin1String("Beschreibung - Descrizione"))
            QVERIFY2(std::abs(shown->box.top() - before->box.top() - spacing - Row) < 0.06,
                     qPrintable(QString::number(shown->box.top() - before->box.top())));
        QVERIFY(above->box.top() > before->box.bottom() - Near);
    }

    void totalsAreTheLines()
    {
        // The headings take room, not money: 160 + 50 + 72 + 40.
        Printed p;
        p.runOf(1);
        QCOMPARE(p.report->printedTotals().net, Money::fromCents(32200));
    }

    void invoiceWithoutNotesHasNoHeadings()
    {
        Printed p;
        p.runOf(1);
        // After a deferred invoice, a plain one again, in one and the same window.
        const RunResult r = p.runOf(2);
        const Page &page = *r.pages.front();
        QVERIFY(headingsOf(page).isEmpty());
        // The first line where the plain invoice of a file without notes has it.
        testdb::Fixture plain(QStringLiteral("INSERT INTO kunde (id, name, adresse) VALUES (1, 'Vivai Bernardi', 'Via 7'); "
                                             "INSERT INTO rechnungsdaten2004 (id, nr, datum, kundennummer) VALUES "
                                             "(2, '17', '01.12.2004', '1'); "
                                             "INSERT INTO rechnung2004 (rechnungsnummer, beschreibung, anzahl, einzelpreis, "
                                             "pos) VALUES ('17', 'Rosen', '4', '2,5', 1), ('17', 'Erde', '1', '10', 2); "
                                             "ALTER TABLE rechnung2004 DROP COLUMN lieferschein_nr; "
                                             "ALTER TABLE rechnung2004 DROP COLUMN lieferschein_datum;"));
        InvoiceData data;
        data.setSeparators({QLatin1Char(','), QLatin1Char('.')});
        data.open(plain.file());
        InvoiceReport report(data);
        data.invoiceHeaders.Locate(QStringLiteral("id"), QVariant(2));
        const RunResult before = report.layout.run();
        QCOMPARE(r.pages.size(), before.pages.size());
        for (const QString &line : {QStringLiteral("Rosen"), QStringLiteral("Erde")}) {
            QVERIFY(findText(page, line) && findText(*before.pages.front(), line));
            QCOMPARE(findText(page, line)->box, findText(*before.pages.front(), line)->box);
        }
    }
};

QTEST_MAIN(TestDeferredInvoiceReport)
#include "tst_deferredinvoicereport.moc"
