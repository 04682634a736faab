#pragma once

#include "value.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

class Statement;

// Large blocks come from 2 MiB-aligned memory marked for transparent huge
// pages: opening a million rows otherwise spends much of its time faulting in
// fresh 4 KiB pages one by one. They are mapped for themselves and unmapped
// when freed, so the memory goes back to the system at once instead of
// staying with the allocator, where refreshing a large set grew the process.
void *allocateLarge(size_t bytes);
// `bytes` as given to allocateLarge().
void freeLarge(void *p, size_t bytes) noexcept;

template <class T>
struct LargeAllocator
{
    using value_type = T;
    LargeAllocator() = default;
    template <class U>
    LargeAllocator(const LargeAllocator<U> &) noexcept {}
    T *allocate(size_t n) { return static_cast<T *>(allocateLarge(n * sizeof(T))); }
    void deallocate(T *p, size_t n) noexcept { freeLarge(p, n * sizeof(T)); }
    template <class U>
    bool operator==(const LargeAllocator<U> &) const noexcept { return true; }
};


// The rows of a record set, packed: each row is one byte record in large
// chunks (a varint header per column, then its bytes), reached by one
// pointer. Changed rows get a fresh record; the old bytes stay until the set
// is refreshed (which reads into a fresh snapshot, withSameRows()) or closed.
class Snapshot
{
public:
    explicit Snapshot(int columnCount = 0) : m_columns(columnCount) {}
    Snapshot(Snapshot &&) = default;
    Snapshot &operator=(Snapshot &&) = default;

    int columnCount() const { return m_columns; }
    uint32_t rowCount() const { return uint32_t(m_rows.size()); }
    void reserve(size_t rows) { m_rows.reserve(rows); }
    bool isLive(uint32_t row) const { return m_rows[row] != nullptr; }

    // Appends the current row of a stepped statement; columns[i] is the
    // statement column of snapshot column i.
    uint32_t appendFromStatement(const Statement &st, const std::vector<int> &columns);
    uint32_t append(const std::vector<Value> &values);
    void replace(uint32_t row, const std::vector<Value> &values);
    void replaceFrom(uint32_t row, const Snapshot &other, uint32_t otherRow);
    void remove(uint32_t row) { m_rows[row] = nullptr; }

    // An empty snapshot of the same columns with room for the same row
    // numbers, none of them live yet: a re-read fills it with
    // setFromStatement() and takes the old one's place, so the old records
    // go with the old chunks.
    Snapshot withSameRows() const;
    // Makes `row` (below rowCount()) the current row of a stepped statement.
    void setFromStatement(uint32_t row, const Statement &st, const std::vector<int> &columns);

    Value value(uint32_t row, int column) const;
    Value::Type type(uint32_t row, int column) const;
    // Raw bytes of a Text or Blob value; empty for others.
    std::string_view bytes(uint32_t row, int column) const;
    qint64 integer(uint32_t row, int column) const;
    // One field without a copy, in one pass over the record: what ordering
    // many rows needs. Text and blob bytes live as long as the record.
    FieldView view(uint32_t row, int column) const;

    // Bytes held by this snapshot: record chunks and the row table.
    size_t memoryBytes() const;
    // Bytes of the records written so far, replaced ones included, and of the
    // row table: unlike memoryBytes() not rounded up to whole chunks, so a
    // record that is never let go shows at once.
    size_t heldBytes() const;

private:
    uint8_t *allocate(size_t size);
    uint32_t pushRecord(const uint8_t *record);
    const uint8_t *recordFromStatement(const Statement &st, const std::vector<int> &columns);
    const uint8_t *field(uint32_t row, int column) const;

    int m_columns = 0;
    struct FreeLarge
    {
        size_t bytes = 0;
        void operator()(uint8_t *p) const noexcept { freeLarge(p, bytes); }
    };
    std::vector<const uint8_t *, LargeAllocator<const uint8_t *>> m_rows;
    std::vector<std::unique_ptr<uint8_t, FreeLarge>> m_chunks;
    size_t m_chunkSize = 0;
    size_t m_chunkUsed = 0;
    size_t m_allocated = 0;
    size_t m_recordBytes = 0;
};
