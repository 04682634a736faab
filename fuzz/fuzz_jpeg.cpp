// The JPEG decoder: any bytes give either an image or a German message.

#include "framework/jpeg.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QString error;
    const QImage image = decodeJpeg(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)), &error);
    if (image.isNull() == error.isEmpty())
        std::abort(); // a null image always comes with its reason, a decoded one without
    if (!image.isNull() && image.format() != QImage::Format_RGB888)
        std::abort();
    return 0;
}
