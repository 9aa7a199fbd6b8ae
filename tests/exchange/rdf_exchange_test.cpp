#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "code_page.h"
#include "data_module.h"
#include "ontology.h"
#include "ontology_tables.h"
#include "rdf_export.h"
#include "rdf_import.h"
#include "rdf_xml_writer.h"
#include "store_fixture.h"

namespace velmora::exchange {
namespace {

using store::TTable;
using store::TValue;

std::string Sjis(std::string_view utf8) {
    return store::Utf8ToCp932(utf8);
}

std::string ReadFixture(const std::string& name) {
    store::TFileSystem& fs = store::RealFileSystem();
    const auto file = fs.OpenRead(std::string(VELMORA_RDF_DATA_DIR) + "/" + name);
    std::string bytes(static_cast<std::size_t>(file->Size()), '\0');
    file->Read(bytes.data(), bytes.size());
    return bytes;
}

// One ontology in a store of its own.
struct TOntologyData {
    store::TSimpleStoreContext Context;
    store::TDataModule1 Store{Context};
    store::TOntology Ontology;

    TOntologyData() {
        Context.SetUserName(Sjis("取込者"));
        Context.SetClock([] { return store::TDateTime::FromCivil({2025, 1, 2, 3, 4, 5, 0}); });
    }

    std::vector<std::vector<TValue>> Records(TTable& table) {
        std::vector<std::vector<TValue>> rows;
        table.ForEachRecord([&](std::span<const TValue> values) {
            rows.emplace_back(values.begin(), values.end());
        });
        std::sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) {
            return std::get<std::int32_t>(a[0]) < std::get<std::int32_t>(b[0]);
        });
        return rows;
    }
    // Each concept's label texts, sorted: Turtle writers order a subject's statements.
    std::map<std::int32_t, std::vector<std::string>> Labels() {
        std::map<std::int32_t, std::string> terms;
        Store.DtStOriginalTerms.ForEachRecord([&](std::span<const TValue> v) {
            terms[std::get<std::int32_t>(v[0])] =
                std::holds_alternative<std::string>(v[1]) ? std::get<std::string>(v[1]) : "";
        });
        std::map<std::int32_t, std::vector<std::string>> labels;
        Store.DtStOriginalAssociation.ForEachRecord([&](std::span<const TValue> v) {
            labels[std::get<std::int32_t>(v[1])].push_back(terms[std::get<std::int32_t>(v[2])]);
        });
        for (auto& [no, list] : labels) {
            std::sort(list.begin(), list.end());
        }
        return labels;
    }
};

// Every kind of record: several parents, every default relation and one of the user's, a
// label shared by two concepts, a concept without its title label, characters of the
// extended rows of code page 932, empty fields, multi-line texts, icon positions, sibling
// order left unset, dates with milliseconds.
void BuildEveryKind(TOntologyData& d) {
    store::TDataModule1& s = d.Store;
    s.CreateTables();
    store::TOntology& o = d.Ontology;
    o.SetTitle(Sjis("試験オントロジー"));
    o.SetTarget(Sjis("試験"));
    o.SetCommunity(Sjis("試験者.\r\n二行目の共同体"));
    o.SetDescription(Sjis("説明 \"引用\" <タグ> & 記号"));
    o.SetCreator(Sjis("作成者"));
    o.SetCreatedDay("10:11:12");
    o.SetConceptDescrDefault(Sjis("既定の解説"));

    TTable& c = s.DtStOriginalConcepts;
    const auto when = [](int ms) {
        return store::TDateTime::FromCivil({2023, 7, 8, 9, 10, 11, ms});
    };
    const auto addConcept = [&](std::int32_t no, std::string_view title, std::int32_t parent,
                                TValue order, TValue x, TValue y, std::string_view description,
                                std::string_view comment, std::string_view editor) {
        c.SetAutoIncValue(no);
        const std::string t = Sjis(title);
        c.AppendRecord({TValue(), t, store::ConceptIdentifier(no, t), Sjis(description),
                        Sjis(comment), parent, order, x, y, when(no), when(no * 7), Sjis(editor)});
    };
    addConcept(1, "トップ", 0, store::kNotOrdered, -1, -1, "", "", "甲");
    addConcept(2, "果物①〜髙", 1, 1, 10, 20, "一行目\r\n二行目\r\n\r\n四行目", "注記", "乙");
    addConcept(3, "野菜", 1, 2, -1, -1, "", "", "");
    addConcept(5, "りんご", 2, 1, 5, 6, "タブ\tあり", "", "甲");
    addConcept(6, "長い題名", 3, TValue(), TValue(), TValue(), "", "コメント\r\n二行", "甲");
    for (std::int32_t code = 1; code <= 11; ++code) {
        addConcept(10 + code, "関係" + std::to_string(code), 3, code, -1, -1, "", "", "甲");
    }
    c.SetAutoIncValue(40);  // numbers up to here were used once

    const auto label = [&](std::int32_t no, std::string_view text) {
        s.AddTermToConcept(no, Sjis(text));
    };
    for (const auto& [no, text] :
         std::vector<std::pair<std::int32_t, std::string>>{{1, "トップ"},
                                                           {2, "果物①〜髙"},
                                                           {2, "フルーツ"},
                                                           {3, "野菜"},
                                                           {5, "りんご"},
                                                           {5, "フルーツ"},
                                                           {5, "apple"}}) {
        label(no, text);
    }

    store::TTable& types = s.DtStOriginalLinkType;
    ASSERT_TRUE(types.Locate(store::kFieldLinkCode, TValue(2)));
    types.Edit();
    types.FieldByName(store::kFieldLinkTitle).SetAsString(Sjis("部分"));
    types.Post();
    types.AppendRecord({11, Sjis("原料"), Sjis("料理と材料")});

    TTable& n = s.DtStOriginalNetWork;
    n.SetAutoIncValue(3);
    n.AppendRecord({TValue(), 3, 5, 3, 1, 30, 40});  // a second parent
    n.AppendRecord({TValue(), 1, 6, TValue(), 1, -1, -1});
    for (std::int32_t code = 2; code <= 11; ++code) {
        n.AppendRecord({TValue(), 2, 10 + code, code + 1, code, -1, -1});
    }
    n.SetAutoIncValue(25);  // mirror images up to here were deleted
    s.MergeChangeLogs();
    s.AttachTables();
}

