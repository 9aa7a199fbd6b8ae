#include "workspace_commands.h"

#include <algorithm>
#include <initializer_list>

namespace velmora::app {

TWorkspaceCommands::TWorkspaceCommands(TCommandSet& commands, TCommandHost& host, TViewSet& views,
                                       TQuillonIniFile& settings, engine::TDataModuleSeeker& seeker)
    : m_commands(commands), m_host(host), m_views(views), m_settings(settings), m_seeker(seeker) {
    for (const auto& [name, small] : {std::pair{TCommandName("WorkspaceLargeIcon"), false},
                                      std::pair{TCommandName("WorkspaceSmallIcon"), true}}) {
        const bool choice = small;
        commands.Connect(name, [this, choice] {
            m_settings.SetWorkspaceSmallIcon(choice);
            m_views.workspace->SetSmallIcons(choice);
        });
        commands.Enable(name, true);
    }
    const bool smallIcons = settings.WorkspaceSmallIcon();
    commands.Action(smallIcons ? TCommandName("WorkspaceSmallIcon") : "WorkspaceLargeIcon")
        ->setChecked(true);
}

void TWorkspaceCommands::UpdateWorkspaceCommands(bool inWorkspace) {
    TCommandSet& c = m_commands;
    const store::TConceptData* current = m_host.CurrentConcept();
    if (current == nullptr || !inWorkspace || m_host.Ontology() == nullptr) {
        for (const TCommandName name : std::initializer_list<TCommandName>{
                 "WorkspaceAddNode", "WorkspaceCreateMirrorImage", "WorkspaceEditLinkType",
                 "WorkspaceArrange", "WorkSpaceMerge", "WorkspaceDivide"}) {
            c.Enable(name, false);
        }
        return;
    }
    const bool top = m_host.IsTopConcept(*current);
    const std::vector<store::TConceptData> selected = m_views.workspace->SelectedItems();
    const auto n = selected.size();
    const bool plain = std::none_of(selected.begin(), selected.end(),
                                    [](const store::TConceptData& d) { return d.IsLink(); });
    c.Enable("WorkspaceAddNode", !top);
    c.Enable("WorkspaceDivide", !top && n >= 1 && plain);
    c.Enable("WorkspaceCreateMirrorImage", !top && n >= 1 && plain);
    c.Enable("WorkSpaceMerge", !top && n >= 2 && plain);
    c.Enable("WorkspaceEditLinkType",
             m_host.UseVariousLink() && n == 1 && selected.front().IsLink());
    c.Enable("WorkspaceArrange", m_views.workspace->ItemCount() > 0);
}

void TWorkspaceCommands::OpenItem(const store::TConceptData* item) {
    if (item == nullptr) {
        return;
    }
    if (item->IsLink()) {
        store::TConceptData shown;
        shown.SetConceptNo(item->ConceptNo());
        shown.SetTitle(item->Title());
        m_host.GoToConcept(m_views.workspace->Widget(), shown, false, false);
        return;
    }
    if (item->HasChildren()) {
        // Down one level: the workspace then shows the children.
        m_seeker.SetSeekMode(engine::smChildren);
        m_seeker.SetSeekNo(item->ConceptNo());
        const store::TConceptList& children = m_seeker.GetItems();
        if (children.Count() > 0) {
            store::TConceptData first;
            first.Assign(children[0]);
            m_host.GoToConcept(m_views.workspace->Widget(), first, false, false);
        }
    }
}

}  // namespace velmora::app
