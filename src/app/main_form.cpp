#include "main_form.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>
#include <cstdio>

#include "about_box.h"
#include "code_page.h"
#include "concept_edit.h"
#include "concept_transfer.h"
#include "edit_commands.h"
#include "exchange_commands.h"
#include "file_commands.h"
#include "list_view.h"
#include "ontology_config_command.h"
#include "ontology_tables.h"
#include "option_dialog.h"
#include "qt_text.h"
#include "recovery_service.h"
#include "search_form.h"
#include "tool_commands.h"
#include "tree_commands.h"
#include "workspace_commands.h"

namespace velmora::app {

namespace {

using store::TAnswer;
using store::TButtons;
using store::TMessageKind;

constexpr const char* kWelcome =
    "　ようこそ Velmora へ.\r\n\r\n　最初に次の画面で任意のユーザー名を入力してください. "
    "\r\nこのツールで作成したデータには作成者の署名が記録されます.";
constexpr const char* kEditPageHint =
    "右ペインの上下のウインドウに概念アイコンをカット&ペーストできます.";
constexpr int kDroppedPathLimit = 254;

// Widgets and their panels, named as the rest of the program refers to them.
QWidget* Panel(const QString& name, QWidget* parent = nullptr) {
    auto* panel = new QWidget(parent);
    panel->setObjectName(name);
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    return panel;
}

}  // namespace

TMainForm::TMainForm(TUserInterface& ui, const QString& settingsPath, QWidget* parent)
    : QMainWindow(parent),
      m_ui(ui),
      m_questioner(ui),
      m_settings(settingsPath),
      m_store(std::make_unique<store::TDataModule1>(m_context)) {
    setObjectName("MainForm");
    setWindowTitle(FromUtf8(kApplicationTitle));
    setWindowIcon(ProgramIcon());
    m_ui.SetWindow(this);
    resize(821, 622);

    m_store->SetQuestioner(m_questioner);
    m_seeker = std::make_unique<engine::TDataModuleSeeker>(*m_store, m_questioner);
    m_seeker->OnTakeSavePoint = [this] { TakeSavePoint(); };
    m_seeker->AddObserver(this);
    m_context.SetUserName(ToCp932(m_settings.Author()));

    m_commands = std::make_unique<TCommandSet>(
        this, [this](const std::function<void()>& body) { return RunGuarded(body); });
    // The views report drops and clipboard keys to the transfer unit from the moment they are
    // placed.
    m_transfer = std::make_unique<TConceptTransfer>(*this, m_views, *m_store, *m_seeker, m_ui);
    BuildLayout();
    m_treeCommands =
        std::make_unique<TTreeCommands>(*m_commands, *this, *m_views.tree, *m_store, *m_seeker);
    m_workspaceCommands = std::make_unique<TWorkspaceCommands>(
        *m_commands, *this, m_views, *m_treeCommands, m_ui, m_settings, *m_store, *m_seeker, this);
    m_exchangeCommands = std::make_unique<TExchangeCommands>(*m_commands, *this, m_views, m_ui,
                                                             *m_store, *m_seeker, m_context, this);
    m_editCommands = std::make_unique<TEditCommands>(*m_commands, *this, m_views, *m_transfer,
                                                     *m_workspaceCommands, this);
    TOptionHooks hooks;
    hooks.setFontSize = [this](int code) { SetFontSize(code); };
    hooks.setUseVariousLink = [this](bool use) { SetUseVariousLink(use); };
    hooks.refreshEditor = [this] {
        m_context.SetUserName(ToCp932(m_settings.Author()));
        m_views.editor->RefreshEditor();
    };
    m_toolCommands =
        std::make_unique<TToolCommands>(*m_commands, m_ui, m_settings, std::move(hooks), this);
    m_ontologyConfigCommand = std::make_unique<TOntologyConfigCommand>(
        *m_commands, *this, m_ui, *m_store, [this] { m_views.editor->RefreshEditor(); }, this);
    m_fileCommands = std::make_unique<TFileCommands>(*m_commands, *this, m_views, m_ui, m_settings,
                                                     *m_store, *m_seeker, this);
    ConnectCommands();
    // The search window is made once, hidden; EditFind shows it.
    m_formSearch = new search::TFormSearch(
        *m_store,
        [this](const store::TConceptData& item) { GoToConcept(m_formSearch, item, false, false); },
        this, &m_questioner);

    // FormCreate: the history and its callbacks, the settings, the views' roles.
    m_history.OnStateChange = [this](bool back, bool forward) {
        m_commands->Enable("BrowseGoBack", back);
        m_commands->Enable("BrowseGoForward", forward);
    };
    m_history.OnNavigate = [this](const store::TConceptData& entry) {
        ShowConcept(entry, false, false);
    };
    m_history.OnIsValid = [this](const store::TConceptData& entry) { return RecordExists(entry); };
    m_views.editor->SetEditorActive(false);
    SetOntology(nullptr);

    UpdateWorkspaceCommands(false);

    ApplySettings();
    setAcceptDrops(true);

    m_timer1 = new QTimer(this);
    m_timer1->setObjectName("Timer1");
    m_timer1->setInterval(100);
    connect(m_timer1, &QTimer::timeout, this, [this] { RunGuarded([this] { Timer1Timer(); }); });
    m_timer1->start();
}

TMainForm::~TMainForm() {
    m_timer1->stop();
    // Before the ontology goes: its last state change is no clean close, and the copy stays.
    m_recovery.reset();
    // The ontology tells the window of its last state change as it goes; the window is still
    // whole here.
    m_ontology.reset();
    if (m_seeker) {
        m_seeker->RemoveObserver(this);
    }
}

void TMainForm::Start(const QStringList& arguments, bool unattended) {
    bool restored = false;
    if (m_recovery) {
        RunGuarded([this, &restored] { restored = m_recovery->OfferLeftCopies(); });
    }
    if (m_settings.Author() == "無記名" && unattended) {
        std::fputs("velmora: first start: the welcome and the options dialog are skipped\n",
                   stderr);
    } else if (m_settings.Author() == "無記名") {
        m_ui.Ask(TMessageKind::Custom, TButtons::Ok, BoxText(kWelcome),
                 FromUtf8(kApplicationTitle));
        RunGuarded([this] { ToolOptionExecute(); });
    }
    if (!arguments.isEmpty() && restored) {
        SetStatusText("回復した編集内容を開いているため, " + arguments.front() +
                      " は開きませんでした.");
    } else if (!arguments.isEmpty()) {
        const QString path = arguments.front();
        RunGuarded([this, &path] { OpenOntologyFile(path); });
    }
}

void TMainForm::EnableRecovery(const std::string& folder) {
    TRecoveryService::THost host;
    host.ontology = [this] { return m_ontology.get(); };
    host.status = [this](const QString& text) { SetStatusText(text); };
    host.restore = [this](const std::string& path) { m_fileCommands->RestoreRecoveryCopy(path); };
    m_recovery = std::make_unique<TRecoveryService>(*m_store, m_ui, std::move(host), folder);
    m_recovery->SetInterval(m_settings.RecoveryInterval() * 1000);
}

// ---- Layout ------------------------------------------------------------------------------

void TMainForm::BuildLayout() {
    menuBar()->setObjectName("ActionMainMenuBar1");
    m_commands->BuildMenuBar(*menuBar());

    m_toolBar = addToolBar("ActionToolBar1");
    m_toolBar->setObjectName("ActionToolBar1");
    m_toolBar->setIconSize(QSize(16, 16));
    m_toolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    m_toolBar->setMovable(false);
    m_commands->BuildToolBar(*m_toolBar);

    statusBar()->setObjectName("StatusBar1");
    m_statusPanel = new QLabel(statusBar());
    m_statusPanel->setObjectName("StatusPanel");
    statusBar()->addWidget(m_statusPanel, 1);

    m_splitter1 = new QSplitter(Qt::Horizontal, this);
    m_splitter1->setObjectName("Splitter1");
    m_splitter1->setHandleWidth(4);
    m_splitter1->setChildrenCollapsible(false);

    m_panelLeft = Panel("PanelLeft");
    m_panelLeft->setMinimumWidth(30);
    m_panelRight = Panel("PanelRight");
    m_panelRight->setMinimumWidth(100);
    m_splitter1->addWidget(m_panelLeft);
    m_splitter1->addWidget(m_panelRight);
    // A wider window gives the hierarchy a share of the room, the pages the most.
    m_splitter1->setStretchFactor(0, 1);
    m_splitter1->setStretchFactor(1, 3);
    setCentralWidget(m_splitter1);

    m_pageControl = new QTabWidget(m_panelRight);
    m_pageControl->setObjectName("PageControl");
    m_pageControl->setTabPosition(QTabWidget::South);
    m_panelRight->layout()->addWidget(m_pageControl);

    m_tabSheetWorkSpace = Panel("TabSheetWorkSpace");
    m_tabSheetEditConcept = Panel("TabSheetEditConcept");
    m_pageControl->addTab(m_tabSheetWorkSpace, "作業スペース");
    m_pageControl->addTab(m_tabSheetEditConcept, "概念編集");

    // The edit page: parents pane, editor, children pane, each resizable.
    m_editSplitter = new QSplitter(Qt::Vertical, m_tabSheetEditConcept);
    m_editSplitter->setObjectName("Splitter2");
    m_editSplitter->setChildrenCollapsible(false);
    m_panelConceptEditTop = Panel("PanelConceptEditTop");
    m_panelConceptEditTop->setMinimumHeight(30);
    m_panelConceptEditMiddle = Panel("PanelConceptEditMiddle");
    m_panelConceptEditBottom = Panel("PanelConceptEditBottom");
    m_panelConceptEditBottom->setMinimumHeight(30);
    m_editSplitter->addWidget(m_panelConceptEditTop);
    m_editSplitter->addWidget(m_panelConceptEditMiddle);
    m_editSplitter->addWidget(m_panelConceptEditBottom);
    m_editSplitter->setStretchFactor(1, 1);
    m_editSplitter->installEventFilter(this);
    m_tabSheetEditConcept->layout()->addWidget(m_editSplitter);

    BuildPopupMenus();

    connect(m_pageControl, &QTabWidget::currentChanged, this,
            [this](int index) { RunGuarded([this, index] { OnPageChanged(index); }); });

    m_views.tree = std::make_unique<views::TFrameTreeView>();
    WireTreeView();
    const auto listView = [](const char* name) {
        auto view = std::make_unique<views::TFrameListView>();
        view->setObjectName(name);
        return view;
    };
    SetWorkspaceView(listView("FrameListViewWorkSpace"));
    SetParentsView(listView("FrameListViewParents"));
    SetChildrenView(listView("FrameListViewChildren"));
    SetConceptEditor(
        std::make_unique<TFrameConceptEdit>(*m_store, *m_seeker, *this, m_ui, m_context));
}

void TMainForm::BuildPopupMenus() {
    m_popupTreeView = new QMenu(this);
    m_popupTreeView->setObjectName("PopupMenuTreeView");
    m_commands->BuildPopupTreeView(*m_popupTreeView);
    m_popupWorkSpace = new QMenu(this);
    m_popupWorkSpace->setObjectName("PopupMenuWorkSpace");
    m_commands->BuildPopupWorkSpace(*m_popupWorkSpace);
    m_popupParentView = new QMenu(this);
    m_popupParentView->setObjectName("PopupMenuParentView");
    m_commands->BuildPopupParentView(*m_popupParentView);
    connect(m_popupParentView, &QMenu::aboutToShow, this, [this] {
        RunGuarded([this] {
            const bool small = m_settings.ParentViewSmallIcon();
            m_popupParentView
                ->findChild<QAction*>(small ? "PopupParentViewSmallIcon"
                                            : "PopupParentViewLargeIcon")
                ->setChecked(true);
        });
    });
    for (const auto& [name, small] : {std::pair{"PopupParentViewLargeIcon", false},
                                      std::pair{"PopupParentViewSmallIcon", true}}) {
        const bool choice = small;
        connect(m_popupParentView->findChild<QAction*>(name), &QAction::triggered, this,
                [this, choice] {
                    RunGuarded([this, choice] {
                        m_settings.SetParentViewSmallIcon(choice);
                        m_views.parents->SetSmallIcons(choice);
                        m_views.children->SetSmallIcons(choice);
                    });
                });
    }
}

void TMainForm::ReplacePane(QWidget* panel, QWidget* view) {
    QLayout* layout = panel->layout();
    while (QLayoutItem* item = layout->takeAt(0)) {
        delete item;  // the old view's widget is deleted by its port's owner
    }
    layout->addWidget(view);
}

void TMainForm::WireTreeView() {
    views::TFrameTreeView& tree = *m_views.tree;
    PlaceView(m_panelLeft, &tree, m_popupTreeView);
    tree.OnSeekParent = [this](const store::TConceptData& item) {
        return m_store->GetParentConcept(item);
    };
    tree.OnSeekChildren = [this](const store::TConceptData& item) {
        m_seeker->SetSeekMode(engine::smChildren);
        m_seeker->SetSeekNo(item.ConceptNo());
        auto children = std::make_unique<store::TConceptList>();
        children->Assign(m_seeker->GetItems());
        return children;
    };
    tree.OnStatusText = [this](const QString& text) { SetStatusText(text); };
    tree.OnClipboard = [this](const store::TConceptList& items, bool cut) {
        RunGuarded([&] { m_transfer->WriteToClipboard(items, !cut); });
    };
    tree.OnError = [this](const std::exception& error) {
        m_ui.Ask(TMessageKind::Error, TButtons::Ok, FromUtf8(error.what()));
    };
}

// What every icon view hands back, whatever its role, goes to the transfer unit.
void TMainForm::WireIconView(TIconViewPort& view) {
    m_transfer->Attach(view, *m_commands, [this](store::TConceptData& item, const QString& text) {
        m_treeCommands->RetitleConcept(item, text);
    });
}

void TMainForm::SetWorkspaceView(std::unique_ptr<TIconViewPort> view) {
    PlaceView(m_tabSheetWorkSpace, view->Widget(), m_popupWorkSpace);
    WireIconView(*view);
    view->SetRole({true, true, false});
    view->SetSmallIcons(m_settings.WorkspaceSmallIcon());
    view->OnSelectionChange = [this] {
        RunGuarded([this] {
            const std::vector<store::TConceptData> selected = m_views.workspace->SelectedItems();
            if (selected.size() == 1) {
                GoToConcept(this, selected.front(), false, false);
            }
            UpdateWorkspaceCommands(true);
            UpdateEditCommands();
        });
    };
    view->OnFocusChange = [this](bool focused) {
        RunGuarded([this, focused] { UpdateWorkspaceCommands(focused); });
    };
    view->OnDoubleClick = [this](const store::TConceptData* item) {
        RunGuarded([this, item] { m_workspaceCommands->OpenItem(item); });
    };
    m_views.workspace = std::move(view);
}

void TMainForm::SetParentsView(std::unique_ptr<TIconViewPort> view) {
    PlacePane(m_views.parents, std::move(view), m_panelConceptEditTop, true);
}

void TMainForm::SetChildrenView(std::unique_ptr<TIconViewPort> view) {
    PlacePane(m_views.children, std::move(view), m_panelConceptEditBottom, false);
}

// The parents and the children pane: one selected item shows its relation in the editor; a
// double-click goes to the item (from the parents pane, a mirror image goes to the concept it
// lies under).
void TMainForm::PlacePane(std::unique_ptr<TIconViewPort>& slot, std::unique_ptr<TIconViewPort> view,
                          QWidget* panel, bool parents) {
    PlaceView(panel, view->Widget(), m_popupParentView);
    WireIconView(*view);
    view->SetRole({false, false, true, parents});
    view->SetSmallIcons(m_settings.ParentViewSmallIcon());
    TIconViewPort* pane = view.get();
    view->OnSelectionChange = [this, pane, parents] {
        RunGuarded([this, pane, parents] {
            const std::vector<store::TConceptData> selected = pane->SelectedItems();
            const store::TConceptData* entry = selected.empty() ? nullptr : &selected.front();
            if (parents) {
                m_views.editor->ShowParentRelation(entry);
            } else {
                m_views.editor->ShowChildRelation(entry);
            }
            UpdateEditCommands();
        });
    };
    view->OnDoubleClick = [this, pane, parents](const store::TConceptData*) {
        RunGuarded([this, pane, parents] {
            const std::vector<store::TConceptData> selected = pane->SelectedItems();
            if (selected.empty()) {
                return;
            }
            if (parents && selected.front().IsLink()) {
                if (const auto parent = m_store->GetParentConcept(selected.front())) {
                    GoToConcept(this, *parent, false, false);
                }
                return;
            }
            GoToConcept(this, selected.front(), false, false);
        });
    };
    slot = std::move(view);
}

void TMainForm::PlaceView(QWidget* panel, QWidget* widget, QMenu* popup) {
    ReplacePane(panel, widget);
    widget->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(widget, &QWidget::customContextMenuRequested, this,
            [widget, popup](const QPoint& at) { popup->popup(widget->mapToGlobal(at)); });
}

void TMainForm::SetConceptEditor(std::unique_ptr<TConceptEditorPort> editor) {
    ReplacePane(m_panelConceptEditMiddle, editor->Widget());
    editor->SetEditorActive(m_ontology != nullptr);
    editor->SetRelationsEditable(m_useVariousLink);
    m_views.editor = std::move(editor);
}

void TMainForm::ApplySettings() {
    const int x = m_settings.WindowPosX();
    const int y = m_settings.WindowPosY();
    if (x != TQuillonIniFile::kUnset && y != TQuillonIniFile::kUnset) {
        move(x, y);
    }
    const int width = m_settings.WindowSizeX();
    const int height = m_settings.WindowSizeY();
    if (width > 0 && height > 0) {
        resize(width, height);
    }
    SetFontSize(m_settings.FontSize());
    SetUseVariousLink(m_settings.UseVariousLink());
    // The panels' sizes: the left panel's width, the parents' and the children's heights.
    const int left = std::max(
        m_settings.HasVerticalSplitter() ? m_settings.VerticalSplitter() : FirstStartTreeWidth(),
        m_panelLeft->minimumWidth());
    m_splitter1->setSizes({left, std::max(100, this->width() - left)});
    m_editPaneHeights = {std::max(m_settings.HorizonalSplitter1(), 30),
                         std::max(m_settings.HorizonalSplitter2(), 30)};
    ApplyEditPaneHeights();
    m_views.workspace->SetSmallIcons(m_settings.WorkspaceSmallIcon());
    m_views.parents->SetSmallIcons(m_settings.ParentViewSmallIcon());
    m_views.children->SetSmallIcons(m_settings.ParentViewSmallIcon());
    update();
}

// Wide enough for a title of a dozen characters two levels down.
int TMainForm::FirstStartTreeWidth() const {
    const QFontMetrics metrics(m_views.tree->ConceptTreeView()->font());
    const int title = metrics.horizontalAdvance(QString(12, QChar(0x6F22)));
    return std::max(185, 3 * views::TFrameTreeView::kIndent + 16 + 16 + title);
}

void TMainForm::ApplyEditPaneHeights() {
    const auto [top, bottom] = m_editPaneHeights;
    m_editSplitter->setSizes({top, std::max(30, m_editSplitter->height() - top - bottom), bottom});
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    // A page never shown has no real size, so its panes get theirs when it first appears.
    if (watched == m_editSplitter && event->type() == QEvent::Show && !m_editPageShown) {
        m_editPageShown = true;
        ApplyEditPaneHeights();
    }
    return QMainWindow::eventFilter(watched, event);
}

void TMainForm::WriteGeometry() {
    if (windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen)) {
        return;
    }
    // The position of the frame, as move() takes it back; the size of the window's inside.
    m_settings.SetWindowPosX(x());
    m_settings.SetWindowPosY(y());
    m_settings.SetWindowSizeX(width());
    m_settings.SetWindowSizeY(height());
    m_settings.SetVerticalSplitter(m_panelLeft->width());
    if (m_editPageShown) {  // otherwise the panes still have the heights that were read
        m_settings.SetHorizonalSplitter1(m_panelConceptEditTop->height());
        m_settings.SetHorizonalSplitter2(m_panelConceptEditBottom->height());
    }
}

