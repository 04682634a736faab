#include "deliverynoteeditor.h"

#include "controls/dbedit.h"
#include "controls/dbgrid.h"
#include "controls/dbnavigator.h"
#include "controls/dbtext.h"
#include "data/database.h"
#include "data/deliverynote.h"
#include "data/errors.h"
#include "data/plantpassport.h"
#include "data/schema.h"
#include "data/vatrates.h"
#include "framework/fonts.h"
#include "framework/messages.h"
#include "framework/widgets.h"

#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

namespace {

// The invoice editor's green, so that both read as the program's editors.
const QColor EditorGreen(192, 220, 192);

DBEdit *noteField(QWidget *parent, const char *name, DataSource *source, const QString &field, const QRect &r,
                  const QString &label)
{
    auto *e = new DBEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setGeometry(r);
    e->setDataSource(source);
    e->setDataField(field);
    e->setAccessibleName(label);
    paintAsField(e);
    return e;
}

QString invoiceOf(const RecordSet &notes)
{
    if (!notes.Active() || notes.IsEmpty())
        return QString();
    return notes.FieldByName(schema::deliveryNote::InvoiceNumber)->AsString().trimmed();
}

} // namespace

DeliveryNoteEditor::DeliveryNoteEditor(InvoiceData &data, QWidget *parent)
    : QDialog(parent), m_data(data), m_lineWatch([this](Notification, Field *) {
          if (isVisible())
              showPassportNeed();
      }),
      m_noteWatch([this](Notification n, Field *) {
          if (isVisible() && n != Notification::FieldAssigned && n != Notification::HandOver)
              allowChanges();
      })
{
    setObjectName(QStringLiteral("editlieferschein"));
    setWindowTitle(QStringLiteral("Lieferschein"));
    setFixedSize(800, 540);
    setFont(windowsFont(QStringLiteral("MS Sans Serif"), 8));
    QPalette p = palette();
    p.setColor(QPalette::Window, EditorGreen);
    setPalette(p);
    setAutoFillBackground(true);

    using namespace schema::deliveryNote;
    DataSource *notes = &m_data.deliveryNoteSource;
    customerBox = placedGroupBox(this, "GroupBox1", QStringLiteral("   Kundendaten   "), QRect(8, 8, 784, 41));
    placedLabel(customerBox, "Label1", QStringLiteral("Name:"), QRect(16, 19, 0, 13));
    customerName = new DBText(customerBox);
    customerName->setObjectName(QStringLiteral("DBText1"));
    customerName->setGeometry(57, 19, 400, 17);
    customerName->setFont(windowsFont(QStringLiteral("MS Sans Serif"), 8, true));
    customerName->setDataSource(&m_data.customerSource);
    customerName->setDataField(schema::customer::Name);
    customerName->setAccessibleName(QStringLiteral("Name"));

    noteBox = placedGroupBox(this, "GroupBox2", QStringLiteral("   Lieferscheindaten   "), QRect(8, 55, 784, 99));
    struct Labelled { const char *labelName; const char *caption; int labelX; DBEdit **edit; const char *name; QRect rect;
                      QLatin1StringView field; const char *accessible; };
    const Labelled fields[] = {
        {"Label2", "Nummer:", 8, &noteNumber, "nr", {62, 18, 80, 21}, Number, "Lieferscheinnummer"},
        {"Label3", "Datum:", 160, &noteDate, "datum", {200, 18, 80, 21}, Date, "Datum"},
        {"Label4", "Colli:", 300, &packages, "colli", {335, 18, 50, 21}, Packages, "Colli"},
        {"Label5", "Bestimmungsort:", 405, &destination, "bestimmungsort", {492, 18, 284, 21}, Destination, "Bestimmungsort"},
    };
    for (const Labelled &f : fields) {
        QLabel *l = placedLabel(noteBox, f.labelName, QString::fromUtf8(f.caption), QRect(f.labelX, 22, 0, 13));
        *f.edit = noteField(noteBox, f.name, notes, f.field, f.rect, QString::fromUtf8(f.accessible));
        l->setBuddy(*f.edit);
    }
    noteDate->setToolTip(QStringLiteral("Datum (TT.MM.JJJJ)"));
    QLabel *transportLabel = placedLabel(noteBox, "Label6", QStringLiteral("Transport:"), QRect(8, 48, 0, 13));
    transport = pickList(noteBox, "transport", Transport, transportChoices(), QRect(62, 44, 300, 21), QStringLiteral("Transport"));
    transportLabel->setBuddy(transport);
    QLabel *reasonLabel = placedLabel(noteBox, "Label7", QStringLiteral("Grund:"), QRect(405, 48, 0, 13));
    reason = pickList(noteBox, "grund", Reason, reasonChoices(), QRect(492, 44, 284, 21), QStringLiteral("Grund"));
    reasonLabel->setBuddy(reason);
    invoicedHint = placedLabel(noteBox, "Label8", QString(), QRect(8, 74, 768, 17));
    invoicedHint->setAccessibleName(QStringLiteral("Abrechnung"));

    lineNavigator = new DBNavigator(this);
    lineNavigator->setObjectName(QStringLiteral("DBNavigator1"));
    lineNavigator->setGeometry(5, 162, 790, 18);
    lineNavigator->setDataSource(&m_data.deliveryLineSource);
    lineNavigator->setAccessibleName(QStringLiteral("Positionen bearbeiten"));

    lineGrid = new DBGrid(this);
    lineGrid->setObjectName(QStringLiteral("DBGrid1"));
    lineGrid->setGeometry(5, 181, 790, 258);
    lineGrid->setAccessibleName(QStringLiteral("Positionen"));
    lineGrid->setTitleColor(QColor(255, 251, 240));
    QStringList rates;
    for (int percent : vatPercents())
        rates << QString::number(percent);
    const Qt::Alignment centred = Qt::AlignCenter;
    namespace line = schema::deliveryLine;
    lineGrid->setColumns({
        {line::Description, QStringLiteral("Beschreibung"), 150, {}},
        {line::Quantity, QStringLiteral("Anzahl"), 50, {}, centred},
        {line::Unit, QStringLiteral("Einheit"), 50, {}, centred},
        {line::UnitPrice, QStringLiteral("Einzelpreis"), 70, {}, centred},
        {line::VatRate, QStringLiteral("MwSt"), 45, rates, centred},
        {line::BotanicalName, QStringLiteral("Botanischer Name (A)"), 130, {}},
        {line::Traceability, QStringLiteral("Rückverfolgung (C)"), 105, {}},
        {line::Origin, QStringLiteral("Ursprung (D)"), 64, {}, centred},
    });
    lineGrid->setDataSource(&m_data.deliveryLineSource);

    passportHint = placedLabel(this, "Label9", QString(), QRect(8, 444, 784, 34));
    passportHint->setWordWrap(true);
    passportHint->setAccessibleName(QStringLiteral("Pflanzenpass"));

    printButton = placedPushButton(this, "Button1", QStringLiteral("[ Drucken ]"), QRect(5, 504, 200, 25));
    printButton->setAccessibleName(QStringLiteral("Lieferschein drucken"));
    closeButton = placedPushButton(this, "Button2", QStringLiteral("[ Schließen ]"), QRect(595, 504, 200, 25));
    closeButton->setAccessibleName(QStringLiteral("Schließen"));
    connect(printButton, &QPushButton::clicked, this, [this] { guarded([&] { print(); }); });
    connect(closeButton, &QPushButton::clicked, this, [this] { guarded([&] { closeEditor(); }); });

    m_lineWatch.setDataSource(&m_data.deliveryLineSource);
    m_noteWatch.setDataSource(notes);
}

