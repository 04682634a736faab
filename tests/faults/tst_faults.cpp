// What a store does when the file system, another program or the disk lets
// it down: a German message, the typed row still pending, the file intact and
// holding the state before or after, never a mix, and the next try succeeds.

#include "data/database.h"
#include "data/errors.h"
#include "einvoice/store.h"
#include "framework/busycursor.h"
#include "errorof.h"
#include "faultvfs.h"
#include "samples.h"
#include "testdb.h"

#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <map>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using testdb::StandardData;

QString str(const RecordSet &rs, const char *field) { return rs.FieldByName(QString::fromLatin1(field))->AsString(); }
void set(RecordSet &rs, const char *field, const QString &text) { rs.FieldByName(QString::fromLatin1(field))->setAsString(text); }

// Every row of the tables, all columns, in storage order: what "the state of
// the file" means here. A read-write connection, so that a journal left hot
// by a failed write is rolled back as the program's next start would.
QString dump(const QString &file, const QStringList &tables)
{
    sqlite3 *db = nullptr;
    sqlite3_open_v2(file.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    QString out;
    for (const QString &table : tables) {
        sqlite3_stmt *st = nullptr;
        const QByteArray sql = table.startsWith(QLatin1String("SELECT")) ? table.toUtf8()
                                                                         : ("SELECT * FROM \"" + table.toUtf8() + "\" ORDER BY rowid");
        if (sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr) != SQLITE_OK) {
            out += QStringLiteral("[%1: %2]").arg(table, QString::fromUtf8(sqlite3_errmsg(db)));
            continue;
        }
        out += table + QLatin1Char(':');
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
            for (int c = 0; c < sqlite3_column_count(st); ++c)
                out += QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, c))) + QLatin1Char('|');
            out += QLatin1Char(';');
        }
        if (rc != SQLITE_DONE)
            out += QStringLiteral("[step %1]").arg(rc);
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return out;
}

QString integrity(const QString &file) { return dump(file, {QStringLiteral("SELECT * FROM pragma_integrity_check")}).section(QLatin1Char(':'), 1); }

// What the user has on screen of a record set: its state, position and row.
QString shown(const RecordSet &rs)
{
    QString out = QStringLiteral("%1 %2/%3:").arg(int(rs.State())).arg(rs.RecNo()).arg(rs.RecordCount());
    if (rs.RecordCount() > 0)
        for (const auto &f : rs.Fields())
            out += f->FieldName() + QLatin1Char('=') + f->AsString() + QLatin1Char('|');
    return out;
}

// One operation of the program: what the user typed first (no write), the
// write itself, what is on screen, and the tables it changes.
struct Operation
{
    std::function<void(InvoiceData &)> prepare;
    std::function<void(InvoiceData &)> act;
    std::function<QString(InvoiceData &)> pending;
    QStringList tables;
    // What the user does after the message; the same again unless given.
    std::function<void(InvoiceData &)> retry = nullptr;
};

