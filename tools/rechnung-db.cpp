// rechnung-db: makes new invoicing databases, either empty, filled with a small
// demo data set that shows the program off, or filled with large generated
// data for measurements; these never touch a file that already exists. It
// also adds a year's tables to an existing database, and writes an invoice of
// an existing database as an Italian electronic invoice, the way the program
// does, for an accountant's batch, and copies and checks database files
// from a terminal. Last, it brings over the data of an Access file.

#include "access/accessfile.h"
#include "access/import.h"
#include "data/amount.h"
#include "data/backup.h"
#include "data/engine.h"
#include "data/errors.h"
#include "data/newdatabase.h"
#include "data/years.h"
#include "einvoice/prefill.h"
#include "einvoice/store.h"

#include <QByteArray>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>

#include <sqlite3.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

const char *const usageText =
    "Aufruf: rechnung-db create DATEI | rechnung-db demo DATEI | "
    "rechnung-db generate DATEI --customers N --headers N --lines N | "
    "rechnung-db add-year DATEI JAHR | "
    "rechnung-db fatturapa DATEI --year JAHR --nr NR [--out ORDNER] | "
    "rechnung-db backup QUELLE ZIEL | rechnung-db check DATEI | "
    "rechnung-db import-access ACCESSDATEI ZIEL | rechnung-db import-access --list ACCESSDATEI";

// Large enough for any benchmark, small enough that no index arithmetic below
// can overflow.
constexpr long long maxCount = 100'000'000;

enum ExitCode { ExitOk = 0, ExitFailure = 1, ExitUsage = 2 };

struct UsageError
{
    QString message;
};

struct Failure
{
    QString message;
};

// Every message must stay on one line, even for a file name with a line break.
QString shown(const QString &text)
{
    QString out = text;
    for (QChar &c : out) {
        if (c.unicode() < 0x20)
            c = QLatin1Char('?');
    }
    return out;
}

