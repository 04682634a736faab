#include "access/rowlayout.h"

namespace accessdb::row {

namespace {

std::uint32_t le16(const unsigned char *p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8;
}

std::uint32_t le32(const unsigned char *p)
{
    return le16(p) | le16(p + 2) << 16;
}

// The header before the length of a calculated value.
constexpr std::size_t CalculatedHeader = 16;

} // namespace

std::optional<Layout> Layout::of(const unsigned char *row, std::size_t length, bool jet3, bool variableColumns)
{
    // Jet 3 counts in bytes, Jet 4 and ACE in 16-bit words; the count of
    // columns comes first, the null mask (a bit per column) last, and before
    // it the number of variable columns and their offsets, the end of the
    // data being the last of them.
    const std::size_t count = jet3 ? 1 : 2;
    if (!row || length < count)
        return std::nullopt;
    Layout l;
    l.m_row = row;
    l.m_length = length;
    l.m_columns = jet3 ? row[0] : le16(row);
    l.m_maskBytes = (std::size_t(l.m_columns) + 7) / 8;
    std::size_t trailer = l.m_maskBytes;
    if (trailer > length - count)
        return std::nullopt;
    if (variableColumns) {
        if (trailer + count > length - count)
            return std::nullopt;
        const unsigned char *varCount = row + length - trailer - count;
        const std::size_t variable = jet3 ? varCount[0] : le16(varCount);
        // Jet 3 has a few more bytes of jumps in long rows; counting them
        // out would only make the check looser than the row is.
        trailer += count + (variable + 1) * count;
        if (trailer > length - count)
            return std::nullopt;
    }
    l.m_dataBegin = count;
    l.m_dataEnd = length - trailer;
    return l;
}

bool Layout::hasValue(unsigned rowColumn) const
{
    if (!holds(rowColumn))
        return false;
    const unsigned char *mask = m_row + m_length - m_maskBytes;
    return (mask[rowColumn / 8] >> (rowColumn % 8)) & 1;
}

bool Layout::inData(std::size_t offset, std::size_t size) const
{
    return offset >= m_dataBegin && offset <= m_dataEnd && size <= m_dataEnd - offset;
}

std::optional<Span> calculatedValue(const unsigned char *p, std::size_t size)
{
    if (!p || size < CalculatedHeader + 4)
        return std::nullopt;
    const std::uint32_t length = le32(p + CalculatedHeader);
    const std::size_t offset = CalculatedHeader + 4;
    if (length > size - offset)
        return std::nullopt;
    return Span{offset, length};
}

} // namespace accessdb::row