const std::map<QString, Operation> &operations()
{
    static const std::map<QString, Operation> ops = {
        {QStringLiteral("changed customer"),
         {[](InvoiceData &d) {
              QVERIFY(d.customers.Locate(QStringLiteral("id"), 2));
              d.customers.Edit();
              set(d.customers, "name", QStringLiteral("Bruno Berger"));
              set(d.customers, "adresse", QStringLiteral("Via Roma 2\r\n39012 Meran"));
          },
          [](InvoiceData &d) { d.customers.Post(); }, [](InvoiceData &d) { return shown(d.customers); },
          {QStringLiteral("kunde")}}},
        {QStringLiteral("new customer"),
         {[](InvoiceData &d) {
              d.customers.Append();
              set(d.customers, "name", QStringLiteral("Dora Dorfer"));
              set(d.customers, "adresse", QStringLiteral("Lauben 4\r\n39100 Bozen"));
          },
          [](InvoiceData &d) { d.customers.Post(); }, [](InvoiceData &d) { return shown(d.customers); },
          {QStringLiteral("kunde")}}},
        {QStringLiteral("new header"),
         {[](InvoiceData &d) {
              d.invoiceHeaders.Append();
              set(d.invoiceHeaders, "nr", QStringLiteral("8"));
              set(d.invoiceHeaders, "datum", QStringLiteral("05.02.2004"));
              set(d.invoiceHeaders, "bestimmungsort", QStringLiteral("Meran"));
          },
          [](InvoiceData &d) { d.invoiceHeaders.Post(); }, [](InvoiceData &d) { return shown(d.invoiceHeaders); },
          {QStringLiteral("rechnungsdaten2004")}}},
        {QStringLiteral("new line"),
         {[](InvoiceData &d) {
              d.invoiceLines.Append();
              set(d.invoiceLines, "beschreibung", QStringLiteral("Tulpen"));
              set(d.invoiceLines, "anzahl", QStringLiteral("10"));
              set(d.invoiceLines, "einzelpreis", QStringLiteral("0,80"));
          },
          [](InvoiceData &d) { d.invoiceLines.Post(); }, [](InvoiceData &d) { return shown(d.invoiceLines); },
          {QStringLiteral("rechnung2004")}}},
        {QStringLiteral("delete header"),
         {[](InvoiceData &d) { QVERIFY(d.invoiceHeaders.Locate(QStringLiteral("id"), 2)); },
          [](InvoiceData &d) { d.invoiceHeaders.Delete(); }, [](InvoiceData &d) { return shown(d.invoiceHeaders); },
          {QStringLiteral("rechnungsdaten2004")}}},
        {QStringLiteral("change year"),
         {[](InvoiceData &d) {
              d.invoiceHeaders.Append();
              set(d.invoiceHeaders, "nr", QStringLiteral("8"));
              set(d.invoiceHeaders, "datum", QStringLiteral("06.02.2004"));
          },
          [](InvoiceData &d) { d.setYear(2003); },
          [](InvoiceData &d) { return QString::number(d.year()) + shown(d.invoiceHeaders); },
          {QStringLiteral("rechnungsdaten2004"), QStringLiteral("rechnungsdaten2003")}}},
        {QStringLiteral("create year"),
         {[](InvoiceData &) {}, [](InvoiceData &d) { d.addYear(2005); },
          [](InvoiceData &d) { return QString::number(d.year()) + QLatin1Char(' ') + QString::number(d.years().size()) + shown(d.invoiceHeaders); },
          {QStringLiteral("SELECT name, sql FROM sqlite_master ORDER BY name")},
          // Made but not shown: the year is in the list now and is chosen there.
          [](InvoiceData &d) {
              if (std::any_of(d.years().begin(), d.years().end(), [](const YearTables &y) { return y.year == 2005; }))
                  d.setYear(2005);
              else
                  d.addYear(2005);
          }}},
        {QStringLiteral("business settings"),
         {[](InvoiceData &) {}, [](InvoiceData &d) { einvoice::saveSeller(d.connection, sample::nursery()); },
          [](InvoiceData &) { return QString(); }, {QStringLiteral("firma")}}},
    };
    return ops;
}

// The German sentence each failure must bring (describe() in the engine).
QString expectedSentence(int code)
{
    switch (code) {
    case SQLITE_FULL:
        return QStringLiteral("Der Datenträger ist voll");
    case SQLITE_BUSY:
        return QStringLiteral("von einem anderen Programm benutzt und ist gesperrt");
    default:
        return QStringLiteral("Beim Lesen oder Schreiben der Datenbankdatei ist ein Fehler aufgetreten");
    }
}

int g_faults = 0, g_failures = 0, g_runs = 0;

} // namespace

class TestFaults : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void failingFileSystem_data();
    void failingFileSystem();
    void lockHeldByAnotherProgram_data();
    void lockHeldByAnotherProgram();
    void lockReleasedDuringTheWait();
    void waitCursorDuringABusyWait_data();
    void waitCursorDuringABusyWait();
    void diskFull();
    void fileMovedAwayWhileRunning_data();
    void fileMovedAwayWhileRunning();
    void nulCharacterInASearch();
    void unprivilegedUser();

private:
    QTemporaryDir m_dir;
    QString m_template;
    // Copies the prepared file to a fresh name: faster than building a file per run.
    QString freshCopy();
    int m_copies = 0;
};

void TestFaults::initTestCase()
{
    faultvfs::install();
    testdb::Fixture db(QString::fromUtf8(StandardData));
    m_template = m_dir.filePath(QStringLiteral("template.mdb"));
    QVERIFY(QFile::copy(db.file(), m_template));
}

void TestFaults::cleanupTestCase()
{
    qInfo("file system faults: %d runs, %d faults injected, %d of them reached the user as a message", g_runs, g_faults, g_failures);
}

