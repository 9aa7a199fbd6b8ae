// What the main window asks of the views it arranges: the hierarchy view, the three icon views
// (workspace, parents pane, children pane) and the concept editor. The views themselves are
// separate classes; the main window holds them through these interfaces, so each view can be
// built, replaced and tested on its own.
//
// TPlaceholderPane is the stand-in for a view that the window does not have yet: an empty
// panel that holds no items and never has a selection, so no command acts through it.
#pragma once

#include <QWidget>
#include <functional>
#include <optional>
#include <vector>

#include "concept_data.h"

namespace velmora::views {

// The state of the hierarchy view's selected node, for the enabled state of the tree commands.
struct TTreeSelection {
    store::TConceptData entry;
    bool hasParent = false;
    bool hasGrandparent = false;
    bool hasPreviousSibling = false;
    bool previousSiblingIsMirror = false;
    bool hasNextSibling = false;
};

class TTreeViewPort {
public:
    virtual ~TTreeViewPort() = default;
    virtual QWidget* Widget() = 0;
    virtual void Clear() = 0;
    // Selects the node of concept, building the chain of nodes from the top down to it when it
    // has none yet; with force all nodes are dropped first. Then the root is expanded when
    // its children are not loaded yet.
    virtual void ShowConcept(const store::TConceptData& item, bool force) = 0;
    virtual void ExpandFirstNode() = 0;
    virtual std::optional<TTreeSelection> Selection() const = 0;
    // In-place label editing, and whether its edit box has selected text.
    virtual bool IsEditing() const = 0;
    virtual bool EditorHasSelection() const = 0;
    virtual void SelectAllInEditor() = 0;
    // Ends an open label edit, storing what was typed, or dropping it.
    virtual void CommitLabelEdit() = 0;
    virtual void CancelLabelEdit() = 0;
};

// How an icon view is used: the workspace selects several items and keeps free positions; the
// parents and children panes select one, arrange themselves and hide the selection unfocused.
struct TIconViewRole {
    bool multiSelect = false;
    bool freePositions = false;
    bool hideSelectionUnfocused = false;
    // The parents pane: a mirror image there stands for a further parent and has a picture of
    // its own.
    bool parentsPane = false;
};

// The clipboard keys an icon view hands to its owner while no label is edited.
enum class TClipboardKey { Cut, Copy, Paste };

class TIconViewPort {
public:
    virtual ~TIconViewPort() = default;
    // Told by the view: its selection changed; a double-click (the item under the pointer, or
    // null on an empty spot); the focus came or went.
    std::function<void()> OnSelectionChange;
    std::function<void(const store::TConceptData* item)> OnDoubleClick;
    std::function<void(bool focused)> OnFocusChange;
    // Items were dropped here — a hierarchy-view node, or items thrown from an icon view (this
    // one included) — on the item target (null: on the empty area). The owner decides what
    // that means for the view's role; the view changes no data.
    std::function<void(const store::TConceptList& items, const store::TConceptData* target)>
        OnDropItems;
    // Items without a position that the view has just given one (their IconPos is the new
    // place): the owner stores the positions, without a save point.
    std::function<void(const store::TConceptList& placed)> OnItemsPlaced;
    // An icon move ended (dropped anywhere or nowhere) and the icons stand elsewhere than their
    // IconPos: the dragged items with their new IconPos; the owner takes one save point and
    // stores them.
    std::function<void(const store::TConceptList& moved)> OnItemsMoved;
    // A concept was retitled in place; text is what the user typed (may be empty).
    std::function<void(const store::TConceptData& item, const QString& text)> OnTitleEdited;
    // A text for the status line (a refused retitling of a mirror image).
    std::function<void(const QString& text)> OnStatusText;
    // Ctrl+X, Ctrl+C or Ctrl+V while no label is edited.
    std::function<void(TClipboardKey key)> OnClipboardKey;
    // Whether an item is the top concept, which is never thrown.
    std::function<bool(const store::TConceptData& item)> OnIsTopConcept;

