// Due dates, open items and payments: the due date a header is stored with,
// what the open items list shows on a given day, and marking an item paid
// without writing over a payment another program entered.

#include "errorof.h"
#include "testdb.h"

#include "data/database.h"
#include "data/duedate.h"
#include "data/errors.h"
#include "data/openitems.h"
#include "data/sqlitedatabase.h"

#include <QTest>

namespace {

const Separators TypedIn{QLatin1Char(','), QLatin1Char('.')};
// What a data row leaves as it is.
const QString Untouched = QStringLiteral("~");

// Anna's invoice 5 of 08.01.2004 on 30 days, due as those give it.
const QString StoredHeader = QStringLiteral(
    "INSERT INTO kunde (id, name) VALUES (1, 'Anna');"
    "INSERT INTO rechnungsdaten2004 (id, nr, datum, bezahlung, kundennummer, faellig) "
    "VALUES (1, '5', '08.01.2004', '30 Tage', '1', %1);");

QString sqlText(const QString &text)
{
    return text.isNull() ? QStringLiteral("NULL") : QLatin1Char('\'') + text + QLatin1Char('\'');
}

void type(RecordSet &set, QLatin1StringView field, const QString &text)
{
    if (text != Untouched)
        set.FieldByName(field)->setAsString(text);
}

// Anna 1, Bruno 2. In 2004: R1 on 30 days stored before due dates, R2 with a
// due date typed in, R3 paid, R4 paid in cash, the credit note GS-1 without
// terms, R6 whose line cannot be computed. In 2003: A1, due in January.
const QString Ledger = QStringLiteral(R"(
INSERT INTO kunde (id, name) VALUES (1, 'Anna'), (2, 'Bruno');
INSERT INTO rechnungsdaten2004 (id, nr, datum, bezahlung, kundennummer, dokumentart, faellig, bezahlt_am) VALUES
  (1, 'R1', '01.02.2004', '30 Tage', '1', NULL, NULL, NULL),
  (2, 'R2', '03.02.2004', '30 Tage', '2', NULL, '10.02.2004', NULL),
  (3, 'R3', '04.02.2004', '30 Tage', '1', NULL, '05.03.2004', '20.02.2004'),
  (4, 'R4', '05.02.2004', 'bar', '1', NULL, '05.02.2004', NULL),
  (5, 'GS-1', '06.02.2004', NULL, '2', 'TD04', NULL, NULL),
  (6, 'R6', '07.02.2004', 'nach Vereinbarung', '1', NULL, NULL, '');
INSERT INTO rechnung2004 (rechnungsnummer, beschreibung, anzahl, einzelpreis) VALUES
  ('R1', 'Rosen', '4', '2,5'), ('R2', 'Erde', '1', '10'), ('R3', 'Tulpen', '1', '5'),
  ('R4', 'Kies', '1', '3'), ('GS-1', 'Rosen zurück', '1', '2'), ('R6', 'Buchs', '1', 'zehn');
INSERT INTO rechnungsdaten2003 (id, nr, datum, bezahlung, kundennummer, faellig) VALUES
  (1, 'A1', '15.12.2003', '30 Tage', '1', '14.01.2004');
INSERT INTO rechnung2003 (rechnungsnummer, beschreibung, anzahl, einzelpreis) VALUES ('A1', 'Palme', '1', '100');
)");

// "year|nr|customer|gross|due|days overdue" of each item; "?" for an amount
// that could not be computed, "" for no due date or no days.
QStringList shown(const OpenItems &open)
{
    QStringList out;
    for (const OpenItem &i : open.items)
        out << QStringList{QString::number(i.year), i.number, i.customerName,
                           i.gross ? formatMoney(*i.gross, TypedIn) : QStringLiteral("?"), storedDateText(i.due),
                           i.daysOverdue ? QString::number(*i.daysOverdue) : QString()}
                   .join(QLatin1Char('|'));
    return out;
}

} // namespace

