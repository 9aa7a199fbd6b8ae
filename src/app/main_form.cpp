#include "main_form.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QCollator>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTabWidget>
#include <QTextEdit>
#include <QTimer>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>
#include <cstdio>
#include <type_traits>

#include "about_box.h"
#include "code_page.h"
#include "create_ontology_wizard.h"
#include "date_time.h"
#include "ontology_tables.h"
#include "option_dialog.h"
#include "qt_text.h"

namespace velmora::app {

namespace {

using store::TAnswer;
using store::TButtons;
using store::TMessageKind;

// The concept payload of the clipboard, as the concept clipboard writes it.
constexpr const char* kConceptClipboardType = "application/x-velmora-concepts";

constexpr const char* kUnsavedQuestion =
    "編集内容はファイルに保存されていません.保存しますか?\r\nここで保存しない場合は編集内容は破棄"
    "されます.";
constexpr const char* kWelcome =
    "　ようこそ Velmora へ.\r\n\r\n　最初に次の画面で任意のユーザー名を入力してください. "
    "\r\nこのツールで作成したデータには作成者の署名が記録されます.";
constexpr const char* kOpenFilter = "velmoraファイル(*.ont);;すべてのファイル(*)";
constexpr const char* kSaveFilter = "Velmoraファイル(*.ont);;すべてのファイル(*)";
constexpr const char* kEditPageHint =
    "右ペインの上下のウインドウに概念アイコンをカット&ペーストできます.";
constexpr const char* kNoBackupKept =
    "保存しました. ただし以前の版のバックアップは作成できませんでした: ";
constexpr int kDroppedPathLimit = 254;

// Qt shows CR LF as two line breaks; the texts keep their CR LF, the boxes get LF.
QString BoxText(const char* text) {
    return QString::fromUtf8(text).replace("\r\n", "\n");
}

// The user is told when typed text had characters the files cannot hold.
QString UnconvertibleText(int count) {
    return QString("Shift-JIS で表せない文字 %1 個を \"?\" に置き換えました.").arg(count);
}

std::string PathBytes(const QString& path) {
    return QFile::encodeName(path).toStdString();
}
QString PathText(const std::string& path) {
    return QFile::decodeName(path.c_str());
}

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

struct TMainForm::TFocusContext {
    bool textCtx = false;
    bool textSel = false;
    bool itemCtx = false;
    bool pasteCtx = false;
    bool hasItem = false;
    bool isTop = false;
    bool selAll = false;
};

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

    m_commands = std::make_unique<TCommandSet>(this);
    BuildLayout();
    ConnectCommands();

    // FormCreate: the history and its callbacks, the settings, the views' roles.
    m_history.OnStateChange = [this](bool back, bool forward) {
        Enable("BrowseGoBack", back);
        Enable("BrowseGoForward", forward);
    };
    m_history.OnNavigate = [this](const store::TConceptData& entry) {
        ShowConcept(entry, false, false);
    };
    m_history.OnIsValid = [this](const store::TConceptData& entry) { return RecordExists(entry); };

    m_store->SetQuestioner(m_questioner);
    m_seeker = std::make_unique<engine::TDataModuleSeeker>(*m_store, m_questioner);
    m_seeker->OnTakeSavePoint = [this] { TakeSavePoint(); };
    m_seeker->AddObserver(this);
    m_context.SetUserName(ToCp932(m_settings.Author()));
    m_editor->SetEditorActive(false);

    for (const char* name :
         {"FileCreate1", "FileOpen1", "FilePrintDlg1", "FileExit1", "WorkspaceSmallIcon",
          "WorkspaceLargeIcon", "ToolOption", "HelpVersion", "HelpBrowse"}) {
        Enable(name, true);
    }
    const bool smallWorkspace = m_settings.WorkspaceSmallIcon();
    Command(smallWorkspace ? "WorkspaceSmallIcon" : "WorkspaceLargeIcon")->setChecked(true);
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
    // The ontology tells the window of its last state change as it goes; the window is still
    // whole here.
    m_ontology.reset();
    if (m_seeker) {
        m_seeker->RemoveObserver(this);
    }
}

void TMainForm::Start(const QStringList& arguments, bool unattended) {
    if (m_settings.Author() == "無記名" && unattended) {
        std::fputs("velmora: first start: the welcome and the options dialog are skipped\n",
                   stderr);
    } else if (m_settings.Author() == "無記名") {
        m_ui.Ask(TMessageKind::Custom, TButtons::Ok, BoxText(kWelcome),
                 FromUtf8(kApplicationTitle));
        RunGuarded([this] { ToolOptionExecute(); });
    }
    if (!arguments.isEmpty()) {
        const QString path = arguments.front();
        RunGuarded([this, &path] { OpenOntologyFile(path); });
    }
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
                        m_parentsView->SetSmallIcons(choice);
                        m_childrenView->SetSmallIcons(choice);
                    });
                });
    }

    connect(m_pageControl, &QTabWidget::currentChanged, this,
            [this](int index) { RunGuarded([this, index] { OnPageChanged(index); }); });

    // Until their own classes take the places, the views are empty panels.
    m_treeView = std::make_unique<views::TFrameTreeView>();
    WireTreeView();
    SetWorkspaceView(std::make_unique<TPlaceholderPane>("FrameListViewWorkSpace"));
    SetParentsView(std::make_unique<TPlaceholderPane>("FrameListViewParents"));
    SetChildrenView(std::make_unique<TPlaceholderPane>("FrameListViewChildren"));
    SetConceptEditor(std::make_unique<TPlaceholderPane>("FrameConceptEdit1"));
}

