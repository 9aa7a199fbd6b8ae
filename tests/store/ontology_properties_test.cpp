// The properties dialog's logic without a window: the metadata check and write-back, link types
// added, edited and deleted with one undo step each, and the information page's lines.
#include "ontology_properties.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "code_page.h"
#include "store_fixture.h"

namespace velmora::store {
namespace {

using testing::StoreFixture;

std::string Sjis(std::string_view utf8) {
    return Utf8ToCp932(utf8);
}

TEST(OntologyMetadataCheck, FirstEmptyRequiredFieldInOrder) {
    struct TCase {
        const char* title;
        const char* target;
        const char* community;
        std::optional<TMetadataField> problem;
    };
    const TCase kCases[] = {
        {"", "", "", TMetadataField::Title},
        {"", "t", "c", TMetadataField::Title},
        {"a", "", "", TMetadataField::Target},
        {"a", "t", "", TMetadataField::Community},
        // A line break is text: the memo is not empty.
        {"a", "t", "\r\n", std::nullopt},
        {" ", " ", " ", std::nullopt},
    };
    for (const TCase& c : kCases) {
        SCOPED_TRACE(std::string(c.title) + "|" + c.target + "|" + c.community);
        TOntologyMetadata m;
        m.Title = c.title;
        m.Target = c.target;
        m.Community = c.community;
        const auto problem = CheckOntologyMetadata(m);
        ASSERT_EQ(problem.has_value(), c.problem.has_value());
        if (problem) {
            EXPECT_EQ(problem->Field, *c.problem);
        }
    }
    TOntologyMetadata empty;
    EXPECT_EQ(CheckOntologyMetadata(empty)->Message, "オントロジーのタイトルが空白です.");
    empty.Title = "a";
    EXPECT_EQ(CheckOntologyMetadata(empty)->Message, "オントロジーのターゲットが空白です.");
    empty.Target = "t";
    EXPECT_EQ(CheckOntologyMetadata(empty)->Message, "オントロジーのコミュニティが空白です.");
}

TEST(OntologyMetadataWrite, WritesEveryFieldKeepsLineBreaksAndMarksModified) {
    TOntology ontology;
    ontology.SetTitle("old");
    ontology.SetCreatedDay("10:11:12");
    std::vector<std::string> titlesSeen;
    ontology.OnTitleChange = [&titlesSeen](TOntology& o) { titlesSeen.push_back(o.Title()); };
    bool modifiedReported = false;
    ontology.OnStateChange = [&modifiedReported](bool, bool modified) {
        modifiedReported = modified;
    };

    TOntologyMetadata m;
    m.Title = Sjis("食品");
    m.Target = "target";
    m.Creator = "";  // an emptied field loses its line
    m.Description = "line 1\r\nline 2";
    m.Community = "\r\n";
    m.ConceptDescrDefault = "descr\r\n";
    m.ConceptCommentDefault = "comment";
    WriteOntologyMetadata(ontology, m);

    const TOntologyMetadata back = ReadOntologyMetadata(ontology);
    EXPECT_EQ(back.Title, m.Title);
    EXPECT_EQ(back.Target, m.Target);
    EXPECT_EQ(back.Creator, "");
    EXPECT_EQ(back.Description, m.Description);
    EXPECT_EQ(back.Community, m.Community);
    EXPECT_EQ(back.ConceptDescrDefault, m.ConceptDescrDefault);
    EXPECT_EQ(back.ConceptCommentDefault, m.ConceptCommentDefault);
    EXPECT_EQ(ontology.CreatedDay(), "10:11:12");  // not a field of the dialog
    EXPECT_EQ(titlesSeen, std::vector<std::string>{m.Title});
    EXPECT_TRUE(ontology.Modified());
    EXPECT_TRUE(modifiedReported);
    ontology.OnStateChange = nullptr;
}

// Link types over a fresh ontology; every change takes its save point on the real undo stack.
class OntologyLinkTypes : public StoreFixture {
protected:
    OntologyLinkTypes() { ontology.OnStateChange = nullptr; }

