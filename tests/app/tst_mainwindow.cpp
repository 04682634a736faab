// The main window on databases made by the tests: start-up, the customer
// panel, the invoice list, the years, the last number, quitting.

#include "app/aboutbox.h"
#include "app/mainwindow.h"
#include "app/program.h"
#include "data/businesstexts.h"
#include "dialogs/customerdialog.h"
#include "data/amount.h"
#include "controls/dbedit.h"
#include "controls/dbgrid.h"
#include "controls/dbnavigator.h"
#include "controls/dbtext.h"
#include "framework/flatbutton.h"
#include "framework/messages.h"
#include "testdb.h"
#include "uitest.h"
#include "running.h"

#include <QApplication>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QTabWidget>
#include <QToolButton>
#include <QtTest>
#include <QTemporaryDir>
#include <optional>

namespace {

const char *const Data = R"(
INSERT INTO kunde (id, name, name2, ansprache, piva, adresse) VALUES
  (1, 'Anna Blumen', 'Anna Berger', 'Frau', 'IT 1', 'Weg 1' || char(13, 10) || '39000 Ort'),
  (2, 'Bruno Baum', '', '', '', ''), (3, 'Carla Kraut', '', '', '', '');
INSERT INTO rechnungsdaten2004 (id, nr, datum, bezahlung, kundennummer) VALUES
  (1, '5', '01.02.2004', '30 Tage', '1'), (2, '6', '03.02.2004', '', '1'), (3, '7', '04.02.2004', '', '2');
INSERT INTO rechnung2004 (rechnungsnummer, beschreibung, anzahl, einzelpreis) VALUES ('5', 'Rosen', '4', '2,5');
INSERT INTO rechnungsdaten2003 (nr, datum, kundennummer) VALUES ('2003-9', '09.09.2003', '1');
INSERT INTO rechnung2003 (rechnungsnummer, beschreibung) VALUES ('2003-9', 'Alt');
)";

using uitest::Boxes;

QString text(RecordSet &rs, const char *f) { return rs.FieldByName(QString::fromLatin1(f))->AsString(); }

// Types over the owner's name in the panel, as a user would; false when the window never became active.
bool typeOwnerName(MainWindow &w, const QString &name)
{
    w.activateWindow();
    if (!QTest::qWaitForWindowActive(&w))
        return false;
    w.ownerName->setFocus();
    w.ownerName->selectAll();
    QTest::keyClicks(w.ownerName, name);
    return true;
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { prepareApplication(*qobject_cast<QApplication *>(QCoreApplication::instance())); }
    void init() { setUserSeparators({QLatin1Char(','), QLatin1Char('.')}); }

    void startupShowsTheFirstCustomerAndHerInvoices();
    void dataFollowTheUsersSeparators();
    void everyControlHasItsNameAndAnAccessibleName();
    void startupWithoutDatabaseEndsWithStatusOne();
    void startsOnTheFileItIsGiven();
    void emptyCustomerTable();
    void customerNavigatorAtBothEnds();
    void deletingACustomer_data();
    void deletingACustomer();
    void addingStartsABlankCustomer();
    void yearsSwitchTheInvoiceTables();
    void missingYearTablesLeaveTheListEmpty();
    void yearChangeStoresThePendingHeaderOrKeepsTheYear_data();
    void yearChangeStoresThePendingHeaderOrKeepsTheYear();
    void conflictInThePanelCanBeLeft_data();
    void conflictInThePanelCanBeLeft();
    void lastNumberButton();
    void yearMenuListsTheYearsFound_data();
    void yearMenuListsTheYearsFound();
    void newYearFromTheMenu_data();
    void newYearFromTheMenu();
    void quitAsksFirst_data();
    void quitAsksFirst();
    void closingStoresTypedChanges();
    void closingWhenStoringFails_data();
    void closingWhenStoringFails();
    void closingAfterDroppingAConflictingChange();
    void helpAndAbout();
    void titleIsTheStoredBusinessName_data();
    void titleIsTheStoredBusinessName();
    void badLineAtStartupStaysInView();
};

