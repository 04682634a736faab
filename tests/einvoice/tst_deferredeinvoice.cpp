// The electronic deferred invoice (TD24): one DatiDDT per delivery note with
// the numbers of its lines, in the schema's order, and the exchange system's
// refusals of a TD24 before anything is written.

#include "deliverymonth.h"
#include "errorof.h"
#include "samples.h"
#include "testdb.h"
#include "xmllint.h"

#include "data/deferredinvoice.h"
#include "data/errors.h"
#include "data/sqlitedatabase.h"
#include "einvoice/fatturapa.h"
#include "einvoice/validation.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

using namespace einvoice;
using sample::CommaSeparators;

Q_DECLARE_METATYPE(QList<InvoiceLine>)

namespace {

const QDate Today(2026, 12, 1);

// The elements under DatiGenerali as "Parent/Child=text", in document order.
QStringList generalData(const QByteArray &xml)
{
    QStringList out;
    QXmlStreamReader r(xml);
    QStringList path;
    while (!r.atEnd()) {
        const QXmlStreamReader::TokenType token = r.readNext();
        if (token == QXmlStreamReader::StartElement) {
            path << r.name().toString();
            const qsizetype at = path.indexOf(QStringLiteral("DatiGenerali"));
            if (at >= 0 && path.size() > at + 2) {
                out << path.mid(at + 1).join(QLatin1Char('/')) + QLatin1Char('=') + r.readElementText();
                path.removeLast();
            }
        } else if (token == QXmlStreamReader::EndElement) {
            path.removeLast();
        }
    }
    return out;
}

QString validatedByXmllint(const QByteArray &xml)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("file.xml"));
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(xml) != xml.size())
        return QStringLiteral("cannot write %1").arg(file);
    out.close();
    return xmllintError(file);
}

InvoiceHeader deferredHeader()
{
    InvoiceHeader h{QStringLiteral("2026-12"), QStringLiteral("30.11.2026")};
    h.dokumentart = DeferredInvoiceKind;
    return h;
}

InvoiceLine noteLine(const QString &description, const QString &noteNr, const QString &noteDate)
{
    InvoiceLine line{description, QStringLiteral("2"), QStringLiteral("5")};
    line.lieferschein_nr = noteNr;
    line.lieferschein_datum = noteDate;
    return line;
}

FatturaPA build(const InvoiceHeader &header, const QList<InvoiceLine> &lines)
{
    return buildFatturaPA(sample::nursery(), sample::company(), {header, {}, lines}, QStringLiteral("00042"),
                          CommaSeparators, Today);
}

} // namespace

class TestDeferredEInvoice : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void monthOfNotesBecomesOneTD24();
    void handAddedLineNamesNoNote();
    void refusals_data();
    void refusals();
};

void TestDeferredEInvoice::monthOfNotesBecomesOneTD24()
{
    testdb::Fixture db;
    SqliteDatabase c;
    c.open(db.file());
    sample::addDeliveryMonth(c);
    const Invoice made =
        makeDeferredInvoice(c, CommaSeparators, {.customerId = 1, .month = QDate(2026, 11, 1), .date = QDate(2026, 11, 30)});

    FatturaPA file;
    QCOMPARE(errorOf<ConversionError>([&] { file = build(made.header, made.lines); }), QString());
    QCOMPARE(generalData(file.xml), (QStringList{
                                        QStringLiteral("DatiGeneraliDocumento/TipoDocumento=TD24"),
                                        QStringLiteral("DatiGeneraliDocumento/Divisa=EUR"),
                                        QStringLiteral("DatiGeneraliDocumento/Data=2026-11-30"),
                                        QStringLiteral("DatiGeneraliDocumento/Numero=2026-1"),
                                        QStringLiteral("DatiGeneraliDocumento/ImportoTotaleDocumento=336.87"),
                                        // Olive tree and pot came with note 9, the box balls with 12,
                                        // lavender and soil with 14.
                                        QStringLiteral("DatiDDT/NumeroDDT=9"),
                                        QStringLiteral("DatiDDT/DataDDT=2026-11-03"),
                                        QStringLiteral("DatiDDT/RiferimentoNumeroLinea=1"),
                                        QStringLiteral("DatiDDT/RiferimentoNumeroLinea=2"),
                                        QStringLiteral("DatiDDT/NumeroDDT=12"),
                                        QStringLiteral("DatiDDT/DataDDT=2026-11-03"),
                                        QStringLiteral("DatiDDT/RiferimentoNumeroLinea=3"),
                                        QStringLiteral("DatiDDT/NumeroDDT=14"),
                                        QStringLiteral("DatiDDT/DataDDT=2026-11-20"),
                                        QStringLiteral("DatiDDT/RiferimentoNumeroLinea=4"),
                                        QStringLiteral("DatiDDT/RiferimentoNumeroLinea=5"),
                                    }));
    // The file's totals are the notes' sums.
    QCOMPARE(file.net, QStringLiteral("304.50"));
    QCOMPARE(file.tax, QStringLiteral("32.37"));
    QCOMPARE(validatedByXmllint(file.xml), QString());
    QCOMPARE(errorOf<ConversionError>([&] { validateFatturaPA(file.xml, bundledSchemaFile()); }), QString());
}

