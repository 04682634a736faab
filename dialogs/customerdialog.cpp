#include "customerdialog.h"

#include "controls/dbedit.h"
#include "data/database.h"
#include "data/schema.h"
#include "framework/flatbutton.h"
#include "framework/fonts.h"
#include "framework/messages.h"
#include "framework/widgets.h"

#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>

CustomerDialog::CustomerDialog(InvoiceData &data, QWidget *parent) : QDialog(parent), m_data(data)
{
    setObjectName(QStringLiteral("kundenedit"));
    setWindowTitle(QStringLiteral("Gärtnerei Trovanek"));
    // A dialog frame whose title bar has no buttons at all.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setFixedSize(400, 444);
    setFont(windowsFont(QStringLiteral("MS Sans Serif"), 8));
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::white);
    setPalette(p);
    setAutoFillBackground(true);

    heading = silverHeading(this, "Label18", QStringLiteral("Neuen Kunden einfügen"), QRect(16, 13, 362, 32));

    using namespace schema::customer;
    struct Row { QGroupBox **box; const char *boxName; const char *caption; QRect boxRect; DBEdit **edit; const char *editName; QRect editRect; QLatin1StringView field; };
    const Row rows[] = {
        {&salutationBox, "GroupBox1", "   Anrede   ", {40, 64, 289, 49}, &salutation, "DBEdit2", {8, 20, 65, 21}, Salutation},
        {&nameBox, "GroupBox2", "   Name (Name vom Betrieb)   ", {40, 120, 289, 49}, &customerName, "DBEdit5", {8, 20, 273, 21}, Name},
        {&ownerBox, "GroupBox3", "   Vor und Nachname (der Name des Eigentümer)   ", {40, 176, 289, 49}, &ownerName, "DBEdit6", {8, 20, 273, 21}, Owner},
        {&vatBox, "GroupBox4", "   P.IVA oder auch MWST genannt ;)   ", {40, 232, 289, 49}, &vatNumber, "DBEdit7", {8, 20, 273, 21}, VatNumber},
    };
    QWidget *previous = nullptr;
    for (const Row &s : rows) {
        *s.box = placedGroupBox(this, s.boxName, QString::fromUtf8(s.caption), s.boxRect);
        auto *e = new DBEdit(*s.box);
        e->setObjectName(QString::fromLatin1(s.editName));
        e->setGeometry(s.editRect);
        e->setDataSource(&m_data.customerSource);
        e->setDataField(s.field);
        e->setAccessibleName((*s.box)->accessibleName());
        paintAsField(e);
        if (previous)
            setTabOrder(previous, e);
        previous = e;
        *s.edit = e;
    }
    addressBox = placedGroupBox(this, "GroupBox5", QStringLiteral("   Adresse   "), QRect(40, 288, 289, 97));
    address = new DBMemo(addressBox);
    address->setObjectName(QStringLiteral("DBMemo1"));
    address->setGeometry(8, 16, 273, 73);
    address->setDataSource(&m_data.customerSource);
    address->setDataField(Address);
    address->setAccessibleName(QStringLiteral("Adresse"));
    paintAsField(address);
    setTabOrder(previous, address);

    saveButton = placedFlatButton(this, "SpeedButton1", QStringLiteral("[ Speichern ]"), QRect(41, 400, 129, 22));
    closeButton = placedFlatButton(this, "SpeedButton2", QStringLiteral("[ Schliessen ]"), QRect(180, 400, 128, 22));
    connect(saveButton, &FlatButton::clicked, this, [this] { guarded([&] { save(); }); });
    connect(closeButton, &FlatButton::clicked, this, [this] { guarded([&] { closeDialog(); }); });
}

void CustomerDialog::showAdding()
{
    heading->setText(QStringLiteral("Neuen Kunden einfügen"));
    saveButton->setCaption(QStringLiteral("[ Einfügen ]"));
    salutation->setFocus();
    exec();
}

void CustomerDialog::showChanging()
{
    heading->setText(QStringLiteral("Kundendaten Ändern"));
    saveButton->setCaption(QStringLiteral("[ Ändern ]"));
    salutation->setFocus();
    exec();
}

void CustomerDialog::save()
{
    // Post takes the typed text into the row first; a failure keeps the dialog open.
    m_data.customers.Post();
    accept();
}

void CustomerDialog::closeDialog() { reject(); }

void CustomerDialog::done(int result)
{
    // What was typed belongs to the pending row, which the main window shows.
    guarded([&] {
        for (FieldEditor *f : std::initializer_list<FieldEditor *>{salutation, customerName, ownerName, vatNumber, address})
            f->handOverText();
    });
    QDialog::done(result);
}

void CustomerDialog::keyPressEvent(QKeyEvent *e)
{
    if (!swallowDialogKey(e))
        QDialog::keyPressEvent(e);
}

void CustomerDialog::showEvent(QShowEvent *e)
{
    // Centred when opened, not when brought back from being minimised.
    if (!e->spontaneous())
        centreOnScreen(this);
    QDialog::showEvent(e);
}
