// Copies of the database from the program: the daily copy at start-up and
// "&Datei" -> "&Sicherung speichern ...".

#include "app/mainwindow.h"
#include "app/program.h"
#include "controls/dbedit.h"
#include "data/backup.h"
#include "framework/messages.h"
#include "running.h"
#include "testdb.h"
#include "uitest.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QtTest>

using uitest::Boxes;

namespace {

const char *const Data = "INSERT INTO kunde (id, name, adresse) VALUES (1, 'Anna Blumen', 'Weg 1'), (2, 'Bruno Baum', 'Platz 2');";

QString customerNames(const QString &file)
{
    return testdb::scalar(file, QStringLiteral("SELECT group_concat(name, '|') FROM (SELECT name FROM kunde ORDER BY id)"));
}

QString todaysCopy(const QString &dir)
{
    return dir + QStringLiteral("/Sicherungen/") + backup::dailyFileName(QDate::currentDate());
}

// Answers the file dialog with `answer` and remembers the proposal.
struct SaveFileAnswer
{
    explicit SaveFileAnswer(std::optional<QString> answer)
    {
        setSaveFileHook([this, answer](const QString &p) {
            proposals << p;
            return answer;
        });
    }
    ~SaveFileAnswer() { setSaveFileHook({}); }
    QStringList proposals;
};

} // namespace

class TestBackup : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { prepareApplication(*qobject_cast<QApplication *>(QCoreApplication::instance())); }

    void menuItemBeforeTheSeparatorAboveQuit()
    {
        Running r(QString::fromUtf8(Data));
        auto *datei = r.w().menuBar()->findChild<QMenu *>(QStringLiteral("Datei1"));
        QVERIFY(datei);
        const QList<QAction *> items = datei->actions();
        const qsizetype at = items.indexOf(r.w().saveBackupAction);
        QVERIFY(at >= 0);
        QCOMPARE(r.w().saveBackupAction->objectName(), QStringLiteral("Sicherung1"));
        QCOMPARE(r.w().saveBackupAction->text(), QStringLiteral("&Sicherung speichern ..."));
        QVERIFY(items.value(at + 1)->isSeparator());
        QCOMPARE(items.value(at + 2), r.w().quitAction);
    }

    void startCopiesOncePerDay()
    {
        Boxes boxes;
        {
            Running r(QString::fromUtf8(Data));
            QTRY_VERIFY(QFile::exists(todaysCopy(r.db.dir())));
            QCOMPARE(customerNames(todaysCopy(r.db.dir())), QStringLiteral("Anna Blumen|Bruno Baum"));
            // A second start the same day keeps the first copy.
            r.db.exec(QStringLiteral("INSERT INTO kunde (name) VALUES ('Später')"));
            r.w().makeDailyBackup(QDate::currentDate());
            QCOMPARE(customerNames(todaysCopy(r.db.dir())), QStringLiteral("Anna Blumen|Bruno Baum"));
            QCOMPARE(QDir(r.db.dir() + QStringLiteral("/Sicherungen")).entryList(QDir::Files | QDir::Hidden),
                     QStringList{backup::dailyFileName(QDate::currentDate())});
        }
        QCOMPARE(boxes.asked, QStringList());
    }

    void failedDailyCopyIsOneMessage()
    {
        testdb::Fixture db(QString::fromUtf8(Data));
        {
            QFile blocker(db.dir() + QStringLiteral("/Sicherungen")); // a file where the folder belongs
            QVERIFY(blocker.open(QIODevice::WriteOnly));
        }
        Boxes boxes;
        QDir::setCurrent(db.dir());
        Program program;
        program.create();
        program.mainWindow->show();
        QTRY_COMPARE(boxes.kinds.size(), 1);
        QTest::qWait(50);
        QDir::setCurrent(QDir::tempPath());
        QCOMPARE(boxes.kinds, QList<BoxRequest::Kind>{BoxRequest::Error});
        QVERIFY2(boxes.asked.value(0).contains(QStringLiteral("Die tägliche Sicherung der Datenbank ist fehlgeschlagen.")),
                 qPrintable(boxes.asked.value(0)));
        // Work goes on.
        QVERIFY(program.mainWindow->isVisible());
        QCOMPARE(program.mainWindow->customerName->text(), QStringLiteral("Anna Blumen"));
    }

    void saveBackupWritesTheChosenFile()
    {
        Running r(QString::fromUtf8(Data));
        QTemporaryDir out;
        const QString target = out.filePath(QStringLiteral("meine Sicherung.mdb"));
        SaveFileAnswer answer(target);
        Boxes boxes;
        r.w().saveBackupAction->trigger();
        QCOMPARE(answer.proposals.size(), 1);
        QVERIFY2(answer.proposals.value(0).startsWith(QDir(r.db.dir()).absolutePath() + QStringLiteral("/rechungen-Sicherung-")),
                 qPrintable(answer.proposals.value(0)));
        QCOMPARE(customerNames(target), QStringLiteral("Anna Blumen|Bruno Baum"));
        QCOMPARE(testdb::scalar(target, QStringLiteral("PRAGMA integrity_check")), QStringLiteral("ok"));
        QCOMPARE(boxes.kinds, QList<BoxRequest::Kind>{BoxRequest::Plain});
        QVERIFY2(boxes.asked.value(0).contains(target), qPrintable(boxes.asked.value(0)));
    }

    void saveBackupRefuses_data()
    {
        QTest::addColumn<QString>("answer"); // "cancel", "database", "missing folder"
        QTest::addColumn<int>("errorBoxes");
        QTest::newRow("cancelled") << QStringLiteral("cancel") << 0;
        QTest::newRow("the database itself") << QStringLiteral("database") << 1;
        QTest::newRow("missing folder") << QStringLiteral("missing folder") << 1;
    }

    void saveBackupRefuses()
    {
        QFETCH(QString, answer);
        QFETCH(int, errorBoxes);
        Running r(QString::fromUtf8(Data));
        QTRY_VERIFY(QFile::exists(todaysCopy(r.db.dir())));
        const QStringList before = QDir(r.db.dir()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
        std::optional<QString> target;
        if (answer == QLatin1String("database"))
            target = r.db.file();
        else if (answer == QLatin1String("missing folder"))
            target = r.db.dir() + QStringLiteral("/fehlt/kopie.mdb");
        SaveFileAnswer hook(target);
        Boxes boxes;
        r.w().saveBackupAction->trigger();
        QCOMPARE(boxes.kinds.size(), errorBoxes);
        if (errorBoxes)
            QCOMPARE(boxes.kinds.value(0), BoxRequest::Error);
        QCOMPARE(QDir(r.db.dir()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), before);
        QCOMPARE(customerNames(r.db.file()), QStringLiteral("Anna Blumen|Bruno Baum"));
        QCOMPARE(r.db.scalar(QStringLiteral("PRAGMA integrity_check")), QStringLiteral("ok"));
    }
};

QTEST_MAIN(TestBackup)
#include "tst_backup.moc"
