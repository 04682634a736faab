#include "mainwindow.h"

#include "app/aboutbox.h"
#include "data/backup.h"
#include "data/businesslogo.h"
#include "data/businesstexts.h"
#include "data/deferredinvoice.h"
#include "data/invoicecopy.h"
#include "data/invoicerepository.h"
#include "data/migrations.h"
#include "data/openitems.h"
#include "data/schema.h"
#include "dialogs/customerdialog.h"
#include "dialogs/businessdialogs.h"
#include "dialogs/customersearch.h"
#include "dialogs/deferredinvoicedialog.h"
#include "dialogs/yearoverview.h"
#include "dialogs/newdocumentdialogs.h"
#include "dialogs/openitems.h"
#include "dialogs/passportreportdialog.h"
#include "einvoice/exportrecord.h"
#include "einvoice/store.h"
#include "editor/deliverynoteeditor.h"
#include "editor/invoiceeditor.h"
#include "report/deliverynotereport.h"
#include "report/invoicereport.h"
#include "report/reminderletter.h"
#include "data/errors.h"
#include "controls/dbedit.h"
#include "controls/dbgrid.h"
#include "controls/dbnavigator.h"
#include "controls/dbtext.h"
#include "framework/apptitle.h"
#include "framework/flatbutton.h"
#include "framework/fonts.h"
#include "framework/messages.h"
#include "framework/settings.h"
#include "framework/widgets.h"

#include <QApplication>
#include <QActionGroup>
#include <QCloseEvent>
#include <QDate>
#include <QDir>
#include <QImage>
#include <QFileInfo>
#include <optional>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QTabWidget>
#include <QTimer>
#include <algorithm>

namespace {

const QString TabPadding = QString(28, QLatin1Char(' '));
const QColor MoneyGreen(192, 220, 192);
constexpr int BeyondAnyScreen = 16384;

} // namespace

MainWindow::MainWindow(const QString &databaseFile, const Separators &separators, QWidget *parent)
    : QMainWindow(parent), m_data(std::make_unique<InvoiceData>())
{
    setObjectName(QStringLiteral("frmmain"));
    setWindowTitle(texts::MainCaption);
    setFont(windowsFont(QStringLiteral("MS Sans Serif"), 8));

    // The data first: a file that cannot be opened ends the start-up here.
    // A line whose amount cannot be read is no reason: it shows empty.
    m_data->setSeparators(separators);
    m_data->open(databaseFile);
    // A new line starts at the rate the customer's VAT treatment gives: an
    // intra-EU supply at 0 % N3.2, an export at N3.1, otherwise 10 %.
    m_data->setNewLineRate([this]() -> VatRate {
        const Field *id = m_data->customers.Active() ? m_data->customers.FindField(schema::customer::Id) : nullptr;
        if (!id || id->IsNull())
            return StandardRate;
        try {
            return defaultLineRate(einvoice::customerKindOf(m_data->connection, id->AsInteger()));
        } catch (const AppError &) {
            // A file without the customers' e-invoice data: the classic rate.
            return StandardRate;
        }
    });
    // A business customer gets plant passports with its plants.
    m_data->setDeliveryCustomerKind([this]() -> CustomerKind {
        const Field *id = m_data->customers.Active() ? m_data->customers.FindField(schema::customer::Id) : nullptr;
        if (!id || id->IsNull())
            return CustomerKind::ItalianPerson;
        return einvoice::customerKindOf(m_data->connection, id->AsInteger());
    });

    buildMenu();
    businessDialog = new BusinessDialog(this);
    buyerDialog = new BuyerDialog(this);
    yearOverviewDialog = new YearOverviewDialog(this);
    creditNoteDialog = new CreditNoteDialog(this);
    copyInvoiceDialog = new CopyInvoiceDialog(this);
    deferredInvoiceDialog = new DeferredInvoiceDialog(this);
    openItemsDialog = new OpenItemsDialog(this);
    passportReportDialog = new PassportReportDialog(this);
    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(691, 551);
    setCentralWidget(client);

    customerTabs = new QTabWidget(client);
    customerTabs->setObjectName(QStringLiteral("PageControl1"));
    customerTabs->setGeometry(5, 8, 676, 241);
    customerTabs->setFont(windowsFont(QStringLiteral("Microsoft Sans Serif"), 8));
    auto *kundePage = new QWidget;
    kundePage->setObjectName(QStringLiteral("TabSheet1"));
    customerTabs->addTab(kundePage, QStringLiteral("Kunde") + TabPadding);
    customerTabs->setAccessibleName(QStringLiteral("Kunde"));

    invoiceTabs = new QTabWidget(client);
    invoiceTabs->setObjectName(QStringLiteral("PageControl2"));
    invoiceTabs->setGeometry(5, 263, 676, 281);
    auto *listePage = new QWidget;
    listePage->setObjectName(QStringLiteral("TabSheet2"));
    invoiceTabs->addTab(listePage, QStringLiteral("Liste") + TabPadding);
    invoiceTabs->setAccessibleName(QStringLiteral("Liste"));

    deliveryNotesPage = new QWidget;
    deliveryNotesPage->setObjectName(QStringLiteral("TabSheet3"));
    invoiceTabs->addTab(deliveryNotesPage, QStringLiteral("Lieferscheine") + TabPadding);

    buildCustomerPanel(kundePage);
    buildInvoiceList(listePage);
    buildDeliveryNoteList(deliveryNotesPage);
    showDeliveryNotesState();

    // The lower frame comes first in the focus order.
    setTabOrder(invoiceList, salutation);
    setTabOrder(salutation, customerName);
    setTabOrder(customerName, ownerName);
    setTabOrder(ownerName, vatNumber);
    setTabOrder(vatNumber, address);

    // One size only, and still a maximise box: the window manager may grow
    // the window only in steps larger than any screen, so maximising leaves
    // it, and every control in it, as it is, and dragging the border does
    // nothing.
    // Qt hands the steps on to the window manager only once the native
    // window exists.
    const QSize own = sizeHint();
    resize(own);
    setMinimumSize(own);
    winId();
    setBaseSize(own);
    setSizeIncrement(BeyondAnyScreen, BeyondAnyScreen);
    centreOnScreen(this);
}

