#include "word_export.h"

#include <algorithm>
#include <deque>

#include "code_page.h"
#include "data_module.h"
#include "ontology.h"

namespace velmora::exchange {

namespace vo = VelmoraOntology;
using docx::TAlignment;
using docx::TRunProperties;
using docx::TSectionProperties;
using docx::TSectionStart;

namespace {

constexpr double kTreeLineAtLeastPt = 12;
constexpr double kValueIndentPt = 10;
constexpr int kTitleEnlargePt = 6;
constexpr int kDetailsStepPt = 2;
// Kids of a kid shown by name before "（ほか）": one more under the last kid, whose column has
// no "┃" to continue.
constexpr int kGrandchildrenShown = 3;
constexpr int kGrandchildrenShownLast = 4;

std::string U(std::string_view cp932) {
    return store::Cp932ToUtf8(cp932);
}

std::string Bracketed(const vo::TConcept& item) {
    return "[" + U(item.Title()) + "]";
}

}  // namespace

TExportWord::TExportWord(vo::TOntology& model, docx::TDocumentBuilder& document,
                         std::string dateUtf8)
    : m_model(model), m_document(document), m_date(std::move(dateUtf8)) {}

std::string TExportWord::ConceptPath(const vo::TConcept& item) {
    std::vector<const vo::TConcept*> chain;
    for (const vo::TConcept* at = &item; at->Parent() != nullptr; at = at->Parent()) {
        chain.push_back(at);
    }
    if (chain.empty()) {
        return U(item.Title());
    }
    std::string path;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        path += "→" + U((*it)->Title());
    }
    return path;
}

std::string TExportWord::BookmarkName(const vo::TConcept& item) {
    return "BM" + std::to_string(item.RecordNo());
}

void TExportWord::Run(const TWordExportProgress& progress) {
    Plan();
    WriteFrontMatter();
    WriteConceptSections(progress);
}

bool TExportWord::IsSubconceptLink(const vo::TLink& link) {
    return &link.LinkType() == &m_model.LinkTypes().SubconceptType();
}

void TExportWord::CollectKids(vo::TConcept& item, vo::TConceptList& kids) {
    const vo::TSeekChildList& children = item.Children();
    for (int i = 0; i < children.Count(); ++i) {
        kids.Add(children.Items(i));
    }
    const vo::TSeekLinkToList& links = item.LinksTo();
    for (int i = 0; i < links.Count(); ++i) {
        if (IsSubconceptLink(links.Items(i))) {
            kids.Add(links.Items(i).ToConcept());
        }
    }
    kids.SortByListOrder();
}

// Bookmarks cannot move once written, so the order of sections and details blocks is worked
// out first: a concept's bookmark is placed once, where a moving bookmark would end.
void TExportWord::Plan() {
    std::deque<vo::TConcept*> queue{&m_model.Concepts().TopConcept()};
    std::unordered_map<std::int32_t, int> detailsCount;
    while (!queue.empty()) {
        vo::TConcept& subject = *queue.front();
        queue.pop_front();
        if (!m_hasSection.insert(subject.RecordNo()).second) {
            continue;  // a parent cycle in broken data would repeat it forever
        }
        TSectionPlan section{&subject, {&subject}};
        const vo::TSeekChildList& children = subject.Children();
        for (int i = 0; i < children.Count(); ++i) {
            section.details.push_back(&children.Items(i));
        }
        const vo::TSeekLinkToList& links = subject.LinksTo();
        for (int i = 0; i < links.Count(); ++i) {
            if (IsSubconceptLink(links.Items(i))) {
                section.details.push_back(&links.Items(i).ToConcept());
            }
        }
        for (vo::TConcept* described : section.details) {
            if (!m_hasSection.contains(described->RecordNo())) {
                ++detailsCount[described->RecordNo()];
            }
        }
        for (int i = children.Count() - 1; i >= 0; --i) {
            if (children.Items(i).HasSubconcepts()) {
                queue.push_front(&children.Items(i));
            }
        }
        m_sections.push_back(std::move(section));
    }
    for (const auto& [no, count] : detailsCount) {
        if (!m_hasSection.contains(no)) {
            m_detailsLeft[no] = count;
        }
    }
}

void TExportWord::AddParagraph() {
    m_document.AddParagraph(m_inherited);
}

void TExportWord::AddSection(const TSectionProperties& next) {
    m_document.AddSection(next);
    m_document.Paragraph() = m_inherited;
}

void TExportWord::SetAlignment(TAlignment alignment) {
    m_inherited.alignment = alignment;
    m_document.Paragraph().alignment = alignment;
}

