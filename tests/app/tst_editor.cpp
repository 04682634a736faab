// The invoice editor opened from the main window: placement, the two
// openers, the totals and the 10 % deduction, on databases made by the tests.

#include "app/mainwindow.h"
#include "data/amount.h"
#include "controls/dbgrid.h"
#include "controls/dbnavigator.h"
#include "controls/dbtext.h"
#include "editor/invoiceeditor.h"
#include "editor/naturequestion.h"
#include "report/invoicereport.h"
#include "framework/flatbutton.h"
#include "running.h"
#include "uitest.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QInputDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QPointer>
#include <QtTest>

using uitest::Boxes;
using uitest::whileModal;

namespace {

// Invoice 5 of Anna has lines summing to 100; invoice 6 has none; Bruno's 7
// has a line that cannot be read; Carla's header has no number.
const char *const Data = R"(
INSERT INTO kunde (id, name) VALUES (1, 'Anna Blumen'), (2, 'Bruno Baum'), (3, 'Carla Kraut'), (4, 'Dora Dorn');
INSERT INTO rechnungsdaten2004 (id, nr, datum, bezahlung, bestimmungsort, kundennummer) VALUES
  (1, '5', '01.02.2004', '30 Tage', 'Meran', '1'), (2, '6', '03.02.2004', '', '', '1'),
  (3, '7', '04.02.2004', '', '', '2'), (4, NULL, '05.02.2004', '', '', '3');
INSERT INTO rechnung2004 (rechnungsnummer, beschreibung, anzahl, einzelpreis) VALUES
  ('5', 'Rosen', '4', '2,5'), ('5', 'Erde', '3', '30'), ('5', 'Topf', '', '7'),
  ('7', 'Gut', '1', '1'), ('7', 'Kaputt', '1', '1.234,50');
)";

QString text(RecordSet &rs, const char *f) { return rs.FieldByName(QString::fromLatin1(f))->AsString(); }

// Presses "[ Vorschau ]" and closes the preview once the run has ended; true when a preview opened.
bool previewUntilTheRunEnds(InvoiceReport &report, QAbstractButton *previewButton)
{
    bool previewed = false;
    auto opened = QObject::connect(&report.runner, &rpt::ReportRunner::previewOpened, [&](QWidget *window) {
        previewed = true;
        auto *poll = new QTimer(window);
        QObject::connect(poll, &QTimer::timeout, window, [&report, window, poll] {
            if (report.layout.busy())
                return;
            poll->stop();
            window->close();
        });
        poll->start(5);
    });
    QTest::mouseClick(previewButton, Qt::LeftButton);
    QObject::disconnect(opened);
    return previewed;
}

// Answers the question for the reason of a rate of 0 with `code` ("" for
// "Abbrechen") and keeps what it offered.
struct NatureAnswer
{
    explicit NatureAnswer(const QString &code) : code(code)
    {
        QObject::connect(&poll, &QTimer::timeout, [this] { answer(); });
        poll.start(5);
    }
    void answer()
    {
        auto *dialog = qobject_cast<QInputDialog *>(QApplication::activeModalWidget());
        if (!dialog || dialog->objectName() != QLatin1String("naturwahl") || !dialog->isVisible())
            return;
        ++asked;
        offered = dialog->comboBoxItems();
        proposed = dialog->textValue();
        if (code.isEmpty()) {
            dialog->reject();
            return;
        }
        dialog->setTextValue(natureChoiceText(code));
        dialog->accept();
    }
    QString code;
    int asked = 0;
    QStringList offered;
    QString proposed;
    QTimer poll;
};

// A line table as files made before rates had it.
QString withoutRates(const QString &table)
{
    return QStringLiteral("ALTER TABLE %1 DROP COLUMN steuersatz; ALTER TABLE %1 DROP COLUMN natura;").arg(table);
}

QStringList columnsOf(const DBGrid *grid)
{
    QStringList columns;
    for (const GridColumn &c : grid->columns())
        columns << c.title + QLatin1Char(' ') + QString::number(grid->columnWidth(int(columns.size())));
    return columns;
}

struct Editor : Running
{
    explicit Editor(const QString &extra = QString()) : Running(QString::fromUtf8(Data) + extra)
    {
        w().activateWindow();
        active = QTest::qWaitForWindowActive(&w());
    }
    InvoiceEditor *e() { return program.invoiceEditor.get(); }
    RecordSet &lines() { return w().invoiceLines(); }
    uitest::ModalRun byMenu(const std::function<void()> &inside) { return whileModal(e(), [&] { w().editInvoiceAction->trigger(); }, inside); }
    uitest::ModalRun byDoubleClick(const std::function<void()> &inside)
    {
        DBGrid *grid = w().invoiceList;
        const QPoint cell = grid->visualRect(grid->model()->index(0, 0)).center();
        return whileModal(e(), [&] { QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell); }, inside);
    }
    QStringList totals() { return {e()->netTotal->text(), e()->taxTotal->text(), e()->grossTotal->text()}; }
    bool active = false;
};

} // namespace