void TestMainWindow::startupShowsTheFirstCustomerAndHerInvoices()
{
    Running r(QString::fromUtf8(Data));
    QVERIFY(r.shown);
    MainWindow &w = r.w();
    QCOMPARE(w.windowTitle(), QStringLiteral("Gärtnerei Trovanek"));
    QCOMPARE(w.centralWidget()->size(), QSize(691, 551));
    // One size only: the border cannot be dragged (checked under a window
    // manager in tst_windowmanager), yet the window may be maximised.
    QCOMPARE(w.minimumSize(), w.size());
    QCOMPARE(w.baseSize(), w.size());
    QVERIFY(w.sizeIncrement().width() > 8192 && w.sizeIncrement().height() > 8192);
    QCOMPARE(w.customerTabs->tabText(0), QStringLiteral("Kunde") + QString(28, QLatin1Char(' ')));
    QCOMPARE(w.invoiceTabs->tabText(0), QStringLiteral("Liste") + QString(28, QLatin1Char(' ')));
    QCOMPARE(w.customerTabs->geometry(), QRect(5, 8, 676, 241));
    QCOMPARE(w.invoiceTabs->geometry(), QRect(5, 263, 676, 281));
    QCOMPARE(w.customerName->text(), QStringLiteral("Anna Blumen"));
    QCOMPARE(w.salutation->text(), QStringLiteral("Frau"));
    QCOMPARE(w.ownerName->text(), QStringLiteral("Anna Berger"));
    QCOMPARE(w.vatNumber->text(), QStringLiteral("IT 1"));
    QCOMPARE(w.address->toPlainText(), QStringLiteral("Weg 1\n39000 Ort"));
    QCOMPARE(w.invoiceList->model()->rowCount(), 2);
    QCOMPARE(w.invoiceList->model()->headerData(2, Qt::Horizontal).toString(), QStringLiteral("bezahlung"));
    QCOMPARE(w.invoiceList->columnWidth(3), 228);
    QCOMPARE(w.chosenInvoice->text(), QStringLiteral("5"));
    QCOMPARE(w.lastNumber->text(), QString()); // the last-number query stays closed
    QVERIFY(!w.lastInvoiceNumber().Active());
    QCOMPARE(text(w.invoiceLines(), "beschreibung"), QStringLiteral("Rosen"));
    QStringList menus;
    for (QAction *a : w.menuBar()->actions())
        menus << a->text();
    QCOMPARE(menus, (QStringList{QStringLiteral("&Datei"), QStringLiteral("&Jahr"), QStringLiteral("&Rechnung"), QStringLiteral("&Info")}));
    QCOMPARE(w.year2003Action->text(), QStringLiteral("200&3"));
    QCOMPARE(w.editInvoiceAction->text(), QStringLiteral("&Ändern"));
    // The other windows exist, hidden.
    QVERIFY(r.program.about && !r.program.about->isVisible());
    QVERIFY(r.program.customerSearch && r.program.customerDialog && r.program.invoiceEditor && r.program.invoiceReport);
}

void TestMainWindow::dataFollowTheUsersSeparators()
{
    const Separators english{QLatin1Char('.'), QLatin1Char(',')};
    setUserSeparators(english);
    Running r(QStringLiteral("INSERT INTO kunde (id, name) VALUES (1, 'Anna');"
                             "INSERT INTO rechnungsdaten2004 (nr, kundennummer) VALUES ('5', '1');"
                             "INSERT INTO rechnung2004 (rechnungsnummer, anzahl, einzelpreis) VALUES ('5', '1100', '2.5');"));
    QVERIFY(r.w().data().separators() == english);
    QCOMPARE(r.w().invoiceLines().FieldByName(QStringLiteral("summerechn"))->DisplayText(), QStringLiteral("2,750.00"));
    // A locale change while the program runs: the system's settings from then on.
    QEvent change(QEvent::LocaleChange);
    QCoreApplication::sendEvent(&r.w(), &change);
    QVERIFY(r.w().data().separators() == Separators::fromSystem());
    QVERIFY(r.w().invoiceLines().separators() == Separators::fromSystem());
}

void TestMainWindow::everyControlHasItsNameAndAnAccessibleName()
{
    Running r(QString::fromUtf8(Data));
    const QStringList names = {"PageControl1", "PageControl2", "GroupBox1", "GroupBox3", "GroupBox4", "DBEdit1", "DBEdit2",
                               "DBEdit3", "DBEdit4", "DBMemo1", "DBNavigator1", "SpeedButton1", "SpeedButton2", "SpeedButton3",
                               "SpeedButton4", "DBNavigator3", "DBText1", "SpeedButton5", "DBText6", "DBGrid4", "Label11"};
    for (const QString &n : names) {
        auto *c = r.w().findChild<QWidget *>(n);
        QVERIFY2(c, qPrintable(n));
        QVERIFY2(!c->accessibleName().isEmpty(), qPrintable(n));
    }
    QCOMPARE(r.w().customerName->accessibleName(), QStringLiteral("Name"));
    QCOMPARE(r.w().deleteCustomerButton->accessibleName(), QStringLiteral("[ Löschen ]"));
    QCOMPARE(r.w().deleteCustomerButton->focusPolicy(), Qt::NoFocus);
    QCOMPARE(r.w().customerActions->title(), QStringLiteral("   Kundendaten   "));
    QVERIFY(!r.w().lastNumberButton->icon().isNull());
}

void TestMainWindow::startupWithoutDatabaseEndsWithStatusOne()
{
    QTemporaryDir empty;
    QDir::setCurrent(empty.path());
    Boxes boxes;
    const int status = runProgram(*qobject_cast<QApplication *>(QCoreApplication::instance()));
    QDir::setCurrent(QDir::tempPath());
    QCOMPARE(status, 1);
    QCOMPARE(boxes.kinds, QList<BoxRequest::Kind>{BoxRequest::StartupError});
    const QString box = boxes.asked.value(0);
    QVERIFY2(box.startsWith(QStringLiteral("Anwendungsfehler|Exception EngineError in Modul tst_mainwindow bei ")), qPrintable(box));
    QVERIFY2(box.contains(QStringLiteral("rechungen.mdb' wurde nicht gefunden.\n")), qPrintable(box));
    QVERIFY(!QFile::exists(empty.filePath(QStringLiteral("rechungen.mdb"))));
    QVERIFY(QApplication::topLevelWidgets().isEmpty() || std::none_of(QApplication::topLevelWidgets().begin(), QApplication::topLevelWidgets().end(),
                                                                       [](QWidget *t) { return t->isVisible(); }));
}

