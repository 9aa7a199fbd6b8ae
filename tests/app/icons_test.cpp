// The command icons and the program icon are compiled-in SVG resources: each must exist under
// the name of its command and actually draw something through Qt's SVG icon engine.
#include <gtest/gtest.h>

#include <QFile>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QString>

#include <ostream>
#include <string>

// Outside any namespace: the macro declares the initializer at the enclosing scope. The resources
// live in a static library, and referencing the initializer keeps them linked.
static void InitIconResources() {
    Q_INIT_RESOURCE(icons);
}

namespace {

struct TIconCase {
    const char* path;
    int size;
    const char* viewBox;
};

// Failure messages name the icon rather than dumping the bytes of the case.
void PrintTo(const TIconCase& icon, std::ostream* out) {
    *out << icon.path << " at " << icon.size << " px";
}

constexpr const char* kCommandViewBox = "viewBox=\"0 0 16 16\"";

// Every command that shows a picture in the menus or the tool bar.
const TIconCase kIconCases[] = {
    {":/icons/FileCreate1.svg", 16, kCommandViewBox},
    {":/icons/FileOpen1.svg", 16, kCommandViewBox},
    {":/icons/FileSave1.svg", 16, kCommandViewBox},
    {":/icons/FileSaveAs1.svg", 16, kCommandViewBox},
    {":/icons/FilePrintDlg1.svg", 16, kCommandViewBox},
    {":/icons/FileExit1.svg", 16, kCommandViewBox},
    {":/icons/FileOntologyConfig.svg", 16, kCommandViewBox},
    {":/icons/EditUndo.svg", 16, kCommandViewBox},
    {":/icons/EditCut.svg", 16, kCommandViewBox},
    {":/icons/EditCopy.svg", 16, kCommandViewBox},
    {":/icons/EditPaste.svg", 16, kCommandViewBox},
    {":/icons/EditDelete.svg", 16, kCommandViewBox},
    {":/icons/EditFind.svg", 16, kCommandViewBox},
    {":/icons/EditSelectAll.svg", 16, kCommandViewBox},
    {":/icons/BrowseGoBack.svg", 16, kCommandViewBox},
    {":/icons/BrowseGoForward.svg", 16, kCommandViewBox},
    {":/icons/TreeviewAddSibling.svg", 16, kCommandViewBox},
    {":/icons/TreeviewAddChild.svg", 16, kCommandViewBox},
    {":/icons/TreeviewEditLabel.svg", 16, kCommandViewBox},
    {":/icons/TreeviewSortSibling.svg", 16, kCommandViewBox},
    {":/icons/TreeviewMoveHigher.svg", 16, kCommandViewBox},
    {":/icons/TreeviewMoveLower.svg", 16, kCommandViewBox},
    {":/icons/TreeviewMoveUpper.svg", 16, kCommandViewBox},
    {":/icons/TreeviewMoveDown.svg", 16, kCommandViewBox},
    {":/icons/WorkspaceAddNode.svg", 16, kCommandViewBox},
    {":/icons/WorkspaceArrange.svg", 16, kCommandViewBox},
    {":/icons/WorkspaceLargeIcon.svg", 16, kCommandViewBox},
    {":/icons/WorkspaceSmallIcon.svg", 16, kCommandViewBox},
    {":/icons/WorkspaceDivide.svg", 16, kCommandViewBox},
    {":/icons/WorkSpaceMerge.svg", 16, kCommandViewBox},
    {":/icons/WorkspaceCreateMirrorImage.svg", 16, kCommandViewBox},
    {":/icons/WorkspaceEditLinkType.svg", 16, kCommandViewBox},
    {":/icons/ImportText.svg", 16, kCommandViewBox},
    {":/icons/ImportCSV.svg", 16, kCommandViewBox},
    {":/icons/ExportWord.svg", 16, kCommandViewBox},
    {":/icons/ExportExcel.svg", 16, kCommandViewBox},
    {":/icons/ToolOption.svg", 16, kCommandViewBox},
    {":/icons/HelpBrowse.svg", 16, kCommandViewBox},
    {":/icons/HelpVersion.svg", 16, kCommandViewBox},
    // The program icon is also the window icon: it must hold up small and large.
    {":/icons/velmora.svg", 16, "viewBox=\"0 0 64 64\""},
    {":/icons/velmora.svg", 64, "viewBox=\"0 0 64 64\""},
};

int CountOpaquePixels(const QImage& image) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) == 255) {
                ++count;
            }
        }
    }
    return count;
}

class IconResourceTest : public ::testing::TestWithParam<TIconCase> {
protected:
    static void SetUpTestSuite() { InitIconResources(); }
};

TEST_P(IconResourceTest, ExistsAndRendersAtItsSize) {
    const TIconCase& icon = GetParam();
    QFile file(icon.path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << icon.path;
    // A drawing made for another grid would be scaled and lose its pixel alignment.
    EXPECT_TRUE(file.readAll().contains(icon.viewBox)) << icon.path;

    const QPixmap pixmap = QIcon(icon.path).pixmap(icon.size, icon.size);
    ASSERT_FALSE(pixmap.isNull()) << icon.path;
    const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(image.width(), icon.size) << icon.path;
    EXPECT_EQ(image.height(), icon.size) << icon.path;
    // An SVG that Qt cannot parse renders as a blank pixmap; a real drawing covers a good part.
    EXPECT_GE(CountOpaquePixels(image), icon.size * icon.size / 8) << icon.path;
}

std::string IconCaseName(const ::testing::TestParamInfo<TIconCase>& info) {
    QString name = QString::fromLatin1(info.param.path).mid(8);  // drop ":/icons/"
    name.chop(4);                                                // drop ".svg"
    return name.toStdString() + "_" + std::to_string(info.param.size);
}

INSTANTIATE_TEST_SUITE_P(AllIcons, IconResourceTest, ::testing::ValuesIn(kIconCases), IconCaseName);

}  // namespace
