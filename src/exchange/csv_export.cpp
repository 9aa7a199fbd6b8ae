#include "csv_export.h"

#include <algorithm>
#include <memory>
#include <span>
#include <unordered_map>
#include <utility>

#include "code_page.h"
#include "ontology_tables.h"
#include "store_exceptions.h"

namespace velmora::exchange {

using store::TCursor;
using store::TValue;

namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kNull = "(NULL)";
// Concept numbers below this are remembered in a bitmap (at most 8 MiB).
constexpr std::int32_t kBitmapLimit = 1 << 26;

int FieldIndex(const TCursor& cursor, std::string_view name) {
    const int index = cursor.FindFieldIndex(name);
    if (index < 0) {
        throw store::ETableError("項目 '" + std::string(name) + "' が見つかりません");
    }
    return index;
}

}  // namespace

std::string ExportConfirmationText(const TConceptList& items) {
    std::string text =
        "　選択された以下の概念とその下位概念を, Microsoft EXCELで処理可能な\r\n"
        "CSV(Comma Separated Value)形式でファイルに出力します.\r\n\r\n概念 \"";
    text += store::Cp932ToUtf8(items[0].Title());
    if (items.Count() == 1) {
        text += "\"とその下位概念.";
    } else {
        text += "\" を含む" + std::to_string(items.Count()) + "項目とその下位概念.";
    }
    return text;
}

std::string ChangeFileExt(const std::string& path, std::string_view ext) {
    const std::size_t slash = path.rfind('/');
    const std::size_t dot = path.rfind('.');
    const bool hasExt = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (hasExt ? path.substr(0, dot) : path) + std::string(ext);
}

std::string DefaultExportFileName(const std::string& dialogFileName,
                                  const store::TOntology& ontology) {
    if (!dialogFileName.empty()) {
        return ChangeFileExt(dialogFileName, ".csv");
    }
    if (!ontology.FileName().empty()) {
        return ChangeFileExt(ontology.FileName(), ".csv");
    }
    return store::Cp932ToUtf8(ontology.Title()) + ".csv";
}

void AppendQuoted(std::string& out, std::string_view value) {
    out += '"';
    for (std::size_t from = 0;;) {
        const std::size_t quote = value.find('"', from);
        if (quote == std::string_view::npos) {
            out.append(value.substr(from));
            break;
        }
        out.append(value.substr(from, quote + 1 - from));
        out += '"';
        from = quote + 1;
    }
    out += '"';
}

std::string Quoted(std::string_view value) {
    std::string out;
    AppendQuoted(out, value);
    return out;
}

const std::string& CsvHeaderLine() {
    static const std::string header = [] {
        constexpr std::string_view kTitles[] = {"<タイトル>",   "<解説>",       "<コメント>",
                                                "<言語ラベル>", "<最終更新者>", "<概念識別子>",
                                                "<上位概念>"};
        std::string line;
        for (std::string_view title : kTitles) {
            if (!line.empty()) {
                line += ',';
            }
            AppendQuoted(line, store::Utf8ToCp932(title));
        }
        return line;
    }();
    return header;
}

void TExportLines::Add(std::string_view line, const TConceptData& item) {
    AddBuilt(item, [&](std::string& out) { out += line; });
}

template <class TBuild>
void TExportLines::AddBuilt(const TConceptData& item, TBuild&& build) {
    build(m_text);
    m_ends.push_back(m_text.size());
    m_text += kCrLf;
    m_items.emplace_back().Assign(item);
    const std::int32_t no = item.ConceptNo();
    if (no >= 0 && no < kBitmapLimit) {
        const auto bit = static_cast<std::size_t>(no);
        if (bit >= m_writtenBits.size()) {
            m_writtenBits.resize(std::max(bit + 1, 2 * m_writtenBits.size()));
        }
        m_writtenBits[bit] = true;
    } else {
        m_writtenOthers.insert(no);
    }
}

