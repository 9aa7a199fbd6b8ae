#include "create_ontology_wizard.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <functional>

#include "scripted_ui.h"

namespace velmora::app {
namespace {

using testing::TScriptedUi;

// Types text as key presses that carry it; QTest::keyClicks only knows Latin-1 characters.
void Type(QWidget* widget, const QString& text) {
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
        QApplication::sendEvent(widget, &release);
    }
}

class CreateOntologyWizard : public ::testing::Test {
protected:
    TScriptedUi ui;
    TPagesDlgCreateOntology wizard{ui};

    template <typename T = QWidget>
    T* Find(const QString& name) {
        T* widget = wizard.findChild<T*>(name);
        EXPECT_NE(widget, nullptr) << name.toStdString();
        return widget;
    }
    QPushButton* Button(const char* name) { return Find<QPushButton>(name); }
    QLineEdit* Target() { return Find<QLineEdit>("LblEdtTarget"); }
    QLineEdit* Title() { return Find<QLineEdit>("LblEdtOntologyTitle"); }
    QPlainTextEdit* Community() { return Find<QPlainTextEdit>("MemoCommunity"); }
    QPlainTextEdit* Description() { return Find<QPlainTextEdit>("MemoTargetDescription"); }

    void GoToPage(int page) {
        while (wizard.CurrentPage() < page) {
            Button("ButtonForward")->click();
        }
    }

    // Runs the wizard modally, shown, with steps acting as the user; the dialog's result.
    int Run(const std::function<void()>& steps) {
        ui.modal = [&steps](QDialog&) {
            steps();
            return QDialog::Rejected;
        };
        return ui.RunModal(wizard);
    }

