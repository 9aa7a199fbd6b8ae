#include "cli.h"

#include <algorithm>
#include <charconv>
#include <functional>
#include <limits>
#include <new>
#include <optional>
#include <string_view>
#include <vector>

#include "arguments.h"
#include "code_page.h"
#include "csv_import_command.h"
#include "data_module.h"
#include "exchange_commands.h"
#include "ontology.h"
#include "ontology_builder.h"
#include "ontology_check.h"
#include "ontology_report.h"
#include "output_files.h"
#include "rdf_commands.h"
#include "search_command.h"
#include "seeker.h"
#include "terminal_text.h"
#include "velmora_version.h"
#include "word_export_command.h"

namespace velmora::cli {

using store::TAnswer;
using store::TDateTime;

namespace {

constexpr std::string_view kProgram = "velmora-cli";

constexpr std::string_view kGeneralHelpHead =
    R"(velmora-cli - headless commands for Velmora ontology files (.ont)

Usage: velmora-cli COMMAND [ARGUMENTS] [OPTIONS]
       velmora-cli help [COMMAND]
       velmora-cli COMMAND --help
       velmora-cli --version

Commands:
)";

constexpr std::string_view kGeneralHelpTail = R"(
Text on the terminal is UTF-8; in .ont files it is code page 932 (Shift-JIS). A character
that code page 932 cannot hold is written as "?" and reported on stderr.

Saving over an existing file keeps the previous version as "バックアップ-NAME" in the same
folder (one generation). When that backup cannot be made (a folder of that name, a name too
long), the file is saved all the same and a warning says that no backup was kept.

Exit status: 0 success; 1 failure (the reason on stderr), errors found by check (or what
--fail-on names), or errors left by fix; 2 wrong command line.
)";

constexpr std::string_view kNewHelp =
    R"(Usage: velmora-cli new OUT.ont --target TEXT [--title TEXT] [--community TEXT]
           [--description TEXT] [--creator NAME] [--sub TEXT]... [--user NAME]
           [--now "YYYY-MM-DD hh:mm:ss"] [--force]

Builds a new ontology as the new-ontology wizard does and saves it as OUT.ont: the metadata
Target, Title, Community, Description, Creator and CreatedDay (the time of day, hh:mm:ss),
the ten default link types, a top concept titled TARGET with TARGET as its language label,
and one child of the top concept per non-empty --sub, in order, each with its own label.

  --target TEXT       what the ontology is about (対象とする事物); required
  --title TEXT        its name (作成するオントロジーの名称);
                      default TARGET + "オントロジー", as the wizard fills it in
  --community TEXT    who shares it (このオントロジーを共有するコミュニティ);
                      default TARGET + "の専門家."
  --description TEXT  default TARGET + "に関するオントロジー."; "" for none
  --creator NAME      the Creator metadata; default the user name
  --sub TEXT          a first-level subcategory (サブカテゴリ1 to 7): at most seven;
                      an empty one is skipped, as an empty wizard field
  --user NAME         the user name written as EDITOR of the concepts (default 無記名)
  --now TIME          stamp this moment instead of the clock, "YYYY-MM-DD hh:mm:ss"
  --force             replace an existing OUT.ont (its backup is kept)

Line breaks in --community and --description are kept (multi-line values).
)";

constexpr std::string_view kInfoHelp = R"(Usage: velmora-cli info FILE

Shows what the ontology properties dialog shows of FILE, read-only: every metadata line
(multi-line values continue on indented lines), the information page (title, the numbers of
concepts, mirror images and language labels, creator and creation time, and the last editor
and edit time: EDITOR and DATE_EDITION of the concept edited last, the lowest number winning
a tie), the link types, and the record count of each of the five tables.
)";

constexpr std::string_view kCheckHelp =
    R"(Usage: velmora-cli check FILE [--fail-on error|warning|none]

Reads FILE and reports, without changing it, what is wrong or suspicious: one line per
finding, "error[KIND]: ..." or "warning[KIND]: ...", with record numbers, then a summary line.
Exit status 1 when there is at least one error; warnings alone give 0.

  --fail-on LEVEL  what makes the exit status 1: error (the default), warning (an error or a
                   warning), none (never; only a file that cannot be read does)

