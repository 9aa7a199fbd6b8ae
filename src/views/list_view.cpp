#include "list_view.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCursor>
#include <QDrag>
#include <QDragMoveEvent>
#include <QItemSelection>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <cstdlib>
#include <limits>

#include "concept_pictures.h"
#include "drag_objects.h"
#include "qt_text.h"
#include "tree_view.h"

namespace velmora::views {

namespace {

constexpr int kWatermarkWidth = 458;
constexpr int kWatermarkHeight = 140;
constexpr int kWatermarkMargin = 10;
// More selected rows than this repaint the whole viewport rather than a region per item.
constexpr int kRegionLimit = 256;

int FloorDiv(int a, int b) {
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

std::int64_t BucketKey(int bx, int by) {
    return (static_cast<std::int64_t>(bx) << 32) ^ static_cast<std::uint32_t>(by);
}

std::int64_t ItemKey(const store::TConceptData& data) {
    return data.IsLink() ? (std::int64_t{1} << 32) | static_cast<std::uint32_t>(data.LinkNo)
                         : static_cast<std::uint32_t>(data.ConceptNo());
}

// Consecutive rows as one range each.
QItemSelection RangesOf(const QAbstractItemModel& model, const std::vector<int>& sortedRows) {
    QItemSelection selection;
    for (std::size_t i = 0; i < sortedRows.size();) {
        std::size_t j = i;
        while (j + 1 < sortedRows.size() && sortedRows[j + 1] == sortedRows[j] + 1) {
            ++j;
        }
        selection.select(model.index(sortedRows[i], 0), model.index(sortedRows[j], 0));
        i = j + 1;
    }
    return selection;
}

// The empty workspace's picture: a small hierarchy and the program's name, pale enough to sit
// behind nothing without drawing the eye.
const QPixmap& Watermark() {
    static const QPixmap picture = [] {
        QPixmap pixmap(kWatermarkWidth, kWatermarkHeight);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing, true);
        const QColor line(0xb8, 0xc2, 0xd0, 150);
        const QColor box(0xdc, 0xe4, 0xee, 170);
        p.setPen(QPen(line, 2));
        const QPointF top(370, 22);
        const std::array<QPointF, 3> middle{QPointF(310, 70), QPointF(370, 70), QPointF(430, 70)};
        const std::array<QPointF, 2> bottom{QPointF(285, 116), QPointF(335, 116)};
        for (const QPointF& m : middle) {
            p.drawLine(top, m);
        }
        for (const QPointF& b : bottom) {
            p.drawLine(middle[0], b);
        }
        p.setBrush(box);
        for (const QPointF& c : {top, middle[0], middle[1], middle[2], bottom[0], bottom[1]}) {
            p.drawRoundedRect(QRectF(c.x() - 17, c.y() - 11, 34, 22), 4, 4);
        }
        QFont font = QApplication::font();
        font.setPixelSize(46);
        font.setBold(true);
        p.setFont(font);
        p.setPen(QColor(0xc4, 0xcc, 0xd8, 170));
        p.drawText(QRect(0, 20, 250, 70), Qt::AlignLeft | Qt::AlignVCenter, "Velmora");
        font.setPixelSize(15);
        font.setBold(false);
        p.setFont(font);
        p.setPen(QColor(0xb0, 0xb8, 0xc6, 170));
        p.drawText(QRect(4, 86, 250, 30), Qt::AlignLeft | Qt::AlignVCenter,
                   QString::fromUtf8("概念の作業スペース"));
        p.end();
        return pixmap;
    }();
    return picture;
}

}  // namespace

// ---- The model ------------------------------------------------------------------------------

TConceptListModel::TConceptListModel(QObject* parent) : QAbstractListModel(parent) {}

TConceptListModel::~TConceptListModel() = default;

int TConceptListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : Count();
}

QVariant TConceptListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= Count()) {
        return {};
    }
    const store::TConceptData& d = Item(index.row()).Data();
    switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole:
            return FromCp932(d.Title());
        case Qt::DecorationRole:
            return ListImageList(m_small ? kSmallPictureSize
                                         : kLargePictureSize)[static_cast<std::size_t>(
                ListImageIndex(d, m_parentsPane))];
        default:
            return {};
    }
}

Qt::ItemFlags TConceptListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::ItemIsDropEnabled;
    }
    Qt::ItemFlags flags =
        Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled;
    if (!Item(index.row()).Data().IsLink()) {
        flags |= Qt::ItemIsEditable;  // a mirror image keeps the title of the concept it shows
    }
    return flags;
}

void TConceptListModel::SetPictures(bool parentsPane, bool small) {
    if (parentsPane != m_parentsPane || small != m_small) {
        m_parentsPane = parentsPane;
        m_small = small;
        ChangedAll();
    }
}

void TConceptListModel::Reset(const std::vector<const store::TConceptData*>& items) {
    std::vector<std::unique_ptr<TConceptListItem>> fresh;
    fresh.reserve(items.size());
    for (const store::TConceptData* data : items) {
        fresh.push_back(std::make_unique<TConceptListItem>(*data, static_cast<int>(fresh.size())));
    }
    beginResetModel();
    m_items.swap(fresh);
    ++m_generation;
    endResetModel();
}

TConceptListItem& TConceptListModel::Append(const store::TConceptData& data) {
    const int row = Count();
    beginInsertRows(QModelIndex(), row, row);
    m_items.push_back(std::make_unique<TConceptListItem>(data, row));
    endInsertRows();
    return *m_items.back();
}

