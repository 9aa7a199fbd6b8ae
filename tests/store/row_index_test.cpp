#include "row_index.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace velmora::store {
namespace {

using TEntry = std::vector<std::int64_t>;

// Compares the first `columns` columns only, as the index's bound searches do.
bool PrefixLess(const TEntry& a, const TEntry& b, int columns) {
    return std::lexicographical_compare(a.begin(), a.begin() + columns, b.begin(),
                                        b.begin() + columns);
}

// Drives a TRowIndex and a std::set with the same operations and compares them.
class TIndexHarness {
public:
    // A narrow harness inserts only values a narrow index keeps in 32 bits, and probes with
    // values it does not (which must still compare right).
    TIndexHarness(int width, std::uint32_t seed, bool narrow = false)
        : m_index(width, narrow), m_rng(seed), m_narrow(narrow) {}

    TRowIndex& Index() { return m_index; }
    std::mt19937& Rng() { return m_rng; }
    const std::set<TEntry>& Model() const { return m_model; }

    void Insert(const TEntry& entry) {
        ASSERT_EQ(static_cast<int>(entry.size()), m_index.Width());
        if (!m_model.insert(entry).second) {
            return;  // the index requires entries to be new
        }
        const std::uint64_t before = m_index.Version();
        m_index.Insert(entry.data());
        EXPECT_GT(m_index.Version(), before);
        ASSERT_EQ(m_index.Size(), m_model.size());
    }

    void Erase(const TEntry& entry) {
        const bool present = m_model.erase(entry) > 0;
        const std::uint64_t before = m_index.Version();
        ASSERT_EQ(m_index.Erase(entry.data()), present);
        if (present) {
            EXPECT_GT(m_index.Version(), before);
        }
        ASSERT_EQ(m_index.Size(), m_model.size());
    }

    // Replaces index and model with `count` new entries.
    void BulkLoad(std::size_t count) {
        m_model.clear();
        while (m_model.size() < count) {
            m_model.insert(NewEntry());
        }
        std::vector<std::int64_t> flat;
        for (const TEntry& e : m_model) {
            flat.insert(flat.end(), e.begin(), e.end());
        }
        const std::uint64_t before = m_index.Version();
        m_index.BulkLoad(flat);
        EXPECT_GT(m_index.Version(), before);
    }

    // An existing entry chosen at random (the model must not be empty).
    TEntry PickExisting() {
        const std::size_t n =
            std::uniform_int_distribution<std::size_t>(0, m_model.size() - 1)(m_rng);
        // Walking the set is linear; stepping from the nearer end keeps it tolerable.
        if (n < m_model.size() / 2) {
            return *std::next(m_model.begin(), static_cast<std::ptrdiff_t>(n));
        }
        return *std::prev(m_model.end(), static_cast<std::ptrdiff_t>(m_model.size() - n));
    }

    // `steps` random changes: an insert with `insertPercent` chance (always when empty), else
    // the erasure of an existing entry; a full check with `probes` probes every `checkEvery`
    // steps. Stops at the first fatal failure.
    void RandomChanges(int steps, int insertPercent, int checkEvery, int probes) {
        std::uniform_int_distribution<int> percent(0, 99);
        for (int step = 0; step < steps; ++step) {
            if (m_model.empty() || percent(m_rng) < insertPercent) {
                Insert(NewEntry());
            } else {
                Erase(PickExisting());
            }
            if (step % checkEvery == 0) {
                CheckAll(probes);
            }
            if (::testing::Test::HasFatalFailure()) {
                return;
            }
        }
    }

    // Full comparison: size, every rank in order and at random, and bound searches on prefixes
    // of every length, for keys that are present and keys that fall between entries.
    void CheckAll(int probes) {
        const std::vector<TEntry> sorted(m_model.begin(), m_model.end());
        ASSERT_EQ(m_index.Size(), sorted.size());
        for (std::size_t r = 0; r < sorted.size(); ++r) {
            ASSERT_EQ(Row(r), sorted[r]) << "rank " << r;
        }
        std::uniform_int_distribution<std::size_t> anyRank(0,
                                                           sorted.empty() ? 0 : sorted.size() - 1);
        for (int i = 0; i < probes && !sorted.empty(); ++i) {
            const std::size_t r = anyRank(m_rng);
            ASSERT_EQ(Row(r), sorted[r]) << "random rank " << r;
        }
        for (int i = 0; i < probes; ++i) {
            TEntry key =
                !sorted.empty() && i % 2 == 0 ? sorted[anyRank(m_rng)] : RandomKey(m_probeExtremes);
            if (i % 3 == 0 && key.back() < std::numeric_limits<std::int64_t>::max()) {
                key.back() += 1;  // a key between or beside entries
            }
            for (int columns = 0; columns <= m_index.Width(); ++columns) {
                const auto lower = std::lower_bound(
                    sorted.begin(), sorted.end(), key,
                    [&](const TEntry& a, const TEntry& b) { return PrefixLess(a, b, columns); });
                const auto upper = std::upper_bound(
                    sorted.begin(), sorted.end(), key,
                    [&](const TEntry& a, const TEntry& b) { return PrefixLess(a, b, columns); });
                ASSERT_EQ(m_index.LowerBound(key.data(), columns),
                          static_cast<std::size_t>(lower - sorted.begin()))
                    << "columns " << columns;
                ASSERT_EQ(m_index.UpperBound(key.data(), columns),
                          static_cast<std::size_t>(upper - sorted.begin()))
                    << "columns " << columns;
            }
        }
    }

