// TFrameConceptEdit: the editor of one concept on the concept-edit page. It shows the concept's
// identifier, title, description and comment, its language labels (added and deleted here), its
// relations to other concepts as text lines and its stamps; above or below the concept it slides
// in one relation panel for the parent or child selected in a pane, whose chooser changes the
// relation of a mirror image.
//
// The editor reads through cursors of its own (cloned after every load and every new ontology),
// so its position never disturbs the other views. A typed change is kept field by field until it
// is posted — when the field is left, when another concept is loaded, or when the window asks
// (save, close) — and then written onto the record as it stands at that moment, so a change the
// other views made meanwhile (a retitling in the tree) is never overwritten by a stale copy.
// The first keystroke of an edit takes the undo step; Undo drops an edit still pending.
//
// Writes go through the store and the seek service; the views are refreshed through the host.
#pragma once

#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "command_host.h"
#include "concept_data.h"
#include "data_module.h"
#include "seeker.h"
#include "table.h"
#include "user_interface.h"
#include "view_ports.h"

class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QScrollArea;
class QTimer;

namespace velmora::app {

class TRelationPanel;

// The object behind one line of the language-label list.
struct TTermObject {
    std::int32_t AssociationNo = 0;
    std::int32_t TermNo = 0;
    std::string Text;  // code page 932, as stored
};

class TFrameConceptEdit : public QWidget, public views::TConceptEditorPort {
    Q_OBJECT

public:
    // REQUIRES: store, seeker, host, ui and context outlive the editor.
    TFrameConceptEdit(store::TDataModule1& store, engine::TDataModuleSeeker& seeker,
                      TCommandHost& host, TUserInterface& ui, const store::TStoreContext& context,
                      QWidget* parent = nullptr);
    ~TFrameConceptEdit() override;

    // TConceptEditorPort
    QWidget* Widget() override { return this; }
    void SetEditorActive(bool active) override;
    bool IsEditorActive() const override { return m_editorActive; }
    void LoadConcept(std::int32_t conceptNo) override;
    bool HasPendingEdit() const override { return m_editing; }
    void PostPendingEdit() override;
    void CancelPendingEdit() override;
    void RefreshEditor() override;
    void SetRelationsEditable(bool editable) override;
    void ShowParentRelation(const store::TConceptData* entry) override;
    void ShowChildRelation(const store::TConceptData* entry) override;

    // Clones the three cursors over the store's tables, then fills the relation choosers.
    void AttachEditorTables();
    void FillTerms();
    void FillNetworkList();
    void FillProperties();
    void FillRelationChoosers();

    // RECORD_NO of the edited concept; 0 while the editor's table is closed.
    std::int32_t CurrentRecordNo();
    // IDENTIFIER + " ： " + DESCRIPTION of the loaded concept.
    const QString& SummaryText() const { return m_summary; }
    const std::vector<TTermObject>& Terms() const { return m_terms; }

    // The language-label buttons.
    void BtnAddTermClick();
    void BtnDeleteTermClick();

    // The cursors, named as the components they stand for.
    store::TCursor DtStTargetConcept;
    store::TCursor DtStAssociations;
    store::TCursor DtStAssociatedTerm;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    enum TField : unsigned { kTitle = 1, kDescription = 2, kComment = 4 };

    void BuildControls();
    QWidget* BuildSection1();
    QWidget* BuildSection2();
    QWidget* BuildSection3();
    void BeginEdit(TField field);
    // Writes the typed fields onto the record; false when nothing was pending.
    bool PostRecord();
    void ApplyTitle(const QString& oldTitle);
    void ShowRecord();
    void ChooseRelation(bool parentSide, std::int32_t code);
    void ShowRelation(bool parentSide, const store::TConceptData* entry);
    QString LinkTitle(std::int32_t code);
    void ReportLost(int lost);
    void Guarded(const std::function<void()>& body);
    // Sizes and places the panels in the scroll box.
    void LayOutPanels();
    void Timer1Timer();
    bool Slide();

    store::TDataModule1& m_store;
    engine::TDataModuleSeeker& m_seeker;
    TCommandHost& m_host;
    TUserInterface& m_ui;
    const store::TStoreContext& m_context;
    store::TCursor m_linkTypes;
    // Tells the store's attach listener whether the editor still lives.
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);

    std::optional<store::TConceptData> m_parentRelation;
    std::optional<store::TConceptData> m_childRelation;
    bool m_editorActive = false;
    bool m_relationsEditable = false;
    bool m_attached = false;
    std::int32_t m_conceptNo = 0;
    QString m_summary;
    QString m_titleOnEntry;
    bool m_editing = false;
    unsigned m_dirty = 0;
    bool m_loading = false;
    std::vector<TTermObject> m_terms;

    // Controls.
    QScrollArea* m_scrollBox1 = nullptr;
    QWidget* m_content = nullptr;
    TRelationPanel* m_panelParent = nullptr;
    TRelationPanel* m_panelChild = nullptr;
    QWidget* m_panelDummyParent = nullptr;
    QWidget* m_panelDummyChild = nullptr;
    QFrame* m_panelConcept = nullptr;
    QLineEdit* m_editId = nullptr;
    QLineEdit* m_editTitle = nullptr;
    QPlainTextEdit* m_memoDescr = nullptr;
    QPlainTextEdit* m_memoComment = nullptr;
    QListWidget* m_listBoxTerm = nullptr;
    QLineEdit* m_editAddTerm = nullptr;
    QPushButton* m_btnAddTerm = nullptr;
    QPushButton* m_btnDeleteTerm = nullptr;
    QPlainTextEdit* m_memoRelation = nullptr;
    QPlainTextEdit* m_memoProperty = nullptr;
    QTimer* m_timer1 = nullptr;
    int m_tickCount = 0;
};

}  // namespace velmora::app
