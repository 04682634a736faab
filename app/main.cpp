#include "main.h"

#include "app/Unit2.h"
#include "app/texts.h"
#include "dialogs/kundeneditf.h"
#include "dialogs/search.h"
#include "editor/edit.h"
#include "report/DruckUnit4.h"
#include "data/errors.h"
#include "data/controls/dbedit.h"
#include "data/controls/dbgrid.h"
#include "data/controls/dbnavigator.h"
#include "data/controls/dbtext.h"
#include "framework/flatbutton.h"
#include "framework/fonts.h"
#include "framework/messages.h"
#include "framework/widgets.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QTabWidget>
#include <QTimer>

namespace {

const QString TabPadding = QString(28, QLatin1Char(' '));
const QColor MoneyGreen(192, 220, 192);
constexpr int BeyondAnyScreen = 16384;

} // namespace

Tfrmmain::Tfrmmain(QWidget *parent) : QMainWindow(parent), m_data(std::make_unique<InvoiceData>())
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

Tfrmmain::~Tfrmmain()
{
    // Windows and controls let go of the data sources before the data goes.
    delete centralWidget();
}

void Tfrmmain::buildMenu()
{
    auto add = [this](QMenu *menu, const char *name, const QString &text, void (Tfrmmain::*handler)()) {
        QAction *a = menu->addAction(text);
        a->setObjectName(QString::fromLatin1(name));
        connect(a, &QAction::triggered, this, [this, handler] { guarded([&] { (this->*handler)(); }); });
        return a;
    };
    QMenu *datei = menuBar()->addMenu(QStringLiteral("&Datei"));
    datei->setObjectName(QStringLiteral("Datei1"));
    Beenden1 = add(datei, "Beenden1", QStringLiteral("&Beenden"), &Tfrmmain::Beenden1Click);
    QMenu *jahr = menuBar()->addMenu(QStringLiteral("&Jahr"));
    jahr->setObjectName(QStringLiteral("Jahr1"));
    N20041 = add(jahr, "N20041", QStringLiteral("200&4"), &Tfrmmain::N20041Click);
    N20031 = add(jahr, "N20031", QStringLiteral("200&3"), &Tfrmmain::N20031Click);
    N20021 = add(jahr, "N20021", QStringLiteral("200&2"), &Tfrmmain::N20021Click);
    QMenu *rechnung = menuBar()->addMenu(QStringLiteral("&Rechnung"));
    rechnung->setObjectName(QStringLiteral("Rechnung1"));
    EditRechnung1 = add(rechnung, "EditRechnung1", QStringLiteral("&Ändern"), &Tfrmmain::EditRechnung1Click);
    Drucken1 = add(rechnung, "Drucken1", QStringLiteral("&Drucken"), &Tfrmmain::Drucken1Click);
    QMenu *info = menuBar()->addMenu(QStringLiteral("&Info"));
    info->setObjectName(QStringLiteral("Info1"));
    Hilfe1 = add(info, "Hilfe1", QStringLiteral("&Hilfe"), &Tfrmmain::Hilfe1Click);
    About1 = add(info, "About1", QStringLiteral("&About"), &Tfrmmain::About1Click);
}

void Tfrmmain::buildCustomerPanel(QWidget *page)
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
        e->setDataSource(&m_data->test);
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
    DBMemo1->setDataSource(&m_data->test);
    DBMemo1->setDataField(QStringLiteral("adresse"));
    DBMemo1->setAccessibleName(QStringLiteral("Adresse"));
    paintAsField(DBMemo1);
    adresse->setBuddy(DBMemo1);

    DBNavigator1 = new DBNavigator(GroupBox1);
    DBNavigator1->setObjectName(QStringLiteral("DBNavigator1"));
    DBNavigator1->setGeometry(5, 181, 76, 18);
    DBNavigator1->setVisibleButtons({DBNavigator::nbPrior, DBNavigator::nbNext});
    DBNavigator1->setDataSource(&m_data->test);
    DBNavigator1->setAccessibleName(QStringLiteral("Kunden blättern"));
    DBNavigator1->setOnClick([this](DBNavigator::Button) { DBNavigator1Click(); });

    GroupBox4 = placedGroupBox(GroupBox1, "GroupBox4", QStringLiteral("   Suchen   "), QRect(456, 13, 203, 65));
    SpeedButton2 = placedFlatButton(GroupBox4, "SpeedButton2", QStringLiteral("[ Kunden Suchen ]"), QRect(10, 25, 185, 22));
    GroupBox3 = placedGroupBox(GroupBox1, "GroupBox3", QStringLiteral("   Kundendaten   "), QRect(456, 88, 203, 113));
    SpeedButton1 = placedFlatButton(GroupBox3, "SpeedButton1", QStringLiteral("[ Hizufügen ]"), QRect(10, 24, 185, 22));
    SpeedButton3 = placedFlatButton(GroupBox3, "SpeedButton3", QStringLiteral("[ Ändern ]"), QRect(10, 52, 185, 22));
    SpeedButton4 = placedFlatButton(GroupBox3, "SpeedButton4", QStringLiteral("[ Löschen ]"), QRect(10, 80, 185, 22));
    const std::pair<FlatButton *, void (Tfrmmain::*)()> buttons[] = {
        {SpeedButton1, &Tfrmmain::SpeedButton1Click},
        {SpeedButton2, &Tfrmmain::SpeedButton2Click},
        {SpeedButton3, &Tfrmmain::SpeedButton3Click},
        {SpeedButton4, &Tfrmmain::SpeedButton4Click},
    };
    for (const auto &[button, handler] : buttons)
        connect(button, &FlatButton::clicked, this, [this, handler = handler] { guarded([&] { (this->*handler)(); }); });
}

