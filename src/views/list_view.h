// TFrameListView: an icon view of concepts and mirror images, used three times by the main
// window — the workspace (several items selectable, icons placed freely and kept where the user
// puts them), the parents pane and the children pane (one item selectable, arranged in reading
// order, the selection hidden while the view has no focus). The view changes no data: drops,
// retitlings, clipboard keys and every new icon position leave through the callbacks of
// TIconViewPort, and the owner decides what they mean for the view's role.
//
// Each item (TConceptListItem) owns one TConceptData and its icon position. The items live in
// one list model (TConceptListModel); the view that draws them keeps a coarse grid of buckets
// over the positions, so painting, hit tests and free-place searches look only at the items near
// a point, and a level of 100,000 items fills in one model reset.
//
// Drags: a plain drag in the workspace moves the icons (TDragConceptListMoveObject); Ctrl at the
// press in the workspace, or a Ctrl drag in a pane, throws the items to another view
// (TDragConceptListThrowObject). The steps of an icon move are public functions so that they can
// be driven without a real pointer.
#pragma once

#include <QAbstractListModel>
#include <QPoint>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "concept_data.h"
#include "view_ports.h"

class QAbstractItemView;
class QLineEdit;
class QMimeData;

namespace velmora::views {

class TDragConceptListMoveObject;
class TFrameListView;

// One icon: the item it shows, where its icon stands (content coordinates of the view, the top
// left of its cell) and whether it carries the cut mark.
class TConceptListItem {
public:
    TConceptListItem(const store::TConceptData& data, int row) : m_row(row) { m_data.Assign(data); }
    store::TConceptData& Data() { return m_data; }
    const store::TConceptData& Data() const { return m_data; }
    QPoint Position() const { return m_position; }
    int Row() const { return m_row; }
    bool IsCut() const { return m_cut; }

private:
    friend class TFrameListView;
    friend class TConceptListModel;
    store::TConceptData m_data;
    QPoint m_position;
    int m_row;
    bool m_cut = false;
};

// The items of one view in index order. Rows are only ever appended or all removed, so a row
// number names the same item until the next reset.
class TConceptListModel : public QAbstractListModel {
    Q_OBJECT

public:
    explicit TConceptListModel(QObject* parent = nullptr);
    ~TConceptListModel() override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    int Count() const { return static_cast<int>(m_items.size()); }
    TConceptListItem& Item(int row) { return *m_items[static_cast<std::size_t>(row)]; }
    const TConceptListItem& Item(int row) const { return *m_items[static_cast<std::size_t>(row)]; }
    // Pictures of the parents pane (a mirror image stands for a further parent), and their size.
    void SetPictures(bool parentsPane, bool small);
    // Replaces every item by copies of items, in one reset.
    void Reset(const std::vector<const store::TConceptData*>& items);
    TConceptListItem& Append(const store::TConceptData& data);
    void Changed(int row);
    void ChangedAll();
    // Bumped by every reset: a drag that outlives its items knows them gone.
    std::uint64_t Generation() const { return m_generation; }

private:
    std::vector<std::unique_ptr<TConceptListItem>> m_items;
    bool m_parentsPane = false;
    bool m_small = false;
    std::uint64_t m_generation = 0;
};

class TFrameListView : public QWidget, public TIconViewPort {
    Q_OBJECT

public:
    // What a drag that starts now would be, from the keys held at the mouse press.
    enum class TDragKind { None, Move, Throw };

    explicit TFrameListView(QWidget* parent = nullptr);
    ~TFrameListView() override;

    // 0 workspace, 1 parents pane, 2 children pane; sets the role that goes with the mode.
    void SetViewMode(int mode);
    int ViewMode() const { return m_viewMode; }
    // Replaces the content by copies of list: placed items first, then the unplaced ones, which
    // get free places, all reported in one OnItemsPlaced.
    void SetItems(const store::TConceptList& list);
    // Appends an item for data; in the workspace an unplaced item takes the first free place
    // and is reported through OnItemsPlaced.
    TConceptListItem& AddConceptItem(const store::TConceptData& data);
    void UpdateItem(TConceptListItem& item);
    // The first selected item when it equals data, else the first equal item in index order.
    TConceptListItem* FindItem(const store::TConceptData& data);
    bool SelectItem(const store::TConceptData& data);
    void ClearItems();
    // Copies the item's position into its data's IconPos and reports it (OnItemsPlaced).
    void StoreItemPosition(TConceptListItem& item);
    // Copies of the selected items' data in index order.
    std::unique_ptr<store::TConceptList> GetSelectedList() const;

