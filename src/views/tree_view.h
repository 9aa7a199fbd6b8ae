// TFrameTreeView: the hierarchy view. A tree of concepts and mirror images from the top concept
// down that loads a level only when the user opens it, shows each item's title with a picture
// for its kind and relation (drawn by concept_pictures), lets the user retitle concepts in place
// and move nodes by drag and drop (drag_objects). It knows nothing of the tables: it asks for
// parents and children through OnSeekParent and OnSeekChildren, and hands selections, retitlings
// and drops to its owner through callbacks.
//
// Every node owns one TConceptData. Nodes are indexed by the item they show, so finding the node
// of an item and refreshing every node of a concept cost no walk over the tree.
#pragma once

#include <QTreeWidget>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "concept_data.h"
#include "view_ports.h"

class QTimer;

namespace velmora::views {

enum TNodeAttachMode { amAdd, amAddChild, amInsert };

class TFrameTreeView;
class TFrameListView;

// A node of the tree with the item it shows.
class TConceptNode : public QTreeWidgetItem {
public:
    TConceptNode(TFrameTreeView& frame, std::unique_ptr<store::TConceptData> data);
    ~TConceptNode() override;
    store::TConceptData& Data() { return *m_data; }
    const store::TConceptData& Data() const { return *m_data; }
    TConceptNode* ParentNode() const { return static_cast<TConceptNode*>(parent()); }
    TConceptNode* ChildNode(int index) const { return static_cast<TConceptNode*>(child(index)); }
    TConceptNode* PreviousSibling() const { return Sibling(-1); }
    TConceptNode* NextSibling() const { return Sibling(1); }
    // Levels above and including this node; a root node counts 1.
    int Level() const;

private:
    friend class TFrameTreeView;
    TConceptNode* Sibling(int offset) const;
    TFrameTreeView* m_frame;
    std::unique_ptr<store::TConceptData> m_data;
};

class TFrameTreeView : public QWidget, public TTreeViewPort {
    Q_OBJECT

public:
    static constexpr int kIndent = 19;
    static constexpr int kPathLimit = 1000;

    explicit TFrameTreeView(QWidget* parent = nullptr);
    ~TFrameTreeView() override;

    // Given an item, a new item for the concept it stands under, or null for the top concept.
    std::function<std::unique_ptr<store::TConceptData>(const store::TConceptData&)> OnSeekParent;
    // Given a concept, a new list of its children in level order.
    std::function<std::unique_ptr<store::TConceptList>(const store::TConceptData&)> OnSeekChildren;
    // The selection changed and stayed so for 50 ms.
    std::function<void()> OnSelectionChange;
    // A text for the status line.
    std::function<void(const QString&)> OnStatusText;
    // A concept's label was edited; text is what the user typed (may be empty).
    std::function<void(TConceptNode& node, const QString& text)> OnTitleEdited;
    // A node was dropped on another: beside it, before it or (lowerHalf) after it.
    std::function<void(TConceptNode& source, TConceptNode& target, bool lowerHalf)> OnNodeDropped;
    // Items thrown from an icon view were dropped on target (never a mirror image): each is to
    // become the last child of target's concept. The owner does the move.
    std::function<void(const store::TConceptList& items, TConceptNode& target)> OnItemsThrown;
    // An error while loading a level the user opened (raised inside Qt's event handling).
    std::function<void(const std::exception& error)> OnError;
    // Ctrl+X / Ctrl+C while no label is edited: the selected items for the concept clipboard.
    std::function<void(const store::TConceptList& items, bool cut)> OnClipboard;

    QTreeWidget* ConceptTreeView() const;

    TConceptNode* AddNode(TConceptNode* parent, std::unique_ptr<store::TConceptData> data);
    void ClearTree();
    void UpdateNode(TConceptNode& node);
    TConceptNode* FindSiblingNode(TConceptNode& node, const store::TConceptData& item) const;
    TConceptNode* FindNode(const store::TConceptData& item) const;
    bool SelectNode(const store::TConceptData& item);
    std::unique_ptr<store::TConceptList> GetSelectedList() const;
    TConceptNode& BuildPathTo(const store::TConceptData& item);
    void TreeViewExpandTreeNode(TConceptNode& node);
    void CopyToClipboard();
    void CutToClipboard();

