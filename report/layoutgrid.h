#pragma once

// The invoice's layout was drawn on a 96-dpi grid, and its tables give the
// lengths rounded to 0.01 mm. Snapping back to the grid keeps the drawn lines
// where they were (a 1-pixel line in a box at 105.83 mm lies at 105.97 mm,
// not 105.96), and lets the payment reminder put letterhead and address
// window exactly where the invoice has them.

#include "framework/fonts.h"
#include "framework/report/page.h"

#include <QRectF>
#include <QString>
#include <cmath>

namespace layoutgrid {

inline double mm(double v) { return std::round(v * 96 / 25.4) * 25.4 / 96; }

inline QRectF box(double left, double top, double width, double height)
{
    return QRectF(mm(left), mm(top), mm(width), mm(height));
}

inline rpt::FontSpec verdana(int points, bool bold = false)
{
    return rpt::FontSpec{QStringLiteral("Verdana"), windowsPixelSize(points), bold};
}

} // namespace layoutgrid