void TMainForm::ReplacePane(QWidget* panel, QWidget* view) {
    QLayout* layout = panel->layout();
    while (QLayoutItem* item = layout->takeAt(0)) {
        delete item;  // the old view's widget is deleted by its port's owner
    }
    layout->addWidget(view);
}

void TMainForm::WireTreeView() {
    views::TFrameTreeView& tree = *m_treeView;
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
    tree.OnSelectionChange = [this] { RunGuarded([this] { UpdateTreeCommands(); }); };
    tree.OnStatusText = [this](const QString& text) { SetStatusText(text); };
    tree.OnError = [this](const std::exception& error) {
        m_ui.Ask(TMessageKind::Error, TButtons::Ok, FromUtf8(error.what()));
    };
    tree.OnTitleEdited = [this](views::TConceptNode& node, const QString& text) {
        RunGuarded([this, &node, &text] {
            TakeSavePoint();
            int lost = 0;
            node.Data().SetTitle(ToCp932(text.isEmpty() ? QString("タイトル未設定") : text, &lost));
            m_seeker->StoreTitle(node.Data());
            if (lost > 0) {
                SetStatusText(UnconvertibleText(lost));
            }
        });
    };
    tree.OnNodeDropped = [this](views::TConceptNode& source, views::TConceptNode& target,
                                bool lowerHalf) {
        RunGuarded([&] { OnTreeDrop(source, target, lowerHalf); });
    };
}

