// A TUserInterface that answers from a script and records what it was asked, for GUI tests.
#pragma once

#include <gtest/gtest.h>

#include <QDialog>
#include <QPrinter>
#include <QString>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "user_interface.h"

namespace velmora::app::testing {

class TScriptedUi : public TUserInterface {
public:
    struct TQuestion {
        store::TMessageKind kind;
        store::TButtons buttons;
        QString text;
        QString caption;
    };

    // Answers in order; a question with no answer left fails the test and answers Cancel
    // (or OK for a box with only OK).
    std::deque<store::TAnswer> answers;
    std::vector<TQuestion> questions;
    // File names the dialogs return in order; nothing left means the user cancelled.
    std::deque<std::optional<QString>> openFileNames;
    std::deque<std::optional<QString>> saveFileNames;
    std::vector<QString> saveFileNamePresets;
    // Drives a modal dialog of the program, shown: fill its fields and click its buttons, or
    // return Accepted or Rejected to have it closed so. Unset: the dialog is rejected.
    std::function<int(QDialog&)> modal;
    std::vector<QString> modalDialogs;  // the class names of the dialogs shown
    bool printAnswer = false;
    int printRequests = 0;
    QString printToFile;  // when set, an accepted print goes to this PDF file
    std::vector<QString> openedWithDesktop;
    bool desktopOpens = true;

    store::TAnswer Ask(store::TMessageKind kind, store::TButtons buttons, const QString& text,
                       const QString& caption = {}) override {
        questions.push_back({kind, buttons, text, caption});
        if (answers.empty()) {
            if (buttons == store::TButtons::Ok) {
                return store::TAnswer::Ok;
            }
            ADD_FAILURE() << "unexpected question: " << text.toStdString();
            return store::TAnswer::Cancel;
        }
        const store::TAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }

    std::optional<QString> AskOpenFileName(QWidget*, const QString&) override {
        return Next(openFileNames);
    }

    std::optional<QString> AskSaveFileName(QWidget*, const QString& preset, const QString&,
                                           const QString&) override {
        saveFileNamePresets.push_back(preset);
        return Next(saveFileNames);
    }

    int RunModal(QDialog& dialog) override {
        modalDialogs.push_back(dialog.metaObject()->className());
        bool finished = false;
        const auto connection =
            QObject::connect(&dialog, &QDialog::finished, [&finished] { finished = true; });
        dialog.show();
        const int result = modal ? modal(dialog) : QDialog::Rejected;
        QObject::disconnect(connection);
        if (finished) {
            return dialog.result();  // closed by one of its own buttons
        }
        dialog.done(result);
        return result;
    }

    bool AskPrint(QWidget*, QPrinter& printer) override {
        ++printRequests;
        if (!printToFile.isEmpty()) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(printToFile);
        }
        return printAnswer;
    }

    bool OpenWithDesktop(const QString& path) override {
        openedWithDesktop.push_back(path);
        return desktopOpens;
    }

    // The texts of the questions asked so far.
    std::vector<QString> Texts() const {
        std::vector<QString> texts;
        for (const TQuestion& q : questions) {
            texts.push_back(q.text);
        }
        return texts;
    }

private:
    static std::optional<QString> Next(std::deque<std::optional<QString>>& queue) {
        // Built from the string, not copied as an optional: GCC 12 at -O3 reports the copy of
        // an optional QString as maybe uninitialized.
        if (queue.empty()) {
            return std::nullopt;
        }
        const bool given = queue.front().has_value();
        const QString text = given ? *queue.front() : QString();
        queue.pop_front();
        if (!given) {
            return std::nullopt;
        }
        return text;
    }
};

}  // namespace velmora::app::testing
