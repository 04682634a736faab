#pragma once

#include "data/amount.h"
#include "data/openitems.h"

#include <QDate>
#include <QDialog>
#include <functional>
#include <optional>

class QDateEdit;
class QLabel;
class QPushButton;
class QTableWidget;

// "&Rechnung" -> "&Offene Posten ...": every invoice of every year not yet
// paid, oldest due first, with what is owed in all. An item is marked paid
// here, its reminder printed, or the invoice opened. The dialog holds no
// data of its own: the main window hands it the list and the actions.
class OpenItemsDialog : public QDialog
{
    Q_OBJECT
public:
    explicit OpenItemsDialog(QWidget *parent = nullptr);

    // How the list is read; asked on opening and after every payment.
    void setLoader(std::function<OpenItems()> load) { m_load = std::move(load); }
    void setSeparators(const Separators &separators) { m_separators = separators; }
    // Marks an item paid on the chosen date; the list is read again after it.
    void setOnMarkPaid(std::function<void(const OpenItem &, const QDate &)> mark) { m_markPaid = std::move(mark); }
    void setOnReminder(std::function<void(const OpenItem &)> print) { m_reminder = std::move(print); }

    // Shows the list modally from `today` on. The item the user opened (a
    // double-click or Enter on its row) is given back, the dialog then closed.
    std::optional<OpenItem> choose(const QDate &today);

    // Reads the list again; the row of the same invoice stays selected.
    void reload();
    // The item of the selected row; none without a selection.
    std::optional<OpenItem> selectedItem() const;
    void markSelectedPaid();
    void printSelectedReminder();

    QTableWidget *itemList = nullptr;
    QLabel *totalText = nullptr;
    QDateEdit *paidOn = nullptr;
    QPushButton *markPaidButton = nullptr;
    QPushButton *reminderButton = nullptr;
    QPushButton *closeButton = nullptr;

protected:
    void keyPressEvent(QKeyEvent *e) override;

private:
    void showItems(const OpenItems &open);
    void openRow(int row);
    void selectionMoved();

    std::function<OpenItems()> m_load;
    std::function<void(const OpenItem &, const QDate &)> m_markPaid;
    std::function<void(const OpenItem &)> m_reminder;
    Separators m_separators;
    QList<OpenItem> m_items;
    std::optional<OpenItem> m_opened;
};
