// FileOntologyConfig in the main window: the properties dialog over the loaded ontology, its
// link-type changes undone by EditUndo, its metadata reaching the caption and the save command.
#include "ontology_config_command.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "about_ontology_dialog.h"
#include "edit_link_type_form.h"
#include "main_form_fixture.h"
#include "ontology_properties.h"

namespace velmora::app {
namespace {

class OntologyConfigCommand : public testing::MainFormFixture {
protected:
    // Runs the command; the properties dialog is driven by steps, the link-type editor gets
    // the label and OK.
    void RunConfig(const std::function<void(TAboutOntologyDlg&)>& steps,
                   const QString& label = "原料") {
        ui.modal = [&steps, label](QDialog& dialog) {
            if (auto* editor = qobject_cast<TFormEditLinkType*>(&dialog)) {
                editor->findChild<QLineEdit*>("LabeledEditTitle")->setText(label);
                editor->findChild<QPushButton*>("OKBtn")->click();
            } else if (auto* properties = qobject_cast<TAboutOntologyDlg*>(&dialog)) {
                steps(*properties);
            }
            return int(QDialog::Rejected);
        };
        form->Command("FileOntologyConfig")->trigger();
    }

    bool HasLinkType(std::int32_t code) {
        return store::TOntologyLinkTypes(form->Store(), [] {}).Find(code).has_value();
    }
    static void Click(QDialog& dialog, const char* button) {
        dialog.findChild<QPushButton*>(button)->click();
    }
};

TEST_F(OntologyConfigCommand, CancelKeepsAnAddedLinkTypeAndEditUndoRemovesIt) {
    TMainForm& f = Form();
    f.OpenOntologyFile(SampleCopy());
    f.SetUseVariousLink(true);
    ASSERT_FALSE(HasLinkType(11));
    ASSERT_FALSE(f.Command("EditUndo")->isEnabled());

    RunConfig([](TAboutOntologyDlg& d) {
        Click(d, "BtnAddLink");
        Click(d, "CancelBtn");
    });
    EXPECT_EQ(ui.modalDialogs, (std::vector<QString>{"velmora::app::TAboutOntologyDlg",
                                                     "velmora::app::TFormEditLinkType"}));
    EXPECT_TRUE(HasLinkType(11));
    EXPECT_FALSE(f.Ontology()->Modified());
    ASSERT_TRUE(f.Command("EditUndo")->isEnabled());
    f.Command("EditUndo")->trigger();
    EXPECT_FALSE(HasLinkType(11));
    EXPECT_FALSE(f.Command("EditUndo")->isEnabled());
    EXPECT_TRUE(ui.questions.empty());
}

TEST_F(OntologyConfigCommand, OkRetitlesTheWindowAndMarksTheOntologyModified) {
    TMainForm& f = Form();
    f.OpenOntologyFile(SampleCopy());
    ASSERT_FALSE(f.Command("FileSave1")->isEnabled());
    RunConfig([](TAboutOntologyDlg& d) {
        // User-defined relations are off: no link type can be added.
        EXPECT_FALSE(d.findChild<QPushButton*>("BtnAddLink")->isEnabled());
        d.findChild<QLineEdit*>("LabeledEditTitle")->setText("新しい題");
        Click(d, "OKBtn");
    });
    EXPECT_EQ(f.windowTitle(), "Velmora - 新しい題");
    EXPECT_TRUE(f.Ontology()->Modified());
    EXPECT_TRUE(f.Command("FileSave1")->isEnabled());
    EXPECT_FALSE(f.Command("EditUndo")->isEnabled());  // metadata is not an undo step
}

}  // namespace
}  // namespace velmora::app