Errors (states the program never writes itself and whose walks or lookups would fail):
  bad-number               a concept number below 1
  duplicate-number         a concept, mirror image, label, association or link code
                           number used by more than one record
  missing-parent           PARENT_NO names no concept (the concepts below it are counted)
  parent-cycle             PARENT_NO chains that form a cycle and never reach the top
  no-top                   no concept has PARENT_NO 0
  extra-top                more than one concept has PARENT_NO 0 (the lowest number is
                           taken as the top; each further one is reported)
  mirror-missing-from      a mirror image's RECORD_NO_FROM names no concept
  mirror-missing-to        a mirror image's RECORD_NO_TO names no concept
  mirror-missing-link-type a mirror image's LINK_CODE names no link type
  mirror-cycle             subconcept mirror images (LINK_CODE 1) that close a cycle of
                           lower and upper concepts together with PARENT_NO
  assoc-missing-concept    an association's CONCEPT_NO names no concept
  assoc-missing-label      an association's TERM_NO names no language label

Warnings (states the program tolerates, some of which the save-time checks question):
  mirror-own-place         a subconcept mirror image at its concept's own place
  mirror-duplicate         a mirror image identical to another (place, concept, relation)
  mirror-self              a mirror image of another relation shown under its own concept
  assoc-duplicate          the same label given to the same concept twice
  label-unused             a language label that no association uses
  list-order-duplicate     placed items of one level sharing a LIST_ORDER (10000 and 0,
                           "not placed yet", are not compared)
  record-counter-low       a table's stored record counter (AUTOINCVALUE) was at or below a
                           record number it holds; it was raised on loading, so the next
                           record gets a new number (saving the file stores the raised one)
)";

constexpr std::string_view kCopyHelp = R"(Usage: velmora-cli copy IN OUT [--force]

Loads IN and saves it as OUT, as "save as" does. An existing OUT is refused unless --force
is given; then the previous OUT is kept as its backup "バックアップ-OUT".
)";

constexpr std::string_view kResaveHelp = R"(Usage: velmora-cli resave FILE

Loads FILE and saves it in place, as the save command does: the file is written anew and the
previous version is kept as "バックアップ-FILE" in the same folder. The desktop program's
save-time questions about mirror images are not asked; "check" reports what they would ask
about (mirror-own-place, mirror-duplicate).
)";

constexpr std::string_view kFixHelp = R"(Usage: velmora-cli fix FILE

Runs the save-time checks of the desktop program on FILE, answering every question with yes:
a subconcept mirror image at its own concept's place (mirror-own-place) and a second identical
mirror image (mirror-duplicate) are removed, and labels of the same text (label-same-text)
are joined into one. Prints each removal, then saves FILE in place as
the save command does (the previous version is kept as "バックアップ-FILE"). "check" lists the
same findings without changing anything. When errors remain that fix cannot repair (see
"check"), they are listed and the exit status is 1.
)";

constexpr std::string_view kGenerateHelp =
    R"(Usage: velmora-cli generate N OUT [--seed S] [--user NAME] [--now TIME] [--force]

Writes a synthetic ontology of N concepts (the top concept included) to OUT for benchmarks
and manual testing. The same N and seed give the same records. Japanese titles and labels
(each concept its own label, some one more shared with others), descriptions and comments
on some, a skewed hierarchy (preferential attachment, a few very wide levels, depth at most
15), LIST_ORDER 1, 2, 3, ... in every level, and mirror images of about 2% of the concepts
with several relations, never closing a cycle. "check" finds nothing in it.

  --seed S      the seed of the generator (default 1)
  --user NAME   the user name written as EDITOR and Creator (default 無記名)
  --now TIME    stamp this moment instead of the clock, "YYYY-MM-DD hh:mm:ss"
  --force       replace an existing OUT (its backup is kept)
)";

constexpr std::string_view kHelpHelp = R"(Usage: velmora-cli help [COMMAND]

Shows the list of commands, or the help of COMMAND.
)";

class TRunner;

struct TCommand {
    std::string_view Name;
    std::string_view Summary;  // one line in the general help
    std::string_view Help;
    std::vector<TOptionSpec> Options;
    int (TRunner::*Run)(const TParsedArguments&);
};

// One store, one ontology and the answers the store gets when it asks about overwriting.
struct TSession {
    store::TSimpleStoreContext Context;
    store::TFixedAnswer Overwrite{TAnswer::No};
    store::TDataModule1 Store{Context};
    store::TOntology Ontology;

