// TQuillonIniFile against files on disk: defaults, value forms, what reaches the file, the
// geometry checks and a write that fails.
#include "settings.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "qt_text.h"

namespace velmora::app {
namespace {

constexpr int kUnset = TQuillonIniFile::kUnset;

class SettingsTest : public ::testing::Test {
protected:
    QTemporaryDir m_dir;
    QString m_path = m_dir.filePath(QStringLiteral("velmora/velmora.ini"));
    QRect m_workArea{0, 0, 1000, 800};

    TQuillonIniFile Open() const {
        return TQuillonIniFile(m_path, [this] { return m_workArea; });
    }
    void WriteFile(const QByteArray& content) const {
        QDir().mkpath(QFileInfo(m_path).absolutePath());
        QFile file(m_path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    QByteArray ReadFile() const {
        QFile file(m_path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
};

TEST_F(SettingsTest, FirstStartReadsDefaultsAndCreatesNoFile) {
    const TQuillonIniFile settings = Open();
    EXPECT_EQ(settings.Author(), QStringLiteral(u"無記名"));
    EXPECT_EQ(settings.FontSize(), 2);
    EXPECT_FALSE(settings.ParentViewSmallIcon());
    EXPECT_FALSE(settings.WorkspaceSmallIcon());
    EXPECT_FALSE(settings.UseVariousLink());
    EXPECT_EQ(settings.VerticalSplitter(), 150);
    EXPECT_EQ(settings.HorizonalSplitter1(), 72);
    EXPECT_EQ(settings.HorizonalSplitter2(), 72);
    EXPECT_EQ(settings.WindowPosX(), kUnset);
    EXPECT_EQ(settings.WindowPosY(), kUnset);
    EXPECT_EQ(settings.WindowSizeX(), kUnset);
    EXPECT_EQ(settings.WindowSizeY(), kUnset);
    EXPECT_FALSE(QFile::exists(m_path));
}

TEST_F(SettingsTest, StoredValueForms) {
    struct TCase {
        QByteArray value;
        int fontSize;         // as read from USER/FONTSIZE (default 2)
        bool useVariousLink;  // the same text in SYSTEM/USE_VARIOUS_LINK (default false)
    } const cases[] = {
        {"3", 3, true},    {" 4 ", 4, true},  {"0x3", 3, true},          {"0X1f", 31, true},
        {"-2", -2, true},  {"+5", 5, true},   {"0", 0, false},           {"0x0", 0, false},
        {"", 2, false},    {"abc", 2, false}, {"3abc", 2, false},        {"0x", 2, false},
        {"0xg", 2, false}, {"1.5", 2, false}, {"99999999999", 2, false}, {"- 3", 2, false},
    };
    for (const TCase& c : cases) {
        WriteFile("[USER]\nFONTSIZE=" + c.value + "\n[SYSTEM]\nUSE_VARIOUS_LINK=" + c.value + "\n");
        const TQuillonIniFile settings = Open();
        EXPECT_EQ(settings.FontSize(), c.fontSize) << c.value.toStdString();
        EXPECT_EQ(settings.UseVariousLink(), c.useVariousLink) << c.value.toStdString();
    }
}

TEST_F(SettingsTest, KeysAreLookedUpInTheirOwnSection) {
    // Names match regardless of case; a key under the other section does not count.
    WriteFile(
        "; comment\n[system]\nFONTSIZE=5\nvertical_splitter=200\n[User]\nAuthor = 田中\n"
        "[USER]\nFONTSIZE=4\n");
    const TQuillonIniFile settings = Open();
    EXPECT_EQ(settings.Author(), QStringLiteral(u"田中"));
    EXPECT_EQ(settings.FontSize(), 2);
    EXPECT_EQ(settings.VerticalSplitter(), 200);
}

TEST_F(SettingsTest, EverySetterReachesTheFileAtOnce) {
    TQuillonIniFile settings = Open();
    settings.SetAuthor(QStringLiteral(u"山田 太郎"));
    settings.SetFontSize(4);
    settings.SetParentViewSmallIcon(true);
    settings.SetWorkspaceSmallIcon(true);
    settings.SetUseVariousLink(true);
    settings.SetVerticalSplitter(185);
    settings.SetHorizonalSplitter1(97);
    settings.SetHorizonalSplitter2(91);
    settings.SetWindowPosX(12);
    settings.SetWindowPosY(34);
    settings.SetWindowSizeX(821);
    settings.SetWindowSizeY(622);

    EXPECT_EQ(ReadFile(), QStringLiteral(u"[USER]\n"
                                         u"AUTHOR=山田 太郎\n"
                                         u"FONTSIZE=4\n"
                                         u"PARENT_VIEW_SMALL_ICON=1\n"
                                         u"WORKSPACE_SMALL_ICON=1\n"
                                         u"\n"
                                         u"[SYSTEM]\n"
                                         u"USE_VARIOUS_LINK=1\n"
                                         u"VERTICAL_SPLITTER=185\n"
                                         u"HORIZONAL_SPLITTER_1=97\n"
                                         u"HORIZONAL_SPLITTER_2=91\n"
                                         u"WINDOW_POS_X=12\n"
                                         u"WINDOW_POS_Y=34\n"
                                         u"WINDOW_SIZE_X=821\n"
                                         u"WINDOW_SIZE_Y=622\n")
                              .toUtf8());

    settings.SetWorkspaceSmallIcon(false);
    settings.SetUseVariousLink(false);
    const TQuillonIniFile fresh = Open();
    EXPECT_EQ(fresh.Author(), QStringLiteral(u"山田 太郎"));
    EXPECT_EQ(fresh.FontSize(), 4);
    EXPECT_TRUE(fresh.ParentViewSmallIcon());
    EXPECT_FALSE(fresh.WorkspaceSmallIcon());
    EXPECT_FALSE(fresh.UseVariousLink());
    EXPECT_EQ(fresh.VerticalSplitter(), 185);
    EXPECT_EQ(fresh.HorizonalSplitter1(), 97);
    EXPECT_EQ(fresh.HorizonalSplitter2(), 91);
    EXPECT_EQ(fresh.WindowPosX(), 12);
    EXPECT_EQ(fresh.WindowPosY(), 34);
    EXPECT_EQ(fresh.WindowSizeX(), 821);
    EXPECT_EQ(fresh.WindowSizeY(), 622);
    EXPECT_TRUE(ReadFile().contains("WORKSPACE_SMALL_ICON=0\n"));
}

TEST_F(SettingsTest, GetterSeesWhatAnotherInstanceWrote) {
    const TQuillonIniFile settings = Open();
    TQuillonIniFile other = Open();
    EXPECT_EQ(settings.FontSize(), 2);
    other.SetFontSize(5);
    EXPECT_EQ(settings.FontSize(), 5);
    WriteFile("[USER]\nFONTSIZE=1\n");  // as a text editor would leave it
    EXPECT_EQ(settings.FontSize(), 1);
}

TEST_F(SettingsTest, UserNamesComeBackAsWritten) {
    const QString names[] = {
        QStringLiteral(u"山田 太郎"),    QString(),
        QStringLiteral(u" 前後に空白 "), QStringLiteral(u"\"引用\""),
        QStringLiteral("a=b;c, d"),      QStringLiteral(u"　全角の空白　"),
        QStringLiteral(u"#始まり"),
    };
    for (const QString& name : names) {
        Open().SetAuthor(name);
        EXPECT_EQ(Open().Author(), name) << ToUtf8(name);
    }
    // The file is one line per key: a line break cannot split the entry.
    Open().SetAuthor(QStringLiteral("a\r\nb"));
    EXPECT_EQ(Open().Author(), QStringLiteral("a  b"));
    EXPECT_EQ(ReadFile(), QByteArray("[USER]\nAUTHOR=a  b\n"));
}

TEST_F(SettingsTest, SetterKeepsTheRestOfTheFile) {
    WriteFile(
        "; written by hand\r\n[SYSTEM]\r\nVERTICAL_SPLITTER = 0x10\r\nOTHER=x\r\n\r\n"
        "[USER]\r\nfontsize=1\r\n\r\n[EXTRA]\r\nKEY=value\r\n");
    TQuillonIniFile settings = Open();
    settings.SetFontSize(3);
    settings.SetHorizonalSplitter1(80);
    settings.SetAuthor(QStringLiteral("Ann"));
    EXPECT_EQ(ReadFile(), QByteArray("; written by hand\r\n[SYSTEM]\r\nVERTICAL_SPLITTER = 0x10\r\n"
                                     "OTHER=x\r\nHORIZONAL_SPLITTER_1=80\r\n\r\n"
                                     "[USER]\r\nFONTSIZE=3\r\nAUTHOR=Ann\r\n\r\n"
                                     "[EXTRA]\r\nKEY=value\r\n"));
    EXPECT_EQ(settings.VerticalSplitter(), 16);
}

TEST_F(SettingsTest, WindowGeometryIsCheckedAgainstTheWorkArea) {
    // Work area 1000 x 800: sizes up to 1800 x 1440; a window keeps 10 px of its width and
    // 5 px of its height on it.
    struct TCase {
        const char* stored;  // SYSTEM lines
        int posX, posY, sizeX, sizeY;
    } const cases[] = {
        {"", kUnset, kUnset, kUnset, kUnset},
        {"WINDOW_SIZE_X=99\nWINDOW_SIZE_Y=99", kUnset, kUnset, kUnset, kUnset},
        {"WINDOW_SIZE_X=100\nWINDOW_SIZE_Y=100", kUnset, kUnset, 100, 100},
        {"WINDOW_SIZE_X=1800\nWINDOW_SIZE_Y=1440", kUnset, kUnset, 1800, 1440},
        {"WINDOW_SIZE_X=1801\nWINDOW_SIZE_Y=1441", kUnset, kUnset, kUnset, kUnset},
        {"WINDOW_POS_X=-790\nWINDOW_SIZE_X=800", -790, kUnset, 800, kUnset},
        {"WINDOW_POS_X=-791\nWINDOW_SIZE_X=800", kUnset, kUnset, 800, kUnset},
        {"WINDOW_POS_X=990\nWINDOW_SIZE_X=800", 990, kUnset, 800, kUnset},
        {"WINDOW_POS_X=991\nWINDOW_SIZE_X=800", kUnset, kUnset, 800, kUnset},
        {"WINDOW_POS_X=0\nWINDOW_SIZE_X=99", kUnset, kUnset, kUnset, kUnset},
        {"WINDOW_POS_X=0", kUnset, kUnset, kUnset, kUnset},
        {"WINDOW_POS_Y=-4", kUnset, -4, kUnset, kUnset},
        {"WINDOW_POS_Y=-5", kUnset, kUnset, kUnset, kUnset},
        {"WINDOW_POS_Y=795", kUnset, 795, kUnset, kUnset},
        {"WINDOW_POS_Y=796", kUnset, kUnset, kUnset, kUnset},
        {"WINDOW_POS_X=0x14\nWINDOW_POS_Y=0x1e\nWINDOW_SIZE_X=0x320\nWINDOW_SIZE_Y=0x258", 20, 30,
         800, 600},
        {"WINDOW_POS_X=left\nWINDOW_POS_Y=top\nWINDOW_SIZE_X=800\nWINDOW_SIZE_Y=600", kUnset,
         kUnset, 800, 600},
    };
    for (const TCase& c : cases) {
        WriteFile(QByteArray("[SYSTEM]\n") + c.stored + "\n");
        const TQuillonIniFile settings = Open();
        SCOPED_TRACE(c.stored);
        EXPECT_EQ(settings.WindowPosX(), c.posX);
        EXPECT_EQ(settings.WindowPosY(), c.posY);
        EXPECT_EQ(settings.WindowSizeX(), c.sizeX);
        EXPECT_EQ(settings.WindowSizeY(), c.sizeY);
    }
}

TEST_F(SettingsTest, LimitsFollowTheWorkArea) {
    WriteFile("[SYSTEM]\nWINDOW_POS_X=1500\nWINDOW_SIZE_X=2000\n");
    const TQuillonIniFile settings = Open();
    EXPECT_EQ(settings.WindowSizeX(), kUnset);
    EXPECT_EQ(settings.WindowPosX(), kUnset);
    m_workArea = QRect(0, 0, 1920, 1080);
    EXPECT_EQ(settings.WindowSizeX(), 2000);
    EXPECT_EQ(settings.WindowPosX(), 1500);
}

TEST_F(SettingsTest, WriteThatFailsRaisesTheMessageWithThePath) {
    // The folder of the file is a regular file: no user, root included, can write there.
    QFile blocker(m_dir.filePath(QStringLiteral("blocker")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString path = m_dir.filePath(QStringLiteral("blocker/velmora.ini"));
    TQuillonIniFile settings(path);
    try {
        settings.SetFontSize(3);
        FAIL() << "no error";
    } catch (const ESettingsWriteError& error) {
        EXPECT_EQ(std::string(error.what()), ToUtf8(path) + " に書き込めません");
    }
    EXPECT_EQ(settings.FontSize(), 2);
    EXPECT_THROW(settings.SetAuthor(QStringLiteral("x")), store::EVelmoraError);
}

TEST(FontSizePointsTest, CodesOneToFive) {
    const std::vector<std::pair<int, std::optional<int>>> cases = {
        {0, std::nullopt}, {1, 8}, {2, 9}, {3, 12}, {4, 16}, {5, 20}, {6, std::nullopt},
        {-1, std::nullopt}};
    for (const auto& [code, points] : cases) {
        EXPECT_EQ(FontSizePoints(code), points) << code;
    }
}

}  // namespace
}  // namespace velmora::app