struct TRoundTripCase {
    TRdfVocabulary Vocabulary;
    TRdfSyntax Syntax;
    const char* Name;
};

class RdfRoundTrip : public ::testing::TestWithParam<TRoundTripCase> {};

TEST_P(RdfRoundTrip, RestoresEveryRecord) {
    TOntologyData source;
    BuildEveryKind(source);
    TRdfExportOptions options;
    options.Vocabulary = GetParam().Vocabulary;
    options.Syntax = GetParam().Syntax;
    std::string text;
    const TRdfExportResult exported = ExportRdf(source.Store, source.Ontology, options,
                                                [&](std::string_view bytes) { text += bytes; });
    EXPECT_EQ(exported.Concepts, 16);
    EXPECT_EQ(exported.Replaced, 0);

    TOntologyData back;
    TRdfImportOptions importOptions;
    importOptions.Vocabulary = options.Vocabulary;
    const TRdfImportResult imported =
        ImportRdf(text, back.Store, back.Ontology, back.Context, importOptions);
    EXPECT_TRUE(imported.Warnings.empty()) << imported.Warnings.front();
    EXPECT_FALSE(imported.TopConceptMade);
    EXPECT_EQ(imported.CutTexts + imported.Replaced, 0);

    EXPECT_EQ(back.Records(back.Store.DtStOriginalConcepts),
              source.Records(source.Store.DtStOriginalConcepts));
    EXPECT_EQ(back.Records(back.Store.DtStOriginalNetWork),
              source.Records(source.Store.DtStOriginalNetWork));
    EXPECT_EQ(back.Records(back.Store.DtStOriginalLinkType),
              source.Records(source.Store.DtStOriginalLinkType));
    EXPECT_EQ(back.Labels(), source.Labels());
    // The shared label stays one terms record.
    EXPECT_EQ(back.Store.DtStOriginalTerms.RecordCount(),
              source.Store.DtStOriginalTerms.RecordCount());
    // Numbers of deleted records are not handed out again.
    EXPECT_EQ(back.Store.DtStOriginalConcepts.AutoIncValue(), 40);
    EXPECT_EQ(back.Store.DtStOriginalNetWork.AutoIncValue(), 25);
    for (const std::string_view key : {"Title", "Target", "Community", "Description", "Creator",
                                       "CreatedDay", "ConceptDescrDefault"}) {
        EXPECT_EQ(back.Ontology.Value(key), source.Ontology.Value(key)) << key;
    }
}

