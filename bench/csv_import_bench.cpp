// The CSV import at the sizes a user meets in a large export: parsing alone, and the whole import
// (grid, checks, concepts, labels and the hierarchy rebuild) of an exported tree of N rows in
// place of a small ontology.
#include <benchmark/benchmark.h>

#include <string>

#include "code_page.h"
#include "csv_import.h"
#include "data_module.h"

namespace {

using namespace velmora;

// An exported file of n concepts: Japanese titles with commas and quotes, a description with a
// line break, two labels each (one shared by many), a tree where row i hangs under row i / 8.
std::string ExportedFile(int n) {
    std::string text = store::Utf8ToCp932(
        "\"<タイトル>\",\"<解説>\",\"<コメント>\",\"<言語ラベル>\",\"<最終更新者>\",\"<概念識別子>"
        "\",\"<上位概念>\"\r\n");
    const std::string title = store::Utf8ToCp932("概念, \"\"名前\"\" ");
    const std::string descr = store::Utf8ToCp932("説明の一行目\r\n二行目");
    const std::string label = store::Utf8ToCp932("ラベル");
    const std::string shared = store::Utf8ToCp932("共有");
    const std::string editor = store::Utf8ToCp932("山田");
    for (int i = 0; i < n; ++i) {
        const std::string id = "@ID" + std::to_string(i);
        const std::string parent = i == 0 ? "(NULL)" : "@ID" + std::to_string(i / 8);
        text += "\"" + title + std::to_string(i) + "\",\"" + descr + "\",\"\",\"" + label +
                std::to_string(i) + "\r\n" + shared + std::to_string(i % 100) + "\",\"" + editor +
                "\",\"" + id + "\",\"" + parent + "\"\r\n";
    }
    return text;
}

void BM_ParseCSVText(benchmark::State& state) {
    const std::string text = ExportedFile(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        exchange::TCsvGrid grid;
        exchange::ParseCSVText(text, grid);
        benchmark::DoNotOptimize(grid.RowCount());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ParseCSVText)->Arg(100'000)->Unit(benchmark::kMillisecond);

void BM_ImportReplace(benchmark::State& state) {
    const std::string text = ExportedFile(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        store::TSimpleStoreContext context;
        store::TDataModule1 s(context);
        const std::int32_t top = s.BuildNewOntology("top", {});
        state.ResumeTiming();
        exchange::TCsvImportWizard wizard(s, context, top);
        wizard.LoadText(text, "in.csv");
        wizard.SetPlace(exchange::TImportPlace::Replace);
        const exchange::TCsvImportResult result = wizard.Import();
        benchmark::DoNotOptimize(result.Concepts.size());
    }
}
BENCHMARK(BM_ImportReplace)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond);

}  // namespace
