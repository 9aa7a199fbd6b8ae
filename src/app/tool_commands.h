// The tool and help commands: the options dialog, the help page beside the program and the
// version box.
#pragma once

#include <QString>

#include "commands.h"
#include "option_dialog.h"
#include "settings.h"
#include "user_interface.h"

class QWidget;

namespace velmora::app {

class TToolCommands {
public:
    // hooks: what the options dialog changes in the window as the user previews and confirms.
    // REQUIRES: every reference outlives the unit; window is the main window.
    TToolCommands(TCommandSet& commands, TUserInterface& ui, TQuillonIniFile& settings,
                  TOptionHooks hooks, QWidget* window);

    void ToolOptionExecute();
    void HelpBrowseExecute();
    void HelpVersionExecute();

    // The help file beside the program.
    static QString HelpFilePath();

private:
    TUserInterface& m_ui;
    TQuillonIniFile& m_settings;
    TOptionHooks m_hooks;
    QWidget* m_window;
};

}  // namespace velmora::app
