// The customer dialogs, opened from the main window's customer panel as a
// user opens them, on databases made by the tests.

#include "app/mainwindow.h"
#include "data/amount.h"
#include "controls/dbedit.h"
#include "controls/dbgrid.h"
#include "controls/dbnavigator.h"
#include "data/businesslogo.h"
#include "dialogs/businessdialogs.h"
#include "dialogs/customerdialog.h"
#include "einvoice/exportrecord.h"
#include "einvoice/store.h"
#include "einvoice/validation.h"
#include "report/invoicereport.h"
#include "dialogs/customersearch.h"
#include "framework/flatbutton.h"
#include "running.h"
#include "samples.h"
#include "uitest.h"

#include "einvoice/prefill.h"

#include <QBuffer>
#include <QComboBox>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QToolButton>
#include <QtTest>
#include <QTemporaryDir>
#include <optional>

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
        return whileModal(edit(), [&] { QTest::mouseClick(adding ? w().addCustomerButton : w().changeCustomerButton, Qt::LeftButton); }, inside);
    }
    uitest::ModalRun openSearch(const std::function<void()> &inside)
    {
        return whileModal(find(), [&] { QTest::mouseClick(w().searchButton, Qt::LeftButton); }, inside);
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
        for (int r = 0; r < find()->resultList->model()->rowCount(); ++r)
            out << find()->resultList->model()->index(r, 0).data().toString();
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
    void init() { setUserSeparators({QLatin1Char(','), QLatin1Char('.')}); }

    void editDialogLooksAsItShould();
    void businessDataIsCheckedStoredAndPrinted();
    void fileWithoutBusinessDataIsOfferedIt();
    void logoIsPickedStoredAndRemoved();
    void logoFileRefused_data();
    void logoFileRefused();
    void titleFollowsTheBusinessName();
    void fileWithoutAPlaceForTheLogo();
    void registrationNumberInTheBusinessData();
    void eInvoiceOfTheCurrentInvoice();
    void buyerKindDecidesTheRecipientCode_data();
    void buyerKindDecidesTheRecipientCode();
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
    QCOMPARE(e->ownerBox->title(), QStringLiteral("   Vor und Nachname (der Name des Eigentümer)   "));
    QCOMPARE(e->vatBox->title(), QStringLiteral("   P.IVA oder auch MWST genannt ;)   "));
    QCOMPARE(e->closeButton->text(), QStringLiteral("[ Schliessen ]"));
    QCOMPARE(e->saveButton->geometry(), QRect(41, 400, 129, 22));
    QCOMPARE(e->heading->font().pixelSize(), 27);
    QVERIFY(e->heading->font().italic() && e->heading->font().bold());
    QCOMPARE(e->palette().color(QPalette::Window), QColor(Qt::white));
    QCOMPARE(e->saveButton->focusPolicy(), Qt::NoFocus);
    QCOMPARE(e->ownerName->accessibleName(), QStringLiteral("Vor und Nachname (der Name des Eigentümer)"));
    CustomerSearch *s = d.find();
    QCOMPARE(s->windowTitle(), QStringLiteral("SUCHE"));
    QCOMPARE(s->okButton->text(), QStringLiteral("[ OK ]"));
    QVERIFY(!s->okButton->isDefault() && !s->okButton->autoDefault());
    QCOMPARE(s->resultList->columnWidth(0), 170);
    QVERIFY(s->resultList->gridReadOnly());
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
            d.type(d.edit()->customerName, typed);
        QTest::mouseClick(save ? d.edit()->saveButton : d.edit()->closeButton, Qt::LeftButton);
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
        QCOMPARE(d.w().customerName->text(), typed);
    }
    if (adding && !save) {
        QCOMPARE(d.w().customerName->text(), typed); // the panel shows the pending row
        QCOMPARE(d.w().invoiceList->model()->rowCount(), 0);
    }
}

