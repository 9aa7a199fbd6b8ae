// Hierarchy engine figures on an ontology of a million concepts: the children of a concept with
// 10,000 children, a 10,000-item level that needs renumbering, the has-children test, the top
// concept, the cycle check of a move deep in the tree, copying a 10,000-concept subtree, the
// save-time checks over 100,000 mirror images, and the data side of the workspace's heavy
// commands: deleting a subtree of 100,000 concepts and merging two concepts of 10,000 children.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "data_module.h"
#include "questions.h"
#include "seeker.h"

namespace velmora::engine {
namespace {

using store::TValue;

constexpr std::int32_t kConcepts = 1'000'000;
constexpr std::int32_t kWide = 10'000;
constexpr std::int32_t kImages = 100'000;
constexpr std::int32_t kBig = 100'000;

struct TOntologyUnderTest {
    store::TSimpleStoreContext context;
    store::TDataModule1 store{context};
    store::TFixedAnswer answers{store::TAnswer::No};
    TDataModuleSeeker seeker{store, answers};
    std::int32_t wide = 0;      // a concept with kWide children numbered 1..kWide
    std::int32_t unplaced = 0;  // a concept with kWide children all at 10000
    std::int32_t subtree = 0;   // the root of a subtree of kWide concepts
    std::int32_t big = 0;       // the root of a subtree of kBig concepts
    std::int32_t deep = 0;      // a leaf deep in the random part
    std::int32_t deepTarget = 0;

    std::int32_t Append(const std::string& title, std::int32_t parent, std::int32_t order) {
        store::TTable& c = store.DtStOriginalConcepts;
        c.AppendRecord({TValue{}, title, "@" + title, TValue{}, TValue{}, parent, order, -1, -1});
        return c.FieldByName("RECORD_NO").AsInteger();
    }

    void Load() {
        store.CreateTables();
        std::mt19937 rng(11);
        const std::int32_t top = Append("top", 0, 1);
        wide = Append("wide", top, 1);
        unplaced = Append("unplaced", top, 2);
        subtree = Append("subtree", top, 3);
        for (std::int32_t i = 1; i <= kWide; ++i) {
            Append("w" + std::to_string(i), wide, i);
            Append("u" + std::to_string(i), unplaced, 10000);
        }
        std::vector<std::int32_t> members{subtree};
        std::vector<std::int32_t> childCount(kConcepts + 1, 0);
        for (std::int32_t i = 1; i < kWide; ++i) {
            const std::int32_t parent = members[rng() % members.size()];
            members.push_back(Append("s" + std::to_string(i), parent, ++childCount[parent]));
        }
        big = Append("big", top, 4);
        std::vector<std::int32_t> bigMembers{big};
        for (std::int32_t i = 1; i < kBig; ++i) {
            const std::int32_t parent = bigMembers[rng() % bigMembers.size()];
            bigMembers.push_back(Append("b" + std::to_string(i), parent, ++childCount[parent]));
        }
        // The rest: each under a random earlier concept of the random part, so depth grows
        // like a logarithm of the size with a long tail.
        std::vector<std::int32_t> rest{top};
        std::vector<std::int32_t> depth(kConcepts + 1, 0);
        std::int32_t deepest = top;
        while (store.DtStOriginalConcepts.RecordCount() < kConcepts) {
            const std::int32_t parent = rest[rng() % rest.size()];
            const std::int32_t no = Append("r", parent, ++childCount[parent]);
            rest.push_back(no);
            depth[no] = depth[parent] + 1;
            if (depth[no] > depth[deepest]) {
                deepest = no;
            }
        }
        deep = deepest;
        deepTarget = rest[rest.size() / 2];
        // Mirror images of relation 2 to 10 between random concepts of the random part, and a
        // few of relation 1 from the wide concept's children (no cycles: they point sideways).
        store::TTable& n = store.DtStOriginalNetWork;
        for (std::int32_t i = 0; i < kImages; ++i) {
            const std::int32_t from = rest[rng() % rest.size()];
            const std::int32_t to = rest[rng() % rest.size()];
            n.AppendRecord({TValue{}, from, to, TValue{}, 2 + i % 9, -1, -1});
        }
        for (store::TTable* table : store.Tables()) {
            table->MergeChangeLog();
        }
    }

