// The hierarchy view inside the main window: loading, pictures, retitling, the tree commands and
// drops, each checked in the view and in the tables.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QMenuBar>
#include <QTest>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include "code_page.h"
#include "concept_pictures.h"
#include "main_form.h"
#include "ontology_tables.h"
#include "qt_text.h"
#include "scripted_ui.h"
#include "wait_until.h"

namespace velmora::app {
namespace {

using store::TAnswer;
using testing::TScriptedUi;
using views::TConceptNode;

std::string S(const char* utf8) {
    return store::Utf8ToCp932(utf8);
}

// 食品 ─ 穀物 (米, 麦), 野菜 (人参), 果物, 肉類 (牛肉); a mirror image of 米 under 果物 with the
// relation 2, and one of 牛肉 under 野菜 with the relation 1.
class TreeCommands : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        TQuillonIniFile(dir.filePath("v.ini")).SetAuthor("試験者");
        form = std::make_unique<TMainForm>(ui, dir.filePath("v.ini"));
        form->SetOntology(std::make_unique<store::TOntology>());
        store::TDataModule1& store = form->Store();
        store.CreateTables();
        top = store.AppendConcept(S("食品"), 0, "");
        grain = store.AppendConcept(S("穀物"), top, "");
        rice = store.AppendConcept(S("米"), grain, "");
        wheat = store.AppendConcept(S("麦"), grain, "");
        vegetable = store.AppendConcept(S("野菜"), top, "");
        carrot = store.AppendConcept(S("人参"), vegetable, "");
        fruit = store.AppendConcept(S("果物"), top, "");
        meat = store.AppendConcept(S("肉類"), top, "");
        beef = store.AppendConcept(S("牛肉"), meat, "");
        riceImage = Mirror(rice, fruit, 2);
        beefImage = Mirror(beef, vegetable, 1);
        for (const std::int32_t level : {top, fruit, vegetable}) {
            Renumber(level);
        }
        // Label editing needs a shown, active window: the editor closes when it loses focus.
        form->show();
        QApplication::setActiveWindow(form.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        form->ShowTopConcept();
        tree = &form->TreeView();
        seekCalls = 0;
        const auto original = tree->OnSeekChildren;
        tree->OnSeekChildren = [this, original](const store::TConceptData& item) {
            ++seekCalls;
            return original(item);
        };
    }

    std::int32_t Mirror(std::int32_t shown, std::int32_t place, std::int32_t code) {
        store::TConceptData item;
        item.SetConceptNo(shown);
        const std::int32_t link = form->Store().AppendMirrorImage(item, code);
        store::TConceptList moved;
        store::TConceptData& image = moved.AddNew();
        image.SetConceptNo(shown);
        image.SetIsLink(true);
        image.LinkNo = link;
        image.LinkCode = code;
        store::TConceptData target;
        target.SetConceptNo(place);
        form->Seeker().MoveItems(moved, target);
        return link;
    }

    // LIST_ORDER 1..n over the children of parent, in their present order.
    void Renumber(std::int32_t parent) {
        form->Seeker().SetSeekMode(engine::smChildren);
        form->Seeker().SetSeekNo(parent);
        store::TConceptList children;
        children.Assign(form->Seeker().GetItems());
        form->Seeker().RenumberChildren(children);
    }

    TConceptNode* Node(std::int32_t conceptNo) {
        store::TConceptData item;
        item.SetConceptNo(conceptNo);
        return tree->FindNode(item);
    }

    TConceptNode* MirrorNode(std::int32_t linkNo) {
        store::TConceptData item;
        item.SetIsLink(true);
        item.LinkNo = linkNo;
        return tree->FindNode(item);
    }

    TConceptNode& Open(std::int32_t conceptNo) {
        TConceptNode* node = Node(conceptNo);
        EXPECT_NE(node, nullptr);
        tree->ExpandNode(*node);
        return *node;
    }

    void Select(std::int32_t conceptNo) {
        tree->ConceptTreeView()->setCurrentItem(Node(conceptNo));
        form->UpdateTreeCommands();
    }

    QStringList Titles(TConceptNode& parent) {
        QStringList titles;
        for (int i = 0; i < parent.childCount(); ++i) {
            titles << parent.ChildNode(i)->text(0);
        }
        return titles;
    }

