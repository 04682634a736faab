#include "kundeneditf.h"

#include "data/controls/dbedit.h"
#include "data/database.h"
#include "framework/flatbutton.h"
#include "framework/fonts.h"
#include "framework/messages.h"
#include "framework/widgets.h"

#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>

Tkundenedit::Tkundenedit(InvoiceData &data, QWidget *parent) : QDialog(parent), m_data(data)
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

    Label18 = silverHeading(this, "Label18", QStringLiteral("Neuen Kunden einfügen"), QRect(16, 13, 362, 32));

    struct Row { QGroupBox **box; const char *boxName; const char *caption; QRect boxRect; DBEdit **edit; const char *editName; QRect editRect; const char *field; };
    const Row rows[] = {
        {&GroupBox1, "GroupBox1", "   Anrede   ", {40, 64, 289, 49}, &DBEdit2, "DBEdit2", {8, 20, 65, 21}, "ansprache"},
        {&GroupBox2, "GroupBox2", "   Name (Name vom Betrieb)   ", {40, 120, 289, 49}, &DBEdit5, "DBEdit5", {8, 20, 273, 21}, "name"},
        {&GroupBox3, "GroupBox3", "   Vor und Nachname (der Name des Eigentümer)   ", {40, 176, 289, 49}, &DBEdit6, "DBEdit6", {8, 20, 273, 21}, "name2"},
        {&GroupBox4, "GroupBox4", "   P.IVA oder auch MWST genannt ;)   ", {40, 232, 289, 49}, &DBEdit7, "DBEdit7", {8, 20, 273, 21}, "piva"},
    };
    QWidget *previous = nullptr;
    for (const Row &s : rows) {
        *s.box = placedGroupBox(this, s.boxName, QString::fromUtf8(s.caption), s.boxRect);
        auto *e = new DBEdit(*s.box);
        e->setObjectName(QString::fromLatin1(s.editName));
        e->setGeometry(s.editRect);
        e->setDataSource(&m_data.test);
        e->setDataField(QString::fromLatin1(s.field));
        e->setAccessibleName((*s.box)->accessibleName());
        paintAsField(e);
        if (previous)
            setTabOrder(previous, e);
        previous = e;
        *s.edit = e;
    }
    GroupBox5 = placedGroupBox(this, "GroupBox5", QStringLiteral("   Adresse   "), QRect(40, 288, 289, 97));
    DBMemo1 = new DBMemo(GroupBox5);
    DBMemo1->setObjectName(QStringLiteral("DBMemo1"));
    DBMemo1->setGeometry(8, 16, 273, 73);
    DBMemo1->setDataSource(&m_data.test);
    DBMemo1->setDataField(QStringLiteral("adresse"));
    DBMemo1->setAccessibleName(QStringLiteral("Adresse"));
    paintAsField(DBMemo1);
    setTabOrder(previous, DBMemo1);

    SpeedButton1 = placedFlatButton(this, "SpeedButton1", QStringLiteral("[ Speichern ]"), QRect(41, 400, 129, 22));
    SpeedButton2 = placedFlatButton(this, "SpeedButton2", QStringLiteral("[ Schliessen ]"), QRect(180, 400, 128, 22));
    connect(SpeedButton1, &FlatButton::clicked, this, [this] { guarded([&] { SpeedButton1Click(); }); });
    connect(SpeedButton2, &FlatButton::clicked, this, [this] { guarded([&] { SpeedButton2Click(); }); });
}

void Tkundenedit::showAdding()
{
    Label18->setText(QStringLiteral("Neuen Kunden einfügen"));
    SpeedButton1->setCaption(QStringLiteral("[ Einfügen ]"));
    DBEdit2->setFocus();
    exec();
}

void Tkundenedit::showChanging()
{
    Label18->setText(QStringLiteral("Kundendaten Ändern"));
    SpeedButton1->setCaption(QStringLiteral("[ Ändern ]"));
    DBEdit2->setFocus();
    exec();
}

void Tkundenedit::SpeedButton1Click()
{
    // Post takes the typed text into the row first; a failure keeps the dialog open.
    m_data.new_.Post();
    accept();
}

void Tkundenedit::SpeedButton2Click() { reject(); }

void Tkundenedit::done(int result)
{
    // What was typed belongs to the pending row, which the main window shows.
    guarded([&] {
        for (FieldEditor *f : std::initializer_list<FieldEditor *>{DBEdit2, DBEdit5, DBEdit6, DBEdit7, DBMemo1})
            f->handOverText();
    });
    QDialog::done(result);
}

void Tkundenedit::keyPressEvent(QKeyEvent *e)
{
    if (!swallowDialogKey(e))
        QDialog::keyPressEvent(e);
}

void Tkundenedit::showEvent(QShowEvent *e)
{
    // Centred when opened, not when brought back from being minimised.
    if (!e->spontaneous())
        centreOnScreen(this);
    QDialog::showEvent(e);
}
