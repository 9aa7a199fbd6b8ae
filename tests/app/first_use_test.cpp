// The program as a new user meets it: the first start, the keyboard focus after opening a file,
// the status line under passing hints, message boxes over the window, the font size everywhere,
// Qt's own texts in Japanese, the panes' sizes, help without a browser, a screenshot run.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProcess>
#include <QSplitter>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include "about_box.h"
#include "application.h"
#include "main_form.h"
#include "option_dialog.h"
#include "qt_text.h"
#include "scripted_ui.h"
#include "wait_until.h"

namespace velmora::app {
namespace {

using store::TAnswer;
using testing::TScriptedUi;

const QString kSample = QStringLiteral(VELMORA_SOURCE_DIR "/samples/sample.ont");

class FirstUse : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        settingsPath = dir.filePath("velmora.ini");
        applicationFont = QApplication::font();
    }
    // The font size reaches the whole program; the next test starts from the font it had.
    void TearDown() override {
        form.reset();
        QApplication::setFont(applicationFont);
    }

    TMainForm& Form(bool firstStart = false) {
        if (!firstStart) {
            TQuillonIniFile(settingsPath).SetAuthor("試験者");
        }
        form = std::make_unique<TMainForm>(ui, settingsPath);
        return *form;
    }

    // Shown and active, as a window the user works in.
    void ShowActive(TMainForm& f) {
        f.show();
        QApplication::setActiveWindow(&f);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&f));
    }

    QString SampleCopy() {
        const QString path = dir.filePath("sample.ont");
        QFile::remove(path);
        EXPECT_TRUE(QFile::copy(kSample, path));
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        return path;
    }

    QTemporaryDir dir;
    QString settingsPath;
    QFont applicationFont;
    TScriptedUi ui;
    std::unique_ptr<TMainForm> form;
};

TEST_F(FirstUse, AfterOpeningAFileTheArrowKeysWalkTheTree) {
    TMainForm& f = Form();
    ShowActive(f);
    f.OpenOntologyFile(SampleCopy());
    QTreeWidget* tree = f.TreeView().ConceptTreeView();
    EXPECT_EQ(QApplication::focusWidget(), tree);
    QTreeWidgetItem* top = tree->currentItem();
    ASSERT_NE(top, nullptr);
    ASSERT_GT(top->childCount(), 0);
    QTest::keyClick(tree, Qt::Key_Down);
    EXPECT_EQ(tree->currentItem(), top->child(0));
}

TEST_F(FirstUse, TheOptionsDialogOfTheFirstStartWaitsInTheUserName) {
    QString focused = "(none)";
    ui.modal = [&focused](QDialog& dialog) {
        QApplication::setActiveWindow(&dialog);
        EXPECT_TRUE(QTest::qWaitForWindowActive(&dialog));
        if (const QWidget* widget = QApplication::focusWidget()) {
            focused = widget->objectName() + " " + widget->metaObject()->className();
        }
        return QDialog::Rejected;
    };
    Form(true).Start({});
    EXPECT_EQ(focused, "EditUser QLineEdit");
}

TEST_F(FirstUse, AHintPassesAndTheSummaryComesBack) {
    TMainForm& f = Form();
    f.OpenOntologyFile(SampleCopy());
    const QString summary = f.StatusText();
    auto* line = f.findChild<QLabel*>("StatusPanel");
    ASSERT_FALSE(summary.isEmpty());
    QStatusTipEvent hint("ファイルを開く");
    QApplication::sendEvent(&f, &hint);
    EXPECT_EQ(line->text(), "ファイルを開く");
    EXPECT_FALSE(line->isHidden());
    QStatusTipEvent end("");
    QApplication::sendEvent(&f, &end);
    EXPECT_EQ(line->text(), summary);
    EXPECT_FALSE(line->isHidden());
    EXPECT_TRUE(f.statusBar()->currentMessage().isEmpty());
}

TEST_F(FirstUse, MessageBoxesStandOverTheWindow) {
    TMainForm& f = Form();
    ShowActive(f);
    QWidget* parent = reinterpret_cast<QWidget*>(1);
    QTimer::singleShot(0, [&parent] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        parent = box->parentWidget();
        box->buttons().front()->click();
    });
    // The window's own interface, as the program has it (the scripted one answers at once).
    ui.TUserInterface::Ask(store::TMessageKind::Information, store::TButtons::Ok, "情報");
    EXPECT_EQ(parent, &f);
}

TEST_F(FirstUse, TheLargestFontReachesTheWholeProgramAndTheMenuBarStaysWhole) {
    TQuillonIniFile(settingsPath).SetFontSize(5);
    TMainForm& f = Form();
    EXPECT_EQ(QApplication::font().pointSize(), 20);
    QMessageBox box;
    EXPECT_EQ(box.font().pointSize(), 20);
    EXPECT_EQ(f.findChild<QMenu*>("PopupMenuTreeView")->font().pointSize(), 20);
    ShowActive(f);
    // Every menu of the bar has room: none sits behind the extension button.
    QMenuBar* bar = f.menuBar();
    const QList<QAction*> menus = bar->actions();
    ASSERT_FALSE(menus.isEmpty());
    EXPECT_FALSE(bar->actionGeometry(menus.back()).isEmpty());
    EXPECT_LE(bar->actionGeometry(menus.back()).right(), bar->width());
}