void printLine(std::FILE *stream, const QString &line)
{
    std::fputs(line.toUtf8().constData(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

// Messages from Qt and SQLite come without a full stop; ours end in one.
void printError(const QString &message)
{
    QString line = QStringLiteral("rechnung-db: ") + message;
    if (!line.endsWith(QLatin1Char('.')))
        line += QLatin1Char('.');
    printLine(stderr, line);
}

// ---------------------------------------------------------------------------
// Command line

enum class Command { Help, Create, Demo, Generate, AddYear, FatturaPA, Backup, Check, ImportAccess };

struct Options
{
    Command command = Command::Help;
    QString file;
    QString year; // add-year, fatturapa: as typed, checked when it runs
    QString nr;
    QString out;
    QString target; // backup, import-access
    bool list = false; // import-access --list
    long long customers = 0;
    long long headers = 0;
    long long lines = 0;
};

long long parseCount(const QString &option, const QString &value)
{
    bool digitsOnly = !value.isEmpty();
    for (QChar c : value)
        digitsOnly = digitsOnly && c >= QLatin1Char('0') && c <= QLatin1Char('9');
    if (!digitsOnly)
        throw UsageError{QStringLiteral("Ungültige Anzahl '%1' für %2: erwartet wird eine ganze Zahl ab 0")
                             .arg(shown(value), option)};
    bool ok = false;
    const long long n = value.toLongLong(&ok);
    if (!ok || n > maxCount)
        throw UsageError{QStringLiteral("Die Anzahl '%1' für %2 ist zu groß (höchstens %3)")
                             .arg(shown(value), option)
                             .arg(maxCount)};
    return n;
}

// A lone "-" is left to be a file name; anything else starting with '-' is an option.
bool looksLikeOption(const QString &arg)
{
    return arg.size() > 1 && arg.startsWith(QLatin1Char('-'));
}

Options parseArguments(const QStringList &args)
{
    Options o;
    if (args.isEmpty())
        throw UsageError{QStringLiteral("Kein Befehl angegeben")};
    const QString &name = args.first();
    if (name == QLatin1String("--help") || name == QLatin1String("-h") || name == QLatin1String("help"))
        return o;
    if (name == QLatin1String("create"))
        o.command = Command::Create;
    else if (name == QLatin1String("demo"))
        o.command = Command::Demo;
    else if (name == QLatin1String("generate"))
        o.command = Command::Generate;
    else if (name == QLatin1String("add-year"))
        o.command = Command::AddYear;
    else if (name == QLatin1String("fatturapa"))
        o.command = Command::FatturaPA;
    else if (name == QLatin1String("backup"))
        o.command = Command::Backup;
    else if (name == QLatin1String("check"))
        o.command = Command::Check;
    else if (name == QLatin1String("import-access"))
        o.command = Command::ImportAccess;
    else
        throw UsageError{QStringLiteral("Unbekannter Befehl '%1'").arg(shown(name))};

    std::optional<QString> file, year, nr, out, target;
    std::optional<long long> customers, headers, lines;
    for (qsizetype i = 1; i < args.size(); ++i) {
        QString arg = args.at(i);
        if (!looksLikeOption(arg)) {
            if (!file)
                file = arg;
            else if (o.command == Command::AddYear && !year)
                year = arg;
            else if ((o.command == Command::Backup || o.command == Command::ImportAccess) && !target)
                target = arg;
            else
                throw UsageError{QStringLiteral("Überzähliges Argument '%1'").arg(shown(arg))};
            continue;
        }
        if (o.command == Command::ImportAccess && arg == QLatin1String("--list")) {
            if (o.list)
                throw UsageError{QStringLiteral("Die Option %1 ist doppelt angegeben").arg(arg)};
            o.list = true;
            continue;
        }
        if (o.command != Command::Generate && o.command != Command::FatturaPA)
            throw UsageError{QStringLiteral("Unbekannte Option '%1' für %2").arg(shown(arg), name)};
        QString value;
        bool haveValue = false;
        const qsizetype eq = arg.indexOf(QLatin1Char('='));
        if (eq > 0) {
            value = arg.mid(eq + 1);
            arg.truncate(eq);
            haveValue = true;
        }
        // An option's value: given once, after "=" or as the next argument.
        const auto takeValue = [&](auto &target, const QString &missingWhat) {
            if (target)
                throw UsageError{QStringLiteral("Die Option %1 ist doppelt angegeben").arg(arg)};
            if (!haveValue) {
                if (i + 1 >= args.size())
                    throw UsageError{QStringLiteral("Bei %1 fehlt %2").arg(arg, missingWhat)};
                value = args.at(++i);
            }
        };
        const auto unknown = [&] { return UsageError{QStringLiteral("Unbekannte Option '%1'").arg(shown(arg))}; };
        if (o.command == Command::FatturaPA) {
            std::optional<QString> *target = arg == QLatin1String("--year") ? &year
                                             : arg == QLatin1String("--nr") ? &nr
                                             : arg == QLatin1String("--out") ? &out
                                                                             : nullptr;
            if (!target)
                throw unknown();
            takeValue(*target, QStringLiteral("der Wert"));
            *target = value;
            continue;
        }
        std::optional<long long> *target = arg == QLatin1String("--customers") ? &customers
                                           : arg == QLatin1String("--headers") ? &headers
                                           : arg == QLatin1String("--lines") ? &lines
                                                                             : nullptr;
        if (!target)
            throw unknown();
        takeValue(*target, QStringLiteral("die Anzahl"));
        *target = parseCount(arg, value);
    }

    if (!file)
        throw UsageError{QStringLiteral("Beim Befehl %1 fehlt die Datei").arg(name)};
    if (file->isEmpty())
        throw UsageError{QStringLiteral("Der Dateiname ist leer")};
    o.file = *file;
    if (o.command == Command::Backup) {
        if (!target)
            throw UsageError{QStringLiteral("Beim Befehl backup fehlt die Zieldatei")};
        if (target->isEmpty())
            throw UsageError{QStringLiteral("Der Name der Zieldatei ist leer")};
        o.target = *target;
    }
    if (o.command == Command::ImportAccess) {
        if (o.list && target)
            throw UsageError{QStringLiteral("Überzähliges Argument '%1'").arg(shown(*target))};
        if (!o.list && !target)
            throw UsageError{QStringLiteral("Beim Befehl import-access fehlt die Zieldatei")};
        if (target && target->isEmpty())
            throw UsageError{QStringLiteral("Der Name der Zieldatei ist leer")};
        o.target = target.value_or(QString());
    }
    if (o.command == Command::AddYear) {
        if (!year)
            throw UsageError{QStringLiteral("Beim Befehl add-year fehlt das Jahr")};
        o.year = *year;
    }
    if (o.command == Command::FatturaPA) {
        QStringList missing;
        if (!year)
            missing << QStringLiteral("--year");
        if (!nr)
            missing << QStringLiteral("--nr");
        if (!missing.isEmpty())
            throw UsageError{QStringLiteral("Beim Befehl fatturapa fehlt %1").arg(missing.join(QStringLiteral(", ")))};
        if (nr->isEmpty())
            throw UsageError{QStringLiteral("Die Rechnungsnummer bei --nr ist leer")};
        if (out && out->isEmpty())
            throw UsageError{QStringLiteral("Der Ordner bei --out ist leer")};
        o.year = *year;
        o.nr = *nr;
        // Where the accountant runs it, unless told otherwise.
        o.out = out.value_or(QStringLiteral("."));
    }

    if (o.command == Command::Generate) {
        QStringList missing;
        if (!customers)
            missing << QStringLiteral("--customers");
        if (!headers)
            missing << QStringLiteral("--headers");
        if (!lines)
            missing << QStringLiteral("--lines");
        if (!missing.isEmpty())
            throw UsageError{QStringLiteral("Beim Befehl generate fehlt %1").arg(missing.join(QStringLiteral(", ")))};
        o.customers = *customers;
        o.headers = *headers;
        o.lines = *lines;
        // Every header names a customer and every line names a header, so a
        // table with rows cannot hang off an empty one.
        if (o.headers > 0 && o.customers == 0)
            throw UsageError{QStringLiteral("Rechnungen brauchen Kunden: --headers %1 bei --customers 0").arg(o.headers)};
        if (o.lines > 0 && o.headers == 0)
            throw UsageError{QStringLiteral("Positionen brauchen Rechnungen: --lines %1 bei --headers 0").arg(o.lines)};
    }
    return o;
}

using newdb::NewDatabase;
using newdb::Statement;

struct YearInserts
{
    const char *insertHeader;
    const char *insertLine;
};

// 2002 was the first year and carries no year in its table names.
const YearInserts tables2004{
    "INSERT INTO rechnungsdaten2004 (nr, datum, bezahlung, kundennummer, bestimmungsort) VALUES (?, ?, ?, ?, ?)",
    "INSERT INTO rechnung2004 (rechnungsnummer, beschreibung, anzahl, einzelpreis) VALUES (?, ?, ?, ?)"};
const YearInserts tables2003{
    "INSERT INTO rechnungsdaten2003 (nr, datum, bezahlung, kundennummer, bestimmungsort) VALUES (?, ?, ?, ?, ?)",
    "INSERT INTO rechnung2003 (rechnungsnummer, beschreibung, anzahl, einzelpreis) VALUES (?, ?, ?, ?)"};
const YearInserts tables2002{
    "INSERT INTO rechnungsdaten (nr, datum, bezahlung, kundennummer, bestimmungsort) VALUES (?, ?, ?, ?, ?)",
    "INSERT INTO rechnung (rechnungsnummer, beschreibung, anzahl, einzelpreis) VALUES (?, ?, ?, ?)"};

// ---------------------------------------------------------------------------
// Demo data. Every name, address, telephone and VAT number is made up.

// What the e-invoice needs beyond what the customer's row tells
// (buyerFromCustomer): the recipient code or the PEC address, the fiscal code,
// and the province, which no demo address names.
struct DemoEInvoice
{
    const char *recipientCode;
    const char *pec;
    const char *fiscalCode;
    const char *province;
};

struct DemoCustomer
{
    const char *name;
    const char *adresse;
    const char *telefon;
    const char *piva;
    const char *ansprache;
    const char *kundennr;
    const char *name2;
    DemoEInvoice einvoice;
};

// A company's fiscal code is its VAT number; a sole trader's is the owner's
// personal one. Recipient codes starting with DEMO belong to no intermediary.
const DemoCustomer demoCustomers[] = {
    {"Gärtnerei Müller & Söhne", "Lindenstraße 12\r\n39990 Blumenau", "0000 100101", "00000000101",
     "Sehr geehrter Herr", "1001", "Jürgen Müller", {"DEMO001", "", "00000000101", "XY"}},
    {"Vivai Bernardi S.n.c.", "Via delle Camelie 7\r\n39991 Borgo Fiorito", "0000 100202", "00000000202",
     "Spett.le Ditta", "1002", "Marco Bernardi", {"DEMO002", "", "00000000202", "XY"}},
    {"Hotel Alpenrose", "z. Hd. Frau Käthe Öhlinger\r\nPromenade 3\r\n39992 Grünwiesen", "0000 100303",
     "00000000303", "Sehr geehrte Frau", "1003", "Käthe Öhlinger", {"DEMO003", "", "00000000303", "XY"}},
    {"Floricoltura Fioravanti & Figli", "Vicolo dei Gelsomini 21\r\n39993 Valfiorita", "0000 100404",
     "00000000404", "Spett.le Ditta", "1004", "Lucia Fioravanti", {"DEMO004", "", "00000000404", "XY"}},
    // Deliberately without any invoice, and not the last one, so that lists of
    // customers and their invoices meet an empty case in the middle.
    {"Weinhof Bärenbichl", "Bärenbichl 4\r\nOrtsteil Oberrain\r\n39994 Sonnfeld im Tal", "0000 100505",
     "00000000505", "Sehr geehrter Herr", "1005", "Anton Grießmair", {"DEMO005", "", "GRSNTN61M12X999T", "XY"}},
    {"Blumenhaus Schönblick", "Marktplatz 9\r\n39995 Rosenbühel", "0000 100606", "00000000606",
     "Sehr geehrte Frau", "1006", "Renate Schönherr", {"DEMO006", "", "SCHRNT68D52X999K", "XY"}},
    // Reached through its certified e-mail address instead of a code.
    {"Agriturismo Il Girasole", "Località Prato Verde 15\r\nFrazione San Fiorino\r\n39996 Collealto",
     "0000 100707", "00000000707", "Spett.le Azienda", "1007", "Giulia Castagnoli",
     {"0000000", "girasole@pec.collealto.example", "00000000707", "XY"}},
    {"Stadtgärtnerei Grünwiesen", "Gemeinde Grünwiesen\r\nBauhof, Gartenweg 1\r\n39992 Grünwiesen",
     "0000 100808", "00000000808", "Sehr geehrte Damen und Herren", "1008", "Herbert Lindenmaier",
     {"DEMO008", "", "00000000808", "XY"}},
};

// The business of the demo: its letterhead and payment line are the ones the
// printed invoice has always shown (data/businesstexts.h). The IBAN is made
// up, with correct check digits.
einvoice::Seller demoSeller()
{
    einvoice::Seller s;
    s.businessName = QStringLiteral("Gärtnerei Trovanek");
    s.owner = QStringLiteral("Martin Trovanek");
    s.street = QStringLiteral("Am Rosenhang 14");
    s.cap = QStringLiteral("39999");
    s.town = QStringLiteral("Blumental");
    s.province = QStringLiteral("XY");
    s.country = QStringLiteral("IT");
    s.vatCountry = QStringLiteral("IT");
    s.vatNumber = QStringLiteral("00000000190");
    s.fiscalCode = QStringLiteral("TRVMTN64C18X999W");
    s.taxRegime = QStringLiteral("RF01");
    s.telephone = QStringLiteral("0000 555 0190");
    s.email = QStringLiteral("info@trovanek.example");
    s.bankName = QStringLiteral("Sparkasse Blumental");
    s.iban = QStringLiteral("IT74 X055 5511 9000 0005 5501 900");
    s.bic = QStringLiteral("SPBLIT2BXXX");
    s.paymentLine = QStringLiteral("Bank: Sparkasse Blumental, Kto. 000-555019-00");
    s.nextTransmissionNumber = QStringLiteral("00001");
    return s;
}

einvoice::Buyer demoBuyer(const DemoCustomer &c)
{
    const auto text = [](const char *t) { return QString::fromUtf8(t); };
    einvoice::Buyer b = einvoice::buyerFromCustomer(text(c.name), text(c.name2), text(c.piva), text(c.adresse));
    b.recipientCode = text(c.einvoice.recipientCode);
    b.pec = text(c.einvoice.pec);
    b.fiscalCode = text(c.einvoice.fiscalCode);
    b.province = text(c.einvoice.province);
    return b;
}

struct DemoLine
{
    const char *beschreibung;
    const char *anzahl; // nullptr: quantity left empty, as users sometimes did
    const char *einzelpreis;
};

struct DemoInvoice
{
    const YearInserts *year;
    const char *nr;
    const char *datum;
    const char *bezahlung;
    int customer; // index into demoCustomers
    const char *bestimmungsort;
    std::vector<DemoLine> lines;
};

std::vector<DemoInvoice> demoInvoices()
{
    return {
        {&tables2004, "1", "08.01.2004", "30 Tage", 0, "Blumenau",
         {{"Rosen 'Gloria Dei', wurzelnackt", "25", "3,80"},
          {"Lavendel, Topf 12 cm", "40", "2,50"},
          {"Buchsbaum-Kugel Ø 30 cm", "6", "14,90"},
          {"Blumenerde 50 l", "20", "6,50"},
          {"Rindenmulch 60 l", "10", "5,90"}}},
        {&tables2004, "2", "15.01.2004", "bezahlt", 1, "Borgo Fiorito",
         {{"Olivenbaum im Kübel, 120 cm", "4", "89"},
          // Long enough to need a second line in the description column.
          {"Zitronenbäumchen im Terrakottatopf, Höhe ca. 80 cm", "8", "24,90"},
          {"Oleander rosa, Busch", "6", "18"},
          {"Terrakotta-Topf 40 cm", "8", "22,00"}}},
        {&tables2004, "3", "02.03.2004", "60 Tage", 7, "Grünwiesen, Stadtpark",
         {{"Linde 'Greenspire', Hochstamm", "4", "185"},
          {"Feldahorn, Hochstamm 12-14", "3", "142,50"},
          {"Hainbuche, Heckenpflanze 100 cm", "120", "4,20"},
          {"Liguster, Heckenpflanze 80 cm", "80", "2,95"},
          {"Eibe, Kegel 60 cm", "12", "29,90"},
          {"Buchsbaum-Kugel Ø 30 cm", "24", "14,90"},
          {"Buchsbaum-Kugel Ø 50 cm", "6", "49"},
          {"Rosen 'Gloria Dei', wurzelnackt", "60", "3,80"},
          {"Bodendeckerrosen, Topf 2 l", "150", "4,60"},
          {"Lavendel, Topf 12 cm", "200", "2,50"},
          {"Katzenminze, Topf 11 cm", "120", "2,30"},
          {"Storchschnabel 'Rozanne'", "90", "3,40"},
          {"Frauenmantel, Topf 11 cm", "90", "2,20"},
          {"Salbei 'Caradonna'", "60", "2,80"},
          {"Funkien, gemischt", "40", "4,50"},
          {"Farne, gemischt", "30", "5,20"},
          {"Chinaschilf 'Gracillimus'", "18", "9,80"},
          {"Lampenputzergras", "24", "6,90"},
          {"Tulpenzwiebeln, Sack zu 50 Stück", "20", "11,50"},
          {"Narzissenzwiebeln, Sack zu 50 Stück", "20", "12,90"},
          {"Krokusse, Sack zu 100 Stück", "10", "8,40"},
          {"Hortensie 'Annabelle', 5 l", "15", "16,80"},
          {"Rhododendron, 40-50 cm", "10", "27,50"},
          {"Kirschlorbeer, 80-100 cm", "30", "19,90"},
          {"Efeu, Topf 9 cm", "100", "1,60"},
          {"Waldrebe (Clematis), 2 l", "12", "12,40"},
          {"Blumenerde 50 l", "80", "6,50"},
          {"Pflanzsubstrat für Kübel, 40 l", "40", "8,90"},
          {"Rindenmulch 60 l", "120", "5,90"},
          {"Hornspäne, 5 kg", "10", "13,20"},
          {"Baumpfahl, 250 cm", "14", "7,80"},
          {"Kokosstrick, Rolle 50 m", "4", "6,40"},
          {"Bewässerungssack für Bäume", "7", "21"},
          {"Pflanzarbeiten Stadtpark, Stunden", "32", "38,50"}}},
        {&tables2004, "4", "12.03.2004", "30 Tage", 2, "Grünwiesen",
         {{"Oleander weiß, Hochstamm", "4", "64"},
          {"Zitronenbäumchen im Topf", "6", "24,90"},
          {"Geranien hängend, Schale", "48", "3,20"},
          {"Petunien, Topf 10 cm", "60", "1,45"},
          {"Blumenkasten 100 cm, terrakotta", "12", "17,50"},
          // A flat fee without a quantity, as the nursery sometimes wrote it.
          {"Anlieferung und Bepflanzung, pauschal", nullptr, "120"}}},
        {&tables2004, "5", "29.03.2004", "bezahlt", 3, "Valfiorita",
         {{"Olivenbäume, mehrstämmig, 180 cm", "2", "249"},
          {"Zypresse, 150 cm", "10", "34,50"},
          {"Rosmarin, Topf 14 cm", "30", "3,10"},
          {"Blumenerde 50 l", "15", "6,50"}}},
        {&tables2004, "6", "14.04.2004", "Bar bei Lieferung", 5, "Rosenbühel",
         {{"Primeln, gemischt", "80", "0,95"},
          {"Stiefmütterchen, Schale zu 6", "30", "3,60"},
          {"Osterglocken im Topf", "40", "2,40"},
          {"Gießkanne verzinkt, 10 l", "2", "29,90"},
          {"Geschenkkorb, bepflanzt", "5", "19,50"}}},
        {&tables2004, "7", "03.05.2004", "30 Tage", 6, "Collealto",
         {{"Lavendel, Topf 12 cm", "150", "2,50"},
          {"Zitronenbäumchen im Topf", "10", "24,90"},
          {"Weinrebe 'Moscato', Topf 3 l", "25", "8,70"},
          {"Terrakotta-Topf 40 cm", "10", "22,00"}}},
        {&tables2004, "8", "21.05.2004", "bezahlt", 0, "Blumenau",
         {{"Tomatenpflanzen, veredelt", "60", "2,90"},
          {"Basilikum, Topf 12 cm", "40", "1,80"},
          {"Gemüseerde 40 l", "25", "5,40"}}},

        {&tables2003, "1", "14.02.2003", "bezahlt", 0, "Blumenau",
         {{"Obstbaum Apfel 'Gravensteiner'", "6", "32"},
          {"Johannisbeere, Stämmchen", "10", "14,50"},
          {"Blumenerde 50 l", "30", "6,20"},
          {"Baumpfahl, 250 cm", "6", "7,50"}}},
        {&tables2003, "2", "11.04.2003", "30 Tage", 1, "Borgo Fiorito",
         {{"Olivenbaum im Kübel, 120 cm", "6", "85"},
          {"Oleander rosa, Busch", "12", "17,50"},
          // Empty text rather than NULL: both occur in the old data.
          {"Transport bis Borgo Fiorito", "", "45"}}},
        {&tables2003, "3", "06.06.2003", "30 Tage", 2, "Grünwiesen",
         {{"Geranien stehend, Topf 12 cm", "120", "1,90"},
          {"Fuchsien, Ampel", "24", "9,80"},
          {"Blumenkasten 100 cm, terrakotta", "20", "16,90"},
          {"Pflanzsubstrat für Kübel, 40 l", "20", "8,50"},
          {"Langzeitdünger, 1 kg", "4", "11,20"}}},
        {&tables2003, "4", "19.11.2003", "bezahlt", 5, "Rosenbühel",
         {{"Weihnachtssterne, Topf 13 cm", "50", "4,90"},
          {"Adventskranz, geschmückt", "12", "24"},
          {"Tannenzweige, Bund", "30", "3,50"}}},

        {&tables2002, "1", "22.03.2002", "bezahlt", 0, "Blumenau",
         {{"Buchsbaum, Topf 2 l", "50", "4,90"},
          {"Lavendel, Topf 12 cm", "60", "2,40"},
          {"Rindenmulch 60 l", "20", "5,60"}}},
        {&tables2002, "2", "17.05.2002", "30 Tage", 3, "Valfiorita",
         {{"Zitronenbäumchen im Topf", "12", "23,50"},
          {"Bougainvillea, Spalier", "8", "27,90"},
          {"Jasmin, Topf 3 l", "10", "12,80"},
          {"Terrakotta-Topf 40 cm", "12", "21"}}},
        {&tables2002, "3", "30.09.2002", "bezahlt", 6, "Collealto",
         {{"Zierkürbisse, Kiste", "5", "9,50"},
          {"Chrysanthemen, Topf 14 cm", "40", "3,30"},
          {"Heidekraut, Topf 11 cm", "60", "1,70"}}},
    };
}

struct Counts
{
    long long customers = 0;
    long long headers = 0;
    long long lines = 0;
};

// A new user starts on this year's invoices, so the demo has some: dated in
// the last weeks, never before New Year.
void addThisYear(NewDatabase &db, const std::vector<QByteArray> &customerIds, Counts &counts)
{
    const QDate today = QDate::currentDate();
    const int year = today.year();
    if (year >= 2002 && year <= 2004)
        return; // a classic year: its tables are there already
    try {
        createYearTables(db.handle(), year);
    } catch (const AppError &e) {
        throw Failure{shown(e.message())};
    }
    const YearTables tables = tablesOfYear(year);
    const QByteArray insertHeader = QStringLiteral("INSERT INTO %1 (nr, datum, bezahlung, kundennummer, bestimmungsort) "
                                                   "VALUES (?, ?, ?, ?, ?)").arg(tables.headerTable).toUtf8();
    const QByteArray insertLine = QStringLiteral("INSERT INTO %1 (rechnungsnummer, beschreibung, anzahl, einzelpreis) "
                                                 "VALUES (?, ?, ?, ?)").arg(tables.lineTable).toUtf8();
    struct Recent
    {
        int daysAgo;
        const char *bezahlung;
        int customer;
        const char *bestimmungsort;
        std::vector<DemoLine> lines;
    };
    const Recent recent[] = {
        {21, "bezahlt", 2, "Grünwiesen", {{"Hortensien, Topf 19 cm", "12", "11,50"}, {"Blumenerde 50 l", "6", "6,90"}}},
        {9, "30 Tage", 0, "Blumenau", {{"Apfelbaum 'Topaz', Halbstamm", "3", "39"}, {"Baumpfahl 250 cm", "3", "4,20"}}},
        {1, "30 Tage", 3, "Valfiorita", {{"Lavendel, Topf 12 cm", "60", "2,60"}}},
    };
    int number = 0;
    for (const Recent &r : recent) {
        const QDate date = std::max(today.addDays(-r.daysAgo), QDate(year, 1, 1));
        const QByteArray nr = QByteArray::number(year) + '-' + QByteArray::number(++number);
        const QByteArray datum = date.toString(QStringLiteral("dd.MM.yyyy")).toUtf8();
        Statement header(db, insertHeader.constData());
        header.text(1, nr.constData());
        header.text(2, datum.constData());
        header.text(3, r.bezahlung);
        header.text(4, customerIds.at(size_t(r.customer)).constData());
        header.text(5, r.bestimmungsort);
        header.run();
        ++counts.headers;
        Statement line(db, insertLine.constData());
        for (const DemoLine &l : r.lines) {
            line.text(1, nr.constData());
            line.text(2, l.beschreibung);
            line.text(3, l.anzahl);
            line.text(4, l.einzelpreis);
            line.run();
            ++counts.lines;
        }
    }
}

Counts fillDemo(NewDatabase &db)
{
    Counts counts;
    std::vector<QByteArray> customerIds;
    {
        Statement insert(db, "INSERT INTO kunde (name, adresse, telefon, piva, ansprache, kundennr, name2) "
                             "VALUES (?, ?, ?, ?, ?, ?, ?)");
        for (const DemoCustomer &c : demoCustomers) {
            insert.text(1, c.name);
            insert.text(2, c.adresse);
            insert.text(3, c.telefon);
            insert.text(4, c.piva);
            insert.text(5, c.ansprache);
            insert.text(6, c.kundennr);
            insert.text(7, c.name2);
            insert.run();
            // Headers refer to the id the database handed out, as text.
            customerIds.push_back(QByteArray::number(sqlite3_last_insert_rowid(db.handle())));
            ++counts.customers;
        }
    }

    addThisYear(db, customerIds, counts);
    for (const DemoInvoice &inv : demoInvoices()) {
        Statement header(db, inv.year->insertHeader);
        header.text(1, inv.nr);
        header.text(2, inv.datum);
        header.text(3, inv.bezahlung);
        header.text(4, customerIds.at(inv.customer).constData());
        header.text(5, inv.bestimmungsort);
        header.run();
        ++counts.headers;

        Statement line(db, inv.year->insertLine);
        for (const DemoLine &l : inv.lines) {
            line.text(1, inv.nr);
            line.text(2, l.beschreibung);
            line.text(3, l.anzahl);
            line.text(4, l.einzelpreis);
            line.run();
            ++counts.lines;
        }
    }

    // Through the program's own store, with its checks: demo data it would
    // refuse must not be made.
    try {
        einvoice::saveSeller(db.connection(), demoSeller());
        for (std::size_t i = 0; i < std::size(demoCustomers); ++i)
            einvoice::saveBuyer(db.connection(), customerIds.at(i).toLongLong(), demoBuyer(demoCustomers[i]));
    } catch (const AppError &e) {
        throw Failure{shown(e.message())};
    }
    return counts;
}

// ---------------------------------------------------------------------------
// Generated data for measurements

// A fixed, self-made generator: the standard distributions differ between
// library implementations, and the data must be the same everywhere.
class Random
{
public:
    explicit Random(std::uint64_t seed) : m_state(seed) {}
    std::uint64_t next()
    {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    long long below(long long n) { return static_cast<long long>(next() % static_cast<std::uint64_t>(n)); }

private:
    std::uint64_t m_state;
};

template <std::size_t N>
const char *pick(Random &rng, const char *const (&pool)[N])
{
    return pool[rng.below(N)];
}

const char *const firmKinds[] = {"Gärtnerei", "Vivai", "Blumenhaus", "Floricoltura", "Baumschule",
                                 "Gartenbau", "Azienda Agricola", "Hotel", "Vivaio", "Landgasthof"};
const char *const familyNames[] = {"Blumenfeld", "Rosenthaler", "Grünhofer", "Lindenmaier", "Sonnleitner",
                                   "Bernardi", "Fioravanti", "Verdello", "Castagnoli", "Girasoli",
                                   "Bärenbichler", "Öhlinger", "Wiesenbauer", "Tannegger", "Fontanella"};
const char *const firstNames[] = {"Jürgen", "Marco", "Käthe", "Lucia", "Anton", "Renate",
                                  "Giulia", "Herbert", "Sofia", "Lorenz", "Maria", "Paolo"};
const char *const streets[] = {"Lindenstraße", "Via delle Camelie", "Rosenweg", "Am Obstgarten",
                               "Vicolo dei Gelsomini", "Marktplatz", "Via dei Tigli", "Gartenweg"};
const char *const towns[] = {"39990 Blumenau", "39991 Borgo Fiorito", "39992 Grünwiesen", "39993 Valfiorita",
                             "39994 Sonnfeld im Tal", "39995 Rosenbühel", "39996 Collealto"};
const char *const places[] = {"Blumenau", "Borgo Fiorito", "Grünwiesen", "Valfiorita",
                              "Sonnfeld im Tal", "Rosenbühel", "Collealto", "ab Gärtnerei"};
const char *const salutations[] = {"Sehr geehrter Herr", "Sehr geehrte Frau", "Spett.le Ditta",
                                   "Sehr geehrte Damen und Herren", "Spett.le Azienda"};
// Repeated entries weight the usual terms of payment.
const char *const payments[] = {"30 Tage", "30 Tage", "30 Tage", "bezahlt", "bezahlt", "60 Tage",
                                "Bar bei Lieferung"};

struct Article
{
    const char *beschreibung; // 10 to 30 characters, like the real entries
    int cents;
};

const Article articles[] = {
    {"Rosen, wurzelnackt", 380},
    {"Lavendel, Topf 12 cm", 250},
    {"Buchsbaum-Kugel Ø 30 cm", 1490},
    {"Blumenerde 50 l", 650},
    {"Rindenmulch 60 l", 590},
    {"Olivenbaum im Kübel, 120 cm", 8900},
    {"Zitronenbäumchen im Topf", 2490},
    {"Oleander rosa, Busch", 1800},
    {"Terrakotta-Topf 40 cm", 2200},
    {"Geranien hängend, Schale", 320},
    {"Hainbuche, Heckenpflanze", 420},
    {"Kirschlorbeer, 80-100 cm", 1990},
    {"Petunien, Topf 10 cm", 145},
    {"Rosmarin, Topf 14 cm", 310},
    {"Tulpenzwiebeln, Sack", 1150},
    {"Hortensie, 5 l", 1680},
};

// Writes rows many at a time. AUTOINCREMENT makes SQLite rewrite
// sqlite_sequence at the end of every INSERT statement, which for one-row
// statements costs more than the rows themselves.
class BatchInsert
{
public:
    // Below SQLite's oldest default limit of 999 parameters for every table here.
    static constexpr int rowsPerStatement = 100;

    // The first column is the integer id, the others are text.
    BatchInsert(NewDatabase &db, const char *table, const char *columns, int columnCount)
        : m_db(db), m_table(table), m_columns(columns), m_columnCount(columnCount),
          m_ids(rowsPerStatement), m_texts(std::size_t(rowsPerStatement) * (columnCount - 1)),
          m_full(db, insertSql(rowsPerStatement).constData())
    {
    }

    void add(long long id, std::initializer_list<std::string_view> texts)
    {
        m_ids[m_pending] = id;
        std::size_t slot = std::size_t(m_pending) * (m_columnCount - 1);
        for (std::string_view t : texts)
            m_texts[slot++].assign(t);
        if (++m_pending == rowsPerStatement) {
            write(m_full, m_pending);
            m_pending = 0;
        }
    }

    void finish()
    {
        if (m_pending == 0)
            return;
        Statement rest(m_db, insertSql(m_pending).constData());
        write(rest, m_pending);
        m_pending = 0;
    }

private:
    QByteArray insertSql(int rows) const
    {
        QByteArray row = "(?";
        for (int c = 1; c < m_columnCount; ++c)
            row += ", ?";
        row += ')';
        QByteArray sql = QByteArray("INSERT INTO ") + m_table + " (" + m_columns + ") VALUES " + row;
        for (int r = 1; r < rows; ++r)
            sql += ", " + row;
        return sql;
    }

    // The strings stay untouched until the statement has run, so SQLite
    // may read them in place.
    void write(Statement &st, int rows)
    {
        int index = 1;
        std::size_t slot = 0;
        for (int r = 0; r < rows; ++r) {
            st.integer(index++, m_ids[r]);
            for (int c = 1; c < m_columnCount; ++c, ++slot)
                st.textNoCopy(index++, m_texts[slot].data(), static_cast<int>(m_texts[slot].size()));
        }
        st.run();
    }

    NewDatabase &m_db;
    const char *m_table;
    const char *m_columns;
    int m_columnCount;
    int m_pending = 0;
    std::vector<long long> m_ids;
    std::vector<std::string> m_texts;
    Statement m_full;
};

Counts fillGenerated(NewDatabase &db, long long customers, long long headers, long long lines)
{
    Random rng(20040312);
    char name[128], adresse[256], telefon[32], piva[32], kundennr[32], name2[96];
    char nr[32], datum[16], kundennummer[32];
    char anzahl[8], einzelpreis[24];

    {
        BatchInsert insert(db, "kunde", "id, name, adresse, telefon, piva, ansprache, kundennr, name2", 8);
        for (long long id = 1; id <= customers; ++id) {
            const char *family = pick(rng, familyNames);
            const int n1 = std::snprintf(name, sizeof name, "%s %s", pick(rng, firmKinds), family);
            const int n2 = std::snprintf(adresse, sizeof adresse, "%s %d\r\n%s", pick(rng, streets),
                                         static_cast<int>(rng.below(120) + 1), pick(rng, towns));
            const int n3 = std::snprintf(telefon, sizeof telefon, "0000 %06lld", id % 1000000);
            const int n4 = std::snprintf(piva, sizeof piva, "%011lld", id);
            const int n5 = std::snprintf(kundennr, sizeof kundennr, "%lld", 10000 + id);
            const int n6 = std::snprintf(name2, sizeof name2, "%s %s", pick(rng, firstNames), family);
            insert.add(id, {{name, std::size_t(n1)},
                            {adresse, std::size_t(n2)},
                            {telefon, std::size_t(n3)},
                            {piva, std::size_t(n4)},
                            pick(rng, salutations),
                            {kundennr, std::size_t(n5)},
                            {name2, std::size_t(n6)}});
        }
        insert.finish();
    }

    {
        BatchInsert insert(db, "rechnungsdaten2004", "id, nr, datum, bezahlung, kundennummer, bestimmungsort", 6);
        for (long long id = 1; id <= headers; ++id) {
            const int n1 = std::snprintf(nr, sizeof nr, "2004-%06lld", id);
            const int n2 = std::snprintf(datum, sizeof datum, "%02d.%02d.2004", static_cast<int>(rng.below(28) + 1),
                                         static_cast<int>(rng.below(12) + 1));
            // Customer ids were given explicitly above, so 1..customers exist.
            const int n3 = std::snprintf(kundennummer, sizeof kundennummer, "%lld", rng.below(customers) + 1);
            insert.add(id, {{nr, std::size_t(n1)},
                            {datum, std::size_t(n2)},
                            pick(rng, payments),
                            {kundennummer, std::size_t(n3)},
                            pick(rng, places)});
        }
        insert.finish();
    }

    {
        BatchInsert insert(db, "rechnung2004", "id, rechnungsnummer, beschreibung, anzahl, einzelpreis", 5);
        long long currentHeader = 0;
        int nrLength = 0;
        for (long long k = 0; k < lines; ++k) {
            // Consecutive lines belong to one invoice, as they do when typed
            // in; every invoice gets its share once there are enough lines.
            const long long header = k * headers / lines + 1;
            if (header != currentHeader) {
                currentHeader = header;
                nrLength = std::snprintf(nr, sizeof nr, "2004-%06lld", header);
            }
            const Article &a = articles[rng.below(std::size(articles))];
            // Prices drift around the list price, dearer articles in bigger steps.
            const long long cents = a.cents + (rng.below(21) - 10) * (a.cents >= 1000 ? 50 : 10);
            const int n1 = std::snprintf(anzahl, sizeof anzahl, "%d", static_cast<int>(rng.below(50) + 1));
            const int n2 = cents % 100 == 0
                               ? std::snprintf(einzelpreis, sizeof einzelpreis, "%lld", cents / 100)
                               : std::snprintf(einzelpreis, sizeof einzelpreis, "%lld,%02lld", cents / 100, cents % 100);
            insert.add(k + 1, {{nr, std::size_t(nrLength)},
                               a.beschreibung,
                               {anzahl, std::size_t(n1)},
                               {einzelpreis, std::size_t(n2)}});
        }
        insert.finish();
    }

    return Counts{customers, headers, lines};
}

int addYear(const Options &o)
{
    try {
        const int year = parseYear(o.year);
        Connection connection;
        connection.open(o.file);
        createYearTables(connection.handle(), year);
        printLine(stdout, QStringLiteral("Tabellen für das Jahr %1 in %2 angelegt: %3, %4.")
                              .arg(year)
                              .arg(shown(o.file), tablesOfYear(year).headerTable, tablesOfYear(year).lineTable));
    } catch (const AppError &e) {
        throw Failure{shown(e.message())};
    }
    return ExitOk;
}

// The export as the program makes it: the business's data, the customer's
// stored e-invoice data (or what the customer's row tells), the same checks
// and the same transmission number.
int exportFatturaPA(const Options &o)
{
    try {
        const int year = parseYear(o.year);
        if (!QFileInfo(o.out).isDir())
            throw Failure{QStringLiteral("Der Ordner '%1' existiert nicht").arg(shown(o.out))};
        // The numbers in the lines were typed with the separators of the
        // user's regional settings, and the program reads them with those.
        const Separators separators = Separators::fromSystem();
        Connection connection;
        connection.open(o.file);
        const std::optional<einvoice::Seller> seller = einvoice::loadSeller(connection);
        if (!seller)
            throw Failure{einvoice::NoBusinessData};
        const einvoice::StoredInvoice invoice = einvoice::loadInvoice(connection, year, o.nr);
        const einvoice::Buyer buyer = einvoice::buyerOfCustomer(connection, invoice.customerId);
        const QString path =
            einvoice::exportInvoice(connection, *seller, buyer, invoice.header, invoice.lines, o.out, separators);
        printLine(stdout, shown(QFileInfo(path).absoluteFilePath()));
    } catch (const AppError &e) {
        throw Failure{shown(e.message())};
    }
    return ExitOk;
}

// A consistent, checked copy, even while the program writes to the source.
int copyDatabase(const Options &o)
{
    const QFileInfo info(o.file);
    if (!info.exists())
        throw Failure{QStringLiteral("Die Datei '%1' wurde nicht gefunden").arg(shown(o.file))};
    if (info.isDir())
        throw Failure{QStringLiteral("'%1' ist ein Ordner und keine Datenbankdatei").arg(shown(o.file))};
    // Read-only: a copy must never change its source, and a write-protected
    // file can be copied as well.
    sqlite3 *source = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(info.absoluteFilePath()).constData(), &source,
                                   SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
    struct Closer
    {
        sqlite3 *db;
        ~Closer() { sqlite3_close(db); }
    } closer{source};
    if (rc != SQLITE_OK)
        throw Failure{QStringLiteral("Die Datei '%1' kann nicht geöffnet werden: %2")
                          .arg(shown(o.file), shown(Connection::describe(rc, QString::fromUtf8(sqlite3_errmsg(source)))))};
    sqlite3_busy_timeout(source, 3000);
    try {
        backup::copyDatabase(source, o.target, false);
    } catch (const AppError &e) {
        throw Failure{shown(e.message())};
    }
    printLine(stdout, QStringLiteral("Sicherung von %1 in %2 geschrieben und geprüft.").arg(shown(o.file), shown(o.target)));
    return ExitOk;
}

// "Table1: 2 Zeilen; A Text(50), B Text(100), ..."
QString tableLine(const accessdb::Table &t)
{
    const qint64 rows = qint64(t.rows.size());
    QString line = QStringLiteral("%1: %2 %3").arg(t.name).arg(rows).arg(rows == 1 ? QStringLiteral("Zeile") : QStringLiteral("Zeilen"));
    // A damaged table can hand out fewer rows than its definition announces.
    if (t.declaredRows >= 0 && t.declaredRows != rows)
        line += QStringLiteral(" (laut Tabellendefinition %1)").arg(t.declaredRows);
    QStringList columns;
    for (const accessdb::Column &c : t.columns)
        columns << c.name + QLatin1Char(' ') + c.typeName();
    return line + QStringLiteral("; ") + columns.join(QStringLiteral(", "));
}

// Looks into an Access file, or brings its data into a new database the way
// the program does when it meets one.
int importAccess(const Options &o)
{
    try {
        if (o.list) {
            const accessdb::AccessFile file(o.file);
            if (file.tables().empty())
                printLine(stdout, QStringLiteral("Die Datei %1 enthält keine Tabellen.").arg(shown(o.file)));
            for (const accessdb::Table &t : file.tables())
                printLine(stdout, shown(tableLine(t)));
            return ExitOk;
        }
        // Numbers become text with the separators the program reads them with.
        const accessdb::ImportReport report = accessdb::importAccessFile(o.file, o.target, Separators::fromSystem());
        for (const QString &line : accessdb::reportLines(report))
            printLine(stdout, shown(line));
        if (!report.complete()) {
            printError(QStringLiteral("Nicht jede Zeile der Access-Datei wurde übernommen; siehe oben"));
            return ExitFailure;
        }
    } catch (const AppError &e) {
        throw Failure{shown(e.message())};
    }
    return ExitOk;
}

int checkDatabase(const Options &o)
{
    const QString problem = backup::integrityProblem(o.file);
    if (!problem.isEmpty()) {
        printError(shown(problem));
        return ExitFailure;
    }
    printLine(stdout, QStringLiteral("Die Datei %1 ist in Ordnung.").arg(shown(o.file)));
    return ExitOk;
}

int run(const Options &o)
{
    // The commands that use an existing file; everything else makes a new one.
    if (o.command == Command::AddYear)
        return addYear(o);
    if (o.command == Command::FatturaPA)
        return exportFatturaPA(o);
    if (o.command == Command::Backup)
        return copyDatabase(o);
    if (o.command == Command::Check)
        return checkDatabase(o);
    if (o.command == Command::ImportAccess)
        return importAccess(o);
    if (o.command == Command::Create) {
        // The program's "Neue Datenbank anlegen ..." makes its files the same way.
        newdb::createEmpty(o.file);
        printLine(stdout, QStringLiteral("Leere Datenbank %1 angelegt.").arg(shown(o.file)));
        return ExitOk;
    }
    NewDatabase db(o.file);
    if (o.command == Command::Generate) {
        // Only this brand-new file is affected, and a failure deletes it
        // anyway. SQLite accepts the setting only outside a transaction.
        db.exec("PRAGMA synchronous=OFF");
    }
    db.startWithSchema();
    switch (o.command) {
    case Command::Demo: {
        const Counts c = fillDemo(db);
        db.finish();
        printLine(stdout, QStringLiteral("Demo-Datenbank %1 angelegt: %2 Kunden, %3 Rechnungen, %4 Positionen.")
                              .arg(shown(o.file))
                              .arg(c.customers)
                              .arg(c.headers)
                              .arg(c.lines));
        break;
    }
    case Command::Generate: {
        const Counts c = fillGenerated(db, o.customers, o.headers, o.lines);
        db.finish();
        printLine(stdout, QStringLiteral("Testdatenbank %1 angelegt: %2 Kunden, %3 Rechnungen, %4 Positionen.")
                              .arg(shown(o.file))
                              .arg(c.customers)
                              .arg(c.headers)
                              .arg(c.lines));
        break;
    }
    case Command::Help:
    case Command::Create:
    case Command::AddYear:
    case Command::FatturaPA:
    case Command::Backup:
    case Command::Check:
    case Command::ImportAccess:
        break;
    }
    return ExitOk;
}

extern "C" void removePartialFileAndDie(int sig)
{
    newdb::removePartialFileNow();
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

} // namespace

int main(int argc, char **argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);

    Options options;
    try {
        options = parseArguments(args);
    } catch (const UsageError &e) {
        printError(e.message + QStringLiteral(". ") + QString::fromUtf8(usageText));
        return ExitUsage;
    }
    if (options.command == Command::Help) {
        printLine(stdout, QString::fromUtf8(usageText));
        return ExitOk;
    }

#ifdef SIGXFSZ
    // Over a file size limit a write then fails like a full disk, which is
    // reported and cleaned up, instead of the signal killing us half way.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    for (int sig : {SIGINT, SIGTERM, SIGHUP})
        std::signal(sig, removePartialFileAndDie);

    try {
        return run(options);
    } catch (const Failure &e) {
        printError(e.message);
    } catch (const AppError &e) {
        printError(shown(e.message()));
    } catch (const std::bad_alloc &) {
        printError(QStringLiteral("Nicht genug Arbeitsspeicher."));
    }
    return ExitFailure;
}
