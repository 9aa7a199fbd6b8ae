#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "code_page.h"
#include "engine_fixture.h"
#include "store_exceptions.h"

namespace velmora::engine {
namespace {

using store::TDateTime;
using store::TTable;
using store::TValue;
using Row = std::vector<TValue>;

// top
// ├─ T (1)
// │  ├─ A (1)
// │  │  └─ C (7)
// │  └─ [D] (2)   a mirror image of D
// ├─ D (2)
// └─ P (3)
class CopyItemsTest : public testing::EngineFixture {
protected:
    CopyItemsTest() {
        t = Add("T", top, 1);
        d = Add("D", top, 2);
        p = Add("P", top, 3);
        a = Add("A", t, 1);
        b = Image(t, d, 1, 2);
        c = Add("C", a, 7);
    }

    static TConceptData ConceptOf(std::int32_t no) {
        TConceptData item;
        item.SetConceptNo(no);
        item.IconPos = {5, 6};
        return item;
    }
    static TConceptData MirrorOf(std::int32_t link) {
        TConceptData item;
        item.SetIsLink(true);
        item.LinkNo = link;
        return item;
    }
    static TConceptList ListOf(std::initializer_list<TConceptData> items) {
        TConceptList list;
        for (const TConceptData& item : items) {
            list.AddNew().Assign(item);
        }
        return list;
    }
    std::unique_ptr<TConceptList> Copy(std::initializer_list<TConceptData> items,
                                       std::int32_t target) {
        return seeker.CopyItems(ListOf(items), ConceptOf(target));
    }

    // A concept and everything under it, as the children pane would list it: titles in UTF-8,
    // a mirror image as [title] or, for another relation than 1, [title:code].
    std::string Tree(std::int32_t no) {
        std::string out = store::Cp932ToUtf8(Concept(no, "TITLE").AsString());
        seeker.SetSeekMode(smChildren);
        seeker.SetSeekNo(no);
        TConceptList children;
        children.Assign(seeker.GetItems());
        for (int i = 0; i < children.Count(); ++i) {
            const TConceptData& child = children[i];
            out += i == 0 ? "(" : ",";
            if (child.IsLink()) {
                out += "[" + store::Cp932ToUtf8(child.Title()) +
                       (child.LinkCode == 1 ? "" : ":" + std::to_string(child.LinkCode)) + "]";
            } else {
                out += Tree(child.ConceptNo());
            }
        }
        return children.Count() ? out + ")" : out;
    }
    std::vector<TConceptData> Children(std::int32_t no) {
        seeker.SetSeekMode(smChildren);
        seeker.SetSeekNo(no);
        const TConceptList& items = seeker.GetItems();
        std::vector<TConceptData> out(static_cast<std::size_t>(items.Count()));
        for (int i = 0; i < items.Count(); ++i) {
            out[static_cast<std::size_t>(i)].Assign(items[i]);
        }
        return out;
    }

    static Row RowOf(TTable& table, std::int32_t no) {
        EXPECT_TRUE(table.Locate("RECORD_NO", TValue(no))) << no;
        Row row;
        for (int i = 0; i < static_cast<int>(table.FieldDefs().size()); ++i) {
            row.push_back(table.Fields(i).Value());
        }
        return row;
    }
    static Row With(TTable& table, Row row,
                    std::initializer_list<std::pair<std::string_view, TValue>> changes) {
        for (const auto& [field, value] : changes) {
            row[static_cast<std::size_t>(table.FieldByName(field).Index())] = value;
        }
        return row;
    }
    static void Set(TTable& table, std::int32_t no, std::string_view field, const TValue& value) {
        ASSERT_TRUE(table.Locate("RECORD_NO", TValue(no))) << no;
        table.Edit();
        table.FieldByName(field).SetValue(value);
        table.Post();
    }
    static std::vector<Row> AllRows(const TTable& table) {
        std::vector<Row> rows;
        table.ForEachRecord([&](std::span<const TValue> values) {
            rows.emplace_back(values.begin(), values.end());
        });
        return rows;
    }
    static std::vector<Row> Head(std::vector<Row> rows, std::size_t n) {
        rows.resize(std::min(n, rows.size()));
        return rows;
    }
    static std::string U(const char* utf8) { return store::Utf8ToCp932(utf8); }

