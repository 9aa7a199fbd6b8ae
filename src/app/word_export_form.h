// TFormExportWord: the window of the Word export. It shows what the exchange layer says about a
// document written to a file (WordExportNotes), and its button "実行" asks where to save the
// .docx (proposed: the ontology's title, beside the ontology file), writes it with a progress
// dialog and opens it with the desktop's default handler. The window closes after a run, also
// after a failure, which it reports; a cancelled run writes no file and leaves it open.
//
// The window borrows the store and the ontology's metadata; the tables must not change while it
// is shown (it is modal).
#pragma once

#include <QDialog>
#include <QString>

#include "data_module.h"
#include "exchange_commands.h"
#include "ontology.h"
#include "user_interface.h"

class QPlainTextEdit;
class QPushButton;

namespace velmora::app {

class TFormExportWord : public QDialog {
    Q_OBJECT

public:
    TFormExportWord(TUserInterface& ui, store::TDataModule1& store,
                    const store::TOntology& ontology, QWidget* parent = nullptr);

    void BtnStartClick();
    // The name the save dialog proposes.
    QString DefaultFileName() const;

    QPlainTextEdit* Memo1 = nullptr;
    QPushButton* BtnStart = nullptr;
    // Replaces the progress dialog (tests).
    TProgressHook progressHook;

private:
    TUserInterface& m_ui;
    store::TDataModule1& m_store;
    const store::TOntology& m_ontology;
};

}  // namespace velmora::app
