#include "tree_view.h"

#include <QApplication>
#include <QCursor>
#include <QDrag>
#include <QDragMoveEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "concept_pictures.h"
#include "drag_objects.h"
#include "errors.h"
#include "list_view.h"
#include "qt_text.h"

namespace velmora::views {

// ---- Nodes --------------------------------------------------------------------------------

TConceptNode::TConceptNode(TFrameTreeView& frame, std::unique_ptr<store::TConceptData> data)
    : m_frame(&frame), m_data(std::move(data)) {
    m_frame->Register(*this);
}

TConceptNode::~TConceptNode() {
    m_frame->Unregister(*this);
}

// The node offset places away in its level (root nodes form a level of their own), or null.
TConceptNode* TConceptNode::Sibling(int offset) const {
    auto* self = const_cast<TConceptNode*>(this);
    QTreeWidgetItem* up = parent();
    QTreeWidget* tree = treeWidget();
    const int at =
        (up != nullptr ? up->indexOfChild(self) : tree->indexOfTopLevelItem(self)) + offset;
    const int count = up != nullptr ? up->childCount() : tree->topLevelItemCount();
    if (at < 0 || at >= count) {
        return nullptr;
    }
    return static_cast<TConceptNode*>(up != nullptr ? up->child(at) : tree->topLevelItem(at));
}

int TConceptNode::Level() const {
    int level = 1;
    for (QTreeWidgetItem* up = parent(); up != nullptr; up = up->parent()) {
        ++level;
    }
    return level;
}

// ---- The tree control ---------------------------------------------------------------------

class TFrameTreeView::TTree : public QTreeWidget {
public:
    explicit TTree(TFrameTreeView& frame) : QTreeWidget(&frame), m_frame(frame) {}
    using QTreeWidget::indexFromItem;
    using QTreeWidget::itemFromIndex;
    bool Editing() const { return state() == EditingState; }
    // Closes the open label editor, first handing its text over when commit is set.
    void CloseLabelEditor(QLineEdit* editor, bool commit) {
        if (commit) {
            commitData(editor);
        }
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    }

protected:
    void startDrag(Qt::DropActions) override {
        if (!m_frame.CanStartDrag()) {
            return;  // the top concept stays where it is
        }
        auto* drag = new QDrag(this);
        drag->setMimeData(new TDragConceptTreeObject(&m_frame));
        // The pointer keeps its normal shape; the bar shows where the node would go.
        const QPixmap arrow = QCursor(Qt::ArrowCursor).pixmap();
        if (!arrow.isNull()) {
            drag->setDragCursor(arrow, Qt::MoveAction);
        }
        m_frame.m_dragging = true;
        drag->exec(Qt::MoveAction);
        m_frame.m_dragging = false;
        m_frame.m_dropTarget = nullptr;
        viewport()->update();
    }

    void dragEnterEvent(QDragEnterEvent* event) override {
        const QMimeData* data = event->mimeData();
        if (data->hasFormat(TDragConceptTreeObject::kMimeType) ||
            data->hasFormat(TDragConceptListThrowObject::kMimeType)) {
            event->acceptProposedAction();
        } else {
            event->ignore();  // icon moves stay in the workspace
        }
    }

    void dragMoveEvent(QDragMoveEvent* event) override {
        const QMimeData* data = event->mimeData();
        const QPoint pos = event->position().toPoint();
        const bool accepted =
            data->hasFormat(TDragConceptTreeObject::kMimeType)        ? m_frame.DragOverAt(pos)
            : data->hasFormat(TDragConceptListThrowObject::kMimeType) ? m_frame.ThrowOverAt(pos)
                                                                      : false;
        if (accepted) {
            event->acceptProposedAction();
        } else {
            event->ignore();
        }
    }

    void dragLeaveEvent(QDragLeaveEvent*) override {
        m_frame.m_dropTarget = nullptr;
        m_frame.m_throwOver = false;
        viewport()->update();
    }

