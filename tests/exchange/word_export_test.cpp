// The Word export's document: the title page, the table of contents, the order and layout of
// the concept sections, the tree diagram with its marks and shortening of long kid lists, the
// details blocks and their labels, and that every page reference finds its bookmark.

#include "word_export.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "code_page.h"
#include "engine_fixture.h"
#include "ontology.h"

namespace velmora::exchange {
namespace {

namespace vo = VelmoraOntology;
using store::TValue;
using store::Utf8ToCp932;

struct TPara {
    std::string xml;
    std::string text;  // what the reader sees, fields showing their cached results
};

std::string Unescaped(std::string text) {
    static const std::vector<std::pair<std::string, std::string>> kEntities = {
        {"&quot;", "\""}, {"&apos;", "'"}, {"&lt;", "<"}, {"&gt;", ">"}, {"&amp;", "&"}};
    for (const auto& [entity, plain] : kEntities) {
        for (std::size_t at = text.find(entity); at != std::string::npos;
             at = text.find(entity, at + plain.size())) {
            text.replace(at, entity.size(), plain);
        }
    }
    return text;
}

std::vector<TPara> Paragraphs(const std::string& xml) {
    std::vector<TPara> out;
    for (std::size_t at = xml.find("<w:p"); at != std::string::npos; at = xml.find("<w:p", at)) {
        if (xml[at + 4] != '>' && xml[at + 4] != ' ') {
            at += 4;  // <w:pPr> and the like
            continue;
        }
        const std::size_t end = xml.find("</w:p>", at) + 6;
        TPara para{xml.substr(at, end - at), ""};
        const std::string& p = para.xml;
        for (std::size_t t = p.find('<'); t != std::string::npos; t = p.find('<', t + 1)) {
            if (p.compare(t, 7, "<w:br/>") == 0) {
                para.text += "\n";
            } else if (p.compare(t, 5, "<w:t>") == 0 || p.compare(t, 5, "<w:t ") == 0) {
                const std::size_t from = p.find('>', t) + 1;
                para.text += Unescaped(p.substr(from, p.find("</w:t>", from) - from));
            }
        }
        out.push_back(std::move(para));
        at = end;
    }
    return out;
}

// For every occurrence of anchor: the text after key up to terminator, when key comes before
// the next limit ("" when it does not).
std::vector<std::string> Values(const std::string& xml, std::string_view anchor,
                                std::string_view key, std::string_view limit,
                                char terminator = '"') {
    std::vector<std::string> out;
    for (std::size_t at = xml.find(anchor); at != std::string::npos;
         at = xml.find(anchor, at + 1)) {
        const std::size_t stop = xml.find(limit, at + anchor.size());
        const std::size_t k = xml.find(key, at);
        if (k == std::string::npos || k > stop) {
            out.emplace_back();
            continue;
        }
        const std::size_t from = k + key.size();
        out.push_back(xml.substr(from, xml.find(terminator, from) - from));
    }
    return out;
}

bool Has(const std::string& xml, std::string_view part) {
    return xml.find(part) != std::string::npos;
}

class WordExport : public engine::testing::EngineFixture {
protected:
    void Export() {
        vo::TOntology model(metadata, store);
        docx::TDocumentBuilder builder;
        TExportWord exporter(model, builder, "2024/05/06");
        exporter.Run([this](int done, int total) { progress.emplace_back(done, total); });
        package = builder.Finish();
        const docx::TPart* part = package.Find("word/document.xml");
        ASSERT_NE(part, nullptr);
        xml = part->data.ToString();
        paragraphs = Paragraphs(xml);
    }
    std::int32_t AddC(const std::string& utf8Title, std::int32_t parent) {
        return Add(Utf8ToCp932(utf8Title), parent);
    }
    void SetConceptText(std::int32_t no, std::string_view field, const std::string& utf8) {
        ASSERT_TRUE(store.DtStOriginalConcepts.Locate("RECORD_NO", TValue(no)));
        store.DtStOriginalConcepts.Edit();
        store.DtStOriginalConcepts.FieldByName(field).SetAsString(Utf8ToCp932(utf8));
        store.DtStOriginalConcepts.Post();
    }
    void SetLinkTitle(std::int32_t code, const std::string& utf8) {
        ASSERT_TRUE(store.DtStOriginalLinkType.Locate("LINK_CODE", TValue(code)));
        store.DtStOriginalLinkType.Edit();
        store.DtStOriginalLinkType.FieldByName("LINK_TITLE").SetAsString(Utf8ToCp932(utf8));
        store.DtStOriginalLinkType.Post();
    }
    std::size_t IndexOf(const std::string& text, std::size_t from = 0) const {
        for (std::size_t i = from; i < paragraphs.size(); ++i) {
            if (paragraphs[i].text == text) {
                return i;
            }
        }
        ADD_FAILURE() << "no paragraph " << text;
        return paragraphs.size();
    }
    // Non-empty paragraph texts in [from, to).
    std::vector<std::string> Texts(std::size_t from, std::size_t to) const {
        std::vector<std::string> out;
        for (std::size_t i = from; i < to && i < paragraphs.size(); ++i) {
            if (!paragraphs[i].text.empty()) {
                out.push_back(paragraphs[i].text);
            }
        }
        return out;
    }
    std::size_t NextWith(std::string_view part, std::size_t from) const {
        for (std::size_t i = from; i < paragraphs.size(); ++i) {
            if (Has(paragraphs[i].xml, part)) {
                return i;
            }
        }
        return paragraphs.size();
    }
    // The tree lines of a section: from its heading to the end of its one-column part.
    std::vector<std::string> Tree(const std::string& heading) const {
        const std::size_t at = IndexOf(heading);
        return Texts(at + 1, NextWith("<w:sectPr", at));
    }
    // The details part of a section: after its one-column part up to the next section heading.
    std::vector<std::string> Details(const std::string& heading) const {
        const std::size_t from = NextWith("<w:sectPr", IndexOf(heading)) + 1;
        return Texts(from, NextWith("Heading1", from));
    }

