// VelmoraOntology: a read-only object view of one ontology for the Word export. Concepts,
// mirror images (links), link types and language labels are objects that answer questions (a
// title, the parent, the children in list order, the labels) by reading the store tables
// through cursors of the model's own, so the store's cursors keep their positions. The model
// never writes to a table.
//
// Objects are made on first lookup and cached by their managers: the same record always gives
// the same object (compare by address), for the model's whole life. Objects hold only record
// numbers; every value is read from the table when it is asked for, so a record deleted after
// its object was handed out makes the next read raise EDataNotFound. Lookups of handed-out
// objects are constant time (a hash map per manager), so a walk of the whole ontology stays
// linear.
//
// The seek lists of all concepts share a few filtered cursors: a list re-filters its cursor
// whenever it is asked after another concept's list, so Count and Items of one list stay right
// even when calls to several lists are interleaved. Table text (titles, labels, metadata) comes
// back as code page 932 bytes; the error message is UTF-8. Single-threaded.
//
// REQUIRES: the tables stay open and are not reloaded while the model lives.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "errors.h"
#include "ontology.h"
#include "table.h"

namespace velmora::store {
class TDataModule1;
}

namespace velmora::exchange::VelmoraOntology {

// A record the model needs is missing: the tables and the program disagree.
class EDataNotFound : public store::EVelmoraError {
public:
    static constexpr std::string_view kMessage =
        "バグ：データベースとアプリケーション内部で不整合が発生しました.\r\n"
        "　　　開発者をどついてください。";

    EDataNotFound() : store::EVelmoraError(std::string(kMessage)) {}
};

class TOntology;
class TConcept;
class TLink;
class TLinkType;
class TTerm;

// An object with a place in a list (a concept or a mirror image). ExportMark is free for the
// export's own bookkeeping; it starts at 0.
class TCustomOrderdData {
public:
    TCustomOrderdData() = default;
    virtual ~TCustomOrderdData() = default;
    // Identity is the point of these objects: they are never copied.
    TCustomOrderdData(const TCustomOrderdData&) = delete;
    TCustomOrderdData& operator=(const TCustomOrderdData&) = delete;

    virtual std::int32_t GetListOrder() const { return 0; }

    int ExportMark() const { return m_exportMark; }
    void SetExportMark(int mark) { m_exportMark = mark; }

private:
    int m_exportMark = 0;
};

// An ordered list of references; it does not own its items. The typed lists below add and
// hand out their own kind only.
class TCustomOrderdDataList {
public:
    int Count() const { return static_cast<int>(m_items.size()); }
    void Clear() { m_items.clear(); }
    // Ascending GetListOrder; items with equal values keep their relative order. Each item's
    // order is read once.
    void SortByListOrder();

protected:
    void AddItem(TCustomOrderdData& item) { m_items.push_back(&item); }
    // std::out_of_range when index is not in [0, Count()).
    TCustomOrderdData& Item(int index) const;

private:
    std::vector<TCustomOrderdData*> m_items;
};

class TConceptList : public TCustomOrderdDataList {
public:
    void Add(TConcept& item);
    TConcept& Items(int index) const;  // std::out_of_range outside [0, Count())
};

class TLinkList : public TCustomOrderdDataList {
public:
    void Add(TLink& item);
    TLink& Items(int index) const;  // std::out_of_range outside [0, Count())
};

class TLinkTypeList {
public:
    int Count() const { return static_cast<int>(m_items.size()); }
    void Clear() { m_items.clear(); }
    void Add(TLinkType& item) { m_items.push_back(&item); }
    TLinkType& Items(int index) const;  // std::out_of_range outside [0, Count())

private:
    std::vector<TLinkType*> m_items;
};

class TTermList {
public:
    int Count() const { return static_cast<int>(m_items.size()); }
    void Clear() { m_items.clear(); }
    void Add(TTerm& item) { m_items.push_back(&item); }
    TTerm& Items(int index) const;  // std::out_of_range outside [0, Count())

private:
    std::vector<TTerm*> m_items;
};

// --- Seek lists of a concept. Items(i) counts from 0; std::out_of_range outside [0, Count()).

// The concepts whose PARENT_NO is the concept, by LIST_ORDER.
class TSeekChildList {
public:
    explicit TSeekChildList(const TConcept& owner) : m_concept(owner) {}
    int Count() const;
    TConcept& Items(int index) const;

private:
    const TConcept& m_concept;
};

// The mirror images of the concept placed elsewhere (RECORD_NO_TO is the concept), in order of
// addition.
class TSeekLinkFromList {
public:
    explicit TSeekLinkFromList(const TConcept& owner) : m_concept(owner) {}
    int Count() const;
    TLink& Items(int index) const;

private:
    const TConcept& m_concept;
};

// The mirror images placed under the concept (RECORD_NO_FROM is the concept), by LIST_ORDER.
class TSeekLinkToList {
public:
    explicit TSeekLinkToList(const TConcept& owner) : m_concept(owner) {}
    int Count() const;
    TLink& Items(int index) const;

private:
    const TConcept& m_concept;
};

// The concept's language labels, in the order of its association records.
class TConceptTermsManager {
public:
    explicit TConceptTermsManager(const TConcept& owner) : m_concept(owner) {}
    int Count() const;
    TTerm& Items(int index) const;

private:
    const TConcept& m_concept;
};

// The concepts that carry a term. Nothing asks for them yet, so it offers no operation.
class TTermSeekConceptList {
public:
    explicit TTermSeekConceptList(const TTerm& owner) : m_term(owner) {}
    const TTerm& Term() const { return m_term; }

private:
    const TTerm& m_term;
};

// --- The record objects. Only their managers make them.

class TConcept final : public TCustomOrderdData {
public:
    TOntology& Root() const { return m_root; }
    std::int32_t RecordNo() const { return m_recordNo; }
    std::string Title() const;
    std::string Description() const;
    std::string Comment() const;
    std::int32_t GetListOrder() const override;  // LIST_ORDER
    // Null for a concept whose PARENT_NO is 0.
    TConcept* Parent() const;
    // A child concept, or a mirror image of the subconcept link type placed under it. Other
    // relations are not hierarchy.
    bool HasSubconcepts() const;

