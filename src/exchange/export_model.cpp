#include "export_model.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "data_module.h"
#include "stream.h"

namespace velmora::exchange::VelmoraOntology {

namespace detail {

// Clones of the store tables, each with its own order and filter; the seek lists share the
// filtered ones and re-filter them on demand.
struct TCursors {
    store::TCursor Concept;
    store::TCursor ConceptByParent;
    store::TCursor Network;
    store::TCursor NetworkFrom;
    store::TCursor NetworkTo;
    store::TCursor LinkType;
    store::TCursor Association;
    store::TCursor AssociationByConcept;
    store::TCursor AssociationByTerm;
    store::TCursor Term;
};

}  // namespace detail

namespace {

void Clone(store::TCursor& cursor, store::TTable& table, std::string_view index) {
    cursor.CloneCursor(table, true);
    cursor.SetIndexFieldNames(index);
}

// Makes the record with key = no current, sparing the lookup when it already is (a run of
// reads of one object's fields is the common case), and returns the field asked for.
store::TField ReadField(store::TCursor& cursor, std::string_view key, std::int32_t no,
                        std::string_view field) {
    const store::TField current = cursor.FieldByName(key);
    if (current.IsNull() || current.AsInteger() != no) {
        if (!cursor.Locate(key, store::TValue(no))) {
            throw EDataNotFound();
        }
    }
    return cursor.FieldByName(field);
}

// Sets "FIELD = no" on a shared cursor, touching the filter only when its text changes (a new
// filter resets the cursor's view).
store::TCursor& FilterOn(store::TCursor& cursor, std::string_view field, std::int32_t no) {
    std::string filter(field);
    filter += " = ";
    filter += std::to_string(no);
    if (cursor.Filter() != filter) {
        cursor.SetFilter(filter);
    }
    if (!cursor.Filtered()) {
        cursor.SetFiltered(true);
    }
    return cursor;
}

// The value of field in the index-th record the filtered cursor shows.
std::int32_t FilteredValue(store::TCursor& cursor, int index, std::string_view field) {
    if (index < 0 || index >= cursor.RecordCount()) {
        throw std::out_of_range("VelmoraOntology: seek list index out of range");
    }
    cursor.SetRecNo(index + 1);
    return cursor.FieldByName(field).AsInteger();
}

template <typename T>
T& CheckedItem(const std::vector<T*>& items, int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= items.size()) {
        throw std::out_of_range("VelmoraOntology: list index out of range");
    }
    return *items[static_cast<std::size_t>(index)];
}

detail::TCursors& CursorsOf(const TConcept& owner) {
    return owner.Root().Cursors();
}

}  // namespace

// --- Lists

void TCustomOrderdDataList::SortByListOrder() {
    std::vector<std::pair<std::int32_t, TCustomOrderdData*>> keyed;
    keyed.reserve(m_items.size());
    for (TCustomOrderdData* item : m_items) {
        keyed.emplace_back(item->GetListOrder(), item);
    }
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 0; i < keyed.size(); ++i) {
        m_items[i] = keyed[i].second;
    }
}

TCustomOrderdData& TCustomOrderdDataList::Item(int index) const {
    return CheckedItem(m_items, index);
}

void TConceptList::Add(TConcept& item) {
    AddItem(item);
}
TConcept& TConceptList::Items(int index) const {
    return static_cast<TConcept&>(Item(index));
}

void TLinkList::Add(TLink& item) {
    AddItem(item);
}
TLink& TLinkList::Items(int index) const {
    return static_cast<TLink&>(Item(index));
}

TLinkType& TLinkTypeList::Items(int index) const {
    return CheckedItem(m_items, index);
}
TTerm& TTermList::Items(int index) const {
    return CheckedItem(m_items, index);
}

// --- Seek lists

int TSeekChildList::Count() const {
    return FilterOn(CursorsOf(m_concept).ConceptByParent, "PARENT_NO", m_concept.RecordNo())
        .RecordCount();
}

TConcept& TSeekChildList::Items(int index) const {
    store::TCursor& c =
        FilterOn(CursorsOf(m_concept).ConceptByParent, "PARENT_NO", m_concept.RecordNo());
    return m_concept.Root().Concepts().ConceptByNo(FilteredValue(c, index, "RECORD_NO"));
}

int TSeekLinkFromList::Count() const {
    return FilterOn(CursorsOf(m_concept).NetworkTo, "RECORD_NO_TO", m_concept.RecordNo())
        .RecordCount();
}

TLink& TSeekLinkFromList::Items(int index) const {
    store::TCursor& c =
        FilterOn(CursorsOf(m_concept).NetworkTo, "RECORD_NO_TO", m_concept.RecordNo());
    return m_concept.Root().Links().LinkByNo(FilteredValue(c, index, "RECORD_NO"));
}

