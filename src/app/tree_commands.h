// The hierarchy view's commands: adding a sibling or a child, editing a title in place,
// sorting a level and the four moves, with their enabled states; items thrown onto the tree
// from an icon view; the tree operations they share with drag and drop (TreeViewMoveNode,
// RenumberChildren, AddChildConceptUnderNode), which change the view and the data together so the
// tree never needs a reload.
#pragma once

#include <functional>

#include "command_host.h"
#include "commands.h"
#include "data_module.h"
#include "seeker.h"
#include "tree_view.h"

namespace velmora::app {

class TTreeCommands {
public:
    // Connects the commands and the tree's selection, retitling and drop callbacks.
    // REQUIRES: every argument outlives the unit.
    TTreeCommands(TCommandSet& commands, TCommandHost& host, views::TFrameTreeView& tree,
                  store::TDataModule1& store, engine::TDataModuleSeeker& seeker);

    void TreeViewMoveNode(views::TConceptNode* node, views::TConceptNode* destination,
                          views::TNodeAttachMode mode);
    void RenumberChildren(views::TConceptNode& node);
    views::TConceptNode& AddChildConceptUnderNode(views::TConceptNode& node);

    void TreeviewMoveHigherExecute();
    void TreeviewMoveLowerExecute();
    void TreeviewMoveUpperExecute();
    void TreeviewMoveDownExecute();
    void TreeviewAddSiblingExecute();
    void TreeviewAddChildExecute();
    void TreeviewEditLabelExecute();
    void TreeviewSortSiblingExecute();

    // The selected node becomes current, and the commands follow what it allows.
    void UpdateTreeCommands();

    // A retitling in place, in the tree or an icon view: a save point, "タイトル未設定" for an
    // empty text, the title stored (every view follows), characters lost to code page 932 told.
    void RetitleConcept(store::TConceptData& item, const QString& text);
    // Drops the loaded nodes of mirror images whose records are gone; a level left empty loses
    // its expand button.
    void RemoveDeletedMirrorNodes();

private:
    // A move command: a save point, the move, and a refused cycle rolled back.
    void RunMove(const std::function<void()>& move);
    void MoveNodeAfter(views::TConceptNode* node, views::TConceptNode* anchor);
    void OnTreeDrop(views::TConceptNode& source, views::TConceptNode& target, bool lowerHalf);
    void OnTitleEdited(views::TConceptNode& node, const QString& text);
    void OnItemsThrown(const store::TConceptList& items, views::TConceptNode& target);

    TCommandSet& m_commands;
    TCommandHost& m_host;
    views::TFrameTreeView& m_tree;
    store::TDataModule1& m_store;
    engine::TDataModuleSeeker& m_seeker;
};

}  // namespace velmora::app
