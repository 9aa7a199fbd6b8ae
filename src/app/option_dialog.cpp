#include "option_dialog.h"

#include <QCheckBox>
#include <QEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "settings.h"
#include "user_interface.h"

namespace velmora::app {

namespace {

constexpr int kClientWidth = 427;
constexpr int kClientHeight = 300;
constexpr int kDefaultFontSize = 2;

}  // namespace

TOptionDlgForm::TOptionDlgForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("OptionDlgForm"));
    setWindowTitle(QStringLiteral(u"オプション"));

    auto* pages = new QTabWidget(this);
    pages->setObjectName(QStringLiteral("PageControl1"));

    // Basic settings: the user name and the font size.
    auto* basic = new QWidget;
    basic->setObjectName(QStringLiteral("TabSheet1"));
    auto* basicLayout = new QVBoxLayout(basic);
    auto* userLabel = new QLabel(QStringLiteral(u"ユーザー名："), basic);
    m_editUser = new QLineEdit(basic);
    m_editUser->setObjectName(QStringLiteral("EditUser"));
    userLabel->setBuddy(m_editUser);
    // Text on the page rather than a field; it wraps as the font size asks.
    auto* userNote = new QLabel(
        QStringLiteral(u"　ユーザー名は概念データを編集したときに編集者の記名を自動で行う\n"
                       u"ために用いられます．"),
        basic);
    userNote->setObjectName(QStringLiteral("MemoUserNote"));
    userNote->setWordWrap(true);
    userNote->setMargin(4);
    auto* sizeLabel = new QLabel(QStringLiteral(u"文字のサイズ："), basic);
    auto* sizeRow = new QHBoxLayout;
    const QString sizeCaptions[] = {QStringLiteral(u"小"), QStringLiteral(u"標準"),
                                    QStringLiteral(u"大"), QStringLiteral(u"特大"),
                                    QStringLiteral(u"極大")};
    for (int i = 0; i < 5; ++i) {
        auto* button = new QRadioButton(sizeCaptions[i], basic);
        button->setObjectName(QStringLiteral("RadioButton%1").arg(i + 1));
        // clicked, not toggled: filling the dialog must not preview anything
        connect(button, &QRadioButton::clicked, this,
                [this] { emit FontSizeClicked(SelectedFontSize()); });
        m_sizeButtons[static_cast<size_t>(i)] = button;
        sizeRow->addWidget(button);
    }
    sizeRow->addStretch();
    basicLayout->addWidget(userLabel);
    basicLayout->addWidget(m_editUser);
    basicLayout->addWidget(userNote);
    basicLayout->addWidget(sizeLabel);
    basicLayout->addLayout(sizeRow);
    basicLayout->addStretch();
    pages->addTab(basic, QStringLiteral(u"基本設定"));

    // Advanced settings: user-defined relations.
    auto* advanced = new QWidget;
    advanced->setObjectName(QStringLiteral("TabSheet2"));
    auto* advancedLayout = new QVBoxLayout(advanced);
    m_checkBoxUseVariousLink =
        new QCheckBox(QStringLiteral(u"概念の「関係」にユーザー定義の関係を用いる．"), advanced);
    m_checkBoxUseVariousLink->setObjectName(QStringLiteral("CheckBoxUseVariousLink"));
    auto* relationNote = new QLabel(
        QStringLiteral(u"　デフォルトでは概念間には「上位・下位」の関係を表現できるのみですが，"
                       u"このチェックボックスをチェックすると「対義」，「類義」などのユーザー定義の"
                       u"関係を用いることができます．"),
        advanced);
    relationNote->setObjectName(QStringLiteral("LabelUseVariousLinkNote"));
    relationNote->setWordWrap(true);
    advancedLayout->addWidget(m_checkBoxUseVariousLink);
    advancedLayout->addWidget(relationNote);
    advancedLayout->addStretch();
    pages->addTab(advanced, QStringLiteral(u"上級者設定"));

    QHBoxLayout* buttonRow = OkCancelButtonRow(*this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pages, 1);
    layout->addLayout(buttonRow);

    FitToFont();
    // The welcome asks for a user name: the cursor waits in its field.
    m_editUser->setFocus();
}

void TOptionDlgForm::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        FitToFont();
    }
}

// The designed size; the large font sizes get the room their texts need.
void TOptionDlgForm::FitToFont() {
    setFixedSize(SizeForFont(QSize(kClientWidth, kClientHeight), font()));
    // Centred on the screen rather than on the main window, also after growing; moving it
    // also keeps Qt from placing it over the parent when shown.
    const QWidget* owner = parentWidget();
    const QScreen* screen = owner != nullptr ? owner->screen() : QGuiApplication::primaryScreen();
    if (screen != nullptr) {
        move(screen->availableGeometry().center() - rect().center());
    }
}

void TOptionDlgForm::Fill(const QString& author, int fontSize, bool useVariousLink) {
    m_editUser->setText(author);
    for (int i = 0; i < 5; ++i) {
        if (i + 1 == fontSize) {
            m_sizeButtons[static_cast<size_t>(i)]->setChecked(true);
        }
    }
    m_checkBoxUseVariousLink->setChecked(useVariousLink);
}

QString TOptionDlgForm::UserName() const {
    return m_editUser->text();
}

int TOptionDlgForm::SelectedFontSize() const {
    for (int i = 0; i < 5; ++i) {
        if (m_sizeButtons[static_cast<size_t>(i)]->isChecked()) {
            return i + 1;
        }
    }
    return kDefaultFontSize;
}

bool TOptionDlgForm::UseVariousLink() const {
    return m_checkBoxUseVariousLink->isChecked();
}

void RunOptionDialog(TUserInterface& ui, TQuillonIniFile& settings, const TOptionHooks& hooks,
                     QWidget* parent) {
    TOptionDlgForm dialog(parent);
    dialog.Fill(settings.Author(), settings.FontSize(), settings.UseVariousLink());
    QObject::connect(&dialog, &TOptionDlgForm::FontSizeClicked, [&hooks](int code) {
        if (hooks.setFontSize) {
            hooks.setFontSize(code);
        }
    });

    // Whatever was previewed, the main window ends up showing what the file holds, also when
    // writing the choices failed.
    const auto showWhatTheFileHolds = [&settings, &hooks] {
        if (hooks.setFontSize) {
            hooks.setFontSize(settings.FontSize());
        }
        if (hooks.setUseVariousLink) {
            hooks.setUseVariousLink(settings.UseVariousLink());
        }
    };
    if (ui.RunModal(dialog) == QDialog::Accepted) {
        try {
            settings.SetAuthor(dialog.UserName());
            settings.SetFontSize(dialog.SelectedFontSize());
            if (hooks.refreshEditor) {
                hooks.refreshEditor();
            }
            settings.SetUseVariousLink(dialog.UseVariousLink());
        } catch (...) {
            showWhatTheFileHolds();
            throw;
        }
    }
    showWhatTheFileHolds();
}

}  // namespace velmora::app
