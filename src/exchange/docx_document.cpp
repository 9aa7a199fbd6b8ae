#include "docx_document.h"

#include <cmath>
#include <stdexcept>

#include "code_page.h"

namespace velmora::exchange::docx {
namespace {

constexpr std::string_view kDocumentPart = "word/document.xml";
constexpr std::string_view kDeclaration =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n";
constexpr std::string_view kNamespaces =
    " xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\""
    " xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"";
constexpr std::size_t kMaxBookmarkName = 40;

std::string Twips(double points) {
    return std::to_string(static_cast<long>(std::lround(points * 20)));
}

bool NeedsPreserve(std::string_view text) {
    return !text.empty() &&
           (text.front() == ' ' || text.back() == ' ' || text.find("  ") != std::string_view::npos);
}

void AppendRunProperties(std::string& out, const TRunProperties& run) {
    if (run.font.empty() && !run.bold && run.halfPoints <= 0) {
        return;
    }
    out += "<w:rPr>";
    if (!run.font.empty()) {
        std::string font = Escaped(run.font);
        out += "<w:rFonts w:ascii=\"" + font + "\" w:hAnsi=\"" + font + "\" w:eastAsia=\"" + font +
               "\"/>";
    }
    if (run.bold) {
        out += "<w:b/>";
    }
    if (run.halfPoints > 0) {
        const std::string size = std::to_string(run.halfPoints);
        out += "<w:sz w:val=\"" + size + "\"/><w:szCs w:val=\"" + size + "\"/>";
    }
    out += "</w:rPr>";
}

void AppendTextElement(std::string& out, std::string_view utf8) {
    out += NeedsPreserve(utf8) ? "<w:t xml:space=\"preserve\">" : "<w:t>";
    AppendEscaped(out, utf8);
    out += "</w:t>";
}

// One run; tabs and line ends inside the text become their own run content elements.
void AppendRun(std::string& out, std::string_view utf8, const TRunProperties& run) {
    if (utf8.empty()) {
        return;
    }
    out += "<w:r>";
    AppendRunProperties(out, run);
    std::size_t start = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const char c = utf8[i];
        if (c != '\t' && c != '\r' && c != '\n') {
            continue;
        }
        if (i > start) {
            AppendTextElement(out, utf8.substr(start, i - start));
        }
        out += c == '\t' ? "<w:tab/>" : "<w:br/>";
        if (c == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n') {
            ++i;
        }
        start = i + 1;
    }
    if (start < utf8.size()) {
        AppendTextElement(out, utf8.substr(start));
    }
    out += "</w:r>";
}

// The field characters carry no run properties: a field's result takes its look from the
// first character of its instruction, and leaving them out keeps big documents smaller.
void AppendFieldChar(std::string& out, std::string_view type) {
    out += "<w:r>";
    out += "<w:fldChar w:fldCharType=\"";
    out += type;
    // Dirty on the field's start: Word recomputes the field when it opens the file.
    out += type == "begin" ? "\" w:dirty=\"true\"/></w:r>" : "\"/></w:r>";
}

void AppendField(std::string& out, std::string_view instruction, std::string_view cachedUtf8,
                 const TRunProperties& run) {
    AppendFieldChar(out, "begin");
    out += "<w:r>";
    AppendRunProperties(out, run);
    out += "<w:instrText xml:space=\"preserve\"> ";
    AppendEscaped(out, instruction);
    out += " </w:instrText></w:r>";
    AppendFieldChar(out, "separate");
    AppendRun(out, cachedUtf8, run);
    AppendFieldChar(out, "end");
}

std::string_view AlignmentValue(TAlignment alignment) {
    switch (alignment) {
        case TAlignment::kLeft:
            return "left";
        case TAlignment::kRight:
            return "right";
        case TAlignment::kCenter:
            return "center";
        case TAlignment::kJustified:
            return "both";
        case TAlignment::kDefault:
            break;
    }
    return {};
}

void AppendAlignment(std::string& out, TAlignment alignment) {
    const std::string_view value = AlignmentValue(alignment);
    if (!value.empty()) {
        out += "<w:jc w:val=\"";
        out += value;
        out += "\"/>";
    }
}

std::string StylesXml() {
    std::string xml(kDeclaration);
    const std::string body = Escaped(kBodyFont);
    const std::string size = std::to_string(kDefaultHalfPoints);
    xml += "<w:styles";
    xml += kNamespaces;
    xml += "><w:docDefaults><w:rPrDefault><w:rPr><w:rFonts w:ascii=\"" + body + "\" w:hAnsi=\"" +
           body + "\" w:eastAsia=\"" + body + "\"/><w:sz w:val=\"" + size + "\"/><w:szCs w:val=\"" +
           size +
           "\"/><w:lang w:val=\"en-US\" w:eastAsia=\"ja-JP\"/></w:rPr></w:rPrDefault>"
           "<w:pPrDefault/></w:docDefaults>";
    // Japanese documents justify by default and let the last line of a page stand alone.
    xml +=
        "<w:style w:type=\"paragraph\" w:default=\"1\" w:styleId=\"Normal\">"
        "<w:name w:val=\"Normal\"/><w:qFormat/>"
        "<w:pPr><w:widowControl w:val=\"0\"/><w:jc w:val=\"both\"/></w:pPr></w:style>"
        "<w:style w:type=\"character\" w:default=\"1\" w:styleId=\"DefaultParagraphFont\">"
        "<w:name w:val=\"Default Paragraph Font\"/><w:uiPriority w:val=\"1\"/>"
        "<w:semiHidden/><w:unhideWhenUsed/></w:style>";
    // Headings look like headings of a report: the head font, bold, larger the higher the
    // level, with space before them; they carry the outline level the table of contents
    // collects. The built-in names make word processors treat them as their own heading
    // styles.
    const std::string head = Escaped(kHeadFont);
    for (int level = 1; level <= 9; ++level) {
        const std::string n = std::to_string(level);
        const std::string halfPoints = std::to_string(std::max(kDefaultHalfPoints, 32 - 4 * level));
        xml += "<w:style w:type=\"paragraph\" w:styleId=\"Heading" + n +
               "\"><w:name w:val=\"heading " + n +
               "\"/><w:basedOn w:val=\"Normal\"/><w:next w:val=\"Normal\"/><w:qFormat/>"
               "<w:pPr><w:keepNext/><w:spacing w:before=\"240\" w:after=\"120\"/>"
               "<w:outlineLvl w:val=\"" +
               std::to_string(level - 1) + "\"/></w:pPr><w:rPr><w:rFonts w:ascii=\"" + head +
               "\" w:hAnsi=\"" + head + "\" w:eastAsia=\"" + head + "\"/><w:b/><w:sz w:val=\"" +
               halfPoints + "\"/><w:szCs w:val=\"" + halfPoints + "\"/></w:rPr></w:style>";
    }
    xml +=
        "<w:style w:type=\"paragraph\" w:styleId=\"TOC1\"><w:name w:val=\"toc 1\"/>"
        "<w:basedOn w:val=\"Normal\"/><w:next w:val=\"Normal\"/></w:style></w:styles>";
    return xml;
}

std::string SettingsXml() {
    std::string xml(kDeclaration);
    xml += "<w:settings";
    xml += kNamespaces;
    xml +=
        "><w:zoom w:percent=\"100\"/><w:defaultTabStop w:val=\"840\"/>"
        "<w:characterSpacingControl w:val=\"doNotCompress\"/>"
        "<w:updateFields w:val=\"true\"/>"
        // A justified line ending in a line break is not spread across the column.
        "<w:compat><w:doNotExpandShiftReturn/><w:compatSetting w:name=\"compatibilityMode\""
        " w:uri=\"http://schemas.microsoft.com/office/word\" w:val=\"15\"/></w:compat>"
        "</w:settings>";
    return xml;
}

std::string W3cdtf(std::time_t time) {
    std::tm utc{};
    gmtime_r(&time, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

std::string CoreXml(const TCoreProperties& core) {
    std::string xml(kDeclaration);
    xml +=
        "<cp:coreProperties"
        " xmlns:cp=\"http://schemas.openxmlformats.org/package/2006/metadata/core-properties\""
        " xmlns:dc=\"http://purl.org/dc/elements/1.1/\""
        " xmlns:dcterms=\"http://purl.org/dc/terms/\""
        " xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">";
    xml += "<dc:title>" + Escaped(store::Cp932ToUtf8(core.title)) + "</dc:title>";
    xml += "<dc:creator>" + Escaped(store::Cp932ToUtf8(core.creator)) + "</dc:creator>";
    if (core.created != 0) {
        xml += "<dcterms:created xsi:type=\"dcterms:W3CDTF\">" + W3cdtf(core.created) +
               "</dcterms:created>";
    }
    xml += "</cp:coreProperties>";
    return xml;
}

bool IsBookmarkName(std::string_view name) {
    if (name.empty() || name.size() > kMaxBookmarkName) {
        return false;
    }
    const auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    if (!letter(name.front())) {
        return false;  // "_" starts the hidden ones word processors make for themselves
    }
    for (const char c : name) {
        if (!letter(c) && !(c >= '0' && c <= '9') && c != '_') {
            return false;
        }
    }
    return true;
}

}  // namespace

TDocumentBuilder::TDocumentBuilder(const TSectionProperties& firstSection)
    : m_section(firstSection) {
    m_body = &m_package.AddPart(std::string(kDocumentPart), std::string(kDocumentType));
    m_package.AddRelationship("", kOfficeDocumentRelationship, kDocumentPart);
    m_package.AddPart("word/styles.xml", std::string(kStylesType)).Append(StylesXml());
    m_package.AddRelationship(kDocumentPart, kStylesRelationship, "word/styles.xml");
    m_package.AddPart("word/settings.xml", std::string(kSettingsType)).Append(SettingsXml());
    m_package.AddRelationship(kDocumentPart, kSettingsRelationship, "word/settings.xml");

    m_body->Append(kDeclaration);
    m_body->Append("<w:document");
    m_body->Append(kNamespaces);
    m_body->Append("><w:body>");
}

void TDocumentBuilder::RequireOpen() const {
    if (m_finished) {
        throw std::logic_error("docx document used after Finish");
    }
}

void TDocumentBuilder::AddParagraph(const TParagraphProperties& properties) {
    RequireOpen();
    CloseParagraph(nullptr);
    m_paragraph = properties;
}

void TDocumentBuilder::CloseParagraph(const TSectionProperties* endsSection) {
    const TParagraphProperties& p = m_paragraph;
    std::string xml = "<w:p>";
    std::string properties;
    if (p.headingLevel >= 1 && p.headingLevel <= 9) {
        properties += "<w:pStyle w:val=\"Heading" + std::to_string(p.headingLevel) + "\"/>";
    }
    if (p.keepWithNext) {
        properties += "<w:keepNext/>";
    }
    if (p.framed) {
        properties += "<w:pBdr>";
        for (const char* side : {"top", "left", "bottom", "right"}) {
            properties += std::string("<w:") + side +
                          " w:val=\"single\" w:sz=\"4\" w:space=\"1\" w:color=\"auto\"/>";
        }
        properties += "</w:pBdr>";
    }
    if (p.lineAtLeastPt > 0) {
        properties +=
            "<w:spacing w:line=\"" + Twips(p.lineAtLeastPt) + "\" w:lineRule=\"atLeast\"/>";
    }
    if (p.firstLineIndentPt != 0) {
        properties += p.firstLineIndentPt > 0
                          ? "<w:ind w:firstLine=\"" + Twips(p.firstLineIndentPt) + "\"/>"
                          : "<w:ind w:hanging=\"" + Twips(-p.firstLineIndentPt) + "\"/>";
    }
    AppendAlignment(properties, p.alignment);
    AppendRunProperties(properties, p.mark);
    if (endsSection != nullptr) {
        AppendSectionProperties(properties, *endsSection);
    }
    if (!properties.empty()) {
        xml += "<w:pPr>" + properties + "</w:pPr>";
    }
    m_body->Append(xml);
    m_body->Append(m_content);
    m_body->Append("</w:p>");
    m_content.clear();
}

void TDocumentBuilder::AppendSectionProperties(std::string& out,
                                               const TSectionProperties& section) {
    out += "<w:sectPr>";
    if (!m_headerId.empty()) {
        out += "<w:headerReference w:type=\"default\" r:id=\"" + m_headerId + "\"/>";
    }
    if (!m_footerId.empty()) {
        out += "<w:footerReference w:type=\"default\" r:id=\"" + m_footerId + "\"/>";
    }
    out += section.start == TSectionStart::kContinuous ? "<w:type w:val=\"continuous\"/>"
                                                       : "<w:type w:val=\"nextPage\"/>";
    // A4 portrait with the margins Japanese word processors start from; no character grid.
    out +=
        "<w:pgSz w:w=\"11906\" w:h=\"16838\"/>"
        "<w:pgMar w:top=\"1985\" w:right=\"1701\" w:bottom=\"1701\" w:left=\"1701\""
        " w:header=\"851\" w:footer=\"992\" w:gutter=\"0\"/>";
    out += section.columns > 1
               ? "<w:cols w:num=\"" + std::to_string(section.columns) + "\" w:space=\"425\"/>"
               : std::string("<w:cols w:space=\"425\"/>");
    out += "<w:docGrid w:linePitch=\"360\"/></w:sectPr>";
}

void TDocumentBuilder::AddText(std::string_view cp932, const TRunProperties& run) {
    AddUtf8Text(store::Cp932ToUtf8(cp932), run);
}

void TDocumentBuilder::AddUtf8Text(std::string_view utf8, const TRunProperties& run) {
    RequireOpen();
    AppendRun(m_content, utf8, run);
}

void TDocumentBuilder::AddPageBreak() {
    RequireOpen();
    m_content += "<w:r><w:br w:type=\"page\"/></w:r>";
}

int TDocumentBuilder::StartBookmark(std::string_view name) {
    RequireOpen();
    if (!IsBookmarkName(name)) {
        throw std::invalid_argument("not a bookmark name: " + std::string(name));
    }
    if (!m_bookmarkNames.emplace(name).second) {
        throw std::logic_error("bookmark named twice: " + std::string(name));
    }
    const int id = static_cast<int>(m_bookmarkOpen.size());
    m_bookmarkOpen.push_back(true);
    ++m_openBookmarks;
    m_content += "<w:bookmarkStart w:id=\"" + std::to_string(id) + "\" w:name=\"";
    m_content += name;
    m_content += "\"/>";
    return id;
}

void TDocumentBuilder::EndBookmark(int id) {
    RequireOpen();
    if (id < 0 || static_cast<std::size_t>(id) >= m_bookmarkOpen.size() ||
        !m_bookmarkOpen[static_cast<std::size_t>(id)]) {
        throw std::logic_error("no open bookmark with id " + std::to_string(id));
    }
    m_bookmarkOpen[static_cast<std::size_t>(id)] = false;
    --m_openBookmarks;
    m_content += "<w:bookmarkEnd w:id=\"" + std::to_string(id) + "\"/>";
}

void TDocumentBuilder::AddField(std::string_view instruction, std::string_view cachedUtf8,
                                const TRunProperties& run) {
    RequireOpen();
    AppendField(m_content, instruction, cachedUtf8, run);
}

void TDocumentBuilder::AddPageReference(std::string_view bookmark, const TRunProperties& run,
                                        std::string_view cachedUtf8) {
    AddField("PAGEREF " + std::string(bookmark) + " \\h", cachedUtf8, run);
}

void TDocumentBuilder::AddTableOfContents(std::string_view cachedUtf8) {
    RequireOpen();
    CloseParagraph(nullptr);
    // The field starts in the placeholder entry and ends in the paragraph after the entries,
    // the shape word processors write and rebuild.
    std::string xml = "<w:p><w:pPr><w:pStyle w:val=\"TOC1\"/></w:pPr>";
    AppendFieldChar(xml, "begin");
    xml +=
        "<w:r><w:instrText xml:space=\"preserve\"> TOC \\o &quot;1-1&quot; \\h \\z \\u "
        "</w:instrText></w:r>";
    AppendFieldChar(xml, "separate");
    AppendRun(xml, cachedUtf8.empty() ? kTocPlaceholder : cachedUtf8, {});
    xml += "</w:p>";
    m_body->Append(xml);
    m_paragraph = {};
    AppendFieldChar(m_content, "end");
}

void TDocumentBuilder::AddSection(const TSectionProperties& next) {
    RequireOpen();
    CloseParagraph(&m_section);
    m_paragraph = {};
    m_section = next;
    m_headerId.clear();
    m_footerId.clear();
}

std::string TDocumentBuilder::AddHeaderFooterPart(bool header, std::string_view paragraphXml) {
    const std::string kind = header ? "header" : "footer";
    const std::string name =
        "word/" + kind + std::to_string(header ? ++m_headers : ++m_footers) + ".xml";
    TXmlBuffer& part = m_package.AddPart(name, std::string(header ? kHeaderType : kFooterType));
    const std::string root = header ? "w:hdr" : "w:ftr";
    part.Append(kDeclaration);
    part.Append("<" + root);
    part.Append(kNamespaces);
    part.Append(">");
    part.Append(paragraphXml);
    part.Append("</" + root + ">");
    return m_package.AddRelationship(kDocumentPart,
                                     header ? kHeaderRelationship : kFooterRelationship, name);
}

void TDocumentBuilder::SetHeaderText(std::string_view cp932, const TRunProperties& run) {
    RequireOpen();
    std::string xml = "<w:p>";
    AppendRun(xml, store::Cp932ToUtf8(cp932), run);
    xml += "</w:p>";
    m_headerId = AddHeaderFooterPart(true, xml);
}

void TDocumentBuilder::SetPageNumberFooter(TAlignment alignment, const TRunProperties& run) {
    RequireOpen();
    std::string xml = "<w:p>";
    std::string properties;
    AppendAlignment(properties, alignment);
    if (!properties.empty()) {
        xml += "<w:pPr>" + properties + "</w:pPr>";
    }
    AppendField(xml, "PAGE", "1", run);
    xml += "</w:p>";
    m_footerId = AddHeaderFooterPart(false, xml);
}

void TDocumentBuilder::SetCoreProperties(const TCoreProperties& core) {
    RequireOpen();
    m_core = core;
}

TPackage TDocumentBuilder::Finish() {
    RequireOpen();
    if (m_openBookmarks > 0) {
        throw std::logic_error(std::to_string(m_openBookmarks) + " bookmark(s) never ended");
    }
    CloseParagraph(nullptr);
    std::string last;
    AppendSectionProperties(last, m_section);
    m_body->Append(last);
    m_body->Append("</w:body></w:document>");
    if (m_core) {
        m_package.AddPart("docProps/core.xml", std::string(kCorePropertiesType))
            .Append(CoreXml(*m_core));
        m_package.AddRelationship("", kCorePropertiesRelationship, "docProps/core.xml");
    }
    m_finished = true;
    return std::move(m_package);
}

void TDocumentBuilder::Save(const std::string& path, TCompression compression,
                            store::TFileSystem& fileSystem) {
    Finish().Write(path, compression, fileSystem);
}

}  // namespace velmora::exchange::docx
