#include "tool_commands.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <initializer_list>

#include "about_box.h"

namespace velmora::app {

using store::TButtons;
using store::TMessageKind;

TToolCommands::TToolCommands(TCommandSet& commands, TUserInterface& ui, TQuillonIniFile& settings,
                             TOptionHooks hooks, QWidget* window)
    : m_ui(ui), m_settings(settings), m_hooks(std::move(hooks)), m_window(window) {
    commands.Connect("ToolOption", [this] { ToolOptionExecute(); });
    commands.Connect("HelpBrowse", [this] { HelpBrowseExecute(); });
    commands.Connect("HelpVersion", [this] { HelpVersionExecute(); });
    for (const TCommandName name :
         std::initializer_list<TCommandName>{"ToolOption", "HelpVersion", "HelpBrowse"}) {
        commands.Enable(name, true);
    }
}

void TToolCommands::ToolOptionExecute() {
    RunOptionDialog(m_ui, m_settings, m_hooks, m_window);
}

QString TToolCommands::HelpFilePath() {
    // Beside the program in the build tree; under share/ once installed.
    const QDir programDir(QCoreApplication::applicationDirPath());
    const QString beside = programDir.filePath("help/index.html");
    const QString installed = programDir.filePath("../share/velmora/help/index.html");
    return !QFileInfo::exists(beside) && QFileInfo::exists(installed) ? QDir::cleanPath(installed)
                                                                      : beside;
}

void TToolCommands::HelpBrowseExecute() {
    const QString path = HelpFilePath();
    if (QFileInfo::exists(path)) {
        if (!m_ui.OpenWithDesktop(path)) {
            m_ui.Ask(TMessageKind::Error, TButtons::Ok,
                     "ヘルプを開くプログラムが見つかりません."
                     "\nブラウザで次のファイルを開いてください:\n" +
                         QDir::toNativeSeparators(path));
        }
        return;
    }
    m_ui.Ask(TMessageKind::Error, TButtons::OkCancel,
             "ヘルプファイル\"help/index.html\"がみつかりません.");
}

void TToolCommands::HelpVersionExecute() {
    TAboutBox box(m_window);
    m_ui.RunModal(box);
}

}  // namespace velmora::app
