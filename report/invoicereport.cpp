#include "invoicereport.h"

#include "data/businesstexts.h"
#include "data/amount.h"
#include "data/database.h"
#include "data/lineamount.h"
#include "data/invoice.h"
#include "data/schema.h"
#include "einvoice/invoicedata.h"
#include "framework/fonts.h"
#include "framework/messages.h"
#include "framework/report/fontmetrics.h"
#include "layoutgrid.h"

#include <QImage>

#include <cmath>
#include <optional>

using namespace rpt;
using layoutgrid::box;
using layoutgrid::mm;
using layoutgrid::verdana;

namespace {


FontSpec arial(int points) { return FontSpec{QStringLiteral("Arial"), windowsPixelSize(points), false}; }

QImage letterheadPicture()
{
    return QImage(QStringLiteral(":/druck/logo.bmp"));
}

// A text that is left out altogether while it has nothing to say, so that a
// page without it is the page it always was.
class OptionalText : public FixedText
{
public:
    using FixedText::FixedText;
    void draw(const DrawTarget &target, const TextBlock &laid, const Piece &piece) const override
    {
        if (!caption.isEmpty())
            FixedText::draw(target, laid, piece);
    }
};

const QString InvoiceTitle = QStringLiteral("Rechnung / Fattura");
const QString CreditNoteTitle = QStringLiteral("Gutschrift / Nota di credito");

// How far apart the summary's rows are, in mm.
constexpr double SummaryRow = 5.29;

} // namespace

namespace {

// The largest Verdana up to `points` in which `text` fits `width` on one line;
// the smallest readable one when none does.
FontSpec fittedFont(TextMeasure &measure, const QString &text, double width, int points, bool bold)
{
    for (; points > 6; --points)
        if (measure.width(verdana(points, bold), text) <= width + 1e-9)
            break;
    return verdana(points, bold);
}

} // namespace

TextBlock DocumentTitle::layOut(TextMeasure &measure) const
{
    if (!creditNote)
        return FixedText::layOut(measure);
    m_titleFont = fittedFont(measure, caption, box.width(), DesignPoints, false);
    m_referenceFont = fittedFont(measure, reference, referenceBox.width(), DesignPoints, true);
    TextBlock b;
    b.lines = QStringList{caption};
    b.lineHeight = measure.lineHeight(m_titleFont);
    b.width = box.width();
    b.linesInBox = 1;
    m_referenceLineHeight = measure.lineHeight(m_referenceFont);
    return b;
}

void DocumentTitle::draw(const DrawTarget &target, const TextBlock &laid, const Piece &piece) const
{
    if (!creditNote) {
        FixedText::draw(target, laid, piece);
        return;
    }
    // Each on one line; a title set smaller stays in the middle of its row.
    const auto line = [&](const QString &text, const FontSpec &font, const QRectF &in, HAlign alignment, double lineHeight,
                          bool centred) {
        TextRun run;
        run.font = font;
        const double below = centred ? std::max(0.0, in.height() - lineHeight) / 2 : 0.0;
        run.box = QRectF(target.origin.x() + in.left(), target.origin.y() + in.top() + below, in.width(), lineHeight);
        run.align = alignment;
        run.lineHeight = lineHeight;
        run.lines = QStringList{text};
        target.page.ops.push_back(run);
    };
    line(caption, m_titleFont, box, align, laid.lineHeight, true);
    if (!reference.isEmpty())
        line(reference, m_referenceFont, referenceBox, HAlign::Left, m_referenceLineHeight, false);
}

TextBlock InvoiceNumberText::layOut(TextMeasure &measure) const
{
    const QString number = text();
    m_shrunk = measure.width(font, number) > maxWidth + 1e-9;
    if (!m_shrunk)
        return DataText::layOut(measure);
    m_fittedFont = fittedFont(measure, number, maxWidth, DocumentTitle::DesignPoints, font.bold);
    TextBlock b;
    b.lines = QStringList{number};
    b.lineHeight = measure.lineHeight(m_fittedFont);
    b.width = maxWidth;
    b.linesInBox = 1;
    return b;
}

void InvoiceNumberText::draw(const DrawTarget &target, const TextBlock &laid, const Piece &piece) const
{
    if (!m_shrunk) {
        DataText::draw(target, laid, piece);
        return;
    }
    // On the line of the design size, in the middle of its row.
    TextRun run;
    run.font = m_fittedFont;
    const double below = std::max(0.0, box.height() - laid.lineHeight) / 2;
    run.box = QRectF(target.origin.x() + box.left(), target.origin.y() + box.top() + below, maxWidth, laid.lineHeight);
    run.align = HAlign::Left;
    run.lineHeight = laid.lineHeight;
    run.lines = laid.lines;
    target.page.ops.push_back(run);
}

