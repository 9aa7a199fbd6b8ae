// The imports' question about bytes code page 932 cannot read, answered from the command line
// (--keep-invalid goes on, else the import stops), keeping the question for the error message.
#pragma once

#include <string>

#include "questions.h"

namespace velmora::cli {

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
