// The printed credit note: its title where the invoice's stands, the invoice
// it corrects below the letterhead, positive amounts; an invoice of the same
// file prints neither.

#include "report/invoicereport.h"

#include "data/database.h"
#include "framework/report/fontmetrics.h"
#include "testdb.h"

#include <QtTest>

using namespace rpt;

namespace {

constexpr double Margin = 12.7;
constexpr double Near = 0.011;

// Credit note GS-2004-1 (id 1) to invoice 17 (id 2); an old credit note
// whose reference was never filled in (id 3).
const char *const Data = R"(
INSERT INTO kunde (id, name, adresse) VALUES (1, 'Anna Blumen', 'Weg 1');
INSERT INTO rechnungsdaten2004 (id, nr, datum, bezahlung, kundennummer, bestimmungsort, dokumentart, bezug_nr, bezug_datum) VALUES
  (1, 'GS-2004-1', '09.02.2004', '30 Tage', '1', 'Gartenhaus', 'TD04', '17', '01.02.2004'),
  (2, '17', '01.02.2004', '30 Tage', '1', 'Gartenhaus', NULL, NULL, NULL),
  (3, 'GS-2004-1000', '10.02.2004', '30 Tage', '1', 'Gartenhaus', 'TD04', '17', '01.02.2004');
INSERT INTO rechnung2004 (rechnungsnummer, beschreibung, anzahl, einzelpreis, pos) VALUES
  ('GS-2004-1', 'Rosen', '4', '2,5', 1), ('17', 'Rosen', '4', '2,5', 1), ('17', 'Erde', '1', '10', 2);
)";

const TextRun *findText(const Page &page, const QString &text)
{
    for (const DrawOp &op : page.ops)
        if (const auto *t = std::get_if<TextRun>(&op); t && !t->lines.isEmpty() && t->lines.front() == text)
            return t;
    return nullptr;
}

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

} // namespace

class TestCreditNoteReport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void creditNoteHeading()
    {
        Printed p;
        const RunResult r = p.runOf(1);
        QCOMPARE(r.end, RunEnd::Completed);
        const Page &page = *r.pages.front();
        QVERIFY(!findText(page, QStringLiteral("Rechnung / Fattura")));

        // In the invoice title's box, on one line, as large as fits it.
        const TextRun *title = findText(page, QStringLiteral("Gutschrift / Nota di credito"));
        QVERIFY(title);
        QCOMPARE(title->lines.size(), 1);
        QVERIFY2(std::abs(title->box.left() - (Margin + 1.32)) < Near, qPrintable(QString::number(title->box.left())));
        QCOMPARE(title->align, HAlign::Center);
        TextMeasure measure;
        QVERIFY(measure.width(title->font, title->lines.front()) <= title->box.width() + 1e-9);
        QVERIFY(title->box.width() < 34.40 + Near);
        QVERIFY(title->font.pixels <= 12);
        QVERIFY(title->font.pixels >= 7);
        // Within the title's row: below its top, above the number's row.
        QVERIFY(title->box.top() >= Margin + 82.02 - Near);
        QVERIFY(title->box.bottom() <= Margin + 82.02 + 5.29 + Near);

        const TextRun *reference = findText(page, QStringLiteral("zu Rechnung Nr. 17 vom 01.02.2004"));
        QVERIFY(reference);
        QVERIFY(std::abs(reference->box.left() - (Margin + 1.32)) < Near);
        QVERIFY2(std::abs(reference->box.top() - (Margin + 74.61)) < Near, qPrintable(QString::number(reference->box.top())));
        QCOMPARE(reference->font.pixels, 12);
        QVERIFY(reference->font.bold);
        // Between the letterhead and the heading's frame, left of the address.
        QVERIFY(reference->box.bottom() <= Margin + 80.43 + Near);
        QVERIFY(reference->box.right() <= Margin + 91.28 + Near);

        // The credit note's own number where an invoice's stands; amounts positive.
        QVERIFY(findText(page, QStringLiteral("GS-2004-1")));
        QVERIFY(findText(page, QStringLiteral("11,00")));
        QVERIFY(!page.texts().join(QLatin1Char('|')).contains(QLatin1Char('-') + QStringLiteral("11,00")));
    }

    // A number of a credit note's length never runs into the date's column:
    // the short one at the design size, a long one smaller.
    void numberStaysLeftOfTheDate_data()
    {
        QTest::addColumn<qint64>("id");
        QTest::addColumn<QString>("number");
        QTest::addColumn<bool>("designSize");
        QTest::newRow("invoice") << qint64(2) << "17" << true;
        QTest::newRow("long credit note") << qint64(3) << "GS-2004-1000" << false;
    }

    void numberStaysLeftOfTheDate()
    {
        QFETCH(qint64, id);
        QFETCH(QString, number);
        QFETCH(bool, designSize);
        Printed p;
        const RunResult r = p.runOf(id);
        const TextRun *shown = findText(*r.pages.front(), number);
        QVERIFY(shown);
        TextMeasure measure;
        QVERIFY2(shown->box.left() + measure.width(shown->font, number) <= Margin + 36.51 + Near,
                 qPrintable(QString::number(shown->box.left() + measure.width(shown->font, number))));
        QCOMPARE(shown->font.pixels == 12, designSize);
        QVERIFY(shown->font.bold);
    }

    void invoiceOfTheSameFileKeepsItsTitle()
    {
        Printed p;
        p.runOf(1);
        // After a credit note the next run is an invoice again.
        const RunResult r = p.runOf(2);
        const Page &page = *r.pages.front();
        const TextRun *title = findText(page, QStringLiteral("Rechnung / Fattura"));
        QVERIFY(title);
        QCOMPARE(title->font.pixels, 12);
        QVERIFY(std::abs(title->box.top() - (Margin + 82.02)) < Near);
        QVERIFY(!findText(page, QStringLiteral("Gutschrift / Nota di credito")));
        QVERIFY(!page.texts().join(QLatin1Char('|')).contains(QStringLiteral("zu Rechnung")));
    }
};

QTEST_MAIN(TestCreditNoteReport)
#include "tst_creditnotereport.moc"
