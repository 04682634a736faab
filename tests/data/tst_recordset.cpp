// Record sets, links, settling and the engine underneath, as scenarios of
// operations on the shared record sets, without windows.

#include "data/amount.h"
#include "data/database.h"
#include "data/errors.h"
#include "data/lineamount.h"
#include "errorof.h"
#include "testdb.h"

#include <QFile>
#include <QtTest>
#include <unistd.h>

namespace {

// Records what a data source passes on.
class Recorder : public DataLink
{
public:
    explicit Recorder(DataSource *ds) : m_ds(ds) { ds->attach(this); }
    ~Recorder() override { m_ds->detach(this); }
    void dataEvent(Notification n, Field *f) override
    {
        events << QString::number(int(n)) + (f ? QLatin1Char(':') + f->FieldName() : QString());
    }
    QStringList events;

private:
    DataSource *m_ds;
};

QString flags(const RecordSet &rs)
{
    return QStringLiteral("%1%2").arg(rs.Bof() ? QLatin1String("B") : QLatin1String("-"), rs.Eof() ? QLatin1String("E") : QLatin1String("-"));
}

QString str(const RecordSet &rs, const char *field) { return rs.FieldByName(QString::fromLatin1(field))->AsString(); }

using testdb::StandardData;

} // namespace

class TestRecordSet : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void startupFollowsLinks();
    void linkComparesExactText_data();
    void linkComparesExactText();
    void flagsAfterOperations_data();
    void flagsAfterOperations();
    void settlingStoresLineThenHeaderThenCustomer();
    void untouchedNewRowIsDroppedByAMove();
    void postRightAfterInsertStoresOnlyTheLinkField();
    void newCustomerEmptiesHeadersUntilStored();
    void movingCustomerStoresTypedHeaderUnderPreviousCustomer();
    void typedNumberRefiltersLinesAtOnce();
    void headerWithoutNumberOrDateIsNotStored_data();
    void headerWithoutNumberOrDateIsNotStored();
    void equalNumbersKeepTheLineCurrent();
    void deletingCustomers();
    void deleteDuringInsertDropsOnlyThePendingRow();
    void cancelReturnsToThePreviousRow();
    void longTextIsCutToFiftyCharacters();
    void closingDiscardsAnEdit();
    void locate_data();
    void locate();
    void notifications();
    void refreshRereadsStoredValues();
    void refreshHoldsNoMoreThanBefore_data();
    void refreshHoldsNoMoreThanBefore();
    void refreshOfAQueryInAnotherOrder();
    void lineAmount_data();
    void lineAmount();
    void unreadableLineStaysInViewAndCanBeCorrected();
    void badNumberIsNeverStored_data();
    void badNumberIsNeverStored();
    void failingAssignmentKeepsTheText();
    void fieldKindChecks_data();
    void fieldKindChecks();
    void recordSetErrors();
    void lostUpdateKeepsTheRowPending_data();
    void lostUpdateKeepsTheRowPending();
    void lockedDatabaseKeepsTheRowPending();
    void openingBadFiles_data();
    void openingBadFiles();
    void searchTextNeverRunsAStatement_data();
    void searchTextNeverRunsAStatement();
    void secondStatementIsRefused();
    void yearChangeStoresPendingHeaderFirst();
    void missingYearTablesLeaveTheSetClosed();
    void yearsFoundInTheFile_data();
    void yearsFoundInTheFile();
    void newYearIsMadeLikeTheNewest();
    void newYearRefusals_data();
    void newYearRefusals();
    void typedYear_data();
    void typedYear();
    void proposedNewYear_data();
    void proposedNewYear();
    void refreshAfterDeleteInALinkedSet();
    void headerEditKeepsTheLineCurrentFromStartUp();
    void everyControlHearsANotificationThatFails();
    void closingTellsItsControlsOnlyThatItClosed();
    void closingKeepsTheMasterOpenWhenADetailCannotBeStored();
    void deleteInBrowseStateSendsNoStateChange();
    void conflictOnPostCanBeDiscarded_data();
    void conflictOnPostCanBeDiscarded();
    void deleteOfARowAnotherProgramChanged_data();
    void deleteOfARowAnotherProgramChanged();
};

void TestRecordSet::startupFollowsLinks()
{
    testdb::Fixture db(QString::fromUtf8(StandardData));
    InvoiceData d;
    d.open(db.file());
    QCOMPARE(str(d.customers, "name"), QStringLiteral("Anna"));
    QCOMPARE(d.invoiceHeaders.RecordCount(), 2);
    QCOMPARE(str(d.invoiceHeaders, "nr"), QStringLiteral("5"));
    QCOMPARE(d.invoiceLines.RecordCount(), 2);
    QCOMPARE(str(d.invoiceLines, "beschreibung"), QStringLiteral("Rosen"));
    QVERIFY(!d.lastInvoiceNumber.Active());

    d.customers.Next(); // Bruno
    QCOMPARE(d.invoiceHeaders.RecordCount(), 1);
    QCOMPARE(str(d.invoiceHeaders, "nr"), QStringLiteral("7"));
    QCOMPARE(str(d.invoiceLines, "beschreibung"), QStringLiteral("Lavendel"));
    d.customers.Next(); // Carla has no invoices
    QVERIFY(d.invoiceHeaders.IsEmpty());
    QVERIFY(d.invoiceLines.IsEmpty());
}

void TestRecordSet::linkComparesExactText_data()
{
    QTest::addColumn<int>("customer");
    QTest::addColumn<QStringList>("places");
    // Headers are keyed by the text of the id: "017" and " 17" belong to nobody.
    QTest::newRow("17 not 017 or blank 17") << 17 << QStringList{QStringLiteral("exakt 17")};
    QTest::newRow("1 not 10 or 11") << 1 << QStringList{QStringLiteral("eins")};
    QTest::newRow("10 alone") << 10 << QStringList{QStringLiteral("zehn")};
}

void TestRecordSet::linkComparesExactText()
{
    QFETCH(int, customer);
    QFETCH(QStringList, places);
    testdb::Fixture db(QStringLiteral(R"(
INSERT INTO kunde (id, name) VALUES (1, 'a'), (10, 'b'), (11, 'c'), (17, 'd');
INSERT INTO rechnungsdaten2004 (nr, kundennummer, bestimmungsort) VALUES
 ('1', '17', 'exakt 17'), ('2', '017', 'null 17'), ('3', ' 17', 'blank 17'),
 ('4', '1', 'eins'), ('5', '10', 'zehn'), ('6', '11', 'elf');)"));
    InvoiceData d;
    d.open(db.file());
    QVERIFY(d.customers.Locate(QStringLiteral("id"), customer));
    QStringList seen;
    for (d.invoiceHeaders.First(); !d.invoiceHeaders.Eof(); d.invoiceHeaders.Next())
        seen << str(d.invoiceHeaders, "bestimmungsort");
    QCOMPARE(seen, places);
}

void TestRecordSet::flagsAfterOperations_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<QStringList>("ops");
    QTest::addColumn<QString>("expected"); // flags and current name
    QTest::newRow("open") << 3 << QStringList{} << "B- k1";
    QTest::newRow("open empty") << 0 << QStringList{} << "BE ";
    QTest::newRow("next") << 3 << QStringList{"Next"} << "-- k2";
    QTest::newRow("next past the end") << 3 << QStringList{"Next", "Next", "Next"} << "-E k3";
    QTest::newRow("prior at the start") << 3 << QStringList{"Prior"} << "B- k1";
    QTest::newRow("last") << 3 << QStringList{"Last"} << "-E k3";
    QTest::newRow("last then prior") << 3 << QStringList{"Last", "Prior"} << "-- k2";
    QTest::newRow("first after last") << 3 << QStringList{"Last", "First"} << "B- k1";
    QTest::newRow("one row first") << 1 << QStringList{"Last", "First"} << "B- k1";
    QTest::newRow("one row last") << 1 << QStringList{"Last"} << "-E k1";
    QTest::newRow("append") << 3 << QStringList{"Append"} << "-E ";
    QTest::newRow("insert keeps flags") << 3 << QStringList{"Next", "Insert"} << "-- ";
    QTest::newRow("insert at start keeps bof") << 3 << QStringList{"Insert"} << "B- ";
    QTest::newRow("post clears both") << 3 << QStringList{"Edit", "SetName", "Post"} << "-- x";
    QTest::newRow("cancel clears both") << 3 << QStringList{"Edit", "Cancel"} << "-- k1";
    QTest::newRow("append post") << 3 << QStringList{"Append", "SetName", "Post"} << "-- x";
    QTest::newRow("delete clears both") << 3 << QStringList{"Delete"} << "-- k2";
    QTest::newRow("delete the last one") << 1 << QStringList{"Delete"} << "BE ";
    QTest::newRow("delete last row") << 3 << QStringList{"Last", "Delete"} << "-- k2";
    QTest::newRow("refresh clears both") << 3 << QStringList{"Refresh"} << "-- k1";
    QTest::newRow("edit on empty inserts") << 0 << QStringList{"Edit"} << "BE ";
    QTest::newRow("next on empty") << 0 << QStringList{"Next"} << "BE ";
}