void TMainForm::SetWorkspaceView(std::unique_ptr<TIconViewPort> view) {
    PlaceView(m_tabSheetWorkSpace, view->Widget(), m_popupWorkSpace);
    view->SetRole({true, true, false});
    view->SetSmallIcons(m_settings.WorkspaceSmallIcon());
    view->OnSelectionChange = [this] {
        RunGuarded([this] {
            const std::vector<store::TConceptData> selected = m_workspace->SelectedItems();
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
        RunGuarded([this, item] {
            if (item == nullptr) {
                return;
            }
            if (item->IsLink()) {
                store::TConceptData shown;
                shown.SetConceptNo(item->ConceptNo());
                shown.SetTitle(item->Title());
                GoToConcept(this, shown, false, false);
                return;
            }
            if (item->HasChildren()) {
                // Down one level: the workspace then shows the children.
                m_seeker->SetSeekMode(engine::smChildren);
                m_seeker->SetSeekNo(item->ConceptNo());
                const store::TConceptList& children = m_seeker->GetItems();
                if (children.Count() > 0) {
                    store::TConceptData first;
                    first.Assign(children[0]);
                    GoToConcept(this, first, false, false);
                }
            }
        });
    };
    m_workspace = std::move(view);
}

void TMainForm::SetParentsView(std::unique_ptr<TIconViewPort> view) {
    PlacePane(m_parentsView, std::move(view), m_panelConceptEditTop, true);
}

void TMainForm::SetChildrenView(std::unique_ptr<TIconViewPort> view) {
    PlacePane(m_childrenView, std::move(view), m_panelConceptEditBottom, false);
}

// The parents and the children pane: one selected item shows its relation in the editor; a
// double-click goes to the item (from the parents pane, a mirror image goes to the concept it
// lies under).
void TMainForm::PlacePane(std::unique_ptr<TIconViewPort>& slot, std::unique_ptr<TIconViewPort> view,
                          QWidget* panel, bool parents) {
    PlaceView(panel, view->Widget(), m_popupParentView);
    view->SetRole({false, false, true});
    view->SetSmallIcons(m_settings.ParentViewSmallIcon());
    TIconViewPort* pane = view.get();
    view->OnSelectionChange = [this, pane, parents] {
        RunGuarded([this, pane, parents] {
            const std::vector<store::TConceptData> selected = pane->SelectedItems();
            const store::TConceptData* entry = selected.empty() ? nullptr : &selected.front();
            if (parents) {
                m_editor->ShowParentRelation(entry);
            } else {
                m_editor->ShowChildRelation(entry);
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
    m_editor = std::move(editor);
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
    m_workspace->SetSmallIcons(m_settings.WorkspaceSmallIcon());
    m_parentsView->SetSmallIcons(m_settings.ParentViewSmallIcon());
    m_childrenView->SetSmallIcons(m_settings.ParentViewSmallIcon());
    update();
}

// Wide enough for a title of a dozen characters two levels down.
int TMainForm::FirstStartTreeWidth() const {
    const QFontMetrics metrics(m_treeView->ConceptTreeView()->font());
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

void TMainForm::Enable(std::string_view command, bool enabled) {
    // A command whose window or behaviour is not there yet stays disabled, whatever the rules.
    Command(command)->setEnabled(enabled && m_connected.contains(std::string(command)));
}

void TMainForm::Connect(std::string_view command, const std::function<void()>& handler) {
    m_connected.insert(std::string(command));
    connect(Command(command), &QAction::triggered, this, [this, handler] { RunGuarded(handler); });
}

void TMainForm::Connect(std::string_view command, void (TMainForm::*handler)()) {
    m_connected.insert(std::string(command));
    connect(Command(command), &QAction::triggered, this,
            [this, handler] { RunGuarded([this, handler] { (this->*handler)(); }); });
}

void TMainForm::ConnectCommands() {
    Connect("FileCreate1", &TMainForm::FileCreate1Execute);
    Connect("FileOpen1", &TMainForm::FileOpen1Execute);
    Connect("FileSave1", &TMainForm::FileSave1Execute);
    Connect("FileSaveAs1", &TMainForm::FileSaveAs1Execute);
    Connect("FilePrintDlg1", &TMainForm::FilePrintDlg1Execute);
    Connect("FileExit1", [this] { close(); });
    Connect("EditUndo", &TMainForm::EditUndoExecute);
    Connect("EditSelectAll", &TMainForm::EditSelectAllExecute);
    Connect("TreeviewMoveHigher", &TMainForm::TreeviewMoveHigherExecute);
    Connect("TreeviewMoveLower", &TMainForm::TreeviewMoveLowerExecute);
    Connect("TreeviewMoveUpper", &TMainForm::TreeviewMoveUpperExecute);
    Connect("TreeviewMoveDown", &TMainForm::TreeviewMoveDownExecute);
    Connect("TreeviewAddSibling", &TMainForm::TreeviewAddSiblingExecute);
    Connect("TreeviewAddChild", &TMainForm::TreeviewAddChildExecute);
    Connect("TreeviewEditLabel", &TMainForm::TreeviewEditLabelExecute);
    Connect("TreeviewSortSibling", &TMainForm::TreeviewSortSiblingExecute);
    Connect("BrowseGoBack", [this] { m_history.Back(); });
    Connect("BrowseGoForward", [this] { m_history.Forward(); });
    for (const auto& [name, small] :
         {std::pair{"WorkspaceLargeIcon", false}, std::pair{"WorkspaceSmallIcon", true}}) {
        const bool choice = small;
        Connect(name, [this, choice] {
            m_settings.SetWorkspaceSmallIcon(choice);
            m_workspace->SetSmallIcons(choice);
        });
    }
    Connect("EditCut", [this] { EditTextExecute(TTextEdit::kCut); });
    Connect("EditCopy", [this] { EditTextExecute(TTextEdit::kCopy); });
    Connect("EditPaste", [this] { EditTextExecute(TTextEdit::kPaste); });
    Connect("EditDelete", [this] { EditTextExecute(TTextEdit::kDelete); });
    Connect("ToolOption", &TMainForm::ToolOptionExecute);
    Connect("HelpBrowse", &TMainForm::HelpBrowseExecute);
    Connect("HelpVersion", &TMainForm::HelpVersionExecute);
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
    m_editor->LoadConcept(item.ConceptNo());
    SetStatusText(FromCp932(ConceptSummary(item.ConceptNo())));

    m_seeker->SetSeekMode(engine::smParents);
    m_seeker->SetSeekNo(item.ConceptNo());
    m_parentsView->Fill(m_seeker->GetItems());
    m_seeker->SetSeekMode(engine::smChildren);
    m_seeker->SetSeekNo(item.ConceptNo());
    m_childrenView->Fill(m_seeker->GetItems());

    if (force || !m_workspace->SelectOnly(item)) {
        if (item.IsLink()) {
            m_seeker->SetSeekMode(engine::smMirrorLevel);
            m_seeker->SetSeekNo(item.LinkNo);
        } else {
            m_seeker->SetSeekMode(engine::smLevel);
            m_seeker->SetSeekNo(item.ConceptNo());
        }
        m_workspace->Fill(m_seeker->GetItems());
        m_workspace->SelectOnly(item);
    }

    if (!keepTree) {
        QWidget* tree = m_treeView->Widget();
        tree->setUpdatesEnabled(false);
        try {
            m_treeView->ShowConcept(item, force);
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
    m_treeView->ExpandFirstNode();
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
    m_editor->SetRelationsEditable(use);
}

void TMainForm::OnPageChanged(int index) {
    if (index == m_pageControl->indexOf(m_tabSheetEditConcept) && m_editor->IsEditorActive()) {
        if (auto* id = m_editor->Widget()->findChild<QLineEdit*>("DBEditID")) {
            id->setFocus();
            id->deselect();
        }
    }
    const bool workspacePage = index == m_pageControl->indexOf(m_tabSheetWorkSpace);
    UpdateWorkspaceCommands(workspacePage);
    SetStatusText(QString());
    if (!workspacePage) {
        SetStatusText(QString::fromUtf8(kEditPageHint));
    }
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
    m_treeView->Clear();
    m_workspace->Clear();
    store::TConceptData top;
    top.Assign(m_seeker->GetTopNode());
    const store::TConceptData* current = m_history.Current();
    if (current != nullptr && store::SameConceptData(*current, top)) {
        ShowConcept(top, false, true);
    } else {
        GoToConcept(this, top, false, false);
    }
    m_treeView->ExpandFirstNode();
}

// ---- Tree operations -----------------------------------------------------------------------

void TMainForm::TreeViewMoveNode(views::TConceptNode* node, views::TConceptNode* destination,
                                 views::TNodeAttachMode mode) {
    views::TConceptNode* newParent = destination == nullptr      ? nullptr
                                     : mode == views::amAddChild ? destination
                                                                 : destination->ParentNode();
    if (node == nullptr || destination == nullptr || newParent == nullptr) {
        throw store::EVelmoraError("ERROR: This is BUG! \"TreeViewMoveNode\" function Failed.");
    }
    views::TConceptNode* oldParent = node->ParentNode();
    if (mode == views::amAddChild) {
        m_treeView->ExpandNode(*newParent);
    }
    const bool parentChanged = newParent != oldParent;
    if (parentChanged) {
        // The data first: a refused move leaves the view as it was.
        store::TConceptList items;
        items.AddNew().Assign(node->Data());
        const int mirrorImages = m_store->DtStOriginalNetWork.RecordCount();
        m_seeker->MoveItems(items, newParent->Data());
        node->Data().IconPos = store::TIconPoint{};
        if (m_store->DtStOriginalNetWork.RecordCount() < mirrorImages) {
            RemoveDeletedMirrorNodes();
        }
    }
    m_treeView->MoveNodeInView(*node, *destination, mode);
    if (oldParent != nullptr && oldParent->childCount() == 0) {
        oldParent->Data().SetHasChildren(false);
        RefreshConceptEverywhere(oldParent->Data());
    }
    newParent->Data().SetHasChildren(true);
    RefreshConceptEverywhere(newParent->Data());
    m_treeView->ConceptTreeView()->scrollToItem(node);
    m_treeView->ConceptTreeView()->setCurrentItem(node);
    if (parentChanged) {
        store::TConceptData moved;
        moved.Assign(node->Data());
        GoToConcept(this, moved, true, true);
    }
    RenumberChildren(*newParent);
}

// The cycle check deletes the mirror images the user agreed to give up; their nodes go too,
// and a level left empty loses its expand button.
void TMainForm::RemoveDeletedMirrorNodes() {
    const auto gone = [this](const store::TConceptData& item) { return !RecordExists(item); };
    for (views::TConceptNode* parent : m_treeView->RemoveMirrorNodes(gone)) {
        if (parent->childCount() == 0) {
            parent->Data().SetHasChildren(false);
            RefreshConceptEverywhere(parent->Data());
        }
    }
}

void TMainForm::RenumberChildren(views::TConceptNode& node) {
    store::TConceptList children;
    for (int i = 0; i < node.childCount(); ++i) {
        children.AddNew().Assign(node.ChildNode(i)->Data());
    }
    m_seeker->RenumberChildren(children);
}

views::TConceptNode& TMainForm::AddChildConceptUnderNode(views::TConceptNode& node) {
    const std::unique_ptr<store::TConceptData> added = m_seeker->AddChildConcept(node.Data());
    views::TConceptNode* created = nullptr;
    if (node.Data().IsLink()) {
        // A concept's children live at its own place only; shown under a mirror image, the new
        // concept would be numbered and moved apart from its real level.
        created = &m_treeView->BuildPathTo(*added);
    } else if (node.childCount() == 0) {
        // A level not loaded yet is loaded whole (the new concept comes last in it), so that
        // the one new node does not stand in for the whole level.
        m_treeView->TreeViewExpandTreeNode(node);
        created = m_treeView->FindNode(*added);
    }
    if (created == nullptr) {
        auto copy = std::make_unique<store::TConceptData>();
        copy->Assign(*added);
        created = m_treeView->AddNode(&node, std::move(copy));
    }
    created->ParentNode()->setExpanded(true);
    m_treeView->ConceptTreeView()->setCurrentItem(created);
    m_treeView->ConceptTreeView()->scrollToItem(created);
    store::TConceptData shown;
    shown.Assign(created->Data());
    GoToConcept(this, shown, false, true);
    return *created;
}

// Just after the anchor in its level: before the anchor's next sibling, or at the level's end.
// (The next sibling may be the node itself: it is there already.)
void TMainForm::MoveNodeAfter(views::TConceptNode* node, views::TConceptNode* anchor) {
    if (views::TConceptNode* next = anchor->NextSibling()) {
        TreeViewMoveNode(node, next, views::amInsert);
    } else {
        TreeViewMoveNode(node, anchor, views::amAdd);
    }
}

void TMainForm::RunMove(const std::function<void()>& move) {
    TakeSavePoint();
    try {
        move();
    } catch (const store::ETrimInvalidLinkError& error) {
        UndoAfterCycleError(error);
    }
}

void TMainForm::TreeviewMoveHigherExecute() {
    views::TConceptNode* s = m_treeView->SelectedNode();
    if (s == nullptr || s->ParentNode() == nullptr || s->ParentNode()->ParentNode() == nullptr) {
        return;
    }
    RunMove([this, s] { MoveNodeAfter(s, s->ParentNode()); });
}

void TMainForm::TreeviewMoveLowerExecute() {
    views::TConceptNode* s = m_treeView->SelectedNode();
    views::TConceptNode* above = s != nullptr ? s->PreviousSibling() : nullptr;
    if (above == nullptr || above->Data().IsLink()) {
        return;
    }
    RunMove([this, s, above] { TreeViewMoveNode(s, above, views::amAddChild); });
}

void TMainForm::TreeviewMoveUpperExecute() {
    views::TConceptNode* s = m_treeView->SelectedNode();
    views::TConceptNode* above = s != nullptr ? s->PreviousSibling() : nullptr;
    if (above == nullptr) {
        return;
    }
    RunMove([this, s, above] { TreeViewMoveNode(s, above, views::amInsert); });
}

void TMainForm::TreeviewMoveDownExecute() {
    views::TConceptNode* s = m_treeView->SelectedNode();
    views::TConceptNode* n = s != nullptr ? s->NextSibling() : nullptr;
    if (n == nullptr) {
        return;
    }
    RunMove([this, s, n] { MoveNodeAfter(s, n); });
}

void TMainForm::TreeviewAddSiblingExecute() {
    views::TConceptNode* s = m_treeView->SelectedNode();
    if (s == nullptr || s->ParentNode() == nullptr) {
        return;
    }
    TakeSavePoint();
    AddChildConceptUnderNode(*s->ParentNode());
    m_treeView->EditSelectedLabel();
}

void TMainForm::TreeviewAddChildExecute() {
    views::TConceptNode* s = m_treeView->SelectedNode();
    if (s == nullptr) {
        return;
    }
    TakeSavePoint();
    AddChildConceptUnderNode(*s);
    m_treeView->EditSelectedLabel();
}

void TMainForm::TreeviewEditLabelExecute() {
    m_treeView->EditSelectedLabel();
}

void TMainForm::TreeviewSortSiblingExecute() {
    views::TConceptNode* s = m_treeView->SelectedNode();
    if (s == nullptr || s->ParentNode() == nullptr) {
        return;
    }
    TakeSavePoint();
    views::TConceptNode& parent = *s->ParentNode();
    // Titles are Japanese whatever the process locale: kana in the order of the syllabary.
    QCollator collator(QLocale(QLocale::Japanese, QLocale::Japan));
    collator.setCaseSensitivity(Qt::CaseSensitive);
    const engine::TDataModuleSeeker::TCollation compare = [&collator](const std::string& a,
                                                                      const std::string& b) {
        return collator.compare(FromCp932(a), FromCp932(b));
    };
    m_treeView->SortChildren(
        parent, [&compare](const store::TConceptData& a, const store::TConceptData& b) {
            return engine::TDataModuleSeeker::LevelItemLess(a, b, compare);
        });
    RenumberChildren(parent);
}

void TMainForm::OnTreeDrop(views::TConceptNode& source, views::TConceptNode& target,
                           bool lowerHalf) {
    RunMove([&] {
        if (lowerHalf) {
            MoveNodeAfter(&source, &target);
        } else {
            TreeViewMoveNode(&source, &target, views::amInsert);
        }
    });
}

void TMainForm::RefreshConceptEverywhere(const store::TConceptData& item) {
    for (views::TConceptNode* node : m_treeView->NodesOfConcept(item.ConceptNo())) {
        node->Data().SetTitle(item.Title());
        node->Data().SetHasChildren(item.HasChildren());
        if (item.IsLink() && node->Data().IsLink() && node->Data().LinkNo == item.LinkNo) {
            node->Data().LinkCode = item.LinkCode;
        }
        m_treeView->UpdateNode(*node);
    }
    m_parentsView->ClearSelection();
    m_editor->ShowParentRelation(nullptr);
    m_childrenView->ClearSelection();
    m_editor->ShowChildRelation(nullptr);
    if (const store::TConceptData* current = m_history.Current()) {
        m_editor->LoadConcept(current->ConceptNo());
    }
}

// ---- Undo --------------------------------------------------------------------------------

void TMainForm::TakeSavePoint() {
    if (m_ontology == nullptr) {
        return;
    }
    const store::TConceptData* current = m_history.Current();
    auto point = std::make_unique<store::TSavePoint>(current ? *current : store::TConceptData{});
    // Reading a position first completes a pending edit of that table.
    point->ConceptsSavePoint = m_store->DtStOriginalConcepts.SavePoint();
    point->LinkTypeSavePoint = m_store->DtStOriginalLinkType.SavePoint();
    point->NetWorkSavePoint = m_store->DtStOriginalNetWork.SavePoint();
    point->TermsSavePoint = m_store->DtStOriginalTerms.SavePoint();
    point->AssociationSavePoint = m_store->DtStOriginalAssociation.SavePoint();
    m_ontology->PushSavePoint(std::move(point));
}

void TMainForm::UndoLastStep() {
    if (m_ontology == nullptr) {
        return;
    }
    m_editor->CancelPendingEdit();
    m_treeView->CancelLabelEdit();
    for (TIconViewPort* view : {m_workspace.get(), m_parentsView.get(), m_childrenView.get()}) {
        view->CancelLabelEdit();
    }
    const std::unique_ptr<store::TSavePoint> point = m_ontology->PopSavePoint();
    if (!point) {
        return;
    }
    m_store->DtStOriginalConcepts.SetSavePoint(point->ConceptsSavePoint);
    m_store->DtStOriginalLinkType.SetSavePoint(point->LinkTypeSavePoint);
    m_store->DtStOriginalNetWork.SetSavePoint(point->NetWorkSavePoint);
    m_store->DtStOriginalTerms.SetSavePoint(point->TermsSavePoint);
    m_store->DtStOriginalAssociation.SetSavePoint(point->AssociationSavePoint);

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
    const char* names[] = {"WorkspaceAddNode",      "WorkspaceCreateMirrorImage",
                           "WorkspaceEditLinkType", "WorkspaceArrange",
                           "WorkSpaceMerge",        "WorkspaceDivide"};
    const store::TConceptData* current = m_history.Current();
    if (current == nullptr || !inWorkspace || m_ontology == nullptr) {
        for (const char* name : names) {
            Enable(name, false);
        }
        return;
    }
    const bool top = IsTopConcept(*current);
    const std::vector<store::TConceptData> selected = m_workspace->SelectedItems();
    const auto n = selected.size();
    const bool plain = std::none_of(selected.begin(), selected.end(),
                                    [](const store::TConceptData& d) { return d.IsLink(); });
    Enable("WorkspaceAddNode", !top);
    Enable("WorkspaceDivide", !top && n >= 1 && plain);
    Enable("WorkspaceCreateMirrorImage", !top && n >= 1 && plain);
    Enable("WorkSpaceMerge", !top && n >= 2 && plain);
    Enable("WorkspaceEditLinkType", m_useVariousLink && n == 1 && selected.front().IsLink());
    Enable("WorkspaceArrange", m_workspace->ItemCount() > 0);
}

TMainForm::TFocusContext TMainForm::ClassifyFocus() const {
    TFocusContext c;
    QWidget* focus = QApplication::focusWidget();
    if (focus == nullptr || focus->window() != this) {
        return c;
    }
    const auto within = [focus](QWidget* view) {
        return view != nullptr && (focus == view || view->isAncestorOf(focus));
    };
    const TIconViewPort* iconView = nullptr;
    for (const TIconViewPort* view :
         {m_workspace.get(), m_parentsView.get(), m_childrenView.get()}) {
        if (within(const_cast<TIconViewPort*>(view)->Widget())) {
            iconView = view;
        }
    }
    const bool inTree = within(m_treeView->Widget());
    if ((iconView != nullptr && iconView->IsEditing()) || (inTree && m_treeView->IsEditing())) {
        c.textCtx = true;
        c.textSel =
            iconView != nullptr ? iconView->EditorHasSelection() : m_treeView->EditorHasSelection();
        return c;
    }
    if (iconView != nullptr) {
        const std::vector<store::TConceptData> selected = iconView->SelectedItems();
        c.itemCtx = c.pasteCtx = true;
        c.hasItem = !selected.empty();
        c.isTop = c.hasItem && const_cast<TMainForm*>(this)->IsTopConcept(selected.front());
        c.selAll = iconView == m_workspace.get();
        return c;
    }
    if (inTree) {
        const std::optional<TTreeSelection> node = m_treeView->Selection();
        c.itemCtx = true;
        c.hasItem = node.has_value();
        c.isTop = c.hasItem && const_cast<TMainForm*>(this)->IsTopConcept(node->entry);
        return c;
    }
    if (auto* line = qobject_cast<QLineEdit*>(focus)) {
        c.textCtx = true;
        c.textSel = line->hasSelectedText();
    } else if (auto* text = qobject_cast<QTextEdit*>(focus)) {
        c.textCtx = true;
        c.textSel = text->textCursor().hasSelection();
    } else if (auto* plain = qobject_cast<QPlainTextEdit*>(focus)) {
        c.textCtx = true;
        c.textSel = plain->textCursor().hasSelection();
    }
    return c;
}

void TMainForm::UpdateEditCommands() {
    TFocusContext c = ClassifyFocus();
    // Cut, copy, paste and deletion of concepts come with the concept clipboard and the delete
    // command; until then these commands work on text only.
    c.itemCtx = c.pasteCtx = false;
    const QMimeData* clip = QApplication::clipboard()->mimeData();
    const bool clipConcept = clip != nullptr && clip->hasFormat(kConceptClipboardType);
    const bool clipText = clip != nullptr && clip->hasText();
    const bool cut = (c.itemCtx && c.hasItem && !c.isTop) || (c.textCtx && c.textSel);
    Enable("EditCut", cut);
    Enable("EditDelete", cut);
    Enable("EditCopy", (c.itemCtx && c.hasItem) || (c.textCtx && c.textSel));
    Enable("EditPaste", (c.pasteCtx && clipConcept) || (c.textCtx && clipText));
    Enable("EditSelectAll", c.selAll || c.textCtx);
}

void TMainForm::UpdateTreeCommands() {
    const char* names[] = {"TreeviewAddChild",   "TreeviewEditLabel",  "TreeviewSortSibling",
                           "TreeviewAddSibling", "TreeviewMoveHigher", "TreeviewMoveLower",
                           "TreeviewMoveUpper",  "TreeviewMoveDown"};
    for (const char* name : names) {
        Enable(name, false);
    }
    const std::optional<TTreeSelection> node = m_treeView->Selection();
    if (!node) {
        return;
    }
    GoToConcept(this, node->entry, false, false);
    Enable("TreeviewAddChild", true);
    Enable("TreeviewEditLabel", true);
    Enable("TreeviewAddSibling", node->hasParent);
    Enable("TreeviewMoveHigher", node->hasParent && node->hasGrandparent);
    Enable("TreeviewMoveLower", node->hasPreviousSibling && !node->previousSiblingIsMirror);
    Enable("TreeviewSortSibling", node->hasPreviousSibling || node->hasNextSibling);
    Enable("TreeviewMoveUpper", node->hasPreviousSibling);
    Enable("TreeviewMoveDown", node->hasNextSibling);
}

void TMainForm::Timer1Timer() {
    if (!isActiveWindow()) {
        m_timerControl = nullptr;
        return;
    }
    QWidget* focus = QApplication::focusWidget();
    if (focus != m_timerControl.data()) {
        UpdateEditCommands();
        m_timerControl = focus;
        return;
    }
    const auto editingIn = [focus](QWidget* view, bool editing) {
        return view != nullptr && focus != nullptr && (focus == view || view->isAncestorOf(focus))
                   ? std::optional<bool>(editing)
                   : std::nullopt;
    };
    std::optional<bool> editing = editingIn(m_treeView->Widget(), m_treeView->IsEditing());
    for (TIconViewPort* view : {m_workspace.get(), m_parentsView.get(), m_childrenView.get()}) {
        if (!editing) {
            editing = editingIn(view->Widget(), view->IsEditing());
        }
    }
    if (editing && *editing != m_timerEditing) {
        UpdateEditCommands();
        m_timerEditing = !m_timerEditing;
        return;
    }
    if (m_timerEditing) {
        UpdateEditCommands();
    }
}

void TMainForm::EditTextExecute(TTextEdit operation) {
    const auto edit = [operation](auto* text) {
        switch (operation) {
            case TTextEdit::kCut:
                text->cut();
                break;
            case TTextEdit::kCopy:
                text->copy();
                break;
            case TTextEdit::kPaste:
                text->paste();
                break;
            case TTextEdit::kDelete:
                if constexpr (std::is_same_v<decltype(text), QLineEdit*>) {
                    text->del();
                } else {
                    text->textCursor().removeSelectedText();
                }
                break;
        }
    };
    QWidget* focus = QApplication::focusWidget();
    if (auto* line = qobject_cast<QLineEdit*>(focus)) {
        edit(line);
    } else if (auto* text = qobject_cast<QTextEdit*>(focus)) {
        edit(text);
    } else if (auto* plain = qobject_cast<QPlainTextEdit*>(focus)) {
        edit(plain);
    }
}

void TMainForm::CommitInPlaceEdits() {
    m_treeView->CommitLabelEdit();
    for (TIconViewPort* view : {m_workspace.get(), m_parentsView.get(), m_childrenView.get()}) {
        view->CommitLabelEdit();
    }
}

void TMainForm::EditSelectAllExecute() {
    QWidget* focus = QApplication::focusWidget();
    const auto within = [focus](QWidget* view) {
        return focus != nullptr && (focus == view || view->isAncestorOf(focus));
    };
    for (TIconViewPort* view : {m_workspace.get(), m_parentsView.get(), m_childrenView.get()}) {
        if (within(view->Widget()) && view->IsEditing()) {
            view->SelectAllInEditor();
            return;
        }
    }
    if (within(m_treeView->Widget()) && m_treeView->IsEditing()) {
        m_treeView->SelectAllInEditor();
        return;
    }
    if (auto* line = qobject_cast<QLineEdit*>(focus)) {
        line->selectAll();
        return;
    }
    if (auto* text = qobject_cast<QTextEdit*>(focus)) {
        text->selectAll();
        return;
    }
    if (auto* plain = qobject_cast<QPlainTextEdit*>(focus)) {
        plain->selectAll();
        return;
    }
    if (within(m_workspace->Widget())) {
        m_workspace->SelectAll();
        return;
    }
    throw store::EVelmoraError("ERROR: BUG: 選択対象を特定できません.");
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
    const bool loaded = m_ontology != nullptr;
    for (const char* name : {"FileSaveAs1", "FileOntologyConfig", "ExportExcel", "ImportCSV",
                             "ImportText", "ExportWord", "EditFind"}) {
        Enable(name, loaded);
    }
    if (loaded) {
        m_ontology->OnStateChange = [this](bool canUndo, bool modified) {
            OnOntologyState(canUndo, modified);
        };
        m_ontology->OnTitleChange = [this](store::TOntology&) { RefreshCaption(); };
        OnOntologyState(m_ontology->CanUndo(), m_ontology->Modified());
    } else {
        OnOntologyState(false, false);
    }
    RefreshCaption();
}

void TMainForm::OnOntologyState(bool canUndo, bool modified) {
    Enable("FileSave1", canUndo || modified);
    Enable("EditUndo", canUndo);
}

void TMainForm::RefreshCaption() {
    QString caption = FromUtf8(kApplicationTitle);
    if (m_ontology) {
        caption += " - " + FromCp932(m_ontology->Title());
    }
    setWindowTitle(caption);
}

bool TMainForm::HasUnsavedChanges() const {
    return m_ontology != nullptr &&
           (m_ontology->CanUndo() || m_ontology->Modified() || m_editor->HasPendingEdit());
}

bool TMainForm::CloseOntology(QObject* sender) {
    (void)sender;
    if (m_ontology == nullptr) {
        return true;
    }
    // A title still in its editor is a change like any other.
    CommitInPlaceEdits();
    if (HasUnsavedChanges()) {
        switch (m_ui.Ask(TMessageKind::Warning, TButtons::YesNoCancel, BoxText(kUnsavedQuestion))) {
            case TAnswer::Yes:
                FileSave1Execute();
                break;
            case TAnswer::No:
                m_editor->CancelPendingEdit();
                m_ontology->SetCanUndo(false);
                m_ontology->SetModified(false);
                break;
            default:
                break;
        }
    }
    if (HasUnsavedChanges()) {
        return false;
    }
    m_treeView->Clear();
    m_workspace->Clear();
    m_parentsView->Clear();
    m_childrenView->Clear();
    m_editor->SetEditorActive(false);
    UpdateTreeCommands();
    UpdateWorkspaceCommands(false);
    UpdateEditCommands();
    m_history.Clear();
    SetOntology(nullptr);
    m_store->CloseTables();
    SetStatusText("ONTOLOGY UNLOADED.");
    return true;
}

void TMainForm::FileCreate1Execute() {
    if (m_ontology != nullptr && !CloseOntology(this)) {
        return;
    }
    TPagesDlgCreateOntology wizard(m_ui, this);
    if (m_ui.RunModal(wizard) == QDialog::Accepted) {
        try {
            BuildOntologyFromWizard(wizard);
        } catch (...) {
            // Half-built tables are no ontology: back to idle, and the error is shown.
            m_history.Clear();
            m_editor->SetEditorActive(false);
            SetOntology(nullptr);
            m_store->CloseTables();
            throw;
        }
    }
    if (m_ontology != nullptr) {
        ShowTopConcept();
        FocusTree();
    }
}

// A keyboard user walks the tree at once, from the selected concept.
void TMainForm::FocusTree() {
    m_treeView->ConceptTreeView()->setFocus(Qt::OtherFocusReason);
}

void TMainForm::BuildOntologyFromWizard(TPagesDlgCreateOntology& wizard) {
    int lost = 0;
    const auto bytes = [&lost](const QString& text) {
        int here = 0;
        std::string cp932 = ToCp932(text, &here);
        lost += here;
        return cp932;
    };
    SetOntology(std::make_unique<store::TOntology>());
    store::TOntology& ontology = *m_ontology;
    const std::string target = bytes(wizard.Target());
    ontology.SetTarget(target);
    ontology.SetTitle(bytes(wizard.OntologyTitle()));
    ontology.SetCommunity(bytes(wizard.Community()));
    ontology.SetDescription(bytes(wizard.TargetDescription()));
    ontology.SetCreator(bytes(m_settings.Author()));
    ontology.SetCreatedDay(store::TimeOfDayText(store::TDateTime::Now()));
    ontology.SetCanUndo(false);
    ontology.SetModified(true);
    std::vector<std::string> subCategories;
    for (const QString& text : wizard.SubCategories()) {
        subCategories.push_back(bytes(text));
    }
    m_store->BuildNewOntology(target, subCategories);
    m_editor->SetEditorActive(true);
    if (lost > 0) {
        m_ui.Ask(TMessageKind::Warning, TButtons::Ok, UnconvertibleText(lost));
    }
}

void TMainForm::FileOpen1Execute() {
    if (m_ontology != nullptr && !CloseOntology(this)) {
        return;
    }
    if (const std::optional<QString> path = m_ui.AskOpenFileName(this, kOpenFilter)) {
        OpenOntologyFile(*path);
    }
}

void TMainForm::OpenOntologyFile(const QString& path) {
    if (m_ontology != nullptr && !CloseOntology(this)) {
        return;
    }
    SetOntology(std::make_unique<store::TOntology>());
    try {
        m_ontology->SetFileName(PathBytes(path));
        m_store->LoadOntologyFile(*m_ontology);
        m_editor->SetEditorActive(true);
        ShowTopConcept();
        FocusTree();
    } catch (...) {
        m_history.Clear();
        m_editor->SetEditorActive(false);
        SetOntology(nullptr);
        m_store->CloseTables();
        throw;
    }
}

bool TMainForm::SaveWithChecks(bool overwrite) {
    // A change still in a field or a label editor is part of what the user saves.
    CommitInPlaceEdits();
    m_editor->PostPendingEdit();
    m_seeker->RunSupportChecks();
    const bool saved = m_store->SaveOntologyFile(*m_ontology, overwrite);
    if (saved && !m_store->LastBackupProblem().empty()) {
        // The file is saved; the user should know that its previous version is not kept.
        SetStatusText(QString::fromUtf8(kNoBackupKept) +
                      QString::fromUtf8(m_store->LastBackupProblem()));
    }
    return saved;
}

void TMainForm::FileSave1Execute() {
    if (m_ontology == nullptr) {
        return;
    }
    if (m_ontology->FileName().empty()) {
        FileSaveAs1Execute();
        return;
    }
    SaveWithChecks(true);
}

void TMainForm::FileSaveAs1Execute() {
    if (m_ontology == nullptr) {
        return;
    }
    const std::string previous = m_ontology->FileName();
    const QString preset =
        previous.empty() ? FromCp932(m_ontology->Title()) + ".ont" : PathText(previous);
    const std::optional<QString> chosen = m_ui.AskSaveFileName(this, preset, kSaveFilter, "ont");
    if (!chosen) {
        return;
    }
    m_ontology->SetFileName(PathBytes(*chosen));
    bool written = false;
    try {
        written = SaveWithChecks(false);
    } catch (...) {
        m_ontology->SetFileName(previous);
        throw;
    }
    // A declined overwrite keeps the old name, so a later plain save cannot overwrite the
    // declined file without asking.
    if (!written) {
        m_ontology->SetFileName(previous);
    }
}

void TMainForm::FilePrintDlg1Execute() {
    QPrinter printer;
    if (!m_ui.AskPrint(this, printer)) {
        return;
    }
    const QPixmap image = grab();
    QPainter painter;
    if (!painter.begin(&printer)) {
        throw store::EVelmoraError("印刷を始められません.");
    }
    const QRect page = painter.viewport();
    const QSize fitted = image.size().scaled(page.size(), Qt::KeepAspectRatio);
    painter.setViewport(page.x(), page.y(), fitted.width(), fitted.height());
    painter.setWindow(image.rect());
    painter.drawPixmap(0, 0, image);
    painter.end();
}

void TMainForm::ToolOptionExecute() {
    TOptionHooks hooks;
    hooks.setFontSize = [this](int code) { SetFontSize(code); };
    hooks.setUseVariousLink = [this](bool use) { SetUseVariousLink(use); };
    hooks.refreshEditor = [this] {
        m_context.SetUserName(ToCp932(m_settings.Author()));
        m_editor->RefreshEditor();
    };
    RunOptionDialog(m_ui, m_settings, hooks, this);
}

QString TMainForm::HelpFilePath() {
    // Beside the program in the build tree; under share/ once installed.
    const QDir programDir(QCoreApplication::applicationDirPath());
    const QString beside = programDir.filePath("help/index.html");
    const QString installed = programDir.filePath("../share/velmora/help/index.html");
    return !QFileInfo::exists(beside) && QFileInfo::exists(installed) ? QDir::cleanPath(installed)
                                                                      : beside;
}

void TMainForm::HelpBrowseExecute() {
    const QString path = HelpFilePath();
    if (QFileInfo::exists(path)) {
        if (!m_ui.OpenWithDesktop(path)) {
            m_ui.Ask(TMessageKind::Error, TButtons::Ok,
                     "ヘルプを開くプログラムが見つかりません."
                     "\nブラウザで次のファイルを開いてください:\n" +
                         QDir::toNativeSeparators(path));
        }
        return;
    }
    m_ui.Ask(TMessageKind::Error, TButtons::OkCancel,
             "ヘルプファイル\"help/index.html\"がみつかりません.");
}

void TMainForm::HelpVersionExecute() {
    TAboutBox box(this);
    m_ui.RunModal(box);
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
