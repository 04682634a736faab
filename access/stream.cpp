#include "access/stream.h"

#include "data/errors.h"

#include <QDate>
#include <QRegularExpression>
#include <QTime>
#include <QTimeZone>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <unistd.h>

namespace accessdb::stream {

namespace {

constexpr std::size_t FlushBytes = 64 * 1024;
constexpr long long FlushMs = 200;

long long nowMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (long long)ts.tv_sec * 1000 + ts.tv_nsec / 1000000;
}

template<typename T>
void append(std::string &buffer, T value)
{
    char bytes[sizeof value];
    std::memcpy(bytes, &value, sizeof value);
    // The stream is little-endian, as is every machine this runs on; the
    // static_assert in decode() keeps it honest.
    buffer.append(bytes, sizeof bytes);
}

} // namespace

void Writer::u16(std::uint16_t v) { append(m_buffer, v); }
void Writer::u32(std::uint32_t v) { append(m_buffer, v); }
void Writer::i64(std::int64_t v) { append(m_buffer, v); }
void Writer::f64(double v) { append(m_buffer, v); }

void Writer::string(const char *data, std::size_t size)
{
    u32(std::uint32_t(size));
    m_buffer.append(data, size);
}

void Writer::maybeFlush()
{
    if (m_buffer.size() >= FlushBytes || nowMs() - m_lastFlushMs >= FlushMs)
        flush();
}

