#include "row_index.h"

#include <algorithm>
#include <cassert>
#include <cstring>

namespace velmora::store {
namespace {

// Blocks split when they exceed this many entries; small enough that the insertion shift stays
// cheap, large enough that the block list stays short for a million entries.
constexpr std::size_t kMaxBlockEntries = 512;

}  // namespace

TRowIndex::TRowIndex(int width) : m_width(width) {
    assert(width >= 1);
}

TRowIndex::~TRowIndex() = default;

std::unique_ptr<TRowIndex::TBlock> TRowIndex::NewBlock() const {
    auto block = std::make_unique<TBlock>();
    block->data.reserve(kMaxBlockEntries * static_cast<std::size_t>(m_width));
    return block;
}

void TRowIndex::MakeRoom(TBlock& block) const {
    // A bulk-loaded block is sized to its entries; it grows once, straight to a full block,
    // rather than doubling past it.
    if (block.data.size() == block.data.capacity()) {
        block.data.reserve(kMaxBlockEntries * static_cast<std::size_t>(m_width));
    }
}

int TRowIndex::Compare(const std::int64_t* a, const std::int64_t* b, int columns) const {
    for (int i = 0; i < columns; ++i) {
        if (a[i] != b[i]) {
            return a[i] < b[i] ? -1 : 1;
        }
    }
    return 0;
}

std::size_t TRowIndex::FindBlock(const std::int64_t* key, int columns, bool upper) const {
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

std::size_t TRowIndex::Bound(const std::int64_t* key, int columns, bool upper) const {
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

std::size_t TRowIndex::LowerBound(const std::int64_t* key, int columns) const {
    return Bound(key, columns, false);
}

std::size_t TRowIndex::UpperBound(const std::int64_t* key, int columns) const {
    return Bound(key, columns, true);
}

std::size_t TRowIndex::BlockStart(std::size_t block) const {
    std::size_t sum = 0;
    for (std::size_t i = block; i > 0; i -= i & (~i + 1)) {
        sum += m_fenwick[i];
    }
    return sum;
}

void TRowIndex::FenwickAdd(std::size_t block, std::ptrdiff_t delta) {
    for (std::size_t i = block + 1; i < m_fenwick.size(); i += i & (~i + 1)) {
        m_fenwick[i] = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(m_fenwick[i]) + delta);
    }
}

void TRowIndex::UpdateLastEntry(std::size_t block) {
    const TBlock& b = *m_blocks[block];
    std::copy(b.data.end() - m_width, b.data.end(),
              m_lastEntries.begin() + static_cast<std::ptrdiff_t>(block * m_width));
}

void TRowIndex::RefreshBlock(std::size_t block) {
    m_counts[block] = static_cast<std::uint32_t>(BlockCount(*m_blocks[block]));
    UpdateLastEntry(block);
}

void TRowIndex::InsertBlock(std::size_t at, std::unique_ptr<TBlock> block) {
    const auto count = static_cast<std::uint32_t>(BlockCount(*block));
    m_lastEntries.insert(m_lastEntries.begin() + static_cast<std::ptrdiff_t>(at * m_width),
                         block->data.end() - m_width, block->data.end());
    m_counts.insert(m_counts.begin() + static_cast<std::ptrdiff_t>(at), count);
    m_blocks.insert(m_blocks.begin() + static_cast<std::ptrdiff_t>(at), std::move(block));
    RebuildFenwick();
}

void TRowIndex::RemoveBlock(std::size_t at) {
    m_lastEntries.erase(m_lastEntries.begin() + static_cast<std::ptrdiff_t>(at * m_width),
                        m_lastEntries.begin() + static_cast<std::ptrdiff_t>((at + 1) * m_width));
    m_counts.erase(m_counts.begin() + static_cast<std::ptrdiff_t>(at));
    m_blocks.erase(m_blocks.begin() + static_cast<std::ptrdiff_t>(at));
    RebuildFenwick();
}

void TRowIndex::RebuildFenwick() {
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

void TRowIndex::Insert(const std::int64_t* entry) {
    ++m_version;
    ++m_size;
    // Rising keys (new records, a table being loaded) go after the last entry: no search.
    if (!m_blocks.empty()) {
        const std::size_t last = m_blocks.size() - 1;
        if (m_counts[last] < kMaxBlockEntries &&
            Compare(m_lastEntries.data() + last * m_width, entry, m_width) < 0) {
            MakeRoom(*m_blocks[last]);
            m_blocks[last]->data.insert(m_blocks[last]->data.end(), entry, entry + m_width);
            ++m_counts[last];
            FenwickAdd(last, 1);
            UpdateLastEntry(last);
            return;
        }
    }
    if (m_blocks.empty()) {
        auto first = NewBlock();
        first->data.assign(entry, entry + m_width);
        InsertBlock(0, std::move(first));
        return;
    }
    // The block that holds the first entry greater than the new one, or the last block.
    std::size_t block = FindBlock(entry, m_width, true);
    if (block == m_blocks.size()) {
        --block;
    }
    TBlock& b = *m_blocks[block];
    const std::size_t count = BlockCount(b);
    std::size_t lo = 0;
    std::size_t hi = count;
    while (lo < hi) {
        const std::size_t mid = (lo + hi) / 2;
        if (Compare(b.data.data() + mid * m_width, entry, m_width) > 0) {
            hi = mid;
        } else {
            lo = mid + 1;
        }
    }
    if (count < kMaxBlockEntries) {
        MakeRoom(b);
        b.data.insert(b.data.begin() + static_cast<std::ptrdiff_t>(lo * m_width), entry,
                      entry + m_width);
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
        fresh->data.assign(entry, entry + m_width);
    } else {
        const std::size_t keep = count / 2;
        fresh->data.assign(b.data.begin() + static_cast<std::ptrdiff_t>(keep * m_width),
                           b.data.end());
        b.data.resize(keep * m_width);
        TBlock& target = lo <= keep ? b : *fresh;
        const std::size_t at = lo <= keep ? lo : lo - keep;
        target.data.insert(target.data.begin() + static_cast<std::ptrdiff_t>(at * m_width), entry,
                           entry + m_width);
    }
    RefreshBlock(block);
    InsertBlock(block + 1, std::move(fresh));
}

void TRowIndex::BulkLoad(const std::vector<std::int64_t>& entries) {
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
        block->data.assign(entries.begin() + static_cast<std::ptrdiff_t>(first * m_width),
                           entries.begin() + static_cast<std::ptrdiff_t>(last * m_width));
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

bool TRowIndex::Erase(const std::int64_t* entry) {
    const std::size_t block = FindBlock(entry, m_width, false);
    if (block == m_blocks.size()) {
        return false;
    }
    TBlock& b = *m_blocks[block];
    const std::size_t count = BlockCount(b);
    std::size_t lo = 0;
    std::size_t hi = count;
    while (lo < hi) {
        const std::size_t mid = (lo + hi) / 2;
        if (Compare(b.data.data() + mid * m_width, entry, m_width) >= 0) {
            hi = mid;
        } else {
            lo = mid + 1;
        }
    }
    if (lo == count || Compare(b.data.data() + lo * m_width, entry, m_width) != 0) {
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

const std::int64_t* TRowIndex::At(std::size_t rank) const {
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

std::size_t TRowIndex::MemoryUsage() const {
    std::size_t bytes = sizeof(*this) + m_blocks.capacity() * sizeof(m_blocks[0]) +
                        m_lastEntries.capacity() * sizeof(std::int64_t) +
                        m_fenwick.capacity() * sizeof(std::size_t);
    for (const auto& b : m_blocks) {
        bytes += sizeof(TBlock) + b->data.capacity() * sizeof(std::int64_t);
    }
    return bytes;
}

}  // namespace velmora::store