void LineDescription::draw(const DrawTarget &target, const TextBlock &laid, const Piece &piece) const
{
    if (!heading.isEmpty() && !piece.continuation) {
        TextRun run;
        run.font = headingFont;
        run.box = headingBox.translated(target.origin);
        run.align = HAlign::Left;
        run.lineHeight = headingBox.height();
        run.lines = QStringList{heading};
        target.page.ops.push_back(run);
    }
    DataText::draw(target, laid, piece);
}

TextBlock LogoBox::layOut(TextMeasure &measure) const
{
    TextBlock b;
    if (!image.isNull() || businessName.trimmed().isEmpty())
        return b;
    // The largest size at which the whole name fits the box, broken at its
    // blanks where that lets it grow; never cut.
    const QString name = businessName.simplified();
    for (int points = 26; points >= 6; --points) {
        const FontSpec font = verdana(points, true);
        const QStringList lines = wrapParagraph(name, box.width(), font, measure);
        const double lineHeight = measure.lineHeight(font);
        const QString kept = lines.join(QString()).remove(QLatin1Char(' '));
        bool fits = kept == QString(name).remove(QLatin1Char(' ')) && lines.size() * lineHeight <= box.height() + 1e-9;
        for (const QString &line : lines)
            fits = fits && measure.width(font, line) <= box.width() + 1e-9;
        if (fits || points == 6) {
            m_nameFont = font;
            b.lines = lines;
            b.lineHeight = lineHeight;
            b.width = box.width();
            b.linesInBox = int(lines.size());
            return b;
        }
    }
    return b;
}

void LogoBox::draw(const DrawTarget &target, const TextBlock &laid, const Piece &piece) const
{
    if (!image.isNull()) {
        Picture::draw(target, laid, piece);
        return;
    }
    if (laid.lines.isEmpty())
        return;
    // The name in the middle of the box's height, as a logo would be.
    const double height = laid.lines.size() * laid.lineHeight;
    TextRun run;
    run.font = m_nameFont;
    run.box = QRectF(target.origin.x() + box.left(), target.origin.y() + box.top() + (box.height() - height) / 2,
                     box.width(), height);
    run.align = HAlign::Left;
    run.lineHeight = laid.lineHeight;
    run.lines = laid.lines;
    run.opaque = false;
    target.page.ops.push_back(run);
}