void TExportWord::SetFirstLineIndent(double points) {
    m_inherited.firstLineIndentPt = points;
    m_document.Paragraph().firstLineIndentPt = points;
}

void TExportWord::SetLineAtLeast(double points) {
    m_inherited.lineAtLeastPt = points;
    m_document.Paragraph().lineAtLeastPt = points;
}

void TExportWord::StepFontSize(int points) {
    m_halfPoints += 2 * points;
    m_inherited.mark.halfPoints = RunHalfPoints();
    m_document.Paragraph().mark.halfPoints = RunHalfPoints();
}

int TExportWord::RunHalfPoints() const {
    return m_halfPoints == docx::kDefaultHalfPoints ? 0 : m_halfPoints;
}

TRunProperties TExportWord::Head() const {
    return {docx::kHeadFont, true, RunHalfPoints()};
}

TRunProperties TExportWord::Body() const {
    return {docx::kBodyFont, false, RunHalfPoints()};
}

void TExportWord::WriteLabeledParagraph(std::string_view label, std::string_view value,
                                        bool ownParagraph) {
    m_document.Paragraph().framed = m_frameLabels;
    m_document.AddUtf8Text(label, Head());
    if (ownParagraph) {
        // One paragraph per line, each indented: a line break inside one paragraph would leave
        // every line but the first at the margin.
        m_document.Paragraph().keepWithNext = true;
        std::string_view rest = value;
        do {
            const std::size_t end = rest.find("\r\n");
            AddParagraph();
            m_document.Paragraph().framed = m_frameLabels;
            m_document.AddUtf8Text(rest.substr(0, end), Body());
            SetFirstLineIndent(kValueIndentPt);
            rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 2);
        } while (!rest.empty());
        AddParagraph();
        SetFirstLineIndent(0);
    } else {
        m_document.AddUtf8Text(value, Body());
        AddParagraph();
    }
}

void TExportWord::WriteFrontMatter() {
    const std::string title = m_model.Title();
    m_document.SetHeaderText(title);
    m_document.SetPageNumberFooter();

    for (int i = 0; i < 4; ++i) {
        AddParagraph();
    }
    // Concepts described nowhere else keep their bookmark on the title.
    std::vector<int> bookmarks;
    m_model.Concepts().ForEachConcept([&](vo::TConcept& item) {
        item.SetExportMark(0);
        const std::int32_t no = item.RecordNo();
        if (!m_hasSection.contains(no) && !m_detailsLeft.contains(no)) {
            bookmarks.push_back(m_document.StartBookmark(BookmarkName(item)));
        }
    });
    const TRunProperties titleRun{docx::kHeadFont, true,
                                  docx::kDefaultHalfPoints + 2 * kTitleEnlargePt};
    m_document.Paragraph().mark = titleRun;
    m_document.AddText(title, titleRun);
    for (const int id : bookmarks) {
        m_document.EndBookmark(id);
    }

    AddParagraph();
    AddParagraph();
    m_document.AddUtf8Text(kWordExportVersionLine, Body());
    SetAlignment(TAlignment::kRight);
    AddParagraph();
    SetAlignment(TAlignment::kJustified);
    AddParagraph();
    m_document.AddUtf8Text(m_date, Body());
    SetAlignment(TAlignment::kRight);
    AddParagraph();
    SetAlignment(TAlignment::kJustified);

    for (int i = 0; i < 6; ++i) {
        AddParagraph();
    }
    m_frameLabels = true;
    WriteLabeledParagraph("対象：　", U(m_model.Target()), false);
    WriteLabeledParagraph("作成者：　", U(m_model.Creator()), false);
    WriteLabeledParagraph("このオントロジーの説明：　", U(m_model.Description()), true);
    WriteLabeledParagraph("このオントロジーを共有するコミュニティ：　", U(m_model.Community()),
                          true);
    m_frameLabels = false;

    AddSection({TSectionStart::kNextPage, 1});
    m_document.AddUtf8Text("目次", Head());
    AddParagraph();
    AddParagraph();
    AddParagraph();
    m_document.AddTableOfContents();
    m_document.Paragraph() = m_inherited;
}

void TExportWord::WriteConceptSections(const TWordExportProgress& progress) {
    const int total = static_cast<int>(m_sections.size());
    for (int i = 0; i < total; ++i) {
        WriteConceptSection(m_sections[static_cast<std::size_t>(i)]);
        if (progress) {
            progress(i + 1, total);
        }
    }
}

