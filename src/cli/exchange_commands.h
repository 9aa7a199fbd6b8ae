// The exchange commands of velmora-cli: export-csv writes concepts with their subtrees as the
// desktop program's CSV export does, and import-text adds one concept per line of a text file
// beside a given item, as the text import does, then saves the ontology in place.
//
// Both run the exchange layer's own code with the answers the command line gives: the export's
// confirmation is taken as given and the output name replaces the save dialog; unreadable
// bytes in an imported file stop the import unless --keep-invalid says to go on. Output goes
// to `out`, warnings and errors to `err`; failures are exceptions the command runner reports.
#pragma once

#include <ostream>
#include <string_view>
#include <vector>

#include "arguments.h"
#include "terminal_text.h"

namespace velmora::cli {

extern const std::string_view kExportCsvHelp;
extern const std::string_view kImportTextHelp;
std::vector<TOptionSpec> ExportCsvOptions();
std::vector<TOptionSpec> ImportTextOptions();

int RunExportCsv(const TParsedArguments& args, std::ostream& out, std::ostream& err,
                 TTerminalText& text);
int RunImportText(const TParsedArguments& args, std::ostream& out, std::ostream& err,
                  TTerminalText& text);

}  // namespace velmora::cli