// ---- Commands ----------------------------------------------------------------------------

void TMainForm::ConnectCommands() {
    TCommandSet& c = *m_commands;
    c.Connect("EditUndo", [this] { EditUndoExecute(); });
    c.Connect("BrowseGoBack", [this] { m_history.Back(); });
    c.Connect("BrowseGoForward", [this] { m_history.Forward(); });
    c.Connect("EditFind", [this] { EditFindExecute(); });
}

bool TMainForm::RunGuarded(const std::function<void()>& body) {
    try {
        body();
        return true;
    } catch (const std::exception& error) {
        m_ui.Ask(TMessageKind::Error, TButtons::Ok, FromUtf8(error.what()));
    } catch (...) {
        m_ui.Ask(TMessageKind::Error, TButtons::Ok, "予期しないエラーが発生しました.");
    }
    return false;
}

// ---- Navigation --------------------------------------------------------------------------

void TMainForm::GoToConcept(QObject* sender, const store::TConceptData& item, bool force,
                            bool keepTree) {
    (void)sender;
    if (m_ontology == nullptr) {
        return;
    }
    if (force) {
        ShowConcept(item, keepTree, true);
        return;
    }
    const store::TConceptData* current = m_history.Current();
    if (current == nullptr || !store::SameConceptData(*current, item)) {
        m_history.Add(item);
        ShowConcept(item, keepTree, false);
    }
}

