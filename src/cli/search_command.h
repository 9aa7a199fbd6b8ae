// velmora-cli search: the search window's matching run on a file. The ontology is loaded and
// searched as the window searches (the chosen fields, a whole-character substring match, the
// Japanese-aware folding on request) or listed whole, and every hit is written as one line in
// ascending record order. The file is not changed.
#pragma once

#include <ostream>
#include <string_view>
#include <vector>

#include "arguments.h"
#include "terminal_text.h"

namespace velmora::cli {

extern const std::string_view kSearchHelp;
std::vector<TOptionSpec> SearchOptions();

// Exit status 0 with hits, 1 without; EUsageError for a wrong command line; store and file
// errors pass on as exceptions.
int RunSearch(const TParsedArguments& args, std::ostream& out, std::ostream& err,
              TTerminalText& text);

}  // namespace velmora::cli