    void dropEvent(QDropEvent* event) override {
        const QPoint pos = event->position().toPoint();
        if (event->mimeData()->hasFormat(TDragConceptTreeObject::kMimeType)) {
            event->acceptProposedAction();
            m_frame.DropAt(pos);
        } else if (const auto* thrown =
                       qobject_cast<const TDragConceptListThrowObject*>(event->mimeData())) {
            event->acceptProposedAction();
            m_frame.ThrowAt(*thrown->Frame, pos);
        } else {
            event->ignore();
        }
    }

    void paintEvent(QPaintEvent* event) override {
        QTreeWidget::paintEvent(event);
        if ((m_frame.m_dragging || m_frame.m_throwOver) && m_frame.m_dropTarget != nullptr) {
            QPainter painter(viewport());
            m_frame.PaintDropMark(painter);
        }
    }

    // Every way into label editing (F2 through the command, a click on the selected node)
    // passes here; mirror images keep the title of the concept they show.
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override {
        if (trigger != NoEditTriggers && trigger != CurrentChanged) {
            auto* node = static_cast<TConceptNode*>(itemFromIndex(index));
            if (node != nullptr && node->Data().IsLink()) {
                if (trigger == SelectedClicked || trigger == AllEditTriggers) {
                    m_frame.RefuseMirrorEdit();
                }
                return false;
            }
        }
        return QTreeWidget::edit(index, trigger, event);
    }

    void mousePressEvent(QMouseEvent* event) override {
        // A right click selects the node under the pointer before the menu opens.
        if (event->button() == Qt::RightButton) {
            if (QTreeWidgetItem* item = itemAt(event->position().toPoint())) {
                setCurrentItem(item);
            }
        }
        QTreeWidget::mousePressEvent(event);
    }

    void keyPressEvent(QKeyEvent* event) override {
        if (state() != EditingState && event->modifiers() == Qt::ControlModifier) {
            if (event->key() == Qt::Key_X) {
                m_frame.CutToClipboard();
                return;
            }
            if (event->key() == Qt::Key_C) {
                m_frame.CopyToClipboard();
                return;
            }
        }
        QTreeWidget::keyPressEvent(event);
    }

private:
    TFrameTreeView& m_frame;
};

// Hands the typed label to the frame instead of writing it into the item: the item shows the
// title once it is stored. Leaving the editor (focus out) commits, as Return does.
class TFrameTreeView::TLabelDelegate : public QStyledItemDelegate {
public:
    TLabelDelegate(TFrameTreeView& frame) : QStyledItemDelegate(&frame), m_frame(frame) {}

    void setModelData(QWidget* editor, QAbstractItemModel*,
                      const QModelIndex& index) const override {
        auto* line = qobject_cast<QLineEdit*>(editor);
        auto* node = static_cast<TConceptNode*>(m_frame.m_tree->itemFromIndex(index));
        if (line != nullptr && node != nullptr) {
            m_frame.FinishLabelEdit(*node, line->text());
        }
    }

private:
    TFrameTreeView& m_frame;
};

// ---- The frame -----------------------------------------------------------------------------

TFrameTreeView::TFrameTreeView(QWidget* parent)
    : QWidget(parent), m_tree(new TTree(*this)), m_selectionTimer(new QTimer(this)) {
    setObjectName("FrameTreeView1");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_tree);