    void Undo() {
        std::unique_ptr<TSavePoint> point = ontology.PopSavePoint();
        ASSERT_NE(point, nullptr);
        store.RollBackTo(*point);
    }

    std::vector<std::int32_t> Codes() {
        std::vector<std::int32_t> codes;
        for (const TLinkTypeRow& row : types.Rows()) {
            codes.push_back(row.LinkCode);
        }
        return codes;
    }

    static std::vector<std::int32_t> DefaultsPlus(std::initializer_list<std::int32_t> more) {
        std::vector<std::int32_t> codes;
        for (std::int32_t c = 1; c <= kLastDefaultLinkCode; ++c) {
            codes.push_back(c);
        }
        codes.insert(codes.end(), more);
        return codes;
    }

    TOntology ontology;
    TOntologyLinkTypes types{
        store, [this] { ontology.PushSavePoint(store.TakeSavePoint(ConceptItem(1))); }};
};

TEST_F(OntologyLinkTypes, DeletedCodesComeBackSmallestFirst) {
    EXPECT_EQ(types.SmallestFreeCode(), 11);
    EXPECT_EQ(types.Add(Sjis("原料"), Sjis("材料になる")), 11);
    EXPECT_EQ(types.Add("b", ""), 12);
    EXPECT_EQ(types.Add("c", ""), 13);
    EXPECT_EQ(types.Delete(12), TLinkTypeDeletion::Deleted);
    EXPECT_EQ(types.Delete(11), TLinkTypeDeletion::Deleted);
    EXPECT_EQ(Codes(), DefaultsPlus({13}));
    EXPECT_EQ(types.Add("d", ""), 11);
    EXPECT_EQ(types.Add("e", ""), 12);
    EXPECT_EQ(types.Add("f", ""), 14);
    EXPECT_EQ(Codes(), DefaultsPlus({13, 11, 12, 14}));  // table order: order of addition
    const auto d = types.Find(11);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->LinkTitle, "d");
}

TEST_F(OntologyLinkTypes, EachChangeIsOneUndoStep) {
    types.Add("new", "comment");
    ASSERT_TRUE(types.Edit(11, "renamed", "other"));
    ASSERT_TRUE(types.Edit(1, Sjis("下位"), ""));  // default types can be edited
    EXPECT_EQ(types.Delete(11), TLinkTypeDeletion::Deleted);
    EXPECT_EQ(ontology.SavePointCount(), 4u);

    Undo();
    EXPECT_EQ(types.Find(11)->LinkTitle, "renamed");
    Undo();
    EXPECT_EQ(types.Find(1)->LinkTitle, "subconcept");
    Undo();
    EXPECT_EQ(types.Find(11)->LinkTitle, "new");
    EXPECT_EQ(types.Find(11)->Comment, "comment");
    Undo();
    EXPECT_FALSE(types.Find(11));
    EXPECT_EQ(Codes(), DefaultsPlus({}));
}

TEST_F(OntologyLinkTypes, RefusedChangesTouchNothingAndTakeNoSavePoint) {
    const std::int32_t top = store.AppendConcept("a", 0, "");
    types.Add("used", "");
    types.Add("free", "");
    MirrorImage(top, top, 11);
    const std::size_t points = ontology.SavePointCount();

    EXPECT_TRUE(types.IsUsed(11));
    EXPECT_FALSE(types.IsUsed(12));
    EXPECT_EQ(types.Delete(11), TLinkTypeDeletion::InUse);
    EXPECT_EQ(types.Delete(1), TLinkTypeDeletion::DefaultType);
    EXPECT_EQ(types.Delete(10), TLinkTypeDeletion::DefaultType);
    EXPECT_EQ(types.Delete(99), TLinkTypeDeletion::Missing);
    EXPECT_FALSE(types.Edit(99, "x", "y"));
    EXPECT_EQ(ontology.SavePointCount(), points);
    EXPECT_EQ(Codes(), DefaultsPlus({11, 12}));

    // Deleting twice: the second finds nothing.
    EXPECT_EQ(types.Delete(12), TLinkTypeDeletion::Deleted);
    EXPECT_EQ(types.Delete(12), TLinkTypeDeletion::Missing);
    EXPECT_EQ(ontology.SavePointCount(), points + 1);
}

class OntologyInformation : public StoreFixture {
protected:
    void SetEdited(std::int32_t no, const TDateTime& when, std::string_view editor) {
        TTable& c = store.DtStOriginalConcepts;
        ASSERT_TRUE(c.Locate(kFieldRecordNo, TValue(no)));
        c.Edit();
        c.FieldByName(kFieldDateEdition).SetAsDateTime(when);
        c.FieldByName(kFieldEditor).SetAsString(Sjis(editor));
        c.Post();
    }

