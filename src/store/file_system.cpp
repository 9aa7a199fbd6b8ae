#include "file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace velmora::store {

std::size_t TFile::ReadAt(void*, std::size_t, std::int64_t) {
    throw EFileSystemError("pread", EINVAL, "このファイルは位置を指定して読めません");
}
namespace {

[[noreturn]] void Fail(const std::string& path, int error) {
    throw EFileSystemError(path, error);
}

TFileStatus::TKind KindOf(mode_t mode) {
    return S_ISREG(mode)   ? TFileStatus::TKind::Regular
           : S_ISDIR(mode) ? TFileStatus::TKind::Directory
                           : TFileStatus::TKind::Other;
}

// Only regular files are read or replaced: a folder or a pipe is named for what it is.
void RequireRegular(const std::string& path, TFileStatus::TKind kind) {
    if (kind == TFileStatus::TKind::Directory) {
        Fail(path, EISDIR);
    }
    if (kind == TFileStatus::TKind::Other) {
        throw EFileSystemError(path, EINVAL,
                               "通常のファイルではありません (パイプや装置は読み書きできません)");
    }
}

class TPosixFile : public TFile {
public:
    TPosixFile(int fd, std::string path) : m_fd(fd), m_path(std::move(path)) {}
    ~TPosixFile() override {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }

    std::size_t Read(void* buffer, std::size_t n) override {
        return ReadAll(buffer, n, [this](char* at, std::size_t left, std::size_t) {
            return ::read(m_fd, at, left);
        });
    }

    void Write(const void* buffer, std::size_t n) override {
        std::size_t done = 0;
        while (done < n) {
            const ssize_t w = ::write(m_fd, static_cast<const char*>(buffer) + done, n - done);
            if (w < 0 && errno == EINTR) {
                continue;
            }
            if (w <= 0) {
                Fail(m_path, w < 0 ? errno : ENOSPC);
            }
            done += static_cast<std::size_t>(w);
        }
    }

    void Seek(std::int64_t position) override {
        if (::lseek(m_fd, position, SEEK_SET) < 0) {
            Fail(m_path, errno);
        }
    }

    std::int64_t Position() override {
        const off_t position = ::lseek(m_fd, 0, SEEK_CUR);
        if (position < 0) {
            Fail(m_path, errno);
        }
        return position;
    }

    std::size_t ReadAt(void* buffer, std::size_t n, std::int64_t offset) override {
        return ReadAll(buffer, n, [this, offset](char* at, std::size_t left, std::size_t done) {
            return ::pread(m_fd, at, left,
                           static_cast<off_t>(offset + static_cast<std::int64_t>(done)));
        });
    }

    std::int64_t Size() override {
        struct stat st {};
        if (::fstat(m_fd, &st) != 0) {
            Fail(m_path, errno);
        }
        return st.st_size;
    }

    void Sync() override {
        if (::fsync(m_fd) != 0) {
            Fail(m_path, errno);
        }
    }

    void Close() override {
        const int fd = m_fd;
        m_fd = -1;
        if (fd >= 0 && ::close(fd) != 0) {
            Fail(m_path, errno);
        }
    }

private:
    // Reads until n bytes are in or the file ends, retrying interrupted calls; `next` reads
    // up to `left` bytes to `at` after `done` bytes so far, as read(2) does.
    template <typename TNext>
    std::size_t ReadAll(void* buffer, std::size_t n, TNext next) {
        std::size_t done = 0;
        while (done < n) {
            const ssize_t r = next(static_cast<char*>(buffer) + done, n - done, done);
            if (r < 0 && errno == EINTR) {
                continue;
            }
            if (r < 0) {
                Fail(m_path, errno);
            }
            if (r == 0) {
                break;
            }
            done += static_cast<std::size_t>(r);
        }
        return done;
    }

    int m_fd;
    std::string m_path;
};

class TPosixFileSystem : public TFileSystem {
public:
    bool Exists(const std::string& path) override {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0;
    }

