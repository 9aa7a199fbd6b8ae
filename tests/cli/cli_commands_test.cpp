// The commands of velmora-cli through RunCli, as a user or a script calls them: wrong command
// lines, `new` against what the wizard builds, overwriting and backups of `new`, `copy` and
// `resave`, the store's messages for files that cannot be read, and text that does not survive
// the code page.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "cli_fixture.h"
#include "ontology_report.h"
#include "velmora_version.h"

namespace velmora::cli {
namespace {

using testing::RunCommand;
using testing::Sjis;
using testing::TRun;
using testing::TSession;

class CliCommands : public testing::TScratchTest {
protected:
    // A saved ontology with a few concepts, distinct per name.
    std::string MakeOntology(const std::string& name) {
        TSession s;
        s.Ontology.SetTitle(Sjis(name));
        s.Store.BuildNewOntology(Sjis(name), std::vector<std::string>{Sjis("子")});
        s.Save(Path(name + ".ont"));
        return Path(name + ".ont");
    }

    static std::vector<std::string> DumpOf(const std::string& path) {
        TSession s;
        s.Load(path);
        std::vector<std::string> dump = testing::Dump(s.Store);
        dump.insert(dump.end(), s.Ontology.Lines().begin(), s.Ontology.Lines().end());
        return dump;
    }
};

struct TUsageCase {
    std::vector<std::string> Args;  // "{dir}" stands for the test's folder
    std::string Message;            // part of what stderr must say
};

TEST_F(CliCommands, WrongCommandLinesExitWithTwoAndWriteNothing) {
    const std::string out = Path("x.ont");
    const std::vector<std::string> eightSubs = {
        "new",   out, "--target", "a", "--sub", "1", "--sub", "2", "--sub", "3",
        "--sub", "4", "--sub",    "5", "--sub", "6", "--sub", "7", "--sub", "8"};
    const std::vector<TUsageCase> cases = {
        {{}, "Usage: velmora-cli COMMAND"},
        {{"frobnicate"}, "unknown command 'frobnicate'"},
        {{"info"}, "missing FILE"},
        {{"info", out, "extra"}, "unexpected argument 'extra'"},
        {{"info", "--verbose", out}, "unknown option '--verbose'"},
        {{"info", "-v", out}, "unknown option '-v'"},
        {{"copy", out}, "missing IN and OUT"},
        {{"copy", out, out, "--force=yes"}, "option '--force' takes no value"},
        {{"new", out}, "--target is required"},
        {{"new", out, "--target"}, "option '--target' needs a value"},
        {{"new", out, "--target", "a", "--target", "b"}, "option '--target' given twice"},
        {{"new", out, "--target", ""}, "「対象とする事物」が指定されていません."},
        {{"new", out, "--target", "a", "--title", ""}, "「作成するオントロジーの名称」"},
        {{"new", out, "--target", "a", "--community=", "--title", "t"},
         "「このオントロジーを共有するコミュニティ」"},
        {eightSubs, "at most seven --sub are accepted, not 8"},
        {{"new", out, "--target", "a", "--now", "2023-02-29 10:00:00"}, "--now must be"},
        {{"new", out, "--target", "a", "--now", "2024-04-01 24:00:00"}, "--now must be"},
        {{"generate", "0", out}, "N must be a whole number from 1 to"},
        {{"generate", "12x", out}, "N must be a whole number"},
        {{"generate", "10", out, "--seed", "-1"}, "--seed must be a whole number"},
        {{"help", "nope"}, "unknown command 'nope'"},
    };
    for (const TUsageCase& c : cases) {
        std::ostringstream stdoutText;
        std::ostringstream stderrText;
        const int status = RunCli(c.Args, stdoutText, stderrText);
        const std::string line = c.Args.empty() ? "(no arguments)" : c.Args[0] + " ...";
        EXPECT_EQ(status, kExitUsage) << line;
        EXPECT_NE(stderrText.str().find(c.Message), std::string::npos) << line << "\n"
                                                                       << stderrText.str();
        EXPECT_EQ(stdoutText.str(), "") << line;
        EXPECT_FALSE(std::filesystem::exists(out)) << line;
    }
}

TEST_F(CliCommands, HelpIsOnStdoutWithExitZero) {
    const TRun general = RunCommand({"help"});
    EXPECT_EQ(general.Status, kExitOk);
    EXPECT_EQ(general.Out, RunCommand({"--help"}).Out);
    for (const char* command : {"new", "info", "check", "copy", "resave", "generate", "help"}) {
        const TRun viaHelp = RunCommand({"help", command});
        const TRun viaFlag = RunCommand({command, "--help"});
        EXPECT_EQ(viaHelp.Status, kExitOk) << command;
        EXPECT_EQ(viaFlag.Status, kExitOk) << command;
        EXPECT_EQ(viaHelp.Out, viaFlag.Out) << command;
        EXPECT_NE(viaHelp.Out.find(std::string("velmora-cli ") + command), std::string::npos)
            << command;
        EXPECT_NE(general.Out.find(std::string("  ") + command + " "), std::string::npos)
            << command;
    }
}

// The wizard with sub-category fields 1, 3 and 7 filled, 7 repeating 1.
TEST_F(CliCommands, NewBuildsWhatTheWizardBuilds) {
    const std::string out = Path("food.ont");
    const TRun run = RunCommand({"new",         out,
                                 "--target",    "食品",
                                 "--title",     "食品の本",
                                 "--community", "食品の専門家.\n調理師.",
                                 "--sub",       "穀物",
                                 "--sub",       "",
                                 "--sub",       "野菜",
                                 "--sub",       "",
                                 "--sub",       "",
                                 "--sub",       "",
                                 "--sub",       "穀物",
                                 "--user",      "佐藤",
                                 "--now",       "2024-04-01 14:03:27"});
    ASSERT_EQ(run.Status, kExitOk) << run.Err;
    EXPECT_EQ(run.Err, "");

    TSession made;
    made.Load(out);
    EXPECT_EQ(made.Ontology.Lines(),
              (std::vector<std::string>{Sjis("Target=食品"), Sjis("Title=食品の本"),
                                        Sjis("Community=食品の専門家.\r\n調理師."),
                                        Sjis("Description=食品に関するオントロジー."),
                                        Sjis("Creator=佐藤"), "CreatedDay=14:03:27"}));

    TSession wizard;
    wizard.Context.SetUserName(Sjis("佐藤"));
    wizard.Context.SetClock([] { return testing::Moment(14, 3, 27); });
    wizard.Store.BuildNewOntology(
        Sjis("食品"),
        std::vector<std::string>{Sjis("穀物"), "", Sjis("野菜"), "", "", "", Sjis("穀物")});
    EXPECT_EQ(testing::Dump(made.Store), testing::Dump(wizard.Store));

    // What that build is: the top concept titled after the target, unplaced, and its three
    // children in field order; the repeated sub-category shares its label.
    store::TTable& c = made.Store.DtStOriginalConcepts;
    std::vector<std::string> titles;
    for (c.First(); !c.Eof(); c.Next()) {
        titles.push_back(store::Cp932ToUtf8(c.FieldByName(store::kFieldTitle).AsString()));
        EXPECT_EQ(c.FieldByName(store::kFieldParentNo).AsInteger(), c.RecNo() == 1 ? 0 : 1);
        EXPECT_EQ(c.FieldByName(store::kFieldListOrder).AsInteger(), 10000);
    }
    EXPECT_EQ(titles, (std::vector<std::string>{"食品", "穀物", "野菜", "穀物"}));
    EXPECT_EQ(made.Store.DtStOriginalTerms.RecordCount(), 3);
    EXPECT_EQ(made.Store.DtStOriginalAssociation.RecordCount(), 4);
    EXPECT_EQ(made.Store.DtStOriginalLinkType.RecordCount(), 10);
}

TEST_F(CliCommands, NewFillsUntouchedFieldsFromTheTargetAsTheWizardDoes) {
    ASSERT_EQ(RunCommand({"new", Path("a.ont"), "--target", "食品", "--now", "2024-04-01 08:00:00"})
                  .Status,
              kExitOk);
    TSession a;
    a.Load(Path("a.ont"));
    EXPECT_EQ(a.Ontology.Lines(),
              (std::vector<std::string>{Sjis("Target=食品"), Sjis("Title=食品オントロジー"),
                                        Sjis("Community=食品の専門家."),
                                        Sjis("Description=食品に関するオントロジー."),
                                        Sjis("Creator=無記名"), "CreatedDay=08:00:00"}));
    EXPECT_EQ(a.Store.DtStOriginalConcepts.RecordCount(), 1);

    ASSERT_EQ(RunCommand({"new", Path("b.ont"), "--target", "食品", "--description", "",
                          "--creator", "山田", "--user", "佐藤"})
                  .Status,
              kExitOk);
    TSession b;
    b.Load(Path("b.ont"));
    EXPECT_EQ(b.Ontology.Description(), "");
    EXPECT_EQ(b.Ontology.Creator(), Sjis("山田"));
    b.Store.DtStOriginalConcepts.First();
    EXPECT_EQ(b.Store.DtStOriginalConcepts.FieldByName(store::kFieldEditor).AsString(),
              Sjis("佐藤"));
}

TEST_F(CliCommands, ExistingFilesAreReplacedOnlyWithForceAndThenKeptAsBackup) {
    const std::string first = MakeOntology("first");
    const std::string second = MakeOntology("second");
    const std::string firstBytes = testing::ReadBytes(first);
    const std::string backup = Path("バックアップ-first.ont");

    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"new", first, "--target", "x"},
          std::vector<std::string>{"copy", second, first},
          std::vector<std::string>{"generate", "5", first}}) {
        std::ostringstream out;
        std::ostringstream err;
        EXPECT_EQ(RunCli(args, out, err), kExitFailure) << args[0];
        EXPECT_NE(err.str().find("'" + first + "' already exists; use --force"), std::string::npos)
            << err.str();
        EXPECT_EQ(testing::ReadBytes(first), firstBytes) << args[0];
        EXPECT_FALSE(std::filesystem::exists(backup)) << args[0];
    }

    ASSERT_EQ(RunCommand({"copy", second, first, "--force"}).Status, kExitOk);
    EXPECT_EQ(DumpOf(first), DumpOf(second));
    EXPECT_EQ(testing::ReadBytes(backup), firstBytes);

    ASSERT_EQ(RunCommand({"new", first, "--target", "x", "--force"}).Status, kExitOk);
    EXPECT_EQ(DumpOf(backup), DumpOf(second));
}

