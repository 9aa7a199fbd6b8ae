// The import and export commands over the sample ontology, driven as the user drives them: the
// workspace selection, the questions, the file dialogs and the windows, answered by the
// scripted interface.
#include "exchange_commands.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <span>
#include <string>
#include <vector>

#include "code_page.h"
#include "commands.h"
#include "csv_export.h"
#include "csv_import.h"
#include "fake_icon_view.h"
#include "main_form_fixture.h"
#include "view_set.h"
#include "word_export.h"
#include "word_export_form.h"

namespace velmora::app {
namespace {

using store::TAnswer;
using testing::TFakeIconView;

// Record numbers in the sample.
constexpr std::int32_t kFood = 1;
constexpr std::int32_t kRice = 9;
constexpr std::int32_t kUruchi = 10;
constexpr std::int32_t kMochi = 11;

using TTables = std::vector<std::vector<store::TValue>>;

class ExchangeCommands : public testing::MainFormFixture {
protected:
    void SetUp() override {
        MainFormFixture::SetUp();
        Form();
        auto view = std::make_unique<TFakeIconView>();
        ws = view.get();
        form->SetWorkspaceView(std::move(view));
        form->OpenOntologyFile(SampleCopy());
    }

    void Show(std::int32_t no) {
        store::TConceptData item;
        item.SetConceptNo(no);
        form->GoToConcept(nullptr, item, false, false);
    }
    void SelectInWorkspace(std::initializer_list<std::int32_t> nos) {
        std::vector<int> at;
        for (const std::int32_t no : nos) {
            for (int i = 0; i < ws->items.Count(); ++i) {
                if (!ws->items[i].IsLink() && ws->items[i].ConceptNo() == no) {
                    at.push_back(i);
                }
            }
        }
        ASSERT_EQ(at.size(), nos.size());
        ws->UserSelects(at);
    }
    void Run(const char* command) {
        ASSERT_TRUE(form->Command(command)->isEnabled()) << command;
        form->Command(command)->trigger();
    }
    TTables Tables() {
        TTables out;
        for (store::TTable* table : form->Store().Tables()) {
            table->ForEachRecord([&](std::span<const store::TValue> values) {
                out.emplace_back(values.begin(), values.end());
            });
            out.emplace_back();
        }
        return out;
    }
    std::string Title(std::int32_t no) {
        store::TTable& concepts = form->Store().DtStOriginalConcepts;
        EXPECT_TRUE(concepts.Locate(store::kFieldRecordNo, store::TValue(no)));
        return concepts.FieldByName(store::kFieldTitle).AsString();
    }
    static std::string ReadBytes(const QString& path) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            return {};
        }
        return file.readAll().toStdString();
    }
    // The first column of every data row of a CSV file, as the import's parser reads it.
    static std::vector<std::string> CsvTitles(const QString& path) {
        exchange::TCsvGrid grid;
        exchange::ParseCSVText(ReadBytes(path), grid);
        std::vector<std::string> titles;
        for (int row = 2; row < grid.RowCount(); ++row) {
            titles.push_back(grid.Cell(0, row));
        }
        return titles;
    }

    TFakeIconView* ws = nullptr;
};