    virtual void SetRole(const TIconViewRole& role) = 0;
    virtual void ClearSelection() = 0;
    virtual QWidget* Widget() = 0;
    virtual void Clear() = 0;
    // Replaces all items by copies of items: placed items first, then the unplaced ones, which
    // get a free place each (reported through OnItemsPlaced).
    virtual void Fill(const store::TConceptList& items) = 0;
    // One more item, a copy of item; an unplaced one gets a free place (OnItemsPlaced).
    virtual void AddItem(const store::TConceptData& item) = 0;
    // Every item showing item's concept takes its title and children flag; the item of the
    // same mirror image also its link code.
    virtual void RefreshItems(const store::TConceptData& item) = 0;
    // Clears the selection and selects the item equal to entry, scrolled into view; false when
    // the view holds no such item.
    virtual bool SelectOnly(const store::TConceptData& entry) = 0;
    // Selects every item of items that the view shows (the selection is cleared first).
    virtual void SelectItems(const store::TConceptList& items) = 0;
    virtual int ItemCount() const = 0;
    virtual std::vector<store::TConceptData> SelectedItems() const = 0;
    // Every item in index order.
    virtual std::vector<store::TConceptData> Items() const = 0;
    virtual void SelectAll() = 0;
    virtual void SetSmallIcons(bool small) = 0;
    // The cut mark: the selected items drawn dimmed until the next clipboard operation.
    virtual void MarkSelectedCut() = 0;
    virtual void ClearCutMarks() = 0;
    // Opens the label editor on the selected item; refused (OnStatusText) on a mirror image.
    virtual void EditSelectedLabel() = 0;
    virtual bool IsEditing() const = 0;
    virtual bool EditorHasSelection() const = 0;
    virtual void SelectAllInEditor() = 0;
    virtual void CommitLabelEdit() = 0;
    virtual void CancelLabelEdit() = 0;
};

class TConceptEditorPort {
public:
    virtual ~TConceptEditorPort() = default;
    virtual QWidget* Widget() = 0;
    // Shows or hides the concept panel (hidden while no ontology is loaded).
    virtual void SetEditorActive(bool active) = 0;
    virtual bool IsEditorActive() const = 0;
    virtual void LoadConcept(std::int32_t conceptNo) = 0;
    // A typed change not yet written to the concept table.
    virtual bool HasPendingEdit() const = 0;
    virtual void PostPendingEdit() = 0;
    virtual void CancelPendingEdit() = 0;
    virtual void RefreshEditor() = 0;
    virtual void SetRelationsEditable(bool editable) = 0;
    virtual void ShowParentRelation(const store::TConceptData* entry) = 0;
    virtual void ShowChildRelation(const store::TConceptData* entry) = 0;
};

class TPlaceholderPane : public QWidget,
                         public TTreeViewPort,
                         public TIconViewPort,
                         public TConceptEditorPort {
    Q_OBJECT

public:
    explicit TPlaceholderPane(const QString& name, QWidget* parent = nullptr);

    QWidget* Widget() override { return this; }
    void Clear() override {}
    void ShowConcept(const store::TConceptData&, bool) override {}
    void ExpandFirstNode() override {}
    std::optional<TTreeSelection> Selection() const override { return std::nullopt; }
    bool IsEditing() const override { return false; }
    bool EditorHasSelection() const override { return false; }
    void SelectAllInEditor() override {}
    void CommitLabelEdit() override {}
    void CancelLabelEdit() override {}
    void SetRole(const TIconViewRole&) override {}
    void ClearSelection() override {}
    void Fill(const store::TConceptList&) override {}
    void AddItem(const store::TConceptData&) override {}
    void RefreshItems(const store::TConceptData&) override {}
    bool SelectOnly(const store::TConceptData&) override { return false; }
    void SelectItems(const store::TConceptList&) override {}
    int ItemCount() const override { return 0; }
    std::vector<store::TConceptData> SelectedItems() const override { return {}; }
    std::vector<store::TConceptData> Items() const override { return {}; }
    void SelectAll() override {}
    void SetSmallIcons(bool) override {}
    void MarkSelectedCut() override {}
    void ClearCutMarks() override {}
    void EditSelectedLabel() override {}
    void SetEditorActive(bool active) override { setVisible(active); }
    bool IsEditorActive() const override { return !isHidden(); }
    void LoadConcept(std::int32_t) override {}
    bool HasPendingEdit() const override { return false; }
    void PostPendingEdit() override {}
    void CancelPendingEdit() override {}
    void RefreshEditor() override {}
    void SetRelationsEditable(bool) override {}
    void ShowParentRelation(const store::TConceptData*) override {}
    void ShowChildRelation(const store::TConceptData*) override {}
};

}  // namespace velmora::views