    std::unique_ptr<store::TSavePoint> SavePoint() { return store.TakeSavePoint({}); }
    void RollBack(const std::unique_ptr<store::TSavePoint>& point) { store.RollBackTo(*point); }
};

TOntologyUnderTest& Shared() {
    static TOntologyUnderTest* shared = [] {
        auto* o = new TOntologyUnderTest;
        o->Load();
        return o;
    }();
    return *shared;
}

void BM_ChildrenOfAWideConcept(benchmark::State& state) {
    TOntologyUnderTest& o = Shared();
    for (auto _ : state) {
        o.seeker.SetSeekMode(smChildren);
        o.seeker.SetSeekNo(o.wide);
        benchmark::DoNotOptimize(o.seeker.GetItems().Count());
    }
    state.counters["items"] = kWide;
}
BENCHMARK(BM_ChildrenOfAWideConcept)->Unit(benchmark::kMillisecond);

void BM_LevelWithRenumbering(benchmark::State& state) {
    TOntologyUnderTest& o = Shared();
    o.store.DtStOriginalConcepts.Locate("PARENT_NO", TValue(o.unplaced));
    const std::int32_t member = o.store.DtStOriginalConcepts.FieldByName("RECORD_NO").AsInteger();
    for (auto _ : state) {
        const auto points = o.SavePoint();
        o.seeker.SetSeekMode(smLevel);
        o.seeker.SetSeekNo(member);
        benchmark::DoNotOptimize(o.seeker.GetItems().Count());
        state.PauseTiming();
        o.RollBack(points);  // back to 10000 everywhere for the next round
        state.ResumeTiming();
    }
    state.counters["items"] = kWide;
}
BENCHMARK(BM_LevelWithRenumbering)->Unit(benchmark::kMillisecond);

void BM_HasChildRecords(benchmark::State& state) {
    TOntologyUnderTest& o = Shared();
    std::mt19937 rng(5);
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            o.seeker.HasChildRecords(1 + static_cast<std::int32_t>(rng() % kConcepts)));
    }
}
BENCHMARK(BM_HasChildRecords);

void BM_GetTopNode(benchmark::State& state) {
    TOntologyUnderTest& o = Shared();
    for (auto _ : state) {
        benchmark::DoNotOptimize(o.seeker.GetTopNode().ConceptNo());
    }
}
BENCHMARK(BM_GetTopNode);

void BM_CycleCheckOfADeepMove(benchmark::State& state) {
    TOntologyUnderTest& o = Shared();
    for (auto _ : state) {
        o.seeker.CheckReferenceCycle(o.deep, o.deepTarget);
    }
}
BENCHMARK(BM_CycleCheckOfADeepMove)->Unit(benchmark::kMicrosecond);

// The walk below the moved concept visits its whole subtree: here 10,000 concepts.
void BM_CycleCheckOfASubtreeMove(benchmark::State& state) {
    TOntologyUnderTest& o = Shared();
    for (auto _ : state) {
        o.seeker.CheckReferenceCycle(o.subtree, o.wide);
    }
    state.counters["concepts_below"] = kWide;
}
BENCHMARK(BM_CycleCheckOfASubtreeMove)->Unit(benchmark::kMillisecond);

void BM_CopySubtreeOf10k(benchmark::State& state) {
    TOntologyUnderTest& o = Shared();
    TConceptList items;
    items.AddNew().SetConceptNo(o.subtree);
    TConceptData target;
    target.SetConceptNo(o.wide);
    for (auto _ : state) {
        const auto points = o.SavePoint();
        benchmark::DoNotOptimize(o.seeker.CopyItems(items, target)->Count());
        state.PauseTiming();
        o.RollBack(points);
        state.ResumeTiming();
    }
    state.counters["concepts"] = kWide;
}
BENCHMARK(BM_CopySubtreeOf10k)->Unit(benchmark::kMillisecond);

// The delete command on a subtree of 100,000 concepts (the concepts, their labels' links and
// mirror images all go), and its undo.
void BM_DeleteSubtreeOf100k(benchmark::State& state) {
    TOntologyUnderTest& o = Shared();
    TConceptData item;
    item.SetConceptNo(o.big);
    for (auto _ : state) {
        const auto point = o.SavePoint();
        o.store.DeleteItem(item);
        state.PauseTiming();
        o.RollBack(point);
        state.ResumeTiming();
    }
    state.counters["concepts"] = kBig;
}
BENCHMARK(BM_DeleteSubtreeOf100k)->Unit(benchmark::kMillisecond)->Iterations(3);

// The merge command on two concepts that carry 10,000 children each.
void BM_MergeTwoConceptsOf10kChildren(benchmark::State& state) {
    TOntologyUnderTest& o = Shared();
    TConceptList items;
    items.AddNew().SetConceptNo(o.wide);
    items.AddNew().SetConceptNo(o.unplaced);
    for (auto _ : state) {
        const auto point = o.SavePoint();
        TConceptData merged;
        o.store.MergeConcepts(items, &merged);
        benchmark::DoNotOptimize(merged.ConceptNo());
        state.PauseTiming();
        o.RollBack(point);
        state.ResumeTiming();
    }
    state.counters["children"] = 2 * kWide;
}
BENCHMARK(BM_MergeTwoConceptsOf10kChildren)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_SupportChecksOver100kImages(benchmark::State& state) {
    TOntologyUnderTest& o = Shared();
    for (auto _ : state) {
        const auto points = o.SavePoint();
        benchmark::DoNotOptimize(o.seeker.RunSupportChecks());
        state.PauseTiming();
        o.RollBack(points);
        state.ResumeTiming();
    }
    state.counters["images"] = kImages;
}
BENCHMARK(BM_SupportChecksOver100kImages)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace velmora::engine
