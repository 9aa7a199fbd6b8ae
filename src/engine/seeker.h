// TDataModuleSeeker: the navigation questions of the whole program and the structural edits of
// the hierarchy. It answers which items lie under a concept, which share a concept's level,
// which concepts are parents of a concept and which concept is the top one, each answer an
// ordered list of concepts and mirror images that already carry their titles, has-children
// flags and icon positions. It keeps LIST_ORDER of a level consistent (1..n), moves, copies and
// checks items, and tells the views what changed through TEngineObserver.
//
// One seeker serves the process. It works on cursors of its own that share the store's concept
// and network tables; the store hands the tables over after every new ontology and every load
// (the seeker registers for that when it is created). A caller sets the question (SetSeekMode,
// SetSeekNo) and reads GetItems before anything else seeks; the answer stays valid until the
// next SetSeekMode or SetSeekNo. Questions to the user go through the store's TQuestioner.
// Single-threaded.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "concept_data.h"
#include "data_module.h"
#include "questions.h"
#include "table.h"

namespace velmora::engine {

using store::TConceptData;
using store::TConceptList;

enum TSeekMode : std::uint8_t { smParents = 0, smLevel = 1, smMirrorLevel = 2, smChildren = 3 };

// How the views learn what the engine changed. Every method has an empty default so a view
// overrides only what it shows.
class TEngineObserver {
public:
    virtual ~TEngineObserver() = default;
    // An item's title, relation or has-children flag changed: every view that shows the
    // concept (or, for a mirror image, that image) updates it.
    virtual void RefreshConceptEverywhere(const TConceptData& item) { (void)item; }
    // Mirror images were removed by the save-time checks: the views start again from the top.
    virtual void ResetViews() {}
};

class TDataModuleSeeker {
public:
    // Registers with the store so that the cursors are made again after every new ontology and
    // every load. REQUIRES: store and questioner outlive the seeker.
    TDataModuleSeeker(store::TDataModule1& store, store::TQuestioner& questioner);
    TDataModuleSeeker(const TDataModuleSeeker&) = delete;
    TDataModuleSeeker& operator=(const TDataModuleSeeker&) = delete;

    // Recreates the seven cursors over the two tables and sets their indexes.
    void CloneCursors(store::TTable& concepts, store::TTable& network);

    void SetSeekMode(TSeekMode mode);
    void SetSeekNo(std::int32_t no);
    TSeekMode SeekMode() const { return m_seekMode; }
    std::int32_t SeekNo() const { return m_seekNo; }
    // The answer to the question set, built on the first call after it was set. Only in
    // smLevel a level found out of order is renumbered 1..n.
    const TConceptList& GetItems();
    // The top concept (the lowest RECORD_NO with PARENT_NO 0), refilled by every call.
    const TConceptData& GetTopNode();
    // True when the concept has a child concept or any mirror image under it.
    bool HasChildRecords(std::int32_t conceptNo);

    void AddObserver(TEngineObserver* observer);
    void RemoveObserver(TEngineObserver* observer);
    void RefreshConceptEverywhere(const TConceptData& item);

    store::TDataModule1& Store() { return m_store; }
    store::TQuestioner& Questioner() { return m_questioner; }

    // The cursors, named as the components they stand for.
    store::TCursor A_MasterConceptClds;
    store::TCursor B_MasterLinkClds;
    store::TCursor RelatedConceptsClds;
    store::TCursor RelatedLinksClds;
    store::TCursor LinkedConceptClds;
    store::TCursor Sub_ConceptsDlds;
    store::TCursor Sub_LinksClds;

private:
    void WireDetails();
    void BuildSeekResult();
    void AppendConceptItem(store::TCursor& conceptCursor);
    void AppendMirrorItem();
    void Renumber();

    store::TDataModule1& m_store;
    store::TQuestioner& m_questioner;
    std::int32_t m_seekNo = 0;
    TSeekMode m_seekMode = smChildren;
    std::unique_ptr<TConceptList> m_seekResult;
    TConceptData m_topNode;
    std::vector<TEngineObserver*> m_observers;
};

}  // namespace velmora::engine