void TestRecordSet::flagsAfterOperations()
{
    QFETCH(int, rows);
    QFETCH(QStringList, ops);
    QFETCH(QString, expected);
    QString sql;
    for (int i = 1; i <= rows; ++i)
        sql += QStringLiteral("INSERT INTO kunde (name) VALUES ('k%1');").arg(i);
    testdb::Fixture db(sql);
    InvoiceData d;
    d.open(db.file());
    RecordSet &rs = d.customers;
    for (const QString &op : ops) {
        if (op == QLatin1String("Next")) rs.Next();
        else if (op == QLatin1String("Prior")) rs.Prior();
        else if (op == QLatin1String("First")) rs.First();
        else if (op == QLatin1String("Last")) rs.Last();
        else if (op == QLatin1String("Append")) rs.Append();
        else if (op == QLatin1String("Insert")) rs.Insert();
        else if (op == QLatin1String("Edit")) rs.Edit();
        else if (op == QLatin1String("Post")) rs.Post();
        else if (op == QLatin1String("Cancel")) rs.Cancel();
        else if (op == QLatin1String("Delete")) rs.Delete();
        else if (op == QLatin1String("Refresh")) rs.Refresh();
        else if (op == QLatin1String("SetName")) rs.FieldByName(QStringLiteral("name"))->setAsString(QStringLiteral("x"));
        else QFAIL(qPrintable(op));
    }
    QCOMPARE(flags(rs) + QLatin1Char(' ') + str(rs, "name"), expected);
}

void TestRecordSet::settlingStoresLineThenHeaderThenCustomer()
{
    // Triggers write the order in which rows reach the file.
    testdb::Fixture db(QString::fromUtf8(StandardData) + QStringLiteral(R"(
CREATE TABLE log (seq INTEGER PRIMARY KEY, what TEXT);
CREATE TRIGGER k AFTER UPDATE ON kunde BEGIN INSERT INTO log (what) VALUES ('kunde'); END;
CREATE TRIGGER h AFTER UPDATE ON rechnungsdaten2004 BEGIN INSERT INTO log (what) VALUES ('kopf'); END;
CREATE TRIGGER l AFTER INSERT ON rechnung2004 BEGIN INSERT INTO log (what) VALUES ('zeile'); END;)"));
    InvoiceData d;
    d.open(db.file());
    d.customers.Edit();
    d.customers.FieldByName(QStringLiteral("name2"))->setAsString(QStringLiteral("Anna Berger"));
    d.invoiceHeaders.Edit();
    d.invoiceHeaders.FieldByName(QStringLiteral("datum"))->setAsString(QStringLiteral("09.09.2004"));
    d.invoiceLines.Append();
    d.invoiceLines.FieldByName(QStringLiteral("beschreibung"))->setAsString(QStringLiteral("Buchs"));

    d.customers.Next();

    QCOMPARE(db.scalar(QStringLiteral("SELECT group_concat(what, ',') FROM (SELECT what FROM log ORDER BY seq)")),
             QStringLiteral("zeile,kopf,kunde"));
    QCOMPARE(db.scalar(QStringLiteral("SELECT rechnungsnummer FROM rechnung2004 WHERE beschreibung = 'Buchs'")), QStringLiteral("5"));
    QCOMPARE(db.scalar(QStringLiteral("SELECT datum FROM rechnungsdaten2004 WHERE id = 1")), QStringLiteral("09.09.2004"));
    QCOMPARE(db.scalar(QStringLiteral("SELECT name2 FROM kunde WHERE id = 1")), QStringLiteral("Anna Berger"));
    QCOMPARE(str(d.customers, "name"), QStringLiteral("Bruno"));
    QCOMPARE(d.customers.State(), DataSetState::Browse);
}

void TestRecordSet::untouchedNewRowIsDroppedByAMove()
{
    testdb::Fixture db(QString::fromUtf8(StandardData));
    InvoiceData d;
    d.open(db.file());
    d.invoiceHeaders.Append();
    // The link filled the customer number without marking the row as modified.
    QCOMPARE(str(d.invoiceHeaders, "kundennummer"), QStringLiteral("1"));
    QVERIFY(!d.invoiceHeaders.Modified());
    QCOMPARE(d.invoiceHeaders.RecordCount(), 3);
    d.invoiceHeaders.First();
    QCOMPARE(d.invoiceHeaders.RecordCount(), 2);
    QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM rechnungsdaten2004")), QStringLiteral("3"));
}

void TestRecordSet::postRightAfterInsertStoresOnlyTheLinkField()
{
    testdb::Fixture db(QString::fromUtf8(StandardData));
    InvoiceData d;
    d.open(db.file());
    d.customers.Next(); // Bruno, id 2
    d.invoiceHeaders.Insert();
    // A header is stored only with its number and date; nothing else was typed.
    d.invoiceHeaders.FieldByName(QStringLiteral("nr"))->setAsString(QStringLiteral("8"));
    d.invoiceHeaders.FieldByName(QStringLiteral("datum"))->setAsString(QStringLiteral("05.02.2004"));
    d.invoiceHeaders.Post();
    const QString id = str(d.invoiceHeaders, "id");
    QVERIFY(!id.isEmpty());
    QCOMPARE(db.scalar(QStringLiteral("SELECT kundennummer || '|' || ifnull(bezahlung, 'NULL') || '|' || ifnull(bestimmungsort, 'NULL') "
                                      "FROM rechnungsdaten2004 WHERE id = ") + id),
             QStringLiteral("2|NULL|NULL"));
    QCOMPARE(d.invoiceHeaders.RecordCount(), 2);
}

void TestRecordSet::newCustomerEmptiesHeadersUntilStored()
{
    testdb::Fixture db(QString::fromUtf8(StandardData));
    InvoiceData d;
    d.open(db.file());
    d.customers.Append();
    QVERIFY(d.invoiceHeaders.IsEmpty());
    QVERIFY(d.invoiceLines.IsEmpty());
    d.customers.FieldByName(QStringLiteral("name"))->setAsString(QStringLiteral("Dora"));
    d.customers.Post();
    const qint64 id = d.customers.FieldByName(QStringLiteral("id"))->AsInteger();
    QCOMPARE(QString::number(id), db.scalar(QStringLiteral("SELECT id FROM kunde WHERE name = 'Dora'")));
    QVERIFY(d.invoiceHeaders.IsEmpty());
    d.invoiceHeaders.Append();
    d.invoiceHeaders.FieldByName(QStringLiteral("nr"))->setAsString(QStringLiteral("8"));
    d.invoiceHeaders.FieldByName(QStringLiteral("datum"))->setAsString(QStringLiteral("06.02.2004"));
    d.invoiceHeaders.Post();
    QCOMPARE(db.scalar(QStringLiteral("SELECT kundennummer FROM rechnungsdaten2004 WHERE nr = '8'")), QString::number(id));

    // Cancelling a new customer brings the previous customer's headers back.
    d.customers.First();
    d.customers.Append();
    QVERIFY(d.invoiceHeaders.IsEmpty());
    d.customers.Cancel();
    QCOMPARE(str(d.customers, "name"), QStringLiteral("Dora"));
    QCOMPARE(d.invoiceHeaders.RecordCount(), 1);
}

void TestRecordSet::movingCustomerStoresTypedHeaderUnderPreviousCustomer()
{
    testdb::Fixture db(QString::fromUtf8(StandardData));
    InvoiceData d;
    d.open(db.file());
    d.invoiceHeaders.Append();
    d.invoiceHeaders.FieldByName(QStringLiteral("nr"))->setAsString(QStringLiteral("9"));
    d.invoiceHeaders.FieldByName(QStringLiteral("datum"))->setAsString(QStringLiteral("06.02.2004"));
    d.customers.Next();
    QCOMPARE(db.scalar(QStringLiteral("SELECT kundennummer FROM rechnungsdaten2004 WHERE nr = '9'")), QStringLiteral("1"));
    QCOMPARE(str(d.invoiceHeaders, "nr"), QStringLiteral("7"));

    // An edit without typed changes is dropped.
    d.invoiceHeaders.Edit();
    d.customers.Prior();
    QCOMPARE(d.invoiceHeaders.State(), DataSetState::Browse);
    QCOMPARE(d.invoiceHeaders.RecordCount(), 3);
}

void TestRecordSet::headerWithoutNumberOrDateIsNotStored_data()
{
    QTest::addColumn<bool>("newRow"); // a new header, or header 5 changed
    QTest::addColumn<QString>("nr");
    QTest::addColumn<QString>("datum");
    QTest::addColumn<QString>("message");
    const QString refused = QStringLiteral("Die Rechnung braucht eine Nummer und ein Datum.");
    QTest::newRow("new, only a destination") << true << "" << "" << refused;
    QTest::newRow("new, no number") << true << "" << "11.12.2026" << refused;
    QTest::newRow("new, no date") << true << "2" << "" << refused;
    QTest::newRow("new, blanks as the number") << true << "  " << "11.12.2026" << refused;
    QTest::newRow("new, blanks as the date") << true << "2" << " " << refused;
    QTest::newRow("new, both") << true << "2" << "11.12.2026" << "";
    QTest::newRow("changed, number removed") << false << "" << "01.02.2004" << refused;
    QTest::newRow("changed, date removed") << false << "5" << "" << refused;
    QTest::newRow("changed, both kept") << false << "5" << "02.02.2004" << "";
}

void TestRecordSet::headerWithoutNumberOrDateIsNotStored()
{
    QFETCH(bool, newRow);
    QFETCH(QString, nr);
    QFETCH(QString, datum);
    QFETCH(QString, message);
    testdb::Fixture db(QString::fromUtf8(StandardData));
    InvoiceData d;
    d.open(db.file());
    RecordSet &h = d.invoiceHeaders;
    const QString before = db.scalar(QStringLiteral("SELECT group_concat(id || nr || datum || ifnull(bestimmungsort, ''), ',') FROM rechnungsdaten2004"));
    newRow ? h.Append() : h.Edit();
    h.FieldByName(QStringLiteral("nr"))->setAsString(nr);
    h.FieldByName(QStringLiteral("datum"))->setAsString(datum);
    h.FieldByName(QStringLiteral("bestimmungsort"))->setAsString(QStringLiteral("Meran"));
    // Refused alike whether stored at once or by a move that settles it.
    QCOMPARE(errorOf<ConversionError>([&] { h.Post(); }), message);
    QCOMPARE(errorOf<ConversionError>([&] { d.customers.Next(); }), message);
    if (message.isEmpty()) {
        QCOMPARE(db.scalar(QStringLiteral("SELECT nr || '|' || datum || '|' || bestimmungsort FROM rechnungsdaten2004 WHERE nr = '%1'").arg(nr)),
                 nr + QLatin1Char('|') + datum + QStringLiteral("|Meran"));
        return;
    }
    // Nothing reached the file, and the row keeps everything typed, to be completed.
    QCOMPARE(db.scalar(QStringLiteral("SELECT group_concat(id || nr || datum || ifnull(bestimmungsort, ''), ',') FROM rechnungsdaten2004")), before);
    QCOMPARE(h.State(), newRow ? DataSetState::Insert : DataSetState::Edit);
    QCOMPARE(str(h, "nr") + QLatin1Char('|') + str(h, "datum") + QLatin1Char('|') + str(h, "bestimmungsort"),
             nr + QLatin1Char('|') + datum + QStringLiteral("|Meran"));
    QCOMPARE(str(d.customers, "name"), QStringLiteral("Anna"));
    // Completed, it is stored.
    h.FieldByName(QStringLiteral("nr"))->setAsString(QStringLiteral("12"));
    h.FieldByName(QStringLiteral("datum"))->setAsString(QStringLiteral("11.12.2026"));
    h.Post();
    QCOMPARE(db.scalar(QStringLiteral("SELECT datum || '|' || bestimmungsort || '|' || kundennummer FROM rechnungsdaten2004 WHERE nr = '12'")),
             QStringLiteral("11.12.2026|Meran|1"));
}

void TestRecordSet::typedNumberRefiltersLinesAtOnce()
{
    testdb::Fixture db(QString::fromUtf8(StandardData));
    InvoiceData d;
    d.open(db.file());
    QCOMPARE(d.invoiceLines.RecordCount(), 2);
    d.invoiceHeaders.Edit();
    d.invoiceHeaders.FieldByName(QStringLiteral("nr"))->setAsString(QStringLiteral("7"));
    QCOMPARE(d.invoiceLines.RecordCount(), 1);
    QCOMPARE(str(d.invoiceLines, "beschreibung"), QStringLiteral("Lavendel"));
    // Other fields do not move the lines.
    d.invoiceLines.Last();
    d.invoiceHeaders.FieldByName(QStringLiteral("datum"))->setAsString(QStringLiteral("x"));
    QCOMPARE(d.invoiceLines.RecNo(), 0);
    d.invoiceHeaders.Cancel();
    QCOMPARE(d.invoiceLines.RecordCount(), 2);
    // The lines of the old number stay in the file.
    QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM rechnung2004 WHERE rechnungsnummer = '5'")), QStringLiteral("2"));
}

void TestRecordSet::equalNumbersKeepTheLineCurrent()
{
    testdb::Fixture db(QString::fromUtf8(StandardData) + QStringLiteral("UPDATE rechnungsdaten2004 SET nr = '5' WHERE id = 2;"));
    InvoiceData d;
    d.open(db.file());
    d.invoiceLines.Last();
    QCOMPARE(str(d.invoiceLines, "beschreibung"), QStringLiteral("Erde"));
    d.invoiceHeaders.Next();
    QCOMPARE(str(d.invoiceHeaders, "id"), QStringLiteral("2"));
    QCOMPARE(str(d.invoiceLines, "beschreibung"), QStringLiteral("Erde"));
}

void TestRecordSet::deletingCustomers()
{
    testdb::Fixture db(QString::fromUtf8(StandardData));
    InvoiceData d;
    d.open(db.file());
    d.customers.Last();
    d.customers.Delete();
    QCOMPARE(str(d.customers, "name"), QStringLiteral("Bruno"));
    d.customers.First();
    d.customers.Delete(); // Anna's headers stay in the file
    QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM rechnungsdaten2004 WHERE kundennummer = '1'")), QStringLiteral("2"));
    QCOMPARE(str(d.customers, "name"), QStringLiteral("Bruno"));
    d.customers.Delete();
    QVERIFY(d.customers.IsEmpty());
    QVERIFY(d.invoiceHeaders.IsEmpty());
    QCOMPARE(errorOf([&] { d.customers.Delete(); }), QStringLiteral("new: Operation bei leerer Datenmenge nicht ausführbar"));
    QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM kunde")), QStringLiteral("0"));
}

void TestRecordSet::deleteDuringInsertDropsOnlyThePendingRow()
{
    testdb::Fixture db(QString::fromUtf8(StandardData));
    InvoiceData d;
    d.open(db.file());
    d.customers.Next();
    d.customers.Insert();
    d.customers.FieldByName(QStringLiteral("name"))->setAsString(QStringLiteral("Neu"));
    d.customers.Delete();
    QCOMPARE(d.customers.State(), DataSetState::Browse);
    QCOMPARE(str(d.customers, "name"), QStringLiteral("Bruno"));
    QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM kunde")), QStringLiteral("3"));
}

void TestRecordSet::cancelReturnsToThePreviousRow()
{
    testdb::Fixture db(QString::fromUtf8(StandardData));
    InvoiceData d;
    d.open(db.file());
    d.customers.Next();
    d.customers.Insert();
    d.customers.Cancel();
    QCOMPARE(str(d.customers, "name"), QStringLiteral("Bruno"));
    d.customers.First();
    d.customers.Append();
    d.customers.Cancel();
    QCOMPARE(str(d.customers, "name"), QStringLiteral("Carla"));
}

void TestRecordSet::longTextIsCutToFiftyCharacters()
{
    testdb::Fixture db(QString::fromUtf8(StandardData));
    InvoiceData d;
    d.open(db.file());
    const QString sixty = QString(QStringLiteral("äbcdefghij")).repeated(6);
    d.customers.Edit();
    d.customers.FieldByName(QStringLiteral("name"))->setAsString(sixty);
    const QString longAddress = QString(QLatin1Char('x')).repeated(300);
    d.customers.FieldByName(QStringLiteral("adresse"))->setAsString(longAddress);
    d.customers.Post();
    QCOMPARE(db.scalar(QStringLiteral("SELECT name FROM kunde WHERE id = 1")), sixty.left(50));
    QCOMPARE(db.scalar(QStringLiteral("SELECT adresse FROM kunde WHERE id = 1")), longAddress);
}

void TestRecordSet::closingDiscardsAnEdit()
{
    testdb::Fixture db(QString::fromUtf8(StandardData));
    InvoiceData d;
    d.open(db.file());
    d.customers.Edit();
    d.customers.FieldByName(QStringLiteral("name"))->setAsString(QStringLiteral("Weg"));
    d.customers.Close();
    QCOMPARE(db.scalar(QStringLiteral("SELECT name FROM kunde WHERE id = 1")), QStringLiteral("Anna"));
    // The header set settles and becomes unrestricted from its next read on.
    d.invoiceHeaders.First();
    QCOMPARE(d.invoiceHeaders.RecordCount(), 3);
    d.customers.Open();
    QCOMPARE(d.invoiceHeaders.RecordCount(), 2);

    // Refresh and Locate are reads too: with the master closed they see every
    // header, and Refresh keeps the current one.
    d.invoiceHeaders.Last(); // nr 6 of Anna
    d.customers.Close();
    d.invoiceHeaders.Refresh();
    QCOMPARE(d.invoiceHeaders.RecordCount(), 3);
    QCOMPARE(str(d.invoiceHeaders, "nr"), QStringLiteral("6"));
    d.customers.Open();
    d.customers.Close();
    QVERIFY(d.invoiceHeaders.Locate(QStringLiteral("nr"), QStringLiteral("7")));
}

void TestRecordSet::locate_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<bool>("partial");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QString>("current");
    // Whole numbers always compare exactly: 1 finds neither 10 nor 12.
    QTest::newRow("id 1 among 10 and 12") << "id" << QVariant(1) << true << false << "Zehn";
    QTest::newRow("id 12") << "id" << QVariant(12) << true << true << "Zwölf";
    QTest::newRow("id as text") << "id" << QVariant(QStringLiteral("12")) << false << true << "Zwölf";
    QTest::newRow("id not a number") << "id" << QVariant(QStringLiteral("x")) << false << false << "Zehn";
    QTest::newRow("name partial") << "name" << QVariant(QStringLiteral("Zw")) << true << true << "Zwölf";
    QTest::newRow("name partial needs the option") << "name" << QVariant(QStringLiteral("Zw")) << false << false << "Zehn";
    QTest::newRow("unknown field") << "nix" << QVariant(1) << false << false << "Zehn";
}