InvoiceReport::InvoiceReport(InvoiceData &data, QWidget *parent) : QWidget(parent), m_data(data)
{
    setObjectName(QStringLiteral("FRMDruck"));
    setAccessibleName(QStringLiteral("Rechnungsdruck"));

    layout.setObjectName(QStringLiteral("QR"));
    layout.dataSet = &m_data.invoiceLines;
    layout.printIfEmpty = true;
    layout.BeforePrint = [this](Report &r, bool &go) { startRun(r, go); };
    // A failed run closes the previews of this invoice, not those of others.
    runner.subject = [this] {
        const RecordSet &headers = m_data.invoiceHeaders;
        const Field *id = headers.FindField(schema::header::Id);
        return headers.TableName() + QLatin1Char('/') + (id ? id->AsString() : QString());
    };

    const double width = mm(184.68);
    RecordSet *customer = &m_data.customers;
    RecordSet *header = &m_data.invoiceHeaders;
    RecordSet *lines = &m_data.invoiceLines;
    const auto Left = HAlign::Left, Right = HAlign::Right, Center = HAlign::Center;
    const auto Fixed = Sizing::Fixed, Auto = Sizing::AutoWidth, Stretch = Sizing::Stretch;
    const auto Across = LineDirection::Horizontal, Down = LineDirection::Vertical;
    const auto Solid = PenStyle::Solid, Dotted = PenStyle::Dotted;

    // ---- title band, in drawing order
    Band *t = titleBand = layout.addBand(BandType::Title, QStringLiteral("TitleBand1"), mm(107.42), width);
    t->add<RoundedRectangle>(QStringLiteral("QRShape13"), box(0.00, 80.43, 184.68, 14.29), 0.02, true);
    title = t->add<DocumentTitle>(QStringLiteral("lblRechnung"), box(1.32, 82.02, 34.40, 5.29), verdana(DocumentTitle::DesignPoints),
                                  Center, Fixed, InvoiceTitle);
    // A credit note's invoice goes below the letterhead, where an invoice leaves the band empty.
    title->referenceBox = box(1.32, 74.61, 88.90, 5.29);
    t->add<FixedText>(QStringLiteral("QRLabel3"), box(9.53, 88.37, 5.56, 5.29), verdana(9, true), Left, Auto,
                                 QStringLiteral("Nr."));
    // Up to the dotted line before the date.
    t->add<InvoiceNumberText>(QStringLiteral("QRDBText3"), box(17.99, 88.37, 3.97, 5.29), verdana(9, true), Left, Auto,
                              header, schema::header::Number)
        ->maxWidth = mm(36.51 - 17.99 - 0.8);
    t->add<DataText>(QStringLiteral("QRDBText5"), box(36.51, 88.37, 29.10, 5.29), verdana(9, true), Center, Fixed,
                                 header, schema::header::Date);
    t->add<FixedText>(QStringLiteral("QRLabel1"), box(36.51, 82.02, 29.10, 5.29), verdana(9), Center, Fixed,
                                 QStringLiteral("Datum / Data"));
    t->add<DataText>(QStringLiteral("QRDBText1"), box(66.94, 88.37, 42.33, 5.29), verdana(9, true), Center, Fixed,
                                 header, schema::header::Payment);
    t->add<FixedText>(QStringLiteral("QRLabel4"), box(66.94, 82.02, 42.33, 5.29), verdana(9), Center, Fixed,
                                 QStringLiteral("Bezahlung / Pagamento"));
    t->add<DataText>(QStringLiteral("QRDBText7"), box(115.89, 73.55, 9.26, 5.29), verdana(12), Left, Auto,
                                 customer, schema::customer::VatNumber);
    t->add<FixedText>(QStringLiteral("QRLabel7"), box(103.19, 73.55, 12.17, 5.29), verdana(12), Left, Auto,
                                 QStringLiteral("P.IVA"));
    logo = t->add<LogoBox>(QStringLiteral("QRImage1"), box(0.00, 6.35, 59.53, 29.90), letterheadPicture());
    letterheadOwner = t->add<FixedText>(QStringLiteral("QRLabel9"), box(0.00, 44.45, 33.87, 5.03), verdana(11, true), Left, Auto,
                                 texts::LetterheadOwner);
    letterheadStreet = t->add<FixedText>(QStringLiteral("QRLabel10"), box(0.00, 49.74, 49.21, 5.03), verdana(11), Left, Auto,
                                  texts::LetterheadStreet);
    letterheadPhone = t->add<FixedText>(QStringLiteral("QRLabel11"), box(0.00, 55.03, 38.89, 5.03), verdana(11), Left, Auto,
                                  texts::LetterheadPhone);
    letterheadTown = t->add<FixedText>(QStringLiteral("QRLabel12"), box(0.00, 60.33, 57.15, 5.03), verdana(11), Left, Auto,
                                  texts::LetterheadTown);
    letterheadVat = t->add<FixedText>(QStringLiteral("QRLabel15"), box(0.00, 65.62, 41.01, 5.03), verdana(11), Left, Auto,
                                  texts::LetterheadVat);
    t->add<FixedText>(QStringLiteral("QRLabel16"), box(111.12, 82.02, 72.76, 5.03), verdana(9), Left, Fixed,
                                  QStringLiteral("Bestimmungsort / Luogo di destinazione"));
    t->add<FixedText>(QStringLiteral("QRLabel20"), box(0.00, 100.28, 47.89, 5.29), verdana(9, true), Left, Auto,
                                  QStringLiteral("Beschreibung - Descrizione"));
    t->add<LineShape>(QStringLiteral("QRShape7"), box(0.00, 105.83, 184.41, 0.26), Across, Solid);
    t->add<FixedText>(QStringLiteral("QRLabel22"), box(73.55, 97.10, 17.20, 5.29), verdana(9, true), Center, Fixed,
                                  QStringLiteral("Menge"));
    t->add<FixedText>(QStringLiteral("QRLabel23"), box(99.48, 100.28, 24.87, 5.29), verdana(9, true), Left, Auto,
                                  QStringLiteral("Preis - Prezzo"));
    t->add<FixedText>(QStringLiteral("QRLabel24"), box(151.61, 100.28, 29.63, 5.29), verdana(9, true), Left, Auto,
                                  QStringLiteral("Betrag - Importo"));
    t->add<DataText>(QStringLiteral("QRDBText10"), box(111.12, 88.37, 72.76, 5.29), verdana(9, true), Left, Fixed,
                                  header, schema::header::Destination);
    t->add<LineShape>(QStringLiteral("QRShape8"), box(0.53, 87.31, 183.89, 0.26), Across, Dotted);
    t->add<LineShape>(QStringLiteral("QRShape9"), box(109.27, 80.96, 0.26, 13.76), Down, Dotted);
    t->add<LineShape>(QStringLiteral("QRShape10"), box(66.15, 80.96, 0.26, 13.76), Down, Dotted);
    t->add<LineShape>(QStringLiteral("QRShape11"), box(35.98, 80.96, 0.26, 13.76), Down, Dotted);
    t->add<RoundedRectangle>(QStringLiteral("QRShape12"), box(91.28, 40.22, 91.02, 31.22), 0.1, false, true);
    t->add<DataText>(QStringLiteral("QRDBText6"), box(98.95, 58.21, 17.20, 11.38), verdana(12), Left, Auto,
                                 customer, schema::customer::Address);
    t->add<DataText>(QStringLiteral("QRDBText4"), box(98.95, 47.62, 13.23, 5.29), verdana(12, true), Left, Auto,
                                 customer, schema::customer::Name);
    t->add<FixedText>(QStringLiteral("QRLabel5"), box(98.95, 42.33, 5.82, 5.29), verdana(12), Left, Auto,
                                 QStringLiteral("An"));
    t->add<DataText>(QStringLiteral("QRDBText2"), box(105.04, 42.33, 22.23, 5.29), verdana(12), Left, Auto,
                                 customer, schema::customer::Salutation);
    t->add<LineShape>(QStringLiteral("QRShape14"), box(0.00, 96.57, 184.41, 0.26), Across, Solid);
    t->add<LineShape>(QStringLiteral("QRShape15"), box(70.91, 96.84, 3.44, 9.26), Down, Solid);
    t->add<LineShape>(QStringLiteral("QRShape16"), box(89.96, 96.84, 3.44, 9.26), Down, Solid);
    t->add<LineShape>(QStringLiteral("QRShape17"), box(125.94, 96.84, 3.44, 9.26), Down, Solid);
    t->add<FixedText>(QStringLiteral("QRLabel19"), box(73.55, 100.81, 17.20, 3.97), verdana(9, true), Center, Fixed,
                                  QStringLiteral("Quantità"));
    t->add<DataText>(QStringLiteral("QRDBText13"), box(98.95, 52.92, 16.14, 5.29), verdana(12, true), Left, Auto,
                                  customer, schema::customer::Owner);

    // ---- detail band: one row of the table of lines
    Band *d = lineBand = layout.addBand(BandType::Detail, QStringLiteral("DetailBand1"), mm(5.03), width);
    lineDescription = d->add<LineDescription>(QStringLiteral("QRDBText11"), box(0.00, 0.26, 72.23, 4.50), verdana(8), Left, Stretch,
                                  lines, schema::line::Description);
    lineDescription->headingBox = lineDescription->box;
    lineDescription->headingFont = verdana(8, true);
    lineAmountText = d->add<FixedText>(QStringLiteral("QRDBText12"), box(154.52, 0.26, 23.28, 4.50), verdana(8), Right, Fixed,
                                  QString());
    d->add<FixedText>(QStringLiteral("Punktstrich"), box(178.86, 0.53, 2.12, 3.97), arial(8), Left, Auto,
                                    QStringLiteral(".-"));
    d->add<LineShape>(QStringLiteral("QRShape3"), box(125.94, 0.00, 3.44, 4.50), Down, Dotted);
    d->add<LineShape>(QStringLiteral("QRShape4"), box(70.91, 0.00, 3.44, 4.50), Down, Dotted);
    d->add<DataText>(QStringLiteral("QRDBText8"), box(75.41, 0.26, 11.64, 4.50), verdana(8), Center, Stretch,
                                 lines, schema::line::Quantity);
    d->add<DataText>(QStringLiteral("QRDBText9"), box(95.25, 0.26, 25.66, 4.50), verdana(8), Right, Stretch,
                                 lines, schema::line::UnitPrice);
    d->add<LineShape>(QStringLiteral("QRShape5"), box(89.96, 0.00, 3.44, 4.50), Down, Dotted);
    d->add<LineShape>(QStringLiteral("QRShape6"), box(0.00, 4.50, 184.41, 0.26), Across, Dotted);
    d->add<FixedText>(QStringLiteral("QRLabel26"), box(122.50, 0.53, 2.12, 3.97), arial(8), Left, Auto,
                                  QStringLiteral(".-"));
    for (const auto &element : d->elements())
        m_lineDesign.push_back({element->box.top(), element->box.height()});
    m_lineHeight = d->height;
    // Each line is read for the totals as it is printed; one whose amount
    // cannot be calculated ends the run where it stands.
    lineBand->BeforePrint = [this](Band &, bool &) {
        showDeliveryNoteHeading();
        showLineAmount();
    };
    lineBand->AfterPrint = [this](Band &, bool) { addPrintedLine(); };

    // ---- summary band
    const QString placeholder = QStringLiteral("EuroTotalesdf");
    Band *s = summaryBand = layout.addBand(BandType::Summary, QStringLiteral("SummaryBand1"), mm(38.63), width);
    s->add<LineShape>(QStringLiteral("QRShape1"), box(137.05, 4.23, 47.89, 5.56), Across, Solid, 2);
    s->add<FixedText>(QStringLiteral("QRLabel2"), box(144.99, 13.23, 7.94, 5.29), verdana(10), Left, Auto,
                                 QStringLiteral("Euro"));
    s->add<FixedText>(QStringLiteral("lblIva"), box(18.52, 18.52, 51.86, 5.29), verdana(10), Left, Auto,
                               QStringLiteral("Mwst. - Betrag / Importo IVA"));
    s->add<FixedText>(QStringLiteral("QRLabel6"), box(144.99, 18.52, 7.94, 5.29), verdana(10), Left, Auto,
                                 QStringLiteral("Euro"));
    s->add<FixedText>(QStringLiteral("QRLabel13"), box(178.86, 13.23, 2.38, 5.29), arial(10), Left, Auto,
                                  QStringLiteral(".-"));
    s->add<FixedText>(QStringLiteral("QRLabel14"), box(178.86, 18.52, 2.38, 5.29), arial(10), Left, Auto,
                                  QStringLiteral(".-"));
    s->add<LineShape>(QStringLiteral("QRShape2"), box(137.05, 24.34, 47.89, 5.56), Across, Solid, 2);
    s->add<FixedText>(QStringLiteral("lblTotale"), box(18.52, 31.75, 44.19, 5.29), verdana(10, true), Left, Auto,
                                  QStringLiteral("Gesamtbetrag / Totale"));
    s->add<FixedText>(QStringLiteral("QRLabel17"), box(178.86, 31.75, 2.38, 5.29), arial(10), Left, Auto,
                                  QStringLiteral(".-"));
    s->add<FixedText>(QStringLiteral("QRLabel18"), box(144.99, 31.75, 9.00, 5.29), verdana(10, true), Left, Auto,
                                  QStringLiteral("Euro"));
    netTotal = s->add<FixedText>(QStringLiteral("summeohne"), box(154.52, 13.23, 23.28, 4.50), verdana(10, true), Right, Fixed,
                                  placeholder);
    taxTotal = s->add<FixedText>(QStringLiteral("mwst"), box(154.52, 18.52, 23.28, 4.50), verdana(10, true), Right, Fixed,
                             placeholder);
    grossTotal = s->add<FixedText>(QStringLiteral("gesamt"), box(154.52, 31.75, 23.28, 4.50), verdana(10, true), Right, Fixed,
                               placeholder);
    s->add<FixedText>(QStringLiteral("QRLabel25"), box(76.73, 18.52, 9.26, 5.29), verdana(10), Left, Auto,
                                  QStringLiteral("10 %"));
    summaryBand->BeforePrint = [this](Band &b, bool &go) { showTotals(b, go); };
    rateSummaryBand = layout.addBand(BandType::Summary, QStringLiteral("SummaryBand2"), mm(38.63), width);
    rateSummaryBand->BeforePrint = [this](Band &b, bool &go) { showRateTotals(b, go); };

    // ---- page footer
    Band *f = pageFooter = layout.addBand(BandType::PageFooter, QStringLiteral("PageFooterBand1"), mm(5.29), width);
    paymentLine = f->add<FixedText>(QStringLiteral("QRLabel8"), box(27.52, 0.00, 133.35, 5.03), verdana(11, true), Left, Auto,
                                 texts::PaymentLine);
    // Below the payment line, in the bottom margin: the footer keeps its height
    // and so every band above it its place.
    bankLine = f->add<OptionalText>(QStringLiteral("lblBank"), box(27.52, 5.03, 133.35, 3.97), verdana(8), Left, Auto,
                                    QString());
}