void TestMainWindow::startsOnTheFileItIsGiven()
{
    // `Rechnung FILE`: another folder's file, from a folder that has none.
    testdb::Fixture elsewhere(QString::fromUtf8(Data));
    const QString file = elsewhere.dir() + QStringLiteral("/kopie.mdb");
    QVERIFY(QFile::copy(elsewhere.file(), file));
    QTemporaryDir empty;
    QDir::setCurrent(empty.path());
    {
        Program program;
        program.create(file);
        QCOMPARE(program.mainWindow->windowTitle(), QStringLiteral("Gärtnerei Trovanek"));
        QCOMPARE(text(program.mainWindow->customers(), "name"), QStringLiteral("Anna Blumen"));
        QCOMPARE(program.mainWindow->data().connection.fileName(), file);
        // Nothing was made where the program was started.
        QVERIFY(!QFile::exists(empty.filePath(QStringLiteral("rechungen.mdb"))));
    }
    // A file that is not there is still refused, never made.
    Program missing;
    bool refused = false;
    try {
        missing.create(empty.filePath(QStringLiteral("fehlt.mdb")));
    } catch (const AppError &) {
        refused = true;
    }
    QVERIFY(refused);
    QVERIFY(!QFile::exists(empty.filePath(QStringLiteral("fehlt.mdb"))));
    QDir::setCurrent(QDir::tempPath());
}

void TestMainWindow::emptyCustomerTable()
{
    Running r(QStringLiteral("SELECT 1;"));
    MainWindow &w = r.w();
    QCOMPARE(w.customerName->text(), QString());
    QCOMPARE(w.invoiceList->model()->rowCount(), 0);
    QVERIFY(!w.customerNavigator->button(DBNavigator::nbPrior)->isEnabled());
    QVERIFY(!w.customerNavigator->button(DBNavigator::nbNext)->isEnabled());
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    w.customerName->setFocus();
    QTest::keyClicks(w.customerName, QStringLiteral("Erster Kunde"));
    QCOMPARE(w.customers().State(), DataSetState::Insert);
}

void TestMainWindow::customerNavigatorAtBothEnds()
{
    Running r(QString::fromUtf8(Data));
    MainWindow &w = r.w();
    QToolButton *prior = w.customerNavigator->button(DBNavigator::nbPrior);
    QToolButton *next = w.customerNavigator->button(DBNavigator::nbNext);
    QVERIFY(!prior->isEnabled());
    QVERIFY(next->isEnabled());
    for (int i = 0; i < 3; ++i)
        QTest::mouseClick(next, Qt::LeftButton);
    QCOMPARE(w.customerName->text(), QStringLiteral("Carla Kraut"));
    QVERIFY(!next->isEnabled());
    QVERIFY(prior->isEnabled());
    QCOMPARE(w.invoiceTabs->currentIndex(), 0);
    QCOMPARE(w.invoiceList->model()->rowCount(), 0); // Carla has no invoices
}

void TestMainWindow::deletingACustomer_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<QString>("customers");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("headers");
    QTest::newRow("Nein keeps") << QString::fromUtf8(Data) << false << "3" << "" << "3";
    // The deleted customer's invoices stay in the year table.
    QTest::newRow("Ja deletes") << QString::fromUtf8(Data) << true << "2" << "" << "3";
    QTest::newRow("empty set") << "SELECT 1;" << true << "0"
                               << "Rechnung|new: Operation bei leerer Datenmenge nicht ausführbar." << "0";
}

void TestMainWindow::deletingACustomer()
{
    QFETCH(QString, sql);
    QFETCH(bool, answer);
    QFETCH(QString, customers);
    QFETCH(QString, error);
    QFETCH(QString, headers);
    Running r(sql);
    Boxes boxes({answer});
    QTest::mouseClick(r.w().deleteCustomerButton, Qt::LeftButton);
    QCOMPARE(boxes.asked.value(0), QStringLiteral("Bestätigung|Wollen Sie diesen Eintrag wirklich löschen?"));
    QCOMPARE(boxes.asked.value(1).replace(QStringLiteral("tst_mainwindow"), QStringLiteral("Rechnung")), error);
    QCOMPARE(r.scalar(QStringLiteral("SELECT count(*) FROM kunde")), customers);
    QCOMPARE(r.scalar(QStringLiteral("SELECT count(*) FROM rechnungsdaten2004")), headers);
}

