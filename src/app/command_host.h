// What the command units (tree, edit, file commands) need of the main window besides the
// store, the seek service and the views: undo steps, navigation, the status line and the
// enabled states of the other units. The main window implements it; a unit never sees the
// whole window.
#pragma once

#include <QString>
#include <memory>

#include "concept_data.h"
#include "ontology.h"
#include "store_exceptions.h"

class QObject;

namespace velmora::app {

class TCommandHost {
public:
    virtual ~TCommandHost() = default;

    // The open ontology, or null while none is loaded; replacing it (null closes) refreshes
    // the caption and the commands that depend on it.
    virtual store::TOntology* Ontology() = 0;
    virtual void SetOntology(std::unique_ptr<store::TOntology> ontology) = 0;

    // Undo.
    virtual void TakeSavePoint() = 0;
    virtual void UndoAfterCycleError(const store::ETrimInvalidLinkError& error) = 0;

    // Navigation.
    virtual const store::TConceptData* CurrentConcept() const = 0;
    virtual void GoToConcept(QObject* sender, const store::TConceptData& item, bool force,
                             bool keepTree) = 0;
    virtual void ShowTopConcept() = 0;
    virtual void RefreshConceptEverywhere(const store::TConceptData& item) = 0;
    virtual bool IsTopConcept(const store::TConceptData& entry) = 0;
    // Whether the item's record (concept or mirror image) is still in its table.
    virtual bool RecordExists(const store::TConceptData& entry) = 0;
    // Forgets the browse history.
    virtual void ClearHistory() = 0;

    // Whether the user works with relations other than the plain subconcept one.
    virtual bool UseVariousLink() const = 0;

    virtual void SetStatusText(const QString& text) = 0;
    // Every unit recomputes its enabled states.
    virtual void UpdateCommandStates() = 0;
};

}  // namespace velmora::app
