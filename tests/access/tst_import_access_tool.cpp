// "rechnung-db import-access" run as a separate program, as a user would:
// the listing of every fixture, an import, damaged and foreign files refused
// without a file written, and a killed run that leaves nothing behind.

#include "fixtures.h"
#include "testdb.h"
#include "tool.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <unistd.h>

namespace {

const QString GermanLocale = QStringLiteral("de_DE.UTF-8");

QStringList entries(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
}

QByteArray contentOf(const QString &file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The processes still running this tool on `target`: the reading child has
// the same command line as the tool, having no program of its own.
int runningOn(const QString &target)
{
    int n = 0;
    const QByteArray wanted = QByteArray(RECHNUNG_DB_TOOL) + '\0' + "import-access";
    for (const QString &pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        const QByteArray cmdline = contentOf(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (cmdline.startsWith(wanted) && cmdline.contains(target.toUtf8()))
            ++n;
    }
    return n;
}

const QString Table1 = QStringLiteral("Table1: 2 Zeilen; A Text(50), B Text(100), C Byte, D Integer, E Long Integer, F Double, "
                                      "G DateTime, H Currency, I Boolean");
const QString Table3 = QStringLiteral("Table3: 0 Zeilen; a Long Integer, b Text(50)");
const QString Table4 = QStringLiteral("Table4: 0 Zeilen; name Text(50), data Replication ID");

} // namespace

class TestImportAccessTool : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // As ../shared/access/README.md lists them. Table2's columns are
    // "column1 ... column15 and more", checked one by one.
    void list_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("lines");
        for (const char *file : {"jet3-test.mdb", "jet4-test.mdb", "ace-test.accdb"})
            QTest::newRow(file) << file << QStringList{Table1, QStringLiteral("Table2"), Table3, Table4};
        QTest::newRow("jet4-numeric.mdb") << "jet4-numeric.mdb"
                                          << QStringList{"test: 1 Zeile; col1 Memo, col2 Numeric(18,0), col3 Numeric(18,0), col4 Numeric(18,0), "
                                                         "col5 Numeric(18,0), col6 Numeric(18,0), col7 Numeric(18,0)"};
        QTest::newRow("jet4-empty.mdb") << "jet4-empty.mdb"
                                        << QStringList{QStringLiteral("Die Datei %1 enthält keine Tabellen.").arg(fixtures::path("jet4-empty.mdb"))};
        QTest::newRow("jet4-with-password.mdb") << "jet4-with-password.mdb"
                                                << QStringList{"Table1: 3 Zeilen; ID Long Integer, Data Text(255)"};
    }

    void list()
    {
        QFETCH(QString, file);
        QFETCH(QStringList, lines);
        const ToolResult r = runTool({QStringLiteral("import-access"), QStringLiteral("--list"), fixtures::path(file)});
        QCOMPARE(r.err, QString());
        QCOMPARE(r.exitCode, 0);
        QStringList out = r.out.split(QLatin1Char('\n'));
        QCOMPARE(out.takeLast(), QString());
        QCOMPARE(out.size(), lines.size());
        for (qsizetype i = 0; i < lines.size(); ++i) {
            if (lines.at(i) != QLatin1String("Table2")) {
                QCOMPARE(out.at(i), lines.at(i));
                continue;
            }
            const QString prefix = QStringLiteral("Table2: 0 Zeilen; ");
            QVERIFY(out.at(i).startsWith(prefix));
            const QStringList columns = out.at(i).mid(prefix.size()).split(QStringLiteral(", "));
            QVERIFY(columns.size() > 15);
            for (qsizetype c = 0; c < columns.size(); ++c)
                QCOMPARE(columns.at(c), QStringLiteral("column%1 Text(50)").arg(c + 1));
        }
    }

