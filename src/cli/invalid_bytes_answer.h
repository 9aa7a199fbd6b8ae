// The imports' question about bytes code page 932 cannot read, answered from the command line
// (--keep-invalid goes on, else the import stops), keeping the question for the error message;
// and the --encoding option they share.
#pragma once

#include <ostream>
#include <string>
#include <string_view>

#include "arguments.h"
#include "import_encoding.h"
#include "questions.h"

namespace velmora::cli {

// --encoding of the imports: auto (the default), cp932 or utf-8; EUsageError for another name.
inline exchange::TImportEncoding ParseEncodingOption(const TParsedArguments& args) {
    const auto given = args.Value("encoding");
    if (!given) {
        return exchange::TImportEncoding::Auto;
    }
    const std::optional<exchange::TImportEncoding> encoding = exchange::ParseImportEncoding(*given);
    if (!encoding) {
        throw EUsageError("--encoding must be auto, cp932 or utf-8, not '" + *given + "'");
    }
    return *encoding;
}

// Says how an imported file was read when it was not plain code page 932, or lost characters.
inline void ReportEncoding(std::ostream& out, std::string_view command, const std::string& path,
                           exchange::TImportEncoding encoding, int replaced) {
    if (encoding == exchange::TImportEncoding::Cp932 && replaced == 0) {
        return;
    }
    out << command << ": read " << path << " as " << exchange::ImportEncodingName(encoding);
    if (replaced != 0) {
        out << "; " << replaced << " character(s) code page 932 cannot hold became \"?\"";
    }
    out << '\n';
}

// Answers the unreadable-bytes question as the command line says and keeps what it was asked.
class TInvalidBytesAnswer : public store::TQuestioner {
public:
    explicit TInvalidBytesAnswer(bool keep) : m_keep(keep) {}
    store::TAnswer Ask(store::TMessageKind, store::TButtons, const std::string& text) override {
        Asked = text;
        return m_keep ? store::TAnswer::Yes : store::TAnswer::No;
    }
    std::string Asked;

private:
    bool m_keep;
};

}  // namespace velmora::cli
