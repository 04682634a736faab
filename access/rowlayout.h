#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

// How Jet lays out one row, read from the row's own bytes before libmdb
// cracks it, so that every value libmdb hands out can be checked to lie
// inside the row. Runs in the forked child: no Qt.
//
// A row keeps the number of columns it was written with. Access adds and
// deletes columns without rewriting the rows already stored, so an old row
// can hold fewer columns than the table has now (the ones added since are
// absent, which reads as empty) or more (the deleted ones are still in it).
namespace accessdb::row {

class Layout
{
public:
    // The layout of the row of `length` bytes at `row`, or nullopt when its
    // counts do not fit into it. `jet3`: one-byte counts and offsets.
    // `variableColumns`: whether the table has columns of variable length,
    // without which the row has no table of their offsets.
    static std::optional<Layout> of(const unsigned char *row, std::size_t length, bool jet3, bool variableColumns);

    // Columns stored in the row, deleted ones included.
    unsigned columns() const { return m_columns; }
    // Whether the row holds the column at `rowColumn` (its number counting
    // the deleted ones); a column added after the row was written is absent.
    bool holds(unsigned rowColumn) const { return rowColumn < m_columns; }
    // Whether the null mask marks the column as holding a value; for a
    // Yes/No column this is the value. False for an absent column.
    bool hasValue(unsigned rowColumn) const;
    // Whether `size` bytes at `offset` from the row's start lie between the
    // column count and the offsets and null mask at the row's end.
    bool inData(std::size_t offset, std::size_t size) const;

private:
    const unsigned char *m_row = nullptr;
    std::size_t m_length = 0;
    unsigned m_columns = 0;
    std::size_t m_dataBegin = 0;
    std::size_t m_dataEnd = 0;
    std::size_t m_maskBytes = 0;
};

// The stored value of a calculated column (Access 2010 and later): a header
// of 16 bytes, the length of the value in four, then the value, as it is
// kept for the column's result type. Offset and size of the value within
// the `size` bytes at `p`, or nullopt when the length does not fit.
struct Span
{
    std::size_t offset = 0;
    std::size_t size = 0;
};
std::optional<Span> calculatedValue(const unsigned char *p, std::size_t size);

} // namespace accessdb::row
