#include "code_page.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "test_seed.h"

namespace velmora::store {
namespace {

using namespace std::string_literals;

constexpr std::size_t kNpos = std::string_view::npos;

std::string Hex(std::string_view bytes) {
    std::string text;
    char byte[4];
    for (const char c : bytes) {
        std::snprintf(byte, sizeof byte, "%02X ", static_cast<unsigned char>(c));
        text += byte;
    }
    return text;
}

struct TMapping {
    const char* Name;
    std::string Cp932;
    std::string Utf8;
};

// Characters that must come back as the same bytes in both directions.
const TMapping kRoundTrips[] = {
    {"hiragana", "\x82\xa0\x82\xa2", "あい"},
    {"kanji", "\x8a\xbf\x8e\x9a", "漢字"},
    {"0x8160 is the full-width tilde", "\x81\x60", "\xef\xbd\x9e"},
    {"half-width katakana is one byte", "\xb1\xdf", "ｱﾟ"},
    {"circled digit (NEC row 13)", "\x87\x40", "①"},
    {"user-defined area", "\xf0\x40", "\xee\x80\x80"},
    {"backslash and tilde stay ASCII", "\\~\x82\xa0", "\\~あ"},
    {"0x5C as a trail byte", "\x95\x5c", "表"},
    {"embedded NUL", "a\0\x82\xa0"s, "a\0あ"s},
    {"pure ASCII", "Concept 1", "Concept 1"},
    {"empty", "", ""},
};

TEST(CodePageTest, CharactersRoundTrip) {
    for (const TMapping& m : kRoundTrips) {
        SCOPED_TRACE(m.Name);
        int bad = -1;
        EXPECT_EQ(Cp932ToUtf8(m.Cp932, &bad), m.Utf8);
        EXPECT_EQ(bad, 0);
        bad = -1;
        EXPECT_EQ(Hex(Utf8ToCp932(m.Utf8, &bad)), Hex(m.Cp932));
        EXPECT_EQ(bad, 0);
    }
}

TEST(CodePageTest, AsciiIsTheSameInBothEncodings) {
    std::string ascii;
    for (int c = 0; c < 0x80; ++c) {
        ascii += static_cast<char>(c);
    }
    // With and without a double-byte character, so the conversion runs in both cases.
    for (const std::string& suffix : {""s, "\x82\xa0"s}) {
        EXPECT_EQ(Cp932ToUtf8(ascii + suffix), ascii + Cp932ToUtf8(suffix));
        EXPECT_EQ(Utf8ToCp932(ascii + Cp932ToUtf8(suffix)), ascii + suffix);
    }
}

// Characters with several Unicode forms, or several codes, that are written as one code.
TEST(CodePageTest, EncodesVariantsToTheirCodes) {
    const TMapping cases[] = {
        {"wave dash, as Linux input methods type it", "\x81\x60", "\xe3\x80\x9c"},
        {"minus sign, as Linux input methods type it", "\x81\x7c", "\xe2\x88\x92"},
        {"full-width hyphen-minus", "\x81\x7c", "\xef\xbc\x8d"},
        {"double vertical line", "\x81\x61", "\xe2\x80\x96"},
        {"NEC-selected IBM kanji comes back as the IBM code", "\xfa\x5c", "\xe7\xba\x8a"},
        {"yen sign becomes 0x5C", "\x5c", "\xc2\xa5"},
    };
    for (const TMapping& m : cases) {
        SCOPED_TRACE(m.Name);
        int bad = -1;
        EXPECT_EQ(Hex(Utf8ToCp932(m.Utf8, &bad)), Hex(m.Cp932));
        EXPECT_EQ(bad, 0);
    }
    EXPECT_EQ(Utf8ToCp932(Cp932ToUtf8("\xed\x40")), "\xfa\x5c");
}

struct TBadCase {
    const char* Name;
    std::string Input;
    std::string Output;
    int Unconvertible;
};

TEST(CodePageTest, Utf8ThatCannotBeConvertedBecomesQuestionMarks) {
    const TBadCase cases[] = {
        {"character outside code page 932", "caf\xc3\xa9", "caf?", 1},
        {"emoji (four bytes) is one character", "\xf0\x9f\x98\x80!", "?!", 1},
        {"between convertible characters", "あ\xc3\xa9い", "\x82\xa0?\x82\xa2", 1},
        {"truncated at the end", "あ\xe3\x81", "\x82\xa0?", 1},
        {"truncated in the middle", "\xe3\x81\x41", "?A", 1},
        {"stray continuation bytes", "\x80\xbf", "??", 2},
        {"overlong slash", "\xc0\xaf", "??", 2},
        {"overlong three-byte form", "\xe0\x80\xaf", "???", 3},
        {"overlong four-byte form", "\xf0\x8f\xbf\xbf", "????", 4},
        {"surrogate", "\xed\xa0\x80", "???", 3},
        {"beyond U+10FFFF", "\xf4\x90\x80\x80", "????", 4},
        {"bytes that never occur", "\xfe\xff", "??", 2},
    };
    for (const TBadCase& c : cases) {
        SCOPED_TRACE(c.Name);
        int bad = -1;
        EXPECT_EQ(Hex(Utf8ToCp932(c.Input, &bad)), Hex(c.Output));
        EXPECT_EQ(bad, c.Unconvertible);
    }
}

TEST(CodePageTest, Cp932ThatCannotBeConvertedBecomesQuestionMarks) {
    const TBadCase cases[] = {
        {"unassigned double-byte code is one character", "\x85\x40\x41", "?A", 1},
        {"lead byte at the end", "a\x82", "a?", 1},
        {"lead byte with an invalid trail byte", "\x81\x20\x62", "? b", 1},
        {"single bytes without a character", "\x80\xa0\xfd\xfe\xff", "?????", 5},
        {"between convertible characters", "\x82\xa0\x85\x40\x82\xa2", "あ?い", 1},
    };
    for (const TBadCase& c : cases) {
        SCOPED_TRACE(c.Name);
        int bad = -1;
        EXPECT_EQ(Cp932ToUtf8(c.Input, &bad), c.Output);
        EXPECT_EQ(bad, c.Unconvertible);
    }
}

// Random bytes, read as either encoding, never crash, and what comes out is clean: its
// conversion back reports nothing unconvertible. Runs under the sanitizers in the debug build.
TEST(CodePageTest, ArbitraryBytesGiveCleanText) {
    const unsigned seed = test_support::TestSeed();
    SCOPED_TRACE(test_support::SeedNote(seed));
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> length(0, 40);
    for (int i = 0; i < 5000; ++i) {
        std::string input(static_cast<std::size_t>(length(random)), '\0');
        for (char& c : input) {
            // Mostly high bytes: those are where the decoders branch.
            c = static_cast<char>(i % 4 == 0 ? byte(random) : 0x80 | byte(random));
        }
        int bad = 0;
        const std::string utf8 = Cp932ToUtf8(input, &bad);
        ASSERT_LE(bad, static_cast<int>(input.size()));
        Utf8ToCp932(utf8, &bad);
        ASSERT_EQ(bad, 0) << Hex(input);

        const std::string cp932 = Utf8ToCp932(input, &bad);
        ASSERT_LE(cp932.size(), input.size());
        Cp932ToUtf8(cp932, &bad);
        ASSERT_EQ(bad, 0) << Hex(input);
    }
}

// Every assigned double-byte code decodes to a character that encodes and decodes to itself
// again, so text read from a file survives one trip through the user interface.
TEST(CodePageTest, EveryDoubleByteCharacterSurvivesARoundTrip) {
    int assigned = 0;
    for (int lead = 0x81; lead <= 0xfc; ++lead) {
        if (!IsCp932LeadByte(static_cast<unsigned char>(lead))) {
            continue;
        }
        for (int trail = 0x40; trail <= 0xfc; ++trail) {
            const std::string code{static_cast<char>(lead), static_cast<char>(trail)};
            int bad = 0;
            const std::string utf8 = Cp932ToUtf8(code, &bad);
            if (bad != 0) {
                continue;
            }
            ++assigned;
            const std::string again = Utf8ToCp932(utf8, &bad);
            ASSERT_EQ(bad, 0) << Hex(code);
            ASSERT_EQ(again.size(), 2u) << Hex(code);
            ASSERT_EQ(Cp932ToUtf8(again), utf8) << Hex(code);
        }
    }
    // JIS X 0208 alone has 6879 characters; NEC, IBM and the user-defined area add more.
    EXPECT_GT(assigned, 6879);
}

TEST(CodePageTest, CutToBytesKeepsWholeCharacters) {
    const std::string text = "ab\x82\xa0\x82\xa2";  // "abあい"
    EXPECT_EQ(CutToBytes(text, 0), "");
    EXPECT_EQ(CutToBytes(text, 3), "ab") << "あ would straddle the limit";
    EXPECT_EQ(CutToBytes(text, 4), "ab\x82\xa0");
    EXPECT_EQ(CutToBytes(text, 5), "ab\x82\xa0");
    EXPECT_EQ(CutToBytes(text, 6), text);
    EXPECT_EQ(CutToBytes(text, 255), text);
    // Half-width katakana are single bytes; a text that fits is never touched, even when it
    // already ends in a lone lead byte (files keep their bytes).
    EXPECT_EQ(CutToBytes("\xb1\xb2\xb3", 2), "\xb1\xb2");
    EXPECT_EQ(CutToBytes("ab\x82", 3), "ab\x82");
    // Every cut of a long title ends on a character boundary and reads back without a "?".
    const std::string title = Utf8ToCp932(std::string(100, 'x') + "あいうえおかきくけこ" +
                                          std::string(140, 'y') + "さしすせそ");
    for (std::size_t n = 0; n <= title.size(); ++n) {
        const std::string cut = CutToBytes(title, n);
        ASSERT_LE(cut.size(), n);
        ASSERT_GE(cut.size() + 1, std::min(n, title.size())) << n;
        int bad = 0;
        Cp932ToUtf8(cut, &bad);
        ASSERT_EQ(bad, 0) << n;
    }
    EXPECT_EQ(TextAsStored("ab  ", 20), "ab");
    EXPECT_EQ(TextAsStored("ab\x81\x40", 20), "ab\x81\x40") << "the ideographic space stays";
    EXPECT_EQ(TextAsStored("abc \x82\xa0", 5), "abc");
}

TEST(CodePageTest, Utf8WithMultiByteSequencesIsRecognised) {
    EXPECT_TRUE(IsUtf8WithMultiByte("\xe6\x97\xa5\xe6\x9c\xac"));  // 日本
    EXPECT_TRUE(
        IsUtf8WithMultiByte("a\xc3\xa9"
                            "b"));
    EXPECT_TRUE(IsUtf8WithMultiByte("\xf0\x9f\x98\x80"));
    EXPECT_FALSE(IsUtf8WithMultiByte("plain ascii")) << "reads the same either way";
    EXPECT_FALSE(IsUtf8WithMultiByte(""));
    EXPECT_FALSE(IsUtf8WithMultiByte(Utf8ToCp932("日本語のテキスト")));
    EXPECT_FALSE(IsUtf8WithMultiByte("\xc0\xaf")) << "overlong";
    EXPECT_FALSE(IsUtf8WithMultiByte("\xed\xa0\x80")) << "surrogate";
    EXPECT_FALSE(IsUtf8WithMultiByte("\xe6\x97")) << "truncated";
    EXPECT_FALSE(IsUtf8WithMultiByte("\xf4\x90\x80\x80")) << "above U+10FFFF";
}

struct TFindCase {
    const char* Name;
    std::string Haystack;
    std::string Needle;
    std::size_t From;
    std::size_t Expected;
};

TEST(CodePageTest, FindMatchesWholeCharactersOnly) {
    // ア = 83 41 ends in "A"; 表 = 95 5C ends in "\"; 亜 = 88 9F, 9F 40 and 9F 9F are kanji.
    const TFindCase cases[] = {
        {"plain ASCII", "abcabc", "ca", 0, 2},
        {"double-byte needle", "ab\x82\xa0\x82\xa2", "\x82\xa2", 0, 4},
        {"ASCII on a trail byte is no match", "\x83\x41", "A", 0, kNpos},
        {"the real A after it is", "\x83\x41\x41", "A", 0, 2},
        {"backslash on a trail byte", "\x95\x5c", "\\", 0, kNpos},
        {"kanji straddling two characters", "\x88\x9f\x9f\x40", "\x9f\x9f", 0, kNpos},
        {"the same kanji on a boundary", "\x88\x9f\x9f\x40\x9f\x9f", "\x9f\x9f", 0, 4},
        {"from skips earlier matches", "A\x82\xa0\x41", "A", 1, 3},
        {"from on a trail byte", "\x83\x41\x41", "A", 1, 2},
        {"from at a match", "abab", "ab", 2, 2},
        {"needle longer than haystack", "ab", "abc", 0, kNpos},
        {"from beyond the end", "ab", "", 3, kNpos},
        {"empty needle at from", "ab", "", 1, 1},
        {"empty needle moves to the next boundary", "\x82\xa0\x62", "", 1, 2},
        {"empty needle at the end", "ab", "", 2, 2},
        {"lone lead byte needle inside a character", "\x82\xa0", "\x82", 0, kNpos},
        {"lone lead byte needle at a cut end", "ab\x82", "\x82", 0, 2},
        {"needle ending in a lead byte", "a\x82\xa0", "a\x82", 0, kNpos},
    };
    for (const TFindCase& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(Cp932Find(c.Haystack, c.Needle, c.From), c.Expected);
    }
}

// Reference: split both texts into characters and compare character sequences.
std::vector<std::string> SplitCharacters(const std::string& text) {
    std::vector<std::string> characters;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = IsCp932LeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1;
        characters.push_back(text.substr(i, length));
        i += length;
    }
    return characters;
}

std::size_t ReferenceFind(const std::string& haystack, const std::string& needle,
                          std::size_t from) {
    const std::vector<std::string> hay = SplitCharacters(haystack);
    const std::vector<std::string> pattern = SplitCharacters(needle);
    std::size_t offset = 0;
    for (std::size_t start = 0; start + pattern.size() <= hay.size(); ++start) {
        if (offset >= from && std::equal(pattern.begin(), pattern.end(), hay.begin() + start)) {
            return offset;
        }
        offset += hay[start].size();
    }
    return kNpos;
}

// Texts built from characters whose bytes occur inside other characters.
TEST(CodePageTest, FindAgreesWithACharacterByCharacterSearch) {
    const std::string alphabet[] = {
        "A", "\\", "@", "\x83\x41", "\x95\x5c", "\x88\x9f", "\x9f\x9f", "\x9f\x40", "\x83\x83",
    };
    const unsigned seed = test_support::TestSeed();
    SCOPED_TRACE(test_support::SeedNote(seed));
    std::mt19937 random(seed);
    std::uniform_int_distribution<std::size_t> pick(0, std::size(alphabet) - 1);
    auto makeText = [&](int characters) {
        std::string text;
        for (int i = 0; i < characters; ++i) {
            text += alphabet[pick(random)];
        }
        return text;
    };
    for (int i = 0; i < 20000; ++i) {
        const std::string haystack = makeText(std::uniform_int_distribution<int>(0, 12)(random));
        const std::string needle = makeText(std::uniform_int_distribution<int>(1, 3)(random));
        const std::size_t from =
            std::uniform_int_distribution<std::size_t>(0, haystack.size())(random);
        ASSERT_EQ(Cp932Find(haystack, needle, from), ReferenceFind(haystack, needle, from))
            << Hex(haystack) << "/ " << Hex(needle) << "/ from " << from;
    }
}

}  // namespace
}  // namespace velmora::store

namespace velmora::store {
namespace {

TEST(FirstUnreadableLineTest, NamesTheFirstLineWithBytesTheCodePageCannotRead) {
    const struct {
        std::string text;
        std::size_t line;
    } kCases[] = {
        {"", 0},
        {"abc\r\n\x8a\x54\x94\x4f\n", 0},
        {"ok\r\nok\r\n\xff\r\n\xff", 3},
        {"ok\rok\n\x82", 3},  // a lead byte without its trail at the very end
        {"\xa0", 1},
        {std::string("ok\nA\0B", 6), 2},  // no text field can hold a zero byte
    };
    for (const auto& c : kCases) {
        EXPECT_EQ(FirstUnreadableLine(c.text), c.line) << c.text;
    }
}

}  // namespace
}  // namespace velmora::store