void TestDialogs::addedCustomerTypedThenClosedIsStoredByTheNextMove()
{
    Dialogs d;
    QVERIFY(d.active);
    d.openEdit(true, [&] {
        d.type(d.edit()->customerName, QStringLiteral("Spaeter gespeichert"));
        QTest::mouseClick(d.edit()->closeButton, Qt::LeftButton);
    });
    QTest::mouseClick(d.w().customerNavigator->button(DBNavigator::nbPrior), Qt::LeftButton);
    QCOMPARE(d.scalar(QStringLiteral("SELECT count(*) FROM kunde WHERE name = 'Spaeter gespeichert'")), QStringLiteral("1"));

    // Untouched, the same way drops the row.
    d.openEdit(true, [&] { QTest::mouseClick(d.edit()->closeButton, Qt::LeftButton); });
    QTest::mouseClick(d.w().customerNavigator->button(DBNavigator::nbPrior), Qt::LeftButton);
    QCOMPARE(d.scalar(QStringLiteral("SELECT count(*) FROM kunde")), QStringLiteral("7"));
}

void TestDialogs::headingFollowsTheUse()
{
    Dialogs d;
    for (bool adding : {true, false, true}) {
        d.openEdit(adding, [&] {
            QCOMPARE(d.edit()->heading->text(), adding ? QStringLiteral("Neuen Kunden einfügen") : QStringLiteral("Kundendaten Ändern"));
            QCOMPARE(d.edit()->saveButton->text(), adding ? QStringLiteral("[ Einfügen ]") : QStringLiteral("[ Ändern ]"));
            QTest::mouseClick(d.edit()->closeButton, Qt::LeftButton);
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
        d.edit()->vatNumber->setFocus();
        QTest::keyClicks(d.edit()->vatNumber, QString(51, QLatin1Char('7')));
        QCOMPARE(d.edit()->vatNumber->text().size(), 50);
        QTest::mouseClick(d.edit()->saveButton, Qt::LeftButton);
    });
    QCOMPARE(d.scalar(QStringLiteral("SELECT length(piva) FROM kunde WHERE id = 1")), QStringLiteral("50"));
}

void TestDialogs::enterAndEscapePressNoButton()
{
    Dialogs d;
    QVERIFY(d.active);
    const auto run = d.openEdit(false, [&] {
        d.type(d.edit()->customerName, QStringLiteral("abc"));
        QTest::keyClick(d.edit()->customerName, Qt::Key_Return);
        QTest::keyClick(d.edit()->customerName, Qt::Key_Escape); // undoes the typing only
        QVERIFY(d.edit()->isVisible());
        QCOMPARE(d.edit()->customerName->text(), QStringLiteral("Gärtnerei Arnold"));
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
            QTest::keyClicks(d.find()->searchText, QString::fromLatin1(letter));
            counts << d.find()->resultList->model()->rowCount();
        }
        // The main window follows: its panel shows the first match.
        QCOMPARE(d.w().customerName->text(), QStringLiteral("Hotel Garni Rosa"));
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
        d.find()->searchText->setText(typed.isEmpty() ? QStringLiteral("x") : typed);
        d.find()->searchText->setText(typed);
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
        QTest::keyClicks(d.find()->searchText, QStringLiteral("qqq"));
        QCOMPARE(d.find()->resultList->model()->rowCount(), 0);
        QCOMPARE(d.w().customerName->text(), QString());
        QTest::mouseClick(d.find()->okButton, Qt::LeftButton);
    });
    QVERIFY(!run.stayedOpen);
    QCOMPARE(d.customers().RecordCount(), 6);
    QCOMPARE(d.w().customerName->text(), QStringLiteral("Gärtnerei Arnold"));
}

void TestDialogs::choosingInANarrowedList()
{
    Dialogs d;
    QVERIFY(d.active);
    d.openSearch([&] {
        QTest::keyClicks(d.find()->searchText, QStringLiteral("gar"));
        DBGrid *grid = d.find()->resultList;
        const QRect second = grid->visualRect(grid->model()->index(1, 0));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, second.center());
        QCOMPARE(d.w().customerName->text(), QStringLiteral("Hotel Garni Rosa"));
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, second.center());
    });
    QCOMPARE(d.customers().RecordCount(), 6);
    QCOMPARE(text(d.customers(), "id"), QStringLiteral("3"));
    QCOMPARE(d.w().invoiceList->model()->index(0, 0).data().toString(), QStringLiteral("3"));
}