TEST_F(CliCommands, CopyAndResaveKeepEveryRecordAndTheMetadata) {
    const std::string original = Path("sample.ont");
    ASSERT_EQ(RunCommand({"generate", "300", original, "--seed", "5"}).Status, kExitOk);
    const std::vector<std::string> contents = DumpOf(original);
    const std::string bytes = testing::ReadBytes(original);

    ASSERT_EQ(RunCommand({"copy", original, Path("copy.ont")}).Status, kExitOk);
    EXPECT_EQ(DumpOf(Path("copy.ont")), contents);
    EXPECT_FALSE(std::filesystem::exists(Path("バックアップ-copy.ont")));

    const TRun resave = RunCommand({"resave", original});
    ASSERT_EQ(resave.Status, kExitOk) << resave.Err;
    EXPECT_EQ(DumpOf(original), contents);
    EXPECT_EQ(testing::ReadBytes(Path("バックアップ-sample.ont")), bytes);
}

TEST_F(CliCommands, FixRemovesWhatTheSaveTimeChecksOfferAndSaves) {
    const std::string file = Path("fix.ont");
    std::int32_t ownPlace = 0;
    std::int32_t duplicate = 0;
    std::int32_t otherRelation = 0;
    {
        testing::TSession session;
        const std::int32_t top =
            session.Store.BuildNewOntology(Sjis("食品"), std::vector<std::string>{"a", "b"});
        ownPlace = session.AddLink(top, 2, 1);  // a subconcept image where its concept lives
        session.AddLink(3, 2, 1);
        duplicate = session.AddLink(3, 2, 1);
        otherRelation = session.AddLink(top, 3, 2);  // another relation at its own place: kept
        session.Save(file);
    }
    const TRun fix = RunCommand({"fix", file});
    ASSERT_EQ(fix.Status, kExitOk) << fix.Err;
    EXPECT_EQ(testing::Lines(fix.Out)[0], "fix: removed [mirror-own-place] 「a」");
    EXPECT_EQ(testing::Lines(fix.Out)[1], "fix: removed [mirror-duplicate] 「a」");
    EXPECT_TRUE(std::filesystem::exists(Path("バックアップ-fix.ont")));

    testing::TSession after;
    after.Load(file);
    store::TTable& network = after.Store.DtStOriginalNetWork;
    EXPECT_EQ(network.RecordCount(), 2);
    EXPECT_FALSE(network.Locate("RECORD_NO", store::TValue(ownPlace)));
    EXPECT_FALSE(network.Locate("RECORD_NO", store::TValue(duplicate)));
    EXPECT_TRUE(network.Locate("RECORD_NO", store::TValue(otherRelation)));
    EXPECT_EQ(RunCommand({"check", file}).Status, kExitOk);
}