    // The three auto-filled fields, in the order title, community, description.
    std::vector<QString> Filled() {
        return {Title()->text(), Community()->toPlainText(), Description()->toPlainText()};
    }
};

TEST_F(CreateOntologyWizard, FrameAndPages) {
    EXPECT_EQ(wizard.windowTitle(), "オントロジーの新規作成");
    EXPECT_EQ(wizard.size(), QSize(483, 444));
    EXPECT_EQ(wizard.minimumSize(), wizard.maximumSize());
    auto* pages = wizard.findChild<QTabWidget*>();
    ASSERT_NE(pages, nullptr);
    EXPECT_FALSE(pages->tabBar()->isVisibleTo(&wizard));
    const QStringList captions = {"オントロジーとは1", "オントロジーとは2",
                                  "作成するオントロジーについて", "作成"};
    ASSERT_EQ(pages->count(), captions.size());
    for (int i = 0; i < pages->count(); ++i) {
        EXPECT_EQ(pages->tabText(i), captions[i]);
        EXPECT_EQ(pages->widget(i)->objectName(), "TabSheet" + QString::number(i + 1));
    }
    const QColor cream(0xFF, 0xFB, 0xF0);
    for (const char* sheet : {"TabSheet1", "TabSheet2"}) {
        QWidget* page = Find(sheet);
        EXPECT_TRUE(page->autoFillBackground()) << sheet;
        EXPECT_EQ(page->palette().color(QPalette::Window), cream) << sheet;
    }
    EXPECT_EQ(Button("ButtonBack")->text(), "<< 戻る");
    EXPECT_EQ(Button("ButtonForward")->text(), "進む >>");
    EXPECT_EQ(Button("ButtonCreate")->text(), "作成");
    EXPECT_EQ(Button("CancelBtn")->text(), "キャンセル");
}

TEST_F(CreateOntologyWizard, PicturesLoadOnTheirPages) {
    const struct {
        const char* picture;
        const char* page;
    } kPictures[] = {{"Image1", "TabSheet1"},
                     {"Image3", "TabSheet1"},
                     {"Image2", "TabSheet2"},
                     {"Image4", "TabSheet2"},
                     {"Image5", "TabSheet4"}};
    for (const auto& c : kPictures) {
        auto* label = Find<QLabel>(c.picture);
        ASSERT_NE(label, nullptr);
        EXPECT_FALSE(label->pixmap().isNull()) << c.picture;
        EXPECT_TRUE(Find(c.page)->isAncestorOf(label)) << c.picture;
    }
}

TEST_F(CreateOntologyWizard, PageButtonsFollowThePage) {
    struct TState {
        bool backEnabled, forwardEnabled, createEnabled, forwardDefault, createDefault;
    };
    const TState kStates[] = {{false, true, false, true, false},
                              {true, true, false, true, false},
                              {true, true, false, true, false},
                              {true, false, true, false, true}};
    auto check = [this, &kStates](int page) {
        ASSERT_EQ(wizard.CurrentPage(), page);
        const TState& s = kStates[page];
        EXPECT_EQ(Button("ButtonBack")->isEnabled(), s.backEnabled) << page;
        EXPECT_EQ(Button("ButtonForward")->isEnabled(), s.forwardEnabled) << page;
        EXPECT_EQ(Button("ButtonCreate")->isEnabled(), s.createEnabled) << page;
        EXPECT_EQ(Button("ButtonForward")->isDefault(), s.forwardDefault) << page;
        EXPECT_EQ(Button("ButtonCreate")->isDefault(), s.createDefault) << page;
        EXPECT_TRUE(Button("CancelBtn")->isEnabled()) << page;
    };
    check(0);
    for (int page = 1; page <= 3; ++page) {
        Button("ButtonForward")->click();
        check(page);
    }
    for (int page = 2; page >= 0; --page) {
        Button("ButtonBack")->click();
        check(page);
    }
}

TEST_F(CreateOntologyWizard, EnterPressesThePagesDefaultButton) {
    const int result = Run([this] {
        GoToPage(2);
        Type(Target(), "食品");
        QTest::keyClick(Target(), Qt::Key_Return);
        EXPECT_EQ(wizard.CurrentPage(), 3);
        QTest::keyClick(Find("LblEdtSubCategory1"), Qt::Key_Return);
    });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_TRUE(ui.questions.empty());
}

TEST_F(CreateOntologyWizard, TargetFillsTheUntypedFields) {
    GoToPage(2);
    Type(Target(), "食品");
    EXPECT_EQ(Filled(), (std::vector<QString>{"食品オントロジー", "食品の専門家.",
                                              "食品に関するオントロジー."}));

    Title()->selectAll();
    Type(Title(), "食の辞典");
    Type(Target(), "衛生");
    EXPECT_EQ(Filled(), (std::vector<QString>{"食の辞典", "食品衛生の専門家.",
                                              "食品衛生に関するオントロジー."}));
    // Every change counts, not only typing.
    Target()->setText("医療");
    EXPECT_EQ(Filled(),
              (std::vector<QString>{"食の辞典", "医療の専門家.", "医療に関するオントロジー."}));
}

TEST_F(CreateOntologyWizard, EachFieldHasItsOwnTypedInMark) {
    // The field typed into keeps its text; the other two follow the target.
    for (int typed = 0; typed < 3; ++typed) {
        TScriptedUi freshUi;
        TPagesDlgCreateOntology fresh(freshUi);
        QWidget* fields[] = {fresh.findChild<QWidget*>("LblEdtOntologyTitle"),
                             fresh.findChild<QWidget*>("MemoCommunity"),
                             fresh.findChild<QWidget*>("MemoTargetDescription")};
        auto* target = fresh.findChild<QLineEdit*>("LblEdtTarget");
        Type(fields[typed], "手");
        target->setText("車");
        const std::vector<QString> got = {fresh.OntologyTitle(), fresh.Community(),
                                          fresh.TargetDescription()};
        std::vector<QString> expected = {"車オントロジー", "車の専門家.",
                                         "車に関するオントロジー."};
        expected[static_cast<std::size_t>(typed)] = "手";
        EXPECT_EQ(got, expected) << typed;
    }
}

TEST_F(CreateOntologyWizard, PassingThroughAFieldIsNotTyping) {
    Type(Target(), "本");
    for (QWidget* field : {static_cast<QWidget*>(Title()), static_cast<QWidget*>(Community())}) {
        QTest::keyClick(field, Qt::Key_End);
        QTest::keyClick(field, Qt::Key_Left, Qt::ShiftModifier);
        QTest::keyClick(field, Qt::Key_Tab);
    }
    Target()->setText("紙");
    EXPECT_EQ(Filled(),
              (std::vector<QString>{"紙オントロジー", "紙の専門家.", "紙に関するオントロジー."}));
}

TEST_F(CreateOntologyWizard, InputMethodTextIsTyping) {
    QInputMethodEvent commit;
    commit.setCommitString("辞書");
    QApplication::sendEvent(Description(), &commit);
    Target()->setText("語");
    EXPECT_EQ(Filled(), (std::vector<QString>{"語オントロジー", "語の専門家.", "辞書"}));
}

TEST_F(CreateOntologyWizard, ErasedTargetLeavesTheSuffixesAndCreateFails) {
    ui.answers = {store::TAnswer::Ok};
    const int result = Run([this] {
        GoToPage(2);
        Type(Target(), "食品");
        QTest::keyClick(Target(), Qt::Key_Backspace);
        QTest::keyClick(Target(), Qt::Key_Backspace);
        EXPECT_EQ(Filled(),
                  (std::vector<QString>{"オントロジー", "の専門家.", "に関するオントロジー."}));
        GoToPage(3);
        Button("ButtonCreate")->click();
        EXPECT_EQ(wizard.CurrentPage(), 2);
        EXPECT_EQ(wizard.focusWidget(), Target());
        EXPECT_TRUE(wizard.isVisible());
    });
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_EQ(ui.Texts(), std::vector<QString>{"「対象とする事物」が指定されていません."});
}

TEST_F(CreateOntologyWizard, CreateNamesTheFirstMissingField) {
    const struct {
        QString target, title, community;
        QString message;
        const char* focus;
    } kCases[] = {
        {"", "", "", "「対象とする事物」が指定されていません.", "LblEdtTarget"},
        {"", "題", "人", "「対象とする事物」が指定されていません.", "LblEdtTarget"},
        {"物", "", "", "「作成するオントロジーの名称」が指定されていません.",
         "LblEdtOntologyTitle"},
        {"物", "", "人", "「作成するオントロジーの名称」が指定されていません.",
         "LblEdtOntologyTitle"},
        {"物", "題", "", "「このオントロジーを共有するコミュニティ」が指定されていません.",
         "MemoCommunity"},
    };
    for (const auto& c : kCases) {
        TScriptedUi caseUi;
        caseUi.answers = {store::TAnswer::Cancel};
        TPagesDlgCreateOntology w(caseUi);
        caseUi.modal = [&](QDialog&) {
            w.findChild<QLineEdit*>("LblEdtTarget")->setText(c.target);
            w.findChild<QLineEdit*>("LblEdtOntologyTitle")->setText(c.title);
            w.findChild<QPlainTextEdit*>("MemoCommunity")->setPlainText(c.community);
            for (int i = 0; i < 3; ++i) {
                w.findChild<QPushButton*>("ButtonForward")->click();
            }
            w.findChild<QPushButton*>("ButtonCreate")->click();
            EXPECT_EQ(w.CurrentPage(), 2) << c.focus;
            const QWidget* focus = w.focusWidget();
            EXPECT_EQ(focus ? focus->objectName() : QString(), c.focus);
            return QDialog::Rejected;
        };
        EXPECT_EQ(caseUi.RunModal(w), QDialog::Rejected) << c.focus;
        ASSERT_EQ(caseUi.questions.size(), 1u) << c.focus;
        EXPECT_EQ(caseUi.questions[0].text, c.message);
        EXPECT_EQ(caseUi.questions[0].kind, store::TMessageKind::Error);
        EXPECT_EQ(caseUi.questions[0].buttons, store::TButtons::OkCancel);
    }
}

TEST_F(CreateOntologyWizard, CreateAcceptsWhenTheRequiredFieldsAreFilled) {
    const int result = Run([this] {
        GoToPage(2);
        Type(Target(), "食品");
        Description()->clear();  // the description is optional
        GoToPage(3);
        Type(Find("LblEdtSubCategory1"), "野菜");
        Type(Find("LblEdtSubCategory3"), "果物");
        Type(Find("LblEdtSubCategory7"), "穀物");
        Button("ButtonCreate")->click();
    });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_TRUE(ui.questions.empty());
    EXPECT_EQ(wizard.Target(), "食品");
    EXPECT_EQ(wizard.OntologyTitle(), "食品オントロジー");
    EXPECT_EQ(wizard.Community(), "食品の専門家.");
    EXPECT_EQ(wizard.TargetDescription(), "");
    EXPECT_EQ(wizard.SubCategories(), (QStringList{"野菜", "", "果物", "", "", "", "穀物"}));
}

TEST_F(CreateOntologyWizard, SubCategoriesAreLabelledInOrder) {
    for (int i = 1; i <= 7; ++i) {
        const QString number = QString::number(i);
        auto* edit = Find<QLineEdit>("LblEdtSubCategory" + number);
        ASSERT_NE(edit, nullptr);
        bool labelled = false;
        for (const QLabel* label : wizard.findChildren<QLabel*>()) {
            labelled |= label->buddy() == edit && label->text() == "サブカテゴリ" + number + "：";
        }
        EXPECT_TRUE(labelled) << i;
    }
    EXPECT_EQ(wizard.SubCategories(), QStringList(7, QString()));
}

TEST_F(CreateOntologyWizard, CancelAndEscapeReject) {
    EXPECT_EQ(Run([this] { Button("CancelBtn")->click(); }), QDialog::Rejected);
    EXPECT_TRUE(ui.questions.empty());

    TScriptedUi escUi;
    TPagesDlgCreateOntology w(escUi);
    bool closed = false;
    QObject::connect(&w, &QDialog::rejected, [&closed] { closed = true; });
    escUi.modal = [&w](QDialog&) {
        w.findChild<QLineEdit*>("LblEdtTarget")->setText("物");
        QTest::keyClick(&w, Qt::Key_Escape);
        return QDialog::Accepted;  // not reached as the result when Esc closed it
    };
    EXPECT_EQ(escUi.RunModal(w), QDialog::Rejected);
    EXPECT_TRUE(closed);
}

}  // namespace
}  // namespace velmora::app
