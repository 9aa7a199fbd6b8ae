// The hierarchy view's pictures: which picture an item gets, and that each one is there, drawn,
// and unchanged by selection.
#include <gtest/gtest.h>

#include <QIcon>
#include <QImage>
#include <QPixmap>

#include <ostream>
#include <set>
#include <string>

#include "concept_pictures.h"

namespace velmora::views {
namespace {

struct TPictureCase {
    bool isLink;
    int linkCode;
    bool hasChildren;
    int picture;
};

void PrintTo(const TPictureCase& c, std::ostream* out) {
    *out << (c.isLink ? "mirror image, code " + std::to_string(c.linkCode) : "concept")
         << (c.hasChildren ? " with children" : " without children");
}

class ImageIndexTest : public ::testing::TestWithParam<TPictureCase> {};

TEST_P(ImageIndexTest, PicksThePictureOfTheKindTheRelationAndTheChildren) {
    const TPictureCase& c = GetParam();
    store::TConceptData item;
    item.SetIsLink(c.isLink);
    item.LinkCode = c.linkCode;
    item.SetHasChildren(c.hasChildren);
    EXPECT_EQ(ImageIndex(item), c.picture);
}

INSTANTIATE_TEST_SUITE_P(
    Items, ImageIndexTest,
    ::testing::Values(TPictureCase{false, 0, true, 0}, TPictureCase{false, 0, false, 1},
                      TPictureCase{true, 1, true, 2}, TPictureCase{true, 1, false, 3},
                      TPictureCase{true, 3, true, 6}, TPictureCase{true, 10, false, 21},
                      // Codes above 10 share the pictures of 10.
                      TPictureCase{true, 11, true, 20}, TPictureCase{true, 14, false, 21}));

TEST(LinkTypePictureIndexTest, GivesEachDefaultRelationItsOwnAndTheRestTheLast) {
    EXPECT_EQ(LinkTypePictureIndex(1), 0);
    EXPECT_EQ(LinkTypePictureIndex(2), 1);
    EXPECT_EQ(LinkTypePictureIndex(10), 9);
    EXPECT_EQ(LinkTypePictureIndex(11), 9);
    EXPECT_EQ(LinkTypePictureIndex(1000), 9);
}

// Every picture of a list drawn at size, unchanged by selection, and no two alike.
void ExpectDistinctDrawnPictures(const std::vector<QIcon>& pictures, int size) {
    std::set<std::string> seen;
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        SCOPED_TRACE("picture " + std::to_string(i) + " at " + std::to_string(size));
        const QImage normal = pictures[i].pixmap(size, size).toImage();
        ASSERT_EQ(normal.size(), QSize(size, size));
        bool drawn = false;
        for (int y = 0; y < size && !drawn; ++y) {
            for (int x = 0; x < size && !drawn; ++x) {
                drawn = qAlpha(normal.pixel(x, y)) != 0;
            }
        }
        EXPECT_TRUE(drawn);
        EXPECT_EQ(pictures[i].pixmap(size, size, QIcon::Selected).toImage(), normal);
        const QImage bytes = normal.convertToFormat(QImage::Format_ARGB32);
        seen.insert(std::string(reinterpret_cast<const char*>(bytes.constBits()),
                                static_cast<std::size_t>(bytes.sizeInBytes())));
    }
    EXPECT_EQ(seen.size(), pictures.size());  // no two kinds look alike
}

TEST(TreeImageListTest, HoldsTwentyTwoDistinctDrawnPicturesThatIgnoreSelection) {
    ASSERT_EQ(TreeImageList().size(), 22u);
    ExpectDistinctDrawnPictures(TreeImageList(), kSmallPictureSize);
}

TEST(ListImageListTest, HoldsThirtyTwoDistinctPicturesInEachSize) {
    for (const int size : {kLargePictureSize, kSmallPictureSize}) {
        ASSERT_EQ(ListImageList(size).size(), 32u);
        ExpectDistinctDrawnPictures(ListImageList(size), size);
    }
}

TEST(ListImageIndexTest, PicksByKindRelationChildrenAndPane) {
    struct TCase {
        bool isLink;
        int linkCode;
        bool hasChildren;
        bool parentsPane;
        int picture;
    };
    const TCase cases[] = {
        {false, 0, true, false, 0},
        {false, 0, false, false, 1},
        {false, 0, false, true, 1},
        {true, 1, true, false, 2},
        {true, 1, false, false, 3},
        {true, 1, true, true, 4},
        {true, 3, true, false, 8},
        {true, 3, false, false, 9},
        {true, 3, false, true, 10},
        {true, 10, false, false, 30},
        {true, 10, true, true, 31},
        // Codes above 10 share the pictures of 10.
        {true, 12, true, false, 29},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.linkCode) + (c.parentsPane ? " parents pane" : ""));
        store::TConceptData item;
        item.SetIsLink(c.isLink);
        item.LinkCode = c.linkCode;
        item.SetHasChildren(c.hasChildren);
        EXPECT_EQ(ListImageIndex(item, c.parentsPane), c.picture);
    }
}

}  // namespace
}  // namespace velmora::views