TEST_F(CliCommands, FixJoinsLabelsOfTheSameText) {
    const std::string file = Path("labels.ont");
    {
        testing::TSession session;
        const std::int32_t top =
            session.Store.BuildNewOntology(Sjis("食品"), std::vector<std::string>{"a", "b"});
        // A second record of the label "a", as files written before labels were looked up as
        // stored hold, on b and once more on a.
        store::TTable& terms = session.Store.DtStOriginalTerms;
        terms.AppendRecord({std::monostate{}, "a", std::monostate{}});
        const std::int32_t second = terms.FieldByName("TERM_NO").AsInteger();
        for (const std::int32_t owner : {top + 2, top + 1}) {
            session.Store.DtStOriginalAssociation.AppendRecord(
                {std::monostate{}, owner, second, std::monostate{}});
        }
        session.Save(file);
    }
    const TRun check = RunCommand({"check", file});
    EXPECT_NE(check.Out.find("warning[label-same-text]"), std::string::npos) << check.Out;
    const TRun fix = RunCommand({"fix", file});
    ASSERT_EQ(fix.Status, kExitOk) << fix.Err;
    EXPECT_NE(fix.Out.find("fix: joined 1 label(s)"), std::string::npos) << fix.Out;

    testing::TSession after;
    after.Load(file);
    EXPECT_EQ(after.Store.DtStOriginalTerms.RecordCount(), 3);
    EXPECT_EQ(after.Store.DtStOriginalAssociation.RecordCount(), 4);
    const TRun clean = RunCommand({"check", file});
    EXPECT_EQ(clean.Out.find("warning["), std::string::npos) << clean.Out;
}

