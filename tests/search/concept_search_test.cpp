// The matching core: whole-character substring matching, the fields, one row per concept,
// labels through associations, the order of rows, show-all and the snapshot's life.
#include "concept_search.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "code_page.h"
#include "search_fixture.h"

namespace velmora::search {
namespace {

using testing::Sjis;
using testing::TConceptSpec;
using testing::TSearchStore;

std::vector<std::int32_t> Numbers(const TSearchResult& result) {
    std::vector<std::int32_t> out;
    for (const std::uint32_t row : result.Rows) {
        out.push_back(result.Snapshot->RecordNo(row));
    }
    return out;
}

bool ColumnContains(std::string_view value, std::string_view needle) {
    TTextColumn column;
    column.Add(value);
    std::vector<std::uint8_t> hits(1, 0);
    column.MarkContaining(needle, hits);
    return hits[0] != 0;
}

TEST(TextColumnTest, MatchesWholeCharactersOnly) {
    struct TCase {
        const char* what;
        std::string value;
        std::string needle;
        bool found;
    };
    const TCase cases[] = {
        {"plain substring", "xaby", "ab", true},
        {"case counts", "XABY", "ab", false},
        // ア is 0x83 0x41: its trail byte is an "A".
        {"ASCII on a trail byte", Sjis("ア"), "A", false},
        {"ASCII after a double-byte character", Sjis("アA"), "A", true},
        // 表 is 0x95 0x5C: its trail byte is a backslash.
        {"backslash inside 表", Sjis("表"), "\\", false},
        {"backslash on its own", Sjis("表\\"), "\\", true},
        // ぁい is 82 9F 82 A2: the bytes 9F 82 straddle the two characters.
        {"across a character boundary", Sjis("ぁい"), "\x9F\x82", false},
        {"later occurrence on a boundary", Sjis("アBA"), "A", true},
        {"double-byte needle", Sjis("東京タワー"), Sjis("タワ"), true},
        {"needle longer than the value", "ab", "abc", false},
        {"needle with a zero byte", "ab", std::string("a\0", 2), false},
        {"empty needle", "ab", "", false},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(ColumnContains(c.value, c.needle), c.found) << c.what;
    }
}

// The block scan must agree with store::Cp932Find, the definition of a whole-character match,
// on any bytes: lone lead bytes, trail bytes that look like ASCII, values cut inside a character.
TEST(TextColumnTest, AgreesWithCp932FindOnRandomBytes) {
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    const unsigned char alphabet[] = {'A', 'B', 0x5C, 0x82, 0x83, 0x9F, 0xA0, 0xB6, 0xDE, 0xE0};
    std::uniform_int_distribution<std::size_t> pick(0, sizeof alphabet - 1);
    const auto randomText = [&](std::size_t maxLength) {
        std::string s(std::uniform_int_distribution<std::size_t>(0, maxLength)(rng), ' ');
        for (char& ch : s) {
            ch = static_cast<char>(alphabet[pick(rng)]);
        }
        return s;
    };
    for (int round = 0; round < 300; ++round) {
        TTextColumn column;
        std::vector<std::string> values;
        for (int i = 0; i < 20; ++i) {
            values.push_back(randomText(12));
            column.Add(values.back());
        }
        std::string needle = randomText(3);
        if (needle.empty()) {
            needle = "A";
        }
        std::vector<std::uint8_t> hits(values.size(), 0);
        column.MarkContaining(needle, hits);
        for (std::size_t i = 0; i < values.size(); ++i) {
            const bool expected = store::Cp932Find(values[i], needle) != std::string::npos;
            ASSERT_EQ(hits[i] != 0, expected) << "round " << round << " value " << i;
        }
    }
}

class ConceptSearchTest : public ::testing::Test {
protected:
    TSearchStore data;
    TConceptSearch search{data.Store};

