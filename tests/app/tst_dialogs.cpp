// The customer dialogs, opened from the main window's customer panel as a
// user opens them, on databases made by the tests.

#include "app/mainwindow.h"
#include "data/amount.h"
#include "controls/dbedit.h"
#include "controls/dbgrid.h"
#include "controls/dbnavigator.h"
#include "dialogs/customerdialog.h"
#include "dialogs/customersearch.h"
#include "framework/flatbutton.h"
#include "running.h"
#include "uitest.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

using uitest::Boxes;
using uitest::whileModal;

namespace {

const char *const Data = R"(
INSERT INTO kunde (id, name, name2) VALUES
  (1, 'Gärtnerei Arnold', 'Arno Arnold'), (2, 'Vivai Garbini', 'Gino Garbini'), (3, 'Hotel Garni Rosa', 'Rosa Rot'),
  (4, 'Baumschule Berg', 'Bert Berg'), (5, 'O''Brian Gardens', 'Olivia O''Brian'), (6, NULL, 'Ohne Namen');
INSERT INTO rechnungsdaten2004 (nr, kundennummer) VALUES ('1', '1'), ('2', '2'), ('3', '3');
)";

QString text(RecordSet &rs, const char *f) { return rs.FieldByName(QString::fromLatin1(f))->AsString(); }

struct Dialogs : Running
{
    Dialogs(const QString &sql = QString::fromUtf8(Data)) : Running(sql)
    {
        w().activateWindow();
        active = QTest::qWaitForWindowActive(&w());
    }
    CustomerDialog *edit() { return program.customerDialog.get(); }
    CustomerSearch *find() { return program.customerSearch.get(); }
    RecordSet &customers() { return w().customers(); }
    // Opens the edit dialog from the panel: "[ Hizufügen ]" or "[ Ändern ]".
    uitest::ModalRun openEdit(bool adding, const std::function<void()> &inside)
    {
        return whileModal(edit(), [&] { QTest::mouseClick(adding ? w().SpeedButton1 : w().SpeedButton3, Qt::LeftButton); }, inside);
    }
    uitest::ModalRun openSearch(const std::function<void()> &inside)
    {
        return whileModal(find(), [&] { QTest::mouseClick(w().SpeedButton2, Qt::LeftButton); }, inside);
    }
    // Types at the end of a field, as after clicking behind its text.
    void type(QWidget *field, const QString &t)
    {
        field->setFocus();
        QTest::keyClick(field, Qt::Key_End, qobject_cast<QLineEdit *>(field) ? Qt::NoModifier : Qt::ControlModifier);
        QTest::keyClicks(field, t);
    }
    QStringList names()
    {
        QStringList out;
        for (int r = 0; r < find()->DBGrid2->model()->rowCount(); ++r)
            out << find()->DBGrid2->model()->index(r, 0).data().toString();
        return out;
    }
    bool active = false;
};

} // namespace

class TestDialogs : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { prepareApplication(*qobject_cast<QApplication *>(QCoreApplication::instance())); }
    void init() { Separators::setCurrent({QLatin1Char(','), QLatin1Char('.')}); }

    void editDialogLooksAsItShould();
    void waysOutOfTheEditDialog_data();
    void waysOutOfTheEditDialog();
    void addedCustomerTypedThenClosedIsStoredByTheNextMove();
    void headingFollowsTheUse();
    void fieldsStopAtFiftyCharacters();
    void enterAndEscapePressNoButton();
    void searchNarrowsWithEveryLetter();
    void searchPatterns_data();
    void searchPatterns();
    void noMatchThenOkBringsBackAll();
    void choosingInANarrowedList();
    void secondOpeningRerunsTheEmptyPattern();
    void closeBoxLeavesTheNarrowedList();
    void searchStoresAPendingCustomerFirst();
    void searchKeepsAPendingCustomerThatCannotBeStored_data();
    void searchKeepsAPendingCustomerThatCannotBeStored();
    void addChangeFindAndTheFileHoldsIt();
    void okChoosesAPendingNewCustomerOnceStored();
};

