// The edit commands — cut, copy, paste, delete and select all — act on whatever has the
// keyboard focus: the text of a field or of an in-place label editor, or the items of a view
// (through the concept clipboard).
// The focus is classified in one place (ClassifyFocus), the enabled states come from one table
// of rules over that classification, and the main window's 100 ms timer polls the focus here,
// since Qt tells no one when a text selection or the clipboard's contents change meaning.
#pragma once

#include <QPointer>

#include "command_host.h"
#include "commands.h"
#include "concept_transfer.h"
#include "view_set.h"
#include "workspace_commands.h"

class QWidget;

namespace velmora::app {

// Where the keyboard focus is, as the edit commands see it.
struct TEditFocus {
    enum class TKind {
        None,         // outside the window, or on a control the commands do not serve
        LabelEditor,  // a view's in-place label editor
        Items,        // the items of the hierarchy view or of an icon view
        Text,         // a line or multi-line text field
    };
    TKind kind = TKind::None;
    QWidget* widget = nullptr;                 // the focused widget
    views::TIconViewPort* iconView = nullptr;  // LabelEditor and Items in an icon view
    bool inTree = false;                       // LabelEditor and Items in the hierarchy
};

// The facts the enabling rules read.
struct TEditContext {
    bool textCtx = false;   // a text is edited
    bool textSel = false;   // ... and has selected text
    bool itemCtx = false;   // items of a view have the focus
    bool pasteCtx = false;  // ... and concepts may be pasted there
    bool hasItem = false;   // ... and one is selected
    bool isTop = false;     // ... and it is the top concept
    bool selAll = false;    // the view can select all its items
    bool clipConcept = false;
    bool clipText = false;
};

class TEditCommands {
public:
    // REQUIRES: every argument outlives the unit; window is the main window.
    TEditCommands(TCommandSet& commands, TCommandHost& host, TViewSet& views,
                  TConceptTransfer& transfer, TWorkspaceCommands& workspace, QWidget* window);

    TEditFocus ClassifyFocus() const;
    TEditContext Context() const;
    void UpdateEditCommands();
    // The timer's poll: recomputes the states when the focus moved, or while a text is edited.
    void Poll();

    void EditCutExecute();
    void EditCopyExecute();
    void EditPasteExecute();
    void EditDeleteExecute();
    void EditSelectAllExecute();

private:
    enum class TTextEdit { kCut, kCopy, kPaste, kDelete, kSelectAll };
    // The operation on the focused text (a field or a label editor); false when none has it.
    bool EditFocusedText(TTextEdit operation);

    TCommandSet& m_commands;
    TCommandHost& m_host;
    TViewSet& m_views;
    TConceptTransfer& m_transfer;
    TWorkspaceCommands& m_workspace;
    QWidget* m_window;
    // What the poll saw last.
    QPointer<QWidget> m_pollControl;
    bool m_pollEditing = false;
};

}  // namespace velmora::app
