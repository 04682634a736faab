#include "deliverynotereport.h"

#include "data/errors.h"
#include "data/rowsource.h"
#include "data/plantpassport.h"
#include "framework/report/pagefile.h"
#include "layoutgrid.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <numbers>

using namespace rpt;
using layoutgrid::box;
using layoutgrid::mm;
using layoutgrid::verdana;

namespace {

const QString Title = QStringLiteral("Lieferschein / Documento di trasporto");
const QString PassportHeading = QStringLiteral("Pflanzenpass / Passaporto delle piante / Plant Passport");
const QString SameAsAddress = QStringLiteral("wie Anschrift / come indirizzo");

constexpr double Width = 184.68;
// The columns of the lines' table.
constexpr double DescriptionWidth = 118.0;
constexpr double QuantityLeft = 120.0, QuantityWidth = 33.0;
constexpr double UnitLeft = 155.0, UnitWidth = Width - UnitLeft;
constexpr double HeadingsHeight = 4.5;

// A line's row: its description's lines, at least one, and some air.
constexpr double RowPadding = 0.5;
// The passport's frame: the flag and its heading, then one row per field.
constexpr double PassportIndent = 2.0;
constexpr double PassportWidth = 140.0;
constexpr double FlagHeight = 8.0;
constexpr double PassportFieldsTop = 11.5;
constexpr double PassportRow = 4.5;
constexpr double PassportBottom = 1.5;
constexpr double PassportGap = 1.0;

constexpr double SignatureBandHeight = 30.0;

int whole(double tenths) { return int(std::lround(tenths)); }

// A quantity as the file holds it; one written with the other decimal
// separator is shown with the file's, as the totals read it.
QString quantityText(const QString &stored, const Separators &separators)
{
    long double value = 0;
    if (tryStoredNumber(stored, value, separators) == StoredNumber::ReadWithOtherSeparator)
        return generalNumber(double(value), separators);
    return stored.trimmed();
}

// The plant passport's lines in the order the regulation gives them; C is
// left out where the lot has no traceability code.
QList<std::pair<QString, QString>> passportFields(const DeliveryLine &line, const QString &registrationNumber)
{
    QList<std::pair<QString, QString>> fields;
    fields << std::pair{QStringLiteral("A"), line.botanischer_name.trimmed()};
    fields << std::pair{QStringLiteral("B"), registrationNumber.trimmed()};
    if (!line.rueckverfolgung.trimmed().isEmpty())
        fields << std::pair{QStringLiteral("C"), line.rueckverfolgung.trimmed()};
    fields << std::pair{QStringLiteral("D"), line.ursprung.trimmed()};
    return fields;
}

double passportHeight(qsizetype fields) { return PassportFieldsTop + fields * PassportRow + PassportBottom; }

} // namespace

QImage europeanFlag(int height)
{
    // The flag's own geometry: the stars on a circle of a third of the
    // height, each star as wide as a ninth of it, one point upwards.
    const int width = height * 3 / 2;
    QImage flag(width, height, QImage::Format_RGB32);
    flag.fill(QColor(0x00, 0x33, 0x99));
    QPainter painter(&flag);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xFF, 0xCC, 0x00));
    const QPointF centre(width / 2.0, height / 2.0);
    const double circle = height / 3.0;
    const double outer = height / 18.0;
    // The inner points of a regular five-pointed star.
    const double inner = outer * std::sin(std::numbers::pi / 10) / std::sin(7 * std::numbers::pi / 10);
    for (int star = 0; star < 12; ++star) {
        const double at = star * std::numbers::pi / 6;
        const QPointF middle = centre + QPointF(circle * std::sin(at), -circle * std::cos(at));
        QPainterPath path;
        for (int point = 0; point < 10; ++point) {
            const double angle = point * std::numbers::pi / 5;
            const double radius = point % 2 == 0 ? outer : inner;
            const QPointF p = middle + QPointF(radius * std::sin(angle), -radius * std::cos(angle));
            if (point == 0)
                path.moveTo(p);
            else
                path.lineTo(p);
        }
        path.closeSubpath();
        painter.drawPath(path);
    }
    return flag;
}

// The note's lines for the detail band, one row each.
class DeliveryNoteReport::Lines : public RowSource
{
public:
    void first() override { m_row = 0; }
    void next() override { ++m_row; }
    bool atEnd() const override { return m_row >= lines.size(); }
    int rowCount() const override { return int(lines.size()); }
    QString fieldText(const QString &) const override { return QString(); }
    const DeliveryLine *current() const { return atEnd() ? nullptr : &lines.at(m_row); }

