#include "table.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cassert>
#include <charconv>
#include <cstring>
#include <limits>
#include <map>
#include <optional>
#include <utility>

#include "code_page.h"
#include "row_index.h"

namespace velmora::store {

// ---------------------------------------------------------------------------------------------
// Records
//
// A record is one run of bytes:
//   null mask, one bit a field rounded up to whole bytes (bit i set: field i is null)
//   per field, in field order: int32 (integer, auto-increment), int64 milliseconds (date-time),
//   uint32 byte length (text, memo)
//   the bytes of the text and memo fields, in field order
// Records read from a file sit back to back in the table's arena; a record that is added or
// edited later is a heap block of its own. An edit writes a new block and moves the old record
// into the change log, so rolling back a change is a pointer swap.

namespace {

// A record's bytes: its own heap block, or a place in the table's arena that the arena frees
// with the table. Arena places are even, so the lowest bit of the pointer tells the two apart.
class TRowPtr {
public:
    TRowPtr() = default;
    TRowPtr(std::nullptr_t) {}  // NOLINT(google-explicit-constructor): reads as "no record"
    static TRowPtr Owned(std::size_t size) { return TRowPtr(new char[size], false); }
    static TRowPtr InArena(char* row) { return TRowPtr(row, true); }
    TRowPtr(TRowPtr&& other) noexcept : m_bits(std::exchange(other.m_bits, 0)) {}
    TRowPtr& operator=(TRowPtr&& other) noexcept {
        if (this != &other) {
            Free();
            m_bits = std::exchange(other.m_bits, 0);
        }
        return *this;
    }
    TRowPtr(const TRowPtr&) = delete;
    TRowPtr& operator=(const TRowPtr&) = delete;
    ~TRowPtr() { Free(); }

    char* get() const { return reinterpret_cast<char*>(m_bits & ~std::uintptr_t{1}); }
    explicit operator bool() const { return m_bits != 0; }
    bool InArena() const { return (m_bits & 1U) != 0; }
    void reset() {
        Free();
        m_bits = 0;
    }

private:
    TRowPtr(char* row, bool inArena)
        : m_bits(reinterpret_cast<std::uintptr_t>(row) | (inArena ? 1U : 0U)) {
        assert((reinterpret_cast<std::uintptr_t>(row) & 1U) == 0);
    }
    void Free() {
        if (m_bits != 0 && !InArena()) {
            delete[] get();
        }
    }

    std::uintptr_t m_bits = 0;
};

// Chunks that loaded records are packed into: one allocation per megabyte (once the table is
// that large) instead of one per record. A record deleted or replaced later keeps its place until
// the table is closed, so the arena never holds more than what was loaded.
class TRowArena {
public:
    char* Allocate(std::size_t size) {
        size = (size + 1) & ~std::size_t{1};
        if (size > m_left) {
            // Chunks double from 4 KB to 1 MB, so that a small table stays small. A record too
            // large for a quarter of a chunk gets a chunk of its own, so the remainder of the
            // current chunk is not wasted.
            const std::size_t next = std::clamp(m_bytes, kFirstChunkSize, kChunkSize);
            const std::size_t chunk = size > next / 4 ? size : next;
            m_chunks.push_back(std::unique_ptr<char[]>(new char[chunk]));
            m_bytes += chunk;
            if (chunk != size) {
                m_next = m_chunks.back().get();
                m_left = chunk;
            } else {
                return m_chunks.back().get();
            }
        }
        char* row = m_next;
        m_next += size;
        m_left -= size;
        return row;
    }
    std::size_t Bytes() const { return m_bytes; }

private:
    static constexpr std::size_t kFirstChunkSize = std::size_t{4} << 10;
    static constexpr std::size_t kChunkSize = std::size_t{1} << 20;
    std::vector<std::unique_ptr<char[]>> m_chunks;
    char* m_next = nullptr;
    std::size_t m_left = 0;
    std::size_t m_bytes = 0;
};

constexpr std::int64_t kNullKey = std::numeric_limits<std::int64_t>::min();
// Columns of one index entry besides the slot: constrained fields, then order fields.
constexpr int kMaxKeyColumns = 15;
// Candidates that lookups of a table may compare one by one, all together, rather than make an
// index of their own: at least this many, or an eighth of the table.
constexpr std::size_t kMinProbeBudget = 256;
constexpr std::size_t kMaxFields = 64;

// Content stamps come from one counter for all tables, so no two contents ever share one.
std::uint64_t NextContentStamp() {
    static std::atomic<std::uint64_t> counter{0};
    return ++counter;
}

bool IsTextKind(TFieldKind kind) {
    return kind == TFieldKind::Text || kind == TFieldKind::Memo;
}

bool IsIntegerKind(TFieldKind kind) {
    return kind == TFieldKind::Integer || kind == TFieldKind::AutoInc;
}

std::string FieldNotFound(std::string_view name) {
    return "項目 '" + std::string(name) + "' が見つかりません";
}

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i];
        char y = b[i];
        if (x >= 'a' && x <= 'z') {
            x = static_cast<char>(x - 'a' + 'A');
        }
        if (y >= 'a' && y <= 'z') {
            y = static_cast<char>(y - 'a' + 'A');
        }
        if (x != y) {
            return false;
        }
    }
    return true;
}

// Hash of a field name as compared, from its length and three of its letters (either case alike):
// enough to tell a table's few field names apart, and cheaper than reading the whole name.
std::size_t FieldNameHash(std::string_view name) {
    const auto upper = [](char c) {
        return static_cast<std::size_t>(
            static_cast<unsigned char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c));
    };
    if (name.empty()) {
        return 0;
    }
    return name.size() * 131 + upper(name.front()) * 31 + upper(name[name.size() / 2]) * 7 +
           upper(name.back());
}

// Field numbers by name, for the lookups by name that every read of a field makes: an open
// hash table, so a lookup costs one hash and one comparison however many fields there are.
class TFieldNames {
public:
    explicit TFieldNames(const std::vector<TFieldDef>& defs) {
        std::size_t size = 8;
        while (size < defs.size() * 2) {
            size *= 2;
        }
        m_slots.assign(size, -1);
        for (std::size_t i = 0; i < defs.size(); ++i) {
            if (Find(defs, defs[i].Name) >= 0) {
                continue;  // a repeated name: the first one answers, as a scan would
            }
            std::size_t at = FieldNameHash(defs[i].Name) & (size - 1);
            while (m_slots[at] >= 0) {
                at = (at + 1) & (size - 1);
            }
            m_slots[at] = static_cast<int>(i);
        }
    }

    // REQUIRES: defs are the ones the table was made from.
    int Find(const std::vector<TFieldDef>& defs, std::string_view name) const {
        const std::size_t mask = m_slots.size() - 1;
        for (std::size_t at = FieldNameHash(name) & mask; m_slots[at] >= 0; at = (at + 1) & mask) {
            if (EqualsIgnoringAsciiCase(defs[static_cast<std::size_t>(m_slots[at])].Name, name)) {
                return m_slots[at];
            }
        }
        return -1;
    }

private:
    std::vector<int> m_slots;  // field number, or -1 for an empty slot
};

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) {
        s.remove_suffix(1);
    }
    return s;
}

std::int64_t TextKey(std::string_view text) {
    const auto h = static_cast<std::int64_t>(std::hash<std::string_view>{}(text));
    return h == kNullKey ? h + 1 : h;
}

}  // namespace

const char* FieldKindName(TFieldKind kind) {
    switch (kind) {
        case TFieldKind::AutoInc:
            return "AutoInc";
        case TFieldKind::Integer:
            return "Integer";
        case TFieldKind::Text:
            return "String";
        case TFieldKind::Memo:
            return "Memo";
        case TFieldKind::DateTime:
            return "DateTime";
    }
    return "?";
}

struct TRowLayout {
    std::vector<std::uint32_t> offset;  // of each field's fixed part
    std::uint32_t maskBytes = 0;        // the null mask comes first
    std::uint32_t fixedSize = 0;
    std::vector<int> textFields;  // text and memo fields, in field order

    explicit TRowLayout(const std::vector<TFieldDef>& defs) {
        maskBytes = static_cast<std::uint32_t>((defs.size() + 7) / 8);
        fixedSize = maskBytes;
        offset.resize(defs.size());
        for (std::size_t i = 0; i < defs.size(); ++i) {
            offset[i] = fixedSize;
            switch (defs[i].Kind) {
                case TFieldKind::AutoInc:
                case TFieldKind::Integer:
                    fixedSize += 4;
                    break;
                case TFieldKind::DateTime:
                    fixedSize += 8;
                    break;
                case TFieldKind::Text:
                case TFieldKind::Memo:
                    fixedSize += 4;
                    textFields.push_back(static_cast<int>(i));
                    break;
            }
        }
    }
};

