#include "invoiceeditor.h"

#include "data/amount.h"
#include "controls/dbedit.h"
#include "controls/dbgrid.h"
#include "controls/dbnavigator.h"
#include "controls/dbtext.h"
#include "data/database.h"
#include "data/errors.h"
#include "data/lineamount.h"
#include "data/schema.h"
#include "data/vatrates.h"
#include "framework/flatbutton.h"
#include "framework/fonts.h"
#include "framework/messages.h"
#include "framework/widgets.h"
#include "naturequestion.h"

#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopedValueRollback>
#include <algorithm>

namespace {

const QString ClickToCompute = QStringLiteral("auf berechnen klicken!");

// Whether the open year's lines have their rate and its reason: one made
// before rates has neither.
bool carriesRates(const RecordSet &lines)
{
    return lines.Active() && lines.FindField(schema::line::VatRate) && lines.FindField(schema::line::Nature);
}
// Cut from the description's 382 pixels when the year's lines have rates.
constexpr int RateColumnWidth = 62;
constexpr int NatureColumnWidth = 50;
// The controls reach 670 to the right and 537 down; a few pixels of margin.
const QSize MinimumSize(675, 545);

DBText *boldText(QWidget *parent, const char *name, DataSource *source, const QString &field, const QRect &r, const QString &label)
{
    auto *t = new DBText(parent);
    t->setObjectName(QString::fromLatin1(name));
    t->setGeometry(r);
    t->setFont(windowsFont(QStringLiteral("MS Sans Serif"), 8, true));
    t->setDataSource(source);
    t->setDataField(field);
    t->setAccessibleName(label);
    return t;
}

DBEdit *dateEdit(QWidget *parent, const char *name, DataSource *source, const QString &field, const QRect &r,
                 const QString &label)
{
    auto *e = new DBEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setGeometry(r);
    e->setDataSource(source);
    e->setDataField(field);
    e->setAccessibleName(label);
    e->setToolTip(label + QStringLiteral(" (TT.MM.JJJJ)"));
    paintAsField(e);
    return e;
}

QLineEdit *plainField(QWidget *parent, const char *name, const QRect &r, const QString &text, const QString &accessible)
{
    auto *e = new QLineEdit(text, parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setGeometry(r);
    e->setAccessibleName(accessible);
    return e;
}


} // namespace

QString unitPriceText(long double netAmount, const Separators &separators)
{
    return formatFloat(QStringLiteral("0.00"), netAmount, separators);
}

InvoiceEditor::InvoiceEditor(InvoiceData &data, QWidget *parent)
    : QDialog(parent), m_data(data), m_lineWatch([this](Notification n, Field *field) { followLines(n, field); })
{
    setObjectName(QStringLiteral("editrechnung"));
    setWindowTitle(QStringLiteral("Rechnung Ändern"));
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    resize(685, 567);
    setFont(windowsFont(QStringLiteral("MS Sans Serif"), 8));
    QPalette p = palette();
    p.setColor(QPalette::Window, QColor(192, 220, 192));
    setPalette(p);
    setAutoFillBackground(true);

    customerBox = placedGroupBox(this, "GroupBox3", QStringLiteral("   Kundendaten   "), QRect(8, 8, 657, 41));
    placedLabel(customerBox, "Label1", QStringLiteral("Name:"), QRect(16, 19, 0, 13));
    customerName = boldText(customerBox, "DBText1", &m_data.customerSource, schema::customer::Name, QRect(57, 19, 320, 17), QStringLiteral("Name"));

    invoiceBox = placedGroupBox(this, "GroupBox2", QStringLiteral("   Rechnungsdaten   "), QRect(8, 55, 657, 73));
    placedLabel(invoiceBox, "Label7", QStringLiteral("Rechnungsnummer:"), QRect(8, 24, 0, 13));
    invoiceNumber = boldText(invoiceBox, "DBText2", &m_data.headerSource, schema::header::Number, QRect(105, 24, 65, 17), QStringLiteral("Rechnungsnummer"));
    placedLabel(invoiceBox, "Label8", QStringLiteral("Datum:"), QRect(67, 50, 0, 13));
    invoiceDate = boldText(invoiceBox, "DBText3", &m_data.headerSource, schema::header::Date, QRect(105, 50, 88, 17), QStringLiteral("Datum"));
    placedLabel(invoiceBox, "Label9", QStringLiteral("Bezahlung:"), QRect(312, 24, 0, 13));
    paymentTerms = boldText(invoiceBox, "DBText4", &m_data.headerSource, schema::header::Payment, QRect(369, 24, 120, 17), QStringLiteral("Bezahlung"));
    placedLabel(invoiceBox, "Label10", QStringLiteral("Bestimmungsort:"), QRect(288, 50, 0, 13));
    destination = boldText(invoiceBox, "DBText5", &m_data.headerSource, schema::header::Destination, QRect(369, 50, 208, 17), QStringLiteral("Bestimmungsort"));
    previewButton = placedFlatButton(invoiceBox, "SpeedButton1", QStringLiteral("[ Vorschau ]"), QRect(504, 14, 145, 22));
    // In the room the layout leaves: the due date between the number and the
    // payment terms it follows from, the paid date under the preview button.
    QLabel *dueLabel = placedLabel(invoiceBox, "LabelFaellig", QStringLiteral("Fällig:"), QRect(180, 24, 0, 13));
    dueDate = dateEdit(invoiceBox, "faellig", &m_data.headerSource, schema::header::DueDate, QRect(214, 21, 72, 21),
                       QStringLiteral("Fällig am"));
    dueLabel->setBuddy(dueDate);
    paidDate = dateEdit(invoiceBox, "bezahltAm", &m_data.headerSource, schema::header::PaidDate, QRect(580, 46, 70, 21),
                        QStringLiteral("Bezahlt am"));
    // No room for a label there: the empty field says what it is for.
    paidDate->setPlaceholderText(QStringLiteral("bezahlt am"));

    lineNavigator = new DBNavigator(this);
    lineNavigator->setObjectName(QStringLiteral("DBNavigator2"));
    lineNavigator->setGeometry(5, 139, 664, 18);
    lineNavigator->setVisibleButtons({DBNavigator::nbPrior, DBNavigator::nbNext, DBNavigator::nbInsert, DBNavigator::nbDelete,
                                     DBNavigator::nbEdit, DBNavigator::nbPost, DBNavigator::nbCancel, DBNavigator::nbRefresh});
    lineNavigator->setDataSource(&m_data.lineSource);
    lineNavigator->setAccessibleName(QStringLiteral("Positionen bearbeiten"));

    lineGrid = new DBGrid(this);
    lineGrid->setObjectName(QStringLiteral("DBGrid2"));
    lineGrid->setGeometry(5, 158, 665, 241);
    lineGrid->setAccessibleName(QStringLiteral("Positionen"));
    lineGrid->setTitleColor(QColor(255, 251, 240));
    lineGrid->setDataSource(&m_data.lineSource);
    const RecordSet &lines = m_data.invoiceLines;
    showRateColumns(carriesRates(lines));
    m_lineWatch.setDataSource(&m_data.lineSource);

    deductionBox = placedGroupBox(this, "GroupBox1", QStringLiteral("  Hier kannst du die 10% abziehen  "), QRect(8, 416, 185, 89));
    grossAmount = plainField(deductionBox, "zahl", QRect(8, 27, 161, 19), QString(), QStringLiteral("Bruttobetrag"));
    insertDeductionButton = placedFlatButton(deductionBox, "SpeedButton3", QStringLiteral("[ Einfügen ]"), QRect(8, 54, 161, 22));

    computeButton = placedPushButton(this, "Button2", QStringLiteral("[ Berechnen ]"), QRect(407, 422, 75, 25));
    totalsBox = placedGroupBox(this, "GroupBox4", QStringLiteral("   Berechnen   "), QRect(488, 416, 177, 89));
    netTotal = plainField(totalsBox, "summeohne", QRect(19, 18, 150, 19), ClickToCompute, QStringLiteral("Nettosumme"));
    taxTotal = plainField(totalsBox, "mwst", QRect(19, 42, 150, 19), ClickToCompute, QStringLiteral("Mehrwertsteuer"));
    grossTotal = plainField(totalsBox, "gesamt", QRect(19, 66, 150, 19), ClickToCompute, QStringLiteral("Gesamtbetrag"));
    closeButton = placedPushButton(this, "Button1", QStringLiteral("[ Beenden ]"), QRect(5, 512, 665, 25));

    // Beside "[ Berechnen ]", in the room the layout leaves free.
    eInvoiceButton = placedPushButton(this, "eInvoiceButton", QStringLiteral("[ Elektronische Rechnung ]"), QRect(200, 422, 200, 25));
    connect(eInvoiceButton, &QPushButton::clicked, this, [this] { guarded([&] { if (m_eInvoice) m_eInvoice(); }); });
    connect(closeButton, &QPushButton::clicked, this, [this] { guarded([&] { closeEditor(); }); });
    connect(computeButton, &QPushButton::clicked, this, [this] { guarded([&] { computeTotals(); }); });
    connect(previewButton, &FlatButton::clicked, this, [this] { guarded([&] { showPreview(); }); });
    connect(insertDeductionButton, &FlatButton::clicked, this, [this] { guarded([&] { insertDeductionLine(); }); });
}

void InvoiceEditor::showRateColumns(bool shown)
{
    const Qt::Alignment centred = Qt::AlignCenter;
    QList<GridColumn> columns{{schema::line::Description, QStringLiteral("beschreibung"), 382, {}},
                              {schema::line::Quantity, QStringLiteral("anzahl"), 76, {}, centred},
                              {schema::line::UnitPrice, QStringLiteral("einzelpreis"), 91, {}, centred}};
    if (shown) {
        // The description gives up the room: the grid keeps its width.
        columns[0].width = 382 - RateColumnWidth - NatureColumnWidth;
        QStringList rates, natures;
        for (int percent : vatPercents())
            rates << QString::number(percent);
        for (const VatNature &n : vatNatures())
            natures << n.code;
        columns << GridColumn{schema::line::VatRate, QStringLiteral("steuersatz"), RateColumnWidth, rates, centred}
                << GridColumn{schema::line::Nature, QStringLiteral("natura"), NatureColumnWidth, natures, centred};
    }
    m_rateColumnsShown = shown;
    lineGrid->setColumns(columns);
}

void InvoiceEditor::followLines(Notification n, Field *field)
{
    const RecordSet &lines = m_data.invoiceLines;
    switch (n) {
    case Notification::StateChanged:
    case Notification::RowsChanged:
        // Another year's table may be older or newer than the last one.
        if (lines.Active() && carriesRates(lines) != m_rateColumnsShown)
            showRateColumns(carriesRates(lines));
        break;
    case Notification::FieldAssigned:
        // Only what the user picks here: a rate set elsewhere asks nobody.
        if (field && field->FieldName() == schema::line::VatRate && isVisible())
            rateChosen(field);
        break;
    default:
        break;
    }
}

void InvoiceEditor::rateChosen(Field *rate)
{
    Field *nature = m_data.invoiceLines.FindField(schema::line::Nature);
    if (!nature)
        return;
    if (rate->AsString().trimmed() != QLatin1String("0")) {
        if (!nature->AsString().isEmpty())
            nature->Clear();
        return;
    }
    // A line that has its reason keeps it (the nature's own column changes
    // it). The cell hands its text over once more when the question takes
    // the focus: that is not asked twice.
    if (m_askingNature || vatNature(nature->AsString().trimmed()))
        return;
    const QScopedValueRollback asking(m_askingNature, true);
    // Cancelled, the line keeps its rate of 0 without a reason: it cannot be
    // stored until one is chosen, and nothing typed is lost meanwhile.
    if (const std::optional<QString> code = askNature(this))
        nature->setAsString(*code);
}

void InvoiceEditor::enablePaymentDates()
{
    const RecordSet &headers = m_data.invoiceHeaders;
    dueDate->setEnabled(headers.Active() && headers.FindField(schema::header::DueDate));
    paidDate->setEnabled(headers.Active() && headers.FindField(schema::header::PaidDate));
}

void InvoiceEditor::placeOver(QWidget *mainWindow)
{
    const QRect m = mainWindow->frameGeometry();
    // Where the main window has a thin frame (or none, as without a window
    // manager), the rule would cut off "[ Beenden ]": the editor never gets
    // smaller than its controls.
    setGeometry(m.left() + 4, m.top() + 55, std::max(m.width() - 8, MinimumSize.width()),
                std::max(m.height() - 58, MinimumSize.height()));
}

void InvoiceEditor::openFromList(QWidget *mainWindow)
{
    RecordSet &headers = m_data.invoiceHeaders;
    if (!headers.Active() || headers.FieldByName(schema::header::Number)->AsString().isEmpty())
        return;
    for (QLineEdit *e : {netTotal, taxTotal, grossTotal})
        e->setText(ClickToCompute);
    enablePaymentDates();
    placeOver(mainWindow);
    exec();
}

void InvoiceEditor::openFromMenu(QWidget *mainWindow)
{
    enablePaymentDates();
    placeOver(mainWindow);
    exec();
}

void InvoiceEditor::closeEditor() { reject(); }

void InvoiceEditor::done(int result)
{
    // A preview opened from here waits in a loop of its own above ours:
    // leaving the editor closes it (which also ends a run still going), so
    // the editor's modal call can return.
    for (QWidget *w : findChildren<QWidget *>())
        if (w->isWindow() && w->isVisible())
            w->close();
    QDialog::done(result);
}

void InvoiceEditor::computeTotals()
{
    RecordSet &lines = m_data.invoiceLines;
    // Walked row by row, so that a line whose amount cannot be calculated
    // is the one the grid is left on.
    QList<TotalsLine> read;
    lines.First();
    while (!lines.Eof()) {
        read.append(totalsLine(lines));
        lines.Next();
    }
    m_totals = invoiceTotals(read);
    const Separators &separators = m_data.separators();
    netTotal->setText(formatMoney(m_totals.net, separators));
    taxTotal->setText(formatMoney(m_totals.tax, separators));
    grossTotal->setText(formatMoney(m_totals.gross, separators));
}

void InvoiceEditor::showPreview()
{
    if (m_preview)
        m_preview();
}

void InvoiceEditor::insertDeductionLine()
{
    RecordSet &lines = m_data.invoiceLines;
    lines.Append();
    // The tax comes out of the gross amount in extended precision, without a stop at double.
    const long double net = textToFloat(grossAmount->text(), m_data.separators()) / 1.1L;
    if (!isValidAmount(net))
        throw ConversionError(QStringLiteral("'%1' ergibt keinen gültigen Betrag").arg(grossAmount->text()));
    lines.FieldByName(schema::line::UnitPrice)->setAsString(unitPriceText(net, m_data.separators()));
    // The 10 % were taken out: the line is at 10 %, whatever rate new lines
    // of this customer start with.
    for (const QLatin1StringView name : {schema::line::VatRate, schema::line::Nature})
        if (Field *f = lines.FindField(name); f && !f->AsString().isEmpty())
            f->setAsString(QString());
    lines.Post();
}

void InvoiceEditor::keyPressEvent(QKeyEvent *e)
{
    if (!swallowDialogKey(e))
        QDialog::keyPressEvent(e);
}
