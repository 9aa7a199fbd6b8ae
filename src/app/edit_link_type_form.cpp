#include "edit_link_type_form.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "settings.h"
#include "user_interface.h"

namespace velmora::app {

namespace {

constexpr int kClientWidth = 262;
constexpr int kClientHeight = 219;

}  // namespace

TFormEditLinkType::TFormEditLinkType(TUserInterface& ui, QWidget* parent)
    : QDialog(parent), m_ui(ui) {
    setObjectName(QStringLiteral("FormEditLinkType"));
    setWindowTitle(QStringLiteral(u"リンクの定義の編集"));

    auto* titleLabel = new QLabel(QStringLiteral(u"ラベル"), this);
    m_title = new QLineEdit(this);
    m_title->setObjectName(QStringLiteral("LabeledEditTitle"));
    titleLabel->setBuddy(m_title);
    auto* commentLabel = new QLabel(QStringLiteral(u"説明"), this);
    m_comment = new QPlainTextEdit(this);
    m_comment->setObjectName(QStringLiteral("MemoLinkComment"));
    m_comment->setTabChangesFocus(true);
    commentLabel->setBuddy(m_comment);

    QHBoxLayout* buttonRow = OkCancelButtonRow(*this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(titleLabel);
    layout->addWidget(m_title);
    layout->addWidget(commentLabel);
    layout->addWidget(m_comment, 1);
    layout->addLayout(buttonRow);

    // Fixed, centred on the properties dialog (Qt's placement for a dialog with a parent).
    setFixedSize(SizeForFont(QSize(kClientWidth, kClientHeight), font()));
    m_title->setFocus();
}

void TFormEditLinkType::SetLink(const QString& label, const QString& comment) {
    m_title->setText(label);
    // The memo would take the CR of a CR LF for a line break of its own.
    QString lines = comment;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    m_comment->setPlainText(lines);
}

QString TFormEditLinkType::Label() const {
    return m_title->text();
}

QString TFormEditLinkType::Comment() const {
    QString text = m_comment->toPlainText();
    text.replace(u'\n', QStringLiteral("\r\n"));
    return text;
}

void TFormEditLinkType::accept() {
    if (m_title->text().isEmpty()) {
        m_ui.Ask(store::TMessageKind::Warning, store::TButtons::OkCancel,
                 QStringLiteral(u"リンクにはラベルが必要です."));
        m_title->setFocus();
        return;
    }
    QDialog::accept();
}

}  // namespace velmora::app
