// The workspace commands and the delete command over the sample ontology, driven as the user
// drives them: selections in the workspace, the command, the answer to its question. Every
// command is undone exactly: the five tables equal what they were before it.
#include "workspace_commands.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTreeWidget>

#include "code_page.h"
#include "fake_icon_view.h"
#include "link_type_form.h"
#include "main_form.h"
#include "ontology_tables.h"
#include "scripted_ui.h"
#include "wait_until.h"

namespace velmora::app {
namespace {

using store::TAnswer;
using testing::TFakeIconView;
using testing::TScriptedUi;

// Record numbers in the sample.
constexpr std::int32_t kFood = 1;
constexpr std::int32_t kGrain = 2;
constexpr std::int32_t kRice = 9;
constexpr std::int32_t kUruchi = 10;
constexpr std::int32_t kMochi = 11;
constexpr std::int32_t kGenmai = 12;

using TTables = std::vector<std::vector<store::TValue>>;

class WorkspaceCommands : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        TQuillonIniFile(dir.filePath("velmora.ini")).SetAuthor("試験者");
        form = std::make_unique<TMainForm>(ui, dir.filePath("velmora.ini"));
        auto w = std::make_unique<TFakeIconView>();
        ws = w.get();
        form->SetWorkspaceView(std::move(w));
        form->SetParentsView(std::make_unique<TFakeIconView>());
        form->SetChildrenView(std::make_unique<TFakeIconView>());
        const QString path = dir.filePath("sample.ont");
        ASSERT_TRUE(QFile::copy(VELMORA_SOURCE_DIR "/samples/sample.ont", path));
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        form->OpenOntologyFile(path);
        form->show();
        QApplication::setActiveWindow(form.get());
        test_support::WaitUntil([this] { return form->isActiveWindow(); });
    }

    // The keyboard focus in the workspace, as the edit commands look for it.
    void FocusWorkspace() {
        ws->setFocus();
        test_support::WaitUntil([this] { return QApplication::focusWidget() == ws; });
    }

    store::TConceptData Concept(std::int32_t no) {
        store::TConceptData item;
        item.SetConceptNo(no);
        return item;
    }
    void Show(std::int32_t no) { form->GoToConcept(nullptr, Concept(no), false, false); }
    // The user selects these workspace items (by concept number, or a mirror image by LinkNo).
    void Select(std::initializer_list<std::int32_t> nos, bool images = false) {
        std::vector<int> at;
        for (const std::int32_t no : nos) {
            for (int i = 0; i < ws->items.Count(); ++i) {
                const store::TConceptData& item = ws->items[i];
                if (images ? item.IsLink() && item.LinkNo == no
                           : !item.IsLink() && item.ConceptNo() == no) {
                    at.push_back(i);
                }
            }
        }
        ASSERT_EQ(at.size(), nos.size());
        ws->UserSelects(at);
    }
    void Run(const char* command) {
        form->Command(command)->setEnabled(true);
        form->Command(command)->trigger();
    }
    TTables Tables() {
        TTables out;
        for (store::TTable* table : form->Store().Tables()) {
            table->ForEachRecord([&](std::span<const store::TValue> values) {
                out.emplace_back(values.begin(), values.end());
            });
            out.emplace_back();  // between tables
        }
        return out;
    }
    std::vector<std::string> ChildTitles(std::int32_t no) {
        form->Seeker().SetSeekMode(engine::smChildren);
        form->Seeker().SetSeekNo(no);
        std::vector<std::string> titles;
        const store::TConceptList& items = form->Seeker().GetItems();
        for (int i = 0; i < items.Count(); ++i) {
            titles.push_back(store::Cp932ToUtf8(items[i].Title()));
        }
        return titles;
    }
    int MirrorImageCount() { return form->Store().DtStOriginalNetWork.RecordCount(); }
    std::int32_t CurrentNo() { return form->CurrentConcept()->ConceptNo(); }

