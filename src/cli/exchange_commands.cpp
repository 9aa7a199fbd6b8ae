#include "exchange_commands.h"

#include <charconv>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "cli.h"
#include "code_page.h"
#include "csv_export.h"
#include "data_module.h"
#include "invalid_bytes_answer.h"
#include "loaded_ontology.h"
#include "ontology.h"
#include "ontology_tables.h"
#include "output_files.h"
#include "seeker.h"
#include "text_import.h"

namespace velmora::cli {

const std::string_view kExportCsvHelp =
    R"help(Usage: velmora-cli export-csv FILE.ont OUT.csv [--concept N]... [--force]

Writes concepts of FILE.ont with everything below them to OUT.csv, as the desktop program's
CSV export (CSV 形式) does: a header line and one line per concept with the columns
<タイトル>, <解説>, <コメント>, <言語ラベル> (the labels joined by CR LF), <最終更新者>,
<概念識別子> and <上位概念> (the parent's identifier, "(NULL)" for a chosen concept and for the
top concept), every field in double quotes, code page 932, CR LF after every line.

The walk is depth first in list order; a mirror image leads to the concept it shows, and a
concept reached a second time is written only at its first place.

  --concept N  export concept number N with its subtree; repeat for several, in order
               (default: the top concept, which writes the whole hierarchy)
  --force      replace an existing OUT.csv

A concept number that does not exist fails with exit status 1 and writes no file.
)help";

const std::string_view kImportTextHelp =
    R"(Usage: velmora-cli import-text FILE.ont IN.txt (--beside N | --mirror L)
           [--keep-invalid] [--encoding auto|cp932|utf-8] [--user NAME]

Adds one concept per line of IN.txt to FILE.ont, as the desktop program's text import
(テキスト形式) does, and saves FILE.ont in place (the previous version is kept as
"バックアップ-FILE.ont"). Each line becomes the title and the language label of a new
concept, in file order. IN.txt is code page 932 (Shift-JIS) or UTF-8 (see --encoding); lines
end at CR, LF or CR LF.
Empty lines and lines of only spaces, tabs or ideographic spaces (　) are skipped; other lines
are taken as they stand.

Where the concepts go is decided by the current item, as in the desktop program: beside it,
under the concept it is shown under; when the current item is the top concept, under the top
concept itself. There is no free choice of the parent: to add under concept P, name one of
P's children (or P itself when P is the top concept).

  --beside N      the current item is concept N: the new concepts go under N's parent
  --mirror L      the current item is mirror image L: the new concepts go under the concept
                  that holds the mirror image
  --keep-invalid  bytes that are not code page 932 are imported as they are; without it the
                  command names the first such line and stops (exit status 1, nothing changed);
                  a zero byte becomes "?"
  --encoding E    how IN.txt is written: auto (default: UTF-8 when it starts with a byte-order
                  mark or is UTF-8 with non-ASCII characters, else cp932), cp932 or utf-8;
                  characters code page 932 cannot hold become "?" and are counted
  --user NAME     the user name written as EDITOR of the new concepts (default 無記名)

When no line makes a concept, nothing is saved.
)";

std::vector<TOptionSpec> ExportCsvOptions() {
    return {{"concept", true, true}, {"force", false}};
}

std::vector<TOptionSpec> ImportTextOptions() {
    return {{"beside", true},
            {"mirror", true},
            {"keep-invalid", false},
            {"encoding", true},
            {"user", true}};
}

namespace {

constexpr std::string_view kProgram = "velmora-cli";

std::int32_t ParseRecordNumber(const std::string& text, std::string_view what) {
    std::int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 1) {
        throw EUsageError(std::string(what) + " must be a record number (1 or more), not '" + text +
                          "'");
    }
    return value;
}

// One ontology loaded with a seeker over it; the store asks nothing (saves are in place).
struct TExchangeSession : TLoadedOntology {
    engine::TDataModuleSeeker Seeker{Store, Answers};

    explicit TExchangeSession(const std::string& path) : TLoadedOntology(path) {}

    std::string TitleOf(std::int32_t no) {
        store::TTable& c = Store.DtStOriginalConcepts;
        return c.Locate(store::kFieldRecordNo, store::TValue(no))
                   ? c.FieldByName(store::kFieldTitle).AsString()
                   : std::string();
    }
};

}  // namespace

