#include "docx_document.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace velmora::exchange::docx {
namespace {

// A strict reader for the XML the builder writes: balanced tags, quoted attributes, known
// entities only. Whatever it accepts is a tree the tests can walk.
struct TNode {
    std::string name;
    std::map<std::string, std::string> attributes;
    std::vector<TNode> children;
    std::string text;

    std::string Attribute(const std::string& key) const {
        const auto it = attributes.find(key);
        return it == attributes.end() ? std::string() : it->second;
    }
    const TNode* Child(const std::string& childName) const {
        for (const TNode& child : children) {
            if (child.name == childName) {
                return &child;
            }
        }
        return nullptr;
    }
    // Every node below this one, in document order.
    void Walk(const std::function<void(const TNode&)>& visit) const {
        for (const TNode& child : children) {
            visit(child);
            child.Walk(visit);
        }
    }
};

class TXmlReader {
public:
    explicit TXmlReader(std::string_view xml) : m_xml(xml) {}

    TNode Document() {
        SkipSpace();
        if (m_xml.substr(m_at, 5) == "<?xml") {
            const std::size_t end = m_xml.find("?>", m_at);
            Require(end != std::string_view::npos, "unterminated declaration");
            m_at = end + 2;
        }
        SkipSpace();
        TNode root = Element();
        SkipSpace();
        Require(m_at == m_xml.size(), "content after the root element");
        return root;
    }

private:
    void Require(bool condition, const std::string& what) const {
        if (!condition) {
            throw std::runtime_error(what + " at " + std::to_string(m_at));
        }
    }
    void SkipSpace() {
        while (m_at < m_xml.size() &&
               std::string_view(" \t\r\n").find(m_xml[m_at]) != std::string_view::npos) {
            ++m_at;
        }
    }
    std::string Name() {
        const std::size_t start = m_at;
        while (m_at < m_xml.size() &&
               std::string_view(" \t\r\n/>=\"'<").find(m_xml[m_at]) == std::string_view::npos) {
            ++m_at;
        }
        Require(m_at > start, "missing name");
        return std::string(m_xml.substr(start, m_at - start));
    }
    std::string Decode(std::string_view raw) const {
        std::string out;
        for (std::size_t i = 0; i < raw.size(); ++i) {
            Require(raw[i] != '<', "'<' in text");
            const auto byte = static_cast<unsigned char>(raw[i]);
            Require(byte >= 0x20 || raw[i] == '\t' || raw[i] == '\n' || raw[i] == '\r',
                    "control character");
            if (raw[i] != '&') {
                out += raw[i];
                continue;
            }
            const std::size_t end = raw.find(';', i);
            Require(end != std::string_view::npos, "bare '&'");
            const std::string_view entity = raw.substr(i + 1, end - i - 1);
            static const std::map<std::string_view, char> kNamed = {
                {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
            const auto named = kNamed.find(entity);
            Require(named != kNamed.end(), "unknown entity " + std::string(entity));
            out += named->second;
            i = end;
        }
        return out;
    }
    TNode Element() {
        Require(m_at < m_xml.size() && m_xml[m_at] == '<', "expected '<'");
        ++m_at;
        TNode node;
        node.name = Name();
        for (;;) {
            SkipSpace();
            Require(m_at < m_xml.size(), "unterminated tag");
            if (m_xml.substr(m_at, 2) == "/>") {
                m_at += 2;
                return node;
            }
            if (m_xml[m_at] == '>') {
                ++m_at;
                break;
            }
            const std::string key = Name();
            Require(m_at < m_xml.size() && m_xml[m_at] == '=', "attribute without '='");
            ++m_at;
            Require(m_at < m_xml.size() && (m_xml[m_at] == '"' || m_xml[m_at] == '\''),
                    "unquoted attribute " + key);
            const char quote = m_xml[m_at++];
            const std::size_t end = m_xml.find(quote, m_at);
            Require(end != std::string_view::npos, "unterminated attribute");
            Require(node.attributes.count(key) == 0, "attribute twice: " + key);
            node.attributes[key] = Decode(m_xml.substr(m_at, end - m_at));
            m_at = end + 1;
        }
        for (;;) {
            Require(m_at < m_xml.size(), "unclosed element " + node.name);
            if (m_xml.substr(m_at, 2) == "</") {
                m_at += 2;
                Require(Name() == node.name, "mismatched end of " + node.name);
                SkipSpace();
                Require(m_at < m_xml.size() && m_xml[m_at] == '>', "bad end tag");
                ++m_at;
                return node;
            }
            if (m_xml[m_at] == '<') {
                node.children.push_back(Element());
                continue;
            }
            const std::size_t end = std::min(m_xml.find('<', m_at), m_xml.size());
            node.text += Decode(m_xml.substr(m_at, end - m_at));
            m_at = end;
        }
    }

    std::string_view m_xml;
    std::size_t m_at = 0;
};

TNode Parse(std::string_view xml) {
    return TXmlReader(xml).Document();
}

std::string TextOf(const TNode& paragraph) {
    std::string text;
    paragraph.Walk([&](const TNode& node) {
        if (node.name == "w:t") {
            text += node.text;
        } else if (node.name == "w:tab") {
            text += '\t';
        } else if (node.name == "w:br") {
            text += '\n';
        }
    });
    return text;
}

std::vector<const TNode*> Paragraphs(const TNode& root) {
    std::vector<const TNode*> paragraphs;
    root.Walk([&](const TNode& node) {
        if (node.name == "w:p") {
            paragraphs.push_back(&node);
        }
    });
    return paragraphs;
}

// The element orders the schema prescribes, for the elements the builder writes into.
const std::map<std::string, std::vector<std::string>>& SchemaOrders() {
    static const std::map<std::string, std::vector<std::string>> kOrders = {
        {"w:pPr",
         {"w:pStyle",
          "w:keepNext",
          "w:keepLines",
          "w:pageBreakBefore",
          "w:framePr",
          "w:widowControl",
          "w:numPr",
          "w:suppressLineNumbers",
          "w:pBdr",
          "w:shd",
          "w:tabs",
          "w:suppressAutoHyphens",
          "w:kinsoku",
          "w:wordWrap",
          "w:overflowPunct",
          "w:topLinePunct",
          "w:autoSpaceDE",
          "w:autoSpaceDN",
          "w:bidi",
          "w:adjustRightInd",
          "w:snapToGrid",
          "w:spacing",
          "w:ind",
          "w:contextualSpacing",
          "w:mirrorIndents",
          "w:suppressOverlap",
          "w:jc",
          "w:textDirection",
          "w:textAlignment",
          "w:textboxTightWrap",
          "w:outlineLvl",
          "w:divId",
          "w:cnfStyle",
          "w:rPr",
          "w:sectPr"}},
        {"w:rPr",
         {"w:rStyle", "w:rFonts", "w:b", "w:bCs", "w:i", "w:iCs", "w:color", "w:kern", "w:sz",
          "w:szCs", "w:u", "w:lang"}},
        {"w:sectPr",
         {"w:headerReference",
          "w:footerReference",
          "w:footnotePr",
          "w:endnotePr",
          "w:type",
          "w:pgSz",
          "w:pgMar",
          "w:paperSrc",
          "w:pgBorders",
          "w:lnNumType",
          "w:pgNumType",
          "w:cols",
          "w:formProt",
          "w:vAlign",
          "w:noEndnote",
          "w:titlePg",
          "w:textDirection",
          "w:bidi",
          "w:rtlGutter",
          "w:docGrid"}},
        {"w:pBdr", {"w:top", "w:left", "w:bottom", "w:right", "w:between", "w:bar"}},
    };
    return kOrders;
}

// Empty when every ordered element holds known children in schema order, and w:pPr and
// w:rPr come first in their paragraph and run.
std::string OrderFault(const TNode& root) {
    std::string fault;
    root.Walk([&](const TNode& node) {
        if ((node.name == "w:p" || node.name == "w:r") && !node.children.empty()) {
            for (std::size_t i = 1; i < node.children.size(); ++i) {
                if (node.children[i].name == "w:pPr" || node.children[i].name == "w:rPr") {
                    fault += node.children[i].name + " not first in " + node.name + "; ";
                }
            }
        }
        const auto order = SchemaOrders().find(node.name);
        if (order == SchemaOrders().end()) {
            return;
        }
        std::size_t last = 0;
        for (const TNode& child : node.children) {
            const auto at = std::find(order->second.begin(), order->second.end(), child.name);
            if (at == order->second.end()) {
                fault += child.name + " unknown in " + node.name + "; ";
                continue;
            }
            // Header and footer references form one group and may mix.
            const std::size_t rank = child.name == "w:footerReference"
                                         ? 0
                                         : static_cast<std::size_t>(at - order->second.begin());
            if (rank < last) {
                fault += child.name + " out of order in " + node.name + "; ";
            }
            last = std::max(last, rank);
        }
    });
    return fault;
}

struct TField {
    std::string instruction;
    std::string result;
    bool dirty = false;
};

// Fields in document order, read as a word processor reads them: begin, instruction,
// separate, result, end. A field that breaks this sequence is reported as a fault.
std::vector<TField> Fields(const TNode& root, std::string& fault) {
    enum class TState { kOutside, kInstruction, kResult };
    TState state = TState::kOutside;
    std::vector<TField> fields;
    root.Walk([&](const TNode& node) {
        if (node.name == "w:fldChar") {
            const std::string type = node.Attribute("w:fldCharType");
            if (type == "begin" && state == TState::kOutside) {
                fields.push_back({{}, {}, node.Attribute("w:dirty") == "true"});
                state = TState::kInstruction;
            } else if (type == "separate" && state == TState::kInstruction) {
                state = TState::kResult;
            } else if (type == "end" && state == TState::kResult) {
                state = TState::kOutside;
            } else {
                fault += "unexpected " + type + "; ";
            }
        } else if (node.name == "w:instrText") {
            if (state != TState::kInstruction) {
                fault += "instrText outside a field code; ";
            } else {
                fields.back().instruction += node.text;
            }
        } else if (node.name == "w:t" && state == TState::kResult) {
            fields.back().result += node.text;
        } else if (node.name == "w:t" && state == TState::kInstruction) {
            fault += "text inside a field code; ";
        }
    });
    if (state != TState::kOutside) {
        fault += "unterminated field; ";
    }
    return fields;
}

std::string Cp932(const char* bytes) {
    return bytes;
}
// "概念" and "表示" (whose trail byte 0x5C is a backslash) in code page 932.
const std::string kConcept = Cp932("\x8A\x54\x94\x4F");
const std::string kShow = Cp932("\x95\x5C\x8E\xA6");

const TRunProperties kHead{kHeadFont, true, 0};
const TRunProperties kBody{kBodyFont, false, 0};

// A document shaped like the export's: title page with header and footer, table of contents,
// and concept sections with a one-column tree and a two-column details part.
void WriteSample(TDocumentBuilder& builder, int concepts) {
    builder.SetHeaderText(kConcept + " & <Onto>");
    builder.SetPageNumberFooter();
    builder.SetCoreProperties({kConcept, kShow, 1700000000});
    for (int i = 0; i < 3; ++i) {
        builder.AddParagraph();
    }
    builder.AddText(kConcept, {kHeadFont, true, 33});
    std::vector<int> pending;
    builder.AddParagraph();
    builder.Paragraph().framed = true;
    builder.AddText("対象：　", kHead);
    builder.AddText(kShow, kBody);
    builder.AddParagraph();
    builder.Paragraph().framed = true;
    builder.Paragraph().firstLineIndentPt = 10;
    builder.AddText("  two spaces in front", kBody);
    builder.AddParagraph();
    builder.Paragraph().alignment = TAlignment::kRight;
    builder.AddUtf8Text("Velmora ver 1.40.");
    builder.AddSection({});
    builder.AddUtf8Text("目次", kHead);
    builder.AddParagraph();
    builder.AddTableOfContents();
    for (int i = 1; i <= concepts; ++i) {
        builder.AddSection({});
        builder.Paragraph().headingLevel = 1;
        const int id = builder.StartBookmark("BM" + std::to_string(i));
        builder.AddText("(→" + kConcept + std::to_string(i) + ")", kBody);
        builder.EndBookmark(id);
        builder.AddParagraph();
        builder.Paragraph().lineAtLeastPt = 12;
        builder.AddText("　 　┗ " + kConcept, kHead);
        builder.AddText("(p.", kBody);
        builder.AddPageReference("BM" + std::to_string(i == 1 ? 1 : i - 1), kBody);
        builder.AddText(")", kBody);
        builder.AddParagraph();
        builder.AddSection({TSectionStart::kContinuous, 2});
        // A details bookmark starts at the title and ends only after the block.
        pending.push_back(builder.StartBookmark("BX" + std::to_string(i)));
        builder.AddText(kShow, kHead);
        builder.Paragraph().framed = true;
        builder.AddParagraph();
        builder.Paragraph().mark.halfPoints = 17;
        builder.AddText("解説：　", kHead);
        builder.AddText("line 1\r\nline 2\ttab", kBody);
        builder.AddParagraph();
        builder.EndBookmark(pending.back());
        pending.pop_back();
    }
}

std::map<std::string, std::string> ReadZip(const std::string& path,
                                           std::vector<std::string>* order = nullptr) {
    int error = 0;
    zip_t* zip = zip_open(path.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &error);
    if (zip == nullptr) {
        ADD_FAILURE() << "cannot open " << path << " as a zip (" << error << ")";
        return {};
    }
    std::map<std::string, std::string> entries;
    for (zip_int64_t i = 0; i < zip_get_num_entries(zip, 0); ++i) {
        zip_stat_t stat;
        zip_stat_index(zip, static_cast<zip_uint64_t>(i), 0, &stat);
        std::string data(stat.size, '\0');
        zip_file_t* file = zip_fopen_index(zip, static_cast<zip_uint64_t>(i), 0);
        EXPECT_EQ(zip_fread(file, data.data(), stat.size), static_cast<zip_int64_t>(stat.size));
        zip_fclose(file);
        entries[stat.name] = std::move(data);
        if (order != nullptr) {
            order->push_back(stat.name);
        }
    }
    zip_close(zip);
    return entries;
}

class DocxDocument : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // ctest runs each test in a process of its own, several at once: one folder each.
        s_dir = new std::filesystem::path(std::filesystem::path(::testing::TempDir()) /
                                          ("velmora_docx_document_" + std::to_string(::getpid())));
        std::filesystem::remove_all(*s_dir);
        std::filesystem::create_directories(*s_dir);
        TDocumentBuilder builder;
        WriteSample(builder, 3);
        builder.Save(Path());
        s_order = new std::vector<std::string>;
        s_entries = new std::map<std::string, std::string>(ReadZip(Path(), s_order));
        s_document = new TNode(Parse(s_entries->at("word/document.xml")));
    }
    static void TearDownTestSuite() {
        std::filesystem::remove_all(*s_dir);
        delete s_document;
        delete s_entries;
        delete s_order;
        delete s_dir;
    }
    static std::string Path() { return (*s_dir / "sample.docx").string(); }
    const std::string& Entry(const std::string& name) const { return s_entries->at(name); }
    const TNode& Body() const { return s_document->children.at(0); }