QComboBox *DeliveryNoteEditor::pickList(QWidget *parent, const char *name, const QString &field, const QStringList &choices,
                                        const QRect &r, const QString &label)
{
    auto *combo = new QComboBox(parent);
    combo->setObjectName(QString::fromLatin1(name));
    combo->setGeometry(r);
    combo->setEditable(true);
    // A text typed is the note's, not a new entry of the list.
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->addItems(choices);
    combo->setAccessibleName(label);
    // The text itself is the bound field, typed into as any other; the list
    // only offers what is usual.
    auto *text = new DBEdit(combo);
    text->setObjectName(QString::fromLatin1(name) + QStringLiteral("Text"));
    text->setAccessibleName(label);
    combo->setLineEdit(text);
    text->setDataSource(&m_data.deliveryNoteSource);
    text->setDataField(field);
    paintAsField(combo);
    connect(combo, &QComboBox::activated, this, [this, combo, field](int index) {
        guarded([&] {
            if (index < 0 || !m_data.deliveryNoteSource.Edit())
                return;
            m_data.deliveryNotes.FieldByName(field)->setAsString(combo->itemText(index));
        });
    });
    return combo;
}

void DeliveryNoteEditor::allowChanges()
{
    const QString invoice = invoiceOf(m_data.deliveryNotes);
    const bool open = invoice.isEmpty();
    for (QWidget *w : std::initializer_list<QWidget *>{noteNumber, noteDate, packages, destination, transport, reason})
        w->setEnabled(open);
    lineGrid->setGridReadOnly(!open);
    if (open)
        lineNavigator->setVisibleButtons({DBNavigator::nbPrior, DBNavigator::nbNext, DBNavigator::nbInsert, DBNavigator::nbDelete,
                                          DBNavigator::nbEdit, DBNavigator::nbPost, DBNavigator::nbCancel, DBNavigator::nbRefresh});
    else
        lineNavigator->setVisibleButtons({DBNavigator::nbPrior, DBNavigator::nbNext});
    invoicedHint->setText(open ? QString()
                               : QStringLiteral("Abgerechnet mit der Rechnung Nr. %1: dieser Lieferschein kann nicht mehr "
                                                "geändert werden.")
                                     .arg(invoice));
}

