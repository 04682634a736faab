#pragma once

#include <QFont>
#include <QString>

// The screens were laid out for Windows fonts. Wine's fonts (Debian's
// fonts-wine) are made with their metrics: "MS Sans Serif" is Wine's own,
// "Microsoft Sans Serif" is drawn with Wine's Tahoma. Where they are missing,
// Liberation Sans (Arial's metrics) stands in for both; Verdana is drawn with
// DejaVu Sans and Arial with Liberation Sans.
void registerFontSubstitutes();

// Where fonts-wine puts the fonts that registerFontSubstitutes() loads.
inline constexpr const char *WineFontFolder = "/usr/share/wine/fonts";

// A font sized as Windows draws it at 96 dpi (8 pt -> 11 px). The size is in
// pixels so that absolutely placed controls keep fitting their text whatever
// dpi the screen reports. Registers the substitutes on first use.
QFont windowsFont(const QString &family, int points, bool bold = false);

// round(points * 96 / 72)
int windowsPixelSize(int points);
