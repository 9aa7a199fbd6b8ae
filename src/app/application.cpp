#include "application.h"

#include <QFontDatabase>
#include <QMessageBox>
#include <exception>

#include "qt_text.h"
#include "user_interface.h"

namespace velmora::app {

TVelmoraApplication::TVelmoraApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName("Velmora");
    setApplicationVersion("1.40");
    setDesktopFileName("velmora");
    setFont(InterfaceFont());
}

bool TVelmoraApplication::notify(QObject* receiver, QEvent* event) {
    QString message;
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        message = FromUtf8(error.what());
    } catch (...) {
        message = "予期しないエラーが発生しました.";
    }
    if (m_ui != nullptr) {
        m_ui->Ask(store::TMessageKind::Error, store::TButtons::Ok, message);
    } else {
        QMessageBox::critical(nullptr, "エラー", message);
    }
    return false;
}

QFont InterfaceFont() {
    const QStringList families = QFontDatabase::families();
    QString family = "sans-serif";
    for (const char* candidate : {"IPAPGothic", "IPA Pゴシック", "Noto Sans CJK JP", "IPAGothic"}) {
        if (families.contains(candidate)) {
            family = candidate;
            break;
        }
    }
    QFont font(family, 9);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

}  // namespace velmora::app
