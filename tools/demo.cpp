#include "commandline.h"
#include "commands.h"
#include "output.h"

#include "data/deliverynote.h"
#include "data/duedate.h"
#include "data/invoicelist.h"
#include "data/invoicerepository.h"
#include "data/newdatabase.h"
#include "data/schema.h"
#include "data/years.h"
#include "einvoice/invoicedata.h"
#include "einvoice/prefill.h"
#include "einvoice/store.h"

#include <QByteArray>
#include <QDate>
#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

using newdb::NewDatabase;

namespace {

// The demo's numbers are written with a decimal comma, whatever the settings
// of the PC that makes the file; the file names the separators they are in.
const Separators DemoSeparators{QLatin1Char(','), QLatin1Char('.')};

struct Counts
{
    long long customers = 0;
    long long headers = 0;
    long long lines = 0;
    long long deliveryNotes = 0;
};

// Made in the build from tools/demo/demo.json; a fault in it is one of the
// build, which the tests of the demo find.
QJsonObject demoData()
{
    QFile file(QStringLiteral(":/demo/demo.json"));
    const QJsonDocument document = file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()) : QJsonDocument();
    if (!document.isObject())
        throw Failure{QStringLiteral("Die Demodaten im Programm sind nicht lesbar")};
    return document.object();
}

[[noreturn]] void badDemoData(const QString &key)
{
    throw Failure{QStringLiteral("Die Demodaten im Programm sind fehlerhaft (%1)").arg(key)};
}

// A text as stored: null stands for NULL; anything else, or nothing, is a fault.
std::optional<QByteArray> storedText(const QJsonValue &value, const QString &key)
{
    if (value.isNull())
        return std::nullopt;
    if (!value.isString())
        badDemoData(key);
    return value.toString().toUtf8();
}

// The same as an invoice holds it: a null QString for NULL.
QString storedString(const QJsonValue &value, const QString &key)
{
    const std::optional<QByteArray> t = storedText(value, key);
    return t ? QString::fromUtf8(*t) : QString();
}

QString text(const QJsonObject &object, const QString &key)
{
    return storedString(object.value(key), key);
}

void bind(StatementHandle &statement, int index, const QJsonValue &value, const QString &key)
{
    const std::optional<QByteArray> t = storedText(value, key);
    if (t)
        statement->bindText(index, t->constData());
    else
        statement->bindNull(index);
}

void bindField(StatementHandle &statement, int index, const QJsonObject &object, const QString &key)
{
    bind(statement, index, object.value(key), key);
}

QJsonArray array(const QJsonObject &object, const QString &key)
{
    const QJsonValue value = object.value(key);
    if (!value.isArray())
        badDemoData(key);
    return value.toArray();
}

// A header refers to its customer by the id the database handed out, as text.
using CustomerIds = QHash<QString, QString>;

QString customerId(const CustomerIds &ids, const QJsonObject &invoice)
{
    const auto it = ids.constFind(text(invoice, QStringLiteral("kunde")));
    if (it == ids.constEnd())
        badDemoData(QStringLiteral("kunde"));
    return *it;
}

// An invoice with its positions, [beschreibung, anzahl, einzelpreis] each,
// or with [..., steuersatz, natura] where a line is not at 10 %. It is due
// as its terms say.
Invoice invoiceOf(const QString &nr, const QDate &date, const QJsonObject &data, const QString &customer)
{
    Invoice invoice;
    invoice.header.nr = nr;
    invoice.header.datum = storedDateText(date);
    invoice.header.bezahlung = text(data, QStringLiteral("bezahlung"));
    invoice.header.kundennummer = customer;
    invoice.header.bestimmungsort = text(data, QStringLiteral("bestimmungsort"));
    invoice.header.faellig = dueDateText(invoice.header.datum, invoice.header.bezahlung);
    // Paid in cash: paid that day.
    if (paymentTermsOf(invoice.header.bezahlung).kind == PaymentTerms::Cash)
        invoice.header.bezahlt_am = invoice.header.datum;
    const QString positions = QStringLiteral("positionen");
    for (const QJsonValue &position : array(data, positions)) {
        const QJsonArray fields = position.toArray();
        if (fields.size() != 3 && fields.size() != 5)
            badDemoData(positions);
        InvoiceLine line;
        line.beschreibung = storedString(fields.at(0), positions);
        line.anzahl = storedString(fields.at(1), positions);
        line.einzelpreis = storedString(fields.at(2), positions);
        if (fields.size() == 5) {
            line.steuersatz = storedString(fields.at(3), positions);
            line.natura = storedString(fields.at(4), positions);
        }
        invoice.lines.append(line);
    }
    return invoice;
}