void DeliveryNoteEditor::showPassportNeed()
{
    QString hint;
    const RecordSet &lines = m_data.deliveryLines;
    if (lines.Active() && !lines.IsEmpty()) {
        using namespace schema::deliveryLine;
        const auto text = [&](QLatin1StringView name) { return lines.FieldByName(name)->AsString(); };
        DeliveryLine line;
        line.beschreibung = text(Description);
        line.botanischer_name = text(BotanicalName);
        line.rueckverfolgung = text(Traceability);
        line.ursprung = text(Origin);
        try {
            const std::optional<CustomerKind> kind = line.isPlant() ? m_data.deliveryCustomerKind() : std::nullopt;
            if (kind && passportNeed(line.botanischer_name, *kind) != PassportNeed::None)
                hint = passportProblem(line, *kind);
        } catch (const AppError &e) {
            // Only a hint: storing the line says it again, in the error box.
            hint = e.message();
        }
    }
    passportHint->setText(hint);
}

void DeliveryNoteEditor::openNote()
{
    const RecordSet &notes = m_data.deliveryNotes;
    if (!notes.Active() || notes.IsEmpty())
        return;
    allowChanges();
    showPassportNeed();
    exec();
}

void DeliveryNoteEditor::closeEditor()
{
    // The lines first: they need their note, the note does not need them.
    for (RecordSet *rs : {&m_data.deliveryLines, &m_data.deliveryNotes})
        if (rs->Active())
            rs->Settle();
    accept();
}

void DeliveryNoteEditor::print()
{
    if (m_print)
        m_print();
}

void DeliveryNoteEditor::keyPressEvent(QKeyEvent *e)
{
    if (!swallowDialogKey(e))
        QDialog::keyPressEvent(e);
}