MainWindow::~MainWindow()
{
    // Quitting does not wait for the daily copy: it is abandoned, leaving no
    // half-made file, and the next start makes it.
    m_dailyBackup.abandon();
    // Windows and controls let go of the data sources before the data goes.
    delete centralWidget();
}

void MainWindow::buildMenu()
{
    auto add = [this](QMenu *menu, const char *name, const QString &text, void (MainWindow::*handler)()) {
        QAction *a = menu->addAction(text);
        a->setObjectName(QString::fromLatin1(name));
        connect(a, &QAction::triggered, this, [this, handler] { guarded([&] { (this->*handler)(); }); });
        return a;
    };
    QMenu *datei = menuBar()->addMenu(QStringLiteral("&Datei"));
    datei->setObjectName(QStringLiteral("Datei1"));
    businessDataAction = add(datei, "Firmendaten1", QStringLiteral("&Firmendaten ..."), &MainWindow::editBusinessData);
    saveBackupAction = add(datei, "Sicherung1", QStringLiteral("&Sicherung speichern ..."), &MainWindow::saveBackup);
    datei->addSeparator();
    quitAction = add(datei, "Beenden1", QStringLiteral("&Beenden"), &MainWindow::quit);
    m_yearMenu = menuBar()->addMenu(QStringLiteral("&Jahr"));
    m_yearMenu->setObjectName(QStringLiteral("Jahr1"));
    m_yearGroup = new QActionGroup(this);
    m_yearGroup->setExclusive(true);
    fillYearMenu();
    QMenu *rechnung = menuBar()->addMenu(QStringLiteral("&Rechnung"));
    rechnung->setObjectName(QStringLiteral("Rechnung1"));
    editInvoiceAction = add(rechnung, "EditRechnung1", QStringLiteral("&Ändern"), &MainWindow::openEditorFromMenu);
    printAction = add(rechnung, "Drucken1", QStringLiteral("&Drucken"), &MainWindow::printInvoice);
    eInvoiceAction = add(rechnung, "Fatturapa1", QStringLiteral("&Elektronische Rechnung (FatturaPA) ..."), &MainWindow::exportEInvoice);
    creditNoteAction = add(rechnung, "Gutschrift1", QStringLiteral("&Gutschrift zu dieser Rechnung ..."), &MainWindow::makeCreditNote);
    copyInvoiceAction = add(rechnung, "Kopieren1", QStringLiteral("&Rechnung kopieren ..."), &MainWindow::copyInvoice);
    deferredInvoiceAction = add(rechnung, "Sammelrechnung1", QStringLiteral("&Sammelrechnung aus Lieferscheinen ..."),
                                &MainWindow::makeDeferredInvoice);
    openItemsAction = add(rechnung, "OffenePosten1", QStringLiteral("&Offene Posten ..."), &MainWindow::showOpenItems);
    reminderAction = add(rechnung, "Zahlungserinnerung1", QStringLiteral("&Zahlungserinnerung drucken ..."), &MainWindow::printReminder);
    yearOverviewAction = add(rechnung, "Jahresuebersicht1", QStringLiteral("&Jahresübersicht ..."), &MainWindow::showYearOverview);
    passportReportAction = add(rechnung, "Pflanzenpass1", QStringLiteral("&Pflanzenpass-Nachweis ..."), &MainWindow::showPassportReport);
    QMenu *info = menuBar()->addMenu(QStringLiteral("&Info"));
    info->setObjectName(QStringLiteral("Info1"));
    helpAction = add(info, "Hilfe1", QStringLiteral("&Hilfe"), &MainWindow::showHelp);
    aboutAction = add(info, "About1", QStringLiteral("&About"), &MainWindow::showAbout);

    // Where the menu bar is empty anyway, so no control of the window moves;
    // a long path loses its middle, the file name stays.
    databasePath = new QLabel(menuBar());
    databasePath->setObjectName(QStringLiteral("databasePath"));
    const QString path = QDir::toNativeSeparators(QFileInfo(m_data->connection.fileName()).absoluteFilePath());
    databasePath->setText(databasePath->fontMetrics().elidedText(path, Qt::ElideMiddle, 400));
    databasePath->setAccessibleName(QStringLiteral("Datenbank: ") + path);
    databasePath->setContentsMargins(0, 0, 6, 0);
    QPalette quiet = databasePath->palette();
    quiet.setColor(QPalette::WindowText, quiet.color(QPalette::Disabled, QPalette::WindowText));
    databasePath->setPalette(quiet);
    menuBar()->setCornerWidget(databasePath, Qt::TopRightCorner);
}

