// The workspace's commands: their enabled states over the workspace's selection, the two icon
// sizes as a radio group written to the settings, and opening an item by double-click.
#pragma once

#include "command_host.h"
#include "commands.h"
#include "seeker.h"
#include "settings.h"
#include "view_set.h"

namespace velmora::app {

class TWorkspaceCommands {
public:
    // REQUIRES: every argument outlives the unit.
    TWorkspaceCommands(TCommandSet& commands, TCommandHost& host, TViewSet& views,
                       TQuillonIniFile& settings, engine::TDataModuleSeeker& seeker);

    // inWorkspace: the workspace page is shown (or the workspace has the focus).
    void UpdateWorkspaceCommands(bool inWorkspace);
    // A mirror image goes to its concept; a concept with children goes down one level, so the
    // workspace then shows the children.
    void OpenItem(const store::TConceptData* item);

private:
    TCommandSet& m_commands;
    TCommandHost& m_host;
    TViewSet& m_views;
    TQuillonIniFile& m_settings;
    engine::TDataModuleSeeker& m_seeker;
};

}  // namespace velmora::app
