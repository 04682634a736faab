#include "mainwindow.h"

#include "app/aboutbox.h"
#include "data/businesstexts.h"
#include "dialogs/customerdialog.h"
#include "dialogs/customersearch.h"
#include "editor/invoiceeditor.h"
#include "report/invoicereport.h"
#include "data/errors.h"
#include "controls/dbedit.h"
#include "controls/dbgrid.h"
#include "controls/dbnavigator.h"
#include "controls/dbtext.h"
#include "framework/flatbutton.h"
#include "framework/fonts.h"
#include "framework/messages.h"
#include "framework/widgets.h"

#include <QApplication>
#include <QActionGroup>
#include <QCloseEvent>
#include <QDate>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>
#include <algorithm>

namespace {

const QString TabPadding = QString(28, QLatin1Char(' '));
const QColor MoneyGreen(192, 220, 192);

} // namespace

MainWindow::MainWindow(QWidget *parent) : QMainWindow(parent), m_data(std::make_unique<InvoiceData>())
{
    setObjectName(QStringLiteral("frmmain"));
    setWindowTitle(texts::MainCaption);
    setFont(windowsFont(QStringLiteral("MS Sans Serif"), 8));

    // The data first: a file that cannot be opened ends the start-up here.
    // A line whose amount cannot be read is no reason to refuse the whole
    // program: the sets are open by then, and the error is shown once the
    // window is up.
    try {
        m_data->open(DatabaseFileName);
    } catch (const ConversionError &e) {
        QTimer::singleShot(0, this, [message = e.message()] { showErrorBox(message); });
    }

    buildMenu();
    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(691, 551);
    setCentralWidget(client);

    PageControl1 = new QTabWidget(client);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->setGeometry(5, 8, 676, 241);
    PageControl1->setFont(windowsFont(QStringLiteral("Microsoft Sans Serif"), 8));
    auto *kundePage = new QWidget;
    kundePage->setObjectName(QStringLiteral("TabSheet1"));
    PageControl1->addTab(kundePage, QStringLiteral("Kunde") + TabPadding);
    PageControl1->setAccessibleName(QStringLiteral("Kunde"));

    PageControl2 = new QTabWidget(client);
    PageControl2->setObjectName(QStringLiteral("PageControl2"));
    PageControl2->setGeometry(5, 263, 676, 281);
    auto *listePage = new QWidget;
    listePage->setObjectName(QStringLiteral("TabSheet2"));
    PageControl2->addTab(listePage, QStringLiteral("Liste") + TabPadding);
    PageControl2->setAccessibleName(QStringLiteral("Liste"));

    buildCustomerPanel(kundePage);
    buildInvoiceList(listePage);

    // The lower frame comes first in the focus order.
    setTabOrder(DBGrid4, DBEdit2);
    setTabOrder(DBEdit2, DBEdit1);
    setTabOrder(DBEdit1, DBEdit3);
    setTabOrder(DBEdit3, DBEdit4);
    setTabOrder(DBEdit4, DBMemo1);

    setFixedSize(sizeHint());
    if (const QScreen *s = screen())
        move(s->availableGeometry().center() - rect().center());
}

MainWindow::~MainWindow()
{
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
    Beenden1 = add(datei, "Beenden1", QStringLiteral("&Beenden"), &MainWindow::Beenden1Click);
    m_yearMenu = menuBar()->addMenu(QStringLiteral("&Jahr"));
    m_yearMenu->setObjectName(QStringLiteral("Jahr1"));
    m_yearGroup = new QActionGroup(this);
    m_yearGroup->setExclusive(true);
    fillYearMenu();
    QMenu *rechnung = menuBar()->addMenu(QStringLiteral("&Rechnung"));
    rechnung->setObjectName(QStringLiteral("Rechnung1"));
    EditRechnung1 = add(rechnung, "EditRechnung1", QStringLiteral("&Ändern"), &MainWindow::EditRechnung1Click);
    Drucken1 = add(rechnung, "Drucken1", QStringLiteral("&Drucken"), &MainWindow::Drucken1Click);
    QMenu *info = menuBar()->addMenu(QStringLiteral("&Info"));
    info->setObjectName(QStringLiteral("Info1"));
    Hilfe1 = add(info, "Hilfe1", QStringLiteral("&Hilfe"), &MainWindow::Hilfe1Click);
    About1 = add(info, "About1", QStringLiteral("&About"), &MainWindow::About1Click);
}

