// The hierarchy view on its own: a small hierarchy held by the test answers the view's look-ups,
// and Qt's model tester watches the tree's model through every change the view makes to it.
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QDropEvent>
#include <QTreeWidget>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "drag_objects.h"
#include "errors.h"
#include "list_view.h"
#include "tree_view.h"

namespace velmora::views {
namespace {

using store::TConceptData;
using store::TConceptList;

// Concepts by number under one parent each; mirror images show a concept again under another
// one with a relation code. A level lists concepts and mirror images in the order added.
class TFakeHierarchy {
public:
    void AddConcept(int no, int parent, const std::string& title) {
        m_titles[no] = title;
        m_parents[no] = parent;
        if (parent != 0) {
            m_levels[parent].push_back({no, 0, 0});
        }
    }
    void AddMirror(int linkNo, int shown, int place, int code) {
        m_places[linkNo] = place;
        m_levels[place].push_back({shown, linkNo, code});
    }
    // Lets a concept's parent differ from the level that lists it (broken data).
    void SetParent(int no, int parent) { m_parents[no] = parent; }

    TConceptData Concept(int no) const { return Item({no, 0, 0}); }
    TConceptData Mirror(int linkNo) const {
        for (const auto& [place, level] : m_levels) {
            for (const TEntry& entry : level) {
                if (entry.linkNo == linkNo) {
                    return Item(entry);
                }
            }
        }
        throw std::logic_error("no such mirror image");
    }

    std::unique_ptr<TConceptData> Parent(const TConceptData& item) const {
        const int parent =
            item.IsLink() ? m_places.at(item.LinkNo) : m_parents.at(item.ConceptNo());
        return parent == 0 ? nullptr : std::make_unique<TConceptData>(Concept(parent));
    }
    std::unique_ptr<TConceptList> Children(const TConceptData& item) {
        ++childQueries;
        auto list = std::make_unique<TConceptList>();
        const auto level = m_levels.find(item.ConceptNo());
        if (level != m_levels.end()) {
            for (const TEntry& entry : level->second) {
                list->AddNew().Assign(Item(entry));
            }
        }
        return list;
    }

    int childQueries = 0;

private:
    struct TEntry {
        int conceptNo;
        int linkNo;
        int code;
    };

    TConceptData Item(const TEntry& entry) const {
        TConceptData item;
        item.SetConceptNo(entry.conceptNo);
        item.SetTitle(m_titles.at(entry.conceptNo));
        const auto level = m_levels.find(entry.conceptNo);
        item.SetHasChildren(level != m_levels.end() && !level->second.empty());
        if (entry.linkNo != 0) {
            item.SetIsLink(true);
            item.LinkNo = entry.linkNo;
            item.LinkCode = entry.code;
        }
        return item;
    }

    std::map<int, std::string> m_titles;
    std::map<int, int> m_parents;
    std::map<int, int> m_places;
    std::map<int, std::vector<TEntry>> m_levels;
};

// What the model tester reported (it reports through warnings in its own category).
std::vector<std::string> g_modelFaults;

void CatchModelFaults(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (context.category != nullptr && std::string(context.category) == "qt.modeltest") {
        g_modelFaults.push_back(text.toStdString());
    } else if (type == QtFatalMsg) {
        std::abort();
    }
}

enum : int { kFood = 1, kGrain, kVegetable, kFruit, kRice, kWheat, kCarrot, kMeat, kBeef };
enum : int { kRiceInFruit = 100, kBeefInVegetable = 101 };

// food ─ grain (rice, wheat), vegetable (carrot, an image of beef with relation 1), fruit (an
// image of rice with relation 2), meat (beef).
class TreeViewAlone : public ::testing::Test {
protected:
    void SetUp() override {
        hierarchy.AddConcept(kFood, 0, "food");
        hierarchy.AddConcept(kGrain, kFood, "grain");
        hierarchy.AddConcept(kVegetable, kFood, "vegetable");
        hierarchy.AddConcept(kFruit, kFood, "fruit");
        hierarchy.AddConcept(kMeat, kFood, "meat");
        hierarchy.AddConcept(kRice, kGrain, "rice");
        hierarchy.AddConcept(kWheat, kGrain, "wheat");
        hierarchy.AddConcept(kCarrot, kVegetable, "carrot");
        hierarchy.AddConcept(kBeef, kMeat, "beef");
        hierarchy.AddMirror(kBeefInVegetable, kBeef, kVegetable, 1);
        hierarchy.AddMirror(kRiceInFruit, kRice, kFruit, 2);
        view.OnSeekParent = [this](const TConceptData& item) { return hierarchy.Parent(item); };
        view.OnSeekChildren = [this](const TConceptData& item) { return hierarchy.Children(item); };
        g_modelFaults.clear();
        m_previousHandler = qInstallMessageHandler(CatchModelFaults);
        m_tester = std::make_unique<QAbstractItemModelTester>(
            view.ConceptTreeView()->model(),
            QAbstractItemModelTester::FailureReportingMode::Warning);
    }

