// velmora-cli export-docx: the Word export run from the command line. The ontology is loaded,
// written as one .docx document (title page, table of contents, a section with a tree diagram
// and details per concept with subconcepts) and left unchanged; progress goes to stderr, as the
// export of a large ontology takes a while.
#pragma once

#include <ostream>
#include <string_view>
#include <vector>

#include "arguments.h"
#include "terminal_text.h"

namespace velmora::cli {

extern const std::string_view kExportDocxHelp;
std::vector<TOptionSpec> ExportDocxOptions();

// An existing OUT.docx without --force goes to err with exit status 1; EUsageError for a wrong
// command line; store and file errors pass on as exceptions.
int RunExportDocx(const TParsedArguments& args, std::ostream& out, std::ostream& err,
                  TTerminalText& text);

}  // namespace velmora::cli
