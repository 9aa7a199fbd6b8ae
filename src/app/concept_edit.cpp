#include "concept_edit.h"

#include <QApplication>
#include <QEvent>
#include <QFocusEvent>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "code_page.h"
#include "concept_pictures.h"
#include "ontology_tables.h"
#include "qt_text.h"
#include "relation_panel.h"
#include "search_result_model.h"
#include "store_exceptions.h"

namespace velmora::app {

namespace {

using store::TValue;

constexpr char kUntitled[] = "タイトル未設定";
constexpr char kDuplicateLabel[] = "この言語ラベルは既に登録されています.";
constexpr char kDeleteLabelQuestion[] = "選択した言語ラベルを削除しますか？";
constexpr char kThisConcept[] = "[THIS CONCEPT]";
constexpr int kSlideStep = 5;
constexpr int kSlideWaitTicks = 15;
constexpr int kGap = 8;
constexpr int kMinimumPanelWidth = 480;

QLabel* Caption(const char* text, QWidget* parent) {
    auto* label = new QLabel(QString::fromUtf8(text), parent);
    // Only the weight is set, so the caption follows the window's font size.
    QFont bold;
    bold.setBold(true);
    label->setFont(bold);
    return label;
}

QLabel* Hint(const char* text, QWidget* parent) {
    auto* label = new QLabel(QString::fromUtf8(text), parent);
    label->setWordWrap(true);
    return label;
}

QPlainTextEdit* Memo(const char* name, bool readOnly, QWidget* parent) {
    auto* memo = new QPlainTextEdit(parent);
    memo->setObjectName(name);
    memo->setReadOnly(readOnly);
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    return memo;
}

QFrame* Section(const char* name, QWidget* parent) {
    auto* frame = new QFrame(parent);
    frame->setObjectName(name);
    frame->setFrameShape(QFrame::StyledPanel);
    return frame;
}

// A date stamp as the user's short date and long time; no time at midnight; nothing when unset.
QString StampText(store::TCursor& cursor, std::string_view field) {
    const store::TField value = cursor.FieldByName(field);
    if (value.IsNull()) {
        return {};
    }
    return search::TSearchResultModel::DateTimeText(value.AsDateTime(), false, QLocale());
}

}  // namespace

TFrameConceptEdit::TFrameConceptEdit(store::TDataModule1& store, engine::TDataModuleSeeker& seeker,
                                     TCommandHost& host, TUserInterface& ui,
                                     const store::TStoreContext& context, QWidget* parent)
    : QWidget(parent),
      m_store(store),
      m_seeker(seeker),
      m_host(host),
      m_ui(ui),
      m_context(context) {
    setObjectName("FrameConceptEdit1");
    BuildControls();

    DtStTargetConcept.BeforePost = [this](store::TCursor& cursor) {
        cursor.FieldByName(store::kFieldDateEdition).SetAsDateTime(m_context.Now());
        cursor.FieldByName(store::kFieldEditor).SetAsString(m_context.UserName());
    };
    DtStTargetConcept.AfterPost = [this](store::TCursor&) { FillProperties(); };

    std::weak_ptr<int> alive = m_alive;
    m_store.AddAttachListener([this, alive](store::TDataModule1&) {
        if (!alive.expired()) {
            AttachEditorTables();
        }
    });
    if (m_store.DtStOriginalConcepts.Active()) {
        AttachEditorTables();
    }
    SetEditorActive(false);
}

TFrameConceptEdit::~TFrameConceptEdit() {
    m_timer1->stop();
    // Details first: a master must not go before the cursors linked to it.
    DtStAssociatedTerm.SetMasterFields("");
    DtStAssociations.SetMasterFields("");
}

// ---- Controls ------------------------------------------------------------------------------

void TFrameConceptEdit::BuildControls() {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    m_scrollBox1 = new QScrollArea(this);
    m_scrollBox1->setObjectName("ScrollBox1");
    m_scrollBox1->setWidgetResizable(false);
    m_scrollBox1->setBackgroundRole(QPalette::Dark);
    m_scrollBox1->viewport()->installEventFilter(this);
    outer->addWidget(m_scrollBox1);

    m_content = new QWidget;
    m_content->setObjectName("ScrollBox1Contents");
    m_scrollBox1->setWidget(m_content);

    m_panelParent = new TRelationPanel("PanelParent", "ImageParentArrow", "ComboBoxExParent",
                                       "LabelParentComment", m_content);
    m_panelChild = new TRelationPanel("PanelChild", "ImageChildArrow", "ComboBoxExChild",
                                      "LabelChildComment", m_content);
    m_panelParent->OnChosen = [this](std::int32_t code) { ChooseRelation(true, code); };
    m_panelChild->OnChosen = [this](std::int32_t code) { ChooseRelation(false, code); };
    m_panelDummyParent = new QWidget(m_content);
    m_panelDummyParent->setObjectName("PanelDummyParent");
    m_panelDummyChild = new QWidget(m_content);
    m_panelDummyChild->setObjectName("PanelDummyChild");
    for (QWidget* hidden : std::initializer_list<QWidget*>{m_panelParent, m_panelChild,
                                                           m_panelDummyParent, m_panelDummyChild}) {
        hidden->hide();
    }

    m_panelConcept = new QFrame(m_content);
    m_panelConcept->setObjectName("PanelConcept");
    m_panelConcept->setAutoFillBackground(true);
    auto* conceptLayout = new QVBoxLayout(m_panelConcept);
    conceptLayout->setContentsMargins(5, 5, 5, 5);
    auto* panel1 = new QWidget(m_panelConcept);
    panel1->setObjectName("PanelConcept1");
    conceptLayout->addWidget(panel1);
    auto* panel1Layout = new QVBoxLayout(panel1);
    panel1Layout->setContentsMargins(0, 0, 0, 0);
    // The three sections share the height as the user drags the two splitter bars.
    auto* sections = new QSplitter(Qt::Vertical, panel1);
    sections->setObjectName("SplitterConcept1");
    sections->setChildrenCollapsible(false);
    sections->setHandleWidth(4);
    sections->addWidget(BuildSection1());
    sections->addWidget(BuildSection2());
    sections->addWidget(BuildSection3());
    sections->handle(1)->setObjectName("Splitter1");
    sections->handle(2)->setObjectName("Splitter2");
    panel1Layout->addWidget(sections);

    for (QWidget* field :
         std::initializer_list<QWidget*>{m_editTitle, m_memoDescr, m_memoComment}) {
        field->installEventFilter(this);
    }
    connect(m_editTitle, &QLineEdit::textEdited, this, [this] { BeginEdit(kTitle); });
    connect(m_memoDescr, &QPlainTextEdit::textChanged, this, [this] { BeginEdit(kDescription); });
    connect(m_memoComment, &QPlainTextEdit::textChanged, this, [this] { BeginEdit(kComment); });
    connect(m_btnAddTerm, &QPushButton::clicked, this,
            [this] { Guarded([this] { BtnAddTermClick(); }); });
    connect(m_editAddTerm, &QLineEdit::returnPressed, this,
            [this] { Guarded([this] { BtnAddTermClick(); }); });
    connect(m_btnDeleteTerm, &QPushButton::clicked, this,
            [this] { Guarded([this] { BtnDeleteTermClick(); }); });

    m_timer1 = new QTimer(this);
    m_timer1->setObjectName("Timer1");
    m_timer1->setInterval(30);
    connect(m_timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
}

QWidget* TFrameConceptEdit::BuildSection1() {
    QFrame* section = Section("PanelConcept1_1", m_panelConcept);
    auto* row = new QHBoxLayout(section);
    row->setContentsMargins(4, 4, 4, 4);
    auto* image = new QLabel(section);
    image->setObjectName("ImageConcept");
    image->setPixmap(views::ListImageList(views::kLargePictureSize)[0].pixmap(
        views::kLargePictureSize, views::kLargePictureSize));
    image->setAlignment(Qt::AlignTop);
    row->addWidget(image, 0, Qt::AlignTop);
    auto* column = new QVBoxLayout;
    column->setSpacing(4);
    row->addLayout(column, 1);

    auto* grid = new QGridLayout;
    grid->setSpacing(4);
    m_editId = new QLineEdit(section);
    m_editId->setObjectName("DBEditID");
    m_editId->setReadOnly(true);
    m_editTitle = new QLineEdit(section);
    m_editTitle->setObjectName("DBEditTitle");
    grid->addWidget(Caption("概念ID：", section), 0, 0);
    grid->addWidget(m_editId, 0, 1);
    grid->addWidget(Caption("タイトル：", section), 1, 0);
    grid->addWidget(m_editTitle, 1, 1);
    column->addLayout(grid);
    column->addWidget(Hint("内容を推測しやすいタイトルをつけてください．", section));
    column->addWidget(Caption("解説：", section));
    // Tabs are text here, not a move to the next field.
    m_memoDescr = Memo("DBMemoDescr", false, section);
    m_memoDescr->setTabChangesFocus(false);
    column->addWidget(m_memoDescr, 1);
    column->addWidget(
        Hint("この概念の定義か、それに準じる説明を平易な文章で記述してください．"
             "概念項目は移動される可能性があるので、なるべく上位概念に依存しない説明を"
             "与えてください．",
             section));
    return section;
}

QWidget* TFrameConceptEdit::BuildSection2() {
    QFrame* section = Section("PanelConcept1_2", m_panelConcept);
    auto* column = new QVBoxLayout(section);
    column->setContentsMargins(4, 4, 4, 4);
    column->setSpacing(4);
    column->addWidget(Caption("コメント：", section));
    m_memoComment = Memo("DBMemoComment", false, section);
    column->addWidget(m_memoComment, 1);
    column->addWidget(
        Hint("コメントはあらかじめ用途が規定されたフィールドではありません．"
             "解説の草案を書くスペースなどに利用してください．",
             section));
    return section;
}

QWidget* TFrameConceptEdit::BuildSection3() {
    QFrame* section = Section("PanelConcept1_3", m_panelConcept);
    auto* column = new QVBoxLayout(section);
    column->setContentsMargins(4, 4, 4, 4);
    column->setSpacing(4);
    column->addWidget(Caption("言語ラベル：", section));
    auto* row = new QHBoxLayout;
    row->setSpacing(4);
    m_listBoxTerm = new QListWidget(section);
    m_listBoxTerm->setObjectName("ListBoxTerm");
    m_listBoxTerm->setSelectionMode(QAbstractItemView::SingleSelection);
    row->addWidget(m_listBoxTerm, 1);

    auto* addGroup = new QGroupBox("言語ラベルを追加", section);
    addGroup->setObjectName("GroupBoxAddTerm");
    auto* addRow = new QHBoxLayout(addGroup);
    m_btnAddTerm = new QPushButton("<<追加", addGroup);
    m_btnAddTerm->setObjectName("BtnAddTerm");
    m_editAddTerm = new QLineEdit(addGroup);
    m_editAddTerm->setObjectName("EditAddTerm");
    addRow->addWidget(m_btnAddTerm);
    addRow->addWidget(m_editAddTerm, 1);
    auto* deleteGroup = new QGroupBox("削除", section);
    deleteGroup->setObjectName("GroupBoxDeleteTerm");
    auto* deleteRow = new QHBoxLayout(deleteGroup);
    m_btnDeleteTerm = new QPushButton(">>削除", deleteGroup);
    m_btnDeleteTerm->setObjectName("BtnDeleteTerm");
    deleteRow->addWidget(m_btnDeleteTerm);
    auto* groups = new QVBoxLayout;
    groups->setSpacing(4);
    groups->addWidget(addGroup);
    groups->addWidget(deleteGroup);
    groups->addStretch(1);
    row->addLayout(groups, 1);
    column->addLayout(row);
    column->addWidget(
        Hint("言語ラベルとは、人間がこの概念を指し示すために用いる言語表現です．"
             "同じ概念でも正式名称、略語や日本語、英語など、さまざまな表記がありえ"
             "ます．",
             section));
    column->addWidget(Caption("他の概念との関係：", section));
    m_memoRelation = Memo("MemoRelation", true, section);
    column->addWidget(m_memoRelation);
    column->addWidget(Caption("プロパティ：", section));
    m_memoProperty = Memo("MemoProperty", true, section);
    column->addWidget(m_memoProperty);
    return section;
}

// ---- Life cycle ------------------------------------------------------------------------------

void TFrameConceptEdit::SetEditorActive(bool active) {
    m_editorActive = active;
    m_panelConcept->setVisible(active);
    if (!active) {
        m_editing = false;
        m_dirty = 0;
        m_conceptNo = 0;
        m_parentRelation.reset();
        m_childRelation.reset();
        for (QWidget* panel : std::initializer_list<QWidget*>{
                 m_panelParent, m_panelChild, m_panelDummyParent, m_panelDummyChild}) {
            panel->hide();
        }
    }
    LayOutPanels();
}

void TFrameConceptEdit::AttachEditorTables() {
    m_editing = false;
    m_dirty = 0;
    m_conceptNo = 0;
    DtStAssociatedTerm.SetMasterFields("");
    DtStAssociations.SetMasterFields("");
    DtStTargetConcept.CloneCursor(m_store.DtStOriginalConcepts, true);
    DtStTargetConcept.SetIndexFieldNames("RECORD_NO;LIST_ORDER");
    DtStAssociations.CloneCursor(m_store.DtStOriginalAssociation, true);
    DtStAssociations.SetIndexFieldNames("CONCEPT_NO;LIST_ORDER");
    DtStAssociations.SetMasterSource(&DtStTargetConcept);
    DtStAssociations.SetMasterFields("RECORD_NO");
    DtStAssociatedTerm.CloneCursor(m_store.DtStOriginalTerms, true);
    DtStAssociatedTerm.SetIndexFieldNames("TERM_NO");
    DtStAssociatedTerm.SetMasterSource(&DtStAssociations);
    DtStAssociatedTerm.SetMasterFields("TERM_NO");
    m_linkTypes.CloneCursor(m_store.DtStOriginalLinkType, true);
    m_attached = true;
    FillRelationChoosers();
}

std::int32_t TFrameConceptEdit::CurrentRecordNo() {
    if (!m_attached || !DtStTargetConcept.Active() || DtStTargetConcept.IsEmpty()) {
        return 0;
    }
    return DtStTargetConcept.FieldByName(store::kFieldRecordNo).AsInteger();
}

void TFrameConceptEdit::LoadConcept(std::int32_t conceptNo) {
    ShowParentRelation(nullptr);
    ShowChildRelation(nullptr);
    PostPendingEdit();
    if (!m_attached || !DtStTargetConcept.Active() ||
        !DtStTargetConcept.Locate(store::kFieldRecordNo, TValue{conceptNo})) {
        throw store::EUnableToFind::CreateConcept(conceptNo);
    }
    m_conceptNo = conceptNo;
    ShowRecord();
    FillTerms();
    FillNetworkList();
    FillProperties();
    m_summary = m_editId->text() + QString::fromUtf8(" ： ") + m_memoDescr->toPlainText();
}

// The record's texts into the fields, without counting as typing.
void TFrameConceptEdit::ShowRecord() {
    m_loading = true;
    m_editId->setText(FromCp932(DtStTargetConcept.FieldByName(store::kFieldIdentifier).AsString()));
    m_editTitle->setText(FromCp932(DtStTargetConcept.FieldByName(store::kFieldTitle).AsString()));
    m_memoDescr->setPlainText(
        FromCp932(DtStTargetConcept.FieldByName(store::kFieldDescription).AsString()));
    m_memoComment->setPlainText(
        FromCp932(DtStTargetConcept.FieldByName(store::kFieldComment).AsString()));
    m_loading = false;
    m_titleOnEntry = m_editTitle->text();
}

void TFrameConceptEdit::RefreshEditor() {
    if (m_attached && DtStTargetConcept.Active()) {
        FillRelationChoosers();
        if (m_conceptNo != 0) {
            FillProperties();
        }
    }
    LayOutPanels();
}

void TFrameConceptEdit::SetRelationsEditable(bool editable) {
    m_relationsEditable = editable;
    m_panelParent->SetChooserEnabled(editable && m_parentRelation && m_parentRelation->IsLink());
    m_panelChild->SetChooserEnabled(editable && m_childRelation && m_childRelation->IsLink());
}

// ---- Editing the record --------------------------------------------------------------------

void TFrameConceptEdit::BeginEdit(TField field) {
    if (m_loading || m_conceptNo == 0) {
        return;
    }
    if (!m_editing) {
        // The undo step of this edit: everything typed until the post is undone at once.
        m_host.TakeSavePoint();
        m_editing = true;
    }
    m_dirty |= field;
}

bool TFrameConceptEdit::PostRecord() {
    if (!m_editing) {
        return false;
    }
    const unsigned dirty = m_dirty;
    m_editing = false;
    m_dirty = 0;
    // The concept may have gone meanwhile (deleted in another view): nothing to write onto.
    if (!DtStTargetConcept.Active() ||
        !DtStTargetConcept.Locate(store::kFieldRecordNo, TValue{m_conceptNo})) {
        return false;
    }
    int lost = 0;
    DtStTargetConcept.Edit();
    try {
        if (dirty & kTitle) {
            DtStTargetConcept.FieldByName(store::kFieldTitle)
                .SetAsString(ToCp932(m_editTitle->text(), &lost));
        }
        if (dirty & kDescription) {
            int here = 0;
            DtStTargetConcept.FieldByName(store::kFieldDescription)
                .SetAsString(ToCp932(m_memoDescr->toPlainText(), &here));
            lost += here;
        }
        if (dirty & kComment) {
            int here = 0;
            DtStTargetConcept.FieldByName(store::kFieldComment)
                .SetAsString(ToCp932(m_memoComment->toPlainText(), &here));
            lost += here;
        }
        DtStTargetConcept.Post();
    } catch (...) {
        DtStTargetConcept.Cancel();
        throw;
    }
    if (lost > 0) {
        // The fields show what the file holds.
        ShowRecord();
        ReportLost(lost);
    }
    m_summary = m_editId->text() + QString::fromUtf8(" ： ") + m_memoDescr->toPlainText();
    return true;
}

void TFrameConceptEdit::PostPendingEdit() {
    const QString oldTitle = m_titleOnEntry;
    PostRecord();
    if (m_conceptNo != 0 && m_editTitle->text() != oldTitle) {
        ApplyTitle(oldTitle);
    }
}

void TFrameConceptEdit::CancelPendingEdit() {
    if (!m_editing) {
        return;
    }
    m_editing = false;
    m_dirty = 0;
    if (DtStTargetConcept.Active() &&
        DtStTargetConcept.Locate(store::kFieldRecordNo, TValue{m_conceptNo})) {
        ShowRecord();
    }
}

// A changed title: the label that held the old title follows it, then the title is stored with
// its identifier and every view shows it.
void TFrameConceptEdit::ApplyTitle(const QString& oldTitle) {
    m_titleOnEntry = m_editTitle->text();
    QString title = m_editTitle->text();
    if (title.isEmpty()) {
        title = QString::fromUtf8(kUntitled);
    } else {
        m_store.ReplaceConceptTerm(m_conceptNo, ToCp932(oldTitle), ToCp932(title));
    }
    store::TConceptData item;
    item.SetConceptNo(m_conceptNo);
    item.SetTitle(ToCp932(title));
    item.SetHasChildren(m_seeker.HasChildRecords(m_conceptNo));
    m_seeker.StoreTitle(item);
    // The views reload the editor through the host; without a host that does, show the result.
    if (DtStTargetConcept.Locate(store::kFieldRecordNo, TValue{m_conceptNo})) {
        ShowRecord();
        FillTerms();
        m_summary = m_editId->text() + QString::fromUtf8(" ： ") + m_memoDescr->toPlainText();
    }
}

bool TFrameConceptEdit::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_scrollBox1->viewport() && event->type() == QEvent::Resize) {
        LayOutPanels();
    } else if (watched == m_editTitle && event->type() == QEvent::FocusIn) {
        m_titleOnEntry = m_editTitle->text();
    } else if ((watched == m_editTitle || watched == m_memoDescr || watched == m_memoComment) &&
               event->type() == QEvent::FocusOut &&
               static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason) {
        // Leaving a field ends its edit, so that one undo step holds one field's typing and no
        // other command's change lands in it.
        Guarded([this] { PostPendingEdit(); });
    }
    return QWidget::eventFilter(watched, event);
}

