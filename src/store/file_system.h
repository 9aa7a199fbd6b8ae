// The file operations the ontology file needs, behind an interface: the real POSIX one, and a
// wrapper that fails a chosen operation so that tests can walk through every failure of a save.
//
// Every failure raises EFileSystemError naming the file and the system's reason in Japanese.
// TFileReplacement is the one way a file is replaced safely (ontology files, exports).
// Single-threaded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "errors.h"

namespace velmora::store {

// The system's reason for a failure as the user reads it: Japanese for the common errno values,
// the C library's text for the rest.
std::string ReasonText(int error);

// "PATH: reason". `error` is the errno value behind the failure, 0 when it did not come from the
// system (the reason then says what happened).
class EFileSystemError : public EVelmoraError {
public:
    EFileSystemError(const std::string& path, int error)
        : EFileSystemError(path, error, ReasonText(error)) {}
    EFileSystemError(const std::string& path, int error, std::string reason)
        : EVelmoraError(path + ": " + reason), m_error(error), m_reason(std::move(reason)) {}
    int Error() const { return m_error; }
    const std::string& Reason() const { return m_reason; }

private:
    int m_error;
    std::string m_reason;
};

// What a name refers to.
struct TFileStatus {
    enum class TKind : std::uint8_t { Regular, Directory, Other };
    TKind Kind = TKind::Regular;
    unsigned Mode = 0644;  // permission bits
    bool Writable = true;  // the file may be written (read-only files are not replaced)
};

// An open file with a position.
class TFile {
public:
    virtual ~TFile() = default;
    virtual std::size_t Read(void* buffer, std::size_t n) = 0;  // 0 at the end
    virtual void Write(const void* buffer, std::size_t n) = 0;  // all of it, or an error
    virtual void Seek(std::int64_t position) = 0;
    virtual std::int64_t Size() = 0;
    virtual void Sync() = 0;   // the contents reach the disk
    virtual void Close() = 0;  // reports a failure of the last writes

    // For readers that read several parts of a file at once: the position, and a read at an
    // offset that leaves the position alone and may run on several threads at once (all of n,
    // or fewer at the end). A file that cannot do that answers Position with -1 (the default),
    // and such readers use Read.
    virtual std::int64_t Position() { return -1; }
    virtual std::size_t ReadAt(void* buffer, std::size_t n, std::int64_t offset);
};

class TFileSystem {
public:
    virtual ~TFileSystem() = default;
    virtual bool Exists(const std::string& path) = 0;
    // Nothing when the name does not exist.
    virtual std::optional<TFileStatus> Status(const std::string& path) = 0;
    // Opens a regular file; a folder, a pipe or a device is refused.
    virtual std::unique_ptr<TFile> OpenRead(const std::string& path) = 0;
    // Creates a new file; fails when one of that name exists.
    virtual std::unique_ptr<TFile> CreateNew(const std::string& path) = 0;
    virtual void Rename(const std::string& from, const std::string& to) = 0;  // replaces `to`
    virtual void Link(const std::string& existing, const std::string& newName) = 0;
    virtual void Remove(const std::string& path) = 0;  // no error when it does not exist
    virtual void SyncDirectory(const std::string& directory) = 0;
    virtual void SetMode(const std::string& path, unsigned mode) = 0;  // permission bits
};

// The machine's file system.
TFileSystem& RealFileSystem();

// Passes every operation to `inner` and makes the `failAt`-th one (counting from 1; file
// operations included) fail with an EFileSystemError; 0 never fails. A write that fails first
// writes half of its bytes, as a full disk does.
class TFaultyFileSystem : public TFileSystem {
public:
    explicit TFaultyFileSystem(TFileSystem& inner, int failAt = 0)
        : m_inner(inner), m_failAt(failAt) {}

    int Operations() const { return m_count; }
    bool Failed() const { return m_failAt > 0 && m_count >= m_failAt; }
    // Counts one operation; true when this one is to fail.
    bool Tick() { return ++m_count == m_failAt; }

