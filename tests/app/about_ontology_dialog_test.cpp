// The ontology properties dialog and the link-type editor, shown offscreen over a small store
// and driven through TScriptedUi: the pages and their fields, the link-type list and its
// buttons, adding, editing and deleting with their save points, and the checks of OK.
#include "about_ontology_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <functional>
#include <memory>
#include <optional>

#include "code_page.h"
#include "edit_link_type_form.h"
#include "ontology_tables.h"
#include "qt_text.h"
#include "scripted_ui.h"
#include "search_result_model.h"
#include "store_fixture.h"
#include "wait_until.h"

namespace velmora::app {
namespace {

using store::TAnswer;
using store::TButtons;
using store::TMessageKind;

std::string Sjis(std::string_view utf8) {
    return store::Utf8ToCp932(utf8);
}

template <typename T = QWidget>
T* Child(QWidget& parent, const char* name) {
    T* child = parent.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
}

// A store with a top concept and an ontology whose every field is set; link-type changes take
// their save points on the ontology's own undo stack.
class AboutOntologyDialog : public store::testing::StoreFixture {
protected:
    AboutOntologyDialog() {
        top = store.AppendConcept(Sjis("食品"), 0, Sjis("食品"));
        ontology.SetTitle(Sjis("食品オントロジー"));
        ontology.SetTarget(Sjis("食品"));
        ontology.SetCreator(Sjis("山田"));
        ontology.SetDescription(Sjis("一行目\r\n二行目"));
        ontology.SetCommunity(Sjis("料理人"));
        ontology.SetCreatedDay("09:05:03");
        ontology.SetConceptDescrDefault(Sjis("解説"));
        ontology.SetConceptCommentDefault(Sjis("コメント\r\n"));
        ontology.SetModified(false);
        ui.modal = [this](QDialog& dialog) {
            if (auto* editor = qobject_cast<TFormEditLinkType*>(&dialog)) {
                ++editorsShown;
                return onEditor ? onEditor(*editor) : int(QDialog::Rejected);
            }
            return int(QDialog::Rejected);
        };
    }

    TAboutOntologyDlg& Open(bool useVariousLink = true) {
        TAboutOntologyHooks hooks;
        hooks.takeSavePoint = [this] {
            ontology.PushSavePoint(store.TakeSavePoint(ConceptItem(top)));
        };
        hooks.refreshEditor = [this] { ++editorRefreshes; };
        dialog = std::make_unique<TAboutOntologyDlg>(ui, ontology, store, useVariousLink,
                                                     std::move(hooks));
        dialog->show();
        return *dialog;
    }

    void Undo() {
        std::unique_ptr<store::TSavePoint> point = ontology.PopSavePoint();
        ASSERT_NE(point, nullptr);
        store.RollBackTo(*point);
    }

    // The editor's answer: the label and comment typed, then OK.
    void EditorTypes(const QString& label, const QString& comment = {}) {
        onEditor = [label, comment](TFormEditLinkType& editor) {
            Child<QLineEdit>(editor, "LabeledEditTitle")->setText(label);
            Child<QPlainTextEdit>(editor, "MemoLinkComment")->setPlainText(comment);
            Child<QPushButton>(editor, "OKBtn")->click();
            return int(QDialog::Rejected);  // unused: OK closed it
        };
    }

    QTableWidget* List() { return dialog->ListView1(); }
    QPushButton* Button(const char* name) { return Child<QPushButton>(*dialog, name); }

    // The codes of the list's rows, top to bottom.
    std::vector<std::int32_t> ListedCodes() {
        std::vector<std::int32_t> codes;
        for (int r = 0; r < List()->rowCount(); ++r) {
            codes.push_back(List()->item(r, 0)->data(Qt::UserRole).toInt());
        }
        return codes;
    }
    void SelectCode(std::int32_t code) {
        for (int r = 0; r < List()->rowCount(); ++r) {
            if (List()->item(r, 0)->data(Qt::UserRole).toInt() == code) {
                List()->selectRow(r);
                return;
            }
        }
        ADD_FAILURE() << "no row of code " << code;
    }
    std::optional<store::TLinkTypeRow> LinkType(std::int32_t code) {
        return store::TOntologyLinkTypes(store, [] {}).Find(code);
    }

