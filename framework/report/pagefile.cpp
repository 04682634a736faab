#include "pagefile.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDataStream>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

#include <cmath>

namespace rpt {

namespace {

const QByteArray Magic("RECHNQRP", 8);
constexpr int HeaderSize = 8 + 2 + 2 + 8 + 32;
constexpr QDataStream::Version StreamVersion = QDataStream::Qt_6_0;
// Far more than any invoice; a count beyond it can only come from a broken file.
constexpr quint32 MaxPages = 100000;
constexpr quint32 MaxOps = 10000000;
constexpr quint32 MaxLines = 100000;
constexpr double MaxLength = 10000;                 // mm
constexpr double MinPaper = 10, MaxPaper = 2000;    // mm, either side
// Hundreds of pages of text and pictures stay below a few megabytes; the
// limit keeps a damaged or foreign length from being read into memory.
constexpr quint64 MaxPayload = 256ull * 1024 * 1024;

enum OpKind : quint8 { KText = 1, KLine = 2, KRoundRect = 3, KImage = 4 };

void setUp(QDataStream &s)
{
    s.setVersion(StreamVersion);
    s.setByteOrder(QDataStream::BigEndian);
    s.setFloatingPointPrecision(QDataStream::DoublePrecision);
}

void put(QDataStream &s, const QRectF &r) { s << r.x() << r.y() << r.width() << r.height(); }
void put(QDataStream &s, const QPointF &p) { s << p.x() << p.y(); }

struct Writer
{
    QDataStream &s;
    void operator()(const TextRun &t)
    {
        s << quint8(KText) << t.font.family << qint32(t.font.pixels) << quint8(t.font.bold);
        put(s, t.box);
        s << quint8(t.align) << t.lineHeight << quint8(t.opaque) << quint32(t.lines.size());
        for (const QString &l : t.lines)
            s << l;
    }
    void operator()(const LineRun &l)
    {
        s << quint8(KLine);
        put(s, l.from);
        put(s, l.to);
        s << quint8(l.style) << l.width;
    }
    void operator()(const RoundRectRun &r)
    {
        s << quint8(KRoundRect);
        put(s, r.box);
        s << r.penWidth << qint32(r.cornerPixels) << quint8(r.filled) << quint8(r.invertBeneath);
    }
    void operator()(const ImageRun &i)
    {
        s << quint8(KImage) << i.image;
        put(s, i.target);
        put(s, i.clip);
    }
};

// Reads and checks; any inconsistency marks the whole payload as broken.
class Reader
{
public:
    explicit Reader(QDataStream &s) : s(s) {}
    bool broken = false;

    double number()
    {
        double v = 0;
        s >> v;
        // Every number of a page is a length in millimetres on paper: ten
        // metres is already far beyond anything this program draws.
        if (!std::isfinite(v) || std::fabs(v) > MaxLength)
            broken = true;
        return v;
    }
    QRectF rect()
    {
        const double x = number(), y = number(), w = number(), h = number();
        if (w < 0 || h < 0)
            broken = true;
        return QRectF(x, y, w, h);
    }
    QPointF point()
    {
        const double x = number(), y = number();
        return QPointF(x, y);
    }
    quint8 byte(quint8 limit)
    {
        quint8 v = 0;
        s >> v;
        if (v > limit)
            broken = true;
        return v;
    }