    // The level as the tables hold it: titles in LIST_ORDER.
    QStringList StoredLevel(std::int32_t parent) {
        form->Seeker().SetSeekMode(engine::smChildren);
        form->Seeker().SetSeekNo(parent);
        QStringList titles;
        const store::TConceptList& items = form->Seeker().GetItems();
        for (int i = 0; i < items.Count(); ++i) {
            titles << FromCp932(items[i].Title());
        }
        return titles;
    }

    std::int32_t StoredInt(std::int32_t conceptNo, std::string_view field) {
        store::TTable& concepts = form->Store().DtStOriginalConcepts;
        EXPECT_TRUE(concepts.Locate(store::kFieldRecordNo, store::TValue{conceptNo}));
        return concepts.FieldByName(field).AsInteger();
    }

    // The open label editor (closed ones linger until deleted).
    QLineEdit* Editor() {
        for (QLineEdit* line : tree->ConceptTreeView()->viewport()->findChildren<QLineEdit*>()) {
            if (line->isVisible()) {
                return line;
            }
        }
        return nullptr;
    }

    // Return in the label editor; the editor commits once events are processed.
    void Commit(QLineEdit* editor) {
        QTest::keyClick(editor, Qt::Key_Return);
        WaitForEditorClosed();
    }

    void WaitForEditorClosed() {
        test_support::WaitUntil([this] { return !tree->IsEditing(); });
    }

    void Trigger(const char* command) {
        ASSERT_TRUE(form->Command(command)->isEnabled()) << command;
        form->Command(command)->trigger();
    }

    QTemporaryDir dir;
    TScriptedUi ui;
    std::unique_ptr<TMainForm> form;
    views::TFrameTreeView* tree = nullptr;
    int seekCalls = 0;
    std::int32_t top, grain, rice, wheat, vegetable, carrot, fruit, meat, beef;
    std::int32_t riceImage, beefImage;
};

TEST_F(TreeCommands, LoadsOneLevelWhenOpenedAndKeepsItAcrossCollapse) {
    TConceptNode* root = tree->RootNode();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(Titles(*root), (QStringList{"穀物", "野菜", "果物", "肉類"}));
    EXPECT_EQ(Node(grain)->childCount(), 0);  // not opened yet
    EXPECT_EQ(Node(grain)->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);

    Node(grain)->setExpanded(true);
    EXPECT_EQ(seekCalls, 1);
    EXPECT_EQ(Titles(*Node(grain)), (QStringList{"米", "麦"}));
    EXPECT_EQ(Node(rice)->childCount(), 0);
    Node(grain)->setExpanded(false);
    Node(grain)->setExpanded(true);
    EXPECT_EQ(seekCalls, 1);

    // Collapsing a node collapses what lies below it.
    Open(vegetable);
    root->setExpanded(false);
    EXPECT_FALSE(Node(grain)->isExpanded());
    EXPECT_FALSE(Node(vegetable)->isExpanded());
}

TEST_F(TreeCommands, MirrorImagesShowTheirRelationAndNeverExpand) {
    Open(fruit);
    Open(vegetable);
    TConceptNode* image = MirrorNode(riceImage);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->text(0), "米");
    EXPECT_EQ(views::ImageIndex(image->Data()), 2 * 2 + 1);  // 米 has no children
    EXPECT_EQ(image->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicator);
    EXPECT_EQ(views::ImageIndex(Node(grain)->Data()), 0);
    EXPECT_EQ(views::ImageIndex(Node(fruit)->Data()), 0);  // holds an image
    EXPECT_EQ(views::ImageIndex(Node(carrot)->Data()), 1);

    // Relation codes above 10 share the pictures of 10.
    store::TConceptData far = image->Data();
    far.LinkCode = 14;
    EXPECT_EQ(views::ImageIndex(far), 21);
    EXPECT_EQ(views::TreeImageList().size(), 22u);
    EXPECT_THROW(tree->TreeViewExpandTreeNode(*image), store::EVelmoraError);
}

