// A few hundred damaged Access files, made from the fixtures with a fixed
// seed (bytes flipped anywhere or in the pages that hold the tables, runs of
// bytes overwritten, the file cut short), go through the import. Whatever
// the damage, the import either succeeds or refuses with a message; it never
// crashes, never leaves a file behind when it refuses, and never changes the
// source. Also run under AddressSanitizer.

#include "fixtures.h"
#include "testdb.h"

#include "access/import.h"
#include "data/errors.h"

#include <QDir>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using namespace accessdb;

namespace {

enum Mutation { FlipAnywhere, FlipInTables, Overwrite, CutAnywhere, CutAtPage, MutationCount };

// The pages that hold table definitions and rows.
QList<int> tablePages(const QByteArray &file)
{
    const int page = fixtures::pageSize(file);
    QList<int> pages;
    for (int n = 1; n < file.size() / page; ++n) {
        const char type = file.at(qsizetype(n) * page);
        if (type == 0x01 || type == 0x02)
            pages << n;
    }
    return pages;
}

QByteArray mutated(QByteArray file, Mutation m, QRandomGenerator &random)
{
    const int page = fixtures::pageSize(file);
    const QList<int> pages = tablePages(file);
    const auto inTables = [&] { return qsizetype(pages.at(random.bounded(int(pages.size())))) * page + random.bounded(page); };
    switch (m) {
    case FlipAnywhere:
    case FlipInTables:
        for (int i = 0, n = 1 + random.bounded(16); i < n; ++i) {
            const qsizetype at = m == FlipAnywhere ? random.bounded(int(file.size())) : inTables();
            file[at] = char(file.at(at) ^ (1 << random.bounded(8)));
        }
        break;
    case Overwrite: {
        const qsizetype at = inTables();
        const qsizetype length = qMin<qsizetype>(1 + random.bounded(256), file.size() - at);
        for (qsizetype i = 0; i < length; ++i)
            file[at + i] = char(random.bounded(256));
        break;
    }
    case CutAnywhere:
        file.truncate(random.bounded(int(file.size())));
        break;
    case CutAtPage:
        file.truncate(qsizetype(random.bounded(int(file.size() / page))) * page);
        break;
    case MutationCount:
        break;
    }
    return file;
}

} // namespace

class TestAccessMutations : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void mutationsNeverCrash_data()
    {
        QTest::addColumn<QByteArray>("original");
        // Renamed so that the import has a table of the program to write.
        const QByteArray jet4 = fixtures::bytes(QStringLiteral("jet4-test.mdb"));
        QTest::newRow("jet4") << fixtures::renamedTable(fixtures::renamedTable(jet4, "Table1", "kunde"), "Table3", "rechnung");
        QTest::newRow("ace") << fixtures::renamedTable(fixtures::bytes(QStringLiteral("ace-test.accdb")), "Table1", "kunde");
        QTest::newRow("password") << fixtures::bytes(QStringLiteral("jet4-with-password.mdb"));
        QTest::newRow("jet3") << fixtures::bytes(QStringLiteral("jet3-test.mdb"));
        QTest::newRow("numeric") << fixtures::bytes(QStringLiteral("jet4-numeric.mdb"));
    }

    void mutationsNeverCrash()
    {
        QFETCH(QByteArray, original);
        constexpr int PerKind = 12;
        QRandomGenerator random(quint32(20040312 + qHash(QByteArray(QTest::currentDataTag()))));
        QTemporaryDir dir;
        const QString source = dir.filePath(QStringLiteral("alt.mdb"));
        const QString target = dir.filePath(QStringLiteral("neu.mdb"));
        int imported = 0, refused = 0;
        QElapsedTimer clock;
        clock.start();
        qint64 slowest = 0;
        for (int kind = 0; kind < MutationCount; ++kind) {
            for (int i = 0; i < PerKind; ++i) {
                const QByteArray content = mutated(original, Mutation(kind), random);
                fixtures::write(source, content);
                const qint64 started = clock.elapsed();
                try {
                    const ImportReport report = importAccessFile(source, target, Separators());
                    ++imported;
                    QCOMPARE(testdb::scalar(target, QStringLiteral("PRAGMA integrity_check")), QStringLiteral("ok"));
                    QVERIFY(report.complete());
                    QVERIFY(QFile::remove(target));
                } catch (const EngineError &e) {
                    ++refused;
                    QVERIFY2(!e.message().isEmpty(), "a refusal says why");
                    QVERIFY2(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot) == QStringList{"alt.mdb"},
                             qPrintable(e.message()));
                }
                slowest = qMax(slowest, clock.elapsed() - started);
                QFile f(source);
                QVERIFY(f.open(QIODevice::ReadOnly));
                QCOMPARE(f.readAll(), content);
            }
        }
        qInfo("%d mutations: %d imported, %d refused; %lld ms in all, the slowest %lld ms", int(MutationCount) * PerKind, imported,
              refused, clock.elapsed(), slowest);
    }
};

QTEST_GUILESS_MAIN(TestAccessMutations)
#include "tst_accessmutations.moc"
