#include "about_box.h"

#include <QFont>
#include <QFrame>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "commands.h"

namespace velmora::app {

namespace {

QLabel* Text(const char* name, const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    return label;
}

}  // namespace

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
    setObjectName("AboutBox");
    setWindowTitle("バージョン情報");

    auto* panel = new QFrame(this);
    panel->setObjectName("Panel1");
    panel->setFrameShape(QFrame::StyledPanel);
    panel->setFrameShadow(QFrame::Sunken);

    auto* programIcon = new QLabel(panel);
    programIcon->setObjectName("ProgramIcon");
    const QIcon icon = ProgramIcon();
    if (!icon.isNull()) {
        programIcon->setPixmap(icon.pixmap(32, 32));
    }
    QLabel* productName = Text("ProductName", "Velmora", panel);
    QFont bold = productName->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.4);
    productName->setFont(bold);
    QLabel* version = Text("Version", "ver. 1.40", panel);
    QLabel* comments = Text("Comments", "(オントロジーオーサリングツール)", panel);

    auto* texts = new QVBoxLayout;
    texts->addWidget(productName);
    texts->addWidget(version);
    texts->addSpacing(8);
    texts->addWidget(comments);
    auto* panelLayout = new QHBoxLayout(panel);
    panelLayout->setContentsMargins(16, 16, 24, 16);
    panelLayout->setSpacing(16);
    panelLayout->addWidget(programIcon, 0, Qt::AlignTop);
    panelLayout->addLayout(texts, 1);

    auto* okBtn = new QPushButton("OK", this);
    okBtn->setObjectName("OKBtn");
    okBtn->setDefault(true);
    auto* cancelBtn = new QPushButton("キャンセル", this);
    cancelBtn->setObjectName("CancelBtn");
    connect(okBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancelBtn, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(okBtn);
    buttons->addWidget(cancelBtn);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(panel);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace velmora::app
