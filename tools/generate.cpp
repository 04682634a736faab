#include "commandline.h"
#include "commands.h"
#include "output.h"

#include "data/newdatabase.h"
#include "data/schema.h"

#include <QByteArray>

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

using newdb::NewDatabase;

namespace {

// Large enough for any benchmark, small enough that no index arithmetic below
// can overflow.
constexpr long long maxCount = 100'000'000;

// The invoices are all of one year; the texts below name it.
constexpr int GeneratedYear = 2004;

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
    BatchInsert(NewDatabase &db, const QString &table, const QList<QLatin1StringView> &columns)
        : m_db(db), m_table(table.toUtf8()), m_columns(columnList(columns)), m_columnCount(int(columns.size())),
          m_ids(rowsPerStatement), m_texts(std::size_t(rowsPerStatement) * (m_columnCount - 1)),
          m_full(db.prepare(insertSql(rowsPerStatement)))
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
        StatementHandle rest = m_db.prepare(insertSql(m_pending));
        write(rest, m_pending);
        m_pending = 0;
    }

private:
    static QByteArray columnList(const QList<QLatin1StringView> &columns)
    {
        QByteArray list;
        for (QLatin1StringView c : columns)
            list += (list.isEmpty() ? "" : ", ") + schema::sql(c);
        return list;
    }

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

    void write(StatementHandle &st, int rows)
    {
        m_db.guarded([&] {
            int index = 1;
            std::size_t slot = 0;
            for (int r = 0; r < rows; ++r) {
                st->bindInteger(index++, m_ids[r]);
                for (int c = 1; c < m_columnCount; ++c, ++slot)
                    st->bindText(index++, std::string_view(m_texts[slot]));
            }
            st->run();
        });
    }

    NewDatabase &m_db;
    QByteArray m_table;
    QByteArray m_columns;
    int m_columnCount;
    int m_pending = 0;
    std::vector<long long> m_ids;
    std::vector<std::string> m_texts;
    StatementHandle m_full;
};

// The check digit of an Italian VAT number's first ten digits: every
// second digit doubled (less 9 above 9), all summed, to the next ten.
int vatCheckDigit(long long firstTen)
{
    int sum = 0;
    for (int position = 10; position >= 1; --position, firstTen /= 10) {
        int digit = int(firstTen % 10);
        if (position % 2 == 0) {
            digit *= 2;
            if (digit > 9)
                digit -= 9;
        }
        sum += digit;
    }
    return (10 - sum % 10) % 10;
}

void fillGenerated(NewDatabase &db, long long customers, long long headers, long long lines)
{
    Random rng(20040312);
    char name[128], adresse[256], telefon[32], piva[32], kundennr[32], name2[96];
    char nr[32], datum[16], kundennummer[32];
    char anzahl[8], einzelpreis[24];

    {
        using namespace schema::customer;
        BatchInsert insert(db, Table, {Id, Name, Address, Telephone, VatNumber, Salutation, CustomerNumber, Owner});
        for (long long id = 1; id <= customers; ++id) {
            const char *family = pick(rng, familyNames);
            const int n1 = std::snprintf(name, sizeof name, "%s %s", pick(rng, firmKinds), family);
            const int n2 = std::snprintf(adresse, sizeof adresse, "%s %d\r\n%s", pick(rng, streets),
                                         static_cast<int>(rng.below(120) + 1), pick(rng, towns));
            const int n3 = std::snprintf(telefon, sizeof telefon, "0000 %06lld", id % 1000000);
            const int n4 = std::snprintf(piva, sizeof piva, "%010lld%d", id % 10000000000LL, vatCheckDigit(id % 10000000000LL));
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
        using namespace schema::header;
        BatchInsert insert(db, tableOfYear(GeneratedYear), {Id, Number, Date, Payment, CustomerId, Destination});
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
        using namespace schema::line;
        BatchInsert insert(db, tableOfYear(GeneratedYear), {Id, InvoiceNumber, Description, Quantity, UnitPrice});
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
}

} // namespace

int runGenerate(CommandLine &commandLine)
{
    commandLine.setDescription(QStringLiteral("Legt eine große Datenbank mit erfundenen Daten für Messungen an, bei "
                                              "gleichen Zahlen immer dieselbe; eine vorhandene Datei wird nie "
                                              "überschrieben."));
    commandLine.addArgument(QStringLiteral("DATEI"), QStringLiteral("die neue Datenbankdatei"));
    const QString count = QStringLiteral("die Anzahl");
    commandLine.addValueOption(QStringLiteral("customers"), QStringLiteral("N"), QStringLiteral("so viele Kunden"), count);
    commandLine.addValueOption(QStringLiteral("headers"), QStringLiteral("N"),
                               QStringLiteral("so viele Rechnungen im Jahr 2004"), count);
    commandLine.addValueOption(QStringLiteral("lines"), QStringLiteral("N"),
                               QStringLiteral("so viele Positionen, auf die Rechnungen verteilt"), count);
    if (!commandLine.parse())
        return ExitOk;
    // A wrong number is told before a missing one.
    std::vector<long long> counts;
    QStringList missing;
    for (const QString &option : {QStringLiteral("customers"), QStringLiteral("headers"), QStringLiteral("lines")}) {
        if (const std::optional<QString> value = commandLine.value(option))
            counts.push_back(parseCount(QStringLiteral("--") + option, *value));
        else
            missing << QStringLiteral("--") + option;
    }
    const QString file = commandLine.file();
    if (!missing.isEmpty())
        throw UsageError{QStringLiteral("Beim Befehl generate fehlt %1").arg(missing.join(QStringLiteral(", ")))};
    const long long customers = counts[0], headers = counts[1], lines = counts[2];
    // Every header names a customer and every line names a header, so a
    // table with rows cannot hang off an empty one.
    if (headers > 0 && customers == 0)
        throw UsageError{QStringLiteral("Rechnungen brauchen Kunden: --headers %1 bei --customers 0").arg(headers)};
    if (lines > 0 && headers == 0)
        throw UsageError{QStringLiteral("Positionen brauchen Rechnungen: --lines %1 bei --headers 0").arg(lines)};

    NewDatabase db(file);
    // Only this brand-new file is affected, and a failure deletes it
    // anyway. SQLite accepts the setting only outside a transaction.
    db.exec("PRAGMA synchronous=OFF");
    // The prices below are written with a decimal comma.
    db.startWithSchema(Separators{QLatin1Char(','), QLatin1Char('.')});
    fillGenerated(db, customers, headers, lines);
    db.finish();
    printLine(stdout, QStringLiteral("Testdatenbank %1 angelegt: %2 Kunden, %3 Rechnungen, %4 Positionen.")
                          .arg(shown(file))
                          .arg(customers)
                          .arg(headers)
                          .arg(lines));
    return ExitOk;
}