    bool Exists(const std::string& path) override;
    std::optional<TFileStatus> Status(const std::string& path) override;
    std::unique_ptr<TFile> OpenRead(const std::string& path) override;
    std::unique_ptr<TFile> CreateNew(const std::string& path) override;
    void Rename(const std::string& from, const std::string& to) override;
    void Link(const std::string& existing, const std::string& newName) override;
    void Remove(const std::string& path) override;
    void SyncDirectory(const std::string& directory) override;
    void SetMode(const std::string& path, unsigned mode) override;

private:
    TFileSystem& m_inner;
    int m_failAt;
    int m_count = 0;
};

// Files held in memory, by name: for reading and writing ontology files without a disk (the
// fuzz target, tests). Folders are not modelled; every name is one file.
class TMemoryFileSystem : public TFileSystem {
public:
    void Put(const std::string& path, std::string bytes) { m_files[path] = std::move(bytes); }
    const std::string* Get(const std::string& path) const;

    bool Exists(const std::string& path) override { return m_files.count(path) != 0; }
    std::optional<TFileStatus> Status(const std::string& path) override;
    std::unique_ptr<TFile> OpenRead(const std::string& path) override;
    std::unique_ptr<TFile> CreateNew(const std::string& path) override;
    void Rename(const std::string& from, const std::string& to) override;
    void Link(const std::string& existing, const std::string& newName) override;
    void Remove(const std::string& path) override {
        m_files.erase(path);
        m_modes.erase(path);
    }
    void SyncDirectory(const std::string&) override {}
    void SetMode(const std::string& path, unsigned mode) override;

private:
    std::map<std::string, std::string> m_files;
    std::map<std::string, unsigned> m_modes;  // files whose mode was set
};

// Replaces the file `target` (or creates it) so that a failure or a crash at any step leaves
// either the previous file or the new one whole (a failed folder sync after the rename puts the
// previous version back when a backup holds it, else the new file stays and the failure is
// reported): the new contents go to a temporary file with a
// short name beside the target, which is synced and renamed over the target; then the folder is
// synced. The file keeps its permission bits. A folder, a pipe or a read-only file in the
// target's place is refused before anything is written. Every error names the target, never
// the temporary file. Until Commit the target is untouched; destroying an uncommitted
// replacement removes the temporary file.
class TFileReplacement {
public:
    // Throws EFileSystemError ("TARGET: reason") when the target cannot be replaced.
    TFileReplacement(TFileSystem& fs, std::string target);
    ~TFileReplacement();
    TFileReplacement(const TFileReplacement&) = delete;
    TFileReplacement& operator=(const TFileReplacement&) = delete;

    void Write(const void* buffer, std::size_t n);
    void Write(std::string_view bytes) { Write(bytes.data(), bytes.size()); }
    void Seek(std::int64_t position);

    // Puts the new file in place. With a backup name, the previous version is first kept under
    // it (replacing an older backup). Keeping the backup is best effort: when it cannot be made
    // the new file is put in place all the same, and BackupProblem says why none was kept.
    void Commit(const std::string& backupName = std::string());

    bool TargetExisted() const { return m_previous.has_value(); }
    const std::string& BackupProblem() const { return m_backupProblem; }

private:
    void KeepBackup(const std::string& backupName);
    void RemoveTemporary() noexcept;
    [[noreturn]] void Fail(const EFileSystemError& e) const;

    TFileSystem& m_fs;
    std::string m_target;
    std::string m_temporary;
    std::unique_ptr<TFile> m_file;
    std::optional<TFileStatus> m_previous;
    bool m_committed = false;
    std::string m_backupProblem;
};

// A hidden name beside `path` for a temporary file, different on every call: short (a dot and
// 11 characters), so that it is legal wherever the target's own name is. Callers create it
// exclusively and try another on EEXIST.
std::string TemporaryNameBeside(const std::string& path);

// The folder part of a path ("." when there is none) and the name part.
std::string DirectoryOf(const std::string& path);
std::string NameOf(const std::string& path);

}  // namespace velmora::store