void TestDeferredEInvoice::handAddedLineNamesNoNote()
{
    // Freight added in the editor between two lines of note 9.
    const QList<InvoiceLine> lines{noteLine(QStringLiteral("Olivenbaum"), QStringLiteral("9"), QStringLiteral("03.11.2026")),
                                   InvoiceLine{QStringLiteral("Fracht"), QStringLiteral("1"), QStringLiteral("25")},
                                   noteLine(QStringLiteral("Pflanztopf"), QStringLiteral("9"), QStringLiteral("03.11.2026"))};
    FatturaPA file;
    QCOMPARE(errorOf<ConversionError>([&] { file = build(deferredHeader(), lines); }), QString());
    const QStringList general = generalData(file.xml);
    QCOMPARE(general.mid(5), (QStringList{QStringLiteral("DatiDDT/NumeroDDT=9"), QStringLiteral("DatiDDT/DataDDT=2026-11-03"),
                                          QStringLiteral("DatiDDT/RiferimentoNumeroLinea=1"),
                                          QStringLiteral("DatiDDT/RiferimentoNumeroLinea=3")}));
    QCOMPARE(validatedByXmllint(file.xml), QString());

    // An ordinary invoice names no delivery notes, whatever its lines carry.
    InvoiceHeader ordinary = deferredHeader();
    ordinary.dokumentart.clear();
    QCOMPARE(errorOf<ConversionError>([&] { file = build(ordinary, lines); }), QString());
    QVERIFY(generalData(file.xml).contains(QStringLiteral("DatiGeneraliDocumento/TipoDocumento=TD01")));
    QVERIFY(!QString::fromUtf8(file.xml).contains(QStringLiteral("DatiDDT")));
}

void TestDeferredEInvoice::refusals_data()
{
    QTest::addColumn<QList<InvoiceLine>>("lines");
    QTest::addColumn<QString>("error");

    QTest::newRow("no line names a note")
        << QList<InvoiceLine>{InvoiceLine{QStringLiteral("Rosen"), QStringLiteral("2"), QStringLiteral("5")}}
        << QStringLiteral("Sammelrechnung: Keine Zeile nennt den Lieferschein, mit dem geliefert wurde; das Austauschsystem "
                          "nimmt eine Sammelrechnung (TD24) nur mit ihren Lieferscheinen an. Bitte die Sammelrechnung über "
                          "„Rechnung“ → „Sammelrechnung aus Lieferscheinen ...“ erstellen.");
    QTest::newRow("number over 20 characters")
        << QList<InvoiceLine>{noteLine(QStringLiteral("Rosen"), QStringLiteral("LS-2026-000000000001"), QStringLiteral("03.11.2026")),
                              noteLine(QStringLiteral("Erde"), QStringLiteral("LS-2026-0000000000012"), QStringLiteral("03.11.2026"))}
        << QStringLiteral("Zeile 2: Das Feld „Lieferschein Nr.“ ist 21 Zeichen lang, die elektronische Rechnung erlaubt "
                          "höchstens 20: bitte kürzen.");
    QTest::newRow("note without date")
        << QList<InvoiceLine>{noteLine(QStringLiteral("Rosen"), QStringLiteral("9"), QString())}
        << QStringLiteral("Zeile 1: Das Feld „Lieferschein vom“ muss das Datum des Lieferscheins in der Form TT.MM.JJJJ "
                          "sein, nicht ''.");
    QTest::newRow("date without note")
        << QList<InvoiceLine>{noteLine(QStringLiteral("Rosen"), QStringLiteral("9"), QStringLiteral("03.11.2026")),
                              noteLine(QStringLiteral("Erde"), QStringLiteral(" "), QStringLiteral("03.11.2026"))}
        << QStringLiteral("Zeile 2: Das Feld „Lieferschein Nr.“ ist leer: bitte ausfüllen.");
    // The last day that still counts.
    QTest::newRow("note on the invoice's day")
        << QList<InvoiceLine>{noteLine(QStringLiteral("Rosen"), QStringLiteral("9"), QStringLiteral("30.11.2026"))} << QString();
    QTest::newRow("note after the invoice")
        << QList<InvoiceLine>{noteLine(QStringLiteral("Rosen"), QStringLiteral("9"), QStringLiteral("01.12.2026"))}
        << QStringLiteral("Zeile 1: Der Lieferschein Nr. 9 vom 01.12.2026 liegt nach dem Rechnungsdatum 30.11.2026; eine "
                          "Sammelrechnung kann nur Lieferungen bis zu ihrem Datum enthalten. Bitte das Rechnungsdatum "
                          "berichtigen.");
}

void TestDeferredEInvoice::refusals()
{
    QFETCH(QList<InvoiceLine>, lines);
    QFETCH(QString, error);
    QCOMPARE(errorOf<ConversionError>([&] { build(deferredHeader(), lines); }), error);
}

QTEST_GUILESS_MAIN(TestDeferredEInvoice)
#include "tst_deferredeinvoice.moc"
