#pragma once

// The business's own logo for the printed letterhead: the bytes of the image
// file the user picked, kept in the business's row (`firma.logo`).

#include <QByteArray>
#include <QString>

class Database;

// Larger pictures make every printed page heavy for nothing a letterhead needs.
inline constexpr qint64 MaxLogoBytes = 2 * 1024 * 1024;

// The stored logo; empty when there is none, or the file has no place for one yet.
QByteArray loadBusinessLogo(Database &connection);

// Stores `bytes` as the logo; empty bytes remove it. Throws EngineError with a
// German message when a logo is to be kept and the file has no business data
// or no place for one.
void saveBusinessLogo(Database &connection, const QByteArray &bytes);

// The bytes of an image file picked as the logo. Throws ConversionError with a
// German message for a file that cannot be read, that is larger than
// MaxLogoBytes or that is not a PNG, JPEG or BMP picture.
QByteArray readLogoFile(const QString &path);
