// The icon view on large levels: showing a level of 10,000 and of 100,000 concepts in the
// workspace, once without positions (every icon placed and reported) and once with stored
// positions, and one step of an icon move with 1,000 selected icons (the icons placed for the
// pointer and the view repainted). Runs on the offscreen platform in a window of a usual size;
// each figure is one user action.
#include <benchmark/benchmark.h>

#include <QAbstractItemView>
#include <QApplication>
#include <cstdlib>
#include <memory>

#include "drag_objects.h"
#include "list_view.h"

namespace {

using namespace velmora;

// A level of count concepts; with placed, in a grid as a first showing would have left them.
store::TConceptList Level(int count, bool placed, QSize cell) {
    store::TConceptList level;
    for (int i = 0; i < count; ++i) {
        store::TConceptData& item = level.AddNew();
        item.SetConceptNo(i + 1);
        item.SetTitle("concept " + std::to_string(i));
        item.SetHasChildren(i % 3 == 0);
        if (placed) {
            item.IconPos = {(i % 10) * cell.width(), (i / 10) * cell.height()};
        }
    }
    return level;
}

std::unique_ptr<views::TFrameListView> g_view;

views::TFrameListView& Workspace() {
    if (!g_view) {
        g_view = std::make_unique<views::TFrameListView>();
        g_view->SetViewMode(0);
        g_view->resize(1200, 800);
        g_view->show();
        QApplication::processEvents();
    }
    return *g_view;
}

void BM_ShowLevel(benchmark::State& state) {
    views::TFrameListView& view = Workspace();
    const int count = static_cast<int>(state.range(0));
    const bool placed = state.range(1) != 0;
    const store::TConceptList level = Level(count, placed, view.CellSize());
    int reported = 0;
    view.OnItemsPlaced = [&reported](const store::TConceptList& items) {
        reported += items.Count();
    };
    for (auto _ : state) {
        view.Fill(level);
        view.SelectOnly(level[count / 2]);
        view.ListViewConcept()->viewport()->repaint();  // the first screen drawn
        state.PauseTiming();
        view.Clear();
        state.ResumeTiming();
    }
    state.counters["reported"] = benchmark::Counter(reported, benchmark::Counter::kAvgIterations);
    view.OnItemsPlaced = nullptr;
}
BENCHMARK(BM_ShowLevel)
    ->ArgNames({"items", "placed"})
    ->Args({10000, 0})
    ->Args({10000, 1})
    ->Args({100000, 0})
    ->Args({100000, 1})
    ->Unit(benchmark::kMillisecond);

void BM_MoveStepWith1000Selected(benchmark::State& state) {
    views::TFrameListView& view = Workspace();
    const int count = static_cast<int>(state.range(0));
    const store::TConceptList level = Level(count, true, view.CellSize());
    view.Fill(level);
    store::TConceptList selected;
    for (int i = 0; i < 1000; ++i) {
        selected.AddNew().Assign(level[i * (count / 1000)]);
    }
    view.SelectItems(selected);
    const auto move = view.BeginMove(QPoint(300, 300));
    int step = 0;
    for (auto _ : state) {
        ++step;
        view.DragMoveTo(*move, QPoint(300 + step % 200, 300 + (step * 7) % 150));
        view.ListViewConcept()->viewport()->repaint();
    }
    view.Clear();
}
BENCHMARK(BM_MoveStepWith1000Selected)
    ->ArgName("items")
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_view.reset();  // the view goes before the application
    return 0;
}
