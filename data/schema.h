#pragma once

// The names of the program's tables and columns. They are what the file
// holds, what scripts and other programs read, and what the windows bind
// their fields to; the program writes them only through these constants.
// The tables themselves are defined in schema/rechungen.sql and the
// migrations (migrations.h).

#include <QLatin1StringView>
#include <QString>
#include <initializer_list>

namespace schema {

// The customers, one table for all years.
namespace customer {
inline constexpr QLatin1StringView Table{"kunde"};
inline constexpr QLatin1StringView Id{"id"};
inline constexpr QLatin1StringView Name{"name"};
inline constexpr QLatin1StringView Address{"adresse"};
inline constexpr QLatin1StringView Telephone{"telefon"};
inline constexpr QLatin1StringView VatNumber{"piva"};
inline constexpr QLatin1StringView Salutation{"ansprache"};
inline constexpr QLatin1StringView CustomerNumber{"kundennr"};
// The owner's first and last name ("Name eff.").
inline constexpr QLatin1StringView Owner{"name2"};
} // namespace customer

// The first year carries no year in its table names; every later one does.
constexpr int FirstYear = 2002;

// A year's invoice headers.
namespace header {
// The name without a year: the first year's table, and the start of every other's.
inline constexpr QLatin1StringView BaseName{"rechnungsdaten"};
QString tableOfYear(int year);
inline constexpr QLatin1StringView Id{"id"};
inline constexpr QLatin1StringView Number{"nr"};
inline constexpr QLatin1StringView Date{"datum"};
inline constexpr QLatin1StringView Payment{"bezahlung"};
// The customer's `kunde.id`, as text.
inline constexpr QLatin1StringView CustomerId{"kundennummer"};
inline constexpr QLatin1StringView Destination{"bestimmungsort"};
// The kind of document: empty is an invoice (TD01), "TD04" a credit note.
inline constexpr QLatin1StringView DocumentKind{"dokumentart"};
// A credit note's invoice: its number and its date (dd.mm.yyyy).
inline constexpr QLatin1StringView ReferenceNumber{"bezug_nr"};
inline constexpr QLatin1StringView ReferenceDate{"bezug_datum"};
// When the invoice is due and when it was paid (dd.mm.yyyy; empty: unpaid).
inline constexpr QLatin1StringView DueDate{"faellig"};
inline constexpr QLatin1StringView PaidDate{"bezahlt_am"};
} // namespace header

// A year's invoice lines.
namespace line {
inline constexpr QLatin1StringView BaseName{"rechnung"};
QString tableOfYear(int year);
inline constexpr QLatin1StringView Id{"id"};
// The header's `nr`.
inline constexpr QLatin1StringView InvoiceNumber{"rechnungsnummer"};
inline constexpr QLatin1StringView Description{"beschreibung"};
inline constexpr QLatin1StringView Quantity{"anzahl"};
inline constexpr QLatin1StringView UnitPrice{"einzelpreis"};
inline constexpr QLatin1StringView Amount{"summe"};
// The VAT rate: "22", "10", "5", "4" or "0"; empty is 10.
inline constexpr QLatin1StringView VatRate{"steuersatz"};
// Why a line at 0 % carries no VAT: the e-invoice's Natura code ("N3.2").
inline constexpr QLatin1StringView Nature{"natura"};
// Where the line stands in its invoice: lines show in ascending order, a line
// without one at its id, so that lines written before positions keep theirs.
inline constexpr QLatin1StringView Position{"pos"};
// The delivery note a line of a deferred invoice was delivered with: its
// number and its date (dd.mm.yyyy); empty on a line of an ordinary invoice.
inline constexpr QLatin1StringView DeliveryNoteNumber{"lieferschein_nr"};
inline constexpr QLatin1StringView DeliveryNoteDate{"lieferschein_datum"};
} // namespace line

// A year's delivery notes (DDT), kept like its invoices: one table for the
// notes, one for their lines. The first year carries no year in their names.
namespace deliveryNote {
inline constexpr QLatin1StringView BaseName{"lieferscheine"};
QString tableOfYear(int year);
inline constexpr QLatin1StringView Id{"id"};
inline constexpr QLatin1StringView Number{"nr"};
inline constexpr QLatin1StringView Date{"datum"};
// The customer's `kunde.id`, as text.
inline constexpr QLatin1StringView CustomerId{"kundennummer"};
inline constexpr QLatin1StringView Destination{"bestimmungsort"};
// Who carries the goods: "Mittente / Vettore / Destinatario" or a carrier's name.
inline constexpr QLatin1StringView Transport{"transport"};
// Why the goods travel: "Verkauf / Vendita" ...
inline constexpr QLatin1StringView Reason{"grund"};
// The number of packages.
inline constexpr QLatin1StringView Packages{"colli"};
// The invoice the note went into; empty: not invoiced yet.
inline constexpr QLatin1StringView InvoiceNumber{"rechnung_nr"};
} // namespace deliveryNote

namespace deliveryLine {
inline constexpr QLatin1StringView BaseName{"lieferschein"};
QString tableOfYear(int year);
inline constexpr QLatin1StringView Id{"id"};
// The note's `nr`.
inline constexpr QLatin1StringView NoteNumber{"lieferscheinnummer"};
inline constexpr QLatin1StringView Position{"pos"};
inline constexpr QLatin1StringView Description{"beschreibung"};
inline constexpr QLatin1StringView Quantity{"anzahl"};
// "Stk", "Topf", "kg" ...
inline constexpr QLatin1StringView Unit{"einheit"};
inline constexpr QLatin1StringView UnitPrice{"einzelpreis"};
inline constexpr QLatin1StringView VatRate{"steuersatz"};
// The plant passport: A the botanical name (a line with one is a plant for
// planting), C the traceability code, D the country of origin (ISO code).
inline constexpr QLatin1StringView BotanicalName{"botanischer_name"};
inline constexpr QLatin1StringView Traceability{"rueckverfolgung"};
inline constexpr QLatin1StringView Origin{"ursprung"};
} // namespace deliveryLine

// The business's own data: one row.
namespace business {
inline constexpr QLatin1StringView Table{"firma"};
inline constexpr QLatin1StringView Id{"id"};
inline constexpr QLatin1StringView Name{"name"};
inline constexpr QLatin1StringView Owner{"inhaber"};
inline constexpr QLatin1StringView Street{"strasse"};
inline constexpr QLatin1StringView Cap{"cap"};
inline constexpr QLatin1StringView Town{"ort"};
inline constexpr QLatin1StringView Province{"provinz"};
inline constexpr QLatin1StringView Country{"land"};
inline constexpr QLatin1StringView VatCountry{"ust_land"};
inline constexpr QLatin1StringView VatNumber{"ust_nr"};
inline constexpr QLatin1StringView FiscalCode{"steuernummer"};
inline constexpr QLatin1StringView TaxRegime{"steuerregime"};
inline constexpr QLatin1StringView Telephone{"telefon"};
inline constexpr QLatin1StringView Email{"email"};
inline constexpr QLatin1StringView Bank{"bank"};
inline constexpr QLatin1StringView Iban{"iban"};
inline constexpr QLatin1StringView Bic{"bic"};
inline constexpr QLatin1StringView PaymentLine{"zahlungszeile"};
inline constexpr QLatin1StringView NextTransmissionNumber{"naechste_uebertragung"};
// The business's logo for the letterhead: the image file's bytes as picked.
inline constexpr QLatin1StringView Logo{"logo"};
// The official registration of a professional operator with plants (RUOP),
// "IT-21-1234": field B of every plant passport; and the site's code.
inline constexpr QLatin1StringView RegistrationNumber{"ruop_nr"};
inline constexpr QLatin1StringView SiteCode{"standort"};
} // namespace business

// Each customer's data for the electronic invoice, keyed by `kunde.id`.
namespace customerEInvoice {
inline constexpr QLatin1StringView Table{"kunde_efattura"};
inline constexpr QLatin1StringView CustomerId{"kunde_id"};
inline constexpr QLatin1StringView Person{"person"};
inline constexpr QLatin1StringView FirstName{"vorname"};
inline constexpr QLatin1StringView LastName{"nachname"};
inline constexpr QLatin1StringView VatCountry{"ust_land"};
inline constexpr QLatin1StringView VatNumber{"ust_nr"};
inline constexpr QLatin1StringView FiscalCode{"steuernummer"};
inline constexpr QLatin1StringView RecipientCode{"empfaengercode"};
inline constexpr QLatin1StringView Pec{"pec"};
inline constexpr QLatin1StringView Street{"strasse"};
inline constexpr QLatin1StringView HouseNumber{"hausnummer"};
inline constexpr QLatin1StringView Cap{"cap"};
inline constexpr QLatin1StringView Town{"ort"};
inline constexpr QLatin1StringView Province{"provinz"};
inline constexpr QLatin1StringView Country{"land"};
// The customer's VAT treatment (einvoice::CustomerKind): "it_firma",
// "it_privat", "eu_firma", "eu_privat", "drittland", "san_marino",
// "vatikan"; empty: not chosen yet, taken from the country and VAT number.
inline constexpr QLatin1StringView Kind{"kundenart"};
} // namespace customerEInvoice

// Every e-invoice file written.
namespace eInvoiceExport {
inline constexpr QLatin1StringView Table{"efattura_exporte"};
inline constexpr QLatin1StringView Id{"id"};
inline constexpr QLatin1StringView Year{"jahr"};
inline constexpr QLatin1StringView Number{"nr"};
inline constexpr QLatin1StringView FileName{"datei"};
inline constexpr QLatin1StringView TransmissionNumber{"uebertragung"};
// Local time, "yyyy-MM-ddTHH:mm:ss".
inline constexpr QLatin1StringView Time{"zeit"};
inline constexpr QLatin1StringView Sha256{"sha256"};
} // namespace eInvoiceExport

// The separators the file's amounts are written with: one row.
namespace numberFormat {
inline constexpr QLatin1StringView Table{"zahlenformat"};
inline constexpr QLatin1StringView Id{"id"};
inline constexpr QLatin1StringView DecimalSeparator{"dezimaltrennzeichen"};
inline constexpr QLatin1StringView ThousandsSeparator{"tausendertrennzeichen"};
} // namespace numberFormat

// A name as the bytes of a statement.
inline QByteArray sql(QLatin1StringView name) { return QByteArray(name.data(), name.size()); }

// The id of the business's row, as a subquery: the first counts, should a
// file ever hold more than one.
inline QByteArray firstBusinessRow()
{
    return "(SELECT min(" + sql(business::Id) + ") FROM " + sql(business::Table) + ")";
}

// "a, b, c": the columns of a SELECT or an INSERT, in the order given.
QString columnList(std::initializer_list<QLatin1StringView> columns);

} // namespace schema
