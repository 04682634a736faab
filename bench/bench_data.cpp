// Benchmarks of the data layer on a large generated database: opening the
// line set against a bare SQLite read and what ordering its invoices' lines
// by place adds, moving through the customers with the header and line sets
// following, the customer search, and the memory the line snapshot takes
// per row.

#include "data/database.h"
#include "data/sqlitedatabase.h"
#include "data/errors.h"
#include "data/lineamount.h"
#include "data/openitems.h"
#include "data/money.h"
#include "data/totals.h"
#include "data/recordset.h"
#include "benchdb.h"

#include <benchmark/benchmark.h>

#include <QString>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <malloc.h>
#include <map>
#include <optional>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

using Clock = std::chrono::steady_clock;

std::string g_dbFile;

QString dbFile() { return QString::fromLocal8Bit(g_dbFile.c_str()); }

double secondsSince(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

// The line set as the main window declares it, but on a connection of its own
// and without the link to the headers, so it holds every row.
void declareLineSet(RecordSet &rs)
{
    rs.setTableName(QStringLiteral("rechnung2004"));
    rs.declareField(QStringLiteral("id"), FieldKind::AutoInc);
    for (const char *name : {"rechnungsnummer", "beschreibung", "anzahl", "einzelpreis", "summe"})
        rs.declareField(QString::fromLatin1(name), FieldKind::Text);
    rs.declareField(QStringLiteral("summerechn"), FieldKind::CalcFloat, QStringLiteral("###,###0.00"));
    rs.declareField(QStringLiteral("mitmwst"), FieldKind::CalcFloat);
    rs.setOnCalcFields(calculateLineAmount);
}

// Minor page faults so far: touching fresh memory is a large part of opening
// a big set, and on virtual machines each fault costs several microseconds.
double minorFaults()
{
    struct rusage ru;
    ::getrusage(RUSAGE_SELF, &ru);
    return double(ru.ru_minflt);
}

size_t residentBytes()
{
    std::ifstream statm("/proc/self/statm");
    size_t size = 0, resident = 0;
    statm >> size >> resident;
    return resident * size_t(::sysconf(_SC_PAGESIZE));
}

// ---------------------------------------------------------------- opening

// The floor for opening the line set: the engine's own cost of handing out
// the same columns, a row at a time as the snapshot takes them, without
// copying anything.
void BM_BareLineRead(benchmark::State &state)
{
    try {
        // The same connection as the record sets', so both pay the same locking.
        SqliteDatabase db;
        db.open(dbFile());
        int64_t rows = 0;
        size_t textBytes = 0;
        const double faults0 = minorFaults();
        const int columns[] = {0, 1, 2, 3, 4, 5};
        FieldView fields[6];
        for (auto _ : state) {
            StatementHandle st = db.prepare("SELECT * FROM rechnung2004", Database::Reuse::Once);
            int64_t idSum = 0;
            rows = 0;
            textBytes = 0;
            while (st->step()) {
                st->readRow(columns, 6, fields);
                idSum += fields[0].integer;
                for (int c = 1; c <= 5; ++c) {
                    benchmark::DoNotOptimize(fields[c].data);
                    textBytes += fields[c].size;
                }
                ++rows;
            }
            benchmark::DoNotOptimize(idSum);
            benchmark::DoNotOptimize(textBytes);
        }
        const double faults = minorFaults() - faults0;
        state.counters["rows"] = double(rows);
        state.counters["page_faults"] = benchmark::Counter(faults, benchmark::Counter::kAvgIterations);
        state.counters["text_bytes_per_row"] = rows ? double(textBytes) / double(rows) : 0;
    } catch (const AppError &e) {
        state.SkipWithError(e.what());
    }
}
BENCHMARK(BM_BareLineRead)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);

