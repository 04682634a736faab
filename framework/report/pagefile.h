#pragma once

// Saved reports ("QRP" files) in our own format, and PDF documents.
//
// A QRP file is a fixed header followed by the pages:
//   8 bytes  "RECHNQRP"
//   quint16  format version (big-endian), currently 1
//   quint16  reserved, 0
//   quint64  length of the page data
//   32 bytes SHA-256 of the page data
//   the page data, written with QDataStream (Qt 6.0, big-endian, doubles)
// Loading checks every part of it before it hands out a single page.

#include "page.h"

#include <QByteArray>
#include <QString>

namespace rpt {

constexpr quint16 ReportFileVersion = 1;

struct LoadResult
{
    bool ok = false;
    Pages pages;
    QString error; // a sentence for the user
};

QByteArray encodeReport(const Pages &pages);
LoadResult decodeReport(const QByteArray &bytes, const QString &fileName = QString());

// False with a sentence in `error` when the file cannot be written.
bool writeReportFile(const Pages &pages, const QString &path, QString *error = nullptr);
LoadResult readReportFile(const QString &path);

// Every page as a page of the PDF document, at its own paper size.
bool writePdf(const Pages &pages, const QString &path, QString *error = nullptr, const QString &title = QString());

} // namespace rpt
