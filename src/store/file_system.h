// The file operations the ontology file needs, behind an interface: the real POSIX one, and a
// wrapper that fails a chosen operation so that tests can walk through every failure of a save.
//
// Every failure raises EFileSystemError naming the file and the system's reason.
// Single-threaded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "errors.h"

namespace velmora::store {

class EFileSystemError : public EVelmoraError {
public:
    using EVelmoraError::EVelmoraError;
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
};

class TFileSystem {
public:
    virtual ~TFileSystem() = default;
    virtual bool Exists(const std::string& path) = 0;
    virtual std::unique_ptr<TFile> OpenRead(const std::string& path) = 0;
    // Creates a new file; fails when one of that name exists.
    virtual std::unique_ptr<TFile> CreateNew(const std::string& path) = 0;
    virtual void Rename(const std::string& from, const std::string& to) = 0;  // replaces `to`
    virtual void Link(const std::string& existing, const std::string& newName) = 0;
    virtual void Remove(const std::string& path) = 0;  // no error when it does not exist
    virtual void SyncDirectory(const std::string& directory) = 0;
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
    std::unique_ptr<TFile> OpenRead(const std::string& path) override;
    std::unique_ptr<TFile> CreateNew(const std::string& path) override;
    void Rename(const std::string& from, const std::string& to) override;
    void Link(const std::string& existing, const std::string& newName) override;
    void Remove(const std::string& path) override;
    void SyncDirectory(const std::string& directory) override;

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
    std::unique_ptr<TFile> OpenRead(const std::string& path) override;
    std::unique_ptr<TFile> CreateNew(const std::string& path) override;
    void Rename(const std::string& from, const std::string& to) override;
    void Link(const std::string& existing, const std::string& newName) override;
    void Remove(const std::string& path) override { m_files.erase(path); }
    void SyncDirectory(const std::string&) override {}

private:
    std::map<std::string, std::string> m_files;
};

// The folder part of a path ("." when there is none) and the name part.
std::string DirectoryOf(const std::string& path);
std::string NameOf(const std::string& path);

}  // namespace velmora::store