    bool op(Page &page, quint8 kind)
    {
        switch (kind) {
        case KText: {
            TextRun t;
            qint32 pixels = 0;
            s >> t.font.family >> pixels;
            if (pixels < 1 || pixels > 1000)
                broken = true;
            t.font.pixels = pixels;
            t.font.bold = byte(1);
            t.box = rect();
            t.align = HAlign(byte(2));
            t.lineHeight = number();
            t.opaque = byte(1);
            quint32 n = 0;
            s >> n;
            if (n > MaxLines || t.lineHeight < 0)
                return broken = true, false;
            for (quint32 i = 0; i < n && s.status() == QDataStream::Ok; ++i) {
                QString line;
                s >> line;
                t.lines.append(line);
            }
            page.ops.push_back(std::move(t));
            return true;
        }
        case KLine: {
            LineRun l;
            l.from = point();
            l.to = point();
            l.style = PenStyle(byte(1));
            l.width = number();
            if (l.width < 0)
                broken = true;
            page.ops.push_back(l);
            return true;
        }
        case KRoundRect: {
            RoundRectRun r;
            r.box = rect();
            r.penWidth = number();
            qint32 corner = 0;
            s >> corner;
            if (corner < 0 || corner > 100000 || r.penWidth < 0)
                broken = true;
            r.cornerPixels = corner;
            r.filled = byte(1);
            r.invertBeneath = byte(1);
            page.ops.push_back(r);
            return true;
        }
        case KImage: {
            ImageRun i;
            s >> i.image;
            i.target = rect();
            i.clip = rect();
            if (i.image.isNull())
                broken = true;
            page.ops.push_back(std::move(i));
            return true;
        }
        default:
            broken = true;
            return false;
        }
    }

private:
    QDataStream &s;
};

QString shownName(const QString &fileName)
{
    return fileName.isEmpty() ? QStringLiteral("Die Datei") : QStringLiteral("Die Datei \"%1\"").arg(QFileInfo(fileName).fileName());
}

LoadResult failure(const QString &text)
{
    LoadResult r;
    r.error = text;
    return r;
}

} // namespace

QByteArray encodeReport(const Pages &pages)
{
    QByteArray payload;
    {
        QDataStream s(&payload, QIODevice::WriteOnly);
        setUp(s);
        s << quint32(pages.size());
        for (const PagePtr &p : pages) {
            s << p->paper.width() << p->paper.height() << quint32(p->ops.size());
            Writer w{s};
            for (const DrawOp &op : p->ops)
                std::visit(w, op);
        }
    }
    QByteArray out;
    QDataStream h(&out, QIODevice::WriteOnly);
    h.setByteOrder(QDataStream::BigEndian);
    h.writeRawData(Magic.constData(), Magic.size());
    h << ReportFileVersion << quint16(0) << quint64(payload.size());
    const QByteArray hash = QCryptographicHash::hash(payload, QCryptographicHash::Sha256);
    h.writeRawData(hash.constData(), int(hash.size()));
    out.append(payload);
    return out;
}

namespace {

QString damaged(const QString &name)
{
    return name + QStringLiteral(" ist beschädigt und kann nicht geladen werden.");
}

// Checks the fixed header on its own, so that a file can be refused before
// its pages are read; empty when the header is fine, else the sentence.
QString headerProblem(const QByteArray &bytes, const QString &name, quint64 *length)
{
    if (bytes.size() < Magic.size() || !bytes.startsWith(Magic))
        return name + QStringLiteral(" ist kein gespeicherter Bericht.");
    if (bytes.size() < HeaderSize)
        return damaged(name);
    QDataStream h(bytes);
    h.setByteOrder(QDataStream::BigEndian);
    h.skipRawData(int(Magic.size()));
    quint16 version = 0, reserved = 0;
    h >> version >> reserved >> *length;
    if (version > ReportFileVersion)
        return name + QStringLiteral(" stammt aus einer neueren Programmversion und kann nicht geladen werden.");
    if (version == 0 || reserved != 0 || *length > MaxPayload)
        return damaged(name);
    return QString();
}

} // namespace

LoadResult decodeReport(const QByteArray &bytes, const QString &fileName)
{
    const QString name = shownName(fileName);
    quint64 length = 0;
    const QString problem = headerProblem(bytes, name, &length);
    if (!problem.isEmpty())
        return failure(problem);
    const QByteArray hash = bytes.mid(HeaderSize - 32, 32);
    const QByteArray payload = bytes.mid(HeaderSize);
    if (length != quint64(payload.size()) || QCryptographicHash::hash(payload, QCryptographicHash::Sha256) != hash)
        return failure(damaged(name));

    QDataStream s(payload);
    setUp(s);
    Reader r(s);
    LoadResult result;
    quint32 count = 0;
    s >> count;
    quint64 totalOps = 0;
    if (count == 0 || count > MaxPages)
        r.broken = true;
    for (quint32 i = 0; i < count && !r.broken && s.status() == QDataStream::Ok; ++i) {
        auto page = std::make_shared<Page>();
        const double w = r.number(), hgt = r.number();
        if (w < MinPaper || w > MaxPaper || hgt < MinPaper || hgt > MaxPaper)
            r.broken = true;
        page->paper = QSizeF(w, hgt);
        quint32 ops = 0;
        s >> ops;
        totalOps += ops;
        if (totalOps > MaxOps)
            r.broken = true;
        for (quint32 k = 0; k < ops && !r.broken && s.status() == QDataStream::Ok; ++k) {
            quint8 kind = 0;
            s >> kind;
            r.op(*page, kind);
        }
        result.pages.push_back(std::move(page));
    }
    if (r.broken || s.status() != QDataStream::Ok || !s.atEnd())
        return failure(damaged(name));
    result.ok = true;
    return result;
}

const QString NoPages = QStringLiteral("Es gibt keine Seiten zum Speichern.");

bool writeReportFile(const Pages &pages, const QString &path, QString *error)
{
    if (pages.empty()) {
        if (error)
            *error = NoPages;
        return false;
    }
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        const QByteArray bytes = encodeReport(pages);
        if (file.write(bytes) == bytes.size() && file.commit())
            return true;
    }
    if (error)
        *error = shownName(path) + QStringLiteral(" kann nicht geschrieben werden.");
    return false;
}

