// velmora-cli: headless commands over ontology files for users and scripts — build a new
// ontology as the wizard does, show what a file holds, check it, copy or re-save it, and write
// synthetic ontologies for benchmarks.
//
// RunCli takes the arguments after the program name and writes the commands' output to `out`
// and every error and warning to `err`; main() only hands over argv and the standard streams,
// so tests drive the commands the same way. Messages of the store are passed on as they are
// (Japanese), with LF line breaks; usage texts are English.
#pragma once

#include <ostream>
#include <span>
#include <string>

namespace velmora::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // the command failed, or check found errors
inline constexpr int kExitUsage = 2;    // the command line is wrong

int RunCli(std::span<const std::string> args, std::ostream& out, std::ostream& err);

}  // namespace velmora::cli