    TSession() { Store.SetQuestioner(Overwrite); }
};

std::string BackupNameOf(const std::string& path) {
    store::TOntology probe;
    probe.SetFileName(path);
    return probe.BackupFileName();
}

template <class TNumber>
TNumber ParseNumber(const std::string& text, TNumber min, TNumber max, std::string_view what) {
    TNumber value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < min || value > max) {
        throw EUsageError(std::string(what) + " must be a whole number from " +
                          std::to_string(min) + " to " + std::to_string(max) + ", not '" + text +
                          "'");
    }
    return value;
}

// "YYYY-MM-DD hh:mm:ss" (a "T" may stand for the space).
TDateTime ParseMoment(const std::string& text) {
    const auto bad = [&] {
        return EUsageError("--now must be \"YYYY-MM-DD hh:mm:ss\", not '" + text + "'");
    };
    if (text.size() != 19 || text[4] != '-' || text[7] != '-' ||
        (text[10] != ' ' && text[10] != 'T') || text[13] != ':' || text[16] != ':') {
        throw bad();
    }
    const auto part = [&](std::size_t at, std::size_t length) {
        int value = 0;
        for (std::size_t i = at; i < at + length; ++i) {
            if (text[i] < '0' || text[i] > '9') {
                throw bad();
            }
            value = value * 10 + (text[i] - '0');
        }
        return value;
    };
    store::TCivilTime c;
    c.Year = part(0, 4);
    c.Month = part(5, 2);
    c.Day = part(8, 2);
    c.Hour = part(11, 2);
    c.Minute = part(14, 2);
    c.Second = part(17, 2);
    const bool leap = (c.Year % 4 == 0 && c.Year % 100 != 0) || c.Year % 400 == 0;
    constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (c.Year < 1 || c.Month < 1 || c.Month > 12 || c.Day < 1 ||
        c.Day > kDays[c.Month - 1] + (c.Month == 2 && leap ? 1 : 0) || c.Hour > 23 ||
        c.Minute > 59 || c.Second > 59) {
        throw bad();
    }
    return TDateTime::FromCivil(c);
}

class TRunner {
public:
    TRunner(std::ostream& out, std::ostream& err) : m_out(out), m_err(err), m_text(err) {}

    int Run(std::span<const std::string> args) {
        if (args.empty()) {
            m_err << GeneralHelp();
            return kExitUsage;
        }
        const std::string& name = args[0];
        if (name == "--help" || name == "-h") {
            m_out << GeneralHelp();
            return kExitOk;
        }
        if (name == "--version") {
            m_out << kProgram << ' ' << kVelmoraVersion << '\n';
            return kExitOk;
        }
        const TCommand* command = Find(name);
        if (command == nullptr) {
            m_err << kProgram << ": unknown command '" << name << "'\n"
                  << "Try '" << kProgram << " help'.\n";
            return kExitUsage;
        }
        const std::span<const std::string> rest = args.subspan(1);
        for (const std::string& word : rest) {
            if (word == "--") {
                break;
            }
            if (word == "--help" || word == "-h") {
                m_out << command->Help;
                return kExitOk;
            }
        }
        try {
            const TParsedArguments parsed = ParseArguments(rest, command->Options);
            return (this->*command->Run)(parsed);
        } catch (const EUsageError& e) {
            m_err << kProgram << ' ' << command->Name << ": " << e.what() << '\n'
                  << "Try '" << kProgram << " help " << command->Name << "'.\n";
            return kExitUsage;
        } catch (const std::bad_alloc&) {
            m_err << kProgram << ": out of memory\n";
            return kExitFailure;
        } catch (const std::exception& e) {
            m_err << kProgram << ": " << ToUnixLineBreaks(e.what()) << '\n';
            return kExitFailure;
        }
    }

private:
    static const std::vector<TCommand>& Commands() {
        static const std::vector<TCommand> commands = {
            {"new",
             "build a new ontology as the new-ontology wizard does and save it",
             kNewHelp,
             {{"target", true},
              {"title", true},
              {"community", true},
              {"description", true},
              {"creator", true},
              {"sub", true, true},
              {"user", true},
              {"now", true},
              {"force", false}},
             &TRunner::New},
            {"info",
             "show an ontology's metadata, statistics and link types",
             kInfoHelp,
             {},
             &TRunner::Info},
            {"check",
             "report broken or suspicious records of an ontology file",
             kCheckHelp,
             {{"fail-on", true}},
             &TRunner::Check},
            {"copy",
             "load an ontology and save it under another name",
             kCopyHelp,
             {{"force", false}},
             &TRunner::Copy},
            {"resave",
             "load an ontology and save it in place, keeping a backup",
             kResaveHelp,
             {},
             &TRunner::Resave},
            {"fix",
             "remove what the save-time checks offer to remove, then save in place",
             kFixHelp,
             {},
             &TRunner::Fix},
            {"generate",
             "write a synthetic ontology of N concepts",
             kGenerateHelp,
             {{"seed", true}, {"user", true}, {"now", true}, {"force", false}},
             &TRunner::Generate},
            {"import-csv", "add the rows of a CSV file as concepts, as the CSV import wizard does",
             kImportCsvHelp, ImportCsvOptions(), &TRunner::ImportCsv},
            {"export-csv",
             "write concepts with their subtrees to a CSV file, as the CSV export does",
             kExportCsvHelp, ExportCsvOptions(), &TRunner::ExportCsv},
            {"export-docx",
             "write the whole ontology as a Word document (.docx), as the Word export does",
             kExportDocxHelp, ExportDocxOptions(), &TRunner::ExportDocx},
            {"export-rdf", "write the whole ontology as SKOS or OWL (Turtle, RDF/XML, N-Triples)",
             kExportRdfHelp, ExportRdfOptions(), &TRunner::ExportRdf},
            {"import-rdf", "make a new ontology from a SKOS or OWL file", kImportRdfHelp,
             ImportRdfOptions(), &TRunner::ImportRdf},
            {"import-text", "add one concept per line of a text file beside an item, then save",
             kImportTextHelp, ImportTextOptions(), &TRunner::ImportText},
            {"search", "find concepts by a part of their texts, as the search window does",
             kSearchHelp, SearchOptions(), &TRunner::Search},
            {"help", "show this text or the help of one command", kHelpHelp, {}, &TRunner::Help},
        };
        return commands;
    }