void MainWindow::buildCustomerPanel(QWidget *page)
{
    customerPanel = placedGroupBox(page, "GroupBox1", QString(), QRect(5, 4, 660, 202));
    customerPanel->setAccessibleName(QStringLiteral("Kundendaten"));

    using namespace schema::customer;
    struct FieldSpec { const char *labelName; const char *caption; QRect labelRect; Qt::Alignment align; const char *name; QRect rect; QLatin1StringView field; };
    const FieldSpec specs[] = {
        {"Label1", "An", {8, 12, 42, 13}, Qt::AlignRight | Qt::AlignVCenter, "DBEdit2", {56, 10, 65, 21}, Salutation},
        {"Label2", "Name", {8, 36, 42, 13}, Qt::AlignRight | Qt::AlignVCenter, "DBEdit1", {56, 34, 185, 21}, Name},
        {"Label4", "Name eff.", {2, 59, 50, 15}, Qt::AlignRight | Qt::AlignVCenter, "DBEdit3", {56, 58, 185, 21}, Owner},
        {"Label5", "P.IVA:", {21, 85, 30, 13}, Qt::AlignRight | Qt::AlignVCenter, "DBEdit4", {56, 82, 185, 21}, VatNumber},
    };
    DBEdit **edits[] = {&salutation, &customerName, &ownerName, &vatNumber};
    for (int i = 0; i < 4; ++i) {
        const FieldSpec &s = specs[i];
        QLabel *l = placedLabel(customerPanel, s.labelName, QString::fromUtf8(s.caption), s.labelRect, s.align);
        auto *e = new DBEdit(customerPanel);
        e->setObjectName(QString::fromLatin1(s.name));
        e->setGeometry(s.rect);
        e->setDataSource(&m_data->customerSource);
        e->setDataField(s.field);
        e->setAccessibleName(l->text().remove(QLatin1Char(':')));
        paintAsField(e);
        l->setBuddy(e);
        *edits[i] = e;
    }
    QLabel *adresse = placedLabel(customerPanel, "Label6", QStringLiteral("Adresse:"), QRect(11, 107, 0, 13));
    address = new DBMemo(customerPanel);
    address->setObjectName(QStringLiteral("DBMemo1"));
    address->setGeometry(56, 106, 185, 65);
    address->setDataSource(&m_data->customerSource);
    address->setDataField(Address);
    address->setAccessibleName(QStringLiteral("Adresse"));
    paintAsField(address);
    adresse->setBuddy(address);

    customerNavigator = new DBNavigator(customerPanel);
    customerNavigator->setObjectName(QStringLiteral("DBNavigator1"));
    customerNavigator->setGeometry(5, 181, 76, 18);
    customerNavigator->setVisibleButtons({DBNavigator::nbPrior, DBNavigator::nbNext});
    customerNavigator->setDataSource(&m_data->customerSource);
    customerNavigator->setAccessibleName(QStringLiteral("Kunden blättern"));
    customerNavigator->setOnClick([this](DBNavigator::Button) { customerMoved(); });

    searchBox = placedGroupBox(customerPanel, "GroupBox4", QStringLiteral("   Suchen   "), QRect(456, 13, 203, 65));
    searchButton = placedFlatButton(searchBox, "SpeedButton2", QStringLiteral("[ Kunden Suchen ]"), QRect(10, 25, 185, 22));
    customerActions = placedGroupBox(customerPanel, "GroupBox3", QStringLiteral("   Kundendaten   "), QRect(456, 88, 203, 113));
    addCustomerButton = placedFlatButton(customerActions, "SpeedButton1", QStringLiteral("[ Hizufügen ]"), QRect(10, 24, 185, 22));
    changeCustomerButton = placedFlatButton(customerActions, "SpeedButton3", QStringLiteral("[ Ändern ]"), QRect(10, 52, 185, 22));
    deleteCustomerButton = placedFlatButton(customerActions, "SpeedButton4", QStringLiteral("[ Löschen ]"), QRect(10, 80, 185, 22));
    const std::pair<FlatButton *, void (MainWindow::*)()> buttons[] = {
        {addCustomerButton, &MainWindow::addCustomer},
        {searchButton, &MainWindow::searchCustomers},
        {changeCustomerButton, &MainWindow::changeCustomer},
        {deleteCustomerButton, &MainWindow::deleteCustomer},
    };
    for (const auto &[button, handler] : buttons)
        connect(button, &FlatButton::clicked, this, [this, handler = handler] { guarded([&] { (this->*handler)(); }); });
}

void MainWindow::buildInvoiceList(QWidget *page)
{
    invoiceHint = placedLabel(page, "Label11", QStringLiteral("? Hier stehen die Rechnungen des gewählten Kunden"), QRect(376, 0, 272, 13));
    invoiceHint->setAccessibleName(invoiceHint->text());

    invoiceNavigator = new DBNavigator(page);
    invoiceNavigator->setObjectName(QStringLiteral("DBNavigator3"));
    invoiceNavigator->setGeometry(0, 16, 99, 18);
    invoiceNavigator->setVisibleButtons({DBNavigator::nbInsert, DBNavigator::nbDelete, DBNavigator::nbPost});
    invoiceNavigator->setDataSource(&m_data->headerSource);
    invoiceNavigator->setAccessibleName(QStringLiteral("Rechnungen bearbeiten"));

    lastNumberLabel = placedLabel(page, "Label3", QStringLiteral("Letzte Rechnugsnummer:"), QRect(456, 24, 121, 13));
    lastNumber = new DBText(page);
    lastNumber->setObjectName(QStringLiteral("DBText1"));
    lastNumber->setGeometry(584, 24, 25, 17);
    lastNumber->setDataSource(&m_data->lastNumberSource);
    lastNumber->setDataField(schema::header::Number);
    lastNumber->setAccessibleName(QStringLiteral("Letzte Rechnungsnummer"));
    lastNumberLabel->setBuddy(lastNumber);

    lastNumberButton = new FlatButton(QIcon(QStringLiteral(":/warning16.png")), QStringLiteral("Letzte Rechnungsnummer anzeigen"), page);
    lastNumberButton->setObjectName(QStringLiteral("SpeedButton5"));
    lastNumberButton->setGeometry(611, 21, 23, 22);
    lastNumberButton->setIconSize(QSize(16, 16));
    connect(lastNumberButton, &FlatButton::clicked, this, [this] { guarded([&] { showLastNumber(); }); });

    chosenInvoiceLabel = placedLabel(page, "Label12", QStringLiteral("Ausgewählte Rechnung:"), QRect(0, 48, 117, 13));
    chosenInvoice = new DBText(page);
    chosenInvoice->setObjectName(QStringLiteral("DBText6"));
    chosenInvoice->setGeometry(119, 48, 66, 15);
    chosenInvoice->setFont(windowsFont(QStringLiteral("MS Sans Serif"), 8, true));
    chosenInvoice->setDataSource(&m_data->headerSource);
    chosenInvoice->setDataField(schema::header::Number);
    chosenInvoice->setAccessibleName(QStringLiteral("Ausgewählte Rechnung"));
    chosenInvoiceLabel->setBuddy(chosenInvoice);

    invoiceList = new DBGrid(page);
    invoiceList->setObjectName(QStringLiteral("DBGrid4"));
    invoiceList->setGeometry(0, 72, 657, 160);
    invoiceList->setAccessibleName(QStringLiteral("Rechnungen"));
    using namespace schema::header;
    invoiceList->setColumns({
        {Number, QStringLiteral("rechnungsnummer"), 114, {}},
        {Date, QStringLiteral("datum"), 93, {}},
        {Payment, QStringLiteral("bezahlung"), 108, {QStringLiteral("30 Tage"), QStringLiteral("bezahlt")}},
        {Destination, QStringLiteral("bestimmungsort"), 228, {}},
    });
    invoiceList->setCellColor(QApplication::palette().color(QPalette::ToolTipBase));
    invoiceList->setTitleColor(MoneyGreen);
    QPalette p = invoiceList->palette();
    p.setColor(QPalette::Base, QApplication::palette("QMenu").color(QPalette::Window));
    invoiceList->setPalette(p);
    invoiceList->setDataSource(&m_data->headerSource);
    invoiceList->setOnDoubleClick([this] { openEditorFromList(); });
}

