#include "snapshot.h"

#include "engine.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <sys/mman.h>

namespace {

constexpr size_t HugePage = size_t(2) << 20;
constexpr size_t ChunkSize = HugePage;

// Column header: 0 NULL, 1 integer (zigzag varint follows), 2 real (8 bytes),
// 3 + 2n text of n bytes, 4 + 2n blob of n bytes.
inline size_t varintSize(uint64_t v)
{
    size_t n = 1;
    while (v >= 0x80) {
        v >>= 7;
        ++n;
    }
    return n;
}

inline uint8_t *putVarint(uint8_t *p, uint64_t v)
{
    while (v >= 0x80) {
        *p++ = uint8_t(v) | 0x80;
        v >>= 7;
    }
    *p++ = uint8_t(v);
    return p;
}

inline const uint8_t *getVarint(const uint8_t *p, uint64_t &v)
{
    uint64_t result = 0;
    int shift = 0;
    while (*p & 0x80) {
        result |= uint64_t(*p++ & 0x7f) << shift;
        shift += 7;
    }
    result |= uint64_t(*p++) << shift;
    v = result;
    return p;
}

inline uint64_t zigzag(qint64 v) { return (uint64_t(v) << 1) ^ uint64_t(v >> 63); }
inline qint64 unzigzag(uint64_t v) { return qint64(v >> 1) ^ -qint64(v & 1); }

inline const uint8_t *skipField(const uint8_t *p)
{
    uint64_t h;
    p = getVarint(p, h);
    if (h == 0)
        return p;
    if (h == 1) {
        uint64_t v;
        return getVarint(p, v);
    }
    if (h == 2)
        return p + 8;
    return p + ((h - 3) >> 1);
}

// Encoded size and writer shared by both append paths.
using FieldParts = FieldView;

inline size_t encodedSize(const FieldParts &f)
{
    switch (f.type) {
    case Value::Null: return 1;
    case Value::Integer: return 1 + varintSize(zigzag(f.integer));
    case Value::Real: return 9;
    case Value::Text: return varintSize(3 + 2 * uint64_t(f.size)) + f.size;
    case Value::Blob: return varintSize(4 + 2 * uint64_t(f.size)) + f.size;
    }
    return 1;
}

inline uint8_t *encode(uint8_t *p, const FieldParts &f)
{
    switch (f.type) {
    case Value::Null: *p++ = 0; break;
    case Value::Integer: *p++ = 1; p = putVarint(p, zigzag(f.integer)); break;
    case Value::Real: *p++ = 2; std::memcpy(p, &f.real, 8); p += 8; break;
    case Value::Text:
    case Value::Blob:
        p = putVarint(p, (f.type == Value::Text ? 3 : 4) + 2 * uint64_t(f.size));
        if (f.size)
            std::memcpy(p, f.data, f.size);
        p += f.size;
        break;
    }
    return p;
}

inline FieldParts partsOf(const Value &v)
{
    return {v.type, v.integer, v.real, v.bytes.constData(), size_t(v.bytes.size())};
}

} // namespace

void *allocateLarge(size_t bytes)
{
    if (bytes < HugePage) {
        void *p = std::malloc(bytes ? bytes : 1);
        if (!p)
            throw std::bad_alloc();
        return p;
    }
    const size_t rounded = (bytes + HugePage - 1) / HugePage * HugePage;
    // One huge page more than needed, then the unaligned ends cut off.
    void *mapped = ::mmap(nullptr, rounded + HugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED)
        throw std::bad_alloc();
    const uintptr_t start = reinterpret_cast<uintptr_t>(mapped);
    const uintptr_t aligned = (start + HugePage - 1) / HugePage * HugePage;
    if (aligned > start)
        ::munmap(mapped, aligned - start);
    if (const size_t tail = start + rounded + HugePage - (aligned + rounded))
        ::munmap(reinterpret_cast<void *>(aligned + rounded), tail);
    void *p = reinterpret_cast<void *>(aligned);
#ifdef MADV_HUGEPAGE
    madvise(p, rounded, MADV_HUGEPAGE);
#endif
    return p;
}

void freeLarge(void *p, size_t bytes) noexcept
{
    if (bytes < HugePage) {
        std::free(p);
        return;
    }
    if (p)
        ::munmap(p, (bytes + HugePage - 1) / HugePage * HugePage);
}

uint8_t *Snapshot::allocate(size_t size)
{
    m_recordBytes += size;
    if (size > ChunkSize / 4) {
        // A large memo gets a chunk of its own rather than wasting the rest.
        m_chunks.emplace_back(static_cast<uint8_t *>(allocateLarge(size)), FreeLarge{size});
        m_allocated += size;
        uint8_t *p = m_chunks.back().get();
        // Keep the open chunk as the last one to fill.
        if (m_chunks.size() >= 2 && m_chunkSize)
            std::swap(m_chunks[m_chunks.size() - 1], m_chunks[m_chunks.size() - 2]);
        return p;
    }
    if (m_chunkSize - m_chunkUsed < size) {
        m_chunks.emplace_back(static_cast<uint8_t *>(allocateLarge(ChunkSize)), FreeLarge{ChunkSize});
        m_allocated += ChunkSize;
        m_chunkSize = ChunkSize;
        m_chunkUsed = 0;
    }
    uint8_t *p = m_chunks.back().get() + m_chunkUsed;
    m_chunkUsed += size;
    return p;
}

