// One file gives the same figures under every regional setting: the totals
// the editor shows, the printed invoice, the e-invoice and the database tool;
// and a file made before it named its separators is asked for them once.

#include "app/mainwindow.h"
#include "app/program.h"
#include "data/database.h"
#include "data/fileseparators.h"
#include "data/invoicerepository.h"
#include "data/lineamount.h"
#include "data/migrations.h"
#include "einvoice/fatturapa.h"
#include "einvoice/store.h"
#include "framework/report/page.h"
#include "report/invoicereport.h"
#include "running.h"
#include "testdb.h"
#include "tool.h"
#include "uitest.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

using uitest::Boxes;

namespace {

const Separators Comma{QLatin1Char(','), QLatin1Char('.')};

// The demo's invoice 1 of 2004: several lines, amounts with a decimal comma.
const int Year = 2004;
const QString Number = QStringLiteral("1");

// The three totals as the e-invoice writes them: "123.45".
QStringList plain(const InvoiceTotals &t)
{
    return {moneyWithDot(t.net), moneyWithDot(t.tax), moneyWithDot(t.gross)};
}

QStringList elementTexts(const QByteArray &xml, const QString &name)
{
    QXmlStreamReader r(xml);
    QStringList out;
    while (!r.atEnd()) {
        if (r.readNext() == QXmlStreamReader::StartElement && r.name() == name)
            out << r.readElementText();
    }
    return out;
}

QStringList eInvoiceTotals(const QByteArray &xml)
{
    return elementTexts(xml, QStringLiteral("ImponibileImporto")) + elementTexts(xml, QStringLiteral("Imposta"))
           + elementTexts(xml, QStringLiteral("ImportoTotaleDocumento"));
}

// The file's data opened under the user's settings, on the invoice.
struct OpenInvoice
{
    OpenInvoice(const QString &file, const Separators &user)
    {
        data.setSeparators(user);
        data.open(file);
        data.setYear(Year);
        const QString customer = testdb::scalar(file, QStringLiteral("SELECT kundennummer FROM rechnungsdaten2004 WHERE nr = '1'"));
        if (!data.customers.Locate(QStringLiteral("id"), customer.toLongLong())
            || !data.invoiceHeaders.Locate(QStringLiteral("nr"), Number))
            qFatal("the demo's invoice 1 of 2004 is not there");
    }
    InvoiceData data;
};

} // namespace

class TestFileSeparatorsApp : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void sameFiguresUnderEverySetting_data();
    void sameFiguresUnderEverySetting();

    void fileWithoutSeparatorsIsAsked_data();
    void fileWithoutSeparatorsIsAsked();
    void localeChangeLeavesTheFilesSeparators();

private:
    QTemporaryDir m_dir;
    QString m_demo;
    // What the invoice adds up to, read with the separators it was typed in.
    InvoiceTotals m_expected;
};

void TestFileSeparatorsApp::initTestCase()
{
    prepareApplication(*qobject_cast<QApplication *>(QCoreApplication::instance()));
    m_demo = m_dir.filePath(QStringLiteral("demo.mdb"));
    const ToolResult made = runTool({QStringLiteral("demo"), m_demo}, {.locale = QStringLiteral("C")});
    QCOMPARE(made.err, QString());
    const QString rows = testdb::scalar(m_demo, QStringLiteral("SELECT group_concat(coalesce(einzelpreis, '') || '|' || "
                                                               "coalesce(anzahl, ''), char(10)) FROM (SELECT * FROM rechnung2004 "
                                                               "WHERE rechnungsnummer = '1' ORDER BY id)"));
    QList<TotalsLine> lines;
    for (const QString &row : rows.split(QLatin1Char('\n')))
        lines.append({lineAmount(row.section(QLatin1Char('|'), 0, 0), row.section(QLatin1Char('|'), 1), Comma).value_or(Money()),
                      StandardRate});
    QVERIFY(lines.size() > 1);
    m_expected = invoiceTotals(lines);
    // Not a whole number of euros, so that a separator read wrongly shows.
    QVERIFY(m_expected.net.cents % 100 != 0);
}

void TestFileSeparatorsApp::sameFiguresUnderEverySetting_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("reader");
    for (const char *locale : {"de_DE.UTF-8", "it_IT.UTF-8", "en_US.UTF-8", "C"}) {
        for (const char *reader : {"totals", "report run", "e-invoice", "tool"})
            QTest::addRow("%s, %s", locale, reader) << QString::fromLatin1(locale) << QString::fromLatin1(reader);
    }
}