InvoiceReport::~InvoiceReport() = default;

Letterhead Letterhead::sample()
{
    Letterhead l;
    l.owner = texts::LetterheadOwner;
    l.street = texts::LetterheadStreet;
    l.phone = texts::LetterheadPhone;
    l.town = texts::LetterheadTown;
    l.vat = texts::LetterheadVat;
    l.paymentLine = texts::PaymentLine;
    l.logo = letterheadPicture();
    l.businessName = texts::MainCaption;
    return l;
}

Letterhead Letterhead::of(const einvoice::Seller &s)
{
    const QString own = s.businessName + s.owner + s.street + s.cap + s.town + s.telephone + s.vatNumber + s.paymentLine;
    if (own.trimmed().isEmpty())
        return sample();
    Letterhead l;
    l.owner = s.owner.isEmpty() ? s.businessName : s.owner;
    l.street = s.street;
    l.phone = s.telephone.isEmpty() ? QString() : QStringLiteral("Tel. ") + s.telephone;
    l.town = (s.cap + QLatin1Char(' ') + s.town).trimmed();
    if (!s.province.isEmpty())
        l.town += QStringLiteral(" (") + s.province + QLatin1Char(')');
    // An Italian number is printed as the invoice has always printed it, without the country.
    const QString vat = s.vatCountry == QLatin1String("IT") ? s.vatNumber : s.vatCountry + s.vatNumber;
    l.vat = s.vatNumber.isEmpty() ? QString() : QStringLiteral("P.IVA ") + vat;
    l.paymentLine = s.paymentLine;
    QStringList bank;
    if (!s.iban.isEmpty())
        bank << QStringLiteral("IBAN ") + s.iban;
    if (!s.fiscalCode.isEmpty())
        bank << QStringLiteral("C.F. ") + s.fiscalCode;
    l.bankLine = bank.join(QStringLiteral(" · "));
    l.businessName = s.businessName.isEmpty() ? l.owner : s.businessName;
    // The made-up nursery of the demo keeps its own picture.
    const Letterhead sampleBusiness = sample();
    if (l.owner == sampleBusiness.owner && l.street == sampleBusiness.street && l.town == sampleBusiness.town
        && l.vat == sampleBusiness.vat)
        l.logo = sampleBusiness.logo;
    return l;
}

