// Table engine figures on a concept table of a million records with a generated hierarchy:
// loading, lookups, master-linked child walks, filtered counts, edits, rollback and memory.

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "ontology.h"
#include "ontology_tables.h"
#include "stream.h"
#include "table.h"

namespace velmora::store {
namespace {

constexpr std::int32_t kConcepts = 1'000'000;

// A generated ontology: each concept's parent is a random earlier concept (a random recursive
// tree, as when a user files new concepts anywhere), list order 1..k per parent, titles of
// 10 to 20 double-byte code page 932 characters (hiragana, katakana, kanji).
struct TGenerated {
    std::vector<std::int32_t> parent;
    std::vector<std::int32_t> order;
    std::vector<std::string> title;
    std::vector<std::string> identifier;
    std::size_t textBytes = 0;
};

const std::string kEditor = "\x96\xb3\x8b\x4c\x96\xbc";  // 無記名

std::string RandomTitle(std::mt19937& rng) {
    std::uniform_int_distribution<int> length(10, 20);
    std::uniform_int_distribution<int> script(0, 2);
    std::uniform_int_distribution<int> hiragana(0x9f, 0xf1);
    std::uniform_int_distribution<int> katakana(0x40, 0x96);
    std::uniform_int_distribution<int> kanjiLead(0x89, 0x97);
    std::uniform_int_distribution<int> kanjiTrail(0x80, 0xfc);
    std::string s;
    const int n = length(rng);
    for (int i = 0; i < n; ++i) {
        switch (script(rng)) {
            case 0:
                s += '\x82';
                s += static_cast<char>(hiragana(rng));
                break;
            case 1: {
                const int t = katakana(rng);
                s += '\x83';
                s += static_cast<char>(t == 0x7f ? 0x80 : t);
                break;
            }
            default:
                s += static_cast<char>(kanjiLead(rng));
                s += static_cast<char>(kanjiTrail(rng));
        }
    }
    return s;
}

std::string Identifier(std::int32_t no, const std::string& title) {
    std::string code(7, 'A');
    for (int i = 6, n = no; i >= 0; --i, n /= 26) {
        code[static_cast<std::size_t>(i)] = static_cast<char>('A' + n % 26);
    }
    return "@" + code + "%" + title.substr(0, 246);
}

const TGenerated& Generated() {
    static const TGenerated g = [] {
        TGenerated out;
        std::mt19937 rng(12345);
        std::vector<std::int32_t> children(kConcepts + 1, 0);
        out.parent.reserve(kConcepts);
        out.order.reserve(kConcepts);
        out.title.reserve(kConcepts);
        out.identifier.reserve(kConcepts);
        for (std::int32_t no = 1; no <= kConcepts; ++no) {
            const std::int32_t parent =
                no == 1 ? 0 : std::uniform_int_distribution<std::int32_t>(1, no - 1)(rng);
            out.parent.push_back(parent);
            out.order.push_back(++children[static_cast<std::size_t>(parent)]);
            out.title.push_back(RandomTitle(rng));
            out.identifier.push_back(Identifier(no, out.title.back()));
            out.textBytes +=
                out.title.back().size() + out.identifier.back().size() + kEditor.size();
        }
        return out;
    }();
    return g;
}

void AppendConcept(TCursor& t, const TGenerated& g, std::size_t i) {
    const auto created = TDateTime::FromCivil({2024, 4, 1, 9, 0, 0, static_cast<int>(i % 1000)});
    t.Append();
    t.FieldByName("TITLE").SetAsString(g.title[i]);
    t.FieldByName("IDENTIFIER").SetAsString(g.identifier[i]);
    t.FieldByName("PARENT_NO").SetAsInteger(g.parent[i]);
    t.FieldByName("LIST_ORDER").SetAsInteger(g.order[i]);
    t.FieldByName("ICON_POS_X").SetAsInteger(-1);
    t.FieldByName("ICON_POS_Y").SetAsInteger(-1);
    t.FieldByName("DATE_CREATION").SetAsDateTime(created);
    t.FieldByName("DATE_EDITION").SetAsDateTime(created);
    t.FieldByName("EDITOR").SetAsString(kEditor);
    t.Post();
}

// The concept table as the program keeps it: ordered by number, with a clone ordered by
// "PARENT_NO;LIST_ORDER" for the hierarchy.
struct TConcepts {
    TTable table{std::string(kDtStOriginalConcepts), ConceptsFieldDefs(),
                 std::string(kConceptsDefaultIndex)};
    TCursor byParent;

