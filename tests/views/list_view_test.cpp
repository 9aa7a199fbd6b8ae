// The icon views on their own. One contract suite runs over every implementation of the icon-view
// interface (the list view in each of its three roles, and the placeholder where the contract
// applies); the list view's own behaviour follows: placing icons, moving them, throwing and
// dropping items, the empty workspace's picture and the pictures of mirror images. Qt's model
// tester watches the list model through every change.
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QAbstractItemView>
#include <QApplication>
#include <QDropEvent>
#include <QImage>
#include <QLineEdit>
#include <QTest>

#include <functional>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "drag_objects.h"
#include "list_view.h"
#include "tree_view.h"
#include "wait_until.h"

namespace velmora::views {
namespace {

using store::TConceptData;
using store::TConceptList;

TConceptData Concept(int no, const std::string& title, bool hasChildren = false,
                     store::TIconPoint at = {}) {
    TConceptData item;
    item.SetConceptNo(no);
    item.SetTitle(title);
    item.SetHasChildren(hasChildren);
    item.IconPos = at;
    return item;
}

TConceptData Mirror(int linkNo, int conceptNo, int code, bool hasChildren,
                    const std::string& title = "image") {
    TConceptData item = Concept(conceptNo, title, hasChildren);
    item.SetIsLink(true);
    item.LinkNo = linkNo;
    item.LinkCode = code;
    return item;
}

TConceptList ListOf(const std::vector<TConceptData>& items) {
    TConceptList list;
    for (const TConceptData& item : items) {
        list.AddNew().Assign(item);
    }
    return list;
}

std::vector<int> Numbers(const std::vector<TConceptData>& items) {
    std::vector<int> numbers;
    for (const TConceptData& item : items) {
        numbers.push_back(item.IsLink() ? -item.LinkNo : item.ConceptNo());
    }
    return numbers;
}

// What the model tester reported (it reports through warnings in its own category).
std::vector<std::string> g_modelFaults;

void CatchModelFaults(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (context.category != nullptr && std::string(context.category) == "qt.modeltest") {
        g_modelFaults.push_back(text.toStdString());
    } else if (type == QtFatalMsg) {
        std::abort();
    }
}

// Watches a list view's model for the life of a test.
class TModelWatch {
public:
    explicit TModelWatch(TFrameListView* view) {
        g_modelFaults.clear();
        m_previous = qInstallMessageHandler(CatchModelFaults);
        if (view != nullptr) {
            m_tester = std::make_unique<QAbstractItemModelTester>(
                &view->Model(), QAbstractItemModelTester::FailureReportingMode::Warning);
        }
    }
    ~TModelWatch() {
        m_tester.reset();
        qInstallMessageHandler(m_previous);
        for (const std::string& fault : g_modelFaults) {
            ADD_FAILURE() << "model: " << fault;
        }
    }

private:
    QtMessageHandler m_previous = nullptr;
    std::unique_ptr<QAbstractItemModelTester> m_tester;
};

// ---- The contract of every icon view ---------------------------------------------------------

struct TImplementation {
    const char* name;
    std::function<std::unique_ptr<TIconViewPort>()> make;
    // The placeholder holds nothing; the panes select one item.
    bool holdsItems;
    bool multiSelect;
};

void PrintTo(const TImplementation& implementation, std::ostream* out) {
    *out << implementation.name;
}

std::unique_ptr<TIconViewPort> ListViewIn(int mode) {
    auto view = std::make_unique<TFrameListView>();
    view->SetViewMode(mode);
    return view;
}

const TImplementation kImplementations[] = {
    {"workspace", [] { return ListViewIn(0); }, true, true},
    {"parents_pane", [] { return ListViewIn(1); }, true, false},
    {"children_pane", [] { return ListViewIn(2); }, true, false},
    {"placeholder", [] { return std::make_unique<TPlaceholderPane>("pane"); }, false, false},
};

class IconViewContract : public ::testing::TestWithParam<TImplementation> {
protected:
    void SetUp() override {
        view = GetParam().make();
        list = dynamic_cast<TFrameListView*>(view.get());
        watch = std::make_unique<TModelWatch>(list);
        view->Widget()->resize(640, 400);
        view->Widget()->show();
        view->OnSelectionChange = [this] { ++selectionChanges; };
        view->OnStatusText = [this](const QString& text) { statusTexts.push_back(text); };
        view->OnTitleEdited = [this](const TConceptData& item, const QString& text) {
            titles.emplace_back(item.ConceptNo(), text);
        };
        view->OnClipboardKey = [this](TClipboardKey key) { keys.push_back(key); };
    }
    void TearDown() override {
        watch.reset();
        view.reset();
    }