int TSeekLinkToList::Count() const {
    return FilterOn(CursorsOf(m_concept).NetworkFrom, "RECORD_NO_FROM", m_concept.RecordNo())
        .RecordCount();
}

TLink& TSeekLinkToList::Items(int index) const {
    store::TCursor& c =
        FilterOn(CursorsOf(m_concept).NetworkFrom, "RECORD_NO_FROM", m_concept.RecordNo());
    return m_concept.Root().Links().LinkByNo(FilteredValue(c, index, "RECORD_NO"));
}

int TConceptTermsManager::Count() const {
    return FilterOn(CursorsOf(m_concept).AssociationByConcept, "CONCEPT_NO", m_concept.RecordNo())
        .RecordCount();
}

TTerm& TConceptTermsManager::Items(int index) const {
    store::TCursor& c =
        FilterOn(CursorsOf(m_concept).AssociationByConcept, "CONCEPT_NO", m_concept.RecordNo());
    return m_concept.Root().Terms().TermByNo(FilteredValue(c, index, "TERM_NO"));
}

// --- Record objects

TConcept::TConcept(TOntology& root, std::int32_t recordNo) : m_root(root), m_recordNo(recordNo) {}

std::string TConcept::Title() const {
    return ReadField(m_root.Cursors().Concept, "RECORD_NO", m_recordNo, "TITLE").AsString();
}

std::string TConcept::Description() const {
    return ReadField(m_root.Cursors().Concept, "RECORD_NO", m_recordNo, "DESCRIPTION").AsString();
}

std::string TConcept::Comment() const {
    return ReadField(m_root.Cursors().Concept, "RECORD_NO", m_recordNo, "COMMENT").AsString();
}

std::int32_t TConcept::GetListOrder() const {
    return ReadField(m_root.Cursors().Concept, "RECORD_NO", m_recordNo, "LIST_ORDER").AsInteger();
}

TConcept* TConcept::Parent() const {
    const std::int32_t parentNo =
        ReadField(m_root.Cursors().Concept, "RECORD_NO", m_recordNo, "PARENT_NO").AsInteger();
    return parentNo == 0 ? nullptr : &m_root.Concepts().ConceptByNo(parentNo);
}

bool TConcept::HasSubconcepts() const {
    if (m_children.Count() > 0) {
        return true;
    }
    const int links = m_linksTo.Count();
    if (links == 0) {
        return false;
    }
    // Asked only when there is an image, so an ontology without mirror images never needs
    // the subconcept link type to exist.
    const TLinkType& subconcept = m_root.LinkTypes().SubconceptType();
    for (int i = 0; i < links; ++i) {
        if (&m_linksTo.Items(i).LinkType() == &subconcept) {
            return true;
        }
    }
    return false;
}

TConcept& TLink::FromConcept() const {
    return m_root.Concepts().ConceptByNo(
        ReadField(m_root.Cursors().Network, "RECORD_NO", m_recordNo, "RECORD_NO_FROM").AsInteger());
}

TConcept& TLink::ToConcept() const {
    return m_root.Concepts().ConceptByNo(
        ReadField(m_root.Cursors().Network, "RECORD_NO", m_recordNo, "RECORD_NO_TO").AsInteger());
}

TLinkType& TLink::LinkType() const {
    return m_root.LinkTypes().LinkTypeByCode(
        ReadField(m_root.Cursors().Network, "RECORD_NO", m_recordNo, "LINK_CODE").AsInteger());
}

std::int32_t TLink::GetListOrder() const {
    return ReadField(m_root.Cursors().Network, "RECORD_NO", m_recordNo, "LIST_ORDER").AsInteger();
}

std::string TLinkType::LinkTitle() const {
    return ReadField(m_root.Cursors().LinkType, "LINK_CODE", m_linkCode, "LINK_TITLE").AsString();
}

std::string TTerm::TermString() const {
    return ReadField(m_root.Cursors().Term, "TERM_NO", m_termNo, "TERM_STRING").AsString();
}

// --- Managers

namespace {

// The cached object for no, or a new one when its record exists; a new one is cached first and
// then listed (Add), so a failure can never leave a listed object unowned.
template <typename T, typename TMake, typename TAdd>
T& Lookup(std::unordered_map<std::int32_t, std::unique_ptr<T>>& cache, std::int32_t no,
          store::TCursor& cursor, std::string_view key, TMake make, TAdd add) {
    if (const auto found = cache.find(no); found != cache.end()) {
        return *found->second;
    }
    if (!cursor.Locate(key, store::TValue(no))) {
        throw EDataNotFound();
    }
    T& made = *cache.emplace(no, make()).first->second;
    add(made);
    return made;
}

}  // namespace