    TTable& concepts = store.DtStOriginalConcepts;
    TTable& network = store.DtStOriginalNetWork;
    std::int32_t t = 0, d = 0, p = 0, a = 0, b = 0, c = 0;
};

TEST_F(CopyItemsTest, DuplicatingCopiesTheSubtreeToTheEndOfTheLevelAndTakesOverEveryField) {
    // Values no new record would get, so that anything stamped afresh shows.
    Set(concepts, t, "IDENTIFIER", U("@OWN%T"));
    Set(concepts, t, "DESCRIPTION", U("説明"));
    Set(concepts, t, "COMMENT", TValue{});
    Set(concepts, t, "DATE_CREATION", TDateTime::FromCivil({2001, 2, 3, 4, 5, 6, 7}));
    Set(concepts, t, "DATE_EDITION", TDateTime::FromCivil({2002, 3, 4, 5, 6, 7, 8}));
    Set(concepts, t, "EDITOR", U("佐藤"));
    Set(concepts, t, "ICON_POS_X", 30);
    Set(concepts, t, "ICON_POS_Y", 40);
    Set(concepts, a, "ICON_POS_X", 50);
    Set(network, b, "ICON_POS_X", 70);
    store.AddTermToConcept(t, U("ラベル"));
    store.AddTermToConcept(a, "alabel");
    const std::vector<Row> conceptsBefore = AllRows(concepts);
    const std::vector<Row> networkBefore = AllRows(network);
    const Row sourceT = RowOf(concepts, t);
    const Row sourceA = RowOf(concepts, a);
    const Row sourceC = RowOf(concepts, c);
    const Row sourceB = RowOf(network, b);

    const auto copies = Copy({ConceptOf(t)}, top);

    ASSERT_EQ(copies->Count(), 1);
    const TConceptData& copy = (*copies)[0];
    const std::int32_t t2 = copy.ConceptNo();
    EXPECT_FALSE(copy.IsLink());
    EXPECT_EQ(copy.Title(), "\x83\x52\x83\x73\x81\x5B\x20\x81\x60\x20T");
    EXPECT_TRUE(copy.HasChildren());
    EXPECT_EQ(copy.IconPos, (store::TIconPoint{-1, -1}));
    EXPECT_EQ(Tree(t2), "コピー ～ T(A(C),[D])");
    EXPECT_EQ(Tree(t), "T(A(C),[D])");

    // The first copy goes to the end of the level; inside the subtree the order is kept.
    const std::vector<TConceptData> under = Children(t2);
    ASSERT_EQ(under.size(), 2U);
    const std::int32_t a2 = under[0].ConceptNo();
    const std::int32_t b2 = under[1].LinkNo;
    const std::int32_t c2 = Children(a2).at(0).ConceptNo();
    EXPECT_EQ(RowOf(concepts, t2), With(concepts, sourceT,
                                        {{"RECORD_NO", t2},
                                         {"TITLE", copy.Title()},
                                         {"PARENT_NO", top},
                                         {"LIST_ORDER", 10000},
                                         {"ICON_POS_X", -1},
                                         {"ICON_POS_Y", -1}}));
    EXPECT_EQ(RowOf(concepts, a2),
              With(concepts, sourceA,
                   {{"RECORD_NO", a2}, {"PARENT_NO", t2}, {"ICON_POS_X", -1}, {"ICON_POS_Y", -1}}));
    EXPECT_EQ(RowOf(concepts, c2),
              With(concepts, sourceC,
                   {{"RECORD_NO", c2}, {"PARENT_NO", a2}, {"ICON_POS_X", -1}, {"ICON_POS_Y", -1}}));
    EXPECT_EQ(
        RowOf(network, b2),
        With(network, sourceB, {{"RECORD_NO", b2}, {"RECORD_NO_FROM", t2}, {"ICON_POS_X", -1}}));

    EXPECT_TRUE(Labels(t2).empty());
    EXPECT_TRUE(Labels(a2).empty());
    // The sources are untouched; the copies only add records.
    EXPECT_EQ(Head(AllRows(concepts), conceptsBefore.size()), conceptsBefore);
    EXPECT_EQ(Head(AllRows(network), networkBefore.size()), networkBefore);
}

TEST_F(CopyItemsTest, TitlesCountUpWhereTakenAndStayWhereFree) {
    std::vector<std::string> titles;
    for (int i = 0; i < 3; ++i) {
        const auto copies = Copy({ConceptOf(t)}, top);
        titles.push_back(store::Cp932ToUtf8((*copies)[0].Title()));
    }
    EXPECT_EQ(titles,
              (std::vector<std::string>{"コピー ～ T", "コピー ～ T(1)", "コピー ～ T(2)"}));

    // Pasted where no concept is called T: the title and the subtree's titles stay.
    const auto pasted = Copy({ConceptOf(t)}, p);
    EXPECT_EQ(Tree((*pasted)[0].ConceptNo()), "T(A(C),[D])");
}

TEST_F(CopyItemsTest, MakeCopyTitleLooksOnlyUnderTheParent) {
    struct TCase {
        std::vector<const char*> underParent;
        const char* title;
        const char* expected;
    };
    const TCase cases[] = {
        {{}, "T", "T"},
        {{"T"}, "T", "コピー ～ T"},
        {{"T", "コピー ～ T"}, "T", "コピー ～ T(1)"},
        {{"T", "コピー ～ T", "コピー ～ T(1)"}, "T", "コピー ～ T(2)"},
        {{"T", "コピー ～ T(1)"}, "T", "コピー ～ T"},
        {{"コピー ～ T"}, "T", "T"},
        {{"Tx", "t"}, "T", "T"},
        {{"概念"}, "概念", "コピー ～ 概念"},
    };
    for (const TCase& test : cases) {
        const std::int32_t parent = Add("parent", top);
        // The same titles elsewhere never count.
        const std::int32_t other = Add("other", top);
        Add(U(test.title), other);
        for (const char* title : test.underParent) {
            Add(U(title), parent);
        }
        EXPECT_EQ(store::Cp932ToUtf8(seeker.MakeCopyTitle(U(test.title), parent)), test.expected)
            << test.title << " under " << test.underParent.size() << " titles";
    }
}

// The target lies in the copied subtree: the new copies turn up among the children being
// copied and must not be copied again.
TEST_F(CopyItemsTest, ACopyIntoItsOwnSubtreeIsMadeOnce) {
    struct TCase {
        const char* name;
        std::vector<TConceptData> items;
        std::int32_t target;
        std::int32_t shown;
        const char* expected;
        bool copyHasChildren;
    };
    const TCase cases[] = {
        {"T into T", {ConceptOf(t)}, t, t, "T(A(C),[D],T(A(C),[D]))", true},
        {"T into its grandchild", {ConceptOf(t)}, c, t, "T(A(C(T(A(C),[D]))),[D])", true},
        // The image copied first is among T's children when T is copied; it stays single.
        {"an image and T into T",
         {MirrorOf(b), ConceptOf(t)},
         t,
         t,
         "T(A(C),[D],T(A(C),[D]),[D])",
         false},
        {"a leaf into itself", {ConceptOf(c)}, c, c, "C(C)", false},
    };
    const auto start = SavePoint();
    for (const TCase& test : cases) {
        SCOPED_TRACE(test.name);
        TConceptList items;
        for (const TConceptData& item : test.items) {
            items.AddNew().Assign(item);
        }
        const auto copies = seeker.CopyItems(items, ConceptOf(test.target));
        ASSERT_EQ(copies->Count(), static_cast<int>(test.items.size()));
        EXPECT_EQ(Tree(test.shown), test.expected);
        EXPECT_EQ((*copies)[0].HasChildren(), test.copyHasChildren);
        RollBack(start);
    }
}

TEST_F(CopyItemsTest, ReturnsOneEntryPerItemInOrderAndCopiesImagesWithTheirRelation) {
    const std::int32_t related = Image(t, d, 2, 3);
    Set(network, related, "ICON_POS_X", 3);
    Set(network, related, "ICON_POS_Y", 4);
    const Row relatedBefore = RowOf(network, related);

    const auto copies = Copy({MirrorOf(related), ConceptOf(c), ConceptOf(t)}, p);

    ASSERT_EQ(copies->Count(), 3);
    const TConceptData& image = (*copies)[0];
    EXPECT_TRUE(image.IsLink());
    EXPECT_NE(image.LinkNo, related);
    EXPECT_EQ(image.IconPos, (store::TIconPoint{-1, -1}));
    EXPECT_EQ(RowOf(network, image.LinkNo), (Row{image.LinkNo, p, d, 10000, 2, -1, -1}));
    EXPECT_EQ(RowOf(network, related), relatedBefore);

    const TConceptData& leaf = (*copies)[1];
    EXPECT_FALSE(leaf.IsLink());
    EXPECT_EQ(leaf.Title(), "C");
    EXPECT_FALSE(leaf.HasChildren());
    EXPECT_EQ(leaf.IconPos, (store::TIconPoint{-1, -1}));
    EXPECT_EQ(ParentOf(leaf.ConceptNo()), p);
    EXPECT_EQ(Concept(leaf.ConceptNo(), "LIST_ORDER").AsInteger(), 10000);
    EXPECT_TRUE((*copies)[2].HasChildren());
    EXPECT_EQ(Tree(p), "P(C,T(A(C),[D],[D:2]),[D:2])");
}

// The duplicate command hands over the workspace's items, which may be the seeker's own
// answer; the copy seeks again at once.
TEST_F(CopyItemsTest, ItemsAndTargetMayBeTheSeekersOwnAnswer) {
    seeker.SetSeekMode(smChildren);
    seeker.SetSeekNo(top);
    const TConceptList& level = seeker.GetItems();  // T, D, P
    const auto copies = seeker.CopyItems(level, level[1]);
    ASSERT_EQ(copies->Count(), 3);
    EXPECT_EQ(Tree(d), "D(T(A(C),[D]),D,P)");
}

TEST_F(CopyItemsTest, AVanishedSourceRaisesUnableToFindAndKeepsTheCopiesMadeSoFar) {
    struct TCase {
        TConceptData missing;
        const char* message;
    };
    const TCase cases[] = {
        {ConceptOf(999),
         "データベースにレコードが見つかりません.\r\n   データベース：概念レコード\r\n   "
         "レコード番号：999"},
        {MirrorOf(999),
         "データベースにレコードが見つかりません.\r\n   データベース：リンクレコード\r\n   "
         "レコード番号：999"},
    };
    for (const TCase& test : cases) {
        SCOPED_TRACE(test.message);
        const auto start = SavePoint();
        const auto before = Records();
        try {
            Copy({ConceptOf(a), test.missing}, p);
            ADD_FAILURE() << "no error";
        } catch (const store::EUnableToFind& e) {
            EXPECT_STREQ(e.what(), test.message);
        }
        EXPECT_EQ(Tree(p), "P(A(C))");
        RollBack(start);
        EXPECT_EQ(Records(), before);
    }
}

TEST_F(CopyItemsTest, AMirrorImageTargetIsABugAndWritesNothing) {
    const auto before = Records();
    try {
        seeker.CopyItems(ListOf({ConceptOf(a)}), MirrorOf(b));
        ADD_FAILURE() << "no error";
    } catch (const store::EVelmoraError& e) {
        EXPECT_STREQ(e.what(), "BUG: コピーを置こうとした親ノードがリンクです.");
    }
    EXPECT_EQ(Records(), before);
}

// A file whose PARENT_NO values form a loop: the concepts are not reachable from the top, but
// copying one of them must end.
TEST_F(CopyItemsTest, AParentLoopGivesAClearError) {
    const std::int32_t x = Add("X", top);
    const std::int32_t y = Add("Y", x);
    Set(concepts, x, "PARENT_NO", y);
    const std::int32_t self = Add("S", top);
    Set(concepts, self, "PARENT_NO", self);
    for (const std::int32_t no : {x, y, self}) {
        try {
            Copy({ConceptOf(no)}, p);
            ADD_FAILURE() << "no error for " << no;
        } catch (const store::EVelmoraError& e) {
            EXPECT_EQ(std::string(e.what()),
                      "ERROR: 概念の上位関係が循環しています. 概念 " + std::to_string(no));
        }
    }
}

TEST_F(CopyItemsTest, ADeepChainIsCopiedWhole) {
    constexpr int kDepth = 20000;
    std::int32_t last = Add("L", top);
    const std::int32_t first = last;
    for (int i = 1; i < kDepth; ++i) {
        last = Add("L", last);
    }
    const int before = concepts.RecordCount();

    const auto copies = Copy({ConceptOf(first)}, top);

    ASSERT_EQ(copies->Count(), 1);
    EXPECT_TRUE((*copies)[0].HasChildren());
    EXPECT_EQ(concepts.RecordCount(), before + kDepth);
    // The newest record is the copy of the deepest concept; its parents lead to the first copy.
    concepts.Last();
    std::int32_t no = concepts.FieldByName("RECORD_NO").AsInteger();
    EXPECT_EQ(Concept(no, "TITLE").AsString(), "L");
    for (int i = 1; i < kDepth; ++i) {
        no = ParentOf(no);
    }
    EXPECT_EQ(no, (*copies)[0].ConceptNo());
}

// A loaded file may carry fields this program does not know; a copy keeps them too.
TEST_F(CopyItemsTest, FieldsUnknownToTheProgramAreTakenOver) {
    std::vector<store::TFieldDef> defs = concepts.FieldDefs();
    defs.push_back({"EXTRA", store::TFieldKind::Integer, 0});
    defs.push_back({"NOTE", store::TFieldKind::Text, 40});
    std::vector<Row> rows;
    for (const Row& row : AllRows(concepts)) {
        rows.push_back(row);
        rows.back().push_back(static_cast<std::int32_t>(rows.size()) * 11);
        if (rows.size() == 2) {
            rows.back().emplace_back(std::string("note"));
        } else {
            rows.back().emplace_back();
        }
    }
    const std::int32_t next = concepts.AutoIncValue();
    concepts.OpenEmpty(defs);
    for (const Row& row : rows) {
        concepts.AppendLoadedRecord(row);
    }
    concepts.SetAutoIncValue(next);
    store.AttachTables();

    const auto copies = Copy({ConceptOf(t)}, p);
    const std::int32_t t2 = (*copies)[0].ConceptNo();
    EXPECT_EQ(Concept(t2, "EXTRA").AsInteger(), Concept(t, "EXTRA").AsInteger());
    EXPECT_EQ(Concept(t2, "NOTE").AsString(), "note");
    const std::int32_t a2 = Children(t2).at(0).ConceptNo();
    EXPECT_TRUE(Concept(a2, "NOTE").IsNull());
    EXPECT_EQ(Tree(t2), "T(A(C),[D])");
}

}  // namespace
}  // namespace velmora::engine
