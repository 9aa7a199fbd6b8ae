// The one source of the pictures that stand for concepts and relations: the hierarchy view's
// picture list, the icon views' two picture lists, the index of an item's picture in each, and
// the index of a relation's picture by its link code. The pictures are drawn in code once, on
// first use, and shared by every view; they look the same selected as unselected.
//
// The drawing takes the picture size as a parameter, so the icon views' pictures and the
// link-type dialogs' relation pictures come from the same drawing as the tree's.
#pragma once

#include <QIcon>
#include <vector>

#include "concept_data.h"

namespace velmora::views {

// Pictures are drawn on a grid of this many pixels and scaled to the size asked for.
constexpr int kSmallPictureSize = 16;
// The icon views' large pictures.
constexpr int kLargePictureSize = 48;
// Relations with a picture of their own: link codes 1 to 10; higher codes share the last one.
constexpr int kRelationPictureCount = 10;

// The hierarchy view's pictures, 16 × 16: 0 a concept with children, 1 the same dimmed (no
// children), then a pair for each link code 1 to 10 — the relation's downward arrow, bright for
// a shown concept with children and dimmed for one without.
const std::vector<QIcon>& TreeImageList();

// The index in TreeImageList of the picture for data.
int ImageIndex(const store::TConceptData& data);

// The icon views' pictures, kLargePictureSize or kSmallPictureSize square, 32 in the same
// arrangement for both sizes: 0 a concept with children, 1 the same dimmed, then three for each
// link code k from 1 to 10 at 3k − 1, 3k and 3k + 1 — the relation's arrow on a bright tile
// (the shown concept has children), on a dimmed tile (it has none), and the concept picture with
// the relation's small arrow at its lower right (a parent reached through a mirror image).
const std::vector<QIcon>& ListImageList(int size);

// The index in ListImageList of the picture for data; in the parents pane a mirror image stands
// for a further parent.
int ListImageIndex(const store::TConceptData& data, bool parentsPane);

// The index of a relation's picture among the relation pictures: link codes 1 to 10 give 0 to 9,
// higher codes share 9 (and codes below 1, which no stored relation has, 0).
int LinkTypePictureIndex(int linkCode);
// A relation's picture, 16 × 16: its downward arrow in the relation's colour, as the tree shows
// a mirror image of that relation.
const QIcon& RelationPicture(int linkCode);

}  // namespace velmora::views
