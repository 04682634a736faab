// The question at start-up about what the file's tables lack, as the main
// window asks it.

#include "app/mainwindow.h"
#include "data/backup.h"
#include "data/migrations.h"
#include "dialogs/businessdialogs.h"
#include "einvoice/store.h"
#include "running.h"
#include "uitest.h"

#include <QApplication>
#include <QTimer>
#include <QtTest>

using uitest::Boxes;

namespace {

const QString Question = QStringLiteral("Bestätigung|Die Datenbank hat noch keine Firmendaten. Jetzt anlegen?");

// Closes the business data dialog whenever it is the modal window, counting how often.
struct BusinessDialogCloser
{
    BusinessDialogCloser()
    {
        QObject::connect(&timer, &QTimer::timeout, [this] {
            if (auto *dialog = dynamic_cast<BusinessDialog *>(QApplication::activeModalWidget())) {
                ++opened;
                dialog->reject();
            }
        });
        timer.start(20);
    }
    QTimer timer;
    int opened = 0;
};

} // namespace

class TestSchemaUpgrade : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { prepareApplication(*qobject_cast<QApplication *>(QCoreApplication::instance())); }

    void yesMakesTheTablesAfterACopyAndOpensTheDialog()
    {
        Boxes boxes({true});
        BusinessDialogCloser closer;
        Running r(QStringLiteral("DROP TABLE firma; DROP TABLE kunde_efattura;"));
        QTRY_COMPARE(closer.opened, 1);
        QCOMPARE(boxes.asked, QStringList{Question});
        QVERIFY(einvoice::hasBusinessTables(r.w().data().connection));
        QCOMPARE(r.scalar(QStringLiteral("PRAGMA user_version")), QString::number(latestVersion(programMigrations())));
        // The copy is the file as it was found.
        const QString copy = r.db.dir() + QStringLiteral("/Sicherungen/")
                             + backup::beforeVersionFileName(latestVersion(programMigrations()), QDate::currentDate());
        QVERIFY2(QFile::exists(copy), qPrintable(copy));
        QCOMPARE(testdb::scalar(copy, QStringLiteral("SELECT count(*) FROM sqlite_schema WHERE name = 'firma'")),
                 QStringLiteral("0"));
    }

    void fileWithTheTablesIsNotAsked()
    {
        Boxes boxes({true});
        Running r(QString{});
        QTest::qWait(50);
        QCOMPARE(boxes.asked, QStringList());
        QVERIFY(!QFile::exists(r.db.dir() + QStringLiteral("/Sicherungen/")
                               + backup::beforeVersionFileName(1, QDate::currentDate())));
    }
};

QTEST_MAIN(TestSchemaUpgrade)
#include "tst_schemaupgrade.moc"