    std::vector<std::string> Lines() {
        std::vector<std::string> utf8;
        for (const std::string& line :
             OntologyInformationLines(store, ontology, [](TDateTime when) {
                 const TCivilTime c = when.ToCivil();
                 return std::to_string(c.Year) + "-" + std::to_string(c.Month) + "-" +
                        std::to_string(c.Day) + " " + TimeOfDayText(when);
             })) {
            utf8.push_back(Cp932ToUtf8(line));
        }
        return utf8;
    }

    TOntology ontology;
};

TEST_F(OntologyInformation, LinesNameTheLatestEditFirstRecordOnATie) {
    ontology.SetTitle(Sjis("食品"));
    ontology.SetCreator(Sjis("山田"));
    ontology.SetCreatedDay("09:05:03");
    const std::int32_t a = store.AppendConcept("a", 0, Sjis("あ"));
    const std::int32_t b = store.AppendConcept("b", a, Sjis("い"));
    const std::int32_t c = store.AppendConcept("c", a, Sjis("あ"));
    MirrorImage(b, c);
    const TDateTime late = TDateTime::FromCivil({2024, 3, 2, 13, 14, 15, 0});
    SetEdited(a, TDateTime::FromCivil({2023, 1, 1, 0, 0, 0, 0}), "甲");
    SetEdited(b, late, "乙");
    SetEdited(c, late, "丙");  // the same moment later in the table: b stays the latest

    const std::vector<std::string> expected = {
        "",
        "  食品",
        "",
        "    --------------------------------------",
        "    概念項目数:    3",
        "    鏡像項目数:    1",
        "    登録言語ラベル数:    2",
        "    --------------------------------------",
        "    作成者:    \"山田\"",
        "    作成日時:    09:05:03",
        "    --------------------------------------",
        "    最終編集者:    \"乙\"",
        "    最終編集日時:    2024-3-2 13:14:15",
        "    --------------------------------------",
    };
    EXPECT_EQ(Lines(), expected);

    // A new concept's edit time is its creation time, the newest of all.
    store.AppendConcept("d", a, "");
    EXPECT_EQ(Lines()[11], "    最終編集者:    \"山田\"");
    EXPECT_EQ(Lines()[12], "    最終編集日時:    2024-5-6 07:08:09");
    EXPECT_EQ(FindLatestEdit(store).ConceptNo, 4);
}

TEST_F(OntologyInformation, NoConceptsLeavesTheLastEditEmpty) {
    const std::vector<std::string> lines = Lines();
    ASSERT_EQ(lines.size(), 14u);
    EXPECT_EQ(lines[4], "    概念項目数:    0");
    EXPECT_EQ(lines[11], "    最終編集者:    \"\"");
    EXPECT_EQ(lines[12], "    最終編集日時:    ");
}

}  // namespace
}  // namespace velmora::store