LetterheadElements LetterheadElements::addTo(rpt::Band &band)
{
    const auto Left = HAlign::Left;
    const auto Auto = Sizing::AutoWidth;
    LetterheadElements e;
    e.logo = band.add<LogoBox>(QStringLiteral("logo"), box(0.00, 6.35, 59.53, 29.90), QImage());
    e.owner = band.add<FixedText>(QStringLiteral("inhaber"), box(0.00, 44.45, 33.87, 5.03), verdana(11, true), Left, Auto, QString());
    e.street = band.add<FixedText>(QStringLiteral("strasse"), box(0.00, 49.74, 49.21, 5.03), verdana(11), Left, Auto, QString());
    e.phone = band.add<FixedText>(QStringLiteral("telefon"), box(0.00, 55.03, 38.89, 5.03), verdana(11), Left, Auto, QString());
    e.town = band.add<FixedText>(QStringLiteral("ort"), box(0.00, 60.33, 57.15, 5.03), verdana(11), Left, Auto, QString());
    e.vat = band.add<FixedText>(QStringLiteral("piva"), box(0.00, 65.62, 41.01, 5.03), verdana(11), Left, Auto, QString());
    return e;
}

void LetterheadElements::show(const Letterhead &l) const
{
    owner->caption = l.owner;
    street->caption = l.street;
    phone->caption = l.phone;
    town->caption = l.town;
    vat->caption = l.vat;
    logo->image = l.logo;
    // A picture of the business's own is made to fit; the sample fits as it is.
    logo->scaledToBox = l.logo != letterheadPicture();
    logo->businessName = l.businessName;
}

