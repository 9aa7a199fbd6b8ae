#include "code_page.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

#include "errors.h"

namespace velmora::store {
namespace {

const iconv_t kNoDescriptor = reinterpret_cast<iconv_t>(static_cast<std::intptr_t>(-1));

class TIconv {
public:
    TIconv(const char* to, const char* from) : m_cd(iconv_open(to, from)) {
        if (m_cd == kNoDescriptor) {
            throw EVelmoraError(std::string("文字コード変換を開けません: ") + from + " -> " + to);
        }
    }
    ~TIconv() { iconv_close(m_cd); }
    TIconv(const TIconv&) = delete;
    TIconv& operator=(const TIconv&) = delete;

    iconv_t Get() const { return m_cd; }

private:
    iconv_t m_cd;
};

// Opening a descriptor costs far more than converting a title, so each thread keeps its own.
struct TConverters {
    TIconv FromCp932{"UTF-8", "CP932"};
    TIconv ToCp932{"CP932", "UTF-8"};
};

TConverters& Converters() {
    thread_local TConverters converters;
    return converters;
}

// Bytes 0x00-0x7F mean the same in both encodings (glibc's CP932 keeps 0x5C and 0x7E as
// backslash and tilde), so pure ASCII needs no conversion. Most titles of an English ontology
// take this way.
bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Bytes that one "?" stands for when code page 932 input cannot be converted at p: a lead byte
// with a valid trail byte is one (unmapped) character, anything else a single bad byte.
std::size_t Cp932BadLength(const unsigned char* p, std::size_t left) {
    if (left >= 2 && IsCp932LeadByte(p[0])) {
        const unsigned char trail = p[1];
        if ((trail >= 0x40 && trail <= 0x7E) || (trail >= 0x80 && trail <= 0xFC)) {
            return 2;
        }
    }
    return 1;
}

// Bytes that one "?" stands for when UTF-8 input cannot be converted at p: a whole well-formed
// character (one code page 932 lacks), or else the maximal ill-formed subsequence, as Unicode
// recommends for replacement.
std::size_t Utf8BadLength(const unsigned char* p, std::size_t left) {
    const unsigned char lead = p[0];
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    std::size_t trailing = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        trailing = 1;
    } else if (lead == 0xE0) {
        trailing = 2;
        low = 0xA0;  // shorter forms are overlong
    } else if (lead == 0xED) {
        trailing = 2;
        high = 0x9F;  // higher ones are surrogates
    } else if (lead >= 0xE1 && lead <= 0xEF) {
        trailing = 2;
    } else if (lead == 0xF0) {
        trailing = 3;
        low = 0x90;
    } else if (lead == 0xF4) {
        trailing = 3;
        high = 0x8F;  // beyond U+10FFFF
    } else if (lead >= 0xF1 && lead <= 0xF3) {
        trailing = 3;
    } else {
        return 1;
    }
    std::size_t length = 1;
    while (length <= trailing && length < left && p[length] >= low && p[length] <= high) {
        ++length;
        low = 0x80;
        high = 0xBF;
    }
    return length;
}

using TBadLength = std::size_t (*)(const unsigned char*, std::size_t);

std::string Convert(iconv_t cd, std::string_view input, std::size_t maxGrowth, TBadLength badLength,
                    int* unconvertible) {
    int bad = 0;
    std::string output;
    if (IsAscii(input)) {
        output.assign(input);
    } else {
        iconv(cd, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
        output.resize(input.size() * maxGrowth);
        // glibc's iconv does not write through inbuf; its prototype just lacks the const.
        char* in = const_cast<char*>(input.data());
        std::size_t inLeft = input.size();
        std::size_t written = 0;
        while (inLeft > 0) {
            char* out = output.data() + written;
            std::size_t outLeft = output.size() - written;
            const std::size_t result = iconv(cd, &in, &inLeft, &out, &outLeft);
            written = static_cast<std::size_t>(out - output.data());
            if (result != static_cast<std::size_t>(-1)) {
                break;
            }
            if (errno == E2BIG) {
                output.resize(output.size() * 2 + 16);
                continue;
            }
            // EILSEQ (unmapped or malformed) or EINVAL (input ends inside a character).
            const std::size_t skip =
                std::min(inLeft, badLength(reinterpret_cast<const unsigned char*>(in), inLeft));
            in += skip;
            inLeft -= skip;
            if (written == output.size()) {
                output.resize(output.size() * 2 + 16);
            }
            output[written++] = '?';
            ++bad;
        }
        output.resize(written);
    }
    if (unconvertible != nullptr) {
        *unconvertible = bad;
    }
    return output;
}

}  // namespace

std::string Cp932ToUtf8(std::string_view cp932, int* unconvertible) {
    // One byte gives at most three (half-width katakana), two bytes at most three.
    return Convert(Converters().FromCp932.Get(), cp932, 3, Cp932BadLength, unconvertible);
}

std::string Utf8ToCp932(std::string_view utf8, int* unconvertible) {
    // No character grows, and a "?" replaces at least one byte.
    return Convert(Converters().ToCp932.Get(), utf8, 1, Utf8BadLength, unconvertible);
}

std::size_t FirstUnreadableLine(std::string_view text) {
    int bad = 0;
    Cp932ToUtf8(text, &bad);
    if (bad == 0 && text.find('\0') == std::string_view::npos) {
        return 0;
    }
    std::size_t line = 1;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        const std::string_view piece = text.substr(start, end - start);
        Cp932ToUtf8(piece, &bad);
        if (bad != 0 || piece.find('\0') != std::string_view::npos) {
            return line;
        }
        if (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n') {
            ++end;
        }
        start = end + 1;
        ++line;
    }
    return line;
}

