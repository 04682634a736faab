// The electronic credit note (TD04): the invoice it corrects in
// DatiFattureCollegate, in the schema's order, and the refusals that keep a
// refund out of an ordinary invoice.

#include "errorof.h"
#include "samples.h"
#include "xmllint.h"

#include "data/errors.h"
#include "einvoice/fatturapa.h"
#include "einvoice/validation.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

using namespace einvoice;

Q_DECLARE_METATYPE(InvoiceHeader)
Q_DECLARE_METATYPE(QList<InvoiceLine>)

namespace {

const Separators Comma{QLatin1Char(','), QLatin1Char('.')};
const QDate Today(2026, 3, 9);

QList<InvoiceLine> plants()
{
    return {{QStringLiteral("Rosen 'Gloria Dei'"), QStringLiteral("25"), QStringLiteral("3,80")},
            {QStringLiteral("Buchsbaum-Kugel"), QStringLiteral("6"), QStringLiteral("14,90")}};
}

InvoiceHeader invoiceHeader() { return {QStringLiteral("2026-5"), QStringLiteral("02.03.2026")}; }

InvoiceHeader creditNoteHeader()
{
    InvoiceHeader h{QStringLiteral("GS-2026-1"), QStringLiteral("09.03.2026")};
    h.dokumentart = CreditNoteKind;
    h.bezug_nr = QStringLiteral("2026-5");
    h.bezug_datum = QStringLiteral("02.03.2026");
    return h;
}

FatturaPA build(const InvoiceHeader &header, const QList<InvoiceLine> &lines)
{
    return buildFatturaPA(sample::nursery(), sample::company(), {header, {}, lines}, QStringLiteral("00042"), Comma, Today);
}

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
                const QString name = path.mid(at + 1).join(QLatin1Char('/'));
                out << name + QLatin1Char('=') + r.readElementText();
                path.removeLast();
            }
        } else if (token == QXmlStreamReader::EndElement) {
            path.removeLast();
        }
    }
    return out;
}

// The published schema, read by xmllint from a file.
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

} // namespace

class TestCreditNote : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void creditNoteNamesItsInvoice();
    void invoiceStaysTD01WithoutReference();
    void refusals_data();
    void refusals();
};

void TestCreditNote::creditNoteNamesItsInvoice()
{
    FatturaPA file;
    QCOMPARE(errorOf<ConversionError>([&] { file = build(creditNoteHeader(), plants()); }), QString());
    QCOMPARE(generalData(file.xml), (QStringList{
                                        QStringLiteral("DatiGeneraliDocumento/TipoDocumento=TD04"),
                                        QStringLiteral("DatiGeneraliDocumento/Divisa=EUR"),
                                        QStringLiteral("DatiGeneraliDocumento/Data=2026-03-09"),
                                        QStringLiteral("DatiGeneraliDocumento/Numero=GS-2026-1"),
                                        // 25 × 3,80 + 6 × 14,90 = 184,40 net, 10 % tax: positive, as credited.
                                        QStringLiteral("DatiGeneraliDocumento/ImportoTotaleDocumento=202.84"),
                                        QStringLiteral("DatiFattureCollegate/IdDocumento=2026-5"),
                                        QStringLiteral("DatiFattureCollegate/Data=2026-03-02"),
                                    }));
    QCOMPARE(file.gross, QStringLiteral("202.84"));
    QCOMPARE(validatedByXmllint(file.xml), QString());
    QCOMPARE(errorOf<ConversionError>([&] { validateFatturaPA(file.xml, bundledSchemaFile()); }), QString());
}