bool TExportLines::Contains(std::int32_t conceptNo) const {
    if (conceptNo >= 0 && conceptNo < kBitmapLimit) {
        const auto bit = static_cast<std::size_t>(conceptNo);
        return bit < m_writtenBits.size() && m_writtenBits[bit];
    }
    return m_writtenOthers.contains(conceptNo);
}

std::string_view TExportLines::Line(int index) const {
    const auto i = static_cast<std::size_t>(index);
    const std::size_t begin = i == 0 ? 0 : m_ends[i - 1] + kCrLf.size();
    return std::string_view(m_text).substr(begin, m_ends[i] - begin);
}

std::string TExportLines::FileText() const {
    std::string text;
    text.reserve(CsvHeaderLine().size() + kCrLf.size() + m_text.size());
    text += CsvHeaderLine();
    text += kCrLf;
    text += m_text;
    return text;
}

// The four tables as they stood when the walk began, read front to back once.
struct TDataModuleExport::TSnapshot {
    struct TConceptRow {
        std::int32_t No = 0;
        std::int32_t ParentNo = 0;
        std::string Title;
        std::string Description;
        std::string Comment;
        std::string Editor;
        std::string Identifier;
        std::string Labels;
        bool HasLabel = false;
        store::TIconPoint IconPos;
        // The children of this number in Children: [ChildBegin, ChildEnd).
        std::uint32_t ChildBegin = 0;
        std::uint32_t ChildEnd = 0;
    };
    struct TLinkRow {
        std::int32_t No = 0;
        std::int32_t To = 0;
        std::int32_t Code = 0;
        store::TIconPoint IconPos;
    };
    // An item shown under ParentNo: a concept row or a network row.
    struct TChild {
        std::int32_t ParentNo = 0;
        std::int32_t ListOrder = 0;
        bool IsLink = false;
        std::uint32_t Row = 0;

        bool operator<(const TChild& other) const {
            if (ParentNo != other.ParentNo) {
                return ParentNo < other.ParentNo;
            }
            if (ListOrder != other.ListOrder) {
                return ListOrder < other.ListOrder;
            }
            if (IsLink != other.IsLink) {
                return !IsLink;
            }
            return Row < other.Row;
        }
    };

    // Record numbers to the first row that carries them, as a lookup by number finds it.
    class TRowOf {
    public:
        static constexpr std::uint32_t kNone = ~std::uint32_t{0};

        void Build(const std::vector<std::int32_t>& numbers) {
            std::int32_t max = 0;
            bool dense = true;
            for (const std::int32_t no : numbers) {
                dense = dense && no >= 0;
                max = std::max(max, no);
            }
            m_dense = dense && static_cast<std::size_t>(max) <= 4 * numbers.size() + 1024;
            if (m_dense) {
                m_rows.assign(static_cast<std::size_t>(max) + 1, kNone);
            }
            for (std::uint32_t row = 0; row < numbers.size(); ++row) {
                const std::int32_t no = numbers[row];
                if (m_dense) {
                    if (m_rows[static_cast<std::size_t>(no)] == kNone) {
                        m_rows[static_cast<std::size_t>(no)] = row;
                    }
                } else {
                    m_map.emplace(no, row);
                }
            }
        }
        std::uint32_t Find(std::int32_t no) const {
            if (m_dense) {
                return no >= 0 && static_cast<std::size_t>(no) < m_rows.size()
                           ? m_rows[static_cast<std::size_t>(no)]
                           : kNone;
            }
            const auto it = m_map.find(no);
            return it == m_map.end() ? kNone : it->second;
        }

    private:
        bool m_dense = true;
        std::vector<std::uint32_t> m_rows;
        std::unordered_map<std::int32_t, std::uint32_t> m_map;
    };

    std::vector<TConceptRow> Concepts;
    TRowOf ConceptRowOf;
    std::vector<TLinkRow> Links;
    std::vector<TChild> Children;  // sorted: by parent, then as a level numbered 1..n is shown