    QTemporaryDir dir;
    TScriptedUi ui;
    std::unique_ptr<TMainForm> form;
    TFakeIconView* ws = nullptr;
};

TEST_F(WorkspaceCommands, EveryCommandIsUndoneExactlyAndNoAnswerTakesNoStep) {
    struct TCase {
        const char* command;
        std::vector<std::int32_t> selected;
        const char* question;  // the start of its question
    };
    const TCase cases[] = {
        {"WorkspaceDivide", {kUruchi, kMochi}, "この概念項目を複製しますか?"},
        {"WorkspaceCreateMirrorImage", {kUruchi, kMochi, kGenmai}, "この概念項目の「鏡像」"},
        {"WorkSpaceMerge", {kUruchi, kMochi}, "これらの概念項目を併合"},
        {"EditDelete", {kUruchi}, "次の概念項目及びこの下位項目を削除しますか？"},
        {"WorkspaceArrange", {}, nullptr},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.command);
        Show(kUruchi);
        const TTables before = Tables();
        const std::size_t steps = form->Ontology()->SavePointCount();
        std::vector<int> at;
        for (const std::int32_t no : c.selected) {
            for (int i = 0; i < ws->items.Count(); ++i) {
                if (!ws->items[i].IsLink() && ws->items[i].ConceptNo() == no) {
                    at.push_back(i);
                }
            }
        }
        ws->UserSelects(at);
        if (c.question != nullptr) {
            for (const TAnswer answer : {TAnswer::No, TAnswer::Cancel}) {
                ui.answers = {answer};
                FocusWorkspace();
                Run(c.command);
                EXPECT_EQ(form->Ontology()->SavePointCount(), steps);
                EXPECT_EQ(Tables(), before);
            }
            ws->UserSelects(at);
            ui.answers = {TAnswer::Yes};
        }
        FocusWorkspace();
        Run(c.command);
        if (c.question != nullptr) {
            ASSERT_FALSE(ui.questions.empty());
            EXPECT_TRUE(ui.questions.back().text.startsWith(QString::fromUtf8(c.question)))
                << ui.questions.back().text.toStdString();
        }
        EXPECT_EQ(form->Ontology()->SavePointCount(), steps + 1);
        if (c.question != nullptr) {  // (arranging unplaced icons changes no record)
            EXPECT_NE(Tables(), before);
        }
        form->EditUndoExecute();
        EXPECT_EQ(Tables(), before);
    }
}

TEST_F(WorkspaceCommands, DeletingTheOnlyChildMakesTheParentALeafAndCurrent) {
    // Fruit's children: delete all but one, then the last.
    Show(kGrain);
    const std::vector<std::string> before = ChildTitles(kRice);
    ASSERT_EQ(before.size(), 3U);
    Show(kUruchi);
    Select({kUruchi});
    ui.answers = {TAnswer::Yes};
    form->Command("EditDelete")->setEnabled(true);
    FocusWorkspace();
    form->Command("EditDelete")->trigger();
    // One of several siblings: the first remaining becomes current.
    EXPECT_EQ(CurrentNo(), kMochi);
    Select({kMochi, kGenmai});
    ui.answers = {TAnswer::Yes};
    FocusWorkspace();
    form->Command("EditDelete")->trigger();
    EXPECT_EQ(ui.questions.back().text,
              "これらの概念項目または鏡像項目およびこれらの下位項目を削除しますか？");
    EXPECT_TRUE(ChildTitles(kRice).empty());
    EXPECT_EQ(CurrentNo(), kRice);
    views::TConceptNode* rice = form->TreeView().FindNode(Concept(kRice));
    ASSERT_NE(rice, nullptr);
    EXPECT_FALSE(rice->Data().HasChildren());
    EXPECT_EQ(rice->childCount(), 0);
}