    QList<DeliveryLine> lines;

private:
    qsizetype m_row = 0;
};

DeliveryNoteReport::DeliveryNoteReport(QWidget *parent) : QWidget(parent), m_lines(std::make_unique<Lines>())
{
    setObjectName(QStringLiteral("FRMLieferschein"));
    setAccessibleName(QStringLiteral("Lieferscheindruck"));
    layout.setObjectName(QStringLiteral("Lieferschein"));
    layout.dataSet = m_lines.get();
    layout.printIfEmpty = false;
    layout.BeforePrint = [this](Report &, bool &go) { startRun(go); };
    m_flag = europeanFlag(240);

    const double width = mm(Width);
    const auto Left = HAlign::Left, Right = HAlign::Right, Center = HAlign::Center;
    const auto Fixed = Sizing::Fixed, Auto = Sizing::AutoWidth;
    const auto Across = LineDirection::Horizontal, Down = LineDirection::Vertical;
    const auto Solid = PenStyle::Solid, Dotted = PenStyle::Dotted;

    Band *t = titleBand = layout.addBand(BandType::Title, QStringLiteral("KopfBand"), mm(117.50), width);
    // Letterhead and address window where the invoice has them: the note
    // fits the same envelope.
    letterhead = LetterheadElements::addTo(*t);
    registration = t->add<FixedText>(QStringLiteral("ruop"), box(0.00, 70.91, 88.00, 4.50), verdana(9), Left, Fixed, QString());
    site = t->add<FixedText>(QStringLiteral("standort"), box(0.00, 75.41, 88.00, 4.50), verdana(9), Left, Fixed, QString());

    t->add<RoundedRectangle>(QStringLiteral("adressfenster"), box(91.28, 40.22, 91.02, 31.22), 0.1, false, true);
    t->add<FixedText>(QStringLiteral("an"), box(98.95, 42.33, 5.82, 5.29), verdana(12), Left, Auto, QStringLiteral("An"));
    salutation = t->add<FixedText>(QStringLiteral("ansprache"), box(105.04, 42.33, 22.23, 5.29), verdana(12), Left, Auto, QString());
    customerName = t->add<FixedText>(QStringLiteral("kundeName"), box(98.95, 47.62, 13.23, 5.29), verdana(12, true), Left, Auto, QString());
    customerOwner = t->add<FixedText>(QStringLiteral("kundeInhaber"), box(98.95, 52.92, 16.14, 5.29), verdana(12, true), Left, Auto, QString());
    customerAddress = t->add<FixedText>(QStringLiteral("kundeAdresse"), box(98.95, 58.21, 17.20, 11.38), verdana(12), Left, Auto, QString());
    customerVat = t->add<FixedText>(QStringLiteral("kundePiva"), box(98.95, 73.55, 83.35, 5.29), verdana(12), Left, Fixed, QString());

    title = t->add<FixedText>(QStringLiteral("lblLieferschein"), box(0.00, 81.00, 120.00, 6.50), verdana(14, true), Left, Fixed, Title);

    // The DDT's facts in two rows of three, each under its label.
    t->add<RoundedRectangle>(QStringLiteral("rahmenAngaben"), box(0.00, 88.00, Width, 21.00), 0.02, false);
    t->add<LineShape>(QStringLiteral("trennerAngaben"), box(0.00, 98.50, 184.41, 0.26), Across, Dotted);
    t->add<LineShape>(QStringLiteral("trennerNr"), box(35.00, 88.00, 0.26, 10.50), Down, Dotted);
    t->add<LineShape>(QStringLiteral("trennerDatum"), box(70.00, 88.00, 0.26, 21.00), Down, Dotted);
    t->add<LineShape>(QStringLiteral("trennerGrund"), box(140.00, 98.50, 0.26, 10.50), Down, Dotted);
    struct Fact
    {
        const char *name;
        double left, top, width;
        QString label;
        FixedText **value;
    };
    const Fact facts[] = {
        {"nr", 1.0, 88.6, 33.0, QStringLiteral("Nr. / N."), &number},
        {"datum", 36.0, 88.6, 33.0, QStringLiteral("Datum / Data"), &date},
        {"bestimmungsort", 71.0, 88.6, Width - 72.0, QStringLiteral("Bestimmungsort / Luogo di destinazione"), &destination},
        {"transport", 1.0, 99.1, 68.0, QStringLiteral("Transport / Trasporto a cura del"), &carrier},
        {"grund", 71.0, 99.1, 68.0, QStringLiteral("Grund / Causale"), &reason},
        {"colli", 141.0, 99.1, Width - 142.0, QStringLiteral("Colli"), &packages},
    };
    for (const Fact &f : facts) {
        const QString name = QString::fromLatin1(f.name);
        t->add<FixedText>(QStringLiteral("lbl_") + name, box(f.left, f.top, f.width, 4.00), verdana(8), Left, Fixed, f.label);
        *f.value = t->add<FixedText>(name, box(f.left, f.top + 4.20, f.width, 5.29), verdana(10, true), Left, Fixed, QString());
    }

    t->add<FixedText>(QStringLiteral("lblBeschreibung"), box(0.00, 111.50, DescriptionWidth, HeadingsHeight), verdana(9, true),
                      Left, Fixed, QStringLiteral("Beschreibung / Descrizione"));
    t->add<FixedText>(QStringLiteral("lblMenge"), box(QuantityLeft, 111.50, QuantityWidth, HeadingsHeight), verdana(9, true),
                      Center, Fixed, QStringLiteral("Menge / Quantità"));
    t->add<FixedText>(QStringLiteral("lblEinheit"), box(UnitLeft, 111.50, UnitWidth, HeadingsHeight), verdana(9, true), Left,
                      Fixed, QStringLiteral("Einheit / Unità"));
    t->add<LineShape>(QStringLiteral("linieKopf"), box(0.00, 116.30, 184.41, 0.26), Across, Solid);
    titleBand->BeforePrint = [this](Band &band, bool &) { placed(band.height); };

    // One line, and its passport; made for each line as it prints.
    lineBand = layout.addBand(BandType::Detail, QStringLiteral("ZeilenBand"), mm(5.03), width);
    lineBand->BeforePrint = [this](Band &band, bool &printIt) { showLine(band, printIt); };

    signatureBand = layout.addBand(BandType::Summary, QStringLiteral("UnterschriftBand"), mm(SignatureBandHeight), width);
    signatureBand->BeforePrint = [this](Band &band, bool &printIt) { showSignatures(band, printIt); };

    Band *f = pageFooter = layout.addBand(BandType::PageFooter, QStringLiteral("FussBand"), mm(5.29), width);
    pageNumber = f->add<FixedText>(QStringLiteral("seite"), box(Width - 60.00, 0.00, 60.00, 4.50), verdana(8), Right, Fixed, QString());
    pageFooter->BeforePrint = [this](Band &, bool &) {
        pageNumber->caption = QStringLiteral("Seite / Pagina %1").arg(++m_pagesFooted);
    };
}