// What the line set costs when its master is closed: the whole table is read.
void BM_OpenLineSet(benchmark::State &state)
{
    try {
        SqliteDatabase conn;
        conn.open(dbFile());
        RecordSet rs(QStringLiteral("rechnungstabelle"), conn);
        declareLineSet(rs);
        double openSeconds = 0, closeSeconds = 0;
        int rows = 0;
        const double faults0 = minorFaults();
        for (auto _ : state) {
            const auto t0 = Clock::now();
            rs.Open();
            openSeconds += secondsSince(t0);
            rows = rs.RecordCount();
            const auto t1 = Clock::now();
            rs.Close();
            closeSeconds += secondsSince(t1);
        }
        state.counters["page_faults"] = benchmark::Counter(minorFaults() - faults0, benchmark::Counter::kAvgIterations);
        state.counters["rows"] = rows;
        state.counters["open_ms"] = benchmark::Counter(openSeconds * 1e3, benchmark::Counter::kAvgIterations);
        state.counters["close_ms"] = benchmark::Counter(closeSeconds * 1e3, benchmark::Counter::kAvgIterations);
    } catch (const AppError &e) {
        state.SkipWithError(e.what());
    }
}
BENCHMARK(BM_OpenLineSet)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);

// Re-opening the line set under its link, as a change of year does: the
// whole table is still read, then indexed by invoice number and restricted.
void BM_OpenLinkedLineSet(benchmark::State &state)
{
    try {
        InvoiceData d;
        d.open(dbFile());
        for (auto _ : state) {
            d.invoiceLines.Close();
            d.invoiceLines.Open();
        }
        state.counters["rows_in_view"] = d.invoiceLines.RecordCount();
        state.counters["set_MB"] = double(d.invoiceLines.memoryBytes()) / (1024.0 * 1024.0);
    } catch (const AppError &e) {
        state.SkipWithError(e.what());
    }
}
BENCHMARK(BM_OpenLinkedLineSet)->Unit(benchmark::kMillisecond)->Iterations(5);

// What ordering the lines of each invoice by their place adds to opening the
// line set under its link: without places, with places already in id order
// (as lines typed one after the other have them) and with every invoice's
// places the reverse of its ids, which sorts every group. The places come
// from the statement, so that every variant reads the same.
void BM_OpenLinkedLinesByPlace(benchmark::State &state)
{
    const char *const places[] = {"NULL", "id + 0.5", "0.5 - id"};
    try {
        SqliteDatabase conn;
        conn.open(dbFile());
        RecordSet headers(QStringLiteral("rechnungsdetailstabelle"), conn);
        headers.setTableName(QStringLiteral("rechnungsdaten2004"));
        RecordSet lines(QStringLiteral("rechnungstabelle"), conn);
        lines.setSQL(QStringLiteral("SELECT *, %1 AS platz FROM rechnung2004").arg(QLatin1String(places[state.range(0)])));
        if (state.range(0) > 0)
            lines.setPositionField(QStringLiteral("platz"));
        DataSource headerSource(QStringLiteral("rdetails"), &headers);
        Link link(&headerSource, QStringLiteral("nr"), &lines, QStringLiteral("rechnungsnummer"));
        headers.Open();
        for (auto _ : state) {
            lines.Close();
            lines.Open();
        }
        state.counters["rows_in_view"] = lines.RecordCount();
    } catch (const AppError &e) {
        state.SkipWithError(e.what());
    }
}
BENCHMARK(BM_OpenLinkedLinesByPlace)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(3);

// ---------------------------------------------------------------- moving

// One step in the customer list: the header set and, through it, the line
// set follow their links; this is what scrolling the customer grid costs.
void BM_MoveCustomer(benchmark::State &state)
{
    try {
        InvoiceData d;
        d.open(dbFile());
        std::vector<double> moves;
        moves.reserve(size_t(state.max_iterations));
        double headerRows = 0, lineRows = 0;
        for (auto _ : state) {
            if (d.customers.Eof()) {
                state.PauseTiming();
                d.customers.First();
                state.ResumeTiming();
            }
            const auto t0 = Clock::now();
            d.customers.Next();
            moves.push_back(secondsSince(t0));
            headerRows += d.invoiceHeaders.RecordCount();
            lineRows += d.invoiceLines.RecordCount();
        }
        if (!moves.empty()) {
            std::sort(moves.begin(), moves.end());
            const double n = double(moves.size());
            state.counters["p99_us"] = moves[size_t(n * 0.99)] * 1e6;
            state.counters["max_us"] = moves.back() * 1e6;
            state.counters["headers_per_customer"] = headerRows / n;
            state.counters["lines_per_invoice"] = lineRows / n;
        }
    } catch (const AppError &e) {
        state.SkipWithError(e.what());
    }
}
BENCHMARK(BM_MoveCustomer)->Unit(benchmark::kMicrosecond)->Iterations(20000);

