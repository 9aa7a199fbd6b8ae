#include "exchange_commands.h"

#include <QApplication>
#include <QFile>
#include <QProgressDialog>
#include <QStringList>
#include <optional>
#include <utility>

#include "csv_export.h"
#include "csv_import_wizard_form.h"
#include "qt_text.h"
#include "text_import.h"
#include "word_export_form.h"

namespace velmora::app {

namespace {

using store::TAnswer;
using store::TButtons;
using store::TMessageKind;

constexpr qint64 kProgressDelayMs = 500;
// Events are let through this often while the dialog shows, so that it paints and its
// button answers without slowing the work down.
constexpr qint64 kEventsEveryMs = 50;

}  // namespace

// ---- Progress -----------------------------------------------------------------------------

TWorkProgress::TWorkProgress(QWidget* parent, QString label, TProgressHook hook)
    : m_parent(parent), m_label(std::move(label)), m_hook(std::move(hook)) {}

TWorkProgress::~TWorkProgress() = default;

void TWorkProgress::Step(long long done, long long total) {
    if (m_hook) {
        if (!m_hook(done, total)) {
            throw EWorkCancelled();
        }
        return;
    }
    // The half second counts from the first report, not from questions asked before it.
    if (!m_clock.isValid()) {
        m_clock.start();
    }
    const qint64 now = m_clock.elapsed();
    if (!m_dialog) {
        if (now < kProgressDelayMs) {
            return;
        }
        m_dialog = std::make_unique<QProgressDialog>(m_label, "キャンセル", 0, 1000, m_parent);
        m_dialog->setWindowModality(Qt::WindowModal);
        m_dialog->setMinimumDuration(0);
        m_dialog->setAutoReset(false);
        m_dialog->setAutoClose(false);
        m_dialog->show();
    } else if (now - m_lastEvents < kEventsEveryMs) {
        return;
    }
    m_lastEvents = now;
    // Per mille, so that totals beyond an int's range still fit the bar.
    m_dialog->setValue(total > 0 ? static_cast<int>(done * 1000 / total) : 0);
    QApplication::processEvents();
    if (m_dialog->wasCanceled()) {
        throw EWorkCancelled();
    }
}

// ---- Helpers ------------------------------------------------------------------------------

QString DialogFilter(std::string_view filter) {
    const QStringList parts = FromUtf8(filter).split('|');
    QStringList texts;
    for (qsizetype i = 0; i < parts.size(); i += 2) {
        texts.push_back(parts[i]);
    }
    return texts.join(";;");
}

std::string PathBytes(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

QString PathText(const std::string& path) {
    return QFile::decodeName(path.c_str());
}

bool MayWriteFile(TUserInterface& ui, const QString& path) {
    return !QFile::exists(path) ||
           ui.Ask(TMessageKind::Confirmation, TButtons::YesNo,
                  "ファイルは既に存在します.上書きしますか?") == TAnswer::Yes;
}

// ---- The commands -------------------------------------------------------------------------

TExchangeCommands::TExchangeCommands(TCommandSet& commands, TCommandHost& host, TViewSet& views,
                                     TUserInterface& ui, store::TDataModule1& store,
                                     engine::TDataModuleSeeker& seeker,
                                     const store::TStoreContext& context, QWidget* window)
    : m_host(host),
      m_views(views),
      m_ui(ui),
      m_store(store),
      m_seeker(seeker),
      m_context(context),
      m_window(window) {
    commands.Connect("ExportExcel", [this] { ExportExcelExecute(); });
    commands.Connect("ImportText", [this] { ImportTextExecute(); });
    commands.Connect("ExportWord", [this] { ExportWordExecute(); });
    commands.Connect("ImportCSV", [this] { ImportCSVExecute(); });
}

void TExchangeCommands::ExportExcelExecute() {
    const store::TOntology* ontology = m_host.Ontology();
    if (ontology == nullptr) {
        return;
    }
    // What is still typed in a field or a label editor is part of what the user exports.
    m_views.PostPendingEdits();
    store::TConceptList list;
    for (const store::TConceptData& item : m_views.workspace->SelectedItems()) {
        list.AddNew().Assign(item);
    }
    if (list.Count() == 0) {
        const store::TConceptData* current = m_host.CurrentConcept();
        if (current == nullptr) {
            return;
        }
        list.AddNew().Assign(*current);
    }
    TUiQuestioner questioner(m_ui);
    exchange::TDataModuleExport exporter(m_store, m_seeker);
    const exchange::TChooseSaveFile choose =
        [this](const exchange::TSaveFileRequest& request) -> std::optional<std::string> {
        const std::optional<QString> path =
            m_ui.AskSaveFileName(m_window, PathText(request.FileName), DialogFilter(request.Filter),
                                 FromUtf8(request.DefaultExt));
        if (!path || !MayWriteFile(m_ui, *path)) {
            return std::nullopt;
        }
        return PathBytes(*path);
    };
    TWorkProgress progress(m_window, "CSV ファイルに書き出しています...", progressHook);
    exporter.SetProgress([&progress](int lines, int concepts) { progress.Step(lines, concepts); });
    try {
        exporter.ExportCSV(list, *ontology, questioner, choose);
    } catch (const EWorkCancelled&) {
        // Stopped before the file was written: nothing to undo.
    }
}

void TExchangeCommands::ImportTextExecute() {
    const store::TConceptData* current = m_host.CurrentConcept();
    if (m_host.Ontology() == nullptr || current == nullptr) {
        return;
    }
    if (m_ui.Ask(TMessageKind::Information, TButtons::OkCancel,
                 FromUtf8(exchange::kImportTextPrompt)) != TAnswer::Ok) {
        return;
    }
    const std::optional<QString> path =
        m_ui.AskOpenFileName(m_window, DialogFilter(exchange::kTextFilter));
    if (!path) {
        return;
    }
    // A copy: the history may change while the views are refilled.
    store::TConceptData shown;
    shown.Assign(*current);
    m_host.TakeSavePoint();
    TUiQuestioner questioner(m_ui);
    exchange::ImportTextFile(m_store, shown, PathBytes(*path), questioner);
    m_host.GoToConcept(m_window, shown, true, false);
}

void TExchangeCommands::ImportCSVExecute() {
    const store::TConceptData* current = m_host.CurrentConcept();
    if (m_host.Ontology() == nullptr || current == nullptr) {
        return;
    }
    store::TConceptData shown;
    shown.Assign(*current);
    TFormWizImportCSV wizard(m_ui, m_host, m_store, m_context, shown.ConceptNo(), m_window);
    if (m_ui.RunModal(wizard) != QDialog::Accepted && !wizard.Wrote()) {
        return;
    }
    if (m_host.RecordExists(shown)) {
        m_host.GoToConcept(m_window, shown, true, false);
        return;
    }
    // A replace: nothing of the history is left, and the tree is built again from the new top.
    m_host.ClearHistory();
    m_host.ShowTopConcept();
    if (const store::TConceptData* top = m_host.CurrentConcept()) {
        store::TConceptData item;
        item.Assign(*top);
        m_host.GoToConcept(m_window, item, true, false);
    }
}

void TExchangeCommands::ExportWordExecute() {
    const store::TOntology* ontology = m_host.Ontology();
    if (ontology == nullptr) {
        return;
    }
    // What is still typed in a field or a label editor is part of what the user exports.
    m_views.PostPendingEdits();
    TFormExportWord form(m_ui, m_store, *ontology, m_window);
    m_ui.RunModal(form);
}

}  // namespace velmora::app