TEST_F(TreeCommands, RetitlingStoresTheTitleAndRefusesMirrorImages) {
    Open(grain);
    Select(rice);
    Trigger("TreeviewEditLabel");
    QLineEdit* editor = Editor();
    ASSERT_NE(editor, nullptr);
    EXPECT_TRUE(tree->IsEditing());
    editor->setText("玄米");
    Commit(editor);
    EXPECT_EQ(Node(rice)->text(0), "玄米");
    EXPECT_EQ(StoredLevel(grain), (QStringList{"玄米", "麦"}));
    EXPECT_TRUE(form->Command("EditUndo")->isEnabled());

    // An empty title is stored as "タイトル未設定"; the mirror image of it follows.
    Open(fruit);
    Select(rice);
    Trigger("TreeviewEditLabel");
    editor = Editor();
    ASSERT_NE(editor, nullptr);
    editor->clear();
    Commit(editor);
    EXPECT_EQ(Node(rice)->text(0), "タイトル未設定");
    ASSERT_NE(MirrorNode(riceImage), nullptr);
    EXPECT_EQ(MirrorNode(riceImage)->Data().ConceptNo(), rice);
    EXPECT_EQ(MirrorNode(riceImage)->text(0), "タイトル未設定");

    // A character the files cannot hold is stored as "?", and the user is told.
    Select(wheat);
    Trigger("TreeviewEditLabel");
    Editor()->setText(QString::fromUtf8("麦\xF0\x9F\x8C\xBE"));
    Commit(Editor());
    EXPECT_EQ(Node(wheat)->text(0), "麦?");
    EXPECT_EQ(form->StatusText(), "Shift-JIS で表せない文字 1 個を \"?\" に置き換えました.");

    tree->ConceptTreeView()->setCurrentItem(MirrorNode(riceImage));
    form->UpdateTreeCommands();
    Trigger("TreeviewEditLabel");
    EXPECT_FALSE(tree->IsEditing());
    EXPECT_EQ(form->StatusText(), "鏡像から概念のタイトルを変更することは出来ません.");
}

TEST_F(TreeCommands, ALabelEditEndsAcceptedWhenTheFocusLeaves) {
    Open(grain);
    Select(wheat);
    Trigger("TreeviewEditLabel");
    QLineEdit* editor = Editor();
    ASSERT_NE(editor, nullptr);
    editor->setText("大麦");
    form->menuBar()->setFocus();
    WaitForEditorClosed();
    EXPECT_EQ(StoredLevel(grain), (QStringList{"米", "大麦"}));
}

TEST_F(TreeCommands, UndoDropsAnOpenLabelEditAndClosingAsksAboutIt) {
    Select(fruit);
    Trigger("TreeviewAddChild");  // a save point, the new concept, its label editor
    ASSERT_TRUE(tree->IsEditing());
    form->Command("EditUndo")->trigger();
    EXPECT_FALSE(tree->IsEditing());
    EXPECT_TRUE(ui.questions.empty());  // nothing stored on the vanished concept
    EXPECT_FALSE(form->Command("EditUndo")->isEnabled());
    EXPECT_EQ(StoredLevel(fruit), (QStringList{"米"}));

    // A title still in its editor counts as a change when the ontology is closed.
    form->Ontology()->SetModified(false);
    Select(wheat);
    Open(grain);
    Select(wheat);
    Trigger("TreeviewEditLabel");
    Editor()->setText("大麦");
    ui.answers = {TAnswer::Cancel};
    EXPECT_FALSE(form->CloseOntology(nullptr));
    EXPECT_EQ(ui.questions.size(), 1u);
    EXPECT_EQ(StoredLevel(grain), (QStringList{"米", "大麦"}));
}

TEST_F(TreeCommands, SelectionIsReportedOnceItSettlesAndRightClickSelects) {
    Open(grain);
    int reports = 0;
    tree->OnSelectionChange = [&reports] { ++reports; };
    tree->ConceptTreeView()->setCurrentItem(Node(rice));
    tree->ConceptTreeView()->setCurrentItem(Node(wheat));
    EXPECT_EQ(reports, 0);
    test_support::WaitUntil([&reports] { return reports > 0; });
    EXPECT_EQ(reports, 1);

    const QRect row = tree->ConceptTreeView()->visualItemRect(Node(vegetable));
    QTest::mouseClick(tree->ConceptTreeView()->viewport(), Qt::RightButton, {}, row.center());
    EXPECT_EQ(tree->SelectedNode(), Node(vegetable));
}

