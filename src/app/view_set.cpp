#include "view_set.h"

#include <QWidget>

namespace velmora::app {

namespace {

bool Within(QWidget* view, const QWidget* widget) {
    return view != nullptr && widget != nullptr && (widget == view || view->isAncestorOf(widget));
}

}  // namespace

// A view not placed (a command unit tested on its own) has nothing open.
void TViewSet::CommitLabelEdits() {
    if (tree) {
        tree->CommitLabelEdit();
    }
    for (views::TIconViewPort* view : IconViews()) {
        if (view != nullptr) {
            view->CommitLabelEdit();
        }
    }
}

void TViewSet::PostPendingEdits() {
    CommitLabelEdits();
    if (editor) {
        editor->PostPendingEdit();
    }
}

void TViewSet::CancelLabelEdits() {
    if (tree) {
        tree->CancelLabelEdit();
    }
    for (views::TIconViewPort* view : IconViews()) {
        if (view != nullptr) {
            view->CancelLabelEdit();
        }
    }
}

void TViewSet::ClearItems() {
    tree->Clear();
    for (views::TIconViewPort* view : IconViews()) {
        view->Clear();
    }
}

views::TIconViewPort* TViewSet::IconViewOf(const QWidget* widget) const {
    for (views::TIconViewPort* view : IconViews()) {
        if (view != nullptr && Within(view->Widget(), widget)) {
            return view;
        }
    }
    return nullptr;
}

bool TViewSet::InTree(const QWidget* widget) const {
    return tree != nullptr && Within(tree->Widget(), widget);
}

}  // namespace velmora::app
