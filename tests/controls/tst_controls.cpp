// Bound controls driven with keys and clicks, offscreen, over the shared
// record sets on a small database.

#include "data/amount.h"
#include "controls/dbedit.h"
#include "controls/dbgrid.h"
#include "controls/dbnavigator.h"
#include "controls/dbtext.h"
#include "data/database.h"
#include "framework/messages.h"
#include "testdb.h"
#include "tests/controls/accessibilityon.h"
#include "uitest.h"

#include <QComboBox>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>
#include <QtTest>

namespace {

const char *const Data = R"(
INSERT INTO kunde (id, name, adresse) VALUES (1, 'Anna', 'Weg 1'), (2, 'Bruno', 'Via 2'), (3, 'Carla', 'Platz 3');
INSERT INTO rechnungsdaten2004 (id, nr, datum, bezahlung, kundennummer) VALUES
  (1, '5', '01.02.2004', '30 Tage', '1'), (2, '6', '03.02.2004', '', '1'), (3, '7', '04.02.2004', '', '2');
INSERT INTO rechnung2004 (rechnungsnummer, beschreibung, anzahl, einzelpreis) VALUES ('5', 'Rosen', '4', '2,5');
)";

// A window with the controls under test and a plain field to move the focus to.
struct Window
{
    explicit Window(const QString &sql = QString::fromUtf8(Data)) : db(sql)
    {
        data.open(db.file());
        auto *layout = new QVBoxLayout(&widget);
        name = new DBEdit(&widget);
        name->setObjectName(QStringLiteral("DBEdit1"));
        name->setDataSource(&data.customerSource);
        name->setDataField(QStringLiteral("name"));
        address = new DBMemo(&widget);
        address->setDataSource(&data.customerSource);
        address->setDataField(QStringLiteral("adresse"));
        number = new DBText(&widget);
        number->setDataSource(&data.headerSource);
        number->setDataField(QStringLiteral("nr"));
        grid = new DBGrid(&widget);
        grid->setColumns({{QStringLiteral("nr"), QStringLiteral("rechnungsnummer"), 114, {}},
                          {QStringLiteral("datum"), QStringLiteral("datum"), 93, {}},
                          {QStringLiteral("bezahlung"), QStringLiteral("bezahlung"), 108, {QStringLiteral("30 Tage"), QStringLiteral("bezahlt")}}});
        grid->setDataSource(&data.headerSource);
        nav = new DBNavigator(&widget);
        nav->setDataSource(&data.customerSource);
        nav->setVisibleButtons({DBNavigator::nbPrior, DBNavigator::nbNext, DBNavigator::nbDelete});
        nav->setOnClick([this](DBNavigator::Button) { ++clicks; });
        other = new QLineEdit(&widget);
        for (QWidget *w : {static_cast<QWidget *>(name), static_cast<QWidget *>(address), static_cast<QWidget *>(number),
                           static_cast<QWidget *>(grid), static_cast<QWidget *>(nav), static_cast<QWidget *>(other)})
            layout->addWidget(w);
        widget.resize(500, 600);
        widget.show();
        activate();
    }
    void activate()
    {
        widget.activateWindow();
        active = QTest::qWaitForWindowActive(&widget);
    }
    QString scalar(const QString &sql) const { return db.scalar(sql); }

    testdb::Fixture db;
    InvoiceData data;
    QWidget widget;
    DBEdit *name;
    DBMemo *address;
    DBText *number;
    DBGrid *grid;
    DBNavigator *nav;
    QLineEdit *other;
    int clicks = 0;
    bool active = false;
};

using uitest::Boxes;

QString field(RecordSet &rs, const char *name) { return rs.FieldByName(QString::fromLatin1(name))->AsString(); }

// Types text the way a keyboard delivers it, to whatever has the focus: one
// key event per character; with `halves`, a character outside the Basic
// Multilingual Plane comes as two events of one UTF-16 half each.
void typeText(const QString &text, bool halves)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const bool pair = !halves && text.at(i).isHighSurrogate() && i + 1 < text.size();
        const QString unit = text.mid(i, pair ? 2 : 1);
        if (pair)
            ++i;
        const QChar c = unit.at(0);
        const int key = c == QLatin1Char(' ') ? int(Qt::Key_Space)
                        : c.unicode() < 128 && c.isLetterOrNumber() ? int(c.toUpper().unicode())
                                                                     : 0;
        for (QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
            QKeyEvent e(type, key, Qt::NoModifier, unit);
            QApplication::sendEvent(QApplication::focusWidget(), &e);
        }
    }
}

} // namespace

