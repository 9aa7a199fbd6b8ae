// TRecoveryService: recovery copies of the open ontology while it has unsaved changes, and the
// question about copies left behind by a crash at the next start (doc/recovery.md).
//
// Each running program owns a session folder in the recovery folder, holding its copy
// ("copy.vrc") and a lock file that it keeps locked (flock) while it runs; a copy whose lock is
// held belongs to a running program and is never offered. A change is copied at most one
// interval after it was made, by a forked child (store::TRecoveryWriter), so the window never
// waits for the write. A clean save, a clean close or "No" to the unsaved-changes question
// removes the copy; a crash or a kill leaves it. A failed write is told once in the status line.
//
// UI thread only.
#pragma once

#include <QDialog>
#include <QObject>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "data_module.h"
#include "ontology.h"
#include "recovery_copy.h"

class QTimer;

namespace velmora::app {

class TUserInterface;

class TRecoveryService : public QObject {
    Q_OBJECT

public:
    // What the service needs of the window.
    struct THost {
        std::function<store::TOntology*()> ontology;
        std::function<void(const QString&)> status;
        // Opens the copy at the path as the ontology, with unsaved changes on top of its file;
        // an error (a damaged copy) leaves the window idle and is thrown on.
        std::function<void(const std::string& path)> restore;
    };

    // The answers of the question at start-up.
    enum class TChoice { Restore, Discard, Later };

    // REQUIRES: store and ui outlive the service.
    TRecoveryService(store::TDataModule1& store, TUserInterface& ui, THost host, std::string folder,
                     QObject* parent = nullptr);
    ~TRecoveryService() override;

    // Milliseconds from a change to its copy (the settings give seconds; tests use less).
    void SetInterval(int milliseconds);
    int Interval() const { return m_interval; }
    const std::string& Folder() const { return m_folder; }

    // Start-up: for every copy left behind by a program that no longer runs, asks whether to
    // restore, discard or keep it. Returns true when a copy was restored (the others are then
    // kept for a later start). A damaged copy is reported and moved to the folder "damaged".
    bool OfferLeftCopies();

    // The ontology's flags changed or it was replaced: without unsaved changes the copy goes.
    void OntologyStateChanged();
    // Looks for changes and writes a copy when one is due; the timer calls it.
    void Poll();

    // This session's copy, and whether it is in place / being written.
    std::string CopyPath() const;
    bool HasCopy() const { return m_copyExists; }
    bool Writing() const { return m_writer.Busy(); }
    // Waits for a running write to end and takes its result (tests, the benchmark).
    void WaitForWrite();
    // The copy in place holds the ontology as it stands now.
    bool CopyIsCurrent();
    // Writes that failed in this session.
    int FailedWrites() const { return m_failedWrites; }

private:
    // What a copy holds, to tell whether the last copy is still current. ContentStamp changes
    // with every change of a table, so comparing stamps costs nothing on a large ontology.
    struct TState {
        std::array<std::uint64_t, 5> stamps{};
        std::vector<std::string> lines;
        std::string fileName;
        bool operator==(const TState&) const = default;
    };
    TState Capture(const store::TOntology& ontology);
    static bool HasUnsavedChanges(const store::TOntology* ontology);
    void EnsureSession();
    void Finished(const store::TRecoveryWriter::TResult& result);
    void ReportFailure(const std::string& message);
    void RemoveCopy();
    TChoice Ask(const store::TRecoveryInfo& info);
    void PutAside(const std::string& sessionDir, const std::string& reason);

    store::TDataModule1& m_store;
    TUserInterface& m_ui;
    THost m_host;
    std::string m_folder;
    int m_interval = 60'000;
    QTimer* m_timer = nullptr;

    std::string m_session;  // this program's session folder; empty until needed
    int m_lockFd = -1;
    store::TRecoveryWriter m_writer;
    bool m_copyExists = false;
    std::optional<TState> m_written;  // what the copy in place holds
    std::optional<TState> m_pending;  // what the running write will hold
    std::optional<std::int64_t> m_dirtySince;
    std::int64_t m_writeStarted = 0;
    bool m_failureShown = false;
    int m_failedWrites = 0;
};

// The question at start-up: which file, when the copy was taken, and the three answers
// (restore is the default button). Closing it counts as "later".
class TRecoveryDialog : public QDialog {
    Q_OBJECT

public:
    TRecoveryDialog(const store::TRecoveryInfo& info, QWidget* parent = nullptr);
    TRecoveryService::TChoice Choice() const { return m_choice; }

private:
    TRecoveryService::TChoice m_choice = TRecoveryService::TChoice::Later;
};

}  // namespace velmora::app