void MainWindow::buildCustomerPanel(QWidget *page)
{
    GroupBox1 = placedGroupBox(page, "GroupBox1", QString(), QRect(5, 4, 660, 202));
    GroupBox1->setAccessibleName(QStringLiteral("Kundendaten"));

    struct FieldSpec { const char *labelName; const char *caption; QRect labelRect; Qt::Alignment align; const char *name; QRect rect; const char *field; };
    const FieldSpec specs[] = {
        {"Label1", "An", {8, 12, 42, 13}, Qt::AlignRight | Qt::AlignVCenter, "DBEdit2", {56, 10, 65, 21}, "ansprache"},
        {"Label2", "Name", {8, 36, 42, 13}, Qt::AlignRight | Qt::AlignVCenter, "DBEdit1", {56, 34, 185, 21}, "name"},
        {"Label4", "Name eff.", {2, 59, 50, 15}, Qt::AlignRight | Qt::AlignVCenter, "DBEdit3", {56, 58, 185, 21}, "name2"},
        {"Label5", "P.IVA:", {21, 85, 30, 13}, Qt::AlignRight | Qt::AlignVCenter, "DBEdit4", {56, 82, 185, 21}, "piva"},
    };
    DBEdit **edits[] = {&DBEdit2, &DBEdit1, &DBEdit3, &DBEdit4};
    for (int i = 0; i < 4; ++i) {
        const FieldSpec &s = specs[i];
        QLabel *l = placedLabel(GroupBox1, s.labelName, QString::fromUtf8(s.caption), s.labelRect, s.align);
        auto *e = new DBEdit(GroupBox1);
        e->setObjectName(QString::fromLatin1(s.name));
        e->setGeometry(s.rect);
        e->setDataSource(&m_data->customerSource);
        e->setDataField(QString::fromLatin1(s.field));
        e->setAccessibleName(l->text().remove(QLatin1Char(':')));
        paintAsField(e);
        l->setBuddy(e);
        *edits[i] = e;
    }
    QLabel *adresse = placedLabel(GroupBox1, "Label6", QStringLiteral("Adresse:"), QRect(11, 107, 0, 13));
    DBMemo1 = new DBMemo(GroupBox1);
    DBMemo1->setObjectName(QStringLiteral("DBMemo1"));
    DBMemo1->setGeometry(56, 106, 185, 65);
    DBMemo1->setDataSource(&m_data->customerSource);
    DBMemo1->setDataField(QStringLiteral("adresse"));
    DBMemo1->setAccessibleName(QStringLiteral("Adresse"));
    paintAsField(DBMemo1);
    adresse->setBuddy(DBMemo1);

    DBNavigator1 = new DBNavigator(GroupBox1);
    DBNavigator1->setObjectName(QStringLiteral("DBNavigator1"));
    DBNavigator1->setGeometry(5, 181, 76, 18);
    DBNavigator1->setVisibleButtons({DBNavigator::nbPrior, DBNavigator::nbNext});
    DBNavigator1->setDataSource(&m_data->customerSource);
    DBNavigator1->setAccessibleName(QStringLiteral("Kunden blättern"));
    DBNavigator1->setOnClick([this](DBNavigator::Button) { DBNavigator1Click(); });

    GroupBox4 = placedGroupBox(GroupBox1, "GroupBox4", QStringLiteral("   Suchen   "), QRect(456, 13, 203, 65));
    SpeedButton2 = placedFlatButton(GroupBox4, "SpeedButton2", QStringLiteral("[ Kunden Suchen ]"), QRect(10, 25, 185, 22));
    GroupBox3 = placedGroupBox(GroupBox1, "GroupBox3", QStringLiteral("   Kundendaten   "), QRect(456, 88, 203, 113));
    SpeedButton1 = placedFlatButton(GroupBox3, "SpeedButton1", QStringLiteral("[ Hizufügen ]"), QRect(10, 24, 185, 22));
    SpeedButton3 = placedFlatButton(GroupBox3, "SpeedButton3", QStringLiteral("[ Ändern ]"), QRect(10, 52, 185, 22));
    SpeedButton4 = placedFlatButton(GroupBox3, "SpeedButton4", QStringLiteral("[ Löschen ]"), QRect(10, 80, 185, 22));
    const std::pair<FlatButton *, void (MainWindow::*)()> buttons[] = {
        {SpeedButton1, &MainWindow::SpeedButton1Click},
        {SpeedButton2, &MainWindow::SpeedButton2Click},
        {SpeedButton3, &MainWindow::SpeedButton3Click},
        {SpeedButton4, &MainWindow::SpeedButton4Click},
    };
    for (const auto &[button, handler] : buttons)
        connect(button, &FlatButton::clicked, this, [this, handler = handler] { guarded([&] { (this->*handler)(); }); });
}