void TestRecordSet::locate()
{
    QFETCH(QString, field);
    QFETCH(QVariant, value);
    QFETCH(bool, partial);
    QFETCH(bool, found);
    QFETCH(QString, current);
    testdb::Fixture db(QStringLiteral("INSERT INTO kunde (id, name) VALUES (10, 'Zehn'), (12, 'Zwölf');"));
    InvoiceData d;
    d.open(db.file());
    LocateOptions options;
    options.partialKey = partial;
    QCOMPARE(d.customers.Locate(field, value, options), found);
    QCOMPARE(str(d.customers, "name"), current);
}

void TestRecordSet::notifications()
{
    testdb::Fixture db(QString::fromUtf8(StandardData));
    InvoiceData d;
    d.open(db.file());
    Recorder r(&d.headerSource);
    d.invoiceHeaders.Next();
    QCOMPARE(r.events, (QStringList{QStringLiteral("6"), QStringLiteral("3")}));
    r.events.clear();
    QVERIFY(d.headerSource.Edit());
    QCOMPARE(r.events, (QStringList{QStringLiteral("6"), QStringLiteral("1"), QStringLiteral("4")}));
    r.events.clear();
    d.invoiceHeaders.FieldByName(QStringLiteral("datum"))->setAsString(QStringLiteral("x"));
    QCOMPARE(r.events, QStringList{QStringLiteral("5:datum")});
    r.events.clear();
    d.invoiceHeaders.Post();
    QCOMPARE(r.events, (QStringList{QStringLiteral("7"), QStringLiteral("6"), QStringLiteral("1"), QStringLiteral("2")}));
    // A move of the master reaches the detail's controls as a new set of rows.
    r.events.clear();
    d.customers.Next();
    QVERIFY(r.events.contains(QStringLiteral("2")));
}

