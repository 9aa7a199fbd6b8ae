#include "link_type_form.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "code_page.h"
#include "concept_pictures.h"
#include "ontology_tables.h"
#include "qt_text.h"
#include "store_exceptions.h"

namespace velmora::app {

namespace {

constexpr int kCodeRole = Qt::UserRole;

}  // namespace

std::vector<TLinkTypeRowView> LinkTypeRows(store::TDataModule1& store) {
    store::TCursor types;
    types.CloneCursor(store.DtStOriginalLinkType, true);
    std::vector<TLinkTypeRowView> rows;
    for (types.First(); !types.Eof(); types.Next()) {
        TLinkTypeRowView row;
        row.code = types.FieldByName(store::kFieldLinkCode).AsInteger();
        row.title = FromCp932(types.FieldByName(store::kFieldLinkTitle).AsString());
        QString comment = FromCp932(types.FieldByName(store::kFieldComment).AsString());
        comment.replace("\r\n", " ").replace('\r', ' ').replace('\n', ' ');
        row.comment = comment;
        rows.push_back(row);
    }
    return rows;
}

TFormLinkType::TFormLinkType(const std::vector<TLinkTypeRowView>& rows, QWidget* parent)
    : QDialog(parent), m_list(new QTreeWidget(this)) {
    setObjectName("FormLinkType");
    setWindowTitle("鏡像の「関係」");
    setWindowFlag(Qt::Tool);
    setSizeGripEnabled(true);
    resize(210, 261);

    m_list->setObjectName("ListView1");
    m_list->setColumnCount(3);
    m_list->setHeaderLabels({"NO.", "ラベル", "説明"});
    m_list->setRootIsDecorated(false);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setMinimumHeight(60);
    // Grid lines between the cells; the selected row keeps the usual highlight.
    m_list->setStyleSheet(
        "QTreeView::item { border: 1px solid palette(midlight); }"
        "QTreeView::item:selected { background: palette(highlight);"
        " color: palette(highlighted-text); }");
    int number = 0;
    for (const TLinkTypeRowView& row : rows) {
        auto* item =
            new QTreeWidgetItem(m_list, {QString::number(++number), row.title, row.comment});
        item->setIcon(0, views::RelationPicture(row.code));
        item->setData(0, kCodeRole, row.code);
    }
    m_list->resizeColumnToContents(0);
    m_list->resizeColumnToContents(1);
    m_list->setColumnWidth(2, 200);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton("OK", QDialogButtonBox::AcceptRole);
    ok->setObjectName("ButtonOK");
    ok->setDefault(true);
    QPushButton* cancel = buttons->addButton("Cancel", QDialogButtonBox::RejectRole);
    cancel->setObjectName("ButtonCancel");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_list, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* current) {
        if (current != nullptr) {
            m_chosen = current->data(0, kCodeRole).toInt();
        }
    });
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, [this] { accept(); });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list);
    layout->addWidget(buttons);
}

void TFormLinkType::SelectLinkCode(std::int32_t code) {
    for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = m_list->topLevelItem(i);
        if (item->data(0, kCodeRole).toInt() == code) {
            m_list->setCurrentItem(item);
            m_chosen = code;
            return;
        }
    }
    m_list->clearSelection();
    m_list->setCurrentItem(nullptr);
    m_chosen = -1;
    throw store::EVelmoraError("指定された概念の関係が見つかりません.");
}

}  // namespace velmora::app