TEST_F(TreeCommands, MovesWithinALevelRenumberIt) {
    Select(vegetable);  // the second item
    Trigger("TreeviewMoveUpper");
    EXPECT_EQ(Titles(*tree->RootNode()), (QStringList{"野菜", "穀物", "果物", "肉類"}));
    EXPECT_EQ(StoredLevel(top), Titles(*tree->RootNode()));
    EXPECT_EQ(StoredInt(vegetable, store::kFieldParentNo), top);
    EXPECT_EQ(StoredInt(vegetable, store::kFieldListOrder), 1);

    Select(fruit);  // the second-last item goes to the end
    Trigger("TreeviewMoveDown");
    // The selection is reported after 50 ms; the commands follow it.
    test_support::WaitUntil([this] { return !form->Command("TreeviewMoveDown")->isEnabled(); });
    EXPECT_EQ(Titles(*tree->RootNode()), (QStringList{"野菜", "穀物", "肉類", "果物"}));
    EXPECT_EQ(StoredLevel(top), Titles(*tree->RootNode()));
    EXPECT_FALSE(form->Command("TreeviewMoveDown")->isEnabled());
    EXPECT_EQ(tree->SelectedNode(), Node(fruit));
}

TEST_F(TreeCommands, MovesBetweenLevelsKeepTheViewAndTheTablesInStep) {
    // Higher when the parent is the last of its level: to the end of the grandparent's level.
    Open(meat);
    Select(beef);
    Trigger("TreeviewMoveHigher");
    EXPECT_EQ(Titles(*tree->RootNode()), (QStringList{"穀物", "野菜", "果物", "肉類", "牛肉"}));
    EXPECT_EQ(StoredInt(beef, store::kFieldParentNo), top);
    // 肉類 lost its only child: no expand button, the dim picture, also in the workspace's data.
    EXPECT_FALSE(Node(meat)->Data().HasChildren());
    EXPECT_EQ(Node(meat)->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicatorWhenChildless);
    EXPECT_TRUE(store::SameConceptData(*form->CurrentConcept(), Node(beef)->Data()));

    // Lower into a leaf: 牛肉 under 肉類, which gains its expand button again.
    Select(beef);
    Trigger("TreeviewMoveLower");
    EXPECT_EQ(StoredInt(beef, store::kFieldParentNo), meat);
    EXPECT_EQ(Titles(*Node(meat)), (QStringList{"牛肉"}));
    EXPECT_TRUE(Node(meat)->Data().HasChildren());
    EXPECT_EQ(Node(meat)->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);

    // Higher when the parent is not last: right after the parent.
    Open(grain);
    Select(rice);
    Trigger("TreeviewMoveHigher");
    EXPECT_EQ(Titles(*tree->RootNode()), (QStringList{"穀物", "米", "野菜", "果物", "肉類"}));
    EXPECT_EQ(StoredLevel(top), Titles(*tree->RootNode()));
}

TEST_F(TreeCommands, MovingTheOnlyChildOutClearsHasChildrenOnEveryNodeOfTheConcept) {
    // 人参 is 野菜's only concept child, but 野菜 also holds the image of 牛肉; the carrot's
    // own parent keeps children. Make a concept with an only child and a mirror image of it.
    const std::int32_t meatImage = Mirror(meat, fruit, 1);
    form->ShowTopConcept();
    Open(fruit);
    Open(meat);
    ASSERT_NE(MirrorNode(meatImage), nullptr);
    EXPECT_EQ(views::ImageIndex(MirrorNode(meatImage)->Data()), 2);
    Select(beef);
    Trigger("TreeviewMoveHigher");
    EXPECT_FALSE(Node(meat)->Data().HasChildren());
    EXPECT_FALSE(MirrorNode(meatImage)->Data().HasChildren());
    EXPECT_EQ(views::ImageIndex(MirrorNode(meatImage)->Data()), 3);
}

