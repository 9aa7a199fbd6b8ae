// The desktop program: velmora [FILE.ont] [--settings FILE.ini] [--screenshot FILE.png]
#include <QCommandLineParser>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "application.h"
#include "main_form.h"
#include "settings.h"
#include "user_interface.h"

namespace {

// Qt aborts without a word a user could act on when there is no display; say it first.
bool HasDisplay() {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    return (platform != nullptr && *platform) || std::getenv("DISPLAY") != nullptr ||
           std::getenv("WAYLAND_DISPLAY") != nullptr;
}

}  // namespace

int main(int argc, char** argv) {
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
    const QCommandLineOption settingsOption("settings", "設定ファイル (INI) の場所", "FILE",
                                            velmora::app::TQuillonIniFile::DefaultPath());
    parser.addOption(settingsOption);
    const QCommandLineOption screenshotOption(
        "screenshot", "起動後にウインドウの画像を FILE に保存して終了する", "FILE");
    parser.addOption(screenshotOption);
    parser.addPositionalArgument("FILE", "開くオントロジーファイル (.ont)");
    parser.process(application);

    velmora::app::TUserInterface ui;
    application.SetUserInterface(&ui);
    velmora::app::TMainForm form(ui, parser.value(settingsOption));
    form.show();
    form.Start(parser.positionalArguments());
    if (parser.isSet(screenshotOption)) {
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
