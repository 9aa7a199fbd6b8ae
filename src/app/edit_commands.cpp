#include "edit_commands.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <optional>
#include <type_traits>

#include "concept_clipboard.h"
#include "store_exceptions.h"

namespace velmora::app {

namespace {

constexpr const char* kNoTarget = "ERROR: BUG: 削除対象を特定できません.";

// Calls edit with the widget as the text control it is; false when it is none.
template <class TEdit>
bool WithTextControl(QWidget* widget, TEdit&& edit) {
    if (auto* line = qobject_cast<QLineEdit*>(widget)) {
        edit(line);
    } else if (auto* text = qobject_cast<QTextEdit*>(widget)) {
        edit(text);
    } else if (auto* plain = qobject_cast<QPlainTextEdit*>(widget)) {
        edit(plain);
    } else {
        return false;
    }
    return true;
}

template <class TText>
bool HasSelection(TText* text) {
    if constexpr (std::is_same_v<TText, QLineEdit>) {
        return text->hasSelectedText();
    } else {
        return text->textCursor().hasSelection();
    }
}

// The enabled state of each edit command, one rule per command.
struct TEditRule {
    TCommandName command;
    bool (*enabled)(const TEditContext& c);
};

bool CanCut(const TEditContext& c) {
    return (c.itemCtx && c.hasItem && !c.isTop) || (c.textCtx && c.textSel);
}

constexpr TEditRule kEditRules[] = {
    {"EditCut", CanCut},
    {"EditDelete", CanCut},
    {"EditCopy",
     [](const TEditContext& c) { return (c.itemCtx && c.hasItem) || (c.textCtx && c.textSel); }},
    {"EditPaste",
     [](const TEditContext& c) {
         return (c.pasteCtx && c.clipConcept) || (c.textCtx && c.clipText);
     }},
    {"EditSelectAll", [](const TEditContext& c) { return c.selAll || c.textCtx; }},
};

}  // namespace

TEditCommands::TEditCommands(TCommandSet& commands, TCommandHost& host, TViewSet& views,
                             TConceptTransfer& transfer, TWorkspaceCommands& workspace,
                             QWidget* window)
    : m_commands(commands),
      m_host(host),
      m_views(views),
      m_transfer(transfer),
      m_workspace(workspace),
      m_window(window) {
    commands.Connect("EditCut", [this] { EditCutExecute(); });
    commands.Connect("EditCopy", [this] { EditCopyExecute(); });
    commands.Connect("EditPaste", [this] { EditPasteExecute(); });
    commands.Connect("EditDelete", [this] { EditDeleteExecute(); });
    commands.Connect("EditSelectAll", [this] { EditSelectAllExecute(); });
}

TEditFocus TEditCommands::ClassifyFocus() const {
    TEditFocus f;
    QWidget* focus = QApplication::focusWidget();
    if (focus == nullptr || focus->window() != m_window) {
        return f;
    }
    f.widget = focus;
    f.iconView = m_views.IconViewOf(focus);
    f.inTree = f.iconView == nullptr && m_views.InTree(focus);
    if (f.iconView != nullptr || f.inTree) {
        const bool editing =
            f.iconView != nullptr ? f.iconView->IsEditing() : m_views.tree->IsEditing();
        f.kind = editing ? TEditFocus::TKind::LabelEditor : TEditFocus::TKind::Items;
    } else if (WithTextControl(focus, [](auto*) {})) {
        f.kind = TEditFocus::TKind::Text;
    }
    return f;
}

TEditContext TEditCommands::Context() const {
    TEditContext c;
    const TEditFocus f = ClassifyFocus();
    switch (f.kind) {
        case TEditFocus::TKind::None:
            break;
        case TEditFocus::TKind::LabelEditor:
            c.textCtx = true;
            c.textSel = f.iconView != nullptr ? f.iconView->EditorHasSelection()
                                              : m_views.tree->EditorHasSelection();
            break;
        case TEditFocus::TKind::Items:
            c.itemCtx = true;
            if (f.iconView != nullptr) {
                const std::vector<store::TConceptData> selected = f.iconView->SelectedItems();
                c.pasteCtx = true;
                c.hasItem = !selected.empty();
                c.isTop = c.hasItem && m_host.IsTopConcept(selected.front());
                c.selAll = f.iconView == m_views.workspace.get();
            } else {
                const std::optional<views::TTreeSelection> node = m_views.tree->Selection();
                c.hasItem = node.has_value();
                c.isTop = c.hasItem && m_host.IsTopConcept(node->entry);
            }
            break;
        case TEditFocus::TKind::Text:
            c.textCtx = true;
            WithTextControl(f.widget, [&c](auto* text) { c.textSel = HasSelection(text); });
            break;
    }
    const QMimeData* clip = QApplication::clipboard()->mimeData();
    c.clipConcept = TClipbrdConceptData::HasPayload();
    c.clipText = clip != nullptr && clip->hasText();
    return c;
}

void TEditCommands::UpdateEditCommands() {
    const TEditContext c = Context();
    for (const TEditRule& rule : kEditRules) {
        m_commands.Enable(rule.command, rule.enabled(c));
    }
}

void TEditCommands::Poll() {
    if (!m_window->isActiveWindow()) {
        m_pollControl = nullptr;
        return;
    }
    QWidget* focus = QApplication::focusWidget();
    if (focus != m_pollControl.data()) {
        UpdateEditCommands();
        m_pollControl = focus;
        return;
    }
    // A label editor opening or closing changes what the commands act on; while one is open,
    // its selection may change at any keystroke.
    const TEditFocus f = ClassifyFocus();
    const bool inView =
        f.kind == TEditFocus::TKind::LabelEditor || f.kind == TEditFocus::TKind::Items;
    const bool editing = f.kind == TEditFocus::TKind::LabelEditor;
    if (inView && editing != m_pollEditing) {
        UpdateEditCommands();
        m_pollEditing = !m_pollEditing;
        return;
    }
    if (m_pollEditing) {
        UpdateEditCommands();
    }
}

bool TEditCommands::EditFocusedText(TTextEdit operation) {
    return WithTextControl(QApplication::focusWidget(), [operation](auto* text) {
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
            case TTextEdit::kSelectAll:
                text->selectAll();
                break;
        }
    });
}