void TestCreditNote::invoiceStaysTD01WithoutReference()
{
    // A deduction line in an invoice that stays positive is allowed.
    QList<InvoiceLine> lines = plants();
    lines << InvoiceLine{QStringLiteral("Rabatt"), QStringLiteral("1"), QStringLiteral("-50")};
    // A reference left in an invoice's header is no credit note's.
    InvoiceHeader header = invoiceHeader();
    header.bezug_nr = QStringLiteral("2025-1");
    FatturaPA file;
    QCOMPARE(errorOf<ConversionError>([&] { file = build(header, lines); }), QString());
    const QStringList general = generalData(file.xml);
    QVERIFY(general.contains(QStringLiteral("DatiGeneraliDocumento/TipoDocumento=TD01")));
    QVERIFY(!general.join(QLatin1Char('\n')).contains(QStringLiteral("DatiFattureCollegate")));
    QCOMPARE(file.gross, QStringLiteral("147.84"));
    QCOMPARE(validatedByXmllint(file.xml), QString());
}

void TestCreditNote::refusals_data()
{
    QTest::addColumn<InvoiceHeader>("header");
    QTest::addColumn<QList<InvoiceLine>>("lines");
    QTest::addColumn<QString>("error");

    const QString pointer = QStringLiteral("Bitte die Gutschrift zur Rechnung über „Rechnung“ → „Gutschrift zu dieser "
                                           "Rechnung ...“ erstellen.");
    InvoiceHeader h = creditNoteHeader();
    h.bezug_nr = QStringLiteral("  ");
    QTest::newRow("credit note without its invoice")
        << h << plants()
        << QStringLiteral("Gutschrift: Die Gutschrift nennt nicht die Rechnung, zu der sie gehört; die elektronische "
                          "Gutschrift muss deren Nummer und Datum angeben. ")
               + pointer;
    h = creditNoteHeader();
    h.bezug_datum.clear();
    QTest::newRow("credit note without the invoice's date")
        << h << plants()
        << QStringLiteral("Gutschrift: Das Feld „zu Rechnung vom“ muss das Datum der Rechnung in der Form TT.MM.JJJJ "
                          "sein, nicht ''. ")
               + pointer;
    h = creditNoteHeader();
    h.bezug_nr = QStringLiteral("2026-5-Nachtrag-Lieferung");
    QTest::newRow("invoice number too long for the reference")
        << h << plants()
        << QStringLiteral("Gutschrift: Das Feld „zu Rechnung Nr.“ ist 25 Zeichen lang, die elektronische Rechnung erlaubt "
                          "höchstens 20: bitte kürzen.");

    QList<InvoiceLine> refund = plants();
    for (InvoiceLine &l : refund)
        l.einzelpreis.prepend(QLatin1Char('-'));
    QTest::newRow("negative invoice")
        << invoiceHeader() << refund
        << QStringLiteral("Die Rechnung 2026-5 ergibt einen negativen Gesamtbetrag (-202.84); eine elektronische Rechnung "
                          "darf nicht negativ sein. Bitte für die Rückerstattung eine Gutschrift zur ursprünglichen "
                          "Rechnung erstellen: „Rechnung“ → „Gutschrift zu dieser Rechnung ...“.");
    QList<InvoiceLine> mostlyDeducted = plants();
    mostlyDeducted << InvoiceLine{QStringLiteral("Gutschrift Vorjahr"), QStringLiteral("1"), QStringLiteral("-184,41")};
    QTest::newRow("deduction beyond the invoice")
        << invoiceHeader() << mostlyDeducted
        << QStringLiteral("Die Rechnung 2026-5 ergibt einen negativen Gesamtbetrag (-0.01); eine elektronische Rechnung "
                          "darf nicht negativ sein. Bitte für die Rückerstattung eine Gutschrift zur ursprünglichen "
                          "Rechnung erstellen: „Rechnung“ → „Gutschrift zu dieser Rechnung ...“.");
}

void TestCreditNote::refusals()
{
    QFETCH(InvoiceHeader, header);
    QFETCH(QList<InvoiceLine>, lines);
    QFETCH(QString, error);
    QCOMPARE(errorOf<ConversionError>([&] { build(header, lines); }), error);
}

QTEST_GUILESS_MAIN(TestCreditNote)
#include "tst_creditnote.moc"
