#include "csv_import.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "csv_export.h"
#include "engine_fixture.h"

namespace velmora::exchange {
namespace {

using store::Utf8ToCp932;
using store::testing::kFixedNow;
using Rows = std::vector<std::vector<std::string>>;

std::string Sjis(std::string_view utf8) {
    return Utf8ToCp932(utf8);
}

// The file rows of a grid (row 1 on), each as many cells as the grid has columns.
Rows FileRows(const TCsvGrid& grid) {
    Rows rows;
    for (int r = 1; r < grid.RowCount(); ++r) {
        std::vector<std::string> cells;
        for (int c = 0; c < grid.ColumnCount(); ++c) {
            cells.push_back(grid.Cell(c, r));
        }
        rows.push_back(cells);
    }
    return rows;
}

struct TParseCase {
    const char* Name;
    std::string Text;
    Rows Expected;
};

TEST(ParseCSVTextTest, ReadsTheDialect) {
    const std::vector<TParseCase> cases = {
        {"plain fields", "a,b,c\r\n", {{"a", "b", "c"}}},
        {"spaces and inner quote stay", " a ,b\"c\r\n", {{" a ", "b\"c"}}},
        {"quoted comma, line break and doubled quote",
         "\"a,b\",\"x\r\ny\",\"say \"\"hi\"\"\"\r\n",
         {{"a,b", "x\r\ny", "say \"hi\""}}},
        {"trailing comma adds no field", "a,b,\r\n", {{"a", "b"}}},
        {"leading and double commas give empty fields", ",a,,b\r\n", {{"", "a", "", "b"}}},
        {"quoted part followed by text is two fields", "\"x\"y,z\r\n", {{"x", "y", "z"}}},
        {"empty lines add no row", "\r\na\r\n\r\n\r\nb\r\n", {{"a"}, {"b"}}},
        {"CR alone and LF alone end lines", "a\rb\nc", {{"a"}, {"b"}, {"c"}}},
        {"short rows leave empty cells", "a,b,c\r\nd\r\n", {{"a", "b", "c"}, {"d", "", ""}}},
        {"empty quoted value", "\"\",x\r\n", {{"", "x"}}},
        {"unclosed quote runs to the end less one", "a,\"b,c\r\nd\r\n", {{"a", "b,c\r\nd\r"}}},
        {"unclosed quote on the last character", "\"", {{""}}},
        {"doubled quote at the very end stays open", "\"a\"\"", {{"a\""}}},
        {"lone comma line is one empty field", ",\r\nx\r\n", {{""}, {"x"}}},
    };
    for (const TParseCase& c : cases) {
        TCsvGrid grid;
        ParseCSVText(c.Text, grid);
        EXPECT_EQ(FileRows(grid), c.Expected) << c.Name;
    }
}

TEST(ParseCSVTextTest, SizesTheGridAndWritesCaptions) {
    TCsvGrid grid;
    ParseCSVText("a\r\nb,c,d\r\n", grid);
    EXPECT_EQ(grid.ColumnCount(), 3);
    EXPECT_EQ(grid.RowCount(), 3);
    EXPECT_EQ(grid.Cell(0, 0), Sjis("フィールド1"));
    EXPECT_EQ(grid.Cell(2, 0), Sjis("フィールド3"));

    TCsvGrid empty;
    ParseCSVText("\r\n\r\n", empty);
    EXPECT_EQ(empty.ColumnCount(), 1);
    EXPECT_EQ(empty.RowCount(), 2);
    EXPECT_EQ(empty.Cell(0, 1), "");
}

TEST(ParseCSVTextTest, NamesTheLineOfAQuoteTheDialectCannotClose) {
    const struct {
        const char* Name;
        std::string Text;
        std::size_t Line;
    } cases[] = {
        {"well formed", "\"a\",\"b\"\"c\"\r\n\"x\r\ny\",z\r\nq\"r,s\r\n\"\"\r\n", 0},
        {"quote at the very end", "a,\"b\"", 0},
        {"text after the closing quote", "a,b\r\n\"x\"y,z\r\nc\r\n", 2},
        {"space after the closing quote", "\"a\" ,b\r\n", 1},
        {"never closed", "a\r\nb\r\nc,\"d\r\ne,f\r\ng\r\n", 3},
        {"first of two", "\"a\"b\r\n\"c\r\n", 1},
        {"after a value with a line break", "\"a\r\nb\",c\r\n\"d\"e\r\n", 3},
    };
    for (const auto& c : cases) {
        TCsvGrid grid;
        EXPECT_EQ(ParseCSVText(c.Text, grid), c.Line) << c.Name;
    }
    // The rows are read as before all the same.
    TCsvGrid grid;
    ParseCSVText("\"x\"y,z\r\n", grid);
    EXPECT_EQ(FileRows(grid), (Rows{{"x", "y", "z"}}));
}

TEST(JoinFileLinesTest, EndsEveryLineWithCrLf) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", ""},
        {"a", "a\r\n"},
        {"a\r\n", "a\r\n"},
        {"a\rb\nc\r\nd", "a\r\nb\r\nc\r\nd\r\n"},
        {"\n\r\r\n", "\r\n\r\n\r\n"},
        {"a\n\rb", "a\r\n\r\nb\r\n"},
    };
    for (const auto& [bytes, text] : cases) {
        EXPECT_EQ(JoinFileLines(bytes), text) << bytes;
    }
}

class ReadCSVFileTest : public ::testing::Test {
protected:
    store::TMemoryFileSystem files;
    engine::testing::TScriptedQuestioner questions;
};

