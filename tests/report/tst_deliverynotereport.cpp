// The printed delivery note as a run puts it on the page: the DDT's facts
// under their labels, both parties, the lines in their columns, each plant's
// passport in its frame with the flag, and a long note going on over pages
// without cutting a line or its passport apart.

#include "report/deliverynotereport.h"

#include "errorof.h"
#include "pdftext.h"
#include "samples.h"

#include "data/plantpassport.h"
#include "framework/report/page.h"

#include <QTemporaryDir>
#include <QtTest>

#include <queue>

using namespace rpt;

Q_DECLARE_METATYPE(CustomerKind)

namespace {

constexpr double Margin = 12.7;
constexpr double Near = 0.011;
// Where the page footer starts: A4 less the bottom margin and the footer.
const double FooterTop = 297.0 - Margin - 5.29;

const Separators TypedIn{QLatin1Char(','), QLatin1Char('.')};

const QString PassportHeading = QStringLiteral("Pflanzenpass / Passaporto delle piante / Plant Passport");

einvoice::Seller registeredNursery()
{
    einvoice::Seller s = sample::nursery();
    s.registrationNumber = QStringLiteral("IT-21-1234");
    s.siteCode = QStringLiteral("BZ-004");
    return s;
}

DeliveryLine plant(const QString &description, const QString &quantity, const QString &botanical,
                   const QString &traceability)
{
    DeliveryLine l;
    l.beschreibung = description;
    l.anzahl = quantity;
    l.einheit = QStringLiteral("Stk");
    l.einzelpreis = QStringLiteral("10");
    l.botanischer_name = botanical;
    l.rueckverfolgung = traceability;
    l.ursprung = QStringLiteral("IT");
    return l;
}

DeliveryLine goods(const QString &description, const QString &quantity, const QString &unit)
{
    DeliveryLine l;
    l.beschreibung = description;
    l.anzahl = quantity;
    l.einheit = unit;
    l.einzelpreis = QStringLiteral("5");
    return l;
}

// Note 12 to a nursery in Auer: an olive tree (always traced), soil, and
// lavender whose lot has no code.
DeliveryNoteRecord note12()
{
    DeliveryNoteRecord r;
    r.year = 2026;
    r.note.nr = QStringLiteral("12");
    r.note.datum = QStringLiteral("03.11.2026");
    r.note.kundennummer = QStringLiteral("5");
    r.note.bestimmungsort = QStringLiteral("Baustelle Meran, Laurinstraße 4");
    r.note.transport = QStringLiteral("Vettore");
    r.note.grund = QStringLiteral("Verkauf / Vendita");
    r.note.colli = QStringLiteral("3");
    r.customer.id = 5;
    r.customer.name = QStringLiteral("Vivai Bernardi S.n.c.");
    r.customer.name2 = QStringLiteral("Marco Bernardi");
    r.customer.ansprache = QStringLiteral("Ditta");
    r.customer.adresse = QStringLiteral("Via delle Camelie 7\r\n39040 Auer (BZ)");
    r.customer.piva = QStringLiteral("00000000208");
    r.lines = {plant(QStringLiteral("Olivenbaum, Topf 30 l"), QStringLiteral("2"), QStringLiteral("Olea europaea"),
                     QStringLiteral("L-2026-118")),
               goods(QStringLiteral("Blumenerde 50 l"), QStringLiteral("10"), QStringLiteral("Sack")),
               plant(QStringLiteral("Lavendel, Topf 14 cm"), QStringLiteral("24"), QStringLiteral("Lavandula angustifolia"),
                     QString())};
    return r;
}

std::vector<const TextRun *> textRuns(const Page &page)
{
    std::vector<const TextRun *> out;
    for (const DrawOp &op : page.ops)
        if (const auto *t = std::get_if<TextRun>(&op))
            out.push_back(t);
    return out;
}

const TextRun *findText(const Page &page, const QString &text)
{
    for (const TextRun *t : textRuns(page))
        if (!t->lines.isEmpty() && t->lines.join(QLatin1Char(' ')) == text)
            return t;
    return nullptr;
}

std::vector<const TextRun *> findAll(const Page &page, const QString &text)
{
    std::vector<const TextRun *> out;
    for (const TextRun *t : textRuns(page))
        if (!t->lines.isEmpty() && t->lines.join(QLatin1Char(' ')) == text)
            out.push_back(t);
    return out;
}

// The text run right of `letter` on its row, within the same frame.
const TextRun *valueBeside(const Page &page, const TextRun *letter)
{
    const TextRun *best = nullptr;
    for (const TextRun *t : textRuns(page))
        if (t != letter && std::abs(t->box.top() - letter->box.top()) < Near && t->box.left() > letter->box.left()
            && (!best || t->box.left() < best->box.left()))
            best = t;
    return best;
}

std::vector<RoundRectRun> frames(const Page &page)
{
    std::vector<RoundRectRun> out;
    for (const DrawOp &op : page.ops)
        if (const auto *r = std::get_if<RoundRectRun>(&op))
            out.push_back(*r);
    return out;
}

std::vector<ImageRun> images(const Page &page)
{
    std::vector<ImageRun> out;
    for (const DrawOp &op : page.ops)
        if (const auto *i = std::get_if<ImageRun>(&op))
            out.push_back(*i);
    return out;
}

bool inside(const QRectF &outer, const QRectF &inner)
{
    return inner.left() >= outer.left() - Near && inner.top() >= outer.top() - Near && inner.right() <= outer.right() + Near
           && inner.bottom() <= outer.bottom() + Near;
}

// The passport frame a text stands in.
std::optional<QRectF> frameAround(const Page &page, const TextRun *text)
{
    for (const RoundRectRun &r : frames(page))
        if (inside(r.box, text->box) && r.box.height() < 40)
            return r.box;
    return std::nullopt;
}

RunResult printed(DeliveryNoteReport &report, const DeliveryNoteRecord &note, CustomerKind kind,
                  const einvoice::Seller &seller = registeredNursery())
{
    report.setNote(note, seller, kind, TypedIn);
    return report.layout.run();
}

bool isYellow(QRgb c) { return qRed(c) > 200 && qGreen(c) > 160 && qBlue(c) < 80; }
bool isBlue(QRgb c) { return qRed(c) < 40 && qGreen(c) < 90 && qBlue(c) > 120; }

// The yellow shapes of a picture: each star one.
int yellowShapes(const QImage &image)
{
    const QImage img = image.convertToFormat(QImage::Format_RGB32);
    std::vector<bool> seen(size_t(img.width() * img.height()));
    int shapes = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            if (seen[size_t(y * img.width() + x)] || !isYellow(img.pixel(x, y)))
                continue;
            ++shapes;
            std::queue<QPoint> todo;
            todo.push(QPoint(x, y));
            seen[size_t(y * img.width() + x)] = true;
            while (!todo.empty()) {
                const QPoint p = todo.front();
                todo.pop();
                for (const QPoint d : {QPoint(1, 0), QPoint(-1, 0), QPoint(0, 1), QPoint(0, -1)}) {
                    const QPoint q = p + d;
                    if (q.x() < 0 || q.y() < 0 || q.x() >= img.width() || q.y() >= img.height())
                        continue;
                    const size_t i = size_t(q.y() * img.width() + q.x());
                    if (!seen[i] && isYellow(img.pixel(q))) {
                        seen[i] = true;
                        todo.push(q);
                    }
                }
            }
        }
    return shapes;
}

} // namespace