class TestControls : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void editFieldStartsTheEditAndHandsOverOnLeaving();
    void editFieldEscapeRestoresTheValue();
    void editFieldOnEmptySetStartsANewRow();
    void editFieldStopsAtFiftyCharacters();
    void memoEnterCountsAsTyping();
    void dataTextFollowsTheSet();
    void navigatorEnabling();
    void navigatorDeleteAsksAndClickRunsEitherWay();
    void gridDownAppendsAndUpDrops();
    void gridTabOnLastCellAppends();
    void gridInsertAndEscape();
    void gridCtrlDelete_data();
    void gridCtrlDelete();
    void gridPickListEditsAtOnce();
    void leavingTheGridDropsAnUntouchedNewRow_data();
    void leavingTheGridDropsAnUntouchedNewRow();
    void clickingARowMovesTheSet();
    void readOnlyGridTakesNoTyping();
    void gridShowsAnUnreadableLineWithAnEmptyAmount();
    void deletingDuringInsertDropsOnlyTheNewRow_data();
    void deletingDuringInsertDropsOnlyTheNewRow();
    void cancelShowsTheFieldAgainInTheCell();
    void undoIsTypingToo();
    void pickListCellKeepsWhatIsTyped_data();
    void pickListCellKeepsWhatIsTyped();
    void textIsStoredAsTypedFromTheFirstKey_data();
    void textIsStoredAsTypedFromTheFirstKey();
    void screenReaderHearsOfANewSetOfRowsOnce();
    void hiddenTextControlsFollowTheSetWhenShown();
    void gridModelGoesWithTheGrid();
    void ctrlAInAnOpenCellSelectsTheText_data();
    void ctrlAInAnOpenCellSelectsTheText();
};

void TestControls::editFieldStartsTheEditAndHandsOverOnLeaving()
{
    Window w;
    QVERIFY(w.active);
    RecordSet &rs = w.data.customers;
    w.name->setFocus();
    QCOMPARE(w.name->text(), QStringLiteral("Anna"));
    QTest::keyClick(w.name, Qt::Key_End);
    QCOMPARE(rs.State(), DataSetState::Browse); // moving the cursor is not typing
    QTest::keyClicks(w.name, QStringLiteral("-Maria"));
    QCOMPARE(rs.State(), DataSetState::Edit);
    QCOMPARE(field(rs, "name"), QStringLiteral("Anna")); // not yet handed over
    w.other->setFocus();
    QCOMPARE(field(rs, "name"), QStringLiteral("Anna-Maria"));
    QCOMPARE(w.scalar(QStringLiteral("SELECT name FROM kunde WHERE id = 1")), QStringLiteral("Anna"));
    rs.Next(); // settling posts it
    QCOMPARE(w.scalar(QStringLiteral("SELECT name FROM kunde WHERE id = 1")), QStringLiteral("Anna-Maria"));
    QCOMPARE(w.name->text(), QStringLiteral("Bruno"));
}

void TestControls::editFieldEscapeRestoresTheValue()
{
    Window w;
    QVERIFY(w.active);
    w.name->setFocus();
    QTest::keyClicks(w.name, QStringLiteral("xyz"));
    QTest::keyClick(w.name, Qt::Key_Escape);
    QCOMPARE(w.name->text(), QStringLiteral("Anna"));
    QCOMPARE(w.name->selectedText(), QStringLiteral("Anna"));
    QCOMPARE(w.data.customers.State(), DataSetState::Edit); // the set keeps its state
    // Typed text also reaches the field when the set asks for it.
    QTest::keyClicks(w.name, QStringLiteral("Berta"));
    w.data.customers.Post();
    QCOMPARE(w.scalar(QStringLiteral("SELECT name FROM kunde WHERE id = 1")), QStringLiteral("Berta"));
}

void TestControls::editFieldOnEmptySetStartsANewRow()
{
    Window w(QStringLiteral("SELECT 1;"));
    QVERIFY(w.active);
    QVERIFY(w.data.customers.IsEmpty());
    w.name->setFocus();
    QTest::keyClicks(w.name, QStringLiteral("Neu"));
    QCOMPARE(w.data.customers.State(), DataSetState::Insert);
    w.other->setFocus();
    w.data.customers.First();
    QCOMPARE(w.scalar(QStringLiteral("SELECT name FROM kunde")), QStringLiteral("Neu"));
}