    // Whether the level under row is numbered exactly 1..n, the one case read from here.
    bool LevelInOrder(const TConceptRow& row) const {
        for (std::uint32_t i = row.ChildBegin; i < row.ChildEnd; ++i) {
            if (Children[i].ListOrder != static_cast<std::int32_t>(i - row.ChildBegin + 1)) {
                return false;
            }
        }
        return true;
    }

    // The item the seeker gives for a child (see TDataModuleSeeker's items).
    void FillItem(const TChild& child, TConceptData& item) const {
        if (!child.IsLink) {
            const TConceptRow& c = Concepts[child.Row];
            item.SetConceptNo(c.No);
            item.SetTitle(c.Title);
            item.SetHasChildren(c.ChildEnd > c.ChildBegin);
            item.IconPos = c.IconPos;
            return;
        }
        const TLinkRow& link = Links[child.Row];
        item.SetIsLink(true);
        item.LinkNo = link.No;
        item.LinkCode = link.Code;
        item.IconPos = link.IconPos;
        const std::uint32_t shown = ConceptRowOf.Find(link.To);
        if (shown != TRowOf::kNone) {
            const TConceptRow& c = Concepts[shown];
            item.SetConceptNo(c.No);
            item.SetTitle(c.Title);
            item.SetHasChildren(c.ChildEnd > c.ChildBegin);
        }
    }
};

namespace {

std::int32_t IntOf(const TValue& value) {
    const auto* n = std::get_if<std::int32_t>(&value);
    return n ? *n : 0;
}

std::string TextOf(const TValue& value) {
    const auto* text = std::get_if<std::string>(&value);
    return text ? *text : std::string();
}

}  // namespace

TDataModuleExport::TDataModuleExport(store::TDataModule1& store, engine::TDataModuleSeeker& seeker)
    : m_store(store), m_seeker(seeker), m_fileSystem(&store::RealFileSystem()) {}

TDataModuleExport::~TDataModuleExport() = default;

std::optional<int> TDataModuleExport::ExportCSV(const TConceptList& items,
                                                const store::TOntology& ontology,
                                                store::TQuestioner& questioner,
                                                const TChooseSaveFile& choose,
                                                const std::string& dialogFileName) {
    if (items.Count() == 0) {
        return 0;
    }
    if (questioner.Ask(store::TMessageKind::Information, store::TButtons::OkCancel,
                       ExportConfirmationText(items)) != store::TAnswer::Ok) {
        return std::nullopt;
    }
    TSaveFileRequest request;
    request.FileName = DefaultExportFileName(dialogFileName, ontology);
    const std::optional<std::string> path = choose(request);
    if (!path) {
        return std::nullopt;
    }
    return WriteCSV(items, *path);
}

int TDataModuleExport::WriteCSV(const TConceptList& items, const std::string& path) {
    OpenExportCursors();
    TExportLines lines;
    for (int i = 0; i < items.Count(); ++i) {
        AppendSubtree(items[i], lines, true);
    }
    SaveFile(path, {CsvHeaderLine(), kCrLf, lines.Text()});
    return lines.Count();
}

