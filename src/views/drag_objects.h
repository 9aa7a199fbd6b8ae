// What a drag of concepts inside the program carries. A drag object names the view it started
// in; the view under the pointer recognises it by its MIME type and decides what a drop means.
// The objects are handed to QDrag, which owns them and frees them when the drag ends.
#pragma once

#include <QMimeData>

namespace velmora::views {

class TFrameTreeView;

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

}  // namespace velmora::views