    int Expected(int count) const { return GetParam().holdsItems ? count : 0; }

    // Five items: three concepts, a mirror image of concept 2 and one of concept 9.
    TConceptList Level() const {
        return ListOf({Concept(1, "a", true), Concept(2, "b"), Concept(3, "c", true),
                       Mirror(40, 2, 1, false, "b"), Mirror(41, 9, 3, true, "z")});
    }

    std::unique_ptr<TIconViewPort> view;
    TFrameListView* list = nullptr;
    std::unique_ptr<TModelWatch> watch;
    int selectionChanges = 0;
    std::vector<QString> statusTexts;
    std::vector<std::pair<int, QString>> titles;
    std::vector<TClipboardKey> keys;
};

TEST_P(IconViewContract, FillsSelectsRefreshesAndClears) {
    view->Fill(Level());
    EXPECT_EQ(view->ItemCount(), Expected(5));
    EXPECT_TRUE(view->SelectedItems().empty());

    // Selecting through the interface is the owner's own doing: no callback.
    EXPECT_EQ(view->SelectOnly(Mirror(40, 2, 1, false)), GetParam().holdsItems);
    EXPECT_EQ(Numbers(view->SelectedItems()),
              GetParam().holdsItems ? std::vector<int>{-40} : std::vector<int>{});
    EXPECT_FALSE(view->SelectOnly(Concept(77, "absent")));
    view->SelectItems(ListOf({Concept(3, "c"), Concept(1, "a"), Concept(77, "absent")}));
    const std::vector<int> chosen = Numbers(view->SelectedItems());
    if (!GetParam().holdsItems) {
        EXPECT_TRUE(chosen.empty());
    } else if (GetParam().multiSelect) {
        EXPECT_EQ(chosen, (std::vector<int>{1, 3}));  // index order
    } else {
        EXPECT_EQ(chosen.size(), 1u);
    }
    EXPECT_EQ(selectionChanges, 0);

    // A retitled concept shows its new title in its own item and in the images of it.
    view->SelectAll();
    TConceptData renamed = Concept(2, "B2", true);
    view->RefreshItems(renamed);
    if (list != nullptr) {
        EXPECT_EQ(list->Model().Item(1).Data().Title(), "B2");
        EXPECT_EQ(list->Model().Item(3).Data().Title(), "B2");
        EXPECT_TRUE(list->Model().Item(3).Data().HasChildren());
        EXPECT_EQ(list->Model().Item(3).Data().LinkCode, 1);
        EXPECT_EQ(list->Model().Item(0).Data().Title(), "a");
    }

    view->Clear();
    EXPECT_EQ(view->ItemCount(), 0);
    EXPECT_TRUE(view->SelectedItems().empty());
    EXPECT_FALSE(view->SelectOnly(Concept(1, "a")));
}

TEST_P(IconViewContract, ClicksAndKeysReachTheOwner) {
    if (list == nullptr) {
        GTEST_SKIP() << "the placeholder takes no input";
    }
    ASSERT_TRUE(QTest::qWaitForWindowExposed(list));
    view->Fill(Level());
    QAbstractItemView* control = list->ListViewConcept();
    const QRect second = control->visualRect(list->Model().index(1, 0));
    QTest::mouseClick(control->viewport(), Qt::LeftButton, {}, second.center());
    EXPECT_EQ(selectionChanges, 1);
    EXPECT_EQ(Numbers(view->SelectedItems()), std::vector<int>{2});

    std::vector<int> doubleClicked;
    view->OnDoubleClick = [&doubleClicked](const TConceptData* item) {
        doubleClicked.push_back(item != nullptr ? item->ConceptNo() : 0);
    };
    QTest::mouseDClick(control->viewport(), Qt::LeftButton, {}, second.center());
    QTest::mouseDClick(control->viewport(), Qt::LeftButton, {},
                       control->viewport()->rect().bottomRight() - QPoint(2, 2));
    EXPECT_EQ(doubleClicked, (std::vector<int>{2, 0}));

    control->setFocus();
    for (const Qt::Key key : {Qt::Key_X, Qt::Key_C, Qt::Key_V}) {
        QTest::keyClick(control, key, Qt::ControlModifier);
    }
    EXPECT_EQ(keys, (std::vector<TClipboardKey>{TClipboardKey::Cut, TClipboardKey::Copy,
                                                TClipboardKey::Paste}));
}

TEST_P(IconViewContract, RetitlingIsRefusedOnMirrorImagesAndReportedOnConcepts) {
    view->Fill(Level());
    view->SelectOnly(Mirror(41, 9, 3, true));
    view->EditSelectedLabel();
    EXPECT_FALSE(view->IsEditing());
    EXPECT_EQ(statusTexts,
              GetParam().holdsItems
                  ? std::vector<QString>{"鏡像から概念のタイトルを変更することは出来ません."}
                  : std::vector<QString>{});

    view->SelectOnly(Concept(3, "c"));
    view->EditSelectedLabel();
    EXPECT_EQ(view->IsEditing(), GetParam().holdsItems);
    if (!GetParam().holdsItems) {
        return;
    }
    auto* editor = list->ListViewConcept()->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text(), "c");
    view->SelectAllInEditor();
    EXPECT_TRUE(view->EditorHasSelection());
    editor->setText("");
    view->CommitLabelEdit();  // an empty title is handed over as typed
    EXPECT_FALSE(view->IsEditing());

