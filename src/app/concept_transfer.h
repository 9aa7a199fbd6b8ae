// Concepts moving between views: what a drop or a paste of concepts does in the view that
// receives it (DropItems, PasteItems, SelectDroppedItems), the views' copy, cut and paste
// through the concept clipboard, and icon positions and titles coming back from the icon views.
//
// By the receiving view's role: in the workspace a drop moves the items (a paste after a copy
// duplicates them) under the item hit, else into the level the workspace shows; in the parents
// pane each dropped concept becomes a further parent of the current concept, in the children
// pane a further child, through new mirror images.
#pragma once

#include <functional>

#include "command_host.h"
#include "commands.h"
#include "data_module.h"
#include "seeker.h"
#include "user_interface.h"
#include "view_set.h"

namespace velmora::app {

class TConceptTransfer {
public:
    // REQUIRES: every argument outlives the unit.
    TConceptTransfer(TCommandHost& host, TViewSet& views, store::TDataModule1& store,
                     engine::TDataModuleSeeker& seeker, TUserInterface& ui);

    // Takes what view reports, run under the commands' error handler: drops and clipboard keys,
    // positions, status texts; retitlings go to retitle.
    void Attach(views::TIconViewPort& view, const TCommandSet& commands,
                std::function<void(store::TConceptData& item, const QString& text)> retitle);

    // The effect of a drop or a paste on view (one of the three icon views); target is the
    // item hit, or null for the empty area or a paste.
    void DropItems(views::TIconViewPort& view, const store::TConceptList& items,
                   const store::TConceptData* target, bool copy);
    // A paste: refused with an error box, and false, when an entry's record is gone.
    bool PasteItems(views::TIconViewPort& view, const store::TConceptList& items, bool copy);
    // The first item becomes current (forced, the hierarchy rebuilt); the view then selects
    // every item of items it shows.
    void SelectDroppedItems(views::TIconViewPort& view, const store::TConceptList& items);

    // The views' clipboard operations; a cut pastes once, a copy many times.
    void CopyFromView(views::TIconViewPort& view);
    void CutFromView(views::TIconViewPort& view);
    void PasteIntoView(views::TIconViewPort& view);
    void WriteToClipboard(const store::TConceptList& items, bool isCopy);

    // Icon positions: placed on first showing (no save point), moved by the user (one save
    // point for the whole move).
    void StorePlacedItems(const store::TConceptList& placed);
    void StoreMovedItems(const store::TConceptList& moved);

private:
    TCommandHost& m_host;
    TViewSet& m_views;
    store::TDataModule1& m_store;
    engine::TDataModuleSeeker& m_seeker;
    TUserInterface& m_ui;
};

}  // namespace velmora::app