    m_tree->setObjectName("ConceptTreeView");
    m_tree->setHeaderHidden(true);
    m_tree->setColumnCount(1);
    m_tree->setIndentation(kIndent);
    m_tree->setIconSize(QSize(16, 16));
    m_tree->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tree->setEditTriggers(QAbstractItemView::SelectedClicked);
    m_tree->setItemDelegate(new TLabelDelegate(*this));
    m_tree->setDragEnabled(true);
    m_tree->setAcceptDrops(true);
    m_tree->viewport()->setAcceptDrops(true);
    m_tree->setDragDropMode(QAbstractItemView::DragDrop);
    m_tree->setUniformRowHeights(true);  // large levels lay out without measuring each row
    // Titles are shown whole; a narrow panel scrolls sideways instead of cutting them.
    m_tree->header()->setStretchLastSection(false);
    m_tree->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_tree->setTextElideMode(Qt::ElideNone);
    // The selection stays visible when the tree loses the focus.
    QPalette palette = m_tree->palette();
    for (const QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText}) {
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    }
    m_tree->setPalette(palette);

    m_selectionTimer->setSingleShot(true);
    m_selectionTimer->setInterval(50);
    connect(m_selectionTimer, &QTimer::timeout, this, [this] {
        if (OnSelectionChange) {
            OnSelectionChange();
        }
    });
    connect(m_tree, &QTreeWidget::itemSelectionChanged, this, [this] {
        if (!m_clearing) {
            m_selectionTimer->start();
        }
    });
    connect(m_tree, &QTreeWidget::itemExpanded, this, &TFrameTreeView::OnItemExpanded);
    connect(m_tree, &QTreeWidget::itemCollapsed, this, &TFrameTreeView::OnItemCollapsed);
}

QTreeWidget* TFrameTreeView::ConceptTreeView() const {
    return m_tree;
}

TFrameTreeView::~TFrameTreeView() {
    m_clearing = true;
    m_tree->clear();  // the nodes unregister while the indexes still exist
}

void TFrameTreeView::Register(TConceptNode& node) {
    const store::TConceptData& d = node.Data();
    (d.IsLink() ? m_mirrorNodes[d.LinkNo] : m_conceptNodes[d.ConceptNo()]) = &node;
    m_nodesByConcept.emplace(d.ConceptNo(), &node);
}

void TFrameTreeView::Unregister(TConceptNode& node) {
    const store::TConceptData& d = node.Data();
    auto& byKey = d.IsLink() ? m_mirrorNodes : m_conceptNodes;
    const auto found = byKey.find(d.IsLink() ? d.LinkNo : d.ConceptNo());
    if (found != byKey.end() && found->second == &node) {
        byKey.erase(found);
    }
    auto [from, to] = m_nodesByConcept.equal_range(d.ConceptNo());
    for (auto it = from; it != to; ++it) {
        if (it->second == &node) {
            m_nodesByConcept.erase(it);
            break;
        }
    }
}

TConceptNode* TFrameTreeView::AddNode(TConceptNode* parent,
                                      std::unique_ptr<store::TConceptData> data) {
    auto* node = new TConceptNode(*this, std::move(data));
    UpdateNode(*node);
    if (parent != nullptr) {
        parent->addChild(node);
    } else {
        m_tree->addTopLevelItem(node);
    }
    return node;
}

void TFrameTreeView::ClearTree() {
    const bool hadSelection = SelectedNode() != nullptr;
    m_clearing = true;
    m_dropTarget = nullptr;
    m_tree->clearSelection();
    m_tree->clear();
    m_clearing = false;
    if (hadSelection) {
        m_selectionTimer->start();  // the commands follow the cleared selection
    }
}

void TFrameTreeView::UpdateNode(TConceptNode& node) {
    const store::TConceptData& d = node.Data();
    node.setText(0, FromCp932(d.Title()));
    node.setIcon(0, TreeImageList()[static_cast<std::size_t>(ImageIndex(d))]);
    node.setChildIndicatorPolicy(d.IsLink() ? QTreeWidgetItem::DontShowIndicator
                                 : d.HasChildren()
                                     ? QTreeWidgetItem::ShowIndicator
                                     : QTreeWidgetItem::DontShowIndicatorWhenChildless);
    Qt::ItemFlags flags =
        Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled;
    if (!d.IsLink()) {
        flags |= Qt::ItemIsEditable;
    }
    node.setFlags(flags);
}

TConceptNode* TFrameTreeView::FindSiblingNode(TConceptNode& node,
                                              const store::TConceptData& item) const {
    TConceptNode* parent = node.ParentNode();
    if (parent == nullptr) {
        return nullptr;
    }
    for (int i = 0; i < parent->childCount(); ++i) {
        if (store::SameConceptData(parent->ChildNode(i)->Data(), item)) {
            return parent->ChildNode(i);
        }
    }
    return nullptr;
}

