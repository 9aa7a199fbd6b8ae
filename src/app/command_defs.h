// The names and looks of the main window's commands, checked by the compiler: a command is
// named in code through TCommandName, whose constructor runs at compile time and refuses a
// name that is not in kCommandDefs, so a misspelt name stops the build instead of failing
// when a menu is opened. Plain C++: the table is read before any Qt object exists.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace velmora::app {

struct TCommandDef {
    std::string_view name;
    std::string_view menu;  // the menu bar's menu it belongs to
    std::string_view caption;
    std::string_view shortcut;  // in QKeySequence's portable text; empty for none
    // The tool tip: empty derives it from the caption ("(&X)" and "..." removed); "-" for none.
    std::string_view hint;
};

namespace menus {
inline constexpr std::string_view kFile = "ファイル(&F)";
inline constexpr std::string_view kEdit = "編集(&E)";
inline constexpr std::string_view kView = "表示(&V)";
inline constexpr std::string_view kTree = "階層ビュー(&L)";
inline constexpr std::string_view kWorkspace = "作業スペース(&W)";
inline constexpr std::string_view kTool = "ツール(&T)";
inline constexpr std::string_view kHelp = "ヘルプ(&H)";
inline constexpr std::string_view kNoHint = "-";
}  // namespace menus

// Every command, in the order of the menus.
inline constexpr std::array<TCommandDef, 42> kCommandDefs = {{
    {"FileCreate1", menus::kFile, "オントロジーの新規作成(&N)...", "", ""},
    {"FileOpen1", menus::kFile, "ファイルを開く(&O)...", "", ""},
    {"FileSave1", menus::kFile, "保存(&S)...", "", "上書き保存"},
    {"FileSaveAs1", menus::kFile, "名前をつけて保存(&A)...", "", ""},
    {"FilePrintDlg1", menus::kFile, "印刷(&P)...", "Ctrl+P", menus::kNoHint},
    {"FileOntologyConfig", menus::kFile, "このオントロジーについて(&L)...", "", ""},
    {"FileExit1", menus::kFile, "終了(&X)", "", ""},
    {"EditUndo", menus::kEdit, "元に戻す(&U)", "Ctrl+Z", "編集：元に戻す"},
    {"EditCut", menus::kEdit, "切り取り(&T)", "Ctrl+X", ""},
    {"EditCopy", menus::kEdit, "コピー(&C)", "Ctrl+C", ""},
    {"EditPaste", menus::kEdit, "貼り付け(&P)", "Ctrl+V", ""},
    {"EditSelectAll", menus::kEdit, "すべてを選択(&A)", "Ctrl+A", ""},
    {"EditDelete", menus::kEdit, "削除(&D)...", "Del", ""},
    {"EditFind", menus::kEdit, "検索(&F)...", "Ctrl+F", ""},
    {"BrowseGoBack", menus::kView, "前に戻る(&B)", "Alt+Left", "表示：前に戻る"},
    {"BrowseGoForward", menus::kView, "先に進む(&F)", "Alt+Right", "表示：先に進む"},
    {"TreeviewAddSibling", menus::kTree, "同じレベルに追加(&A)", "Ctrl+Alt+Down",
     "階層ビュー：同じレベルに追加"},
    {"TreeviewAddChild", menus::kTree, "下のレベルに追加(&C)", "Ctrl+Alt+Right",
     "階層ビュー：下のレベルに追加"},
    {"TreeviewEditLabel", menus::kTree, "タイトルの編集(&E)", "F2", ""},
    {"TreeviewSortSibling", menus::kTree, "このレベルをソート(&S)", "", ""},
    {"TreeviewMoveHigher", menus::kTree, "上のレベルに移動(&L)", "Shift+Ctrl+Left",
     "階層ビュー：上のレベルに移動"},
    {"TreeviewMoveLower", menus::kTree, "下のレベルに移動(&B)", "Shift+Ctrl+Right",
     "階層ビュー：下のレベルに移動"},
    {"TreeviewMoveUpper", menus::kTree, "順位を上げる(&U)", "Shift+Ctrl+Up",
     "階層ビュー：順位を上げる"},
    {"TreeviewMoveDown", menus::kTree, "順位を下げる(&O)", "Shift+Ctrl+Down",
     "階層ビュー：順位を下げる"},
    {"WorkspaceAddNode", menus::kWorkspace, "概念の追加(&A)", "", "概念の追加("},
    {"WorkspaceArrange", menus::kWorkspace, "アイコンの整列(&R)", "", menus::kNoHint},
    {"WorkspaceLargeIcon", menus::kWorkspace, "大きいアイコン(&L)", "", menus::kNoHint},
    {"WorkspaceSmallIcon", menus::kWorkspace, "小さいアイコン(&S)", "", menus::kNoHint},
    {"WorkspaceDivide", menus::kWorkspace, "概念の複製(&L)...", "", ""},
    {"WorkSpaceMerge", menus::kWorkspace, "概念の併合(&M)...", "", ""},
    {"WorkspaceCreateMirrorImage", menus::kWorkspace, "概念の鏡像の作成(&I)...", "", ""},
    {"WorkspaceEditLinkType", menus::kWorkspace, "鏡像の関係プロパティ(&T)...", "", ""},
    {"ImportText", menus::kTool, "テキスト形式(&T)...", "", menus::kNoHint},
    {"ImportCSV", menus::kTool, "CSV 形式(&C)...", "", menus::kNoHint},
    {"ImportXML", menus::kTool, "XML 形式(&X)...", "", menus::kNoHint},
    {"ExportHTML", menus::kTool, "HTML 形式(&H)...", "", menus::kNoHint},
    {"ExportWord", menus::kTool, "Microsoft Word 形式(&W)...", "", menus::kNoHint},
    {"ExportExcel", menus::kTool, "CSV 形式(&E)...", "", menus::kNoHint},
    {"ExportXML", menus::kTool, "XML 形式(&X)...", "", menus::kNoHint},
    {"ToolOption", menus::kTool, "オプション設定(&O)...", "", ""},
    {"HelpBrowse", menus::kHelp, "ヘルプ(&H)...", "", menus::kNoHint},
    {"HelpVersion", menus::kHelp, "バージョン情報(&V)...", "", ""},
}};

consteval bool IsCommandName(std::string_view name) {
    for (const TCommandDef& def : kCommandDefs) {
        if (def.name == name) {
            return true;
        }
    }
    return false;
}

// A command's name, known to be one of kCommandDefs. Built from a literal at compile time;
// an unknown name is not a constant expression and fails the build.
class TCommandName {
public:
    consteval TCommandName(const char* name) : m_name(name) {  // NOLINT: implicit by design
        if (!IsCommandName(m_name)) {
            throw "not a command name";  // reached only while compiling: a build error
        }
    }
    constexpr std::string_view View() const { return m_name; }

private:
    std::string_view m_name;
};

// An entry of a menu or tool-bar layout: a command, or "-" for a separator.
class TMenuItem {
public:
    consteval TMenuItem(const char* item) : m_item(item) {  // NOLINT: implicit by design
        if (m_item != "-" && !IsCommandName(m_item)) {
            throw "not a command name";
        }
    }
    constexpr bool IsSeparator() const { return m_item == "-"; }
    constexpr std::string_view Name() const { return m_item; }

private:
    std::string_view m_item;
};

}  // namespace velmora::app