void TExportWord::WriteConceptSection(const TSectionPlan& section) {
    vo::TConcept& subject = *section.subject;
    AddSection({TSectionStart::kNextPage, 1});
    m_document.Paragraph().headingLevel = 1;
    const int bookmark = m_document.StartBookmark(BookmarkName(subject));
    // The heading style gives the look (head font, bold, larger, space before).
    m_document.AddUtf8Text("(" + ConceptPath(subject) + ")");
    m_document.EndBookmark(bookmark);
    subject.SetExportMark(2);
    AddParagraph();
    AddParagraph();

    WriteTree(subject);

    AddParagraph();
    AddSection({TSectionStart::kContinuous, 2});
    for (vo::TConcept* described : section.details) {
        WriteDetails(*described);
    }
    AddParagraph();
}

void TExportWord::WritePageReference(const vo::TConcept& target) {
    m_document.AddPageReference(BookmarkName(target), Body());
}

void TExportWord::WriteTree(vo::TConcept& item) {
    SetLineAtLeast(kTreeLineAtLeastPt);
    std::string_view ownMark = "　";
    if (vo::TConcept* parent = item.Parent()) {
        m_document.AddUtf8Text("　" + U(parent->Title()) + " (p.", Body());
        WritePageReference(*parent);
        m_document.AddUtf8Text(")", Body());
        AddParagraph();
        ownMark = "┗";
    }
    m_document.AddUtf8Text("　 　" + std::string(ownMark) + " " + U(item.Title()), Head());
    AddParagraph();

    vo::TConceptList kids;
    CollectKids(item, kids);
    for (int i = 0; i < kids.Count(); ++i) {
        const bool last = i == kids.Count() - 1;
        WriteChildLine(last ? "┗" : "┣", kids.Items(i));
        WriteGrandchildLines(last ? "　" : "┃", kids.Items(i), last);
    }
}

void TExportWord::WriteChildLine(std::string_view mark, vo::TConcept& kid) {
    m_document.AddUtf8Text("　  　　　" + std::string(mark) + " " + U(kid.Title()), Head());
    if (kid.HasSubconcepts()) {
        m_document.AddUtf8Text(" (p.", Body());
        WritePageReference(kid);
        m_document.AddUtf8Text(")", Body());
    }
    AddParagraph();
}

void TExportWord::WriteGrandchildLines(std::string_view prefix, vo::TConcept& kid, bool lastKid) {
    vo::TConceptList grandchildren;
    CollectKids(kid, grandchildren);
    const int count = grandchildren.Count();
    if (count == 0) {
        return;
    }
    const auto line = [&](std::string_view mark, const std::string& text) {
        m_document.AddUtf8Text("　  　　　" + std::string(prefix), Head());
        m_document.AddUtf8Text(" 　" + std::string(mark) + " " + text, Body());
        AddParagraph();
    };
    const int limit = lastKid ? kGrandchildrenShownLast : kGrandchildrenShown;
    const int named = std::min(count - 1, limit);
    for (int i = 0; i < named; ++i) {
        line("┣", U(grandchildren.Items(i).Title()));
    }
    line("┗", count > kGrandchildrenShownLast ? std::string("（ほか）")
                                              : U(grandchildren.Items(count - 1).Title()));
}

