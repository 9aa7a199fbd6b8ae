#include "ontology.h"

#include <algorithm>
#include <cassert>

#include "code_page.h"

namespace velmora::store {
namespace {

constexpr std::string_view kBreak = "\r\n";
constexpr char kContinuation = '\t';

constexpr unsigned char ToLowerAscii(unsigned char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

// Keys are compared without ASCII case, but the trail byte of a double-byte character can fall
// in the letter range (0x82 0x41 and 0x82 0x61 are different characters), so such characters
// are compared byte for byte.
bool SameKey(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[i]);
        if (IsCp932LeadByte(x)) {
            if (x != y || (i + 1 < a.size() && a[i + 1] != b[i + 1])) {
                return false;
            }
            ++i;
        } else if (ToLowerAscii(x) != ToLowerAscii(y)) {
            return false;
        }
    }
    return true;
}

// '=' is never a trail byte in code page 932, so a byte search finds the real separator; the
// same holds for CR, LF, TAB and the zero byte used below.
bool HasKey(std::string_view line, std::string_view key) {
    const std::size_t equals = line.find('=');
    return equals != std::string_view::npos && SameKey(line.substr(0, equals), key);
}

std::string NormalizeBreaks(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
            result += kBreak;
        } else {
            result += text[i];
        }
    }
    return result;
}

std::string ReadToEnd(TStream& stream) {
    std::string text;
    char buffer[4096];
    std::size_t n;
    while ((n = stream.Read(buffer, sizeof buffer)) > 0) {
        text.append(buffer, n);
    }
    return text;
}

}  // namespace

TOntology::~TOntology() {
    try {
        SetCanUndo(false);
    } catch (...) {
        // The owner is going away; there is nobody left to report to.
    }
}

const std::string& TOntology::Line(std::size_t index) const {
    assert(index < m_lines.size());
    return m_lines[index];
}

std::string TOntology::Value(std::string_view key) const {
    for (const std::string& line : m_lines) {
        if (HasKey(line, key)) {
            return line.substr(line.find('=') + 1);
        }
    }
    return {};
}

void TOntology::SetValue(std::string_view key, std::string value) {
    assert(key.find_first_of(std::string_view("=\r\n\0", 4)) == std::string_view::npos);
    assert(key.empty() || key.front() != kContinuation);
    assert(value.find('\0') == std::string::npos);

    std::string normalized = NormalizeBreaks(value);
    if (normalized.empty()) {
        // Every line of the key goes, so that reading it afterwards really gives "" even when a
        // loaded file held the key twice.
        std::erase_if(m_lines, [key](const std::string& line) { return HasKey(line, key); });
        return;
    }
    std::string line = std::string(key) + "=" + normalized;
    const auto it = std::find_if(m_lines.begin(), m_lines.end(),
                                 [key](const std::string& l) { return HasKey(l, key); });
    if (it == m_lines.end()) {
        m_lines.push_back(std::move(line));
    } else {
        *it = std::move(line);
    }
}

void TOntology::SetTitle(std::string value) {
    SetValue(kTitleKey, std::move(value));
    if (OnTitleChange) {
        OnTitleChange(*this);
    }
}

void TOntology::SaveToStream(TStream& stream) const {
    std::string bytes;
    for (const std::string& line : m_lines) {
        // Only values hold breaks, and always as CR LF; each further line of a value becomes a
        // continuation line.
        std::size_t start = 0;
        for (std::size_t brk; (brk = line.find(kBreak, start)) != std::string::npos;
             start = brk + kBreak.size()) {
            bytes.append(line, start, brk - start);
            bytes += kBreak;
            bytes += kContinuation;
        }
        bytes.append(line, start);
        bytes += kBreak;
    }
    if (!bytes.empty()) {
        stream.Write(bytes);
    }
}

void TOntology::LoadFromStream(TStream& stream) {
    std::string text = ReadToEnd(stream);
    if (const std::size_t zero = text.find('\0'); zero != std::string::npos) {
        text.resize(zero);
    }

    std::vector<std::string> lines;
    // Whether the last entry has a key, noted once per entry: searching a long value for its
    // "=" again at each continuation line would make reading quadratic.
    bool lastHasKey = false;
    const auto add = [&lines, &lastHasKey](std::string_view line) {
        // A TAB line continues the value of the entry before it only when that entry has a key;
        // otherwise it is an ordinary line, as in a file that knows no continuations.
        if (!line.empty() && line.front() == kContinuation && lastHasKey) {
            lines.back() += kBreak;
            lines.back().append(line.substr(1));
        } else {
            lines.emplace_back(line);
            lastHasKey = line.find('=') != std::string_view::npos;
        }
    };

    const std::string_view rest = text;
    std::size_t start = 0;
    while (start < rest.size()) {
        const std::size_t brk = rest.find_first_of("\r\n", start);
        if (brk == std::string_view::npos) {
            add(rest.substr(start));
            break;
        }
        add(rest.substr(start, brk - start));
        const bool crlf = rest[brk] == '\r' && brk + 1 < rest.size() && rest[brk + 1] == '\n';
        start = brk + (crlf ? 2 : 1);
    }

    m_lines = std::move(lines);
    if (OnTitleChange) {
        OnTitleChange(*this);
    }
}

std::string TOntology::BackupFileName() const {
    const std::size_t slash = m_fileName.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    return m_fileName.substr(0, nameStart) + std::string(kBackupPrefix) +
           m_fileName.substr(nameStart);
}

void TOntology::SetCanUndo(bool value) {
    if (!value) {
        m_savePoints.clear();
    }
    m_canUndo = value;
    FireStateChange();
}

void TOntology::SetModified(bool value) {
    m_modified = value;
    FireStateChange();
}

void TOntology::PushSavePoint(std::unique_ptr<TSavePoint> point) {
    assert(point);
    m_savePoints.push_back(std::move(point));
    SetCanUndo(true);
    while (m_savePoints.size() > kMaxSavePoints) {
        m_savePoints.pop_front();
    }
}

std::unique_ptr<TSavePoint> TOntology::PopSavePoint() {
    if (m_savePoints.empty()) {
        return nullptr;
    }
    std::unique_ptr<TSavePoint> point = std::move(m_savePoints.back());
    m_savePoints.pop_back();
    if (m_savePoints.empty()) {
        SetCanUndo(false);
    }
    return point;
}

void TOntology::FireStateChange() {
    if (OnStateChange) {
        OnStateChange(m_canUndo, m_modified);
    }
}

}  // namespace velmora::store