void TestControls::editFieldStopsAtFiftyCharacters()
{
    Window w;
    QVERIFY(w.active);
    w.name->setFocus();
    w.name->selectAll();
    QTest::keyClicks(w.name, QString(60, QLatin1Char('x')));
    QCOMPARE(w.name->text().size(), 50);
}

void TestControls::memoEnterCountsAsTyping()
{
    Window w;
    QVERIFY(w.active);
    w.address->setFocus();
    w.address->moveCursor(QTextCursor::End);
    QTest::keyClick(w.address, Qt::Key_Return);
    QCOMPARE(w.data.customers.State(), DataSetState::Edit);
    QTest::keyClicks(w.address, QStringLiteral("39100 Bozen"));
    w.other->setFocus();
    w.data.customers.Post();
    // Lines are stored with CR LF, as the existing addresses are.
    QCOMPARE(w.scalar(QStringLiteral("SELECT adresse FROM kunde WHERE id = 1")), QStringLiteral("Weg 1\r\n39100 Bozen"));
}

void TestControls::dataTextFollowsTheSet()
{
    Window w;
    QCOMPARE(w.number->text(), QStringLiteral("5"));
    w.data.invoiceHeaders.Edit();
    w.data.invoiceHeaders.FieldByName(QStringLiteral("nr"))->setAsString(QStringLiteral("5a"));
    QCOMPARE(w.number->text(), QStringLiteral("5a")); // typed but not stored
    w.data.invoiceHeaders.Cancel();
    w.data.customers.Last(); // Carla has no invoices
    QCOMPARE(w.number->text(), QString());
    w.data.invoiceHeaders.Close();
    QCOMPARE(w.number->text(), QString());
}

void TestControls::navigatorEnabling()
{
    Window w;
    auto on = [&](DBNavigator::Button b) { return w.nav->button(b)->isEnabled(); };
    QVERIFY(!on(DBNavigator::nbPrior));
    QVERIFY(on(DBNavigator::nbNext));
    QTest::mouseClick(w.nav->button(DBNavigator::nbNext), Qt::LeftButton);
    QVERIFY(on(DBNavigator::nbPrior));
    QTest::mouseClick(w.nav->button(DBNavigator::nbNext), Qt::LeftButton);
    QVERIFY(on(DBNavigator::nbNext)); // the end is known only after a step finds no row
    QTest::mouseClick(w.nav->button(DBNavigator::nbNext), Qt::LeftButton);
    QCOMPARE(field(w.data.customers, "name"), QStringLiteral("Carla"));
    QVERIFY(!on(DBNavigator::nbNext));
    QCOMPARE(w.clicks, 3);
    // Edit, post and cancel follow the state.
    QVERIFY(on(DBNavigator::nbEdit) && !on(DBNavigator::nbPost) && !on(DBNavigator::nbCancel));
    w.data.customers.Edit();
    QVERIFY(!on(DBNavigator::nbEdit) && on(DBNavigator::nbPost) && on(DBNavigator::nbCancel));
    w.data.customers.Cancel();
    w.data.customers.Close();
    for (int b = 0; b < DBNavigator::ButtonCount; ++b)
        QVERIFY(!on(DBNavigator::Button(b)));
    // The navigator takes no keyboard focus.
    QCOMPARE(w.nav->button(DBNavigator::nbNext)->focusPolicy(), Qt::NoFocus);
    QVERIFY(w.nav->button(DBNavigator::nbNext)->toolTip().isEmpty());
}

void TestControls::navigatorDeleteAsksAndClickRunsEitherWay()
{
    Window w(QStringLiteral("INSERT INTO kunde (name) VALUES ('Einzig');"));
    {
        Boxes no({false});
        QTest::mouseClick(w.nav->button(DBNavigator::nbDelete), Qt::LeftButton);
        QCOMPARE(no.asked, QStringList{QStringLiteral("Bestätigung|Datensatz löschen?")});
        QCOMPARE(w.clicks, 1);
        QCOMPARE(w.data.customers.RecordCount(), 1);
    }
    Boxes yes({true});
    QTest::mouseClick(w.nav->button(DBNavigator::nbDelete), Qt::LeftButton);
    QCOMPARE(w.clicks, 2);
    QVERIFY(w.data.customers.IsEmpty());
    for (DBNavigator::Button b : {DBNavigator::nbFirst, DBNavigator::nbPrior, DBNavigator::nbNext, DBNavigator::nbLast, DBNavigator::nbDelete})
        QVERIFY(!w.nav->button(b)->isEnabled());
    QVERIFY(w.nav->button(DBNavigator::nbInsert)->isEnabled());
    QCOMPARE(w.scalar(QStringLiteral("SELECT count(*) FROM kunde")), QStringLiteral("0"));
}

