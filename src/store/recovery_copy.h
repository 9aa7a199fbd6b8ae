// Recovery copies: what the desktop program keeps of an ontology with unsaved changes, so that a
// crash, a kill or a power cut loses at most the last interval of work (doc/recovery.md).
//
// A copy is one file: a header of its own (magic, the file the ontology belongs to, the time the
// copy was taken, the title and the change flags), then the ontology file's contents exactly as a
// save writes them. It is read back through the same checked reader as an .ont file, so a damaged
// copy is an error, never a crash.
//
// TRecoveryWriter takes the copy without making the caller wait: it forks, and the child process
// writes the tables as they stood at the fork from its own copy-on-write image of the memory,
// while the parent goes on. The tables are never touched by a second thread.
//
// Plain C++ and POSIX; the folder and locks are the caller's.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>

#include "data_module.h"
#include "file_system.h"
#include "ontology.h"

namespace velmora::store {

// What a copy says about itself.
struct TRecoveryInfo {
    std::string FileName;      // path of the ontology's file; empty when it was never saved
    std::string Title;         // the ontology's Title (code page 932), for the question
    std::int64_t TakenAt = 0;  // when the copy was taken: milliseconds since 1970, UTC
    bool CanUndo = false;      // the flags at that moment
    bool Modified = false;
    std::uint32_t SavePoints = 0;  // undo steps the session had (they are not restored)
};

// The recovery folder: $XDG_STATE_HOME/velmora/recovery, or ~/.local/state/velmora/recovery
// when XDG_STATE_HOME is unset or not an absolute path.
std::string DefaultRecoveryFolder();

// Milliseconds since 1970 (UTC), now.
std::int64_t UnixMillisecondsNow();

// What would go into a copy of this ontology now, apart from the tables.
TRecoveryInfo RecoveryInfoOf(const TOntology& ontology, std::int64_t takenAt);

// Writes a copy safely (a temporary file beside target, synced and renamed over it). Pending
// edits of the five tables are finished first, as a save does; the change logs and the flags
// are left alone. Failures: EVelmoraError naming target.
void WriteRecoveryCopy(TDataModule1& store, const TOntology& ontology, const TRecoveryInfo& info,
                       TFileSystem& fs, const std::string& target);

// The header of a copy alone (for the question at start-up). A file that is no copy, or whose
// header is damaged: EVelmoraError.
TRecoveryInfo ReadRecoveryInfo(TFileSystem& fs, const std::string& path);

// Reads the whole copy into ontology (its metadata) and the store's tables, all or nothing as a
// load: on any error both stay as they were. The ontology's file name and flags are not touched;
// the caller decides what the restored ontology is.
TRecoveryInfo LoadRecoveryCopy(TDataModule1& store, TOntology& ontology, TFileSystem& fs,
                               const std::string& path);

// One copy at a time, written by a child process. Single-threaded (the caller's thread).
class TRecoveryWriter {
public:
    struct TResult {
        bool Ok = false;
        std::string Message;  // why it failed (UTF-8); empty on success
    };

    TRecoveryWriter() = default;
    ~TRecoveryWriter();  // ends a running write (as Cancel)
    TRecoveryWriter(const TRecoveryWriter&) = delete;
    TRecoveryWriter& operator=(const TRecoveryWriter&) = delete;

    // Starts writing a copy of the tables and the ontology as they stand now to target, and
    // returns at once. The child lowers its priority so that the window keeps the processor.
    // REQUIRES: !Busy(). A failure to start: EVelmoraError.
    void Start(TDataModule1& store, const TOntology& ontology, const TRecoveryInfo& info,
               const std::string& target);
    bool Busy() const { return m_child > 0; }
    // The result once the child has ended; nothing while it runs (or when none was started).
    std::optional<TResult> Poll();
    // Waits for the running write to end and returns its result; nothing when none runs.
    std::optional<TResult> Wait();
    // Ends a running write at once; its target may or may not have been replaced, but it is
    // never left half written.
    void Cancel();

private:
    TResult Finish(int status);

    pid_t m_child = -1;
    int m_pipe = -1;  // reading end: the child's message
};

}  // namespace velmora::store