class TestEditor : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { prepareApplication(*qobject_cast<QApplication *>(QCoreApplication::instance())); }
    void init() { setUserSeparators({QLatin1Char(','), QLatin1Char('.')}); }

    void looksAsItShould();
    void placementFollowsTheMainWindow();
    void placementInsetsOverALargerWindow();
    void doubleClickNeedsANumberAndResetsTheTotals();
    void menuOpensEvenWithoutInvoices();
    void totals_data();
    void totals();
    void totalsStoreAChangedLineFirst();
    void unreadableLineKeepsTheTotals();
    void badNumberTypedIntoTheGridIsNotStored();
    void deductionRefusesAGrossAmountBeyondAnyAmount_data();
    void deductionRefusesAGrossAmountBeyondAnyAmount();
    void unitPriceText_data();
    void unitPriceText();
    void deduction_data();
    void deduction();
    void emptyDeductionLeavesALineTheNextMoveDrops();
    void halfTypedLineIsStoredWhenTheMainWindowMoves();
    void typingAfterAnInsertLandsInTheNewRow_data();
    void typingAfterAnInsertLandsInTheNewRow();
    void deleteAnsweredWithAbbrechenKeepsTheLine();
    void editorTotalsEqualThePrintedTotals();
    void leavingTheEditorClosesItsPreview();
    void laterYearIsEditedAndPrinted();
    void rateColumnsOnlyWhereTheYearHasThem_data();
    void rateColumnsOnlyWhereTheYearHasThem();
    void pickingTheRate_data();
    void pickingTheRate();
    void newLinesTakeTheCustomersRate_data();
    void newLinesTakeTheCustomersRate();
};

