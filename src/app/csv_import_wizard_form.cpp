#include "csv_import_wizard_form.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTableView>
#include <QVBoxLayout>
#include <exception>
#include <optional>
#include <string>

#include "file_system.h"
#include "qt_text.h"

namespace velmora::app {

namespace {

using exchange::TCsvField;
using exchange::TImportPlace;
using store::TButtons;
using store::TMessageKind;

constexpr std::string_view kOpenFilter = "CSV ファイル(*.csv)|*.csv|すべてのファイル (*.*)|*.*";
constexpr const char* kForward = "進む>>";
constexpr const char* kImport = "インポート";
constexpr const char* kPlaceNote =
    "　「概念識別子」，「上位概念」のフィールドは階層構造を再現するために存在します．「上位概念」"
    "は上位概念の概念識別子です．ただし仕様により概念識別子は全てインポート後に再割り当てされます"
    "．\n"
    "　「開いているオントロジーのすべての概念を置き換える.」を選択した場合, "
    "CSVファイルの概念の階層構造で最上位概念が唯一である必要があります.\n"
    "「概念識別子」, 「上位概念」を含むCSVファイルは, "
    "このVelmoraのエクスポート機能によって作成されたファイルを想定しています.";

struct TFieldRow {
    TCsvField field;
    const char* name;
    const char* label;
    const char* note;
};
constexpr TFieldRow kFieldRows[] = {
    {TCsvField::Title, "ComboBoxTitle", "タイトル(必須)：", "(240文字以内)"},
    {TCsvField::Description, "ComboBoxDesc", "解説：", "(字数制限なし)"},
    {TCsvField::Comment, "ComboBoxComm", "コメント：", "(字数制限なし)"},
    {TCsvField::Labels, "ComboBoxTerms", "言語ラベル：", "(255文字/ラベル以内)"},
    {TCsvField::Editor, "ComboBoxEditor", "最終更新者：", "(255文字以内)"},
    {TCsvField::Identifier, "ComboBoxID", "概念識別子：", "(255文字以内)"},
    {TCsvField::ParentIdentifier, "ComboBoxParentID", "上位概念識別子：", "(255文字以内)"},
};

constexpr int kGridColumnWidth = 128;
constexpr int kGridRowHeight = 20;

// The wait cursor while a file is read or imported, back on every way out.
class TWaitCursor {
public:
    TWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~TWaitCursor() { QApplication::restoreOverrideCursor(); }
    TWaitCursor(const TWaitCursor&) = delete;
    TWaitCursor& operator=(const TWaitCursor&) = delete;
};

}  // namespace

// ---- The grid's model ---------------------------------------------------------------------

TCsvGridModel::TCsvGridModel(const exchange::TCsvGrid& grid, QObject* parent)
    : QAbstractTableModel(parent), m_grid(grid) {}

void TCsvGridModel::Reset() {
    beginResetModel();
    endResetModel();
}

int TCsvGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_grid.RowCount() - 1;
}

int TCsvGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_grid.ColumnCount();
}

QVariant TCsvGridModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid()) {
        return {};
    }
    return FromCp932(m_grid.Cell(index.column(), index.row() + 1));
}

QVariant TCsvGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal) {
        return {};
    }
    return FromCp932(m_grid.Cell(section, 0));
}

// ---- The window ---------------------------------------------------------------------------