void TestControls::gridDownAppendsAndUpDrops()
{
    Window w;
    QVERIFY(w.active);
    RecordSet &h = w.data.invoiceHeaders;
    w.grid->setFocus();
    QTest::keyClick(w.grid, Qt::Key_Down);
    QCOMPARE(field(h, "nr"), QStringLiteral("6"));
    QTest::keyClick(w.grid, Qt::Key_Down); // past the last header: a new row
    QCOMPARE(h.State(), DataSetState::Insert);
    QCOMPARE(h.RecordCount(), 3);
    QTest::keyClick(w.grid, Qt::Key_Down); // on the untouched new row: nothing
    QCOMPARE(h.State(), DataSetState::Insert);
    QCOMPARE(h.RecordCount(), 3);
    QTest::keyClick(w.grid, Qt::Key_Up); // drops it
    QCOMPARE(h.State(), DataSetState::Browse);
    QCOMPARE(h.RecordCount(), 2);
    QCOMPARE(field(h, "nr"), QStringLiteral("6"));
    QCOMPARE(w.scalar(QStringLiteral("SELECT count(*) FROM rechnungsdaten2004")), QStringLiteral("3"));
}

void TestControls::gridTabOnLastCellAppends()
{
    Window w;
    QVERIFY(w.active);
    RecordSet &h = w.data.invoiceHeaders;
    w.grid->setFocus();
    h.Last();
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(w.grid, Qt::Key_Tab);
    QCOMPARE(h.State(), DataSetState::Insert);
    QCOMPARE(w.grid->currentColumn(), 0);
    // Typing into the new row keeps it; it gets the customer's id.
    QTest::keyClicks(w.grid, QStringLiteral("8"));
    QVERIFY(w.grid->cellEditor());
    QTest::keyClick(w.grid->cellEditor(), Qt::Key_Tab);
    QCOMPARE(w.grid->currentColumn(), 1);
    QTest::keyClick(w.grid, Qt::Key_0);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("9.09.2004")); // the cell editor has the focus now
    QTest::keyClick(w.grid->cellEditor(), Qt::Key_Up);
    QCOMPARE(h.State(), DataSetState::Browse);
    QCOMPARE(w.scalar(QStringLiteral("SELECT kundennummer || '|' || datum FROM rechnungsdaten2004 WHERE nr = '8'")),
             QStringLiteral("1|09.09.2004"));
}

void TestControls::gridInsertAndEscape()
{
    Window w;
    QVERIFY(w.active);
    RecordSet &h = w.data.invoiceHeaders;
    w.grid->setFocus();
    QTest::keyClick(w.grid, Qt::Key_Down);
    QTest::keyClick(w.grid, Qt::Key_Insert);
    QCOMPARE(h.State(), DataSetState::Insert);
    QCOMPARE(h.RecNo(), 1); // before the current row
    QTest::keyClick(w.grid, Qt::Key_Escape);
    QCOMPARE(h.State(), DataSetState::Browse);
    QCOMPARE(field(h, "nr"), QStringLiteral("6"));

    // Escape first reverts the typed cell, then cancels the row's change.
    QTest::keyClick(w.grid, Qt::Key_Right);
    QTest::keyClicks(w.grid, QStringLiteral("x"));
    QCOMPARE(w.grid->cellEditorText(), QStringLiteral("x"));
    QTest::keyClick(w.grid->cellEditor(), Qt::Key_Escape);
    QCOMPARE(w.grid->cellEditorText(), QStringLiteral("03.02.2004"));
    QCOMPARE(h.State(), DataSetState::Edit);
    QTest::keyClick(w.grid->cellEditor(), Qt::Key_Escape);
    QCOMPARE(h.State(), DataSetState::Browse);
}

