#include "file_commands.h"

#include <QFile>
#include <QPainter>
#include <QPrinter>
#include <QTreeWidget>

#include "create_ontology_wizard.h"
#include "date_time.h"
#include "qt_text.h"
#include "recovery_copy.h"

namespace velmora::app {

namespace {

using store::TAnswer;
using store::TButtons;
using store::TMessageKind;

constexpr const char* kUnsavedQuestion =
    "編集内容はファイルに保存されていません.保存しますか?\r\nここで保存しない場合は編集内容は破棄"
    "されます.";
constexpr const char* kOpenFilter = "velmoraファイル(*.ont);;すべてのファイル(*)";
constexpr const char* kSaveFilter = "Velmoraファイル(*.ont);;すべてのファイル(*)";
constexpr const char* kNoBackupKept =
    "保存しました. ただし以前の版のバックアップは作成できませんでした: ";

std::string PathBytes(const QString& path) {
    return QFile::encodeName(path).toStdString();
}
QString PathText(const std::string& path) {
    return QFile::decodeName(path.c_str());
}

}  // namespace

TFileCommands::TFileCommands(TCommandSet& commands, TCommandHost& host, TViewSet& views,
                             TUserInterface& ui, TQuillonIniFile& settings,
                             store::TDataModule1& store, engine::TDataModuleSeeker& seeker,
                             QWidget* window)
    : m_commands(commands),
      m_host(host),
      m_views(views),
      m_ui(ui),
      m_settings(settings),
      m_store(store),
      m_seeker(seeker),
      m_window(window) {
    commands.Connect("FileCreate1", [this] { FileCreate1Execute(); });
    commands.Connect("FileOpen1", [this] { FileOpen1Execute(); });
    commands.Connect("FileSave1", [this] { FileSave1Execute(); });
    commands.Connect("FileSaveAs1", [this] { FileSaveAs1Execute(); });
    commands.Connect("FilePrintDlg1", [this] { FilePrintDlg1Execute(); });
    commands.Connect("FileExit1", [this] { m_window->close(); });
    for (const TCommandName name : std::initializer_list<TCommandName>{
             "FileCreate1", "FileOpen1", "FilePrintDlg1", "FileExit1"}) {
        commands.Enable(name, true);
    }
}

void TFileCommands::UpdateFileCommands() {
    const store::TOntology* ontology = m_host.Ontology();
    m_commands.Enable("FileSaveAs1", ontology != nullptr);
    m_commands.Enable("FileSave1",
                      ontology != nullptr && (ontology->CanUndo() || ontology->Modified()));
}

bool TFileCommands::HasUnsavedChanges() const {
    const store::TOntology* ontology = m_host.Ontology();
    return ontology != nullptr &&
           (ontology->CanUndo() || ontology->Modified() || m_views.editor->HasPendingEdit());
}

void TFileCommands::ReturnToIdle() {
    m_views.ClearItems();
    m_views.editor->SetEditorActive(false);
    m_host.ClearHistory();
    m_host.SetOntology(nullptr);
    m_store.CloseTables();
    m_host.UpdateCommandStates();
}

bool TFileCommands::CloseOntology() {
    store::TOntology* ontology = m_host.Ontology();
    if (ontology == nullptr) {
        return true;
    }
    // A title still in its editor is a change like any other.
    m_views.CommitLabelEdits();
    if (HasUnsavedChanges()) {
        switch (m_ui.Ask(TMessageKind::Warning, TButtons::YesNoCancel, BoxText(kUnsavedQuestion))) {
            case TAnswer::Yes:
                FileSave1Execute();
                break;
            case TAnswer::No:
                m_views.editor->CancelPendingEdit();
                ontology->SetCanUndo(false);
                ontology->SetModified(false);
                break;
            default:
                break;
        }
    }
    if (HasUnsavedChanges()) {
        return false;
    }
    ReturnToIdle();
    m_host.SetStatusText("ONTOLOGY UNLOADED.");
    return true;
}

void TFileCommands::FileCreate1Execute() {
    if (m_host.Ontology() != nullptr && !CloseOntology()) {
        return;
    }
    TPagesDlgCreateOntology wizard(m_ui, m_window);
    if (m_ui.RunModal(wizard) == QDialog::Accepted) {
        try {
            BuildOntologyFromWizard(wizard);
        } catch (...) {
            // Half-built tables are no ontology: back to idle, and the error is shown.
            ReturnToIdle();
            throw;
        }
    }
    if (m_host.Ontology() != nullptr) {
        m_host.ShowTopConcept();
        FocusTree();
    }
}

// A keyboard user walks the tree at once, from the selected concept.
void TFileCommands::FocusTree() {
    m_views.tree->ConceptTreeView()->setFocus(Qt::OtherFocusReason);
}

void TFileCommands::BuildOntologyFromWizard(TPagesDlgCreateOntology& wizard) {
    TCp932Writer bytes;
    store::TWizardFields fields;
    fields.Target = bytes(wizard.Target());
    fields.Title = bytes(wizard.OntologyTitle());
    fields.Community = bytes(wizard.Community());
    fields.Description = bytes(wizard.TargetDescription());
    fields.Creator = bytes(m_settings.Author());
    for (const QString& text : wizard.SubCategories()) {
        fields.SubCategories.push_back(bytes(text));
    }
    m_host.SetOntology(std::make_unique<store::TOntology>());
    store::BuildWizardOntology(m_store, *m_host.Ontology(), fields, store::TDateTime::Now());
    m_views.editor->SetEditorActive(true);
    if (bytes.Lost() > 0) {
        m_ui.Ask(TMessageKind::Warning, TButtons::Ok, UnconvertibleText(bytes.Lost()));
    }
}

void TFileCommands::FileOpen1Execute() {
    if (m_host.Ontology() != nullptr && !CloseOntology()) {
        return;
    }
    if (const std::optional<QString> path = m_ui.AskOpenFileName(m_window, kOpenFilter)) {
        OpenOntologyFile(*path);
    }
}

void TFileCommands::OpenOntologyFile(const QString& path) {
    if (m_host.Ontology() != nullptr && !CloseOntology()) {
        return;
    }
    m_host.SetOntology(std::make_unique<store::TOntology>());
    try {
        m_host.Ontology()->SetFileName(PathBytes(path));
        m_store.LoadOntologyFile(*m_host.Ontology());
        m_views.editor->SetEditorActive(true);
        m_host.ShowTopConcept();
        FocusTree();
    } catch (...) {
        ReturnToIdle();
        throw;
    }
}

void TFileCommands::RestoreRecoveryCopy(const std::string& path) {
    if (m_host.Ontology() != nullptr && !CloseOntology()) {
        return;
    }
    m_host.SetOntology(std::make_unique<store::TOntology>());
    try {
        store::TOntology& ontology = *m_host.Ontology();
        const store::TRecoveryInfo info =
            store::LoadRecoveryCopy(m_store, ontology, store::RealFileSystem(), path);
        ontology.SetFileName(info.FileName);
        // The undo steps of the lost session are not in the copy; the changes count as unsaved.
        ontology.SetModified(true);
        m_views.editor->SetEditorActive(true);
        m_host.ShowTopConcept();
        FocusTree();
        m_host.SetStatusText(
            "回復用コピーから編集内容を復元しました. 保存するまではファイルは"
            "変わっていません.");
    } catch (...) {
        ReturnToIdle();
        throw;
    }
}

bool TFileCommands::SaveWithChecks(bool overwrite) {
    // A change still in a field or a label editor is part of what the user saves.
    m_views.PostPendingEdits();
    m_seeker.RunSupportChecks();
    const bool saved = m_store.SaveOntologyFile(*m_host.Ontology(), overwrite);
    if (saved && !m_store.LastBackupProblem().empty()) {
        // The file is saved; the user should know that its previous version is not kept.
        m_host.SetStatusText(QString::fromUtf8(kNoBackupKept) +
                             QString::fromUtf8(m_store.LastBackupProblem()));
    }
    return saved;
}

void TFileCommands::FileSave1Execute() {
    store::TOntology* ontology = m_host.Ontology();
    if (ontology == nullptr) {
        return;
    }
    if (ontology->FileName().empty()) {
        FileSaveAs1Execute();
        return;
    }
    SaveWithChecks(true);
}

void TFileCommands::FileSaveAs1Execute() {
    store::TOntology* ontology = m_host.Ontology();
    if (ontology == nullptr) {
        return;
    }
    const std::string previous = ontology->FileName();
    const QString preset =
        previous.empty() ? FromCp932(ontology->Title()) + ".ont" : PathText(previous);
    const std::optional<QString> chosen =
        m_ui.AskSaveFileName(m_window, preset, kSaveFilter, "ont");
    if (!chosen) {
        return;
    }
    ontology->SetFileName(PathBytes(*chosen));
    bool written = false;
    try {
        written = SaveWithChecks(false);
    } catch (...) {
        ontology->SetFileName(previous);
        throw;
    }
    // A declined overwrite keeps the old name, so a later plain save cannot overwrite the
    // declined file without asking.
    if (!written) {
        ontology->SetFileName(previous);
    }
}

void TFileCommands::FilePrintDlg1Execute() {
    QPrinter printer;
    if (!m_ui.AskPrint(m_window, printer)) {
        return;
    }
    const QPixmap image = m_window->grab();
    QPainter painter;
    if (!painter.begin(&printer)) {
        throw store::EVelmoraError("印刷を始められません.");
    }
    const QRect page = painter.viewport();
    const QSize fitted = image.size().scaled(page.size(), Qt::KeepAspectRatio);
    painter.setViewport(page.x(), page.y(), fitted.width(), fitted.height());
    painter.setWindow(image.rect());
    painter.drawPixmap(0, 0, image);
    painter.end();
}

}  // namespace velmora::app