TEST_F(ExchangeCommands, ExportExcelWritesTheCurrentConceptOrTheSelectionWithTheirSubtrees) {
    Show(kRice);
    const QString one = dir.filePath("one.csv");
    ui.answers = {TAnswer::Ok};
    ui.saveFileNames = {one};
    Run("ExportExcel");
    ASSERT_EQ(ui.questions.size(), 1U);
    EXPECT_TRUE(ui.questions[0].text.endsWith("\"" + FromCp932(Title(kRice)) + "\"とその下位概念."))
        << ui.questions[0].text.toStdString();
    // Proposed: the ontology's file name with the extension of the export.
    ASSERT_EQ(ui.saveFileNamePresets.size(), 1U);
    EXPECT_EQ(ui.saveFileNamePresets[0], dir.filePath("sample.csv"));
    const std::vector<std::string> rice = CsvTitles(one);
    ASSERT_EQ(rice.size(), 4U);  // the concept and its three children
    EXPECT_EQ(rice[0], Title(kRice));
    EXPECT_TRUE(ReadBytes(one).starts_with(exchange::CsvHeaderLine() + "\r\n"));

    // Two selected items, without children: two lines, and the count in the question.
    Show(kUruchi);
    SelectInWorkspace({kUruchi, kMochi});
    const QString two = dir.filePath("two.csv");
    ui.answers = {TAnswer::Ok};
    ui.saveFileNames = {two};
    Run("ExportExcel");
    EXPECT_TRUE(ui.questions.back().text.contains(" を含む2項目とその下位概念."));
    EXPECT_EQ(CsvTitles(two), (std::vector<std::string>{Title(kUruchi), Title(kMochi)}));

    // An existing file is replaced only on Yes.
    const std::string before = ReadBytes(two);
    Show(kFood);
    ui.answers = {TAnswer::Ok, TAnswer::No};
    ui.saveFileNames = {two};
    Run("ExportExcel");
    EXPECT_EQ(ReadBytes(two), before);
}

TEST_F(ExchangeCommands, ExportExcelCancelledOrFailedLeavesNoFile) {
    Show(kRice);
    const QString path = dir.filePath("out.csv");
    const QString unwritable = dir.filePath("missing/out.csv");
    struct TCase {
        const char* what;
        std::deque<TAnswer> answers;
        std::optional<QString> file;
        bool reported;
    };
    const TCase cases[] = {
        {"question cancelled", {TAnswer::Cancel}, path, false},
        {"dialog cancelled", {TAnswer::Ok}, std::nullopt, false},
        {"folder missing", {TAnswer::Ok}, unwritable, true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.what);
        ui.questions.clear();
        ui.answers = c.answers;
        ui.saveFileNames = {c.file};
        Run("ExportExcel");
        EXPECT_FALSE(QFile::exists(path));
        EXPECT_FALSE(QFile::exists(unwritable));
        const bool errorShown =
            !ui.questions.empty() && ui.questions.back().kind == store::TMessageKind::Error;
        EXPECT_EQ(errorShown, c.reported);
    }
}

TEST_F(ExchangeCommands, ExportExcelCancelledHalfwayWritesNoFile) {
    // A unit of its own over the window's store, so that the test stands in for the dialog.
    TCommandSet commands(form.get(), [](const std::function<void()>& body) {
        body();
        return true;
    });
    TViewSet views;
    views.workspace = std::make_unique<TFakeIconView>();
    TExchangeCommands unit(commands, *form, views, ui, form->Store(), form->Seeker(),
                           form->StoreContext(), form.get());
    long long lines = 0;
    unit.progressHook = [&](long long done, long long) {
        lines = done;
        return done < 3;
    };
    Show(kFood);
    const QString path = dir.filePath("out.csv");
    ui.answers = {TAnswer::Ok};
    ui.saveFileNames = {path};
    unit.ExportExcelExecute();
    EXPECT_EQ(lines, 3);
    EXPECT_FALSE(QFile::exists(path));
}

TEST_F(ExchangeCommands, ImportTextAddsBesideTheCurrentConceptInOneUndoStep) {
    const QString path = dir.filePath("lines.txt");
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(store::Utf8ToCp932("甲\r\n\r\n乙\n").c_str());
    }
    Show(kUruchi);
    const TTables before = Tables();
    const std::size_t steps = form->Ontology()->SavePointCount();

    // Cancelled at the box or at the dialog: no step, nothing created.
    ui.answers = {TAnswer::Cancel, TAnswer::Ok};
    ui.openFileNames = {std::nullopt};
    Run("ImportText");
    Run("ImportText");
    EXPECT_EQ(ui.questions[0].text, "一行一タイトルのテキストファイルを読み込みます.");
    EXPECT_EQ(form->Ontology()->SavePointCount(), steps);
    EXPECT_EQ(Tables(), before);

    ui.answers = {TAnswer::Ok};
    ui.openFileNames = {path};
    Run("ImportText");
    EXPECT_EQ(form->Ontology()->SavePointCount(), steps + 1);
    // Beside the current concept, under Rice, and shown in the workspace at once.
    form->Seeker().SetSeekMode(engine::smChildren);
    form->Seeker().SetSeekNo(kRice);
    std::vector<QString> titles;
    for (int i = 0; i < form->Seeker().GetItems().Count(); ++i) {
        titles.push_back(FromCp932(form->Seeker().GetItems()[i].Title()));
    }
    ASSERT_EQ(titles.size(), 5U);
    EXPECT_EQ(titles[3], "甲");
    EXPECT_EQ(titles[4], "乙");
    EXPECT_GE(ws->IndexOf("甲"), 0);
    EXPECT_GE(ws->IndexOf("乙"), 0);
    EXPECT_EQ(form->CurrentConcept()->ConceptNo(), kUruchi);

    form->EditUndoExecute();
    EXPECT_EQ(Tables(), before);
}