    std::optional<TFileStatus> Status(const std::string& path) override {
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0) {
            if (errno == ENOENT) {
                return std::nullopt;
            }
            Fail(path, errno);
        }
        TFileStatus status;
        status.Kind = KindOf(st.st_mode);
        status.Mode = st.st_mode & 07777;
        // access() says yes to root for any file; a file without any write bit counts as
        // read-only for everybody, as careful editors treat it.
        status.Writable = (st.st_mode & 0222) != 0 && ::access(path.c_str(), W_OK) == 0;
        return status;
    }

    std::unique_ptr<TFile> OpenRead(const std::string& path) override {
        // Non-blocking, so that opening a pipe without a writer does not hang before the check.
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) {
            Fail(path, errno);
        }
        auto file = std::make_unique<TPosixFile>(fd, path);
        struct stat st {};
        if (::fstat(fd, &st) != 0) {
            Fail(path, errno);
        }
        RequireRegular(path, KindOf(st.st_mode));
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        return file;
    }

    std::unique_ptr<TFile> CreateNew(const std::string& path) override {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            Fail(path, errno);
        }
        return std::make_unique<TPosixFile>(fd, path);
    }

    void Rename(const std::string& from, const std::string& to) override {
        if (::rename(from.c_str(), to.c_str()) != 0) {
            Fail(from, errno);
        }
    }

    void Link(const std::string& existing, const std::string& newName) override {
        if (::link(existing.c_str(), newName.c_str()) != 0) {
            Fail(existing, errno);
        }
    }

    void Remove(const std::string& path) override {
        if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
            Fail(path, errno);
        }
    }

    void SyncDirectory(const std::string& directory) override {
        const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) {
            Fail(directory, errno);
        }
        const int result = ::fsync(fd);
        const int error = errno;
        ::close(fd);
        if (result != 0) {
            Fail(directory, error);
        }
    }

    void SetMode(const std::string& path, unsigned mode) override {
        if (::chmod(path.c_str(), static_cast<mode_t>(mode)) != 0) {
            Fail(path, errno);
        }
    }
};

// A file of TFaultyFileSystem: its operations count too.
class TFaultyFile : public TFile {
public:
    TFaultyFile(std::unique_ptr<TFile> inner, TFaultyFileSystem& owner)
        : m_inner(std::move(inner)), m_owner(owner) {}

    std::size_t Read(void* buffer, std::size_t n) override {
        Check("read");
        return m_inner->Read(buffer, n);
    }
    void Write(const void* buffer, std::size_t n) override {
        if (m_owner.Tick()) {
            m_inner->Write(buffer, n / 2);
            throw EFileSystemError("write", 0, "injected failure (No space left on device)");
        }
        m_inner->Write(buffer, n);
    }
    void Seek(std::int64_t position) override {
        Check("seek");
        m_inner->Seek(position);
    }
    std::int64_t Size() override {
        Check("stat");
        return m_inner->Size();
    }
    void Sync() override {
        Check("fsync");
        m_inner->Sync();
    }
    void Close() override {
        if (m_owner.Tick()) {
            m_inner->Close();
            throw EFileSystemError("close", 0, "injected failure");
        }
        m_inner->Close();
    }

private:
    void Check(const char* what) {
        if (m_owner.Tick()) {
            throw EFileSystemError(what, 0, "injected failure");
        }
    }

    std::unique_ptr<TFile> m_inner;
    TFaultyFileSystem& m_owner;
};

}  // namespace

TFileSystem& RealFileSystem() {
    static TPosixFileSystem fs;
    return fs;
}

#define VELMORA_INJECT(what)                                 \
    if (Tick()) {                                            \
        throw EFileSystemError(what, 0, "injected failure"); \
    }

bool TFaultyFileSystem::Exists(const std::string& path) {
    VELMORA_INJECT("stat " + path);
    return m_inner.Exists(path);
}

std::optional<TFileStatus> TFaultyFileSystem::Status(const std::string& path) {
    VELMORA_INJECT("stat " + path);
    return m_inner.Status(path);
}