TConceptNode* TFrameTreeView::FindNode(const store::TConceptData& item) const {
    // An item has at most one node, so the index finds the node the walk over the selected
    // node, its neighbours and then the whole tree would find.
    const auto& byKey = item.IsLink() ? m_mirrorNodes : m_conceptNodes;
    const auto found = byKey.find(item.IsLink() ? item.LinkNo : item.ConceptNo());
    return found == byKey.end() ? nullptr : found->second;
}

bool TFrameTreeView::SelectNode(const store::TConceptData& item) {
    TConceptNode* node = FindNode(item);
    if (node == nullptr) {
        return false;
    }
    m_tree->setCurrentItem(node);
    m_tree->scrollToItem(node);
    return true;
}

TConceptNode* TFrameTreeView::SelectedNode() const {
    const QList<QTreeWidgetItem*> selected = m_tree->selectedItems();
    return selected.isEmpty() ? nullptr : static_cast<TConceptNode*>(selected.front());
}

TConceptNode* TFrameTreeView::RootNode() const {
    return m_tree->topLevelItemCount() > 0 ? static_cast<TConceptNode*>(m_tree->topLevelItem(0))
                                           : nullptr;
}

std::unique_ptr<store::TConceptList> TFrameTreeView::GetSelectedList() const {
    auto list = std::make_unique<store::TConceptList>();
    if (const TConceptNode* node = SelectedNode()) {
        list->AddNew().Assign(node->Data());
    }
    return list;
}

std::vector<TConceptNode*> TFrameTreeView::NodesOfConcept(std::int32_t conceptNo) const {
    std::vector<TConceptNode*> nodes;
    auto [from, to] = m_nodesByConcept.equal_range(conceptNo);
    for (auto it = from; it != to; ++it) {
        nodes.push_back(it->second);
    }
    return nodes;
}

void TFrameTreeView::TreeViewExpandTreeNode(TConceptNode& node) {
    while (node.childCount() > 0) {
        delete node.takeChild(node.childCount() - 1);
    }
    if (node.Data().IsLink()) {
        throw store::EVelmoraError("BUG!: function: \"TreeViewExpandTreeNode\".");
    }
    if (!OnSeekChildren) {
        return;
    }
    const std::unique_ptr<store::TConceptList> children = OnSeekChildren(node.Data());
    QList<QTreeWidgetItem*> nodes;
    nodes.reserve(children->Count());
    for (int i = 0; i < children->Count(); ++i) {
        auto copy = std::make_unique<store::TConceptData>();
        copy->Assign(children->Items(i));
        auto* child = new TConceptNode(*this, std::move(copy));
        UpdateNode(*child);
        nodes.push_back(child);
    }
    node.addChildren(nodes);  // one insertion for the whole level
}

TConceptNode& TFrameTreeView::BuildPathTo(const store::TConceptData& item) {
    if (!OnSeekParent || !OnSeekChildren) {
        throw store::EVelmoraError("BUG: TreeViewFrame: OnSeekParent, OnSeekChildrenがnilです.");
    }
    std::vector<std::unique_ptr<store::TConceptData>> path;
    path.push_back(std::make_unique<store::TConceptData>());
    path.back()->Assign(item);
    while (std::unique_ptr<store::TConceptData> parent = OnSeekParent(*path.back())) {
        path.push_back(std::move(parent));
        if (path.size() > static_cast<std::size_t>(kPathLimit)) {
            throw store::EVelmoraError(
                "不正なデータ: 概念ツリー構造のトップノードが見つかりません.");
        }
    }
    TConceptNode* current = RootNode();
    if (current == nullptr || !store::SameConceptData(current->Data(), *path.back())) {
        ClearTree();
        auto top = std::make_unique<store::TConceptData>();
        top->Assign(*path.back());
        current = AddNode(nullptr, std::move(top));
    }
    for (std::size_t i = path.size() - 1; i-- > 0;) {
        const auto find = [&]() -> TConceptNode* {
            return current->childCount() > 0 ? FindSiblingNode(*current->ChildNode(0), *path[i])
                                             : nullptr;
        };
        TConceptNode* found = find();
        if (found == nullptr) {
            TreeViewExpandTreeNode(*current);
            found = find();
        }
        if (found == nullptr) {
            // The parent chain and the children answer disagree: broken data, not a path.
            throw store::EVelmoraError("不正なデータ: 概念が上位概念の下位に見つかりません: " +
                                       ToUtf8(FromCp932(path[i]->Title())));
        }
        current = found;
    }
    return *current;
}

