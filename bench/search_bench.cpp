// Search figures on a generated ontology of a million concepts with labels (velmora-cli's
// generator): a search over all five fields, the same with the Japanese-aware folding, the
// snapshot and folded copies made after a change, show-all listed in the window until it is
// idle again, and sorting a million rows by title (collation ranks included) and by a date.
//
//   cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELMORA_BUILD_BENCHMARKS=ON
//   cmake --build build/release -j2 --target search_bench && build/release/bench/search_bench

#include <benchmark/benchmark.h>

#include <QApplication>
#include <cstdlib>
#include <string>

#include "code_page.h"
#include "concept_search.h"
#include "data_module.h"
#include "ontology.h"
#include "ontology_builder.h"
#include "ontology_tables.h"
#include "search_form.h"
#include "search_result_model.h"

namespace velmora::search {
namespace {

constexpr std::int32_t kConcepts = 1'000'000;

struct TGenerated {
    store::TSimpleStoreContext Context;
    store::TDataModule1 Store{Context};
    store::TOntology Ontology;

    TGenerated() {
        cli::TGenerateOptions options;
        options.Concepts = kConcepts;
        cli::GenerateOntology(Store, Ontology, Context, options);
    }
};

TGenerated& Data() {
    static TGenerated data;
    return data;
}

TSearchOptions AllFields(bool fuzzy) {
    TSearchOptions options;
    options.Fields = {true, true, true, true, true};
    options.Fuzzy = fuzzy;
    return options;
}

// Changes one title, so that the next search makes its snapshot anew.
void TouchTitle(store::TDataModule1& store, int round) {
    store::TTable& c = store.DtStOriginalConcepts;
    c.Locate(store::kFieldRecordNo, store::TValue(2));
    c.Edit();
    c.FieldByName(store::kFieldTitle).SetAsString("touched " + std::to_string(round));
    c.Post();
}

void Search(benchmark::State& state, const char* utf8, bool fuzzy) {
    TConceptSearch search(Data().Store);
    const std::string needle = store::Utf8ToCp932(utf8);
    search.Search(needle, AllFields(fuzzy));  // snapshot (and folded copies) made
    std::size_t hits = 0;
    for (auto _ : state) {
        hits = search.Search(needle, AllFields(fuzzy)).Rows.size();
    }
    state.counters["hits"] = static_cast<double>(hits);
    state.counters["snapshot_MB"] =
        static_cast<double>(search.Snapshot()->MemoryUsage()) / (1024.0 * 1024.0);
}

void BM_SearchAllFields_Common(benchmark::State& state) {
    Search(state, "赤い", false);
}
void BM_SearchAllFields_Rare(benchmark::State& state) {
    Search(state, "存在しない語", false);
}
void BM_SearchAllFields_Fuzzy(benchmark::State& state) {
    Search(state, "赤ｲ", true);  // half-width イ meets the hiragana い
}
void BM_SearchAllFields_FuzzyDigits(benchmark::State& state) {
    Search(state, "１２３４５６", true);
}

// The first search after an edit: the snapshot is made again (and the folded copies too).
void BM_SearchAfterAnEdit(benchmark::State& state) {
    const bool fuzzy = state.range(0) != 0;
    TConceptSearch search(Data().Store);
    const std::string needle = store::Utf8ToCp932("赤い");
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        TouchTitle(Data().Store, ++round);
        state.ResumeTiming();
        benchmark::DoNotOptimize(search.Search(needle, AllFields(fuzzy)).Rows.size());
    }
}

// Show-all from the button's handler until the window has handled every event it caused.
void BM_ShowAllInTheWindow(benchmark::State& state) {
    store::TFixedAnswer yes(store::TAnswer::Yes);
    TFormSearch form(
        Data().Store, [](const store::TConceptData&) {}, nullptr, &yes);
    form.ShowSearch();
    QApplication::processEvents();
    for (auto _ : state) {
        form.ButtonShowAllClick();
        QApplication::processEvents();
        benchmark::DoNotOptimize(form.ResultModel().rowCount());
    }
    state.counters["rows"] = form.ResultModel().rowCount();
}

// Sorting a million rows once, as a header click does: the first sort of a result computes
// the collation ranks of its titles.
void BM_SortMillionRows(benchmark::State& state) {
    const int column = static_cast<int>(state.range(0));
    TConceptSearch search(Data().Store);
    TSearchResultModel model;
    for (auto _ : state) {
        state.PauseTiming();
        model.SetResult(search.ShowAll(), true);
        state.ResumeTiming();
        model.SortRows(column, false);
    }
    state.counters["rows"] = model.rowCount();
}

// A second click on the same result (ranks known): descending.
void BM_SortMillionRowsAgain(benchmark::State& state) {
    TConceptSearch search(Data().Store);
    TSearchResultModel model;
    model.SetResult(search.ShowAll(), true);
    model.SortRows(TSearchResultModel::ColumnTitle, false);
    bool descending = true;
    for (auto _ : state) {
        model.SortRows(TSearchResultModel::ColumnTitle, descending);
        descending = !descending;
    }
}

BENCHMARK(BM_SearchAllFields_Common)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchAllFields_Rare)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchAllFields_Fuzzy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchAllFields_FuzzyDigits)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchAfterAnEdit)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ShowAllInTheWindow)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SortMillionRows)
    ->Arg(TSearchResultModel::ColumnTitle)
    ->Arg(TSearchResultModel::ColumnCreated)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(BM_SortMillionRowsAgain)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace velmora::search

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
