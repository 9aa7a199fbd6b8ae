// The one source of the pictures that stand for concepts and relations: the hierarchy view's
// picture list and the index of an item's picture in it, and the index of a relation's picture
// by its link code. The pictures are drawn in code once, on first use, and shared by every view;
// they look the same selected as unselected.
//
// The drawing takes the picture size as a parameter, so the icon views' larger pictures and the
// link-type dialogs' relation pictures come from the same drawing as the tree's.
#pragma once

#include <QIcon>
#include <vector>

#include "concept_data.h"

namespace velmora::views {

// Pictures are drawn on a grid of this many pixels and scaled to the size asked for.
constexpr int kSmallPictureSize = 16;
// Relations with a picture of their own: link codes 1 to 10; higher codes share the last one.
constexpr int kRelationPictureCount = 10;

// The hierarchy view's pictures, 16 × 16: 0 a concept with children, 1 the same dimmed (no
// children), then a pair for each link code 1 to 10 — the relation's downward arrow, bright for
// a shown concept with children and dimmed for one without.
const std::vector<QIcon>& TreeImageList();

// The index in TreeImageList of the picture for data.
int ImageIndex(const store::TConceptData& data);

// The index of a relation's picture among the relation pictures: link codes 1 to 10 give 0 to 9,
// higher codes share 9 (and codes below 1, which no stored relation has, 0).
int LinkTypePictureIndex(int linkCode);

}  // namespace velmora::views
