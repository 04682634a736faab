// A line inserted between others in the editor stands there after the
// program is closed and started again: in the editor's grid, on the printed
// invoice and in the e-invoice.

#include "app/mainwindow.h"
#include "controls/dbgrid.h"
#include "controls/dbnavigator.h"
#include "data/invoicerepository.h"
#include "editor/invoiceeditor.h"
#include "einvoice/fatturapa.h"
#include "framework/flatbutton.h"
#include "report/invoicereport.h"
#include "running.h"
#include "samples.h"
#include "uitest.h"

#include <QPushButton>
#include <QRegularExpression>
#include <QtTest>
#include <algorithm>

using uitest::Boxes;
using uitest::whileModal;

namespace {

// Invoice 5 of Anna has three lines without places, in the order of their ids.
const char *const Data = R"(
INSERT INTO kunde (id, name) VALUES (1, 'Anna Blumen');
INSERT INTO rechnungsdaten2004 (id, nr, datum, bezahlung, bestimmungsort, kundennummer) VALUES
  (1, '5', '01.02.2004', '30 Tage', 'Meran', '1');
INSERT INTO rechnung2004 (rechnungsnummer, beschreibung, anzahl, einzelpreis) VALUES
  ('5', 'Rosen', '4', '2,5'), ('5', 'Erde', '3', '30'), ('5', 'Topf', '1', '7');
)";

const QStringList Typed{"Rosen", "Neu", "Erde", "Zwei", "Topf"};

// The descriptions in the grid's rows, top to bottom.
QStringList gridRows(DBGrid *grid)
{
    QStringList rows;
    for (int r = 0; r < grid->model()->rowCount(); ++r)
        rows << grid->model()->index(r, 0).data().toString();
    return rows;
}

// The descriptions among the printed texts, top to bottom.
QStringList printedLines(InvoiceReport &report)
{
    const rpt::RunResult result = report.layout.run();
    std::vector<std::pair<double, QString>> found;
    for (const auto &page : result.pages)
        for (const rpt::DrawOp &op : page->ops)
            if (const auto *t = std::get_if<rpt::TextRun>(&op); t && !t->lines.isEmpty() && Typed.contains(t->lines.front()))
                found.emplace_back(t->box.top(), t->lines.front());
    std::stable_sort(found.begin(), found.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    QStringList texts;
    for (const auto &[top, text] : found)
        texts << text;
    return texts;
}

// The descriptions of the e-invoice's lines in the order of their numbers.
QStringList eInvoiceLines(Database &connection)
{
    InvoiceRepository repository(connection, Separators{});
    const Invoice invoice = repository.loadByNumber(2004, QStringLiteral("5"));
    const einvoice::FatturaPA made =
        einvoice::buildFatturaPA(sample::nursery(), sample::company(), invoice, QStringLiteral("00042"), Separators{});
    static const QRegularExpression line(
        QStringLiteral("<NumeroLinea>(\\d+)</NumeroLinea>\\s*<Descrizione>([^<]*)</Descrizione>"));
    std::vector<std::pair<int, QString>> numbered;
    for (const QRegularExpressionMatch &m : line.globalMatch(QString::fromUtf8(made.xml)))
        numbered.emplace_back(m.captured(1).toInt(), m.captured(2));
    std::sort(numbered.begin(), numbered.end());
    QStringList texts;
    for (const auto &[number, text] : numbered)
        texts << text;
    return texts;
}

// Types one line into the editor's grid: description, quantity, price.
void typeLine(const QStringList &cells)
{
    for (qsizetype i = 0; i < cells.size(); ++i) {
        if (i > 0)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QTest::keyClicks(QApplication::focusWidget(), cells.at(i));
    }
}

} // namespace

class TestEditorLineOrder : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { prepareApplication(*qobject_cast<QApplication *>(QCoreApplication::instance())); }
    void init() { setUserSeparators({QLatin1Char(','), QLatin1Char('.')}); }
    void insertedLinesKeepTheirPlaceAfterARestart();
};

void TestEditorLineOrder::insertedLinesKeepTheirPlaceAfterARestart()
{
    Running first(QString::fromUtf8(Data));
    QVERIFY(first.shown);
    Boxes boxes;
    InvoiceEditor *editor = first.program.invoiceEditor.get();
    const auto run = whileModal(editor, [&] { first.w().editInvoiceAction->trigger(); }, [&] {
        editor->activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), editor);
        DBGrid *grid = editor->lineGrid;
        grid->setFocus();
        grid->setCurrentColumn(0);
        // Above "Erde" by the grid's Insert key ...
        QTest::keyClick(grid, Qt::Key_Down);
        QTest::keyClick(grid, Qt::Key_Insert);
        typeLine({QStringLiteral("Neu"), QStringLiteral("2"), QStringLiteral("3")});
        QTest::mouseClick(editor->lineNavigator->button(DBNavigator::nbPost), Qt::LeftButton);
        // ... and above "Topf" by the navigator's "+".
        QTest::keyClick(grid, Qt::Key_Down);
        QTest::keyClick(grid, Qt::Key_Down);
        QTest::mouseClick(editor->lineNavigator->button(DBNavigator::nbInsert), Qt::LeftButton);
        typeLine({QStringLiteral("Zwei"), QStringLiteral("1"), QStringLiteral("5")});
        QTest::mouseClick(editor->lineNavigator->button(DBNavigator::nbPost), Qt::LeftButton);
        QCOMPARE(gridRows(grid), Typed);
        QTest::mouseClick(editor->closeButton, Qt::LeftButton);
    });
    QVERIFY(!run.stayedOpen);
    QCOMPARE(boxes.asked, QStringList());
    QCOMPARE(first.scalar(QStringLiteral("SELECT count(*) FROM rechnung2004")), QStringLiteral("5"));
    first.w().close();

    // The program started again on the same file.
    Program again;
    again.create();
    again.mainWindow->show();
    QStringList grid;
    whileModal(again.invoiceEditor.get(), [&] { again.mainWindow->editInvoiceAction->trigger(); }, [&] {
        grid = gridRows(again.invoiceEditor->lineGrid);
        QTest::mouseClick(again.invoiceEditor->closeButton, Qt::LeftButton);
    });
    QCOMPARE(grid, Typed);
    QCOMPARE(printedLines(*again.invoiceReport), Typed);
    QCOMPARE(eInvoiceLines(again.mainWindow->data().connection), Typed);
    QCOMPARE(boxes.asked, QStringList());
}

QTEST_MAIN(TestEditorLineOrder)
#include "tst_editorlineorder.moc"