void TestDialogs::editDialogLooksAsItShould()
{
    Dialogs d;
    CustomerDialog *e = d.edit();
    QCOMPARE(e->windowTitle(), QStringLiteral("Gärtnerei Trovanek"));
    QCOMPARE(e->size(), QSize(400, 444));
    QVERIFY(!(e->windowFlags() & Qt::WindowCloseButtonHint));
    QVERIFY(!(e->windowFlags() & Qt::WindowSystemMenuHint));
    QCOMPARE(e->GroupBox3->title(), QStringLiteral("   Vor und Nachname (der Name des Eigentümer)   "));
    QCOMPARE(e->GroupBox4->title(), QStringLiteral("   P.IVA oder auch MWST genannt ;)   "));
    QCOMPARE(e->SpeedButton2->text(), QStringLiteral("[ Schliessen ]"));
    QCOMPARE(e->SpeedButton1->geometry(), QRect(41, 400, 129, 22));
    QCOMPARE(e->Label18->font().pixelSize(), 27);
    QVERIFY(e->Label18->font().italic() && e->Label18->font().bold());
    QCOMPARE(e->palette().color(QPalette::Window), QColor(Qt::white));
    QCOMPARE(e->SpeedButton1->focusPolicy(), Qt::NoFocus);
    QCOMPARE(e->DBEdit6->accessibleName(), QStringLiteral("Vor und Nachname (der Name des Eigentümer)"));
    CustomerSearch *s = d.find();
    QCOMPARE(s->windowTitle(), QStringLiteral("SUCHE"));
    QCOMPARE(s->Button1->text(), QStringLiteral("[ OK ]"));
    QVERIFY(!s->Button1->isDefault() && !s->Button1->autoDefault());
    QCOMPARE(s->DBGrid2->columnWidth(0), 170);
    QVERIFY(s->DBGrid2->gridReadOnly());
}

void TestDialogs::waysOutOfTheEditDialog_data()
{
    QTest::addColumn<bool>("adding");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("save");
    QTest::addColumn<bool>("stayedOpen");
    QTest::addColumn<DataSetState>("state");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("customers");
    QTest::newRow("adding, save without typing") << true << "" << true << false << DataSetState::Browse << "" << "7";
    QTest::newRow("adding, save after typing") << true << "Neu" << true << false << DataSetState::Browse << "" << "7";
    QTest::newRow("adding, close") << true << "Neu" << false << false << DataSetState::Insert << "" << "6";
    QTest::newRow("changing, save after typing") << false << "X" << true << false << DataSetState::Browse << "" << "6";
    QTest::newRow("changing, save without typing")
        << false << "" << true << true << DataSetState::Browse
        << "tst_dialogs|new: Datenmenge weder im Editier- noch im Einfügemodus." << "6";
    QTest::newRow("changing, close after typing") << false << "X" << false << false << DataSetState::Edit << "" << "6";
    QTest::newRow("changing, close without typing") << false << "" << false << false << DataSetState::Browse << "" << "6";
}

void TestDialogs::waysOutOfTheEditDialog()
{
    QFETCH(bool, adding);
    QFETCH(QString, typed);
    QFETCH(bool, save);
    QFETCH(bool, stayedOpen);
    QFETCH(DataSetState, state);
    QFETCH(QString, error);
    QFETCH(QString, customers);
    Dialogs d;
    QVERIFY(d.active);
    Boxes boxes;
    const auto run = d.openEdit(adding, [&] {
        if (!typed.isEmpty())
            d.type(d.edit()->DBEdit5, typed);
        QTest::mouseClick(save ? d.edit()->SpeedButton1 : d.edit()->SpeedButton2, Qt::LeftButton);
    });
    QVERIFY(run.wasModal);
    QCOMPARE(run.stayedOpen, stayedOpen);
    QCOMPARE(boxes.asked.join(QLatin1Char('\n')), error);
    QCOMPARE(d.customers().State(), state);
    QCOMPARE(d.scalar(QStringLiteral("SELECT count(*) FROM kunde")), customers);
    if (save && !typed.isEmpty() && !adding)
        QCOMPARE(d.scalar(QStringLiteral("SELECT name FROM kunde WHERE id = 1")), QStringLiteral("Gärtnerei ArnoldX"));
    if (adding && save) {
        // The new customer is current, with the id the database gave it.
        QCOMPARE(text(d.customers(), "id"), d.scalar(QStringLiteral("SELECT max(id) FROM kunde")));
        QCOMPARE(d.w().DBEdit1->text(), typed);
    }
    if (adding && !save) {
        QCOMPARE(d.w().DBEdit1->text(), typed); // the panel shows the pending row
        QCOMPARE(d.w().DBGrid4->model()->rowCount(), 0);
    }
}

