// TAboutOntologyDlg: the ontology properties dialog ("このオントロジーについて"). Four pages:
// the ontology's metadata, the default texts of new concepts, the link types (listed, added,
// edited and deleted through TFormEditLinkType) and a read-only information page.
//
// The window only shows and collects; the checks, the write-back, the link-type changes and
// the information lines come from ontology_properties in the store. Link-type changes act at
// once, each after a save point of its own, and stay when the dialog is cancelled; the metadata
// is written only by OK, after its check. Made for one use over the loaded ontology; every
// reference must outlive the dialog. UI thread only.
#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>
#include <functional>

#include "data_module.h"
#include "ontology.h"
#include "ontology_properties.h"

class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QTableWidget;

namespace velmora::app {

class TUserInterface;

// What the dialog needs from the main window.
struct TAboutOntologyHooks {
    std::function<void()> takeSavePoint;  // one undo step before each link-type change
    std::function<void()> refreshEditor;  // the concept editor shows the new labels; may be empty
};

class TAboutOntologyDlg : public QDialog {
    Q_OBJECT

public:
    // useVariousLink: user-defined relations are on, so link types may be added.
    TAboutOntologyDlg(TUserInterface& ui, store::TOntology& ontology, store::TDataModule1& store,
                      bool useVariousLink, TAboutOntologyHooks hooks, QWidget* parent = nullptr);

    // OK: checks the required fields (the first missing one is named and gets the focus, the
    // dialog stays open), else writes the metadata back and closes.
    void accept() override;

    void BtnAddLinkClick();
    void BtnEditLinkClick();
    void BtnDeleteLinkClick();

    // The code of the selected link-type row, or 0 when none is selected.
    std::int32_t SelectedLinkCode() const;
    QTableWidget* ListView1() const { return m_list; }

private:
    QWidget* CreateOntologyPage();
    QWidget* CreateConceptDefaultsPage();
    QWidget* CreateLinkTypePage();
    QWidget* CreateInformationPage();

    void FillFields();
    void FillInformation();
    // Refills the list from the table; selects the row of selectCode when given.
    void FillLinkTypes(std::int32_t selectCode = 0);
    void UpdateLinkButtons();
    // Runs the link-type editor on the texts; true with the user's texts on OK.
    bool RunLinkEditor(QString& label, QString& comment);
    void TellLostCharacters(int lost);

    TUserInterface& m_ui;
    store::TOntology& m_ontology;
    store::TDataModule1& m_store;
    store::TOntologyLinkTypes m_linkTypes;
    TAboutOntologyHooks m_hooks;
    bool m_useVariousLink;

    QTabWidget* m_pages = nullptr;
    QLineEdit* m_title = nullptr;
    QLineEdit* m_target = nullptr;
    QLineEdit* m_creator = nullptr;
    QPlainTextEdit* m_description = nullptr;
    QPlainTextEdit* m_community = nullptr;
    QPlainTextEdit* m_conceptDescr = nullptr;
    QPlainTextEdit* m_conceptComment = nullptr;
    QTableWidget* m_list = nullptr;
    QPushButton* m_addLink = nullptr;
    QPushButton* m_deleteLink = nullptr;
    QPushButton* m_editLink = nullptr;
    QPlainTextEdit* m_information = nullptr;
};

}  // namespace velmora::app