void TestDialogs::secondOpeningRerunsTheEmptyPattern()
{
    Dialogs d;
    QVERIFY(d.active);
    d.customers().Last(); // the customer without a name
    d.openSearch([&] {
        QCOMPARE(d.find()->searchText->text(), QString()); // first opening: nothing re-run
        QCOMPARE(d.find()->resultList->model()->rowCount(), 6);
        QTest::keyClicks(d.find()->searchText, QStringLiteral("Berg"));
        QTest::mouseClick(d.find()->okButton, Qt::LeftButton);
    });
    QCOMPARE(d.w().customerName->text(), QStringLiteral("Baumschule Berg"));
    d.openSearch([&] {
        // The leftover text was cleared and the empty pattern ran before showing.
        QCOMPARE(d.find()->searchText->text(), QString());
        QCOMPARE(d.find()->resultList->model()->rowCount(), 5);
        d.find()->close();
    });
    QCOMPARE(d.w().customerName->text(), QStringLiteral("Gärtnerei Arnold"));
}

void TestDialogs::closeBoxLeavesTheNarrowedList()
{
    Dialogs d;
    QVERIFY(d.active);
    d.openSearch([&] {
        QTest::keyClicks(d.find()->searchText, QStringLiteral("gar"));
        d.find()->close();
    });
    QCOMPARE(d.customers().RecordCount(), 3);
    QCOMPARE(d.customers().SQL(), QStringLiteral("SELECT * FROM kunde WHERE name LIKE '%gar%';"));
    for (int i = 0; i < 3; ++i)
        QTest::mouseClick(d.w().customerNavigator->button(DBNavigator::nbNext), Qt::LeftButton);
    QCOMPARE(d.w().customerName->text(), QStringLiteral("O'Brian Gardens"));
}

void TestDialogs::searchStoresAPendingCustomerFirst()
{
    Dialogs d;
    QVERIFY(d.active);
    d.openEdit(true, [&] {
        d.type(d.edit()->customerName, QStringLiteral("Gartencenter Neu"));
        QTest::mouseClick(d.edit()->closeButton, Qt::LeftButton);
    });
    d.openSearch([&] {
        QTest::keyClicks(d.find()->searchText, QStringLiteral("Neu"));
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
        d.type(d.edit()->ownerName, QStringLiteral(" jun."));
        QTest::mouseClick(d.edit()->closeButton, Qt::LeftButton);
    });
    d.db.exec(QStringLiteral("UPDATE kunde SET name2 = 'Anderer' WHERE id = 1"));
    Boxes boxes({discard});
    d.openSearch([&] {
        QTest::keyClicks(d.find()->searchText, QStringLiteral("B"));
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
            QTest::keyClicks(d.find()->searchText, QStringLiteral("r"));
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
        d.type(d.edit()->salutation, QStringLiteral("Spett.le"));
        d.type(d.edit()->customerName, QStringLiteral("Fiori Zanetti"));
        d.type(d.edit()->address, QStringLiteral("Via Roma 1"));
        QTest::keyClick(d.edit()->address, Qt::Key_Return);
        QTest::keyClicks(d.edit()->address, QStringLiteral("39100 Bolzano"));
        QTest::mouseClick(d.edit()->saveButton, Qt::LeftButton);
    });
    d.customers().First();
    d.openEdit(false, [&] {
        d.edit()->vatNumber->setFocus();
        QTest::keyClicks(d.edit()->vatNumber, QStringLiteral("00000000777"));
        QTest::mouseClick(d.edit()->saveButton, Qt::LeftButton);
    });
    d.openSearch([&] {
        QTest::keyClicks(d.find()->searchText, QStringLiteral("Zan"));
        QTest::mouseClick(d.find()->okButton, Qt::LeftButton);
    });
    QCOMPARE(d.w().customerName->text(), QStringLiteral("Fiori Zanetti"));
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
        d.type(d.edit()->customerName, QStringLiteral("Neu GmbH"));
        QTest::mouseClick(d.edit()->closeButton, Qt::LeftButton);
    });
    // The search field is empty: nothing re-runs, the pending row is selected.
    d.openSearch([&] { QTest::mouseClick(d.find()->okButton, Qt::LeftButton); });
    QCOMPARE(d.scalar(QStringLiteral("SELECT id FROM kunde WHERE name = 'Neu GmbH'")), QStringLiteral("7"));
    QCOMPARE(text(d.customers(), "id"), QStringLiteral("7"));
    QCOMPARE(d.w().customerName->text(), QStringLiteral("Neu GmbH"));
}