void TestRecordSet::refreshRereadsStoredValues()
{
    testdb::Fixture db(QString::fromUtf8(StandardData));
    InvoiceData d;
    d.open(db.file());
    d.customers.Next();
    db.exec(QStringLiteral("UPDATE kunde SET name = 'Bruna' WHERE id = 2; INSERT INTO kunde (name) VALUES ('Spät');"));
    QCOMPARE(str(d.customers, "name"), QStringLiteral("Bruno")); // a snapshot
    d.customers.Refresh();
    QCOMPARE(str(d.customers, "name"), QStringLiteral("Bruna"));
    QCOMPARE(d.customers.RecordCount(), 3);
}

void TestRecordSet::refreshHoldsNoMoreThanBefore_data()
{
    // Each change keeps the text's length, so the rows take the same bytes as before.
    QTest::addColumn<QString>("change"); // before each Refresh
    QTest::newRow("nothing changed") << "none";
    QTest::newRow("a row posted here") << "post";
    QTest::newRow("a row another program changed") << "other";
}

void TestRecordSet::refreshHoldsNoMoreThanBefore()
{
    QFETCH(QString, change);
    testdb::Fixture db(QString::fromUtf8(StandardData));
    InvoiceData d;
    d.open(db.file());
    d.customers.Next();
    const size_t opened = d.customers.heldBytes();
    QVERIFY(opened > 0);
    for (int i = 0; i < 5; ++i) {
        const QString name = i % 2 ? QStringLiteral("Bruno") : QStringLiteral("Bruna");
        if (change == QLatin1String("post")) {
            d.customers.Edit();
            d.customers.FieldByName(QStringLiteral("name"))->setAsString(name);
            d.customers.Post();
        } else if (change == QLatin1String("other")) {
            db.exec(QStringLiteral("UPDATE kunde SET name = '%1' WHERE id = 2").arg(name));
        }
        d.customers.Refresh();
        QVERIFY2(d.customers.heldBytes() <= opened,
                 qPrintable(QStringLiteral("Refresh %1: %2 bytes held, %3 after opening").arg(i + 1).arg(d.customers.heldBytes()).arg(opened)));
        // The rows and the current one are still those read.
        QCOMPARE(d.customers.RecordCount(), 3);
        QCOMPARE(str(d.customers, "name"), change == QLatin1String("none") ? QStringLiteral("Bruno") : name);
    }
}

// Rows held in another order than their ids are matched by id all the same.
void TestRecordSet::refreshOfAQueryInAnotherOrder()
{
    testdb::Fixture db(QString::fromUtf8(StandardData));
    InvoiceData d;
    d.open(db.file());
    d.customers.setSQL(QStringLiteral("SELECT * FROM kunde ORDER BY name DESC"));
    d.customers.Open();
    db.exec(QStringLiteral("UPDATE kunde SET name = 'Berta' WHERE id = 2; UPDATE kunde SET name = 'Anne' WHERE id = 1; "
                           "DELETE FROM kunde WHERE id = 3; INSERT INTO kunde (name) VALUES ('Zora');"));
    d.customers.Refresh();
    QStringList names;
    for (d.customers.First(); !d.customers.Eof(); d.customers.Next())
        names << str(d.customers, "name");
    // The order read at opening, the values stored now, the deleted row gone, the new one not yet there.
    QCOMPARE(names, (QStringList{QStringLiteral("Berta"), QStringLiteral("Anne")}));
}

void TestRecordSet::lineAmount_data()
{
    QTest::addColumn<QString>("price");
    QTest::addColumn<QString>("quantity");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("decimal"); // of the separators the data are read with
    QTest::newRow("2,5 x 4") << "2,5" << "4" << "10,00" << 10.0 << ",";
    QTest::newRow("no quantity") << "2,5" << "" << "" << 0.0 << ",";
    QTest::newRow("no price") << "" << "3" << "" << 0.0 << ",";
    QTest::newRow("thousands") << "1100" << "3" << "3.300,00" << 3300.0 << ",";
    QTest::newRow("exponent") << "1e2" << "0,5" << "50,00" << 50.0 << ",";
    QTest::newRow("english") << "2.5" << "1100" << "2,750.00" << 2750.0 << ".";
    // Stored on a PC with a decimal comma: it cannot mean anything else.
    QTest::newRow("a comma under english") << "2,5" << "4" << "10.00" << 10.0 << ".";
    QTest::newRow("a comma and thousands under english") << "2,500" << "4" << "" << 0.0 << ".";
}

void TestRecordSet::lineAmount()
{
    QFETCH(QString, price);
    QFETCH(QString, quantity);
    QFETCH(QString, shown);
    QFETCH(double, value);
    QFETCH(QString, decimal);
    testdb::Fixture db(QStringLiteral("INSERT INTO kunde (id, name) VALUES (1, 'a');"
                                      "INSERT INTO rechnungsdaten2004 (nr, kundennummer) VALUES ('1', '1');"
                                      "INSERT INTO rechnung2004 (rechnungsnummer, einzelpreis, anzahl) VALUES ('1', '%1', '%2');")
                           .arg(price, quantity));
    InvoiceData d;
    d.setSeparators({decimal.at(0), decimal == QLatin1String(",") ? QLatin1Char('.') : QLatin1Char(',')});
    d.open(db.file());
    Field *amount = d.invoiceLines.FieldByName(QStringLiteral("summerechn"));
    QCOMPARE(amount->DisplayText(), shown);
    QCOMPARE(double(amount->AsFloat()), value);
    QCOMPARE(amount->IsNull(), shown.isEmpty());
    QVERIFY(d.invoiceLines.FieldByName(QStringLiteral("mitmwst"))->IsNull());
    QCOMPARE(d.invoiceLines.FieldByName(QStringLiteral("mitmwst"))->DisplayText(), QString());
}

