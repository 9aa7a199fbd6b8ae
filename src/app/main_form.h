// TMainForm: the single main window, a frame. It arranges the hierarchy view, the workspace,
// the parents and children panes and the concept editor; owns the loaded ontology, the browse
// history, the settings, the store and the seek service; makes one concept current and shows
// it everywhere (navigation); keeps the undo steps; and starts and shuts down. The commands
// live in units beside it (TTreeCommands, TEditCommands, TWorkspaceCommands, TFileCommands,
// TToolCommands; TConceptTransfer for drops and pastes),
// which reach the window only through TCommandHost; the entry points named here call into them.
//
// Every command runs under the general error handler: an exception it raises is shown in an
// error box and the program goes on with the state the command left. Everything the window asks
// of the user goes through the TUserInterface it is given.
#pragma once

#include <QMainWindow>
#include <functional>
#include <memory>
#include <string_view>
#include <utility>

#include "browse_log.h"
#include "command_host.h"
#include "commands.h"
#include "concept_data.h"
#include "data_module.h"
#include "ontology.h"
#include "seeker.h"
#include "settings.h"
#include "store_exceptions.h"
#include "tree_view.h"
#include "user_interface.h"
#include "view_ports.h"
#include "view_set.h"

class QLabel;
class QMenu;
class QSplitter;
class QTabWidget;
class QTimer;
class QToolBar;

namespace velmora::search {
class TFormSearch;
}

namespace velmora::app {

using views::TConceptEditorPort;
using views::TIconViewPort;
using views::TPlaceholderPane;
using views::TTreeSelection;
using views::TTreeViewPort;

class TConceptTransfer;
class TEditCommands;
class TExchangeCommands;
class TFileCommands;
class TOntologyConfigCommand;
class TRecoveryService;
class TToolCommands;
class TTreeCommands;
class TWorkspaceCommands;

class TMainForm : public QMainWindow, public engine::TEngineObserver, public TCommandHost {
    Q_OBJECT

public:
    static constexpr std::string_view kApplicationTitle = "Velmora";

    // The window as FormCreate leaves it: settings applied, commands set, idle. The welcome
    // and the file of the command line follow in Start.
    TMainForm(TUserInterface& ui, const QString& settingsPath, QWidget* parent = nullptr);
    ~TMainForm() override;

    // The rest of start-up: the question about recovery copies left behind (when recovery is
    // on), the first-start welcome with the options dialog, then the file named by the first
    // argument, if any (not when a copy was restored: the restored ontology stays).
    // unattended (a screenshot run): no dialog waits for a person; a first start says on
    // stderr what it skipped.
    void Start(const QStringList& arguments, bool unattended = false);

    // Recovery copies in folder while the ontology has unsaved changes (off until called; the
    // program calls it unless started with --no-recovery).
    void EnableRecovery(const std::string& folder);
    TRecoveryService* Recovery() { return m_recovery.get(); }

    // Navigation.
    void GoToConcept(QObject* sender, const store::TConceptData& item, bool force,
                     bool keepTree) override;
    void ShowConcept(const store::TConceptData& item, bool keepTree, bool force);
    void SetStatusText(const QString& text) override;
    QString StatusText() const;
    void ShowTopConcept() override;
    void SetFontSize(int code);
    int FontSizeCode() const { return m_fontSizeCode; }
    void SetUseVariousLink(bool use);
    bool UseVariousLink() const override { return m_useVariousLink; }
    const store::TConceptData* CurrentConcept() const override { return m_history.Current(); }

    // The ontology file.
    void SetOntology(std::unique_ptr<store::TOntology> ontology) override;
    bool CloseOntology(QObject* sender);
    void OpenOntologyFile(const QString& path);
    bool HasUnsavedChanges() const;

    // Undo.
    void TakeSavePoint() override;
    void UndoLastStep();
    void UndoAfterCycleError(const store::ETrimInvalidLinkError& error) override;

    // Enabled states.
    void UpdateWorkspaceCommands(bool inWorkspace);
    void UpdateEditCommands();
    void UpdateTreeCommands();
    void UpdateCommandStates() override;

    // Runs body under the general error handler; false when it raised.
    bool RunGuarded(const std::function<void()>& body);

    // The hierarchy view, and the views held through their interfaces. Setting one replaces
    // the placeholder in its place; the window keeps ownership of the widget.
    views::TFrameTreeView& TreeView() { return *m_views.tree; }
    void SetWorkspaceView(std::unique_ptr<TIconViewPort> view);
    void SetParentsView(std::unique_ptr<TIconViewPort> view);
    void SetChildrenView(std::unique_ptr<TIconViewPort> view);
    void SetConceptEditor(std::unique_ptr<TConceptEditorPort> editor);

