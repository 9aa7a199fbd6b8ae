#include "row_index.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cstring>
#include <limits>
#include <type_traits>

namespace velmora::store {
namespace {

// Blocks split when they exceed this many entries; small enough that the insertion shift stays
// cheap, large enough that the block list stays short for a million entries.
constexpr std::size_t kMaxBlockEntries = 512;
constexpr int kMaxColumns = 16;

constexpr std::int64_t kNull64 = std::numeric_limits<std::int64_t>::min();
constexpr std::int32_t kNull32 = std::numeric_limits<std::int32_t>::min();

// Whether a column value can be kept in 32 bits: the null key (stored as INT32_MIN) or a value
// above INT32_MIN that fits.
bool FitsNarrow(std::int64_t v) {
    return v == kNull64 || (v > kNull32 && v <= std::numeric_limits<std::int32_t>::max());
}

bool EntryFitsNarrow(const std::int64_t* entry, int width) {
    return std::all_of(entry, entry + width, FitsNarrow);
}

}  // namespace

// The sorted blocks of one index, with columns of type T (64 bits, or 32 bits for a narrow
// index). Keys are always compared as 64-bit values.
template <typename T>
class TSortedBlocks {
public:
    explicit TSortedBlocks(int width) : m_width(width) {}

    std::size_t Size() const { return m_size; }
    void Insert(const std::int64_t* entry);
    void BulkLoad(const std::vector<std::int64_t>& entries);
    bool Erase(const std::int64_t* entry);
    std::size_t LowerBound(const std::int64_t* key, int columns) const;
    std::size_t UpperBound(const std::int64_t* key, int columns) const;
    const T* Find(std::size_t rank) const;
    std::size_t MemoryUsage() const;

    static T Encode(std::int64_t v) {
        if constexpr (std::is_same_v<T, std::int64_t>) {
            return v;
        } else {
            return v == kNull64 ? kNull32 : static_cast<std::int32_t>(v);
        }
    }
    static std::int64_t Decode(T v) {
        if constexpr (std::is_same_v<T, std::int64_t>) {
            return v;
        } else {
            return v == kNull32 ? kNull64 : std::int64_t{v};
        }
    }

private:
    struct TBlock {
        std::vector<T> data;  // count() * width columns, sorted
    };

    std::unique_ptr<TBlock> NewBlock() const;
    void MakeRoom(TBlock& block) const;  // before an insert into the block
    std::size_t BlockCount(const TBlock& b) const { return b.data.size() / m_width; }
    // Keys are of type K: T when they are encoded like the entries (a narrow index compares
    // 32-bit values then), or 64-bit values compared with decoded entries.
    template <typename K>
    static int Compare(const T* stored, const K* key, int columns);
    // Index of the first block whose last entry is >= key (or > key when `upper`).
    template <typename K>
    std::size_t FindBlock(const K* key, int columns, bool upper) const;
    template <typename K>
    std::size_t Bound(const K* key, int columns, bool upper) const;
    std::size_t Bound(const std::int64_t* key, int columns, bool upper) const;
    // The entry as it is stored. REQUIRES: every column fits T.
    void EncodeEntry(const std::int64_t* entry, T* out) const;
    std::size_t BlockStart(std::size_t block) const;  // rank of the block's first entry
    void FenwickAdd(std::size_t block, std::ptrdiff_t delta);
    void UpdateLastEntry(std::size_t block);
    void RefreshBlock(std::size_t block);  // its count and last entry, after its content changed
    void InsertBlock(std::size_t at, std::unique_ptr<TBlock> block);
    void RemoveBlock(std::size_t at);
    void RebuildFenwick();