    view->EditSelectedLabel();
    list->ListViewConcept()->viewport()->findChild<QLineEdit*>()->setText("dropped");
    view->CancelLabelEdit();
    view->EditSelectedLabel();
    view->Clear();  // an editor closed by clearing stores nothing either
    EXPECT_EQ(titles, (std::vector<std::pair<int, QString>>{{3, ""}}));
}

INSTANTIATE_TEST_SUITE_P(Implementations, IconViewContract, ::testing::ValuesIn(kImplementations),
                         [](const ::testing::TestParamInfo<TImplementation>& info) {
                             return std::string(info.param.name);
                         });

// ---- The list view in its roles ----------------------------------------------------------------

class ListViewAlone : public ::testing::Test {
protected:
    void SetUp() override {
        for (TFrameListView* view : {&workspace, &parents, &children}) {
            view->resize(640, 400);
            view->show();
        }
        parents.SetViewMode(1);
        children.SetViewMode(2);
        workspace.OnItemsPlaced = [this](const TConceptList& items) {
            placed.emplace_back();
            for (int i = 0; i < items.Count(); ++i) {
                placed.back().push_back(items[i]);
            }
        };
        workspace.OnItemsMoved = [this](const TConceptList& items) {
            moved.emplace_back();
            for (int i = 0; i < items.Count(); ++i) {
                moved.back().push_back(items[i]);
            }
        };
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&workspace));
    }

    static QPoint At(const TConceptListItem& item) {
        return QPoint(item.Position().x(), item.Position().y());
    }
    static std::vector<QPoint> Positions(TFrameListView& view) {
        std::vector<QPoint> positions;
        for (int row = 0; row < view.Model().Count(); ++row) {
            positions.push_back(view.Model().Item(row).Position());
        }
        return positions;
    }
    static bool Overlap(TFrameListView& view) {
        const QSize cell = view.CellSize();
        const std::vector<QPoint> at = Positions(view);
        for (std::size_t i = 0; i < at.size(); ++i) {
            for (std::size_t j = i + 1; j < at.size(); ++j) {
                if (QRect(at[i], cell).intersects(QRect(at[j], cell))) {
                    return true;
                }
            }
        }
        return false;
    }

    // Sends a drag event to view's pointer area, as the platform would during a drag.
    static bool Send(QWidget* viewport, QEvent::Type type, const QMimeData& data, QPoint pos) {
        if (type == QEvent::Drop) {
            // A drop lands where the drag last entered.
            Send(viewport, QEvent::DragEnter, data, pos);
            QDropEvent event(pos, Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(viewport, &event);
            return event.isAccepted();
        }
        QDragMoveEvent event(pos, Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier, type);
        QApplication::sendEvent(viewport, &event);
        return event.isAccepted();
    }

    TFrameListView workspace;
    TFrameListView parents;
    TFrameListView children;
    TModelWatch watch{&workspace};
    std::vector<std::vector<TConceptData>> placed;
    std::vector<std::vector<TConceptData>> moved;
};