void TFrameConceptEdit::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) {
        LayOutPanels();
    }
    QWidget::changeEvent(event);
}

// The error box of the program for what an event of the editor raised; the program goes on.
void TFrameConceptEdit::Guarded(const std::function<void()>& body) {
    try {
        body();
    } catch (const std::exception& error) {
        m_ui.Ask(store::TMessageKind::Error, store::TButtons::Ok, FromUtf8(error.what()));
    }
}

void TFrameConceptEdit::ReportLost(int lost) {
    m_host.SetStatusText(UnconvertibleText(lost));
}

// ---- Filling -------------------------------------------------------------------------------

void TFrameConceptEdit::FillTerms() {
    m_terms.clear();
    m_listBoxTerm->clear();
    if (!DtStAssociations.Active() || !DtStAssociatedTerm.Active()) {
        return;
    }
    for (bool more = DtStAssociations.FindFirst(); more; more = DtStAssociations.FindNext()) {
        TTermObject term;
        term.AssociationNo = DtStAssociations.FieldByName(store::kFieldRecordNo).AsInteger();
        term.TermNo = DtStAssociations.FieldByName(store::kFieldTermNo).AsInteger();
        if (DtStAssociatedTerm.FindFirst()) {
            term.Text = DtStAssociatedTerm.FieldByName(store::kFieldTermString).AsString();
        }
        m_listBoxTerm->addItem(QString::fromUtf8(" ・") + FromCp932(term.Text));
        m_terms.push_back(std::move(term));
    }
}