void TDataModuleExport::OpenExportCursors() {
    m_snapshot.reset();
    // Details lose their links first so that none points at a master being cloned anew.
    for (TCursor* detail : {&DsParentConcept, &DsAssociations, &DsTerm}) {
        detail->SetMasterFields("");
        detail->SetMasterSource(nullptr);
    }
    DsMainConcept.CloneCursor(m_store.DtStOriginalConcepts, true);
    DsMainConcept.SetIndexFieldNames(store::kFieldRecordNo);
    DsParentConcept.CloneCursor(m_store.DtStOriginalConcepts, true);
    DsParentConcept.SetIndexFieldNames(store::kFieldRecordNo);
    DsParentConcept.SetMasterSource(&DsMainConcept);
    DsParentConcept.SetMasterFields(store::kFieldParentNo);
    DsAssociations.CloneCursor(m_store.DtStOriginalAssociation, true);
    DsAssociations.SetIndexFieldNames(store::kFieldConceptNo);
    DsAssociations.SetMasterSource(&DsMainConcept);
    DsAssociations.SetMasterFields(store::kFieldRecordNo);
    DsTerm.CloneCursor(m_store.DtStOriginalTerms, true);
    DsTerm.SetIndexFieldNames(store::kFieldTermNo);
    DsTerm.SetMasterSource(&DsAssociations);
    DsTerm.SetMasterFields(store::kFieldTermNo);

    m_title = FieldIndex(DsMainConcept, store::kFieldTitle);
    m_description = FieldIndex(DsMainConcept, store::kFieldDescription);
    m_comment = FieldIndex(DsMainConcept, store::kFieldComment);
    m_editor = FieldIndex(DsMainConcept, store::kFieldEditor);
    m_identifier = FieldIndex(DsMainConcept, store::kFieldIdentifier);
    m_parentNo = FieldIndex(DsMainConcept, store::kFieldParentNo);
    m_parentIdentifier = FieldIndex(DsParentConcept, store::kFieldIdentifier);
    m_termString = FieldIndex(DsTerm, store::kFieldTermString);
}

TDataModuleExport::TSnapshot& TDataModuleExport::Snapshot() {
    if (m_snapshot) {
        return *m_snapshot;
    }
    auto snapshot = std::make_unique<TSnapshot>();
    TSnapshot& s = *snapshot;

    store::TTable& concepts = m_store.DtStOriginalConcepts;
    const int no = FieldIndex(concepts, store::kFieldRecordNo);
    const int title = FieldIndex(concepts, store::kFieldTitle);
    const int identifier = FieldIndex(concepts, store::kFieldIdentifier);
    const int description = FieldIndex(concepts, store::kFieldDescription);
    const int comment = FieldIndex(concepts, store::kFieldComment);
    const int parentNo = FieldIndex(concepts, store::kFieldParentNo);
    const int listOrder = FieldIndex(concepts, store::kFieldListOrder);
    const int iconX = FieldIndex(concepts, store::kFieldIconPosX);
    const int iconY = FieldIndex(concepts, store::kFieldIconPosY);
    const int editor = FieldIndex(concepts, store::kFieldEditor);
    concepts.ForEachRecord([&](std::span<const TValue> v) {
        TSnapshot::TConceptRow& row = s.Concepts.emplace_back();
        row.No = IntOf(v[no]);
        row.ParentNo = IntOf(v[parentNo]);
        row.Title = TextOf(v[title]);
        row.Description = TextOf(v[description]);
        row.Comment = TextOf(v[comment]);
        row.Editor = TextOf(v[editor]);
        row.Identifier = TextOf(v[identifier]);
        row.IconPos = {IntOf(v[iconX]), IntOf(v[iconY])};
        s.Children.push_back({row.ParentNo, IntOf(v[listOrder]), false,
                              static_cast<std::uint32_t>(s.Concepts.size() - 1)});
    });
    std::vector<std::int32_t> numbers(s.Concepts.size());
    for (std::size_t i = 0; i < s.Concepts.size(); ++i) {
        numbers[i] = s.Concepts[i].No;
    }
    s.ConceptRowOf.Build(numbers);

    store::TTable& network = m_store.DtStOriginalNetWork;
    const int linkNo = FieldIndex(network, store::kFieldRecordNo);
    const int from = FieldIndex(network, store::kFieldRecordNoFrom);
    const int to = FieldIndex(network, store::kFieldRecordNoTo);
    const int linkOrder = FieldIndex(network, store::kFieldListOrder);
    const int linkCode = FieldIndex(network, store::kFieldLinkCode);
    const int linkX = FieldIndex(network, store::kFieldIconPosX);
    const int linkY = FieldIndex(network, store::kFieldIconPosY);
    network.ForEachRecord([&](std::span<const TValue> v) {
        s.Links.push_back({IntOf(v[linkNo]),
                           IntOf(v[to]),
                           IntOf(v[linkCode]),
                           {IntOf(v[linkX]), IntOf(v[linkY])}});
        s.Children.push_back({IntOf(v[from]), IntOf(v[linkOrder]), true,
                              static_cast<std::uint32_t>(s.Links.size() - 1)});
    });
    std::sort(s.Children.begin(), s.Children.end());
    for (std::size_t i = 0; i < s.Children.size();) {
        std::size_t end = i;
        while (end < s.Children.size() && s.Children[end].ParentNo == s.Children[i].ParentNo) {
            ++end;
        }
        const std::uint32_t row = s.ConceptRowOf.Find(s.Children[i].ParentNo);
        if (row != TSnapshot::TRowOf::kNone) {
            s.Concepts[row].ChildBegin = static_cast<std::uint32_t>(i);
            s.Concepts[row].ChildEnd = static_cast<std::uint32_t>(end);
        }
        i = end;
    }

    // Labels: each association in order of addition, which is the order of a concept's
    // associations; a label number that is missing reads as an empty label.
    store::TTable& terms = m_store.DtStOriginalTerms;
    const int termNo = FieldIndex(terms, store::kFieldTermNo);
    const int termString = FieldIndex(terms, store::kFieldTermString);
    std::vector<std::int32_t> termNumbers;
    std::vector<std::string> termStrings;
    terms.ForEachRecord([&](std::span<const TValue> v) {
        termNumbers.push_back(IntOf(v[termNo]));
        termStrings.push_back(TextOf(v[termString]));
    });
    TSnapshot::TRowOf termRowOf;
    termRowOf.Build(termNumbers);
    store::TTable& associations = m_store.DtStOriginalAssociation;
    const int conceptNo = FieldIndex(associations, store::kFieldConceptNo);
    const int assocTerm = FieldIndex(associations, store::kFieldTermNo);
    associations.ForEachRecord([&](std::span<const TValue> v) {
        const std::uint32_t row = s.ConceptRowOf.Find(IntOf(v[conceptNo]));
        if (row == TSnapshot::TRowOf::kNone) {
            return;
        }
        TSnapshot::TConceptRow& c = s.Concepts[row];
        if (c.HasLabel) {
            c.Labels += kCrLf;
        }
        c.HasLabel = true;
        const std::uint32_t term = termRowOf.Find(IntOf(v[assocTerm]));
        if (term != TSnapshot::TRowOf::kNone) {
            c.Labels += termStrings[term];
        }
    });

    m_snapshot = std::move(snapshot);
    return *m_snapshot;
}