namespace {

template <typename T>
T Load(const char* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <typename T>
void Store(char* p, T v) {
    std::memcpy(p, &v, sizeof v);
}

bool RowIsNull(const char* row, int field) {
    return (static_cast<unsigned char>(row[field >> 3]) >> (field & 7)) & 1U;
}

std::string_view RowText(const TRowLayout& layout, const char* row, int field) {
    std::uint32_t start = layout.fixedSize;
    for (int t : layout.textFields) {
        const auto length = Load<std::uint32_t>(row + layout.offset[t]);
        if (t == field) {
            return {row + start, length};
        }
        start += length;
    }
    assert(false);
    return {};
}

// A scan of all records reads rows that edits and appends left all over the heap; asking for a
// row some way ahead hides most of the wait for memory.
void PrefetchAhead(const std::vector<TRowPtr>& rows, std::size_t slot) {
    constexpr std::size_t kAhead = 8;
    if (slot + kAhead < rows.size()) {
        __builtin_prefetch(rows[slot + kAhead].get());
    }
}

std::size_t RowSize(const TRowLayout& layout, const char* row) {
    std::size_t size = layout.fixedSize;
    for (int t : layout.textFields) {
        size += Load<std::uint32_t>(row + layout.offset[t]);
    }
    return size;
}

TValue DecodeValue(const std::vector<TFieldDef>& defs, const TRowLayout& layout, const char* row,
                   int field) {
    if (RowIsNull(row, field)) {
        return std::monostate{};
    }
    const char* p = row + layout.offset[field];
    switch (defs[field].Kind) {
        case TFieldKind::AutoInc:
        case TFieldKind::Integer:
            return Load<std::int32_t>(p);
        case TFieldKind::DateTime:
            return TDateTime::FromMilliseconds(Load<std::int64_t>(p));
        case TFieldKind::Text:
        case TFieldKind::Memo:
            return std::string(RowText(layout, row, field));
    }
    return std::monostate{};
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Shared table data

namespace {

struct TChange {
    enum class TKind : std::uint8_t { Insert, Modify, Delete };
    TKind kind;
    std::uint32_t slot;
    std::int32_t counterBefore;  // auto-increment counter before an insertion
    TRowPtr row;                 // the record as it was before a change or deletion
};

// Sorts packed entries of `width` columns. Entries of the common widths are sorted as fixed-size
// arrays, which is several times faster than sorting a permutation; entries often arrive sorted
// already (keys that grow with the record number), which a linear check detects.
template <std::size_t W>
void SortFixed(std::vector<std::int64_t>& flat) {
    using TEntry = std::array<std::int64_t, W>;
    std::vector<TEntry> entries(flat.size() / W);
    std::memcpy(entries.data(), flat.data(), flat.size() * sizeof(std::int64_t));
    std::sort(entries.begin(), entries.end());
    std::memcpy(flat.data(), entries.data(), flat.size() * sizeof(std::int64_t));
}

// One stable counting pass of a radix sort: entries of W columns (W = 0: `width` columns, known
// only at run time) scattered from `from` to `to` by the digit of column `column` at `shift`.
template <std::size_t W>
void RadixPass(const std::vector<std::int64_t>& from, std::vector<std::int64_t>& to,
               std::size_t width, std::size_t column, std::int64_t minimum, int shift,
               std::vector<std::size_t>& start) {
    const std::size_t w = W == 0 ? width : W;
    const std::size_t count = from.size() / w;
    const std::size_t mask = start.size() - 1;
    const auto digit = [&](const std::int64_t* entry) {
        const std::uint64_t v =
            static_cast<std::uint64_t>(entry[column]) - static_cast<std::uint64_t>(minimum);
        return static_cast<std::size_t>((v >> shift) & mask);
    };
    std::fill(start.begin(), start.end(), 0);
    for (std::size_t i = 0; i < count; ++i) {
        ++start[digit(&from[i * w])];
    }
    std::size_t sum = 0;
    for (std::size_t& b : start) {
        sum += std::exchange(b, sum);
    }
    for (std::size_t i = 0; i < count; ++i) {
        const std::int64_t* entry = &from[i * w];
        std::int64_t* target = &to[start[digit(entry)]++ * w];
        for (std::size_t k = 0; k < w; ++k) {
            target[k] = entry[k];
        }
    }
}

// Sorts packed entries whose last column (the slot) already rises, by their other columns, with
// a stable least-significant-digit radix sort: one pass per 11 bits of each column's range of
// values. Record numbers, parents and orders span a few million at most, so a column takes two
// or three passes, much less than comparison sorting a million entries; trailing columns that
// are in order already take none. False, and nothing changed, when the columns span too many
// bits (text hashes); the caller sorts those by comparing.
bool RadixSortEntries(std::vector<std::int64_t>& flat, std::size_t width) {
    constexpr int kDigitBits = 11;
    constexpr int kMaxPasses = 8;
    const std::size_t count = flat.size() / width;
    // Columns from `sortFrom` on, with the slot, are in order already.
    std::size_t sortFrom = width - 1;
    while (sortFrom > 0) {
        const std::size_t c = sortFrom - 1;
        bool inOrder = true;
        for (std::size_t i = 1; i < count && inOrder; ++i) {
            const std::int64_t* prev = &flat[(i - 1) * width];
            const std::int64_t* next = &flat[i * width];
            inOrder = !std::lexicographical_compare(next + c, next + width, prev + c, prev + width);
        }
        if (!inOrder) {
            break;
        }
        --sortFrom;
    }
    std::vector<std::int64_t> minimum(width);
    std::vector<int> bits(width);
    int passes = 0;
    for (std::size_t c = 0; c < sortFrom; ++c) {
        std::int64_t lo = flat[c];
        std::int64_t hi = flat[c];
        for (std::size_t i = 1; i < count; ++i) {
            lo = std::min(lo, flat[i * width + c]);
            hi = std::max(hi, flat[i * width + c]);
        }
        minimum[c] = lo;
        bits[c] = std::bit_width(static_cast<std::uint64_t>(hi) - static_cast<std::uint64_t>(lo));
        passes += (bits[c] + kDigitBits - 1) / kDigitBits;
    }
    if (passes > kMaxPasses) {
        return false;
    }
    std::vector<std::int64_t> other(flat.size());
    std::vector<std::size_t> start(std::size_t{1} << kDigitBits);
    for (std::size_t c = sortFrom; c-- > 0;) {
        for (int shift = 0; shift < bits[c]; shift += kDigitBits) {
            switch (width) {
                case 2:
                    RadixPass<2>(flat, other, width, c, minimum[c], shift, start);
                    break;
                case 3:
                    RadixPass<3>(flat, other, width, c, minimum[c], shift, start);
                    break;
                case 4:
                    RadixPass<4>(flat, other, width, c, minimum[c], shift, start);
                    break;
                default:
                    RadixPass<0>(flat, other, width, c, minimum[c], shift, start);
                    break;
            }
            flat.swap(other);
        }
    }
    return true;
}

void SortEntries(std::vector<std::int64_t>& flat, std::size_t width) {
    const std::size_t count = flat.size() / width;
    const auto entry = [&](std::size_t i) {
        return flat.begin() + static_cast<std::ptrdiff_t>(i * width);
    };
    bool sorted = true;
    for (std::size_t i = 1; i < count && sorted; ++i) {
        sorted = !std::lexicographical_compare(entry(i), entry(i + 1), entry(i - 1), entry(i));
    }
    if (sorted) {
        return;
    }
    bool slotsRise = true;
    for (std::size_t i = 1; i < count && slotsRise; ++i) {
        slotsRise = flat[i * width - 1] < flat[(i + 1) * width - 1];
    }
    if (slotsRise && width > 1 && RadixSortEntries(flat, width)) {
        return;
    }
    switch (width) {
        case 2:
            return SortFixed<2>(flat);
        case 3:
            return SortFixed<3>(flat);
        case 4:
            return SortFixed<4>(flat);
        case 5:
            return SortFixed<5>(flat);
        case 6:
            return SortFixed<6>(flat);
        default:
            break;
    }
    std::vector<std::uint32_t> order(count);
    for (std::size_t i = 0; i < count; ++i) {
        order[i] = static_cast<std::uint32_t>(i);
    }
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        return std::lexicographical_compare(entry(a), entry(a + 1), entry(b), entry(b + 1));
    });
    std::vector<std::int64_t> out(flat.size());
    for (std::size_t i = 0; i < count; ++i) {
        std::copy_n(entry(order[i]), width, out.begin() + static_cast<std::ptrdiff_t>(i * width));
    }
    flat = std::move(out);
}

struct TIndexEntry {
    std::vector<int> fields;
    TRowIndex index;
    TIndexEntry(std::vector<int> f, bool narrow)
        : fields(std::move(f)), index(static_cast<int>(fields.size()) + 1, narrow) {}
};

}  // namespace

struct TTableData {
    explicit TTableData(std::vector<TFieldDef> d)
        : defs(std::move(d)), layout(defs), fieldNames(defs) {
        if (defs.size() > kMaxFields) {
            throw ETableError("テーブルの項目が多すぎます (最大 64)");
        }
        for (std::size_t i = 0; i < defs.size(); ++i) {
            if (defs[i].Kind == TFieldKind::AutoInc) {
                if (autoIncField >= 0) {
                    throw ETableError("自動採番の項目は1つまでです");
                }
                autoIncField = static_cast<int>(i);
            }
        }
    }