QString TestFaults::freshCopy()
{
    const QString dir = m_dir.filePath(QString::number(++m_copies));
    QDir().mkpath(dir);
    const QString file = dir + QStringLiteral("/rechungen.mdb");
    if (!QFile::copy(m_template, file))
        qFatal("cannot copy the template file");
    return file;
}

void TestFaults::failingFileSystem_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<int>("method");
    QTest::addColumn<int>("code");
    const std::pair<faultvfs::Method, const char *> methods[] = {
        {faultvfs::Method::Write, "xWrite"}, {faultvfs::Method::Sync, "xSync"}, {faultvfs::Method::Truncate, "xTruncate"}, {faultvfs::Method::Lock, "xLock"}};
    const std::pair<int, const char *> codes[] = {{SQLITE_IOERR, "IOERR"}, {SQLITE_FULL, "FULL"}, {SQLITE_BUSY, "BUSY"}};
    for (const auto &[name, op] : operations())
        for (const auto &[method, methodName] : methods)
            for (const auto &[code, codeName] : codes)
                QTest::addRow("%s, %s %s", qPrintable(name), methodName, codeName) << name << int(method) << code;
}

void TestFaults::failingFileSystem()
{
    QFETCH(QString, operation);
    QFETCH(int, method);
    QFETCH(int, code);
    const Operation &op = operations().at(operation);

    // The state after, from a healthy run.
    QString before, after;
    {
        const QString file = freshCopy();
        before = dump(file, op.tables);
        InvoiceData d;
        d.open(file, 200);
        op.prepare(d);
        op.act(d);
        after = dump(file, op.tables);
    }
    QVERIFY2(before != after, "the operation changes nothing");

    // Bounded: no operation here makes a hundred calls of one method. What
    // goes wrong is collected, so that every call is tried.
    QStringList wrongMessages, wrongStates;
    for (int n = 1; n <= 100; ++n) {
        const QString file = freshCopy();
        InvoiceData d;
        d.open(file, 200);
        op.prepare(d);
        const QString pendingBefore = op.pending(d);
        faultvfs::arm(faultvfs::Method(method), n, code);
        const QString message = errorOf([&] { op.act(d); });
        faultvfs::disarm();
        ++g_runs;
        const bool injected = faultvfs::injected();
        if (injected)
            ++g_faults;
        const QString context = QStringLiteral("call %1: %2").arg(n).arg(message);
        const QString now = dump(file, op.tables);
        QCOMPARE(integrity(file), QStringLiteral("ok|;"));
        if (message.isEmpty()) {
            // A fault the engine overcame (a lock tried again) or none at all.
            QVERIFY2(now == after, qPrintable(context + QStringLiteral(": the file holds neither state")));
            if (!injected)
                break;
            continue;
        }
        ++g_failures;
        QVERIFY2(injected, qPrintable(context));
        if (!message.contains(expectedSentence(code)) && !message.contains(expectedSentence(SQLITE_IOERR)))
            wrongMessages += context;
        QVERIFY2(now == before || now == after, qPrintable(context + QStringLiteral(": the file holds a mix")));
        // A write that went through before the failure has nothing pending left to keep.
        if (now == before)
            QVERIFY2(op.pending(d) == pendingBefore, qPrintable(context + QStringLiteral(": what was typed changed: ") + op.pending(d)));
        // And the same again with a healthy file system.
        try {
            (op.retry ? op.retry : op.act)(d);
        } catch (const AppError &e) {
            QFAIL(qPrintable(context + QStringLiteral(", the retry: ") + e.message()));
        }
        if (dump(file, op.tables) != after)
            wrongStates += context + QStringLiteral(": the retry stored something else: ") + dump(file, op.tables);
        QCOMPARE(integrity(file), QStringLiteral("ok|;"));
        if (n == 100)
            QFAIL("more than a hundred calls");
    }
    QVERIFY2(wrongMessages.isEmpty(), qPrintable(wrongMessages.join(QLatin1Char('\n'))));
    QVERIFY2(wrongStates.isEmpty(), qPrintable(wrongStates.join(QLatin1Char('\n'))));
}

void TestFaults::lockHeldByAnotherProgram_data()
{
    QTest::addColumn<QString>("operation");
    for (const auto &[name, op] : operations())
        QTest::newRow(qPrintable(name)) << name;
}