TEST_F(CliCommands, FilesThatCannotBeReadFailWithTheStoresMessage) {
    const std::string missing = Path("missing.ont");
    for (const char* command : {"info", "check", "resave"}) {
        const TRun run = RunCommand({command, missing});
        EXPECT_EQ(run.Status, kExitFailure) << command;
        EXPECT_EQ(run.Err.rfind("velmora-cli: ファイル " + missing + " は開けません\n", 0), 0u)
            << run.Err;
        EXPECT_EQ(run.Out, "") << command;
    }
    EXPECT_EQ(RunCommand({"copy", missing, Path("out.ont")}).Status, kExitFailure);
    EXPECT_FALSE(std::filesystem::exists(Path("out.ont")));

    std::ofstream(Path("text.ont")) << "not an ontology, just some text of a fair length";
    const TRun wrong = RunCommand({"info", Path("text.ont")});
    EXPECT_EQ(wrong.Status, kExitFailure);
    EXPECT_EQ(wrong.Err,
              "velmora-cli: ファイルが開けません. ファイルフォーマットが違うようです.\n");

    const TRun noFolder = RunCommand({"new", Path("no/such/folder.ont"), "--target", "x"});
    EXPECT_EQ(noFolder.Status, kExitFailure);
    EXPECT_NE(noFolder.Err.find("を作成できません"), std::string::npos) << noFolder.Err;
}

TEST_F(CliCommands, TextOutsideTheCodePageBecomesAQuestionMarkWithAWarning) {
    const TRun run = RunCommand(
        {"new", Path("a.ont"), "--target", "寿司", "--title", "寿司🍣🍣", "--sub", "巻き\xff"});
    ASSERT_EQ(run.Status, kExitOk);
    EXPECT_EQ(testing::Lines(run.Err),
              (std::vector<std::string>{
                  "velmora-cli: warning: --title: 2 characters cannot be written in code page "
                  "932 and became \"?\"",
                  "velmora-cli: warning: --sub 1: 1 character cannot be written in code page 932 "
                  "and became \"?\"",
              }));
    TSession a;
    a.Load(Path("a.ont"));
    EXPECT_EQ(a.Ontology.Title(), Sjis("寿司??"));

    // The other way: bytes of the file that are no code page 932 text. The creator is shown
    // twice, in the metadata and on the information page.
    a.Ontology.SetCreator("\x81");
    a.Save(Path("a.ont"));
    const TRun info = RunCommand({"info", Path("a.ont")});
    EXPECT_EQ(info.Status, kExitOk);
    EXPECT_NE(info.Out.find("作成者:    \"?\""), std::string::npos) << info.Out;
    EXPECT_EQ(info.Err,
              "velmora-cli: warning: invalid code page 932 in the file: 2 characters shown as "
              "\"?\"\n");
}