QString TFrameConceptEdit::LinkTitle(std::int32_t code) {
    if (!m_linkTypes.Active() || !m_linkTypes.Locate(store::kFieldLinkCode, TValue{code})) {
        throw store::EUnableToFind::CreateLinkType(code);
    }
    return FromCp932(m_linkTypes.FieldByName(store::kFieldLinkTitle).AsString());
}

void TFrameConceptEdit::FillNetworkList() {
    m_memoRelation->clear();
    if (m_conceptNo == 0 || !DtStTargetConcept.Active()) {
        return;
    }
    store::TConceptList children;
    store::TConceptList parents;
    m_seeker.SetSeekMode(engine::smChildren);
    m_seeker.SetSeekNo(m_conceptNo);
    children.Assign(m_seeker.GetItems());
    m_seeker.SetSeekMode(engine::smParents);
    m_seeker.SetSeekNo(m_conceptNo);
    parents.Assign(m_seeker.GetItems());

    // Plain relations first, then the mirror images by ascending link code; within one code
    // in the order of the query.
    const auto ordered = [](const store::TConceptList& list) {
        std::vector<const store::TConceptData*> items;
        for (int i = 0; i < list.Count(); ++i) {
            items.push_back(&list[i]);
        }
        std::stable_sort(items.begin(), items.end(),
                         [](const store::TConceptData* a, const store::TConceptData* b) {
                             const std::int64_t ka = a->IsLink() ? a->LinkCode : INT64_MIN;
                             const std::int64_t kb = b->IsLink() ? b->LinkCode : INT64_MIN;
                             return ka < kb;
                         });
        return items;
    };
    const QString arrow = QString::fromUtf8(" －(");
    const QString arrowEnd = QString::fromUtf8(")→ ");
    QStringList lines;
    for (const store::TConceptData* parent : ordered(parents)) {
        const QString link = LinkTitle(parent->IsLink() ? parent->LinkCode : 1);
        lines << "[\"" + FromCp932(parent->Title()) + "\"]" + arrow + link + arrowEnd +
                     QString::fromUtf8(kThisConcept);
    }
    for (const store::TConceptData* child : ordered(children)) {
        const QString link = LinkTitle(child->IsLink() ? child->LinkCode : 1);
        lines << QString::fromUtf8(kThisConcept) + arrow + link + arrowEnd + "[\"" +
                     FromCp932(child->Title()) + "\"]";
    }
    m_memoRelation->setPlainText(lines.join('\n'));
    m_memoRelation->verticalScrollBar()->setValue(0);
}

