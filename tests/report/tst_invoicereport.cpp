// The printed invoice on databases made by the tests: what a run puts on the
// pages, its running totals, the preview, printing and the PDF.

#include "report/invoicereport.h"
#include "einvoice/store.h"

#include "data/businesstexts.h"
#include "data/amount.h"
#include "data/database.h"
#include "framework/flatbutton.h"
#include "framework/fonts.h"
#include "framework/messages.h"
#include "framework/report/fontmetrics.h"
#include "framework/report/pagefile.h"
#include "framework/report/previewwindow.h"
#include "framework/report/printing.h"
#include "framework/report/progresswindow.h"
#include "testdb.h"
#include "tool.h"
#include "pdftext.h"

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QPointer>
#include <QPrinter>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>
#include <optional>

using namespace rpt;

namespace {

// Page coordinates of a band element: the band's left edge is on the left
// margin; the title band's top on the top margin.
constexpr double Margin = 12.7;
constexpr double Near = 0.011; // the layout's figures are rounded to 0.01 mm

const char *const Customer = R"(
INSERT INTO kunde (id, name, name2, ansprache, piva, adresse) VALUES
  (1, 'Anna Blumen', 'Anna Berger', 'Frau', 'IT 00000000001',
   'Weg 1' || char(13, 10) || '39000 Ort' || char(13, 10) || 'Italien');
INSERT INTO rechnungsdaten2004 (id, nr, datum, bezahlung, kundennummer, bestimmungsort) VALUES
  (1, '17', '01.02.2004', '30 Tage', '1', 'Gartenhaus'),
  (2, '18', '02.02.2004', 'bar', '1', 'Laden');
INSERT INTO rechnung2004 (rechnungsnummer, beschreibung, anzahl, einzelpreis) VALUES
  ('18', 'Andere Rechnung', '1', '999');
)";

struct Line
{
    QString text, quantity, price;
    QString rate = {}, nature = {}; // empty: the line at 10 %
};

QString quoted(const QString &s) { return QLatin1Char('\'') + QString(s).replace(QLatin1Char('\''), QStringLiteral("''")) + QLatin1Char('\''); }

QString linesSql(const QList<Line> &lines)
{
    QString sql;
    for (const Line &l : lines)
        sql += QStringLiteral("INSERT INTO rechnung2004 (rechnungsnummer, beschreibung, anzahl, einzelpreis, steuersatz, natura) "
                              "VALUES ('17', %1, %2, %3, NULLIF(%4, ''), NULLIF(%5, ''));\n")
                   .arg(quoted(l.text), quoted(l.quantity), quoted(l.price), quoted(l.rate), quoted(l.nature));
    return sql;
}

QList<Line> numbered(int n)
{
    QList<Line> out;
    for (int i = 1; i <= n; ++i)
        out.append({QStringLiteral("Pflanze %1").arg(i), QStringLiteral("1"), QStringLiteral("2,5")});
    return out;
}

// The program's data on its own database, with the report window over it.
struct PrintedInvoice
{
    explicit PrintedInvoice(const QList<Line> &lines) : db(QString::fromLatin1(Customer) + linesSql(lines))
    {
        data.setSeparators({QLatin1Char(','), QLatin1Char('.')});
        data.open(db.file());
        druck = std::make_unique<InvoiceReport>(data);
    }
    RunResult run() { return druck->layout.run(); }

    testdb::Fixture db;
    InvoiceData data;
    std::unique_ptr<InvoiceReport> druck;
};

struct Boxes
{
    QStringList texts;
    Boxes()
    {
        setBoxHook([this](const BoxRequest &r) {
            texts << r.text;
            return true;
        });
    }
    ~Boxes() { setBoxHook({}); }
};

std::vector<const TextRun *> textRuns(const Page &page)
{
    std::vector<const TextRun *> out;
    for (const DrawOp &op : page.ops)
        if (const auto *t = std::get_if<TextRun>(&op))
            out.push_back(t);
    return out;
}

// The text run whose first line is `text`.
const TextRun *findText(const Page &page, const QString &text)
{
    for (const TextRun *t : textRuns(page))
        if (!t->lines.isEmpty() && t->lines.front() == text)
            return t;
    return nullptr;
}

// The text run whose lines, joined by blanks, are `text`.
const TextRun *findWrapped(const Page &page, const QString &text)
{
    for (const TextRun *t : textRuns(page))
        if (t->lines.join(QLatin1Char(' ')) == text)
            return t;
    return nullptr;
}

// The text run whose box starts at the given place.
const TextRun *textAt(const Page &page, double left, double top)
{
    for (const TextRun *t : textRuns(page))
        if (std::abs(t->box.left() - left) < Near && std::abs(t->box.top() - top) < Near)
            return t;
    return nullptr;
}

// The text run whose box ends at the given right edge and starts at `top`.
const TextRun *textEndingAt(const Page &page, double right, double top)
{
    for (const TextRun *t : textRuns(page))
        if (std::abs(t->box.right() - right) < Near && std::abs(t->box.top() - top) < Near)
            return t;
    return nullptr;
}

QString firstLine(const TextRun *t) { return t && !t->lines.isEmpty() ? t->lines.front() : QStringLiteral("<none>"); }

int count(const Page &page, const QString &text)
{
    return int(page.texts().count(text));
}

// Row tops in mm: rows are 5.0 mm apart from 120.1 mm on page 1.
double rowTop(int row) { return (1201 + 50 * row) / 10.0; }

// Opens the preview of `druck`; `whenFinished` runs once the preview shows
// the run's pages; the preview is closed afterwards.
void previewThen(InvoiceReport &druck, const std::function<void(PreviewWindow &)> &whenFinished)
{
    QPointer<PreviewWindow> window;
    auto opened = QObject::connect(&druck.runner, &ReportRunner::previewOpened, [&](QWidget *w) {
        window = qobject_cast<PreviewWindow *>(w);
        auto *poll = new QTimer(window);
        QObject::connect(poll, &QTimer::timeout, window, [&, poll] {
            if (!window || window->running() || druck.layout.busy())
                return;
            poll->stop();
            whenFinished(*window);
            if (window)
                window->close();
        });
        poll->start(5);
    });
    druck.showPreview();
    QObject::disconnect(opened);
}

// Preview windows among the application's windows, shown or not.
int previewWindows()
{
    int n = 0;
    for (QWidget *w : QApplication::topLevelWidgets())
        n += qobject_cast<PreviewWindow *>(w) ? 1 : 0;
    return n;
}

// The line band throws as a hook whose conversion fails while `broken` says so.
void breakLinesWhile(InvoiceReport &druck, const bool &broken)
{
    druck.lineBand->AfterPrint = [&broken, old = druck.lineBand->AfterPrint](Band &b, bool p) {
        if (broken)
            throw ConversionError(QStringLiteral("'x' ist kein gültiger Gleitkommawert"));
        old(b, p);
    };
}

} // namespace