    static std::filesystem::path* s_dir;
    static std::vector<std::string>* s_order;
    static std::map<std::string, std::string>* s_entries;
    static TNode* s_document;
};
std::filesystem::path* DocxDocument::s_dir = nullptr;
std::vector<std::string>* DocxDocument::s_order = nullptr;
std::map<std::string, std::string>* DocxDocument::s_entries = nullptr;
TNode* DocxDocument::s_document = nullptr;

TEST_F(DocxDocument, PackageHoldsEveryReferencedPartAndEveryPartIsWellFormed) {
    ASSERT_FALSE(s_order->empty());
    EXPECT_EQ(s_order->front(), "[Content_Types].xml");
    const std::string& types = Entry("[Content_Types].xml");
    for (const auto& [name, data] : *s_entries) {
        SCOPED_TRACE(name);
        EXPECT_NO_THROW(Parse(data));
        const bool relationships = name.ends_with(".rels");
        if (!relationships && name != "[Content_Types].xml") {
            EXPECT_NE(types.find("PartName=\"/" + name + "\""), std::string::npos);
        }
        if (!relationships) {
            continue;
        }
        // "word/_rels/document.xml.rels" speaks for "word/document.xml".
        const std::string folder = name.substr(0, name.find("_rels/"));
        for (const TNode& r : Parse(data).children) {
            const std::string target = r.Attribute("Target");
            const std::string part = target.starts_with("/") ? target.substr(1) : folder + target;
            EXPECT_EQ(s_entries->count(part), 1u) << target;
        }
    }
    for (const char* part :
         {"_rels/.rels", "word/_rels/document.xml.rels", "word/styles.xml", "word/settings.xml",
          "word/header1.xml", "word/footer1.xml", "docProps/core.xml"}) {
        EXPECT_EQ(s_entries->count(part), 1u) << part;
    }

    // An independent parser, stricter about what XML allows.
    const std::filesystem::path parts = *s_dir / "parts";
    std::string command =
        "python3 -c 'import sys, xml.dom.minidom\n"
        "for f in sys.argv[1:]: xml.dom.minidom.parse(f)'";
    int n = 0;
    for (const auto& [name, data] : *s_entries) {
        const std::filesystem::path file = parts / std::to_string(++n);
        std::filesystem::create_directories(parts);
        std::ofstream(file, std::ios::binary) << data;
        command += " " + file.string();
    }
    EXPECT_EQ(std::system(command.c_str()), 0);
}

TEST_F(DocxDocument, SettingsAskForFieldsToBeUpdatedOnOpen) {
    const TNode settings = Parse(Entry("word/settings.xml"));
    const TNode* update = settings.Child("w:updateFields");
    ASSERT_NE(update, nullptr);
    EXPECT_EQ(update->Attribute("w:val"), "true");
}

TEST_F(DocxDocument, ElementsFollowSchemaOrder) {
    for (const char* part :
         {"word/document.xml", "word/styles.xml", "word/header1.xml", "word/footer1.xml"}) {
        EXPECT_EQ(OrderFault(Parse(Entry(part))), "") << part;
    }
    // The last section's properties close the body; the others close their last paragraph.
    ASSERT_FALSE(Body().children.empty());
    EXPECT_EQ(Body().children.back().name, "w:sectPr");
    int breaks = 0;
    for (const TNode* p : Paragraphs(Body())) {
        const TNode* properties = p->Child("w:pPr");
        if (properties != nullptr && properties->Child("w:sectPr") != nullptr) {
            ++breaks;
            EXPECT_EQ(properties->children.back().name, "w:sectPr");
        }
    }
    EXPECT_EQ(breaks, 1 + 3 * 2);
}

TEST_F(DocxDocument, SectionsCarryTheirStartColumnsHeaderAndFooter) {
    std::vector<const TNode*> sections;
    for (const TNode* p : Paragraphs(Body())) {
        const TNode* properties = p->Child("w:pPr");
        if (properties != nullptr && properties->Child("w:sectPr") != nullptr) {
            sections.push_back(properties->Child("w:sectPr"));
        }
    }
    sections.push_back(&Body().children.back());
    ASSERT_EQ(sections.size(), 8u);
    const auto describe = [](const TNode& s) {
        const TNode* cols = s.Child("w:cols");
        std::string text = s.Child("w:type")->Attribute("w:val") + " " +
                           (cols->Attribute("w:num").empty() ? "1" : cols->Attribute("w:num"));
        for (const TNode& child : s.children) {
            if (child.name.ends_with("Reference")) {
                text += " " + child.name + "=" + child.Attribute("r:id");
            }
        }
        return text;
    };
    std::vector<std::string> got;
    for (const TNode* s : sections) {
        got.push_back(describe(*s));
    }
    // Only the first section names a header and footer; the others carry them over.
    const std::vector<std::string> expected = {
        "nextPage 1 w:headerReference=rId3 w:footerReference=rId4",
        "nextPage 1",
        "nextPage 1",
        "continuous 2",
        "nextPage 1",
        "continuous 2",
        "nextPage 1",
        "continuous 2"};
    EXPECT_EQ(got, expected);
    const std::string relationships = Entry("word/_rels/document.xml.rels");
    EXPECT_NE(relationships.find("Id=\"rId3\" Type=\"" + std::string(kHeaderRelationship) +
                                 "\" Target=\"header1.xml\""),
              std::string::npos);
    EXPECT_NE(relationships.find("Id=\"rId4\" Type=\"" + std::string(kFooterRelationship) +
                                 "\" Target=\"footer1.xml\""),
              std::string::npos);

    EXPECT_EQ(TextOf(Parse(Entry("word/header1.xml"))), "概念 & <Onto>");
    std::string fault;
    const std::vector<TField> footer = Fields(Parse(Entry("word/footer1.xml")), fault);
    EXPECT_EQ(fault, "");
    ASSERT_EQ(footer.size(), 1u);
    EXPECT_EQ(footer[0].instruction, " PAGE ");
    EXPECT_NE(Entry("docProps/core.xml").find("<dc:title>概念</dc:title>"), std::string::npos);
    EXPECT_NE(Entry("docProps/core.xml").find("2023-11-14T22:13:20Z"), std::string::npos);
}

TEST_F(DocxDocument, FieldsAreCompleteDirtyAndShowACachedResult) {
    std::string fault;
    const std::vector<TField> fields = Fields(Body(), fault);
    EXPECT_EQ(fault, "");
    ASSERT_EQ(fields.size(), 4u);
    EXPECT_EQ(fields[0].instruction, " TOC \\o \"1-1\" \\h \\z \\u ");
    EXPECT_EQ(fields[0].result, std::string(kTocPlaceholder));
    EXPECT_EQ(fields[1].instruction, " PAGEREF BM1 \\h ");
    EXPECT_EQ(fields[3].instruction, " PAGEREF BM2 \\h ");
    for (const TField& field : fields) {
        EXPECT_TRUE(field.dirty) << field.instruction;
        EXPECT_FALSE(field.result.empty()) << field.instruction;
    }
    // The table of contents lists level-1 headings: the style must carry that outline level.
    int headings = 0;
    for (const TNode* p : Paragraphs(Body())) {
        const TNode* properties = p->Child("w:pPr");
        const TNode* style = properties == nullptr ? nullptr : properties->Child("w:pStyle");
        headings += style != nullptr && style->Attribute("w:val") == "Heading1" ? 1 : 0;
    }
    EXPECT_EQ(headings, 3);
    bool levelOne = false;
    bool looksLikeAHeading = false;
    Parse(Entry("word/styles.xml")).Walk([&](const TNode& node) {
        if (node.name == "w:style" && node.Attribute("w:styleId") == "Heading1") {
            const TNode* p = node.Child("w:pPr");
            levelOne = p->Child("w:outlineLvl")->Attribute("w:val") == "0";
            // A report's heading: the head font, bold, larger than the text, space before.
            const TNode* r = node.Child("w:rPr");
            looksLikeAHeading =
                r != nullptr && r->Child("w:b") != nullptr &&
                r->Child("w:rFonts")->Attribute("w:eastAsia") == kHeadFont &&
                std::stoi(r->Child("w:sz")->Attribute("w:val")) > kDefaultHalfPoints &&
                std::stoi(p->Child("w:spacing")->Attribute("w:before")) > 0;
        }
    });
    EXPECT_TRUE(levelOne);
    EXPECT_TRUE(looksLikeAHeading);
}

TEST_F(DocxDocument, BookmarksPairByIdAndEveryPageReferenceFindsOne) {
    std::map<std::string, std::string> names;  // by id
    std::set<std::string> ended;
    std::string fault;
    Body().Walk([&](const TNode& node) {
        const std::string id = node.Attribute("w:id");
        if (node.name == "w:bookmarkStart") {
            if (names.count(id) != 0) {
                fault += "id " + id + " twice; ";
            }
            names[id] = node.Attribute("w:name");
        } else if (node.name == "w:bookmarkEnd") {
            if (names.count(id) == 0 || !ended.insert(id).second) {
                fault += "stray end " + id + "; ";
            }
        }
    });
    EXPECT_EQ(fault, "");
    EXPECT_EQ(names.size(), 6u);
    EXPECT_EQ(ended.size(), names.size());
    std::set<std::string> unique;
    for (const auto& [id, name] : names) {
        unique.insert(name);
    }
    EXPECT_EQ(unique.size(), names.size());
    for (const TField& field : Fields(Body(), fault)) {
        if (field.instruction.starts_with(" PAGEREF ")) {
            const std::string target =
                field.instruction.substr(9, field.instruction.find(' ', 9) - 9);
            EXPECT_EQ(unique.count(target), 1u) << target;
        }
    }
}

TEST_F(DocxDocument, RunsCarryFontsBoldAndSize) {
    const TNode* title = Paragraphs(Body()).at(3);
    EXPECT_EQ(TextOf(*title), "概念");
    const TNode* properties = title->Child("w:r")->Child("w:rPr");
    ASSERT_NE(properties, nullptr);
    const TNode* fonts = properties->Child("w:rFonts");
    ASSERT_NE(fonts, nullptr);
    for (const char* script : {"w:ascii", "w:hAnsi", "w:eastAsia"}) {
        EXPECT_EQ(fonts->Attribute(script), "ＭＳ ゴシック") << script;
    }
    EXPECT_NE(properties->Child("w:b"), nullptr);
    EXPECT_EQ(properties->Child("w:sz")->Attribute("w:val"), "33");
    EXPECT_EQ(properties->Child("w:szCs")->Attribute("w:val"), "33");
}

// One paragraph per case, built alone, so that each expectation shows its own fault.
TEST(DocxParagraph, PropertiesComeOutAsGiven) {
    using P = TParagraphProperties&;
    struct TCase {
        std::function<void(P)> set;
        std::string expected;  // children of w:pPr with the attributes that matter
    };
    const std::vector<TCase> cases = {
        {[](P) {}, ""},
        {[](P p) { p.headingLevel = 1; }, "w:pStyle(val=Heading1)"},
        {[](P p) { p.keepWithNext = true; }, "w:keepNext()"},
        {[](P p) { p.lineAtLeastPt = 12; }, "w:spacing(line=240,lineRule=atLeast)"},
        {[](P p) { p.firstLineIndentPt = 10; }, "w:ind(firstLine=200)"},
        {[](P p) { p.alignment = TAlignment::kRight; }, "w:jc(val=right)"},
        {[](P p) { p.alignment = TAlignment::kLeft; }, "w:jc(val=left)"},
        {[](P p) { p.alignment = TAlignment::kJustified; }, "w:jc(val=both)"},
        {[](P p) { p.mark.halfPoints = 17; }, "w:rPr()"},
        {[](P p) {
             p.headingLevel = 1;
             p.keepWithNext = true;
             p.framed = true;
             p.lineAtLeastPt = 12.5;
             p.firstLineIndentPt = 10;
             p.alignment = TAlignment::kRight;
             p.mark.halfPoints = 17;
         },
         "w:pStyle(val=Heading1) w:keepNext() w:pBdr() w:spacing(line=250,lineRule=atLeast) "
         "w:ind(firstLine=200) w:jc(val=right) w:rPr()"},
    };
    for (const TCase& c : cases) {
        TDocumentBuilder builder;
        c.set(builder.Paragraph());
        builder.AddUtf8Text("x");
        const TNode document = Parse(builder.Finish().Find("word/document.xml")->data.ToString());
        const TNode* properties = Paragraphs(document).at(0)->Child("w:pPr");
        std::string got;
        for (const TNode& child :
             properties == nullptr ? std::vector<TNode>{} : properties->children) {
            got += (got.empty() ? "" : " ") + child.name + "(";
            std::string attributes;
            for (const auto& [key, value] : child.attributes) {
                attributes += (attributes.empty() ? "" : ",") + key.substr(2) + "=" + value;
            }
            got += attributes + ")";
        }
        EXPECT_EQ(got, c.expected);
    }
}

TEST(DocxParagraph, FramedParagraphHasABoxOnAllFourSides) {
    TDocumentBuilder builder;
    builder.Paragraph().framed = true;
    const TNode document = Parse(builder.Finish().Find("word/document.xml")->data.ToString());
    const TNode* borders = Paragraphs(document).at(0)->Child("w:pPr")->Child("w:pBdr");
    ASSERT_NE(borders, nullptr);
    std::vector<std::string> sides;
    for (const TNode& side : borders->children) {
        sides.push_back(side.name);
        EXPECT_EQ(side.Attribute("w:val"), "single");
    }
    EXPECT_EQ(sides, (std::vector<std::string>{"w:top", "w:left", "w:bottom", "w:right"}));
}

TEST(DocxText, ComesOutAsUtf8EscapedWithItsSpacesAndBreaks) {
    struct TCase {
        std::string cp932;
        std::string utf8;  // the text a reader sees, tabs and breaks as \t and \n
        bool preserved;
    };
    const std::vector<TCase> cases = {
        {kConcept + kShow, "概念表示", false},
        {Cp932("\x81\x60"), "～", false},  // 0x8160 reads as the fullwidth tilde
        {"a & b <c> \"d\" 'e'", "a & b <c> \"d\" 'e'", false},
        {" lead", " lead", true},
        {"trail ", "trail ", true},
        {"in  side", "in  side", true},
        {std::string("bell\x07\x1B"
                     "end",
                     9),
         "bellend", false},
        {"one\r\ntwo\rthree\nfour\tfive", "one\ntwo\nthree\nfour\tfive", false},
        {Cp932("\x81"), "?", false},  // a lone lead byte
    };
    for (const TCase& c : cases) {
        TDocumentBuilder builder;
        builder.AddText(c.cp932);
        const std::string xml = builder.Finish().Find("word/document.xml")->data.ToString();
        const TNode document = Parse(xml);
        const TNode* paragraph = Paragraphs(document).at(0);
        EXPECT_EQ(TextOf(*paragraph), c.utf8) << c.utf8;
        bool preserved = false;
        paragraph->Walk([&](const TNode& node) {
            preserved |= node.name == "w:t" && node.Attribute("xml:space") == "preserve";
        });
        EXPECT_EQ(preserved, c.preserved) << c.utf8;
    }
}

TEST(DocxBuilder, RefusesMisuse) {
    const std::vector<std::pair<std::string, std::function<void(TDocumentBuilder&)>>> cases = {
        {"empty name", [](TDocumentBuilder& b) { b.StartBookmark(""); }},
        {"digit first", [](TDocumentBuilder& b) { b.StartBookmark("1BM"); }},
        {"hidden name", [](TDocumentBuilder& b) { b.StartBookmark("_Toc1"); }},
        {"space", [](TDocumentBuilder& b) { b.StartBookmark("BM 1"); }},
        {"markup", [](TDocumentBuilder& b) { b.StartBookmark("BM\"/><x"); }},
        {"41 characters", [](TDocumentBuilder& b) { b.StartBookmark(std::string(41, 'B')); }},
        {"named twice",
         [](TDocumentBuilder& b) {
             b.EndBookmark(b.StartBookmark("BM1"));
             b.StartBookmark("BM1");
         }},
        {"ended twice",
         [](TDocumentBuilder& b) {
             const int id = b.StartBookmark("BM1");
             b.EndBookmark(id);
             b.EndBookmark(id);
         }},
        {"unknown id", [](TDocumentBuilder& b) { b.EndBookmark(0); }},
        {"never ended",
         [](TDocumentBuilder& b) {
             b.StartBookmark("BM1");
             b.Finish();
         }},
        {"used after finish",
         [](TDocumentBuilder& b) {
             b.Finish();
             b.AddParagraph();
         }},
    };
    for (const auto& [what, misuse] : cases) {
        TDocumentBuilder builder;
        EXPECT_ANY_THROW(misuse(builder)) << what;
    }
    TDocumentBuilder builder;
    EXPECT_NO_THROW(builder.EndBookmark(builder.StartBookmark(std::string(40, 'B'))));
}

}  // namespace
}  // namespace velmora::exchange::docx