void TFrameConceptEdit::FillProperties() {
    m_memoProperty->clear();
    if (m_conceptNo == 0 || !DtStTargetConcept.Active() ||
        DtStTargetConcept.FieldByName(store::kFieldRecordNo).AsInteger() != m_conceptNo) {
        return;
    }
    QStringList lines;
    lines << QString::fromUtf8("作成日時：　") +
                 StampText(DtStTargetConcept, store::kFieldDateCreation);
    lines << QString::fromUtf8("更新日時：　") +
                 StampText(DtStTargetConcept, store::kFieldDateEdition);
    lines << QString::fromUtf8("更新者名：　") +
                 FromCp932(DtStTargetConcept.FieldByName(store::kFieldEditor).AsString());
    m_memoProperty->setPlainText(lines.join('\n'));
    m_memoProperty->verticalScrollBar()->setValue(0);
}

void TFrameConceptEdit::FillRelationChoosers() {
    ShowParentRelation(nullptr);
    ShowChildRelation(nullptr);
    std::vector<TRelationPanel::TChoice> choices;
    if (m_store.DtStOriginalConcepts.Active() && !m_store.DtStOriginalConcepts.IsEmpty() &&
        m_linkTypes.Active()) {
        for (bool more = m_linkTypes.FindFirst(); more; more = m_linkTypes.FindNext()) {
            choices.push_back(
                {m_linkTypes.FieldByName(store::kFieldLinkCode).AsInteger(),
                 FromCp932(m_linkTypes.FieldByName(store::kFieldLinkTitle).AsString())});
        }
    }
    m_panelParent->SetChoices(choices);
    m_panelChild->SetChoices(choices);
    FillNetworkList();
}

