#include "search.h"

#include "data/controls/dbgrid.h"
#include "data/database.h"
#include "framework/fonts.h"
#include "framework/messages.h"
#include "framework/widgets.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

Tformsuch::Tformsuch(InvoiceData &data, QWidget *parent) : QDialog(parent), m_data(data)
{
    setObjectName(QStringLiteral("formsuch"));
    setWindowTitle(QStringLiteral("SUCHE"));
    setWindowFlags(Qt::Window | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    setFont(windowsFont(QStringLiteral("MS Sans Serif"), 8));
    setOuterSize(this, QSize(680, 448));

    DBGrid2 = new DBGrid(this);
    DBGrid2->setObjectName(QStringLiteral("DBGrid2"));
    DBGrid2->setAccessibleName(QStringLiteral("Gefundene Kunden"));
    DBGrid2->setGridReadOnly(true);
    DBGrid2->setRowSelect(true);
    DBGrid2->horizontalHeader()->hide();
    DBGrid2->verticalHeader()->hide();
    DBGrid2->setColumns({{QStringLiteral("name"), QStringLiteral("name"), 170, {}},
                         {QStringLiteral("name2"), QStringLiteral("name2"), 150, {}}});
    // The chosen row stays marked when the search field has the focus.
    QPalette p = DBGrid2->palette();
    p.setColor(QPalette::Inactive, QPalette::Highlight, p.color(QPalette::Active, QPalette::Highlight));
    p.setColor(QPalette::Inactive, QPalette::HighlightedText, p.color(QPalette::Active, QPalette::HighlightedText));
    DBGrid2->setPalette(p);
    DBGrid2->setDataSource(&m_data.test);
    DBGrid2->setOnDoubleClick([this] { DBGrid2DblClick(); });

    Label18 = silverHeading(this, "Label18", QStringLiteral("Suchfenster"), QRect(400, 13, 180, 32));
    GroupBox1 = placedGroupBox(this, "GroupBox1", QStringLiteral("   Suchfeld   "), QRect(384, 64, 257, 89));
    search = new QLineEdit(GroupBox1);
    search->setObjectName(QStringLiteral("search"));
    search->setGeometry(16, 20, 225, 21);
    search->setAccessibleName(QStringLiteral("Suchfeld"));
    connect(search, &QLineEdit::textChanged, this, [this] { guarded([&] { searchChange(); }); });
    Button1 = new QPushButton(QStringLiteral("[ OK ]"), GroupBox1);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(166, 48, 75, 25);
    Button1->setAutoDefault(false);
    Button1->setDefault(false);
    connect(Button1, &QPushButton::clicked, this, [this] { guarded([&] { Button1Click(); }); });
    setTabOrder(search, Button1);
}

void Tformsuch::showSearch()
{
    search->setText(QString());
    search->setFocus();
    exec();
}

void Tformsuch::settleCustomers()
{
    if (m_data.new_.Active())
        m_data.new_.Settle();
}

void Tformsuch::searchChange()
{
    settleCustomers();
    RecordSet &customers = m_data.new_;
    customers.setSQL(InvoiceData::customerSearchSql(search->text()));
    customers.setActive(true);
}

void Tformsuch::Button1Click()
{
    RecordSet &customers = m_data.new_;
    // Stored first, so a customer that was pending has its id when it is chosen.
    settleCustomers();
    const qint64 id = customers.Active() && !customers.IsEmpty() ? customers.FieldByName(QStringLiteral("id"))->AsInteger() : 0;
    customers.setSQL(CustomerSql);
    customers.setActive(true);
    LocateOptions partial;
    partial.partialKey = true;
    customers.Locate(QStringLiteral("id"), id, partial);
    accept();
}

void Tformsuch::DBGrid2DblClick() { Button1Click(); }

void Tformsuch::resizeEvent(QResizeEvent *e)
{
    QDialog::resizeEvent(e);
    // Docked to the left edge: the list keeps its width and follows the height.
    DBGrid2->setGeometry(0, 0, 375, height());
}

void Tformsuch::keyPressEvent(QKeyEvent *e)
{
    // It closes only by its close box or the system menu.
    if (!swallowDialogKey(e))
        QDialog::keyPressEvent(e);
}

void Tformsuch::showEvent(QShowEvent *e)
{
    // Centred when opened, not when brought back from being minimised.
    if (!e->spontaneous())
        centreOnScreen(this);
    QDialog::showEvent(e);
}