    store::TOntology metadata;
    docx::TPackage package;
    std::string xml;
    std::vector<TPara> paragraphs;
    std::vector<std::pair<int, int>> progress;
};

TEST_F(WordExport, ATopConceptWithoutChildrenGivesFrontMatterAndOneSection) {
    metadata.SetTitle(Utf8ToCp932("果物オントロジー"));
    metadata.SetTarget(Utf8ToCp932("果物"));
    metadata.SetCreator(Utf8ToCp932("山田"));
    metadata.SetDescription(Utf8ToCp932("果物の分類"));
    metadata.SetCommunity(Utf8ToCp932("八百屋"));
    Export();

    const std::vector<std::pair<std::size_t, std::string>> front = {
        {4, "果物オントロジー"}, {6, "Velmora ver 1.40."}, {8, "2024/05/06"}};
    for (const auto& [index, text] : front) {
        ASSERT_LT(index, paragraphs.size());
        EXPECT_EQ(paragraphs[index].text, text) << index;
    }
    const std::string& title = paragraphs[4].xml;
    EXPECT_TRUE(Has(title, "<w:b/>") && Has(title, "<w:sz w:val=\"33\"/>") &&
                Has(title, "ＭＳ ゴシック"))
        << title;
    EXPECT_TRUE(Has(paragraphs[6].xml, "<w:jc w:val=\"right\"/>"));
    EXPECT_TRUE(Has(paragraphs[8].xml, "<w:jc w:val=\"right\"/>"));

    // The framed metadata block: labels in the head font, the two long values indented in
    // paragraphs of their own.
    const std::size_t box = IndexOf("対象：　果物");
    const std::vector<std::string> boxTexts = {"対象：　果物",
                                               "作成者：　山田",
                                               "このオントロジーの説明：　",
                                               "果物の分類",
                                               "このオントロジーを共有するコミュニティ：　",
                                               "八百屋"};
    for (std::size_t i = 0; i < boxTexts.size(); ++i) {
        const TPara& para = paragraphs[box + i];
        EXPECT_EQ(para.text, boxTexts[i]);
        EXPECT_TRUE(Has(para.xml, "<w:pBdr>")) << para.xml;
        EXPECT_EQ(Has(para.xml, "w:firstLine=\"200\""), i == 3 || i == 5) << para.xml;
    }
    EXPECT_FALSE(Has(paragraphs[box + boxTexts.size()].xml, "<w:pBdr>"));
    EXPECT_TRUE(Has(paragraphs[box].xml, "ＭＳ ゴシック"));

    // The contents page, then the top concept's section: only its own line and its details.
    const std::size_t contents = IndexOf("目次");
    EXPECT_TRUE(Has(paragraphs[contents + 4].xml, " TOC "));
    EXPECT_EQ(paragraphs[contents + 4].text, docx::kTocPlaceholder);
    EXPECT_EQ(Texts(contents + 5, paragraphs.size()),
              (std::vector<std::string>{"(top)", "　 　　 top", "top", "上位概念：　（なし）"}));
    // The section heading takes its look from the heading style: no run formatting of its own.
    const TPara& heading = paragraphs[IndexOf("(top)")];
    EXPECT_TRUE(Has(heading.xml, "<w:pStyle w:val=\"Heading1\"/>")) << heading.xml;
    EXPECT_FALSE(Has(heading.xml, "<w:rFonts")) << heading.xml;

    EXPECT_EQ(Values(xml, "<w:sectPr>", "<w:type w:val=\"", "</w:sectPr>"),
              (std::vector<std::string>{"nextPage", "nextPage", "nextPage", "continuous"}));
    EXPECT_EQ(Values(xml, "<w:cols", "w:num=\"", ">"), (std::vector<std::string>{"", "", "", "2"}));

    // Header with the title on every page, page numbers in the footer.
    std::string header;
    std::string footer;
    for (const docx::TPart& part : package.Parts()) {
        if (part.name.starts_with("word/header")) {
            header += part.data.ToString();
        } else if (part.name.starts_with("word/footer")) {
            footer += part.data.ToString();
        }
    }
    EXPECT_TRUE(Has(header, "果物オントロジー"));
    EXPECT_TRUE(Has(footer, "PAGE"));
    EXPECT_EQ(progress, (std::vector<std::pair<int, int>>{{1, 1}}));
}

// top: A (a1 with its own child x, a2..a5), B (b1..b4), E, C (c1..c5, the last kid).
class WordExportTree : public WordExport {
protected:
    void SetUp() override {
        a = AddC("A", top);
        b = AddC("B", top);
        e = AddC("E", top);
        c = AddC("C", top);
        for (int i = 1; i <= 5; ++i) {
            const std::string n = std::to_string(i);
            kids.push_back(AddC("a" + n, a));
            if (i < 5) {
                AddC("b" + n, b);
            }
            AddC("c" + n, c);
        }
        x = AddC("x", kids[0]);
        Export();
    }
    std::int32_t a = 0, b = 0, c = 0, e = 0, x = 0;
    std::vector<std::int32_t> kids;
};

TEST_F(WordExportTree, KidLinesShowThreeGrandchildrenOrFourUnderTheLastKid) {
    const std::string child = "　  　　　";
    const std::string bar = child + "┃ 　";
    const std::string blank = child + "　 　";
    EXPECT_EQ(Tree("(top)"),
              (std::vector<std::string>{
                  "　 　　 top", child + "┣ A (p.?)", bar + "┣ a1", bar + "┣ a2", bar + "┣ a3",
                  bar + "┗ （ほか）", child + "┣ B (p.?)", bar + "┣ b1", bar + "┣ b2", bar + "┣ b3",
                  bar + "┗ b4", child + "┣ E", child + "┗ C (p.?)", blank + "┣ c1", blank + "┣ c2",
                  blank + "┣ c3", blank + "┣ c4", blank + "┗ （ほか）"}));
    EXPECT_EQ(Tree("(→A→a1)"), (std::vector<std::string>{"　A (p.?)", "　 　┗ a1", child + "┗ x"}));

    // Names in the head font; the page reference in the body font.
    const TPara& line = paragraphs[IndexOf(child + "┣ A (p.?)")];
    const std::size_t name = line.xml.find("┣ A");
    EXPECT_LT(line.xml.find("<w:b/>"), name);
    EXPECT_LT(line.xml.find("ＭＳ ゴシック"), name);
    EXPECT_LT(name, line.xml.find("ＭＳ 明朝"));
    EXPECT_LT(line.xml.find("ＭＳ 明朝"), line.xml.find("(p."));
    EXPECT_TRUE(Has(line.xml, "PAGEREF BM" + std::to_string(a) + " "));
    EXPECT_TRUE(Has(line.xml, "w:lineRule=\"atLeast\"")) << line.xml;
}

TEST_F(WordExportTree, SectionsComeDepthFirstAndEveryPageReferenceHasItsBookmark) {
    std::vector<std::string> headings;
    for (const TPara& para : paragraphs) {
        if (Has(para.xml, "Heading1")) {
            headings.push_back(para.text);
        }
    }
    EXPECT_EQ(headings, (std::vector<std::string>{"(top)", "(→A)", "(→A→a1)", "(→B)", "(→C)"}));
    EXPECT_EQ(progress.back(), std::make_pair(5, 5));

    const std::vector<std::string> names = Values(xml, "<w:bookmarkStart", "w:name=\"", ">");
    const std::set<std::string> unique(names.begin(), names.end());
    EXPECT_EQ(unique.size(), names.size());
    const int concepts = store.DtStOriginalConcepts.RecordCount();
    EXPECT_EQ(static_cast<int>(names.size()), concepts);
    const std::vector<std::string> targets = Values(xml, "PAGEREF ", "PAGEREF ", "<", ' ');
    EXPECT_FALSE(targets.empty());
    for (const std::string& target : targets) {
        EXPECT_TRUE(unique.contains(target)) << target;
    }

    // A section's concept is found at its heading, any other at its details block.
    const std::map<std::int32_t, std::string> places = {
        {top, "(top)"}, {a, "(→A)"}, {kids[0], "(→A→a1)"}, {kids[1], "a2"}, {x, "x"}, {e, "E"}};
    for (const auto& [no, text] : places) {
        const std::size_t at = NextWith("w:name=\"BM" + std::to_string(no) + "\"", 0);
        ASSERT_LT(at, paragraphs.size()) << no;
        EXPECT_EQ(paragraphs[at].text, text) << no;
    }
}

struct TLabelCase {
    std::string linkTitle;
    std::string parents;
    std::string children;
};

class WordExportDetails : public WordExport, public ::testing::WithParamInterface<TLabelCase> {};

// top: P (description, comment, two labels, a part-of relation to R) with Q and an image of
// R; R also under top.
TEST_P(WordExportDetails, DetailsListTextsLabelsHierarchyAndRelations) {
    const TLabelCase& labels = GetParam();
    SetLinkTitle(1, labels.linkTitle);
    SetLinkTitle(2, "part-of");
    const std::int32_t p = AddC("P", top);
    AddC("Q", p);
    const std::int32_t r = AddC("R", top);
    SetConceptText(p, "DESCRIPTION", "説明");
    SetConceptText(p, "COMMENT", "注");
    store.AddTermToConcept(p, Utf8ToCp932("ラベル1"));
    store.AddTermToConcept(p, Utf8ToCp932("ラベル2"));
    Image(p, r, 1);
    Image(p, r, 2);
    Image(r, p, 2);
    Export();

    EXPECT_EQ(Details("(→P)"), (std::vector<std::string>{
                                   "P",
                                   "解説：　説明",
                                   "コメント：　注",
                                   "言語ラベル：　\"ラベル1\", \"ラベル2\"",
                                   labels.parents + "[top]",
                                   labels.children + "[Q], [R]",
                                   "他の概念との関係：　",
                                   "[R]→(part-of)→この概念",
                                   "この概念→(part-of)→[R]",
                                   "Q",
                                   labels.parents + "[P]",
                                   "R",
                                   labels.parents + "[top], [P]",
                                   "他の概念との関係：　",
                                   "[P]→(part-of)→この概念",
                                   "この概念→(part-of)→[P]",
                               }));
    EXPECT_EQ(Details("(top)").at(1), labels.parents + "（なし）");
    // R is described under top and again as P's image: its bookmark stays at the later one.
    EXPECT_GT(NextWith("w:name=\"BM" + std::to_string(r) + "\"", 0), IndexOf("(→P)"));

    // Framed bold titles; the block's text two points smaller; the relation lines indented.
    const TPara& name = paragraphs[IndexOf("P", IndexOf("(→P)") + 1)];
    EXPECT_TRUE(Has(name.xml, "<w:pBdr>") && Has(name.xml, "<w:b/>") &&
                Has(name.xml, "ＭＳ ゴシック"));
    EXPECT_TRUE(Has(paragraphs[IndexOf("解説：　説明")].xml, "<w:sz w:val=\"17\"/>"));
    // Each relation line is a paragraph of its own, indented.
    for (const char* line : {"[R]→(part-of)→この概念", "この概念→(part-of)→[R]"}) {
        EXPECT_TRUE(Has(paragraphs[IndexOf(line)].xml, "w:firstLine=\"200\"")) << line;
    }
    // The title, the spacing lines and each label of an own-paragraph value keep with what
    // follows; the block's later lines do not.
    const std::size_t title = IndexOf("P", IndexOf("(→P)") + 1);
    for (std::size_t i = title; i < title + 3; ++i) {
        EXPECT_TRUE(Has(paragraphs[i].xml, "<w:keepNext/>")) << i << paragraphs[i].xml;
    }
    EXPECT_FALSE(Has(paragraphs[IndexOf("解説：　説明")].xml, "<w:keepNext/>"));
    EXPECT_TRUE(Has(paragraphs[IndexOf("他の概念との関係：　", title)].xml, "<w:keepNext/>"));
}

INSTANTIATE_TEST_SUITE_P(LinkTitles, WordExportDetails,
                         ::testing::Values(TLabelCase{"subconcept", "上位概念：　", "下位概念：　"},
                                           TLabelCase{"is-a", "上位の階層（この概念←is-a←）：　",
                                                      "下位の階層（この概念→is-a→）：　"}),
                         [](const ::testing::TestParamInfo<TLabelCase>& info) {
                             std::string name = info.param.linkTitle;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

TEST_F(WordExport, ExportWordFileWritesTheDocument) {
    AddC("A", top);
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() /
        ("velmora_word_export_" +
         std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + ".docx");
    std::vector<std::pair<int, int>> calls;
    ExportWordFile(store, metadata, path.string(),
                   [&](int done, int total) { calls.emplace_back(done, total); });
    std::ifstream in(path, std::ios::binary);
    std::string magic(2, '\0');
    in.read(magic.data(), 2);
    EXPECT_EQ(magic, "PK");
    EXPECT_EQ(calls, (std::vector<std::pair<int, int>>{{1, 1}}));
    std::filesystem::remove(path);
}

}  // namespace
}  // namespace velmora::exchange