    // jet4-test.mdb with Table1 renamed into kunde: a file of this program
    // as far as the tool can tell.
    void importsAndReports()
    {
        QTemporaryDir dir;
        const QString source = dir.filePath(QStringLiteral("rechungen.access.mdb"));
        const QString target = dir.filePath(QStringLiteral("rechungen.mdb"));
        fixtures::write(source, fixtures::renamedTable(fixtures::bytes(QStringLiteral("jet4-test.mdb")), QStringLiteral("Table1"), "kunde"));
        const ToolResult r = runTool({QStringLiteral("import-access"), source, target}, {.locale = GermanLocale});
        QCOMPARE(r.err, QString());
        QCOMPARE(r.exitCode, 0);
        const QStringList out = r.out.split(QLatin1Char('\n'));
        QCOMPARE(out.at(0), QStringLiteral("Übernommen aus %1 nach %2:").arg(source, target));
        QCOMPARE(out.at(1), QStringLiteral("kunde: 2 Zeilen gelesen, 2 geschrieben"));
        QVERIFY(out.contains(QStringLiteral("  Spalte F (Double) als Text übernommen, z. B. 444,555")));
        QVERIFY(out.contains(QStringLiteral("rechnung2004: fehlt in der Access-Datei; die Tabelle bleibt leer")));
        QVERIFY(out.contains(QStringLiteral("Nicht übernommen, da keine Tabellen dieses Programms: Table2, Table3, Table4")));
        QCOMPARE(testdb::scalar(target, QStringLiteral("SELECT group_concat(F || '/' || H, ' ') FROM (SELECT * FROM kunde ORDER BY id)")),
                 QStringLiteral("444,555/3,50 0/0,00"));
        QCOMPARE(entries(dir.path()), (QStringList{"rechungen.access.mdb", "rechungen.mdb"}));
        // A second run does not touch the finished file.
        const QByteArray made = contentOf(target);
        const ToolResult again = runTool({QStringLiteral("import-access"), source, target});
        QCOMPARE(again.exitCode, 1);
        QCOMPARE(again.err, QStringLiteral("rechnung-db: Die Datei '%1' existiert bereits; sie wird nicht überschrieben.\n").arg(target));
        QCOMPARE(contentOf(target), made);
    }