std::string TMainForm::ConceptSummary(std::int32_t conceptNo) {
    store::TTable& concepts = m_store->DtStOriginalConcepts;
    if (!concepts.Locate(store::kFieldRecordNo, store::TValue{conceptNo})) {
        return {};
    }
    return concepts.FieldByName(store::kFieldIdentifier).AsString() + store::Utf8ToCp932(" ： ") +
           concepts.FieldByName(store::kFieldDescription).AsString();
}

void TMainForm::ShowConcept(const store::TConceptData& item, bool keepTree, bool force) {
    m_views.editor->LoadConcept(item.ConceptNo());
    SetStatusText(FromCp932(ConceptSummary(item.ConceptNo())));

    m_seeker->SetSeekMode(engine::smParents);
    m_seeker->SetSeekNo(item.ConceptNo());
    m_views.parents->Fill(m_seeker->GetItems());
    m_seeker->SetSeekMode(engine::smChildren);
    m_seeker->SetSeekNo(item.ConceptNo());
    m_views.children->Fill(m_seeker->GetItems());

    if (force || !m_views.workspace->SelectOnly(item)) {
        if (item.IsLink()) {
            m_seeker->SetSeekMode(engine::smMirrorLevel);
            m_seeker->SetSeekNo(item.LinkNo);
        } else {
            m_seeker->SetSeekMode(engine::smLevel);
            m_seeker->SetSeekNo(item.ConceptNo());
        }
        m_views.workspace->Fill(m_seeker->GetItems());
        m_views.workspace->SelectOnly(item);
    }
    // The views select without telling (no selection event while they are filled), so the
    // commands that follow their selection are brought up to date here.
    UpdateWorkspaceCommands(IsWorkspacePageCurrent());
    UpdateEditCommands();

    if (!keepTree) {
        QWidget* tree = m_views.tree->Widget();
        tree->setUpdatesEnabled(false);
        try {
            m_views.tree->ShowConcept(item, force);
        } catch (...) {
            tree->setUpdatesEnabled(true);
            throw;
        }
        tree->setUpdatesEnabled(true);
    }
}

