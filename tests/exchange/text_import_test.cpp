// The text import: line breaks of every kind, blank lines, where the new concepts go for each
// kind of current item, unreadable bytes answered either way, and failures that must stop the
// import before it creates anything.

#include "text_import.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "code_page.h"
#include "engine_fixture.h"
#include "file_system.h"
#include "ontology.h"

namespace velmora::exchange {
namespace {

using store::Utf8ToCp932;

const std::string kIdeographicSpace = "\x81\x40";

class TextImport : public engine::testing::EngineFixture {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_file = std::filesystem::path(::testing::TempDir()) /
                 ("velmora_text_import_" + std::string(info->name()) + ".txt");
    }
    void TearDown() override { std::filesystem::remove(m_file); }

    std::string File(const std::string& bytes) {
        std::ofstream(m_file, std::ios::binary) << bytes;
        return m_file.string();
    }
    // Titles of the given concepts, with their parents.
    std::vector<std::pair<std::string, std::int32_t>> TitlesAndParents(
        const std::vector<std::int32_t>& numbers) {
        std::vector<std::pair<std::string, std::int32_t>> out;
        for (const std::int32_t no : numbers) {
            out.emplace_back(Concept(no, "TITLE").AsString(), ParentOf(no));
        }
        return out;
    }
    int ConceptCount() { return store.DtStOriginalConcepts.RecordCount(); }

