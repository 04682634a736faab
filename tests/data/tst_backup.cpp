// Copies of the database: the online copy, its check and the daily rotation.

#include "testdb.h"

#include "data/backup.h"
#include "data/sqlitedatabase.h"
#include "data/errors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <thread>


namespace {

QStringList entries(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
}

QString customerNames(const QString &file)
{
    return testdb::scalar(file, QStringLiteral("SELECT group_concat(name, '|') FROM (SELECT name FROM kunde ORDER BY id)"));
}

QByteArray contentOf(const QString &file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("not readable");
}

// Overwrites a stretch of the file in the middle of its pages.
void damage(const QString &file, qint64 at, qint64 length)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadWrite))
        qFatal("cannot open %s", qPrintable(file));
    f.seek(at);
    f.write(QByteArray(length, '\x5a'));
}

// Some megabytes of lines, so that a copy in parts takes several of them.
const char *const manyLines =
    "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000) "
    "INSERT INTO rechnung2004 (rechnungsnummer, beschreibung) SELECT i, hex(randomblob(600)) FROM n;";

const char *const someCustomers =
    "INSERT INTO kunde (name, adresse) VALUES ('Baumschule Ahorn', 'Weg 1'), ('Vivai Rossi', 'Via 2'), "
    "('Gärtnerei Öhler', 'Platz 3')";

} // namespace