// ---- Language labels -------------------------------------------------------------------------

void TFrameConceptEdit::BtnAddTermClick() {
    if (m_conceptNo == 0) {
        return;
    }
    int lost = 0;
    const std::string text = ToCp932(m_editAddTerm->text(), &lost);
    // Compared as the terms table holds it: a label cut or stripped there is that label.
    const std::string stored = store::TDataModule1::LabelAsStored(text);
    if (stored.empty()) {
        return;
    }
    m_host.TakeSavePoint();
    for (std::size_t i = 0; i < m_terms.size(); ++i) {
        if (m_terms[i].Text == stored) {
            m_listBoxTerm->setCurrentRow(static_cast<int>(i));
            m_ui.Ask(store::TMessageKind::Error, store::TButtons::OkCancel,
                     QString::fromUtf8(kDuplicateLabel));
            return;
        }
    }
    if (!m_store.AddLabelToConcept(m_conceptNo, text)) {
        // The list was behind the table; show what the concept holds.
        FillTerms();
        return;
    }
    store::TTable& associations = m_store.DtStOriginalAssociation;
    TTermObject term;
    term.AssociationNo = associations.FieldByName(store::kFieldRecordNo).AsInteger();
    term.TermNo = associations.FieldByName(store::kFieldTermNo).AsInteger();
    term.Text = stored;
    m_listBoxTerm->addItem(QString::fromUtf8(" ・") + FromCp932(term.Text));
    m_terms.push_back(std::move(term));
    m_editAddTerm->clear();
    if (lost > 0) {
        ReportLost(lost);
    }
}

