// The desktop program: velmora [FILE.ont] [--settings FILE.ini]
#include <QCommandLineParser>
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
    parser.addPositionalArgument("FILE", "開くオントロジーファイル (.ont)");
    parser.process(application);

    velmora::app::TUserInterface ui;
    application.SetUserInterface(&ui);
    velmora::app::TMainForm form(ui, parser.value(settingsOption));
    form.show();
    form.Start(parser.positionalArguments());
    return application.exec();
}