TEST_F(TreeCommands, AMoveUnderItsOwnDescendantIsRefusedAndUndone) {
    Open(grain);
    Select(grain);
    const int changesBefore = form->Store().DtStOriginalConcepts.ChangeCount();
    ui.answers = {TAnswer::Ok};
    // Dropped on the upper half of its own child: it would go under itself.
    const QRect row = tree->ConceptTreeView()->visualItemRect(Node(wheat));
    tree->DropAt(QPoint(row.center().x(), row.top() + 1));
    EXPECT_EQ(StoredInt(grain, store::kFieldParentNo), top);
    EXPECT_EQ(form->Store().DtStOriginalConcepts.ChangeCount(), changesBefore);
    EXPECT_EQ(Titles(*tree->RootNode()), (QStringList{"穀物", "野菜", "果物", "肉類"}));
    EXPECT_FALSE(form->Command("EditUndo")->isEnabled());  // the refused step left no undo
}

TEST_F(TreeCommands, DropsPutTheNodeBesideTheTarget) {
    Open(grain);
    Open(vegetable);
    // Upper half of a node of another level: just before it.
    Select(carrot);
    QRect row = tree->ConceptTreeView()->visualItemRect(Node(wheat));
    EXPECT_TRUE(tree->DragOverAt(QPoint(row.center().x(), row.top() + 1)));
    EXPECT_FALSE(tree->DropLowerHalf());
    tree->DropAt(QPoint(row.center().x(), row.top() + 1));
    EXPECT_EQ(Titles(*Node(grain)), (QStringList{"米", "人参", "麦"}));
    EXPECT_EQ(StoredLevel(grain), Titles(*Node(grain)));

    // Lower half of the last node of a level: at the end of that level.
    Select(fruit);
    row = tree->ConceptTreeView()->visualItemRect(Node(wheat));
    tree->DropAt(QPoint(row.center().x(), row.bottom() - 1));
    EXPECT_EQ(Titles(*Node(grain)), (QStringList{"米", "人参", "麦", "果物"}));
    EXPECT_EQ(StoredInt(fruit, store::kFieldParentNo), grain);

    // Nothing goes beside the top concept, and the top concept is not dragged.
    Select(rice);
    row = tree->ConceptTreeView()->visualItemRect(tree->RootNode());
    EXPECT_FALSE(tree->DragOverAt(row.center()));
    tree->DropAt(row.center());
    EXPECT_EQ(StoredInt(rice, store::kFieldParentNo), grain);
    Select(top);
    EXPECT_FALSE(tree->CanStartDrag());
}

TEST_F(TreeCommands, ADropJustAfterItselfLeavesTheNodeInPlace) {
    Select(vegetable);  // dropped on the lower half of the node above it
    const QRect row = tree->ConceptTreeView()->visualItemRect(Node(grain));
    tree->DropAt(QPoint(row.center().x(), row.bottom() - 1));
    EXPECT_EQ(Titles(*tree->RootNode()), (QStringList{"穀物", "野菜", "果物", "肉類"}));
    EXPECT_EQ(StoredLevel(top), Titles(*tree->RootNode()));
    EXPECT_EQ(tree->SelectedNode(), Node(vegetable));
}

TEST_F(TreeCommands, AChildAddedAtAMirrorImageGoesUnderTheConceptItShows) {
    Open(fruit);
    tree->ConceptTreeView()->setCurrentItem(MirrorNode(riceImage));
    form->UpdateTreeCommands();
    Trigger("TreeviewAddChild");
    EXPECT_TRUE(ui.questions.empty());
    EXPECT_EQ(StoredLevel(rice), (QStringList{"新規の概念"}));
    EXPECT_EQ(MirrorNode(riceImage)->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicator);
}

