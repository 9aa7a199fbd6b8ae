#include "about_ontology_dialog.h"

#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

#include "concept_pictures.h"
#include "edit_link_type_form.h"
#include "qt_text.h"
#include "search_result_model.h"
#include "settings.h"
#include "user_interface.h"

namespace velmora::app {

using store::TButtons;
using store::TMessageKind;

namespace {

constexpr int kClientWidth = 427;
constexpr int kClientHeight = 336;
constexpr int kCodeRole = Qt::UserRole;
constexpr int kLabelColumnWidth = 120;

// Multi-line text of the metadata for a memo: the memo would take the CR of a CR LF for a line
// break of its own.
QString MemoText(const std::string& cp932) {
    QString text = FromCp932(cp932);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    return text;
}

// One line of a list cell.
QString OneLine(const std::string& cp932) {
    QString text = FromCp932(cp932);
    text.replace(QStringLiteral("\r\n"), QStringLiteral(" "))
        .replace(u'\r', u' ')
        .replace(u'\n', u' ');
    return text;
}

QLabel* FieldLabel(const QString& text, QWidget* field, QWidget* page) {
    auto* label = new QLabel(text, page);
    label->setBuddy(field);
    return label;
}

}  // namespace

TAboutOntologyDlg::TAboutOntologyDlg(TUserInterface& ui, store::TOntology& ontology,
                                     store::TDataModule1& store, bool useVariousLink,
                                     TAboutOntologyHooks hooks, QWidget* parent)
    : QDialog(parent),
      m_ui(ui),
      m_ontology(ontology),
      m_store(store),
      m_linkTypes(store,
                  [this] {
                      if (m_hooks.takeSavePoint) {
                          m_hooks.takeSavePoint();
                      }
                  }),
      m_hooks(std::move(hooks)),
      m_useVariousLink(useVariousLink) {
    setObjectName(QStringLiteral("AboutOntologyDlg"));
    setWindowTitle(QStringLiteral(u"このオントロジーについて"));

    m_pages = new QTabWidget(this);
    m_pages->setObjectName(QStringLiteral("PageControl1"));
    m_pages->addTab(CreateOntologyPage(), QStringLiteral(u"オントロジー"));
    m_pages->addTab(CreateConceptDefaultsPage(), QStringLiteral(u"概念項目作成"));
    m_pages->addTab(CreateLinkTypePage(), QStringLiteral(u"関係の定義"));
    m_pages->addTab(CreateInformationPage(), QStringLiteral(u"情報"));

    QHBoxLayout* buttonRow = OkCancelButtonRow(*this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pages, 1);
    layout->addLayout(buttonRow);

    FillFields();
    FillInformation();
    FillLinkTypes();

    // The page's controls and the add button follow the switch for user-defined relations; the
    // page itself can still be looked at.
    m_pages->widget(2)->setEnabled(m_useVariousLink);
    m_addLink->setEnabled(m_useVariousLink);

    setFixedSize(SizeForFont(QSize(kClientWidth, kClientHeight), font()));
    // Centred on the screen, not on the main window; moving it also keeps Qt from placing it
    // over its parent when shown.
    const QScreen* screen = parent != nullptr ? parent->screen() : QGuiApplication::primaryScreen();
    if (screen != nullptr) {
        move(screen->availableGeometry().center() - rect().center());
    }
    m_title->setFocus();
}

QWidget* TAboutOntologyDlg::CreateOntologyPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("TabSheet1"));
    m_title = new QLineEdit(page);
    m_title->setObjectName(QStringLiteral("LabeledEditTitle"));
    m_target = new QLineEdit(page);
    m_target->setObjectName(QStringLiteral("LabeledEditTarget"));
    m_creator = new QLineEdit(page);
    m_creator->setObjectName(QStringLiteral("LabeledEditCreator"));
    m_description = new QPlainTextEdit(page);
    m_description->setObjectName(QStringLiteral("MemoDescription"));
    m_description->setTabChangesFocus(true);
    m_community = new QPlainTextEdit(page);
    m_community->setObjectName(QStringLiteral("MemoCommunity"));
    m_community->setTabChangesFocus(true);

    auto* grid = new QGridLayout(page);
    grid->addWidget(FieldLabel(QStringLiteral(u"タイトル："), m_title, page), 0, 0);
    grid->addWidget(m_title, 0, 1);
    grid->addWidget(FieldLabel(QStringLiteral(u"対象："), m_target, page), 1, 0);
    grid->addWidget(m_target, 1, 1);
    grid->addWidget(FieldLabel(QStringLiteral(u"作成者："), m_creator, page), 2, 0);
    grid->addWidget(m_creator, 2, 1);
    grid->addWidget(FieldLabel(QStringLiteral(u"このオントロジーの説明："), m_description, page), 3,
                    0, 1, 2);
    grid->addWidget(m_description, 4, 0, 1, 2);
    grid->addWidget(
        FieldLabel(QStringLiteral(u"このオントロジーを共有するコミュニティ："), m_community, page),
        5, 0, 1, 2);
    grid->addWidget(m_community, 6, 0, 1, 2);
    grid->setRowStretch(4, 1);
    grid->setRowStretch(6, 1);
    return page;
}

