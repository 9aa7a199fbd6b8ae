// The CSV export: the bytes of a line and of the file, the order and uniqueness of the walk
// (mirror images, chosen ancestors and descendants, deep chains), the command's questions and
// proposed file name, and that a failed export leaves no file behind.

#include "csv_export.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "code_page.h"
#include "engine_fixture.h"
#include "ontology.h"
#include "store_exceptions.h"

namespace velmora::exchange {
namespace {

using store::TValue;
using store::Utf8ToCp932;

std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class CsvExport : public engine::testing::EngineFixture {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_dir = std::filesystem::path(::testing::TempDir()) /
                ("velmora_csv_export_" + std::string(info->name()));
        std::filesystem::remove_all(m_dir);
        std::filesystem::create_directories(m_dir);
        exporter.OpenExportCursors();
        m_numbers.emplace_back("top", top);
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    std::string Path(const std::string& name) const { return (m_dir / name).string(); }
    std::vector<std::string> DirectoryEntries() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(m_dir)) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }

    void SetText(std::int32_t no, std::string_view field, const std::string& value) {
        store::TTable& c = store.DtStOriginalConcepts;
        ASSERT_TRUE(c.Locate("RECORD_NO", TValue(no)));
        c.Edit();
        c.FieldByName(field).SetAsString(value);
        c.Post();
    }
    std::string Identifier(std::int32_t no) { return Concept(no, "IDENTIFIER").AsString(); }

    static TConceptList Items(std::initializer_list<std::int32_t> numbers) {
        TConceptList list;
        for (const std::int32_t no : numbers) {
            list.AddNew().SetConceptNo(no);
        }
        return list;
    }

    // "title>parent" per written concept, for hierarchies whose titles need no quoting.
    std::vector<std::string> Walk(std::initializer_list<std::int32_t> numbers) {
        const TConceptList items = Items(numbers);
        TExportLines lines;
        exporter.OpenExportCursors();
        for (int i = 0; i < items.Count(); ++i) {
            exporter.AppendSubtree(items[i], lines, true);
        }
        std::vector<std::string> out;
        for (int i = 0; i < lines.Count(); ++i) {
            const std::string line(lines.Line(i));
            const std::string title = line.substr(1, line.find("\",") - 1);
            const std::string parent = line.substr(line.rfind(",\"") + 2);
            const std::string name = parent == "(NULL)\"" ? "(NULL)" : NameOf(parent);
            out.push_back(title + ">" + name);
            EXPECT_EQ(lines.Item(i).ConceptNo(), NumberOf(title)) << title;
        }
        return out;
    }
    // Parent identifiers back to the titles given by Add, so that expectations read plainly.
    std::string NameOf(const std::string& quotedIdentifier) {
        const std::string identifier = quotedIdentifier.substr(0, quotedIdentifier.size() - 1);
        for (const auto& [title, no] : m_numbers) {
            if (Identifier(no) == identifier) {
                return title;
            }
        }
        return "?" + identifier;
    }
    std::int32_t NumberOf(const std::string& title) {
        for (const auto& [t, no] : m_numbers) {
            if (t == title) {
                return no;
            }
        }
        return -1;
    }
    std::int32_t Named(const std::string& title, std::int32_t parent, std::int32_t order) {
        const std::int32_t no = Add(title, parent, order);
        m_numbers.emplace_back(title, no);
        return no;
    }

    TDataModuleExport exporter{store, seeker};
    std::filesystem::path m_dir;
    std::vector<std::pair<std::string, std::int32_t>> m_numbers;
};

TEST_F(CsvExport, HeaderIsTheSevenQuotedColumnTitlesInCodePage932) {
    // タ イ ト ル in code page 932, then the rest.
    EXPECT_EQ(CsvHeaderLine().substr(0, 12), "\"<\x83^\x83\x43\x83g\x83\x8B>\"");
    EXPECT_EQ(CsvHeaderLine(),
              Utf8ToCp932("\"<タイトル>\",\"<解説>\",\"<コメント>\",\"<言語ラベル>\","
                          "\"<最終更新者>\",\"<概念識別子>\",\"<上位概念>\""));
}

