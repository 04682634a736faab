// The printed invoice's speed on an invoice of 1,000 lines: one run into
// display lists, the same pages written as PDF, and how soon the preview
// opens with all of its pages compared with the bare run.

#include "report/invoicereport.h"

#include "data/amount.h"
#include "data/database.h"
#include "data/errors.h"
#include "data/sqlitedatabase.h"
#include "framework/report/pagefile.h"
#include "framework/report/previewwindow.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>


#include <memory>

namespace {

constexpr int Lines = 1000;

QTemporaryDir *g_dir = nullptr;

QString databaseFile() { return g_dir->filePath(QStringLiteral("rechungen.mdb")); }

bool exec(Database &db, const QByteArray &sql)
{
    try {
        db.exec(sql);
    } catch (const AppError &e) {
        std::fprintf(stderr, "SQL: %s\n", e.what());
        return false;
    }
    return true;
}

// One customer, one invoice, 1,000 lines of varying descriptions, some of
// them long enough to wrap.
bool makeDatabase()
{
    QFile schema(QStringLiteral(RECHNUNG_SCHEMA_FILE));
    if (!schema.open(QIODevice::ReadOnly))
        return false;
    // The engine never creates a file: an empty one is a new database to it.
    QFile made(databaseFile());
    if (!made.open(QIODevice::NewOnly))
        return false;
    made.close();
    SqliteDatabase db;
    try {
        db.open(databaseFile());
    } catch (const AppError &e) {
        std::fprintf(stderr, "%s\n", e.what());
        return false;
    }
    QByteArray sql = schema.readAll();
    sql += "INSERT INTO kunde (id, name, name2, ansprache, piva, adresse) VALUES (1, 'Großkunde', 'Einkauf', "
           "'Sehr geehrte Damen und Herren', '00000000001', 'Weg 1' || char(13, 10) || '39000 Ort');"
           "INSERT INTO rechnungsdaten2004 (id, nr, datum, bezahlung, kundennummer, bestimmungsort) VALUES "
           "(1, '1000', '01.02.2004', '30 Tage', '1', 'Lager');BEGIN;";
    for (int i = 1; i <= Lines; ++i) {
        const QByteArray text = (i % 10 == 0) ? QByteArray("Hochstamm-Rosen veredelt im Topf mit Stütze Nr. ") + QByteArray::number(i)
                                              : QByteArray("Pflanze Nr. ") + QByteArray::number(i);
        sql += "INSERT INTO rechnung2004 (rechnungsnummer, beschreibung, anzahl, einzelpreis) VALUES ('1000', '" + text + "', '"
               + QByteArray::number(i % 7 + 1) + "', '" + QByteArray::number(i % 50) + ",25');";
    }
    sql += "COMMIT;";
    return exec(db, sql);
}

struct Invoice
{
    Invoice()
    {
        // The generated amounts carry a decimal comma.
        data.setSeparators({QLatin1Char(','), QLatin1Char('.')});
        data.open(databaseFile());
        druck = std::make_unique<InvoiceReport>(data);
    }
    InvoiceData data;
    std::unique_ptr<InvoiceReport> druck;
};

void BM_RunIntoDisplayLists(benchmark::State &state)
{
    Invoice inv;
    size_t pages = 0;
    for (auto _ : state) {
        const rpt::RunResult r = inv.druck->layout.run();
        if (r.end != rpt::RunEnd::Completed) {
            state.SkipWithError("run did not complete");
            return;
        }
        pages = r.pages.size();
        benchmark::DoNotOptimize(r.pages.data());
    }
    state.counters["pages"] = double(pages);
}
BENCHMARK(BM_RunIntoDisplayLists)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_WritePdf(benchmark::State &state)
{
    Invoice inv;
    const rpt::RunResult r = inv.druck->layout.run();
    const QString file = g_dir->filePath(QStringLiteral("rechnung.pdf"));
    qint64 bytes = 0;
    for (auto _ : state) {
        if (!rpt::writePdf(r.pages, file)) {
            state.SkipWithError("PDF not written");
            return;
        }
        bytes = QFile(file).size();
    }
    state.counters["pages"] = double(r.pages.size());
    state.counters["bytes"] = double(bytes);
}
BENCHMARK(BM_WritePdf)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The preview as "&Drucken" opens it: only a whole run is shown, so the
// time until the window is there with every page, against the bare run.
void BM_PreviewOpens(benchmark::State &state)
{
    Invoice inv;
    double opened = 0, bare = 0;
    int runs = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        double shown = -1;
        int pages = 0;
        auto c = QObject::connect(&inv.druck->runner, &rpt::ReportRunner::previewOpened, [&](QWidget *w) {
            shown = clock.nsecsElapsed() / 1e9;
            auto *window = qobject_cast<rpt::PreviewWindow *>(w);
            pages = window->pageCount();
            QTimer::singleShot(0, window, &QWidget::close);
        });
        clock.start();
        inv.druck->showPreview();
        QObject::disconnect(c);
        if (shown < 0 || pages == 0) {
            state.SkipWithError("preview did not show pages");
            return;
        }
        state.PauseTiming();
        clock.start();
        const rpt::RunResult r = inv.druck->layout.run();
        bare += clock.nsecsElapsed() / 1e9;
        benchmark::DoNotOptimize(r.pages.data());
        state.ResumeTiming();
        opened += shown;
        ++runs;
    }
    state.counters["preview_open_s"] = opened / runs;
    state.counters["bare_run_s"] = bare / runs;
}
BENCHMARK(BM_PreviewOpens)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    QTemporaryDir dir;
    g_dir = &dir;
    if (!dir.isValid() || !makeDatabase())
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
