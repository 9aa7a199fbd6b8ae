#include "application.h"

#include <QFontDatabase>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QTranslator>
#include <exception>

#include "commands.h"
#include "qt_text.h"
#include "user_interface.h"
#include "velmora_version.h"

namespace velmora::app {

TVelmoraApplication::TVelmoraApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName("Velmora");
    setApplicationVersion(
        QString::fromUtf8(kVelmoraVersion.data(), static_cast<qsizetype>(kVelmoraVersion.size())));
    setDesktopFileName("velmora");
    setWindowIcon(ProgramIcon());
    setFont(InterfaceFont());
    // Dates and numbers in Qt's own dialogs as a Japanese user reads them, and their texts.
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
    InstallQtTranslations(*this);
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

bool InstallQtTranslations(QCoreApplication& application) {
    auto* translator = new QTranslator(&application);
    if (!translator->load(QLocale(QLocale::Japanese, QLocale::Japan), "qtbase", "_",
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;  // the dialogs stay in English; nothing else depends on it
    }
    return QCoreApplication::installTranslator(translator);
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