    std::vector<TFieldDef> defs;
    TRowLayout layout;
    TFieldNames fieldNames;
    int autoIncField = -1;
    TRowArena arena;               // the records as they were loaded
    std::size_t probeScanned = 0;  // candidates read by lookups without an index of their own
    // The values of the record being encoded; kept so that encoding allocates nothing.
    mutable std::vector<TLoadedValue> encodeScratch;
    std::vector<TRowPtr> rows;  // by slot, in order of addition; null once deleted
    std::size_t live = 0;
    std::int32_t autoInc = 1;
    std::optional<std::int32_t> autoIncRaisedFrom;
    std::vector<TChange> log;
    std::map<std::vector<int>, std::unique_ptr<TIndexEntry>> indexes;
    bool open = true;
    std::uint64_t contentStamp = NextContentStamp();

    std::int64_t Key(const char* row, int field) const {
        if (RowIsNull(row, field)) {
            return kNullKey;
        }
        const char* p = row + layout.offset[field];
        switch (defs[field].Kind) {
            case TFieldKind::AutoInc:
            case TFieldKind::Integer:
                return Load<std::int32_t>(p);
            case TFieldKind::DateTime:
                return Load<std::int64_t>(p);
            case TFieldKind::Text:
            case TFieldKind::Memo:
                return TextKey(RowText(layout, row, field));
        }
        return kNullKey;
    }

    void MakeEntry(const std::vector<int>& fields, const char* row, std::uint32_t slot,
                   std::int64_t* out) const {
        for (std::size_t i = 0; i < fields.size(); ++i) {
            out[i] = Key(row, fields[i]);
        }
        out[fields.size()] = slot;
    }

    const std::vector<int>& IndexFields(const TRowIndex& index) const {
        for (const auto& [key, entry] : indexes) {
            if (&entry->index == &index) {
                return key;
            }
        }
        throw ETableError("索引が見つかりません");
    }

    TRowIndex* FindIndex(const std::vector<int>& fields) {
        auto it = indexes.find(fields);
        return it == indexes.end() ? nullptr : &it->second->index;
    }

    // An index that can narrow a lookup on the first `count` fields of `fields`: one whose
    // leading fields are all among them (most of them first, then the narrowest), or none.
    const TRowIndex* FindProbe(const std::vector<int>& fields, std::size_t count) const {
        const TRowIndex* best = nullptr;
        std::size_t bestLeading = 0;
        for (const auto& [key, entry] : indexes) {
            std::size_t leading = 0;
            while (leading < key.size() &&
                   std::find(fields.begin(), fields.begin() + static_cast<std::ptrdiff_t>(count),
                             key[leading]) != fields.begin() + static_cast<std::ptrdiff_t>(count)) {
                ++leading;
            }
            if (leading == 0) {
                continue;
            }
            if (!best || leading > bestLeading ||
                (leading == bestLeading && entry->index.Width() < best->Width())) {
                best = &entry->index;
                bestLeading = leading;
            }
        }
        return best;
    }

    TRowIndex& Index(const std::vector<int>& fields) {
        auto it = indexes.find(fields);
        if (it != indexes.end()) {
            return it->second->index;
        }
        // Integer keys and slots fit 32 bits; text hashes and moments do not.
        const bool narrow = std::all_of(fields.begin(), fields.end(),
                                        [&](int f) { return IsIntegerKind(defs[f].Kind); });
        auto entry = std::make_unique<TIndexEntry>(fields, narrow);
        const std::size_t width = fields.size() + 1;
        std::vector<std::int64_t> flat(live * width);
        std::size_t n = 0;
        for (std::size_t slot = 0; slot < rows.size(); ++slot) {
            if (rows[slot]) {
                MakeEntry(fields, rows[slot].get(), static_cast<std::uint32_t>(slot),
                          flat.data() + n * width);
                ++n;
            }
        }
        SortEntries(flat, width);
        entry->index.BulkLoad(flat);
        TRowIndex& result = entry->index;
        indexes.emplace(fields, std::move(entry));
        return result;
    }

    // Keeps every index in step with one record changing from `before` to `after` (either may
    // be null for an insertion or a deletion).
    void Reindex(std::uint32_t slot, const char* before, const char* after) {
        // Every record change passes through here.
        contentStamp = NextContentStamp();
        std::array<std::int64_t, kMaxKeyColumns + 1> a{};
        std::array<std::int64_t, kMaxKeyColumns + 1> b{};
        for (auto& [fields, entry] : indexes) {
            const std::size_t width = fields.size() + 1;
            if (before) {
                MakeEntry(fields, before, slot, a.data());
            }
            if (after) {
                MakeEntry(fields, after, slot, b.data());
            }
            if (before && after && std::equal(a.begin(), a.begin() + width, b.begin())) {
                continue;
            }
            if (before) {
                entry->index.Erase(a.data());
            }
            if (after) {
                entry->index.Insert(b.data());
            }
        }
    }

    using TEditValue = detail::TEditValue;

