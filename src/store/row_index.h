// TRowIndex: an ordered multiset of fixed-width integer tuples with positions (ranks).
//
// The table engine keeps one TRowIndex per distinct key layout that a cursor or a lookup needs.
// An entry is `Width()` signed 64-bit columns: the encoded key values, then the record's slot
// number as the last column, so every entry is unique and ties fall back to the order of
// addition. Entries live in sorted blocks of at most 512 entries; a Fenwick tree over the block
// sizes turns ranks into blocks and back in O(log blocks). With n entries in b blocks: bound
// searches and positional access are O(log n) (walking forward by rank is O(1) a step), and a
// range's length is a subtraction of two ranks. Insert and erase find their place in O(log n)
// and shift the rest of one block (at most 512 entries). Not every change is logarithmic: a full
// block splits, and after an erase a block merges into its successor when the two hold at most
// 256 entries together (an emptied block is dropped); each of these shifts the list of blocks and
// rebuilds the Fenwick tree, O(b). A block comes into being at most once per about 256 inserts,
// so these rebuilds are rare, but a single insert or erase can pay one. BulkLoad is O(n).
//
// Not thread-safe; the program touches tables from one thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace velmora::store {

class TRowIndex {
public:
    // REQUIRES: width >= 1.
    explicit TRowIndex(int width);
    ~TRowIndex();
    TRowIndex(const TRowIndex&) = delete;
    TRowIndex& operator=(const TRowIndex&) = delete;

    int Width() const { return m_width; }
    std::size_t Size() const { return m_size; }
    // Grows with every change, so a cached rank can tell whether it is still valid.
    std::uint64_t Version() const { return m_version; }

    // REQUIRES: entry has Width() columns and is not present yet.
    void Insert(const std::int64_t* entry);
    // Replaces the contents. REQUIRES: entries holds whole entries, sorted and unique.
    void BulkLoad(const std::vector<std::int64_t>& entries);
    // Returns false when the entry was not present.
    bool Erase(const std::int64_t* entry);

    // Rank of the first entry whose first `columns` columns are >= key (LowerBound) or > key
    // (UpperBound); Size() when there is none. REQUIRES: 0 <= columns <= Width().
    std::size_t LowerBound(const std::int64_t* key, int columns) const;
    std::size_t UpperBound(const std::int64_t* key, int columns) const;

    // REQUIRES: rank < Size(). The pointer is valid until the next Insert or Erase.
    const std::int64_t* At(std::size_t rank) const;

    // Bytes held by the index (for the memory figures of the benchmarks).
    std::size_t MemoryUsage() const;

private:
    struct TBlock {
        std::vector<std::int64_t> data;  // count() * width columns, sorted
    };

    std::unique_ptr<TBlock> NewBlock() const;
    void MakeRoom(TBlock& block) const;  // before an insert into the block
    std::size_t BlockCount(const TBlock& b) const { return b.data.size() / m_width; }
    int Compare(const std::int64_t* a, const std::int64_t* b, int columns) const;
    // Index of the first block whose last entry is >= key (or > key when `upper`).
    std::size_t FindBlock(const std::int64_t* key, int columns, bool upper) const;
    std::size_t Bound(const std::int64_t* key, int columns, bool upper) const;
    std::size_t BlockStart(std::size_t block) const;  // rank of the block's first entry
    void FenwickAdd(std::size_t block, std::ptrdiff_t delta);
    void UpdateLastEntry(std::size_t block);
    void RefreshBlock(std::size_t block);  // its count and last entry, after its content changed
    void InsertBlock(std::size_t at, std::unique_ptr<TBlock> block);
    void RemoveBlock(std::size_t at);
    void RebuildFenwick();

    int m_width;
    std::size_t m_size = 0;
    std::uint64_t m_version = 0;
    std::vector<std::unique_ptr<TBlock>> m_blocks;
    std::vector<std::int64_t> m_lastEntries;  // last entry of each block, packed
    std::vector<std::uint32_t> m_counts;      // entries of each block
    std::vector<std::size_t> m_fenwick;       // 1-based Fenwick tree over block sizes
    // Last block reached by At(), so that walking ranks in order costs O(1) a step.
    mutable std::size_t m_hintBlock = 0;
    mutable std::size_t m_hintStart = 0;
    mutable std::uint64_t m_hintVersion = ~std::uint64_t{0};
};

}  // namespace velmora::store