TEST_F(CsvExport, QuotingDoublesInnerQuotesAndKeepsEverythingElse) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", "\"\""},
        {"A\"B", "\"A\"\"B\""},
        {"\"\"", "\"\"\"\"\"\""},
        {"a,b\r\nc\nd", "\"a,b\r\nc\nd\""},
        {"'\\\t", "\"'\\\t\""},
        {Utf8ToCp932("表示\"ソ"), "\"" + Utf8ToCp932("表示") + "\"\"" + Utf8ToCp932("ソ") + "\""},
    };
    for (const auto& [value, quoted] : cases) {
        EXPECT_EQ(Quoted(value), quoted) << value;
    }
}

TEST_F(CsvExport, LineHoldsTheSevenColumnsWithLabelsJoinedByCrLf) {
    const std::int32_t parent = store.AppendConcept("P", top, "");
    const std::int32_t child = store.AppendConcept("A,B", parent, "x");
    store.AddTermToConcept(child, "y");
    store.AddTermToConcept(child, "z,\"w\"");
    SetText(child, "DESCRIPTION", "d1,\r\nd2");
    SetText(child, "COMMENT", "c\"");
    const std::string editor = Concept(child, "EDITOR").AsString();
    const std::string columns1to6 = "\"A,B\",\"d1,\r\nd2\",\"c\"\"\",\"x\r\ny\r\nz,\"\"w\"\"\",\"" +
                                    editor + "\",\"" + Identifier(child) + "\",";

    EXPECT_EQ(exporter.MakeCSVLine(ConceptItem(child), false),
              columns1to6 + "\"" + Identifier(parent) + "\"");
    EXPECT_EQ(exporter.MakeCSVLine(ConceptItem(child), true), columns1to6 + "\"(NULL)\"");

    // No labels: an empty fourth field. The top concept has no parent, chosen or not.
    const std::int32_t bare = store.AppendConcept("A\"B", parent, "");
    const std::string line = exporter.MakeCSVLine(ConceptItem(bare), false);
    EXPECT_EQ(line.substr(0, 6), "\"A\"\"B\"");
    EXPECT_NE(line.find(",\"\",\"\",\"\",\""), std::string::npos) << line;
    const std::string topLine = exporter.MakeCSVLine(ConceptItem(top), false);
    EXPECT_EQ(topLine.substr(topLine.size() - 9), ",\"(NULL)\"");
}

TEST_F(CsvExport, ParentColumnIsEmptyWhenTheParentRecordIsMissing) {
    const std::int32_t orphan = Add("orphan", top);
    store.DtStOriginalConcepts.Edit();
    store.DtStOriginalConcepts.FieldByName("PARENT_NO").SetAsInteger(999);
    store.DtStOriginalConcepts.Post();
    const std::string line = exporter.MakeCSVLine(ConceptItem(orphan), false);
    EXPECT_EQ(line.substr(line.size() - 3), ",\"\"");
}

TEST_F(CsvExport, WalkIsDepthFirstInListOrderAndWritesEachConceptOnceAtItsFirstPlace) {
    // top ─ a ─ a1
    //     │   └ [image of b]      (b reached first here, with its own subtree)
    //     ├ b ─ b1
    //     └ c ─ [image of a1]     (already written)
    //         └ c1
    // d under x outside the export, shown under c by an image: its own parent is named.
    const std::int32_t a = Named("a", top, 1);
    const std::int32_t b = Named("b", top, 2);
    const std::int32_t c = Named("c", top, 3);
    const std::int32_t x = Named("x", top, 4);
    const std::int32_t a1 = Named("a1", a, 1);
    Image(a, b, 1, 2);
    Named("b1", b, 1);
    Image(c, a1, 1, 1);
    Named("c1", c, 2);
    const std::int32_t d = Named("d", x, 1);
    Image(c, d, 5, 3);  // any relation leads on

    EXPECT_EQ(Walk({top}), (std::vector<std::string>{"top>(NULL)", "a>top", "a1>a", "b>top", "b1>b",
                                                     "c>top", "c1>c", "d>x", "x>top"}));
    EXPECT_EQ(Walk({c}), (std::vector<std::string>{"c>(NULL)", "a1>a", "c1>c", "d>x"}));
}

