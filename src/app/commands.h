// The command set of the main window: every menu, tool-bar and pop-up command as one named
// QAction (objectName = the command's name) with its caption, hint, shortcut and icon, and the
// layouts of the menu bar, the tool bar and the three pop-up menus.
//
// The commands carry their look here; the command units connect what they do through Connect,
// which runs it under the window's error handler. All start disabled, and a command that has
// no behaviour connected stays disabled whatever Enable is told.
#pragma once

#include <QAction>
#include <QHash>
#include <QString>
#include <functional>
#include <initializer_list>
#include <set>
#include <string_view>
#include <vector>

#include "command_defs.h"

class QMenu;
class QMenuBar;
class QToolBar;
class QWidget;

namespace velmora::app {

// The caption without its accelerator "(&X)" and without "...".
QString PlainCaption(const QString& caption);
// The program's own icon (windows, the about box), from the icon resources.
QIcon ProgramIcon();

class TCommandSet {
public:
    // Runs a command's behaviour and reports what it raised; false when it raised.
    using TGuard = std::function<bool(const std::function<void()>&)>;

    TCommandSet(QWidget* owner, TGuard guard);

    QAction* Action(TCommandName name) const;
    // The same by a name known only at run time (tests, settings); throws std::logic_error for
    // an unknown name.
    QAction* Find(std::string_view name) const;
    const std::vector<QAction*>& All() const { return m_actions; }

    // The command's behaviour, run under the guard when it is triggered.
    void Connect(TCommandName name, std::function<void()> handler);
    void Enable(TCommandName name, bool enabled);
    bool IsConnected(TCommandName name) const;
    // Runs body under the guard, as a command's behaviour runs: false when it raised.
    bool RunGuarded(const std::function<void()>& body) const { return m_guard(body); }

    void BuildMenuBar(QMenuBar& bar) const;
    void BuildToolBar(QToolBar& bar) const;
    // The pop-up menus of the hierarchy view, the workspace and the two panes. The panes' menu
    // also holds the two size items PopupParentViewLargeIcon and PopupParentViewSmallIcon,
    // which are not commands of the set.
    void BuildPopupTreeView(QMenu& menu) const;
    void BuildPopupWorkSpace(QMenu& menu) const;
    void BuildPopupParentView(QMenu& menu) const;

private:
    void AddItems(QWidget& menu, std::initializer_list<TMenuItem> items) const;

    QHash<QString, QAction*> m_byName;
    std::vector<QAction*> m_actions;
    TGuard m_guard;
    std::set<std::string_view, std::less<>> m_connected;
};

}  // namespace velmora::app
