#include "framework/fonts.h"

#include <cmath>

void registerFontSubstitutes()
{
    static const struct
    {
        const char *windows;
        const char *free;
    } pairs[] = {
        {"Verdana", "DejaVu Sans"},
        {"Arial", "Liberation Sans"},
        {"MS Sans Serif", "Liberation Sans"},
        {"Microsoft Sans Serif", "Liberation Sans"},
    };
    for (const auto &p : pairs) {
        const QString windows = QString::fromLatin1(p.windows);
        const QString free = QString::fromLatin1(p.free);
        // insertSubstitution appends; checking first keeps repeated calls
        // from growing the list.
        if (!QFont::substitutes(windows).contains(free))
            QFont::insertSubstitution(windows, free);
    }
}

int windowsPixelSize(int points)
{
    return int(std::lround(points * 96.0 / 72.0));
}

QFont windowsFont(const QString &family, int points, bool bold)
{
    static const bool registered = (registerFontSubstitutes(), true);
    Q_UNUSED(registered);

    QFont font(family);
    font.setPixelSize(windowsPixelSize(points));
    font.setBold(bold);
    return font;
}