// ---------------------------------------------------------------- searching

// Fragments of the generated firm and family names, from frequent to rare,
// and one that matches nothing.
const char *const searchTexts[] = {"Gar", "ose", "ern", "aum", "Hot", "xyz"};

void BM_CustomerSearch(benchmark::State &state)
{
    try {
        InvoiceData d;
        d.open(dbFile());
        size_t i = 0;
        double found = 0;
        for (auto _ : state) {
            const QString text = QString::fromLatin1(searchTexts[i++ % std::size(searchTexts)]);
            d.customers.setSQL(InvoiceData::customerSearchSql(text));
            d.customers.Open();
            found += d.customers.RecordCount();
        }
        state.counters["customers_found"] = benchmark::Counter(found, benchmark::Counter::kAvgIterations);
    } catch (const AppError &e) {
        state.SkipWithError(e.what());
    }
}
BENCHMARK(BM_CustomerSearch)->Unit(benchmark::kMillisecond)->Iterations(60);

// ---------------------------------------------------------------- memory

void BM_LineSnapshotMemory(benchmark::State &state)
{
    try {
        // Freed memory of earlier benchmarks would otherwise be reused
        // without showing up as growth.
        malloc_trim(0);
        const size_t before = residentBytes();
        SqliteDatabase conn;
        conn.open(dbFile());
        RecordSet rs(QStringLiteral("rechnungstabelle"), conn);
        declareLineSet(rs);
        for (auto _ : state) {
            if (!rs.Active())
                rs.Open();
        }
        const size_t after = residentBytes();
        const double rows = rs.RecordCount();
        state.counters["rows"] = rows;
        if (rows > 0) {
            state.counters["bytes_per_row"] = double(rs.memoryBytes()) / rows;
            state.counters["rss_per_row"] = (double(after) - double(before)) / rows;
        }
    } catch (const AppError &e) {
        state.SkipWithError(e.what());
    }
}
BENCHMARK(BM_LineSnapshotMemory)->Unit(benchmark::kMillisecond)->Iterations(1);

// ---------------------------------------------------------------- refreshing

// A Refresh re-reads every row the set holds. It must cost no more than
// closing and opening the set, and must not keep what it read before: the
// issue's eight Refreshes of the million lines once took the resident memory
// from 314 to 876 MiB.
constexpr int Refreshes = 8;

void reportHeldMemory(benchmark::State &state, const RecordSet &rs, size_t heldBefore, size_t residentBefore)
{
    state.counters["rows"] = rs.RecordCount();
    state.counters["held_bytes"] = double(rs.heldBytes());
    state.counters["held_growth_bytes"] = double(rs.heldBytes()) - double(heldBefore);
    state.counters["set_bytes"] = double(rs.memoryBytes());
    state.counters["rss_growth_bytes"] = double(residentBytes()) - double(residentBefore);
}

void BM_RefreshLineSet(benchmark::State &state)
{
    try {
        SqliteDatabase conn;
        conn.open(dbFile());
        RecordSet rs(QStringLiteral("rechnungstabelle"), conn);
        declareLineSet(rs);
        rs.Open();
        malloc_trim(0);
        const size_t held = rs.heldBytes();
        const size_t resident = residentBytes();
        for (auto _ : state)
            rs.Refresh();
        reportHeldMemory(state, rs, held, resident);
    } catch (const AppError &e) {
        state.SkipWithError(e.what());
    }
}
BENCHMARK(BM_RefreshLineSet)->Unit(benchmark::kMillisecond)->Iterations(Refreshes);

// The same set closed and opened again as often: what a Refresh is held to.
void BM_CloseOpenLineSet(benchmark::State &state)
{
    try {
        SqliteDatabase conn;
        conn.open(dbFile());
        RecordSet rs(QStringLiteral("rechnungstabelle"), conn);
        declareLineSet(rs);
        rs.Open();
        malloc_trim(0);
        const size_t held = rs.heldBytes();
        const size_t resident = residentBytes();
        for (auto _ : state) {
            rs.Close();
            rs.Open();
        }
        reportHeldMemory(state, rs, held, resident);
    } catch (const AppError &e) {
        state.SkipWithError(e.what());
    }
}
BENCHMARK(BM_CloseOpenLineSet)->Unit(benchmark::kMillisecond)->Iterations(Refreshes);