void TFrameConceptEdit::BtnDeleteTermClick() {
    // The selection as it was clicked: removing a line moves the list's current line.
    std::vector<int> selected;
    for (int row = m_listBoxTerm->count() - 1; row >= 0; --row) {
        if (m_listBoxTerm->item(row)->isSelected()) {
            selected.push_back(row);
        }
    }
    for (const int row : selected) {
        if (m_ui.Ask(store::TMessageKind::Confirmation, store::TButtons::YesNoCancel,
                     QString::fromUtf8(kDeleteLabelQuestion)) != store::TAnswer::Yes) {
            continue;
        }
        m_host.TakeSavePoint();
        // The store removes the term with its last use; another concept's use keeps it.
        m_store.DeleteAssociation(m_terms[static_cast<std::size_t>(row)].AssociationNo);
        m_terms.erase(m_terms.begin() + row);
        delete m_listBoxTerm->takeItem(row);
    }
}

// ---- Relation panels ---------------------------------------------------------------------------

void TFrameConceptEdit::ShowParentRelation(const store::TConceptData* entry) {
    ShowRelation(true, entry);
}

void TFrameConceptEdit::ShowChildRelation(const store::TConceptData* entry) {
    ShowRelation(false, entry);
}

void TFrameConceptEdit::ShowRelation(bool parentSide, const store::TConceptData* entry) {
    std::optional<store::TConceptData>& relation = parentSide ? m_parentRelation : m_childRelation;
    TRelationPanel* panel = parentSide ? m_panelParent : m_panelChild;
    if (entry == nullptr) {
        relation.reset();
        m_timer1->start();
        return;
    }
    relation.emplace();
    relation->Assign(*entry);
    // One relation panel at a time: the other one goes at once.
    (parentSide ? m_childRelation : m_parentRelation).reset();
    (parentSide ? m_panelChild : m_panelParent)->hide();
    (parentSide ? m_panelDummyChild : m_panelDummyParent)->hide();

    const std::int32_t code = entry->IsLink() ? entry->LinkCode : 1;
    panel->SetChooserEnabled(entry->IsLink() && m_relationsEditable);
    if (m_linkTypes.Active() && m_linkTypes.Locate(store::kFieldLinkCode, TValue{code})) {
        panel->ShowRelation(code,
                            FromCp932(m_linkTypes.FieldByName(store::kFieldComment).AsString()));
    }
    LayOutPanels();
    m_timer1->start();
}

