// The options dialog driven offscreen through TScriptedUi, with hooks that record what the
// main window and the concept editor were told.
#include "option_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <vector>

#include "scripted_ui.h"
#include "settings.h"

namespace velmora::app {
namespace {

class OptionDialogTest : public ::testing::Test {
protected:
    QTemporaryDir m_dir;
    QString m_path = m_dir.filePath(QStringLiteral("velmora.ini"));
    TQuillonIniFile m_settings{m_path, [] { return QRect(0, 0, 1000, 800); }};
    testing::TScriptedUi m_ui;
    std::vector<int> m_fontSizes;  // every SetFontSize, previews included
    std::vector<bool> m_useVariousLinks;
    std::vector<QString> m_authorsAtRefresh;  // AUTHOR in the file when the editor refreshed
    TOptionHooks m_hooks{
        [this](int code) { m_fontSizes.push_back(code); },
        [this](bool use) { m_useVariousLinks.push_back(use); },
        [this] { m_authorsAtRefresh.push_back(m_settings.Author()); },
    };

    void WriteFile(const QByteArray& content) const {
        QFile file(m_path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    QByteArray ReadFile() const {
        QFile file(m_path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    void Run(std::function<int(QDialog&)> drive) {
        m_ui.modal = std::move(drive);
        RunOptionDialog(m_ui, m_settings, m_hooks);
        ASSERT_EQ(m_ui.modalDialogs.size(), 1u);
    }

    template <typename T>
    static T* Child(QDialog& dialog, const char* name) {
        T* child = dialog.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    static QRadioButton* SizeButton(QDialog& dialog, int code) {
        return Child<QRadioButton>(dialog, QStringLiteral("RadioButton%1").arg(code).toLatin1());
    }
    static std::vector<int> CheckedSizes(QDialog& dialog) {
        std::vector<int> checked;
        for (int code = 1; code <= 5; ++code) {
            if (SizeButton(dialog, code)->isChecked()) {
                checked.push_back(code);
            }
        }
        return checked;
    }
};

TEST_F(OptionDialogTest, OpeningShowsTheStoredSettings) {
    WriteFile(QStringLiteral(u"[USER]\nAUTHOR=佐藤\nFONTSIZE=4\n[SYSTEM]\nUSE_VARIOUS_LINK=1\n")
                  .toUtf8());
    QWidget mainWindow;
    QFont large = mainWindow.font();
    large.setPointSize(20);
    mainWindow.setFont(large);  // as after a preview of 極大
    m_ui.modal = [](QDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral(u"オプション"));
        EXPECT_EQ(dialog.size(), QSize(427, 300));
        EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
        EXPECT_EQ(dialog.font(), QApplication::font());
        auto* pages = Child<QTabWidget>(dialog, "PageControl1");
        EXPECT_EQ(pages->tabText(pages->indexOf(Child<QWidget>(dialog, "TabSheet1"))),
                  QStringLiteral(u"基本設定"));
        EXPECT_EQ(pages->tabText(pages->indexOf(Child<QWidget>(dialog, "TabSheet2"))),
                  QStringLiteral(u"上級者設定"));
        EXPECT_EQ(Child<QLineEdit>(dialog, "EditUser")->text(), QStringLiteral(u"佐藤"));
        EXPECT_EQ(CheckedSizes(dialog), std::vector<int>{4});
        EXPECT_TRUE(Child<QCheckBox>(dialog, "CheckBoxUseVariousLink")->isChecked());
        EXPECT_TRUE(Child<QPushButton>(dialog, "OKBtn")->isDefault());
        EXPECT_EQ(Child<QPushButton>(dialog, "CancelBtn")->text(), QStringLiteral(u"キャンセル"));
        return QDialog::Rejected;
    };
    RunOptionDialog(m_ui, m_settings, m_hooks, &mainWindow);
    EXPECT_EQ(m_fontSizes, std::vector<int>{4});  // filling the buttons previews nothing
    EXPECT_EQ(m_useVariousLinks, std::vector<bool>{true});
}

TEST_F(OptionDialogTest, OkWritesTheFieldsThenAppliesTheFile) {
    WriteFile(QStringLiteral(u"[USER]\nAUTHOR=佐藤\nFONTSIZE=2\n").toUtf8());
    Run([this](QDialog& dialog) {
        auto* user = Child<QLineEdit>(dialog, "EditUser");
        user->clear();
        QTest::keyClicks(user, QStringLiteral("Suzuki"));  // QTest types ASCII only
        user->insert(QStringLiteral(u" 花子"));
        SizeButton(dialog, 5)->click();
        EXPECT_EQ(m_fontSizes, std::vector<int>{5});  // previewed at once
        Child<QCheckBox>(dialog, "CheckBoxUseVariousLink")->click();
        Child<QPushButton>(dialog, "OKBtn")->click();
        return QDialog::Rejected;  // unused: the dialog closed itself
    });
    const TQuillonIniFile fresh(m_path);
    EXPECT_EQ(fresh.Author(), QStringLiteral(u"Suzuki 花子"));
    EXPECT_EQ(fresh.FontSize(), 5);
    EXPECT_TRUE(fresh.UseVariousLink());
    EXPECT_EQ(m_authorsAtRefresh, std::vector<QString>{QStringLiteral(u"Suzuki 花子")});
    EXPECT_EQ(m_fontSizes, (std::vector<int>{5, 5}));
    EXPECT_EQ(m_useVariousLinks, std::vector<bool>{true});
}

TEST_F(OptionDialogTest, ClosingWithoutOkUndoesThePreviewAndWritesNothing) {
    const QByteArray stored = "[USER]\nAUTHOR=Ann\nFONTSIZE=3\n[SYSTEM]\nUSE_VARIOUS_LINK=0\n";
    const std::pair<const char*, std::function<void(QDialog&)>> closings[] = {
        {"CancelBtn", [](QDialog& d) { Child<QPushButton>(d, "CancelBtn")->click(); }},
        {"close box", [](QDialog& d) { d.close(); }},
        {"Escape",
         [](QDialog& d) { QTest::keyClick(Child<QLineEdit>(d, "EditUser"), Qt::Key_Escape); }},
    };
    for (const auto& closing : closings) {
        SCOPED_TRACE(closing.first);
        const std::function<void(QDialog&)>& close = closing.second;
        WriteFile(stored);
        m_fontSizes.clear();
        m_useVariousLinks.clear();
        m_ui.modalDialogs.clear();
        Run([&close](QDialog& dialog) {
            Child<QLineEdit>(dialog, "EditUser")->setText(QStringLiteral("Bob"));
            SizeButton(dialog, 5)->click();
            SizeButton(dialog, 1)->click();
            Child<QCheckBox>(dialog, "CheckBoxUseVariousLink")->click();
            close(dialog);
            EXPECT_FALSE(dialog.isVisible());
            return QDialog::Accepted;  // unused: the dialog closed itself
        });
        EXPECT_EQ(m_fontSizes, (std::vector<int>{5, 1, 3}));
        EXPECT_EQ(m_useVariousLinks, std::vector<bool>{false});
        EXPECT_TRUE(m_authorsAtRefresh.empty());
        EXPECT_EQ(ReadFile(), stored);
    }
}

TEST_F(OptionDialogTest, SizeOutsideTheCodesChecksNoButtonAndOkStoresTheStandardSize) {
    WriteFile("[USER]\nFONTSIZE=7\n");
    Run([](QDialog& dialog) {
        EXPECT_TRUE(CheckedSizes(dialog).empty());
        return QDialog::Accepted;
    });
    EXPECT_EQ(TQuillonIniFile(m_path).FontSize(), 2);
    EXPECT_EQ(m_fontSizes, std::vector<int>{2});
}

TEST_F(OptionDialogTest, EmptyUserNameIsStoredAsEmpty) {
    // Return in the name field presses the default button.
    Run([](QDialog& dialog) {
        auto* user = Child<QLineEdit>(dialog, "EditUser");
        EXPECT_EQ(user->text(), QStringLiteral(u"無記名"));  // a first start
        user->clear();
        QTest::keyClick(user, Qt::Key_Return);
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        return QDialog::Rejected;
    });
    EXPECT_EQ(TQuillonIniFile(m_path).Author(), QString());
    EXPECT_TRUE(ReadFile().contains("\nAUTHOR=\n"));
    EXPECT_EQ(m_authorsAtRefresh, std::vector<QString>{QString()});
}

// The write stops at the first failure, but the window still returns to what the file holds
// (here: nothing, so the defaults), not to the previewed size.
TEST_F(OptionDialogTest, FailedWriteOnOkStopsWritingButUndoesThePreview) {
    QFile blocker(m_dir.filePath(QStringLiteral("blocker")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    TQuillonIniFile unwritable(m_dir.filePath(QStringLiteral("blocker/velmora.ini")));
    m_ui.modal = [](QDialog& dialog) {
        dialog.findChild<QRadioButton*>(QStringLiteral("RadioButton5"))->click();
        return QDialog::Accepted;
    };
    EXPECT_THROW(RunOptionDialog(m_ui, unwritable, m_hooks), ESettingsWriteError);
    EXPECT_TRUE(m_authorsAtRefresh.empty());
    EXPECT_EQ(m_fontSizes, (std::vector<int>{5, 2}));
}

}  // namespace
}  // namespace velmora::app
