#pragma once

#include "data/amount.h"
#include "data/yearoverview.h"

#include <QDialog>
#include <QList>

class Database;
class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QTableWidget;

// "&Rechnung" -> "&Jahresübersicht ...": a year's revenue per month and per
// customer, credit notes subtracted, and the invoices that could not be
// computed named apart; saved as CSV for the accountant.
class YearOverviewDialog : public QDialog
{
public:
    explicit YearOverviewDialog(QWidget *parent = nullptr);

    // Offers `years` (newest first), shows `current` (or the newest when it is
    // not among them) and waits until the user closes the window. Amounts are
    // shown with `separators`, as the program shows the file's amounts.
    void showYears(Database &database, const Separators &separators, const QList<int> &years, int current);

    // Reads the year again and fills the tables; on a failure the tables
    // stay empty and the error box says why.
    void showYear(int year);
    // "Als CSV speichern ...": asks for the file and writes it.
    void saveCsv();

    const YearOverview &overview() const { return m_overview; }

    QLabel *yearLabel = nullptr;
    QComboBox *yearChoice = nullptr;
    QLabel *monthLabel = nullptr;
    QTableWidget *monthTable = nullptr;
    QLabel *customerLabel = nullptr;
    QTableWidget *customerTable = nullptr;
    QLabel *uncomputedLabel = nullptr;
    QListWidget *uncomputedList = nullptr;
    QPushButton *saveCsvButton = nullptr;
    QPushButton *closeButton = nullptr;

private:
    void fillTables();

    Database *m_database = nullptr;
    Separators m_separators;
    YearOverview m_overview;
};
