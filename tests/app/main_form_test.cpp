#include "main_form.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QTreeView>
#include <filesystem>
#include <set>

#include "code_page.h"
#include "create_ontology_wizard.h"
#include "fake_icon_view.h"
#include "ontology_tables.h"
#include "qt_text.h"
#include "scripted_ui.h"
#include "search_form.h"

namespace velmora::app {
namespace {

using store::TAnswer;
using testing::TFakeIconView;
using testing::TScriptedUi;

const QString kSample = QStringLiteral(VELMORA_SOURCE_DIR "/samples/sample.ont");
const QString kUnsaved =
    "編集内容はファイルに保存されていません.保存しますか?\n"
    "ここで保存しない場合は編集内容は破棄されます.";

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

// A window over a settings file of its own, with a user name set unless a test wants the first
// start.
class MainForm : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        settingsPath = dir.filePath("velmora.ini");
    }

    TMainForm& Form(bool firstStart = false) {
        if (!firstStart) {
            TQuillonIniFile(settingsPath).SetAuthor("試験者");
        }
        form = std::make_unique<TMainForm>(ui, settingsPath);
        return *form;
    }

    // The sample, copied so that saving cannot touch the original.
    QString SampleCopy(const QString& name = "sample.ont") {
        const QString path = dir.filePath(name);
        QFile::remove(path);
        EXPECT_TRUE(QFile::copy(kSample, path));
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        return path;
    }

    // A modifying step as the commands take it: a save point, then a new concept.
    std::int32_t AddConcept(const std::string& title) {
        form->TakeSavePoint();
        return form->Store().AppendConcept(store::Utf8ToCp932(title),
                                           form->Seeker().GetTopNode().ConceptNo(), "");
    }

    int ConceptCount() { return form->Store().DtStOriginalConcepts.RecordCount(); }

    QTemporaryDir dir;
    QString settingsPath;
    TScriptedUi ui;
    std::unique_ptr<TMainForm> form;
};

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
    // The properties, import and export windows are not there yet: their commands stay
    // disabled with the ontology loaded.
    std::set<QString> loaded = idle;
    loaded.insert("FileSaveAs1");
    loaded.insert("EditFind");
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

// The unsaved-changes question on every road out of a changed ontology, with each answer.
TEST_F(MainForm, UnsavedChangesAreNeverDroppedWithoutAsking) {
    struct TCase {
        const char* road;
        TAnswer answer;
        bool unloaded;
        bool saved;
    };
    for (const TCase& c : std::initializer_list<TCase>{{"open", TAnswer::Cancel, false, false},
                                                       {"open", TAnswer::No, true, false},
                                                       {"open", TAnswer::Yes, true, true},
                                                       {"new", TAnswer::Cancel, false, false},
                                                       {"new", TAnswer::Yes, true, true},
                                                       {"new", TAnswer::No, true, false},
                                                       {"exit", TAnswer::Cancel, false, false},
                                                       {"exit", TAnswer::No, true, false}}) {
        SCOPED_TRACE(std::string(c.road) + " answered " + std::to_string(int(c.answer)));
        ui = TScriptedUi();
        const QString path = SampleCopy();
        const auto before = std::filesystem::file_size(path.toStdString());
        TMainForm& f = Form();
        f.OpenOntologyFile(path);
        AddConcept("変更");
        ui.answers = {c.answer};
        if (std::string(c.road) == "open") {
            ui.openFileNames = {SampleCopy("other.ont")};
            f.Command("FileOpen1")->trigger();
        } else if (std::string(c.road) == "new") {
            f.Command("FileCreate1")->trigger();  // the wizard is then cancelled
        } else {
            f.close();
        }
        EXPECT_EQ(ui.Texts(), (std::vector<QString>{kUnsaved}));
        const bool stillChanged = f.Ontology() != nullptr && f.Ontology()->CanUndo();
        EXPECT_EQ(stillChanged, !c.unloaded);
        EXPECT_EQ(std::filesystem::file_size(path.toStdString()) != before, c.saved);
        if (std::string(c.road) == "open" && c.unloaded) {
            EXPECT_EQ(f.Ontology()->FileName(), dir.filePath("other.ont").toStdString());
        }
        if (f.Ontology() != nullptr && f.Ontology()->CanUndo()) {
            f.Ontology()->SetCanUndo(false);  // let the fixture close quietly
        }
        form.reset();
    }
}