    std::filesystem::path m_file;
};

TEST_F(TextImport, LinesEndAtCrLfOrCrLfAndTheLastBreakIsOptional) {
    const std::vector<std::pair<std::string, std::vector<std::string_view>>> cases = {
        {"", {}},
        {"a", {"a"}},
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\nb", {"a", "b"}},
        {"a\rb\r", {"a", "b"}},
        {"a\r\rb", {"a", "", "b"}},
        {"a\n\rb", {"a", "", "b"}},
        {"\r\n\n", {"", ""}},
        {"a\r\n\r\nb", {"a", "", "b"}},
    };
    for (const auto& [text, lines] : cases) {
        EXPECT_EQ(SplitTextLines(text), lines) << text;
    }
}

TEST_F(TextImport, BlankLinesAreEmptyOrOnlySpacesTabsAndIdeographicSpaces) {
    for (const std::string& blank : {std::string(), std::string(" "), std::string("\t \t"),
                                     kIdeographicSpace, " " + kIdeographicSpace + "\t"}) {
        EXPECT_TRUE(IsBlankLine(blank)) << blank;
    }
    // "ー" (0x81 0x5B) shares the ideographic space's lead byte.
    for (const std::string& text : {std::string("a"), std::string(" a "), Utf8ToCp932("　x"),
                                    Utf8ToCp932("ー"), std::string("\x81"), std::string("\x40")}) {
        EXPECT_FALSE(IsBlankLine(text)) << text;
    }
}

TEST_F(TextImport, EachNonBlankLineBecomesAConceptWithItsOwnLabelInFileOrder) {
    const std::int32_t a = Add("a", top);
    const std::string jp = Utf8ToCp932("果物");
    const std::string path =
        File("A\r\n\r\n B \n   \t\r" + kIdeographicSpace + "\r\n" + jp + "\rA");
    const TTextImportResult result = ImportTextFile(store, ConceptItem(a), path, questions);

    EXPECT_EQ(result.Parent, top);
    EXPECT_FALSE(result.Stopped);
    EXPECT_TRUE(questions.Asked.empty());
    // Blanks inside a line are kept; the store drops trailing half-width spaces of a title.
    EXPECT_EQ(TitlesAndParents(result.Created),
              (std::vector<std::pair<std::string, std::int32_t>>{
                  {"A", top}, {" B", top}, {jp, top}, {"A", top}}));
    EXPECT_EQ(Labels(result.Created[2]), std::vector<std::string>{jp});
    // The same line twice: two concepts sharing one label.
    EXPECT_EQ(Labels(result.Created[0]), std::vector<std::string>{"A"});
    EXPECT_EQ(Labels(result.Created[3]), std::vector<std::string>{"A"});
    EXPECT_EQ(store.DtStOriginalTerms.RecordCount(), 3);
    EXPECT_EQ(Concept(result.Created[1], "LIST_ORDER").AsInteger(), 10000);
}

TEST_F(TextImport, NewConceptsGoBesideTheCurrentItemOrUnderTheTopConcept) {
    const std::int32_t a = Add("a", top);
    const std::int32_t b = Add("b", a);
    const std::int32_t c = Add("c", top);
    const std::int32_t imageOfBUnderC = Image(c, b);
    struct TCase {
        const char* Name;
        store::TConceptData Current;
        std::int32_t Parent;
    };
    const std::vector<TCase> cases = {
        {"top", ConceptItem(top), top},
        {"child of top", ConceptItem(a), top},
        {"grandchild", ConceptItem(b), a},
        {"mirror image", MirrorItem(imageOfBUnderC, b), c},
    };
    for (const TCase& testCase : cases) {
        EXPECT_EQ(ImportParentFor(store, testCase.Current), testCase.Parent) << testCase.Name;
        const TTextImportResult result =
            ImportTextFile(store, testCase.Current, File("x"), questions);
        ASSERT_EQ(result.Created.size(), 1u) << testCase.Name;
        EXPECT_EQ(ParentOf(result.Created[0]), testCase.Parent) << testCase.Name;
    }
}

TEST_F(TextImport, UnreadableBytesAreReportedWithTheirLineAndTheAnswerDecides) {
    const std::string bytes = "ok\r\n\xFF\x81 bad\r\nlast";
    struct TCase {
        store::TAnswer Answer;
        std::vector<std::string> Created;
    };
    const std::vector<TCase> cases = {
        {store::TAnswer::No, {}},
        {store::TAnswer::Yes, {"ok", "\xFF\x81 bad", "last"}},
    };
    for (const TCase& testCase : cases) {
        questions.Asked.clear();
        questions.Answers = {testCase.Answer};
        const int before = ConceptCount();
        const std::string path = File(bytes);
        const TTextImportResult result = ImportTextFile(store, ConceptItem(top), path, questions);

        EXPECT_EQ(result.UnreadableLine, 2u);
        EXPECT_EQ(result.Stopped, testCase.Answer == store::TAnswer::No);
        ASSERT_EQ(questions.Asked.size(), 1u);
        EXPECT_EQ(questions.Asked[0].Buttons, store::TButtons::YesNo);
        EXPECT_EQ(questions.Asked[0].Text, UnreadableLineQuestion(path, 2));
        EXPECT_NE(questions.Asked[0].Text.find(" 2 行目"), std::string::npos);
        std::vector<std::string> titles;
        for (const std::int32_t no : result.Created) {
            titles.push_back(Concept(no, "TITLE").AsString());
        }
        EXPECT_EQ(titles, testCase.Created);
        EXPECT_EQ(ConceptCount(), before + static_cast<int>(testCase.Created.size()));
    }
}

TEST_F(TextImport, Utf8FilesAreReadAsUtf8AndCodePage932AsBefore) {
    const std::string utf8 = "概念A\n〜波\n";
    const struct {
        const char* Name;
        std::string Bytes;
        TImportEncoding Encoding;
        TImportEncoding Read;
        std::vector<std::string> Titles;
    } cases[] = {
        {"bom",
         "\xEF\xBB\xBF" + utf8,
         TImportEncoding::Auto,
         TImportEncoding::Utf8,
         {Utf8ToCp932("概念A"), Utf8ToCp932("〜波")}},
        {"no bom",
         utf8,
         TImportEncoding::Auto,
         TImportEncoding::Utf8,
         {Utf8ToCp932("概念A"), Utf8ToCp932("〜波")}},
        {"cp932",
         Utf8ToCp932(utf8),
         TImportEncoding::Auto,
         TImportEncoding::Cp932,
         {Utf8ToCp932("概念A"), Utf8ToCp932("〜波")}},
        {"told utf-8",
         "\xC3\xA9t\xC3\xA9\n",
         TImportEncoding::Utf8,
         TImportEncoding::Utf8,
         {"?t?"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const TTextImportResult result = ImportTextFile(
            store, ConceptItem(top), File(c.Bytes), questions, store::RealFileSystem(), c.Encoding);
        EXPECT_EQ(result.Encoding, c.Read);
        std::vector<std::string> titles;
        for (const std::int32_t no : result.Created) {
            titles.push_back(Concept(no, "TITLE").AsString());
        }
        EXPECT_EQ(titles, c.Titles);
    }
    EXPECT_TRUE(questions.Asked.empty());
}

TEST_F(TextImport, TheSameLongLineTwiceSharesOneLabel) {
    const std::string line = Utf8ToCp932("一二三四五六七八九十百千") + "  ";
    const int terms = store.DtStOriginalTerms.RecordCount();
    const TTextImportResult result =
        ImportTextFile(store, ConceptItem(top), File(line + "\n" + line + "\n"), questions);
    ASSERT_EQ(result.Created.size(), 2u);
    EXPECT_EQ(store.DtStOriginalTerms.RecordCount(), terms + 1);
    EXPECT_EQ(Labels(result.Created[0]), Labels(result.Created[1]));
    EXPECT_EQ(Labels(result.Created[0]), std::vector<std::string>{line.substr(0, 20)});
}

TEST_F(TextImport, AZeroByteNeverReachesTheTables) {
    const std::string path = File(std::string("ok\na\0b\n", 7) + std::string(300, '\0'));
    questions.Answers = {store::TAnswer::No};
    const TTextImportResult refused = ImportTextFile(store, ConceptItem(top), path, questions);
    EXPECT_TRUE(refused.Stopped);
    EXPECT_EQ(refused.UnreadableLine, 2u);

    questions.Answers = {store::TAnswer::Yes};
    const TTextImportResult result = ImportTextFile(store, ConceptItem(top), path, questions);
    ASSERT_EQ(result.Created.size(), 3u);
    EXPECT_EQ(Concept(result.Created[1], "TITLE").AsString(), "a?b");
    EXPECT_EQ(Concept(result.Created[2], "TITLE").AsString(), std::string(255, '?'));
    EXPECT_EQ(Labels(result.Created[2]), std::vector<std::string>{std::string(20, '?')});

    // Saved and opened again, the tables are the same.
    store::TMemoryFileSystem files;
    store.SetFileSystem(files);
    store::TOntology ontology;
    store.WriteOntologyFile(ontology, "x.ont");
    store::TSimpleStoreContext otherContext;
    store::TDataModule1 reopened(otherContext);
    reopened.SetFileSystem(files);
    store::TOntology loaded;
    loaded.SetFileName("x.ont");
    reopened.LoadOntologyFile(loaded);
    for (const std::int32_t no : result.Created) {
        ASSERT_TRUE(reopened.DtStOriginalConcepts.Locate("RECORD_NO", store::TValue(no)));
        EXPECT_EQ(reopened.DtStOriginalConcepts.FieldByName("TITLE").AsString(),
                  Concept(no, "TITLE").AsString());
    }
    ASSERT_TRUE(
        reopened.DtStOriginalTerms.Locate("TERM_STRING", store::TValue(std::string(20, '?'))));
}

TEST_F(TextImport, FailuresStopBeforeAnythingIsCreated) {
    const int before = ConceptCount();
    // A current concept that is gone: the store's error, even before the file is looked at.
    try {
        ImportTextFile(store, ConceptItem(999), File("a"), questions);
        ADD_FAILURE() << "no error";
    } catch (const store::EVelmoraError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("DATA ERROR: ", 0), 0u) << e.what();
    }
    std::filesystem::remove(m_file);
    EXPECT_THROW(ImportTextFile(store, ConceptItem(top), m_file.string(), questions),
                 store::EFileSystemError);
    EXPECT_EQ(ConceptCount(), before);
    // An empty file is read and creates nothing.
    EXPECT_TRUE(ImportTextFile(store, ConceptItem(top), File(""), questions).Created.empty());
    EXPECT_EQ(ConceptCount(), before);
}

}  // namespace
}  // namespace velmora::exchange