TEST_F(FirstUse, QtsOwnDialogsSpeakJapanese) {
    ASSERT_TRUE(InstallQtTranslations(*QCoreApplication::instance()))
        << "Qt's translations (qt6-translations-l10n) are not installed";
    EXPECT_NE(QCoreApplication::translate("QFileDialog", "Look in:"), "Look in:");
    EXPECT_NE(QCoreApplication::translate("QFileDialog", "File &name:"), "File &name:");
    EXPECT_NE(QCoreApplication::translate("QPlatformTheme", "Cancel"), "Cancel");
}

TEST_F(FirstUse, TheAboutBoxShowsTheProgramIcon) {
    TAboutBox box;
    const auto* icon = box.findChild<QLabel*>("ProgramIcon");
    ASSERT_NE(icon, nullptr);
    EXPECT_FALSE(icon->pixmap().isNull());
}

TEST_F(FirstUse, TheHierarchyShowsATitleAtTheFirstStartAndGrowsWithTheWindow) {
    TMainForm& f = Form();
    ShowActive(f);
    auto* panel = f.findChild<QWidget*>("PanelLeft");
    const QFontMetrics metrics(f.TreeView().ConceptTreeView()->font());
    // A title of a dozen characters two levels down, with its picture.
    EXPECT_GT(panel->width(), metrics.horizontalAdvance("加工食品の原材料と添加物") +
                                  2 * views::TFrameTreeView::kIndent + 16);
    const int before = panel->width();
    f.resize(f.width() + 400, f.height());
    test_support::WaitUntil([&] { return panel->width() > before; });  // the layout follows
    EXPECT_GT(panel->width(), before);

    // A stored width is kept.
    f.close();
    TQuillonIniFile(settingsPath).SetVerticalSplitter(120);
    TMainForm& g = Form();
    ShowActive(g);
    EXPECT_EQ(g.findChild<QWidget*>("PanelLeft")->width(), 120);
}

TEST_F(FirstUse, PaneHeightsAreKeptWhetherOrNotTheEditPageWasShown) {
    TQuillonIniFile settings(settingsPath);
    settings.SetHorizonalSplitter1(120);
    settings.SetHorizonalSplitter2(100);
    TMainForm& f = Form();
    ShowActive(f);
    f.close();  // the edit page was never shown
    EXPECT_EQ(settings.HorizonalSplitter1(), 120);
    EXPECT_EQ(settings.HorizonalSplitter2(), 100);

    TMainForm& g = Form();
    ShowActive(g);
    g.findChild<QTabWidget*>("PageControl")->setCurrentIndex(1);
    auto* top = g.findChild<QWidget*>("PanelConceptEditTop");
    auto* bottom = g.findChild<QWidget*>("PanelConceptEditBottom");
    // The page is laid out once it is shown.
    test_support::WaitUntil([&] { return top->height() == 120 && bottom->height() == 100; });
    EXPECT_EQ(top->height(), 120);
    EXPECT_EQ(bottom->height(), 100);
    g.findChild<QSplitter*>("Splitter2")->setSizes({150, 200, 90});
    g.close();
    EXPECT_EQ(settings.HorizonalSplitter1(), 150);
    EXPECT_EQ(settings.HorizonalSplitter2(), 90);
}

TEST_F(FirstUse, HelpWithoutAProgramToOpenItNamesThePage) {
    // The page beside the program, as after a build; removed again if the test made it.
    const QString path = TMainForm::HelpFilePath();
    const bool made = !QFile::exists(path);
    if (made) {
        ASSERT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath()));
        QFile page(path);
        ASSERT_TRUE(page.open(QIODevice::WriteOnly));
    }
    TMainForm& f = Form();
    ui.desktopOpens = false;
    f.Command("HelpBrowse")->trigger();
    if (made) {
        QFile::remove(path);
    }
    ASSERT_EQ(ui.questions.size(), 1u);
    EXPECT_TRUE(ui.questions[0].text.contains(QDir::toNativeSeparators(path)));
    EXPECT_EQ(ui.questions[0].kind, store::TMessageKind::Error);
}

TEST(Screenshot, AFirstStartWritesThePictureAndReturns) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString picture = dir.filePath("shot.png");
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    program.setProcessEnvironment(environment);
    program.start(VELMORA_PROGRAM,
                  {"--settings", dir.filePath("new.ini"), "--screenshot", picture, kSample});
    ASSERT_TRUE(program.waitForStarted());
    const bool finished = program.waitForFinished(60000);
    if (!finished) {
        program.kill();
        program.waitForFinished();
    }
    ASSERT_TRUE(finished) << "the screenshot run waited for a person";
    EXPECT_TRUE(QFile::exists(picture));
    EXPECT_TRUE(QString::fromLocal8Bit(program.readAllStandardError()).contains("first start"));
}

}  // namespace
}  // namespace velmora::app
