#include "application.h"

#include <QFontDatabase>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QProxyStyle>
#include <QStyleOptionMenuItem>
#include <QTranslator>
#include <exception>

#include "commands.h"
#include "qt_text.h"
#include "user_interface.h"
#include "velmora_version.h"

namespace velmora::app {

namespace {

// The platform's style with room for menu texts: at the larger font sizes the style draws a menu
// item's text in less width than it asked for it, and long captions came out cut in the middle
// ("オントロジーの新…成(N)...").
class TInterfaceStyle : public QProxyStyle {
public:
    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget) const override {
        QSize result = QProxyStyle::sizeFromContents(type, option, size, widget);
        if (type == CT_MenuItem) {
            if (const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
                item != nullptr && item->menuItemType != QStyleOptionMenuItem::Separator) {
                result.rwidth() += item->fontMetrics.height();
            }
        }
        return result;
    }
};

}  // namespace

TVelmoraApplication::TVelmoraApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName("Velmora");
    setApplicationVersion(
        QString::fromUtf8(kVelmoraVersion.data(), static_cast<qsizetype>(kVelmoraVersion.size())));
    setDesktopFileName("velmora");
    setStyle(new TInterfaceStyle);
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
