#pragma once

#include "data/amount.h"
#include "data/passportreport.h"

#include <QDate>
#include <QDialog>
#include <QList>

class Database;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

// "&Rechnung" -> "&Pflanzenpass-Nachweis ...": who got plants of a species
// or of a lot in a period, from the delivery notes to business customers;
// saved as CSV for the plant protection service.
class PassportReportDialog : public QDialog
{
public:
    explicit PassportReportDialog(QWidget *parent = nullptr);

    // Proposes the last three years up to `today`, the time the proof must be
    // kept, and waits until the user closes the window. Quantities are shown
    // as the file holds them, the CSV's with `separators` read.
    void showReport(Database &database, const Separators &separators, const QDate &today);

    // "Suchen": reads the notes again and fills the table; on a failure the
    // table stays empty and the error box says why.
    void search();
    // "Als CSV speichern ...": asks for the file and writes what is shown.
    void saveCsv();

    const QList<PassportDelivery> &deliveries() const { return m_deliveries; }

    QLabel *searchLabel = nullptr;
    QLineEdit *searchText = nullptr;
    QComboBox *searchKind = nullptr;
    QLabel *fromLabel = nullptr;
    QLineEdit *fromDate = nullptr;
    QLabel *toLabel = nullptr;
    QLineEdit *toDate = nullptr;
    QPushButton *searchButton = nullptr;
    QTableWidget *resultTable = nullptr;
    QLabel *countLabel = nullptr;
    QPushButton *saveCsvButton = nullptr;
    QPushButton *closeButton = nullptr;

private:
    void showDeliveries();

    Database *m_database = nullptr;
    Separators m_separators;
    QList<PassportDelivery> m_deliveries;
    // What the rows shown were found for: the CSV file is named after it.
    PassportQuery m_shownQuery;
    bool m_searched = false;
};