    TConceptListModel& Model() { return *m_model; }
    QAbstractItemView* ListViewConcept() const;
    TConceptListItem* ItemAt(const QPoint& viewportPos) const;
    // Moves an icon without reporting anything (tests and the move step place icons this way).
    void SetItemPosition(TConceptListItem& item, QPoint position);
    // The size of one icon's cell for the current icon size.
    QSize CellSize() const;
    bool SmallIcons() const { return m_small; }
    // Whether the empty workspace's picture is drawn now.
    bool ShowsWatermark() const;
    // The picture index of an item in this view.
    int PictureOf(const TConceptListItem& item) const;

    // Drags, step by step. The modifiers are those held at the mouse press.
    TDragKind DragKindFor(Qt::KeyboardModifiers pressModifiers) const;
    // A move object for the selected items, the pointer at pointer (viewport coordinates).
    std::unique_ptr<TDragConceptListMoveObject> BeginMove(const QPoint& pointer);
    // Places the dragged icons for the pointer at pointer (viewport coordinates).
    void DragMoveTo(TDragConceptListMoveObject& move, const QPoint& pointer);
    // The end of a move, dropped anywhere or nowhere: one OnItemsMoved when an icon moved.
    void FinishMove(TDragConceptListMoveObject& move);
    // A drop of data at pointer (viewport coordinates): OnDropItems for a tree node or a throw.
    void DropAt(const QMimeData& data, const QPoint& pointer);

    // TIconViewPort
    void SetRole(const TIconViewRole& role) override;
    void ClearSelection() override;
    QWidget* Widget() override { return this; }
    void Clear() override { ClearItems(); }
    void Fill(const store::TConceptList& items) override { SetItems(items); }
    void AddItem(const store::TConceptData& item) override { AddConceptItem(item); }
    void RefreshItems(const store::TConceptData& item) override;
    bool SelectOnly(const store::TConceptData& entry) override { return SelectItem(entry); }
    void SelectItems(const store::TConceptList& items) override;
    int ItemCount() const override { return m_model->Count(); }
    std::vector<store::TConceptData> SelectedItems() const override;
    std::vector<store::TConceptData> Items() const override;
    void SelectAll() override;
    void SetSmallIcons(bool small) override;
    void MarkSelectedCut() override;
    void ClearCutMarks() override;
    void EditSelectedLabel() override;
    bool IsEditing() const override;
    bool EditorHasSelection() const override;
    void SelectAllInEditor() override;
    void CommitLabelEdit() override;
    void CancelLabelEdit() override;

private:
    class TIconList;
    class TLabelDelegate;
    friend class TIconList;
    friend class TLabelDelegate;

    std::vector<int> SelectedRows() const;
    // Puts items that have no place yet at the first free cells in reading order.
    void PlaceUnplaced(const std::vector<int>& rows);
    // Copies positions into IconPos and hands them out as one list.
    store::TConceptList TakePositions(const std::vector<int>& rows);
    int FreeColumns() const;
    void Arrange();
    // Files every icon in its bucket again (after the cell size changed), and UpdateContent.
    void Relayout();
    // The content size from the icons' positions, then scroll bars and a repaint.
    void UpdateContent();
    void GrowContent(QPoint position, QSize cell);
    // The rows whose icons meet content (content coordinates), in index order.
    std::vector<int> RowsIn(const QRect& content) const;
    void IndexRow(int row);
    void UnindexRow(int row);
    bool CellIsFree(const QRect& cell) const;
    void StartDrag();
    void RefuseMirrorEdit();
    void FinishLabelEdit(int row, const QString& text);
    void ReportSelectionChange();
    QLineEdit* LabelEditor() const;

    TConceptListModel* m_model;
    TIconList* m_list;
    int m_viewMode = 0;
    TIconViewRole m_role{true, true, false};
    bool m_small = false;
    // Positions by bucket (a cell-sized square of content coordinates), and the content size.
    std::unordered_map<std::int64_t, std::vector<int>> m_buckets;
    QSize m_bucketSize;
    QSize m_contentSize;
    // The first row of each item (concepts by ConceptNo, mirror images by LinkNo).
    std::unordered_map<std::int64_t, int> m_rowOf;
    Qt::KeyboardModifiers m_mouseDownShift;
    QPoint m_lastPointer;
    int m_quietSelection = 0;
    bool m_cancellingEdit = false;
    bool m_clearing = false;
};

}  // namespace velmora::views