INSTANTIATE_TEST_SUITE_P(
    EverySyntax, RdfRoundTrip,
    ::testing::Values(TRoundTripCase{TRdfVocabulary::Skos, TRdfSyntax::Turtle, "SkosTurtle"},
                      TRoundTripCase{TRdfVocabulary::Skos, TRdfSyntax::RdfXml, "SkosRdfXml"},
                      TRoundTripCase{TRdfVocabulary::Skos, TRdfSyntax::NTriples, "SkosNTriples"},
                      TRoundTripCase{TRdfVocabulary::Owl, TRdfSyntax::Turtle, "OwlTurtle"},
                      TRoundTripCase{TRdfVocabulary::Owl, TRdfSyntax::RdfXml, "OwlRdfXml"},
                      TRoundTripCase{TRdfVocabulary::Owl, TRdfSyntax::NTriples, "OwlNTriples"}),
    [](const auto& info) { return std::string(info.param.Name); });

std::string TitleOf(TOntologyData& d, std::int32_t no) {
    TTable& c = d.Store.DtStOriginalConcepts;
    EXPECT_TRUE(c.Locate(store::kFieldRecordNo, TValue(no))) << no;
    return store::Cp932ToUtf8(c.FieldByName(store::kFieldTitle).AsString());
}

std::int32_t NumberOf(TOntologyData& d, std::string_view title) {
    std::int32_t found = 0;
    d.Store.DtStOriginalConcepts.ForEachRecord([&](std::span<const TValue> v) {
        if (std::get<std::string>(v[1]) == Sjis(title)) {
            found = std::get<std::int32_t>(v[0]);
        }
    });
    EXPECT_NE(found, 0) << title;
    return found;
}

std::int32_t ParentOf(TOntologyData& d, std::int32_t no) {
    TTable& c = d.Store.DtStOriginalConcepts;
    EXPECT_TRUE(c.Locate(store::kFieldRecordNo, TValue(no)));
    return c.FieldByName(store::kFieldParentNo).AsInteger();
}

// (from, to, link title) of every mirror image.
std::vector<std::tuple<std::string, std::string, std::string>> Mirrors(TOntologyData& d) {
    std::map<std::int32_t, std::string> types;
    d.Store.DtStOriginalLinkType.ForEachRecord([&](std::span<const TValue> v) {
        types[std::get<std::int32_t>(v[0])] = store::Cp932ToUtf8(std::get<std::string>(v[1]));
    });
    std::vector<std::tuple<std::string, std::string, std::string>> out;
    std::vector<std::vector<TValue>> rows = d.Records(d.Store.DtStOriginalNetWork);
    for (const auto& r : rows) {
        out.emplace_back(TitleOf(d, std::get<std::int32_t>(r[1])),
                         TitleOf(d, std::get<std::int32_t>(r[2])),
                         types[std::get<std::int32_t>(r[4])]);
    }
    std::sort(out.begin(), out.end());
    return out;
}

TEST(RdfImport, PublishedSkosInTwoSchemesAndSeveralLanguages) {
    TOntologyData d;
    const TRdfImportResult r = ImportRdf(ReadFixture("two_schemes.ttl"), d.Store, d.Ontology,
                                         d.Context, {}, "two_schemes.ttl");
    EXPECT_EQ(r.Syntax, "turtle");
    EXPECT_TRUE(r.TopConceptMade);  // two concepts have no broader one
    EXPECT_EQ(r.Replaced, 1);       // 𠮷 is outside code page 932
    const std::int32_t top = NumberOf(d, "食品シソーラス");
    EXPECT_EQ(ParentOf(d, top), 0);
    EXPECT_EQ(ParentOf(d, NumberOf(d, "果物")), top);
    EXPECT_EQ(ParentOf(d, NumberOf(d, "料理")), top);
    EXPECT_EQ(ParentOf(d, NumberOf(d, "りんご")), NumberOf(d, "果物"));
    EXPECT_EQ(ParentOf(d, NumberOf(d, "アップルパイ")), NumberOf(d, "料理"));  // from narrower
    EXPECT_EQ(ParentOf(d, NumberOf(d, "banana")), NumberOf(d, "果物"));        // no Japanese label
    EXPECT_EQ(ParentOf(d, NumberOf(d, "C0042")), NumberOf(d, "果物"));         // no label at all
    using T = std::tuple<std::string, std::string, std::string>;
    EXPECT_EQ(Mirrors(d), (std::vector<T>{{"banana", "アップルパイ", "related"},
                                          {"りんご", "アップルパイ", "原料"}}));
    const auto labels = d.Labels();
    EXPECT_EQ(labels.at(NumberOf(d, "りんご")),
              (std::vector<std::string>{Sjis("?野りんご"), "apple", "pomme", Sjis("りんご"),
                                        Sjis("林檎")}));
    TTable& c = d.Store.DtStOriginalConcepts;
    ASSERT_TRUE(c.Locate(store::kFieldRecordNo, TValue(NumberOf(d, "果物"))));
    EXPECT_EQ(c.FieldByName(store::kFieldDescription).AsString(), Sjis("植物の甘い実."));
    EXPECT_EQ(c.FieldByName(store::kFieldEditor).AsString(), Sjis("取込者"));
    EXPECT_EQ(d.Ontology.Creator(), "Example Library");
}

