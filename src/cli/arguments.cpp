#include "arguments.h"

#include <algorithm>

namespace velmora::cli {

bool TParsedArguments::Has(std::string_view name) const {
    return std::any_of(m_options.begin(), m_options.end(),
                       [&](const auto& option) { return option.first == name; });
}

std::optional<std::string> TParsedArguments::Value(std::string_view name) const {
    for (const auto& [key, value] : m_options) {
        if (key == name) {
            return value;
        }
    }
    return std::nullopt;
}

std::vector<std::string> TParsedArguments::Values(std::string_view name) const {
    std::vector<std::string> values;
    for (const auto& [key, value] : m_options) {
        if (key == name) {
            values.push_back(value);
        }
    }
    return values;
}

void TParsedArguments::Add(std::string_view name, std::string value) {
    m_options.emplace_back(std::string(name), std::move(value));
}

TParsedArguments ParseArguments(std::span<const std::string> args,
                                std::span<const TOptionSpec> options) {
    TParsedArguments parsed;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& word = args[i];
        if (optionsEnded || word == "-" || word.empty() || word[0] != '-') {
            parsed.Positionals.push_back(word);
            continue;
        }
        if (word == "--") {
            optionsEnded = true;
            continue;
        }
        if (word.size() < 3 || word[1] != '-') {
            throw EUsageError("unknown option '" + word + "'");
        }
        const std::size_t equals = word.find('=');
        const std::string name = word.substr(2, equals == std::string::npos ? equals : equals - 2);
        const auto option = std::find_if(options.begin(), options.end(),
                                         [&](const TOptionSpec& s) { return s.Name == name; });
        if (option == options.end()) {
            throw EUsageError("unknown option '--" + name + "'");
        }
        if (!option->Repeatable && parsed.Has(name)) {
            throw EUsageError("option '--" + name + "' given twice");
        }
        if (!option->TakesValue) {
            if (equals != std::string::npos) {
                throw EUsageError("option '--" + name + "' takes no value");
            }
            parsed.Add(name, "");
            continue;
        }
        if (equals != std::string::npos) {
            parsed.Add(name, word.substr(equals + 1));
        } else if (i + 1 < args.size()) {
            parsed.Add(name, args[++i]);
        } else {
            throw EUsageError("option '--" + name + "' needs a value");
        }
    }
    return parsed;
}

void RequirePositionals(const TParsedArguments& args, std::size_t count, std::string_view names) {
    if (args.Positionals.size() < count) {
        throw EUsageError("missing " + std::string(names));
    }
    if (args.Positionals.size() > count) {
        throw EUsageError("unexpected argument '" + args.Positionals[count] + "'");
    }
}

}  // namespace velmora::cli