DeliveryNoteReport::~DeliveryNoteReport() = default;

void DeliveryNoteReport::setLogo(const QImage &logo)
{
    if (logo.isNull())
        m_logo.reset();
    else
        m_logo = logo;
}

void DeliveryNoteReport::setNote(const DeliveryNoteRecord &note, const einvoice::Seller &seller, CustomerKind kind,
                                 const Separators &separators)
{
    const bool passports = customerGetsPassports(kind);
    if (passports && seller.registrationNumber.trimmed().isEmpty())
        for (const DeliveryLine &line : note.lines)
            if (line.isPlant())
                throw ConversionError(NoRegistrationNumber);

    m_seller = seller;
    m_passports = passports;
    m_separators = separators;
    m_lines->lines = note.lines;

    Letterhead l = Letterhead::of(seller);
    if (m_logo)
        l.logo = *m_logo;
    letterhead.show(l);
    const QString ruop = seller.registrationNumber.trimmed();
    registration->caption = ruop.isEmpty() ? QString() : QStringLiteral("RUOP: ") + ruop;
    const QString siteCode = seller.siteCode.trimmed();
    site->caption = siteCode.isEmpty() ? QString() : QStringLiteral("Standort / Sede: ") + siteCode;

    const Customer &c = note.customer;
    salutation->caption = c.ansprache;
    customerName->caption = c.name;
    customerOwner->caption = c.name2;
    customerAddress->caption = c.adresse;
    customerVat->caption = c.piva.trimmed().isEmpty() ? QString() : QStringLiteral("P.IVA ") + c.piva.trimmed();

    number->caption = note.note.nr.trimmed();
    date->caption = note.note.datum.trimmed();
    const QString place = note.note.bestimmungsort.trimmed();
    destination->caption = place.isEmpty() ? SameAsAddress : place;
    carrier->caption = note.note.transport.trimmed();
    reason->caption = note.note.grund.trimmed();
    packages->caption = note.note.colli.trimmed();

    runner.subject = [year = note.year, nr = note.note.nr] { return QStringLiteral("Lieferschein/%1/%2").arg(year).arg(nr); };
    layout.title = Title + QLatin1Char(' ') + number->caption;
}

