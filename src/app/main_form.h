// TMainForm: the single main window. It arranges the hierarchy view, the workspace, the parents
// and children panes and the concept editor; owns the loaded ontology, the browse history, the
// settings, the store and the seek service; makes one concept current and shows it everywhere;
// runs the file commands, undo, the command set with its enabled states, start-up and shutdown.
//
// Every command runs under the general error handler: an exception it raises is shown in an
// error box and the program goes on with the state the command left. Everything the window asks
// of the user goes through the TUserInterface it is given.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <utility>

#include "browse_log.h"
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

class QLabel;
class QMenu;
class QSplitter;
class QStatusBar;
class QTabWidget;
class QTimer;
class QToolBar;

namespace velmora::app {

using views::TConceptEditorPort;
using views::TIconViewPort;
using views::TPlaceholderPane;
using views::TTreeSelection;
using views::TTreeViewPort;

class TMainForm : public QMainWindow, public engine::TEngineObserver {
    Q_OBJECT

public:
    static constexpr std::string_view kApplicationTitle = "Velmora";

    // The window as FormCreate leaves it: settings applied, commands set, idle. The welcome
    // and the file of the command line follow in Start.
    TMainForm(TUserInterface& ui, const QString& settingsPath, QWidget* parent = nullptr);
    ~TMainForm() override;

    // The rest of start-up: the first-start welcome with the options dialog, then the file
    // named by the first argument, if any.
    // unattended (a screenshot run): no dialog waits for a person; a first start says on
    // stderr what it skipped.
    void Start(const QStringList& arguments, bool unattended = false);

    // Navigation.
    void GoToConcept(QObject* sender, const store::TConceptData& item, bool force, bool keepTree);
    void ShowConcept(const store::TConceptData& item, bool keepTree, bool force);
    void SetStatusText(const QString& text);
    QString StatusText() const;
    void ShowTopConcept();
    void SetFontSize(int code);
    int FontSizeCode() const { return m_fontSizeCode; }
    void SetUseVariousLink(bool use);
    bool UseVariousLink() const { return m_useVariousLink; }
    const store::TConceptData* CurrentConcept() const { return m_history.Current(); }

    // The ontology file.
    void SetOntology(std::unique_ptr<store::TOntology> ontology);
    bool CloseOntology(QObject* sender);
    void OpenOntologyFile(const QString& path);
    bool HasUnsavedChanges() const;

    // Undo.
    void TakeSavePoint();
    void UndoLastStep();
    void UndoAfterCycleError(const store::ETrimInvalidLinkError& error);

    // Enabled states.
    void UpdateWorkspaceCommands(bool inWorkspace);
    void UpdateEditCommands();
    void UpdateTreeCommands();

    // Runs body under the general error handler; false when it raised.
    bool RunGuarded(const std::function<void()>& body);

    // The hierarchy view, and the views held through their interfaces. Setting one replaces
    // the placeholder in its place; the window keeps ownership of the widget.
    views::TFrameTreeView& TreeView() { return *m_treeView; }
    void SetWorkspaceView(std::unique_ptr<TIconViewPort> view);
    void SetParentsView(std::unique_ptr<TIconViewPort> view);
    void SetChildrenView(std::unique_ptr<TIconViewPort> view);
    void SetConceptEditor(std::unique_ptr<TConceptEditorPort> editor);

    store::TDataModule1& Store() { return *m_store; }
    engine::TDataModuleSeeker& Seeker() { return *m_seeker; }
    store::TSimpleStoreContext& StoreContext() { return m_context; }
    store::TOntology* Ontology() { return m_ontology.get(); }
    TBrowseLog& History() { return m_history; }
    TQuillonIniFile& Settings() { return m_settings; }
    const TCommandSet& Commands() const { return *m_commands; }
    QAction* Command(std::string_view name) const { return m_commands->Action(name); }
    TUserInterface& Ui() { return m_ui; }

    // The commands whose behaviour is the window's own.
    void FileCreate1Execute();
    void FileOpen1Execute();
    void FileSave1Execute();
    void FileSaveAs1Execute();
    void FilePrintDlg1Execute();
    void EditUndoExecute() { UndoLastStep(); }
    void EditSelectAllExecute();
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
    void TreeviewMoveHigherExecute();
    void TreeviewMoveLowerExecute();
    void TreeviewMoveUpperExecute();
    void TreeviewMoveDownExecute();
    void TreeviewAddSiblingExecute();
    void TreeviewAddChildExecute();
    void TreeviewEditLabelExecute();
    void TreeviewSortSiblingExecute();

    // TEngineObserver
    void RefreshConceptEverywhere(const store::TConceptData& item) override;
    void ResetViews() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* event) override;

private:
    void BuildLayout();
    void ConnectCommands();
    void ApplySettings();
    void WriteGeometry();
    void ApplyEditPaneHeights();
    void KeepMenuBarWhole();
    int FirstStartTreeWidth() const;
    void FocusTree();
    void Connect(std::string_view command, void (TMainForm::*handler)());
    void Connect(std::string_view command, const std::function<void()>& handler);
    void Enable(std::string_view command, bool enabled);
    enum class TTextEdit { kCut, kCopy, kPaste, kDelete };
    void EditTextExecute(TTextEdit operation);
    void CommitInPlaceEdits();
    void BuildOntologyFromWizard(class TPagesDlgCreateOntology& wizard);
    void RefreshCaption();
    void OnOntologyState(bool canUndo, bool modified);
    bool SaveWithChecks(bool overwrite);
    void OnPageChanged(int index);
    std::string ConceptSummary(std::int32_t conceptNo);
    bool IsTopConcept(const store::TConceptData& entry);
    bool RecordExists(const store::TConceptData& entry);
    // For the edit commands: the focused control's kind.
    struct TFocusContext;
    TFocusContext ClassifyFocus() const;
    void ReplacePane(QWidget* placeholder, QWidget* view);
    void PlaceView(QWidget* panel, QWidget* widget, QMenu* popup);
    void PlacePane(std::unique_ptr<TIconViewPort>& slot, std::unique_ptr<TIconViewPort> view,
                   QWidget* panel, bool parents);
    void WireTreeView();
    // A move command: a save point, the move, and a refused cycle rolled back.
    void RunMove(const std::function<void()>& move);
    void MoveNodeAfter(views::TConceptNode* node, views::TConceptNode* anchor);
    void RemoveDeletedMirrorNodes();
    void OnTreeDrop(views::TConceptNode& source, views::TConceptNode& target, bool lowerHalf);

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

    // The views, each owned by the window through its widget.
    std::unique_ptr<views::TFrameTreeView> m_treeView;
    std::unique_ptr<TIconViewPort> m_workspace;
    std::unique_ptr<TIconViewPort> m_parentsView;
    std::unique_ptr<TIconViewPort> m_childrenView;
    std::unique_ptr<TConceptEditorPort> m_editor;

    std::set<std::string> m_connected;  // the commands that have their behaviour
    QString m_statusText;               // the status line's own text, under passing hints
    // The parents' and the children's pane heights as read, until the edit page has a size.
    std::pair<int, int> m_editPaneHeights{72, 72};
    bool m_editPageShown = false;
    int m_fontSizeCode = 0;
    bool m_useVariousLink = false;
    // What Timer1 saw last.
    QPointer<QWidget> m_timerControl;
    bool m_timerEditing = false;
};

}  // namespace velmora::app