void TestRecordSet::unreadableLineStaysInViewAndCanBeCorrected()
{
    // Another program wrote a price the plain conversion rejects.
    testdb::Fixture db(QStringLiteral(R"(
INSERT INTO kunde (id, name) VALUES (1, 'a');
INSERT INTO rechnungsdaten2004 (nr, kundennummer) VALUES ('1', '1');
INSERT INTO rechnung2004 (rechnungsnummer, beschreibung, einzelpreis, anzahl) VALUES
 ('1', 'gut', '2', '1'), ('1', 'schlecht', '1.234,50', '1'), ('1', 'danach', '3', '1');)"));
    InvoiceData d;
    d.open(db.file());
    RecordSet &lines = d.invoiceLines;
    QCOMPARE(lines.RecordCount(), 3);
    QCOMPARE(totalsLine(lines).amount, Money{200});
    // Reading it is no error: it shows its text and an empty amount.
    QCOMPARE(errorOf([&] { lines.Next(); }), QString());
    QCOMPARE(str(lines, "beschreibung"), QStringLiteral("schlecht"));
    QCOMPARE(str(lines, "einzelpreis"), QStringLiteral("1.234,50"));
    QCOMPARE(lines.FieldByName(QStringLiteral("summerechn"))->DisplayText(), QString());
    QVERIFY(lines.CalcError());
    // A sum stops there, naming the line.
    QCOMPARE(errorOf([&] { totalsLine(lines); }), QStringLiteral("Zeile 2: '1.234,50' ist kein gültiger Gleitkommawert"));
    lines.Next();
    QCOMPARE(str(lines, "beschreibung"), QStringLiteral("danach"));
    QVERIFY(!lines.CalcError());

    // The text can be corrected in place.
    lines.Prior();
    lines.Edit();
    QCOMPARE(lines.State(), DataSetState::Edit);
    lines.FieldByName(QStringLiteral("einzelpreis"))->setAsString(QStringLiteral("1234,50"));
    lines.Post();
    QCOMPARE(lines.FieldByName(QStringLiteral("summerechn"))->DisplayText(), QStringLiteral("1.234,50"));
    QCOMPARE(db.scalar(QStringLiteral("SELECT einzelpreis FROM rechnung2004 WHERE beschreibung = 'schlecht'")),
             QStringLiteral("1234,50"));

    // A first row that cannot be read: the set opens with every row.
    db.exec(QStringLiteral("UPDATE rechnung2004 SET einzelpreis = '  ' WHERE beschreibung = 'gut';"));
    lines.Close();
    QCOMPARE(errorOf([&] { lines.Open(); }), QString());
    QCOMPARE(lines.RecordCount(), 3);
    QCOMPARE(errorOf([&] { totalsLine(lines); }), QStringLiteral("Zeile 1: '  ' ist kein gültiger Gleitkommawert"));

    // An edit that leaves the numbers alone is not held up by them.
    lines.Edit();
    lines.FieldByName(QStringLiteral("beschreibung"))->setAsString(QStringLiteral("Gut"));
    lines.Post();
    QCOMPARE(db.scalar(QStringLiteral("SELECT beschreibung FROM rechnung2004 WHERE einzelpreis = '  '")), QStringLiteral("Gut"));
}

void TestRecordSet::badNumberIsNeverStored_data()
{
    QTest::addColumn<QString>("quantity");
    QTest::addColumn<QString>("price");
    QTest::addColumn<QString>("error"); // "" = stored
    const QString notANumber = QStringLiteral("'%1' ist kein gültiger Gleitkommawert");
    const QString noAmount = QStringLiteral("'%1' ergibt keinen gültigen Betrag");
    QTest::newRow("NaN") << "NaN" << "2,00" << notANumber.arg(QStringLiteral("NaN"));
    QTest::newRow("inf price") << "1" << "inf" << notANumber.arg(QStringLiteral("inf"));
    QTest::newRow("two separators") << "1,2,3" << "2,00" << notANumber.arg(QStringLiteral("1,2,3"));
    QTest::newRow("arabic-indic digits") << QStringLiteral("١٢٣") << "2,00" << notANumber.arg(QStringLiteral("١٢٣"));
    QTest::newRow("thousands separator") << "1" << "1.000,00" << notANumber.arg(QStringLiteral("1.000,00"));
    QTest::newRow("hexadecimal") << "0x10" << "2,00" << notANumber.arg(QStringLiteral("0x10"));
    QTest::newRow("unit after the number") << "1" << "5 Stk" << notANumber.arg(QStringLiteral("5 Stk"));
    // Not needed for an amount yet, but it will be once a price is typed.
    QTest::newRow("quantity without price") << "NaN" << "" << notANumber.arg(QStringLiteral("NaN"));
    QTest::newRow("price without quantity") << "" << "x" << notANumber.arg(QStringLiteral("x"));
    QTest::newRow("product overflows") << "1e308" << "2,00" << noAmount.arg(QStringLiteral("1e308"));
    QTest::newRow("price beyond a double") << "1" << "1e400" << noAmount.arg(QStringLiteral("1e400"));
    QTest::newRow("zero times a price beyond a double") << "0" << "1e400" << noAmount.arg(QStringLiteral("1e400"));
    QTest::newRow("exponent beyond any number") << "1" << "1e5000" << notANumber.arg(QStringLiteral("1e5000"));
    QTest::newRow("amount of 10^15") << "1000" << "1e12" << noAmount.arg(QStringLiteral("1e12"));
    QTest::newRow("negative 10^15") << "-1e15" << "1" << noAmount.arg(QStringLiteral("-1e15"));
    QTest::newRow("just below 10^15") << "10" << "99999999999999,9" << "";
    QTest::newRow("plain line") << "3" << "2,50" << "";
}

void TestRecordSet::badNumberIsNeverStored()
{
    QFETCH(QString, quantity);
    QFETCH(QString, price);
    QFETCH(QString, error);
    testdb::Fixture db(QString::fromUtf8(StandardData));
    InvoiceData d;
    d.open(db.file());
    RecordSet &lines = d.invoiceLines;
    const QString before = db.scalar(QStringLiteral("SELECT count(*) FROM rechnung2004"));
    lines.Append();
    lines.FieldByName(QStringLiteral("beschreibung"))->setAsString(QStringLiteral("F"));
    // Typing the texts may already show the error; the texts stay all the same.
    errorOf([&] { lines.FieldByName(QStringLiteral("anzahl"))->setAsString(quantity); });
    errorOf([&] { lines.FieldByName(QStringLiteral("einzelpreis"))->setAsString(price); });
    QCOMPARE(errorOf([&] { lines.Post(); }), error);
    if (!error.isEmpty()) {
        QCOMPARE(lines.State(), DataSetState::Insert);
        QCOMPARE(str(lines, "anzahl"), quantity);
        QCOMPARE(str(lines, "einzelpreis"), price);
        QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM rechnung2004")), before);
        // A move settles by posting: it fails the same way and loses nothing.
        QCOMPARE(errorOf([&] { lines.First(); }), error);
        QCOMPARE(lines.State(), DataSetState::Insert);
        lines.Cancel();
        QCOMPARE(lines.RecordCount(), 2);
        // Changing a stored line to the bad text fails alike.
        lines.Edit();
        errorOf([&] { lines.FieldByName(QStringLiteral("anzahl"))->setAsString(quantity); });
        errorOf([&] { lines.FieldByName(QStringLiteral("einzelpreis"))->setAsString(price); });
        QCOMPARE(errorOf([&] { lines.Post(); }), error);
        QCOMPARE(db.scalar(QStringLiteral("SELECT anzahl || '|' || einzelpreis FROM rechnung2004 WHERE id = 1")), QStringLiteral("4|2,5"));
    } else {
        QCOMPARE(lines.State(), DataSetState::Browse);
        QCOMPARE(db.scalar(QStringLiteral("SELECT anzahl || '|' || einzelpreis FROM rechnung2004 WHERE beschreibung = 'F'")),
                 quantity + QLatin1Char('|') + price);
        QVERIFY(!lines.CalcError());
    }
}

void TestRecordSet::failingAssignmentKeepsTheText()
{
    testdb::Fixture db(QString::fromUtf8(StandardData));
    InvoiceData d;
    d.open(db.file());
    RecordSet &lines = d.invoiceLines;
    lines.Edit();
    QCOMPARE(errorOf([&] { lines.FieldByName(QStringLiteral("einzelpreis"))->setAsString(QStringLiteral("12.50")); }),
             QStringLiteral("'12.50' ist kein gültiger Gleitkommawert"));
    QCOMPARE(str(lines, "einzelpreis"), QStringLiteral("12.50"));
    QCOMPARE(lines.State(), DataSetState::Edit);
    lines.FieldByName(QStringLiteral("einzelpreis"))->setAsString(QStringLiteral("3"));
    QCOMPARE(lines.FieldByName(QStringLiteral("summerechn"))->DisplayText(), QStringLiteral("12,00"));
    // Both texts invalid: the price is reported.
    QCOMPARE(errorOf([&] { lines.FieldByName(QStringLiteral("anzahl"))->setAsString(QStringLiteral("x")); }),
             QStringLiteral("'x' ist kein gültiger Gleitkommawert"));
    QCOMPARE(errorOf([&] { lines.FieldByName(QStringLiteral("einzelpreis"))->setAsString(QStringLiteral("y")); }),
             QStringLiteral("'y' ist kein gültiger Gleitkommawert"));
}

void TestRecordSet::fieldKindChecks_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("error");
    QTest::newRow("missing field") << "CREATE TABLE rechnung2004 (id INTEGER PRIMARY KEY AUTOINCREMENT, rechnungsnummer VARCHAR(50), "
                                      "beschreibung VARCHAR(50), anzahl VARCHAR(50), einzelpreis VARCHAR(50))"
                                   << "rechnungstabelle: Das Feld 'summe' wurde nicht gefunden";
    QTest::newRow("integer for text") << "CREATE TABLE rechnung2004 (id INTEGER PRIMARY KEY AUTOINCREMENT, rechnungsnummer VARCHAR(50), "
                                         "beschreibung VARCHAR(50), anzahl INTEGER, einzelpreis VARCHAR(50), summe VARCHAR(50))"
                                      << "rechnungstabelle: Unterschiedliche Typen für Feld 'anzahl'; erwartet: WideString, gefunden: Integer";
    QTest::newRow("memo for text") << "CREATE TABLE rechnung2004 (id INTEGER PRIMARY KEY AUTOINCREMENT, rechnungsnummer VARCHAR(50), "
                                      "beschreibung TEXT, anzahl VARCHAR(50), einzelpreis VARCHAR(50), summe VARCHAR(50))"
                                   << "rechnungstabelle: Unterschiedliche Typen für Feld 'beschreibung'; erwartet: WideString, gefunden: Memo";
    QTest::newRow("text for id") << "CREATE TABLE rechnung2004 (id VARCHAR(10), rechnungsnummer VARCHAR(50), "
                                    "beschreibung VARCHAR(50), anzahl VARCHAR(50), einzelpreis VARCHAR(50), summe VARCHAR(50))"
                                 << "rechnungstabelle: Unterschiedliche Typen für Feld 'id'; erwartet: AutoInc, gefunden: WideString";
    // Any text column of any length, and any integer id, will do.
    QTest::newRow("other lengths and plain integer id")
        << "CREATE TABLE rechnung2004 (id INTEGER PRIMARY KEY, rechnungsnummer NVARCHAR(10), "
           "beschreibung CHAR(200), anzahl VARCHAR(5), einzelpreis VARCHAR, summe NCHAR(3))"
        << "";
    QTest::newRow("untyped column holding numbers")
        << "CREATE TABLE rechnung2004 (id INTEGER PRIMARY KEY, rechnungsnummer VARCHAR(50), "
           "beschreibung VARCHAR(50), anzahl, einzelpreis VARCHAR(50), summe VARCHAR(50));"
           "INSERT INTO rechnung2004 (rechnungsnummer, anzahl) VALUES ('1', 3)"
        << "rechnungstabelle: Unterschiedliche Typen für Feld 'anzahl'; erwartet: WideString, gefunden: Integer";
}

void TestRecordSet::fieldKindChecks()
{
    QFETCH(QString, sql);
    QFETCH(QString, error);
    testdb::Fixture db(QStringLiteral("DROP TABLE rechnung2004; ") + sql + QLatin1Char(';'));
    InvoiceData d;
    d.connection.open(db.file());
    d.invoiceLines.setTableName(QStringLiteral("rechnung2004"));
    QCOMPARE(errorOf([&] { d.invoiceLines.Open(); }), error);
    QCOMPARE(d.invoiceLines.Active(), error.isEmpty());
}