void TConceptListModel::Changed(int row) {
    const QModelIndex at = index(row, 0);
    emit dataChanged(at, at);
}

void TConceptListModel::ChangedAll() {
    if (Count() > 0) {
        emit dataChanged(index(0, 0), index(Count() - 1, 0));
    }
}

// ---- The list control -----------------------------------------------------------------------

class TFrameListView::TIconList : public QAbstractItemView {
public:
    explicit TIconList(TFrameListView& frame) : QAbstractItemView(&frame), m_frame(frame) {}

    bool Editing() const { return state() == EditingState; }
    void CloseLabelEditor(QLineEdit* editor, bool commit) {
        if (commit) {
            commitData(editor);
        }
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
    QPoint Offset() const { return QPoint(horizontalOffset(), verticalOffset()); }
    using QAbstractItemView::edit;
    using QAbstractItemView::updateGeometries;

    QRect visualRect(const QModelIndex& index) const override {
        if (!index.isValid() || index.row() >= m_frame.m_model->Count()) {
            return {};
        }
        return QRect(m_frame.m_model->Item(index.row()).Position() - Offset(), m_frame.CellSize());
    }

    void scrollTo(const QModelIndex& index, ScrollHint = EnsureVisible) override {
        const QRect rect = visualRect(index);
        if (!rect.isValid()) {
            return;
        }
        const QRect area = viewport()->rect();
        if (rect.left() < area.left() || rect.width() > area.width()) {
            horizontalScrollBar()->setValue(horizontalScrollBar()->value() + rect.left());
        } else if (rect.right() > area.right()) {
            horizontalScrollBar()->setValue(horizontalScrollBar()->value() + rect.right() -
                                            area.right());
        }
        if (rect.top() < area.top() || rect.height() > area.height()) {
            verticalScrollBar()->setValue(verticalScrollBar()->value() + rect.top());
        } else if (rect.bottom() > area.bottom()) {
            verticalScrollBar()->setValue(verticalScrollBar()->value() + rect.bottom() -
                                          area.bottom());
        }
    }

    QModelIndex indexAt(const QPoint& point) const override {
        const TConceptListItem* item = m_frame.ItemAt(point);
        return item != nullptr ? model()->index(item->Row(), 0) : QModelIndex();
    }

    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers) override {
        const int count = m_frame.m_model->Count();
        if (count == 0) {
            return {};
        }
        const QModelIndex current = currentIndex();
        if (!current.isValid() || action == MoveHome) {
            return model()->index(0, 0);
        }
        if (action == MoveEnd) {
            return model()->index(count - 1, 0);
        }
        // The nearest icon in the key's direction, the sideways distance counting double.
        int dx = 0;
        int dy = 0;
        switch (action) {
            case MoveLeft:
            case MovePrevious:
                dx = -1;
                break;
            case MoveRight:
            case MoveNext:
                dx = 1;
                break;
            case MoveUp:
            case MovePageUp:
                dy = -1;
                break;
            default:
                dy = 1;
                break;
        }
        const QPoint from = m_frame.m_model->Item(current.row()).Position();
        int best = current.row();
        long long bestCost = std::numeric_limits<long long>::max();
        for (int row = 0; row < count; ++row) {
            const QPoint d = m_frame.m_model->Item(row).Position() - from;
            const long long along = static_cast<long long>(d.x()) * dx + d.y() * dy;
            if (along <= 0) {
                continue;
            }
            const long long across = dx != 0 ? std::abs(d.y()) : std::abs(d.x());
            const long long cost = along + 2 * across;
            if (cost < bestCost) {
                bestCost = cost;
                best = row;
            }
        }
        return model()->index(best, 0);
    }

    int horizontalOffset() const override { return horizontalScrollBar()->value(); }
    int verticalOffset() const override { return verticalScrollBar()->value(); }
    bool isIndexHidden(const QModelIndex&) const override { return false; }

