#include "settings.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QList>
#include <QSaveFile>
#include <QScreen>
#include <QStandardPaths>
#include <algorithm>
#include <limits>
#include <utility>

#include "qt_text.h"

// The file is read and written by the few lines below rather than through QSettings: QSettings
// keeps a per-process cache (a value written by another instance may go unseen), writes only
// on sync(), and quotes or escapes values (a user name with a comma comes back quoted when read
// by anything else). Here every getter reads the file as it is on disk, every setter rewrites
// it through a temporary file and a rename, lines it does not touch stay as they were, and
// values are plain UTF-8.

namespace velmora::app {

namespace {

constexpr char kUser[] = "USER";
constexpr char kSystem[] = "SYSTEM";

constexpr int kMinWindowSize = 100;
// The window must keep this many pixels of its width (height) on the work area.
constexpr qint64 kMinVisibleX = 10;
constexpr qint64 kMinVisibleY = 5;

struct TLine {
    QByteArray text;  // without the line break
    bool crlf = false;
};

QList<TLine> ReadLines(const QString& path) {
    QList<TLine> lines;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return lines;  // a missing or unreadable file holds no settings
    }
    QByteArray content = file.readAll();
    if (content.startsWith("\xEF\xBB\xBF")) {
        content.remove(0, 3);
    }
    if (content.isEmpty()) {
        return lines;
    }
    QList<QByteArray> raw = content.split('\n');
    if (raw.last().isEmpty()) {
        raw.removeLast();  // the break after the last line
    }
    for (QByteArray& text : raw) {
        TLine line;
        if (text.endsWith('\r')) {
            text.chop(1);
            line.crlf = true;
        }
        line.text = std::move(text);
        lines.push_back(std::move(line));
    }
    return lines;
}

bool SameName(const QByteArray& a, const char* b) {
    // Section and key names are matched as the desktop profile files always did: ignoring case.
    return a.compare(QByteArrayView(b), Qt::CaseInsensitive) == 0;
}

// The section name when the line is a section header.
std::optional<QByteArray> SectionOf(const QByteArray& line) {
    const QByteArray trimmed = line.trimmed();
    if (!trimmed.startsWith('[')) {
        return std::nullopt;
    }
    const qsizetype close = trimmed.indexOf(']');
    if (close < 0) {
        return std::nullopt;
    }
    return trimmed.mid(1, close - 1).trimmed();
}

// The key and the value when the line is a key=value line.
std::optional<std::pair<QByteArray, QByteArray>> EntryOf(const QByteArray& line) {
    const QByteArray trimmed = line.trimmed();
    if (trimmed.isEmpty() || trimmed.startsWith(';') || trimmed.startsWith('#')) {
        return std::nullopt;
    }
    const qsizetype equals = trimmed.indexOf('=');
    if (equals <= 0) {
        return std::nullopt;
    }
    return std::pair{trimmed.left(equals).trimmed(), trimmed.mid(equals + 1).trimmed()};
}

struct TPlace {
    qsizetype section = -1;        // index of the section header line
    qsizetype entry = -1;          // index of the key's line
    qsizetype lastInSection = -1;  // the last non-blank line of the section
};

TPlace Locate(const QList<TLine>& lines, const char* section, const char* key) {
    TPlace place;
    bool inSection = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (const auto name = SectionOf(lines[i].text)) {
            if (inSection) {
                break;  // the first section of the name holds the value
            }
            inSection = SameName(*name, section);
            if (inSection) {
                place.section = place.lastInSection = i;
            }
            continue;
        }
        if (!inSection) {
            continue;
        }
        if (!lines[i].text.trimmed().isEmpty()) {
            place.lastInSection = i;
        }
        if (place.entry < 0) {
            const auto entry = EntryOf(lines[i].text);
            if (entry && SameName(entry->first, key)) {
                place.entry = i;
            }
        }
    }
    return place;
}

std::optional<QByteArray> ReadValue(const QString& path, const char* section, const char* key) {
    const QList<TLine> lines = ReadLines(path);
    const TPlace place = Locate(lines, section, key);
    if (place.entry < 0) {
        return std::nullopt;
    }
    return EntryOf(lines[place.entry].text)->second;
}

// Decimal, or hexadecimal after "0x", with an optional sign; anything else is no integer.
std::optional<int> ParseInt(const QByteArray& text) {
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int base = 10;
    if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i == text.size()) {
        return std::nullopt;
    }
    qint64 value = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        int digit;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (base == 16 && c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else {
            return std::nullopt;
        }
        value = value * base + digit;
        if (value > qint64{1} << 32) {
            return std::nullopt;
        }
    }
    if (negative) {
        value = -value;
    }
    if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max()) {
        return std::nullopt;
    }
    return static_cast<int>(value);
}