void TestRecordSet::recordSetErrors()
{
    testdb::Fixture db(QString::fromUtf8(StandardData));
    InvoiceData d;
    d.open(db.file());
    const QString closed = QStringLiteral("nrquery: Operation bei geschlossener Datenmenge nicht ausführbar");
    RecordSet &q = d.lastInvoiceNumber;
    QCOMPARE(errorOf([&] { q.First(); }), closed);
    QCOMPARE(errorOf([&] { q.Next(); }), closed);
    QCOMPARE(errorOf([&] { q.Prior(); }), closed);
    QCOMPARE(errorOf([&] { q.Last(); }), closed);
    QCOMPARE(errorOf([&] { q.Edit(); }), closed);
    QCOMPARE(errorOf([&] { q.Insert(); }), closed);
    QCOMPARE(errorOf([&] { q.Append(); }), closed);
    QCOMPARE(errorOf([&] { q.Delete(); }), closed);
    QCOMPARE(errorOf([&] { q.Refresh(); }), closed);
    QCOMPARE(errorOf([&] { q.Locate(QStringLiteral("id"), 1); }), closed);
    QCOMPARE(errorOf([&] { d.customers.Post(); }), QStringLiteral("new: Datenmenge weder im Editier- noch im Einfügemodus"));
    QCOMPARE(errorOf([&] { d.customers.FieldByName(QStringLiteral("name"))->setAsString(QStringLiteral("x")); }),
             QStringLiteral("new: Datenmenge weder im Editier- noch im Einfügemodus"));
    QCOMPARE(errorOf([&] { d.invoiceLines.setTableName(QStringLiteral("rechnung")); }),
             QStringLiteral("rechnungstabelle: Operation bei geöffneter Datenmenge nicht ausführbar"));
    // The last-number query reads the newest header first.
    q.Open();
    QCOMPARE(str(q, "nr"), QStringLiteral("7"));
    QCOMPARE(q.FieldByName(QStringLiteral("id"))->kind(), FieldKind::AutoInc);
}

void TestRecordSet::lostUpdateKeepsTheRowPending_data()
{
    QTest::addColumn<QString>("otherProgram");
    QTest::addColumn<QString>("error");
    QTest::newRow("changed") << "UPDATE kunde SET name = 'Anders' WHERE id = 1"
                             << "Der Datensatz wurde inzwischen von einem anderen Programm geändert. "
                                "Die Änderungen wurden nicht gespeichert; bitte abbrechen und neu laden";
    QTest::newRow("deleted") << "DELETE FROM kunde WHERE id = 1"
                             << "Der Datensatz wurde inzwischen von einem anderen Programm gelöscht. Die Änderungen wurden nicht gespeichert";
}

void TestRecordSet::lostUpdateKeepsTheRowPending()
{
    QFETCH(QString, otherProgram);
    QFETCH(QString, error);
    testdb::Fixture db(QString::fromUtf8(StandardData));
    InvoiceData d;
    d.open(db.file());
    d.customers.Edit();
    d.customers.FieldByName(QStringLiteral("name"))->setAsString(QStringLiteral("Meins"));
    db.exec(otherProgram);
    QCOMPARE(errorOf([&] { d.customers.Post(); }), error);
    QCOMPARE(d.customers.State(), DataSetState::Edit);
    QCOMPARE(str(d.customers, "name"), QStringLiteral("Meins"));
    QVERIFY(db.scalar(QStringLiteral("SELECT count(*) FROM kunde WHERE name = 'Meins'")) == QLatin1String("0"));
    // A field nobody else touched still posts: only assigned fields are checked.
    d.customers.Cancel();
    d.customers.Last();
    d.customers.Edit();
    d.customers.FieldByName(QStringLiteral("piva"))->setAsString(QStringLiteral("IT 1"));
    db.exec(QStringLiteral("UPDATE kunde SET name = 'Carlotta' WHERE id = 3"));
    d.customers.Post();
    QCOMPARE(db.scalar(QStringLiteral("SELECT name || '|' || piva FROM kunde WHERE id = 3")), QStringLiteral("Carlotta|IT 1"));
}

void TestRecordSet::lockedDatabaseKeepsTheRowPending()
{
    testdb::Fixture db(QString::fromUtf8(StandardData));
    InvoiceData d;
    d.connection.open(db.file(), 50);
    d.customerTable.Open();
    d.invoiceHeaders.Open();
    d.invoiceLines.Open();
    d.customers.Open();
    d.customers.Edit();
    d.customers.FieldByName(QStringLiteral("name"))->setAsString(QStringLiteral("Gesperrt"));

    SqliteDatabase other;
    testdb::openOther(other, db.file());
    other.exec("BEGIN EXCLUSIVE");
    const QString msg = errorOf([&] { d.customers.Post(); });
    QVERIFY2(msg.startsWith(QStringLiteral("Die Datenbank wird gerade von einem anderen Programm benutzt")), qPrintable(msg));
    QCOMPARE(d.customers.State(), DataSetState::Edit);
    // A second program holding the file locked also stops a new connection.
    SqliteDatabase c;
    const QString openMsg = errorOf([&] { c.open(db.file(), 50); });
    QVERIFY2(openMsg.contains(QStringLiteral("gesperrt")), qPrintable(openMsg));
    other.exec("COMMIT");
    other.close();

    d.customers.Post();
    QCOMPARE(db.scalar(QStringLiteral("SELECT name FROM kunde WHERE id = 1")), QStringLiteral("Gesperrt"));
}

void TestRecordSet::openingBadFiles_data()
{
    QTest::addColumn<QByteArray>("content"); // empty: no file at all
    QTest::addColumn<QString>("expected");
    QTest::newRow("missing") << QByteArray() << "wurde nicht gefunden";
    QTest::newRow("not a database") << QByteArray("Rechnung 1\nRechnung 2\n").repeated(100) << "keine Datenbank";
}

void TestRecordSet::openingBadFiles()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("rechungen.mdb"));
    if (!content.isEmpty()) {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    InvoiceData d;
    const QString msg = errorOf([&] { d.open(file); });
    QVERIFY2(msg.contains(expected), qPrintable(msg));
    QVERIFY(!d.connection.isOpen());
    // Nothing is created and nothing is written.
    QCOMPARE(QFile::exists(file), !content.isEmpty());
    if (!content.isEmpty()) {
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), content);
    }
}

void TestRecordSet::searchTextNeverRunsAStatement_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("matches");
    QTest::newRow("apostrophe") << "O'Neil" << 1;
    QTest::newRow("second statement") << "'; DELETE FROM kunde; --" << 0;
    QTest::newRow("drop after quote") << "x'); DROP TABLE kunde; SELECT ('" << 0;
    QTest::newRow("colon parameter") << ":name" << 0;
    QTest::newRow("percent wildcard") << "%" << 4;
    QTest::newRow("underscore wildcard") << "Ann_" << 1;
    QTest::newRow("long text") << QString(200, QLatin1Char('a')) << 0;
    QTest::newRow("empty") << "" << 4;
}

void TestRecordSet::searchTextNeverRunsAStatement()
{
    QFETCH(QString, text);
    QFETCH(int, matches);
    testdb::Fixture db(QString::fromUtf8(StandardData) + QStringLiteral("INSERT INTO kunde (name) VALUES ('O''Neil');"));
    InvoiceData d;
    d.open(db.file());
    d.customers.setSQL(InvoiceData::customerSearchSql(text));
    d.customers.Open();
    QCOMPARE(d.customers.RecordCount(), matches);
    QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM kunde")), QStringLiteral("4"));
}

void TestRecordSet::secondStatementIsRefused()
{
    testdb::Fixture db(QString::fromUtf8(StandardData));
    InvoiceData d;
    d.open(db.file());
    d.customers.setSQL(QStringLiteral("SELECT * FROM kunde; DELETE FROM kunde"));
    QVERIFY(!errorOf([&] { d.customers.Open(); }).isEmpty());
    d.customers.setSQL(QStringLiteral("DELETE FROM kunde"));
    QVERIFY(!errorOf([&] { d.customers.Open(); }).isEmpty());
    QVERIFY(!d.customers.Active());
    QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM kunde")), QStringLiteral("3"));
}

void TestRecordSet::yearChangeStoresPendingHeaderFirst()
{
    testdb::Fixture db(QString::fromUtf8(StandardData) + QStringLiteral(
        "INSERT INTO rechnungsdaten2003 (nr, kundennummer) VALUES ('2003-1', '1');"
        "INSERT INTO rechnung2003 (rechnungsnummer, beschreibung) VALUES ('2003-1', 'Alt');"));
    InvoiceData d;
    d.open(db.file());
    d.invoiceHeaders.Edit();
    d.invoiceHeaders.FieldByName(QStringLiteral("bezahlung"))->setAsString(QStringLiteral("bezahlt"));
    d.setYear(2003);
    QCOMPARE(db.scalar(QStringLiteral("SELECT bezahlung FROM rechnungsdaten2004 WHERE id = 1")), QStringLiteral("bezahlt"));
    QCOMPARE(str(d.invoiceHeaders, "nr"), QStringLiteral("2003-1"));
    QCOMPARE(str(d.invoiceLines, "beschreibung"), QStringLiteral("Alt"));

    // When storing fails, the year stays and the row stays pending.
    d.invoiceHeaders.Edit();
    d.invoiceHeaders.FieldByName(QStringLiteral("bezahlung"))->setAsString(QStringLiteral("30 Tage"));
    db.exec(QStringLiteral("UPDATE rechnungsdaten2003 SET bezahlung = 'fremd'"));
    QVERIFY(!errorOf([&] { d.setYear(2002); }).isEmpty());
    QCOMPARE(d.year(), 2003);
    QCOMPARE(d.invoiceHeaders.TableName(), QStringLiteral("rechnungsdaten2003"));
    QCOMPARE(d.invoiceHeaders.State(), DataSetState::Edit);
    QCOMPARE(str(d.invoiceHeaders, "bezahlung"), QStringLiteral("30 Tage"));
}

void TestRecordSet::missingYearTablesLeaveTheSetClosed()
{
    testdb::Fixture db(QString::fromUtf8(StandardData) + QStringLiteral("DROP TABLE rechnungsdaten2003; DROP TABLE rechnung2003;"));
    InvoiceData d;
    d.open(db.file());
    const QString msg = errorOf([&] { d.setYear(2003); });
    QVERIFY2(msg.contains(QStringLiteral("rechnungsdaten2003")), qPrintable(msg));
    QVERIFY(!d.invoiceHeaders.Active());
    QCOMPARE(d.invoiceHeaders.RecordCount(), 0);
    d.setYear(2004);
    QCOMPARE(d.invoiceHeaders.RecordCount(), 2);
    QCOMPARE(d.invoiceLines.RecordCount(), 2);
}

