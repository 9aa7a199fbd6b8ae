#include "concept_data.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <limits>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "store_exceptions.h"
#include "test_seed.h"

namespace velmora::store {
namespace {

TConceptData MakeConcept(std::int32_t conceptNo, std::string title = "c") {
    TConceptData item;
    item.SetConceptNo(conceptNo);
    item.SetTitle(std::move(title));
    return item;
}

TConceptData MakeMirror(std::int32_t linkNo, std::int32_t conceptNo) {
    TConceptData item;
    item.SetIsLink(true);
    item.LinkNo = linkNo;
    item.LinkCode = 1;
    item.SetConceptNo(conceptNo);
    return item;
}

// Every field set to a value that differs from a new item's.
TConceptData MakeFullItem() {
    TConceptData item;
    item.LinkNo = 7;
    item.LinkCode = 3;
    item.SetTitle("\x8a\xbf\x8e\x9a");  // 漢字 in code page 932
    item.SetHasChildren(true);
    item.SetConceptNo(42);
    item.SetIsLink(true);
    item.IconPos = {120, -5};
    return item;
}

void ExpectSameFields(const TConceptData& actual, const TConceptData& expected) {
    EXPECT_EQ(actual.LinkNo, expected.LinkNo);
    EXPECT_EQ(actual.LinkCode, expected.LinkCode);
    EXPECT_EQ(actual.Title(), expected.Title());
    EXPECT_EQ(actual.HasChildren(), expected.HasChildren());
    EXPECT_EQ(actual.ConceptNo(), expected.ConceptNo());
    EXPECT_EQ(actual.IsLink(), expected.IsLink());
    EXPECT_EQ(actual.IconPos, expected.IconPos);
}

TEST(ConceptDataTest, NewItemIsAnUnplacedEmptyConcept) {
    const TConceptData item;
    EXPECT_EQ(item.LinkNo, 0);
    EXPECT_EQ(item.LinkCode, 0);
    EXPECT_EQ(item.Title(), "");
    EXPECT_FALSE(item.HasChildren());
    EXPECT_EQ(item.ConceptNo(), 0);
    EXPECT_FALSE(item.IsLink());
    EXPECT_EQ(item.IconPos, (TIconPoint{-1, -1}));
}

TEST(ConceptDataTest, AssignCopiesEveryField) {
    const TConceptData source = MakeFullItem();
    TConceptData target;
    target.Assign(source);
    ExpectSameFields(target, source);

    // Assigning an empty item back resets every field, so none is merely left over.
    target.Assign(TConceptData());
    ExpectSameFields(target, TConceptData());
}

struct TSameCase {
    const char* Name;
    TConceptData A;
    TConceptData B;
    bool Same;
};

TEST(ConceptDataTest, SameConceptDataComparesKindAndNumberOnly) {
    TConceptData concept5Elsewhere = MakeConcept(5, "other title");
    concept5Elsewhere.SetHasChildren(true);
    concept5Elsewhere.IconPos = {10, 20};
    concept5Elsewhere.LinkNo = 99;  // not a mirror image, so LinkNo does not count

    const TSameCase cases[] = {
        {"same concept, other title, flags, position", MakeConcept(5), concept5Elsewhere, true},
        {"different concepts", MakeConcept(5), MakeConcept(6), false},
        {"concept and a mirror image of it", MakeConcept(5), MakeMirror(1, 5), false},
        {"two mirror images of one concept", MakeMirror(1, 5), MakeMirror(2, 5), false},
        {"one mirror image, ConceptNo not compared", MakeMirror(1, 5), MakeMirror(1, 6), true},
        {"concept number equals link number", MakeConcept(3), MakeMirror(3, 3), false},
    };
    for (const TSameCase& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(SameConceptData(c.A, c.B), c.Same);
        EXPECT_EQ(SameConceptData(c.B, c.A), c.Same);
    }
}

// Counts live instances, to see that the list destroys what it owns.
class TCountedItem : public TConceptData {
public:
    explicit TCountedItem(int& live) : m_live(live) { ++m_live; }
    ~TCountedItem() override { --m_live; }

private:
    int& m_live;
};

TEST(ConceptListTest, OwnsItsItems) {
    int live = 0;
    {
        TConceptList list;
        EXPECT_EQ(list.AddItem(std::make_unique<TCountedItem>(live)), 0);
        EXPECT_EQ(list.AddItem(std::make_unique<TCountedItem>(live)), 1);
        list.AddNew();
        EXPECT_EQ(list.AddItem(std::make_unique<TCountedItem>(live)), 3);
        EXPECT_EQ(live, 3);

        list.Delete(1);
        EXPECT_EQ(live, 2);
        EXPECT_EQ(list.Count(), 3);

        list.Clear();
        EXPECT_EQ(live, 0);
        EXPECT_EQ(list.Count(), 0);

        list.AddItem(std::make_unique<TCountedItem>(live));
    }
    EXPECT_EQ(live, 0) << "destroying the list destroys its items";
}

TEST(ConceptListTest, DeleteKeepsTheOrderOfTheRest) {
    TConceptList list;
    for (std::int32_t no = 1; no <= 4; ++no) {
        list.AddNew().SetConceptNo(no);
    }
    TConceptData& third = list[2];
    list.Delete(1);
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list[0].ConceptNo(), 1);
    EXPECT_EQ(list[1].ConceptNo(), 3);
    EXPECT_EQ(list[2].ConceptNo(), 4);
    EXPECT_EQ(&list[1], &third) << "other items are not moved in memory";
}

TEST(ConceptListTest, AssignMakesIndependentCopiesInOrder) {
    TConceptList source;
    source.AddNew().Assign(MakeFullItem());
    source.AddNew().Assign(MakeConcept(8, "b"));

    TConceptList target;
    target.AddNew().Assign(MakeConcept(100, "old"));
    target.Assign(source);

    ASSERT_EQ(target.Count(), 2);
    ExpectSameFields(target[0], source[0]);
    ExpectSameFields(target[1], source[1]);
    EXPECT_NE(&target[0], &source[0]);

    target[0].SetTitle("changed");
    target.Delete(1);
    EXPECT_EQ(source[0].Title(), MakeFullItem().Title());
    EXPECT_EQ(source.Count(), 2);
}

TEST(ConceptListTest, AssignFromItselfKeepsTheItems) {
    TConceptList list;
    list.AddNew().SetConceptNo(1);
    list.AddNew().SetConceptNo(2);
    list.Assign(list);
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list[1].ConceptNo(), 2);
}

