#include "deferredinvoicedialog.h"

#include "data/deferredinvoice.h"
#include "data/errors.h"
#include "data/invoicelist.h"
#include "data/money.h"
#include "framework/fonts.h"
#include "framework/messages.h"
#include "framework/widgets.h"

#include <QComboBox>
#include <QDateEdit>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableWidget>

#include <algorithm>
#include <optional>

namespace {

enum Column { DateColumn, NumberColumn, LinesColumn, NetColumn, ColumnCount };

QTableWidgetItem *cell(const QString &text, Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter)
{
    auto *item = new QTableWidgetItem(text);
    item->setTextAlignment(align);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    return item;
}

QDateEdit *dateField(QWidget *parent, const char *name, const QString &accessibleName, const QString &format,
                     const QRect &geometry)
{
    auto *edit = new QDateEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setGeometry(geometry);
    edit->setDisplayFormat(format);
    edit->setAccessibleName(accessibleName);
    return edit;
}

// The net of a note, empty when a line's amount cannot be read.
std::optional<Money> netOf(const DeliveryNoteRecord &note, const Separators &separators, QString *problem)
{
    try {
        return deliveryNoteNet(note, separators);
    } catch (const ConversionError &e) {
        *problem = e.message();
    }
    return std::nullopt;
}

} // namespace

DeferredInvoiceDialog::DeferredInvoiceDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("sammelrechnung"));
    setWindowTitle(QStringLiteral("Sammelrechnung aus Lieferscheinen"));
    setFont(windowsFont(QStringLiteral("MS Sans Serif"), 8));
    setFixedSize(520, 400);

    QLabel *customerLabel = placedLabel(this, "kundeLabel", QStringLiteral("&Kunde:"), QRect(8, 16, 0, 13));
    customer = new QComboBox(this);
    customer->setObjectName(QStringLiteral("kunde"));
    customer->setGeometry(160, 12, 352, 21);
    customer->setAccessibleName(QStringLiteral("Kunde"));
    customerLabel->setBuddy(customer);

    QLabel *monthLabel = placedLabel(this, "monatLabel", QStringLiteral("&Monat der Lieferungen:"), QRect(8, 44, 0, 13));
    month = dateField(this, "monat", QStringLiteral("Monat der Lieferungen"), QStringLiteral("MM.yyyy"),
                      QRect(160, 40, 90, 21));
    monthLabel->setBuddy(month);

    QLabel *dateLabel = placedLabel(this, "rechnungsdatumLabel", QStringLiteral("&Rechnungsdatum:"), QRect(8, 72, 0, 13));
    invoiceDate = dateField(this, "rechnungsdatum", QStringLiteral("Rechnungsdatum"), QStringLiteral("dd.MM.yyyy"),
                            QRect(160, 68, 90, 21));
    invoiceDate->setCalendarPopup(true);
    dateLabel->setBuddy(invoiceDate);
    deadline = placedLabel(this, "frist", QString(), QRect(260, 72, 252, 13));

    noteList = new QTableWidget(0, ColumnCount, this);
    noteList->setObjectName(QStringLiteral("lieferscheinListe"));
    noteList->setGeometry(8, 100, 504, 220);
    noteList->setAccessibleName(QStringLiteral("Lieferscheine, die noch nicht verrechnet sind"));
    noteList->setHorizontalHeaderLabels(
        {QStringLiteral("Datum"), QStringLiteral("Nr."), QStringLiteral("Zeilen"), QStringLiteral("Netto")});
    const int widths[ColumnCount] = {110, 130, 70, 170};
    for (int c = 0; c < ColumnCount; ++c)
        noteList->setColumnWidth(c, widths[c]);
    noteList->verticalHeader()->hide();
    noteList->setSelectionBehavior(QAbstractItemView::SelectRows);
    noteList->setSelectionMode(QAbstractItemView::SingleSelection);
    noteList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    noteList->setTabKeyNavigation(false);

    totalText = placedLabel(this, "summe", QString(), QRect(8, 326, 504, 17));
    totalText->setFont(windowsFont(QStringLiteral("MS Sans Serif"), 8, true));

    okButton = placedPushButton(this, "ok", QStringLiteral("OK"), QRect(352, 362, 75, 25));
    cancelButton = placedPushButton(this, "abbrechen", QStringLiteral("Abbrechen"), QRect(437, 362, 75, 25));
    connect(okButton, &QPushButton::clicked, this, [this] { makeInvoice(); });
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);

    const auto listAgain = [this] { guarded([&] { reload(); }); };
    connect(customer, &QComboBox::currentIndexChanged, this, listAgain);
    connect(month, &QDateEdit::dateChanged, this, listAgain);
    connect(invoiceDate, &QDateEdit::dateChanged, this, [this] { choiceChanged(); });
    connect(noteList, &QTableWidget::itemChanged, this, [this] { choiceChanged(); });
}