    int m_width;
    std::size_t m_size = 0;
    std::uint64_t m_version = 0;  // for the hint below
    std::vector<std::unique_ptr<TBlock>> m_blocks;
    std::vector<T> m_lastEntries;         // last entry of each block, packed
    std::vector<std::uint32_t> m_counts;  // entries of each block
    std::vector<std::size_t> m_fenwick;   // 1-based Fenwick tree over block sizes
    // Last block reached by Find(), so that walking ranks in order costs O(1) a step.
    mutable std::size_t m_hintBlock = 0;
    mutable std::size_t m_hintStart = 0;
    mutable std::uint64_t m_hintVersion = ~std::uint64_t{0};
};

template <typename T>
std::unique_ptr<typename TSortedBlocks<T>::TBlock> TSortedBlocks<T>::NewBlock() const {
    auto block = std::make_unique<TBlock>();
    block->data.reserve(kMaxBlockEntries * static_cast<std::size_t>(m_width));
    return block;
}

template <typename T>
void TSortedBlocks<T>::MakeRoom(TBlock& block) const {
    // A bulk-loaded block is sized to its entries; it grows once, straight to a full block,
    // rather than doubling past it.
    if (block.data.size() == block.data.capacity()) {
        block.data.reserve(kMaxBlockEntries * static_cast<std::size_t>(m_width));
    }
}

template <typename T>
template <typename K>
int TSortedBlocks<T>::Compare(const T* stored, const K* key, int columns) {
    for (int i = 0; i < columns; ++i) {
        const K a = std::is_same_v<K, T> ? K(stored[i]) : K(Decode(stored[i]));
        if (a != key[i]) {
            return a < key[i] ? -1 : 1;
        }
    }
    return 0;
}

template <typename T>
void TSortedBlocks<T>::EncodeEntry(const std::int64_t* entry, T* out) const {
    for (int i = 0; i < m_width; ++i) {
        assert((std::is_same_v<T, std::int64_t> || FitsNarrow(entry[i])));
        out[i] = Encode(entry[i]);
    }
}

template <typename T>
template <typename K>
std::size_t TSortedBlocks<T>::FindBlock(const K* key, int columns, bool upper) const {
    // Searches the packed copy of the blocks' last entries, which stays in cache.
    std::size_t lo = 0;
    std::size_t hi = m_blocks.size();
    while (lo < hi) {
        const std::size_t mid = (lo + hi) / 2;
        const int c = Compare(m_lastEntries.data() + mid * m_width, key, columns);
        if (upper ? c > 0 : c >= 0) {
            hi = mid;
        } else {
            lo = mid + 1;
        }
    }
    return lo;
}

template <typename T>
template <typename K>
std::size_t TSortedBlocks<T>::Bound(const K* key, int columns, bool upper) const {
    const std::size_t block = FindBlock(key, columns, upper);
    if (block == m_blocks.size()) {
        return m_size;
    }
    const TBlock& b = *m_blocks[block];
    std::size_t lo = 0;
    std::size_t hi = BlockCount(b);
    while (lo < hi) {
        const std::size_t mid = (lo + hi) / 2;
        const int c = Compare(b.data.data() + mid * m_width, key, columns);
        if (upper ? c > 0 : c >= 0) {
            hi = mid;
        } else {
            lo = mid + 1;
        }
    }
    return BlockStart(block) + lo;
}

template <typename T>
std::size_t TSortedBlocks<T>::Bound(const std::int64_t* key, int columns, bool upper) const {
    if constexpr (!std::is_same_v<T, std::int64_t>) {
        // Encoding keeps the order of the values that fit, so such a key is compared as
        // stored; one that does not fit is compared with the decoded entries.
        T encoded[kMaxColumns];
        for (int i = 0; i < columns; ++i) {
            if (!FitsNarrow(key[i])) {
                return Bound<std::int64_t>(key, columns, upper);
            }
            encoded[i] = Encode(key[i]);
        }
        return Bound<T>(encoded, columns, upper);
    }
    return Bound<std::int64_t>(key, columns, upper);
}

template <typename T>
std::size_t TSortedBlocks<T>::LowerBound(const std::int64_t* key, int columns) const {
    return Bound(key, columns, false);
}

template <typename T>
std::size_t TSortedBlocks<T>::UpperBound(const std::int64_t* key, int columns) const {
    return Bound(key, columns, true);
}

template <typename T>
std::size_t TSortedBlocks<T>::BlockStart(std::size_t block) const {
    std::size_t sum = 0;
    for (std::size_t i = block; i > 0; i -= i & (~i + 1)) {
        sum += m_fenwick[i];
    }
    return sum;
}

template <typename T>
void TSortedBlocks<T>::FenwickAdd(std::size_t block, std::ptrdiff_t delta) {
    for (std::size_t i = block + 1; i < m_fenwick.size(); i += i & (~i + 1)) {
        m_fenwick[i] = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(m_fenwick[i]) + delta);
    }
}

template <typename T>
void TSortedBlocks<T>::UpdateLastEntry(std::size_t block) {
    const TBlock& b = *m_blocks[block];
    std::copy(b.data.end() - m_width, b.data.end(),
              m_lastEntries.begin() + static_cast<std::ptrdiff_t>(block * m_width));
}

