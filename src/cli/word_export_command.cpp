#include "word_export_command.h"

#include <filesystem>
#include <string>

#include "cli.h"
#include "loaded_ontology.h"
#include "output_files.h"
#include "progress_lines.h"
#include "word_export.h"

namespace velmora::cli {

const std::string_view kExportDocxHelp =
    R"(Usage: velmora-cli export-docx FILE.ont OUT.docx [--force]

Writes the whole ontology of FILE.ont as a word-processing document OUT.docx, as the desktop
program's Word export (Microsoft Word 形式) does: a title page with the metadata (対象, 作成者,
the description and the community), a page 目次 with the table of contents, and for the top
concept and every concept with subconcepts a new page with its path, a tree diagram of its
parent, its kids and their kids, and the details of the concept and its kids in two columns.

Page numbers, page references and the table of contents are fields: Word updates them when it
opens the document; in LibreOffice use Tools > Update > Update All. FILE.ont is not changed.
Progress (sections written / total) goes to stderr.

  --force  replace an existing OUT.docx
)";

std::vector<TOptionSpec> ExportDocxOptions() {
    return {{"force", false}};
}

int RunExportDocx(const TParsedArguments& args, std::ostream& out, std::ostream& err,
                  TTerminalText& /*text*/) {
    RequirePositionals(args, 2, "FILE.ont and OUT.docx");
    const std::string& in = args.Positionals[0];
    const std::string& docx = args.Positionals[1];
    if (RefuseOutput(docx, args.Has("force"), err)) {
        return kExitFailure;
    }

    TLoadedOntology loaded(in);
    int sections = 0;
    TProgressLines progress(err, "export-docx", "sections");
    exchange::ExportWordFile(loaded.Store, loaded.Ontology, docx, [&](int done, int total) {
        sections = total;
        progress(done, total);
    });
    out << "export-docx: wrote " << docx << " (" << loaded.Store.DtStOriginalConcepts.RecordCount()
        << " concepts, " << sections << " sections)\n";
    return kExitOk;
}

}  // namespace velmora::cli
