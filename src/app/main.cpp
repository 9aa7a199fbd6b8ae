// The desktop program: velmora [FILE.ont] [--settings FILE.ini] [--screenshot FILE.png]
//                       [--no-recovery]
#include <QCommandLineParser>
#include <QDialog>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "application.h"
#include "main_form.h"
#include "recovery_copy.h"
#include "settings.h"
#include "user_interface.h"
#include "velmora_version.h"

namespace {

// Qt aborts without a word a user could act on when there is no display; say it first.
bool HasDisplay() {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    return (platform != nullptr && *platform) || std::getenv("DISPLAY") != nullptr ||
           std::getenv("WAYLAND_DISPLAY") != nullptr;
}

// A screenshot run waits for no one: a question goes to stderr and gets the answer of Esc, a
// dialog is cancelled.
class TUnattendedUi : public velmora::app::TUserInterface {
public:
    velmora::store::TAnswer Ask(velmora::store::TMessageKind, velmora::store::TButtons buttons,
                                const QString& text, const QString&) override {
        using velmora::store::TAnswer;
        using velmora::store::TButtons;
        std::fprintf(stderr, "velmora: %s\n", qPrintable(text));
        switch (buttons) {
            case TButtons::Ok:
                return TAnswer::Ok;
            case TButtons::YesNo:
                return TAnswer::No;
            default:
                return TAnswer::Cancel;
        }
    }
    std::optional<QString> AskOpenFileName(QWidget*, const QString&) override { return {}; }
    std::optional<QString> AskSaveFileName(QWidget*, const QString&, const QString&,
                                           const QString&) override {
        return {};
    }
    int RunModal(QDialog&) override { return QDialog::Rejected; }
    bool AskPrint(QWidget*, QPrinter&) override { return false; }
};

}  // namespace

int main(int argc, char** argv) {
    // Answered before anything needs a display, so that scripts and packagers can ask.
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--version") {
            std::printf("velmora %s\n", std::string(velmora::kVelmoraVersion).c_str());
            return 0;
        }
    }
    if (!HasDisplay()) {
        std::fputs(
            "velmora: no display to show the window on (DISPLAY is not set).\n"
            "Run it on a desktop, or in a virtual display:\n"
            "  xvfb-run -a velmora FILE.ont\n"
            "or without any display, for a quick look: QT_QPA_PLATFORM=offscreen velmora\n",
            stderr);
        return 1;
    }
    velmora::app::TVelmoraApplication application(argc, argv);

    QCommandLineParser parser;
    parser.setApplicationDescription("Velmora: オントロジーオーサリングツール");
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption settingsOption("settings", "設定ファイル (INI) の場所", "FILE",
                                            velmora::app::TQuillonIniFile::DefaultPath());
    parser.addOption(settingsOption);
    const QCommandLineOption screenshotOption(
        "screenshot", "起動後にウインドウの画像を FILE に保存して終了する", "FILE");
    parser.addOption(screenshotOption);
    const QCommandLineOption noRecoveryOption(
        "no-recovery",
        "回復用コピーを作らず, 残っている回復用コピーについても尋ねない (スクリプト用)");
    parser.addOption(noRecoveryOption);
    parser.addPositionalArgument("FILE", "開くオントロジーファイル (.ont)");
    parser.process(application);

    const bool screenshot = parser.isSet(screenshotOption);
    velmora::app::TUserInterface interactiveUi;
    TUnattendedUi unattendedUi;
    velmora::app::TUserInterface& ui = screenshot ? unattendedUi : interactiveUi;
    application.SetUserInterface(&ui);
    velmora::app::TMainForm form(ui, parser.value(settingsOption));
    if (!parser.isSet(noRecoveryOption)) {
        form.EnableRecovery(velmora::store::DefaultRecoveryFolder());
    }
    form.show();
    form.Start(parser.positionalArguments(), screenshot);
    if (screenshot) {
        // Once the window has been laid out and painted.
        const QString target = parser.value(screenshotOption);
        QTimer::singleShot(1500, &form, [&form, target] {
            const bool saved = form.grab().save(target);
            std::fprintf(stderr, saved ? "velmora: wrote %s\n" : "velmora: cannot write %s\n",
                         qPrintable(target));
            QCoreApplication::exit(saved ? 0 : 1);
        });
    }
    return application.exec();
}
