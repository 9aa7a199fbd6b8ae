#include "search_command.h"

#include <string>

#include "cli.h"
#include "concept_search.h"
#include "data_module.h"
#include "date_time.h"
#include "loaded_ontology.h"
#include "ontology.h"
#include "ontology_tables.h"

namespace velmora::cli {

const std::string_view kSearchHelp =
    R"(Usage: velmora-cli search FILE TEXT [--field FIELD]... [--fuzzy]
       velmora-cli search FILE --all

Finds the concepts of FILE whose chosen fields contain TEXT, as the desktop program's search
window (検索) does, and writes one line per concept in ascending record order:

  RECORD_NO <TAB> IDENTIFIER <TAB> TITLE <TAB> CREATED <TAB> EDITED <TAB> EDITOR

with the dates as YYYY/MM/DD hh:mm:ss. TEXT matches as an exact, case-sensitive part of the
text on whole characters; a concept found through several fields or labels is listed once.
Exit status 0 when something was found, 1 when nothing was (nothing is written then).

  --field FIELD  where to look: title (the default), description, comment, editor or
                 label (the language labels); repeat it to look in several fields
  --fuzzy        表記ゆれを無視: full-width and half-width letters, digits and katakana, and
                 hiragana and katakana, match each other (case still counts)
  --all          list every concept instead of searching (TEXT is not given then)

FILE is not changed.
)";

std::vector<TOptionSpec> SearchOptions() {
    return {{"field", true, true}, {"fuzzy", false}, {"all", false}};
}

namespace {

std::string MomentText(store::TDateTime moment) {
    const store::TCivilTime c = moment.ToCivil();
    const auto two = [](int n) { return std::string(n < 10 ? "0" : "") + std::to_string(n); };
    return std::to_string(c.Year) + "/" + two(c.Month) + "/" + two(c.Day) + " " +
           store::TimeOfDayText(moment);
}

search::TSearchFields ParseFields(const std::vector<std::string>& names) {
    if (names.empty()) {
        return {};
    }
    search::TSearchFields fields;
    fields.Title = false;
    for (const std::string& name : names) {
        if (name == "title") {
            fields.Title = true;
        } else if (name == "description") {
            fields.Description = true;
        } else if (name == "comment") {
            fields.Comment = true;
        } else if (name == "editor") {
            fields.Editor = true;
        } else if (name == "label") {
            fields.Term = true;
        } else {
            throw EUsageError(
                "--field must be title, description, comment, editor or label, not '" + name + "'");
        }
    }
    return fields;
}

}  // namespace

int RunSearch(const TParsedArguments& args, std::ostream& out, std::ostream& /*err*/,
              TTerminalText& text) {
    const bool all = args.Has("all");
    search::TSearchOptions options;
    if (all) {
        if (args.Has("field") || args.Has("fuzzy")) {
            throw EUsageError("--all lists every concept and takes no --field or --fuzzy");
        }
        RequirePositionals(args, 1, "FILE (--all takes no TEXT)");
    } else {
        RequirePositionals(args, 2, "FILE and TEXT");
        options.Fields = ParseFields(args.Values("field"));
        options.Fuzzy = args.Has("fuzzy");
    }
    std::string needle;
    if (!all) {
        needle = text.ToTable(args.Positionals[1], "TEXT");
        if (needle.empty()) {
            throw EUsageError("TEXT is empty (検索文字列を入力してください.)");
        }
    }

    TLoadedOntology loaded(args.Positionals[0]);
    store::TDataModule1& data = loaded.Store;

    search::TConceptSearch search(data);
    const search::TSearchResult result = all ? search.ShowAll() : search.Search(needle, options);
    const search::TConceptSnapshot& snapshot = *result.Snapshot;

    // The identifier is shown here only, so the snapshot does not carry it: one pass over the
    // concept table picks up those of the hits.
    std::vector<std::string> identifiers(snapshot.Count());
    std::vector<std::uint8_t> wanted(snapshot.Count(), 0);
    for (const std::uint32_t row : result.Rows) {
        wanted[row] = 1;
    }
    store::TTable& concepts = data.DtStOriginalConcepts;
    const int recordNo = concepts.FindFieldIndex(store::kFieldRecordNo);
    const int identifier = concepts.FindFieldIndex(store::kFieldIdentifier);
    concepts.ForEachRecordView([&](const store::TRecordView& record) {
        const std::size_t row = snapshot.RowOf(record.Integer(recordNo));
        if (row != search::TConceptSnapshot::npos && wanted[row] != 0) {
            identifiers[row] = record.Text(identifier);
        }
    });

    for (const std::uint32_t row : result.Rows) {
        out << snapshot.RecordNo(row) << '\t' << OneLine(text.ToTerminal(identifiers[row])) << '\t'
            << OneLine(text.ToTerminal(snapshot.Title(row))) << '\t'
            << MomentText(snapshot.Created(row)) << '\t' << MomentText(snapshot.Edited(row)) << '\t'
            << OneLine(text.ToTerminal(snapshot.Editor(row))) << '\n';
    }
    text.ReportUnreadable();
    return result.Rows.empty() ? kExitFailure : kExitOk;
}

}  // namespace velmora::cli
