#include "csv_export.h"

#include <unistd.h>

#include <atomic>
#include <memory>
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

// A name beside the target that no other export uses at the same time; hidden, so that a
// leftover after a crash does not look like a result.
std::string TemporaryNameFor(const std::string& path) {
    static std::atomic<unsigned> counter{0};
    return store::DirectoryOf(path) + "/." + store::NameOf(path) + ".exporting-" +
           std::to_string(::getpid()) + "-" + std::to_string(++counter);
}

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

void TExportLines::Add(std::string line, const TConceptData& item) {
    TConceptData copy;
    copy.Assign(item);
    m_items.push_back(std::move(copy));
    m_lines.push_back(std::move(line));
    m_written.insert(item.ConceptNo());
}

std::string TExportLines::FileText() const {
    std::size_t size = CsvHeaderLine().size() + kCrLf.size();
    for (const std::string& line : m_lines) {
        size += line.size() + kCrLf.size();
    }
    std::string text;
    text.reserve(size);
    text += CsvHeaderLine();
    text += kCrLf;
    for (const std::string& line : m_lines) {
        text += line;
        text += kCrLf;
    }
    return text;
}

TDataModuleExport::TDataModuleExport(store::TDataModule1& store, engine::TDataModuleSeeker& seeker)
    : m_store(store), m_seeker(seeker), m_fileSystem(&store::RealFileSystem()) {}

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
    SaveFile(path, lines.FileText());
    return lines.Count();
}

void TDataModuleExport::OpenExportCursors() {
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

void TDataModuleExport::AppendSubtree(const TConceptData& c, TExportLines& lines, bool top) {
    if (lines.Contains(c.ConceptNo())) {
        return;
    }
    lines.Add(MakeCSVLine(c, top), c);

    // The walk keeps its own stack of children lists: the seeker holds one answer at a time,
    // and recursion would tie the depth of the hierarchy to the depth of the call stack.
    struct TLevel {
        std::vector<TConceptData> Items;
        std::size_t Next = 0;
    };
    std::vector<TLevel> stack;
    const auto pushChildren = [&](std::int32_t conceptNo) {
        m_seeker.SetSeekMode(engine::smChildren);
        m_seeker.SetSeekNo(conceptNo);
        const TConceptList& children = m_seeker.GetItems();
        if (children.Count() == 0) {
            return;
        }
        TLevel level;
        level.Items.resize(static_cast<std::size_t>(children.Count()));
        for (int i = 0; i < children.Count(); ++i) {
            level.Items[static_cast<std::size_t>(i)].Assign(children[i]);
        }
        stack.push_back(std::move(level));
    };
    pushChildren(c.ConceptNo());
    while (!stack.empty()) {
        TLevel& level = stack.back();
        if (level.Next == level.Items.size()) {
            stack.pop_back();
            continue;
        }
        const TConceptData child = std::move(level.Items[level.Next++]);
        if (lines.Contains(child.ConceptNo())) {
            continue;
        }
        lines.Add(MakeCSVLine(child, false), child);
        // The seeker's own has-children test made this flag just now; a leaf, the most common
        // item by far, needs no question of its own.
        if (child.HasChildren()) {
            pushChildren(child.ConceptNo());
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

void TDataModuleExport::SaveFile(const std::string& path, const std::string& bytes) {
    store::TFileSystem& fs = *m_fileSystem;
    const std::string temporary = TemporaryNameFor(path);
    std::unique_ptr<store::TFile> file = fs.CreateNew(temporary);
    try {
        file->Write(bytes.data(), bytes.size());
        file->Sync();
        file->Close();
        file.reset();
        fs.Rename(temporary, path);
    } catch (...) {
        file.reset();
        try {
            fs.Remove(temporary);
        } catch (const store::EVelmoraError&) {
            // The export has failed already; that error is the one to report.
        }
        throw;
    }
}

}  // namespace velmora::exchange