void TestMainWindow::addingStartsABlankCustomer()
{
    Running r(QString::fromUtf8(Data));
    MainWindow &w = r.w();
    CustomerDialog *dialog = r.program.customerDialog.get();
    uitest::whileModal(dialog, [&] { QTest::mouseClick(w.addCustomerButton, Qt::LeftButton); }, [&] {
        QCOMPARE(w.customers().State(), DataSetState::Insert);
        QCOMPARE(w.customerName->text(), QString());
        QCOMPARE(w.invoiceList->model()->rowCount(), 0);
        QTest::mouseClick(dialog->closeButton, Qt::LeftButton);
    });
    QCOMPARE(w.customers().State(), DataSetState::Insert);
    // Untouched, the next step drops it.
    QTest::mouseClick(w.customerNavigator->button(DBNavigator::nbPrior), Qt::LeftButton);
    QCOMPARE(r.scalar(QStringLiteral("SELECT count(*) FROM kunde")), QStringLiteral("3"));
}

void TestMainWindow::yearsSwitchTheInvoiceTables()
{
    Running r(QString::fromUtf8(Data));
    MainWindow &w = r.w();
    w.year2003Action->trigger();
    QCOMPARE(w.invoiceHeaders().TableName(), QStringLiteral("rechnungsdaten2003"));
    QCOMPARE(w.invoiceLines().TableName(), QStringLiteral("rechnung2003"));
    QCOMPARE(w.customerName->text(), QStringLiteral("Anna Blumen")); // the customer stays
    QCOMPARE(w.chosenInvoice->text(), QStringLiteral("2003-9"));
    QCOMPARE(text(w.invoiceLines(), "beschreibung"), QStringLiteral("Alt"));
    w.year2002Action->trigger();
    QCOMPARE(w.invoiceHeaders().TableName(), QStringLiteral("rechnungsdaten"));
    QCOMPARE(w.invoiceList->model()->rowCount(), 0);
    w.year2004Action->trigger();
    QCOMPARE(w.invoiceList->model()->rowCount(), 2);
}

void TestMainWindow::missingYearTablesLeaveTheListEmpty()
{
    Running r(QString::fromUtf8(Data) + QStringLiteral("DROP TABLE rechnungsdaten2003;"));
    MainWindow &w = r.w();
    Boxes boxes;
    w.year2003Action->trigger();
    QCOMPARE(boxes.kinds, QList<BoxRequest::Kind>{BoxRequest::Error});
    QVERIFY2(boxes.asked.value(0).contains(QStringLiteral("rechnungsdaten2003")), qPrintable(boxes.asked.value(0)));
    QVERIFY(!w.invoiceHeaders().Active());
    QCOMPARE(w.invoiceList->model()->rowCount(), 0);
    QCOMPARE(w.chosenInvoice->text(), QString());
    for (auto b : {DBNavigator::nbInsert, DBNavigator::nbDelete, DBNavigator::nbPost})
        QVERIFY(!w.invoiceNavigator->button(b)->isEnabled());
    w.year2004Action->trigger();
    QCOMPARE(w.invoiceList->model()->rowCount(), 2);
}

void TestMainWindow::yearChangeStoresThePendingHeaderOrKeepsTheYear_data()
{
    QTest::addColumn<bool>("discard");
    QTest::newRow("Nein keeps the typed change") << false;
    QTest::newRow("Ja shows the stored state") << true;
}

void TestMainWindow::yearChangeStoresThePendingHeaderOrKeepsTheYear()
{
    QFETCH(bool, discard);
    Running r(QString::fromUtf8(Data));
    MainWindow &w = r.w();
    w.invoiceHeaders().Edit();
    w.invoiceHeaders().FieldByName(QStringLiteral("datum"))->setAsString(QStringLiteral("02.02.2004"));
    w.year2003Action->trigger();
    QCOMPARE(r.scalar(QStringLiteral("SELECT datum FROM rechnungsdaten2004 WHERE id = 1")), QStringLiteral("02.02.2004"));

    // Another program changed the header meanwhile: the reason shows, the year stays.
    w.year2004Action->trigger();
    w.invoiceHeaders().Edit();
    w.invoiceHeaders().FieldByName(QStringLiteral("datum"))->setAsString(QStringLiteral("03.03.2004"));
    r.db.exec(QStringLiteral("UPDATE rechnungsdaten2004 SET datum = 'fremd' WHERE id = 1"));
    Boxes boxes({discard});
    w.year2003Action->trigger();
    QCOMPARE(boxes.kinds, QList<BoxRequest::Kind>{BoxRequest::ConflictQuestion});
    QCOMPARE(boxes.asked.value(0), QStringLiteral("tst_mainwindow|Der Datensatz wurde inzwischen von einem anderen Programm geändert. Ihre Änderungen verwerfen und den gespeicherten Stand laden?").arg(QStringLiteral("Der Datensatz wurde inzwischen von einem anderen Programm geändert. Ihre Änderungen verwerfen und den gespeicherten Stand laden?")));
    QCOMPARE(w.invoiceHeaders().TableName(), QStringLiteral("rechnungsdaten2004"));
    QCOMPARE(w.invoiceHeaders().State(), discard ? DataSetState::Browse : DataSetState::Edit);
    QCOMPARE(w.invoiceList->model()->index(0, 1).data().toString(), discard ? QStringLiteral("fremd") : QStringLiteral("03.03.2004"));
    // Once the row is settled one way or the other, the year can be changed.
    if (discard) {
        w.year2003Action->trigger();
        QCOMPARE(w.invoiceHeaders().TableName(), QStringLiteral("rechnungsdaten2003"));
        QCOMPARE(boxes.asked.size(), 1);
    }
    QCOMPARE(r.scalar(QStringLiteral("SELECT datum FROM rechnungsdaten2004 WHERE id = 1")), QStringLiteral("fremd"));
}