// The information page: counts of the tables, and the last editor is the concept with the
// newest DATE_EDITION, the first one in number order on a tie.
TEST_F(CliCommands, InfoShowsThePropertiesDialogsInformationPage) {
    TSession s;
    s.Ontology.SetTitle(Sjis("食品オントロジー"));
    s.Ontology.SetCreator(Sjis("山田"));
    s.Ontology.SetCreatedDay("14:03:27");
    s.Ontology.SetDescription(Sjis("一行目\r\n二行目"));
    s.Context.SetUserName(Sjis("佐藤"));
    s.Store.BuildNewOntology(Sjis("食品"), {});
    s.Context.SetClock([] { return testing::Moment(10, 30, 0); });
    s.Context.SetUserName(Sjis("鈴木"));
    s.Store.AppendConcept(Sjis("穀物"), 1, Sjis("穀物"));
    s.Context.SetUserName(Sjis("田中"));
    const std::int32_t third = s.Store.AppendConcept(Sjis("野菜"), 1, "");
    store::TConceptData item;
    item.SetConceptNo(third);
    s.Store.AppendMirrorImage(item, 2);
    s.Save(Path("info.ont"));

    const TRun run = RunCommand({"info", Path("info.ont")});
    ASSERT_EQ(run.Status, kExitOk) << run.Err;
    const std::string expected = "ファイル: " + Path("info.ont") +
                                 "\n"
                                 "\n"
                                 "メタデータ:\n"
                                 "  Title       = 食品オントロジー\n"
                                 "  Creator     = 山田\n"
                                 "  CreatedDay  = 14:03:27\n"
                                 "  Description = 一行目\n"
                                 "                二行目\n"
                                 "\n"
                                 "情報:\n"
                                 "\n"
                                 "  食品オントロジー\n"
                                 "\n"
                                 "    --------------------------------------\n"
                                 "    概念項目数:    3\n"
                                 "    鏡像項目数:    1\n"
                                 "    登録言語ラベル数:    2\n"
                                 "    --------------------------------------\n"
                                 "    作成者:    \"山田\"\n"
                                 "    作成日時:    14:03:27\n"
                                 "    --------------------------------------\n"
                                 "    最終編集者:    \"鈴木\"\n"
                                 "    最終編集日時:    2024/04/01 10:30:00\n"
                                 "    --------------------------------------\n"
                                 "\n"
                                 "関係の定義:\n";
    EXPECT_EQ(run.Out.substr(0, expected.size()), expected);
    EXPECT_NE(run.Out.find("\n   2  relation_A  ユーザー定義の関係A\n"), std::string::npos);
    EXPECT_NE(run.Out.find("\n  DtStOriginalNetWork      1\n"), std::string::npos) << run.Out;
}

TEST_F(CliCommands, VersionAndAnAlignedCommandList) {
    const TRun version = RunCommand({"--version"});
    EXPECT_EQ(version.Status, kExitOk);
    EXPECT_EQ(version.Out, "velmora-cli " + std::string(kVelmoraVersion) + "\n");

    // Every summary starts in the same column, whatever the width of the command's name.
    const TRun help = RunCommand({"help"});
    std::set<std::size_t> columns;
    bool inList = false;
    for (const std::string& line : testing::Lines(help.Out)) {
        if (line == "Commands:") {
            inList = true;
        } else if (inList && line.empty()) {
            break;
        } else if (inList) {
            const std::size_t name = line.find_first_not_of(' ');
            columns.insert(line.find_first_not_of(' ', line.find(' ', name)));
        }
    }
    EXPECT_EQ(columns.size(), 1U) << help.Out;
}

TEST_F(CliCommands, FoldersAndPipesAreNamedForWhatTheyAre) {
    const std::string ontology = MakeOntology("a");
    const std::string folder = Path("folder.ont");
    std::filesystem::create_directory(folder);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"copy", ontology, folder},
          std::vector<std::string>{"copy", ontology, folder, "--force"},
          std::vector<std::string>{"new", folder, "--target", "x"},
          std::vector<std::string>{"export-csv", ontology, folder, "--force"},
          std::vector<std::string>{"export-docx", ontology, folder}}) {
        std::ostringstream out;
        std::ostringstream err;
        EXPECT_EQ(RunCli(args, out, err), kExitFailure) << args[0];
        EXPECT_EQ(err.str(), "velmora-cli: '" + folder + "' is a folder; name a file to write\n");
    }
    const TRun opened = RunCommand({"info", folder});
    EXPECT_EQ(opened.Status, kExitFailure);
    EXPECT_EQ(opened.Err, "velmora-cli: ファイル " + folder + " は開けません\n" + folder +
                              ": フォルダーです\n");

    const std::string pipe = Path("pipe.ont");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const TRun piped = RunCommand({"check", pipe});  // must not hang waiting for a writer
    EXPECT_EQ(piped.Status, kExitFailure);
    EXPECT_NE(piped.Err.find(pipe + ": 通常のファイルではありません"), std::string::npos)
        << piped.Err;
}