void TEditCommands::EditCutExecute() {
    const TEditFocus f = ClassifyFocus();
    if (f.kind == TEditFocus::TKind::Items && f.iconView != nullptr) {
        m_transfer.CutFromView(*f.iconView);
    } else if (f.kind == TEditFocus::TKind::Items) {
        m_views.tree->CutToClipboard();
    } else if (!EditFocusedText(TTextEdit::kCut)) {
        throw store::EVelmoraError(kNoTarget);
    }
}

void TEditCommands::EditCopyExecute() {
    const TEditFocus f = ClassifyFocus();
    if (f.kind == TEditFocus::TKind::Items && f.iconView != nullptr) {
        m_transfer.CopyFromView(*f.iconView);
    } else if (f.kind == TEditFocus::TKind::Items) {
        m_views.tree->CopyToClipboard();
    } else if (!EditFocusedText(TTextEdit::kCopy)) {
        throw store::EVelmoraError(kNoTarget);
    }
}

void TEditCommands::EditPasteExecute() {
    const TEditFocus f = ClassifyFocus();
    if (f.kind == TEditFocus::TKind::Items && f.iconView != nullptr) {
        m_transfer.PasteIntoView(*f.iconView);
    } else if (f.kind == TEditFocus::TKind::Items || !EditFocusedText(TTextEdit::kPaste)) {
        // The hierarchy view takes no paste (the command is disabled there).
        throw store::EVelmoraError(kNoTarget);
    }
}

void TEditCommands::EditDeleteExecute() {
    const TEditFocus f = ClassifyFocus();
    if (f.kind == TEditFocus::TKind::Items && f.iconView != nullptr) {
        store::TConceptList items;
        for (const store::TConceptData& item : f.iconView->SelectedItems()) {
            items.AddNew().Assign(item);
        }
        m_workspace.DeleteConcepts(items);
    } else if (f.kind == TEditFocus::TKind::Items) {
        m_workspace.DeleteConcepts(*m_views.tree->GetSelectedList());
    } else if (!EditFocusedText(TTextEdit::kDelete)) {
        throw store::EVelmoraError(kNoTarget);
    }
}

void TEditCommands::EditSelectAllExecute() {
    QWidget* focus = QApplication::focusWidget();
    views::TIconViewPort* iconView = m_views.IconViewOf(focus);
    if (iconView != nullptr && iconView->IsEditing()) {
        iconView->SelectAllInEditor();
        return;
    }
    if (m_views.InTree(focus) && m_views.tree->IsEditing()) {
        m_views.tree->SelectAllInEditor();
        return;
    }
    if (EditFocusedText(TTextEdit::kSelectAll)) {
        return;
    }
    if (iconView != nullptr && iconView == m_views.workspace.get()) {
        m_views.workspace->SelectAll();
        return;
    }
    throw store::EVelmoraError("ERROR: BUG: 選択対象を特定できません.");
}

}  // namespace velmora::app