void TFaultyFileSystem::SetMode(const std::string& path, unsigned mode) {
    VELMORA_INJECT("chmod " + path);
    m_inner.SetMode(path, mode);
}

std::unique_ptr<TFile> TFaultyFileSystem::OpenRead(const std::string& path) {
    VELMORA_INJECT("open " + path);
    return std::make_unique<TFaultyFile>(m_inner.OpenRead(path), *this);
}

std::unique_ptr<TFile> TFaultyFileSystem::CreateNew(const std::string& path) {
    VELMORA_INJECT("create " + path);
    return std::make_unique<TFaultyFile>(m_inner.CreateNew(path), *this);
}

void TFaultyFileSystem::Rename(const std::string& from, const std::string& to) {
    VELMORA_INJECT("rename " + from);
    m_inner.Rename(from, to);
}

void TFaultyFileSystem::Link(const std::string& existing, const std::string& newName) {
    VELMORA_INJECT("link " + existing);
    m_inner.Link(existing, newName);
}

void TFaultyFileSystem::Remove(const std::string& path) {
    VELMORA_INJECT("remove " + path);
    m_inner.Remove(path);
}

void TFaultyFileSystem::SyncDirectory(const std::string& directory) {
    VELMORA_INJECT("fsync " + directory);
    m_inner.SyncDirectory(directory);
}

#undef VELMORA_INJECT

namespace {

// A file of TMemoryFileSystem. Reading works on a copy taken when it was opened; writing goes to
// the named file directly.
class TMemoryFile : public TFile {
public:
    TMemoryFile(std::string* target, std::string contents)
        : m_target(target), m_contents(std::move(contents)) {}

    std::size_t Read(void* buffer, std::size_t n) override {
        const std::size_t count =
            std::min(n, m_contents.size() - std::min(m_position, m_contents.size()));
        std::memcpy(buffer, m_contents.data() + m_position, count);
        m_position += count;
        return count;
    }
    void Write(const void* buffer, std::size_t n) override {
        std::string& file = *m_target;
        if (file.size() < m_position + n) {
            file.resize(m_position + n);
        }
        std::memcpy(file.data() + m_position, buffer, n);
        m_position += n;
    }
    void Seek(std::int64_t position) override { m_position = static_cast<std::size_t>(position); }
    std::int64_t Size() override {
        return static_cast<std::int64_t>(m_target ? m_target->size() : m_contents.size());
    }
    void Sync() override {}
    void Close() override {}

private:
    std::string* m_target;  // null for a file opened for reading
    std::string m_contents;
    std::size_t m_position = 0;
};

}  // namespace

const std::string* TMemoryFileSystem::Get(const std::string& path) const {
    const auto it = m_files.find(path);
    return it == m_files.end() ? nullptr : &it->second;
}

std::optional<TFileStatus> TMemoryFileSystem::Status(const std::string& path) {
    if (!m_files.count(path)) {
        return std::nullopt;
    }
    TFileStatus status;
    if (const auto it = m_modes.find(path); it != m_modes.end()) {
        status.Mode = it->second;
        status.Writable = (it->second & 0222) != 0;
    }
    return status;
}

void TMemoryFileSystem::SetMode(const std::string& path, unsigned mode) {
    if (!m_files.count(path)) {
        Fail(path, ENOENT);
    }
    m_modes[path] = mode;
}

std::unique_ptr<TFile> TMemoryFileSystem::OpenRead(const std::string& path) {
    const auto it = m_files.find(path);
    if (it == m_files.end()) {
        Fail(path, ENOENT);
    }
    return std::make_unique<TMemoryFile>(nullptr, it->second);
}

std::unique_ptr<TFile> TMemoryFileSystem::CreateNew(const std::string& path) {
    if (m_files.count(path)) {
        Fail(path, EEXIST);
    }
    return std::make_unique<TMemoryFile>(&m_files[path], std::string());
}