TEST_F(ListViewAlone, FirstShowingPlacesEveryItemOnceAndShowingAgainKeepsThePlaces) {
    // Two icons already placed (one off the grid), eight without a place, given in mixed order.
    const QSize cell = workspace.CellSize();
    std::vector<TConceptData> level;
    for (int no = 1; no <= 10; ++no) {
        level.push_back(Concept(no, "c" + std::to_string(no)));
    }
    level[3].IconPos = {0, 0};
    level[6].IconPos = {cell.width() + cell.width() / 2, 5};
    workspace.Fill(ListOf(level));

    // Placed items first, in list order, then the unplaced ones.
    std::vector<int> order;
    for (int row = 0; row < workspace.Model().Count(); ++row) {
        order.push_back(workspace.Model().Item(row).Data().ConceptNo());
    }
    EXPECT_EQ(order, (std::vector<int>{4, 7, 1, 2, 3, 5, 6, 8, 9, 10}));
    EXPECT_EQ(At(workspace.Model().Item(0)), QPoint(0, 0));
    EXPECT_EQ(At(workspace.Model().Item(1)), QPoint(cell.width() + cell.width() / 2, 5));
    EXPECT_FALSE(Overlap(workspace));

    ASSERT_EQ(placed.size(), 1u);  // one report for the whole level
    EXPECT_EQ(Numbers(placed[0]), (std::vector<int>{1, 2, 3, 5, 6, 8, 9, 10}));
    std::vector<TConceptData> stored = level;
    for (const TConceptData& item : placed[0]) {
        EXPECT_EQ(item.IconPos, (store::TIconPoint{At(*workspace.FindItem(item)).x(),
                                                   At(*workspace.FindItem(item)).y()}));
        stored[static_cast<std::size_t>(item.ConceptNo() - 1)].IconPos = item.IconPos;
    }
    // The first free cell in reading order: the one the off-grid icon leaves free.
    EXPECT_EQ(placed[0][0].IconPos, (store::TIconPoint{cell.width() * 3, 0}));

    // Shown again from what was stored, every icon stands where it stood; nothing is reported.
    const std::vector<QPoint> before = Positions(workspace);
    workspace.Clear();
    EXPECT_TRUE(workspace.ShowsWatermark());
    workspace.Fill(ListOf(stored));
    EXPECT_EQ(placed.size(), 1u);
    std::multiset<std::pair<int, int>> a;
    std::multiset<std::pair<int, int>> b;
    for (const QPoint& p : before) {
        a.emplace(p.x(), p.y());
    }
    for (const QPoint& p : Positions(workspace)) {
        b.emplace(p.x(), p.y());
    }
    EXPECT_EQ(a, b);

    // A new concept takes a free place of its own; the others stay.
    workspace.AddItem(Concept(11, "new"));
    ASSERT_EQ(placed.size(), 2u);
    ASSERT_EQ(placed[1].size(), 1u);
    EXPECT_EQ(placed[1][0].ConceptNo(), 11);
    EXPECT_FALSE(Overlap(workspace));
    std::vector<QPoint> after = Positions(workspace);
    after.pop_back();
    std::multiset<std::pair<int, int>> c;
    for (const QPoint& p : after) {
        c.emplace(p.x(), p.y());
    }
    EXPECT_EQ(c, b);
    // One with a place keeps it and is not reported.
    workspace.AddItem(Concept(12, "kept", false, {900, 700}));
    EXPECT_EQ(placed.size(), 2u);
    EXPECT_EQ(At(workspace.Model().Item(11)), QPoint(900, 700));
}

TEST_F(ListViewAlone, PanesArrangeThemselvesAndReportNoPlaces) {
    parents.OnItemsPlaced = [this](const TConceptList&) { placed.emplace_back(); };
    parents.Fill(ListOf({Concept(1, "a", false, {500, 500}), Concept(2, "b"), Concept(3, "c")}));
    EXPECT_TRUE(placed.empty());
    const QSize cell = parents.CellSize();
    EXPECT_EQ(Positions(parents), (std::vector<QPoint>{QPoint(0, 0), QPoint(cell.width(), 0),
                                                       QPoint(2 * cell.width(), 0)}));
    // Narrower, the icons wrap in reading order.
    parents.resize(cell.width() * 2 + 30, 400);
    test_support::WaitUntil([&] { return parents.Model().Item(2).Position().y() > 0; });
    EXPECT_EQ(At(parents.Model().Item(2)), QPoint(0, cell.height()));
}