TEST_F(CsvExport, ChosenAncestorAndDescendantInEitherOrder) {
    const std::int32_t a = Named("a", top, 1);
    const std::int32_t b = Named("b", a, 1);
    Named("b1", b, 1);
    Named("a2", a, 2);
    struct TCase {
        std::vector<std::int32_t> Chosen;
        std::vector<std::string> Written;
    };
    const std::vector<TCase> cases = {
        {{a, b}, {"a>(NULL)", "b>a", "b1>b", "a2>a"}},
        {{b, a}, {"b>(NULL)", "b1>b", "a>(NULL)", "a2>a"}},
        {{b, b}, {"b>(NULL)", "b1>b"}},
    };
    for (const TCase& testCase : cases) {
        const std::vector<std::string> written =
            testCase.Chosen.size() == 2 ? Walk({testCase.Chosen[0], testCase.Chosen[1]})
                                        : Walk({testCase.Chosen[0]});
        EXPECT_EQ(written, testCase.Written) << testCase.Chosen[0];
    }
}

TEST_F(CsvExport, ChosenMirrorImageLeadsToTheConceptItShows) {
    const std::int32_t a = Named("a", top, 1);
    const std::int32_t b = Named("b", top, 2);
    Named("b1", b, 1);
    const std::int32_t link = Image(a, b, 1, 1);
    TExportLines lines;
    exporter.AppendSubtree(MirrorItem(link, b), lines, true);
    ASSERT_EQ(lines.Count(), 2);
    EXPECT_EQ(lines.Line(0), exporter.MakeCSVLine(ConceptItem(b), true));
    EXPECT_TRUE(lines.Item(0).IsLink());
}

TEST_F(CsvExport, DeepChainIsWalkedWithoutExhaustingTheStack) {
    std::int32_t parent = top;
    constexpr int kDepth = 30'000;
    for (int i = 0; i < kDepth; ++i) {
        parent = store.AppendConcept("n", parent, "");
    }
    TExportLines lines;
    exporter.AppendSubtree(ConceptItem(top), lines, true);
    ASSERT_EQ(lines.Count(), kDepth + 1);
    EXPECT_EQ(lines.Item(kDepth).ConceptNo(), parent);
}