void MainWindow::buildInvoiceList(QWidget *page)
{
    Label11 = placedLabel(page, "Label11", QStringLiteral("? Hier stehen die Rechnungen des gewählten Kunden"), QRect(376, 0, 272, 13));
    Label11->setAccessibleName(Label11->text());

    DBNavigator3 = new DBNavigator(page);
    DBNavigator3->setObjectName(QStringLiteral("DBNavigator3"));
    DBNavigator3->setGeometry(0, 16, 99, 18);
    DBNavigator3->setVisibleButtons({DBNavigator::nbInsert, DBNavigator::nbDelete, DBNavigator::nbPost});
    DBNavigator3->setDataSource(&m_data->headerSource);
    DBNavigator3->setAccessibleName(QStringLiteral("Rechnungen bearbeiten"));

    Label3 = placedLabel(page, "Label3", QStringLiteral("Letzte Rechnugsnummer:"), QRect(456, 24, 121, 13));
    DBText1 = new DBText(page);
    DBText1->setObjectName(QStringLiteral("DBText1"));
    DBText1->setGeometry(584, 24, 25, 17);
    DBText1->setDataSource(&m_data->lastNumberSource);
    DBText1->setDataField(QStringLiteral("nr"));
    DBText1->setAccessibleName(QStringLiteral("Letzte Rechnungsnummer"));
    Label3->setBuddy(DBText1);

    SpeedButton5 = new FlatButton(QIcon(QStringLiteral(":/warning16.png")), QStringLiteral("Letzte Rechnungsnummer anzeigen"), page);
    SpeedButton5->setObjectName(QStringLiteral("SpeedButton5"));
    SpeedButton5->setGeometry(611, 21, 23, 22);
    SpeedButton5->setIconSize(QSize(16, 16));
    connect(SpeedButton5, &FlatButton::clicked, this, [this] { guarded([&] { SpeedButton5Click(); }); });

    Label12 = placedLabel(page, "Label12", QStringLiteral("Ausgewählte Rechnung:"), QRect(0, 48, 117, 13));
    DBText6 = new DBText(page);
    DBText6->setObjectName(QStringLiteral("DBText6"));
    DBText6->setGeometry(119, 48, 66, 15);
    DBText6->setFont(windowsFont(QStringLiteral("MS Sans Serif"), 8, true));
    DBText6->setDataSource(&m_data->headerSource);
    DBText6->setDataField(QStringLiteral("nr"));
    DBText6->setAccessibleName(QStringLiteral("Ausgewählte Rechnung"));
    Label12->setBuddy(DBText6);

    DBGrid4 = new DBGrid(page);
    DBGrid4->setObjectName(QStringLiteral("DBGrid4"));
    DBGrid4->setGeometry(0, 72, 657, 160);
    DBGrid4->setAccessibleName(QStringLiteral("Rechnungen"));
    DBGrid4->setColumns({
        {QStringLiteral("nr"), QStringLiteral("rechnungsnummer"), 114, {}},
        {QStringLiteral("datum"), QStringLiteral("datum"), 93, {}},
        {QStringLiteral("bezahlung"), QStringLiteral("bezahlung"), 108, {QStringLiteral("30 Tage"), QStringLiteral("bezahlt")}},
        {QStringLiteral("bestimmungsort"), QStringLiteral("bestimmungsort"), 228, {}},
    });
    DBGrid4->setCellColor(QApplication::palette().color(QPalette::ToolTipBase));
    DBGrid4->setTitleColor(MoneyGreen);
    QPalette p = DBGrid4->palette();
    p.setColor(QPalette::Base, QApplication::palette("QMenu").color(QPalette::Window));
    DBGrid4->setPalette(p);
    DBGrid4->setDataSource(&m_data->headerSource);
    DBGrid4->setOnDoubleClick([this] { DBGrid4DblClick(); });
}

