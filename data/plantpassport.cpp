#include "plantpassport.h"

#include "deliverynote.h"

#include <QRegularExpression>
#include <algorithm>

namespace {

// The words of a name, case folded, so "Olea europaea 'Leccino'" starts with
// "olea europaea".
QStringList wordsOf(const QString &name)
{
    return name.simplified().toCaseFolded().split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

} // namespace

bool customerGetsPassports(CustomerKind kind)
{
    return kind == CustomerKind::ItalianBusiness || kind == CustomerKind::EuBusiness;
}

const QStringList &speciesAlwaysTraced()
{
    static const QStringList species{
        QStringLiteral("Citrus"),         QStringLiteral("Coffea"),
        QStringLiteral("Lavandula dentata"), QStringLiteral("Nerium oleander"),
        QStringLiteral("Olea europaea"),  QStringLiteral("Polygala myrtifolia"),
        QStringLiteral("Prunus dulcis"),
    };
    return species;
}

bool botanicalNameStartsWith(const QString &name, const QString &words)
{
    const QStringList have = wordsOf(name);
    const QStringList wanted = wordsOf(words);
    return have.size() >= wanted.size() && have.mid(0, wanted.size()) == wanted;
}

bool alwaysNeedsTraceability(const QString &botanicalName)
{
    const QStringList &species = speciesAlwaysTraced();
    return std::any_of(species.begin(), species.end(),
                       [&](const QString &s) { return botanicalNameStartsWith(botanicalName, s); });
}

PassportNeed passportNeed(const QString &botanicalName, CustomerKind kind)
{
    if (botanicalName.trimmed().isEmpty() || !customerGetsPassports(kind))
        return PassportNeed::None;
    return alwaysNeedsTraceability(botanicalName) ? PassportNeed::RequiredWithTraceability : PassportNeed::Required;
}

QString passportProblem(const DeliveryLine &line, CustomerKind kind)
{
    const PassportNeed need = passportNeed(line.botanischer_name, kind);
    if (need == PassportNeed::None)
        return QString();
    const QString name = line.botanischer_name.simplified();
    static const QRegularExpression countryCode(QStringLiteral("^[A-Z]{2}$"));
    const QString origin = line.ursprung.trimmed();
    if (origin.isEmpty())
        return QStringLiteral("Für %1 fehlt im Pflanzenpass das Ursprungsland (D). Bitte den Ländercode eintragen, "
                              "z. B. „IT“.")
            .arg(name);
    if (!countryCode.match(origin).hasMatch())
        return QStringLiteral("Das Ursprungsland (D) von %1 ist „%2“: bitte den Ländercode aus zwei Großbuchstaben "
                              "eintragen, z. B. „IT“.")
            .arg(name, origin);
    if (need == PassportNeed::RequiredWithTraceability && line.rueckverfolgung.trimmed().isEmpty())
        return QStringLiteral("Für %1 fehlt im Pflanzenpass der Rückverfolgbarkeitscode (C). Diese Art muss ihn "
                              "immer tragen; bitte den Code der Partie eintragen.")
            .arg(name);
    return QString();
}