void TExportWord::WriteDetails(vo::TConcept& item) {
    const TRunProperties titleRun{docx::kHeadFont, true, RunHalfPoints()};
    int bookmark = -1;
    if (const auto left = m_detailsLeft.find(item.RecordNo());
        left != m_detailsLeft.end() && --left->second == 0) {
        bookmark = m_document.StartBookmark(BookmarkName(item));
    }
    // The boxed title and the spacing lines after it stay with the block's first line, so
    // that a title never ends a column with its details on the next one.
    m_document.Paragraph().framed = true;
    m_document.Paragraph().keepWithNext = true;
    m_document.AddText(item.Title(), titleRun);
    if (bookmark >= 0) {
        m_document.EndBookmark(bookmark);
    }
    AddParagraph();
    m_document.Paragraph().keepWithNext = true;
    AddParagraph();
    StepFontSize(-kDetailsStepPt);
    m_document.Paragraph().keepWithNext = true;
    AddParagraph();

    if (const std::string text = item.Description(); !text.empty()) {
        WriteLabeledParagraph("解説：　", U(text), false);
    }
    if (const std::string text = item.Comment(); !text.empty()) {
        WriteLabeledParagraph("コメント：　", U(text), false);
    }
    const vo::TConceptTermsManager& terms = item.Terms();
    if (terms.Count() > 0) {
        std::string labels;
        for (int i = 0; i < terms.Count(); ++i) {
            labels += (i ? ", \"" : "\"") + U(terms.Items(i).TermString()) + "\"";
        }
        WriteLabeledParagraph("言語ラベル：　", labels, false);
    }

    const std::string linkTitle = U(m_model.LinkTypes().SubconceptType().LinkTitle());
    const bool plain = linkTitle == "subconcept";
    std::string parents = "（なし）";
    if (const vo::TConcept* parent = item.Parent()) {
        parents = Bracketed(*parent);
        const vo::TSeekLinkFromList& from = item.LinksFrom();
        for (int i = 0; i < from.Count(); ++i) {
            if (IsSubconceptLink(from.Items(i))) {
                parents += ", " + Bracketed(from.Items(i).FromConcept());
            }
        }
    }
    WriteLabeledParagraph(plain ? "上位概念：　" : "上位の階層（この概念←" + linkTitle + "←）：　",
                          parents, false);

    if (item.HasSubconcepts()) {
        std::string kids;
        const auto add = [&](const vo::TConcept& kid) {
            kids += (kids.empty() ? "" : ", ") + Bracketed(kid);
        };
        const vo::TSeekChildList& children = item.Children();
        for (int i = 0; i < children.Count(); ++i) {
            add(children.Items(i));
        }
        const vo::TSeekLinkToList& to = item.LinksTo();
        for (int i = 0; i < to.Count(); ++i) {
            if (IsSubconceptLink(to.Items(i))) {
                add(to.Items(i).ToConcept());
            }
        }
        WriteLabeledParagraph(
            plain ? "下位概念：　" : "下位の階層（この概念→" + linkTitle + "→）：　", kids, false);
    }

    std::string relations;
    const auto addLine = [&](const std::string& line) {
        relations += (relations.empty() ? "" : "\r\n") + line;
    };
    const vo::TSeekLinkFromList& from = item.LinksFrom();
    for (int i = 0; i < from.Count(); ++i) {
        const vo::TLink& link = from.Items(i);
        if (!IsSubconceptLink(link)) {
            addLine(Bracketed(link.FromConcept()) + "→(" + U(link.LinkType().LinkTitle()) +
                    ")→この概念");
        }
    }
    const vo::TSeekLinkToList& to = item.LinksTo();
    for (int i = 0; i < to.Count(); ++i) {
        const vo::TLink& link = to.Items(i);
        if (!IsSubconceptLink(link)) {
            addLine("この概念→(" + U(link.LinkType().LinkTitle()) + ")→" +
                    Bracketed(link.ToConcept()));
        }
    }
    if (!relations.empty()) {
        WriteLabeledParagraph("他の概念との関係：　", relations, true);
    }

    AddParagraph();
    StepFontSize(kDetailsStepPt);
}

std::string ShortDate(std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    char text[16];
    std::strftime(text, sizeof text, "%Y/%m/%d", &local);
    return text;
}

void ExportWordFile(store::TDataModule1& store, const store::TOntology& ontologyMetadata,
                    const std::string& path, const TWordExportProgress& progress,
                    std::string dateUtf8) {
    vo::TOntology model(ontologyMetadata, store);
    const std::time_t now = std::time(nullptr);
    docx::TDocumentBuilder document;
    document.SetCoreProperties({model.Title(), model.Creator(), now});
    TExportWord exporter(model, document, dateUtf8.empty() ? ShortDate(now) : std::move(dateUtf8));
    exporter.Run(progress);
    document.Save(path);
}

std::string WordExportNotes() {
    return "この操作は、データの内容を Word 文書（.docx ファイル）に書き出します。\n"
           "書き出されるのは、表紙（オントロジーの名称と説明）、目次、下位概念を持つ概念ごとの"
           "階層図と、各概念の解説・コメント・言語ラベル・他の概念との関係です。\n"
           "\n"
           "出来上がったWordファイルについて\n"
           "\n"
           "● ページ番号、ページの参照と目次はフィールドとして書き込まれています。Word "
           "では文書を開いたときに更新されます。\n"
           "● LibreOffice Writer では「ツール」▸「更新」▸「すべて更新」（Tools ▸ Update ▸ "
           "Update All）で更新してください。\n"
           "● 条件によってページが多少乱れます。プリントアウトの前に確認して清書する必要があり"
           "ます。\n"
           "● ページの参照はブックマークとページ参照フィールドによって振られていますので、"
           "レイアウトを変更してもフィールドの更新でページ番号を自動修正することができます。\n";
}

}  // namespace velmora::exchange