void TestEditor::looksAsItShould()
{
    Editor d;
    InvoiceEditor *e = d.e();
    QCOMPARE(e->windowTitle(), QStringLiteral("Rechnung Ändern"));
    QVERIFY(e->windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(e->palette().color(QPalette::Window), QColor(192, 220, 192));
    QCOMPARE(e->deductionBox->title(), QStringLiteral("  Hier kannst du die 10% abziehen  "));
    // The description makes room for the rate and its reason.
    QCOMPARE(e->lineGrid->columnWidth(0), 270);
    QCOMPARE(e->lineGrid->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("anzahl"));
    QCOMPARE(e->lineGrid->model()->index(0, 2).data(Qt::TextAlignmentRole).toInt(), int(Qt::AlignCenter));
    QCOMPARE(e->netTotal->text(), QStringLiteral("auf berechnen klicken!"));
    QCOMPARE(e->insertDeductionButton->focusPolicy(), Qt::NoFocus);
    QVERIFY(!e->closeButton->isDefault() && !e->closeButton->autoDefault());
    QVERIFY(e->lineNavigator->button(DBNavigator::nbRefresh)->isVisibleTo(e->lineNavigator));
    QVERIFY(!e->lineNavigator->button(DBNavigator::nbFirst)->isVisibleTo(e->lineNavigator));
    QCOMPARE(e->destination->text(), QStringLiteral("Meran"));
}

void TestEditor::placementFollowsTheMainWindow()
{
    Editor d;
    for (const QPoint &at : {QPoint(30, 40), QPoint(100, 20)}) {
        d.w().move(at);
        const QRect m = d.w().frameGeometry();
        const auto run = d.byMenu([&] {
            // Never smaller than the controls (the offscreen main window has no frame to lend height).
            QCOMPARE(d.e()->frameGeometry(),
                     QRect(m.left() + 4, m.top() + 55, std::max(m.width() - 8, 675), std::max(m.height() - 58, 545)));
            QVERIFY(d.e()->rect().contains(d.e()->closeButton->geometry()));
            QTest::mouseClick(d.e()->closeButton, Qt::LeftButton);
        });
        QVERIFY(run.wasModal);
        QVERIFY(!run.stayedOpen);
    }
}

void TestEditor::placementInsetsOverALargerWindow()
{
    Editor d;
    QWidget larger;
    larger.setGeometry(50, 60, 800, 700);
    d.e()->placeOver(&larger);
    QCOMPARE(d.e()->geometry(), QRect(54, 115, 792, 642));
}

void TestEditor::doubleClickNeedsANumberAndResetsTheTotals()
{
    Editor d;
    QVERIFY(d.active);
    d.byDoubleClick([&] { QTest::mouseClick(d.e()->computeButton, Qt::LeftButton); QTest::mouseClick(d.e()->closeButton, Qt::LeftButton); });
    QCOMPARE(d.totals(), (QStringList{QStringLiteral("100,00"), QStringLiteral("10,00"), QStringLiteral("110,00")}));
    // The menu leaves the last figures, the double-click resets them.
    d.byMenu([&] {
        QCOMPARE(d.totals().value(2), QStringLiteral("110,00"));
        QTest::mouseClick(d.e()->closeButton, Qt::LeftButton);
    });
    const auto run = d.byDoubleClick([&] {
        QCOMPARE(d.totals().value(0), QStringLiteral("auf berechnen klicken!"));
        QTest::mouseClick(d.e()->closeButton, Qt::LeftButton);
    });
    QVERIFY(run.wasModal);
    QCOMPARE(d.e()->brutto(), Money{11000}); // the values stay; only the texts were reset

    // Carla's invoice has no number: the double-click does nothing at all.
    d.w().customers().Locate(QStringLiteral("id"), 3);
    bool opened = false;
    QTimer::singleShot(0, d.e(), [&] {
        opened = d.e()->isVisible();
        d.e()->reject();
    });
    const QPoint cell = d.w().invoiceList->visualRect(d.w().invoiceList->model()->index(0, 0)).center();
    QTest::mouseDClick(d.w().invoiceList->viewport(), Qt::LeftButton, {}, cell);
    QCoreApplication::processEvents();
    QVERIFY(!opened);
}

void TestEditor::menuOpensEvenWithoutInvoices()
{
    Editor d;
    d.w().customers().Locate(QStringLiteral("id"), 4);
    const auto run = d.byMenu([&] {
        QCOMPARE(d.e()->customerName->text(), QStringLiteral("Dora Dorn"));
        QCOMPARE(d.e()->invoiceNumber->text(), QString());
        QCOMPARE(d.e()->lineGrid->model()->rowCount(), 0);
        QTest::mouseClick(d.e()->computeButton, Qt::LeftButton);
        QCOMPARE(d.totals(), (QStringList{QStringLiteral("0,00"), QStringLiteral("0,00"), QStringLiteral("0,00")}));
        // A deduction line without a header gets no invoice number.
        d.e()->grossAmount->setText(QStringLiteral("11"));
        QTest::mouseClick(d.e()->insertDeductionButton, Qt::LeftButton);
    });
    QVERIFY(run.wasModal);
    QCOMPARE(d.scalar(QStringLiteral("SELECT ifnull(rechnungsnummer, 'NULL') || '|' || einzelpreis FROM rechnung2004 ORDER BY id DESC LIMIT 1")),
             QStringLiteral("NULL|10,00"));
}

void TestEditor::totals_data()
{
    QTest::addColumn<int>("header");
    QTest::addColumn<QStringList>("figures");
    QTest::addColumn<QString>("current");
    // 4 x 2,5 + 3 x 30 = 100; the pot without a quantity adds nothing.
    QTest::newRow("lines summing to 100") << 1 << QStringList{"100,00", "10,00", "110,00"} << "Topf";
    QTest::newRow("no lines") << 2 << QStringList{"0,00", "0,00", "0,00"} << "";
}

void TestEditor::totals()
{
    QFETCH(int, header);
    QFETCH(QStringList, figures);
    QFETCH(QString, current);
    Editor d;
    d.w().invoiceHeaders().Locate(QStringLiteral("id"), header);
    d.byMenu([&] {
        QTest::mouseClick(d.e()->computeButton, Qt::LeftButton);
        QCOMPARE(d.totals(), figures);
        // The last line stays current, and the grid shows it so.
        QCOMPARE(text(d.lines(), "beschreibung"), current);
        QCOMPARE(d.e()->lineGrid->currentIndex().row(), d.lines().RecNo());
        QTest::mouseClick(d.e()->closeButton, Qt::LeftButton);
    });
}

void TestEditor::totalsStoreAChangedLineFirst()
{
    Editor d;
    QVERIFY(d.active);
    d.byMenu([&] {
        DBGrid *grid = d.e()->lineGrid;
        grid->setFocus();
        grid->setCurrentColumn(1);
        QTest::keyClick(grid, Qt::Key_8); // Rosen: 8 x 2,5 = 20 instead of 10
        QCOMPARE(d.lines().State(), DataSetState::Edit);
        QTest::mouseClick(d.e()->computeButton, Qt::LeftButton);
        QCOMPARE(d.totals().value(0), QStringLiteral("110,00"));
        QTest::mouseClick(d.e()->closeButton, Qt::LeftButton);
    });
    QCOMPARE(d.scalar(QStringLiteral("SELECT anzahl FROM rechnung2004 WHERE beschreibung = 'Rosen'")), QStringLiteral("8"));
}

void TestEditor::unreadableLineKeepsTheTotals()
{
    Editor d;
    d.w().customers().Locate(QStringLiteral("id"), 2);
    Boxes boxes;
    d.byMenu([&] {
        QTest::mouseClick(d.e()->computeButton, Qt::LeftButton);
        QTest::mouseClick(d.e()->closeButton, Qt::LeftButton);
    });
    // Bruno's second line is named, and the grid stands on it to be corrected.
    QCOMPARE(boxes.asked, QStringList{QStringLiteral("tst_editor|Zeile 2: '1.234,50' ist kein gültiger Gleitkommawert.")});
    QCOMPARE(d.totals().value(0), QStringLiteral("auf berechnen klicken!"));
    QCOMPARE(text(d.lines(), "beschreibung"), QStringLiteral("Kaputt"));
    QCOMPARE(d.e()->lineGrid->currentIndex().row(), 1);
}

void TestEditor::badNumberTypedIntoTheGridIsNotStored()
{
    Editor d;
    QVERIFY(d.active);
    Boxes boxes;
    d.byMenu([&] {
        DBGrid *grid = d.e()->lineGrid;
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_Insert);
        auto typeCell = [&](int column, const QString &text) {
            grid->setCurrentColumn(column);
            QTest::keyClick(grid, text.at(0).toLatin1());
            QVERIFY(grid->cellEditor());
            QTest::keyClicks(grid->cellEditor(), text.mid(1));
            QTest::keyClick(grid->cellEditor(), Qt::Key_Return);
        };
        typeCell(0, QStringLiteral("F"));
        typeCell(1, QStringLiteral("NaN"));
        typeCell(2, QStringLiteral("2,00"));
        boxes.asked.clear();
        // Leaving the line tries to store it: refused, and nothing is lost.
        QTest::keyClick(grid, Qt::Key_Down);
        QCOMPARE(boxes.asked, QStringList{QStringLiteral("tst_editor|'NaN' ist kein gültiger Gleitkommawert.")});
        QCOMPARE(d.lines().State(), DataSetState::Insert);
        QCOMPARE(text(d.lines(), "anzahl"), QStringLiteral("NaN"));
        QCOMPARE(grid->model()->index(grid->currentIndex().row(), 1).data().toString(), QStringLiteral("NaN"));
        // The totals cannot pass it either.
        QTest::mouseClick(d.e()->computeButton, Qt::LeftButton);
        QCOMPARE(boxes.asked.size(), 2);
        QCOMPARE(d.totals().value(0), QStringLiteral("auf berechnen klicken!"));
        // Corrected, it is stored and counted.
        typeCell(1, QStringLiteral("3"));
        QTest::mouseClick(d.e()->computeButton, Qt::LeftButton);
        QCOMPARE(boxes.asked.size(), 2);
        QCOMPARE(d.totals().value(0), QStringLiteral("106,00"));
        QTest::mouseClick(d.e()->closeButton, Qt::LeftButton);
    });
    QCOMPARE(d.scalar(QStringLiteral("SELECT count(*) FROM rechnung2004 WHERE anzahl = 'NaN'")), QStringLiteral("0"));
    QCOMPARE(d.scalar(QStringLiteral("SELECT anzahl || '|' || einzelpreis FROM rechnung2004 WHERE beschreibung = 'F'")),
             QStringLiteral("3|2,00"));
}

