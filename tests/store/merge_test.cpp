#include <gtest/gtest.h>

#include "data_module.h"
#include "store_fixture.h"

namespace velmora::store {
namespace {

class MergeTest : public testing::StoreFixture {
protected:
    MergeTest() {
        top = store.AppendConcept("top", 0, "");
        a = Add("A", top, "x");
        b = Add("B", top, "");
        c = Add("C", top, "z");
    }

    std::int32_t Add(const std::string& title, std::int32_t parent, const std::string& descr) {
        const std::int32_t no = store.AppendConcept(title, parent, "");
        store.DtStOriginalConcepts.Edit();
        store.DtStOriginalConcepts.FieldByName("DESCRIPTION").SetAsString(descr);
        store.DtStOriginalConcepts.Post();
        return no;
    }

    TConceptList Items(std::initializer_list<std::int32_t> numbers) {
        TConceptList list;
        for (std::int32_t no : numbers) {
            TConceptData& item = list.AddNew();
            item.SetConceptNo(no);
            item.SetTitle("item-" + std::to_string(no));
        }
        return list;
    }

    std::int32_t top = 0, a = 0, b = 0, c = 0;
};

TEST_F(MergeTest, JoinsTitlesAndTextsBesideTheFirstItem) {
    const std::int32_t outside = store.AppendConcept("outside", 0, "");
    const std::int32_t cInOther = Add("C2", outside, "");  // a later item under another parent
    TConceptData result;
    result.LinkNo = 7;
    store.MergeConcepts(Items({a, b, c, cInOther}), &result);

    const std::int32_t merged = result.ConceptNo();
    EXPECT_EQ(Concept(merged, "TITLE").AsString(), "A/B/C/C2");
    EXPECT_EQ(Concept(merged, "DESCRIPTION").AsString(), "x\r\n//\r\nz");
    EXPECT_EQ(Concept(merged, "PARENT_NO").AsInteger(), top);
    EXPECT_EQ(Concept(merged, "LIST_ORDER").AsInteger(), 10000);
    EXPECT_EQ(Concept(merged, "IDENTIFIER").AsString(), "@" + RecordNoToCode(merged) + "%A/B/C/C2");
    for (std::int32_t gone : {a, b, c, cInOther}) {
        EXPECT_FALSE(HasConcept(gone)) << gone;
    }
    // The item returned carries the first item's title, not the joined one.
    EXPECT_EQ(result.Title(), "item-" + std::to_string(a));
    EXPECT_FALSE(result.IsLink());
    EXPECT_FALSE(result.HasChildren());
    EXPECT_EQ(result.LinkNo, 7);  // left as it was
}

TEST_F(MergeTest, SeparatorFollowsAnEmptyFirstText) {
    const std::int32_t empty = Add("E", top, "");
    const std::int32_t y = Add("Y", top, "y");
    TConceptData result;
    store.MergeConcepts(Items({empty, y}), &result);
    EXPECT_EQ(Concept(result.ConceptNo(), "DESCRIPTION").AsString(), "\r\n//\r\ny");
}

TEST_F(MergeTest, LabelsOfEqualTextInTwoRecordsPassOnce) {
    // Two records of one text, as files written before labels were looked up as stored hold.
    TTable& t = store.DtStOriginalTerms;
    t.AppendRecord({TValue{}, "same", TValue{}});
    const std::int32_t first = t.FieldByName("TERM_NO").AsInteger();
    t.AppendRecord({TValue{}, "same", TValue{}});
    const std::int32_t second = t.FieldByName("TERM_NO").AsInteger();
    store.DtStOriginalAssociation.AppendRecord({TValue{}, a, first, TValue{}});
    store.DtStOriginalAssociation.AppendRecord({TValue{}, b, second, TValue{}});

    TConceptData result;
    store.MergeConcepts(Items({a, b}), &result);
    EXPECT_EQ(Labels(result.ConceptNo()), std::vector<std::string>{"same"});
    EXPECT_EQ(t.RecordCount(), 1) << "the record no association uses any more goes";
}

TEST_F(MergeTest, ChildrenMirrorImagesAndLabelsPassToTheNewConcept) {
    const std::int32_t childOfA = store.AppendConcept("a1", a, "");
    const std::int32_t childOfB = store.AppendConcept("b1", b, "");
    store.DtStOriginalConcepts.Edit();
    store.DtStOriginalConcepts.FieldByName("LIST_ORDER").SetAsInteger(4);
    store.DtStOriginalConcepts.Post();
    const std::int32_t d = store.AppendConcept("D", top, "");
    const std::int32_t e = store.AppendConcept("E", top, "");
    MirrorImage(a, b);  // B shown under A: would show the new concept under itself
    MirrorImage(a, d);  // D under A and under B: one image of D stays under the new concept
    MirrorImage(b, d, 3);
    MirrorImage(e, a);  // A shown under E: re-pointed
    store.AddTermToConcept(a, "shared");
    store.AddTermToConcept(b, "shared");
    store.AddTermToConcept(b, "only-b");
    const std::int32_t sharedTerm = TermNo("shared");

    TConceptData result;
    store.MergeConcepts(Items({a, b}), &result);
    const std::int32_t merged = result.ConceptNo();

    EXPECT_TRUE(result.HasChildren());
    EXPECT_EQ(Concept(childOfA, "PARENT_NO").AsInteger(), merged);
    EXPECT_EQ(Concept(childOfB, "PARENT_NO").AsInteger(), merged);
    EXPECT_EQ(Concept(childOfB, "LIST_ORDER").AsInteger(), 4);
    EXPECT_EQ(MirrorImages(),
              (std::vector<std::pair<std::int32_t, std::int32_t>>{{merged, d}, {e, merged}}));
    // The image that stayed is the later-processed one, with its own link code.
    TTable& n = store.DtStOriginalNetWork;
    ASSERT_TRUE(n.Locate("RECORD_NO_TO", TValue(d)));
    EXPECT_EQ(n.FieldByName("LINK_CODE").AsInteger(), 3);
    EXPECT_EQ(Labels(merged), (std::vector<std::string>{"shared", "only-b"}));
    EXPECT_EQ(TermNo("shared"), sharedTerm);
}

TEST_F(MergeTest, ASingleItemIsReplacedByACopyWithANewNumber) {
    const std::int32_t child = store.AppendConcept("a1", a, "");
    store.AddTermToConcept(a, "label");
    TConceptData result;
    store.MergeConcepts(Items({a}), &result);
    EXPECT_NE(result.ConceptNo(), a);
    EXPECT_FALSE(HasConcept(a));
    EXPECT_EQ(Concept(result.ConceptNo(), "TITLE").AsString(), "A");
    EXPECT_EQ(Concept(result.ConceptNo(), "DESCRIPTION").AsString(), "x");
    EXPECT_EQ(Concept(child, "PARENT_NO").AsInteger(), result.ConceptNo());
    EXPECT_EQ(Labels(result.ConceptNo()), std::vector<std::string>{"label"});
}

TEST_F(MergeTest, AMissingConceptFailsBeforeAnythingChanges) {
    const int conceptsBefore = store.DtStOriginalConcepts.RecordCount();
    const int changesBefore = store.DtStOriginalConcepts.ChangeCount();
    try {
        store.MergeConcepts(Items({a, 99}), nullptr);
        FAIL();
    } catch (const EVelmoraError& e) {
        EXPECT_STREQ(e.what(), "ERROR: データベースに要求された概念項目が見つかりません. 99");
    }
    EXPECT_EQ(store.DtStOriginalConcepts.RecordCount(), conceptsBefore);
    EXPECT_EQ(store.DtStOriginalConcepts.ChangeCount(), changesBefore);
    store.MergeConcepts(Items({}), nullptr);  // nothing to do
    EXPECT_EQ(store.DtStOriginalConcepts.RecordCount(), conceptsBefore);
}

}  // namespace
}  // namespace velmora::store
