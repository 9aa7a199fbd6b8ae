// The file commands: a new ontology through the wizard, opening, saving, saving under a new
// name, printing the window and closing the ontology (with the unsaved-changes question). A
// failed creation or load and a close all end in ReturnToIdle, the one way back to the state
// without an ontology.
#pragma once

#include <QString>

#include "command_host.h"
#include "commands.h"
#include "data_module.h"
#include "seeker.h"
#include "settings.h"
#include "user_interface.h"
#include "view_set.h"

class QWidget;

namespace velmora::app {

class TPagesDlgCreateOntology;

class TFileCommands {
public:
    // REQUIRES: every argument outlives the unit; window is the main window (dialogs stand
    // over it, printing draws it).
    TFileCommands(TCommandSet& commands, TCommandHost& host, TViewSet& views, TUserInterface& ui,
                  TQuillonIniFile& settings, store::TDataModule1& store,
                  engine::TDataModuleSeeker& seeker, QWidget* window);

    void FileCreate1Execute();
    void FileOpen1Execute();
    void FileSave1Execute();
    void FileSaveAs1Execute();
    void FilePrintDlg1Execute();
    void OpenOntologyFile(const QString& path);
    // Opens a recovery copy as the ontology: its tables and metadata, the file it belongs to
    // and unsaved changes, so that the user decides whether to save. A damaged copy: the error
    // is thrown on and the window is idle.
    void RestoreRecoveryCopy(const std::string& path);
    // Asks about unsaved changes and unloads the ontology; false when the user kept it.
    bool CloseOntology();
    bool HasUnsavedChanges() const;
    // Enabled states that follow the ontology: loaded or not, undo and modified flags.
    void UpdateFileCommands();

private:
    void BuildOntologyFromWizard(TPagesDlgCreateOntology& wizard);
    bool SaveWithChecks(bool overwrite);
    // No ontology: the views emptied, the editor hidden, the history and the tables gone.
    void ReturnToIdle();
    void FocusTree();

    TCommandSet& m_commands;
    TCommandHost& m_host;
    TViewSet& m_views;
    TUserInterface& m_ui;
    TQuillonIniFile& m_settings;
    store::TDataModule1& m_store;
    engine::TDataModuleSeeker& m_seeker;
    QWidget* m_window;
};

}  // namespace velmora::app