void InvoiceReport::setLetterhead(const Letterhead &l)
{
    // The invoice keeps the names its elements always had.
    LetterheadElements{logo, letterheadOwner, letterheadStreet, letterheadPhone, letterheadTown, letterheadVat}.show(l);
    paymentLine->caption = l.paymentLine;
    bankLine->caption = l.bankLine;
}

Letterhead InvoiceReport::letterhead() const
{
    Letterhead l;
    l.owner = letterheadOwner->caption;
    l.street = letterheadStreet->caption;
    l.phone = letterheadPhone->caption;
    l.town = letterheadTown->caption;
    l.vat = letterheadVat->caption;
    l.paymentLine = paymentLine->caption;
    l.bankLine = bankLine->caption;
    l.logo = logo->image;
    l.businessName = logo->businessName;
    return l;
}

void InvoiceReport::showPreview()
{
    if (layout.busy())
        return;
    runner.preview();
}

void InvoiceReport::print() { runner.print(); }

void InvoiceReport::startRun(Report &, bool &)
{
    m_printedTotals = InvoiceTotals();
    m_printedLines.clear();
    m_lastDeliveryNote.clear();

    const RecordSet &headers = m_data.invoiceHeaders;
    const auto text = [&](QLatin1StringView name) {
        const Field *field = headers.Active() && !headers.IsEmpty() ? headers.FindField(name) : nullptr;
        return field && !field->IsNull() ? field->AsString().trimmed() : QString();
    };
    InvoiceHeader header;
    header.dokumentart = text(schema::header::DocumentKind);
    title->creditNote = header.isCreditNote();
    if (!title->creditNote) {
        title->caption = InvoiceTitle;
        title->reference.clear();
        return;
    }
    title->caption = CreditNoteTitle;
    title->reference =
        QStringLiteral("zu Rechnung Nr. %1 vom %2").arg(text(schema::header::ReferenceNumber), text(schema::header::ReferenceDate));
}

