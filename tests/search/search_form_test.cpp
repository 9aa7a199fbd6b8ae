// The search window driven through its controls: start states, the status texts, one row per
// concept, show-all and its question, sorting with its toggling and ties, going to a result
// and the stale row, the window's life (hidden, shown, closed) and its translucency.
#include "search_form.h"

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeView>
#include <deque>
#include <string>
#include <vector>

#include "search_fixture.h"
#include "search_result_model.h"

namespace velmora::search {
namespace {

using testing::Moment;
using testing::Sjis;
using testing::TConceptSpec;

class TRecordingQuestioner : public store::TQuestioner {
public:
    store::TAnswer Ask(store::TMessageKind kind, store::TButtons,
                       const std::string& text) override {
        Asked.push_back(text);
        Kinds.push_back(kind);
        if (Answers.empty()) {
            ADD_FAILURE() << "unexpected question: " << text;
            return store::TAnswer::Cancel;
        }
        const store::TAnswer answer = Answers.front();
        Answers.pop_front();
        return answer;
    }

    std::deque<store::TAnswer> Answers;
    std::vector<std::string> Asked;
    std::vector<store::TMessageKind> Kinds;
};

class SearchFormTest : public ::testing::Test {
protected:
    SearchFormTest()
        : form(
              data.Store, [this](const store::TConceptData& item) { wentTo.push_back(item); },
              nullptr, &questions),
          tester(&form.ResultModel(), QAbstractItemModelTester::FailureReportingMode::Fatal) {}