namespace {

// The length of CutToBytes(text, n).
std::size_t CutLength(std::string_view text, std::size_t n) {
    if (text.size() <= n) {
        return text.size();
    }
    std::size_t end = 0;
    while (end < n) {
        const std::size_t next =
            end + (IsCp932LeadByte(static_cast<unsigned char>(text[end])) ? 2 : 1);
        if (next > n) {
            break;
        }
        end = next;
    }
    return end;
}

}  // namespace

std::string CutToBytes(std::string_view text, std::size_t n) {
    return std::string(text.substr(0, CutLength(text, n)));
}

std::size_t StoredLength(std::string_view text, std::size_t width) {
    std::size_t length = CutLength(text, width);
    while (length > 0 && text[length - 1] == ' ') {
        --length;
    }
    return length;
}

std::string TextAsStored(std::string_view text, std::size_t width) {
    return std::string(text.substr(0, StoredLength(text, width)));
}

std::size_t Utf8SequenceLength(std::string_view s) {
    if (s.empty()) {
        return 0;
    }
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) {
        return 1;
    }
    std::size_t n = 0;
    unsigned char low = 0x80;  // the range the first continuation byte must lie in
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        n = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        n = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;   // no overlong forms
        high = lead == 0xED ? 0x9F : 0xBF;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        n = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;  // nothing above U+10FFFF
    } else {
        return 0;
    }
    if (s.size() < n || byte(1) < low || byte(1) > high) {
        return 0;
    }
    for (std::size_t i = 2; i < n; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF) {
            return 0;
        }
    }
    return n;
}

bool IsUtf8WithMultiByte(std::string_view text) {
    bool multiByte = false;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = Utf8SequenceLength(text.substr(i));
        if (length == 0) {
            return false;
        }
        multiByte = multiByte || length > 1;
        i += length;
    }
    return multiByte;
}

std::size_t Cp932Find(std::string_view haystack, std::string_view needle, std::size_t from) {
    if (from > haystack.size()) {
        return std::string_view::npos;
    }
    // Does needle end on a boundary of its own? Then, matched from a boundary of haystack, it
    // ends on one there too; a needle ending in a lone lead byte only matches a haystack that
    // is cut the same way at its very end.
    std::size_t needleEnd = 0;
    while (needleEnd < needle.size()) {
        needleEnd += IsCp932LeadByte(static_cast<unsigned char>(needle[needleEnd])) ? 2 : 1;
    }
    const bool needleWhole = needleEnd == needle.size();

    std::size_t at = 0;
    while (at + needle.size() <= haystack.size()) {
        if (at >= from && haystack.compare(at, needle.size(), needle) == 0 &&
            (needleWhole || at + needle.size() == haystack.size())) {
            return at;
        }
        if (at == haystack.size()) {
            break;
        }
        // A lone lead byte at the very end counts as one character.
        at = std::min(haystack.size(),
                      at + (IsCp932LeadByte(static_cast<unsigned char>(haystack[at])) ? 2 : 1));
    }
    return std::string_view::npos;
}

}  // namespace velmora::store