    // Stores a value given for a field the way the field keeps it: the text(n) cut, the memo
    // null rule, conversions between integers and their decimal text.
    void Assign(int field, const TValue& value, TEditValue& out) const {
        const TFieldDef& def = defs[field];
        if (std::holds_alternative<std::monostate>(value)) {
            out.Null = true;
            out.Text.clear();
            return;
        }
        switch (def.Kind) {
            case TFieldKind::AutoInc:
            case TFieldKind::Integer:
                if (const auto* n = std::get_if<std::int32_t>(&value)) {
                    out.Null = false;
                    out.Integer = *n;
                    return;
                }
                if (const auto* s = std::get_if<std::string>(&value)) {
                    std::int32_t n = 0;
                    const auto t = Trim(*s);
                    const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), n);
                    if (ec == std::errc() && end == t.data() + t.size() && !t.empty()) {
                        out.Null = false;
                        out.Integer = n;
                        return;
                    }
                    throw ETableError("'" + *s + "' は項目 '" + def.Name +
                                      "' の整数値として正しくありません");
                }
                break;
            case TFieldKind::Text:
            case TFieldKind::Memo: {
                if (const auto* s = std::get_if<std::string>(&value)) {
                    out.Text.assign(*s);
                } else if (const auto* n = std::get_if<std::int32_t>(&value)) {
                    out.Text = std::to_string(*n);
                } else {
                    break;
                }
                out.Null = false;
                if (def.Kind == TFieldKind::Memo) {
                    out.Null = out.Text.empty();
                    return;
                }
                // Whole characters only: a cut never leaves a lone lead byte behind. Cut in
                // place, so that the edit buffer keeps its storage.
                out.Text.resize(StoredLength(out.Text, def.Size >= 0
                                                           ? static_cast<std::size_t>(def.Size)
                                                           : std::string::npos));
                return;
            }
            case TFieldKind::DateTime:
                if (const auto* t = std::get_if<TDateTime>(&value)) {
                    out.Null = false;
                    out.Milliseconds = t->Milliseconds();
                    return;
                }
                break;
        }
        throw ETableError("項目 '" + def.Name + "' (" + FieldKindName(def.Kind) +
                          ") にこの型の値は設定できません");
    }

    TValue ToValue(int field, const TEditValue& v) const {
        if (v.Null) {
            return std::monostate{};
        }
        switch (defs[field].Kind) {
            case TFieldKind::AutoInc:
            case TFieldKind::Integer:
                return v.Integer;
            case TFieldKind::DateTime:
                return TDateTime::FromMilliseconds(v.Milliseconds);
            case TFieldKind::Text:
            case TFieldKind::Memo:
                return v.Text;
        }
        return std::monostate{};
    }

    void LoadRow(const char* row, std::vector<TEditValue>& out) const {
        out.resize(defs.size());
        for (std::size_t i = 0; i < defs.size(); ++i) {
            TEditValue& v = out[i];
            v.Null = RowIsNull(row, static_cast<int>(i));
            const char* p = row + layout.offset[i];
            switch (defs[i].Kind) {
                case TFieldKind::AutoInc:
                case TFieldKind::Integer:
                    v.Integer = Load<std::int32_t>(p);
                    break;
                case TFieldKind::DateTime:
                    v.Milliseconds = Load<std::int64_t>(p);
                    break;
                case TFieldKind::Text:
                case TFieldKind::Memo:
                    v.Text.assign(RowText(layout, row, static_cast<int>(i)));
                    break;
            }
        }
    }

    // A record's bytes from one value per field, each already as the field keeps it: values
    // read from a packet (TLoadedValue) or an edit's (TEditValue), encoded without a copy.
    static std::int64_t NumberOf(const TLoadedValue& v, TFieldKind) { return v.Number; }
    static std::int64_t NumberOf(const TEditValue& v, TFieldKind kind) {
        return kind == TFieldKind::DateTime ? v.Milliseconds : std::int64_t{v.Integer};
    }

    template <typename V>
    std::size_t EncodedSize(std::span<const V> values) const {
        std::size_t size = layout.fixedSize;
        for (int t : layout.textFields) {
            if (!values[t].Null) {
                size += values[t].Text.size();
            }
        }
        return size;
    }

    template <typename V>
    void EncodeInto(std::span<const V> values, char* row) const {
        std::uint64_t nulls = 0;
        std::size_t textAt = layout.fixedSize;
        for (std::size_t i = 0; i < defs.size(); ++i) {
            char* p = row + layout.offset[i];
            const V& v = values[i];
            if (v.Null) {
                nulls |= std::uint64_t{1} << i;
            }
            switch (defs[i].Kind) {
                case TFieldKind::AutoInc:
                case TFieldKind::Integer:
                    Store<std::int32_t>(
                        p, v.Null ? 0 : static_cast<std::int32_t>(NumberOf(v, defs[i].Kind)));
                    break;
                case TFieldKind::DateTime:
                    Store<std::int64_t>(p, v.Null ? 0 : NumberOf(v, defs[i].Kind));
                    break;
                case TFieldKind::Text:
                case TFieldKind::Memo: {
                    const auto length = static_cast<std::uint32_t>(v.Null ? 0 : v.Text.size());
                    Store<std::uint32_t>(p, length);
                    if (length) {
                        std::memcpy(row + textAt, v.Text.data(), length);
                    }
                    textAt += length;
                    break;
                }
            }
        }
        for (std::uint32_t b = 0; b < layout.maskBytes; ++b) {
            row[b] = static_cast<char>((nulls >> (8 * b)) & 0xFF);
        }
    }

    TRowPtr EncodeRow(const std::vector<TEditValue>& values) const {
        const std::span<const TEditValue> span(values.data(), defs.size());
        TRowPtr row = TRowPtr::Owned(EncodedSize(span));
        EncodeInto(span, row.get());
        return row;
    }

    // The index key of a value given to a lookup: exact, so text is not cut.
    std::int64_t LookupKey(int field, const TValue& value) const {
        const TFieldDef& def = defs[field];
        if (std::holds_alternative<std::monostate>(value)) {
            return kNullKey;
        }
        if (IsIntegerKind(def.Kind)) {
            if (const auto* n = std::get_if<std::int32_t>(&value)) {
                return *n;
            }
        } else if (IsTextKind(def.Kind)) {
            if (const auto* s = std::get_if<std::string>(&value)) {
                return TextKey(*s);
            }
        } else if (const auto* t = std::get_if<TDateTime>(&value)) {
            return t->Milliseconds();
        }
        throw ETableError("項目 '" + def.Name + "' (" + FieldKindName(def.Kind) +
                          ") をこの型の値で検索することはできません");
    }

    void Undo(TChange& change) {
        const std::uint32_t slot = change.slot;
        switch (change.kind) {
            case TChange::TKind::Insert:
                Reindex(slot, rows[slot].get(), nullptr);
                rows[slot].reset();
                --live;
                autoInc = change.counterBefore;
                break;
            case TChange::TKind::Modify:
                Reindex(slot, rows[slot].get(), change.row.get());
                rows[slot] = std::move(change.row);
                break;
            case TChange::TKind::Delete:
                Reindex(slot, nullptr, change.row.get());
                rows[slot] = std::move(change.row);
                ++live;
                break;
        }
    }

    void Append(TRowPtr row) {
        const auto slot = static_cast<std::uint32_t>(rows.size());
        Reindex(slot, nullptr, row.get());
        rows.push_back(std::move(row));
        ++live;
    }
};

// ---------------------------------------------------------------------------------------------
// Cursor views

// What a cursor shows: the equality range `prefix` of an index whose leading `eqCount` fields are
// the cursor's constrained fields (filter, master link), followed by its order fields.
struct TCursor::TView {
    std::uint64_t serial = 0;  // changes with every rebuild
    bool valid = false;
    bool resetToFirst = true;
    bool empty = false;  // contradicting constraints, or a master without a current record
    std::vector<int> fields;
    std::size_t eqCount = 0;
    std::vector<std::int64_t> prefix;
    TRowIndex* index = nullptr;
    // What the master showed when the view was built.
    const TCursor* master = nullptr;
    std::uint64_t masterSerial = 0;
    std::vector<std::int64_t> masterValues;

    std::size_t Width() const { return fields.size() + 1; }
    bool InRange(const std::int64_t* entry) const {
        return !empty && std::equal(prefix.begin(), prefix.end(), entry);
    }
};

// How one lookup of a field list runs on one view: the index keyed by the view's constrained
// fields and the looked-up fields (sorted, merged), then the view's order fields; and where each
// key column's value comes from.
struct TCursor::TLocatePlan {
    std::string fields;
    std::uint64_t viewSerial = 0;
    std::vector<int> lookup;  // field of each given value
    std::vector<int> layout;  // key columns of the index
    std::size_t eqCount = 0;  // leading key columns that take given values
    // For each of the eqCount columns, its sources: >= 0 the given value of that number,
    // < 0 the view's prefix column -1 - n. Several sources must agree.
    std::vector<std::vector<int>> sources;
    bool viewIndex = false;      // the plan's index is the view's own, so its ranks are the view's
    TRowIndex* index = nullptr;  // null until needed while there is a probe
    // An existing index whose first eqCount columns are the plan's: its candidates are compared
    // in the view's order, as long as they are few.
    const TRowIndex* probe = nullptr;
    std::vector<std::size_t> probeColumns;  // the key column of each leading probe column
};

namespace {

struct TConstraint {
    int field;
    std::int64_t value;
};

// Sorts and merges equality constraints; false when two of them contradict each other.
bool NormaliseConstraints(std::vector<TConstraint>& c) {
    std::sort(c.begin(), c.end(), [](const TConstraint& a, const TConstraint& b) {
        return a.field < b.field || (a.field == b.field && a.value < b.value);
    });
    std::vector<TConstraint> out;
    for (const TConstraint& x : c) {
        if (!out.empty() && out.back().field == x.field) {
            if (out.back().value != x.value) {
                return false;
            }
            continue;
        }
        out.push_back(x);
    }
    c = std::move(out);
    return true;
}

std::vector<int> KeyLayout(const std::vector<TConstraint>& constraints,
                           const std::vector<int>& order) {
    std::vector<int> fields;
    for (const TConstraint& c : constraints) {
        fields.push_back(c.field);
    }
    for (int f : order) {
        if (std::find(fields.begin(), fields.end(), f) == fields.end()) {
            fields.push_back(f);
        }
    }
    if (fields.size() > static_cast<std::size_t>(kMaxKeyColumns)) {
        throw ETableError("検索条件とインデックスの項目が多すぎます");
    }
    return fields;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TField

const TFieldDef& TField::Def() const {
    return m_cursor->FieldDefs()[m_index];
}

TValue TField::Value() const {
    return m_cursor->ReadField(m_index);
}

bool TField::IsNull() const {
    return std::holds_alternative<std::monostate>(Value());
}

std::int32_t TField::AsInteger() const {
    const TValue v = Value();
    if (const auto* n = std::get_if<std::int32_t>(&v)) {
        return *n;
    }
    if (const auto* s = std::get_if<std::string>(&v)) {
        std::int32_t n = 0;
        const auto t = Trim(*s);
        const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), n);
        if (ec == std::errc() && end == t.data() + t.size() && !t.empty()) {
            return n;
        }
        throw ETableError("'" + *s + "' は正しい整数値ではありません");
    }
    if (std::holds_alternative<TDateTime>(v)) {
        throw ETableError("項目 '" + Def().Name + "' は整数として読めません");
    }
    return 0;
}

std::string TField::AsString() const {
    TValue v = Value();
    if (auto* s = std::get_if<std::string>(&v)) {
        return std::move(*s);
    }
    if (const auto* n = std::get_if<std::int32_t>(&v)) {
        return std::to_string(*n);
    }
    if (std::holds_alternative<TDateTime>(v)) {
        throw ETableError("項目 '" + Def().Name + "' は文字列として読めません");
    }
    return {};
}