    void Load() {
        table.CreateDataSet();
        byParent.CloneCursor(table, true);
        byParent.SetIndexFieldNames("PARENT_NO;LIST_ORDER");
        byParent.First();  // builds the index before the records arrive
        const TGenerated& g = Generated();
        for (std::size_t i = 0; i < g.parent.size(); ++i) {
            AppendConcept(table, g, i);
        }
        table.MergeChangeLog();
    }
};

std::size_t HeapInUse() {
    const struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;  // small blocks plus mmap-ed large ones
}

// Loaded once and shared by the read and edit benchmarks, which leave it as they found it.
TConcepts& Shared() {
    static TConcepts* shared = [] {
        auto* c = new TConcepts;
        c->Load();
        return c;
    }();
    return *shared;
}

// Random numbers drawn ahead, so that the loops time the engine only.
std::vector<std::int32_t> RandomNumbers(std::int32_t lo, std::int32_t hi, std::uint32_t seed) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<std::int32_t> d(lo, hi);
    std::vector<std::int32_t> v(1 << 16);
    for (auto& n : v) {
        n = d(rng);
    }
    return v;
}

void BM_AppendConcepts(benchmark::State& state) {
    const TGenerated& g = Generated();
    for (auto _ : state) {
        const std::size_t before = HeapInUse();
        auto c = std::make_unique<TConcepts>();
        c->Load();
        const std::size_t after = HeapInUse();
        state.PauseTiming();
        const double overhead =
            static_cast<double>(after - before) - static_cast<double>(g.textBytes);
        state.counters["heap_bytes_per_record"] = static_cast<double>(after - before) / kConcepts;
        state.counters["overhead_bytes_per_record"] = overhead / kConcepts;
        state.counters["text_bytes_per_record"] = static_cast<double>(g.textBytes) / kConcepts;
        state.counters["engine_reported_bytes_per_record"] =
            static_cast<double>(c->table.MemoryUsage()) / kConcepts;
        c.reset();
        state.ResumeTiming();
    }
    state.counters["records_per_s"] =
        benchmark::Counter(static_cast<double>(kConcepts) * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate);
}
BENCHMARK(BM_AppendConcepts)->Iterations(2)->Unit(benchmark::kMillisecond);

void BM_LocateRecordNo(benchmark::State& state) {
    TConcepts& c = Shared();
    const auto numbers = RandomNumbers(1, kConcepts, 1);
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(c.table.Locate("RECORD_NO", TValue(numbers[i++ & 0xffff])));
    }
    state.counters["lookups_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_LocateRecordNo);

// The lookup the store makes for a sibling of the same title.
void BM_LocateTitleAndParent(benchmark::State& state) {
    TConcepts& c = Shared();
    const TGenerated& g = Generated();
    const auto numbers = RandomNumbers(0, kConcepts - 1, 2);
    std::size_t i = 0;
    for (auto _ : state) {
        const auto k = static_cast<std::size_t>(numbers[i++ & 0xffff]);
        const TValue values[] = {TValue(g.title[k]), TValue(g.parent[k])};
        benchmark::DoNotOptimize(c.table.Locate("TITLE;PARENT_NO", values));
    }
    state.counters["lookups_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_LocateTitleAndParent);

// A view's walk over the children of many parents: the master moves, the detail follows.
void BM_ChildrenWalk(benchmark::State& state) {
    TConcepts& c = Shared();
    TCursor master;
    master.CloneCursor(c.table, true);
    master.SetIndexFieldNames("RECORD_NO");
    TCursor detail;
    detail.CloneCursor(c.table, true);
    detail.SetIndexFieldNames("PARENT_NO;LIST_ORDER");
    detail.SetMasterSource(&master);
    detail.SetMasterFields("RECORD_NO");
    // Parents at random among the first tenth, which hold most of the children.
    const auto parents = RandomNumbers(1, kConcepts / 10, 3);
    std::size_t i = 0;
    std::int64_t children = 0;
    for (auto _ : state) {
        master.Locate("RECORD_NO", TValue(parents[i++ & 0xffff]));
        for (detail.First(); !detail.Eof(); detail.Next()) {
            benchmark::DoNotOptimize(detail.FieldByName("TITLE").AsString());
            ++children;
        }
    }
    state.counters["parents_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["children_per_parent"] =
        static_cast<double>(children) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_ChildrenWalk);

void BM_FilteredRecordCount(benchmark::State& state) {
    TConcepts& c = Shared();
    TCursor f;
    f.CloneCursor(c.table, true);
    f.SetFilter("PARENT_NO = 1");
    f.SetFiltered(true);
    const auto parents = RandomNumbers(1, kConcepts / 10, 4);
    std::size_t i = 0;
    for (auto _ : state) {
        f.SetFilter("PARENT_NO = " + std::to_string(parents[i++ & 0xffff]));
        benchmark::DoNotOptimize(f.RecordCount());
    }
    state.counters["counts_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_FilteredRecordCount);

void BM_EditTitle(benchmark::State& state) {
    TConcepts& c = Shared();
    const auto numbers = RandomNumbers(1, kConcepts, 5);
    const int sp = c.table.SavePoint();
    std::size_t i = 0;
    for (auto _ : state) {
        c.table.Locate("RECORD_NO", TValue(numbers[i & 0xffff]));
        c.table.Edit();
        c.table.FieldByName("TITLE").SetAsString(Generated().title[i % kConcepts]);
        c.table.Post();
        ++i;
    }
    c.table.SetSavePoint(sp);  // after the timed loop
    state.counters["edits_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_EditTitle);

// Undo of a long session: 100,000 logged changes (list order and title edits, new concepts)
// rolled back in one step. Only the rollback is timed.
void BM_Rollback100k(benchmark::State& state) {
    constexpr int kChanges = 100'000;
    TConcepts& c = Shared();
    const TGenerated& g = Generated();
    const auto numbers = RandomNumbers(1, kConcepts, 6);
    for (auto _ : state) {
        state.PauseTiming();
        const int sp = c.table.SavePoint();
        for (int k = 0; k < kChanges; ++k) {
            const std::size_t j = static_cast<std::size_t>(k) & 0xffff;
            switch (k % 3) {
                case 0:
                    c.table.Locate("RECORD_NO", TValue(numbers[j]));
                    c.table.Edit();
                    c.table.FieldByName("LIST_ORDER").SetAsInteger(10000);
                    c.table.Post();
                    break;
                case 1:
                    c.table.Locate("RECORD_NO", TValue(numbers[j]));
                    c.table.Edit();
                    c.table.FieldByName("TITLE").SetAsString(g.title[j]);
                    c.table.Post();
                    break;
                default:
                    AppendConcept(c.table, g, j);
            }
        }
        state.ResumeTiming();
        c.table.SetSavePoint(sp);
    }
    state.counters["changes_undone_per_s"] =
        benchmark::Counter(static_cast<double>(kChanges) * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Rollback100k)->Iterations(3)->Unit(benchmark::kMillisecond);

// Metadata of hostile shape: a 4 MB key with 2,000,000 continuation lines (argument 1), and the
// same lines under a short key (argument 0). Reading must take about the same for both.
void BM_MetadataContinuationLines(benchmark::State& state) {
    const std::size_t keyBytes = state.range(0) ? std::size_t{4} << 20 : 1;
    std::string text(keyBytes, 'k');
    text += "=v\r\n";
    for (int i = 0; i < 2'000'000; ++i) {
        text += "\tx\r\n";
    }
    for (auto _ : state) {
        TMemoryStream in(text);
        TOntology ontology;
        ontology.LoadFromStream(in);
        benchmark::DoNotOptimize(ontology.Count());
    }
    state.counters["MB"] = static_cast<double>(text.size()) / 1e6;
}
BENCHMARK(BM_MetadataContinuationLines)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace velmora::store
