// The Japanese-aware folding: which forms meet and which stay apart.
#include "search_folding.h"

#include <gtest/gtest.h>

#include "code_page.h"

namespace velmora::search {
namespace {

std::string FoldedUtf8(std::string_view utf8) {
    return store::Cp932ToUtf8(Folded(store::Utf8ToCp932(utf8)));
}

TEST(SearchFoldingTest, FormsThatMeet) {
    struct TPair {
        const char* a;
        const char* b;
    };
    const TPair pairs[] = {
        {"ＡＢＣｘｙｚ", "ABCxyz"},
        {"０１２９", "0129"},
        {"ひらがな", "ヒラガナ"},
        {"ぁぃゎをん", "ァィヮヲン"},
        {"ゐゑ", "ヰヱ"},
        {"ﾊﾝｶｸ", "ハンカク"},
        {"ｶﾞｷﾞｸﾞｹﾞｺﾞ", "ガギグゲゴ"},
        {"ﾀﾞﾁﾞﾂﾞﾃﾞﾄﾞ", "ダヂヅデド"},
        {"ﾊﾟﾋﾟﾌﾟﾍﾟﾎﾟ", "パピプペポ"},
        {"ﾊﾞﾋﾞﾌﾞﾍﾞﾎﾞ", "バビブベボ"},
        {"ｳﾞｧｲｵﾘﾝ", "ヴァイオリン"},
        {"ｯｬｭｮｰ", "ッャュョー"},
        {"｡｢｣､･", "。「」、・"},
        {"ｦﾝ", "をん"},
        {"ばぴ", "ﾊﾞﾋﾟ"},
    };
    for (const TPair& p : pairs) {
        EXPECT_EQ(FoldedUtf8(p.a), FoldedUtf8(p.b)) << p.a << " / " << p.b;
    }
}

TEST(SearchFoldingTest, FormsThatStayApart) {
    struct TPair {
        const char* a;
        const char* b;
    };
    const TPair pairs[] = {
        {"abc", "ABC"},    // case
        {"ａ", "A"},       // case, across widths
        {"ハ", "バ"},      // voicing
        {"ﾊﾟ", "バ"},      // the other mark
        {"ｶﾟ", "ガ"},      // a mark the letter cannot take stays a mark
        {"漢字", "感じ"},  // kanji are not read
        {"　", " "},       // the ideographic space is not a letter
    };
    for (const TPair& p : pairs) {
        EXPECT_NE(FoldedUtf8(p.a), FoldedUtf8(p.b)) << p.a << " / " << p.b;
    }
}

TEST(SearchFoldingTest, KeepsWhatItDoesNotFold) {
    // Kanji, symbols, a lone lead byte at the end and an undefined byte pass through.
    const std::string text = store::Utf8ToCp932("漢字・記号＠") + "x\x80\x82";
    const std::string folded = Folded(text);
    EXPECT_EQ(folded, store::Utf8ToCp932("漢字・記号＠") + "x\x80\x82");
    EXPECT_EQ(FoldedUtf8("ﾞﾟ"), "゛゜");
}

}  // namespace
}  // namespace velmora::search
