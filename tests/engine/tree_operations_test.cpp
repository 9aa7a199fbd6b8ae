#include <gtest/gtest.h>

#include <algorithm>

#include "engine_fixture.h"
#include "store_exceptions.h"

namespace velmora::engine {
namespace {

using store::TValue;

class TreeOperationsTest : public testing::EngineFixture {
protected:
    TreeOperationsTest() {
        a = Add("a", top, 1);
        b = Add("b", top, 2);
        a1 = Add("a1", a, 1);
    }

    static TConceptData ConceptOf(std::int32_t no, const std::string& title = "") {
        TConceptData item;
        item.SetConceptNo(no);
        item.SetTitle(title);
        item.IconPos = {5, 6};
        return item;
    }
    static TConceptData MirrorOf(std::int32_t link, std::int32_t code, std::int32_t shows = 0) {
        TConceptData item;
        item.SetIsLink(true);
        item.LinkNo = link;
        item.LinkCode = code;
        item.SetConceptNo(shows);
        item.IconPos = {5, 6};
        return item;
    }
    static TConceptList ListOf(std::initializer_list<TConceptData> items) {
        TConceptList list;
        for (const TConceptData& item : items) {
            list.AddNew().Assign(item);
        }
        return list;
    }

    std::int32_t a = 0, b = 0, a1 = 0;
};

TEST_F(TreeOperationsTest, MovedItemsGoToTheEndOfTheirNewPlaceWithoutIconPosition) {
    const std::int32_t image = Image(a, b, 2, 1);
    TConceptList items = ListOf({ConceptOf(a1), MirrorOf(image, 2, b)});
    seeker.MoveItems(items, ConceptOf(b));

    EXPECT_EQ(ParentOf(a1), b);
    EXPECT_EQ(Concept(a1, "LIST_ORDER").AsInteger(), 10000);
    EXPECT_EQ(Concept(a1, "ICON_POS_X").AsInteger(), -1);
    EXPECT_EQ(ImageField(image, "RECORD_NO_FROM"), b);
    EXPECT_EQ(ImageField(image, "LIST_ORDER"), 10000);
    EXPECT_EQ(ImageField(image, "ICON_POS_Y"), -1);
    EXPECT_EQ(ImageField(image, "RECORD_NO_TO"), b);  // it still shows the same concept
    for (int i = 0; i < items.Count(); ++i) {
        EXPECT_EQ(items[i].IconPos, (store::TIconPoint{-1, -1}));
    }
    EXPECT_TRUE(questions.Asked.empty());  // relation 2 is never checked
}

TEST_F(TreeOperationsTest, AMirrorImageTargetMeansTheConceptItShows) {
    const std::int32_t imageOfB = Image(a, b, 1, 2);
    TConceptList items = ListOf({ConceptOf(a1)});
    seeker.MoveItems(items, MirrorOf(imageOfB, 1, b));
    EXPECT_EQ(ParentOf(a1), b);
}

TEST_F(TreeOperationsTest, ARelationOneMirrorItemLearnsTheConceptItShows) {
    const std::int32_t image = Image(b, a1, 1, 1);
    TConceptList items = ListOf({MirrorOf(image, 1)});
    seeker.MoveItems(items, ConceptOf(top));
    EXPECT_EQ(items[0].ConceptNo(), a1);
    EXPECT_EQ(ImageField(image, "RECORD_NO_FROM"), top);
}

TEST_F(TreeOperationsTest, AMoveUnderItsOwnDescendantIsRefusedAndRolledBack) {
    const std::int32_t c = Add("c", b, 1);
    const auto before = Records();
    const auto points = SavePoint();
    // c moves first (allowed), then a under its own child a1 is refused.
    TConceptList items = ListOf({ConceptOf(c), ConceptOf(a)});
    EXPECT_THROW(seeker.MoveItems(items, ConceptOf(a1)), store::ETrimInvalidLinkError);
    EXPECT_EQ(ParentOf(c), a1);  // earlier items stay moved until the caller rolls back
    RollBack(points);
    EXPECT_EQ(Records(), before);
}

TEST_F(TreeOperationsTest, MovingAVanishedRecordIsReported) {
    TConceptList items = ListOf({MirrorOf(77, 3)});
    EXPECT_THROW(seeker.MoveItems(items, ConceptOf(top)), store::EUnableToFind);
}

TEST_F(TreeOperationsTest, RenumberChildrenWritesTheGivenOrder) {
    const std::int32_t image = Image(top, a1, 2, 7);
    // The second item raised one place: b, a, then the mirror image.
    seeker.RenumberChildren(
        ListOf({ConceptOf(b), ConceptOf(a), MirrorOf(image, 2), ConceptOf(999)}));
    EXPECT_EQ(Concept(b, "LIST_ORDER").AsInteger(), 1);
    EXPECT_EQ(Concept(a, "LIST_ORDER").AsInteger(), 2);
    EXPECT_EQ(ImageField(image, "LIST_ORDER"), 3);
    EXPECT_EQ(ParentOf(a), top);
}

TEST_F(TreeOperationsTest, AddedConceptsAreNamedInTurnAndTheParentShowsChildren) {
    TConceptData parent = ConceptOf(b, "b");
    const auto first = seeker.AddChildConcept(parent);
    const auto second = seeker.AddChildConcept(parent);
    EXPECT_EQ(first->Title(), store::Utf8ToCp932("新規の概念"));
    EXPECT_EQ(second->Title(), store::Utf8ToCp932("新規の概念(2)"));
    EXPECT_EQ(ParentOf(second->ConceptNo()), b);
    EXPECT_TRUE(parent.HasChildren());
    ASSERT_FALSE(observer.Refreshed.empty());
    EXPECT_EQ(observer.Refreshed.back().ConceptNo(), b);
    EXPECT_TRUE(observer.Refreshed.back().HasChildren());
}

TEST_F(TreeOperationsTest, StoreTitleCarriesIdentifierAndLabelAlong) {
    store.AddTermToConcept(b, "b");
    store.AddTermToConcept(b, "other");
    seeker.StoreTitle(ConceptOf(b, "beta"));
    EXPECT_EQ(Concept(b, "TITLE").AsString(), "beta");
    EXPECT_EQ(Concept(b, "IDENTIFIER").AsString(), "@" + store::RecordNoToCode(b) + "%beta");
    EXPECT_EQ(Labels(b), (std::vector<std::string>{"beta", "other"}));
    EXPECT_EQ(observer.Refreshed.back().Title(), "beta");

    // An unchanged title on a concept without labels gives it the title as its first label.
    seeker.StoreTitle(ConceptOf(a, "a"));
    EXPECT_EQ(Labels(a), std::vector<std::string>{"a"});

    try {
        seeker.StoreTitle(ConceptOf(999, "x"));
        ADD_FAILURE();
    } catch (const store::EVelmoraError& e) {
        EXPECT_STREQ(e.what(), "レコードが見つかりません.");
    }
}

TEST_F(TreeOperationsTest, ASortedLevelHasConceptsByTitleThenMirrorImagesByRelation) {
    TConceptData m1 = MirrorOf(1, 1);
    m1.SetTitle("a");
    TConceptData m2z = MirrorOf(2, 2);
    m2z.SetTitle("z");
    TConceptData m2y = MirrorOf(3, 2);
    m2y.SetTitle("y");
    std::vector<TConceptData> level{m2z, ConceptOf(2, "b"), m1, ConceptOf(1, "a"), m2y};
    const auto byteOrder = [](const std::string& x, const std::string& y) { return x.compare(y); };
    std::stable_sort(level.begin(), level.end(), [&](const TConceptData& x, const TConceptData& y) {
        return TDataModuleSeeker::LevelItemLess(x, y, byteOrder);
    });
    std::vector<std::string> order;
    for (const TConceptData& item : level) {
        order.push_back((item.IsLink() ? "m" + std::to_string(item.LinkCode) : "c") + item.Title());
    }
    EXPECT_EQ(order, (std::vector<std::string>{"ca", "cb", "m1a", "m2y", "m2z"}));
}

}  // namespace
}  // namespace velmora::engine
