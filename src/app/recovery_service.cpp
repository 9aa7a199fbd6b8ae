#include "recovery_service.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QDateTime>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>

#include "qt_text.h"
#include "user_interface.h"

namespace velmora::app {

namespace {

namespace fs = std::filesystem;

constexpr const char* kCopyName = "copy.vrc";
constexpr const char* kLockName = "lock";
constexpr const char* kDamagedFolder = "damaged";
// The timer looks for changes this often at most; the copy itself waits for the interval.
constexpr int kPollMilliseconds = 250;
// A copy of a million concepts takes a second or two; one still running after this is stuck.
constexpr std::int64_t kWriteLimitMilliseconds = 10 * 60 * 1000;

QString PathText(const std::string& path) {
    return QFile::decodeName(path.c_str());
}

// Opens and locks a session's lock file without waiting; -1 when another program holds it or
// it cannot be opened.
int LockSession(const std::string& dir) {
    const std::string path = dir + "/" + kLockName;
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        return -1;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

void CloseFd(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

}  // namespace

TRecoveryService::TRecoveryService(store::TDataModule1& store, TUserInterface& ui, THost host,
                                   std::string folder, QObject* parent)
    : QObject(parent),
      m_store(store),
      m_ui(ui),
      m_host(std::move(host)),
      m_folder(std::move(folder)) {
    m_timer = new QTimer(this);
    m_timer->setInterval(kPollMilliseconds);
    connect(m_timer, &QTimer::timeout, this, [this] { Poll(); });
    m_timer->start();
}

TRecoveryService::~TRecoveryService() {
    // A copy still in place (the window went without closing its ontology) stays for the next
    // start; a session without one leaves nothing behind.
    m_writer.Cancel();
    if (!m_session.empty() && !m_copyExists) {
        std::error_code ignored;
        fs::remove_all(m_session, ignored);
    }
    CloseFd(m_lockFd);
}

void TRecoveryService::SetInterval(int milliseconds) {
    m_interval = std::max(milliseconds, 1);
    m_timer->setInterval(std::min(m_interval, kPollMilliseconds));
}

std::string TRecoveryService::CopyPath() const {
    return m_session.empty() ? std::string() : m_session + "/" + kCopyName;
}

bool TRecoveryService::HasUnsavedChanges(const store::TOntology* ontology) {
    return ontology != nullptr && (ontology->CanUndo() || ontology->Modified());
}

TRecoveryService::TState TRecoveryService::Capture(const store::TOntology& ontology) {
    TState state;
    const auto tables = m_store.Tables();
    for (std::size_t t = 0; t < state.stamps.size(); ++t) {
        state.stamps[t] = tables[t]->Active() ? tables[t]->ContentStamp() : 0;
    }
    state.lines = ontology.Lines();
    state.fileName = ontology.FileName();
    return state;
}

void TRecoveryService::EnsureSession() {
    if (m_lockFd >= 0) {
        return;
    }
    // Unique among running programs (the pid) and among windows of one program (the count).
    static int sessions = 0;
    const std::string id = std::to_string(::getpid()) + "-" +
                           std::to_string(store::UnixMillisecondsNow()) + "-" +
                           std::to_string(++sessions);
    const std::string dir = m_folder + "/" + id;
    std::error_code error;
    fs::create_directories(dir, error);
    if (error) {
        throw store::EVelmoraError("回復用コピーのフォルダ " + dir +
                                   " を作れません: " + store::ReasonText(error.value()));
    }
    const int fd = LockSession(dir);
    if (fd < 0) {
        throw store::EVelmoraError("回復用コピーのフォルダ " + dir +
                                   " を使えません: " + store::ReasonText(errno));
    }
    m_session = dir;
    m_lockFd = fd;
}

void TRecoveryService::Poll() {
    if (m_writer.Busy()) {
        auto result = m_writer.Poll();
        if (!result && store::UnixMillisecondsNow() - m_writeStarted > kWriteLimitMilliseconds) {
            // A child that never ends (stuck on a dead network folder, say) must not stop
            // every later copy.
            m_writer.Cancel();
            result = store::TRecoveryWriter::TResult{
                false, "回復用コピーの書き込みが終わらないため中止しました"};
        }
        if (!result) {
            return;
        }
        Finished(*result);
    }
    const store::TOntology* ontology = m_host.ontology();
    if (!HasUnsavedChanges(ontology)) {
        RemoveCopy();
        return;
    }
    TState state = Capture(*ontology);
    if (m_written && state == *m_written) {
        m_dirtySince.reset();
        return;
    }
    const std::int64_t now = store::UnixMillisecondsNow();
    if (!m_dirtySince) {
        m_dirtySince = now;
    }
    if (now - *m_dirtySince < m_interval) {
        return;
    }
    try {
        EnsureSession();
        m_writer.Start(m_store, *ontology, store::RecoveryInfoOf(*ontology, now), CopyPath());
        m_writeStarted = now;
        m_pending = std::move(state);
    } catch (const std::exception& error) {
        ReportFailure(error.what());
        m_dirtySince = now;  // tried again after another interval, not at every tick
    }
}

void TRecoveryService::WaitForWrite() {
    if (const auto result = m_writer.Wait()) {
        Finished(*result);
    }
}

bool TRecoveryService::CopyIsCurrent() {
    const store::TOntology* ontology = m_host.ontology();
    return m_copyExists && m_written && ontology != nullptr && Capture(*ontology) == *m_written;
}

void TRecoveryService::Finished(const store::TRecoveryWriter::TResult& result) {
    if (!result.Ok) {
        ReportFailure(result.Message);
        m_dirtySince = store::UnixMillisecondsNow();
        return;
    }
    m_copyExists = true;
    m_written = std::move(m_pending);
    m_pending.reset();
    m_dirtySince.reset();
    if (m_failureShown) {
        m_failureShown = false;
        m_host.status("回復用コピーを保存しました.");
    }
    // Saved or closed while the child wrote: that copy is already out of date.
    if (!HasUnsavedChanges(m_host.ontology())) {
        RemoveCopy();
    }
}

void TRecoveryService::ReportFailure(const std::string& message) {
    ++m_failedWrites;
    if (m_failureShown) {
        return;
    }
    m_failureShown = true;
    QString text = FromUtf8(message);
    text.replace("\r\n", " ");
    m_host.status("回復用コピーを保存できません (編集は続けられます): " + text);
}

void TRecoveryService::OntologyStateChanged() {
    if (!HasUnsavedChanges(m_host.ontology())) {
        RemoveCopy();
    }
}

void TRecoveryService::RemoveCopy() {
    m_writer.Cancel();
    m_pending.reset();
    m_written.reset();
    m_dirtySince.reset();
    if (!m_copyExists || m_session.empty()) {
        m_copyExists = false;
        return;
    }
    // Everything but the lock: the copy and whatever temporary file a cancelled write left.
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(m_session, error)) {
        if (entry.path().filename() != kLockName) {
            std::error_code ignored;
            fs::remove_all(entry.path(), ignored);
        }
    }
    m_copyExists = false;
}

// ---- Start-up ------------------------------------------------------------------------------

bool TRecoveryService::OfferLeftCopies() {
    std::vector<std::string> sessions;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(m_folder, error)) {
        std::error_code kindError;
        if (entry.is_directory(kindError) && entry.path().filename() != kDamagedFolder &&
            entry.path().string() != m_session) {
            sessions.push_back(entry.path().string());
        }
    }
    std::sort(sessions.begin(), sessions.end());
    bool restored = false;
    for (const std::string& dir : sessions) {
        int fd = LockSession(dir);
        if (fd < 0) {
            continue;  // its program still runs (or the folder is not ours to use)
        }
        const std::string copy = dir + "/" + kCopyName;
        std::error_code ignored;
        if (!fs::exists(copy, ignored)) {
            // A session that ended before its first copy, or a clean end cut short.
            fs::remove_all(dir, ignored);
            CloseFd(fd);
            continue;
        }
        if (restored) {
            CloseFd(fd);  // one ontology at a time; the others wait for the next start
            continue;
        }
        store::TRecoveryInfo info;
        try {
            info = store::ReadRecoveryInfo(store::RealFileSystem(), copy);
        } catch (const std::exception& e) {
            PutAside(dir, e.what());
            CloseFd(fd);
            continue;
        }
        switch (Ask(info)) {
            case TChoice::Restore:
                try {
                    m_host.restore(copy);
                } catch (const std::exception& e) {
                    PutAside(dir, e.what());
                    CloseFd(fd);
                    continue;
                }
                // The restored ontology carries on in that session: its copy stays until the
                // user saves or closes, and is replaced by the next one.
                m_writer.Cancel();
                CloseFd(m_lockFd);
                if (!m_session.empty() && !m_copyExists) {
                    fs::remove_all(m_session, ignored);
                }
                m_session = dir;
                m_lockFd = fd;
                m_copyExists = true;
                m_written = Capture(*m_host.ontology());
                m_pending.reset();
                m_dirtySince.reset();
                restored = true;
                break;
            case TChoice::Discard:
                fs::remove_all(dir, ignored);
                CloseFd(fd);
                break;
            case TChoice::Later:
                CloseFd(fd);
                break;
        }
    }
    return restored;
}

TRecoveryService::TChoice TRecoveryService::Ask(const store::TRecoveryInfo& info) {
    TRecoveryDialog dialog(info, m_ui.Window());
    m_ui.RunModal(dialog);
    return dialog.Choice();
}

void TRecoveryService::PutAside(const std::string& sessionDir, const std::string& reason) {
    const std::string damaged = m_folder + "/" + kDamagedFolder;
    const std::string target = damaged + "/" + fs::path(sessionDir).filename().string() + ".vrc";
    std::error_code error;
    fs::create_directories(damaged, error);
    if (!error) {
        fs::rename(sessionDir + "/" + kCopyName, target, error);
    }
    QString text = "回復用コピーが壊れているため復元できません.\n";
    if (!error) {
        fs::remove_all(sessionDir, error);
        text += "調べられるように次の場所に移しました:\n" + PathText(target);
    } else {
        text += "コピーは元の場所に残しました:\n" + PathText(sessionDir + "/" + kCopyName);
    }
    QString why = FromUtf8(reason);
    why.replace("\r\n", "\n");
    m_ui.Ask(store::TMessageKind::Warning, store::TButtons::Ok, text + "\n\n" + why);
}

// ---- The question --------------------------------------------------------------------------

TRecoveryDialog::TRecoveryDialog(const store::TRecoveryInfo& info, QWidget* parent)
    : QDialog(parent) {
    setObjectName("RecoveryDialog");
    setWindowTitle("編集内容の回復");
    const QString file = info.FileName.empty()
                             ? QString("(一度も保存されていない新しいオントロジー)")
                             : PathText(info.FileName);
    const QString taken =
        QDateTime::fromMSecsSinceEpoch(info.TakenAt).toLocalTime().toString("yyyy/MM/dd HH:mm:ss");
    auto* text = new QLabel(this);
    text->setObjectName("RecoveryText");
    text->setTextFormat(Qt::PlainText);
    text->setWordWrap(true);
    text->setText(QString("前回 Velmora が終了したとき, 保存されていない編集内容がありました.\n\n"
                          "オントロジー: %1\nファイル: %2\n回復用コピーの時刻: %3\n\n"
                          "復元すると, その編集内容をファイルへの未保存の変更として開きます. "
                          "保存するかどうかはその後で決められます.")
                      .arg(FromCp932(info.Title), file, taken));

    auto* restore = new QPushButton("復元する(&R)", this);
    restore->setObjectName("RestoreBtn");
    restore->setDefault(true);
    restore->setAutoDefault(true);
    auto* discard = new QPushButton("破棄する(&D)", this);
    discard->setObjectName("DiscardBtn");
    discard->setAutoDefault(false);
    auto* later = new QPushButton("後で決める(&L)", this);
    later->setObjectName("LaterBtn");
    later->setAutoDefault(false);
    const auto choose = [this](TRecoveryService::TChoice choice, int result) {
        m_choice = choice;
        done(result);
    };
    connect(restore, &QPushButton::clicked, this,
            [choose] { choose(TRecoveryService::TChoice::Restore, QDialog::Accepted); });
    connect(discard, &QPushButton::clicked, this,
            [choose] { choose(TRecoveryService::TChoice::Discard, QDialog::Accepted); });
    connect(later, &QPushButton::clicked, this,
            [choose] { choose(TRecoveryService::TChoice::Later, QDialog::Rejected); });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(restore);
    buttons->addWidget(discard);
    buttons->addWidget(later);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addLayout(buttons);
    setMinimumWidth(480);
    restore->setFocus(Qt::OtherFocusReason);
}

}  // namespace velmora::app