TEST(RdfImport, OboClassWithTwoParentsAndAPartOfRestriction) {
    TOntologyData d;
    TRdfImportOptions options;
    options.Vocabulary = TRdfVocabulary::Owl;
    const TRdfImportResult r =
        ImportRdf(ReadFixture("part_of.owl"), d.Store, d.Ontology, d.Context, options);
    EXPECT_EQ(r.Syntax, "rdfxml");
    EXPECT_FALSE(r.TopConceptMade);
    const std::int32_t heart = NumberOf(d, "心臓");
    EXPECT_EQ(ParentOf(d, heart), NumberOf(d, "器官"));  // the first parent
    using T = std::tuple<std::string, std::string, std::string>;
    EXPECT_EQ(Mirrors(d), (std::vector<T>{{"circulatory system", "心臓", "part of"},
                                          {"muscle tissue", "心臓", "subconcept"}}));
    TTable& c = d.Store.DtStOriginalConcepts;
    ASSERT_TRUE(c.Locate(store::kFieldRecordNo, TValue(heart)));
    EXPECT_EQ(c.FieldByName(store::kFieldDescription).AsString(),
              "A hollow muscular organ that pumps blood.");
    EXPECT_EQ(c.FieldByName(store::kFieldComment).AsString(), "Chambers vary between species.");
    EXPECT_EQ(d.Labels().at(heart),
              (std::vector<std::string>{"heart", Sjis("こころのぞう"), Sjis("心臓")}));
    EXPECT_EQ(d.Ontology.Title(), "Example anatomy ontology");
    // As SKOS the same file holds no concept, and the message says what to do.
    TOntologyData skos;
    try {
        ImportRdf(ReadFixture("part_of.owl"), skos.Store, skos.Ontology, skos.Context, {});
        FAIL() << "no error";
    } catch (const ERdfError& e) {
        EXPECT_NE(std::string(e.what()).find("--as owl"), std::string::npos) << e.what();
    }
}

TEST(RdfImport, RecordCountersNeverFallBelowTheHighestNumberInUse) {
    const std::string head =
        "@prefix vo: <http://a/o/> .\n"
        "@prefix skos: <http://www.w3.org/2004/02/skos/core#> .\n"
        "vo: a skos:ConceptScheme .\n"
        "vo:7 a skos:Concept ; skos:prefLabel \"x\"@ja .\n"
        "vo:m3 a vo:MirrorImage ; vo:mirrorOf vo:7 ; vo:shownUnder vo:7 ; vo:linkCode 2 .\n";
    struct TCase {
        std::string Counters;
        std::int32_t Concepts;
        std::int32_t MirrorImages;
    };
    for (const TCase& c : std::vector<TCase>{
             {"vo: vo:nextConceptNumber 50 ; vo:nextMirrorImageNumber 9 .\n", 50, 9},
             {"vo: vo:nextConceptNumber 2 ; vo:nextMirrorImageNumber 1 .\n", 8, 4},
             {"vo: vo:nextConceptNumber \"-5\" ; vo:nextMirrorImageNumber \"x\" .\n", 8, 4},
             {"", 8, 4},
             // Another vocabulary's term of the same name says nothing about our numbers.
             {"vo: <http://b/nextConceptNumber> 50 .\n", 8, 4},
         }) {
        TOntologyData d;
        ImportRdf(head + c.Counters, d.Store, d.Ontology, d.Context, {});
        EXPECT_EQ(d.Store.DtStOriginalConcepts.AutoIncValue(), c.Concepts) << c.Counters;
        EXPECT_EQ(d.Store.DtStOriginalNetWork.AutoIncValue(), c.MirrorImages) << c.Counters;
    }
}