    void setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) override {
        const QRect area = rect.normalized();
        std::vector<int> rows;
        if (area.width() <= 1 && area.height() <= 1) {
            // A click selects the icon on top, not every icon under the point.
            if (const TConceptListItem* item = m_frame.ItemAt(area.topLeft())) {
                rows.push_back(item->Row());
            }
        } else {
            rows = m_frame.RowsIn(area.translated(Offset()));
        }
        selectionModel()->select(RangesOf(*model(), rows), command);
    }

    QRegion visualRegionForSelection(const QItemSelection& selection) const override {
        int rows = 0;
        for (const QItemSelectionRange& range : selection) {
            rows += range.height();
        }
        if (rows > kRegionLimit) {
            return QRegion(viewport()->rect());
        }
        QRegion region;
        for (const QItemSelectionRange& range : selection) {
            for (int row = range.top(); row <= range.bottom(); ++row) {
                region += visualRect(model()->index(row, 0));
            }
        }
        return region;
    }

    void updateGeometries() override {
        const QSize content = m_frame.m_contentSize;
        const QSize area = viewport()->size();
        const QSize cell = m_frame.CellSize();
        horizontalScrollBar()->setSingleStep(std::max(1, cell.width() / 4));
        horizontalScrollBar()->setPageStep(area.width());
        horizontalScrollBar()->setRange(0, std::max(0, content.width() - area.width()));
        verticalScrollBar()->setSingleStep(std::max(1, cell.height() / 4));
        verticalScrollBar()->setPageStep(area.height());
        verticalScrollBar()->setRange(0, std::max(0, content.height() - area.height()));
        QAbstractItemView::updateGeometries();
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        QPainter painter(viewport());
        if (m_frame.ShowsWatermark()) {
            const QPixmap& picture = Watermark();
            const int x = std::max(kWatermarkMargin,
                                   viewport()->width() - picture.width() - kWatermarkMargin);
            const int y = std::max(kWatermarkMargin,
                                   viewport()->height() - picture.height() - kWatermarkMargin);
            painter.drawPixmap(x, y, picture);
            return;
        }
        QStyleOptionViewItem option;
        initViewItemOption(&option);
        const bool small = m_frame.m_small;
        const int picture = small ? kSmallPictureSize : kLargePictureSize;
        option.decorationSize = QSize(picture, picture);
        option.decorationPosition = small ? QStyleOptionViewItem::Left : QStyleOptionViewItem::Top;
        option.decorationAlignment = Qt::AlignCenter;
        option.displayAlignment =
            small ? (Qt::AlignLeft | Qt::AlignVCenter) : (Qt::AlignHCenter | Qt::AlignTop);
        option.textElideMode = Qt::ElideRight;
        if (!small) {
            option.features |= QStyleOptionViewItem::WrapText;
        }
        const bool showSelection = !m_frame.m_role.hideSelectionUnfocused || HasFocusWithin();
        const QModelIndex current = currentIndex();
        const QStyle::State base = option.state;
        for (const int row : m_frame.RowsIn(event->rect().translated(Offset()))) {
            const QModelIndex index = model()->index(row, 0);
            option.rect = visualRect(index);
            option.state = base;
            if (showSelection && selectionModel()->isSelected(index)) {
                option.state |= QStyle::State_Selected;
            }
            if (index == current && hasFocus()) {
                option.state |= QStyle::State_HasFocus;
            }
            // The cut mark: the platform's ghosted look.
            painter.setOpacity(m_frame.m_model->Item(row).IsCut() ? 0.45 : 1.0);
            itemDelegate()->paint(&painter, option, index);
        }
        painter.setOpacity(1.0);
        if (m_band.isValid()) {
            QStyleOptionRubberBand band;
            band.initFrom(viewport());
            band.shape = QRubberBand::Rectangle;
            band.opaque = false;
            band.rect = m_band;
            style()->drawControl(QStyle::CE_RubberBand, &band, &painter, viewport());
        }
    }

    void resizeEvent(QResizeEvent* event) override {
        QAbstractItemView::resizeEvent(event);
        if (!m_frame.m_role.freePositions) {
            m_frame.Arrange();
        }
        viewport()->update();  // the watermark keeps to the bottom-right corner
    }

    void changeEvent(QEvent* event) override {
        QAbstractItemView::changeEvent(event);
        if (event->type() == QEvent::FontChange) {
            m_frame.Relayout();
        }
    }

    void startDrag(Qt::DropActions) override { m_frame.StartDrag(); }

    void mousePressEvent(QMouseEvent* event) override {
        m_frame.m_mouseDownShift = event->modifiers();
        const bool onEmpty = !indexAt(event->position().toPoint()).isValid();
        m_bandOrigin = onEmpty && event->button() == Qt::LeftButton
                           ? event->position().toPoint() + Offset()
                           : QPoint(-1, -1);
        QAbstractItemView::mousePressEvent(event);
    }

    void mouseMoveEvent(QMouseEvent* event) override {
        m_frame.m_lastPointer = event->position().toPoint();  // where a drag starting now starts
        QAbstractItemView::mouseMoveEvent(event);
        if (m_bandOrigin.x() >= 0 && state() == DragSelectingState &&
            selectionMode() == ExtendedSelection) {
            m_band = QRect(m_bandOrigin - Offset(), event->position().toPoint()).normalized();
            viewport()->update();
        }
    }

    void mouseReleaseEvent(QMouseEvent* event) override {
        QAbstractItemView::mouseReleaseEvent(event);
        m_bandOrigin = QPoint(-1, -1);
        if (m_band.isValid()) {
            m_band = QRect();
            viewport()->update();
        }
    }

    void mouseDoubleClickEvent(QMouseEvent* event) override {
        QAbstractItemView::mouseDoubleClickEvent(event);
        if (m_frame.OnDoubleClick) {
            const TConceptListItem* item = m_frame.ItemAt(event->position().toPoint());
            if (item != nullptr) {
                const store::TConceptData copy = item->Data();
                m_frame.OnDoubleClick(&copy);
            } else {
                m_frame.OnDoubleClick(nullptr);
            }
        }
    }

    void keyPressEvent(QKeyEvent* event) override {
        if (state() != EditingState && event->modifiers() == Qt::ControlModifier &&
            m_frame.OnClipboardKey) {
            switch (event->key()) {
                case Qt::Key_X:
                    m_frame.OnClipboardKey(TClipboardKey::Cut);
                    return;
                case Qt::Key_C:
                    m_frame.OnClipboardKey(TClipboardKey::Copy);
                    return;
                case Qt::Key_V:
                    m_frame.OnClipboardKey(TClipboardKey::Paste);
                    return;
                default:
                    break;
            }
        }
        QAbstractItemView::keyPressEvent(event);
    }

    void focusInEvent(QFocusEvent* event) override {
        QAbstractItemView::focusInEvent(event);
        ReportFocus();
    }

    void focusOutEvent(QFocusEvent* event) override {
        QAbstractItemView::focusOutEvent(event);
        ReportFocus();
    }

    void dragEnterEvent(QDragEnterEvent* event) override {
        // Every icon view takes every concept drag.
        if (IsConceptDrag(*event->mimeData())) {
            event->acceptProposedAction();
        } else {
            event->ignore();
        }
    }

    void dragMoveEvent(QDragMoveEvent* event) override {
        if (!IsConceptDrag(*event->mimeData())) {
            event->ignore();
            return;
        }
        event->acceptProposedAction();
        auto* move =
            qobject_cast<TDragConceptListMoveObject*>(const_cast<QMimeData*>(event->mimeData()));
        if (move != nullptr && move->Frame == &m_frame) {
            m_frame.DragMoveTo(*move, event->position().toPoint());
        }
    }

    void dragLeaveEvent(QDragLeaveEvent*) override {}

    void dropEvent(QDropEvent* event) override {
        if (!IsConceptDrag(*event->mimeData())) {
            event->ignore();
            return;
        }
        event->acceptProposedAction();
        m_frame.DropAt(*event->mimeData(), event->position().toPoint());
    }

    // Every way into label editing (F2 through the command, a click on the selected item)
    // passes here; mirror images keep the title of the concept they show.
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override {
        if (trigger != NoEditTriggers && trigger != CurrentChanged && index.isValid() &&
            m_frame.m_model->Item(index.row()).Data().IsLink()) {
            if (trigger == SelectedClicked || trigger == AllEditTriggers) {
                m_frame.RefuseMirrorEdit();
            }
            return false;
        }
        return QAbstractItemView::edit(index, trigger, event);
    }