namespace {
struct Folder
{
    explicit Folder(std::optional<QString> answer)
    {
        setFolderHook([this, answer](const QString &) {
            ++asked;
            return answer;
        });
    }
    ~Folder() { setFolderHook({}); }
    int asked = 0;
};
} // namespace

void TestDialogs::businessDataIsCheckedStoredAndPrinted()
{
    Dialogs d;
    QVERIFY(d.active);
    BusinessDialog *dialog = d.w().businessDialog;
    Boxes boxes;
    const auto run = whileModal(dialog, [&] { d.w().businessDataAction->trigger(); }, [&] {
        dialog->setValue(sample::nursery());
        // A wrong check digit: the field is named, the dialog stays, nothing is stored.
        dialog->field("iban")->setText(QStringLiteral("IT61X0542811101000000123456"));
        QTest::mouseClick(dialog->okButton(), Qt::LeftButton);
        QCOMPARE(boxes.kinds, QList<BoxRequest::Kind>{BoxRequest::Error});
        QVERIFY2(boxes.asked.value(0).contains(QStringLiteral("IBAN")), qPrintable(boxes.asked.value(0)));
        QCOMPARE(boxes.asked.value(0).count(QStringLiteral("nicht")), 1);
        QVERIFY(dialog->isVisible());
        // Half of a 1280-pixel screen, whatever the longest tax regime's text.
        QVERIFY2(dialog->width() <= 640, qPrintable(QString::number(dialog->width())));
        QVERIFY(!einvoice::loadSeller(d.w().data().connection).value_or(einvoice::Seller()).vatNumber.size());
        dialog->field("iban")->setText(QStringLiteral("IT60 X054 2811 1010 0000 0123 456"));
        QTest::mouseClick(dialog->okButton(), Qt::LeftButton);
        QVERIFY(!dialog->isVisible());
    });
    QVERIFY(run.wasModal);
    QCOMPARE(boxes.asked.size(), 1);
    const einvoice::Seller stored = einvoice::loadSeller(d.w().data().connection).value();
    QCOMPARE(stored.vatNumber, QStringLiteral("01234567897"));
    // The next printed invoice carries it.
    const Letterhead printed = d.program.invoiceReport->letterhead();
    QCOMPARE(printed.owner, QStringLiteral("Josef Gruber"));
    QCOMPARE(printed.town, QStringLiteral("39100 Bozen (BZ)"));
    QCOMPARE(printed.phone, QStringLiteral("Tel. 0471 000000"));
    QCOMPARE(printed.vat, QStringLiteral("P.IVA 01234567897"));
    QCOMPARE(printed.paymentLine, QStringLiteral("Bank: Südtiroler Sparkasse, IBAN IT60 X054 2811 1010 0000 0123 456"));
}

void TestDialogs::fileWithoutBusinessDataIsOfferedIt()
{
    Boxes boxes({false});
    Dialogs d(QString::fromUtf8(Data) + QStringLiteral("DROP TABLE firma; DROP TABLE kunde_efattura;"));
    QTRY_COMPARE(boxes.asked, QStringList{QStringLiteral("Bestätigung|Die Datenbank hat noch keine Firmendaten. Jetzt anlegen?")});
    // "&Nein": nothing is made, and the sample letterhead prints.
    QVERIFY(!einvoice::hasBusinessTables(d.w().data().connection));
    QCOMPARE(d.program.invoiceReport->letterhead(), Letterhead::sample());
}