QWidget* TAboutOntologyDlg::CreateConceptDefaultsPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("TabSheet2"));
    m_conceptDescr = new QPlainTextEdit(page);
    m_conceptDescr->setObjectName(QStringLiteral("MemoConceptDefaultDescr"));
    m_conceptDescr->setTabChangesFocus(true);
    m_conceptComment = new QPlainTextEdit(page);
    m_conceptComment->setObjectName(QStringLiteral("MemoConceptDefaultComm"));
    m_conceptComment->setTabChangesFocus(true);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(FieldLabel(QStringLiteral(u"概念の解説のひな形："), m_conceptDescr, page));
    layout->addWidget(m_conceptDescr, 1);
    layout->addWidget(
        FieldLabel(QStringLiteral(u"概念のコメントのひな形："), m_conceptComment, page));
    layout->addWidget(m_conceptComment, 1);
    return page;
}

QWidget* TAboutOntologyDlg::CreateLinkTypePage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("TabSheet3"));
    m_list = new QTableWidget(0, 2, page);
    m_list->setObjectName(QStringLiteral("ListView1"));
    m_list->setHorizontalHeaderLabels({QStringLiteral(u"ラベル"), QStringLiteral(u"説明")});
    m_list->setShowGrid(true);
    m_list->verticalHeader()->hide();
    // Rows as tight as a report list's: one line of text or one picture.
    m_list->verticalHeader()->setDefaultSectionSize(
        std::max(fontMetrics().height(), views::kSmallPictureSize) + 6);
    m_list->horizontalHeader()->setHighlightSections(false);
    m_list->horizontalHeader()->setStretchLastSection(true);
    m_list->setColumnWidth(0, kLabelColumnWidth);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setWordWrap(false);
    m_list->setIconSize(QSize(views::kSmallPictureSize, views::kSmallPictureSize));
    connect(m_list, &QTableWidget::itemSelectionChanged, this,
            &TAboutOntologyDlg::UpdateLinkButtons);
    connect(m_list, &QTableWidget::cellDoubleClicked, this, [this] { BtnEditLinkClick(); });

    m_addLink = new QPushButton(QStringLiteral(u"追加"), page);
    m_addLink->setObjectName(QStringLiteral("BtnAddLink"));
    connect(m_addLink, &QPushButton::clicked, this, &TAboutOntologyDlg::BtnAddLinkClick);
    m_deleteLink = new QPushButton(QStringLiteral(u"削除"), page);
    m_deleteLink->setObjectName(QStringLiteral("BtnDeleteLink"));
    connect(m_deleteLink, &QPushButton::clicked, this, &TAboutOntologyDlg::BtnDeleteLinkClick);
    m_editLink = new QPushButton(QStringLiteral(u"編集"), page);
    m_editLink->setObjectName(QStringLiteral("BtnEditLink"));
    connect(m_editLink, &QPushButton::clicked, this, &TAboutOntologyDlg::BtnEditLinkClick);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_addLink);
    buttons->addWidget(m_deleteLink);
    buttons->addWidget(m_editLink);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(m_list, 1);
    layout->addLayout(buttons);
    return page;
}

