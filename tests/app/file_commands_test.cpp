// The file commands inside the main window: a new ontology, opening, saving and saving under a
// new name, the unsaved-changes question on every road out, a wrong file, dropped files and
// printing.
#include "file_commands.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QLineEdit>
#include <QMimeData>
#include <QRegularExpression>
#include <QUrl>
#include <filesystem>

#include "code_page.h"
#include "main_form.h"
#include "main_form_fixture.h"
#include "qt_text.h"
#include "scripted_ui.h"

namespace velmora::app {
namespace {

using store::TAnswer;
using testing::TFakeEditor;
using testing::TScriptedUi;

const QString kUnsaved =
    "編集内容はファイルに保存されていません.保存しますか?\n"
    "ここで保存しない場合は編集内容は破棄されます.";

class FileCommands : public testing::MainFormFixture {};

// The unsaved-changes question on every road out of a changed ontology, with each answer.
TEST_F(FileCommands, UnsavedChangesAreNeverDroppedWithoutAsking) {
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

TEST_F(FileCommands, SaveAsWithADeclinedOverwriteKeepsTheFormerName) {
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
TEST_F(FileCommands, ASaveWithoutItsBackupSavesAndSaysSo) {
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

TEST_F(FileCommands, SaveOfANeverSavedOntologyAsksForANamePresetFromTheTitle) {
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

TEST_F(FileCommands, AWrongFileLeavesTheProgramIdleWithTheErrorShown) {
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

TEST_F(FileCommands, AnEditStillInAFieldCountsAsAChangeAndIsSaved) {
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

TEST_F(FileCommands, ADropOfOneFileOpensItAndOfTwoNothing) {
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

TEST_F(FileCommands, PrintingPutsTheWindowOnAPage) {
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
