// "&Rechnung" -> "&Pflanzenpass-Nachweis ...": the keeping period proposed,
// a lot or a species found among the business customers' deliveries, a
// wrong date said in one error box, and the list saved where the user says.

#include "app/mainwindow.h"
#include "app/program.h"
#include "csvreader.h"
#include "dialogs/passportreportdialog.h"
#include "framework/messages.h"
#include "plantdeliveries.h"
#include "running.h"
#include "testdb.h"
#include "uitest.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

using uitest::Boxes;
using uitest::whileModal;

namespace {

const QString Deliveries = QString::fromUtf8(deliveries::PlantDeliveries);

QStringList columnTexts(const QTableWidget *table, int column)
{
    QStringList texts;
    for (int row = 0; row < table->rowCount(); ++row)
        texts << table->item(row, column)->text();
    return texts;
}

QStringList rowTexts(const QTableWidget *table, int row)
{
    QStringList texts;
    for (int column = 0; column < table->columnCount(); ++column)
        texts << table->item(row, column)->text();
    return texts;
}

void typeInto(QLineEdit *edit, const QString &text)
{
    edit->selectAll();
    QTest::keyClicks(edit, text);
}

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

class TestPassportReportWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { prepareApplication(*qobject_cast<QApplication *>(QCoreApplication::instance())); }

    void menuItem()
    {
        Running r(Deliveries);
        auto *menu = r.w().menuBar()->findChild<QMenu *>(QStringLiteral("Rechnung1"));
        QVERIFY(menu);
        QVERIFY(menu->actions().contains(r.w().passportReportAction));
        QCOMPARE(r.w().passportReportAction->text(), QStringLiteral("&Pflanzenpass-Nachweis ..."));
        QCOMPARE(r.w().passportReportAction->objectName(), QStringLiteral("Pflanzenpass1"));
    }

    void findsALotAndASpecies()
    {
        Running r(Deliveries);
        QVERIFY(r.shown);
        r.w().setFixedToday(QDate(2004, 2, 10));
        PassportReportDialog *dialog = r.w().passportReportDialog;
        Boxes boxes;
        const auto run = whileModal(dialog, [&] { r.w().passportReportAction->trigger(); }, [&] {
            // The three years the proof is kept, up to today.
            QCOMPARE(dialog->fromDate->text(), QStringLiteral("10.02.2001"));
            QCOMPARE(dialog->toDate->text(), QStringLiteral("10.02.2004"));
            QCOMPARE(dialog->resultTable->rowCount(), 0);
            QVERIFY(!dialog->saveCsvButton->isEnabled());

            QCOMPARE(dialog->searchKind->currentText(), QStringLiteral("Botanischer Name"));
            typeInto(dialog->searchText, QStringLiteral("olea europaea"));
            QTest::mouseClick(dialog->searchButton, Qt::LeftButton);
            // Not the private customer's olive, nor the one that left the EU.
            QCOMPARE(columnTexts(dialog->resultTable, 0), (QStringList{"30.12.2003", "02.01.2004", "15.01.2004"}));
            QCOMPARE(rowTexts(dialog->resultTable, 0),
                     (QStringList{"30.12.2003", "40", "Giardini Anna S.r.l.", "00000000109", "Olea europaea 'Leccino'",
                                  "OL-2003-7", "IT", "2", "Stk", "2003-12"}));
            QCOMPARE(dialog->countLabel->text(), QStringLiteral("3 Positionen an 2 Kunden"));
            QVERIFY(dialog->saveCsvButton->isEnabled());

            // Enter in the field searches.
            dialog->searchKind->setCurrentIndex(dialog->searchKind->findText(QStringLiteral("Rückverfolgbarkeitscode")));
            typeInto(dialog->searchText, QStringLiteral("no-5"));
            QTest::keyClick(dialog->searchText, Qt::Key_Return);
            QCOMPARE(columnTexts(dialog->resultTable, 4), QStringList{"Nerium oleander"});
            QCOMPARE(dialog->countLabel->text(), QStringLiteral("1 Position an 1 Kunden"));

            typeInto(dialog->searchText, QStringLiteral("XX-9"));
            QTest::mouseClick(dialog->searchButton, Qt::LeftButton);
            QCOMPARE(dialog->resultTable->rowCount(), 0);
            QCOMPARE(dialog->countLabel->text(),
                     QStringLiteral("Im Zeitraum wurden keine passenden Pflanzen an Geschäftskunden geliefert."));
        });
        QVERIFY(run.wasModal);
        QCOMPARE(boxes.asked, QStringList());
    }