TEST_F(MainForm, SaveAsWithADeclinedOverwriteKeepsTheFormerName) {
    TMainForm& f = Form();
    const QString path = SampleCopy();
    const QString taken = SampleCopy("taken.ont");
    const auto takenSize = std::filesystem::file_size(taken.toStdString());
    f.OpenOntologyFile(path);
    AddConcept("変更");

    ui.saveFileNames = {taken};
    ui.answers = {TAnswer::No};
    f.Command("FileSaveAs1")->trigger();
    EXPECT_EQ(ui.saveFileNamePresets.back(), path);
    EXPECT_EQ(ui.Texts(), (std::vector<QString>{"ファイルは既に存在します.上書きしますか?"}));
    EXPECT_EQ(f.Ontology()->FileName(), path.toStdString());
    EXPECT_TRUE(f.Command("FileSave1")->isEnabled());

    // A plain save then writes the ontology's own file, with its backup, and asks nothing.
    ui.questions.clear();
    f.Command("FileSave1")->trigger();
    EXPECT_TRUE(ui.questions.empty());
    EXPECT_EQ(std::filesystem::file_size(taken.toStdString()), takenSize);
    EXPECT_TRUE(QFile::exists(dir.filePath("バックアップ-sample.ont")));
    EXPECT_FALSE(f.Command("FileSave1")->isEnabled());
    EXPECT_FALSE(f.Command("EditUndo")->isEnabled());

    // Yes writes under the new name.
    AddConcept("もう一つ");
    ui.saveFileNames = {taken};
    ui.answers = {TAnswer::Yes};
    f.Command("FileSaveAs1")->trigger();
    EXPECT_EQ(f.Ontology()->FileName(), taken.toStdString());
    EXPECT_NE(std::filesystem::file_size(taken.toStdString()), takenSize);
}

// A folder where the backup would go does not stop the save; the status line says that the
// previous version was not kept.
TEST_F(MainForm, ASaveWithoutItsBackupSavesAndSaysSo) {
    TMainForm& f = Form();
    const QString path = SampleCopy();
    ASSERT_TRUE(QDir(dir.path()).mkdir("バックアップ-sample.ont"));
    f.OpenOntologyFile(path);
    AddConcept("変更");
    f.Command("FileSave1")->trigger();
    EXPECT_TRUE(ui.questions.empty());
    EXPECT_FALSE(f.Command("FileSave1")->isEnabled());
    EXPECT_TRUE(f.StatusText().startsWith(
        "保存しました. ただし以前の版のバックアップは作成できませんでした: "))
        << f.StatusText().toStdString();
    EXPECT_TRUE(f.StatusText().endsWith("フォルダーです")) << f.StatusText().toStdString();
}