void insertInvoice(NewDatabase &db, int year, Invoice &invoice, Counts &counts)
{
    InvoiceRepository repository(db.connection(), DemoSeparators);
    db.guarded([&] { repository.insert(year, invoice); });
    ++counts.headers;
    counts.lines += invoice.lines.size();
}

// A new user starts on this year's invoices, so the demo has some: dated in
// the last weeks, never before New Year; one of them credited in part.
void addThisYear(NewDatabase &db, const QJsonObject &data, const CustomerIds &ids, Counts &counts)
{
    const QDate today = QDate::currentDate();
    const int year = today.year();
    if (year >= FirstYear && year <= 2004)
        return; // a classic year: its tables are there already
    createYearTables(db.connection(), year);
    const auto dateOf = [&](const QJsonObject &entry) {
        const int daysAgo = entry.value(QStringLiteral("vor_tagen")).toInt(-1);
        if (daysAgo < 0)
            badDemoData(QStringLiteral("vor_tagen"));
        return std::max(today.addDays(-daysAgo), QDate(year, 1, 1));
    };
    QList<Invoice> invoices;
    for (const QJsonValue &value : array(data, QStringLiteral("rechnungen_dieses_jahres"))) {
        const QJsonObject entry = value.toObject();
        Invoice invoice = invoiceOf(QStringLiteral("%1-%2").arg(year).arg(invoices.size() + 1), dateOf(entry), entry,
                                    customerId(ids, entry));
        insertInvoice(db, year, invoice, counts);
        invoices.append(invoice);
    }
    int number = 0;
    for (const QJsonValue &value : array(data, QStringLiteral("gutschriften"))) {
        const QJsonObject entry = value.toObject();
        const int of = entry.value(QStringLiteral("zu")).toInt(0);
        if (of < 1 || of > invoices.size())
            badDemoData(QStringLiteral("zu"));
        const InvoiceHeader &credited = invoices.at(of - 1).header;
        Invoice credit = invoiceOf(QStringLiteral("GS-%1-%2").arg(year).arg(++number), dateOf(entry), entry,
                                   credited.kundennummer);
        credit.header.dokumentart = CreditNoteKind;
        credit.header.bezug_nr = credited.nr;
        credit.header.bezug_datum = credited.datum;
        insertInvoice(db, year, credit, counts);
    }
}

// A delivery note with its positions, [beschreibung, anzahl, einheit,
// einzelpreis, botanischer_name, rueckverfolgung, ursprung] each.
DeliveryNoteRecord deliveryNoteOf(const QDate &date, const QJsonObject &data, const QString &customer)
{
    DeliveryNoteRecord record;
    record.note.datum = storedDateText(date);
    record.note.kundennummer = customer;
    record.note.bestimmungsort = text(data, QStringLiteral("bestimmungsort"));
    record.note.transport = text(data, QStringLiteral("transport"));
    record.note.grund = text(data, QStringLiteral("grund"));
    record.note.colli = text(data, QStringLiteral("colli"));
    const QString positions = QStringLiteral("positionen");
    for (const QJsonValue &position : array(data, positions)) {
        const QJsonArray fields = position.toArray();
        if (fields.size() != 7)
            badDemoData(positions);
        DeliveryLine line;
        QString *const texts[] = {&line.beschreibung,     &line.anzahl,          &line.einheit, &line.einzelpreis,
                                  &line.botanischer_name, &line.rueckverfolgung, &line.ursprung};
        for (int i = 0; i < 7; ++i)
            *texts[i] = storedString(fields.at(i), positions);
        record.lines.append(line);
    }
    return record;
}

