#include "yearoverview.h"

#include "data/csvexport.h"
#include "data/errors.h"
#include "data/money.h"
#include "framework/messages.h"
#include "framework/settings.h"

#include <QComboBox>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

const QString CsvFolderKey = QStringLiteral("csv");

QTableWidget *revenueTable(QWidget *parent, const QString &name, const QString &accessibleName, const QString &firstColumn)
{
    auto *table = new QTableWidget(0, 5, parent);
    table->setObjectName(name);
    table->setAccessibleName(accessibleName);
    table->setHorizontalHeaderLabels(
        {firstColumn, QStringLiteral("Belege"), QStringLiteral("Netto"), QStringLiteral("MwSt."), QStringLiteral("Brutto")});
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->verticalHeader()->hide();
    // A whole year fits without scrolling.
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
    table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    for (int column = 1; column < 5; ++column)
        table->horizontalHeader()->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    return table;
}

void appendRow(QTableWidget *table, const QString &label, const Revenue &revenue, const Separators &separators,
               bool emphasised = false)
{
    const int row = table->rowCount();
    table->insertRow(row);
    const QStringList texts{label, QString::number(revenue.documents), formatMoney(revenue.net, separators),
                            formatMoney(revenue.tax, separators), formatMoney(revenue.gross, separators)};
    for (int column = 0; column < texts.size(); ++column) {
        auto *item = new QTableWidgetItem(texts.at(column));
        if (column > 0)
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        if (emphasised) {
            QFont font = item->font();
            font.setBold(true);
            item->setFont(font);
        }
        table->setItem(row, column, item);
    }
}

QLabel *namedLabel(QWidget *parent, const char *name, const QString &text, QWidget *buddy)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setBuddy(buddy);
    return label;
}

} // namespace

YearOverviewDialog::YearOverviewDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("YearOverview"));
    setWindowTitle(QStringLiteral("Jahresübersicht"));
    resize(660, 680);

    yearChoice = new QComboBox(this);
    yearChoice->setObjectName(QStringLiteral("yearChoice"));
    yearChoice->setAccessibleName(QStringLiteral("Jahr"));
    yearLabel = namedLabel(this, "yearLabel", QStringLiteral("&Jahr:"), yearChoice);
    monthTable = revenueTable(this, QStringLiteral("monthTable"), QStringLiteral("Umsatz je Monat"), QStringLiteral("Monat"));
    monthLabel = namedLabel(this, "monthLabel", QStringLiteral("Umsatz je &Monat (Gutschriften abgezogen):"), monthTable);
    customerTable =
        revenueTable(this, QStringLiteral("customerTable"), QStringLiteral("Umsatz je Kunde"), QStringLiteral("Kunde"));
    customerLabel = namedLabel(this, "customerLabel", QStringLiteral("Umsatz je &Kunde:"), customerTable);
    uncomputedList = new QListWidget(this);
    uncomputedList->setObjectName(QStringLiteral("uncomputedList"));
    uncomputedList->setAccessibleName(QStringLiteral("Nicht berechnete Rechnungen"));
    uncomputedList->setMaximumHeight(80);
    uncomputedLabel = namedLabel(
        this, "uncomputedLabel",
        QStringLiteral("Diese Rechnungen lassen sich nicht berechnen und sind in keiner Summe enthalten; bitte ihre "
                       "Zeilen berichtigen:"),
        uncomputedList);
    uncomputedLabel->setWordWrap(true);
    saveCsvButton = new QPushButton(QStringLiteral("Als CSV speichern ..."), this);
    saveCsvButton->setObjectName(QStringLiteral("saveCsvButton"));
    saveCsvButton->setAccessibleName(QStringLiteral("Als CSV speichern"));
    saveCsvButton->setAutoDefault(false);
    closeButton = new QPushButton(QStringLiteral("&Schließen"), this);
    closeButton->setObjectName(QStringLiteral("closeButton"));
    closeButton->setAccessibleName(QStringLiteral("Schließen"));
    closeButton->setDefault(true);

    auto *yearRow = new QHBoxLayout;
    yearRow->addWidget(yearLabel);
    yearRow->addWidget(yearChoice);
    yearRow->addStretch();
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(saveCsvButton);
    buttons->addStretch();
    buttons->addWidget(closeButton);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(yearRow);
    layout->addWidget(monthLabel);
    layout->addWidget(monthTable, 3);
    layout->addWidget(customerLabel);
    layout->addWidget(customerTable, 2);
    layout->addWidget(uncomputedLabel);
    layout->addWidget(uncomputedList);
    layout->addLayout(buttons);

    connect(yearChoice, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0)
            guarded([&] { showYear(yearChoice->itemData(index).toInt()); });
    });
    connect(saveCsvButton, &QPushButton::clicked, this, [this] { guarded([&] { saveCsv(); }); });
    connect(closeButton, &QPushButton::clicked, this, &QDialog::accept);
}