bool DeferredInvoiceDialog::ask(const QList<Customer> &customers, qint64 current, const QDate &today,
                                const Separators &separators, Loader load, Make make)
{
    m_load = std::move(load);
    m_make = std::move(make);
    m_separators = separators;
    {
        // Listed once below, not for every customer added.
        const QSignalBlocker quiet(customer);
        const QSignalBlocker quietMonth(month);
        customer->clear();
        for (const Customer &c : customers) {
            // Two customers of one name are told apart by their number.
            const QString shown =
                c.kundennr.trimmed().isEmpty() ? c.name : QStringLiteral("%1 (%2)").arg(c.name, c.kundennr.trimmed());
            customer->addItem(shown, c.id);
        }
        customer->setCurrentIndex(std::max(0, customer->findData(current)));
        // The month just ended is the one invoiced by the 15th.
        const QDate thisMonth(today.year(), today.month(), 1);
        month->setDate(thisMonth.addMonths(-1));
        invoiceDate->setDate(today);
    }
    reload();
    customer->setFocus();
    return exec() == QDialog::Accepted;
}

void DeferredInvoiceDialog::reload()
{
    m_notes.clear();
    showNotes({});
    const DeferredInvoiceChoice chosen = choice();
    if (chosen.customerId != 0 && m_load)
        m_notes = m_load(chosen.customerId, chosen.month);
    showNotes(m_notes);
}

void DeferredInvoiceDialog::showNotes(const QList<DeliveryNoteRecord> &notes)
{
    const QSignalBlocker quiet(noteList);
    noteList->setRowCount(int(notes.size()));
    const Qt::Alignment right = Qt::AlignRight | Qt::AlignVCenter;
    for (int row = 0; row < noteList->rowCount(); ++row) {
        const DeliveryNoteRecord &note = notes.at(row);
        QTableWidgetItem *date = cell(note.note.datum.trimmed());
        // Every note goes into the invoice unless the user leaves it out.
        date->setFlags(date->flags() | Qt::ItemIsUserCheckable);
        date->setCheckState(Qt::Checked);
        noteList->setItem(row, DateColumn, date);
        noteList->setItem(row, NumberColumn, cell(note.note.nr.trimmed()));
        noteList->setItem(row, LinesColumn, cell(QString::number(note.lines.size()), right));
        QString problem;
        const std::optional<Money> net = netOf(note, m_separators, &problem);
        QTableWidgetItem *netCell = net ? cell(formatMoney(*net, m_separators), right) : cell(problem);
        netCell->setToolTip(problem);
        noteList->setItem(row, NetColumn, netCell);
    }
    choiceChanged();
}

DeferredInvoiceChoice DeferredInvoiceDialog::choice() const
{
    DeferredInvoiceChoice chosen;
    chosen.customerId = customer->currentIndex() < 0 ? 0 : customer->currentData().toLongLong();
    chosen.month = QDate(month->date().year(), month->date().month(), 1);
    chosen.date = invoiceDate->date();
    for (int row = 0; row < noteList->rowCount() && row < m_notes.size(); ++row)
        if (noteList->item(row, DateColumn)->checkState() == Qt::Checked)
            chosen.noteIds << m_notes.at(row).note.id;
    return chosen;
}

void DeferredInvoiceDialog::choiceChanged()
{
    const DeferredInvoiceChoice chosen = choice();
    const QDate latest = latestDeferredInvoiceDate(chosen.month);
    const QString lastDay = QStringLiteral("Auszustellen bis spätestens %1").arg(storedDateText(latest));
    deadline->setText(lastDay);
    deadline->setAccessibleName(lastDay);

    Money net;
    int unknown = 0;
    for (int row = 0; row < noteList->rowCount() && row < m_notes.size(); ++row) {
        if (noteList->item(row, DateColumn)->checkState() != Qt::Checked)
            continue;
        QString problem;
        if (const std::optional<Money> amount = netOf(m_notes.at(row), m_separators, &problem))
            net += *amount;
        else
            ++unknown;
    }
    QString total;
    if (m_notes.isEmpty())
        total = QStringLiteral("Für diesen Kunden gibt es im %1 keine Lieferscheine, die noch nicht verrechnet sind.")
                    .arg(deliveryMonthName(chosen.month));
    else
        total = QStringLiteral("%1 von %2 Lieferscheinen gewählt, netto %3 €")
                    .arg(chosen.noteIds.size())
                    .arg(m_notes.size())
                    .arg(formatMoney(net, m_separators));
    if (unknown > 0)
        total += QStringLiteral("  (ohne %1 Lieferschein(e), deren Betrag sich nicht berechnen lässt)").arg(unknown);
    totalText->setText(total);
    totalText->setAccessibleName(total);
    okButton->setEnabled(!chosen.noteIds.isEmpty());
}

void DeferredInvoiceDialog::makeInvoice()
{
    const DeferredInvoiceChoice chosen = choice();
    if (chosen.noteIds.isEmpty() || !m_make)
        return;
    if (guarded([&] { m_make(chosen); })) {
        accept();
        return;
    }
    // What another program invoiced meanwhile is no longer listed.
    guarded([&] { reload(); });
}