// This year's delivery notes, none invoiced yet: a month's deliveries to a
// landscaper waiting for their invoice, and this month's to a private customer.
void addDeliveryNotes(NewDatabase &db, const QJsonObject &data, const CustomerIds &ids, Counts &counts)
{
    const QDate today = QDate::currentDate();
    const int year = today.year();
    const QDate thisMonth(year, today.month(), 1);
    DeliveryNoteRepository repository(db.connection(), DemoSeparators);
    for (const QJsonValue &value : array(data, QStringLiteral("lieferscheine"))) {
        const QJsonObject entry = value.toObject();
        const int day = entry.value(QStringLiteral("tag")).toInt(0);
        if (day < 1 || day > 28)
            badDemoData(QStringLiteral("tag"));
        const QDate month = entry.value(QStringLiteral("vormonat")).toBool() ? thisMonth.addMonths(-1) : thisMonth;
        // In January last month lies in a year whose tables the demo does not make.
        const QDate date = std::clamp(month.addDays(day - 1), QDate(year, 1, 1), today);
        DeliveryNoteRecord record = deliveryNoteOf(date, entry, customerId(ids, entry));
        db.guarded([&] {
            record.note.nr = repository.nextNumber(year);
            repository.insert(year, record);
        });
        ++counts.deliveryNotes;
    }
}

einvoice::Seller sellerOf(const QJsonObject &firma)
{
    // Named as the columns of the table it is stored in.
    const std::pair<const char *, QString einvoice::Seller::*> fields[] = {
        {"name", &einvoice::Seller::businessName}, {"inhaber", &einvoice::Seller::owner},
        {"strasse", &einvoice::Seller::street}, {"cap", &einvoice::Seller::cap},
        {"ort", &einvoice::Seller::town}, {"provinz", &einvoice::Seller::province},
        {"land", &einvoice::Seller::country}, {"ust_land", &einvoice::Seller::vatCountry},
        {"ust_nr", &einvoice::Seller::vatNumber}, {"steuernummer", &einvoice::Seller::fiscalCode},
        {"steuerregime", &einvoice::Seller::taxRegime}, {"telefon", &einvoice::Seller::telephone},
        {"email", &einvoice::Seller::email}, {"bank", &einvoice::Seller::bankName},
        {"iban", &einvoice::Seller::iban}, {"bic", &einvoice::Seller::bic},
        {"zahlungszeile", &einvoice::Seller::paymentLine},
        {"naechste_uebertragung", &einvoice::Seller::nextTransmissionNumber},
    };
    einvoice::Seller seller;
    for (const auto &[key, member] : fields)
        seller.*member = text(firma, QLatin1String(key));
    return seller;
}

// What the customer's row tells, and what the e-invoice needs beyond it.
einvoice::Buyer buyerOf(const QJsonObject &customer)
{
    einvoice::Buyer buyer = einvoice::buyerFromCustomer(
        text(customer, QStringLiteral("name")), text(customer, QStringLiteral("name2")),
        text(customer, QStringLiteral("piva")), text(customer, QStringLiteral("adresse")));
    const QJsonObject efattura = customer.value(QStringLiteral("efattura")).toObject();
    // Where the guess from the customer's row is not what the demo means.
    if (efattura.contains(QStringLiteral("kundenart"))) {
        bool known = false;
        buyer.kind = customerKindOfCode(text(efattura, QStringLiteral("kundenart")), &known);
        if (!known)
            badDemoData(QStringLiteral("kundenart"));
        buyer.isPerson = buyer.kind == CustomerKind::ItalianPerson || buyer.kind == CustomerKind::EuPerson;
    }
    buyer.recipientCode = text(efattura, QStringLiteral("empfaengercode"));
    buyer.pec = text(efattura, QStringLiteral("pec"));
    buyer.fiscalCode = text(efattura, QStringLiteral("steuernummer"));
    buyer.province = text(efattura, QStringLiteral("provinz"));
    return buyer;
}

