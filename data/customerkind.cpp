#include "customerkind.h"

#include <array>

namespace {

struct KindEntry
{
    CustomerKind kind;
    const char *code;
    const char *name;
};

constexpr std::array<KindEntry, 7> Kinds{{
    {CustomerKind::ItalianBusiness, "it_firma", "Firma in Italien"},
    {CustomerKind::ItalianPerson, "it_privat", "Privatperson in Italien"},
    {CustomerKind::EuBusiness, "eu_firma", "Firma in einem anderen EU-Staat"},
    {CustomerKind::EuPerson, "eu_privat", "Privatperson in einem anderen EU-Staat"},
    {CustomerKind::OutsideEu, "drittland", "Außerhalb der EU"},
    {CustomerKind::SanMarino, "san_marino", "San Marino"},
    {CustomerKind::Vatican, "vatikan", "Vatikanstadt"},
}};

const KindEntry &entry(CustomerKind kind)
{
    for (const KindEntry &e : Kinds)
        if (e.kind == kind)
            return e;
    return Kinds.front();
}

} // namespace

QString customerKindCode(CustomerKind kind) { return QString::fromLatin1(entry(kind).code); }

CustomerKind customerKindOfCode(const QString &code, bool *known)
{
    for (const KindEntry &e : Kinds) {
        if (code == QLatin1String(e.code)) {
            if (known)
                *known = true;
            return e.kind;
        }
    }
    if (known)
        *known = false;
    return CustomerKind::ItalianBusiness;
}

QString customerKindName(CustomerKind kind) { return QString::fromUtf8(entry(kind).name); }

VatRate defaultLineRate(CustomerKind kind)
{
    switch (kind) {
    case CustomerKind::EuBusiness:
        return VatRate{0, QStringLiteral("N3.2")};
    case CustomerKind::SanMarino:
        return VatRate{0, QStringLiteral("N3.3")};
    case CustomerKind::OutsideEu:
    case CustomerKind::Vatican:   // a supply into the Vatican is an export (art. 71 DPR 633/72)
        return VatRate{0, QStringLiteral("N3.1")};
    case CustomerKind::ItalianBusiness:
    case CustomerKind::ItalianPerson:
    case CustomerKind::EuPerson:
        break;
    }
    return StandardRate;
}
