// TFormWizImportCSV: the CSV import wizard's window, three pages without tabs over the window-less
// TCsvImportWizard of src/exchange, which holds the grid, the field lists, the header box, the
// separator and the place and does the checks and the import. The window shows what the wizard
// holds and passes the user's choices on; it keeps no state of its own beyond the page shown.
//
// The grid is a table view over a model of the parsed rows, so a file of many rows costs no
// widget per cell. Closing with OK (the last page's "インポート") validates, takes one save point
// through the host and imports under a progress dialog; a cancelled import is rolled back to
// that save point and the save point dropped, so the tables and the undo steps are as before.
#pragma once

#include <QAbstractTableModel>
#include <QDialog>
#include <array>
#include <cstdint>
#include <memory>

#include "command_host.h"
#include "csv_import.h"
#include "data_module.h"
#include "exchange_commands.h"
#include "user_interface.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QTableView;

namespace velmora::app {

// The wizard's grid for a view: the file rows (grid rows 1 ...) as rows, the caption row as the
// column headers. Cells are converted when they are shown.
class TCsvGridModel : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit TCsvGridModel(const exchange::TCsvGrid& grid, QObject* parent = nullptr);
    // The grid changed as a whole.
    void Reset();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    const exchange::TCsvGrid& m_grid;
};

class TFormWizImportCSV : public QDialog {
    Q_OBJECT

public:
    // currentConceptNo: the browse history's current concept.
    // REQUIRES: every reference outlives the window.
    TFormWizImportCSV(TUserInterface& ui, TCommandHost& host, store::TDataModule1& store,
                      const store::TStoreContext& context, std::int32_t currentConceptNo,
                      QWidget* parent = nullptr);
    ~TFormWizImportCSV() override;

    void ButtonBackClick();
    void ButtonForwardClick();
    void BtnFileOpenClick();
    // A click on the grid's file row (0 = grid row 1).
    void StringGridDataClick(int fileRow);
    int PageIndex() const;

    exchange::TCsvImportWizard& Wizard() { return m_wizard; }
    // The field list of a field.
    QComboBox* Combo(exchange::TCsvField field) const {
        return m_combos[static_cast<std::size_t>(field)];
    }

    // Closing with Accepted is the import (FormClose); it closes only when the import ran.
    void done(int result) override;
    // Whether an import wrote to the tables, also one that failed halfway and left the wizard
    // open: the main window then has to show the tables anew however the wizard closes.
    bool Wrote() const { return m_wrote; }

    // The controls, named as the components they stand for.
    QStackedWidget* PageControl1 = nullptr;
    QPushButton* ButtonBack = nullptr;
    QPushButton* ButtonForward = nullptr;
    QPushButton* BtnCancel = nullptr;
    QPushButton* BtnFileOpen = nullptr;
    QLineEdit* EditFileName = nullptr;
    QTableView* StringGridData = nullptr;
    QCheckBox* CheckBoxIgnoreHeader = nullptr;
    QLineEdit* LEditSeparator = nullptr;
    QPlainTextEdit* MemoTerms = nullptr;
    QRadioButton* RadioButtonWorkspace = nullptr;
    QRadioButton* RadioButtonSubConcept = nullptr;
    QRadioButton* RadioButtonReplace = nullptr;
    QLabel* LabelPlaceNote = nullptr;
    // Replaces the progress dialog of the import (tests).
    TProgressHook progressHook;

private:
    QWidget* BuildFilePage();
    QWidget* BuildFieldPage();
    QWidget* BuildPlacePage();
    void PageControl1Change();
    // The controls from the wizard.
    void ShowFile();
    void ShowChoices();
    void ShowLabelPreview();
    void ShowPlaces();
    bool RunImport();

    TUserInterface& m_ui;
    TCommandHost& m_host;
    store::TDataModule1& m_store;
    exchange::TCsvImportWizard m_wizard;
    TCsvGridModel* m_model = nullptr;
    std::array<QComboBox*, exchange::kCsvFieldCount> m_combos{};
    bool m_wrote = false;
};

}  // namespace velmora::app
