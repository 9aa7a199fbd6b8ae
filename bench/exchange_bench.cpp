// Exchange figures on an ontology of a million concepts: the CSV export of the whole hierarchy
// from the top concept, once as the walk that builds the lines in memory and once as the whole
// export with the file written and synced; and a text import of 100,000 lines.

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "code_page.h"
#include "csv_export.h"
#include "data_module.h"
#include "questions.h"
#include "seeker.h"
#include "text_import.h"

namespace velmora::exchange {
namespace {

using store::TValue;

constexpr std::int32_t kConcepts = 1'000'000;
constexpr std::int32_t kImages = 20'000;  // about 2%, as in generated ontologies
constexpr std::int32_t kTextLines = 100'000;

struct TOntologyUnderTest {
    store::TSimpleStoreContext context;
    store::TDataModule1 store{context};
    store::TFixedAnswer answers{store::TAnswer::Yes};
    engine::TDataModuleSeeker seeker{store, answers};
    std::int32_t top = 0;

    void Load() {
        store.CreateTables();
        store::TTable& c = store.DtStOriginalConcepts;
        store::TTable& terms = store.DtStOriginalTerms;
        store::TTable& assoc = store.DtStOriginalAssociation;
        std::mt19937 rng(7);
        const TValue now = store::TDateTime::Now();
        const std::string titleWord = store::Utf8ToCp932("概念");
        const std::string label = store::Utf8ToCp932("ラベル");
        const TValue description = store::Utf8ToCp932("解説, \"引用\"\r\n二行目");
        const std::string editor = store::Utf8ToCp932("無記名");
        std::vector<std::int32_t> childCount(kConcepts + 2, 0);
        std::vector<std::int32_t> numbers;
        numbers.reserve(kConcepts);
        for (std::int32_t i = 0; i < kConcepts; ++i) {
            // Each concept under a random earlier one: depth grows like a logarithm.
            const std::int32_t parent = numbers.empty() ? 0 : numbers[rng() % numbers.size()];
            const std::string title = titleWord + std::to_string(i);
            c.AppendRecord({TValue{}, title, "@ABCDEFG%" + title,
                            i % 10 == 0 ? description : TValue{}, TValue{}, parent,
                            parent == 0 ? 10000 : ++childCount[parent], -1, -1, now, now, editor});
            const std::int32_t no = c.FieldByName("RECORD_NO").AsInteger();
            numbers.push_back(no);
            terms.AppendRecord({TValue{}, label + std::to_string(i), TValue{}});
            const std::int32_t term = terms.FieldByName("TERM_NO").AsInteger();
            assoc.AppendRecord({TValue{}, no, term, TValue{}});
        }
        top = numbers.front();
        store::TTable& n = store.DtStOriginalNetWork;
        for (std::int32_t i = 0; i < kImages; ++i) {
            const std::int32_t from = numbers[rng() % numbers.size()];
            const std::int32_t to = numbers[rng() % numbers.size()];
            n.AppendRecord({TValue{}, from, to, ++childCount[from], 1 + i % 10, -1, -1});
        }
        for (store::TTable* table : store.Tables()) {
            table->MergeChangeLog();
        }
    }
};

TOntologyUnderTest& Shared() {
    static TOntologyUnderTest* shared = [] {
        auto* o = new TOntologyUnderTest;
        o->Load();
        return o;
    }();
    return *shared;
}

std::string TempPath(const std::string& name) {
    return (std::filesystem::temp_directory_path() /
            ("velmora_bench_" + std::to_string(::getpid()) + "_" + name))
        .string();
}

void BM_ExportWalkOfAMillionConcepts(benchmark::State& state) {
    TOntologyUnderTest& o = Shared();
    TDataModuleExport exporter(o.store, o.seeker);
    store::TConceptData item;
    item.SetConceptNo(o.top);
    int lines = 0;
    for (auto _ : state) {
        exporter.OpenExportCursors();
        TExportLines collected;
        exporter.AppendSubtree(item, collected, true);
        lines = collected.Count();
        benchmark::DoNotOptimize(collected.FileText().size());
    }
    state.counters["lines"] = lines;
}
BENCHMARK(BM_ExportWalkOfAMillionConcepts)->Unit(benchmark::kMillisecond);

void BM_ExportFileOfAMillionConcepts(benchmark::State& state) {
    TOntologyUnderTest& o = Shared();
    TDataModuleExport exporter(o.store, o.seeker);
    store::TConceptList items;
    items.AddNew().SetConceptNo(o.top);
    const std::string path = TempPath("export.csv");
    int lines = 0;
    for (auto _ : state) {
        lines = exporter.WriteCSV(items, path);
    }
    state.counters["lines"] = lines;
    state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(path));
    std::filesystem::remove(path);
}
BENCHMARK(BM_ExportFileOfAMillionConcepts)->Unit(benchmark::kMillisecond);

void BM_TextImportOf100kLines(benchmark::State& state) {
    const std::string path = TempPath("import.txt");
    {
        std::ofstream out(path, std::ios::binary);
        const std::string word = store::Utf8ToCp932("取り込み");
        for (std::int32_t i = 0; i < kTextLines; ++i) {
            out << word << i << "\r\n";
        }
    }
    for (auto _ : state) {
        state.PauseTiming();
        store::TSimpleStoreContext context;
        store::TDataModule1 store(context);
        store::TFixedAnswer answers(store::TAnswer::Yes);
        store.CreateTables();
        store::TConceptData current;
        current.SetConceptNo(store.AppendConcept("top", 0, "top"));
        state.ResumeTiming();
        benchmark::DoNotOptimize(ImportTextFile(store, current, path, answers).Created.size());
    }
    state.counters["lines"] = kTextLines;
    std::filesystem::remove(path);
}
BENCHMARK(BM_TextImportOf100kLines)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace velmora::exchange