void TDataModuleExport::AppendSnapshotLine(std::string& out, std::size_t row, bool top) {
    const TSnapshot& s = *m_snapshot;
    const TSnapshot::TConceptRow& c = s.Concepts[row];
    AppendQuoted(out, c.Title);
    out += ',';
    AppendQuoted(out, c.Description);
    out += ',';
    AppendQuoted(out, c.Comment);
    out += ',';
    AppendQuoted(out, c.Labels);
    out += ',';
    AppendQuoted(out, c.Editor);
    out += ',';
    AppendQuoted(out, c.Identifier);
    out += ',';
    if (top || c.ParentNo == 0) {
        AppendQuoted(out, kNull);
        return;
    }
    const std::uint32_t parent = s.ConceptRowOf.Find(c.ParentNo);
    AppendQuoted(out, parent == TSnapshot::TRowOf::kNone
                          ? std::string_view()
                          : std::string_view(s.Concepts[parent].Identifier));
}

void TDataModuleExport::AppendSubtree(const TConceptData& c, TExportLines& lines, bool top) {
    const TSnapshot& s = Snapshot();

    // The walk keeps its own stack of levels: recursion would tie the depth of the hierarchy
    // to the depth of the call stack. A level is a range of the snapshot, or the seeker's
    // answer copied (the seeker holds one answer at a time).
    struct TLevel {
        std::uint32_t Next = 0;
        std::uint32_t End = 0;
        std::vector<TConceptData> Asked;
        bool FromSeeker = false;
    };
    std::vector<TLevel> stack;
    // Writes item's line unless its concept has one; then its children come next.
    const auto visit = [&](const TConceptData& item, bool chosen) {
        if (lines.Contains(item.ConceptNo())) {
            return;
        }
        const std::uint32_t row = s.ConceptRowOf.Find(item.ConceptNo());
        if (row == TSnapshot::TRowOf::kNone) {
            throw store::EUnableToFind::CreateConcept(item.ConceptNo());
        }
        lines.AddBuilt(item, [&](std::string& out) { AppendSnapshotLine(out, row, chosen); });
        if (m_progress) {
            m_progress(lines.Count(), static_cast<int>(s.Concepts.size()));
        }
        const TSnapshot::TConceptRow& r = s.Concepts[row];
        if (r.ChildEnd == r.ChildBegin) {
            return;
        }
        TLevel level;
        if (s.LevelInOrder(r)) {
            level.Next = r.ChildBegin;
            level.End = r.ChildEnd;
        } else {
            m_seeker.SetSeekMode(engine::smChildren);
            m_seeker.SetSeekNo(r.No);
            const TConceptList& children = m_seeker.GetItems();
            level.FromSeeker = true;
            level.Asked.resize(static_cast<std::size_t>(children.Count()));
            for (int i = 0; i < children.Count(); ++i) {
                level.Asked[static_cast<std::size_t>(i)].Assign(children[i]);
            }
            level.End = static_cast<std::uint32_t>(children.Count());
        }
        stack.push_back(std::move(level));
    };

    visit(c, top);
    while (!stack.empty()) {
        TLevel& level = stack.back();
        if (level.Next == level.End) {
            stack.pop_back();
            continue;
        }
        const std::uint32_t at = level.Next++;
        if (level.FromSeeker) {
            const TConceptData child = std::move(level.Asked[at]);
            visit(child, false);
        } else {
            TConceptData child;
            s.FillItem(s.Children[at], child);
            visit(child, false);
        }
    }
}

