// How core code asks the user something: a message kind, a set of buttons and a text, answered
// by whoever drives the program (a message box in the desktop program, a flag or a script in
// the command-line tool and the tests).
#pragma once

#include <string>

namespace velmora::store {

// Custom: a plain box without a symbol, captioned by the caller.
enum class TMessageKind { Confirmation, Warning, Error, Information, Custom };
enum class TButtons { Ok, OkCancel, YesNo, YesNoCancel, YesNoCancelYesToAll };
enum class TAnswer { Ok, Cancel, Yes, No, YesToAll };

class TQuestioner {
public:
    virtual ~TQuestioner() = default;
    // The text is UTF-8.
    virtual TAnswer Ask(TMessageKind kind, TButtons buttons, const std::string& text) = 0;
};

// Gives the same answer to every question.
class TFixedAnswer : public TQuestioner {
public:
    explicit TFixedAnswer(TAnswer answer) : m_answer(answer) {}
    TAnswer Ask(TMessageKind, TButtons, const std::string&) override { return m_answer; }

private:
    TAnswer m_answer;
};

}  // namespace velmora::store
