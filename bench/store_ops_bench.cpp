// Store operation figures on an ontology of a million concepts, each with its own language
// label and a tenth of them sharing one more: adding concepts, counting a label's uses,
// renaming a label and deleting a subtree of 100,000 concepts with its mirror images and labels.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "data_module.h"

namespace velmora::store {
namespace {

constexpr std::int32_t kConcepts = 1'000'000;
constexpr std::int32_t kSubtree = 100'000;

struct TStore {
    TSimpleStoreContext context;
    TDataModule1 store{context};
    std::int32_t subtreeRoot = 0;

    // Concepts 2..kSubtree+1 form one subtree under concept 2 (each under a random earlier
    // member); the rest hang under random earlier concepts outside it. Every 50th concept gets
    // a mirror image elsewhere.
    void Load() {
        context.SetClock([] { return TDateTime::FromCivil({2024, 4, 1, 9, 0, 0, 0}); });
        std::mt19937 rng(7);
        const std::int32_t top = store.BuildNewOntology("top", {});
        subtreeRoot = store.AppendConcept("root", top, "root");
        for (std::int32_t no = 3; no <= kConcepts; ++no) {
            const bool inSubtree = no <= kSubtree + 1;
            const std::int32_t parent =
                inSubtree ? std::uniform_int_distribution<std::int32_t>(2, no - 1)(rng)
                : no == kSubtree + 2
                    ? top
                    : std::uniform_int_distribution<std::int32_t>(kSubtree + 2, no - 1)(rng);
            store.AppendConcept("concept " + std::to_string(no), parent,
                                "label " + std::to_string(no));
            if (no % 10 == 0) {
                store.AddTermToConcept(no, "shared");
            }
            if (no % 50 == 0) {
                TConceptData item;
                item.SetConceptNo(std::uniform_int_distribution<std::int32_t>(3, no)(rng));
                store.AppendMirrorImage(item, 1 + no % 10);
            }
        }
        for (TTable* table : store.Tables()) {
            table->MergeChangeLog();
        }
    }
};

TStore& Shared() {
    static TStore* shared = [] {
        auto* s = new TStore;
        s->Load();
        return s;
    }();
    return *shared;
}

void BM_AppendConceptWithLabel(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        auto* s = new TStore;
        state.ResumeTiming();
        s->Load();
        state.PauseTiming();
        delete s;
        state.ResumeTiming();
    }
    state.counters["concepts_per_s"] =
        benchmark::Counter(static_cast<double>(kConcepts) * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate);
}
BENCHMARK(BM_AppendConceptWithLabel)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_CountTermUse(benchmark::State& state) {
    TStore& s = Shared();
    s.store.DtStOriginalTerms.Locate("TERM_STRING", TValue(std::string("shared")));
    const std::int32_t shared = s.store.DtStOriginalTerms.FieldByName("TERM_NO").AsInteger();
    int uses = 0;
    for (auto _ : state) {
        uses = s.store.CountTermUse(shared);
        benchmark::DoNotOptimize(uses);
    }
    state.counters["uses"] = uses;
}
BENCHMARK(BM_CountTermUse);

void BM_ReplaceConceptTerm(benchmark::State& state) {
    TStore& s = Shared();
    const int sp = s.store.DtStOriginalTerms.SavePoint();
    const int spa = s.store.DtStOriginalAssociation.SavePoint();
    std::mt19937 rng(3);
    for (auto _ : state) {
        // A concept that carries its own label and the shared one: one rename in place.
        const std::int32_t no =
            10 * std::uniform_int_distribution<std::int32_t>(1, kConcepts / 10 - 1)(rng);
        s.store.ReplaceConceptTerm(no, "label " + std::to_string(no), "renamed");
    }
    s.store.DtStOriginalTerms.SetSavePoint(sp);
    s.store.DtStOriginalAssociation.SetSavePoint(spa);
}
BENCHMARK(BM_ReplaceConceptTerm);

void BM_DeleteConceptTree100k(benchmark::State& state) {
    TStore& s = Shared();
    for (auto _ : state) {
        std::vector<int> points;
        for (TTable* table : s.store.Tables()) {
            points.push_back(table->SavePoint());
        }
        s.store.DeleteConceptTree(s.subtreeRoot);
        state.PauseTiming();
        for (std::size_t i = 0; i < points.size(); ++i) {
            s.store.Tables()[i]->SetSavePoint(points[i]);
        }
        state.ResumeTiming();
    }
    state.counters["concepts_deleted"] = kSubtree;
}
BENCHMARK(BM_DeleteConceptTree100k)->Iterations(2)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace velmora::store
