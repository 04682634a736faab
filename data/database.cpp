#include "database.h"

#include "deliverynote.h"
#include "errors.h"
#include "fileseparators.h"
#include "headercheck.h"
#include "invoicelist.h"
#include "lineamount.h"
#include "plantpassport.h"

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

    const DeliveryTables classic = deliveryTablesOfYear(ClassicStartYear);
    deliveryNotes.setTableName(classic.noteTable);
    deliveryNotes.declareField(deliveryNote::Id, FieldKind::AutoInc);
    for (QLatin1StringView name : {deliveryNote::Number, deliveryNote::Date, deliveryNote::CustomerId, deliveryNote::Destination,
                                   deliveryNote::Transport, deliveryNote::Reason, deliveryNote::Packages,
                                   deliveryNote::InvoiceNumber})
        deliveryNotes.declareField(name, FieldKind::Text);
    deliveryNotes.setBeforePost([this](RecordSet &notes) { checkNoteBeforePost(notes); });
    deliveryNotes.setNewRowValues([this] { return newNoteValues(); });

    deliveryLines.setTableName(classic.lineTable);
    deliveryLines.declareField(deliveryLine::Id, FieldKind::AutoInc);
    for (QLatin1StringView name : {deliveryLine::NoteNumber, deliveryLine::Description, deliveryLine::Quantity, deliveryLine::Unit,
                                   deliveryLine::UnitPrice, deliveryLine::VatRate, deliveryLine::BotanicalName,
                                   deliveryLine::Traceability, deliveryLine::Origin})
        deliveryLines.declareField(name, FieldKind::Text);
    deliveryLines.declareField(deliveryLine::Position, FieldKind::Float);
    deliveryLines.setPositionField(deliveryLine::Position);
    deliveryLines.setBeforePost([this](RecordSet &lines) { checkDeliveryLineBeforePost(lines); });

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
    for (RecordSet *rs : {&customerTable, &invoiceHeaders, &invoiceLines, &customers, &lastInvoiceNumber, &deliveryNotes,
                          &deliveryLines})
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
    openDeliverySets();
}

void InvoiceData::settleAll()
{
    for (RecordSet *rs : {&invoiceLines, &deliveryLines, &invoiceHeaders, &deliveryNotes, &customers, &customerTable})
        if (rs->Active())
            rs->Settle();
}

void InvoiceData::reopenDeliveryNotes()
{
    for (RecordSet *rs : {&deliveryLines, &deliveryNotes})
        if (rs->Active())
            rs->Settle();
    openDeliverySets();
}

void InvoiceData::openDeliverySets()
{
    deliveryLines.Close();
    deliveryNotes.Close();
    m_deliveryProblem.clear();
    const DeliveryTables tables = deliveryTablesOfYear(m_year);
    deliveryNotes.setTableName(tables.noteTable);
    deliveryLines.setTableName(tables.lineTable);
    try {
        if (!hasDeliveryTables(connection, m_year)) {
            m_deliveryProblem = QStringLiteral("Für das Jahr %1 gibt es noch keine Tabellen für Lieferscheine. Das Programm "
                                               "bietet sie beim nächsten Start an; bitte die Frage dann mit „Ja“ beantworten.")
                                    .arg(m_year);
            return;
        }
        deliveryNotes.Open();
        deliveryLines.Open();
    } catch (const AppError &e) {
        // The invoices of the year are still there to work with.
        deliveryLines.Close();
        deliveryNotes.Close();
        m_deliveryProblem =
            QStringLiteral("Die Lieferscheine des Jahres %1 können nicht gelesen werden: %2").arg(m_year).arg(e.message());
    }
}