// ---------------------------------------------------------------- totals

// An invoice of 1,000 typed lines, prices with up to three decimals and a few
// rates: what "[ Berechnen ]", the print and the e-invoice each add up.
struct TypedLine
{
    QString price;
    QString quantity;
    VatRate rate;
};

std::vector<TypedLine> typedLines()
{
    std::vector<TypedLine> lines;
    const VatRate rates[] = {StandardRate, {22, QString()}, {4, QString()}, {0, QStringLiteral("N3.2")}};
    unsigned seed = 12345;
    const auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
    for (int i = 0; i < 1000; ++i) {
        const unsigned p = next() % 1000000, q = next() % 5000;
        lines.push_back({QStringLiteral("%1,%2").arg(p / 1000).arg(p % 1000, 3, 10, QLatin1Char('0')),
                         QString::number(q / 100 + 1), rates[next() % 4]});
    }
    return lines;
}

const Separators Comma{QLatin1Char(','), QLatin1Char('.')};

// The exact way: each line's cents from its texts, then the one totals function.
void BM_ExactInvoiceTotals(benchmark::State &state)
{
    const std::vector<TypedLine> lines = typedLines();
    for (auto _ : state) {
        QList<TotalsLine> read;
        read.reserve(qsizetype(lines.size()));
        for (const TypedLine &l : lines)
            read.append({*lineAmount(l.price, l.quantity, Comma), l.rate});
        benchmark::DoNotOptimize(invoiceTotals(read));
    }
    state.counters["lines"] = double(lines.size());
}
BENCHMARK(BM_ExactInvoiceTotals)->Unit(benchmark::kMicrosecond)->MinTime(0.5);

// The floor: the same texts read as binary numbers and multiplied, as the
// calculated line amount does, without any sum.
void BM_BinaryLineProducts(benchmark::State &state)
{
    const std::vector<TypedLine> lines = typedLines();
    for (auto _ : state) {
        double sum = 0;
        for (const TypedLine &l : lines)
            sum += double(storedNumber(l.price, Comma) * storedNumber(l.quantity, Comma));
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_BinaryLineProducts)->Unit(benchmark::kMicrosecond)->MinTime(0.5);

// "&Offene Posten ...": every invoice of every year read with its lines and
// its exact totals, on the large file (100,000 invoices, 1,000,000 lines:
// decades of a nursery's invoices in one year's tables).
void BM_OpenItemsOfEveryYear(benchmark::State &state)
{
    try {
        SqliteDatabase conn;
        conn.open(dbFile());
        qsizetype items = 0;
        for (auto _ : state) {
            const OpenItems open = openItems(conn, Comma, QDate(2026, 12, 11));
            items = open.items.size();
            benchmark::DoNotOptimize(open.total);
        }
        state.counters["items"] = double(items);
    } catch (const AppError &e) {
        state.SkipWithError(e.what());
    }
}
BENCHMARK(BM_OpenItemsOfEveryYear)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);

// ---------------------------------------------------------------- summary

// Prints as the console reporter does and keeps what the summary needs:
// real seconds per iteration of every run and the counters of the last one.
class SummaryReporter : public benchmark::ConsoleReporter
{
public:
    using ConsoleReporter::ConsoleReporter;

    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &r : runs) {
            if (r.error_occurred || r.run_type != Run::RT_Iteration)
                continue;
            // A benchmark run with arguments is kept under each: "BM_X/1".
            const std::string name = r.run_name.function_name + (r.run_name.args.empty() ? "" : "/" + r.run_name.args);
            m_seconds[name].push_back(r.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(r.time_unit));
            for (const auto &[key, counter] : r.counters)
                m_counters[name][key] = counter.value;
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // The median over the repetitions, which an odd slow run does not move.
    std::optional<double> seconds(const std::string &name) const
    {
        auto it = m_seconds.find(name);
        if (it == m_seconds.end() || it->second.empty())
            return std::nullopt;
        std::vector<double> v = it->second;
        std::sort(v.begin(), v.end());
        const size_t n = v.size();
        return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
    }

    std::optional<double> counter(const std::string &name, const std::string &key) const
    {
        auto it = m_counters.find(name);
        if (it == m_counters.end())
            return std::nullopt;
        auto c = it->second.find(key);
        if (c == it->second.end())
            return std::nullopt;
        return c->second;
    }

private:
    std::map<std::string, std::vector<double>> m_seconds;
    std::map<std::string, std::map<std::string, double>> m_counters;
};