    void TearDown() override {
        m_tester.reset();
        qInstallMessageHandler(m_previousHandler);
        for (const std::string& fault : g_modelFaults) {
            ADD_FAILURE() << "model: " << fault;
        }
    }

    TConceptNode* Node(int conceptNo) { return view.FindNode(hierarchy.Concept(conceptNo)); }
    TConceptNode* MirrorNode(int linkNo) { return view.FindNode(hierarchy.Mirror(linkNo)); }

    static std::vector<std::string> Titles(const TConceptNode* parent) {
        std::vector<std::string> titles;
        for (int i = 0; parent != nullptr && i < parent->childCount(); ++i) {
            titles.push_back(parent->child(i)->text(0).toStdString());
        }
        return titles;
    }

    // The point in the upper or lower half of node's row, in viewport coordinates.
    QPoint At(TConceptNode* node, bool lowerHalf) {
        const QRect row = view.ConceptTreeView()->visualItemRect(node);
        return QPoint(row.center().x(), lowerHalf ? row.bottom() - 1 : row.top() + 1);
    }

    TFakeHierarchy hierarchy;
    TFrameTreeView view;

private:
    QtMessageHandler m_previousHandler = nullptr;
    std::unique_ptr<QAbstractItemModelTester> m_tester;
};

using TStrings = std::vector<std::string>;

TEST_F(TreeViewAlone, ModelStaysSoundThroughLoadingMovingSortingRemovingAndClearing) {
    // Showing the top concept loads its level; a path loads only the levels on it.
    view.ShowConcept(hierarchy.Concept(kFood), false);
    EXPECT_EQ(Titles(view.RootNode()), (TStrings{"grain", "vegetable", "fruit", "meat"}));
    view.ShowConcept(hierarchy.Mirror(kRiceInFruit), false);
    EXPECT_EQ(view.SelectedNode(), MirrorNode(kRiceInFruit));
    EXPECT_EQ(Titles(Node(kFruit)), TStrings{"rice"});
    EXPECT_EQ(Node(kGrain)->childCount(), 0);
    EXPECT_EQ(hierarchy.childQueries, 2);
    view.BuildPathTo(hierarchy.Concept(kRice));
    view.ExpandNode(*Node(kVegetable));
    EXPECT_EQ(Titles(Node(kGrain)), (TStrings{"rice", "wheat"}));
    EXPECT_EQ(Titles(Node(kVegetable)), (TStrings{"carrot", "beef"}));
    EXPECT_EQ(view.NodesOfConcept(kRice).size(), 2u);
    // Opening a loaded level again asks nothing.
    const int queries = hierarchy.childQueries;
    Node(kGrain)->setExpanded(false);
    Node(kGrain)->setExpanded(true);
    EXPECT_EQ(hierarchy.childQueries, queries);

    // Moves in the view, in each attach mode; the selected node stays selected.
    view.ConceptTreeView()->setCurrentItem(Node(kCarrot));
    view.MoveNodeInView(*Node(kCarrot), *Node(kWheat), amInsert);
    EXPECT_EQ(Titles(Node(kGrain)), (TStrings{"rice", "carrot", "wheat"}));
    EXPECT_EQ(view.SelectedNode(), Node(kCarrot));
    view.MoveNodeInView(*Node(kRice), *Node(kGrain), amAddChild);
    EXPECT_EQ(Titles(Node(kGrain)), (TStrings{"carrot", "wheat", "rice"}));
    view.MoveNodeInView(*Node(kWheat), *Node(kMeat), amAdd);
    EXPECT_EQ(Titles(view.RootNode()), (TStrings{"grain", "vegetable", "fruit", "meat", "wheat"}));
    EXPECT_EQ(Titles(Node(kVegetable)), TStrings{"beef"});

    // Sorting collapses the children and keeps the selection.
    view.ExpandNode(*Node(kGrain));
    view.SortChildren(*view.RootNode(), [](const TConceptData& a, const TConceptData& b) {
        return a.Title() > b.Title();
    });
    EXPECT_EQ(Titles(view.RootNode()), (TStrings{"wheat", "vegetable", "meat", "grain", "fruit"}));
    EXPECT_FALSE(Node(kGrain)->isExpanded());
    EXPECT_EQ(view.SelectedNode(), Node(kCarrot));

    // Removing mirror nodes hands back each parent they leave once, and forgets them.
    std::vector<TConceptNode*> parents =
        view.RemoveMirrorNodes([](const TConceptData& item) { return item.IsLink(); });
    std::sort(parents.begin(), parents.end());
    std::vector<TConceptNode*> expected{Node(kVegetable), Node(kFruit)};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(parents, expected);
    EXPECT_EQ(MirrorNode(kRiceInFruit), nullptr);
    EXPECT_EQ(view.NodesOfConcept(kRice), std::vector<TConceptNode*>{Node(kRice)});
    EXPECT_TRUE(Titles(Node(kFruit)).empty());

    view.ClearTree();
    EXPECT_EQ(view.RootNode(), nullptr);
    EXPECT_EQ(Node(kRice), nullptr);
    EXPECT_TRUE(view.NodesOfConcept(kRice).empty());

    // After a clear, a path is built from the top again.
    view.ShowConcept(hierarchy.Concept(kCarrot), true);
    EXPECT_EQ(view.SelectedNode(), Node(kCarrot));
    EXPECT_EQ(view.SelectedNode()->Level(), 3);
}

TEST_F(TreeViewAlone, BrokenLookUpsAreReportedAndLeaveTheTreeAsItWas) {
    view.ShowConcept(hierarchy.Concept(kFood), false);
    const TConceptData carrot = hierarchy.Concept(kCarrot);
    const auto message = [&](const auto& step) -> std::string {
        try {
            step();
        } catch (const store::EVelmoraError& error) {
            return error.what();
        }
        return "no error";
    };

    struct TCase {
        const char* what;
        std::function<void()> breakIt;
        std::string expected;
    };
    const std::string noEvents = "BUG: TreeViewFrame: OnSeekParent, OnSeekChildrenがnilです.";
    const std::vector<TCase> cases = {
        {"no parent look-up", [&] { view.OnSeekParent = nullptr; }, noEvents},
        {"no children look-up", [&] { view.OnSeekChildren = nullptr; }, noEvents},
        {"a parent chain that never reaches the top",
         [&] { hierarchy.SetParent(kVegetable, kCarrot); },
         "不正なデータ: 概念ツリー構造のトップノードが見つかりません."},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.what);
        auto parentLookUp = view.OnSeekParent;
        auto childrenLookUp = view.OnSeekChildren;
        c.breakIt();
        EXPECT_EQ(message([&] { view.BuildPathTo(carrot); }), c.expected);
        EXPECT_EQ(Titles(view.RootNode()), (TStrings{"grain", "vegetable", "fruit", "meat"}));
        EXPECT_EQ(Node(kCarrot), nullptr);
        view.OnSeekParent = parentLookUp;
        view.OnSeekChildren = childrenLookUp;
        hierarchy.SetParent(kVegetable, kFood);
    }

