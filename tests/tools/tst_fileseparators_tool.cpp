// rechnung-db and the separators a file names: a new file names those of the
// settings it was made under, every command reads the file's whatever its
// own settings, and check lists the amounts that cannot be read or are
// written with the other separator.

#include "testdb.h"
#include "tool.h"

#include "data/amount.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

namespace {

const char *const Settings[] = {"de_DE.UTF-8", "it_IT.UTF-8", "en_US.UTF-8", "C"};

QString separatorsUnder(const QString &locale)
{
    const Separators s = Separators::ofLocale(QLocale(locale.section(QLatin1Char('.'), 0, 0)));
    return QString(s.decimal) + QString(s.thousands);
}

QString storedSeparators(const QString &file)
{
    return testdb::scalar(file, QStringLiteral("SELECT dezimaltrennzeichen || tausendertrennzeichen FROM zahlenformat"));
}

QStringList totalsOf(const QString &xmlFile)
{
    QFile f(xmlFile);
    if (!f.open(QIODevice::ReadOnly))
        return {QStringLiteral("not readable: ") + xmlFile};
    QXmlStreamReader r(&f);
    QStringList out;
    while (!r.atEnd()) {
        if (r.readNext() == QXmlStreamReader::StartElement
            && (r.name() == QLatin1String("ImponibileImporto") || r.name() == QLatin1String("ImportoTotaleDocumento")))
            out << r.readElementText();
    }
    return out;
}

} // namespace

