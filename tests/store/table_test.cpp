#include "table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace velmora::store {
namespace {

const TValue kNull{};

TValue S(std::string text) {
    return TValue(std::move(text));
}
TValue I(std::int32_t value) {
    return TValue(value);
}

std::vector<TFieldDef> ConceptDefs() {
    return {
        {"RECORD_NO", TFieldKind::AutoInc, 0},  {"TITLE", TFieldKind::Text, 255},
        {"DESCRIPTION", TFieldKind::Memo, 200}, {"PARENT_NO", TFieldKind::Integer, 0},
        {"LIST_ORDER", TFieldKind::Integer, 0}, {"DATE_CREATION", TFieldKind::DateTime, 0},
    };
}

std::vector<TFieldDef> TermDefs() {
    return {
        {"TERM_NO", TFieldKind::AutoInc, 0},
        {"TERM_STRING", TFieldKind::Text, 20},
        {"NOTE", TFieldKind::Memo, 200},
    };
}

std::int32_t No(TCursor& c) {
    return c.FieldByName("RECORD_NO").AsInteger();
}

// Record numbers of the cursor's view, in its order.
std::vector<std::int32_t> Walk(TCursor& c) {
    std::vector<std::int32_t> out;
    for (c.First(); !c.Eof(); c.Next()) {
        out.push_back(No(c));
    }
    return out;
}

std::vector<std::vector<TValue>> Records(const TTable& t) {
    std::vector<std::vector<TValue>> out;
    t.ForEachRecord(
        [&](std::span<const TValue> values) { out.emplace_back(values.begin(), values.end()); });
    return out;
}

std::int32_t AddConcept(TCursor& c, std::int32_t parent, std::int32_t order,
                        const std::string& title = "") {
    c.Append();
    c.FieldByName("PARENT_NO").SetAsInteger(parent);
    c.FieldByName("LIST_ORDER").SetAsInteger(order);
    if (!title.empty()) {
        c.FieldByName("TITLE").SetAsString(title);
    }
    c.Post();
    return No(c);
}

// Records 1..16 as (PARENT_NO, LIST_ORDER), added in an order that is not the list order, with
// ties (5 and 8 under 2, 9 and 12 under 5). In "PARENT_NO;LIST_ORDER" order the children are:
//   of 1: 3 2 4 15    of 2: 6 5 8    of 3: 7    of 5: 9 12    of 6: 11 10    of 12: 14 13 16
struct TTreeRow {
    std::int32_t parent;
    std::int32_t order;
};
constexpr TTreeRow kTree[] = {
    {0, 1}, {1, 2}, {1, 1}, {1, 3}, {2, 2},  {2, 1},  {3, 1}, {2, 2},
    {5, 1}, {6, 2}, {6, 1}, {5, 1}, {12, 2}, {12, 1}, {1, 4}, {12, 3},
};

class TableTest : public ::testing::Test {
protected:
    void SetUp() override { concepts.CreateDataSet(); }

    void BuildTree() {
        for (const TTreeRow& row : kTree) {
            AddConcept(concepts, row.parent, row.order,
                       "c" + std::to_string(concepts.RecordCount() + 1));
        }
        ASSERT_EQ(concepts.RecordCount(), 16);
    }

    void GoTo(TCursor& c, std::int32_t no) { ASSERT_TRUE(c.Locate("RECORD_NO", I(no))) << no; }