void TestControls::gridCtrlDelete_data()
{
    QTest::addColumn<bool>("answer");
    QTest::addColumn<QString>("left");
    QTest::newRow("OK deletes") << true << "1";
    QTest::newRow("Abbrechen keeps") << false << "2";
}

void TestControls::gridCtrlDelete()
{
    QFETCH(bool, answer);
    QFETCH(QString, left);
    Window w;
    QVERIFY(w.active);
    Boxes boxes({answer});
    w.grid->setFocus();
    QTest::keyClick(w.grid, Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(boxes.asked, QStringList{QStringLiteral("Bestätigung|Datensatz löschen?")});
    QCOMPARE(w.scalar(QStringLiteral("SELECT count(*) FROM rechnungsdaten2004 WHERE kundennummer = '1'")), left);
}

void TestControls::gridPickListEditsAtOnce()
{
    Window w;
    QVERIFY(w.active);
    RecordSet &h = w.data.invoiceHeaders;
    w.grid->setFocus();
    QTest::keyClick(w.grid, Qt::Key_Down); // header 6, bezahlung empty
    w.grid->setCurrentColumn(2);
    QTest::keyClick(w.grid, Qt::Key_F2);
    auto *combo = qobject_cast<QComboBox *>(w.grid->cellEditor());
    QVERIFY(combo);
    QCOMPARE(combo->count(), 2);
    QCOMPARE(h.State(), DataSetState::Browse);
    Q_EMIT combo->activated(1); // "bezahlt" chosen from the list
    QCOMPARE(h.State(), DataSetState::Edit);
    QCOMPARE(field(h, "bezahlung"), QStringLiteral("bezahlt"));
    QTest::keyClick(w.grid->cellEditor(), Qt::Key_Up);
    QCOMPARE(w.scalar(QStringLiteral("SELECT bezahlung FROM rechnungsdaten2004 WHERE id = 2")), QStringLiteral("bezahlt"));
}

void TestControls::leavingTheGridDropsAnUntouchedNewRow_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("headers");
    QTest::newRow("untouched") << "" << 3;
    QTest::newRow("one character") << "9" << 4;
}

void TestControls::leavingTheGridDropsAnUntouchedNewRow()
{
    QFETCH(QString, typed);
    QFETCH(int, headers);
    Window w;
    QVERIFY(w.active);
    RecordSet &h = w.data.invoiceHeaders;
    w.grid->setFocus();
    QTest::keyClick(w.grid, Qt::Key_Insert);
    if (!typed.isEmpty())
        QTest::keyClicks(w.grid, typed);
    w.other->setFocus();
    QCOMPARE(h.State(), typed.isEmpty() ? DataSetState::Browse : DataSetState::Insert);
    if (!typed.isEmpty())
        h.FieldByName(QStringLiteral("datum"))->setAsString(QStringLiteral("09.09.2004")); // a header is stored only with its date
    w.data.customers.Next(); // the next settling stores a typed row
    QCOMPARE(w.scalar(QStringLiteral("SELECT count(*) FROM rechnungsdaten2004")), QString::number(headers));
}

void TestControls::clickingARowMovesTheSet()
{
    Window w;
    QVERIFY(w.active);
    RecordSet &h = w.data.invoiceHeaders;
    const QRect second = w.grid->visualRect(w.grid->model()->index(1, 1));
    QTest::mouseClick(w.grid->viewport(), Qt::LeftButton, {}, second.center());
    QCOMPARE(field(h, "nr"), QStringLiteral("6"));
    QCOMPARE(w.grid->currentColumn(), 1);
    // The grid follows moves of the set.
    h.First();
    QCOMPARE(w.grid->currentIndex().row(), 0);
}

void TestControls::gridModelGoesWithTheGrid()
{
    auto *grid = new DBGrid;
    const QPointer<QAbstractItemModel> model = grid->model();
    QVERIFY(model);
    delete grid;
    QVERIFY(model.isNull());
}

void TestControls::readOnlyGridTakesNoTyping()
{
    Window w;
    QVERIFY(w.active);
    Boxes boxes({true});
    w.grid->setGridReadOnly(true);
    w.grid->setFocus();
    QTest::keyClicks(w.grid, QStringLiteral("abc"));
    QTest::keyClick(w.grid, Qt::Key_Delete, Qt::ControlModifier);
    QTest::keyClick(w.grid, Qt::Key_Insert);
    QTest::keyClick(w.grid, Qt::Key_Down);
    QTest::keyClick(w.grid, Qt::Key_Down);
    QVERIFY(boxes.asked.isEmpty());
    QCOMPARE(w.data.invoiceHeaders.State(), DataSetState::Browse);
    QCOMPARE(w.data.invoiceHeaders.RecordCount(), 2);
}