    const TConceptTermsManager& Terms() const { return m_terms; }
    const TSeekChildList& Children() const { return m_children; }
    const TSeekLinkFromList& LinksFrom() const { return m_linksFrom; }
    const TSeekLinkToList& LinksTo() const { return m_linksTo; }

private:
    friend class TConceptsManager;
    TConcept(TOntology& root, std::int32_t recordNo);

    TOntology& m_root;
    const std::int32_t m_recordNo;
    TConceptTermsManager m_terms{*this};
    TSeekChildList m_children{*this};
    TSeekLinkFromList m_linksFrom{*this};
    TSeekLinkToList m_linksTo{*this};
};

// A mirror image: ToConcept shown once more under FromConcept.
class TLink final : public TCustomOrderdData {
public:
    TOntology& Root() const { return m_root; }
    std::int32_t RecordNo() const { return m_recordNo; }
    TConcept& FromConcept() const;               // RECORD_NO_FROM: where the image is placed
    TConcept& ToConcept() const;                 // RECORD_NO_TO: the concept shown
    TLinkType& LinkType() const;                 // LINK_CODE
    std::int32_t GetListOrder() const override;  // LIST_ORDER; 0 while never set

private:
    friend class TLinksManager;
    TLink(TOntology& root, std::int32_t recordNo) : m_root(root), m_recordNo(recordNo) {}

    TOntology& m_root;
    const std::int32_t m_recordNo;
};

class TLinkType final {
public:
    TLinkType(const TLinkType&) = delete;
    TLinkType& operator=(const TLinkType&) = delete;

    TOntology& Root() const { return m_root; }
    std::int32_t LinkCode() const { return m_linkCode; }
    std::string LinkTitle() const;

private:
    friend class TLinkTypesManager;
    TLinkType(TOntology& root, std::int32_t linkCode) : m_root(root), m_linkCode(linkCode) {}

    TOntology& m_root;
    const std::int32_t m_linkCode;
};

class TTerm final {
public:
    TTerm(const TTerm&) = delete;
    TTerm& operator=(const TTerm&) = delete;

    TOntology& Root() const { return m_root; }
    std::int32_t TermNo() const { return m_termNo; }
    std::string TermString() const;
    const TTermSeekConceptList& SeekConceptList() const { return m_concepts; }

private:
    friend class TTermsManager;
    TTerm(TOntology& root, std::int32_t termNo) : m_root(root), m_termNo(termNo) {}

