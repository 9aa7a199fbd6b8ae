#include "terminal_text.h"

#include "code_page.h"

namespace velmora::cli {

namespace {

std::string Characters(int n) {
    return std::to_string(n) + (n == 1 ? " character" : " characters");
}

// Wide ranges of East Asian text as terminals draw them; enough for Japanese, which is what
// these files hold.
bool IsWide(char32_t c) {
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0x303E) ||
           (c >= 0x3041 && c <= 0x33FF) || (c >= 0x3400 && c <= 0x4DBF) ||
           (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA000 && c <= 0xA4CF) ||
           (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
           (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
           (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
}

}  // namespace

std::string TTerminalText::ToTable(std::string_view utf8, std::string_view origin) {
    int lost = 0;
    std::string cp932 = store::Utf8ToCp932(utf8, &lost);
    if (lost > 0) {
        m_err << "velmora-cli: warning: " << origin << ": " << Characters(lost)
              << " cannot be written in code page 932 and became \"?\"\n";
    }
    return cp932;
}

std::string TTerminalText::ToTerminal(std::string_view cp932) {
    int lost = 0;
    std::string utf8 = store::Cp932ToUtf8(cp932, &lost);
    m_unreadable += lost;
    return utf8;
}

void TTerminalText::ReportUnreadable() {
    if (m_unreadable > 0) {
        m_err << "velmora-cli: warning: invalid code page 932 in the file: "
              << Characters(m_unreadable) << " shown as \"?\"\n";
    }
    m_unreadable = 0;
}

std::size_t DisplayWidth(std::string_view utf8) {
    std::size_t width = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        std::size_t length = 1;
        char32_t c = lead;
        if (lead >= 0xF0) {
            length = 4;
            c = lead & 0x07;
        } else if (lead >= 0xE0) {
            length = 3;
            c = lead & 0x0F;
        } else if (lead >= 0xC0) {
            length = 2;
            c = lead & 0x1F;
        }
        for (std::size_t k = 1; k < length && i + k < utf8.size(); ++k) {
            c = (c << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        }
        width += IsWide(c) ? 2 : 1;
        i += length;
    }
    return width;
}

std::string PadRight(std::string_view utf8, std::size_t width) {
    std::string padded(utf8);
    const std::size_t used = DisplayWidth(utf8);
    if (used < width) {
        padded.append(width - used, ' ');
    }
    return padded;
}

std::string ToUnixLineBreaks(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            result += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
        } else {
            result += text[i];
        }
    }
    return result;
}

std::string OneLine(std::string_view text) {
    std::string result(text);
    for (char& c : result) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            c = ' ';
        }
    }
    return result;
}

}  // namespace velmora::cli