void TestMainWindow::conflictInThePanelCanBeLeft_data()
{
    QTest::addColumn<QString>("otherProgram");
    QTest::addColumn<bool>("discard");
    QTest::addColumn<QString>("question");
    QTest::addColumn<QString>("shownAfter");
    const QString deleted = QStringLiteral("Der Datensatz wurde inzwischen von einem anderen Programm gelöscht. Ihre Änderungen verwerfen?");
    QTest::newRow("changed, Ja") << "UPDATE kunde SET name2 = 'Fremd' WHERE id = 1" << true << QStringLiteral("Der Datensatz wurde inzwischen von einem anderen Programm geändert. Ihre Änderungen verwerfen und den gespeicherten Stand laden?") << "Fremd";
    QTest::newRow("changed, Nein") << "UPDATE kunde SET name2 = 'Fremd' WHERE id = 1" << false << QStringLiteral("Der Datensatz wurde inzwischen von einem anderen Programm geändert. Ihre Änderungen verwerfen und den gespeicherten Stand laden?") << "Anna Maria";
    QTest::newRow("deleted, Ja") << "DELETE FROM kunde WHERE id = 1" << true << deleted << "";
    QTest::newRow("deleted, Nein") << "DELETE FROM kunde WHERE id = 1" << false << deleted << "Anna Maria";
}

void TestMainWindow::conflictInThePanelCanBeLeft()
{
    QFETCH(QString, otherProgram);
    QFETCH(bool, discard);
    QFETCH(QString, question);
    QFETCH(QString, shownAfter);
    Running r(QString::fromUtf8(Data));
    MainWindow &w = r.w();
    QVERIFY(typeOwnerName(w, QStringLiteral("Anna Maria")));
    r.db.exec(otherProgram);
    Boxes boxes({discard});
    QTest::mouseClick(w.customerNavigator->button(DBNavigator::nbNext), Qt::LeftButton);
    QCOMPARE(boxes.kinds, QList<BoxRequest::Kind>{BoxRequest::ConflictQuestion});
    QCOMPARE(boxes.asked.value(0), QStringLiteral("tst_mainwindow|") + question);
    QCOMPARE(w.customers().State(), discard ? DataSetState::Browse : DataSetState::Edit);
    if (discard) {
        // The stored state is shown, or the next customer where the row is gone;
        // the panel moves freely again.
        if (shownAfter.isEmpty())
            QCOMPARE(w.customerName->text(), QStringLiteral("Bruno Baum"));
        else
            QCOMPARE(w.ownerName->text(), shownAfter);
        QTest::mouseClick(w.customerNavigator->button(DBNavigator::nbNext), Qt::LeftButton);
        QCOMPARE(boxes.asked.size(), 1);
    } else {
        QCOMPARE(w.ownerName->text(), shownAfter);
    }
    QCOMPARE(r.scalar(QStringLiteral("SELECT count(*) FROM kunde WHERE name2 = 'Anna Maria'")), QStringLiteral("0"));
}

void TestMainWindow::lastNumberButton()
{
    Running r(QString::fromUtf8(Data));
    MainWindow &w = r.w();
    QCOMPARE(w.lastNumber->text(), QString());
    w.year2003Action->trigger();
    QTest::mouseClick(w.lastNumberButton, Qt::LeftButton);
    QCOMPARE(w.lastNumber->text(), QStringLiteral("7")); // always the 2004 table
    // A snapshot: a header added later shows only after the next press.
    r.db.exec(QStringLiteral("INSERT INTO rechnungsdaten2004 (nr, kundennummer) VALUES ('8', '3')"));
    QCOMPARE(w.lastNumber->text(), QStringLiteral("7"));
    QTest::mouseClick(w.lastNumberButton, Qt::LeftButton);
    QCOMPARE(w.lastNumber->text(), QStringLiteral("8"));
}

