#pragma once

#include <QFont>
#include <QString>

// The screens were laid out for Windows fonts; on Linux the nearest free
// fonts stand in for them: Verdana -> DejaVu Sans; Arial, MS Sans Serif and
// Microsoft Sans Serif -> Liberation Sans (same metrics as Arial).
void registerFontSubstitutes();

// A font sized as Windows draws it at 96 dpi (8 pt -> 11 px). The size is in
// pixels so that absolutely placed controls keep fitting their text whatever
// dpi the screen reports. Registers the substitutes on first use.
QFont windowsFont(const QString &family, int points, bool bold = false);

// round(points * 96 / 72)
int windowsPixelSize(int points);
