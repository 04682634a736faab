#include "passportreportdialog.h"

#include "data/csvexport.h"
#include "data/errors.h"
#include "data/invoicelist.h"
#include "einvoice/store.h"
#include "framework/messages.h"
#include "framework/settings.h"

#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

// The folder the year overview's CSV files go to: one place for the accountant's files.
const QString CsvFolderKey = QStringLiteral("csv");

// The proof must be kept for three years.
constexpr int KeepingYears = 3;

QLabel *namedLabel(QWidget *parent, const char *name, const QString &text, QWidget *buddy)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setBuddy(buddy);
    return label;
}

QLineEdit *namedEdit(QWidget *parent, const char *name, const QString &accessibleName)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setAccessibleName(accessibleName);
    return edit;
}

QPushButton *namedButton(QWidget *parent, const char *name, const QString &caption, const QString &accessibleName)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAccessibleName(accessibleName);
    button->setAutoDefault(false);
    return button;
}

QString countText(const QList<PassportDelivery> &deliveries)
{
    if (deliveries.isEmpty())
        return QStringLiteral("Im Zeitraum wurden keine passenden Pflanzen an Geschäftskunden geliefert.");
    QSet<QString> customers;
    for (const PassportDelivery &d : deliveries)
        customers.insert(d.customerId != 0 ? QString::number(d.customerId) : d.customerName);
    return QStringLiteral("%1 %2 an %3 Kunden")
        .arg(deliveries.size())
        .arg(deliveries.size() == 1 ? QStringLiteral("Position") : QStringLiteral("Positionen"))
        .arg(customers.size());
}

} // namespace

PassportReportDialog::PassportReportDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("PassportReport"));
    setWindowTitle(QStringLiteral("Pflanzenpass-Nachweis"));
    resize(1060, 520);

    searchText = namedEdit(this, "searchText", QStringLiteral("Botanischer Name oder Rückverfolgbarkeitscode"));
    searchText->setPlaceholderText(QStringLiteral("leer: alle Pflanzen"));
    searchLabel = namedLabel(this, "searchLabel", QStringLiteral("&Name oder Code:"), searchText);
    searchKind = new QComboBox(this);
    searchKind->setObjectName(QStringLiteral("searchKind"));
    searchKind->setAccessibleName(QStringLiteral("Suchen nach"));
    searchKind->addItem(QStringLiteral("Botanischer Name"), int(PassportSearch::BotanicalName));
    searchKind->addItem(QStringLiteral("Rückverfolgbarkeitscode"), int(PassportSearch::TraceabilityCode));
    fromDate = namedEdit(this, "fromDate", QStringLiteral("Von"));
    fromLabel = namedLabel(this, "fromLabel", QStringLiteral("&Von:"), fromDate);
    toDate = namedEdit(this, "toDate", QStringLiteral("Bis"));
    toLabel = namedLabel(this, "toLabel", QStringLiteral("&Bis:"), toDate);
    for (QLineEdit *date : {fromDate, toDate}) {
        date->setPlaceholderText(QStringLiteral("TT.MM.JJJJ"));
        date->setMaximumWidth(date->fontMetrics().horizontalAdvance(QStringLiteral("00.00.00000")) + 16);
    }
    searchButton = namedButton(this, "searchButton", QStringLiteral("S&uchen"), QStringLiteral("Suchen"));
    // Enter in any field searches.
    searchButton->setDefault(true);

    resultTable = new QTableWidget(0, int(passportColumns().size()), this);
    resultTable->setObjectName(QStringLiteral("resultTable"));
    resultTable->setAccessibleName(QStringLiteral("Gelieferte Pflanzen"));
    resultTable->setHorizontalHeaderLabels(passportColumns());
    resultTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    resultTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    resultTable->verticalHeader()->hide();
    resultTable->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    resultTable->horizontalHeader()->setStretchLastSection(true);
    countLabel = new QLabel(this);
    countLabel->setObjectName(QStringLiteral("countLabel"));
    countLabel->setAccessibleName(QStringLiteral("Anzahl"));

    saveCsvButton = namedButton(this, "saveCsvButton", QStringLiteral("Als CSV speichern ..."),
                                QStringLiteral("Als CSV speichern"));
    closeButton = namedButton(this, "closeButton", QStringLiteral("&Schließen"), QStringLiteral("Schließen"));

    auto *period = new QHBoxLayout;
    period->addWidget(fromDate);
    period->addWidget(toLabel);
    period->addWidget(toDate);
    period->addStretch();
    auto *fields = new QGridLayout;
    fields->addWidget(searchLabel, 0, 0);
    fields->addWidget(searchText, 0, 1);
    fields->addWidget(searchKind, 0, 2);
    fields->addWidget(fromLabel, 1, 0);
    fields->addLayout(period, 1, 1);
    fields->addWidget(searchButton, 1, 2);
    fields->setColumnStretch(1, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(saveCsvButton);
    buttons->addStretch();
    buttons->addWidget(closeButton);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addWidget(resultTable, 1);
    layout->addWidget(countLabel);
    layout->addLayout(buttons);

    connect(searchButton, &QPushButton::clicked, this, [this] { guarded([&] { search(); }); });
    connect(saveCsvButton, &QPushButton::clicked, this, [this] { guarded([&] { saveCsv(); }); });
    connect(closeButton, &QPushButton::clicked, this, &QDialog::accept);
}

