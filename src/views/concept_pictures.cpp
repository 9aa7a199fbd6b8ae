#include "concept_pictures.h"

#include <QColor>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <algorithm>
#include <array>
#include <functional>

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

// The drawings below, on the 16-pixel grid, are shared by every picture list.
void DrawConcept(QPainter& p, bool bright) {
    p.setRenderHint(QPainter::Antialiasing, false);
    const QColor body = bright ? QColor(0x3a, 0x78, 0xc8) : Dimmed(QColor(0x3a, 0x78, 0xc8));
    const QColor edge = bright ? QColor(0x1d, 0x3f, 0x73) : Dimmed(QColor(0x1d, 0x3f, 0x73));
    p.setPen(edge);
    p.setBrush(body);
    p.drawRect(2, 2, 11, 8);
    p.setBrush(bright ? QColor(0xff, 0xd5, 0x4f) : Dimmed(QColor(0xff, 0xd5, 0x4f)));
    p.drawRect(5, 11, 5, 3);
    p.drawLine(7, 10, 7, 11);
}

void DrawArrow(QPainter& p, QColor colour, bool bright) {
    p.setRenderHint(QPainter::Antialiasing, true);
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
    p.setBrush(bright ? colour : Dimmed(colour));
    p.drawPath(arrow);
}

// The icon views' tile behind a relation's arrow: a concept shown again, with or without
// children of its own.
void DrawTile(QPainter& p, bool bright) {
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(bright ? QColor(0x50, 0x5a, 0x6e) : QColor(0xa8, 0xac, 0xb4), 0.8));
    p.setBrush(bright ? QColor(0xc8, 0xd8, 0xf0) : QColor(0xe6, 0xe8, 0xec));
    p.drawRoundedRect(QRectF(0.5, 0.5, 15, 15), 2.5, 2.5);
}

QIcon Picture(int size, const std::function<void(QPainter&)>& draw) {
    QPixmap pixmap = Canvas(size);
    QPainter p(&pixmap);
    OnGrid(p, size);
    draw(p);
    p.end();
    return Unchanging(pixmap);
}

QIcon ConceptPicture(int size, bool bright) {
    return Picture(size, [bright](QPainter& p) { DrawConcept(p, bright); });
}

QIcon ArrowPicture(int size, QColor colour, bool bright) {
    return Picture(size, [&colour, bright](QPainter& p) { DrawArrow(p, colour, bright); });
}

QIcon TiledArrowPicture(int size, QColor colour, bool bright) {
    return Picture(size, [&colour, bright](QPainter& p) {
        DrawTile(p, bright);
        p.save();
        // The arrow a little smaller, so the tile shows round it.
        p.translate(1.6, 1.2);
        p.scale(0.8, 0.8);
        DrawArrow(p, colour, bright);
        p.restore();
    });
}

// A concept reached through a mirror image: the concept with the relation's arrow, half size,
// at its lower right.
QIcon ParentPicture(int size, QColor colour) {
    return Picture(size, [&colour](QPainter& p) {
        DrawConcept(p, true);
        p.translate(7.5, 7.5);
        p.scale(0.53, 0.53);
        DrawArrow(p, colour, true);
    });
}

std::vector<QIcon> MakeListImageList(int size) {
    std::vector<QIcon> list{ConceptPicture(size, true), ConceptPicture(size, false)};
    for (const QColor& colour : RelationColours()) {
        list.push_back(TiledArrowPicture(size, colour, true));
        list.push_back(TiledArrowPicture(size, colour, false));
        list.push_back(ParentPicture(size, colour));
    }
    return list;
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

const std::vector<QIcon>& ListImageList(int size) {
    static const std::vector<QIcon> large = MakeListImageList(kLargePictureSize);
    static const std::vector<QIcon> small = MakeListImageList(kSmallPictureSize);
    return size == kLargePictureSize ? large : small;
}

int ListImageIndex(const store::TConceptData& data, bool parentsPane) {
    const int dimmed = data.HasChildren() ? 0 : 1;
    if (!data.IsLink()) {
        return dimmed;
    }
    const int k = LinkTypePictureIndex(data.LinkCode) + 1;
    return parentsPane ? 3 * k + 1 : 3 * k - 1 + dimmed;
}

int ImageIndex(const store::TConceptData& data) {
    const int dimmed = data.HasChildren() ? 0 : 1;
    if (!data.IsLink()) {
        return dimmed;
    }
    return 2 + 2 * LinkTypePictureIndex(data.LinkCode) + dimmed;
}

const QIcon& RelationPicture(int linkCode) {
    // The tree's pair for a relation: the bright arrow first.
    return TreeImageList()[static_cast<std::size_t>(2 + 2 * LinkTypePictureIndex(linkCode))];
}

}  // namespace velmora::views