void Tfrmmain::buildInvoiceList(QWidget *page)
{
    Label11 = placedLabel(page, "Label11", QStringLiteral("? Hier stehen die Rechnungen des gewählten Kunden"), QRect(376, 0, 272, 13));
    Label11->setAccessibleName(Label11->text());

    DBNavigator3 = new DBNavigator(page);
    DBNavigator3->setObjectName(QStringLiteral("DBNavigator3"));
    DBNavigator3->setGeometry(0, 16, 99, 18);
    DBNavigator3->setVisibleButtons({DBNavigator::nbInsert, DBNavigator::nbDelete, DBNavigator::nbPost});
    DBNavigator3->setDataSource(&m_data->rdetails);
    DBNavigator3->setAccessibleName(QStringLiteral("Rechnungen bearbeiten"));

    Label3 = placedLabel(page, "Label3", QStringLiteral("Letzte Rechnugsnummer:"), QRect(456, 24, 121, 13));
    DBText1 = new DBText(page);
    DBText1->setObjectName(QStringLiteral("DBText1"));
    DBText1->setGeometry(584, 24, 25, 17);
    DBText1->setDataSource(&m_data->lezztenr);
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
    DBText6->setDataSource(&m_data->rdetails);
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
    DBGrid4->setDataSource(&m_data->rdetails);
    DBGrid4->setOnDoubleClick([this] { DBGrid4DblClick(); });
}

// ---------------------------------------------------------------- handlers

void Tfrmmain::Beenden1Click()
{
    if (confirm(QStringLiteral("Wilsch wirklich ausser ?")))
        close();
}

void Tfrmmain::closeEvent(QCloseEvent *e)
{
    // Closing would discard what is pending: store it as a move would, and
    // only leave without it when the user says so.
    if (guarded([&] { m_data->settleAll(); })
        || confirm(QStringLiteral("Die Änderungen konnten nicht gespeichert werden. Trotzdem beenden?"))) {
        e->accept();
        return;
    }
    e->ignore();
}

void Tfrmmain::chooseYear(int year) { m_data->setYear(year); }

void Tfrmmain::EditRechnung1Click() { m_windows.editrechnung->openFromMenu(this); }

void Tfrmmain::Drucken1Click() { m_windows.FRMDruck->showPreview(); }

void Tfrmmain::DBGrid4DblClick() { m_windows.editrechnung->openFromList(this); }

void Tfrmmain::Hilfe1Click() { showMessage(QStringLiteral("meine handynummer: ") + texts::HelpPhone); }

void Tfrmmain::About1Click()
{
    if (m_windows.about)
        m_windows.about->exec();
}

void Tfrmmain::DBNavigator1Click() { PageControl2->setCurrentIndex(0); }

void Tfrmmain::SpeedButton1Click()
{
    new_().Append();
    m_windows.kundenedit->showAdding();
}

void Tfrmmain::SpeedButton2Click() { m_windows.formsuch->showSearch(); }

void Tfrmmain::SpeedButton3Click() { m_windows.kundenedit->showChanging(); }

void Tfrmmain::SpeedButton4Click()
{
    if (confirm(QStringLiteral("Wollen Sie diesen Eintrag wirklich löschen?")))
        new_().Delete();
}

void Tfrmmain::SpeedButton5Click()
{
    RecordSet &q = nrquery();
    q.setActive(false);
    q.setSQL(LastNumberSql);
    q.setActive(true);
}
