// Drops and pastes of concepts by the receiving view's role, the views' cut, copy and paste
// through the concept clipboard, throws onto the tree, icon positions and retitling from the
// icon views — driven through the callbacks the icon views call, over the sample ontology.
#include "concept_transfer.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "code_page.h"
#include "concept_clipboard.h"
#include "fake_icon_view.h"
#include "main_form.h"
#include "ontology_tables.h"
#include "scripted_ui.h"

namespace velmora::app {
namespace {

using store::TAnswer;
using testing::TFakeIconView;
using testing::TScriptedUi;
using views::TClipboardKey;

// Record numbers in the sample: the top concept and some of its levels.
constexpr std::int32_t kFood = 1;
constexpr std::int32_t kGrain = 2;
constexpr std::int32_t kVegetables = 3;
constexpr std::int32_t kRice = 9;
constexpr std::int32_t kLeafy = 19;

class ConceptTransfer : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        TQuillonIniFile(dir.filePath("velmora.ini")).SetAuthor("試験者");
        form = std::make_unique<TMainForm>(ui, dir.filePath("velmora.ini"));
        auto w = std::make_unique<TFakeIconView>();
        auto p = std::make_unique<TFakeIconView>();
        auto c = std::make_unique<TFakeIconView>();
        ws = w.get();
        parents = p.get();
        children = c.get();
        form->SetWorkspaceView(std::move(w));
        form->SetParentsView(std::move(p));
        form->SetChildrenView(std::move(c));
        const QString path = dir.filePath("sample.ont");
        ASSERT_TRUE(QFile::copy(VELMORA_SOURCE_DIR "/samples/sample.ont", path));
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        form->OpenOntologyFile(path);
        TClipbrdConceptData().Clear();
    }

    store::TConceptData Concept(std::int32_t no) {
        store::TConceptData item;
        item.SetConceptNo(no);
        return item;
    }
    void Show(std::int32_t no) { form->GoToConcept(nullptr, Concept(no), false, false); }
    std::int32_t ParentOf(std::int32_t no) { return form->Store().GetParentNo(no); }
    std::string TitleOf(std::int32_t no) {
        store::TTable& concepts = form->Store().DtStOriginalConcepts;
        EXPECT_TRUE(concepts.Locate(store::kFieldRecordNo, store::TValue{no})) << no;
        return store::Cp932ToUtf8(concepts.FieldByName(store::kFieldTitle).AsString());
    }
    // Titles of the concepts directly under no (its own children, not mirror images).
    std::vector<std::string> ChildTitles(std::int32_t no) {
        form->Seeker().SetSeekMode(engine::smChildren);
        form->Seeker().SetSeekNo(no);
        std::vector<std::string> titles;
        const store::TConceptList& items = form->Seeker().GetItems();
        for (int i = 0; i < items.Count(); ++i) {
            if (!items[i].IsLink()) {
                titles.push_back(store::Cp932ToUtf8(items[i].Title()));
            }
        }
        return titles;
    }
    int ParentCount(std::int32_t no) {
        form->Seeker().SetSeekMode(engine::smParents);
        form->Seeker().SetSeekNo(no);
        return form->Seeker().GetItems().Count();
    }
    void Select(TFakeIconView& view, std::initializer_list<std::int32_t> nos) {
        store::TConceptList chosen;
        for (const std::int32_t no : nos) {
            chosen.AddNew().Assign(Concept(no));
        }
        view.SelectItems(chosen);
    }
    store::TConceptList List(std::initializer_list<std::int32_t> nos) {
        store::TConceptList list;
        for (const std::int32_t no : nos) {
            list.AddNew().Assign(Concept(no));
        }
        return list;
    }

    QTemporaryDir dir;
    TScriptedUi ui;
    std::unique_ptr<TMainForm> form;
    TFakeIconView* ws = nullptr;
    TFakeIconView* parents = nullptr;
    TFakeIconView* children = nullptr;
};

