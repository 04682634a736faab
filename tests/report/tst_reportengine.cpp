// The report engine without the invoice: text sizing, runs of a small
// layout, saved pages, PDF, the printer path, the preview and progress
// windows, and the input guard of a run.

#include "framework/flatbutton.h"
#include "framework/messages.h"
#include "framework/report/band.h"
#include "framework/report/fontmetrics.h"
#include "framework/report/inputguard.h"
#include "framework/report/page.h"
#include "framework/report/pagefile.h"
#include "framework/report/previewwindow.h"
#include "framework/report/printing.h"
#include "framework/report/progresswindow.h"
#include "framework/report/report.h"
#include "framework/report/runner.h"

#include "data/errors.h"
#include "data/rowsource.h"

#include "pdftext.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QFileDialog>
#include <QFile>
#include <QInputDialog>
#include <QLineEdit>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtEndian>
#include <QTimer>
#include <QtTest>

using namespace rpt;

namespace {

const FontSpec Verdana8{QStringLiteral("Verdana"), 11, false};

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

// A page with one of every kind of drawing.
PagePtr samplePage(const QString &word, int number)
{
    auto p = std::make_shared<Page>();
    p->paper = QSizeF(210, 297);
    TextRun t;
    t.font = FontSpec{QStringLiteral("Verdana"), 12, true};
    t.box = QRectF(20, 30, 80, 10);
    t.align = HAlign::Center;
    t.lineHeight = 3.7;
    t.lines = {word, QStringLiteral("Seite %1").arg(number)};
    p->ops.push_back(t);
    p->ops.push_back(LineRun{QPointF(10, 50), QPointF(200, 50), PenStyle::Dotted, 0.26});
    p->ops.push_back(RoundRectRun{QRectF(10, 60, 100, 30), 0.26, 34, false, true});
    QImage img(8, 4, QImage::Format_RGB32);
    img.fill(QColor(200, 30, 30));
    p->ops.push_back(ImageRun{img, QRectF(10, 100, 8, 4), QRectF(10, 100, 5, 4)});
    return p;
}

Pages samplePages(int n)
{
    Pages pages;
    for (int i = 1; i <= n; ++i)
        pages.push_back(samplePage(QStringLiteral("Blatt%1").arg(i), i));
    return pages;
}

// Rows held in memory, with one field.
class ListRows : public RowSource
{
public:
    ListRows(QString field, QStringList values) : m_field(std::move(field)), m_values(std::move(values)) {}
    void first() override { m_at = 0; }
    void next() override { ++m_at; }
    bool atEnd() const override { return m_at >= m_values.size(); }
    int rowCount() const override { return int(m_values.size()); }
    QString fieldText(const QString &field) const override
    {
        return field == m_field && !atEnd() ? m_values.at(m_at) : QString();
    }

private:
    QString m_field;
    QStringList m_values;
    qsizetype m_at = 0;
};

// Runs `act` on the next modal dialog of type T once it is open.
template <class T, class F>
void whenOpen(F act)
{
    QTimer::singleShot(0, [act] {
        for (int i = 0; i < 200; ++i) {
            if (auto *d = qobject_cast<T *>(QApplication::activeModalWidget())) {
                act(d);
                return;
            }
            QTest::qWait(10);
        }
        qWarning("dialog did not open");
    });
}

} // namespace