void TestEditor::deductionRefusesAGrossAmountBeyondAnyAmount_data()
{
    QTest::addColumn<QString>("gross");
    QTest::addColumn<QString>("message");
    QTest::newRow("1e308") << "1e308" << "'1e308' ergibt keinen gültigen Betrag.";
    QTest::newRow("10^15 net after the tax") << "1,1e15" << "'1,1e15' ergibt keinen gültigen Betrag.";
    QTest::newRow("beyond a double") << "1e400" << "'1e400' ergibt keinen gültigen Betrag.";
}

void TestEditor::deductionRefusesAGrossAmountBeyondAnyAmount()
{
    QFETCH(QString, gross);
    QFETCH(QString, message);
    Editor d;
    Boxes boxes;
    d.byMenu([&] {
        d.e()->grossAmount->setText(gross);
        QTest::mouseClick(d.e()->insertDeductionButton, Qt::LeftButton);
        QCOMPARE(boxes.asked, QStringList{QStringLiteral("tst_editor|") + message});
        QTest::mouseClick(d.e()->closeButton, Qt::LeftButton);
    });
    QCOMPARE(d.scalar(QStringLiteral("SELECT count(*) FROM rechnung2004")), QStringLiteral("5"));
}

void TestEditor::unitPriceText_data()
{
    QTest::addColumn<QString>("gross");
    QTest::addColumn<QString>("price");
    QTest::addColumn<QString>("decimal");
    QTest::newRow("110") << "110" << "100,00" << ",";
    QTest::newRow("1") << "1" << "0,91" << ",";
    QTest::newRow("1100 without a thousands separator") << "1100" << "1000,00" << ",";
    QTest::newRow("1234567,8") << "1234567,8" << "1122334,36" << ",";
    QTest::newRow("english") << "1100" << "1000.00" << ".";
}

void TestEditor::unitPriceText()
{
    QFETCH(QString, gross);
    QFETCH(QString, price);
    QFETCH(QString, decimal);
    const Separators separators{decimal.at(0), decimal == QLatin1String(",") ? QLatin1Char('.') : QLatin1Char(',')};
    const long double net = textToFloat(gross, separators) / 1.1L;
    QCOMPARE(::unitPriceText(net, separators), price);
    // The line amount reads it back as the same value.
    QCOMPARE(double(textToFloat(price, separators)), QString(price).replace(decimal, QStringLiteral(".")).toDouble());
}

void TestEditor::deduction_data()
{
    QTest::addColumn<QString>("gross");
    QTest::addColumn<QString>("price");
    QTest::newRow("110") << "110" << "100,00";
    QTest::newRow("1") << "1" << "0,91";
    QTest::newRow("1100") << "1100" << "1000,00";
}

void TestEditor::deduction()
{
    QFETCH(QString, gross);
    QFETCH(QString, price);
    Editor d;
    d.byMenu([&] {
        d.e()->grossAmount->setText(gross);
        QTest::mouseClick(d.e()->insertDeductionButton, Qt::LeftButton);
        QCOMPARE(d.lines().State(), DataSetState::Browse);
        QCOMPARE(text(d.lines(), "einzelpreis"), price); // the new line is current
        QCOMPARE(d.e()->grossAmount->text(), gross);             // not cleared
        QCOMPARE(d.totals().value(0), QStringLiteral("auf berechnen klicken!"));
        QTest::mouseClick(d.e()->closeButton, Qt::LeftButton);
    });
    QCOMPARE(d.scalar(QStringLiteral("SELECT rechnungsnummer || '|' || ifnull(beschreibung, 'NULL') || '|' || ifnull(anzahl, 'NULL') || '|' "
                                     "|| einzelpreis FROM rechnung2004 ORDER BY id DESC LIMIT 1")),
             QStringLiteral("5|NULL|NULL|") + price);
}

void TestEditor::emptyDeductionLeavesALineTheNextMoveDrops()
{
    Editor d;
    Boxes boxes;
    d.byMenu([&] {
        d.e()->grossAmount->clear();
        QTest::mouseClick(d.e()->insertDeductionButton, Qt::LeftButton);
        QCOMPARE(boxes.asked.value(0), QStringLiteral("tst_editor|'' ist kein gültiger Gleitkommawert."));
        QCOMPARE(d.lines().State(), DataSetState::Insert);
        QCOMPARE(d.e()->lineGrid->model()->rowCount(), 4);
        QTest::mouseClick(d.e()->lineNavigator->button(DBNavigator::nbPrior), Qt::LeftButton);
        QCOMPARE(d.e()->lineGrid->model()->rowCount(), 3);
        QTest::mouseClick(d.e()->closeButton, Qt::LeftButton);
    });
    QCOMPARE(d.scalar(QStringLiteral("SELECT count(*) FROM rechnung2004")), QStringLiteral("5"));
}

