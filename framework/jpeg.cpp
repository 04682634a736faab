#include "framework/jpeg.h"

#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE and size_t declared first

#include <jpeglib.h>

namespace {

// libjpeg's own error_exit ends the process; this one jumps back into
// decode() with the library's text instead.
struct ErrorManager
{
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void jumpOnError(j_common_ptr info)
{
    auto *manager = reinterpret_cast<ErrorManager *>(info->err);
    (*info->err->format_message)(info, manager->message);
    std::longjmp(manager->jump, 1);
}

// Warnings (e.g. a file cut short) would otherwise be printed to stderr.
void ignoreMessage(j_common_ptr) {}

// Values from Adobe's encoders are stored inverted (255 = no ink).
void cmykRowToRgb(const JSAMPLE *cmyk, uchar *rgb, JDIMENSION width, bool inverted)
{
    for (JDIMENSION x = 0; x < width; ++x, cmyk += 4, rgb += 3) {
        int c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        rgb[0] = uchar(c * k / 255);
        rgb[1] = uchar(m * k / 255);
        rgb[2] = uchar(y * k / 255);
    }
}

enum class Outcome { Decoded, Failed, TooLarge };

// Everything between setjmp and a possible longjmp is plain C data: a jump
// must not skip a C++ destructor. The image lives in the caller, and the
// CMYK row buffer belongs to libjpeg's memory pool, which
// jpeg_destroy_decompress frees on both paths.
Outcome decode(const unsigned char *bytes, unsigned long size, QImage *image, char *message)
{
    jpeg_decompress_struct info;
    ErrorManager errors;
    info.err = jpeg_std_error(&errors.pub);
    errors.pub.error_exit = jumpOnError;
    errors.pub.output_message = ignoreMessage;
    errors.message[0] = '\0';

    if (setjmp(errors.jump)) {
        std::snprintf(message, JMSG_LENGTH_MAX, "%s", errors.message);
        jpeg_destroy_decompress(&info);
        return Outcome::Failed;
    }

    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, bytes, size);
    jpeg_read_header(&info, TRUE);

    // Guards against a forged header asking for gigabytes, before libjpeg
    // allocates anything for the picture (a progressive one buffers it whole).
    constexpr JDIMENSION maxSide = 20000;
    if (info.image_width > maxSide || info.image_height > maxSide) {
        jpeg_destroy_decompress(&info);
        return Outcome::TooLarge;
    }

    // libjpeg turns grey and YCbCr into RGB itself but has no CMYK to RGB
    // conversion, so CMYK/YCCK come out as CMYK and are converted below.
    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    info.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_start_decompress(&info);
    *image = QImage(int(info.output_width), int(info.output_height), QImage::Format_RGB888);
    if (image->isNull()) {
        jpeg_destroy_decompress(&info);
        return Outcome::TooLarge;
    }

    JSAMPARRAY cmykRow = nullptr;
    if (cmyk)
        cmykRow = (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                            info.output_width * 4, 1);
    const bool inverted = info.saw_Adobe_marker;

    while (info.output_scanline < info.output_height) {
        uchar *line = image->scanLine(int(info.output_scanline));
        if (cmyk) {
            if (jpeg_read_scanlines(&info, cmykRow, 1) != 1)
                break;
            cmykRowToRgb(cmykRow[0], line, info.output_width, inverted);
        } else {
            JSAMPROW row = line;
            if (jpeg_read_scanlines(&info, &row, 1) != 1)
                break;
        }
    }

    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return Outcome::Decoded;
}

} // namespace

QImage decodeJpeg(const QByteArray &data, QString *error)
{
    if (error)
        error->clear();
    if (data.isEmpty()) {
        if (error)
            *error = QStringLiteral("Das Bild ist leer.");
        return QImage();
    }

    QImage image;
    char message[JMSG_LENGTH_MAX] = {};
    const Outcome outcome = decode(reinterpret_cast<const unsigned char *>(data.constData()),
                                   static_cast<unsigned long>(data.size()), &image, message);
    switch (outcome) {
    case Outcome::Decoded:
        return image;
    case Outcome::TooLarge:
        if (error)
            *error = QStringLiteral("Das JPEG-Bild ist zu groß.");
        return QImage();
    case Outcome::Failed:
        break;
    }
    if (error)
        *error = QStringLiteral("Das JPEG-Bild ist beschädigt oder kein JPEG-Bild (%1).")
                     .arg(QString::fromLocal8Bit(message));
    return QImage();
}
