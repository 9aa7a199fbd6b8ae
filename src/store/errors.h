// The store's exception classes. Every failure of the core is an exception carrying a message;
// messages are UTF-8 (they are program texts, never table data, which stays code page 932).
#pragma once

#include <stdexcept>
#include <string>

namespace velmora::store {

// Root of the program's own exceptions: an error with a message text.
class EVelmoraError : public std::runtime_error {
public:
    explicit EVelmoraError(const std::string& message) : std::runtime_error(message) {}
};

// A failure of the table engine (closed table, unknown field, bad value, unreadable packet).
class ETableError : public EVelmoraError {
public:
    using EVelmoraError::EVelmoraError;
};

}  // namespace velmora::store
