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
    // Qt ignores a substitute it already has, so calling this again is harmless.
    for (const auto &p : pairs)
        QFont::insertSubstitution(QString::fromLatin1(p.windows), QString::fromLatin1(p.free));
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