    TTable concepts{"concepts", ConceptDefs(), "RECORD_NO"};
};

// ---------------------------------------------------------------------------------------------
// Order

TEST_F(TableTest, IndexOrderFollowsInsertsEditsAndDeletes) {
    TCursor byParent;
    byParent.CloneCursor(concepts, true);
    byParent.SetIndexFieldNames("PARENT_NO;LIST_ORDER");
    BuildTree();
    EXPECT_EQ(Walk(byParent),
              (std::vector<std::int32_t>{1, 3, 2, 4, 15, 6, 5, 8, 7, 9, 12, 11, 10, 14, 13, 16}));

    // Key edits through another cursor move the record; a record whose key becomes equal to
    // another's sorts by order of addition, not by the time of the edit.
    GoTo(concepts, 4);
    concepts.Edit();
    concepts.FieldByName("LIST_ORDER").SetAsInteger(0);
    concepts.Post();
    GoTo(concepts, 16);
    concepts.Edit();
    concepts.FieldByName("PARENT_NO").SetAsInteger(2);
    concepts.FieldByName("LIST_ORDER").SetAsInteger(1);
    concepts.Post();
    GoTo(concepts, 3);
    concepts.Edit();
    concepts.FieldByName("LIST_ORDER").SetAsInteger(2);  // ties with 2 (added before it)
    concepts.Post();
    EXPECT_EQ(Walk(byParent),
              (std::vector<std::int32_t>{1, 4, 2, 3, 15, 6, 16, 5, 8, 7, 9, 12, 11, 10, 14, 13}));

    // A non-key edit keeps the place.
    GoTo(concepts, 5);
    concepts.Edit();
    concepts.FieldByName("TITLE").SetAsString("renamed");
    concepts.Post();
    GoTo(concepts, 2);
    concepts.Delete();
    GoTo(concepts, 14);
    concepts.Delete();
    EXPECT_EQ(Walk(byParent),
              (std::vector<std::int32_t>{1, 4, 3, 15, 6, 16, 5, 8, 7, 9, 12, 11, 10, 13}));

    // The table's own order is by number; the empty list is order of addition.
    EXPECT_EQ(Walk(concepts),
              (std::vector<std::int32_t>{1, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 15, 16}));
    byParent.SetIndexFieldNames("");
    EXPECT_EQ(Walk(byParent),
              (std::vector<std::int32_t>{1, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 15, 16}));
}

TEST_F(TableTest, EqualKeysKeepOrderOfAddition) {
    // New concepts all at 10000 under one parent, added from several cursors.
    TCursor other;
    other.CloneCursor(concepts, true);
    std::vector<std::int32_t> added;
    for (int i = 0; i < 40; ++i) {
        added.push_back(AddConcept(i % 2 == 0 ? static_cast<TCursor&>(concepts) : other, 7, 10000));
    }
    TCursor byParent;
    byParent.CloneCursor(concepts, true);
    byParent.SetIndexFieldNames("PARENT_NO;LIST_ORDER");
    EXPECT_EQ(Walk(byParent), added);
    byParent.SetIndexFieldNames("LIST_ORDER");
    EXPECT_EQ(Walk(byParent), added);
}

TEST_F(TableTest, ChangingTheIndexKeepsTheCurrentRecord) {
    BuildTree();
    GoTo(concepts, 8);
    concepts.SetIndexFieldNames("PARENT_NO;LIST_ORDER");
    EXPECT_EQ(No(concepts), 8);
    EXPECT_EQ(concepts.RecNo(), 8);  // 1 3 2 4 15 6 5 [8]
    concepts.SetIndexFieldNames("LIST_ORDER;RECORD_NO");
    EXPECT_EQ(No(concepts), 8);
    EXPECT_EQ(concepts.IndexFieldNames(), "LIST_ORDER;RECORD_NO");
}

TEST_F(TableTest, IndexFieldListErrors) {
    BuildTree();
    for (const char* names :
         {"TITLE", "DESCRIPTION", "PARENT_NO;TITLE", "NOPE", "PARENT_NO;NOPE"}) {
        SCOPED_TRACE(names);
        EXPECT_THROW(concepts.SetIndexFieldNames(names), ETableError);
    }
}

TEST_F(TableTest, DateTimeKeepsMillisecondsAndOrders) {
    const TDateTime kMoments[] = {
        TDateTime::FromCivil({2024, 2, 29, 23, 59, 59, 999}),
        TDateTime::FromCivil({2024, 3, 1, 0, 0, 0, 0}),
        TDateTime::FromMilliseconds(-1),
        TDateTime::FromMilliseconds(1),
        TDateTime::FromCivil({1850, 6, 15, 12, 30, 0, 1}),
        TDateTime::FromCivil({9999, 12, 31, 23, 59, 59, 999}),
        TDateTime::FromCivil({2024, 2, 29, 23, 59, 59, 998}),
    };
    for (const TDateTime& t : kMoments) {
        concepts.Append();
        concepts.FieldByName("DATE_CREATION").SetAsDateTime(t);
        concepts.Post();
    }
    for (const TDateTime& t : kMoments) {
        ASSERT_TRUE(concepts.Locate("DATE_CREATION", TValue(t))) << t.Milliseconds();
        EXPECT_EQ(concepts.FieldByName("DATE_CREATION").AsDateTime(), t);
    }
    concepts.SetIndexFieldNames("DATE_CREATION");
    std::vector<std::int64_t> walked;
    for (concepts.First(); !concepts.Eof(); concepts.Next()) {
        walked.push_back(concepts.FieldByName("DATE_CREATION").AsDateTime().Milliseconds());
    }
    std::vector<std::int64_t> sorted;
    for (const TDateTime& t : kMoments) {
        sorted.push_back(t.Milliseconds());
    }
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(walked, sorted);
}

// ---------------------------------------------------------------------------------------------
// Master links

TEST_F(TableTest, DetailShowsChildrenOfTheMastersRecord) {
    BuildTree();
    TCursor detail;
    detail.CloneCursor(concepts, true);
    detail.SetIndexFieldNames("PARENT_NO;LIST_ORDER");
    detail.SetMasterSource(&concepts);
    detail.SetMasterFields("RECORD_NO");

    struct TCase {
        std::int32_t master;
        std::vector<std::int32_t> children;
    };
    const TCase kCases[] = {
        {5, {9, 12}}, {6, {11, 10}},  {1, {3, 2, 4, 15}},
        {4, {}},      {2, {6, 5, 8}}, {12, {14, 13, 16}},
    };
    for (const TCase& c : kCases) {
        SCOPED_TRACE("master " + std::to_string(c.master));
        GoTo(concepts, c.master);
        EXPECT_EQ(detail.RecordCount(), static_cast<int>(c.children.size()));
        EXPECT_EQ(detail.Eof(), c.children.empty());
        EXPECT_EQ(detail.RecNo(), c.children.empty() ? 0 : 1);
        EXPECT_EQ(detail.FindFirst(), !c.children.empty());
        EXPECT_EQ(Walk(detail), c.children);
    }

    // Moving the master by navigation, too.
    GoTo(concepts, 5);
    concepts.Next();
    EXPECT_EQ(Walk(detail), (std::vector<std::int32_t>{11, 10}));

    // A new child, added through another cursor, shows at once in its place.
    AddConcept(concepts, 6, 2);  // 17, after 10 (tie, added later)
    GoTo(concepts, 6);
    EXPECT_EQ(Walk(detail), (std::vector<std::int32_t>{11, 10, 17}));

    // An empty field list removes the link.
    detail.SetMasterFields("");
    EXPECT_EQ(detail.RecordCount(), 17);
}

TEST_F(TableTest, DetailGoesToItsFirstRecordWhenTheMasterMovesOrChanges) {
    BuildTree();
    // Siblings of the master's record: detail "PARENT_NO" linked to the master's PARENT_NO.
    TCursor master;
    master.CloneCursor(concepts, true);
    TCursor siblings;
    siblings.CloneCursor(concepts, true);
    siblings.SetIndexFieldNames("PARENT_NO;LIST_ORDER");
    siblings.SetMasterSource(&master);
    siblings.SetMasterFields("PARENT_NO");

    GoTo(master, 5);
    EXPECT_EQ(Walk(siblings), (std::vector<std::int32_t>{6, 5, 8}));
    siblings.Last();
    master.Next();  // 6, same parent
    EXPECT_EQ(siblings.RecNo(), 1);
    EXPECT_EQ(No(siblings), 6);

    // The master's linked value changes by an edit of the master's record.
    siblings.Last();
    master.Edit();
    master.FieldByName("PARENT_NO").SetAsInteger(12);
    master.Post();
    EXPECT_EQ(No(master), 6);
    EXPECT_EQ(siblings.RecNo(), 1);
    EXPECT_EQ(Walk(siblings), (std::vector<std::int32_t>{6, 14, 13, 16}));  // 6 ties with 14

    // ... and by an edit made through a third cursor.
    GoTo(concepts, 6);
    concepts.Edit();
    concepts.FieldByName("PARENT_NO").SetAsInteger(5);
    concepts.Post();
    EXPECT_EQ(Walk(siblings), (std::vector<std::int32_t>{6, 9, 12}));
}

TEST_F(TableTest, ChainedDetailsFollowTheirMasters) {
    BuildTree();
    TCursor children;
    children.CloneCursor(concepts, true);
    children.SetIndexFieldNames("PARENT_NO;LIST_ORDER");
    children.SetMasterSource(&concepts);
    children.SetMasterFields("RECORD_NO");
    TCursor grandchildren;
    grandchildren.CloneCursor(concepts, true);
    grandchildren.SetIndexFieldNames("PARENT_NO;LIST_ORDER");
    grandchildren.SetMasterSource(&children);
    grandchildren.SetMasterFields("RECORD_NO");

    GoTo(concepts, 2);  // children 6 5 8; first is 6, whose children are 11 10
    EXPECT_EQ(No(children), 6);
    EXPECT_EQ(Walk(grandchildren), (std::vector<std::int32_t>{11, 10}));
    children.Next();  // 5
    EXPECT_EQ(Walk(grandchildren), (std::vector<std::int32_t>{9, 12}));

    GoTo(concepts, 1);  // children 3 2 4 15; first is 3, whose child is 7
    EXPECT_EQ(No(children), 3);
    EXPECT_EQ(Walk(grandchildren), (std::vector<std::int32_t>{7}));

    GoTo(concepts, 7);  // no children: both details are empty
    EXPECT_EQ(children.RecordCount(), 0);
    EXPECT_TRUE(children.Eof());
    EXPECT_EQ(grandchildren.RecordCount(), 0);
    EXPECT_TRUE(grandchildren.Eof());

    GoTo(concepts, 5);  // children 9 12; 9 has none
    EXPECT_EQ(grandchildren.RecordCount(), 0);
}

TEST_F(TableTest, EmptyMasterGivesEmptyDetail) {
    BuildTree();
    TCursor master;
    master.CloneCursor(concepts, true);
    master.SetFilter("PARENT_NO = 99");
    master.SetFiltered(true);
    TCursor detail;
    detail.CloneCursor(concepts, true);
    detail.SetIndexFieldNames("PARENT_NO");
    detail.SetMasterSource(&master);
    detail.SetMasterFields("RECORD_NO");
    EXPECT_EQ(detail.RecordCount(), 0);
    EXPECT_TRUE(detail.Eof());
    EXPECT_FALSE(detail.FindFirst());

    // The master gains a record: the detail shows its children.
    GoTo(concepts, 6);
    concepts.Edit();
    concepts.FieldByName("PARENT_NO").SetAsInteger(99);
    concepts.Post();
    master.First();
    EXPECT_EQ(Walk(detail), (std::vector<std::int32_t>{10, 11}));  // "PARENT_NO" only: by addition
}

TEST_F(TableTest, DestroyingEitherEndOfALinkIsSafe) {
    BuildTree();
    {
        auto master = std::make_unique<TCursor>();
        master->CloneCursor(concepts, true);
        TCursor detail;
        detail.CloneCursor(concepts, true);
        detail.SetIndexFieldNames("PARENT_NO");
        detail.SetMasterSource(master.get());
        detail.SetMasterFields("RECORD_NO");
        EXPECT_EQ(detail.RecordCount(), 4);  // the master is on record 1: 2 3 4 15
        master.reset();
        EXPECT_EQ(detail.MasterSource(), nullptr);
        EXPECT_EQ(detail.RecordCount(), 16);
    }
    {
        TCursor master;
        master.CloneCursor(concepts, true);
        auto detail = std::make_unique<TCursor>();
        detail->CloneCursor(concepts, true);
        detail->SetIndexFieldNames("PARENT_NO");
        detail->SetMasterSource(&master);
        detail->SetMasterFields("RECORD_NO");
        detail.reset();
        master.Next();
        master.Edit();
        master.FieldByName("LIST_ORDER").SetAsInteger(5);
        master.Post();
    }
}

// ---------------------------------------------------------------------------------------------
// Filters

TEST_F(TableTest, FilterLimitsCountPositionAndNavigation) {
    BuildTree();
    struct TCase {
        const char* index;
        std::vector<std::int32_t> expected;
    };
    const TCase kCases[] = {
        {"PARENT_NO;LIST_ORDER", {14, 13, 16}},
        {"LIST_ORDER", {14, 13, 16}},
        {"RECORD_NO", {13, 14, 16}},
        {"", {13, 14, 16}},
    };
    for (const TCase& c : kCases) {
        SCOPED_TRACE(std::string("index '") + c.index + "'");
        TCursor f;
        f.CloneCursor(concepts, true);
        f.SetIndexFieldNames(c.index);
        f.SetFilter("PARENT_NO = 12");
        f.SetFiltered(true);
        EXPECT_EQ(f.RecordCount(), 3);
        EXPECT_EQ(Walk(f), c.expected);

        f.First();
        EXPECT_EQ(f.RecNo(), 1);
        EXPECT_EQ(No(f), c.expected[0]);
        f.SetRecNo(3);
        EXPECT_EQ(No(f), c.expected[2]);
        f.Next();
        EXPECT_TRUE(f.Eof());
        EXPECT_EQ(No(f), c.expected[2]);
        f.SetRecNo(2);
        EXPECT_EQ(No(f), c.expected[1]);
        f.Prior();
        EXPECT_EQ(f.RecNo(), 1);
        f.Prior();
        EXPECT_TRUE(f.Bof());
        EXPECT_EQ(No(f), c.expected[0]);
        f.Last();
        EXPECT_EQ(f.RecNo(), 3);
        EXPECT_THROW(f.SetRecNo(0), ETableError);
        EXPECT_THROW(f.SetRecNo(4), ETableError);

        f.SetFilter("PARENT_NO = 2");
        EXPECT_EQ(f.RecordCount(), 3);
        f.SetFiltered(false);
        EXPECT_EQ(f.RecordCount(), 16);
        f.SetFilter("PARENT_NO = 77");
        f.SetFiltered(true);
        EXPECT_EQ(f.RecordCount(), 0);
        EXPECT_TRUE(f.Eof());
        EXPECT_EQ(f.RecNo(), 0);
    }
}

TEST_F(TableTest, FilterFollowsChangesMadeElsewhere) {
    BuildTree();
    TCursor f;
    f.CloneCursor(concepts, true);
    f.SetIndexFieldNames("PARENT_NO;LIST_ORDER");
    f.SetFilter("PARENT_NO = 12");
    f.SetFiltered(true);
    GoTo(concepts, 7);
    concepts.Edit();
    concepts.FieldByName("PARENT_NO").SetAsInteger(12);
    concepts.Post();
    AddConcept(concepts, 12, 0);  // 17, first in list order
    GoTo(concepts, 13);
    concepts.Delete();
    EXPECT_EQ(f.RecordCount(), 4);
    EXPECT_EQ(Walk(f), (std::vector<std::int32_t>{17, 7, 14, 16}));  // 7 ties with 14
}

TEST_F(TableTest, MalformedFilterIsRefused) {
    BuildTree();
    for (const char* filter :
         {"PARENT_NO > 3", "NOPE = 1", "PARENT_NO = x", "PARENT_NO =", "= 3"}) {
        SCOPED_TRACE(filter);
        TCursor f;
        f.CloneCursor(concepts, true);
        // Raised when the filter is applied, at the latest when the view is first used.
        EXPECT_THROW(
            {
                f.SetFilter(filter);
                f.SetFiltered(true);
                f.First();
            },
            ETableError);
    }
}

// ---------------------------------------------------------------------------------------------
// Clones

TEST_F(TableTest, ClonesShareRecordsAndChanges) {
    BuildTree();
    TCursor a;
    a.CloneCursor(concepts, true);
    TCursor b;
    b.CloneCursor(a, true);

    a.Append();
    a.FieldByName("TITLE").SetAsString("from a");
    a.Post();
    EXPECT_EQ(No(a), 17);  // the counter is shared
    EXPECT_EQ(concepts.RecordCount(), 17);
    ASSERT_TRUE(b.Locate("RECORD_NO", I(17)));
    EXPECT_EQ(b.FieldByName("TITLE").AsString(), "from a");

    b.Edit();
    b.FieldByName("TITLE").SetAsString("from b");
    b.Post();
    GoTo(concepts, 17);
    EXPECT_EQ(concepts.FieldByName("TITLE").AsString(), "from b");

    concepts.Delete();
    EXPECT_FALSE(a.Locate("RECORD_NO", I(17)));
    EXPECT_EQ(b.RecordCount(), 16);
    AddConcept(b, 0, 0);
    EXPECT_EQ(No(b), 18);
}

TEST_F(TableTest, CloneWithAndWithoutReset) {
    BuildTree();
    TCursor master;
    master.CloneCursor(concepts, true);
    GoTo(master, 2);
    TCursor source;
    source.CloneCursor(concepts, true);
    source.SetIndexFieldNames("PARENT_NO;LIST_ORDER");
    source.SetFilter("PARENT_NO = 12");
    source.SetFiltered(true);
    source.Last();

    TCursor copy;
    copy.CloneCursor(source, false);
    EXPECT_EQ(copy.IndexFieldNames(), "PARENT_NO;LIST_ORDER");
    EXPECT_TRUE(copy.Filtered());
    EXPECT_EQ(copy.RecNo(), 1);  // positioned on the first record, not on the source's
    EXPECT_EQ(Walk(copy), (std::vector<std::int32_t>{14, 13, 16}));

    TCursor fresh;
    fresh.CloneCursor(source, true);
    EXPECT_EQ(fresh.IndexFieldNames(), "");
    EXPECT_FALSE(fresh.Filtered());
    EXPECT_EQ(fresh.RecNo(), 1);
    EXPECT_EQ(fresh.RecordCount(), 16);

    // A master link is copied too, and the copy follows the master by itself.
    TCursor detail;
    detail.CloneCursor(concepts, true);
    detail.SetIndexFieldNames("PARENT_NO;LIST_ORDER");
    detail.SetMasterSource(&master);
    detail.SetMasterFields("RECORD_NO");
    TCursor detailCopy;
    detailCopy.CloneCursor(detail, false);
    EXPECT_EQ(detailCopy.MasterSource(), &master);
    EXPECT_EQ(Walk(detailCopy), (std::vector<std::int32_t>{6, 5, 8}));
    GoTo(master, 6);
    EXPECT_EQ(Walk(detailCopy), (std::vector<std::int32_t>{11, 10}));

    TCursor detailFresh;
    detailFresh.CloneCursor(detail, true);
    EXPECT_EQ(detailFresh.MasterSource(), nullptr);
    EXPECT_EQ(detailFresh.RecordCount(), 16);
}

// ---------------------------------------------------------------------------------------------
// Locate

class LocateTest : public TableTest {
protected:
    void SetUp() override {
        TableTest::SetUp();
        // 1..7; record 4 has null TITLE and PARENT_NO; record 5's title is spaces only.
        Add(S("O'Brien"), I(1), kNull);
        Add(S("O'Brien"), I(2), kNull);
        Add(S("o'brien"), I(2), kNull);
        Add(kNull, kNull, kNull);
        Add(S("   "), I(0), kNull);
        Add(S("x\x81\x40"), I(3), S("memo  "));
        Add(S("x"), I(3), kNull);
        GoTo(concepts, 7);
        concepts.Edit();
        concepts.FieldByName("DATE_CREATION").SetAsDateTime(kMoment);
        concepts.Post();
    }