TEST_F(ListViewAlone, ThreeIconsDraggedToTheTopLeftStopAtZeroAndAreReportedOnce) {
    workspace.Fill(ListOf({Concept(1, "a", false, {100, 100}), Concept(2, "b", false, {200, 150}),
                           Concept(3, "c", false, {300, 120}), Concept(4, "d", false, {0, 300})}));
    workspace.SelectItems(ListOf({Concept(1, "a"), Concept(2, "b"), Concept(3, "c")}));
    ASSERT_EQ(workspace.DragKindFor(Qt::NoModifier), TFrameListView::TDragKind::Move);
    const std::unique_ptr<TDragConceptListMoveObject> move = workspace.BeginMove(QPoint(250, 160));
    ASSERT_EQ(move->Count(), 3);
    EXPECT_EQ(move->GetOffset(0), QPoint(150, 60));
    EXPECT_EQ(move->MaxOffsetX, 150);
    EXPECT_EQ(move->MaxOffsetY, 60);  // the topmost icon's offset

    // Far past the corner: the leftmost icon stops at x 0, the topmost at y 0, shape kept.
    workspace.DragMoveTo(*move, QPoint(3, -40));
    EXPECT_EQ(Positions(workspace), (std::vector<QPoint>{QPoint(0, 0), QPoint(100, 50),
                                                         QPoint(200, 20), QPoint(0, 300)}));
    EXPECT_TRUE(moved.empty());  // nothing is reported while the drag goes on

    // The drag ends over the tree, which refuses icon moves; the places are reported anyway.
    TFrameTreeView tree;
    tree.show();
    QWidget* treeArea = tree.ConceptTreeView()->viewport();
    EXPECT_FALSE(Send(treeArea, QEvent::DragEnter, *move, QPoint(5, 5)));
    EXPECT_FALSE(Send(treeArea, QEvent::DragMove, *move, QPoint(5, 5)));
    move->OnFinished = [this](TDragConceptListMoveObject& m) { workspace.FinishMove(m); };
    move->Finish();
    ASSERT_EQ(moved.size(), 1u);
    EXPECT_EQ(Numbers(moved[0]), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(moved[0][1].IconPos, (store::TIconPoint{100, 50}));
    EXPECT_EQ(workspace.Model().Item(1).Data().IconPos, (store::TIconPoint{100, 50}));

    // A drag that leaves every icon where it was reports nothing.
    const auto still = workspace.BeginMove(QPoint(40, 40));
    workspace.DragMoveTo(*still, QPoint(40, 40));
    workspace.FinishMove(*still);
    EXPECT_EQ(moved.size(), 1u);

    // Icons refilled under a drag are not the dragged ones any more.
    const auto stale = workspace.BeginMove(QPoint(40, 40));
    workspace.Fill(ListOf({Concept(1, "a", false, {100, 100})}));
    workspace.DragMoveTo(*stale, QPoint(300, 300));
    workspace.FinishMove(*stale);
    EXPECT_EQ(At(workspace.Model().Item(0)), QPoint(100, 100));
    EXPECT_EQ(moved.size(), 1u);
}

TEST_F(ListViewAlone, WhatADragIsDependsOnTheViewCtrlAndTheTopConcept) {
    using K = TFrameListView::TDragKind;
    const TConceptList level = ListOf({Concept(1, "top", true), Concept(2, "b")});
    for (TFrameListView* view : {&workspace, &parents, &children}) {
        view->Fill(level);
        view->OnIsTopConcept = [](const TConceptData& item) { return item.ConceptNo() == 1; };
    }
    EXPECT_EQ(workspace.DragKindFor(Qt::NoModifier), K::None);  // nothing selected
    for (TFrameListView* view : {&workspace, &parents, &children}) {
        view->SelectOnly(Concept(2, "b"));
    }
    struct TCase {
        TFrameListView* view;
        Qt::KeyboardModifiers keys;
        K kind;
    };
    const TCase cases[] = {
        {&workspace, Qt::NoModifier, K::Move},
        {&workspace, Qt::ShiftModifier, K::Move},  // Shift plays no role
        {&workspace, Qt::ControlModifier, K::Throw},
        {&parents, Qt::NoModifier, K::None},  // a plain drag in a pane does nothing
        {&parents, Qt::ControlModifier, K::Throw},
        {&children, Qt::NoModifier, K::None},
        {&children, Qt::ControlModifier, K::Throw},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.view->ViewMode());
        EXPECT_EQ(c.view->DragKindFor(c.keys), c.kind);
    }
    // A throw with the top concept among the items does not start.
    workspace.SelectAll();
    EXPECT_EQ(workspace.DragKindFor(Qt::ControlModifier), K::None);
    EXPECT_EQ(workspace.DragKindFor(Qt::NoModifier), K::Move);  // moving its icon is fine
    parents.SelectOnly(Concept(1, "top"));
    EXPECT_EQ(parents.DragKindFor(Qt::ControlModifier), K::None);
}

