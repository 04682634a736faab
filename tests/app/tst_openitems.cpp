// The open items window over the main window: what it lists on a fixed day,
// marking an item paid (and the invoice list showing it), opening an invoice
// of another year from it, and the reminder for an overdue invoice.

#include "app/mainwindow.h"
#include "controls/dbedit.h"
#include "data/errors.h"
#include "dialogs/openitems.h"
#include "editor/invoiceeditor.h"
#include "framework/report/previewwindow.h"
#include "running.h"
#include "errorof.h"
#include "uitest.h"

#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

using uitest::Boxes;
using uitest::whileModal;

namespace {

// Anna: R1 of 2004 on 30 days (due 02.03.2004), A1 of 2003 (due 14.01.2004);
// Bruno: R2 of 2004 due 10.02.2004, R3 paid.
const char *const Data = R"(
INSERT INTO kunde (id, name) VALUES (1, 'Anna Blumen'), (2, 'Bruno Baum');
INSERT INTO rechnungsdaten2004 (id, nr, datum, bezahlung, kundennummer, faellig, bezahlt_am) VALUES
  (1, 'R1', '01.02.2004', '30 Tage', '1', NULL, NULL),
  (2, 'R2', '03.02.2004', '30 Tage', '2', '10.02.2004', NULL),
  (3, 'R3', '04.02.2004', '30 Tage', '2', '05.03.2004', '20.02.2004');
INSERT INTO rechnung2004 (rechnungsnummer, beschreibung, anzahl, einzelpreis) VALUES
  ('R1', 'Rosen', '4', '2,5'), ('R2', 'Erde', '1', '10'), ('R3', 'Tulpen', '1', '5');
INSERT INTO rechnungsdaten2003 (id, nr, datum, bezahlung, kundennummer, faellig) VALUES
  (1, 'A1', '15.12.2003', '30 Tage', '1', '14.01.2004');
INSERT INTO rechnung2003 (rechnungsnummer, beschreibung, anzahl, einzelpreis) VALUES ('A1', 'Palme', '1', '100');
)";

const QDate Today(2004, 3, 10);

QStringList rowsOf(const QTableWidget *list)
{
    QStringList rows;
    for (int r = 0; r < list->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < list->columnCount(); ++c)
            cells << (list->item(r, c) ? list->item(r, c)->text() : QString());
        rows << cells.join(QLatin1Char('|'));
    }
    return rows;
}

int rowOf(const QTableWidget *list, const QString &number)
{
    for (int r = 0; r < list->rowCount(); ++r)
        if (list->item(r, 1)->text() == number)
            return r;
    return -1;
}

struct OpenItemsWindow : Running
{
    OpenItemsWindow() : Running(QString::fromUtf8(Data))
    {
        w().setFixedToday(Today);
        w().data().setSeparators({QLatin1Char(','), QLatin1Char('.')});
    }
    OpenItemsDialog *dialog() { return w().openItemsDialog; }
    uitest::ModalRun open(const std::function<void()> &inside)
    {
        return whileModal(dialog(), [&] { w().openItemsAction->trigger(); }, inside);
    }
};

// Calls `seen` once `window` is the active modal window, then closes it.
struct WhenModal
{
    WhenModal(QDialog *window, std::function<void()> seen) : window(window), seen(std::move(seen))
    {
        QObject::connect(&poll, &QTimer::timeout, [this] {
            if (QApplication::activeModalWidget() != this->window || !this->window->isVisible())
                return;
            poll.stop();
            ++times;
            this->seen();
            this->window->reject();
        });
        poll.start(5);
    }
    QDialog *window;
    std::function<void()> seen;
    int times = 0;
    QTimer poll;
};

} // namespace