void PassportReportDialog::showReport(Database &database, const Separators &separators, const QDate &today)
{
    m_database = &database;
    m_separators = separators;
    fromDate->setText(storedDateText(today.addYears(-KeepingYears)));
    toDate->setText(storedDateText(today));
    m_deliveries.clear();
    m_searched = false;
    showDeliveries();
    searchText->setFocus();
    exec();
    m_database = nullptr;
}

void PassportReportDialog::search()
{
    m_deliveries.clear();
    m_searched = false;
    showDeliveries();
    if (!m_database)
        return;
    const PassportQuery query{fromDate->text(), toDate->text(), PassportSearch(searchKind->currentData().toInt()),
                              searchText->text()};
    Database &database = *m_database;
    m_deliveries = passportDeliveries(database, m_separators, query,
                                      [&database](qint64 customerId) { return einvoice::customerKindOf(database, customerId); });
    m_shownQuery = query;
    m_searched = true;
    showDeliveries();
}

void PassportReportDialog::showDeliveries()
{
    resultTable->setRowCount(0);
    const int quantityColumn = int(passportColumns().indexOf(QStringLiteral("Menge")));
    for (const PassportDelivery &d : m_deliveries) {
        const int row = resultTable->rowCount();
        resultTable->insertRow(row);
        const QStringList texts{storedDateText(d.date), d.noteNr, d.customerName, d.vatNumber, d.botanicalName,
                                d.traceabilityCode, d.origin, d.quantity, d.unit, d.invoiceNr};
        for (int column = 0; column < texts.size(); ++column) {
            auto *item = new QTableWidgetItem(texts.at(column));
            if (column == quantityColumn)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            resultTable->setItem(row, column, item);
        }
    }
    countLabel->setText(m_searched ? countText(m_deliveries)
                                   : QStringLiteral("Botanischen Namen oder Code und Zeitraum eingeben, dann „Suchen“."));
    saveCsvButton->setEnabled(m_searched);
}

void PassportReportDialog::saveCsv()
{
    if (!m_searched)
        throw ConversionError(QStringLiteral("Es ist noch keine Liste gesucht; bitte zuerst „Suchen“ drücken"));
    const DatePeriod period = readPeriod(m_shownQuery.from, m_shownQuery.to);
    const QString proposal = QDir(rememberedFolder(CsvFolderKey, QDir::homePath()))
                                 .filePath(QStringLiteral("Pflanzenpass-Nachweis-%1-bis-%2.csv")
                                               .arg(period.from.toString(Qt::ISODate), period.to.toString(Qt::ISODate)));
    const std::optional<QString> target = askSaveFile(QStringLiteral("Pflanzenpass-Nachweis als CSV speichern"), proposal,
                                                      QStringLiteral("CSV-Dateien (*.csv);;Alle Dateien (*)"));
    if (!target)
        return;
    saveCsvFile(*target, csvDocument(passportCsvRows(m_deliveries, m_separators)));
    rememberFolderOf(CsvFolderKey, *target);
    showMessage(QStringLiteral("Der Pflanzenpass-Nachweis wurde in '%1' gespeichert.").arg(QDir::toNativeSeparators(*target)));
}