    void Add(const TValue& title, const TValue& parent, const TValue& description) {
        concepts.Append();
        concepts.FieldByName("TITLE").SetValue(title);
        concepts.FieldByName("PARENT_NO").SetValue(parent);
        concepts.FieldByName("DESCRIPTION").SetValue(description);
        concepts.Post();
    }

    static constexpr TDateTime kMoment = TDateTime::FromMilliseconds(3'900'000'000'123);
};

TEST_F(LocateTest, ExactMatchOnOneOrSeveralFields) {
    struct TCase {
        const char* fields;
        std::vector<TValue> values;
        std::int32_t found;  // 0: not found
    };
    const TCase kCases[] = {
        {"TITLE;PARENT_NO", {S("O'Brien"), I(2)}, 2},
        {"TITLE;PARENT_NO", {S("O'Brien"), I(1)}, 1},
        {"TITLE;PARENT_NO", {S("O'Brien"), I(3)}, 0},
        {"TITLE", {S("o'brien")}, 3},
        {"TITLE", {S("O'BRIEN")}, 0},
        {"TITLE", {S("O'Brien ")}, 0},  // the lookup value is not trimmed
        {"TITLE", {S("O'")}, 0},        // no prefix match
        {"PARENT_NO", {kNull}, 4},
        {"PARENT_NO", {I(0)}, 5},
        {"TITLE", {kNull}, 4},
        {"TITLE", {S("")}, 5},
        {"TITLE;PARENT_NO", {kNull, kNull}, 4},
        {"TITLE;PARENT_NO", {S(""), kNull}, 0},
        {"TITLE", {S("x")}, 7},
        {"TITLE", {S("x\x81\x40")}, 6},
        {"DESCRIPTION", {S("memo  ")}, 6},
        {"DESCRIPTION", {S("memo")}, 0},
        {"DESCRIPTION", {S("")}, 0},  // an empty memo is null, and "" is not null
        {"DATE_CREATION", {TValue(kMoment)}, 7},
        {"DATE_CREATION", {TValue(TDateTime::FromMilliseconds(kMoment.Milliseconds() + 1))}, 0},
        {"DATE_CREATION", {TValue(TDateTime{})}, 0},  // null is not the zero moment
        {"RECORD_NO", {I(5)}, 5},
        {"RECORD_NO", {I(8)}, 0},
        {"RECORD_NO;TITLE", {I(3), S("o'brien")}, 3},
    };
    for (const TCase& c : kCases) {
        SCOPED_TRACE(std::string(c.fields) + " expecting " + std::to_string(c.found));
        GoTo(concepts, 3);
        EXPECT_EQ(concepts.Locate(c.fields, c.values), c.found != 0);
        // Not found: the cursor stays where it was.
        EXPECT_EQ(No(concepts), c.found != 0 ? c.found : 3);
        EXPECT_EQ(concepts.State(), TDataSetState::Browse);
    }
}

TEST_F(LocateTest, FindsTheFirstMatchInTheCursorsOrder) {
    // Duplicates 8, 9, 10 with titles "dup"; in "PARENT_NO;LIST_ORDER" order 10 comes first.
    for (const auto& [parent, order] : {std::pair{9, 1}, std::pair{8, 5}, std::pair{8, 2}}) {
        AddConcept(concepts, parent, order, "dup");
    }
    TCursor byParent;
    byParent.CloneCursor(concepts, true);
    byParent.SetIndexFieldNames("PARENT_NO;LIST_ORDER");
    byParent.Last();
    ASSERT_TRUE(byParent.Locate("TITLE", S("dup")));
    EXPECT_EQ(No(byParent), 10);
    ASSERT_TRUE(concepts.Locate("TITLE", S("dup")));
    EXPECT_EQ(No(concepts), 8);

    // Filter and master range: only their records are candidates.
    TCursor filtered;
    filtered.CloneCursor(byParent, true);
    filtered.SetFilter("PARENT_NO = 9");
    filtered.SetFiltered(true);
    ASSERT_TRUE(filtered.Locate("TITLE", S("dup")));
    EXPECT_EQ(No(filtered), 8);
    EXPECT_FALSE(filtered.Locate("TITLE", S("O'Brien")));
    EXPECT_FALSE(filtered.Locate("RECORD_NO", I(1)));  // a lookup on a field outside the filter

    TCursor master;
    master.CloneCursor(concepts, true);
    GoTo(master, 3);
    TCursor detail;
    detail.CloneCursor(concepts, true);
    detail.SetIndexFieldNames("PARENT_NO");
    detail.SetMasterSource(&master);
    detail.SetMasterFields("RECORD_NO");  // children of 3: 6 7
    EXPECT_FALSE(detail.Locate("TITLE", S("O'Brien")));
    ASSERT_TRUE(detail.Locate("TITLE", S("x")));
    EXPECT_EQ(No(detail), 7);
    ASSERT_TRUE(detail.Locate("PARENT_NO", I(3)));
    EXPECT_EQ(No(detail), 6);
    EXPECT_FALSE(detail.Locate("PARENT_NO", I(2)));
}

TEST_F(LocateTest, ALookupThroughAnotherCursorsIndexStillFindsTheFirstInItsOwnOrder) {
    // Parent 20 gets 3 children and parent 21 gets 300 (more than a lookup compares one by one);
    // list orders fall as records are added, with one tie that order of addition breaks.
    for (int i = 0; i < 3; ++i) {
        AddConcept(concepts, 20, 30 - i, "a");
    }
    AddConcept(concepts, 20, 28, "tie");
    for (int i = 0; i < 300; ++i) {
        AddConcept(concepts, 21, 1000 - i, "b");
    }
    TCursor byParent;  // makes the index by PARENT_NO alone
    byParent.CloneCursor(concepts, true);
    byParent.SetIndexFieldNames("PARENT_NO");
    TCursor byOrder;
    byOrder.CloneCursor(concepts, true);
    byOrder.SetIndexFieldNames("LIST_ORDER");
    for (const auto& [parent, title, expected] :
         {std::tuple{20, "a", "a"}, std::tuple{21, "b", "b"}, std::tuple{22, "", ""}}) {
        SCOPED_TRACE(parent);
        const bool found = byOrder.Locate("PARENT_NO", I(parent));
        ASSERT_EQ(found, std::string(expected) != "");
        if (!found) {
            continue;
        }
        // The same answer as walking the cursor's order to the first record of that parent.
        std::int32_t first = 0;
        for (byOrder.First(); !byOrder.Eof() && first == 0; byOrder.Next()) {
            if (byOrder.FieldByName("PARENT_NO").AsInteger() == parent) {
                first = No(byOrder);
            }
        }
        ASSERT_TRUE(byOrder.Locate("PARENT_NO", I(parent)));
        EXPECT_EQ(No(byOrder), first);
        EXPECT_EQ(byOrder.FieldByName("TITLE").AsString(), title);
    }
    // Two fields, of which the index by PARENT_NO narrows one: the title is checked as well.
    ASSERT_TRUE(byOrder.Locate("TITLE;PARENT_NO", {S("tie"), I(20)}));
    EXPECT_EQ(byOrder.FieldByName("LIST_ORDER").AsInteger(), 28);
    EXPECT_FALSE(byOrder.Locate("TITLE;PARENT_NO", {S("tie"), I(21)}));
    ASSERT_TRUE(byOrder.Locate("TITLE;PARENT_NO", {S("b"), I(21)}));
    EXPECT_EQ(byOrder.FieldByName("LIST_ORDER").AsInteger(), 701);
    // The tie: list order 28 twice under parent 20; the one added first wins.
    ASSERT_TRUE(byOrder.Locate("PARENT_NO;LIST_ORDER", {I(20), I(28)}));
    EXPECT_EQ(byOrder.FieldByName("TITLE").AsString(), "a");
}

TEST_F(LocateTest, LabelCutToItsWidthIsNotFoundByTheFullText) {
    TTable terms("terms", TermDefs(), "TERM_NO");
    terms.CreateDataSet();
    const std::string label25 =
        "\x82\xa0\x82\xa2\x82\xa4\x82\xa6\x82\xa8\x82\xa9\x82\xab\x82\xad"
        "\x82\xaf\x82\xb1xyzuv";  // ten double-byte characters, five more
    ASSERT_EQ(label25.size(), 25u);
    terms.Append();
    terms.FieldByName("TERM_STRING").SetAsString(label25);
    terms.Post();
    EXPECT_FALSE(terms.Locate("TERM_STRING", S(label25)));
    EXPECT_TRUE(terms.Locate("TERM_STRING", S(label25.substr(0, 20))));
}

TEST_F(LocateTest, ValuesOfAnotherKindAreRefused) {
    struct TCase {
        const char* fields;
        std::vector<TValue> values;
    };
    const TCase kCases[] = {
        {"PARENT_NO", {S("2")}},
        {"RECORD_NO", {S("2")}},
        {"TITLE", {I(1)}},
        {"DESCRIPTION", {TValue(kMoment)}},
        {"DATE_CREATION", {I(0)}},
        {"PARENT_NO", {TValue(kMoment)}},
        {"TITLE;PARENT_NO", {S("O'Brien"), S("2")}},
        {"TITLE;PARENT_NO", {S("O'Brien")}},  // one value short
        {"TITLE", {S("O'Brien"), I(1)}},      // one too many
        {"NOPE", {I(1)}},
        {"TITLE;NOPE", {S("O'Brien"), I(1)}},
    };
    for (const TCase& c : kCases) {
        SCOPED_TRACE(c.fields);
        GoTo(concepts, 3);
        EXPECT_THROW(concepts.Locate(c.fields, c.values), ETableError);
        EXPECT_EQ(No(concepts), 3);
    }
}

TEST_F(LocateTest, FinishesAPendingEditFirst) {
    GoTo(concepts, 2);
    concepts.Edit();
    concepts.FieldByName("TITLE").SetAsString("changed");
    EXPECT_TRUE(concepts.Locate("TITLE", S("changed")));  // posted before the search
    EXPECT_EQ(concepts.State(), TDataSetState::Browse);
    EXPECT_EQ(No(concepts), 2);

    concepts.Append();
    EXPECT_TRUE(concepts.Locate("RECORD_NO", I(1)));  // nothing set: the new record is dropped
    EXPECT_EQ(concepts.State(), TDataSetState::Browse);
    EXPECT_EQ(concepts.RecordCount(), 7);
    EXPECT_EQ(concepts.AutoIncValue(), 8);
}

// ---------------------------------------------------------------------------------------------
// Values

TEST_F(TableTest, TextIsCutAndTrimmedOnWrite) {
    TTable terms("terms", TermDefs(), "TERM_NO");
    terms.CreateDataSet();
    struct TCase {
        const char* field;
        std::string written;
        bool null;
        std::string stored;
    };
    const std::string a18(18, 'a');
    const std::string a19(19, 'a');
    const std::string long1000 = std::string(999, 'm') + " ";
    const TCase kCases[] = {
        {"TERM_STRING", "abcdefghijklmnopqrstuvwxy", false, "abcdefghijklmnopqrst"},
        {"TERM_STRING", "abcdefghijklmnopqr  xyz", false, "abcdefghijklmnopqr"},  // cut, then trim
        {"TERM_STRING", "abc   ", false, "abc"},
        {"TERM_STRING", "   ", false, ""},
        {"TERM_STRING", "", false, ""},
        {"TERM_STRING", "  abc", false, "  abc"},
        {"TERM_STRING", "abc\t", false, "abc\t"},
        {"TERM_STRING", "ab\x81\x40", false, "ab\x81\x40"},  // full-width space is kept
        {"TERM_STRING", "ab\x81\x40  ", false, "ab\x81\x40"},
        {"TERM_STRING", a19 + "\x81\x40", false, a19},  // no character is cut in two
        {"TERM_STRING", a18 + "\x81\x40 ", false, a18 + "\x81\x40"},
        {"TERM_STRING", std::string("a\0b ", 4), false, std::string("a\0b", 3)},
        {"NOTE", "  memo  ", false, "  memo  "},
        {"NOTE", "   ", false, "   "},
        {"NOTE", "", true, ""},
        {"NOTE", long1000, false, long1000},
        {"NOTE", "line\r\nline\r\n", false, "line\r\nline\r\n"},
    };
    for (const TCase& c : kCases) {
        SCOPED_TRACE(std::string(c.field) + " <" + c.written + ">");
        terms.Append();
        terms.FieldByName(c.field).SetAsString(c.written);
        terms.Post();
        const std::int32_t no = terms.FieldByName("TERM_NO").AsInteger();
        terms.First();
        ASSERT_TRUE(terms.Locate("TERM_NO", I(no)));
        const TField f = terms.FieldByName(c.field);
        EXPECT_EQ(f.IsNull(), c.null);
        EXPECT_EQ(f.AsString(), c.stored);
        EXPECT_EQ(f.Value(), c.null ? kNull : S(c.stored));
    }
}

TEST_F(TableTest, NullReadsAsZeroEmptyAndZeroMoment) {
    concepts.Append();
    concepts.FieldByName("TITLE").SetAsString("x");
    concepts.FieldByName("TITLE").Clear();
    concepts.Post();
    for (const TFieldDef& def : concepts.FieldDefs()) {
        if (def.Kind == TFieldKind::AutoInc) {
            continue;
        }
        SCOPED_TRACE(def.Name);
        const TField f = concepts.FieldByName(def.Name);
        EXPECT_TRUE(f.IsNull());
        EXPECT_EQ(f.Value(), kNull);
        switch (def.Kind) {
            case TFieldKind::Integer:
                EXPECT_EQ(f.AsInteger(), 0);
                break;
            case TFieldKind::Text:
            case TFieldKind::Memo:
                EXPECT_EQ(f.AsString(), "");
                break;
            case TFieldKind::DateTime:
                EXPECT_EQ(f.AsDateTime(), TDateTime{});
                break;
            case TFieldKind::AutoInc:
                break;
        }
    }
    EXPECT_FALSE(concepts.FieldByName("RECORD_NO").IsNull());
}

TEST_F(TableTest, UnknownFieldName) {
    BuildTree();
    try {
        concepts.FieldByName("NOPE");
        FAIL() << "no error";
    } catch (const ETableError& e) {
        EXPECT_STREQ(e.what(), "項目 'NOPE' が見つかりません");
    }
    // Names are found in either case; a name that shares length and letters at the ends and the
    // middle with a field is still a different name.
    const std::pair<const char*, int> kNames[] = {
        {"PARENT_NO", 3},   {"parent_no", 3}, {"Parent_No", 3}, {"PXRENT_NO", -1},
        {"PARENT_NOX", -1}, {"NOPE", -1},     {"", -1},
    };
    for (const auto& [name, index] : kNames) {
        EXPECT_EQ(concepts.FindFieldIndex(name), index) << name;
    }
    for (int i = 0; i < static_cast<int>(concepts.FieldDefs().size()); ++i) {
        EXPECT_EQ(concepts.FindFieldIndex(concepts.FieldDefs()[i].Name), i);
    }
}

// ---------------------------------------------------------------------------------------------
// Auto-increment

TEST_F(TableTest, AutoIncrementNumbers) {
    EXPECT_EQ(AddConcept(concepts, 0, 1), 1);
    concepts.Delete();
    EXPECT_EQ(AddConcept(concepts, 0, 1), 2);  // numbers are not reused
    EXPECT_EQ(concepts.AutoIncValue(), 3);

    // The giving back of the newest number on rollback.
    const int sp = concepts.SavePoint();
    EXPECT_EQ(AddConcept(concepts, 0, 1), 3);
    EXPECT_EQ(AddConcept(concepts, 0, 1), 4);
    concepts.SetSavePoint(sp);
    EXPECT_EQ(concepts.AutoIncValue(), 3);
    EXPECT_EQ(AddConcept(concepts, 0, 1), 3);

    // Editing keeps the number; AppendRecord draws one for a null value.
    GoTo(concepts, 2);
    concepts.Edit();
    concepts.FieldByName("LIST_ORDER").SetAsInteger(9);
    concepts.Post();
    EXPECT_EQ(No(concepts), 2);
    concepts.AppendRecord({kNull, S("rec"), kNull, I(2), I(1), kNull});
    EXPECT_EQ(No(concepts), 4);
    EXPECT_EQ(concepts.FieldByName("TITLE").AsString(), "rec");
    EXPECT_EQ(concepts.FieldByName("PARENT_NO").AsInteger(), 2);

    // A new data set starts again at 1.
    concepts.CreateDataSet();
    EXPECT_EQ(concepts.RecordCount(), 0);
    EXPECT_EQ(AddConcept(concepts, 0, 1), 1);
}

TEST_F(TableTest, CounterSetAboveTheRecords) {
    for (const bool loaded : {false, true}) {
        SCOPED_TRACE(loaded ? "loaded records" : "appended records");
        if (loaded) {
            concepts.OpenEmpty(ConceptDefs());
            for (std::int32_t no = 1; no <= 3; ++no) {
                concepts.AppendLoadedRecord(
                    std::vector<TValue>{I(no), S("t"), kNull, I(0), I(no), kNull});
            }
            EXPECT_EQ(concepts.ChangeCount(), 0);
            EXPECT_EQ(concepts.AutoIncValue(), 1);  // loading draws no numbers
        } else {
            concepts.CreateDataSet();
            for (int i = 0; i < 3; ++i) {
                AddConcept(concepts, 0, i);
            }
        }
        concepts.SetAutoIncValue(7);
        EXPECT_EQ(AddConcept(concepts, 0, 9), 7);
        EXPECT_EQ(Walk(concepts), (std::vector<std::int32_t>{1, 2, 3, 7}));
    }
}

// ---------------------------------------------------------------------------------------------
// Editing and the cursor's position

TEST_F(TableTest, StatesAndTheirErrors) {
    EXPECT_EQ(concepts.State(), TDataSetState::Browse);
    EXPECT_THROW(concepts.Edit(), ETableError);  // no current record
    EXPECT_THROW(concepts.Post(), ETableError);
    EXPECT_THROW(concepts.FieldByName("TITLE").SetAsString("x"), ETableError);
    BuildTree();
    EXPECT_THROW(concepts.Post(), ETableError);
    EXPECT_THROW(concepts.FieldByName("TITLE").SetAsString("x"), ETableError);
    EXPECT_THROW(concepts.FieldByName("PARENT_NO").Clear(), ETableError);

    TCursor empty;
    empty.CloneCursor(concepts, true);
    empty.SetFilter("PARENT_NO = 99");
    empty.SetFiltered(true);
    EXPECT_TRUE(empty.Eof());
    EXPECT_EQ(empty.RecNo(), 0);
    EXPECT_THROW(empty.Edit(), ETableError);

    GoTo(concepts, 4);
    concepts.Edit();
    EXPECT_EQ(concepts.State(), TDataSetState::Edit);
    concepts.FieldByName("TITLE").SetAsString("edited");
    concepts.Edit();  // already editing: keeps the change
    EXPECT_EQ(concepts.FieldByName("TITLE").AsString(), "edited");
    concepts.Cancel();
    EXPECT_EQ(concepts.State(), TDataSetState::Browse);
    EXPECT_EQ(concepts.FieldByName("TITLE").AsString(), "c4");
    EXPECT_EQ(No(concepts), 4);

    // Edit while a new record is pending leaves it pending.
    concepts.Append();
    concepts.FieldByName("TITLE").SetAsString("new");
    concepts.Edit();
    EXPECT_EQ(concepts.State(), TDataSetState::Insert);
    concepts.FieldByName("PARENT_NO").SetAsInteger(3);
    concepts.Post();
    EXPECT_EQ(concepts.RecordCount(), 17);
    EXPECT_EQ(No(concepts), 17);
    EXPECT_EQ(concepts.FieldByName("TITLE").AsString(), "new");
    GoTo(concepts, 4);
    EXPECT_EQ(concepts.FieldByName("TITLE").AsString(), "c4");

    concepts.Close();
    EXPECT_EQ(concepts.State(), TDataSetState::Inactive);
    EXPECT_FALSE(concepts.Active());
}

TEST_F(TableTest, PostLeavesTheCursorOnThePostedRecordOrItsSuccessor) {
    BuildTree();
    TCursor byParent;
    byParent.CloneCursor(concepts, true);
    byParent.SetIndexFieldNames("PARENT_NO;LIST_ORDER");

    // Still visible: on the record at its new place.
    GoTo(byParent, 3);
    byParent.Edit();
    byParent.FieldByName("LIST_ORDER").SetAsInteger(9);
    byParent.Post();
    EXPECT_EQ(No(byParent), 3);
    EXPECT_EQ(byParent.RecNo(), 5);  // 1 2 4 15 [3]

    // A new record in the middle of the order.
    byParent.Append();
    byParent.FieldByName("PARENT_NO").SetAsInteger(2);
    byParent.FieldByName("LIST_ORDER").SetAsInteger(1);
    byParent.Post();
    EXPECT_EQ(No(byParent), 17);
    EXPECT_EQ(byParent.RecNo(), 7);  // 1 2 4 15 3 6 [17]: 6 has the same key, added before
    EXPECT_EQ(byParent.State(), TDataSetState::Browse);
}

// A record edited out of the cursor's view leaves the cursor on the record that takes its
// place, or on the previous one when it was the last; wherever its new key sorts.
TEST_F(TableTest, PostOfARecordThatLeavesTheView) {
    BuildTree();
    TCursor master;
    master.CloneCursor(concepts, true);
    GoTo(master, 12);
    TCursor filtered;
    filtered.CloneCursor(concepts, true);
    filtered.SetIndexFieldNames("PARENT_NO;LIST_ORDER");
    filtered.SetFilter("PARENT_NO = 12");
    filtered.SetFiltered(true);
    TCursor detail;
    detail.CloneCursor(concepts, true);
    detail.SetIndexFieldNames("PARENT_NO;LIST_ORDER");
    detail.SetMasterSource(&master);
    detail.SetMasterFields("RECORD_NO");

    struct TCase {
        int recNo;  // in the view 14 13 16
        std::int32_t newParent;
        std::int32_t expectedNo;
        int expectedRecNo;
    };
    constexpr TCase kCases[] = {
        {2, 1, 16, 2},                  // the new key sorts before the view's range
        {2, 99, 16, 2},                 // ... after it
        {1, 1, 13, 1},  {3, 1, 13, 2},  // the last one: the previous record
        {3, 99, 13, 2},
    };
    for (TCursor* view : {&filtered, &detail}) {
        for (const TCase& c : kCases) {
            SCOPED_TRACE((view == &filtered ? "filtered, " : "detail, ") + std::string("rec no ") +
                         std::to_string(c.recNo) + " to parent " + std::to_string(c.newParent));
            const int sp = concepts.SavePoint();
            view->SetRecNo(c.recNo);
            view->Edit();
            view->FieldByName("PARENT_NO").SetAsInteger(c.newParent);
            view->Post();
            EXPECT_EQ(No(*view), c.expectedNo);
            EXPECT_EQ(view->RecNo(), c.expectedRecNo);
            EXPECT_EQ(view->RecordCount(), 2);
            concepts.SetSavePoint(sp);
            ASSERT_EQ(Walk(*view), (std::vector<std::int32_t>{14, 13, 16}));
        }
    }
}

TEST_F(TableTest, DeleteAndCancelMoves) {
    BuildTree();
    TCursor byParent;
    byParent.CloneCursor(concepts, true);
    byParent.SetIndexFieldNames("PARENT_NO;LIST_ORDER");
    GoTo(byParent, 2);  // 1 3 [2] 4 ...
    byParent.Delete();
    EXPECT_EQ(No(byParent), 4);
    EXPECT_EQ(byParent.RecNo(), 3);
    byParent.Last();  // 16
    byParent.Delete();
    EXPECT_EQ(No(byParent), 13);
    EXPECT_EQ(byParent.RecordCount(), 14);

    // Cancel of a new record returns to the record that was current.
    GoTo(byParent, 6);
    byParent.Append();
    byParent.FieldByName("TITLE").SetAsString("dropped");
    byParent.Cancel();
    EXPECT_EQ(No(byParent), 6);
    EXPECT_EQ(byParent.RecordCount(), 14);
    EXPECT_EQ(concepts.AutoIncValue(), 17);

    // Deleting the last visible records leaves an empty view.
    TCursor f;
    f.CloneCursor(concepts, true);
    f.SetFilter("PARENT_NO = 5");
    f.SetFiltered(true);  // 9 12
    f.First();
    f.Delete();
    EXPECT_EQ(No(f), 12);
    f.Delete();
    EXPECT_EQ(f.RecordCount(), 0);
    EXPECT_TRUE(f.Eof());
    EXPECT_EQ(f.RecNo(), 0);
    EXPECT_EQ(concepts.RecordCount(), 12);

    concepts.CreateDataSet();
    concepts.Append();
    concepts.Cancel();
    EXPECT_EQ(concepts.RecordCount(), 0);
    EXPECT_EQ(concepts.RecNo(), 0);
    EXPECT_TRUE(concepts.Eof());
}

TEST_F(TableTest, Hooks) {
    BuildTree();
    std::vector<std::string> calls;
    concepts.BeforeEdit = [&](TCursor& c) { calls.push_back("edit " + std::to_string(No(c))); };
    concepts.BeforePost = [&](TCursor& c) {
        calls.push_back("before post");
        c.FieldByName("DATE_CREATION").SetAsDateTime(TDateTime::FromMilliseconds(42));
    };
    concepts.AfterPost = [&](TCursor& c) {
        EXPECT_EQ(c.State(), TDataSetState::Browse);
        calls.push_back("after post " + std::to_string(No(c)));
    };
    GoTo(concepts, 5);
    concepts.Edit();
    concepts.FieldByName("TITLE").SetAsString("t");
    concepts.Post();
    AddConcept(concepts, 1, 9);  // the number is readable in AfterPost
    EXPECT_EQ(calls, (std::vector<std::string>{"edit 5", "before post", "after post 5",
                                               "before post", "after post 17"}));
    for (const std::int32_t no : {5, 17}) {
        GoTo(concepts, no);
        EXPECT_EQ(concepts.FieldByName("DATE_CREATION").AsDateTime().Milliseconds(), 42);
    }

    // Hooks belong to their cursor: changes through a clone do not call them.
    calls.clear();
    TCursor clone;
    clone.CloneCursor(concepts, false);
    clone.First();
    clone.Edit();
    clone.FieldByName("TITLE").SetAsString("u");
    clone.Post();
    AddConcept(clone, 1, 9);
    EXPECT_TRUE(calls.empty());
}

// ---------------------------------------------------------------------------------------------
// Change log

TEST_F(TableTest, SavePointFinishesAPendingEdit) {
    BuildTree();
    const int p0 = concepts.SavePoint();
    GoTo(concepts, 3);
    concepts.Edit();
    concepts.FieldByName("TITLE").SetAsString("kept");
    const int p1 = concepts.SavePoint();
    EXPECT_EQ(p1, p0 + 1);  // the edit was posted and logged
    EXPECT_EQ(concepts.State(), TDataSetState::Browse);
    EXPECT_EQ(concepts.FieldByName("TITLE").AsString(), "kept");

    concepts.Edit();
    EXPECT_EQ(concepts.SavePoint(), p1);  // nothing set: cancelled, not logged
    EXPECT_EQ(concepts.State(), TDataSetState::Browse);
    concepts.Append();
    EXPECT_EQ(concepts.SavePoint(), p1);
    EXPECT_EQ(concepts.RecordCount(), 16);
    EXPECT_EQ(concepts.AutoIncValue(), 17);

    concepts.Append();
    concepts.FieldByName("PARENT_NO").SetAsInteger(1);
    EXPECT_EQ(concepts.SavePoint(), p1 + 1);
    EXPECT_EQ(concepts.RecordCount(), 17);

    // Every logged change counts one: an append, an edit, a deletion.
    AddConcept(concepts, 1, 1);
    EXPECT_EQ(concepts.SavePoint(), p1 + 2);
    concepts.Delete();
    EXPECT_EQ(concepts.SavePoint(), p1 + 3);
}

TEST_F(TableTest, RollbackRestoresExactly) {
    BuildTree();
    GoTo(concepts, 4);
    concepts.Edit();
    concepts.FieldByName("DESCRIPTION").SetAsString("old description");
    concepts.FieldByName("DATE_CREATION").SetAsDateTime(TDateTime::FromMilliseconds(123456789));
    concepts.Post();
    TCursor byParent;
    byParent.CloneCursor(concepts, true);
    byParent.SetIndexFieldNames("PARENT_NO;LIST_ORDER");
    const auto before = Records(concepts);
    const auto orderBefore = Walk(byParent);
    const std::int32_t counterBefore = concepts.AutoIncValue();

    const int sp = concepts.SavePoint();
    AddConcept(concepts, 2, 0);
    AddConcept(byParent, 4, 1);
    AddConcept(concepts, 12, 2);
    GoTo(concepts, 5);
    concepts.Delete();
    GoTo(byParent, 4);
    byParent.Edit();
    byParent.FieldByName("TITLE").SetAsString("changed");
    byParent.FieldByName("DESCRIPTION").Clear();
    byParent.FieldByName("PARENT_NO").SetAsInteger(12);
    byParent.Post();
    byParent.Edit();  // a second edit of the same record
    byParent.FieldByName("LIST_ORDER").SetAsInteger(0);
    byParent.Post();
    GoTo(concepts, 18);
    concepts.Delete();  // a new record deleted again
    byParent.First();
    byParent.Edit();
    byParent.FieldByName("TITLE").SetAsString("pending");  // dropped by the rollback

    byParent.SetSavePoint(sp);  // through another cursor: the log is the table's
    EXPECT_EQ(byParent.State(), TDataSetState::Browse);
    EXPECT_EQ(Records(concepts), before);  // also in order of addition
    EXPECT_EQ(concepts.AutoIncValue(), counterBefore);
    EXPECT_EQ(Walk(byParent), orderBefore);
    EXPECT_EQ(concepts.RecordCount(), 16);
    GoTo(concepts, 5);
    EXPECT_EQ(concepts.FieldByName("TITLE").AsString(), "c5");
    GoTo(concepts, 4);
    EXPECT_EQ(concepts.FieldByName("DESCRIPTION").AsString(), "old description");
    EXPECT_EQ(AddConcept(concepts, 0, 0), counterBefore);
}

TEST_F(TableTest, NestedSavePoints) {
    BuildTree();
    const auto s0 = Records(concepts);
    const int p0 = concepts.SavePoint();
    AddConcept(concepts, 1, 5);
    GoTo(concepts, 2);
    concepts.Delete();
    const auto s1 = Records(concepts);
    const int p1 = concepts.SavePoint();
    GoTo(concepts, 3);
    concepts.Edit();
    concepts.FieldByName("PARENT_NO").SetAsInteger(5);
    concepts.Post();
    AddConcept(concepts, 1, 6);
    concepts.SetSavePoint(p1);
    EXPECT_EQ(Records(concepts), s1);
    EXPECT_EQ(concepts.AutoIncValue(), 18);
    AddConcept(concepts, 1, 7);  // 18 again
    concepts.SetSavePoint(p0);
    EXPECT_EQ(Records(concepts), s0);
    EXPECT_EQ(concepts.AutoIncValue(), 17);
}

TEST_F(TableTest, MergeChangeLogEmptiesTheLog) {
    BuildTree();
    EXPECT_GT(concepts.ChangeCount(), 0);
    GoTo(concepts, 2);
    concepts.Edit();
    concepts.FieldByName("TITLE").SetAsString("merged");
    concepts.MergeChangeLog();  // posts the pending edit first
    EXPECT_EQ(concepts.ChangeCount(), 0);
    EXPECT_EQ(concepts.State(), TDataSetState::Browse);
    EXPECT_EQ(concepts.FieldByName("TITLE").AsString(), "merged");
    EXPECT_EQ(concepts.RecordCount(), 16);

    // The log starts again: a save point read now rolls back to the merged state.
    const auto merged = Records(concepts);
    const int sp = concepts.SavePoint();
    AddConcept(concepts, 1, 1);
    concepts.Delete();
    GoTo(concepts, 1);
    concepts.Delete();
    EXPECT_GT(concepts.ChangeCount(), 0);
    concepts.SetSavePoint(sp);
    EXPECT_EQ(Records(concepts), merged);
}

// ---------------------------------------------------------------------------------------------
// Life cycle

TEST_F(TableTest, ClonesAreUnusableAfterTheTableIsClosedOrRecreated) {
    const std::function<void(TTable&)> kEnds[] = {
        [](TTable& t) { t.Close(); },
        [](TTable& t) { t.CreateDataSet(); },
        [](TTable& t) { t.OpenEmpty(ConceptDefs()); },
    };
    const std::function<void(TCursor&)> kUses[] = {
        [](TCursor& c) { c.First(); },       [](TCursor& c) { c.Next(); },
        [](TCursor& c) { c.RecordCount(); }, [](TCursor& c) { c.FieldByName("TITLE").AsString(); },
        [](TCursor& c) { c.Append(); },      [](TCursor& c) { c.Edit(); },
        [](TCursor& c) { c.Delete(); },      [](TCursor& c) { c.Locate("RECORD_NO", I(1)); },
        [](TCursor& c) { c.SavePoint(); },   [](TCursor& c) { c.Last(); },
        [](TCursor& c) { c.SetRecNo(1); },
    };
    int endNo = 0;
    for (const auto& end : kEnds) {
        int useNo = 0;
        for (const auto& use : kUses) {
            SCOPED_TRACE("end " + std::to_string(endNo) + " use " + std::to_string(useNo++));
            concepts.CreateDataSet();
            BuildTree();
            TCursor clone;
            clone.CloneCursor(concepts, false);
            clone.SetIndexFieldNames("PARENT_NO;LIST_ORDER");
            clone.Last();
            end(concepts);
            EXPECT_THROW(use(clone), ETableError);
        }
        ++endNo;
    }

    // A field handle taken before the close and the closed table itself.
    concepts.CreateDataSet();
    BuildTree();
    TCursor clone;
    clone.CloneCursor(concepts, true);
    const TField title = clone.FieldByName("TITLE");
    concepts.Close();
    EXPECT_THROW(title.AsString(), ETableError);
    EXPECT_THROW(concepts.First(), ETableError);
    EXPECT_THROW(concepts.RecordCount(), ETableError);
    concepts.CreateDataSet();
    EXPECT_EQ(concepts.RecordCount(), 0);
    EXPECT_THROW(clone.RecordCount(), ETableError);
}

}  // namespace
}  // namespace velmora::store
