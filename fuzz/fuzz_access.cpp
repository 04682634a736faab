// Reading Access files: the checks before libmdb, libmdb itself in its child
// process, and the reading of what the child hands over.
//
// Input: an Access file (the fixtures of ../shared/access are the seeds), or
// "S" followed by the stream a child writes (fuzz/corpus/fuzz_access). Either
// is read or refused with an EngineError; nothing else may happen, and what
// is read has one value per column in every row.
//
// libmdb runs in a child process, whose coverage this process does not see:
// the fuzzer steers by our own code, and a crash of libmdb shows here as the
// refusal it is meant to become.

#include "access/accessfile.h"
#include "access/stream.h"
#include "data/errors.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void checkRows(const std::vector<accessdb::Table> &tables)
{
    for (const accessdb::Table &t : tables) {
        for (const accessdb::Row &row : t.rows) {
            if (row.size() != t.columns.size()) {
                std::fprintf(stderr, "table %s: a row of %zu values for %zu columns\n", qPrintable(t.name), row.size(), t.columns.size());
                std::abort();
            }
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    try {
        if (size > 0 && data[0] == 'S') {
            checkRows(accessdb::stream::decode(bytes.mid(1), QStringLiteral("fuzz.mdb")).tables);
        } else {
            const accessdb::AccessFile file(bytes, QStringLiteral("fuzz.mdb"));
            checkRows(file.tables());
        }
    } catch (const EngineError &) {
    }
    return 0;
}