void TMainForm::SetStatusText(const QString& text) {
    m_statusText = text;
    m_statusPanel->setText(text);
    m_statusPanel->repaint();
}

QString TMainForm::StatusText() const {
    return m_statusText;
}

bool TMainForm::event(QEvent* event) {
    // A command's hint stands in the status line while the pointer is on it; the line's own
    // text (the concept's summary) comes back when the hint ends.
    if (event->type() == QEvent::StatusTip) {
        const QString tip = static_cast<QStatusTipEvent*>(event)->tip();
        m_statusPanel->setText(tip.isEmpty() ? m_statusText : tip);
        return true;
    }
    return QMainWindow::event(event);
}

void TMainForm::ShowTopConcept() {
    if (m_ontology == nullptr) {
        return;
    }
    store::TConceptData top;
    top.Assign(m_seeker->GetTopNode());
    GoToConcept(this, top, false, false);
    m_views.tree->ExpandFirstNode();
}

void TMainForm::SetFontSize(int code) {
    if (code == m_fontSizeCode) {
        return;
    }
    m_fontSizeCode = code;
    if (const std::optional<int> points = FontSizePoints(code)) {
        // The whole program: menus, pop-ups, dialogs and message boxes too. Qt tells the widgets
        // of a new application font only once the event loop runs; at start-up they are told here.
        QFont font = QApplication::font();
        font.setPointSize(*points);
        QApplication::setFont(font);
        QEvent change(QEvent::ApplicationFontChange);
        for (QWidget* widget : QApplication::allWidgets()) {
            QCoreApplication::sendEvent(widget, &change);
        }
        KeepMenuBarWhole();
    }
}