TEST(NumberListTest, AddKeepsASortedSetAndReturnsThePlaceOfTheNumber) {
    TNumberList list;
    EXPECT_EQ(list.Add(5), 0);
    EXPECT_EQ(list.Add(1), 0);
    EXPECT_EQ(list.Add(3), 1);
    EXPECT_EQ(list.Add(3), 1) << "a number already present is not added again";
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list[0], 1);
    EXPECT_EQ(list[1], 3);
    EXPECT_EQ(list[2], 5);
}

// Drives a TNumberList and a std::set with the same random operations; the bisection has
// separate paths for an empty list, both ends and the middle, and for lists of every length.
TEST(NumberListTest, BehavesLikeASortedSet) {
    const unsigned seed = test_support::TestSeed();
    SCOPED_TRACE(test_support::SeedNote(seed));
    std::mt19937 random(seed);
    constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

    for (int round = 0; round < 20; ++round) {
        TNumberList list;
        std::set<std::int32_t> model;
        // Narrow ranges give many duplicates; the extremes catch overflow in comparisons.
        const std::int32_t range = round % 2 == 0 ? 40 : 4000;
        for (int step = 0; step < 300; ++step) {
            std::int32_t n = std::uniform_int_distribution<std::int32_t>(-range, range)(random);
            if (step % 97 == 0) {
                n = step % 2 == 0 ? kMin : kMax;
            }
            const int operation = std::uniform_int_distribution<int>(0, 9)(random);
            if (operation < 6) {
                const int index = list.Add(n);
                model.insert(n);
                ASSERT_EQ(index, std::distance(model.begin(), model.find(n))) << "Add " << n;
            } else if (operation < 9) {
                ASSERT_EQ(list.Contains(n), model.count(n) == 1) << "Contains " << n;
            } else if (!model.empty()) {
                const int index = std::uniform_int_distribution<int>(0, list.Count() - 1)(random);
                list.Delete(index);
                model.erase(std::next(model.begin(), index));
            }
            ASSERT_EQ(list.Count(), static_cast<int>(model.size()));
            int i = 0;
            for (const std::int32_t expected : model) {
                ASSERT_EQ(list[i++], expected);
            }
        }
        list.Clear();
        EXPECT_EQ(list.Count(), 0);
        EXPECT_FALSE(list.Contains(0));
    }
}

