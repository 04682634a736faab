#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

// Decodes a JPEG held in memory with libjpeg, independent of whether Qt's
// JPEG image plugin is installed. The result is RGB888 whatever the file's
// colour space (grey, YCbCr, CMYK). On empty, damaged or foreign data the
// result is a null image and *error (when given) gets a German message.
// A file cut short still decodes: the missing rows come out grey, as libjpeg
// fills them, and *error stays empty.
QImage decodeJpeg(const QByteArray &data, QString *error = nullptr);
