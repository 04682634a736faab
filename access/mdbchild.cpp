#include "access/mdbchild.h"

#include "access/accessfile.h"
#include "access/rowlayout.h"
#include "access/stream.h"

#include <mdbtools.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// Runs in the forked child only: C and C++ library calls and libmdb, no Qt.

namespace accessdb::child {

namespace {

using stream::Writer;

struct Failed
{
    std::uint8_t failure;
    std::string table;
    std::uint32_t row = 0; // from 1; 0 when no row is concerned
};

std::uint32_t le32(const unsigned char *p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

// The largest Memo or OLE value read; Access itself stops at 1 GB, a
// nursery's address never comes near this.
constexpr std::uint32_t MaxLongValue = 64u * 1024 * 1024;
// Access allows 255 columns.
constexpr unsigned MaxColumns = 255;

// Where Jet 4 and ACE describe a table's columns: after a header of 63
// bytes and the table's indexes (12 bytes each), 25 bytes per column, its
// number at 5 and the flags of Access 2010 and later at 16.
constexpr std::size_t DefinitionHeader = 63;
constexpr std::size_t DefinitionRealIndexes = 51;
constexpr std::size_t IndexEntry = 12;
constexpr std::size_t ColumnEntry = 25;
constexpr std::size_t ColumnNumberAt = 5;
constexpr std::size_t ColumnExtraFlagsAt = 16;
constexpr unsigned char CalculatedFlags = 0xc0;
// A calculated column keeps this much more than its value: the header of
// row::calculatedValue() and three bytes after the value.
constexpr int CalculatedOverhead = 23;

std::uint16_t le16(const unsigned char *p)
{
    return std::uint16_t(p[0] | p[1] << 8);
}

// One value, decoded from the row before it goes into the stream.
struct Cell
{
    std::uint8_t tag = stream::ValueNull;
    std::int64_t integer = 0; // also the Julian day of a date
    std::uint32_t ms = 0;
    double real = 0;
    std::string text; // text, decimal digits, bytes
};

bool sameName(const char *a, const char *b)
{
    return g_ascii_strcasecmp(a, b) == 0;
}

class Reader
{
public:
    Reader(const char *data, std::size_t size, Writer &out) : m_data(reinterpret_cast<const unsigned char *>(data)), m_size(size), m_out(out) {}

    ~Reader()
    {
        if (m_mdb)
            mdb_close(m_mdb);
    }

    void run()
    {
        // libmdb reads from the buffer, which is our own copy of the
        // parent's bytes: nothing is read from the disk a second time.
        m_mdb = mdb_open_buffer(const_cast<unsigned char *>(m_data), m_size, MDB_NOFLAGS);
        if (!m_mdb || !m_mdb->fmt || !m_mdb->f)
            throw Failed{stream::FailedOpen, {}};
        m_pageSize = std::size_t(m_mdb->fmt->pg_size);
        if (m_pageSize != 2048 && m_pageSize != 4096)
            throw Failed{stream::FailedOpen, {}};
        m_pages = m_size / m_pageSize;
        m_jet3 = m_mdb->f->jet_version == MDB_VER_JET3;
        m_out.u8(stream::TagFormat);
        m_out.u32(m_mdb->f->jet_version);

        for (const Entry &e : readCatalog())
            writeTable(e);
        m_out.u8(stream::TagEnd);
    }

private:
    struct Entry
    {
        std::string name;
        unsigned long page;
    };

    // What a calculated column's values are read as.
    enum class Calculated { No, Read, NotRead };

    // A table definition as libmdb reads it, with the catalog entry it points to.
    struct OpenTable
    {
        std::unique_ptr<MdbCatalogEntry> entry;
        MdbTableDef *def = nullptr;
        std::vector<Calculated> calculated; // per column, in libmdb's order
        ~OpenTable()
        {
            if (def)
                mdb_free_tabledef(def);
        }
    };

    bool isTableDefinitionPage(unsigned long page) const
    {
        if (page == 0 || page >= m_pages)
            return false;
        const unsigned char *p = m_data + page * m_pageSize;
        return p[0] == MDB_PAGE_TABLE && p[1] == 0x01;
    }

    std::unique_ptr<OpenTable> open(const std::string &name, unsigned long page, std::uint8_t failure)
    {
        if (!isTableDefinitionPage(page))
            throw Failed{failure, name};
        auto t = std::make_unique<OpenTable>();
        t->entry = std::make_unique<MdbCatalogEntry>();
        std::memset(t->entry.get(), 0, sizeof(MdbCatalogEntry));
        t->entry->mdb = m_mdb;
        t->entry->object_type = MDB_TABLE;
        t->entry->table_pg = page;
        std::snprintf(t->entry->object_name, sizeof t->entry->object_name, "%s", name.c_str());
        t->def = mdb_read_table(t->entry.get());
        if (!t->def || t->def->num_cols == 0 || t->def->num_cols > MaxColumns)
            throw Failed{failure, name};
        GPtrArray *columns = mdb_read_columns(t->def);
        if (!columns || columns->len != t->def->num_cols)
            throw Failed{failure, name};
        t->calculated = calculatedColumns(*t, page);
        return t;
    }

    // The table's definition as one piece, as far as its columns go: it can
    // go on over further pages, each after a header of 8 bytes, chained by
    // the page number at 4. 64 KiB hold the columns of any table Access makes.
    std::string definition(unsigned long page) const
    {
        constexpr std::size_t Enough = 64 * 1024;
        std::string out;
        for (std::size_t hops = 0; hops < m_pages && out.size() < Enough && isTableDefinitionPage(page); ++hops) {
            const unsigned char *p = m_data + page * m_pageSize;
            const std::size_t skip = out.empty() ? 0 : 8;
            out.append(reinterpret_cast<const char *>(p) + skip, m_pageSize - skip);
            page = le32(p + 4);
        }
        return out;
    }

    // libmdb does not know calculated columns; their flags are read from the
    // definition here. Their stored values are read for the kinds whose
    // layout is plain; a Numeric, OLE, Binary or newer kind is left out.
    std::vector<Calculated> calculatedColumns(const OpenTable &t, unsigned long page) const
    {
        std::vector<Calculated> out(t.def->num_cols, Calculated::No);
        if (m_mdb->f->jet_version < MDB_VER_ACCDB_2010)
            return out;
        const std::string bytes = definition(page);
        const auto *d = reinterpret_cast<const unsigned char *>(bytes.data());
        if (bytes.size() < DefinitionHeader)
            return out;
        const std::size_t first = DefinitionHeader + std::size_t(le32(d + DefinitionRealIndexes)) * IndexEntry;
        for (unsigned entry = 0; entry < t.def->num_cols; ++entry) {
            const std::size_t at = first + std::size_t(entry) * ColumnEntry;
            if (at > bytes.size() || bytes.size() - at < ColumnEntry)
                break;
            if (!(d[at + ColumnExtraFlagsAt] & CalculatedFlags))
                continue;
            const int number = le16(d + at + ColumnNumberAt);
            for (unsigned i = 0; i < t.def->num_cols; ++i) {
                const MdbColumn *c = column(t, i);
                if (c->col_num != number)
                    continue;
                switch (c->col_type) {
                case MDB_BOOL:
                case MDB_BYTE:
                case MDB_INT:
                case MDB_LONGINT:
                case MDB_MONEY:
                case MDB_FLOAT:
                case MDB_DOUBLE:
                case MDB_DATETIME:
                case MDB_TEXT:
                case MDB_MEMO:
                case MDB_REPID:
                    out[i] = Calculated::Read;
                    break;
                default:
                    out[i] = Calculated::NotRead;
                    break;
                }
            }
        }
        return out;
    }

    MdbColumn *column(const OpenTable &t, unsigned i) const { return static_cast<MdbColumn *>(g_ptr_array_index(t.def->columns, i)); }

    // The catalog without the objects' properties: libmdb's own catalog
    // reader also parses those, and on a damaged file that can run away.
    std::vector<Entry> readCatalog()
    {
        const std::unique_ptr<OpenTable> t = open("MSysObjects", 2, stream::FailedCatalog);
        int id = -1, name = -1, type = -1, flags = -1;
        for (unsigned i = 0; i < t->def->num_cols; ++i) {
            const char *n = column(*t, i)->name;
            if (sameName(n, "Id"))
                id = int(i);
            else if (sameName(n, "Name"))
                name = int(i);
            else if (sameName(n, "Type"))
                type = int(i);
            else if (sameName(n, "Flags"))
                flags = int(i);
        }
        if (id < 0 || name < 0 || type < 0 || flags < 0)
            throw Failed{stream::FailedCatalog, {}};

        std::vector<Entry> tables;
        std::vector<Cell> cells;
        unsigned long rows = 0;
        while (fetch(*t, cells, stream::FailedCatalog)) {
            ++rows;
            const Cell &cId = cells[std::size_t(id)], &cName = cells[std::size_t(name)], &cType = cells[std::size_t(type)],
                       &cFlags = cells[std::size_t(flags)];
            if (cId.tag != stream::ValueInteger || cName.tag != stream::ValueText || cType.tag != stream::ValueInteger)
                continue;
            // The high bit of the type marks objects Access keeps for itself.
            if ((cType.integer & 0x7f) != MDB_TABLE)
                continue;
            const std::int64_t f = cFlags.tag == stream::ValueInteger ? cFlags.integer : 0;
            if (f & 0x80000002)
                continue;
            if (g_ascii_strncasecmp(cName.text.c_str(), "MSys", 4) == 0)
                continue;
            // What Access leaves behind of its own work, never the user's.
            if (g_ascii_strncasecmp(cName.text.c_str(), "~TMP", 4) == 0)
                continue;
            tables.push_back(Entry{cName.text, (unsigned long)(cId.integer & 0x00ffffff)});
        }
        // A table missed here would be missed without a word.
        if (rows != t->def->num_rows)
            throw Failed{stream::FailedCatalog, {}};
        return tables;
    }

    // A table that cannot be read is said so in the stream, after whatever
    // of it was written, and the next one is read: whether it matters is for
    // the parent to decide.
    void writeTable(const Entry &e)
    {
        try {
            writeTableOrFail(e);
        } catch (const Failed &f) {
            m_out.u8(stream::TagUnreadable);
            m_out.string(e.name);
            m_out.u8(f.failure);
            m_out.u32(f.row);
        }
    }

    void writeTableOrFail(const Entry &e)
    {
        const std::unique_ptr<OpenTable> t = open(e.name, e.page, stream::FailedTable);
        const unsigned n = t->def->num_cols;
        m_out.u8(stream::TagTable);
        m_out.string(e.name);
        m_out.u32(t->def->num_rows);
        m_out.u16(std::uint16_t(n));
        for (unsigned i = 0; i < n; ++i) {
            const MdbColumn *c = column(*t, i);
            m_out.string(c->name, std::strlen(c->name));
            m_out.u8(std::uint8_t(c->col_type));
            int size = c->col_size;
            if (t->calculated[i] != Calculated::No && c->col_type == MDB_TEXT)
                size -= CalculatedOverhead;
            // Jet 4 and ACE keep text as UTF-16: two bytes a character.
            if (c->col_type == MDB_TEXT && !m_jet3)
                size /= 2;
            m_out.u16(std::uint16_t(std::clamp(size, 0, 0xffff)));
            // Which of the two libmdb calls precision differs between its
            // versions; a precision is never below its scale.
            const int a = std::clamp(c->col_prec, 0, 255), b = std::clamp(c->col_scale, 0, 255);
            m_out.u8(std::uint8_t(std::max(a, b)));
            m_out.u8(std::uint8_t(std::min(a, b)));
            std::uint8_t flags = c->is_long_auto ? stream::FlagAutoNumber : 0;
            if (t->calculated[i] != Calculated::No)
                flags |= stream::FlagCalculated;
            if (t->calculated[i] == Calculated::NotRead)
                flags |= stream::FlagNotRead;
            m_out.u8(flags);
        }
        std::vector<Cell> cells;
        std::uint32_t row = 0;
        while (fetch(*t, cells, stream::FailedRow, e.name, row + 1)) {
            ++row;
            m_out.u8(stream::TagRow);
            for (const Cell &c : cells)
                write(c);
            m_out.maybeFlush();
        }
    }

    void write(const Cell &c)
    {
        m_out.u8(c.tag);
        switch (c.tag) {
        case stream::ValueInteger:
            m_out.i64(c.integer);
            break;
        case stream::ValueDouble:
            m_out.f64(c.real);
            break;
        case stream::ValueDateTime:
            m_out.i64(c.integer);
            m_out.u32(c.ms);
            break;
        case stream::ValueDecimal:
        case stream::ValueText:
        case stream::ValueBytes:
            m_out.string(c.text);
            break;
        default:
            break;
        }
    }

    // The next row of the table, one cell per column in column order; false at the end.
    bool fetch(const OpenTable &t, std::vector<Cell> &cells, std::uint8_t failure, const std::string &table = {},
               std::uint32_t rowNumber = 0)
    {
        if (!mdb_fetch_row(t.def))
            return false;
        const Failed failed{failure, table, rowNumber};
        // mdb_fetch_row() leaves the row's page in pg_buf and its number
        // just behind; cracking it again gives every field's bytes.
        const unsigned n = t.def->num_cols;
        int start = 0;
        size_t length = 0;
        if (t.def->cur_row == 0 || mdb_find_row(m_mdb, int(t.def->cur_row - 1), &start, &length) != 0)
            throw failed;
        const std::size_t rowStart = std::size_t(start & 0x1fff);
        if (rowStart > m_pageSize || length > m_pageSize - rowStart)
            throw failed;
        // Checked before libmdb reads the offsets the row's counts point to.
        const std::optional<row::Layout> layout = row::Layout::of(page() + rowStart, length, m_jet3, t.def->num_var_cols > 0);
        if (!layout)
            throw failed;
        std::vector<MdbField> fields(n);
        const int cracked = mdb_crack_row(t.def, int(rowStart), length, fields.data());
        // The row may hold another number of columns than the table has now
        // (added or deleted since it was written); it must be the one read here.
        if (cracked < 0 || unsigned(cracked) != layout->columns())
            throw failed;
        cells.assign(n, Cell{});
        std::vector<bool> seen(n, false);
        for (const MdbField &f : fields) {
            if (f.colnum < 0 || unsigned(f.colnum) >= n || seen[std::size_t(f.colnum)])
                throw failed;
            seen[std::size_t(f.colnum)] = true;
            const MdbColumn *col = column(t, unsigned(f.colnum));
            Cell &cell = cells[std::size_t(f.colnum)];
            const Calculated calculated = t.calculated[std::size_t(f.colnum)];
            // Absent from an older row: empty, whatever the bytes after the
            // row's null mask would say.
            if (col->col_num < 0 || !layout->holds(unsigned(col->col_num)) || calculated == Calculated::NotRead)
                continue;
            const bool hasValue = layout->hasValue(unsigned(col->col_num));
            // A Yes/No column keeps its value in the null mask: set means Yes.
            if (col->col_type == MDB_BOOL && calculated == Calculated::No) {
                cell.tag = hasValue ? stream::ValueTrue : stream::ValueFalse;
                continue;
            }
            // libmdb hands out no bytes for a column the row has no place
            // for (a variable one beyond the row's table of offsets).
            if (!hasValue || !f.value)
                continue;
            if (f.start < 0 || f.siz < 0 || std::size_t(f.start) < rowStart
                || !layout->inData(std::size_t(f.start) - rowStart, std::size_t(f.siz)))
                throw failed;
            std::size_t at = std::size_t(f.start), size = std::size_t(f.siz);
            if (calculated == Calculated::Read) {
                const std::optional<row::Span> value = row::calculatedValue(page() + at, size);
                if (!value)
                    throw failed;
                at += value->offset;
                size = value->size;
            }
            if (!decode(col, page() + at, size, cell))
                throw failed;
        }
        return true;
    }

    const unsigned char *page() const { return m_mdb->pg_buf; }

    // One value of `size` bytes at `p`, inside the row.
    bool decode(const MdbColumn *col, const unsigned char *p, std::size_t size, Cell &out)
    {
        const auto need = [&](std::size_t bytes) { return size >= bytes; };
        switch (col->col_type) {
        case MDB_BOOL:
            // Only a calculated Yes/No keeps a byte of its own.
            if (!need(1))
                return false;
            out.tag = p[0] ? stream::ValueTrue : stream::ValueFalse;
            return true;
        case MDB_BYTE:
            if (!need(1))
                return false;
            out.tag = stream::ValueInteger;
            out.integer = p[0];
            return true;
        case MDB_INT:
            if (!need(2))
                return false;
            out.tag = stream::ValueInteger;
            out.integer = std::int16_t(std::uint16_t(p[0] | p[1] << 8));
            return true;
        case MDB_LONGINT:
        case MDB_COMPLEX:
            if (!need(4))
                return false;
            out.tag = stream::ValueInteger;
            out.integer = std::int32_t(le32(p));
            return true;
        case MDB_MONEY:
            if (!need(8))
                return false;
            out.tag = stream::ValueDecimal;
            out.text = money(p);
            return true;
        case MDB_FLOAT: {
            if (!need(4))
                return false;
            float v;
            std::memcpy(&v, p, 4);
            out.tag = stream::ValueDouble;
            out.real = shortestDouble(v);
            return true;
        }
        case MDB_DOUBLE:
            if (!need(8))
                return false;
            out.tag = stream::ValueDouble;
            std::memcpy(&out.real, p, 8);
            return true;
        case MDB_DATETIME: {
            if (!need(8))
                return false;
            double days;
            std::memcpy(&days, p, 8);
            dateTime(days, out);
            return true;
        }
        case MDB_TEXT:
            out.tag = stream::ValueText;
            out.text = text(p, size);
            return true;
        case MDB_MEMO:
        case MDB_OLE: {
            std::string bytes;
            if (!longValue(p, size, bytes))
                return false;
            if (col->col_type == MDB_MEMO) {
                out.tag = stream::ValueText;
                out.text = text(reinterpret_cast<const unsigned char *>(bytes.data()), bytes.size());
            } else {
                out.tag = stream::ValueBytes;
                out.text = std::move(bytes);
            }
            return true;
        }
        case MDB_REPID:
            if (!need(16))
                return false;
            out.tag = stream::ValueText;
            out.text = guid(p);
            return true;
        case MDB_NUMERIC:
            if (!need(17))
                return false;
            out.tag = stream::ValueDecimal;
            out.text = numeric(p, std::min(std::clamp(col->col_prec, 0, 255), std::clamp(col->col_scale, 0, 255)));
            return true;
        default:
            // Binary and whatever kind a newer Access adds: the bytes as they are.
            out.tag = stream::ValueBytes;
            out.text.assign(reinterpret_cast<const char *>(p), size);
            return true;
        }
    }

    std::string text(const unsigned char *src, std::size_t size)
    {
        if (size == 0)
            return {};
        // Every byte of the source becomes at most three of UTF-8 (one of
        // UTF-16 or a compressed character at most two; a character of a
        // Windows code page at most three), plus libmdb's terminating zero.
        std::string out(size * 3 + 8, '\0');
        const int n = mdb_unicode2ascii(m_mdb, reinterpret_cast<const char *>(src), size, out.data(), out.size() - 1);
        out.resize(std::size_t(std::clamp(n, 0, int(out.size() - 1))));
        // Whatever came back, stop at the first zero as libmdb's callers do.
        out.resize(std::strlen(out.c_str()));
        return out;
    }

    // A Memo or OLE value: 12 bytes in the row saying where the data are
    // (in the row itself, on one other page, or on a chain of pages).
    bool longValue(const unsigned char *p, std::size_t size, std::string &out)
    {
        if (size < MDB_MEMO_OVERHEAD)
            return size == 0;
        const std::uint32_t header = le32(p);
        const std::uint32_t length = header & 0x3fffffff;
        if (length > MaxLongValue)
            return false;
        if (header & 0x80000000) {
            out.assign(reinterpret_cast<const char *>(p + MDB_MEMO_OVERHEAD), size - MDB_MEMO_OVERHEAD);
            return true;
        }
        std::uint32_t pageRow = le32(p + 4);
        const bool onePage = header & 0x40000000;
        // Each page can hold a piece at most once, so a chain longer than the
        // file has pages loops.
        for (std::size_t hops = 0; hops <= m_pages; ++hops) {
            if ((pageRow >> 8) == 0 || (pageRow >> 8) >= m_pages)
                return false;
            void *buffer = nullptr;
            int offset = 0;
            size_t len = 0;
            if (mdb_find_pg_row(m_mdb, int(pageRow), &buffer, &offset, &len) != 0 || !buffer || offset < 0
                || std::size_t(offset) + len > m_pageSize)
                return false;
            const unsigned char *piece = static_cast<const unsigned char *>(buffer) + offset;
            if (onePage) {
                out.assign(reinterpret_cast<const char *>(piece), std::min<std::size_t>(len, length));
                return true;
            }
            if (len < 4)
                return false;
            out.append(reinterpret_cast<const char *>(piece + 4), len - 4);
            pageRow = le32(piece);
            if (out.size() >= length || pageRow == 0) {
                if (out.size() > length)
                    out.resize(length);
                return true;
            }
        }
        return false;
    }

    static std::string money(const unsigned char *p)
    {
        std::uint64_t raw = 0;
        for (int i = 7; i >= 0; --i)
            raw = raw << 8 | p[i];
        const std::int64_t v = std::int64_t(raw);
        const bool negative = v < 0;
        // Two's complement of the smallest value is itself; unsigned keeps it right.
        const std::uint64_t magnitude = negative ? ~raw + 1 : raw;
        std::string digits = std::to_string(magnitude);
        return (negative ? "-" : "") + withPoint(digits, 4);
    }

    // Jet 4's Numeric: a sign byte, then a 128-bit magnitude in four
    // little-endian 32-bit words, the most significant word first.
    static std::string numeric(const unsigned char *p, int scale)
    {
        unsigned __int128 v = 0;
        for (int word = 0; word < 4; ++word)
            v = v << 32 | le32(p + 1 + word * 4);
        std::string digits;
        do {
            digits.insert(digits.begin(), char('0' + int(v % 10)));
            v /= 10;
        } while (v != 0);
        const bool negative = (p[0] & 0x80) != 0;
        std::string text = withPoint(digits, std::min(scale, 38));
        const bool zero = text.find_first_not_of("0.") == std::string::npos;
        return (negative && !zero ? "-" : "") + text;
    }

    static std::string withPoint(std::string digits, int places)
    {
        if (places <= 0)
            return digits;
        if (digits.size() <= std::size_t(places))
            digits.insert(0, std::size_t(places) + 1 - digits.size(), '0');
        digits.insert(digits.size() - std::size_t(places), 1, '.');
        return digits;
    }

    static double shortestDouble(float v)
    {
        char buffer[64];
        const auto printed = std::to_chars(buffer, buffer + sizeof buffer, v);
        double d = v;
        if (printed.ec == std::errc())
            std::from_chars(buffer, printed.ptr, d);
        return d;
    }

    // Access counts days from 30 December 1899; the fraction is the time of
    // day, also before that day (-1.25 is 29 December 1899, 6:00).
    static void dateTime(double days, Cell &out)
    {
        // Access's own range is the years 100 to 9999.
        if (!std::isfinite(days) || days < -657434.0 || days > 2958466.0) {
            out.tag = stream::ValueDouble;
            out.real = days;
            return;
        }
        std::int64_t day = std::int64_t(std::trunc(days));
        std::int64_t ms = std::llround(std::fabs(days - double(day)) * 86'400'000.0);
        if (ms >= 86'400'000) {
            ms -= 86'400'000;
            day += days < 0 ? -1 : 1;
        }
        constexpr std::int64_t JulianDayOf18991230 = 2415019;
        out.tag = stream::ValueDateTime;
        out.integer = JulianDayOf18991230 + day;
        out.ms = std::uint32_t(ms);
    }

    static std::string guid(const unsigned char *p)
    {
        char buffer[40];
        std::snprintf(buffer, sizeof buffer, "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", p[3], p[2],
                      p[1], p[0], p[5], p[4], p[7], p[6], p[8], p[9], p[10], p[11], p[12], p[13], p[14], p[15]);
        return buffer;
    }

    const unsigned char *m_data;
    std::size_t m_size;
    Writer &m_out;
    MdbHandle *m_mdb = nullptr;
    std::size_t m_pageSize = 0;
    std::size_t m_pages = 0;
    bool m_jet3 = false;
};

} // namespace

int readAll(const char *data, std::size_t size, int fd)
{
    // What the user's environment would change in libmdb: the character set
    // of the text it hands out, and its debugging switches.
    setenv("MDBICONV", "UTF-8", 1);
    unsetenv("MDBOPTS");
    Writer out(fd);
    try {
        Reader reader(data, size, out);
        reader.run();
    } catch (const Failed &f) {
        out.u8(stream::TagFailure);
        out.u8(f.failure);
        out.string(f.table);
        out.flush();
        return 1;
    } catch (const std::bad_alloc &) {
        out.u8(stream::TagFailure);
        out.u8(stream::FailedTooLarge);
        out.string(std::string());
        out.flush();
        return 1;
    }
    return out.flush() ? 0 : 2;
}

} // namespace accessdb::child