void TestEditor::halfTypedLineIsStoredWhenTheMainWindowMoves()
{
    Editor d;
    QVERIFY(d.active);
    d.byMenu([&] {
        DBGrid *grid = d.e()->lineGrid;
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_Insert);
        QTest::keyClick(grid, 'L');
        QVERIFY(grid->cellEditor());
        QTest::keyClicks(grid->cellEditor(), QStringLiteral("avendel"));
        QTest::mouseClick(d.e()->closeButton, Qt::LeftButton);
    });
    QCOMPARE(d.lines().State(), DataSetState::Insert); // still pending
    QCOMPARE(d.scalar(QStringLiteral("SELECT count(*) FROM rechnung2004 WHERE beschreibung = 'Lavendel'")), QStringLiteral("0"));
    d.w().invoiceHeaders().Next();
    QCOMPARE(d.scalar(QStringLiteral("SELECT rechnungsnummer FROM rechnung2004 WHERE beschreibung = 'Lavendel'")), QStringLiteral("5"));
}

void TestEditor::typingAfterAnInsertLandsInTheNewRow_data()
{
    QTest::addColumn<bool>("inEditor");     // the editor's lines, or the main window's invoice list
    QTest::addColumn<bool>("byNavigator");  // the navigator's "+", or the Insert key in the grid
    QTest::addColumn<QStringList>("cells"); // typed one key at a time, Tab between the cells
    QTest::addColumn<QString>("stored");
    // The line starts with a blank, which pressed "[ Beenden ]" when the
    // focus stayed where it was; the rest then went into the list's open cell.
    QTest::newRow("editor, +") << true << true << QStringList{" Meran", "3"} << "5| Meran|3";
    QTest::newRow("editor, Insert key") << true << false << QStringList{" Meran", "3"} << "5| Meran|3";
    // The keys of a new invoice: number, Tab, date; the list had last been
    // used in its last column.
    QTest::newRow("invoice list, +") << false << true << QStringList{"2", "11.12.2026"} << "1|2|11.12.2026|NULL";
    QTest::newRow("invoice list, Insert key") << false << false << QStringList{"2", "11.12.2026"} << "1|2|11.12.2026|NULL";
}

void TestEditor::typingAfterAnInsertLandsInTheNewRow()
{
    QFETCH(bool, inEditor);
    QFETCH(bool, byNavigator);
    QFETCH(QStringList, cells);
    QFETCH(QString, stored);
    Editor d;
    QVERIFY(d.active);
    Boxes boxes;
    // A cell of the invoice list is open on the destination of invoice 5.
    DBGrid *list = d.w().invoiceList;
    list->setFocus();
    list->setCurrentColumn(3);
    QTest::keyClick(list, Qt::Key_F2);
    QCOMPARE(list->cellEditorText(), QStringLiteral("Meran"));

    const auto insertTypeAndStore = [&](DBGrid *grid, DBNavigator *navigator) {
        if (byNavigator)
            QTest::mouseClick(navigator->button(DBNavigator::nbInsert), Qt::LeftButton);
        else
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Insert);
        QCOMPARE(QApplication::focusWidget(), grid);
        QCOMPARE(grid->currentColumn(), 0);
        QCOMPARE(grid->dataSource()->DataSet()->State(), DataSetState::Insert);
        QCOMPARE(grid->currentIndex().row(), grid->dataSource()->DataSet()->RecNo());
        for (qsizetype i = 0; i < cells.size(); ++i) {
            if (i > 0)
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            for (const QChar c : cells.at(i))
                QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
        }
        QTest::mouseClick(navigator->button(DBNavigator::nbPost), Qt::LeftButton);
    };
    if (inEditor) {
        const auto run = d.byMenu([&] {
            // As a window manager does when the editor shows (the offscreen
            // platform leaves the main window active).
            d.e()->activateWindow();
            QTRY_COMPARE(QApplication::activeWindow(), d.e());
            DBGrid *grid = d.e()->lineGrid;
            grid->setCurrentColumn(2);
            if (byNavigator)
                d.e()->closeButton->setFocus();
            else
                grid->setFocus();
            insertTypeAndStore(grid, d.e()->lineNavigator);
            QVERIFY(d.e()->isVisible());
        });
        QVERIFY(run.stayedOpen);
        QCOMPARE(d.scalar(QStringLiteral("SELECT rechnungsnummer || '|' || beschreibung || '|' || anzahl FROM rechnung2004 "
                                         "ORDER BY id DESC LIMIT 1")),
                 stored);
        // Nothing reached the list's open cell.
        QCOMPARE(list->cellEditorText(), QStringLiteral("Meran"));
        QCOMPARE(d.w().invoiceHeaders().State(), DataSetState::Browse);
        QCOMPARE(d.scalar(QStringLiteral("SELECT bestimmungsort FROM rechnungsdaten2004 WHERE id = 1")), QStringLiteral("Meran"));
    } else {
        insertTypeAndStore(list, d.w().invoiceNavigator);
        QCOMPARE(d.scalar(QStringLiteral("SELECT kundennummer || '|' || nr || '|' || datum || '|' || ifnull(bestimmungsort, 'NULL') "
                                         "FROM rechnungsdaten2004 ORDER BY id DESC LIMIT 1")),
                 stored);
    }
    QCOMPARE(boxes.asked, QStringList());
}

