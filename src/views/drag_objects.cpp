#include "drag_objects.h"

#include <QByteArray>
#include <algorithm>

namespace velmora::views {

TDragConceptTreeObject::TDragConceptTreeObject(TFrameTreeView* frame) : Frame(frame) {
    setData(kMimeType, QByteArray());
}

TDragConceptListThrowObject::TDragConceptListThrowObject(TFrameListView* frame) : Frame(frame) {
    setData(kMimeType, QByteArray());
}

TDragConceptListMoveObject::TDragConceptListMoveObject(TFrameListView* frame,
                                                       std::uint64_t generation)
    : Frame(frame), Generation(generation) {
    setData(kMimeType, QByteArray());
}

void TDragConceptListMoveObject::AddDragItem(int row, int dx, int dy) {
    m_items.push_back(row);
    m_offsets.emplace_back(dx, dy);
    MaxOffsetX = std::max(MaxOffsetX, dx);
    MaxOffsetY = std::max(MaxOffsetY, dy);
}

void TDragConceptListMoveObject::Finish() {
    if (OnFinished) {
        OnFinished(*this);
    }
}

}  // namespace velmora::views
