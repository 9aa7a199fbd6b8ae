#include "ontology_properties.h"

#include <set>
#include <utility>

#include "code_page.h"

namespace velmora::store {

namespace {

constexpr std::string_view kSeparator = "    --------------------------------------";

// A cursor of its own over a table in order of addition, so that the walk neither depends on
// nor moves the current record others keep on the shared table.
void OpenInTableOrder(TCursor& cursor, TTable& table) {
    cursor.CloneCursor(table, true);
}

}  // namespace

// --- Metadata

TOntologyMetadata ReadOntologyMetadata(const TOntology& ontology) {
    TOntologyMetadata m;
    m.Title = ontology.Title();
    m.Target = ontology.Target();
    m.Creator = ontology.Creator();
    m.Description = ontology.Description();
    m.Community = ontology.Community();
    m.ConceptDescrDefault = ontology.ConceptDescrDefault();
    m.ConceptCommentDefault = ontology.ConceptCommentDefault();
    return m;
}

void WriteOntologyMetadata(TOntology& ontology, const TOntologyMetadata& metadata) {
    ontology.SetTitle(metadata.Title);
    ontology.SetTarget(metadata.Target);
    ontology.SetCreator(metadata.Creator);
    ontology.SetDescription(metadata.Description);
    ontology.SetCommunity(metadata.Community);
    ontology.SetConceptDescrDefault(metadata.ConceptDescrDefault);
    ontology.SetConceptCommentDefault(metadata.ConceptCommentDefault);
    ontology.SetModified(true);
}

std::optional<TMetadataProblem> CheckOntologyMetadata(const TOntologyMetadata& metadata) {
    if (metadata.Title.empty()) {
        return TMetadataProblem{TMetadataField::Title, "オントロジーのタイトルが空白です."};
    }
    if (metadata.Target.empty()) {
        return TMetadataProblem{TMetadataField::Target, "オントロジーのターゲットが空白です."};
    }
    if (metadata.Community.empty()) {
        return TMetadataProblem{TMetadataField::Community, "オントロジーのコミュニティが空白です."};
    }
    return std::nullopt;
}

// --- Link types

TOntologyLinkTypes::TOntologyLinkTypes(TDataModule1& store, std::function<void()> takeSavePoint)
    : m_store(store), m_takeSavePoint(std::move(takeSavePoint)) {}

std::vector<TLinkTypeRow> TOntologyLinkTypes::Rows() {
    TCursor types;
    OpenInTableOrder(types, m_store.DtStOriginalLinkType);
    const TField code = types.FieldByName(kFieldLinkCode);
    const TField title = types.FieldByName(kFieldLinkTitle);
    const TField comment = types.FieldByName(kFieldComment);
    std::vector<TLinkTypeRow> rows;
    for (types.First(); !types.Eof(); types.Next()) {
        rows.push_back({code.AsInteger(), title.AsString(), comment.AsString()});
    }
    return rows;
}

std::optional<TLinkTypeRow> TOntologyLinkTypes::Find(std::int32_t code) {
    TCursor types;
    OpenInTableOrder(types, m_store.DtStOriginalLinkType);
    if (!types.Locate(kFieldLinkCode, TValue(code))) {
        return std::nullopt;
    }
    return TLinkTypeRow{code, types.FieldByName(kFieldLinkTitle).AsString(),
                        types.FieldByName(kFieldComment).AsString()};
}

std::int32_t TOntologyLinkTypes::SmallestFreeCode() {
    std::set<std::int32_t> taken;
    for (const TLinkTypeRow& row : Rows()) {
        taken.insert(row.LinkCode);
    }
    std::int32_t code = 1;
    while (taken.contains(code)) {
        ++code;
    }
    return code;
}

bool TOntologyLinkTypes::IsUsed(std::int32_t code) {
    TCursor network;
    OpenInTableOrder(network, m_store.DtStOriginalNetWork);
    return network.Locate(kFieldLinkCode, TValue(code));
}

bool TOntologyLinkTypes::LocateCode(std::int32_t code) {
    return m_store.DtStOriginalLinkType.Locate(kFieldLinkCode, TValue(code));
}

std::int32_t TOntologyLinkTypes::Add(const std::string& title, const std::string& comment) {
    const std::int32_t code = SmallestFreeCode();
    m_takeSavePoint();
    m_store.DtStOriginalLinkType.AppendRecord({code, title, comment});
    return code;
}

bool TOntologyLinkTypes::Edit(std::int32_t code, const std::string& title,
                              const std::string& comment) {
    if (!Find(code)) {
        return false;
    }
    m_takeSavePoint();
    // Located after the save point: taking it completes any pending edit of the table.
    TTable& types = m_store.DtStOriginalLinkType;
    if (!LocateCode(code)) {
        return false;
    }
    types.Edit();
    types.FieldByName(kFieldLinkTitle).SetAsString(title);
    types.FieldByName(kFieldComment).SetAsString(comment);
    types.Post();
    return true;
}

TLinkTypeDeletion TOntologyLinkTypes::Delete(std::int32_t code) {
    if (!IsUserDefinedLinkCode(code)) {
        return TLinkTypeDeletion::DefaultType;
    }
    if (!Find(code)) {
        return TLinkTypeDeletion::Missing;
    }
    // A mirror image must keep a relation it can name.
    if (IsUsed(code)) {
        return TLinkTypeDeletion::InUse;
    }
    m_takeSavePoint();
    if (!LocateCode(code)) {
        return TLinkTypeDeletion::Missing;
    }
    m_store.DtStOriginalLinkType.Delete();
    return TLinkTypeDeletion::Deleted;
}

// --- Information page

TLatestEdit FindLatestEdit(TDataModule1& store) {
    TCursor concepts;
    concepts.CloneCursor(store.DtStOriginalConcepts, true);
    concepts.SetIndexFieldNames(kConceptsDefaultIndex);
    const TField no = concepts.FieldByName(kFieldRecordNo);
    const TField edited = concepts.FieldByName(kFieldDateEdition);
    const TField editor = concepts.FieldByName(kFieldEditor);
    TLatestEdit latest;
    for (concepts.First(); !concepts.Eof(); concepts.Next()) {
        const TDateTime when = edited.AsDateTime();
        if (!latest.Found || when > latest.When) {
            latest.Found = true;
            latest.When = when;
            latest.ConceptNo = no.AsInteger();
            latest.Editor = editor.AsString();
        }
    }
    return latest;
}

std::vector<std::string> OntologyInformationLines(
    TDataModule1& store, const TOntology& ontology,
    const std::function<std::string(TDateTime)>& dateTimeText) {
    const TLatestEdit latest = FindLatestEdit(store);
    const auto label = [](std::string_view utf8) { return Utf8ToCp932(utf8); };
    const auto count = [](TCursor& table) { return std::to_string(table.RecordCount()); };
    const std::string separator(kSeparator);
    return {
        "",
        "  " + ontology.Title(),
        "",
        separator,
        label("    概念項目数:    ") + count(store.DtStOriginalConcepts),
        label("    鏡像項目数:    ") + count(store.DtStOriginalNetWork),
        label("    登録言語ラベル数:    ") + count(store.DtStOriginalTerms),
        separator,
        label("    作成者:    ") + "\"" + ontology.Creator() + "\"",
        label("    作成日時:    ") + ontology.CreatedDay(),
        separator,
        label("    最終編集者:    ") + "\"" + latest.Editor + "\"",
        label("    最終編集日時:    ") + (latest.Found ? dateTimeText(latest.When) : std::string()),
        separator,
    };
}

}  // namespace velmora::store