uint32_t Snapshot::pushRecord(const uint8_t *record)
{
    m_rows.push_back(record);
    return uint32_t(m_rows.size() - 1);
}

const uint8_t *Snapshot::recordFromStatement(const Statement &st, const std::vector<int> &columns)
{
    FieldParts parts[64];
    std::vector<FieldParts> many;
    FieldParts *f = parts;
    if (m_columns > 64) {
        many.resize(size_t(m_columns));
        f = many.data();
    }
    // One call for the whole row: the engine's values live until its next step.
    st.readRow(columns.data(), m_columns, f);
    size_t size = 0;
    for (int i = 0; i < m_columns; ++i)
        size += encodedSize(f[i]);
    uint8_t *record = allocate(size);
    uint8_t *w = record;
    for (int i = 0; i < m_columns; ++i)
        w = encode(w, f[i]);
    return record;
}

uint32_t Snapshot::appendFromStatement(const Statement &st, const std::vector<int> &columns)
{
    return pushRecord(recordFromStatement(st, columns));
}

Snapshot Snapshot::withSameRows() const
{
    Snapshot fresh(m_columns);
    fresh.m_rows.assign(m_rows.size(), nullptr);
    return fresh;
}

void Snapshot::setFromStatement(uint32_t row, const Statement &st, const std::vector<int> &columns)
{
    m_rows[row] = recordFromStatement(st, columns);
}

uint32_t Snapshot::append(const std::vector<Value> &values)
{
    m_rows.push_back(nullptr);
    const uint32_t row = uint32_t(m_rows.size() - 1);
    replace(row, values);
    return row;
}

void Snapshot::replace(uint32_t row, const std::vector<Value> &values)
{
    size_t size = 0;
    for (int i = 0; i < m_columns; ++i)
        size += encodedSize(partsOf(values[size_t(i)]));
    uint8_t *record = allocate(size);
    uint8_t *w = record;
    for (int i = 0; i < m_columns; ++i)
        w = encode(w, partsOf(values[size_t(i)]));
    m_rows[row] = record;
}

void Snapshot::replaceFrom(uint32_t row, const Snapshot &other, uint32_t otherRow)
{
    std::vector<Value> values;
    values.reserve(size_t(m_columns));
    for (int i = 0; i < m_columns; ++i)
        values.push_back(other.value(otherRow, i));
    replace(row, values);
}

const uint8_t *Snapshot::field(uint32_t row, int column) const
{
    const uint8_t *p = m_rows[row];
    for (int i = 0; i < column; ++i)
        p = skipField(p);
    return p;
}

Value::Type Snapshot::type(uint32_t row, int column) const
{
    uint64_t h;
    getVarint(field(row, column), h);
    if (h <= 2)
        return Value::Type(h);
    return (h & 1) ? Value::Text : Value::Blob;
}

std::string_view Snapshot::bytes(uint32_t row, int column) const
{
    uint64_t h;
    const uint8_t *p = getVarint(field(row, column), h);
    if (h < 3)
        return {};
    return std::string_view(reinterpret_cast<const char *>(p), size_t((h - 3) >> 1));
}

qint64 Snapshot::integer(uint32_t row, int column) const
{
    uint64_t h;
    const uint8_t *p = getVarint(field(row, column), h);
    if (h == 1) {
        uint64_t v;
        getVarint(p, v);
        return unzigzag(v);
    }
    if (h == 2) {
        double d;
        std::memcpy(&d, p, 8);
        return qint64(d);
    }
    return 0;
}

FieldView Snapshot::view(uint32_t row, int column) const
{
    uint64_t h;
    const uint8_t *p = getVarint(field(row, column), h);
    FieldView f;
    switch (h) {
    case 0: break;
    case 1: {
        uint64_t v;
        getVarint(p, v);
        f.type = Value::Integer;
        f.integer = unzigzag(v);
        break;
    }
    case 2:
        f.type = Value::Real;
        std::memcpy(&f.real, p, 8);
        break;
    default:
        f.type = (h & 1) ? Value::Text : Value::Blob;
        f.data = p;
        f.size = size_t((h - 3) >> 1);
        break;
    }
    return f;
}

Value Snapshot::value(uint32_t row, int column) const
{
    uint64_t h;
    const uint8_t *p = getVarint(field(row, column), h);
    switch (h) {
    case 0: return Value();
    case 1: {
        uint64_t v;
        getVarint(p, v);
        return Value::fromInteger(unzigzag(v));
    }
    case 2: {
        double d;
        std::memcpy(&d, p, 8);
        return Value::fromReal(d);
    }
    default: {
        Value v;
        v.type = (h & 1) ? Value::Text : Value::Blob;
        v.bytes = QByteArray(reinterpret_cast<const char *>(p), qsizetype((h - 3) >> 1));
        return v;
    }
    }
}

size_t Snapshot::memoryBytes() const
{
    return m_allocated + m_rows.capacity() * sizeof(const uint8_t *) + m_chunks.capacity() * sizeof(void *);
}

size_t Snapshot::heldBytes() const
{
    return m_recordBytes + m_rows.capacity() * sizeof(const uint8_t *);
}
