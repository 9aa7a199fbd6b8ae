#include "data_module.h"

#include <gtest/gtest.h>

#include "ontology.h"
#include "store_exceptions.h"
#include "store_fixture.h"

namespace velmora::store {
namespace {

using testing::StoreFixture;

template <typename F>
std::string MessageOf(F&& f) {
    try {
        f();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "(no error)";
}

TEST(RecordNoToCodeTest, KnownCodes) {
    const struct {
        std::int32_t no;
        const char* code;
    } kCases[] = {{1, "UGISGAA"}, {2, "YCRKEAA"}, {3, "QKZZIAA"}, {1000, "EITGBAA"}};
    for (const auto& c : kCases) {
        EXPECT_EQ(RecordNoToCode(c.no), c.code) << c.no;
    }
}

using DataModuleTest = StoreFixture;

TEST_F(DataModuleTest, CreateTablesHoldsTheTenLinkTypesAndCallsTheListeners) {
    int calls = 0;
    TCursor clone;
    store.AddAttachListener([&](TDataModule1& s) {
        ++calls;
        clone.CloneCursor(s.DtStOriginalConcepts, true);
    });
    store.CreateTables();
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(clone.Active());
    EXPECT_EQ(store.DtStOriginalLinkType.RecordCount(), 10);
    store.DtStOriginalLinkType.First();
    EXPECT_EQ(store.DtStOriginalLinkType.FieldByName("LINK_TITLE").AsString(), "subconcept");
    store.DtStOriginalLinkType.Last();
    EXPECT_EQ(store.DtStOriginalLinkType.FieldByName("LINK_CODE").AsInteger(), 10);
    store.CloseTables();
    for (TTable* table : store.Tables()) {
        EXPECT_FALSE(table->Active());
    }
    EXPECT_FALSE(clone.Active());
}

TEST_F(DataModuleTest, AppendConceptStampsEveryField) {
    context.SetConceptDescrDefault("descr");
    context.SetConceptCommentDefault("");
    const std::int32_t no = store.AppendConcept("ABC", 5, "");
    EXPECT_EQ(no, 1);
    EXPECT_EQ(Concept(no, "TITLE").AsString(), "ABC");
    EXPECT_EQ(Concept(no, "IDENTIFIER").AsString(), "@UGISGAA%ABC");
    EXPECT_EQ(Concept(no, "PARENT_NO").AsInteger(), 5);
    EXPECT_EQ(Concept(no, "LIST_ORDER").AsInteger(), 10000);
    EXPECT_EQ(Concept(no, "ICON_POS_X").AsInteger(), -1);
    EXPECT_EQ(Concept(no, "ICON_POS_Y").AsInteger(), -1);
    EXPECT_EQ(Concept(no, "DATE_CREATION").AsDateTime(), testing::kFixedNow);
    EXPECT_EQ(Concept(no, "DATE_EDITION").AsDateTime(), testing::kFixedNow);
    EXPECT_EQ(Concept(no, "EDITOR").AsString(), Utf8ToCp932("山田"));
    EXPECT_EQ(Concept(no, "DESCRIPTION").AsString(), "descr");
    EXPECT_TRUE(Concept(no, "COMMENT").IsNull());
    // No label asked for: no terms record, no association.
    EXPECT_EQ(store.DtStOriginalTerms.RecordCount(), 0);
    EXPECT_EQ(store.DtStOriginalAssociation.RecordCount(), 0);
}

TEST_F(DataModuleTest, NewConceptsTakeTheOpenOntologysDefaultTexts) {
    TOntology ontology;
    ontology.SetConceptDescrDefault("line 1\r\nline 2");
    ontology.SetConceptCommentDefault("c");
    context.SetOntology(&ontology);
    const std::int32_t no = store.AppendConcept("A", 0, "");
    EXPECT_EQ(Concept(no, "DESCRIPTION").AsString(), "line 1\r\nline 2");
    EXPECT_EQ(Concept(no, "COMMENT").AsString(), "c");
    context.SetOntology(nullptr);
}

TEST_F(DataModuleTest, IdentifierOfALongTitleKeeps246BytesOfTheStoredTitle) {
    const std::string title(300, 'x');
    const std::int32_t no = store.AppendConcept(title, 0, "");
    EXPECT_EQ(Concept(no, "TITLE").AsString().size(), 255U);
    const std::string identifier = Concept(no, "IDENTIFIER").AsString();
    EXPECT_EQ(identifier.size(), 255U);
    EXPECT_EQ(identifier.substr(0, 9), "@UGISGAA%");
}

TEST_F(DataModuleTest, LabelsAreSharedByTheirTextAsStored) {
    store.AppendConcept("X", 5, "X");
    store.AppendConcept("Y", 5, "X");
    EXPECT_EQ(store.DtStOriginalTerms.RecordCount(), 1);
    EXPECT_EQ(store.DtStOriginalAssociation.RecordCount(), 2);

    // Labels that the 20-byte field cuts or trims find the term they were stored as.
    const std::string kanji = Utf8ToCp932("一二三四五六七八九十百千");  // 24 bytes
    const struct {
        std::string label;
        std::string stored;
    } cases[] = {
        {"abcdefghijklmnopqrstuvwxy", "abcdefghijklmnopqrst"},
        {kanji, kanji.substr(0, 20)},
        {"A" + kanji, "A" + kanji.substr(0, 18)},  // the tenth kanji would straddle byte 20
        {"trailing  ", "trailing"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const int termsBefore = store.DtStOriginalTerms.RecordCount();
        const std::int32_t a = store.AppendConcept("A", 5, c.label);
        const std::int32_t b = store.AppendConcept("B", 5, c.label);
        EXPECT_EQ(store.DtStOriginalTerms.RecordCount(), termsBefore + 1);
        EXPECT_EQ(Labels(a), std::vector<std::string>{c.stored});
        EXPECT_EQ(Labels(b), std::vector<std::string>{c.stored});
        EXPECT_EQ(store.FindLabel(c.label), store.FindLabel(c.stored));
        // Given to a concept that carries it already, the label adds nothing.
        EXPECT_FALSE(store.AddLabelToConcept(a, c.stored));
        EXPECT_EQ(Labels(a).size(), 1U);
    }
}

TEST_F(DataModuleTest, NewConceptNamesSkipTakenTitlesOfRealChildrenOnly) {
    const std::string base = Utf8ToCp932("新規の概念");
    const std::int32_t parent = store.AppendConcept("P", 0, "");
    const std::int32_t other = store.AppendConcept("Q", 0, "");
    store.AppendConcept(base, parent, "");
    store.AppendConcept(base + "(2)", parent, "");
    // A mirror image titled like a new concept, placed under the parent, does not count.
    const std::int32_t shown = store.AppendConcept(base + "(3)", other, "");
    MirrorImage(parent, shown);

    const auto item = store.AddNewConcept(ConceptItem(parent));
    EXPECT_EQ(item->Title(), base + "(3)");
    EXPECT_FALSE(item->IsLink());
    EXPECT_FALSE(item->HasChildren());
    EXPECT_EQ(item->IconPos, (TIconPoint{-1, -1}));
    EXPECT_EQ(Concept(item->ConceptNo(), "PARENT_NO").AsInteger(), parent);
    EXPECT_TRUE(Labels(item->ConceptNo()).empty());
    // Under another parent the plain name is free.
    EXPECT_EQ(store.AddNewConcept(ConceptItem(other))->Title(), base);
}

TEST_F(DataModuleTest, NewOntologyHasTheTopConceptAndOneChildPerSubCategory) {
    const struct {
        std::vector<std::string> subs;
        std::vector<std::string> children;
    } kCases[] = {
        {{"", "", "", "", "", "", ""}, {}},
        {{"A", "", "B", "", "", "", "C"}, {"A", "B", "C"}},
    };
    for (const auto& c : kCases) {
        const std::int32_t top = store.BuildNewOntology("T", c.subs);
        EXPECT_EQ(top, 1);
        EXPECT_EQ(Concept(top, "PARENT_NO").AsInteger(), 0);
        EXPECT_EQ(Concept(top, "LIST_ORDER").AsInteger(), 10000);
        EXPECT_EQ(Labels(top), std::vector<std::string>{"T"});
        EXPECT_EQ(store.DtStOriginalLinkType.RecordCount(), 10);
        EXPECT_EQ(store.DtStOriginalNetWork.RecordCount(), 0);
        EXPECT_EQ(store.DtStOriginalConcepts.RecordCount(),
                  1 + static_cast<int>(c.children.size()));
        EXPECT_EQ(store.DtStOriginalTerms.RecordCount(), 1 + static_cast<int>(c.children.size()));
        for (std::size_t i = 0; i < c.children.size(); ++i) {
            const auto no = static_cast<std::int32_t>(2 + i);
            EXPECT_EQ(Concept(no, "TITLE").AsString(), c.children[i]);
            EXPECT_EQ(Concept(no, "PARENT_NO").AsInteger(), top);
            EXPECT_EQ(Labels(no), std::vector<std::string>{c.children[i]});
        }
    }
}

TEST_F(DataModuleTest, ParentsOfConceptsAndMirrorImages) {
    const std::int32_t top = store.AppendConcept("top", 0, "");
    const std::int32_t a = store.AppendConcept("a", top, "");
    const std::int32_t b = store.AppendConcept("b", top, "");
    const std::int32_t image = MirrorImage(b, a);

    EXPECT_EQ(store.GetParentConcept(ConceptItem(top)), nullptr);
    const auto ofConcept = store.GetParentConcept(ConceptItem(a));
    EXPECT_EQ(ofConcept->ConceptNo(), top);
    EXPECT_TRUE(ofConcept->HasChildren());
    EXPECT_EQ(ofConcept->Title(), "top");
    // A mirror image's parent is where it lies, not the parent of the concept it shows.
    EXPECT_EQ(store.GetParentConcept(MirrorItem(image, a))->ConceptNo(), b);
    EXPECT_EQ(store.GetParentNo(a), top);
    EXPECT_EQ(store.GetLinkTarget(image), a);
    EXPECT_TRUE(store.LocateItem(MirrorItem(image, a)));
    EXPECT_FALSE(store.LocateItem(ConceptItem(99)));

    const struct {
        std::function<void()> call;
        std::string message;
    } kErrors[] = {
        {[&] { store.GetParentConcept(ConceptItem(99)); },
         "DATA ERROR: 要求されたレコードは既にデータベースに存在しません. Concept;99"},
        {[&] { store.GetParentConcept(MirrorItem(98, a)); },
         "DATA ERROR: 要求されたレコードは既にデータベースに存在しません. Link;98"},
        {[&] { store.GetParentConcept(ConceptItem(store.AppendConcept("orphan", 77, ""))); },
         "DATA ERROR: 要求されたレコードの上位概念レコードがデータベースに存在しません."},
        {[&] { store.GetParentNo(42); },
         "データベースにレコードが見つかりません.\r\n   データベース：概念レコード\r\n   "
         "レコード番号：42"},
        {[&] { store.GetLinkTarget(43); },
         "データベースにレコードが見つかりません.\r\n   データベース：リンクレコード\r\n   "
         "レコード番号：43"},
        {[&] { store.DeleteConceptRecord(44); },
         "ERROR: 削除エラー: 項目が見つかりません.Concept_44"},
        {[&] { store.DeleteAssociation(45); }, "ERROR: 削除エラー: 項目が見つかりません.Assoc_45"},
    };
    for (const auto& e : kErrors) {
        EXPECT_EQ(MessageOf(e.call), e.message);
    }
}

TEST_F(DataModuleTest, AppendMirrorImagePlacesItUnderTheConceptsOwnParent) {
    const std::int32_t top = store.AppendConcept("top", 0, "");
    const std::int32_t a = store.AppendConcept("a", top, "");
    const std::int32_t link = store.AppendMirrorImage(ConceptItem(a), 3);
    TTable& n = store.DtStOriginalNetWork;
    ASSERT_TRUE(n.Locate("RECORD_NO", TValue(link)));
    EXPECT_EQ(n.FieldByName("RECORD_NO_FROM").AsInteger(), top);
    EXPECT_EQ(n.FieldByName("RECORD_NO_TO").AsInteger(), a);
    EXPECT_EQ(n.FieldByName("LINK_CODE").AsInteger(), 3);
    EXPECT_TRUE(n.FieldByName("LIST_ORDER").IsNull());
    EXPECT_EQ(n.FieldByName("LIST_ORDER").AsInteger(), 0);
    EXPECT_EQ(n.FieldByName("ICON_POS_X").AsInteger(), -1);
    EXPECT_EQ(n.FieldByName("ICON_POS_Y").AsInteger(), -1);
}

TEST_F(DataModuleTest, DeleteConceptTreeTakesEverythingThatHangsOnTheSubtree) {
    //   top ─ a ─ b ─ c        d (outside), e (outside)
    //   mirror images: d under b, c under e, b under d, d under top (kept)
    const std::int32_t top = store.AppendConcept("top", 0, "top");
    const std::int32_t a = store.AppendConcept("a", top, "only-a");
    const std::int32_t b = store.AppendConcept("b", a, "shared");
    const std::int32_t c = store.AppendConcept("c", b, "only-c");
    const std::int32_t d = store.AppendConcept("d", top, "shared");
    const std::int32_t e = store.AppendConcept("e", top, "");
    MirrorImage(b, d);
    MirrorImage(e, c);
    MirrorImage(d, b);
    MirrorImage(top, d);

    store.DeleteItem(ConceptItem(a));

    for (std::int32_t gone : {a, b, c}) {
        EXPECT_FALSE(HasConcept(gone)) << gone;
    }
    for (std::int32_t kept : {top, d, e}) {
        EXPECT_TRUE(HasConcept(kept)) << kept;
    }
    EXPECT_EQ(MirrorImages(), (std::vector<std::pair<std::int32_t, std::int32_t>>{{top, d}}));
    EXPECT_EQ(TermNo("only-a"), 0);
    EXPECT_EQ(TermNo("only-c"), 0);
    EXPECT_NE(TermNo("shared"), 0);
    EXPECT_EQ(Labels(d), std::vector<std::string>{"shared"});
    EXPECT_EQ(store.DtStOriginalAssociation.RecordCount(), 2);  // top's and d's
}

TEST_F(DataModuleTest, DeleteLinkAndDeleteItemOfAMirrorImage) {
    const std::int32_t top = store.AppendConcept("top", 0, "");
    const std::int32_t a = store.AppendConcept("a", top, "");
    const std::int32_t image = MirrorImage(top, a);
    store.DeleteLink(999);  // missing: nothing happens
    store.DeleteItem(MirrorItem(image, a));
    EXPECT_TRUE(MirrorImages().empty());
    EXPECT_TRUE(HasConcept(a));
}

TEST_F(DataModuleTest, DeleteAssociationRemovesALabelWithItsLastUse) {
    const std::int32_t a = store.AppendConcept("a", 0, "L");
    const std::int32_t b = store.AppendConcept("b", a, "L");
    TTable& assoc = store.DtStOriginalAssociation;
    ASSERT_TRUE(assoc.Locate("CONCEPT_NO", TValue(a)));
    store.DeleteAssociation(assoc.FieldByName("RECORD_NO").AsInteger());
    EXPECT_NE(TermNo("L"), 0);  // b still uses it
    ASSERT_TRUE(assoc.Locate("CONCEPT_NO", TValue(b)));
    store.DeleteAssociation(assoc.FieldByName("RECORD_NO").AsInteger());
    EXPECT_EQ(TermNo("L"), 0);
    EXPECT_EQ(store.CountTermUse(1), 0);
}

TEST_F(DataModuleTest, ReplaceConceptTermFollowsTheTitle) {
    const std::int32_t a = store.AppendConcept("a", 0, "old");
    const std::int32_t b = store.AppendConcept("b", 0, "old");
    const std::int32_t c = store.AppendConcept("c", 0, "");
    const std::int32_t d = store.AppendConcept("d", 0, "solo");
    const std::int32_t soloTerm = TermNo("solo");

    store.ReplaceConceptTerm(c, "x", "first");  // no label yet: the new text becomes one
    EXPECT_EQ(Labels(c), std::vector<std::string>{"first"});

    store.ReplaceConceptTerm(d, "solo", "renamed");  // only user: renamed in place
    EXPECT_EQ(Labels(d), std::vector<std::string>{"renamed"});
    EXPECT_EQ(TermNo("renamed"), soloTerm);

    EXPECT_EQ(store.CountTermUse(TermNo("old")), 2);
    store.ReplaceConceptTerm(a, "old", "new");  // shared: a moves to a label of its own
    EXPECT_EQ(Labels(a), std::vector<std::string>{"new"});
    EXPECT_EQ(Labels(b), std::vector<std::string>{"old"});
    EXPECT_EQ(store.CountTermUse(TermNo("old")), 1);

    store.ReplaceConceptTerm(b, "nothing like it", "zzz");  // no label equals OldText
    EXPECT_EQ(Labels(b), std::vector<std::string>{"old"});
    EXPECT_EQ(TermNo("zzz"), 0);
}

TEST_F(DataModuleTest, ALabelCutInsideACharacterByAnOlderFileIsStillFound) {
    // "A" and ten kanji: the 20-byte cut of older versions kept the lead byte of the tenth.
    const std::string label = "A" + Utf8ToCp932("一二三四五六七八九十");
    TTable& t = store.DtStOriginalTerms;
    const std::string oldCut = label.substr(0, 20);
    t.AppendRecord({TValue{}, oldCut, TValue{}});
    ASSERT_EQ(t.FieldByName("TERM_STRING").AsString(), oldCut) << "kept as the file holds it";
    const std::int32_t term = t.FieldByName("TERM_NO").AsInteger();
    EXPECT_EQ(store.FindLabel(label), term);
    const std::int32_t a = store.AppendConcept("a", 0, label);
    EXPECT_EQ(Labels(a), std::vector<std::string>{oldCut});
    EXPECT_EQ(t.RecordCount(), 1);
}

TEST_F(DataModuleTest, ReplaceConceptTermComparesLabelsAsStored) {
    // A title longer than the label field: its label is the cut text, and the next rename with
    // the full old title still finds it.
    const std::string longTitle = Utf8ToCp932("あいうえおかきくけこさしすせそ");
    const std::int32_t a = store.AppendConcept(longTitle, 0, longTitle);
    const std::int32_t term = TermNo(CutToBytes(longTitle, 20));
    ASSERT_NE(term, 0);
    store.ReplaceConceptTerm(a, longTitle, "short");
    EXPECT_EQ(Labels(a), std::vector<std::string>{"short"});
    EXPECT_EQ(TermNo("short"), term);

    // Renaming onto the text of another record joins it instead of making a second record.
    const std::int32_t b = store.AppendConcept("b", 0, "taken");
    const std::int32_t taken = TermNo("taken");
    store.ReplaceConceptTerm(a, "short", "taken");
    EXPECT_EQ(Labels(a), std::vector<std::string>{"taken"});
    EXPECT_EQ(Labels(b), std::vector<std::string>{"taken"});
    EXPECT_EQ(TermNo("taken"), taken);
    EXPECT_EQ(TermNo("short"), 0) << "the unused record goes";
    EXPECT_EQ(store.DtStOriginalTerms.RecordCount(), 1);

    // A concept that carries the new text already keeps it once.
    const std::int32_t c = store.AppendConcept("c", 0, "one");
    store.AddTermToConcept(c, "two");
    store.ReplaceConceptTerm(c, "one", "two");
    EXPECT_EQ(Labels(c), std::vector<std::string>{"two"});
}

TEST_F(DataModuleTest, MergeDuplicateLabelsJoinsRecordsOfEqualText) {
    // Records of equal text as older versions wrote them: straight into the table.
    const auto addTerm = [&](const std::string& text) {
        TTable& t = store.DtStOriginalTerms;
        t.AppendRecord({TValue{}, text, TValue{}});
        return t.FieldByName("TERM_NO").AsInteger();
    };
    const std::int32_t first = addTerm("same");
    const std::int32_t second = addTerm("same");
    const std::int32_t other = addTerm("other");
    const std::int32_t a = store.AppendConcept("a", 0, "");
    const std::int32_t b = store.AppendConcept("b", 0, "");
    const auto associate = [&](std::int32_t owner, std::int32_t term) {
        store.DtStOriginalAssociation.AppendRecord({TValue{}, owner, term, TValue{}});
    };
    associate(a, first);
    associate(a, second);  // a carries the label twice
    associate(b, second);
    associate(b, other);

    EXPECT_EQ(store.MergeDuplicateLabels(), 1);
    EXPECT_EQ(Labels(a), std::vector<std::string>{"same"});
    EXPECT_EQ(Labels(b), (std::vector<std::string>{"same", "other"}));
    EXPECT_EQ(store.CountTermUse(first), 2);
    EXPECT_EQ(store.CountTermUse(second), 0);
    EXPECT_EQ(store.DtStOriginalTerms.RecordCount(), 2);
    EXPECT_EQ(store.MergeDuplicateLabels(), 0);
}

}  // namespace
}  // namespace velmora::store