TEST_F(CliCommands, ASaveWithoutItsBackupWarnsAndSucceeds) {
    const std::string file = MakeOntology("a");
    std::filesystem::create_directory(Path("バックアップ-a.ont"));
    const TRun resave = RunCommand({"resave", file});
    EXPECT_EQ(resave.Status, kExitOk);
    EXPECT_EQ(resave.Out, "resave: wrote " + file + "\n");
    EXPECT_EQ(resave.Err,
              "velmora-cli: warning: saved, but no backup of the previous version was kept (" +
                  Path("バックアップ-a.ont") + ": フォルダーです)\n");
}

TEST_F(CliCommands, CheckFailsOnWhatFailOnNames) {
    const std::string clean = MakeOntology("clean");
    const std::string warned = Path("warned.ont");
    {
        testing::TSession session;
        const std::int32_t top =
            session.Store.BuildNewOntology(Sjis("食品"), std::vector<std::string>{"a"});
        session.AddLink(top, 2, 1);  // a warning: a subconcept image at its own place
        session.Save(warned);
    }
    const struct {
        const std::string& file;
        const char* failOn;  // nullptr: the default
        int status;
    } kCases[] = {
        {clean, nullptr, kExitOk},  {clean, "warning", kExitOk},       {warned, nullptr, kExitOk},
        {warned, "error", kExitOk}, {warned, "warning", kExitFailure}, {warned, "none", kExitOk},
    };
    for (const auto& c : kCases) {
        const TRun run = c.failOn ? RunCommand({"check", c.file, "--fail-on", c.failOn})
                                  : RunCommand({"check", c.file});
        EXPECT_EQ(run.Status, c.status) << c.file << " " << (c.failOn ? c.failOn : "-");
    }
    EXPECT_EQ(RunCommand({"check", clean, "--fail-on", "info"}).Status, kExitUsage);
}

// A file with errors that fix cannot mend: the repairs it can make are saved, but the exit
// status and stderr tell that the file is still broken.
TEST_F(CliCommands, FixSaysSoWhenErrorsRemain) {
    const std::string file = Path("broken.ont");
    {
        testing::TSession session;
        session.Store.BuildNewOntology(Sjis("食品"), std::vector<std::string>{"a"});
        session.SetConcept(2, store::kFieldParentNo, store::TValue(std::int32_t{77}));
        session.Save(file);
    }
    const TRun fix = RunCommand({"fix", file});
    EXPECT_EQ(fix.Status, kExitFailure);
    EXPECT_NE(fix.Err.find("error[missing-parent]"), std::string::npos) << fix.Err;
    EXPECT_NE(fix.Err.find("velmora-cli: fix: 1 error(s) remain that fix cannot repair"),
              std::string::npos)
        << fix.Err;
}

// Hostile metadata: a huge key and thousands of empty continuation lines. The report stays a
// small multiple of the file, however the keys and values are shaped.
TEST_F(CliCommands, InfoWritesAReportInProportionToTheFile) {
    const std::string file = Path("hostile.ont");
    {
        testing::TSession session;
        session.Store.BuildNewOntology(Sjis("食品"), {});
        session.Ontology.SetTitle("T");
        session.Ontology.SetValue(std::string(6000, 'k'), "v" + std::string(2000, '\n'));
        session.Ontology.SetValue("Short", "s" + std::string(1000, '\n'));
        session.Save(file);
    }
    const std::size_t size = std::filesystem::file_size(file);
    const TRun info = RunCommand({"info", file});
    ASSERT_EQ(info.Status, kExitOk) << info.Err;
    EXPECT_LT(info.Out.size(), 3 * size) << size;
    EXPECT_NE(info.Out.find("\n  Title = T\n"), std::string::npos) << info.Out.substr(0, 300);
}

}  // namespace
}  // namespace velmora::cli