    void aWrongDateIsOneErrorBox()
    {
        Running r(Deliveries);
        r.w().setFixedToday(QDate(2004, 2, 10));
        PassportReportDialog *dialog = r.w().passportReportDialog;
        Boxes boxes;
        bool stillOpen = false;
        whileModal(dialog, [&] { r.w().passportReportAction->trigger(); }, [&] {
            QTest::mouseClick(dialog->searchButton, Qt::LeftButton);
            QVERIFY(dialog->resultTable->rowCount() > 0);
            typeInto(dialog->toDate, QStringLiteral("31.02.2004"));
            QTest::mouseClick(dialog->searchButton, Qt::LeftButton);
            // What was found before is not shown for a period it was not found for.
            QCOMPARE(dialog->resultTable->rowCount(), 0);
            QVERIFY(!dialog->saveCsvButton->isEnabled());
            QCOMPARE(dialog->toDate->text(), QStringLiteral("31.02.2004"));
            stillOpen = dialog->isVisible();
        });
        QVERIFY(stillOpen);
        QCOMPARE(boxes.kinds, QList<BoxRequest::Kind>{BoxRequest::Error});
        QVERIFY2(boxes.asked.constFirst().endsWith(QStringLiteral("|„31.02.2004“ ist als Ende des Zeitraums kein gültiges "
                                                                  "Datum. Bitte im Format TT.MM.JJJJ eingeben, z. B. "
                                                                  "„01.03.2026“.")),
                 qPrintable(boxes.asked.constFirst()));
    }

    void savesTheCsv()
    {
        Running r(Deliveries);
        r.w().setFixedToday(QDate(2004, 2, 10));
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("nachweis.csv"));
        SaveFileAnswer answer(path);
        Boxes boxes;
        PassportReportDialog *dialog = r.w().passportReportDialog;
        whileModal(dialog, [&] { r.w().passportReportAction->trigger(); }, [&] {
            dialog->searchKind->setCurrentIndex(dialog->searchKind->findText(QStringLiteral("Rückverfolgbarkeitscode")));
            typeInto(dialog->searchText, QStringLiteral(" ol-2004-118"));
            typeInto(dialog->fromDate, QStringLiteral("01.01.2004"));
            QTest::mouseClick(dialog->searchButton, Qt::LeftButton);
            // The fields changed after the search do not change what is saved.
            typeInto(dialog->searchText, QStringLiteral("anderes"));
            QTest::mouseClick(dialog->saveCsvButton, Qt::LeftButton);
        });
        QCOMPARE(answer.proposals.size(), 1);
        QVERIFY2(answer.proposals.constFirst().endsWith(QLatin1String("/Pflanzenpass-Nachweis-2004-01-01-bis-2004-02-10.csv")),
                 qPrintable(answer.proposals.constFirst()));
        QCOMPARE(boxes.asked.size(), 1);
        QVERIFY2(boxes.asked.constFirst().endsWith(
                     QStringLiteral("|Der Pflanzenpass-Nachweis wurde in '%1' gespeichert.").arg(QDir::toNativeSeparators(path))),
                 qPrintable(boxes.asked.constFirst()));
        const CsvReadBack read = readCsvWithPython(path);
        QVERIFY2(read.problem.isEmpty(), qPrintable(read.problem));
        QCOMPARE(read.rows,
                 (QList<QStringList>{{"Datum", "Lieferschein", "Kunde", "MwSt.-Nr.", "Botanischer Name (A)",
                                      "Rückverfolgbarkeitscode (C)", "Ursprung (D)", "Menge", "Einheit", "Rechnung"},
                                     {"02.01.2004", "9", "Giardini Anna S.r.l.", "00000000109", "Olea europaea",
                                      "OL-2004-118", "IT", "1", "Stk", ""},
                                     {"15.01.2004", "3", "Edelweiß GmbH", "ATU12345675", "Olea europaea", "OL-2004-118",
                                      "IT", "4", "Stk", ""}}));
    }

    void everyControlIsNamed()
    {
        PassportReportDialog dialog;
        const QList<QWidget *> controls{dialog.searchText,  dialog.searchKind,  dialog.fromDate,
                                        dialog.toDate,      dialog.searchButton, dialog.resultTable,
                                        dialog.countLabel, dialog.saveCsvButton, dialog.closeButton};
        for (QWidget *w : controls) {
            QVERIFY2(!w->objectName().isEmpty(), w->metaObject()->className());
            QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(w->objectName()));
        }
        for (QLabel *label : dialog.findChildren<QLabel *>()) {
            QVERIFY2(!label->objectName().isEmpty(), qPrintable(label->text()));
            QVERIFY2(label == dialog.countLabel || label->buddy(), qPrintable(label->objectName()));
        }
        QCOMPARE(dialog.saveCsvButton->text(), QStringLiteral("Als CSV speichern ..."));
    }
};

QTEST_MAIN(TestPassportReportWindow)
#include "tst_passportreport.moc"