Counts fillDemo(NewDatabase &db, const QJsonObject &data)
{
    Counts counts;
    CustomerIds ids;
    std::vector<std::pair<long long, QJsonObject>> customers;
    {
        StatementHandle insert = db.prepare("INSERT INTO kunde (name, adresse, telefon, piva, ansprache, kundennr, name2) "
                                             "VALUES (?, ?, ?, ?, ?, ?, ?)");
        const char *const columns[] = {"name", "adresse", "telefon", "piva", "ansprache", "kundennr", "name2"};
        for (const QJsonValue &value : array(data, QStringLiteral("kunden"))) {
            const QJsonObject customer = value.toObject();
            for (int i = 0; i < 7; ++i)
                bindField(insert, i + 1, customer, QLatin1String(columns[i]));
            db.guarded([&] { insert->run(); });
            const long long id = db.connection().lastInsertId();
            ids.insert(text(customer, QStringLiteral("kundennr")), QString::number(id));
            customers.emplace_back(id, customer);
            ++counts.customers;
        }
    }

    addThisYear(db, data, ids, counts);
    addDeliveryNotes(db, data, ids, counts);
    for (const QJsonValue &value : array(data, QStringLiteral("rechnungen"))) {
        const QJsonObject invoice = value.toObject();
        const int year = invoice.value(QStringLiteral("jahr")).toInt();
        if (year < FirstYear || year > 2004)
            badDemoData(QStringLiteral("jahr"));
        const QDate date = storedDate(text(invoice, QStringLiteral("datum")));
        if (!date.isValid())
            badDemoData(QStringLiteral("datum"));
        Invoice stored = invoiceOf(text(invoice, QStringLiteral("nr")), date, invoice, customerId(ids, invoice));
        // Long paid: when each fell due.
        stored.header.bezahlt_am = stored.header.faellig.isEmpty() ? stored.header.datum : stored.header.faellig;
        insertInvoice(db, year, stored, counts);
    }

    // Through the program's own store, with its checks: demo data it would
    // refuse must not be made.
    const QJsonObject firma = data.value(QStringLiteral("firma")).toObject();
    einvoice::saveSeller(db.connection(), sellerOf(firma));
    {
        // The plant passport's registration, which the e-invoice's seller does not carry.
        using namespace schema::business;
        StatementHandle update = db.prepare(QStringLiteral("UPDATE %1 SET %2 = ?1, %3 = ?2")
                                                .arg(Table, RegistrationNumber, SiteCode)
                                                .toUtf8());
        bindField(update, 1, firma, RegistrationNumber);
        bindField(update, 2, firma, SiteCode);
        db.guarded([&] { update->run(); });
    }
    for (const auto &[id, customer] : customers)
        einvoice::saveBuyer(db.connection(), id, buyerOf(customer));
    return counts;
}

} // namespace

int runDemo(CommandLine &commandLine)
{
    commandLine.setDescription(QStringLiteral("Legt eine Datenbank mit erfundenen Beispieldaten an, auch mit Rechnungen "
                                              "und Lieferscheinen des laufenden Jahres; eine vorhandene Datei wird nie "
                                              "überschrieben."));
    commandLine.addArgument(QStringLiteral("DATEI"), QStringLiteral("die neue Datenbankdatei"));
    if (!commandLine.parse())
        return ExitOk;
    const QString file = commandLine.file();

    const QJsonObject data = demoData();
    NewDatabase db(file);
    db.startWithSchema(DemoSeparators);
    const Counts c = fillDemo(db, data);
    db.finish();
    printLine(stdout, QStringLiteral("Demo-Datenbank %1 angelegt: %2 Kunden, %3 Rechnungen, %4 Positionen, %5 Lieferscheine.")
                          .arg(shown(file))
                          .arg(c.customers)
                          .arg(c.headers)
                          .arg(c.lines)
                          .arg(c.deliveryNotes));
    return ExitOk;
}