TEST(SavePointTest, KeepsItsOwnCopyOfTheCurrentItem) {
    TConceptData current = MakeFullItem();
    const TSavePoint savePoint(current);
    current.SetTitle("edited later");
    current.IconPos = {1, 1};
    ExpectSameFields(savePoint.CurrentItem, MakeFullItem());
}

TEST(UnableToFindTest, MessageNamesTheTableAndEndsWithTheNumber) {
    const std::string head = "データベースにレコードが見つかりません.\r\n   データベース：";
    const std::string tail = "\r\n   レコード番号：";
    struct TCase {
        EUnableToFind Error;
        std::string Expected;
    };
    const TCase cases[] = {
        {EUnableToFind::CreateConcept(42), head + "概念レコード" + tail + "42"},
        {EUnableToFind::CreateLink(7), head + "リンクレコード" + tail + "7"},
        {EUnableToFind::CreateLinkType(-3), head + "リンクタイプレコード" + tail + "-3"},
        {EUnableToFind::CreateConcept(std::numeric_limits<std::int32_t>::max()),
         head + "概念レコード" + tail + "2147483647"},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(std::string(c.Error.what()), c.Expected);
    }
    // The line breaks are real CR LF bytes followed by three spaces.
    const std::string message = EUnableToFind::CreateConcept(42).what();
    EXPECT_NE(message.find("\x0d\x0a   \xe3\x83\x87"), std::string::npos);
}

TEST(UnableToFindTest, IsCaughtAsTheProgramsError) {
    try {
        throw EUnableToFind::CreateLink(9);
    } catch (const EVelmoraError& error) {
        EXPECT_TRUE(std::string(error.what()).ends_with("：9"));
        return;
    }
    FAIL();
}

TEST(TrimInvalidLinkErrorTest, CarriesItsOwnCopyOfTheItemWhenGiven) {
    const std::string text = "参照の循環が発生してしまうため操作は行われませんでした.";

    const ETrimInvalidLinkError plain = ETrimInvalidLinkError::Create();
    EXPECT_EQ(plain.Item(), nullptr);
    EXPECT_EQ(std::string(plain.what()), text);

    auto mirror = std::make_unique<TConceptData>(MakeFullItem());
    auto error = std::make_unique<ETrimInvalidLinkError>(ETrimInvalidLinkError::CreateFor(*mirror));
    mirror.reset();
    ASSERT_NE(error->Item(), nullptr);
    ExpectSameFields(*error->Item(), MakeFullItem());
    EXPECT_EQ(std::string(error->what()), text);

    // A copy (as a catch by value makes) still has the item after the original is gone.
    const ETrimInvalidLinkError copy = *error;
    error.reset();
    ASSERT_NE(copy.Item(), nullptr);
    ExpectSameFields(*copy.Item(), MakeFullItem());

    ETrimInvalidLinkError assigned = ETrimInvalidLinkError::Create();
    assigned = copy;
    ASSERT_NE(assigned.Item(), nullptr);
    ExpectSameFields(*assigned.Item(), MakeFullItem());
    assigned = ETrimInvalidLinkError::Create();
    EXPECT_EQ(assigned.Item(), nullptr);
}

TEST(TrimInvalidLinkErrorTest, ItemSurvivesThrowAndCatch) {
    try {
        const TConceptData mirror = MakeMirror(11, 4);
        throw ETrimInvalidLinkError::CreateFor(mirror);
    } catch (const ETrimInvalidLinkError& error) {
        ASSERT_NE(error.Item(), nullptr);
        EXPECT_TRUE(SameConceptData(*error.Item(), MakeMirror(11, 4)));
        return;
    }
    FAIL();
}

}  // namespace
}  // namespace velmora::store