void TestControls::gridShowsAnUnreadableLineWithAnEmptyAmount()
{
    Window w(QStringLiteral(R"(
INSERT INTO kunde (id, name) VALUES (1, 'a');
INSERT INTO rechnungsdaten2004 (nr, kundennummer) VALUES ('1', '1');
INSERT INTO rechnung2004 (rechnungsnummer, beschreibung, einzelpreis, anzahl) VALUES
 ('1', 'gut', '2', '1'), ('1', 'schlecht', '1.234,50', '1'), ('1', 'danach', '3', '1');)"));
    Boxes boxes({true});
    DBGrid lines(&w.widget);
    lines.setColumns({{QStringLiteral("beschreibung"), QStringLiteral("beschreibung"), 100, {}},
                      {QStringLiteral("summerechn"), QStringLiteral("summe"), 80, {}}});
    lines.resize(300, 200);
    lines.show();
    lines.setDataSource(&w.data.lineSource);
    // Every line stays in view, the one that cannot be calculated with its
    // text and an empty amount, so the user can see and correct it.
    QVERIFY(boxes.asked.isEmpty());
    QCOMPARE(lines.model()->rowCount(), 3);
    QCOMPARE(lines.model()->index(0, 1).data().toString(), QStringLiteral("2,00"));
    QCOMPARE(lines.model()->index(1, 0).data().toString(), QStringLiteral("schlecht"));
    QCOMPARE(lines.model()->index(1, 1).data().toString(), QString());
    QCOMPARE(lines.model()->index(2, 1).data().toString(), QStringLiteral("3,00"));
}

void TestControls::deletingDuringInsertDropsOnlyTheNewRow_data()
{
    QTest::addColumn<bool>("byNavigator");
    QTest::addColumn<bool>("answer");
    QTest::newRow("Ctrl+Delete, OK") << false << true;
    QTest::newRow("Ctrl+Delete, Abbrechen") << false << false;
    QTest::newRow("navigator, OK") << true << true;
}

void TestControls::deletingDuringInsertDropsOnlyTheNewRow()
{
    QFETCH(bool, byNavigator);
    QFETCH(bool, answer);
    Window w;
    QVERIFY(w.active);
    RecordSet &h = w.data.invoiceHeaders;
    w.nav->setDataSource(&w.data.headerSource);
    w.grid->setFocus();
    QTest::keyClick(w.grid, Qt::Key_Down);
    QTest::keyClick(w.grid, Qt::Key_Insert);
    QCOMPARE(h.State(), DataSetState::Insert);
    // The question box takes the focus, as a real one does: that is not leaving the grid.
    Boxes boxes({answer});
    setBoxHook([&](const BoxRequest &r) {
        boxes.asked << r.text;
        QWidget box;
        box.show();
        QApplication::setActiveWindow(&box);
        box.setFocus();
        QCoreApplication::processEvents();
        return answer;
    });
    if (byNavigator)
        QTest::mouseClick(w.nav->button(DBNavigator::nbDelete), Qt::LeftButton);
    else
        QTest::keyClick(w.grid, Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(boxes.asked, QStringList{QStringLiteral("Datensatz löschen?")});
    QCOMPARE(h.State(), answer ? DataSetState::Browse : DataSetState::Insert);
    QCOMPARE(w.scalar(QStringLiteral("SELECT count(*) FROM rechnungsdaten2004")), QStringLiteral("3"));
}

void TestControls::cancelShowsTheFieldAgainInTheCell()
{
    Window w;
    QVERIFY(w.active);
    RecordSet &h = w.data.invoiceHeaders;
    w.grid->setFocus();
    QTest::keyClick(w.grid, Qt::Key_Right);
    QTest::keyClicks(w.grid, QStringLiteral("NEU"));
    QCOMPARE(h.State(), DataSetState::Edit);
    h.Cancel(); // as the navigator's Cancel does
    QVERIFY(!w.grid->cellDirty());
    QCOMPARE(w.grid->cellEditorText(), QStringLiteral("01.02.2004"));
    h.Next();
    QCOMPARE(w.scalar(QStringLiteral("SELECT datum FROM rechnungsdaten2004 WHERE id = 1")), QStringLiteral("01.02.2004"));
}

void TestControls::undoIsTypingToo()
{
    Window w;
    QVERIFY(w.active);
    w.name->setFocus();
    QTest::keyClick(w.name, Qt::Key_End);
    QTest::keyClicks(w.name, QStringLiteral("x"));
    w.data.customers.Post();
    QCOMPARE(w.data.customers.State(), DataSetState::Browse);
    QTest::keyClick(w.name, Qt::Key_Z, Qt::ControlModifier);
    // Undo changes the text, so it asks for the edit like any key that types.
    QCOMPARE(w.data.customers.State(), DataSetState::Edit);
}

void TestControls::pickListCellKeepsWhatIsTyped_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("chosen"); // the list entry chosen after typing, -1 for none
    QTest::addColumn<int>("leaveKey");
    QTest::addColumn<QString>("stored");
    // The list offers "30 Tage" and "bezahlt": nothing typed is completed to them or changed in case.
    QTest::newRow("start of an entry, Enter") << "30" << -1 << int(Qt::Key_Return) << "30";
    QTest::newRow("start of an entry, Up") << "30" << -1 << int(Qt::Key_Up) << "30";
    QTest::newRow("one letter") << "b" << -1 << int(Qt::Key_Up) << "b";
    QTest::newRow("other case") << "B" << -1 << int(Qt::Key_Up) << "B";
    QTest::newRow("whole entry in other case") << "BEZAHLT" << -1 << int(Qt::Key_Return) << "BEZAHLT";
    QTest::newRow("whole entry") << "30 Tage" << -1 << int(Qt::Key_Up) << "30 Tage";
    QTest::newRow("typed, then chosen from the list") << "3" << 0 << int(Qt::Key_Up) << "30 Tage";
}

void TestControls::pickListCellKeepsWhatIsTyped()
{
    QFETCH(QString, typed);
    QFETCH(int, chosen);
    QFETCH(int, leaveKey);
    QFETCH(QString, stored);
    Window w;
    QVERIFY(w.active);
    w.grid->setFocus();
    QTest::keyClick(w.grid, Qt::Key_Down); // header 6, bezahlung empty
    w.grid->setCurrentColumn(2);
    typeText(typed, false);
    auto *combo = qobject_cast<QComboBox *>(w.grid->cellEditor());
    QVERIFY(combo);
    QCOMPARE(w.grid->cellEditorText(), typed);
    if (chosen >= 0)
        Q_EMIT combo->activated(chosen);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key(leaveKey));
    w.data.invoiceHeaders.First(); // settles the header when Enter left it pending
    QCOMPARE(w.scalar(QStringLiteral("SELECT bezahlung FROM rechnungsdaten2004 WHERE id = 2")), stored);
}

