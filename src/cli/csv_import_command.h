// velmora-cli import-csv: the CSV import wizard run from options. The file is read and checked
// exactly as the wizard reads and checks it; the field assignment comes from --map, or, without
// it, from the wizard's own recognition of an exported file's header. The ontology is then saved
// in place with the save rules (the previous version kept as its backup).
#pragma once

#include <ostream>
#include <string_view>
#include <vector>

#include "arguments.h"
#include "terminal_text.h"

namespace velmora::cli {

extern const std::string_view kImportCsvHelp;
const std::vector<TOptionSpec>& ImportCsvOptions();

// Validation messages and a refused file go to err with exit status 1; EUsageError for a wrong
// command line; store and file errors pass on as exceptions.
int RunImportCsv(const TParsedArguments& args, std::ostream& out, std::ostream& err,
                 TTerminalText& text);

}  // namespace velmora::cli
