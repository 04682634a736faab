// `Rechnung --choose`: the database used last, or the start dialog's
// "Vorhandene Datenbank öffnen ...", "Neue Datenbank anlegen ..." and "Beenden".

#include "access/fixtures.h"
#include "app/aboutbox.h"
#include "app/mainwindow.h"
#include "app/program.h"
#include "app/startdialog.h"
#include "framework/messages.h"
#include "framework/settings.h"
#include "testdb.h"
#include "tool.h"
#include "uitest.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using uitest::Boxes;

namespace {

QByteArray bytesOf(const QString &file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The tables of a file, those of `leftOutYear` left out.
QString schemaOf(const QString &file, int leftOutYear = 0)
{
    return testdb::scalar(file, QStringLiteral("SELECT group_concat(sql, ';') FROM (SELECT sql FROM sqlite_master "
                                               "WHERE tbl_name NOT IN ('sqlite_sequence', 'rechnungsdaten%1', 'rechnung%1', "
                                               "'lieferscheine%1', 'lieferschein%1') "
                                               "ORDER BY name)")
                                    .arg(leftOutYear));
}

// Answers the start dialog and the file dialogs from a script: "open:KEY",
// "new:KEY", "open-cancel", "new-cancel", "quit". KEY names a file of the fixture.
struct Script
{
    Script(QStringList steps, std::function<QString(const QString &)> pathOf) : m_steps(std::move(steps))
    {
        StartDialog::setHook([this](const QString &reason) {
            reasons << reason;
            if (m_steps.isEmpty())
                return StartDialog::Quit;
            const QString step = m_steps.takeFirst();
            m_file = step.section(QLatin1Char(':'), 1);
            if (step.startsWith(QLatin1String("open")))
                return StartDialog::OpenExisting;
            if (step.startsWith(QLatin1String("new")))
                return StartDialog::CreateNew;
            return StartDialog::Quit;
        });
        const auto answer = [this, pathOf](const QString &proposal) -> std::optional<QString> {
            proposals << proposal;
            if (m_file.isEmpty())
                return std::nullopt;
            return pathOf(m_file);
        };
        setOpenFileHook(answer);
        setSaveFileHook(answer);
    }
    ~Script()
    {
        StartDialog::setHook({});
        setOpenFileHook({});
        setSaveFileHook({});
    }
    QStringList reasons;
    QStringList proposals;

private:
    QStringList m_steps;
    QString m_file;
};

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_reference; // as "rechnung-db create" makes it

    QString pathOf(const QString &key) const { return m_dir.filePath(key + QStringLiteral(".mdb")); }

private Q_SLOTS:
    void initTestCase()
    {
        prepareApplication(*qobject_cast<QApplication *>(QCoreApplication::instance()));
        m_reference = m_dir.filePath(QStringLiteral("reference.mdb"));
        QCOMPARE(runTool({QStringLiteral("create"), m_reference}).exitCode, 0);
    }

    void init()
    {
        // Each case starts from its own files and without a remembered database.
        for (const QString &name : QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden))
            if (name != QLatin1String("reference.mdb"))
                QFile::remove(m_dir.filePath(name));
        QDir(m_dir.filePath(QStringLiteral("Sicherungen"))).removeRecursively();
        ProgramSettings().clear();
        QVERIFY(QFile::copy(m_reference, pathOf(QStringLiteral("valid"))));
        QFile foreign(pathOf(QStringLiteral("foreign")));
        QVERIFY(foreign.open(QIODevice::WriteOnly));
        foreign.write("Einkaufsliste: Erde, Töpfe, Dünger\n");
        foreign.close();
        // The first page of a real database only: SQLite finds the rest missing.
        QFile damaged(pathOf(QStringLiteral("damaged")));
        QVERIFY(damaged.open(QIODevice::WriteOnly));
        damaged.write(bytesOf(m_reference).left(1500));
        damaged.close();
    }

