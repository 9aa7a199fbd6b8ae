// The hierarchy view on large ontologies: opening a level of 10,000 children, building the path
// to a concept 30 levels deep among 1,000,000 concepts, and moving an item within a level of
// 10,000. Runs on the offscreen platform; each figure is one user action.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTemporaryDir>
#include <cstdlib>

#include "code_page.h"
#include "main_form.h"
#include "user_interface.h"

namespace {

using namespace velmora;

constexpr int kWideLevel = 10000;
constexpr int kTotal = 1000000;
constexpr int kDepth = 30;

// One window over one ontology: the top concept with a level of 10,000 children, each with about
// 99 children of its own, and a chain 30 levels deep with ten siblings at every level.
struct TWorld {
    QTemporaryDir dir;
    app::TUserInterface ui;
    std::unique_ptr<app::TMainForm> form;
    std::int32_t top = 0;
    std::int32_t deepest = 0;
    std::int32_t wideParent = 0;

    TWorld() {
        form = std::make_unique<app::TMainForm>(ui, dir.filePath("bench.ini"));
        form->SetOntology(std::make_unique<store::TOntology>());
        store::TDataModule1& store = form->Store();
        store.CreateTables();
        top = store.AppendConcept("top", 0, "");
        wideParent = store.AppendConcept("wide", top, "");
        std::vector<std::int32_t> wide;
        for (int i = 0; i < kWideLevel; ++i) {
            wide.push_back(store.AppendConcept("w" + std::to_string(i), wideParent, ""));
        }
        std::int32_t at = top;
        for (int level = 0; level < kDepth; ++level) {
            for (int sibling = 0; sibling < 10; ++sibling) {
                store.AppendConcept("s" + std::to_string(sibling), at, "");
            }
            at = store.AppendConcept("d" + std::to_string(level), at, "");
        }
        deepest = at;
        for (int i = static_cast<int>(store.DtStOriginalConcepts.RecordCount()); i < kTotal; ++i) {
            store.AppendConcept("x" + std::to_string(i),
                                wide[static_cast<std::size_t>(i) % wide.size()], "");
        }
        store.DtStOriginalConcepts.MergeChangeLog();
        form->ShowTopConcept();
    }
};

std::unique_ptr<TWorld> g_world;

TWorld& World() {
    if (!g_world) {
        g_world = std::make_unique<TWorld>();
    }
    return *g_world;
}

views::TConceptNode* NodeOf(std::int32_t no) {
    store::TConceptData item;
    item.SetConceptNo(no);
    return World().form->TreeView().FindNode(item);
}

void BM_ExpandLevelOf10000(benchmark::State& state) {
    views::TFrameTreeView& tree = World().form->TreeView();
    for (auto _ : state) {
        views::TConceptNode* wide = NodeOf(World().wideParent);
        tree.TreeViewExpandTreeNode(*wide);  // reloads, as opening a level for the first time
        wide->setExpanded(true);
        benchmark::DoNotOptimize(wide->childCount());
        state.PauseTiming();
        wide->setExpanded(false);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ExpandLevelOf10000)->Unit(benchmark::kMillisecond);

void BM_PathTo30LevelsDeepIn1M(benchmark::State& state) {
    store::TConceptData item;
    item.SetConceptNo(World().deepest);
    for (auto _ : state) {
        World().form->GoToConcept(nullptr, item, true, false);  // the tree rebuilt from the top
        benchmark::DoNotOptimize(World().form->TreeView().SelectedNode());
    }
}
BENCHMARK(BM_PathTo30LevelsDeepIn1M)->Unit(benchmark::kMillisecond);

void BM_MoveWithinLevelOf10000(benchmark::State& state) {
    app::TMainForm& form = *World().form;
    views::TFrameTreeView& tree = form.TreeView();
    store::TConceptData wide;
    wide.SetConceptNo(World().wideParent);
    form.GoToConcept(nullptr, wide, true, false);
    tree.ExpandNode(*NodeOf(World().wideParent));
    views::TConceptNode* level = NodeOf(World().wideParent);
    for (auto _ : state) {
        state.PauseTiming();
        tree.ConceptTreeView()->setCurrentItem(level->ChildNode(level->childCount() / 2));
        form.UpdateTreeCommands();
        state.ResumeTiming();
        form.Command("TreeviewMoveUpper")->trigger();  // a save point, the move, 10,000 renumbered
    }
}
BENCHMARK(BM_MoveWithinLevelOf10000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    World();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_world.reset();  // the window goes before the application
    return 0;
}