namespace {
// Answers the open-file dialog with `file` and counts the questions.
struct PickedFile
{
    explicit PickedFile(const QString &file)
    {
        setOpenFileHook([this, file](const QString &) {
            ++asked;
            return std::optional<QString>(file);
        });
    }
    ~PickedFile() { setOpenFileHook({}); }
    int asked = 0;
};

QByteArray pngOf(const QSize &size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QString written(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    QFile f(dir.filePath(name));
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        return QString();
    return f.fileName();
}

QByteArray storedLogo(Dialogs &d)
{
    return d.db.scalar(QStringLiteral("SELECT hex(logo) FROM firma")).toLatin1();
}
} // namespace

void TestDialogs::logoIsPickedStoredAndRemoved()
{
    Dialogs d;
    QVERIFY(d.active);
    einvoice::saveSeller(d.w().data().connection, sample::nursery());
    QTemporaryDir dir;
    const QByteArray png = pngOf(QSize(300, 100));
    PickedFile picked(written(dir, QStringLiteral("logo.png"), png));
    BusinessDialog *dialog = d.w().businessDialog;
    Boxes boxes;
    auto run = whileModal(dialog, [&] { d.w().businessDataAction->trigger(); }, [&] {
        QVERIFY(!dialog->removeLogoButton->isEnabled());
        QTest::mouseClick(dialog->chooseLogoButton, Qt::LeftButton);
        QCOMPARE(picked.asked, 1);
        QCOMPARE(dialog->logo(), png);
        QVERIFY(!dialog->logoPreview->pixmap().isNull());
        QVERIFY(dialog->removeLogoButton->isEnabled());
        QTest::mouseClick(dialog->okButton(), Qt::LeftButton);
    });
    QVERIFY(run.wasModal && !run.stayedOpen);
    QVERIFY(boxes.asked.isEmpty());
    QCOMPARE(storedLogo(d), png.toHex().toUpper());
    // The next invoice shows it instead of the name.
    QCOMPARE(d.program.invoiceReport->letterhead().logo, QImage::fromData(png));

    // "Logo entfernen", then "Abbrechen": the stored logo stays.
    run = whileModal(dialog, [&] { d.w().businessDataAction->trigger(); }, [&] {
        QCOMPARE(dialog->logo(), png);
        QTest::mouseClick(dialog->removeLogoButton, Qt::LeftButton);
        QVERIFY(dialog->logo().isEmpty());
        dialog->reject();
    });
    QCOMPARE(storedLogo(d), png.toHex().toUpper());
    // Removed and saved: the name stands in the logo's box again.
    run = whileModal(dialog, [&] { d.w().businessDataAction->trigger(); }, [&] {
        QTest::mouseClick(dialog->removeLogoButton, Qt::LeftButton);
        QVERIFY(dialog->logoPreview->pixmap().isNull());
        QTest::mouseClick(dialog->okButton(), Qt::LeftButton);
    });
    QVERIFY(!run.stayedOpen);
    QCOMPARE(storedLogo(d), QByteArray());
    const Letterhead printed = d.program.invoiceReport->letterhead();
    QVERIFY(printed.logo.isNull());
    QCOMPARE(printed.businessName, QStringLiteral("Gärtnerei Rosengarten"));
    QCOMPARE(printed.bankLine, QStringLiteral("IBAN IT60 X054 2811 1010 0000 0123 456 · C.F. GRBJSF60A01A952B"));
}

void TestDialogs::logoFileRefused_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("message");
    QTest::newRow("a text file") << QByteArray("Rosen, Tulpen\n")
                                 << "Die Datei \"bild.png\" ist kein Bild im Format PNG, JPEG oder BMP. "
                                    "Bitte wählen Sie ein solches Bild; das bisherige Logo bleibt.";
    QTest::newRow("a broken PNG") << QByteArray("\x89PNG\r\n\x1a\nkaputt")
                                  << "Die Datei \"bild.png\" lässt sich nicht als Bild lesen. "
                                     "Bitte wählen Sie ein anderes Bild; das bisherige Logo bleibt.";
    QTest::newRow("over 2 MB") << QByteArray("BM") + QByteArray(2 * 1024 * 1024, '\0')
                               << "Die Datei \"bild.png\" ist größer als 2 MB und kann nicht als Logo dienen. "
                                  "Bitte wählen Sie ein kleineres Bild; das bisherige Logo bleibt.";
}

