// "&Rechnung" -> "&Jahresübersicht ...": the year the main window shows comes
// first, the tables follow the year picked, and the CSV is saved where the
// user says, or an error box says why not.

#include "app/mainwindow.h"
#include "app/program.h"
#include "csvreader.h"
#include "dialogs/yearoverview.h"
#include "framework/messages.h"
#include "running.h"
#include "testdb.h"
#include "uitest.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

using uitest::Boxes;
using uitest::whileModal;

namespace {

// The file names the decimal comma and the thousands point, so the window
// groups thousands while the CSV never does. 2004: invoice 1 in January
// (1.000,00 at 22 %), invoice 2 and a credit note in March, invoice 4 with a
// price that is no number; 2003: one invoice in May.
const QString Data = QStringLiteral(
    "INSERT INTO zahlenformat (id, dezimaltrennzeichen, tausendertrennzeichen) VALUES (1, ',', '.');"
    "INSERT INTO kunde (id, name) VALUES (1, 'Anna'), (2, 'Bruno');"
    "INSERT INTO rechnungsdaten2004 (id, nr, datum, kundennummer, dokumentart) VALUES "
    "(1, '1', '15.01.2004', '1', NULL), (2, '2', '20.03.2004', '2', NULL), (3, 'GS-1', '25.03.2004', '2', 'TD04'),"
    "(4, '4', '02.04.2004', '2', NULL);"
    "INSERT INTO rechnung2004 (rechnungsnummer, beschreibung, anzahl, einzelpreis, steuersatz) VALUES "
    "('1', 'Olivenbaum', '1', '1000', '22'), ('2', 'Erde', '2', '5', '10'), ('GS-1', 'Erde', '1', '5', '10'),"
    "('4', 'Kies', '1', 'viel', '10');"
    "INSERT INTO rechnungsdaten2003 (id, nr, datum, kundennummer) VALUES (1, '9', '01.05.2003', '1');"
    "INSERT INTO rechnung2003 (rechnungsnummer, beschreibung, anzahl, einzelpreis) VALUES ('9', 'Rosen', '1', '100');");

QStringList rowTexts(const QTableWidget *table, int row)
{
    QStringList texts;
    for (int column = 0; column < table->columnCount(); ++column)
        texts << (table->item(row, column) ? table->item(row, column)->text() : QString());
    return texts;
}

QStringList columnTexts(const QTableWidget *table, int column)
{
    QStringList texts;
    for (int row = 0; row < table->rowCount(); ++row)
        texts << table->item(row, column)->text();
    return texts;
}

QStringList comboTexts(const QComboBox *box)
{
    QStringList texts;
    for (int i = 0; i < box->count(); ++i)
        texts << box->itemText(i);
    return texts;
}

// Answers the file dialog with `answer`.
struct SaveFileAnswer
{
    explicit SaveFileAnswer(const QString &answer)
    {
        setSaveFileHook([this, answer](const QString &p) {
            proposals << p;
            return std::optional<QString>(answer);
        });
    }
    ~SaveFileAnswer() { setSaveFileHook({}); }
    QStringList proposals;
};

} // namespace

class TestYearOverviewWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { prepareApplication(*qobject_cast<QApplication *>(QCoreApplication::instance())); }

    void menuItem()
    {
        Running r(Data);
        auto *menu = r.w().menuBar()->findChild<QMenu *>(QStringLiteral("Rechnung1"));
        QVERIFY(menu);
        QVERIFY(menu->actions().contains(r.w().yearOverviewAction));
        QCOMPARE(r.w().yearOverviewAction->text(), QStringLiteral("&Jahresübersicht ..."));
        QCOMPARE(r.w().yearOverviewAction->objectName(), QStringLiteral("Jahresuebersicht1"));
    }

    void showsTheChosenYearAndFollowsThePick()
    {
        Running r(Data);
        QVERIFY(r.shown);
        r.w().year2003Action->trigger();
        YearOverviewDialog *dialog = r.w().yearOverviewDialog;
        const auto run = whileModal(dialog, [&] { r.w().yearOverviewAction->trigger(); }, [&] {
            // The classic years are all in the file made from the schema.
            QCOMPARE(comboTexts(dialog->yearChoice), (QStringList{"2004", "2003", "2002"}));
            QCOMPARE(dialog->yearChoice->currentText(), QStringLiteral("2003"));
            QCOMPARE(dialog->monthTable->rowCount(), 13); // twelve months and the total
            QCOMPARE(rowTexts(dialog->monthTable, 4), (QStringList{"Mai", "1", "100,00", "10,00", "110,00"}));
            QCOMPARE(rowTexts(dialog->monthTable, 12), (QStringList{"Summe", "1", "100,00", "10,00", "110,00"}));
            QVERIFY(dialog->monthTable->item(12, 0)->font().bold());
            QCOMPARE(columnTexts(dialog->customerTable, 0), QStringList{"Anna"});
            QVERIFY(dialog->uncomputedList->isHidden());

            dialog->yearChoice->setCurrentIndex(0);
            QCOMPARE(rowTexts(dialog->monthTable, 0), (QStringList{"Januar", "1", "1.000,00", "220,00", "1.220,00"}));
            // 10,00 + 1,00 less the credit note's 5,00 + 0,50.
            QCOMPARE(rowTexts(dialog->monthTable, 2), (QStringList{"März", "2", "5,00", "0,50", "5,50"}));
            QCOMPARE(rowTexts(dialog->monthTable, 3), (QStringList{"April", "0", "0,00", "0,00", "0,00"}));
            QCOMPARE(rowTexts(dialog->monthTable, 12), (QStringList{"Summe", "3", "1.005,00", "220,50", "1.225,50"}));
            QCOMPARE(columnTexts(dialog->customerTable, 0), (QStringList{"Anna", "Bruno"}));
            QVERIFY(!dialog->uncomputedList->isHidden());
            QCOMPARE(dialog->uncomputedList->count(), 1);
            const QString problem = dialog->uncomputedList->item(0)->text();
            QVERIFY2(problem.startsWith(QLatin1String("Rechnung Nr. 4 vom 02.04.2004, Bruno: Zeile 1: ")), qPrintable(problem));
        });
        QVERIFY(run.wasModal);
        // Looking at another year leaves the main window's alone.
        QCOMPARE(r.w().data().year(), 2003);
    }

    void savesTheCsv()
    {
        Running r(Data);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("jahr.csv"));
        SaveFileAnswer answer(path);
        Boxes boxes;
        YearOverviewDialog *dialog = r.w().yearOverviewDialog;
        whileModal(dialog, [&] { r.w().yearOverviewAction->trigger(); }, [&] {
            QVERIFY(dialog->saveCsvButton->isEnabled());
            QTest::mouseClick(dialog->saveCsvButton, Qt::LeftButton);
        });
        QCOMPARE(answer.proposals.size(), 1);
        QVERIFY2(answer.proposals.constFirst().endsWith(QLatin1String("/Jahresuebersicht-2004.csv")),
                 qPrintable(answer.proposals.constFirst()));
        QCOMPARE(boxes.asked.size(), 1);
        QVERIFY2(boxes.asked.constFirst().endsWith(
                     QStringLiteral("|Die Jahresübersicht 2004 wurde in '%1' gespeichert.").arg(QDir::toNativeSeparators(path))),
                 qPrintable(boxes.asked.constFirst()));
        const CsvReadBack read = readCsvWithPython(path);
        QVERIFY2(read.problem.isEmpty(), qPrintable(read.problem));
        QCOMPARE(read.rows.size(), 1 + 12 + 1 + 2 + 1);
        // Never the window's thousands point.
        QCOMPARE(read.rows.at(1), (QStringList{"Monat", "Januar", "1", "1000,00", "220,00", "1220,00"}));
        QCOMPARE(read.rows.at(13), (QStringList{"Summe", "Jahr 2004", "3", "1005,00", "220,50", "1225,50"}));
        QCOMPARE(read.rows.at(16).value(0), QStringLiteral("Nicht berechnet"));
    }

    void aFailedSaveIsOneErrorBox()
    {
        Running r(Data);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("fehlt/jahr.csv"));
        SaveFileAnswer answer(path);
        Boxes boxes;
        YearOverviewDialog *dialog = r.w().yearOverviewDialog;
        bool stillOpen = false;
        whileModal(dialog, [&] { r.w().yearOverviewAction->trigger(); }, [&] {
            QTest::mouseClick(dialog->saveCsvButton, Qt::LeftButton);
            stillOpen = dialog->isVisible();
        });
        QVERIFY(stillOpen);
        QCOMPARE(boxes.kinds, QList<BoxRequest::Kind>{BoxRequest::Error});
        QVERIFY2(boxes.asked.constFirst().contains(
                     QStringLiteral("Die Datei '%1' ließ sich nicht schreiben: ").arg(QDir::toNativeSeparators(path))),
                 qPrintable(boxes.asked.constFirst()));
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
    }

    void everyControlIsNamed()
    {
        YearOverviewDialog dialog;
        const QList<QWidget *> controls{dialog.yearChoice,     dialog.monthTable,    dialog.customerTable,
                                        dialog.uncomputedList, dialog.saveCsvButton, dialog.closeButton};
        for (QWidget *w : controls) {
            QVERIFY2(!w->objectName().isEmpty(), w->metaObject()->className());
            QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(w->objectName()));
        }
        for (QLabel *label : dialog.findChildren<QLabel *>()) {
            QVERIFY2(!label->objectName().isEmpty(), qPrintable(label->text()));
            QVERIFY2(label->buddy(), qPrintable(label->objectName()));
        }
        QCOMPARE(dialog.saveCsvButton->text(), QStringLiteral("Als CSV speichern ..."));
    }
};

QTEST_MAIN(TestYearOverviewWindow)
#include "tst_yearoverview.moc"
