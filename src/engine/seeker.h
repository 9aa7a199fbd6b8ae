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

// What a save-time check found: a relation-1 mirror image at its concept's own place, or a
// mirror image that repeats another (same place, concept and relation).
enum class TSupportFindingKind { MirrorAtOwnPlace, MirrorDuplicate };
struct TSupportFinding {
    TSupportFindingKind Kind = TSupportFindingKind::MirrorAtOwnPlace;
    std::int32_t LinkNo = 0;
    std::string Title;     // the concept's title, code page 932
    std::string Question;  // the user's question about it, UTF-8
};
// Whether to delete the mirror image of a finding.
using TSupportDecision = std::function<bool(const TSupportFinding&)>;

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

    // ---- Structural edits (tree operations) ---------------------------------------------
    // Moves each item, in order, under target's ConceptNo (a mirror-image target: under the
    // concept it shows): concepts get the new PARENT_NO, mirror images the new RECORD_NO_FROM;
    // both lose their icon position and go to the end of the new level (LIST_ORDER 10000).
    // Each move is checked by CheckReferenceCycle first (mirror images only with relation 1);
    // an ETrimInvalidLinkError leaves earlier items moved, so callers take a save point.
    // Sets each item's IconPos to (-1, -1); a relation-1 mirror item gets the ConceptNo it shows.
    void MoveItems(TConceptList& items, const TConceptData& target);
    // Writes LIST_ORDER 1..n into the records of the items, in list order.
    void RenumberChildren(const TConceptList& children);
    // A new concept under parent (see TDataModule1::AddNewConcept); sets parent's HasChildren
    // and refreshes it everywhere. Returns the new item.
    std::unique_ptr<TConceptData> AddChildConcept(TConceptData& parent);
    // Stores item's Title on its concept: title, identifier, the label that equalled the old
    // title, then RefreshConceptEverywhere. EVelmoraError "レコードが見つかりません." when the
    // concept is missing.
    void StoreTitle(const TConceptData& item);
    // The order of a sorted level: concepts first by title (compare, a collation returning <0,
    // 0, >0), then mirror images by relation, then title.
    using TCollation = std::function<int(const std::string&, const std::string&)>;
    static bool LevelItemLess(const TConceptData& a, const TConceptData& b,
                              const TCollation& compare);

    // ---- Mirror images and cycle prevention ------------------------------------------------
    // May child become a lower concept of newParent? Returns normally, or removes the mirror
    // images that would close a cycle when the user agrees, or raises ETrimInvalidLinkError.
    void CheckReferenceCycle(std::int32_t child, std::int32_t newParent);
    store::TAnswer AskDeleteCyclicMirrorImage(std::int32_t linkNo, bool yesToAll);
    void SetLinkCode(std::int32_t linkNo, std::int32_t code);
    // A relation-1 mirror image of shown placed under place; on any failure the new record
    // is removed again and the error passes on.
    void CreateMirrorImageUnder(const TConceptData& shown, const TConceptData& place);
    // The drops on the parents and children panes, data side: nothing happens when a dropped
    // item is a mirror image (result false); otherwise OnTakeSavePoint runs, then one mirror
    // image per dropped concept. A cycle error ends the loop; when it carries a mirror image,
    // that item is put into `show` (may be null) for the caller to display.
    bool AddParentsByMirrorImage(const TConceptList& dropped, const TConceptData& current,
                                 std::unique_ptr<TConceptData>* show);
    bool AddChildrenByMirrorImage(const TConceptData& current, const TConceptList& dropped,
                                  std::unique_ptr<TConceptData>* show);
    // The save-time checks over the network table (a relation-1 image at its concept's own
    // place; duplicates), after OnTakeSavePoint. Each finding is deleted when decide says so;
    // without decide the questioner is asked its question. Returns whether anything was
    // deleted; then observers get ResetViews.
    bool RunSupportChecks(const TSupportDecision& decide = {});

    // ---- Duplicating ---------------------------------------------------------------------
    // Copies items under target (a concept): concepts with their subtrees, mirror images as
    // new images of the same concept. Returns one entry per input item, in order.
    std::unique_ptr<TConceptList> CopyItems(const TConceptList& items, const TConceptData& target);
    std::unique_ptr<TConceptData> CopyItem(const TConceptData& item, const TConceptData& target,
                                           TConceptList& created, bool keepOrder);
    std::unique_ptr<TConceptData> CopyConceptItem(const TConceptData& item,
                                                  const TConceptData& target, TConceptList& created,
                                                  bool keepOrder);
    std::unique_ptr<TConceptData> CopyMirrorItem(const TConceptData& item,
                                                 const TConceptData& target, TConceptList& created,
                                                 bool keepOrder);
    // title when no concept under parent has it; else "コピー ～ " + title, then with "(1)",
    // "(2)", ... until free. Code page 932 in and out.
    std::string MakeCopyTitle(const std::string& title, std::int32_t parent);

    // Run by the operations that take a save point of their own (the drops on the panes, the
    // save-time checks); the program pushes an undo step here.
    std::function<void()> OnTakeSavePoint;

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
    // The cycle check's walk below a concept: child concepts by PARENT_NO, mirror images by
    // place in list order, read directly rather than through full answers.
    store::TCursor m_walkConcepts;
    store::TCursor m_walkLinks;
    // Whether a concept has child concepts: any one will do, so no order, and the index by
    // PARENT_NO that the walk uses serves it too.
    store::TCursor m_childProbe;
    std::int32_t m_seekNo = 0;
    TSeekMode m_seekMode = smChildren;
    std::unique_ptr<TConceptList> m_seekResult;
    TConceptData m_topNode;
    std::vector<TEngineObserver*> m_observers;
};

}  // namespace velmora::engine