void TestEditor::deleteAnsweredWithAbbrechenKeepsTheLine()
{
    Editor d;
    Boxes boxes({false});
    d.byMenu([&] {
        QTest::mouseClick(d.e()->lineNavigator->button(DBNavigator::nbDelete), Qt::LeftButton);
        QTest::mouseClick(d.e()->closeButton, Qt::LeftButton);
    });
    QCOMPARE(boxes.asked, QStringList{QStringLiteral("Bestätigung|Datensatz löschen?")});
    QCOMPARE(d.scalar(QStringLiteral("SELECT count(*) FROM rechnung2004")), QStringLiteral("5"));
}

void TestEditor::laterYearIsEditedAndPrinted()
{
    // A file with a year after the classic ones starts there.
    Editor d(QStringLiteral(
        "CREATE TABLE rechnungsdaten2026 (id INTEGER PRIMARY KEY AUTOINCREMENT, nr VARCHAR(50), datum VARCHAR(50), "
        "bezahlung VARCHAR(50), kundennummer VARCHAR(50), bestimmungsort VARCHAR(50), dokumentart VARCHAR(4), "
        "bezug_nr VARCHAR(50), bezug_datum VARCHAR(50), faellig VARCHAR(50), bezahlt_am VARCHAR(50));"
        "CREATE TABLE rechnung2026 (id INTEGER PRIMARY KEY AUTOINCREMENT, rechnungsnummer VARCHAR(50), beschreibung VARCHAR(50), "
        "anzahl VARCHAR(50), einzelpreis VARCHAR(50), summe VARCHAR(50), "
        "steuersatz VARCHAR(2), natura VARCHAR(4), pos DOUBLE PRECISION);"
        "INSERT INTO rechnungsdaten2026 (nr, datum, kundennummer) VALUES ('2026-1', '02.01.2026', '1');"
        "INSERT INTO rechnung2026 (rechnungsnummer, beschreibung, anzahl, einzelpreis) VALUES ('2026-1', 'Tulpen', '10', '1,50');")
             + testdb::yearAdditionsSql(2026));
    QCOMPARE(d.w().invoiceLines().TableName(), QStringLiteral("rechnung2026"));
    InvoiceReport *druck = d.program.invoiceReport.get();
    d.byDoubleClick([&] {
        QCOMPARE(d.e()->invoiceNumber->text(), QStringLiteral("2026-1"));
        QTest::mouseClick(d.e()->computeButton, Qt::LeftButton);
        QCOMPARE(d.totals(), (QStringList{QStringLiteral("15,00"), QStringLiteral("1,50"), QStringLiteral("16,50")}));
        d.e()->grossAmount->setText(QStringLiteral("11"));
        QTest::mouseClick(d.e()->insertDeductionButton, Qt::LeftButton); // stored in this year's lines
        previewUntilTheRunEnds(*druck, d.e()->previewButton);
        QTest::mouseClick(d.e()->closeButton, Qt::LeftButton);
    });
    QCOMPARE(druck->printedTotals().net, Money{1500});
    QCOMPARE(d.scalar(QStringLiteral("SELECT rechnungsnummer || '|' || einzelpreis FROM rechnung2026 ORDER BY id DESC LIMIT 1")),
             QStringLiteral("2026-1|10,00"));
}

void TestEditor::editorTotalsEqualThePrintedTotals()
{
    Editor d;
    InvoiceReport *druck = d.program.invoiceReport.get();
    bool previewed = false;
    d.byMenu([&] {
        d.e()->grossAmount->setText(QStringLiteral("12,34")); // a line with a price but no quantity, too
        QTest::mouseClick(d.e()->insertDeductionButton, Qt::LeftButton);
        QTest::mouseClick(d.e()->computeButton, Qt::LeftButton);
        // "[ Vorschau ]" runs the invoice; the preview closes once the run has ended.
        previewed = previewUntilTheRunEnds(*druck, d.e()->previewButton);
        QTest::mouseClick(d.e()->closeButton, Qt::LeftButton);
    });
    QVERIFY(previewed);
    const InvoiceTotals &printed = druck->printedTotals();
    QCOMPARE(printed.net, d.e()->summe());
    QCOMPARE(printed.tax, d.e()->steuer());
    QCOMPARE(printed.gross, d.e()->brutto());
    QCOMPARE(d.e()->grossTotal->text(), QStringLiteral("110,00"));
}

void TestEditor::leavingTheEditorClosesItsPreview()
{
    Editor d;
    InvoiceReport *druck = d.program.invoiceReport.get();
    QPointer<QWidget> preview;
    // Should leaving the editor not end the preview, this ends it later and says so.
    bool rescued = false;
    QTimer rescue;
    rescue.setSingleShot(true);
    QObject::connect(&rescue, &QTimer::timeout, [&] {
        rescued = true;
        if (preview)
            preview->close();
    });
    rescue.start(5000);
    const auto run = d.byMenu([&] {
        auto opened = QObject::connect(&druck->runner, &rpt::ReportRunner::previewOpened, [&](QWidget *window) {
            preview = window;
            // "[ Beenden ]" while the preview is still open over the editor,
            // once the run is over (during it, older windows take no input).
            auto *poll = new QTimer(window);
            QObject::connect(poll, &QTimer::timeout, window, [&, poll] {
                if (druck->layout.busy())
                    return;
                poll->stop();
                QTest::mouseClick(d.e()->closeButton, Qt::LeftButton);
            });
            poll->start(5);
        });
        QTest::mouseClick(d.e()->previewButton, Qt::LeftButton);
        QObject::disconnect(opened);
    });
    rescue.stop();
    QVERIFY(!rescued);
    QVERIFY(run.wasModal);
    QVERIFY(!run.stayedOpen);
    QVERIFY(!preview || !preview->isVisible());
    QVERIFY(!druck->layout.busy());
    // The editor opens again as usual.
    const auto again = d.byMenu([&] { QTest::mouseClick(d.e()->closeButton, Qt::LeftButton); });
    QVERIFY(again.wasModal);
}