void InvoiceData::setYear(int year)
{
    const auto y = std::find_if(m_years.begin(), m_years.end(), [&](const YearTables &t) { return t.year == year; });
    if (y == m_years.end())
        throw EngineError(QStringLiteral("Für das Jahr %1 gibt es keine Tabellen").arg(year));
    settleYearSets();
    m_year = year;
    // First, so that a year whose invoice tables fail still shows its own notes, not another year's.
    openDeliverySets();
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
    for (RecordSet *rs : {&invoiceLines, &deliveryLines, &invoiceHeaders, &deliveryNotes})
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

// ---------------------------------------------------------------- delivery notes

namespace {

QString storedText(const Field *field) { return field->OldValue().toText(field->DataSet()->separators()); }

QByteArray quoted(Database &db, const QString &name) { return db.quoteIdentifier(name.toUtf8()); }

} // namespace

QList<std::pair<QString, QString>> InvoiceData::newNoteValues()
{
    using namespace schema::deliveryNote;
    const QDate today = m_fixedToday.isValid() ? m_fixedToday : QDate::currentDate();
    return {{Number, DeliveryNoteRepository(connection, separators()).nextNumber(m_year)},
            {Date, storedDateText(today)},
            {Transport, transportChoices().constFirst()},
            {Reason, reasonChoices().constFirst()}};
}

void InvoiceData::checkDeliveryNoteChangeable() const
{
    if (!deliveryNotes.Active() || deliveryNotes.IsEmpty())
        return;
    const Field *invoice = deliveryNotes.FieldByName(schema::deliveryNote::InvoiceNumber);
    const QString invoiceNr = storedText(invoice).trimmed();
    if (invoiceNr.isEmpty())
        return;
    throw ConversionError(QStringLiteral("Der Lieferschein Nr. %1 ist schon mit der Rechnung Nr. %2 abgerechnet und kann "
                                         "deshalb nicht mehr geändert oder gelöscht werden. Bitte die Änderung verwerfen "
                                         "(Abbrechen).")
                              .arg(storedText(deliveryNotes.FieldByName(schema::deliveryNote::Number)).trimmed(), invoiceNr));
}

void InvoiceData::checkNoteBeforePost(RecordSet &notes)
{
    using namespace schema::deliveryNote;
    checkDeliveryNoteChangeable();
    const QString nr = notes.FieldByName(Number)->AsString().trimmed();
    const QString date = notes.FieldByName(Date)->AsString().trimmed();
    if (nr.isEmpty() || date.isEmpty())
        throw ConversionError(QStringLiteral("Der Lieferschein braucht eine Nummer und ein Datum. Bitte beide eintragen."));
    if (!storedDate(date).isValid())
        throw ConversionError(QStringLiteral("„%1“ ist kein gültiges Datum. Bitte das Datum des Lieferscheins als TT.MM.JJJJ "
                                             "eingeben (zum Beispiel 31.01.2026).")
                                  .arg(date));
    const Field *id = notes.FieldByName(Id);
    const QString table = notes.TableName();
    const QString storedNr = storedText(notes.FieldByName(Number)).trimmed();
    withContext(QStringLiteral("Die Lieferscheine können nicht gelesen werden"), [&] {
        StatementHandle same = connection.prepare(QStringLiteral("SELECT count(*) FROM %1 WHERE trim(%2) = ?1 AND %3 IS NOT ?2")
                                                      .arg(QString::fromUtf8(quoted(connection, table)), Number, Id)
                                                      .toUtf8());
        same->bindText(1, nr.toStdString());
        if (id->IsNull())
            same->bindNull(2);
        else
            same->bindInteger(2, id->AsInteger());
        if (same->step() && same->columnInteger(0) > 0)
            throw ConversionError(QStringLiteral("Im Jahr %1 gibt es schon einen Lieferschein Nr. %2. Bitte eine andere "
                                                 "Nummer eingeben.")
                                      .arg(m_year)
                                      .arg(nr));
        // Its lines know the note by its number: a new one would leave them behind.
        if (id->IsNull() || storedNr.isEmpty() || storedNr == nr)
            return;
        StatementHandle lines = connection.prepare(QStringLiteral("SELECT count(*) FROM %1 WHERE trim(%2) = ?1")
                                                       .arg(QString::fromUtf8(quoted(connection, deliveryLines.TableName())),
                                                            schema::deliveryLine::NoteNumber)
                                                       .toUtf8());
        lines->bindText(1, storedNr.toStdString());
        if (lines->step() && lines->columnInteger(0) > 0)
            throw ConversionError(QStringLiteral("Der Lieferschein Nr. %1 hat schon Positionen; seine Nummer kann deshalb "
                                                 "nicht mehr geändert werden. Bitte wieder die Nummer %1 eintragen.")
                                      .arg(storedNr));
    });
}

void InvoiceData::checkDeliveryLineBeforePost(RecordSet &lines)
{
    // A line belongs to its note: an invoiced note's lines are the invoice's too.
    checkDeliveryNoteChangeable();
    checkLineBeforePost(lines);
    if (!m_deliveryCustomerKind)
        return;
    using namespace schema::deliveryLine;
    const auto text = [&](QLatin1StringView name) { return lines.FieldByName(name)->AsString(); };
    DeliveryLine line;
    line.beschreibung = text(Description);
    line.botanischer_name = text(BotanicalName);
    line.rueckverfolgung = text(Traceability);
    line.ursprung = text(Origin);
    if (!line.isPlant())
        return;
    if (const QString problem = passportProblem(line, m_deliveryCustomerKind()); !problem.isEmpty())
        throw ConversionError(problem);
}

void InvoiceData::deleteDeliveryNote()
{
    using namespace schema::deliveryNote;
    if (!deliveryNotes.Active() || deliveryNotes.IsEmpty())
        throw ConversionError(QStringLiteral("Es ist kein Lieferschein gewählt."));
    if (deliveryNotes.State() == DataSetState::Insert) {
        deliveryNotes.Cancel();
        return;
    }
    checkDeliveryNoteChangeable();
    // What was being typed goes with the note.
    if (deliveryLines.State() != DataSetState::Browse)
        deliveryLines.Cancel();
    if (deliveryNotes.State() == DataSetState::Edit)
        deliveryNotes.Cancel();
    const qint64 id = deliveryNotes.FieldByName(Id)->AsInteger();
    const QString nr = deliveryNotes.FieldByName(Number)->AsString();
    const QString what = QStringLiteral("Der Lieferschein Nr. %1 kann nicht gelöscht werden").arg(nr.trimmed());
    {
        Transaction transaction(connection, true, what);
        withContext(what, [&] {
            // Only while it is not invoiced, whatever another program did meanwhile.
            StatementHandle note = connection.prepare(
                QStringLiteral("DELETE FROM %1 WHERE %2 = ?1 AND (%3 IS NULL OR trim(%3) = '')")
                    .arg(QString::fromUtf8(quoted(connection, deliveryNotes.TableName())), Id, InvoiceNumber)
                    .toUtf8());
            note->bindInteger(1, id);
            note->run();
            if (connection.changes() == 0)
                throw ConversionError(QStringLiteral("Der Lieferschein Nr. %1 wurde inzwischen von einem anderen Programm "
                                                     "abgerechnet oder gelöscht; er wird deshalb nicht gelöscht.")
                                          .arg(nr.trimmed()));
            StatementHandle noteLines = connection.prepare(QStringLiteral("DELETE FROM %1 WHERE %2 = ?1")
                                                               .arg(QString::fromUtf8(quoted(connection, deliveryLines.TableName())),
                                                                    schema::deliveryLine::NoteNumber)
                                                               .toUtf8());
            noteLines->bindText(1, nr.toStdString());
            noteLines->run();
        });
        transaction.commit();
    }
    deliveryLines.Refresh();
    deliveryNotes.Refresh();
}
