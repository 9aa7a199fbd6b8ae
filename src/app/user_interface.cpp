#include "user_interface.h"

#include <QHBoxLayout>

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QUrl>
#include <algorithm>
#include <vector>

#include "qt_text.h"

namespace velmora::app {

using store::TAnswer;
using store::TButtons;
using store::TMessageKind;

QString ButtonText(TAnswer answer) {
    switch (answer) {
        case TAnswer::Ok:
            return "OK";
        case TAnswer::Cancel:
            return "キャンセル";
        case TAnswer::Yes:
            return "はい(&Y)";
        case TAnswer::No:
            return "いいえ(&N)";
        case TAnswer::YesToAll:
            return "すべてはい(&A)";
    }
    return {};
}

QString KindCaption(TMessageKind kind) {
    switch (kind) {
        case TMessageKind::Confirmation:
            return "確認";
        case TMessageKind::Warning:
            return "警告";
        case TMessageKind::Error:
            return "エラー";
        case TMessageKind::Information:
            return "情報";
        case TMessageKind::Custom:
            return "Velmora";
    }
    return {};
}

namespace {

std::vector<TAnswer> AnswersOf(TButtons buttons) {
    switch (buttons) {
        case TButtons::Ok:
            return {TAnswer::Ok};
        case TButtons::OkCancel:
            return {TAnswer::Ok, TAnswer::Cancel};
        case TButtons::YesNo:
            return {TAnswer::Yes, TAnswer::No};
        case TButtons::YesNoCancel:
            return {TAnswer::Yes, TAnswer::No, TAnswer::Cancel};
        case TButtons::YesNoCancelYesToAll:
            return {TAnswer::Yes, TAnswer::No, TAnswer::Cancel, TAnswer::YesToAll};
    }
    return {TAnswer::Ok};
}

QMessageBox::ButtonRole RoleOf(TAnswer answer) {
    switch (answer) {
        case TAnswer::Ok:
        case TAnswer::Yes:
        case TAnswer::YesToAll:
            return QMessageBox::YesRole;
        case TAnswer::No:
            return QMessageBox::NoRole;
        case TAnswer::Cancel:
            return QMessageBox::RejectRole;
    }
    return QMessageBox::AcceptRole;
}

QMessageBox::Icon IconOf(TMessageKind kind) {
    switch (kind) {
        case TMessageKind::Confirmation:
            return QMessageBox::Question;
        case TMessageKind::Warning:
            return QMessageBox::Warning;
        case TMessageKind::Error:
            return QMessageBox::Critical;
        case TMessageKind::Information:
            return QMessageBox::Information;
        case TMessageKind::Custom:
            return QMessageBox::NoIcon;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

TAnswer TUserInterface::Ask(TMessageKind kind, TButtons buttons, const QString& text,
                            const QString& caption) {
    // Over the dialog the question comes from, else over the window.
    QWidget* parent = QApplication::activeModalWidget();
    QMessageBox box(IconOf(kind), caption.isEmpty() ? KindCaption(kind) : caption, text,
                    QMessageBox::NoButton, parent != nullptr ? parent : Window());
    const std::vector<TAnswer> answers = AnswersOf(buttons);
    std::vector<QPushButton*> pushButtons;
    for (const TAnswer answer : answers) {
        pushButtons.push_back(box.addButton(ButtonText(answer), RoleOf(answer)));
    }
    box.setDefaultButton(pushButtons.front());
    // Esc and the close box answer Cancel where there is one, else the only button.
    const auto cancel = std::find(answers.begin(), answers.end(), TAnswer::Cancel);
    box.setEscapeButton(cancel != answers.end()
                            ? pushButtons[static_cast<std::size_t>(cancel - answers.begin())]
                            : pushButtons.back());
    box.exec();
    for (std::size_t i = 0; i < pushButtons.size(); ++i) {
        if (box.clickedButton() == pushButtons[i]) {
            return answers[i];
        }
    }
    return cancel != answers.end() ? TAnswer::Cancel : answers.back();
}

std::optional<QString> TUserInterface::AskOpenFileName(QWidget* parent, const QString& filter) {
    const QString path = QFileDialog::getOpenFileName(parent, "開く", QString(), filter);
    return path.isEmpty() ? std::nullopt : std::optional<QString>(path);
}

std::optional<QString> TUserInterface::AskSaveFileName(QWidget* parent, const QString& preset,
                                                       const QString& filter,
                                                       const QString& defaultSuffix) {
    QFileDialog dialog(parent, "名前を付けて保存", QString(), filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(defaultSuffix);
    // The overwrite question is the program's own, asked after the dialog.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.selectFile(preset);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().front();
}

int TUserInterface::RunModal(QDialog& dialog) {
    return dialog.exec();
}

bool TUserInterface::AskPrint(QWidget* parent, QPrinter& printer) {
    QPrintDialog dialog(&printer, parent);
    return dialog.exec() == QDialog::Accepted;
}

bool TUserInterface::OpenWithDesktop(const QString& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

store::TAnswer TUiQuestioner::Ask(TMessageKind kind, TButtons buttons, const std::string& text) {
    return m_ui.Ask(kind, buttons, FromUtf8(text));
}

QHBoxLayout* OkCancelButtonRow(QDialog& dialog) {
    auto* okButton = new QPushButton(QStringLiteral("OK"), &dialog);
    okButton->setObjectName(QStringLiteral("OKBtn"));
    okButton->setDefault(true);
    QObject::connect(okButton, &QPushButton::clicked, &dialog, &QDialog::accept);
    auto* cancelButton = new QPushButton(QStringLiteral(u"キャンセル"), &dialog);
    cancelButton->setObjectName(QStringLiteral("CancelBtn"));
    QObject::connect(cancelButton, &QPushButton::clicked, &dialog, &QDialog::reject);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(okButton);
    row->addWidget(cancelButton);
    return row;
}

QString UnconvertibleText(int count) {
    return QString("Shift-JIS で表せない文字 %1 個を \"?\" に置き換えました.").arg(count);
}

QString BoxText(const char* text) {
    return QString::fromUtf8(text).replace("\r\n", "\n");
}

}  // namespace velmora::app
