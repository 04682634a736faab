// What an invoice of several VAT rates, of sales free of VAT and of the usual
// payment terms turns into in the e-invoice, and the export's own record:
// which transmission number a file gets, and that no number is handed out
// twice, not even by a restored copy of the database.

#include "errorof.h"
#include "samples.h"
#include "testdb.h"
#include "xmllint.h"

#include "data/amount.h"
#include "data/errors.h"
#include "data/sqlitedatabase.h"
#include "einvoice/exportrecord.h"
#include "einvoice/fatturapa.h"
#include "einvoice/paymentterms.h"
#include "einvoice/store.h"
#include "einvoice/validation.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>
#include <QXmlStreamReader>

using namespace einvoice;

Q_DECLARE_METATYPE(QList<InvoiceLine>)

namespace {

const Separators TypedIn{QLatin1Char(','), QLatin1Char('.')};
InvoiceHeader header(const QString &nr = QStringLiteral("17"))
{
    InvoiceHeader h;
    h.nr = nr;
    h.datum = QStringLiteral("08.01.2004");
    return h;
}

QString referenceSchema() { return schemaFileIn(QStringLiteral(FATTURAPA_REFERENCE_DIR)); }

InvoiceLine line(const char *description, const char *quantity, const char *price, const char *rate = "",
                 const char *nature = "")
{
    InvoiceLine l;
    l.beschreibung = QString::fromUtf8(description);
    l.anzahl = QString::fromUtf8(quantity);
    l.einzelpreis = QString::fromUtf8(price);
    l.steuersatz = QString::fromUtf8(rate);
    l.natura = QString::fromUtf8(nature);
    return l;
}

// The leaves of every element called `name`, child by child.
QList<QMap<QString, QString>> elements(const QByteArray &xml, const QString &name)
{
    QList<QMap<QString, QString>> found;
    QXmlStreamReader r(xml);
    int depth = 0;      // within an element of that name: 1 on it, more below
    QString child;
    while (!r.atEnd()) {
        switch (r.readNext()) {
        case QXmlStreamReader::StartElement:
            if (depth > 0) {
                ++depth;
                child = r.name().toString();
            } else if (r.name() == name) {
                depth = 1;
                found.append(QMap<QString, QString>());
            }
            break;
        case QXmlStreamReader::Characters:
            if (depth == 2 && !r.isWhitespace())
                found.last()[child] += r.text();
            break;
        case QXmlStreamReader::EndElement:
            if (depth > 0)
                --depth;
            break;
        default:
            break;
        }
    }
    if (r.hasError())
        qWarning("XML not readable: %s", qPrintable(r.errorString()));
    return found;
}

// "rate|nature|taxable|tax|reference" of each summary, in the file's order.
QStringList summaries(const QByteArray &xml)
{
    QStringList out;
    for (const QMap<QString, QString> &s : elements(xml, QStringLiteral("DatiRiepilogo")))
        out << QStringList{s.value(QStringLiteral("AliquotaIVA")), s.value(QStringLiteral("Natura")),
                           s.value(QStringLiteral("ImponibileImporto")), s.value(QStringLiteral("Imposta")),
                           s.value(QStringLiteral("RiferimentoNormativo"))}
                   .join(QLatin1Char('|'));
    return out;
}

// "rate|nature|total" of each line.
QStringList lineRates(const QByteArray &xml)
{
    QStringList out;
    for (const QMap<QString, QString> &l : elements(xml, QStringLiteral("DettaglioLinee")))
        out << QStringList{l.value(QStringLiteral("AliquotaIVA")), l.value(QStringLiteral("Natura")),
                           l.value(QStringLiteral("PrezzoTotale"))}
                   .join(QLatin1Char('|'));
    return out;
}

// A sum of amounts of two decimals, in cents, counted without a binary
// fraction: the summaries must hold their lines' sums exactly.
qint64 cents(const QString &amount)
{
    const QStringList parts = amount.split(QLatin1Char('.'));
    const qint64 whole = parts.value(0).toLongLong();
    const qint64 fraction = parts.value(1).toLongLong();
    return amount.startsWith(QLatin1Char('-')) ? whole * 100 - fraction : whole * 100 + fraction;
}

// The clock at a given minute after the transmission numbers' epoch.
QDateTime minute(qint64 minutes)
{
    return QDateTime(QDate(2024, 1, 1), QTime(0, 0), QTimeZone::utc()).addSecs(minutes * 60);
}

QString sha256Of(const QString &file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromLatin1(QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256).toHex());
}