void TestEditor::rateColumnsOnlyWhereTheYearHasThem_data()
{
    QTest::addColumn<QString>("extra");
    QTest::addColumn<QStringList>("columns"); // title and width
    QTest::newRow("a year with rates") << QString()
                                       << QStringList{"beschreibung 270", "anzahl 76", "einzelpreis 91", "steuersatz 62", "natura 50"};
    // The grid of a file that declined the new columns looks as it always did.
    QTest::newRow("a year without rates") << withoutRates(QStringLiteral("rechnung2004"))
                                          << QStringList{"beschreibung 382", "anzahl 76", "einzelpreis 91"};
}

void TestEditor::rateColumnsOnlyWhereTheYearHasThem()
{
    QFETCH(QString, extra);
    QFETCH(QStringList, columns);
    Boxes boxes({false}); // "no" to the columns the file lacks
    Editor d(extra);
    d.byMenu([&] {
        DBGrid *grid = d.e()->lineGrid;
        QCOMPARE(columnsOf(grid), columns);
        if (columns.size() > 3) {
            QCOMPARE(grid->columns().at(3).pickList, (QStringList{"22", "10", "5", "4", "0"}));
            // An empty cell is 10 %.
            QCOMPARE(grid->model()->index(0, 3).data().toString(), QString());
        }
        QTest::mouseClick(d.e()->computeButton, Qt::LeftButton);
        QCOMPARE(d.totals(), (QStringList{QStringLiteral("100,00"), QStringLiteral("10,00"), QStringLiteral("110,00")}));
        QTest::mouseClick(d.e()->closeButton, Qt::LeftButton);
    });
    QCOMPARE(boxes.kinds.count(BoxRequest::Error), 0);
}

void TestEditor::pickingTheRate_data()
{
    QTest::addColumn<QString>("extra");
    QTest::addColumn<bool>("typed");     // typed into the cell, or taken from its pick list
    QTest::addColumn<QString>("rate");   // for Rosen, 4 x 2,5 = 10 beside Erde's 90
    QTest::addColumn<QString>("answer"); // the reason chosen when asked ("" for "Abbrechen"), or the line's
    QTest::addColumn<int>("asked");
    QTest::addColumn<QString>("error");  // the box when the line is stored
    QTest::addColumn<QString>("stored"); // steuersatz|natura
    QTest::addColumn<QStringList>("totals");
    const QString errorStart = QStringLiteral("tst_editor|");
    // 10 at 22 % and 90 at 10 %: 2,20 + 9,00 tax.
    const QStringList tenAndTwentyTwo{"100,00", "11,20", "111,20"};
    QTest::newRow("22 from the list: 10 % and 22 % lines") << QString() << false << "22" << "" << 0 << "" << "22|NULL"
                                                            << tenAndTwentyTwo;
    QTest::newRow("22 typed") << QString() << true << "22" << "" << 0 << "" << "22|NULL" << tenAndTwentyTwo;
    QTest::newRow("0 asks for the reason") << QString() << false << "0" << "N3.2" << 1 << "" << "0|N3.2"
                                           << QStringList{"100,00", "9,00", "109,00"};
    QTest::newRow("0 typed asks too") << QString() << true << "0" << "N6.9" << 1 << "" << "0|N6.9"
                                      << QStringList{"100,00", "9,00", "109,00"};
    // Without a reason the line is not stored, and keeps what was picked.
    QTest::newRow("0, the question cancelled")
        << QString() << false << "0" << "" << 1
        << errorStart + "Beim Steuersatz 0 fehlt der Grund der Befreiung (Natura): bitte einen aus der Liste wählen." << "NULL|NULL"
        << QStringList{"100,00", "10,00", "110,00"};
    QTest::newRow("0 typed, the question cancelled")
        << QString() << true << "0" << "" << 1
        << errorStart + "Beim Steuersatz 0 fehlt der Grund der Befreiung (Natura): bitte einen aus der Liste wählen." << "NULL|NULL"
        << QStringList{"100,00", "10,00", "110,00"};
    const QString atZero = QStringLiteral("UPDATE rechnung2004 SET steuersatz = '0', natura = 'N3.2' WHERE beschreibung = 'Rosen';");
    QTest::newRow("any other rate clears the reason")
        << atZero << false << "10" << "" << 0 << "" << "10|NULL" << QStringList{"100,00", "10,00", "110,00"};
    // Its own column changes the reason.
    QTest::newRow("0 again keeps the reason the line has") << atZero << false << "0" << "N3.2" << 0 << "" << "0|N3.2"
                                                            << QStringList{"100,00", "9,00", "109,00"};
}

