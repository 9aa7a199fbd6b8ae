// What a drag of concepts inside the program carries. A drag object names the view it started
// in; the view under the pointer recognises it by its MIME type and decides what a drop means.
// The objects are handed to QDrag, which owns them and frees them when the drag ends.
#pragma once

#include <QMimeData>
#include <QPoint>
#include <cstdint>
#include <functional>
#include <vector>

namespace velmora::views {

class TFrameTreeView;
class TFrameListView;

// The base of every concept drag.
class TDragBaseConceptObject : public QMimeData {
    Q_OBJECT
};

// A node dragged inside the hierarchy view. (The target and half seen last are kept by the
// frame, which draws the feedback.)
class TDragConceptTreeObject : public TDragBaseConceptObject {
    Q_OBJECT

public:
    static constexpr const char* kMimeType = "application/x-velmora-tree-node";
    explicit TDragConceptTreeObject(TFrameTreeView* frame);
    TFrameTreeView* Frame;
};

// Items thrown out of an icon view: the drop target takes Frame's selected items.
class TDragConceptListThrowObject : public TDragBaseConceptObject {
    Q_OBJECT

public:
    static constexpr const char* kMimeType = "application/x-velmora-icon-throw";
    explicit TDragConceptListThrowObject(TFrameListView* frame);
    TFrameListView* Frame;
};

// Icons moved inside the workspace. Each dragged item keeps the offset of the pointer from its
// icon's top left at the start, so the group keeps its shape; the largest offsets keep every
// icon off negative coordinates. The items are rows of Frame's model as it was at Generation.
class TDragConceptListMoveObject : public QMimeData {
    Q_OBJECT

public:
    static constexpr const char* kMimeType = "application/x-velmora-icon-move";
    TDragConceptListMoveObject(TFrameListView* frame, std::uint64_t generation);

    void AddDragItem(int row, int dx, int dy);
    int Count() const { return static_cast<int>(m_items.size()); }
    int GetItem(int i) const { return m_items[static_cast<std::size_t>(i)]; }
    QPoint GetOffset(int i) const { return m_offsets[static_cast<std::size_t>(i)]; }
    // Called by the source when the drag has ended, dropped or not.
    void Finish();

    TFrameListView* Frame;
    std::uint64_t Generation;
    std::int32_t MaxOffsetX = 0;
    std::int32_t MaxOffsetY = 0;
    std::function<void(TDragConceptListMoveObject&)> OnFinished;

private:
    std::vector<int> m_items;
    std::vector<QPoint> m_offsets;
};

}  // namespace velmora::views
