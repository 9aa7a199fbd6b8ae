#include "search_folding.h"

#include <array>
#include <cstdint>

#include "code_page.h"

namespace velmora::search {

namespace {

// Full-width forms of the half-width katakana 0xA1-0xDF, in that order.
constexpr std::string_view kFullWidthOfHalfKana =
    "。「」、・ヲァィゥェォャュョッーアイウエオカキクケコサシスセソタチツテトナニヌネノハヒフヘホマ"
    "ミムメモヤユヨラリルレロワン゛゜";

constexpr unsigned char kHalfVoicedMark = 0xDE;      // ﾞ
constexpr unsigned char kHalfSemiVoicedMark = 0xDF;  // ﾟ

std::array<std::uint16_t, 0xDF - 0xA1 + 1> MakeHalfKanaTable() {
    std::array<std::uint16_t, 0xDF - 0xA1 + 1> table{};
    const std::string cp932 = store::Utf8ToCp932(kFullWidthOfHalfKana);
    for (std::size_t i = 0; i < table.size(); ++i) {
        table[i] = static_cast<std::uint16_t>((static_cast<unsigned char>(cp932[2 * i]) << 8) |
                                              static_cast<unsigned char>(cp932[2 * i + 1]));
    }
    return table;
}

void AppendCode(std::uint16_t code, std::string& out) {
    out += static_cast<char>(code >> 8);
    out += static_cast<char>(code & 0xFF);
}

// In code page 932 the voiced katakana follow their plain forms: カ ガ, ハ バ パ.
bool TakesVoicedMark(unsigned char half) {
    return (half >= 0xB6 && half <= 0xC4) || (half >= 0xCA && half <= 0xCE);  // ｶ-ﾄ, ﾊ-ﾎ
}
bool TakesSemiVoicedMark(unsigned char half) {
    return half >= 0xCA && half <= 0xCE;  // ﾊ-ﾎ
}

constexpr unsigned char kHalfU = 0xB3;     // ｳ
constexpr std::uint16_t kFullVu = 0x8394;  // ヴ

}  // namespace

void AppendFolded(std::string_view text, std::string& out) {
    static const auto kHalfKana = MakeHalfKanaTable();
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (store::IsCp932LeadByte(b) && i + 1 < n) {
            const auto code =
                static_cast<std::uint16_t>((b << 8) | static_cast<unsigned char>(text[i + 1]));
            if (code >= 0x8260 && code <= 0x8279) {  // Ａ-Ｚ
                out += static_cast<char>('A' + (code - 0x8260));
            } else if (code >= 0x8281 && code <= 0x829A) {  // ａ-ｚ
                out += static_cast<char>('a' + (code - 0x8281));
            } else if (code >= 0x824F && code <= 0x8258) {  // ０-９
                out += static_cast<char>('0' + (code - 0x824F));
            } else if (code >= 0x829F && code <= 0x82F1) {  // ぁ-ん
                // Katakana ァ-ン run in the same order, but skip 0x837F.
                const int index = code - 0x829F;
                AppendCode(
                    static_cast<std::uint16_t>(index < 63 ? 0x8340 + index : 0x8380 + (index - 63)),
                    out);
            } else {
                out += text.substr(i, 2);
            }
            i += 2;
        } else if (b >= 0xA1 && b <= 0xDF) {
            const std::uint16_t full = kHalfKana[b - 0xA1];
            const unsigned char next = i + 1 < n ? static_cast<unsigned char>(text[i + 1]) : 0;
            if (next == kHalfVoicedMark && b == kHalfU) {
                AppendCode(kFullVu, out);
                i += 2;
            } else if (next == kHalfVoicedMark && TakesVoicedMark(b)) {
                AppendCode(static_cast<std::uint16_t>(full + 1), out);
                i += 2;
            } else if (next == kHalfSemiVoicedMark && TakesSemiVoicedMark(b)) {
                AppendCode(static_cast<std::uint16_t>(full + 2), out);
                i += 2;
            } else {
                AppendCode(full, out);
                i += 1;
            }
        } else {
            out += static_cast<char>(b);
            i += 1;
        }
    }
}

}  // namespace velmora::search