TEST(RdfImport, CycleIsBrokenAtTheConceptNamedFirstWithAWarning) {
    TOntologyData d;
    const TRdfImportResult r =
        ImportRdf(ReadFixture("cycle.nt"), d.Store, d.Ontology, d.Context, {});
    EXPECT_EQ(r.Syntax, "ntriples");
    ASSERT_EQ(r.Warnings.size(), 1u);
    EXPECT_NE(r.Warnings[0].find("「A」 → 「B」 → 「C」 → 「A」"), std::string::npos)
        << r.Warnings[0];
    // A loses B; C keeps A and shows again under top.
    EXPECT_EQ(ParentOf(d, NumberOf(d, "A")), ParentOf(d, NumberOf(d, "top")));
    EXPECT_EQ(ParentOf(d, NumberOf(d, "C")), NumberOf(d, "A"));
    EXPECT_EQ(ParentOf(d, NumberOf(d, "B")), NumberOf(d, "C"));
}

TEST(RdfImport, BrokenInputNamesTheLineAndLeavesTheStoreAlone) {
    const std::string turtle = ReadFixture("two_schemes.ttl");
    const std::string xml = ReadFixture("part_of.owl");
    struct TCase {
        std::string Text;
        int Line;
    };
    const std::vector<TCase> cases = {
        {turtle.substr(0, turtle.find("ex:apple a")) +
             "ex:apple a skos:Concept ;\n  skos:prefLabel \"x",
         0},
        {xml.substr(0, xml.size() / 2), 0},
        {"<http://a/x> <http://a/p> \"unterminated .\n", 1},
        {"@prefix ex: <http://a/> .\nex:a ex:b ex:c ;\n  undeclared:x ex:d .\n", 3},
    };
    for (const TCase& c : cases) {
        TOntologyData d;
        try {
            ImportRdf(c.Text, d.Store, d.Ontology, d.Context, {});
            ADD_FAILURE() << "no error for " << c.Text;
        } catch (const ERdfError& e) {
            EXPECT_GT(e.Line(), 0) << e.what();
            if (c.Line > 0) {
                EXPECT_EQ(e.Line(), c.Line) << e.what();
            }
        }
        EXPECT_FALSE(d.Store.DtStOriginalConcepts.Active());
        EXPECT_EQ(d.Ontology.Count(), 0u);
    }
}

TEST(RdfImport, TextsAreCutToTheirFieldsAndCounted) {
    const std::string longTitle(300, 'x');
    const std::string text =
        "@prefix skos: <http://www.w3.org/2004/02/skos/core#> .\n"
        "<http://a/1> a skos:Concept ; skos:prefLabel \"" +
        longTitle + "\"@ja ; skos:altLabel \"あいうえおかきくけこさ\"@ja .\n";
    TOntologyData d;
    const TRdfImportResult r = ImportRdf(text, d.Store, d.Ontology, d.Context, {});
    EXPECT_EQ(r.CutTexts, 1);  // the title; labels are cut by the label rule without a count
    EXPECT_EQ(TitleOf(d, 1), std::string(255, 'x'));
}

TEST(RdfSyntax, IsToldFromTheContent) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"<?xml version=\"1.0\"?>\n<rdf:RDF/>", "rdfxml"},
        {"\xEF\xBB\xBF  <rdf:RDF xmlns:rdf=\"x\">", "rdfxml"},
        {"<rdf:RDF/>", "rdfxml"},
        {"<!-- c -->\n<rdf:RDF/>", "rdfxml"},
        {"<http://a/> <http://b/> <http://c/> .\n", "ntriples"},
        {"# comment\n_:b <http://b/> \"x\" .\n", "ntriples"},
        {"<http://a/> <http://b/> <http://c/> ;\n  <http://d/> 1 .\n", "turtle"},
        {"@prefix ex: <http://a/> .\nex:a ex:b ex:c .\n", "turtle"},
        {"", "turtle"},
    };
    for (const auto& [head, syntax] : cases) {
        EXPECT_EQ(DetectRdfSyntax(head), syntax) << head;
    }
}

