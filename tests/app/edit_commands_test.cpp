// The edit commands inside the main window, following the focused text field.
#include "edit_commands.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QTabWidget>
#include <QTest>

#include "main_form.h"
#include "main_form_fixture.h"

namespace velmora::app {
namespace {

using testing::TFakeEditor;

class EditCommands : public testing::MainFormFixture {};

TEST_F(EditCommands, EditCommandsFollowTheFocusedTextField) {
    TMainForm& f = Form();
    auto owned = std::make_unique<TFakeEditor>();
    TFakeEditor* editor = owned.get();
    f.SetConceptEditor(std::move(owned));
    f.OpenOntologyFile(SampleCopy());
    f.show();
    QApplication::setActiveWindow(&f);
    f.findChild<QTabWidget*>("PageControl")->setCurrentIndex(1);
    EXPECT_EQ(f.StatusText(), "右ペインの上下のウインドウに概念アイコンをカット&ペーストできます.");
    ASSERT_TRUE(QTest::qWaitForWindowActive(&f));
    editor->field->setFocus();
    editor->field->setText("abc");
    editor->field->deselect();
    f.Timer1Timer();
    EXPECT_FALSE(f.Command("EditCopy")->isEnabled());
    EXPECT_TRUE(f.Command("EditSelectAll")->isEnabled());

    // Selecting text gives no event the window hears; the edit commands follow on the next
    // focus change or select-all.
    f.Command("EditSelectAll")->trigger();
    EXPECT_EQ(editor->field->selectedText(), "abc");
    f.UpdateEditCommands();
    EXPECT_TRUE(f.Command("EditCopy")->isEnabled());
    EXPECT_TRUE(f.Command("EditCut")->isEnabled());
}

}  // namespace
}  // namespace velmora::app