void TFrameTreeView::OnItemExpanded(QTreeWidgetItem* item) {
    auto* node = static_cast<TConceptNode*>(item);
    if (m_loading || node->childCount() > 0 || node->Data().IsLink()) {
        return;
    }
    // Called from inside Qt's own handling of the click or key: nothing may escape from here.
    try {
        TreeViewExpandTreeNode(*node);
    } catch (const std::exception& error) {
        node->setExpanded(false);
        if (OnError) {
            OnError(error);
        }
    }
}

void TFrameTreeView::OnItemCollapsed(QTreeWidgetItem* item) {
    // Opening it again shows one level only; what is loaded stays loaded.
    for (int i = 0; i < item->childCount(); ++i) {
        QTreeWidgetItem* child = item->child(i);
        if (child->isExpanded()) {
            child->setExpanded(false);  // collapses its own children in turn
        }
    }
}

void TFrameTreeView::ExpandNode(TConceptNode& node) {
    if (node.childCount() == 0 && !node.Data().IsLink()) {
        TreeViewExpandTreeNode(node);
    }
    m_loading = true;  // loaded above, even when the level is empty
    node.setExpanded(true);
    m_loading = false;
}

std::vector<TConceptNode*> TFrameTreeView::RemoveMirrorNodes(
    const std::function<bool(const store::TConceptData&)>& gone) {
    std::vector<TConceptNode*> doomed;
    for (const auto& [linkNo, node] : m_mirrorNodes) {
        if (gone(node->Data())) {
            doomed.push_back(node);
        }
    }
    std::vector<TConceptNode*> parents;
    for (TConceptNode* node : doomed) {
        TConceptNode* parent = node->ParentNode();
        if (parent != nullptr &&
            std::find(parents.begin(), parents.end(), parent) == parents.end()) {
            parents.push_back(parent);
        }
        if (m_dropTarget == node) {
            m_dropTarget = nullptr;
        }
        delete node;  // unregisters itself and leaves its parent
    }
    return parents;
}

void TFrameTreeView::MoveNodeInView(TConceptNode& node, TConceptNode& destination,
                                    TNodeAttachMode mode) {
    if (&node == &destination && mode != amAddChild) {
        return;  // before or beside itself: it is there already
    }
    const bool wasSelected = node.isSelected();
    if (QTreeWidgetItem* parent = node.parent()) {
        parent->takeChild(parent->indexOfChild(&node));
    } else {
        m_tree->takeTopLevelItem(m_tree->indexOfTopLevelItem(&node));
    }
    const auto insertBeside = [this, &node](QTreeWidgetItem& at, int offset) {
        if (QTreeWidgetItem* parent = at.parent()) {
            parent->insertChild(parent->indexOfChild(&at) + offset, &node);
        } else {
            m_tree->insertTopLevelItem(m_tree->indexOfTopLevelItem(&at) + offset, &node);
        }
    };
    switch (mode) {
        case amAdd:
            if (QTreeWidgetItem* parent = destination.parent()) {
                parent->addChild(&node);
            } else {
                m_tree->addTopLevelItem(&node);
            }
            break;
        case amAddChild:
            destination.addChild(&node);
            break;
        case amInsert:
            insertBeside(destination, 0);
            break;
    }
    if (wasSelected) {
        m_tree->setCurrentItem(&node);
    }
}

