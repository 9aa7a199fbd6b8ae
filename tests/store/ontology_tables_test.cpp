#include "ontology_tables.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "code_page.h"
#include "table.h"

namespace velmora::store {
namespace {

struct TTableCase {
    std::string_view Name;
    std::vector<TFieldDef> Fields;
};

std::vector<TTableCase> AllTables() {
    return {
        {kDtStOriginalConcepts, ConceptsFieldDefs()},
        {kDtStOriginalLinkType, LinkTypeFieldDefs()},
        {kDtStOriginalNetWork, NetWorkFieldDefs()},
        {kDtStOriginalTerms, TermsFieldDefs()},
        {kDtStOriginalAssociation, AssociationFieldDefs()},
    };
}

// A file names its fields; a repeated name would make lookups by name ambiguous, and a table
// can draw numbers from only one counter.
TEST(OntologyTablesTest, FieldNamesAreUniqueAndAtMostOneCounterPerTable) {
    for (const TTableCase& table : AllTables()) {
        SCOPED_TRACE(std::string(table.Name));
        std::set<std::string> names;
        int counters = 0;
        for (const TFieldDef& field : table.Fields) {
            EXPECT_TRUE(names.insert(field.Name).second) << field.Name;
            counters += field.Kind == TFieldKind::AutoInc ? 1 : 0;
        }
        EXPECT_LE(counters, 1);
    }
}

// A typo in a source literal (a character code page 932 lacks) would turn into "?" in every
// new ontology.
TEST(OntologyTablesTest, DefaultLinkTypesSurviveCodePage932) {
    const std::vector<TLinkTypeRow> rows = DefaultLinkTypes();
    const auto texts = DefaultLinkTypesUtf8();
    ASSERT_EQ(rows.size(), texts.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(std::string(texts[i].LinkTitle));
        EXPECT_EQ(rows[i].LinkCode, texts[i].LinkCode);
        for (const auto& [cp932, utf8] : {std::pair{rows[i].LinkTitle, texts[i].LinkTitle},
                                          std::pair{rows[i].Comment, texts[i].Comment}}) {
            int bad = -1;
            EXPECT_EQ(Cp932ToUtf8(cp932, &bad), utf8);
            EXPECT_EQ(bad, 0);
            EXPECT_LE(cp932.size(), 255u) << "fits its text(255) field";
        }
    }
    // The first comment as the table holds it: 下位概念、またはサブカテゴリ.
    EXPECT_EQ(rows.front().Comment,
              "\x89\xba\x88\xca\x8a\x54\x94\x4f\x81\x41\x82\xdc\x82\xbd\x82\xcd"
              "\x83\x54\x83\x75\x83\x4a\x83\x65\x83\x53\x83\x8a\x2e");
}

TEST(OntologyTablesTest, DefaultLinkTypesFillTheLinkTypeTable) {
    TTable linkTypes(std::string(kDtStOriginalLinkType), LinkTypeFieldDefs(),
                     std::string(kFieldLinkCode));
    linkTypes.CreateDataSet();
    for (const TLinkTypeRow& row : DefaultLinkTypes()) {
        linkTypes.AppendRecord({row.LinkCode, row.LinkTitle, row.Comment});
    }
    ASSERT_EQ(linkTypes.RecordCount(), 10);

    linkTypes.First();
    for (const TLinkTypeText& text : DefaultLinkTypesUtf8()) {
        SCOPED_TRACE(std::string(text.LinkTitle));
        EXPECT_EQ(linkTypes.FieldByName(kFieldLinkCode).AsInteger(), text.LinkCode);
        EXPECT_EQ(Cp932ToUtf8(linkTypes.FieldByName(kFieldLinkTitle).AsString()), text.LinkTitle);
        EXPECT_EQ(Cp932ToUtf8(linkTypes.FieldByName(kFieldComment).AsString()), text.Comment);
        linkTypes.Next();
    }
    EXPECT_TRUE(linkTypes.Eof());
}

// A value of the field's kind, for filling a record of any table.
TValue SampleValue(const TFieldDef& field) {
    switch (field.Kind) {
        case TFieldKind::AutoInc:
            return {};  // drawn by the table
        case TFieldKind::Integer:
            return std::int32_t{3};
        case TFieldKind::Text:
        case TFieldKind::Memo:
            return std::string("\x82\xa0");
        case TFieldKind::DateTime:
            return TDateTime::FromCivil({2000, 1, 1, 9, 30, 0, 0});
    }
    return {};
}

struct TUsageCase {
    std::string_view Table;
    std::vector<TFieldDef> Fields;
    std::vector<std::string_view> IndexFieldLists;
    std::vector<std::string_view> LookupFieldLists;
};

// Every order, master link and lookup the program uses on these tables needs its fields to exist
// with a kind the engine can order by (indexes take no text fields).
TEST(OntologyTablesTest, TablesSupportTheOrdersAndLookupsTheProgramUses) {
    const TUsageCase cases[] = {
        {kDtStOriginalConcepts,
         ConceptsFieldDefs(),
         {kConceptsDefaultIndex, "PARENT_NO", "PARENT_NO;LIST_ORDER", "RECORD_NO;LIST_ORDER"},
         {"TITLE;PARENT_NO"}},
        {kDtStOriginalNetWork,
         NetWorkFieldDefs(),
         {"RECORD_NO", "RECORD_NO_FROM", "RECORD_NO_FROM;LIST_ORDER", "RECORD_NO_TO",
          "RECORD_NO_FROM;RECORD_NO_TO;LINK_CODE"},
         {"RECORD_NO_FROM;RECORD_NO_TO"}},
        {kDtStOriginalLinkType, LinkTypeFieldDefs(), {"LINK_CODE"}, {}},
        {kDtStOriginalTerms, TermsFieldDefs(), {"TERM_NO"}, {"TERM_STRING"}},
        {kDtStOriginalAssociation,
         AssociationFieldDefs(),
         {"CONCEPT_NO", "TERM_NO", "CONCEPT_NO;LIST_ORDER"},
         {"CONCEPT_NO;TERM_NO"}},
    };
    for (const TUsageCase& c : cases) {
        SCOPED_TRACE(std::string(c.Table));
        TTable table(std::string(c.Table), c.Fields);
        table.CreateDataSet();
        std::vector<TValue> record;
        for (const TFieldDef& field : c.Fields) {
            record.push_back(SampleValue(field));
        }
        ASSERT_NO_THROW(table.AppendRecord(record));

        for (const std::string_view fields : c.IndexFieldLists) {
            SCOPED_TRACE(std::string(fields));
            EXPECT_NO_THROW(table.SetIndexFieldNames(fields));
            EXPECT_EQ(table.RecordCount(), 1);
        }
        for (const std::string_view fields : c.LookupFieldLists) {
            SCOPED_TRACE(std::string(fields));
            std::vector<TValue> values;
            std::size_t start = 0;
            while (start <= fields.size()) {
                const std::size_t end = std::min(fields.find(';', start), fields.size());
                values.push_back(table.FieldByName(fields.substr(start, end - start)).Value());
                start = end + 1;
            }
            EXPECT_TRUE(table.Locate(fields, values));
        }
    }
}

// Language labels are only 20 bytes wide, unlike every other text field.
TEST(OntologyTablesTest, LanguageLabelIsStoredCutToTwentyBytes) {
    TTable terms(std::string(kDtStOriginalTerms), TermsFieldDefs(), std::string(kFieldTermNo));
    terms.CreateDataSet();
    // "A" and twelve kanji: 25 bytes, so the cut falls inside the tenth kanji.
    const std::string label = Utf8ToCp932("A一二三四五六七八九十百千");
    ASSERT_EQ(label.size(), 25u);
    terms.AppendRecord({TValue{}, label, TValue{}});

    EXPECT_EQ(terms.FieldByName(kFieldTermString).AsString(), CutToBytes(label, 20));
    EXPECT_FALSE(terms.Locate(kFieldTermString, TValue{label}));
    EXPECT_TRUE(terms.Locate(kFieldTermString, TValue{CutToBytes(label, 20)}));
}

}  // namespace
}  // namespace velmora::store
