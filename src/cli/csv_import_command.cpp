#include "csv_import_command.h"

#include <charconv>
#include <optional>
#include <string>

#include "csv_import.h"
#include "data_module.h"
#include "file_system.h"
#include "invalid_bytes_answer.h"
#include "ontology.h"
#include "ontology_tables.h"
#include "output_files.h"

namespace velmora::cli {

using exchange::TCsvField;
using exchange::TCsvImportWizard;
using exchange::TImportPlace;

const std::string_view kImportCsvHelp =
    R"(Usage: velmora-cli import-csv FILE.ont IN.csv (--under N | --beside N | --replace)
           [--map FIELD=COLUMN]... [--skip-header] [--separator S] [--keep-invalid]
           [--encoding auto|cp932|utf-8] [--user NAME]

Imports the rows of IN.csv as new concepts of FILE.ont, as the CSV import wizard does, and
saves FILE.ont in place (the previous version is kept as "バックアップ-FILE.ont"). Each data
row becomes one concept with a new identifier, the current date and, when the row names no
editor, the editor 無記名; labels are reused when a label of the same text exists. With an
identifier and a parent-identifier column the rows are linked into their own hierarchy.

Where the new concepts go (exactly one):
  --under N     under concept N (its RECORD_NO)
  --beside N    beside concept N, under its parent (not for the top concept)
  --replace     in place of all concepts, mirror images, labels and associations; needs a
                parent-identifier column and exactly one row at the top of the file's hierarchy

Fields:
  --map FIELD=COLUMN  column COLUMN (from 1; 0 for none) feeds FIELD: title, description,
                      comment, labels, editor, id, parent. With --map only the fields named
                      are assigned; without it the first column is the title, and the header
                      of a file written by the CSV export assigns all seven fields, skips the
                      header row and splits labels at line breaks.
  --skip-header       the first row is not data
  --separator S       labels of one cell are separated by S ("\n" line break, "\t" tab)
  --keep-invalid      import bytes that are not code page 932 as they are (otherwise such a
                      file is refused, naming its first bad line); a zero byte becomes "?"
  --encoding E        how IN.csv is written: auto (default: UTF-8 when it starts with a
                      byte-order mark or is UTF-8 with non-ASCII characters, else cp932),
                      cp932 (Shift-JIS) or utf-8; characters code page 932 cannot hold
                      become "?" and are counted
  --user NAME         the editor of rows that name none (default 無記名)

The wizard's checks (title column, identifier column, unique identifiers, a single top row
for --replace), a refusal of parent identifiers that lead in a circle, a file without rows
and a quote the CSV dialect cannot close (named by its line) are reported on stderr with exit
status 1; nothing is changed then.
)";

const std::vector<TOptionSpec>& ImportCsvOptions() {
    static const std::vector<TOptionSpec> options = {
        {"under", true},         {"beside", true},       {"replace", false},
        {"map", true, true},     {"skip-header", false}, {"separator", true},
        {"keep-invalid", false}, {"encoding", true},     {"user", true},
    };
    return options;
}

namespace {

std::int32_t ParseInt(std::string_view text, std::int32_t min, std::string_view what) {
    std::int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < min) {
        throw EUsageError(std::string(what) + " must be a whole number of at least " +
                          std::to_string(min) + ", not '" + std::string(text) + "'");
    }
    return value;
}

std::optional<TCsvField> FieldNamed(std::string_view name) {
    struct TName {
        std::string_view Name;
        TCsvField Field;
    };
    static constexpr TName kNames[] = {
        {"title", TCsvField::Title},
        {"description", TCsvField::Description},
        {"comment", TCsvField::Comment},
        {"labels", TCsvField::Labels},
        {"editor", TCsvField::Editor},
        {"id", TCsvField::Identifier},
        {"parent", TCsvField::ParentIdentifier},
    };
    for (const TName& entry : kNames) {
        if (entry.Name == name) {
            return entry.Field;
        }
    }
    return std::nullopt;
}

// The wizard's two questions on loading, answered from the command line: unreadable bytes as
// --keep-invalid says, a broken quote always with No (the command refuses such a file).
class TCsvLoadAnswers : public store::TQuestioner {
public:
    TCsvLoadAnswers(bool keepInvalid, const TCsvImportWizard& wizard)
        : m_keep(keepInvalid), m_wizard(wizard) {}
    store::TAnswer Ask(store::TMessageKind, store::TButtons, const std::string& text) override {
        Asked = text;
        // The wizard notes the broken quote's line before it asks about it.
        const bool keep = m_wizard.BrokenQuoteLine() == 0 && m_keep;
        return keep ? store::TAnswer::Yes : store::TAnswer::No;
    }
    std::string Asked;

private:
    bool m_keep;
    const TCsvImportWizard& m_wizard;
};

// The top concept (the lowest number with PARENT_NO 0), or 0 when there is none.
std::int32_t TopConcept(store::TDataModule1& s) {
    store::TCursor c;
    c.CloneCursor(s.DtStOriginalConcepts, true);
    c.SetIndexFieldNames(store::kFieldRecordNo);
    return c.Locate(store::kFieldParentNo, store::TValue(std::int32_t{0}))
               ? c.FieldByName(store::kFieldRecordNo).AsInteger()
               : 0;
}

}  // namespace

