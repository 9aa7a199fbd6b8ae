#include "file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace velmora::store {
namespace {

[[noreturn]] void Fail(const std::string& what, const std::string& path, int error) {
    throw EFileSystemError(what + " " + path + ": " + std::strerror(error));
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
        std::size_t done = 0;
        while (done < n) {
            const ssize_t r = ::read(m_fd, static_cast<char*>(buffer) + done, n - done);
            if (r < 0 && errno == EINTR) {
                continue;
            }
            if (r < 0) {
                Fail("read", m_path, errno);
            }
            if (r == 0) {
                break;
            }
            done += static_cast<std::size_t>(r);
        }
        return done;
    }

    void Write(const void* buffer, std::size_t n) override {
        std::size_t done = 0;
        while (done < n) {
            const ssize_t w = ::write(m_fd, static_cast<const char*>(buffer) + done, n - done);
            if (w < 0 && errno == EINTR) {
                continue;
            }
            if (w <= 0) {
                Fail("write", m_path, w < 0 ? errno : ENOSPC);
            }
            done += static_cast<std::size_t>(w);
        }
    }

    void Seek(std::int64_t position) override {
        if (::lseek(m_fd, position, SEEK_SET) < 0) {
            Fail("seek", m_path, errno);
        }
    }

    std::int64_t Size() override {
        struct stat st {};
        if (::fstat(m_fd, &st) != 0) {
            Fail("stat", m_path, errno);
        }
        return st.st_size;
    }

    void Sync() override {
        if (::fsync(m_fd) != 0) {
            Fail("fsync", m_path, errno);
        }
    }

    void Close() override {
        const int fd = m_fd;
        m_fd = -1;
        if (fd >= 0 && ::close(fd) != 0) {
            Fail("close", m_path, errno);
        }
    }

private:
    int m_fd;
    std::string m_path;
};

class TPosixFileSystem : public TFileSystem {
public:
    bool Exists(const std::string& path) override {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0;
    }

    std::unique_ptr<TFile> OpenRead(const std::string& path) override {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            Fail("open", path, errno);
        }
        return std::make_unique<TPosixFile>(fd, path);
    }

    std::unique_ptr<TFile> CreateNew(const std::string& path) override {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            Fail("create", path, errno);
        }
        return std::make_unique<TPosixFile>(fd, path);
    }

    void Rename(const std::string& from, const std::string& to) override {
        if (::rename(from.c_str(), to.c_str()) != 0) {
            Fail("rename to " + to + ":", from, errno);
        }
    }

    void Link(const std::string& existing, const std::string& newName) override {
        if (::link(existing.c_str(), newName.c_str()) != 0) {
            Fail("link to " + newName + ":", existing, errno);
        }
    }

    void Remove(const std::string& path) override {
        if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
            Fail("remove", path, errno);
        }
    }

    void SyncDirectory(const std::string& directory) override {
        const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) {
            Fail("open", directory, errno);
        }
        const int result = ::fsync(fd);
        const int error = errno;
        ::close(fd);
        if (result != 0) {
            Fail("fsync", directory, error);
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
            throw EFileSystemError("write: injected failure (No space left on device)");
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
            throw EFileSystemError("close: injected failure");
        }
        m_inner->Close();
    }

private:
    void Check(const char* what) {
        if (m_owner.Tick()) {
            throw EFileSystemError(std::string(what) + ": injected failure");
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

#define VELMORA_INJECT(what)                                              \
    if (Tick()) {                                                         \
        throw EFileSystemError(std::string(what) + ": injected failure"); \
    }

bool TFaultyFileSystem::Exists(const std::string& path) {
    VELMORA_INJECT("stat " + path);
    return m_inner.Exists(path);
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

std::unique_ptr<TFile> TMemoryFileSystem::OpenRead(const std::string& path) {
    const auto it = m_files.find(path);
    if (it == m_files.end()) {
        Fail("open", path, ENOENT);
    }
    return std::make_unique<TMemoryFile>(nullptr, it->second);
}

std::unique_ptr<TFile> TMemoryFileSystem::CreateNew(const std::string& path) {
    if (m_files.count(path)) {
        Fail("create", path, EEXIST);
    }
    return std::make_unique<TMemoryFile>(&m_files[path], std::string());
}

void TMemoryFileSystem::Rename(const std::string& from, const std::string& to) {
    const auto it = m_files.find(from);
    if (it == m_files.end()) {
        Fail("rename", from, ENOENT);
    }
    std::string bytes = std::move(it->second);
    m_files.erase(it);
    m_files[to] = std::move(bytes);
}

void TMemoryFileSystem::Link(const std::string& existing, const std::string& newName) {
    // Without shared storage a link is a copy; nothing here writes into a file in place.
    const auto it = m_files.find(existing);
    if (it == m_files.end()) {
        Fail("link", existing, ENOENT);
    }
    if (m_files.count(newName)) {
        Fail("link", newName, EEXIST);
    }
    m_files[newName] = it->second;
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
