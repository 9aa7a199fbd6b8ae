// The views the main window arranges — the hierarchy view, the three icon views and the
// concept editor — held together so that the window and its command units walk them in one
// place: the icon views as a list, every in-place label editor committed or cancelled at once,
// and which view the keyboard focus is in.
#pragma once

#include <array>
#include <memory>

#include "tree_view.h"
#include "view_ports.h"

class QWidget;

namespace velmora::app {

struct TViewSet {
    std::unique_ptr<views::TFrameTreeView> tree;
    std::unique_ptr<views::TIconViewPort> workspace;
    std::unique_ptr<views::TIconViewPort> parents;
    std::unique_ptr<views::TIconViewPort> children;
    std::unique_ptr<views::TConceptEditorPort> editor;

    std::array<views::TIconViewPort*, 3> IconViews() const {
        return {workspace.get(), parents.get(), children.get()};
    }
    // Ends every open label edit, keeping or dropping what was typed.
    void CommitLabelEdits();
    // What is still typed anywhere — a label editor, a field of the concept editor — written
    // to the tables, before a save or an export reads them.
    void PostPendingEdits();
    void CancelLabelEdits();
    // Empties the tree and the three icon views.
    void ClearItems();
    // The icon view the widget is in (or is), or null.
    views::TIconViewPort* IconViewOf(const QWidget* widget) const;
    // Whether the widget is in (or is) the hierarchy view.
    bool InTree(const QWidget* widget) const;
};

}  // namespace velmora::app
