#include "einvoice/prefill.h"

#include "einvoice/checks.h"

#include <QRegularExpression>

namespace einvoice {

namespace {

// A person's fiscal code, omocodes included.
bool isPersonalCode(const QString &text)
{
    static const QRegularExpression personalCode(QStringLiteral(
        "^[A-Z]{6}[0-9LMNPQRSTUV]{2}[A-Z][0-9LMNPQRSTUV]{2}[A-Z][0-9LMNPQRSTUV]{3}[A-Z]$"),
        QRegularExpression::CaseInsensitiveOption);
    return personalCode.match(text).hasMatch();
}

void splitVatNumber(const QString &piva, Buyer &b)
{
    QString text = piva;
    text.remove(QLatin1Char(' '));
    if (text.isEmpty())
        return;
    static const QRegularExpression digits(QStringLiteral("^[0-9]+$"));
    static const QRegularExpression withCountry(QStringLiteral("^([A-Za-z]{2})([0-9A-Za-z]+)$"));
    // A consumer's "P.IVA" is often the personal fiscal code.
    if (isPersonalCode(text)) {
        b.fiscalCode = text.toUpper();
    } else if (digits.match(text).hasMatch()) {
        b.vatCountry = QStringLiteral("IT");
        b.vatNumber = text;
    } else if (const QRegularExpressionMatch m = withCountry.match(text); m.hasMatch()) {
        b.vatCountry = m.captured(1).toUpper();
        b.vatNumber = m.captured(2);
    } else {
        b.vatNumber = piva.trimmed();
    }
}

const QRegularExpression &townLine()
{
    // Abroad postcodes of four digits are common, and a country's letter in
    // front of them ("A-6020 Innsbruck").
    static const QRegularExpression re(
        QStringLiteral("^(?:[A-Za-z]{1,2}-)?([0-9]{4,5})\\s+(\\S.*?)(?:\\s*\\(([A-Za-z]{2})\\))?$"));
    return re;
}

void takeTownLine(const QString &line, Buyer &b)
{
    const QRegularExpressionMatch m = townLine().match(line);
    b.cap = m.captured(1);
    b.town = m.captured(2);
    b.province = m.captured(3).toUpper();
}

bool endsWithHouseNumber(const QString &line)
{
    const QStringList words = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    return words.size() >= 2 && words.last().at(0).isDigit();
}

void takeStreetLine(const QString &line, Buyer &b)
{
    QStringList words = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (endsWithHouseNumber(line))
        b.houseNumber = words.takeLast();
    QString street = words.join(QLatin1Char(' '));
    if (street.endsWith(QLatin1Char(',')))
        street.chop(1);
    b.street = street;
}

} // namespace

CustomerKind guessedCustomerKind(const Buyer &b)
{
    static const QRegularExpression italianVat(QStringLiteral("^[0-9]{11}$"));
    const QString country = b.country.trimmed().toUpper();
    const QString vatCountry = b.vatCountry.trimmed().toUpper();
    const QString vatNumber = b.vatNumber.trimmed();
    if (country == QLatin1String("SM"))
        return CustomerKind::SanMarino;
    if (country == QLatin1String("VA"))
        return CustomerKind::Vatican;
    if (vatCountry == QLatin1String("IT") && italianVat.match(vatNumber).hasMatch())
        return CustomerKind::ItalianBusiness;
    if (!vatNumber.isEmpty() && isOtherEuMember(vatCountry))
        return CustomerKind::EuBusiness;
    if (country.isEmpty() || country == QLatin1String("IT")) {
        if (b.isPerson || (vatNumber.isEmpty() && isPersonalCode(b.fiscalCode.trimmed())))
            return CustomerKind::ItalianPerson;
        return CustomerKind::ItalianBusiness;
    }
    // A number there may be the country's own, not a VAT number of the EU's.
    if (isOtherEuMember(country))
        return vatNumber.isEmpty() ? CustomerKind::EuPerson : CustomerKind::EuBusiness;
    return CustomerKind::OutsideEu;
}

Buyer buyerFromCustomer(const QString &name, const QString &name2, const QString &piva, const QString &adresse)
{
    Buyer b;
    b.name = name.trimmed();
    b.owner = name2.trimmed();
    // First word and the rest: a surname of several words ("De Luca",
    // "von Berg") is more common here than a second first name.
    const qsizetype blank = b.owner.indexOf(QLatin1Char(' '));
    b.firstName = blank < 0 ? b.owner : b.owner.left(blank);
    b.lastName = blank < 0 ? QString() : b.owner.mid(blank + 1).trimmed();
    splitVatNumber(piva, b);
    // A foreign VAT number is the best hint at the country the row has.
    static const QRegularExpression countryCode(QStringLiteral("^[A-Z]{2}$"));
    if (b.vatCountry != QLatin1String("IT") && countryCode.match(b.vatCountry).hasMatch())
        b.country = b.vatCountry == QLatin1String("EL") ? QStringLiteral("GR") : b.vatCountry;

    QStringList lines;
    for (const QString &line : adresse.split(QLatin1Char('\n'))) {
        const QString trimmed = line.trimmed();   // also takes the CR of a CR LF
        if (!trimmed.isEmpty())
            lines << trimmed;
    }
    // The town is the last line of its shape: a country may follow it.
    qsizetype town = lines.size() - 1;
    while (town >= 0 && !townLine().match(lines.at(town)).hasMatch())
        --town;
    if (town >= 0)
        takeTownLine(lines.at(town), b);
    // The street is the first line; but where a line such as "z. Hd. ..."
    // comes before it, the first line that ends with a house number.
    const qsizetype before = town >= 0 ? town : lines.size();
    qsizetype street = 0;
    while (street < before && !endsWithHouseNumber(lines.at(street)))
        ++street;
    if (street == before)
        street = 0;
    if (street < before)
        takeStreetLine(lines.at(street), b);
    b.kind = guessedCustomerKind(b);
    if (isAbroad(b.kind))
        b.recipientCode = foreignRecipientCode(b.kind);
    return b;
}

} // namespace einvoice
