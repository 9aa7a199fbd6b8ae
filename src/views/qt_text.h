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

// Converts several texts to code page 932 and counts, over all of them, the characters written as
// "?", so that one message can tell the user.
class TCp932Writer {
public:
    std::string operator()(const QString& text) {
        int lost = 0;
        std::string cp932 = ToCp932(text, &lost);
        m_lost += lost;
        return cp932;
    }
    int Lost() const { return m_lost; }

private:
    int m_lost = 0;
};

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
using views::TCp932Writer;
using views::ToCp932;
using views::ToUtf8;
}  // namespace velmora::app
