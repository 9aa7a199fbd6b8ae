// The concept editor in the main window over a copy of the sample, driven as the user drives
// it: typing into its fields and leaving them, the label buttons, the relation choosers. Small
// fixtures of concepts and mirror images are built in the test beside the sample's own.
#include "concept_edit.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include "code_page.h"
#include "main_form_fixture.h"
#include "ontology.h"
#include "ontology_tables.h"
#include "relation_panel.h"
#include "wait_until.h"

namespace velmora::app {
namespace {

using store::TAnswer;
using store::TValue;
using store::Utf8ToCp932;
using testing::MainFormFixture;

std::string Utf8(const std::string& cp932) {
    return store::Cp932ToUtf8(cp932);
}

class ConceptEdit : public MainFormFixture {
protected:
    void SetUp() override {
        MainFormFixture::SetUp();
        Form();
        editor = form->findChild<TFrameConceptEdit*>();
        ASSERT_NE(editor, nullptr);
        form->OpenOntologyFile(SampleCopy());
        form->findChild<QTabWidget*>("PageControl")->setCurrentIndex(1);
        form->show();
        QApplication::setActiveWindow(form.get());
        test_support::WaitUntil([this] { return form->isActiveWindow(); });
        top = form->Seeker().GetTopNode().ConceptNo();
    }

