// The workspace's commands — add a concept at this level, duplicate, create mirror images,
// merge, change a mirror image's relation, arrange the icons, switch the icon size — and the
// delete command behind EditDelete for every view (DeleteConcepts). Each asks what it asks, takes
// one save point when it goes ahead (never on No or Cancel) and shows its result.
#pragma once

#include "command_host.h"
#include "commands.h"
#include "data_module.h"
#include "seeker.h"
#include "settings.h"
#include "user_interface.h"
#include "view_set.h"

class QWidget;

namespace velmora::app {

class TTreeCommands;

class TWorkspaceCommands {
public:
    // REQUIRES: every argument outlives the unit; window is the main window.
    TWorkspaceCommands(TCommandSet& commands, TCommandHost& host, TViewSet& views,
                       TTreeCommands& tree, TUserInterface& ui, TQuillonIniFile& settings,
                       store::TDataModule1& store, engine::TDataModuleSeeker& seeker,
                       QWidget* window);

    void WorkspaceAddNodeExecute();
    void WorkspaceDivideExecute();
    void WorkspaceCreateMirrorImageExecute();
    void WorkSpaceMergeExecute();
    void WorkspaceEditLinkTypeExecute();
    void WorkspaceArrangeExecute();
    void SetSmallIcons(bool small);

    // Deletes the entries (concepts with everything below them, mirror images alone) after the
    // question; the first remaining sibling, else the parent, becomes current.
    void DeleteConcepts(const store::TConceptList& list);

    // inWorkspace: the workspace page is shown (or the workspace has the focus).
    void UpdateWorkspaceCommands(bool inWorkspace);
    // A mirror image goes to its concept; a concept with children goes down one level, so the
    // workspace then shows the children.
    void OpenItem(const store::TConceptData* item);

private:
    store::TAnswer Confirm(const char* text);
    store::TConceptList SelectedList() const;

    TCommandSet& m_commands;
    TCommandHost& m_host;
    TViewSet& m_views;
    TTreeCommands& m_tree;
    TUserInterface& m_ui;
    TQuillonIniFile& m_settings;
    store::TDataModule1& m_store;
    engine::TDataModuleSeeker& m_seeker;
    QWidget* m_window;
};

}  // namespace velmora::app
