#include "tree_commands.h"

#include <QCollator>
#include <QLocale>

#include "qt_text.h"
#include "user_interface.h"

namespace velmora::app {

namespace {

constexpr TCommandName kTreeCommandNames[] = {
    "TreeviewAddChild",   "TreeviewEditLabel", "TreeviewSortSibling", "TreeviewAddSibling",
    "TreeviewMoveHigher", "TreeviewMoveLower", "TreeviewMoveUpper",   "TreeviewMoveDown"};

}  // namespace

TTreeCommands::TTreeCommands(TCommandSet& commands, TCommandHost& host, views::TFrameTreeView& tree,
                             store::TDataModule1& store, engine::TDataModuleSeeker& seeker)
    : m_commands(commands), m_host(host), m_tree(tree), m_store(store), m_seeker(seeker) {
    commands.Connect("TreeviewMoveHigher", [this] { TreeviewMoveHigherExecute(); });
    commands.Connect("TreeviewMoveLower", [this] { TreeviewMoveLowerExecute(); });
    commands.Connect("TreeviewMoveUpper", [this] { TreeviewMoveUpperExecute(); });
    commands.Connect("TreeviewMoveDown", [this] { TreeviewMoveDownExecute(); });
    commands.Connect("TreeviewAddSibling", [this] { TreeviewAddSiblingExecute(); });
    commands.Connect("TreeviewAddChild", [this] { TreeviewAddChildExecute(); });
    commands.Connect("TreeviewEditLabel", [this] { TreeviewEditLabelExecute(); });
    commands.Connect("TreeviewSortSibling", [this] { TreeviewSortSiblingExecute(); });

    tree.OnSelectionChange = [this] { m_commands.RunGuarded([this] { UpdateTreeCommands(); }); };
    tree.OnTitleEdited = [this](views::TConceptNode& node, const QString& text) {
        m_commands.RunGuarded([this, &node, &text] { OnTitleEdited(node, text); });
    };
    tree.OnNodeDropped = [this](views::TConceptNode& source, views::TConceptNode& target,
                                bool lowerHalf) {
        m_commands.RunGuarded([&] { OnTreeDrop(source, target, lowerHalf); });
    };
    tree.OnItemsThrown = [this](const store::TConceptList& items, views::TConceptNode& target) {
        m_commands.RunGuarded([&] { OnItemsThrown(items, target); });
    };
}

// Each thrown item becomes the last child of the target; a level reloaded on the way could
// take the target's node with it, so the target is found again for every item.
void TTreeCommands::OnItemsThrown(const store::TConceptList& items, views::TConceptNode& target) {
    if (target.Data().IsLink()) {
        return;
    }
    store::TConceptData place;
    place.Assign(target.Data());
    RunMove([&] {
        for (int i = 0; i < items.Count(); ++i) {
            views::TConceptNode* node = m_tree.FindNode(items[i]);
            if (node == nullptr) {
                node = &m_tree.BuildPathTo(items[i]);
            }
            views::TConceptNode* destination = m_tree.FindNode(place);
            if (destination == nullptr) {
                destination = &m_tree.BuildPathTo(place);
            }
            TreeViewMoveNode(node, destination, views::amAddChild);
        }
    });
}

void TTreeCommands::OnTitleEdited(views::TConceptNode& node, const QString& text) {
    RetitleConcept(node.Data(), text);
}

void TTreeCommands::RetitleConcept(store::TConceptData& item, const QString& text) {
    m_host.TakeSavePoint();
    int lost = 0;
    item.SetTitle(ToCp932(text.isEmpty() ? QString("タイトル未設定") : text, &lost));
    m_seeker.StoreTitle(item);
    if (lost > 0) {
        m_host.SetStatusText(UnconvertibleText(lost));
    }
}

void TTreeCommands::TreeViewMoveNode(views::TConceptNode* node, views::TConceptNode* destination,
                                     views::TNodeAttachMode mode) {
    views::TConceptNode* newParent = destination == nullptr      ? nullptr
                                     : mode == views::amAddChild ? destination
                                                                 : destination->ParentNode();
    if (node == nullptr || destination == nullptr || newParent == nullptr) {
        throw store::EVelmoraError("ERROR: This is BUG! \"TreeViewMoveNode\" function Failed.");
    }
    views::TConceptNode* oldParent = node->ParentNode();
    if (mode == views::amAddChild) {
        m_tree.ExpandNode(*newParent);
    }
    const bool parentChanged = newParent != oldParent;
    if (parentChanged) {
        // The data first: a refused move leaves the view as it was.
        store::TConceptList items;
        items.AddNew().Assign(node->Data());
        const int mirrorImages = m_store.DtStOriginalNetWork.RecordCount();
        m_seeker.MoveItems(items, newParent->Data());
        node->Data().IconPos = store::TIconPoint{};
        if (m_store.DtStOriginalNetWork.RecordCount() < mirrorImages) {
            RemoveDeletedMirrorNodes();
        }
    }
    m_tree.MoveNodeInView(*node, *destination, mode);
    if (oldParent != nullptr && oldParent->childCount() == 0) {
        oldParent->Data().SetHasChildren(false);
        m_host.RefreshConceptEverywhere(oldParent->Data());
    }
    newParent->Data().SetHasChildren(true);
    m_host.RefreshConceptEverywhere(newParent->Data());
    m_tree.ConceptTreeView()->scrollToItem(node);
    m_tree.ConceptTreeView()->setCurrentItem(node);
    if (parentChanged) {
        store::TConceptData moved;
        moved.Assign(node->Data());
        m_host.GoToConcept(&m_tree, moved, true, true);
    }
    RenumberChildren(*newParent);
}

// The cycle check deletes the mirror images the user agreed to give up; their nodes go too,
// and a level left empty loses its expand button.
void TTreeCommands::RemoveDeletedMirrorNodes() {
    const auto gone = [this](const store::TConceptData& item) {
        return !m_host.RecordExists(item);
    };
    for (views::TConceptNode* parent : m_tree.RemoveMirrorNodes(gone)) {
        if (parent->childCount() == 0) {
            parent->Data().SetHasChildren(false);
            m_host.RefreshConceptEverywhere(parent->Data());
        }
    }
}

void TTreeCommands::RenumberChildren(views::TConceptNode& node) {
    store::TConceptList children;
    for (int i = 0; i < node.childCount(); ++i) {
        children.AddNew().Assign(node.ChildNode(i)->Data());
    }
    m_seeker.RenumberChildren(children);
}

views::TConceptNode& TTreeCommands::AddChildConceptUnderNode(views::TConceptNode& node) {
    const std::unique_ptr<store::TConceptData> added = m_seeker.AddChildConcept(node.Data());
    views::TConceptNode* created = nullptr;
    if (node.Data().IsLink()) {
        // A concept's children live at its own place only; shown under a mirror image, the new
        // concept would be numbered and moved apart from its real level.
        created = &m_tree.BuildPathTo(*added);
    } else if (node.childCount() == 0) {
        // A level not loaded yet is loaded whole (the new concept comes last in it), so that
        // the one new node does not stand in for the whole level.
        m_tree.TreeViewExpandTreeNode(node);
        created = m_tree.FindNode(*added);
    }
    if (created == nullptr) {
        auto copy = std::make_unique<store::TConceptData>();
        copy->Assign(*added);
        created = m_tree.AddNode(&node, std::move(copy));
    }
    created->ParentNode()->setExpanded(true);
    m_tree.ConceptTreeView()->setCurrentItem(created);
    m_tree.ConceptTreeView()->scrollToItem(created);
    store::TConceptData shown;
    shown.Assign(created->Data());
    m_host.GoToConcept(&m_tree, shown, false, true);
    return *created;
}

// Just after the anchor in its level: before the anchor's next sibling, or at the level's end.
// (The next sibling may be the node itself: it is there already.)
void TTreeCommands::MoveNodeAfter(views::TConceptNode* node, views::TConceptNode* anchor) {
    if (views::TConceptNode* next = anchor->NextSibling()) {
        TreeViewMoveNode(node, next, views::amInsert);
    } else {
        TreeViewMoveNode(node, anchor, views::amAdd);
    }
}

void TTreeCommands::RunMove(const std::function<void()>& move) {
    m_host.TakeSavePoint();
    try {
        move();
    } catch (const store::ETrimInvalidLinkError& error) {
        m_host.UndoAfterCycleError(error);
    }
}

void TTreeCommands::TreeviewMoveHigherExecute() {
    views::TConceptNode* s = m_tree.SelectedNode();
    if (s == nullptr || s->ParentNode() == nullptr || s->ParentNode()->ParentNode() == nullptr) {
        return;
    }
    RunMove([this, s] { MoveNodeAfter(s, s->ParentNode()); });
}

void TTreeCommands::TreeviewMoveLowerExecute() {
    views::TConceptNode* s = m_tree.SelectedNode();
    views::TConceptNode* above = s != nullptr ? s->PreviousSibling() : nullptr;
    if (above == nullptr || above->Data().IsLink()) {
        return;
    }
    RunMove([this, s, above] { TreeViewMoveNode(s, above, views::amAddChild); });
}

void TTreeCommands::TreeviewMoveUpperExecute() {
    views::TConceptNode* s = m_tree.SelectedNode();
    views::TConceptNode* above = s != nullptr ? s->PreviousSibling() : nullptr;
    if (above == nullptr) {
        return;
    }
    RunMove([this, s, above] { TreeViewMoveNode(s, above, views::amInsert); });
}

void TTreeCommands::TreeviewMoveDownExecute() {
    views::TConceptNode* s = m_tree.SelectedNode();
    views::TConceptNode* n = s != nullptr ? s->NextSibling() : nullptr;
    if (n == nullptr) {
        return;
    }
    RunMove([this, s, n] { MoveNodeAfter(s, n); });
}

void TTreeCommands::TreeviewAddSiblingExecute() {
    views::TConceptNode* s = m_tree.SelectedNode();
    if (s == nullptr || s->ParentNode() == nullptr) {
        return;
    }
    m_host.TakeSavePoint();
    AddChildConceptUnderNode(*s->ParentNode());
    m_tree.EditSelectedLabel();
}

void TTreeCommands::TreeviewAddChildExecute() {
    views::TConceptNode* s = m_tree.SelectedNode();
    if (s == nullptr) {
        return;
    }
    m_host.TakeSavePoint();
    AddChildConceptUnderNode(*s);
    m_tree.EditSelectedLabel();
}

void TTreeCommands::TreeviewEditLabelExecute() {
    m_tree.EditSelectedLabel();
}

void TTreeCommands::TreeviewSortSiblingExecute() {
    views::TConceptNode* s = m_tree.SelectedNode();
    if (s == nullptr || s->ParentNode() == nullptr) {
        return;
    }
    m_host.TakeSavePoint();
    views::TConceptNode& parent = *s->ParentNode();
    // Titles are Japanese whatever the process locale: kana in the order of the syllabary.
    QCollator collator(QLocale(QLocale::Japanese, QLocale::Japan));
    collator.setCaseSensitivity(Qt::CaseSensitive);
    const engine::TDataModuleSeeker::TCollation compare = [&collator](const std::string& a,
                                                                      const std::string& b) {
        return collator.compare(FromCp932(a), FromCp932(b));
    };
    m_tree.SortChildren(parent,
                        [&compare](const store::TConceptData& a, const store::TConceptData& b) {
                            return engine::TDataModuleSeeker::LevelItemLess(a, b, compare);
                        });
    RenumberChildren(parent);
}

void TTreeCommands::OnTreeDrop(views::TConceptNode& source, views::TConceptNode& target,
                               bool lowerHalf) {
    RunMove([&] {
        if (lowerHalf) {
            MoveNodeAfter(&source, &target);
        } else {
            TreeViewMoveNode(&source, &target, views::amInsert);
        }
    });
}

void TTreeCommands::UpdateTreeCommands() {
    for (const TCommandName name : kTreeCommandNames) {
        m_commands.Enable(name, false);
    }
    const std::optional<views::TTreeSelection> node = m_tree.Selection();
    if (!node) {
        return;
    }
    m_host.GoToConcept(&m_tree, node->entry, false, false);
    m_commands.Enable("TreeviewAddChild", true);
    m_commands.Enable("TreeviewEditLabel", true);
    m_commands.Enable("TreeviewAddSibling", node->hasParent);
    m_commands.Enable("TreeviewMoveHigher", node->hasParent && node->hasGrandparent);
    m_commands.Enable("TreeviewMoveLower",
                      node->hasPreviousSibling && !node->previousSiblingIsMirror);
    m_commands.Enable("TreeviewSortSibling", node->hasPreviousSibling || node->hasNextSibling);
    m_commands.Enable("TreeviewMoveUpper", node->hasPreviousSibling);
    m_commands.Enable("TreeviewMoveDown", node->hasNextSibling);
}

}  // namespace velmora::app
