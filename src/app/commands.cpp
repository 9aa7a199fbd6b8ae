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

constexpr std::string_view kFile = "ファイル(&F)";
constexpr std::string_view kEdit = "編集(&E)";
constexpr std::string_view kView = "表示(&V)";
constexpr std::string_view kTree = "階層ビュー(&L)";
constexpr std::string_view kWorkspace = "作業スペース(&W)";
constexpr std::string_view kTool = "ツール(&T)";
constexpr std::string_view kHelp = "ヘルプ(&H)";
constexpr std::string_view kNone = "-";

QString Q(std::string_view text) {
    return FromUtf8(text);
}

}  // namespace

const std::vector<TCommandDef>& CommandDefs() {
    static const std::vector<TCommandDef> defs = {
        {"FileCreate1", kFile, "オントロジーの新規作成(&N)...", "", ""},
        {"FileOpen1", kFile, "ファイルを開く(&O)...", "", ""},
        {"FileSave1", kFile, "保存(&S)...", "", "上書き保存"},
        {"FileSaveAs1", kFile, "名前をつけて保存(&A)...", "", ""},
        {"FilePrintDlg1", kFile, "印刷(&P)...", "Ctrl+P", kNone},
        {"FileOntologyConfig", kFile, "このオントロジーについて(&L)...", "", ""},
        {"FileExit1", kFile, "終了(&X)", "", ""},
        {"EditUndo", kEdit, "元に戻す(&U)", "Ctrl+Z", "編集：元に戻す"},
        {"EditCut", kEdit, "切り取り(&T)", "Ctrl+X", ""},
        {"EditCopy", kEdit, "コピー(&C)", "Ctrl+C", ""},
        {"EditPaste", kEdit, "貼り付け(&P)", "Ctrl+V", ""},
        {"EditSelectAll", kEdit, "すべてを選択(&A)", "Ctrl+A", ""},
        {"EditDelete", kEdit, "削除(&D)...", "Del", ""},
        {"EditFind", kEdit, "検索(&F)...", "Ctrl+F", ""},
        {"BrowseGoBack", kView, "前に戻る(&B)", "Alt+Left", "表示：前に戻る"},
        {"BrowseGoForward", kView, "先に進む(&F)", "Alt+Right", "表示：先に進む"},
        {"TreeviewAddSibling", kTree, "同じレベルに追加(&A)", "Ctrl+Alt+Down",
         "階層ビュー：同じレベルに追加"},
        {"TreeviewAddChild", kTree, "下のレベルに追加(&C)", "Ctrl+Alt+Right",
         "階層ビュー：下のレベルに追加"},
        {"TreeviewEditLabel", kTree, "タイトルの編集(&E)", "F2", ""},
        {"TreeviewSortSibling", kTree, "このレベルをソート(&S)", "", ""},
        {"TreeviewMoveHigher", kTree, "上のレベルに移動(&L)", "Shift+Ctrl+Left",
         "階層ビュー：上のレベルに移動"},
        {"TreeviewMoveLower", kTree, "下のレベルに移動(&B)", "Shift+Ctrl+Right",
         "階層ビュー：下のレベルに移動"},
        {"TreeviewMoveUpper", kTree, "順位を上げる(&U)", "Shift+Ctrl+Up",
         "階層ビュー：順位を上げる"},
        {"TreeviewMoveDown", kTree, "順位を下げる(&O)", "Shift+Ctrl+Down",
         "階層ビュー：順位を下げる"},
        {"WorkspaceAddNode", kWorkspace, "概念の追加(&A)", "", "概念の追加("},
        {"WorkspaceArrange", kWorkspace, "アイコンの整列(&R)", "", kNone},
        {"WorkspaceLargeIcon", kWorkspace, "大きいアイコン(&L)", "", kNone},
        {"WorkspaceSmallIcon", kWorkspace, "小さいアイコン(&S)", "", kNone},
        {"WorkspaceDivide", kWorkspace, "概念の複製(&L)...", "", ""},
        {"WorkSpaceMerge", kWorkspace, "概念の併合(&M)...", "", ""},
        {"WorkspaceCreateMirrorImage", kWorkspace, "概念の鏡像の作成(&I)...", "", ""},
        {"WorkspaceEditLinkType", kWorkspace, "鏡像の関係プロパティ(&T)...", "", ""},
        {"ImportText", kTool, "テキスト形式(&T)...", "", kNone},
        {"ImportCSV", kTool, "CSV 形式(&C)...", "", kNone},
        {"ImportXML", kTool, "XML 形式(&X)...", "", kNone},
        {"ExportHTML", kTool, "HTML 形式(&H)...", "", kNone},
        {"ExportWord", kTool, "Microsoft Word 形式(&W)...", "", kNone},
        {"ExportExcel", kTool, "CSV 形式(&E)...", "", kNone},
        {"ExportXML", kTool, "XML 形式(&X)...", "", kNone},
        {"ToolOption", kTool, "オプション設定(&O)...", "", ""},
        {"HelpBrowse", kHelp, "ヘルプ(&H)...", "", kNone},
        {"HelpVersion", kHelp, "バージョン情報(&V)...", "", ""},
    };
    return defs;
}

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

TCommandSet::TCommandSet(QWidget* owner) {
    InitIconResources();
    for (const TCommandDef& def : CommandDefs()) {
        auto* action = new QAction(Q(def.caption), owner);
        action->setObjectName(Q(def.name));
        if (!def.shortcut.empty()) {
            action->setShortcut(QKeySequence(Q(def.shortcut)));
            // The shortcuts work wherever the focus is in the window, not only in one view.
            action->setShortcutContext(Qt::WindowShortcut);
        }
        const QString hint = def.hint == kNone  ? QString()
                             : def.hint.empty() ? PlainCaption(Q(def.caption))
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
    for (const char* name : {"WorkspaceLargeIcon", "WorkspaceSmallIcon"}) {
        Action(name)->setCheckable(true);
        sizes->addAction(Action(name));
    }
}

QAction* TCommandSet::Action(std::string_view name) const {
    QAction* action = m_byName.value(Q(name), nullptr);
    if (action == nullptr) {
        throw std::logic_error("no command " + std::string(name));
    }
    return action;
}

void TCommandSet::AddItems(QWidget& menu, const std::vector<std::string_view>& items) const {
    auto* asMenu = qobject_cast<QMenu*>(&menu);
    auto* asBar = qobject_cast<QToolBar*>(&menu);
    for (const std::string_view item : items) {
        if (item == "-") {
            if (asMenu != nullptr) {
                asMenu->addSeparator();
            } else if (asBar != nullptr) {
                asBar->addSeparator();
            }
        } else {
            menu.addAction(Action(item));
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