    template <class T>
    T* Child(const char* name) {
        T* widget = editor->findChild<T*>(name);
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    void Show(std::int32_t no) {
        store::TConceptData item;
        item.SetConceptNo(no);
        form->GoToConcept(nullptr, item, false, false);
    }

    // A concept under parent with one label equal to its title (none for an empty label).
    std::int32_t Add(const std::string& title, std::int32_t parent, bool label = true) {
        form->TakeSavePoint();
        return form->Store().AppendConcept(Utf8ToCp932(title), parent,
                                           label ? Utf8ToCp932(title) : "");
    }
    // A mirror image of concept placed under place with a relation.
    std::int32_t Mirror(std::int32_t shown, std::int32_t place, std::int32_t code) {
        store::TTable& n = form->Store().DtStOriginalNetWork;
        n.Append();
        n.FieldByName(store::kFieldRecordNoFrom).SetAsInteger(place);
        n.FieldByName(store::kFieldRecordNoTo).SetAsInteger(shown);
        n.FieldByName(store::kFieldLinkCode).SetAsInteger(code);
        n.FieldByName(store::kFieldListOrder).SetAsInteger(store::kNotOrdered);
        n.FieldByName(store::kFieldIconPosX).SetAsInteger(store::kNotPlaced);
        n.FieldByName(store::kFieldIconPosY).SetAsInteger(store::kNotPlaced);
        n.Post();
        return n.FieldByName(store::kFieldRecordNo).AsInteger();
    }

    std::string Field(std::int32_t no, std::string_view field) {
        store::TTable& c = form->Store().DtStOriginalConcepts;
        EXPECT_TRUE(c.Locate(store::kFieldRecordNo, TValue{no}));
        return Utf8(c.FieldByName(field).AsString());
    }
    std::vector<std::string> Labels() {
        std::vector<std::string> labels;
        for (const TTermObject& term : editor->Terms()) {
            labels.push_back(Utf8(term.Text));
        }
        return labels;
    }
    int TermRecords(const std::string& text) {
        int count = 0;
        store::TTable& t = form->Store().DtStOriginalTerms;
        for (bool more = t.FindFirst(); more; more = t.FindNext()) {
            count += Utf8(t.FieldByName(store::kFieldTermString).AsString()) == text;
        }
        return count;
    }

    // The user focuses field, replaces its text by typing, and (when leave) moves on.
    void Type(QWidget* field, const QString& text, bool leave = true) {
        field->setFocus();
        test_support::WaitUntil([field] { return field->hasFocus(); });
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(field, Qt::Key_Delete);
        QTest::keyClicks(field, text);
        if (leave) {
            Child<QLineEdit>("EditAddTerm")->setFocus();
            test_support::WaitUntil([field] { return !field->hasFocus(); });
        }
    }

    TFrameConceptEdit* editor = nullptr;
    std::int32_t top = 0;
};

TEST_F(ConceptEdit, TitleLeftChangedRenamesTheLabelAndEveryView) {
    struct TCase {
        const char* name;
        bool label;     // the concept had a label equal to its title
        QString typed;  // the new title
        std::string title;
        std::vector<std::string> labels;
    };
    const std::vector<TCase> cases = {
        {"renamed", true, "B", "B", {"B"}},
        {"renamed, no label before", false, "B", "B", {"B"}},
        {"emptied", true, "", "タイトル未設定", {"A"}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::int32_t no = Add("A", top, c.label);
        Show(no);
        ASSERT_EQ(Child<QLineEdit>("DBEditTitle")->text(), "A");
        Type(Child<QLineEdit>("DBEditTitle"), c.typed);

        EXPECT_FALSE(editor->HasPendingEdit());
        EXPECT_EQ(Field(no, store::kFieldTitle), c.title);
        EXPECT_EQ(Field(no, store::kFieldIdentifier),
                  Utf8(store::ConceptIdentifier(no, Utf8ToCp932(c.title))));
        EXPECT_EQ(Field(no, store::kFieldEditor), "試験者");
        EXPECT_EQ(Labels(), c.labels);
        EXPECT_EQ(Child<QLineEdit>("DBEditTitle")->text().toStdString(), c.title);
        for (views::TConceptNode* node : form->TreeView().NodesOfConcept(no)) {
            EXPECT_EQ(Utf8(node->Data().Title()), c.title);
        }
        EXPECT_TRUE(form->Ontology()->CanUndo());
    }
}

TEST_F(ConceptEdit, UndoDropsAnAbandonedEditAndItsStep) {
    const std::int32_t no = Add("A", top);
    const std::string before = Field(no, store::kFieldDescription);
    form->Store().MergeChangeLogs();
    form->Ontology()->SetCanUndo(false);
    Show(no);
    auto* descr = Child<QPlainTextEdit>("DBMemoDescr");
    Type(descr, "typed", false);
    EXPECT_TRUE(editor->HasPendingEdit());
    EXPECT_TRUE(form->HasUnsavedChanges());

    form->UndoLastStep();
    EXPECT_FALSE(editor->HasPendingEdit());
    EXPECT_EQ(Field(no, store::kFieldDescription), before);
    EXPECT_EQ(descr->toPlainText().toStdString(), before);
    EXPECT_FALSE(form->Ontology()->CanUndo());
}

TEST_F(ConceptEdit, DescriptionTypedAndSavedInTheFieldReachesTheFile) {
    const std::int32_t no = Add("A", top);
    Show(no);
    Type(Child<QPlainTextEdit>("DBMemoDescr"), "", false);
    // A tab is text in the description, not a move to the next field.
    QTest::keyClicks(Child<QPlainTextEdit>("DBMemoDescr"), "x");
    QTest::keyClick(Child<QPlainTextEdit>("DBMemoDescr"), Qt::Key_Tab);
    QTest::keyClicks(Child<QPlainTextEdit>("DBMemoDescr"), "y");
    ASSERT_TRUE(Child<QPlainTextEdit>("DBMemoDescr")->hasFocus());
    form->FileSave1Execute();
    EXPECT_FALSE(form->HasUnsavedChanges());

    store::TSimpleStoreContext context;
    store::TDataModule1 reread(context);
    store::TOntology ontology;
    ontology.SetFileName(form->Ontology()->FileName());
    reread.LoadOntologyFile(ontology);
    ASSERT_TRUE(reread.DtStOriginalConcepts.Locate(store::kFieldRecordNo, TValue{no}));
    EXPECT_EQ(reread.DtStOriginalConcepts.FieldByName(store::kFieldDescription).AsString(), "x\ty");
    EXPECT_EQ(Utf8(reread.DtStOriginalConcepts.FieldByName(store::kFieldEditor).AsString()),
              "試験者");
}

TEST_F(ConceptEdit, AnEditNeverOverwritesWhatAnotherViewChangedMeanwhile) {
    const std::int32_t no = Add("A", top);
    Show(no);
    Type(Child<QPlainTextEdit>("DBMemoComment"), "note", false);
    // The tree retitles the concept while the comment is still being typed.
    store::TConceptData item;
    item.SetConceptNo(no);
    item.SetTitle("C");
    form->Seeker().StoreTitle(item);
    editor->PostPendingEdit();
    EXPECT_EQ(Field(no, store::kFieldTitle), "C");
    EXPECT_EQ(Field(no, store::kFieldComment), "note");
}

TEST_F(ConceptEdit, LabelsAddedAndDeletedKeepSharedTerms) {
    const std::int32_t a = Add("甲", top);
    const std::int32_t b = Add("乙", top);
    Show(b);
    auto* edit = Child<QLineEdit>("EditAddTerm");

    // A label another concept uses: a second association, no second term.
    edit->setText("甲");
    QTest::mouseClick(Child<QPushButton>("BtnAddTerm"), Qt::LeftButton);
    EXPECT_EQ(Labels(), (std::vector<std::string>{"乙", "甲"}));
    EXPECT_EQ(TermRecords("甲"), 1);
    EXPECT_TRUE(edit->text().isEmpty());
    EXPECT_EQ(Child<QListWidget>("ListBoxTerm")->item(1)->text(), " ・甲");

    // The same label again: refused, the list unchanged.
    ui.answers.push_back(TAnswer::Ok);
    edit->setText("甲");
    editor->BtnAddTermClick();
    ASSERT_EQ(ui.questions.size(), 1U);
    EXPECT_EQ(ui.questions.back().text, "この言語ラベルは既に登録されています.");
    EXPECT_EQ(Labels().size(), 2U);

    // A new label creates its term.
    edit->setText("丙");
    editor->BtnAddTermClick();
    EXPECT_EQ(TermRecords("丙"), 1);

    // Deleting the shared label keeps its term for the other concept; the last use removes it.
    const auto remove = [this](int row) {
        Child<QListWidget>("ListBoxTerm")->setCurrentRow(row);
        ui.answers.push_back(TAnswer::Yes);
        editor->BtnDeleteTermClick();
        EXPECT_EQ(ui.questions.back().text, "選択した言語ラベルを削除しますか？");
    };
    remove(1);
    EXPECT_EQ(TermRecords("甲"), 1);
    remove(1);
    EXPECT_EQ(TermRecords("丙"), 0);
    EXPECT_EQ(Labels(), (std::vector<std::string>{"乙"}));
    Show(a);
    EXPECT_EQ(Labels(), (std::vector<std::string>{"甲"}));
}

TEST_F(ConceptEdit, RelationLinesListPlainFirstThenByLinkCode) {
    const std::int32_t p = Add("P", top);
    const std::int32_t q = Add("Q", top);
    const std::int32_t r = Add("R", top);
    const std::int32_t x = Add("X", p);
    const std::int32_t c = Add("C", x);
    const std::int32_t d = Add("D", top);
    Mirror(x, q, 3);
    Mirror(x, r, 2);
    Mirror(d, x, 4);
    Show(x);
    const auto link = [this](std::int32_t code) {
        store::TTable& l = form->Store().DtStOriginalLinkType;
        EXPECT_TRUE(l.Locate(store::kFieldLinkCode, TValue{code}));
        return QString::fromStdString(Utf8(l.FieldByName(store::kFieldLinkTitle).AsString()));
    };
    (void)c;
    const QStringList expected = {
        "[\"P\"] －(" + link(1) + ")→ [THIS CONCEPT]",
        "[\"R\"] －(" + link(2) + ")→ [THIS CONCEPT]",
        "[\"Q\"] －(" + link(3) + ")→ [THIS CONCEPT]",
        "[THIS CONCEPT] －(" + link(1) + ")→ [\"C\"]",
        "[THIS CONCEPT] －(" + link(4) + ")→ [\"D\"]",
    };
    EXPECT_EQ(Child<QPlainTextEdit>("MemoRelation")->toPlainText().split('\n'), expected);
    const QStringList properties = Child<QPlainTextEdit>("MemoProperty")->toPlainText().split('\n');
    ASSERT_EQ(properties.size(), 3);
    EXPECT_TRUE(properties[0].startsWith("作成日時：　"));
    EXPECT_EQ(properties[2], "更新者名：　試験者");
}

TEST_F(ConceptEdit, RelationPanelsFollowThePanesAndTheSwitch) {
    const std::int32_t x = Add("X", top);
    const std::int32_t y = Add("Y", top);
    const std::int32_t image = Mirror(y, x, 2);
    Show(x);
    store::TConceptData plain;  // x's plain parent
    plain.SetConceptNo(top);
    store::TConceptData child;  // y under x through the mirror image
    child.SetConceptNo(y);
    child.SetIsLink(true);
    child.LinkNo = image;
    child.LinkCode = 2;
    auto* parentChooser = Child<QComboBox>("ComboBoxExParent");
    auto* childChooser = Child<QComboBox>("ComboBoxExChild");
    auto* parentPanel = Child<TRelationPanel>("PanelParent");
    auto* childPanel = Child<TRelationPanel>("PanelChild");

    // The user has scrolled to the end already; the panel grows there.
    QScrollBar* bar = Child<QScrollArea>("ScrollBox1")->verticalScrollBar();
    bar->setValue(bar->maximum());
    form->SetUseVariousLink(false);
    editor->ShowChildRelation(&child);
    EXPECT_FALSE(childChooser->isEnabled());
    EXPECT_EQ(childChooser->currentData().toInt(), 2);
    form->SetUseVariousLink(true);
    EXPECT_TRUE(childChooser->isEnabled());
    test_support::WaitUntil([childPanel] { return childPanel->isVisible(); });
    ASSERT_TRUE(childPanel->isVisible());

    // A parent relation hides the child panel at once; a plain parent is never changed here.
    editor->ShowParentRelation(&plain);
    EXPECT_FALSE(childPanel->isVisible());
    bar->setValue(0);
    EXPECT_FALSE(parentChooser->isEnabled());
    EXPECT_EQ(parentChooser->currentData().toInt(), 1);
    test_support::WaitUntil([parentPanel] { return parentPanel->isVisible(); });
    EXPECT_TRUE(parentPanel->isVisible());
    EXPECT_GE(parentPanel->width(), 480);
    editor->ShowParentRelation(nullptr);
    test_support::WaitUntil([parentPanel] { return !parentPanel->isVisible(); });
    EXPECT_FALSE(parentPanel->isVisible());
}

TEST_F(ConceptEdit, ChosenRelationIsStoredAndACycleRolledBack) {
    const std::int32_t a = Add("A", top);
    const std::int32_t b = Add("B", a);
    const std::int32_t c = Add("C", top);
    const std::int32_t toC = Mirror(c, b, 2);   // harmless as relation 1
    const std::int32_t back = Mirror(a, b, 2);  // A under its own child: a cycle as relation 1
    form->SetUseVariousLink(true);
    Show(b);
    const auto choose = [this](std::int32_t linkNo, std::int32_t shown, int code) {
        store::TConceptData entry;
        entry.SetConceptNo(shown);
        entry.SetIsLink(true);
        entry.LinkNo = linkNo;
        entry.LinkCode = 2;
        editor->ShowChildRelation(&entry);
        auto* chooser = Child<QComboBox>("ComboBoxExChild");
        const int index = chooser->findData(code);
        chooser->setCurrentIndex(index);
        emit chooser->activated(index);
    };
    const auto code = [this](std::int32_t linkNo) {
        store::TTable& n = form->Store().DtStOriginalNetWork;
        EXPECT_TRUE(n.Locate(store::kFieldRecordNo, TValue{linkNo}));
        return n.FieldByName(store::kFieldLinkCode).AsInteger();
    };

    choose(toC, c, 1);
    EXPECT_EQ(code(toC), 1);
    const int steps = static_cast<int>(form->Ontology()->SavePointCount());

    Show(b);
    choose(back, a, 1);
    EXPECT_EQ(code(back), 2);
    EXPECT_EQ(code(toC), 1);
    EXPECT_EQ(static_cast<int>(form->Ontology()->SavePointCount()), steps);
}

}  // namespace
}  // namespace velmora::app