TEST_F(WorkspaceCommands, TheTopConceptIsNeverDeleted) {
    Show(kFood);
    Select({kFood});
    FocusWorkspace();
    Run("EditDelete");
    EXPECT_EQ(ui.Texts(), std::vector<QString>{"トップノードは削除できません."});
    EXPECT_EQ(form->Store().DtStOriginalConcepts.RecordCount(), 60);
}

TEST_F(WorkspaceCommands, MirrorImagesOfThreeConceptsStandBesideThemSelected) {
    Show(kUruchi);
    views::TConceptNode* rice = form->TreeView().FindNode(Concept(kRice));
    ASSERT_NE(rice, nullptr);
    const int nodes = rice->childCount();
    const int images = MirrorImageCount();
    Select({kUruchi, kMochi, kGenmai});
    ui.answers = {TAnswer::Yes};
    Run("WorkspaceCreateMirrorImage");
    EXPECT_EQ(MirrorImageCount(), images + 3);
    const std::vector<store::TConceptData> selected = ws->SelectedItems();
    ASSERT_EQ(selected.size(), 3U);
    for (const store::TConceptData& item : selected) {
        EXPECT_TRUE(item.IsLink());
        EXPECT_EQ(item.LinkCode, 1);
        EXPECT_EQ(form->Store().GetParentNo(item.ConceptNo()), kRice);
    }
    EXPECT_EQ(rice->childCount(), nodes + 3);
}

TEST_F(WorkspaceCommands, DuplicateAndMergeAreOfferedForConceptsBelowTheTopLevelOnly) {
    const auto offered = [&](const char* command) {
        form->UpdateWorkspaceCommands(true);
        return form->Command(command)->isEnabled();
    };
    Show(kUruchi);
    Select({kUruchi, kMochi});
    EXPECT_TRUE(offered("WorkspaceDivide"));
    EXPECT_TRUE(offered("WorkSpaceMerge"));

    ui.answers = {TAnswer::Yes};
    Select({kUruchi});
    Run("WorkspaceCreateMirrorImage");  // an image of うるち米 beside it, selected
    const std::int32_t image = ws->SelectedItems().front().LinkNo;
    Select({kMochi});
    std::vector<int> at = ws->selected;
    Select({image}, true);
    at.push_back(ws->selected.front());
    ws->UserSelects(at);
    EXPECT_FALSE(offered("WorkspaceDivide"));
    EXPECT_FALSE(offered("WorkSpaceMerge"));

    Show(kGrain);  // the top concept's children: its level is the top level's below
    Show(kFood);
    Select({kFood});
    EXPECT_FALSE(offered("WorkspaceDivide"));
    EXPECT_FALSE(offered("WorkspaceAddNode"));
}

TEST_F(WorkspaceCommands, CommandsFollowTheItemTheWindowSelectsAsWellAsTheUsersChoice) {
    form->SetUseVariousLink(true);
    Show(kUruchi);  // selected by the window, not by the user
    EXPECT_TRUE(form->Command("WorkspaceDivide")->isEnabled());
    EXPECT_FALSE(form->Command("WorkspaceEditLinkType")->isEnabled());
    ui.answers = {TAnswer::Yes};
    Select({kUruchi});
    Run("WorkspaceCreateMirrorImage");
    store::TConceptData image;
    image.Assign(ws->SelectedItems().front());
    Show(kMochi);
    form->GoToConcept(nullptr, image, false, false);
    EXPECT_FALSE(form->Command("WorkspaceDivide")->isEnabled());
    EXPECT_TRUE(form->Command("WorkspaceEditLinkType")->isEnabled());
}

TEST_F(WorkspaceCommands, MergeMakesOneConceptCurrentAndTheTreeHasNoStaleNodes) {
    Show(kUruchi);
    Select({kUruchi, kMochi});
    ui.answers = {TAnswer::Yes};
    Run("WorkSpaceMerge");
    EXPECT_EQ(ChildTitles(kRice).size(), 2U);
    EXPECT_EQ(form->TreeView().FindNode(Concept(kUruchi)), nullptr);
    EXPECT_EQ(form->Store().GetParentNo(CurrentNo()), kRice);
}