    TOntology& m_root;
    const std::int32_t m_termNo;
    TTermSeekConceptList m_concepts{*this};
};

// --- Managers: each owns every object it has handed out. Count and Items list them in the
// order of their first lookup. A lookup of a number without a record raises EDataNotFound.

class TConceptsManager : private TConceptList {
public:
    explicit TConceptsManager(TOntology& root) : m_root(root) {}
    ~TConceptsManager();
    TConceptsManager(const TConceptsManager&) = delete;
    TConceptsManager& operator=(const TConceptsManager&) = delete;

    using TConceptList::Count;
    using TConceptList::Items;

    TConcept& ConceptByNo(std::int32_t no);
    // The concept with the lowest LIST_ORDER among those whose PARENT_NO is 0; EDataNotFound
    // when there is none.
    TConcept& TopConcept();
    // Every concept in ascending RECORD_NO. The numbers are taken before the first call, so the
    // routine may use the model freely.
    void ForEachConcept(const std::function<void(TConcept&)>& routine);

private:
    TOntology& m_root;
    std::unordered_map<std::int32_t, std::unique_ptr<TConcept>> m_cache;
};

class TLinksManager : private TLinkList {
public:
    explicit TLinksManager(TOntology& root) : m_root(root) {}
    ~TLinksManager();
    TLinksManager(const TLinksManager&) = delete;
    TLinksManager& operator=(const TLinksManager&) = delete;

    using TLinkList::Count;
    using TLinkList::Items;

    TLink& LinkByNo(std::int32_t no);

private:
    TOntology& m_root;
    std::unordered_map<std::int32_t, std::unique_ptr<TLink>> m_cache;
};

class TLinkTypesManager : private TLinkTypeList {
public:
    static constexpr std::int32_t kSubconceptCode = 1;

    explicit TLinkTypesManager(TOntology& root) : m_root(root) {}
    ~TLinkTypesManager();
    TLinkTypesManager(const TLinkTypesManager&) = delete;
    TLinkTypesManager& operator=(const TLinkTypesManager&) = delete;

    using TLinkTypeList::Count;
    using TLinkTypeList::Items;

    TLinkType& LinkTypeByCode(std::int32_t code);
    // The plain relation of the hierarchy, whatever its title says now.
    TLinkType& SubconceptType() { return LinkTypeByCode(kSubconceptCode); }

private:
    TOntology& m_root;
    std::unordered_map<std::int32_t, std::unique_ptr<TLinkType>> m_cache;
};

class TTermsManager : private TTermList {
public:
    explicit TTermsManager(TOntology& root) : m_root(root) {}
    ~TTermsManager();
    TTermsManager(const TTermsManager&) = delete;
    TTermsManager& operator=(const TTermsManager&) = delete;

    using TTermList::Count;
    using TTermList::Items;

    TTerm& TermByNo(std::int32_t no);

private:
    TOntology& m_root;
    std::unordered_map<std::int32_t, std::unique_ptr<TTerm>> m_cache;
};

namespace detail {
struct TCursors;  // the model's own cursors; known to the implementation only
}

// The root: the cursors, a copy of the metadata taken at creation and the four managers.
class TOntology {
public:
    // Tables in this order: associations, terms, link types, network, concepts.
    // REQUIRES: the tables are open.
    TOntology(const store::TOntology& metadata, store::TTable& associations, store::TTable& terms,
              store::TTable& linkTypes, store::TTable& network, store::TTable& concepts);
    // The same over the store's five tables.
    TOntology(const store::TOntology& metadata, store::TDataModule1& store);
    ~TOntology();
    TOntology(const TOntology&) = delete;
    TOntology& operator=(const TOntology&) = delete;

    // Values of the metadata copy; "" when the key is absent.
    std::string Title() const;
    std::string Target() const;
    std::string Creator() const;
    std::string Description() const;
    std::string Community() const;

    TConceptsManager& Concepts() { return m_concepts; }
    TLinksManager& Links() { return m_links; }
    TLinkTypesManager& LinkTypes() { return m_linkTypes; }
    TTermsManager& Terms() { return m_terms; }

    detail::TCursors& Cursors() const { return *m_cursors; }

private:
    std::unique_ptr<detail::TCursors> m_cursors;
    store::TOntology m_metadata;
    // Declared last so that the objects go before the cursors they read.
    TConceptsManager m_concepts{*this};
    TLinksManager m_links{*this};
    TLinkTypesManager m_linkTypes{*this};
    TTermsManager m_terms{*this};
};

}  // namespace velmora::exchange::VelmoraOntology
