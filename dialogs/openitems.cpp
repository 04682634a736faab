#include "openitems.h"

#include "data/invoicelist.h"
#include "data/money.h"
#include "framework/fonts.h"
#include "framework/messages.h"
#include "framework/widgets.h"

#include <QDateEdit>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>

namespace {

enum Column { CustomerColumn, NumberColumn, DateColumn, GrossColumn, DueColumn, OverdueColumn, ColumnCount };


QTableWidgetItem *cell(const QString &text, Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter)
{
    auto *item = new QTableWidgetItem(text);
    item->setTextAlignment(align);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    return item;
}

} // namespace

OpenItemsDialog::OpenItemsDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("offenePosten"));
    setWindowTitle(QStringLiteral("Offene Posten"));
    setFont(windowsFont(QStringLiteral("MS Sans Serif"), 8));
    setFixedSize(660, 420);

    itemList = new QTableWidget(0, ColumnCount, this);
    itemList->setObjectName(QStringLiteral("postenListe"));
    itemList->setGeometry(8, 8, 644, 330);
    itemList->setAccessibleName(QStringLiteral("Offene Posten"));
    itemList->setHorizontalHeaderLabels({QStringLiteral("Kunde"), QStringLiteral("Nr."), QStringLiteral("Datum"),
                                         QStringLiteral("Betrag"), QStringLiteral("Fällig"), QStringLiteral("Tage überfällig")});
    const int widths[ColumnCount] = {190, 90, 75, 110, 75, 85};
    for (int c = 0; c < ColumnCount; ++c)
        itemList->setColumnWidth(c, widths[c]);
    itemList->verticalHeader()->hide();
    itemList->setSelectionBehavior(QAbstractItemView::SelectRows);
    itemList->setSelectionMode(QAbstractItemView::SingleSelection);
    itemList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    itemList->setTabKeyNavigation(false);
    // A double-click and Enter both activate a row.
    connect(itemList, &QTableWidget::activated, this, [this](const QModelIndex &index) { openRow(index.row()); });
    connect(itemList, &QTableWidget::itemSelectionChanged, this, [this] { selectionMoved(); });

    totalText = placedLabel(this, "summe", QString(), QRect(8, 344, 644, 17));
    totalText->setFont(windowsFont(QStringLiteral("MS Sans Serif"), 8, true));

    QLabel *paidLabel = placedLabel(this, "bezahltAmLabel", QStringLiteral("Bezahlt &am:"), QRect(8, 375, 0, 13));
    paidOn = new QDateEdit(this);
    paidOn->setObjectName(QStringLiteral("bezahltAm"));
    paidOn->setGeometry(78, 371, 100, 21);
    paidOn->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
    paidOn->setCalendarPopup(true);
    paidOn->setAccessibleName(QStringLiteral("Bezahlt am"));
    paidLabel->setBuddy(paidOn);

    markPaidButton = placedPushButton(this, "alsBezahlt", QStringLiteral("Als &bezahlt vermerken"), QRect(186, 369, 150, 25));
    reminderButton =
        placedPushButton(this, "zahlungserinnerung", QStringLiteral("&Zahlungserinnerung drucken ..."), QRect(342, 369, 200, 25));
    closeButton = placedPushButton(this, "schliessen", QStringLiteral("Schließen"), QRect(572, 369, 80, 25));
    connect(markPaidButton, &QPushButton::clicked, this, [this] { guarded([&] { markSelectedPaid(); }); });
    connect(reminderButton, &QPushButton::clicked, this, [this] { guarded([&] { printSelectedReminder(); }); });
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);
    selectionMoved();
}

std::optional<OpenItem> OpenItemsDialog::choose(const QDate &today)
{
    m_opened.reset();
    paidOn->setDate(today);
    itemList->setRowCount(0);
    m_items.clear();
    reload();
    if (itemList->rowCount() > 0)
        itemList->selectRow(0);
    itemList->setFocus();
    exec();
    return m_opened;
}

void OpenItemsDialog::reload()
{
    const std::optional<OpenItem> selected = selectedItem();
    showItems(m_load ? m_load() : OpenItems());
    if (!selected)
        return;
    for (qsizetype row = 0; row < m_items.size(); ++row)
        if (m_items.at(row).year == selected->year && m_items.at(row).headerId == selected->headerId) {
            itemList->selectRow(int(row));
            return;
        }
}

void OpenItemsDialog::showItems(const OpenItems &open)
{
    m_items = open.items;
    itemList->clearSelection();
    itemList->setRowCount(int(m_items.size()));
    const Qt::Alignment right = Qt::AlignRight | Qt::AlignVCenter;
    const Qt::Alignment centred = Qt::AlignCenter;
    int unknown = 0;
    for (int row = 0; row < itemList->rowCount(); ++row) {
        const OpenItem &item = m_items.at(row);
        itemList->setItem(row, CustomerColumn, cell(item.customerName));
        itemList->setItem(row, NumberColumn, cell(item.creditNote ? item.number + QStringLiteral(" (Gutschrift)") : item.number));
        itemList->setItem(row, DateColumn, cell(item.date, centred));
        QTableWidgetItem *gross = item.gross ? cell(formatMoney(*item.gross, m_separators), right) : cell(item.problem);
        if (!item.gross) {
            gross->setToolTip(item.problem);
            ++unknown;
        }
        itemList->setItem(row, GrossColumn, gross);
        itemList->setItem(row, DueColumn, cell(item.due.isValid() ? storedDateText(item.due) : QString(), centred));
        itemList->setItem(row, OverdueColumn,
                          cell(item.isOverdue() ? QString::number(*item.daysOverdue) : QString(), right));
    }
    QString total = m_items.isEmpty() ? QStringLiteral("Es sind keine Rechnungen offen.")
                                      : QStringLiteral("Offen insgesamt: %1 €").arg(formatMoney(open.total, m_separators));
    if (unknown > 0)
        total += QStringLiteral("  (ohne %1 Rechnung(en), deren Betrag sich nicht berechnen lässt)").arg(unknown);
    totalText->setText(total);
    totalText->setAccessibleName(total);
    selectionMoved();
}

std::optional<OpenItem> OpenItemsDialog::selectedItem() const
{
    const QList<QTableWidgetSelectionRange> ranges = itemList->selectedRanges();
    if (ranges.isEmpty())
        return std::nullopt;
    const int row = ranges.first().topRow();
    if (row < 0 || row >= m_items.size())
        return std::nullopt;
    return m_items.at(row);
}

void OpenItemsDialog::selectionMoved()
{
    const bool chosen = selectedItem().has_value();
    markPaidButton->setEnabled(chosen);
    reminderButton->setEnabled(chosen);
}

void OpenItemsDialog::markSelectedPaid()
{
    const std::optional<OpenItem> item = selectedItem();
    if (!item || !m_markPaid)
        return;
    try {
        m_markPaid(*item, paidOn->date());
    } catch (...) {
        // What another program changed is shown as it is now.
        reload();
        throw;
    }
    reload();
}

void OpenItemsDialog::printSelectedReminder()
{
    const std::optional<OpenItem> item = selectedItem();
    if (item && m_reminder)
        m_reminder(*item);
}

void OpenItemsDialog::openRow(int row)
{
    if (row < 0 || row >= m_items.size())
        return;
    m_opened = m_items.at(row);
    accept();
}

void OpenItemsDialog::keyPressEvent(QKeyEvent *e)
{
    // Enter opens the row it is on (the list's own signal); it presses no button.
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        e->accept();
        return;
    }
    QDialog::keyPressEvent(e);
}