    // The command list is made from the command table, its columns aligned by display width.
    static std::string GeneralHelp() {
        std::size_t width = 0;
        for (const TCommand& command : Commands()) {
            width = std::max(width, DisplayWidth(command.Name));
        }
        std::string text(kGeneralHelpHead);
        for (const TCommand& command : Commands()) {
            text +=
                "  " + PadRight(command.Name, width) + "  " + std::string(command.Summary) + "\n";
        }
        text += kGeneralHelpTail;
        return text;
    }

    static const TCommand* Find(std::string_view name) {
        for (const TCommand& command : Commands()) {
            if (command.Name == name) {
                return &command;
            }
        }
        return nullptr;
    }

    // --user and --now: who and when the new concepts are stamped with.
    void ApplyStamp(const TParsedArguments& args, TSession& session) {
        if (const auto user = args.Value("user")) {
            session.Context.SetUserName(m_text.ToTable(*user, "--user"));
        }
        if (const auto now = args.Value("now")) {
            const TDateTime moment = ParseMoment(*now);
            session.Context.SetClock([moment] { return moment; });
        }
    }

    void Load(TSession& session, const std::string& path) {
        session.Ontology.SetFileName(path);
        session.Store.LoadOntologyFile(session.Ontology);
    }

    // Saves under `path`: an existing file only with force, and then its backup is kept.
    // False (with the reason on stderr) when the file exists and force was not given.
    bool SaveAs(TSession& session, const std::string& path, bool force) {
        session.Ontology.SetFileName(path);
        session.Overwrite = store::TFixedAnswer(force ? TAnswer::Yes : TAnswer::No);
        if (!session.Store.SaveOntologyFile(session.Ontology, false)) {
            ReportExisting(path);
            return false;
        }
        return true;
    }

    // An existing output is refused before any work (loading can take long for a large file)
    // unless force is given; true, with the reason on stderr, when it was refused.
    bool RefuseExisting(const std::string& path, bool force) {
        return RefuseOutput(path, force, m_err,
                            " (the previous file is then kept as '" + BackupNameOf(path) + "')");
    }

    void ReportExisting(const std::string& path) {
        m_err << kProgram << ": '" << path << "' already exists; use --force to replace it (the "
              << "previous file is then kept as '" << BackupNameOf(path) << "')\n";
    }