TDateTime TField::AsDateTime() const {
    const TValue v = Value();
    if (const auto* t = std::get_if<TDateTime>(&v)) {
        return *t;
    }
    if (std::holds_alternative<std::monostate>(v)) {
        return {};
    }
    throw ETableError("項目 '" + Def().Name + "' は日時として読めません");
}

void TField::SetValue(const TValue& value) {
    m_cursor->WriteField(m_index, value);
}

// ---------------------------------------------------------------------------------------------
// TCursor

TCursor::TCursor() : m_view(std::make_unique<TView>()) {}

TCursor::~TCursor() {
    UnlinkMaster();
    for (TCursor* detail : m_details) {
        detail->m_master = nullptr;
        detail->m_view->valid = false;
    }
}

bool TCursor::Active() const {
    return m_data && m_data->open;
}

const std::vector<TFieldDef>& TCursor::FieldDefs() const {
    static const std::vector<TFieldDef> kNone;
    return m_data ? m_data->defs : kNone;
}

TTableData& TCursor::Data() const {
    CheckActive();
    return *m_data;
}

void TCursor::CheckActive() const {
    if (!Active()) {
        throw ETableError("テーブルが開かれていません");
    }
}

void TCursor::Attach(std::shared_ptr<TTableData> data) {
    m_data = std::move(data);
    m_state = TDataSetState::Browse;
    m_buffer.clear();
    m_bufferModified = false;
    m_slot = -1;
    m_entry.clear();
    m_eof = m_bof = true;
    m_view = std::make_unique<TView>();
    m_locatePlan.reset();
    Touch();
}

void TCursor::Detach() {
    m_data.reset();
    m_view = std::make_unique<TView>();
    m_slot = -1;
    m_entry.clear();
    m_state = TDataSetState::Browse;
    m_buffer.clear();
    Touch();
}

void TCursor::CloneCursor(TCursor& source, bool reset) {
    source.CheckActive();
    if (&source == this) {
        return;
    }
    Attach(source.m_data);
    if (reset) {
        m_indexFieldNames.clear();
        m_filter.clear();
        m_filtered = false;
        UnlinkMaster();
        m_masterFields.clear();
    } else {
        m_indexFieldNames = source.m_indexFieldNames;
        m_filter = source.m_filter;
        m_filtered = source.m_filtered;
        SetMasterSource(source.m_master);
        m_masterFields = source.m_masterFields;
    }
    m_view->valid = false;
    m_view->resetToFirst = true;
}

std::vector<int> TCursor::ParseFieldList(std::string_view names) const {
    std::vector<int> fields;
    names = Trim(names);
    if (names.empty()) {
        return fields;
    }
    while (true) {
        const std::size_t semi = names.find(';');
        const std::string_view name = Trim(names.substr(0, semi));
        const int index = FindFieldIndex(name);
        if (index < 0) {
            throw ETableError(FieldNotFound(name));
        }
        fields.push_back(index);
        if (semi == std::string_view::npos) {
            break;
        }
        names.remove_prefix(semi + 1);
    }
    return fields;
}

int TCursor::FindFieldIndex(std::string_view name) const {
    return m_data ? m_data->fieldNames.Find(m_data->defs, name) : -1;
}

TField TCursor::FieldByName(std::string_view name) {
    CheckActive();
    const int index = FindFieldIndex(name);
    if (index < 0) {
        throw ETableError(FieldNotFound(name));
    }
    return TField(*this, index);
}

TField TCursor::Fields(int index) {
    CheckActive();
    if (index < 0 || static_cast<std::size_t>(index) >= FieldDefs().size()) {
        throw ETableError("項目番号 " + std::to_string(index) + " は範囲外です");
    }
    return TField(*this, index);
}

void TCursor::ParseFilter() {
    m_filterField = -1;
    const std::string_view text = Trim(m_filter);
    if (!m_filtered || text.empty()) {
        return;
    }
    const std::size_t eq = text.find('=');
    const auto bad = [&] { return ETableError("フィルタ '" + m_filter + "' を解釈できません"); };
    if (eq == std::string_view::npos) {
        throw bad();
    }
    const std::string_view name = Trim(text.substr(0, eq));
    const std::string_view number = Trim(text.substr(eq + 1));
    const int field = FindFieldIndex(name);
    if (field < 0) {
        throw ETableError(FieldNotFound(name));
    }
    if (!IsIntegerKind(FieldDefs()[field].Kind)) {
        throw bad();
    }
    std::int32_t value = 0;
    const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (number.empty() || ec != std::errc() || end != number.data() + number.size()) {
        throw bad();
    }
    m_filterField = field;
    m_filterValue = value;
}

void TCursor::RebuildView() {
    TTableData& d = *m_data;
    TView& v = *m_view;
    m_order = ParseFieldList(m_indexFieldNames);
    if (m_order.size() > 3) {
        throw ETableError("インデックスの項目は3つまでです: " + m_indexFieldNames);
    }
    for (int f : m_order) {
        if (IsTextKind(d.defs[f].Kind)) {
            throw ETableError("項目 '" + d.defs[f].Name + "' はインデックスに使えません");
        }
    }
    ParseFilter();

    std::vector<TConstraint> constraints;
    if (m_filterField >= 0) {
        constraints.push_back({m_filterField, m_filterValue});
    }
    v.empty = false;
    v.master = nullptr;
    v.masterValues.clear();
    if (m_master && !Trim(m_masterFields).empty()) {
        m_master->Sync();
        m_masterFieldIndexes = m_master->ParseFieldList(m_masterFields);
        if (m_masterFieldIndexes.size() > m_order.size()) {
            throw ETableError("マスタ項目 '" + m_masterFields +
                              "' に対応するインデックス項目がありません");
        }
        v.master = m_master;
        v.masterSerial = m_master->m_moveSerial;
        if (m_master->m_slot < 0) {
            v.empty = true;
        } else {
            const char* row = m_master->m_data->rows[m_master->m_slot].get();
            for (std::size_t i = 0; i < m_masterFieldIndexes.size(); ++i) {
                const std::int64_t key = m_master->m_data->Key(row, m_masterFieldIndexes[i]);
                v.masterValues.push_back(key);
                constraints.push_back({m_order[i], key});
            }
        }
    }
    if (!NormaliseConstraints(constraints)) {
        v.empty = true;
    }
    v.fields = KeyLayout(constraints, m_order);
    v.eqCount = constraints.size();
    v.prefix.clear();
    for (const TConstraint& c : constraints) {
        v.prefix.push_back(c.value);
    }
    v.index = &d.Index(v.fields);
    static std::uint64_t s_viewSerial = 0;
    v.serial = ++s_viewSerial;
    v.valid = true;
}

bool TCursor::ViewRange(std::size_t& lo, std::size_t& hi) {
    const TView& v = *m_view;
    if (v.empty) {
        lo = hi = 0;
        return false;
    }
    if (m_rangeSerial != v.serial || m_rangeVersion != v.index->Version()) {
        if (v.eqCount == 0) {
            m_rangeLo = 0;
            m_rangeHi = v.index->Size();
        } else {
            const int columns = static_cast<int>(v.eqCount);
            m_rangeLo = v.index->LowerBound(v.prefix.data(), columns);
            m_rangeHi = v.index->UpperBound(v.prefix.data(), columns);
        }
        m_rangeSerial = v.serial;
        m_rangeVersion = v.index->Version();
    }
    lo = m_rangeLo;
    hi = m_rangeHi;
    return lo < hi;
}

void TCursor::SetCurrentAt(std::size_t rank) {
    const TView& v = *m_view;
    const std::int64_t* entry = v.index->At(rank);
    m_entry.assign(entry, entry + v.Width());
    m_slot = entry[v.Width() - 1];
    m_rank = rank;
    m_rankVersion = v.index->Version();
    Touch();
}

void TCursor::ClearCurrent() {
    if (m_slot >= 0) {
        Touch();
    }
    m_slot = -1;
    m_entry.clear();
    m_eof = m_bof = true;
    m_rankVersion = m_view->index ? m_view->index->Version() : 0;
}

void TCursor::PositionAfterChange(const std::int64_t* oldEntry, std::size_t width) {
    std::size_t lo = 0;
    std::size_t hi = 0;
    if (!ViewRange(lo, hi)) {
        ClearCurrent();
        return;
    }
    std::size_t rank = width == m_view->Width()
                           ? m_view->index->LowerBound(oldEntry, static_cast<int>(width))
                           : lo;
    rank = std::clamp(rank, lo, hi - 1);
    SetCurrentAt(rank);
}

