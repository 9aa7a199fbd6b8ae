#include "concept_pictures.h"

#include <QColor>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <algorithm>
#include <array>

namespace velmora::views {

namespace {

// The relations' colours by picture index (link codes 1 to 10).
const std::array<QColor, kRelationPictureCount>& RelationColours() {
    static const std::array<QColor, kRelationPictureCount> colours{
        QColor(Qt::white),        QColor(0xe0, 0x20, 0x20), QColor(0x20, 0x50, 0xe0),
        QColor(0xf0, 0xd0, 0x00), QColor(0xff, 0x8c, 0x00), QColor(0x90, 0x30, 0xc0),
        QColor(0x10, 0x90, 0x30), QColor(0x00, 0xc0, 0xd0), QColor(0xff, 0x80, 0xc0),
        QColor(0x90, 0xe0, 0x70)};
    return colours;
}

QColor Dimmed(QColor colour) {
    // Toward a light grey: the same hue, clearly paler.
    return QColor((colour.red() + 2 * 200) / 3, (colour.green() + 2 * 200) / 3,
                  (colour.blue() + 2 * 200) / 3);
}

// A picture that looks the same selected as unselected (the style would tint it).
QIcon Unchanging(const QPixmap& pixmap) {
    QIcon icon;
    for (const QIcon::Mode mode : {QIcon::Normal, QIcon::Selected, QIcon::Active}) {
        icon.addPixmap(pixmap, mode);
    }
    return icon;
}

// An empty, transparent size × size pixmap.
QPixmap Canvas(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

// The drawing below is laid out on the 16-pixel grid; other sizes scale it.
void OnGrid(QPainter& p, int size) {
    if (size != kSmallPictureSize) {
        const double scale = static_cast<double>(size) / kSmallPictureSize;
        p.scale(scale, scale);
    }
}

QIcon ConceptPicture(int size, bool bright) {
    QPixmap pixmap = Canvas(size);
    QPainter p(&pixmap);
    OnGrid(p, size);
    p.setRenderHint(QPainter::Antialiasing, false);
    const QColor body = bright ? QColor(0x3a, 0x78, 0xc8) : Dimmed(QColor(0x3a, 0x78, 0xc8));
    const QColor edge = bright ? QColor(0x1d, 0x3f, 0x73) : Dimmed(QColor(0x1d, 0x3f, 0x73));
    p.setPen(edge);
    p.setBrush(body);
    p.drawRect(2, 2, 11, 8);
    p.setBrush(bright ? QColor(0xff, 0xd5, 0x4f) : Dimmed(QColor(0xff, 0xd5, 0x4f)));
    p.drawRect(5, 11, 5, 3);
    p.drawLine(7, 10, 7, 11);
    p.end();
    return Unchanging(pixmap);
}

QIcon ArrowPicture(int size, QColor colour, bool bright) {
    QPixmap pixmap = Canvas(size);
    QPainter p(&pixmap);
    OnGrid(p, size);
    p.setRenderHint(QPainter::Antialiasing, true);
    const QColor fill = bright ? colour : Dimmed(colour);
    QPainterPath arrow;
    arrow.moveTo(5.5, 1.5);
    arrow.lineTo(10.5, 1.5);
    arrow.lineTo(10.5, 8.5);
    arrow.lineTo(14.5, 8.5);
    arrow.lineTo(8, 15);
    arrow.lineTo(1.5, 8.5);
    arrow.lineTo(5.5, 8.5);
    arrow.closeSubpath();
    p.setPen(QPen(bright ? QColor(0x40, 0x40, 0x40) : QColor(0x9a, 0x9a, 0x9a), 1));
    p.setBrush(fill);
    p.drawPath(arrow);
    p.end();
    return Unchanging(pixmap);
}

}  // namespace

const std::vector<QIcon>& TreeImageList() {
    static const std::vector<QIcon> pictures = [] {
        std::vector<QIcon> list{ConceptPicture(kSmallPictureSize, true),
                                ConceptPicture(kSmallPictureSize, false)};
        for (const QColor& colour : RelationColours()) {
            list.push_back(ArrowPicture(kSmallPictureSize, colour, true));
            list.push_back(ArrowPicture(kSmallPictureSize, colour, false));
        }
        return list;
    }();
    return pictures;
}

int LinkTypePictureIndex(int linkCode) {
    return std::clamp(linkCode, 1, kRelationPictureCount) - 1;
}

int ImageIndex(const store::TConceptData& data) {
    const int dimmed = data.HasChildren() ? 0 : 1;
    if (!data.IsLink()) {
        return dimmed;
    }
    return 2 + 2 * LinkTypePictureIndex(data.LinkCode) + dimmed;
}

}  // namespace velmora::views
