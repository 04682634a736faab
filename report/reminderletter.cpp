#include "reminderletter.h"

#include "data/invoicelist.h"
#include "data/money.h"
#include "framework/fonts.h"
#include "framework/report/fontmetrics.h"
#include "layoutgrid.h"

#include <cmath>

using namespace rpt;
using layoutgrid::box;
using layoutgrid::mm;
using layoutgrid::verdana;

namespace {


const QString GermanText = QStringLiteral(
    "Sehr geehrte Damen und Herren, bei der Durchsicht unserer Buchhaltung haben wir festgestellt, dass die oben "
    "genannte Rechnung noch nicht beglichen ist. Sicher handelt es sich nur um ein Versehen. Wir bitten Sie, den "
    "offenen Betrag in den nächsten Tagen auf unser unten genanntes Konto zu überweisen. Sollten Sie die Zahlung "
    "inzwischen geleistet haben, betrachten Sie dieses Schreiben bitte als gegenstandslos.");
const QString ItalianText = QStringLiteral(
    "Gentili Signori, dalla verifica della nostra contabilità risulta che la fattura sopra indicata non è ancora "
    "stata saldata. Sicuramente si tratta di una svista. Vi preghiamo di voler versare l'importo dovuto entro i "
    "prossimi giorni sul nostro conto indicato qui sotto. Qualora abbiate già provveduto al pagamento, vi preghiamo "
    "di considerare nulla la presente.");

// Rows of the invoice's facts, 20 pixels of the grid apart.
constexpr double FactsTop = 100.0;
constexpr double FactRow = 5.29;

} // namespace

ReminderLetter::ReminderLetter()
{
    layout.setObjectName(QStringLiteral("Zahlungserinnerung"));
    layout.dataSet = nullptr;
    layout.printIfEmpty = false;

    const double width = mm(184.68);
    const auto Left = HAlign::Left, Right = HAlign::Right;
    const auto Fixed = Sizing::Fixed, Auto = Sizing::AutoWidth;
    const auto Across = LineDirection::Horizontal;
    const auto Solid = PenStyle::Solid;

    Band *b = letterBand = layout.addBand(BandType::Title, QStringLiteral("ErinnerungBand"), mm(230.0), width);
    // The letterhead and the address window where the invoice has them, so
    // that the letter fits the same envelope.
    letterhead = LetterheadElements::addTo(*b);

    b->add<RoundedRectangle>(QStringLiteral("adressfenster"), box(91.28, 40.22, 91.02, 31.22), 0.1, false, true);
    b->add<FixedText>(QStringLiteral("an"), box(98.95, 42.33, 5.82, 5.29), verdana(12), Left, Auto, QStringLiteral("An"));
    salutation = b->add<FixedText>(QStringLiteral("ansprache"), box(105.04, 42.33, 22.23, 5.29), verdana(12), Left, Auto, QString());
    customerName = b->add<FixedText>(QStringLiteral("kundeName"), box(98.95, 47.62, 13.23, 5.29), verdana(12, true), Left, Auto, QString());
    customerOwner = b->add<FixedText>(QStringLiteral("kundeInhaber"), box(98.95, 52.92, 16.14, 5.29), verdana(12, true), Left, Auto, QString());
    customerAddress = b->add<FixedText>(QStringLiteral("kundeAdresse"), box(98.95, 58.21, 17.20, 11.38), verdana(12), Left, Auto, QString());

    writtenOn = b->add<FixedText>(QStringLiteral("datum"), box(111.12, 76.00, 73.56, 5.29), verdana(10), Right, Fixed, QString());
    b->add<FixedText>(QStringLiteral("lblErinnerung"), box(0.00, 86.00, 184.68, 7.00), verdana(14, true), Left, Fixed,
                      QStringLiteral("Zahlungserinnerung / Sollecito di pagamento"));
    b->add<LineShape>(QStringLiteral("linieOben"), box(0.00, 95.00, 184.41, 0.26), Across, Solid);

    const QString labels[] = {QStringLiteral("Rechnung Nr. / Fattura n."), QStringLiteral("vom / del"),
                              QStringLiteral("Betrag / Importo"), QStringLiteral("fällig am / scadenza"),
                              QStringLiteral("Tage überfällig / giorni di ritardo")};
    const QString names[] = {QStringLiteral("rechnungNr"), QStringLiteral("rechnungDatum"), QStringLiteral("betrag"),
                             QStringLiteral("faellig"), QStringLiteral("tageUeberfaellig")};
    FixedText **values[] = {&invoiceNumber, &invoiceDate, &grossAmount, &dueDate, &daysOverdue};
    for (int i = 0; i < 5; ++i) {
        const double top = FactsTop + i * FactRow;
        b->add<FixedText>(QStringLiteral("lbl_") + names[i], box(0.00, top, 80.00, 5.29), verdana(10), Left, Auto, labels[i]);
        *values[i] = b->add<FixedText>(names[i], box(85.00, top, 60.00, 5.29), verdana(10, true), Left, Auto, QString());
    }
    const double textTop = FactsTop + 5 * FactRow + 6;
    b->add<LineShape>(QStringLiteral("linieUnten"), box(0.00, textTop - 3, 184.41, 0.26), Across, Solid);
    b->add<FixedText>(QStringLiteral("textDeutsch"), box(0.00, textTop, 184.68, 20.00), verdana(10), Left, Fixed, GermanText);
    b->add<FixedText>(QStringLiteral("textItalienisch"), box(0.00, textTop + 22, 184.68, 20.00), verdana(10), Left, Fixed,
                      ItalianText);
    b->add<FixedText>(QStringLiteral("gruss"), box(0.00, textTop + 48, 100.00, 5.29), verdana(10), Left, Auto,
                      QStringLiteral("Mit freundlichen Grüßen / Distinti saluti"));

    // The payment and bank line at the foot, as on the invoice.
    Band *f = pageFooter = layout.addBand(BandType::PageFooter, QStringLiteral("FussBand"), mm(5.29), width);
    paymentLine = f->add<FixedText>(QStringLiteral("zahlungszeile"), box(27.52, 0.00, 133.35, 5.03), verdana(11, true), Left, Auto, QString());
    bankLine = f->add<FixedText>(QStringLiteral("bank"), box(27.52, 5.03, 133.35, 3.97), verdana(8), Left, Auto, QString());

    setLetterhead(Letterhead::sample());
}

void ReminderLetter::setLetterhead(const Letterhead &l)
{
    letterhead.show(l);
    paymentLine->caption = l.paymentLine;
    bankLine->caption = l.bankLine;
}

void ReminderLetter::setReminder(const Reminder &r, const Separators &separators)
{
    salutation->caption = r.customer.ansprache;
    customerName->caption = r.customer.name;
    customerOwner->caption = r.customer.name2;
    customerAddress->caption = r.customer.adresse;
    writtenOn->caption = storedDateText(r.today);
    invoiceNumber->caption = r.item.number;
    invoiceDate->caption = r.item.date;
    grossAmount->caption = r.item.gross ? QStringLiteral("Euro ") + formatMoney(*r.item.gross, separators) : QString();
    dueDate->caption = storedDateText(r.item.due);
    daysOverdue->caption = r.item.daysOverdue ? QString::number(*r.item.daysOverdue) : QString();
    runner.subject = [number = r.item.number, year = r.item.year] {
        return QStringLiteral("Zahlungserinnerung/%1/%2").arg(year).arg(number);
    };
}

void ReminderLetter::showPreview()
{
    if (layout.busy())
        return;
    runner.preview();
}