// The example of the fault: A#1 B#2 with two new concepts added at a mirror image of their
// parent, then one moved; numbered under the mirror image, two items shared each number.
TEST_F(TreeCommands, ConceptsAddedAtAMirrorImageAreEditedAndMovedInTheirOwnLevel) {
    store::TDataModule1& store = form->Store();
    store.AppendConcept("A", rice, "");
    store.AppendConcept("B", rice, "");
    Renumber(rice);
    Open(fruit);
    for (int i = 0; i < 2; ++i) {
        tree->ConceptTreeView()->setCurrentItem(MirrorNode(riceImage));
        form->UpdateTreeCommands();
        Trigger("TreeviewAddChild");
        ASSERT_NE(tree->SelectedNode(), nullptr);
        EXPECT_EQ(tree->SelectedNode()->ParentNode(), Node(rice));  // the path was built
        EXPECT_TRUE(tree->IsEditing());
        QTest::keyClick(Editor(), Qt::Key_Escape);
        WaitForEditorClosed();
    }
    EXPECT_EQ(MirrorNode(riceImage)->childCount(), 0);
    EXPECT_EQ(Titles(*Node(rice)), (QStringList{"A", "B", "新規の概念", "新規の概念(2)"}));
    EXPECT_TRUE(Node(rice)->isExpanded());

    form->UpdateTreeCommands();
    Trigger("TreeviewMoveUpper");
    EXPECT_EQ(Titles(*Node(rice)), (QStringList{"A", "B", "新規の概念(2)", "新規の概念"}));
    EXPECT_EQ(StoredLevel(rice), Titles(*Node(rice)));
    std::vector<std::int32_t> orders;
    for (int i = 0; i < Node(rice)->childCount(); ++i) {
        orders.push_back(
            StoredInt(Node(rice)->ChildNode(i)->Data().ConceptNo(), store::kFieldListOrder));
    }
    EXPECT_EQ(orders, (std::vector<std::int32_t>{1, 2, 3, 4}));
}

TEST_F(TreeCommands, MirrorImagesTheCycleCheckDeletesLeaveTheTree) {
    // 穀物 shown again under 人参: moving 野菜 under 穀物 would make a cycle through it.
    const std::int32_t grainImage = Mirror(grain, carrot, 1);
    Open(grain);
    Open(vegetable);
    Open(carrot);
    ASSERT_NE(MirrorNode(grainImage), nullptr);
    Select(vegetable);
    ui.answers = {TAnswer::Yes};  // delete the mirror image
    const QRect row = tree->ConceptTreeView()->visualItemRect(Node(wheat));
    tree->DropAt(QPoint(row.center().x(), row.top() + 1));
    ASSERT_EQ(ui.questions.size(), 1u);
    EXPECT_EQ(StoredInt(vegetable, store::kFieldParentNo), grain);
    EXPECT_EQ(MirrorNode(grainImage), nullptr);
    EXPECT_EQ(Node(carrot)->childCount(), 0);
    EXPECT_FALSE(Node(carrot)->Data().HasChildren());

    // Every node left is one the user can select.
    for (QTreeWidgetItemIterator it(tree->ConceptTreeView()); *it != nullptr; ++it) {
        tree->ConceptTreeView()->setCurrentItem(*it);
        form->UpdateTreeCommands();
    }
    EXPECT_EQ(ui.questions.size(), 1u) << ui.questions.back().text.toStdString();
}

TEST_F(TreeCommands, AFailingLoadIsReportedAndTheNodeStaysClosed) {
    tree->OnSeekChildren = [](const store::TConceptData&) -> std::unique_ptr<store::TConceptList> {
        throw store::EVelmoraError("読めません");
    };
    ui.answers = {TAnswer::Ok};
    Node(grain)->setExpanded(true);  // as a click on the expand button does
    EXPECT_FALSE(Node(grain)->isExpanded());
    EXPECT_EQ(ui.Texts(), (std::vector<QString>{"読めません"}));
}

TEST_F(TreeCommands, AddedConceptsGetFreeNamesAndStartTheirLabelEdit) {
    Select(fruit);
    Trigger("TreeviewAddChild");
    EXPECT_TRUE(tree->IsEditing());
    QTest::keyClick(Editor(), Qt::Key_Escape);
    WaitForEditorClosed();
    Select(fruit);
    Trigger("TreeviewAddChild");
    QTest::keyClick(Editor(), Qt::Key_Escape);
    EXPECT_EQ(StoredLevel(fruit), (QStringList{"米", "新規の概念", "新規の概念(2)"}));
    EXPECT_EQ(Titles(*Node(fruit)), StoredLevel(fruit));

    // A sibling under a level not opened before: the whole level is loaded, the new one last.
    Select(vegetable);
    Trigger("TreeviewAddSibling");
    EXPECT_EQ(Titles(*tree->RootNode()).back(), "新規の概念");
    EXPECT_EQ(Titles(*tree->RootNode()).size(), 5);
}