void TCursor::Revalidate() {
    TTableData& d = *m_data;
    TView& v = *m_view;
    if (m_slot >= 0 && static_cast<std::size_t>(m_slot) < d.rows.size() && d.rows[m_slot]) {
        std::vector<std::int64_t> entry(v.Width());
        d.MakeEntry(v.fields, d.rows[m_slot].get(), static_cast<std::uint32_t>(m_slot),
                    entry.data());
        if (v.InRange(entry.data())) {
            // Still visible: stay on it, wherever its key moved it.
            m_entry = std::move(entry);
            m_rank = v.index->LowerBound(m_entry.data(), static_cast<int>(v.Width()));
            m_rankVersion = v.index->Version();
            return;
        }
    }
    if (m_slot < 0) {
        MoveToEdge(true);  // records appeared in an empty view
        return;
    }
    PositionAfterChange(m_entry.data(), m_entry.size());
}

void TCursor::Sync() {
    CheckActive();
    TView& v = *m_view;
    bool masterMoved = false;
    // A valid view was built with the current master fields; it has a master only if they
    // name some.
    if (v.valid && m_master && v.master != nullptr) {
        m_master->Sync();
        if (v.master != m_master || v.masterSerial != m_master->m_moveSerial) {
            masterMoved = true;
        } else if (m_master->m_slot >= 0) {
            const char* row = m_master->m_data->rows[m_master->m_slot].get();
            for (std::size_t i = 0; i < m_masterFieldIndexes.size() && !masterMoved; ++i) {
                masterMoved =
                    i >= v.masterValues.size() ||
                    m_master->m_data->Key(row, m_masterFieldIndexes[i]) != v.masterValues[i];
            }
        }
    } else if (v.valid && v.master != nullptr) {
        masterMoved = true;  // the link was removed
    }
    if (!v.valid || masterMoved) {
        const bool toFirst = v.resetToFirst || masterMoved;
        RebuildView();
        v.resetToFirst = false;
        if (toFirst) {
            MoveToEdge(true);
        } else {
            Revalidate();
        }
        return;
    }
    if (v.index->Version() != m_rankVersion) {
        Revalidate();
    }
}

void TCursor::CheckBrowseMode() {
    if (!Active()) {
        return;
    }
    if (m_state == TDataSetState::Edit || m_state == TDataSetState::Insert) {
        if (m_bufferModified) {
            Post();
        } else {
            Cancel();
        }
    }
}

void TCursor::MoveToEdge(bool first) {
    std::size_t lo = 0;
    std::size_t hi = 0;
    if (ViewRange(lo, hi)) {
        SetCurrentAt(first ? lo : hi - 1);
        m_eof = !first;
        m_bof = first;
    } else {
        ClearCurrent();
    }
}

void TCursor::First() {
    CheckBrowseMode();
    Sync();
    MoveToEdge(true);
}

void TCursor::Last() {
    CheckBrowseMode();
    Sync();
    MoveToEdge(false);
}

void TCursor::Next() {
    CheckBrowseMode();
    Sync();
    if (m_slot < 0) {
        m_eof = true;
        return;
    }
    std::size_t lo = 0;
    std::size_t hi = 0;
    ViewRange(lo, hi);
    if (m_rank + 1 < hi) {
        SetCurrentAt(m_rank + 1);
        m_eof = m_bof = false;
    } else {
        m_eof = true;
    }
}

void TCursor::Prior() {
    CheckBrowseMode();
    Sync();
    if (m_slot < 0) {
        m_bof = true;
        return;
    }
    std::size_t lo = 0;
    std::size_t hi = 0;
    ViewRange(lo, hi);
    if (m_rank > lo) {
        SetCurrentAt(m_rank - 1);
        m_eof = m_bof = false;
    } else {
        m_bof = true;
    }
}

bool TCursor::Eof() {
    Sync();
    return m_eof || m_slot < 0;
}

bool TCursor::Bof() {
    Sync();
    return m_bof || m_slot < 0;
}

bool TCursor::FindFirst() {
    First();
    return m_slot >= 0;
}

bool TCursor::FindNext() {
    const std::int64_t before = m_slot;
    const std::size_t rank = m_rank;
    Next();
    return m_slot >= 0 && !(m_slot == before && m_rank == rank && m_eof);
}

int TCursor::RecordCount() {
    Sync();
    std::size_t lo = 0;
    std::size_t hi = 0;
    ViewRange(lo, hi);
    return static_cast<int>(hi - lo);
}

int TCursor::RecNo() {
    Sync();
    if (m_slot < 0) {
        return 0;
    }
    std::size_t lo = 0;
    std::size_t hi = 0;
    ViewRange(lo, hi);
    return static_cast<int>(m_rank - lo + 1);
}

void TCursor::SetRecNo(int no) {
    CheckBrowseMode();
    Sync();
    std::size_t lo = 0;
    std::size_t hi = 0;
    ViewRange(lo, hi);
    if (no < 1 || static_cast<std::size_t>(no) > hi - lo) {
        throw ETableError("レコード番号 " + std::to_string(no) + " は範囲外です");
    }
    SetCurrentAt(lo + static_cast<std::size_t>(no) - 1);
    m_eof = m_bof = false;
}

TValue TCursor::ReadField(int index) {
    Sync();
    if (m_state == TDataSetState::Edit || m_state == TDataSetState::Insert) {
        return m_data->ToValue(index, m_buffer[index]);
    }
    if (m_slot < 0) {
        return std::monostate{};
    }
    const TTableData& d = *m_data;
    return DecodeValue(d.defs, d.layout, d.rows[m_slot].get(), index);
}

void TCursor::WriteField(int index, const TValue& value) {
    CheckActive();
    if (m_state != TDataSetState::Edit && m_state != TDataSetState::Insert) {
        throw ETableError("レコードが編集モードではありません");
    }
    m_data->Assign(index, value, m_buffer[index]);
    m_bufferModified = true;
}

void TCursor::Append() {
    CheckBrowseMode();
    Sync();
    m_buffer.resize(m_data->defs.size());
    for (detail::TEditValue& v : m_buffer) {
        v.Null = true;
        v.Text.clear();
    }
    m_bufferModified = false;
    m_state = TDataSetState::Insert;
}

void TCursor::AppendRecord(std::span<const TValue> values) {
    CheckActive();
    if (values.size() > FieldDefs().size()) {
        throw ETableError("値の数が項目の数より多すぎます");
    }
    Append();
    try {
        for (std::size_t i = 0; i < values.size(); ++i) {
            WriteField(static_cast<int>(i), values[i]);
        }
    } catch (...) {
        Cancel();
        throw;
    }
    Post();
}

void TCursor::Edit() {
    CheckActive();
    if (m_state == TDataSetState::Edit || m_state == TDataSetState::Insert) {
        return;
    }
    Sync();
    if (m_slot < 0) {
        throw ETableError("編集するレコードがありません");
    }
    if (BeforeEdit) {
        BeforeEdit(*this);
    }
    Sync();
    if (m_slot < 0) {
        throw ETableError("編集するレコードがありません");
    }
    const TTableData& d = *m_data;
    const char* row = d.rows[m_slot].get();
    d.LoadRow(row, m_buffer);
    m_bufferModified = false;
    m_editSlot = m_slot;
    m_state = TDataSetState::Edit;
}

void TCursor::Post() {
    CheckActive();
    if (m_state != TDataSetState::Edit && m_state != TDataSetState::Insert) {
        throw ETableError("レコードが編集モードではありません");
    }
    if (BeforePost) {
        BeforePost(*this);
    }
    Sync();
    TTableData& d = *m_data;
    std::uint32_t slot = 0;
    std::array<std::int64_t, kMaxKeyColumns + 1> oldEntry{};
    bool hadOldEntry = false;
    if (m_state == TDataSetState::Insert) {
        const std::int32_t before = d.autoInc;
        if (d.autoIncField >= 0) {
            if (d.autoInc == std::numeric_limits<std::int32_t>::max()) {
                throw ETableError("自動採番の番号が上限に達しました");
            }
            m_buffer[d.autoIncField].Null = false;
            m_buffer[d.autoIncField].Integer = d.autoInc;
        }
        TRowPtr row = d.EncodeRow(m_buffer);
        slot = static_cast<std::uint32_t>(d.rows.size());
        d.Append(std::move(row));
        if (d.autoIncField >= 0) {
            ++d.autoInc;
        }
        d.log.push_back({TChange::TKind::Insert, slot, before, nullptr});
    } else {
        slot = static_cast<std::uint32_t>(m_editSlot);
        if (static_cast<std::size_t>(slot) >= d.rows.size() || !d.rows[slot]) {
            Cancel();
            throw ETableError("編集中のレコードは削除されました");
        }
        d.MakeEntry(m_view->fields, d.rows[slot].get(), slot, oldEntry.data());
        hadOldEntry = true;
        TRowPtr row = d.EncodeRow(m_buffer);
        d.Reindex(slot, d.rows[slot].get(), row.get());
        std::swap(d.rows[slot], row);
        d.log.push_back({TChange::TKind::Modify, slot, d.autoInc, std::move(row)});
    }
    m_state = TDataSetState::Browse;
    m_bufferModified = false;

    // Stay on the posted record while the view shows it; else take the record that now stands
    // where it stood (a new record: where it would stand).
    TView& v = *m_view;
    std::array<std::int64_t, kMaxKeyColumns + 1> entry{};
    d.MakeEntry(v.fields, d.rows[slot].get(), slot, entry.data());
    if (v.InRange(entry.data())) {
        SetCurrentAt(v.index->LowerBound(entry.data(), static_cast<int>(v.Width())));
        m_eof = m_bof = false;
    } else {
        PositionAfterChange(hadOldEntry ? oldEntry.data() : entry.data(), v.Width());
    }
    Touch();
    if (AfterPost) {
        AfterPost(*this);
    }
}

