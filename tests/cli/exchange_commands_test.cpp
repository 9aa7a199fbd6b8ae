// export-csv and import-text through RunCli: which concepts are exported and what is refused,
// where imported lines land for each kind of current item, the save with its backup, and the
// two answers to unreadable bytes.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cli_fixture.h"
#include "code_page.h"

namespace velmora::cli {
namespace {

using testing::ReadBytes;
using testing::RunCommand;
using testing::Sjis;
using testing::TRun;
using testing::TSession;

class ExchangeCommands : public testing::TScratchTest {
protected:
    // 食品 (1) ─ 果物 (2) ─ りんご (4)
    //          └ 野菜 (3) ─ [mirror image 1 of 果物]
    void SetUp() override {
        TScratchTest::SetUp();
        TSession s;
        s.Ontology.SetTitle(Sjis("食品オントロジー"));
        s.Store.BuildNewOntology(Sjis("食品"),
                                 std::vector<std::string>{Sjis("果物"), Sjis("野菜")});
        s.Store.AppendConcept(Sjis("りんご"), 2, Sjis("りんご"));
        mirror = s.AddLink(3, 2, 1);
        s.Save(Path("food.ont"));
        ont = Path("food.ont");
    }

    // The first column of every line after the header, as UTF-8.
    std::vector<std::string> CsvTitles(const std::string& path) {
        std::vector<std::string> titles;
        const std::string bytes = ReadBytes(path);
        std::size_t at = bytes.find("\r\n") + 2;
        while (at < bytes.size()) {
            const std::size_t end = bytes.find("\r\n", at);
            const std::string line = bytes.substr(at, end - at);
            titles.push_back(store::Cp932ToUtf8(line.substr(1, line.find("\",") - 1)));
            at = end + 2;
        }
        return titles;
    }
    // Titles and parents of the concepts in the file, from number `from` on.
    std::vector<std::pair<std::string, std::int32_t>> ConceptsFrom(std::int32_t from) {
        TSession s;
        s.Load(ont);
        std::vector<std::pair<std::string, std::int32_t>> out;
        store::TTable& c = s.Store.DtStOriginalConcepts;
        for (c.First(); !c.Eof(); c.Next()) {
            if (c.FieldByName("RECORD_NO").AsInteger() >= from) {
                out.emplace_back(store::Cp932ToUtf8(c.FieldByName("TITLE").AsString()),
                                 c.FieldByName("PARENT_NO").AsInteger());
            }
        }
        return out;
    }