template <typename T>
void TSortedBlocks<T>::RefreshBlock(std::size_t block) {
    m_counts[block] = static_cast<std::uint32_t>(BlockCount(*m_blocks[block]));
    UpdateLastEntry(block);
}

template <typename T>
void TSortedBlocks<T>::InsertBlock(std::size_t at, std::unique_ptr<TBlock> block) {
    const auto count = static_cast<std::uint32_t>(BlockCount(*block));
    m_lastEntries.insert(m_lastEntries.begin() + static_cast<std::ptrdiff_t>(at * m_width),
                         block->data.end() - m_width, block->data.end());
    m_counts.insert(m_counts.begin() + static_cast<std::ptrdiff_t>(at), count);
    m_blocks.insert(m_blocks.begin() + static_cast<std::ptrdiff_t>(at), std::move(block));
    RebuildFenwick();
}

template <typename T>
void TSortedBlocks<T>::RemoveBlock(std::size_t at) {
    m_lastEntries.erase(m_lastEntries.begin() + static_cast<std::ptrdiff_t>(at * m_width),
                        m_lastEntries.begin() + static_cast<std::ptrdiff_t>((at + 1) * m_width));
    m_counts.erase(m_counts.begin() + static_cast<std::ptrdiff_t>(at));
    m_blocks.erase(m_blocks.begin() + static_cast<std::ptrdiff_t>(at));
    RebuildFenwick();
}

template <typename T>
void TSortedBlocks<T>::RebuildFenwick() {
    // Reads only the packed counts, never the blocks, so a rebuild stays cheap.
    m_fenwick.assign(m_counts.size() + 1, 0);
    for (std::size_t i = 1; i < m_fenwick.size(); ++i) {
        m_fenwick[i] += m_counts[i - 1];
        const std::size_t parent = i + (i & (~i + 1));
        if (parent < m_fenwick.size()) {
            m_fenwick[parent] += m_fenwick[i];
        }
    }
}

template <typename T>
void TSortedBlocks<T>::Insert(const std::int64_t* entry) {
    T encoded[kMaxColumns]{};
    EncodeEntry(entry, encoded);
    ++m_version;
    ++m_size;
    // Rising keys (new records, a table being loaded) go after the last entry: no search.
    if (!m_blocks.empty()) {
        const std::size_t last = m_blocks.size() - 1;
        if (m_counts[last] < kMaxBlockEntries &&
            Compare(m_lastEntries.data() + last * m_width, encoded, m_width) < 0) {
            MakeRoom(*m_blocks[last]);
            m_blocks[last]->data.insert(m_blocks[last]->data.end(), encoded, encoded + m_width);
            ++m_counts[last];
            FenwickAdd(last, 1);
            UpdateLastEntry(last);
            return;
        }
    }
    if (m_blocks.empty()) {
        auto first = NewBlock();
        first->data.assign(encoded, encoded + m_width);
        InsertBlock(0, std::move(first));
        return;
    }
    // The block that holds the first entry greater than the new one, or the last block.
    std::size_t block = FindBlock(encoded, m_width, true);
    if (block == m_blocks.size()) {
        --block;
    }
    TBlock& b = *m_blocks[block];
    const std::size_t count = BlockCount(b);
    std::size_t lo = 0;
    std::size_t hi = count;
    while (lo < hi) {
        const std::size_t mid = (lo + hi) / 2;
        if (Compare(b.data.data() + mid * m_width, encoded, m_width) > 0) {
            hi = mid;
        } else {
            lo = mid + 1;
        }
    }
    if (count < kMaxBlockEntries) {
        MakeRoom(b);
        b.data.insert(b.data.begin() + static_cast<std::ptrdiff_t>(lo * m_width), encoded,
                      encoded + m_width);
        FenwickAdd(block, 1);
        ++m_counts[block];
        if (lo == count) {
            UpdateLastEntry(block);
        }
        return;
    }
    // Full block: split it. Appending at the very end (rising keys, the common case of new
    // records) leaves the full block as it is and starts a new one, so such indexes stay dense.
    auto fresh = NewBlock();
    if (lo == count && block + 1 == m_blocks.size()) {
        fresh->data.assign(encoded, encoded + m_width);
    } else {
        const std::size_t keep = count / 2;
        fresh->data.assign(b.data.begin() + static_cast<std::ptrdiff_t>(keep * m_width),
                           b.data.end());
        b.data.resize(keep * m_width);
        TBlock& target = lo <= keep ? b : *fresh;
        const std::size_t at = lo <= keep ? lo : lo - keep;
        target.data.insert(target.data.begin() + static_cast<std::ptrdiff_t>(at * m_width), encoded,
                           encoded + m_width);
    }
    RefreshBlock(block);
    InsertBlock(block + 1, std::move(fresh));
}