TEST_F(WorkspaceCommands, ARelationChangedToOneThatClosesACycleIsRolledBack) {
    // A mirror image of 米 under うるち米 with relation 2 is no cycle; as relation 1 it is.
    form->TakeSavePoint();
    const std::int32_t link = form->Store().AppendMirrorImage(Concept(kRice), 2);
    store::TTable& network = form->Store().DtStOriginalNetWork;
    ASSERT_TRUE(network.Locate(store::kFieldRecordNo, store::TValue{link}));
    network.Edit();
    network.FieldByName(store::kFieldRecordNoFrom).SetAsInteger(kUruchi);
    network.Post();
    Show(kRice);  // a level that holds the image: under うるち米
    store::TConceptData image;
    image.SetIsLink(true);
    image.LinkNo = link;
    image.SetConceptNo(kRice);
    form->GoToConcept(nullptr, image, false, false);
    Select({link}, true);
    const TTables before = Tables();

    form->SetUseVariousLink(true);
    ui.modal = [](QDialog& dialog) {
        auto& picker = dynamic_cast<TFormLinkType&>(dialog);
        EXPECT_EQ(picker.ChosenCode(), 2);
        picker.SelectLinkCode(1);
        return static_cast<int>(QDialog::Accepted);
    };
    ui.answers = {TAnswer::Ok, TAnswer::Ok, TAnswer::Ok};
    Run("WorkspaceEditLinkType");
    EXPECT_EQ(Tables(), before);
    ASSERT_TRUE(network.Locate(store::kFieldRecordNo, store::TValue{link}));
    EXPECT_EQ(network.FieldByName(store::kFieldLinkCode).AsInteger(), 2);

    // A code that is no relation is refused by the picker.
    TFormLinkType picker(LinkTypeRows(form->Store()));
    EXPECT_THROW(picker.SelectLinkCode(99), store::EVelmoraError);
    EXPECT_EQ(picker.ChosenCode(), -1);
    EXPECT_EQ(picker.ListView1()->topLevelItemCount(), 10);
}

TEST_F(WorkspaceCommands, ArrangeThenUndoRestoresThePositions) {
    Show(kUruchi);
    store::TConceptList placed;
    placed.AddNew().Assign(ws->items[0]);
    placed[0].IconPos = {300, 200};
    ws->OnItemsMoved(placed);
    Run("WorkspaceArrange");
    store::TTable& concepts = form->Store().DtStOriginalConcepts;
    ASSERT_TRUE(concepts.Locate(store::kFieldRecordNo, store::TValue{placed[0].ConceptNo()}));
    EXPECT_EQ(concepts.FieldByName(store::kFieldIconPosX).AsInteger(), store::kNotPlaced);
    form->EditUndoExecute();
    ASSERT_TRUE(concepts.Locate(store::kFieldRecordNo, store::TValue{placed[0].ConceptNo()}));
    EXPECT_EQ(concepts.FieldByName(store::kFieldIconPosX).AsInteger(), 300);
}

TEST_F(WorkspaceCommands, IconSizesAreARadioGroupWrittenToTheSettings) {
    Show(kUruchi);
    const int items = ws->items.Count();
    Run("WorkspaceLargeIcon");  // already large: only the check mark
    EXPECT_TRUE(form->Command("WorkspaceLargeIcon")->isChecked());
    EXPECT_EQ(ws->items.Count(), items);
    Run("WorkspaceSmallIcon");
    EXPECT_TRUE(form->Command("WorkspaceSmallIcon")->isChecked());
    EXPECT_FALSE(form->Command("WorkspaceLargeIcon")->isChecked());
    EXPECT_TRUE(form->Settings().WorkspaceSmallIcon());
    EXPECT_EQ(ws->items.Count(), items);  // refilled
}

}  // namespace
}  // namespace velmora::app