const char *verdict(bool met) { return met ? "met" : "NOT met"; }

void printSummary(const SummaryReporter &r)
{
    std::printf("\n");
    const auto bare = r.seconds("BM_BareLineRead");
    if (const auto open = r.seconds("BM_OpenLineSet"); bare && open && *bare > 0)
        std::printf("open/bare ratio: %.2f (target <= 2) %s\n", *open / *bare, verdict(*open / *bare <= 2.0));
    if (const auto linked = r.seconds("BM_OpenLinkedLineSet"); bare && linked && *bare > 0)
        std::printf("linked open/bare ratio: %.2f\n", *linked / *bare);
    if (const auto none = r.seconds("BM_OpenLinkedLinesByPlace/0"); none && *none > 0) {
        const auto ordered = r.seconds("BM_OpenLinkedLinesByPlace/1");
        const auto reversed = r.seconds("BM_OpenLinkedLinesByPlace/2");
        if (ordered && reversed)
            std::printf("linked open by place/without places: %.2f (in id order), %.2f (reversed)\n", *ordered / *none,
                        *reversed / *none);
    }
    if (const auto move = r.seconds("BM_MoveCustomer"))
        std::printf("move customer: %.1f us per move (target < 100 us) %s\n", *move * 1e6, verdict(*move * 1e6 < 100));
    if (const auto search = r.seconds("BM_CustomerSearch"))
        std::printf("customer search: %.2f ms (target < 5 ms) %s\n", *search * 1e3, verdict(*search * 1e3 < 5));
    if (const auto perRow = r.counter("BM_LineSnapshotMemory", "bytes_per_row")) {
        std::printf("line snapshot: %.1f bytes per row (target <= 120) %s", *perRow, verdict(*perRow <= 120));
        if (const auto rss = r.counter("BM_LineSnapshotMemory", "rss_per_row"))
            std::printf(", resident growth %.1f bytes per row", *rss);
        std::printf("\n");
    }
    if (const auto exact = r.seconds("BM_ExactInvoiceTotals")) {
        std::printf("exact totals of a 1,000-line invoice: %.3f ms (target < 5 ms) %s", *exact * 1e3, verdict(*exact * 1e3 < 5));
        if (const auto binary = r.seconds("BM_BinaryLineProducts"); binary && *binary > 0)
            std::printf(", %.2f x the binary products alone", *exact / *binary);
        std::printf("\n");
    }
    const auto refresh = r.seconds("BM_RefreshLineSet");
    if (const auto reopen = r.seconds("BM_CloseOpenLineSet"); refresh && reopen && *reopen > 0)
        std::printf("refresh/close+open ratio: %.2f (target <= 1) %s\n", *refresh / *reopen, verdict(*refresh <= *reopen));
    if (const auto growth = r.counter("BM_RefreshLineSet", "held_growth_bytes")) {
        std::printf("held after %d refreshes: %+.0f bytes (target 0) %s", Refreshes, *growth, verdict(*growth <= 0));
        if (const auto rss = r.counter("BM_RefreshLineSet", "rss_growth_bytes"))
            std::printf(", resident growth %.1f MiB", *rss / (1024.0 * 1024.0));
        std::printf("\n");
    }
}

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;

    g_dbFile = benchDatabasePath();
    if (!ensureDatabase(g_dbFile))
        return 1;

    SummaryReporter reporter(isatty(STDOUT_FILENO) ? benchmark::ConsoleReporter::OO_ColorTabular
                                                   : benchmark::ConsoleReporter::OO_Tabular);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    printSummary(reporter);
    std::fflush(stdout);
    benchmark::Shutdown();
    return 0;
}