void TestControls::textIsStoredAsTypedFromTheFirstKey_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("halves");
    const QString tulip = QStringLiteral("\U0001F337Z");
    const QString mixed = QStringLiteral("\U0001F337 äé ש");
    for (const char *control : {"edit field", "memo", "grid cell", "pick-list cell"}) {
        const QByteArray name(control);
        const QString c = QString::fromLatin1(control);
        QTest::newRow(name + ", emoji first") << c << tulip << false;
        QTest::newRow(name + ", emoji first as two halves") << c << tulip << true;
        QTest::newRow(name + ", emoji and blank first") << c << mixed << false;
        QTest::newRow(name + ", emoji and blank first as two halves") << c << mixed << true;
        QTest::newRow(name + ", blank first") << c << QStringLiteral(" Z") << false;
    }
}

void TestControls::textIsStoredAsTypedFromTheFirstKey()
{
    QFETCH(QString, control);
    QFETCH(QString, typed);
    QFETCH(bool, halves);
    Window w;
    QVERIFY(w.active);
    QString sql;
    if (control == QLatin1String("edit field")) {
        w.name->setFocus();
        w.name->selectAll();
        sql = QStringLiteral("SELECT name FROM kunde WHERE id = 1");
    } else if (control == QLatin1String("memo")) {
        w.address->setFocus();
        w.address->selectAll();
        sql = QStringLiteral("SELECT adresse FROM kunde WHERE id = 1");
    } else {
        const bool pick = control == QLatin1String("pick-list cell");
        w.grid->setFocus();
        w.grid->setCurrentColumn(pick ? 2 : 1);
        sql = QStringLiteral("SELECT %1 FROM rechnungsdaten2004 WHERE id = 1").arg(pick ? "bezahlung" : "datum");
    }
    typeText(typed, halves);
    w.other->setFocus();
    w.data.customers.Next(); // settles the customer and, by the link, the header
    QCOMPARE(w.scalar(sql), typed);
}

