// The command set of the main window: every menu, tool-bar and pop-up command as one named
// QAction (objectName = the command's name) with its caption, hint, shortcut and icon, and the
// layouts of the menu bar, the tool bar and the three pop-up menus.
//
// The commands only carry their look and enabled state here; the main window connects what
// they do. All start disabled.
#pragma once

#include <QAction>
#include <QHash>
#include <QString>
#include <string_view>
#include <vector>

class QMenu;
class QMenuBar;
class QToolBar;
class QWidget;

namespace velmora::app {

struct TCommandDef {
    std::string_view name;
    std::string_view menu;  // the menu bar's menu it belongs to
    std::string_view caption;
    std::string_view shortcut;  // in QKeySequence's portable text; empty for none
    // The tool tip: empty derives it from the caption ("(&X)" and "..." removed); "-" for none.
    std::string_view hint;
};

// Every command, in the order of the menus.
const std::vector<TCommandDef>& CommandDefs();
// The caption without its accelerator "(&X)" and without "...".
QString PlainCaption(const QString& caption);
// The program's own icon (windows, the about box), from the icon resources.
QIcon ProgramIcon();

class TCommandSet {
public:
    explicit TCommandSet(QWidget* owner);

    // REQUIRES: name is one of CommandDefs().
    QAction* Action(std::string_view name) const;
    QAction* operator[](std::string_view name) const { return Action(name); }
    const std::vector<QAction*>& All() const { return m_actions; }

    void BuildMenuBar(QMenuBar& bar) const;
    void BuildToolBar(QToolBar& bar) const;
    // The pop-up menus of the hierarchy view, the workspace and the two panes. The panes' menu
    // also holds the two size items PopupParentViewLargeIcon and PopupParentViewSmallIcon,
    // which are not commands of the set.
    void BuildPopupTreeView(QMenu& menu) const;
    void BuildPopupWorkSpace(QMenu& menu) const;
    void BuildPopupParentView(QMenu& menu) const;

private:
    // items: command names, "-" for a separator.
    void AddItems(QWidget& menu, const std::vector<std::string_view>& items) const;

    QHash<QString, QAction*> m_byName;
    std::vector<QAction*> m_actions;
};

}  // namespace velmora::app
