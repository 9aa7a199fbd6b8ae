#include "relation_panel.h"

#include <QComboBox>
#include <QLabel>
#include <algorithm>

#include "concept_pictures.h"

namespace velmora::app {

namespace {
constexpr int kPictureSize = 32;
constexpr int kChooserLeft = 48;
constexpr int kChooserWidth = 200;
constexpr int kCommentLeft = 262;
constexpr int kCommentInset = 270;
constexpr int kMinimumHeight = 56;
}  // namespace

TRelationPanel::TRelationPanel(const QString& panelName, const QString& imageName,
                               const QString& chooserName, const QString& commentName,
                               QWidget* parent)
    : QFrame(parent),
      m_image(new QLabel(this)),
      m_chooser(new QComboBox(this)),
      m_comment(new QLabel(this)) {
    setObjectName(panelName);
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    m_image->setObjectName(imageName);
    m_image->setFixedSize(kPictureSize, kPictureSize);
    m_chooser->setObjectName(chooserName);
    m_chooser->setIconSize(QSize(views::kSmallPictureSize, views::kSmallPictureSize));
    m_comment->setObjectName(commentName);
    m_comment->setWordWrap(true);
    m_comment->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // Only a choice of the user changes a relation, never a programmatic selection.
    connect(m_chooser, &QComboBox::activated, this, [this](int index) {
        if (OnChosen && index >= 0) {
            OnChosen(m_chooser->itemData(index).toInt());
        }
    });
}

void TRelationPanel::SetChoices(const std::vector<TChoice>& choices) {
    m_chooser->clear();
    for (const TChoice& choice : choices) {
        m_chooser->addItem(views::RelationPicture(choice.code), choice.title, choice.code);
    }
    m_chooser->setCurrentIndex(-1);
    m_image->clear();
    m_comment->clear();
}

bool TRelationPanel::ShowRelation(std::int32_t code, const QString& comment) {
    const int index = m_chooser->findData(code);
    if (index < 0) {
        return false;
    }
    m_comment->setText(comment);
    m_chooser->setCurrentIndex(index);
    m_image->setPixmap(views::RelationPicture(code).pixmap(kPictureSize, kPictureSize));
    LayOut(width());
    return true;
}

void TRelationPanel::SetChooserEnabled(bool enabled) {
    m_chooser->setEnabled(enabled);
}

bool TRelationPanel::ChooserEnabled() const {
    return m_chooser->isEnabled();
}

void TRelationPanel::LayOut(int width) {
    const int commentWidth = std::max(width - kCommentInset, 40);
    const int commentHeight = m_comment->heightForWidth(commentWidth);
    const int height = std::max(std::max(commentHeight, 0) + 32, kMinimumHeight);
    resize(width, height);
    m_image->move(8, (height - kPictureSize) / 2);
    const int chooserHeight = m_chooser->sizeHint().height();
    m_chooser->setGeometry(kChooserLeft, (height - chooserHeight) / 2, kChooserWidth,
                           chooserHeight);
    m_comment->setGeometry(kCommentLeft, 16, commentWidth, height - 32);
}

}  // namespace velmora::app