TEST_F(ExchangeCommands, ExportWordWritesTheDocumentAndOpensIt) {
    const QString path = dir.filePath("doc.docx");
    QString notes;
    QString proposed;
    ui.saveFileNames = {path};
    ui.modal = [&](QDialog& dialog) {
        auto& form = dynamic_cast<TFormExportWord&>(dialog);
        notes = form.Memo1->toPlainText();
        // A picture for a person to look at, when VELMORA_SHOTS names a folder.
        if (const QString shots = qEnvironmentVariable("VELMORA_SHOTS"); !shots.isEmpty()) {
            form.grab().save(shots + "/word-export.png");
        }
        proposed = form.DefaultFileName();
        form.BtnStart->click();
        return QDialog::Rejected;
    };
    Run("ExportWord");
    EXPECT_EQ(ui.modalDialogs, std::vector<QString>{"velmora::app::TFormExportWord"});
    EXPECT_EQ(notes, FromUtf8(exchange::WordExportNotes()));
    EXPECT_EQ(proposed, dir.filePath("食品オントロジー.docx"));
    // A package whose first entry is the content types, as word processors sniff it.
    const std::string bytes = ReadBytes(path);
    ASSERT_GT(bytes.size(), 49U);
    EXPECT_EQ(bytes.substr(0, 4), "PK\x03\x04");
    EXPECT_EQ(bytes.substr(30, 19), "[Content_Types].xml");
    // The parts a word processor needs, and the ontology's title in the document.
    int error = 0;
    zip_t* archive = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &error);
    ASSERT_NE(archive, nullptr) << error;
    for (const char* part : {"[Content_Types].xml", "_rels/.rels", "word/document.xml",
                             "word/_rels/document.xml.rels", "word/styles.xml"}) {
        EXPECT_GE(zip_name_locate(archive, part, 0), 0) << part;
    }
    zip_stat_t stat;
    ASSERT_EQ(zip_stat(archive, "word/document.xml", 0, &stat), 0);
    std::string document(stat.size, '\0');
    zip_file_t* file = zip_fopen(archive, "word/document.xml", 0);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(zip_fread(file, document.data(), stat.size), static_cast<zip_int64_t>(stat.size));
    zip_fclose(file);
    zip_close(archive);
    EXPECT_NE(document.find("食品オントロジー"), std::string::npos);
    EXPECT_EQ(ui.openedWithDesktop, std::vector<QString>{path});
}

TEST_F(ExchangeCommands, ExportWordCancelledHalfwayWritesNothing) {
    const QString path = dir.filePath("doc.docx");
    ui.saveFileNames = {path};
    long long calls = 0;
    long long total = 0;
    bool stillOpen = false;
    ui.modal = [&](QDialog& dialog) {
        auto& form = dynamic_cast<TFormExportWord&>(dialog);
        form.progressHook = [&](long long done, long long all) {
            ++calls;
            total = all;
            return done < all / 2;  // the user cancels halfway
        };
        form.BtnStart->click();
        stillOpen = form.isVisible();
        return QDialog::Rejected;
    };
    Run("ExportWord");
    EXPECT_GT(total, 2);
    EXPECT_LT(calls, total);
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_TRUE(stillOpen);
    EXPECT_TRUE(ui.openedWithDesktop.empty());
}

}  // namespace
}  // namespace velmora::app