namespace {
const QString Years2025And2026 = QStringLiteral(
    "CREATE TABLE rechnungsdaten2026 (id INTEGER PRIMARY KEY AUTOINCREMENT, nr VARCHAR(50), datum VARCHAR(50), bezahlung VARCHAR(50), "
    "kundennummer VARCHAR(50), bestimmungsort VARCHAR(50), dokumentart VARCHAR(4), bezug_nr VARCHAR(50), "
    "bezug_datum VARCHAR(50), faellig VARCHAR(50), bezahlt_am VARCHAR(50));"
    "CREATE TABLE rechnung2026 (id INTEGER PRIMARY KEY AUTOINCREMENT, rechnungsnummer VARCHAR(50), beschreibung VARCHAR(50), "
    "anzahl VARCHAR(50), einzelpreis VARCHAR(50), summe VARCHAR(50), "
    "steuersatz VARCHAR(2), natura VARCHAR(4), pos DOUBLE PRECISION);"
    "CREATE TABLE rechnungsdaten2025 AS SELECT * FROM rechnungsdaten2026 WHERE 0;"
    "CREATE TABLE rechnung2025 AS SELECT * FROM rechnung2026 WHERE 0;"
    "CREATE TABLE rechnungsdaten2027 AS SELECT * FROM rechnungsdaten2026 WHERE 0;" // no lines table: no year
    "INSERT INTO rechnungsdaten2026 (nr, datum, kundennummer) VALUES ('2026-1', '02.01.2026', '1'), ('2026-2', '03.01.2026', '2');"
    "INSERT INTO rechnung2026 (rechnungsnummer, beschreibung, anzahl, einzelpreis) VALUES ('2026-1', 'Tulpen', '10', '1,50');")
    + testdb::yearAdditionsSql(2026) + testdb::yearAdditionsSql(2025);

// The year menu as a user reads it: captions, "-" for a separator, "*" before the checked item.
QStringList yearMenu(MainWindow &w)
{
    QStringList items;
    for (QAction *a : w.findChild<QMenu *>(QStringLiteral("Jahr1"))->actions())
        items << (a->isSeparator() ? QStringLiteral("-") : (a->isChecked() ? QStringLiteral("*") : QString()) + a->text());
    return items;
}

// Answers the one line the program asks for, or "Abbrechen" for no answer.
struct TypedAnswer
{
    explicit TypedAnswer(std::optional<QString> answer)
    {
        setTextHook([this, answer](const QString &label, const QString &proposal) {
            asked << label + QLatin1Char('|') + proposal;
            return answer;
        });
    }
    ~TypedAnswer() { setTextHook({}); }
    QStringList asked;
};
} // namespace

void TestMainWindow::yearMenuListsTheYearsFound_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QStringList>("menu");
    QTest::addColumn<QString>("lastNumber");
    const QString newYear = QStringLiteral("&Neues Jahr anlegen ...");
    QTest::newRow("the classic years") << QString()
                                       << QStringList{QStringLiteral("*200&4"), QStringLiteral("200&3"), QStringLiteral("200&2"),
                                                      QStringLiteral("-"), newYear}
                                       << "7";
    QTest::newRow("2025 and 2026 as well") << Years2025And2026
                                           << QStringList{QStringLiteral("*202&6"), QStringLiteral("202&5"), QStringLiteral("200&4"),
                                                          QStringLiteral("200&3"), QStringLiteral("200&2"), QStringLiteral("-"), newYear}
                                           << "2026-2";
}

void TestMainWindow::yearMenuListsTheYearsFound()
{
    QFETCH(QString, sql);
    QFETCH(QStringList, menu);
    QFETCH(QString, lastNumber);
    Running r(QString::fromUtf8(Data) + sql);
    MainWindow &w = r.w();
    QCOMPARE(yearMenu(w), menu);
    QCOMPARE(w.year2004Action->objectName(), QStringLiteral("N20041"));
    QCOMPARE(w.invoiceHeaders().TableName(), tablesOfYear(menu.first().remove(QLatin1Char('*')).remove(QLatin1Char('&')).toInt()).headerTable);
    QTest::mouseClick(w.lastNumberButton, Qt::LeftButton);
    QCOMPARE(w.lastNumber->text(), lastNumber);
    // One check mark, on the year chosen.
    w.year2003Action->trigger();
    QVERIFY(w.year2003Action->isChecked());
    QCOMPARE(yearMenu(w).filter(QStringLiteral("*")), QStringList{QStringLiteral("*200&3")});
    QCOMPARE(w.invoiceHeaders().TableName(), QStringLiteral("rechnungsdaten2003"));
    if (QAction *y2026 = w.yearAction(2026)) {
        QCOMPARE(y2026->objectName(), QStringLiteral("N20261"));
        y2026->trigger();
        QCOMPARE(w.invoiceList->model()->index(0, 0).data().toString(), QStringLiteral("2026-1"));
        QCOMPARE(text(w.invoiceLines(), "beschreibung"), QStringLiteral("Tulpen"));
    }
    // The last number still comes from the newest year, whichever is chosen.
    QTest::mouseClick(w.lastNumberButton, Qt::LeftButton);
    QCOMPARE(w.lastNumber->text(), lastNumber);
}

void TestMainWindow::newYearFromTheMenu_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<std::optional<QString>>("typed");
    QTest::addColumn<bool>("confirmed");
    QTest::addColumn<QString>("proposal");
    QTest::addColumn<QString>("error"); // "" = made
    const QString thisYear = QString::number(QDate::currentDate().year());
    const QString afterNewest = QString::number(std::max(QDate::currentDate().year(), 2026) + 1);
    QTest::newRow("2027") << QString() << std::optional<QString>(QStringLiteral("2027")) << true << thisYear << "";
    QTest::newRow("proposal after the newest") << Years2025And2026 << std::optional<QString>(QStringLiteral("2028")) << true
                                               << (QDate::currentDate().year() > 2026 ? thisYear : afterNewest) << "";
    QTest::newRow("existing year") << QString() << std::optional<QString>(QStringLiteral("2003")) << true << thisYear
                                   << "Für das Jahr 2003 gibt es schon Tabellen.";
    QTest::newRow("not a year") << QString() << std::optional<QString>(QStringLiteral("20x7")) << true << thisYear
                                << "'20x7' ist keine Jahreszahl zwischen 1900 und 2999.";
    QTest::newRow("1899") << QString() << std::optional<QString>(QStringLiteral("1899")) << true << thisYear
                          << "'1899' ist keine Jahreszahl zwischen 1900 und 2999.";
    QTest::newRow("Abbrechen") << QString() << std::optional<QString>() << true << thisYear << "-";
    QTest::newRow("Nein") << QString() << std::optional<QString>(QStringLiteral("2027")) << false << thisYear << "-";
}