void TFrameConceptEdit::ChooseRelation(bool parentSide, std::int32_t code) {
    Guarded([this, parentSide, code] {
        const std::optional<store::TConceptData>& relation =
            parentSide ? m_parentRelation : m_childRelation;
        if (!relation || !relation->IsLink()) {
            return;
        }
        PostPendingEdit();
        m_host.TakeSavePoint();
        store::TConceptData item;
        item.Assign(*relation);
        try {
            m_seeker.SetLinkCode(item.LinkNo, code);
        } catch (const store::ETrimInvalidLinkError& error) {
            m_host.UndoAfterCycleError(error);
            return;
        }
        item.LinkCode = code;
        if (parentSide) {
            // A parent's entry names the concept above; the mirror image itself shows this one.
            item.SetConceptNo(m_conceptNo);
            item.SetTitle(ToCp932(m_editTitle->text()));
            item.SetHasChildren(m_seeker.HasChildRecords(m_conceptNo));
        }
        m_host.RefreshConceptEverywhere(item);
    });
}

// ---- Layout and sliding --------------------------------------------------------------------

void TFrameConceptEdit::LayOutPanels() {
    const int width = std::max(m_scrollBox1->viewport()->width() - 2 * kGap, kMinimumPanelWidth);
    m_panelParent->LayOut(width);
    m_panelChild->LayOut(width);
    QLayout* layout = m_panelConcept->layout();
    const int conceptHeight = layout->hasHeightForWidth() ? layout->totalHeightForWidth(width)
                                                          : layout->totalSizeHint().height();
    m_panelConcept->resize(width, conceptHeight);

    int y = kGap;
    if (m_panelParent->isVisibleTo(m_content)) {
        m_panelParent->move(kGap, y);
        y += m_panelParent->height() + kGap;
    } else if (m_panelDummyParent->isVisibleTo(m_content)) {
        m_panelDummyParent->setGeometry(kGap, y, width, m_panelDummyParent->height());
        if (m_panelDummyParent->height() > 0) {
            y += m_panelDummyParent->height() + kGap;
        }
    }
    if (m_editorActive) {
        m_panelConcept->move(kGap, y);
        y += conceptHeight + kGap;
    }
    if (m_panelChild->isVisibleTo(m_content)) {
        m_panelChild->move(kGap, y);
        y += m_panelChild->height() + kGap;
    } else if (m_panelDummyChild->isVisibleTo(m_content)) {
        m_panelDummyChild->setGeometry(kGap, y, width, m_panelDummyChild->height());
        y += m_panelDummyChild->height() + kGap;
    }
    m_content->resize(width + 2 * kGap, y);
}

