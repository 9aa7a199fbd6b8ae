// The main window as a frame: layout and command set, start-up and settings, navigation and
// undo, the icon views driving the current concept, the search window and the exit.
#include "main_form.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <set>

#include "code_page.h"
#include "fake_icon_view.h"
#include "main_form_fixture.h"
#include "qt_text.h"
#include "scripted_ui.h"
#include "search_form.h"

namespace velmora::app {
namespace {

using store::TAnswer;
using testing::TFakeIconView;

// The commands enabled in a state, by name.
std::set<QString> EnabledCommands(const TMainForm& form) {
    std::set<QString> names;
    for (const QAction* action : form.Commands().All()) {
        if (action->isEnabled()) {
            names.insert(action->objectName());
        }
    }
    return names;
}

class MainForm : public testing::MainFormFixture {};

TEST_F(MainForm, FirstStartWelcomesOnceThenAsksForTheUserName) {
    ui.modal = [](QDialog& dialog) {
        dialog.findChild<QLineEdit*>("EditUser")->setText("山田");
        dialog.findChild<QAbstractButton*>("OKBtn")->click();
        return QDialog::Accepted;
    };
    Form(true).Start({});
    ASSERT_EQ(ui.questions.size(), 1u);
    EXPECT_EQ(ui.questions[0].text,
              "　ようこそ Velmora へ.\n\n　最初に次の画面で任意のユーザー名を入力してください. "
              "\nこのツールで作成したデータには作成者の署名が記録されます.");
    EXPECT_EQ(ui.questions[0].kind, store::TMessageKind::Custom);
    EXPECT_EQ(ui.questions[0].caption, "Velmora");
    EXPECT_EQ(ui.modalDialogs, (std::vector<QString>{"velmora::app::TOptionDlgForm"}));
    EXPECT_EQ(TQuillonIniFile(settingsPath).Author(), "山田");

    // The next start knows the user.
    ui.questions.clear();
    ui.modalDialogs.clear();
    form = std::make_unique<TMainForm>(ui, settingsPath);
    form->Start({});
    EXPECT_TRUE(ui.questions.empty());
    EXPECT_TRUE(ui.modalDialogs.empty());
}

TEST_F(MainForm, LayoutCarriesTheNamedPartsAndTheCommandSet) {
    TMainForm& f = Form();
    EXPECT_EQ(f.windowTitle(), "Velmora");
    for (const char* name :
         {"PanelLeft", "PanelRight", "Splitter1", "PageControl", "TabSheetWorkSpace",
          "TabSheetEditConcept", "PanelConceptEditTop", "PanelConceptEditMiddle",
          "PanelConceptEditBottom", "FrameTreeView1", "FrameListViewWorkSpace",
          "FrameListViewParents", "FrameListViewChildren", "FrameConceptEdit1", "ActionToolBar1",
          "StatusBar1", "PopupMenuTreeView", "PopupMenuWorkSpace", "PopupMenuParentView"}) {
        EXPECT_NE(f.findChild<QObject*>(name), nullptr) << name;
    }
    // Menus in their order with their separators.
    QStringList menus;
    for (QAction* menu : f.menuBar()->actions()) {
        menus << menu->text();
    }
    EXPECT_EQ(menus, (QStringList{"ファイル(&F)", "編集(&E)", "表示(&V)", "階層ビュー(&L)",
                                  "作業スペース(&W)", "ツール(&T)", "ヘルプ(&H)"}));
    QStringList file;
    for (QAction* item : f.menuBar()->actions().front()->menu()->actions()) {
        file << (item->isSeparator() ? "-" : item->objectName());
    }
    EXPECT_EQ(file, (QStringList{"FileCreate1", "FileOpen1", "-", "FileSave1", "FileSaveAs1", "-",
                                 "FilePrintDlg1", "-", "FileOntologyConfig", "-", "FileExit1"}));

    struct TLook {
        const char* name;
        const char* hint;
        const char* shortcut;
    };
    for (const TLook& look : std::initializer_list<TLook>{
             {"FileSave1", "上書き保存", ""},
             {"FileOpen1", "ファイルを開く", ""},
             {"EditUndo", "編集：元に戻す", "Ctrl+Z"},
             {"BrowseGoBack", "表示：前に戻る", "Alt+Left"},
             {"TreeviewAddChild", "階層ビュー：下のレベルに追加", "Ctrl+Alt+Right"},
             {"TreeviewMoveDown", "階層ビュー：順位を下げる", "Shift+Ctrl+Down"},
             {"WorkspaceAddNode", "概念の追加(", ""},
             {"FilePrintDlg1", "", "Ctrl+P"},
             {"EditDelete", "削除", "Del"}}) {
        QAction* action = f.Command(look.name);
        EXPECT_EQ(action->statusTip(), QString::fromUtf8(look.hint)) << look.name;
        EXPECT_EQ(action->shortcut(), QKeySequence(look.shortcut)) << look.name;
    }
    const auto items = [](const QList<QAction*>& actions) {
        QStringList names;
        for (QAction* item : actions) {
            names << (item->isSeparator()       ? "-"
                      : item->menu() != nullptr ? "[" + item->text() + "]"
                                                : item->objectName());
        }
        return names;
    };
    EXPECT_EQ(items(f.findChild<QToolBar*>("ActionToolBar1")->actions()),
              (QStringList{"FileCreate1", "FileOpen1", "FileSave1", "FileSaveAs1", "-", "EditUndo",
                           "-", "BrowseGoBack", "BrowseGoForward", "-", "TreeviewAddSibling",
                           "TreeviewAddChild", "-", "TreeviewMoveHigher", "TreeviewMoveLower",
                           "TreeviewMoveUpper", "TreeviewMoveDown", "-"}));
    EXPECT_EQ(items(f.findChild<QMenu*>("PopupMenuWorkSpace")->actions()),
              (QStringList{"EditCut", "EditCopy", "EditPaste", "-", "EditSelectAll", "-",
                           "WorkspaceArrange", "[表示(&V)]", "-", "EditDelete", "-",
                           "WorkspaceAddNode", "-", "WorkspaceDivide", "WorkSpaceMerge",
                           "WorkspaceCreateMirrorImage", "-", "WorkspaceEditLinkType"}));
    const QStringList tree = items(f.findChild<QMenu*>("PopupMenuTreeView")->actions());
    EXPECT_EQ(tree.mid(0, 10),
              (QStringList{"EditCut", "EditCopy", "EditPaste", "-", "EditDelete", "-",
                           "TreeviewAddSibling", "TreeviewAddChild", "-", "TreeviewSortSibling"}));
    QAction* find = f.findChild<QMenu*>("PopupMenuTreeView")->actions().back();
    EXPECT_EQ(find->text(), "検索(&F)...");
    EXPECT_FALSE(find->isEnabled());
    EXPECT_FALSE(f.Command("FileCreate1")->icon().isNull());
}

TEST_F(MainForm, CommandsFollowTheIdleAndLoadedStates) {
    TMainForm& f = Form();
    const std::set<QString> idle = {"FileCreate1", "FileOpen1",          "FilePrintDlg1",
                                    "FileExit1",   "WorkspaceSmallIcon", "WorkspaceLargeIcon",
                                    "ToolOption",  "HelpVersion",        "HelpBrowse"};
    EXPECT_EQ(EnabledCommands(f), idle);
    EXPECT_TRUE(f.Command("WorkspaceLargeIcon")->isChecked());

    f.OpenOntologyFile(SampleCopy());
    // The workspace shows the top concept's level: it can be arranged.
    std::set<QString> loaded = idle;
    loaded.insert("FileSaveAs1");
    loaded.insert("FileOntologyConfig");
    loaded.insert("EditFind");
    loaded.insert({"ExportExcel", "ImportCSV", "ImportText", "ExportWord"});
    loaded.insert("WorkspaceArrange");
    EXPECT_EQ(EnabledCommands(f), loaded);
    EXPECT_EQ(f.windowTitle(), "Velmora - 食品オントロジー");
    EXPECT_TRUE(f.StatusText().contains("食品"));

    AddConcept("新しい概念");
    EXPECT_TRUE(f.Command("FileSave1")->isEnabled());
    EXPECT_TRUE(f.Command("EditUndo")->isEnabled());
    for (const char* never : {"ImportXML", "ExportHTML", "ExportXML"}) {
        EXPECT_FALSE(f.Command(never)->isEnabled()) << never;
    }

    ui.answers = {TAnswer::No};
    ASSERT_TRUE(f.CloseOntology(nullptr));
    EXPECT_EQ(EnabledCommands(f), idle);
    EXPECT_EQ(f.StatusText(), "ONTOLOGY UNLOADED.");
    EXPECT_EQ(f.windowTitle(), "Velmora");
}

TEST_F(MainForm, UndoRestoresTheTablesStepByStep) {
    TMainForm& f = Form();
    f.OpenOntologyFile(SampleCopy());
    const int start = ConceptCount();
    for (int i = 0; i < 3; ++i) {
        AddConcept("概念" + std::to_string(i));
    }
    EXPECT_EQ(ConceptCount(), start + 3);
    for (int i = 0; i < 3; ++i) {
        f.Command("EditUndo")->trigger();
    }
    EXPECT_EQ(ConceptCount(), start);
    EXPECT_FALSE(f.Command("EditUndo")->isEnabled());
    EXPECT_FALSE(f.Command("FileSave1")->isEnabled());  // an opened file has no modified flag
    EXPECT_FALSE(f.Command("BrowseGoBack")->isEnabled());
    EXPECT_EQ(f.History().Count(), 1);
}

TEST_F(MainForm, AfterMoreThan200StepsTheFirstStaysDone) {
    TMainForm& f = Form();
    f.OpenOntologyFile(SampleCopy());
    const int start = ConceptCount();
    for (int i = 0; i < 201; ++i) {
        AddConcept("概念" + std::to_string(i));
    }
    int undone = 0;
    while (f.Command("EditUndo")->isEnabled()) {
        f.Command("EditUndo")->trigger();
        ++undone;
    }
    EXPECT_EQ(undone, 200);
    EXPECT_EQ(ConceptCount(), start + 1);
}

TEST_F(MainForm, HistoryCommandsStepBackAndForward) {
    TMainForm& f = Form();
    f.OpenOntologyFile(SampleCopy());
    const store::TConceptData top = f.Seeker().GetTopNode();
    f.Seeker().SetSeekMode(engine::smChildren);
    f.Seeker().SetSeekNo(top.ConceptNo());
    store::TConceptList kids;
    kids.Assign(f.Seeker().GetItems());
    ASSERT_GE(kids.Count(), 2);
    f.GoToConcept(nullptr, kids[0], false, false);
    f.GoToConcept(nullptr, kids[1], false, false);
    EXPECT_TRUE(f.Command("BrowseGoBack")->isEnabled());
    f.Command("BrowseGoBack")->trigger();
    EXPECT_TRUE(store::SameConceptData(*f.CurrentConcept(), kids[0]));
    EXPECT_TRUE(f.StatusText().contains(FromCp932(kids[0].Title())));
    f.Command("BrowseGoForward")->trigger();
    EXPECT_TRUE(store::SameConceptData(*f.CurrentConcept(), kids[1]));
    EXPECT_FALSE(f.Command("BrowseGoForward")->isEnabled());
}

TEST_F(MainForm, ACommandThatFailsShowsItsMessageAndTheProgramGoesOn) {
    TMainForm& f = Form();
    f.menuBar()->setFocus();  // none of the controls select-all works on
    f.Command("EditSelectAll")->setEnabled(true);
    f.Command("EditSelectAll")->trigger();
    ASSERT_EQ(ui.questions.size(), 1u);
    EXPECT_EQ(ui.questions[0].text, "ERROR: BUG: 選択対象を特定できません.");
    EXPECT_EQ(ui.questions[0].kind, store::TMessageKind::Error);

    // A missing help file is reported the same way, and nothing is opened.
    ui.questions.clear();
    if (!QFile::exists(TMainForm::HelpFilePath())) {
        ui.answers = {TAnswer::Ok};
        f.Command("HelpBrowse")->trigger();
        ASSERT_EQ(ui.questions.size(), 1u);
        EXPECT_EQ(ui.questions[0].text, "ヘルプファイル\"help/index.html\"がみつかりません.");
        EXPECT_EQ(ui.questions[0].buttons, store::TButtons::OkCancel);
        EXPECT_TRUE(ui.openedWithDesktop.empty());
    }
}

TEST_F(MainForm, ExitWritesTheGeometryOfANormalWindowOnly) {
    {
        TMainForm& f = Form();
        f.setGeometry(40, 50, 700, 500);
        f.close();
        TQuillonIniFile settings(settingsPath);
        EXPECT_EQ(settings.WindowPosX(), f.x());
        EXPECT_EQ(settings.WindowPosY(), f.y());
        EXPECT_EQ(settings.WindowSizeX(), 700);
        EXPECT_EQ(settings.WindowSizeY(), 500);
        EXPECT_GT(settings.VerticalSplitter(), 0);
    }
    TQuillonIniFile(settingsPath).SetWindowSizeX(640);
    TMainForm& f = Form();
    f.showMaximized();
    f.close();
    EXPECT_EQ(TQuillonIniFile(settingsPath).WindowSizeX(), 640);
}

TEST_F(MainForm, SettingsApplyAtStart) {
    const QFont applicationFont = QApplication::font();  // the size reaches the whole program
    TQuillonIniFile settings(settingsPath);
    settings.SetFontSize(4);
    settings.SetWorkspaceSmallIcon(true);
    settings.SetUseVariousLink(true);
    TMainForm& f = Form();
    EXPECT_EQ(f.font().pointSize(), 16);
    EXPECT_TRUE(f.Command("WorkspaceSmallIcon")->isChecked());
    EXPECT_TRUE(f.UseVariousLink());

    TQuillonIniFile(settingsPath).SetFontSize(6);  // no such size: the window keeps 9 points
    TMainForm& g = Form();
    EXPECT_EQ(g.font().pointSize(), QApplication::font().pointSize());
    form.reset();
    QApplication::setFont(applicationFont);
}

TEST_F(MainForm, IconViewsDriveTheCurrentConcept) {
    TMainForm& f = Form();
    auto workspace = std::make_unique<TFakeIconView>();
    auto parents = std::make_unique<TFakeIconView>();
    TFakeIconView& ws = *workspace;
    TFakeIconView& up = *parents;
    f.SetWorkspaceView(std::move(workspace));
    f.SetParentsView(std::move(parents));
    EXPECT_TRUE(ws.role.multiSelect && ws.role.freePositions);
    EXPECT_TRUE(!up.role.multiSelect && up.role.hideSelectionUnfocused);
    f.OpenOntologyFile(SampleCopy());
    ASSERT_EQ(ws.items.Count(), 1);  // the top concept's level: itself

    // Double-click descends to the first child; the workspace then shows that level.
    ws.OnDoubleClick(&ws.items[0]);
    EXPECT_EQ(FromCp932(f.CurrentConcept()->Title()), "穀物");
    EXPECT_GT(ws.items.Count(), 1);
    const int vegetables = ws.IndexOf("野菜");
    ASSERT_GE(vegetables, 0);

    // One selected item becomes current; two leave the current concept alone.
    ws.UserSelects({vegetables});
    EXPECT_EQ(FromCp932(f.CurrentConcept()->Title()), "野菜");
    ws.UserSelects({0, vegetables});
    EXPECT_EQ(FromCp932(f.CurrentConcept()->Title()), "野菜");
    ws.OnDoubleClick(nullptr);  // an empty spot
    EXPECT_EQ(FromCp932(f.CurrentConcept()->Title()), "野菜");

    // The parents pane shows the parent; its double-click goes there.
    ASSERT_EQ(up.items.Count(), 1);
    up.UserSelects({0});
    up.OnDoubleClick(&up.items[0]);
    EXPECT_EQ(FromCp932(f.CurrentConcept()->Title()), "食品");
}

TEST_F(MainForm, EditFindShowsTheSearchWindowWhoseResultGoesToItsConcept) {
    TMainForm& f = Form();
    search::TFormSearch& search = f.FormSearch();
    EXPECT_FALSE(search.isVisible());  // made at start, hidden
    f.OpenOntologyFile(SampleCopy());
    f.show();
    f.Command("EditFind")->trigger();
    EXPECT_TRUE(search.isVisible());

    search.LabeledEditString()->setText("野菜");
    search.ButtonSearchClick();
    ASSERT_GE(search.ListViewResult()->model()->rowCount(), 1);
    search.ListViewResult()->setCurrentIndex(search.ListViewResult()->model()->index(0, 0));
    search.ListViewResultDblClick();
    EXPECT_EQ(FromCp932(f.CurrentConcept()->Title()), "野菜");

    search.close();  // closing only hides it
    EXPECT_FALSE(search.isVisible());
    f.Command("EditFind")->trigger();
    EXPECT_TRUE(search.isVisible());
    EXPECT_EQ(search.LabeledEditString()->text(), "野菜");
}

}  // namespace
}  // namespace velmora::app