    std::int32_t top = 0;
    store::TOntology ontology;
    testing::TScriptedUi ui;
    std::function<int(TFormEditLinkType&)> onEditor;
    int editorsShown = 0;
    int editorRefreshes = 0;
    std::unique_ptr<TAboutOntologyDlg> dialog;
};

TEST_F(AboutOntologyDialog, FrameAndPagesShowTheOntology) {
    TAboutOntologyDlg& d = Open();
    EXPECT_EQ(d.windowTitle(), "このオントロジーについて");
    EXPECT_EQ(d.size(), QSize(427, 336));
    EXPECT_EQ(d.minimumSize(), d.maximumSize());
    auto* pages = Child<QTabWidget>(d, "PageControl1");
    const QStringList captions = {"オントロジー", "概念項目作成", "関係の定義", "情報"};
    ASSERT_EQ(pages->count(), captions.size());
    for (int i = 0; i < pages->count(); ++i) {
        EXPECT_EQ(pages->tabText(i), captions[i]);
        EXPECT_EQ(pages->widget(i)->objectName(), "TabSheet" + QString::number(i + 1));
    }
    EXPECT_EQ(Button("OKBtn")->text(), "OK");
    EXPECT_TRUE(Button("OKBtn")->isDefault());
    EXPECT_EQ(Button("CancelBtn")->text(), "キャンセル");
    EXPECT_EQ(Button("BtnAddLink")->text(), "追加");
    EXPECT_EQ(Button("BtnDeleteLink")->text(), "削除");
    EXPECT_EQ(Button("BtnEditLink")->text(), "編集");
    EXPECT_EQ(List()->horizontalHeaderItem(0)->text(), "ラベル");
    EXPECT_EQ(List()->horizontalHeaderItem(1)->text(), "説明");

    EXPECT_EQ(Child<QLineEdit>(d, "LabeledEditTitle")->text(), "食品オントロジー");
    EXPECT_EQ(Child<QLineEdit>(d, "LabeledEditTarget")->text(), "食品");
    EXPECT_EQ(Child<QLineEdit>(d, "LabeledEditCreator")->text(), "山田");
    // Multi-line values come back as lines, with no stray line of a CR.
    EXPECT_EQ(Child<QPlainTextEdit>(d, "MemoDescription")->toPlainText(), "一行目\n二行目");
    EXPECT_EQ(Child<QPlainTextEdit>(d, "MemoDescription")->blockCount(), 2);
    EXPECT_EQ(Child<QPlainTextEdit>(d, "MemoCommunity")->toPlainText(), "料理人");
    EXPECT_EQ(Child<QPlainTextEdit>(d, "MemoConceptDefaultDescr")->toPlainText(), "解説");
    EXPECT_EQ(Child<QPlainTextEdit>(d, "MemoConceptDefaultComm")->toPlainText(), "コメント\n");

    // The ten default link types in table order, each with its relation's picture.
    ASSERT_EQ(List()->rowCount(), 10);
    EXPECT_EQ(List()->item(0, 0)->text(), "subconcept");
    EXPECT_EQ(List()->item(0, 1)->text(), "下位概念、またはサブカテゴリ.");
    EXPECT_EQ(List()->item(9, 0)->text(), "relation_I");
    for (int r = 0; r < 10; ++r) {
        EXPECT_FALSE(List()->item(r, 0)->icon().isNull()) << r;
    }
}

TEST_F(AboutOntologyDialog, InformationPageLines) {
    const store::TDateTime late = store::TDateTime::FromCivil({2030, 1, 2, 3, 4, 5, 0});
    const std::int32_t second = store.AppendConcept(Sjis("野菜"), top, Sjis("野菜"));
    const std::int32_t third = store.AppendConcept(Sjis("果物"), top, Sjis("果物"));
    MirrorImage(second, third);
    for (const auto& [no, editor] : {std::pair{second, "乙"}, std::pair{third, "丙"}}) {
        ASSERT_TRUE(store.DtStOriginalConcepts.Locate("RECORD_NO", store::TValue(no)));
        store.DtStOriginalConcepts.Edit();
        store.DtStOriginalConcepts.FieldByName("DATE_EDITION").SetAsDateTime(late);
        store.DtStOriginalConcepts.FieldByName("EDITOR").SetAsString(Sjis(editor));
        store.DtStOriginalConcepts.Post();
    }
    auto* memo = Child<QPlainTextEdit>(Open(), "MemoInformation");
    EXPECT_TRUE(memo->isReadOnly());
    EXPECT_TRUE(memo->textInteractionFlags() & Qt::TextSelectableByKeyboard);
    const QString separator = "    --------------------------------------";
    const QStringList expected = {
        "",
        "  食品オントロジー",
        "",
        separator,
        "    概念項目数:    3",
        "    鏡像項目数:    1",
        "    登録言語ラベル数:    3",
        separator,
        "    作成者:    \"山田\"",
        "    作成日時:    09:05:03",
        separator,
        "    最終編集者:    \"乙\"",  // the first of the two latest
        "    最終編集日時:    " + search::TSearchResultModel::DateTimeText(late, false),
        separator,
    };
    EXPECT_EQ(memo->toPlainText().split('\n'), expected);
}

TEST_F(AboutOntologyDialog, RelationPageFollowsTheSwitch) {
    for (const bool on : {false, true}) {
        SCOPED_TRACE(on);
        TAboutOntologyDlg& d = Open(on);
        QWidget* page = Child<QWidget>(d, "TabSheet3");
        EXPECT_EQ(page->isEnabled(), on);
        EXPECT_EQ(Button("BtnAddLink")->isEnabled(), on);
        const QColor text =
            d.palette().color(on ? QPalette::Active : QPalette::Disabled, QPalette::Text);
        EXPECT_EQ(List()->item(0, 0)->foreground().color(), text);
        EXPECT_EQ(List()->item(0, 1)->foreground().color(), text);
        // The page can still be looked at.
        auto* pages = Child<QTabWidget>(d, "PageControl1");
        EXPECT_TRUE(pages->isTabEnabled(2));
    }
}

TEST_F(AboutOntologyDialog, ListButtonsFollowTheSelection) {
    Open();
    EditorTypes("原料");
    Button("BtnAddLink")->click();
    struct TCase {
        std::int32_t code;  // 0: no selection
        bool edit, remove;
    };
    for (const TCase& c : {TCase{0, false, false}, TCase{1, true, false}, TCase{10, true, false},
                           TCase{11, true, true}}) {
        SCOPED_TRACE(c.code);
        if (c.code == 0) {
            List()->clearSelection();
        } else {
            SelectCode(c.code);
        }
        EXPECT_EQ(dialog->SelectedLinkCode(), c.code);
        EXPECT_EQ(Button("BtnEditLink")->isEnabled(), c.edit);
        EXPECT_EQ(Button("BtnDeleteLink")->isEnabled(), c.remove);
    }

    // A double click edits the row, as the edit button does.
    editorsShown = 0;
    onEditor = [](TFormEditLinkType& editor) {
        EXPECT_EQ(Child<QLineEdit>(editor, "LabeledEditTitle")->text(), "relation_B");
        EXPECT_EQ(Child<QPlainTextEdit>(editor, "MemoLinkComment")->toPlainText(),
                  "ユーザー定義の関係B");
        return int(QDialog::Rejected);
    };
    Child<QTabWidget>(*dialog, "PageControl1")->setCurrentIndex(2);
    test_support::WaitUntil([this] { return List()->isVisible(); });
    const QRect cell = List()->visualItemRect(List()->item(2, 0));
    QTest::mouseClick(List()->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(List()->viewport(), Qt::LeftButton, {}, cell.center());
    EXPECT_EQ(editorsShown, 1);
}

TEST_F(AboutOntologyDialog, DeletedCodeIsReusedAndTheRowGoesAtOnce) {
    Open();
    EditorTypes("原料", "材料\n二行");
    Button("BtnAddLink")->click();
    EXPECT_EQ(editorsShown, 1);
    ASSERT_TRUE(LinkType(11));
    EXPECT_EQ(LinkType(11)->LinkTitle, Sjis("原料"));
    EXPECT_EQ(LinkType(11)->Comment, Sjis("材料\r\n二行"));
    EXPECT_EQ(ListedCodes().back(), 11);
    EXPECT_EQ(List()->item(10, 1)->text(), "材料 二行");
    EXPECT_EQ(dialog->SelectedLinkCode(), 11);  // the new row is selected

    Button("BtnDeleteLink")->click();
    EXPECT_FALSE(LinkType(11));
    EXPECT_EQ(List()->rowCount(), 10);
    EXPECT_EQ(dialog->SelectedLinkCode(), 0);
    EXPECT_FALSE(Button("BtnDeleteLink")->isEnabled());

    EditorTypes("別の関係");
    Button("BtnAddLink")->click();
    EXPECT_EQ(ListedCodes().back(), 11);
    EXPECT_EQ(LinkType(11)->LinkTitle, Sjis("別の関係"));
    EXPECT_EQ(ontology.SavePointCount(), 3u);
    EXPECT_TRUE(ui.questions.empty());
}

TEST_F(AboutOntologyDialog, UsedCodeIsNotDeleted) {
    Open();
    EditorTypes("原料");
    Button("BtnAddLink")->click();
    const std::int32_t child = store.AppendConcept(Sjis("大豆"), top, "");
    MirrorImage(child, top, 11);
    const std::size_t points = ontology.SavePointCount();

    ui.answers = {TAnswer::Ok};
    SelectCode(11);
    Button("BtnDeleteLink")->click();
    ASSERT_EQ(ui.questions.size(), 1u);
    EXPECT_EQ(ui.questions[0].kind, TMessageKind::Warning);
    EXPECT_EQ(ui.questions[0].buttons, TButtons::OkCancel);
    EXPECT_EQ(ui.questions[0].text, "削除できません. このリンクは使用されています.");
    EXPECT_TRUE(LinkType(11));
    EXPECT_EQ(ontology.SavePointCount(), points);
    EXPECT_EQ(ListedCodes().back(), 11);
}

TEST_F(AboutOntologyDialog, EditingWritesTheTypeAndRefreshesTheEditor) {
    Open();
    EditorTypes("下位概念", "説明\n二行目");
    SelectCode(1);  // a default type is edited like any other
    Button("BtnEditLink")->click();
    EXPECT_EQ(LinkType(1)->LinkTitle, Sjis("下位概念"));
    EXPECT_EQ(LinkType(1)->Comment, Sjis("説明\r\n二行目"));
    EXPECT_EQ(List()->item(0, 0)->text(), "下位概念");
    EXPECT_EQ(editorRefreshes, 1);
    EXPECT_EQ(ontology.SavePointCount(), 1u);

    // Cancelled: nothing written, no undo step.
    onEditor = [](TFormEditLinkType& editor) {
        Child<QLineEdit>(editor, "LabeledEditTitle")->setText("x");
        return int(QDialog::Rejected);
    };
    Button("BtnEditLink")->click();
    EXPECT_EQ(LinkType(1)->LinkTitle, Sjis("下位概念"));
    EXPECT_EQ(ontology.SavePointCount(), 1u);

    Undo();
    EXPECT_EQ(LinkType(1)->LinkTitle, "subconcept");
}

TEST_F(AboutOntologyDialog, EditorRefusesAnEmptyLabel) {
    TFormEditLinkType editor(ui);
    EXPECT_EQ(editor.windowTitle(), "リンクの定義の編集");
    EXPECT_EQ(editor.size(), QSize(262, 219));
    EXPECT_EQ(editor.minimumSize(), editor.maximumSize());
    EXPECT_EQ(Child<QPushButton>(editor, "OKBtn")->text(), "OK");
    EXPECT_EQ(Child<QPushButton>(editor, "CancelBtn")->text(), "キャンセル");
    editor.SetLink("", "");
    editor.show();
    ui.answers = {TAnswer::Ok};
    Child<QPushButton>(editor, "OKBtn")->click();
    ASSERT_EQ(ui.questions.size(), 1u);
    EXPECT_EQ(ui.questions[0].text, "リンクにはラベルが必要です.");
    EXPECT_EQ(ui.questions[0].kind, TMessageKind::Warning);
    EXPECT_EQ(ui.questions[0].buttons, TButtons::OkCancel);
    EXPECT_TRUE(editor.isVisible());
    EXPECT_EQ(editor.result(), QDialog::Rejected);

    Child<QPushButton>(editor, "CancelBtn")->click();  // always allowed
    EXPECT_FALSE(editor.isVisible());
    EXPECT_EQ(ui.questions.size(), 1u);
}

TEST_F(AboutOntologyDialog, OkChecksTheRequiredFieldsInOrder) {
    struct TCase {
        const char* title;
        const char* target;
        const char* community;
        const char* message;  // null: accepted
        const char* focus;
    };
    const TCase kCases[] = {
        {"", "", "", "オントロジーのタイトルが空白です.", "LabeledEditTitle"},
        {"t", "", "", "オントロジーのターゲットが空白です.", "LabeledEditTarget"},
        {"t", "g", "", "オントロジーのコミュニティが空白です.", "MemoCommunity"},
        {"t", "g", "\n", nullptr, nullptr},  // a line break is text
    };
    for (const TCase& c : kCases) {
        SCOPED_TRACE(c.message != nullptr ? c.message : "accepted");
        ui.questions.clear();
        TAboutOntologyDlg& d = Open();
        auto* pages = Child<QTabWidget>(d, "PageControl1");
        pages->setCurrentIndex(3);
        Child<QLineEdit>(d, "LabeledEditTitle")->setText(c.title);
        Child<QLineEdit>(d, "LabeledEditTarget")->setText(c.target);
        Child<QPlainTextEdit>(d, "MemoCommunity")->setPlainText(c.community);
        Button("OKBtn")->click();
        if (c.message == nullptr) {
            EXPECT_TRUE(ui.questions.empty());
            EXPECT_FALSE(d.isVisible());
            EXPECT_EQ(d.result(), QDialog::Accepted);
            continue;
        }
        ASSERT_EQ(ui.questions.size(), 1u);
        EXPECT_EQ(ui.questions[0].kind, TMessageKind::Error);
        EXPECT_EQ(ui.questions[0].buttons, TButtons::Ok);
        EXPECT_EQ(ui.questions[0].text, c.message);
        EXPECT_TRUE(d.isVisible());
        EXPECT_EQ(pages->currentIndex(), 0);
        EXPECT_EQ(d.focusWidget(), Child<QWidget>(d, c.focus));
        EXPECT_EQ(ontology.Title(), Sjis("食品オントロジー"));  // nothing written
        EXPECT_FALSE(ontology.Modified());
    }
}

TEST_F(AboutOntologyDialog, OkWritesEveryFieldBackWithItsLineBreaks) {
    int titleChanges = 0;
    ontology.OnTitleChange = [&titleChanges](store::TOntology&) { ++titleChanges; };
    TAboutOntologyDlg& d = Open();
    Child<QLineEdit>(d, "LabeledEditTitle")->setText("新しい題");
    Child<QLineEdit>(d, "LabeledEditTarget")->setText("対象");
    Child<QLineEdit>(d, "LabeledEditCreator")->setText("");
    Child<QPlainTextEdit>(d, "MemoDescription")->setPlainText("a\nb\n\nc");
    Child<QPlainTextEdit>(d, "MemoCommunity")->setPlainText("\n");
    Child<QPlainTextEdit>(d, "MemoConceptDefaultDescr")->setPlainText("d\ne");
    Child<QPlainTextEdit>(d, "MemoConceptDefaultComm")->setPlainText("");
    Button("OKBtn")->click();
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(ontology.Title(), Sjis("新しい題"));
    EXPECT_EQ(ontology.Target(), Sjis("対象"));
    EXPECT_EQ(ontology.Creator(), "");
    EXPECT_EQ(ontology.Description(), "a\r\nb\r\n\r\nc");
    EXPECT_EQ(ontology.Community(), "\r\n");
    EXPECT_EQ(ontology.ConceptDescrDefault(), "d\r\ne");
    EXPECT_EQ(ontology.ConceptCommentDefault(), "");
    EXPECT_EQ(ontology.CreatedDay(), "09:05:03");
    EXPECT_TRUE(ontology.Modified());
    EXPECT_EQ(titleChanges, 1);
    ontology.OnTitleChange = nullptr;

    // What was written comes back whole when the dialog opens again.
    TAboutOntologyDlg& again = Open();
    EXPECT_EQ(Child<QPlainTextEdit>(again, "MemoDescription")->toPlainText(), "a\nb\n\nc");
    EXPECT_EQ(Child<QPlainTextEdit>(again, "MemoCommunity")->toPlainText(), "\n");
}

TEST_F(AboutOntologyDialog, CancelKeepsTheLinkTypesAndWritesNoMetadata) {
    TAboutOntologyDlg& d = Open();
    Child<QLineEdit>(d, "LabeledEditTitle")->setText("");  // not checked on Cancel
    Child<QLineEdit>(d, "LabeledEditCreator")->setText("別人");
    EditorTypes("原料");
    Button("BtnAddLink")->click();
    Button("CancelBtn")->click();
    EXPECT_EQ(d.result(), QDialog::Rejected);
    EXPECT_TRUE(ui.questions.empty());
    EXPECT_EQ(ontology.Title(), Sjis("食品オントロジー"));
    EXPECT_EQ(ontology.Creator(), Sjis("山田"));
    EXPECT_FALSE(ontology.Modified());
    EXPECT_TRUE(LinkType(11));
    Undo();
    EXPECT_FALSE(LinkType(11));
}

TEST_F(AboutOntologyDialog, CharactersTheFilesCannotHoldAreReported) {
    TAboutOntologyDlg& d = Open();
    EditorTypes("関係😀");
    Button("BtnAddLink")->click();
    ASSERT_EQ(ui.questions.size(), 1u);
    EXPECT_EQ(ui.questions[0].text, UnconvertibleText(1));
    EXPECT_EQ(LinkType(11)->LinkTitle, Sjis("関係?"));

    Child<QLineEdit>(d, "LabeledEditCreator")->setText("😀😀");
    Button("OKBtn")->click();
    ASSERT_EQ(ui.questions.size(), 2u);
    EXPECT_EQ(ui.questions[1].text, UnconvertibleText(2));
    EXPECT_EQ(ontology.Creator(), "??");
}

}  // namespace
}  // namespace velmora::app
