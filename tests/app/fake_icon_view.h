// TFakeIconView: an icon view for the GUI tests of the main window and its command units. It
// holds what it is given, lets a test select and double-click, and records cut marks.
#pragma once

#include <QWidget>
#include <vector>

#include "concept_data.h"
#include "qt_text.h"
#include "view_ports.h"

namespace velmora::app::testing {

using views::TIconViewPort;

// An icon view that holds what it is given and lets a test select and double-click.
class TFakeIconView : public QWidget, public TIconViewPort {
public:
    TFakeIconView() { setFocusPolicy(Qt::StrongFocus); }
    QWidget* Widget() override { return this; }
    void SetRole(const views::TIconViewRole& r) override { role = r; }
    void ClearSelection() override { selected.clear(); }
    void Clear() override {
        items.Clear();
        selected.clear();
    }
    void Fill(const store::TConceptList& from) override {
        items.Assign(from);
        selected.clear();
    }
    void AddItem(const store::TConceptData& item) override { items.AddNew().Assign(item); }
    void RefreshItems(const store::TConceptData&) override {}
    void SelectItems(const store::TConceptList& chosen) override {
        selected.clear();
        for (int i = 0; i < items.Count(); ++i) {
            for (int j = 0; j < chosen.Count(); ++j) {
                if (store::SameConceptData(items[i], chosen[j])) {
                    selected.push_back(i);
                    break;
                }
            }
        }
    }
    void MarkSelectedCut() override { cut = selected; }
    void ClearCutMarks() override { cut.clear(); }
    void EditSelectedLabel() override {}
    bool SelectOnly(const store::TConceptData& entry) override {
        selected.clear();
        for (int i = 0; i < items.Count(); ++i) {
            if (store::SameConceptData(items[i], entry)) {
                selected.push_back(i);
                return true;
            }
        }
        return false;
    }
    int ItemCount() const override { return items.Count(); }
    std::vector<store::TConceptData> SelectedItems() const override {
        std::vector<store::TConceptData> out;
        for (const int i : selected) {
            out.push_back(items[i]);
        }
        return out;
    }
    std::vector<store::TConceptData> Items() const override {
        std::vector<store::TConceptData> out;
        for (int i = 0; i < items.Count(); ++i) {
            out.push_back(items[i]);
        }
        return out;
    }
    void SelectAll() override {}
    void SetSmallIcons(bool) override {}
    bool IsEditing() const override { return false; }
    bool EditorHasSelection() const override { return false; }
    void SelectAllInEditor() override {}
    void CommitLabelEdit() override {}
    void CancelLabelEdit() override {}

    // What a user does: select the items at these places, double-click one.
    void UserSelects(std::vector<int> at) {
        selected = std::move(at);
        OnSelectionChange();
    }
    int IndexOf(const QString& title) const {
        for (int i = 0; i < items.Count(); ++i) {
            if (FromCp932(items[i].Title()) == title) {
                return i;
            }
        }
        return -1;
    }

    store::TConceptList items;
    std::vector<int> selected;
    std::vector<int> cut;
    views::TIconViewRole role;
};

}  // namespace velmora::app::testing