void TMemoryFileSystem::Rename(const std::string& from, const std::string& to) {
    const auto it = m_files.find(from);
    if (it == m_files.end()) {
        Fail(from, ENOENT);
    }
    std::string bytes = std::move(it->second);
    m_files.erase(it);
    m_files[to] = std::move(bytes);
    m_modes.erase(to);
    if (const auto mode = m_modes.find(from); mode != m_modes.end()) {
        m_modes[to] = mode->second;
        m_modes.erase(mode);
    }
}

void TMemoryFileSystem::Link(const std::string& existing, const std::string& newName) {
    // Without shared storage a link is a copy; nothing here writes into a file in place.
    const auto it = m_files.find(existing);
    if (it == m_files.end()) {
        Fail(existing, ENOENT);
    }
    if (m_files.count(newName)) {
        Fail(newName, EEXIST);
    }
    m_files[newName] = it->second;
}

std::string ReasonText(int error) {
    switch (error) {
        case ENOENT:
            return "ファイルまたはフォルダーがありません";
        case EACCES:
            return "アクセスが許可されていません";
        case EPERM:
            return "操作が許可されていません";
        case EROFS:
            return "読み取り専用のファイルシステムです";
        case ENOSPC:
            return "ディスクに空きがありません";
        case EDQUOT:
            return "ディスクの使用量の上限を超えました";
        case EISDIR:
            return "フォルダーです";
        case ENOTDIR:
            return "パスの途中にフォルダーでないものがあります";
        case ENAMETOOLONG:
            return "ファイル名が長すぎます";
        case EEXIST:
            return "同じ名前のものが既にあります";
        case ENOTEMPTY:
            return "フォルダーが空ではありません";
        case EIO:
            return "入出力エラーが起きました";
        case EMFILE:
        case ENFILE:
            return "開いているファイルが多すぎます";
        case EBUSY:
        case ETXTBSY:
            return "使用中です";
        case ELOOP:
            return "シンボリックリンクが循環しています";
        case EXDEV:
            return "別のファイルシステムへは移せません";
        case EFBIG:
            return "ファイルが大きすぎます";
        default:
            return std::strerror(error);
    }
}

std::string TemporaryNameBeside(const std::string& path) {
    // Base 36 of a per-process sequence mixed with the process id: distinct within a process,
    // and unlikely to meet another process's names (which exclusive creation catches anyway).
    static std::uint64_t sequence = 0;
    std::uint64_t n =
        (static_cast<std::uint64_t>(::getpid()) << 24) ^ (++sequence * 0x9E3779B97F4A7C15ULL);
    std::string name = ".vlm";
    for (int i = 0; i < 8; ++i, n /= 36) {
        name += "0123456789abcdefghijklmnopqrstuvwxyz"[n % 36];
    }
    return DirectoryOf(path) + "/" + name;
}

namespace {

constexpr int kNameAttempts = 100;

// Runs `step` with fresh temporary names until one is not taken.
template <class TStep>
std::string WithTemporaryName(const std::string& beside, TStep step) {
    for (int attempt = 1;; ++attempt) {
        std::string name = TemporaryNameBeside(beside);
        try {
            step(name);
            return name;
        } catch (const EFileSystemError& e) {
            if (e.Error() != EEXIST || attempt == kNameAttempts) {
                throw;
            }
        }
    }
}

}  // namespace

TFileReplacement::TFileReplacement(TFileSystem& fs, std::string target)
    : m_fs(fs), m_target(std::move(target)) {
    try {
        m_previous = m_fs.Status(m_target);
    } catch (const EFileSystemError& e) {
        Fail(e);
    }
    if (m_previous) {
        RequireRegular(m_target, m_previous->Kind);
        if (!m_previous->Writable) {
            throw EFileSystemError(m_target, EACCES, "読み取り専用のファイルです");
        }
    }
    try {
        m_temporary = WithTemporaryName(
            m_target, [this](const std::string& name) { m_file = m_fs.CreateNew(name); });
        if (m_previous) {
            m_fs.SetMode(m_temporary, m_previous->Mode);
        }
    } catch (const EFileSystemError& e) {
        // No destructor runs for a constructor that throws.
        RemoveTemporary();
        Fail(e);
    }
}

