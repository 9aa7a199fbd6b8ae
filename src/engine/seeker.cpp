#include "seeker.h"

#include <algorithm>

#include "ontology_tables.h"

namespace velmora::engine {

using store::TCursor;
using store::TValue;
using namespace std::string_view_literals;

namespace {

// Items not yet placed in a level carry this LIST_ORDER; they go to the end of the level.

void SetIndex(TCursor& cursor, std::string_view fields) {
    cursor.SetIndexFieldNames(fields);
}

void Link(TCursor& detail, std::string_view index, TCursor* master, std::string_view fields) {
    detail.SetIndexFieldNames(index);
    detail.SetMasterSource(master);
    detail.SetMasterFields(fields);
}

}  // namespace

TDataModuleSeeker::TDataModuleSeeker(store::TDataModule1& store, store::TQuestioner& questioner)
    : m_store(store), m_questioner(questioner) {
    m_store.AddAttachListener([this](store::TDataModule1& s) {
        CloneCursors(s.DtStOriginalConcepts, s.DtStOriginalNetWork);
    });
    if (m_store.DtStOriginalConcepts.Active() && m_store.DtStOriginalNetWork.Active()) {
        CloneCursors(m_store.DtStOriginalConcepts, m_store.DtStOriginalNetWork);
    }
}

void TDataModuleSeeker::CloneCursors(store::TTable& concepts, store::TTable& network) {
    m_seekResult.reset();
    // Details first lose their links so that no cursor keeps pointing at an old master.
    for (TCursor* detail : {&RelatedConceptsClds, &RelatedLinksClds, &LinkedConceptClds}) {
        detail->SetMasterFields("");
        detail->SetMasterSource(nullptr);
    }
    A_MasterConceptClds.CloneCursor(concepts, true);
    SetIndex(A_MasterConceptClds, store::kFieldRecordNo);
    B_MasterLinkClds.CloneCursor(network, true);
    SetIndex(B_MasterLinkClds, store::kFieldRecordNo);
    RelatedConceptsClds.CloneCursor(A_MasterConceptClds, true);
    RelatedLinksClds.CloneCursor(B_MasterLinkClds, true);
    LinkedConceptClds.CloneCursor(A_MasterConceptClds, true);
    SetIndex(LinkedConceptClds, store::kFieldRecordNo);
    Sub_ConceptsDlds.CloneCursor(A_MasterConceptClds, true);
    SetIndex(Sub_ConceptsDlds, store::kFieldRecordNo);
    Sub_LinksClds.CloneCursor(B_MasterLinkClds, true);
    SetIndex(Sub_LinksClds, "RECORD_NO_FROM;LIST_ORDER");
    m_walkConcepts.CloneCursor(concepts, true);
    SetIndex(m_walkConcepts, "PARENT_NO");
    m_walkLinks.CloneCursor(network, true);
    SetIndex(m_walkLinks, "RECORD_NO_FROM;LIST_ORDER");
    m_childProbe.CloneCursor(concepts, true);
    SetIndex(m_childProbe, "PARENT_NO");
}

void TDataModuleSeeker::SetSeekMode(TSeekMode mode) {
    m_seekMode = mode;
    m_seekResult.reset();
}

void TDataModuleSeeker::SetSeekNo(std::int32_t no) {
    m_seekNo = no;
    m_seekResult.reset();
}

const TConceptList& TDataModuleSeeker::GetItems() {
    if (!m_seekResult) {
        BuildSeekResult();
    }
    return *m_seekResult;
}

void TDataModuleSeeker::WireDetails() {
    for (TCursor* detail : {&RelatedConceptsClds, &RelatedLinksClds, &LinkedConceptClds}) {
        detail->SetMasterFields("");
    }
    TCursor* master = &A_MasterConceptClds;
    switch (m_seekMode) {
        case smParents:
            Link(RelatedConceptsClds, "RECORD_NO", master, "PARENT_NO");
            Link(RelatedLinksClds, "RECORD_NO_TO", master, "RECORD_NO");
            Link(LinkedConceptClds, "RECORD_NO", &RelatedLinksClds, "RECORD_NO_FROM");
            break;
        case smLevel:
            Link(RelatedConceptsClds, "PARENT_NO;LIST_ORDER", master, "PARENT_NO");
            Link(RelatedLinksClds, "RECORD_NO_FROM;LIST_ORDER", master, "PARENT_NO");
            Link(LinkedConceptClds, "RECORD_NO", &RelatedLinksClds, "RECORD_NO_TO");
            break;
        case smMirrorLevel:
            Link(RelatedConceptsClds, "PARENT_NO;LIST_ORDER", &B_MasterLinkClds, "RECORD_NO_FROM");
            Link(RelatedLinksClds, "RECORD_NO_FROM;LIST_ORDER", &B_MasterLinkClds,
                 "RECORD_NO_FROM");
            Link(LinkedConceptClds, "RECORD_NO", &RelatedLinksClds, "RECORD_NO_TO");
            break;
        case smChildren:
            Link(RelatedConceptsClds, "PARENT_NO;LIST_ORDER", master, "RECORD_NO");
            Link(RelatedLinksClds, "RECORD_NO_FROM;LIST_ORDER", master, "RECORD_NO");
            Link(LinkedConceptClds, "RECORD_NO", &RelatedLinksClds, "RECORD_NO_TO");
            break;
    }
}

void TDataModuleSeeker::AppendConceptItem(TCursor& c) {
    TConceptData& item = m_seekResult->AddNew();
    const std::int32_t no = c.FieldByName(store::kFieldRecordNo).AsInteger();
    item.SetIsLink(false);
    item.SetConceptNo(no);
    item.SetTitle(c.FieldByName(store::kFieldTitle).AsString());
    item.SetHasChildren(HasChildRecords(no));
    item.IconPos = {c.FieldByName(store::kFieldIconPosX).AsInteger(),
                    c.FieldByName(store::kFieldIconPosY).AsInteger()};
}

void TDataModuleSeeker::AppendMirrorItem() {
    TCursor& n = RelatedLinksClds;
    TCursor& k = LinkedConceptClds;
    TConceptData& item = m_seekResult->AddNew();
    item.SetIsLink(true);
    item.LinkNo = n.FieldByName(store::kFieldRecordNo).AsInteger();
    item.LinkCode = n.FieldByName(store::kFieldLinkCode).AsInteger();
    item.IconPos = {n.FieldByName(store::kFieldIconPosX).AsInteger(),
                    n.FieldByName(store::kFieldIconPosY).AsInteger()};
    // A network record whose concept is missing gives an item without concept or title.
    if (k.FindFirst()) {
        const std::int32_t no = k.FieldByName(store::kFieldRecordNo).AsInteger();
        item.SetConceptNo(no);
        item.SetTitle(k.FieldByName(store::kFieldTitle).AsString());
        item.SetHasChildren(HasChildRecords(no));
    }
}

void TDataModuleSeeker::BuildSeekResult() {
    m_seekResult = std::make_unique<TConceptList>();
    TCursor& master = m_seekMode == smMirrorLevel ? B_MasterLinkClds : A_MasterConceptClds;
    if (!master.Locate(store::kFieldRecordNo, TValue(m_seekNo))) {
        throw store::EVelmoraError("ERROR: データが見つかりません. SeekNo=\"" +
                                   std::to_string(m_seekNo) + "\"");
    }
    WireDetails();

    // Merge the two detail cursors by LIST_ORDER: at equal numbers concepts come first,
    // 10000 items follow everything numbered lower, any other number is appended last; a gap
    // or a repeat means the level is out of order.
    TCursor& concepts = RelatedConceptsClds;
    TCursor& links = RelatedLinksClds;
    const auto listOrder = [](TCursor& c) {
        return c.FieldByName(store::kFieldListOrder).AsInteger();
    };
    bool haveConcept = concepts.FindFirst();
    bool haveLink = links.FindFirst();
    std::int32_t conceptOrder = haveConcept ? listOrder(concepts) : 0;
    std::int32_t linkOrder = haveLink ? listOrder(links) : 0;
    bool inOrder = true;
    bool takenAtI = false;
    std::int32_t i = 1;
    const auto taken = [&] {
        if (takenAtI) {
            inOrder = false;
        } else {
            takenAtI = true;
        }
    };
    while (haveConcept || haveLink) {
        if (haveConcept && conceptOrder == i) {
            AppendConceptItem(concepts);
            haveConcept = concepts.FindNext();
            conceptOrder = haveConcept ? listOrder(concepts) : 0;
            taken();
        } else if (haveLink && linkOrder == i) {
            AppendMirrorItem();
            haveLink = links.FindNext();
            linkOrder = haveLink ? listOrder(links) : 0;
            taken();
        } else if (i == store::kNotOrdered) {
            for (; haveConcept; haveConcept = concepts.FindNext()) {
                AppendConceptItem(concepts);
            }
            for (; haveLink; haveLink = links.FindNext()) {
                AppendMirrorItem();
            }
        } else {
            // Counting on one by one would take nothing until the next number a cursor holds
            // (or 10000); every skipped number is a gap, so jump there at once.
            std::int32_t next = store::kNotOrdered;
            if (haveConcept && conceptOrder > i && conceptOrder < next) {
                next = conceptOrder;
            }
            if (haveLink && linkOrder > i && linkOrder < next) {
                next = linkOrder;
            }
            if (!takenAtI || next > i + 1) {
                inOrder = false;
            }
            takenAtI = false;
            i = next;
        }
    }
    if (m_seekMode == smLevel && !inOrder) {
        Renumber();
    }
}

void TDataModuleSeeker::Renumber() {
    std::int32_t position = 0;
    for (int k = 0; k < m_seekResult->Count(); ++k) {
        const TConceptData& item = (*m_seekResult)[k];
        ++position;
        TCursor& cursor = item.IsLink() ? B_MasterLinkClds : A_MasterConceptClds;
        const std::int32_t no = item.IsLink() ? item.LinkNo : item.ConceptNo();
        if (cursor.Locate(store::kFieldRecordNo, TValue(no))) {
            cursor.Edit();
            cursor.FieldByName(store::kFieldListOrder).SetAsInteger(position);
            cursor.Post();
        }
    }
}

bool TDataModuleSeeker::HasChildRecords(std::int32_t conceptNo) {
    return m_childProbe.Locate(store::kFieldParentNo, TValue(conceptNo)) ||
           Sub_LinksClds.Locate(store::kFieldRecordNoFrom, TValue(conceptNo));
}

const TConceptData& TDataModuleSeeker::GetTopNode() {
    TCursor& c = A_MasterConceptClds;
    if (!c.Locate(store::kFieldParentNo, TValue(0))) {
        throw store::EVelmoraError("ERROR: データが見つかりません. \"トップノード\"");
    }
    TConceptData top;
    const std::int32_t no = c.FieldByName(store::kFieldRecordNo).AsInteger();
    top.SetConceptNo(no);
    top.SetTitle(c.FieldByName(store::kFieldTitle).AsString());
    top.IconPos = {c.FieldByName(store::kFieldIconPosX).AsInteger(),
                   c.FieldByName(store::kFieldIconPosY).AsInteger()};
    top.SetHasChildren(HasChildRecords(no));
    m_topNode.Assign(top);
    return m_topNode;
}

void TDataModuleSeeker::AddObserver(TEngineObserver* observer) {
    if (std::find(m_observers.begin(), m_observers.end(), observer) == m_observers.end()) {
        m_observers.push_back(observer);
    }
}

void TDataModuleSeeker::RemoveObserver(TEngineObserver* observer) {
    m_observers.erase(std::remove(m_observers.begin(), m_observers.end(), observer),
                      m_observers.end());
}

void TDataModuleSeeker::RefreshConceptEverywhere(const TConceptData& item) {
    for (TEngineObserver* observer : m_observers) {
        observer->RefreshConceptEverywhere(item);
    }
}

}  // namespace velmora::engine