void TestRecordSet::yearsFoundInTheFile_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QList<int>>("years");
    QTest::addColumn<int>("startYear");
    QTest::addColumn<QString>("lastNumberSql");
    const QString header = QStringLiteral("CREATE TABLE rechnungsdaten%1 (id INTEGER PRIMARY KEY AUTOINCREMENT, nr VARCHAR(50), datum VARCHAR(50), "
                                          "bezahlung VARCHAR(50), kundennummer VARCHAR(50), bestimmungsort VARCHAR(50));");
    const QString line = QStringLiteral("CREATE TABLE rechnung%1 (id INTEGER PRIMARY KEY AUTOINCREMENT, rechnungsnummer VARCHAR(50), "
                                        "beschreibung VARCHAR(50), anzahl VARCHAR(50), einzelpreis VARCHAR(50), summe VARCHAR(50));");
    QTest::newRow("the three classic years") << QString() << QList<int>{2004, 2003, 2002} << 2004
                                             << "select * from rechnungsdaten2004 order by id desc";
    QTest::newRow("2025 and 2026 as well")
        << header.arg(2026) + line.arg(2026) + header.arg(2025) + line.arg(2025)
        << QList<int>{2026, 2025, 2004, 2003, 2002} << 2026 << "select * from rechnungsdaten2026 order by id desc";
    QTest::newRow("a header table alone is no year")
        << header.arg(2027) + header.arg(2025) + line.arg(2025) << QList<int>{2025, 2004, 2003, 2002} << 2025
        << "select * from rechnungsdaten2025 order by id desc";
    QTest::newRow("a line table alone neither") << line.arg(2030) << QList<int>{2004, 2003, 2002} << 2004
                                                << "select * from rechnungsdaten2004 order by id desc";
    QTest::newRow("not four digits") << header.arg(QStringLiteral("20251")) + line.arg(QStringLiteral("20251"))
                                     << QList<int>{2004, 2003, 2002} << 2004 << "select * from rechnungsdaten2004 order by id desc";
    // A file without 2004 still offers it, but starts on the newest it holds.
    QTest::newRow("only 2002 and 2003") << "DROP TABLE rechnungsdaten2004; DROP TABLE rechnung2004;"
                                        << QList<int>{2004, 2003, 2002} << 2003 << "select * from rechnungsdaten2003 order by id desc";
    QTest::newRow("only 2002") << "DROP TABLE rechnungsdaten2004; DROP TABLE rechnung2004; DROP TABLE rechnungsdaten2003;"
                               << QList<int>{2004, 2003, 2002} << 2002 << "select * from rechnungsdaten order by id desc";
}

void TestRecordSet::yearsFoundInTheFile()
{
    QFETCH(QString, sql);
    QFETCH(QList<int>, years);
    QFETCH(int, startYear);
    QFETCH(QString, lastNumberSql);
    testdb::Fixture db(QStringLiteral("INSERT INTO kunde (id, name) VALUES (1, 'a');") + sql);
    InvoiceData d;
    d.open(db.file());
    QList<int> offered;
    for (const YearTables &y : d.years())
        offered << y.year;
    QCOMPARE(offered, years);
    QCOMPARE(d.year(), startYear);
    QCOMPARE(d.invoiceHeaders.TableName(), tablesOfYear(startYear).headerTable);
    QCOMPARE(d.invoiceLines.TableName(), tablesOfYear(startYear).lineTable);
    QVERIFY(d.invoiceHeaders.Active() && d.invoiceLines.Active());
    QCOMPARE(d.lastNumberStatement(), lastNumberSql);
}

namespace {
// Name and declared type of every column, with the key as declared.
QString columnsOf(const testdb::Fixture &db, const QString &table)
{
    return db.scalar(QStringLiteral("SELECT group_concat(name || ' ' || type || ' ' || pk, ', ') FROM pragma_table_info('%1')").arg(table))
           + QLatin1Char('|')
           + db.scalar(QStringLiteral("SELECT count(*) FROM sqlite_schema WHERE name = '%1' AND sql LIKE '%AUTOINCREMENT%'").arg(table));
}
} // namespace

void TestRecordSet::newYearIsMadeLikeTheNewest()
{
    // The newest year has a column more than the classic ones: the new year takes it.
    testdb::Fixture db(QString::fromUtf8(StandardData) + QStringLiteral(
        "CREATE TABLE rechnungsdaten2026 (id INTEGER PRIMARY KEY AUTOINCREMENT, nr NVARCHAR(20), datum VARCHAR(50), "
        "bezahlung VARCHAR(50), kundennummer VARCHAR(50), bestimmungsort VARCHAR(50), notiz TEXT);"
        "CREATE TABLE rechnung2026 (id INTEGER PRIMARY KEY AUTOINCREMENT, rechnungsnummer VARCHAR(50), "
        "beschreibung VARCHAR(50), anzahl VARCHAR(50), einzelpreis VARCHAR(50), summe VARCHAR(50));"));
    InvoiceData d;
    d.open(db.file());
    d.invoiceHeaders.Edit();
    d.invoiceHeaders.FieldByName(QStringLiteral("nr"))->setAsString(QStringLiteral("2026-9"));
    d.invoiceHeaders.FieldByName(QStringLiteral("datum"))->setAsString(QStringLiteral("31.12.2026"));
    d.addYear(2027);
    // The pending header (a new one: Anna has none in 2026) was stored first, in its own year.
    QCOMPARE(db.scalar(QStringLiteral("SELECT kundennummer FROM rechnungsdaten2026 WHERE datum = '31.12.2026'")), QStringLiteral("1"));
    QCOMPARE(d.year(), 2027);
    QCOMPARE(columnsOf(db, QStringLiteral("rechnungsdaten2027")), columnsOf(db, QStringLiteral("rechnungsdaten2026")));
    QCOMPARE(columnsOf(db, QStringLiteral("rechnung2027")), columnsOf(db, QStringLiteral("rechnung2026")));
    QVERIFY(columnsOf(db, QStringLiteral("rechnungsdaten2027")).contains(QStringLiteral("notiz TEXT")));
    QCOMPARE(d.years().front().year, 2027);
    QCOMPARE(d.newestYear(), 2027);
    QCOMPARE(d.invoiceHeaders.TableName(), QStringLiteral("rechnungsdaten2027"));
    QVERIFY(d.invoiceHeaders.IsEmpty());
    // An invoice written there lands there, linked to the customer.
    d.invoiceHeaders.Append();
    d.invoiceHeaders.FieldByName(QStringLiteral("nr"))->setAsString(QStringLiteral("2027-1"));
    d.invoiceHeaders.FieldByName(QStringLiteral("datum"))->setAsString(QStringLiteral("04.01.2027"));
    d.invoiceHeaders.Post();
    d.invoiceLines.Append();
    d.invoiceLines.FieldByName(QStringLiteral("anzahl"))->setAsString(QStringLiteral("2"));
    d.invoiceLines.FieldByName(QStringLiteral("einzelpreis"))->setAsString(QStringLiteral("3"));
    d.invoiceLines.Post();
    QCOMPARE(db.scalar(QStringLiteral("SELECT kundennummer FROM rechnungsdaten2027 WHERE nr = '2027-1'")), QStringLiteral("1"));
    QCOMPARE(db.scalar(QStringLiteral("SELECT rechnungsnummer FROM rechnung2027")), QStringLiteral("2027-1"));
    QCOMPARE(d.lastNumberStatement(), QStringLiteral("select * from rechnungsdaten2027 order by id desc"));
}

void TestRecordSet::newYearRefusals_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<int>("year");
    QTest::addColumn<QString>("error");
    QTest::newRow("year exists") << QString() << 2003 << "Für das Jahr 2003 gibt es schon Tabellen";
    QTest::newRow("half a pair is there")
        << "CREATE TABLE rechnung2027 (id INTEGER PRIMARY KEY)" << 2027
        << "Die Tabelle 'rechnung2027' gibt es schon, aber ohne ihr Gegenstück; das Jahr 2027 wird nicht angelegt";
}

void TestRecordSet::newYearRefusals()
{
    QFETCH(QString, sql);
    QFETCH(int, year);
    QFETCH(QString, error);
    testdb::Fixture db(QString::fromUtf8(StandardData) + sql);
    InvoiceData d;
    d.open(db.file());
    const QString tablesBefore = db.scalar(QStringLiteral("SELECT group_concat(name) FROM sqlite_schema"));
    QCOMPARE(errorOf([&] { d.addYear(year); }), error);
    QCOMPARE(db.scalar(QStringLiteral("SELECT group_concat(name) FROM sqlite_schema")), tablesBefore);
    QCOMPARE(d.year(), 2004);
}

void TestRecordSet::typedYear_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("year"); // 0 = refused
    QTest::newRow("2027") << "2027" << 2027;
    QTest::newRow("blanks around") << " 2027 " << 2027;
    QTest::newRow("lowest") << "1900" << 1900;
    QTest::newRow("highest") << "2999" << 2999;
    QTest::newRow("letter inside") << "20x7" << 0;
    QTest::newRow("1899") << "1899" << 0;
    QTest::newRow("3000") << "3000" << 0;
    QTest::newRow("two digits") << "27" << 0;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("sign") << "+2027" << 0;
}

void TestRecordSet::typedYear()
{
    QFETCH(QString, text);
    QFETCH(int, year);
    if (year) {
        QCOMPARE(parseYear(text), year);
    } else {
        QCOMPARE(errorOf([&] { parseYear(text); }), QStringLiteral("'%1' ist keine Jahreszahl zwischen 1900 und 2999").arg(text));
    }
}