void TestDialogs::logoFileRefused()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, message);
    Dialogs d;
    QVERIFY(d.active);
    einvoice::saveSeller(d.w().data().connection, sample::nursery());
    const QByteArray png = pngOf(QSize(40, 40));
    saveBusinessLogo(d.w().data().connection, png);
    QTemporaryDir dir;
    PickedFile picked(written(dir, QStringLiteral("bild.png"), bytes));
    BusinessDialog *dialog = d.w().businessDialog;
    Boxes boxes;
    whileModal(dialog, [&] { d.w().businessDataAction->trigger(); }, [&] {
        QTest::mouseClick(dialog->chooseLogoButton, Qt::LeftButton);
        QCOMPARE(boxes.kinds, QList<BoxRequest::Kind>{BoxRequest::Error});
        QCOMPARE(boxes.asked.value(0).section(QLatin1Char('|'), 1), message);
        // The old logo is kept, in the dialog and in the file.
        QVERIFY(dialog->isVisible());
        QCOMPARE(dialog->logo(), png);
        QTest::mouseClick(dialog->okButton(), Qt::LeftButton);
    });
    QCOMPARE(storedLogo(d), png.toHex().toUpper());
}

void TestDialogs::titleFollowsTheBusinessName()
{
    Dialogs d;
    QVERIFY(d.active);
    // No name of its own yet: the sample nursery's.
    QCOMPARE(d.w().windowTitle(), QStringLiteral("Gärtnerei Trovanek"));
    BusinessDialog *dialog = d.w().businessDialog;
    Boxes boxes;
    whileModal(dialog, [&] { d.w().businessDataAction->trigger(); }, [&] {
        dialog->setValue(sample::nursery());
        QTest::mouseClick(dialog->okButton(), Qt::LeftButton);
    });
    QCOMPARE(d.w().windowTitle(), QStringLiteral("Gärtnerei Rosengarten"));
    // Cancelled edits change nothing.
    whileModal(dialog, [&] { d.w().businessDataAction->trigger(); }, [&] {
        dialog->field("businessName")->setText(QStringLiteral("Anders"));
        dialog->reject();
    });
    QCOMPARE(d.w().windowTitle(), QStringLiteral("Gärtnerei Rosengarten"));
    QVERIFY(boxes.asked.isEmpty());
}

void TestDialogs::fileWithoutAPlaceForTheLogo()
{
    // The upgrade that would add the column is declined at start-up.
    Boxes boxes({false});
    Dialogs d(QString::fromUtf8(Data) + QStringLiteral("ALTER TABLE firma DROP COLUMN logo;"));
    QTRY_COMPARE(boxes.asked.size(), 1);
    QVERIFY(d.active);
    QTemporaryDir dir;
    PickedFile picked(written(dir, QStringLiteral("logo.png"), pngOf(QSize(30, 10))));
    BusinessDialog *dialog = d.w().businessDialog;
    // The business data without a logo is stored as before.
    whileModal(dialog, [&] { d.w().businessDataAction->trigger(); }, [&] {
        dialog->setValue(sample::nursery());
        QTest::mouseClick(dialog->okButton(), Qt::LeftButton);
        QVERIFY(!dialog->isVisible());
    });
    QCOMPARE(boxes.asked.size(), 1);
    QCOMPARE(d.w().windowTitle(), QStringLiteral("Gärtnerei Rosengarten"));
    // A logo cannot be kept: said why, the dialog stays, nothing is stored.
    whileModal(dialog, [&] { d.w().businessDataAction->trigger(); }, [&] {
        QTest::mouseClick(dialog->chooseLogoButton, Qt::LeftButton);
        dialog->field("businessName")->setText(QStringLiteral("Anders"));
        QTest::mouseClick(dialog->okButton(), Qt::LeftButton);
        QVERIFY(dialog->isVisible());
    });
    QCOMPARE(boxes.asked.size(), 2);
    QVERIFY2(boxes.asked.value(1).contains(QStringLiteral("keinen Platz für ein Logo")), qPrintable(boxes.asked.value(1)));
    QCOMPARE(einvoice::loadSeller(d.w().data().connection)->businessName, QStringLiteral("Gärtnerei Rosengarten"));
}