bool Writer::flush()
{
    std::size_t done = 0;
    while (done < m_buffer.size()) {
        const ssize_t n = ::write(m_fd, m_buffer.data() + done, m_buffer.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += std::size_t(n);
    }
    m_buffer.clear();
    m_lastFlushMs = nowMs();
    return true;
}

QString damagedMessage(const QString &file, const QString &detail)
{
    return QStringLiteral("Die Access-Datei '%1' ist beschädigt und kann nicht gelesen werden: %2").arg(file, detail);
}

namespace {

static_assert(QSysInfo::ByteOrder == QSysInfo::LittleEndian, "the stream between the processes is little-endian");

class Reader
{
public:
    Reader(const QByteArray &bytes, const QString &file) : m_data(bytes.constData()), m_size(std::size_t(bytes.size())), m_file(file) {}

    bool atEnd() const { return m_pos == m_size; }

    [[noreturn]] void broken() const
    {
        throw EngineError(damagedMessage(m_file, QStringLiteral("das Lesen brach mittendrin ab")));
    }

    template<typename T>
    T take()
    {
        T value;
        if (m_size - m_pos < sizeof value)
            broken();
        std::memcpy(&value, m_data + m_pos, sizeof value);
        m_pos += sizeof value;
        return value;
    }

    QByteArray bytes()
    {
        const std::uint32_t size = take<std::uint32_t>();
        if (m_size - m_pos < size)
            broken();
        QByteArray out(m_data + m_pos, qsizetype(size));
        m_pos += size;
        return out;
    }

    QString text() { return QString::fromUtf8(bytes()); }

private:
    const char *m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
    QString m_file;
};

Value readValue(Reader &in)
{
    switch (in.take<std::uint8_t>()) {
    case ValueNull:
        return std::monostate{};
    case ValueFalse:
        return false;
    case ValueTrue:
        return true;
    case ValueInteger:
        return qint64(in.take<std::int64_t>());
    case ValueDouble:
        return in.take<double>();
    case ValueDecimal: {
        static const QRegularExpression decimal(QStringLiteral("^-?[0-9]+(\\.[0-9]+)?$"));
        QString text = in.text();
        if (!decimal.match(text).hasMatch())
            in.broken();
        return Decimal{text};
    }
    case ValueDateTime: {
        const std::int64_t day = in.take<std::int64_t>();
        const std::uint32_t ms = in.take<std::uint32_t>();
        const QDate date = QDate::fromJulianDay(day);
        if (!date.isValid() || ms >= 86'400'000u)
            in.broken();
        return QDateTime(date, QTime::fromMSecsSinceStartOfDay(int(ms)), QTimeZone::utc());
    }
    case ValueText:
        return in.text();
    case ValueBytes:
        return in.bytes();
    default:
        in.broken();
    }
}

QString failureText(std::uint8_t failure, const QString &table)
{
    switch (failure) {
    case FailedOpen:
        return QStringLiteral("ihr Kopf ist unlesbar");
    case FailedCatalog:
        return QStringLiteral("das Verzeichnis ihrer Tabellen ist unlesbar");
    case FailedTable:
        return QStringLiteral("die Beschreibung der Tabelle '%1' ist unlesbar").arg(table);
    case FailedRow:
        return QStringLiteral("eine Zeile der Tabelle '%1' ist unlesbar").arg(table);
    case FailedTooLarge:
        return QStringLiteral("ein Wert der Tabelle '%1' ist unglaubhaft groß").arg(table);
    default:
        return QStringLiteral("das Lesen brach mittendrin ab");
    }
}

// Why one table cannot be read; the file's name and the table's are said by
// whoever shows it.
QString unreadableReason(std::uint8_t failure, std::uint32_t row)
{
    switch (failure) {
    case FailedTable:
        return QStringLiteral("ihre Beschreibung ist beschädigt");
    case FailedRow:
        return row > 0 ? QStringLiteral("ihre Zeile %1 ist beschädigt").arg(row) : QStringLiteral("eine ihrer Zeilen ist beschädigt");
    case FailedTooLarge:
        return QStringLiteral("ein Wert ist unglaubhaft groß");
    default:
        return QStringLiteral("sie ist beschädigt");
    }
}

} // namespace

Decoded decode(const QByteArray &bytes, const QString &file)
{
    Reader in(bytes, file);
    Decoded out;
    Table *current = nullptr;
    bool haveFormat = false;
    while (!in.atEnd()) {
        const auto tag = in.take<std::uint8_t>();
        switch (tag) {
        case TagFormat:
            out.version = in.take<std::uint32_t>();
            haveFormat = true;
            break;
        case TagTable: {
            Table t;
            t.name = in.text();
            t.declaredRows = in.take<std::uint32_t>();
            const std::uint16_t columns = in.take<std::uint16_t>();
            for (std::uint16_t i = 0; i < columns; ++i) {
                Column c;
                c.name = in.text();
                c.type = in.take<std::uint8_t>();
                c.size = in.take<std::uint16_t>();
                c.precision = in.take<std::uint8_t>();
                c.scale = in.take<std::uint8_t>();
                const auto flags = in.take<std::uint8_t>();
                c.autoNumber = (flags & FlagAutoNumber) != 0;
                c.calculated = (flags & FlagCalculated) != 0;
                c.unread = c.calculated && (flags & FlagNotRead) != 0;
                t.columns.push_back(std::move(c));
            }
            out.tables.push_back(std::move(t));
            current = &out.tables.back();
            break;
        }
        case TagRow: {
            if (!current)
                in.broken();
            Row row;
            row.reserve(current->columns.size());
            for (std::size_t i = 0; i < current->columns.size(); ++i)
                row.push_back(readValue(in));
            current->rows.push_back(std::move(row));
            break;
        }
        case TagUnreadable: {
            const QString name = in.text();
            const auto failure = in.take<std::uint8_t>();
            const auto row = in.take<std::uint32_t>();
            // After its definition, or instead of it when that is what failed.
            if (!current || current->name != name) {
                Table t;
                t.name = name;
                out.tables.push_back(std::move(t));
                current = &out.tables.back();
            }
            current->rows.clear();
            current->unreadable = unreadableReason(failure, row);
            current = nullptr;
            break;
        }
        case TagFailure: {
            const auto failure = in.take<std::uint8_t>();
            throw EngineError(damagedMessage(file, failureText(failure, in.text())));
        }
        case TagEnd:
            if (!haveFormat || !in.atEnd())
                in.broken();
            return out;
        default:
            in.broken();
        }
    }
    in.broken();
}

} // namespace accessdb::stream