void TestDialogs::addedCustomerTypedThenClosedIsStoredByTheNextMove()
{
    Dialogs d;
    QVERIFY(d.active);
    d.openEdit(true, [&] {
        d.type(d.edit()->DBEdit5, QStringLiteral("Spaeter gespeichert"));
        QTest::mouseClick(d.edit()->SpeedButton2, Qt::LeftButton);
    });
    QTest::mouseClick(d.w().DBNavigator1->button(DBNavigator::nbPrior), Qt::LeftButton);
    QCOMPARE(d.scalar(QStringLiteral("SELECT count(*) FROM kunde WHERE name = 'Spaeter gespeichert'")), QStringLiteral("1"));

    // Untouched, the same way drops the row.
    d.openEdit(true, [&] { QTest::mouseClick(d.edit()->SpeedButton2, Qt::LeftButton); });
    QTest::mouseClick(d.w().DBNavigator1->button(DBNavigator::nbPrior), Qt::LeftButton);
    QCOMPARE(d.scalar(QStringLiteral("SELECT count(*) FROM kunde")), QStringLiteral("7"));
}

void TestDialogs::headingFollowsTheUse()
{
    Dialogs d;
    for (bool adding : {true, false, true}) {
        d.openEdit(adding, [&] {
            QCOMPARE(d.edit()->Label18->text(), adding ? QStringLiteral("Neuen Kunden einfügen") : QStringLiteral("Kundendaten Ändern"));
            QCOMPARE(d.edit()->SpeedButton1->text(), adding ? QStringLiteral("[ Einfügen ]") : QStringLiteral("[ Ändern ]"));
            QTest::mouseClick(d.edit()->SpeedButton2, Qt::LeftButton);
        });
        if (adding)
            d.customers().Cancel();
    }
}

void TestDialogs::fieldsStopAtFiftyCharacters()
{
    Dialogs d;
    QVERIFY(d.active);
    d.openEdit(false, [&] {
        d.edit()->DBEdit7->setFocus();
        QTest::keyClicks(d.edit()->DBEdit7, QString(51, QLatin1Char('7')));
        QCOMPARE(d.edit()->DBEdit7->text().size(), 50);
        QTest::mouseClick(d.edit()->SpeedButton1, Qt::LeftButton);
    });
    QCOMPARE(d.scalar(QStringLiteral("SELECT length(piva) FROM kunde WHERE id = 1")), QStringLiteral("50"));
}

void TestDialogs::enterAndEscapePressNoButton()
{
    Dialogs d;
    QVERIFY(d.active);
    const auto run = d.openEdit(false, [&] {
        d.type(d.edit()->DBEdit5, QStringLiteral("abc"));
        QTest::keyClick(d.edit()->DBEdit5, Qt::Key_Return);
        QTest::keyClick(d.edit()->DBEdit5, Qt::Key_Escape); // undoes the typing only
        QVERIFY(d.edit()->isVisible());
        QCOMPARE(d.edit()->DBEdit5->text(), QStringLiteral("Gärtnerei Arnold"));
    });
    QVERIFY(run.stayedOpen);
}

void TestDialogs::searchNarrowsWithEveryLetter()
{
    Dialogs d;
    QVERIFY(d.active);
    QList<int> counts;
    d.openSearch([&] {
        for (const char *letter : {"g", "a", "r", "n"}) {
            QTest::keyClicks(d.find()->search, QString::fromLatin1(letter));
            counts << d.find()->DBGrid2->model()->rowCount();
        }
        // The main window follows: its panel shows the first match.
        QCOMPARE(d.w().DBEdit1->text(), QStringLiteral("Hotel Garni Rosa"));
    });
    // "g" matches a g anywhere, in either case (the engine's pattern match); "ga" no longer "Gä".
    QCOMPARE(counts, (QList<int>{5, 3, 3, 1}));
}

void TestDialogs::searchPatterns_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("empty lists every name") << ""
        << QStringList{"Gärtnerei Arnold", "Vivai Garbini", "Hotel Garni Rosa", "Baumschule Berg", "O'Brian Gardens"};
    QTest::newRow("apostrophe") << "O'B" << QStringList{"O'Brian Gardens"};
    QTest::newRow("percent") << "Ho%Rosa" << QStringList{"Hotel Garni Rosa"};
    QTest::newRow("underscore") << "B_rg" << QStringList{"Baumschule Berg"};
    QTest::newRow("colon") << ":name" << QStringList{};
    QTest::newRow("second statement") << "x'; DELETE FROM kunde; --" << QStringList{};
    QTest::newRow("200 characters") << QString(200, QLatin1Char('z')) << QStringList{};
}

void TestDialogs::searchPatterns()
{
    QFETCH(QString, typed);
    QFETCH(QStringList, names);
    Dialogs d;
    QVERIFY(d.active);
    Boxes boxes;
    d.openSearch([&] {
        d.find()->search->setText(typed.isEmpty() ? QStringLiteral("x") : typed);
        d.find()->search->setText(typed);
        QCOMPARE(d.names(), names);
    });
    QVERIFY(boxes.asked.isEmpty());
    QCOMPARE(d.scalar(QStringLiteral("SELECT count(*) || '|' || group_concat(ifnull(name, '-'), ',') FROM kunde")),
             QStringLiteral("6|Gärtnerei Arnold,Vivai Garbini,Hotel Garni Rosa,Baumschule Berg,O'Brian Gardens,-"));
}