class TestReportEngine : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QApplication::setEffectEnabled(Qt::UI_AnimateTooltip, false); }

    // ---- text sizing

    void paragraphsSplitAtCarriageReturns_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("CR LF") << QStringLiteral("Weg 1\r\n39000 Ort") << QStringList{"Weg 1", "39000 Ort"};
        QTest::newRow("bare LF is dropped") << QStringLiteral("Weg 1\n39000 Ort") << QStringList{"Weg 139000 Ort"};
        QTest::newRow("empty paragraph kept") << QStringLiteral("a\r\rb") << QStringList{"a", "", "b"};
        QTest::newRow("empty text") << QString() << QStringList{""};
    }
    void paragraphsSplitAtCarriageReturns()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, expected);
        QCOMPARE(paragraphs(text), expected);
    }

    void wrapBreaksAfterBlankOrHyphen_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("blanks") << QStringLiteral("aaa bbb ccc") << QStringList{"aaa", "bbb", "ccc"};
        QTest::newRow("hyphen stays with its word") << QStringLiteral("aaa-bbb") << QStringList{"aaa-", "bbb"};
        QTest::newRow("two words fit") << QStringLiteral("aa bb") << QStringList{"aa bb"};
        QTest::newRow("trailing blank does not count") << QStringLiteral("aaaaaa ") << QStringList{"aaaaaa"};
        QTest::newRow("word wider than the box is cut") << QStringLiteral("aaaaaaaaaa bb")
                                                        << QStringList{"aaaaaa", "bb"};
        QTest::newRow("a word needs room for its blank") << QStringLiteral("aaa aa b") << QStringList{"aaa", "aa b"};
    }
    void wrapBreaksAfterBlankOrHyphen()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, expected);
        TextMeasure m;
        // A box just as wide as "aaaaaa".
        const double width = m.width(Verdana8, QStringLiteral("aaaaaa"));
        QVERIFY(m.width(Verdana8, QStringLiteral("aaa bbb")) > width);
        QVERIFY(m.width(Verdana8, QStringLiteral("aaa-bbb")) > width);
        QVERIFY(m.width(Verdana8, QStringLiteral("aa bb")) <= width);
        // "aa" fits after "aaa " only without the blank that follows it.
        QVERIFY(m.width(Verdana8, QStringLiteral("aaa aa")) <= width);
        QVERIFY(m.width(Verdana8, QStringLiteral("aaa aa ")) > width);
        const QStringList lines = wrapParagraph(text, width, Verdana8, m);
        QCOMPARE(lines, expected);
        for (const QString &l : lines)
            QVERIFY(m.width(Verdana8, l) <= width + 1e-9);
    }

    void cutWordEndsAtTheLastCharacterThatFits()
    {
        TextMeasure m;
        const QString word = QStringLiteral("Donaudampfschifffahrtsgesellschaftskapitän");
        const double width = 30;
        const QStringList lines = wrapParagraph(word, width, Verdana8, m);
        QCOMPARE(lines.size(), 1);
        const QString cut = lines.front();
        QVERIFY(word.startsWith(cut));
        QVERIFY(cut.size() < word.size());
        QVERIFY(m.width(Verdana8, cut) <= width);
        QVERIFY(m.width(Verdana8, word.left(cut.size() + 1)) > width);
    }

    void layoutCountsTheLinesThatFitTheBox_data()
    {
        QTest::addColumn<double>("heightInLines");
        QTest::addColumn<double>("extra");
        QTest::addColumn<int>("inBox");
        // A line counts when it ends within the box's height plus 0.1 mm.
        QTest::newRow("room for one") << 1.0 << 0.0 << 1;
        QTest::newRow("two lines end exactly 0.1 below") << 2.0 << -0.1 << 2;
        QTest::newRow("two lines end just beyond") << 2.0 << -0.11 << 1;
        QTest::newRow("room for more than there are") << 10.0 << 0.0 << 3;
    }
    void layoutCountsTheLinesThatFitTheBox()
    {
        QFETCH(double, heightInLines);
        QFETCH(double, extra);
        QFETCH(int, inBox);
        TextMeasure m;
        const double lh = m.lineHeight(Verdana8);
        FixedText e(QStringLiteral("e"), QRectF(0, 0, 50, heightInLines * lh + extra), Verdana8, HAlign::Left, Sizing::Fixed,
                    QString());
        const TextBlock b = layoutText(e, QStringLiteral("x\ry\rz"), m);
        QCOMPARE(int(b.lines.size()), 3);
        QCOMPARE(b.linesInBox, inBox);
    }

    void autoWidthTakesTheWidestLine()
    {
        TextMeasure m;
        FixedText e(QStringLiteral("e"), QRectF(5, 0, 1, 20), Verdana8, HAlign::Left, Sizing::AutoWidth, QString());
        const TextBlock b = layoutText(e, QStringLiteral("kurz\r\nein wenig länger"), m);
        QCOMPARE(b.lines, (QStringList{"kurz", "ein wenig länger"}));
        QCOMPARE(b.width, m.width(Verdana8, QStringLiteral("ein wenig länger")));
    }

    void rightAlignedFixedTextGrowsLeftwards_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("align");
        QTest::addColumn<int>("sizing");
        QTest::addColumn<double>("slack"); // box width less the text's width
        QTest::addColumn<bool>("whole");
        const int R = int(HAlign::Right), L = int(HAlign::Left), C = int(HAlign::Center);
        const int Fixed = int(Sizing::Fixed), Stretch = int(Sizing::Stretch);
        const QString big = QStringLiteral("99.999.999,99");
        const QString negative = QStringLiteral("-10.000.000,00");
        QTest::newRow("right, wider than its box") << big << R << Fixed << -5.0 << true;
        QTest::newRow("right, a hyphen would wrap it") << negative << R << Fixed << -1.0 << true;
        QTest::newRow("right, a blank would wrap it") << QStringLiteral("Euro 1.000,00") << R << Fixed << -1.0 << true;
        QTest::newRow("right, fits") << big << R << Fixed << 2.0 << true;
        QTest::newRow("left is still cut") << big << L << Fixed << -5.0 << false;
        QTest::newRow("centred is still cut") << big << C << Fixed << -5.0 << false;
        QTest::newRow("stretching still wraps") << negative << R << Stretch << -1.0 << false;
    }
    void rightAlignedFixedTextGrowsLeftwards()
    {
        QFETCH(QString, text);
        QFETCH(int, align);
        QFETCH(int, sizing);
        QFETCH(double, slack);
        QFETCH(bool, whole);
        TextMeasure m;
        const FontSpec font{QStringLiteral("Verdana"), 13, true};
        const double textWidth = m.width(font, text);
        const QRectF box(150, 10, textWidth + slack, 4.5);
        FixedText e(QStringLiteral("e"), box, font, HAlign(align), Sizing(sizing), text);
        const TextBlock b = layoutText(e, text, m);
        if (whole) {
            QCOMPARE(b.lines, QStringList{text});
            // The right edge stays; the box reaches as far left as the text needs.
            QCOMPARE(b.width, std::max(box.width(), textWidth));
            QCOMPARE(b.grownLeft, b.width - box.width());
            QCOMPARE(b.linesInBox, 1);
        } else {
            QVERIFY(b.lines.join(QString()) != text || b.linesInBox < b.lines.size());
            QCOMPARE(b.width, box.width());
            QCOMPARE(b.grownLeft, 0.0);
        }
    }

    void grownBoxEndsAtItsDesignRightEdge()
    {
        Report report;
        report.pixelDensity = 96;
        const FontSpec font{QStringLiteral("Verdana"), 13, true};
        Band *band = report.addBand(BandType::Detail, QStringLiteral("d"), 10, 180);
        const QString amount = QStringLiteral("99.999.999,99");
        band->add<FixedText>(QStringLiteral("summe"), QRectF(150, 1, 20, 4.5), font, HAlign::Right, Sizing::Fixed, amount);
        const RunResult r = report.run();
        QCOMPARE(r.pages.size(), size_t(1));
        const TextRun *t = nullptr;
        for (const DrawOp &op : r.pages.front()->ops)
            if (const auto *run = std::get_if<TextRun>(&op))
                t = run;
        QVERIFY(t);
        QCOMPARE(t->lines, QStringList{amount});
        TextMeasure m;
        QVERIFY(m.width(font, amount) > 20);
        QVERIFY(std::abs(t->box.right() - (report.page.leftMargin / 10 + 170)) < 1e-9);
        QVERIFY(std::abs(t->box.width() - m.width(font, amount)) < 1e-9);
    }

    void roundedCornersFromTheDesignWidth_data()
    {
        QTest::addColumn<double>("width");
        QTest::addColumn<double>("rounding");
        QTest::addColumn<int>("pixels");
        // Design width in 96-dpi pixels times the factor, fraction cut off.
        QTest::newRow("698 px x 0.02") << 698 * 25.4 / 96 << 0.02 << 13;
        QTest::newRow("344 px x 0.1") << 344 * 25.4 / 96 << 0.1 << 34;
        QTest::newRow("no rounding") << 50.0 << 0.0 << 0;
    }
    void roundedCornersFromTheDesignWidth()
    {
        QFETCH(double, width);
        QFETCH(double, rounding);
        QFETCH(int, pixels);
        RoundedRectangle r(QStringLiteral("r"), QRectF(0, 0, width, 10), rounding, false);
        QCOMPARE(r.cornerPixels(), pixels);
    }

    // ---- runs without a record set

    void runWithoutRowsPrintsTitleDetailSummaryAndFooter()
    {
        Report r;
        r.addBand(BandType::Title, QStringLiteral("t"), 20, 180)
            ->add<FixedText>(QStringLiteral("a"), QRectF(0, 0, 50, 5), Verdana8, HAlign::Left, Sizing::Fixed, QStringLiteral("Kopf"));
        Band *d = r.addBand(BandType::Detail, QStringLiteral("d"), 5, 180);
        d->add<FixedText>(QStringLiteral("b"), QRectF(0, 0, 50, 5), Verdana8, HAlign::Left, Sizing::Fixed, QStringLiteral("Zeile"));
        int detailPrints = 0;
        d->AfterPrint = [&](Band &, bool printed) { detailPrints += printed ? 1 : 0; };
        r.addBand(BandType::Summary, QStringLiteral("s"), 10, 180)
            ->add<FixedText>(QStringLiteral("c"), QRectF(0, 0, 50, 5), Verdana8, HAlign::Left, Sizing::Fixed, QStringLiteral("Summe"));
        r.addBand(BandType::PageFooter, QStringLiteral("f"), 5, 180)
            ->add<FixedText>(QStringLiteral("e"), QRectF(0, 0, 50, 5), Verdana8, HAlign::Left, Sizing::Fixed, QStringLiteral("Fuß"));
        const RunResult result = r.run();
        QCOMPARE(result.end, RunEnd::Completed);
        QCOMPARE(result.pages.size(), size_t(1));
        QCOMPARE(result.pages.front()->texts(), (QStringList{"Kopf", "Zeile", "Summe", "Fuß"}));
        QCOMPARE(detailPrints, 1);
        QVERIFY(!r.busy());
        // Footer top at 2970 - 127 - 50 = 2793 tenths.
        const auto &footer = std::get<TextRun>(result.pages.front()->ops.back());
        QCOMPARE(footer.box.top(), 279.3);
        QCOMPARE(footer.box.left(), 12.7);
    }

    void beforePrintCanStopTheRun()
    {
        Report r;
        r.addBand(BandType::Title, QStringLiteral("t"), 20, 180);
        r.BeforePrint = [](Report &, bool &go) { go = false; };
        const RunResult result = r.run();
        QCOMPARE(result.end, RunEnd::Cancelled);
        QVERIFY(result.pages.empty());
    }

    void secondRunIsRefusedWhileOneIsInProgress()
    {
        Report r;
        Band *t = r.addBand(BandType::Title, QStringLiteral("t"), 20, 180);
        RunEnd inner = RunEnd::Completed;
        t->AfterPrint = [&](Band &, bool) { inner = r.run().end; };
        QCOMPARE(r.run().end, RunEnd::Completed);
        QCOMPARE(inner, RunEnd::Refused);
    }

    void hookFailureEndsTheRunWithWhatWasProduced()
    {
        Report r;
        r.addBand(BandType::Title, QStringLiteral("t"), 20, 180)
            ->add<FixedText>(QStringLiteral("a"), QRectF(0, 0, 50, 5), Verdana8, HAlign::Left, Sizing::Fixed, QStringLiteral("Kopf"));
        Band *s = r.addBand(BandType::Summary, QStringLiteral("s"), 10, 180);
        s->BeforePrint = [](Band &, bool &) { throw ConversionError(QStringLiteral("'x' ist kein gültiger Gleitkommawert")); };
        r.addBand(BandType::PageFooter, QStringLiteral("f"), 5, 180)
            ->add<FixedText>(QStringLiteral("e"), QRectF(0, 0, 50, 5), Verdana8, HAlign::Left, Sizing::Fixed, QStringLiteral("Fuß"));
        const RunResult result = r.run();
        QCOMPARE(result.end, RunEnd::Failed);
        QCOMPARE(result.error, QStringLiteral("'x' ist kein gültiger Gleitkommawert"));
        // The unfinished page is kept, without its footer.
        QCOMPARE(result.pages.size(), size_t(1));
        QCOMPARE(result.pages.front()->texts(), QStringList{"Kopf"});
        QVERIFY(!r.busy());
        QCOMPARE(r.run().end, RunEnd::Failed); // and the next run starts normally
    }

    // The rows of a summary band with rows of its own, as the rates under an
    // invoice's lines: 200 mm of title, 10 mm per line, per rate and for the
    // total; the footer starts at 2970 - 127 - 50 = 2793 tenths.
    void summaryBandRepeatsForEachOfItsRows_data()
    {
        QTest::addColumn<int>("lines");
        QTest::addColumn<QStringList>("rates");
        QTest::addColumn<QList<QStringList>>("pages");
        QTest::addColumn<QList<double>>("rateTops");

        const QString k = QStringLiteral("Kopf"), z = QStringLiteral("Zeile"), s = QStringLiteral("Summe"), f = QStringLiteral("Fuß");
        QTest::newRow("no rates: no rate row, the total under the line")
            << 1 << QStringList{} << QList<QStringList>{{k, z, s, f}} << QList<double>{};
        QTest::newRow("one rate")
            << 1 << QStringList{"10 %"} << QList<QStringList>{{k, z, "10 %", s, f}} << QList<double>{222.7};
        QTest::newRow("three rates, one under the other")
            << 1 << QStringList{"4 %", "10 %", "22 %"} << QList<QStringList>{{k, z, "4 %", "10 %", "22 %", s, f}}
            << QList<double>{222.7, 232.7, 242.7};
        // Four lines end at 2527; two rates fill the page to 2727, leaving 66
        // tenths: the third rate opens page 2 at its top margin.
        QTest::newRow("three rates over a page break")
            << 4 << QStringList{"4 %", "10 %", "22 %"}
            << QList<QStringList>{{k, z, z, z, z, "4 %", "10 %", f}, {"22 %", s, f}}
            << QList<double>{252.7, 262.7, 12.7};
    }
    void summaryBandRepeatsForEachOfItsRows()
    {
        QFETCH(int, lines);
        QFETCH(QStringList, rates);
        QFETCH(QList<QStringList>, pages);
        QFETCH(QList<double>, rateTops);

        ListRows lineRows(QStringLiteral("text"), QStringList(lines, QStringLiteral("Zeile")));
        ListRows rateRows(QStringLiteral("rate"), rates);
        Report r;
        r.dataSet = &lineRows;
        r.addBand(BandType::Title, QStringLiteral("t"), 200, 180)
            ->add<FixedText>(QStringLiteral("a"), QRectF(0, 0, 50, 5), Verdana8, HAlign::Left, Sizing::Fixed, QStringLiteral("Kopf"));
        r.addBand(BandType::Detail, QStringLiteral("d"), 10, 180)
            ->add<DataText>(QStringLiteral("b"), QRectF(0, 0, 50, 5), Verdana8, HAlign::Left, Sizing::Fixed, &lineRows, QStringLiteral("text"));
        Band *perRate = r.addBand(BandType::Summary, QStringLiteral("rates"), 10, 180);
        perRate->rows = &rateRows;
        perRate->add<DataText>(QStringLiteral("c"), QRectF(0, 0, 50, 5), Verdana8, HAlign::Left, Sizing::Fixed, &rateRows, QStringLiteral("rate"));
        QStringList printedFor;
        perRate->AfterPrint = [&](Band &, bool) { printedFor << rateRows.fieldText(QStringLiteral("rate")); };
        r.addBand(BandType::Summary, QStringLiteral("s"), 10, 180)
            ->add<FixedText>(QStringLiteral("e"), QRectF(0, 0, 50, 5), Verdana8, HAlign::Left, Sizing::Fixed, QStringLiteral("Summe"));
        r.addBand(BandType::PageFooter, QStringLiteral("f"), 5, 180)
            ->add<FixedText>(QStringLiteral("g"), QRectF(0, 0, 50, 5), Verdana8, HAlign::Left, Sizing::Fixed, QStringLiteral("Fuß"));

        const RunResult result = r.run();
        QCOMPARE(result.end, RunEnd::Completed);
        QList<QStringList> texts;
        QList<double> tops;
        for (const PagePtr &page : result.pages) {
            texts << page->texts();
            for (const DrawOp &op : page->ops)
                if (const auto *t = std::get_if<TextRun>(&op); t && rates.contains(t->lines.value(0)))
                    tops << t->box.top();
        }
        QCOMPARE(texts, pages);
        QCOMPARE(tops, rateTops);
        // Each row is current while its band prints.
        QCOMPARE(printedFor, rates);
    }

    void pictureAtItsNaturalSizeForTheScreen_data()
    {
        QTest::addColumn<double>("dpi");
        QTest::newRow("96 dpi fills the box") << 96.0;
        QTest::newRow("120 dpi is smaller") << 120.0;
        QTest::newRow("72 dpi is larger and cut") << 72.0;
    }
    void pictureAtItsNaturalSizeForTheScreen()
    {
        QFETCH(double, dpi);
        Report r;
        r.pixelDensity = dpi;
        const QRectF box(0, 6.35, 225 * 25.4 / 96, 113 * 25.4 / 96);
        r.addBand(BandType::Title, QStringLiteral("t"), 50, 180)
            ->add<Picture>(QStringLiteral("p"), box, QImage(225, 113, QImage::Format_RGB32));
        const RunResult result = r.run();
        const auto &img = std::get<ImageRun>(result.pages.front()->ops.front());
        QCOMPARE(img.target.size(), QSizeF(225 * 25.4 / dpi, 113 * 25.4 / dpi));
        QCOMPARE(img.target.topLeft(), QPointF(12.7, 12.7 + 6.35));
        QCOMPARE(img.clip, box.translated(12.7, 12.7));
    }

    // ---- saved pages

    void savedPagesReadBackEqual()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("r.QRP"));
        const Pages pages = samplePages(3);
        QString error;
        QVERIFY2(writeReportFile(pages, file, &error), qPrintable(error));
        const LoadResult loaded = readReportFile(file);
        QVERIFY2(loaded.ok, qPrintable(loaded.error));
        QVERIFY(samePages(loaded.pages, pages));
    }

    void implausiblePagesAreRefused_data()
    {
        QTest::addColumn<int>("flaw");
        // Each file is well formed, hash included: only its contents are not pages of ours.
        QTest::newRow("no pages") << 0;
        QTest::newRow("paper of a micrometre") << 1;
        QTest::newRow("paper of nine kilometres") << 2;
        QTest::newRow("a box nine kilometres off the paper") << 3;
    }
    void implausiblePagesAreRefused()
    {
        QFETCH(int, flaw);
        auto page = std::make_shared<Page>(*samplePage(QStringLiteral("Blatt"), 1));
        switch (flaw) {
        case 1: page->paper = QSizeF(0.001, 0.001); break;
        case 2: page->paper = QSizeF(9e6, 297); break;
        case 3: std::get<TextRun>(page->ops.front()).box.moveLeft(-9e6); break;
        }
        Pages pages;
        if (flaw != 0)
            pages.push_back(page);
        const LoadResult loaded = decodeReport(encodeReport(pages), QStringLiteral("r.QRP"));
        QVERIFY(!loaded.ok);
        QCOMPARE(loaded.error, QStringLiteral("Die Datei \"r.QRP\" ist beschädigt und kann nicht geladen werden."));
        QVERIFY(loaded.pages.empty());
    }

    void nothingToSaveWithoutPages()
    {
        QTemporaryDir dir;
        for (const char *name : {"r.QRP", "r.pdf"}) {
            const QString file = dir.filePath(QString::fromLatin1(name));
            QString error;
            const bool written = file.endsWith(QLatin1String(".pdf")) ? writePdf({}, file, &error) : writeReportFile({}, file, &error);
            QVERIFY(!written);
            QCOMPARE(error, QStringLiteral("Es gibt keine Seiten zum Speichern."));
            QVERIFY(!QFile::exists(file));
        }
    }

    void brokenFilesAreRefused_data()
    {
        QTest::addColumn<int>("damage");
        QTest::addColumn<QString>("message");
        const QString broken = QStringLiteral("Die Datei \"r.QRP\" ist beschädigt und kann nicht geladen werden.");
        QTest::newRow("a byte of the pages changed") << 0 << broken;
        QTest::newRow("cut short") << 1 << broken;
        QTest::newRow("cut inside the header") << 2 << broken;
        QTest::newRow("some other file") << 3 << QStringLiteral("Die Datei \"r.QRP\" ist kein gespeicherter Bericht.");
        QTest::newRow("from a newer version") << 4
                                              << QStringLiteral("Die Datei \"r.QRP\" stammt aus einer neueren Programmversion und kann nicht geladen werden.");
        QTest::newRow("hash mended over a bad drawing kind") << 5 << broken;
    }
    void brokenFilesAreRefused()
    {
        QFETCH(int, damage);
        QFETCH(QString, message);
        QByteArray bytes = encodeReport(samplePages(2));
        switch (damage) {
        case 0: bytes[bytes.size() / 2] = char(bytes[bytes.size() / 2] ^ 0x20); break;
        case 1: bytes.chop(7); break;
        case 2: bytes.truncate(20); break;
        case 3: bytes = QByteArray("%PDF-1.4 something else entirely"); break;
        case 4: bytes[9] = 2; break;
        case 5: {
            // A well-formed hash over a payload whose first drawing kind is unknown.
            QByteArray payload = bytes.mid(52);
            payload[4 + 16 + 4] = char(99);
            const QByteArray hash = QCryptographicHash::hash(payload, QCryptographicHash::Sha256);
            bytes = bytes.left(20) + hash + payload;
            break;
        }
        }
        QTemporaryDir dir;
        QFile f(dir.filePath(QStringLiteral("r.QRP")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        f.close();
        const LoadResult loaded = readReportFile(f.fileName());
        QVERIFY(!loaded.ok);
        QVERIFY(loaded.pages.empty());
        QCOMPARE(loaded.error, message);
    }

    void oversizedFilesAreRefusedUnread_data()
    {
        QTest::addColumn<qint64>("fileSize"); // 0: as written
        QTest::addColumn<quint64>("declared"); // the header's length of the pages; 0: as written
        constexpr qint64 hundredGB = 100'000'000'000;
        QTest::newRow("100 GB, as the header says") << hundredGB << quint64(hundredGB - 52);
        QTest::newRow("100 GB behind a small report's header") << hundredGB << quint64(0);
        QTest::newRow("a small file whose header says 100 GB") << qint64(0) << quint64(hundredGB - 52);
    }
    void oversizedFilesAreRefusedUnread()
    {
        QFETCH(qint64, fileSize);
        QFETCH(quint64, declared);
        QByteArray bytes = encodeReport(samplePages(1));
        if (declared != 0)
            qToBigEndian(declared, bytes.data() + 12);
        QTemporaryDir dir;
        QFile f(dir.filePath(QStringLiteral("r.QRP")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        // Sparse: the file system holds only the report's own bytes.
        if (fileSize != 0)
            QVERIFY(f.resize(fileSize));
        f.close();
        const LoadResult loaded = readReportFile(f.fileName());
        QVERIFY(!loaded.ok);
        QVERIFY(loaded.pages.empty());
        QCOMPARE(loaded.error, QStringLiteral("Die Datei \"r.QRP\" ist beschädigt und kann nicht geladen werden."));
    }

    void pdfHoldsTheTextOfEveryPage()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("r.pdf"));
        QVERIFY(writePdf(samplePages(2), file));
        const QString text = pdfText(file);
        QVERIFY2(text.contains(QStringLiteral("Blatt1")) && text.contains(QStringLiteral("Blatt2")), qPrintable(text));
        QCOMPARE(text.count(QLatin1Char('\f')), 2);
    }

    // ---- printer

    void printerGetsThePagesOfItsRange_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::newRow("all pages") << 0 << 0;
        QTest::newRow("2 to 3") << 2 << 3;
        QTest::newRow("range beyond the last page") << 3 << 9;
        QTest::newRow("only the first") << 1 << 1;
    }
    void printerGetsThePagesOfItsRange()
    {
        QFETCH(int, from);
        QFETCH(int, to);
        QTemporaryDir dir;
        PrinterSettings settings;
        QPrinter &printer = settings.printer();
        printer.setOutputFileName(dir.filePath(QStringLiteral("p.pdf")));
        if (from > 0) {
            printer.setPrintRange(QPrinter::PageRange);
            printer.setFromTo(from, to);
        }
        QVERIFY(settings.canPrint());
        const Pages pages = samplePages(4);
        const auto [first, last] = settings.range(4);
        QCOMPARE(first, from > 0 ? from : 1);
        QCOMPARE(last, from > 0 ? std::min(to, 4) : 4);
        const PrintResult result = drawOnPrinter(pages, printer, first, last);
        QCOMPARE(result.printed, last - first + 1);
        const QString text = pdfText(printer.outputFileName());
        QCOMPARE(text.count(QLatin1Char('\f')), last - first + 1);
        for (int i = 1; i <= 4; ++i)
            QCOMPARE(text.contains(QStringLiteral("Blatt%1").arg(i)), i >= first && i <= last);
    }

    void printingStopsWhenCancelled()
    {
        QTemporaryDir dir;
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFileName(dir.filePath(QStringLiteral("p.pdf")));
        int steps = 0;
        const PrintResult result = drawOnPrinter(samplePages(4), printer, 1, 4, [&](int) { return ++steps < 2; });
        QVERIFY(result.cancelled);
        QCOMPARE(result.printed, 2);
        QCOMPARE(pdfText(printer.outputFileName()).count(QLatin1Char('\f')), 2);
    }

    void printerSetupCancelChangesNothing()
    {
        PrinterSettings settings;
        QPrinter &printer = settings.printer();
        printer.setCopyCount(2);
        int minPage = -1, maxPage = -1;
        whenOpen<QPrintDialog>([&](QPrintDialog *d) {
            minPage = d->minPage();
            maxPage = d->maxPage();
            d->reject();
        });
        QVERIFY(!settings.setup(nullptr, 3));
        QCOMPARE(minPage, 1);
        QCOMPARE(maxPage, 3);
        QCOMPARE(printer.copyCount(), 2);
        QCOMPARE(printer.printRange(), QPrinter::AllPages);
        QCOMPARE(settings.range(3), std::make_pair(1, 3));
        QCOMPARE(settings.orientation(), QPageLayout::Portrait);
    }

    void printerSetupOkKeepsTheChoice()
    {
        PrinterSettings settings;
        whenOpen<QPrintDialog>([&](QPrintDialog *d) {
            // The user chooses pages 2 to 3.
            auto *range = d->findChild<QRadioButton *>(QStringLiteral("printRange"));
            auto *from = d->findChild<QSpinBox *>(QStringLiteral("from"));
            auto *to = d->findChild<QSpinBox *>(QStringLiteral("to"));
            if (!range || !from || !to) {
                qWarning("print dialog without its page range controls");
                d->reject();
                return;
            }
            range->setChecked(true);
            from->setValue(2);
            to->setValue(3);
            QMetaObject::invokeMethod(d, "accept");
        });
        QVERIFY(settings.setup(nullptr, 4));
        QCOMPARE(settings.range(4), std::make_pair(2, 3));
    }

    // ---- preview window

    void previewWindowAsItOpens()
    {
        PrinterSettings settings;
        PreviewWindow w(settings, QString());
        QCOMPARE(w.windowTitle(), QStringLiteral("Print Preview"));
        QCOMPARE(w.size(), QSize(500, 500));
        QCOMPARE(w.progressText(), QStringLiteral("0%"));
        QCOMPARE(w.pageText(), QStringLiteral("Page"));
        QVERIFY(w.tool(PreviewWindow::ZoomWidth)->isChecked());
        QVERIFY(!w.tool(PreviewWindow::ZoomFit)->isChecked());
        QVERIFY(!w.tool(PreviewWindow::PrinterSetup)->isEnabled());
        QCOMPARE(w.tool(PreviewWindow::Close)->text(), QStringLiteral("&Close"));
        PreviewWindow titled(settings, QStringLiteral("Mein Bericht"));
        QCOMPARE(titled.windowTitle(), QStringLiteral("Mein Bericht"));
    }

    void toolBarHintsAreTheAccessibleNames_data()
    {
        QTest::addColumn<int>("tool");
        QTest::addColumn<QString>("hint");
        const char *hints[] = {"Zoom to fit", "100%", "Zoom to width", "First page", "Previous page", "Next page", "Last page",
                               "Go to page", "Printer setup", "Print", "Save Report", "Load Report"};
        for (int i = 0; i < 12; ++i)
            QTest::newRow(hints[i]) << i << QString::fromLatin1(hints[i]);
    }
    void toolBarHintsAreTheAccessibleNames()
    {
        QFETCH(int, tool);
        QFETCH(QString, hint);
        PrinterSettings settings;
        PreviewWindow w(settings, QString());
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        FlatButton *b = w.tool(PreviewWindow::Tool(tool));
        QCOMPARE(b->toolTip(), hint);
        QCOMPARE(b->accessibleName(), hint);
        // In tool-bar order from left to right, "&Close" last.
        QVERIFY(b->x() < w.tool(PreviewWindow::Close)->x());
        if (tool > 0)
            QVERIFY(w.tool(PreviewWindow::Tool(tool - 1))->x() < b->x());
    }

    void pagesAppearAndTheStatusFollows()
    {
        PrinterSettings settings;
        PreviewWindow w(settings, QString());
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.beginRun();
        const Pages pages = samplePages(3);
        w.pageReady(pages[0]);
        QCOMPARE(w.pageText(), QStringLiteral("Page 1 of 1"));
        QCOMPARE(w.zoom(), int(double(w.viewSize().width()) / w.pageSizeAt100().width() * 90));
        w.pageReady(pages[1]);
        QCOMPARE(w.pageText(), QStringLiteral("Page 1 of 2"));
        QVERIFY(!w.tool(PreviewWindow::PrinterSetup)->isEnabled());
        w.pageReady(pages[2]);
        w.endRun();
        QVERIFY(w.tool(PreviewWindow::PrinterSetup)->isEnabled());
        QCOMPARE(w.pageText(), QStringLiteral("Page 1 of 3"));
        QVERIFY(!w.renderedPage().isNull());
    }

    void progressPanel_data()
    {
        QTest::addColumn<QList<int>>("figures");
        QTest::addColumn<QString>("shown");
        QTest::newRow("nothing yet") << QList<int>{} << QStringLiteral("0%");
        QTest::newRow("grown by less than 5") << QList<int>{3} << QStringLiteral("0%");
        QTest::newRow("grown by 5") << QList<int>{3, 5} << QStringLiteral("5%");
        QTest::newRow("7 after 5 stays 5") << QList<int>{5, 7} << QStringLiteral("5%");
        QTest::newRow("13 after 7 after 5") << QList<int>{5, 7, 13} << QStringLiteral("13%");
        QTest::newRow("emptied at 100") << QList<int>{50, 100} << QString();
        QTest::newRow("emptied at 0") << QList<int>{0} << QString();
    }
    void progressPanel()
    {
        QFETCH(QList<int>, figures);
        QFETCH(QString, shown);
        PrinterSettings settings;
        PreviewWindow w(settings, QString());
        for (int f : figures)
            w.progress(f);
        QCOMPARE(w.progressText(), shown);
    }

    void zoomButtons()
    {
        PrinterSettings settings;
        PreviewWindow w(settings, QString());
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.beginRun();
        w.pageReady(samplePage(QStringLiteral("x"), 1));
        w.endRun();
        const QSize page = w.pageSizeAt100();
        // A4 at the screen's density.
        QCOMPARE(page, QSize(qRound(210 / 25.4 * w.logicalDpiY()), qRound(297 / 25.4 * w.logicalDpiY())));

        QTest::mouseClick(w.tool(PreviewWindow::Zoom100), Qt::LeftButton);
        QCOMPARE(w.zoom(), 100);
        QVERIFY(w.tool(PreviewWindow::Zoom100)->isChecked());
        QVERIFY(!w.tool(PreviewWindow::ZoomWidth)->isChecked());

        QTest::mouseClick(w.tool(PreviewWindow::ZoomFit), Qt::LeftButton);
        const QSize view = w.viewSize();
        QCOMPARE(w.zoom(), int(std::min(double(view.width()) / page.width(), double(view.height()) / page.height()) * 95));
        QVERIFY(w.zoom() < 100);

        QTest::mouseClick(w.tool(PreviewWindow::ZoomWidth), Qt::LeftButton);
        QCOMPARE(w.zoom(), int(double(w.viewSize().width()) / page.width() * 90));

        w.zoom100();
        w.setZoom(1);
        QCOMPARE(w.zoom(), 100);
        w.setZoom(2001);
        QCOMPARE(w.zoom(), 100);
        w.setZoom(2);
        QCOMPARE(w.zoom(), 2);
        w.setZoom(2000);
        QCOMPARE(w.zoom(), 2000);
    }

    // The width is taken as if there were no scroll bars: the page shown on
    // opening needs a vertical one, which must not narrow a later zoom.
    void zoomToWidthTheSameLaterAsOnOpening_data()
    {
        QTest::addColumn<int>("before");
        QTest::newRow("pressed again") << -1;
        QTest::newRow("after 100%") << int(PreviewWindow::Zoom100);
        QTest::newRow("after zoom to fit") << int(PreviewWindow::ZoomFit);
    }
    void zoomToWidthTheSameLaterAsOnOpening()
    {
        QFETCH(int, before);
        PrinterSettings settings;
        PreviewWindow w(settings, QString());
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.beginRun();
        w.pageReady(samplePage(QStringLiteral("x"), 1));
        w.endRun();
        QCoreApplication::processEvents();
        const int onOpening = w.zoom();
        auto *scroll = w.findChild<QScrollArea *>();
        QVERIFY(scroll);
        QVERIFY(scroll->verticalScrollBar()->isVisible());
        QCOMPARE(onOpening, int(double(scroll->maximumViewportSize().width()) / w.pageSizeAt100().width() * 90));

        if (before >= 0) {
            QTest::mouseClick(w.tool(PreviewWindow::Tool(before)), Qt::LeftButton);
            QVERIFY(w.zoom() != onOpening);
        }
        QTest::mouseClick(w.tool(PreviewWindow::ZoomWidth), Qt::LeftButton);
        QCoreApplication::processEvents();
        QCOMPARE(w.zoom(), onOpening);
        QVERIFY(w.tool(PreviewWindow::ZoomWidth)->isChecked());
    }

    void keysAndButtonsTurnPages_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("expected");
        QTest::newRow("Page Down") << 2 << int(Qt::Key_PageDown) << 0 << 3;
        QTest::newRow("Page Down at the end") << 4 << int(Qt::Key_PageDown) << 0 << 4;
        QTest::newRow("Ctrl+Page Down") << 1 << int(Qt::Key_PageDown) << int(Qt::ControlModifier) << 4;
        QTest::newRow("Page Up") << 3 << int(Qt::Key_PageUp) << 0 << 2;
        QTest::newRow("Page Up at the start") << 1 << int(Qt::Key_PageUp) << 0 << 1;
        QTest::newRow("Ctrl+Page Up") << 4 << int(Qt::Key_PageUp) << int(Qt::ControlModifier) << 1;
        QTest::newRow("Home") << 3 << int(Qt::Key_Home) << 0 << 1;
        QTest::newRow("End") << 2 << int(Qt::Key_End) << 0 << 4;
    }
    void keysAndButtonsTurnPages()
    {
        QFETCH(int, start);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(int, expected);
        PrinterSettings settings;
        PreviewWindow w(settings, QString());
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        for (const PagePtr &p : samplePages(4))
            w.pageReady(p);
        w.showPage(start);
        QTest::keyClick(&w, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(w.currentPage(), expected);
        QCOMPARE(w.pageText(), QStringLiteral("Page %1 of 4").arg(expected));
    }

    void pageButtons()
    {
        PrinterSettings settings;
        PreviewWindow w(settings, QString());
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        for (const PagePtr &p : samplePages(3))
            w.pageReady(p);
        QTest::mouseClick(w.tool(PreviewWindow::NextPage), Qt::LeftButton);
        QCOMPARE(w.currentPage(), 2);
        QTest::mouseClick(w.tool(PreviewWindow::LastPage), Qt::LeftButton);
        QCOMPARE(w.currentPage(), 3);
        QTest::mouseClick(w.tool(PreviewWindow::NextPage), Qt::LeftButton);
        QCOMPARE(w.currentPage(), 3);
        QTest::mouseClick(w.tool(PreviewWindow::PriorPage), Qt::LeftButton);
        QCOMPARE(w.currentPage(), 2);
        QTest::mouseClick(w.tool(PreviewWindow::FirstPage), Qt::LeftButton);
        QCOMPARE(w.currentPage(), 1);
        QTest::mouseClick(w.tool(PreviewWindow::PriorPage), Qt::LeftButton);
        QCOMPARE(w.currentPage(), 1);
        w.showPage(0);
        w.showPage(4);
        QCOMPARE(w.currentPage(), 1);
    }

    void escapeCloses()
    {
        PrinterSettings settings;
        PreviewWindow w(settings, QString());
        QSignalSpy closed(&w, &PreviewWindow::closed);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTest::keyClick(&w, Qt::Key_Escape);
        QVERIFY(!w.isVisible());
        QCOMPARE(closed.size(), 1);
    }

    void closingDuringTheRunAsksToCancel()
    {
        PrinterSettings settings;
        PreviewWindow w(settings, QString());
        QSignalSpy cancel(&w, &PreviewWindow::cancelRequested);
        w.show();
        w.beginRun();
        w.close();
        QCOMPARE(cancel.size(), 1);
        w.show();
        w.endRun();
        w.close();
        QCOMPARE(cancel.size(), 1);
    }

    void goToPage_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("expected");
        QTest::newRow("a page") << QStringLiteral("3") << true << 3;
        QTest::newRow("leading digits") << QStringLiteral("2 bitte") << true << 2;
        QTest::newRow("beyond the last") << QStringLiteral("7") << true << 1;
        QTest::newRow("zero") << QStringLiteral("0") << true << 1;
        QTest::newRow("no digits") << QStringLiteral("drei") << true << 1;
        QTest::newRow("huge") << QStringLiteral("99999999999999999999") << true << 1;
        QTest::newRow("cancelled") << QStringLiteral("3") << false << 1;
    }
    void goToPage()
    {
        QFETCH(QString, answer);
        QFETCH(bool, ok);
        QFETCH(int, expected);
        PrinterSettings settings;
        PreviewWindow w(settings, QString());
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        for (const PagePtr &p : samplePages(4))
            w.pageReady(p);
        w.showPage(4);
        QString title, label, preset;
        whenOpen<QInputDialog>([&](QInputDialog *d) {
            title = d->windowTitle();
            label = d->labelText();
            preset = d->textValue();
            d->setTextValue(answer);
            ok ? d->accept() : d->reject();
        });
        QTest::mouseClick(w.tool(PreviewWindow::GoToPage), Qt::LeftButton);
        QCOMPARE(title, QStringLiteral("Select a page from 1 to 4"));
        QCOMPARE(label, QStringLiteral("Go to page >>"));
        QCOMPARE(preset, QStringLiteral("1"));
        QCOMPARE(w.currentPage(), expected);
    }

    void loadReportShowsTheFilesPages()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("r.QRP"));
        QVERIFY(writeReportFile(samplePages(2), file));
        PrinterSettings settings;
        PreviewWindow w(settings, QString());
        w.show();
        w.beginRun();
        for (const PagePtr &p : samplePages(3))
            w.pageReady(p);
        w.endRun();
        w.showPage(3);
        QVERIFY(w.tool(PreviewWindow::PrinterSetup)->isEnabled());
        whenOpen<QFileDialog>([&](QFileDialog *d) {
            d->selectFile(file);
            QMetaObject::invokeMethod(d, "accept");
        });
        QTest::mouseClick(w.tool(PreviewWindow::LoadReport), Qt::LeftButton);
        QCOMPARE(w.pageCount(), 2);
        QCOMPARE(w.currentPage(), 1);
        QCOMPARE(w.pageText(), QStringLiteral("Page 1 of 2"));
        QVERIFY(!w.tool(PreviewWindow::PrinterSetup)->isEnabled());
        QVERIFY(w.tool(PreviewWindow::Print)->isEnabled());
        QVERIFY(w.pages().front()->texts().contains(QStringLiteral("Blatt1")));
    }

    void loadReportRefusals_data()
    {
        QTest::addColumn<bool>("exists");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing file") << false << QStringLiteral("File does not exist");
        QTest::newRow("foreign file") << true << QStringLiteral("Die Datei \"r.QRP\" ist kein gespeicherter Bericht.");
    }
    void loadReportRefusals()
    {
        QFETCH(bool, exists);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("r.QRP"));
        if (exists) {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("nicht von uns");
        }
        PrinterSettings settings;
        PreviewWindow w(settings, QString());
        const Pages before = samplePages(3);
        for (const PagePtr &p : before)
            w.pageReady(p);
        w.showPage(2);
        Boxes boxes;
        QVERIFY(!w.loadPages(file));
        QCOMPARE(boxes.texts, QStringList{message});
        QVERIFY(samePages(w.pages(), before));
        QCOMPARE(w.currentPage(), 2);
    }

    void saveReportWritesQrpOrPdf_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("pdfFilter");
        QTest::addColumn<QString>("written");
        QTest::addColumn<bool>("pdf");
        QTest::newRow("default extension QRP") << QStringLiteral("rechnung") << false << QStringLiteral("rechnung.QRP") << false;
        QTest::newRow("PDF file type") << QStringLiteral("rechnung") << true << QStringLiteral("rechnung.pdf") << true;
        QTest::newRow("name ending in .pdf") << QStringLiteral("rechnung.pdf") << false << QStringLiteral("rechnung.pdf") << true;
    }
    void saveReportWritesQrpOrPdf()
    {
        QFETCH(QString, name);
        QFETCH(bool, pdfFilter);
        QFETCH(QString, written);
        QFETCH(bool, pdf);
        QTemporaryDir dir;
        PrinterSettings settings;
        PreviewWindow w(settings, QString());
        w.show();
        for (const PagePtr &p : samplePages(2))
            w.pageReady(p);
        QString title;
        whenOpen<QFileDialog>([&](QFileDialog *d) {
            title = d->windowTitle();
            d->setDirectory(dir.path());
            if (pdfFilter)
                d->selectNameFilter(d->nameFilters().at(1));
            d->selectFile(name);
            QMetaObject::invokeMethod(d, "accept");
        });
        QTest::mouseClick(w.tool(PreviewWindow::SaveReport), Qt::LeftButton);
        QCOMPARE(title, QStringLiteral("Save report"));
        QFile f(dir.filePath(written));
        QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(written));
        const QByteArray head = f.read(8);
        QCOMPARE(head.startsWith("%PDF"), pdf);
        if (!pdf)
            QVERIFY(samePages(readReportFile(f.fileName()).pages, w.pages()));
    }

    void printWithoutAPrinterSaysSo()
    {
        if (!QPrinterInfo::availablePrinterNames().isEmpty())
            QSKIP("this machine has a printer installed");
        PrinterSettings settings;
        PreviewWindow w(settings, QString());
        for (const PagePtr &p : samplePages(1))
            w.pageReady(p);
        Boxes boxes;
        QTest::mouseClick(w.tool(PreviewWindow::Print), Qt::LeftButton);
        QCOMPARE(boxes.texts, QStringList{QStringLiteral("Kein Drucker installiert.")});
    }

    void printDoesNothingWhileTheRunGoesOn()
    {
        QTemporaryDir dir;
        PrinterSettings settings;
        settings.printer().setOutputFileName(dir.filePath(QStringLiteral("p.pdf")));
        PreviewWindow w(settings, QString());
        w.beginRun();
        w.pageReady(samplePage(QStringLiteral("x"), 1));
        w.print();
        QVERIFY(!QFile::exists(settings.printer().outputFileName()));
        w.endRun();
        w.print();
        QVERIFY(QFile::exists(settings.printer().outputFileName()));
    }

    // ---- progress window

    void progressWindow()
    {
        ProgressWindow w;
        QCOMPARE(w.windowTitle(), QStringLiteral("Printing progress"));
        QCOMPARE(w.size(), QSize(149, 97));
        QVERIFY(w.windowFlags() & Qt::WindowStaysOnTopHint);
        QCOMPARE(w.text(), QStringLiteral("0%  Completed"));
        w.setProgress(7);
        QCOMPARE(w.text(), QStringLiteral("0%  Completed"));
        QCOMPARE(w.shownProgress(), 0);
        w.setProgress(35);
        QCOMPARE(w.text(), QStringLiteral("35%  Completed"));
        QCOMPARE(w.shownProgress(), 35);
        QSignalSpy cancel(&w, &ProgressWindow::cancelRequested);
        w.show();
        QTest::mouseClick(w.cancelButton(), Qt::LeftButton);
        QCOMPARE(cancel.size(), 1);
        QTest::keyClick(&w, Qt::Key_Escape);
        QCOMPARE(cancel.size(), 2);
        QVERIFY(w.isVisible());
        w.close();
        QVERIFY(!w.isVisible());
    }

    // ---- the runner: only a complete run is shown or printed

    void runnerShowsOrPrintsOnlyACompleteRun_data()
    {
        QTest::addColumn<bool>("print");
        QTest::addColumn<int>("failingRow"); // 0: none
        QTest::addColumn<bool>("complete");
        for (const bool print : {false, true}) {
            const char *way = print ? "print" : "preview";
            QTest::addRow("%s, every row", way) << print << 0 << true;
            QTest::addRow("%s, row 1 fails", way) << print << 1 << false;
            QTest::addRow("%s, row 60 of 80 fails, page 1 done", way) << print << 60 << false;
        }
    }
    void runnerShowsOrPrintsOnlyACompleteRun()
    {
        QFETCH(bool, print);
        QFETCH(int, failingRow);
        QFETCH(bool, complete);
        QStringList values;
        for (int i = 1; i <= 80; ++i)
            values << QStringLiteral("Zeile %1").arg(i);
        ListRows rows(QStringLiteral("f"), values);
        Report r;
        r.dataSet = &rows;
        r.addBand(BandType::Title, QStringLiteral("t"), 20, 180)
            ->add<FixedText>(QStringLiteral("a"), QRectF(0, 0, 50, 5), Verdana8, HAlign::Left, Sizing::Fixed, QStringLiteral("Kopf"));
        // 5 mm rows: 50 on page 1 under the title, 30 on page 2.
        Band *d = r.addBand(BandType::Detail, QStringLiteral("d"), 5, 180);
        d->add<DataText>(QStringLiteral("b"), QRectF(0, 0, 50, 5), Verdana8, HAlign::Left, Sizing::Fixed, &rows, QStringLiteral("f"));
        int row = 0;
        d->AfterPrint = [&](Band &, bool) {
            if (++row == failingRow)
                throw ConversionError(QStringLiteral("'x' ist kein gültiger Gleitkommawert"));
        };
        ReportRunner runner(r);
        QTemporaryDir dir;
        const QString printed = dir.filePath(QStringLiteral("p.pdf"));
        runner.printerSettings().printer().setOutputFileName(printed);
        int shownPages = -1;
        auto c = connect(&runner, &ReportRunner::previewOpened, this, [&](QWidget *w) {
            shownPages = qobject_cast<PreviewWindow *>(w)->pageCount();
            QTimer::singleShot(0, w, &QWidget::close);
        });
        Boxes boxes;
        if (print)
            runner.print();
        else
            runner.preview();
        disconnect(c);
        QCOMPARE(boxes.texts, complete ? QStringList() : QStringList{QStringLiteral("'x' ist kein gültiger Gleitkommawert.")});
        QCOMPARE(QFile::exists(printed), print && complete);
        QCOMPARE(shownPages, !print && complete ? 2 : -1);
        for (QWidget *w : QApplication::topLevelWidgets())
            QVERIFY(!qobject_cast<PreviewWindow *>(w));
        QVERIFY(!r.busy());
    }

    // ---- input during a run

    void onlyWindowsOpenedDuringTheRunGetInput()
    {
        QLineEdit before;
        before.show();
        QVERIFY(QTest::qWaitForWindowExposed(&before));
        {
            InputGuard guard;
            QLineEdit after;
            after.show();
            QVERIFY(QTest::qWaitForWindowExposed(&after));
            QTest::keyClicks(&before, QStringLiteral("ab"));
            QTest::keyClicks(&after, QStringLiteral("cd"));
            QCOMPARE(before.text(), QString());
            QCOMPARE(after.text(), QStringLiteral("cd"));
            before.close();
            QVERIFY(before.isVisible());
        }
        QTest::keyClicks(&before, QStringLiteral("ef"));
        QCOMPARE(before.text(), QStringLiteral("ef"));
    }
};

QTEST_MAIN(TestReportEngine)
#include "tst_reportengine.moc"