// Large fonts make the menu bar wider than a default window, and it would hide its last menus
// behind an extension button. The window widens to show every menu, as far as the screen allows;
// on a screen narrower still, the menu bar alone steps down to a size that fits.
void TMainForm::KeepMenuBarWhole() {
    QMenuBar* bar = menuBar();
    bar->setFont(QFont());  // the program's font again, as far as it fits
    const int needed = bar->sizeHint().width();
    if (needed > width()) {
        int room = needed;
        if (const QScreen* screen = this->screen()) {
            const int frame = frameGeometry().width() - width();
            room = std::min(needed, screen->availableGeometry().width() - frame);
        }
        resize(std::max(width(), room), height());
    }
    QFont font = bar->font();
    while (bar->sizeHint().width() > width() && font.pointSize() > 8) {
        font.setPointSize(font.pointSize() - 1);
        bar->setFont(font);
    }
}

void TMainForm::SetUseVariousLink(bool use) {
    if (use == m_useVariousLink) {
        return;
    }
    m_useVariousLink = use;
    UpdateWorkspaceCommands(true);
    m_views.editor->SetRelationsEditable(use);
}

void TMainForm::OnPageChanged(int index) {
    if (index == m_pageControl->indexOf(m_tabSheetEditConcept) &&
        m_views.editor->IsEditorActive()) {
        if (auto* id = m_views.editor->Widget()->findChild<QLineEdit*>("DBEditID")) {
            id->setFocus();
            id->deselect();
        }
    }
    const bool workspacePage = IsWorkspacePageCurrent();
    UpdateWorkspaceCommands(workspacePage);
    SetStatusText(QString());
    if (!workspacePage) {
        SetStatusText(QString::fromUtf8(kEditPageHint));
    }
}