template <typename T>
void TSortedBlocks<T>::BulkLoad(const std::vector<std::int64_t>& entries) {
    ++m_version;
    m_blocks.clear();
    const std::size_t count = entries.size() / m_width;
    // Full blocks: the index takes no more memory than its entries. An insert into a full block
    // splits it, which costs one shift of half a block.
    const std::size_t perBlock = kMaxBlockEntries;
    for (std::size_t first = 0; first < count; first += perBlock) {
        const std::size_t last = std::min(count, first + perBlock);
        // Sized to what the block holds; the first insert makes room for a full block.
        auto block = std::make_unique<TBlock>();
        block->data.resize((last - first) * m_width);
        std::transform(entries.begin() + static_cast<std::ptrdiff_t>(first * m_width),
                       entries.begin() + static_cast<std::ptrdiff_t>(last * m_width),
                       block->data.begin(), Encode);
        m_blocks.push_back(std::move(block));
    }
    m_size = count;
    m_lastEntries.resize(m_blocks.size() * m_width);
    m_counts.resize(m_blocks.size());
    for (std::size_t i = 0; i < m_blocks.size(); ++i) {
        RefreshBlock(i);
    }
    RebuildFenwick();
}

template <typename T>
bool TSortedBlocks<T>::Erase(const std::int64_t* entry) {
    T encoded[kMaxColumns]{};
    EncodeEntry(entry, encoded);
    const std::size_t block = FindBlock(encoded, m_width, false);
    if (block == m_blocks.size()) {
        return false;
    }
    TBlock& b = *m_blocks[block];
    const std::size_t count = BlockCount(b);
    std::size_t lo = 0;
    std::size_t hi = count;
    while (lo < hi) {
        const std::size_t mid = (lo + hi) / 2;
        if (Compare(b.data.data() + mid * m_width, encoded, m_width) >= 0) {
            hi = mid;
        } else {
            lo = mid + 1;
        }
    }
    if (lo == count || Compare(b.data.data() + lo * m_width, encoded, m_width) != 0) {
        return false;
    }
    ++m_version;
    --m_size;
    if (count == 1) {
        RemoveBlock(block);
        return true;
    }
    b.data.erase(b.data.begin() + static_cast<std::ptrdiff_t>(lo * m_width),
                 b.data.begin() + static_cast<std::ptrdiff_t>((lo + 1) * m_width));
    FenwickAdd(block, -1);
    --m_counts[block];
    if (lo + 1 == count) {
        UpdateLastEntry(block);
    }
    // Merge a shrunken block into its successor when both fit, so that deletions do not leave
    // a long list of nearly empty blocks behind.
    if (block + 1 < m_blocks.size()) {
        TBlock& next = *m_blocks[block + 1];
        if (BlockCount(b) + BlockCount(next) <= kMaxBlockEntries / 2) {
            b.data.insert(b.data.end(), next.data.begin(), next.data.end());
            RefreshBlock(block);
            RemoveBlock(block + 1);
        }
    }
    return true;
}

template <typename T>
const T* TSortedBlocks<T>::Find(std::size_t rank) const {
    assert(rank < m_size);
    if (m_hintVersion == m_version && m_hintBlock < m_blocks.size()) {
        const TBlock& b = *m_blocks[m_hintBlock];
        if (rank >= m_hintStart && rank < m_hintStart + BlockCount(b)) {
            return b.data.data() + (rank - m_hintStart) * m_width;
        }
        // The next block is the usual case when walking forward.
        const std::size_t nextStart = m_hintStart + BlockCount(b);
        if (m_hintBlock + 1 < m_blocks.size() && rank >= nextStart &&
            rank < nextStart + BlockCount(*m_blocks[m_hintBlock + 1])) {
            ++m_hintBlock;
            m_hintStart = nextStart;
            return m_blocks[m_hintBlock]->data.data() + (rank - nextStart) * m_width;
        }
    }
    // Fenwick descent: the block whose range of ranks contains `rank`.
    std::size_t pos = 0;
    std::size_t remaining = rank;
    std::size_t step = 1;
    while (step * 2 < m_fenwick.size()) {
        step *= 2;
    }
    for (; step > 0; step /= 2) {
        if (pos + step < m_fenwick.size() && m_fenwick[pos + step] <= remaining) {
            pos += step;
            remaining -= m_fenwick[pos];
        }
    }
    m_hintBlock = pos;
    m_hintStart = rank - remaining;
    m_hintVersion = m_version;
    return m_blocks[pos]->data.data() + remaining * m_width;
}

