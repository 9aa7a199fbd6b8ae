// Command-line arguments of one velmora-cli command: positional words and "--name value"
// options, checked against the options the command accepts. Anything the command does not
// accept is a usage error (exit code 2), reported in English with the offending word.
//
// Values are kept as the terminal gave them (UTF-8); converting them for the tables is the
// command's business, so that a warning can name the option.
#pragma once

#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::cli {

// A wrong command line. The message says what is wrong; the caller adds the usage hint.
class EUsageError : public std::runtime_error {
public:
    explicit EUsageError(const std::string& message) : std::runtime_error(message) {}
};

struct TOptionSpec {
    std::string_view Name;  // without the leading "--"
    bool TakesValue = false;
    bool Repeatable = false;
};

class TParsedArguments {
public:
    std::vector<std::string> Positionals;

    bool Has(std::string_view name) const;
    // The value of a single-valued option, if it was given.
    std::optional<std::string> Value(std::string_view name) const;
    // Every value of a repeatable option, in command-line order.
    std::vector<std::string> Values(std::string_view name) const;

    void Add(std::string_view name, std::string value);

private:
    std::vector<std::pair<std::string, std::string>> m_options;
};

// Accepts "--name value" and "--name=value" for options with a value, "--name" for flags, and
// "--" to end the options (everything after it is positional). A word that starts with "-" and
// is not "-" itself is taken as an option. EUsageError for an unknown option, a missing value,
// a value given to a flag, or a single-valued option given twice.
TParsedArguments ParseArguments(std::span<const std::string> args,
                                std::span<const TOptionSpec> options);

// Exactly `count` positionals, else EUsageError naming what is missing or extra.
void RequirePositionals(const TParsedArguments& args, std::size_t count, std::string_view names);

}  // namespace velmora::cli