void InvoiceReport::showLineAmount()
{
    // The amount the totals take, so that the printed lines add up to the
    // printed net. A line without one shows nothing, as does a line that
    // cannot be read: the run stops on it once it is printed.
    lineAmountText->caption.clear();
    const RecordSet &lines = m_data.invoiceLines;
    if (lines.atEnd())
        return;
    const Field *amount = lines.FindField(QStringLiteral("summerechn"));
    if (!amount || amount->IsNull())
        return;
    try {
        lineAmountText->caption = formatMoney(totalsLine(lines).amount, m_data.separators());
    } catch (const AppError &) {
    }
}

void InvoiceReport::showDeliveryNoteHeading()
{
    // A deferred invoice's lines carry the delivery note they came with; the
    // first line of each note gets its heading in a row of its own above it.
    const RecordSet &lines = m_data.invoiceLines;
    const auto text = [&](QLatin1StringView name) {
        const Field *field = lines.atEnd() ? nullptr : lines.FindField(name);
        return field && !field->IsNull() ? field->AsString().trimmed() : QString();
    };
    const QString nr = text(schema::line::DeliveryNoteNumber);
    const QString date = text(schema::line::DeliveryNoteDate);
    const QString note = nr.isEmpty() ? QString() : nr + QLatin1Char('\n') + date;
    QString heading;
    if (!note.isEmpty() && note != m_lastDeliveryNote)
        heading = date.isEmpty() ? QStringLiteral("Lieferschein Nr. %1").arg(nr)
                                 : QStringLiteral("Lieferschein Nr. %1 vom %2").arg(nr, date);
    m_lastDeliveryNote = note;

    lineDescription->heading = heading;
    const double shift = heading.isEmpty() ? 0.0 : m_lineHeight;
    const auto &elements = lineBand->elements();
    for (size_t i = 0; i < elements.size(); ++i) {
        Element &element = *elements[i];
        const DesignBox &design = m_lineDesign[i];
        // The columns' dotted lines run on through the heading's row.
        const auto *line = dynamic_cast<const LineShape *>(&element);
        if (line && line->direction == LineDirection::Vertical) {
            element.box.moveTop(design.top);
            element.box.setHeight(design.height + shift);
        } else {
            element.box.moveTop(design.top + shift);
        }
    }
    lineBand->height = m_lineHeight + shift;
}

void InvoiceReport::addPrintedLine()
{
    // An invoice without lines still prints its one empty row.
    const RecordSet &lines = m_data.invoiceLines;
    if (!lines.atEnd())
        m_printedLines.append(totalsLine(lines));
}

void InvoiceReport::showTotals(Band &, bool &printIt)
{
    m_printedTotals = invoiceTotals(m_printedLines);
    const Separators &separators = m_data.separators();
    netTotal->caption = formatMoney(m_printedTotals.net, separators);
    taxTotal->caption = formatMoney(m_printedTotals.tax, separators);
    grossTotal->caption = formatMoney(m_printedTotals.gross, separators);
    // An invoice of plants only shows the one tax row it always has.
    printIt = m_printedTotals.onlyStandardRate();
}