TEST_F(MainForm, SaveOfANeverSavedOntologyAsksForANamePresetFromTheTitle) {
    TMainForm& f = Form();
    ui.modal = [](QDialog& dialog) {
        dialog.findChild<QLineEdit*>("LblEdtTarget")->setText("食品");
        dialog.findChild<QLineEdit*>("LblEdtSubCategory1")->setText("野菜");
        dialog.findChild<QLineEdit*>("LblEdtSubCategory3")->setText("果物");
        for (int i = 0; i < 3; ++i) {
            dialog.findChild<QAbstractButton*>("ButtonForward")->click();
        }
        dialog.findChild<QAbstractButton*>("ButtonCreate")->click();
        return QDialog::Accepted;
    };
    f.Command("FileCreate1")->trigger();
    ASSERT_NE(f.Ontology(), nullptr);
    EXPECT_EQ(f.windowTitle(), "Velmora - 食品オントロジー");
    EXPECT_EQ(FromCp932(f.Ontology()->Creator()), "試験者");
    // The time of day as velmora-cli writes it, whatever the locale.
    EXPECT_TRUE(QRegularExpression("^[0-2][0-9]:[0-5][0-9]:[0-5][0-9]$")
                    .match(FromCp932(f.Ontology()->CreatedDay()))
                    .hasMatch())
        << f.Ontology()->CreatedDay();
    EXPECT_TRUE(f.Ontology()->Modified());
    EXPECT_TRUE(f.Command("FileSave1")->isEnabled());
    EXPECT_EQ(ConceptCount(), 3);
    EXPECT_EQ(FromCp932(f.CurrentConcept()->Title()), "食品");

    ui.saveFileNames = {std::nullopt};  // cancelled
    f.Command("FileSave1")->trigger();
    EXPECT_EQ(ui.saveFileNamePresets, (std::vector<QString>{"食品オントロジー.ont"}));
    EXPECT_TRUE(f.Ontology()->Modified());

    const QString target = dir.filePath("食品.ont");
    ui.saveFileNames = {target};
    f.Command("FileSave1")->trigger();
    EXPECT_TRUE(QFile::exists(target));
    EXPECT_FALSE(f.Ontology()->Modified());
    EXPECT_FALSE(f.Command("FileSave1")->isEnabled());
}

