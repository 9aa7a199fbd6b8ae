#include "search_form.h"

#include <QApplication>
#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>

#include "qt_text.h"
#include "search_result_model.h"

namespace velmora::search {

namespace {

constexpr int kDesignWidth = 454;
constexpr int kDesignHeight = 353;
constexpr int kPanelMinimumWidth = 446;
constexpr int kListMinimumHeight = 60;
constexpr int kColumnWidths[] = {150, 80, 80, 100};

const char* const kEnterSearchString = "検索文字列を入力してください.";
const char* const kChooseFields = "検索対象フィールドを選択してください.";
const char* const kShowAllQuestion = "全ての概念項目を表示しますか？";
const char* const kNotFound = "項目が見つかりません.";

QString HitsText(std::size_t hits) {
    return QStringLiteral("ヒット: %1項目").arg(hits);
}

// The two boxes of the window when no questioner is given: over this window, which stays on
// top of the main window.
store::TAnswer AskWithMessageBox(QWidget* parent, store::TMessageKind kind, store::TButtons buttons,
                                 const QString& text) {
    QMessageBox box(parent);
    box.setText(text);
    box.setIcon(kind == store::TMessageKind::Error ? QMessageBox::Critical : QMessageBox::Question);
    box.setWindowTitle(kind == store::TMessageKind::Error ? QStringLiteral("エラー")
                                                          : QStringLiteral("確認"));
    if (buttons == store::TButtons::YesNoCancel) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    switch (box.exec()) {
        case QMessageBox::Yes:
            return store::TAnswer::Yes;
        case QMessageBox::No:
            return store::TAnswer::No;
        case QMessageBox::Cancel:
            return store::TAnswer::Cancel;
        default:
            return store::TAnswer::Ok;
    }
}

}  // namespace

TFormSearch::TFormSearch(store::TDataModule1& store, TGoToConcept goToConcept, QWidget* parent,
                         store::TQuestioner* questioner)
    : QDialog(parent, Qt::Tool | Qt::WindowStaysOnTopHint),
      m_store(store),
      m_goToConcept(std::move(goToConcept)),
      m_questioner(questioner),
      m_search(store) {
    setObjectName(QStringLiteral("FormSearch"));
    setWindowTitle(QStringLiteral("検索"));
    setModal(false);
    setSizeGripEnabled(true);

    auto* panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setMinimumWidth(kPanelMinimumWidth);
    auto* label = new QLabel(QStringLiteral("検索文字列："), panel);
    m_string = new QLineEdit(panel);
    m_string->setObjectName(QStringLiteral("LabeledEditString"));
    label->setBuddy(m_string);
    m_buttonSearch = new QPushButton(QStringLiteral("検索"), panel);
    m_buttonSearch->setObjectName(QStringLiteral("ButtonSearch"));
    m_buttonSearch->setDefault(true);
    m_buttonShowAll = new QPushButton(QStringLiteral("全項目"), panel);
    m_buttonShowAll->setObjectName(QStringLiteral("ButtonShowAll"));
    m_buttonShowAll->setAutoDefault(false);
    const auto check = [panel](const char* caption, const char* name, bool checked) {
        auto* box = new QCheckBox(QString::fromUtf8(caption), panel);
        box->setObjectName(QString::fromLatin1(name));
        box->setChecked(checked);
        return box;
    };
    m_checkTitle = check("タイトル", "CheckBoxTitle", true);
    m_checkDescription = check("解説", "CheckBoxDescription", false);
    m_checkComment = check("コメント", "CheckBoxComment", false);
    m_checkEditor = check("更新者名", "CheckBoxEditor", false);
    m_checkTerm = check("言語ラベル", "CheckBoxTerm", false);
    // Off at start, so that the search matches exactly unless the user asks for more.
    m_checkFuzzy = check("表記ゆれを無視", "CheckBoxFuzzy", false);
    m_checkFuzzy->setToolTip(
        QStringLiteral("全角と半角の英数字・カタカナ、ひらがなとカタカナを区別せずに検索します"));

    auto* panelLayout = new QGridLayout(panel);
    panelLayout->setContentsMargins(4, 4, 4, 0);
    panelLayout->addWidget(label, 0, 0, 1, 5);
    panelLayout->addWidget(m_string, 1, 0, 1, 5);
    panelLayout->addWidget(m_buttonSearch, 1, 5);
    panelLayout->addWidget(m_buttonShowAll, 1, 6);
    auto* boxes = new QHBoxLayout;
    for (QCheckBox* box :
         {m_checkTitle, m_checkDescription, m_checkComment, m_checkEditor, m_checkTerm}) {
        boxes->addWidget(box);
    }
    boxes->addStretch(1);
    panelLayout->addLayout(boxes, 2, 0, 1, 7);
    panelLayout->addWidget(m_checkFuzzy, 3, 0, 1, 7);

    m_model = new TSearchResultModel(this);
    m_list = new QTreeView(this);
    m_list->setObjectName(QStringLiteral("ListViewResult"));
    m_list->setModel(m_model);
    m_list->setRootIsDecorated(false);
    m_list->setItemsExpandable(false);
    m_list->setUniformRowHeights(true);  // a million rows without measuring each
    m_list->setAllColumnsShowFocus(true);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setMinimumHeight(kListMinimumHeight);
    m_list->setSortingEnabled(false);  // sorted once per header click, by the window
    m_list->header()->setSectionsClickable(true);
    m_list->header()->setStretchLastSection(false);
    for (int column = 0; column < TSearchResultModel::ColumnCount; ++column) {
        m_list->header()->resizeSection(column, kColumnWidths[column]);
    }

    m_statusBar = new QStatusBar(this);
    m_statusBar->setObjectName(QStringLiteral("StatusBar1"));
    m_statusBar->setSizeGripEnabled(false);  // the window has its own
    m_status = new QLabel(QString::fromUtf8(kEnterSearchString), m_statusBar);
    m_statusBar->addWidget(m_status, 1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    layout->addWidget(panel);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_statusBar);
    resize(kDesignWidth, kDesignHeight);

    connect(m_buttonSearch, &QPushButton::clicked, this, [this] { ButtonSearchClick(); });
    connect(m_buttonShowAll, &QPushButton::clicked, this, [this] { ButtonShowAllClick(); });
    connect(m_list->header(), &QHeaderView::sectionClicked, this,
            [this](int column) { ListViewResultColumnClick(column); });
    connect(m_list, &QTreeView::doubleClicked, this, [this] { ListViewResultDblClick(); });
}

TFormSearch::~TFormSearch() = default;

void TFormSearch::ShowSearch() {
    if (!m_placed) {
        m_placed = true;
        const QScreen* screen =
            parentWidget() != nullptr ? parentWidget()->screen() : QGuiApplication::primaryScreen();
        if (screen != nullptr) {
            QRect frame = frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            move(frame.topLeft());
        }
    }
    show();
    raise();
    activateWindow();
}

QString TFormSearch::StatusText() const {
    return m_status->text();
}

void TFormSearch::SetStatusText(const QString& text) {
    m_status->setText(text);
}

store::TAnswer TFormSearch::Ask(store::TMessageKind kind, store::TButtons buttons,
                                const char* text) {
    if (m_questioner != nullptr) {
        return m_questioner->Ask(kind, buttons, text);
    }
    return AskWithMessageBox(this, kind, buttons, QString::fromUtf8(text));
}

void TFormSearch::ShowResult(TSearchResult result, bool dateOnly) {
    m_model->SetResult(std::move(result), dateOnly);
    // The rows arrive in record order: no column is shown as sorted until one is clicked.
    m_list->header()->setSortIndicatorShown(false);
}

void TFormSearch::ButtonSearchClick() {
    ShowResult({}, false);
    const QString text = m_string->text();
    if (text.isEmpty()) {
        SetStatusText(QString::fromUtf8(kEnterSearchString));
        return;
    }
    TSearchOptions options;
    options.Fields.Title = m_checkTitle->isChecked();
    options.Fields.Description = m_checkDescription->isChecked();
    options.Fields.Comment = m_checkComment->isChecked();
    options.Fields.Editor = m_checkEditor->isChecked();
    options.Fields.Term = m_checkTerm->isChecked();
    options.Fuzzy = m_checkFuzzy->isChecked();
    if (!options.Fields.Any()) {
        SetStatusText(QString::fromUtf8(kChooseFields));
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    int unconvertible = 0;
    const std::string needle = views::ToCp932(text, &unconvertible);
    TSearchResult result = m_search.Search(needle, options);
    const std::size_t hits = result.Rows.size();
    ShowResult(std::move(result), false);
    QApplication::restoreOverrideCursor();
    QString status = HitsText(hits);
    if (unconvertible > 0) {
        // Such a character became "?" and was searched as one: say so rather than hide it.
        status += QStringLiteral("（Shift-JIS で表せない %1 文字は \"?\" として検索）")
                      .arg(unconvertible);
    }
    SetStatusText(status);
}

void TFormSearch::ButtonShowAllClick() {
    if (Ask(store::TMessageKind::Confirmation, store::TButtons::YesNoCancel, kShowAllQuestion) !=
        store::TAnswer::Yes) {
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    TSearchResult result = m_search.ShowAll();
    const std::size_t rows = result.Rows.size();
    ShowResult(std::move(result), true);
    QApplication::restoreOverrideCursor();
    SetStatusText(HitsText(rows));
}

void TFormSearch::ListViewResultColumnClick(int column) {
    if (column < 0 || column >= TSearchResultModel::ColumnCount) {
        return;
    }
    if (column == m_sortColumn) {
        m_sortDescending = !m_sortDescending;
    } else {
        m_sortColumn = column;
        m_sortDescending = false;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_model->SortRows(m_sortColumn, m_sortDescending);
    QApplication::restoreOverrideCursor();
    QHeaderView* header = m_list->header();
    header->setSortIndicatorShown(true);
    header->setSortIndicator(m_sortColumn,
                             m_sortDescending ? Qt::DescendingOrder : Qt::AscendingOrder);
}

void TFormSearch::ListViewResultDblClick() {
    const QModelIndexList selected = m_list->selectionModel()->selectedRows();
    if (selected.isEmpty()) {
        return;
    }
    const int row = std::min_element(selected.begin(), selected.end(),
                                     [](const QModelIndex& a, const QModelIndex& b) {
                                         return a.row() < b.row();
                                     })
                        ->row();
    store::TConceptData item;
    item.SetConceptNo(m_model->RecordNo(row));
    item.SetTitle(m_model->TitleBytes(row));
    bool exists = false;
    try {
        exists = m_store.DtStOriginalConcepts.Active() && m_store.LocateItem(item);
    } catch (const store::EVelmoraError&) {
        exists = false;  // no ontology open any more: the concept is gone all the same
    }
    if (!exists) {
        m_model->RemoveResultRow(row);
        Ask(store::TMessageKind::Error, store::TButtons::Ok, kNotFound);
        return;
    }
    m_goToConcept(item);
    if (QWidget* main = parentWidget(); main != nullptr) {
        main->window()->activateWindow();
    }
}

void TFormSearch::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange) {
        // FormActivate / FormDeactivate: opaque while active, faint otherwise.
        setWindowOpacity(isActiveWindow() ? 1.0 : kInactiveOpacity);
    }
    QDialog::changeEvent(event);
}

}  // namespace velmora::search