    std::vector<std::int32_t> Find(std::string_view utf8, TSearchFields fields = {},
                                   bool fuzzy = false) {
        return Numbers(search.Search(Sjis(utf8), {fields, fuzzy}));
    }
};

TEST_F(ConceptSearchTest, EachBoxSearchesItsOwnField) {
    const std::int32_t inTitle = data.AddTitled("鍵tt");
    const std::int32_t inDescription = data.AddConcept({Sjis("a"), Sjis("鍵dd"), "", ""});
    const std::int32_t inComment = data.AddConcept({Sjis("b"), "", Sjis("鍵cc"), ""});
    const std::int32_t inEditor = data.AddConcept({Sjis("c"), "", "", Sjis("鍵ee")});
    const std::int32_t byLabel = data.AddTitled("d");
    data.AddLabel(byLabel, "鍵ll");

    struct TCase {
        const char* what;
        TSearchFields fields;
        std::vector<std::int32_t> found;
    };
    const TCase cases[] = {
        {"title", {}, {inTitle}},
        {"description", {false, true, false, false, false}, {inDescription}},
        {"comment", {false, false, true, false, false}, {inComment}},
        {"editor", {false, false, false, true, false}, {inEditor}},
        {"label", {false, false, false, false, true}, {byLabel}},
        {"all five",
         {true, true, true, true, true},
         {inTitle, inDescription, inComment, inEditor, byLabel}},
        {"none", {false, false, false, false, false}, {}},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(Find("鍵", c.fields), c.found) << c.what;
    }
}

TEST_F(ConceptSearchTest, AConceptFoundSeveralWaysIsOneRow) {
    data.AddTitled("other");
    const std::int32_t no = data.AddConcept({Sjis("xaby"), "", Sjis("the ab here"), ""});
    data.AddLabel(no, "ab one");
    data.AddLabel(no, "ab two");
    data.AddTitled("XABY");
    EXPECT_EQ(Find("ab", {true, true, true, true, true}), std::vector<std::int32_t>{no});
}

TEST_F(ConceptSearchTest, ALabelOfNoConceptAddsNothing) {
    data.AddTitled("plain");
    data.AddLooseLabel("lonely");
    EXPECT_TRUE(Find("lonely", {false, false, false, false, true}).empty());
}

TEST_F(ConceptSearchTest, RowsAreInAscendingRecordNumbers) {
    // Labels find concepts in the order of the associations; the result is still ascending.
    const std::int32_t first = data.AddTitled("k1");
    const std::int32_t second = data.AddTitled("k2");
    const std::int32_t third = data.AddTitled("x");
    data.AddLabel(third, "k3");
    data.AddLabel(first, "k1");
    EXPECT_EQ(Find("k", {true, false, false, false, true}),
              (std::vector<std::int32_t>{first, second, third}));
    EXPECT_EQ(Numbers(search.ShowAll()), (std::vector<std::int32_t>{first, second, third}));
}

TEST_F(ConceptSearchTest, ATableLoadedOutOfOrderStillListsByNumber) {
    store::TTable& c = data.Store.DtStOriginalConcepts;
    for (const std::int32_t no : {7, 3, 5}) {
        const std::vector<store::TValue> record = {no,
                                                   Sjis("t" + std::to_string(no)),
                                                   std::string(),
                                                   store::TValue{},
                                                   store::TValue{},
                                                   0,
                                                   1,
                                                   -1,
                                                   -1,
                                                   testing::Moment(1, 9),
                                                   testing::Moment(1, 9),
                                                   std::string()};
        c.AppendLoadedRecord(record);
    }
    const TSearchResult all = search.ShowAll();
    EXPECT_EQ(Numbers(all), (std::vector<std::int32_t>{3, 5, 7}));
    EXPECT_EQ(all.Snapshot->Title(1), "t5");
    EXPECT_EQ(Find("t7"), std::vector<std::int32_t>{7});
}

TEST_F(ConceptSearchTest, FollowsTheTablesButEarlierResultsStayAsTheyWere) {
    const std::int32_t no = data.AddTitled("apple");
    const TSearchResult before = search.Search("apple", {});
    const int savePoint = data.Store.DtStOriginalConcepts.SavePoint();

    data.SetTitle(no, "pear");
    EXPECT_TRUE(Find("apple").empty());
    EXPECT_EQ(Find("pear"), std::vector<std::int32_t>{no});
    ASSERT_EQ(before.Rows.size(), 1U);
    EXPECT_EQ(before.Snapshot->Title(before.Rows[0]), "apple");

    // Undo brings the change count back, not the old stamp: the search sees the old title.
    data.Store.DtStOriginalConcepts.SetSavePoint(savePoint);
    EXPECT_EQ(Find("apple"), std::vector<std::int32_t>{no});
    EXPECT_EQ(Find("apple", {}, true), std::vector<std::int32_t>{no});
    data.SetTitle(no, "plum");
    EXPECT_TRUE(Find("apple", {}, true).empty()) << "the folded copy is made anew as well";

    data.DeleteConcept(no);
    EXPECT_TRUE(Numbers(search.ShowAll()).empty());
}

TEST_F(ConceptSearchTest, NoOntologyOpenFindsNothing) {
    data.AddTitled("apple");
    EXPECT_EQ(Find("apple").size(), 1U);
    data.Store.CloseTables();
    EXPECT_TRUE(Find("apple").empty());
    EXPECT_TRUE(search.ShowAll().Rows.empty());
}

TEST_F(ConceptSearchTest, TheJapaneseAwareOptionIsOffUnlessAsked) {
    const std::int32_t kana = data.AddTitled("ガラスのコップ");
    const std::int32_t wide = data.AddTitled("ＰＣ９８");
    EXPECT_TRUE(Find("ｶﾞﾗｽ").empty());
    EXPECT_TRUE(Find("がらす").empty());
    EXPECT_TRUE(Find("PC98").empty());
    EXPECT_EQ(Find("ｶﾞﾗｽ", {}, true), std::vector<std::int32_t>{kana});
    EXPECT_EQ(Find("がらす", {}, true), std::vector<std::int32_t>{kana});
    EXPECT_EQ(Find("PC98", {}, true), std::vector<std::int32_t>{wide});
    EXPECT_TRUE(Find("pc98", {}, true).empty()) << "case still counts";
}

}  // namespace
}  // namespace velmora::search