private:
    static bool IsConceptDrag(const QMimeData& data) {
        return data.hasFormat(TDragConceptTreeObject::kMimeType) ||
               data.hasFormat(TDragConceptListThrowObject::kMimeType) ||
               data.hasFormat(TDragConceptListMoveObject::kMimeType);
    }

    bool HasFocusWithin() const {
        const QWidget* focus = QApplication::focusWidget();
        return focus != nullptr && (focus == this || isAncestorOf(focus));
    }

    // The label editor taking the focus is not the view losing it.
    void ReportFocus() {
        const bool focused = HasFocusWithin();
        if (m_frame.m_role.hideSelectionUnfocused) {
            viewport()->update();
        }
        if (focused != m_focused) {
            m_focused = focused;
            if (m_frame.OnFocusChange) {
                m_frame.OnFocusChange(focused);
            }
        }
    }

    TFrameListView& m_frame;
    QPoint m_bandOrigin{-1, -1};
    QRect m_band;
    bool m_focused = false;
};

// Hands the typed label to the frame instead of writing it into the item: the owner stores the
// title and refreshes the item. The editor sits on the caption.
class TFrameListView::TLabelDelegate : public QStyledItemDelegate {
public:
    explicit TLabelDelegate(TFrameListView& frame) : QStyledItemDelegate(&frame), m_frame(frame) {}

    void setModelData(QWidget* editor, QAbstractItemModel*,
                      const QModelIndex& index) const override {
        if (auto* line = qobject_cast<QLineEdit*>(editor)) {
            m_frame.FinishLabelEdit(index.row(), line->text());
        }
    }

    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex&) const override {
        const QRect cell = option.rect;
        const int height = editor->sizeHint().height();
        if (m_frame.m_small) {
            const int left = cell.left() + kSmallPictureSize + 4;
            editor->setGeometry(QRect(left, cell.top() + (cell.height() - height) / 2,
                                      std::max(40, cell.right() - left), height));
        } else {
            editor->setGeometry(
                QRect(cell.left(), cell.top() + kLargePictureSize + 6, cell.width(), height));
        }
    }

private:
    TFrameListView& m_frame;
};

// ---- The frame ------------------------------------------------------------------------------

TFrameListView::TFrameListView(QWidget* parent)
    : QWidget(parent), m_model(new TConceptListModel(this)), m_list(new TIconList(*this)) {
    setObjectName("FrameListView");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_list);

    m_list->setObjectName("ListViewConcept");
    m_list->setModel(m_model);
    m_list->setItemDelegate(new TLabelDelegate(*this));
    m_list->setEditTriggers(QAbstractItemView::SelectedClicked);
    m_list->setDragEnabled(true);
    m_list->setAcceptDrops(true);
    m_list->viewport()->setAcceptDrops(true);
    m_list->setDragDropMode(QAbstractItemView::DragDrop);
    m_list->setIconSize(QSize(kLargePictureSize, kLargePictureSize));
    m_list->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_list->viewport()->setAutoFillBackground(true);
    m_list->viewport()->setBackgroundRole(QPalette::Base);
    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { ReportSelectionChange(); });
    m_bucketSize = CellSize();
    SetViewMode(0);
}

TFrameListView::~TFrameListView() {
    m_clearing = true;  // an open label editor closes without storing
    // The control goes first, while the frame it reports to is still whole (it loses the focus
    // as it goes).
    disconnect(m_list->selectionModel(), nullptr, this, nullptr);
    delete m_list;
    m_list = nullptr;
}

QAbstractItemView* TFrameListView::ListViewConcept() const {
    return m_list;
}

