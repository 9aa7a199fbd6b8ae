#include "data_module.h"

#include <algorithm>
#include <deque>

#include "code_page.h"
#include "ontology.h"
#include "ontology_tables.h"
#include "store_exceptions.h"

namespace velmora::store {
namespace {

const std::string& NewConceptTitle() {
    static const std::string title = Utf8ToCp932("新規の概念");
    return title;
}

EVelmoraError Failure(const char* text, std::int32_t no) {
    return EVelmoraError(text + std::to_string(no));
}

TValue Int(std::int32_t n) {
    return TValue(n);
}

// Until the program says otherwise, an existing file is never replaced without asking.
TQuestioner& NoOverwrite() {
    static TFixedAnswer answer(TAnswer::No);
    return answer;
}

}  // namespace

TSimpleStoreContext::TSimpleStoreContext() : m_userName(Utf8ToCp932("無記名")) {}

std::string TSimpleStoreContext::ConceptDescrDefault() const {
    return m_ontology ? m_ontology->ConceptDescrDefault() : m_descrDefault;
}

std::string TSimpleStoreContext::ConceptCommentDefault() const {
    return m_ontology ? m_ontology->ConceptCommentDefault() : m_commentDefault;
}

TDataModule1::TDataModule1(const TStoreContext& context)
    : DtStOriginalConcepts(std::string(kDtStOriginalConcepts), ConceptsFieldDefs(),
                           std::string(kConceptsDefaultIndex)),
      DtStOriginalLinkType(std::string(kDtStOriginalLinkType), LinkTypeFieldDefs()),
      DtStOriginalNetWork(std::string(kDtStOriginalNetWork), NetWorkFieldDefs()),
      DtStOriginalTerms(std::string(kDtStOriginalTerms), TermsFieldDefs()),
      DtStOriginalAssociation(std::string(kDtStOriginalAssociation), AssociationFieldDefs()),
      m_context(context),
      m_fileSystem(&RealFileSystem()),
      m_questioner(&NoOverwrite()),
      m_tables{&DtStOriginalConcepts, &DtStOriginalLinkType, &DtStOriginalNetWork,
               &DtStOriginalTerms, &DtStOriginalAssociation} {}

// ---------------------------------------------------------------------------------------------
// Life cycle

void TDataModule1::CreateTables() {
    for (TTable* table : m_tables) {
        table->CreateDataSet();
    }
    for (const TLinkTypeRow& row : DefaultLinkTypes()) {
        DtStOriginalLinkType.AppendRecord({row.LinkCode, row.LinkTitle, row.Comment});
    }
    AttachTables();
}

void TDataModule1::AttachTables() {
    DtStOriginalConcepts.First();
    m_assocOfConcept.CloneCursor(DtStOriginalAssociation, true);
    m_assocOfTerm.CloneCursor(DtStOriginalAssociation, true);
    for (const TAttachListener& listener : m_attachListeners) {
        listener(*this);
    }
}

void TDataModule1::CloseTables() {
    for (TTable* table : m_tables) {
        table->Close();
    }
}

void TDataModule1::AddAttachListener(TAttachListener listener) {
    m_attachListeners.push_back(std::move(listener));
}

std::int32_t TDataModule1::BuildNewOntology(const std::string& target,
                                            std::span<const std::string> subCategories) {
    CreateTables();
    const std::int32_t top = AppendConcept(target, 0, target);
    for (const std::string& sub : subCategories) {
        if (!sub.empty()) {
            AppendConcept(sub, top, sub);
        }
    }
    return top;
}

std::int32_t BuildWizardOntology(TDataModule1& store, TOntology& ontology,
                                 const TWizardFields& fields, TDateTime now) {
    ontology.SetTarget(fields.Target);
    ontology.SetTitle(fields.Title);
    ontology.SetCommunity(fields.Community);
    ontology.SetDescription(fields.Description);
    ontology.SetCreator(fields.Creator);
    ontology.SetCreatedDay(TimeOfDayText(now));
    ontology.SetCanUndo(false);
    ontology.SetModified(true);
    const std::int32_t top = store.BuildNewOntology(fields.Target, fields.SubCategories);
    store.MergeChangeLogs();
    return top;
}

std::unique_ptr<TSavePoint> TDataModule1::TakeSavePoint(const TConceptData& current) {
    auto point = std::make_unique<TSavePoint>(current);
    point->ConceptsSavePoint = DtStOriginalConcepts.SavePoint();
    point->LinkTypeSavePoint = DtStOriginalLinkType.SavePoint();
    point->NetWorkSavePoint = DtStOriginalNetWork.SavePoint();
    point->TermsSavePoint = DtStOriginalTerms.SavePoint();
    point->AssociationSavePoint = DtStOriginalAssociation.SavePoint();
    return point;
}

void TDataModule1::MergeChangeLogs() {
    for (TTable* table : m_tables) {
        table->MergeChangeLog();
    }
}

void TDataModule1::RollBackTo(const TSavePoint& point) {
    DtStOriginalConcepts.SetSavePoint(point.ConceptsSavePoint);
    DtStOriginalLinkType.SetSavePoint(point.LinkTypeSavePoint);
    DtStOriginalNetWork.SetSavePoint(point.NetWorkSavePoint);
    DtStOriginalTerms.SetSavePoint(point.TermsSavePoint);
    DtStOriginalAssociation.SetSavePoint(point.AssociationSavePoint);
}

// ---------------------------------------------------------------------------------------------
// Concepts

bool TDataModule1::LocateConcept(std::int32_t no) {
    return DtStOriginalConcepts.Locate(kFieldRecordNo, Int(no));
}

std::int32_t TDataModule1::AppendConcept(const std::string& title, std::int32_t parentNo,
                                         const std::string& termString) {
    TTable& c = DtStOriginalConcepts;
    const TDateTime now = m_context.Now();
    c.Append();
    c.FieldByName(kFieldTitle).SetAsString(title);
    c.FieldByName(kFieldParentNo).SetAsInteger(parentNo);
    c.FieldByName(kFieldIconPosX).SetAsInteger(kNotPlaced);
    c.FieldByName(kFieldIconPosY).SetAsInteger(kNotPlaced);
    c.FieldByName(kFieldDateCreation).SetAsDateTime(now);
    c.FieldByName(kFieldDateEdition).SetAsDateTime(now);
    c.FieldByName(kFieldEditor).SetAsString(m_context.UserName());
    c.FieldByName(kFieldListOrder).SetAsInteger(kNotOrdered);
    c.FieldByName(kFieldDescription).SetAsString(m_context.ConceptDescrDefault());
    c.FieldByName(kFieldComment).SetAsString(m_context.ConceptCommentDefault());
    StampIdentifierOfNewConcept();
    c.Post();
    const std::int32_t no = c.FieldByName(kFieldRecordNo).AsInteger();
    if (!termString.empty()) {
        AppendAssociation(no, FindOrAddLabel(termString));
    }
    return no;
}

std::unique_ptr<TConceptData> TDataModule1::AddNewConcept(const TConceptData& parent) {
    const std::string& base = NewConceptTitle();
    std::string title = base;
    for (int retry = 2; DtStOriginalConcepts.Locate("TITLE;PARENT_NO", {title, parent.ConceptNo()});
         ++retry) {
        title = base + "(" + std::to_string(retry) + ")";
    }
    const std::int32_t no = AppendConcept(title, parent.ConceptNo(), "");
    auto item = std::make_unique<TConceptData>();
    item->SetConceptNo(no);
    item->SetIsLink(false);
    item->SetHasChildren(false);
    item->SetTitle(title);
    item->IconPos = TIconPoint{};
    return item;
}

void TDataModule1::StampIdentifier() {
    TTable& c = DtStOriginalConcepts;
    const std::string identifier = ConceptIdentifier(c.FieldByName(kFieldRecordNo).AsInteger(),
                                                     c.FieldByName(kFieldTitle).AsString());
    c.Edit();
    c.FieldByName(kFieldIdentifier).SetAsString(identifier);
    c.Post();
}

void TDataModule1::StampIdentifierOfNewConcept() {
    TTable& c = DtStOriginalConcepts;
    c.FieldByName(kFieldIdentifier)
        .SetAsString(ConceptIdentifier(c.AutoIncValue(), c.FieldByName(kFieldTitle).AsString()));
}

std::unique_ptr<TConceptData> TDataModule1::GetParentConcept(const TConceptData& item) {
    std::int32_t parent = 0;
    if (item.IsLink()) {
        if (!DtStOriginalNetWork.Locate(kFieldRecordNo, Int(item.LinkNo))) {
            throw Failure("DATA ERROR: 要求されたレコードは既にデータベースに存在しません. Link;",
                          item.LinkNo);
        }
        parent = DtStOriginalNetWork.FieldByName(kFieldRecordNoFrom).AsInteger();
    } else {
        if (!LocateConcept(item.ConceptNo())) {
            throw Failure(
                "DATA ERROR: 要求されたレコードは既にデータベースに存在しません. Concept;",
                item.ConceptNo());
        }
        parent = DtStOriginalConcepts.FieldByName(kFieldParentNo).AsInteger();
    }
    if (parent == 0) {
        return nullptr;
    }
    if (!LocateConcept(parent)) {
        throw EVelmoraError(
            "DATA ERROR: 要求されたレコードの上位概念レコードがデータベースに存在しません.");
    }
    TTable& c = DtStOriginalConcepts;
    auto result = std::make_unique<TConceptData>();
    result->SetConceptNo(parent);
    result->SetIsLink(false);
    result->SetHasChildren(true);
    result->SetTitle(c.FieldByName(kFieldTitle).AsString());
    result->IconPos = {c.FieldByName(kFieldIconPosX).AsInteger(),
                       c.FieldByName(kFieldIconPosY).AsInteger()};
    return result;
}

std::int32_t TDataModule1::GetParentNo(std::int32_t conceptNo) {
    if (!LocateConcept(conceptNo)) {
        throw EUnableToFind::CreateConcept(conceptNo);
    }
    return DtStOriginalConcepts.FieldByName(kFieldParentNo).AsInteger();
}

std::int32_t TDataModule1::GetLinkTarget(std::int32_t linkNo) {
    if (!DtStOriginalNetWork.Locate(kFieldRecordNo, Int(linkNo))) {
        throw EUnableToFind::CreateLink(linkNo);
    }
    return DtStOriginalNetWork.FieldByName(kFieldRecordNoTo).AsInteger();
}

bool TDataModule1::LocateItem(const TConceptData& item) {
    if (item.IsLink()) {
        return DtStOriginalNetWork.Locate(kFieldRecordNo, Int(item.LinkNo));
    }
    return LocateConcept(item.ConceptNo());
}

void TDataModule1::StoreIconPosition(const TConceptData& item) {
    if (!LocateItem(item)) {
        // The view outlived its record (deleted meanwhile): nothing to keep the place for.
        return;
    }
    TTable& table = item.IsLink() ? DtStOriginalNetWork : DtStOriginalConcepts;
    if (table.FieldByName(kFieldIconPosX).AsInteger() == item.IconPos.X &&
        table.FieldByName(kFieldIconPosY).AsInteger() == item.IconPos.Y) {
        return;
    }
    table.Edit();
    table.FieldByName(kFieldIconPosX).SetAsInteger(item.IconPos.X);
    table.FieldByName(kFieldIconPosY).SetAsInteger(item.IconPos.Y);
    table.Post();
}

// ---------------------------------------------------------------------------------------------
// Mirror images

std::int32_t TDataModule1::AppendMirrorImage(const TConceptData& item, std::int32_t linkCode) {
    if (!LocateConcept(item.ConceptNo())) {
        throw EUnableToFind::CreateConcept(item.ConceptNo());
    }
    const std::int32_t parent = DtStOriginalConcepts.FieldByName(kFieldParentNo).AsInteger();
    TTable& n = DtStOriginalNetWork;
    n.Append();
    n.FieldByName(kFieldRecordNoFrom).SetAsInteger(parent);
    n.FieldByName(kFieldRecordNoTo).SetAsInteger(item.ConceptNo());
    n.FieldByName(kFieldLinkCode).SetAsInteger(linkCode);
    n.FieldByName(kFieldIconPosX).SetAsInteger(kNotPlaced);
    n.FieldByName(kFieldIconPosY).SetAsInteger(kNotPlaced);
    n.Post();
    return n.FieldByName(kFieldRecordNo).AsInteger();
}

// ---------------------------------------------------------------------------------------------
// Deletion

void TDataModule1::DeleteItem(const TConceptData& item) {
    if (item.IsLink()) {
        DeleteLink(item.LinkNo);
    } else {
        DeleteConceptTree(item.ConceptNo());
    }
}

void TDataModule1::DeleteLink(std::int32_t linkNo) {
    if (DtStOriginalNetWork.Locate(kFieldRecordNo, Int(linkNo))) {
        DtStOriginalNetWork.Delete();
    }
}

void TDataModule1::DeleteConceptRecord(std::int32_t no) {
    TTable& n = DtStOriginalNetWork;
    while (n.Locate(kFieldRecordNoFrom, Int(no))) {
        n.Delete();
    }
    while (n.Locate(kFieldRecordNoTo, Int(no))) {
        n.Delete();
    }
    TTable& a = DtStOriginalAssociation;
    while (a.Locate(kFieldConceptNo, Int(no))) {
        DeleteAssociation(a.FieldByName(kFieldRecordNo).AsInteger());
    }
    if (!LocateConcept(no)) {
        throw Failure("ERROR: 削除エラー: 項目が見つかりません.Concept_", no);
    }
    DtStOriginalConcepts.Delete();
}

void TDataModule1::DeleteConceptTree(std::int32_t no) {
    // Breadth first: a level is gone before the one below it is touched.
    DeleteConceptRecord(no);
    std::deque<std::int32_t> queue{no};
    TTable& c = DtStOriginalConcepts;
    while (!queue.empty()) {
        const std::int32_t parent = queue.front();
        while (c.Locate(kFieldParentNo, Int(parent))) {
            const std::int32_t child = c.FieldByName(kFieldRecordNo).AsInteger();
            DeleteConceptRecord(child);
            queue.push_back(child);
        }
        queue.pop_front();
    }
}

void TDataModule1::DeleteAssociation(std::int32_t assocNo) {
    TTable& a = DtStOriginalAssociation;
    if (!a.Locate(kFieldRecordNo, Int(assocNo))) {
        throw Failure("ERROR: 削除エラー: 項目が見つかりません.Assoc_", assocNo);
    }
    const std::int32_t term = a.FieldByName(kFieldTermNo).AsInteger();
    a.Delete();
    if (a.Locate(kFieldTermNo, Int(term))) {
        return;  // the label is still in use
    }
    if (!DtStOriginalTerms.Locate(kFieldTermNo, Int(term))) {
        throw Failure("ERROR: 削除エラー: 項目が見つかりません.Term_", term);
    }
    DtStOriginalTerms.Delete();
}

// ---------------------------------------------------------------------------------------------
// Language labels

std::string TDataModule1::LabelAsStored(std::string_view text) {
    return TextAsStored(text, kTermStringWidth);
}

std::int32_t TDataModule1::FindLabel(std::string_view text) {
    TTable& t = DtStOriginalTerms;
    const std::string stored = LabelAsStored(text);
    if (t.Locate(kFieldTermString, TValue(stored))) {
        return t.FieldByName(kFieldTermNo).AsInteger();
    }
    // Files written before cuts kept whole characters hold the label cut at exactly 20 bytes,
    // perhaps inside a character: such a record is the same label.
    if (text.size() > kTermStringWidth) {
        std::string byteCut(text.substr(0, kTermStringWidth));
        while (!byteCut.empty() && byteCut.back() == ' ') {
            byteCut.pop_back();
        }
        if (byteCut != stored && t.Locate(kFieldTermString, TValue(byteCut))) {
            return t.FieldByName(kFieldTermNo).AsInteger();
        }
    }
    return 0;
}

std::int32_t TDataModule1::FindOrAddLabel(const std::string& text, bool* added) {
    std::int32_t term = FindLabel(text);
    if (added) {
        *added = term == 0;
    }
    if (term == 0) {
        TTable& t = DtStOriginalTerms;
        t.Append();
        t.FieldByName(kFieldTermString).SetAsString(text);
        t.Post();
        term = t.FieldByName(kFieldTermNo).AsInteger();
    }
    return term;
}

void TDataModule1::AppendAssociation(std::int32_t conceptNo, std::int32_t termNo) {
    TTable& a = DtStOriginalAssociation;
    a.Append();
    a.FieldByName(kFieldConceptNo).SetAsInteger(conceptNo);
    a.FieldByName(kFieldTermNo).SetAsInteger(termNo);
    a.Post();
}

std::int32_t TDataModule1::FindConceptLabel(std::int32_t conceptNo, std::string_view storedText) {
    m_assocOfConcept.SetFilter(std::string(kFieldConceptNo) + " = " + std::to_string(conceptNo));
    m_assocOfConcept.SetFiltered(true);
    TTable& t = DtStOriginalTerms;
    for (m_assocOfConcept.First(); !m_assocOfConcept.Eof(); m_assocOfConcept.Next()) {
        if (t.Locate(kFieldTermNo, Int(m_assocOfConcept.FieldByName(kFieldTermNo).AsInteger())) &&
            t.FieldByName(kFieldTermString).AsString() == storedText) {
            return m_assocOfConcept.FieldByName(kFieldRecordNo).AsInteger();
        }
    }
    return 0;
}

bool TDataModule1::AddLabelToConcept(std::int32_t conceptNo, const std::string& text,
                                     bool* newTerm) {
    const std::int32_t term = FindOrAddLabel(text, newTerm);
    if (DtStOriginalAssociation.Locate("CONCEPT_NO;TERM_NO", {conceptNo, term})) {
        return false;
    }
    AppendAssociation(conceptNo, term);
    return true;
}

void TDataModule1::AddTermToConcept(std::int32_t conceptNo, const std::string& text) {
    AppendAssociation(conceptNo, FindOrAddLabel(text));
}

int TDataModule1::CountTermUse(std::int32_t termNo) {
    // The count of a filtered cursor comes from the index, not from a walk of the table.
    m_assocOfTerm.SetFilter(std::string(kFieldTermNo) + " = " + std::to_string(termNo));
    m_assocOfTerm.SetFiltered(true);
    return m_assocOfTerm.RecordCount();
}

void TDataModule1::ReplaceConceptTerm(std::int32_t conceptNo, const std::string& oldText,
                                      const std::string& newText) {
    // The concept's labels in the association table's own order (a filtered cursor without an
    // index keeps the order of addition).
    std::vector<std::int32_t> terms;
    m_assocOfConcept.SetFilter(std::string(kFieldConceptNo) + " = " + std::to_string(conceptNo));
    m_assocOfConcept.SetFiltered(true);
    for (m_assocOfConcept.First(); !m_assocOfConcept.Eof(); m_assocOfConcept.Next()) {
        terms.push_back(m_assocOfConcept.FieldByName(kFieldTermNo).AsInteger());
    }
    if (terms.empty()) {
        AddTermToConcept(conceptNo, newText);
        return;
    }
    const std::string oldStored = LabelAsStored(oldText);
    const std::string newStored = LabelAsStored(newText);
    if (oldStored == newStored) {
        return;  // the label would not change
    }
    TTable& t = DtStOriginalTerms;
    for (const std::int32_t term : terms) {
        if (!t.Locate(kFieldTermNo, Int(term)) ||
            t.FieldByName(kFieldTermString).AsString() != oldStored) {
            continue;
        }
        // Renamed in place only when no other record holds the new text already: two records
        // of one text would never be found again as one label.
        const std::int32_t holder = FindLabel(newStored);
        if (CountTermUse(term) == 1 && holder == 0) {
            t.Locate(kFieldTermNo, Int(term));
            t.Edit();
            t.FieldByName(kFieldTermString).SetAsString(newText);
            t.Post();
            continue;
        }
        if (DtStOriginalAssociation.Locate("CONCEPT_NO;TERM_NO", {conceptNo, term})) {
            DeleteAssociation(DtStOriginalAssociation.FieldByName(kFieldRecordNo).AsInteger());
        }
        AddLabelToConcept(conceptNo, newText);
    }
}

int TDataModule1::MergeDuplicateLabels() {
    // The first record of each text in TERM_NO order keeps it.
    std::vector<std::pair<std::string, std::int32_t>> byText;
    TCursor terms;
    terms.CloneCursor(DtStOriginalTerms, true);
    terms.SetIndexFieldNames(kFieldTermNo);
    for (terms.First(); !terms.Eof(); terms.Next()) {
        byText.emplace_back(terms.FieldByName(kFieldTermString).AsString(),
                            terms.FieldByName(kFieldTermNo).AsInteger());
    }
    std::stable_sort(byText.begin(), byText.end(),
                     [](const auto& x, const auto& y) { return x.first < y.first; });
    int removed = 0;
    TTable& a = DtStOriginalAssociation;
    for (std::size_t i = 1, first = 0; i < byText.size(); ++i) {
        if (byText[i].first != byText[first].first) {
            first = i;
            continue;
        }
        const std::int32_t keep = byText[first].second;
        const std::int32_t drop = byText[i].second;
        while (a.Locate(kFieldTermNo, Int(drop))) {
            const std::int32_t owner = a.FieldByName(kFieldConceptNo).AsInteger();
            if (a.Locate("CONCEPT_NO;TERM_NO", {owner, keep})) {
                a.Locate("CONCEPT_NO;TERM_NO", {owner, drop});
                a.Delete();  // the concept carries the label already
            } else {
                a.Locate("CONCEPT_NO;TERM_NO", {owner, drop});
                a.Edit();
                a.FieldByName(kFieldTermNo).SetAsInteger(keep);
                a.Post();
            }
        }
        if (DtStOriginalTerms.Locate(kFieldTermNo, Int(drop))) {
            DtStOriginalTerms.Delete();
            ++removed;
        }
    }
    return removed;
}

// ---------------------------------------------------------------------------------------------
// Merging

void TDataModule1::MergeConcepts(const TConceptList& items, TConceptData* result) {
    if (items.Count() == 0) {
        return;
    }
    TTable& c = DtStOriginalConcepts;
    const auto require = [&](std::int32_t no) {
        if (!LocateConcept(no)) {
            throw Failure("ERROR: データベースに要求された概念項目が見つかりません. ", no);
        }
    };
    const std::string separator = "\r\n//\r\n";
    require(items[0].ConceptNo());
    std::string title = c.FieldByName(kFieldTitle).AsString();
    std::string description = c.FieldByName(kFieldDescription).AsString();
    std::string comment = c.FieldByName(kFieldComment).AsString();
    for (int k = 1; k < items.Count(); ++k) {
        require(items[k].ConceptNo());
        title += '/';
        title += c.FieldByName(kFieldTitle).AsString();
        const std::string d = c.FieldByName(kFieldDescription).AsString();
        if (!d.empty()) {
            description += separator + d;
        }
        const std::string m = c.FieldByName(kFieldComment).AsString();
        if (!m.empty()) {
            comment += separator + m;
        }
    }

    require(items[0].ConceptNo());
    const std::int32_t merged = AppendConcept(title, c.FieldByName(kFieldParentNo).AsInteger(), "");
    require(merged);
    c.Edit();
    c.FieldByName(kFieldDescription).SetAsString(description);
    c.FieldByName(kFieldComment).SetAsString(comment);
    c.Post();

    TTable& n = DtStOriginalNetWork;
    TTable& a = DtStOriginalAssociation;
    bool moved = false;
    for (int k = 0; k < items.Count(); ++k) {
        const std::int32_t old = items[k].ConceptNo();
        // Child concepts keep their list order; the next listing renumbers the level.
        while (c.Locate(kFieldParentNo, Int(old))) {
            moved = true;
            c.Edit();
            c.FieldByName(kFieldParentNo).SetAsInteger(merged);
            c.Post();
        }
        // Mirror images placed under the old concept.
        while (n.Locate(kFieldRecordNoFrom, Int(old))) {
            const std::int32_t to = n.FieldByName(kFieldRecordNoTo).AsInteger();
            if (to == merged) {
                n.Delete();  // it would show the new concept under itself
            } else if (n.Locate("RECORD_NO_FROM;RECORD_NO_TO", {merged, to})) {
                n.Delete();  // the older duplicate goes; the next round re-points this one
            } else {
                moved = true;
                n.Edit();
                n.FieldByName(kFieldRecordNoFrom).SetAsInteger(merged);
                n.Post();
            }
        }
        // Mirror images of the old concept.
        while (n.Locate(kFieldRecordNoTo, Int(old))) {
            const std::int32_t from = n.FieldByName(kFieldRecordNoFrom).AsInteger();
            if (from == merged) {
                n.Delete();
            } else if (n.Locate("RECORD_NO_FROM;RECORD_NO_TO", {from, merged})) {
                n.Delete();
            } else {
                moved = true;
                n.Edit();
                n.FieldByName(kFieldRecordNoTo).SetAsInteger(merged);
                n.Post();
            }
        }
        // Language labels pass to the new concept once each, compared by their text: two terms
        // records of one text (written before labels were looked up as stored) count as one.
        while (a.Locate(kFieldConceptNo, Int(old))) {
            const std::int32_t term = a.FieldByName(kFieldTermNo).AsInteger();
            const std::int32_t assoc = a.FieldByName(kFieldRecordNo).AsInteger();
            std::int32_t older = 0;
            if (a.Locate("CONCEPT_NO;TERM_NO", {merged, term})) {
                older = a.FieldByName(kFieldRecordNo).AsInteger();
            } else if (DtStOriginalTerms.Locate(kFieldTermNo, Int(term))) {
                older = FindConceptLabel(
                    merged, DtStOriginalTerms.FieldByName(kFieldTermString).AsString());
            }
            if (older != 0) {
                DeleteAssociation(older);  // also the older label's record when now unused
            } else if (a.Locate(kFieldRecordNo, Int(assoc))) {
                a.Edit();
                a.FieldByName(kFieldConceptNo).SetAsInteger(merged);
                a.Post();
            }
        }
        if (LocateConcept(old)) {
            c.Delete();
        }
    }

    if (result) {
        result->SetIsLink(false);
        result->SetConceptNo(merged);
        result->SetTitle(items[0].Title());
        result->SetHasChildren(moved);
    }
}

}  // namespace velmora::store
