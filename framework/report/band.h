#pragma once

// The parts of a report layout: bands holding elements, each element with its
// box in millimetres relative to its band's top-left corner.

#include "page.h"
#include "placement.h"

#include <QImage>
#include <QRectF>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class RowSource;

namespace rpt {

class TextMeasure;

enum class Sizing { Fixed, AutoWidth, Stretch };
enum class BandType { Title, Detail, Summary, PageFooter };
enum class LineDirection { Horizontal, Vertical };

// A text element's text laid out for printing, in mm. A right-aligned fixed
// text is never cut: where it does not fit, its box grows to the left.
struct TextBlock
{
    QStringList lines;
    double lineHeight = 0;
    double width = 0;     // of the box: the widest line for auto width
    double grownLeft = 0; // how far the box reaches left of its design left edge
    int linesInBox = 0;   // lines that end within the box's height plus 0.1 mm
};

// Where an element draws: the page and the top-left corner, in mm on the
// paper, of the piece of its band that lies on it.
struct DrawTarget
{
    Page &page;
    QPointF origin;
    double pixelDensity; // dots per inch at which a picture pixel is one dot
};

// What of an element one piece of its band holds. The first piece holds
// every element, a stretching text with its lines up to `endLine`; a
// continuation holds only a stretching text's lines [firstLine, endLine).
struct Piece
{
    bool continuation = false;
    int firstLine = 0;
    int endLine = 0;
};

class Element
{
public:
    Element(QString name, QRectF box) : m_name(std::move(name)), box(box) {}
    virtual ~Element() = default;
    Element(const Element &) = delete;
    Element &operator=(const Element &) = delete;

    const QString &name() const { return m_name; }

    // Made ready afresh each time its band prints: a text breaks its text of
    // the moment into lines; the other elements have nothing to lay out.
    virtual TextBlock layOut(TextMeasure &measure) const;
    // An element whose height grows with its lines gives the placement its
    // lines; the band then grows, and lines that do not fit go on over
    // further pages. The others give nothing.
    virtual std::optional<StretchColumn> stretchColumn(const TextBlock &laid) const;
    // Adds the element's drawing to the page; `laid` is what layOut() gave.
    virtual void draw(const DrawTarget &target, const TextBlock &laid, const Piece &piece) const = 0;

private:
    QString m_name;

public:
    QRectF box; // mm, relative to the band
};

// Fixed text and data field: black on an opaque white box, word wrap on.
class TextElement : public Element
{
public:
    TextElement(QString name, QRectF box, FontSpec font, HAlign align, Sizing sizing)
        : Element(std::move(name), box), font(std::move(font)), align(align), sizing(sizing) {}

    // The text to draw now; never throws.
    virtual QString text() const = 0;

    TextBlock layOut(TextMeasure &measure) const override;
    std::optional<StretchColumn> stretchColumn(const TextBlock &laid) const override;
    void draw(const DrawTarget &target, const TextBlock &laid, const Piece &piece) const override;

    FontSpec font;
    HAlign align;
    Sizing sizing;
};

class FixedText : public TextElement
{
public:
    FixedText(QString name, QRectF box, FontSpec font, HAlign align, Sizing sizing, QString caption)
        : TextElement(std::move(name), box, std::move(font), align, sizing), caption(std::move(caption)) {}
    QString text() const override { return caption; }

    QString caption;
};

// The text of one field of the current row of a row source; nothing when the
// field has no value or cannot be read.
class DataText : public TextElement
{
public:
    DataText(QString name, QRectF box, FontSpec font, HAlign align, Sizing sizing, RowSource *rows, QString field)
        : TextElement(std::move(name), box, std::move(font), align, sizing), rows(rows), field(std::move(field)) {}
    QString text() const override;

    RowSource *rows;
    QString field;
};

// A line through the middle of its box, across or down.
class LineShape : public Element
{
public:
    LineShape(QString name, QRectF box, LineDirection direction, PenStyle style, int penWidth = 1)
        : Element(std::move(name), box), direction(direction), style(style), penWidth(penWidth) {}
    void draw(const DrawTarget &target, const TextBlock &laid, const Piece &piece) const override;

    LineDirection direction;
    PenStyle style;
    int penWidth; // pixels at 96 dpi
};

// An outline inside its box with corners rounded by an ellipse of the
// design width in 96-dpi pixels times the rounding factor, in output pixels.
class RoundedRectangle : public Element
{
public:
    RoundedRectangle(QString name, QRectF box, double rounding, bool filled, bool invertOutline = false)
        : Element(std::move(name), box), rounding(rounding), filled(filled), invertOutline(invertOutline) {}
    int cornerPixels() const;
    void draw(const DrawTarget &target, const TextBlock &laid, const Piece &piece) const override;

    double rounding;
    bool filled;
    bool invertOutline; // pen OR NOT what lies beneath
    int penWidth = 1;
};

// A picture drawn at its natural size, one picture pixel per screen pixel,
// from the box's top-left corner and cut off at the box's edges; or, scaled
// to the box, as large as the box allows without distorting it, at the box's
// left edge and in the middle of its height.
class Picture : public Element
{
public:
    Picture(QString name, QRectF box, QImage image) : Element(std::move(name), box), image(std::move(image)) {}
    void draw(const DrawTarget &target, const TextBlock &laid, const Piece &piece) const override;

    QImage image;
    bool scaledToBox = false;
};

class Band
{
public:
    Band(BandType type, QString name, double height, double width)
        : m_type(type), m_name(std::move(name)), height(height), width(width) {}
    Band(const Band &) = delete;
    Band &operator=(const Band &) = delete;

    BandType type() const { return m_type; }
    const QString &name() const { return m_name; }

    template <class T, class... Args>
    T *add(Args &&...args)
    {
        auto e = std::make_unique<T>(std::forward<Args>(args)...);
        T *raw = e.get();
        m_elements.push_back(std::move(e));
        return raw;
    }
    const std::vector<std::unique_ptr<Element>> &elements() const { return m_elements; }
    // For a band whose elements depend on the data: its hook before printing
    // makes them afresh.
    void clearElements() { m_elements.clear(); }

    // Before the band is placed: clearing the flag leaves the band out.
    std::function<void(Band &, bool &printIt)> BeforePrint;
    // After the band has been placed and drawn.
    std::function<void(Band &, bool printed)> AfterPrint;

    // A title or summary band given rows prints once for each of them, the
    // row current while it prints, and not at all without any: a group of
    // rows under the detail rows. The detail band follows the report's rows.
    RowSource *rows = nullptr;

private:
    BandType m_type;
    QString m_name;
    std::vector<std::unique_ptr<Element>> m_elements; // in drawing order

public:
    double height; // mm
    double width;  // mm
};

// ---- text sizing ------------------------------------------------------------

// Paragraphs at carriage returns; line feeds are dropped.
QStringList paragraphs(const QString &text);

// Word wrap into a box width: a word ends after a blank or a hyphen and is
// measured with it; a word that does not fit begins a new line; a word wider
// than the box is cut after its last character that fits and the rest of it
// is dropped. The lines end without their trailing blanks.
QStringList wrapParagraph(const QString &paragraph, double width, const FontSpec &font, TextMeasure &measure);

TextBlock layoutText(const TextElement &element, const QString &text, TextMeasure &measure);

} // namespace rpt
