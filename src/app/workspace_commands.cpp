#include "workspace_commands.h"

#include <QApplication>
#include <algorithm>
#include <initializer_list>
#include <memory>

#include "code_page.h"
#include "link_type_form.h"
#include "qt_text.h"
#include "store_exceptions.h"
#include "tree_commands.h"

namespace velmora::app {

namespace {

using store::TAnswer;
using store::TButtons;
using store::TMessageKind;

constexpr const char* kDivideQuestion =
    "この概念項目を複製しますか?\r\n\r\nこの操作は, 複数の類似した概念項目を一度に作成する場合な"
    "どに\r\n行います. 同一の概念を複数の上位概念の下位に置きたい場合には,\r\n代わりに「概念の鏡"
    "像」を作成してください.";
constexpr const char* kMirrorQuestion =
    "この概念項目の「鏡像」を作成しますか?\r\n\r\n・「鏡像」とは概念項目へのリンクであり、これを任"
    "意の概念項目の\r\n　下位に配置することにより, 上位概念を多重に定義することが出来\r\n　ます.\r"
    "\n・リンクの種類は変更することができ, "
    "デフォルトの「上位下位」関係\r\n　以外に任意の概念間の関係"
    "を表現できます.\r\n・鏡像項目のアイコンにはリンクであることを表す矢印が付きます.";
constexpr const char* kMergeQuestion =
    "これらの概念項目を併合（マージ）しますか？\r\n\r\nこの操作は, これまで区別されていた複数の概念"
    "を同一の概念と\r\n見なす場合に行います.";
constexpr const char* kDeleteMirrorQuestion = "次の鏡像項目を削除しますか？\r\n\r\n";
constexpr const char* kDeleteConceptQuestion =
    "次の概念項目及びこの下位項目を削除しますか？\r\n\r\n";
constexpr const char* kDeleteSeveralQuestion =
    "これらの概念項目または鏡像項目およびこれらの下位項目を削除しますか？";
constexpr const char* kTopNotDeleted = "トップノードは削除できません.";

// The wait cursor while a long operation runs, back on every way out.
class TWaitCursor {
public:
    TWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~TWaitCursor() { QApplication::restoreOverrideCursor(); }
    TWaitCursor(const TWaitCursor&) = delete;
    TWaitCursor& operator=(const TWaitCursor&) = delete;
};

// No repaint of the views until the end of a change that touches many items.
class TUpdatesPaused {
public:
    explicit TUpdatesPaused(TViewSet& views) {
        m_widgets = {views.tree->Widget(), views.workspace->Widget(), views.parents->Widget(),
                     views.children->Widget()};
        for (QWidget* widget : m_widgets) {
            widget->setUpdatesEnabled(false);
        }
    }
    ~TUpdatesPaused() {
        for (QWidget* widget : m_widgets) {
            widget->setUpdatesEnabled(true);
        }
    }
    TUpdatesPaused(const TUpdatesPaused&) = delete;
    TUpdatesPaused& operator=(const TUpdatesPaused&) = delete;

private:
    std::vector<QWidget*> m_widgets;
};

}  // namespace

TWorkspaceCommands::TWorkspaceCommands(TCommandSet& commands, TCommandHost& host, TViewSet& views,
                                       TTreeCommands& tree, TUserInterface& ui,
                                       TQuillonIniFile& settings, store::TDataModule1& store,
                                       engine::TDataModuleSeeker& seeker, QWidget* window)
    : m_commands(commands),
      m_host(host),
      m_views(views),
      m_tree(tree),
      m_ui(ui),
      m_settings(settings),
      m_store(store),
      m_seeker(seeker),
      m_window(window) {
    commands.Connect("WorkspaceAddNode", [this] { WorkspaceAddNodeExecute(); });
    commands.Connect("WorkspaceDivide", [this] { WorkspaceDivideExecute(); });
    commands.Connect("WorkspaceCreateMirrorImage", [this] { WorkspaceCreateMirrorImageExecute(); });
    commands.Connect("WorkSpaceMerge", [this] { WorkSpaceMergeExecute(); });
    commands.Connect("WorkspaceEditLinkType", [this] { WorkspaceEditLinkTypeExecute(); });
    commands.Connect("WorkspaceArrange", [this] { WorkspaceArrangeExecute(); });
    commands.Connect("WorkspaceLargeIcon", [this] { SetSmallIcons(false); });
    commands.Connect("WorkspaceSmallIcon", [this] { SetSmallIcons(true); });
    for (const TCommandName name :
         std::initializer_list<TCommandName>{"WorkspaceLargeIcon", "WorkspaceSmallIcon"}) {
        commands.Enable(name, true);
    }
    const bool smallIcons = settings.WorkspaceSmallIcon();
    commands.Action(smallIcons ? TCommandName("WorkspaceSmallIcon") : "WorkspaceLargeIcon")
        ->setChecked(true);
}

TAnswer TWorkspaceCommands::Confirm(const char* text) {
    return m_ui.Ask(TMessageKind::Confirmation, TButtons::YesNoCancel, BoxText(text));
}

store::TConceptList TWorkspaceCommands::SelectedList() const {
    store::TConceptList list;
    for (const store::TConceptData& item : m_views.workspace->SelectedItems()) {
        list.AddNew().Assign(item);
    }
    return list;
}

void TWorkspaceCommands::WorkspaceAddNodeExecute() {
    const store::TConceptData* current = m_host.CurrentConcept();
    if (current == nullptr) {
        return;
    }
    m_host.TakeSavePoint();
    views::TFrameTreeView& tree = *m_views.tree;
    views::TConceptNode* target = nullptr;
    if (views::TConceptNode* selected = tree.SelectedNode()) {
        target = selected->ParentNode();
    } else if (const std::unique_ptr<store::TConceptData> parent =
                   m_store.GetParentConcept(*current)) {
        target = tree.FindNode(*parent);
        if (target == nullptr) {
            target = &tree.BuildPathTo(*parent);
        }
    }
    if (target == nullptr) {
        return;
    }
    const views::TConceptNode& added = m_tree.AddChildConceptUnderNode(*target);
    if (m_views.workspace->SelectOnly(added.Data())) {
        m_views.workspace->EditSelectedLabel();
    }
}

void TWorkspaceCommands::WorkspaceDivideExecute() {
    const store::TConceptList copies = SelectedList();
    if (copies.Count() == 0 || Confirm(kDivideQuestion) != TAnswer::Yes) {
        return;
    }
    TWaitCursor wait;
    m_host.TakeSavePoint();
    m_views.workspace->ClearSelection();
    const std::unique_ptr<store::TConceptData> target = m_store.GetParentConcept(copies[0]);
    if (!target) {
        return;  // the top concept's level has no parent to copy under
    }
    const std::unique_ptr<store::TConceptList> created = m_seeker.CopyItems(copies, *target);
    if (created->Count() == 0) {
        return;
    }
    m_host.GoToConcept(m_views.workspace->Widget(), (*created)[0], false, false);
    // The copies stand in the store as not placed: the workspace places them afresh whenever it
    // next shows the level.
    for (int i = 0; i < created->Count(); ++i) {
        store::TConceptData entry;
        entry.Assign((*created)[i]);
        entry.IconPos = store::TIconPoint{};
        m_store.StoreIconPosition(entry);
    }
    m_views.workspace->SelectItems(*created);
}

void TWorkspaceCommands::WorkspaceCreateMirrorImageExecute() {
    const store::TConceptList copies = SelectedList();
    if (copies.Count() == 0 || Confirm(kMirrorQuestion) != TAnswer::Yes) {
        return;
    }
    m_host.TakeSavePoint();
    m_views.workspace->ClearSelection();
    store::TConceptList images;
    for (int i = 0; i < copies.Count(); ++i) {
        const store::TConceptData& shown = copies[i];
        store::TConceptData& image = images.AddNew();
        image.LinkNo = m_store.AppendMirrorImage(shown, 1);
        image.SetIsLink(true);
        image.SetConceptNo(shown.ConceptNo());
        image.SetTitle(shown.Title());
        image.SetHasChildren(shown.HasChildren());
        image.LinkCode = 1;
        image.IconPos = store::TIconPoint{};
        m_views.workspace->AddItem(image);  // placed by the workspace, the place stored
        // A node under its parent's node, when that level is loaded; an unloaded level shows
        // the image when it is opened.
        if (const std::unique_ptr<store::TConceptData> parent = m_store.GetParentConcept(shown)) {
            views::TConceptNode* parentNode = m_views.tree->FindNode(*parent);
            if (parentNode != nullptr && parentNode->childCount() > 0) {
                auto data = std::make_unique<store::TConceptData>();
                data->Assign(image);
                m_views.tree->AddNode(parentNode, std::move(data));
            }
        }
    }
    m_views.workspace->SelectItems(images);
    m_views.workspace->Widget()->setFocus();
}

void TWorkspaceCommands::WorkSpaceMergeExecute() {
    const store::TConceptList copies = SelectedList();
    if (copies.Count() < 2 || Confirm(kMergeQuestion) != TAnswer::Yes) {
        return;
    }
    TWaitCursor wait;
    m_host.TakeSavePoint();
    store::TConceptData merged;
    m_store.MergeConcepts(copies, &merged);
    // The merged concepts are gone: their nodes go too, and the tree is built anew on the way
    // to the merged concept.
    m_views.tree->Clear();
    m_host.GoToConcept(m_views.workspace->Widget(), merged, false, false);
    if (m_views.workspace->SelectOnly(merged)) {
        m_views.workspace->EditSelectedLabel();
    }
}

void TWorkspaceCommands::WorkspaceEditLinkTypeExecute() {
    const std::vector<store::TConceptData> selected = m_views.workspace->SelectedItems();
    if (selected.empty() || !selected.front().IsLink()) {
        return;
    }
    store::TConceptData entry;
    entry.Assign(selected.front());
    TFormLinkType picker(LinkTypeRows(m_store), m_window);
    picker.SelectLinkCode(entry.LinkCode);
    if (m_ui.RunModal(picker) != QDialog::Accepted || picker.ChosenCode() < 0) {
        return;
    }
    m_host.TakeSavePoint();
    try {
        m_seeker.SetLinkCode(entry.LinkNo, picker.ChosenCode());
    } catch (const store::ETrimInvalidLinkError& error) {
        m_host.UndoAfterCycleError(error);
        return;
    }
    entry.LinkCode = picker.ChosenCode();
    m_host.RefreshConceptEverywhere(entry);
}

void TWorkspaceCommands::WorkspaceArrangeExecute() {
    const store::TConceptData* current = m_host.CurrentConcept();
    if (current == nullptr) {
        return;
    }
    m_host.TakeSavePoint();
    for (store::TConceptData item : m_views.workspace->Items()) {
        item.IconPos = store::TIconPoint{};
        m_store.StoreIconPosition(item);
    }
    store::TConceptData shown;
    shown.Assign(*current);
    m_views.workspace->Clear();
    m_host.GoToConcept(m_views.workspace->Widget(), shown, true, true);
}

void TWorkspaceCommands::SetSmallIcons(bool small) {
    m_commands.Action(small ? TCommandName("WorkspaceSmallIcon") : "WorkspaceLargeIcon")
        ->setChecked(true);
    if (m_settings.WorkspaceSmallIcon() == small) {
        return;
    }
    m_settings.SetWorkspaceSmallIcon(small);
    m_views.workspace->Clear();
    m_views.workspace->SetSmallIcons(small);
    if (const store::TConceptData* current = m_host.CurrentConcept()) {
        store::TConceptData shown;
        shown.Assign(*current);
        m_host.GoToConcept(m_views.workspace->Widget(), shown, true, true);
    }
}

void TWorkspaceCommands::DeleteConcepts(const store::TConceptList& list) {
    if (list.Count() == 0) {
        return;
    }
    const std::unique_ptr<store::TConceptData> parent = m_store.GetParentConcept(list[0]);
    if (!parent) {
        throw store::EVelmoraError(kTopNotDeleted);
    }
    QString question;
    if (list.Count() > 1) {
        question = BoxText(kDeleteSeveralQuestion);
    } else {
        question = BoxText(list[0].IsLink() ? kDeleteMirrorQuestion : kDeleteConceptQuestion) +
                   "\"" + FromCp932(list[0].Title()) + "\"";
    }
    if (m_ui.Ask(TMessageKind::Confirmation, TButtons::YesNoCancel, question) != TAnswer::Yes) {
        return;
    }
    TWaitCursor wait;
    m_host.TakeSavePoint();
    views::TConceptNode* parentNode = nullptr;
    {
        TUpdatesPaused paused(m_views);
        for (int i = 0; i < list.Count(); ++i) {
            // An entry inside a subtree deleted before it is gone already.
            if (m_store.LocateItem(list[i])) {
                m_store.DeleteItem(list[i]);
            }
        }
        parentNode = m_views.tree->FindNode(*parent);
        if (parentNode == nullptr) {
            parentNode = &m_views.tree->BuildPathTo(*parent);
        }
        m_views.tree->TreeViewExpandTreeNode(*parentNode);
        // Mirror images of the deleted concepts went with them, wherever they stood.
        m_tree.RemoveDeletedMirrorNodes();
    }
    if (parentNode->childCount() > 0) {
        m_views.workspace->Clear();
        store::TConceptData first;
        first.Assign(parentNode->ChildNode(0)->Data());
        m_host.GoToConcept(m_views.tree->Widget(), first, false, false);
        return;
    }
    parent->SetHasChildren(false);
    m_host.RefreshConceptEverywhere(*parent);
    m_host.GoToConcept(m_views.tree->Widget(), *parent, false, false);
}

void TWorkspaceCommands::UpdateWorkspaceCommands(bool inWorkspace) {
    TCommandSet& c = m_commands;
    const store::TConceptData* current = m_host.CurrentConcept();
    if (current == nullptr || !inWorkspace || m_host.Ontology() == nullptr) {
        for (const TCommandName name : std::initializer_list<TCommandName>{
                 "WorkspaceAddNode", "WorkspaceCreateMirrorImage", "WorkspaceEditLinkType",
                 "WorkspaceArrange", "WorkSpaceMerge", "WorkspaceDivide"}) {
            c.Enable(name, false);
        }
        return;
    }
    const bool top = m_host.IsTopConcept(*current);
    const std::vector<store::TConceptData> selected = m_views.workspace->SelectedItems();
    const auto n = selected.size();
    const bool plain = std::none_of(selected.begin(), selected.end(),
                                    [](const store::TConceptData& d) { return d.IsLink(); });
    c.Enable("WorkspaceAddNode", !top);
    c.Enable("WorkspaceDivide", !top && n >= 1 && plain);
    c.Enable("WorkspaceCreateMirrorImage", !top && n >= 1 && plain);
    c.Enable("WorkSpaceMerge", !top && n >= 2 && plain);
    c.Enable("WorkspaceEditLinkType",
             m_host.UseVariousLink() && n == 1 && selected.front().IsLink());
    c.Enable("WorkspaceArrange", m_views.workspace->ItemCount() > 0);
}

void TWorkspaceCommands::OpenItem(const store::TConceptData* item) {
    if (item == nullptr) {
        return;
    }
    if (item->IsLink()) {
        store::TConceptData shown;
        shown.SetConceptNo(item->ConceptNo());
        shown.SetTitle(item->Title());
        m_host.GoToConcept(m_views.workspace->Widget(), shown, false, false);
        return;
    }
    if (item->HasChildren()) {
        // Down one level: the workspace then shows the children.
        m_seeker.SetSeekMode(engine::smChildren);
        m_seeker.SetSeekNo(item->ConceptNo());
        const store::TConceptList& children = m_seeker.GetItems();
        if (children.Count() > 0) {
            store::TConceptData first;
            first.Assign(children[0]);
            m_host.GoToConcept(m_views.workspace->Widget(), first, false, false);
        }
    }
}

}  // namespace velmora::app