void TestMainWindow::newYearFromTheMenu()
{
    QFETCH(QString, sql);
    QFETCH(std::optional<QString>, typed);
    QFETCH(bool, confirmed);
    QFETCH(QString, proposal);
    QFETCH(QString, error);
    Running r(QString::fromUtf8(Data) + sql);
    MainWindow &w = r.w();
    const QStringList menuBefore = yearMenu(w);
    const QString tablesBefore = r.scalar(QStringLiteral("SELECT group_concat(name) FROM sqlite_schema"));
    TypedAnswer answer(typed);
    Boxes boxes({confirmed});
    w.newYearAction->trigger();
    QCOMPARE(answer.asked, QStringList{QStringLiteral("Jahr:|") + proposal});
    if (!error.isEmpty()) {
        if (error != QLatin1String("-"))
            QCOMPARE(boxes.asked.last(), QStringLiteral("tst_mainwindow|") + error);
        QCOMPARE(r.scalar(QStringLiteral("SELECT group_concat(name) FROM sqlite_schema")), tablesBefore);
        QCOMPARE(yearMenu(w), menuBefore);
        return;
    }
    const QString year = *typed;
    QCOMPARE(boxes.asked, QStringList{QStringLiteral("Bestätigung|Tabellen für das Jahr %1 anlegen?").arg(year)});
    QAction *item = w.yearAction(year.toInt());
    QVERIFY(item);
    QCOMPARE(item->text(), year.left(3) + QLatin1Char('&') + year.mid(3));
    QVERIFY(item->isChecked());
    QCOMPARE(yearMenu(w).first(), QLatin1Char('*') + item->text());
    QCOMPARE(w.invoiceHeaders().TableName(), QStringLiteral("rechnungsdaten") + year);
    // An invoice written there is stored there.
    w.invoiceHeaders().Append();
    w.invoiceHeaders().FieldByName(QStringLiteral("nr"))->setAsString(QStringLiteral("N-1"));
    w.invoiceHeaders().FieldByName(QStringLiteral("datum"))->setAsString(QStringLiteral("02.01.") + year);
    w.invoiceHeaders().Post();
    QCOMPARE(r.scalar(QStringLiteral("SELECT kundennummer FROM rechnungsdaten%1 WHERE nr = 'N-1'").arg(year)), QStringLiteral("1"));
    // And it is the newest now: the last number comes from it.
    QTest::mouseClick(w.lastNumberButton, Qt::LeftButton);
    QCOMPARE(w.lastNumber->text(), QStringLiteral("N-1"));
}

void TestMainWindow::quitAsksFirst_data()
{
    QTest::addColumn<bool>("answer");
    QTest::newRow("Ja") << true;
    QTest::newRow("Nein") << false;
}

void TestMainWindow::quitAsksFirst()
{
    QFETCH(bool, answer);
    Running r(QString::fromUtf8(Data));
    Boxes boxes({answer});
    r.w().quitAction->trigger();
    QCOMPARE(boxes.asked, QStringList{QStringLiteral("Bestätigung|Wilsch wirklich ausser ?")});
    QCOMPARE(r.w().isVisible(), !answer);
}

void TestMainWindow::closingStoresTypedChanges()
{
    Running r(QString::fromUtf8(Data));
    MainWindow &w = r.w();
    QVERIFY(typeOwnerName(w, QStringLiteral("Anna Maria Berger")));
    Boxes boxes;
    QVERIFY(w.close()); // the title bar's close box: no question
    QVERIFY(boxes.asked.isEmpty());
    QCOMPARE(r.scalar(QStringLiteral("SELECT name2 FROM kunde WHERE id = 1")), QStringLiteral("Anna Maria Berger"));
}

void TestMainWindow::closingWhenStoringFails_data()
{
    QTest::addColumn<bool>("answer");
    QTest::newRow("Ja ends without the change") << true;
    QTest::newRow("Nein keeps the program") << false;
}