    // Key columns from a small range so that prefixes repeat; now and then an extreme value.
    TEntry RandomKey(const std::vector<std::int64_t>& extremes) {
        TEntry e(static_cast<std::size_t>(m_index.Width()));
        std::uniform_int_distribution<int> small(-4, 12);
        std::uniform_int_distribution<std::size_t> rare(0, 24 * extremes.size());
        for (auto& c : e) {
            const std::size_t r = rare(m_rng);
            c = r < extremes.size() ? extremes[r] : small(m_rng);
        }
        return e;
    }

    // A new entry: random key columns and a unique last column, like a record slot.
    TEntry NewEntry() {
        TEntry e = RandomKey(m_narrow ? kNarrowExtremes : m_probeExtremes);
        e.back() = m_nextSlot++;
        return e;
    }

private:
    TEntry Row(std::size_t rank) const {
        const std::int64_t* p = m_index.At(rank);
        return TEntry(p, p + m_index.Width());
    }

    static constexpr std::int64_t kMin64 = std::numeric_limits<std::int64_t>::min();
    static constexpr std::int64_t kMax64 = std::numeric_limits<std::int64_t>::max();
    static constexpr std::int64_t kMin32 = std::numeric_limits<std::int32_t>::min();
    static constexpr std::int64_t kMax32 = std::numeric_limits<std::int32_t>::max();
    inline static const std::vector<std::int64_t> kNarrowExtremes{kMin64, kMin32 + 1, kMax32};