TEST_F(ConceptTransfer, CopyPastedTwiceMakesTwoSetsOfCopiesAndStaysOnTheClipboard) {
    Show(kGrain);
    Select(*ws, {kGrain, kVegetables});
    ws->OnClipboardKey(TClipboardKey::Copy);
    const std::size_t before = ChildTitles(kVegetables).size();

    Show(kLeafy);  // the workspace shows the level under 野菜
    ws->OnClipboardKey(TClipboardKey::Paste);
    EXPECT_EQ(ChildTitles(kVegetables).size(), before + 2);
    EXPECT_TRUE(TClipbrdConceptData::HasPayload());
    ws->OnClipboardKey(TClipboardKey::Paste);
    EXPECT_EQ(ChildTitles(kVegetables).size(), before + 4);
    // The workspace shows the copies' level with the pasted copies selected.
    const std::vector<store::TConceptData> shown = ws->SelectedItems();
    ASSERT_EQ(shown.size(), 2U);
    EXPECT_EQ(TitleOf(shown[0].ConceptNo()), "コピー ～ 穀物");
    EXPECT_EQ(TitleOf(shown[1].ConceptNo()), "コピー ～ 野菜");
    EXPECT_EQ(ParentOf(shown[0].ConceptNo()), kVegetables);
    EXPECT_EQ(ParentOf(kGrain), kFood);  // the originals stay where they were
}

TEST_F(ConceptTransfer, CutIsMarkedMovesOnPasteOnceAndEmptiesTheClipboard) {
    Show(kGrain);
    Select(*ws, {kGrain});
    ws->OnClipboardKey(TClipboardKey::Cut);
    EXPECT_EQ(ws->cut.size(), 1U);
    EXPECT_EQ(ParentOf(kGrain), kFood);  // a cut alone changes nothing

    Show(kLeafy);
    ws->OnClipboardKey(TClipboardKey::Paste);
    EXPECT_EQ(ParentOf(kGrain), kVegetables);
    EXPECT_TRUE(ws->cut.empty());
    EXPECT_FALSE(TClipbrdConceptData::HasPayload());
    const std::size_t after = ChildTitles(kVegetables).size();
    ws->OnClipboardKey(TClipboardKey::Paste);  // nothing left to paste
    EXPECT_EQ(ChildTitles(kVegetables).size(), after);

    form->EditUndoExecute();  // one step takes the move back
    EXPECT_EQ(ParentOf(kGrain), kFood);
}

TEST_F(ConceptTransfer, PastingAnEntryDeletedSinceIsRefusedAndEmptiesTheClipboard) {
    Show(kRice);
    Select(*ws, {kRice});
    ws->OnClipboardKey(TClipboardKey::Copy);
    form->TakeSavePoint();
    form->Store().DeleteConceptTree(kRice);
    Show(kLeafy);
    const std::size_t before = ChildTitles(kVegetables).size();
    ui.answers = {TAnswer::Ok};
    ws->OnClipboardKey(TClipboardKey::Paste);
    ASSERT_EQ(ui.Texts(), std::vector<QString>{"エラー: データベースから項目が読み出せません."});
    EXPECT_EQ(ChildTitles(kVegetables).size(), before);
    EXPECT_FALSE(TClipbrdConceptData::HasPayload());
}

TEST_F(ConceptTransfer, APayloadOfAnotherInstanceIsIgnored) {
    TClipbrdConceptData().WriteAs(TClipbrdConceptData::InstanceNumber() + 1, true, List({kGrain}));
    Show(kLeafy);
    const std::size_t before = ChildTitles(kVegetables).size();
    ws->OnClipboardKey(TClipboardKey::Paste);
    EXPECT_EQ(ChildTitles(kVegetables).size(), before);
    EXPECT_TRUE(ui.questions.empty());
}

TEST_F(ConceptTransfer, WorkspaceDropsGoUnderTheItemHitElseIntoTheLevelShown) {
    Show(kGrain);
    const store::TConceptData vegetables = Concept(kVegetables);
    ws->OnDropItems(List({kRice}), &vegetables);
    EXPECT_EQ(ParentOf(kRice), kVegetables);

    Show(kLeafy);  // the level under 野菜
    ws->OnDropItems(List({kGrain}), nullptr);
    EXPECT_EQ(ParentOf(kGrain), kVegetables);
    ASSERT_EQ(ws->SelectedItems().size(), 1U);
    EXPECT_EQ(ws->SelectedItems()[0].ConceptNo(), kGrain);

    // Nothing stands above the top concept's level.
    Show(kFood);
    ws->OnDropItems(List({kRice}), nullptr);
    EXPECT_EQ(ParentOf(kRice), kVegetables);
}