void TestDialogs::noMatchThenOkBringsBackAll()
{
    Dialogs d;
    QVERIFY(d.active);
    const auto run = d.openSearch([&] {
        QTest::keyClicks(d.find()->search, QStringLiteral("qqq"));
        QCOMPARE(d.find()->DBGrid2->model()->rowCount(), 0);
        QCOMPARE(d.w().DBEdit1->text(), QString());
        QTest::mouseClick(d.find()->Button1, Qt::LeftButton);
    });
    QVERIFY(!run.stayedOpen);
    QCOMPARE(d.customers().RecordCount(), 6);
    QCOMPARE(d.w().DBEdit1->text(), QStringLiteral("Gärtnerei Arnold"));
}

void TestDialogs::choosingInANarrowedList()
{
    Dialogs d;
    QVERIFY(d.active);
    d.openSearch([&] {
        QTest::keyClicks(d.find()->search, QStringLiteral("gar"));
        DBGrid *grid = d.find()->DBGrid2;
        const QRect second = grid->visualRect(grid->model()->index(1, 0));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, second.center());
        QCOMPARE(d.w().DBEdit1->text(), QStringLiteral("Hotel Garni Rosa"));
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, second.center());
    });
    QCOMPARE(d.customers().RecordCount(), 6);
    QCOMPARE(text(d.customers(), "id"), QStringLiteral("3"));
    QCOMPARE(d.w().DBGrid4->model()->index(0, 0).data().toString(), QStringLiteral("3"));
}

void TestDialogs::secondOpeningRerunsTheEmptyPattern()
{
    Dialogs d;
    QVERIFY(d.active);
    d.customers().Last(); // the customer without a name
    d.openSearch([&] {
        QCOMPARE(d.find()->search->text(), QString()); // first opening: nothing re-run
        QCOMPARE(d.find()->DBGrid2->model()->rowCount(), 6);
        QTest::keyClicks(d.find()->search, QStringLiteral("Berg"));
        QTest::mouseClick(d.find()->Button1, Qt::LeftButton);
    });
    QCOMPARE(d.w().DBEdit1->text(), QStringLiteral("Baumschule Berg"));
    d.openSearch([&] {
        // The leftover text was cleared and the empty pattern ran before showing.
        QCOMPARE(d.find()->search->text(), QString());
        QCOMPARE(d.find()->DBGrid2->model()->rowCount(), 5);
        d.find()->close();
    });
    QCOMPARE(d.w().DBEdit1->text(), QStringLiteral("Gärtnerei Arnold"));
}

void TestDialogs::closeBoxLeavesTheNarrowedList()
{
    Dialogs d;
    QVERIFY(d.active);
    d.openSearch([&] {
        QTest::keyClicks(d.find()->search, QStringLiteral("gar"));
        d.find()->close();
    });
    QCOMPARE(d.customers().RecordCount(), 3);
    QCOMPARE(d.customers().SQL(), QStringLiteral("SELECT * FROM kunde WHERE name LIKE '%gar%';"));
    for (int i = 0; i < 3; ++i)
        QTest::mouseClick(d.w().DBNavigator1->button(DBNavigator::nbNext), Qt::LeftButton);
    QCOMPARE(d.w().DBEdit1->text(), QStringLiteral("O'Brian Gardens"));
}

void TestDialogs::searchStoresAPendingCustomerFirst()
{
    Dialogs d;
    QVERIFY(d.active);
    d.openEdit(true, [&] {
        d.type(d.edit()->DBEdit5, QStringLiteral("Gartencenter Neu"));
        QTest::mouseClick(d.edit()->SpeedButton2, Qt::LeftButton);
    });
    d.openSearch([&] {
        QTest::keyClicks(d.find()->search, QStringLiteral("Neu"));
        QCOMPARE(d.names(), QStringList{QStringLiteral("Gartencenter Neu")});
    });
    QCOMPARE(d.scalar(QStringLiteral("SELECT count(*) FROM kunde WHERE name = 'Gartencenter Neu'")), QStringLiteral("1"));
}

void TestDialogs::searchKeepsAPendingCustomerThatCannotBeStored_data()
{
    QTest::addColumn<bool>("discard");
    QTest::newRow("Nein keeps the typed change") << false;
    QTest::newRow("Ja drops it; the search goes on") << true;
}