void TFrameTreeView::SortChildren(
    TConceptNode& parent,
    const std::function<bool(const store::TConceptData&, const store::TConceptData&)>& less) {
    for (int i = 0; i < parent.childCount(); ++i) {
        parent.child(i)->setExpanded(false);
    }
    TConceptNode* selected = SelectedNode();
    QList<QTreeWidgetItem*> children = parent.takeChildren();
    std::stable_sort(children.begin(), children.end(),
                     [&less](QTreeWidgetItem* a, QTreeWidgetItem* b) {
                         return less(static_cast<TConceptNode*>(a)->Data(),
                                     static_cast<TConceptNode*>(b)->Data());
                     });
    parent.addChildren(children);
    if (selected != nullptr) {
        m_tree->setCurrentItem(selected);
    }
}

void TFrameTreeView::EditSelectedLabel() {
    TConceptNode* node = SelectedNode();
    if (node == nullptr) {
        return;
    }
    if (node->Data().IsLink()) {
        RefuseMirrorEdit();
        return;
    }
    m_tree->scrollToItem(node);
    m_tree->editItem(node, 0);
}

void TFrameTreeView::RefuseMirrorEdit() {
    if (OnStatusText) {
        OnStatusText("鏡像から概念のタイトルを変更することは出来ません.");
    }
}

void TFrameTreeView::FinishLabelEdit(TConceptNode& node, const QString& text) {
    // An editor closed by clearing the tree or by a cancel must not store what it held.
    if (m_clearing || m_cancellingEdit) {
        return;
    }
    if (OnTitleEdited) {
        OnTitleEdited(node, text);
    }
}

QLineEdit* TFrameTreeView::LabelEditor() const {
    if (!m_tree->Editing()) {
        return nullptr;
    }
    for (QLineEdit* line : m_tree->viewport()->findChildren<QLineEdit*>()) {
        if (line->isVisible()) {
            return line;
        }
    }
    return nullptr;
}

bool TFrameTreeView::IsEditing() const {
    return LabelEditor() != nullptr;
}

bool TFrameTreeView::EditorHasSelection() const {
    const QLineEdit* line = LabelEditor();
    return line != nullptr && line->hasSelectedText();
}

void TFrameTreeView::SelectAllInEditor() {
    if (QLineEdit* line = LabelEditor()) {
        line->selectAll();
    }
}

void TFrameTreeView::CommitLabelEdit() {
    if (QLineEdit* line = LabelEditor()) {
        m_tree->CloseLabelEditor(line, true);
    }
}

void TFrameTreeView::CancelLabelEdit() {
    if (QLineEdit* line = LabelEditor()) {
        m_cancellingEdit = true;
        m_tree->CloseLabelEditor(line, false);
        m_cancellingEdit = false;
    }
}

void TFrameTreeView::CopyToClipboard() {
    if (SelectedNode() != nullptr && OnClipboard) {
        OnClipboard(*GetSelectedList(), false);
    }
}

void TFrameTreeView::CutToClipboard() {
    if (SelectedNode() != nullptr && OnClipboard) {
        OnClipboard(*GetSelectedList(), true);
    }
}

void TFrameTreeView::ShowConcept(const store::TConceptData& item, bool force) {
    if (force) {
        ClearTree();
    }
    if (!SelectNode(item)) {
        BuildPathTo(item);
        SelectNode(item);
    }
    TConceptNode* selected = SelectedNode();
    if (selected != nullptr && selected == RootNode() && selected->childCount() == 0) {
        ExpandNode(*selected);
    }
}

void TFrameTreeView::ExpandFirstNode() {
    if (TConceptNode* root = RootNode()) {
        ExpandNode(*root);
    }
}

