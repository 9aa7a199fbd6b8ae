#include "seeker.h"

#include <gtest/gtest.h>

#include "store_fixture.h"

namespace velmora::engine {
namespace {

using store::TValue;

class SeekerTest : public store::testing::StoreFixture {
protected:
    SeekerTest() : seeker(store, answers) {
        top = store.AppendConcept("top", 0, "");
        parent = store.AppendConcept("P", top, "");
    }

    std::int32_t Child(const std::string& title, std::int32_t listOrder, std::int32_t under = 0) {
        const std::int32_t no = store.AppendConcept(title, under ? under : parent, "");
        SetOrder(store.DtStOriginalConcepts, no, listOrder);
        return no;
    }
    std::int32_t Image(std::int32_t from, std::int32_t to, TValue listOrder,
                       std::int32_t code = 1) {
        store::TTable& n = store.DtStOriginalNetWork;
        n.AppendRecord({TValue{}, from, to, listOrder, code, -1, -1});
        return n.FieldByName("RECORD_NO").AsInteger();
    }
    static void SetOrder(store::TTable& table, std::int32_t no, std::int32_t order) {
        ASSERT_TRUE(table.Locate("RECORD_NO", TValue(no)));
        table.Edit();
        table.FieldByName("LIST_ORDER").SetAsInteger(order);
        table.Post();
    }
    std::int32_t Order(store::TTable& table, std::int32_t no) {
        EXPECT_TRUE(table.Locate("RECORD_NO", TValue(no)));
        return table.FieldByName("LIST_ORDER").AsInteger();
    }

    // The answer as "c<no>" for concepts and "m<link>" for mirror images.
    std::vector<std::string> Ask(TSeekMode mode, std::int32_t no) {
        seeker.SetSeekMode(mode);
        seeker.SetSeekNo(no);
        std::vector<std::string> out;
        const TConceptList& items = seeker.GetItems();
        for (int i = 0; i < items.Count(); ++i) {
            out.push_back(items[i].IsLink() ? "m" + std::to_string(items[i].LinkNo)
                                            : "c" + std::to_string(items[i].ConceptNo()));
        }
        return out;
    }
    int Changes() {
        return store.DtStOriginalConcepts.ChangeCount() + store.DtStOriginalNetWork.ChangeCount();
    }