TConceptsManager::~TConceptsManager() = default;

TConcept& TConceptsManager::ConceptByNo(std::int32_t no) {
    return Lookup(
        m_cache, no, m_root.Cursors().Concept, "RECORD_NO",
        [&] { return std::unique_ptr<TConcept>(new TConcept(m_root, no)); },
        [this](TConcept& made) { Add(made); });
}

TConcept& TConceptsManager::TopConcept() {
    store::TCursor& c = FilterOn(m_root.Cursors().ConceptByParent, "PARENT_NO", 0);
    if (c.RecordCount() == 0) {
        throw EDataNotFound();
    }
    c.First();
    return ConceptByNo(c.FieldByName("RECORD_NO").AsInteger());
}

void TConceptsManager::ForEachConcept(const std::function<void(TConcept&)>& routine) {
    store::TCursor& c = m_root.Cursors().Concept;
    std::vector<std::int32_t> numbers;
    numbers.reserve(static_cast<std::size_t>(c.RecordCount()));
    for (c.First(); !c.Eof(); c.Next()) {
        numbers.push_back(c.FieldByName("RECORD_NO").AsInteger());
    }
    for (const std::int32_t no : numbers) {
        routine(ConceptByNo(no));
    }
}

TLinksManager::~TLinksManager() = default;

TLink& TLinksManager::LinkByNo(std::int32_t no) {
    return Lookup(
        m_cache, no, m_root.Cursors().Network, "RECORD_NO",
        [&] { return std::unique_ptr<TLink>(new TLink(m_root, no)); },
        [this](TLink& made) { Add(made); });
}

TLinkTypesManager::~TLinkTypesManager() = default;

TLinkType& TLinkTypesManager::LinkTypeByCode(std::int32_t code) {
    return Lookup(
        m_cache, code, m_root.Cursors().LinkType, "LINK_CODE",
        [&] { return std::unique_ptr<TLinkType>(new TLinkType(m_root, code)); },
        [this](TLinkType& made) { Add(made); });
}

TTermsManager::~TTermsManager() = default;

TTerm& TTermsManager::TermByNo(std::int32_t no) {
    return Lookup(
        m_cache, no, m_root.Cursors().Term, "TERM_NO",
        [&] { return std::unique_ptr<TTerm>(new TTerm(m_root, no)); },
        [this](TTerm& made) { Add(made); });
}

// --- Root

TOntology::TOntology(const store::TOntology& metadata, store::TTable& associations,
                     store::TTable& terms, store::TTable& linkTypes, store::TTable& network,
                     store::TTable& concepts)
    : m_cursors(std::make_unique<detail::TCursors>()) {
    detail::TCursors& c = *m_cursors;
    Clone(c.Concept, concepts, "RECORD_NO");
    Clone(c.ConceptByParent, concepts, "PARENT_NO;LIST_ORDER");
    Clone(c.Network, network, "RECORD_NO");
    Clone(c.NetworkFrom, network, "RECORD_NO_FROM;LIST_ORDER");
    Clone(c.NetworkTo, network, "RECORD_NO_TO");
    Clone(c.LinkType, linkTypes, "LINK_CODE");
    Clone(c.Association, associations, "RECORD_NO");
    Clone(c.AssociationByConcept, associations, "CONCEPT_NO");
    Clone(c.AssociationByTerm, associations, "TERM_NO");
    Clone(c.Term, terms, "TERM_NO");
    // Through the stream, so the copy keeps every line as it stands (duplicates, lines
    // without "=") and answers lookups exactly as the original does.
    store::TMemoryStream stream;
    metadata.SaveToStream(stream);
    stream.Seek(0);
    m_metadata.LoadFromStream(stream);
}

TOntology::TOntology(const store::TOntology& metadata, store::TDataModule1& store)
    : TOntology(metadata, store.DtStOriginalAssociation, store.DtStOriginalTerms,
                store.DtStOriginalLinkType, store.DtStOriginalNetWork, store.DtStOriginalConcepts) {
}

TOntology::~TOntology() = default;

std::string TOntology::Title() const {
    return m_metadata.Title();
}
std::string TOntology::Target() const {
    return m_metadata.Target();
}
std::string TOntology::Creator() const {
    return m_metadata.Creator();
}
std::string TOntology::Description() const {
    return m_metadata.Description();
}
std::string TOntology::Community() const {
    return m_metadata.Community();
}

}  // namespace velmora::exchange::VelmoraOntology