TEST_F(ListViewAlone, DropsHandOverTheSourcesItemsAndTheItemHit) {
    workspace.Fill(ListOf({Concept(1, "a", true, {0, 0}), Mirror(30, 7, 2, true, "m")}));
    children.Fill(ListOf({Concept(5, "e"), Concept(6, "f")}));
    children.SelectOnly(Concept(6, "f"));
    std::vector<std::pair<std::vector<int>, int>> drops;  // items, target (0: none)
    const auto record = [&drops](const TConceptList& items, const TConceptData* target) {
        std::vector<int> numbers;
        for (int i = 0; i < items.Count(); ++i) {
            numbers.push_back(items[i].ConceptNo());
        }
        drops.emplace_back(numbers, target == nullptr  ? 0
                                    : target->IsLink() ? -target->LinkNo
                                                       : target->ConceptNo());
    };
    workspace.OnDropItems = record;
    parents.OnDropItems = record;

    QWidget* area = workspace.ListViewConcept()->viewport();
    const QPoint onFirst =
        workspace.ListViewConcept()->visualRect(workspace.Model().index(0, 0)).center();
    const QPoint onMirror =
        workspace.ListViewConcept()->visualRect(workspace.Model().index(1, 0)).center();
    const QPoint empty = area->rect().bottomRight() - QPoint(3, 3);
    TDragConceptListThrowObject thrown(&children);
    EXPECT_TRUE(Send(area, QEvent::DragEnter, thrown, onFirst));
    EXPECT_TRUE(Send(area, QEvent::Drop, thrown, onFirst));
    Send(area, QEvent::Drop, thrown, onMirror);  // a mirror image item: the owner decides
    Send(area, QEvent::Drop, thrown, empty);

    // A hierarchy-view node: the tree's selected node.
    TFrameTreeView tree;
    tree.OnSeekParent = [](const TConceptData&) { return std::unique_ptr<TConceptData>(); };
    tree.OnSeekChildren = [](const TConceptData&) {
        auto list = std::make_unique<TConceptList>();
        list->AddNew().Assign(Concept(8, "h"));
        return list;
    };
    tree.ShowConcept(Concept(3, "root", true), false);
    tree.SelectNode(Concept(8, "h"));
    TDragConceptTreeObject node(&tree);
    Send(parents.ListViewConcept()->viewport(), QEvent::Drop, node, QPoint(400, 300));

    // An icon move has no effect on the data, wherever it is dropped.
    workspace.SelectAll();
    const auto move = workspace.BeginMove(onFirst);
    EXPECT_TRUE(
        Send(parents.ListViewConcept()->viewport(), QEvent::DragEnter, *move, QPoint(1, 1)));
    Send(parents.ListViewConcept()->viewport(), QEvent::Drop, *move, QPoint(1, 1));
    Send(area, QEvent::Drop, *move, onFirst);
    // Nothing selected at the source: nothing to drop.
    children.ClearSelection();
    Send(area, QEvent::Drop, thrown, onFirst);

    using TDrop = std::pair<std::vector<int>, int>;
    EXPECT_EQ(drops, (std::vector<TDrop>{{{6}, 1}, {{6}, -30}, {{6}, 0}, {{8}, 0}}));
}

