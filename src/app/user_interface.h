// Everything the desktop program asks of the user through a modal window: message boxes, the
// file dialogs, modal dialogs of its own, the print dialog and opening a file with the
// desktop's handler. The program asks only through this interface, so that tests answer from
// a script instead of a person.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>
#include <optional>

#include "questions.h"

class QDialog;
class QHBoxLayout;
class QPrinter;

namespace velmora::app {

class TUserInterface {
public:
    virtual ~TUserInterface() = default;

    // A message box; the caption defaults to the kind's own ("確認", "警告", ...).
    virtual store::TAnswer Ask(store::TMessageKind kind, store::TButtons buttons,
                               const QString& text, const QString& caption = {});
    // An existing file, or nothing when cancelled.
    virtual std::optional<QString> AskOpenFileName(QWidget* parent, const QString& filter);
    // A file name to write, preset and given the default suffix; nothing when cancelled.
    virtual std::optional<QString> AskSaveFileName(QWidget* parent, const QString& preset,
                                                   const QString& filter,
                                                   const QString& defaultSuffix);
    // Shows a dialog of the program modally; returns QDialog::Accepted or Rejected.
    virtual int RunModal(QDialog& dialog);
    // The print dialog; true when the user chose to print.
    virtual bool AskPrint(QWidget* parent, QPrinter& printer);
    // Opens a local file with the desktop's default handler; false when none took it.
    virtual bool OpenWithDesktop(const QString& path);

    // The window the message boxes stand over when no dialog of the program is open (the main
    // window); without one they are centred on the screen.
    void SetWindow(QWidget* window) { m_window = window; }
    QWidget* Window() const { return m_window; }

private:
    QPointer<QWidget> m_window;
};

// The questions of the core (save checks, the overwrite question) put to the user.
class TUiQuestioner : public store::TQuestioner {
public:
    explicit TUiQuestioner(TUserInterface& ui) : m_ui(ui) {}
    store::TAnswer Ask(store::TMessageKind kind, store::TButtons buttons,
                       const std::string& text) override;

private:
    TUserInterface& m_ui;
};

// The program's OK (default) and "キャンセル" buttons, OKBtn and CancelBtn, right-aligned in a
// row for the dialog's layout; they accept and reject the dialog.
QHBoxLayout* OkCancelButtonRow(QDialog& dialog);

// What the user is told when typed text had characters the files cannot hold.
QString UnconvertibleText(int count);
// A message text of the product for a box: its CR LF line breaks as Qt shows one break.
QString BoxText(const char* text);

// The texts of the buttons and captions, as the message boxes show them.
QString ButtonText(store::TAnswer answer);
QString KindCaption(store::TMessageKind kind);

}  // namespace velmora::app