void TestMainWindow::closingWhenStoringFails()
{
    QFETCH(bool, answer);
    Running r(QString::fromUtf8(Data));
    MainWindow &w = r.w();
    w.customers().Edit();
    w.customers().FieldByName(QStringLiteral("name"))->setAsString(QStringLiteral("Meins"));
    r.db.exec(QStringLiteral("UPDATE kunde SET name = 'Fremd' WHERE id = 1"));
    // "&Nein" to dropping the change: then the usual question.
    Boxes boxes({false, answer});
    QCOMPARE(w.close(), answer);
    QCOMPARE(boxes.kinds, (QList<BoxRequest::Kind>{BoxRequest::ConflictQuestion, BoxRequest::Confirm}));
    QCOMPARE(boxes.asked.value(1), QStringLiteral("Bestätigung|Die Änderungen konnten nicht gespeichert werden. Trotzdem beenden?"));
    QCOMPARE(w.customers().State(), DataSetState::Edit); // nothing lost while the program runs
    QCOMPARE(r.scalar(QStringLiteral("SELECT name FROM kunde WHERE id = 1")), QStringLiteral("Fremd"));
}

void TestMainWindow::closingAfterDroppingAConflictingChange()
{
    Running r(QString::fromUtf8(Data));
    MainWindow &w = r.w();
    w.invoiceHeaders().Edit();
    w.invoiceHeaders().FieldByName(QStringLiteral("datum"))->setAsString(QStringLiteral("07.07.2004"));
    w.customers().Edit();
    w.customers().FieldByName(QStringLiteral("name"))->setAsString(QStringLiteral("Meins"));
    r.db.exec(QStringLiteral("UPDATE kunde SET name = 'Fremd' WHERE id = 1"));
    Boxes boxes({true});
    // "&Ja" drops the customer's change; the program ends without asking again.
    QVERIFY(w.close());
    QCOMPARE(boxes.kinds, QList<BoxRequest::Kind>{BoxRequest::ConflictQuestion});
    QCOMPARE(r.scalar(QStringLiteral("SELECT name FROM kunde WHERE id = 1")), QStringLiteral("Fremd"));
    // The header, settled first, was stored.
    QCOMPARE(r.scalar(QStringLiteral("SELECT datum FROM rechnungsdaten2004 WHERE id = 1")), QStringLiteral("07.07.2004"));
}

void TestMainWindow::helpAndAbout()
{
    Running r(QString::fromUtf8(Data));
    Boxes boxes;
    r.w().helpAction->trigger();
    QCOMPARE(boxes.kinds, QList<BoxRequest::Kind>{BoxRequest::Plain});
    QCOMPARE(boxes.asked.value(0), QStringLiteral("tst_mainwindow|meine handynummer: ") + texts::HelpPhone);

    AboutBox *about = r.program.about.get();
    for (int round = 0; round < 2; ++round) {
        bool seen = false;
        QTimer::singleShot(0, about, [&] {
            QTest::keyClick(about, Qt::Key_Escape); // only the close box closes it
            seen = about->isVisible() && QApplication::activeModalWidget() == about;
            about->close();
        });
        r.w().aboutAction->trigger();
        QVERIFY(seen);
    }
    QCOMPARE(about->windowTitle(), QStringLiteral("about"));
    QCOMPARE(about->size(), QSize(259, 197));
    QCOMPARE(about->logo->pixmap().size(), QSize(225, 113));
    QCOMPARE(about->versionLabel->text(), QStringLiteral("V. 1.5"));
    QCOMPARE(about->versionLabel->palette().color(QPalette::WindowText), QColor(128, 0, 0));
}

void TestMainWindow::badLineAtStartupStaysInView()
{
    Boxes boxes;
    Running r(QString::fromUtf8(Data) + QStringLiteral("UPDATE rechnung2004 SET einzelpreis = '1.234,50';"));
    QVERIFY(r.shown);
    QTest::qWait(20);
    // Nothing to report until something adds the lines up; the line is there to be corrected.
    QVERIFY(boxes.asked.isEmpty());
    QCOMPARE(r.w().invoiceLines().RecordCount(), 1);
    QCOMPARE(text(r.w().invoiceLines(), "einzelpreis"), QStringLiteral("1.234,50"));
    QCOMPARE(r.w().invoiceLines().FieldByName(QStringLiteral("summerechn"))->DisplayText(), QString());
    QCOMPARE(r.w().customerName->text(), QStringLiteral("Anna Blumen"));
}


void TestMainWindow::titleIsTheStoredBusinessName_data()
{
    QTest::addColumn<QString>("firma");
    QTest::addColumn<QString>("title");
    QTest::newRow("a name of its own") << "DELETE FROM firma; INSERT INTO firma (id, name) VALUES (1, 'Baumschule Beispiel');"
                                       << "Baumschule Beispiel";
    QTest::newRow("data without a name") << "DELETE FROM firma; INSERT INTO firma (id, name, inhaber) VALUES (1, '  ', 'Ida Blum');"
                                         << "Gärtnerei Trovanek";
    QTest::newRow("no business data") << "" << "Gärtnerei Trovanek";
    QTest::newRow("a file without the business tables") << "DROP TABLE firma; DROP TABLE kunde_efattura;"
                                                        << "Gärtnerei Trovanek";
}

void TestMainWindow::titleIsTheStoredBusinessName()
{
    QFETCH(QString, firma);
    QFETCH(QString, title);
    // A file without the business tables is offered them; "&Nein" here.
    Boxes boxes({false});
    Running r(QString::fromUtf8(Data) + firma);
    QVERIFY(r.shown);
    QCOMPARE(r.w().windowTitle(), title);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