    store::TFixedAnswer answers{store::TAnswer::Yes};
    TDataModuleSeeker seeker;
    std::int32_t top = 0;
    std::int32_t parent = 0;
};

using Strings = std::vector<std::string>;

TEST_F(SeekerTest, AnOrderedLevelIsAnsweredAsItIsAndNotRewritten) {
    const auto a = Child("a", 1);
    const auto b = Child("b", 2);
    const auto c = Child("c", 3);
    const int before = Changes();
    EXPECT_EQ(Ask(smLevel, b),
              (Strings{"c" + std::to_string(a), "c" + std::to_string(b), "c" + std::to_string(c)}));
    EXPECT_EQ(Changes(), before);
}

TEST_F(SeekerTest, GapsAndNewItemsAreRenumberedOnlyWhenAskedAsALevel) {
    const auto a = Child("a", 1);
    const auto b = Child("b", 3);
    const auto c = Child("c", 10000);
    const Strings expected{"c" + std::to_string(a), "c" + std::to_string(b),
                           "c" + std::to_string(c)};
    const int before = Changes();
    EXPECT_EQ(Ask(smChildren, parent), expected);
    EXPECT_EQ(Changes(), before);
    EXPECT_EQ(Ask(smLevel, a), expected);
    EXPECT_EQ(Order(store.DtStOriginalConcepts, a), 1);
    EXPECT_EQ(Order(store.DtStOriginalConcepts, b), 2);
    EXPECT_EQ(Order(store.DtStOriginalConcepts, c), 3);
}

TEST_F(SeekerTest, AtEqualNumbersConceptsComeFirst) {
    const auto other = store.AppendConcept("other", top, "");
    const auto a = Child("a", 1);
    const auto b = Child("b", 2);
    const auto m = Image(parent, other, 2);
    EXPECT_EQ(Ask(smLevel, a),
              (Strings{"c" + std::to_string(a), "c" + std::to_string(b), "m" + std::to_string(m)}));
    EXPECT_EQ(Order(store.DtStOriginalNetWork, m), 3);
}

TEST_F(SeekerTest, UnplacedAndUnnumberedItemsGoToTheEnd) {
    const auto other = store.AppendConcept("other", top, "");
    const auto a = Child("a", 10000);
    const auto b = Child("b", 10000);
    const auto m0 = Image(parent, other, TValue{});  // a new mirror image: null reads as 0
    EXPECT_EQ(Ask(smChildren, parent), (Strings{"c" + std::to_string(a), "c" + std::to_string(b),
                                                "m" + std::to_string(m0)}));
    // An unnumbered item leads its cursor, so the items behind it wait for the end as well.
    const auto m1 = Image(parent, other, 1);
    EXPECT_EQ(Ask(smChildren, parent),
              (Strings{"c" + std::to_string(a), "c" + std::to_string(b), "m" + std::to_string(m0),
                       "m" + std::to_string(m1)}));
}

TEST_F(SeekerTest, ParentsAreTheOwnParentAndThePlacesOfMirrorImages) {
    // The answer is merged by LIST_ORDER as well: the parent is first of its level here, the
    // two mirror images second and third of theirs.
    SetOrder(store.DtStOriginalConcepts, parent, 1);
    const auto a = Child("a", 1);
    const auto x = store.AppendConcept("X", top, "");
    const auto y = store.AppendConcept("Y", top, "");
    const auto mx = Image(x, a, 2);
    const auto my = Image(y, a, 3, 3);
    EXPECT_EQ(Ask(smParents, a), (Strings{"c" + std::to_string(parent), "m" + std::to_string(mx),
                                          "m" + std::to_string(my)}));
    const TConceptList& items = seeker.GetItems();
    EXPECT_EQ(items[1].ConceptNo(), x);
    EXPECT_EQ(items[1].Title(), "X");
    EXPECT_EQ(items[2].ConceptNo(), y);
    EXPECT_EQ(items[2].LinkCode, 3);
    EXPECT_TRUE(items[0].HasChildren());

    // The top concept has no parent record: only the mirror images of it.
    const auto mt = Image(x, top, 1);
    EXPECT_EQ(Ask(smParents, top), Strings{"m" + std::to_string(mt)});
}

TEST_F(SeekerTest, AMirrorLevelListsThePlaceOfTheImage) {
    const auto a = Child("a", 1);
    const auto x = store.AppendConcept("X", top, "");
    const auto m = Image(x, a, 1);
    const auto xChild = Child("x1", 2, x);
    EXPECT_EQ(Ask(smMirrorLevel, m),
              (Strings{"m" + std::to_string(m), "c" + std::to_string(xChild)}));
    const TConceptList& items = seeker.GetItems();
    EXPECT_EQ(items[0].ConceptNo(), a);  // the concept the image shows
    EXPECT_EQ(items[0].Title(), "a");

    store.DeleteLink(m);
    seeker.SetSeekMode(smMirrorLevel);
    seeker.SetSeekNo(m);
    try {
        seeker.GetItems();
        ADD_FAILURE();
    } catch (const store::EVelmoraError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "ERROR: データが見つかりません. SeekNo=\"" + std::to_string(m) + "\"");
    }
    EXPECT_EQ(seeker.GetItems().Count(), 0);  // the failed answer stays empty
}

TEST_F(SeekerTest, HasChildrenCountsMirrorImagesOfEveryRelation) {
    const auto a = Child("a", 1);
    const auto b = Child("b", 2);
    EXPECT_FALSE(seeker.HasChildRecords(a));
    Image(a, b, 1, 7);
    EXPECT_TRUE(seeker.HasChildRecords(a));
    EXPECT_TRUE(seeker.HasChildRecords(parent));
    // A mirror image of a missing concept: an item without concept and title.
    const auto dangling = Image(parent, 999, 3);
    EXPECT_EQ(Ask(smChildren, parent).back(), "m" + std::to_string(dangling));
    EXPECT_EQ(seeker.GetItems()[2].ConceptNo(), 0);
    EXPECT_EQ(seeker.GetItems()[2].Title(), "");
}

TEST_F(SeekerTest, TheTopNodeIsTheLowestNumberWithoutParent) {
    store.AppendConcept("second top", 0, "");
    EXPECT_EQ(seeker.GetTopNode().ConceptNo(), top);
    EXPECT_EQ(seeker.GetTopNode().Title(), "top");
    EXPECT_TRUE(seeker.GetTopNode().HasChildren());

    store.CreateTables();  // a new, empty ontology: the seeker follows the new tables
    try {
        seeker.GetTopNode();
        ADD_FAILURE();
    } catch (const store::EVelmoraError& e) {
        EXPECT_STREQ(e.what(), "ERROR: データが見つかりません. \"トップノード\"");
    }
}

}  // namespace
}  // namespace velmora::engine
