#include "framework/fonts.h"

#include <QDir>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>
#include <cmath>

namespace {

// The font database belongs to the application object: without one there is
// nothing to add the files to yet, and a later call tries again.
void addWineFonts()
{
    static bool added = false;
    if (added || !qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return;
    added = true;
    const QDir folder(QString::fromLatin1(WineFontFolder));
    for (const char *file : {"ms_sans_serif.ttf", "tahoma.ttf", "tahomabd.ttf"}) {
        const QString path = folder.filePath(QString::fromLatin1(file));
        if (QFile::exists(path))
            QFontDatabase::addApplicationFont(path);
    }
}

} // namespace

void registerFontSubstitutes()
{
    addWineFonts();
    // A family that is installed is taken as it is, so Wine's "MS Sans Serif"
    // wins over its substitute; the substitutes are tried in their order.
    static const struct
    {
        const char *windows;
        QStringList free;
    } pairs[] = {
        {"Verdana", {QStringLiteral("DejaVu Sans")}},
        {"Arial", {QStringLiteral("Liberation Sans")}},
        {"MS Sans Serif", {QStringLiteral("Liberation Sans")}},
        {"Microsoft Sans Serif", {QStringLiteral("Tahoma"), QStringLiteral("Liberation Sans")}},
    };
    // Qt ignores a substitute it already has, so calling this again is harmless.
    for (const auto &p : pairs)
        QFont::insertSubstitutions(QString::fromLatin1(p.windows), p.free);
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
    // Wine's MS Sans Serif is a bitmap font without a bold face, and Qt does
    // not thicken bitmaps: bold text in it would look regular. Tahoma is the
    // outline font of the same design and has a real bold.
    if (bold && QFontInfo(font).family() == QLatin1String("MS Sans Serif")
        && !QFontDatabase::isSmoothlyScalable(QStringLiteral("MS Sans Serif")))
        font.setFamily(QStringLiteral("Microsoft Sans Serif"));
    return font;
}
