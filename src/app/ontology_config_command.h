// FileOntologyConfig: the ontology properties dialog over the loaded ontology. Its link-type
// changes take their save points through the host, so EditUndo takes each back; the editor is
// refreshed after a label changed. The command is enabled by the window while an ontology is
// loaded.
#pragma once

#include <functional>

#include "command_host.h"
#include "commands.h"
#include "data_module.h"
#include "user_interface.h"

class QWidget;

namespace velmora::app {

class TOntologyConfigCommand {
public:
    // refreshEditor: the concept editor's RefreshEditor (may be empty).
    // REQUIRES: every reference outlives the unit; window is the main window.
    TOntologyConfigCommand(TCommandSet& commands, TCommandHost& host, TUserInterface& ui,
                           store::TDataModule1& store, std::function<void()> refreshEditor,
                           QWidget* window);

    void FileOntologyConfigExecute();

private:
    TCommandHost& m_host;
    TUserInterface& m_ui;
    store::TDataModule1& m_store;
    std::function<void()> m_refreshEditor;
    QWidget* m_window;
};

}  // namespace velmora::app
