#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "cli_fixture.h"

namespace velmora::cli::testing {
namespace {

class CsvImportCommandTest : public TScratchTest {
protected:
    void SetUp() override {
        TScratchTest::SetUp();
        ont = Path("o.ont");
        // Concept 1 is the top concept 動物, concept 2 its child 哺乳類.
        ASSERT_EQ(RunCommand({"new", ont, "--target", "動物", "--sub", "哺乳類"}).Status, 0);
    }

    std::string WriteCsv(const std::string& name, const std::string& bytes) {
        std::ofstream(Path(name), std::ios::binary) << bytes;
        return Path(name);
    }

    // TITLE and PARENT_NO of every concept, in number order.
    std::vector<std::pair<std::string, std::int32_t>> Concepts() {
        TSession s;
        s.Load(ont);
        std::vector<std::pair<std::string, std::int32_t>> out;
        store::TTable& c = s.Store.DtStOriginalConcepts;
        for (c.First(); !c.Eof(); c.Next()) {
            out.emplace_back(store::Cp932ToUtf8(c.FieldByName("TITLE").AsString()),
                             c.FieldByName("PARENT_NO").AsInteger());
        }
        return out;
    }

    std::string ont;
};

const std::string kExported = Sjis(
    "\"<タイトル>\",\"<解説>\",\"<コメント>\",\"<言語ラベル>\",\"<最終更新者>\",\"<概念識別子>\","
    "\"<上位概念>\"\r\n"
    "\"植物\",\"\",\"\",\"植物\",\"佐藤\",\"@AAAAAAA%植物\",\"(NULL)\"\r\n"
    "\"木, \"\"高い\"\"\",\"\",\"\",\"木\r\ntree\",\"佐藤\",\"@BAAAAAA%木\",\"@AAAAAAA%植物\"\r\n");

TEST_F(CsvImportCommandTest, ReplaceWithAnExportedFileRecognisesItsHeader) {
    const std::string csv = WriteCsv("in.csv", kExported);
    const TRun run = RunCommand({"import-csv", ont, csv, "--replace"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_NE(run.Out.find("created 2 concept(s) (#3 to #4) in place of all concepts"),
              std::string::npos)
        << run.Out;
    EXPECT_NE(run.Out.find("top concept #3 「植物」"), std::string::npos) << run.Out;
    EXPECT_NE(run.Out.find("3 new label(s)"), std::string::npos) << run.Out;
    EXPECT_TRUE(std::filesystem::exists(Path("バックアップ-o.ont")));
    using C = std::vector<std::pair<std::string, std::int32_t>>;
    EXPECT_EQ(Concepts(), (C{{"植物", 0}, {"木, \"高い\"", 3}}));
}

TEST_F(CsvImportCommandTest, MapAssignsOnlyTheNamedFields) {
    const std::string csv = WriteCsv("in.csv", Sjis("名前,ラベル\r\n猫,ねこ|cat\r\n犬,いぬ\r\n"));
    const TRun run = RunCommand({"import-csv", ont, csv, "--under", "2", "--map", "title=1",
                                 "--map", "labels=2", "--separator", "|", "--skip-header"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_NE(run.Out.find("created 2 concept(s) (#3 to #4) under #2 「哺乳類」, 2 at the top"),
              std::string::npos)
        << run.Out;
    EXPECT_NE(run.Out.find("3 new label(s), 3 association(s)"), std::string::npos) << run.Out;
    using C = std::vector<std::pair<std::string, std::int32_t>>;
    EXPECT_EQ(Concepts(), (C{{"動物", 0}, {"哺乳類", 1}, {"猫", 2}, {"犬", 2}}));
}

TEST_F(CsvImportCommandTest, RefusalsLeaveTheFileAlone) {
    const std::string before = ReadBytes(ont);
    struct TCase {
        const char* Name;
        std::string Csv;
        std::vector<std::string> Options;
        std::string Message;  // on stderr
    };
    const std::vector<TCase> cases = {
        {"several tops",
         Sjis("a,1,x\r\nb,2,y\r\n"),
         {"--replace", "--map", "title=1", "--map", "id=2", "--map", "parent=3"},
         "最上位概念が複数ありますが"},
        {"cycle",
         Sjis("a,1,2\r\nb,2,1\r\n"),
         {"--under", "1", "--map", "title=1", "--map", "id=2", "--map", "parent=3"},
         "概念識別子「1」"},
        {"replace without hierarchy", Sjis("a\r\n"), {"--replace"}, "階層化されている必要"},
        {"beside the top concept", Sjis("a\r\n"), {"--beside", "1"}, "is the top concept"},
        {"no such concept", Sjis("a\r\n"), {"--under", "99"}, "there is no concept 99"},
        {"column beyond the file",
         Sjis("a\r\n"),
         {"--under", "1", "--map", "title=3"},
         "beyond the 1 column(s)"},
        {"invalid bytes", "a\r\nb\xFF\r\n", {"--under", "1"}, " 2 行目"},
        {"zero byte", std::string("a\r\nb\0\r\n", 6), {"--under", "1"}, " 2 行目"},
        {"empty file", "", {"--under", "1", "--map", "title=1"}, "データがありません"},
        {"unclosed quote", "a\r\n\"b,c\r\nd\r\n", {"--under", "1"}, " 2 行目の引用符"},
        {"text after a quote", "a\r\nb\r\n\"c\"d\r\n", {"--under", "1"}, " 3 行目の引用符"},
    };
    for (const TCase& c : cases) {
        const std::string csv = WriteCsv("bad.csv", c.Csv);
        std::vector<std::string> words = {"import-csv", ont, csv};
        words.insert(words.end(), c.Options.begin(), c.Options.end());
        std::ostringstream out;
        std::ostringstream err;
        EXPECT_EQ(RunCli(words, out, err), kExitFailure) << c.Name;
        EXPECT_NE(err.str().find(c.Message), std::string::npos) << c.Name << ": " << err.str();
        EXPECT_EQ(ReadBytes(ont), before) << c.Name;
    }
    EXPECT_FALSE(std::filesystem::exists(Path("バックアップ-o.ont")));
}

TEST_F(CsvImportCommandTest, KeepInvalidImportsTheBytesAsTheyAre) {
    const std::string csv = WriteCsv("in.csv", "ok\r\nb\xFF\r\n");
    const TRun run = RunCommand({"import-csv", ont, csv, "--under", "1", "--keep-invalid"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    TSession s;
    s.Load(ont);
    ASSERT_TRUE(s.Store.DtStOriginalConcepts.Locate("RECORD_NO", store::TValue(4)));
    EXPECT_EQ(s.Store.DtStOriginalConcepts.FieldByName("TITLE").AsString(), "b\xFF");
}

TEST_F(CsvImportCommandTest, Utf8FilesAreConvertedAndUserNamesTheEditor) {
    const std::string csv = WriteCsv("in.csv", "\xEF\xBB\xBF鳥,とり\r\n魚,\xF0\x9F\x90\x9F\r\n");
    const TRun run = RunCommand({"import-csv", ont, csv, "--under", "1", "--map", "title=1",
                                 "--map", "labels=2", "--user", "花子"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_NE(run.Out.find("read " + csv + " as utf-8; 1 character(s)"), std::string::npos)
        << run.Out;
    using C = std::vector<std::pair<std::string, std::int32_t>>;
    EXPECT_EQ(Concepts(), (C{{"動物", 0}, {"哺乳類", 1}, {"鳥", 1}, {"魚", 1}}));
    TSession s;
    s.Load(ont);
    ASSERT_TRUE(s.Store.DtStOriginalConcepts.Locate("RECORD_NO", store::TValue(3)));
    EXPECT_EQ(s.Store.DtStOriginalConcepts.FieldByName("EDITOR").AsString(), Sjis("花子"));
    EXPECT_TRUE(s.Store.DtStOriginalTerms.Locate("TERM_STRING", store::TValue("?")));

    // Told cp932, the same UTF-8 bytes are unreadable there and refused.
    const std::string plain = WriteCsv("plain.csv", "あ\r\n");
    const TRun told = RunCommand({"import-csv", ont, plain, "--under", "1", "--encoding", "cp932"});
    EXPECT_EQ(told.Status, kExitFailure);
    EXPECT_NE(told.Err.find(" 1 行目"), std::string::npos) << told.Err;
}

TEST_F(CsvImportCommandTest, WrongCommandLinesAreUsageErrors) {
    const std::string csv = WriteCsv("in.csv", "a\r\n");
    for (const std::vector<std::string>& words : std::vector<std::vector<std::string>>{
             {"import-csv", ont, csv},
             {"import-csv", ont, csv, "--under", "1", "--replace"},
             {"import-csv", ont, csv, "--under", "1", "--map", "colour=1"},
             {"import-csv", ont, csv, "--under", "1", "--map", "title=x"},
             {"import-csv", ont, "--under", "1"},
             {"import-csv", ont, csv, "--under", "1", "--encoding", "latin1"},
         }) {
        std::ostringstream out;
        std::ostringstream err;
        EXPECT_EQ(RunCli(words, out, err), kExitUsage) << err.str();
    }
}

}  // namespace
}  // namespace velmora::cli::testing
