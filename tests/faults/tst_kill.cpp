// A store is either in the file or it never happened: a writer killed with
// SIGKILL at a random moment leaves an intact file that holds every row it
// had reported as stored, with its values.

#include "data/database.h"
#include "data/errors.h"
#include "testdb.h"

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>
#include <QThread>
#include <cstring>
#include <unistd.h>

namespace {

QString addressOf(int i) { return QStringLiteral("Gasse %1\r\n39100 Bozen").arg(i); }

// The child: stores as fast as it can and reports each store once it returned.
// "n I" is customer I stored new, "u I" the first customer's address set to I.
int runWriter(const QString &file, int start)
{
    InvoiceData d;
    try {
        d.open(file);
        for (int i = start;; ++i) {
            QByteArray line;
            if (i % 2 == 0) {
                d.customers.Append();
                d.customers.FieldByName(QStringLiteral("name"))->setAsString(QStringLiteral("Kunde %1").arg(i));
                d.customers.FieldByName(QStringLiteral("adresse"))->setAsString(addressOf(i));
                d.customers.Post();
                line = "n " + QByteArray::number(i) + '\n';
            } else {
                d.customers.First();
                d.customers.Edit();
                d.customers.FieldByName(QStringLiteral("adresse"))->setAsString(addressOf(i));
                d.customers.Post();
                line = "u " + QByteArray::number(i) + '\n';
            }
            if (::write(1, line.constData(), size_t(line.size())) != line.size())
                return 2;
        }
    } catch (const AppError &e) {
        const QByteArray m = "error " + e.message().toUtf8() + '\n';
        (void)!::write(1, m.constData(), size_t(m.size()));
        return 1;
    }
}

} // namespace

class TestKill : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void killedWhileStoring();
};

void TestKill::killedWhileStoring()
{
    testdb::Fixture db(QStringLiteral("INSERT INTO kunde (id, name, adresse) VALUES (1, 'Anna', 'Weg 1');"));
    const int kills = 30;
    int reportedRows = 0, lastUpdate = -1, next = 0, insideAWrite = 0;
    QList<int> newRows;
    for (int k = 0; k < kills; ++k) {
        QProcess writer;
        writer.start(QCoreApplication::applicationFilePath(),
                     {QStringLiteral("--writer"), db.file(), QString::number(next)});
        QVERIFY(writer.waitForStarted());
        QVERIFY2(writer.waitForReadyRead(10000), "the writer reports nothing");
        QThread::usleep(QRandomGenerator::global()->bounded(150000));
        writer.kill(); // SIGKILL
        QVERIFY(writer.waitForFinished(10000));
        QCOMPARE(writer.exitStatus(), QProcess::CrashExit);
        const QList<QByteArray> lines = writer.readAllStandardOutput().split('\n');
        for (const QByteArray &line : lines) {
            if (line.isEmpty())
                continue;
            QVERIFY2(!line.startsWith("error"), line.constData());
            const int i = line.mid(2).toInt();
            next = std::max(next, i + 1);
            ++reportedRows;
            if (line.startsWith("n "))
                newRows.append(i);
            else
                lastUpdate = i;
        }
        // Numbers not reported may be in the file already; the next child starts after them.
        next += 2;
        if (next % 2)
            ++next;

        if (QFile::exists(db.file() + QStringLiteral("-journal")))
            ++insideAWrite;
        // The next start: it rolls back what the killed writer left half done.
        {
            SqliteDatabase next;
            next.open(db.file());
        }
        QCOMPARE(db.scalar(QStringLiteral("PRAGMA integrity_check")), QStringLiteral("ok"));
        for (int i : newRows)
            QCOMPARE(db.scalar(QStringLiteral("SELECT adresse FROM kunde WHERE name = 'Kunde %1'").arg(i)), addressOf(i));
        if (lastUpdate >= 0) {
            // A store that was not reported yet may have gone through: never an older one.
            const QString address = db.scalar(QStringLiteral("SELECT adresse FROM kunde WHERE id = 1"));
            QVERIFY2(address.startsWith(QLatin1String("Gasse ")) && address.section(QLatin1Char(' '), 1, 1).section(QLatin1Char('\r'), 0, 0).toInt() >= lastUpdate,
                     qPrintable(address));
        }
    }
    qInfo("%d kills survived (%d inside a write, the journal left behind), %d stores reported, every one of them in the file",
          kills, insideAWrite, reportedRows);
}

int main(int argc, char **argv)
{
    if (argc == 4 && std::strcmp(argv[1], "--writer") == 0) {
        QCoreApplication app(argc, argv);
        return runWriter(QString::fromLocal8Bit(argv[2]), std::atoi(argv[3]));
    }
    QCoreApplication app(argc, argv);
    TestKill test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_kill.moc"