LoadResult readReportFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return failure(shownName(path) + QStringLiteral(" kann nicht gelesen werden."));
    // The header first: its length must be the rest of the file, and within
    // reason, before the pages are read into memory.
    QByteArray bytes = file.read(HeaderSize);
    quint64 length = 0;
    const QString problem = headerProblem(bytes, shownName(path), &length);
    if (!problem.isEmpty())
        return failure(problem);
    if (file.size() - HeaderSize != qint64(length))
        return failure(damaged(shownName(path)));
    bytes += file.read(qint64(length));
    return decodeReport(bytes, path);
}

namespace {

QPageLayout layoutFor(const QSizeF &paper)
{
    const bool landscape = paper.width() > paper.height();
    const QSizeF portrait = landscape ? paper.transposed() : paper;
    return QPageLayout(QPageSize(portrait, QPageSize::Millimeter), landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                       QMarginsF());
}

} // namespace

bool writePdf(const Pages &pages, const QString &path, QString *error, const QString &title)
{
    if (pages.empty()) {
        if (error)
            *error = NoPages;
        return false;
    }
    auto fail = [&] {
        if (error)
            *error = shownName(path) + QStringLiteral(" kann nicht geschrieben werden.");
        return false;
    };
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail();
    {
        QPdfWriter writer(&file);
        constexpr int Resolution = 1200;
        writer.setResolution(Resolution);
        writer.setTitle(title);
        writer.setCreator(QStringLiteral("Rechnung"));
        const QSizeF first = pages.empty() ? QSizeF(210, 297) : pages.front()->paper;
        writer.setPageLayout(layoutFor(first));
        QPainter painter;
        if (!painter.begin(&writer))
            return fail();
        for (size_t i = 0; i < pages.size(); ++i) {
            const Page &p = *pages[i];
            if (i > 0) {
                writer.setPageLayout(layoutFor(p.paper));
                writer.newPage();
            }
            PaintTarget target;
            target.paper = QRectF(0, 0, p.paper.width() / 25.4 * Resolution, p.paper.height() / 25.4 * Resolution);
            // Corners as the preview shows them: the file is a copy of its pages.
            target.cornerMm = 25.4 / 96;
            paintPage(painter, p, target);
        }
        painter.end();
    }
    if (!file.commit())
        return fail();
    return true;
}

} // namespace rpt