bool TMainForm::IsWorkspacePageCurrent() const {
    return m_pageControl->currentWidget() == m_tabSheetWorkSpace;
}

bool TMainForm::IsTopConcept(const store::TConceptData& entry) {
    return store::SameConceptData(entry, m_seeker->GetTopNode());
}

bool TMainForm::RecordExists(const store::TConceptData& entry) {
    if (entry.IsLink()) {
        return m_store->DtStOriginalNetWork.Locate(store::kFieldRecordNo,
                                                   store::TValue{entry.LinkNo});
    }
    return m_store->DtStOriginalConcepts.Locate(store::kFieldRecordNo,
                                                store::TValue{entry.ConceptNo()});
}

void TMainForm::ResetViews() {
    if (m_ontology == nullptr) {
        return;
    }
    // Mirror images were deleted: start again from the top, which becomes the current concept.
    m_views.tree->Clear();
    m_views.workspace->Clear();
    store::TConceptData top;
    top.Assign(m_seeker->GetTopNode());
    const store::TConceptData* current = m_history.Current();
    if (current != nullptr && store::SameConceptData(*current, top)) {
        ShowConcept(top, false, true);
    } else {
        GoToConcept(this, top, false, false);
    }
    m_views.tree->ExpandFirstNode();
}

// ---- Tree operations -----------------------------------------------------------------------