std::string TDataModuleExport::MakeCSVLine(const TConceptData& c, bool top) {
    std::string line;
    AppendCSVLine(line, c, top);
    return line;
}

void TDataModuleExport::AppendCSVLine(std::string& out, const TConceptData& c, bool top) {
    if (!DsMainConcept.Locate(store::kFieldRecordNo, TValue(c.ConceptNo()))) {
        throw store::EUnableToFind::CreateConcept(c.ConceptNo());
    }
    std::string labels;
    bool first = true;
    for (DsAssociations.First(); !DsAssociations.Eof(); DsAssociations.Next()) {
        if (!first) {
            labels += kCrLf;
        }
        first = false;
        labels += DsTerm.Fields(m_termString).AsString();
    }
    const std::int32_t parentNo = DsMainConcept.Fields(m_parentNo).AsInteger();
    const std::string parent = top || parentNo == 0
                                   ? std::string(kNull)
                                   : DsParentConcept.Fields(m_parentIdentifier).AsString();

    AppendQuoted(out, DsMainConcept.Fields(m_title).AsString());
    out += ',';
    AppendQuoted(out, DsMainConcept.Fields(m_description).AsString());
    out += ',';
    AppendQuoted(out, DsMainConcept.Fields(m_comment).AsString());
    out += ',';
    AppendQuoted(out, labels);
    out += ',';
    AppendQuoted(out, DsMainConcept.Fields(m_editor).AsString());
    out += ',';
    AppendQuoted(out, DsMainConcept.Fields(m_identifier).AsString());
    out += ',';
    AppendQuoted(out, parent);
}

void TDataModuleExport::SaveFile(const std::string& path,
                                 std::initializer_list<std::string_view> parts) {
    store::TFileReplacement file(*m_fileSystem, path);
    for (const std::string_view part : parts) {
        file.Write(part);
    }
    file.Commit();
}

}  // namespace velmora::exchange
