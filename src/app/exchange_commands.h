// The import and export commands of the desktop program: ExportExcel (concepts with their
// subtrees to a CSV file), ImportCSV (the wizard TFormWizImportCSV), ImportText (one concept per
// line of a text file) and ExportWord (the window TFormExportWord). They are windows and
// questions over src/exchange, which does the work for velmora-cli as well.
//
// Long work reports through TWorkProgress: a progress dialog with a cancel button that appears
// only once the work has run for half a second, so short runs show nothing. Cancelling throws
// EWorkCancelled out of the core's progress hook; the caller undoes what the work began.
// The unit owns nothing but its references; single-threaded.
#pragma once

#include <QElapsedTimer>
#include <QString>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include "command_host.h"
#include "commands.h"
#include "data_module.h"
#include "seeker.h"
#include "user_interface.h"
#include "view_set.h"

class QProgressDialog;
class QWidget;

namespace velmora::app {

// Progress of long work in place of the dialog (tests): false stops the work.
using TProgressHook = std::function<bool(long long done, long long total)>;

// The user stopped long work with the progress dialog's cancel button.
class EWorkCancelled : public std::runtime_error {
public:
    EWorkCancelled() : std::runtime_error("中止しました.") {}
};

class TWorkProgress {
public:
    // hook, when set, replaces the dialog.
    TWorkProgress(QWidget* parent, QString label, TProgressHook hook = {});
    ~TWorkProgress();
    TWorkProgress(const TWorkProgress&) = delete;
    TWorkProgress& operator=(const TWorkProgress&) = delete;

    // Reports done of total; EWorkCancelled when the user cancelled.
    void Step(long long done, long long total);

private:
    QWidget* m_parent;
    QString m_label;
    TProgressHook m_hook;
    QElapsedTimer m_clock;
    qint64 m_lastEvents = 0;
    std::unique_ptr<QProgressDialog> m_dialog;
};

// Delphi-style filter "text|pattern|text|pattern" as a file dialog's "text;;text".
QString DialogFilter(std::string_view filter);
// A file-system path from a dialog as the core's file layer takes it, and back.
std::string PathBytes(const QString& path);
QString PathText(const std::string& path);
// Whether path may be written: it does not exist yet, or the user agreed to replace it.
bool MayWriteFile(TUserInterface& ui, const QString& path);

class TExchangeCommands {
public:
    // REQUIRES: every argument outlives the unit; window is the main window.
    TExchangeCommands(TCommandSet& commands, TCommandHost& host, TViewSet& views,
                      TUserInterface& ui, store::TDataModule1& store,
                      engine::TDataModuleSeeker& seeker, const store::TStoreContext& context,
                      QWidget* window);

    void ExportExcelExecute();
    void ImportCSVExecute();
    void ImportTextExecute();
    void ExportWordExecute();

    // Replaces the progress dialog of the CSV export (tests).
    TProgressHook progressHook;

private:
    TCommandHost& m_host;
    TViewSet& m_views;
    TUserInterface& m_ui;
    store::TDataModule1& m_store;
    engine::TDataModuleSeeker& m_seeker;
    const store::TStoreContext& m_context;
    QWidget* m_window;
};

}  // namespace velmora::app
