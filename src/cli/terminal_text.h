// Text at the edge of velmora-cli: the terminal speaks UTF-8, the tables and files code page
// 932. Every conversion goes through one TTerminalText so that nothing is lost silently: a
// character code page 932 cannot hold becomes "?" and is reported on stderr as a warning that
// names where it came from; bytes of a file that are not valid code page 932 are shown as "?"
// and counted, and one warning at the end says how many.
//
// Also the small layout helpers the reports need: display width of UTF-8 text in terminal
// columns and line-break normalisation of the store's messages (CR LF inside, LF on screen).
#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>

namespace velmora::cli {

class TTerminalText {
public:
    // REQUIRES: err outlives this object.
    explicit TTerminalText(std::ostream& err) : m_err(err) {}

    // UTF-8 from the command line to code page 932; `origin` names it in the warning (for
    // example "--title").
    std::string ToTable(std::string_view utf8, std::string_view origin);
    // Code page 932 from the tables to UTF-8 for output.
    std::string ToTerminal(std::string_view cp932);
    // Warns once about all unreadable bytes met by ToTerminal so far; then starts counting anew.
    void ReportUnreadable();

private:
    std::ostream& m_err;
    int m_unreadable = 0;
};

// Columns the UTF-8 text takes on a terminal: two for East Asian wide and full-width
// characters, one for everything else.
std::size_t DisplayWidth(std::string_view utf8);
// Text followed by spaces up to `width` columns (nothing added when it is wider).
std::string PadRight(std::string_view utf8, std::size_t width);
// CR LF and lone CR become LF.
std::string ToUnixLineBreaks(std::string_view text);
// One line for a report: every control character (line breaks, tabs) becomes a space.
std::string OneLine(std::string_view text);

}  // namespace velmora::cli
