// The folding of the search's Japanese-aware option ("表記ゆれを無視"): text written in several
// forms that a Japanese reader takes for the same word is brought to one form before it is
// compared. Applied to code page 932 bytes, character by character:
//
//   full-width Latin letters and digits (Ａ, ａ, ０)  -> the ASCII letters and digits
//   hiragana (ぁ to ん)                               -> the katakana of the same sound
//   half-width katakana and their marks (ｱ, ｰ, ｡)     -> full-width katakana and marks
//   half-width katakana followed by ﾞ or ﾟ (ｶﾞ, ﾊﾟ)   -> the one voiced full-width katakana
//
// Case is kept (ａ and A stay different, as in the plain search), and so is everything else.
// Bytes that are not a well-formed character pass through unchanged, so folding never loses
// text. Stateless and thread-safe.
#pragma once

#include <string>
#include <string_view>

namespace velmora::search {

// Appends the folded form of text (code page 932) to out.
void AppendFolded(std::string_view text, std::string& out);

inline std::string Folded(std::string_view text) {
    std::string out;
    AppendFolded(text, out);
    return out;
}

}  // namespace velmora::search