    std::string ont;
    std::int32_t mirror = 0;
};

TEST_F(ExchangeCommands, ExportWritesTheTopConceptsHierarchyOrTheChosenConcepts) {
    const TRun all = RunCommand({"export-csv", ont, Path("all.csv")});
    ASSERT_EQ(all.Status, kExitOk) << all.Err;
    EXPECT_EQ(all.Out,
              "export-csv: wrote " + Path("all.csv") + " (4 concepts from 1 starting point)\n");
    const std::string bytes = ReadBytes(Path("all.csv"));
    EXPECT_EQ(bytes.substr(0, bytes.find("\r\n")), Sjis("\"<タイトル>\",\"<解説>\",\"<コメント>\","
                                                        "\"<言語ラベル>\",\"<最終更新者>\","
                                                        "\"<概念識別子>\",\"<上位概念>\""));
    EXPECT_EQ(CsvTitles(Path("all.csv")),
              (std::vector<std::string>{"食品", "果物", "りんご", "野菜"}));

    const TRun chosen =
        RunCommand({"export-csv", ont, Path("some.csv"), "--concept", "3", "--concept", "4"});
    ASSERT_EQ(chosen.Status, kExitOk) << chosen.Err;
    // 野菜 leads through its mirror image to 果物 and on to りんご, which is not written twice.
    EXPECT_EQ(CsvTitles(Path("some.csv")), (std::vector<std::string>{"野菜", "果物", "りんご"}));
}

TEST_F(ExchangeCommands, ExportRefusesMissingConceptsAndExistingFilesWithoutForce) {
    const TRun missing = RunCommand({"export-csv", ont, Path("x.csv"), "--concept", "99"});
    EXPECT_EQ(missing.Status, kExitFailure);
    EXPECT_NE(missing.Err.find("レコード番号：99"), std::string::npos) << missing.Err;
    EXPECT_FALSE(std::filesystem::exists(Path("x.csv")));

    std::ofstream(Path("x.csv")) << "keep";
    EXPECT_EQ(RunCommand({"export-csv", ont, Path("x.csv")}).Status, kExitFailure);
    EXPECT_EQ(ReadBytes(Path("x.csv")), "keep");
    EXPECT_EQ(RunCommand({"export-csv", ont, Path("x.csv"), "--force"}).Status, kExitOk);
    EXPECT_EQ(CsvTitles(Path("x.csv")).size(), 4u);

    EXPECT_EQ(RunCommand({"export-csv", ont, Path("y.csv"), "--concept", "0"}).Status, kExitUsage);
}

TEST_F(ExchangeCommands, ImportPlacesLinesBesideTheCurrentItemAndSavesWithABackup) {
    struct TCase {
        std::vector<std::string> Where;
        std::int32_t Parent;
    };
    const std::vector<TCase> cases = {
        {{"--beside", "1"}, 1},  // the top concept: under itself
        {{"--beside", "4"}, 2},  // beside りんご, under 果物
        {{"--mirror", "0"}, 3},  // the mirror image of 果物 under 野菜 (number set below)
    };
    std::int32_t next = 5;
    for (const TCase& c : cases) {
        std::ofstream(Path("in.txt"), std::ios::binary) << Sjis("梨\r\n\r\n 　\nみかん");
        const std::string before = ReadBytes(ont);
        const std::string where = c.Where[0] == "--mirror" ? std::to_string(mirror) : c.Where[1];
        const TRun run = RunCommand({"import-text", ont, Path("in.txt"), c.Where[0], where});
        ASSERT_EQ(run.Status, kExitOk) << run.Err;
        EXPECT_NE(run.Out.find("created #" + std::to_string(next) + " 「梨」"), std::string::npos)
            << run.Out;
        EXPECT_EQ(ConceptsFrom(next), (std::vector<std::pair<std::string, std::int32_t>>{
                                          {"梨", c.Parent}, {"みかん", c.Parent}}))
            << c.Where[0] << " " << where;
        EXPECT_EQ(ReadBytes(Path("バックアップ-food.ont")), before);
        next += 2;
    }
}

TEST_F(ExchangeCommands, ImportStopsAtUnreadableBytesUnlessToldToKeepThem) {
    std::ofstream(Path("in.txt"), std::ios::binary) << "ok\n\xFF\xFE\n";
    const std::string before = ReadBytes(ont);
    const TRun stopped = RunCommand({"import-text", ont, Path("in.txt"), "--beside", "2"});
    EXPECT_EQ(stopped.Status, kExitFailure);
    EXPECT_NE(stopped.Err.find("line 2 "), std::string::npos) << stopped.Err;
    EXPECT_EQ(ReadBytes(ont), before);
    EXPECT_FALSE(std::filesystem::exists(Path("バックアップ-food.ont")));

    const TRun kept =
        RunCommand({"import-text", ont, Path("in.txt"), "--beside", "2", "--keep-invalid"});
    ASSERT_EQ(kept.Status, kExitOk) << kept.Err;
    EXPECT_NE(kept.Err.find("line 2"), std::string::npos) << kept.Err;
    TSession s;
    s.Load(ont);
    EXPECT_EQ(s.Field(s.Store.DtStOriginalConcepts, "RECORD_NO", 6, "TITLE"),
              store::TValue(std::string("\xFF\xFE")));
}

TEST_F(ExchangeCommands, ImportReadsUtf8AndTheEncodingCanBeNamed) {
    std::ofstream(Path("in.txt"), std::ios::binary) << "梨\nみかん\n";
    const TRun run = RunCommand({"import-text", ont, Path("in.txt"), "--beside", "2"});
    ASSERT_EQ(run.Status, kExitOk) << run.Err;
    EXPECT_NE(run.Out.find("as utf-8"), std::string::npos) << run.Out;
    EXPECT_NE(run.Out.find("「梨」"), std::string::npos) << run.Out;
    EXPECT_NE(run.Out.find("「みかん」"), std::string::npos) << run.Out;

    // Told cp932, the bytes of あ are not a code page 932 text.
    std::ofstream(Path("a.txt"), std::ios::binary) << "あ\n";
    const TRun told =
        RunCommand({"import-text", ont, Path("a.txt"), "--beside", "2", "--encoding", "cp932"});
    EXPECT_EQ(told.Status, kExitFailure);
    EXPECT_EQ(
        RunCommand({"import-text", ont, Path("a.txt"), "--beside", "2", "--encoding", "x"}).Status,
        kExitUsage);
}

TEST_F(ExchangeCommands, ImportNeedsExactlyOneCurrentItem) {
    std::ofstream(Path("in.txt")) << "a";
    const std::vector<std::vector<std::string>> lines = {
        {"import-text", ont, Path("in.txt")},
        {"import-text", ont, Path("in.txt"), "--beside", "1", "--mirror", "1"},
        {"import-text", ont, Path("in.txt"), "--beside", "x"},
    };
    for (const std::vector<std::string>& line : lines) {
        std::ostringstream out;
        std::ostringstream err;
        EXPECT_EQ(RunCli(line, out, err), kExitUsage) << err.str();
    }
    // A current item that is not there: the store's error, nothing saved.
    const TRun gone = RunCommand({"import-text", ont, Path("in.txt"), "--mirror", "77"});
    EXPECT_EQ(gone.Status, kExitFailure);
    EXPECT_NE(gone.Err.find("DATA ERROR"), std::string::npos) << gone.Err;
    EXPECT_FALSE(std::filesystem::exists(Path("バックアップ-food.ont")));
}

}  // namespace
}  // namespace velmora::cli

namespace velmora::cli {
namespace {

TEST_F(ExchangeCommands, ExportDocxWritesAWordPackageAndRefusesToOverwriteWithoutForce) {
    const std::string out = Path("out.docx");
    const TRun run = RunCommand({"export-docx", ont, out});
    ASSERT_EQ(run.Status, kExitOk) << run.Err;
    EXPECT_EQ(testing::ReadBytes(out).substr(0, 2), "PK");       // a zip container
    EXPECT_NE(run.Err.find("export-docx:"), std::string::npos);  // progress on stderr
    EXPECT_EQ(RunCommand({"export-docx", ont, out}).Status, kExitFailure);
    EXPECT_EQ(RunCommand({"export-docx", ont, out, "--force"}).Status, kExitOk);
    EXPECT_EQ(RunCommand({"export-docx", Path("missing.ont"), Path("x.docx")}).Status,
              kExitFailure);
    EXPECT_EQ(RunCommand({"export-docx", ont}).Status, kExitUsage);
}

}  // namespace
}  // namespace velmora::cli
