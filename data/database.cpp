#include "database.h"

#include "errors.h"
#include "fileseparators.h"
#include "headercheck.h"
#include "lineamount.h"

#include <algorithm>
#include <exception>

QString lastNumberSql(int year)
{
    return QStringLiteral("select * from %1 order by %2 desc").arg(tablesOfYear(year).headerTable, schema::header::Id);
}

InvoiceData::InvoiceData() : m_database(makeDatabase(QString())), connection(*m_database)
{
    using namespace schema;
    customers.setSQL(CustomerSql);
    for (QLatin1StringView name : {customer::Name, customer::Id, customer::Address, customer::Telephone, customer::VatNumber,
                                   customer::Salutation, customer::CustomerNumber, customer::Owner}) {
        customers.declareField(name, name == customer::Id ? FieldKind::AutoInc
                                     : name == customer::Address ? FieldKind::Memo
                                                                 : FieldKind::Text);
    }

    customerTable.setTableName(customer::Table);

    invoiceHeaders.setTableName(tablesOfYear(ClassicStartYear).headerTable);
    invoiceHeaders.declareField(header::Id, FieldKind::AutoInc);
    for (QLatin1StringView name : {header::Number, header::Date, header::Payment, header::CustomerId, header::Destination})
        invoiceHeaders.declareField(name, FieldKind::Text);
    // A year made before credit notes and payments has none of these.
    for (QLatin1StringView name : {header::DocumentKind, header::ReferenceNumber, header::ReferenceDate, header::DueDate,
                                   header::PaidDate})
        invoiceHeaders.declareOptionalField(name, FieldKind::Text);
    invoiceHeaders.setBeforePost(checkHeaderBeforePost);

    invoiceLines.setTableName(tablesOfYear(ClassicStartYear).lineTable);
    invoiceLines.declareField(line::Id, FieldKind::AutoInc);
    for (QLatin1StringView name : {line::InvoiceNumber, line::Description, line::Quantity, line::UnitPrice, line::Amount})
        invoiceLines.declareField(name, FieldKind::Text);
    // A year made before lines had rates has its lines at 10 %.
    // ... and one made before deferred invoices names no delivery notes.
    for (QLatin1StringView name : {line::VatRate, line::Nature, line::DeliveryNoteNumber, line::DeliveryNoteDate})
        invoiceLines.declareOptionalField(name, FieldKind::Text);
    invoiceLines.declareOptionalField(line::Position, FieldKind::Float);
    invoiceLines.setPositionField(line::Position);
    invoiceLines.declareField(QStringLiteral("summerechn"), FieldKind::CalcFloat, QStringLiteral("###,###0.00"));
    invoiceLines.declareField(QStringLiteral("mitmwst"), FieldKind::CalcFloat);
    invoiceLines.setOnCalcFields(calculateLineAmount);
    invoiceLines.setBeforePost(checkLineBeforePost);
    invoiceLines.setNewRowValues([this]() -> QList<std::pair<QString, QString>> {
        if (!m_newLineRate)
            return {};
        const VatRate rate = m_newLineRate();
        if (rate == StandardRate)
            return {};
        return {{line::VatRate, QString::number(rate.percent)}, {line::Nature, rate.nature}};
    });

    lastInvoiceNumber.setSQL(lastNumberSql(ClassicStartYear));
    findYears();
}

void InvoiceData::setSeparators(const Separators &userSeparators)
{
    m_userSeparators = userSeparators;
    passSeparatorsOn();
}

void InvoiceData::readFileSeparators()
{
    m_fileSeparators = storedSeparators(connection);
    passSeparatorsOn();
}

void InvoiceData::passSeparatorsOn()
{
    for (RecordSet *rs : {&customerTable, &invoiceHeaders, &invoiceLines, &customers, &lastInvoiceNumber})
        rs->setSeparators(separators());
}

void InvoiceData::findYears()
{
    const std::vector<YearTables> found = connection.isOpen() ? ::findYears(connection) : std::vector<YearTables>();
    m_newestYear = found.empty() ? ClassicStartYear : found.front().year;
    m_years = found;
    for (int year : ClassicYears)
        if (std::none_of(found.begin(), found.end(), [&](const YearTables &y) { return y.year == year; }))
            m_years.push_back(tablesOfYear(year));
    sortNewestFirst(m_years);
}

void InvoiceData::open(const QString &fileName, int busyTimeoutMs)
{
    connection.open(fileName, busyTimeoutMs);
    readFileSeparators();
    findYears();
    m_year = m_newestYear;
    invoiceHeaders.setTableName(tablesOfYear(m_year).headerTable);
    invoiceLines.setTableName(tablesOfYear(m_year).lineTable);
    lastInvoiceNumber.setSQL(lastNumberStatement());
    for (RecordSet *rs : {&customerTable, &invoiceHeaders, &invoiceLines, &customers})
        rs->Open();
}

void InvoiceData::settleAll()
{
    for (RecordSet *rs : {&invoiceLines, &invoiceHeaders, &customers, &customerTable})
        if (rs->Active())
            rs->Settle();
}

void InvoiceData::setYear(int year)
{
    const auto y = std::find_if(m_years.begin(), m_years.end(), [&](const YearTables &t) { return t.year == year; });
    if (y == m_years.end())
        throw EngineError(QStringLiteral("Für das Jahr %1 gibt es keine Tabellen").arg(year));
    settleYearSets();
    m_year = year;
    invoiceHeaders.Close();
    invoiceHeaders.setTableName(y->headerTable);
    invoiceHeaders.Open();
    invoiceLines.Close();
    invoiceLines.setTableName(y->lineTable);
    invoiceLines.Open();
}

void InvoiceData::settleYearSets()
{
    // Store or drop what is pending before the sets close: closing would discard it.
    for (RecordSet *rs : {&invoiceLines, &invoiceHeaders})
        if (rs->Active())
            rs->Settle();
}

void InvoiceData::addYear(int year)
{
    settleYearSets();
    createYearTables(connection, year);
    // The tables are stored from here on: reading the list back could fail
    // and make the new year look missing, so it is added as it was made.
    if (std::none_of(m_years.begin(), m_years.end(), [&](const YearTables &y) { return y.year == year; }))
        m_years.push_back(tablesOfYear(year));
    sortNewestFirst(m_years);
    m_newestYear = std::max(m_newestYear, year);
    setYear(year);
}

QString InvoiceData::customerSearchSql(const QString &text)
{
    // Only pasted text carries one; no name in the file can hold it.
    if (text.contains(QChar(0)))
        throw EngineError(QStringLiteral("Der Suchtext enthält ein Nullzeichen (Zeichencode 0); danach kann nicht gesucht werden. "
                                         "Bitte den Suchtext neu eingeben"));
    QString quoted = text;
    quoted.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QStringLiteral("SELECT * FROM %1 WHERE %2 LIKE '%").arg(schema::customer::Table, schema::customer::Name) + quoted
           + QStringLiteral("%';");
}
