#include "recovery_copy.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <optional>

namespace velmora::store {
namespace {

// 24 bytes; the line break and the 0x1A keep the file from passing for text.
constexpr std::string_view kMagic = "VELMORA RECOVERY COPY\r\n\x1a";
static_assert(kMagic.size() == 24);
constexpr std::uint32_t kVersion = 1;
// The header after the magic: version, body length, then the body. Anything larger is damage.
constexpr std::uint32_t kMaxHeaderBody = 64 * 1024;
constexpr std::size_t kFixedBody = 8 + 1 + 1 + 4 + 4 + 4;  // time, flags, save points, lengths

constexpr const char* kNotACopy = "回復用コピーではないか、壊れています";

void PutU32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i, v >>= 8) {
        out.push_back(static_cast<char>(v & 0xFF));
    }
}
void PutI64(std::string& out, std::int64_t value) {
    auto v = static_cast<std::uint64_t>(value);
    for (int i = 0; i < 8; ++i, v >>= 8) {
        out.push_back(static_cast<char>(v & 0xFF));
    }
}

// Bounds-checked reading of the header body.
class THeaderReader {
public:
    explicit THeaderReader(std::string_view bytes) : m_bytes(bytes) {}
    std::uint64_t Unsigned(std::size_t size) {
        Need(size);
        std::uint64_t v = 0;
        for (std::size_t i = size; i-- > 0;) {
            v = (v << 8) | static_cast<unsigned char>(m_bytes[m_at + i]);
        }
        m_at += size;
        return v;
    }
    std::string Text() {
        const auto n = static_cast<std::size_t>(Unsigned(4));
        Need(n);
        std::string text(m_bytes.substr(m_at, n));
        m_at += n;
        return text;
    }

private:
    void Need(std::size_t n) const {
        if (n > m_bytes.size() - m_at) {
            throw EVelmoraError(kNotACopy);
        }
    }
    std::string_view m_bytes;
    std::size_t m_at = 0;
};

std::string EncodeHeader(const TRecoveryInfo& info) {
    std::string body;
    PutI64(body, info.TakenAt);
    body.push_back(info.CanUndo ? 1 : 0);
    body.push_back(info.Modified ? 1 : 0);
    PutU32(body, info.SavePoints);
    PutU32(body, static_cast<std::uint32_t>(info.FileName.size()));
    body += info.FileName;
    PutU32(body, static_cast<std::uint32_t>(info.Title.size()));
    body += info.Title;
    std::string header(kMagic);
    PutU32(header, kVersion);
    PutU32(header, static_cast<std::uint32_t>(body.size()));
    return header + body;
}

// Reads the header from the file's start; remaining is what follows it.
TRecoveryInfo DecodeHeader(TFile& file, std::int64_t& remaining) {
    std::string head(kMagic.size() + 8, '\0');
    if (file.Read(head.data(), head.size()) != head.size() ||
        std::string_view(head).substr(0, kMagic.size()) != kMagic) {
        throw EVelmoraError(kNotACopy);
    }
    THeaderReader fixed(std::string_view(head).substr(kMagic.size()));
    const auto version = fixed.Unsigned(4);
    const auto bodySize = fixed.Unsigned(4);
    remaining -= static_cast<std::int64_t>(head.size());
    if (version != kVersion) {
        throw EVelmoraError("この版のプログラムでは読めない回復用コピーです");
    }
    if (bodySize < kFixedBody || bodySize > kMaxHeaderBody ||
        static_cast<std::int64_t>(bodySize) > remaining) {
        throw EVelmoraError(kNotACopy);
    }
    std::string body(static_cast<std::size_t>(bodySize), '\0');
    if (file.Read(body.data(), body.size()) != body.size()) {
        throw EVelmoraError(kNotACopy);
    }
    remaining -= static_cast<std::int64_t>(bodySize);
    THeaderReader reader(body);
    TRecoveryInfo info;
    info.TakenAt = static_cast<std::int64_t>(reader.Unsigned(8));
    info.CanUndo = reader.Unsigned(1) != 0;
    info.Modified = reader.Unsigned(1) != 0;
    info.SavePoints = static_cast<std::uint32_t>(reader.Unsigned(4));
    info.FileName = reader.Text();
    info.Title = reader.Text();
    return info;
}

std::unique_ptr<TFile> OpenCopy(TFileSystem& fs, const std::string& path) {
    try {
        return fs.OpenRead(path);
    } catch (const EFileSystemError& e) {
        throw EVelmoraError(std::string("回復用コピーを開けません\r\n") + e.what());
    }
}

void CloseQuietly(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

}  // namespace

std::string DefaultRecoveryFolder() {
    const char* state = std::getenv("XDG_STATE_HOME");
    std::string base;
    if (state != nullptr && state[0] == '/') {
        base = state;
    } else {
        const char* home = std::getenv("HOME");
        base = std::string(home != nullptr ? home : "") + "/.local/state";
    }
    return base + "/velmora/recovery";
}

std::int64_t UnixMillisecondsNow() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