void TestFileSeparatorsApp::sameFiguresUnderEverySetting()
{
    QFETCH(QString, locale);
    QFETCH(QString, reader);
    // The program's windows see the settings as the user's; the tool, as a
    // program of its own, gets them from its environment.
    const Separators user = Separators::ofLocale(QLocale(locale.section(QLatin1Char('.'), 0, 0)));
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("rechungen.mdb"));
    QVERIFY(QFile::copy(m_demo, file));

    if (reader == QLatin1String("tool")) {
        const ToolResult r = runTool({QStringLiteral("fatturapa"), file, QStringLiteral("--year"), QString::number(Year),
                                      QStringLiteral("--nr"), Number, QStringLiteral("--out"), dir.path()},
                                     {.locale = locale});
        QCOMPARE(r.err, QString());
        QCOMPARE(r.exitCode, 0);
        QFile written(r.out.trimmed());
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(eInvoiceTotals(written.readAll()), plain(m_expected));
        return;
    }

    OpenInvoice open(file, user);
    InvoiceData &d = open.data;
    QCOMPARE(d.separators(), Comma);
    if (reader == QLatin1String("totals")) {
        const InvoiceTotals totals = invoiceTotals(totalsLines(d.invoiceLines));
        QCOMPARE(totals, m_expected);
        QCOMPARE(formatMoney(totals.gross, d.separators()), formatMoney(m_expected.gross, Comma));
    } else if (reader == QLatin1String("report run")) {
        InvoiceReport report(d);
        const rpt::RunResult run = report.layout.run();
        QCOMPARE(run.error, QString());
        QCOMPARE(run.end, rpt::RunEnd::Completed);
        QCOMPARE(report.printedTotals(), m_expected);
        QStringList printed;
        for (const rpt::DrawOp &op : run.pages.back()->ops) {
            if (const auto *t = std::get_if<rpt::TextRun>(&op))
                printed += t->lines;
        }
        for (const Money figure : {m_expected.net, m_expected.tax, m_expected.gross})
            QVERIFY2(printed.contains(formatMoney(figure, Comma)), qPrintable(printed.join(QLatin1Char('|'))));
    } else {
        const Invoice invoice = InvoiceRepository(d.connection, d.separators()).loadByNumber(Year, Number);
        const std::optional<einvoice::Seller> seller = einvoice::loadSeller(d.connection);
        QVERIFY(seller);
        const einvoice::Buyer buyer = einvoice::buyerOfCustomer(d.connection, invoice.header.customerId());
        const einvoice::FatturaPA made = einvoice::buildFatturaPA(*seller, buyer, invoice, QStringLiteral("00001"), d.separators());
        QCOMPARE((QStringList{made.net, made.tax, made.gross}), plain(m_expected));
        QCOMPARE(eInvoiceTotals(made.xml), plain(m_expected));
    }
}

void TestFileSeparatorsApp::fileWithoutSeparatorsIsAsked_data()
{
    QTest::addColumn<bool>("answer");
    QTest::newRow("yes") << true;
    QTest::newRow("no") << false;
}

void TestFileSeparatorsApp::fileWithoutSeparatorsIsAsked()
{
    QFETCH(bool, answer);
    const Separators english = Separators::ofLocale(QLocale(QStringLiteral("en_US")));
    setUserSeparators(english);
    Boxes boxes({answer});
    Running r(QStringLiteral("DROP TABLE zahlenformat;"
                             "INSERT INTO kunde (id, name) VALUES (1, 'Anna');"
                             "INSERT INTO rechnungsdaten2004 (nr, kundennummer) VALUES ('5', '1');"
                             "INSERT INTO rechnung2004 (rechnungsnummer, anzahl, einzelpreis) VALUES ('5', '1100', '2.5');"));
    QTRY_COMPARE(boxes.asked.size(), 1);
    QCOMPARE(boxes.asked.first(), QStringLiteral("Bestätigung|") + separatorsMigration().question);
    QCOMPARE(r.w().data().fileNamesSeparators(), answer);
    QCOMPARE(r.scalar(QStringLiteral("SELECT count(*) FROM sqlite_schema WHERE name = 'zahlenformat'")),
             answer ? QStringLiteral("1") : QStringLiteral("0"));
    if (answer)
        QCOMPARE(r.scalar(QStringLiteral("SELECT dezimaltrennzeichen || tausendertrennzeichen FROM zahlenformat")),
                 QStringLiteral(".,"));
    // Either way the session reads the file as its amounts were typed.
    QCOMPARE(r.w().data().separators(), english);
    QCOMPARE(r.w().invoiceLines().FieldByName(QStringLiteral("summerechn"))->DisplayText(), QStringLiteral("2,750.00"));
    // Other settings later (what the locale watcher hands over) change a
    // file only while it names no separators.
    r.w().data().setSeparators(Comma);
    QCOMPARE(r.w().data().separators(), answer ? english : Comma);
}

void TestFileSeparatorsApp::localeChangeLeavesTheFilesSeparators()
{
    setUserSeparators(Separators::ofLocale(QLocale(QStringLiteral("en_US"))));
    Boxes boxes({true});
    Running r(QStringLiteral("INSERT INTO zahlenformat VALUES (1, ',', '.');"
                             "INSERT INTO kunde (id, name) VALUES (1, 'Anna');"
                             "INSERT INTO rechnungsdaten2004 (nr, kundennummer) VALUES ('5', '1');"
                             "INSERT INTO rechnung2004 (rechnungsnummer, anzahl, einzelpreis) VALUES ('5', '1100', '2,5');"));
    QCOMPARE(r.w().data().separators(), Comma);
    QCOMPARE(r.w().invoiceLines().FieldByName(QStringLiteral("summerechn"))->DisplayText(), QStringLiteral("2.750,00"));
    QEvent change(QEvent::LocaleChange);
    QCoreApplication::sendEvent(&r.w(), &change);
    QCOMPARE(r.w().data().separators(), Comma);
    QCOMPARE(r.w().invoiceLines().separators(), Comma);
    QTest::qWait(50);
    QCOMPARE(boxes.asked, QStringList());
}

QTEST_MAIN(TestFileSeparatorsApp)
#include "tst_fileseparators.moc"