void YearOverviewDialog::showYears(Database &database, const Separators &separators, const QList<int> &years, int current)
{
    m_separators = separators;
    m_database = &database;
    const int chosen = years.contains(current) ? current : years.value(0);
    {
        // Filled without reading every year it passes on the way.
        const QSignalBlocker quiet(yearChoice);
        yearChoice->clear();
        for (int year : years)
            yearChoice->addItem(QString::number(year), year);
        yearChoice->setCurrentIndex(yearChoice->findData(chosen));
    }
    guarded([&] { showYear(chosen); });
    exec();
    m_database = nullptr;
}

void YearOverviewDialog::showYear(int year)
{
    m_overview = YearOverview();
    fillTables();
    if (!m_database)
        return;
    m_overview = yearOverview(*m_database, year, m_separators);
    fillTables();
}

void YearOverviewDialog::fillTables()
{
    const bool loaded = m_overview.year != 0;
    monthTable->setRowCount(0);
    customerTable->setRowCount(0);
    uncomputedList->clear();
    if (loaded) {
        for (int month = 1; month <= 12; ++month)
            appendRow(monthTable, monthName(month), m_overview.months.at(month - 1), m_separators);
        if (m_overview.undated.documents > 0)
            appendRow(monthTable, UndatedRow, m_overview.undated, m_separators);
        appendRow(monthTable, QStringLiteral("Summe"), m_overview.total, m_separators, true);
        for (const CustomerRevenue &customer : m_overview.customers)
            appendRow(customerTable, customer.name, customer.revenue, m_separators);
        for (const UncomputedInvoice &invoice : m_overview.uncomputed) {
            uncomputedList->addItem(QStringLiteral("%1 Nr. %2 vom %3, %4: %5")
                                        .arg(invoice.creditNote ? QStringLiteral("Gutschrift") : QStringLiteral("Rechnung"),
                                             invoice.nr, invoice.datum, invoice.customer, invoice.problem));
        }
    }
    const bool problems = !m_overview.uncomputed.isEmpty();
    uncomputedLabel->setVisible(problems);
    uncomputedList->setVisible(problems);
    saveCsvButton->setEnabled(loaded);
}

void YearOverviewDialog::saveCsv()
{
    if (m_overview.year == 0)
        throw ConversionError(QStringLiteral("Für dieses Jahr ist keine Übersicht geladen; bitte ein Jahr wählen"));
    const QString proposal = QDir(rememberedFolder(CsvFolderKey, QDir::homePath()))
                                 .filePath(QStringLiteral("Jahresuebersicht-%1.csv").arg(m_overview.year));
    const std::optional<QString> target = askSaveFile(QStringLiteral("Jahresübersicht als CSV speichern"), proposal,
                                                      QStringLiteral("CSV-Dateien (*.csv);;Alle Dateien (*)"));
    if (!target)
        return;
    saveCsvFile(*target, csvDocument(overviewCsvRows(m_overview)));
    rememberFolderOf(CsvFolderKey, *target);
    showMessage(QStringLiteral("Die Jahresübersicht %1 wurde in '%2' gespeichert.")
                    .arg(m_overview.year)
                    .arg(QDir::toNativeSeparators(*target)));
}