TEST_F(TreeCommands, SortPutsConceptsByTitleThenMirrorImagesByRelation) {
    store::TDataModule1& store = form->Store();
    const std::int32_t b = store.AppendConcept("b", fruit, "");
    const std::int32_t a = store.AppendConcept("a", fruit, "");
    Mirror(wheat, fruit, 1);  // 麦, relation 1; 米 has relation 2
    form->ShowTopConcept();
    Open(fruit);
    Select(b);
    Trigger("TreeviewSortSibling");
    EXPECT_EQ(Titles(*Node(fruit)), (QStringList{"a", "b", "麦", "米"}));
    EXPECT_EQ(StoredLevel(fruit), Titles(*Node(fruit)));
    EXPECT_EQ(StoredInt(a, store::kFieldListOrder), 1);
}

TEST_F(TreeCommands, SortOrdersKanaByTheSyllabaryWhateverTheProcessLocale) {
    const QLocale before;
    QLocale::setDefault(QLocale::c());  // by code point every hiragana comes before katakana
    store::TDataModule1& store = form->Store();
    const std::int32_t ka = store.AppendConcept(S("か"), fruit, "");
    store.AppendConcept(S("ア"), fruit, "");
    store.AppendConcept(S("い"), fruit, "");
    form->ShowTopConcept();
    Open(fruit);
    Select(ka);
    Trigger("TreeviewSortSibling");
    QLocale::setDefault(before);
    EXPECT_EQ(Titles(*Node(fruit)), (QStringList{"ア", "い", "か", "米"}));
}

TEST_F(TreeCommands, EnabledStateFollowsTheSelectedNode) {
    struct TCase {
        const char* title;
        std::int32_t node;
        std::vector<const char*> enabled;
    };
    Open(grain);
    const std::vector<const char*> all = {
        "TreeviewAddChild",  "TreeviewEditLabel", "TreeviewAddSibling", "TreeviewMoveHigher",
        "TreeviewMoveLower", "TreeviewMoveUpper", "TreeviewMoveDown",   "TreeviewSortSibling"};
    for (const TCase& c : std::initializer_list<TCase>{
             {"top", top, {"TreeviewAddChild", "TreeviewEditLabel"}},
             {"first of a level",
              grain,
              {"TreeviewAddChild", "TreeviewEditLabel", "TreeviewAddSibling", "TreeviewMoveDown",
               "TreeviewSortSibling"}},
             {"second level, last",
              wheat,
              {"TreeviewAddChild", "TreeviewEditLabel", "TreeviewAddSibling", "TreeviewMoveHigher",
               "TreeviewMoveLower", "TreeviewMoveUpper", "TreeviewSortSibling"}}}) {
        SCOPED_TRACE(c.title);
        Select(c.node);
        for (const char* name : all) {
            const bool expected = std::find_if(c.enabled.begin(), c.enabled.end(), [&](auto e) {
                                      return std::string(e) == name;
                                  }) != c.enabled.end();
            EXPECT_EQ(form->Command(name)->isEnabled(), expected) << name;
        }
    }
}

TEST_F(TreeCommands, BuildPathToOpensTheLevelsDownToAConcept) {
    tree->ClearTree();
    store::TConceptData item;
    item.SetConceptNo(top);
    TConceptNode* built = &tree->BuildPathTo(item);
    EXPECT_EQ(built, tree->RootNode());
    item.SetConceptNo(beef);
    TConceptNode& found = tree->BuildPathTo(item);
    EXPECT_EQ(found.text(0), "牛肉");
    EXPECT_EQ(found.ParentNode(), Node(meat));

    // A parent chain that never reaches the top ends with the data error.
    tree->OnSeekParent = [](const store::TConceptData& at) {
        auto up = std::make_unique<store::TConceptData>();
        up->SetConceptNo(at.ConceptNo() + 1);
        return up;
    };
    try {
        tree->BuildPathTo(item);
        ADD_FAILURE() << "no error";
    } catch (const store::EVelmoraError& e) {
        EXPECT_STREQ(e.what(), "不正なデータ: 概念ツリー構造のトップノードが見つかりません.");
    }
    tree->OnSeekParent = nullptr;
    try {
        tree->BuildPathTo(item);
        ADD_FAILURE() << "no error";
    } catch (const store::EVelmoraError& e) {
        EXPECT_STREQ(e.what(), "BUG: TreeViewFrame: OnSeekParent, OnSeekChildrenがnilです.");
    }
}

}  // namespace
}  // namespace velmora::app