class TestFileSeparatorsTool : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        m_demo = m_dir.filePath(QStringLiteral("demo.mdb"));
        const ToolResult r = runTool({QStringLiteral("demo"), m_demo}, {.locale = QStringLiteral("en_US.UTF-8")});
        QCOMPARE(r.err, QString());
    }

    void createNamesTheSettingsItIsMadeUnder_data()
    {
        QTest::addColumn<QString>("locale");
        for (const char *locale : Settings)
            QTest::newRow(locale) << QString::fromLatin1(locale);
    }

    void createNamesTheSettingsItIsMadeUnder()
    {
        QFETCH(QString, locale);
        QTemporaryDir dir;
        const QString f = dir.filePath(QStringLiteral("neu.mdb"));
        const ToolResult r = runTool({QStringLiteral("create"), f}, {.locale = locale});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(storedSeparators(f), separatorsUnder(locale));
    }

    void demoNamesItsDecimalComma()
    {
        // Its amounts are written with a comma, whatever it was made under.
        QCOMPARE(storedSeparators(m_demo), QStringLiteral(",."));
    }

    // A file of decimal points, made under English settings, read under every setting.
    void fatturapaReadsTheFilesSeparators_data()
    {
        QTest::addColumn<QString>("locale");
        for (const char *locale : Settings)
            QTest::newRow(locale) << QString::fromLatin1(locale);
    }

    void fatturapaReadsTheFilesSeparators()
    {
        QFETCH(QString, locale);
        QTemporaryDir dir;
        const QString f = dir.filePath(QStringLiteral("rechungen.mdb"));
        QVERIFY(QFile::copy(m_demo, f));
        // As if typed on a PC with a decimal point: 3 × 12.40 + 0.5 × 7.20 = 40.80.
        testdb::exec(f, QStringLiteral("UPDATE zahlenformat SET dezimaltrennzeichen = '.', tausendertrennzeichen = ',';"
                                       "DELETE FROM rechnung2004 WHERE rechnungsnummer = '1';"
                                       "INSERT INTO rechnung2004 (rechnungsnummer, beschreibung, anzahl, einzelpreis) VALUES "
                                       "('1', 'Rosen', '3', '12.40'), ('1', 'Erde', '0.5', '7.20');"));
        const ToolResult r = runTool({QStringLiteral("fatturapa"), f, QStringLiteral("--year"), QStringLiteral("2004"),
                                      QStringLiteral("--nr"), QStringLiteral("1"), QStringLiteral("--out"), dir.path()},
                                     {.locale = locale});
        QCOMPARE(r.err, QString());
        QCOMPARE(r.exitCode, 0);
        // The document's total comes first in the file, the taxable sum in the summary after the lines.
        QCOMPARE(totalsOf(r.out.trimmed()), (QStringList{QStringLiteral("44.88"), QStringLiteral("40.80")}));
    }

    void checkListsAmountsReadWithTheOtherSeparator_data()
    {
        QTest::addColumn<QString>("locale");
        for (const char *locale : Settings)
            QTest::newRow(locale) << QString::fromLatin1(locale);
    }

    void checkListsAmountsReadWithTheOtherSeparator()
    {
        QFETCH(QString, locale);
        QTemporaryDir dir;
        const QString f = dir.filePath(QStringLiteral("pruefen.mdb"));
        QVERIFY(QFile::copy(m_demo, f));
        testdb::exec(f, QStringLiteral("INSERT INTO rechnung2004 (id, rechnungsnummer, beschreibung, anzahl, einzelpreis) "
                                       "VALUES (9001, '1', 'Rosen', '2', '2.50'), (9002, '1', 'Erde', '0.5', '3')"));
        const ToolResult r = runTool({QStringLiteral("check"), f}, {.locale = locale});
        QCOMPARE(r.err, QString());
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out, QStringLiteral("rechnung2004, id 9001, einzelpreis: '2.50' ist mit dem anderen Dezimaltrennzeichen "
                                       "geschrieben und wird als 2,5 gelesen.\n"
                                       "rechnung2004, id 9002, anzahl: '0.5' ist mit dem anderen Dezimaltrennzeichen "
                                       "geschrieben und wird als 0,5 gelesen.\n"
                                       "Die Datei %1 ist in Ordnung.\n")
                            .arg(f));
    }

    void checkFailsOnAmountsItCannotRead()
    {
        QTemporaryDir dir;
        const QString f = dir.filePath(QStringLiteral("pruefen.mdb"));
        QVERIFY(QFile::copy(m_demo, f));
        testdb::exec(f, QStringLiteral("INSERT INTO rechnung2003 (id, rechnungsnummer, beschreibung, anzahl, einzelpreis) "
                                       "VALUES (9001, '1', 'Rosen', '1', '1.250'), (9002, '1', 'Erde', 'zwei', '3'),"
                                       "(9003, '1', 'Topf', '2', '2.5')"));
        const ToolResult r = runTool({QStringLiteral("check"), f});
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(r.out, QStringLiteral("rechnung2003, id 9001, einzelpreis: '1.250' ist keine Zahl; die Rechnung kann so nicht "
                                       "berechnet werden.\n"
                                       "rechnung2003, id 9002, anzahl: 'zwei' ist keine Zahl; die Rechnung kann so nicht "
                                       "berechnet werden.\n"
                                       "rechnung2003, id 9003, einzelpreis: '2.5' ist mit dem anderen Dezimaltrennzeichen "
                                       "geschrieben und wird als 2,5 gelesen.\n"));
        QCOMPARE(r.err, QStringLiteral("rechnung-db: In der Datei %1 sind 2 Beträge nicht lesbar (siehe oben); bitte in den "
                                       "Rechnungen korrigieren.\n")
                            .arg(f));
    }

    void checkFailsOnRatesNoInvoiceCanBeComputedWith()
    {
        QTemporaryDir dir;
        const QString f = dir.filePath(QStringLiteral("pruefen.mdb"));
        QVERIFY(QFile::copy(m_demo, f));
        testdb::exec(f, QStringLiteral("INSERT INTO rechnung2003 (id, rechnungsnummer, beschreibung, anzahl, einzelpreis, "
                                       "steuersatz, natura) VALUES (9001, '1', 'Rosen', '1', '2', '7', NULL), "
                                       "(9002, '1', 'Erde', '1', '3', '0', NULL), (9003, '1', 'Topf', '1', '4', '0', 'N3.2'), "
                                       "(9004, '1', 'Dünger', '1', '5', '4', 'N3.2')"));
        const ToolResult r = runTool({QStringLiteral("check"), f});
        QCOMPARE(r.exitCode, 1);
        // The third line is a valid intra-EU supply and is not named.
        QCOMPARE(r.out, QStringLiteral("rechnung2003, id 9001: Der Steuersatz '7' ist nicht möglich: bitte 22, 10, 5, 4 oder 0 "
                                       "wählen (leer bedeutet 10).\n"
                                       "rechnung2003, id 9002: Beim Steuersatz 0 fehlt der Grund der Befreiung (Natura): bitte "
                                       "einen aus der Liste wählen.\n"
                                       "rechnung2003, id 9004: Die Steuerbefreiung 'N3.2' gilt nur für den Steuersatz 0: bitte "
                                       "den Steuersatz auf 0 setzen oder die Befreiung löschen.\n"));
        QCOMPARE(r.err, QStringLiteral("rechnung-db: In der Datei %1 sind 3 Steuersätze nicht gültig (siehe oben); bitte in den "
                                       "Rechnungen korrigieren.\n")
                            .arg(f));
    }

    void checkSaysWhenTheFileNamesNoSeparators()
    {
        QTemporaryDir dir;
        const QString f = dir.filePath(QStringLiteral("alt.mdb"));
        QVERIFY(QFile::copy(m_demo, f));
        testdb::exec(f, QStringLiteral("DROP TABLE zahlenformat"));
        // A script's settings: the demo's decimal commas are read as written
        // with the other separator, and each is listed.
        const ToolResult c = runTool({QStringLiteral("check"), f}, {.locale = QStringLiteral("C")});
        QCOMPARE(c.err, QString());
        QCOMPARE(c.exitCode, 0);
        QVERIFY2(c.out.startsWith(QStringLiteral("Die Datei nennt nicht, mit welchen Trennzeichen ihre Beträge geschrieben "
                                                 "sind; gelesen wird mit denen dieses Computers (Dezimaltrennzeichen Punkt).\n")),
                 qPrintable(c.out));
        QVERIFY2(c.out.contains(QStringLiteral("einzelpreis: '2,50' ist mit dem anderen Dezimaltrennzeichen geschrieben und "
                                               "wird als 2.5 gelesen.\n")),
                 qPrintable(c.out));
        const ToolResult de = runTool({QStringLiteral("check"), f}, {.locale = QStringLiteral("de_DE.UTF-8")});
        QCOMPARE(de.err, QString());
        QCOMPARE(de.exitCode, 0);
        QCOMPARE(de.out, QStringLiteral("Die Datei nennt nicht, mit welchen Trennzeichen ihre Beträge geschrieben sind; gelesen "
                                        "wird mit denen dieses Computers (Dezimaltrennzeichen Komma).\n"
                                        "Die Datei %1 ist in Ordnung.\n")
                             .arg(f));
    }

private:
    QTemporaryDir m_dir;
    QString m_demo;
};

QTEST_GUILESS_MAIN(TestFileSeparatorsTool)
#include "tst_fileseparators_tool.moc"