class TestDeliveryNoteReport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void factsStandUnderTheirLabels_data()
    {
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("value");
        QTest::newRow("number") << "Nr. / N." << "12";
        QTest::newRow("date") << "Datum / Data" << "03.11.2026";
        QTest::newRow("destination") << "Bestimmungsort / Luogo di destinazione" << "Baustelle Meran, Laurinstraße 4";
        QTest::newRow("carrier") << "Transport / Trasporto a cura del" << "Vettore";
        QTest::newRow("reason") << "Grund / Causale" << "Verkauf / Vendita";
        QTest::newRow("packages") << "Colli" << "3";
    }

    void factsStandUnderTheirLabels()
    {
        QFETCH(QString, label);
        QFETCH(QString, value);
        DeliveryNoteReport report;
        const RunResult run = printed(report, note12(), CustomerKind::ItalianBusiness);
        QCOMPARE(run.end, RunEnd::Completed);
        QCOMPARE(run.pages.size(), size_t(1));
        const Page &page = *run.pages.front();
        const TextRun *l = findText(page, label);
        const TextRun *v = findText(page, value);
        QVERIFY2(l, qPrintable(label));
        QVERIFY2(v, qPrintable(value));
        QCOMPARE(v->box.left(), l->box.left());
        QVERIFY(v->box.top() >= l->box.bottom() - Near);
        QVERIFY(v->font.bold);
        // Below the title, above the table's headings.
        const TextRun *title = findText(page, QStringLiteral("Lieferschein / Documento di trasporto"));
        QVERIFY(title);
        QVERIFY(l->box.top() >= title->box.bottom() - Near);
        QVERIFY(v->box.bottom() <= findText(page, QStringLiteral("Beschreibung / Descrizione"))->box.top() + Near);
    }

    void bothPartiesAreNamed()
    {
        DeliveryNoteReport report;
        const RunResult run = printed(report, note12(), CustomerKind::ItalianBusiness);
        const Page &page = *run.pages.front();
        const Letterhead own = Letterhead::of(registeredNursery());
        const TextRun *title = findText(page, QStringLiteral("Lieferschein / Documento di trasporto"));
        QVERIFY(title->font.bold);
        // The seller: letterhead, then its registration and site under it.
        const TextRun *vat = findText(page, own.vat);
        QVERIFY(findText(page, own.owner) && findText(page, own.street) && findText(page, own.town) && vat);
        const TextRun *ruop = findText(page, QStringLiteral("RUOP: IT-21-1234"));
        const TextRun *site = findText(page, QStringLiteral("Standort / Sede: BZ-004"));
        QVERIFY(ruop && site);
        QVERIFY(ruop->box.top() >= vat->box.bottom() - Near);
        QVERIFY(site->box.top() >= ruop->box.bottom() - Near);
        QVERIFY(title->box.top() >= site->box.bottom() - Near);
        // The buyer: in the address window, where the invoice has it.
        const QRectF window(Margin + 91.28, Margin + 40.22, 91.02, 40.0);
        for (const QString &text : {QStringLiteral("Ditta"), QStringLiteral("Vivai Bernardi S.n.c."),
                                    QStringLiteral("Marco Bernardi"), QStringLiteral("P.IVA 00000000208")}) {
            const TextRun *t = findText(page, text);
            QVERIFY2(t && inside(window, t->box), qPrintable(text));
            QVERIFY(t->box.bottom() <= title->box.top() + Near);
        }
        QVERIFY(page.texts().contains(QStringLiteral("39040 Auer (BZ)")));
    }

    void destinationOrTheAddress_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("shown");
        QTest::newRow("a place of its own") << "Baustelle Meran" << "Baustelle Meran";
        QTest::newRow("none") << "" << "wie Anschrift / come indirizzo";
        QTest::newRow("blanks") << "   " << "wie Anschrift / come indirizzo";
    }

    void destinationOrTheAddress()
    {
        QFETCH(QString, stored);
        QFETCH(QString, shown);
        DeliveryNoteRecord note = note12();
        note.note.bestimmungsort = stored;
        DeliveryNoteReport report;
        const RunResult run = printed(report, note, CustomerKind::ItalianBusiness);
        const Page &page = *run.pages.front();
        const TextRun *label = findText(page, QStringLiteral("Bestimmungsort / Luogo di destinazione"));
        const TextRun *value = findText(page, shown);
        QVERIFY(value);
        QCOMPARE(value->box.left(), label->box.left());
    }

    void sellerWithoutRegistrationPrintsNone()
    {
        einvoice::Seller seller = sample::nursery();
        DeliveryNoteRecord note = note12();
        note.lines = {goods(QStringLiteral("Blumenerde 50 l"), QStringLiteral("10"), QStringLiteral("Sack"))};
        DeliveryNoteReport report;
        const RunResult run = printed(report, note, CustomerKind::ItalianBusiness, seller);
        QCOMPARE(run.end, RunEnd::Completed);
        const QString all = run.pages.front()->texts().join(QLatin1Char('|'));
        QVERIFY(!all.contains(QStringLiteral("RUOP")));
        QVERIFY(!all.contains(QStringLiteral("Standort")));
    }

    void linesStandInTheirColumns()
    {
        DeliveryNoteReport report;
        const RunResult run = printed(report, note12(), CustomerKind::ItalianPerson);
        const Page &page = *run.pages.front();
        const TextRun *descriptionHead = findText(page, QStringLiteral("Beschreibung / Descrizione"));
        const TextRun *quantityHead = findText(page, QStringLiteral("Menge / Quantità"));
        const TextRun *unitHead = findText(page, QStringLiteral("Einheit / Unità"));
        QVERIFY(descriptionHead && quantityHead && unitHead);
        double previous = descriptionHead->box.bottom();
        const QStringList rows[] = {{QStringLiteral("Olivenbaum, Topf 30 l"), QStringLiteral("2"), QStringLiteral("Stk")},
                                    {QStringLiteral("Blumenerde 50 l"), QStringLiteral("10"), QStringLiteral("Sack")},
                                    {QStringLiteral("Lavendel, Topf 14 cm"), QStringLiteral("24"), QStringLiteral("Stk")}};
        for (const QStringList &row : rows) {
            const TextRun *description = findText(page, row[0]);
            QVERIFY2(description, qPrintable(row[0]));
            // In print order, each below the one before.
            QVERIFY(description->box.top() > previous - Near);
            previous = description->box.bottom();
            QCOMPARE(description->box.left(), descriptionHead->box.left());
            const TextRun *quantity = nullptr;
            const TextRun *unit = nullptr;
            for (const TextRun *t : findAll(page, row[1]))
                if (std::abs(t->box.top() - description->box.top()) < Near)
                    quantity = t;
            for (const TextRun *t : findAll(page, row[2]))
                if (std::abs(t->box.top() - description->box.top()) < Near)
                    unit = t;
            QVERIFY2(quantity && unit, qPrintable(row[0]));
            QCOMPARE(quantity->box.left(), quantityHead->box.left());
            QCOMPARE(quantity->align, HAlign::Center);
            QCOMPARE(unit->box.left(), unitHead->box.left());
        }
    }

    void quantityWithTheOtherSeparator()
    {
        // Typed on a PC of decimal points into a file of decimal commas.
        DeliveryNoteRecord note = note12();
        note.lines = {goods(QStringLiteral("Rindenmulch"), QStringLiteral("2.50"), QStringLiteral("m³"))};
        DeliveryNoteReport report;
        const RunResult run = printed(report, note, CustomerKind::ItalianPerson);
        const Page &page = *run.pages.front();
        QVERIFY(findText(page, QStringLiteral("2,5")));
        QVERIFY(!findText(page, QStringLiteral("2.50")));
    }

    // Only a business in Italy or another member state gets passports.
    void passportOnlyForBusinesses_data()
    {
        QTest::addColumn<CustomerKind>("kind");
        QTest::addColumn<int>("passports");
        QTest::newRow("Italian business") << CustomerKind::ItalianBusiness << 2;
        QTest::newRow("EU business") << CustomerKind::EuBusiness << 2;
        QTest::newRow("Italian person") << CustomerKind::ItalianPerson << 0;
        QTest::newRow("EU person") << CustomerKind::EuPerson << 0;
        QTest::newRow("outside the EU") << CustomerKind::OutsideEu << 0;
    }

    void passportOnlyForBusinesses()
    {
        QFETCH(CustomerKind, kind);
        QFETCH(int, passports);
        DeliveryNoteReport report;
        const RunResult run = printed(report, note12(), kind);
        QCOMPARE(run.end, RunEnd::Completed);
        const Page &page = *run.pages.front();
        QCOMPARE(int(findAll(page, PassportHeading).size()), passports);
        int flags = 0;
        for (const ImageRun &i : images(page))
            flags += std::abs(i.target.width() / i.target.height() - 1.5) < 0.01 && i.target.width() < 20;
        QCOMPARE(flags, passports);
        QCOMPARE(page.texts().contains(QStringLiteral("L-2026-118")), passports > 0);
    }

    void passportFieldsInTheirOrder_data()
    {
        QTest::addColumn<QString>("description");
        QTest::addColumn<QStringList>("letters");
        QTest::addColumn<QStringList>("values");
        QTest::newRow("always traced") << "Olivenbaum, Topf 30 l" << QStringList{"A", "B", "C", "D"}
                                       << QStringList{"Olea europaea", "IT-21-1234", "L-2026-118", "IT"};
        // No code for the lot: C is left out, not printed empty.
        QTest::newRow("without a code") << "Lavendel, Topf 14 cm" << QStringList{"A", "B", "D"}
                                        << QStringList{"Lavandula angustifolia", "IT-21-1234", "IT"};
    }

    void passportFieldsInTheirOrder()
    {
        QFETCH(QString, description);
        QFETCH(QStringList, letters);
        QFETCH(QStringList, values);
        DeliveryNoteReport report;
        const RunResult run = printed(report, note12(), CustomerKind::ItalianBusiness);
        const Page &page = *run.pages.front();
        const TextRun *line = findText(page, description);
        QVERIFY(line);
        // The heading of the passport right under its line.
        const TextRun *heading = nullptr;
        for (const TextRun *h : findAll(page, PassportHeading))
            if (h->box.top() > line->box.bottom() && (!heading || h->box.top() < heading->box.top()))
                heading = h;
        QVERIFY(heading);
        QVERIFY(heading->font.bold);
        const std::optional<QRectF> frame = frameAround(page, heading);
        QVERIFY(frame);
        QVERIFY(frame->top() >= line->box.bottom() - Near);

        // The flag at the frame's top left, beside the heading, 3:2.
        const ImageRun *flag = nullptr;
        const std::vector<ImageRun> pictures = images(page);
        for (const ImageRun &i : pictures)
            if (inside(*frame, i.target))
                flag = &i;
        QVERIFY(flag);
        QVERIFY(flag->target.right() <= heading->box.left() + Near);
        QVERIFY(flag->target.top() < heading->box.bottom());
        QVERIFY(flag->target.left() - frame->left() < 3);
        QVERIFY(flag->target.top() - frame->top() < 3);
        QVERIFY(std::abs(flag->target.width() / flag->target.height() - 1.5) < 0.01);

        // A, B, C, D one under another, each value beside its letter.
        double previous = heading->box.bottom() - Near;
        QStringList foundLetters, foundValues;
        std::vector<const TextRun *> rows;
        for (const TextRun *t : textRuns(page))
            if (inside(*frame, t->box) && t->lines.size() == 1 && t->lines.front().size() == 1 && t->font.bold)
                rows.push_back(t);
        for (const TextRun *letter : rows) {
            QVERIFY(letter->box.top() >= previous);
            previous = letter->box.bottom() - Near;
            const TextRun *value = valueBeside(page, letter);
            QVERIFY(value && inside(*frame, value->box));
            foundLetters << letter->lines.front();
            foundValues << value->lines.join(QLatin1Char(' '));
        }
        QCOMPARE(foundLetters, letters);
        QCOMPARE(foundValues, values);
    }

    void flagIsTheUnionsFlag()
    {
        const QImage flag = europeanFlag(240);
        QCOMPARE(flag.size(), QSize(360, 240));
        QVERIFY(isBlue(flag.pixel(2, 2)));
        QVERIFY(isBlue(flag.pixel(180, 120))); // the circle's middle is empty
        // Twelve stars on a circle a third of the height across, the first
        // at the top, upright: its point up, blue just above it.
        QCOMPARE(yellowShapes(flag), 12);
        QVERIFY(isYellow(flag.pixel(180, 40)));
        QVERIFY(isYellow(flag.pixel(180, 200)));
        QVERIFY(isYellow(flag.pixel(100, 120)));
        QVERIFY(isBlue(flag.pixel(180, 24)));
    }

    void noRegistrationNumberNoPassport_data()
    {
        QTest::addColumn<CustomerKind>("kind");
        QTest::addColumn<bool>("plants");
        QTest::addColumn<bool>("refused");
        QTest::newRow("plants for a business") << CustomerKind::ItalianBusiness << true << true;
        QTest::newRow("plants for a business abroad") << CustomerKind::EuBusiness << true << true;
        QTest::newRow("plants for a person") << CustomerKind::ItalianPerson << true << false;
        QTest::newRow("soil for a business") << CustomerKind::ItalianBusiness << false << false;
    }

    void noRegistrationNumberNoPassport()
    {
        QFETCH(CustomerKind, kind);
        QFETCH(bool, plants);
        QFETCH(bool, refused);
        DeliveryNoteRecord note = note12();
        if (!plants)
            note.lines = {goods(QStringLiteral("Blumenerde 50 l"), QStringLiteral("10"), QStringLiteral("Sack"))};
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("ls12.pdf"));
        DeliveryNoteReport report;
        const QString error = errorOf([&] { report.exportPdf(note, sample::nursery(), kind, TypedIn, pdf); });
        QCOMPARE(error, refused ? NoRegistrationNumber : QString());
        QCOMPARE(QFile::exists(pdf), !refused);
    }

    void longNoteGoesOnWithoutSplitting()
    {
        DeliveryNoteRecord note = note12();
        note.lines.clear();
        int plants = 0;
        for (int i = 1; i <= 40; ++i) {
            if (i % 3 == 0) {
                note.lines << plant(QStringLiteral("Pflanze %1").arg(i), QString::number(i), QStringLiteral("Olea europaea"),
                                    QStringLiteral("L-%1").arg(i));
                ++plants;
            } else {
                note.lines << goods(QStringLiteral("Ware %1").arg(i), QString::number(i), QStringLiteral("Stk"));
            }
        }
        DeliveryNoteReport report;
        const RunResult run = printed(report, note, CustomerKind::ItalianBusiness);
        QCOMPARE(run.end, RunEnd::Completed);
        QVERIFY2(run.pages.size() >= 2, qPrintable(QString::number(run.pages.size())));

        const QString continued =
            QStringLiteral("Lieferschein / Documento di trasporto Nr. 12 vom / del 03.11.2026 – Fortsetzung / continua");
        int headings = 0;
        int lines = 0;
        for (size_t p = 0; p < run.pages.size(); ++p) {
            const Page &page = *run.pages[p];
            // Every page is numbered; a continued one starts with the header.
            QVERIFY(findText(page, QStringLiteral("Seite / Pagina %1").arg(p + 1)));
            const TextRun *header = findText(page, continued);
            QCOMPARE(header != nullptr, p > 0);
            for (const TextRun *t : textRuns(page)) {
                if (t->lines.value(0).startsWith(QStringLiteral("Seite / Pagina")))
                    continue;
                QVERIFY2(t->box.bottom() <= FooterTop + Near, qPrintable(t->lines.join(QLatin1Char(' '))));
                if (header && t != header)
                    QVERIFY(t->box.top() >= header->box.bottom() - Near);
            }
            // A passport is whole where its heading is: its frame on the page,
            // its four fields in it.
            for (const TextRun *h : findAll(page, PassportHeading)) {
                ++headings;
                const std::optional<QRectF> frame = frameAround(page, h);
                QVERIFY(frame);
                QVERIFY(frame->bottom() <= FooterTop + Near);
                int fields = 0;
                for (const TextRun *t : textRuns(page))
                    if (inside(*frame, t->box) && t->lines.size() == 1 && t->lines.front().size() == 1)
                        ++fields;
                QCOMPARE(fields, 4);
            }
            for (int i = 1; i <= 40; ++i)
                lines += int(findAll(page, (i % 3 == 0 ? QStringLiteral("Pflanze %1") : QStringLiteral("Ware %1")).arg(i)).size());
        }
        QCOMPARE(headings, plants);
        // Every line once, none lost at a break.
        QCOMPARE(lines, 40);
        // The signatures once, at the end: after the last line, on its page
        // or, where they no longer fit there, on one of their own.
        const Page &last = *run.pages.back();
        const TextRun *driver = findText(last, QStringLiteral("Unterschrift Fahrer / Firma conducente"));
        const TextRun *recipient = findText(last, QStringLiteral("Unterschrift Empfänger / Firma destinatario"));
        QVERIFY(driver && recipient);
        QCOMPARE(driver->box.top(), recipient->box.top());
        const TextRun *lastLine = findText(last, QStringLiteral("Ware 40"));
        QVERIFY(lastLine || findText(*run.pages[run.pages.size() - 2], QStringLiteral("Ware 40")));
        if (lastLine)
            QVERIFY(driver->box.top() > lastLine->box.bottom());
        for (size_t p = 0; p + 1 < run.pages.size(); ++p)
            QVERIFY(!findText(*run.pages[p], QStringLiteral("Unterschrift Fahrer / Firma conducente")));
    }

    void pdfHoldsTheNote()
    {
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("lieferschein-12.pdf"));
        DeliveryNoteReport report;
        report.exportPdf(note12(), registeredNursery(), CustomerKind::ItalianBusiness, TypedIn, pdf);
        const QString text = pdfText(pdf);
        for (const QString &expected : {QStringLiteral("Documento di trasporto"), QStringLiteral("Plant Passport"),
                                        QStringLiteral("IT-21-1234"), QStringLiteral("Olea europaea"),
                                        QStringLiteral("Vivai Bernardi")})
            QVERIFY2(text.contains(expected), qPrintable(expected));
    }
};

QTEST_MAIN(TestDeliveryNoteReport)
#include "tst_deliverynotereport.moc"