void touch(const QString &file)
{
    QFile f(file);
    if (!f.open(QIODevice::WriteOnly))
        qFatal("cannot make %s", qPrintable(file));
    f.write("sent before");
}

const QString Customers = QStringLiteral(
    "INSERT INTO kunde (id, name, adresse, piva) VALUES (5, 'Vivai Bernardi S.n.c.', 'Via delle Camelie 7', 'IT00000000208')");

// A file with the business and one customer, opened.
struct Store
{
    testdb::Fixture db{Customers};
    SqliteDatabase connection;
    QTemporaryDir out;

    Store()
    {
        connection.open(db.file());
        saveSeller(connection, sample::nursery());
    }

    ExportResult exportAt(const QDateTime &now, const QString &nr = QStringLiteral("17"), bool again = false,
                          const QString &folder = QString())
    {
        const Invoice invoice{header(nr), {}, {line("Rosen", "25", "3,80")}};
        return exportInvoice(connection, sample::nursery(), sample::company(), invoice, 2004,
                             folder.isEmpty() ? out.path() : folder, TypedIn, {.again = again, .now = now});
    }
    QString next() const { return db.scalar(QStringLiteral("SELECT naechste_uebertragung FROM firma")); }
};

} // namespace

class TestEInvoiceExport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void summariesPerRateAndNature_data()
    {
        QTest::addColumn<QList<InvoiceLine>>("lines");
        QTest::addColumn<QStringList>("expectedLines");
        QTest::addColumn<QStringList>("expectedSummaries");
        QTest::addColumn<QString>("gross");
        QTest::addColumn<bool>("stampDuty");

        // 25 × 3,80 = 95,00 at 10 %: 9,50; 3 × 45,50 = 136,50 at 22 %: 30,03.
        QTest::newRow("10 and 22 %")
            << QList<InvoiceLine>{line("Rosen", "25", "3,80"), line("Gartenarbeit (Std.)", "3", "45,50", "22")}
            << QStringList{"10.00||95.00", "22.00||136.50"}
            << QStringList{"22.00||136.50|30.03|", "10.00||95.00|9.50|"} << QStringLiteral("271.03") << false;
        // 23,97 at 4 % is 0,9588: rounded once, to 0,96; the sale into
        // another EU country carries no tax and names its law.
        QTest::newRow("10, 4 and 0 % N3.2")
            << QList<InvoiceLine>{line("Lavendel", "10", "2,15"), line("Dünger", "3", "7,99", "4"),
                                  line("Olivenbaum nach Innsbruck", "2", "40", "0", "N3.2"),
                                  line("Dünger, zweiter Sack", "1", "0,01", "4")}
            << QStringList{"10.00||21.50", "4.00||23.97", "0.00|N3.2|80.00", "4.00||0.01"}
            << QStringList{"10.00||21.50|2.15|", "4.00||23.98|0.96|", "0.00|N3.2|80.00|0.00|Non imponibile art. 41 DL 331/93"}
            << QStringLiteral("128.59") << false;
        // Exempt sales over 77,47 bear stamp duty: paid by the seller, so
        // not part of the document's total.
        QTest::newRow("all 0 % N4 over 77,47")
            << QList<InvoiceLine>{line("Pflanzschnitt Schulgarten", "1", "50", "0", "N4"),
                                  line("Pflanzschnitt Kindergarten", "1", "27,48", "0", "N4")}
            << QStringList{"0.00|N4|50.00", "0.00|N4|27.48"}
            << QStringList{"0.00|N4|77.48|0.00|Esente art. 10 DPR 633/72"} << QStringLiteral("77.48") << true;
        QTest::newRow("N4 of exactly 77,47: no stamp duty")
            << QList<InvoiceLine>{line("Pflanzschnitt", "1", "77,47", "0", "N4")} << QStringList{"0.00|N4|77.47"}
            << QStringList{"0.00|N4|77.47|0.00|Esente art. 10 DPR 633/72"} << QStringLiteral("77.47") << false;
        // Exports bear no stamp duty however large: each nature its own summary.
        QTest::newRow("two natures, one without stamp duty")
            << QList<InvoiceLine>{line("Palmen nach Lugano", "2", "400", "0", "N3.1"),
                                  line("Pflegekurs", "1", "60", "0", "N4")}
            << QStringList{"0.00|N3.1|800.00", "0.00|N4|60.00"}
            << QStringList{"0.00|N3.1|800.00|0.00|Non imponibile art. 8 DPR 633/72",
                           "0.00|N4|60.00|0.00|Esente art. 10 DPR 633/72"}
            << QStringLiteral("860.00") << false;
    }

    void summariesPerRateAndNature()
    {
        QFETCH(QList<InvoiceLine>, lines);
        QFETCH(QStringList, expectedLines);
        QFETCH(QStringList, expectedSummaries);
        QFETCH(QString, gross);
        QFETCH(bool, stampDuty);
        FatturaPA made;
        QCOMPARE(errorOf([&] {
                     made = buildFatturaPA(sample::nursery(), sample::company(), {header(), {}, lines},
                                           QStringLiteral("00042"), TypedIn);
                 }),
                 QString());
        QCOMPARE(errorOf([&] { validateFatturaPA(made.xml, referenceSchema()); }), QString());
        QCOMPARE(lineRates(made.xml), expectedLines);
        QCOMPARE(summaries(made.xml), expectedSummaries);
        QCOMPARE(made.gross, gross);

        // Each summary holds exactly what its lines add up to (the exchange
        // system's check 00422), and the document's total the summaries'.
        qint64 all = 0;
        for (const QMap<QString, QString> &s : elements(made.xml, QStringLiteral("DatiRiepilogo"))) {
            qint64 ofLines = 0;
            for (const QMap<QString, QString> &l : elements(made.xml, QStringLiteral("DettaglioLinee")))
                if (l.value(QStringLiteral("AliquotaIVA")) == s.value(QStringLiteral("AliquotaIVA"))
                    && l.value(QStringLiteral("Natura")) == s.value(QStringLiteral("Natura")))
                    ofLines += cents(l.value(QStringLiteral("PrezzoTotale")));
            QCOMPARE(cents(s.value(QStringLiteral("ImponibileImporto"))), ofLines);
            QVERIFY(!s.contains(QStringLiteral("Arrotondamento")));
            all += ofLines + cents(s.value(QStringLiteral("Imposta")));
        }
        QCOMPARE(all, cents(gross));

        const QList<QMap<QString, QString>> stamp = elements(made.xml, QStringLiteral("DatiBollo"));
        if (stampDuty) {
            QCOMPARE(stamp.size(), 1);
            QCOMPARE(stamp.first().value(QStringLiteral("BolloVirtuale")), QStringLiteral("SI"));
            QCOMPARE(stamp.first().value(QStringLiteral("ImportoBollo")), QStringLiteral("2.00"));
        } else {
            QCOMPARE(stamp.size(), 0);
        }
        QCOMPARE(made.notes, QStringList());
    }

    void paymentTerms_data()
    {
        QTest::addColumn<QString>("bezahlung");
        QTest::addColumn<bool>("iban");
        QTest::addColumn<QString>("payment");   // "modality|days|due date", "" for no DatiPagamento
        QTest::addColumn<QString>("note");      // what the notes say, "" for none

        // The invoice is of 08.01.2004; 2004 is a leap year.
        QTest::newRow("30 Tage") << "30 Tage" << true << "MP05|30|2004-02-07" << "";
        QTest::newRow("60 Tage, over the 29th of February") << "60 Tage" << true << "MP05|60|2004-03-08" << "";
        QTest::newRow("0 Tage: due at once") << "0 Tage" << true << "MP05|0|2004-01-08" << "";
        QTest::newRow("innerhalb 14 Tagen") << "innerhalb 14 Tagen" << true << "MP05|14|2004-01-22" << "";
        QTest::newRow("30 Tage netto.") << "  30 Tage netto. " << true << "MP05|30|2004-02-07" << "";
        QTest::newRow("30 gg d.f.") << "30 gg d.f." << true << "MP05|30|2004-02-07" << "";
        QTest::newRow("90 giorni") << "90 giorni" << true << "MP05|90|2004-04-07" << "";
        QTest::newRow("bezahlt") << "bezahlt" << true << "MP01||" << "";
        QTest::newRow("Barzahlung, no IBAN") << "Barzahlung" << false << "MP01||" << "";
        QTest::newRow("Bar bei Lieferung") << "Bar bei Lieferung" << true << "MP01||" << "";
        QTest::newRow("nothing typed") << "" << true << "MP05||" << "";
        QTest::newRow("nothing typed, no IBAN") << "" << false << "" << "";
        QTest::newRow("30 Tage without an IBAN")
            << "30 Tage" << false << ""
            << "Die Zahlungsbedingung „30 Tage“ verlangt eine Überweisung, aber die Firmendaten nennen keine IBAN";
        QTest::newRow("not understood") << "nach Vereinbarung" << true << "MP05||"
                                        << "Die Zahlungsbedingung „nach Vereinbarung“ versteht das Programm nicht";
        // End of the month is another due date than 30 days.
        QTest::newRow("30 gg fine mese") << "30 gg fm" << true << "MP05||" << "„30 gg fm“ versteht das Programm nicht";
        QTest::newRow("more days than the format allows")
            << "1000 Tage" << true << "MP05||" << "„1000 Tage“ versteht das Programm nicht";
        QTest::newRow("not understood, no IBAN") << "Scheck" << false << "" << "„Scheck“ versteht das Programm nicht";
    }

    void paymentTerms()
    {
        QFETCH(QString, bezahlung);
        QFETCH(bool, iban);
        QFETCH(QString, payment);
        QFETCH(QString, note);
        Seller seller = sample::nursery();
        if (!iban)
            seller.iban.clear();
        InvoiceHeader withTerms = header();
        withTerms.bezahlung = bezahlung;
        FatturaPA made;
        QCOMPARE(errorOf([&] {
                     made = buildFatturaPA(seller, sample::company(), {withTerms, {}, {line("Rosen", "25", "3,80")}},
                                           QStringLiteral("00042"), TypedIn);
                 }),
                 QString());
        QCOMPARE(errorOf([&] { validateFatturaPA(made.xml, referenceSchema()); }), QString());

        const QList<QMap<QString, QString>> details = elements(made.xml, QStringLiteral("DettaglioPagamento"));
        if (payment.isEmpty()) {
            QCOMPARE(elements(made.xml, QStringLiteral("DatiPagamento")).size(), 0);
        } else {
            QCOMPARE(details.size(), 1);
            const QMap<QString, QString> &d = details.first();
            QCOMPARE(QStringList({d.value(QStringLiteral("ModalitaPagamento")), d.value(QStringLiteral("GiorniTerminiPagamento")),
                                  d.value(QStringLiteral("DataScadenzaPagamento"))})
                         .join(QLatin1Char('|')),
                     payment);
            QCOMPARE(d.value(QStringLiteral("ImportoPagamento")), QStringLiteral("104.50"));
            // The seller's account goes with a transfer only.
            QCOMPARE(d.contains(QStringLiteral("IBAN")), d.value(QStringLiteral("ModalitaPagamento")) == QLatin1String("MP05"));
            if (d.contains(QStringLiteral("GiorniTerminiPagamento")))
                QCOMPARE(d.value(QStringLiteral("DataRiferimentoTerminiPagamento")), QStringLiteral("2004-01-08"));
        }
        if (note.isEmpty()) {
            QCOMPARE(made.notes, QStringList());
        } else {
            QCOMPARE(made.notes.size(), 1);
            QVERIFY2(made.notes.first().contains(note), qPrintable(made.notes.first()));
        }
    }

    void dueDateOfTheHeader_data()
    {
        QTest::addColumn<QString>("bezahlung");
        QTest::addColumn<QString>("faellig");
        QTest::addColumn<bool>("iban");
        QTest::addColumn<QString>("payment");   // "modality|days|due date", "" for no DatiPagamento
        QTest::addColumn<QString>("note");      // what the notes say, "" for none

        // The invoice is of 08.01.2004.
        QTest::newRow("as the terms gave it") << "30 Tage" << "07.02.2004" << true << "MP05|30|2004-02-07" << "";
        QTest::newRow("typed over 30 Tage") << "30 Tage" << "20.02.2004" << true << "MP05|43|2004-02-20" << "";
        QTest::newRow("terms not understood: the due date tells")
            << "nach Vereinbarung" << "15.02.2004" << true << "MP05|38|2004-02-15" << "";
        QTest::newRow("no terms, due at once") << "" << "08.01.2004" << true << "MP05|0|2004-01-08" << "";
        QTest::newRow("due before the invoice: the date alone") << "30 Tage" << "01.01.2004" << true << "MP05||2004-01-01" << "";
        QTest::newRow("cash: settled, no due date") << "bar" << "08.01.2004" << true << "MP01||" << "";
        QTest::newRow("no IBAN: no payment data, as without a due date")
            << "30 Tage" << "20.02.2004" << false << "" << "nennen keine IBAN";
        QTest::newRow("a due date that is no date: the terms tell") << "30 Tage" << "bald" << true << "MP05|30|2004-02-07" << "";
    }

    void dueDateOfTheHeader()
    {
        QFETCH(QString, bezahlung);
        QFETCH(QString, faellig);
        QFETCH(bool, iban);
        QFETCH(QString, payment);
        QFETCH(QString, note);
        Seller seller = sample::nursery();
        if (!iban)
            seller.iban.clear();
        InvoiceHeader withDue = header();
        withDue.bezahlung = bezahlung;
        withDue.faellig = faellig;
        FatturaPA made;
        QCOMPARE(errorOf([&] {
                     made = buildFatturaPA(seller, sample::company(), {withDue, {}, {line("Rosen", "25", "3,80")}},
                                           QStringLiteral("00042"), TypedIn);
                 }),
                 QString());
        QCOMPARE(errorOf([&] { validateFatturaPA(made.xml, referenceSchema()); }), QString());
        const QList<QMap<QString, QString>> details = elements(made.xml, QStringLiteral("DettaglioPagamento"));
        if (payment.isEmpty()) {
            QCOMPARE(elements(made.xml, QStringLiteral("DatiPagamento")).size(), 0);
        } else {
            QCOMPARE(details.size(), 1);
            const QMap<QString, QString> &d = details.first();
            QCOMPARE(QStringList({d.value(QStringLiteral("ModalitaPagamento")), d.value(QStringLiteral("GiorniTerminiPagamento")),
                                  d.value(QStringLiteral("DataScadenzaPagamento"))})
                         .join(QLatin1Char('|')),
                     payment);
            QCOMPARE(d.contains(QStringLiteral("DataRiferimentoTerminiPagamento")), d.contains(QStringLiteral("GiorniTerminiPagamento")));
            if (d.contains(QStringLiteral("GiorniTerminiPagamento")))
                QCOMPARE(d.value(QStringLiteral("DataRiferimentoTerminiPagamento")), QStringLiteral("2004-01-08"));
        }
        if (note.isEmpty()) {
            QCOMPARE(made.notes, QStringList());
        } else {
            QCOMPARE(made.notes.size(), 1);
            QVERIFY2(made.notes.first().contains(note), qPrintable(made.notes.first()));
        }
    }

    void clockTransmissionNumber_data()
    {
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<QString>("number");
        QTest::newRow("the epoch") << minute(0) << "00000";
        QTest::newRow("59 seconds later") << minute(0).addSecs(59) << "00000";
        QTest::newRow("a minute later") << minute(1) << "00001";
        QTest::newRow("ten minutes: a letter") << minute(10) << "0000A";
        QTest::newRow("36 minutes") << minute(36) << "00010";
        // 2026-12-11 07:30 UTC is 1,548,450 minutes on = 33·36³ + 6·36² + 28·36 + 18.
        QTest::newRow("December 2026") << QDateTime(QDate(2026, 12, 11), QTime(7, 30), QTimeZone::utc()) << "0X6SI";
        QTest::newRow("the same minute in Rome") << QDateTime(QDate(2026, 12, 11), QTime(8, 30), QTimeZone(QByteArrayLiteral("Europe/Rome")))
                                                 << "0X6SI";
        QTest::newRow("the last minute 5 places hold") << minute(60466175) << "ZZZZZ";
        QTest::newRow("a clock set before the epoch") << minute(-5) << "00000";
    }

    void clockTransmissionNumber()
    {
        QFETCH(QDateTime, now);
        QFETCH(QString, number);
        QCOMPARE(einvoice::clockTransmissionNumber(now), number);
        QCOMPARE(transmissionNumberOf(transmissionValue(number).value()), number);
    }

    void transmissionNumberIsTheNextFree_data()
    {
        QTest::addColumn<qint64>("clock");          // minutes after the epoch
        QTest::addColumn<QString>("stored");        // naechste_uebertragung
        QTest::addColumn<QStringList>("files");     // already in the folder
        QTest::addColumn<QStringList>("recorded");  // numbers in the record
        QTest::addColumn<QString>("number");

        // 1000 minutes = 27·36 + 28: "000RS".
        QTest::newRow("the clock") << qint64(1000) << "00041" << QStringList() << QStringList() << "000RS";
        QTest::newRow("a typed number above the clock") << qint64(1000) << "ZZ000" << QStringList() << QStringList() << "ZZ000";
        QTest::newRow("typed in small letters") << qint64(1000) << "zz000" << QStringList() << QStringList() << "ZZ000";
        QTest::newRow("a short typed number") << qint64(0) << "7" << QStringList() << QStringList() << "00007";
        QTest::newRow("a file of the number in the folder")
            << qint64(1000) << "00041" << QStringList{"IT01234567897_000RS.xml"} << QStringList() << "000RT";
        // On a file system that ignores case, 000rs.xml and 000RS.xml are one file.
        QTest::newRow("the file's name in small letters")
            << qint64(1000) << "00041" << QStringList{"IT01234567897_000rs.xml"} << QStringList() << "000RT";
        QTest::newRow("a signed file")
            << qint64(1000) << "00041" << QStringList{"IT01234567897_000RS.xml.p7m"} << QStringList() << "000RT";
        QTest::newRow("another seller's file")
            << qint64(1000) << "00041" << QStringList{"IT09876543210_000RS.xml"} << QStringList() << "000RS";
        QTest::newRow("numbers in the record")
            << qint64(1000) << "00041" << QStringList() << QStringList{"000RS", "000rt"} << "000RU";
        QTest::newRow("record and folder together")
            << qint64(1000) << "00041" << QStringList{"IT01234567897_000RT.xml"} << QStringList{"000RS"} << "000RU";
    }

    void transmissionNumberIsTheNextFree()
    {
        QFETCH(qint64, clock);
        QFETCH(QString, stored);
        QFETCH(QStringList, files);
        QFETCH(QStringList, recorded);
        QFETCH(QString, number);
        Store s;
        s.db.exec(QStringLiteral("UPDATE firma SET naechste_uebertragung = '%1'").arg(stored));
        for (const QString &n : recorded)
            s.db.exec(QStringLiteral("INSERT INTO efattura_exporte (jahr, nr, uebertragung) VALUES (2003, '1', '%1')").arg(n));
        for (const QString &f : files)
            touch(QDir(s.out.path()).filePath(f));
        ExportResult result;
        QCOMPARE(errorOf([&] { result = s.exportAt(minute(clock)); }), QString());
        QCOMPARE(result.transmissionNumber, number);
        QCOMPARE(QFileInfo(result.path).fileName(), QStringLiteral("IT01234567897_%1.xml").arg(number));
        QCOMPARE(xmllintError(result.path), QString());
        QCOMPARE(s.next(), transmissionNumberOf(transmissionValue(number).value() + 1).value());
    }

    void exportIsRecorded()
    {
        Store s;
        const QDateTime now = QDateTime(QDate(2026, 12, 11), QTime(7, 30, 15), QTimeZone::utc());
        const ExportResult first = s.exportAt(now);
        QCOMPARE(first.transmissionNumber, QStringLiteral("0X6SI"));
        QCOMPARE(first.notes, QStringList());
        QCOMPARE(xmllintError(first.path), QString());
        QCOMPARE(s.db.scalar(QStringLiteral("SELECT group_concat(jahr || '|' || nr || '|' || datei || '|' || uebertragung "
                                            "|| '|' || zeit, char(10)) FROM efattura_exporte")),
                 QStringLiteral("2004|17|IT01234567897_0X6SI.xml|0X6SI|")
                     + now.toLocalTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")));
        QCOMPARE(s.db.scalar(QStringLiteral("SELECT sha256 FROM efattura_exporte")), sha256Of(first.path));

        // Exported before: refused with when and as what, nothing written.
        const QString when = now.toLocalTime().toString(QStringLiteral("'am' dd.MM.yyyy 'um' HH:mm 'Uhr'"));
        const QString fact = QStringLiteral("Diese Rechnung wurde %1 als IT01234567897_0X6SI.xml exportiert.").arg(when);
        const std::optional<PreviousExport> previous = lastExport(s.connection, 2004, QStringLiteral("17"));
        QVERIFY(previous.has_value());
        QCOMPARE(exportAgainQuestion(*previous), fact + QStringLiteral(" Noch einmal exportieren?"));
        QVERIFY(!lastExport(s.connection, 2003, QStringLiteral("17")).has_value());
        QVERIFY(!lastExport(s.connection, 2004, QStringLiteral("18")).has_value());
        const QString refusal = errorOf<ConversionError>([&] { s.exportAt(now.addSecs(60)); });
        QVERIFY2(refusal.startsWith(fact), qPrintable(refusal));
        QCOMPARE(QDir(s.out.path()).entryList(QDir::Files).size(), 1);
        QCOMPARE(s.db.scalar(QStringLiteral("SELECT count(*) FROM efattura_exporte")), QStringLiteral("1"));
        QCOMPARE(s.next(), QStringLiteral("0X6SJ"));

        // Again when asked for: a second file and a second entry, the latest
        // the one a question names.
        const ExportResult again = s.exportAt(now.addSecs(60), QStringLiteral("17"), true);
        QCOMPARE(again.transmissionNumber, QStringLiteral("0X6SJ"));
        QCOMPARE(s.db.scalar(QStringLiteral("SELECT count(*) FROM efattura_exporte WHERE jahr = 2004 AND nr = '17'")),
                 QStringLiteral("2"));
        QCOMPARE(lastExport(s.connection, 2004, QStringLiteral("17"))->fileName, QStringLiteral("IT01234567897_0X6SJ.xml"));
        QCOMPARE(s.db.scalar(QStringLiteral("SELECT sha256 FROM efattura_exporte WHERE uebertragung = '0X6SJ'")),
                 sha256Of(again.path));
    }

    void fileWithoutRecordExportsUnrecorded()
    {
        Store s;
        s.db.exec(QStringLiteral("DROP TABLE efattura_exporte"));
        QVERIFY(!hasExportRecord(s.connection));
        const ExportResult first = s.exportAt(minute(1000));
        QCOMPARE(first.transmissionNumber, QStringLiteral("000RS"));
        QVERIFY(!lastExport(s.connection, 2004, QStringLiteral("17")).has_value());
        // Nothing tells it was exported; the number still moves on.
        const ExportResult second = s.exportAt(minute(1000));
        QCOMPARE(second.transmissionNumber, QStringLiteral("000RT"));
        QCOMPARE(xmllintError(second.path), QString());
    }

    void recordFailingLeavesNothing()
    {
        Store s;
        s.db.exec(QStringLiteral("CREATE TRIGGER no_record BEFORE INSERT ON efattura_exporte "
                                 "BEGIN SELECT RAISE(ABORT, 'gesperrt'); END"));
        const QString message = errorOf([&] { s.exportAt(minute(1000)); });
        QVERIFY2(message.startsWith(QStringLiteral("Der Export kann nicht in der Liste der elektronischen Rechnungen "
                                                   "vermerkt werden")),
                 qPrintable(message));
        QCOMPARE(QDir(s.out.path()).entryList(QDir::Files), QStringList());
        QCOMPARE(s.next(), QStringLiteral("00041"));
    }

    // A backup restored: the copy was made before the original's exports,
    // so its record and its next number know nothing of them.
    void restoredCopyNeverRepeatsANumber_data()
    {
        QTest::addColumn<int>("exportsBefore");   // the original's, in one minute
        QTest::addColumn<qint64>("copyLater");    // minutes after them the copy exports
        QTest::addColumn<bool>("sameFolder");
        QTest::newRow("one export, the copy a minute later") << 1 << qint64(1) << false;
        QTest::newRow("three in one minute, the copy three minutes later") << 3 << qint64(3) << false;
        QTest::newRow("a day later") << 20 << qint64(24 * 60) << false;
        // Within the minute the folder still tells.
        QTest::newRow("in the same minute, into the same folder") << 3 << qint64(0) << true;
    }

    void restoredCopyNeverRepeatsANumber()
    {
        QFETCH(int, exportsBefore);
        QFETCH(qint64, copyLater);
        QFETCH(bool, sameFolder);
        Store original;
        QTemporaryDir backup;
        const QString copyFile = backup.filePath(QStringLiteral("rechungen.mdb"));
        QVERIFY(QFile::copy(original.db.file(), copyFile));

        const qint64 start = 1548450;
        QSet<QString> handedOut;
        for (int i = 0; i < exportsBefore; ++i)
            handedOut.insert(original.exportAt(minute(start), QString::number(i + 1)).transmissionNumber);
        QCOMPARE(handedOut.size(), exportsBefore);

        SqliteDatabase copy;
        copy.open(copyFile);
        QTemporaryDir otherFolder;
        for (int i = 0; i < exportsBefore; ++i) {
            const Invoice invoice{header(QString::number(i + 1)), {}, {line("Rosen", "25", "3,80")}};
            const ExportResult r = exportInvoice(copy, sample::nursery(), sample::company(), invoice, 2004,
                                                 sameFolder ? original.out.path() : otherFolder.path(), TypedIn,
                                                 {.again = false, .now = minute(start + copyLater)});
            QVERIFY2(!handedOut.contains(r.transmissionNumber), qPrintable(r.transmissionNumber));
            handedOut.insert(r.transmissionNumber);
            QCOMPARE(xmllintError(r.path), QString());
        }
        QCOMPARE(handedOut.size(), 2 * exportsBefore);
    }

    void stampDutyExportValidates()
    {
        Store s;
        const Invoice invoice{header(), {}, {line("Pflanzschnitt Schulgarten", "2", "45", "0", "N4")}};
        const ExportResult r = exportInvoice(s.connection, sample::nursery(), sample::company(), invoice, 2004,
                                             s.out.path(), TypedIn, {.again = false, .now = minute(1000)});
        QCOMPARE(xmllintError(r.path), QString());
        QFile f(r.path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(elements(f.readAll(), QStringLiteral("DatiBollo")).size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestEInvoiceExport)
#include "tst_einvoiceexport.moc"