TEST_F(ReadCSVFileTest, ReadsCodePage932AsItIs) {
    files.Put("in.csv", Sjis("概念,説明\n"));
    EXPECT_EQ(ReadCSVFile(files, "in.csv", questions), Sjis("概念,説明\r\n"));
    EXPECT_TRUE(questions.Asked.empty());
}

TEST_F(ReadCSVFileTest, AsksAboutTheFirstUnreadableLine) {
    // Line 3 ends in a lone lead byte; line 4 holds 0xFF.
    const std::string bytes = "a\r\nb\r\nc\x81\r\n\xFF\r\n";
    files.Put("bad.csv", bytes);

    questions.Answers = {store::TAnswer::Yes};
    const std::optional<std::string> kept = ReadCSVFile(files, "bad.csv", questions);
    ASSERT_EQ(questions.Asked.size(), 1u);
    EXPECT_EQ(questions.Asked[0].Buttons, store::TButtons::YesNo);
    EXPECT_EQ(questions.Asked[0].Text, MessageUnreadableBytes(3));
    EXPECT_NE(questions.Asked[0].Text.find(" 3 "), std::string::npos);
    EXPECT_EQ(kept, bytes);

    questions.Answers = {store::TAnswer::No};
    EXPECT_EQ(ReadCSVFile(files, "bad.csv", questions), std::nullopt);
}