class TstBackup : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void copyHoldsTheDatabase()
    {
        testdb::Fixture db(QString::fromUtf8(someCustomers));
        QTemporaryDir out;
        const QString target = out.filePath(QStringLiteral("kopie.mdb"));
        SqliteDatabase c;
        c.open(db.file());
        backup::copyDatabase(c, target, false);
        QCOMPARE(customerNames(target), customerNames(db.file()));
        QCOMPARE(backup::integrityProblem(target), QString());
        // Nothing half made is left beside it.
        QCOMPARE(entries(out.path()), QStringList{QStringLiteral("kopie.mdb")});
    }

    // Another program's unfinished write is not in the copy, and the copy
    // does not wait for it.
    void copyIsTheCommittedState()
    {
        testdb::Fixture db(QString::fromUtf8(someCustomers));
        const QString before = customerNames(db.file());
        SqliteDatabase writer;
        testdb::openOther(writer, db.file());
        writer.exec("BEGIN; INSERT INTO kunde (name) VALUES ('Halb geschrieben'); "
                    "UPDATE kunde SET name = 'Umbenannt' WHERE id = 1");
        QTemporaryDir out;
        const QString target = out.filePath(QStringLiteral("kopie.mdb"));
        SqliteDatabase c;
        c.open(db.file());
        backup::copyDatabase(c, target, false);
        writer.exec("ROLLBACK");
        writer.close();
        QCOMPARE(customerNames(target), before);
        QCOMPARE(backup::integrityProblem(target), QString());
    }

    void existingTargetIsKeptUnlessReplaced()
    {
        testdb::Fixture db(QString::fromUtf8(someCustomers));
        QTemporaryDir out;
        const QString target = out.filePath(QStringLiteral("kopie.mdb"));
        {
            QFile f(target);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("Wichtige Daten\n");
        }
        SqliteDatabase c;
        c.open(db.file());
        try {
            backup::copyDatabase(c, target, false);
            QFAIL("an existing file was overwritten");
        } catch (const EngineError &e) {
            QVERIFY2(e.message().contains(QLatin1String("existiert bereits")), qPrintable(e.message()));
        }
        QCOMPARE(contentOf(target), QByteArray("Wichtige Daten\n"));
        QCOMPARE(entries(out.path()), QStringList{QStringLiteral("kopie.mdb")});

        backup::copyDatabase(c, target, true);
        QCOMPARE(customerNames(target), customerNames(db.file()));
        QCOMPARE(entries(out.path()), QStringList{QStringLiteral("kopie.mdb")});
    }

    void copyIntoAMissingFolderFails()
    {
        testdb::Fixture db;
        QTemporaryDir out;
        const QString target = out.filePath(QStringLiteral("fehlt/kopie.mdb"));
        SqliteDatabase c;
        c.open(db.file());
        try {
            backup::copyDatabase(c, target, false);
            QFAIL("copied into a folder that does not exist");
        } catch (const EngineError &e) {
            QVERIFY2(e.message().contains(QLatin1String("konnte nicht geschrieben werden")), qPrintable(e.message()));
            QVERIFY2(e.message().contains(QLatin1String("existiert nicht")), qPrintable(e.message()));
        }
        QCOMPARE(entries(out.path()), QStringList());
    }

    void integrityProblem_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("expected"); // a part of the message; empty: intact
        QTest::newRow("intact") << QStringLiteral("intact") << QString();
        QTest::newRow("damaged pages") << QStringLiteral("damaged") << QStringLiteral("beschädigt");
        QTest::newRow("text file") << QStringLiteral("text") << QStringLiteral("kann nicht geprüft werden");
        QTest::newRow("missing") << QStringLiteral("missing") << QStringLiteral("nicht gefunden");
        QTest::newRow("folder") << QStringLiteral("folder") << QStringLiteral("Ordner");
    }

    void integrityProblem()
    {
        QFETCH(QString, kind);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("rechungen.mdb"));
        if (kind == QLatin1String("intact") || kind == QLatin1String("damaged")) {
            testdb::exec(file, testdb::schemaText());
            testdb::exec(file, QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 2000) "
                                              "INSERT INTO kunde (name, adresse) SELECT 'Kunde ' || i, printf('%0200d', i) FROM n"));
            if (kind == QLatin1String("damaged"))
                damage(file, QFileInfo(file).size() / 2, 3000);
        } else if (kind == QLatin1String("text")) {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(4096, 'x'));
        } else if (kind == QLatin1String("folder")) {
            QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("rechungen.mdb")));
        }
        const QByteArray before = kind == QLatin1String("folder") ? QByteArray() : contentOf(file);
        const QString problem = backup::integrityProblem(file);
        if (expected.isEmpty()) {
            QCOMPARE(problem, QString());
        } else {
            QVERIFY2(problem.contains(expected), qPrintable(problem));
            if (kind != QLatin1String("missing"))
                QVERIFY2(problem.contains(file), qPrintable(problem));
        }
        if (kind != QLatin1String("folder"))
            QCOMPARE(contentOf(file), before);
    }

    void dailyFileName()
    {
        QCOMPARE(backup::dailyFileName(QDate(2026, 3, 7)), QStringLiteral("rechungen-2026-03-07.mdb"));
    }

    void dailyCopyOncePerDay()
    {
        testdb::Fixture db(QString::fromUtf8(someCustomers));
        SqliteDatabase c;
        c.open(db.file());
        const QString folder = db.dir() + QStringLiteral("/Sicherungen");
        const QString made = backup::makeDailyCopy(c, db.file(), QDate(2026, 3, 7));
        QCOMPARE(made, folder + QStringLiteral("/rechungen-2026-03-07.mdb"));
        QCOMPARE(customerNames(made), customerNames(db.file()));

        // A later start the same day leaves the morning's copy alone.
        db.exec(QStringLiteral("INSERT INTO kunde (name) VALUES ('Am Nachmittag')"));
        QCOMPARE(backup::makeDailyCopy(c, db.file(), QDate(2026, 3, 7)), QString());
        QVERIFY(!customerNames(made).contains(QLatin1String("Am Nachmittag")));

        const QString next = backup::makeDailyCopy(c, db.file(), QDate(2026, 3, 8));
        QVERIFY(customerNames(next).contains(QLatin1String("Am Nachmittag")));
        QCOMPARE(entries(folder), (QStringList{QStringLiteral("rechungen-2026-03-07.mdb"), QStringLiteral("rechungen-2026-03-08.mdb")}));
    }

    void dailyCopiesKeepTheNewest_data()
    {
        QTest::addColumn<int>("days");
        QTest::newRow("one") << 1;
        QTest::newRow("fourteen") << 14;
        QTest::newRow("fifteen") << 15;
        QTest::newRow("twenty") << 20;
    }

    void dailyCopiesKeepTheNewest()
    {
        QFETCH(int, days);
        testdb::Fixture db;
        SqliteDatabase c;
        c.open(db.file());
        const QString folder = db.dir() + QStringLiteral("/Sicherungen");
        QVERIFY(QDir().mkpath(folder));
        // The user's own files in the folder are never the program's to remove.
        for (const char *own : {"rechungen.mdb", "rechungen-alt.mdb", "notiz.txt"}) {
            QFile f(folder + QLatin1Char('/') + QLatin1String(own));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        // Across a month's end, so that only the date decides the order.
        const QDate first(2026, 1, 25);
        for (int d = 0; d < days; ++d)
            QVERIFY(!backup::makeDailyCopy(c, db.file(), first.addDays(d)).isEmpty());

        QStringList expected{QStringLiteral("notiz.txt"), QStringLiteral("rechungen-alt.mdb"), QStringLiteral("rechungen.mdb")};
        for (int d = qMax(0, days - backup::KeptDailyCopies); d < days; ++d)
            expected << backup::dailyFileName(first.addDays(d));
        expected.sort();
        QCOMPARE(entries(folder), expected);
    }

    // The copy in the background is the file as it was when it started, whole
    // and intact, even when the file is written to at once.
    void copyInTheBackgroundIsWhole()
    {
        testdb::Fixture db(QString::fromUtf8(someCustomers) + QLatin1Char(';') + QString::fromUtf8(manyLines));
        const QString names = customerNames(db.file());
        const QString folder = db.dir() + QStringLiteral("/Sicherungen");
        std::atomic<int> finishedCalls{0}, parts{0}, lastRemaining{-1};
        QString failure = QStringLiteral("not told");
        backup::DailyCopyJob job;
        QVERIFY(job.start(
            db.file(), QDate(2026, 3, 7),
            [&](const QString &f) {
                failure = f;
                ++finishedCalls;
            },
            [&](int remaining, int) {
                ++parts;
                lastRemaining = remaining;
            }));
        db.exec(QStringLiteral("INSERT INTO kunde (name) VALUES ('Während der Sicherung')"));
        job.wait();
        QCOMPARE(finishedCalls.load(), 1);
        QCOMPARE(failure, QString());
        QVERIFY2(parts.load() > 1, qPrintable(QString::number(parts.load())));
        QCOMPARE(lastRemaining.load(), 0);
        const QString made = folder + QStringLiteral("/rechungen-2026-03-07.mdb");
        QCOMPARE(entries(folder), QStringList{QStringLiteral("rechungen-2026-03-07.mdb")});
        QCOMPARE(customerNames(made), names);
        QCOMPARE(testdb::scalar(made, QStringLiteral("SELECT count(*) FROM rechnung2004")), QStringLiteral("3000"));
        QCOMPARE(backup::integrityProblem(made), QString());
        // Later the same day there is nothing to do.
        QVERIFY(!job.start(db.file(), QDate(2026, 3, 7), {}));
    }

    // Quitting abandons a copy under way: no file under the daily name and
    // none half made; the next start makes the copy.
    void abandonedCopyLeavesNoFile()
    {
        testdb::Fixture db(QString::fromUtf8(someCustomers) + QLatin1Char(';') + QString::fromUtf8(manyLines));
        const QString folder = db.dir() + QStringLiteral("/Sicherungen");
        std::atomic<int> remainingAtFirstPart{-1};
        bool finished = false;
        backup::DailyCopyJob job;
        // The first part waits there until the copy is abandoned.
        QVERIFY(job.start(db.file(), QDate(2026, 3, 7), [&](const QString &) { finished = true; },
                          [&](int remaining, int) {
                              if (remainingAtFirstPart.load() >= 0)
                                  return;
                              remainingAtFirstPart = remaining;
                              while (!job.abandoning())
                                  std::this_thread::yield();
                          }));
        job.abandon();
        QVERIFY2(remainingAtFirstPart.load() > 0, qPrintable(QString::number(remainingAtFirstPart.load())));
        QVERIFY(!finished);
        QCOMPARE(entries(folder), QStringList());
        // The file is free for writers again.
        db.exec(QStringLiteral("INSERT INTO kunde (name) VALUES ('Danach')"));

        QVERIFY(job.start(db.file(), QDate(2026, 3, 7), [&](const QString &) { finished = true; }));
        job.wait();
        QVERIFY(finished);
        QCOMPARE(customerNames(folder + QStringLiteral("/rechungen-2026-03-07.mdb")), customerNames(db.file()));
    }

    // A failure in the background is told once, with the daily copy's message.
    void failedCopyInTheBackgroundIsTold()
    {
        testdb::Fixture db(QString::fromUtf8(someCustomers));
        {
            QFile blocker(db.dir() + QStringLiteral("/Sicherungen")); // a file where the folder belongs
            QVERIFY(blocker.open(QIODevice::WriteOnly));
        }
        QStringList told;
        backup::DailyCopyJob job;
        QVERIFY(job.start(db.file(), QDate(2026, 3, 7), [&](const QString &f) { told << f; }));
        job.wait();
        QCOMPARE(told.size(), 1);
        QVERIFY2(told.value(0).startsWith(QStringLiteral("Die tägliche Sicherung der Datenbank ist fehlgeschlagen.")),
                 qPrintable(told.value(0)));
    }

    // A failure says so once, in German, and the next start tries again.
    void failedDailyCopyIsTriedAgain()
    {
        testdb::Fixture db(QString::fromUtf8(someCustomers));
        SqliteDatabase c;
        c.open(db.file());
        const QString folder = db.dir() + QStringLiteral("/Sicherungen");
        {
            QFile blocker(folder); // a file where the folder belongs
            QVERIFY(blocker.open(QIODevice::WriteOnly));
        }
        try {
            backup::makeDailyCopy(c, db.file(), QDate(2026, 3, 7));
            QFAIL("the copy went through without its folder");
        } catch (const EngineError &e) {
            QVERIFY2(e.message().startsWith(QStringLiteral("Die tägliche Sicherung der Datenbank ist fehlgeschlagen.")),
                     qPrintable(e.message()));
            QVERIFY2(e.message().contains(QStringLiteral("beim nächsten Start wieder versucht")), qPrintable(e.message()));
        }
        QVERIFY(QFile::remove(folder));
        const QString made = backup::makeDailyCopy(c, db.file(), QDate(2026, 3, 7));
        QCOMPARE(customerNames(made), customerNames(db.file()));
    }
};

QTEST_GUILESS_MAIN(TstBackup)
#include "tst_backup.moc"