void TFrameConceptEdit::Timer1Timer() {
    if (!Slide()) {
        m_timer1->stop();
    }
    LayOutPanels();
}

// One step of the sliding; false when both sides are at rest.
bool TFrameConceptEdit::Slide() {
    QScrollBar* bar = m_scrollBox1->verticalScrollBar();
    QWidget* dummy = m_panelDummyParent;
    if (m_parentRelation && !m_panelParent->isVisibleTo(m_content)) {
        if (!dummy->isVisibleTo(m_content)) {
            dummy->resize(dummy->width(), 0);
            dummy->show();
            m_tickCount = 0;
            return true;
        }
        if (++m_tickCount <= kSlideWaitTicks) {
            return true;
        }
        if (bar->value() > 0) {
            bar->setValue(std::max(bar->value() - kSlideStep, 0));
            return true;
        }
        const int height = std::min(dummy->height() + kSlideStep, m_panelParent->height());
        dummy->resize(dummy->width(), height);
        if (height >= m_panelParent->height()) {
            dummy->hide();
            m_panelParent->show();
        }
        return true;
    }
    if (!m_parentRelation &&
        (m_panelParent->isVisibleTo(m_content) || dummy->isVisibleTo(m_content))) {
        if (m_panelParent->isVisibleTo(m_content)) {
            m_panelParent->hide();
            dummy->resize(dummy->width(), m_panelParent->height());
            dummy->show();
        }
        const int height = m_childRelation ? 0 : std::max(dummy->height() - kSlideStep, 0);
        dummy->resize(dummy->width(), height);
        if (height == 0) {
            dummy->hide();
        }
        return true;
    }

    dummy = m_panelDummyChild;
    if (m_childRelation && !m_panelChild->isVisibleTo(m_content)) {
        if (!dummy->isVisibleTo(m_content)) {
            dummy->resize(dummy->width(), 0);
            dummy->show();
            m_tickCount = 0;
            return true;
        }
        if (++m_tickCount <= kSlideWaitTicks) {
            return true;
        }
        if (bar->value() < bar->maximum()) {
            bar->setValue(std::min(bar->value() + kSlideStep, bar->maximum()));
            return true;
        }
        const int height = std::min(dummy->height() + kSlideStep, m_panelChild->height());
        dummy->resize(dummy->width(), height);
        LayOutPanels();
        bar->setValue(bar->maximum());
        if (height >= m_panelChild->height()) {
            dummy->hide();
            m_panelChild->show();
        }
        return true;
    }
    if (!m_childRelation &&
        (m_panelChild->isVisibleTo(m_content) || dummy->isVisibleTo(m_content))) {
        if (m_panelChild->isVisibleTo(m_content)) {
            m_panelChild->hide();
            dummy->resize(dummy->width(), m_panelChild->height());
            dummy->show();
        }
        const int height = m_parentRelation ? 0 : std::max(dummy->height() - kSlideStep, 0);
        dummy->resize(dummy->width(), height);
        if (height == 0) {
            dummy->hide();
        }
        return true;
    }
    return false;
}

}  // namespace velmora::app