QWidget* TAboutOntologyDlg::CreateInformationPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("TabSheet4"));
    m_information = new QPlainTextEdit(page);
    m_information->setObjectName(QStringLiteral("MemoInformation"));
    m_information->setReadOnly(true);
    // Read, selected and copied, never typed into.
    m_information->setTextInteractionFlags(Qt::TextSelectableByMouse |
                                           Qt::TextSelectableByKeyboard);
    m_information->setLineWrapMode(QPlainTextEdit::NoWrap);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(m_information);
    return page;
}

void TAboutOntologyDlg::FillFields() {
    const store::TOntologyMetadata m = store::ReadOntologyMetadata(m_ontology);
    m_title->setText(FromCp932(m.Title));
    m_target->setText(FromCp932(m.Target));
    m_creator->setText(FromCp932(m.Creator));
    m_description->setPlainText(MemoText(m.Description));
    m_community->setPlainText(MemoText(m.Community));
    m_conceptDescr->setPlainText(MemoText(m.ConceptDescrDefault));
    m_conceptComment->setPlainText(MemoText(m.ConceptCommentDefault));
}

void TAboutOntologyDlg::FillInformation() {
    const std::vector<std::string> lines =
        store::OntologyInformationLines(m_store, m_ontology, [](store::TDateTime when) {
            return ToCp932(search::TSearchResultModel::DateTimeText(when, false));
        });
    QStringList text;
    for (const std::string& line : lines) {
        text.append(OneLine(line));
    }
    m_information->setPlainText(text.join(u'\n'));
}

void TAboutOntologyDlg::FillLinkTypes(std::int32_t selectCode) {
    const QBrush textBrush =
        palette().brush(m_useVariousLink ? QPalette::Active : QPalette::Disabled, QPalette::Text);
    const std::vector<store::TLinkTypeRow> rows = m_linkTypes.Rows();
    // Emptied first: rows removed under the current row would move the selection onto
    // another link type.
    m_list->setRowCount(0);
    m_list->selectionModel()->clear();
    m_list->setRowCount(static_cast<int>(rows.size()));
    int selectRow = -1;
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        const store::TLinkTypeRow& row = rows[static_cast<std::size_t>(r)];
        auto* label = new QTableWidgetItem(OneLine(row.LinkTitle));
        label->setData(kCodeRole, row.LinkCode);
        label->setIcon(views::RelationPicture(row.LinkCode));
        auto* comment = new QTableWidgetItem(OneLine(row.Comment));
        for (QTableWidgetItem* item : {label, comment}) {
            item->setForeground(textBrush);
        }
        m_list->setItem(r, 0, label);
        m_list->setItem(r, 1, comment);
        if (row.LinkCode == selectCode) {
            selectRow = r;
        }
    }
    if (selectRow >= 0) {
        m_list->selectRow(selectRow);
    }
    UpdateLinkButtons();
}

std::int32_t TAboutOntologyDlg::SelectedLinkCode() const {
    const QList<QTableWidgetItem*> selected = m_list->selectedItems();
    for (const QTableWidgetItem* item : selected) {
        if (item->column() == 0) {
            return item->data(kCodeRole).toInt();
        }
    }
    return 0;
}

void TAboutOntologyDlg::UpdateLinkButtons() {
    const std::int32_t code = SelectedLinkCode();
    m_editLink->setEnabled(code != 0);
    m_deleteLink->setEnabled(store::IsUserDefinedLinkCode(code));
}