    // A parent whose level does not list the concept: the path stops there, named.
    hierarchy.SetParent(kCarrot, kGrain);
    EXPECT_EQ(message([&] { view.BuildPathTo(carrot); }),
              "不正なデータ: 概念が上位概念の下位に見つかりません: carrot");
    hierarchy.SetParent(kCarrot, kVegetable);

    // Mirror images are never expanded.
    view.ShowConcept(hierarchy.Mirror(kRiceInFruit), false);
    EXPECT_EQ(message([&] { view.TreeViewExpandTreeNode(*MirrorNode(kRiceInFruit)); }),
              "BUG!: function: \"TreeViewExpandTreeNode\".");
}

TEST_F(TreeViewAlone, ALevelThatFailsToLoadWhenOpenedIsReportedAndStaysClosed) {
    view.ShowConcept(hierarchy.Concept(kFood), false);
    std::string reported;
    view.OnError = [&reported](const std::exception& error) { reported = error.what(); };
    view.OnSeekChildren = [](const TConceptData&) -> std::unique_ptr<TConceptList> {
        throw store::EVelmoraError("読めません");
    };
    // Opened as the user opens it: inside Qt's own handling, where nothing may escape.
    Node(kGrain)->setExpanded(true);
    EXPECT_EQ(reported, "読めません");
    EXPECT_FALSE(Node(kGrain)->isExpanded());
    EXPECT_EQ(Node(kGrain)->childCount(), 0);
}

TEST_F(TreeViewAlone, DropsHandTheOwnerTheNodeTheTargetAndTheHalf) {
    view.ShowConcept(hierarchy.Concept(kFood), false);
    view.ExpandNode(*Node(kGrain));
    struct TDrop {
        TConceptNode* source;
        TConceptNode* target;
        bool lowerHalf;
    };
    std::vector<TDrop> drops;
    view.OnNodeDropped = [&drops](TConceptNode& source, TConceptNode& target, bool lowerHalf) {
        drops.push_back({&source, &target, lowerHalf});
    };

    view.ConceptTreeView()->setCurrentItem(Node(kMeat));
    EXPECT_TRUE(view.DragOverAt(At(Node(kWheat), true)));
    EXPECT_TRUE(view.DropLowerHalf());
    view.DropAt(At(Node(kWheat), true));
    view.DropAt(At(Node(kRice), false));
    // Not on the top concept, not on itself.
    EXPECT_FALSE(view.DragOverAt(At(view.RootNode(), false)));
    view.DropAt(At(view.RootNode(), true));
    view.DropAt(At(Node(kMeat), false));
    ASSERT_EQ(drops.size(), 2u);
    EXPECT_EQ(drops[0].source, Node(kMeat));
    EXPECT_EQ(drops[0].target, Node(kWheat));
    EXPECT_TRUE(drops[0].lowerHalf);
    EXPECT_EQ(drops[1].target, Node(kRice));
    EXPECT_FALSE(drops[1].lowerHalf);

    // The top concept is not dragged anywhere.
    view.ConceptTreeView()->setCurrentItem(view.RootNode());
    EXPECT_FALSE(view.CanStartDrag());
    view.DropAt(At(Node(kWheat), false));
    EXPECT_EQ(drops.size(), 2u);
}

TEST_F(TreeViewAlone, ThrownItemsLandOnConceptNodesOnlyAndIconMovesNowhere) {
    view.ShowConcept(hierarchy.Concept(kFood), false);
    view.ExpandNode(*Node(kVegetable));
    TFrameListView source;
    TConceptList level;
    level.AddNew().Assign(hierarchy.Concept(kWheat));
    level.AddNew().Assign(hierarchy.Concept(kFruit));
    source.Fill(level);
    source.SelectAll();
    std::vector<std::pair<std::vector<int>, TConceptNode*>> thrown;
    view.OnItemsThrown = [&thrown](const TConceptList& items, TConceptNode& target) {
        std::vector<int> numbers;
        for (int i = 0; i < items.Count(); ++i) {
            numbers.push_back(items[i].ConceptNo());
        }
        thrown.emplace_back(numbers, &target);
    };
    // As the platform delivers a drag to the tree's pointer area.
    QWidget* area = view.ConceptTreeView()->viewport();
    const auto send = [area](QEvent::Type type, const QMimeData& data, QPoint pos) {
        if (type == QEvent::Drop) {
            // A drop lands where the drag last entered.
            QDragEnterEvent enter(pos, Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(area, &enter);
            QDropEvent event(pos, Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(area, &event);
            return event.isAccepted();
        }
        QDragMoveEvent event(pos, Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier, type);
        QApplication::sendEvent(area, &event);
        return event.isAccepted();
    };

    TDragConceptListThrowObject throwObject(&source);
    EXPECT_TRUE(send(QEvent::DragEnter, throwObject, At(Node(kGrain), false)));
    EXPECT_TRUE(send(QEvent::DragMove, throwObject, At(Node(kGrain), true)));
    EXPECT_FALSE(send(QEvent::DragMove, throwObject, At(MirrorNode(kBeefInVegetable), false)));
    send(QEvent::Drop, throwObject, At(MirrorNode(kBeefInVegetable), false));
    send(QEvent::Drop, throwObject, At(Node(kGrain), true));
    ASSERT_EQ(thrown.size(), 1u);
    EXPECT_EQ(thrown[0].first, (std::vector<int>{kWheat, kFruit}));
    EXPECT_EQ(thrown[0].second, Node(kGrain));

    // Icon moves belong to the workspace: refused everywhere on the tree.
    TDragConceptListMoveObject move(&source, source.Model().Generation());
    EXPECT_FALSE(send(QEvent::DragEnter, move, At(Node(kGrain), false)));
    EXPECT_FALSE(send(QEvent::DragMove, move, At(Node(kGrain), false)));
    send(QEvent::Drop, move, At(Node(kGrain), false));
    EXPECT_EQ(thrown.size(), 1u);
}

}  // namespace
}  // namespace velmora::views