void TCursor::Cancel() {
    if (m_state == TDataSetState::Edit || m_state == TDataSetState::Insert) {
        m_state = TDataSetState::Browse;
        m_bufferModified = false;
    }
}

void TCursor::Delete() {
    CheckActive();
    if (m_state == TDataSetState::Insert) {
        Cancel();
        return;
    }
    Cancel();
    Sync();
    if (m_slot < 0) {
        throw ETableError("削除するレコードがありません");
    }
    TTableData& d = *m_data;
    const auto slot = static_cast<std::uint32_t>(m_slot);
    d.Reindex(slot, d.rows[slot].get(), nullptr);
    d.log.push_back({TChange::TKind::Delete, slot, d.autoInc, std::move(d.rows[slot])});
    --d.live;
    const std::vector<std::int64_t> oldEntry = m_entry;
    PositionAfterChange(oldEntry.data(), oldEntry.size());
}

bool TCursor::Locate(std::string_view fields, std::span<const TValue> values) {
    CheckBrowseMode();
    Sync();
    TTableData& d = *m_data;
    TView& v = *m_view;
    if (!m_locatePlan || m_locatePlan->viewSerial != v.serial || m_locatePlan->fields != fields) {
        auto plan = std::make_unique<TLocatePlan>();
        plan->fields = std::string(fields);
        plan->viewSerial = v.serial;
        plan->lookup = ParseFieldList(fields);
        std::vector<TConstraint> sources;  // field, source
        for (std::size_t i = 0; i < v.eqCount; ++i) {
            sources.push_back({v.fields[i], -1 - static_cast<std::int64_t>(i)});
        }
        for (std::size_t i = 0; i < plan->lookup.size(); ++i) {
            sources.push_back({plan->lookup[i], static_cast<std::int64_t>(i)});
        }
        std::stable_sort(
            sources.begin(), sources.end(),
            [](const TConstraint& a, const TConstraint& b) { return a.field < b.field; });
        std::vector<TConstraint> distinct;
        for (const TConstraint& c : sources) {
            if (distinct.empty() || distinct.back().field != c.field) {
                distinct.push_back({c.field, 0});
                plan->sources.emplace_back();
            }
            plan->sources.back().push_back(static_cast<int>(c.value));
        }
        plan->layout = KeyLayout(distinct, m_order);
        plan->eqCount = distinct.size();
        plan->index = d.FindIndex(plan->layout);
        if (!plan->index) {
            plan->probe = d.FindProbe(plan->layout, plan->eqCount);
            if (plan->probe) {
                // Where each of the probe's leading columns takes its value in the lookup key.
                for (std::size_t c = 0; c + 1 < static_cast<std::size_t>(plan->probe->Width());
                     ++c) {
                    const auto at =
                        std::find(plan->layout.begin(),
                                  plan->layout.begin() + static_cast<std::ptrdiff_t>(plan->eqCount),
                                  d.IndexFields(*plan->probe)[c]);
                    if (at == plan->layout.begin() + static_cast<std::ptrdiff_t>(plan->eqCount)) {
                        break;
                    }
                    plan->probeColumns.push_back(
                        static_cast<std::size_t>(at - plan->layout.begin()));
                }
            }
            if (!plan->probe) {
                plan->index = &d.Index(plan->layout);
            }
        }
        plan->viewIndex = plan->index == v.index;
        m_locatePlan = std::move(plan);
    }
    TLocatePlan& plan = *m_locatePlan;
    if (plan.lookup.empty() || plan.lookup.size() != values.size()) {
        throw ETableError("検索項目 '" + std::string(fields) + "' と値の数が一致しません");
    }
    if (v.empty) {
        return false;
    }
    std::array<std::int64_t, kMaxKeyColumns + 1> prefix{};
    for (std::size_t c = 0; c < plan.eqCount; ++c) {
        bool first = true;
        for (int source : plan.sources[c]) {
            const std::int64_t key = source >= 0 ? d.LookupKey(plan.lookup[source], values[source])
                                                 : v.prefix[static_cast<std::size_t>(-1 - source)];
            if (!first && key != prefix[c]) {
                return false;  // contradicting values: nothing can match
            }
            prefix[c] = key;
            first = false;
        }
    }
    const int columns = static_cast<int>(plan.eqCount);
    // Text keys are hashes; compare the text itself.
    const auto matches = [&](const char* row) {
        for (std::size_t i = 0; i < plan.lookup.size(); ++i) {
            const auto* text = std::get_if<std::string>(&values[i]);
            if (text && IsTextKind(d.defs[plan.lookup[i]].Kind) &&
                RowText(d.layout, row, plan.lookup[i]) != *text) {
                return false;
            }
        }
        return true;
    };
    if (!plan.index) {
        // An index that starts with some of the looked-up fields: its few candidates are
        // checked for the other fields and compared in the cursor's own order, which spares a
        // whole index of its own for a lookup with one answer or a handful (the top concept, a
        // record number, a title among its siblings). Many candidates make the index after all.
        const TRowIndex& probe = *plan.probe;
        std::array<std::int64_t, kMaxKeyColumns + 1> probeKey{};
        for (std::size_t c = 0; c < plan.probeColumns.size(); ++c) {
            probeKey[c] = prefix[plan.probeColumns[c]];
        }
        const int probeColumns = static_cast<int>(plan.probeColumns.size());
        const std::size_t lo = probe.LowerBound(probeKey.data(), probeColumns);
        const std::size_t hi = probe.UpperBound(probeKey.data(), probeColumns);
        // Scans stay cheap while, all together, they read fewer candidates than an eighth of
        // the table: a few lookups never pay for a whole index, and frequent ones soon get it
        // and run as fast as with it from the start.
        if (d.probeScanned + (hi - lo) <= std::max(kMinProbeBudget, d.live / 8)) {
            d.probeScanned += hi - lo;
            std::array<std::int64_t, kMaxKeyColumns + 1> best{};
            std::array<std::int64_t, kMaxKeyColumns + 1> entry{};
            bool found = false;
            const int width = static_cast<int>(v.Width());
            for (std::size_t r = lo; r < hi; ++r) {
                const auto slot = static_cast<std::uint32_t>(probe.At(r)[probe.Width() - 1]);
                const char* row = d.rows[slot].get();
                // The lookup's other fields, compared by their keys.
                d.MakeEntry(plan.layout, row, slot, entry.data());
                if (!std::equal(prefix.begin(), prefix.begin() + columns, entry.begin()) ||
                    !matches(row)) {
                    continue;
                }
                d.MakeEntry(v.fields, row, slot, entry.data());
                if (!found || std::lexicographical_compare(entry.begin(), entry.begin() + width,
                                                           best.begin(), best.begin() + width)) {
                    best = entry;
                    found = true;
                }
            }
            if (!found) {
                return false;
            }
            SetCurrentAt(v.index->LowerBound(best.data(), width));
            m_eof = m_bof = false;
            return true;
        }
        plan.index = &d.Index(plan.layout);
        plan.viewIndex = plan.index == v.index;
    }
    TRowIndex& index = *plan.index;
    const std::size_t size = index.Size();
    for (std::size_t r = index.LowerBound(prefix.data(), columns); r < size; ++r) {
        const std::int64_t* found = index.At(r);
        if (!std::equal(prefix.begin(), prefix.begin() + columns, found)) {
            break;
        }
        const auto slot = static_cast<std::uint32_t>(found[plan.layout.size()]);
        const char* row = d.rows[slot].get();
        if (!matches(row)) {
            continue;
        }
        if (plan.viewIndex) {
            SetCurrentAt(r);
        } else {
            std::array<std::int64_t, kMaxKeyColumns + 1> entry{};
            d.MakeEntry(v.fields, row, slot, entry.data());
            SetCurrentAt(v.index->LowerBound(entry.data(), static_cast<int>(v.Width())));
        }
        m_eof = m_bof = false;
        return true;
    }
    return false;
}