namespace {
const QString DeliveryNoteListHint = QStringLiteral("? Hier stehen die Lieferscheine des gewählten Kunden");
} // namespace

void MainWindow::buildDeliveryNoteList(QWidget *page)
{
    deliveryNoteHint = placedLabel(page, "Label13", DeliveryNoteListHint, QRect(376, 0, 272, 13));
    deliveryNoteHint->setAccessibleName(QStringLiteral("Hinweis zu den Lieferscheinen"));

    deliveryNoteNavigator = new DBNavigator(page);
    deliveryNoteNavigator->setObjectName(QStringLiteral("DBNavigator4"));
    deliveryNoteNavigator->setGeometry(0, 16, 99, 18);
    deliveryNoteNavigator->setVisibleButtons(
        {DBNavigator::nbFirst, DBNavigator::nbPrior, DBNavigator::nbNext, DBNavigator::nbLast, DBNavigator::nbRefresh});
    deliveryNoteNavigator->setDataSource(&m_data->deliveryNoteSource);
    deliveryNoteNavigator->setAccessibleName(QStringLiteral("Lieferscheine blättern"));

    newDeliveryNoteButton = placedFlatButton(page, "SpeedButton6", QStringLiteral("[ Neuer Lieferschein ]"), QRect(0, 44, 160, 22));
    editDeliveryNoteButton = placedFlatButton(page, "SpeedButton7", QStringLiteral("[ Lieferschein ändern ]"), QRect(165, 44, 160, 22));
    printDeliveryNoteButton = placedFlatButton(page, "SpeedButton8", QStringLiteral("[ Lieferschein drucken ]"), QRect(330, 44, 160, 22));
    deleteDeliveryNoteButton = placedFlatButton(page, "SpeedButton9", QStringLiteral("[ Lieferschein löschen ]"), QRect(495, 44, 160, 22));
    const std::pair<FlatButton *, void (MainWindow::*)()> buttons[] = {
        {newDeliveryNoteButton, &MainWindow::newDeliveryNote},
        {editDeliveryNoteButton, &MainWindow::editDeliveryNote},
        {printDeliveryNoteButton, &MainWindow::printDeliveryNote},
        {deleteDeliveryNoteButton, &MainWindow::deleteDeliveryNote},
    };
    for (const auto &[button, handler] : buttons) {
        button->setAccessibleName(button->text());
        connect(button, &FlatButton::clicked, this, [this, handler = handler] { guarded([&] { (this->*handler)(); }); });
    }

    deliveryNoteList = new DBGrid(page);
    deliveryNoteList->setObjectName(QStringLiteral("DBGrid5"));
    deliveryNoteList->setGeometry(0, 72, 657, 160);
    deliveryNoteList->setAccessibleName(QStringLiteral("Lieferscheine"));
    using namespace schema::deliveryNote;
    deliveryNoteList->setColumns({
        {Number, QStringLiteral("Nr."), 80, {}},
        {Date, QStringLiteral("Datum"), 93, {}},
        {Destination, QStringLiteral("Bestimmungsort"), 250, {}},
        {Packages, QStringLiteral("Colli"), 60, {}, Qt::AlignCenter},
        {InvoiceNumber, QStringLiteral("Rechnung"), 114, {}},
    });
    // Changed in the editor only, where an invoiced note is shown as it is;
    // nor does a key delete a note here.
    deliveryNoteList->setGridReadOnly(true);
    deliveryNoteList->setCellColor(QApplication::palette().color(QPalette::ToolTipBase));
    deliveryNoteList->setTitleColor(MoneyGreen);
    QPalette p = deliveryNoteList->palette();
    p.setColor(QPalette::Base, QApplication::palette("QMenu").color(QPalette::Window));
    deliveryNoteList->setPalette(p);
    deliveryNoteList->setDataSource(&m_data->deliveryNoteSource);
    deliveryNoteList->setOnDoubleClick([this] { editDeliveryNote(); });
}

void MainWindow::showDeliveryNotesState()
{
    if (!deliveryNotesPage)
        return;
    const bool shown = m_data->hasDeliveryNotes();
    const int tab = invoiceTabs->indexOf(deliveryNotesPage);
    invoiceTabs->setTabEnabled(tab, shown);
    invoiceTabs->setTabToolTip(tab, shown ? QString() : m_data->deliveryNotesProblem());
    for (QWidget *w : std::initializer_list<QWidget *>{deliveryNoteNavigator, deliveryNoteList, newDeliveryNoteButton,
                                                       editDeliveryNoteButton, printDeliveryNoteButton, deleteDeliveryNoteButton})
        w->setEnabled(shown);
    deliveryNoteHint->setText(shown ? DeliveryNoteListHint : m_data->deliveryNotesProblem());
    deliveryNoteHint->setWordWrap(!shown);
    deliveryNoteHint->setGeometry(shown ? QRect(376, 0, 272, 13) : QRect(0, 0, 657, 40));
}

// ---------------------------------------------------------------- handlers

void MainWindow::quit()
{
    if (confirm(QStringLiteral("Wilsch wirklich ausser ?")))
        close();
}