TEST_F(MainForm, AWrongFileLeavesTheProgramIdleWithTheErrorShown) {
    TMainForm& f = Form();
    f.OpenOntologyFile(SampleCopy());
    const QString wrong = dir.filePath("wrong.ont");
    QFile file(wrong);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("this is no ontology");
    file.close();
    ui.openFileNames = {wrong};
    f.Command("FileOpen1")->trigger();
    ASSERT_EQ(ui.questions.size(), 1u);
    EXPECT_EQ(ui.questions[0].kind, store::TMessageKind::Error);
    EXPECT_EQ(f.Ontology(), nullptr);
    EXPECT_EQ(f.windowTitle(), "Velmora");
    EXPECT_FALSE(f.Command("FileSaveAs1")->isEnabled());
    // The program goes on: the sample opens again.
    f.OpenOntologyFile(SampleCopy());
    EXPECT_NE(f.Ontology(), nullptr);
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

// An editor with a field the user can type into, and a change not yet written.
class TFakeEditor : public QWidget, public TConceptEditorPort {
public:
    TFakeEditor() {
        setObjectName("FrameConceptEdit1");
        field = new QLineEdit(this);
        field->setObjectName("DBEditID");
    }
    QWidget* Widget() override { return this; }
    void SetEditorActive(bool active) override { setVisible(active); }
    bool IsEditorActive() const override { return !isHidden(); }
    void LoadConcept(std::int32_t no) override { loaded = no; }
    bool HasPendingEdit() const override { return pending; }
    void PostPendingEdit() override {
        if (pending) {
            ++posted;
            pending = false;
        }
    }
    void CancelPendingEdit() override { pending = false; }
    void RefreshEditor() override {}
    void SetRelationsEditable(bool) override {}
    void ShowParentRelation(const store::TConceptData*) override {}
    void ShowChildRelation(const store::TConceptData*) override {}

    QLineEdit* field;
    bool pending = false;
    int posted = 0;
    std::int32_t loaded = 0;
};

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

TEST_F(MainForm, AnEditStillInAFieldCountsAsAChangeAndIsSaved) {
    TMainForm& f = Form();
    auto owned = std::make_unique<TFakeEditor>();
    TFakeEditor* editor = owned.get();
    f.SetConceptEditor(std::move(owned));
    const QString path = SampleCopy();
    f.OpenOntologyFile(path);
    EXPECT_FALSE(editor->isHidden());
    EXPECT_EQ(editor->loaded, f.Seeker().GetTopNode().ConceptNo());

    editor->pending = true;
    ui.answers = {TAnswer::Cancel};
    EXPECT_FALSE(f.CloseOntology(nullptr));
    EXPECT_EQ(ui.Texts(), (std::vector<QString>{kUnsaved}));

    f.Command("FileSaveAs1")->setEnabled(true);
    ui.saveFileNames = {dir.filePath("saved.ont")};
    f.Command("FileSaveAs1")->trigger();
    EXPECT_EQ(editor->posted, 1);
    EXPECT_TRUE(f.CloseOntology(nullptr));  // nothing left to ask about
    EXPECT_TRUE(editor->isHidden());
}

TEST_F(MainForm, EditCommandsFollowTheFocusedTextField) {
    TMainForm& f = Form();
    auto owned = std::make_unique<TFakeEditor>();
    TFakeEditor* editor = owned.get();
    f.SetConceptEditor(std::move(owned));
    f.OpenOntologyFile(SampleCopy());
    f.show();
    QApplication::setActiveWindow(&f);
    f.findChild<QTabWidget*>("PageControl")->setCurrentIndex(1);
    EXPECT_EQ(f.StatusText(), "右ペインの上下のウインドウに概念アイコンをカット&ペーストできます.");
    ASSERT_TRUE(QTest::qWaitForWindowActive(&f));
    editor->field->setFocus();
    editor->field->setText("abc");
    editor->field->deselect();
    f.Timer1Timer();
    EXPECT_FALSE(f.Command("EditCopy")->isEnabled());
    EXPECT_TRUE(f.Command("EditSelectAll")->isEnabled());

    // Selecting text gives no event the window hears; the edit commands follow on the next
    // focus change or select-all.
    f.Command("EditSelectAll")->trigger();
    EXPECT_EQ(editor->field->selectedText(), "abc");
    f.UpdateEditCommands();
    EXPECT_TRUE(f.Command("EditCopy")->isEnabled());
    EXPECT_TRUE(f.Command("EditCut")->isEnabled());
}

TEST_F(MainForm, ADropOfOneFileOpensItAndOfTwoNothing) {
    TMainForm& f = Form();
    const auto drop = [&f](const QList<QUrl>& urls) {
        QMimeData data;
        data.setUrls(urls);
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(&f, &enter);
        QDropEvent event(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&f, &event);
        QCoreApplication::processEvents();  // the opening is posted after the drop
    };
    const QString path = SampleCopy();
    drop({QUrl::fromLocalFile(path), QUrl::fromLocalFile(SampleCopy("other.ont"))});
    EXPECT_EQ(f.Ontology(), nullptr);
    drop({QUrl::fromLocalFile(path)});
    EXPECT_EQ(ui.Texts(), std::vector<QString>{});
    ASSERT_NE(f.Ontology(), nullptr);
    EXPECT_EQ(f.Ontology()->FileName(), path.toStdString());
}

TEST_F(MainForm, PrintingPutsTheWindowOnAPage) {
    TMainForm& f = Form();
    f.Command("FilePrintDlg1")->trigger();  // the dialog cancelled: nothing printed
    EXPECT_EQ(ui.printRequests, 1);
    ui.printAnswer = true;
    ui.printToFile = dir.filePath("window.pdf");
    f.Command("FilePrintDlg1")->trigger();
    ASSERT_TRUE(QFile::exists(ui.printToFile));
    QFile pdf(ui.printToFile);
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    EXPECT_TRUE(pdf.read(5).startsWith("%PDF"));
    EXPECT_TRUE(ui.questions.empty());
}

}  // namespace
}  // namespace velmora::app