    int New(const TParsedArguments& args) {
        RequirePositionals(args, 1, "OUT.ont");
        const std::string& out = args.Positionals[0];
        const auto targetText = args.Value("target");
        if (!targetText) {
            throw EUsageError("--target is required (対象とする事物)");
        }
        const std::vector<std::string> subs = args.Values("sub");
        if (subs.size() > 7) {
            throw EUsageError("at most seven --sub are accepted, not " +
                              std::to_string(subs.size()));
        }
        TSession session;
        ApplyStamp(args, session);
        // As in the wizard: a field left alone follows the target.
        store::TWizardFields fields;
        fields.Target = m_text.ToTable(*targetText, "--target");
        const auto field = [&](std::string_view option, std::string_view suffix) {
            const auto given = args.Value(option);
            return given ? m_text.ToTable(*given, "--" + std::string(option))
                         : fields.Target + store::Utf8ToCp932(suffix);
        };
        fields.Title = field("title", "オントロジー");
        fields.Community = field("community", "の専門家.");
        fields.Description = field("description", "に関するオントロジー.");
        if (fields.Target.empty()) {
            throw EUsageError("「対象とする事物」が指定されていません. (--target)");
        }
        if (fields.Title.empty()) {
            throw EUsageError("「作成するオントロジーの名称」が指定されていません. (--title)");
        }
        if (fields.Community.empty()) {
            throw EUsageError(
                "「このオントロジーを共有するコミュニティ」が指定されていません. (--community)");
        }
        fields.Creator = args.Has("creator") ? m_text.ToTable(*args.Value("creator"), "--creator")
                                             : session.Context.UserName();
        for (std::size_t i = 0; i < subs.size(); ++i) {
            fields.SubCategories.push_back(
                m_text.ToTable(subs[i], "--sub " + std::to_string(i + 1)));
        }
        const bool force = args.Has("force");
        if (RefuseExisting(out, force)) {
            return kExitFailure;
        }
        store::BuildWizardOntology(session.Store, session.Ontology, fields, session.Context.Now());
        if (!SaveAs(session, out, force)) {
            return kExitFailure;
        }
        m_out << "new: wrote " << out << " (" << session.Store.DtStOriginalConcepts.RecordCount()
              << " concepts)\n";
        return kExitOk;
    }

    int Info(const TParsedArguments& args) {
        RequirePositionals(args, 1, "FILE");
        TSession session;
        Load(session, args.Positionals[0]);
        WriteInfo(session.Store, session.Ontology, m_text, m_out);
        return kExitOk;
    }

    int Check(const TParsedArguments& args) {
        RequirePositionals(args, 1, "FILE");
        TSession session;
        Load(session, args.Positionals[0]);
        const std::string failOn = args.Value("fail-on").value_or("error");
        if (failOn != "error" && failOn != "warning" && failOn != "none") {
            throw EUsageError("--fail-on must be error, warning or none, not '" + failOn + "'");
        }
        const TCheckResult result = CheckOntology(session.Store, m_text);
        for (const TFinding& finding : result.Findings) {
            m_out << FormatFinding(finding) << '\n';
        }
        m_out << FormatSummary(result) << '\n';
        m_text.ReportUnreadable();
        const bool failed =
            (failOn != "none" && result.Errors > 0) || (failOn == "warning" && result.Warnings > 0);
        return failed ? kExitFailure : kExitOk;
    }

    int Copy(const TParsedArguments& args) {
        RequirePositionals(args, 2, "IN and OUT");
        const std::string& in = args.Positionals[0];
        const std::string& out = args.Positionals[1];
        const bool force = args.Has("force");
        if (RefuseExisting(out, force)) {
            return kExitFailure;
        }
        TSession session;
        Load(session, in);
        if (!SaveAs(session, out, force)) {
            return kExitFailure;
        }
        m_out << "copy: wrote " << out << '\n';
        return kExitOk;
    }

    int Resave(const TParsedArguments& args) {
        RequirePositionals(args, 1, "FILE");
        TSession session;
        Load(session, args.Positionals[0]);
        session.Store.SaveOntologyFile(session.Ontology, true);
        m_out << "resave: wrote " << args.Positionals[0]
              << BackupNote(session.Store, session.Ontology, m_err) << '\n';
        return kExitOk;
    }