void TestControls::screenReaderHearsOfANewSetOfRowsOnce()
{
    Window w;
    QList<QAccessibleTableModelChangeEvent::ModelChangeType> changes;
    AccessibilityOn on([&](QAccessibleEvent *e) {
        if (e->type() == QAccessible::TableModelChanged && e->object() == w.grid)
            changes << static_cast<QAccessibleTableModelChangeEvent *>(e)->modelChangeType();
    });
    QVERIFY(QAccessible::isActive());
    w.data.customers.Next(); // Bruno has one invoice where Anna had two
    QCOMPARE(w.grid->model()->rowCount(), 1);
    // One reset for the new rows, then the shown rows' texts: no rows taken
    // out and put in one by one.
    QCOMPARE(changes, (QList{QAccessibleTableModelChangeEvent::ModelReset, QAccessibleTableModelChangeEvent::DataChanged}));
    // The grid and its shown cells stay there for a screen reader.
    QAccessibleInterface *grid = QAccessible::queryAccessibleInterface(w.grid);
    QVERIFY(grid && grid->tableInterface());
    QCOMPARE(grid->tableInterface()->rowCount(), 1);
    QAccessibleInterface *cell = grid->tableInterface()->cellAt(0, 0);
    QVERIFY(cell);
    QCOMPARE(cell->text(QAccessible::Name), QStringLiteral("7"));
}

void TestControls::hiddenTextControlsFollowTheSetWhenShown()
{
    Window w;
    QWidget hidden;
    auto *name = new DBEdit(&hidden);
    name->setDataSource(&w.data.customerSource);
    name->setDataField(QStringLiteral("name"));
    auto *address = new DBMemo(&hidden);
    address->setDataSource(&w.data.customerSource);
    address->setDataField(QStringLiteral("adresse"));
    int updates = 0;
    AccessibilityOn on([&](QAccessibleEvent *e) {
        if (e->object() == name || e->object() == address)
            ++updates;
    });
    QVERIFY(QAccessible::isActive());
    w.data.customers.Next();
    w.data.customers.Next();
    // Nobody sees them, so nobody is told about their texts.
    QCOMPARE(updates, 0);
    hidden.show();
    QCOMPARE(name->text(), QStringLiteral("Carla"));
    QCOMPARE(address->toPlainText(), QStringLiteral("Platz 3"));
}

void TestControls::ctrlAInAnOpenCellSelectsTheText_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("ctrlA"); // the text the platform sends with Ctrl+A
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");
    QTest::newRow("text cell, control character") << 1 << "\x01" << "11.12.2026" << "SELECT datum FROM rechnungsdaten2004 WHERE id = 1";
    QTest::newRow("text cell, letter") << 1 << "a" << "11.12.2026" << "SELECT datum FROM rechnungsdaten2004 WHERE id = 1";
    QTest::newRow("pick-list cell, control character") << 2 << "\x01" << "bezahlt" << "SELECT bezahlung FROM rechnungsdaten2004 WHERE id = 1";
}

void TestControls::ctrlAInAnOpenCellSelectsTheText()
{
    QFETCH(int, column);
    QFETCH(QString, ctrlA);
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    Window w;
    QVERIFY(w.active);
    w.grid->setFocus();
    w.grid->setCurrentColumn(column);
    QTest::keyClick(w.grid, Qt::Key_F2);
    QVERIFY(w.grid->cellEditor());
    QVERIFY(!w.grid->cellEditorText().isEmpty());
    for (QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
        QKeyEvent e(type, Qt::Key_A, Qt::ControlModifier, ctrlA);
        QApplication::sendEvent(QApplication::focusWidget(), &e);
    }
    // The first key starts the edit; the text stays selected and is replaced.
    typeText(typed, false);
    QCOMPARE(w.grid->cellEditorText(), typed);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    w.data.customers.Next();
    QCOMPARE(w.scalar(stored), typed);
}

QTEST_MAIN(TestControls)
#include "tst_controls.moc"