    void chooses_data()
    {
        QTest::addColumn<QString>("remembered"); // key of the remembered database, "" for none
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("opened");     // key of the file the windows open on, "" for none
        QTest::addColumn<int>("dialogs");        // how often the start dialog was shown
        QTest::addColumn<QStringList>("errors"); // parts of each error box, in order

        const QString unusable = QStringLiteral("Bitte eine andere Datenbank öffnen oder eine neue anlegen.");
        QTest::newRow("first start, new database") << "" << QStringList{"new:fresh"} << "fresh" << 1 << QStringList();
        QTest::newRow("first start, existing database") << "" << QStringList{"open:valid"} << "valid" << 1 << QStringList();
        QTest::newRow("first start, quit") << "" << QStringList{"quit"} << "" << 1 << QStringList();
        QTest::newRow("remembered database opens without asking") << "valid" << QStringList() << "valid" << 0 << QStringList();
        QTest::newRow("remembered database is gone") << "gone" << QStringList{"open:valid"} << "valid" << 1 << QStringList();
        QTest::newRow("remembered database is foreign")
            << "foreign" << QStringList{"quit"} << "" << 1 << QStringList{unusable + "||foreign.mdb||keine Datenbank"};
        QTest::newRow("foreign file, then the right one")
            << "" << QStringList{"open:foreign", "open:valid"} << "valid" << 2 << QStringList{unusable};
        QTest::newRow("damaged file, then quit") << "" << QStringList{"open:damaged", "quit"} << "" << 2 << QStringList{unusable};
        QTest::newRow("new over an existing file is refused")
            << "" << QStringList{"new:valid", "quit"} << "" << 2 << QStringList{"existiert bereits"};
        QTest::newRow("file dialogs cancelled")
            << "" << QStringList{"open-cancel", "new-cancel", "new:fresh"} << "fresh" << 3 << QStringList();
    }