TFormWizImportCSV::TFormWizImportCSV(TUserInterface& ui, TCommandHost& host,
                                     store::TDataModule1& store,
                                     const store::TStoreContext& context,
                                     std::int32_t currentConceptNo, QWidget* parent)
    : QDialog(parent),
      m_ui(ui),
      m_host(host),
      m_store(store),
      m_wizard(store, context, currentConceptNo) {
    setObjectName("FormWizImportCSV");
    setWindowTitle("CSV形式ファイルのインポート");
    setFixedSize(506, 464);

    PageControl1 = new QStackedWidget(this);
    PageControl1->setObjectName("PageControl1");
    PageControl1->addWidget(BuildFilePage());
    PageControl1->addWidget(BuildFieldPage());
    PageControl1->addWidget(BuildPlacePage());

    ButtonBack = new QPushButton("<<戻る", this);
    ButtonBack->setObjectName("ButtonBack");
    ButtonForward = new QPushButton(kForward, this);
    ButtonForward->setObjectName("ButtonForward");
    ButtonForward->setDefault(true);
    BtnCancel = new QPushButton("キャンセル", this);
    BtnCancel->setObjectName("BtnCancel");
    connect(ButtonBack, &QPushButton::clicked, this, [this] { ButtonBackClick(); });
    connect(ButtonForward, &QPushButton::clicked, this, [this] { ButtonForwardClick(); });
    connect(BtnCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ButtonBack);
    buttons->addWidget(ButtonForward);
    buttons->addSpacing(12);
    buttons->addWidget(BtnCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(PageControl1, 1);
    layout->addLayout(buttons);

    // FormCreate.
    PageControl1->setCurrentIndex(0);
    PageControl1Change();
    ShowFile();
    ShowChoices();
    m_wizard.UpdatePlaceChoices();
    ShowPlaces();
}

TFormWizImportCSV::~TFormWizImportCSV() = default;

QWidget* TFormWizImportCSV::BuildFilePage() {
    auto* page = new QWidget;
    auto* group = new QGroupBox("CSV形式ファイル", page);
    BtnFileOpen = new QPushButton("ファイルを指定...", group);
    BtnFileOpen->setObjectName("BtnFileOpen");
    connect(BtnFileOpen, &QPushButton::clicked, this, [this] { BtnFileOpenClick(); });
    EditFileName = new QLineEdit(group);
    EditFileName->setObjectName("EditFileName");
    EditFileName->setReadOnly(true);

    m_model = new TCsvGridModel(m_wizard.Grid(), this);
    StringGridData = new QTableView(group);
    StringGridData->setObjectName("StringGridData");
    StringGridData->setModel(m_model);
    StringGridData->setSelectionBehavior(QAbstractItemView::SelectRows);
    StringGridData->setSelectionMode(QAbstractItemView::SingleSelection);
    StringGridData->setEditTriggers(QAbstractItemView::NoEditTriggers);
    StringGridData->verticalHeader()->hide();  // no fixed columns
    StringGridData->horizontalHeader()->setDefaultSectionSize(kGridColumnWidth);
    StringGridData->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    StringGridData->verticalHeader()->setDefaultSectionSize(kGridRowHeight);
    StringGridData->verticalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    connect(StringGridData, &QTableView::clicked, this,
            [this](const QModelIndex& index) { StringGridDataClick(index.row()); });

    CheckBoxIgnoreHeader = new QCheckBox("一行目は非データレコード.", group);
    CheckBoxIgnoreHeader->setObjectName("CheckBoxIgnoreHeader");
    connect(CheckBoxIgnoreHeader, &QCheckBox::toggled, this,
            [this](bool on) { m_wizard.SetIgnoreHeader(on); });
    auto* note = new QLabel(
        "　Microsoft EXCEL などで作成可能なCSV(Comma Separated Value)形式のファイルをインポート"
        "します.",
        group);
    note->setWordWrap(true);

    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(BtnFileOpen);
    fileRow->addWidget(EditFileName, 1);
    auto* inner = new QVBoxLayout(group);
    inner->addLayout(fileRow);
    inner->addWidget(StringGridData, 1);
    inner->addWidget(CheckBoxIgnoreHeader);
    inner->addWidget(note);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(group);
    return page;
}

QWidget* TFormWizImportCSV::BuildFieldPage() {
    auto* page = new QWidget;
    auto* group = new QGroupBox("フィールドの対応付け", page);
    auto* grid = new QGridLayout(group);
    int row = 0;
    for (const TFieldRow& field : kFieldRows) {
        auto* combo = new QComboBox(group);
        combo->setObjectName(field.name);
        combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        combo->setMinimumContentsLength(20);
        m_combos[static_cast<std::size_t>(field.field)] = combo;
        const TCsvField which = field.field;
        connect(combo, &QComboBox::activated, this, [this, which](int entry) {
            m_wizard.Select(which, entry);
            if (which == TCsvField::Labels) {
                ShowLabelPreview();
            }
            if (which == TCsvField::ParentIdentifier) {
                ShowPlaces();
            }
        });
        grid->addWidget(new QLabel(field.label, group), row, 0, Qt::AlignRight);
        grid->addWidget(combo, row, 1);
        grid->addWidget(new QLabel(field.note, group), row, 2);
        ++row;
    }
    grid->setColumnStretch(1, 1);

    auto* labels = new QGroupBox("言語ラベルフィールド", page);
    LEditSeparator = new QLineEdit(labels);
    LEditSeparator->setObjectName("LEditSeparator");
    connect(LEditSeparator, &QLineEdit::textEdited, this, [this](const QString& text) {
        m_wizard.SetSeparator(ToCp932(text));
        ShowLabelPreview();
    });
    auto* note = new QLabel(
        "言語ラベルは列挙されることがあります. "
        "列挙された言語ラベルのセパレータ文字を指定します.",
        labels);
    note->setWordWrap(true);
    MemoTerms = new QPlainTextEdit(labels);
    MemoTerms->setObjectName("MemoTerms");
    MemoTerms->setReadOnly(true);

    auto* separatorRow = new QHBoxLayout;
    separatorRow->addWidget(new QLabel("言語ラベルのセパレータ：", labels));
    separatorRow->addWidget(LEditSeparator);
    separatorRow->addWidget(new QLabel("(\\n=改行(CR+LF), \\t=タブ)", labels));
    separatorRow->addStretch();
    auto* inner = new QVBoxLayout(labels);
    inner->addWidget(note);
    inner->addLayout(separatorRow);
    inner->addWidget(MemoTerms, 1);

    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(group);
    layout->addWidget(labels, 1);
    return page;
}

QWidget* TFormWizImportCSV::BuildPlacePage() {
    auto* page = new QWidget;
    auto* group = new QGroupBox("インポートする場所", page);
    RadioButtonWorkspace = new QRadioButton("現在表示されているワークスペースにインポート.", group);
    RadioButtonWorkspace->setObjectName("RadioButtonWorkspace");
    RadioButtonSubConcept = new QRadioButton("現在選択されている概念の下位にインポート.", group);
    RadioButtonSubConcept->setObjectName("RadioButtonSubConcept");
    RadioButtonReplace =
        new QRadioButton("開いているオントロジーのすべての概念を置き換える.", group);
    RadioButtonReplace->setObjectName("RadioButtonReplace");
    const std::pair<QRadioButton*, TImportPlace> places[] = {
        {RadioButtonWorkspace, TImportPlace::Workspace},
        {RadioButtonSubConcept, TImportPlace::SubConcept},
        {RadioButtonReplace, TImportPlace::Replace},
    };
    for (const auto& [button, place] : places) {
        const TImportPlace chosen = place;
        connect(button, &QRadioButton::clicked, this, [this, chosen] {
            m_wizard.SetPlace(chosen);
            ShowPlaces();
        });
    }
    LabelPlaceNote = new QLabel(kPlaceNote, group);
    LabelPlaceNote->setObjectName("LabelPlaceNote");
    LabelPlaceNote->setWordWrap(true);

    auto* inner = new QVBoxLayout(group);
    inner->addWidget(RadioButtonWorkspace);
    inner->addWidget(RadioButtonSubConcept);
    inner->addWidget(RadioButtonReplace);
    inner->addSpacing(16);
    inner->addWidget(LabelPlaceNote);
    inner->addStretch();
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(group);
    return page;
}

int TFormWizImportCSV::PageIndex() const {
    return PageControl1->currentIndex();
}

void TFormWizImportCSV::PageControl1Change() {
    const int page = PageIndex();
    ButtonBack->setEnabled(page > 0);
    ButtonForward->setText(page == PageControl1->count() - 1 ? kImport : kForward);
}

void TFormWizImportCSV::ButtonForwardClick() {
    if (PageIndex() < PageControl1->count() - 1) {
        PageControl1->setCurrentIndex(PageIndex() + 1);
    } else {
        accept();
    }
    PageControl1Change();
}

void TFormWizImportCSV::ButtonBackClick() {
    if (PageIndex() > 0) {
        PageControl1->setCurrentIndex(PageIndex() - 1);
    }
    PageControl1Change();
}

void TFormWizImportCSV::BtnFileOpenClick() {
    const std::optional<QString> path = m_ui.AskOpenFileName(this, DialogFilter(kOpenFilter));
    if (!path) {
        // A cancelled choice discards the file loaded before.
        m_wizard.ClearFile();
        ShowFile();
        ShowChoices();
        ShowPlaces();
        return;
    }
    TUiQuestioner questioner(m_ui);
    bool loaded = false;
    try {
        TWaitCursor wait;
        std::string bytes =
            exchange::ReadCSVBytes(store::RealFileSystem(), PathBytes(*path), questioner);
        loaded = m_wizard.LoadBytes(std::move(bytes), PathBytes(*path),
                                    exchange::TImportEncoding::Auto, questioner);
    } catch (const std::exception& error) {
        // The wizard stays as it was.
        m_ui.Ask(TMessageKind::Error, TButtons::Ok, FromUtf8(error.what()));
        return;
    }
    if (!loaded) {
        return;
    }
    ShowFile();
    ShowChoices();
    ShowPlaces();
}

void TFormWizImportCSV::StringGridDataClick(int fileRow) {
    m_wizard.SelectRow(fileRow + 1);
    ShowChoices();
    ShowPlaces();
}

void TFormWizImportCSV::ShowFile() {
    const bool loaded = !m_wizard.FileName().empty();
    EditFileName->setText(loaded ? PathText(m_wizard.FileName()) : QString());
    m_model->Reset();
    StringGridData->setEnabled(loaded);
    if (loaded && m_model->rowCount() > 0) {
        StringGridData->selectRow(m_wizard.SelectedRow() - 1);
    }
    const QSignalBlocker block(CheckBoxIgnoreHeader);
    CheckBoxIgnoreHeader->setChecked(m_wizard.IgnoreHeader());
}

void TFormWizImportCSV::ShowChoices() {
    for (int f = 0; f < exchange::kCsvFieldCount; ++f) {
        const TCsvField field = static_cast<TCsvField>(f);
        QComboBox* combo = Combo(field);
        const QSignalBlocker block(combo);
        combo->clear();
        for (const std::string& entry : m_wizard.Choice(field).Entries) {
            combo->addItem(FromCp932(entry));
        }
        combo->setCurrentIndex(m_wizard.Choice(field).Selected);
    }
    LEditSeparator->setText(FromCp932(m_wizard.Separator()));
    ShowLabelPreview();
}

void TFormWizImportCSV::ShowLabelPreview() {
    QStringList lines;
    for (const std::string& line : m_wizard.LabelPreview()) {
        lines.push_back(FromCp932(line));
    }
    MemoTerms->setPlainText(lines.join('\n'));
}

void TFormWizImportCSV::ShowPlaces() {
    RadioButtonWorkspace->setEnabled(m_wizard.PlaceEnabled(TImportPlace::Workspace));
    RadioButtonSubConcept->setEnabled(m_wizard.PlaceEnabled(TImportPlace::SubConcept));
    RadioButtonReplace->setEnabled(m_wizard.PlaceEnabled(TImportPlace::Replace));
    switch (m_wizard.Place()) {
        case TImportPlace::Workspace:
            RadioButtonWorkspace->setChecked(true);
            break;
        case TImportPlace::SubConcept:
            RadioButtonSubConcept->setChecked(true);
            break;
        case TImportPlace::Replace:
            RadioButtonReplace->setChecked(true);
            break;
        case TImportPlace::None:
            break;
    }
}

void TFormWizImportCSV::done(int result) {
    if (result == QDialog::Rejected || RunImport()) {
        QDialog::done(result);
    }
}

bool TFormWizImportCSV::RunImport() {
    if (const std::optional<std::string> message = m_wizard.Validate()) {
        // The answer does not matter: the wizard stays open on its page.
        m_ui.Ask(TMessageKind::Error, TButtons::OkCancel, FromUtf8(*message));
        return false;
    }
    TWaitCursor wait;
    m_host.TakeSavePoint();
    try {
        TWorkProgress progress(this, "インポートしています...", progressHook);
        m_wizard.Import([&progress](int done, int total) { progress.Step(done, total); });
    } catch (const EWorkCancelled&) {
        // Back to the tables before the import, and no undo step for what did not happen.
        if (store::TOntology* ontology = m_host.Ontology()) {
            if (const std::unique_ptr<store::TSavePoint> point = ontology->PopSavePoint()) {
                m_store.RollBackTo(*point);
            }
        }
        return false;
    } catch (const std::exception& error) {
        // What was written stays; the save point lets the user undo it.
        m_wrote = true;
        m_ui.Ask(TMessageKind::Error, TButtons::Ok, FromUtf8(error.what()));
        return false;
    }
    m_wrote = true;
    return true;
}

}  // namespace velmora::app