void TestDialogs::searchKeepsAPendingCustomerThatCannotBeStored()
{
    QFETCH(bool, discard);
    Dialogs d;
    QVERIFY(d.active);
    d.openEdit(false, [&] {
        d.type(d.edit()->DBEdit6, QStringLiteral(" jun."));
        QTest::mouseClick(d.edit()->SpeedButton2, Qt::LeftButton);
    });
    d.db.exec(QStringLiteral("UPDATE kunde SET name2 = 'Anderer' WHERE id = 1"));
    Boxes boxes({discard});
    d.openSearch([&] {
        QTest::keyClicks(d.find()->search, QStringLiteral("B"));
        QCOMPARE(boxes.kinds, QList<BoxRequest::Kind>{BoxRequest::ConflictQuestion});
        if (!discard) {
            // The search did not run: the customer set still holds the pending row.
            QCOMPARE(d.customers().SQL(), QStringLiteral("SELECT * FROM kunde"));
            QCOMPARE(d.customers().State(), DataSetState::Edit);
            QCOMPARE(text(d.customers(), "name2"), QStringLiteral("Arno Arnold jun."));
        } else {
            QCOMPARE(d.customers().State(), DataSetState::Browse);
            QCOMPARE(text(d.customers(), "name2"), QStringLiteral("Anderer"));
            // The next key searches without asking again.
            QTest::keyClicks(d.find()->search, QStringLiteral("r"));
            QCOMPARE(boxes.asked.size(), 1);
            QVERIFY(d.customers().SQL().contains(QStringLiteral("'%Br%'")));
        }
    });
    QCOMPARE(d.scalar(QStringLiteral("SELECT name2 FROM kunde WHERE id = 1")), QStringLiteral("Anderer"));
}

void TestDialogs::addChangeFindAndTheFileHoldsIt()
{
    Dialogs d;
    QVERIFY(d.active);
    d.openEdit(true, [&] {
        d.type(d.edit()->DBEdit2, QStringLiteral("Spett.le"));
        d.type(d.edit()->DBEdit5, QStringLiteral("Fiori Zanetti"));
        d.type(d.edit()->DBMemo1, QStringLiteral("Via Roma 1"));
        QTest::keyClick(d.edit()->DBMemo1, Qt::Key_Return);
        QTest::keyClicks(d.edit()->DBMemo1, QStringLiteral("39100 Bolzano"));
        QTest::mouseClick(d.edit()->SpeedButton1, Qt::LeftButton);
    });
    d.customers().First();
    d.openEdit(false, [&] {
        d.edit()->DBEdit7->setFocus();
        QTest::keyClicks(d.edit()->DBEdit7, QStringLiteral("00000000777"));
        QTest::mouseClick(d.edit()->SpeedButton1, Qt::LeftButton);
    });
    d.openSearch([&] {
        QTest::keyClicks(d.find()->search, QStringLiteral("Zan"));
        QTest::mouseClick(d.find()->Button1, Qt::LeftButton);
    });
    QCOMPARE(d.w().DBEdit1->text(), QStringLiteral("Fiori Zanetti"));
    QCOMPARE(d.scalar(QStringLiteral("SELECT ansprache || '|' || name || '|' || adresse FROM kunde WHERE id = 7")),
             QStringLiteral("Spett.le|Fiori Zanetti|Via Roma 1\r\n39100 Bolzano"));
    QCOMPARE(d.scalar(QStringLiteral("SELECT piva FROM kunde WHERE id = 1")), QStringLiteral("00000000777"));
    QCOMPARE(d.scalar(QStringLiteral("SELECT count(*) FROM kunde")), QStringLiteral("7"));
}

void TestDialogs::okChoosesAPendingNewCustomerOnceStored()
{
    Dialogs d;
    QVERIFY(d.active);
    d.openEdit(true, [&] {
        d.type(d.edit()->DBEdit5, QStringLiteral("Neu GmbH"));
        QTest::mouseClick(d.edit()->SpeedButton2, Qt::LeftButton);
    });
    // The search field is empty: nothing re-runs, the pending row is selected.
    d.openSearch([&] { QTest::mouseClick(d.find()->Button1, Qt::LeftButton); });
    QCOMPARE(d.scalar(QStringLiteral("SELECT id FROM kunde WHERE name = 'Neu GmbH'")), QStringLiteral("7"));
    QCOMPARE(text(d.customers(), "id"), QStringLiteral("7"));
    QCOMPARE(d.w().DBEdit1->text(), QStringLiteral("Neu GmbH"));
}

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