QSize TFrameListView::CellSize() const {
    const QFontMetrics metrics(m_list->font());
    if (m_small) {
        return QSize(180, std::max(kSmallPictureSize + 4, metrics.height() + 4));
    }
    return QSize(std::max(100, metrics.averageCharWidth() * 14),
                 kLargePictureSize + 10 + 2 * metrics.lineSpacing() + 4);
}

void TFrameListView::SetViewMode(int mode) {
    TIconViewRole role;
    role.multiSelect = mode == 0;
    role.freePositions = mode == 0;
    role.hideSelectionUnfocused = mode != 0;
    role.parentsPane = mode == 1;
    m_viewMode = mode == 1 ? 1 : mode == 0 ? 0 : 2;
    SetRole(role);
}

void TFrameListView::SetRole(const TIconViewRole& role) {
    // A role without the parents-pane flag leaves a pane set by SetViewMode as it was.
    if (role.freePositions) {
        m_viewMode = 0;
    } else if (role.parentsPane) {
        m_viewMode = 1;
    } else if (m_viewMode == 0) {
        m_viewMode = 2;
    }
    m_role = role;
    m_list->setSelectionMode(role.multiSelect ? QAbstractItemView::ExtendedSelection
                                              : QAbstractItemView::SingleSelection);
    m_model->SetPictures(m_viewMode == 1, m_small);
    Relayout();
}

void TFrameListView::SetSmallIcons(bool small) {
    m_small = small;
    const int size = small ? kSmallPictureSize : kLargePictureSize;
    m_list->setIconSize(QSize(size, size));
    m_model->SetPictures(m_viewMode == 1, small);
    Relayout();
}

bool TFrameListView::ShowsWatermark() const {
    return m_viewMode == 0 && m_model->Count() == 0;
}

int TFrameListView::PictureOf(const TConceptListItem& item) const {
    return ListImageIndex(item.Data(), m_viewMode == 1);
}

// ---- Positions ------------------------------------------------------------------------------

void TFrameListView::IndexRow(int row) {
    const QPoint at = m_model->Item(row).Position();
    m_buckets[BucketKey(FloorDiv(at.x(), m_bucketSize.width()),
                        FloorDiv(at.y(), m_bucketSize.height()))]
        .push_back(row);
}

void TFrameListView::UnindexRow(int row) {
    const QPoint at = m_model->Item(row).Position();
    const auto found = m_buckets.find(
        BucketKey(FloorDiv(at.x(), m_bucketSize.width()), FloorDiv(at.y(), m_bucketSize.height())));
    if (found == m_buckets.end()) {
        return;
    }
    std::vector<int>& rows = found->second;
    const auto it = std::find(rows.begin(), rows.end(), row);
    if (it != rows.end()) {
        *it = rows.back();
        rows.pop_back();
    }
}

