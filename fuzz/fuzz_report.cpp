// The saved-report loader.
//
// Input: one control byte, then bytes. With bit 0 set the bytes are taken as
// the whole file; otherwise they are the page data and get a correct header
// and checksum, so that the fuzzer reaches the page reader behind the checksum.
// A file that loads must load again, page for page, once written.

#include "pagefile.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QIODevice>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const QByteArray body(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    QByteArray file;
    if (data[0] & 1) {
        file = body;
    } else {
        QDataStream h(&file, QIODevice::WriteOnly);
        h.setByteOrder(QDataStream::BigEndian);
        h.writeRawData("RECHNQRP", 8);
        h << rpt::ReportFileVersion << quint16(0) << quint64(body.size());
        const QByteArray hash = QCryptographicHash::hash(body, QCryptographicHash::Sha256);
        h.writeRawData(hash.constData(), int(hash.size()));
        file.append(body);
    }
    const rpt::LoadResult r = rpt::decodeReport(file, QStringLiteral("fuzz.qrp"));
    if (r.ok == !r.error.isEmpty() || (r.ok && r.pages.empty()))
        std::abort();
    if (r.ok) {
        const rpt::LoadResult again = rpt::decodeReport(rpt::encodeReport(r.pages));
        if (!again.ok || !rpt::samePages(again.pages, r.pages))
            std::abort();
    }
    return 0;
}