void InvoiceReport::showRateTotals(Band &band, bool &printIt)
{
    band.clearElements();
    printIt = !m_printedTotals.onlyStandardRate();
    if (!printIt)
        return;
    const InvoiceTotals &totals = m_printedTotals;
    const Separators &separators = m_data.separators();
    const auto Left = HAlign::Left, Right = HAlign::Right;
    const auto Fixed = Sizing::Fixed, Auto = Sizing::AutoWidth;
    const auto Across = LineDirection::Horizontal;
    const auto Solid = PenStyle::Solid;
    // A figure in the amounts' column: "Euro", the amount ending at 177.80 mm,
    // ".-"; as in the classic rows only the gross's "Euro" is bold.
    auto figure = [&](const QString &name, double top, const Money &amount, bool bold) {
        band.add<FixedText>(name + QStringLiteral("Euro"), box(144.99, top, bold ? 9.00 : 7.94, 5.29), verdana(10, bold), Left,
                            Auto, QStringLiteral("Euro"));
        band.add<FixedText>(name, box(154.52, top, 23.28, 4.50), verdana(10, true), Right, Fixed,
                            formatMoney(amount, separators));
        band.add<FixedText>(name + QStringLiteral("Strich"), box(178.86, top, 2.38, 5.29), arial(10), Left, Auto,
                            QStringLiteral(".-"));
    };

    // The net row where the classic summary has it.
    band.add<LineShape>(QStringLiteral("QRShape1"), box(137.05, 4.23, 47.89, 5.56), Across, Solid, 2);
    figure(QStringLiteral("summeohne"), 13.23, totals.net, false);

    // One row per rate: what it is levied on, and the tax.
    double top = 18.52;
    for (qsizetype i = 0; i < totals.rates.size(); ++i, top += SummaryRow) {
        const RateTotals &rate = totals.rates.at(i);
        const QString row = QStringLiteral("satz%1").arg(i + 1);
        band.add<FixedText>(row + QStringLiteral("Text"), box(18.52, top, 51.86, 5.29), verdana(10), Left, Auto,
                            rateCaption(rate.rate));
        // Two rows at 0 % differ only in why.
        if (!rate.rate.nature.isEmpty())
            band.add<FixedText>(row + QStringLiteral("Natura"), box(56.09, top, 15.00, 5.29), verdana(10), Left, Auto,
                                rate.rate.nature);
        band.add<FixedText>(row + QStringLiteral("Auf"), box(76.73, top, 15.00, 5.29), verdana(10), Left, Auto,
                            QStringLiteral("auf / su"));
        band.add<FixedText>(row + QStringLiteral("Basis"), box(105.00, top, 28.00, 4.50), verdana(10), Right, Fixed,
                            formatMoney(rate.taxable, separators));
        figure(row, top, rate.tax, false);
    }

    // The gross row, as far below the last rate as it is below the one rate.
    const double shift = top - SummaryRow - 18.52;
    band.add<LineShape>(QStringLiteral("QRShape2"), box(137.05, 24.34 + shift, 47.89, 5.56), Across, Solid, 2);
    band.add<FixedText>(QStringLiteral("lblTotale"), box(18.52, 31.75 + shift, 44.19, 5.29), verdana(10, true), Left, Auto,
                        QStringLiteral("Gesamtbetrag / Totale"));
    figure(QStringLiteral("gesamt"), 31.75 + shift, totals.gross, true);

    // Under the totals: why a rate of 0 applies, and the stamp duty.
    double note = 38.63 + shift;
    for (const RateTotals &rate : totals.rates) {
        const VatNature *nature = rate.rate.percent == 0 ? vatNature(rate.rate.nature) : nullptr;
        if (!nature)
            continue;
        band.add<FixedText>(QStringLiteral("natura") + nature->code, box(18.52, note, 120.00, 5.29), verdana(9), Left, Auto,
                            nature->printedText);
        note += SummaryRow;
    }
    if (totals.stampDuty) {
        band.add<FixedText>(QStringLiteral("lblBollo"), box(18.52, note, 120.00, 5.29), verdana(9), Left, Auto,
                            QStringLiteral("Stempelsteuer / Imposta di bollo assolta in modo virtuale"));
        band.add<FixedText>(QStringLiteral("bolloEuro"), box(144.99, note, 7.94, 5.29), verdana(9), Left, Auto,
                            QStringLiteral("Euro"));
        band.add<FixedText>(QStringLiteral("bollo"), box(154.52, note, 23.28, 4.50), verdana(9), Right, Fixed,
                            formatMoney(StampDutyAmount, separators));
        note += SummaryRow;
    }
    band.height = mm(note + (note > 38.63 + shift ? 1.59 : 0));
}
