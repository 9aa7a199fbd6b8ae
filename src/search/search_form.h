// TFormSearch: the search window. A non-modal tool window, always on top and drawn
// translucent while another window is active, in which the user finds concepts by a part of
// their texts (TConceptSearch) or lists them all, sorts the result by a column and
// double-clicks a row to go to its concept.
//
// The window knows nothing of the main window: it is given the store, a callback that goes to
// a concept (the main window's GoToConcept) and, optionally, the questioner that shows its two
// message boxes (without one it shows them itself, over this window). It only reads the
// store. It is made once, hidden; ShowSearch shows it with its last search still in place, and
// closing only hides it.
//
// The rows are a snapshot: edits after a search do not change them; a row whose concept was
// deleted meanwhile is removed when the user double-clicks it. GUI thread only.
#pragma once

#include <QDialog>
#include <functional>
#include <memory>

#include "concept_data.h"
#include "concept_search.h"
#include "data_module.h"
#include "questions.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStatusBar;
class QTreeView;

namespace velmora::search {

class TSearchResultModel;

class TFormSearch : public QDialog {
    Q_OBJECT

public:
    // Goes to a concept in the main window (not forced; the hierarchy follows).
    using TGoToConcept = std::function<void(const store::TConceptData& item)>;

    // REQUIRES: store, and questioner when given, outlive the window.
    TFormSearch(store::TDataModule1& store, TGoToConcept goToConcept, QWidget* parent = nullptr,
                store::TQuestioner* questioner = nullptr);
    ~TFormSearch() override;

    // EditFind: shows the window (centred on the screen the first time) and activates it.
    void ShowSearch();

    // The handlers, callable from tests as the controls call them.
    void ButtonSearchClick();
    void ButtonShowAllClick();
    void ListViewResultColumnClick(int column);
    void ListViewResultDblClick();

    // The controls, for tests and for the main window's screenshots.
    QLineEdit* LabeledEditString() const { return m_string; }
    QPushButton* ButtonSearch() const { return m_buttonSearch; }
    QPushButton* ButtonShowAll() const { return m_buttonShowAll; }
    QCheckBox* CheckBoxTitle() const { return m_checkTitle; }
    QCheckBox* CheckBoxDescription() const { return m_checkDescription; }
    QCheckBox* CheckBoxComment() const { return m_checkComment; }
    QCheckBox* CheckBoxEditor() const { return m_checkEditor; }
    QCheckBox* CheckBoxTerm() const { return m_checkTerm; }
    QCheckBox* CheckBoxFuzzy() const { return m_checkFuzzy; }
    QTreeView* ListViewResult() const { return m_list; }
    TSearchResultModel& ResultModel() const { return *m_model; }
    QString StatusText() const;

    // The opacity while another window is active.
    static constexpr double kInactiveOpacity = 40.0 / 255.0;

protected:
    void changeEvent(QEvent* event) override;

private:
    store::TAnswer Ask(store::TMessageKind kind, store::TButtons buttons, const char* text);
    void SetStatusText(const QString& text);
    void ShowResult(TSearchResult result, bool dateOnly);

    store::TDataModule1& m_store;
    TGoToConcept m_goToConcept;
    store::TQuestioner* m_questioner;
    TConceptSearch m_search;
    bool m_placed = false;

    // The column clicked last (-1: none yet) and its direction.
    int m_sortColumn = -1;
    bool m_sortDescending = false;

    QLineEdit* m_string;
    QPushButton* m_buttonSearch;
    QPushButton* m_buttonShowAll;
    QCheckBox* m_checkTitle;
    QCheckBox* m_checkDescription;
    QCheckBox* m_checkComment;
    QCheckBox* m_checkEditor;
    QCheckBox* m_checkTerm;
    QCheckBox* m_checkFuzzy;
    QTreeView* m_list;
    QLabel* m_status;
    QStatusBar* m_statusBar;
    TSearchResultModel* m_model;
};

}  // namespace velmora::search