template <typename T>
std::size_t TSortedBlocks<T>::MemoryUsage() const {
    std::size_t bytes = sizeof(*this) + m_blocks.capacity() * sizeof(m_blocks[0]) +
                        m_lastEntries.capacity() * sizeof(T) +
                        m_fenwick.capacity() * sizeof(std::size_t);
    for (const auto& b : m_blocks) {
        bytes += sizeof(TBlock) + b->data.capacity() * sizeof(T);
    }
    return bytes;
}

template class TSortedBlocks<std::int32_t>;
template class TSortedBlocks<std::int64_t>;

TRowIndex::TRowIndex(int width, bool narrow) : m_width(width), m_narrowAllowed(narrow) {
    assert(width >= 1 && width <= kMaxColumns);
    if (narrow) {
        m_narrow = std::make_unique<TSortedBlocks<std::int32_t>>(width);
    } else {
        m_wide = std::make_unique<TSortedBlocks<std::int64_t>>(width);
    }
}

TRowIndex::~TRowIndex() = default;

std::size_t TRowIndex::Size() const {
    return m_narrow ? m_narrow->Size() : m_wide->Size();
}

void TRowIndex::Widen() {
    std::vector<std::int64_t> flat;
    flat.reserve(m_narrow->Size() * static_cast<std::size_t>(m_width));
    for (std::size_t r = 0; r < m_narrow->Size(); ++r) {
        const std::int32_t* entry = m_narrow->Find(r);
        for (int c = 0; c < m_width; ++c) {
            flat.push_back(TSortedBlocks<std::int32_t>::Decode(entry[c]));
        }
    }
    m_wide = std::make_unique<TSortedBlocks<std::int64_t>>(m_width);
    m_wide->BulkLoad(flat);
    m_narrow.reset();
}

void TRowIndex::Insert(const std::int64_t* entry) {
    ++m_version;
    if (m_narrow && !EntryFitsNarrow(entry, m_width)) {
        Widen();
    }
    if (m_narrow) {
        m_narrow->Insert(entry);
    } else {
        m_wide->Insert(entry);
    }
}

void TRowIndex::BulkLoad(const std::vector<std::int64_t>& entries) {
    ++m_version;
    const bool narrow = m_narrowAllowed && std::all_of(entries.begin(), entries.end(), FitsNarrow);
    m_narrow.reset();
    m_wide.reset();
    if (narrow) {
        m_narrow = std::make_unique<TSortedBlocks<std::int32_t>>(m_width);
        m_narrow->BulkLoad(entries);
    } else {
        m_wide = std::make_unique<TSortedBlocks<std::int64_t>>(m_width);
        m_wide->BulkLoad(entries);
    }
}

bool TRowIndex::Erase(const std::int64_t* entry) {
    // A narrow index holds no entry that does not fit it.
    const bool erased =
        m_narrow ? EntryFitsNarrow(entry, m_width) && m_narrow->Erase(entry) : m_wide->Erase(entry);
    if (erased) {
        ++m_version;
    }
    return erased;
}

std::size_t TRowIndex::LowerBound(const std::int64_t* key, int columns) const {
    return m_narrow ? m_narrow->LowerBound(key, columns) : m_wide->LowerBound(key, columns);
}

std::size_t TRowIndex::UpperBound(const std::int64_t* key, int columns) const {
    return m_narrow ? m_narrow->UpperBound(key, columns) : m_wide->UpperBound(key, columns);
}

const std::int64_t* TRowIndex::At(std::size_t rank) const {
    if (!m_narrow) {
        return m_wide->Find(rank);
    }
    const std::int32_t* entry = m_narrow->Find(rank);
    for (int c = 0; c < m_width; ++c) {
        m_decoded[static_cast<std::size_t>(c)] = TSortedBlocks<std::int32_t>::Decode(entry[c]);
    }
    return m_decoded.data();
}

bool TRowIndex::Narrow() const {
    return m_narrow != nullptr;
}

std::size_t TRowIndex::MemoryUsage() const {
    return sizeof(*this) + (m_narrow ? m_narrow->MemoryUsage() : m_wide->MemoryUsage());
}

}  // namespace velmora::store