class TestPayments : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void dueDateWhenStored_data()
    {
        QTest::addColumn<bool>("stored");      // edit Anna's invoice 5, or write a new one
        QTest::addColumn<QString>("storedDue"); // faellig of invoice 5 (null: NULL)
        QTest::addColumn<QString>("datum");     // what is typed; Untouched for nothing
        QTest::addColumn<QString>("terms");
        QTest::addColumn<QString>("due");
        QTest::addColumn<QString>("paid");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("expectedDue"); // as stored afterwards, "" for NULL or empty
        QTest::addColumn<QString>("error");       // the start of the refusal, "" when stored

        const QString U = Untouched;
        const QString none;
        // 2004 is a leap year: 08.01. + 30 days is 07.02., + 60 is 08.03.
        QTest::newRow("invoice on 30 Tage") << false << none << "08.01.2004" << "30 Tage" << U << U << U << "07.02.2004" << "";
        QTest::newRow("credit note on 30 Tage")
            << false << none << "08.01.2004" << "30 Tage" << U << U << "TD04" << "07.02.2004" << "";
        QTest::newRow("cash: due at once") << false << none << "08.01.2004" << "bar" << U << U << U << "08.01.2004" << "";
        QTest::newRow("paid") << false << none << "08.01.2004" << "30 Tage" << U << "20.01.2004" << U << "07.02.2004" << "";
        QTest::newRow("terms without days: no due date")
            << false << none << "08.01.2004" << "nach Vereinbarung" << U << U << U << "" << "";
        QTest::newRow("typed due date kept") << false << none << "08.01.2004" << "30 Tage" << "15.03.2004" << U << U
                                             << "15.03.2004" << "";
        QTest::newRow("date that is no date: nothing follows")
            << false << none << "Januar" << "30 Tage" << U << U << U << "" << "";
        QTest::newRow("terms changed: the due date follows")
            << true << "07.02.2004" << U << "60 Tage" << U << U << U << "08.03.2004" << "";
        QTest::newRow("date changed: the due date follows")
            << true << "07.02.2004" << "10.01.2004" << U << U << U << U << "09.02.2004" << "";
        QTest::newRow("terms changed: a due date typed before stays")
            << true << "20.02.2004" << U << "60 Tage" << U << U << U << "20.02.2004" << "";
        QTest::newRow("typed over one that followed the terms")
            << true << "07.02.2004" << U << "60 Tage" << "01.04.2004" << U << U << "01.04.2004" << "";
        QTest::newRow("stored before due dates: gets one on any change")
            << true << none << U << U << U << "01.02.2004" << U << "07.02.2004" << "";
        QTest::newRow("emptied: follows the terms again")
            << true << "20.02.2004" << U << U << "" << U << U << "07.02.2004" << "";
        QTest::newRow("terms no longer give a date: the followed one goes")
            << true << "07.02.2004" << U << "nach Vereinbarung" << U << U << U << "" << "";
        QTest::newRow("bad due date refused") << false << none << "08.01.2004" << "30 Tage" << "31.02.2004" << U << U << ""
                                              << "„31.02.2004“ ist kein gültiges Fälligkeitsdatum";
        QTest::newRow("bad paid date refused")
            << true << "07.02.2004" << U << U << U << "gestern" << U << "07.02.2004" << "„gestern“ ist kein gültiges Zahlungsdatum";
        QTest::newRow("due date without its year refused")
            << true << "07.02.2004" << U << U << "7.2." << U << U << "07.02.2004" << "„7.2.“ ist kein gültiges Fälligkeitsdatum";
    }

    void dueDateWhenStored()
    {
        QFETCH(bool, stored);
        QFETCH(QString, storedDue);
        QFETCH(QString, datum);
        QFETCH(QString, terms);
        QFETCH(QString, due);
        QFETCH(QString, paid);
        QFETCH(QString, kind);
        QFETCH(QString, expectedDue);
        QFETCH(QString, error);
        testdb::Fixture db(stored ? StoredHeader.arg(sqlText(storedDue)) : QStringLiteral("INSERT INTO kunde (id, name) VALUES (1, 'Anna');"));
        InvoiceData d;
        d.open(db.file());
        RecordSet &headers = d.invoiceHeaders;
        using namespace schema::header;
        if (stored) {
            headers.Edit();
        } else {
            headers.Append();
            headers.FieldByName(Number)->setAsString(QStringLiteral("9"));
        }
        type(headers, Date, datum);
        type(headers, Payment, terms);
        type(headers, DueDate, due);
        type(headers, PaidDate, paid);
        type(headers, DocumentKind, kind);
        const QString refusal = errorOf<ConversionError>([&] { headers.Post(); });
        const QString where = stored ? QStringLiteral(" WHERE id = 1") : QStringLiteral(" WHERE nr = '9'");
        if (error.isEmpty()) {
            QCOMPARE(refusal, QString());
            QCOMPARE(db.scalar(QStringLiteral("SELECT faellig FROM rechnungsdaten2004") + where), expectedDue);
            // What the window shows is what was stored.
            QCOMPARE(headers.FieldByName(DueDate)->AsString(), expectedDue);
            if (paid != Untouched)
                QCOMPARE(db.scalar(QStringLiteral("SELECT bezahlt_am FROM rechnungsdaten2004") + where), paid);
        } else {
            QVERIFY2(refusal.startsWith(error), qPrintable(refusal));
            QVERIFY(refusal.contains(QStringLiteral("TT.MM.JJJJ")));
            // Nothing is lost: the row waits with what was typed.
            QVERIFY(headers.State() != DataSetState::Browse);
            if (due != Untouched)
                QCOMPARE(headers.FieldByName(DueDate)->AsString(), due);
            if (paid != Untouched)
                QCOMPARE(headers.FieldByName(PaidDate)->AsString(), paid);
            QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM rechnungsdaten2004")), stored ? "1" : "0");
            QCOMPARE(db.scalar(QStringLiteral("SELECT faellig FROM rechnungsdaten2004 WHERE id = 1")), expectedDue);
        }
    }

    void yearWithoutDueDatesStoresAsBefore()
    {
        testdb::Fixture db(QStringLiteral("INSERT INTO kunde (id, name) VALUES (1, 'Anna');"
                                          "ALTER TABLE rechnungsdaten2004 DROP COLUMN faellig;"
                                          "ALTER TABLE rechnungsdaten2004 DROP COLUMN bezahlt_am;"));
        InvoiceData d;
        d.open(db.file());
        RecordSet &headers = d.invoiceHeaders;
        QVERIFY(!headers.FindField(schema::header::DueDate));
        headers.Append();
        headers.FieldByName(schema::header::Number)->setAsString(QStringLiteral("9"));
        headers.FieldByName(schema::header::Date)->setAsString(QStringLiteral("08.01.2004"));
        headers.FieldByName(schema::header::Payment)->setAsString(QStringLiteral("30 Tage"));
        headers.Post();
        QCOMPARE(db.scalar(QStringLiteral("SELECT bezahlung FROM rechnungsdaten2004 WHERE nr = '9'")), QStringLiteral("30 Tage"));
        // Number and date are still required.
        headers.Append();
        headers.FieldByName(schema::header::Number)->setAsString(QStringLiteral("10"));
        QCOMPARE(errorOf([&] { headers.Post(); }), QStringLiteral("Die Rechnung braucht eine Nummer und ein Datum."));
    }

    void openItemsOnADay_data()
    {
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QStringList>("expected");

        // Oldest due first; what has no due date stands at its invoice's
        // date. R3 (paid) and R4 (cash) are not open; R6 cannot be computed.
        QTest::newRow("before anything is due")
            << QDate(2004, 1, 10)
            << QStringList{"2003|A1|Anna|110,00|14.01.2004|0", "2004|GS-1|Bruno|-2,20||", "2004|R6|Anna|?||",
                           "2004|R2|Bruno|11,00|10.02.2004|0", "2004|R1|Anna|11,00|02.03.2004|0"};
        QTest::newRow("on the due date itself: not yet overdue")
            << QDate(2004, 1, 14)
            << QStringList{"2003|A1|Anna|110,00|14.01.2004|0", "2004|GS-1|Bruno|-2,20||", "2004|R6|Anna|?||",
                           "2004|R2|Bruno|11,00|10.02.2004|0", "2004|R1|Anna|11,00|02.03.2004|0"};
        // 14.01. to 10.03.2004: 17 + 29 (a leap February) + 10 days.
        QTest::newRow("in March")
            << QDate(2004, 3, 10)
            << QStringList{"2003|A1|Anna|110,00|14.01.2004|56", "2004|GS-1|Bruno|-2,20||", "2004|R6|Anna|?||",
                           "2004|R2|Bruno|11,00|10.02.2004|29", "2004|R1|Anna|11,00|02.03.2004|8"};
    }

    void openItemsOnADay()
    {
        QFETCH(QDate, today);
        QFETCH(QStringList, expected);
        testdb::Fixture db(Ledger);
        SqliteDatabase connection;
        connection.open(db.file());
        const OpenItems open = openItems(connection, TypedIn, today);
        QCOMPARE(shown(open), expected);
        // 110,00 + 11,00 + 11,00 - 2,20; R6's amount is unknown.
        QCOMPARE(formatMoney(open.total, TypedIn), QStringLiteral("129,80"));
        const OpenItem &unreadable = open.items.at(2);
        QVERIFY2(unreadable.problem.startsWith(QStringLiteral("Zeile 1:")), qPrintable(unreadable.problem));
        QVERIFY(open.items.at(1).creditNote);
        QCOMPARE(open.items.at(0).isOverdue(), today > QDate(2004, 1, 14));
    }

    void reminderOnlyWhenOverdue_data()
    {
        QTest::addColumn<QString>("nr");
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QString>("refusal"); // the start of the message, "" when a reminder can go out

        QTest::newRow("overdue") << "R1" << QDate(2004, 3, 3) << "";
        QTest::newRow("on the due date") << "R1" << QDate(2004, 3, 2) << "Die Rechnung Nr. R1 ist erst am 02.03.2004 fällig";
        QTest::newRow("paid") << "R3" << QDate(2004, 6, 1) << "Die Rechnung Nr. R3 ist bereits bezahlt";
        QTest::newRow("paid in cash") << "R4" << QDate(2004, 6, 1) << "Die Rechnung Nr. R4 ist bereits bezahlt";
        QTest::newRow("credit note") << "GS-1" << QDate(2004, 6, 1) << "Nr. GS-1 ist eine Gutschrift";
        QTest::newRow("amount unknown") << "R6" << QDate(2004, 6, 1) << "Der Betrag der Rechnung Nr. R6 lässt sich nicht berechnen (Zeile 1:";
    }

    void reminderOnlyWhenOverdue()
    {
        QFETCH(QString, nr);
        QFETCH(QDate, today);
        QFETCH(QString, refusal);
        testdb::Fixture db(Ledger);
        SqliteDatabase connection;
        connection.open(db.file());
        const qint64 id = db.scalar(QStringLiteral("SELECT id FROM rechnungsdaten2004 WHERE nr = '%1'").arg(nr)).toLongLong();
        const QString said = reminderRefusal(summaryOfInvoice(connection, 2004, id, TypedIn), today);
        if (refusal.isEmpty())
            QCOMPARE(said, QString());
        else
            QVERIFY2(said.startsWith(refusal), qPrintable(said));
    }

    void reminderNeedsADueDate()
    {
        InvoiceSummary summary;
        summary.year = 2004;
        summary.invoice.header = {QStringLiteral("9"), QStringLiteral("08.01.2004"), QStringLiteral("nach Vereinbarung")};
        summary.totals = InvoiceTotals();
        QVERIFY(reminderRefusal(summary, QDate(2005, 1, 1)).contains(QStringLiteral("hat kein Fälligkeitsdatum")));
        summary.invoice.header.faellig = QStringLiteral("01.02.2004");
        QCOMPARE(reminderRefusal(summary, QDate(2005, 1, 1)), QString());
    }

    void markedPaidLeavesTheList()
    {
        testdb::Fixture db(Ledger);
        SqliteDatabase connection;
        connection.open(db.file());
        const QDate today(2004, 3, 10);
        const OpenItem r1 = openItems(connection, TypedIn, today).items.last();
        QCOMPARE(r1.number, QStringLiteral("R1"));
        markPaid(connection, r1.year, r1.headerId, r1.paidAsRead, today);
        QCOMPARE(db.scalar(QStringLiteral("SELECT bezahlt_am FROM rechnungsdaten2004 WHERE id = 1")), QStringLiteral("10.03.2004"));
        const OpenItems after = openItems(connection, TypedIn, today);
        QCOMPARE(after.items.size(), 4);
        QCOMPARE(formatMoney(after.total, TypedIn), QStringLiteral("118,80"));
        // R6 was read with an empty paid date, not NULL: that is what it is written over.
        const OpenItem r6 = after.items.at(2);
        QCOMPARE(r6.number, QStringLiteral("R6"));
        markPaid(connection, r6.year, r6.headerId, r6.paidAsRead, today);
        QCOMPARE(openItems(connection, TypedIn, today).items.size(), 3);
    }

    void markingPaidNeverWritesOverAnotherProgram_data()
    {
        QTest::addColumn<QString>("meanwhile");
        QTest::newRow("paid meanwhile on another PC") << "UPDATE rechnungsdaten2004 SET bezahlt_am = '01.03.2004' WHERE id = 1";
        QTest::newRow("deleted meanwhile") << "DELETE FROM rechnungsdaten2004 WHERE id = 1";
    }

    void markingPaidNeverWritesOverAnotherProgram()
    {
        QFETCH(QString, meanwhile);
        testdb::Fixture db(Ledger);
        SqliteDatabase connection;
        connection.open(db.file());
        const OpenItem r1 = openItems(connection, TypedIn, QDate(2004, 3, 10)).items.last();
        db.exec(meanwhile);
        const QString before = db.scalar(QStringLiteral("SELECT bezahlt_am FROM rechnungsdaten2004 WHERE id = 1"));
        const QString refusal = errorOf<EngineError>([&] { markPaid(connection, r1.year, r1.headerId, r1.paidAsRead, QDate(2004, 3, 10)); });
        QVERIFY2(refusal.contains(QStringLiteral("inzwischen von einem anderen Programm")), qPrintable(refusal));
        QCOMPARE(db.scalar(QStringLiteral("SELECT bezahlt_am FROM rechnungsdaten2004 WHERE id = 1")), before);
    }

    void markingPaidInAYearWithoutPaidDates()
    {
        testdb::Fixture db(Ledger + QStringLiteral("ALTER TABLE rechnungsdaten2003 DROP COLUMN bezahlt_am;"));
        SqliteDatabase connection;
        connection.open(db.file());
        QVERIFY(errorOf<ConversionError>([&] { markPaid(connection, 2003, 1, QString(), QDate(2004, 3, 10)); })
                    .contains(QStringLiteral("kennen noch kein Zahlungsdatum")));
    }
};

QTEST_GUILESS_MAIN(TestPayments)
#include "tst_payments.moc"