void TMainForm::TreeViewMoveNode(views::TConceptNode* node, views::TConceptNode* destination,
                                 views::TNodeAttachMode mode) {
    m_treeCommands->TreeViewMoveNode(node, destination, mode);
}

void TMainForm::RenumberChildren(views::TConceptNode& node) {
    m_treeCommands->RenumberChildren(node);
}

views::TConceptNode& TMainForm::AddChildConceptUnderNode(views::TConceptNode& node) {
    return m_treeCommands->AddChildConceptUnderNode(node);
}

void TMainForm::RefreshConceptEverywhere(const store::TConceptData& item) {
    for (views::TConceptNode* node : m_views.tree->NodesOfConcept(item.ConceptNo())) {
        node->Data().SetTitle(item.Title());
        node->Data().SetHasChildren(item.HasChildren());
        if (item.IsLink() && node->Data().IsLink() && node->Data().LinkNo == item.LinkNo) {
            node->Data().LinkCode = item.LinkCode;
        }
        m_views.tree->UpdateNode(*node);
    }
    for (TIconViewPort* view : m_views.IconViews()) {
        view->RefreshItems(item);
    }
    m_views.parents->ClearSelection();
    m_views.editor->ShowParentRelation(nullptr);
    m_views.children->ClearSelection();
    m_views.editor->ShowChildRelation(nullptr);
    // A command that deleted the current concept refreshes its parent before it moves on.
    const store::TConceptData* current = m_history.Current();
    if (current != nullptr && m_store->DtStOriginalConcepts.Locate(
                                  store::kFieldRecordNo, store::TValue{current->ConceptNo()})) {
        m_views.editor->LoadConcept(current->ConceptNo());
    }
}

// ---- Undo --------------------------------------------------------------------------------

void TMainForm::TakeSavePoint() {
    if (m_ontology == nullptr) {
        return;
    }
    const store::TConceptData* current = m_history.Current();
    m_ontology->PushSavePoint(m_store->TakeSavePoint(current ? *current : store::TConceptData{}));
}

void TMainForm::UndoLastStep() {
    if (m_ontology == nullptr) {
        return;
    }
    m_views.editor->CancelPendingEdit();
    m_views.CancelLabelEdits();
    const std::unique_ptr<store::TSavePoint> point = m_ontology->PopSavePoint();
    if (!point) {
        return;
    }
    m_store->RollBackTo(*point);

    // A save point taken before anything was shown has no concept; the top stands in.
    store::TConceptData shown;
    shown.Assign(point->CurrentItem.ConceptNo() != 0 ? point->CurrentItem : m_seeker->GetTopNode());
    m_history.Clear();
    m_history.Add(shown);
    GoToConcept(this, shown, true, false);
}

void TMainForm::UndoAfterCycleError(const store::ETrimInvalidLinkError& error) {
    UndoLastStep();
    if (const store::TConceptData* item = error.Item()) {
        GoToConcept(this, *item, true, false);
    }
}

// ---- Enabled states ----------------------------------------------------------------------

