// Byte streams for the file formats: an abstract TStream with a position, and TMemoryStream, a
// stream over an owned byte string. Reads that come up short and failed writes raise EStreamError
// with the program's fixed texts, so every reader and writer reports them the same way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "errors.h"

namespace velmora::store {

class EStreamError : public EVelmoraError {
public:
    using EVelmoraError::EVelmoraError;
};

inline constexpr const char* kStreamReadError = "ストリームからの読み込みエラー";
inline constexpr const char* kStreamWriteError = "ストリームへの書き込みエラー";

class TStream {
public:
    virtual ~TStream() = default;

    // Reads up to n bytes at the position and returns how many were read (0 at the end).
    virtual std::size_t Read(void* buffer, std::size_t n) = 0;
    // Writes n bytes at the position; EStreamError when not all of them could be written.
    virtual void Write(const void* buffer, std::size_t n) = 0;
    virtual std::int64_t Position() const = 0;
    virtual void Seek(std::int64_t position) = 0;
    virtual std::int64_t Size() const = 0;

    // Reads exactly n bytes; EStreamError (kStreamReadError) when the stream ends first.
    void ReadExact(void* buffer, std::size_t n) {
        if (Read(buffer, n) != n) {
            throw EStreamError(kStreamReadError);
        }
    }
    void Write(std::string_view bytes) { Write(bytes.data(), bytes.size()); }
    std::int64_t Remaining() const { return Size() - Position(); }
};

// A stream over bytes held in memory; writing past the end grows it.
class TMemoryStream final : public TStream {
public:
    TMemoryStream() = default;
    explicit TMemoryStream(std::string bytes) : m_bytes(std::move(bytes)) {}

    std::size_t Read(void* buffer, std::size_t n) override;
    void Write(const void* buffer, std::size_t n) override;
    std::int64_t Position() const override { return static_cast<std::int64_t>(m_position); }
    void Seek(std::int64_t position) override;
    std::int64_t Size() const override { return static_cast<std::int64_t>(m_bytes.size()); }

    const std::string& Bytes() const { return m_bytes; }
    std::string TakeBytes();  // empties the stream
    void Clear();

private:
    std::string m_bytes;
    std::size_t m_position = 0;
};

}  // namespace velmora::store