void TCursor::SetIndexFieldNames(std::string_view names) {
    CheckBrowseMode();
    m_indexFieldNames = std::string(names);
    m_view->valid = false;
    // A bad field list is reported at once. Order of addition cannot be a bad list; its view is
    // made on first use, so that a table being loaded keeps no index up to date.
    if (Active() && !names.empty()) {
        Sync();
    }
}

void TCursor::UnlinkMaster() {
    if (m_master) {
        auto& list = m_master->m_details;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
        m_master = nullptr;
    }
}

void TCursor::SetMasterSource(TCursor* master) {
    for (TCursor* m = master; m; m = m->m_master) {
        if (m == this) {
            throw ETableError("マスタリンクが循環しています");
        }
    }
    if (master == m_master) {
        return;
    }
    UnlinkMaster();
    m_master = master;
    if (master) {
        master->m_details.push_back(this);
    }
    m_view->valid = false;
    m_view->resetToFirst = true;
}

void TCursor::SetMasterFields(std::string_view names) {
    m_masterFields = std::string(names);
    m_view->valid = false;
    m_view->resetToFirst = true;
}

void TCursor::SetFilter(std::string_view filter) {
    m_filter = std::string(filter);
    m_view->valid = false;
    m_view->resetToFirst = true;
}

void TCursor::SetFiltered(bool on) {
    m_filtered = on;
    m_view->valid = false;
    m_view->resetToFirst = true;
}

int TCursor::SavePoint() {
    CheckBrowseMode();
    return static_cast<int>(Data().log.size());
}

void TCursor::SetSavePoint(int position) {
    TTableData& d = Data();
    Cancel();
    if (position < 0 || static_cast<std::size_t>(position) > d.log.size()) {
        throw ETableError("セーブポイント " + std::to_string(position) + " は無効です");
    }
    while (d.log.size() > static_cast<std::size_t>(position)) {
        d.Undo(d.log.back());
        d.log.pop_back();
    }
    Sync();
}

void TCursor::MergeChangeLog() {
    CheckBrowseMode();
    Data().log.clear();
}

int TCursor::ChangeCount() const {
    return static_cast<int>(Data().log.size());
}

std::uint64_t TCursor::ContentStamp() const {
    return Data().contentStamp;
}

// ---------------------------------------------------------------------------------------------
// TTable

TTable::TTable(std::string name, std::vector<TFieldDef> fieldDefs, std::string indexFieldNames)
    : m_name(std::move(name)),
      m_declaredDefs(std::move(fieldDefs)),
      m_defaultIndex(std::move(indexFieldNames)) {}

void TTable::OpenEmpty(std::vector<TFieldDef> fieldDefs) {
    auto data = std::make_shared<TTableData>(std::move(fieldDefs));
    if (m_data) {
        Close();
    }
    Attach(std::move(data));
    SetIndexFieldNames(m_defaultIndex);
}

void TTable::CreateDataSet() {
    OpenEmpty(m_declaredDefs);
}

void TTable::Close() {
    if (!m_data) {
        return;
    }
    Cancel();
    // Clones share this data; marking it closed makes them refuse further use.
    m_data->open = false;
    m_data->indexes.clear();
    m_data->log.clear();
    m_data->rows.clear();
    m_data->arena = TRowArena();
    m_data->live = 0;
    Detach();
}

void TTable::AdoptContents(TTable& source) {
    std::shared_ptr<TTableData> data = source.m_data;
    if (!data || !data->open) {
        throw ETableError("テーブルが開かれていません");
    }
    source.Cancel();
    source.Detach();
    Close();
    Attach(std::move(data));
    SetIndexFieldNames(m_defaultIndex);
}

void TTable::AppendLoadedRecord(std::span<const TValue> values) {
    TTableData& d = Data();
    if (values.size() != d.defs.size()) {
        throw ETableError("レコードの値の数が項目の数と一致しません");
    }
    std::vector<detail::TEditValue> converted(values.size());
    std::vector<TLoadedValue> loaded(values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        d.Assign(static_cast<int>(i), values[i], converted[i]);
        loaded[i].Null = converted[i].Null;
        loaded[i].Number = d.defs[i].Kind == TFieldKind::DateTime
                               ? converted[i].Milliseconds
                               : std::int64_t{converted[i].Integer};
        loaded[i].Text = converted[i].Text;
    }
    AppendLoadedRecord(loaded);
}

void TTable::AppendLoadedRecord(std::span<const TLoadedValue> values) {
    TTableData& d = Data();
    if (values.size() != d.defs.size()) {
        throw ETableError("レコードの値の数が項目の数と一致しません");
    }
    // The field's own rules, as Assign applies them: a text cut to its width, an empty memo null.
    std::vector<TLoadedValue>& stored = d.encodeScratch;
    stored.resize(values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        stored[i] = values[i];
        const TFieldDef& def = d.defs[i];
        if (stored[i].Null) {
            stored[i].Text = {};
        } else if (def.Kind == TFieldKind::Memo) {
            stored[i].Null = stored[i].Text.empty();
        } else if (def.Kind == TFieldKind::Text) {
            stored[i].Text = stored[i].Text.substr(
                0, StoredLength(stored[i].Text, def.Size >= 0 ? static_cast<std::size_t>(def.Size)
                                                              : std::string::npos));
        }
    }
    const std::span<const TLoadedValue> span(stored.data(), stored.size());
    char* row = d.arena.Allocate(d.EncodedSize(span));
    d.EncodeInto(span, row);
    d.Append(TRowPtr::InArena(row));
}

std::size_t TTable::StoredRecordCount() const {
    return Data().live;
}

std::int32_t TTable::AutoIncValue() const {
    return Data().autoInc;
}

void TTable::SetAutoIncValue(std::int32_t next) {
    Data().autoInc = next;
}

std::optional<std::int32_t> TTable::AutoIncRaisedFrom() const {
    return Data().autoIncRaisedFrom;
}

void TTable::NoteAutoIncRaisedFrom(std::int32_t stored) {
    Data().autoIncRaisedFrom = stored;
}

void TTable::ForEachRecord(const std::function<void(std::span<const TValue>)>& visit) const {
    const TTableData& d = Data();
    std::vector<TValue> values(d.defs.size());
    for (std::size_t slot = 0; slot < d.rows.size(); ++slot) {
        PrefetchAhead(d.rows, slot);
        const TRowPtr& row = d.rows[slot];
        if (!row) {
            continue;
        }
        for (std::size_t i = 0; i < d.defs.size(); ++i) {
            values[i] = DecodeValue(d.defs, d.layout, row.get(), static_cast<int>(i));
        }
        visit(values);
    }
}

void TTable::ForEachRecordView(const std::function<void(const TRecordView&)>& visit) const {
    const TTableData& d = Data();
    for (std::size_t slot = 0; slot < d.rows.size(); ++slot) {
        PrefetchAhead(d.rows, slot);
        if (const TRowPtr& row = d.rows[slot]) {
            visit(TRecordView(d, row.get()));
        }
    }
}

bool TRecordView::IsNull(int field) const {
    return RowIsNull(m_row, field);
}

std::int32_t TRecordView::Integer(int field) const {
    return RowIsNull(m_row, field) ? 0 : Load<std::int32_t>(m_row + m_data->layout.offset[field]);
}

std::string_view TRecordView::Text(int field) const {
    return RowIsNull(m_row, field) ? std::string_view() : RowText(m_data->layout, m_row, field);
}

TDateTime TRecordView::DateTime(int field) const {
    return RowIsNull(m_row, field) ? TDateTime()
                                   : TDateTime::FromMilliseconds(
                                         Load<std::int64_t>(m_row + m_data->layout.offset[field]));
}

std::size_t TTable::MemoryUsage() const {
    const TTableData& d = Data();
    // Heap blocks carry about 16 bytes of allocator bookkeeping each.
    constexpr std::size_t kBlockOverhead = 16;
    std::size_t bytes = d.rows.capacity() * sizeof(TRowPtr) + d.arena.Bytes();
    const auto rowBytes = [&](const TRowPtr& row) -> std::size_t {
        return row && !row.InArena() ? RowSize(d.layout, row.get()) + kBlockOverhead : 0;
    };
    for (const TRowPtr& row : d.rows) {
        bytes += rowBytes(row);
    }
    for (const auto& [fields, entry] : d.indexes) {
        bytes += entry->index.MemoryUsage();
    }
    bytes += d.log.capacity() * sizeof(TChange);
    for (const TChange& c : d.log) {
        bytes += rowBytes(c.row);
    }
    return bytes;
}

}  // namespace velmora::store