void DeliveryNoteReport::preview(const DeliveryNoteRecord &note, const einvoice::Seller &seller, CustomerKind kind,
                                 const Separators &separators)
{
    if (layout.busy())
        return;
    setNote(note, seller, kind, separators);
    runner.preview();
}

void DeliveryNoteReport::exportPdf(const DeliveryNoteRecord &note, const einvoice::Seller &seller, CustomerKind kind,
                                   const Separators &separators, const QString &path)
{
    setNote(note, seller, kind, separators);
    const RunResult run = layout.run();
    if (run.end != RunEnd::Completed)
        throw ConversionError(QStringLiteral("Der Lieferschein Nr. %1 ließ sich nicht drucken: %2")
                                  .arg(number->caption, run.error.isEmpty() ? QStringLiteral("der Druck wurde abgebrochen")
                                                                            : run.error));
    QString error;
    if (!writePdf(run.pages, path, &error, layout.title))
        throw ConversionError(QStringLiteral("Die Datei '%1' ließ sich nicht schreiben: %2. Bitte einen anderen Ort wählen")
                                  .arg(path, error));
}

void DeliveryNoteReport::startRun(bool &)
{
    // The engine places bands in whole tenths from the top margin on; so does
    // this placer, band for band.
    m_placer = std::make_unique<PagePlacer>(layout.paperSize().height() * 10, layout.page.topMargin,
                                            layout.page.bottomMargin, pageFooter->height * 10);
    m_pagesFooted = 0;
}

void DeliveryNoteReport::placed(double height)
{
    if (m_placer)
        m_placer->place(height * 10);
}

double DeliveryNoteReport::headerIfNewPage(Band &band, double height)
{
    band.clearElements();
    const int need = whole(height * 10);
    const bool breaks = m_placer && m_placer->pageOpen() && m_placer->roomLeft() < need
                        && m_placer->position() != whole(layout.page.topMargin) && need <= m_placer->pageBody();
    if (!breaks)
        return 0;
    const auto Left = HAlign::Left, Center = HAlign::Center;
    const auto Fixed = Sizing::Fixed;
    const QString continued =
        QStringLiteral("%1 Nr. %2 vom / del %3 – Fortsetzung / continua").arg(Title, number->caption, date->caption);
    band.add<FixedText>(QStringLiteral("fortsetzung"), box(0.00, 0.00, Width, 6.00), verdana(10, true), Left, Fixed, continued);
    band.add<FixedText>(QStringLiteral("fortsetzungKunde"), box(0.00, 6.20, Width, 4.50), verdana(9), Left, Fixed,
                        customerName->caption);
    band.add<FixedText>(QStringLiteral("lblBeschreibung"), box(0.00, 11.50, DescriptionWidth, HeadingsHeight),
                        verdana(9, true), Left, Fixed, QStringLiteral("Beschreibung / Descrizione"));
    band.add<FixedText>(QStringLiteral("lblMenge"), box(QuantityLeft, 11.50, QuantityWidth, HeadingsHeight), verdana(9, true),
                        Center, Fixed, QStringLiteral("Menge / Quantità"));
    band.add<FixedText>(QStringLiteral("lblEinheit"), box(UnitLeft, 11.50, UnitWidth, HeadingsHeight), verdana(9, true), Left,
                        Fixed, QStringLiteral("Einheit / Unità"));
    band.add<LineShape>(QStringLiteral("linieKopf"), box(0.00, 16.30, 184.41, 0.26), LineDirection::Horizontal,
                        PenStyle::Solid);
    return ContinuationHeader;
}