bool TAboutOntologyDlg::RunLinkEditor(QString& label, QString& comment) {
    TFormEditLinkType editor(m_ui, this);
    editor.SetLink(label, comment);
    if (m_ui.RunModal(editor) != QDialog::Accepted) {
        return false;
    }
    label = editor.Label();
    comment = editor.Comment();
    return true;
}

void TAboutOntologyDlg::BtnAddLinkClick() {
    QString label;
    QString comment;
    if (!RunLinkEditor(label, comment)) {
        return;
    }
    TCp932Writer bytes;
    const std::string title = bytes(label);
    const std::string text = bytes(comment);
    const std::int32_t code = m_linkTypes.Add(title, text);
    FillLinkTypes(code);
    TellLostCharacters(bytes.Lost());
}

void TAboutOntologyDlg::BtnEditLinkClick() {
    const std::int32_t code = SelectedLinkCode();
    const std::optional<store::TLinkTypeRow> row =
        code != 0 ? m_linkTypes.Find(code) : std::nullopt;
    if (!row) {
        return;
    }
    QString label = FromCp932(row->LinkTitle);
    QString comment = FromCp932(row->Comment);
    if (!RunLinkEditor(label, comment)) {
        return;
    }
    TCp932Writer bytes;
    const std::string title = bytes(label);
    const std::string text = bytes(comment);
    if (!m_linkTypes.Edit(code, title, text)) {
        return;
    }
    FillLinkTypes(code);
    if (m_hooks.refreshEditor) {
        m_hooks.refreshEditor();
    }
    TellLostCharacters(bytes.Lost());
}

void TAboutOntologyDlg::BtnDeleteLinkClick() {
    const std::int32_t code = SelectedLinkCode();
    if (code == 0) {
        return;
    }
    switch (m_linkTypes.Delete(code)) {
        case store::TLinkTypeDeletion::InUse:
            m_ui.Ask(TMessageKind::Warning, TButtons::OkCancel,
                     QStringLiteral(u"削除できません. このリンクは使用されています."));
            return;
        case store::TLinkTypeDeletion::Deleted:
            // At once: a row left standing would offer a relation that is gone.
            FillLinkTypes();
            return;
        case store::TLinkTypeDeletion::Missing:
        case store::TLinkTypeDeletion::DefaultType:
            return;
    }
}

void TAboutOntologyDlg::accept() {
    TCp932Writer bytes;
    store::TOntologyMetadata m;
    m.Title = bytes(m_title->text());
    m.Target = bytes(m_target->text());
    m.Creator = bytes(m_creator->text());
    m.Description = bytes(m_description->toPlainText());
    m.Community = bytes(m_community->toPlainText());
    m.ConceptDescrDefault = bytes(m_conceptDescr->toPlainText());
    m.ConceptCommentDefault = bytes(m_conceptComment->toPlainText());
    if (const std::optional<store::TMetadataProblem> problem = store::CheckOntologyMetadata(m)) {
        m_ui.Ask(TMessageKind::Error, TButtons::Ok, FromUtf8(problem->Message));
        m_pages->setCurrentIndex(0);
        QWidget* field = m_community;
        if (problem->Field == store::TMetadataField::Title) {
            field = m_title;
        } else if (problem->Field == store::TMetadataField::Target) {
            field = m_target;
        }
        field->setFocus(Qt::OtherFocusReason);
        return;
    }
    store::WriteOntologyMetadata(m_ontology, m);
    QDialog::accept();
    TellLostCharacters(bytes.Lost());
}

void TAboutOntologyDlg::TellLostCharacters(int lost) {
    if (lost > 0) {
        m_ui.Ask(TMessageKind::Warning, TButtons::Ok, UnconvertibleText(lost));
    }
}

}  // namespace velmora::app