void TestDialogs::registrationNumberInTheBusinessData()
{
    Dialogs d;
    QVERIFY(d.active);
    einvoice::saveSeller(d.w().data().connection, sample::nursery());
    BusinessDialog *dialog = d.w().businessDialog;
    Boxes boxes;
    auto run = whileModal(dialog, [&] { d.w().businessDataAction->trigger(); }, [&] {
        QLineEdit *number = dialog->field("registrationNumber");
        QLineEdit *site = dialog->field("siteCode");
        QVERIFY(number && site);
        QCOMPARE(number->accessibleName(), QStringLiteral("Registriernummer (RUOP)"));
        QCOMPARE(site->accessibleName(), QStringLiteral("Standortcode"));
        QVERIFY(number->text().isEmpty() && site->text().isEmpty());
        // Without its hyphens: named, the dialog stays with what was typed.
        number->setText(QStringLiteral("IT 21 1234"));
        site->setText(QStringLiteral("BZ-004"));
        QTest::mouseClick(dialog->okButton(), Qt::LeftButton);
        QCOMPARE(boxes.kinds, QList<BoxRequest::Kind>{BoxRequest::Error});
        QVERIFY2(boxes.asked.value(0).contains(QStringLiteral("Registriernummer (RUOP)")), qPrintable(boxes.asked.value(0)));
        QVERIFY2(boxes.asked.value(0).contains(QStringLiteral("IT-21-1234")), qPrintable(boxes.asked.value(0)));
        QVERIFY(dialog->isVisible());
        QCOMPARE(number->text(), QStringLiteral("IT 21 1234"));
        QCOMPARE(site->text(), QStringLiteral("BZ-004"));
        QCOMPARE(einvoice::loadSeller(d.w().data().connection)->siteCode, QString());
        number->setText(QStringLiteral("IT-21-1234"));
        QTest::mouseClick(dialog->okButton(), Qt::LeftButton);
        QVERIFY(!dialog->isVisible());
    });
    QVERIFY(run.wasModal);
    QCOMPARE(boxes.asked.size(), 1);
    const einvoice::Seller stored = einvoice::loadSeller(d.w().data().connection).value();
    QCOMPARE(stored.registrationNumber, QStringLiteral("IT-21-1234"));
    QCOMPARE(stored.siteCode, QStringLiteral("BZ-004"));
    // Opened again, the dialog shows what is stored.
    run = whileModal(dialog, [&] { d.w().businessDataAction->trigger(); }, [&] {
        QCOMPARE(dialog->field("registrationNumber")->text(), QStringLiteral("IT-21-1234"));
        QCOMPARE(dialog->field("siteCode")->text(), QStringLiteral("BZ-004"));
        dialog->reject();
    });
    QVERIFY(run.wasModal);
}

void TestDialogs::eInvoiceOfTheCurrentInvoice()
{
    Dialogs d(QString::fromUtf8(Data) + QStringLiteral(
        "UPDATE kunde SET piva = 'IT09876543217', adresse = 'Lindenweg 7' || char(13, 10) || '39012 Meran (BZ)' WHERE id = 1;"
        "UPDATE rechnungsdaten2004 SET datum = '05.02.2004' WHERE nr = '1';"
        "INSERT INTO rechnung2004 (rechnungsnummer, beschreibung, anzahl, einzelpreis) VALUES ('1', 'Rosen', '4', '2,5'), ('1', 'Erde', '', '3');"));
    QVERIFY(d.active);
    einvoice::saveSeller(d.w().data().connection, sample::nursery());
    QTemporaryDir out;
    Folder folder(out.path());
    Boxes boxes;
    BuyerDialog *buyer = d.w().buyerDialog;
    whileModal(buyer, [&] { d.w().eInvoiceAction->trigger(); }, [&] {
        // Pre-filled from the customer's record.
        QCOMPARE(buyer->field("vatNumber")->text(), QStringLiteral("09876543217"));
        QCOMPARE(buyer->field("town")->text(), QStringLiteral("Meran"));
        QCOMPARE(buyer->field("province")->text(), QStringLiteral("BZ"));
        QTest::mouseClick(buyer->okButton(), Qt::LeftButton);
    });
    QCOMPARE(folder.asked, 1);
    // Its number comes from the clock, far above the stored 00041.
    const QStringList written = QDir(out.path()).entryList(QDir::Files);
    QCOMPARE(written.size(), 1);
    QVERIFY2(QRegularExpression(QStringLiteral("^IT01234567897_[0-9A-Z]{5}\\.xml$")).match(written.first()).hasMatch(),
             qPrintable(written.first()));
    const QString number = written.first().mid(14, 5);
    QVERIFY(einvoice::transmissionValue(number).value() > einvoice::transmissionValue(QStringLiteral("00041")).value());
    const QString file = out.filePath(written.first());
    QCOMPARE(boxes.asked, QStringList{QStringLiteral("tst_dialogs|Die elektronische Rechnung wurde geschrieben:\n")
                                      + QDir::toNativeSeparators(file)});
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray xml = f.readAll();
    einvoice::validateFatturaPA(xml, einvoice::bundledSchemaFile());
    // The totals the printed invoice shows: 10,00 net, 1,00 tax, 11,00 gross.
    QVERIFY(xml.contains("<ImponibileImporto>10.00</ImponibileImporto>"));
    QVERIFY(xml.contains("<Imposta>1.00</Imposta>"));
    QVERIFY(xml.contains("<ImportoTotaleDocumento>11.00</ImportoTotaleDocumento>"));
    // The next file gets the next number; the customer's data is kept for it.
    QCOMPARE(einvoice::loadSeller(d.w().data().connection)->nextTransmissionNumber,
             einvoice::transmissionNumberOf(einvoice::transmissionValue(number).value() + 1).value());
    QCOMPARE(einvoice::loadBuyer(d.w().data().connection, 1)->vatNumber, QStringLiteral("09876543217"));

    // Exported before: asked first, and "Nein" leaves everything as it was.
    Boxes no({false});
    d.w().eInvoiceAction->trigger();
    QCOMPARE(no.asked.size(), 1);
    QVERIFY2(no.asked.first().contains(QStringLiteral("|Diese Rechnung wurde am "))
                 && no.asked.first().endsWith(QStringLiteral(" als %1 exportiert. Noch einmal exportieren?").arg(written.first())),
             qPrintable(no.asked.first()));
    QCOMPARE(folder.asked, 1);
    QCOMPARE(QDir(out.path()).entryList(QDir::Files), written);
}

