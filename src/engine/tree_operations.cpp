// The data side of the structural edits: moving items to another place, numbering a level in
// a given order, adding a concept under another, storing an edited title, and the order of a
// sorted level. The views move their nodes after these succeed.

#include "ontology_tables.h"
#include "seeker.h"
#include "store_exceptions.h"

namespace velmora::engine {

using store::TCursor;
using store::TValue;

namespace {

// A moved or new item goes to the end of its level until the level is renumbered.

void PlaceAtEnd(TCursor& cursor, std::string_view placeField, std::int32_t place) {
    cursor.Edit();
    cursor.FieldByName(placeField).SetAsInteger(place);
    cursor.FieldByName(store::kFieldIconPosX).SetAsInteger(store::kNotPlaced);
    cursor.FieldByName(store::kFieldIconPosY).SetAsInteger(store::kNotPlaced);
    cursor.FieldByName(store::kFieldListOrder).SetAsInteger(store::kNotOrdered);
    cursor.Post();
}

}  // namespace

void TDataModuleSeeker::MoveItems(TConceptList& items, const TConceptData& target) {
    const std::int32_t place = target.ConceptNo();
    for (int i = 0; i < items.Count(); ++i) {
        TConceptData& item = items[i];
        if (!item.IsLink()) {
            CheckReferenceCycle(item.ConceptNo(), place);
        } else if (item.LinkCode == 1) {
            item.SetConceptNo(m_store.GetLinkTarget(item.LinkNo));
            CheckReferenceCycle(item.ConceptNo(), place);
        }
        item.IconPos = store::TIconPoint{};
        if (item.IsLink()) {
            TCursor& network = m_store.DtStOriginalNetWork;
            if (!network.Locate(store::kFieldRecordNo, TValue(item.LinkNo))) {
                throw store::EUnableToFind::CreateLink(item.LinkNo);
            }
            PlaceAtEnd(network, store::kFieldRecordNoFrom, place);
        } else {
            if (!Sub_ConceptsDlds.Locate(store::kFieldRecordNo, TValue(item.ConceptNo()))) {
                throw store::EUnableToFind::CreateConcept(item.ConceptNo());
            }
            PlaceAtEnd(Sub_ConceptsDlds, store::kFieldParentNo, place);
        }
    }
}

void TDataModuleSeeker::RenumberChildren(const TConceptList& children) {
    for (int i = 0; i < children.Count(); ++i) {
        const TConceptData& child = children[i];
        TCursor& table = child.IsLink() ? static_cast<TCursor&>(m_store.DtStOriginalNetWork)
                                        : m_store.DtStOriginalConcepts;
        const std::int32_t no = child.IsLink() ? child.LinkNo : child.ConceptNo();
        // A record that vanished has no place to number; the others keep their positions.
        if (table.Locate(store::kFieldRecordNo, TValue(no))) {
            table.Edit();
            table.FieldByName(store::kFieldListOrder).SetAsInteger(i + 1);
            table.Post();
        }
    }
}

std::unique_ptr<TConceptData> TDataModuleSeeker::AddChildConcept(TConceptData& parent) {
    std::unique_ptr<TConceptData> created = m_store.AddNewConcept(parent);
    parent.SetHasChildren(true);
    RefreshConceptEverywhere(parent);
    return created;
}

void TDataModuleSeeker::StoreTitle(const TConceptData& item) {
    TCursor& concepts = m_store.DtStOriginalConcepts;
    if (!concepts.Locate(store::kFieldRecordNo, TValue(item.ConceptNo()))) {
        throw store::EVelmoraError("レコードが見つかりません.");
    }
    std::string oldTitle;
    const std::string stored = concepts.FieldByName(store::kFieldTitle).AsString();
    if (stored != item.Title()) {
        oldTitle = stored;
        concepts.Edit();
        concepts.FieldByName(store::kFieldTitle).SetAsString(item.Title());
        concepts.Post();
    }
    m_store.StampIdentifier();
    m_store.ReplaceConceptTerm(item.ConceptNo(), oldTitle, item.Title());
    RefreshConceptEverywhere(item);
}

bool TDataModuleSeeker::LevelItemLess(const TConceptData& a, const TConceptData& b,
                                      const TCollation& compare) {
    if (a.IsLink() != b.IsLink()) {
        return !a.IsLink();
    }
    if (a.IsLink() && a.LinkCode != b.LinkCode) {
        return a.LinkCode < b.LinkCode;
    }
    return compare(a.Title(), b.Title()) < 0;
}

}  // namespace velmora::engine