// ---------------------------------------------------------------- handlers

void MainWindow::Beenden1Click()
{
    if (confirm(QStringLiteral("Wilsch wirklich ausser ?")))
        close();
}

void MainWindow::closeEvent(QCloseEvent *e)
{
    // Closing would discard what is pending: store it as a move would, and
    // only leave without it when the user says so.
    // A row another program changed, once dropped, leaves the others to settle:
    // try again (each try drops one pending row at most, of four sets).
    GuardOutcome outcome = GuardOutcome::Discarded;
    for (int attempt = 0; attempt < 5 && outcome == GuardOutcome::Discarded; ++attempt)
        outcome = guardedOutcome([&] { m_data->settleAll(); });
    if (outcome == GuardOutcome::Done
        || confirm(QStringLiteral("Die Änderungen konnten nicht gespeichert werden. Trotzdem beenden?"))) {
        e->accept();
        return;
    }
    e->ignore();
}

namespace {
// "N20041" for 2004, as the classic items were named.
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
    N20041 = yearAction(2004);
    N20031 = yearAction(2003);
    N20021 = yearAction(2002);
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

void MainWindow::EditRechnung1Click() { m_windows.invoiceEditor->openFromMenu(this); }

void MainWindow::Drucken1Click() { m_windows.invoiceReport->showPreview(); }

void MainWindow::DBGrid4DblClick() { m_windows.invoiceEditor->openFromList(this); }

void MainWindow::Hilfe1Click() { showMessage(QStringLiteral("meine handynummer: ") + texts::HelpPhone); }

void MainWindow::About1Click()
{
    if (m_windows.about)
        m_windows.about->exec();
}

void MainWindow::DBNavigator1Click() { PageControl2->setCurrentIndex(0); }

void MainWindow::SpeedButton1Click()
{
    customers().Append();
    m_windows.customerDialog->showAdding();
}

void MainWindow::SpeedButton2Click() { m_windows.customerSearch->showSearch(); }

void MainWindow::SpeedButton3Click() { m_windows.customerDialog->showChanging(); }

void MainWindow::SpeedButton4Click()
{
    if (confirm(QStringLiteral("Wollen Sie diesen Eintrag wirklich löschen?")))
        customers().Delete();
}

void MainWindow::SpeedButton5Click()
{
    RecordSet &q = lastInvoiceNumber();
    q.setActive(false);
    q.setSQL(m_data->lastNumberStatement());
    q.setActive(true);
}