void DeliveryNoteReport::showLine(Band &band, bool &printIt)
{
    const DeliveryLine *line = m_lines->current();
    if (!line) {
        printIt = false;
        return;
    }
    const auto Left = HAlign::Left, Center = HAlign::Center;
    const auto Fixed = Sizing::Fixed;

    // The description in as many lines as it needs: the row is one piece,
    // never cut and never split.
    const FontSpec font = verdana(9);
    FixedText probe(QStringLiteral("probe"), QRectF(0, 0, mm(DescriptionWidth), 1000), font, Left, Fixed, line->beschreibung);
    const TextBlock laid = probe.layOut(m_measure);
    const double textHeight = std::max<qsizetype>(1, laid.lines.size()) * laid.lineHeight;
    const double rowHeight = textHeight + 2 * RowPadding;
    const bool passport = m_passports && line->isPlant();
    const QList<std::pair<QString, QString>> fields =
        passport ? passportFields(*line, m_seller.registrationNumber) : QList<std::pair<QString, QString>>();
    const double height = rowHeight + (passport ? passportHeight(fields.size()) + 2 * PassportGap : 0);

    const double top = headerIfNewPage(band, height);
    band.add<FixedText>(QStringLiteral("beschreibung"), QRectF(0, top + RowPadding, mm(DescriptionWidth), textHeight), font, Left,
                        Fixed, line->beschreibung);
    // Under the headings' columns, which lie on the grid.
    band.add<FixedText>(QStringLiteral("menge"), QRectF(mm(QuantityLeft), top + RowPadding, mm(QuantityWidth), laid.lineHeight),
                        font, Center, Fixed, quantityText(line->anzahl, m_separators));
    band.add<FixedText>(QStringLiteral("einheit"), QRectF(mm(UnitLeft), top + RowPadding, mm(UnitWidth), laid.lineHeight), font,
                        Left, Fixed, line->einheit.trimmed());

    if (passport) {
        // As the implementing regulation draws it: in a frame, the flag at
        // the top left, the heading beside it, then A to D one under another.
        const QRectF frame(PassportIndent, top + rowHeight + PassportGap, PassportWidth, passportHeight(fields.size()));
        band.add<RoundedRectangle>(QStringLiteral("pflanzenpass"), frame, 0.0, false);
        auto *flag = band.add<Picture>(QStringLiteral("euFlagge"),
                                       QRectF(frame.left() + 2, frame.top() + 2, FlagHeight * 3 / 2, FlagHeight), m_flag);
        flag->scaledToBox = true;
        const double headingLeft = frame.left() + 4 + FlagHeight * 3 / 2;
        band.add<FixedText>(QStringLiteral("pflanzenpassTitel"),
                            QRectF(headingLeft, frame.top() + 2, frame.right() - 2 - headingLeft, FlagHeight), verdana(9, true),
                            Left, Fixed, PassportHeading);
        double y = frame.top() + PassportFieldsTop;
        for (const auto &[letter, value] : fields) {
            band.add<FixedText>(QStringLiteral("pass") + letter, QRectF(frame.left() + 2, y, 5, PassportRow), verdana(9, true),
                                Left, Fixed, letter);
            band.add<FixedText>(QStringLiteral("pass") + letter + QStringLiteral("Wert"),
                                QRectF(frame.left() + 8, y, frame.width() - 10, PassportRow), verdana(9), Left, Fixed, value);
            y += PassportRow;
        }
    }
    band.add<LineShape>(QStringLiteral("linieZeile"), QRectF(0, top + height - 0.26, mm(184.41), 0.26),
                        LineDirection::Horizontal, PenStyle::Dotted);
    band.height = top + height;
    placed(band.height);
}

void DeliveryNoteReport::showSignatures(Band &band, bool &)
{
    const double top = headerIfNewPage(band, SignatureBandHeight);
    const auto Left = HAlign::Left;
    const auto Fixed = Sizing::Fixed;
    const auto Across = LineDirection::Horizontal;
    const auto Solid = PenStyle::Solid;
    band.add<LineShape>(QStringLiteral("linieFahrer"), QRectF(0, top + 22.0, 80.0, 0.26), Across, Solid);
    band.add<FixedText>(QStringLiteral("unterschriftFahrer"), QRectF(0, top + 23.0, 80.0, 4.0), verdana(8), Left, Fixed,
                        QStringLiteral("Unterschrift Fahrer / Firma conducente"));
    band.add<LineShape>(QStringLiteral("linieEmpfaenger"), QRectF(Width - 80.0, top + 22.0, 80.0, 0.26), Across, Solid);
    band.add<FixedText>(QStringLiteral("unterschriftEmpfaenger"), QRectF(Width - 80.0, top + 23.0, 80.0, 4.0), verdana(8),
                        Left, Fixed, QStringLiteral("Unterschrift Empfänger / Firma destinatario"));
    band.height = top + SignatureBandHeight;
    placed(band.height);
}
