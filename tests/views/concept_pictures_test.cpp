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

TEST(TreeImageListTest, HoldsTwentyTwoDistinctDrawnPicturesThatIgnoreSelection) {
    const std::vector<QIcon>& pictures = TreeImageList();
    ASSERT_EQ(pictures.size(), 22u);
    std::set<std::string> seen;
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        SCOPED_TRACE("picture " + std::to_string(i));
        const QImage normal = pictures[i].pixmap(16, 16).toImage();
        ASSERT_EQ(normal.size(), QSize(16, 16));
        bool drawn = false;
        for (int y = 0; y < 16 && !drawn; ++y) {
            for (int x = 0; x < 16 && !drawn; ++x) {
                drawn = qAlpha(normal.pixel(x, y)) != 0;
            }
        }
        EXPECT_TRUE(drawn);
        EXPECT_EQ(pictures[i].pixmap(16, 16, QIcon::Selected).toImage(), normal);
        const QImage bytes = normal.convertToFormat(QImage::Format_ARGB32);
        seen.insert(std::string(reinterpret_cast<const char*>(bytes.constBits()),
                                static_cast<std::size_t>(bytes.sizeInBytes())));
    }
    EXPECT_EQ(seen.size(), pictures.size());  // no two kinds look alike
}

}  // namespace
}  // namespace velmora::views