    void chooses()
    {
        QFETCH(QString, remembered);
        QFETCH(QStringList, steps);
        QFETCH(QString, opened);
        QFETCH(int, dialogs);
        QFETCH(QStringList, errors);

        if (!remembered.isEmpty())
            ProgramSettings().setValue(QStringLiteral("datenbank/zuletzt"), pathOf(remembered));
        const QByteArray foreignBefore = bytesOf(pathOf(QStringLiteral("foreign")));
        const QByteArray damagedBefore = bytesOf(pathOf(QStringLiteral("damaged")));
        const QByteArray validBefore = bytesOf(pathOf(QStringLiteral("valid")));

        Boxes boxes;
        Script script(steps, [this](const QString &key) { return pathOf(key); });
        std::unique_ptr<Program> program = openChosenDatabase();

        QCOMPARE(script.reasons.size(), dialogs);
        if (remembered == QLatin1String("gone"))
            QVERIFY2(script.reasons.value(0).contains(QLatin1String("nicht mehr vorhanden")), qPrintable(script.reasons.value(0)));
        // Never the start-up error that ends the program.
        QVERIFY(!boxes.kinds.contains(BoxRequest::StartupError));
        QCOMPARE(boxes.asked.size(), errors.size());
        for (qsizetype i = 0; i < errors.size(); ++i)
            for (const QString &part : errors.at(i).split(QStringLiteral("||")))
                QVERIFY2(boxes.asked.at(i).contains(part), qPrintable(boxes.asked.at(i)));

        if (opened.isEmpty()) {
            QVERIFY(!program);
        } else {
            QVERIFY(program);
            const QString file = QFileInfo(program->mainWindow->data().connection.fileName()).absoluteFilePath();
            QCOMPARE(file, QFileInfo(pathOf(opened)).absoluteFilePath());
            // The next start from the menu opens it again.
            QCOMPARE(ProgramSettings().value(QStringLiteral("datenbank/zuletzt")).toString(), file);
            if (!steps.isEmpty() && steps.constLast().startsWith(QLatin1String("new:"))) {
                // A new database is the file the database tool makes, with this
                // year's tables as well, and the windows start on this year.
                const int year = QDate::currentDate().year();
                QCOMPARE(program->mainWindow->data().year(), year);
                QCOMPARE(schemaOf(file, year), schemaOf(m_reference));
                QCOMPARE(testdb::scalar(file, QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name IN "
                                                             "('rechnungsdaten%1', 'rechnung%1')")
                                                  .arg(year)),
                         QStringLiteral("2"));
            } else {
                QCOMPARE(schemaOf(file), schemaOf(m_reference));
            }
            // The path is shown in the menu bar and in the About box.
            QVERIFY(program->mainWindow->databasePath->accessibleName().endsWith(file));
            QVERIFY(program->about->databasePath->accessibleName().endsWith(file));
            program.reset();
        }
        // What could not be used is left as it was.
        QCOMPARE(bytesOf(pathOf(QStringLiteral("foreign"))), foreignBefore);
        QCOMPARE(bytesOf(pathOf(QStringLiteral("damaged"))), damagedBefore);
        if (opened != QLatin1String("valid"))
            QCOMPARE(bytesOf(pathOf(QStringLiteral("valid"))), validBefore);
    }

    void newDatabaseIsProposedUnderAFreeName()
    {
        ProgramSettings().setValue(QStringLiteral("ordner/datenbank"), m_dir.path());
        QVERIFY(QFile::copy(m_reference, m_dir.filePath(QStringLiteral("rechungen.mdb"))));
        Boxes boxes;
        Script script({QStringLiteral("new-cancel")}, [this](const QString &key) { return pathOf(key); });
        QVERIFY(!openChosenDatabase());
        QCOMPARE(script.proposals, QStringList{m_dir.filePath(QStringLiteral("rechungen-2.mdb"))});
    }

    // An Access file in place of the database: brought over on "&Ja", the
    // Access file kept beside it; on "&Nein" or a failure everything stays.
    void accessFileIsOffered_data()
    {
        QTest::addColumn<QString>("source");    // "program": with a kunde table; "foreign": without
        QTest::addColumn<bool>("answer");
        QTest::addColumn<bool>("keptExists");   // a file already has the name the Access file would get
        QTest::addColumn<int>("outcome");
        QTest::addColumn<int>("boxes");

        QTest::newRow("yes") << "program" << true << false << int(AccessOffer::Imported) << 2;
        QTest::newRow("no") << "program" << false << false << int(AccessOffer::Declined) << 1;
        QTest::newRow("no tables of the program") << "foreign" << true << false << int(AccessOffer::Failed) << 2;
        QTest::newRow("kept name taken") << "program" << true << true << int(AccessOffer::Failed) << 2;
    }

    void accessFileIsOffered()
    {
        QFETCH(QString, source);
        QFETCH(bool, answer);
        QFETCH(bool, keptExists);
        QFETCH(int, outcome);
        QFETCH(int, boxes);

        const QByteArray original = source == QLatin1String("program")
                                        ? fixtures::renamedTable(fixtures::bytes(QStringLiteral("jet4-test.mdb")), QStringLiteral("Table1"), "kunde")
                                        : fixtures::bytes(QStringLiteral("jet4-test.mdb"));
        const QString file = m_dir.filePath(QStringLiteral("rechungen.mdb"));
        const QString kept = m_dir.filePath(QStringLiteral("rechungen.access.mdb"));
        fixtures::write(file, original);
        if (keptExists)
            fixtures::write(kept, "schon da");

        Boxes answers({answer, true});
        QCOMPARE(int(offerAccessImport(file)), outcome);
        QCOMPARE(answers.asked.size(), boxes);
        QVERIFY2(answers.asked.value(0).contains(QStringLiteral("Diese Datei ist eine Access-Datenbank. Jetzt in das neue Format "
                                                               "übernehmen? Die Access-Datei bleibt unter dem Namen "
                                                               "rechungen.access.mdb erhalten.")),
                 qPrintable(answers.asked.value(0)));
        if (outcome == int(AccessOffer::Imported)) {
            QCOMPARE(bytesOf(kept), original);
            QCOMPARE(testdb::scalar(file, QStringLiteral("SELECT count(*) FROM kunde")), QStringLiteral("2"));
            QVERIFY2(answers.asked.value(1).contains(QLatin1String("kunde: 2 Zeilen gelesen, 2 geschrieben")),
                     qPrintable(answers.asked.value(1)));
            // The program starts on the result.
            Program program;
            program.create(file);
            QCOMPARE(program.mainWindow->customers().RecordCount(), 2);
        } else {
            QCOMPARE(bytesOf(file), original);
            QCOMPARE(QFileInfo::exists(kept), keptExists);
            if (keptExists)
                QCOMPARE(bytesOf(kept), QByteArray("schon da"));
        }
    }

    void dialogOffersThreeWays()
    {
        StartDialog dialog(QStringLiteral("Die zuletzt verwendete Datenbank '/x' ist nicht mehr vorhanden."));
        QCOMPARE(dialog.openButton->text(), QStringLiteral("Vorhandene Datenbank öffnen ..."));
        QCOMPARE(dialog.createButton->text(), QStringLiteral("Neue Datenbank anlegen ..."));
        QCOMPARE(dialog.quitButton->text(), QStringLiteral("Beenden"));
        QVERIFY(dialog.createButton->isDefault());
        QVERIFY(dialog.reasonLabel->text().startsWith(QLatin1String("Die zuletzt verwendete Datenbank")));
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
