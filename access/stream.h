#pragma once

#include "access/accessfile.h"

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <string>

// How the child process that runs libmdb hands the tables over: a plain byte
// stream through a pipe. The writer side uses nothing but the C library, as
// it runs in a forked child; the reading side trusts nothing it receives.
namespace accessdb::stream {

enum Tag : std::uint8_t {
    TagFormat = 'H', // u32 Jet version
    TagTable = 'T', // name, u32 declared rows, u16 columns, each: name, u8 type, u16 size, u8 precision, u8 scale, u8 flags
    TagRow = 'R', // one value per column
    TagUnreadable = 'U', // name of a table that cannot be read, u8 Failure, u32 row (from 1; 0 for none); its rows so far void
    TagFailure = 'X', // u8 Failure, name of the table concerned (may be empty)
    TagEnd = 'Z',
};

enum ValueTag : std::uint8_t {
    ValueNull = 0,
    ValueFalse = 1,
    ValueTrue = 2,
    ValueInteger = 3, // i64
    ValueDouble = 4, // f64
    ValueDecimal = 5, // string
    ValueDateTime = 6, // i64 Julian day, u32 milliseconds of the day
    ValueText = 7, // string (UTF-8)
    ValueBytes = 8, // string
};

enum ColumnFlag : std::uint8_t {
    FlagAutoNumber = 1,
    FlagCalculated = 2,
    FlagNotRead = 4, // a calculated column whose stored values cannot be read: all empty
};

// What the child could not read; the parent words it.
enum Failure : std::uint8_t {
    FailedOpen = 1,
    FailedCatalog = 2,
    FailedTable = 3, // a table's definition
    FailedRow = 4, // a row, or a value of it
    FailedTooLarge = 5,
};

// Collects the stream and writes it to a file descriptor in pieces, often
// enough that the parent sees progress. Only C library calls.
class Writer
{
public:
    explicit Writer(int fd) : m_fd(fd) {}
    void u8(std::uint8_t v) { m_buffer.push_back(char(v)); }
    void u16(std::uint16_t v);
    void u32(std::uint32_t v);
    void i64(std::int64_t v);
    void f64(double v);
    void string(const char *data, std::size_t size);
    void string(const std::string &s) { string(s.data(), s.size()); }
    // Writes what is collected when there is much of it or some time has passed.
    void maybeFlush();
    // False when the parent is gone.
    bool flush();

private:
    int m_fd;
    std::string m_buffer;
    long long m_lastFlushMs = 0;
};

// The tables a complete stream describes, and the Jet version. Throws
// EngineError for a stream that is cut short, malformed, or that reports a
// failure of the child; `file` names the Access file in the message.
struct Decoded
{
    quint32 version = 0;
    std::vector<Table> tables;
};
Decoded decode(const QByteArray &bytes, const QString &file);

// The German message for a damaged file, with what was found.
QString damagedMessage(const QString &file, const QString &detail);

} // namespace accessdb::stream