    int Fix(const TParsedArguments& args) {
        RequirePositionals(args, 1, "FILE");
        TSession session;
        // Every save-time finding is removed and noted with its kind and the mirror image's
        // title.
        store::TFixedAnswer unused(TAnswer::Yes);
        engine::TDataModuleSeeker seeker(session.Store, unused);
        Load(session, args.Positionals[0]);
        std::vector<std::string> removed;
        seeker.RunSupportChecks([&removed](const engine::TSupportFinding& finding) {
            const char* kind = finding.Kind == engine::TSupportFindingKind::MirrorDuplicate
                                   ? "[mirror-duplicate] "
                                   : "[mirror-own-place] ";
            removed.push_back(kind + ("「" + store::Cp932ToUtf8(finding.Title)) + "」");
            return true;
        });
        for (const std::string& line : removed) {
            m_out << "fix: removed " << line << '\n';
        }
        if (const int joined = session.Store.MergeDuplicateLabels(); joined > 0) {
            m_out << "fix: joined " << joined << " label(s) into the label of the same text\n";
        }
        session.Store.SaveOntologyFile(session.Ontology, true);
        m_out << "fix: " << removed.size() << " mirror image(s) removed; wrote "
              << args.Positionals[0] << BackupNote(session.Store, session.Ontology, m_err) << '\n';
        // What fix cannot repair is still there: say so, so that a script does not take the
        // file for sound.
        const TCheckResult left = CheckOntology(session.Store, m_text);
        if (left.Errors > 0) {
            for (const TFinding& finding : left.Findings) {
                if (finding.Severity == TSeverity::Error) {
                    m_err << FormatFinding(finding) << '\n';
                }
            }
            m_err << kProgram << ": fix: " << left.Errors
                  << " error(s) remain that fix cannot repair\n";
            return kExitFailure;
        }
        return kExitOk;
    }

    int Generate(const TParsedArguments& args) {
        RequirePositionals(args, 2, "N and OUT");
        TGenerateOptions options;
        options.Concepts = ParseNumber<std::int32_t>(args.Positionals[0], 1, 100'000'000, "N");
        if (const auto seed = args.Value("seed")) {
            options.Seed = ParseNumber<std::uint64_t>(
                *seed, 0, std::numeric_limits<std::uint64_t>::max(), "--seed");
        }
        const std::string& out = args.Positionals[1];
        const bool force = args.Has("force");
        if (RefuseExisting(out, force)) {
            return kExitFailure;
        }
        TSession session;
        ApplyStamp(args, session);
        const TGenerateStats stats =
            GenerateOntology(session.Store, session.Ontology, session.Context, options);
        if (!SaveAs(session, out, force)) {
            return kExitFailure;
        }
        m_out << "generate: wrote " << out << " (" << stats.Concepts << " concepts, depth "
              << stats.MaxDepth << ", widest level " << stats.WidestLevel << " items, "
              << stats.MirrorImages << " mirror images, " << stats.Labels << " labels, "
              << stats.Associations << " associations)\n";
        return kExitOk;
    }

    int ImportCsv(const TParsedArguments& args) { return RunImportCsv(args, m_out, m_err, m_text); }
    int ExportCsv(const TParsedArguments& args) { return RunExportCsv(args, m_out, m_err, m_text); }
    int ExportDocx(const TParsedArguments& args) {
        return RunExportDocx(args, m_out, m_err, m_text);
    }
    int ExportRdf(const TParsedArguments& args) { return RunExportRdf(args, m_out, m_err, m_text); }
    int ImportRdf(const TParsedArguments& args) { return RunImportRdf(args, m_out, m_err, m_text); }
    int ImportText(const TParsedArguments& args) {
        return RunImportText(args, m_out, m_err, m_text);
    }
    int Search(const TParsedArguments& args) { return RunSearch(args, m_out, m_err, m_text); }

    int Help(const TParsedArguments& args) {
        if (args.Positionals.empty()) {
            m_out << GeneralHelp();
            return kExitOk;
        }
        RequirePositionals(args, 1, "COMMAND");
        const TCommand* command = Find(args.Positionals[0]);
        if (command == nullptr) {
            throw EUsageError("unknown command '" + args.Positionals[0] + "'");
        }
        m_out << command->Help;
        return kExitOk;
    }

    std::ostream& m_out;
    std::ostream& m_err;
    TTerminalText m_text;
};

}  // namespace

int RunCli(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
    return TRunner(out, err).Run(args);
}

}  // namespace velmora::cli