    TConceptNode* SelectedNode() const;
    TConceptNode* RootNode() const;
    // Every loaded node showing the concept (its own node and those of its mirror images).
    std::vector<TConceptNode*> NodesOfConcept(std::int32_t conceptNo) const;
    // Deletes the loaded nodes of the mirror images that gone picks (their records were
    // deleted); returns the parent nodes they leave, each once.
    std::vector<TConceptNode*> RemoveMirrorNodes(
        const std::function<bool(const store::TConceptData&)>& gone);
    // Moves node in the view only, as mode says relative to destination.
    void MoveNodeInView(TConceptNode& node, TConceptNode& destination, TNodeAttachMode mode);
    // Expands node, loading its children when none are loaded.
    void ExpandNode(TConceptNode& node);
    // Sorts the children of parent by less, collapsing each first.
    void SortChildren(
        TConceptNode& parent,
        const std::function<bool(const store::TConceptData&, const store::TConceptData&)>& less);
    // Opens the label editor on the selected node; refused with a status text on a mirror image.
    void EditSelectedLabel();

    // TTreeViewPort
    QWidget* Widget() override { return this; }
    void Clear() override { ClearTree(); }
    void ShowConcept(const store::TConceptData& item, bool force) override;
    void ExpandFirstNode() override;
    std::optional<TTreeSelection> Selection() const override;
    bool IsEditing() const override;
    bool EditorHasSelection() const override;
    void SelectAllInEditor() override;
    void CommitLabelEdit() override;
    void CancelLabelEdit() override;

    // The drop's feedback, for tests and painting: the half of the target last seen.
    bool DropLowerHalf() const { return m_dropLowerHalf; }
    // Whether a drop of a tree node at pos (viewport coordinates) would be accepted, updating
    // the feedback; and the drop itself.
    bool DragOverAt(const QPoint& pos);
    void DropAt(const QPoint& pos);
    // Whether a drag may start from the selected node.
    bool CanStartDrag() const;
    // Whether items thrown from an icon view may land on the node at pos (a concept, never a
    // mirror image), marking it; and the drop itself, which takes source's selected items.
    bool ThrowOverAt(const QPoint& pos);
    void ThrowAt(const TFrameListView& source, const QPoint& pos);

private:
    friend class TConceptNode;
    class TTree;
    class TLabelDelegate;

    void Register(TConceptNode& node);
    void Unregister(TConceptNode& node);
    void OnItemExpanded(QTreeWidgetItem* item);
    void OnItemCollapsed(QTreeWidgetItem* item);
    bool LowerHalfAt(QTreeWidgetItem* item, const QPoint& pos) const;
    void PaintDropMark(QPainter& painter) const;
    QLineEdit* LabelEditor() const;
    void FinishLabelEdit(TConceptNode& node, const QString& text);
    void RefuseMirrorEdit();

    TTree* m_tree;
    QTimer* m_selectionTimer;
    // Nodes by what they show: concepts by ConceptNo, mirror images by LinkNo.
    std::unordered_map<std::int32_t, TConceptNode*> m_conceptNodes;
    std::unordered_map<std::int32_t, TConceptNode*> m_mirrorNodes;
    std::unordered_multimap<std::int32_t, TConceptNode*> m_nodesByConcept;
    bool m_clearing = false;
    bool m_cancellingEdit = false;
    bool m_loading = false;
    QTreeWidgetItem* m_dropTarget = nullptr;
    bool m_dropLowerHalf = false;
    bool m_dragging = false;
    // A throw from an icon view is over the tree: its target is marked, without the bar.
    bool m_throwOver = false;
};

}  // namespace velmora::views