TEST_F(ListViewAlone, TheWatermarkShowsOnlyInTheEmptyWorkspace) {
    const auto drawn = [](TFrameListView& view) {
        // Anything but the background in the bottom-right corner, where the picture goes.
        const QImage image = view.ListViewConcept()->viewport()->grab().toImage();
        const QRgb background = image.pixel(2, 2);
        int differing = 0;
        for (int y = image.height() - 150; y < image.height() - 10; y += 2) {
            for (int x = image.width() - 468; x < image.width() - 10; x += 2) {
                differing += image.pixel(std::max(0, x), std::max(0, y)) != background ? 1 : 0;
            }
        }
        return differing > 100;
    };
    EXPECT_TRUE(workspace.ShowsWatermark());
    EXPECT_TRUE(drawn(workspace));
    EXPECT_FALSE(parents.ShowsWatermark());
    EXPECT_FALSE(drawn(parents));
    EXPECT_FALSE(drawn(children));

    workspace.Fill(ListOf({Concept(1, "a", false, {0, 0})}));
    EXPECT_FALSE(workspace.ShowsWatermark());
    EXPECT_FALSE(drawn(workspace));
    workspace.Clear();
    EXPECT_TRUE(drawn(workspace));
}

TEST_F(ListViewAlone, PicturesFollowTheKindTheRelationAndTheView) {
    const TConceptList level =
        ListOf({Concept(1, "a", true), Concept(2, "b", false), Mirror(30, 3, 3, true),
                Mirror(31, 4, 3, false), Mirror(32, 5, 14, false)});
    struct TCase {
        TFrameListView* view;
        std::vector<int> pictures;
    };
    const TCase cases[] = {
        {&workspace, {0, 1, 8, 9, 30}},
        {&children, {0, 1, 8, 9, 30}},
        {&parents, {0, 1, 10, 10, 31}},  // a mirror image there stands for a further parent
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.view->ViewMode());
        c.view->Fill(level);
        std::vector<int> pictures;
        for (int row = 0; row < c.view->Model().Count(); ++row) {
            pictures.push_back(c.view->PictureOf(c.view->Model().Item(row)));
        }
        EXPECT_EQ(pictures, c.pictures);
    }
}

TEST_F(ListViewAlone, PanesHideTheirSelectionWhileUnfocusedAndTheWorkspaceDoesNot) {
    const auto highlighted = [](TFrameListView& view) {
        const QImage image = view.ListViewConcept()->viewport()->grab().toImage();
        const QRgb mark = view.ListViewConcept()->palette().color(QPalette::Highlight).rgb();
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (image.pixel(x, y) == mark) {
                    return true;
                }
            }
        }
        return false;
    };
    const TConceptList level = ListOf({Concept(1, "a"), Concept(2, "b")});
    for (TFrameListView* view : {&workspace, &parents}) {
        view->Fill(level);
        view->SelectOnly(Concept(2, "b"));
    }
    std::vector<bool> focusChanges;
    parents.OnFocusChange = [&focusChanges](bool focused) { focusChanges.push_back(focused); };

    parents.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&parents));
    parents.ListViewConcept()->setFocus();
    test_support::WaitUntil([&] { return parents.ListViewConcept()->hasFocus(); });
    EXPECT_TRUE(highlighted(parents));

    workspace.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&workspace));
    workspace.ListViewConcept()->setFocus();
    test_support::WaitUntil([&] { return !parents.ListViewConcept()->hasFocus(); });
    EXPECT_FALSE(highlighted(parents));
    EXPECT_EQ(Numbers(parents.SelectedItems()), std::vector<int>{2});  // hidden, not dropped
    EXPECT_EQ(focusChanges, (std::vector<bool>{true, false}));

    // The workspace keeps showing its selection without the focus.
    parents.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&parents));
    EXPECT_TRUE(highlighted(workspace));
}

TEST_F(ListViewAlone, CutMarksLastUntilCleared) {
    workspace.Fill(ListOf({Concept(1, "a"), Concept(2, "b"), Concept(3, "c")}));
    workspace.SelectItems(ListOf({Concept(1, "a"), Concept(3, "c")}));
    workspace.MarkSelectedCut();
    workspace.SelectOnly(Concept(2, "b"));
    std::vector<bool> cut;
    for (int row = 0; row < 3; ++row) {
        cut.push_back(workspace.Model().Item(row).IsCut());
    }
    EXPECT_EQ(cut, (std::vector<bool>{true, false, true}));
    workspace.ClearCutMarks();
    EXPECT_FALSE(workspace.Model().Item(0).IsCut());
}

}  // namespace
}  // namespace velmora::views