    void Search(const char* utf8) {
        form.LabeledEditString()->setText(QString::fromUtf8(utf8));
        QTest::mouseClick(form.ButtonSearch(), Qt::LeftButton);
    }
    std::vector<QString> Column(int column) const {
        std::vector<QString> out;
        const QAbstractItemModel& model = form.ResultModel();
        for (int row = 0; row < model.rowCount(); ++row) {
            out.push_back(model.index(row, column).data().toString());
        }
        return out;
    }
    std::vector<std::int32_t> Numbers() const {
        std::vector<std::int32_t> out;
        for (int row = 0; row < form.ResultModel().rowCount(); ++row) {
            out.push_back(form.ResultModel().RecordNo(row));
        }
        return out;
    }
    void ClickHeader(int column) {
        QHeaderView* header = form.ListViewResult()->header();
        QTest::mouseClick(
            header->viewport(), Qt::LeftButton, {},
            QPoint(header->sectionViewportPosition(column) + 5, header->height() / 2));
    }
    void SelectRow(int row) {
        form.ListViewResult()->selectionModel()->select(
            form.ResultModel().index(row, 0),
            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }

    testing::TSearchStore data;
    TRecordingQuestioner questions;
    std::vector<store::TConceptData> wentTo;
    TFormSearch form;
    QAbstractItemModelTester tester;
};

TEST_F(SearchFormTest, StartsHiddenWithItsStartStates) {
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(form.CheckBoxTitle()->isChecked());
    for (QCheckBox* box : {form.CheckBoxDescription(), form.CheckBoxComment(),
                           form.CheckBoxEditor(), form.CheckBoxTerm(), form.CheckBoxFuzzy()}) {
        EXPECT_FALSE(box->isChecked()) << box->text().toStdString();
    }
    EXPECT_EQ(form.StatusText(), "検索文字列を入力してください.");
    EXPECT_TRUE(form.ButtonSearch()->isDefault());
    EXPECT_TRUE(form.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    const QHeaderView* header = form.ListViewResult()->header();
    const int widths[] = {150, 80, 80, 100};
    const char* captions[] = {"タイトル", "作成日時", "更新日時", "更新者名"};
    for (int column = 0; column < 4; ++column) {
        EXPECT_EQ(header->sectionSize(column), widths[column]);
        EXPECT_EQ(form.ResultModel().headerData(column, Qt::Horizontal).toString(),
                  QString::fromUtf8(captions[column]));
    }
}

TEST_F(SearchFormTest, StatusTextsAndOneRowPerConcept) {
    const std::int32_t no = data.AddConcept({Sjis("xaby"), "", Sjis("ab"), ""});
    data.AddLabel(no, "ab1");
    data.AddLabel(no, "ab2");
    data.AddTitled("XABY");

    Search("");
    EXPECT_EQ(form.StatusText(), "検索文字列を入力してください.");

    form.CheckBoxComment()->setChecked(true);
    form.CheckBoxTerm()->setChecked(true);
    Search("ab");
    EXPECT_EQ(Numbers(), std::vector<std::int32_t>{no});
    EXPECT_EQ(form.StatusText(), "ヒット: 1項目");

    for (QCheckBox* box : {form.CheckBoxTitle(), form.CheckBoxComment(), form.CheckBoxTerm()}) {
        box->setChecked(false);
    }
    Search("ab");
    EXPECT_EQ(form.ResultModel().rowCount(), 0) << "the list is emptied first";
    EXPECT_EQ(form.StatusText(), "検索対象フィールドを選択してください.");

    // Enter in the search string runs the search (the default button).
    form.CheckBoxTitle()->setChecked(true);
    form.ShowSearch();
    form.LabeledEditString()->setText("XAB");
    QTest::keyClick(form.LabeledEditString(), Qt::Key_Return);
    EXPECT_EQ(form.StatusText(), "ヒット: 1項目");
}

TEST_F(SearchFormTest, ShowAllAsksAndOnlyYesReplacesTheList) {
    data.AddConcept({Sjis("b"), "", "", "", Moment(2, 13, 30), Moment(3, 0)});
    data.AddConcept({Sjis("a"), "", "", "", Moment(4, 0), Moment(4, 9, 15, 20)});
    Search("b");
    ASSERT_EQ(form.ResultModel().rowCount(), 1);

    for (const store::TAnswer declined : {store::TAnswer::No, store::TAnswer::Cancel}) {
        questions.Answers = {declined};
        QTest::mouseClick(form.ButtonShowAll(), Qt::LeftButton);
        EXPECT_EQ(form.ResultModel().rowCount(), 1);
        EXPECT_EQ(form.StatusText(), "ヒット: 1項目");
    }
    EXPECT_EQ(questions.Asked.back(), "全ての概念項目を表示しますか？");
    EXPECT_EQ(questions.Kinds.back(), store::TMessageKind::Confirmation);

    // A search shows dates with their time, none at midnight; show-all dates only.
    EXPECT_EQ(Column(1)[0], TSearchResultModel::DateTimeText(Moment(2, 13, 30), false));
    EXPECT_NE(Column(1)[0], TSearchResultModel::DateTimeText(Moment(2, 13, 30), true));
    EXPECT_EQ(Column(2)[0], TSearchResultModel::DateTimeText(Moment(3, 0), true));

    questions.Answers = {store::TAnswer::Yes};
    QTest::mouseClick(form.ButtonShowAll(), Qt::LeftButton);
    EXPECT_EQ(Numbers(), (std::vector<std::int32_t>{1, 2}));
    EXPECT_EQ(form.StatusText(), "ヒット: 2項目");
    EXPECT_EQ(Column(2)[1], TSearchResultModel::DateTimeText(Moment(4, 0), true));
}

TEST_F(SearchFormTest, SortingTogglesAndBreaksTiesByTitle) {
    // Titles in record order c, a, B, b2; creation times so that two share a second.
    data.AddConcept({Sjis("c"), "", "", Sjis("yamada"), Moment(1, 9, 0, 1), Moment(1, 9)});
    data.AddConcept({Sjis("a"), "", "", Sjis("sato"), Moment(1, 9, 0, 3), Moment(1, 9)});
    data.AddConcept({Sjis("B"), "", "", Sjis("yamada"), Moment(1, 9, 0, 2), Moment(1, 9)});
    data.AddConcept({Sjis("b2"), "", "", Sjis("sato"), Moment(1, 9, 0, 2), Moment(1, 9)});
    questions.Answers = {store::TAnswer::Yes};
    form.ButtonShowAllClick();
    form.show();
    SelectRow(0);  // the selection follows its row

    ClickHeader(0);
    EXPECT_EQ(Column(0), (std::vector<QString>{"a", "B", "b2", "c"})) << "case-insensitive";
    EXPECT_EQ(form.ResultModel().RecordNo(
                  form.ListViewResult()->selectionModel()->selectedRows().at(0).row()),
              1);
    ClickHeader(0);
    EXPECT_EQ(Column(0), (std::vector<QString>{"c", "b2", "B", "a"}));
    // Another column starts ascending again; show-all dates tie on the day, then by title.
    ClickHeader(1);
    EXPECT_EQ(Column(0), (std::vector<QString>{"a", "B", "b2", "c"}));

    // A search shows seconds: the creation times order the rows, the shared second by title.
    form.CheckBoxTitle()->setChecked(false);
    form.CheckBoxEditor()->setChecked(true);
    Search("a");
    EXPECT_EQ(Column(0), (std::vector<QString>{"c", "a", "B", "b2"})) << "record order";
    // The remembered column is the one clicked again: it turns to descending.
    form.ListViewResultColumnClick(1);
    EXPECT_EQ(Column(0), (std::vector<QString>{"a", "B", "b2", "c"}));
    form.ListViewResultColumnClick(3);
    form.ListViewResultColumnClick(3);
    EXPECT_EQ(Column(0), (std::vector<QString>{"B", "c", "a", "b2"}))
        << "editor descending, equal editors by ascending title";
}

TEST_F(SearchFormTest, GoingToAResultAndAStaleRow) {
    const std::int32_t kept = data.AddTitled("apple");
    const std::int32_t gone = data.AddTitled("apricot");
    Search("ap");
    ASSERT_EQ(Numbers(), (std::vector<std::int32_t>{kept, gone}));

    form.ListViewResultDblClick();
    EXPECT_TRUE(wentTo.empty()) << "nothing selected, nothing happens";

    data.DeleteConcept(gone);
    EXPECT_EQ(form.ResultModel().rowCount(), 2) << "the rows are a snapshot";
    SelectRow(1);
    questions.Answers = {store::TAnswer::Ok};
    form.ListViewResultDblClick();
    EXPECT_EQ(Numbers(), std::vector<std::int32_t>{kept});
    ASSERT_EQ(questions.Asked.size(), 1U);
    EXPECT_EQ(questions.Asked[0], "項目が見つかりません.");
    EXPECT_EQ(questions.Kinds[0], store::TMessageKind::Error);
    EXPECT_TRUE(wentTo.empty()) << "the main window does not move";

    form.show();
    const QRect cell = form.ListViewResult()->visualRect(form.ResultModel().index(0, 0));
    QTest::mouseClick(form.ListViewResult()->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(form.ListViewResult()->viewport(), Qt::LeftButton, {}, cell.center());
    ASSERT_EQ(wentTo.size(), 1U);
    EXPECT_EQ(wentTo[0].ConceptNo(), kept);
    EXPECT_FALSE(wentTo[0].IsLink());
    EXPECT_EQ(wentTo[0].Title(), "apple");
}

TEST_F(SearchFormTest, ShownByEditFindHiddenByClosingTranslucentWhenInactive) {
    data.AddTitled("apple");
    Search("app");
    form.ShowSearch();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    EXPECT_DOUBLE_EQ(form.windowOpacity(), 1.0);

    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    EXPECT_TRUE(QTest::qWaitFor([&] { return form.windowOpacity() < 0.5; }));
    EXPECT_NEAR(form.windowOpacity(), 40.0 / 255.0, 0.01);

    form.close();
    EXPECT_FALSE(form.isVisible());
    form.ShowSearch();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    EXPECT_DOUBLE_EQ(form.windowOpacity(), 1.0);
    EXPECT_EQ(form.LabeledEditString()->text(), "app") << "the last search stays";
    EXPECT_EQ(form.ResultModel().rowCount(), 1);
    EXPECT_EQ(form.StatusText(), "ヒット: 1項目");
}

TEST(SearchResultModelTest, DateTextsLeaveOutMidnightAndTheTimeZone) {
    const QLocale locale(QLocale::Japanese, QLocale::Japan);
    EXPECT_EQ(TSearchResultModel::DateTimeText(Moment(2, 0), false, locale), "2024/04/02");
    const QString withTime = TSearchResultModel::DateTimeText(Moment(2, 9, 5, 7), false, locale);
    EXPECT_TRUE(withTime.startsWith("2024/04/02 ")) << withTime.toStdString();
    EXPECT_TRUE(withTime.contains("05")) << withTime.toStdString();
    EXPECT_FALSE(withTime.contains("JST")) << withTime.toStdString();
    EXPECT_EQ(TSearchResultModel::DateTimeText(Moment(2, 9, 5, 7), true, locale), "2024/04/02");
}

}  // namespace
}  // namespace velmora::search