TEST_F(ConceptTransfer, PaneDropsMakeFurtherParentsAndChildrenButNotFromMirrorImages) {
    Show(kRice);
    ASSERT_EQ(ParentCount(kRice), 1);
    parents->OnDropItems(List({kVegetables}), nullptr);
    EXPECT_EQ(ParentCount(kRice), 2);
    EXPECT_EQ(parents->items.Count(), 2);  // the current concept is shown again

    Show(kLeafy);
    children->OnDropItems(List({kRice}), nullptr);
    EXPECT_EQ(ParentCount(kRice), 3);

    // A selection holding a mirror image does nothing on a pane.
    store::TConceptList withImage = List({kGrain});
    form->Seeker().SetSeekMode(engine::smParents);
    form->Seeker().SetSeekNo(kRice);
    const store::TConceptList& riceParents = form->Seeker().GetItems();
    for (int i = 0; i < riceParents.Count(); ++i) {
        if (riceParents[i].IsLink()) {
            withImage.AddNew().Assign(riceParents[i]);
            break;
        }
    }
    ASSERT_EQ(withImage.Count(), 2);
    Show(kGrain);
    const int grainParents = ParentCount(kGrain);
    parents->OnDropItems(withImage, nullptr);
    EXPECT_EQ(ParentCount(kGrain), grainParents);
}

TEST_F(ConceptTransfer, ThrowsOntoTheTreeBecomeLastChildrenAndNeverGoUnderAMirrorImage) {
    Show(kVegetables);
    views::TFrameTreeView& tree = form->TreeView();
    views::TConceptNode* target = tree.FindNode(Concept(kGrain));
    ASSERT_NE(target, nullptr);
    tree.OnItemsThrown(List({kLeafy}), *target);
    EXPECT_EQ(ParentOf(kLeafy), kGrain);
    EXPECT_EQ(ChildTitles(kGrain).back(), "葉菜類");
}

TEST_F(ConceptTransfer, PositionsPlacedAreStoredWithoutAndMovesWithOneSavePoint) {
    Show(kGrain);
    const std::size_t steps = form->Ontology()->SavePointCount();
    store::TConceptList placed = List({kGrain, kVegetables});
    placed[0].IconPos = {10, 20};
    placed[1].IconPos = {30, 40};
    ws->OnItemsPlaced(placed);
    EXPECT_EQ(form->Ontology()->SavePointCount(), steps);
    placed[0].IconPos = {0, 0};
    placed[1].IconPos = {5, 5};
    ws->OnItemsMoved(placed);
    EXPECT_EQ(form->Ontology()->SavePointCount(), steps + 1);
    store::TTable& concepts = form->Store().DtStOriginalConcepts;
    ASSERT_TRUE(concepts.Locate(store::kFieldRecordNo, store::TValue{kVegetables}));
    EXPECT_EQ(concepts.FieldByName(store::kFieldIconPosX).AsInteger(), 5);
    EXPECT_EQ(concepts.FieldByName(store::kFieldIconPosY).AsInteger(), 5);
    form->EditUndoExecute();
    ASSERT_TRUE(concepts.Locate(store::kFieldRecordNo, store::TValue{kVegetables}));
    EXPECT_EQ(concepts.FieldByName(store::kFieldIconPosX).AsInteger(), 30);
}

TEST_F(ConceptTransfer, RetitlingInAnIconViewFollowsTheTreesRules) {
    Show(kGrain);
    ws->OnTitleEdited(Concept(kGrain), "");
    store::TTable& concepts = form->Store().DtStOriginalConcepts;
    ASSERT_TRUE(concepts.Locate(store::kFieldRecordNo, store::TValue{kGrain}));
    EXPECT_EQ(store::Cp932ToUtf8(concepts.FieldByName(store::kFieldTitle).AsString()),
              "タイトル未設定");
    EXPECT_EQ(store::Cp932ToUtf8(form->TreeView().FindNode(Concept(kGrain))->Data().Title()),
              "タイトル未設定");
    form->EditUndoExecute();
    ASSERT_TRUE(concepts.Locate(store::kFieldRecordNo, store::TValue{kGrain}));
    EXPECT_EQ(store::Cp932ToUtf8(concepts.FieldByName(store::kFieldTitle).AsString()), "穀物");
}

}  // namespace
}  // namespace velmora::app
