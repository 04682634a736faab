#pragma once

// A finished page as a display list: what to draw and where, in millimetres
// from the paper's top-left corner. The same list is drawn on the preview at
// any zoom, on a printer at its resolution and on a PDF writer, and is what
// saved report files hold.

#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QStringList>

#include <memory>
#include <variant>
#include <vector>

class QPainter;

namespace rpt {

// A font as the layout names it: a Windows family (drawn with its free
// substitute), the height in pixels at 96 dpi, and the weight.
struct FontSpec
{
    QString family;
    int pixels = 13;
    bool bold = false;

    bool operator==(const FontSpec &) const = default;
};

enum class HAlign : quint8 { Left = 0, Right = 1, Center = 2 };
enum class PenStyle : quint8 { Solid = 0, Dotted = 1 };

// Lines of text already broken, one text height apart from the box's top.
struct TextRun
{
    FontSpec font;
    QRectF box;
    HAlign align = HAlign::Left;
    double lineHeight = 0;
    QStringList lines;
    bool opaque = true; // the box is filled white first

    bool operator==(const TextRun &) const = default;
};

struct LineRun
{
    QPointF from;
    QPointF to;
    PenStyle style = PenStyle::Solid;
    double width = 0; // pen width in mm

    bool operator==(const LineRun &) const = default;
};

// An outline drawn inside its box. The corners are ellipses measured in
// pixels of the output device, so they look wider on a coarse screen than on
// a fine printer.
struct RoundRectRun
{
    QRectF box;
    double penWidth = 0;
    int cornerPixels = 0;
    bool filled = false;
    bool invertBeneath = false; // pen OR NOT what lies beneath, where the device can

    bool operator==(const RoundRectRun &) const = default;
};

// A picture at `target`, cut off outside `clip`.
struct ImageRun
{
    QImage image;
    QRectF target;
    QRectF clip;

    bool operator==(const ImageRun &) const = default;
};

using DrawOp = std::variant<TextRun, LineRun, RoundRectRun, ImageRun>;

struct Page
{
    QSizeF paper; // mm
    std::vector<DrawOp> ops;

    bool operator==(const Page &) const = default;
    // Every text line of the page in drawing order (tests and text search).
    QStringList texts() const;
};

using PagePtr = std::shared_ptr<const Page>;
using Pages = std::vector<PagePtr>;

bool samePages(const Pages &a, const Pages &b);

// How the page meets the device.
struct PaintTarget
{
    QRectF paper;                // where the paper lies, in the painter's coordinates
    double cornerMm = 25.4 / 96; // one output pixel in mm, for the rounded corners
};

// The painter's coordinates stay as they were when this returns.
void paintPage(QPainter &painter, const Page &page, const PaintTarget &target);

} // namespace rpt
