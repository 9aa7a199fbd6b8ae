// The program's QApplication: the application title and icon, the Japanese interface font,
// Qt's own texts in Japanese, and the general error handler for exceptions that escape an event
// handler, so that nothing ends the program with a crash.
#pragma once

#include <QApplication>

namespace velmora::app {

class TUserInterface;

class TVelmoraApplication : public QApplication {
public:
    TVelmoraApplication(int& argc, char** argv);

    // The error box of the general handler goes through ui (nullptr: a plain message box).
    void SetUserInterface(TUserInterface* ui) { m_ui = ui; }
    bool notify(QObject* receiver, QEvent* event) override;

private:
    TUserInterface* m_ui = nullptr;
};

// Qt's own texts (file, print and other standard dialogs) in Japanese, from the Qt translations
// installed with the system; false when they are not installed.
bool InstallQtTranslations(QCoreApplication& application);

// The interface font: IPA P Gothic where installed, else the system's CJK sans, at 9 points.
QFont InterfaceFont();

}  // namespace velmora::app
