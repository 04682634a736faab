// The windows' speed: start-up until the main window is shown and idle, on
// the demo database and on the large generated one, and one keystroke in the
// customer search on 10,000 customers, from the key to the repainted list;
// the same keystroke on 20,000 customers with accessibility on, as for a
// user of a screen reader.

#include "app/mainwindow.h"
#include "app/program.h"
#include "benchdb.h"
#include "data/amount.h"
#include "controls/dbgrid.h"
#include "dialogs/customersearch.h"
#include "tests/controls/accessibilityon.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <chrono>
#include <functional>
#include <memory>

namespace {

using Clock = std::chrono::steady_clock;

std::string g_demoFile;
std::string g_largeFile;
std::string g_customers20kFile;

// A working directory whose "rechungen.mdb" is a link to the given database.
struct Workdir
{
    explicit Workdir(const std::string &database)
    {
        QFile::link(QString::fromLocal8Bit(database.c_str()), dir.filePath(QStringLiteral("rechungen.mdb")));
        QDir::setCurrent(dir.path());
    }
    ~Workdir() { QDir::setCurrent(QDir::tempPath()); }
    QTemporaryDir dir;
};

void settle()
{
    // Shown and idle: every pending event, paints included, handled.
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void startup(benchmark::State &state, const std::string &database)
{
    Workdir work(database);
    for (auto _ : state) {
        const auto t0 = Clock::now();
        auto program = std::make_unique<Program>();
        program->create();
        program->mainWindow->show();
        settle();
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - t0).count());
        state.PauseTiming();
        program.reset();
        settle();
        state.ResumeTiming();
    }
}

void BM_StartupDemo(benchmark::State &state) { startup(state, g_demoFile); }
BENCHMARK(BM_StartupDemo)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_StartupLarge(benchmark::State &state) { startup(state, g_largeFile); }
BENCHMARK(BM_StartupLarge)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

// `ready` runs once the dialog is up, right before the first key.
void searchKeystrokes(benchmark::State &state, const std::string &database, const std::function<void()> &ready = {})
{
    Workdir work(database);
    Program program;
    program.create();
    program.mainWindow->show();
    CustomerSearch *dialog = program.customerSearch.get();
    dialog->show(); // shown without its own event loop, so the benchmark drives it
    dialog->activateWindow();
    settle();
    dialog->searchText->setFocus();
    DBGrid *grid = dialog->resultList;
    // Typing and taking back a letter: every key re-runs the search.
    const Qt::Key keys[] = {Qt::Key_G, Qt::Key_A, Qt::Key_R, Qt::Key_Backspace, Qt::Key_Backspace, Qt::Key_Backspace};
    size_t k = 0;
    int64_t rows = 0;
    if (ready)
        ready();
    for (auto _ : state) {
        QTest::keyClick(dialog->searchText, keys[k++ % std::size(keys)]);
        grid->viewport()->repaint();
        rows += grid->model()->rowCount();
    }
    state.counters["rows_listed"] = benchmark::Counter(double(rows), benchmark::Counter::kAvgIterations);
    dialog->hide();
}

void BM_SearchKeystroke(benchmark::State &state) { searchKeystrokes(state, g_largeFile); }
BENCHMARK(BM_SearchKeystroke)->Unit(benchmark::kMillisecond)->Iterations(60);

// Every update is looked at as a bridge does before passing it on to the
// screen reader, which then asks the same of the object it names.
void lookAt(QAccessibleEvent *e)
{
    QAccessibleInterface *iface = e->accessibleInterface();
    if (!iface || !iface->isValid())
        return;
    benchmark::DoNotOptimize(iface->role());
    benchmark::DoNotOptimize(iface->state());
    benchmark::DoNotOptimize(iface->text(QAccessible::Name));
    if (QAccessibleTextInterface *text = iface->textInterface())
        benchmark::DoNotOptimize(text->text(0, text->characterCount()));
    if (QAccessibleTableInterface *table = iface->tableInterface()) {
        benchmark::DoNotOptimize(table->rowCount());
        benchmark::DoNotOptimize(table->columnCount());
    }
}

void BM_SearchKeystrokeAccessible(benchmark::State &state)
{
    int64_t updates = 0;
    AccessibilityOn on([&](QAccessibleEvent *e) {
        ++updates;
        lookAt(e);
    });
    if (!QAccessible::isActive()) {
        state.SkipWithError("Qt's accessibility cannot be switched on here");
        return;
    }
    searchKeystrokes(state, g_customers20kFile, [&] { updates = 0; });
    // The updates a screen reader has to take in per key.
    state.counters["a11y_updates"] = benchmark::Counter(double(updates), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_SearchKeystrokeAccessible)->Unit(benchmark::kMillisecond)->Iterations(60);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    prepareApplication(app);
    // The generated amounts carry a decimal comma.
    setUserSeparators({QLatin1Char(','), QLatin1Char('.')});
    benchmark::Initialize(&argc, argv);
    g_demoFile = benchDatabasePath("rechnung-bench-demo.mdb");
    g_largeFile = benchDatabasePath();
    // The search reads customers only; few invoices keep the file quick to make.
    g_customers20kFile = benchDatabasePath("rechnung-bench-20k-customers.mdb");
    if (!ensureDatabase(g_demoFile, {"demo"}) || !ensureDatabase(g_largeFile)
        || !ensureDatabase(g_customers20kFile, {"generate", "--customers", "20000", "--headers", "20000", "--lines", "100000"}))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