void TestFaults::lockHeldByAnotherProgram()
{
    QFETCH(QString, operation);
    const Operation &op = operations().at(operation);
    const QString file = freshCopy();
    const QString before = dump(file, op.tables);
    InvoiceData d;
    d.open(file, 150);
    op.prepare(d);
    const QString pendingBefore = op.pending(d);

    std::vector<bool> hook;
    Database::setBusyHook([&](bool waiting) { hook.push_back(waiting); });
    sqlite3 *other = nullptr;
    QCOMPARE(sqlite3_open_v2(file.toUtf8().constData(), &other, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    QCOMPARE(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    const QString message = errorOf([&] { op.act(d); });
    QCOMPARE(sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(other);
    QVERIFY2(message.contains(QLatin1String("Die Datenbank wird gerade von einem anderen Programm benutzt und ist gesperrt")),
             qPrintable(message));
    QCOMPARE(op.pending(d), pendingBefore);
    QCOMPARE(dump(file, op.tables), before);
    // The window was told of the wait and of its end.
    QCOMPARE(hook, (std::vector<bool>{true, false}));

    op.act(d);
    Database::setBusyHook(nullptr);
    QVERIFY(dump(file, op.tables) != before);
    QCOMPARE(integrity(file), QStringLiteral("ok|;"));
}

void TestFaults::lockReleasedDuringTheWait()
{
    const Operation &op = operations().at(QStringLiteral("new customer"));
    const QString file = freshCopy();
    InvoiceData d;
    d.open(file, 5000);
    op.prepare(d);
    std::vector<bool> hook;
    Database::setBusyHook([&](bool waiting) { hook.push_back(waiting); });
    sqlite3 *other = nullptr;
    QCOMPARE(sqlite3_open_v2(file.toUtf8().constData(), &other, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    QCOMPARE(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    std::thread release([other] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    });
    op.act(d);
    release.join();
    sqlite3_close(other);
    Database::setBusyHook(nullptr);
    QCOMPARE(hook, (std::vector<bool>{true, false}));
    QCOMPARE(d.customers.State(), DataSetState::Browse);
    QCOMPARE(testdb::scalar(file, QStringLiteral("SELECT adresse FROM kunde WHERE name = 'Dora Dorfer'")),
             QStringLiteral("Lauben 4\r\n39100 Bozen"));
}

void TestFaults::diskFull()
{
    const QString file = freshCopy();
    const QStringList tables{QStringLiteral("kunde")};
    const QString before = dump(file, tables);
    InvoiceData d;
    d.open(file, 200);
    // The file may not grow by a single page: the disk is full.
    d.connection.exec("PRAGMA max_page_count = 1");
    const QString longAddress = QStringLiteral("Hofgasse 1\r\n39100 Bozen\r\n").repeated(2000);
    QVERIFY(d.customers.Locate(QStringLiteral("id"), 3));
    d.customers.Edit();
    set(d.customers, "adresse", longAddress);
    const QString pendingBefore = shown(d.customers);
    const QString message = errorOf([&] { d.customers.Post(); });
    QVERIFY2(message.startsWith(QStringLiteral("Der Datenträger ist voll; es konnte nicht gespeichert werden")), qPrintable(message));
    QCOMPARE(shown(d.customers), pendingBefore);
    QCOMPARE(integrity(file), QStringLiteral("ok|;"));
    QCOMPARE(dump(file, tables), before);

    // Space freed: the next try stores it.
    d.connection.exec("PRAGMA max_page_count = 1000000");
    d.customers.Post();
    QCOMPARE(testdb::scalar(file, QStringLiteral("SELECT adresse FROM kunde WHERE id = 3")), longAddress);
}

void TestFaults::fileMovedAwayWhileRunning_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("renamed") << QStringLiteral("renamed");
    QTest::newRow("deleted") << QStringLiteral("deleted");
    QTest::newRow("replaced by another file") << QStringLiteral("replaced");
}

void TestFaults::fileMovedAwayWhileRunning()
{
    QFETCH(QString, how);
    const QString file = freshCopy();
    InvoiceData d;
    d.open(file, 200);
    if (how == QLatin1String("renamed")) {
        QVERIFY(QFile::rename(file, file + QStringLiteral(".alt")));
    } else if (how == QLatin1String("deleted")) {
        QVERIFY(QFile::remove(file));
    } else {
        const QString other = freshCopy();
        QVERIFY(::rename(QFile::encodeName(other).constData(), QFile::encodeName(file).constData()) == 0);
    }
    QVERIFY(d.customers.Locate(QStringLiteral("id"), 1));
    d.customers.Edit();
    set(d.customers, "name", QStringLiteral("Anna Amort"));
    const QString message = errorOf([&] { d.customers.Post(); });
    QVERIFY2(message.startsWith(QStringLiteral("Die Datenbankdatei wurde verschoben, gelöscht oder durch eine andere ersetzt")),
             qPrintable(message));
    QVERIFY(!message.contains(QStringLiteral("schreibgeschützt")));
    QCOMPARE(d.customers.State(), DataSetState::Edit);
    QCOMPARE(str(d.customers, "name"), QStringLiteral("Anna Amort"));
}

void TestFaults::nulCharacterInASearch()
{
    const QString file = freshCopy();
    InvoiceData d;
    d.open(file, 200);
    const QString text = QStringLiteral("An") + QChar(0) + QStringLiteral("na");
    try {
        d.customers.setSQL(InvoiceData::customerSearchSql(text));
        d.customers.Open();
        QFAIL("a search with a NUL character ran");
    } catch (const AppError &e) {
        QVERIFY2(e.message().contains(QStringLiteral("Der Suchtext enthält ein Nullzeichen")), qPrintable(e.message()));
    }
    // The engine refuses such a text whoever builds it.
    try {
        d.connection.prepare(QByteArray("SELECT * FROM kunde WHERE name = 'a\0b'", 38));
        QFAIL("a statement with a NUL character was prepared");
    } catch (const AppError &e) {
        QVERIFY2(e.message().contains(QLatin1String("Nullzeichen")), qPrintable(e.message()));
        QVERIFY(!e.message().contains(QLatin1String("Syntaxfehler")));
    }
}

// While a store waits for another program's lock the window cannot repaint:
// the wait cursor shows that the program is alive, and goes when the wait ends.
void TestFaults::waitCursorDuringABusyWait_data()
{
    QTest::addColumn<bool>("released");
    QTest::newRow("lock kept: the store gives up") << false;
    QTest::newRow("lock released during the wait") << true;
}

void TestFaults::waitCursorDuringABusyWait()
{
    QFETCH(bool, released);
    testdb::Fixture db(QStringLiteral("INSERT INTO kunde (id, name) VALUES (1, 'Anna');"));
    InvoiceData d;
    d.open(db.file(), released ? 5000 : 150);
    installBusyCursor();
    // What the cursor was each time the engine spoke, seen after the installed hook ran.
    std::vector<int> seen;
    const Database::BusyHook installed = Database::busyHook();
    QVERIFY(installed);
    Database::setBusyHook([&](bool waiting) {
        installed(waiting);
        seen.push_back(QApplication::overrideCursor() ? int(QApplication::overrideCursor()->shape()) : -1);
    });

    sqlite3 *other = nullptr;
    QCOMPARE(sqlite3_open_v2(db.file().toUtf8().constData(), &other, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    QCOMPARE(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    std::thread release;
    if (released)
        release = std::thread([other] {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
        });
    d.customers.Edit();
    d.customers.FieldByName(QStringLiteral("name"))->setAsString(QStringLiteral("Anna Amort"));
    bool stored = true;
    try {
        d.customers.Post();
    } catch (const AppError &) {
        stored = false;
    }
    if (release.joinable())
        release.join();
    else
        sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    Database::setBusyHook(nullptr);

    QCOMPARE(stored, released);
    QCOMPARE(seen, (std::vector<int>{int(Qt::WaitCursor), -1}));
    QVERIFY(!QApplication::overrideCursor());
}

// Root may write any file, so these run in a child that has become nobody.
void TestFaults::unprivilegedUser()
{
    const uid_t nobody = 65534;
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString readOnlyFile = dir.filePath(QStringLiteral("nurlesen/rechungen.mdb"));
    const QString unreadable = dir.filePath(QStringLiteral("gesperrt/rechungen.mdb"));
    const QString readOnlyFolder = dir.filePath(QStringLiteral("ordner/rechungen.mdb"));
    const QString turnsReadOnly = dir.filePath(QStringLiteral("spaeter/rechungen.mdb"));
    for (const QString &f : {readOnlyFile, unreadable, readOnlyFolder, turnsReadOnly}) {
        QVERIFY(QDir().mkpath(QFileInfo(f).path()));
        QVERIFY(QFile::copy(m_template, f));
    }
    const bool root = ::geteuid() == 0;
    auto own = [&](const QString &path, mode_t mode) {
        if (root)
            QVERIFY(::chown(QFile::encodeName(path).constData(), nobody, nobody) == 0);
        QVERIFY(::chmod(QFile::encodeName(path).constData(), mode) == 0);
    };
    if (root)
        QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), 0755) == 0);
    own(QFileInfo(readOnlyFile).path(), 0755);
    own(readOnlyFile, 0444);
    own(QFileInfo(unreadable).path(), 0755);
    own(unreadable, 0200);
    own(QFileInfo(readOnlyFolder).path(), 0555);
    own(readOnlyFolder, 0644);
    own(QFileInfo(turnsReadOnly).path(), 0755);
    own(turnsReadOnly, 0644);

    int fds[2];
    QVERIFY(::pipe(fds) == 0);
    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        ::close(fds[0]);
        QString report;
        auto check = [&](bool ok, const QString &what) {
            if (!ok)
                report += what + QLatin1Char('\n');
        };
        auto openError = [](const QString &file) {
            InvoiceData d;
            return errorOf([&] { d.open(file, 200); });
        };
        if (root && (::setgid(nobody) != 0 || ::setuid(nobody) != 0))
            report += QStringLiteral("cannot become nobody\n");
        QString m = openError(readOnlyFile);
        check(m.contains(QStringLiteral("ist schreibgeschützt; das Programm braucht Schreibzugriff")), QStringLiteral("read-only file: ") + m);
        m = openError(unreadable);
        check(m.contains(QLatin1String("kann nicht gelesen werden: dem Benutzer fehlt die Leseberechtigung")),
              QStringLiteral("unreadable file: ") + m);
        check(m.count(QStringLiteral("kann nicht geöffnet werden")) == 0, QStringLiteral("unreadable file, doubled: ") + m);
        m = openError(readOnlyFolder);
        check(m.contains(QStringLiteral("ordner' der Datenbankdatei ist schreibgeschützt")), QStringLiteral("read-only folder: ") + m);

        // Read-only while running: the store fails, what was typed stays.
        InvoiceData d;
        try {
            d.open(turnsReadOnly, 200);
            ::chmod(QFile::encodeName(turnsReadOnly).constData(), 0444);
            ::chmod(QFile::encodeName(QFileInfo(turnsReadOnly).path()).constData(), 0555);
            d.customers.Append();
            set(d.customers, "name", QStringLiteral("Emil Egger"));
            set(d.customers, "adresse", QStringLiteral("Dorf 5"));
            QString stored;
            try {
                d.customers.Post();
                stored = QStringLiteral("stored");
            } catch (const AppError &e) {
                stored = e.message();
            }
            check(stored.startsWith(QStringLiteral("Die Datenbankdatei oder ihre Journaldatei im selben Ordner kann nicht geöffnet werden: "
                                                  "Das Programm hat keine Berechtigung dafür"))
                      || stored.startsWith(QStringLiteral("Die Datenbank ist schreibgeschützt")),
                  QStringLiteral("turned read-only: ") + stored);
            check(d.customers.State() == DataSetState::Insert && str(d.customers, "name") == QLatin1String("Emil Egger")
                      && str(d.customers, "adresse") == QLatin1String("Dorf 5"),
                  QStringLiteral("turned read-only: the typed row is gone"));
            check(integrity(turnsReadOnly) == QLatin1String("ok|;"), QStringLiteral("turned read-only: integrity"));
        } catch (const AppError &e) {
            report += QStringLiteral("turned read-only: ") + e.message() + QLatin1Char('\n');
        }
        const QByteArray out = report.toUtf8();
        (void)!::write(fds[1], out.constData(), size_t(out.size()));
        ::_exit(0);
    }
    ::close(fds[1]);
    QByteArray report;
    char buf[4096];
    ssize_t n;
    while ((n = ::read(fds[0], buf, sizeof buf)) > 0)
        report.append(buf, int(n));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    QVERIFY2(report.isEmpty(), report.constData());
    // Let the temporary folder go.
    ::chmod(QFile::encodeName(QFileInfo(readOnlyFolder).path()).constData(), 0755);
    ::chmod(QFile::encodeName(QFileInfo(turnsReadOnly).path()).constData(), 0755);
}

QTEST_MAIN(TestFaults)
#include "tst_faults.moc"