void MainWindow::saveBackup()
{
    InvoiceData &d = *m_data;
    // What is pending is stored first, as "[ Berechnen ]" does: the copy holds what the window shows.
    d.settleAll();
    const QFileInfo database(d.connection.fileName());
    const QString proposal = database.absoluteDir().filePath(
        QStringLiteral("rechungen-Sicherung-%1.mdb").arg(QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"))));
    const std::optional<QString> target = askSaveFile(QStringLiteral("Sicherung speichern"), proposal,
                                                      QStringLiteral("Datenbank (*.mdb);;Alle Dateien (*)"));
    if (!target)
        return;
    if (QFileInfo(*target).absoluteFilePath() == database.absoluteFilePath())
        throw ConversionError(QStringLiteral("Die Sicherung kann nicht in die Datenbank selbst geschrieben werden; "
                                             "bitte eine andere Datei wählen"));
    // The dialog has asked before replacing an existing file.
    backup::copyDatabase(d.connection, *target, true);
    showMessage(QStringLiteral("Die Sicherung wurde in '%1' gespeichert und geprüft.").arg(QDir::toNativeSeparators(*target)));
}

void MainWindow::makeDailyBackup(const QDate &today)
{
    // Never in the way of the work: whatever goes wrong is said once, in the
    // window's thread.
    guarded([&] {
        m_dailyBackup.start(m_data->connection.fileName(), today, [this](const QString &failure) {
            if (!failure.isEmpty())
                QMetaObject::invokeMethod(this, [failure] { guarded([&] { showErrorBox(failure); }); }, Qt::QueuedConnection);
        });
    });
}

void MainWindow::closeEvent(QCloseEvent *e)
{
    // Closing would discard what is pending: store it as a move would, and
    // only leave without it when the user says so.
    // A row another program changed, once dropped, leaves the others to settle:
    // try again (each try drops one pending row at most, of six sets).
    GuardOutcome outcome = GuardOutcome::Discarded;
    for (int attempt = 0; attempt < 7 && outcome == GuardOutcome::Discarded; ++attempt)
        outcome = guardedOutcome([&] { m_data->settleAll(); });
    if (outcome == GuardOutcome::Done
        || confirm(QStringLiteral("Die Änderungen konnten nicht gespeichert werden. Trotzdem beenden?"))) {
        e->accept();
        return;
    }
    e->ignore();
}

namespace {
// "year2004Action" for 2004, as the classic items were named.
QString yearObjectName(int year) { return QLatin1Char('N') + QString::number(year) + QLatin1Char('1'); }
} // namespace

void MainWindow::fillYearMenu()
{
    for (QAction *a : m_yearMenu->actions()) {
        m_yearMenu->removeAction(a);
        a->deleteLater();
    }
    for (const YearTables &y : m_data->years()) {
        const QString digits = QString::number(y.year);
        // "200&4": the last digit is the key, as the classic items had it.
        QAction *a = m_yearMenu->addAction(digits.left(3) + QLatin1Char('&') + digits.mid(3));
        a->setObjectName(yearObjectName(y.year));
        a->setCheckable(true);
        m_yearGroup->addAction(a);
        const int year = y.year;
        connect(a, &QAction::triggered, this, [this, year] { guarded([&] { chooseYear(year); }); });
    }
    year2004Action = yearAction(2004);
    year2003Action = yearAction(2003);
    year2002Action = yearAction(2002);
    m_yearMenu->addSeparator();
    newYearAction = m_yearMenu->addAction(QStringLiteral("&Neues Jahr anlegen ..."));
    newYearAction->setObjectName(QStringLiteral("NeuesJahr1"));
    connect(newYearAction, &QAction::triggered, this, [this] { guarded([&] { addYear(); }); });
    showChosenYear();
}

QAction *MainWindow::yearAction(int year) const
{
    for (QAction *a : m_yearMenu->actions())
        if (a->objectName() == yearObjectName(year))
            return a;
    return nullptr;
}

void MainWindow::showChosenYear()
{
    // Which year's tables the list writes into must never be a guess.
    if (QAction *a = yearAction(m_data->year()))
        a->setChecked(true);
    showDeliveryNotesState();
}

void MainWindow::chooseYear(int year)
{
    try {
        m_data->setYear(year);
    } catch (...) {
        showChosenYear(); // a table that failed to open still belongs to the year now chosen
        throw;
    }
    showChosenYear();
}

void MainWindow::addYear()
{
    const int proposal = proposedNewYear(m_data->years(), QDate::currentDate().year());
    const std::optional<QString> typed =
        askText(QStringLiteral("Neues Jahr anlegen"), QStringLiteral("Jahr:"), QString::number(proposal));
    if (!typed)
        return;
    const int year = parseYear(*typed);
    if (std::any_of(m_data->years().begin(), m_data->years().end(), [&](const YearTables &y) { return y.year == year; }))
        throw EngineError(QStringLiteral("Für das Jahr %1 gibt es schon Tabellen").arg(year));
    if (!confirm(QStringLiteral("Tabellen für das Jahr %1 anlegen?").arg(year)))
        return;
    try {
        m_data->addYear(year);
    } catch (...) {
        fillYearMenu(); // the tables may be there even if the change to them failed
        throw;
    }
    fillYearMenu();
}

void MainWindow::openEditorFromMenu() { m_windows.invoiceEditor->openFromMenu(this); }

void MainWindow::printInvoice() { m_windows.invoiceReport->showPreview(); }

void MainWindow::openEditorFromList() { m_windows.invoiceEditor->openFromList(this); }

void MainWindow::showHelp() { showMessage(QStringLiteral("meine handynummer: ") + texts::HelpPhone); }

void MainWindow::showAbout()
{
    if (m_windows.about)
        m_windows.about->exec();
}

void MainWindow::customerMoved()
{
    // Whoever works through the delivery notes goes on with the next customer's.
    if (invoiceTabs->currentWidget() != deliveryNotesPage)
        invoiceTabs->setCurrentIndex(0);
}

void MainWindow::addCustomer()
{
    customers().Append();
    m_windows.customerDialog->showAdding();
}

void MainWindow::searchCustomers() { m_windows.customerSearch->showSearch(); }

void MainWindow::changeCustomer() { m_windows.customerDialog->showChanging(); }

void MainWindow::deleteCustomer()
{
    if (!confirm(QStringLiteral("Wollen Sie diesen Eintrag wirklich löschen?")))
        return;
    const qint64 id = customers().IsEmpty() ? 0 : customers().FieldByName(schema::customer::Id)->AsInteger();
    customers().Delete();
    // The customer's e-invoice data goes with the customer.
    if (id && einvoice::hasBusinessTables(m_data->connection))
        einvoice::forgetBuyer(m_data->connection, id);
}

void MainWindow::showLastNumber()
{
    RecordSet &q = lastInvoiceNumber();
    q.setActive(false);
    q.setSQL(m_data->lastNumberStatement());
    q.setActive(true);
}

void MainWindow::applyLetterhead()
{
    const std::optional<einvoice::Seller> seller =
        einvoice::loadSeller(m_data->connection);
    setWindowTitle(businessTitle(seller ? seller->businessName : QString()));
    if (!m_windows.invoiceReport)
        return;
    Letterhead letterhead = seller ? Letterhead::of(*seller) : Letterhead::sample();
    // A logo of the business's own takes the place of any other picture.
    const QImage logo = QImage::fromData(loadBusinessLogo(m_data->connection));
    if (!logo.isNull())
        letterhead.logo = logo;
    m_windows.invoiceReport->setLetterhead(letterhead);
    if (m_windows.deliveryNoteReport)
        m_windows.deliveryNoteReport->setLogo(logo);
}

void MainWindow::offerSchemaUpgrade(const QDate &today)
{
    Database &connection = m_data->connection;
    const bool hadBusinessTables = einvoice::hasBusinessTables(connection);
    // A file that names no separators gets the user's: those its amounts have
    // been typed and read with on this PC.
    const UpgradeResult result = upgradeSchema(connection, [](const QString &question) { return confirm(question); }, today,
                                               programMigrations(), m_data->userSeparators());
    if (result != UpgradeResult::Upgraded)
        return;
    m_data->readFileSeparators();
    // The delivery tables may be among what was added.
    m_data->reopenDeliveryNotes();
    showDeliveryNotesState();
    if (!hadBusinessTables)
        editBusinessData();
}

void MainWindow::editBusinessData()
{
    Database &connection = m_data->connection;
    if (!einvoice::hasBusinessTables(connection))
        einvoice::createBusinessTables(connection);
    const einvoice::Seller stored = einvoice::loadSeller(connection).value_or(einvoice::Seller());
    businessDialog->setLogo(loadBusinessLogo(connection));
    const auto save = [&](const einvoice::Seller &s) {
        // Data and logo together or neither; storing the data writes the
        // business's row afresh, so the logo goes in after it.
        Transaction transaction(connection, true, QStringLiteral("Die Firmendaten können nicht gespeichert werden"));
        einvoice::saveSeller(connection, s);
        saveBusinessLogo(connection, businessDialog->logo());
        transaction.commit();
    };
    if (businessDialog->edit(stored, save))
        applyLetterhead();
}

void MainWindow::exportEInvoice()
{
    InvoiceData &d = *m_data;
    Database &connection = d.connection;
    // What is pending is stored first, as "[ Berechnen ]" does: the file shows what the file holds.
    d.settleAll();
    if (!d.invoiceHeaders.Active() || d.invoiceHeaders.IsEmpty() || !d.customers.Active() || d.customers.IsEmpty())
        throw ConversionError(QStringLiteral("Es ist keine Rechnung gewählt"));
    const std::optional<einvoice::Seller> seller =
        einvoice::loadSeller(connection);
    if (!seller || seller->vatNumber.isEmpty())
        throw ConversionError(einvoice::NoBusinessData);

    // Read back from the file as the tool reads an invoice, so that both write the same e-invoice of it.
    const Invoice invoice = InvoiceRepository(connection, d.separators())
                                .loadById(d.year(), d.invoiceHeaders.FieldByName(QStringLiteral("id"))->AsInteger());
    // A second file of one invoice is a duplicate for the exchange system: only when the user means it.
    const std::optional<einvoice::PreviousExport> previous =
        einvoice::lastExport(connection, d.year(), invoice.header.nr);
    if (previous && !confirm(einvoice::exportAgainQuestion(*previous)))
        return;

    const qint64 customerId = invoice.header.customerId();
    einvoice::Buyer buyer = einvoice::buyerOfCustomer(connection, customerId);
    if (!buyerDialog->edit(buyer, [&](const einvoice::Buyer &b) {
            einvoice::saveBuyer(connection, customerId, b);
            buyer = b;
        }))
        return;

    const std::optional<QString> folder = askFolder(QStringLiteral("Ordner für die elektronische Rechnung"),
                                                    rememberedFolder(QStringLiteral("fatturapa"), QDir::homePath()));
    if (!folder)
        return;
    rememberFolderOf(QStringLiteral("fatturapa"), *folder);
    const einvoice::ExportResult result = einvoice::exportInvoice(connection, *seller, buyer, invoice, d.year(), *folder,
                                                                  d.separators(), {.again = previous.has_value()});
    QString message = QStringLiteral("Die elektronische Rechnung wurde geschrieben:\n") + QDir::toNativeSeparators(result.path);
    if (!result.notes.isEmpty())
        message += QStringLiteral("\n\nBitte beachten:\n") + result.notes.join(QLatin1Char('\n'));
    showMessage(message);
}

void MainWindow::showYearOverview()
{
    InvoiceData &d = *m_data;
    // What is pending is stored first, as "[ Berechnen ]" does: the sums are those of the file.
    d.settleAll();
    // Only the years the file holds: a classic year without tables has nothing to sum.
    QList<int> years;
    for (const YearTables &y : findYears(d.connection))
        years << y.year;
    if (years.isEmpty())
        throw ConversionError(QStringLiteral("Die Datenbank enthält noch kein Jahr mit Rechnungen; bitte zuerst im Menü „Jahr“ ein Jahr anlegen"));
    yearOverviewDialog->showYears(d.connection, d.separators(), years, d.year());
}

void MainWindow::showPassportReport()
{
    InvoiceData &d = *m_data;
    // What is pending is stored first: the list shows what the file holds.
    d.settleAll();
    passportReportDialog->showReport(d.connection, d.separators(), currentDay());
}

// ---------------------------------------------------------------- new documents from an invoice

qint64 MainWindow::chosenInvoiceId()
{
    InvoiceData &d = *m_data;
    // The new document is made from what the file holds, so what is pending goes in first.
    d.settleAll();
    const Field *id = d.invoiceHeaders.Active() && !d.invoiceHeaders.IsEmpty() ? d.invoiceHeaders.FindField(schema::header::Id)
                                                                                 : nullptr;
    if (!id || id->IsNull())
        throw ConversionError(QStringLiteral("Es ist keine Rechnung gewählt. Bitte zuerst den Kunden und die Rechnung in der "
                                             "Liste wählen."));
    return id->AsInteger();
}

bool MainWindow::offerYearOf(const QDate &today)
{
    const int year = today.year();
    const std::vector<YearTables> found = findYears(m_data->connection);
    if (std::any_of(found.begin(), found.end(), [&](const YearTables &y) { return y.year == year; })) {
        // Another program may have made them since this one started.
        m_data->readYears();
        fillYearMenu();
        return true;
    }
    if (!confirm(QStringLiteral("Für das Jahr %1 gibt es noch keine Tabellen; das neue Dokument gehört in dieses Jahr. "
                                "Tabellen für das Jahr %1 jetzt anlegen?")
                     .arg(year)))
        return false;
    try {
        m_data->addYear(year);
    } catch (...) {
        fillYearMenu();
        throw;
    }
    fillYearMenu();
    return true;
}

void MainWindow::showNewDocument(int year, const Invoice &document)
{
    openInvoice(year, document.header.customerId(), document.header.id, document.header.nr);
}

void MainWindow::showInvoiceAgain(int year, const Invoice &invoice)
{
    // Tables made for the new document changed the year shown: back to the invoice.
    if (m_data->year() == year)
        return;
    chooseYear(year);
    m_data->invoiceHeaders.Locate(QString(schema::header::Id), QVariant(invoice.header.id));
}

namespace {
QString invoiceShown(const Invoice &invoice)
{
    return QStringLiteral("Nr. %1 vom %2, %3").arg(invoice.header.nr.trimmed(), invoice.header.datum.trimmed(), invoice.customer.name);
}
} // namespace

void MainWindow::makeCreditNote()
{
    InvoiceData &d = *m_data;
    const qint64 sourceId = chosenInvoiceId();
    const int sourceYear = d.year();
    const Invoice source = InvoiceRepository(d.connection, d.separators()).loadById(sourceYear, sourceId);
    checkCanBeCredited(source.header);
    const QDate today = QDate::currentDate();
    if (!offerYearOf(today))
        return;
    const int year = today.year();
    const QString prefix = creditNotePrefix(year);
    Invoice made;
    const bool stored = creditNoteDialog->ask(
        invoiceShown(source), {prefix, nextCreditNoteNumber(d.connection, year, prefix)},
        [&](const QString &typed) { return nextCreditNoteNumber(d.connection, year, typed); },
        [&](const CreditNoteNumber &chosen) {
            made = ::makeCreditNote(d.connection, d.separators(), sourceYear, sourceId, chosen.number, today);
        });
    if (stored)
        showNewDocument(year, made);
    else
        showInvoiceAgain(sourceYear, source);
}

void MainWindow::copyInvoice()
{
    InvoiceData &d = *m_data;
    const qint64 sourceId = chosenInvoiceId();
    const int sourceYear = d.year();
    const Invoice source = InvoiceRepository(d.connection, d.separators()).loadById(sourceYear, sourceId);
    checkCanBeCopied(source.header);
    const QDate today = QDate::currentDate();
    if (!offerYearOf(today))
        return;
    const int year = today.year();
    Invoice made;
    const bool stored = copyInvoiceDialog->ask(
        invoiceShown(source), customersByName(d.connection), {nextInvoiceNumber(d.connection, year), source.header.customerId()},
        [&](const InvoiceCopyChoice &chosen) {
            made = ::copyInvoice(d.connection, d.separators(), sourceYear, sourceId, chosen.customerId, chosen.number, today);
        });
    if (stored)
        showNewDocument(year, made);
    else
        showInvoiceAgain(sourceYear, source);
}

void MainWindow::makeDeferredInvoice()
{
    InvoiceData &d = *m_data;
    // The notes and numbers are read from the file: what is pending goes in first.
    d.settleAll();
    const Field *id = d.customers.Active() && !d.customers.IsEmpty() ? d.customers.FindField(schema::customer::Id) : nullptr;
    const qint64 current = id && !id->IsNull() ? id->AsInteger() : 0;
    Invoice made;
    int year = 0;
    const bool stored = deferredInvoiceDialog->ask(
        customersByName(d.connection), current, currentDay(), d.separators(),
        [this](qint64 customerId, const QDate &month) {
            return notesToInvoice(m_data->connection, m_data->separators(), customerId, month);
        },
        [&](const DeferredInvoiceChoice &chosen) {
            // A date the law refuses makes no new year's tables either.
            checkDeferredInvoiceDate(chosen.month, chosen.date, QDate());
            if (!offerYearOf(chosen.date))
                return;
            made = ::makeDeferredInvoice(d.connection, d.separators(),
                                         {.customerId = chosen.customerId,
                                          .month = chosen.month,
                                          .date = chosen.date,
                                          .kind = einvoice::customerKindOf(d.connection, chosen.customerId),
                                          .noteIds = chosen.noteIds});
            year = chosen.date.year();
        });
    // Declining the new year's tables made nothing.
    if (stored && made.header.id != 0)
        showNewDocument(year, made);
}

void MainWindow::showOpenItems()
{
    InvoiceData &d = *m_data;
    // What is pending is stored first: the list shows what the file holds.
    d.settleAll();
    const QDate today = currentDay();
    openItemsDialog->setSeparators(d.separators());
    openItemsDialog->setLoader([this, today] { return openItems(m_data->connection, m_data->separators(), today); });
    openItemsDialog->setOnMarkPaid([this](const OpenItem &item, const QDate &paidOn) { markItemPaid(item, paidOn); });
    openItemsDialog->setOnReminder([this](const OpenItem &item) { printReminderFor(item.year, item.headerId); });
    if (const std::optional<OpenItem> chosen = openItemsDialog->choose(today))
        openInvoiceOf(*chosen);
}

void MainWindow::markItemPaid(const OpenItem &item, const QDate &paidOn)
{
    InvoiceData &d = *m_data;
    RecordSet &headers = d.invoiceHeaders;
    const bool shownInList = item.year == d.year() && headers.Active();
    if (shownInList)
        headers.Settle();
    markPaid(d.connection, item.year, item.headerId, item.paidAsRead, paidOn);
    // The invoice list shows the payment, and a later change of the row is
    // not taken for another program's.
    if (shownInList)
        headers.Refresh();
}

void MainWindow::openInvoiceOf(const OpenItem &item) { openInvoice(item.year, item.customerId, item.headerId, item.number); }

void MainWindow::openInvoice(int year, qint64 customerId, qint64 headerId, const QString &number)
{
    InvoiceData &d = *m_data;
    d.settleAll();
    // Read again even when it is the year shown: a document just stored is in the file, not yet in the list.
    chooseYear(year);
    RecordSet &customers = d.customers;
    if (!customers.Active() || !customers.Locate(schema::customer::Id, customerId)) {
        // A search may have narrowed the customers: the invoice's is looked for among all.
        customers.setSQL(CustomerSql);
        customers.setActive(true);
        if (!customers.Locate(schema::customer::Id, customerId))
            throw ConversionError(QStringLiteral("Der Kunde der Rechnung Nr. %1 ist nicht in der Kundenliste; die Rechnung "
                                                 "kann deshalb nicht geöffnet werden.")
                                      .arg(number));
    }
    // The invoice opened is the one the list shows.
    invoiceTabs->setCurrentIndex(0);
    if (!d.invoiceHeaders.Locate(schema::header::Id, headerId))
        throw ConversionError(QStringLiteral("Die Rechnung Nr. %1 des Jahres %2 ist nicht mehr in der Datenbank; ein anderes "
                                             "Programm hat sie wohl gelöscht.")
                                  .arg(number)
                                  .arg(year));
    openEditorFromList();
}

void MainWindow::printReminder()
{
    InvoiceData &d = *m_data;
    d.settleAll();
    const RecordSet &headers = d.invoiceHeaders;
    if (!headers.Active() || headers.IsEmpty())
        throw ConversionError(QStringLiteral("Es ist keine Rechnung gewählt"));
    printReminderFor(d.year(), headers.FieldByName(schema::header::Id)->AsInteger());
}

void MainWindow::printReminderFor(int year, qint64 headerId)
{
    InvoiceData &d = *m_data;
    const QDate today = currentDay();
    const InvoiceSummary summary = summaryOfInvoice(d.connection, year, headerId, d.separators());
    if (const QString refusal = reminderRefusal(summary, today); !refusal.isEmpty()) {
        showMessage(refusal);
        return;
    }
    if (!m_reminderLetter)
        m_reminderLetter = std::make_unique<ReminderLetter>();
    m_reminderLetter->setLetterhead(m_windows.invoiceReport ? m_windows.invoiceReport->letterhead() : Letterhead::sample());
    m_reminderLetter->setReminder({summary.invoice.customer, *openItemOf(summary, today), today}, d.separators());
    m_reminderLetter->showPreview();
}

// ---------------------------------------------------------------- delivery notes

void MainWindow::requireDeliveryNote() const
{
    const InvoiceData &d = *m_data;
    if (!d.hasDeliveryNotes())
        throw ConversionError(d.deliveryNotesProblem());
    if (d.deliveryNotes.IsEmpty())
        throw ConversionError(QStringLiteral("Es ist kein Lieferschein gewählt. Bitte zuerst den Kunden und den Lieferschein "
                                             "in der Liste „Lieferscheine“ wählen."));
}

void MainWindow::newDeliveryNote()
{
    InvoiceData &d = *m_data;
    if (!d.hasDeliveryNotes())
        throw ConversionError(d.deliveryNotesProblem());
    d.settleAll();
    const Field *customer = d.customers.Active() && !d.customers.IsEmpty() ? d.customers.FindField(schema::customer::Id) : nullptr;
    if (!customer || customer->IsNull())
        throw ConversionError(QStringLiteral("Ein Lieferschein gehört zu einem Kunden. Bitte zuerst den Kunden wählen oder "
                                             "anlegen."));
    RecordSet &notes = d.deliveryNotes;
    notes.Append();
    try {
        // Stored at once, so that its lines have a note to belong to.
        notes.Post();
    } catch (...) {
        notes.Cancel();
        throw;
    }
    invoiceTabs->setCurrentWidget(deliveryNotesPage);
    editDeliveryNote();
}

void MainWindow::editDeliveryNote()
{
    requireDeliveryNote();
    if (m_windows.deliveryNoteEditor)
        m_windows.deliveryNoteEditor->openNote();
}

void MainWindow::printDeliveryNote()
{
    InvoiceData &d = *m_data;
    // Printed is what the file holds.
    d.settleAll();
    requireDeliveryNote();
    const DeliveryNoteRecord note = DeliveryNoteRepository(d.connection, d.separators())
                                        .loadByNumber(d.year(), d.deliveryNotes.FieldByName(schema::deliveryNote::Number)->AsString());
    // A customer no longer in the file gets no passports: there is no one to give them to.
    const CustomerKind kind = note.customer.id ? einvoice::customerKindOf(d.connection, note.customer.id) : CustomerKind::ItalianPerson;
    m_windows.deliveryNoteReport->preview(note, einvoice::loadSeller(d.connection).value_or(einvoice::Seller()), kind,
                                          d.separators());
}

void MainWindow::deleteDeliveryNote()
{
    requireDeliveryNote();
    InvoiceData &d = *m_data;
    d.checkDeliveryNoteChangeable();
    const QString nr = d.deliveryNotes.FieldByName(schema::deliveryNote::Number)->AsString().trimmed();
    if (!confirm(QStringLiteral("Den Lieferschein Nr. %1 mit allen Positionen wirklich löschen?").arg(nr)))
        return;
    d.deleteDeliveryNote();
}