// A text value goes on one line; quotes keep surrounding blanks, which reading trims.
QByteArray EncodeText(const QString& text) {
    QString oneLine = text;
    oneLine.replace(QLatin1Char('\r'), QLatin1Char(' '))
        .replace(QLatin1Char('\n'), QLatin1Char(' '));
    const QByteArray utf8 = oneLine.toUtf8();
    const bool quoted = utf8.size() >= 2 && utf8.startsWith('"') && utf8.endsWith('"');
    if (utf8.trimmed().size() != utf8.size() || quoted) {
        return '"' + utf8 + '"';
    }
    return utf8;
}

QString DecodeText(QByteArray value) {
    if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"')) {
        value = value.mid(1, value.size() - 2);
    }
    return QString::fromUtf8(value);
}

}  // namespace

ESettingsWriteError::ESettingsWriteError(const QString& path)
    : store::EVelmoraError(ToUtf8(path + QStringLiteral(u" に書き込めません"))) {}

QSize SizeForFont(QSize designed, const QFont& font) {
    const double scale = std::max(1.0, font.pointSizeF() / 9.0);
    return QSize(static_cast<int>(designed.width() * scale + 0.5),
                 static_cast<int>(designed.height() * scale + 0.5));
}

std::optional<int> FontSizePoints(int code) {
    static constexpr int kPoints[] = {8, 9, 12, 16, 20};
    if (code < 1 || code > 5) {
        return std::nullopt;
    }
    return kPoints[code - 1];
}

TQuillonIniFile::TQuillonIniFile(QString path, std::function<QRect()> workArea)
    : m_path(std::move(path)), m_workArea(std::move(workArea)) {}

QString TQuillonIniFile::DefaultPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/velmora/velmora.ini");
}

QString TQuillonIniFile::Author() const {
    return ReadText(kUser, "AUTHOR", QStringLiteral(u"無記名"));
}
void TQuillonIniFile::SetAuthor(const QString& author) {
    WriteText(kUser, "AUTHOR", author);
}

int TQuillonIniFile::FontSize() const {
    return ReadInt(kUser, "FONTSIZE", 2);
}
void TQuillonIniFile::SetFontSize(int code) {
    WriteInt(kUser, "FONTSIZE", code);
}

bool TQuillonIniFile::ParentViewSmallIcon() const {
    return ReadBool(kUser, "PARENT_VIEW_SMALL_ICON", false);
}
void TQuillonIniFile::SetParentViewSmallIcon(bool small) {
    WriteInt(kUser, "PARENT_VIEW_SMALL_ICON", small ? 1 : 0);
}

bool TQuillonIniFile::WorkspaceSmallIcon() const {
    return ReadBool(kUser, "WORKSPACE_SMALL_ICON", false);
}
void TQuillonIniFile::SetWorkspaceSmallIcon(bool small) {
    WriteInt(kUser, "WORKSPACE_SMALL_ICON", small ? 1 : 0);
}

bool TQuillonIniFile::UseVariousLink() const {
    return ReadBool(kSystem, "USE_VARIOUS_LINK", false);
}
void TQuillonIniFile::SetUseVariousLink(bool use) {
    WriteInt(kSystem, "USE_VARIOUS_LINK", use ? 1 : 0);
}

int TQuillonIniFile::RecoveryInterval() const {
    const int seconds = ReadInt(kSystem, "RECOVERY_INTERVAL", kMaxRecoveryInterval);
    return seconds >= 1 && seconds <= kMaxRecoveryInterval ? seconds : kMaxRecoveryInterval;
}
void TQuillonIniFile::SetRecoveryInterval(int seconds) {
    WriteInt(kSystem, "RECOVERY_INTERVAL", seconds);
}

int TQuillonIniFile::VerticalSplitter() const {
    return ReadInt(kSystem, "VERTICAL_SPLITTER", 150);
}
bool TQuillonIniFile::HasVerticalSplitter() const {
    return ReadValue(m_path, kSystem, "VERTICAL_SPLITTER").has_value();
}
void TQuillonIniFile::SetVerticalSplitter(int pixels) {
    WriteInt(kSystem, "VERTICAL_SPLITTER", pixels);
}

int TQuillonIniFile::HorizonalSplitter1() const {
    return ReadInt(kSystem, "HORIZONAL_SPLITTER_1", 72);
}
void TQuillonIniFile::SetHorizonalSplitter1(int pixels) {
    WriteInt(kSystem, "HORIZONAL_SPLITTER_1", pixels);
}

