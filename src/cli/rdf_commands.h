// The RDF commands of velmora-cli: export-rdf writes the whole ontology as SKOS or OWL in
// Turtle, RDF/XML or N-Triples; import-rdf makes a new .ont file from such a file (or one of the
// many published vocabularies in these forms). Both run the exchange layer (rdf_export.h,
// rdf_import.h); progress goes to stderr for large files, as the Word export's does.
#pragma once

#include <ostream>
#include <string_view>
#include <vector>

#include "arguments.h"
#include "terminal_text.h"

namespace velmora::cli {

extern const std::string_view kExportRdfHelp;
extern const std::string_view kImportRdfHelp;
std::vector<TOptionSpec> ExportRdfOptions();
std::vector<TOptionSpec> ImportRdfOptions();

// An existing output without --force goes to err with exit status 1; EUsageError for a wrong
// command line; parser, store and file errors pass on as exceptions (no output is written).
int RunExportRdf(const TParsedArguments& args, std::ostream& out, std::ostream& err,
                 TTerminalText& text);
int RunImportRdf(const TParsedArguments& args, std::ostream& out, std::ostream& err,
                 TTerminalText& text);

}  // namespace velmora::cli
