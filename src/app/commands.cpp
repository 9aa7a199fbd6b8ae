#include "commands.h"

#include <QActionGroup>
#include <QFile>
#include <QIcon>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QToolBar>
#include <stdexcept>

#include "qt_text.h"

// The icons live in a static library; nothing else names their resource object, so the linker
// would drop it unless it is pulled in by name. The macro must stand outside a namespace.
static void InitIconResources() {
    Q_INIT_RESOURCE(icons);
}

namespace velmora::app {

namespace {

using namespace menus;

QString Q(std::string_view text) {
    return FromUtf8(text);
}

}  // namespace

QString PlainCaption(const QString& caption) {
    QString plain = caption;
    plain.remove(QRegularExpression(R"(\(&.\))"));
    plain.remove("...");
    return plain;
}

QIcon ProgramIcon() {
    InitIconResources();
    return QIcon(":/icons/velmora.svg");
}

TCommandSet::TCommandSet(QWidget* owner, TGuard guard) : m_guard(std::move(guard)) {
    InitIconResources();
    for (const TCommandDef& def : kCommandDefs) {
        auto* action = new QAction(Q(def.caption), owner);
        action->setObjectName(Q(def.name));
        if (!def.shortcut.empty()) {
            action->setShortcut(QKeySequence(Q(def.shortcut)));
            // The shortcuts work wherever the focus is in the window, not only in one view.
            action->setShortcutContext(Qt::WindowShortcut);
        }
        const QString hint = def.hint == kNoHint ? QString()
                             : def.hint.empty()  ? PlainCaption(Q(def.caption))
                                                 : Q(def.hint);
        action->setToolTip(hint);
        action->setStatusTip(hint);
        const QString iconPath = ":/icons/" + Q(def.name) + ".svg";
        if (QFile::exists(iconPath)) {
            action->setIcon(QIcon(iconPath));
        }
        action->setEnabled(false);
        owner->addAction(action);
        m_byName.insert(Q(def.name), action);
        m_actions.push_back(action);
    }
    // The two workspace sizes are a radio group.
    auto* sizes = new QActionGroup(owner);
    for (const TCommandName name :
         std::initializer_list<TCommandName>{"WorkspaceLargeIcon", "WorkspaceSmallIcon"}) {
        Action(name)->setCheckable(true);
        sizes->addAction(Action(name));
    }
}

QAction* TCommandSet::Action(TCommandName name) const {
    return Find(name.View());
}

QAction* TCommandSet::Find(std::string_view name) const {
    QAction* action = m_byName.value(Q(name), nullptr);
    if (action == nullptr) {
        throw std::logic_error("no command " + std::string(name));
    }
    return action;
}

void TCommandSet::Connect(TCommandName name, std::function<void()> handler) {
    m_connected.insert(name.View());
    QObject::connect(Action(name), &QAction::triggered, Action(name),
                     [guard = m_guard, handler = std::move(handler)] { guard(handler); });
}

void TCommandSet::Enable(TCommandName name, bool enabled) {
    Action(name)->setEnabled(enabled && IsConnected(name));
}

bool TCommandSet::IsConnected(TCommandName name) const {
    return m_connected.contains(name.View());
}

void TCommandSet::AddItems(QWidget& menu, std::initializer_list<TMenuItem> items) const {
    auto* asMenu = qobject_cast<QMenu*>(&menu);
    auto* asBar = qobject_cast<QToolBar*>(&menu);
    for (const TMenuItem& item : items) {
        if (item.IsSeparator()) {
            if (asMenu != nullptr) {
                asMenu->addSeparator();
            } else if (asBar != nullptr) {
                asBar->addSeparator();
            }
        } else {
            menu.addAction(Find(item.Name()));
        }
    }
}

void TCommandSet::BuildMenuBar(QMenuBar& bar) const {
    const auto add = [&](std::string_view title) {
        QMenu* menu = bar.addMenu(Q(title));
        return menu;
    };
    AddItems(*add(kFile), {"FileCreate1", "FileOpen1", "-", "FileSave1", "FileSaveAs1", "-",
                           "FilePrintDlg1", "-", "FileOntologyConfig", "-", "FileExit1"});
    AddItems(*add(kEdit), {"EditUndo", "-", "EditCut", "EditCopy", "EditPaste", "-",
                           "EditSelectAll", "-", "EditDelete", "-", "EditFind"});
    AddItems(*add(kView), {"BrowseGoBack", "BrowseGoForward"});
    AddItems(*add(kTree), {"TreeviewAddSibling", "TreeviewAddChild", "-", "TreeviewEditLabel",
                           "TreeviewSortSibling", "-", "TreeviewMoveHigher", "TreeviewMoveLower",
                           "TreeviewMoveUpper", "TreeviewMoveDown"});
    QMenu* workspace = add(kWorkspace);
    AddItems(*workspace, {"WorkspaceAddNode", "-", "WorkspaceArrange"});
    AddItems(*workspace->addMenu("表示(&V)..."), {"WorkspaceLargeIcon", "WorkspaceSmallIcon"});
    AddItems(*workspace, {"-", "WorkspaceDivide", "WorkSpaceMerge", "WorkspaceCreateMirrorImage",
                          "-", "WorkspaceEditLinkType"});
    QMenu* tool = add(kTool);
    AddItems(*tool->addMenu("データのインポート(&I)"), {"ImportText", "ImportCSV", "ImportXML"});
    AddItems(*tool->addMenu("データのエクスポート(&E)"),
             {"ExportHTML", "ExportWord", "ExportExcel", "ExportXML"});
    AddItems(*tool, {"-", "ToolOption"});
    AddItems(*add(kHelp), {"HelpBrowse", "-", "HelpVersion"});
}

void TCommandSet::BuildToolBar(QToolBar& bar) const {
    AddItems(bar, {"FileCreate1", "FileOpen1", "FileSave1", "FileSaveAs1", "-", "EditUndo", "-",
                   "BrowseGoBack", "BrowseGoForward", "-", "TreeviewAddSibling", "TreeviewAddChild",
                   "-", "TreeviewMoveHigher", "TreeviewMoveLower", "TreeviewMoveUpper",
                   "TreeviewMoveDown", "-"});
}

void TCommandSet::BuildPopupTreeView(QMenu& menu) const {
    AddItems(menu, {"EditCut", "EditCopy", "EditPaste", "-", "EditDelete", "-",
                    "TreeviewAddSibling", "TreeviewAddChild", "-", "TreeviewSortSibling"});
    // A plain item, not the command: searching from the tree's menu was never offered.
    menu.addAction("検索(&F)...")->setEnabled(false);
}

void TCommandSet::BuildPopupWorkSpace(QMenu& menu) const {
    AddItems(menu,
             {"EditCut", "EditCopy", "EditPaste", "-", "EditSelectAll", "-", "WorkspaceArrange"});
    AddItems(*menu.addMenu("表示(&V)"), {"WorkspaceLargeIcon", "WorkspaceSmallIcon"});
    AddItems(menu, {"-", "EditDelete", "-", "WorkspaceAddNode", "-", "WorkspaceDivide",
                    "WorkSpaceMerge", "WorkspaceCreateMirrorImage", "-", "WorkspaceEditLinkType"});
}

void TCommandSet::BuildPopupParentView(QMenu& menu) const {
    AddItems(menu, {"EditCut", "EditCopy", "EditPaste", "-", "EditDelete", "-"});
    QMenu* sizes = menu.addMenu("表示(&V)");
    auto* group = new QActionGroup(&menu);
    for (const auto& [name, caption] :
         {std::pair{"PopupParentViewLargeIcon", "大きいアイコン(&L)"},
          std::pair{"PopupParentViewSmallIcon", "小さいアイコン(&S)"}}) {
        QAction* item = sizes->addAction(caption);
        item->setObjectName(name);
        item->setCheckable(true);
        group->addAction(item);
    }
}

}  // namespace velmora::app