TEST_F(ReadCSVFileTest, ReadsUtf8WithOrWithoutByteOrderMark) {
    const std::string utf8 = "タイトル,〜説明\n";
    const struct {
        const char* Name;
        std::string Bytes;
        TImportEncoding Encoding;
        std::string Expected;
    } cases[] = {
        {"bom", "\xEF\xBB\xBF" + utf8, TImportEncoding::Auto, Sjis("タイトル,〜説明\r\n")},
        {"no bom", utf8, TImportEncoding::Auto, Sjis("タイトル,〜説明\r\n")},
        // Short and readable as code page 932 too (a kanji and a half-width katakana), but
        // UTF-8 for ス.
        {"short", "\xE3\x82\xB9\n", TImportEncoding::Auto, Sjis("ス\r\n")},
        {"forced cp932", "\xE3\x82\xB9\n", TImportEncoding::Cp932, "\xE3\x82\xB9\r\n"},
        {"plain ascii", "a,b\n", TImportEncoding::Auto, "a,b\r\n"},
        {"cp932 stays", Sjis("概念,説明\n"), TImportEncoding::Auto, Sjis("概念,説明\r\n")},
        {"not in cp932", "\xF0\x9F\x98\x80,\xC3\xA9\n", TImportEncoding::Utf8, "?,?\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        files.Put("in.csv", c.Bytes);
        EXPECT_EQ(ReadCSVFile(files, "in.csv", questions, c.Encoding), c.Expected);
    }
    EXPECT_TRUE(questions.Asked.empty());
}

TEST_F(ReadCSVFileTest, AZeroByteIsUnreadableAndNeverReachesTheText) {
    files.Put("zero.csv", std::string("ok\na\0b,c\n", 9));
    questions.Answers = {store::TAnswer::No};
    EXPECT_EQ(ReadCSVFile(files, "zero.csv", questions), std::nullopt);
    ASSERT_EQ(questions.Asked.size(), 1u);
    EXPECT_EQ(questions.Asked[0].Text, MessageUnreadableBytes(2));
    questions.Answers = {store::TAnswer::Yes};
    EXPECT_EQ(ReadCSVFile(files, "zero.csv", questions), "ok\r\na?b,c\r\n");
}

TEST_F(ReadCSVFileTest, ReportsAFileThatCannotBeOpened) {
    EXPECT_THROW(ReadCSVFile(files, "missing.csv", questions), store::EFileSystemError);
    ASSERT_EQ(questions.Asked.size(), 1u);
    EXPECT_EQ(questions.Asked[0].Kind, store::TMessageKind::Error);
    EXPECT_EQ(questions.Asked[0].Text, MessageCannotOpenFile());
}

TEST(SplitLabelsTest, SplitsAtTheTypedSeparator) {
    using Labels = std::vector<std::string>;
    const std::vector<std::tuple<std::string, std::string, Labels>> cases = {
        {"a;;b", ";", {"a", "", "b"}},
        {"a;", ";", {"a"}},
        {";a", ";", {"", "a"}},
        {"", ";", {}},
        {"a;b", "", {"a;b"}},
        {"", "", {""}},
        {"x\r\ny\r\nz", "\\n", {"x", "y", "z"}},
        {"x\ty", "\\t", {"x", "y"}},
        {"x\r\n\ty", "\\n\\t", {"x", "y"}},
        {"a--b-c", "--", {"a", "b-c"}},
    };
    for (const auto& [cell, separator, labels] : cases) {
        EXPECT_EQ(SplitLabels(cell, separator), labels) << cell << " / " << separator;
    }
}

// A store with a top concept, a child and a grandchild, and a wizard whose current concept is
// the child.
class CsvImportTest : public store::testing::StoreFixture {
protected:
    CsvImportTest() {
        top = store.AppendConcept(Sjis("トップ"), 0, Sjis("トップ"));
        child = store.AppendConcept(Sjis("子"), top, "");
        grandchild = store.AppendConcept(Sjis("孫"), child, "");
    }

    TCsvImportWizard& Load(std::string_view utf8Csv, std::int32_t current = 0) {
        wizard.emplace(store, context, current ? current : child);
        wizard->LoadText(Sjis(utf8Csv), "in.csv");
        return *wizard;
    }

    std::int32_t Count(store::TTable& table) { return table.RecordCount(); }
    std::string Text(std::int32_t no, std::string_view field) {
        return Concept(no, field).AsString();
    }
    std::int32_t Parent(std::int32_t no) { return Concept(no, "PARENT_NO").AsInteger(); }

    std::int32_t top = 0;
    std::int32_t child = 0;
    std::int32_t grandchild = 0;
    std::optional<TCsvImportWizard> wizard;
};

constexpr std::string_view kHeader =
    "\"<タイトル>\",\"<解説>\",\"<コメント>\",\"<言語ラベル>\",\"<最終更新者>\",\"<概念識別子>\","
    "\"<上位概念>\"\r\n";

TEST_F(CsvImportTest, FieldChoicesShowSamplesCutAt26Bytes) {
    const std::string b26(26, 'x');
    const std::string b27 = std::string(26, 'x') + "y";
    const std::string b40 = std::string(30, 'x') + "0123456789";
    TCsvImportWizard& w = Load(b26 + "," + b27 + "," + b40 + ",\"\"\r\nsecond\r\n");
    const TFieldChoice& title = w.Choice(TCsvField::Title);
    ASSERT_EQ(title.Entries.size(), 5u);
    EXPECT_EQ(title.Entries[0], Sjis("(なし)"));
    EXPECT_EQ(title.Entries[1], Sjis("フィールド1 (\"") + b26 + "\")");
    EXPECT_EQ(title.Entries[2], Sjis("フィールド2 (\"") + b27 + "...\")");
    EXPECT_EQ(title.Entries[3], Sjis("フィールド3 (\"") + std::string(30, 'x') + "...\")");
    EXPECT_EQ(title.Entries[4], Sjis("フィールド4 (\"\")"));
    // Every list offers the same entries; the title takes the first column, the others none.
    for (int f = 0; f < kCsvFieldCount; ++f) {
        EXPECT_EQ(w.Choice(static_cast<TCsvField>(f)).Entries, title.Entries);
        EXPECT_EQ(w.Choice(static_cast<TCsvField>(f)).Selected, f == 0 ? 1 : 0);
    }

    // Another row gives other samples and keeps what the user chose.
    w.Select(TCsvField::Comment, 3);
    w.SelectRow(2);
    EXPECT_EQ(w.Choice(TCsvField::Title).Entries[1], Sjis("フィールド1 (\"second\")"));
    EXPECT_EQ(w.Choice(TCsvField::Comment).Selected, 3);
    EXPECT_EQ(w.Choice(TCsvField::Title).Selected, 1);
}

TEST_F(CsvImportTest, FieldChoicesCutSamplesByBytesOfCodePage932) {
    // 16 double-byte characters are 32 bytes; the sample keeps the first 15.
    TCsvImportWizard& w = Load("あいうえおかきくけこさしすせそた\r\n");
    EXPECT_EQ(w.Choice(TCsvField::Title).Entries[1],
              Sjis("フィールド1 (\"あいうえおかきくけこさしすせそ...\")"));
}

TEST_F(CsvImportTest, AnEmptyFileOffersNoFieldsAndIsRefused) {
    for (const std::string_view text : {"", "\r\n", "\r\n\n\r"}) {
        TCsvImportWizard& w = Load(text);
        EXPECT_TRUE(w.Choice(TCsvField::Title).Entries.empty());
        EXPECT_EQ(w.Validate(), MessageEmptyFile());
        // Even with a title column forced on it (velmora-cli --map), no empty concept is made.
        w.Select(TCsvField::Title, 1);
        const std::int32_t before = Count(store.DtStOriginalConcepts);
        EXPECT_THROW(w.Import(), store::EVelmoraError);
        EXPECT_EQ(Count(store.DtStOriginalConcepts), before);
    }
}

TEST_F(CsvImportTest, LoadingAFileStartsTheFieldChoicesAfresh) {
    TCsvImportWizard& w =
        Load(std::string(kHeader) + "\"a\",\"d\",\"c\",\"l\",\"e\",\"@A%a\",\"(NULL)\"\r\n");
    ASSERT_TRUE(w.IgnoreHeader());
    ASSERT_EQ(w.Choice(TCsvField::ParentIdentifier).Selected, 7);
    w.LoadText(Sjis("一,二\r\n三,四\r\n"), "other.csv");
    EXPECT_EQ(w.Choice(TCsvField::Title).Selected, 1);
    for (int f = 1; f < kCsvFieldCount; ++f) {
        EXPECT_EQ(w.Choice(static_cast<TCsvField>(f)).Selected, 0) << f;
    }
    EXPECT_FALSE(w.IgnoreHeader());
    EXPECT_EQ(w.Separator(), "");
    EXPECT_EQ(w.DataRowCount(), 2);
    EXPECT_FALSE(w.PlaceEnabled(TImportPlace::Replace));

    // A file without rows after one with rows leaves nothing assigned.
    w.LoadText("", "empty.csv");
    EXPECT_EQ(w.Choice(TCsvField::Title).Selected, -1);
    EXPECT_EQ(w.Validate(), MessageEmptyFile());
}

TEST_F(CsvImportTest, ALabelIsLookedUpAsItIsStored) {
    // 26 bytes: stored as its first 20. The same label twice in a cell, in two rows, and
    // already in the ontology with trailing spaces: always the one term.
    const std::string label = Sjis("あいうえおかきくけこさしすせそ").substr(0, 26);
    store.AddTermToConcept(top, label + "  ");
    const int termsBefore = Count(store.DtStOriginalTerms);
    TCsvImportWizard& w = Load("");
    w.LoadText("a," + label + ";" + label + "\r\nb," + label + "\r\n", "in.csv");
    w.Select(TCsvField::Labels, 2);
    w.SetSeparator(";");
    const TCsvImportResult result = w.Import();
    EXPECT_EQ(result.NewLabels, 0);
    EXPECT_EQ(result.Associations, 2);
    EXPECT_EQ(Count(store.DtStOriginalTerms), termsBefore);
    for (const std::int32_t no : result.Concepts) {
        EXPECT_EQ(Labels(no), std::vector<std::string>{label.substr(0, 20)});
    }
}

TEST_F(CsvImportTest, RecognisesTheExportHeader) {
    TCsvImportWizard& w =
        Load(std::string(kHeader) + "\"a\",\"\",\"\",\"\",\"\",\"@A%a\",\"(NULL)\"\r\n");
    for (int f = 0; f < kCsvFieldCount; ++f) {
        EXPECT_EQ(w.Choice(static_cast<TCsvField>(f)).Selected, f + 1) << f;
    }
    EXPECT_TRUE(w.IgnoreHeader());
    EXPECT_EQ(w.Separator(), "\\n");
    EXPECT_EQ(w.DataRowCount(), 1);
    EXPECT_EQ(w.FieldValue(TCsvField::Identifier, 0), "@A%a");
}

TEST_F(CsvImportTest, HeaderRecognitionIsExactPerCell) {
    struct TCase {
        const char* Name;
        std::string Csv;
        std::map<TCsvField, int> Selected;  // fields not named keep their defaults
        bool IgnoreHeader;
    };
    const std::vector<TCase> cases = {
        {"columns in another order",
         "<上位概念>,x,<タイトル>,<概念識別子>\r\n",
         {{TCsvField::ParentIdentifier, 1}, {TCsvField::Title, 3}, {TCsvField::Identifier, 4}},
         true},
        {"a first cell without \"<\" keeps row 1 as data",
         "title,<解説>\r\n",
         {{TCsvField::Title, 1}, {TCsvField::Description, 2}},
         false},
        {"a near miss is not a header", "<タイトル> ,<コメント\r\n", {{TCsvField::Title, 1}}, true},
        {"an empty first cell changes nothing",
         ",<解説>\r\n",
         {{TCsvField::Description, 2}},
         false},
    };
    for (const TCase& c : cases) {
        TCsvImportWizard& w = Load(c.Csv);
        for (int f = 0; f < kCsvFieldCount; ++f) {
            const auto field = static_cast<TCsvField>(f);
            const auto it = c.Selected.find(field);
            const int expected = it != c.Selected.end() ? it->second : (f == 0 ? 1 : 0);
            EXPECT_EQ(w.Choice(field).Selected, expected) << c.Name << " field " << f;
        }
        EXPECT_EQ(w.IgnoreHeader(), c.IgnoreHeader) << c.Name;
        EXPECT_EQ(w.Separator(), c.IgnoreHeader ? "\\n" : "") << c.Name;
    }
}

TEST_F(CsvImportTest, LabelPreviewFollowsSelectedRowAndSeparator) {
    TCsvImportWizard& w = Load("t1,a;b\r\nt2,c\r\n");
    EXPECT_TRUE(w.LabelPreview().empty());
    w.Select(TCsvField::Labels, 2);
    w.SetSeparator(";");
    EXPECT_EQ(w.LabelPreview(), (std::vector<std::string>{Sjis("・a"), Sjis("・b")}));
    w.SelectRow(2);
    EXPECT_EQ(w.LabelPreview(), (std::vector<std::string>{Sjis("・c")}));
}

TEST_F(CsvImportTest, PlaceChoicesFollowParentColumnAndCurrentConcept) {
    TCsvImportWizard& w = Load("t,id,p\r\n");
    EXPECT_TRUE(w.PlaceEnabled(TImportPlace::Workspace));
    EXPECT_TRUE(w.PlaceEnabled(TImportPlace::SubConcept));
    EXPECT_FALSE(w.PlaceEnabled(TImportPlace::Replace));
    EXPECT_EQ(w.Place(), TImportPlace::Workspace);
    w.Select(TCsvField::ParentIdentifier, 3);
    EXPECT_TRUE(w.PlaceEnabled(TImportPlace::Replace));
    w.SetPlace(TImportPlace::Replace);
    // A checked button that becomes disabled stays checked (and validation refuses it).
    w.Select(TCsvField::ParentIdentifier, 0);
    EXPECT_FALSE(w.PlaceEnabled(TImportPlace::Replace));
    EXPECT_EQ(w.Place(), TImportPlace::Replace);
    EXPECT_EQ(w.Validate(), MessageReplaceNeedsHierarchy());

    // At the top concept there is no workspace to import into.
    TCsvImportWizard& atTop = Load("t\r\n", top);
    EXPECT_FALSE(atTop.PlaceEnabled(TImportPlace::Workspace));
    EXPECT_EQ(atTop.Place(), TImportPlace::SubConcept);
    atTop.SetPlace(TImportPlace::Workspace);
    EXPECT_EQ(atTop.Place(), TImportPlace::SubConcept);
}

TEST_F(CsvImportTest, CancelledFileDialogEmptiesEverything) {
    TCsvImportWizard& w = Load("a,b\r\nc,d\r\n");
    w.Select(TCsvField::ParentIdentifier, 2);
    w.ClearFile();
    EXPECT_EQ(w.FileName(), "");
    EXPECT_EQ(w.Grid().ColumnCount(), 1);
    EXPECT_EQ(w.Grid().RowCount(), 2);
    EXPECT_TRUE(w.Choice(TCsvField::Title).Entries.empty());
    EXPECT_FALSE(w.PlaceEnabled(TImportPlace::Replace));
    EXPECT_EQ(w.Validate(), MessageNoFile());
}

TEST_F(CsvImportTest, CheckIdentifiersCountsTopRows) {
    struct TCase {
        const char* Name;
        std::string Csv;  // identifier, parent identifier
        bool Unique;
        int TopRows;
    };
    const std::vector<TCase> cases = {
        {"one tree", "a,(NULL)\r\nb,a\r\nc,b\r\n", true, 1},
        {"two tops", "a,(NULL)\r\nb,x\r\nc,a\r\n", true, 2},
        {"case matters", "a,(NULL)\r\nB,A\r\n", true, 2},
        {"duplicates", "a,x\r\nb,a\r\na,b\r\n", false, 0},
        {"empty identifiers twice", "\"\",x\r\n\"\",y\r\n", false, 0},
        {"empty parent finds an empty identifier", ",x\r\nb,\r\n", true, 1},
        {"empty parent without empty identifiers", "a,\r\nb,a\r\n", true, 1},
    };
    for (const TCase& c : cases) {
        TCsvImportWizard& w = Load(c.Csv);
        w.Select(TCsvField::Identifier, 1);
        w.Select(TCsvField::ParentIdentifier, 2);
        const TIdentifierCheck check = w.CheckIdentifiers();
        EXPECT_EQ(check.Unique, c.Unique) << c.Name;
        if (c.Unique) {
            EXPECT_EQ(check.TopRows, c.TopRows) << c.Name;
        }
    }
}

TEST_F(CsvImportTest, ValidationReportsTheFirstFailingCheck) {
    struct TCase {
        const char* Name;
        std::string Csv;  // title, identifier, parent identifier
        int Title, Id, Parent;
        TImportPlace Place;
        std::optional<std::string> Message;
    };
    const std::string tree = "t,a,(NULL)\r\nu,b,a\r\n";
    const std::vector<TCase> cases = {
        {"title column beyond the grid", tree, 4, 0, 0, TImportPlace::SubConcept, MessageNoTitle()},
        {"title not assigned", tree, 0, 0, 0, TImportPlace::SubConcept, MessageNoTitle()},
        {"parent without identifier", tree, 1, 0, 3, TImportPlace::Replace,
         MessageParentWithoutIdentifier()},
        {"replace without hierarchy", tree, 1, 2, 0, TImportPlace::Replace,
         MessageReplaceNeedsHierarchy()},
        {"identifiers not unique", "t,a,x\r\nu,a,x\r\n", 1, 2, 3, TImportPlace::Replace,
         MessageIdentifiersNotUnique()},
        {"duplicates are ignored without a parent column", "t,a\r\nu,a\r\n", 1, 2, 0,
         TImportPlace::SubConcept, std::nullopt},
        {"a cycle is refused at any place", "t,a,(NULL)\r\nu,b,c\r\nv,c,b\r\n", 1, 2, 3,
         TImportPlace::SubConcept, MessageParentCycle("b")},
        {"a row naming itself", "t,a,a\r\n", 1, 2, 3, TImportPlace::SubConcept,
         MessageParentCycle("a")},
        {"several tops under replace", "t,a,x\r\nu,b,y\r\n", 1, 2, 3, TImportPlace::Replace,
         MessageSeveralTopRows()},
        {"several tops elsewhere are fine", "t,a,x\r\nu,b,y\r\n", 1, 2, 3, TImportPlace::Workspace,
         std::nullopt},
        {"one top under replace", tree, 1, 2, 3, TImportPlace::Replace, std::nullopt},
    };
    for (const TCase& c : cases) {
        TCsvImportWizard& w = Load(c.Csv);
        w.Select(TCsvField::Title, c.Title);
        w.Select(TCsvField::Identifier, c.Id);
        w.Select(TCsvField::ParentIdentifier, c.Parent);
        w.SetPlace(c.Place);
        EXPECT_EQ(w.Validate(), c.Message) << c.Name;
    }
}

TEST_F(CsvImportTest, ReplaceWithoutDataRowsIsRefused) {
    TCsvImportWizard& w = Load("<タイトル>,<概念識別子>,<上位概念>\r\n");
    w.SetPlace(TImportPlace::Replace);
    EXPECT_EQ(w.DataRowCount(), 0);
    EXPECT_EQ(w.Validate(), MessageNothingToReplace());
}

TEST_F(CsvImportTest, MessagesAreTheFixedTexts) {
    EXPECT_EQ(MessageNoFile(), "CSVファイルが指定されていません.");
    EXPECT_EQ(MessageSeveralTopRows(),
              "CSVファイルの概念の階層構造で最上位概念が複数ありますが，複数の概念が\r\n"
              "オントロジーの最上位概念になることはソフトウエア仕様上できません.");
    EXPECT_NE(MessageParentCycle(Sjis("概念X")).find("「概念X」"), std::string::npos);
}

TEST_F(CsvImportTest, RefusedImportWritesNothing) {
    TCsvImportWizard& w = Load("t,a,b\r\nu,b,a\r\n");
    w.Select(TCsvField::Identifier, 2);
    w.Select(TCsvField::ParentIdentifier, 3);
    w.SetPlace(TImportPlace::Replace);
    const int changes = store.DtStOriginalConcepts.ChangeCount();
    EXPECT_THROW(w.Import(), store::EVelmoraError);
    EXPECT_EQ(store.DtStOriginalConcepts.ChangeCount(), changes);
    EXPECT_EQ(Count(store.DtStOriginalConcepts), 3);
}

TEST_F(CsvImportTest, ImportsRowsUnderTheCurrentConcept) {
    const std::int32_t shared = TermNo(Sjis("トップ"));
    TCsvImportWizard& w = Load(
        "\"甲\",\"解説1\",\"コメント1\",\"トップ;新;新\",\"佐藤\"\r\n"
        "\"\",\"\",\"\",\";x\",\"\"\r\n");
    w.Select(TCsvField::Description, 2);
    w.Select(TCsvField::Comment, 3);
    w.Select(TCsvField::Labels, 4);
    w.Select(TCsvField::Editor, 5);
    w.SetSeparator(";");
    w.SetPlace(TImportPlace::SubConcept);
    const int termsBefore = Count(store.DtStOriginalTerms);
    const TCsvImportResult result = w.Import();

    ASSERT_EQ(result.Concepts.size(), 2u);
    EXPECT_EQ(result.BaseParent, child);
    EXPECT_EQ(result.TopRows, 2);
    const std::int32_t first = result.Concepts[0];
    const std::int32_t second = result.Concepts[1];
    EXPECT_EQ(Text(first, "TITLE"), Sjis("甲"));
    EXPECT_EQ(Text(first, "DESCRIPTION"), Sjis("解説1"));
    EXPECT_EQ(Text(first, "COMMENT"), Sjis("コメント1"));
    EXPECT_EQ(Text(first, "EDITOR"), Sjis("佐藤"));
    EXPECT_EQ(Text(first, "IDENTIFIER"), "@" + store::RecordNoToCode(first) + "%" + Sjis("甲"));
    EXPECT_EQ(Parent(first), child);
    EXPECT_EQ(Concept(first, "LIST_ORDER").AsInteger(), 10000);
    EXPECT_EQ(Concept(first, "ICON_POS_X").AsInteger(), -1);
    EXPECT_EQ(Concept(first, "ICON_POS_Y").AsInteger(), -1);
    EXPECT_EQ(Concept(first, "DATE_CREATION").AsDateTime(), kFixedNow);
    EXPECT_EQ(Concept(first, "DATE_EDITION").AsDateTime(), kFixedNow);
    // An existing label is reused; one given twice gives one association.
    EXPECT_EQ(Labels(first), (std::vector<std::string>{Sjis("トップ"), Sjis("新")}));
    EXPECT_EQ(TermNo(Sjis("トップ")), shared);

    // An empty row: empty title and texts, the author's name, an empty label kept.
    EXPECT_EQ(Text(second, "TITLE"), "");
    EXPECT_TRUE(Concept(second, "DESCRIPTION").IsNull());
    EXPECT_EQ(Text(second, "EDITOR"), Sjis("山田"));
    EXPECT_EQ(Text(second, "IDENTIFIER"), "@" + store::RecordNoToCode(second) + "%");
    EXPECT_EQ(Labels(second), (std::vector<std::string>{"", "x"}));
    EXPECT_EQ(Count(store.DtStOriginalTerms), termsBefore + 3);
    EXPECT_EQ(result.NewLabels, 3);
    EXPECT_EQ(result.Associations, 4);
}

TEST_F(CsvImportTest, RebuildsTheHierarchyBesideTheCurrentConcept) {
    // Rows out of order; one parent names no row, so two rows hang under the base parent.
    TCsvImportWizard& w = Load(
        "c,C,B\r\n"
        "a,A,(NULL)\r\n"
        "b,B,A\r\n"
        "d,D,A\r\n"
        "e,E,Z\r\n");
    w.Select(TCsvField::Identifier, 2);
    w.Select(TCsvField::ParentIdentifier, 3);
    ASSERT_EQ(w.Place(), TImportPlace::Workspace);
    const TCsvImportResult result = w.Import();
    const auto no = [&](int row) { return result.Concepts[static_cast<std::size_t>(row)]; };
    EXPECT_EQ(result.BaseParent, top);
    EXPECT_EQ(result.TopRows, 2);
    EXPECT_EQ(Parent(no(0)), no(2));
    EXPECT_EQ(Parent(no(1)), top);
    EXPECT_EQ(Parent(no(2)), no(1));
    EXPECT_EQ(Parent(no(3)), no(1));
    EXPECT_EQ(Parent(no(4)), top);
    // The file's identifiers are not kept.
    EXPECT_EQ(Text(no(1), "IDENTIFIER"), "@" + store::RecordNoToCode(no(1)) + "%a");
}

TEST_F(CsvImportTest, ReplaceLeavesOnlyTheFileAndOneTopConcept) {
    store.AppendMirrorImage(ConceptItem(grandchild), 1);
    const int linkTypes = Count(store.DtStOriginalLinkType);
    TCsvImportWizard& w = Load(std::string(kHeader) +
                               "\"b\",\"\",\"\",\"L2\",\"\",\"@2\",\"@1\"\r\n"
                               "\"a\",\"\",\"\",\"L1\r\nL2\",\"\",\"@1\",\"(NULL)\"\r\n");
    w.SetPlace(TImportPlace::Replace);
    const std::unique_ptr<store::TSavePoint> savePoint = store.TakeSavePoint({});
    const TCsvImportResult result = w.Import();

    EXPECT_EQ(result.BaseParent, 0);
    EXPECT_EQ(Count(store.DtStOriginalConcepts), 2);
    EXPECT_EQ(Count(store.DtStOriginalNetWork), 0);
    EXPECT_EQ(Count(store.DtStOriginalTerms), 2);
    EXPECT_EQ(Count(store.DtStOriginalAssociation), 3);
    EXPECT_EQ(Count(store.DtStOriginalLinkType), linkTypes);
    EXPECT_EQ(Parent(result.Concepts[1]), 0);
    EXPECT_EQ(Parent(result.Concepts[0]), result.Concepts[1]);
    EXPECT_FALSE(HasConcept(top));
    // Numbers are never handed out again.
    EXPECT_GT(result.Concepts[0], grandchild);
    EXPECT_EQ(Labels(result.Concepts[1]), (std::vector<std::string>{"L1", "L2"}));

    // The caller's save point takes the whole import back.
    store.RollBackTo(*savePoint);
    EXPECT_EQ(Count(store.DtStOriginalConcepts), 3);
    EXPECT_EQ(Count(store.DtStOriginalNetWork), 1);
    EXPECT_EQ(Labels(top), (std::vector<std::string>{Sjis("トップ")}));
}

TEST_F(CsvImportTest, UnknownPlaceIsAnInternalError) {
    TCsvImportWizard& w = Load("t\r\n");
    w.SetPlace(TImportPlace::None);
    EXPECT_THROW(
        {
            try {
                w.Import();
            } catch (const store::EVelmoraError& e) {
                EXPECT_STREQ(e.what(), "BUG: FormCloseのエラー; in RadioButton");
                throw;
            }
        },
        store::EVelmoraError);
}

TEST_F(CsvImportTest, LoadBytesReadsTheEncodingAndAsksAboutABrokenQuote) {
    wizard.emplace(store, context, child);
    TCsvImportWizard& w = *wizard;
    engine::testing::TScriptedQuestioner questions;
    const std::string utf8 = "一,\"二\"\n三,四\n";
    ASSERT_TRUE(w.LoadBytes(utf8, "u.csv", TImportEncoding::Auto, questions));
    EXPECT_TRUE(questions.Asked.empty());
    EXPECT_EQ(w.Encoding(), TImportEncoding::Utf8);
    EXPECT_EQ(w.EncodingChoice(), TImportEncoding::Auto);
    EXPECT_EQ(w.Grid().Cell(0, 2), Sjis("三"));

    // The user picks code page 932: the same bytes are read again, and UTF-8 Japanese is not
    // code page 932, so the unreadable-bytes question comes; No keeps the UTF-8 reading.
    questions.Answers = {store::TAnswer::No};
    EXPECT_FALSE(w.SetEncoding(TImportEncoding::Cp932, questions));
    ASSERT_EQ(questions.Asked.size(), 1u);
    EXPECT_EQ(w.Encoding(), TImportEncoding::Utf8);
    EXPECT_EQ(w.Grid().Cell(0, 2), Sjis("三"));

    const TCsvImportResult result = w.Import();
    ASSERT_EQ(result.Concepts.size(), 2u);
    EXPECT_EQ(Text(result.Concepts[0], "TITLE"), Sjis("一"));
    EXPECT_EQ(Text(result.Concepts[1], "TITLE"), Sjis("三"));

    // A broken quote: the question names its line; No leaves the wizard as it was.
    questions.Asked.clear();
    questions.Answers = {store::TAnswer::No};
    EXPECT_FALSE(w.LoadBytes("a,b\n\"c\n", "broken.csv", TImportEncoding::Auto, questions));
    ASSERT_EQ(questions.Asked.size(), 1u);
    EXPECT_EQ(questions.Asked[0].Kind, store::TMessageKind::Warning);
    EXPECT_EQ(questions.Asked[0].Buttons, store::TButtons::YesNo);
    EXPECT_EQ(questions.Asked[0].Text, MessageBrokenQuote(2));
    EXPECT_EQ(w.BrokenQuoteLine(), 2u);
    EXPECT_EQ(w.FileName(), "u.csv");
    // Yes imports the rows as parsed.
    questions.Answers = {store::TAnswer::Yes};
    EXPECT_TRUE(w.LoadBytes("a,b\n\"c\n", "broken.csv", TImportEncoding::Auto, questions));
    EXPECT_EQ(w.FileName(), "broken.csv");
    EXPECT_EQ(w.DataRowCount(), 2);
}

TEST_F(CsvImportTest, ACutTitleReImportsWithoutAQuestion) {
    // 254 bytes of 'x' and then kanji: the 255-byte cut would fall inside a kanji.
    const std::string title = std::string(254, 'x') + Sjis("漢字");
    const std::int32_t no = store.AppendConcept(title, child, title);
    ASSERT_EQ(Text(no, "TITLE"), std::string(254, 'x'));
    const std::string label = std::string(19, 'y') + Sjis("字");
    store.AddTermToConcept(no, label);
    ASSERT_EQ(Labels(no).back(), std::string(19, 'y'));

    engine::testing::TScriptedQuestioner questions;
    engine::TDataModuleSeeker seeker(store, questions);
    store::TMemoryFileSystem files;
    TDataModuleExport exporter(store, seeker);
    exporter.SetFileSystem(files);
    TConceptList items;
    items.AddNew().SetConceptNo(no);
    ASSERT_EQ(exporter.WriteCSV(items, "out.csv"), 1);

    const std::optional<std::string> text = ReadCSVFile(files, "out.csv", questions);
    EXPECT_TRUE(questions.Asked.empty());
    ASSERT_TRUE(text);
    TCsvImportWizard& w = Load("");
    w.LoadText(*text, "out.csv");
    const TCsvImportResult result = w.Import();
    ASSERT_EQ(result.Concepts.size(), 1u);
    EXPECT_EQ(Text(result.Concepts[0], "TITLE"), std::string(254, 'x'));
}

// ---------------------------------------------------------------------------------------------
// Round trip through the export

class CsvRoundTripTest : public engine::testing::EngineFixture {
protected:
    // A tree of n concepts under a subtree root, with texts that need quoting: Japanese, commas,
    // quotes and line breaks; every concept one or two labels, some shared.
    std::int32_t BuildSubtree(int n) {
        std::mt19937 random(7);
        const std::int32_t root = store.AppendConcept(Sjis("根, \"ルート\""), top, Sjis("根"));
        std::vector<std::int32_t> nodes = {root};
        const char* pieces[] = {"概念", ",", "\"", "\r\n", "テスト", "x", "；", "　"};
        const auto text = [&](int parts) {
            std::string out;
            for (int k = 0; k < parts; ++k) {
                out += pieces[random() % std::size(pieces)];
            }
            return Sjis(out);
        };
        for (int i = 1; i < n; ++i) {
            const std::int32_t parent = nodes[random() % nodes.size()];
            const std::string title = text(1 + static_cast<int>(random() % 4)) + std::to_string(i);
            // A label cannot hold a line break: the file separates labels with them.
            const std::int32_t no =
                store.AppendConcept(title, parent, Sjis("ラベル") + std::to_string(i));
            if (i % 3 == 0) {
                store.AddTermToConcept(no, Sjis("共有") + std::to_string(i % 50));
            }
            store.DtStOriginalConcepts.Edit();
            store.DtStOriginalConcepts.FieldByName("DESCRIPTION").SetAsString(text(i % 6));
            store.DtStOriginalConcepts.FieldByName("COMMENT").SetAsString(text(i % 5));
            store.DtStOriginalConcepts.FieldByName("EDITOR").SetAsString(
                Sjis(i % 2 ? "編集者\"A\"" : "編集者,B"));
            store.DtStOriginalConcepts.Post();
            nodes.push_back(no);
        }
        return root;
    }

    // Each concept of the subtree below no, as text: its fields, labels and children, in an
    // order that does not depend on record numbers.
    std::string Describe(store::TDataModule1& s, std::int32_t no) {
        store::TCursor c;
        c.CloneCursor(s.DtStOriginalConcepts, true);
        std::multimap<std::int32_t, std::int32_t> children;
        for (c.First(); !c.Eof(); c.Next()) {
            children.emplace(c.FieldByName("PARENT_NO").AsInteger(),
                             c.FieldByName("RECORD_NO").AsInteger());
        }
        std::map<std::int32_t, std::vector<std::string>> labels;
        store::TCursor a;
        a.CloneCursor(s.DtStOriginalAssociation, true);
        store::TCursor t;
        t.CloneCursor(s.DtStOriginalTerms, true);
        for (a.First(); !a.Eof(); a.Next()) {
            EXPECT_TRUE(t.Locate("TERM_NO", store::TValue(a.FieldByName("TERM_NO").AsInteger())));
            labels[a.FieldByName("CONCEPT_NO").AsInteger()].push_back(
                t.FieldByName("TERM_STRING").AsString());
        }
        std::function<std::string(std::int32_t)> describe = [&](std::int32_t k) {
            EXPECT_TRUE(c.Locate("RECORD_NO", store::TValue(k)));
            std::string out = "[" + c.FieldByName("TITLE").AsString() + "|" +
                              c.FieldByName("DESCRIPTION").AsString() + "|" +
                              c.FieldByName("COMMENT").AsString() + "|" +
                              c.FieldByName("EDITOR").AsString() + "|";
            for (const std::string& label : labels[k]) {
                out += label + ";";
            }
            std::vector<std::string> parts;
            const auto [from, to] = children.equal_range(k);
            for (auto it = from; it != to; ++it) {
                parts.push_back(describe(it->second));
            }
            std::sort(parts.begin(), parts.end());
            for (const std::string& part : parts) {
                out += part;
            }
            return out + "]";
        };
        return describe(no);
    }
};

TEST_F(CsvRoundTripTest, ExportedSubtreeReplacesAFreshOntology) {
    const std::int32_t root = BuildSubtree(3000);
    store::TMemoryFileSystem files;
    TDataModuleExport exporter(store, seeker);
    exporter.SetFileSystem(files);
    TConceptList items;
    items.AddNew().SetConceptNo(root);
    ASSERT_EQ(exporter.WriteCSV(items, "out.csv"), 3000);

    store::TSimpleStoreContext otherContext;
    otherContext.SetClock([] { return store::TDateTime::FromCivil({2025, 1, 2, 3, 4, 5, 6}); });
    store::TDataModule1 fresh(otherContext);
    const std::int32_t freshTop = fresh.BuildNewOntology(Sjis("新"), {});
    TCsvImportWizard w(fresh, otherContext, freshTop);
    const std::optional<std::string> text = ReadCSVFile(files, "out.csv", questions);
    ASSERT_TRUE(text);
    w.LoadText(*text, "out.csv");
    w.SetPlace(TImportPlace::Replace);
    ASSERT_EQ(w.Validate(), std::nullopt);
    const TCsvImportResult result = w.Import();

    ASSERT_EQ(result.Concepts.size(), 3000u);
    EXPECT_EQ(fresh.DtStOriginalConcepts.RecordCount(), 3000);
    const std::int32_t newTop = result.Concepts[0];
    EXPECT_EQ(fresh.GetParentNo(newTop), 0);
    EXPECT_EQ(Describe(fresh, newTop), Describe(store, root));
    // New identifiers and dates.
    ASSERT_TRUE(fresh.DtStOriginalConcepts.Locate("RECORD_NO", store::TValue(newTop)));
    EXPECT_EQ(fresh.DtStOriginalConcepts.FieldByName("IDENTIFIER").AsString(),
              "@" + store::RecordNoToCode(newTop) + "%" + Sjis("根, \"ルート\""));
    EXPECT_EQ(fresh.DtStOriginalConcepts.FieldByName("DATE_CREATION").AsDateTime(),
              otherContext.Now());
}

}  // namespace
}  // namespace velmora::exchange