TEST(RdfExport, DefaultBaseAndOptionChecks) {
    store::TOntology o;
    o.SetTitle(Sjis("食品 A/B"));
    EXPECT_EQ(DefaultBaseIri(o), "http://velmora.invalid/%E9%A3%9F%E5%93%81%20A%2FB/");
    EXPECT_EQ(DefaultBaseIri(store::TOntology()), "http://velmora.invalid/untitled/");
    for (const std::string_view good : {"ja", "en-GB", "zh-Hant-TW", "x-1"}) {
        EXPECT_TRUE(IsLanguageTag(good)) << good;
    }
    for (const std::string_view bad : {"", "1a", "ja-", "ja_JP", "toolongtag", "j a"}) {
        EXPECT_FALSE(IsLanguageTag(bad)) << bad;
    }
    EXPECT_TRUE(IsAbsoluteIri("http://example.org/o/"));
    EXPECT_TRUE(IsAbsoluteIri("urn:x:y#"));
    for (const std::string_view bad : {"example.org/o", "http://a b/", "http://a/<x>", ":x"}) {
        EXPECT_FALSE(IsAbsoluteIri(bad)) << bad;
    }
}

TEST(RdfXmlWriter, PredicatesSplitAtTheXmlNameAtTheirEnd) {
    const struct {
        std::string_view Iri, Namespace, Local;
    } kCases[] = {
        {"http://a/b#name", "http://a/b#", "name"},
        {"http://a/x-1.2", "http://a/", "x-1.2"},
        {"http://a/123abc", "http://a/123", "abc"},  // a name cannot start with a digit
        {"http://a/_1", "http://a/", "_1"},
        {"http://a/%E5%90%8D", "http://a/%E5%90%8", "D"},  // nor with "%"
        {"http://a/名前", "http://a/", "名前"},
        {"http://a/1", "http://a/1", ""},
        {"http://a/", "http://a/", ""},
    };
    for (const auto& c : kCases) {
        const auto [ns, local] = SplitIriForXml(c.Iri);
        EXPECT_EQ(ns, c.Namespace) << c.Iri;
        EXPECT_EQ(local, c.Local) << c.Iri;
    }
}

TEST(RdfXmlWriter, GroupsBySubjectEscapesAndDeclaresUnknownNamespaces) {
    std::string xml;
    TRdfXmlWriter writer([&](std::string_view piece) { xml += piece; });
    writer.Namespace("http://a/", "a");
    writer.Start();
    const TRdfNode subject{TRdfNode::TKind::Iri, "http://a/1?x=1&y=\"2\"", {}, {}};
    writer.Statement(subject, "http://a/text",
                     {TRdfNode::TKind::Literal, "<b> & \"c\"\nline 2", "ja", {}});
    writer.Statement(
        subject, "http://other/p",
        {TRdfNode::TKind::Literal, "7", {}, "http://www.w3.org/2001/XMLSchema#integer"});
    writer.Statement(subject, "http://a/part", {TRdfNode::TKind::Blank, "r1", {}, {}});
    writer.Statement({TRdfNode::TKind::Blank, "r1", {}, {}}, "http://a/of",
                     {TRdfNode::TKind::Iri, "http://a/2", {}, {}});
    EXPECT_THROW(
        writer.Statement(subject, "http://a/1", {TRdfNode::TKind::Iri, "http://a/2", {}, {}}),
        ERdfError);
    writer.End();
    for (
        const std::string_view expected :
        {R"(xmlns:a="http://a/")",
         R"(<rdf:Description rdf:about="http://a/1?x=1&amp;y=&quot;2&quot;">)",
         "<a:text xml:lang=\"ja\">&lt;b&gt; &amp; &quot;c&quot;\nline 2</a:text>",
         R"(<ns0:p xmlns:ns0="http://other/" rdf:datatype="http://www.w3.org/2001/XMLSchema#integer">7</ns0:p>)",
         R"(<a:part rdf:nodeID="r1"/>)", R"(<rdf:Description rdf:nodeID="r1">)",
         R"(<a:of rdf:resource="http://a/2"/>)", "</rdf:RDF>"}) {
        EXPECT_NE(xml.find(expected), std::string::npos) << expected << "\n" << xml;
    }
    // One description for the three statements in a row about the first subject.
    EXPECT_EQ(xml.find("rdf:about", xml.find("rdf:about") + 1), std::string::npos) << xml;
}

TEST(RdfXmlWriter, AFailingSinkFailsTheWrite) {
    TRdfXmlWriter writer([](std::string_view) { throw store::EVelmoraError("disk full"); });
    writer.Start();
    const std::string text(100000, 'x');
    const TRdfNode subject{TRdfNode::TKind::Iri, "http://a/1", {}, {}};
    EXPECT_THROW(
        {
            for (int i = 0; i < 10; ++i) {
                writer.Statement(subject, "http://a/p", {TRdfNode::TKind::Literal, text, {}, {}});
            }
            writer.End();
        },
        store::EVelmoraError);
}

}  // namespace
}  // namespace velmora::exchange