void TestRecordSet::proposedNewYear_data()
{
    QTest::addColumn<QList<int>>("years");
    QTest::addColumn<int>("today");
    QTest::addColumn<int>("proposed");
    QTest::newRow("this year has no tables yet") << QList<int>{2004, 2003, 2002} << 2026 << 2026;
    QTest::newRow("this year exists") << QList<int>{2026, 2004, 2003, 2002} << 2026 << 2027;
    QTest::newRow("a later year exists too") << QList<int>{2028, 2026, 2004} << 2026 << 2029;
}

void TestRecordSet::proposedNewYear()
{
    QFETCH(QList<int>, years);
    QFETCH(int, today);
    QFETCH(int, proposed);
    std::vector<YearTables> tables;
    for (int y : years)
        tables.push_back(tablesOfYear(y));
    QCOMPARE(::proposedNewYear(tables, today), proposed);
}

void TestRecordSet::refreshAfterDeleteInALinkedSet()
{
    testdb::Fixture db(QString::fromUtf8(StandardData));
    InvoiceData d;
    d.open(db.file());
    d.invoiceLines.Delete(); // Rosen
    d.invoiceLines.Refresh();
    QCOMPARE(d.invoiceLines.RecordCount(), 1);
    QCOMPARE(str(d.invoiceLines, "beschreibung"), QStringLiteral("Erde"));
    // Rows another program deleted go too.
    db.exec(QStringLiteral("DELETE FROM rechnung2004 WHERE beschreibung = 'Erde'"));
    d.invoiceLines.Refresh();
    QVERIFY(d.invoiceLines.IsEmpty());
}

void TestRecordSet::headerEditKeepsTheLineCurrentFromStartUp()
{
    testdb::Fixture db(QString::fromUtf8(StandardData));
    InvoiceData d;
    d.open(db.file());
    d.invoiceLines.Last();
    QCOMPARE(str(d.invoiceLines, "beschreibung"), QStringLiteral("Erde"));
    // Same criterion: the lines keep their current row.
    d.invoiceHeaders.Edit();
    QCOMPARE(str(d.invoiceLines, "beschreibung"), QStringLiteral("Erde"));
    d.invoiceHeaders.Cancel();
    QCOMPARE(str(d.invoiceLines, "beschreibung"), QStringLiteral("Erde"));
}

void TestRecordSet::everyControlHearsANotificationThatFails()
{
    testdb::Fixture db(QString::fromUtf8(StandardData));
    InvoiceData d;
    d.open(db.file());
    // A listener that fails on a move, attached before another one.
    struct Failing : DataLink
    {
        void dataEvent(Notification n, Field *) override
        {
            if (n == Notification::RowMoved)
                throw EngineError(QStringLiteral("kaputt"));
        }
    } failing;
    d.customerSource.attach(&failing);
    Recorder r(&d.customerSource);
    QCOMPARE(errorOf([&] { d.customers.Next(); }), QStringLiteral("kaputt"));
    d.customerSource.detach(&failing);
    QCOMPARE(str(d.customers, "name"), QStringLiteral("Bruno"));
    QVERIFY(r.events.contains(QStringLiteral("3")));
    // The link heard it too: the headers follow Bruno.
    QCOMPARE(str(d.invoiceHeaders, "nr"), QStringLiteral("7"));
}

void TestRecordSet::closingTellsItsControlsOnlyThatItClosed()
{
    testdb::Fixture db(QString::fromUtf8(StandardData));
    InvoiceData d;
    d.open(db.file());
    d.invoiceHeaders.Edit();
    d.invoiceHeaders.FieldByName(QStringLiteral("datum"))->setAsString(QStringLiteral("09.09.2004"));
    Recorder customers(&d.customerSource);
    d.customers.Close();
    QCOMPARE(customers.events, QStringList{QStringLiteral("1")});
    // The detail settled all the same: its typed change is stored.
    QCOMPARE(db.scalar(QStringLiteral("SELECT datum FROM rechnungsdaten2004 WHERE id = 1")), QStringLiteral("09.09.2004"));
    QCOMPARE(d.invoiceHeaders.State(), DataSetState::Browse);
}

void TestRecordSet::closingKeepsTheMasterOpenWhenADetailCannotBeStored()
{
    testdb::Fixture db(QString::fromUtf8(StandardData));
    InvoiceData d;
    d.open(db.file());
    d.invoiceLines.Edit();
    errorOf([&] { d.invoiceLines.FieldByName(QStringLiteral("anzahl"))->setAsString(QStringLiteral("viele")); });
    QCOMPARE(errorOf([&] { d.invoiceHeaders.Close(); }), QStringLiteral("'viele' ist kein gültiger Gleitkommawert"));
    QVERIFY(d.invoiceHeaders.Active());
    QCOMPARE(d.invoiceLines.State(), DataSetState::Edit);
    QCOMPARE(str(d.invoiceLines, "anzahl"), QStringLiteral("viele"));
}

void TestRecordSet::deleteInBrowseStateSendsNoStateChange()
{
    testdb::Fixture db(QString::fromUtf8(StandardData));
    InvoiceData d;
    d.open(db.file());
    Recorder r(&d.customerSource);
    d.customers.Last();
    r.events.clear();
    d.customers.Delete();
    QCOMPARE(r.events, (QStringList{QStringLiteral("6"), QStringLiteral("2")}));
    // In edit state the state does change.
    d.customers.Edit();
    r.events.clear();
    d.customers.Delete();
    QCOMPARE(r.events, (QStringList{QStringLiteral("6"), QStringLiteral("1"), QStringLiteral("2")}));
}

void TestRecordSet::conflictOnPostCanBeDiscarded_data()
{
    QTest::addColumn<QString>("otherProgram");
    QTest::addColumn<QString>("question");
    QTest::addColumn<QStringList>("namesAfter");
    QTest::newRow("changed") << "UPDATE kunde SET name = 'Anders' WHERE id = 2"
                             << "Der Datensatz wurde inzwischen von einem anderen Programm geändert. "
                                "Ihre Änderungen verwerfen und den gespeicherten Stand laden?"
                             << QStringList{QStringLiteral("Anna"), QStringLiteral("Anders"), QStringLiteral("Carla")};
    QTest::newRow("deleted") << "DELETE FROM kunde WHERE id = 2"
                             << "Der Datensatz wurde inzwischen von einem anderen Programm gelöscht. Ihre Änderungen verwerfen?"
                             << QStringList{QStringLiteral("Anna"), QStringLiteral("Carla")};
}

void TestRecordSet::conflictOnPostCanBeDiscarded()
{
    QFETCH(QString, otherProgram);
    QFETCH(QString, question);
    QFETCH(QStringList, namesAfter);
    testdb::Fixture db(QString::fromUtf8(StandardData));
    InvoiceData d;
    d.open(db.file());
    d.customers.Next(); // Bruno
    d.customers.Edit();
    d.customers.FieldByName(QStringLiteral("name"))->setAsString(QStringLiteral("Meins"));
    db.exec(otherProgram);
    try {
        d.customers.Next();
        QFAIL("the move stored over another program's change");
    } catch (const ConflictError &e) {
        QCOMPARE(e.question(), question);
        QCOMPARE(d.customers.State(), DataSetState::Edit); // nothing dropped before the user says so
        e.discard();
    }
    QCOMPARE(d.customers.State(), DataSetState::Browse);
    QStringList names;
    for (d.customers.First(); !d.customers.Eof(); d.customers.Next())
        names << str(d.customers, "name");
    QCOMPARE(names, namesAfter);
    QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM kunde WHERE name = 'Meins'")), QStringLiteral("0"));
}

void TestRecordSet::deleteOfARowAnotherProgramChanged_data()
{
    QTest::addColumn<QString>("otherProgram");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QStringList>("afterDiscard");
    QTest::newRow("changed") << "UPDATE kunde SET adresse = 'Neu 5' WHERE id = 2"
                             << "Der Datensatz wurde inzwischen von einem anderen Programm geändert und deshalb nicht gelöscht"
                             << "Neu 5" << QStringList{QStringLiteral("Anna"), QStringLiteral("Bruno"), QStringLiteral("Carla")};
    QTest::newRow("deleted") << "DELETE FROM kunde WHERE id = 2"
                             << "Der Datensatz wurde inzwischen von einem anderen Programm gelöscht"
                             << "" << QStringList{QStringLiteral("Anna"), QStringLiteral("Carla")};
}

void TestRecordSet::deleteOfARowAnotherProgramChanged()
{
    QFETCH(QString, otherProgram);
    QFETCH(QString, error);
    QFETCH(QString, stored);
    QFETCH(QStringList, afterDiscard);
    testdb::Fixture db(QString::fromUtf8(StandardData));
    InvoiceData d;
    d.open(db.file());
    d.customers.Next(); // Bruno
    db.exec(otherProgram);
    std::function<void()> discard;
    try {
        d.customers.Delete();
    } catch (const ConflictError &e) {
        QCOMPARE(e.message(), error);
        discard = [e] { e.discard(); };
    }
    QVERIFY(discard);
    // The other program's row is still there as it wrote it, and still shown.
    QCOMPARE(db.scalar(QStringLiteral("SELECT adresse FROM kunde WHERE id = 2")), stored);
    QCOMPARE(str(d.customers, "name"), QStringLiteral("Bruno"));
    discard();
    QStringList names;
    for (d.customers.First(); !d.customers.Eof(); d.customers.Next())
        names << str(d.customers, "name");
    QCOMPARE(names, afterDiscard);
    if (!stored.isEmpty()) {
        QVERIFY(d.customers.Locate(QStringLiteral("id"), 2));
        QCOMPARE(str(d.customers, "adresse"), stored);
    }
}

QTEST_GUILESS_MAIN(TestRecordSet)
#include "tst_recordset.moc"