int RunExportCsv(const TParsedArguments& args, std::ostream& out, std::ostream& err,
                 TTerminalText& /*text*/) {
    RequirePositionals(args, 2, "FILE.ont and OUT.csv");
    const std::string& in = args.Positionals[0];
    const std::string& csv = args.Positionals[1];
    std::vector<std::int32_t> numbers;
    for (const std::string& value : args.Values("concept")) {
        numbers.push_back(ParseRecordNumber(value, "--concept"));
    }
    if (RefuseOutput(csv, args.Has("force"), err)) {
        return kExitFailure;
    }

    TExchangeSession session(in);
    store::TConceptList items;
    if (numbers.empty()) {
        items.AddNew().Assign(session.Seeker.GetTopNode());
    }
    for (const std::int32_t no : numbers) {
        store::TConceptData& item = items.AddNew();
        item.SetConceptNo(no);
        item.SetTitle(session.TitleOf(no));
    }
    exchange::TDataModuleExport exporter(session.Store, session.Seeker);
    store::TFixedAnswer confirm(store::TAnswer::Ok);
    const std::optional<int> written = exporter.ExportCSV(
        items, session.Ontology, confirm,
        [&](const exchange::TSaveFileRequest&) -> std::optional<std::string> { return csv; });
    out << "export-csv: wrote " << csv << " (" << written.value_or(0) << " concepts from "
        << items.Count() << " starting point" << (items.Count() == 1 ? "" : "s") << ")\n";
    return kExitOk;
}

int RunImportText(const TParsedArguments& args, std::ostream& out, std::ostream& err,
                  TTerminalText& text) {
    RequirePositionals(args, 2, "FILE.ont and IN.txt");
    const std::string& ont = args.Positionals[0];
    const std::string& txt = args.Positionals[1];
    const auto beside = args.Value("beside");
    const auto mirror = args.Value("mirror");
    if (beside.has_value() == mirror.has_value()) {
        throw EUsageError("give the current item: either --beside N or --mirror L");
    }
    store::TConceptData current;
    if (beside) {
        current.SetConceptNo(ParseRecordNumber(*beside, "--beside"));
    } else {
        current.SetIsLink(true);
        current.LinkNo = ParseRecordNumber(*mirror, "--mirror");
    }

    TExchangeSession session(ont);
    if (const auto user = args.Value("user")) {
        session.Context.SetUserName(text.ToTable(*user, "--user"));
    }
    if (current.IsLink()) {
        store::TTable& n = session.Store.DtStOriginalNetWork;
        if (n.Locate(store::kFieldRecordNo, store::TValue(current.LinkNo))) {
            current.SetConceptNo(n.FieldByName(store::kFieldRecordNoTo).AsInteger());
        }
    }
    const exchange::TImportEncoding encoding = ParseEncodingOption(args);
    TInvalidBytesAnswer answer(args.Has("keep-invalid"));
    const exchange::TTextImportResult result = exchange::ImportTextFile(
        session.Store, current, txt, answer, store::RealFileSystem(), encoding);
    if (result.Stopped) {
        err << kProgram << ": " << txt << ": line " << result.UnreadableLine
            << " holds bytes that are not code page 932 (Shift-JIS); nothing was imported. "
            << "Use --keep-invalid to import them as they are.\n";
        return kExitFailure;
    }
    if (result.UnreadableLine != 0) {
        err << kProgram << ": warning: " << txt << ": bytes that are not code page 932 from line "
            << result.UnreadableLine << " on were imported as they are\n";
    }
    ReportEncoding(out, "import-text", txt, result.Encoding, result.Replaced);
    const std::string parent = text.ToTerminal(session.TitleOf(result.Parent));
    for (const std::int32_t no : result.Created) {
        out << "import-text: created #" << no << " 「" << text.ToTerminal(session.TitleOf(no))
            << "」\n";
    }
    if (result.Created.empty()) {
        out << "import-text: no line makes a concept; " << ont << " left unchanged\n";
        text.ReportUnreadable();
        return kExitOk;
    }
    session.Store.SaveOntologyFile(session.Ontology, true);
    out << "import-text: " << result.Created.size() << " concept(s) under #" << result.Parent
        << " 「" << parent << "」; wrote " << ont
        << BackupNote(session.Store, session.Ontology, err) << '\n';
    text.ReportUnreadable();
    return kExitOk;
}

}  // namespace velmora::cli
