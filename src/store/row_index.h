// TRowIndex: an ordered multiset of fixed-width integer tuples with positions (ranks).
//
// The table engine keeps one TRowIndex per distinct key layout that a cursor or a lookup needs.
// An entry is `Width()` signed 64-bit columns: the encoded key values, then the record's slot
// number as the last column, so every entry is unique and ties fall back to the order of
// addition. A narrow index stores them in 32 bits while they fit. Entries live in sorted blocks of
// at most 512 entries; a Fenwick tree over the block sizes turns ranks into blocks and back in
// O(log blocks). With n entries in b blocks: bound searches and positional access are O(log n)
// (walking forward by rank is O(1) a step), and a range's length is a subtraction of two ranks.
// Insert and erase find their place in O(log n) and shift the rest of one block (at most 512
// entries). Not every change is logarithmic: a full block splits, and after an erase a block merges
// into its successor when the two hold at most 256 entries together (an emptied block is dropped);
// each of these shifts the list of blocks and rebuilds the Fenwick tree, O(b). A block comes into
// being at most once per about 256 inserts, so these rebuilds are rare, but a single insert or
// erase can pay one. BulkLoad is O(n).
//
// Not thread-safe; the program touches tables from one thread only.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace velmora::store {

template <typename T>
class TSortedBlocks;

class TRowIndex {
public:
    // REQUIRES: 1 <= width <= 16. A narrow index keeps its columns in 32 bits while every value
    // fits (the keys of integer fields and slots): half the memory. A value that does not fit
    // (INT32_MIN itself, a 64-bit key) makes it wide at once, for good.
    explicit TRowIndex(int width, bool narrow = false);
    ~TRowIndex();
    TRowIndex(const TRowIndex&) = delete;
    TRowIndex& operator=(const TRowIndex&) = delete;

    int Width() const { return m_width; }
    std::size_t Size() const;
    // Grows with every change, so a cached rank can tell whether it is still valid.
    std::uint64_t Version() const { return m_version; }
    bool Narrow() const;

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

    // REQUIRES: rank < Size(). The pointer is valid until the next At, Insert or Erase.
    const std::int64_t* At(std::size_t rank) const;

    // Bytes held by the index (for the memory figures of the benchmarks).
    std::size_t MemoryUsage() const;

private:
    void Widen();

    int m_width;
    bool m_narrowAllowed;
    std::uint64_t m_version = 0;
    // Exactly one of the two holds the entries.
    std::unique_ptr<TSortedBlocks<std::int32_t>> m_narrow;
    std::unique_ptr<TSortedBlocks<std::int64_t>> m_wide;
    mutable std::array<std::int64_t, 16> m_decoded{};  // what At hands out of a narrow index
};

}  // namespace velmora::store