    TRowIndex m_index;
    std::set<TEntry> m_model;
    std::mt19937 m_rng;
    bool m_narrow;
    std::vector<std::int64_t> m_probeExtremes{kMin64,     kMax64,     kMin32,    kMin32 - 1,
                                              kMin32 + 1, kMax32 + 1, kMin64 + 1};
    std::int64_t m_nextSlot = 0;
};

constexpr std::uint32_t kSeeds[] = {1, 20240611, 977};

// Grows the index well past one block, shrinks it to nothing and grows it again, with random
// keys: inserts land in the middle of full blocks (splits) and erasures thin blocks out
// (merges, blocks removed when they empty).
TEST(RowIndexTest, RandomInsertEraseMatchesModel) {
    for (const std::uint32_t seed : kSeeds) {
        for (const int width : {1, 2, 3}) {
            SCOPED_TRACE("seed " + std::to_string(seed) + " width " + std::to_string(width));
            TIndexHarness h(width, seed);
            std::uniform_int_distribution<int> percent(0, 99);
            int step = 0;
            for (const int insertShare : {75, 25, 75, 25}) {
                // Each phase runs until the index has grown past 3000 entries or emptied.
                const bool growing = insertShare > 50;
                for (int n = 0; n < 20000; ++n, ++step) {
                    if (h.Model().empty() || percent(h.Rng()) < insertShare) {
                        h.Insert(width == 1 ? TEntry{h.NewEntry().back() * 7 % 100003}
                                            : h.NewEntry());
                    } else if (percent(h.Rng()) < 10) {
                        h.Erase(h.NewEntry());  // absent: must be refused
                    } else {
                        h.Erase(h.PickExisting());
                    }
                    if (step % 250 == 0) {
                        h.CheckAll(20);
                    }
                    if (HasFatalFailure()) {
                        return;
                    }
                    if (growing ? h.Model().size() > 3000 : h.Model().empty()) {
                        break;
                    }
                }
                h.CheckAll(50);
                if (HasFatalFailure()) {
                    return;
                }
            }
        }
    }
}

// The same in a narrow index: its entries are kept in 32 bits, and keys that do not fit them
// (null excepted) still find their place among the entries.
TEST(RowIndexTest, NarrowIndexMatchesModel) {
    for (const std::uint32_t seed : kSeeds) {
        for (const int width : {1, 2, 3}) {
            SCOPED_TRACE("seed " + std::to_string(seed) + " width " + std::to_string(width));
            TIndexHarness h(width, seed, true);
            h.RandomChanges(6000, 70, 500, 30);
            if (HasFatalFailure()) {
                return;
            }
            h.BulkLoad(2000);
            h.CheckAll(50);
            EXPECT_TRUE(h.Index().Narrow());
        }
    }
}

// An entry that does not fit 32 bits turns a narrow index wide, keeping every entry and rank;
// an entry that does not fit cannot be present, so erasing it is refused.
TEST(RowIndexTest, AnEntryThatDoesNotFitMakesANarrowIndexWide) {
    for (const std::int64_t misfit :
         {std::int64_t{std::numeric_limits<std::int32_t>::min()}, std::int64_t{1} << 40}) {
        SCOPED_TRACE(misfit);
        TIndexHarness h(2, 5, true);
        h.BulkLoad(1500);
        ASSERT_TRUE(h.Index().Narrow());
        const std::uint64_t before = h.Index().Version();
        h.Erase(TEntry{misfit, 0});
        EXPECT_EQ(h.Index().Version(), before);
        h.Insert(TEntry{misfit, 1 << 20});
        EXPECT_FALSE(h.Index().Narrow());
        h.CheckAll(50);
        h.Erase(TEntry{misfit, 1 << 20});
        h.Insert(h.NewEntry());
        h.CheckAll(50);
        // A bulk load of entries that fit makes it narrow again.
        h.BulkLoad(100);
        EXPECT_TRUE(h.Index().Narrow());
    }
}

// Keys that only rise append at the end (the full last block is left as it is); keys that only
// fall insert at the front of the first block. Both are then erased again in mixed orders.
TEST(RowIndexTest, RisingAndFallingKeys) {
    constexpr std::int64_t kCount = 6000;
    struct TCase {
        const char* name;
        bool rising;
        bool eraseFromFront;
    };
    constexpr TCase kCases[] = {
        {"rising, erased from the front", true, true},
        {"rising, erased at random", true, false},
        {"falling, erased from the front", false, true},
        {"falling, erased at random", false, false},
    };
    for (const TCase& c : kCases) {
        SCOPED_TRACE(c.name);
        TIndexHarness h(2, 42);
        for (std::int64_t i = 0; i < kCount; ++i) {
            const std::int64_t key = c.rising ? i : kCount - i;
            h.Insert({key / 3, key});  // repeated first column, unique second
            if (i % 1000 == 0) {
                h.CheckAll(10);
            }
        }
        h.CheckAll(100);
        while (!h.Model().empty()) {
            h.Erase(c.eraseFromFront ? *h.Model().begin() : h.PickExisting());
            if (h.Model().size() % 500 == 0) {
                h.CheckAll(10);
            }
            if (HasFatalFailure()) {
                return;
            }
        }
        h.CheckAll(5);
        // An emptied index must still accept entries.
        h.Insert({1, 1});
        h.Insert({0, 2});
        h.CheckAll(5);
    }
}

// A bulk-loaded index (as after reading a file) must behave like one built entry by entry,
// also for the changes that follow; loading replaces what was there.
TEST(RowIndexTest, BulkLoadThenChanges) {
    for (const std::size_t count : {0u, 1u, 383u, 384u, 385u, 5000u}) {
        SCOPED_TRACE("count " + std::to_string(count));
        TIndexHarness h(3, static_cast<std::uint32_t>(count));
        for (int i = 0; i < 700; ++i) {
            h.Insert(h.NewEntry());  // contents to be replaced
        }
        h.BulkLoad(count);
        h.CheckAll(50);
        h.RandomChanges(4000, 50, 400, 10);
        if (HasFatalFailure()) {
            return;
        }
        h.CheckAll(50);
    }
}

TEST(RowIndexTest, EmptyIndex) {
    TRowIndex index(2);
    const std::int64_t key[] = {5, 5};
    EXPECT_EQ(index.Size(), 0u);
    EXPECT_EQ(index.LowerBound(key, 2), 0u);
    EXPECT_EQ(index.UpperBound(key, 0), 0u);
    EXPECT_FALSE(index.Erase(key));
    EXPECT_EQ(index.Size(), 0u);
}

// Walking ranks in order uses a cached block; a walk across a change must not read through a
// stale cache.
TEST(RowIndexTest, OrderedWalkAcrossChanges) {
    TIndexHarness h(1, 7);
    for (std::int64_t i = 0; i < 2000; ++i) {
        h.Insert({i * 2});
    }
    TRowIndex& index = h.Index();
    for (std::size_t r = 0; r + 1 < index.Size(); r += 97) {
        ASSERT_EQ(*index.At(r), static_cast<std::int64_t>(r) * 2);
        // An entry before the walk's position shifts every later rank by one.
        h.Insert({-static_cast<std::int64_t>(r) - 1});
        ASSERT_EQ(*index.At(r + 1), static_cast<std::int64_t>(r) * 2);
        h.Erase({-static_cast<std::int64_t>(r) - 1});
        ASSERT_EQ(*index.At(r + 1), static_cast<std::int64_t>(r + 1) * 2);
    }
    h.CheckAll(10);
}

}  // namespace
}  // namespace velmora::store
