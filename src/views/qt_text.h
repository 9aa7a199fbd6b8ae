// The one crossing between the core's code-page-932 bytes and Qt's QString.
//
// A character that code page 932 cannot hold becomes "?"; the caller learns how many so that
// the user can be told, never silently.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace velmora::views {

QString FromCp932(std::string_view cp932);
// unconvertible, when given, receives the number of characters written as "?".
std::string ToCp932(const QString& text, int* unconvertible = nullptr);

inline QString FromUtf8(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}
inline std::string ToUtf8(const QString& text) {
    return text.toUtf8().toStdString();
}

}  // namespace velmora::views

// The window classes use the same pair under their own namespace.
namespace velmora::app {
using views::FromCp932;
using views::FromUtf8;
using views::ToCp932;
using views::ToUtf8;
}  // namespace velmora::app
