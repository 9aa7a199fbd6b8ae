#include "drag_objects.h"

#include <QByteArray>

namespace velmora::views {

TDragConceptTreeObject::TDragConceptTreeObject(TFrameTreeView* frame) : Frame(frame) {
    setData(kMimeType, QByteArray());
}

}  // namespace velmora::views