// The walk reads the tables once and takes well-numbered levels from what it read; this checks
// it against the plain walk through the seeker, record by record, on random hierarchies whose
// levels are numbered in every way the program meets (in order, 10000, 0, gaps, repeats).
TEST_F(CsvExport, WalkMatchesTheWalkThroughTheSeekerOnRandomHierarchies) {
    const unsigned seed = ::testing::UnitTest::GetInstance()->random_seed();
    std::mt19937 rng(seed);
    std::vector<std::int32_t> numbers{top};
    std::vector<std::int32_t> childCount(400, 0);
    const auto order = [&](std::int32_t parent) -> std::int32_t {
        switch (rng() % 8) {
            case 0:
                return 10000;
            case 1:
                return 0;
            case 2:
                return static_cast<std::int32_t>(rng() % 5);
            default:
                return ++childCount[static_cast<std::size_t>(parent)];
        }
    };
    for (int i = 0; i < 150; ++i) {
        const std::int32_t parent = numbers[rng() % numbers.size()];
        const std::int32_t no = store.AppendConcept(
            "c" + std::to_string(i), parent, rng() % 3 ? "l" + std::to_string(rng() % 40) : "");
        if (rng() % 4 == 0) {
            store.AddTermToConcept(no, "m" + std::to_string(rng() % 10));
        }
        store.DtStOriginalConcepts.Locate("RECORD_NO", TValue(no));
        store.DtStOriginalConcepts.Edit();
        store.DtStOriginalConcepts.FieldByName("LIST_ORDER").SetAsInteger(order(parent));
        store.DtStOriginalConcepts.Post();
        numbers.push_back(no);
    }
    for (int i = 0; i < 40; ++i) {
        const std::int32_t from = numbers[rng() % numbers.size()];
        const std::int32_t to = numbers[rng() % numbers.size()];
        Image(from, to, 1 + static_cast<std::int32_t>(rng() % 3),
              rng() % 4 ? TValue(order(from)) : TValue{});
    }

    // The walk as written down: depth first through the seeker's children answers.
    TExportLines expected;
    std::function<void(const TConceptData&, bool)> walk = [&](const TConceptData& c, bool chosen) {
        if (expected.Contains(c.ConceptNo())) {
            return;
        }
        expected.Add(exporter.MakeCSVLine(c, chosen), c);
        seeker.SetSeekMode(engine::smChildren);
        seeker.SetSeekNo(c.ConceptNo());
        TConceptList children;
        children.Assign(seeker.GetItems());
        for (int i = 0; i < children.Count(); ++i) {
            walk(children[i], false);
        }
    };
    const std::vector<std::int32_t> chosen = {numbers[rng() % numbers.size()],
                                              numbers[rng() % numbers.size()], top};
    for (const std::int32_t no : chosen) {
        walk(ConceptItem(no), true);
    }
    exporter.OpenExportCursors();
    TExportLines lines;
    for (const std::int32_t no : chosen) {
        exporter.AppendSubtree(ConceptItem(no), lines, true);
    }
    EXPECT_EQ(lines.FileText(), expected.FileText()) << "seed " << seed;
    ASSERT_EQ(lines.Count(), expected.Count()) << "seed " << seed;
    for (int i = 0; i < lines.Count(); ++i) {
        EXPECT_EQ(lines.Item(i).IsLink(), expected.Item(i).IsLink()) << i << " seed " << seed;
        EXPECT_EQ(lines.Item(i).LinkNo, expected.Item(i).LinkNo) << i << " seed " << seed;
    }
}

TEST_F(CsvExport, ConfirmationNamesTheFirstEntryAndHowManyThereAre) {
    const std::string intro =
        "　選択された以下の概念とその下位概念を, Microsoft EXCELで処理可能な\r\n"
        "CSV(Comma Separated Value)形式でファイルに出力します.\r\n\r\n概念 \"";
    TConceptList one;
    one.AddNew().SetTitle(Utf8ToCp932("食品"));
    EXPECT_EQ(ExportConfirmationText(one), intro + "食品\"とその下位概念.");
    TConceptList three;
    for (const char* title : {"果物", "野菜", "肉"}) {
        three.AddNew().SetTitle(Utf8ToCp932(title));
    }
    EXPECT_EQ(ExportConfirmationText(three), intro + "果物\" を含む3項目とその下位概念.");
}

TEST_F(CsvExport, ProposedFileNameFollowsDialogThenFileThenTitle) {
    store::TOntology titled;
    titled.SetTitle(Utf8ToCp932("食品オントロジー"));
    store::TOntology saved;
    saved.SetTitle("t");
    saved.SetFileName("/home/u/food.v2.ont");
    struct TCase {
        std::string Dialog;
        const store::TOntology* Ontology;
        std::string Proposed;
    };
    const std::vector<TCase> cases = {
        {"", &titled, "食品オントロジー.csv"},
        {"", &saved, "/home/u/food.v2.csv"},
        {"/tmp/earlier.txt", &saved, "/tmp/earlier.csv"},
        {"/tmp/a.b/noext", &titled, "/tmp/a.b/noext.csv"},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(DefaultExportFileName(c.Dialog, *c.Ontology), c.Proposed) << c.Dialog;
    }
}

