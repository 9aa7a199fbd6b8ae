#include "concept_transfer.h"

#include <memory>

#include "concept_clipboard.h"

namespace velmora::app {

namespace {

using store::TAnswer;
using store::TButtons;
using store::TMessageKind;

constexpr const char* kEntryGone = "エラー: データベースから項目が読み出せません.";
constexpr const char* kNoLevelAboveTop = "最上位の概念の階層には移動も貼り付けもできません.";

// A mirror image stands for the concept it shows.
store::TConceptData ConceptShownBy(const store::TConceptData& item) {
    store::TConceptData shown;
    shown.SetConceptNo(item.ConceptNo());
    shown.SetTitle(item.Title());
    shown.SetHasChildren(item.HasChildren());
    return shown;
}

}  // namespace

TConceptTransfer::TConceptTransfer(TCommandHost& host, TViewSet& views, store::TDataModule1& store,
                                   engine::TDataModuleSeeker& seeker, TUserInterface& ui)
    : m_host(host), m_views(views), m_store(store), m_seeker(seeker), m_ui(ui) {}

void TConceptTransfer::Attach(
    views::TIconViewPort& view, const TCommandSet& commands,
    std::function<void(store::TConceptData& item, const QString& text)> retitle) {
    views::TIconViewPort* port = &view;
    const TCommandSet* guard = &commands;
    view.OnDropItems = [this, port, guard](const store::TConceptList& items,
                                           const store::TConceptData* target) {
        guard->RunGuarded([&] { DropItems(*port, items, target, false); });
    };
    view.OnItemsPlaced = [this, guard](const store::TConceptList& placed) {
        guard->RunGuarded([&] { StorePlacedItems(placed); });
    };
    view.OnItemsMoved = [this, guard](const store::TConceptList& moved) {
        guard->RunGuarded([&] { StoreMovedItems(moved); });
    };
    view.OnTitleEdited = [guard, retitle = std::move(retitle)](const store::TConceptData& item,
                                                               const QString& text) {
        guard->RunGuarded([&] {
            store::TConceptData retitled;
            retitled.Assign(item);
            retitle(retitled, text);
        });
    };
    view.OnStatusText = [this](const QString& text) { m_host.SetStatusText(text); };
    view.OnClipboardKey = [this, port, guard](views::TClipboardKey key) {
        guard->RunGuarded([&] {
            switch (key) {
                case views::TClipboardKey::Cut:
                    CutFromView(*port);
                    break;
                case views::TClipboardKey::Copy:
                    CopyFromView(*port);
                    break;
                case views::TClipboardKey::Paste:
                    PasteIntoView(*port);
                    break;
            }
        });
    };
    view.OnIsTopConcept = [this](const store::TConceptData& item) {
        return m_host.Ontology() != nullptr && m_host.IsTopConcept(item);
    };
}

void TConceptTransfer::DropItems(views::TIconViewPort& view, const store::TConceptList& items,
                                 const store::TConceptData* target, bool copy) {
    const store::TConceptData* currentEntry = m_host.CurrentConcept();
    if (items.Count() == 0 || currentEntry == nullptr) {
        return;
    }
    store::TConceptData current;
    current.Assign(*currentEntry);

    if (&view == m_views.parents.get() || &view == m_views.children.get()) {
        std::unique_ptr<store::TConceptData> show;
        const bool made = &view == m_views.parents.get()
                              ? m_seeker.AddParentsByMirrorImage(items, current, &show)
                              : m_seeker.AddChildrenByMirrorImage(current, items, &show);
        if (!made) {
            return;  // a mirror image among the items: nothing to link
        }
        if (show) {
            m_host.GoToConcept(view.Widget(), *show, true, false);
        }
        m_host.GoToConcept(view.Widget(), current, true, false);
        return;
    }

    // The workspace: under the item hit, else into the level shown.
    std::unique_ptr<store::TConceptData> place;
    if (target != nullptr) {
        place = std::make_unique<store::TConceptData>(ConceptShownBy(*target));
    } else {
        place = m_store.GetParentConcept(current);
    }
    if (!place) {
        m_host.SetStatusText(QString::fromUtf8(kNoLevelAboveTop));
        return;
    }
    m_host.TakeSavePoint();
    if (copy) {
        const std::unique_ptr<store::TConceptList> copies = m_seeker.CopyItems(items, *place);
        SelectDroppedItems(view, *copies);
        return;
    }
    store::TConceptList moved;
    moved.Assign(items);
    try {
        m_seeker.MoveItems(moved, *place);
    } catch (const store::ETrimInvalidLinkError& error) {
        m_host.UndoAfterCycleError(error);
        return;
    }
    SelectDroppedItems(view, items);
}

bool TConceptTransfer::PasteItems(views::TIconViewPort& view, const store::TConceptList& items,
                                  bool copy) {
    store::TConceptList entries;
    entries.Assign(items);
    for (int i = 0; i < entries.Count(); ++i) {
        store::TConceptData& entry = entries[i];
        if (!m_store.LocateItem(entry)) {
            m_ui.Ask(TMessageKind::Error, TButtons::OkCancel, QString::fromUtf8(kEntryGone));
            return false;
        }
        // A mirror image on the clipboard names its network record only.
        if (entry.IsLink()) {
            entry.SetConceptNo(m_store.GetLinkTarget(entry.LinkNo));
        }
    }
    DropItems(view, entries, nullptr, copy);
    return true;
}

void TConceptTransfer::SelectDroppedItems(views::TIconViewPort& view,
                                          const store::TConceptList& items) {
    if (items.Count() == 0) {
        return;
    }
    store::TConceptData first;
    first.Assign(items[0]);
    if (first.IsLink()) {
        first.SetConceptNo(m_store.GetLinkTarget(first.LinkNo));
    }
    m_host.GoToConcept(view.Widget(), first, true, false);
    view.SelectItems(items);
}

void TConceptTransfer::WriteToClipboard(const store::TConceptList& items, bool isCopy) {
    if (items.Count() > 0) {
        TClipbrdConceptData().Write(isCopy, items);
    }
}

void TConceptTransfer::CopyFromView(views::TIconViewPort& view) {
    view.ClearCutMarks();
    store::TConceptList items;
    for (const store::TConceptData& item : view.SelectedItems()) {
        items.AddNew().Assign(item);
    }
    WriteToClipboard(items, true);
}

void TConceptTransfer::CutFromView(views::TIconViewPort& view) {
    view.ClearCutMarks();
    store::TConceptList items;
    for (const store::TConceptData& item : view.SelectedItems()) {
        items.AddNew().Assign(item);
    }
    if (items.Count() == 0) {
        return;
    }
    WriteToClipboard(items, false);
    view.MarkSelectedCut();
}

void TConceptTransfer::PasteIntoView(views::TIconViewPort& view) {
    view.ClearCutMarks();
    TClipbrdConceptData clipboard;
    bool isCopy = true;
    const std::unique_ptr<store::TConceptList> items = clipboard.Read(&isCopy);
    if (!items) {
        return;
    }
    const bool pasted = PasteItems(view, *items, isCopy);
    // A cut moves once; a payload naming records that are gone is of no further use.
    if (!pasted || !isCopy) {
        clipboard.Clear();
    }
}

void TConceptTransfer::StorePlacedItems(const store::TConceptList& placed) {
    for (int i = 0; i < placed.Count(); ++i) {
        m_store.StoreIconPosition(placed[i]);
    }
}

void TConceptTransfer::StoreMovedItems(const store::TConceptList& moved) {
    if (moved.Count() == 0) {
        return;
    }
    m_host.TakeSavePoint();
    StorePlacedItems(moved);
}

}  // namespace velmora::app