int TQuillonIniFile::HorizonalSplitter2() const {
    return ReadInt(kSystem, "HORIZONAL_SPLITTER_2", 72);
}
void TQuillonIniFile::SetHorizonalSplitter2(int pixels) {
    WriteInt(kSystem, "HORIZONAL_SPLITTER_2", pixels);
}

int TQuillonIniFile::WindowSizeX() const {
    const qint64 width = ReadInt(kSystem, "WINDOW_SIZE_X", kUnset);
    // width <= 1.8 * work-area width, in integers so that the limit itself is exact
    const bool valid = width >= kMinWindowSize && width * 5 <= qint64{WorkArea().width()} * 9;
    return valid ? static_cast<int>(width) : kUnset;
}

int TQuillonIniFile::WindowSizeY() const {
    const qint64 height = ReadInt(kSystem, "WINDOW_SIZE_Y", kUnset);
    const bool valid = height >= kMinWindowSize && height * 5 <= qint64{WorkArea().height()} * 9;
    return valid ? static_cast<int>(height) : kUnset;
}

int TQuillonIniFile::WindowPosX() const {
    const int width = WindowSizeX();
    const qint64 x = ReadInt(kSystem, "WINDOW_POS_X", kUnset);
    if (width == kUnset || x == kUnset) {
        return kUnset;
    }
    const bool valid = x + width >= kMinVisibleX && WorkArea().width() - x >= kMinVisibleX;
    return valid ? static_cast<int>(x) : kUnset;
}

int TQuillonIniFile::WindowPosY() const {
    const qint64 y = ReadInt(kSystem, "WINDOW_POS_Y", kUnset);
    if (y == kUnset) {
        return kUnset;
    }
    const bool valid = y + kMinVisibleY > 0 && WorkArea().height() - y >= kMinVisibleY;
    return valid ? static_cast<int>(y) : kUnset;
}

void TQuillonIniFile::SetWindowPosX(int x) {
    WriteInt(kSystem, "WINDOW_POS_X", x);
}
void TQuillonIniFile::SetWindowPosY(int y) {
    WriteInt(kSystem, "WINDOW_POS_Y", y);
}
void TQuillonIniFile::SetWindowSizeX(int width) {
    WriteInt(kSystem, "WINDOW_SIZE_X", width);
}
void TQuillonIniFile::SetWindowSizeY(int height) {
    WriteInt(kSystem, "WINDOW_SIZE_Y", height);
}

QString TQuillonIniFile::ReadText(const char* section, const char* key,
                                  const QString& fallback) const {
    const std::optional<QByteArray> value = ReadValue(m_path, section, key);
    return value ? DecodeText(*value) : fallback;
}

int TQuillonIniFile::ReadInt(const char* section, const char* key, int fallback) const {
    const std::optional<QByteArray> value = ReadValue(m_path, section, key);
    const std::optional<int> number = value ? ParseInt(*value) : std::nullopt;
    return number.value_or(fallback);
}

bool TQuillonIniFile::ReadBool(const char* section, const char* key, bool fallback) const {
    return ReadInt(section, key, fallback ? 1 : 0) != 0;
}

void TQuillonIniFile::WriteText(const char* section, const char* key, const QString& value) {
    QList<TLine> lines = ReadLines(m_path);
    const TPlace place = Locate(lines, section, key);
    const QByteArray entry = QByteArray(key) + '=' + EncodeText(value);
    const bool crlf = !lines.isEmpty() && lines.first().crlf;  // new lines follow the file
    if (place.entry >= 0) {
        lines[place.entry].text = entry;
    } else if (place.section >= 0) {
        lines.insert(place.lastInSection + 1, TLine{entry, crlf});
    } else {
        if (!lines.isEmpty() && !lines.last().text.trimmed().isEmpty()) {
            lines.push_back(TLine{{}, crlf});
        }
        lines.push_back(TLine{'[' + QByteArray(section) + ']', crlf});
        lines.push_back(TLine{entry, crlf});
    }

    QByteArray content;
    for (const TLine& line : lines) {
        content += line.text;
        content += line.crlf ? "\r\n" : "\n";
    }
    // A first start has no folder yet. The temporary file and the rename keep a reader (or a
    // crash) from ever seeing half a file.
    const QString folder = QFileInfo(m_path).absolutePath();
    QSaveFile file(m_path);
    if (!QDir().mkpath(folder) || !file.open(QIODevice::WriteOnly) ||
        file.write(content) != content.size() || !file.commit()) {
        throw ESettingsWriteError(m_path);
    }
}

void TQuillonIniFile::WriteInt(const char* section, const char* key, int value) {
    WriteText(section, key, QString::number(value));
}

QRect TQuillonIniFile::WorkArea() const {
    if (m_workArea) {
        return m_workArea();
    }
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->availableGeometry() : QRect();
}

}  // namespace velmora::app