    store::TDataModule1& Store() { return *m_store; }
    engine::TDataModuleSeeker& Seeker() { return *m_seeker; }
    store::TSimpleStoreContext& StoreContext() { return m_context; }
    store::TOntology* Ontology() override { return m_ontology.get(); }
    TBrowseLog& History() { return m_history; }
    TQuillonIniFile& Settings() { return m_settings; }
    const TCommandSet& Commands() const { return *m_commands; }
    // A command by its name as text (tests, scripts); throws std::logic_error when unknown.
    QAction* Command(std::string_view name) const { return m_commands->Find(name); }
    TUserInterface& Ui() { return m_ui; }
    search::TFormSearch& FormSearch() { return *m_formSearch; }

    // The commands, as the command units run them.
    void FileCreate1Execute();
    void FileOpen1Execute();
    void FileSave1Execute();
    void FileSaveAs1Execute();
    void FilePrintDlg1Execute();
    void EditUndoExecute() { UndoLastStep(); }
    void EditSelectAllExecute();
    void EditFindExecute();
    void ToolOptionExecute();
    void HelpBrowseExecute();
    void HelpVersionExecute();
    void Timer1Timer();

    // The help file beside the program.
    static QString HelpFilePath();

    // Tree operations: the view and the data together, so the tree never needs a reload.
    void TreeViewMoveNode(views::TConceptNode* node, views::TConceptNode* destination,
                          views::TNodeAttachMode mode);
    void RenumberChildren(views::TConceptNode& node);
    views::TConceptNode& AddChildConceptUnderNode(views::TConceptNode& node);

    // TEngineObserver and TCommandHost
    void RefreshConceptEverywhere(const store::TConceptData& item) override;
    void ResetViews() override;
    bool IsTopConcept(const store::TConceptData& entry) override;
    bool RecordExists(const store::TConceptData& entry) override;
    void ClearHistory() override { m_history.Clear(); }

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* event) override;

private:
    void BuildLayout();
    void BuildPopupMenus();
    void ConnectCommands();
    void ApplySettings();
    void WriteGeometry();
    void ApplyEditPaneHeights();
    void KeepMenuBarWhole();
    int FirstStartTreeWidth() const;
    void RefreshCaption();
    void OnOntologyState();
    void OnPageChanged(int index);
    bool IsWorkspacePageCurrent() const;
    std::string ConceptSummary(std::int32_t conceptNo);
    void ReplacePane(QWidget* placeholder, QWidget* view);
    void PlaceView(QWidget* panel, QWidget* widget, QMenu* popup);
    void PlacePane(std::unique_ptr<TIconViewPort>& slot, std::unique_ptr<TIconViewPort> view,
                   QWidget* panel, bool parents);
    void WireTreeView();
    void WireIconView(TIconViewPort& view);

    TUserInterface& m_ui;
    TUiQuestioner m_questioner;
    TQuillonIniFile m_settings;
    TBrowseLog m_history;
    store::TSimpleStoreContext m_context;
    std::unique_ptr<store::TDataModule1> m_store;
    std::unique_ptr<engine::TDataModuleSeeker> m_seeker;
    std::unique_ptr<store::TOntology> m_ontology;
    std::unique_ptr<TCommandSet> m_commands;

    // Layout.
    QWidget* m_panelLeft = nullptr;
    QWidget* m_panelRight = nullptr;
    QSplitter* m_splitter1 = nullptr;
    QSplitter* m_editSplitter = nullptr;
    QWidget* m_panelConceptEditTop = nullptr;
    QWidget* m_panelConceptEditMiddle = nullptr;
    QWidget* m_panelConceptEditBottom = nullptr;
    QTabWidget* m_pageControl = nullptr;
    QWidget* m_tabSheetWorkSpace = nullptr;
    QWidget* m_tabSheetEditConcept = nullptr;
    QLabel* m_statusPanel = nullptr;
    QToolBar* m_toolBar = nullptr;
    QMenu* m_popupTreeView = nullptr;
    QMenu* m_popupWorkSpace = nullptr;
    QMenu* m_popupParentView = nullptr;
    QTimer* m_timer1 = nullptr;
    search::TFormSearch* m_formSearch = nullptr;  // owned by the window as its child

    // The views, each owned by the window through its widget.
    TViewSet m_views;
    // The command units.
    std::unique_ptr<TConceptTransfer> m_transfer;
    std::unique_ptr<TTreeCommands> m_treeCommands;
    std::unique_ptr<TEditCommands> m_editCommands;
    std::unique_ptr<TWorkspaceCommands> m_workspaceCommands;
    std::unique_ptr<TExchangeCommands> m_exchangeCommands;
    std::unique_ptr<TFileCommands> m_fileCommands;
    std::unique_ptr<TToolCommands> m_toolCommands;
    std::unique_ptr<TOntologyConfigCommand> m_ontologyConfigCommand;
    std::unique_ptr<TRecoveryService> m_recovery;

    QString m_statusText;  // the status line's own text, under passing hints
    // The parents' and the children's pane heights as read, until the edit page has a size.
    std::pair<int, int> m_editPaneHeights{72, 72};
    bool m_editPageShown = false;
    int m_fontSizeCode = 0;
    bool m_useVariousLink = false;
};

}  // namespace velmora::app