std::vector<int> TFrameListView::RowsIn(const QRect& content) const {
    // An icon is one bucket in size, so one filed a bucket up or left may still reach in.
    std::vector<int> rows;
    const QSize cell = CellSize();
    const int bw = m_bucketSize.width();
    const int bh = m_bucketSize.height();
    for (int by = FloorDiv(content.top(), bh) - 1; by <= FloorDiv(content.bottom(), bh); ++by) {
        for (int bx = FloorDiv(content.left(), bw) - 1; bx <= FloorDiv(content.right(), bw); ++bx) {
            const auto found = m_buckets.find(BucketKey(bx, by));
            if (found == m_buckets.end()) {
                continue;
            }
            for (const int row : found->second) {
                if (QRect(m_model->Item(row).Position(), cell).intersects(content)) {
                    rows.push_back(row);
                }
            }
        }
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

TConceptListItem* TFrameListView::ItemAt(const QPoint& viewportPos) const {
    const QPoint at = viewportPos + m_list->Offset();
    const std::vector<int> rows = RowsIn(QRect(at, QSize(1, 1)));
    // The icon drawn last is the one on top.
    return rows.empty() ? nullptr : &m_model->Item(rows.back());
}

bool TFrameListView::CellIsFree(const QRect& cell) const {
    return RowsIn(cell).empty();
}

int TFrameListView::FreeColumns() const {
    return std::max(1, m_list->viewport()->width() / CellSize().width());
}

void TFrameListView::PlaceUnplaced(const std::vector<int>& rows) {
    const QSize cell = CellSize();
    const int columns = FreeColumns();
    long long next = 0;
    for (const int row : rows) {
        QRect at;
        do {
            at = QRect(QPoint(static_cast<int>(next % columns) * cell.width(),
                              static_cast<int>(next / columns) * cell.height()),
                       cell);
            ++next;
        } while (!CellIsFree(at));
        m_model->Item(row).m_position = at.topLeft();
        IndexRow(row);
    }
}

void TFrameListView::Arrange() {
    const QSize cell = CellSize();
    const int columns = FreeColumns();
    m_buckets.clear();
    for (int row = 0; row < m_model->Count(); ++row) {
        m_model->Item(row).m_position =
            QPoint((row % columns) * cell.width(), (row / columns) * cell.height());
        IndexRow(row);
    }
    m_contentSize = QSize();
    if (m_model->Count() > 0) {
        const int rows = (m_model->Count() + columns - 1) / columns;
        m_contentSize =
            QSize(std::min(m_model->Count(), columns) * cell.width(), rows * cell.height());
    }
    m_list->updateGeometries();
    m_list->viewport()->update();
}

void TFrameListView::Relayout() {
    m_bucketSize = CellSize();
    if (!m_role.freePositions) {
        Arrange();
        return;
    }
    m_buckets.clear();
    for (int row = 0; row < m_model->Count(); ++row) {
        IndexRow(row);
    }
    UpdateContent();
}

void TFrameListView::UpdateContent() {
    const QSize cell = CellSize();
    m_contentSize = QSize();
    for (int row = 0; row < m_model->Count(); ++row) {
        GrowContent(m_model->Item(row).Position(), cell);
    }
    m_list->updateGeometries();
    m_list->viewport()->update();
}

void TFrameListView::GrowContent(QPoint position, QSize cell) {
    m_contentSize =
        m_contentSize.expandedTo(QSize(position.x() + cell.width(), position.y() + cell.height()));
}

void TFrameListView::SetItemPosition(TConceptListItem& item, QPoint position) {
    UnindexRow(item.m_row);
    item.m_position = position;
    IndexRow(item.m_row);
    GrowContent(position, CellSize());
}

store::TConceptList TFrameListView::TakePositions(const std::vector<int>& rows) {
    store::TConceptList placed;
    for (const int row : rows) {
        store::TConceptData& data = m_model->Item(row).Data();
        const QPoint at = m_model->Item(row).Position();
        data.IconPos = store::TIconPoint{at.x(), at.y()};
        placed.AddNew().Assign(data);
    }
    return placed;
}

void TFrameListView::StoreItemPosition(TConceptListItem& item) {
    const store::TConceptList placed = TakePositions({item.m_row});
    if (OnItemsPlaced) {
        OnItemsPlaced(placed);
    }
}

// ---- Content --------------------------------------------------------------------------------

void TFrameListView::SetItems(const store::TConceptList& list) {
    std::vector<const store::TConceptData*> order;
    order.reserve(static_cast<std::size_t>(list.Count()));
    const auto unplaced = [](const store::TConceptData& d) {
        return d.IconPos.X == store::kNotPlaced;
    };
    for (int i = 0; i < list.Count(); ++i) {
        if (!m_role.freePositions || !unplaced(list[i])) {
            order.push_back(&list[i]);
        }
    }
    const std::size_t placedCount = order.size();
    if (m_role.freePositions) {
        for (int i = 0; i < list.Count(); ++i) {
            if (unplaced(list[i])) {
                order.push_back(&list[i]);
            }
        }
    }

    ++m_quietSelection;
    m_list->setUpdatesEnabled(false);
    CancelLabelEdit();
    m_clearing = true;
    m_model->Reset(order);
    m_clearing = false;
    m_rowOf.clear();
    m_rowOf.reserve(order.size());
    for (int row = 0; row < m_model->Count(); ++row) {
        m_rowOf.emplace(ItemKey(m_model->Item(row).Data()), row);
    }
    std::vector<int> newlyPlaced;
    if (m_role.freePositions) {
        for (int row = 0; row < m_model->Count(); ++row) {
            const store::TIconPoint& at = m_model->Item(row).Data().IconPos;
            m_model->Item(row).m_position = QPoint(std::max(0, at.X), std::max(0, at.Y));
            if (static_cast<std::size_t>(row) >= placedCount) {
                newlyPlaced.push_back(row);
            }
        }
        m_buckets.clear();
        m_bucketSize = CellSize();
        for (std::size_t row = 0; row < placedCount; ++row) {
            IndexRow(static_cast<int>(row));
        }
        PlaceUnplaced(newlyPlaced);
        UpdateContent();
    } else {
        Arrange();
    }
    m_list->setUpdatesEnabled(true);
    --m_quietSelection;
    if (!newlyPlaced.empty() && OnItemsPlaced) {
        OnItemsPlaced(TakePositions(newlyPlaced));
    }
}

TConceptListItem& TFrameListView::AddConceptItem(const store::TConceptData& data) {
    TConceptListItem& item = m_model->Append(data);
    m_rowOf.emplace(ItemKey(item.Data()), item.m_row);
    if (!m_role.freePositions) {
        Arrange();
        return item;
    }
    if (data.IconPos.X == store::kNotPlaced) {
        PlaceUnplaced({item.m_row});
    } else {
        item.m_position = QPoint(std::max(0, data.IconPos.X), std::max(0, data.IconPos.Y));
        IndexRow(item.m_row);
    }
    GrowContent(item.Position(), CellSize());
    m_list->updateGeometries();
    m_list->viewport()->update();
    if (data.IconPos.X == store::kNotPlaced) {
        StoreItemPosition(item);
    }
    return item;
}

void TFrameListView::UpdateItem(TConceptListItem& item) {
    m_model->Changed(item.m_row);
}

void TFrameListView::RefreshItems(const store::TConceptData& item) {
    for (int row = 0; row < m_model->Count(); ++row) {
        store::TConceptData& data = m_model->Item(row).Data();
        if (data.ConceptNo() != item.ConceptNo()) {
            continue;
        }
        data.SetTitle(item.Title());
        data.SetHasChildren(item.HasChildren());
        if (item.IsLink() && data.IsLink() && data.LinkNo == item.LinkNo) {
            data.LinkCode = item.LinkCode;
        }
        m_model->Changed(row);
    }
}

void TFrameListView::ClearItems() {
    ++m_quietSelection;
    CancelLabelEdit();
    m_clearing = true;
    m_list->selectionModel()->clear();
    m_model->Reset({});
    m_clearing = false;
    m_rowOf.clear();
    m_buckets.clear();
    m_contentSize = QSize();
    m_list->updateGeometries();
    m_list->viewport()->update();
    --m_quietSelection;
}

// ---- Selection ------------------------------------------------------------------------------

std::vector<int> TFrameListView::SelectedRows() const {
    std::vector<int> rows;
    for (const QItemSelectionRange& range : m_list->selectionModel()->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row) {
            rows.push_back(row);
        }
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

std::unique_ptr<store::TConceptList> TFrameListView::GetSelectedList() const {
    auto list = std::make_unique<store::TConceptList>();
    for (const int row : SelectedRows()) {
        list->AddNew().Assign(m_model->Item(row).Data());
    }
    return list;
}

std::vector<store::TConceptData> TFrameListView::SelectedItems() const {
    std::vector<store::TConceptData> items;
    for (const int row : SelectedRows()) {
        items.push_back(m_model->Item(row).Data());
    }
    return items;
}

std::vector<store::TConceptData> TFrameListView::Items() const {
    std::vector<store::TConceptData> items;
    items.reserve(static_cast<std::size_t>(m_model->Count()));
    for (int row = 0; row < m_model->Count(); ++row) {
        items.push_back(m_model->Item(row).Data());
    }
    return items;
}

TConceptListItem* TFrameListView::FindItem(const store::TConceptData& data) {
    const std::vector<int> selected = SelectedRows();
    if (!selected.empty() && store::SameConceptData(m_model->Item(selected.front()).Data(), data)) {
        return &m_model->Item(selected.front());
    }
    const auto found = m_rowOf.find(ItemKey(data));
    return found == m_rowOf.end() ? nullptr : &m_model->Item(found->second);
}

bool TFrameListView::SelectItem(const store::TConceptData& data) {
    TConceptListItem* item = FindItem(data);
    if (item == nullptr) {
        return false;
    }
    const QModelIndex index = m_model->index(item->m_row, 0);
    ++m_quietSelection;
    if (!m_list->selectionModel()->isSelected(index) || SelectedRows().size() != 1) {
        m_list->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    }
    --m_quietSelection;
    m_list->scrollTo(index);
    return true;
}

void TFrameListView::SelectItems(const store::TConceptList& items) {
    std::vector<int> rows;
    for (int i = 0; i < items.Count(); ++i) {
        const auto found = m_rowOf.find(ItemKey(items[i]));
        if (found != m_rowOf.end()) {
            rows.push_back(found->second);
        }
    }
    ++m_quietSelection;
    if (!rows.empty()) {
        m_list->selectionModel()->setCurrentIndex(m_model->index(rows.front(), 0),
                                                  QItemSelectionModel::NoUpdate);
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    if (!m_role.multiSelect && rows.size() > 1) {
        rows.erase(rows.begin() + 1, rows.end());
    }
    m_list->selectionModel()->select(RangesOf(*m_model, rows), QItemSelectionModel::ClearAndSelect);
    --m_quietSelection;
}

void TFrameListView::ClearSelection() {
    m_list->clearSelection();
}

void TFrameListView::SelectAll() {
    if (m_role.multiSelect) {
        m_list->selectAll();
    }
}

void TFrameListView::ReportSelectionChange() {
    if (m_quietSelection == 0 && !m_clearing && OnSelectionChange) {
        OnSelectionChange();
    }
}

void TFrameListView::MarkSelectedCut() {
    ClearCutMarks();
    for (const int row : SelectedRows()) {
        m_model->Item(row).m_cut = true;
    }
    m_list->viewport()->update();
}

void TFrameListView::ClearCutMarks() {
    for (int row = 0; row < m_model->Count(); ++row) {
        m_model->Item(row).m_cut = false;
    }
    m_list->viewport()->update();
}

// ---- Drags ----------------------------------------------------------------------------------

TFrameListView::TDragKind TFrameListView::DragKindFor(Qt::KeyboardModifiers pressModifiers) const {
    const std::vector<int> rows = SelectedRows();
    if (rows.empty()) {
        return TDragKind::None;
    }
    const bool ctrl = pressModifiers.testFlag(Qt::ControlModifier);
    if (!ctrl) {
        // Only the workspace moves icons; a plain drag in a pane is no drag at all.
        return m_viewMode == 0 ? TDragKind::Move : TDragKind::None;
    }
    if (OnIsTopConcept) {
        for (const int row : rows) {
            if (OnIsTopConcept(m_model->Item(row).Data())) {
                return TDragKind::None;  // the top concept stays where it is
            }
        }
    }
    return TDragKind::Throw;
}

std::unique_ptr<TDragConceptListMoveObject> TFrameListView::BeginMove(const QPoint& pointer) {
    auto move = std::make_unique<TDragConceptListMoveObject>(this, m_model->Generation());
    const QPoint at = pointer + m_list->Offset();
    for (const int row : SelectedRows()) {
        const QPoint icon = m_model->Item(row).Position();
        move->AddDragItem(row, at.x() - icon.x(), at.y() - icon.y());
    }
    return move;
}

void TFrameListView::DragMoveTo(TDragConceptListMoveObject& move, const QPoint& pointer) {
    if (move.Frame != this || move.Generation != m_model->Generation()) {
        return;  // the icons it knew are gone
    }
    const QPoint at = pointer + m_list->Offset();
    // The icon furthest left of (or above) the pointer stops at 0, and the group keeps its shape.
    const int ax = std::max(at.x(), move.MaxOffsetX);
    const int ay = std::max(at.y(), move.MaxOffsetY);
    for (int i = 0; i < move.Count(); ++i) {
        const QPoint offset = move.GetOffset(i);
        SetItemPosition(m_model->Item(move.GetItem(i)), QPoint(ax - offset.x(), ay - offset.y()));
    }
    m_list->updateGeometries();
    m_list->viewport()->update();  // one repaint for the whole group
}

void TFrameListView::FinishMove(TDragConceptListMoveObject& move) {
    if (move.Frame != this || move.Generation != m_model->Generation()) {
        return;
    }
    std::vector<int> rows;
    bool moved = false;
    for (int i = 0; i < move.Count(); ++i) {
        const TConceptListItem& item = m_model->Item(move.GetItem(i));
        const QPoint at = item.Position();
        moved = moved || at != QPoint(item.Data().IconPos.X, item.Data().IconPos.Y);
        rows.push_back(move.GetItem(i));
    }
    UpdateContent();  // the content may have shrunk
    if (!moved) {
        return;
    }
    const store::TConceptList positions = TakePositions(rows);
    if (OnItemsMoved) {
        OnItemsMoved(positions);
    }
}

void TFrameListView::StartDrag() {
    const TDragKind kind = DragKindFor(m_mouseDownShift);
    if (kind == TDragKind::None) {
        return;
    }
    auto* drag = new QDrag(m_list);
    if (kind == TDragKind::Throw) {
        drag->setMimeData(new TDragConceptListThrowObject(this));
        drag->exec(Qt::MoveAction);
        return;
    }
    TDragConceptListMoveObject* move = BeginMove(m_lastPointer).release();
    move->OnFinished = [this](TDragConceptListMoveObject& finished) { FinishMove(finished); };
    drag->setMimeData(move);  // QDrag owns it from here and frees it after the drag
    // The pointer keeps its normal shape: the icons themselves follow it.
    const QPixmap arrow = QCursor(Qt::ArrowCursor).pixmap();
    if (!arrow.isNull()) {
        drag->setDragCursor(arrow, Qt::MoveAction);
    }
    drag->exec(Qt::MoveAction);
    move->Finish();  // dropped anywhere or nowhere; freed later by the event loop
}

void TFrameListView::DropAt(const QMimeData& data, const QPoint& pointer) {
    std::unique_ptr<store::TConceptList> items;
    if (const auto* tree = qobject_cast<const TDragConceptTreeObject*>(&data)) {
        items = tree->Frame->GetSelectedList();
    } else if (const auto* thrown = qobject_cast<const TDragConceptListThrowObject*>(&data)) {
        items = thrown->Frame->GetSelectedList();
    } else {
        return;  // an icon move: its end stores the positions
    }
    if (items->Count() == 0 || !OnDropItems) {
        return;
    }
    // A copy: the owner's answer may refill this view.
    const TConceptListItem* target = ItemAt(pointer);
    store::TConceptData targetData;
    if (target != nullptr) {
        targetData = target->Data();
    }
    OnDropItems(*items, target != nullptr ? &targetData : nullptr);
}

// ---- Retitling ------------------------------------------------------------------------------

void TFrameListView::EditSelectedLabel() {
    const std::vector<int> rows = SelectedRows();
    if (rows.empty()) {
        return;
    }
    const int row = m_list->currentIndex().isValid() &&
                            m_list->selectionModel()->isSelected(m_list->currentIndex())
                        ? m_list->currentIndex().row()
                        : rows.front();
    if (m_model->Item(row).Data().IsLink()) {
        RefuseMirrorEdit();
        return;
    }
    const QModelIndex index = m_model->index(row, 0);
    m_list->scrollTo(index);
    m_list->edit(index);
}

void TFrameListView::RefuseMirrorEdit() {
    if (OnStatusText) {
        OnStatusText("鏡像から概念のタイトルを変更することは出来ません.");
    }
}

void TFrameListView::FinishLabelEdit(int row, const QString& text) {
    // An editor closed by clearing the view or by a cancel must not store what it held.
    if (m_clearing || m_cancellingEdit || row < 0 || row >= m_model->Count()) {
        return;
    }
    if (OnTitleEdited) {
        const store::TConceptData item = m_model->Item(row).Data();
        OnTitleEdited(item, text);
    }
}

QLineEdit* TFrameListView::LabelEditor() const {
    if (!m_list->Editing()) {
        return nullptr;
    }
    for (QLineEdit* line : m_list->viewport()->findChildren<QLineEdit*>()) {
        if (line->isVisible()) {
            return line;
        }
    }
    return nullptr;
}

bool TFrameListView::IsEditing() const {
    return LabelEditor() != nullptr;
}

bool TFrameListView::EditorHasSelection() const {
    const QLineEdit* line = LabelEditor();
    return line != nullptr && line->hasSelectedText();
}

void TFrameListView::SelectAllInEditor() {
    if (QLineEdit* line = LabelEditor()) {
        line->selectAll();
    }
}

void TFrameListView::CommitLabelEdit() {
    if (QLineEdit* line = LabelEditor()) {
        m_list->CloseLabelEditor(line, true);
    }
}

void TFrameListView::CancelLabelEdit() {
    if (QLineEdit* line = LabelEditor()) {
        m_cancellingEdit = true;
        m_list->CloseLabelEditor(line, false);
        m_cancellingEdit = false;
    }
}

}  // namespace velmora::views