class TestOpenItems : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void editorTakesTheDueAndPaidDate()
    {
        OpenItemsWindow r;
        QVERIFY(r.shown);
        InvoiceEditor *editor = r.program.invoiceEditor.get();
        RecordSet &headers = r.w().invoiceHeaders();
        QVERIFY(headers.Locate(QStringLiteral("nr"), QStringLiteral("R1")));
        QStringList overlapping;
        whileModal(editor, [&] { r.w().editInvoiceAction->trigger(); }, [&] {
            for (DBEdit *date : {editor->dueDate, editor->paidDate}) {
                QCOMPARE(date->parentWidget(), editor->invoiceBox);
                QVERIFY(date->isEnabled());
                QVERIFY(editor->invoiceBox->rect().contains(date->geometry()));
                for (QWidget *other : editor->invoiceBox->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
                    if (other != date && other->isVisible() && other->geometry().intersects(date->geometry()))
                        overlapping << date->objectName() + QLatin1Char('/') + other->objectName();
            }
            QCOMPARE(editor->dueDate->objectName(), QStringLiteral("faellig"));
            QCOMPARE(editor->paidDate->objectName(), QStringLiteral("bezahltAm"));
            QCOMPARE(editor->dueDate->accessibleName(), QStringLiteral("Fällig am"));
            QCOMPARE(editor->paidDate->accessibleName(), QStringLiteral("Bezahlt am"));
            editor->paidDate->setFocus();
            QTest::keyClicks(editor->paidDate, QStringLiteral("05.03.2004"));
            editor->paidDate->handOverText();
        });
        QCOMPARE(overlapping, QStringList());
        r.w().data().settleAll();
        // The due date R1 never had follows its 30 days.
        QCOMPARE(r.scalar(QStringLiteral("SELECT faellig || '|' || bezahlt_am FROM rechnungsdaten2004 WHERE id = 1")),
                 QStringLiteral("02.03.2004|05.03.2004"));

        // A due date that is no date stops the post; what was typed waits.
        whileModal(editor, [&] { r.w().editInvoiceAction->trigger(); }, [&] {
            QCOMPARE(editor->dueDate->text(), QStringLiteral("02.03.2004"));
            editor->dueDate->setFocus();
            editor->dueDate->selectAll();
            QTest::keyClicks(editor->dueDate, QStringLiteral("bald"));
            editor->dueDate->handOverText();
        });
        QVERIFY(errorOf<ConversionError>([&] { r.w().data().settleAll(); }).contains(QStringLiteral("kein gültiges Fälligkeitsdatum")));
        QCOMPARE(headers.State(), DataSetState::Edit);
        QCOMPARE(headers.FieldByName(QStringLiteral("faellig"))->AsString(), QStringLiteral("bald"));
        QCOMPARE(r.scalar(QStringLiteral("SELECT faellig FROM rechnungsdaten2004 WHERE id = 1")), QStringLiteral("02.03.2004"));
        headers.Cancel();
    }

    void listsWhatIsOwedOldestDueFirst()
    {
        OpenItemsWindow r;
        QVERIFY(r.shown);
        QCOMPARE(r.w().openItemsAction->text(), QStringLiteral("&Offene Posten ..."));
        QStringList rows;
        QString total;
        QDate proposed;
        const uitest::ModalRun run = r.open([&] {
            rows = rowsOf(r.dialog()->itemList);
            total = r.dialog()->totalText->text();
            proposed = r.dialog()->paidOn->date();
        });
        QVERIFY(run.wasModal);
        // 14.01. to 10.03.2004 is 56 days, 10.02. to 10.03. 29 (a leap year), 02.03. to 10.03. 8.
        QCOMPARE(rows, QStringList({"Anna Blumen|A1|15.12.2003|110,00|14.01.2004|56",
                                    "Bruno Baum|R2|03.02.2004|11,00|10.02.2004|29",
                                    "Anna Blumen|R1|01.02.2004|11,00|02.03.2004|8"}));
        QCOMPARE(total, QStringLiteral("Offen insgesamt: 132,00 €"));
        QCOMPARE(proposed, Today);
    }

    void markedPaidLeavesTheListAndShowsInTheInvoiceList()
    {
        OpenItemsWindow r;
        QVERIFY(r.shown);
        // The main window starts on Anna, whose R1 is in the 2004 list.
        RecordSet &headers = r.w().invoiceHeaders();
        QVERIFY(headers.Locate(QStringLiteral("nr"), QStringLiteral("R1")));
        QStringList rows;
        r.open([&] {
            QTableWidget *list = r.dialog()->itemList;
            list->selectRow(rowOf(list, QStringLiteral("R1")));
            r.dialog()->paidOn->setDate(QDate(2004, 3, 5));
            QTest::mouseClick(r.dialog()->markPaidButton, Qt::LeftButton);
            rows = rowsOf(list);
        });
        QCOMPARE(r.scalar(QStringLiteral("SELECT bezahlt_am FROM rechnungsdaten2004 WHERE id = 1")), QStringLiteral("05.03.2004"));
        QCOMPARE(rows.size(), 2);
        QVERIFY(!rows.join(QLatin1Char(' ')).contains(QStringLiteral("|R1|")));
        QCOMPARE(headers.FieldByName(QStringLiteral("nr"))->AsString(), QStringLiteral("R1"));
        QCOMPARE(headers.FieldByName(QStringLiteral("bezahlt_am"))->AsString(), QStringLiteral("05.03.2004"));
        // The row can be changed afterwards without being taken for another program's change.
        headers.Edit();
        headers.FieldByName(QStringLiteral("bestimmungsort"))->setAsString(QStringLiteral("Meran"));
        headers.Post();
        QCOMPARE(r.scalar(QStringLiteral("SELECT bestimmungsort || '|' || bezahlt_am FROM rechnungsdaten2004 WHERE id = 1")),
                 QStringLiteral("Meran|05.03.2004"));
    }

    void rowOpensAnInvoiceOfAnotherYear_data()
    {
        QTest::addColumn<bool>("byEnter");
        QTest::newRow("Enter") << true;
        QTest::newRow("double-click") << false;
    }

    void rowOpensAnInvoiceOfAnotherYear()
    {
        QFETCH(bool, byEnter);
        OpenItemsWindow r;
        QVERIFY(r.shown);
        QCOMPARE(r.w().data().year(), 2004);
        QString openedOn;
        WhenModal editor(r.program.invoiceEditor.get(), [&] {
            RecordSet &headers = r.w().invoiceHeaders();
            openedOn = QString::number(r.w().data().year()) + QLatin1Char('|')
                       + r.w().customers().FieldByName(QStringLiteral("name"))->AsString() + QLatin1Char('|')
                       + headers.FieldByName(QStringLiteral("nr"))->AsString();
        });
        bool closed = false;
        r.open([&] {
            QTableWidget *list = r.dialog()->itemList;
            const int row = rowOf(list, QStringLiteral("A1"));
            if (byEnter) {
                list->selectRow(row);
                QTest::keyClick(list, Qt::Key_Return);
            } else {
                // As a mouse does it: the first click, then the second as a double-click.
                const QPoint cell = list->visualItemRect(list->item(row, 0)).center();
                QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell);
                QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, cell);
            }
            closed = !r.dialog()->isVisible();
        });
        QVERIFY(closed);
        QTRY_COMPARE(editor.times, 1);
        QCOMPARE(openedOn, QStringLiteral("2003|Anna Blumen|A1"));
        QVERIFY(r.w().yearAction(2003)->isChecked());
    }

    void reminderOnlyForWhatIsOverdue()
    {
        OpenItemsWindow r;
        QVERIFY(r.shown);
        // Anna's R1 as the current invoice: due 02.03.2004.
        QVERIFY(r.w().invoiceHeaders().Locate(QStringLiteral("nr"), QStringLiteral("R1")));
        r.w().setFixedToday(QDate(2004, 3, 2));
        {
            Boxes boxes;
            r.w().reminderAction->trigger();
            QCOMPARE(boxes.asked.size(), 1);
            QVERIFY2(boxes.asked.first().contains(QStringLiteral("erst am 02.03.2004 fällig")), qPrintable(boxes.asked.first()));
        }
        // A day later it is overdue: the letter opens in the preview.
        r.w().setFixedToday(QDate(2004, 3, 3));
        int pages = 0;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            for (QWidget *window : QApplication::topLevelWidgets())
                if (auto *preview = qobject_cast<rpt::PreviewWindow *>(window); preview && preview->isVisible() && !preview->running()) {
                    pages = preview->pageCount();
                    preview->close();
                }
        });
        poll.start(5);
        Boxes none;
        r.w().reminderAction->trigger();
        poll.stop();
        QCOMPARE(none.asked, QStringList());
        QCOMPARE(pages, 1);
        // A paid invoice gets none.
        QVERIFY(r.w().customers().Locate(QStringLiteral("id"), 2));
        QVERIFY(r.w().invoiceHeaders().Locate(QStringLiteral("nr"), QStringLiteral("R3")));
        Boxes paid;
        r.w().reminderAction->trigger();
        QCOMPARE(paid.asked.size(), 1);
        QVERIFY(paid.asked.first().contains(QStringLiteral("bereits bezahlt")));
    }
};

QTEST_MAIN(TestOpenItems)
#include "tst_openitems.moc"
