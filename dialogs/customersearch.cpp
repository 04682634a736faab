#include "customersearch.h"

#include "controls/dbgrid.h"
#include "data/database.h"
#include "data/schema.h"
#include "framework/fonts.h"
#include "framework/messages.h"
#include "framework/widgets.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

CustomerSearch::CustomerSearch(InvoiceData &data, QWidget *parent) : QDialog(parent), m_data(data)
{
    setObjectName(QStringLiteral("formsuch"));
    setWindowTitle(QStringLiteral("SUCHE"));
    setWindowFlags(Qt::Window | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    setFont(windowsFont(QStringLiteral("MS Sans Serif"), 8));
    setOuterSize(this, QSize(680, 448));

    resultList = new DBGrid(this);
    resultList->setObjectName(QStringLiteral("DBGrid2"));
    resultList->setAccessibleName(QStringLiteral("Gefundene Kunden"));
    resultList->setGridReadOnly(true);
    resultList->setRowSelect(true);
    resultList->horizontalHeader()->hide();
    resultList->verticalHeader()->hide();
    resultList->setColumns({{schema::customer::Name, QStringLiteral("name"), 170, {}},
                            {schema::customer::Owner, QStringLiteral("name2"), 150, {}}});
    // The chosen row stays marked when the searchText field has the focus.
    QPalette p = resultList->palette();
    p.setColor(QPalette::Inactive, QPalette::Highlight, p.color(QPalette::Active, QPalette::Highlight));
    p.setColor(QPalette::Inactive, QPalette::HighlightedText, p.color(QPalette::Active, QPalette::HighlightedText));
    resultList->setPalette(p);
    resultList->setDataSource(&m_data.customerSource);
    resultList->setOnDoubleClick([this] { chooseFromList(); });

    heading = silverHeading(this, "Label18", QStringLiteral("Suchfenster"), QRect(400, 13, 180, 32));
    searchBox = placedGroupBox(this, "GroupBox1", QStringLiteral("   Suchfeld   "), QRect(384, 64, 257, 89));
    searchText = new QLineEdit(searchBox);
    searchText->setObjectName(QStringLiteral("search"));
    searchText->setGeometry(16, 20, 225, 21);
    searchText->setAccessibleName(QStringLiteral("Suchfeld"));
    connect(searchText, &QLineEdit::textChanged, this, [this] { guarded([&] { runSearch(); }); });
    okButton = new QPushButton(QStringLiteral("[ OK ]"), searchBox);
    okButton->setObjectName(QStringLiteral("Button1"));
    okButton->setGeometry(166, 48, 75, 25);
    okButton->setAutoDefault(false);
    okButton->setDefault(false);
    connect(okButton, &QPushButton::clicked, this, [this] { guarded([&] { chooseCustomer(); }); });
    setTabOrder(searchText, okButton);
}

void CustomerSearch::showSearch()
{
    searchText->setText(QString());
    searchText->setFocus();
    exec();
}

void CustomerSearch::settleCustomers()
{
    if (m_data.customers.Active())
        m_data.customers.Settle();
}

void CustomerSearch::runSearch()
{
    settleCustomers();
    RecordSet &customers = m_data.customers;
    customers.setSQL(InvoiceData::customerSearchSql(searchText->text()));
    customers.setActive(true);
}

void CustomerSearch::chooseCustomer()
{
    RecordSet &customers = m_data.customers;
    // Stored first, so a customer that was pending has its id when it is chosen.
    settleCustomers();
    const qint64 id = customers.Active() && !customers.IsEmpty() ? customers.FieldByName(schema::customer::Id)->AsInteger() : 0;
    customers.setSQL(CustomerSql);
    customers.setActive(true);
    LocateOptions partial;
    partial.partialKey = true;
    customers.Locate(schema::customer::Id, id, partial);
    accept();
}

void CustomerSearch::chooseFromList() { chooseCustomer(); }

void CustomerSearch::resizeEvent(QResizeEvent *e)
{
    QDialog::resizeEvent(e);
    // Docked to the left edge: the list keeps its width and follows the height.
    resultList->setGeometry(0, 0, 375, height());
}

void CustomerSearch::keyPressEvent(QKeyEvent *e)
{
    // It closes only by its close box or the system menu.
    if (!swallowDialogKey(e))
        QDialog::keyPressEvent(e);
}

void CustomerSearch::showEvent(QShowEvent *e)
{
    // Centred when opened, not when brought back from being minimised.
    if (!e->spontaneous())
        centreOnScreen(this);
    QDialog::showEvent(e);
}