class TestInvoiceReport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void titleBandTextsAtTheirPlaces_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("left");
        QTest::addColumn<double>("top");
        QTest::addColumn<int>("pixels");
        QTest::addColumn<bool>("bold");
        QTest::addColumn<int>("align");

        const int L = int(HAlign::Left), C = int(HAlign::Center);
        QTest::newRow("lblRechnung") << "Rechnung / Fattura" << 1.32 << 82.02 << 12 << false << C;
        QTest::newRow("QRLabel3") << "Nr." << 9.53 << 88.37 << 12 << true << L;
        QTest::newRow("QRDBText3 nr") << "17" << 17.99 << 88.37 << 12 << true << L;
        QTest::newRow("QRDBText5 datum") << "01.02.2004" << 36.51 << 88.37 << 12 << true << C;
        QTest::newRow("QRLabel1") << "Datum / Data" << 36.51 << 82.02 << 12 << false << C;
        QTest::newRow("QRDBText1 bezahlung") << "30 Tage" << 66.94 << 88.37 << 12 << true << C;
        QTest::newRow("QRLabel4") << "Bezahlung / Pagamento" << 66.94 << 82.02 << 12 << false << C;
        QTest::newRow("QRDBText7 piva") << "IT 00000000001" << 115.89 << 73.55 << 16 << false << L;
        QTest::newRow("QRLabel7") << "P.IVA" << 103.19 << 73.55 << 16 << false << L;
        QTest::newRow("QRLabel9 owner") << texts::LetterheadOwner << 0.0 << 44.45 << 15 << true << L;
        QTest::newRow("QRLabel10 street") << texts::LetterheadStreet << 0.0 << 49.74 << 15 << false << L;
        QTest::newRow("QRLabel11 phone") << texts::LetterheadPhone << 0.0 << 55.03 << 15 << false << L;
        QTest::newRow("QRLabel12 town") << texts::LetterheadTown << 0.0 << 60.33 << 15 << false << L;
        QTest::newRow("QRLabel15 VAT") << texts::LetterheadVat << 0.0 << 65.62 << 15 << false << L;
        QTest::newRow("QRLabel16") << "Bestimmungsort / Luogo di destinazione" << 111.12 << 82.02 << 12 << false << L;
        QTest::newRow("QRLabel20") << "Beschreibung - Descrizione" << 0.0 << 100.28 << 12 << true << L;
        QTest::newRow("QRLabel22") << "Menge" << 73.55 << 97.10 << 12 << true << C;
        QTest::newRow("QRLabel23") << "Preis - Prezzo" << 99.48 << 100.28 << 12 << true << L;
        QTest::newRow("QRLabel24") << "Betrag - Importo" << 151.61 << 100.28 << 12 << true << L;
        QTest::newRow("QRDBText10 bestimmungsort") << "Gartenhaus" << 111.12 << 88.37 << 12 << true << L;
        QTest::newRow("QRDBText6 adresse") << "Weg 1" << 98.95 << 58.21 << 16 << false << L;
        QTest::newRow("QRDBText4 name") << "Anna Blumen" << 98.95 << 47.62 << 16 << true << L;
        QTest::newRow("QRLabel5") << "An" << 98.95 << 42.33 << 16 << false << L;
        QTest::newRow("QRDBText2 ansprache") << "Frau" << 105.04 << 42.33 << 16 << false << L;
        QTest::newRow("QRLabel19") << "Quantità" << 73.55 << 100.81 << 12 << true << C;
        QTest::newRow("QRDBText13 name2") << "Anna Berger" << 98.95 << 52.92 << 16 << true << L;
    }
    void demoBusinessPrintsTheSameInvoice()
    {
        // The demo's stored business data gives today's letterhead, element for element.
        QTemporaryDir dir;
        const QString demo = dir.filePath(QStringLiteral("demo.mdb"));
        QCOMPARE(runTool({QStringLiteral("demo"), demo}).exitCode, 0);
        SqliteDatabase connection;
        connection.open(demo);
        const std::optional<einvoice::Seller> seller = einvoice::loadSeller(connection);
        QVERIFY(seller);
        PrintedInvoice inv(numbered(3));
        const RunResult sample = inv.run();
        inv.druck->setLetterhead(Letterhead::of(*seller));
        const RunResult stored = inv.run();
        QCOMPARE(stored.end, RunEnd::Completed);
        // The demo's IBAN and codice fiscale under the payment line are all it adds.
        const QString bank = QStringLiteral("IBAN %1 · C.F. %2").arg(seller->iban, seller->fiscalCode);
        QCOMPARE(stored.pages.size(), sample.pages.size());
        for (size_t i = 0; i < stored.pages.size(); ++i) {
            Page withoutBank = *stored.pages[i];
            const TextRun *line = findText(withoutBank, bank);
            QVERIFY(line);
            QVERIFY(std::abs(line->box.top() - (279.0 + 5.03)) < Near);
            std::erase_if(withoutBank.ops, [&](const DrawOp &op) {
                const auto *t = std::get_if<TextRun>(&op);
                return t && t->lines == QStringList{bank};
            });
            QVERIFY(withoutBank == *sample.pages[i]);
        }

        // Other data, another letterhead: each line where the sample's stood.
        einvoice::Seller other = *seller;
        other.owner = QStringLiteral("Maria Beispiel");
        other.cap = QStringLiteral("39100");
        other.town = QStringLiteral("Bozen");
        other.province = QStringLiteral("BZ");
        inv.druck->setLetterhead(Letterhead::of(other));
        const RunResult changed = inv.run();
        const TextRun *owner = findText(*changed.pages.front(), QStringLiteral("Maria Beispiel"));
        const TextRun *town = findText(*changed.pages.front(), QStringLiteral("39100 Bozen (BZ)"));
        QVERIFY(owner && town);
        QVERIFY(std::abs(owner->box.top() - (Margin + 44.45)) < Near);
        QVERIFY(std::abs(town->box.top() - (Margin + 60.33)) < Near);
        QVERIFY(!findText(*changed.pages.front(), texts::LetterheadOwner));
    }

    void titleBandTextsAtTheirPlaces()
    {
        QFETCH(QString, text);
        QFETCH(double, left);
        QFETCH(double, top);
        QFETCH(int, pixels);
        QFETCH(bool, bold);
        QFETCH(int, align);
        PrintedInvoice inv(numbered(1));
        const RunResult r = inv.run();
        QCOMPARE(r.end, RunEnd::Completed);
        const TextRun *t = findText(*r.pages.front(), text);
        QVERIFY2(t, qPrintable(text));
        QVERIFY2(std::abs(t->box.left() - (Margin + left)) < Near, qPrintable(QString::number(t->box.left())));
        QVERIFY2(std::abs(t->box.top() - (Margin + top)) < Near, qPrintable(QString::number(t->box.top())));
        QCOMPARE(t->font.pixels, pixels);
        QCOMPARE(t->font.bold, bold);
        QCOMPARE(t->font.family, QStringLiteral("Verdana"));
        QCOMPARE(int(t->align), align);
        QVERIFY(t->opaque);
    }

    void autoWidthBoxesTakeTheirTextsWidth()
    {
        PrintedInvoice inv(numbered(1));
        const RunResult r = inv.run();
        TextMeasure m;
        // A long name runs to the right instead of wrapping.
        const TextRun *name = findText(*r.pages.front(), QStringLiteral("Anna Blumen"));
        QVERIFY(name);
        QCOMPARE(name->box.width(), m.width(name->font, QStringLiteral("Anna Blumen")));
        QVERIFY(name->box.width() > 13.23);
    }

    void logoAtItsNaturalSize()
    {
        PrintedInvoice inv(numbered(1));
        inv.druck->layout.pixelDensity = 96;
        const RunResult r = inv.run();
        const ImageRun *logo = nullptr;
        for (const DrawOp &op : r.pages.front()->ops)
            if (const auto *i = std::get_if<ImageRun>(&op))
                logo = i;
        QVERIFY(logo);
        QCOMPARE(logo->image.size(), QSize(225, 113));
        QVERIFY(std::abs(logo->target.width() - 59.53) < Near);
        QVERIFY(std::abs(logo->target.height() - 29.90) < Near);
        QVERIFY(std::abs(logo->target.top() - (Margin + 6.35)) < Near);
        QCOMPARE(logo->target.left(), Margin);
    }

    void boxesAndRulingOfTheTitleBand()
    {
        PrintedInvoice inv(numbered(1));
        const RunResult r = inv.run();
        std::vector<RoundRectRun> boxes;
        std::vector<LineRun> lines;
        int firstKind = -1;
        for (const DrawOp &op : r.pages.front()->ops) {
            if (firstKind < 0)
                firstKind = int(op.index());
            if (const auto *b = std::get_if<RoundRectRun>(&op))
                boxes.push_back(*b);
            if (const auto *l = std::get_if<LineRun>(&op))
                lines.push_back(*l);
        }
        // The header box is drawn first, filled, with 13-pixel corners; the
        // address box unfilled, combined with what lies beneath, 34 pixels.
        QCOMPARE(firstKind, int(DrawOp(RoundRectRun{}).index()));
        QCOMPARE(boxes.size(), size_t(2));
        QVERIFY(boxes[0].filled && !boxes[0].invertBeneath);
        QCOMPARE(boxes[0].cornerPixels, 13);
        QVERIFY(!boxes[1].filled && boxes[1].invertBeneath);
        QCOMPARE(boxes[1].cornerPixels, 34);
        QVERIFY(std::abs(boxes[1].box.left() - (Margin + 91.28)) < Near);
        // The solid heads' ruling at 96.71 and 105.97, the dotted header split at 87.44.
        auto hasAcross = [&](double y, PenStyle style) {
            for (const LineRun &l : lines)
                if (l.from.y() == l.to.y() && std::abs(l.from.y() - (Margin + y)) < Near && l.style == style)
                    return true;
            return false;
        };
        QVERIFY(hasAcross(96.71, PenStyle::Solid));
        QVERIFY(hasAcross(105.97, PenStyle::Solid));
        QVERIFY(hasAcross(87.44, PenStyle::Dotted));
    }

    void rowsFiveMillimetresApartWithTheirMarks()
    {
        PrintedInvoice inv({{"Rosen", "4", "2,5"}, {"Tulpen", "10", "0,8"}, {"Erde", "2", "3"}});
        const RunResult r = inv.run();
        const Page &page = *r.pages.front();
        const QStringList names{"Rosen", "Tulpen", "Erde"};
        for (int i = 0; i < 3; ++i) {
            const TextRun *d = findText(page, names[i]);
            QVERIFY(d);
            QVERIFY(std::abs(d->box.top() - (rowTop(i) + 0.26)) < Near);
            // ".-" after the unit price and after the amount.
            QCOMPARE(firstLine(textAt(page, Margin + 122.50, rowTop(i) + 0.53)), QStringLiteral(".-"));
            QCOMPARE(firstLine(textAt(page, Margin + 178.86, rowTop(i) + 0.53)), QStringLiteral(".-"));
        }
        QCOMPARE(firstLine(textAt(page, Margin + 154.52, rowTop(0) + 0.26)), QStringLiteral("10,00"));
        QCOMPARE(firstLine(textAt(page, Margin + 154.52, rowTop(1) + 0.26)), QStringLiteral("8,00"));
        // Three rows and three summary figures, each followed by ".-".
        QCOMPARE(count(page, QStringLiteral(".-")), 3 * 2 + 3);
    }

    void summaryFigures_data()
    {
        QTest::addColumn<QList<Line>>("lines");
        QTest::addColumn<QString>("net");
        QTest::addColumn<QString>("tax");
        QTest::addColumn<QString>("gross");
        QTest::newRow("lines adding up to 100") << QList<Line>{{"Rosen", "4", "12,5"}, {"Erde", "10", "5"}}
                                                << "100,00" << "10,00" << "110,00";
        QTest::newRow("no lines") << QList<Line>{} << "0,00" << "0,00" << "0,00";
        QTest::newRow("a line without quantity adds nothing")
            << QList<Line>{{"Rosen", "4", "25"}, {"Beratung", "", "30"}, {"Gratis", "3", ""}} << "100,00" << "10,00"
            << "110,00";
        QTest::newRow("thousands grouped") << QList<Line>{{"Bäume", "2", "617,25"}} << "1.234,50" << "123,45" << "1.357,95";
        QTest::newRow("each figure rounded on its own") << QList<Line>{{"a", "1", "0,125"}} << "0,13" << "0,01" << "0,14";
    }
    void summaryFigures()
    {
        QFETCH(QList<Line>, lines);
        QFETCH(QString, net);
        QFETCH(QString, tax);
        QFETCH(QString, gross);
        PrintedInvoice inv(lines);
        const RunResult r = inv.run();
        QCOMPARE(r.end, RunEnd::Completed);
        QCOMPARE(r.pages.size(), size_t(1));
        const Page &page = *r.pages.front();
        const double top = rowTop(std::max(1, int(lines.size())));
        QCOMPARE(firstLine(textAt(page, Margin + 154.52, top + 13.23)), net);
        QCOMPARE(firstLine(textAt(page, Margin + 154.52, top + 18.52)), tax);
        QCOMPARE(firstLine(textAt(page, Margin + 154.52, top + 31.75)), gross);
        QCOMPARE(inv.druck->netTotal->caption, net);
        QCOMPARE(inv.druck->grossTotal->caption, gross);
        const TextRun *total = findText(page, QStringLiteral("Gesamtbetrag / Totale"));
        QVERIFY(total && total->font.bold);
    }

    void emptyInvoice()
    {
        PrintedInvoice inv({});
        const RunResult r = inv.run();
        QCOMPARE(r.pages.size(), size_t(1));
        const Page &page = *r.pages.front();
        // One empty row: its data boxes are white and hold nothing, its marks are drawn.
        QCOMPARE(firstLine(textAt(page, Margin + 122.50, rowTop(0) + 0.53)), QStringLiteral(".-"));
        QCOMPARE(firstLine(textAt(page, Margin + 178.86, rowTop(0) + 0.53)), QStringLiteral(".-"));
        const TextRun *description = textAt(page, Margin, rowTop(0) + 0.26);
        QVERIFY(description);
        QCOMPARE(description->lines, QStringList{QString()});
        QCOMPARE(page.texts().count(QStringLiteral("0,00")), 3);
        QVERIFY(findText(page, texts::PaymentLine));
        QCOMPARE(inv.druck->printedTotals().net, Money());
        QVERIFY(inv.data.invoiceLines.Eof());
    }

    void footerOnEveryPageAt279mm_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("pages");
        QTest::newRow("24 rows") << 24 << 1;
        QTest::newRow("25 rows: summary alone on page 2") << 25 << 2;
        QTest::newRow("32 rows") << 32 << 2;
        QTest::newRow("77 rows") << 77 << 3;
    }
    void footerOnEveryPageAt279mm()
    {
        QFETCH(int, rows);
        QFETCH(int, pages);
        PrintedInvoice inv(numbered(rows));
        const RunResult r = inv.run();
        QCOMPARE(int(r.pages.size()), pages);
        for (const PagePtr &p : r.pages) {
            const TextRun *footer = findText(*p, texts::PaymentLine);
            QVERIFY(footer);
            QCOMPARE(footer->box.top(), 279.0);
            QVERIFY(std::abs(footer->box.left() - (Margin + 27.52)) < Near);
            QCOMPARE(p->paper, QSizeF(210, 297));
        }
        // The summary is on the last page, and only there.
        for (int i = 0; i < pages; ++i)
            QCOMPARE(bool(findText(*r.pages[size_t(i)], QStringLiteral("Gesamtbetrag / Totale"))), i == pages - 1);
        // The title band on page 1 only; later pages begin with rows (or the summary) at 12.7 mm.
        QVERIFY(findText(*r.pages.front(), QStringLiteral("Rechnung / Fattura")));
        if (pages > 1) {
            QVERIFY(!findText(*r.pages[1], QStringLiteral("Rechnung / Fattura")));
            const TextRun *first = textRuns(*r.pages[1]).front();
            QVERIFY(std::abs(first->box.top() - (Margin + (rows > 31 ? 0.26 : 13.23))) < Near);
        }
    }

    void longDescriptionWrapsAndTheRowGrows()
    {
        const QString description = QStringLiteral("Hochstamm-Rosen veredelt im Topf mit Stütze und Dünger");
        PrintedInvoice inv({{description, "1", "10"}, {"Erde", "1", "1"}});
        const RunResult r = inv.run();
        const Page &page = *r.pages.front();
        const TextRun *d = textAt(page, Margin, rowTop(0) + 0.26);
        QVERIFY(d);
        QVERIFY2(d->lines.size() >= 2, qPrintable(d->lines.join(QLatin1Char('|'))));
        TextMeasure m;
        for (const QString &line : d->lines)
            QVERIFY(m.width(d->font, line) <= 72.23 + Near);
        // No word is lost: each line ends after a blank or a hyphen of the text.
        QCOMPARE(d->lines.join(QString()).remove(QLatin1Char(' ')), QString(description).remove(QLatin1Char(' ')));
        // The box and the row grow by one text height per further line.
        const double grown = (d->lines.size() - 1) * d->lineHeight;
        QVERIFY(std::abs(d->box.height() - (4.50 + grown)) < Near);
        const TextRun *next = findText(page, QStringLiteral("Erde"));
        QVERIFY(next);
        const int rowTenths = int(std::lround(19 * 254.0 / 96 + grown * 10));
        QVERIFY(std::abs(next->box.top() - ((1201 + rowTenths) / 10.0 + 0.26)) < Near);
        // The row's separators keep their design length.
        for (const DrawOp &op : page.ops)
            if (const auto *l = std::get_if<LineRun>(&op))
                if (l->from.x() == l->to.x() && std::abs(l->from.y() - rowTop(0)) < Near)
                    QVERIFY(std::abs(l->to.y() - l->from.y() - 4.50) < Near);
    }

    void descriptionWordNeedsRoomForItsBlank()
    {
        const QString description = QStringLiteral("Zitronenbäumchen im Terrakottatopf mit Stützen und");
        PrintedInvoice inv({{description, "1", "10"}});
        const RunResult r = inv.run();
        const TextRun *d = textAt(*r.pages.front(), Margin, rowTop(0) + 0.26);
        QVERIFY(d);
        // "Stützen" would fit the column without the blank after it.
        TextMeasure m;
        const double column = inv.druck->lineDescription->box.width();
        QVERIFY(m.width(d->font, QStringLiteral("Zitronenbäumchen im Terrakottatopf mit Stützen")) <= column);
        QVERIFY(m.width(d->font, QStringLiteral("Zitronenbäumchen im Terrakottatopf mit Stützen ")) > column);
        QCOMPARE(d->lines, (QStringList{"Zitronenbäumchen im Terrakottatopf mit", "Stützen und"}));
    }

    // A cut amount is a wrong amount: one that does not fit its box keeps
    // the right edge at 177.80 and reaches further left.
    void amountsAreNeverCut_data()
    {
        QTest::addColumn<QString>("quantity");
        QTest::addColumn<QString>("price");
        QTest::addColumn<int>("rows");
        QTest::newRow("net 1.000.000,00") << "1" << "1000000" << 1;
        QTest::newRow("gross 1.980.048,50") << "1" << "1800044,09090909" << 1;
        QTest::newRow("net 99.999.999,99") << "1" << "99999999,99" << 1;
        QTest::newRow("gross 99.999.999,99") << "1" << "90909090,9" << 1;
        QTest::newRow("line amount 99.999.999,99 twice") << "1" << "99999999,99" << 2;
        QTest::newRow("negative line amount") << "-1" << "10000000" << 1;
        QTest::newRow("line amount wider than its column") << "1" << "9999999999,99" << 1;
    }
    void amountsAreNeverCut()
    {
        QFETCH(QString, quantity);
        QFETCH(QString, price);
        QFETCH(int, rows);
        QList<Line> lines;
        for (int i = 0; i < rows; ++i)
            lines.append({QStringLiteral("Palme"), quantity, price});
        PrintedInvoice inv(lines);
        const RunResult r = inv.run();
        QCOMPARE(r.end, RunEnd::Completed);
        const Page &page = *r.pages.front();

        const Separators &separators = inv.data.separators();
        const Money amount = *lineAmount(price, quantity, separators);
        const InvoiceTotals totals = invoiceTotals(QList<TotalsLine>(rows, TotalsLine{amount, StandardRate}));
        const double summaryTop = rowTop(rows);
        struct Expected
        {
            QString text;
            double top;
            double designWidth;
        };
        QList<Expected> amounts;
        for (int i = 0; i < rows; ++i)
            amounts.append({formatMoney(amount, separators), rowTop(i) + 0.26, inv.druck->lineAmountText->box.width()});
        amounts.append({formatMoney(totals.net, separators), summaryTop + 13.23, inv.druck->netTotal->box.width()});
        amounts.append({formatMoney(totals.tax, separators), summaryTop + 18.52, inv.druck->taxTotal->box.width()});
        amounts.append({formatMoney(totals.gross, separators), summaryTop + 31.75, inv.druck->grossTotal->box.width()});

        TextMeasure m;
        bool anyWider = false;
        for (const Expected &e : amounts) {
            const TextRun *t = textEndingAt(page, Margin + 177.80, e.top);
            QVERIFY2(t, qPrintable(e.text));
            QCOMPARE(t->lines, QStringList{e.text});
            QCOMPARE(t->align, HAlign::Right);
            // The whole text lies in the box, whose right edge is the design one.
            const double width = m.width(t->font, e.text);
            QVERIFY2(width <= t->box.width() + 1e-9, qPrintable(e.text));
            QVERIFY(t->box.width() >= e.designWidth - 1e-9);
            anyWider = anyWider || width > e.designWidth;
        }
        QVERIFY(anyWider);
    }

    void wordWiderThanTheColumnIsCut()
    {
        const QString word = QStringLiteral("Rhododendronhybridenzüchtungsbetriebsbestellung");
        PrintedInvoice inv({{word, "1", "1"}});
        const RunResult r = inv.run();
        const TextRun *d = textAt(*r.pages.front(), Margin, rowTop(0) + 0.26);
        QVERIFY(d);
        QCOMPARE(d->lines.size(), 1);
        const QString cut = d->lines.front();
        QVERIFY(cut.size() < word.size() && word.startsWith(cut));
        TextMeasure m;
        QVERIFY(m.width(d->font, cut) <= 72.23 + Near);
        QVERIFY(m.width(d->font, word.left(cut.size() + 1)) > 72.23);
    }

    void addressOfThreeLinesShowsTwo()
    {
        PrintedInvoice inv(numbered(1));
        const RunResult r = inv.run();
        const TextRun *a = findText(*r.pages.front(), QStringLiteral("Weg 1"));
        QVERIFY(a);
        QCOMPARE(a->lines, (QStringList{"Weg 1", "39000 Ort"}));
        QVERIFY(std::abs(a->box.height() - 11.38) < Near);
    }

    void quantityAndPriceAsTyped_data()
    {
        QTest::addColumn<QString>("quantity");
        QTest::addColumn<QString>("price");
        QTest::addColumn<QString>("amount");
        QTest::newRow("price 12,5 stays 12,5") << "3" << "12,5" << "37,50";
        QTest::newRow("quantity with decimals") << "1,50" << "2" << "3,00";
        QTest::newRow("no quantity: no amount") << "" << "4" << "";
        QTest::newRow("no price: no amount") << "2" << "" << "";
    }
    void quantityAndPriceAsTyped()
    {
        QFETCH(QString, quantity);
        QFETCH(QString, price);
        QFETCH(QString, amount);
        PrintedInvoice inv({{"Posten", quantity, price}});
        const RunResult r = inv.run();
        const Page &page = *r.pages.front();
        const TextRun *q = textAt(page, Margin + 75.41, rowTop(0) + 0.26);
        const TextRun *p = textAt(page, Margin + 95.25, rowTop(0) + 0.26);
        const TextRun *a = textAt(page, Margin + 154.52, rowTop(0) + 0.26);
        QVERIFY(q && p && a);
        QCOMPARE(q->lines.join(QString()), quantity);
        QCOMPARE(p->lines.join(QString()), price);
        QCOMPARE(a->lines.join(QString()), amount);
        QCOMPARE(p->align, HAlign::Right);
        QCOMPARE(q->align, HAlign::Center);
        QCOMPARE(firstLine(textAt(page, Margin + 178.86, rowTop(0) + 0.53)), QStringLiteral(".-"));
    }

    void lineThatIsNotANumberEndsTheRun()
    {
        PrintedInvoice inv({{"Rosen", "4", "2,5"}, {"Kaputt", "1", "abc"}, {"Erde", "1", "3"}});
        const RunResult r = inv.run();
        QCOMPARE(r.end, RunEnd::Failed);
        // The second line of the invoice is the one to correct.
        QCOMPARE(r.error, QStringLiteral("Zeile 2: 'abc' ist kein gültiger Gleitkommawert"));
        // The page so far: title and the first row, no summary, no footer.
        QCOMPARE(r.pages.size(), size_t(1));
        const Page &page = *r.pages.front();
        QVERIFY(findText(page, QStringLiteral("Rosen")));
        QVERIFY(!findText(page, QStringLiteral("Erde")));
        QVERIFY(!findText(page, QStringLiteral("Gesamtbetrag / Totale")));
        QVERIFY(!findText(page, texts::PaymentLine));
        QVERIFY(!inv.druck->layout.busy());
    }

    // Whichever way the invoice is started, a run that stops on an error
    // shows that error and nothing else: no preview, no page on the printer.
    void failedRunLeavesNothingToPrint_data()
    {
        QTest::addColumn<QList<Line>>("lines");
        QTest::addColumn<bool>("summaryFails");
        QTest::addColumn<bool>("print");
        QTest::addColumn<QString>("error");
        QList<Line> onPage2 = numbered(40);
        onPage2[34].quantity = QStringLiteral("abc"); // page 1 holds 31 rows: it is complete, footer and all
        struct Case
        {
            const char *name;
            QList<Line> lines;
            bool summaryFails;
            QString error;
        };
        const Case cases[] = {
            {"first line's quantity not a number", {{"Rosen", "abc", "2,5"}, {"Erde", "1", "3"}}, false,
             QStringLiteral("Zeile 1: 'abc' ist kein gültiger Gleitkommawert.")},
            {"second line's price not a number", {{"Rosen", "4", "2,5"}, {"Kaputt", "1", "abc"}, {"Erde", "1", "3"}}, false,
             QStringLiteral("Zeile 2: 'abc' ist kein gültiger Gleitkommawert.")},
            {"line on page 2 after a whole page 1", onPage2, false,
             QStringLiteral("Zeile 35: 'abc' ist kein gültiger Gleitkommawert.")},
            {"summary hook fails after every line", numbered(3), true,
             QStringLiteral("'x' ist kein gültiger Gleitkommawert.")},
        };
        for (const Case &c : cases) {
            QTest::addRow("%s, preview", c.name) << c.lines << c.summaryFails << false << c.error;
            QTest::addRow("%s, print", c.name) << c.lines << c.summaryFails << true << c.error;
        }
    }
    void failedRunLeavesNothingToPrint()
    {
        QFETCH(QList<Line>, lines);
        QFETCH(bool, summaryFails);
        QFETCH(bool, print);
        QFETCH(QString, error);
        PrintedInvoice inv(lines);
        if (summaryFails)
            inv.druck->summaryBand->BeforePrint = [](Band &, bool &) {
                throw ConversionError(QStringLiteral("'x' ist kein gültiger Gleitkommawert"));
            };
        QTemporaryDir dir;
        const QString printed = dir.filePath(QStringLiteral("gedruckt.pdf"));
        inv.druck->runner.printerSettings().printer().setOutputFileName(printed);
        int opened = 0;
        auto c = QObject::connect(&inv.druck->runner, &ReportRunner::previewOpened, [&](QWidget *w) {
            ++opened;
            w->close();
        });
        Boxes boxes;
        if (print)
            inv.druck->print();
        else
            inv.druck->showPreview();
        QObject::disconnect(c);
        QCOMPARE(boxes.texts, QStringList{error});
        QCOMPARE(opened, 0);
        QCOMPARE(previewWindows(), 0);
        QVERIFY(!QFile::exists(printed));
        QVERIFY(!inv.druck->layout.busy());
    }

    // A preview still open when a later run of the same invoice fails shows
    // what is no longer the invoice: it goes. Another invoice's stays.
    void failedRerunClosesThePreviewOfTheSameInvoice_data()
    {
        QTest::addColumn<bool>("otherInvoice");
        QTest::addColumn<bool>("print");
        QTest::addColumn<bool>("closed");
        QTest::newRow("same invoice, preview") << false << false << true;
        QTest::newRow("same invoice, print") << false << true << true;
        QTest::newRow("other invoice, preview") << true << false << false;
        QTest::newRow("other invoice, print") << true << true << false;
    }
    void failedRerunClosesThePreviewOfTheSameInvoice()
    {
        QFETCH(bool, otherInvoice);
        QFETCH(bool, print);
        QFETCH(bool, closed);
        PrintedInvoice inv(numbered(3));
        QTemporaryDir dir;
        const QString printed = dir.filePath(QStringLiteral("gedruckt.pdf"));
        inv.druck->runner.printerSettings().printer().setOutputFileName(printed);
        bool broken = false;
        breakLinesWhile(*inv.druck, broken);
        Boxes boxes;
        std::optional<bool> firstVisible;
        int windowsMeanwhile = -1;
        previewThen(*inv.druck, [&](PreviewWindow &first) {
            if (otherInvoice)
                inv.data.invoiceHeaders.Next();
            broken = true;
            if (print)
                inv.druck->print();
            else
                inv.druck->showPreview();
            firstVisible = first.isVisible();
            windowsMeanwhile = previewWindows();
        });
        QCOMPARE(boxes.texts, QStringList{QStringLiteral("'x' ist kein gültiger Gleitkommawert.")});
        QVERIFY(firstVisible);
        QCOMPARE(*firstVisible, !closed);
        QCOMPARE(windowsMeanwhile, 1); // the failed run opened none of its own
        QVERIFY(!QFile::exists(printed));
        QCOMPARE(previewWindows(), 0);
        // Once the lines can be read again, the invoice previews as before.
        broken = false;
        int pages = 0;
        previewThen(*inv.druck, [&](PreviewWindow &w) { pages = w.pageCount(); });
        QCOMPARE(pages, 1);
        QCOMPARE(previewWindows(), 0);
    }

    void lineSetLeftOnItsLastRow()
    {
        PrintedInvoice inv({{"a", "1", "1"}, {"b", "1", "1"}, {"c", "1", "1"}});
        RecordSet &lines = inv.data.invoiceLines;
        QCOMPARE(lines.RecNo(), 0);
        inv.run();
        QVERIFY(lines.Eof());
        QCOMPARE(lines.RecNo(), 2);
        QCOMPARE(inv.data.invoiceHeaders.FieldByName(QStringLiteral("nr"))->AsString(), QStringLiteral("17"));
    }

    void printedTotalsAreTheTotalsOfItsLines()
    {
        // The arithmetic is the totals' own (tests/data/tst_totals.cpp); the
        // report must hand it every line of the invoice, in order.
        const QList<Line> lines{{"a", "3", "0,1"}, {"b", "7", "0,3"}, {"c", "1", "1234,567"}};
        PrintedInvoice inv(lines);
        inv.run();
        QList<TotalsLine> read;
        for (const Line &l : lines)
            read.append({*lineAmount(l.price, l.quantity, inv.data.separators()), StandardRate});
        const InvoiceTotals expected = invoiceTotals(read);
        QCOMPARE(expected.rates.size(), 1);
        QVERIFY(inv.druck->printedTotals() == expected);
        QCOMPARE(inv.druck->netTotal->caption, formatMoney(expected.net, inv.data.separators()));
        QCOMPARE(inv.druck->taxTotal->caption, formatMoney(expected.tax, inv.data.separators()));
        QCOMPARE(inv.druck->grossTotal->caption, formatMoney(expected.gross, inv.data.separators()));
        // A second run starts again from 0.
        inv.run();
        QVERIFY(inv.druck->printedTotals() == expected);
    }

    void previewDuringARunDoesNothing()
    {
        PrintedInvoice inv(numbered(5));
        struct Sink : PageSink
        {
            InvoiceReport *druck;
            int opened = 0;
            std::optional<bool> runningAfter;
            void pageReady(const PagePtr &) override {}
            void progress(int percent) override
            {
                if (percent < 60 || runningAfter)
                    return;
                druck->showPreview();
                runningAfter = druck->layout.busy();
            }
        } sink;
        sink.druck = inv.druck.get();
        auto c = QObject::connect(&inv.druck->runner, &ReportRunner::previewOpened, [&](QWidget *) { ++sink.opened; });
        const RunResult r = inv.druck->layout.run(&sink);
        QObject::disconnect(c);
        QCOMPARE(r.end, RunEnd::Completed);
        QCOMPARE(sink.opened, 0);
        QVERIFY(sink.runningAfter && *sink.runningAfter);
        QCOMPARE(inv.druck->netTotal->caption, QStringLiteral("12,50"));
    }

    void previewShowsEveryPageOnceTheRunHasEnded()
    {
        PrintedInvoice inv(numbered(40));
        std::optional<bool> busyWhenOpened;
        int pagesWhenOpened = 0;
        auto c = QObject::connect(&inv.druck->runner, &ReportRunner::previewOpened, [&](QWidget *w) {
            busyWhenOpened = inv.druck->layout.busy();
            pagesWhenOpened = qobject_cast<PreviewWindow *>(w)->pageCount();
        });
        int pages = 0;
        QString status;
        bool setupEnabled = false;
        QString title;
        previewThen(*inv.druck, [&](PreviewWindow &w) {
            pages = w.pageCount();
            status = w.pageText();
            setupEnabled = w.tool(PreviewWindow::PrinterSetup)->isEnabled();
            title = w.windowTitle();
        });
        QObject::disconnect(c);
        QVERIFY(busyWhenOpened && !*busyWhenOpened);
        QCOMPARE(pagesWhenOpened, 2);
        QCOMPARE(pages, 2);
        QCOMPARE(status, QStringLiteral("Page 1 of 2"));
        QVERIFY(setupEnabled);
        QCOMPARE(title, QStringLiteral("Print Preview"));
        QVERIFY(!inv.druck->layout.busy());
        QCOMPARE(inv.druck->grossTotal->caption, QStringLiteral("110,00"));
    }

    void cancelDuringThePreviewsRunShowsNothing()
    {
        PrintedInvoice inv(numbered(150));
        int printedRows = 0;
        QString progressTitle;
        inv.druck->lineBand->AfterPrint = [&, old = inv.druck->lineBand->AfterPrint](Band &b, bool p) {
            old(b, p);
            auto *progress = qobject_cast<ProgressWindow *>(QApplication::activeModalWidget());
            if (progress)
                progressTitle = progress->windowTitle();
            if (++printedRows == 40 && progress)
                QTest::mouseClick(progress->cancelButton(), Qt::LeftButton);
        };
        int opened = 0;
        auto c = QObject::connect(&inv.druck->runner, &ReportRunner::previewOpened, [&](QWidget *w) {
            ++opened;
            w->close();
        });
        Boxes boxes;
        inv.druck->showPreview(); // returns: the caller resumes
        QObject::disconnect(c);
        QCOMPARE(progressTitle, QStringLiteral("Printing progress"));
        QCOMPARE(opened, 0);
        QCOMPARE(previewWindows(), 0);
        QCOMPARE(boxes.texts, QStringList());
        QVERIFY(!inv.druck->layout.busy());
        // Stopped before the next row.
        QCOMPARE(printedRows, 40);
        QVERIFY(!inv.data.invoiceLines.Eof());
    }

    void otherWindowsGetNoInputDuringTheRun()
    {
        PrintedInvoice inv(numbered(40));
        QLineEdit other;
        other.show();
        QVERIFY(QTest::qWaitForWindowExposed(&other));
        QString duringRun = QStringLiteral("<not reached>");
        int row = 0;
        inv.druck->lineBand->AfterPrint = [&, old = inv.druck->lineBand->AfterPrint](Band &b, bool p) {
            old(b, p);
            if (++row == 1) {
                QTest::keyClicks(&other, QStringLiteral("x"));
                duringRun = other.text();
            }
        };
        previewThen(*inv.druck, [&](PreviewWindow &) { QTest::keyClicks(&other, QStringLiteral("nachher")); });
        QCOMPARE(duringRun, QString());
        QCOMPARE(other.text(), QStringLiteral("nachher"));
    }

    void printFromThePreviewPrintsThePreviewedPages_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::newRow("all pages") << 0 << 0;
        QTest::newRow("page 2 only") << 2 << 2;
        QTest::newRow("pages 1 to 2") << 1 << 2;
    }
    void printFromThePreviewPrintsThePreviewedPages()
    {
        QFETCH(int, from);
        QFETCH(int, to);
        PrintedInvoice inv(numbered(40));
        QTemporaryDir dir;
        const QString printed = dir.filePath(QStringLiteral("gedruckt.pdf"));
        const QString previewed = dir.filePath(QStringLiteral("vorschau.pdf"));
        QPrinter &printer = inv.druck->runner.printerSettings().printer();
        printer.setOutputFileName(printed);
        if (from > 0) {
            printer.setPrintRange(QPrinter::PageRange);
            printer.setFromTo(from, to);
        }
        int pages = 0;
        previewThen(*inv.druck, [&](PreviewWindow &w) {
            pages = w.pageCount();
            QVERIFY(w.savePages(previewed, true));
            // Another invoice becomes current meanwhile: the printout still
            // shows the one on screen.
            inv.data.invoiceHeaders.Next();
            QTest::mouseClick(w.tool(PreviewWindow::Print), Qt::LeftButton);
        });
        QCOMPARE(pages, 2);
        QCOMPARE(inv.data.invoiceHeaders.FieldByName(QStringLiteral("nr"))->AsString(), QStringLiteral("18"));
        const int first = from > 0 ? from : 1, last = from > 0 ? to : pages;
        const QString printedText = pdfText(printed);
        QCOMPARE(printedText.count(QLatin1Char('\f')), last - first + 1);
        QCOMPARE(printedText, pdfText(previewed, first, last));
        QVERIFY(!printedText.contains(QStringLiteral("Andere Rechnung")));
    }

    void printStraightToThePrinter_data()
    {
        QTest::addColumn<int>("cancelAfterRow");
        QTest::addColumn<int>("pages");
        QTest::addColumn<bool>("summary");
        QTest::newRow("whole invoice") << 0 << 2 << true;
        QTest::newRow("Cancel after row 5: page 1 with its footer") << 5 << 1 << false;
    }
    void printStraightToThePrinter()
    {
        QFETCH(int, cancelAfterRow);
        QFETCH(int, pages);
        QFETCH(bool, summary);
        PrintedInvoice inv(numbered(40));
        QTemporaryDir dir;
        const QString printed = dir.filePath(QStringLiteral("gedruckt.pdf"));
        inv.druck->runner.printerSettings().printer().setOutputFileName(printed);
        int row = 0;
        QString progressTitle;
        inv.druck->lineBand->AfterPrint = [&, old = inv.druck->lineBand->AfterPrint](Band &b, bool p) {
            old(b, p);
            auto *progress = qobject_cast<ProgressWindow *>(QApplication::activeModalWidget());
            if (progress)
                progressTitle = progress->windowTitle();
            if (++row == cancelAfterRow && progress)
                QTest::mouseClick(progress->cancelButton(), Qt::LeftButton);
        };
        inv.druck->print();
        QCOMPARE(progressTitle, QStringLiteral("Printing progress"));
        QVERIFY(!inv.druck->layout.busy());
        const QString text = pdfText(printed);
        QCOMPARE(text.count(QLatin1Char('\f')), pages);
        QCOMPARE(text.count(texts::PaymentLine), pages);
        QCOMPARE(text.contains(QStringLiteral("Gesamtbetrag / Totale")), summary);
        QCOMPARE(text.contains(QStringLiteral("110,00")), summary);
    }

    void previewFromAModalWindowBelongsToIt()
    {
        PrintedInvoice inv(numbered(3));
        QDialog editor;
        QWidget *parent = nullptr;
        QTimer::singleShot(0, &editor, [&] {
            previewThen(*inv.druck, [&](PreviewWindow &w) { parent = w.parentWidget(); });
            editor.accept();
        });
        editor.exec();
        QCOMPARE(parent, &editor);
    }

    void pdfFromThePreview()
    {
        PrintedInvoice inv({{"Rosen", "4", "12,5"}, {"Erde", "10", "5"}});
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("rechnung.pdf"));
        previewThen(*inv.druck, [&](PreviewWindow &w) { QVERIFY(w.savePages(file, true)); });
        const QString text = pdfText(file);
        QVERIFY2(text.contains(QStringLiteral("Rechnung / Fattura")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("110,00")), qPrintable(text));
        QVERIFY(text.contains(texts::PaymentLine));
    }

    void savedPagesOfARunReadBackEqual()
    {
        PrintedInvoice inv(numbered(40));
        const RunResult r = inv.run();
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("r.QRP"));
        QVERIFY(writeReportFile(r.pages, file));
        const LoadResult back = readReportFile(file);
        QVERIFY2(back.ok, qPrintable(back.error));
        QVERIFY(samePages(back.pages, r.pages));
    }

    void landscapeMakesLaterRunsLandscape()
    {
        PrintedInvoice inv(numbered(20));
        inv.druck->runner.printerSettings().setOrientation(QPageLayout::Landscape);
        const RunResult r = inv.run();
        QCOMPARE(r.pages.front()->paper, QSizeF(297, 210));
        // 2100 long: 719 of room after the title, 14 rows on page 1.
        QCOMPARE(int(r.pages.size()), 2);
        const TextRun *footer = findText(*r.pages.front(), texts::PaymentLine);
        QVERIFY(footer);
        QCOMPARE(footer->box.top(), 192.0);
        inv.druck->runner.printerSettings().setOrientation(QPageLayout::Portrait);
    }

    // An invoice of plants keeps the rows it always had; any other gets a row
    // per rate, each reason for 0 % and the stamp duty under the totals.
    void summaryPerRate_data()
    {
        QTest::addColumn<QList<Line>>("lines");
        QTest::addColumn<QStringList>("rows"); // per rate "caption|taxable|tax"; none: the classic rows
        QTest::addColumn<QStringList>("notes");
        QTest::addColumn<QString>("net");
        QTest::addColumn<QString>("gross");
        QTest::addColumn<int>("page"); // the summary's, from 0

        const QString n32 = QStringLiteral("Nicht steuerbar / Non imponibile art. 41 D.L. 331/93");
        const QString n4 = QStringLiteral("Steuerbefreit / Esente art. 10 D.P.R. 633/72");
        const QString stamp = QStringLiteral("Stempelsteuer / Imposta di bollo assolta in modo virtuale");
        const QString zero32 = rateCaption({0, QStringLiteral("N3.2")});
        const QString zero4 = rateCaption({0, QStringLiteral("N4")});
        QTest::newRow("all 10 %: the classic rows") << QList<Line>{{"Rosen", "4", "12,5"}, {"Erde", "10", "5", "10"}}
                                                    << QStringList{} << QStringList{} << "100,00" << "110,00" << 0;
        // 22 % of 100,00 and 10 % of 50,00; the highest rate first.
        QTest::newRow("10 + 22") << QList<Line>{{"Rosen", "4", "12,5"}, {"Gartenarbeit", "2", "50", "22"}}
                                 << QStringList{"Mwst. / IVA 22 %|100,00|22,00", "Mwst. / IVA 10 %|50,00|5,00"}
                                 << QStringList{} << "150,00" << "177,00" << 0;
        // 4 % of 30,00 is 1,20; the intra-EU supply bears no tax and no stamp duty.
        QTest::newRow("10 + 4 + 0 N3.2")
            << QList<Line>{{"Rosen", "1", "100"}, {"Dünger", "3", "10", "4"}, {"Lieferung", "1", "200", "0", "N3.2"}}
            << QStringList{"Mwst. / IVA 10 %|100,00|10,00", "Mwst. / IVA 4 %|30,00|1,20", zero32 + "|200,00|0,00"}
            << QStringList{n32} << "330,00" << "341,20" << 0;
        // Exempt lines over 77,47 bear stamp duty, which is not part of the gross.
        QTest::newRow("all 0 % N4 over 77,47") << QList<Line>{{"Beratung", "1", "80", "0", "N4"}}
                                               << QStringList{zero4 + "|80,00|0,00"} << QStringList{n4, stamp}
                                               << "80,00" << "80,00" << 0;
        QTest::newRow("all 0 % N4 of 77,47: no stamp duty") << QList<Line>{{"Beratung", "1", "77,47", "0", "N4"}}
                                                            << QStringList{zero4 + "|77,47|0,00"} << QStringList{n4}
                                                            << "77,47" << "77,47" << 0;
        // 24 rows leave 38.9 mm above the footer: the classic summary fits
        // (38.63), two rate rows do not (43.92), so it goes whole to page 2.
        QList<Line> full = numbered(23);
        full.append({"Gartenarbeit", "1", "10", "22"});
        QTest::newRow("summary onto page 2") << full
                                             << QStringList{"Mwst. / IVA 22 %|10,00|2,20", "Mwst. / IVA 10 %|57,50|5,75"}
                                             << QStringList{} << "67,50" << "75,45" << 1;
    }
    void summaryPerRate()
    {
        QFETCH(QList<Line>, lines);
        QFETCH(QStringList, rows);
        QFETCH(QStringList, notes);
        QFETCH(QString, net);
        QFETCH(QString, gross);
        QFETCH(int, page);
        PrintedInvoice inv(lines);
        const RunResult r = inv.run();
        QCOMPARE(r.end, RunEnd::Completed);
        QCOMPARE(int(r.pages.size()), page + 1);
        const Page &p = *r.pages.back();
        const double top = page == 0 ? rowTop(int(lines.size())) : Margin;
        QCOMPARE(firstLine(textEndingAt(p, Margin + 177.80, top + 13.23)), net);
        const TextRun *netEuro = textAt(p, Margin + 144.99, top + 13.23);
        QVERIFY(netEuro && !netEuro->font.bold);

        const bool classic = rows.isEmpty();
        QCOMPARE(bool(findText(p, QStringLiteral("Mwst. - Betrag / Importo IVA"))), classic);
        QCOMPARE(bool(findText(p, QStringLiteral("10 %"))), classic);
        if (classic)
            QCOMPARE(firstLine(textEndingAt(p, Margin + 177.80, top + 18.52)), inv.druck->taxTotal->caption);
        for (int i = 0; i < rows.size(); ++i) {
            const QStringList row = rows[i].split(QLatin1Char('|'));
            const double y = top + 18.52 + i * 5.29;
            QCOMPARE(firstLine(textAt(p, Margin + 18.52, y)), row[0]);
            QCOMPARE(firstLine(textAt(p, Margin + 76.73, y)), QStringLiteral("auf / su"));
            // A rate of 0 % names its nature beside the caption.
            const QString nature = row[0].endsWith(QStringLiteral(" 0 %")) ? inv.druck->printedTotals().rates.value(i).rate.nature
                                                                          : QStringLiteral("<none>");
            QCOMPARE(firstLine(textAt(p, Margin + 56.09, y)), nature);
            QCOMPARE(firstLine(textEndingAt(p, Margin + 133.09, y)), row[1]);
            QCOMPARE(firstLine(textEndingAt(p, Margin + 177.80, y)), row[2]);
            QCOMPARE(firstLine(textAt(p, Margin + 178.86, y)), QStringLiteral(".-"));
        }
        // The gross row as far below the last rate row as the classic one is below its one.
        const double shift = std::max(0, int(rows.size()) - 1) * 5.29;
        QCOMPARE(firstLine(textAt(p, Margin + 18.52, top + 31.75 + shift)), QStringLiteral("Gesamtbetrag / Totale"));
        QCOMPARE(firstLine(textEndingAt(p, Margin + 177.80, top + 31.75 + shift)), gross);
        for (int j = 0; j < notes.size(); ++j)
            QCOMPARE(firstLine(textAt(p, Margin + 18.52, top + 38.63 + shift + j * 5.29)), notes[j]);
        const bool stampDuty = notes.contains(QStringLiteral("Stempelsteuer / Imposta di bollo assolta in modo virtuale"));
        QCOMPARE(inv.druck->printedTotals().stampDuty, stampDuty);
        if (stampDuty)
            QCOMPARE(firstLine(textEndingAt(p, Margin + 177.80, top + 38.63 + shift + (notes.size() - 1) * 5.29)),
                     QStringLiteral("2,00"));
        // Nothing of the summary before its page, and all of it above the footer.
        for (int i = 0; i < page; ++i)
            QVERIFY(!findText(*r.pages[size_t(i)], QStringLiteral("Gesamtbetrag / Totale")));
        for (const TextRun *t : textRuns(p))
            if (t->lines != QStringList{texts::PaymentLine})
                QVERIFY2(t->box.bottom() <= 279.0 + 1e-9, qPrintable(t->lines.join(QLatin1Char(' '))));
    }

    // Each printed line shows the exact amount the totals add up, not the
    // calculated field's binary product, so the lines add up to the net.
    void printedLineAmountsAddUpToTheNet_data()
    {
        QTest::addColumn<QList<Line>>("lines");
        QTest::addColumn<QStringList>("amounts");
        QTest::addColumn<QString>("net");
        // 1,005 and 2,675 lie just below their halves as binary numbers.
        QTest::newRow("1,005") << QList<Line>{{"a", "1", "1,005"}} << QStringList{"1,01"} << "1,01";
        QTest::newRow("2,675 and 0,335 three times")
            << QList<Line>{{"a", "1", "2,675"}, {"b", "3", "0,335"}} << QStringList{"2,68", "1,01"} << "3,69";
        QTest::newRow("a line without quantity shows nothing")
            << QList<Line>{{"a", "2", "1,005"}, {"Beratung", "", "30"}} << QStringList{"2,01", ""} << "2,01";
        QTest::newRow("at 22 %") << QList<Line>{{"a", "1", "1,005", "22"}, {"b", "1", "2", "0", "N3.2"}}
                                 << QStringList{"1,01", "2,00"} << "3,01";
    }
    void printedLineAmountsAddUpToTheNet()
    {
        QFETCH(QList<Line>, lines);
        QFETCH(QStringList, amounts);
        QFETCH(QString, net);
        PrintedInvoice inv(lines);
        const RunResult r = inv.run();
        QCOMPARE(r.end, RunEnd::Completed);
        const Page &page = *r.pages.front();
        for (int i = 0; i < amounts.size(); ++i) {
            const TextRun *t = textAt(page, Margin + 154.52, rowTop(i) + 0.26);
            QVERIFY(t);
            QCOMPARE(firstLine(t), amounts[i]);
            QCOMPARE(t->font, (FontSpec{QStringLiteral("Verdana"), 11, false}));
            QCOMPARE(t->align, HAlign::Right);
        }
        QCOMPARE(firstLine(textEndingAt(page, Margin + 177.80, rowTop(int(lines.size())) + 13.23)), net);
    }

    // A logo of the business's own fills its box as far as its shape allows.
    void storedLogoScaledIntoItsBox_data()
    {
        QTest::addColumn<QSize>("pixels");
        QTest::addColumn<QSizeF>("drawn"); // mm
        QTest::newRow("wide: the box's width") << QSize(400, 100) << QSizeF(59.53, 14.88);
        QTest::newRow("tall: the box's height") << QSize(100, 400) << QSizeF(7.47, 29.90);
        QTest::newRow("small: enlarged") << QSize(40, 20) << QSizeF(59.53, 29.77);
        QTest::newRow("large: reduced") << QSize(3000, 1000) << QSizeF(59.53, 19.84);
    }
    void storedLogoScaledIntoItsBox()
    {
        QFETCH(QSize, pixels);
        QFETCH(QSizeF, drawn);
        PrintedInvoice inv(numbered(1));
        QImage image(pixels, QImage::Format_RGB32);
        image.fill(Qt::darkGreen);
        einvoice::Seller seller;
        seller.businessName = QStringLiteral("Baumschule Beispiel");
        seller.owner = QStringLiteral("Ida Blum");
        Letterhead l = Letterhead::of(seller);
        l.logo = image;
        inv.druck->setLetterhead(l);
        const RunResult r = inv.run();
        std::vector<ImageRun> images;
        for (const DrawOp &op : r.pages.front()->ops)
            if (const auto *i = std::get_if<ImageRun>(&op))
                images.push_back(*i);
        QCOMPARE(images.size(), size_t(1));
        const ImageRun &logo = images.front();
        QCOMPARE(logo.image, image);
        QVERIFY2(std::abs(logo.target.width() - drawn.width()) < Near, qPrintable(QString::number(logo.target.width())));
        QVERIFY2(std::abs(logo.target.height() - drawn.height()) < Near, qPrintable(QString::number(logo.target.height())));
        // At the box's left edge, in the middle of its height.
        QCOMPARE(logo.target.left(), Margin);
        QVERIFY(std::abs(logo.target.center().y() - (Margin + 6.35 + 29.90 / 2)) < Near);
        QVERIFY(!findWrapped(*r.pages.front(), seller.businessName));
        // Taken away again: the name stands in the box.
        l.logo = QImage();
        inv.druck->setLetterhead(l);
        const RunResult without = inv.run();
        QVERIFY(findWrapped(*without.pages.front(), seller.businessName));
        for (const DrawOp &op : without.pages.front()->ops)
            QVERIFY(!std::holds_alternative<ImageRun>(op));
    }

    // Without a logo the business's name is set in the title font, as large
    // as the box allows, and never cut.
    void nameInTheLogoBox_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("short: one line") << "Blumen Ida" << QStringList{"Blumen Ida"};
        QTest::newRow("long: broken at blanks")
            << "Gärtnerei und Baumschule Immergrün am Sonnenhang" << QStringList();
    }
    void nameInTheLogoBox()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, lines);
        PrintedInvoice inv(numbered(1));
        einvoice::Seller seller;
        seller.businessName = name;
        seller.owner = QStringLiteral("Ida Blum");
        inv.druck->setLetterhead(Letterhead::of(seller));
        const RunResult r = inv.run();
        const Page &page = *r.pages.front();
        const TextRun *t = findWrapped(page, name);
        QVERIFY(t);
        if (!lines.isEmpty())
            QCOMPARE(t->lines, lines);
        else
            QVERIFY(t->lines.size() > 1);
        QCOMPARE(t->font.family, QStringLiteral("Verdana"));
        QVERIFY(t->font.bold);
        // Larger than the letterhead's lines beneath it.
        QVERIFY(t->font.pixels > windowsPixelSize(11));
        const QRectF box(Margin, Margin + 6.35, 59.53, 29.90);
        TextMeasure m;
        QVERIFY(t->box.top() >= box.top() - Near && t->box.bottom() <= box.bottom() + Near);
        for (const QString &line : t->lines)
            QVERIFY2(m.width(t->font, line) <= box.width() + 1e-9, qPrintable(line));
        // One size larger would not fit the box.
        const FontSpec larger{t->font.family, t->font.pixels + 1, true};
        bool largerFits = t->lines.size() * m.lineHeight(larger) <= box.height() + 1e-9;
        for (const QString &line : t->lines)
            largerFits = largerFits && m.width(larger, line) <= box.width() + 1e-9;
        QVERIFY(t->lines.size() > 1 || !largerFits);
        for (const DrawOp &op : page.ops)
            QVERIFY(!std::holds_alternative<ImageRun>(op));
    }

    // The sample nursery, on a file without business data, keeps its picture.
    void samplePictureWithoutBusinessData()
    {
        QCOMPARE(Letterhead::of(einvoice::Seller()), Letterhead::sample());
        QCOMPARE(Letterhead::sample().logo.size(), QSize(225, 113));
        einvoice::Seller own;
        own.businessName = QStringLiteral("Baumschule Beispiel");
        QVERIFY(Letterhead::of(own).logo.isNull());
        QCOMPARE(Letterhead::of(own).businessName, own.businessName);
    }

    // The seller's IBAN and codice fiscale under the payment line, on every
    // page, without moving it.
    void bankLineInTheFooter_data()
    {
        QTest::addColumn<QString>("iban");
        QTest::addColumn<QString>("fiscalCode");
        QTest::addColumn<QString>("line"); // empty: none drawn
        QTest::newRow("both") << "IT60 X054 2811 1010 0000 0123 456" << "GRBJSF70A01A952X"
                              << "IBAN IT60 X054 2811 1010 0000 0123 456 · C.F. GRBJSF70A01A952X";
        QTest::newRow("IBAN only") << "IT60X0542811101000000123456" << ""
                                   << "IBAN IT60X0542811101000000123456";
        QTest::newRow("codice fiscale only") << "" << "01234567890" << "C.F. 01234567890";
        QTest::newRow("neither") << "" << "" << "";
    }
    void bankLineInTheFooter()
    {
        QFETCH(QString, iban);
        QFETCH(QString, fiscalCode);
        QFETCH(QString, line);
        PrintedInvoice inv(numbered(30));
        einvoice::Seller seller;
        seller.businessName = QStringLiteral("Baumschule Beispiel");
        seller.paymentLine = QStringLiteral("Bank: Raiffeisenkasse");
        seller.iban = iban;
        seller.fiscalCode = fiscalCode;
        inv.druck->setLetterhead(Letterhead::of(seller));
        const RunResult r = inv.run();
        QCOMPARE(r.pages.size(), size_t(2));
        for (const PagePtr &p : r.pages) {
            const TextRun *payment = findText(*p, seller.paymentLine);
            QVERIFY(payment);
            QCOMPARE(payment->box.top(), 279.0);
            QVERIFY(std::abs(payment->box.left() - (Margin + 27.52)) < Near);
            const TextRun *bank = textAt(*p, Margin + 27.52, 279.0 + 5.03);
            QCOMPARE(bool(bank), !line.isEmpty());
            if (!bank)
                continue;
            QCOMPARE(bank->lines, QStringList{line});
            QVERIFY(bank->box.top() >= payment->box.bottom() - Near);
            // Within the paper's printable bottom margin.
            QVERIFY(bank->box.bottom() <= 297.0 - 6.35);
        }
    }

    void captionsBeforeTheFirstRun()
    {
        PrintedInvoice inv({});
        QCOMPARE(inv.druck->netTotal->caption, QStringLiteral("EuroTotalesdf"));
        QCOMPARE(inv.druck->taxTotal->caption, QStringLiteral("EuroTotalesdf"));
        QCOMPARE(inv.druck->grossTotal->caption, QStringLiteral("EuroTotalesdf"));
        QCOMPARE(inv.druck->layout.band(BandType::Detail)->elements().size(), size_t(10));
        QCOMPARE(inv.druck->layout.band(BandType::Title)->elements().size(), size_t(38));
        QCOMPARE(inv.druck->layout.band(BandType::Summary)->elements().size(), size_t(14));
    }
};

QTEST_MAIN(TestInvoiceReport)
#include "tst_invoicereport.moc"
