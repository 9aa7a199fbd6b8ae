// MainFormFixture: the main window over a settings file of its own and a copy of the sample, for
// the GUI tests of the window and of its command units; TFakeEditor stands in for the concept
// editor.
#pragma once

#include <gtest/gtest.h>

#include <QFile>
#include <QLineEdit>
#include <QString>
#include <QTemporaryDir>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <string>

#include "code_page.h"
#include "main_form.h"
#include "ontology_tables.h"
#include "scripted_ui.h"
#include "settings.h"

namespace velmora::app::testing {

inline const QString kSample = QStringLiteral(VELMORA_SOURCE_DIR "/samples/sample.ont");

// A window over a settings file of its own, with a user name set unless a test wants the first
// start.
class MainFormFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        settingsPath = dir.filePath("velmora.ini");
    }

    TMainForm& Form(bool firstStart = false) {
        if (!firstStart) {
            TQuillonIniFile(settingsPath).SetAuthor("試験者");
        }
        form = std::make_unique<TMainForm>(ui, settingsPath);
        return *form;
    }

    // The sample, copied so that saving cannot touch the original.
    QString SampleCopy(const QString& name = "sample.ont") {
        const QString path = dir.filePath(name);
        QFile::remove(path);
        EXPECT_TRUE(QFile::copy(kSample, path));
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        return path;
    }

    // A modifying step as the commands take it: a save point, then a new concept.
    std::int32_t AddConcept(const std::string& title) {
        form->TakeSavePoint();
        return form->Store().AppendConcept(store::Utf8ToCp932(title),
                                           form->Seeker().GetTopNode().ConceptNo(), "");
    }

    int ConceptCount() { return form->Store().DtStOriginalConcepts.RecordCount(); }

    QTemporaryDir dir;
    QString settingsPath;
    TScriptedUi ui;
    std::unique_ptr<TMainForm> form;
};

// An editor with a field the user can type into, and a change not yet written.
class TFakeEditor : public QWidget, public TConceptEditorPort {
public:
    TFakeEditor() {
        setObjectName("FrameConceptEdit1");
        field = new QLineEdit(this);
        field->setObjectName("DBEditID");
    }
    QWidget* Widget() override { return this; }
    void SetEditorActive(bool active) override { setVisible(active); }
    bool IsEditorActive() const override { return !isHidden(); }
    void LoadConcept(std::int32_t no) override { loaded = no; }
    bool HasPendingEdit() const override { return pending; }
    void PostPendingEdit() override {
        if (pending) {
            ++posted;
            pending = false;
        }
    }
    void CancelPendingEdit() override { pending = false; }
    void RefreshEditor() override {}
    void SetRelationsEditable(bool) override {}
    void ShowParentRelation(const store::TConceptData*) override {}
    void ShowChildRelation(const store::TConceptData*) override {}

    QLineEdit* field;
    bool pending = false;
    int posted = 0;
    std::int32_t loaded = 0;
};

}  // namespace velmora::app::testing
