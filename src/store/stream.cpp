#include "stream.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace velmora::store {

std::size_t TMemoryStream::Read(void* buffer, std::size_t n) {
    const std::size_t available = m_position < m_bytes.size() ? m_bytes.size() - m_position : 0;
    const std::size_t count = std::min(n, available);
    if (count) {
        std::memcpy(buffer, m_bytes.data() + m_position, count);
    }
    m_position += count;
    return count;
}

void TMemoryStream::Write(const void* buffer, std::size_t n) {
    if (m_position > m_bytes.size()) {
        m_bytes.resize(m_position, '\0');
    }
    const std::size_t overlap = std::min(n, m_bytes.size() - m_position);
    m_bytes.replace(m_position, overlap, static_cast<const char*>(buffer), n);
    m_position += n;
}

void TMemoryStream::Seek(std::int64_t position) {
    if (position < 0) {
        throw EStreamError("ストリームの位置が不正です");
    }
    m_position = static_cast<std::size_t>(position);
}

std::string TMemoryStream::TakeBytes() {
    std::string bytes = std::move(m_bytes);
    Clear();
    return bytes;
}

void TMemoryStream::Clear() {
    m_bytes.clear();
    m_position = 0;
}

}  // namespace velmora::store