TRecoveryInfo RecoveryInfoOf(const TOntology& ontology, std::int64_t takenAt) {
    TRecoveryInfo info;
    info.FileName = ontology.FileName();
    info.Title = ontology.Title();
    info.TakenAt = takenAt;
    info.CanUndo = ontology.CanUndo();
    info.Modified = ontology.Modified();
    info.SavePoints = static_cast<std::uint32_t>(ontology.SavePointCount());
    return info;
}

void WriteRecoveryCopy(TDataModule1& store, const TOntology& ontology, const TRecoveryInfo& info,
                       TFileSystem& fs, const std::string& target) {
    for (TTable* table : store.Tables()) {
        table->SavePoint();  // a packet is written only without a pending edit
    }
    try {
        TFileReplacement file(fs, target);
        const std::string header = EncodeHeader(info);
        file.Write(header);
        store.WriteOntologyImage(ontology, file, static_cast<std::int64_t>(header.size()));
        file.Commit();
    } catch (const EFileSystemError& e) {
        throw EVelmoraError(std::string("回復用コピーを書き込めません\r\n") + e.what());
    }
}

TRecoveryInfo ReadRecoveryInfo(TFileSystem& fs, const std::string& path) {
    const std::unique_ptr<TFile> file = OpenCopy(fs, path);
    std::int64_t remaining = file->Size();
    return DecodeHeader(*file, remaining);
}

TRecoveryInfo LoadRecoveryCopy(TDataModule1& store, TOntology& ontology, TFileSystem& fs,
                               const std::string& path) {
    const std::unique_ptr<TFile> file = OpenCopy(fs, path);
    std::int64_t remaining = file->Size();
    TRecoveryInfo info = DecodeHeader(*file, remaining);
    store.LoadOntologyImage(ontology, *file, remaining);
    return info;
}

// ---- TRecoveryWriter -----------------------------------------------------------------------

TRecoveryWriter::~TRecoveryWriter() {
    Cancel();
}

void TRecoveryWriter::Start(TDataModule1& store, const TOntology& ontology,
                            const TRecoveryInfo& info, const std::string& target) {
    if (Busy()) {
        throw EVelmoraError("BUG: 回復用コピーの書き込み中に次の書き込みが始まりました");
    }
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        throw EVelmoraError("回復用コピーを書き込めません\r\n" + ReasonText(errno));
    }
    const pid_t child = ::fork();
    if (child < 0) {
        const int error = errno;
        ::close(fds[0]);
        ::close(fds[1]);
        throw EVelmoraError("回復用コピーを書き込めません\r\n" + ReasonText(error));
    }
    if (child == 0) {
        // The child: its memory is the parent's at this moment, copy-on-write. It does nothing
        // but write the copy and leave without running any exit handler of the parent's.
        ::close(fds[0]);
        static_cast<void>(::setpriority(PRIO_PROCESS, 0, 10));
        std::string message;
        try {
            WriteRecoveryCopy(store, ontology, info, RealFileSystem(), target);
        } catch (const std::exception& e) {
            message = e.what();
        } catch (...) {
            message = "回復用コピーを書き込めません";
        }
        if (!message.empty()) {
            // Short enough for one atomic write into the pipe.
            message.resize(std::min<std::size_t>(message.size(), 4000));
            static_cast<void>(::write(fds[1], message.data(), message.size()));
        }
        ::_exit(message.empty() ? 0 : 1);
    }
    ::close(fds[1]);
    m_child = child;
    m_pipe = fds[0];
}

std::optional<TRecoveryWriter::TResult> TRecoveryWriter::Poll() {
    if (!Busy()) {
        return std::nullopt;
    }
    int status = 0;
    const pid_t done = ::waitpid(m_child, &status, WNOHANG);
    if (done == 0) {
        return std::nullopt;
    }
    if (done < 0 && errno == EINTR) {
        return std::nullopt;
    }
    return Finish(done < 0 ? -1 : status);
}

std::optional<TRecoveryWriter::TResult> TRecoveryWriter::Wait() {
    if (!Busy()) {
        return std::nullopt;
    }
    int status = 0;
    pid_t done;
    do {
        done = ::waitpid(m_child, &status, 0);
    } while (done < 0 && errno == EINTR);
    return Finish(done < 0 ? -1 : status);
}

void TRecoveryWriter::Cancel() {
    if (!Busy()) {
        return;
    }
    ::kill(m_child, SIGKILL);
    Wait();
}

TRecoveryWriter::TResult TRecoveryWriter::Finish(int status) {
    TResult result;
    std::string message(4096, '\0');
    ssize_t n;
    do {
        n = ::read(m_pipe, message.data(), message.size());
    } while (n < 0 && errno == EINTR);
    message.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    CloseQuietly(m_pipe);
    m_child = -1;
    result.Ok = status >= 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (!result.Ok) {
        result.Message =
            !message.empty()
                ? message
                : std::string("回復用コピーを書き込めません (書き込み処理が途中で終了しました)");
    }
    return result;
}

}  // namespace velmora::store