void TFileReplacement::RemoveTemporary() noexcept {
    m_file.reset();
    if (m_temporary.empty()) {
        return;
    }
    try {
        m_fs.Remove(m_temporary);
    } catch (const EVelmoraError&) {
        // The replacement has failed already; that error is the one reported.
    }
}

TFileReplacement::~TFileReplacement() {
    if (!m_committed) {
        RemoveTemporary();
    }
}

void TFileReplacement::Fail(const EFileSystemError& e) const {
    // The temporary file is an inner detail: the user named the target.
    throw EFileSystemError(m_target, e.Error(), e.Reason());
}

void TFileReplacement::Write(const void* buffer, std::size_t n) {
    try {
        m_file->Write(buffer, n);
    } catch (const EFileSystemError& e) {
        Fail(e);
    }
}

void TFileReplacement::Seek(std::int64_t position) {
    try {
        m_file->Seek(position);
    } catch (const EFileSystemError& e) {
        Fail(e);
    }
}

void TFileReplacement::KeepBackup(const std::string& backupName) {
    // The previous version gets the backup name while keeping its own: a hard link where the
    // file system has them, else a copy. It goes to a temporary name first and is renamed over
    // the older backup, so a failure keeps the older backup rather than none.
    std::string staged;
    try {
        try {
            staged = WithTemporaryName(
                m_target, [this](const std::string& name) { m_fs.Link(m_target, name); });
        } catch (const EFileSystemError& e) {
            if (e.Error() == ENAMETOOLONG || e.Error() == ENOSPC || e.Error() == EDQUOT) {
                throw;
            }
            // The copy is named before it is written, so that a failed copy is removed below.
            std::unique_ptr<TFile> to;
            staged = WithTemporaryName(m_target,
                                       [&](const std::string& name) { to = m_fs.CreateNew(name); });
            std::unique_ptr<TFile> from = m_fs.OpenRead(m_target);
            std::string block(1 << 20, '\0');
            while (const std::size_t n = from->Read(block.data(), block.size())) {
                to->Write(block.data(), n);
            }
            to->Sync();
            to->Close();
        }
        m_fs.Rename(staged, backupName);
    } catch (const EFileSystemError& e) {
        if (!staged.empty()) {
            try {
                m_fs.Remove(staged);
            } catch (const EVelmoraError&) {
            }
        }
        m_backupProblem = backupName + ": " + e.Reason();
    }
}

void TFileReplacement::Commit(const std::string& backupName) {
    try {
        m_file->Sync();
        m_file->Close();
        m_file.reset();
        m_previous = m_fs.Status(m_target);
        if (m_previous && !backupName.empty()) {
            KeepBackup(backupName);
        }
        m_fs.Rename(m_temporary, m_target);
        m_committed = true;
    } catch (const EFileSystemError& e) {
        Fail(e);
    }
    try {
        m_fs.SyncDirectory(DirectoryOf(m_target));
    } catch (const EFileSystemError& e) {
        // The new file may not survive a crash, so the replacement has failed: the previous
        // version goes back under its name when a backup holds it, and a new name goes.
        try {
            if (!m_previous) {
                m_fs.Remove(m_target);
            } else if (!backupName.empty() && m_backupProblem.empty()) {
                const std::string restore = WithTemporaryName(
                    m_target, [&](const std::string& name) { m_fs.Link(backupName, name); });
                try {
                    m_fs.Rename(restore, m_target);
                } catch (const EVelmoraError&) {
                    m_fs.Remove(restore);
                    throw;
                }
            }
        } catch (const EVelmoraError&) {
            // Best effort: the replacement has failed already and reports that.
        }
        Fail(e);
    }
}

std::string DirectoryOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace velmora::store