void TestDialogs::buyerKindDecidesTheRecipientCode_data()
{
    QTest::addColumn<QString>("piva");
    QTest::addColumn<QString>("adresse");
    QTest::addColumn<QString>("shownKind");     // pre-filled
    QTest::addColumn<QString>("shownCode");
    QTest::addColumn<QString>("pickedKind");    // then chosen by the user
    QTest::addColumn<QString>("pickedCode");
    QTest::newRow("Austrian business, then Italian")
        << "ATU12345678" << "Maria-Theresien-Straße 3\nA-6020 Innsbruck" << "Firma in einem anderen EU-Staat" << "XXXXXXX"
        << "Firma in Italien" << "0000000";
    QTest::newRow("Italian business, then San Marino")
        << "IT00000000208" << "Via Roma 1\n39100 Bozen (BZ)" << "Firma in Italien" << "0000000" << "San Marino" << "2R4GTO8";
    QTest::newRow("private person, then outside the EU")
        << "HLNKTH70E41A952K" << "Promenade 3\n39012 Meran" << "Privatperson in Italien" << "0000000"
        << "Außerhalb der EU" << "XXXXXXX";
}

void TestDialogs::buyerKindDecidesTheRecipientCode()
{
    QFETCH(QString, piva);
    QFETCH(QString, adresse);
    QFETCH(QString, shownKind);
    QFETCH(QString, shownCode);
    QFETCH(QString, pickedKind);
    QFETCH(QString, pickedCode);
    BuyerDialog dialog;
    dialog.setValue(einvoice::buyerFromCustomer(QStringLiteral("Kunde"), QString(), piva, adresse));
    QLineEdit *code = dialog.field("recipientCode");
    QCOMPARE(dialog.kind->currentText(), shownKind);
    QCOMPARE(code->text(), shownCode);
    // Abroad the code is the kind's, not the user's to type.
    QCOMPARE(code->isEnabled(), shownCode != QLatin1String("XXXXXXX"));
    dialog.kind->setCurrentIndex(dialog.kind->findText(pickedKind));
    QCOMPARE(code->text(), pickedCode);
    QCOMPARE(code->isEnabled(), pickedCode == QLatin1String("0000000"));
    QCOMPARE(customerKindName(dialog.value().kind), pickedKind);
    QCOMPARE(dialog.value().recipientCode, pickedCode);
}

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