void TestEditor::pickingTheRate()
{
    QFETCH(QString, extra);
    QFETCH(bool, typed);
    QFETCH(QString, rate);
    QFETCH(QString, answer);
    QFETCH(int, asked);
    QFETCH(QString, error);
    QFETCH(QString, stored);
    QFETCH(QStringList, totals);
    Editor d(extra);
    QVERIFY(d.active);
    Boxes boxes;
    NatureAnswer question(answer);
    d.byMenu([&] {
        DBGrid *grid = d.e()->lineGrid;
        grid->setFocus();
        QCOMPARE(text(d.lines(), "beschreibung"), QStringLiteral("Rosen"));
        d.lines().First();
        grid->setCurrentColumn(3);
        if (typed) {
            QTest::keyClick(grid, rate.at(0).toLatin1());
            QVERIFY(grid->cellEditor());
            QTest::keyClicks(grid->cellEditor(), rate.mid(1));
            QTest::keyClick(grid->cellEditor(), Qt::Key_Return);
        } else {
            QTest::keyClick(grid, Qt::Key_F2);
            auto *list = qobject_cast<QComboBox *>(grid->cellEditor());
            QVERIFY(list);
            const int entry = list->findText(rate);
            QVERIFY(entry >= 0);
            list->setCurrentIndex(entry);
            Q_EMIT list->activated(entry);
        }
        QCOMPARE(question.asked, asked);
        QCOMPARE(text(d.lines(), "steuersatz"), rate);
        QCOMPARE(text(d.lines(), "natura"), answer);
        QTest::mouseClick(d.e()->lineNavigator->button(DBNavigator::nbPost), Qt::LeftButton);
        QCOMPARE(boxes.asked, error.isEmpty() ? QStringList() : QStringList{error});
        QCOMPARE(d.lines().State(), error.isEmpty() ? DataSetState::Browse : DataSetState::Edit);
        if (error.isEmpty()) {
            QTest::mouseClick(d.e()->computeButton, Qt::LeftButton);
            QCOMPARE(d.totals(), totals);
        } else {
            d.lines().Cancel();
        }
        QTest::mouseClick(d.e()->closeButton, Qt::LeftButton);
    });
    if (asked) {
        // Every reason with the law's short text.
        QCOMPARE(question.offered.size(), vatNatures().size());
        QCOMPARE(question.offered.value(0), QStringLiteral("N1 – Ausgeschlossen (Art. 15 DPR 633/72)"));
        QVERIFY(question.offered.contains(
            QStringLiteral("N3.2 – Nicht steuerpflichtig: innergemeinschaftliche Lieferung (Art. 41 DL 331/93)")));
        QCOMPARE(question.proposed, question.offered.value(0));
    }
    QCOMPARE(d.scalar(QStringLiteral("SELECT ifnull(steuersatz, 'NULL') || '|' || ifnull(natura, 'NULL') FROM rechnung2004 "
                                     "WHERE beschreibung = 'Rosen'")),
             stored);
    // Erde keeps its 10 %.
    QCOMPARE(d.scalar(QStringLiteral("SELECT ifnull(steuersatz, 'NULL') FROM rechnung2004 WHERE beschreibung = 'Erde'")),
             QStringLiteral("NULL"));
}

void TestEditor::newLinesTakeTheCustomersRate_data()
{
    QTest::addColumn<QString>("extra");      // Anna's e-invoice data, if any
    QTest::addColumn<QString>("stored");     // steuersatz|natura of the line typed in
    QTest::newRow("no e-invoice data: 10 %") << QString() << QStringLiteral("NULL|NULL");
    QTest::newRow("Italian business: 10 %")
        << QStringLiteral("INSERT INTO kunde_efattura (kunde_id, ust_land, ust_nr, kundenart) VALUES (1, 'IT', '00000000109', "
                          "'it_firma');")
        << QStringLiteral("NULL|NULL");
    QTest::newRow("EU business: intra-EU supply")
        << QStringLiteral("INSERT INTO kunde_efattura (kunde_id, ust_land, ust_nr, land, kundenart) VALUES (1, 'AT', "
                          "'U12345675', 'AT', 'eu_firma');")
        << QStringLiteral("0|N3.2");
    QTest::newRow("San Marino") << QStringLiteral("INSERT INTO kunde_efattura (kunde_id, ust_land, ust_nr, land, kundenart) "
                                                  "VALUES (1, 'SM', '12345', 'SM', 'san_marino');")
                                << QStringLiteral("0|N3.3");
    QTest::newRow("outside the EU") << QStringLiteral("INSERT INTO kunde_efattura (kunde_id, land, kundenart) VALUES (1, 'CH', "
                                                      "'drittland');")
                                    << QStringLiteral("0|N3.1");
}

void TestEditor::newLinesTakeTheCustomersRate()
{
    QFETCH(QString, extra);
    QFETCH(QString, stored);
    Editor d(extra);
    QVERIFY(d.active);
    Boxes boxes;
    d.byDoubleClick([&] {
        QTest::mouseClick(d.e()->lineNavigator->button(DBNavigator::nbInsert), Qt::LeftButton);
        d.lines().FieldByName(QStringLiteral("beschreibung"))->setAsString(QStringLiteral("Neu"));
        QTest::mouseClick(d.e()->lineNavigator->button(DBNavigator::nbPost), Qt::LeftButton);
        // The deduction takes 10 % out: its line is at 10 %, whoever buys.
        d.e()->grossAmount->setText(QStringLiteral("110"));
        QTest::mouseClick(d.e()->insertDeductionButton, Qt::LeftButton);
        QTest::mouseClick(d.e()->closeButton, Qt::LeftButton);
    });
    QCOMPARE(boxes.asked, QStringList());
    const QString rateOf = QStringLiteral("SELECT ifnull(nullif(steuersatz, ''), 'NULL') || '|' || "
                                          "ifnull(nullif(natura, ''), 'NULL') FROM rechnung2004 WHERE %1");
    QCOMPARE(d.scalar(rateOf.arg(QStringLiteral("beschreibung = 'Neu'"))), stored);
    QCOMPARE(d.scalar(rateOf.arg(QStringLiteral("einzelpreis = '100,00'"))), QStringLiteral("NULL|NULL"));
}

QTEST_MAIN(TestEditor)
#include "tst_editor.moc"