    // Refused with one German line on stderr (libmdb's own warnings never
    // show), no file written, the source as it was.
    void refused_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("message"); // %1: the source
        const QByteArray jet4 = fixtures::renamedTable(fixtures::bytes(QStringLiteral("jet4-test.mdb")), QStringLiteral("Table1"), "kunde");
        const QByteArray jet3 = fixtures::bytes(QStringLiteral("jet3-test.mdb"));
        const QString damaged = QStringLiteral("Die Access-Datei '%1' ist beschädigt und kann nicht gelesen werden: ");
        QTest::newRow("empty") << QByteArray() << "Die Datei '%1' ist leer und keine Access-Datenbank.";
        QTest::newRow("not an Access file") << fixtures::bytes(QStringLiteral("README.md")) << "Die Datei '%1' ist keine Access-Datenbank.";
        QTest::newRow("cut in the header") << jet4.left(30) << damaged + "sie ist zu kurz (30 Bytes).";
        QTest::newRow("cut in a page") << jet4.left(100000)
                                       << damaged + "ihre Länge (100000 Bytes) ist kein Vielfaches der Seitengröße 4096; sie ist wohl abgeschnitten.";
        QTest::newRow("jet3 cut in a page") << jet3.left(20000)
                                            << damaged + "ihre Länge (20000 Bytes) ist kein Vielfaches der Seitengröße 2048; sie ist wohl abgeschnitten.";
        QTest::newRow("cut after the table of tables") << jet4.left(8 * 4096) << damaged + "das Verzeichnis ihrer Tabellen ist unlesbar.";
        QByteArray overwritten = jet4;
        overwritten.replace(2 * 4096, 4096, QByteArray(4096, '\x33'));
        QTest::newRow("table of tables overwritten") << overwritten << damaged + "das Verzeichnis ihrer Tabellen ist unlesbar.";
        QByteArray rows = jet4;
        const qsizetype rowsPage = rows.indexOf("\xff\xfe" "abcdefg") / 4096 * 4096;
        rows.replace(rowsPage, 4096, QByteArray(4096, '\0'));
        QTest::newRow("page of rows overwritten")
            << rows << "Die Tabelle kunde in '%1' meldet 2 Zeilen, lesbar sind nur 0; die Datei ist wohl beschädigt. Es wurde nichts angelegt.";
        QTest::newRow("no table of this program") << fixtures::bytes(QStringLiteral("ace-test.accdb"))
                                                  << "'%1' ist keine Datenbank dieses Programms: Sie enthält keine der Tabellen kunde, "
                                                     "rechnungsdaten und rechnung (auch nicht mit Jahreszahl); es wurde nichts angelegt.";
        QByteArray encrypted = fixtures::bytes(QStringLiteral("ace-test.accdb"));
        encrypted[0x3f] = char(encrypted.at(0x3f) ^ 0x21);
        QTest::newRow("encrypted with a password")
            << encrypted << "Die Access-Datei '%1' ist mit einem Kennwort verschlüsselt. Bitte in Access ohne Kennwort speichern und erneut versuchen.";
        QTest::newRow("no table at all") << fixtures::bytes(QStringLiteral("jet4-empty.mdb"))
                                         << "'%1' ist keine Datenbank dieses Programms: Sie enthält keine der Tabellen kunde, "
                                            "rechnungsdaten und rechnung (auch nicht mit Jahreszahl); es wurde nichts angelegt.";
    }

    void refused()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString source = dir.filePath(QStringLiteral("alt.mdb"));
        fixtures::write(source, content);
        const ToolResult r = runTool({QStringLiteral("import-access"), source, dir.filePath(QStringLiteral("neu.mdb"))});
        QCOMPARE(r.err, QStringLiteral("rechnung-db: ") + message.arg(source) + QLatin1Char('\n'));
        QCOMPARE(r.out, QString());
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(entries(dir.path()), QStringList{QStringLiteral("alt.mdb")});
        QCOMPARE(contentOf(source), content);
        // Looking at it says the same about a damaged file.
        if (message.contains(QStringLiteral("beschädigt und"))) {
            const ToolResult list = runTool({QStringLiteral("import-access"), QStringLiteral("--list"), source});
            QCOMPARE(list.err, r.err);
            QCOMPARE(list.exitCode, 1);
        }
    }

    // Looking at a table with rows that cannot be read says how many there
    // should be.
    void listShowsUnreadableRows()
    {
        QByteArray content = fixtures::bytes(QStringLiteral("jet4-test.mdb"));
        const qsizetype rowsPage = content.indexOf("\xff\xfe" "abcdefg") / 4096 * 4096;
        content.replace(rowsPage, 4096, QByteArray(4096, '\0'));
        QTemporaryDir dir;
        const QString source = dir.filePath(QStringLiteral("alt.mdb"));
        fixtures::write(source, content);
        const ToolResult r = runTool({QStringLiteral("import-access"), QStringLiteral("--list"), source});
        QCOMPARE(r.err, QString());
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out.section(QLatin1Char('\n'), 0, 0), QString(Table1).replace(QStringLiteral("2 Zeilen;"), QStringLiteral("0 Zeilen (laut Tabellendefinition 2);")));
    }

    // ace-test.accdb with Table1's column B marked as calculated, which its
    // values are too short for: listed as unreadable, skipped by an import
    // that does not need it (Table3 renamed into kunde), refusing one that does.
    void damagedTable_data()
    {
        QTest::addColumn<QString>("customers"); // the table renamed into kunde; empty for none
        QTest::addColumn<bool>("list");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("line"); // of stdout, or stderr when it failed; %1 the source
        QTest::newRow("listed") << QString() << true << 0 << "Table1: nicht lesbar, ihre Zeile 1 ist beschädigt";
        QTest::newRow("not needed") << "Table3" << false << 0
                                    << "Nicht übernommen, da keine Tabelle dieses Programms und nicht lesbar: Table1 (ihre Zeile 1 ist beschädigt)";
        QTest::newRow("needed") << "Table1" << false << 1
                                << "rechnung-db: Die Access-Datei '%1' ist beschädigt und kann nicht gelesen werden: die Tabelle 'kunde' kann "
                                   "nicht gelesen werden, ihre Zeile 1 ist beschädigt. Es wurde nichts angelegt.";
    }

    void damagedTable()
    {
        QFETCH(QString, customers);
        QFETCH(bool, list);
        QFETCH(int, exitCode);
        QFETCH(QString, line);
        QByteArray content = fixtures::bytes(QStringLiteral("ace-test.accdb"));
        const fixtures::Definition table1 = fixtures::definitionOf(content, {0x0a, 0x0a, 0x02, 0x03, 0x04, 0x07, 0x08, 0x05, 0x01});
        content[fixtures::columnEntry(content, table1, 1) + 16] = char(0xc0);
        if (!customers.isEmpty())
            content = fixtures::renamedTable(content, customers, "kunde");
        QTemporaryDir dir;
        const QString source = dir.filePath(QStringLiteral("alt.mdb"));
        const QString target = dir.filePath(QStringLiteral("neu.mdb"));
        fixtures::write(source, content);
        const ToolResult r = list ? runTool({QStringLiteral("import-access"), QStringLiteral("--list"), source})
                                  : runTool({QStringLiteral("import-access"), source, target}, {.locale = GermanLocale});
        QCOMPARE(r.exitCode, exitCode);
        if (exitCode != 0) {
            QCOMPARE(r.err, line.arg(source) + QLatin1Char('\n'));
            QCOMPARE(entries(dir.path()), QStringList{QStringLiteral("alt.mdb")});
            return;
        }
        QCOMPARE(r.err, QString());
        const QStringList out = r.out.split(QLatin1Char('\n'));
        QVERIFY2(out.contains(line), qPrintable(r.out));
        if (list) {
            QCOMPARE(out.size(), 5); // four tables and the last line's end
            QCOMPARE(out.at(2), Table3);
        } else {
            QVERIFY(out.contains(QStringLiteral("kunde: 0 Zeilen gelesen, 0 geschrieben")));
            QCOMPARE(testdb::scalar(target, QStringLiteral("PRAGMA integrity_check")), QStringLiteral("ok"));
        }
    }

    // ace-test.accdb's column B made into a calculated column.
    void listMarksCalculatedColumns_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("column");
        QTest::newRow("read") << 0x0c << "B Memo (berechnet)";
        QTest::newRow("not read") << 0x09 << "B Binary(200) (berechnet, nicht lesbar; wird nicht übernommen)";
    }

    void listMarksCalculatedColumns()
    {
        QFETCH(int, type);
        QFETCH(QString, column);
        QTemporaryDir dir;
        const QString source = dir.filePath(QStringLiteral("alt.accdb"));
        fixtures::write(source, fixtures::calculatedColumnB(fixtures::bytes(QStringLiteral("ace-test.accdb")), type));
        const ToolResult r = runTool({QStringLiteral("import-access"), QStringLiteral("--list"), source});
        QCOMPARE(r.err, QString());
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out.section(QLatin1Char('\n'), 0, 0), QString(Table1).replace(QStringLiteral("B Text(100)"), column));
    }

    void missingSource()
    {
        QTemporaryDir dir;
        const QString source = dir.filePath(QStringLiteral("fehlt.mdb"));
        const ToolResult r = runTool({QStringLiteral("import-access"), source, dir.filePath(QStringLiteral("neu.mdb"))});
        QCOMPARE(r.err, QStringLiteral("rechnung-db: Die Datei '%1' wurde nicht gefunden.\n").arg(source));
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(entries(dir.path()), QStringList());
    }

    void usage_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");
        QTest::newRow("nothing") << QStringList{"import-access"} << "Beim Befehl import-access fehlt die Datei";
        QTest::newRow("no target") << QStringList{"import-access", "a.mdb"} << "Beim Befehl import-access fehlt die Zieldatei";
        QTest::newRow("list without file") << QStringList{"import-access", "--list"} << "Beim Befehl import-access fehlt die Datei";
        QTest::newRow("list with target") << QStringList{"import-access", "--list", "a.mdb", "b.mdb"} << "Überzähliges Argument 'b.mdb'";
        QTest::newRow("list twice") << QStringList{"import-access", "--list", "--list", "a.mdb"} << "Die Option --list ist doppelt angegeben";
        QTest::newRow("three files") << QStringList{"import-access", "a.mdb", "b.mdb", "c.mdb"} << "Überzähliges Argument 'c.mdb'";
        QTest::newRow("unknown option") << QStringList{"import-access", "a.mdb", "b.mdb", "--alles"}
                                        << "Unbekannte Option '--alles' für import-access";
        QTest::newRow("empty target") << QStringList{"import-access", "a.mdb", ""} << "Der Name der Zieldatei ist leer";
        QTest::newRow("list for another command") << QStringList{"create", "--list", "a.mdb"} << "Unbekannte Option '--list' für create";
    }

    void usage()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const ToolResult r = runTool(args, {.workDir = dir.path()});
        QCOMPARE(r.exitCode, 2);
        const QString &err = r.err;
        QVERIFY2(err.startsWith(QStringLiteral("rechnung-db: ") + message + QStringLiteral(". Aufruf: ")), qPrintable(err));
        QVERIFY(err.contains(QStringLiteral("rechnung-db import-access ACCESSDATEI ZIEL | rechnung-db import-access --list ACCESSDATEI")));
        QCOMPARE(entries(dir.path()), QStringList());
    }

    // SIGKILL reaches no handler, neither of the tool nor of its reading
    // child. Whenever it comes, the folder ends up with the source alone or
    // with the complete file beside it, and no process is left behind.
    void killedRunLeavesNothingBehind()
    {
        const QByteArray content =
            fixtures::renamedTable(fixtures::bytes(QStringLiteral("jet4-test.mdb")), QStringLiteral("Table1"), "kunde");
        QTemporaryDir timing;
        fixtures::write(timing.filePath(QStringLiteral("alt.mdb")), content);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(runTool({QStringLiteral("import-access"), timing.filePath(QStringLiteral("alt.mdb")), timing.filePath(QStringLiteral("neu.mdb"))})
                     .exitCode,
                 0);
        const int runMs = int(qMax<qint64>(clock.elapsed(), 20));

        // Fixed, so that a failure can be repeated.
        const quint32 seed = 20040312;
        qInfo("kill moments from seed %u over a run of %d ms", seed, runMs);
        QRandomGenerator random(seed);
        int completed = 0;
        for (int round = 0; round < 10; ++round) {
            QTemporaryDir dir;
            const QString source = dir.filePath(QStringLiteral("alt.mdb"));
            const QString target = dir.filePath(QStringLiteral("neu.mdb"));
            fixtures::write(source, content);
            QProcess p;
            p.start(QStringLiteral(RECHNUNG_DB_TOOL), {QStringLiteral("import-access"), source, target});
            QVERIFY(p.waitForStarted());
            QTest::qWait(int(random.bounded(runMs)));
            // Only while it runs: the number of a finished process is 0.
            if (p.state() == QProcess::Running && p.processId() > 0)
                ::kill(pid_t(p.processId()), SIGKILL);
            QVERIFY(p.state() == QProcess::NotRunning || p.waitForFinished(20000));
            // The watcher that removes a half-made file, and a reading child,
            // outlive the tool by a moment.
            QTRY_COMPARE_WITH_TIMEOUT(runningOn(target), 0, 10000);
            QTRY_VERIFY_WITH_TIMEOUT(entries(dir.path()) == QStringList{QStringLiteral("alt.mdb")}
                                         || entries(dir.path()) == (QStringList{QStringLiteral("alt.mdb"), QStringLiteral("neu.mdb")}),
                                     10000);
            QCOMPARE(contentOf(source), content);
            if (QFile::exists(target)) {
                ++completed;
                QCOMPARE(testdb::scalar(target, QStringLiteral("SELECT count(*) FROM kunde")), QStringLiteral("2"));
                QVERIFY(QFile::remove(target));
            }
            const ToolResult again = runTool({QStringLiteral("import-access"), source, target});
            QCOMPARE(again.err, QString());
            QCOMPARE(again.exitCode, 0);
        }
        qInfo("%d of 10 runs had finished when the kill came", completed);
    }
};

QTEST_GUILESS_MAIN(TestImportAccessTool)
#include "tst_import_access_tool.moc"