TEST_F(CsvExport, ExportWritesHeaderAndLinesEachEndingInCrLf) {
    const std::int32_t a = store.AppendConcept("a", top, "a");
    store::TOntology ontology;
    ontology.SetFileName(Path("onto.ont"));
    std::ofstream(Path("onto.csv")) << "old contents that are longer than the new file";
    std::vector<std::string> proposed;
    const auto choose = [&](const TSaveFileRequest& request) -> std::optional<std::string> {
        proposed.push_back(request.FileName);
        EXPECT_EQ(request.DefaultExt, "csv");
        return request.FileName;
    };
    questions.Answers = {store::TAnswer::Ok};
    EXPECT_EQ(exporter.ExportCSV(Items({top}), ontology, questions, choose), 2);

    ASSERT_EQ(questions.Asked.size(), 1u);
    EXPECT_EQ(questions.Asked[0].Kind, store::TMessageKind::Information);
    EXPECT_EQ(questions.Asked[0].Buttons, store::TButtons::OkCancel);
    EXPECT_EQ(proposed, std::vector<std::string>{Path("onto.csv")});
    EXPECT_EQ(ReadBytes(Path("onto.csv")),
              CsvHeaderLine() + "\r\n" + exporter.MakeCSVLine(ConceptItem(top), true) + "\r\n" +
                  exporter.MakeCSVLine(ConceptItem(a), false) + "\r\n");
    EXPECT_EQ(DirectoryEntries(), std::vector<std::string>{"onto.csv"});
}

TEST_F(CsvExport, CancellingOrAnEmptyListWritesNothing) {
    store::TOntology ontology;
    ontology.SetTitle("t");
    int chosen = 0;
    const auto cancelDialog = [&](const TSaveFileRequest&) -> std::optional<std::string> {
        ++chosen;
        return std::nullopt;
    };
    const auto pick = [&](const TSaveFileRequest&) -> std::optional<std::string> {
        ++chosen;
        return Path("out.csv");
    };

    questions.Answers = {store::TAnswer::Cancel};
    EXPECT_EQ(exporter.ExportCSV(Items({top}), ontology, questions, pick), std::nullopt);
    EXPECT_EQ(chosen, 0);
    questions.Answers = {store::TAnswer::Ok};
    EXPECT_EQ(exporter.ExportCSV(Items({top}), ontology, questions, cancelDialog), std::nullopt);
    EXPECT_EQ(chosen, 1);
    EXPECT_EQ(exporter.ExportCSV(TConceptList(), ontology, questions, pick), 0);
    EXPECT_EQ(questions.Asked.size(), 2u);
    EXPECT_TRUE(DirectoryEntries().empty());
}

TEST_F(CsvExport, MissingConceptRaisesUnableToFindAndWritesNoFile) {
    const std::int32_t a = Add("a", top);
    // A chosen number that is no concept, after a good one.
    EXPECT_THROW(exporter.WriteCSV(Items({a, 4343}), Path("out.csv")), store::EUnableToFind);
    // A mirror image deep in the walk whose concept is gone.
    Image(a, 4242);
    EXPECT_THROW(exporter.WriteCSV(Items({top}), Path("out.csv")), store::EUnableToFind);
    EXPECT_TRUE(DirectoryEntries().empty());
}

TEST_F(CsvExport, FailingFileSystemLeavesThePreviousFileAndNoTemporary) {
    Add("a", top);
    const std::string previous = "previous";
    std::ofstream(Path("out.csv")) << previous;
    for (int failAt = 1;; ++failAt) {
        store::TFaultyFileSystem faulty(store::RealFileSystem(), failAt);
        exporter.SetFileSystem(faulty);
        try {
            exporter.WriteCSV(Items({top}), Path("out.csv"));
        } catch (const store::EVelmoraError&) {
        }
        if (!faulty.Failed()) {
            break;
        }
        // The previous file, or the whole new one when only the folder sync after putting it
        // in place failed; never a part of either.
        const std::string now = ReadBytes(Path("out.csv"));
        if (now != previous) {
            EXPECT_EQ(now.substr(0, CsvHeaderLine().size()), CsvHeaderLine()) << failAt;
            EXPECT_EQ(now.substr(now.size() - 2), "\r\n") << failAt;
        }
        EXPECT_EQ(DirectoryEntries(), std::vector<std::string>{"out.csv"}) << failAt;
    }
    EXPECT_EQ(ReadBytes(Path("out.csv")).substr(0, CsvHeaderLine().size()), CsvHeaderLine());
}

}  // namespace
}  // namespace velmora::exchange