int RunImportCsv(const TParsedArguments& args, std::ostream& out, std::ostream& err,
                 TTerminalText& text) {
    RequirePositionals(args, 2, "FILE.ont and IN.csv");
    const std::string& ontologyPath = args.Positionals[0];
    const std::string& csvPath = args.Positionals[1];
    const int places =
        (args.Has("under") ? 1 : 0) + (args.Has("beside") ? 1 : 0) + (args.Has("replace") ? 1 : 0);
    if (places != 1) {
        throw EUsageError("give exactly one of --under N, --beside N and --replace");
    }
    std::vector<std::pair<TCsvField, std::int32_t>> mapping;
    for (const std::string& map : args.Values("map")) {
        const std::size_t eq = map.find('=');
        const std::optional<TCsvField> field =
            eq == std::string::npos ? std::nullopt : FieldNamed(map.substr(0, eq));
        if (!field) {
            throw EUsageError(
                "--map must be FIELD=COLUMN with FIELD one of title, description, "
                "comment, labels, editor, id, parent; not '" +
                map + "'");
        }
        mapping.emplace_back(*field, ParseInt(map.substr(eq + 1), 0, "the column of --map"));
    }
    std::optional<std::string> separator;
    if (const auto given = args.Value("separator")) {
        separator = text.ToTable(*given, "--separator");
    }
    const exchange::TImportEncoding encoding = ParseEncodingOption(args);

    store::TSimpleStoreContext context;
    if (const auto user = args.Value("user")) {
        context.SetUserName(text.ToTable(*user, "--user"));
    }
    store::TFixedAnswer noOverwrite(store::TAnswer::No);
    store::TDataModule1 store(context);
    store.SetQuestioner(noOverwrite);
    store::TOntology ontology;
    ontology.SetFileName(ontologyPath);
    store.LoadOntologyFile(ontology);

    std::int32_t current = 0;
    TImportPlace place = TImportPlace::Replace;
    if (const auto under = args.Value("under")) {
        current = ParseInt(*under, 1, "--under");
        place = TImportPlace::SubConcept;
    } else if (const auto beside = args.Value("beside")) {
        current = ParseInt(*beside, 1, "--beside");
        place = TImportPlace::Workspace;
    } else {
        current = TopConcept(store);
    }
    if (current != 0 &&
        !store.DtStOriginalConcepts.Locate(store::kFieldRecordNo, store::TValue(current))) {
        err << "velmora-cli import-csv: there is no concept " << current << " in '" << ontologyPath
            << "'\n";
        return 1;
    }

    TCsvImportWizard wizard(store, context, current);
    TCsvLoadAnswers answers(args.Has("keep-invalid"), wizard);
    std::string bytes = exchange::ReadCSVBytes(store::RealFileSystem(), csvPath, answers);
    if (!wizard.LoadBytes(std::move(bytes), csvPath, encoding, answers)) {
        err << "velmora-cli import-csv: "
            << ToUnixLineBreaks(answers.Asked.substr(0, answers.Asked.find("\r\n"))) << " ('"
            << csvPath << "'"
            << (wizard.BrokenQuoteLine() != 0 ? "; nothing was imported"
                                              : "; --keep-invalid imports the bytes as they are")
            << ")\n";
        return 1;
    }
    ReportEncoding(out, "import-csv", csvPath, wizard.Encoding(), wizard.ReplacedCharacters());
    if (place == TImportPlace::Workspace && !wizard.PlaceEnabled(place)) {
        err << "velmora-cli import-csv: concept " << current
            << " is the top concept; it has no level to import beside (use --under)\n";
        return 1;
    }
    wizard.SetPlace(place);
    if (!mapping.empty()) {
        for (int f = 0; f < exchange::kCsvFieldCount; ++f) {
            wizard.Select(static_cast<TCsvField>(f), 0);
        }
        wizard.SetIgnoreHeader(false);
        wizard.SetSeparator("");
        const int columns = wizard.Grid().ColumnCount();
        for (const auto& [field, column] : mapping) {
            if (column > columns) {
                err << "velmora-cli import-csv: --map column " << column << " is beyond the "
                    << columns << " column(s) of '" << csvPath << "'\n";
                return 1;
            }
            wizard.Select(field, column);
        }
    }
    if (args.Has("skip-header")) {
        wizard.SetIgnoreHeader(true);
    }
    if (separator) {
        wizard.SetSeparator(*separator);
    }
    if (const std::optional<std::string> message = wizard.Validate()) {
        err << "velmora-cli import-csv: " << ToUnixLineBreaks(*message) << '\n';
        return 1;
    }

    const exchange::TCsvImportResult result = wizard.Import();
    store.SaveOntologyFile(ontology, true);

    out << "import-csv: created " << result.Concepts.size() << " concept(s)";
    if (!result.Concepts.empty()) {
        out << " (#" << result.Concepts.front() << " to #" << result.Concepts.back() << ")";
    }
    if (result.BaseParent == 0) {
        out << " in place of all concepts";
    } else {
        store.DtStOriginalConcepts.Locate(store::kFieldRecordNo, store::TValue(result.BaseParent));
        out << " under #" << result.BaseParent << " 「"
            << OneLine(text.ToTerminal(
                   store.DtStOriginalConcepts.FieldByName(store::kFieldTitle).AsString()))
            << "」";
    }
    out << ", " << result.TopRows << " at the top of the import, " << result.NewLabels
        << " new label(s), " << result.Associations << " association(s)\n";
    if (result.BaseParent == 0 && !result.Concepts.empty()) {
        // The one top row is the new top concept.
        store::TTable& concepts = store.DtStOriginalConcepts;
        if (concepts.Locate(store::kFieldParentNo, store::TValue(std::int32_t{0}))) {
            out << "import-csv: top concept #"
                << concepts.FieldByName(store::kFieldRecordNo).AsInteger() << " 「"
                << OneLine(text.ToTerminal(concepts.FieldByName(store::kFieldTitle).AsString()))
                << "」\n";
        }
    }
    text.ReportUnreadable();
    out << "import-csv: wrote " << ontologyPath << BackupNote(store, ontology, err) << '\n';
    return 0;
}

}  // namespace velmora::cli