std::optional<TTreeSelection> TFrameTreeView::Selection() const {
    const TConceptNode* node = SelectedNode();
    if (node == nullptr) {
        return std::nullopt;
    }
    TTreeSelection s;
    s.entry.Assign(node->Data());
    s.hasParent = node->parent() != nullptr;
    s.hasGrandparent = s.hasParent && node->parent()->parent() != nullptr;
    const TConceptNode* previous = node->PreviousSibling();
    s.hasPreviousSibling = previous != nullptr;
    s.previousSiblingIsMirror = previous != nullptr && previous->Data().IsLink();
    s.hasNextSibling = node->NextSibling() != nullptr;
    return s;
}

bool TFrameTreeView::CanStartDrag() const {
    const TConceptNode* node = SelectedNode();
    return node != nullptr && node->parent() != nullptr;
}

bool TFrameTreeView::LowerHalfAt(QTreeWidgetItem* item, const QPoint& pos) const {
    const QRect row = m_tree->visualItemRect(item);
    return pos.y() > row.top() + row.height() / 2;
}

bool TFrameTreeView::DragOverAt(const QPoint& pos) {
    QTreeWidgetItem* target = m_tree->itemAt(pos);
    const bool lower = target != nullptr && LowerHalfAt(target, pos);
    if (target != m_dropTarget || lower != m_dropLowerHalf) {
        m_dropTarget = target;
        m_dropLowerHalf = lower;
        m_tree->viewport()->update();
    }
    // Nothing goes before or after the top concept.
    return CanStartDrag() && (target == nullptr || target != m_tree->topLevelItem(0));
}

void TFrameTreeView::DropAt(const QPoint& pos) {
    QTreeWidgetItem* target = m_tree->itemAt(pos);
    const bool lower = target != nullptr && LowerHalfAt(target, pos);
    m_dropTarget = nullptr;
    m_tree->viewport()->update();
    TConceptNode* source = SelectedNode();
    if (target == nullptr || target == m_tree->topLevelItem(0) || source == nullptr ||
        source == target || !CanStartDrag() || !OnNodeDropped) {
        return;
    }
    OnNodeDropped(*source, *static_cast<TConceptNode*>(target), lower);
}

bool TFrameTreeView::ThrowOverAt(const QPoint& pos) {
    auto* target = static_cast<TConceptNode*>(m_tree->itemAt(pos));
    // Thrown items become children of the target, and a mirror image has none of its own.
    QTreeWidgetItem* accepted = target != nullptr && !target->Data().IsLink() ? target : nullptr;
    if (accepted != m_dropTarget || !m_throwOver) {
        m_dropTarget = accepted;
        m_throwOver = true;
        m_tree->viewport()->update();
    }
    return accepted != nullptr;
}

void TFrameTreeView::ThrowAt(const TFrameListView& source, const QPoint& pos) {
    auto* target = static_cast<TConceptNode*>(m_tree->itemAt(pos));
    m_dropTarget = nullptr;
    m_throwOver = false;
    m_tree->viewport()->update();
    if (target == nullptr || target->Data().IsLink() || !OnItemsThrown) {
        return;
    }
    const std::unique_ptr<store::TConceptList> items = source.GetSelectedList();
    if (items->Count() > 0) {
        OnItemsThrown(*items, *target);
    }
}

void TFrameTreeView::PaintDropMark(QPainter& painter) const {
    const QRect row = m_tree->visualItemRect(m_dropTarget);
    // The target row is marked; for a node of this tree a bar runs from the target's indent to
    // the row's end.
    QColor mark = m_tree->palette().color(QPalette::Highlight);
    mark.setAlpha(60);
    painter.fillRect(QRect(0, row.top(), m_tree->viewport()->width(), row.height()), mark);
    if (!m_dragging) {
        return;
    }
    const int x =
        static_cast<TConceptNode*>(m_dropTarget)->Level() * kIndent - m_tree->header()->offset();
    const int y = m_dropLowerHalf ? row.bottom() - 1 : row.top();
    painter.fillRect(QRect(x, y, std::max(0, m_tree->viewport()->width() - x), 2),
                     m_tree->palette().color(QPalette::WindowText));
}

}  // namespace velmora::views
