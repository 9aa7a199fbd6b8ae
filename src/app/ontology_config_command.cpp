#include "ontology_config_command.h"

#include <utility>

#include "about_ontology_dialog.h"

namespace velmora::app {

TOntologyConfigCommand::TOntologyConfigCommand(TCommandSet& commands, TCommandHost& host,
                                               TUserInterface& ui, store::TDataModule1& store,
                                               std::function<void()> refreshEditor, QWidget* window)
    : m_host(host),
      m_ui(ui),
      m_store(store),
      m_refreshEditor(std::move(refreshEditor)),
      m_window(window) {
    commands.Connect("FileOntologyConfig", [this] { FileOntologyConfigExecute(); });
}

void TOntologyConfigCommand::FileOntologyConfigExecute() {
    store::TOntology* ontology = m_host.Ontology();
    if (ontology == nullptr) {
        return;
    }
    TAboutOntologyHooks hooks;
    hooks.takeSavePoint = [this] { m_host.TakeSavePoint(); };
    hooks.refreshEditor = m_refreshEditor;
    TAboutOntologyDlg dialog(m_ui, *ontology, m_store, m_host.UseVariousLink(), std::move(hooks),
                             m_window);
    m_ui.RunModal(dialog);
}

}  // namespace velmora::app
