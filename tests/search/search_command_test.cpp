// velmora-cli search on a small file built in code: the lines, the fields, the folding option,
// --all, the exit statuses and the command-line errors.
#include <gtest/gtest.h>

#include <filesystem>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

#include "cli.h"
#include "code_page.h"
#include "data_module.h"
#include "ontology.h"
#include "ontology_tables.h"
#include "search_fixture.h"

namespace velmora::search {
namespace {

using testing::Moment;
using testing::Sjis;

struct TRun {
    int Status = -1;
    std::string Out;
    std::string Err;
};

TRun RunCommand(std::initializer_list<std::string> words) {
    std::ostringstream out;
    std::ostringstream err;
    const std::vector<std::string> args(words);
    TRun run;
    run.Status = cli::RunCli(args, out, err);
    run.Out = out.str();
    run.Err = err.str();
    return run;
}

class SearchCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_file =
            (std::filesystem::path(::testing::TempDir()) / "velmora_search_command.ont").string();
        testing::TSearchStore data;
        data.AddConcept(
            {Sjis("果物"), Sjis("甘い"), "", Sjis("山田"), Moment(2, 10, 5, 6), Moment(3, 0)});
        const std::int32_t grape = data.AddConcept(
            {Sjis("ぶどう"), "", Sjis("果物の一種"), Sjis("佐藤"), Moment(4, 9), Moment(5, 9)});
        data.AddLabel(grape, "グレープ");
        data.AddConcept({"XABY", "", "", Sjis("山田"), Moment(6, 9), Moment(6, 9)});
        store::TTable& concepts = data.Store.DtStOriginalConcepts;
        for (concepts.First(); !concepts.Eof(); concepts.Next()) {
            m_identifiers.push_back(
                store::Cp932ToUtf8(concepts.FieldByName(store::kFieldIdentifier).AsString()));
        }
        for (store::TTable* table : data.Store.Tables()) {
            table->MergeChangeLog();
        }
        store::TOntology ontology;
        ontology.SetFileName(m_file);
        data.Store.WriteOntologyFile(ontology, m_file);
    }
    void TearDown() override { std::filesystem::remove(m_file); }

    std::string m_file;
    std::vector<std::string> m_identifiers;  // UTF-8, by record number - 1
};

TEST_F(SearchCommandTest, OneLinePerHitInRecordOrder) {
    const TRun run =
        RunCommand({"search", m_file, "果物", "--field", "title", "--field", "comment"});
    EXPECT_EQ(run.Status, 0) << run.Err;
    ASSERT_EQ(m_identifiers.size(), 3U);
    EXPECT_EQ(run.Out, "1\t" + m_identifiers[0] +
                           "\t果物\t2024/04/02 10:05:06\t2024/04/03 00:00:00\t山田\n"
                           "2\t" +
                           m_identifiers[1] +
                           "\tぶどう\t2024/04/04 09:00:00\t2024/04/05 09:00:00\t佐藤\n");
    EXPECT_NE(m_identifiers[0].find("果物"), std::string::npos);
}

TEST_F(SearchCommandTest, FieldsFoldingAndTheExitStatus) {
    struct TCase {
        std::vector<std::string> extra;
        int status;
        std::string firstColumn;  // the record numbers found, one per line
    };
    const TCase cases[] = {
        {{"search", "", "ab"}, 1, ""},    // title only; XABY is not ab
        {{"search", "", "XAB"}, 0, "3"},  // title is the default field
        {{"search", "", "山田"}, 1, ""},  // not in a title
        {{"search", "", "山田", "--field", "editor"}, 0, "1 3"},
        {{"search", "", "甘", "--field", "description"}, 0, "1"},
        {{"search", "", "グレー", "--field", "label"}, 0, "2"},
        {{"search", "", "ﾌﾞﾄﾞｳ"}, 1, ""},
        {{"search", "", "ﾌﾞﾄﾞｳ", "--fuzzy"}, 0, "2"},
        {{"search", "", "--all"}, 0, "1 2 3"},
    };
    for (const TCase& c : cases) {
        std::vector<std::string> args = c.extra;
        args[1] = m_file;
        std::ostringstream out;
        std::ostringstream err;
        const int status = cli::RunCli(args, out, err);
        std::string numbers;
        std::istringstream lines(out.str());
        for (std::string line; std::getline(lines, line);) {
            numbers += (numbers.empty() ? "" : " ") + line.substr(0, line.find('\t'));
        }
        EXPECT_EQ(status, c.status) << args[2] << " " << err.str();
        EXPECT_EQ(numbers, c.firstColumn) << args[2];
    }
}

TEST_F(SearchCommandTest, WrongCommandLinesAreUsageErrors) {
    const std::vector<std::vector<std::string>> wrong = {
        {"search", m_file},
        {"search", m_file, ""},
        {"search", m_file, "a", "--field", "body"},
        {"search", m_file, "a", "--all"},
        {"search", m_file, "--all", "--fuzzy"},
    };
    for (const auto& args : wrong) {
        std::ostringstream out;
        std::ostringstream err;
        EXPECT_EQ(cli::RunCli(args, out, err), 2) << args.size() << " " << out.str();
        EXPECT_NE(err.str().find("velmora-cli help search"), std::string::npos) << err.str();
    }
    const TRun missing = RunCommand({"search", m_file + ".none", "a"});
    EXPECT_EQ(missing.Status, 1);
    EXPECT_FALSE(missing.Err.empty());
    EXPECT_NE(RunCommand({"help"}).Out.find("search"), std::string::npos);
    EXPECT_NE(RunCommand({"search", "--help"}).Out.find("--fuzzy"), std::string::npos);
}

}  // namespace
}  // namespace velmora::search