void TMainForm::UpdateWorkspaceCommands(bool inWorkspace) {
    m_workspaceCommands->UpdateWorkspaceCommands(inWorkspace);
}

void TMainForm::UpdateEditCommands() {
    m_editCommands->UpdateEditCommands();
}

void TMainForm::UpdateTreeCommands() {
    m_treeCommands->UpdateTreeCommands();
}

void TMainForm::UpdateCommandStates() {
    UpdateTreeCommands();
    UpdateWorkspaceCommands(IsWorkspacePageCurrent());
    UpdateEditCommands();
}

void TMainForm::Timer1Timer() {
    m_editCommands->Poll();
}

void TMainForm::EditSelectAllExecute() {
    m_editCommands->EditSelectAllExecute();
}

// ---- The ontology file -------------------------------------------------------------------

void TMainForm::SetOntology(std::unique_ptr<store::TOntology> ontology) {
    if (m_ontology) {
        // The old one must not report into the window while it goes.
        m_ontology->OnStateChange = nullptr;
        m_ontology->OnTitleChange = nullptr;
    }
    m_ontology = std::move(ontology);
    m_context.SetOntology(m_ontology.get());
    // The commands that only need an ontology (those without a window yet stay disabled).
    for (const TCommandName name :
         std::initializer_list<TCommandName>{"FileOntologyConfig", "ExportExcel", "ImportCSV",
                                             "ImportText", "ExportWord", "EditFind"}) {
        m_commands->Enable(name, m_ontology != nullptr);
    }
    if (m_ontology) {
        m_ontology->OnStateChange = [this](bool, bool) { OnOntologyState(); };
        m_ontology->OnTitleChange = [this](store::TOntology&) { RefreshCaption(); };
    }
    OnOntologyState();
    RefreshCaption();
}

void TMainForm::OnOntologyState() {
    m_fileCommands->UpdateFileCommands();
    m_commands->Enable("EditUndo", m_ontology != nullptr && m_ontology->CanUndo());
    if (m_recovery) {
        m_recovery->OntologyStateChanged();
    }
}

void TMainForm::RefreshCaption() {
    QString caption = FromUtf8(kApplicationTitle);
    if (m_ontology) {
        caption += " - " + FromCp932(m_ontology->Title());
    }
    setWindowTitle(caption);
}

bool TMainForm::HasUnsavedChanges() const {
    return m_fileCommands->HasUnsavedChanges();
}

bool TMainForm::CloseOntology(QObject* sender) {
    (void)sender;
    return m_fileCommands->CloseOntology();
}

void TMainForm::FileCreate1Execute() {
    m_fileCommands->FileCreate1Execute();
}

void TMainForm::FileOpen1Execute() {
    m_fileCommands->FileOpen1Execute();
}

void TMainForm::OpenOntologyFile(const QString& path) {
    m_fileCommands->OpenOntologyFile(path);
}

void TMainForm::FileSave1Execute() {
    m_fileCommands->FileSave1Execute();
}

void TMainForm::FileSaveAs1Execute() {
    m_fileCommands->FileSaveAs1Execute();
}

void TMainForm::FilePrintDlg1Execute() {
    m_fileCommands->FilePrintDlg1Execute();
}

void TMainForm::EditFindExecute() {
    m_formSearch->ShowSearch();
}

void TMainForm::ToolOptionExecute() {
    m_toolCommands->ToolOptionExecute();
}

void TMainForm::HelpBrowseExecute() {
    m_toolCommands->HelpBrowseExecute();
}

void TMainForm::HelpVersionExecute() {
    m_toolCommands->HelpVersionExecute();
}

QString TMainForm::HelpFilePath() {
    return TToolCommands::HelpFilePath();
}

// ---- Window events -----------------------------------------------------------------------

void TMainForm::closeEvent(QCloseEvent* event) {
    bool unloaded = true;
    if (!RunGuarded([this, &unloaded] { unloaded = CloseOntology(this); }) || !unloaded) {
        event->ignore();
        return;
    }
    RunGuarded([this] { WriteGeometry(); });
    event->accept();
}

void TMainForm::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) {
        event->acceptProposedAction();
    }
}

void TMainForm::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    event->acceptProposedAction();
    if (urls.size() != 1 || !urls.front().isLocalFile()) {
        return;
    }
    const QString path = urls.front().toLocalFile().left(kDroppedPathLimit);
    // Opening may ask questions; the drop is finished first so the shell is not kept waiting.
    QTimer::singleShot(0, this,
                       [this, path] { RunGuarded([this, &path] { OpenOntologyFile(path); }); });
}

}  // namespace velmora::app
